// editor_extras.h: what the editor's GUI suites add to the driver: a scratch installation with the
// built editor and saver, starting the editor and finding its main and tool windows, the
// workspace's place by the layout rule, the frames the library draws in the test process from
// the same model, matrices and render state, to compare with the editor's window, and the
// fixture both editor suites build on.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "Editor.h"
#include "saver_extras.h"
#include "windriver.h"

const char* const EDITOR_TITLE = "Quirla Model Editor";
// Six facet colours for saverWriteCube.
const uint32_t EDITOR_SIX[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
// Files the editor must refuse: a model cut off in its vertex list, lights with a colour that is
// no number.
extern const char* const EDITOR_TRUNCATED_VXM;
extern const char* const EDITOR_BAD_VLT;

std::string editorLower(std::string text);
std::string editorWindowsFolder();
// The main window's title with this file name (lower-cased by the caller where the editor does).
std::string editorTitled(const std::string& name, bool edited = false);

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
// The light preview against the library's frame of the light model under the lights now set in
// the test process: differences as above, -1 when not drawn.
long editorLightDifferences(HWND lighting, std::string* first);

// What both editor suites' fixtures hold: a scratch installation (made by `prepare`, forgotten in
// TearDown), the editor's process and its windows.
class EditorFixture : public ::testing::Test {
 protected:
  EditorInstall install;
  DrvProcess proc = {};
  EditorWindowSet w = {};

  void prepare(const char* installName);
  void TearDown() override;
  std::string model(const char* name) const { return install.root + "Models\\" + name; }
  // The workspace against the library's frame of `path` at `flags`, after `change` edited the
  // test's own view (its renderer is set up for picking when it runs). Differences; -1 when not
  // drawn.
  long against(const std::string& path, int32_t flags, std::string* first,
               const std::function<void(EditorView&)>& change = nullptr);
  // Presses the button and waits until the editor has handled it.
  void click(HWND dialog, int id);
  // The box the editor shows, after checking its title and icon, answered with `button`.
  std::string box(int button = IDOK, const char* title = EDITOR_TITLE, DrvIcon icon = DRV_ICON_EXCLAMATION);
};
