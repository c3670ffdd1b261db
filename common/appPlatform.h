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
int appPlatformMessageBox(AppWindow owner, const char* text, const char* title, uint32_t flags);
void appPlatformStatusText(AppWindow window, const AppRect* rect, AppFont font, const char* text);
void appPlatformProgress(AppWindow window, uint32_t percent, bool show);
bool appPlatformWindowRect(AppWindow window, AppRect* rect);
bool appPlatformFileAttributes(const char* path, bool* isFolder);
bool appPlatformCreateFolder(const char* path);
// The index-th match (0 first) of folder + "\" + pattern, in the system's search order.
bool appPlatformFindMatch(const char* folder, const char* pattern, int index, char* name);

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
// Sets the installation folder and marks the services initialised (used by Registry).
void appSetInstallFolder(const char* folder);
// Copies at most size-1 characters and always terminates.
void appCopyText(char* dst, const char* src, int size);
