// SaverCore.h: one running saver without a window system: its creation from the settings, one
// frame, the timed change and the teardown over the portable modules (SaverMotion, SaverScene).
// A platform file owns the window: it fills the desktop background when asked, and copies what
// each step reports (the sprite, the uncovered bands, a redrawn background) to the screen.
#pragma once

#include <cstdint>

#include "SaverMotion.h"
#include "SaverSettings.h"
#include "app.h"
#include "voxim.h"

// One monitor's sprite: where it moves, its picture and its fit. Monitors other than the primary
// draw their random numbers from streams of their own, so that the primary's sprite moves exactly
// as it would on a single monitor.
struct SaverScreen {
  SaverArea area;         // in the window's client pixels
  SaverMotion motion;     // counts from the area's corner
  VxmBitmap* sprite;      // S x S, 24 bits, bottom-up
  VxmRenderFit fit;
  uint32_t random;        // the stream of a monitor other than the primary
};

struct SaverCore {
  SaverMotion motion;     // the whole window: its size, full size or preview, the view scale
  VxmBitmap* background;  // W x H, 24 bits, bottom-up: the source of every repaint
  SaverScreen screens[SAVER_MAX_MONITORS];  // the primary monitor's first
  int32_t screenCount;
  bool rendererStarted;
  VxmModel* model;
  SaverSpin spin;         // the model turns once, with the primary's sprite
  bool changes;           // the change timer runs: Change is on and something is random
  char folder[APP_PATH_LENGTH];
  char pick[APP_PATH_LENGTH];  // shared by the bitmap, model and light choices
};

// The window the saver draws into: its client size, the desktop's width (the preview is smaller),
// where the client area starts on the screen, and the monitors (screen coordinates, right and
// bottom exclusive; null or one for a single sprite). A full-size window gets a sprite on each
// monitor it covers; the preview always has one.
struct SaverCoreWindow {
  int32_t width, height, desktopWidth;
  int32_t left, top;
  const AppRect* monitors;
  int32_t monitorCount, primary;
};

// One sprite to copy to the window: its picture and the copy, destination in window pixels.
struct SaverCoreSprite {
  const VxmBitmap* sprite;
  SaverBlit blit;
};

// What a frame or a change leaves for the platform to copy to the window.
struct SaverCoreOutput {
  int32_t spriteCount;    // copy these sprites (their rows are bottom-up)
  SaverCoreSprite sprites[SAVER_MAX_MONITORS];
  int32_t bandCount;      // copy these rectangles of the background
  SaverRect bands[2 * SAVER_MAX_MONITORS];
  bool backgroundRedrawn; // copy the whole background (a change drew a new picture)
};

// Fills the background with the desktop (Background State 1); false leaves it black.
typedef bool (*SaverDesktopReader)(VxmBitmap* background, void* context);

// Creates the saver for a window, in an order that fixes the order of the random choices:
// background, screens, model, renderer and sprites, lighting, fit, the primary's movement, spin,
// the other screens' movement, change timer. The settings must be loaded; Move State and the
// spin may be replaced by their random choice. False (traced) when something cannot be made;
// teardown frees what was made.
bool saverCoreInit(SaverCore* core, SaverSettings* settings, const SaverCoreWindow* window,
                   SaverDesktopReader readDesktop, void* context);
// One frame `steps` milliseconds after the last (saverStepsDue): motion and spin in steps of one
// millisecond, and each screen's sprite rendered over the background. Passes the primary's sprite
// to the test hook saverTestDump.
void saverCoreFrame(SaverCore* core, uint32_t steps, SaverCoreOutput* output);
// The timed change: a new picture, model, lighting, movement and spin where they are random.
// A Bounce that starts again reports the square it left as a band.
void saverCoreChange(SaverCore* core, SaverSettings* settings, SaverCoreOutput* output);
void saverCoreTeardown(SaverCore* core);

// Test hooks both savers read from the environment so that their frames can be compared:
// QUIRLA_SAVER_SEED fixes the random seed, QUIRLA_SAVER_FRAME_MS makes every frame that many
// milliseconds long, QUIRLA_SAVER_DUMP=path writes the sprite of frame QUIRLA_SAVER_DUMP_FRAME
// (default 1) as a BMP file.
// The seed: the environment's when set, else `seed`.
uint32_t saverTestSeed(uint32_t seed);
// The clock value for this frame: the fixed frame length's next tick when set, else `tick`.
uint32_t saverTestTick(uint32_t tick);
// Counts the frames drawn; writes the sprite when the counted frame is the one asked for.
void saverTestDump(const VxmBitmap* sprite);
