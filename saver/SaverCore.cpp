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
  vxmRenderFitModel(core->model, core->motion.side, &core->fit);
  vxmRenderSetViewMatrix(&core->fit.view);
}

bool saverCoreInit(SaverCore* core, SaverSettings* settings, int32_t width, int32_t height,
                   int32_t desktopWidth, SaverDesktopReader readDesktop, void* context) {
  if (!core || !settings || width <= 0 || height <= 0) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  std::memset(core, 0, sizeof *core);
  saverMotionInit(&core->motion, width, height, desktopWidth, settings->modelSize, settings->moveSpeed);
  core->background = vxmBitmapCreate(core->motion.width, core->motion.height, 24);
  if (!core->background) {
    APP_TRACE("Failed to create background");
    return false;
  }
  buildBackground(core, settings, readDesktop, context);

  if (settings->modelRandom) pickFile(core, settings->modelFile, "*.vxm", nullptr, 1);
  core->model = vxmModelLoad(settings->modelFile);
  if (!core->model) {
    APP_TRACE("Failed to load model: %s", settings->modelFile);
    return false;
  }
  core->rendererStarted = vxmRenderInit();
  core->sprite = vxmBitmapCreate(core->motion.side, core->motion.side, 24);
  if (!core->rendererStarted || !core->sprite) {
    APP_TRACE("Failed to create sprite");
    return false;
  }
  vxmRenderSetTarget(core->sprite);
  vxmRenderSetState(saverRenderStateFor(core->model));

  if (settings->lightRandom) pickFile(core, settings->lightFile, "*.vlt", nullptr, 1);
  vxmLightLoadVLT(settings->lightFile);

  fitModel(core);

  settings->moveState = saverMotionChooseMode(&core->motion, settings->moveState);
  saverMotionSetVelocity(&core->motion);
  saverMotionStartPosition(&core->motion);

  if (settings->spinRandom) saverSpinRoll(settings);
  saverSpinSetRates(&core->spin, settings);

  const bool anyRandom = core->motion.randomMode || settings->bitmapRandom || settings->modelRandom ||
                         settings->lightRandom || settings->spinRandom;
  core->changes = settings->change && anyRandom;
  return true;
}

static void clearOutput(SaverCoreOutput* output) { std::memset(output, 0, sizeof *output); }

void saverCoreFrame(SaverCore* core, uint32_t steps, SaverCoreOutput* output) {
  clearOutput(output);
  if (!core->model || !core->sprite) return;
  saverMotionAdvance(&core->motion, &core->spin, steps);
  saverRenderSprite(core->model, &core->fit, &core->spin, &core->motion, core->background, core->sprite);
  output->spriteShown = saverSpriteBlit(&core->motion, &output->blit);
  output->bandCount = saverRestoreBands(&core->motion, output->bands);
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
  if (!core->motion.randomMode) return;
  settings->moveState = saverMotionChangeMode(&core->motion);
  if (core->motion.mode != SAVER_MOVE_BOUNCE) return;
  // Bounce starts from the top again: clear the sprite where it stands, then jump.
  SaverRect square = {(int32_t)core->motion.posX, (int32_t)core->motion.posY, 0, 0};
  square.right = square.left + core->motion.side - 1;
  square.bottom = square.top + core->motion.side - 1;
  if (saverClipRect(&core->motion, &square)) output->bands[output->bandCount++] = square;
  saverMotionStartPosition(&core->motion);
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
  vxmBitmapFree(core->sprite);
  core->sprite = nullptr;
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
  if (++frames == wanted) saverWriteSpriteBMP(sprite, path);
}

static void putLittle(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

bool saverWriteSpriteBMP(const VxmBitmap* sprite, const char* path) {
  if (!sprite || !path || sprite->depth != 24) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  uint8_t header[54] = {'B', 'M'};
  putLittle(header + 2, 54u + (uint32_t)sprite->bitsSize, 4);
  putLittle(header + 10, 54, 4);
  putLittle(header + 14, 40, 4);
  putLittle(header + 18, (uint32_t)sprite->width, 4);
  putLittle(header + 22, (uint32_t)sprite->height, 4);
  putLittle(header + 26, 1, 2);
  putLittle(header + 28, 24, 2);
  putLittle(header + 34, (uint32_t)sprite->bitsSize, 4);
  AppSave save;
  if (!appSaveBegin(&save, path, false)) return false;
  appSaveBytes(&save, header, sizeof header);
  appSaveBytes(&save, sprite->bits, (size_t)sprite->bitsSize);
  return appSaveFinish(&save);  // traced there when it fails
}
