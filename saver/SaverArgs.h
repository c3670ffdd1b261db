// SaverArgs.h: the screensaver's command line: which mode Windows asked for, and with which window.
#pragma once

#include <cstdint>

enum SaverAction {
  SAVER_ACTION_CONFIG,    // no argument: the configuration dialog with no owner
  SAVER_ACTION_CONFIGURE, // "c" or "c:<handle>": the dialog owned by that or the foreground window
  SAVER_ACTION_RUN,       // "s": full screen
  SAVER_ACTION_PREVIEW,   // "p <handle>" or "l <handle>": inside a control-panel window
  SAVER_ACTION_PASSWORD,  // "a <handle>": change the password (Windows 95/98)
  SAVER_ACTION_INVALID,   // any other letter
};

struct SaverCommand {
  int32_t action;
  uint32_t handle;  // the decimal window handle read with the switch; 0 names no window
};

// The command line without the program name (quoted or not) and the blanks after it.
const char* saverSkipProgramName(const char* commandLine);

// Reads the switch: blanks, "-" and "/" are skipped, then one letter decides (either case).
void saverParseArguments(const char* arguments, SaverCommand* command);
