// saver_password_test.cpp: the Windows 95/98 password handling, with Wine told to report Windows
// 98 to the saver and small stand-ins for MPR.DLL and PASSWORD.CPL beside it: "/a" asks MPR.DLL
// to change the "SCRSAVE" password; with the password setting on, a refused password keeps the
// saver running and an accepted one ends it.
#include <gtest/gtest.h>

#include <string>

#include "saver_extras.h"
#include "windriver.h"

namespace {

const char* const APP_DEFAULTS = "Software\\Wine\\AppDefaults\\Quirla.scr";
const char* const DESKTOP = "Control Panel\\Desktop";
const char* const RECORD = "Software\\QuirlaTest";

struct Win98 : ::testing::Test {
  SaverInstall install;
  DrvProcess proc = {};
  HWND window = nullptr;
  char savedUse[64] = "";
  bool hadUse = false;
  DWORD savedUseNumber = 0;
  bool hadUseNumber = false;

  void SetUp() override {
    ASSERT_TRUE(saverMakeInstall("saver-win98", &install));
    ASSERT_TRUE(saverWriteCube(install.root + "Models\\can.vxm", 0xFF0000));
    ASSERT_TRUE(saverWriteLights(install.root + "Lights\\day.vlt", 0x808080, 0));
    for (const char* stub : {"MPR.DLL", "PASSWORD.CPL"}) {
      char built[MAX_PATH];
      ASSERT_TRUE(drvBinaryPath((std::string("saver-stubs\\") + stub).c_str(), built, sizeof built));
      ASSERT_TRUE(CopyFileA(built, (install.root + "App\\" + stub).c_str(), FALSE)) << stub;
    }
    saverSetNumber("Background State", 0);
    saverSetNumber("Move State", 0);
    saverSetNumber("Model Random", 0);
    saverSetNumber("Change", 0);
    ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, APP_DEFAULTS, "Version", "win98"));
    // Wine prefers its own MPR.DLL; the saver is to find the stand-in beside it, as Windows 98
    // would find its MPR.DLL.
    ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, (std::string(APP_DEFAULTS) + "\\DllOverrides").c_str(), "mpr",
                                "native"));
    hadUseNumber = drvRegGetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", &savedUseNumber);
    if (!hadUseNumber)
      hadUse = drvRegGetString(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", savedUse, sizeof savedUse);
    drvRegDeleteTree(HKEY_CURRENT_USER, RECORD);
    SetCursorPos(300, 300);
  }
  void TearDown() override {
    drvKill(&proc);
    drvRegDeleteTree(HKEY_CURRENT_USER, APP_DEFAULTS);
    drvRegDeleteTree(HKEY_CURRENT_USER, RECORD);
    drvRegDeleteValue(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword");
    if (hadUseNumber) drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", savedUseNumber);
    if (hadUse) drvRegSetString(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", savedUse);
    saverForgetInstall(&install);
  }

  void startSaver() {
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /s"));
    window = saverWaitFullScreen(proc.id, DRV_TIMEOUT);
    ASSERT_NE(window, nullptr);
    saverPause(500);
  }
  static DWORD verifyCalls() {
    DWORD calls = 0;
    drvRegGetDword(HKEY_CURRENT_USER, RECORD, "VerifyCalls", &calls);
    return calls;
  }
  static void answer(bool accept) { drvRegSetDword(HKEY_CURRENT_USER, RECORD, "VerifyAnswer", accept ? 1 : 0); }
  // Waits until the verifier has been asked `calls` times in all.
  static bool waitCalls(DWORD calls) {
    for (int i = 0; i < 200; ++i) {
      if (verifyCalls() >= calls) return true;
      Sleep(25);
    }
    return false;
  }
};

}  // namespace

TEST_F(Win98, ChangePasswordAsksMprForTheScreenSaverPassword) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SaverTestDisplay";
  RegisterClassA(&wc);
  HWND display = CreateWindowExA(0, "SaverTestDisplay", "Display Properties", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                 50, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(display, nullptr);
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /a " + std::to_string((UINT_PTR)display)));
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  char record[256] = "";
  ASSERT_TRUE(drvRegGetString(HKEY_CURRENT_USER, RECORD, "PwdChange", record, sizeof record));
  EXPECT_EQ(std::string(record), "SCRSAVE|" + std::to_string((UINT_PTR)display) + "|0|0");
  drvKill(&proc);

  // A handle that names no window: the foreground window owns the password dialog.
  SetForegroundWindow(display);
  saverPause(200);
  HWND foreground = GetForegroundWindow();
  drvRegDeleteTree(HKEY_CURRENT_USER, RECORD);
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" -A  12345678"));
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  ASSERT_TRUE(drvRegGetString(HKEY_CURRENT_USER, RECORD, "PwdChange", record, sizeof record));
  EXPECT_EQ(std::string(record), "SCRSAVE|" + std::to_string((UINT_PTR)foreground) + "|0|0");
  DestroyWindow(display);
  UnregisterClassA("SaverTestDisplay", wc.hInstance);
}

TEST_F(Win98, ChangePasswordWithoutMprDoesNothing) {
  ASSERT_TRUE(DeleteFileA((install.root + "App\\MPR.DLL").c_str()));
  // Wine's own MPR.DLL has no PwdChangePasswordA: the feature is silently off.
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /a"));
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(drvRegValueExists(HKEY_CURRENT_USER, RECORD, "PwdChange"));
}

TEST_F(Win98, RefusedPasswordKeepsTheSaverAcceptedOneEndsIt) {
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", 1));
  answer(false);
  startSaver();
  drvPostKey(window, VK_SPACE);
  ASSERT_TRUE(waitCalls(1));
  saverPause(500);
  EXPECT_TRUE(drvIsRunning(&proc));
  EXPECT_TRUE(IsWindowVisible(window));
  // The mouse reference was reset where the cursor stood: a small move now does not end it.
  SetCursorPos(303, 300);
  drvPostMouse(window, WM_MOUSEMOVE, 303, 300, 0);
  saverPause(600);
  EXPECT_EQ(verifyCalls(), 1u);

  answer(true);
  drvPostMouse(window, WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(verifyCalls(), 2u);
}

TEST_F(Win98, ASecondCloseRightAfterARefusalIsIgnored) {
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", 1));
  answer(false);
  startSaver();
  // Two keys at once: the second close comes within 200 milliseconds of the first check.
  drvPostKey(window, 'A');
  drvPostKey(window, 'B');
  ASSERT_TRUE(waitCalls(1));
  saverPause(800);
  EXPECT_EQ(verifyCalls(), 1u);
  EXPECT_TRUE(drvIsRunning(&proc));
  // Later ones are asked again.
  drvPostKey(window, 'C');
  ASSERT_TRUE(waitCalls(2));
  EXPECT_TRUE(drvIsRunning(&proc));
}

TEST_F(Win98, WithoutThePasswordSettingInputEndsItAtOnce) {
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", 0));
  answer(false);
  startSaver();
  drvPostKey(window, VK_SPACE);
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(verifyCalls(), 0u);
}

TEST_F(Win98, WithoutAVerifierInputEndsIt) {
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", 1));
  ASSERT_TRUE(DeleteFileA((install.root + "App\\PASSWORD.CPL").c_str()));
  startSaver();
  drvPostKey(window, VK_SPACE);
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(Win98, OnWindowsNtThePasswordIsTheSystemsAffair) {
  drvRegDeleteTree(HKEY_CURRENT_USER, APP_DEFAULTS);
  ASSERT_TRUE(drvRegSetDword(HKEY_CURRENT_USER, DESKTOP, "ScreenSaveUsePassword", 1));
  answer(false);
  startSaver();
  drvPostKey(window, VK_SPACE);
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(verifyCalls(), 0u);
  drvKill(&proc);
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /a"));
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, (DWORD)-1);
  EXPECT_FALSE(drvRegValueExists(HKEY_CURRENT_USER, RECORD, "PwdChange"));
}
