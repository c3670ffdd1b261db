// saver_preview_test.cpp: the preview ("/p <handle>") inside a window of the test that stands in for
// the Display control panel: the picture shrunk by W / DW, input that does not end it, help and
// context-menu requests passed to the parent, and its end with the parent.
#include <gtest/gtest.h>

#include <string>

#include "saver_extras.h"
#include "windriver.h"

namespace {

const int PW = 256, PH = 192;  // the preview's size in pixels
const uint32_t LIT_RED = 0x7F0000;

int helpCount = 0;
int menuCount = 0;
LPARAM menuPoint = 0;

LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HELP) ++helpCount;
  if (message == WM_CONTEXTMENU) {
    ++menuCount;
    menuPoint = lParam;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

uint32_t quadrants(int x, int y) {
  if (y < 24) return x < 32 ? 0xFF0000 : 0x00FF00;
  return x < 32 ? 0x0000FF : 0xFFFFFF;
}

struct Preview : ::testing::Test {
  SaverInstall install;
  DrvProcess proc = {};
  HWND panel = nullptr;
  HWND preview = nullptr;
  RECT onScreen = {};

  void SetUp() override {
    ASSERT_TRUE(saverMakeInstall("saver-preview", &install));
    ASSERT_TRUE(saverWriteCube(install.root + "Models\\can.vxm", 0xFF0000));
    ASSERT_TRUE(saverWriteLights(install.root + "Lights\\day.vlt", 0x808080, 0));
    ASSERT_TRUE(saverWriteBitmap(install.root + "Textures\\quads.bmp", 64, 48, quadrants));
    saverSetNumber("Background State", 2);
    saverSetText("Bitmap File", install.root + "Textures\\quads.bmp");
    saverSetNumber("Bitmap Tile", 1);
    saverSetNumber("Move State", 0);
    saverSetNumber("Spin Random", 0);
    saverSetNumber("Model Random", 0);
    saverSetNumber("Change", 0);
    helpCount = menuCount = 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = panelProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SaverTestPanel";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassA(&wc);
    RECT frame = {0, 0, PW, PH};
    AdjustWindowRect(&frame, WS_POPUP | WS_BORDER, FALSE);
    panel = CreateWindowExA(0, "SaverTestPanel", "Display Properties", WS_POPUP | WS_BORDER | WS_VISIBLE | WS_CLIPCHILDREN, 300, 200,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(panel, nullptr);
    saverPause(200);
    POINT origin = {0, 0};
    ClientToScreen(panel, &origin);
    onScreen = RECT{origin.x, origin.y, origin.x + PW, origin.y + PH};
  }
  void TearDown() override {
    drvKill(&proc);
    if (panel) DestroyWindow(panel);
    UnregisterClassA("SaverTestPanel", GetModuleHandleA(nullptr));
    saverForgetInstall(&install);
  }

  void start() {
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /p " + std::to_string((UINT_PTR)panel)));
    DWORD startTick = GetTickCount();
    // Found once it is shown, that is once its creation is complete.
    while (!((preview = FindWindowExA(panel, nullptr, "WindowsScreenSaverClass", "Preview")) && IsWindowVisible(preview)) &&
           GetTickCount() - startTick < DRV_TIMEOUT)
      saverPause(20);
    ASSERT_NE(preview, nullptr);
  }
  bool waitPixel(int x, int y, uint32_t colour) {
    for (int i = 0; i < 200; ++i) {
      SaverShot shot;
      RECT one = {onScreen.left + x, onScreen.top + y, onScreen.left + x + 1, onScreen.top + y + 1};
      if (shot.take(one) && shot.at(0, 0) == colour) return true;
      saverPause(50);
    }
    return false;
  }
};

}  // namespace

TEST_F(Preview, AChildThatFillsTheParent) {
  start();
  RECT client;
  ASSERT_TRUE(GetClientRect(preview, &client));
  EXPECT_EQ(client.right, PW);
  EXPECT_EQ(client.bottom, PH);
  LONG style = GetWindowLongA(preview, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_EQ(GetWindowLongA(preview, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(GetParent(preview), panel);
  // No full-screen saver window appears, and a full-screen start is not stopped by a preview.
  EXPECT_EQ(drvFindWindow("WindowsScreenSaverClass", "Screen Saver", 0), nullptr);
}

// Wine shows nothing that a process draws into a child of another process's window, so the
// picture is checked with the desktop as the parent: the preview then covers the screen.
TEST_F(Preview, DrawsInTheParentsClientArea) {
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /p " + std::to_string((UINT_PTR)GetDesktopWindow())));
  DWORD startTick = GetTickCount();
  while (!(preview = drvFindWindow("WindowsScreenSaverClass", "Preview", proc.id)) &&
         GetTickCount() - startTick < DRV_TIMEOUT)
    saverPause(20);
  ASSERT_NE(preview, nullptr);
  const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
  onScreen = RECT{0, 0, W, H};
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  const int shift = (48 - H % 48) % 48;
  const int S = (int)(20.0 * W * (double)0.01f);
  const int left = (W - S) >> 1, top = (H - S) >> 1;
  int checked = 0;
  for (int y = 3; y < H; y += 29) {
    for (int x = 5; x < W; x += 31) {
      if (x >= left && x < left + S && y >= top && y < top + S) continue;
      ASSERT_EQ(shot.at(x, y), quadrants(x % 64, (y + shift) % 48)) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 500);
  // Preview rules: input does not end it.
  drvPostKey(preview, VK_SPACE);
  drvPostMouse(preview, WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
  DWORD code = 7;
  EXPECT_FALSE(saverWaitExit(&proc, 1000, &code));
}

TEST_F(Preview, InputDoesNotEndItAndHelpGoesToTheParent) {
  start();
  saverPause(500);
  SetCursorPos(onScreen.left + 10, onScreen.top + 10);
  drvPostMouse(preview, WM_MOUSEMOVE, 10, 10, 0);
  SetCursorPos(onScreen.left + 100, onScreen.top + 150);
  drvPostMouse(preview, WM_MOUSEMOVE, 100, 150, 0);
  drvPostMouse(preview, WM_LBUTTONDOWN, 100, 150, MK_LBUTTON);
  drvPostMouse(preview, WM_RBUTTONDOWN, 100, 150, MK_RBUTTON);
  drvPostKey(preview, VK_SPACE);
  PostMessageA(preview, WM_SYSKEYDOWN, VK_MENU, 1);
  PostMessageA(preview, WM_ACTIVATEAPP, FALSE, 0);
  DWORD code = 7;
  EXPECT_FALSE(saverWaitExit(&proc, 1500, &code));
  EXPECT_TRUE(IsWindow(preview));

  PostMessageA(preview, WM_CONTEXTMENU, (WPARAM)preview, MAKELPARAM(17, 23));
  HELPINFO help = {};
  help.cbSize = sizeof help;
  help.iContextType = HELPINFO_WINDOW;
  LRESULT result = 0;
  ASSERT_TRUE(drvSend(preview, WM_HELP, 0, reinterpret_cast<LPARAM>(&help), &result));
  EXPECT_EQ(result, 1);
  saverPause(500);
  EXPECT_EQ(menuCount, 1);
  EXPECT_EQ(menuPoint, MAKELPARAM(17, 23));
  EXPECT_EQ(helpCount, 1);
  // The preview's title never changes.
  drvSend(preview, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"), &result);
  char title[64] = "";
  GetWindowTextA(preview, title, sizeof title);
  EXPECT_STREQ(title, "Preview");
}

TEST_F(Preview, EndsWithItsParent) {
  start();
  saverPause(500);
  DestroyWindow(panel);
  panel = nullptr;
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}
