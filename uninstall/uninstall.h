// uninstall.h: the uninstaller's process-wide state and its functions: start-up and window
// (Uninstall.cpp), the removal run and its steps (UninstallRemove.cpp).
#pragma once

#include <windows.h>

enum {
  UNINSTALL_TEXT = 260,        // installation folder, product name, description, one field
  UNINSTALL_NAME_LENGTH = 127,  // longest product name taken from the command line
  UNINSTALL_DEFAULT_COUNT = 50,
  UNINSTALL_TIMER = 1,
  UNINSTALL_START_DELAY = 500,
  UNINSTALL_ICON = 101,
  UNINSTALL_STATUS_ID = 1,
  UNINSTALL_PROGRESS_ID = 2,
};

struct UninstallState {
  HINSTANCE instance;
  char installFolder[UNINSTALL_TEXT];  // canonical; also the current folder during the run; no trailing "\"
  // The lists the run works from: those beside the program when it carries its own (the remover
  // hands it copies it was built with), else ".\setup.ini" and "setup.lst" of the installation.
  char setupIni[UNINSTALL_TEXT];
  char setupList[UNINSTALL_TEXT];
  char productName[UNINSTALL_TEXT];    // "Name" of setup.ini section "Setup"
  char description[UNINSTALL_TEXT];    // "Description" of section "Setup"
  int fileCount;                        // "Count" of section "Setup", the progress denominator
  HWND mainWindow, statusWindow, progressWindow;
  UINT_PTR timer;
  HPEN pen;         // white, for the line along the top of the bottom bar
  HFONT largeFont;  // the description: "Times New Roman" 42, italic
  HFONT statusFont;
  HICON icon;
  int barHeight;
};

extern UninstallState uninstall;

// Start-up (Uninstall.cpp).
int uninstallMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand);
bool uninstallFindProduct(const char* argument);
LRESULT CALLBACK uninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Chooses the lists (setupIni, setupList): the program's own folder when it holds both.
void uninstallFindLists(void);
// "Name", "Description" and "Count" (default 50) of section "Setup" of the chosen setup.ini.
void uninstallReadSetup(void);
void uninstallLayout(HWND window);
void uninstallProgress(int done, int count);

// The removal (UninstallRemove.cpp), started once by the start timer.
void CALLBACK uninstallRun(HWND window, UINT message, UINT_PTR timer, DWORD time);
bool uninstallRemoveAssociations(void);
bool uninstallRemoveAssociation(const char* extension);
bool uninstallRemoveShortcuts(void);
bool uninstallRemoveShortcut(const char* group, const char* fileName);
bool uninstallRemoveUninstallEntry(void);
// Field `number` (from 1) of a comma-separated setup.ini value; at most UNINSTALL_TEXT - 1 characters.
void uninstallGetField(const char* text, int number, char* field);
// True when `name` is one plain file or folder name: not empty, no separator, drive or wildcard,
// and not made of dots and blanks only.
bool uninstallIsPlainName(const char* name);
// True when `entry` is a path below the installation folder: relative, no drive, no ".." part.
bool uninstallIsInsideEntry(const char* entry);
// True when an existing part of `path` from its character `from` on (the whole path for 0) is a
// reparse point (a junction or a symbolic link), through which a delete would land elsewhere.
bool uninstallCrossesReparsePoint(const char* path, size_t from);
