// app.h: the application services both programs and the VOXIM library call: the trace,
// message boxes, status and progress, the installation folder, data-file lookup, path helpers,
// file dialogs, help pages and the saver's random numbers.
#pragma once

#include <cstdint>
#include <cstddef>

// Window and font handles travel through the portable layer as opaque pointers, so that
// VOXIM and the host build never see windows.h.
typedef void* AppWindow;
typedef void* AppFont;

enum { APP_PATH_LENGTH = 260, APP_NAME_LENGTH = 256, APP_TRACE_LINE = 1024, APP_TRACE_MESSAGE = 1280 };

struct AppRect {
  int32_t left, top, right, bottom;
};

// --- Trace -------------------------------------------------------------------------------------
// Every failing function reports once: "<source path>(<line>) : <message>\n". The line goes to
// the debugger's output (OutputDebugStringA) and to the trace hook, if one is set.
void appTrace(const char* sourcePath, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
#define APP_TRACE(...) appTrace(__FILE__, __LINE__, __VA_ARGS__)

// Tests and the command-line tool watch the trace through this hook; it sees each finished line.
typedef void (*AppTraceHook)(const char* line, void* context);
void appSetTraceHook(AppTraceHook hook, void* context);

// --- Message boxes -------------------------------------------------------------------------------
void appWarning(const char* text);     // "Warning", OK, exclamation
void appFatalError(const char* text);  // "Fatal Error", OK, stop icon
void appMessage(const char* text);     // application name, OK, exclamation
bool appAskYesNo(const char* text);    // application name, Yes/No, question; false when disabled
// Tests route every box to this hook instead of the screen; it returns the button pressed
// (IDOK 1, IDYES 6, IDNO 7). Null restores real boxes.
typedef int (*AppMessageBoxHook)(const char* text, const char* title, uint32_t flags, void* context);
void appSetMessageBoxHook(AppMessageBoxHook hook, void* context);
void appSetName(const char* name);
const char* appGetName(void);
void appSetOwnerWindow(AppWindow window);
void appEnableMessages(bool enabled);
bool appMessagesEnabled(void);

// --- Status bar and progress bar ----------------------------------------------------------------
void appSetStatusWindow(AppWindow window);
void appSetStatusRect(const AppRect* rect);
void appSetStatusFont(AppFont font);
void appStatusText(const char* text);  // null draws an empty status bar
void appSetProgressWindow(AppWindow window);
void appProgress(uint32_t done, uint32_t total);
// The percentage appProgress shows: done / total * 100 in double, truncated (0 for a zero total).
uint32_t appProgressPercent(uint32_t done, uint32_t total);
// The smallest count beyond `done` whose percentage differs from that of `done`, or `total` when
// there is none: a long task calls appProgress there only, once for each percent shown.
uint32_t appProgressNext(uint32_t done, uint32_t total);

// --- Work beside the caller ------------------------------------------------------------------------
// A task runs on a thread of its own while its caller goes on, and appTaskWait returns once it has
// ended: then the caller may use what it wrote. When no thread can be had, appTaskStart runs the
// task itself before it returns, so that no caller depends on a second processor. A task only
// reads and writes memory the caller leaves to it: it neither allocates, traces, nor draws.
typedef void (*AppTaskFunction)(void* context);
struct AppTask {
  AppTaskFunction function;
  void* context;
  uintptr_t thread;  // the system's thread while the task may run; 0 once waited for or run in place
};
// `task` stays where it is until appTaskWait. Waiting for a task that has been waited for, or for
// a zeroed AppTask, returns at once.
void appTaskStart(AppTask* task, AppTaskFunction function, void* context);
void appTaskWait(AppTask* task);

// --- Installation folder and files ----------------------------------------------------------------
bool appInitInstallPath(const char* productName, bool write);
const char* appInstallPath(void);
bool appLocateFile(const char* name, char* result);  // result holds APP_PATH_LENGTH characters
bool appFileExists(const char* path);
uint64_t appFileTime(const char* path);
const char* appFileName(const char* path);
void appShortenPath(char* path, int limit);
void appSplitPath(const char* path, char* folder, char* name);
bool appFileDialog(AppWindow owner, bool open, const char* title, const char* defaultExtension,
                   const char* fileTypes, const char* startFolder, char* file,
                   uint16_t* fileOffset, uint16_t* extensionOffset);
void appOpenHtmlFile(const char* address, AppWindow owner);

// --- The saver's random numbers ---------------------------------------------------------------------
void appSeedRandom(uint32_t seed);
int appRandom(void);  // 0..32767
// The generator's state, to run a second stream beside the first (appSeedRandom puts one back).
uint32_t appRandomState(void);
bool appPickRandomFile(const char* folder, const char* pattern, char* name);

// --- Files ---------------------------------------------------------------------------------------
// fopen for the library's readers and writers. The Windows build is plain fopen. The host build
// accepts backslashes as separators and gives text modes the Windows behaviour (CR LF on disk
// read as one line end, written as CR LF), so files written on either build are identical.
#include <cstdio>
FILE* appFileOpen(const char* path, const char* mode);

// --- Saving files whole ------------------------------------------------------------------------------
// Every writer of the library's files saves through an AppSave. The bytes go to a new temporary
// file in the target's folder; appSaveFinish checks every write, the flush and the close and only
// then puts the new file in the target's place in one step (on Windows 95/98, which have no such
// step, the old file is moved aside only once the new one is complete, and put back when the new
// one cannot take its place). On any failure the target is byte for byte as it was, no temporary
// file is left, the failure is traced, and appSaveReason gives the system's words for it.
enum { APP_SAVE_BUFFER = 4096 };
struct AppSave {
  void* handle;  // the temporary file while it is open
  char target[APP_PATH_LENGTH];
  char temporary[APP_PATH_LENGTH];
  bool text;       // "\n" goes to disk as CR LF, as the Windows text mode writes it
  bool failed;     // a write has failed: nothing more is written and Finish fails
  uint32_t error;  // the system's code for the first failure
  uint32_t used;   // bytes waiting in `buffer`
  uint64_t written;  // bytes handed to the system
  char buffer[APP_SAVE_BUFFER];
};
// Creates the temporary file for `path`; false (traced, with a reason) when it cannot be made.
bool appSaveBegin(AppSave* save, const char* path, bool text);
void appSavePrintf(AppSave* save, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void appSaveBytes(AppSave* save, const void* data, size_t size);
// Writes what is buffered, flushes, closes and replaces the target; true only when all of it worked.
bool appSaveFinish(AppSave* save);
// Gives up: closes and deletes the temporary file; the target is untouched.
void appSaveAbandon(AppSave* save);
// The system's reason for the last failed save ("There is not enough space on the disk."), or "".
const char* appSaveReason(void);
// Test hook: every later save fails at this point as a full disk would make it fail: the write
// that reaches byte `atByte` of the file, the flush, the close, or the step that replaces the
// target. Programs take it from the environment variable QUIRLA_SAVE_FAULT at their first save
// ("write:16384", "flush", "close", "replace") unless a test set it here first.
enum AppSaveFault { APP_SAVE_FAULT_NONE, APP_SAVE_FAULT_WRITE, APP_SAVE_FAULT_FLUSH, APP_SAVE_FAULT_CLOSE,
                    APP_SAVE_FAULT_REPLACE };
void appSetSaveFault(AppSaveFault fault, uint64_t atByte);
bool appParseSaveFault(const char* text, AppSaveFault* fault, uint64_t* atByte);
