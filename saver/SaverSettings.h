// SaverSettings.h: the screensaver's twenty settings (and Frame Pacing beside them): the record, its defaults and valid ranges,
// the table that drives the registry reader and writer, and their load and save.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
  SAVER_PATH_LENGTH = 260,
  SAVER_SETTING_COUNT = 20,       // the values the configuration dialog shows and writes
  SAVER_ALL_SETTING_COUNT = 21,   // with "Frame Pacing", which the saver reads and the dialog keeps
};

enum SaverBackground { SAVER_BACK_NONE = 0, SAVER_BACK_DESKTOP = 1, SAVER_BACK_BITMAP = 2 };
enum SaverMove {
  SAVER_MOVE_NONE = 0,
  SAVER_MOVE_REFLECT = 1,
  SAVER_MOVE_BOUNCE = 2,
  SAVER_MOVE_WANDER = 3,
  SAVER_MOVE_RANDOM = 4,
};

// The settings record. The saver window and the configuration dialog each work on the one
// process-wide record (saverSettings()); the two never run in one process.
struct SaverSettings {
  int32_t backgroundState;
  char bitmapFile[SAVER_PATH_LENGTH];
  int32_t bitmapRandom;
  int32_t bitmapTile;
  int32_t moveState;
  int32_t spinX;
  int32_t spinY;
  int32_t spinZ;
  int32_t spinRandom;
  int32_t modelSize;
  int32_t moveSpeed;
  int32_t spinXSpeed;
  int32_t spinYSpeed;
  int32_t spinZSpeed;
  char modelFile[SAVER_PATH_LENGTH];
  int32_t modelRandom;
  char lightFile[SAVER_PATH_LENGTH];
  int32_t lightRandom;
  int32_t change;
  uint32_t changeTime;
  int32_t framePacing;  // 1: one frame per display refresh; 0: frames back to back
};

// How one registry value maps onto the record. Numbers are 32-bit (REG_DWORD); texts are
// REG_SZ of at most SAVER_PATH_LENGTH bytes with their terminating zero.
struct SaverSettingField {
  const char* name;     // the registry value name
  bool isText;
  size_t offset;        // of the field within SaverSettings
  int32_t defaultValue; // numbers only; the text defaults depend on the installation folder
  int64_t minimum;      // valid range, inclusive (texts are not tested)
  int64_t maximum;
  bool isUnsigned;      // compare as an unsigned 32-bit number ("Change Time")
};

// The twenty values in the order in which they are read and written, then Frame Pacing (read by
// the load, its default when missing; never written).
const SaverSettingField* saverSettingFields(void);

// The process-wide record.
SaverSettings* saverSettings(void);

// Every value to its default. installFolder ends in a backslash (or is empty): the model and
// light defaults are its "Models\can.vxm" and "Lights\day.vlt". Called before every load.
void saverSetDefaultSettings(SaverSettings* settings, const char* installFolder);

// Replaces a number outside its range by the field's default; texts are always valid.
// Returns true when the value was kept.
bool saverCheckSettingRange(SaverSettings* settings, const SaverSettingField* field);

// Raw access to one number of the record by its field (the reader and writer work through these).
uint32_t saverGetSettingNumber(const SaverSettings* settings, const SaverSettingField* field);
void saverSetSettingNumber(SaverSettings* settings, const SaverSettingField* field, uint32_t value);
char* saverSettingText(SaverSettings* settings, const SaverSettingField* field);

// The range limits the dialog's controls enforce.
enum {
  SAVER_MODEL_SIZE_MIN = 10,
  SAVER_MODEL_SIZE_MAX = 50,
  SAVER_MOVE_SPEED_MIN = 1,
  SAVER_MOVE_SPEED_MAX = 80,
  SAVER_SPIN_SPEED_MIN = -80,
  SAVER_SPIN_SPEED_MAX = 80,
  SAVER_CHANGE_TIME_MIN = 4,
  SAVER_CHANGE_TIME_MAX = 3600,
};
// Change Time as typed into the dialog, limited to 4..3600.
uint32_t saverClampChangeTime(uint32_t seconds);

// The registry (Windows build): HKEY_LOCAL_MACHINE "SOFTWARE\Drovelkant\Quirla\Settings".
// The caller sets the defaults first; load writes every missing value with its default and
// replaces out-of-range numbers (in memory). Both create the key when it is missing.
#define SAVER_SETTINGS_KEY "SOFTWARE\\Drovelkant\\Quirla\\Settings"
bool saverLoadSettings(SaverSettings* settings);
bool saverSaveSettings(const SaverSettings* settings);
