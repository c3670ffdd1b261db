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

// Everything one saver window keeps (one window per process).
struct SaverWindowState {
  HWND window;
  HDC dc;                     // the window's own context, kept for its whole life
  int32_t desktopWidth, desktopHeight;
  SaverCore core;             // the saver itself: background, sprites, model, motion

  HDC memoryDC;               // holds the core's background; the source of every repaint
  HBITMAP memoryBitmap;
  HGDIOBJ formerBitmap;
  BITMAPINFOHEADER backgroundHeader;

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
  SetDIBits(saver.dc, saver.memoryBitmap, 0, (UINT)saver.core.motion.height, saver.core.background->bits,
            reinterpret_cast<BITMAPINFO*>(&saver.backgroundHeader), DIB_RGB_COLORS);
  SelectObject(saver.memoryDC, saver.memoryBitmap);
}

// The desktop background: what the screen shows beneath the window, or the whole desktop shrunk
// into the preview.
static bool readDesktop(VxmBitmap* background, void* context) {
  const SaverMotion* motion = &static_cast<const SaverCore*>(context)->motion;
  const int32_t W = motion->width, H = motion->height;
  if (motion->fullSize) {
    // The window is not shown yet, so the screen still holds the desktop beneath it. It is read
    // through the screen's context: a window's own context does not read the screen on every
    // system (under Wine it reads the window's still empty surface).
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
    StretchBlt(saver.memoryDC, 0, 0, W, H, desktopDC, 0, 0, saver.desktopWidth, saver.desktopHeight, SRCCOPY);
    ReleaseDC(desktop, desktopDC);
  }
  SelectObject(saver.memoryDC, saver.formerBitmap);
  const int rows = GetDIBits(saver.dc, saver.memoryBitmap, 0, (UINT)H, background->bits,
                             reinterpret_cast<BITMAPINFO*>(&saver.backgroundHeader), DIB_RGB_COLORS);
  SelectObject(saver.memoryDC, saver.memoryBitmap);
  return rows == H;
}

// The monitors the full-screen window covers (Windows 98 and 2000 on can tell them).
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

static void findMonitors(MonitorList* list) {
  typedef BOOL(WINAPI * EnumFn)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
  EnumFn enumerate = (EnumFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "EnumDisplayMonitors");
  if (enumerate) enumerate(nullptr, nullptr, collectMonitor, (LPARAM)list);
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
  const int32_t W = client.right, H = client.bottom;
  fillHeader(&saver.backgroundHeader, W, H);
  saver.memoryDC = CreateCompatibleDC(saver.dc);
  saver.memoryBitmap = W > 0 && H > 0 ? CreateCompatibleBitmap(saver.dc, W, H) : nullptr;
  if (saver.memoryDC && saver.memoryBitmap) saver.formerBitmap = SelectObject(saver.memoryDC, saver.memoryBitmap);
  if (!saver.memoryDC || !saver.memoryBitmap) {
    APP_TRACE("Failed to create background");
    return 0;
  }

  MonitorList monitors = {};
  findMonitors(&monitors);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  const SaverCoreWindow place = {W, H, saver.desktopWidth, origin.x, origin.y, monitors.rects, monitors.count,
                                 monitors.primary};
  const bool made = saverCoreInit(&saver.core, settings, &place, readDesktop, &saver.core);
  if (saver.core.background) backgroundToMemory();
  if (!made) return 0;
  if (saver.core.changes)
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

// Copies what a frame or a change of the core produced to the window.
static void showOutput(const SaverCoreOutput* output) {
  if (output->backgroundRedrawn) {
    backgroundToMemory();
    BitBlt(saver.dc, 0, 0, saver.core.motion.width, saver.core.motion.height, saver.memoryDC, 0, 0, SRCCOPY);
  }
  for (int32_t i = 0; i < output->spriteCount; ++i) {
    const SaverCoreSprite* shown = &output->sprites[i];
    const SaverBlit& blit = shown->blit;
    BITMAPINFOHEADER header;
    fillHeader(&header, shown->sprite->width, shown->sprite->height);
    SetDIBitsToDevice(saver.dc, blit.x, blit.y, (DWORD)blit.width, (DWORD)blit.height, blit.srcX, blit.srcY, 0,
                      (UINT)shown->sprite->height, shown->sprite->bits, reinterpret_cast<BITMAPINFO*>(&header),
                      DIB_RGB_COLORS);
  }
  for (int32_t i = 0; i < output->bandCount; ++i) blitToWindow(&output->bands[i]);
}

static void onFrame(HWND window) {
  saver.frameQueued = false;
  if (!saver.core.model || !saver.core.screens[0].sprite || saver.pauses) return;
  // The test hook may fix each frame's length, so that both savers draw the same frames.
  const uint32_t steps = saverStepsDue(saverTestTick((uint32_t)clockMilliseconds()), &saver.lastMs, &saver.clockStarted);
  SaverCoreOutput output;
  saverCoreFrame(&saver.core, steps, &output);
  showOutput(&output);
  pumpMessages(window);
}

static void onChange(void) {
  SaverCoreOutput output;
  saverCoreChange(&saver.core, saverSettings(), &output);
  showOutput(&output);
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
  saverCoreTeardown(&saver.core);
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
      BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, saver.core.motion.width, saver.core.motion.height, saver.memoryDC,
             0, 0, SRCCOPY);
      return 0;
    case WM_DESTROY:
      onDestroy(window);
      break;
  }
  return saverDefaultProc(window, message, wParam, lParam);
}
