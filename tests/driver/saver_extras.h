// saver_extras.h: what the screensaver's GUI suites add to the driver: a fake installation with
// generated models, lights and pictures, the saver's registry keys, starting the saver without
// waiting for an idle moment it never has, reading the screen's colours, and the process's memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "windriver.h"

#define SAVER_PRODUCT_KEY "SOFTWARE\\Drovelkant\\Quirla"
#define SAVER_KEY "SOFTWARE\\Drovelkant\\Quirla\\Settings"

// A scratch installation: <root>\App\Quirla.scr (copied from the build), Models, Lights,
// Textures and Help, with InstallPath pointing at it and the settings key removed.
struct SaverInstall {
  std::string root;  // ends in a backslash, as InstallPath reads
  std::string scr;   // the copied screensaver
};
bool saverMakeInstall(const char* name, SaverInstall* install);
// Removes the settings key and, when it still names `install`, InstallPath.
void saverForgetInstall(const SaverInstall* install);

// A cube from -1 to 1, each face drawn from both sides, in six colours (0xRRGGBB, in the order
// -z, +z, -y, +y, -x, +x) or all in one; no vertex normals, so it is lit flat.
bool saverWriteCube(const std::string& path, const uint32_t colours[6]);
bool saverWriteCube(const std::string& path, uint32_t colour);
// A lighting file: ambient and directional colours (0xRRGGBB) and a direction.
bool saverWriteLights(const std::string& path, uint32_t ambient, uint32_t directional, float x = 0.0f,
                      float y = 0.0f, float z = 1.0f);
// A 24-bit BMP; colourAt gives 0xRRGGBB for column x and row y counted from the picture's top.
bool saverWriteBitmap(const std::string& path, int width, int height, uint32_t (*colourAt)(int x, int y));
// A solid 24-bit BMP.
bool saverWriteSolidBitmap(const std::string& path, int width, int height, uint32_t colour);

// The colour a face of colour c shows under an ambient light a with no directional light.
uint32_t saverAmbientLit(uint32_t colour, uint32_t ambient);

// Settings values (numbers and texts) for the key.
bool saverSetNumber(const char* name, DWORD value);
bool saverSetText(const char* name, const std::string& value);
DWORD saverGetNumber(const char* name, DWORD missing = 0xDEADBEEF);
std::string saverGetText(const char* name);

// Starts the program without WaitForInputIdle: a running saver always has a frame queued.
bool saverStart(DrvProcess* proc, const std::string& commandLine);

// The full-screen saver window of the process, once it is visible.
HWND saverWaitFullScreen(DWORD processId, DWORD timeoutMs);

// Screen colours.
struct SaverShot {
  DrvPicture picture = {};
  ~SaverShot() { drvFreePicture(&picture); }
  bool take(const RECT& rect);      // a rectangle of the screen
  bool takeScreen();                 // the whole screen
  uint32_t at(int x, int y) const { return drvPixel(&picture, x, y); }
  // Bounding box of the pixels that differ from `background`; false when there are none.
  bool boxOfOthers(uint32_t background, RECT* box) const;
  // How many pixels have exactly this colour.
  long count(uint32_t colour) const;
  // The colour most pixels have.
  uint32_t commonest() const;
};

// Private bytes and GDI objects of a process; false when they cannot be read. (Wine counts no GDI
// objects per process and reports 0; its GDI bitmaps live in the process's memory instead.)
bool saverProcessUsage(HANDLE process, SIZE_T* privateBytes, DWORD* gdiObjects);

// Waits, pumping the test's own messages so that windows it owns stay responsive.
void saverPause(DWORD milliseconds);
// The driver's waits, pumping the test's messages meanwhile: a dialog owned by a test window
// sends that window messages while it opens and closes.
HWND saverWaitWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs);
bool saverWaitExit(DrvProcess* proc, DWORD timeoutMs, DWORD* exitCode);
// A message box of the process by its title (a dialog's own statics would look like one too).
bool saverWaitBox(DWORD processId, const char* title, DWORD timeoutMs, DrvMessageBox* box);
