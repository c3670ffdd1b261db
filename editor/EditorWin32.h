// EditorWin32.h: the editor's windows and the Win32 routines its files share. The editing state
// lives in `editor` (Editor.h); the handles, cursors and measured areas live here.
#pragma once

#include <windows.h>

#include "Editor.h"
#include "app.h"

struct EditorWindows {
  HINSTANCE instance;
  HWND main;
  HWND editMode, display, library, colour, lighting;  // the tool windows
  HWND tooltip;
  HWND progress;
  HFONT statusFont;
  HACCEL accelerators;
  HCURSOR arrow, hourglass;
  HCURSOR rotate, colourArea, selectArea, select, paint, scaleTexture, moveTexture;
  // Areas in pixels relative to their tool window.
  RECT backgroundSwatch, paintSwatch, ambientSwatch, directionalSwatch, texturePreview, lightPreview;
  AppRect statusRect;
  BITMAPINFOHEADER header;  // the header of every copy of a bitmap to a window
  bool classRegistered;
  // The light-direction drag in the lighting window.
  bool lightCaptured;
  bool sessionEnding;  // the end-session prompts were answered: WM_ENDSESSION ends the editor
  int32_t lightLastX, lightLastY;
};

extern EditorWindows ew;

// EditorMainWin32.cpp
LRESULT CALLBACK editorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void editorLayout(int32_t width, int32_t height);
void editorPaint(void);
void editorUpdateTitle(void);
void editorInvalidateWorkspace(bool erase);
// The canvas for the workspace's side and the zoom: its bitmap, the view scale, the texture's
// pixels and the zoom on the status line.
void editorSizeCanvas(void);
// The status line: the tool's text, and the zoom at its right end when zoomed.
void editorShowStatus(const char* text);
void editorInvalidateToolArea(HWND tool, const RECT* area, bool erase);
// Copies a bitmap to a window's device context with its lower-left row at the bottom.
void editorBlit(HDC dc, const VxmBitmap* bitmap, int x, int y, int srcX, int srcY, int width, int height);
// The system's copy of the screensaver: the Windows folder (its "system" folder on Windows 95/98)
// plus "\Quirla.scr". False when the path does not fit.
bool editorSystemSaverPath(char* path, int size);
// The close sequence: lights prompt, model prompt. True when the window may be destroyed.
bool editorConfirmClose(void);

// EditorToolsWin32.cpp
bool editorCreateToolWindows(void);
void editorCreateTooltips(void);
void editorMeasureAreas(void);
void editorClickButton(HWND dialog, int id);
// Presses the control when it is enabled (keys F2 to F4, F6 to F9 and T).
void editorClickIfEnabled(HWND dialog, int id);
void editorShowModeWindow(void);
void editorUpdateDisplayControls(void);
void editorUpdateLightingControls(void);
void editorUpdateLibraryControls(void);
void editorHighlightFromControls(void);
void editorPaintTexturePreview(HDC dc);
void editorPaintLightPreview(HDC dc);
// The area of a tool window's preview in main-window client coordinates.
RECT editorToolAreaInMain(HWND tool, const RECT* area);

// EditorMouseWin32.cpp
void editorButtonDown(int32_t x, int32_t y, uint32_t flags);
void editorMouseMove(int32_t x, int32_t y, uint32_t flags);
void editorButtonUp(int32_t x, int32_t y, uint32_t flags);
void editorKey(bool down, UINT key);
void editorRedrawFacet(int32_t facet);
void editorSetLook(HWND window, int32_t cursor, const char* status);
void editorLightButtonDown(int32_t x, int32_t y, uint32_t flags);
void editorLightMouseMove(int32_t x, int32_t y, uint32_t flags);
void editorLightButtonUp(void);
// WM_CAPTURECHANGED: a drag whose capture went elsewhere ends as if its button were released.
void editorCaptureLost(void);
void editorLightCaptureLost(void);
// WM_KILLFOCUS: arrow keys released elsewhere are never seen, so no lock outlives the focus.
void editorForgetKeys(void);
// Zoom and pan: the wheel zooms about the pointer, + and - about the centre, Fit returns to the
// fitted view; the middle button drags the view.
void editorWheel(int32_t x, int32_t y, int32_t delta);
void editorZoomBy(double factor);
void editorZoomFit(void);
void editorPanStart(int32_t x, int32_t y);
void editorPanEnd(void);
HCURSOR editorCursor(int32_t id);

// EditorCommandsWin32.cpp
void editorCommand(HWND window, int command, int notification, HWND control);
bool editorOpenModel(const char* path);
// Save (in place when the model has its own file) or Save As; `closing` asks first. False when
// cancelled or failed.
bool editorSaveModel(bool closing, bool saveAs);
// The save failure box: the message, then the system's reason on a line of its own.
void editorShowSaveFailure(const char* format, const char* path);
// The open failure box: the message, then the import's reason (when there is one) on its own line.
void editorShowModelFailure(const char* format, const char* path);
void editorUpdateMenu(void);
// After an edit: what changed becomes one Undo step; the title and the Edit menu follow.
void editorRecordStep(void);
// The library's list in slot order, the first slot current and highlighted (none without slots).
void editorFillTextureList(void);
// Asks for the lights file and saves them; false when the dialog was cancelled or the save failed.
bool editorSaveLightsAs(void);
