// appCore.cpp: the portable half of the application services: the trace, the message switch and
// boxes, status and progress, data-file lookup, path helpers and the saver's random numbers.
// The system calls behind them are in appWin32.cpp (and appHost.cpp for the native build).
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app.h"
#include "appPlatform.h"

// Process-wide values, as the programs set them at start-up.
static bool messagesEnabled = true;
static AppWindow ownerWindow = nullptr;
static char appName[APP_NAME_LENGTH] = "Application";
static AppWindow statusWindow = nullptr;
static AppRect statusRect = {0, 0, 0, 0};
static AppFont statusFont = nullptr;
static AppWindow progressWindow = nullptr;
static char traceLine[APP_TRACE_LINE];
static char traceMessage[APP_TRACE_MESSAGE];
static AppTraceHook traceHook = nullptr;
static void* traceContext = nullptr;
static char installFolder[APP_PATH_LENGTH - 1] = "";
static bool installInitialised = false;
static uint32_t randomSeed = 0;
static AppMessageBoxHook boxHook = nullptr;
static void* boxContext = nullptr;

void appSetMessageBoxHook(AppMessageBoxHook hook, void* context) {
  boxHook = hook;
  boxContext = context;
}

static int showBox(const char* text, const char* title, uint32_t flags) {
  if (boxHook) return boxHook(text ? text : "", title, flags, boxContext);
  return appPlatformMessageBox(ownerWindow, text, title, flags);
}

void appCopyText(char* dst, const char* src, int size) {
  if (!dst || size <= 0) return;
  if (!src) src = "";
  int i = 0;
  for (; i < size - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
}

// --- Trace ---------------------------------------------------------------------------------------

void appTrace(const char* sourcePath, int line, const char* format, ...) {
  // Both buffers cut what does not fit; the line always ends in a line break.
  std::snprintf(traceLine, sizeof traceLine, "%s(%d) : ", sourcePath ? sourcePath : "", line);
  va_list args;
  va_start(args, format);
  std::vsnprintf(traceMessage, sizeof traceMessage, format ? format : "", args);
  va_end(args);
  size_t used = std::strlen(traceLine);
  if (used > sizeof traceLine - 2) used = sizeof traceLine - 2;
  size_t room = sizeof traceLine - 2 - used;  // keep space for "\n" and the terminator
  size_t length = std::strlen(traceMessage);
  if (length > room) length = room;
  std::memcpy(traceLine + used, traceMessage, length);
  traceLine[used + length] = '\n';
  traceLine[used + length + 1] = 0;
  appPlatformDebugOutput(traceLine);
  if (traceHook) traceHook(traceLine, traceContext);
}

void appSetTraceHook(AppTraceHook hook, void* context) {
  traceHook = hook;
  traceContext = context;
}

// --- Message boxes -------------------------------------------------------------------------------

void appWarning(const char* text) {
  if (messagesEnabled) showBox(text, "Warning", APP_MB_OK | APP_MB_ICONEXCLAMATION);
}

void appFatalError(const char* text) {
  if (messagesEnabled) showBox(text, "Fatal Error", APP_MB_OK | APP_MB_ICONHAND);
}

void appMessage(const char* text) {
  if (messagesEnabled) showBox(text, appName, APP_MB_OK | APP_MB_ICONEXCLAMATION);
}

bool appAskYesNo(const char* text) {
  if (!messagesEnabled) return false;
  return showBox(text, appName, APP_MB_YESNO | APP_MB_ICONQUESTION) == APP_IDYES;
}

void appSetName(const char* name) { appCopyText(appName, name, sizeof appName); }
const char* appGetName(void) { return appName; }
void appSetOwnerWindow(AppWindow window) { ownerWindow = window; }
void appEnableMessages(bool enabled) { messagesEnabled = enabled; }
bool appMessagesEnabled(void) { return messagesEnabled; }

// --- Status and progress ---------------------------------------------------------------------------

void appSetStatusWindow(AppWindow window) {
  statusWindow = window;
  AppRect rect;
  if (window && appPlatformWindowRect(window, &rect)) statusRect = rect;
}

void appSetStatusRect(const AppRect* rect) {
  if (rect) statusRect = *rect;
}

void appSetStatusFont(AppFont font) { statusFont = font; }

void appStatusText(const char* text) {
  if (!statusWindow || !messagesEnabled) return;
  appPlatformStatusText(statusWindow, &statusRect, statusFont, text ? text : "");
}

void appSetProgressWindow(AppWindow window) { progressWindow = window; }

uint32_t appProgressPercent(uint32_t done, uint32_t total) {
  // A zero total counts as finished; a done beyond the total shows a full bar.
  if (total == 0) return done ? 100 : 0;
  double percent = (double)done / (double)total * 100.0;
  if (percent >= 100.0) return 100;
  return (uint32_t)percent;
}

uint32_t appProgressNext(uint32_t done, uint32_t total) {
  if (done >= total) return total;
  const uint32_t shown = appProgressPercent(done, total);
  // About where the next percent begins, then moved onto it exactly.
  uint64_t next = ((uint64_t)(shown + 1) * total + 99) / 100;
  if (next <= done) next = (uint64_t)done + 1;
  while (next < total && appProgressPercent((uint32_t)next, total) <= shown) ++next;
  while (next - 1 > done && appProgressPercent((uint32_t)(next - 1), total) > shown) --next;
  return next < total ? (uint32_t)next : total;
}

// --- Work beside the caller ------------------------------------------------------------------------

void appTaskStart(AppTask* task, AppTaskFunction function, void* context) {
  task->function = function;
  task->context = context;
  task->thread = 0;
  if (!appPlatformStartTask(task)) {
    task->thread = 0;
    function(context);
  }
}

void appTaskWait(AppTask* task) {
  if (task->thread) appPlatformWaitTask(task);
  task->thread = 0;
}

void appProgress(uint32_t done, uint32_t total) {
  if (!progressWindow || !messagesEnabled) return;
  appPlatformProgress(progressWindow, appProgressPercent(done, total), done != 0);
}

// --- Installation folder and files ------------------------------------------------------------------

void appSetInstallFolder(const char* folder) {
  appCopyText(installFolder, folder, sizeof installFolder);
  installInitialised = folder != nullptr;
}

const char* appInstallPath(void) { return installFolder; }

void appInstallFolderFromModule(const char* modulePath, char* folder) {
  folder[0] = 0;
  if (!modulePath) return;
  char path[APP_PATH_LENGTH];
  appCopyText(path, modulePath, sizeof path - 1);
  char* cut = std::strrchr(path, '\\');
  if (!cut) return;
  *cut = 0;                        // drop the program's file name
  cut = std::strrchr(path, '\\');
  if (!cut) return;
  cut[1] = 0;                      // drop the program's folder, keep the backslash before it
  appCopyText(folder, path, APP_PATH_LENGTH - 1);
}

bool appFileExists(const char* path) {
  if (!path) return false;
  bool isFolder;
  return appPlatformFileAttributes(path, &isFolder);
}

bool appLocateFile(const char* name, char* result) {
  if (!name) return false;
  if (!result) return appFileExists(name);
  if (!installInitialised) return false;
  size_t folderLength = std::strlen(installFolder), nameLength = std::strlen(name);
  // A joined path that does not fit a path buffer cannot exist.
  if (folderLength + nameLength < APP_PATH_LENGTH) {
    char joined[APP_PATH_LENGTH];
    std::memcpy(joined, installFolder, folderLength);
    std::memcpy(joined + folderLength, name, nameLength + 1);
    if (appFileExists(joined)) {
      std::memcpy(result, joined, folderLength + nameLength + 1);
      return true;
    }
  }
  if (nameLength < APP_PATH_LENGTH && appFileExists(name)) {
    std::memcpy(result, name, nameLength + 1);
    return true;
  }
  return false;
}

const char* appFileName(const char* path) {
  if (!path) return nullptr;
  const char* cut = std::strrchr(path, '\\');
  return cut ? cut + 1 : path;
}

void appShortenPath(char* path, int limit) {
  if (!path) return;
  int length = (int)std::strlen(path);
  if (length == 0 || length <= limit) return;
  if (limit <= 3) {  // no room for "...": keep the last characters
    if (limit < 0) limit = 0;
    std::memmove(path, path + length - limit, limit);
    path[limit] = 0;
    return;
  }
  int cut = -1;
  for (int i = length - 2; i >= 0; --i)
    if (path[i] == '\\') {
      cut = i;
      break;
    }
  int start;
  if (cut < 0) {
    // No folder to drop: "..." then the end of the name.
    std::memmove(path + 3, path + length - (limit - 3), limit - 3);
    std::memcpy(path, "...", 3);
    path[limit] = 0;
    return;
  }
  start = cut >= 3 ? cut - 3 : cut;
  std::memcpy(path + start, "...", 3);
  if (start + 3 > length) length = start + 3;
  int tail = length - start;  // "..." and everything after it
  if (tail <= limit) {
    std::memmove(path + (limit - tail), path + start, tail);
  } else {
    std::memmove(path, path + length - limit, limit);
  }
  path[limit] = 0;
}

void appSplitPath(const char* path, char* folder, char* name) {
  if (!path) path = "";
  const char* cut = std::strrchr(path, '\\');
  if (!cut) {
    if (folder) folder[0] = 0;
    if (name) appCopyText(name, path, APP_PATH_LENGTH);
    return;
  }
  if (folder) {
    size_t length = (size_t)(cut - path);
    if (length > APP_PATH_LENGTH - 1) length = APP_PATH_LENGTH - 1;
    std::memcpy(folder, path, length);
    folder[length] = 0;
  }
  if (name) appCopyText(name, cut + 1, APP_PATH_LENGTH);
}

void appCreateFolderPath(const char* folder) {
  if (!folder || !folder[0]) return;
  bool isFolder = false;
  if (appPlatformFileAttributes(folder, &isFolder) && isFolder) return;
  size_t length = std::strlen(folder);
  if (length >= APP_PATH_LENGTH) return;
  if (length > 2) {
    // From the third character on, every backslash after the first one met closes a parent.
    char part[APP_PATH_LENGTH];
    bool firstMet = false;
    for (size_t i = 2; i < length; ++i) {
      if (folder[i] != '\\') continue;
      if (!firstMet) {
        firstMet = true;
        continue;
      }
      std::memcpy(part, folder, i);
      part[i] = 0;
      bool partIsFolder = false;
      if (!(appPlatformFileAttributes(part, &partIsFolder) && partIsFolder))
        if (!appPlatformCreateFolder(part)) break;
    }
  }
  appPlatformCreateFolder(folder);
}

bool appBrowserCommandLine(const char* registered, const char* address, char* command, int size) {
  if (!registered || !address || !command || size <= 0) return false;
  const char* start = registered[0] == '"' ? registered + 1 : registered;
  const char* end = std::strstr(start, ".exe");
  size_t browserLength = end ? (size_t)(end - start) : std::strlen(start);
  if (browserLength == 0) return false;
  // The address is quoted as well, so a help page under "C:\Program Files\..." arrives whole.
  size_t needed = 1 + browserLength + 2 + 1 + std::strlen(address) + 1 + 1;
  if (needed > (size_t)size) return false;
  char* out = command;
  *out++ = '"';
  std::memcpy(out, start, browserLength);
  out += browserLength;
  *out++ = '"';
  *out++ = ' ';
  *out++ = '"';
  size_t addressLength = std::strlen(address);
  std::memcpy(out, address, addressLength);
  out += addressLength;
  *out++ = '"';
  *out = 0;
  return true;
}

// --- Random numbers -----------------------------------------------------------------------------------

void appSeedRandom(uint32_t seed) { randomSeed = seed; }
uint32_t appRandomState(void) { return randomSeed; }

int appRandom(void) {
  randomSeed = randomSeed * 214013u + 2531011u;
  return (int)((randomSeed >> 16) & 0x7FFF);
}

// One walk over a folder's matches: every path is formed as folder + "\" + match; the walk
// counts them and stops at the wanted one (-1: none, so the last path formed stays).
struct MatchWalk {
  const char* folder;
  int wanted;
  int count;
  bool tooLong;  // a path did not fit: the walk stopped there
  char path[APP_PATH_LENGTH];
};

static bool visitMatch(const char* match, void* context) {
  MatchWalk* walk = static_cast<MatchWalk*>(context);
  int written = std::snprintf(walk->path, APP_PATH_LENGTH, "%s\\%s", walk->folder, match);
  if (written <= 0 || written >= APP_PATH_LENGTH) {
    walk->tooLong = true;
    return false;
  }
  return walk->count++ != walk->wanted;
}

// The k-th match (from 0) of one fresh search, or false when the search ends before it.
static bool findMatch(const char* folder, const char* pattern, int k, char* path) {
  MatchWalk walk = {folder, k, 0, false, ""};
  appPlatformWalkMatches(folder, pattern, visitMatch, &walk);
  if (walk.tooLong || walk.count <= k) return false;
  appCopyText(path, walk.path, APP_PATH_LENGTH);
  return true;
}

bool appPickRandomFile(const char* folder, const char* pattern, char* name) {
  if (!folder || !pattern || !name) return false;
  // One walk counts the matches; a match too long for a path spoils the whole pick.
  MatchWalk all = {folder, -1, 0, false, ""};
  appPlatformWalkMatches(folder, pattern, visitMatch, &all);
  if (all.tooLong || all.count == 0) return false;
  char formed[APP_PATH_LENGTH];
  appCopyText(formed, all.path, sizeof formed);
  if (all.count > 1) {
    // Each try searches afresh up to its choice, until one differs from the name given.
    char entry[APP_PATH_LENGTH];
    appCopyText(entry, name, sizeof entry);
    for (int attempt = 0; attempt < 1000; ++attempt) {
      int k = (int)((int64_t)appRandom() * all.count / 32768);
      if (!findMatch(folder, pattern, k, formed)) break;
      if (strcasecmp(formed, entry) != 0) break;
    }
  }
  appCopyText(name, formed, APP_PATH_LENGTH);
  return true;
}
