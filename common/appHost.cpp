// appHost.cpp: the host build's stand-in for the system: boxes, status and progress are recorded
// for tests, the registry is one stored value, files go through the POSIX file system with
// backslashes accepted and Windows text-mode line ends.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <cstdlib>
#include <cstring>

#include "app.h"
#include "appHost.h"
#include "appPlatform.h"

static AppHostBox lastBox;
static char lastBoxTitle[APP_NAME_LENGTH];
static char lastBoxText[APP_TRACE_MESSAGE];
static int boxCount = 0;
static bool answerYes = false;
static char lastStatus[APP_TRACE_MESSAGE];
static int statusCount = 0;
static int lastProgress = -1;
static int progressCount = 0;
enum { HISTORY = 64 };
static char statusHistory[HISTORY][APP_PATH_LENGTH];
static int progressHistory[HISTORY];
static char modulePath[APP_PATH_LENGTH] = "";
static char registryValue[APP_PATH_LENGTH] = "";
static bool registryHasValue = false;
static bool registryFails = false;
static int folderSearches = 0;
static bool oldWindows = false;

void appHostSetAnswer(bool yes) { answerYes = yes; }
int appHostBoxCount(void) { return boxCount; }
const AppHostBox* appHostLastBox(void) { return boxCount ? &lastBox : nullptr; }
const char* appHostLastStatus(void) { return statusCount ? lastStatus : nullptr; }
const char* appHostStatusAt(int index) {
  return index >= 0 && index < statusCount && index < HISTORY ? statusHistory[index] : nullptr;
}
int appHostProgressAt(int index) {
  return index >= 0 && index < progressCount && index < HISTORY ? progressHistory[index] : -2;
}
int appHostStatusCount(void) { return statusCount; }
int appHostLastProgress(void) { return lastProgress; }
int appHostProgressCount(void) { return progressCount; }

void appHostReset(void) {
  boxCount = 0;
  answerYes = false;
  statusCount = 0;
  lastProgress = -1;
  progressCount = 0;
  appEnableMessages(true);
  appSetName("Application");
  appSetOwnerWindow(nullptr);
  appSetStatusWindow(nullptr);
  appSetStatusFont(nullptr);
  AppRect zero = {0, 0, 0, 0};
  appSetStatusRect(&zero);
  appSetProgressWindow(nullptr);
  appSetInstallFolder("");
  modulePath[0] = 0;
  registryHasValue = false;
  registryFails = false;
  oldWindows = false;
}

void appHostSetInstallPath(const char* folder) {
  char path[APP_PATH_LENGTH];
  appCopyText(path, folder, APP_PATH_LENGTH - 1);
  size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] != '/' && path[length - 1] != '\\') {
    path[length] = '/';
    path[length + 1] = 0;
  }
  appSetInstallFolder(path);
}

void appHostSetModulePath(const char* path) { appCopyText(modulePath, path, sizeof modulePath); }
void appHostSetRegistryInstallPath(const char* value) {
  registryHasValue = value != nullptr;
  appCopyText(registryValue, value, sizeof registryValue);
}
const char* appHostRegistryInstallPath(void) { return registryHasValue ? registryValue : nullptr; }
void appHostFailRegistry(bool fail) { registryFails = fail; }
int appHostFolderSearches(void) { return folderSearches; }

// --- Platform primitives ------------------------------------------------------------------------------

void appPlatformDebugOutput(const char* line) {
  // No debugger listens on the host unless asked to.
  static const char* echo = std::getenv("QUIRLA_TRACE");
  if (echo && echo[0] == '1') std::fputs(line, stderr);
}

int appPlatformMessageBox(AppWindow owner, const char* text, const char* title, uint32_t flags) {
  appCopyText(lastBoxTitle, title, sizeof lastBoxTitle);
  appCopyText(lastBoxText, text, sizeof lastBoxText);
  lastBox.title = lastBoxTitle;
  lastBox.text = lastBoxText;
  lastBox.flags = flags;
  ++boxCount;
  if ((flags & 0xF) == APP_MB_YESNO) return answerYes ? APP_IDYES : 7;
  return 1;
}

void appPlatformStatusText(AppWindow window, const AppRect* rect, AppFont font, const char* text) {
  appCopyText(lastStatus, text, sizeof lastStatus);
  if (statusCount < HISTORY) appCopyText(statusHistory[statusCount], text, APP_PATH_LENGTH);
  ++statusCount;
}

void appPlatformProgress(AppWindow window, uint32_t percent, bool show) {
  lastProgress = show ? (int)percent : -1;
  if (progressCount < HISTORY) progressHistory[progressCount] = lastProgress;
  ++progressCount;
}

bool appPlatformWindowRect(AppWindow window, AppRect* rect) { return false; }

// Host paths: a backslash is a separator like a slash.
static void hostPath(const char* path, char* out) {
  appCopyText(out, path, APP_PATH_LENGTH * 2);
  for (char* p = out; *p; ++p)
    if (*p == '\\') *p = '/';
}

bool appPlatformFileAttributes(const char* path, bool* isFolder) {
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  struct stat info;
  if (native[0] == 0 || stat(native, &info) != 0) return false;
  *isFolder = S_ISDIR(info.st_mode);
  return true;
}

bool appPlatformCreateFolder(const char* path) {
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  return mkdir(native, 0777) == 0;
}

int appPlatformWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context) {
  ++folderSearches;
  char native[APP_PATH_LENGTH * 2];
  hostPath(folder, native);
  struct dirent** entries = nullptr;
  int count = scandir(native, &entries, nullptr, alphasort);
  if (count < 0) return 0;
  int given = 0;
  bool walking = true;
  for (int i = 0; i < count; ++i) {
    const char* entry = entries[i]->d_name;
    if (walking && std::strcmp(entry, ".") && std::strcmp(entry, "..") && fnmatch(pattern, entry, FNM_CASEFOLD) == 0) {
      ++given;
      walking = visit(entry, context);
    }
    std::free(entries[i]);
  }
  std::free(entries);
  return given;
}

// The registry's product key is one stored value here; any non-null handle stands for it.
AppKey appPlatformOpenKey(const char* keyName) {
  static int key;
  return registryFails ? nullptr : &key;
}

void appPlatformCloseKey(AppKey key) {}

bool appPlatformWriteValue(AppKey key, const char* name, const char* text) {
  appHostSetRegistryInstallPath(text);
  return true;
}

bool appPlatformReadValue(AppKey key, const char* name, char* text) {
  if (!registryHasValue) return false;
  appCopyText(text, registryValue, APP_PATH_LENGTH);
  return true;
}

bool appPlatformModulePath(char* path) {
  if (!modulePath[0]) return false;
  appCopyText(path, modulePath, APP_PATH_LENGTH - 1);
  return true;
}

// --- Files saved whole: real POSIX files (the voxim tool saves through these) --------------------

void appHostSetOldWindows(bool old) { oldWindows = old; }
bool appPlatformOldWindows(void) { return oldWindows; }

AppFileHandle appPlatformCreateNewFile(const char* path, bool* exists, uint32_t* error) {
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  int fd = open(native, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) return (AppFileHandle)(intptr_t)(fd + 1);  // never null
  *error = (uint32_t)errno;
  *exists = errno == EEXIST;
  return nullptr;
}

bool appPlatformWriteFile(AppFileHandle file, const void* data, uint32_t size, uint32_t* error) {
  const int fd = (int)(intptr_t)file - 1;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t done = write(fd, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      *error = done < 0 ? (uint32_t)errno : ENOSPC;
      return false;
    }
    bytes += done;
    size -= (uint32_t)done;
  }
  return true;
}

bool appPlatformFlushFile(AppFileHandle file, uint32_t* error) {
  if (fsync((int)(intptr_t)file - 1) == 0) return true;
  *error = (uint32_t)errno;
  return false;
}

bool appPlatformCloseFile(AppFileHandle file, uint32_t* error) {
  if (close((int)(intptr_t)file - 1) == 0) return true;
  *error = (uint32_t)errno;
  return false;
}

bool appPlatformDeleteFile(const char* path) {
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  return unlink(native) == 0;
}

bool appPlatformReplaceFile(const char* from, const char* to, uint32_t* error) {
  char source[APP_PATH_LENGTH * 2], target[APP_PATH_LENGTH * 2];
  hostPath(from, source);
  hostPath(to, target);
  if (rename(source, target) == 0) return true;
  *error = (uint32_t)errno;
  return false;
}

bool appPlatformMoveFile(const char* from, const char* to, uint32_t* error) {
  // MoveFileA never replaces: a hard link fails on an existing name, then the old name goes.
  char source[APP_PATH_LENGTH * 2], target[APP_PATH_LENGTH * 2];
  hostPath(from, source);
  hostPath(to, target);
  if (link(source, target) == 0 && unlink(source) == 0) return true;
  *error = (uint32_t)errno;
  return false;
}

uint32_t appPlatformDiskFullError(void) { return ENOSPC; }

void appPlatformErrorText(uint32_t error, char* text, int size) {
  appCopyText(text, std::strerror((int)error), size);
}

uint32_t appPlatformUniqueNumber(void) {
  static uint32_t calls = 0;
  return (uint32_t)getpid() << 16 ^ (uint32_t)time(nullptr) ^ (++calls * 0x9E3779B9u);
}

uint64_t appFileTime(const char* path) {
  if (!path) return 0;
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  struct stat info;
  if (stat(native, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  // The Windows FILETIME scale: 100 ns steps since 1601.
  return (uint64_t)(info.st_mtim.tv_sec + 11644473600LL) * 10000000ULL + (uint64_t)info.st_mtim.tv_nsec / 100;
}

bool appFileDialog(AppWindow owner, bool open, const char* title, const char* defaultExtension,
                   const char* fileTypes, const char* startFolder, char* file, uint16_t* fileOffset,
                   uint16_t* extensionOffset) {
  // No dialog on the host: the starting folder is still made, the user "cancels".
  if (startFolder) appCreateFolderPath(startFolder);
  return false;
}

void appOpenHtmlFile(const char* address, AppWindow owner) {}

// --- Text-mode files ---------------------------------------------------------------------------------
// Windows text mode reads CR LF as "\n" and writes "\n" as CR LF; a cookie stream does the same
// here so that the library's files are byte-identical on both builds.

struct TextStream {
  FILE* file;
  int pending;  // a CR read at the end of the last chunk, or -1
};

static ssize_t textRead(void* cookie, char* buffer, size_t size) {
  TextStream* s = static_cast<TextStream*>(cookie);
  size_t out = 0;
  while (out < size) {
    int c = s->pending >= 0 ? s->pending : std::fgetc(s->file);
    s->pending = -1;
    if (c == EOF) break;
    if (c == '\r') {
      int next = std::fgetc(s->file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        s->pending = next;
      }
    }
    buffer[out++] = (char)c;
  }
  return (ssize_t)out;
}

static ssize_t textWrite(void* cookie, const char* buffer, size_t size) {
  TextStream* s = static_cast<TextStream*>(cookie);
  for (size_t i = 0; i < size; ++i) {
    if (buffer[i] == '\n' && std::fputc('\r', s->file) == EOF) return i ? (ssize_t)i : -1;
    if (std::fputc(buffer[i], s->file) == EOF) return i ? (ssize_t)i : -1;
  }
  return (ssize_t)size;
}

// Positions are raw byte offsets in the file, as Windows reports them for text-mode files.
static int textSeek(void* cookie, off64_t* offset, int whence) {
  TextStream* s = static_cast<TextStream*>(cookie);
  if (whence == SEEK_CUR && *offset == 0) {
    long at = std::ftell(s->file);
    if (at < 0) return -1;
    *offset = at - (s->pending >= 0 ? 1 : 0);
    return 0;
  }
  if (whence == SEEK_CUR) return -1;
  if (std::fseek(s->file, (long)*offset, whence) != 0) return -1;
  s->pending = -1;
  *offset = std::ftell(s->file);
  return 0;
}

static int textClose(void* cookie) {
  TextStream* s = static_cast<TextStream*>(cookie);
  int result = std::fclose(s->file);
  std::free(s);
  return result;
}

FILE* appFileOpen(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  char native[APP_PATH_LENGTH * 2];
  hostPath(path, native);
  bool binary = std::strchr(mode, 'b') != nullptr;
  bool seeks = std::strchr(mode, '+') != nullptr;
  FILE* file = std::fopen(native, mode);
  if (!file || binary || seeks) return file;
  TextStream* s = static_cast<TextStream*>(std::malloc(sizeof(TextStream)));
  if (!s) {
    std::fclose(file);
    return nullptr;
  }
  s->file = file;
  s->pending = -1;
  cookie_io_functions_t io = {textRead, textWrite, textSeek, textClose};
  FILE* stream = fopencookie(s, mode, io);
  if (!stream) {
    std::fclose(file);
    std::free(s);
  }
  return stream;
}
