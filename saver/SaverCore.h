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

struct SaverCore {
  SaverMotion motion;
  VxmBitmap* background;  // W x H, 24 bits, bottom-up: the source of every repaint
  VxmBitmap* sprite;      // S x S, 24 bits, bottom-up
  bool rendererStarted;
  VxmModel* model;
  VxmRenderFit fit;
  SaverSpin spin;
  bool changes;           // the change timer runs: Change is on and something is random
  char folder[APP_PATH_LENGTH];
  char pick[APP_PATH_LENGTH];  // shared by the bitmap, model and light choices
};

// What a frame or a change leaves for the platform to copy to the window.
struct SaverCoreOutput {
  bool spriteShown;       // copy the sprite by `blit` (its rows are bottom-up)
  SaverBlit blit;
  int32_t bandCount;      // copy these rectangles of the background
  SaverRect bands[2];
  bool backgroundRedrawn; // copy the whole background (a change drew a new picture)
};

// Fills the background with the desktop (Background State 1); false leaves it black.
typedef bool (*SaverDesktopReader)(VxmBitmap* background, void* context);

// Creates the saver for a W x H window on a desktop DW wide, in the Windows saver's order (which
// fixes the order of the random choices): background, model, renderer and sprite, lighting, fit,
// movement, spin, change timer. The settings must be loaded; Move State and the spin may be
// replaced by their random choice. False (traced) when something cannot be made; teardown
// frees what was made.
bool saverCoreInit(SaverCore* core, SaverSettings* settings, int32_t width, int32_t height,
                   int32_t desktopWidth, SaverDesktopReader readDesktop, void* context);
// One frame `steps` milliseconds after the last (saverStepsDue): motion and spin in steps of one
// millisecond, as the Windows saver moves, and the sprite rendered over the background.
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
// The sprite as a 24-bit BMP file; false (traced) when it cannot be written.
bool saverWriteSpriteBMP(const VxmBitmap* sprite, const char* path);
