// saver_motion_test.cpp: the saver's sizes, motion, edges, spin, random choices and band rectangles.
// Expected numbers come from an independent single-precision calculation (each step rounded
// to float, widened to double for the next), so a step done in float or in double shows up.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SaverMotion.h"
#include "app.h"

namespace {

SaverMotion makeMotion(int32_t W, int32_t H, int32_t DW, int32_t modelSize, int32_t moveSpeed, int32_t mode) {
  SaverMotion m;
  saverMotionInit(&m, W, H, DW, modelSize, moveSpeed);
  saverMotionChooseMode(&m, mode);
  saverMotionSetVelocity(&m);
  saverMotionStartPosition(&m);
  return m;
}

uint32_t bitsOf(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

}  // namespace

TEST(SaverSizes, SpriteSideUsesTheSinglePrecisionPercent) {
  // 6400 * 0.0099999998 = 63.99999..., so Model Size 10 at 640 is 63, not 64.
  EXPECT_EQ(saverSpriteSide(10, 640), 63);
  EXPECT_EQ(saverSpriteSide(20, 640), 127);
  EXPECT_EQ(saverSpriteSide(20, 800), 159);
  EXPECT_EQ(saverSpriteSide(20, 1024), 204);
  EXPECT_EQ(saverSpriteSide(50, 1000), 499);
  EXPECT_EQ(saverSpriteSide(37, 333), 123);
}

TEST(SaverSizes, HalfSideDiscAndConstants) {
  SaverMotion m;
  saverMotionInit(&m, 640, 480, 640, 10, 65);
  EXPECT_EQ(m.side, 63);
  EXPECT_EQ(m.half, 31);
  EXPECT_EQ(m.discRadius, 29);
  EXPECT_TRUE(m.fullSize);
  EXPECT_EQ(m.viewScale, 1.0f);
  EXPECT_EQ(m.gravity, 15.5f);
  EXPECT_EQ(saverDiscRadius(63), 60);
  saverMotionInit(&m, 640, 480, 640, 20, 65);
  EXPECT_EQ(m.half, 63);
  EXPECT_EQ(m.wanderGain, 0.0025199998635798693f);
}

TEST(SaverSizes, PreviewScaleIsTheWidthRatio) {
  EXPECT_EQ(saverViewScale(1024, 1024), 1.0f);
  EXPECT_EQ(saverViewScale(152, 1280), 0.11874999850988388f);
  SaverMotion m = makeMotion(152, 112, 1280, 20, 65, SAVER_MOVE_REFLECT);
  EXPECT_FALSE(m.fullSize);
  EXPECT_EQ(m.vx, 1.1875f);
  EXPECT_EQ(m.vy, 1.1875f);
  // Only the widths decide: a window as wide as the desktop is full size whatever its height.
  saverMotionInit(&m, 1280, 100, 1280, 20, 65);
  EXPECT_TRUE(m.fullSize);
}

TEST(SaverStart, VelocitiesAndPositionsByMode) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_REFLECT);
  EXPECT_EQ(m.ix, 256);  // (640 - 127) >> 1
  EXPECT_EQ(m.iy, 176);  // (480 - 127) >> 1
  EXPECT_EQ(m.posX, 256.0f);
  EXPECT_EQ(m.vx, 10.0f);
  EXPECT_EQ(m.vy, 10.0f);
  EXPECT_FALSE(m.randomMode);

  m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_BOUNCE);
  EXPECT_EQ(m.ix, 256);
  EXPECT_EQ(m.iy, 52);  // trunc(353 * 0.15)
  EXPECT_EQ(m.vx, 10.0f);
  EXPECT_EQ(m.vy, 0.0f);

  for (int32_t mode : {SAVER_MOVE_NONE, SAVER_MOVE_WANDER}) {
    m = makeMotion(640, 480, 640, 20, 65, mode);
    EXPECT_EQ(m.vx, 0.0f);
    EXPECT_EQ(m.vy, 0.0f);
    EXPECT_EQ(m.iy, 176);
  }
}

TEST(SaverStart, RandomMovementRollsOneOfTheThreeMovingModes) {
  appSeedRandom(5);  // first number 54 -> choice 0 -> Reflect
  SaverMotion m;
  saverMotionInit(&m, 640, 480, 640, 20, 65);
  EXPECT_EQ(saverMotionChooseMode(&m, SAVER_MOVE_RANDOM), SAVER_MOVE_REFLECT);
  EXPECT_TRUE(m.randomMode);
  for (uint32_t seed = 1; seed < 200; ++seed) {
    appSeedRandom(seed);
    int32_t mode = saverMotionChooseMode(&m, SAVER_MOVE_RANDOM);
    EXPECT_GE(mode, SAVER_MOVE_REFLECT);
    EXPECT_LE(mode, SAVER_MOVE_WANDER);
  }
}

TEST(SaverFrame, ElapsedTimeFromTicks) {
  uint32_t last = 0;
  EXPECT_EQ(saverFrameSeconds(5000, &last), 0.0f);  // the first frame has no motion
  EXPECT_EQ(last, 5000u);
  EXPECT_EQ(bitsOf(saverFrameSeconds(5016, &last)), bitsOf(0.01600000075995922f));
  EXPECT_EQ(last, 5016u);
  last = 0xFFFFFFF0u;  // GetTickCount wraps after 49.7 days
  EXPECT_EQ(saverFrameSeconds(0x10u, &last), 0.032f);
}

TEST(SaverFrame, ReflectMovesByFactorTimesVelocity) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_REFLECT);
  saverMotionStep(&m, 0.01600000075995922f);
  // f = 16 * dt = 0.256000012; posX = 256 + 2.56000012 -> 258.559998
  EXPECT_EQ(m.posX, 258.55999755859375f);
  EXPECT_EQ(m.ix, 258);
  EXPECT_EQ(m.iy, 178);
  EXPECT_EQ(m.oldX, 256);
  EXPECT_EQ(m.oldY, 176);
  // A slower Move Speed (higher value) moves less: 80 moves by 1 * dt * v.
  SaverMotion slow = makeMotion(640, 480, 640, 20, 80, SAVER_MOVE_REFLECT);
  saverMotionStep(&slow, 0.5f);
  EXPECT_EQ(slow.posX, 261.0f);
  SaverMotion none = makeMotion(640, 480, 640, 20, 1, SAVER_MOVE_NONE);
  saverMotionStep(&none, 3.0f);
  EXPECT_EQ(none.ix, 256);
  EXPECT_EQ(none.iy, 176);
}

TEST(SaverFrame, BounceFallsAndReturnsWithTheFirstContactSpeed) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_BOUNCE);
  saverMotionStep(&m, 0.01600000075995922f);
  EXPECT_EQ(m.vy, 0.5040000081062317f);  // dt * gravity (31.5)
  // Drop it onto the floor fast: the first contact stores the upward speed.
  m.posY = 400.0f;
  m.vy = 30.0f;
  saverMotionStep(&m, 0.0f);
  EXPECT_FALSE(m.firstBounce);
  EXPECT_EQ(m.bounceVelocity, -30.0f);
  EXPECT_EQ(m.vy, -30.0f);
  EXPECT_EQ(m.iy, 480 - 60 - 63 - 1);
  EXPECT_EQ(m.posY, 356.0f);
  // A later contact with another speed returns with the first one's.
  m.posY = 420.0f;
  m.vy = 12.5f;
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.vy, -30.0f);
  EXPECT_EQ(m.iy, 356);
}

TEST(SaverFrame, EdgesReflectInTheirOrder) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_REFLECT);
  // R = 63, r = 60: the disc may reach from iy + 3 to iy + 123.
  m.posX = -10.0f;
  m.posY = -10.0f;
  m.vx = -10.0f;
  m.vy = -7.0f;
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.iy, -3);
  EXPECT_EQ(m.ix, -3);
  EXPECT_EQ(m.posY, -3.0f);
  EXPECT_EQ(m.vx, 10.0f);
  EXPECT_EQ(m.vy, 7.0f);
  // At 516 the disc reaches column 639, the last: it stays; one column further it reflects.
  for (float x : {516.0f, 517.0f, 600.0f}) {
    m.posX = x;
    m.vx = 10.0f;
    saverMotionStep(&m, 0.0f);
    EXPECT_EQ(m.ix, 640 - 60 - 63 - 1) << x;
    EXPECT_EQ(m.vx, x == 516.0f ? 10.0f : -10.0f) << x;
  }
  // In reflect mode the floor reflects too (through the bounce velocity of the first contact).
  m.posY = 470.0f;
  m.vy = 4.0f;
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.iy, 480 - 60 - 63 - 1);
  EXPECT_EQ(m.vy, -4.0f);
  // Inside the window nothing changes.
  m.posX = 100.5f;
  m.posY = 100.75f;
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.ix, 100);
  EXPECT_EQ(m.iy, 100);
  EXPECT_EQ(m.vx, -10.0f);
}

TEST(SaverFrame, WanderAcceleratesRandomlyAndStopsAtEdges) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_WANDER);
  appSeedRandom(7);  // the next numbers are 61 and 17422
  saverMotionStep(&m, 0.01600000075995922f);
  EXPECT_EQ(m.vx, -0.6581030488014221f);
  EXPECT_EQ(m.vy, 0.04189248010516167f);
  // The speed is limited to 20 either way (a motion factor of 0 keeps the sprite off the edges).
  m.moveSpeed = 81;
  m.vx = 19.9f;
  m.vy = -19.9f;
  appSeedRandom(1);  // 41, then 18467
  saverMotionStep(&m, 100.0f);
  EXPECT_EQ(m.vx, -20.0f);
  EXPECT_EQ(m.vy, 20.0f);
  m.moveSpeed = 65;
  // Touching an edge stops the motion across it.
  m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_WANDER);
  m.posX = -50.0f;
  m.vx = -5.0f;
  m.vy = 0.0f;
  appSeedRandom(1);
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.ix, -3);
  EXPECT_EQ(m.vx, 0.0f);
  m.posY = 900.0f;
  m.vy = 5.0f;
  saverMotionStep(&m, 0.0f);
  EXPECT_EQ(m.iy, 356);
  EXPECT_EQ(m.vy, 0.0f);
}

TEST(SaverChange, NewModeDiffersFromTheCurrentOne) {
  SaverMotion m = makeMotion(640, 480, 640, 20, 65, SAVER_MOVE_REFLECT);
  m.firstBounce = false;
  appSeedRandom(3);  // choices: Reflect five times, then Wander
  EXPECT_EQ(saverMotionChangeMode(&m), SAVER_MOVE_WANDER);
  EXPECT_EQ(m.vx, 0.0f);
  EXPECT_TRUE(m.firstBounce);
  for (uint32_t seed = 10; seed < 60; ++seed) {
    appSeedRandom(seed);
    int32_t before = m.mode;
    EXPECT_NE(saverMotionChangeMode(&m), before);
  }
  m.mode = SAVER_MOVE_REFLECT;
  m.vx = m.vy = 3.0f;
  appSeedRandom(5);  // Reflect first, then Wander
  EXPECT_EQ(saverMotionChangeMode(&m), SAVER_MOVE_WANDER);
  EXPECT_EQ(m.vx, 0.0f);
  EXPECT_EQ(m.vy, 0.0f);
  appSeedRandom(5);  // from Wander the first choice, Reflect, stands
  EXPECT_EQ(saverMotionChangeMode(&m), SAVER_MOVE_REFLECT);
  EXPECT_EQ(m.vx, 10.0f);
  EXPECT_EQ(m.vy, 10.0f);
}

TEST(SaverSpin, RollAxesSpeedsAndSigns) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "C:\\Q\\");
  appSeedRandom(1);
  saverSpinRoll(&s);
  EXPECT_EQ(s.spinX, 0);
  EXPECT_EQ(s.spinY, 1);
  EXPECT_EQ(s.spinZ, 0);
  EXPECT_EQ(s.spinXSpeed, 21);
  EXPECT_EQ(s.spinYSpeed, -16);
  EXPECT_EQ(s.spinZSpeed, -14);
  appSeedRandom(12345);
  saverSpinRoll(&s);
  EXPECT_EQ(s.spinX, 0);
  EXPECT_EQ(s.spinY, 1);
  EXPECT_EQ(s.spinZ, 1);
  EXPECT_EQ(s.spinXSpeed, -18);
  EXPECT_EQ(s.spinYSpeed, 8);
  EXPECT_EQ(s.spinZSpeed, -19);
}

TEST(SaverSpin, AllAxesRolledOffSpinsAboutY) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "");
  appSeedRandom(3);  // three zero choices first
  saverSpinRoll(&s);
  EXPECT_EQ(s.spinX, 0);
  EXPECT_EQ(s.spinY, 1);
  EXPECT_EQ(s.spinZ, 0);
  EXPECT_EQ(s.spinXSpeed, -10);
  for (uint32_t seed = 1; seed < 300; ++seed) {
    appSeedRandom(seed);
    saverSpinRoll(&s);
    EXPECT_TRUE(s.spinX || s.spinY || s.spinZ);
    for (int32_t speed : {s.spinXSpeed, s.spinYSpeed, s.spinZSpeed}) {
      int32_t size = speed < 0 ? -speed : speed;
      EXPECT_GE(size, 5);
      EXPECT_LE(size, 24);
    }
  }
}

TEST(SaverSpin, RatesAndAngles) {
  SaverSettings s;
  saverSetDefaultSettings(&s, "");
  s.spinX = 1;
  s.spinY = 0;
  s.spinZ = 1;
  s.spinXSpeed = -25;
  s.spinYSpeed = 40;
  s.spinZSpeed = 7;
  SaverSpin spin = {};
  saverSpinSetRates(&spin, &s);
  EXPECT_EQ(spin.rate[0], -2.5f);
  EXPECT_EQ(spin.rate[1], 0.0f);  // axis off: no spin whatever the speed
  EXPECT_EQ(spin.rate[2], 0.699999988079071f);
  saverSpinStep(&spin, 0.01600000075995922f);
  saverSpinStep(&spin, 0.01600000075995922f);
  EXPECT_EQ(spin.angle[0], -0.08000000566244125f);
  EXPECT_EQ(spin.angle[1], 0.0f);
}

TEST(SaverBlit, SpriteClippedWithMovedSourceOffsets) {
  SaverMotion m = makeMotion(640, 480, 640, 10, 65, SAVER_MOVE_NONE);  // S = 63
  SaverBlit b;
  m.ix = 100;
  m.iy = 50;
  ASSERT_TRUE(saverSpriteBlit(&m, &b));
  EXPECT_EQ(b.x, 100);
  EXPECT_EQ(b.y, 50);
  EXPECT_EQ(b.width, 63);
  EXPECT_EQ(b.height, 63);
  EXPECT_EQ(b.srcX, 0);
  EXPECT_EQ(b.srcY, 0);
  // Cut on the left and at the top: the source moves right; rows cut at the top are the
  // sprite's last rows, so the bottom-up source row stays 0.
  m.ix = -2;
  m.iy = -3;
  ASSERT_TRUE(saverSpriteBlit(&m, &b));
  EXPECT_EQ(b.x, 0);
  EXPECT_EQ(b.y, 0);
  EXPECT_EQ(b.width, 61);
  EXPECT_EQ(b.height, 60);
  EXPECT_EQ(b.srcX, 2);
  EXPECT_EQ(b.srcY, 0);
  // Cut on the right and at the bottom: rows cut at the bottom move the source up.
  m.ix = 640 - 60;
  m.iy = 480 - 59;
  ASSERT_TRUE(saverSpriteBlit(&m, &b));
  EXPECT_EQ(b.width, 60);
  EXPECT_EQ(b.height, 59);
  EXPECT_EQ(b.srcX, 0);
  EXPECT_EQ(b.srcY, 4);
  m.ix = 700;
  EXPECT_FALSE(saverSpriteBlit(&m, &b));
}

TEST(SaverBands, StripsLeftBehindByTheMove) {
  SaverMotion m = makeMotion(640, 480, 640, 10, 65, SAVER_MOVE_NONE);  // S = 63
  struct Case {
    int32_t oldX, oldY, ix, iy;
    std::vector<std::vector<int32_t>> bands;  // left, top, right, bottom
  };
  const Case cases[] = {
      {100, 100, 105, 103, {{100, 100, 104, 162}, {105, 100, 162, 102}}},  // right and down
      {100, 100, 96, 98, {{159, 100, 162, 162}, {100, 161, 158, 162}}},     // left and up: ix + S, iy + S
      {100, 100, 100, 100, {}},                                              // still
      {100, 100, 30, 20, {{100, 100, 162, 162}}},    // more than a side up and left: the old square
      {120, 300, 120, 200, {{120, 300, 182, 362}}},  // straight up by more than a side: one row band
      {-3, 440, -6, 441, {{57, 440, 59, 479}, {0, 440, 56, 440}}},  // at the corner: clipped
      {-9, 440, -3, 440, {}},  // the column band lies wholly outside the window: left out
  };
  for (const Case& c : cases) {
    m.oldX = c.oldX, m.oldY = c.oldY, m.ix = c.ix, m.iy = c.iy;
    SaverRect bands[2];
    std::vector<std::vector<int32_t>> got;
    for (int k = 0, n = saverRestoreBands(&m, bands); k < n; ++k)
      got.push_back({bands[k].left, bands[k].top, bands[k].right, bands[k].bottom});
    EXPECT_EQ(got, c.bands) << c.oldX << "," << c.oldY << " to " << c.ix << "," << c.iy;
  }
}

// Whatever the move, every pixel of the old square is either under the new sprite or in a
// band, and no band reaches outside the old square.
TEST(SaverBands, CoverExactlyWhatTheSpriteLeft) {
  SaverMotion m = makeMotion(400, 300, 400, 10, 65, SAVER_MOVE_NONE);  // S = 39
  const int32_t S = m.side;
  for (int32_t dy = -S - 3; dy <= S + 3; dy += 2) {
    for (int32_t dx = -S - 3; dx <= S + 3; dx += 3) {
      m.oldX = 150;
      m.oldY = 120;
      m.ix = m.oldX + dx;
      m.iy = m.oldY + dy;
      SaverRect bands[2];
      int32_t n = saverRestoreBands(&m, bands);
      std::vector<int> hits(S * S, 0);
      for (int32_t i = 0; i < n; ++i) {
        ASSERT_GE(bands[i].left, m.oldX);
        ASSERT_LE(bands[i].right, m.oldX + S - 1);
        ASSERT_GE(bands[i].top, m.oldY);
        ASSERT_LE(bands[i].bottom, m.oldY + S - 1);
        for (int32_t y = bands[i].top; y <= bands[i].bottom; ++y)
          for (int32_t x = bands[i].left; x <= bands[i].right; ++x) hits[(y - m.oldY) * S + (x - m.oldX)]++;
      }
      for (int32_t y = 0; y < S; ++y) {
        for (int32_t x = 0; x < S; ++x) {
          int32_t sx = m.oldX + x, sy = m.oldY + y;
          bool underNew = sx >= m.ix && sx < m.ix + S && sy >= m.iy && sy < m.iy + S;
          int h = hits[y * S + x];
          ASSERT_TRUE(underNew || h > 0) << "dx " << dx << " dy " << dy << " pixel " << x << "," << y;
          ASSERT_LE(h, 1) << "bands overlap at dx " << dx << " dy " << dy;
        }
      }
    }
  }
}
