// SaverLinuxFiles.cpp: the native saver's files: the settings file, ~/.xscreensaver, the data
// folder and the help text.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SaverLinux.h"
#include "SaverOptions.h"
#include "SaverSettings.h"
#include "app.h"
#include "appPlatform.h"

static const char* const PROGRAM = "quirla-saver";

enum { SETTINGS_FILE_LIMIT = 65536, XSCREENSAVER_FILE_LIMIT = 1 << 20 };

// $XDG_CONFIG_HOME/quirla/settings, or ~/.config/quirla/settings. False without a home.
static bool settingsPath(char* path, char* folder) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  int written;
  if (config && config[0] == '/')
    written = std::snprintf(folder, APP_PATH_LENGTH, "%s/quirla", config);
  else if (home && home[0])
    written = std::snprintf(folder, APP_PATH_LENGTH, "%s/.config/quirla", home);
  else
    return false;
  if (written <= 0 || written + 9 >= APP_PATH_LENGTH) return false;
  std::snprintf(path, APP_PATH_LENGTH, "%s/settings", folder);
  return true;
}

// A whole file into a new zero-ended buffer; null with `missing` set when there is none.
static char* readWholeFile(const char* path, size_t limit, bool* missing) {
  *missing = false;
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    *missing = errno == ENOENT;
    if (!*missing) std::fprintf(stderr, "%s: cannot read %s: %s\n", PROGRAM, path, std::strerror(errno));
    return nullptr;
  }
  char* text = static_cast<char*>(std::malloc(limit + 1));
  size_t length = text ? std::fread(text, 1, limit + 1, file) : 0;
  bool bad = !text || std::ferror(file) || length > limit || std::memchr(text, 0, length);
  std::fclose(file);
  if (bad) {
    std::fprintf(stderr, "%s: %s is not a text file of at most %zu bytes\n", PROGRAM, path, limit);
    std::free(text);
    return nullptr;
  }
  text[length] = 0;
  return text;
}

static bool writeWholeFile(const char* path, const char* text) {
  AppSave save;
  if (appSaveBegin(&save, path, false)) {
    appSaveBytes(&save, text, std::strlen(text));
    if (appSaveFinish(&save)) return true;
  }
  std::fprintf(stderr, "%s: cannot write %s: %s\n", PROGRAM, path, appSaveReason());
  return false;
}

bool saverLoadSettingsFile(SaverSettings* settings) {
  char path[APP_PATH_LENGTH], folder[APP_PATH_LENGTH];
  if (!settingsPath(path, folder)) return true;  // no home: the defaults
  bool missing;
  char* text = readWholeFile(path, SETTINGS_FILE_LIMIT, &missing);
  if (!text) return missing;
  char error[SAVER_OPTION_ERROR];
  bool ok = saverApplySettingsText(text, path, settings, error);
  if (!ok) std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
  std::free(text);
  return ok;
}

bool saverSaveSettingsFile(const SaverSettings* settings) {
  char path[APP_PATH_LENGTH], folder[APP_PATH_LENGTH];
  if (!settingsPath(path, folder)) {
    std::fprintf(stderr, "%s: no home folder for the settings file\n", PROGRAM);
    return false;
  }
  char text[SAVER_SETTING_COUNT * (SAVER_PATH_LENGTH + 40)];
  if (!saverSettingsText(settings, text, sizeof text)) return false;
  // The folders are made one by one: ~/.config may be missing too.
  for (char* cut = std::strchr(folder + 1, '/');; cut = std::strchr(cut + 1, '/')) {
    if (cut) *cut = 0;
    if (mkdir(folder, 0755) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "%s: cannot create %s: %s\n", PROGRAM, folder, std::strerror(errno));
      return false;
    }
    if (!cut) break;
    *cut = '/';
  }
  if (!writeWholeFile(path, text)) return false;
  std::printf("%s: settings written to %s\n", PROGRAM, path);
  return true;
}

// Adds this program, by its full path, to the user's ~/.xscreensaver.
bool saverInstallInXScreenSaver(void) {
  const char* home = std::getenv("HOME");
  char own[APP_PATH_LENGTH], path[APP_PATH_LENGTH], command[APP_PATH_LENGTH + 16];
  if (!home || !home[0] || !appPlatformModulePath(own)) {
    std::fprintf(stderr, "%s: cannot find the home folder or this program's path\n", PROGRAM);
    return false;
  }
  std::snprintf(path, sizeof path, "%s/.xscreensaver", home);
  std::snprintf(command, sizeof command, "%s --root", own);
  bool missing;
  char* text = readWholeFile(path, XSCREENSAVER_FILE_LIMIT, &missing);
  if (!text && !missing) return false;
  size_t size = (text ? std::strlen(text) : 0) + sizeof command + 64;
  char* out = static_cast<char*>(std::malloc(size));
  bool present = false;
  bool ok = out && saverAddXScreenSaverProgram(text ? text : "", command, out, size, &present);
  if (ok && present) std::printf("%s: %s already lists %s\n", PROGRAM, path, own);
  if (ok && !present) {
    ok = writeWholeFile(path, out);
    if (ok) std::printf("%s: added \"%s\" to the programs of %s\n", PROGRAM, command, path);
  }
  std::free(text);
  std::free(out);
  return ok;
}

void saverPrintHelp(void) {
  std::printf("Usage: %s [options]\n"
              "The Quirla screensaver for XScreenSaver: a solid model, coloured, textured and lit,\n"
              "spinning and moving over a background.\n\n"
              "  --root                 draw into $XSCREENSAVER_WINDOW, else the root window\n"
              "  --window-id ID         draw into that window (decimal or 0x hex)\n"
              "  --fullscreen           a borderless window of its own covering the screen\n"
              "  --fps N                frames a second (default %d; 0: as many as it can)\n"
              "  --show-fps             print the frame rate and processor time every second\n"
              "  --data DIR             models, lights and textures (default %s)\n"
              "  --save-settings        write the settings to ~/.config/quirla/settings and end\n"
              "  --install-xscreensaver add this program to the programs of ~/.xscreensaver and end\n\n"
              "Settings (as in ~/.config/quirla/settings, which the options override):\n",
              PROGRAM, SAVER_FPS_DEFAULT, "PREFIX/share/quirla");
  const SaverSettingField* fields = saverSettingFields();
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    char option[64];
    saverOptionName(fields[i].name, option, sizeof option);
    if (fields[i].isText)
      std::printf("  %-22s a file (\"%s\")\n", option, fields[i].name);
    else
      std::printf("  %-22s %lld to %lld, default %d (\"%s\")\n", option, (long long)fields[i].minimum,
                  (long long)fields[i].maximum, fields[i].defaultValue, fields[i].name);
  }
}

// The installed data folder: PREFIX/share/quirla for PREFIX/libexec/xscreensaver/quirla-saver.
static void defaultDataFolder(char* folder) {
  char own[APP_PATH_LENGTH];
  folder[0] = 0;
  if (!appPlatformModulePath(own)) return;
  for (int up = 0; up < 3; ++up) {
    char* cut = std::strrchr(own, '/');
    if (!cut) return;
    *cut = 0;
  }
  std::snprintf(folder, SAVER_PATH_LENGTH, "%.*s/share/quirla", SAVER_PATH_LENGTH - 20, own);
}

// The data folder as the services' installation folder: backslashes, one at the end.
bool saverSetDataFolder(const char* given, char* folder) {
  char installed[SAVER_PATH_LENGTH];
  defaultDataFolder(installed);
  if (!given || !given[0]) given = installed;
  struct stat info;
  if (stat(given, &info) != 0 || !S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "%s: no data folder %s (--data names another)\n", PROGRAM, given);
    return false;
  }
  size_t length = std::strlen(given);
  char withEnd[SAVER_PATH_LENGTH + 2];
  std::memcpy(withEnd, given, length);
  std::strcpy(withEnd + length, "/");
  if (!saverPathToRecord(withEnd, folder)) {
    std::fprintf(stderr, "%s: the data folder's path is too long: %s\n", PROGRAM, given);
    return false;
  }
  appSetInstallFolder(folder);
  return true;
}

