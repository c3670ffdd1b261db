// appSave.cpp: saving files whole: a temporary file beside the target, every write, the flush and
// the close checked, then one step that puts it in the target's place; the test hook that makes
// any of those steps fail as a full disk would.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app.h"
#include "appPlatform.h"

static char saveReason[APP_TRACE_MESSAGE] = "";
static AppSaveFault fault = APP_SAVE_FAULT_NONE;
static uint64_t faultByte = 0;
static bool faultChosen = false;

bool appParseSaveFault(const char* text, AppSaveFault* kind, uint64_t* atByte) {
  if (!text || !kind || !atByte) return false;
  static const struct {
    const char* name;
    AppSaveFault fault;
  } names[] = {{"flush", APP_SAVE_FAULT_FLUSH}, {"close", APP_SAVE_FAULT_CLOSE}, {"replace", APP_SAVE_FAULT_REPLACE}};
  *atByte = 0;
  for (const auto& n : names)
    if (std::strcmp(text, n.name) == 0) {
      *kind = n.fault;
      return true;
    }
  if (std::strncmp(text, "write:", 6) != 0 || text[6] < '0' || text[6] > '9') return false;
  char* end = nullptr;
  unsigned long long at = std::strtoull(text + 6, &end, 10);
  if (*end) return false;
  *kind = APP_SAVE_FAULT_WRITE;
  *atByte = at;
  return true;
}

void appSetSaveFault(AppSaveFault kind, uint64_t atByte) {
  fault = kind;
  faultByte = atByte;
  faultChosen = true;
}

static void chooseFault(void) {
  if (faultChosen) return;
  faultChosen = true;
  const char* text = std::getenv("QUIRLA_SAVE_FAULT");
  if (text && !appParseSaveFault(text, &fault, &faultByte)) fault = APP_SAVE_FAULT_NONE;
}

const char* appSaveReason(void) { return saveReason; }

static void setReason(uint32_t error) { appPlatformErrorText(error, saveReason, sizeof saveReason); }

static void fail(AppSave* save, uint32_t error) {
  if (save->failed) return;
  save->failed = true;
  save->error = error;
}

// The folder part of `path` including its last separator ("" when there is none).
static size_t folderLength(const char* path) {
  size_t length = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == '\\' || path[i] == '/') length = i + 1;
  return length;
}

// A free name in the folder of `path` made from `number`: "~" and up to eight hex digits, fewer
// when the folder leaves less room (a target near the 259-character limit still gets one; a
// one-character room takes a single digit).
static bool spareName(const char* path, uint32_t number, char* name) {
  const size_t folder = folderLength(path);
  if (folder >= APP_PATH_LENGTH - 1) return false;
  size_t room = APP_PATH_LENGTH - 1 - folder;
  if (room > 9) room = 9;
  char tail[10];
  if (room == 1) {
    std::snprintf(tail, sizeof tail, "%X", (unsigned)(number & 0xF));
  } else {
    std::snprintf(tail, sizeof tail, "~%08X", (unsigned)number);
    tail[room] = 0;
  }
  std::memcpy(name, path, folder);
  std::memcpy(name + folder, tail, std::strlen(tail) + 1);
  return true;
}

enum { NAME_TRIES = 64 };

bool appSaveBegin(AppSave* save, const char* path, bool text) {
  if (!save || !path || !path[0]) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  chooseFault();
  std::memset(save, 0, offsetof(AppSave, buffer));
  saveReason[0] = 0;
  if (std::strlen(path) >= APP_PATH_LENGTH) {
    setReason(3);  // ERROR_PATH_NOT_FOUND on Windows; only its text matters
    APP_TRACE("Failed to open file: %s", path);
    return false;
  }
  appCopyText(save->target, path, sizeof save->target);
  save->text = text;
  uint32_t number = appPlatformUniqueNumber(), error = 0;
  for (int attempt = 0; attempt < NAME_TRIES; ++attempt, number = number * 1103515245u + 12345u) {
    bool exists = false;
    if (!spareName(path, number >> 4 | number << 28, save->temporary)) break;
    save->handle = appPlatformCreateNewFile(save->temporary, &exists, &error);
    if (save->handle) return true;
    if (!exists) break;
  }
  save->temporary[0] = 0;
  setReason(error);
  APP_TRACE("Failed to open file: %s", path);
  return false;
}

// Hands `size` bytes to the system, failing at the hook's byte as a full disk would: the bytes
// before it reach the file, the call fails.
static void writeOut(AppSave* save, const char* data, uint32_t size) {
  if (save->failed || size == 0) return;
  uint32_t error = 0;
  uint32_t take = size;
  bool faulty = fault == APP_SAVE_FAULT_WRITE && save->written + size > faultByte;
  if (faulty) take = (uint32_t)(faultByte > save->written ? faultByte - save->written : 0);
  if (take && !appPlatformWriteFile(save->handle, data, take, &error)) return fail(save, error);
  save->written += take;
  if (faulty) fail(save, appPlatformDiskFullError());
}

static void flushBuffer(AppSave* save) {
  writeOut(save, save->buffer, save->used);
  save->used = 0;
}

void appSaveBytes(AppSave* save, const void* data, size_t size) {
  if (!save || !save->handle || save->failed) return;
  const char* bytes = static_cast<const char*>(data);
  for (size_t i = 0; i < size && !save->failed; ++i) {
    // Room for a CR LF pair keeps a line end in one buffer.
    if (save->used + 2 > sizeof save->buffer) flushBuffer(save);
    if (save->text && bytes[i] == '\n') save->buffer[save->used++] = '\r';
    save->buffer[save->used++] = bytes[i];
  }
}

void appSavePrintf(AppSave* save, const char* format, ...) {
  if (!save || !save->handle || save->failed || !format) return;
  char line[APP_TRACE_MESSAGE];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // Every line of the library's files fits; one that does not must not be written cut short.
  if (length < 0 || length >= (int)sizeof line) return fail(save, appPlatformDiskFullError());
  appSaveBytes(save, line, (size_t)length);
}

static void discard(AppSave* save) {
  uint32_t ignored;
  if (save->handle) appPlatformCloseFile(save->handle, &ignored);
  save->handle = nullptr;
  if (save->temporary[0] && !appPlatformDeleteFile(save->temporary))
    APP_TRACE("Failed to delete file: %s", save->temporary);
  save->temporary[0] = 0;
}

void appSaveAbandon(AppSave* save) {
  if (save) discard(save);
}

// Windows 95/98: the old file moves aside under a spare name, the new one takes its place, and
// only then is the old one deleted; when the new one cannot move in, the old one moves back.
static bool replaceStepwise(AppSave* save, uint32_t* error) {
  bool isFolder = false;
  if (!appPlatformFileAttributes(save->target, &isFolder)) {
    if (fault == APP_SAVE_FAULT_REPLACE) return *error = appPlatformDiskFullError(), false;
    return appPlatformMoveFile(save->temporary, save->target, error);
  }
  char aside[APP_PATH_LENGTH];
  uint32_t number = appPlatformUniqueNumber();
  bool moved = false;
  for (int attempt = 0; attempt < NAME_TRIES && !moved; ++attempt, number = number * 1103515245u + 12345u) {
    if (!spareName(save->target, number >> 4 | number << 28, aside)) break;
    if (appPlatformFileAttributes(aside, &isFolder)) continue;
    moved = appPlatformMoveFile(save->target, aside, error);
    if (!moved) return false;
  }
  if (!moved) return false;
  if (fault == APP_SAVE_FAULT_REPLACE || !appPlatformMoveFile(save->temporary, save->target, error)) {
    if (fault == APP_SAVE_FAULT_REPLACE) *error = appPlatformDiskFullError();
    uint32_t ignored;
    if (!appPlatformMoveFile(aside, save->target, &ignored))
      APP_TRACE("Failed to restore file: %s from %s", save->target, aside);
    return false;
  }
  if (!appPlatformDeleteFile(aside)) APP_TRACE("Failed to delete file: %s", aside);
  return true;
}

bool appSaveFinish(AppSave* save) {
  if (!save || !save->handle) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  flushBuffer(save);
  uint32_t error = save->error;
  bool ok = !save->failed;
  if (ok && (fault == APP_SAVE_FAULT_FLUSH || !appPlatformFlushFile(save->handle, &error))) {
    if (fault == APP_SAVE_FAULT_FLUSH) error = appPlatformDiskFullError();
    ok = false;
  }
  AppFileHandle handle = save->handle;
  save->handle = nullptr;
  uint32_t closeError = 0;
  const bool closed = appPlatformCloseFile(handle, &closeError);
  if (ok && (fault == APP_SAVE_FAULT_CLOSE || !closed)) {
    error = fault == APP_SAVE_FAULT_CLOSE ? appPlatformDiskFullError() : closeError;
    ok = false;
  }
  if (ok) {
    if (appPlatformOldWindows()) {
      ok = replaceStepwise(save, &error);
    } else if (fault == APP_SAVE_FAULT_REPLACE) {
      error = appPlatformDiskFullError();
      ok = false;
    } else {
      ok = appPlatformReplaceFile(save->temporary, save->target, &error);
    }
    if (ok) save->temporary[0] = 0;
  }
  if (ok) return true;
  setReason(error);
  APP_TRACE("Failed to write file: %s (%s)", save->target, saveReason);
  discard(save);
  return false;
}
