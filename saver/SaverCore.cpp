// SaverCore.cpp: the saver's creation, frame, change and teardown without a window system.
#include "SaverCore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "SaverScene.h"

static void copyPath(char* dst, const char* src) {
  size_t length = std::strlen(src);
  if (length > APP_PATH_LENGTH - 1) length = APP_PATH_LENGTH - 1;
  std::memmove(dst, src, length);
  dst[length] = 0;
}

// Picks another file of the pattern from the folder of `current` into `current`, trying up to
// `tries` times for one that differs from `avoid`. False when no pick was made.
static bool pickFile(SaverCore* core, char* current, const char* pattern, const char* avoid, int tries) {
  appSplitPath(current, core->folder, nullptr);
  if (!core->folder[0]) return false;
  bool picked = false;
  for (int i = 0; i < tries; ++i) {
    if (!appPickRandomFile(core->folder, pattern, core->pick)) break;
    picked = true;
    if (!avoid || strcasecmp(core->pick, avoid) != 0) break;
  }
  if (picked) copyPath(current, core->pick);
  return picked;
}

static void drawBitmapBackground(SaverCore* core, const SaverSettings* settings) {
  VxmBitmap* picture = settings->bitmapFile[0] ? vxmBitmapLoadBMP(settings->bitmapFile) : nullptr;
  saverDrawBackground(core->background, picture, core->motion.fullSize, core->motion.viewScale,
                      settings->bitmapTile != 0);
  vxmBitmapFree(picture);
}

static void buildBackground(SaverCore* core, SaverSettings* settings, SaverDesktopReader readDesktop,
                            void* context) {
  switch (settings->backgroundState) {
    case SAVER_BACK_DESKTOP:
      if (!readDesktop || !readDesktop(core->background, context)) vxmBitmapFill(core->background, nullptr);
      break;
    case SAVER_BACK_BITMAP:
      if (settings->bitmapFile[0] && settings->bitmapRandom) pickFile(core, settings->bitmapFile, "*.bmp", nullptr, 1);
      drawBitmapBackground(core, settings);
      break;
    default:
      vxmBitmapFill(core->background, nullptr);
      break;
  }
}

static void fitModel(SaverCore* core) {
  for (int32_t i = 0; i < core->screenCount; ++i)
    vxmRenderFitModel(core->model, core->screens[i].motion.side, &core->screens[i].fit);
  vxmRenderSetViewMatrix(&core->screens[0].fit.view);
}

// Runs `work` on each screen with that screen's random stream in place (the primary's is the
// program's own).
template <typename Work>
static void forEachScreen(SaverCore* core, Work work) {
  for (int32_t i = 0; i < core->screenCount; ++i) {
    SaverScreen* screen = &core->screens[i];
    uint32_t own = 0;
    if (i > 0) {
      own = appRandomState();
      appSeedRandom(screen->random);
    }
    work(screen, i);
    if (i > 0) {
      screen->random = appRandomState();
      appSeedRandom(own);
    }
  }
}

// One sprite for each monitor the full-size window covers, sized and moving as a saver on that
// monitor alone would; on one monitor (or in the preview) the window's own.
static void setUpScreens(SaverCore* core, const SaverSettings* settings, const SaverCoreWindow* window) {
  const bool several = core->motion.fullSize && window->monitors && window->monitorCount > 1;
  SaverArea areas[SAVER_MAX_MONITORS];
  core->screenCount = saverMonitorAreas(several ? window->monitors : nullptr, window->monitorCount,
                                        window->primary, window->left, window->top, core->motion.width,
                                        core->motion.height, areas);
  for (int32_t i = 0; i < core->screenCount; ++i) {
    SaverScreen* screen = &core->screens[i];
    screen->area = areas[i];
    if (core->screenCount == 1)
      screen->motion = core->motion;
    else
      saverMotionInit(&screen->motion, areas[i].width, areas[i].height, areas[i].width, settings->modelSize,
                      settings->moveSpeed);
    screen->random = appRandomState() ^ (0x9E3779B9u * (uint32_t)i);
  }
}

bool saverCoreInit(SaverCore* core, SaverSettings* settings, const SaverCoreWindow* window,
                   SaverDesktopReader readDesktop, void* context) {
  if (!core || !settings || !window || window->width <= 0 || window->height <= 0) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  std::memset(core, 0, sizeof *core);
  saverMotionInit(&core->motion, window->width, window->height, window->desktopWidth, settings->modelSize,
                  settings->moveSpeed);
  core->background = vxmBitmapCreate(core->motion.width, core->motion.height, 24);
  if (!core->background) {
    APP_TRACE("Failed to create background");
    return false;
  }
  buildBackground(core, settings, readDesktop, context);
  setUpScreens(core, settings, window);

  if (settings->modelRandom) pickFile(core, settings->modelFile, "*.vxm", nullptr, 1);
  core->model = vxmModelLoad(settings->modelFile);
  if (!core->model) {
    APP_TRACE("Failed to load model: %s", settings->modelFile);
    return false;
  }
  core->rendererStarted = vxmRenderInit();
  bool sprites = true;
  for (int32_t i = 0; i < core->screenCount; ++i) {
    const int32_t S = core->screens[i].motion.side;
    core->screens[i].sprite = vxmBitmapCreate(S, S, 24);
    sprites = sprites && core->screens[i].sprite;
  }
  if (!core->rendererStarted || !sprites) {
    APP_TRACE("Failed to create sprite");
    return false;
  }
  vxmRenderSetTarget(core->screens[0].sprite);
  vxmRenderSetState(saverRenderStateFor(core->model));

  if (settings->lightRandom) pickFile(core, settings->lightFile, "*.vlt", nullptr, 1);
  vxmLightLoadVLT(settings->lightFile);

  fitModel(core);

  const int32_t moveState = settings->moveState;
  SaverMotion* primary = &core->screens[0].motion;
  settings->moveState = saverMotionChooseMode(primary, moveState);
  saverMotionSetVelocity(primary);
  saverMotionStartPosition(primary);

  if (settings->spinRandom) saverSpinRoll(settings);
  saverSpinSetRates(&core->spin, settings);
  forEachScreen(core, [&](SaverScreen* screen, int32_t i) {
    if (i == 0) return;
    saverMotionChooseMode(&screen->motion, moveState);
    saverMotionSetVelocity(&screen->motion);
    saverMotionStartPosition(&screen->motion);
  });

  const bool anyRandom = primary->randomMode || settings->bitmapRandom || settings->modelRandom ||
                         settings->lightRandom || settings->spinRandom;
  core->changes = settings->change && anyRandom;
  return true;
}

static void clearOutput(SaverCoreOutput* output) { std::memset(output, 0, sizeof *output); }

// A rectangle of a screen's own pixels in the window's.
static SaverRect inWindow(const SaverScreen* screen, const SaverRect& rect) {
  return {rect.left + screen->area.left, rect.top + screen->area.top, rect.right + screen->area.left,
          rect.bottom + screen->area.top};
}

void saverCoreFrame(SaverCore* core, uint32_t steps, SaverCoreOutput* output) {
  clearOutput(output);
  if (!core->model || core->screenCount < 1 || !core->screens[0].sprite) return;
  const SaverSpin spun = core->spin;
  forEachScreen(core, [&](SaverScreen* screen, int32_t i) {
    SaverSpin spin = spun;  // the model turns once, with the primary's sprite
    saverMotionAdvance(&screen->motion, i == 0 ? &core->spin : &spin, steps);
  });
  for (int32_t i = 0; i < core->screenCount; ++i) {
    SaverScreen* screen = &core->screens[i];
    if (core->screenCount > 1) {
      vxmRenderSetTarget(screen->sprite);
      vxmRenderSetViewMatrix(&screen->fit.view);
    }
    saverRenderSpriteIn(core->model, &screen->fit, &core->spin, &screen->motion, screen->area.left,
                        screen->area.top, core->background, screen->sprite);
    if (i == 0) saverTestDump(screen->sprite);
    SaverCoreSprite* shown = &output->sprites[output->spriteCount];
    if (saverSpriteBlit(&screen->motion, &shown->blit)) {
      shown->sprite = screen->sprite;
      shown->blit.x += screen->area.left;
      shown->blit.y += screen->area.top;
      ++output->spriteCount;
    }
    SaverRect bands[2];
    const int32_t count = saverRestoreBands(&screen->motion, bands);
    for (int32_t b = 0; b < count; ++b) output->bands[output->bandCount++] = inWindow(screen, bands[b]);
  }
}

static void changeBackground(SaverCore* core, SaverSettings* settings, SaverCoreOutput* output) {
  if (settings->backgroundState != SAVER_BACK_BITMAP || !settings->bitmapRandom) return;
  // With nothing new to show, the picture on the screen stays as it is.
  if (!settings->bitmapFile[0] || !pickFile(core, settings->bitmapFile, "*.bmp", settings->bitmapFile, 10)) return;
  drawBitmapBackground(core, settings);
  output->backgroundRedrawn = true;
}

static void changeModel(SaverCore* core, SaverSettings* settings) {
  if (!settings->modelRandom) return;
  char candidate[APP_PATH_LENGTH];
  copyPath(candidate, settings->modelFile);
  if (!pickFile(core, candidate, "*.vxm", core->model->fileName, 10)) return;
  VxmModel* next = vxmModelLoad(candidate);
  if (!next) {
    APP_TRACE("Failed to load model: %s", candidate);
    return;
  }
  copyPath(settings->modelFile, candidate);
  vxmModelFree(core->model);
  core->model = next;
  vxmRenderSetState(saverRenderStateFor(core->model));
  fitModel(core);
  core->spin.angle[0] = core->spin.angle[1] = core->spin.angle[2] = 0.0f;
}

static void changeLighting(SaverCore* core, SaverSettings* settings) {
  if (!settings->lightRandom) return;
  if (pickFile(core, settings->lightFile, "*.vlt", nullptr, 1)) vxmLightLoadVLT(settings->lightFile);
}

static void changeMovement(SaverCore* core, SaverSettings* settings, SaverCoreOutput* output) {
  if (!core->screens[0].motion.randomMode) return;
  forEachScreen(core, [&](SaverScreen* screen, int32_t i) {
    SaverMotion* motion = &screen->motion;
    const int32_t mode = saverMotionChangeMode(motion);
    if (i == 0) settings->moveState = mode;
    if (motion->mode != SAVER_MOVE_BOUNCE) return;
    // Bounce starts from the top again: clear the sprite where it stands, then jump.
    SaverRect square = {(int32_t)motion->posX, (int32_t)motion->posY, 0, 0};
    square.right = square.left + motion->side - 1;
    square.bottom = square.top + motion->side - 1;
    if (saverClipRect(motion, &square)) output->bands[output->bandCount++] = inWindow(screen, square);
    saverMotionStartPosition(motion);
  });
}

void saverCoreChange(SaverCore* core, SaverSettings* settings, SaverCoreOutput* output) {
  clearOutput(output);
  if (!core->background || !core->model) return;
  changeBackground(core, settings, output);
  changeModel(core, settings);
  changeLighting(core, settings);
  changeMovement(core, settings, output);
  if (settings->spinRandom) {
    saverSpinRoll(settings);
    saverSpinSetRates(&core->spin, settings);
  }
}

void saverCoreTeardown(SaverCore* core) {
  if (core->rendererStarted) vxmRenderShutdown();
  core->rendererStarted = false;
  vxmModelFree(core->model);
  core->model = nullptr;
  vxmBitmapFree(core->background);
  core->background = nullptr;
  for (int32_t i = 0; i < core->screenCount; ++i) {
    vxmBitmapFree(core->screens[i].sprite);
    core->screens[i].sprite = nullptr;
  }
}

// --- Test hooks ----------------------------------------------------------------------------------

static bool environmentNumber(const char* name, uint32_t* value) {
  const char* text = std::getenv(name);
  if (!text || !text[0]) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long number = std::strtoull(text, &end, 10);
  if (*end || errno || text[0] == '-' || number > 0xFFFFFFFFull) return false;
  *value = (uint32_t)number;
  return true;
}

uint32_t saverTestSeed(uint32_t seed) {
  uint32_t fixed;
  return environmentNumber("QUIRLA_SAVER_SEED", &fixed) ? fixed : seed;
}

uint32_t saverTestTick(uint32_t tick) {
  static uint32_t frames = 0;
  uint32_t length;
  if (!environmentNumber("QUIRLA_SAVER_FRAME_MS", &length)) return tick;
  // Starts at 1, the first frame's clock (which only starts the motion).
  return 1 + length * frames++;
}

void saverTestDump(const VxmBitmap* sprite) {
  static uint32_t frames = 0;
  const char* path = std::getenv("QUIRLA_SAVER_DUMP");
  if (!path || !path[0]) return;
  uint32_t wanted = 1;
  environmentNumber("QUIRLA_SAVER_DUMP_FRAME", &wanted);
  if (++frames == wanted) vxmBitmapSaveBMP(sprite, path);
}
