// editor_test.cpp: the editor's start-up, main window and tool windows under Wine: the command
// line, the layout with its exact workspace pixels, the tool windows' templates and rules, the
// light preview, the highlight spread, the close prompts, the system's copy of the saver, and the
// saver's "Editor..." button reaching the real editor.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "editor_extras.h"

namespace {

// A cube with averaged vertex normals (smooth shading possible) and the highlight as given.
bool writeSmoothCube(const std::string& path, bool highlight = false, int spread = 90) {
  if (!saverWriteCube(path, EDITOR_SIX)) return false;
  char text[8192];
  if (!drvReadFile(path.c_str(), text, sizeof text)) return false;
  std::string s = text;
  auto swap = [&s](const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
  };
  swap("Vertex normals: No", "Vertex normals: Average");
  swap("Highlight: No", highlight ? "Highlight: Yes" : "Highlight: No");
  swap("Highlight Value: 90", "Highlight Value: " + std::to_string(spread));
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

// --- Start-up and layout -------------------------------------------------------------------------

TEST_F(Editor, WithoutAModelItStartsInTheLightingModeAndRecordsItsInstallation) {
  drvRegDeleteValue(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath");
  start();
  EXPECT_EQ(editorTitle(w.main), EDITOR_TITLE);
  char stored[MAX_PATH] = "";
  ASSERT_TRUE(drvRegGetString(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath", stored, sizeof stored));
  EXPECT_EQ(std::string(stored) + (install.root.back() == '\\' && stored[strlen(stored) - 1] != '\\' ? "\\" : ""),
            install.root);
  // Only the lighting window on the right; Colour and Lighting shown, Smooth Shading unusable.
  EXPECT_TRUE(drvIsVisible(w.lighting));
  EXPECT_FALSE(drvIsVisible(w.colour));
  EXPECT_FALSE(drvIsVisible(w.library));
  EXPECT_EQ(check(w.editMode, 1044), BST_CHECKED);
  EXPECT_EQ(check(w.display, 1054), BST_CHECKED);
  EXPECT_EQ(check(w.display, 1055), BST_UNCHECKED);
  EXPECT_EQ(check(w.display, 1056), BST_CHECKED);
  EXPECT_TRUE(enabled(w.display, 1056));
  EXPECT_FALSE(enabled(w.display, 1057));
  for (int id : {1084, 1058, 1059}) EXPECT_FALSE(enabled(w.lighting, id)) << id;
  // The tool windows on the right sit at the client's right edge, the workspace is black.
  RECT client, lit;
  GetClientRect(w.main, &client);
  GetWindowRect(w.lighting, &lit);
  MapWindowPoints(nullptr, w.main, reinterpret_cast<POINT*>(&lit), 2);
  EXPECT_EQ(lit.right, client.right);
  EXPECT_EQ(lit.top, 0);
  std::string first;
  EXPECT_EQ(against("", 0, &first), 0) << first;
  // Fourteen tips for the tool windows' controls.
  HWND tips = drvFindWindow("tooltips_class32", nullptr, proc.id);
  if (!tips) tips = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr);
  ASSERT_NE(tips, nullptr);
  LRESULT count = 0;
  ASSERT_TRUE(drvSend(tips, TTM_GETTOOLCOUNT, 0, 0, &count));
  EXPECT_EQ(count, 14);
}

TEST_F(Editor, TheLightPreviewIsTheLibrarysFrameOfTheLightModel) {
  const std::string sunset = install.root + "Lights\\sunset.vlt";
  ASSERT_TRUE(saverWriteLights(sunset, 0x402010, 0xFFC080, 0.5f, -1.0f, 0.25f));
  for (bool fromFile : {false, true}) {
    SCOPED_TRACE(fromFile ? "sunset.vlt" : "default lights");
    start(fromFile ? "\"" + sunset + "\"" : "");
    EXPECT_EQ(editorTitle(w.main), EDITOR_TITLE);
    EXPECT_TRUE(drvIsVisible(w.lighting));
    if (fromFile) {
      ASSERT_TRUE(vxmLightLoadVLT(sunset.c_str()));
    } else {
      editorDefaultLights();
    }
    std::string first;
    EXPECT_EQ(editorLightDifferences(w.lighting, &first), 0) << first;
  }
}

TEST_F(Editor, TheWorkspaceStaysSquareAndTheWindowAtLeast450Wide) {
  ASSERT_TRUE(saverWriteCube(model("cube.vxm"), EDITOR_SIX));
  start("\"" + model("cube.vxm") + "\"");
  std::string first;
  for (SIZE size : {SIZE{900, 440}, SIZE{520, 700}, SIZE{640, 440}}) {
    SCOPED_TRACE(size.cx);
    ASSERT_TRUE(SetWindowPos(w.main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    drvSync(w.main, DRV_TIMEOUT);
    RECT client, ws = editorWorkspace(w), colour;
    GetClientRect(w.main, &client);
    GetWindowRect(w.colour, &colour);
    MapWindowPoints(nullptr, w.main, reinterpret_cast<POINT*>(&colour), 2);
    const int side = ws.right - ws.left;
    // A wide window leaves room right of the square, a tall one below it.
    if (size.cx == 900) {
      EXPECT_EQ(side, client.bottom - 26);
    }
    if (size.cy == 700) {
      EXPECT_EQ(side, client.right - (colour.right - colour.left) - ws.left - 5);
    }
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

// --- The command line ------------------------------------------------------------------------------

TEST_F(Editor, AQuotedModelWithBlanksOpensLowerCasedInTheColourMode) {
  ASSERT_TRUE(drvMakeFolders((install.root + "My Models").c_str()));
  const std::string path = install.root + "My Models\\Cube Model.VXM";
  ASSERT_TRUE(saverWriteCube(path, EDITOR_SIX));
  start("\"" + path + "\"");
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(path)));
  EXPECT_TRUE(drvIsVisible(w.colour));
  EXPECT_FALSE(drvIsVisible(w.lighting));
  EXPECT_EQ(check(w.editMode, 1043), BST_CHECKED);
  for (int id : {1054, 1055, 1056}) EXPECT_EQ(check(w.display, id), BST_CHECKED) << id;
  EXPECT_FALSE(enabled(w.display, 1057));  // no vertex normals
  std::string first;
  EXPECT_EQ(against(path, 7, &first), 0) << first;
}

TEST_F(Editor, OnlyTheFirstOfTwoNamesCountsAndALightFileLoadsNoModel) {
  ASSERT_TRUE(saverWriteCube(model("a.vxm"), EDITOR_SIX));
  ASSERT_TRUE(saverWriteLights(install.root + "Lights\\b.vlt", 0x102030, 0x405060));
  start("\"" + model("a.vxm") + "\" \"" + install.root + "Lights\\b.vlt\"");
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(model("a.vxm"))));
  std::string first;
  EXPECT_EQ(against(model("a.vxm"), 7, &first), 0) << first;  // default lights
  start("\"" + install.root + "Lights\\b.vlt\" \"" + model("a.vxm") + "\"");
  EXPECT_EQ(editorTitle(w.main), EDITOR_TITLE);
  EXPECT_TRUE(drvIsVisible(w.lighting));
}

TEST_F(Editor, FilesThatFailToLoadAreReportedAndTheEditorRunsOn) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* format;
  };
  const Case cases[] = {
      {"truncated.vxm", EDITOR_TRUNCATED_VXM, "Failed to open model\n'%s'."},
      {"huge.vxm",
       "VOXIM Model Format\r\nVersion: 2.10\r\nNumber of vertices: 2000000000\r\nNumber of facets: 2000000000\r\n",
       "Failed to open model\n'%s'."},
      {"picture.vxm", "BM6\x01\x01\x01 not a model at all", "Failed to open model\n'%s'."},
      {"missing.vxm", "", "Failed to open model\n'%s'."},
      {"bad.vlt", EDITOR_BAD_VLT, "Failed to load lights\n'%s'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = install.root + "Models\\" + c.name;
    if (std::strcmp(c.name, "missing.vxm") != 0) {
      ASSERT_TRUE(drvWriteFile(path.c_str(), c.bytes.c_str()));
    }
    std::string line = "\"" + install.exe + "\" \"" + path + "\"";
    ASSERT_TRUE(saverStart(&proc, line));
    char expected[600];
    snprintf(expected, sizeof expected, c.format, editorLower(path).c_str());
    EXPECT_EQ(box(), expected);
    HWND main = saverWaitWindow("Quirla", nullptr, proc.id, DRV_TIMEOUT);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(drvSync(main, DRV_TIMEOUT));
    EXPECT_EQ(editorTitle(main), EDITOR_TITLE);
    EXPECT_TRUE(drvIsRunning(&proc));
    drvKill(&proc);
  }
}

// --- Tool windows ------------------------------------------------------------------------------------

TEST_F(Editor, ToolWindowsHoldTheirControlsAtTheirPlaces) {
  start();
  struct Place {
    HWND* window;
    int id;
    const char* text;
    int x, y, cx, cy;
  };
  const Place places[] = {
      {&w.editMode, 1043, "Edit Colour", 6, 12, 24, 25},   {&w.editMode, 1042, "Edit Texture", 30, 12, 24, 25},
      {&w.editMode, 1044, "Edit Lighting", 54, 12, 24, 25}, {&w.display, 1048, "View Options", 3, 0, 78, 48},
      {&w.display, 1054, "Colour", 6, 9, 24, 25},          {&w.display, 1055, "Texture", 30, 9, 24, 25},
      {&w.display, 1056, "Lighting", 54, 9, 24, 25},       {&w.display, 1057, "Smooth Shading", 6, 36, 70, 10},
      {&w.display, 1095, "Change...", 40, 64, 36, 14},     {&w.display, 1096, "", 7, 62, 30, 18},
      {&w.library, 1077, "Current Texture", 3, 3, 78, 162}, {&w.library, 1083, "", 6, 15, 72, 36},
      {&w.library, 1008, "", 6, 54, 72, 63},               {&w.library, 1046, "Apply", 6, 120, 24, 25},
      {&w.library, 1047, "Remove", 30, 120, 24, 25},       {&w.library, 1043, "Delete", 54, 120, 24, 25},
      {&w.library, 1079, "Wrap Mode", 6, 150, 69, 10},     {&w.colour, 1053, "Change...", 39, 15, 36, 14},
      {&w.colour, 1075, "", 6, 12, 30, 18},                {&w.lighting, 1081, "Current Lighting", 3, 3, 78, 138},
      {&w.lighting, 1071, "", 6, 21, 30, 18},              {&w.lighting, 1046, "Change...", 39, 24, 36, 14},
      {&w.lighting, 1072, "", 6, 51, 30, 18},              {&w.lighting, 1048, "Change...", 39, 54, 36, 15},
      {&w.lighting, 1084, "Model Highlight", 3, 144, 78, 33}, {&w.lighting, 1058, "Highlight", 6, 153, 43, 10},
      {&w.lighting, 1059, "", 6, 165, 69, 10},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.id);
    HWND control = drvControl(*p.window, p.id);
    ASSERT_NE(control, nullptr);
    char text[64] = "";
    drvGetTextNow(control, text, sizeof text);
    EXPECT_STREQ(text, p.text);
    RECT r;
    ASSERT_TRUE(drvControlRectDlu(*p.window, control, nullptr, 0, &r));
    EXPECT_EQ(r.left, p.x);
    EXPECT_EQ(r.top, p.y);
    EXPECT_NEAR(r.right - r.left, p.cx, 1);
    EXPECT_NEAR(r.bottom - r.top, p.cy, 1);
  }
  // The windows' own sizes, and the display window 50 units below the top.
  struct Size {
    HWND* window;
    int cx, cy;
  };
  for (const Size& s : {Size{&w.editMode, 86, 47}, Size{&w.display, 86, 86}, Size{&w.library, 86, 167},
                        Size{&w.colour, 86, 38}, Size{&w.lighting, 86, 179}}) {
    RECT r;
    ASSERT_TRUE(drvControlRectDlu(w.main, *s.window, nullptr, 0, &r));
    EXPECT_NEAR(r.right - r.left, s.cx, 1);
    EXPECT_NEAR(r.bottom - r.top, s.cy, 1);
  }
  RECT d;
  ASSERT_TRUE(drvControlRectDlu(w.main, w.display, nullptr, 0, &d));
  EXPECT_EQ(d.top, 50);
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
  start("\"" + model("smooth.vxm") + "\"");
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
  start("\"" + model("shiny.vxm") + "\"");
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
  EXPECT_EQ(against(model("shiny.vxm"), 7, &first, [](EditorView& v) { v.state.model->highlightValue = 1; }), 0)
      << first;
  // Unticking the highlight disables the bar.
  click(w.lighting, 1058);
  EXPECT_FALSE(enabled(w.lighting, 1059));
}

// --- Closing -------------------------------------------------------------------------------------------

TEST_F(Editor, ClosingAsksForEditedLightsThenTheModelAndCancelKeepsItRunning) {
  ASSERT_TRUE(writeSmoothCube(model("edit.vxm")));
  start("\"" + model("edit.vxm") + "\"");
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
  auto close = [&] { ASSERT_TRUE(PostMessageA(w.main, WM_CLOSE, 0, 0)); };
  close();
  EXPECT_EQ(box(IDCANCEL), LIGHTS);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_TRUE(drvIsRunning(&proc));
  // Yes, then Cancel in the save dialog: still running, and the lights still count as edited.
  close();
  EXPECT_EQ(box(IDYES), LIGHTS);
  HWND save = saverWaitWindow("#32770", "Save Lighting As", proc.id, DRV_TIMEOUT);
  ASSERT_NE(save, nullptr);
  ASSERT_TRUE(drvPostCommand(save, IDCANCEL));
  ASSERT_TRUE(drvWaitGone(save, DRV_TIMEOUT));
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_TRUE(drvIsRunning(&proc));
  close();
  EXPECT_EQ(box(IDNO), LIGHTS);
  EXPECT_EQ(box(IDCANCEL), MODEL);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_TRUE(drvIsRunning(&proc));
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(model("edit.vxm")), true));
  // No and No: the editor ends with code 0.
  close();
  EXPECT_EQ(box(IDNO), LIGHTS);
  EXPECT_EQ(box(IDNO), MODEL);
  DWORD code = 99;
  EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, 0u);
}

// --- The saver's copy and the saver's button ---------------------------------------------------------

TEST_F(Editor, StartUpKeepsTheSystemsCopyOfTheSaverCurrent) {
  const std::string target = editorWindowsFolder() + "\\Quirla.scr";
  const std::string source = install.root + "App\\Quirla.scr";
  DeleteFileA(target.c_str());
  start();
  ASSERT_TRUE(drvFileExists(target.c_str()));
  drvKill(&proc);
  // An older copy is replaced; a newer one stays.
  auto stamp = [](const std::string& path, int daysAgo) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME t;
    SystemTimeToFileTime(&now, &t);
    ULARGE_INTEGER v = {{t.dwLowDateTime, t.dwHighDateTime}};
    v.QuadPart -= (ULONGLONG)daysAgo * 864000000000ULL;
    t = {v.LowPart, v.HighPart};
    bool ok = f != INVALID_HANDLE_VALUE && SetFileTime(f, nullptr, nullptr, &t);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return ok;
  };
  ASSERT_TRUE(drvWriteFile(target.c_str(), "old copy"));
  ASSERT_TRUE(stamp(target, 10));
  start();
  WIN32_FILE_ATTRIBUTE_DATA a, b;
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &a));
  ASSERT_TRUE(GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &b));
  EXPECT_EQ(a.nFileSizeLow, b.nFileSizeLow);
  drvKill(&proc);
  ASSERT_TRUE(drvWriteFile(target.c_str(), "newer copy"));
  ASSERT_TRUE(stamp(source, 10));
  start();
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, strlen("newer copy"));
  DeleteFileA(target.c_str());
}

TEST_F(Editor, TheSaversEditorButtonOpensTheRealEditorOnItsModel) {
  ASSERT_TRUE(drvMakeFolders((install.root + "My Models").c_str()));
  const std::string path = install.root + "My Models\\ball model.vxm";
  ASSERT_TRUE(saverWriteCube(path, 0x0000FF));
  saverSetText("Model File", path);
  DrvProcess saver = {};
  ASSERT_TRUE(saverStart(&saver, "\"" + install.root + "App\\Quirla.scr\" /c"));
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
