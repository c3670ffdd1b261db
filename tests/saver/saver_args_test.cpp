// saver_args_test.cpp: the screensaver's command line as the Display control panel writes it.
#include <gtest/gtest.h>

#include <string>

#include "SaverArgs.h"

namespace {

SaverCommand parse(const char* text) {
  SaverCommand command = {-1, 12345};
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

TEST(SaverArgs, SwitchLettersInEitherCaseAfterBlanksDashesAndSlashes) {
  EXPECT_EQ(parse("").action, SAVER_ACTION_CONFIG);
  EXPECT_EQ(parse("   ").action, SAVER_ACTION_CONFIG);
  EXPECT_EQ(parse("/").action, SAVER_ACTION_CONFIG);
  EXPECT_EQ(parse("/s").action, SAVER_ACTION_RUN);
  EXPECT_EQ(parse("-S").action, SAVER_ACTION_RUN);
  EXPECT_EQ(parse(" - / s").action, SAVER_ACTION_RUN);
  EXPECT_EQ(parse("/c").action, SAVER_ACTION_CONFIGURE);
  EXPECT_EQ(parse("C").action, SAVER_ACTION_CONFIGURE);
  EXPECT_EQ(parse("/a 77").action, SAVER_ACTION_PASSWORD);
  EXPECT_EQ(parse("/x").action, SAVER_ACTION_INVALID);
  EXPECT_EQ(parse("/1").action, SAVER_ACTION_INVALID);
  EXPECT_EQ(parse("?").action, SAVER_ACTION_INVALID);
}

TEST(SaverArgs, WindowHandlesAreDecimalUpToTheFirstOtherCharacter) {
  SaverCommand c = parse("/p 1234");
  EXPECT_EQ(c.action, SAVER_ACTION_PREVIEW);
  EXPECT_EQ(c.handle, 1234u);
  c = parse("/P1234");
  EXPECT_EQ(c.handle, 1234u);
  c = parse("/l   99x7");
  EXPECT_EQ(c.action, SAVER_ACTION_PREVIEW);
  EXPECT_EQ(c.handle, 99u);
  c = parse("/p");
  EXPECT_EQ(c.action, SAVER_ACTION_PREVIEW);
  EXPECT_EQ(c.handle, 0u);  // no digits: a handle that names no window
  c = parse("/p 0x10");
  EXPECT_EQ(c.handle, 0u);
  c = parse("/c:4567");
  EXPECT_EQ(c.action, SAVER_ACTION_CONFIGURE);
  EXPECT_EQ(c.handle, 4567u);
  c = parse("/c 4567");  // without the colon the number is not read
  EXPECT_EQ(c.handle, 0u);
  c = parse("/c:");
  EXPECT_EQ(c.handle, 0u);
  c = parse("-a   65538");
  EXPECT_EQ(c.action, SAVER_ACTION_PASSWORD);
  EXPECT_EQ(c.handle, 65538u);
  c = parse("/s 99");
  EXPECT_EQ(c.handle, 0u);
  // A number too long for a handle wraps like the 32-bit value it is read into.
  c = parse("/p 4294967297");
  EXPECT_EQ(c.handle, 1u);
}
