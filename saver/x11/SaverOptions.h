// SaverOptions.h: the native saver's command line and settings file, and its line in
// XScreenSaver's ~/.xscreensaver. Portable text rules, host-tested; SaverX11.cpp applies them.
//
// Every setting of the Windows registry has an option: its value name in lower case with
// hyphens ("Change Time" is --change-time), with the same range and default. The settings file
// holds one "Name = value" line per value name. Options override the file, the file overrides
// the defaults. Paths are written with slashes and kept in the record with backslashes, as the
// saver's services expect them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SaverSettings.h"

enum { SAVER_OPTION_ERROR = 400, SAVER_FPS_DEFAULT = 60, SAVER_FPS_MAX = 1000 };

struct SaverOptions {
  bool hasWindowId;          // --window-id ID (decimal or 0x hex)
  uint32_t windowId;
  bool root;                 // --root: XSCREENSAVER_WINDOW, else the root window
  bool fullscreen;           // a borderless window of its own covering the screen
  int32_t fps;               // frames a second; 0 draws as fast as it can
  bool showFps;
  bool saveSettings;         // write the settings file and end
  bool installXScreenSaver;  // add the program to ~/.xscreensaver and end
  bool help;
  char dataFolder[SAVER_PATH_LENGTH];  // --data DIR, empty when not given
  bool given[SAVER_SETTING_COUNT];     // the settings set on the command line
  SaverSettings values;                // their values
};

// The option for a registry value name into `option` ("--" and the name in lower case with
// hyphens for blanks).
void saverOptionName(const char* valueName, char* option, size_t size);

// Reads the arguments (argv without the program name). Options take one or two dashes, a value
// follows as the next argument or after "=". False with a message in `error` (of
// SAVER_OPTION_ERROR characters) for an unknown option, a missing or malformed value, or a
// value out of its range.
bool saverParseOptions(int count, char* const* arguments, SaverOptions* options, char* error);

// Applies the text of a settings file to the record. Blank lines and lines starting with "#"
// are skipped. False with a message naming the line for an unknown name, a line without "=",
// or a bad value; the record keeps what came before that line.
bool saverApplySettingsText(const char* text, const char* fileName, SaverSettings* settings, char* error);
// Applies the settings given on the command line.
void saverApplyOptions(const SaverOptions* options, SaverSettings* settings);
// The settings file's text for the record: every value, in the registry's order. `size` bytes.
bool saverSettingsText(const SaverSettings* settings, char* text, size_t size);

// A path as typed (slashes) into the record's form (backslashes), and back. False when it
// does not fit SAVER_PATH_LENGTH with its zero.
bool saverPathToRecord(const char* typed, char* stored);
void saverPathFromRecord(const char* stored, char* typed);

// ~/.xscreensaver with `command` added as the first entry of its "programs:" list (a new list
// when it has none) into `out` of `size` bytes. `present` is set, and the text copied as it is,
// when a program line already names the command's program. False when `out` is too small.
bool saverAddXScreenSaverProgram(const char* text, const char* command, char* out, size_t size, bool* present);
