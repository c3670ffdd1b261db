// editor_tools_test.cpp: the editor's workspace tools and commands under Wine: the mouse tools
// chosen by the whole key-flag value, turning the model and Snap to Axes, painting a facet and
// Save As without an unapplied texture preview, New on a 3DS file, Copy Display, installing the
// screensaver on NT and Windows 98, the help page, the texture limit, Open Lights with edited
// lights, hostile files on the command line and through the real commands, and how Model Info
// and About end.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ChunkBytes.h"
#include "TestSupport.h"
#include "editor_extras.h"

namespace {

const int SIDE = 300;  // every test works in a workspace of this side
const float QUARTER = 1.5707964f;
enum : int {
  CMD_OPEN_TEXTURE = 40003, CMD_OPEN_LIGHTS = 40014, CMD_CONTENTS = 40017, CMD_ABOUT = 40018, CMD_SNAP = 40019,
  CMD_COPY_DISPLAY = 40027, CMD_EDIT_TEXTURE = 40035, CMD_SCREENSAVER = 40041, CMD_NEW = 40059,
  CMD_MODEL_INFO = 40058, CMD_OPEN = 40060, CMD_SAVE_AS = 40061,
  EDIT_COLOUR = 1043, EDIT_TEXTURE = 1042, EDIT_LIGHTING = 1044, APPLY = 1046,
};

// A cube from -1 to 1 whose twelve faces use the material "paint" of colour 0xRRGGBB.
std::string cube3ds(uint32_t colour) {
  std::string vertices = u16(8), faces = u16(12), listed = str("paint") + u16(12);
  for (int i = 0; i < 8; ++i) vertices += f32(i & 1 ? 1.f : -1.f) + f32(i & 2 ? 1.f : -1.f) + f32(i & 4 ? 1.f : -1.f);
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (int q = 0; q < 6; ++q) {
    const int* c = quads[q];
    faces += u16(c[0]) + u16(c[1]) + u16(c[2]) + u16(7) + u16(c[0]) + u16(c[2]) + u16(c[3]) + u16(7);
    listed += u16(2 * q) + u16(2 * q + 1);
  }
  const std::string rgb{char(colour >> 16), char(colour >> 8), char(colour)};
  const std::string paint =
      chunk(0xAFFF, chunk(0xA000, str("paint")) + chunk(0xA020, chunk(0x0011, rgb)));
  const std::string mesh = chunk(0x4110, vertices) + chunk(0x4120, faces + chunk(0x4130, listed));
  return chunk(0x4D4D, chunk(0x3D3D, paint + chunk(0x4000, str("cube") + chunk(0x4100, mesh))));
}

// Pixels of a rectangle of a window's client area.
std::vector<uint32_t> pixels(HWND window, const RECT& area) {
  DrvPicture shot = {};
  std::vector<uint32_t> out;
  if (!drvCapture(window, &shot)) return out;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) out.push_back(drvPixel(&shot, x, y));
  drvFreePicture(&shot);
  return out;
}

struct Tools : EditorFixture {
  RECT ws = {};
  std::string cube;

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(prepare("editor tools"));
    cube = model("cube.vxm");
    ASSERT_TRUE(saverWriteCube(cube, EDITOR_SIX));
    // The real pointer stays off the editor: Wine turns a released capture into a move there.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  // Starts the editor on `path` and sizes the main window for a workspace of SIDE pixels.
  void start(const std::string& path) {
    drvKill(&proc);
    ASSERT_TRUE(editorStart(&proc, install, path.empty() ? "" : "\"" + path + "\"", &w));
    RECT outer, client, mode, colour;
    GetWindowRect(w.main, &outer);
    GetClientRect(w.main, &client);
    GetWindowRect(w.editMode, &mode);
    GetWindowRect(w.colour, &colour);
    const int width = (mode.right - mode.left) + 5 + SIDE + 5 + (colour.right - colour.left) + 20;
    const int height = SIDE + 26;
    ASSERT_TRUE(SetWindowPos(w.main, nullptr, 0, 0, width + (outer.right - outer.left) - client.right,
                             height + (outer.bottom - outer.top) - client.bottom, SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(drvSync(w.main, DRV_TIMEOUT));
    ws = editorWorkspace(w);
    ASSERT_EQ(ws.right - ws.left, SIDE);
  }
  POINT centre(int dx = 0, int dy = 0) const { return {(ws.left + ws.right) / 2 + dx, (ws.top + ws.bottom) / 2 + dy}; }
  void command(int id) { ASSERT_TRUE(drvSend(w.main, WM_COMMAND, id, 0, nullptr)); }
  void post(int id) { ASSERT_TRUE(PostMessageA(w.main, WM_COMMAND, id, 0)); }
  void mouse(HWND window, UINT message, POINT p, WPARAM keys) {
    ASSERT_TRUE(drvSend(window, message, keys, MAKELPARAM(p.x, p.y), nullptr));
  }
  // Press at a, move to b and release, with `keys` held throughout; in the main window then a
  // plain move off the workspace, which ends any hover mark.
  void gesture(HWND window, POINT a, POINT b, WPARAM keys) {
    const WPARAM buttons = MK_LBUTTON | MK_RBUTTON, held = keys & ~buttons;
    mouse(window, keys & MK_LBUTTON ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, a, keys);
    mouse(window, WM_MOUSEMOVE, b, keys);
    if ((keys & buttons) == buttons) mouse(window, WM_RBUTTONUP, b, keys & ~MK_RBUTTON);
    mouse(window, keys & MK_LBUTTON ? WM_LBUTTONUP : WM_RBUTTONUP, b, held);
    if (window == w.main) mouse(window, WM_MOUSEMOVE, {ws.right + 2, ws.top + 2}, 0);
  }
  void ctrlClick(POINT p) { gesture(w.main, p, p, MK_LBUTTON | MK_CONTROL); }

  // The facet the test's view shows under client point p (y counted up from the bottom row).
  int pick(EditorState& view, POINT p) const {
    return vxmSelectionPick(view.selection, p.x - ws.left, SIDE - (p.y - ws.top));
  }
  static void turn(EditorState& view, const VxmMatrix& rotation) {
    view.rotation = rotation;
    view.model->matrix = view.baseMatrix;
    vxmMatMultiplyInPlace(&view.model->matrix, &rotation);
  }

  // Waits for the file dialog `title` and chooses `path` in it; `replacing` answers Yes to the
  // dialog's own question about an existing file.
  void choose(const char* title, const std::string& path, bool replacing = false) {
    HWND files = saverWaitWindow("#32770", title, proc.id, DRV_TIMEOUT);
    ASSERT_NE(files, nullptr) << title;
    drvSync(files, DRV_TIMEOUT);
    HWND name = drvFindChild(files, "Edit", nullptr);
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(drvSetText(name, path.c_str()));
    ASSERT_TRUE(drvPostCommand(files, IDOK));
    if (replacing) {
      DrvMessageBox replace;
      ASSERT_TRUE(drvWaitMessageBox(proc.id, DRV_TIMEOUT, &replace));
      EXPECT_STREQ(replace.title, title);
      ASSERT_TRUE(drvAnswer(&replace, IDYES));
    }
    ASSERT_TRUE(drvWaitGone(files, DRV_TIMEOUT));
  }
};

// --- Mouse tools ---------------------------------------------------------------------------------

TEST_F(Tools, TheWholeKeyFlagValueChoosesTheTool) {
  start(cube);
  struct Press {
    int mode;
    WPARAM keys;
  };
  // The choice itself is proven on the host; one press in each mode that matches no tool there
  // proves the whole value reaches it: primary with CTRL and SHIFT, both buttons, CTRL in Lighting.
  const Press none[] = {{EDIT_COLOUR, 13}, {EDIT_TEXTURE, 3}, {EDIT_LIGHTING, 9}};
  std::string first;
  for (const Press& p : none) {
    SCOPED_TRACE(testing::Message() << "mode " << p.mode << " keys " << p.keys);
    click(w.editMode, p.mode);
    gesture(w.main, centre(30, 20), centre(-60, 40), p.keys);
    EXPECT_EQ(against(cube, 7, &first), 0) << first;
  }
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(cube)));
  // The primary button alone, across the whole workspace: a turn of -3 radians about Y.
  click(w.editMode, EDIT_COLOUR);
  gesture(w.main, {ws.left, centre().y}, {ws.right, centre().y}, MK_LBUTTON);
  EXPECT_EQ(against(cube, 7, &first, [](EditorState& v) {
              VxmMatrix r;
              turn(v, *vxmMatRotateY(&r, -3.0f));
            }),
            0)
      << first;
  // The light preview turns only for one button alone.
  click(w.editMode, EDIT_LIGHTING);
  RECT area = editorLightPreview(w.lighting);
  const POINT mid = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
  for (WPARAM keys : {3, 13, 9, 10}) {
    SCOPED_TRACE(keys);
    gesture(w.lighting, mid, {mid.x + 15, mid.y + 10}, keys);
    EXPECT_EQ(editorLightDifferences(w.lighting, &first), 0) << first;
  }
  gesture(w.lighting, mid, {mid.x + 15, mid.y + 10}, MK_LBUTTON);
  EXPECT_GT(editorLightDifferences(w.lighting, &first), 0);
}

TEST_F(Tools, SnapToAxesTurnsEachAngleToTheNearestQuarter) {
  start(cube);
  struct Step {
    int degrees;   // the drag's turn about Y
    int quarters;  // the turn after snapping, counted from the start
  };
  const Step steps[] = {{50, 1}, {-50, 0}, {-40, 0}, {-50, -1}};
  std::string first;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.degrees);
    // The turn is -3 x (dx / width) radians: dx rounded to a pixel keeps it on the same side of 45.
    const int dx = (int)std::lround(-s.degrees * 3.14159265358979 / 180.0 / 3.0 * SIDE);
    gesture(w.main, centre(), centre(dx, 0), MK_LBUTTON);
    command(CMD_SNAP);
    EXPECT_EQ(against(cube, 7, &first, [&](EditorState& v) {
                VxmMatrix r;
                turn(v, *vxmMatRotateY(&r, (float)(s.quarters * (double)QUARTER)));
              }),
              0)
        << first;
  }
}

// --- Files ---------------------------------------------------------------------------------------

TEST_F(Tools, CtrlClickPaintsAndSaveAsLeavesOutAnUnappliedTexturePreview) {
  const std::string texture = install.root + "Textures\\sky.bmp";
  ASSERT_TRUE(saverWriteSolidBitmap(texture, 200, 200, 0x3080FF));
  start(cube);
  // CTRL and the primary button paint the facet under the pointer in the current colour.
  const POINT p = centre(40, 10), q = centre(-40, -10);
  ctrlClick(p);
  int painted = -1, selected = -1;  // by the test's own picking
  std::string first;
  EXPECT_EQ(against(cube, 7, &first, [&](EditorState& v) {
              painted = pick(v, p);
              selected = pick(v, q);
              if (painted < 0) return;
              v.model->tris[painted].colour = 0xC8C8C8;
              v.model->tris[painted].texture = nullptr;
            }),
            0)
      << first;
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(cube), true));
  ASSERT_GE(painted, 0);
  command(CMD_EDIT_TEXTURE);
  post(CMD_OPEN_TEXTURE);
  choose("Open Texture", texture);
  ctrlClick(q);  // selects the facet: the texture is previewed on it
  ASSERT_TRUE(drvIsEnabled(drvControl(w.library, APPLY)));
  ASSERT_GE(selected, 0);
  ASSERT_NE(painted, selected);
  const std::string unapplied = model("unapplied.vxm"), applied = model("applied.vxm");
  post(CMD_SAVE_AS);
  choose("Save Model As", unapplied);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_EQ(editorTitle(w.main), editorTitled(unapplied));
  // Apply makes the preview part of the model: the second file has it.
  pixels(w.main, ws);  // the preview is put on the facets when the workspace is drawn
  click(w.library, APPLY);
  post(CMD_SAVE_AS);
  choose("Save Model As", applied);
  drvSync(w.main, DRV_TIMEOUT);
  VxmModel* original = vxmModelLoad(cube.c_str());
  ASSERT_NE(original, nullptr);
  for (const std::string& path : {unapplied, applied}) {
    SCOPED_TRACE(path);
    VxmModel* saved = vxmModelLoad(path.c_str());
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->triCount, original->triCount);
    EXPECT_EQ(saved->textureCount, 1);
    for (int i = 0; i < saved->triCount; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(saved->tris[i].colour, i == painted ? 0xC8C8C8u : original->tris[i].colour);
      EXPECT_EQ(saved->tris[i].texture != nullptr, path == applied && i == selected);
    }
    vxmModelFree(saved);
  }
  vxmModelFree(original);
}

TEST_F(Tools, NewOnA3dsFileMakesAnUntitledGreyModel) {
  const std::string mesh = model("red cube.3ds");
  ASSERT_TRUE(testWriteFile(mesh, cube3ds(0xFF0000)));
  start(cube);
  post(CMD_NEW);
  choose("Choose Base Model", mesh);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_EQ(editorTitle(w.main), editorTitled("Untitled.vxm"));
  std::string first;
  bool wasRed = false;
  EXPECT_EQ(against(mesh, 7, &first, [&](EditorState& v) {
              for (int i = 0; i < v.model->triCount; ++i) {
                wasRed = wasRed || v.model->tris[i].colour == 0xFF0000;
                v.model->tris[i].colour = 0x7F7F7F;
              }
            }),
            0)
      << first;
  EXPECT_TRUE(wasRed);  // the file's own colour is what New replaced
}

TEST_F(Tools, CopyDisplayPutsTheWorkspaceOnTheClipboardAsA24BitDib) {
  start(cube);
  gesture(w.main, centre(), centre(40, 25), MK_LBUTTON);  // three faces: no symmetry hides a flip
  // At the fitted view, then zoomed in and moved: the clipboard holds what the workspace shows.
  for (int zoomed = 0; zoomed < 2; ++zoomed) {
    SCOPED_TRACE(zoomed ? "zoomed" : "fitted");
    if (zoomed) {
      for (int i = 0; i < 3; ++i) command(40066);  // Zoom In
      mouse(w.main, WM_MBUTTONDOWN, centre(), MK_MBUTTON);
      mouse(w.main, WM_MOUSEMOVE, centre(-35, 20), MK_MBUTTON);
      mouse(w.main, WM_MBUTTONUP, centre(-35, 20), 0);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    // Capturing draws the turned model now; Copy Display copies the frame last drawn.
    const std::vector<uint32_t> shown = pixels(w.main, ws);
    command(CMD_COPY_DISPLAY);
    ASSERT_EQ(shown.size(), (size_t)SIDE * SIDE);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_DIB);
    ASSERT_NE(data, nullptr);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(data));
    ASSERT_NE(dib, nullptr);
    const int stride = (SIDE * 3 + 3) & ~3;
    ASSERT_GE(GlobalSize(data), (SIZE_T)(40 + stride * SIDE));
    // The block's layout is proven on the host; here it holds the workspace's side.
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    EXPECT_EQ(header->biWidth, SIDE);
    EXPECT_EQ(header->biHeight, SIDE);
    long differences = 0;
    for (int y = 0; y < SIDE; ++y) {
      const uint8_t* row = dib + 40 + (size_t)(SIDE - 1 - y) * stride;  // bottom row first
      for (int x = 0; x < SIDE; ++x) {
        const uint32_t pixel = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
        differences += pixel != shown[(size_t)y * SIDE + x];
      }
    }
    EXPECT_EQ(differences, 0);
    GlobalUnlock(data);
    CloseClipboard();
  }
}

TEST_F(Tools, TheTwelfthTextureIsRefusedBeforeAnyDialogAndModelInfoAndAboutEndByTheirButtons) {
  // A model that already names twelve pictures.
  std::string list;
  for (int i = 0; i < 12; ++i) {
    std::string name = "Textures\\t";
    name += std::to_string(i) + ".bmp";
    ASSERT_TRUE(saverWriteSolidBitmap(install.root + name, 2, 2, 0x101010u * (i + 1)));
    list += name + "\r\n";
  }
  char text[8192] = "";
  ASSERT_TRUE(drvReadFile(cube.c_str(), text, sizeof text));
  std::string vxm = text;
  vxm.replace(vxm.find("Number of textures: 0"), 21, "Number of textures: 12");
  vxm.insert(vxm.find("Texture List:\r\n") + 15, list);
  const std::string full = model("full.vxm");
  ASSERT_TRUE(drvWriteFile(full.c_str(), vxm.c_str()));
  start(full);
  post(CMD_OPEN_TEXTURE);
  EXPECT_EQ(box(), "Maximum number of images already opened.\n\nYou must delete one or more before opening a new one.");
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_EQ(drvFindWindow("#32770", "Open Texture", proc.id), nullptr);
  EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(full)));
  // Model Info and About end on OK, Cancel or the close box only.
  struct Ending {
    int command;
    const char* title;
    UINT message;  // a button's id, or WM_CLOSE for the close box
  };
  for (const Ending& e : {Ending{CMD_MODEL_INFO, "Model Info", IDOK}, Ending{CMD_ABOUT, "About Quirla", IDCANCEL},
                          Ending{CMD_MODEL_INFO, "Model Info", WM_CLOSE}}) {
    SCOPED_TRACE(testing::Message() << e.title << " ended by " << e.message);
    post(e.command);
    HWND dialog = saverWaitWindow("#32770", e.title, proc.id, DRV_TIMEOUT);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(drvPostCommand(dialog, 12345));  // no control of theirs
    ASSERT_TRUE(drvSync(dialog, DRV_TIMEOUT));
    EXPECT_TRUE(drvIsVisible(dialog));
    if (e.message == WM_CLOSE) {
      ASSERT_TRUE(PostMessageA(dialog, WM_CLOSE, 0, 0));
    } else {
      ASSERT_TRUE(drvPostCommand(dialog, (int)e.message));
    }
    EXPECT_TRUE(drvWaitGone(dialog, DRV_TIMEOUT));
    drvSync(w.main, DRV_TIMEOUT);
  }
  EXPECT_TRUE(drvIsRunning(&proc));
}


TEST_F(Tools, OpenLightsAsksAboutEditedLightsOnlyAfterTheFileIsChosen) {
  const std::string dusk = install.root + "Lights\\dusk.vlt", dawn = install.root + "Lights\\dawn.vlt";
  const std::string kept = install.root + "Lights\\kept.vlt";
  ASSERT_TRUE(saverWriteLights(dusk, 0x402010, 0xFFC080, 0.5f, -1.0f, 0.25f));
  ASSERT_TRUE(saverWriteLights(dawn, 0x203040, 0x80C0FF, -0.5f, 0.2f, 1.0f));
  start(cube);
  click(w.editMode, EDIT_LIGHTING);
  RECT area = editorLightPreview(w.lighting);
  const POINT mid = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
  // Opens `path`, answering the question about the edited lights with `answer`.
  auto openLights = [&](const std::string& path, int answer) {
    post(CMD_OPEN_LIGHTS);
    choose("Open Lights", path);
    EXPECT_EQ(box(answer), "LIGHTING has been edited.\n\nDo you wish to save your changes?");
  };
  std::string first;
  // Cancel: the edited lights stay.
  gesture(w.lighting, mid, {mid.x + 20, mid.y - 10}, MK_LBUTTON);
  const std::vector<uint32_t> edited = pixels(w.lighting, area);
  openLights(dusk, IDCANCEL);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_EQ(pixels(w.lighting, area), edited);
  // No: the chosen lights replace them.
  openLights(dusk, IDNO);
  drvSync(w.main, DRV_TIMEOUT);
  ASSERT_TRUE(vxmLightLoadVLT(dusk.c_str()));
  EXPECT_EQ(editorLightDifferences(w.lighting, &first), 0) << first;
  // Yes: the edited lights are saved first, then the chosen ones load.
  gesture(w.lighting, mid, {mid.x - 10, mid.y + 20}, MK_LBUTTON);
  openLights(dawn, IDYES);
  choose("Save Lighting As", kept);
  drvSync(w.main, DRV_TIMEOUT);
  ASSERT_TRUE(vxmLightLoadVLT(dawn.c_str()));
  EXPECT_EQ(editorLightDifferences(w.lighting, &first), 0) << first;
  ASSERT_TRUE(vxmLightLoadVLT(kept.c_str()));
  EXPECT_EQ(vxmLightGetAmbient(), 0x402010u);  // dusk's colours, turned by the drag
  EXPECT_EQ(vxmLightGetDirectional(), 0xFFC080u);
  VxmVector saved, chosen = {0.5f, -1.0f, 0.25f};
  vxmLightGetDirection(&saved);
  vxmVecNormalise(&chosen);
  EXPECT_GT(std::fabs(saved.x - chosen.x) + std::fabs(saved.y - chosen.y) + std::fabs(saved.z - chosen.z), 0.1f);
}

TEST_F(Tools, HostileFilesAreRefusedAndChangeNothing) {
  const std::string truncated =
      "VOXIM Model Format\r\nVersion: 2.10\r\nNumber of vertices: 3\r\nNumber of facets: 1\r\n"
      "Number of textures: 0\r\nNumber of texture triangles: 0\r\nVertex normals: No\r\nHighlight: No\r\n"
      "Highlight Value: 90\r\nTexture List:\r\nVertex list:\r\n0 0 0\r\n1 0";
  const std::string badLights = "VOXIM Light Format\r\nVersion: 2.10\r\nAmbient Light:\r\nRed x\r\n";
  std::string huge = "BM" + u32(54 + 12) + u32(0) + u32(54) + u32(40) + u32(100000) + u32(100000) + u16(1) + u16(24);
  huge += std::string(24, '\0') + std::string(12, '\x7F');
  const char* const MODEL = "Failed to open model\n'%s'.";
  const char* const LIGHTS = "Failed to load lights\n'%s'.";
  struct Case {
    int command;  // 0: named on the command line, where the editor lower-cases the name
    const char* dialog;
    std::string path, bytes;  // no bytes: no file
    const char* message;
  };
  const Case cases[] = {
      {CMD_OPEN, "Open Model", model("truncated.vxm"), truncated, MODEL},
      {CMD_OPEN, "Open Model", model("corrupt.3ds"), "not a 3ds file, only words", MODEL},
      // An import's reason for refusing the file follows on a line of its own.
      {CMD_OPEN, "Open Model", model("odd.stl"), "solid odd\r\nwobble\r\n",
       "Failed to open model\n'%s'.\n\nLine 2: \"wobble\" is not an STL keyword."},
      {CMD_OPEN_TEXTURE, "Open Texture", install.root + "Textures\\huge.bmp", huge, "Failed to open texture\n'%s'."},
      {CMD_OPEN_LIGHTS, "Open Lights", install.root + "Lights\\bad.vlt", badLights, LIGHTS},
      {0, nullptr, model("Truncated.VXM"), truncated, MODEL},
      {0, nullptr, model("huge.vxm"),
       "VOXIM Model Format\r\nVersion: 2.10\r\nNumber of vertices: 2000000000\r\nNumber of facets: 2000000000\r\n", MODEL},
      {0, nullptr, model("picture.vxm"), "BM6\x01\x01\x01 not a model at all", MODEL},
      {0, nullptr, model("missing.vxm"), "", MODEL},
      {0, nullptr, install.root + "Lights\\bad.vlt", badLights, LIGHTS},
  };
  start(cube);
  std::string first;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (!c.bytes.empty()) {
      ASSERT_TRUE(testWriteFile(c.path, c.bytes));
    }
    char expected[600];
    snprintf(expected, sizeof expected, c.message, (c.command ? c.path : editorLower(c.path)).c_str());
    if (c.command) {
      post(c.command);
      choose(c.dialog, c.path);
      EXPECT_EQ(box(), expected);
      drvSync(w.main, DRV_TIMEOUT);
      EXPECT_EQ(editorTitle(w.main), editorTitled(editorLower(cube)));
      EXPECT_EQ(against(cube, 7, &first), 0) << first;
      continue;
    }
    // At start-up the box comes first, then the editor runs on without a model.
    drvKill(&proc);
    ASSERT_TRUE(saverStart(&proc, "\"" + install.exe + "\" \"" + c.path + "\""));
    EXPECT_EQ(box(), expected);
    HWND main = saverWaitWindow("Quirla", nullptr, proc.id, DRV_TIMEOUT);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(drvSync(main, DRV_TIMEOUT));
    EXPECT_EQ(editorTitle(main), EDITOR_TITLE);
    EXPECT_TRUE(drvIsRunning(&proc));
  }
}

// --- Other programs -------------------------------------------------------------------------------

const char* const WINE_VERSION = "Software\\Wine\\AppDefaults\\Quirla.exe";
const char* const HTML_KEY = "SOFTWARE\\Classes\\htmlfile\\shell\\open\\command";

// The command line a recorder (fake_browser.exe) wrote beside itself; "" when it never ran.
std::string recorded(const std::string& record) {
  for (int i = 0; i < 200 && !drvFileExists(record.c_str()); ++i) Sleep(50);
  Sleep(100);  // let it finish writing
  char line[1024] = "";
  drvReadFile(record.c_str(), line, sizeof line);
  DeleteFileA(record.c_str());
  return line;
}

TEST_F(Tools, ScreenSaverRecordsTheSystemsCopyOnNtAndOnWindows98) {
  struct Restore {
    std::string ini = editorWindowsFolder() + "\\SYSTEM.INI", copy98 = editorWindowsFolder() + "\\system\\Quirla.scr";
    char value[MAX_PATH] = "";
    bool had98 = drvFileExists(copy98.c_str());
    Restore() { GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, ini.c_str()); }
    ~Restore() {
      WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", value[0] ? value : nullptr, ini.c_str());
      drvRegDeleteTree(HKEY_CURRENT_USER, WINE_VERSION);
      if (!had98) DeleteFileA(copy98.c_str());
    }
  } restore;
  // "Control.exe" is found beside the editor first: a recorder on NT, a broken program on 98.
  const std::string control = install.root + "App\\Control.exe";
  char recorder[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("fake_browser.exe", recorder, sizeof recorder));
  for (bool win98 : {false, true}) {
    SCOPED_TRACE(win98 ? "Windows 98" : "NT");
    if (win98) {
      ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, WINE_VERSION, "Version", "win98"));
      ASSERT_TRUE(drvWriteFile(control.c_str(), "not a program"));
    } else {
      ASSERT_TRUE(CopyFileA(recorder, control.c_str(), FALSE));
    }
    start(cube);
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "none", restore.ini.c_str()));
    post(CMD_SCREENSAVER);
    if (win98) {
      EXPECT_EQ(box(IDOK, "Unable to configure Screen Saver", DRV_ICON_HAND),
                "Please run Control Panel and configure the Screen Saver manually.");
    } else {
      EXPECT_EQ(recorded(install.root + "App\\browser.txt"), "Control.exe Desk.cpl,,1");
    }
    drvSync(w.main, DRV_TIMEOUT);
    char value[MAX_PATH] = "";
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, restore.ini.c_str());
    EXPECT_EQ(editorLower(value), editorLower(editorWindowsFolder() + (win98 ? "\\system" : "") + "\\Quirla.scr"));
    EXPECT_TRUE(drvFileExists(value));
    drvKill(&proc);
  }
}

TEST_F(Tools, ContentsOpensTheHelpPageInTheRegisteredBrowser) {
  struct Browser {
    char saved[1024] = "";
    bool had = drvRegGetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", saved, sizeof saved);
    ~Browser() {
      drvRegDeleteTree(HKEY_LOCAL_MACHINE, HTML_KEY);
      if (had) drvRegSetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", saved);
    }
  } browser;
  const std::string folder = install.root + "Browser";
  char built[MAX_PATH];
  ASSERT_TRUE(drvMakeFolders(folder.c_str()));
  ASSERT_TRUE(drvBinaryPath("fake_browser.exe", built, sizeof built));
  ASSERT_TRUE(CopyFileA(built, (folder + "\\fake_browser.exe").c_str(), FALSE));
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, HTML_KEY);
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", ("\"" + folder + "\\fake_browser.exe\" \"%1\"").c_str()));
  start("");
  post(CMD_CONTENTS);
  EXPECT_EQ(recorded(folder + "\\browser.txt"),
            "\"" + folder + "\\fake_browser\" \"file://" + install.root + "Help\\QUIRLA.HTM\"");
}

}  // namespace

namespace {

// The names in a folder, sorted.
std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (std::strcmp(data.cFileName, ".") && std::strcmp(data.cFileName, "..")) names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

std::string systemText(DWORD error) {
  char text[512] = "";
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                sizeof text, nullptr);
  while (length > 0 && std::strchr("\r\n ", text[length - 1])) text[--length] = 0;
  return text;
}

}  // namespace

// A save that fails (the disk full after 100 bytes, or the step that puts the new file in place)
// keeps the old file byte for byte, leaves no temporary file, says why, and keeps the model
// edited: on NT, and on Windows 98, which puts the new file in place by steps of its own.
TEST_F(Tools, AFailedSaveKeepsTheOldFileTheReasonAndTheEditedModel) {
  struct Restore {
    ~Restore() {
      SetEnvironmentVariableA("QUIRLA_SAVE_FAULT", nullptr);
      drvRegDeleteTree(HKEY_CURRENT_USER, WINE_VERSION);
    }
  } restore;
  const std::string target = model("target.vxm"), old = "the old model\r\n";
  // The write fails the same way on both; the replacing step is where they differ.
  const std::pair<bool, const char*> runs[] = {{false, "write:100"}, {false, "replace"}, {true, "replace"}};
  for (const auto& [win98, fault] : runs) {
    {
      SCOPED_TRACE(std::string(win98 ? "Windows 98, " : "NT, ") + fault);
      if (win98) {
        ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, WINE_VERSION, "Version", "win98"));
      }
      ASSERT_TRUE(SetEnvironmentVariableA("QUIRLA_SAVE_FAULT", fault));  // the editor inherits it
      ASSERT_TRUE(drvWriteFile(target.c_str(), old.c_str()));
      const std::vector<std::string> before = folderNames(install.root + "Models");
      start(cube);
      ctrlClick(centre(40, 10));
      const std::string edited = editorTitled(editorLower(cube), true);
      ASSERT_EQ(editorTitle(w.main), edited);
      post(CMD_SAVE_AS);
      ASSERT_NO_FATAL_FAILURE(choose("Save Model As", target, true));
      EXPECT_EQ(box(), "Failed to save model\n'" + target + "'.\n\n" + systemText(ERROR_DISK_FULL));
      drvSync(w.main, DRV_TIMEOUT);
      EXPECT_EQ(editorTitle(w.main), edited);
      char bytes[64] = "";
      ASSERT_TRUE(drvReadFile(target.c_str(), bytes, sizeof bytes));
      EXPECT_EQ(bytes, old);
      EXPECT_EQ(folderNames(install.root + "Models"), before);
      drvKill(&proc);
      drvRegDeleteTree(HKEY_CURRENT_USER, WINE_VERSION);
    }
  }
}

// A drag whose capture goes elsewhere ends there: later moves without a button turn nothing.
TEST_F(Tools, ADragEndsWhenItsCaptureIsLost) {
  start(cube);
  const std::vector<uint32_t> resting = pixels(w.main, ws);
  mouse(w.main, WM_LBUTTONDOWN, centre(), MK_LBUTTON);
  mouse(w.main, WM_MOUSEMOVE, centre(40, 20), MK_LBUTTON);
  const std::vector<uint32_t> turned = pixels(w.main, ws);
  EXPECT_NE(turned, resting);  // the drag did turn the model
  mouse(w.main, WM_CAPTURECHANGED, {0, 0}, 0);
  mouse(w.main, WM_MOUSEMOVE, centre(-60, -40), 0);
  EXPECT_EQ(pixels(w.main, ws), turned);
}

// Delete moves the model's last texture into the freed slot: the list follows the slots, and the
// highlighted entry is the texture now current (the first slot).
TEST_F(Tools, AfterDeleteTheHighlightedTextureIsTheCurrentOne) {
  std::string names;
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_TRUE(saverWriteSolidBitmap(install.root + "Textures\\" + name + ".bmp", 2, 2, 0x204060));
    names += std::string("Textures\\") + name + ".bmp\r\n";
  }
  char text[8192] = "";
  ASSERT_TRUE(drvReadFile(cube.c_str(), text, sizeof text));
  std::string vxm = text;
  vxm.replace(vxm.find("Number of textures: 0"), 21, "Number of textures: 3");
  vxm.insert(vxm.find("Texture List:\r\n") + 15, names);
  const std::string three = model("three.vxm");
  ASSERT_TRUE(drvWriteFile(three.c_str(), vxm.c_str()));
  start(three);
  command(CMD_EDIT_TEXTURE);
  HWND list = drvControl(w.library, 1083);
  auto entries = [&] {
    std::string all;
    LRESULT count = 0, selected = -1;
    drvSend(list, LB_GETCOUNT, 0, 0, &count);
    drvSend(list, LB_GETCURSEL, 0, 0, &selected);
    for (int i = 0; i < count; ++i) {
      char item[MAX_PATH] = "";
      drvSend(list, LB_GETTEXT, i, (LPARAM)item, nullptr);
      all += std::string(i == selected ? "[" : "") + item + (i == selected ? "] " : " ");
    }
    return all;
  };
  EXPECT_EQ(entries(), "[a] b c ");
  ASSERT_TRUE(drvPostCommand(w.library, 1043));  // Delete
  box(IDYES);
  drvSync(w.main, DRV_TIMEOUT);
  EXPECT_EQ(entries(), "[c] b ");
}

// The command the editor's accelerator table gives a key with Ctrl (and Shift), 0 for none.
int acceleratorCommand(const std::string& exePath, char key, bool shift) {
  HMODULE exe = LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HACCEL table = exe ? LoadAcceleratorsA(exe, MAKEINTRESOURCEA(144)) : nullptr;
  ACCEL keys[64];
  const int count = table ? CopyAcceleratorTableA(table, keys, 64) : 0;
  int command = 0;
  for (int i = 0; i < count; ++i)
    if (keys[i].key == key && (keys[i].fVirt & FCONTROL) && !(keys[i].fVirt & FSHIFT) == !shift) command = keys[i].cmd;
  if (exe) FreeLibrary(exe);
  return command;
}

// Ctrl+Z takes a paint back to the saved pixels and title, Ctrl+Y paints it again. Save (Ctrl+S)
// then writes the model's own file at once, the same bytes as Save As (Ctrl+Shift+S) to the same
// name, and ends the edited mark.
TEST_F(Tools, UndoRedoAndSaveByTheirKeys) {
  enum { SAVE = 40057, SAVE_AS = 40063, UNDO = 40064, REDO = 40065 };
  const struct {
    char key;
    bool shift;
    int command;
  } keys[] = {{'S', false, SAVE}, {'S', true, SAVE_AS}, {'Z', false, UNDO}, {'Y', false, REDO}};
  for (const auto& k : keys) EXPECT_EQ(acceleratorCommand(install.exe, k.key, k.shift), k.command) << k.key;
  start(cube);
  const std::vector<uint32_t> saved = pixels(w.main, ws);
  const std::string title = editorTitled(editorLower(cube)), edited = editorTitled(editorLower(cube), true);
  ctrlClick(centre(40, 10));
  const std::vector<uint32_t> painted = pixels(w.main, ws);
  ASSERT_NE(painted, saved);
  ASSERT_EQ(editorTitle(w.main), edited);
  for (int round = 0; round < 2; ++round) {
    command(UNDO);
    EXPECT_EQ(pixels(w.main, ws), saved);
    EXPECT_EQ(editorTitle(w.main), title);
    command(REDO);
    EXPECT_EQ(pixels(w.main, ws), painted);
    EXPECT_EQ(editorTitle(w.main), edited);
  }
  // Nothing further to redo: Redo changes nothing.
  command(REDO);
  EXPECT_EQ(pixels(w.main, ws), painted);

  command(SAVE);  // sent: it returns once saved, as no dialog holds it up
  EXPECT_EQ(drvFindWindow("#32770", "Save Model As", proc.id), nullptr);
  EXPECT_EQ(editorTitle(w.main), title);
  static char bySave[65536], bySaveAs[65536];
  ASSERT_TRUE(drvReadFile(cube.c_str(), bySave, sizeof bySave));
  post(SAVE_AS);
  ASSERT_NO_FATAL_FAILURE(choose("Save Model As", cube, true));
  drvSync(w.main, DRV_TIMEOUT);
  ASSERT_TRUE(drvReadFile(cube.c_str(), bySaveAs, sizeof bySaveAs));
  EXPECT_STREQ(bySave, bySaveAs);
  EXPECT_NE(std::string(bySave).find(" 200 200 200\r\n"), std::string::npos);  // the painted facet
}

// Zoomed in by the wheel and panned by the middle button, a CTRL-click paints exactly the facet
// under the pointer, also in the workspace's first and last columns, where every facet reaches
// past the part shown. Fit (Home) returns to the fitted pixels.
TEST_F(Tools, ZoomedAndPannedACtrlClickPaintsTheFacetUnderThePointer) {
  start(cube);
  command(40039);  // lighting off: each facet shows its colour as it is
  const std::vector<uint32_t> fitted = pixels(w.main, ws);
  POINT wheel = centre(30, -20);
  ClientToScreen(w.main, &wheel);
  ASSERT_TRUE(drvSend(w.main, WM_MOUSEWHEEL, MAKEWPARAM(0, 4 * WHEEL_DELTA), MAKELPARAM(wheel.x, wheel.y), nullptr));
  mouse(w.main, WM_MBUTTONDOWN, centre(), MK_MBUTTON);
  mouse(w.main, WM_MOUSEMOVE, centre(25, 15), MK_MBUTTON);
  mouse(w.main, WM_MBUTTONUP, centre(25, 15), 0);
  ASSERT_NE(pixels(w.main, ws), fitted);
  auto pixelAt = [&](POINT p) {
    DrvPicture shot = {};
    uint32_t colour = 0xFFFFFFFF;
    if (drvCapture(w.main, &shot)) colour = drvPixel(&shot, p.x, p.y);
    drvFreePicture(&shot);
    return colour;
  };
  for (POINT p : {POINT{ws.left, ws.top + SIDE / 2}, POINT{ws.right - 1, ws.top + SIDE / 3}}) {
    SCOPED_TRACE(testing::Message() << p.x - ws.left << "," << p.y - ws.top);
    const uint32_t before = pixelAt(p);
    ASSERT_NE(std::find(std::begin(EDITOR_SIX), std::end(EDITOR_SIX), before), std::end(EDITOR_SIX)) << std::hex << before;
    ctrlClick(p);
    EXPECT_EQ(pixelAt(p), 0xC8C8C8u);
  }
  command(40068);  // Fit
  EXPECT_EQ(pixels(w.main, ws).size(), fitted.size());
  const std::vector<uint32_t> refitted = pixels(w.main, ws);
  size_t painted = 0;
  for (size_t i = 0; i < fitted.size(); ++i) painted += refitted[i] != fitted[i];
  EXPECT_GT(painted, 0u);  // the painted facets, now seen whole at the fitted size
}
