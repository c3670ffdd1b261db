// editor_test.cpp: the editor's start-up, main window and tool windows under Wine: the command
// line with the light preview, the layout with its exact workspace pixels, the tool windows'
// templates and rules, the highlight spread, the close prompts, the system's copy of the saver,
// and the saver's "Editor..." button reaching the real editor.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "editor_extras.h"

namespace {

// A cube with averaged vertex normals (smooth shading possible) and the highlight as given.
bool writeSmoothCube(const std::string& path, bool highlight = false, int spread = 90) {
  if (!saverWriteCube(path, EDITOR_SIX)) return false;
  char text[8192];
  if (!drvReadFile(path.c_str(), text, sizeof text)) return false;
  std::string s = text;
  const std::string swaps[][2] = {{"Vertex normals: No", "Vertex normals: Average"},
                                  {"Highlight: No", highlight ? "Highlight: Yes" : "Highlight: No"},
                                  {"Highlight Value: 90", "Highlight Value: " + std::to_string(spread)}};
  for (const auto& swap : swaps) {
    const size_t at = s.find(swap[0]);
    if (at != std::string::npos) s.replace(at, swap[0].size(), swap[1]);
  }
  return drvWriteFile(path.c_str(), s.c_str());
}

struct Editor : EditorFixture {
  void SetUp() override { prepare("editor main"); }  // a blank in the path on purpose
  void start(const std::string& arguments = "") {
    drvKill(&proc);
    ASSERT_TRUE(editorStart(&proc, install, arguments, &w));
  }
  int check(HWND dialog, int id) const { return drvCheckState(drvControl(dialog, id)); }
  bool enabled(HWND dialog, int id) const { return drvIsEnabled(drvControl(dialog, id)); }
};

// --- Start-up and the command line ------------------------------------------------------------------

TEST_F(Editor, StartsInTheModeOfWhatTheCommandLineOpensAndRecordsItsInstallation) {
  drvRegDeleteValue(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath");
  ASSERT_TRUE(drvMakeFolders((install.root + "My Models").c_str()));
  const std::string cube = install.root + "My Models\\Cube Model.VXM", sunset = install.root + "Lights\\sunset.vlt";
  ASSERT_TRUE(saverWriteCube(cube, EDITOR_SIX));
  ASSERT_TRUE(saverWriteLights(sunset, 0x402010, 0xFFC080, 0.5f, -1.0f, 0.25f));
  struct Case {
    std::string arguments, model, lights;  // the model drawn, the lights the preview shows
  };
  // Only the first name counts, and a light file loads no model: the model is drawn with the
  // default lights, the lights come without a model.
  const Case cases[] = {{"", "", ""},
                        {'"' + cube + "\" \"" + sunset + "\"", cube, ""},
                        {'"' + sunset + "\" \"" + cube + "\"", "", sunset}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    start(c.arguments);
    const bool withModel = !c.model.empty();
    EXPECT_EQ(editorTitle(w.main), withModel ? editorTitled(editorLower(c.model)) : EDITOR_TITLE);
    // A model opens in the Colour mode with all three methods, else the Lighting mode without Texture.
    EXPECT_EQ(drvIsVisible(w.colour), withModel);
    EXPECT_EQ(drvIsVisible(w.lighting), !withModel);
    EXPECT_FALSE(drvIsVisible(w.library));
    EXPECT_EQ(check(w.editMode, withModel ? 1043 : 1044), BST_CHECKED);
    EXPECT_EQ(check(w.display, 1055), withModel ? BST_CHECKED : BST_UNCHECKED);
    for (int id : {1054, 1056}) EXPECT_EQ(check(w.display, id), BST_CHECKED) << id;
    EXPECT_TRUE(enabled(w.display, 1056));
    EXPECT_FALSE(enabled(w.display, 1057));  // no vertex normals
    std::string first;
    EXPECT_EQ(against(c.model, withModel ? 7 : 0, &first), 0) << first;  // black without a model
    if (withModel) continue;
    for (int id : {1084, 1058, 1059}) EXPECT_FALSE(enabled(w.lighting, id)) << id;
    if (c.lights.empty()) {
      editorDefaultLights();
    } else {
      ASSERT_TRUE(vxmLightLoadVLT(c.lights.c_str()));
    }
    EXPECT_EQ(editorLightDifferences(w.lighting, &first), 0) << first;
    // The tool windows on the right sit at the client's right edge.
    RECT client, lit;
    GetClientRect(w.main, &client);
    GetWindowRect(w.lighting, &lit);
    MapWindowPoints(nullptr, w.main, reinterpret_cast<POINT*>(&lit), 2);
    EXPECT_EQ(lit.right, client.right);
    EXPECT_EQ(lit.top, 0);
  }
  char stored[MAX_PATH] = "";
  ASSERT_TRUE(drvRegGetString(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath", stored, sizeof stored));
  EXPECT_EQ(std::string(stored) + (install.root.back() == '\\' && stored[strlen(stored) - 1] != '\\' ? "\\" : ""),
            install.root);
  // Fourteen tips for the tool windows' controls.
  HWND tips = drvFindWindow("tooltips_class32", nullptr, proc.id);
  if (!tips) tips = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr);
  ASSERT_NE(tips, nullptr);
  LRESULT count = 0;
  ASSERT_TRUE(drvSend(tips, TTM_GETTOOLCOUNT, 0, 0, &count));
  EXPECT_EQ(count, 14);
}

TEST_F(Editor, TheWorkspaceStaysSquareAndTheWindowAtLeast450Wide) {
  ASSERT_TRUE(saverWriteCube(model("cube.vxm"), EDITOR_SIX));
  start('"' + model("cube.vxm") + "\"");
  std::string first;
  for (SIZE size : {SIZE{900, 440}, SIZE{520, 700}, SIZE{640, 440}}) {
    SCOPED_TRACE(size.cx);
    ASSERT_TRUE(SetWindowPos(w.main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    drvSync(w.main, DRV_TIMEOUT);
    RECT client, colour;
    GetClientRect(w.main, &client);
    GetWindowRect(w.colour, &colour);
    MapWindowPoints(nullptr, w.main, reinterpret_cast<POINT*>(&colour), 2);
    // The tool window sits at the right edge; the workspace's side is editorWorkspaceSide's, and
    // the picture drawn there proves the editor uses it.
    EXPECT_EQ(colour.left, client.right - (colour.right - colour.left));
    EXPECT_EQ(against(model("cube.vxm"), 7, &first), 0) << first;
  }
  // Dragging an edge: the rectangle is held at 450 wide and down to the lighting window plus 24.
  RECT mainRect, lightRect;
  GetWindowRect(w.main, &mainRect);
  GetWindowRect(w.lighting, &lightRect);
  RECT dragged = {100, 100, 300, 150};
  LRESULT r;
  ASSERT_TRUE(drvSend(w.main, WM_SIZING, WMSZ_BOTTOMRIGHT, (LPARAM)&dragged, &r));
  EXPECT_EQ(dragged.left, 100);
  EXPECT_EQ(dragged.right, 550);
  EXPECT_EQ(dragged.bottom - dragged.top, lightRect.bottom - mainRect.top + 24);
}

// --- Tool windows ------------------------------------------------------------------------------------

TEST_F(Editor, ToolWindowsHoldTheirControlsAtTheirPlaces) {
  start();
  // Each window's size, then its controls' texts and places, in dialog units.
  struct Control {
    int id;
    const char* text;
    int x, y, cx, cy;
  };
  struct Window {
    HWND* window;
    int cx, cy;
    std::vector<Control> controls;
  };
  const Window windows[] = {
      {&w.editMode, 86, 47,
       {{1043, "Edit Colour", 6, 12, 24, 25}, {1042, "Edit Texture", 30, 12, 24, 25},
        {1044, "Edit Lighting", 54, 12, 24, 25}}},
      {&w.display, 86, 86,
       {{1048, "View Options", 3, 0, 78, 48}, {1054, "Colour", 6, 9, 24, 25}, {1055, "Texture", 30, 9, 24, 25},
        {1056, "Lighting", 54, 9, 24, 25}, {1057, "Smooth Shading", 6, 36, 70, 10}, {1095, "Change...", 40, 64, 36, 14},
        {1096, "", 7, 62, 30, 18}}},
      {&w.library, 86, 167,
       {{1077, "Current Texture", 3, 3, 78, 162}, {1083, "", 6, 15, 72, 36}, {1008, "", 6, 54, 72, 63},
        {1046, "Apply", 6, 120, 24, 25}, {1047, "Remove", 30, 120, 24, 25}, {1043, "Delete", 54, 120, 24, 25},
        {1079, "Wrap Mode", 6, 150, 69, 10}}},
      {&w.colour, 86, 38, {{1053, "Change...", 39, 15, 36, 14}, {1075, "", 6, 12, 30, 18}}},
      {&w.lighting, 86, 179,
       {{1081, "Current Lighting", 3, 3, 78, 138}, {1071, "", 6, 21, 30, 18}, {1046, "Change...", 39, 24, 36, 14},
        {1072, "", 6, 51, 30, 18}, {1048, "Change...", 39, 54, 36, 15}, {1084, "Model Highlight", 3, 144, 78, 33},
        {1058, "Highlight", 6, 153, 43, 10}, {1059, "", 6, 165, 69, 10}}},
  };
  for (const Window& window : windows) {
    RECT r;
    ASSERT_TRUE(drvControlRectDlu(w.main, *window.window, nullptr, 0, &r));
    EXPECT_NEAR(r.right - r.left, window.cx, 1);
    EXPECT_NEAR(r.bottom - r.top, window.cy, 1);
    if (*window.window == w.display) {
      EXPECT_EQ(r.top, 50);
    }
    for (const Control& c : window.controls) {
      SCOPED_TRACE(c.id);
      HWND control = drvControl(*window.window, c.id);
      ASSERT_NE(control, nullptr);
      char text[64] = "";
      drvGetTextNow(control, text, sizeof text);
      EXPECT_STREQ(text, c.text);
      ASSERT_TRUE(drvControlRectDlu(*window.window, control, nullptr, 0, &r));
      EXPECT_EQ(r.left, c.x);
      EXPECT_EQ(r.top, c.y);
      EXPECT_NEAR(r.right - r.left, c.cx, 1);
      EXPECT_NEAR(r.bottom - r.top, c.cy, 1);
    }
  }
  // Each edit mode shows its own window on the right and hides the other two.
  for (int id : {1042, 1043, 1044}) {
    click(w.editMode, id);
    EXPECT_EQ(drvIsVisible(w.library), id == 1042) << id;
    EXPECT_EQ(drvIsVisible(w.colour), id == 1043) << id;
    EXPECT_EQ(drvIsVisible(w.lighting), id == 1044) << id;
  }
  // The icon buttons carry their icons.
  for (HWND dialog : {w.editMode, w.display})
    for (int id : {1043, 1042, 1044, 1054, 1055, 1056})
      if (HWND b = GetDlgItem(dialog, id)) {
        EXPECT_NE(SendMessageA(b, BM_GETIMAGE, IMAGE_ICON, 0), 0) << id;
      }
}

TEST_F(Editor, DisplayOptionsLightingNeedsColourOrTextureAndSmoothNeedsNormals) {
  ASSERT_TRUE(writeSmoothCube(model("smooth.vxm")));
  start('"' + model("smooth.vxm") + "\"");
  EXPECT_TRUE(enabled(w.display, 1057));
  struct Step {
    int click;
    int32_t flags;  // what the workspace must show afterwards
    bool lightingEnabled, smoothEnabled;
  };
  const Step steps[] = {
      // The rules themselves are proven on the host; these steps prove the toggles reach them.
      {1057, 1 | 2 | 8, true, true},   // smooth shading replaces flat lighting
      {1056, 1 | 2, true, false},      // lighting off clears both bits
      {1054, 2, true, false},
      {1055, 0, false, false},         // neither colour nor texture: no lighting at all
  };
  std::string first;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.click);
    click(w.display, s.click);
    EXPECT_EQ(enabled(w.display, 1056), s.lightingEnabled);
    EXPECT_EQ(enabled(w.display, 1057), s.smoothEnabled);
    EXPECT_EQ(against(model("smooth.vxm"), s.flags, &first), 0) << first;
  }
}

TEST_F(Editor, TheSpreadScrollBarMovesByLinesPagesAndThumbWithinZeroToHundred) {
  ASSERT_TRUE(writeSmoothCube(model("shiny.vxm"), true, 40));
  start('"' + model("shiny.vxm") + "\"");
  click(w.editMode, 1044);
  ASSERT_TRUE(drvIsVisible(w.lighting));
  EXPECT_EQ(check(w.lighting, 1058), BST_CHECKED);
  ASSERT_TRUE(enabled(w.lighting, 1059));
  HWND bar = drvControl(w.lighting, 1059);
  int position = -1;
  ASSERT_TRUE(drvScrollPos(bar, &position));
  EXPECT_EQ(position, 40);
  struct Move {
    int code, thumb, expected;
  };
  const Move moves[] = {{SB_LINERIGHT, 0, 41}, {SB_PAGERIGHT, 0, 51}, {SB_THUMBTRACK, 97, 97},
                        {SB_PAGERIGHT, 0, 100}, {SB_LINELEFT, 0, 99}, {SB_ENDSCROLL, 0, 99},
                        {SB_THUMBTRACK, 3, 3},  {SB_PAGELEFT, 0, 0}};
  for (const Move& m : moves) {
    LRESULT r;
    ASSERT_TRUE(drvSend(w.lighting, WM_HSCROLL, MAKEWPARAM(m.code, m.thumb), (LPARAM)bar, &r));
    ASSERT_TRUE(drvScrollPos(bar, &position));
    EXPECT_EQ(position, m.expected) << m.code;
  }
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(model("shiny.vxm")), true));
  // The model is drawn with the spread now set (released thumb: the workspace is redrawn).
  ASSERT_TRUE(drvSend(w.lighting, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), (LPARAM)bar, nullptr));
  std::string first;
  EXPECT_EQ(against(model("shiny.vxm"), 7, &first, [](EditorState& v) { v.model->highlightValue = 1; }), 0)
      << first;
  // Unticking the highlight disables the bar.
  click(w.lighting, 1058);
  EXPECT_FALSE(enabled(w.lighting, 1059));
}

// --- Closing -------------------------------------------------------------------------------------------

TEST_F(Editor, ClosingAsksForEditedLightsThenTheModelAndCancelKeepsItRunning) {
  ASSERT_TRUE(writeSmoothCube(model("edit.vxm")));
  start('"' + model("edit.vxm") + "\"");
  click(w.editMode, 1044);
  // Turn the light by dragging in the preview, and edit the model by ticking its highlight.
  RECT area = editorLightPreview(w.lighting);
  const int x = (area.left + area.right) / 2, y = (area.top + area.bottom) / 2;
  ASSERT_TRUE(drvPostMouse(w.lighting, WM_LBUTTONDOWN, x, y, MK_LBUTTON));
  ASSERT_TRUE(drvPostMouse(w.lighting, WM_MOUSEMOVE, x + 10, y + 5, MK_LBUTTON));
  ASSERT_TRUE(drvPostMouse(w.lighting, WM_LBUTTONUP, x + 10, y + 5, 0));
  click(w.lighting, 1058);
  const char* const LIGHTS = "LIGHTING has been edited.\n\nDo you wish to save your changes?";
  const char* const MODEL = "MODEL has been edited.\n\nDo you wish to save your changes?";
  // Cancel, or Yes then Cancel in the save dialog, keeps it running with the lights still edited;
  // No goes on to the model, where Cancel keeps it running too; No and No end it.
  const int answers[][2] = {{IDCANCEL, 0}, {IDYES, 0}, {IDNO, IDCANCEL}, {IDNO, IDNO}};
  for (const auto& a : answers) {
    ASSERT_TRUE(PostMessageA(w.main, WM_CLOSE, 0, 0));
    EXPECT_EQ(box(a[0]), LIGHTS);
    if (a[0] == IDYES) {
      HWND save = saverWaitWindow("#32770", "Save Lighting As", proc.id, DRV_TIMEOUT);
      ASSERT_NE(save, nullptr);
      ASSERT_TRUE(drvPostCommand(save, IDCANCEL));
      ASSERT_TRUE(drvWaitGone(save, DRV_TIMEOUT));
    }
    if (a[1]) {
      EXPECT_EQ(box(a[1]), MODEL);
    }
    if (a[1] == IDNO) break;
    drvSync(w.main, DRV_TIMEOUT);
    EXPECT_TRUE(drvIsRunning(&proc));
    EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(model("edit.vxm")), true));
  }
  DWORD code = 99;
  EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}

// A log-off or shut-down asks as closing does: Cancel refuses the end of the session and keeps the
// editor running with its edits; No lets the session end, and the end closes the editor.
TEST_F(Editor, TheEndOfTheSessionAsksAsClosingDoesAndCancelRefusesIt) {
  ASSERT_TRUE(writeSmoothCube(model("edit.vxm")));
  start('"' + model("edit.vxm") + "\"");
  click(w.lighting, 1058);  // the highlight: the model is edited
  const char* const MODEL = "MODEL has been edited.\n\nDo you wish to save your changes?";
  for (int answer : {IDCANCEL, IDNO}) {
    SCOPED_TRACE(answer);
    DWORD_PTR result = 99;
    std::thread ask([&] {
      SendMessageTimeoutA(w.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 2 * DRV_TIMEOUT, &result);
    });
    EXPECT_EQ(box(answer), MODEL);
    ask.join();
    EXPECT_EQ(result, answer == IDCANCEL ? 0u : 1u);
    EXPECT_TRUE(drvIsRunning(&proc));
    EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(model("edit.vxm")), true));
  }
  ASSERT_TRUE(PostMessageA(w.main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF));
  DWORD code = 99;
  EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}

// --- The saver's copy and the saver's button ---------------------------------------------------------

TEST_F(Editor, StartUpKeepsTheSystemsCopyOfTheSaverCurrent) {
  const std::string target = editorWindowsFolder() + "\\Quirla.scr", source = install.root + "App\\Quirla.scr";
  auto tenDaysOld = [](const std::string& path) {
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    ULARGE_INTEGER v = {{t.dwLowDateTime, t.dwHighDateTime}};
    v.QuadPart -= 10 * 864000000000ULL;
    t = {v.LowPart, v.HighPart};
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool ok = f != INVALID_HANDLE_VALUE && SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);
    return ok;
  };
  // A missing copy is made and an older one replaced; a newer one stays.
  struct Step {
    const char* copy;  // nullptr: none
    bool newer, replaced;
  };
  for (const Step& s : {Step{nullptr, false, true}, Step{"old copy", false, true}, Step{"newer copy", true, false}}) {
    SCOPED_TRACE(s.copy ? s.copy : "no copy");
    drvKill(&proc);
    DeleteFileA(target.c_str());
    if (s.copy) {
      ASSERT_TRUE(drvWriteFile(target.c_str(), s.copy));
      ASSERT_TRUE(tenDaysOld(s.newer ? source : target));
    }
    start();
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &a));
    ASSERT_TRUE(GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &b));
    EXPECT_EQ(a.nFileSizeLow, s.replaced ? b.nFileSizeLow : strlen(s.copy));
  }
  drvKill(&proc);
  DeleteFileA(target.c_str());
}

TEST_F(Editor, TheSaversEditorButtonOpensTheRealEditorOnItsModel) {
  ASSERT_TRUE(drvMakeFolders((install.root + "My Models").c_str()));
  const std::string path = install.root + "My Models\\ball model.vxm";
  ASSERT_TRUE(saverWriteCube(path, 0x0000FF));
  saverSetText("Model File", path);
  DrvProcess saver = {};
  ASSERT_TRUE(saverStart(&saver, '"' + install.root + "App\\Quirla.scr\" /c"));
  HWND dialog = saverWaitWindow("#32770", "Quirla Screensaver Configuration", saver.id, DRV_TIMEOUT);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(drvSync(dialog, DRV_TIMEOUT));
  ASSERT_TRUE(drvPressButton(dialog, 1083));
  const std::string title = editorTitled(editorLower(path));
  HWND main = saverWaitWindow("Quirla", title.c_str(), 0, DRV_TIMEOUT);
  EXPECT_NE(main, nullptr);
  if (main) {
    DWORD id = 0;
    GetWindowThreadProcessId(main, &id);
    proc.process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    proc.id = id;
  }
  drvKill(&saver);
}

}  // namespace
