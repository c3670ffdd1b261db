// SaverX11.cpp: quirla-saver, the screensaver as a native X11 program for XScreenSaver: plain
// Xlib with MIT-SHM for the copies to the window (XPutImage where the server lacks it). The
// saver itself is SaverCore, its files SaverLinuxFiles.cpp; this file owns the window, the
// clock and the signals.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SaverCore.h"
#include "SaverLinux.h"
#include "SaverOptions.h"
#include "SaverSettings.h"
#include "app.h"

static const char* const PROGRAM = "quirla-saver";

// One image the saver copies to the window: shared with the server when it can be.
struct SaverImage {
  XImage* image;
  XShmSegmentInfo shm;
  bool shared;
};

// Everything the program keeps (one window per process).
struct SaverX11 {
  Display* display;
  Window window;
  bool ownWindow;
  Atom deleteWindow;
  GC gc;
  Visual* visual;
  int depth;
  int32_t width, height;
  bool useShm;
  SaverImage back;    // the background, W x H
  SaverImage sprite;  // the sprite, S x S
  int redShift, greenShift, blueShift;  // where each 8-bit channel sits in a 32-bit pixel
  bool fastPixels;    // 32 bits a pixel, 8 bits a channel, the host's byte order
  SaverCore core;
  SaverOptions options;
};

static SaverX11 x11;
static volatile sig_atomic_t stopRequested = 0;
static bool xFailed = false;

static void onSignal(int) { stopRequested = 1; }

// A window that vanished (XScreenSaver destroys it) ends the saver rather than the program.
static int onXError(Display* display, XErrorEvent* event) {
  char text[128];
  XGetErrorText(display, event->error_code, text, sizeof text);
  if (!xFailed) std::fprintf(stderr, "%s: X error: %s\n", PROGRAM, text);
  xFailed = true;
  return 0;
}

static int maskShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

static uint32_t channelPixel(const XImage* image, uint8_t b, uint8_t g, uint8_t r) {
  auto place = [](unsigned long mask, uint8_t value) -> unsigned long {
    int shift = maskShift(mask);
    int bits = 0;
    for (unsigned long m = mask >> shift; m & 1; m >>= 1) ++bits;
    return ((unsigned long)(bits >= 8 ? value << (bits - 8) : value >> (8 - bits)) << shift) & mask;
  };
  return (uint32_t)(place(image->red_mask, r) | place(image->green_mask, g) | place(image->blue_mask, b));
}

// Copies a rectangle of a bottom-up 24-bit bitmap (top-down row `top`) into an image at (dx, dy).
static void bitmapToImage(const VxmBitmap* bitmap, int32_t x, int32_t top, int32_t w, int32_t h, XImage* image,
                          int32_t dx, int32_t dy) {
  for (int32_t row = 0; row < h; ++row) {
    const uint8_t* in = bitmap->lineTable[bitmap->height - 1 - (top + row)] + 3 * x;
    if (x11.fastPixels) {
      uint32_t* out = reinterpret_cast<uint32_t*>(image->data + (dy + row) * image->bytes_per_line) + dx;
      for (int32_t i = 0; i < w; ++i, in += 3)
        out[i] = (uint32_t)in[2] << x11.redShift | (uint32_t)in[1] << x11.greenShift | (uint32_t)in[0] << x11.blueShift;
    } else {
      for (int32_t i = 0; i < w; ++i, in += 3) XPutPixel(image, dx + i, dy + row, channelPixel(image, in[0], in[1], in[2]));
    }
  }
}

static void freeImage(SaverImage* image) {
  if (!image->image) return;
  if (image->shared) {
    XShmDetach(x11.display, &image->shm);
    XSync(x11.display, False);
    shmdt(image->shm.shmaddr);
  }
  XDestroyImage(image->image);  // frees plain pixels; a shared image's data is already detached
  image->image = nullptr;
}

// A shared image when the server has MIT-SHM and attaches it; otherwise a plain one. The
// segment is marked for removal as soon as both sides hold it, so none is left behind however
// the program ends.
static bool createImage(SaverImage* image, int32_t width, int32_t height) {
  std::memset(image, 0, sizeof *image);
  if (x11.useShm) {
    image->image = XShmCreateImage(x11.display, x11.visual, (unsigned)x11.depth, ZPixmap, nullptr, &image->shm,
                                   (unsigned)width, (unsigned)height);
    if (image->image) {
      image->shm.shmid = shmget(IPC_PRIVATE, (size_t)image->image->bytes_per_line * height, IPC_CREAT | 0600);
      void* address = image->shm.shmid >= 0 ? shmat(image->shm.shmid, nullptr, 0) : (void*)-1;
      if (address != (void*)-1) {
        image->shm.shmaddr = image->image->data = static_cast<char*>(address);
        image->shm.readOnly = False;
        bool attached = XShmAttach(x11.display, &image->shm);
        XSync(x11.display, False);
        shmctl(image->shm.shmid, IPC_RMID, nullptr);
        if (attached && !xFailed) {
          image->shared = true;
          return true;
        }
        shmdt(address);
      } else if (image->shm.shmid >= 0) {
        shmctl(image->shm.shmid, IPC_RMID, nullptr);
      }
      image->image->data = nullptr;
      XDestroyImage(image->image);
      image->image = nullptr;
      xFailed = false;
    }
    x11.useShm = false;  // the server cannot share memory with us (a remote display)
  }
  image->image = XCreateImage(x11.display, x11.visual, (unsigned)x11.depth, ZPixmap, 0, nullptr, (unsigned)width,
                              (unsigned)height, 32, 0);
  if (!image->image) return false;
  image->image->data = static_cast<char*>(std::calloc((size_t)image->image->bytes_per_line, (size_t)height));
  if (image->image->data) return true;
  XDestroyImage(image->image);
  image->image = nullptr;
  return false;
}

static void putImage(const SaverImage* image, int32_t srcX, int32_t srcY, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (image->shared)
    XShmPutImage(x11.display, x11.window, x11.gc, image->image, srcX, srcY, x, y, (unsigned)w, (unsigned)h, False);
  else
    XPutImage(x11.display, x11.window, x11.gc, image->image, srcX, srcY, x, y, (unsigned)w, (unsigned)h);
}

// --- The desktop picture -------------------------------------------------------------------------

// The root window's background pixmap that desktop programs publish, or None.
static Pixmap desktopPixmap(void) {
  Atom property = XInternAtom(x11.display, "_XROOTPMAP_ID", True);
  if (property == None) return None;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  Pixmap pixmap = None;
  if (XGetWindowProperty(x11.display, DefaultRootWindow(x11.display), property, 0, 1, False, XA_PIXMAP, &type,
                         &format, &count, &after, &data) == Success &&
      type == XA_PIXMAP && format == 32 && count == 1)
    pixmap = (Pixmap)*reinterpret_cast<unsigned long*>(data);
  if (data) XFree(data);
  return pixmap;
}

// Reads the wallpaper into the background: the part under the window when it covers the desktop's
// width, the whole desktop shrunk to it in a preview.
static bool readDesktop(VxmBitmap* background, void* context) {
  Pixmap pixmap = desktopPixmap();
  if (pixmap == None) return false;
  Window root;
  int px, py;
  unsigned int pw, ph, border, depth;
  xFailed = false;
  if (!XGetGeometry(x11.display, pixmap, &root, &px, &py, &pw, &ph, &border, &depth) || xFailed) return false;
  XImage* image = XGetImage(x11.display, pixmap, 0, 0, pw, ph, AllPlanes, ZPixmap);
  XSync(x11.display, False);
  if (!image || xFailed) {
    if (image) XDestroyImage(image);
    xFailed = false;
    return false;
  }
  VxmBitmap* desktop = vxmBitmapCreate((int32_t)pw, (int32_t)ph, 24);
  bool ok = desktop != nullptr;
  if (ok) {
    // A pixmap has no visual, so its image carries no channel masks: the root window's give them.
    const Visual* visual = DefaultVisual(x11.display, DefaultScreen(x11.display));
    const unsigned long rm = visual->red_mask, gm = visual->green_mask, bm = visual->blue_mask;
    const int rs = maskShift(rm), gs = maskShift(gm), bs = maskShift(bm);
    for (unsigned y = 0; y < ph; ++y) {
      uint8_t* out = desktop->lineTable[ph - 1 - y];
      for (unsigned x = 0; x < pw; ++x, out += 3) {
        unsigned long pixel = XGetPixel(image, (int)x, (int)y);
        out[0] = (uint8_t)((pixel & bm) >> bs);
        out[1] = (uint8_t)((pixel & gm) >> gs);
        out[2] = (uint8_t)((pixel & rm) >> rs);
      }
    }
    const SaverMotion* motion = &static_cast<const SaverCore*>(context)->motion;
    vxmBitmapFill(background, nullptr);
    if (motion->fullSize) {
      int wx = 0, wy = 0;
      Window child;
      XTranslateCoordinates(x11.display, x11.window, DefaultRootWindow(x11.display), 0, 0, &wx, &wy, &child);
      // Bitmap rows count from the bottom: the window's top is desktop row ph - wy - 1.
      ok = vxmBitmapCopy(background, 0, 0, motion->width, motion->height, desktop, wx,
                         (int32_t)ph - wy - motion->height);
    } else {
      ok = vxmBitmapStretch(background, 0, 0, motion->width, motion->height, desktop, 0, 0, (int32_t)pw, (int32_t)ph);
    }
  }
  vxmBitmapFree(desktop);
  XDestroyImage(image);
  return ok;
}

// --- The window ---------------------------------------------------------------------------------------

static bool parseWindowId(const char* text, Window* window) {
  char* end = nullptr;
  errno = 0;
  unsigned long long id = std::strtoull(text, &end, 0);
  if (end == text || *end || errno || id == 0 || id > 0xFFFFFFFFull) return false;
  *window = (Window)id;
  return true;
}

// The window to draw into: the one named, XScreenSaver's, or a new one of our own.
static bool chooseWindow(void) {
  Display* d = x11.display;
  if (x11.options.hasWindowId) {
    x11.window = (Window)x11.options.windowId;
    return true;
  }
  if (x11.options.root) {
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named && named[0] && !parseWindowId(named, &x11.window)) {
      std::fprintf(stderr, "%s: XSCREENSAVER_WINDOW does not name a window: \"%s\"\n", PROGRAM, named);
      return false;
    }
    if (!named || !named[0]) x11.window = DefaultRootWindow(d);
    return true;
  }
  int screen = DefaultScreen(d);
  int width = x11.options.fullscreen ? DisplayWidth(d, screen) : 800;
  int height = x11.options.fullscreen ? DisplayHeight(d, screen) : 600;
  x11.window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, (unsigned)width, (unsigned)height, 0,
                                   BlackPixel(d, screen), BlackPixel(d, screen));
  x11.ownWindow = true;
  XStoreName(d, x11.window, "Quirla");
  x11.deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, x11.window, &x11.deleteWindow, 1);
  if (x11.options.fullscreen) {
    // No frame (Motif hints: decorations 0) and the window manager's full-screen state.
    long hints[5] = {2, 0, 0, 0, 0};
    Atom motif = XInternAtom(d, "_MOTIF_WM_HINTS", False);
    XChangeProperty(d, x11.window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
    Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    Atom full = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(d, x11.window, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&full), 1);
  }
  XSelectInput(d, x11.window, ExposureMask | StructureNotifyMask | KeyPressMask);
  return true;
}

static bool setUpWindow(void) {
  XWindowAttributes attributes;
  xFailed = false;
  if (!XGetWindowAttributes(x11.display, x11.window, &attributes) || xFailed) {
    std::fprintf(stderr, "%s: no window 0x%lx on this display\n", PROGRAM, (unsigned long)x11.window);
    return false;
  }
  if (!x11.ownWindow) {
    // Another program's window: we only watch for its end and its exposures.
    XSelectInput(x11.display, x11.window, attributes.your_event_mask | ExposureMask | StructureNotifyMask);
  }
  x11.visual = attributes.visual;
  x11.depth = attributes.depth;
  x11.width = attributes.width;
  x11.height = attributes.height;
  if (x11.visual->c_class != TrueColor && x11.visual->c_class != DirectColor) {
    std::fprintf(stderr, "%s: the window's visual is not true colour\n", PROGRAM);
    return false;
  }
  x11.gc = XCreateGC(x11.display, x11.window, 0, nullptr);
  int major, minor;
  Bool pixmaps;
  x11.useShm = XShmQueryVersion(x11.display, &major, &minor, &pixmaps) && !std::getenv("QUIRLA_SAVER_NO_SHM");
  return x11.gc != nullptr;
}

static bool createImages(void) {
  if (!createImage(&x11.back, x11.core.motion.width, x11.core.motion.height) ||
      !createImage(&x11.sprite, x11.core.screens[0].motion.side, x11.core.screens[0].motion.side)) {
    std::fprintf(stderr, "%s: cannot create the images\n", PROGRAM);
    return false;
  }
  const XImage* image = x11.back.image;
  x11.redShift = maskShift(image->red_mask);
  x11.greenShift = maskShift(image->green_mask);
  x11.blueShift = maskShift(image->blue_mask);
  const unsigned long full = 0xFFul;
  bool host = image->byte_order == (*(const uint16_t*)"\1\0" == 1 ? LSBFirst : MSBFirst);
  x11.fastPixels = image->bits_per_pixel == 32 && host && image->red_mask >> x11.redShift == full &&
                   image->green_mask >> x11.greenShift == full && image->blue_mask >> x11.blueShift == full;
  return true;
}

static void showBackground(int32_t x, int32_t y, int32_t w, int32_t h) {
  putImage(&x11.back, x, y, x, y, w, h);
}

static void refreshBackground(void) {
  bitmapToImage(x11.core.background, 0, 0, x11.core.motion.width, x11.core.motion.height, x11.back.image, 0, 0);
}

// Copies what a frame or change produced to the window.
static void showOutput(const SaverCoreOutput* output) {
  if (output->backgroundRedrawn) {
    refreshBackground();
    showBackground(0, 0, x11.core.motion.width, x11.core.motion.height);
  }
  // The window is one screen (the core is given no monitors), so there is one sprite.
  for (int32_t i = 0; i < output->spriteCount; ++i) {
    const SaverBlit* b = &output->sprites[i].blit;
    const int32_t S = output->sprites[i].sprite->height;
    // The blit's source rows count from the sprite's bottom.
    const int32_t top = S - b->srcY - b->height;
    bitmapToImage(output->sprites[i].sprite, b->srcX, top, b->width, b->height, x11.sprite.image, b->srcX, top);
    putImage(&x11.sprite, b->srcX, top, b->x, b->y, b->width, b->height);
  }
  for (int32_t i = 0; i < output->bandCount; ++i) {
    const SaverRect* r = &output->bands[i];
    showBackground(r->left, r->top, r->right - r->left + 1, r->bottom - r->top + 1);
  }
}

// Handles what the server sent; false when the saver should end.
static bool handleEvents(void) {
  while (XPending(x11.display)) {
    XEvent event;
    XNextEvent(x11.display, &event);
    switch (event.type) {
      case Expose:
        showBackground(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == x11.window) return false;
        break;
      case ClientMessage:
        if ((Atom)event.xclient.data.l[0] == x11.deleteWindow) return false;
        break;
      case KeyPress:
        if (x11.ownWindow) {
          KeySym key = XLookupKeysym(&event.xkey, 0);
          if (key == XK_q || key == XK_Escape) return false;
        }
        break;
    }
  }
  return !xFailed;
}

static uint64_t nowNanoseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint64_t)now.tv_sec * 1000000000ull + (uint64_t)now.tv_nsec;
}

static double processorSeconds(void) {
  struct timespec used;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return (double)used.tv_sec + (double)used.tv_nsec * 1e-9;
}

// Frames until a signal, the window's end or an X failure.
static void runFrames(SaverSettings* settings) {
  const uint64_t frameLength = x11.options.fps > 0 ? 1000000000ull / (uint64_t)x11.options.fps : 0;
  const uint64_t changeLength = (uint64_t)settings->changeTime * 1000000000ull;
  uint64_t next = nowNanoseconds();
  uint64_t nextChange = next + changeLength;
  uint64_t rateStart = next;
  double rateProcessor = processorSeconds();
  uint32_t frames = 0;
  uint64_t lastMs = 0;
  bool clockStarted = false;
  while (!stopRequested && handleEvents()) {
    uint64_t now = nowNanoseconds();
    if (x11.core.changes && now >= nextChange) {
      SaverCoreOutput change;
      saverCoreChange(&x11.core, settings, &change);
      showOutput(&change);
      now = nowNanoseconds();
      nextChange = now + changeLength;
      clockStarted = false;  // the time spent loading is not motion
    }
    // Motion in steps of one millisecond of the clock, as the Windows saver moves (the test hook
    // may fix each frame's length).
    const uint32_t steps = saverStepsDue(saverTestTick((uint32_t)(now / 1000000ull)), &lastMs, &clockStarted);
    SaverCoreOutput output;
    saverCoreFrame(&x11.core, steps, &output);
    showOutput(&output);
    XSync(x11.display, False);  // one frame in flight: the server has shown it before the next
    ++frames;
    if (x11.options.showFps && now - rateStart >= 1000000000ull) {
      double seconds = (double)(now - rateStart) * 1e-9;
      double processor = processorSeconds();
      std::printf("%s: %.1f frames a second, %.0f ms of processor a second\n", PROGRAM, frames / seconds,
                  (processor - rateProcessor) * 1000.0 / seconds);
      std::fflush(stdout);
      rateStart = now;
      rateProcessor = processor;
      frames = 0;
    }
    if (frameLength) {
      next += frameLength;
      now = nowNanoseconds();
      if (next < now) next = now;  // behind: no catching up in a burst
      struct timespec until = {(time_t)(next / 1000000000ull), (long)(next % 1000000000ull)};
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR && !stopRequested) {
      }
    }
  }
}

static void teardown(void) {
  freeImage(&x11.back);
  freeImage(&x11.sprite);
  saverCoreTeardown(&x11.core);
  if (x11.display) {
    if (x11.gc) XFreeGC(x11.display, x11.gc);
    if (x11.ownWindow && !xFailed) XDestroyWindow(x11.display, x11.window);
    XCloseDisplay(x11.display);
  }
  x11.display = nullptr;
}

// Waits until our own window is on the screen, so the first frames are not lost.
static void waitForMap(void) {
  XMapRaised(x11.display, x11.window);
  XEvent event;
  do XWindowEvent(x11.display, x11.window, StructureNotifyMask, &event);
  while (event.type != MapNotify);
}

int main(int argc, char** argv) {
  appSetName("Quirla");
  appEnableMessages(false);
  char error[SAVER_OPTION_ERROR];
  if (!saverParseOptions(argc - 1, argv + 1, &x11.options, error)) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM, error);
    return 2;
  }
  if (x11.options.help) {
    saverPrintHelp();
    return 0;
  }
  if (x11.options.installXScreenSaver) return saverInstallInXScreenSaver() ? 0 : 1;

  char folder[SAVER_PATH_LENGTH];
  if (!saverSetDataFolder(x11.options.dataFolder, folder)) return 1;
  SaverSettings* settings = saverSettings();
  saverSetDefaultSettings(settings, folder);
  if (!saverLoadSettingsFile(settings)) return 1;
  saverApplyOptions(&x11.options, settings);
  if (x11.options.saveSettings) return saverSaveSettingsFile(settings) ? 0 : 1;

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);

  x11.display = XOpenDisplay(nullptr);
  if (!x11.display) {
    std::fprintf(stderr, "%s: cannot open the display \"%s\"\n", PROGRAM, XDisplayName(nullptr));
    return 1;
  }
  XSetErrorHandler(onXError);
  if (!chooseWindow() || !setUpWindow()) {
    teardown();
    return 1;
  }
  if (x11.ownWindow) waitForMap();

  appSeedRandom(saverTestSeed((uint32_t)(nowNanoseconds() / 1000000ull)));
  Screen* screen = DefaultScreenOfDisplay(x11.display);
  const SaverCoreWindow place = {x11.width, x11.height, WidthOfScreen(screen), 0, 0, nullptr, 0, 0};
  if (!saverCoreInit(&x11.core, settings, &place, readDesktop, &x11.core) ||
      !createImages()) {
    std::fprintf(stderr, "%s: cannot start the saver with the model %s\n", PROGRAM, settings->modelFile);
    teardown();
    return 1;
  }
  refreshBackground();
  showBackground(0, 0, x11.core.motion.width, x11.core.motion.height);
  runFrames(settings);
  teardown();
  return 0;
}
