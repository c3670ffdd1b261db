// SaverWindowWin32.cpp: the saver window: background, model, frames and the change timer; motion
// by the high-resolution clock, one frame per display refresh, and no frames while nobody can see
// them (display off, session locked or disconnected).
#include <windows.h>

#include <cstring>

#include "SaverCore.h"
#include "SaverMotion.h"
#include "SaverScene.h"
#include "SaverSettings.h"
#include "SaverWin32.h"
#include "app.h"
#include "voxim.h"

// One monitor's sprite: where it moves, its picture and its fit. Monitors other than the primary
// draw their random numbers from streams of their own, so that the primary's sprite moves exactly
// as it would on a single monitor.
struct SaverScreen {
  SaverArea area;
  SaverMotion motion;
  VxmBitmap* sprite;
  BITMAPINFOHEADER spriteHeader;
  VxmRenderFit fit;
  uint32_t random;
};

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

  SaverScreen screens[SAVER_MAX_MONITORS];  // the primary monitor's first
  int32_t screenCount;
  bool rendererStarted;

  VxmModel* model;
  SaverSpin spin;

  // The clock: motion steps of one millisecond, frames one display refresh apart.
  uint64_t clockFrequency;
  uint64_t lastMs;
  bool clockStarted;
  bool paced;
  uint64_t periodMicros, nextFrameMicros;
  HANDLE frameTimer;          // a waitable timer for the wait between frames, when the system has one
  bool frameQueued;           // a frame message is on its way
  uint32_t pauses;            // why no frames are drawn now (PAUSE_ bits)
  HANDLE powerNotify;
  bool sessionNotify;
  UINT_PTR changeTimer;
  bool quitSeen;
  char folder[APP_PATH_LENGTH];
  char pick[APP_PATH_LENGTH];  // shared by the bitmap, model and light choices
};

static SaverWindowState saver;

enum : uint32_t { PAUSE_DISPLAY_OFF = 1, PAUSE_LOCKED = 2, PAUSE_DISCONNECTED = 4 };

static uint64_t clockMicros(void) {
  LARGE_INTEGER counter;
  if (!saver.clockFrequency || !QueryPerformanceCounter(&counter)) return (uint64_t)GetTickCount() * 1000u;
  const uint64_t ticks = (uint64_t)counter.QuadPart, f = saver.clockFrequency;
  return ticks / f * 1000000u + ticks % f * 1000000u / f;
}

static uint64_t clockMilliseconds(void) {
  LARGE_INTEGER counter;
  if (!saver.clockFrequency || !QueryPerformanceCounter(&counter)) return GetTickCount();
  return saverClockMilliseconds((uint64_t)counter.QuadPart, saver.clockFrequency);
}

static void queueFrame(HWND window) {
  if (saver.frameQueued || saver.pauses || saver.quitSeen || !IsWindow(window)) return;
  saver.frameQueued = PostMessageA(window, SAVER_FRAME_MESSAGE, 0, 0) != 0;
}

// The refresh rate of the monitor the window is on (the primary display's where that cannot be
// asked), 60 Hz where it is not known.
static uint32_t refreshRate(HWND window) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  typedef HMONITOR(WINAPI * MonitorFromWindowFn)(HWND, DWORD);
  typedef BOOL(WINAPI * GetMonitorInfoFn)(HMONITOR, MONITORINFO*);
  HMODULE user = GetModuleHandleA("user32.dll");
  MonitorFromWindowFn fromWindow = (MonitorFromWindowFn)(void*)GetProcAddress(user, "MonitorFromWindow");
  GetMonitorInfoFn info = (GetMonitorInfoFn)(void*)GetProcAddress(user, "GetMonitorInfoA");
  MONITORINFOEXA monitor = {};
  monitor.cbSize = sizeof monitor;
  const char* device = nullptr;
  if (fromWindow && info && info(fromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) device = monitor.szDevice;
  if (!EnumDisplaySettingsA(device, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return mode.dmDisplayFrequency;
}

// Windows 98 and NT 4 on have waitable timers, Windows 10 (1803 on) high-resolution ones.
static HANDLE createFrameTimer(void) {
  typedef HANDLE(WINAPI * CreateExFn)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
  typedef HANDLE(WINAPI * CreateFn)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  CreateExFn createEx = (CreateExFn)(void*)GetProcAddress(kernel, "CreateWaitableTimerExW");
  HANDLE timer = createEx ? createEx(nullptr, nullptr, 0x2 /* high resolution */, TIMER_ALL_ACCESS) : nullptr;
  if (timer) return timer;
  CreateFn create = (CreateFn)(void*)GetProcAddress(kernel, "CreateWaitableTimerA");
  return create ? create(nullptr, FALSE, nullptr) : nullptr;
}

static bool armFrameTimer(uint64_t micros) {
  typedef BOOL(WINAPI * SetFn)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE, LPVOID, BOOL);
  static SetFn set = (SetFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetWaitableTimer");
  LARGE_INTEGER due;
  due.QuadPart = -(LONGLONG)(micros * 10u);  // relative, in 100 ns
  return saver.frameTimer && set && set(saver.frameTimer, &due, 0, nullptr, nullptr, FALSE);
}

// Asks for the display's on and off and for the session's lock and connection, where the system
// tells them (Vista on, XP on).
static void registerNotifications(HWND window) {
  static const GUID consoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
  typedef HANDLE(WINAPI * PowerFn)(HANDLE, LPCGUID, DWORD);
  PowerFn power = (PowerFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
  if (power) saver.powerNotify = power(window, &consoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
  typedef BOOL(WINAPI * SessionFn)(HWND, DWORD);
  HMODULE wts = LoadLibraryA("wtsapi32.dll");
  SessionFn session = wts ? (SessionFn)(void*)GetProcAddress(wts, "WTSRegisterSessionNotification") : nullptr;
  if (session) saver.sessionNotify = session(window, 0 /* this session */) != 0;
}

static void unregisterNotifications(HWND window) {
  if (saver.powerNotify) {
    typedef BOOL(WINAPI * Fn)(HANDLE);
    Fn unregister = (Fn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
    if (unregister) unregister(saver.powerNotify);
  }
  saver.powerNotify = nullptr;
  HMODULE wts = GetModuleHandleA("wtsapi32.dll");
  typedef BOOL(WINAPI * Fn)(HWND);
  Fn unregister = wts ? (Fn)(void*)GetProcAddress(wts, "WTSUnRegisterSessionNotification") : nullptr;
  if (saver.sessionNotify && unregister) unregister(window);
  saver.sessionNotify = false;
}

// Frames stop while any reason holds and go on when the last one ends, the model where the time
// that passed meanwhile would not have moved it.
static void setPause(HWND window, uint32_t reason, bool on) {
  const uint32_t before = saver.pauses;
  saver.pauses = on ? saver.pauses | reason : saver.pauses & ~reason;
  if (before && !saver.pauses) {
    saver.clockStarted = false;
    saver.nextFrameMicros = 0;
    queueFrame(window);
  }
}

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
  for (int32_t i = 0; i < saver.screenCount; ++i)
    vxmRenderFitModel(saver.model, saver.screens[i].motion.side, &saver.screens[i].fit);
  vxmRenderSetViewMatrix(&saver.screens[0].fit.view);
}

// Runs `work` on each screen with that screen's random stream in place (the primary's is the
// program's own).
template <typename Work>
static void forEachScreen(Work work) {
  for (int32_t i = 0; i < saver.screenCount; ++i) {
    SaverScreen* screen = &saver.screens[i];
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

// The monitors the full-screen window covers (Windows 98 and 2000 on can tell them); one area,
// the window, in the preview or where the system cannot.
struct MonitorList {
  AppRect rects[SAVER_MAX_MONITORS];
  int32_t count, primary;
};

static BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MonitorList* list = reinterpret_cast<MonitorList*>(data);
  typedef BOOL(WINAPI * InfoFn)(HMONITOR, MONITORINFO*);
  static InfoFn info = (InfoFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "GetMonitorInfoA");
  MONITORINFO mi = {};
  mi.cbSize = sizeof mi;
  if (!info || !info(monitor, &mi) || list->count >= SAVER_MAX_MONITORS) return list->count < SAVER_MAX_MONITORS;
  if (mi.dwFlags & MONITORINFOF_PRIMARY) list->primary = list->count;
  list->rects[list->count++] = {mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right, mi.rcMonitor.bottom};
  return TRUE;
}

static void findScreens(HWND window) {
  MonitorList list = {};
  typedef BOOL(WINAPI * EnumFn)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
  EnumFn enumerate = (EnumFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "EnumDisplayMonitors");
  if (saver.motion.fullSize && enumerate) enumerate(nullptr, nullptr, collectMonitor, (LPARAM)&list);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  SaverArea areas[SAVER_MAX_MONITORS];
  saver.screenCount = saverMonitorAreas(list.count > 1 ? list.rects : nullptr, list.count, list.primary, origin.x,
                                        origin.y, saver.motion.width, saver.motion.height, areas);
  for (int32_t i = 0; i < saver.screenCount; ++i) saver.screens[i].area = areas[i];
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
  LARGE_INTEGER frequency;
  saver.clockFrequency = QueryPerformanceFrequency(&frequency) ? (uint64_t)frequency.QuadPart : 0;
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

  // One sprite for each monitor, sized and moving as a saver on that monitor alone would; on one
  // monitor (or in the preview) the window's own.
  findScreens(window);
  for (int32_t i = 0; i < saver.screenCount; ++i) {
    SaverScreen* screen = &saver.screens[i];
    if (saver.screenCount == 1)
      screen->motion = saver.motion;
    else
      saverMotionInit(&screen->motion, screen->area.width, screen->area.height, screen->area.width,
                      settings->modelSize, settings->moveSpeed);
    screen->random = appRandomState() ^ (0x9E3779B9u * (uint32_t)i);
    fillHeader(&screen->spriteHeader, screen->motion.side, screen->motion.side);
  }

  if (settings->modelRandom) pickFile(settings->modelFile, "*.vxm", nullptr, 1);
  saver.model = vxmModelLoad(settings->modelFile);
  if (!saver.model) {
    APP_TRACE("Failed to load model: %s", settings->modelFile);
    return 0;
  }

  saver.rendererStarted = vxmRenderInit();
  bool sprites = true;
  for (int32_t i = 0; i < saver.screenCount; ++i) {
    const int32_t S = saver.screens[i].motion.side;
    saver.screens[i].sprite = vxmBitmapCreate(S, S, 24);
    sprites = sprites && saver.screens[i].sprite;
  }
  if (!saver.rendererStarted || !sprites) {
    APP_TRACE("Failed to create sprite");
    return 0;
  }
  vxmRenderSetTarget(saver.screens[0].sprite);
  vxmRenderSetState(saverRenderStateFor(saver.model));

  if (settings->lightRandom) pickFile(settings->lightFile, "*.vlt", nullptr, 1);
  vxmLightLoadVLT(settings->lightFile);

  fitModel();

  const int32_t moveState = settings->moveState;
  SaverScreen* primary = &saver.screens[0];
  settings->moveState = saverMotionChooseMode(&primary->motion, moveState);
  saverMotionSetVelocity(&primary->motion);
  saverMotionStartPosition(&primary->motion);

  if (settings->spinRandom) saverSpinRoll(settings);
  saverSpinSetRates(&saver.spin, settings);
  forEachScreen([&](SaverScreen* screen, int32_t i) {
    if (i == 0) return;
    saverMotionChooseMode(&screen->motion, moveState);
    saverMotionSetVelocity(&screen->motion);
    saverMotionStartPosition(&screen->motion);
  });

  const bool anyRandom = primary->motion.randomMode || settings->bitmapRandom || settings->modelRandom ||
                         settings->lightRandom || settings->spinRandom;
  if (settings->change && anyRandom)
    saver.changeTimer = SetTimer(window, SAVER_CHANGE_TIMER, settings->changeTime * 1000u, nullptr);

  saver.paced = settings->framePacing != 0;
  saver.periodMicros = saverFramePeriodMicros(refreshRate(window));
  if (saver.paced) saver.frameTimer = createFrameTimer();
  registerNotifications(window);
  queueFrame(window);
  return saverDefaultProc(window, WM_CREATE, wParam, lParam);
}

static void blitToWindow(const SaverRect* rect) {
  BitBlt(saver.dc, rect->left, rect->top, rect->right - rect->left + 1, rect->bottom - rect->top + 1,
         saver.memoryDC, rect->left, rect->top, SRCCOPY);
}

// Dispatches what has arrived; false once the quit message was seen.
static bool dispatchPending(HWND window) {
  MSG message;
  while (!saver.quitSeen && PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(0);
      saver.quitSeen = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return !saver.quitSeen && IsWindow(window);
}

// Paced: waits for the next refresh, handling every message the moment it comes, so that input
// still ends the saver within a frame.
static void waitForRefresh(HWND window) {
  uint64_t now = clockMicros();
  if (!saver.nextFrameMicros || saver.nextFrameMicros + saver.periodMicros < now) saver.nextFrameMicros = now;
  saver.nextFrameMicros += saver.periodMicros;
  while (!saver.pauses && (now = clockMicros()) < saver.nextFrameMicros) {
    const uint64_t left = saver.nextFrameMicros - now;
    if (armFrameTimer(left))
      MsgWaitForMultipleObjects(1, &saver.frameTimer, FALSE, (DWORD)(left / 1000u + 2u), QS_ALLINPUT);
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)((left + 999u) / 1000u), QS_ALLINPUT);
    if (!dispatchPending(window)) return;
  }
}

// Dispatches what arrived while the frame was drawn, waits for the next refresh when paced, then
// queues the next frame.
static void pumpMessages(HWND window) {
  if (!dispatchPending(window)) return;
  if (saver.paced) waitForRefresh(window);
  queueFrame(window);
}

static void onFrame(HWND window) {
  saver.frameQueued = false;
  if (!saver.model || !saver.screens[0].sprite || saver.pauses) return;
  // The test hook may fix each frame's length, so that both savers draw the same frames.
  const uint32_t steps = saverStepsDue(saverTestTick((uint32_t)clockMilliseconds()), &saver.lastMs, &saver.clockStarted);
  const SaverSpin spun = saver.spin;
  forEachScreen([&](SaverScreen* screen, int32_t i) {
    SaverSpin spin = spun;  // the model turns once, with the primary's sprite
    saverMotionAdvance(&screen->motion, i == 0 ? &saver.spin : &spin, steps);
  });
  for (int32_t i = 0; i < saver.screenCount; ++i) {
    SaverScreen* screen = &saver.screens[i];
    const int32_t ox = screen->area.left, oy = screen->area.top;
    if (saver.screenCount > 1) {
      vxmRenderSetTarget(screen->sprite);
      vxmRenderSetViewMatrix(&screen->fit.view);
    }
    saverRenderSpriteIn(saver.model, &screen->fit, &saver.spin, &screen->motion, ox, oy, saver.background,
                        screen->sprite);
    if (i == 0) saverTestDump(screen->sprite);
    SaverBlit blit;
    if (saverSpriteBlit(&screen->motion, &blit))
      SetDIBitsToDevice(saver.dc, ox + blit.x, oy + blit.y, (DWORD)blit.width, (DWORD)blit.height, blit.srcX,
                        blit.srcY, 0, (UINT)screen->motion.side, screen->sprite->bits,
                        reinterpret_cast<BITMAPINFO*>(&screen->spriteHeader), DIB_RGB_COLORS);
    SaverRect bands[2];
    int32_t count = saverRestoreBands(&screen->motion, bands);
    for (int32_t b = 0; b < count; ++b) {
      SaverRect band = {bands[b].left + ox, bands[b].top + oy, bands[b].right + ox, bands[b].bottom + oy};
      blitToWindow(&band);
    }
  }

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
  if (!saver.screens[0].motion.randomMode) return;
  forEachScreen([&](SaverScreen* screen, int32_t i) {
    SaverMotion* motion = &screen->motion;
    const int32_t mode = saverMotionChangeMode(motion);
    if (i == 0) settings->moveState = mode;
    if (motion->mode != SAVER_MOVE_BOUNCE) return;
    // Bounce starts from the top again: clear the sprite where it stands, then jump.
    SaverRect square = {(int32_t)motion->posX, (int32_t)motion->posY, 0, 0};
    square.right = square.left + motion->side - 1;
    square.bottom = square.top + motion->side - 1;
    if (saverClipRect(motion, &square)) {
      SaverRect shown = {square.left + screen->area.left, square.top + screen->area.top,
                         square.right + screen->area.left, square.bottom + screen->area.top};
      blitToWindow(&shown);
    }
    saverMotionStartPosition(motion);
  });
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
  saver.clockStarted = false;
}

static void onDestroy(HWND window) {
  unregisterNotifications(window);
  if (saver.frameTimer) CloseHandle(saver.frameTimer);
  saver.frameTimer = nullptr;
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
  for (int32_t i = 0; i < saver.screenCount; ++i) {
    vxmBitmapFree(saver.screens[i].sprite);
    saver.screens[i].sprite = nullptr;
  }
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
    case WM_WTSSESSION_CHANGE:
      if (wParam == WTS_SESSION_LOCK || wParam == WTS_SESSION_UNLOCK)
        setPause(window, PAUSE_LOCKED, wParam == WTS_SESSION_LOCK);
      else if (wParam >= WTS_CONSOLE_CONNECT && wParam <= WTS_REMOTE_DISCONNECT)
        setPause(window, PAUSE_DISCONNECTED, wParam == WTS_CONSOLE_DISCONNECT || wParam == WTS_REMOTE_DISCONNECT);
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_POWERSETTINGCHANGE && lParam) {
        const POWERBROADCAST_SETTING* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
        static const GUID display = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
        DWORD state = 1;
        if (std::memcmp(&setting->PowerSetting, &display, sizeof display) == 0 && setting->DataLength >= sizeof state) {
          std::memcpy(&state, setting->Data, sizeof state);
          setPause(window, PAUSE_DISPLAY_OFF, state == 0);  // 0 off, 1 on, 2 dimmed (still seen)
        }
        return TRUE;
      }
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
