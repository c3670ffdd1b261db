// windriver.h: the Win32 test driver the GUI suites use to start our programs under Wine and
// drive their real windows: processes, window and message-box lookup, buttons and controls,
// the registry, pixel capture and posted input. Every wait takes a timeout in milliseconds and
// returns false (or null) when it runs out, so a hung program fails its test instead of the run.
//
// What Wine does differently, and how the driver copes: it loads the standard icons once per
// process, so a message box's icon handle never equals ours (the icon is told by its pixels);
// PrintWindow and MapDialogRect do not reach into another process (another program's window is
// read from the screen, dialog units come from a dialog of our own with the same font); a
// program whose dialog closes is busy for about two seconds (clicks that close get a long
// timeout, message boxes are answered with a posted command).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Default time a test waits for a window or a process (Wine can be slow to start a program).
enum { DRV_TIMEOUT = 20000 };

// --- Paths -----------------------------------------------------------------------------------------
// Turns a build-machine path ("/work/x/y") into the path Wine gives it ("Z:\work\x\y"); other
// paths only get their slashes turned into backslashes. False when `out` is too small.
bool drvWinPath(const char* path, char* out, size_t size);
// The Windows path of a program the build placed in its bin folder: QUIRLA_BINARY_DIR/bin/<name>.
bool drvBinaryPath(const char* name, char* out, size_t size);
// A fresh, empty scratch folder %TEMP%\quirla-gui\<name> (no trailing backslash).
bool drvScratchDir(const char* name, char* out, size_t size);

// --- Files -----------------------------------------------------------------------------------------
bool drvWriteFile(const char* path, const char* bytes);  // creates or replaces, binary
bool drvReadFile(const char* path, char* bytes, size_t size);  // whole file, zero-terminated
bool drvFileExists(const char* path);   // a file or a folder
bool drvMakeFolders(const char* path);  // every missing folder along the path
// Deletes a file or a whole folder tree, read-only entries included. True when nothing is left.
bool drvDeleteTree(const char* path);

// --- Processes -------------------------------------------------------------------------------------
struct DrvProcess {
  HANDLE process;  // null when not started
  DWORD id;
};
// Starts `commandLine` (program and arguments, as CreateProcessA takes them) in `folder` (null:
// the test's own folder).
bool drvStart(DrvProcess* proc, const char* commandLine, const char* folder);
// Waits for the process to end and gives its exit code.
bool drvWaitExit(DrvProcess* proc, DWORD timeoutMs, DWORD* exitCode);
bool drvIsRunning(const DrvProcess* proc);
// Teardown: terminates the process when it still runs, closes the handle. Safe to call twice.
void drvKill(DrvProcess* proc);

// --- Windows ---------------------------------------------------------------------------------------
// A visible top-level window with the class and/or title (null matches any), of the process
// `processId` (0: any process). Null when none appears within the timeout.
HWND drvWaitWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs);
// The same lookup without waiting.
HWND drvFindWindow(const char* className, const char* title, DWORD processId);
// Waits until the window no longer exists or is no longer visible.
bool drvWaitGone(HWND window, DWORD timeoutMs);
// Waits until the window's thread has handled everything sent to it before. Messages posted to
// it may still be waiting: a thread handles sent messages before posted ones.
bool drvSync(HWND window, DWORD timeoutMs);
// A child (any depth) by class and/or text; null when there is none.
HWND drvFindChild(HWND parent, const char* className, const char* text);
// SendMessageTimeout with the driver's timeout; false when the window did not answer.
bool drvSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// --- Message boxes ---------------------------------------------------------------------------------
enum DrvIcon { DRV_ICON_NONE, DRV_ICON_HAND, DRV_ICON_QUESTION, DRV_ICON_EXCLAMATION, DRV_ICON_ASTERISK,
               DRV_ICON_UNKNOWN };
struct DrvMessageBox {
  HWND window;
  char title[256];
  char text[1024];
  DrvIcon icon;
};
// Waits for a message box (a dialog of class "#32770" with the static text 0xFFFF) of the
// process and reads its title, text and icon.
bool drvWaitMessageBox(DWORD processId, DWORD timeoutMs, DrvMessageBox* box);
// Reads title, text and icon of a message box window already found.
bool drvReadMessageBox(HWND window, DrvMessageBox* box);
// Which of the standard icons the box shows. The icon handle is compared with the test's own
// LoadIcon(NULL, IDI_...) handles first; Wine loads the system icons once per process, so when
// no handle matches, the icon control's pixels are compared with the four standard icons drawn
// by the test on the box's own background colour.
DrvIcon drvMessageBoxIcon(HWND window);
const char* drvIconName(DrvIcon icon);
// Answers a message box with its button `id` (IDOK, IDYES, ...): posts the button's command to the
// box (false when the box has no such button) and waits until the box closes.
bool drvAnswer(const DrvMessageBox* box, int id);

// --- Buttons and controls --------------------------------------------------------------------------
HWND drvControl(HWND dialog, int id);
// BM_CLICK on the button `id` of the dialog (what a mouse click does: the dialog gets BN_CLICKED).
bool drvPressButton(HWND dialog, int id);
// The same for the button with this caption ("&" included as in the template).
bool drvPressButtonByText(HWND dialog, const char* caption);
// WM_COMMAND (id, BN_CLICKED) posted to the dialog, for windows that are busy in a modal loop.
bool drvPostCommand(HWND dialog, int id);
// BST_CHECKED, BST_UNCHECKED, BST_INDETERMINATE; -1 when the control did not answer.
int drvCheckState(HWND control);
bool drvGetText(HWND window, char* text, size_t size);  // WM_GETTEXT
// Waits until the window's text reads `expected` (for the effect of posted messages).
bool drvWaitText(HWND window, const char* expected, DWORD timeoutMs);
bool drvSetText(HWND window, const char* text);         // WM_SETTEXT
// The window's own text without a message (works while its program is busy).
bool drvGetTextNow(HWND window, char* text, size_t size);
// Position of a scroll-bar control (SBM_GETSCROLLINFO, SBM_GETPOS when that fails).
bool drvScrollPos(HWND scrollBar, int* position);
bool drvIsEnabled(HWND window);
bool drvIsVisible(HWND window);
// The control's rectangle in its parent's client pixels.
bool drvControlRect(HWND control, RECT* rect);
// The control's rectangle in dialog units of its dialog: its pixel rectangle divided by the
// dialog's base units, rounded to the nearest unit. MapDialogRect on another program's dialog
// fails under Wine, so the base units are those of a dialog whose template names the font
// `face` at `points` (null and 0: "MS Sans Serif", 8), made hidden in the test's own process.
bool drvControlRectDlu(HWND dialog, HWND control, const char* face, int points, RECT* rect);
// The base units of a dialog template with that font, in pixels per 4 horizontal and 8
// vertical dialog units (MapDialogRect of a 4 x 8 rectangle).
bool drvDialogBaseUnits(const char* face, int points, int* perFourX, int* perEightY);
bool drvClientRect(HWND window, RECT* rect);

// --- Registry --------------------------------------------------------------------------------------
bool drvRegSetString(HKEY root, const char* key, const char* name, const char* value);
bool drvRegSetDword(HKEY root, const char* key, const char* name, DWORD value);
bool drvRegGetString(HKEY root, const char* key, const char* name, char* value, size_t size);
bool drvRegGetDword(HKEY root, const char* key, const char* name, DWORD* value);
bool drvRegKeyExists(HKEY root, const char* key);
bool drvRegValueExists(HKEY root, const char* key, const char* name);
bool drvRegDeleteValue(HKEY root, const char* key, const char* name);
// Deletes the key with everything below it. True when the key is gone (or was never there).
bool drvRegDeleteTree(HKEY root, const char* key);

// --- Pixels ----------------------------------------------------------------------------------------
// A 24-bit picture, rows top-down, each row padded to four bytes; pixel bytes blue, green, red.
struct DrvPicture {
  int width, height, stride;
  uint8_t* bits;  // drvFreePicture releases it
};
// Captures the window's client area. The window is repainted first (RedrawWindow with
// RDW_UPDATENOW), then read through PrintWindow when that draws, else from the screen.
bool drvCapture(HWND window, DrvPicture* picture);
// Captures a rectangle of the screen.
bool drvCaptureScreen(const RECT* rect, DrvPicture* picture);
void drvFreePicture(DrvPicture* picture);
// 0x00RRGGBB of the pixel at x, y (top-down); 0xFFFFFFFF outside the picture.
uint32_t drvPixel(const DrvPicture* picture, int x, int y);
// Writes the picture as a 24-bit BMP file (to look at a failing test's window).
bool drvSavePicture(const DrvPicture* picture, const char* path);

// --- Input -----------------------------------------------------------------------------------------
// Posts WM_KEYDOWN / WM_KEYUP (with the scan code and repeat count in lParam) for a virtual key.
bool drvPostKey(HWND window, UINT virtualKey);
bool drvPostKeyDown(HWND window, UINT virtualKey);
bool drvPostKeyUp(HWND window, UINT virtualKey);
bool drvPostChar(HWND window, char character);
bool drvPostText(HWND window, const char* text);  // WM_CHAR for each character
// Posts a mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN, ...) at client position x, y with the
// key state `keys` (MK_LBUTTON, MK_SHIFT, ...).
bool drvPostMouse(HWND window, UINT message, int x, int y, WPARAM keys);
// A left click at client position x, y: move, button down, button up.
bool drvClick(HWND window, int x, int y);
