// SaverWin32.h: the screensaver program's window procedures and entry points (Windows only).
#pragma once

#include <windows.h>

// The frame message the saver window posts itself.
#define SAVER_FRAME_MESSAGE (WM_USER + 1)
// The identifier of the change timer.
#define SAVER_CHANGE_TIMER 1
// Private message whose handling asks the password verifier (Windows 95/98).
#define SAVER_VERIFY_MESSAGE 0x8000

// The shell: entry, command line, window class, input rules and passwords.
int saverMain(HINSTANCE instance, const char* arguments);
int saverRun(HWND parent);
int saverShowConfig(HWND owner);
void saverChangePassword(HWND owner);
LRESULT CALLBACK saverShellProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT saverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool saverVerifyPassword(HWND window);
void saverLoadPasswordSupport(void);
void saverUnloadPasswordSupport(void);

// The animation: everything saverShellProc passes on.
LRESULT saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The configuration dialog (resource 2003).
INT_PTR CALLBACK saverConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
