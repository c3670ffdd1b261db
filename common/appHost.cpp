// appHost.cpp: the host build's stand-in for the system: boxes, status and progress are recorded
// for tests, the registry is one stored value, files go through the POSIX file system
// (appPosix.cpp) with backslashes accepted and Windows text-mode line ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app.h"
#include "appHost.h"
#include "appPlatform.h"
#include "appPosix.h"

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
  if ((flags & 0xF) == APP_MB_YESNO) return answerYes ? (int)APP_IDYES : 7;
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
void appPosixNativePath(const char* path, char* out) {
  appCopyText(out, path, APP_PATH_LENGTH * 2);
  for (char* p = out; *p; ++p)
    if (*p == '\\') *p = '/';
}

int appPlatformWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context) {
  ++folderSearches;
  return appPosixWalkMatches(folder, pattern, visit, context);
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

void appHostSetOldWindows(bool old) { oldWindows = old; }
bool appPlatformOldWindows(void) { return oldWindows; }

bool appFileDialog(AppWindow owner, bool open, const char* title, const char* defaultExtension,
                   const char* fileTypes, const char* startFolder, char* file, uint16_t* fileOffset,
                   uint16_t* extensionOffset) {
  // No dialog on the host: the starting folder is still made, the user "cancels".
  if (startFolder) appCreateFolderPath(startFolder);
  return false;
}

void appOpenHtmlFile(const char* address, AppWindow owner) {}

