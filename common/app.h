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
bool appPickRandomFile(const char* folder, const char* pattern, char* name);

// --- Files ---------------------------------------------------------------------------------------
// fopen for the library's readers and writers. The Windows build is plain fopen. The host build
// accepts backslashes as separators and gives text modes the Windows behaviour (CR LF on disk
// read as one line end, written as CR LF), so files written on either build are identical.
#include <cstdio>
FILE* appFileOpen(const char* path, const char* mode);
