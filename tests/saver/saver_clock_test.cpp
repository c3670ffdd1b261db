// saver_clock_test.cpp: motion by the clock. Steps of one millisecond, as many as have passed,
// so that where the model is depends on the time and the seed and not on how the time was cut
// into frames; a long pause is not caught up; paced frames follow the refresh rate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "SaverMotion.h"
#include "app.h"

namespace {

struct Moving {
  SaverMotion motion;
  SaverSpin spin;
};

Moving start(int32_t mode) {
  Moving r;
  saverMotionInit(&r.motion, 640, 480, 640, 20, 65);
  saverMotionChooseMode(&r.motion, mode);
  saverMotionSetVelocity(&r.motion);
  saverMotionStartPosition(&r.motion);
  r.spin = {{0.5f, -1.25f, 2.0f}, {0.0f, 0.0f, 0.0f}};
  return r;
}

bool same(const Moving& a, const Moving& b) {
  return std::memcmp(&a.motion, &b.motion, sizeof a.motion) == 0 && std::memcmp(&a.spin, &b.spin, sizeof a.spin) == 0;
}

TEST(SaverClock, WhereTheModelIsDependsOnTimeAndSeedNotOnTheFrames) {
  for (int32_t mode : {SAVER_MOVE_REFLECT, SAVER_MOVE_BOUNCE, SAVER_MOVE_WANDER}) {
    SCOPED_TRACE(mode);
    // Five seconds in frames of 1, 16 or 17 and 7 milliseconds, and in one go of 100-step pieces.
    const std::vector<std::vector<uint32_t>> cuttings = {{1}, {16, 17}, {7}, {100}};
    std::vector<Moving> ends;
    for (const auto& frames : cuttings) {
      appSeedRandom(99);
      Moving r = start(mode);
      uint32_t done = 0;
      for (size_t i = 0; done < 5000; ++i) {
        uint32_t n = frames[i % frames.size()];
        if (done + n > 5000) n = 5000 - done;
        const int32_t x = r.motion.ix, y = r.motion.iy;
        saverMotionAdvance(&r.motion, &r.spin, n);
        // Where the sprite stood at the last frame stays known for the bands it uncovers.
        ASSERT_EQ(r.motion.oldX, x);
        ASSERT_EQ(r.motion.oldY, y);
        done += n;
      }
      r.motion.oldX = r.motion.oldY = 0;
      ends.push_back(r);
    }
    for (size_t i = 1; i < ends.size(); ++i) EXPECT_TRUE(same(ends[0], ends[i])) << i;
    EXPECT_NE(ends[0].motion.posX, start(mode).motion.posX);  // it did move
    EXPECT_NEAR(ends[0].spin.angle[2], 10.0f, 1e-3f);  // 2 radians a second for 5 s, summed in floats
  }
}

// One step of Wander kicks by (r - 16383) times the gain times sqrt(0.001 / 60) seconds: the
// spread of a 60-frame run, whatever the step.
TEST(SaverClock, WandersKickIsThatOfASixtyFrameRun) {
  appSeedRandom(7);  // the next numbers are 61 and 17422
  Moving r = start(SAVER_MOVE_WANDER);
  const float v0x = r.motion.vx, v0y = r.motion.vy;
  appSeedRandom(7);
  saverMotionAdvance(&r.motion, &r.spin, 1);
  const float k = (float)((double)0.0040824829f * (double)r.motion.wanderGain);
  EXPECT_EQ(r.motion.vx, (float)((double)v0x + (61.0 - 16383.0) * (double)k));
  EXPECT_EQ(r.motion.vy, (float)((double)v0y + (17422.0 - 16383.0) * (double)k));
  EXPECT_NEAR(0.0040824829, std::sqrt(0.001 / 60.0), 1e-9);
}

TEST(SaverClock, StepsDueFromTheClockWithALongPauseCut) {
  uint64_t last = 0;
  bool started = false;
  EXPECT_EQ(saverStepsDue(5000, &last, &started), 0u);  // the first frame only starts the clock
  EXPECT_TRUE(started);
  const struct {
    uint64_t now;
    uint32_t steps;
    uint64_t last;
  } rows[] = {
      {5000, 0, 5000}, {5016, 16, 5016}, {5117, 100, 5117},  // exactly the catch-up: all of it
      {5218, 100, 5218},                                      // one past: cut, the rest dropped
      {9000, 100, 9000}, {8000, 0, 8000},                     // a clock that went back restarts
      {8001, 1, 8001},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(saverStepsDue(row.now, &last, &started), row.steps) << row.now;
    EXPECT_EQ(last, row.last) << row.now;
  }
  // Milliseconds of a counter, without overflow for counters near 2^64.
  EXPECT_EQ(saverClockMilliseconds(3579545ull * 7 + 3579544ull, 3579545ull), 7999u);
  EXPECT_EQ(saverClockMilliseconds(~0ull, 10000000ull), 1844674407370955ull);
  EXPECT_EQ(saverClockMilliseconds(12345, 0), 0u);
  // Paced frames: 60 Hz where the rate is unknown.
  EXPECT_EQ(saverFramePeriodMicros(0), 16667u);
  EXPECT_EQ(saverFramePeriodMicros(1), 16667u);
  EXPECT_EQ(saverFramePeriodMicros(144), 6944u);
  EXPECT_EQ(saverFramePeriodMicros(59), 16949u);
}

}  // namespace

namespace {

// The placement rule is proven here, on monitor rectangles: Wine under Xvfb shows one monitor
// (Xvfb's +xinerama puts every screen at the origin), so no Wine run can show two side by side.
// Two monitors of different sizes side by side, the second left of the primary: the window covers
// the virtual screen from -1280; each monitor is an area of its own, the primary first, the
// corner below the smaller monitor in none.
TEST(SaverMonitors, EachMonitorIsAnAreaOfTheWindowThePrimaryFirst) {
  const AppRect monitors[] = {{-1280, 0, 0, 1024}, {0, 0, 1920, 1080}};
  SaverArea areas[SAVER_MAX_MONITORS];
  ASSERT_EQ(saverMonitorAreas(monitors, 2, 1, -1280, 0, 3200, 1080, areas), 2);
  const SaverArea want[2] = {{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(areas[i].left, want[i].left) << i;
    EXPECT_EQ(areas[i].top, want[i].top) << i;
    EXPECT_EQ(areas[i].width, want[i].width) << i;
    EXPECT_EQ(areas[i].height, want[i].height) << i;
  }
  // A sprite moving in the smaller monitor never reaches the rows no monitor shows.
  SaverMotion m;
  saverMotionInit(&m, areas[1].width, areas[1].height, areas[1].width, 50, 1);
  saverMotionChooseMode(&m, SAVER_MOVE_REFLECT);
  saverMotionSetVelocity(&m);
  saverMotionStartPosition(&m);
  SaverSpin spin = {};
  for (int i = 0; i < 200; ++i) {
    saverMotionAdvance(&m, &spin, 50);
    SaverBlit blit;
    if (saverSpriteBlit(&m, &blit)) {
      ASSERT_LE(areas[1].top + blit.y + blit.height, 1024) << i;
    }
  }
  // A monitor partly outside the window is cut; one wholly outside, or empty, is left out; with
  // none left the window is the one area.
  const AppRect odd[] = {{100, -50, 700, 400}, {5000, 0, 6000, 100}, {10, 10, 10, 300}};
  ASSERT_EQ(saverMonitorAreas(odd, 3, 0, 0, 0, 800, 600, areas), 1);
  EXPECT_EQ(areas[0].top, 0);
  EXPECT_EQ(areas[0].height, 400);
  ASSERT_EQ(saverMonitorAreas(odd + 1, 1, 0, 0, 0, 800, 600, areas), 1);
  EXPECT_EQ(areas[0].width, 800);
  EXPECT_EQ(saverMonitorAreas(nullptr, 0, 0, 0, 0, 640, 480, areas), 1);
}

}  // namespace
