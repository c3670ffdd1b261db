// editor_extras.cpp: scratch installations, window lookup and library-drawn frames for the
// editor's GUI suites.
#include "editor_extras.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app.h"

const char* const EDITOR_TRUNCATED_VXM =
    "VOXIM Model Format\r\nVersion: 2.10\r\nNumber of vertices: 3\r\nNumber of facets: 1\r\n"
    "Number of textures: 0\r\nNumber of texture triangles: 0\r\nVertex normals: No\r\nHighlight: No\r\n"
    "Highlight Value: 90\r\nTexture List:\r\nVertex list:\r\n0 0 0\r\n1 0";
const char* const EDITOR_BAD_VLT = "VOXIM Light Format\r\nVersion: 2.10\r\nAmbient Light:\r\nRed x\r\n";

std::string editorLower(std::string text) {
  for (char& c : text) c = (char)tolower((unsigned char)c);
  return text;
}

std::string editorWindowsFolder() {
  char folder[MAX_PATH] = "";
  GetWindowsDirectoryA(folder, sizeof folder);
  return folder;
}

std::string editorTitled(const std::string& name, bool edited) {
  return std::string(EDITOR_TITLE) + " - [" + name + (edited ? " *]" : "]");
}

bool editorMakeInstall(const char* name, EditorInstall* install) {
  SaverInstall saver;
  if (!install || !saverMakeInstall(name, &saver)) return false;
  install->root = saver.root;
  install->exe = saver.root + "App\\Quirla.exe";
  char built[MAX_PATH];
  return drvBinaryPath("Quirla.exe", built, sizeof built) && CopyFileA(built, install->exe.c_str(), FALSE);
}

void editorForgetInstall(const EditorInstall* install) {
  if (!install) return;
  SaverInstall saver = {install->root, install->root + "App\\Quirla.scr"};
  saverForgetInstall(&saver);
}

struct ToolSearch {
  int id;
  const char* text;
  HWND found;
};

static BOOL CALLBACK findTool(HWND child, LPARAM context) {
  ToolSearch* search = reinterpret_cast<ToolSearch*>(context);
  char cls[32] = "";
  GetClassNameA(child, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || GetParent(child) == nullptr) return TRUE;
  HWND control = GetDlgItem(child, search->id);
  char text[64] = "";
  if (control && drvGetTextNow(control, text, sizeof text) && std::strcmp(text, search->text) == 0) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

HWND editorToolWindow(HWND main, int id, const char* text) {
  ToolSearch search = {id, text, nullptr};
  EnumChildWindows(main, findTool, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool editorFindTools(HWND main, EditorWindowSet* w) {
  w->main = main;
  w->editMode = editorToolWindow(main, 1043, "Edit Colour");
  w->display = editorToolWindow(main, 1054, "Colour");
  w->library = editorToolWindow(main, 1079, "Wrap Mode");
  w->colour = editorToolWindow(main, 1053, "Change...");
  w->lighting = editorToolWindow(main, 1058, "Highlight");
  return w->editMode && w->display && w->library && w->colour && w->lighting;
}

bool editorStart(DrvProcess* proc, const EditorInstall& install, const std::string& arguments, EditorWindowSet* w) {
  std::string line = "\"" + install.exe + "\"";
  if (!arguments.empty()) line += " " + arguments;
  if (!saverStart(proc, line)) return false;
  HWND main = saverWaitWindow("Quirla", nullptr, proc->id, DRV_TIMEOUT);
  if (!main || !drvSync(main, DRV_TIMEOUT)) return false;
  return editorFindTools(main, w);
}

static RECT rectIn(HWND window, HWND parent) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT editorWorkspace(const EditorWindowSet& w) {
  RECT client, mode, colour;
  GetClientRect(w.main, &client);
  GetWindowRect(w.editMode, &mode);
  GetWindowRect(w.colour, &colour);
  const int left = (int)(mode.right - mode.left) + 5;
  const int side = editorWorkspaceSide(client.right, client.bottom, left, colour.right - colour.left);
  return RECT{left, 5, left + side, 5 + side};
}

RECT editorLightPreview(HWND lighting) {
  RECT group = rectIn(GetDlgItem(lighting, 1081), lighting);
  RECT button = rectIn(GetDlgItem(lighting, 1048), lighting);
  return RECT{group.left + 6, button.bottom + 6, group.right - 6, group.bottom - 6};
}

std::string editorTitle(HWND main) {
  char title[512] = "";
  drvGetTextNow(main, title, sizeof title);
  return title;
}

bool editorTestProcessInit(void) {
  // The renderer starts with lights of its own: it comes first, the editor's lights after it.
  if (!vxmRenderInit()) return false;
  editorDefaultLights();
  // Relative names are found below the installation, as the editor finds them.
  return appInitInstallPath("Quirla", false);
}

void editorDefaultLights(void) {
  VxmVector direction = {-1.0f, -1.0f, 1.0f};
  vxmVecNormalise(&direction);
  vxmLightSetAmbient(0xE1E1E1);
  vxmLightSetDirectional(0xC8C8C8);
  vxmLightSetDirection(&direction);
}

bool editorViewOpen(EditorView* view, const std::string& path, int side) {
  editorResetState(&view->state);
  view->bitmap = vxmBitmapCreate(side, side, 24);
  if (!view->bitmap) return false;
  vxmRenderSetTarget(view->bitmap);
  view->state.workspaceRect = {0, 0, side, side, side, side};
  view->state.workspaceBitmap = view->bitmap;
  if (path.empty()) return true;  // the workspace without a model
  VxmModel* model = vxmModelLoad(path.c_str());
  return model && editorInstallModel(&view->state, model);
}

bool editorViewRender(EditorView* view, int32_t flags, uint32_t background) {
  uint8_t fill[3] = {(uint8_t)background, (uint8_t)(background >> 8), (uint8_t)(background >> 16)};
  vxmRenderSetTarget(view->bitmap);
  vxmRenderSetViewMatrix(&view->state.viewScale);
  vxmRenderSetState(flags);
  vxmBitmapFill(view->bitmap, fill);
  if (!view->state.model) return true;
  vxmRenderClearDepth();
  return vxmRenderModel(view->state.model);
}

void editorViewClose(EditorView* view) {
  vxmSelectionFree(view->state.selection);
  vxmModelFree(view->state.model);
  vxmBitmapFree(view->bitmap);
  view->state.selection = nullptr;
  view->state.model = nullptr;
  view->bitmap = nullptr;
}

long editorDifferences(HWND window, int left, int top, const VxmBitmap* bitmap, std::string* first) {
  DrvPicture shot = {};
  if (!drvCapture(window, &shot)) {
    if (first) *first = "no capture";
    return -1;
  }
  long count = 0;
  for (int y = 0; y < bitmap->height; ++y) {
    const uint8_t* row = bitmap->lineTable[bitmap->height - 1 - y];
    for (int x = 0; x < bitmap->width; ++x) {
      const uint32_t want = (uint32_t)row[3 * x] | ((uint32_t)row[3 * x + 1] << 8) | ((uint32_t)row[3 * x + 2] << 16);
      const uint32_t got = drvPixel(&shot, left + x, top + y);
      if (got == want) continue;
      if (count++ == 0 && first) {
        char text[128];
        std::snprintf(text, sizeof text, "at (%d, %d): window 0x%06X, library 0x%06X", x, y, got, want);
        *first = text;
      }
    }
  }
  if (count) {
    // Both pictures beside each other in the scratch folder, to look at a failing test.
    char folder[MAX_PATH];
    if (drvScratchDir("editor-differences", folder, sizeof folder)) {
      drvSavePicture(&shot, (std::string(folder) + "\\window.bmp").c_str());
      DrvPicture frame = {bitmap->width, bitmap->height, bitmap->stride, nullptr};
      std::vector<uint8_t> rows((size_t)bitmap->stride * bitmap->height);
      for (int y = 0; y < bitmap->height; ++y)
        std::memcpy(&rows[(size_t)y * bitmap->stride], bitmap->lineTable[bitmap->height - 1 - y], (size_t)bitmap->stride);
      frame.bits = rows.data();
      drvSavePicture(&frame, (std::string(folder) + "\\library.bmp").c_str());
    }
  }
  drvFreePicture(&shot);
  return count;
}

long editorLightDifferences(HWND lighting, std::string* first) {
  RECT area = editorLightPreview(lighting);
  float radius = 0;
  VxmModel* light = editorMakeLightModel(&radius);
  VxmBitmap* frame = vxmBitmapCreate(area.right - area.left, area.bottom - area.top, 24);
  long n = -1;
  if (light && frame) {
    light->highlight = false;
    VxmMatrix scale;
    editorLightViewScale(frame->width, frame->height, radius, &scale);
    vxmBitmapFill(frame, nullptr);
    vxmRenderSetTarget(frame);
    vxmRenderSetViewMatrix(&scale);
    vxmRenderSetState(9);
    vxmRenderClearDepth();
    if (vxmRenderModel(light)) n = editorDifferences(lighting, area.left, area.top, frame, first);
  }
  vxmBitmapFree(frame);
  vxmModelFree(light);
  return n;
}

void EditorFixture::prepare(const char* installName) {
  ASSERT_TRUE(editorMakeInstall(installName, &install));
  ASSERT_TRUE(editorTestProcessInit());
}

void EditorFixture::TearDown() {
  drvKill(&proc);
  editorForgetInstall(&install);
}

long EditorFixture::against(const std::string& path, int32_t flags, std::string* first,
                            const std::function<void(EditorView&)>& change) {
  RECT ws = editorWorkspace(w);
  EditorView view = {};
  long n = -1;
  if (editorViewOpen(&view, path, ws.right - ws.left) && editorViewRender(&view, flags)) {
    if (change) change(view);
    drvSync(w.main, DRV_TIMEOUT);
    if (editorViewRender(&view, flags)) n = editorDifferences(w.main, ws.left, ws.top, view.bitmap, first);
  }
  editorViewClose(&view);
  return n;
}

void EditorFixture::click(HWND dialog, int id) {
  ASSERT_TRUE(drvPressButton(dialog, id));
  drvSync(w.main, DRV_TIMEOUT);
}

std::string EditorFixture::box(int button, const char* title, DrvIcon icon) {
  DrvMessageBox b;
  if (!saverWaitBox(proc.id, title, DRV_TIMEOUT, &b)) return "<no box>";
  EXPECT_STREQ(drvIconName(b.icon), drvIconName(icon));
  EXPECT_TRUE(drvAnswer(&b, button));
  return b.text;
}
