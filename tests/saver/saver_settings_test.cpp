// saver_settings_test.cpp: the settings' names, defaults and ranges; on Windows also their
// registry load and save under HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SaverSettings.h"

TEST(SaverSettingsTable, TwentyValuesInRegistryOrder) {
  static const char* const names[SAVER_SETTING_COUNT] = {
      "Background State", "Bitmap File",  "Bitmap Random", "Bitmap Tile", "Move State",
      "Spin X",           "Spin Y",       "Spin Z",        "Spin Random", "Model Size",
      "Move Speed",       "Spin X Speed", "Spin Y Speed",  "Spin Z Speed", "Model File",
      "Model Random",     "Light File",   "Light Random",  "Change",       "Change Time"};
  const SaverSettingField* fields = saverSettingFields();
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    EXPECT_STREQ(fields[i].name, names[i]);
    EXPECT_EQ(fields[i].isText, i == 1 || i == 14 || i == 16) << names[i];
  }
}

TEST(SaverSettingsTable, FramePacingFollowsTheTwenty) {
  const SaverSettingField& f = saverSettingFields()[SAVER_SETTING_COUNT];
  EXPECT_STREQ(f.name, "Frame Pacing");
  EXPECT_FALSE(f.isText);
  EXPECT_EQ(f.defaultValue, 1);
  EXPECT_EQ(f.minimum, 0);
  EXPECT_EQ(f.maximum, 1);
}

TEST(SaverSettingsTable, Defaults) {
  SaverSettings s;
  std::memset(&s, 0x5A, sizeof s);
  saverSetDefaultSettings(&s, "D:\\P\\");
  EXPECT_EQ(s.backgroundState, 1);
  EXPECT_STREQ(s.bitmapFile, "");
  EXPECT_EQ(s.bitmapRandom, 0);
  EXPECT_EQ(s.bitmapTile, 0);
  EXPECT_EQ(s.moveState, 4);
  EXPECT_EQ(s.spinX, 0);
  EXPECT_EQ(s.spinY, 0);
  EXPECT_EQ(s.spinZ, 0);
  EXPECT_EQ(s.spinRandom, 1);
  EXPECT_EQ(s.modelSize, 20);
  EXPECT_EQ(s.moveSpeed, 65);
  EXPECT_EQ(s.spinXSpeed, -25);
  EXPECT_EQ(s.spinYSpeed, -25);
  EXPECT_EQ(s.spinZSpeed, -25);
  EXPECT_STREQ(s.modelFile, "D:\\P\\Models\\can.vxm");
  EXPECT_EQ(s.modelRandom, 1);
  EXPECT_STREQ(s.lightFile, "D:\\P\\Lights\\day.vlt");
  EXPECT_EQ(s.lightRandom, 0);
  EXPECT_EQ(s.change, 1);
  EXPECT_EQ(s.changeTime, 30u);
  // A folder so long that the default path would not fit is cut, never overrun.
  std::string longFolder(300, 'x');
  saverSetDefaultSettings(&s, longFolder.c_str());
  EXPECT_EQ(std::strlen(s.modelFile), (size_t)SAVER_PATH_LENGTH - 1);
}

namespace {

const SaverSettingField* field(const char* name) {
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i)
    if (std::strcmp(saverSettingFields()[i].name, name) == 0) return &saverSettingFields()[i];
  return nullptr;
}

// Stores raw as the named value, runs the range check and returns what the record holds.
uint32_t checked(const char* name, uint32_t raw, bool* kept = nullptr) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "");
  const SaverSettingField* f = field(name);
  saverSetSettingNumber(&s, f, raw);
  bool k = saverCheckSettingRange(&s, f);
  if (kept) *kept = k;
  return saverGetSettingNumber(&s, f);
}

}  // namespace

TEST(SaverSettingsRange, OutOfRangeBecomesTheDefault) {
  bool kept = false;
  EXPECT_EQ(checked("Move State", 7, &kept), 4u);
  EXPECT_FALSE(kept);
  EXPECT_EQ(checked("Move State", 0, &kept), 0u);
  EXPECT_TRUE(kept);
  EXPECT_EQ(checked("Background State", 3), 1u);
  EXPECT_EQ(checked("Background State", 2), 2u);
  EXPECT_EQ(checked("Bitmap Tile", 2), 0u);
  EXPECT_EQ(checked("Spin Random", 0xFFFFFFFFu), 1u);
  EXPECT_EQ(checked("Model Size", 9), 20u);
  EXPECT_EQ(checked("Model Size", 10), 10u);
  EXPECT_EQ(checked("Model Size", 50), 50u);
  EXPECT_EQ(checked("Model Size", 51), 20u);
  EXPECT_EQ(checked("Move Speed", 0), 65u);
  EXPECT_EQ(checked("Move Speed", 1), 1u);
  EXPECT_EQ(checked("Move Speed", 80), 80u);
  // Spin speeds are signed.
  EXPECT_EQ(checked("Spin X Speed", (uint32_t)-80), (uint32_t)-80);
  EXPECT_EQ(checked("Spin Y Speed", (uint32_t)-81), (uint32_t)-25);
  EXPECT_EQ(checked("Spin Z Speed", 81), (uint32_t)-25);
  EXPECT_EQ(checked("Spin Z Speed", 80), 80u);
  // Change Time is compared unsigned: "negative" values are huge, and so out of range.
  EXPECT_EQ(checked("Change Time", 2), 30u);
  EXPECT_EQ(checked("Change Time", 4), 4u);
  EXPECT_EQ(checked("Change Time", 3600), 3600u);
  EXPECT_EQ(checked("Change Time", 3601), 30u);
  EXPECT_EQ(checked("Change Time", 0xFFFFFFFFu), 30u);
}

TEST(SaverSettingsRange, TextsAreNeverTested) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\");
  std::strcpy(s.bitmapFile, "no such file at all");
  EXPECT_TRUE(saverCheckSettingRange(&s, field("Bitmap File")));
  EXPECT_STREQ(s.bitmapFile, "no such file at all");
}

TEST(SaverSettingsRange, ChangeTimeTypedIntoTheDialog) {
  EXPECT_EQ(saverClampChangeTime(0), 4u);
  EXPECT_EQ(saverClampChangeTime(2), 4u);
  EXPECT_EQ(saverClampChangeTime(4), 4u);
  EXPECT_EQ(saverClampChangeTime(999), 999u);
  EXPECT_EQ(saverClampChangeTime(3600), 3600u);
  EXPECT_EQ(saverClampChangeTime(5000), 3600u);
  EXPECT_EQ(saverClampChangeTime(9999), 3600u);
}

#if defined(_WIN32)
#include <windows.h>

namespace {

struct SettingsKey : ::testing::Test {
  void SetUp() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY); }
  void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY); }

  static HKEY open() {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY, &key);
    return key;
  }
  static void putNumber(const char* name, DWORD value) {
    HKEY key = open();
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  static void putRaw(const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key = open();
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(bytes), size);
    RegCloseKey(key);
  }
  static bool readNumber(const char* name, DWORD* value) {
    HKEY key = open();
    DWORD type = 0, size = sizeof *value;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_DWORD && size == 4;
  }
  static std::string readText(const char* name) {
    HKEY key = open();
    char text[600] = "";
    DWORD type = 0, size = sizeof text;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : std::string("<missing>");
  }
  static DWORD valueCount() {
    HKEY key = open();
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
  }
};

}  // namespace

TEST_F(SettingsKey, EmptyKeyIsFilledWithAllTwentyDefaults) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\Quirla\\");
  ASSERT_TRUE(saverLoadSettings(&s));
  EXPECT_EQ(valueCount(), 20u);
  DWORD v = 0;
  ASSERT_TRUE(readNumber("Background State", &v));
  EXPECT_EQ(v, 1u);
  ASSERT_TRUE(readNumber("Spin X Speed", &v));
  EXPECT_EQ(v, (DWORD)-25);
  ASSERT_TRUE(readNumber("Change Time", &v));
  EXPECT_EQ(v, 30u);
  ASSERT_TRUE(readNumber("Move State", &v));
  EXPECT_EQ(v, 4u);
  EXPECT_EQ(readText("Model File"), "C:\\Quirla\\Models\\can.vxm");
  EXPECT_EQ(readText("Light File"), "C:\\Quirla\\Lights\\day.vlt");
  EXPECT_EQ(readText("Bitmap File"), "");
}

TEST_F(SettingsKey, StoredValuesLoadAndOutOfRangeOnesTurnToDefaultsInMemoryOnly) {
  putNumber("Move State", 7);
  putNumber("Change Time", 2);
  putNumber("Model Size", 35);
  putNumber("Spin Z Speed", (DWORD)-60);
  const char bitmap[] = "E:\\pics\\sky.bmp";
  putRaw("Bitmap File", REG_SZ, bitmap, sizeof bitmap);
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\Q\\");
  ASSERT_TRUE(saverLoadSettings(&s));
  EXPECT_EQ(s.moveState, 4);
  EXPECT_EQ(s.changeTime, 30u);
  EXPECT_EQ(s.modelSize, 35);
  EXPECT_EQ(s.spinZSpeed, -60);
  EXPECT_STREQ(s.bitmapFile, "E:\\pics\\sky.bmp");
  DWORD v = 0;
  ASSERT_TRUE(readNumber("Move State", &v));
  EXPECT_EQ(v, 7u);  // not written back by a load
  ASSERT_TRUE(readNumber("Change Time", &v));
  EXPECT_EQ(v, 2u);
}

TEST_F(SettingsKey, HostileValuesAreReplacedNotReadInPart) {
  const char twelve[] = "12";
  putRaw("Model Size", REG_SZ, twelve, sizeof twelve);  // a text where a number belongs
  const BYTE three[3] = {40, 0, 0};
  putRaw("Move Speed", REG_BINARY, three, sizeof three);
  DWORD number = 5;
  putRaw("Model File", REG_DWORD, &number, sizeof number);  // a number where a text belongs
  std::string tooLong(400, 'a');
  putRaw("Light File", REG_SZ, tooLong.c_str(), (DWORD)tooLong.size() + 1);
  std::string exact(SAVER_PATH_LENGTH, 'b');  // 260 characters and no terminator
  putRaw("Bitmap File", REG_SZ, exact.data(), (DWORD)exact.size());
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\Q\\");
  ASSERT_TRUE(saverLoadSettings(&s));
  EXPECT_EQ(s.modelSize, 20);
  EXPECT_EQ(s.moveSpeed, 65);
  EXPECT_STREQ(s.modelFile, "C:\\Q\\Models\\can.vxm");
  EXPECT_STREQ(s.lightFile, "C:\\Q\\Lights\\day.vlt");
  // The unterminated text is cut to the buffer (or, where the system refuses to hand it out
  // without room for a terminator, read as missing): never read beyond what was stored.
  EXPECT_LT(std::strlen(s.bitmapFile), (size_t)SAVER_PATH_LENGTH);
  EXPECT_EQ(exact.compare(0, std::strlen(s.bitmapFile), s.bitmapFile), 0);
  DWORD v = 0;
  ASSERT_TRUE(readNumber("Model Size", &v));  // rewritten with the default
  EXPECT_EQ(v, 20u);
  EXPECT_EQ(readText("Model File"), "C:\\Q\\Models\\can.vxm");
}

TEST_F(SettingsKey, SaveWritesEveryValueAndLoadReadsThemBack) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\Q\\");
  s.backgroundState = 2;
  std::strcpy(s.bitmapFile, "C:\\Q\\Textures\\marble.bmp");
  s.bitmapRandom = 1;
  s.bitmapTile = 1;
  s.moveState = 3;
  s.spinX = 1;
  s.spinZ = 1;
  s.spinRandom = 0;
  s.modelSize = 44;
  s.moveSpeed = 2;
  s.spinXSpeed = -80;
  s.spinYSpeed = 13;
  s.spinZSpeed = 80;
  std::strcpy(s.modelFile, "");
  s.modelRandom = 0;
  std::strcpy(s.lightFile, "C:\\Q\\Lights\\dusk.vlt");
  s.lightRandom = 1;
  s.change = 0;
  s.changeTime = 3600;
  ASSERT_TRUE(saverSaveSettings(&s));
  EXPECT_EQ(valueCount(), 20u);
  SaverSettings back;
  saverSetDefaultSettings(&back, "X:\\");
  ASSERT_TRUE(saverLoadSettings(&back));
  for (int i = 0; i < SAVER_SETTING_COUNT; ++i) {
    const SaverSettingField* f = &saverSettingFields()[i];
    if (f->isText)
      EXPECT_STREQ(saverSettingText(&back, f), saverSettingText(&s, f)) << f->name;
    else
      EXPECT_EQ(saverGetSettingNumber(&back, f), saverGetSettingNumber(&s, f)) << f->name;
  }
  EXPECT_EQ(readText("Model File"), "");
}

// Frame Pacing is read (0 or 1, else its default 1) and never written: neither the saver's load
// nor the dialog's save changes what the user set, or left out.
TEST_F(SettingsKey, FramePacingIsReadButNeverWritten) {
  const struct {
    bool stored;
    DWORD value;
    int32_t read;
  } rows[] = {{false, 0, 1}, {true, 0, 0}, {true, 1, 1}, {true, 2, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.stored << " " << row.value);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, SAVER_SETTINGS_KEY);
    if (row.stored) putNumber("Frame Pacing", row.value);
    SaverSettings s;
    saverSetDefaultSettings(&s, "C:\\Q\\");
    ASSERT_TRUE(saverLoadSettings(&s));
    EXPECT_EQ(s.framePacing, row.read);
    s.framePacing = 1 - row.read;
    ASSERT_TRUE(saverSaveSettings(&s));
    DWORD v = 99;
    EXPECT_EQ(readNumber("Frame Pacing", &v), row.stored);
    if (row.stored) EXPECT_EQ(v, row.value);
    EXPECT_EQ(valueCount(), row.stored ? 21u : 20u);
  }
}
#endif
