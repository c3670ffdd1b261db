// main.cpp: the voxim command-line tool: global options, the trace on standard error, and the
// dispatch of subcommands (info, and those that other files add to the table).
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app.h"
#include "appHost.h"
#include "commands.h"

struct VoximCommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;
};

// One row per subcommand.
static const VoximCommand kCommands[] = {
    {"info", voximInfo, "info FILE          counts and settings of a model (.vxm, .3ds, .obj, .stl, .gltf, .glb) or a VLT file"},
    {"render", voximRender, "render MODEL -o OUT.bmp [--light FILE.vlt] [--size WxH] [--state N]\n"
                            "                     [--rotate X,Y,Z] [--background R,G,B] [--raw]\n"
                            "                     one frame as a 24-bit BMP (fitted as the screensaver fits it)"},
    {"convert", voximConvert, "convert IN OUT.vxm any model the library reads (.vxm, .3ds, .obj, .stl, .gltf, .glb) written as VXM"},
};

static void voximPrintTrace(const char* line, void* context) {
  std::fputs(line, stderr);
  std::fflush(stderr);
}

static void voximHelp(FILE* out) {
  std::fprintf(out, "usage: voxim [--root DIR] COMMAND ARGUMENTS\n");
  std::fprintf(out, "  --root DIR         installation folder that relative names are found below first\n");
  std::fprintf(out, "                     (default: the current folder)\n");
  for (const VoximCommand& command : kCommands) std::fprintf(out, "  %s\n", command.usage);
  std::fprintf(out, "exit status: 0 done, 1 failed (trace on standard error), 2 wrong usage\n");
}

int voximUsage(const char* text) {
  std::fprintf(stderr, "usage: voxim %s\n", text);
  return 2;
}

int main(int argc, char** argv) {
  // Take the global options out wherever they stand; the rest goes to the subcommand.
  const char* root = nullptr;
  int kept = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") == 0) {
      if (i + 1 >= argc) return voximUsage("--root DIR COMMAND ...");
      root = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      voximHelp(stdout);
      return 0;
    } else {
      argv[kept++] = argv[i];
    }
  }
  if (kept == 0) {
    voximHelp(stderr);
    return 2;
  }
  char folder[APP_PATH_LENGTH];
  if (!root) root = getcwd(folder, sizeof folder) ? folder : ".";
  appHostSetInstallPath(root);
  // Nobody answers boxes here: questions count as No, as in the screensaver.
  appEnableMessages(false);
  appSetTraceHook(voximPrintTrace, nullptr);
  for (const VoximCommand& command : kCommands)
    if (std::strcmp(argv[0], command.name) == 0) return command.run(kept, argv);
  std::fprintf(stderr, "voxim: unknown command '%s'\n", argv[0]);
  voximHelp(stderr);
  return 2;
}
