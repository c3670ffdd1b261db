// editor_extras.h: what the editor's GUI suites add to the driver: the fixture both suites build
// on (a scratch installation with the built editor and saver, the editor's process and its main
// and tool windows), the workspace's place by the layout rule, and the frames the library draws in
// the test process from the same model, matrices and render state, to compare with the window.
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

std::string editorLower(std::string text);
std::string editorWindowsFolder();
// The main window's title with this file name (lower-cased by the caller where the editor does).
std::string editorTitled(const std::string& name, bool edited = false);
std::string editorTitle(HWND main);

// <root>\App\Quirla.exe and Quirla.scr (copied from the build), Models, Lights, Textures, Help.
struct EditorInstall {
  std::string root;  // ends in a backslash
  std::string exe;
};
struct EditorWindowSet {
  HWND main, editMode, display, library, colour, lighting;
};
// Starts "<exe>" <arguments> and waits for the main window (class "Quirla") and its tool windows.
bool editorStart(DrvProcess* proc, const EditorInstall& install, const std::string& arguments, EditorWindowSet* w);
// The workspace square in the main window's client pixels, by the layout rule.
RECT editorWorkspace(const EditorWindowSet& w);
// The light preview in the lighting window's client pixels.
RECT editorLightPreview(HWND lighting);

// The editor's default lights, set in the test process.
void editorDefaultLights(void);
// The light preview against the library's frame of the light model under the lights now set in
// the test process: differing pixels, the first described in `first`; -1 when not drawn.
long editorLightDifferences(HWND lighting, std::string* first);

class EditorFixture : public ::testing::Test {
 protected:
  EditorInstall install;
  DrvProcess proc = {};
  EditorWindowSet w = {};

  // Makes the scratch installation (forgotten in TearDown) and the test process's renderer.
  void prepare(const char* installName);
  void TearDown() override;
  std::string model(const char* name) const { return install.root + "Models\\" + name; }
  // The workspace against the library's frame of `path` at `flags`, after `change` edited the
  // test's own state with the model installed by the editor's rules (its renderer is set up for
  // picking when it runs): as editorLightDifferences.
  long against(const std::string& path, int32_t flags, std::string* first,
               const std::function<void(EditorState&)>& change = nullptr);
  // Presses the button and waits until the editor has handled it.
  void click(HWND dialog, int id);
  // The box the editor shows, after checking its title and icon, answered with `button`.
  std::string box(int button = IDOK, const char* title = EDITOR_TITLE, DrvIcon icon = DRV_ICON_EXCLAMATION);
};
