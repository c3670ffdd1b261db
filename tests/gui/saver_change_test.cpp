// saver_change_test.cpp: the change timer under Wine: every "Change Time" seconds the saver swaps
// in another background picture, model and lighting, and another movement mode, when those options
// ask for it; a long run with everything random keeps its memory and GDI objects flat.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "saver_extras.h"
#include "windriver.h"

namespace {

struct Change : ::testing::Test {
  SaverInstall install;
  DrvProcess proc = {};
  HWND window = nullptr;
  int W = 0, H = 0;

  void SetUp() override {
    ASSERT_TRUE(saverMakeInstall("saver-change", &install));
    W = GetSystemMetrics(SM_CXSCREEN);
    H = GetSystemMetrics(SM_CYSCREEN);
    saverSetNumber("Background State", 0);
    saverSetNumber("Move State", 0);
    saverSetNumber("Spin Random", 0);
    saverSetNumber("Model Random", 0);
    saverSetNumber("Light Random", 0);
    saverSetNumber("Bitmap Random", 0);
    saverSetNumber("Change", 1);
    saverSetNumber("Change Time", 4);
    SetCursorPos(5, 5);
  }
  void TearDown() override {
    drvKill(&proc);
    saverForgetInstall(&install);
  }
  void start() {
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /s"));
    window = saverWaitFullScreen(proc.id, DRV_TIMEOUT);
    ASSERT_NE(window, nullptr);
  }
  std::string path(const char* folder, const std::string& name) const { return install.root + folder + "\\" + name; }
  // folder\<prefix><n>.<extension>
  std::string path(const char* folder, const char* prefix, int n, const char* extension) const {
    char name[64];
    snprintf(name, sizeof name, "%s%d.%s", prefix, n, extension);
    return path(folder, name);
  }
};

}  // namespace

TEST_F(Change, SwapsBackgroundModelAndLighting) {
  ASSERT_TRUE(saverWriteCube(path("Models", "red.vxm"), 0xFF0000));
  ASSERT_TRUE(saverWriteCube(path("Models", "blue.vxm"), 0x0000FF));
  const uint32_t ambients[4] = {0x808080, 0x404040, 0xC0C0C0, 0x202020};
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(saverWriteLights(path("Lights", "l", i, "vlt"), ambients[i], 0));
  ASSERT_TRUE(saverWriteSolidBitmap(path("Textures", "green.bmp"), 16, 16, 0x00C000));
  ASSERT_TRUE(saverWriteSolidBitmap(path("Textures", "grey.bmp"), 16, 16, 0x606060));
  saverSetNumber("Background State", 2);
  saverSetNumber("Bitmap Tile", 1);
  saverSetText("Bitmap File", path("Textures", "green.bmp"));
  saverSetNumber("Bitmap Random", 1);
  saverSetText("Model File", path("Models", "red.vxm"));
  saverSetNumber("Model Random", 1);
  saverSetText("Light File", path("Lights", "l0.vlt"));
  saverSetNumber("Light Random", 1);
  start();

  // Wait for the first frame: until then the window shows its black class background.
  DWORD firstTick = GetTickCount();
  bool drawn = false;
  while (!drawn && GetTickCount() - firstTick < DRV_TIMEOUT) {
    SaverShot shot;
    RECT probe = {0, H / 2, W, H / 2 + 1};
    drawn = shot.take(probe) && shot.at(3, 0) != 0 && shot.at(W / 2, 0) != 0 && shot.at(W / 2, 0) != shot.at(3, 0);
    if (!drawn) saverPause(50);
  }
  ASSERT_TRUE(drawn);
  std::set<uint32_t> backgrounds, hues, levels;
  DWORD startTick = GetTickCount();
  while (GetTickCount() - startTick < 26000) {
    SaverShot shot;
    RECT probe = {0, H / 2, W, H / 2 + 1};
    if (shot.take(probe)) {
      uint32_t back = shot.at(3, 0);
      uint32_t model = shot.at(W / 2, 0);
      if (back == shot.at(W - 3, 0) && model != back) {
        backgrounds.insert(back);
        // One colour per model: its hue tells the model, its strength the lighting.
        bool red = (model & 0xFF0000) && !(model & 0x00FFFF);
        bool blue = (model & 0x0000FF) && !(model & 0xFFFF00);
        if (red || blue) {
          hues.insert(red ? 0xFF0000 : 0x0000FF);
          levels.insert(red ? model >> 16 : model & 0xFF);
        }
      }
    }
    saverPause(400);
  }
  EXPECT_EQ(backgrounds, (std::set<uint32_t>{0x00C000, 0x606060}));
  EXPECT_EQ(hues, (std::set<uint32_t>{0xFF0000, 0x0000FF}));
  EXPECT_GE(levels.size(), 2u);
  for (uint32_t level : levels) {
    bool known = false;
    for (uint32_t a : ambients) known = known || level == ((a & 0xFF) * 255) / 256;
    EXPECT_TRUE(known) << level;
  }
  // Nothing random is written back: the settings still name the first files.
  EXPECT_EQ(saverGetText("Model File"), path("Models", "red.vxm"));
  EXPECT_EQ(saverGetText("Bitmap File"), path("Textures", "green.bmp"));
}

namespace {

struct Sample {
  double t;  // seconds since the window appeared
  double x, y;
};

// How the sprite moved over one stretch between two changes: Reflect goes straight at 10 pixels
// a second on both axes (Move Speed 80), Bounce falls from the top, Wander drifts at random.
char classify(const std::vector<Sample>& samples) {
  if (samples.size() < 4) return '?';
  const Sample& a = samples.front();
  const Sample& z = samples.back();
  if (std::fabs(z.y - a.y) > 80) return 'B';
  bool straight = true;
  for (const Sample& s : samples) {
    double expected = 10.0 * (s.t - a.t);
    straight = straight && std::fabs(std::fabs(s.x - a.x) - expected) <= 4 && std::fabs(std::fabs(s.y - a.y) - expected) <= 4;
  }
  return straight ? 'R' : 'W';
}

}  // namespace

TEST_F(Change, RandomMovementAloneStillRunsTheTimerAndPicksAnotherModeEachTime) {
  ASSERT_TRUE(saverWriteCube(path("Models", "can.vxm"), 0xFF0000));
  ASSERT_TRUE(saverWriteLights(path("Lights", "day.vlt"), 0x808080, 0));
  saverSetNumber("Move State", 4);
  saverSetNumber("Move Speed", 80);
  start();
  DWORD created = GetTickCount();
  std::vector<std::vector<Sample>> stretches(4);
  while (GetTickCount() - created < 16000) {
    double t = (GetTickCount() - created) / 1000.0;
    int stretch = (int)(t / 4.0);
    double into = t - stretch * 4.0;
    SaverShot shot;
    RECT box;
    if (into > 0.6 && into < 3.6 && shot.takeScreen() && shot.boxOfOthers(0, &box))
      stretches[stretch].push_back(Sample{t, (box.left + box.right) / 2.0, (box.top + box.bottom) / 2.0});
    saverPause(200);
  }
  std::string modes;
  for (const auto& s : stretches) modes += classify(s);
  SCOPED_TRACE(modes);
  // Each change picks a mode other than the current one.
  EXPECT_EQ(modes.find('?'), std::string::npos);
  for (size_t i = 1; i < modes.size(); ++i) EXPECT_NE(modes[i], modes[i - 1]) << i;
}

TEST_F(Change, LongRunWithEverythingRandomStaysFlat) {
  const uint32_t colours[3][6] = {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF},
                                  {0x804000, 0x408000, 0x004080, 0x800040, 0x400080, 0x008040},
                                  {0xFFFFFF, 0x808080, 0x404040, 0xC0C0C0, 0x202020, 0xE0E0E0}};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(saverWriteCube(path("Models", "m", i, "vxm"), colours[i]));
    ASSERT_TRUE(saverWriteLights(path("Lights", "l", i, "vlt"), 0x404040 * (i + 1),
                                 0x808080, 0.3f, -0.5f, 1.0f));
    // Pictures large enough that one lost per change would show in the process's memory.
    ASSERT_TRUE(saverWriteSolidBitmap(path("Textures", "t", i, "bmp"), 200 + 100 * i, 150 + 75 * i,
                                      0x203040 * (i + 1)));
  }
  saverSetNumber("Background State", 2);
  saverSetNumber("Bitmap Tile", 1);
  saverSetText("Bitmap File", path("Textures", "t0.bmp"));
  saverSetNumber("Bitmap Random", 1);
  saverSetText("Model File", path("Models", "m0.vxm"));
  saverSetNumber("Model Random", 1);
  saverSetText("Light File", path("Lights", "l0.vlt"));
  saverSetNumber("Light Random", 1);
  saverSetNumber("Move State", 4);
  saverSetNumber("Move Speed", 1);
  saverSetNumber("Spin Random", 1);
  start();
  // Settle through the first two changes, then measure over twelve more.
  saverPause(9000);
  SIZE_T bytesBefore = 0, bytesAfter = 0;
  DWORD gdiBefore = 0, gdiAfter = 0;
  ASSERT_TRUE(saverProcessUsage(proc.process, &bytesBefore, &gdiBefore));
  saverPause(48000);
  ASSERT_TRUE(drvIsRunning(&proc));
  ASSERT_TRUE(saverProcessUsage(proc.process, &bytesAfter, &gdiAfter));
  ASSERT_GT(bytesBefore, 0u);
  EXPECT_LT((long long)bytesAfter - (long long)bytesBefore, 512 * 1024)
      << "private bytes " << bytesBefore << " -> " << bytesAfter;
  // GDI objects are counted per process on Windows only. Wine's GetGuiResources answers 0, so
  // under Wine this check is left out and proves nothing; there the private bytes above are the
  // measure (Wine keeps a process's GDI objects in its own memory).
  if (gdiBefore != 0)
    EXPECT_EQ(gdiAfter, gdiBefore);
  else
    RecordProperty("gdi_objects", "not counted by this system");
  // Still drawing: the screen is not one colour.
  SaverShot shot;
  ASSERT_TRUE(shot.takeScreen());
  EXPECT_LT(shot.count(shot.commonest()), (long)W * H);
  drvPostKey(window, VK_SPACE);
  DWORD code = 7;
  ASSERT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}
