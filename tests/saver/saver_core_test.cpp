// saver_core_test.cpp: the saver without a window: creation and its failures, the change timer's
// condition, the desktop reader, a frame's copies, and the test hooks both savers read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "SaverCore.h"
#include "SaverSettings.h"
#include "TestSupport.h"
#include "appPlatform.h"
#include "voxim.h"

namespace {

// The part of a frame's sprite that reaches the window (the rest may hold anything).
std::string shownPixels(const SaverCoreSprite& shown) {
  std::string pixels;
  const SaverBlit& b = shown.blit;
  for (int32_t row = b.srcY; row < b.srcY + b.height; ++row)
    pixels.append(reinterpret_cast<const char*>(shown.sprite->lineTable[row]) + 3 * b.srcX, 3 * (size_t)b.width);
  return pixels;
}

// The environment as the C runtime of each build changes it (mingw has no setenv).
void setEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv((std::string(name) + "=" + value).c_str());
#else
  setenv(name, value, 1);
#endif
}

void unsetEnv(const char* name) {
#if defined(_WIN32)
  _putenv((std::string(name) + "=").c_str());
#else
  unsetenv(name);
#endif
}

class SaverCoreTest : public ::testing::Test {
 protected:
  TraceCapture trace;
  std::string dir;
  SaverSettings settings;
  SaverCore core;

  void SetUp() override {
    appSetInstallFolder("");  // files are named by their full paths
    dir = testScratchDir(std::string("core-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    VxmVector profile[3] = {{0.0f, -1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    VxmModel* model = vxmModelCreateLathe(profile, 3, nullptr, 8);
    ASSERT_TRUE(model);
    ASSERT_TRUE(vxmModelSaveVXM(model, testJoin(dir, "m.vxm").c_str()));
    vxmModelFree(model);
    saverSetDefaultSettings(&settings, "");
    std::snprintf(settings.modelFile, SAVER_PATH_LENGTH, "%s", testJoin(dir, "m.vxm").c_str());
    settings.backgroundState = SAVER_BACK_NONE;
    settings.moveState = SAVER_MOVE_REFLECT;
    settings.modelRandom = 0;
    settings.spinRandom = 0;
    settings.spinY = 1;
    appSeedRandom(7);
    std::memset(&core, 0, sizeof core);
  }
  // A window of W x H on a desktop DW wide, no monitors named.
  bool init(int32_t width, int32_t height, int32_t desktopWidth, SaverDesktopReader reader = nullptr,
            void* context = nullptr) {
    const SaverCoreWindow window = {width, height, desktopWidth, 0, 0, nullptr, 0, 0};
    return saverCoreInit(&core, &settings, &window, reader, context);
  }
  std::string traced() const {
    std::string all;
    for (const std::string& line : trace.lines) all += line;
    return all;
  }
  void TearDown() override {
    saverCoreTeardown(&core);
    unsetEnv("QUIRLA_SAVER_SEED");
  }
};

bool paintDesktop(VxmBitmap* background, void* context) {
  ++*static_cast<int*>(context);
  const uint8_t grey[3] = {9, 8, 7};
  vxmBitmapFill(background, grey);
  return true;
}

bool refuseDesktop(VxmBitmap* background, void* context) {
  const uint8_t white[3] = {255, 255, 255};
  vxmBitmapFill(background, white);  // a reader that fails part-way
  return false;
}

}  // namespace

TEST_F(SaverCoreTest, AMissingModelFailsAndTeardownFreesWhatWasMade) {
  std::snprintf(settings.modelFile, SAVER_PATH_LENGTH, "%s", testJoin(dir, "none.vxm").c_str());
  EXPECT_FALSE(init(64, 48, 64));
  EXPECT_TRUE(trace.has("Failed to load model: " + testJoin(dir, "none.vxm")));
  EXPECT_TRUE(core.background);
  saverCoreTeardown(&core);
  EXPECT_FALSE(core.background);
  EXPECT_FALSE(init(0, 48, 64));
  EXPECT_TRUE(trace.has("Invalid Parameters"));
}

TEST_F(SaverCoreTest, ChangesRunOnlyWhenSomethingIsRandom) {
  ASSERT_TRUE(init(64, 48, 64)) << traced();
  EXPECT_FALSE(core.changes);
  saverCoreTeardown(&core);
  settings.lightRandom = 1;
  ASSERT_TRUE(init(64, 48, 64)) << traced();
  EXPECT_TRUE(core.changes);
  saverCoreTeardown(&core);
  settings.change = 0;
  ASSERT_TRUE(init(64, 48, 64)) << traced();
  EXPECT_FALSE(core.changes);
}

TEST_F(SaverCoreTest, TheDesktopReaderIsAskedOnlyForTheDesktopAndItsFailureLeavesBlack) {
  int calls = 0;
  ASSERT_TRUE(init(64, 48, 64, paintDesktop, &calls));
  EXPECT_EQ(calls, 0);
  saverCoreTeardown(&core);
  settings.backgroundState = SAVER_BACK_DESKTOP;
  ASSERT_TRUE(init(64, 48, 64, paintDesktop, &calls));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(core.background->lineTable[47][3 * 63 + 2], 7);
  saverCoreTeardown(&core);
  ASSERT_TRUE(init(64, 48, 64, refuseDesktop, nullptr));
  for (int32_t row = 0; row < 48; ++row)
    for (int32_t i = 0; i < 64 * 3; ++i) ASSERT_EQ(core.background->lineTable[row][i], 0) << row << "," << i;
}

TEST_F(SaverCoreTest, AFrameShowsTheSpriteWhereItMovedAndTheBandsItLeft) {
  ASSERT_TRUE(init(200, 150, 200));
  SaverCoreOutput output;
  saverCoreFrame(&core, 0, &output);
  EXPECT_EQ(output.bandCount, 0);  // nothing moved yet
  ASSERT_EQ(core.screenCount, 1);
  const SaverMotion& motion = core.screens[0].motion;
  const int32_t S = motion.side;
  ASSERT_EQ(output.spriteCount, 1);
  EXPECT_EQ(output.sprites[0].sprite, core.screens[0].sprite);
  EXPECT_EQ(output.sprites[0].blit.x, motion.ix);
  EXPECT_EQ(output.sprites[0].blit.width, S);
  // The model is drawn over the black background: the sprite's centre is lit.
  const uint8_t* centre = core.screens[0].sprite->lineTable[S / 2] + 3 * (S / 2);
  EXPECT_GT(centre[0] + centre[1] + centre[2], 0);
  saverCoreFrame(&core, 500, &output);
  EXPECT_NE(motion.ix, motion.oldX);
  EXPECT_GE(output.bandCount, 1);
  EXPECT_FALSE(output.backgroundRedrawn);
}

// Two monitors side by side, the primary on the right: the window covers both from x = -160. The
// renderer is shared, so the saver on the primary alone runs first and the pair after it.
TEST_F(SaverCoreTest, EachMonitorHasASpriteAndThePrimaryMovesAsOnAMonitorAlone) {
  settings.moveState = SAVER_MOVE_WANDER;  // draws random numbers every step
  const int kFrames = 30;
  const SaverCoreWindow alone = {200, 150, 200, 0, 0, nullptr, 0, 0};
  appSeedRandom(7);
  ASSERT_TRUE(saverCoreInit(&core, &settings, &alone, nullptr, nullptr)) << traced();
  SaverCoreOutput output;
  int32_t path[kFrames][2];
  for (int frame = 0; frame < kFrames; ++frame) {
    saverCoreFrame(&core, 17, &output);
    path[frame][0] = core.screens[0].motion.ix;
    path[frame][1] = core.screens[0].motion.iy;
  }
  ASSERT_EQ(output.spriteCount, 1);
  const std::string aloneSprite = shownPixels(output.sprites[0]);
  const uint32_t aloneState = appRandomState();
  saverCoreTeardown(&core);

  const AppRect monitors[2] = {{0, 0, 200, 150}, {-160, 30, 0, 150}};
  const SaverCoreWindow pair = {360, 150, 360, -160, 0, monitors, 2, 0};
  appSeedRandom(7);
  ASSERT_TRUE(saverCoreInit(&core, &settings, &pair, nullptr, nullptr)) << traced();
  ASSERT_EQ(core.screenCount, 2);
  EXPECT_EQ(core.screens[0].area.left, 160);
  EXPECT_EQ(core.screens[1].area.top, 30);
  EXPECT_EQ(core.screens[1].area.height, 120);
  for (int frame = 0; frame < kFrames; ++frame) {
    saverCoreFrame(&core, 17, &output);
    ASSERT_EQ(core.screens[0].motion.ix, path[frame][0]) << frame;
    ASSERT_EQ(core.screens[0].motion.iy, path[frame][1]) << frame;
  }
  EXPECT_EQ(appRandomState(), aloneState);  // the second monitor drew from its own stream
  // Copies land in the window's pixels, each inside its own monitor.
  ASSERT_EQ(output.spriteCount, 2);
  EXPECT_EQ(shownPixels(output.sprites[0]), aloneSprite);
  EXPECT_EQ(output.sprites[0].blit.x, 160 + core.screens[0].motion.ix);
  EXPECT_EQ(output.sprites[1].sprite, core.screens[1].sprite);
  EXPECT_LE(output.sprites[1].blit.x + output.sprites[1].blit.width, 160);
  EXPECT_GE(output.sprites[1].blit.y, 30);
  for (int32_t i = 0; i < output.bandCount; ++i) {
    const SaverRect& band = output.bands[i];
    const bool onPrimary = band.left >= 160 && band.right < 360;
    const bool onOther = band.right < 160 && band.top >= 30;
    EXPECT_TRUE(onPrimary || onOther) << band.left << "," << band.top << "," << band.right;
  }

  // The preview (narrower than the desktop) keeps one sprite whatever the monitors.
  saverCoreTeardown(&core);
  const SaverCoreWindow preview = {152, 112, 360, -160, 0, monitors, 2, 0};
  ASSERT_TRUE(saverCoreInit(&core, &settings, &preview, nullptr, nullptr));
  EXPECT_EQ(core.screenCount, 1);
  EXPECT_EQ(core.screens[0].area.width, 152);
}

TEST(SaverTestHooks, TheSeedComesFromTheEnvironmentOnlyWhenItIsANumber) {
  unsetEnv("QUIRLA_SAVER_SEED");
  EXPECT_EQ(saverTestSeed(123u), 123u);
  setEnv("QUIRLA_SAVER_SEED", "4294967295");
  EXPECT_EQ(saverTestSeed(123u), 4294967295u);
  setEnv("QUIRLA_SAVER_SEED", "4294967296");
  EXPECT_EQ(saverTestSeed(123u), 123u);
  setEnv("QUIRLA_SAVER_SEED", "12x");
  EXPECT_EQ(saverTestSeed(123u), 123u);
  unsetEnv("QUIRLA_SAVER_SEED");
}

TEST(SaverTestHooks, FixedFramesTickFromOneByTheirLength) {
  unsetEnv("QUIRLA_SAVER_FRAME_MS");
  EXPECT_EQ(saverTestTick(5000u), 5000u);
  setEnv("QUIRLA_SAVER_FRAME_MS", "17");
  EXPECT_EQ(saverTestTick(5000u), 1u);
  EXPECT_EQ(saverTestTick(5000u), 18u);
  EXPECT_EQ(saverTestTick(9u), 35u);
  unsetEnv("QUIRLA_SAVER_FRAME_MS");
}

TEST(SaverTestHooks, TheSpriteIsWrittenAsABmpFileWithPaddedRows) {
  TraceCapture trace;
  std::string dir = testScratchDir("sprite-bmp");
  VxmBitmap* sprite = vxmBitmapCreate(3, 2, 24);
  ASSERT_TRUE(sprite);
  for (int32_t i = 0; i < sprite->bitsSize; ++i) sprite->bits[i] = (uint8_t)(i + 1);
  ASSERT_TRUE(vxmBitmapSaveBMP(sprite, testJoin(dir, "s.bmp").c_str()));
  std::string bytes;
  ASSERT_TRUE(testReadFile(testJoin(dir, "s.bmp"), &bytes));
  ASSERT_EQ(bytes.size(), 54u + 12u * 2u);  // rows of 9 bytes padded to 12
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ((uint8_t)bytes[2], 54 + 24);
  EXPECT_EQ((uint8_t)bytes[10], 54);
  EXPECT_EQ((uint8_t)bytes[18], 3);
  EXPECT_EQ((uint8_t)bytes[22], 2);
  EXPECT_EQ((uint8_t)bytes[28], 24);
  EXPECT_EQ((uint8_t)bytes[34], 24);  // the pixel block's size
  EXPECT_EQ(bytes.substr(54), std::string(reinterpret_cast<char*>(sprite->bits), 24));
  // The frame asked for, and only that one, is written.
  setEnv("QUIRLA_SAVER_DUMP", testJoin(dir, "d.bmp").c_str());
  setEnv("QUIRLA_SAVER_DUMP_FRAME", "2");
  saverTestDump(sprite);
  EXPECT_FALSE(testReadFile(testJoin(dir, "d.bmp"), &bytes));
  saverTestDump(sprite);
  EXPECT_TRUE(testReadFile(testJoin(dir, "d.bmp"), &bytes));
  unsetEnv("QUIRLA_SAVER_DUMP");
  unsetEnv("QUIRLA_SAVER_DUMP_FRAME");
  EXPECT_FALSE(vxmBitmapSaveBMP(sprite, testJoin(dir, "missing/s.bmp").c_str()));
  EXPECT_FALSE(trace.lines.empty());
  vxmBitmapFree(sprite);
}
