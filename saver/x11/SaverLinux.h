// SaverLinux.h: the native saver's files (SaverLinuxFiles.cpp), which SaverX11.cpp's main uses.
// Each reports its own failure on standard error with the program's name.
#pragma once

#include "SaverSettings.h"

// Applies $XDG_CONFIG_HOME/quirla/settings (else ~/.config/quirla/settings) when there is one;
// false when it cannot be read or holds a bad line.
bool saverLoadSettingsFile(SaverSettings* settings);
// Writes the record to that file, making its folders; false when it cannot.
bool saverSaveSettingsFile(const SaverSettings* settings);
// Adds this program by its full path, with --root, to the programs of ~/.xscreensaver.
bool saverInstallInXScreenSaver(void);
void saverPrintHelp(void);
// The data folder (`given`, or PREFIX/share/quirla beside PREFIX/libexec/xscreensaver) as the
// services' installation folder, in the record's form with a backslash at the end, into `folder`
// of SAVER_PATH_LENGTH characters. False when it is no folder.
bool saverSetDataFolder(const char* given, char* folder);
