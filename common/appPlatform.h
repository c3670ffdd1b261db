// appPlatform.h: the few primitives the portable services need from the system. appWin32.cpp
// implements them with the real calls; appHost.cpp gives the host build a small stand-in.
#pragma once

#include <cstdint>

#include "app.h"

// MessageBoxA flags and results the services use.
enum : uint32_t {
  APP_MB_OK = 0x0,
  APP_MB_YESNO = 0x4,
  APP_MB_ICONHAND = 0x10,
  APP_MB_ICONQUESTION = 0x20,
  APP_MB_ICONEXCLAMATION = 0x30,
  APP_IDYES = 6,
};

void appPlatformDebugOutput(const char* line);
// A thread that runs task->function(task->context), its handle in task->thread; false when none
// can be started. Waiting ends the thread and releases its handle.
bool appPlatformStartTask(AppTask* task);
void appPlatformWaitTask(AppTask* task);
int appPlatformMessageBox(AppWindow owner, const char* text, const char* title, uint32_t flags);
void appPlatformStatusText(AppWindow window, const AppRect* rect, AppFont font, const char* text);
void appPlatformProgress(AppWindow window, uint32_t percent, bool show);
bool appPlatformWindowRect(AppWindow window, AppRect* rect);
bool appPlatformFileAttributes(const char* path, bool* isFolder);
bool appPlatformCreateFolder(const char* path);
// One search of folder + "\" + pattern: gives each match's name, in the system's search order,
// to `visit` until it returns false. The number of names given (0 when nothing matches).
typedef bool (*AppMatchVisitor)(const char* name, void* context);
int appPlatformWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context);

// The product key below HKEY_LOCAL_MACHINE, opened for writing and querying and created when
// missing; null when neither works. Its values are texts (REG_SZ).
typedef void* AppKey;
AppKey appPlatformOpenKey(const char* keyName);
void appPlatformCloseKey(AppKey key);
bool appPlatformWriteValue(AppKey key, const char* name, const char* text);
// False when the value is missing or no text; `text` holds APP_PATH_LENGTH characters.
bool appPlatformReadValue(AppKey key, const char* name, char* text);
// The program's own path (at most APP_PATH_LENGTH - 2 characters); false when it cannot be had.
bool appPlatformModulePath(char* path);

// Files for saving whole. Every call gives the system's error code through `error` when it fails.
typedef void* AppFileHandle;
// A new file, never an existing one: `exists` is set when the name is taken.
AppFileHandle appPlatformCreateNewFile(const char* path, bool* exists, uint32_t* error);
bool appPlatformWriteFile(AppFileHandle file, const void* data, uint32_t size, uint32_t* error);
bool appPlatformFlushFile(AppFileHandle file, uint32_t* error);
bool appPlatformCloseFile(AppFileHandle file, uint32_t* error);
bool appPlatformDeleteFile(const char* path);
// Puts `from` in the place of `to` in one step, replacing it when it exists (ReplaceFileA keeps
// the target's attributes; MoveFileExA where that is missing; rename on the host).
bool appPlatformReplaceFile(const char* from, const char* to, uint32_t* error);
// Renames `from` to `to`, failing when `to` exists (MoveFileA).
bool appPlatformMoveFile(const char* from, const char* to, uint32_t* error);
// Windows 95/98: no one-step replacement (MoveFileExA is missing there).
bool appPlatformOldWindows(void);
// The code a full disk gives, for the test hook; the system's text for a code (no line break).
uint32_t appPlatformDiskFullError(void);
void appPlatformErrorText(uint32_t error, char* text, int size);
// A number that differs between processes and calls, to start temporary names from.
uint32_t appPlatformUniqueNumber(void);

// Portable pieces that the platform files and tests share.
// Cuts a program's own path to the installation folder: drop the file name, then the folder that
// holds the program, keeping the backslash before it. Empty when there is no backslash.
void appInstallFolderFromModule(const char* modulePath, char* folder);
// The command line that opens an address in the browser registered for HTML files: the quoted
// text before the first ".exe" (without a leading quote), a blank, then the quoted address.
// False when the registered command yields no browser.
bool appBrowserCommandLine(const char* registered, const char* address, char* command, int size);
// Creates a folder and its missing parents the way the file dialog does.
void appCreateFolderPath(const char* folder);
// Sets the installation folder and marks the services initialised (used by Registry); null
// forgets it and leaves them uninitialised.
void appSetInstallFolder(const char* folder);
// Copies at most size-1 characters and always terminates.
void appCopyText(char* dst, const char* src, int size);
