// SaverWindowWin32.cpp: the saver window: background, model, frames and the change timer.
#include <windows.h>

#include <cstring>

#include "SaverCore.h"
#include "SaverMotion.h"
#include "SaverScene.h"
#include "SaverSettings.h"
#include "SaverWin32.h"
#include "app.h"
#include "voxim.h"

// Everything one saver window keeps (one window per process).
struct SaverWindowState {
  HWND window;
  HDC dc;                     // the window's own context, kept for its whole life
  int32_t desktopWidth, desktopHeight;
  SaverMotion motion;

  HDC memoryDC;               // holds the finished background; the source of every repaint
  HBITMAP memoryBitmap;
  HGDIOBJ formerBitmap;
  VxmBitmap* background;      // the same picture, device-independent and bottom-up
  BITMAPINFOHEADER backgroundHeader;

  VxmBitmap* sprite;
  BITMAPINFOHEADER spriteHeader;
  bool rendererStarted;

  VxmModel* model;
  VxmRenderFit fit;
  SaverSpin spin;

  uint32_t lastTick;
  UINT_PTR changeTimer;
  bool quitSeen;
  char folder[APP_PATH_LENGTH];
  char pick[APP_PATH_LENGTH];  // shared by the bitmap, model and light choices
};

static SaverWindowState saver;

static void fillHeader(BITMAPINFOHEADER* header, int32_t width, int32_t height) {
  std::memset(header, 0, sizeof *header);
  header->biSize = sizeof *header;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;
}

// GDI wants a bitmap out of its memory context while its bits are set or read.
static void backgroundToMemory(void) {
  SelectObject(saver.memoryDC, saver.formerBitmap);
  SetDIBits(saver.dc, saver.memoryBitmap, 0, (UINT)saver.motion.height, saver.background->bits,
            reinterpret_cast<BITMAPINFO*>(&saver.backgroundHeader), DIB_RGB_COLORS);
  SelectObject(saver.memoryDC, saver.memoryBitmap);
}

static void memoryToBackground(void) {
  SelectObject(saver.memoryDC, saver.formerBitmap);
  GetDIBits(saver.dc, saver.memoryBitmap, 0, (UINT)saver.motion.height, saver.background->bits,
            reinterpret_cast<BITMAPINFO*>(&saver.backgroundHeader), DIB_RGB_COLORS);
  SelectObject(saver.memoryDC, saver.memoryBitmap);
}

// Picks another file of the pattern from the folder of `current` into `current`, trying up to
// ten times for one that differs from `avoid`. False when no pick was made.
static bool pickFile(char* current, const char* pattern, const char* avoid, int tries) {
  appSplitPath(current, saver.folder, nullptr);
  if (!saver.folder[0]) return false;
  bool picked = false;
  for (int i = 0; i < tries; ++i) {
    if (!appPickRandomFile(saver.folder, pattern, saver.pick)) break;
    picked = true;
    if (!avoid || lstrcmpiA(saver.pick, avoid) != 0) break;
  }
  if (picked) lstrcpynA(current, saver.pick, APP_PATH_LENGTH);
  return picked;
}

static void drawBitmapBackground(void) {
  const SaverSettings* settings = saverSettings();
  VxmBitmap* picture = settings->bitmapFile[0] ? vxmBitmapLoadBMP(settings->bitmapFile) : nullptr;
  saverDrawBackground(saver.background, picture, saver.motion.fullSize, saver.motion.viewScale,
                      settings->bitmapTile != 0);
  vxmBitmapFree(picture);
  backgroundToMemory();
}

static void buildBackground(void) {
  SaverSettings* settings = saverSettings();
  const int32_t W = saver.motion.width;
  const int32_t H = saver.motion.height;
  switch (settings->backgroundState) {
    case SAVER_BACK_DESKTOP:
      if (saver.motion.fullSize) {
        // The window is not shown yet, so the screen still holds the desktop beneath it. It is
        // read through the screen's context: a window's own context does not read the screen on
        // every system (under Wine it reads the window's still empty surface).
        POINT origin = {0, 0};
        ClientToScreen(saver.window, &origin);
        HDC screen = GetDC(nullptr);
        BitBlt(saver.memoryDC, 0, 0, W, H, screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
      } else {
        HWND desktop = GetDesktopWindow();
        HDC desktopDC = GetDC(desktop);
        SetStretchBltMode(saver.memoryDC, COLORONCOLOR);
        SetBrushOrgEx(saver.memoryDC, 0, 0, nullptr);
        StretchBlt(saver.memoryDC, 0, 0, W, H, desktopDC, 0, 0, saver.desktopWidth, saver.desktopHeight,
                   SRCCOPY);
        ReleaseDC(desktop, desktopDC);
      }
      memoryToBackground();
      break;
    case SAVER_BACK_BITMAP:
      if (settings->bitmapFile[0] && settings->bitmapRandom)
        pickFile(settings->bitmapFile, "*.bmp", nullptr, 1);
      drawBitmapBackground();
      break;
    default:
      vxmBitmapFill(saver.background, nullptr);
      backgroundToMemory();
      break;
  }
}

static void fitModel(void) {
  vxmRenderFitModel(saver.model, saver.motion.side, &saver.fit);
  vxmRenderSetViewMatrix(&saver.fit.view);
}

static LRESULT onCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  std::memset(&saver, 0, sizeof saver);
  saver.window = window;
  SaverSettings* settings = saverSettings();

  appInitInstallPath("Quirla", false);
  const char* installFolder = appInstallPath();
  if (!installFolder || !installFolder[0]) {
    APP_TRACE("No installation folder");
    return 0;
  }
  appSeedRandom(saverTestSeed(GetTickCount()));
  appEnableMessages(false);

  saverSetDefaultSettings(settings, installFolder);
  saverLoadSettings(settings);

  RECT client;
  GetClientRect(window, &client);
  saver.dc = GetDC(window);
  if (!saver.dc) {
    APP_TRACE("Failed to get device context");
    return 0;
  }
  RECT desktop;
  GetClientRect(GetDesktopWindow(), &desktop);
  saver.desktopWidth = desktop.right;
  saver.desktopHeight = desktop.bottom;
  saverMotionInit(&saver.motion, client.right, client.bottom, saver.desktopWidth, settings->modelSize,
                  settings->moveSpeed);
  const int32_t W = saver.motion.width;
  const int32_t H = saver.motion.height;
  fillHeader(&saver.backgroundHeader, W, H);

  saver.memoryDC = CreateCompatibleDC(saver.dc);
  saver.memoryBitmap = CreateCompatibleBitmap(saver.dc, W, H);
  if (saver.memoryDC && saver.memoryBitmap) saver.formerBitmap = SelectObject(saver.memoryDC, saver.memoryBitmap);
  saver.background = vxmBitmapCreate(W, H, 24);
  if (!saver.memoryDC || !saver.memoryBitmap || !saver.background) {
    APP_TRACE("Failed to create background");
    return 0;
  }
  buildBackground();

  const int32_t S = saver.motion.side;
  fillHeader(&saver.spriteHeader, S, S);

  if (settings->modelRandom) pickFile(settings->modelFile, "*.vxm", nullptr, 1);
  saver.model = vxmModelLoad(settings->modelFile);
  if (!saver.model) {
    APP_TRACE("Failed to load model: %s", settings->modelFile);
    return 0;
  }

  saver.rendererStarted = vxmRenderInit();
  saver.sprite = vxmBitmapCreate(S, S, 24);
  if (!saver.rendererStarted || !saver.sprite) {
    APP_TRACE("Failed to create sprite");
    return 0;
  }
  vxmRenderSetTarget(saver.sprite);
  vxmRenderSetState(saverRenderStateFor(saver.model));

  if (settings->lightRandom) pickFile(settings->lightFile, "*.vlt", nullptr, 1);
  vxmLightLoadVLT(settings->lightFile);

  fitModel();

  settings->moveState = saverMotionChooseMode(&saver.motion, settings->moveState);
  saverMotionSetVelocity(&saver.motion);
  saverMotionStartPosition(&saver.motion);

  if (settings->spinRandom) saverSpinRoll(settings);
  saverSpinSetRates(&saver.spin, settings);

  const bool anyRandom = saver.motion.randomMode || settings->bitmapRandom || settings->modelRandom ||
                         settings->lightRandom || settings->spinRandom;
  if (settings->change && anyRandom)
    saver.changeTimer = SetTimer(window, SAVER_CHANGE_TIMER, settings->changeTime * 1000u, nullptr);

  PostMessageA(window, SAVER_FRAME_MESSAGE, 0, 0);
  return saverDefaultProc(window, WM_CREATE, wParam, lParam);
}

static void blitToWindow(const SaverRect* rect) {
  BitBlt(saver.dc, rect->left, rect->top, rect->right - rect->left + 1, rect->bottom - rect->top + 1,
         saver.memoryDC, rect->left, rect->top, SRCCOPY);
}

// Dispatches what arrived while the frame was drawn, then queues the next frame.
static void pumpMessages(HWND window) {
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(0);
      saver.quitSeen = true;
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (!saver.quitSeen && IsWindow(window)) PostMessageA(window, SAVER_FRAME_MESSAGE, 0, 0);
}

static void onFrame(HWND window) {
  if (!saver.model || !saver.sprite) return;
  float dt = saverFrameSeconds(saverTestTick(GetTickCount()), &saver.lastTick);
  saverMotionStep(&saver.motion, dt);
  saverSpinStep(&saver.spin, dt);
  saverRenderSprite(saver.model, &saver.fit, &saver.spin, &saver.motion, saver.background, saver.sprite);
  saverTestDump(saver.sprite);

  SaverBlit blit;
  if (saverSpriteBlit(&saver.motion, &blit))
    SetDIBitsToDevice(saver.dc, blit.x, blit.y, (DWORD)blit.width, (DWORD)blit.height, blit.srcX, blit.srcY, 0,
                      (UINT)saver.motion.side, saver.sprite->bits,
                      reinterpret_cast<BITMAPINFO*>(&saver.spriteHeader), DIB_RGB_COLORS);
  SaverRect bands[2];
  int32_t count = saverRestoreBands(&saver.motion, bands);
  for (int32_t i = 0; i < count; ++i) blitToWindow(&bands[i]);

  pumpMessages(window);
}

static void changeBackground(void) {
  SaverSettings* settings = saverSettings();
  if (settings->backgroundState != SAVER_BACK_BITMAP || !settings->bitmapRandom) return;
  // With nothing new to show, the picture on the screen stays as it is.
  if (!settings->bitmapFile[0] || !pickFile(settings->bitmapFile, "*.bmp", settings->bitmapFile, 10)) return;
  drawBitmapBackground();
  BitBlt(saver.dc, 0, 0, saver.motion.width, saver.motion.height, saver.memoryDC, 0, 0, SRCCOPY);
}

static void changeModel(void) {
  SaverSettings* settings = saverSettings();
  if (!settings->modelRandom || !saver.model) return;
  char candidate[APP_PATH_LENGTH];
  lstrcpynA(candidate, settings->modelFile, APP_PATH_LENGTH);
  if (!pickFile(candidate, "*.vxm", saver.model->fileName, 10)) return;
  VxmModel* next = vxmModelLoad(candidate);
  if (!next) {
    APP_TRACE("Failed to load model: %s", candidate);
    return;
  }
  lstrcpynA(settings->modelFile, candidate, APP_PATH_LENGTH);
  vxmModelFree(saver.model);
  saver.model = next;
  vxmRenderSetState(saverRenderStateFor(saver.model));
  fitModel();
  saver.spin.angle[0] = saver.spin.angle[1] = saver.spin.angle[2] = 0.0f;
}

static void changeLighting(void) {
  SaverSettings* settings = saverSettings();
  if (!settings->lightRandom) return;
  if (pickFile(settings->lightFile, "*.vlt", nullptr, 1)) vxmLightLoadVLT(settings->lightFile);
}

static void changeMovement(void) {
  SaverSettings* settings = saverSettings();
  if (!saver.motion.randomMode) return;
  settings->moveState = saverMotionChangeMode(&saver.motion);
  if (saver.motion.mode != SAVER_MOVE_BOUNCE) return;
  // Bounce starts from the top again: clear the sprite where it stands, then jump.
  SaverRect square = {(int32_t)saver.motion.posX, (int32_t)saver.motion.posY, 0, 0};
  square.right = square.left + saver.motion.side - 1;
  square.bottom = square.top + saver.motion.side - 1;
  if (saverClipRect(&saver.motion, &square)) blitToWindow(&square);
  saverMotionStartPosition(&saver.motion);
}

static void onChange(void) {
  if (!saver.background || !saver.model) return;
  changeBackground();
  changeModel();
  changeLighting();
  changeMovement();
  if (saverSettings()->spinRandom) {
    saverSpinRoll(saverSettings());
    saverSpinSetRates(&saver.spin, saverSettings());
  }
  // The time spent loading is not motion.
  saver.lastTick = GetTickCount();
}

static void onDestroy(HWND window) {
  if (saver.changeTimer) KillTimer(window, saver.changeTimer);
  saver.changeTimer = 0;
  if (saver.memoryDC) {
    if (saver.formerBitmap) SelectObject(saver.memoryDC, saver.formerBitmap);
    if (saver.memoryBitmap) DeleteObject(saver.memoryBitmap);
    DeleteDC(saver.memoryDC);
  } else if (saver.memoryBitmap) {
    DeleteObject(saver.memoryBitmap);
  }
  saver.memoryDC = nullptr;
  saver.memoryBitmap = nullptr;
  if (saver.rendererStarted) vxmRenderShutdown();
  saver.rendererStarted = false;
  vxmModelFree(saver.model);
  saver.model = nullptr;
  vxmBitmapFree(saver.background);
  saver.background = nullptr;
  vxmBitmapFree(saver.sprite);
  saver.sprite = nullptr;
  if (saver.dc) ReleaseDC(window, saver.dc);
  saver.dc = nullptr;
}

LRESULT saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return onCreate(window, wParam, lParam);
    case SAVER_FRAME_MESSAGE:
      onFrame(window);
      break;
    case WM_TIMER:
      if (saver.changeTimer && wParam == saver.changeTimer) onChange();
      break;
    case WM_ERASEBKGND:
      if (!saver.memoryDC) break;
      BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, saver.motion.width, saver.motion.height, saver.memoryDC, 0, 0,
             SRCCOPY);
      return 0;
    case WM_DESTROY:
      onDestroy(window);
      break;
  }
  return saverDefaultProc(window, message, wParam, lParam);
}
