// SaverSettings.cpp: the settings record, its value table, defaults and range rules.
#include "SaverSettings.h"

#include <cstdio>
#include <cstring>

#include "app.h"

#define FIELD_NUMBER(name, member, def, lo, hi) \
  { name, false, offsetof(SaverSettings, member), def, lo, hi, false }
#define FIELD_TEXT(name, member) { name, true, offsetof(SaverSettings, member), 0, 0, 0, false }

static const SaverSettingField fields[SAVER_ALL_SETTING_COUNT] = {
    FIELD_NUMBER("Background State", backgroundState, 1, 0, 2),
    FIELD_TEXT("Bitmap File", bitmapFile),
    FIELD_NUMBER("Bitmap Random", bitmapRandom, 0, 0, 1),
    FIELD_NUMBER("Bitmap Tile", bitmapTile, 0, 0, 1),
    FIELD_NUMBER("Move State", moveState, 4, 0, 4),
    FIELD_NUMBER("Spin X", spinX, 0, 0, 1),
    FIELD_NUMBER("Spin Y", spinY, 0, 0, 1),
    FIELD_NUMBER("Spin Z", spinZ, 0, 0, 1),
    FIELD_NUMBER("Spin Random", spinRandom, 1, 0, 1),
    FIELD_NUMBER("Model Size", modelSize, 20, SAVER_MODEL_SIZE_MIN, SAVER_MODEL_SIZE_MAX),
    FIELD_NUMBER("Move Speed", moveSpeed, 65, SAVER_MOVE_SPEED_MIN, SAVER_MOVE_SPEED_MAX),
    FIELD_NUMBER("Spin X Speed", spinXSpeed, -25, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX),
    FIELD_NUMBER("Spin Y Speed", spinYSpeed, -25, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX),
    FIELD_NUMBER("Spin Z Speed", spinZSpeed, -25, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX),
    FIELD_TEXT("Model File", modelFile),
    FIELD_NUMBER("Model Random", modelRandom, 1, 0, 1),
    FIELD_TEXT("Light File", lightFile),
    FIELD_NUMBER("Light Random", lightRandom, 0, 0, 1),
    FIELD_NUMBER("Change", change, 1, 0, 1),
    {"Change Time", false, offsetof(SaverSettings, changeTime), 30, SAVER_CHANGE_TIME_MIN,
     SAVER_CHANGE_TIME_MAX, true},
    FIELD_NUMBER("Frame Pacing", framePacing, 1, 0, 1),
};

static_assert(sizeof(int32_t) == sizeof(uint32_t), "every number field is 32 bits");

static SaverSettings processSettings;

const SaverSettingField* saverSettingFields(void) { return fields; }

SaverSettings* saverSettings(void) { return &processSettings; }

static void joinPath(char* dst, const char* folder, const char* tail) {
  std::snprintf(dst, SAVER_PATH_LENGTH, "%s%s", folder, tail);
}

void saverSetDefaultSettings(SaverSettings* settings, const char* installFolder) {
  if (!settings) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (!installFolder) installFolder = "";
  std::memset(settings, 0, sizeof *settings);
  for (int i = 0; i < SAVER_ALL_SETTING_COUNT; ++i)
    if (!fields[i].isText) saverSetSettingNumber(settings, &fields[i], (uint32_t)fields[i].defaultValue);
  joinPath(settings->modelFile, installFolder, "Models\\can.vxm");
  joinPath(settings->lightFile, installFolder, "Lights\\day.vlt");
}

uint32_t saverGetSettingNumber(const SaverSettings* settings, const SaverSettingField* field) {
  if (!settings || !field || field->isText) {
    APP_TRACE("Invalid Parameters");
    return 0;
  }
  uint32_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(settings) + field->offset, sizeof value);
  return value;
}

void saverSetSettingNumber(SaverSettings* settings, const SaverSettingField* field, uint32_t value) {
  if (!settings || !field || field->isText) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  std::memcpy(reinterpret_cast<char*>(settings) + field->offset, &value, sizeof value);
}

char* saverSettingText(SaverSettings* settings, const SaverSettingField* field) {
  if (!settings || !field || !field->isText) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  return reinterpret_cast<char*>(settings) + field->offset;
}

bool saverCheckSettingRange(SaverSettings* settings, const SaverSettingField* field) {
  if (!settings || !field) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (field->isText) return true;
  uint32_t raw = saverGetSettingNumber(settings, field);
  // Spin speeds are two's complement; "Change Time" alone is compared unsigned, so a stored
  // 0xFFFFFFFF is far above its range rather than below it.
  int64_t value = field->isUnsigned ? (int64_t)raw : (int64_t)(int32_t)raw;
  if (value >= field->minimum && value <= field->maximum) return true;
  saverSetSettingNumber(settings, field, (uint32_t)field->defaultValue);
  return false;
}

uint32_t saverClampChangeTime(uint32_t seconds) {
  if (seconds < SAVER_CHANGE_TIME_MIN) return SAVER_CHANGE_TIME_MIN;
  if (seconds > SAVER_CHANGE_TIME_MAX) return SAVER_CHANGE_TIME_MAX;
  return seconds;
}
