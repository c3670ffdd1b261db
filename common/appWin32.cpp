// appWin32.cpp: the services' system calls on Windows: debugger output, message boxes, the
// status and progress bars, files and folders, the common file dialog and the help browser.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "app.h"
#include "appPlatform.h"

void appPlatformDebugOutput(const char* line) { OutputDebugStringA(line); }

int appPlatformMessageBox(AppWindow owner, const char* text, const char* title, uint32_t flags) {
  return MessageBoxA((HWND)owner, text ? text : "", title, flags);
}

void appPlatformStatusText(AppWindow window, const AppRect* rect, AppFont font, const char* text) {
  HWND hwnd = (HWND)window;
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  HGDIOBJ former = font ? SelectObject(dc, (HFONT)font) : nullptr;
  RECT r = {rect->left, rect->top, rect->right, rect->bottom};
  DrawStatusTextA(dc, &r, text, 0);
  if (font) SelectObject(dc, former);
  ReleaseDC(hwnd, dc);
}

void appPlatformProgress(AppWindow window, uint32_t percent, bool show) {
  HWND hwnd = (HWND)window;
  SendMessageA(hwnd, PBM_SETPOS, (WPARAM)percent, 0);
  UpdateWindow(hwnd);
  ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
}

bool appPlatformWindowRect(AppWindow window, AppRect* rect) {
  RECT r;
  if (!GetWindowRect((HWND)window, &r)) return false;
  rect->left = r.left;
  rect->top = r.top;
  rect->right = r.right;
  rect->bottom = r.bottom;
  return true;
}

bool appPlatformFileAttributes(const char* path, bool* isFolder) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  *isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool appPlatformCreateFolder(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

int appPlatformWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context) {
  char search[APP_PATH_LENGTH];
  int written = std::snprintf(search, sizeof search, "%s\\%s", folder, pattern);
  if (written <= 0 || written >= (int)sizeof search) return 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(search, &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int given = 0;
  do {
    ++given;
    if (!visit(data.cFileName, context)) break;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return given;
}

AppKey appPlatformOpenKey(const char* keyName) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_WRITE | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS &&
      RegCreateKeyA(HKEY_LOCAL_MACHINE, keyName, &key) != ERROR_SUCCESS)
    return nullptr;
  return (AppKey)key;
}

void appPlatformCloseKey(AppKey key) {
  if (key) RegCloseKey((HKEY)key);
}

bool appPlatformWriteValue(AppKey key, const char* name, const char* text) {
  return RegSetValueExA((HKEY)key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)std::strlen(text) + 1) ==
         ERROR_SUCCESS;
}

bool appPlatformReadValue(AppKey key, const char* name, char* text) {
  DWORD type = 0, size = APP_PATH_LENGTH;
  if (RegQueryValueExA((HKEY)key, name, nullptr, &type, (BYTE*)text, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  text[APP_PATH_LENGTH - 1] = 0;
  return true;
}

static DWORD WINAPI appWin32TaskMain(LPVOID argument) {
  AppTask* task = (AppTask*)argument;
  task->function(task->context);
  return 0;
}

bool appPlatformStartTask(AppTask* task) {
  HANDLE thread = CreateThread(nullptr, 0, appWin32TaskMain, task, 0, nullptr);
  if (!thread) return false;
  task->thread = (uintptr_t)thread;
  return true;
}

void appPlatformWaitTask(AppTask* task) {
  WaitForSingleObject((HANDLE)task->thread, INFINITE);
  CloseHandle((HANDLE)task->thread);
}

bool appPlatformModulePath(char* path) {
  DWORD length = GetModuleFileNameA(nullptr, path, APP_PATH_LENGTH - 1);
  return length > 0 && length < APP_PATH_LENGTH - 1;
}

FILE* appFileOpen(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  return std::fopen(path, mode);
}

// --- Files saved whole ---------------------------------------------------------------------------

AppFileHandle appPlatformCreateNewFile(const char* path, bool* exists, uint32_t* error) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) return (AppFileHandle)file;
  *error = GetLastError();
  *exists = *error == ERROR_FILE_EXISTS || *error == ERROR_ALREADY_EXISTS;
  return nullptr;
}

bool appPlatformWriteFile(AppFileHandle file, const void* data, uint32_t size, uint32_t* error) {
  DWORD done = 0;
  if (WriteFile((HANDLE)file, data, size, &done, nullptr) && done == size) return true;
  *error = done == size ? GetLastError() : ERROR_DISK_FULL;  // a short write is a full disk
  return false;
}

bool appPlatformFlushFile(AppFileHandle file, uint32_t* error) {
  if (FlushFileBuffers((HANDLE)file)) return true;
  *error = GetLastError();
  return false;
}

bool appPlatformCloseFile(AppFileHandle file, uint32_t* error) {
  if (CloseHandle((HANDLE)file)) return true;
  *error = GetLastError();
  return false;
}

bool appPlatformDeleteFile(const char* path) { return DeleteFileA(path) != 0; }

bool appPlatformMoveFile(const char* from, const char* to, uint32_t* error) {
  if (MoveFileA(from, to)) return true;
  *error = GetLastError();
  return false;
}

typedef BOOL(WINAPI* ReplaceFileFn)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);

bool appPlatformReplaceFile(const char* from, const char* to, uint32_t* error) {
  // ReplaceFileA (Windows 2000 on) keeps the target's attributes and security. It is given a
  // spare name for the old file, so that a failure half-way leaves every file under a name: the
  // old one is moved back when only the new one could not take its place.
  static ReplaceFileFn replaceFile =
      (ReplaceFileFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "ReplaceFileA");
  if (replaceFile && GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES) {
    char aside[MAX_PATH + 16];
    int length = std::snprintf(aside, sizeof aside, "%s", from);
    if (length > 0 && length < MAX_PATH - 1) {
      aside[length - 1] = aside[length - 1] == 'Z' ? 'Y' : 'Z';  // a sibling of the spare name
      if (GetFileAttributesA(aside) == INVALID_FILE_ATTRIBUTES) {
        if (replaceFile(to, from, aside, REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)) {
          DeleteFileA(aside);
          return true;
        }
        *error = GetLastError();
        if (*error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExA(aside, to, MOVEFILE_REPLACE_EXISTING);
        DeleteFileA(aside);
        return false;
      }
    }
  }
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  *error = GetLastError();
  return false;
}

bool appPlatformOldWindows(void) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

uint32_t appPlatformDiskFullError(void) { return ERROR_DISK_FULL; }

void appPlatformErrorText(uint32_t error, char* text, int size) {
  if (size <= 0) return;
  text[0] = 0;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                text, (DWORD)size, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
    text[--length] = 0;
  if (length == 0) std::snprintf(text, size, "Error %lu.", (unsigned long)error);
}

uint32_t appPlatformUniqueNumber(void) {
  static uint32_t calls = 0;
  return GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++calls * 0x9E3779B9u);
}

uint64_t appFileTime(const char* path) {
  if (!path) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  FILETIME written;
  uint64_t result = 0;
  if (GetFileTime(file, nullptr, nullptr, &written))
    result = ((uint64_t)written.dwHighDateTime << 32) | written.dwLowDateTime;
  CloseHandle(file);
  return result;
}

bool appFileDialog(AppWindow owner, bool open, const char* title, const char* defaultExtension,
                   const char* fileTypes, const char* startFolder, char* file, uint16_t* fileOffset,
                   uint16_t* extensionOffset) {
  if (!file) return false;
  char name[APP_PATH_LENGTH];
  appCopyText(name, file, sizeof name);
  OPENFILENAMEA dialog;
  std::memset(&dialog, 0, sizeof dialog);
  dialog.lStructSize = 76;  // the classic record, understood by every Windows version
  dialog.hwndOwner = (HWND)owner;
  dialog.lpstrFilter = fileTypes;
  dialog.lpstrFile = name;
  dialog.nMaxFile = APP_PATH_LENGTH;
  dialog.lpstrInitialDir = startFolder;
  dialog.lpstrTitle = title;
  dialog.lpstrDefExt = defaultExtension;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  if (startFolder) appCreateFolderPath(startFolder);
  BOOL chosen = open ? GetOpenFileNameA(&dialog) : GetSaveFileNameA(&dialog);
  appCopyText(file, name, APP_PATH_LENGTH);
  if (fileOffset) *fileOffset = dialog.nFileOffset;
  if (extensionOffset) *extensionOffset = dialog.nFileExtension;
  return chosen != 0;
}

void appOpenHtmlFile(const char* address, AppWindow owner) {
  if (!address) return;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\htmlfile\\shell\\open\\command", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    MessageBoxA((HWND)owner, "Could not access registry to determine your Internet Browser application.",
                "Unable to open HTML file", MB_ICONHAND);
    return;
  }
  char valueName[APP_PATH_LENGTH];
  char command[APP_PATH_LENGTH + 1];
  DWORD nameSize = APP_PATH_LENGTH, dataSize = APP_PATH_LENGTH, type = 0;
  LONG result = RegEnumValueA(key, 0, valueName, &nameSize, nullptr, &type, (BYTE*)command, &dataSize);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) {
    MessageBoxA((HWND)owner, "Could not read registry to determine your Internet Browser application.",
                "Unable to open HTML file", MB_ICONHAND);
    return;
  }
  command[dataSize < (DWORD)APP_PATH_LENGTH ? dataSize : (DWORD)APP_PATH_LENGTH] = 0;
  char line[2 * APP_PATH_LENGTH + 8];
  if (!appBrowserCommandLine(command, address, line, sizeof line) || WinExec(line, SW_SHOW) <= 31) {
    char text[APP_PATH_LENGTH + 400];
    std::snprintf(text, sizeof text,
                  "Your Internet browser could not be started.\n\n"
                  "Please start your browser yourself and open this help file:\n%s\n\n"
                  "Two common browsers are Mozilla Firefox (www.mozilla.org) and\n"
                  "Microsoft Internet Explorer (www.microsoft.com).",
                  address);
    MessageBoxA((HWND)owner, text, "Unable to view HTML file", MB_ICONHAND);
  }
}
