// main.cpp: mkdata OUTDIR, the installation-data generator: writes OUTDIR/Textures/*.bmp,
// OUTDIR/Models/*.vxm and OUTDIR/Lights/*.vlt, the same bytes on every run.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app.h"
#include "appHost.h"
#include "mkdata.h"

static void mkPrintTrace(const char* line, void* context) { std::fputs(line, stderr); }

static bool mkFolder(const char* path) {
  if (mkdir(path, 0777) == 0 || errno == EEXIST) return true;
  std::fprintf(stderr, "mkdata: cannot create %s: %s\n", path, std::strerror(errno));
  return false;
}

bool mkJoin(const char* root, const char* name, char* path) {
  const size_t rootLength = std::strlen(root), nameLength = std::strlen(name);
  if (rootLength + nameLength >= APP_PATH_LENGTH) return false;
  std::memcpy(path, root, rootLength);
  std::memcpy(path + rootLength, name, nameLength + 1);
  return true;
}

int main(int argc, char** argv) {
  if (argc != 2 || !argv[1][0]) {
    std::fprintf(stderr, "usage: mkdata OUTDIR\n"
                         "writes the installation's Models, Lights and Textures into OUTDIR\n");
    return 2;
  }
  appSetTraceHook(mkPrintTrace, nullptr);
  char root[APP_PATH_LENGTH];
  const size_t length = std::strlen(argv[1]);
  if (length + 2 >= APP_PATH_LENGTH) {
    std::fprintf(stderr, "mkdata: folder name too long\n");
    return 1;
  }
  std::memcpy(root, argv[1], length + 1);
  if (root[length - 1] != '/') std::strcat(root, "/");
  char folder[APP_PATH_LENGTH];
  if (!mkFolder(root)) return 1;
  static const char* const kFolders[] = {"Models", "Lights", "Textures"};
  for (const char* sub : kFolders)
    if (!mkJoin(root, sub, folder) || !mkFolder(folder)) return 1;
  // Models name their textures below the installation folder ("Textures\canlabel.bmp"), and
  // the library finds them there.
  appHostSetInstallPath(root);
  if (!mkPictures(root) || !mkModels(root) || !mkLights(root)) return 1;
  return 0;
}
