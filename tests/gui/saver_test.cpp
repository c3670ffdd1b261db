// saver_test.cpp: the full-screen saver ("/s") under Wine: its window, the model over each kind of
// background, frames that follow each other, the input that ends it and the single instance.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "saver_extras.h"
#include "windriver.h"

namespace {

const uint32_t RED = 0xFF0000;
const uint32_t AMBIENT = 0x808080;
const uint32_t LIT_RED = 0x7F0000;  // red under half ambient light
const uint32_t SIX[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};

struct FullScreen : ::testing::Test {
  SaverInstall install;
  DrvProcess proc = {};
  HWND window = nullptr;
  int W = 0, H = 0;

  void SetUp() override {
    ASSERT_TRUE(saverMakeInstall("saver-full", &install));
    ASSERT_TRUE(saverWriteCube(install.root + "Models\\can.vxm", RED));
    ASSERT_TRUE(saverWriteLights(install.root + "Lights\\day.vlt", AMBIENT, 0));
    // A still model over black, no timer: each test changes what it looks at.
    saverSetNumber("Background State", 0);
    saverSetNumber("Move State", 0);
    saverSetNumber("Spin Random", 0);
    saverSetNumber("Model Random", 0);
    saverSetNumber("Change", 0);
    W = GetSystemMetrics(SM_CXSCREEN);
    H = GetSystemMetrics(SM_CYSCREEN);
    SetCursorPos(200, 200);
  }
  void TearDown() override {
    drvKill(&proc);
    saverForgetInstall(&install);
  }

  void start(const char* arguments = "/s") {
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" " + arguments));
    window = saverWaitFullScreen(proc.id, DRV_TIMEOUT);
    ASSERT_NE(window, nullptr);
  }
  // The sprite for the default Model Size 20 sits centred: side trunc(20 * W * 0.01).
  int side() const { return (int)(20.0 * W * (double)0.01f); }
  RECT spriteRect() const {
    int S = side();
    int x = (W - S) >> 1, y = (H - S) >> 1;
    return RECT{x, y, x + S, y + S};
  }
  // Waits until the screen's pixel at x, y shows the colour.
  bool waitPixel(int x, int y, uint32_t colour, DWORD timeoutMs = 10000) {
    DWORD startTick = GetTickCount();
    do {
      SaverShot shot;
      RECT one = {x, y, x + 1, y + 1};
      if (shot.take(one) && shot.at(0, 0) == colour) return true;
      Sleep(50);
    } while (GetTickCount() - startTick < timeoutMs);
    return false;
  }
  bool waitExit(DWORD* code, DWORD timeoutMs = 10000) { return drvWaitExit(&proc, timeoutMs, code); }
};

}  // namespace

TEST_F(FullScreen, CoversTheScreenAndShowsTheModelCentredOverBlack) {
  start();
  RECT r;
  ASSERT_TRUE(GetWindowRect(window, &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, W);
  EXPECT_EQ(r.bottom, H);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_EQ(shot.commonest(), 0u);
  RECT box;
  ASSERT_TRUE(shot.boxOfOthers(0, &box));
  // Only the cube's face: inside the sprite, around the centre, in the one lit colour.
  RECT sprite = spriteRect();
  EXPECT_GE(box.left, sprite.left);
  EXPECT_LT(box.right, sprite.right);
  EXPECT_GE(box.top, sprite.top);
  EXPECT_LT(box.bottom, sprite.bottom);
  EXPECT_LT(box.left, W / 2 - 20);
  EXPECT_GT(box.right, W / 2 + 20);
  long faceArea = (box.right - box.left + 1) * (box.bottom - box.top + 1);
  EXPECT_EQ(shot.count(LIT_RED), faceArea);
  DWORD code = 1;
  drvPostKey(window, VK_SPACE);
  ASSERT_TRUE(waitExit(&code));
  EXPECT_EQ(code, 0u);
}

TEST_F(FullScreen, FramesFollowEachOtherWhileTheModelSpins) {
  ASSERT_TRUE(saverWriteCube(install.root + "Models\\can.vxm", SIX));
  saverSetNumber("Spin X", 1);
  saverSetNumber("Spin Y", 1);
  saverSetNumber("Spin X Speed", 13);
  saverSetNumber("Spin Y Speed", (DWORD)-17);
  start();
  RECT sprite = spriteRect();
  SaverShot first, second, third;
  // The first frames are drawn once the centre is no longer black.
  bool drawn = false;
  for (int i = 0; i < 200 && !drawn; ++i) {
    SaverShot centre;
    RECT one = {W / 2, H / 2, W / 2 + 1, H / 2 + 1};
    drawn = centre.take(one) && centre.at(0, 0) != 0;
    if (!drawn) saverPause(50);
  }
  ASSERT_TRUE(drawn);
  saverPause(500);
  ASSERT_TRUE(first.take(sprite));
  saverPause(500);
  ASSERT_TRUE(second.take(sprite));
  saverPause(500);
  ASSERT_TRUE(third.take(sprite));
  auto differing = [](const SaverShot& a, const SaverShot& b) {
    long n = 0;
    for (int y = 0; y < a.picture.height; ++y)
      for (int x = 0; x < a.picture.width; ++x) n += a.at(x, y) != b.at(x, y);
    return n;
  };
  EXPECT_GT(differing(first, second), 200);
  EXPECT_GT(differing(second, third), 200);
  // Every frame shows the model (never a bare background) and nothing outside the sprite.
  for (const SaverShot* s : {&first, &second, &third}) EXPECT_GT(s->picture.width * s->picture.height - s->count(0), 2000);
  SaverShot screen;
  ASSERT_TRUE(screen.takeScreen());
  RECT box;
  ASSERT_TRUE(screen.boxOfOthers(0, &box));
  EXPECT_GE(box.left, sprite.left);
  EXPECT_LT(box.right, sprite.right);
}

namespace {

// A 64 x 48 picture in four quadrants as seen on the screen: red, green (top); blue, white (bottom).
uint32_t quadrants(int x, int y) {
  if (y < 24) return x < 32 ? 0xFF0000 : 0x00FF00;
  return x < 32 ? 0x0000FF : 0xFFFFFF;
}
uint32_t quadrantAt(int x, int y) { return quadrants(x % 64, y % 48); }

}  // namespace

TEST_F(FullScreen, TiledBitmapBehindTheModel) {
  ASSERT_TRUE(saverWriteBitmap(install.root + "Textures\\quads.bmp", 64, 48, quadrants));
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", install.root + "Textures\\quads.bmp");
  saverSetNumber("Bitmap Tile", 1);
  start();
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  // Tiles run from the bottom-left corner: screen row y shows picture row (y + 48 - H % 48) % 48.
  const int shift = (48 - H % 48) % 48;
  RECT sprite = spriteRect();
  int checked = 0;
  for (int y = 3; y < H; y += 37) {
    for (int x = 5; x < W; x += 41) {
      if (x >= sprite.left && x < sprite.right && y >= sprite.top && y < sprite.bottom) continue;
      ASSERT_EQ(shot.at(x, y), quadrantAt(x, y + shift)) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 300);
  EXPECT_EQ(shot.at(W / 2, H / 2), LIT_RED);
  // The sprite's corners carry the background it was drawn over.
  EXPECT_EQ(shot.at(sprite.left + 1, sprite.top + 1), quadrantAt(sprite.left + 1, sprite.top + 1 + shift));
}

TEST_F(FullScreen, CentredBitmapOnBlack) {
  // 256 x 192 in one colour with a white first row: its top edge shows where it was placed.
  ASSERT_TRUE(saverWriteBitmap(install.root + "Textures\\plate.bmp", 256, 192,
                               [](int, int y) -> uint32_t { return y == 0 ? 0xFFFFFF : 0x3060C0; }));
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", install.root + "Textures\\plate.bmp");
  saverSetNumber("Bitmap Tile", 0);
  start();
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  // Placed at ((W - 256) >> 1, (H - 192) >> 1) counted from the bottom.
  const int left = (W - 256) >> 1;
  const int top = H - ((H - 192) >> 1) - 192;
  EXPECT_EQ(shot.at(left, top), 0xFFFFFFu);
  EXPECT_EQ(shot.at(left + 255, top), 0xFFFFFFu);
  EXPECT_EQ(shot.at(left, top + 1), 0x3060C0u);
  EXPECT_EQ(shot.at(left + 255, top + 191), 0x3060C0u);
  EXPECT_EQ(shot.at(left - 1, top + 5), 0u);
  EXPECT_EQ(shot.at(left + 256, top + 5), 0u);
  EXPECT_EQ(shot.at(left + 5, top - 1), 0u);
  EXPECT_EQ(shot.at(left + 5, top + 192), 0u);
  EXPECT_EQ(shot.at(W / 2, H / 2), LIT_RED);
}

TEST_F(FullScreen, MissingBitmapLeavesBlackAndTheModelStillShows) {
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", install.root + "Textures\\gone.bmp");
  start();
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_EQ(shot.commonest(), 0u);
}

namespace {

// A plain window of one colour over the whole screen: the "desktop" the saver starts on.
LRESULT CALLBACK paintBlue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x90, 0x40));
    FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
    DeleteObject(brush);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(FullScreen, DesktopBackgroundIsTheScreenBeneath) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = paintBlue;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SaverTestDesktop";
  RegisterClassA(&wc);
  HWND desk = CreateWindowExA(0, "SaverTestDesktop", "desk", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(desk, nullptr);
  UpdateWindow(desk);
  saverPause(500);
  saverSetNumber("Background State", 1);
  start();
  EXPECT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_EQ(shot.at(10, 10), 0x209040u);
  EXPECT_EQ(shot.at(W - 10, H - 10), 0x209040u);
  EXPECT_EQ(shot.commonest(), 0x209040u);
  // The saver window is in front of the test's own window.
  EXPECT_TRUE(IsWindowVisible(window));
  drvKill(&proc);
  DestroyWindow(desk);
  UnregisterClassA("SaverTestDesktop", wc.hInstance);
}

TEST_F(FullScreen, FourPixelsOfMouseJitterDoNotEndItFiveDo) {
  start();
  ASSERT_TRUE(waitPixel(W / 2, H / 2, LIT_RED));
  SetCursorPos(202, 202);  // |dx| + |dy| = 4
  drvPostMouse(window, WM_MOUSEMOVE, 202, 202, 0);
  saverPause(300);
  SetCursorPos(198, 200);  // 2 + 0 from where it started
  drvPostMouse(window, WM_MOUSEMOVE, 198, 200, 0);
  DWORD code = 7;
  EXPECT_FALSE(waitExit(&code, 1500));
  EXPECT_TRUE(drvIsRunning(&proc));
  SetCursorPos(203, 202);  // 3 + 2 = 5
  drvPostMouse(window, WM_MOUSEMOVE, 203, 202, 0);
  ASSERT_TRUE(waitExit(&code));
  EXPECT_EQ(code, 0u);
}

TEST_F(FullScreen, KeysAndButtonsEndIt) {
  const UINT messages[] = {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  for (UINT message : messages) {
    SCOPED_TRACE(message);
    start();
    saverPause(300);
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
      PostMessageA(window, message, 'Q', 1);
    else
      drvPostMouse(window, message, 200, 200, 0);
    DWORD code = 7;
    ASSERT_TRUE(waitExit(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(window));
    drvKill(&proc);
  }
}

TEST_F(FullScreen, ASecondStartOnlyBringsTheFirstToTheFront) {
  start();
  DrvProcess second = {};
  ASSERT_TRUE(saverStart(&second, "\"" + install.scr + "\" /s"));
  DWORD code = 7;
  ASSERT_TRUE(drvWaitExit(&second, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
  drvKill(&second);
  EXPECT_TRUE(drvIsRunning(&proc));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(drvFindWindow("WindowsScreenSaverClass", "Screen Saver", 0), window);
}

TEST_F(FullScreen, WithoutAnInstallationFolderOnlyBlack) {
  drvRegDeleteValue(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath");
  start();
  saverPause(1500);
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_FALSE(shot.boxOfOthers(0, nullptr));
  // It stopped before reading the settings, so the missing ones were not filled in.
  EXPECT_FALSE(drvRegValueExists(HKEY_LOCAL_MACHINE, SAVER_KEY, "Model File"));
  drvPostKey(window, VK_ESCAPE);
  DWORD code = 7;
  ASSERT_TRUE(waitExit(&code));
  EXPECT_EQ(code, 0u);
}

TEST_F(FullScreen, WithoutAModelOnlyTheBackground) {
  ASSERT_TRUE(saverWriteSolidBitmap(install.root + "Textures\\sea.bmp", 8, 8, 0x1050A0));
  saverSetNumber("Background State", 2);
  saverSetNumber("Bitmap Tile", 1);
  saverSetText("Bitmap File", install.root + "Textures\\sea.bmp");
  saverSetText("Model File", install.root + "Models\\missing.vxm");
  start();
  ASSERT_TRUE(waitPixel(5, 5, 0x1050A0));
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_EQ(shot.count(0x1050A0), (long)W * H);
}

TEST_F(FullScreen, SystemCommandsThatSwitchAwayAreSwallowedOthersPassOn) {
  start();
  saverPause(300);
  LRESULT result = 7;
  for (WPARAM command : {(WPARAM)SC_SCREENSAVE, (WPARAM)SC_NEXTWINDOW, (WPARAM)SC_PREVWINDOW}) {
    ASSERT_TRUE(drvSend(window, WM_SYSCOMMAND, command, 0, &result));
    EXPECT_EQ(result, 0);
  }
  // The title never changes either.
  ASSERT_TRUE(drvSend(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"), &result));
  char title[64] = "";
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Screen Saver");
  DWORD code = 7;
  EXPECT_FALSE(waitExit(&code, 1000));
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(waitExit(&code));
  EXPECT_EQ(code, 0u);
}

TEST_F(FullScreen, LosingActivationOrAPowerEventEndsIt) {
  const struct {
    UINT message;
    WPARAM wParam;
  } events[] = {{WM_ACTIVATEAPP, FALSE}, {WM_POWERBROADCAST, PBT_APMSUSPEND}, {WM_POWER, 3}};
  for (const auto& e : events) {
    SCOPED_TRACE(e.message);
    start();
    saverPause(300);
    PostMessageA(window, e.message, e.wParam, 0);
    DWORD code = 7;
    ASSERT_TRUE(waitExit(&code));
    EXPECT_EQ(code, 0u);
    drvKill(&proc);
  }
  // Activation gained, or a power message of another kind, does not.
  start();
  saverPause(300);
  PostMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
  PostMessageA(window, WM_POWER, 1, 0);
  DWORD code = 7;
  EXPECT_FALSE(waitExit(&code, 1000));
}

// No frames while nobody can see them: the session locked or disconnected, or the display off
// (told as Windows tells it: a session change message, and a power-setting change whose record
// lies in the saver's own memory). The saver goes on when they end, and none of them ends it.
TEST_F(FullScreen, NoFramesWhileTheSessionIsLockedOrTheDisplayIsOff) {
  ASSERT_TRUE(saverWriteCube(install.root + "Models\\can.vxm", SIX));
  saverSetNumber("Spin Y", 1);
  saverSetNumber("Spin Y Speed", 40);
  start();
  const RECT sprite = spriteRect();
  auto moving = [&] {
    saverPause(150);  // a frame begun before a change may still land
    SaverShot a, b;
    if (!a.take(sprite)) return -1L;
    saverPause(400);
    if (!b.take(sprite)) return -1L;
    long n = 0;
    for (int y = 0; y < a.picture.height; ++y)
      for (int x = 0; x < a.picture.width; ++x) n += a.at(x, y) != b.at(x, y);
    return n;
  };
  ASSERT_GT(moving(), 200);
  // The display's state as a POWERBROADCAST_SETTING in the saver's memory.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, proc.id);
  ASSERT_NE(process, nullptr);
  struct {
    GUID setting;
    DWORD length;
    DWORD state;
  } record = {{0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}}, 4, 0};
  void* remote = VirtualAllocEx(process, nullptr, sizeof record, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr);
  auto display = [&](DWORD state) {
    record.state = state;
    SIZE_T written = 0;
    ASSERT_TRUE(WriteProcessMemory(process, remote, &record, sizeof record, &written));
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, (LPARAM)remote, SMTO_NORMAL,
                                    DRV_TIMEOUT, &result));
    EXPECT_EQ(result, (DWORD_PTR)TRUE);
  };
  const struct {
    const char* what;
    std::function<void()> stop, go;
  } pauses[] = {
      {"locked", [&] { PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1); },
       [&] { PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1); }},
      {"disconnected", [&] { PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, 1); },
       [&] { PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 1); }},
      {"display off", [&] { display(0); }, [&] { display(2); }},  // dimmed is still seen
  };
  for (const auto& p : pauses) {
    SCOPED_TRACE(p.what);
    p.stop();
    EXPECT_EQ(moving(), 0);
    p.go();
    EXPECT_GT(moving(), 200);
  }
  // Two reasons at once: frames come back only when both have ended.
  display(0);
  PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  display(1);
  EXPECT_EQ(moving(), 0);
  PostMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1);
  EXPECT_GT(moving(), 200);
  EXPECT_TRUE(drvIsRunning(&proc));
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
}

// The saver never keeps the display awake: no call that asks the system to (checked in its file,
// where an import or a name looked up at run time would show; Wine would not show the effect).
TEST(SaverFile, AsksNothingThatKeepsTheDisplayAwake) {
  char path[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("Quirla.scr", path, sizeof path));
  static char bytes[8 << 20];
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD size = 0;
  ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &size, nullptr));
  CloseHandle(file);
  ASSERT_GT(size, 100000u);
  const std::string image(bytes, size);
  for (const char* name : {"SetThreadExecutionState", "PowerSetRequest", "PowerCreateRequest"})
    EXPECT_EQ(image.find(name), std::string::npos) << name;
  EXPECT_NE(image.find("QueryPerformanceCounter"), std::string::npos);  // the search does see names
}

// Both programs declare their DPI awareness (the saver per monitor, the editor for the system) and
// no execution level, so that Windows neither stretches them nor stops redirecting their
// HKEY_LOCAL_MACHINE writes. Wine shows neither effect: the embedded manifests are checked.
TEST(SaverFile, ManifestsDeclareDpiAwarenessAndNoExecutionLevel) {
  const struct {
    const char* file;
    const char* awareness;
  } programs[] = {{"Quirla.scr", "PerMonitorV2, PerMonitor</dpiAwareness>"}, {"Quirla.exe", ">system</dpiAwareness>"}};
  for (const auto& p : programs) {
    SCOPED_TRACE(p.file);
    char path[MAX_PATH];
    ASSERT_TRUE(drvBinaryPath(p.file, path, sizeof path));
    HMODULE image = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(image, found)));
    const std::string manifest(text, SizeofResource(image, found));
    FreeLibrary(image);
    EXPECT_NE(manifest.find(p.awareness), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware "), std::string::npos);  // for Windows before 10
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
  }
}
