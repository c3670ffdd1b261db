// SaverMotion.h: the saver's arithmetic: sprite size, movement modes, edges, spin, the random
// choices, and the rectangles each frame copies to the screen. Plain numbers, no window system.
//
// Stored values are single precision; every step widens them to double, computes, and stores
// the result back in single precision (integers truncate toward zero). So the side of the sprite
// for Model Size 10 on a 640-pixel screen is trunc(6400 * 0.0099999998) = 63.
#pragma once

#include <cstdint>

#include "SaverSettings.h"
#include "app.h"

// An inclusive pixel rectangle in window coordinates (rows grow downwards).
struct SaverRect {
  int32_t left, top, right, bottom;
};

// A copy to the window: destination x, y, width, height and the source offset.
struct SaverBlit {
  int32_t x, y, width, height;
  int32_t srcX, srcY;
};

struct SaverMotion {
  int32_t width, height;    // W, H: the saver window's client size
  bool fullSize;            // the window is as wide as the desktop
  float viewScale;          // 1, or W / DW in the preview
  int32_t side;             // S: the sprite square
  int32_t half;             // R = S >> 1
  int32_t discRadius;       // r = trunc(R * 0.952381): the model's circle in pixels
  float posX, posY;
  int32_t ix, iy;           // the sprite's top-left corner this frame
  int32_t oldX, oldY;       // and in the previous frame
  float vx, vy;
  float gravity;            // R * 0.5
  float wanderGain;         // R * 0.00004
  bool firstBounce;
  float bounceVelocity;
  int32_t mode;             // SAVER_MOVE_NONE .. SAVER_MOVE_WANDER
  bool randomMode;          // the settings asked for SAVER_MOVE_RANDOM
  int32_t moveSpeed;        // 1 (fast) .. 80 (slow)
};

struct SaverSpin {
  float rate[3];            // radians per second about X, Y, Z
  float angle[3];
};

// A random choice among n: trunc(appRandom() * n / 32768).
int32_t saverChoice(int32_t n);

int32_t saverSpriteSide(int32_t modelSize, int32_t width);
int32_t saverDiscRadius(int32_t half);
float saverViewScale(int32_t width, int32_t desktopWidth);

// Sets the window, sprite and speed values and the constants that depend on them; the mode is
// set apart (saverMotionSetMode). Called at creation.
void saverMotionInit(SaverMotion* motion, int32_t width, int32_t height, int32_t desktopWidth,
                     int32_t modelSize, int32_t moveSpeed);
// The mode from the Move State setting: Random (4) rolls Reflect, Bounce or Wander and keeps the
// random flag. Returns the mode chosen (which replaces Move State in memory).
int32_t saverMotionChooseMode(SaverMotion* motion, int32_t moveState);
// Start velocities for the current mode.
void saverMotionSetVelocity(SaverMotion* motion);
// The start position for the current mode (Bounce starts high up, the rest centred).
void saverMotionStartPosition(SaverMotion* motion);
// The change's new mode: 1 + a choice among 3, re-chosen while it equals the current mode, at
// most 10 choices in all. Sets the mode, its velocities and first bounce; returns the mode.
int32_t saverMotionChangeMode(SaverMotion* motion);

// Seconds since the last frame from two GetTickCount values; the first call (lastTick 0) gives
// 0. Updates lastTick.
float saverFrameSeconds(uint32_t now, uint32_t* lastTick);
// One frame of motion: acceleration by mode, the move, and the edge rules. Keeps oldX, oldY.
void saverMotionStep(SaverMotion* motion, float dt);

// --- Every monitor ------------------------------------------------------------------------------
// The full-screen saver's window covers the virtual screen; each monitor gets a sprite of its own
// moving within the monitor's rectangle, and parts that no monitor shows are never drawn into.
enum { SAVER_MAX_MONITORS = 8 };
struct SaverArea {
  int32_t left, top, width, height;  // in the window's client pixels
};
// The monitors' rectangles (screen coordinates, `primary` the index of the primary one) as areas
// of a window whose client area starts at windowLeft, windowTop and is width x height: each cut
// to the window, the primary first, the rest in the order given, empty ones left out, at most
// SAVER_MAX_MONITORS. Without monitors (or none meeting the window) the one area is the window.
int32_t saverMonitorAreas(const AppRect* monitors, int32_t count, int32_t primary, int32_t windowLeft,
                          int32_t windowTop, int32_t width, int32_t height, SaverArea* areas);

// --- Motion by the clock ------------------------------------------------------------------------
// The saver moves in fixed steps of one millisecond of a high-resolution clock, as many as have
// passed since the last frame, so that where the model is depends on time and seed, not on how
// fast frames are drawn. A pause longer than SAVER_MAX_CATCH_UP (a stall, a change loading files)
// is not caught up.
enum { SAVER_STEP_MS = 1, SAVER_MAX_CATCH_UP = 100 };
// The whole milliseconds of a counter at `frequency` ticks per second (no overflow for any count).
uint64_t saverClockMilliseconds(uint64_t counter, uint64_t frequency);
// The steps due at `nowMs` since *lastMs (0 on the first call, held to SAVER_MAX_CATCH_UP); moves
// *lastMs on by them, or to nowMs when the catch-up was cut.
uint32_t saverStepsDue(uint64_t nowMs, uint64_t* lastMs, bool* started);
// Runs `steps` one-millisecond steps of motion and spin. Wander's kick in each step is the kick of
// a 60-frame-a-second run spread over its frame's steps (the same wander whatever the step), so
// the saver wanders as it did at 60 frames. oldX, oldY keep where the sprite was at the last frame.
void saverMotionAdvance(SaverMotion* motion, SaverSpin* spin, uint32_t steps);
// The time between paced frames for a display refresh rate in hertz (0 or 1: unknown, 60).
uint32_t saverFramePeriodMicros(uint32_t refreshHz);

// Rolls the spin as the Random option asks: axes, speeds 5..24 and their signs, into the settings.
void saverSpinRoll(SaverSettings* settings);
// Rates from the spin flags and speeds (speed * 0.1 radians per second when the axis is on).
void saverSpinSetRates(SaverSpin* spin, const SaverSettings* settings);
void saverSpinStep(SaverSpin* spin, float dt);

// Clips a rectangle to the window; false when nothing remains.
bool saverClipRect(const SaverMotion* motion, SaverRect* rect);
// The sprite's copy to the window with the source offsets moved by the clipping (the sprite is
// bottom-up, so rows cut at the bottom move the source). False when nothing is visible.
bool saverSpriteBlit(const SaverMotion* motion, SaverBlit* blit);
// The bands the sprite uncovered since the previous frame, clipped, empty ones left out.
// Returns how many of the two rectangles were written.
int32_t saverRestoreBands(const SaverMotion* motion, SaverRect bands[2]);
