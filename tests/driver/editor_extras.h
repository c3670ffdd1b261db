// editor_extras.h: what the editor's GUI suites add to the driver: a scratch installation with the
// built editor and saver, starting the editor and finding its main and tool windows, the
// workspace's place by the layout rule, and the frames the library draws in the test process
// from the same model, matrices and render state, to compare with the editor's window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Editor.h"
#include "saver_extras.h"
#include "windriver.h"

// <root>\App\Quirla.exe and Quirla.scr (copied from the build), Models, Lights, Textures, Help.
struct EditorInstall {
  std::string root;  // ends in a backslash
  std::string exe;
};
bool editorMakeInstall(const char* name, EditorInstall* install);
void editorForgetInstall(const EditorInstall* install);

struct EditorWindowSet {
  HWND main, editMode, display, library, colour, lighting;
};
// Starts "<exe>" <arguments> and waits for the main window (class "Quirla") and its tool windows.
bool editorStart(DrvProcess* proc, const EditorInstall& install, const std::string& arguments, EditorWindowSet* w);
// A tool window of the main window: the child dialog that holds control `id` with `text`.
HWND editorToolWindow(HWND main, int id, const char* text);
bool editorFindTools(HWND main, EditorWindowSet* w);
// The workspace square in the main window's client pixels, by the layout rule.
RECT editorWorkspace(const EditorWindowSet& w);
// The light preview in the lighting window's client pixels.
RECT editorLightPreview(HWND lighting);
// The window title; the editor's message box of the process by its title.
std::string editorTitle(HWND main);

// A model as the test process draws it: loaded, installed in a state of its own with the editor's
// rules, and rendered into a workspace of `side` pixels with the default lights.
struct EditorView {
  EditorState state;
  VxmBitmap* bitmap;
};
// The test process's renderer, the editor's default lights and the installation folder (after
// editorMakeInstall).
bool editorTestProcessInit(void);
void editorDefaultLights(void);
bool editorViewOpen(EditorView* view, const std::string& path, int side);
// Renders with `flags` over `background` (0xRRGGBB): what the editor's workspace shows.
bool editorViewRender(EditorView* view, int32_t flags, uint32_t background = 0);
void editorViewClose(EditorView* view);
// Pixels of the window's client area at (left, top) that differ from the bitmap (row 0 at the
// bottom); the first difference is described in `first`.
long editorDifferences(HWND window, int left, int top, const VxmBitmap* bitmap, std::string* first);
