// appLinux.cpp: the services on Linux for the native programs (quirla-saver): the trace and
// message boxes go to standard error, files and folder walks go through appPosix.cpp, and every
// part of a path is found whatever its case, as on Windows (models made there name their
// textures in any case). Linux has no registry: the product key never opens.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app.h"
#include "appPlatform.h"
#include "appPosix.h"

enum { NATIVE_LENGTH = APP_PATH_LENGTH * 2 };

void appPlatformDebugOutput(const char* line) { std::fputs(line, stderr); }

// A box nobody can see: its text goes to standard error and a question is answered No.
int appPlatformMessageBox(AppWindow owner, const char* text, const char* title, uint32_t flags) {
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  return (flags & 0xF) == APP_MB_YESNO ? 7 : 1;
}

void appPlatformStatusText(AppWindow window, const AppRect* rect, AppFont font, const char* text) {}
void appPlatformProgress(AppWindow window, uint32_t percent, bool show) {}
bool appPlatformWindowRect(AppWindow window, AppRect* rect) { return false; }

static bool pathExists(const char* path) {
  struct stat info;
  return lstat(path, &info) == 0;
}

// The entry of `folder` (empty: the current folder) equal to `name` but for case, into `found`.
static bool findFolded(const char* folder, const char* name, char* found, size_t size) {
  DIR* dir = opendir(folder[0] ? folder : ".");
  if (!dir) return false;
  bool ok = false;
  while (struct dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name) == 0 && std::strlen(entry->d_name) < size) {
      std::strcpy(found, entry->d_name);
      ok = true;
      break;
    }
  }
  closedir(dir);
  return ok;
}

void appPosixNativePath(const char* path, char* out) {
  appCopyText(out, path ? path : "", NATIVE_LENGTH);
  for (char* p = out; *p; ++p)
    if (*p == '\\') *p = '/';
  if (!out[0] || pathExists(out)) return;
  // Rebuilt part by part; the first part found in no case ends the search, and the rest stays
  // as given (a file about to be created).
  char given[NATIVE_LENGTH];
  std::memcpy(given, out, NATIVE_LENGTH);
  char built[NATIVE_LENGTH] = "";
  size_t length = 0;
  const char* part = given;
  if (*part == '/') {
    built[length++] = '/';
    built[length] = 0;
    ++part;
  }
  while (*part) {
    const char* end = std::strchr(part, '/');
    size_t partLength = end ? (size_t)(end - part) : std::strlen(part);
    char name[NATIVE_LENGTH];
    std::memcpy(name, part, partLength);
    name[partLength] = 0;
    char folder[NATIVE_LENGTH];
    std::memcpy(folder, built, length + 1);
    char match[NATIVE_LENGTH];
    std::snprintf(match, sizeof match, "%s%s", built, name);
    bool found = partLength == 0 || pathExists(match) ||
                 findFolded(folder, name, name, sizeof name);
    size_t nameLength = std::strlen(name);
    if (!found) {
      appCopyText(built + length, part, NATIVE_LENGTH - (int)length);
      std::memcpy(out, built, NATIVE_LENGTH);
      return;
    }
    if (length + nameLength + 1 >= NATIVE_LENGTH) return;  // `out` keeps the given path
    std::memcpy(built + length, name, nameLength);
    length += nameLength;
    if (end) built[length++] = '/';
    built[length] = 0;
    part = end ? end + 1 : part + partLength;
  }
  std::memcpy(out, built, length + 1);
}

int appPlatformWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context) {
  return appPosixWalkMatches(folder, pattern, visit, context);
}

AppKey appPlatformOpenKey(const char* keyName) { return nullptr; }
void appPlatformCloseKey(AppKey key) {}
bool appPlatformWriteValue(AppKey key, const char* name, const char* text) { return false; }
bool appPlatformReadValue(AppKey key, const char* name, char* text) { return false; }

bool appPlatformModulePath(char* path) {
  char own[APP_PATH_LENGTH];
  ssize_t length = readlink("/proc/self/exe", own, APP_PATH_LENGTH - 2);
  if (length <= 0 || length >= APP_PATH_LENGTH - 2) return false;
  own[length] = 0;
  std::strcpy(path, own);
  return true;
}

bool appPlatformOldWindows(void) { return false; }

bool appFileDialog(AppWindow owner, bool open, const char* title, const char* defaultExtension,
                   const char* fileTypes, const char* startFolder, char* file, uint16_t* fileOffset,
                   uint16_t* extensionOffset) {
  return false;
}

void appOpenHtmlFile(const char* address, AppWindow owner) {}
