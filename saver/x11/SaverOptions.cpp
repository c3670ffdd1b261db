// SaverOptions.cpp: the native saver's options, settings file and ~/.xscreensaver line.
#include "SaverOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app.h"

void saverOptionName(const char* valueName, char* option, size_t size) {
  size_t out = 0;
  for (const char* p = "--"; *p && out + 1 < size; ++p) option[out++] = *p;
  for (const char* p = valueName; *p && out + 1 < size; ++p)
    option[out++] = *p == ' ' ? '-' : (char)std::tolower((unsigned char)*p);
  option[out] = 0;
}

bool saverPathToRecord(const char* typed, char* stored) {
  size_t length = std::strlen(typed);
  if (length >= SAVER_PATH_LENGTH) return false;
  for (size_t i = 0; i <= length; ++i) stored[i] = typed[i] == '/' ? '\\' : typed[i];
  return true;
}

void saverPathFromRecord(const char* stored, char* typed) {
  size_t i = 0;
  for (; stored[i] && i + 1 < SAVER_PATH_LENGTH; ++i) typed[i] = stored[i] == '\\' ? '/' : stored[i];
  typed[i] = 0;
}

// A whole decimal number within the field's range into the record; false with the reason.
static bool setNumber(SaverSettings* settings, const SaverSettingField* field, const char* text,
                      const char* what, char* error) {
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text, &end, 10);
  bool whole = end != text && *end == 0 && errno == 0;
  if (!whole || value < field->minimum || value > field->maximum) {
    std::snprintf(error, SAVER_OPTION_ERROR, "%s must be a whole number from %lld to %lld, not \"%s\"", what,
                  (long long)field->minimum, (long long)field->maximum, text);
    return false;
  }
  saverSetSettingNumber(settings, field, (uint32_t)value);
  return true;
}

static bool setValue(SaverSettings* settings, const SaverSettingField* field, const char* text,
                     const char* what, char* error) {
  if (!field->isText) return setNumber(settings, field, text, what, error);
  if (saverPathToRecord(text, saverSettingText(settings, field))) return true;
  std::snprintf(error, SAVER_OPTION_ERROR, "%s is longer than %d characters", what, SAVER_PATH_LENGTH - 1);
  return false;
}

static int settingIndexForOption(const char* name) {
  const SaverSettingField* fields = saverSettingFields();
  char option[64];
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    saverOptionName(fields[i].name, option, sizeof option);
    if (std::strcmp(option + 2, name) == 0) return i;
  }
  return -1;
}

enum OptionKind { OPTION_FLAG, OPTION_VALUE };
struct ProgramOption {
  const char* name;
  OptionKind kind;
};
static const ProgramOption programOptions[] = {
    {"root", OPTION_FLAG},          {"fullscreen", OPTION_FLAG},          {"show-fps", OPTION_FLAG},
    {"save-settings", OPTION_FLAG}, {"install-xscreensaver", OPTION_FLAG}, {"help", OPTION_FLAG},
    {"window-id", OPTION_VALUE},    {"fps", OPTION_VALUE},                {"data", OPTION_VALUE},
};

static bool setProgramOption(SaverOptions* options, const char* name, const char* value, char* error) {
  if (!std::strcmp(name, "root")) options->root = true;
  else if (!std::strcmp(name, "fullscreen")) options->fullscreen = true;
  else if (!std::strcmp(name, "show-fps")) options->showFps = true;
  else if (!std::strcmp(name, "save-settings")) options->saveSettings = true;
  else if (!std::strcmp(name, "install-xscreensaver")) options->installXScreenSaver = true;
  else if (!std::strcmp(name, "help")) options->help = true;
  else if (!std::strcmp(name, "window-id")) {
    errno = 0;
    char* end = nullptr;
    unsigned long long id = std::strtoull(value, &end, 0);
    if (end == value || *end || errno || id == 0 || id > 0xFFFFFFFFull || value[0] == '-') {
      std::snprintf(error, SAVER_OPTION_ERROR, "--window-id must name a window (decimal or 0x hex), not \"%s\"", value);
      return false;
    }
    options->hasWindowId = true;
    options->windowId = (uint32_t)id;
  } else if (!std::strcmp(name, "fps")) {
    char* end = nullptr;
    errno = 0;
    long fps = std::strtol(value, &end, 10);
    if (end == value || *end || errno || fps < 0 || fps > SAVER_FPS_MAX) {
      std::snprintf(error, SAVER_OPTION_ERROR, "--fps must be a whole number from 0 to %d, not \"%s\"", SAVER_FPS_MAX,
                    value);
      return false;
    }
    options->fps = (int32_t)fps;
  } else if (!std::strcmp(name, "data")) {
    if (!value[0] || std::strlen(value) >= SAVER_PATH_LENGTH - 1) {
      std::snprintf(error, SAVER_OPTION_ERROR, "--data needs a folder of fewer than %d characters",
                    SAVER_PATH_LENGTH - 1);
      return false;
    }
    std::strcpy(options->dataFolder, value);
  }
  return true;
}

bool saverParseOptions(int count, char* const* arguments, SaverOptions* options, char* error) {
  std::memset(options, 0, sizeof *options);
  options->fps = SAVER_FPS_DEFAULT;
  saverSetDefaultSettings(&options->values, "");
  for (int i = 0; i < count; ++i) {
    const char* argument = arguments[i];
    if (argument[0] != '-' || !argument[1]) {
      std::snprintf(error, SAVER_OPTION_ERROR, "unexpected argument \"%s\"", argument);
      return false;
    }
    const char* name = argument + (argument[1] == '-' ? 2 : 1);
    char bare[64];
    const char* equals = std::strchr(name, '=');
    size_t nameLength = equals ? (size_t)(equals - name) : std::strlen(name);
    if (nameLength == 0 || nameLength >= sizeof bare) {
      std::snprintf(error, SAVER_OPTION_ERROR, "unknown option \"%s\"", argument);
      return false;
    }
    std::memcpy(bare, name, nameLength);
    bare[nameLength] = 0;

    int setting = settingIndexForOption(bare);
    OptionKind kind = OPTION_VALUE;
    bool known = setting >= 0;
    for (const ProgramOption& option : programOptions)
      if (!std::strcmp(option.name, bare)) {
        kind = option.kind;
        known = true;
      }
    if (!known) {
      std::snprintf(error, SAVER_OPTION_ERROR, "unknown option \"%s\" (--help lists them)", argument);
      return false;
    }
    const char* value = equals ? equals + 1 : nullptr;
    if (kind == OPTION_FLAG && value) {
      std::snprintf(error, SAVER_OPTION_ERROR, "--%s takes no value", bare);
      return false;
    }
    if (kind == OPTION_VALUE && !value) {
      if (i + 1 >= count) {
        std::snprintf(error, SAVER_OPTION_ERROR, "--%s needs a value", bare);
        return false;
      }
      value = arguments[++i];
    }
    char what[72];
    std::snprintf(what, sizeof what, "--%s", bare);
    if (setting >= 0) {
      if (!setValue(&options->values, &saverSettingFields()[setting], value, what, error)) return false;
      options->given[setting] = true;
    } else if (!setProgramOption(options, bare, value, error)) {
      return false;
    }
  }
  return true;
}

void saverApplyOptions(const SaverOptions* options, SaverSettings* settings) {
  const SaverSettingField* fields = saverSettingFields();
  SaverSettings given = options->values;
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    if (!options->given[i]) continue;
    if (fields[i].isText)
      std::strcpy(saverSettingText(settings, &fields[i]), saverSettingText(&given, &fields[i]));
    else
      saverSetSettingNumber(settings, &fields[i], saverGetSettingNumber(&given, &fields[i]));
  }
}

// Cuts blanks from both ends of [start, end) in place; returns the new start.
static char* trim(char* start, char* end) {
  while (end > start && std::isspace((unsigned char)end[-1])) --end;
  *end = 0;
  while (*start && std::isspace((unsigned char)*start)) ++start;
  return start;
}

bool saverApplySettingsText(const char* text, const char* fileName, SaverSettings* settings, char* error) {
  const SaverSettingField* fields = saverSettingFields();
  int lineNumber = 0;
  const char* at = text;
  while (*at) {
    ++lineNumber;
    const char* end = std::strchr(at, '\n');
    size_t length = end ? (size_t)(end - at) : std::strlen(at);
    char line[SAVER_PATH_LENGTH + 64];
    if (length >= sizeof line) {
      std::snprintf(error, SAVER_OPTION_ERROR, "%s line %d: the line is too long", fileName, lineNumber);
      return false;
    }
    std::memcpy(line, at, length);
    line[length] = 0;
    at = end ? end + 1 : at + length;

    char* content = trim(line, line + length);
    if (!content[0] || content[0] == '#') continue;
    char* equals = std::strchr(content, '=');
    if (!equals) {
      std::snprintf(error, SAVER_OPTION_ERROR, "%s line %d: expected \"Name = value\"", fileName, lineNumber);
      return false;
    }
    char* name = trim(content, equals);
    char* value = trim(equals + 1, equals + 1 + std::strlen(equals + 1));
    int index = -1;
    for (int i = 0; i < SAVER_SETTING_COUNT; ++i)
      if (strcasecmp(fields[i].name, name) == 0) index = i;
    if (index < 0) {
      std::snprintf(error, SAVER_OPTION_ERROR, "%s line %d: unknown setting \"%s\"", fileName, lineNumber, name);
      return false;
    }
    char what[SAVER_PATH_LENGTH + 96];
    std::snprintf(what, sizeof what, "%s line %d: %s", fileName, lineNumber, fields[index].name);
    if (!setValue(settings, &fields[index], value, what, error)) return false;
  }
  return true;
}

bool saverSettingsText(const SaverSettings* settings, char* text, size_t size) {
  const SaverSettingField* fields = saverSettingFields();
  SaverSettings copy = *settings;
  size_t used = 0;
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    char value[SAVER_PATH_LENGTH];
    if (fields[i].isText) {
      saverPathFromRecord(saverSettingText(&copy, &fields[i]), value);
    } else {
      uint32_t raw = saverGetSettingNumber(&copy, &fields[i]);
      if (fields[i].isUnsigned)
        std::snprintf(value, sizeof value, "%u", raw);
      else
        std::snprintf(value, sizeof value, "%d", (int32_t)raw);
    }
    int written = std::snprintf(text + used, size - used, "%s = %s\n", fields[i].name, value);
    if (written < 0 || (size_t)written >= size - used) return false;
    used += (size_t)written;
  }
  return true;
}

// Appends `count` bytes to out at *used; false when they do not fit with a closing zero.
static bool append(char* out, size_t size, size_t* used, const char* text, size_t count) {
  if (*used + count + 1 > size) return false;
  std::memcpy(out + *used, text, count);
  *used += count;
  out[*used] = 0;
  return true;
}

static bool appendText(char* out, size_t size, size_t* used, const char* text) {
  return append(out, size, used, text, std::strlen(text));
}

// The start of the line that begins with "programs:", or null.
static const char* findProgramsLine(const char* text) {
  for (const char* line = text; line && *line;) {
    if (std::strncmp(line, "programs:", 9) == 0) return line;
    line = std::strchr(line, '\n');
    if (line) ++line;
  }
  return nullptr;
}

bool saverAddXScreenSaverProgram(const char* text, const char* command, char* out, size_t size, bool* present) {
  if (!text) text = "";
  // The program is the command's first word.
  char program[SAVER_PATH_LENGTH];
  size_t programLength = std::strcspn(command, " \t");
  if (programLength >= sizeof program) return false;
  std::memcpy(program, command, programLength);
  program[programLength] = 0;
  const char* list = findProgramsLine(text);
  *present = list && std::strstr(list, program) != nullptr;
  size_t used = 0;
  if (size) out[0] = 0;
  if (*present) return appendText(out, size, &used, text);

  if (!list) {
    bool ended = !text[0] || text[std::strlen(text) - 1] == '\n';
    return appendText(out, size, &used, text) && (ended || appendText(out, size, &used, "\n")) &&
           appendText(out, size, &used, "programs:\t\\\n  ") && appendText(out, size, &used, command) &&
           appendText(out, size, &used, "\n");
  }
  const char* lineEnd = std::strchr(list, '\n');
  const char* rest = lineEnd ? lineEnd + 1 : list + std::strlen(list);
  const char* entry = list + 9;
  const char* entryEnd = lineEnd ? lineEnd : rest;
  while (entry < entryEnd && std::isspace((unsigned char)*entry)) ++entry;
  while (entryEnd > entry && std::isspace((unsigned char)entryEnd[-1])) --entryEnd;
  // What the "programs:" line itself holds besides a lone continuation stays as an entry.
  bool continued = entryEnd > entry && entryEnd[-1] == '\\';
  bool ownEntry = entryEnd > entry && !(entryEnd - entry == 1 && continued);
  if (!append(out, size, &used, text, (size_t)(list - text)) || !appendText(out, size, &used, "programs:\t\\\n  ") ||
      !appendText(out, size, &used, command) ||
      !appendText(out, size, &used, continued || ownEntry ? "\t\\n\\\n" : "\n"))
    return false;
  if (ownEntry && !(appendText(out, size, &used, "  ") && append(out, size, &used, entry, (size_t)(entryEnd - entry)) &&
                    appendText(out, size, &used, "\n")))
    return false;
  return appendText(out, size, &used, rest);
}
