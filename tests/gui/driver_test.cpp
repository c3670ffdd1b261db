// driver_test.cpp: the test driver checked against small helper programs: message boxes read back
// with their icons and answered, a dialog's controls read and changed, pixels, posted input,
// timeouts, the registry and the file helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "windriver.h"

namespace {

std::string helperCommand(const char* exe, const std::string& arguments) {
  char path[MAX_PATH];
  EXPECT_TRUE(drvBinaryPath(exe, path, sizeof path));
  return std::string("\"") + path + "\" " + arguments;
}

struct Started {
  DrvProcess proc = {};
  ~Started() { drvKill(&proc); }
};

struct BoxCase {
  char letter;
  DrvIcon icon;
};

TEST(DriverMessageBox, ReadsTitleTextAndEachStandardIconThenAnswersOk) {
  const BoxCase cases[] = {{'H', DRV_ICON_HAND},
                           {'Q', DRV_ICON_QUESTION},
                           {'E', DRV_ICON_EXCLAMATION},
                           {'A', DRV_ICON_ASTERISK},
                           {'N', DRV_ICON_NONE}};
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(std::string("icon letter ") + c.letter);
    Started run;
    std::string command = helperCommand("driver_msgbox.exe", std::string(1, c.letter) + " O Driver Title|First line\\nsecond 'line'");
    ASSERT_TRUE(drvStart(&run.proc, command.c_str(), nullptr));
    DrvMessageBox box;
    ASSERT_TRUE(drvWaitMessageBox(run.proc.id, DRV_TIMEOUT, &box));
    EXPECT_STREQ("Driver Title", box.title);
    EXPECT_STREQ("First line\nsecond 'line'", box.text);
    EXPECT_STREQ(drvIconName(c.icon), drvIconName(box.icon));
    ASSERT_TRUE(drvAnswer(&box, IDOK));
    DWORD code = 0;
    ASSERT_TRUE(drvWaitExit(&run.proc, DRV_TIMEOUT, &code));
    EXPECT_EQ((DWORD)IDOK, code);
  }
}

TEST(DriverMessageBox, AnswersNoAndYesOfAYesNoBox) {
  const int answers[] = {IDNO, IDYES};
  for (int answer : answers) {
    Started run;
    ASSERT_TRUE(drvStart(&run.proc, helperCommand("driver_msgbox.exe", "Q Y Ask|Really?").c_str(), nullptr));
    DrvMessageBox box;
    ASSERT_TRUE(drvWaitMessageBox(run.proc.id, DRV_TIMEOUT, &box));
    EXPECT_EQ(nullptr, drvControl(box.window, IDOK));
    EXPECT_FALSE(drvAnswer(&box, IDOK));
    EXPECT_TRUE(IsWindowVisible(box.window));
    ASSERT_TRUE(drvAnswer(&box, answer));
    DWORD code = 0;
    ASSERT_TRUE(drvWaitExit(&run.proc, DRV_TIMEOUT, &code));
    EXPECT_EQ((DWORD)answer, code);
  }
}

TEST(DriverMessageBox, FindsNoBoxOfAnotherProcessAndTimesOut) {
  Started run;
  ASSERT_TRUE(drvStart(&run.proc, helperCommand("driver_msgbox.exe", "E O Other|Not yours").c_str(), nullptr));
  DrvMessageBox box;
  ASSERT_TRUE(drvWaitMessageBox(run.proc.id, DRV_TIMEOUT, &box));
  EXPECT_FALSE(drvWaitMessageBox(GetCurrentProcessId(), 300, &box));
  EXPECT_EQ(nullptr, drvWaitWindow("NoSuchClassAnywhere", nullptr, 0, 300));
  // A process that does not end in time is reported, then ended by the teardown.
  DWORD code = 0;
  EXPECT_FALSE(drvWaitExit(&run.proc, 200, &code));
  EXPECT_TRUE(drvIsRunning(&run.proc));
  HANDLE process = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), run.proc.process, GetCurrentProcess(), &process, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  drvKill(&run.proc);
  EXPECT_EQ(nullptr, run.proc.process);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 5000));
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(0xDEADu, code);
  CloseHandle(process);
  drvKill(&run.proc);  // twice is harmless
}

class DriverDialog : public ::testing::Test {
 protected:
  Started run;
  HWND dialog = nullptr;
  void SetUp() override {
    ASSERT_TRUE(drvStart(&run.proc, helperCommand("driver_dialog.exe", "").c_str(), nullptr));
    dialog = drvWaitWindow("#32770", "Driver Dialog", run.proc.id, DRV_TIMEOUT);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(drvSync(dialog, DRV_TIMEOUT));
  }
  DWORD finish(int button) {
    EXPECT_TRUE(drvPressButton(dialog, button));
    DWORD code = 0xFFFF;
    EXPECT_TRUE(drvWaitExit(&run.proc, DRV_TIMEOUT, &code));
    return code;
  }
};

TEST_F(DriverDialog, ReadsTheInitialStateOfEveryControl) {
  EXPECT_EQ(BST_UNCHECKED, drvCheckState(drvControl(dialog, 101)));
  EXPECT_EQ(BST_CHECKED, drvCheckState(drvControl(dialog, 102)));
  EXPECT_EQ(BST_UNCHECKED, drvCheckState(drvControl(dialog, 103)));
  char text[64];
  ASSERT_TRUE(drvGetText(drvControl(dialog, 104), text, sizeof text));
  EXPECT_STREQ("hello", text);
  ASSERT_TRUE(drvGetText(drvControl(dialog, 105), text, sizeof text));
  EXPECT_STREQ("Static words", text);
  ASSERT_TRUE(drvGetTextNow(drvControl(dialog, 107), text, sizeof text));
  EXPECT_STREQ("Disabled", text);
  int position = -1;
  ASSERT_TRUE(drvScrollPos(drvControl(dialog, 106), &position));
  EXPECT_EQ(7, position);
  EXPECT_FALSE(drvIsEnabled(drvControl(dialog, 107)));
  EXPECT_TRUE(drvIsEnabled(drvControl(dialog, IDOK)));
  EXPECT_TRUE(drvIsVisible(drvControl(dialog, IDOK)));
  EXPECT_EQ(nullptr, drvControl(dialog, 999));
  EXPECT_EQ(-1, drvCheckState(drvControl(dialog, 999)));
  EXPECT_EQ(drvControl(dialog, IDCANCEL), drvFindChild(dialog, "Button", "Cancel"));
  // The template places the edit at 70, 7 with size 80 x 14 dialog units.
  RECT units;
  ASSERT_TRUE(drvControlRectDlu(dialog, drvControl(dialog, 104), nullptr, 0, &units));
  EXPECT_EQ(70, units.left);
  EXPECT_EQ(7, units.top);
  EXPECT_EQ(150, units.right);
  EXPECT_EQ(21, units.bottom);
  // In pixels: the dialog units times the base units of the template's font.
  RECT pixels;
  int baseX = 0, baseY = 0;
  ASSERT_TRUE(drvControlRect(drvControl(dialog, 104), &pixels));
  ASSERT_TRUE(drvDialogBaseUnits("MS Sans Serif", 8, &baseX, &baseY));
  EXPECT_EQ(MulDiv(70, baseX, 4), pixels.left);
  EXPECT_EQ(MulDiv(7, baseY, 8), pixels.top);
  EXPECT_EQ(MulDiv(80, baseX, 4), pixels.right - pixels.left);
  EXPECT_EQ(MulDiv(14, baseY, 8), pixels.bottom - pixels.top);
  EXPECT_EQ(100u, finish(IDCANCEL));
}

TEST_F(DriverDialog, ChangesControlsAndTheProgramSeesTheChanges) {
  ASSERT_TRUE(drvPressButton(dialog, 101));
  EXPECT_EQ(BST_CHECKED, drvCheckState(drvControl(dialog, 101)));
  ASSERT_TRUE(drvPressButtonByText(dialog, "Two"));
  EXPECT_EQ(BST_CHECKED, drvCheckState(drvControl(dialog, 103)));
  EXPECT_EQ(BST_UNCHECKED, drvCheckState(drvControl(dialog, 102)));
  ASSERT_TRUE(drvSetText(drvControl(dialog, 104), "typed"));
  ASSERT_TRUE(drvSend(drvControl(dialog, 106), SBM_SETPOS, 12, TRUE, nullptr));
  int position = -1;
  ASSERT_TRUE(drvScrollPos(drvControl(dialog, 106), &position));
  EXPECT_EQ(12, position);
  EXPECT_FALSE(drvPressButtonByText(dialog, "No such caption"));
  EXPECT_EQ(1u + 2 + 4 + 8, finish(IDOK));
}

TEST_F(DriverDialog, PostedCommandClosesTheDialog) {
  ASSERT_TRUE(drvPostCommand(dialog, IDCANCEL));
  DWORD code = 0;
  ASSERT_TRUE(drvWaitExit(&run.proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(100u, code);
}

TEST_F(DriverDialog, PostsKeysCharactersAndClicksToAWindow) {
  HWND pad = drvControl(dialog, 108);
  ASSERT_NE(nullptr, pad);
  char text[64];
  // F5 makes no character, so the key message is the last the pad sees.
  // Posted messages come after sent ones, so the test waits for their effect.
  ASSERT_TRUE(drvPostKey(pad, VK_F5));
  EXPECT_TRUE(drvWaitText(pad, "key 116", DRV_TIMEOUT));
  ASSERT_TRUE(drvPostChar(pad, 'z'));
  EXPECT_TRUE(drvWaitText(pad, "char z", DRV_TIMEOUT));
  ASSERT_TRUE(drvClick(pad, 5, 6));
  EXPECT_TRUE(drvWaitText(pad, "click 5,6", DRV_TIMEOUT));
  ASSERT_TRUE(drvGetText(pad, text, sizeof text));
  EXPECT_STREQ("click 5,6", text);
  EXPECT_EQ(100u, finish(IDCANCEL));
}

TEST_F(DriverDialog, CapturesThePaintedPixelsOfAnotherProgramsWindow) {
  HWND pad = drvControl(dialog, 108);
  DrvPicture picture;
  ASSERT_TRUE(drvCapture(pad, &picture));
  RECT client;
  ASSERT_TRUE(drvClientRect(pad, &client));
  ASSERT_EQ(client.right, picture.width);
  ASSERT_EQ(client.bottom, picture.height);
  int red = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) red += drvPixel(&picture, x, y) == 0xFF0000;
  EXPECT_EQ(picture.width * picture.height, red);
  EXPECT_EQ(0xFFFFFFFFu, drvPixel(&picture, picture.width, 0));
  drvFreePicture(&picture);
  // The dialog around the pad is not red.
  ASSERT_TRUE(drvCapture(dialog, &picture));
  RECT padRect;
  ASSERT_TRUE(drvControlRect(pad, &padRect));
  EXPECT_EQ(0xFF0000u, drvPixel(&picture, padRect.left + 1, padRect.top + 1));
  EXPECT_NE(0xFF0000u, drvPixel(&picture, padRect.left - 2, padRect.top + 1));
  drvFreePicture(&picture);
  EXPECT_EQ(100u, finish(IDCANCEL));
}

TEST(DriverCapture, ReadsOurOwnWindowThroughPrintWindow) {
  WNDCLASSA type = {};
  type.lpfnWndProc = DefWindowProcA;
  type.hInstance = GetModuleHandleA(nullptr);
  type.hbrBackground = CreateSolidBrush(RGB(0, 128, 128));
  type.lpszClassName = "DriverOwnWindow";
  ASSERT_TRUE(RegisterClassA(&type));
  HWND window = CreateWindowA("DriverOwnWindow", "Own", WS_POPUP | WS_VISIBLE, 10, 10, 40, 30, nullptr, nullptr,
                              type.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(window, drvFindWindow("DriverOwnWindow", "Own", GetCurrentProcessId()));
  EXPECT_EQ(nullptr, drvFindWindow("DriverOwnWindow", "Other title", 0));
  DrvPicture picture;
  ASSERT_TRUE(drvCapture(window, &picture));
  EXPECT_EQ(40, picture.width);
  EXPECT_EQ(30, picture.height);
  EXPECT_EQ(0x008080u, drvPixel(&picture, 0, 0));
  EXPECT_EQ(0x008080u, drvPixel(&picture, 39, 29));
  drvFreePicture(&picture);
  DestroyWindow(window);
  EXPECT_TRUE(drvWaitGone(window, 1000));
  UnregisterClassA("DriverOwnWindow", type.hInstance);
  DeleteObject(type.hbrBackground);
}

TEST(DriverRegistry, WritesReadsAndDeletesStringsDwordsAndTrees) {
  const char* key = "Software\\QuirlaDriverTest\\Sub\\Deeper";
  drvRegDeleteTree(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest");
  char text[64];
  DWORD number = 0;
  EXPECT_FALSE(drvRegGetString(HKEY_CURRENT_USER, key, "Text", text, sizeof text));
  ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, key, "Text", "C:\\Quirla"));
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, key, "Number", 0x12345678));
  ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest", nullptr, "default"));
  ASSERT_TRUE(drvRegGetString(HKEY_CURRENT_USER, key, "Text", text, sizeof text));
  EXPECT_STREQ("C:\\Quirla", text);
  ASSERT_TRUE(drvRegGetDword(HKEY_CURRENT_USER, key, "Number", &number));
  EXPECT_EQ(0x12345678u, number);
  ASSERT_TRUE(drvRegGetString(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest", nullptr, text, sizeof text));
  EXPECT_STREQ("default", text);
  // The wrong type and a too small buffer are failures, not truncated answers.
  EXPECT_FALSE(drvRegGetDword(HKEY_CURRENT_USER, key, "Text", &number));
  EXPECT_FALSE(drvRegGetString(HKEY_CURRENT_USER, key, "Number", text, sizeof text));
  EXPECT_FALSE(drvRegGetString(HKEY_CURRENT_USER, key, "Text", text, 4));
  EXPECT_TRUE(drvRegValueExists(HKEY_CURRENT_USER, key, "Number"));
  ASSERT_TRUE(drvRegDeleteValue(HKEY_CURRENT_USER, key, "Number"));
  EXPECT_FALSE(drvRegValueExists(HKEY_CURRENT_USER, key, "Number"));
  EXPECT_FALSE(drvRegDeleteValue(HKEY_CURRENT_USER, key, "Number"));
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest\\Sub\\Second", "N", 1));
  EXPECT_FALSE(drvRegDeleteTree(HKEY_CURRENT_USER, ""));
  ASSERT_TRUE(drvRegDeleteTree(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest"));
  EXPECT_FALSE(drvRegKeyExists(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest"));
  EXPECT_FALSE(drvRegKeyExists(HKEY_CURRENT_USER, key));
  EXPECT_TRUE(drvRegKeyExists(HKEY_CURRENT_USER, "Software"));
  EXPECT_TRUE(drvRegDeleteTree(HKEY_CURRENT_USER, "Software\\QuirlaDriverTest"));
}

TEST(DriverFiles, PathsScratchFoldersAndTreesWithReadOnlyFiles) {
  char path[MAX_PATH];
  ASSERT_TRUE(drvWinPath("/work/main/build/x", path, sizeof path));
  EXPECT_STREQ("Z:\\work\\main\\build\\x", path);
  ASSERT_TRUE(drvWinPath("C:/a/b", path, sizeof path));
  EXPECT_STREQ("C:\\a\\b", path);
  EXPECT_FALSE(drvWinPath("/work/main", path, 8));
  ASSERT_TRUE(drvBinaryPath("driver_msgbox.exe", path, sizeof path));
  EXPECT_TRUE(drvFileExists(path)) << path;

  char folder[MAX_PATH];
  ASSERT_TRUE(drvScratchDir("driver files", folder, sizeof folder));
  std::string root = folder;
  ASSERT_TRUE(drvMakeFolders((root + "\\a\\b\\c").c_str()));
  ASSERT_TRUE(drvWriteFile((root + "\\a\\b\\c\\file.txt").c_str(), "line\r\n"));
  ASSERT_TRUE(SetFileAttributesA((root + "\\a\\b\\c\\file.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA((root + "\\a\\b").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
  char bytes[32];
  ASSERT_TRUE(drvReadFile((root + "\\a\\b\\c\\file.txt").c_str(), bytes, sizeof bytes));
  EXPECT_STREQ("line\r\n", bytes);
  EXPECT_FALSE(drvReadFile((root + "\\missing").c_str(), bytes, sizeof bytes));
  ASSERT_TRUE(drvDeleteTree((root + "\\a").c_str()));
  EXPECT_FALSE(drvFileExists((root + "\\a").c_str()));
  EXPECT_TRUE(drvFileExists(folder));
  // A second scratch folder of the same name starts empty.
  ASSERT_TRUE(drvWriteFile((root + "\\left.txt").c_str(), "x"));
  ASSERT_TRUE(drvScratchDir("driver files", folder, sizeof folder));
  EXPECT_FALSE(drvFileExists((root + "\\left.txt").c_str()));
  EXPECT_TRUE(drvDeleteTree(folder));
}

}  // namespace
