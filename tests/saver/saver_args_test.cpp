// saver_args_test.cpp: the screensaver's command line as the Display control panel writes it.
#include <gtest/gtest.h>

#include <string>

#include "SaverArgs.h"

namespace {

SaverCommand parse(const char* text) {
  SaverCommand command = {-1, 0};
  saverParseArguments(text, &command);
  return command;
}

}  // namespace

TEST(SaverArgs, ProgramNameIsSkippedQuotedOrNot) {
  EXPECT_STREQ(saverSkipProgramName("C:\\WINDOWS\\QUIRLA.SCR /s"), "/s");
  EXPECT_STREQ(saverSkipProgramName("\"C:\\Program Files\\Quirla\\App\\Quirla.scr\"   /p 1234"), "/p 1234");
  EXPECT_STREQ(saverSkipProgramName("\"C:\\a b\\q.scr\"/c"), "/c");
  EXPECT_STREQ(saverSkipProgramName("quirla.scr"), "");
  EXPECT_STREQ(saverSkipProgramName("\"unterminated"), "");
  EXPECT_STREQ(saverSkipProgramName(""), "");
}

TEST(SaverArgs, SwitchLettersInEitherCaseThenDecimalHandlesUpToTheFirstOtherCharacter) {
  struct Case {
    const char* text;
    int action;
    uint32_t handle;
  };
  const Case cases[] = {
      {"", SAVER_ACTION_CONFIG, 0},             {"   ", SAVER_ACTION_CONFIG, 0},
      {"/", SAVER_ACTION_CONFIG, 0},            {"/s", SAVER_ACTION_RUN, 0},
      {"-S", SAVER_ACTION_RUN, 0},              {" - / s", SAVER_ACTION_RUN, 0},
      {"C", SAVER_ACTION_CONFIGURE, 0},         {"/x", SAVER_ACTION_INVALID, 0},
      {"/1", SAVER_ACTION_INVALID, 0},          {"?", SAVER_ACTION_INVALID, 0},
      {"/p 1234", SAVER_ACTION_PREVIEW, 1234},  {"/P1234", SAVER_ACTION_PREVIEW, 1234},
      {"/l   99x7", SAVER_ACTION_PREVIEW, 99},  {"/p", SAVER_ACTION_PREVIEW, 0},  // no digits: no window
      {"/p 0x10", SAVER_ACTION_PREVIEW, 0},     {"/c:4567", SAVER_ACTION_CONFIGURE, 4567},
      {"/c 4567", SAVER_ACTION_CONFIGURE, 0},   // without the colon the number is not read
      {"/c:", SAVER_ACTION_CONFIGURE, 0},       {"-a   65538", SAVER_ACTION_PASSWORD, 65538},
      {"/s 99", SAVER_ACTION_RUN, 0},
      {"/p 4294967297", SAVER_ACTION_PREVIEW, 1},  // wraps like the 32-bit value it is read into
  };
  for (const Case& c : cases) {
    const SaverCommand command = parse(c.text);
    EXPECT_EQ(command.action, c.action) << c.text;
    EXPECT_EQ(command.handle, c.handle) << c.text;
  }
}
