// SaverArgs.cpp: reading the switches the Display control panel passes to a screen saver.
#include "SaverArgs.h"

#include "app.h"

static bool isBlank(char c) { return c == ' ' || c == '\t'; }

static const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

// Digits up to the first other character; none gives 0. Wraps like the 32-bit handle it is.
static uint32_t readHandle(const char* p) {
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + (uint32_t)(*p - '0');
  return value;
}

const char* saverSkipProgramName(const char* commandLine) {
  if (!commandLine) {
    APP_TRACE("Invalid Parameters");
    return "";
  }
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && !isBlank(*p)) ++p;
  }
  return skipBlanks(p);
}

void saverParseArguments(const char* arguments, SaverCommand* command) {
  if (!arguments || !command) {
    APP_TRACE("Invalid Parameters");
    if (command) *command = SaverCommand{SAVER_ACTION_INVALID, 0};
    return;
  }
  *command = SaverCommand{SAVER_ACTION_CONFIG, 0};
  const char* p = arguments;
  while (isBlank(*p) || *p == '-' || *p == '/') ++p;
  switch (*p) {
    case '\0':
      return;
    case 's':
    case 'S':
      command->action = SAVER_ACTION_RUN;
      return;
    case 'p':
    case 'P':
    case 'l':
    case 'L':
      command->action = SAVER_ACTION_PREVIEW;
      command->handle = readHandle(skipBlanks(p + 1));
      return;
    case 'c':
    case 'C':
      command->action = SAVER_ACTION_CONFIGURE;
      if (p[1] == ':') command->handle = readHandle(p + 2);
      return;
    case 'a':
    case 'A':
      command->action = SAVER_ACTION_PASSWORD;
      command->handle = readHandle(skipBlanks(p + 1));
      return;
    default:
      command->action = SAVER_ACTION_INVALID;
      return;
  }
}
