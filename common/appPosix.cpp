// appPosix.cpp: threads for tasks and files on a POSIX system, shared by the host stand-in
// (appHost.cpp) and the Linux layer (appLinux.cpp): attributes, folders and their walks, files
// saved whole, and fopen with the Windows text mode. Each of those two files turns a product path
// into a system path its own way (appPosixNativePath).
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app.h"
#include "appPlatform.h"
#include "appPosix.h"

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "a thread is kept in a uintptr_t");

static void* appPosixTaskMain(void* argument) {
  AppTask* task = (AppTask*)argument;
  task->function(task->context);
  return nullptr;
}

bool appPlatformStartTask(AppTask* task) {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, appPosixTaskMain, task) != 0) return false;
  task->thread = (uintptr_t)thread;
  return true;
}

void appPlatformWaitTask(AppTask* task) { pthread_join((pthread_t)task->thread, nullptr); }

bool appPlatformFileAttributes(const char* path, bool* isFolder) {
  char native[APP_PATH_LENGTH * 2];
  appPosixNativePath(path, native);
  struct stat info;
  if (native[0] == 0 || stat(native, &info) != 0) return false;
  *isFolder = S_ISDIR(info.st_mode);
  return true;
}

bool appPlatformCreateFolder(const char* path) {
  char native[APP_PATH_LENGTH * 2];
  appPosixNativePath(path, native);
  return mkdir(native, 0777) == 0;
}

int appPosixWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context) {
  char native[APP_PATH_LENGTH * 2];
  appPosixNativePath(folder, native);
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

// --- Files saved whole ------------------------------------------------------------------------------

AppFileHandle appPlatformCreateNewFile(const char* path, bool* exists, uint32_t* error) {
  char native[APP_PATH_LENGTH * 2];
  appPosixNativePath(path, native);
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
  appPosixNativePath(path, native);
  return unlink(native) == 0;
}

bool appPlatformReplaceFile(const char* from, const char* to, uint32_t* error) {
  char source[APP_PATH_LENGTH * 2], target[APP_PATH_LENGTH * 2];
  appPosixNativePath(from, source);
  appPosixNativePath(to, target);
  if (rename(source, target) == 0) return true;
  *error = (uint32_t)errno;
  return false;
}

bool appPlatformMoveFile(const char* from, const char* to, uint32_t* error) {
  // MoveFileA never replaces: a hard link fails on an existing name, then the old name goes.
  char source[APP_PATH_LENGTH * 2], target[APP_PATH_LENGTH * 2];
  appPosixNativePath(from, source);
  appPosixNativePath(to, target);
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
  appPosixNativePath(path, native);
  struct stat info;
  if (stat(native, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  // The Windows FILETIME scale: 100 ns steps since 1601.
  return (uint64_t)(info.st_mtim.tv_sec + 11644473600LL) * 10000000ULL + (uint64_t)info.st_mtim.tv_nsec / 100;
}

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
  appPosixNativePath(path, native);
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
