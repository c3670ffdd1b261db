// appHost.h: what the host build of the services offers tests in place of real windows.
// Message boxes are recorded instead of shown, and questions take a scripted answer.
#pragma once

#include <cstdint>

struct AppHostBox {
  const char* title;
  const char* text;
  uint32_t flags;  // the MessageBoxA flags the Windows build would pass
};

// Answer every later question with this (true = Yes). Starts as No.
void appHostSetAnswer(bool yes);
// Number of boxes shown since the last reset, and the last one (null when none).
int appHostBoxCount(void);
const AppHostBox* appHostLastBox(void);
// Status texts and progress the host build would have drawn: the last of each.
const char* appHostLastStatus(void);
int appHostStatusCount(void);
int appHostLastProgress(void);  // the percentage, or -1 when hidden
int appHostProgressCount(void);
// The texts and percentages in the order they came since the last reset (the first 64 of each):
// null or -2 past the end; a hidden bar is -1.
const char* appHostStatusAt(int index);
int appHostProgressAt(int index);
// Forget every record above and every setting: messages on, name "Application", no windows,
// no installation folder.
void appHostReset(void);
// Use this folder as the installation folder (a backslash or slash is appended when missing).
void appHostSetInstallPath(const char* folder);

// The stand-in registry of the host build: the program's own path that the writing mode of
// appInitInstallPath cuts, and the stored "InstallPath" value (null: no value stored).
void appHostSetModulePath(const char* path);
void appHostSetRegistryInstallPath(const char* value);
const char* appHostRegistryInstallPath(void);
// Opening the product key fails when set (to test "Failed to create key").
void appHostFailRegistry(bool fail);
// How many folder searches (appPlatformWalkMatches) were made since the program started.
int appHostFolderSearches(void);
// The host's safe saves take the Windows 95/98 way (old file aside, new file in, old file deleted).
void appHostSetOldWindows(bool old);
