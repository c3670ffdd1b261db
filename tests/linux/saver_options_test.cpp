// saver_options_test.cpp: the native saver's options, settings file and ~/.xscreensaver line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SaverOptions.h"
#include "SaverSettings.h"

namespace {

struct Parsed {
  bool ok;
  SaverOptions options;
  std::string error;
};

Parsed parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  Parsed p;
  char error[SAVER_OPTION_ERROR] = "";
  p.ok = saverParseOptions((int)argv.size(), argv.data(), &p.options, error);
  p.error = error;
  return p;
}

// The record after the defaults, then the file's text, then the options.
SaverSettings settle(const std::string& file, std::vector<std::string> words, std::string* error = nullptr) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "\\data\\");
  char text[SAVER_OPTION_ERROR] = "";
  bool ok = saverApplySettingsText(file.c_str(), "settings", &s, text);
  if (error) *error = ok ? "" : text;
  Parsed p = parse(words);
  EXPECT_TRUE(p.ok) << p.error;
  saverApplyOptions(&p.options, &s);
  return s;
}

std::string addProgram(const std::string& text, bool* present, size_t size = 4096) {
  std::vector<char> out(size);
  EXPECT_TRUE(saverAddXScreenSaverProgram(text.c_str(), "/p/quirla-saver --root", out.data(), size, present));
  return out.data();
}

}  // namespace

TEST(SaverOptionNames, RegistryNamesInLowerCaseWithHyphens) {
  char option[64];
  saverOptionName("Spin X Speed", option, sizeof option);
  EXPECT_STREQ(option, "--spin-x-speed");
  saverOptionName("Change Time", option, 9);
  EXPECT_STREQ(option, "--change");  // cut to the buffer
}

TEST(SaverOptionParse, EachSettingAtItsLimitsAndOnePast) {
  struct Row {
    const char* option;
    const char* low;
    const char* high;
    const char* below;
    const char* above;
  } rows[] = {
      {"--model-size", "10", "50", "9", "51"},       {"--move-speed", "1", "80", "0", "81"},
      {"--spin-x-speed", "-80", "80", "-81", "81"},  {"--change-time", "4", "3600", "3", "3601"},
      {"--background-state", "0", "2", "-1", "3"},   {"--move-state", "0", "4", "-1", "5"},
      {"--change", "0", "1", "-1", "2"},
  };
  for (const Row& r : rows) {
    EXPECT_TRUE(parse({r.option, r.low}).ok) << r.option;
    EXPECT_TRUE(parse({r.option, r.high}).ok) << r.option;
    Parsed below = parse({r.option, r.below});
    EXPECT_FALSE(below.ok) << r.option;
    EXPECT_EQ(below.error, std::string(r.option) + " must be a whole number from " + r.low + " to " + r.high +
                               ", not \"" + r.below + "\"");
    EXPECT_FALSE(parse({r.option, r.above}).ok) << r.option;
  }
  EXPECT_FALSE(parse({"--change-time", "4294967300"}).ok);
  EXPECT_FALSE(parse({"--model-size", "20.5"}).ok);
  EXPECT_FALSE(parse({"--model-size", ""}).ok);
}

TEST(SaverOptionParse, FormsOfOptionsAndTheirMistakes) {
  Parsed p = parse({"-root", "--model-size=33", "--spin-y-speed", "-7", "--fps=0", "--window-id", "0x1e00004"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.root);
  EXPECT_EQ(p.options.fps, 0);
  EXPECT_EQ(p.options.windowId, 0x1e00004u);
  EXPECT_EQ(p.options.values.modelSize, 33);
  EXPECT_EQ(p.options.values.spinYSpeed, -7);
  EXPECT_TRUE(p.options.given[9]);
  EXPECT_FALSE(p.options.given[10]);
  EXPECT_EQ(parse({}).options.fps, 60);

  EXPECT_EQ(parse({"--colour", "1"}).error, "unknown option \"--colour\" (--help lists them)");
  EXPECT_EQ(parse({"--model-size"}).error, "--model-size needs a value");
  EXPECT_EQ(parse({"--root=1"}).error, "--root takes no value");
  EXPECT_EQ(parse({"quirla"}).error, "unexpected argument \"quirla\"");
  EXPECT_EQ(parse({"-"}).error, "unexpected argument \"-\"");
  EXPECT_FALSE(parse({"--window-id", "0"}).ok);
  EXPECT_FALSE(parse({"--window-id", "-5"}).ok);
  EXPECT_FALSE(parse({"--window-id", "0x100000000"}).ok);
  EXPECT_TRUE(parse({"--fps", "1000"}).ok);
  EXPECT_EQ(parse({"--fps", "1001"}).error, "--fps must be a whole number from 0 to 1000, not \"1001\"");
}

TEST(SaverOptionParse, PathsUpToTheirLimitKeptWithBackslashes) {
  std::string longest = "/" + std::string(SAVER_PATH_LENGTH - 2, 'm');
  Parsed p = parse({"--model-file", longest});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(std::string(p.options.values.modelFile), "\\" + std::string(SAVER_PATH_LENGTH - 2, 'm'));
  EXPECT_EQ(parse({"--model-file", longest + "m"}).error, "--model-file is longer than 259 characters");
  EXPECT_TRUE(parse({"--data", std::string(SAVER_PATH_LENGTH - 2, 'd')}).ok);
  EXPECT_FALSE(parse({"--data", std::string(SAVER_PATH_LENGTH - 1, 'd')}).ok);
  EXPECT_FALSE(parse({"--data", ""}).ok);
}

TEST(SaverSettingsFile, OptionsOverrideTheFileWhichOverridesTheDefaults) {
  SaverSettings s = settle("# mine\r\n\r\n  Model Size = 40 \r\nmove speed=3\nModel File = /m/x.vxm\n",
                           {"--model-size", "12"});
  EXPECT_EQ(s.modelSize, 12);
  EXPECT_EQ(s.moveSpeed, 3);
  EXPECT_STREQ(s.modelFile, "\\m\\x.vxm");
  EXPECT_EQ(s.spinXSpeed, -25);
  EXPECT_STREQ(s.lightFile, "\\data\\Lights\\day.vlt");
}

TEST(SaverSettingsFile, BadLinesAreNamedByNumber) {
  std::string error;
  settle("Model Size = 20\nColour = 3\n", {}, &error);
  EXPECT_EQ(error, "settings line 2: unknown setting \"Colour\"");
  settle("\n\nModel Size 20\n", {}, &error);
  EXPECT_EQ(error, "settings line 3: expected \"Name = value\"");
  SaverSettings s = settle("Move Speed = 5\nChange Time = 3601\nModel Size = 11\n", {}, &error);
  EXPECT_EQ(error, "settings line 2: Change Time must be a whole number from 4 to 3600, not \"3601\"");
  EXPECT_EQ(s.moveSpeed, 5);      // lines before the bad one were taken
  EXPECT_EQ(s.modelSize, 20);     // lines after it were not
  settle("Model File = " + std::string(400, 'x') + "\n", {}, &error);
  EXPECT_EQ(error, "settings line 1: the line is too long");
}

TEST(SaverSettingsFile, WrittenTextReadsBackToTheSameRecord) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "\\usr\\share\\quirla\\");
  s.spinZSpeed = -80;
  s.changeTime = 3600;
  s.bitmapTile = 1;
  char text[8192];
  ASSERT_TRUE(saverSettingsText(&s, text, sizeof text));
  EXPECT_NE(std::strstr(text, "Spin Z Speed = -80\n"), nullptr);
  EXPECT_NE(std::strstr(text, "Model File = /usr/share/quirla/Models/can.vxm\n"), nullptr);
  SaverSettings back;
  saverSetDefaultSettings(&back, "");
  char error[SAVER_OPTION_ERROR];
  ASSERT_TRUE(saverApplySettingsText(text, "settings", &back, error)) << error;
  EXPECT_EQ(std::memcmp(&s, &back, sizeof s), 0);
  EXPECT_FALSE(saverSettingsText(&s, text, 100));
}

TEST(SaverXScreenSaverList, OurLineGoesFirstAndEveryOtherStays) {
  bool present = true;
  EXPECT_EQ(addProgram("", &present), "programs:\t\\\n  /p/quirla-saver --root\n");
  EXPECT_FALSE(present);
  EXPECT_EQ(addProgram("mode: one", &present), "mode: one\nprograms:\t\\\n  /p/quirla-saver --root\n");
  EXPECT_EQ(addProgram("a: 1\nprograms:  \\\n  maze -root \\n\\\n  qix -root \\n\\\n\nb: 2\n", &present),
            "a: 1\nprograms:\t\\\n  /p/quirla-saver --root\t\\n\\\n  maze -root \\n\\\n  qix -root \\n\\\n\nb: 2\n");
  EXPECT_EQ(addProgram("programs: maze -root\nb: 2\n", &present),
            "programs:\t\\\n  /p/quirla-saver --root\t\\n\\\n  maze -root\nb: 2\n");
  EXPECT_EQ(addProgram("programs:\nb: 2\n", &present), "programs:\t\\\n  /p/quirla-saver --root\nb: 2\n");
  std::string listed = "programs: \\\n  /p/quirla-saver --root \\n\\\n  maze\n";
  EXPECT_EQ(addProgram(listed, &present), listed);
  EXPECT_TRUE(present);
  // A "programs:" inside another line is no list.
  EXPECT_EQ(addProgram("x-programs: 1\n", &present), "x-programs: 1\nprograms:\t\\\n  /p/quirla-saver --root\n");
}

TEST(SaverXScreenSaverList, AnOutputTooSmallFails) {
  bool present;
  char out[37];  // one byte short of the 37 characters and the zero
  EXPECT_FALSE(saverAddXScreenSaverProgram("", "/p/quirla-saver --root", out, sizeof out, &present));
  char fits[38];
  EXPECT_TRUE(saverAddXScreenSaverProgram("", "/p/quirla-saver --root", fits, sizeof fits, &present));
}
