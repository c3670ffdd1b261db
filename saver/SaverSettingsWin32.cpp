// SaverSettingsWin32.cpp: the settings' registry reader and writer under HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <cstring>

#include "SaverSettings.h"
#include "app.h"

static bool openKey(REGSAM access, HKEY* key) {
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY, 0, access, key) == ERROR_SUCCESS) return true;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY, key) == ERROR_SUCCESS) return true;
  APP_TRACE("Failed to open registry key");
  return false;
}

static bool writeValue(HKEY key, SaverSettings* settings, const SaverSettingField* field) {
  LONG result;
  if (field->isText) {
    const char* text = saverSettingText(settings, field);
    result = RegSetValueExA(key, field->name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            (DWORD)std::strlen(text) + 1);
  } else {
    DWORD value = saverGetSettingNumber(settings, field);
    result = RegSetValueExA(key, field->name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value);
  }
  if (result == ERROR_SUCCESS) return true;
  APP_TRACE("Failed to write registry value: %s", field->name);
  return false;
}

// Reads one value into the record. A value of the wrong type or size counts as missing, so the
// load replaces it with the default rather than reading part of it.
static bool readValue(HKEY key, SaverSettings* settings, const SaverSettingField* field) {
  DWORD type = 0;
  if (field->isText) {
    char text[SAVER_PATH_LENGTH + 1];
    DWORD size = SAVER_PATH_LENGTH;
    if (RegQueryValueExA(key, field->name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
      return false;
    // A stored text need not end in a zero; never read past what was stored.
    text[size < SAVER_PATH_LENGTH ? size : SAVER_PATH_LENGTH - 1] = '\0';
    std::strcpy(saverSettingText(settings, field), text);
    return true;
  }
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key, field->name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return false;
  saverSetSettingNumber(settings, field, value);
  return true;
}

bool saverLoadSettings(SaverSettings* settings) {
  if (!settings) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  HKEY key;
  if (!openKey(KEY_WRITE | KEY_QUERY_VALUE, &key)) return false;
  const SaverSettingField* fields = saverSettingFields();
  // The twenty are written with their defaults when missing; Frame Pacing is only read, so that
  // neither the saver nor its dialog ever changes what the user set (or left out).
  for (int i = 0; i < SAVER_ALL_SETTING_COUNT; ++i) {
    if (!readValue(key, settings, &fields[i]) && i < SAVER_SETTING_COUNT && !writeValue(key, settings, &fields[i])) {
      RegCloseKey(key);
      APP_TRACE("Failed to load settings");
      return false;
    }
    saverCheckSettingRange(settings, &fields[i]);
  }
  RegCloseKey(key);
  return true;
}

bool saverSaveSettings(const SaverSettings* settings) {
  if (!settings) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  HKEY key;
  if (!openKey(KEY_WRITE, &key)) return false;
  // The writer reads through the same accessors as the reader; it changes nothing.
  SaverSettings copy = *settings;
  const SaverSettingField* fields = saverSettingFields();
  bool ok = true;
  for (int i = 0; i < SAVER_SETTING_COUNT && ok; ++i) ok = writeValue(key, &copy, &fields[i]);
  RegCloseKey(key);
  if (!ok) APP_TRACE("Failed to save settings");
  return ok;
}
