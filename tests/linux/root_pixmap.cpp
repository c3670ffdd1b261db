// root_pixmap.cpp: a test helper that publishes a wallpaper the way desktop programs do: a pixmap
// of four coloured quadrants (top-left red, top-right green, bottom-left blue, bottom-right
// yellow) as the root window's _XROOTPMAP_ID, kept by the server after the helper ends.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XSetCloseDownMode(display, RetainPermanent);
  int screen = DefaultScreen(display);
  Window root = RootWindow(display, screen);
  unsigned width = (unsigned)DisplayWidth(display, screen), height = (unsigned)DisplayHeight(display, screen);
  Pixmap pixmap = XCreatePixmap(display, root, width, height, (unsigned)DefaultDepth(display, screen));
  GC gc = XCreateGC(display, pixmap, 0, nullptr);
  const unsigned long colours[4] = {0xC00000, 0x00C000, 0x0000C0, 0xC0C000};
  for (int q = 0; q < 4; ++q) {
    XSetForeground(display, gc, colours[q]);
    XFillRectangle(display, pixmap, gc, (q & 1) ? (int)width / 2 : 0, (q & 2) ? (int)height / 2 : 0, width / 2,
                   height / 2);
  }
  Atom property = XInternAtom(display, "_XROOTPMAP_ID", False);
  XChangeProperty(display, root, property, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pixmap),
                  1);
  XFreeGC(display, gc);
  XCloseDisplay(display);
  return 0;
}
