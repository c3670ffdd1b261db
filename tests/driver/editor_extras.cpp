// editor_extras.cpp: scratch installations, window lookup and library-drawn frames for the
// editor's GUI suites.
#include "editor_extras.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app.h"

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

std::string editorTitle(HWND main) {
  char title[512] = "";
  drvGetTextNow(main, title, sizeof title);
  return title;
}

// A tool window of the main window: the child dialog whose control `id` reads `text`.
struct ToolSearch {
  int id;
  const char* text;
  HWND found;
};

static BOOL CALLBACK findTool(HWND child, LPARAM context) {
  ToolSearch* s = reinterpret_cast<ToolSearch*>(context);
  char cls[32] = "", label[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  HWND control = GetDlgItem(child, s->id);
  if (std::strcmp(cls, "#32770") != 0 || !control || !drvGetTextNow(control, label, sizeof label) ||
      std::strcmp(label, s->text) != 0)
    return TRUE;
  s->found = child;
  return FALSE;
}

static HWND toolWindow(HWND main, int id, const char* text) {
  ToolSearch search = {id, text, nullptr};
  EnumChildWindows(main, findTool, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool editorStart(DrvProcess* proc, const EditorInstall& install, const std::string& arguments, EditorWindowSet* w) {
  if (!saverStart(proc, "\"" + install.exe + "\"" + (arguments.empty() ? "" : " " + arguments))) return false;
  HWND main = saverWaitWindow("Quirla", nullptr, proc->id, DRV_TIMEOUT);
  if (!main || !drvSync(main, DRV_TIMEOUT)) return false;
  *w = {main, toolWindow(main, 1043, "Edit Colour"), toolWindow(main, 1054, "Colour"),
        toolWindow(main, 1079, "Wrap Mode"), toolWindow(main, 1053, "Change..."), toolWindow(main, 1058, "Highlight")};
  return w->editMode && w->display && w->library && w->colour && w->lighting;
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
  RECT group, button;
  GetWindowRect(GetDlgItem(lighting, 1081), &group);
  GetWindowRect(GetDlgItem(lighting, 1048), &button);
  MapWindowPoints(nullptr, lighting, reinterpret_cast<POINT*>(&group), 2);
  MapWindowPoints(nullptr, lighting, reinterpret_cast<POINT*>(&button), 2);
  return RECT{group.left + 6, button.bottom + 6, group.right - 6, group.bottom - 6};
}

void editorDefaultLights(void) {
  VxmVector direction = {-1.0f, -1.0f, 1.0f};
  vxmVecNormalise(&direction);
  vxmLightSetAmbient(0xE1E1E1);
  vxmLightSetDirectional(0xC8C8C8);
  vxmLightSetDirection(&direction);
}

// Pixels of the window's client area at (left, top) that differ from the bitmap (row 0 at the
// bottom). On a difference both pictures are saved in the scratch folder, to look at.
static long differences(HWND window, int left, int top, const VxmBitmap* bitmap, std::string* first) {
  DrvPicture shot = {};
  if (!drvCapture(window, &shot)) {
    if (first) *first = "no capture";
    return -1;
  }
  long count = 0;
  std::vector<uint8_t> rows((size_t)bitmap->stride * bitmap->height);
  for (int y = 0; y < bitmap->height; ++y) {
    const uint8_t* row = bitmap->lineTable[bitmap->height - 1 - y];
    std::memcpy(&rows[(size_t)y * bitmap->stride], row, (size_t)bitmap->stride);
    for (int x = 0; x < bitmap->width; ++x) {
      const uint32_t want = (uint32_t)row[3 * x] | ((uint32_t)row[3 * x + 1] << 8) | ((uint32_t)row[3 * x + 2] << 16);
      const uint32_t got = drvPixel(&shot, left + x, top + y);
      if (got != want && count++ == 0 && first) {
        char text[128];
        std::snprintf(text, sizeof text, "at (%d, %d): window 0x%06X, library 0x%06X", x, y, got, want);
        *first = text;
      }
    }
  }
  char folder[MAX_PATH];
  if (count && drvScratchDir("editor-differences", folder, sizeof folder)) {
    DrvPicture frame = {bitmap->width, bitmap->height, bitmap->stride, rows.data()};
    drvSavePicture(&shot, (std::string(folder) + "\\window.bmp").c_str());
    drvSavePicture(&frame, (std::string(folder) + "\\library.bmp").c_str());
  }
  drvFreePicture(&shot);
  return count;
}

// Draws `model` (none: only the black background) into `frame` as the editor draws it.
static bool render(VxmBitmap* frame, const VxmMatrix* view, int32_t flags, VxmModel* model) {
  vxmRenderSetTarget(frame);
  vxmRenderSetViewMatrix(view);
  vxmRenderSetState(flags);
  vxmBitmapFill(frame, nullptr);
  vxmRenderClearDepth();
  return !model || vxmRenderModel(model);
}

long editorLightDifferences(HWND lighting, std::string* first) {
  RECT area = editorLightPreview(lighting);
  float radius = 0;
  VxmModel* light = editorMakeLightModel(&radius);
  VxmBitmap* frame = vxmBitmapCreate(area.right - area.left, area.bottom - area.top, 24);
  VxmMatrix scale;
  long n = -1;
  if (light && frame) {
    light->highlight = false;
    editorLightViewScale(frame->width, frame->height, radius, &scale);
    if (render(frame, &scale, 9, light)) n = differences(lighting, area.left, area.top, frame, first);
  }
  vxmBitmapFree(frame);
  vxmModelFree(light);
  return n;
}

void EditorFixture::prepare(const char* installName) {
  SaverInstall saver;
  ASSERT_TRUE(saverMakeInstall(installName, &saver));
  install = {saver.root, saver.root + "App\\Quirla.exe"};
  char built[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("Quirla.exe", built, sizeof built));
  ASSERT_TRUE(CopyFileA(built, install.exe.c_str(), FALSE));
  // The renderer starts with lights of its own: it comes first, the editor's lights after it.
  ASSERT_TRUE(vxmRenderInit());
  editorDefaultLights();
  // Relative names are found below the installation, as the editor finds them.
  ASSERT_TRUE(appInitInstallPath("Quirla", false));
}

void EditorFixture::TearDown() {
  drvKill(&proc);
  if (install.root.empty()) return;
  SaverInstall saver = {install.root, install.root + "App\\Quirla.scr"};
  saverForgetInstall(&saver);
}

long EditorFixture::against(const std::string& path, int32_t flags, std::string* first,
                            const std::function<void(EditorState&)>& change) {
  const RECT ws = editorWorkspace(w);
  const int side = ws.right - ws.left;
  EditorState view;
  editorResetState(&view);
  VxmBitmap* frame = vxmBitmapCreate(side, side, 24);
  if (frame) vxmRenderSetTarget(frame);
  view.workspaceRect = {0, 0, side, side, side, side};
  view.workspaceBitmap = frame;
  long n = -1;
  VxmModel* loaded = path.empty() || !frame ? nullptr : vxmModelLoad(path.c_str());
  const bool ready = frame && (path.empty() || (loaded && editorInstallModel(&view, loaded)));
  auto draw = [&] { return render(frame, &view.viewScale, flags, view.model); };
  if (ready && draw()) {
    if (change) change(view);
    drvSync(w.main, DRV_TIMEOUT);
    if (draw()) n = differences(w.main, ws.left, ws.top, frame, first);
  }
  vxmSelectionFree(view.selection);
  vxmModelFree(view.model);
  vxmBitmapFree(frame);
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
