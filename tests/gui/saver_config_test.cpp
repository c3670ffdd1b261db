// saver_config_test.cpp: the configuration dialog ("/c", "/c:<handle>", no argument) under Wine:
// its layout, the settings it loads and saves, the controls that depend on each other, the scroll
// bars, the file choices with their test loads, the checks on OK, and the buttons that start the
// editor, the help page and the web site.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "saver_extras.h"
#include "windriver.h"

namespace {

const char* const CAPTION = "Quirla Screensaver Configuration";
const char* const HTML_KEY = "SOFTWARE\\Classes\\htmlfile\\shell\\open\\command";

struct Config : ::testing::Test {
  SaverInstall install;
  DrvProcess proc = {};
  HWND dialog = nullptr;

  void SetUp() override {
    ASSERT_TRUE(saverMakeInstall("saver config", &install));  // a blank in the path on purpose
    ASSERT_TRUE(saverWriteCube(model("can.vxm"), 0xFF0000));
    ASSERT_TRUE(saverWriteCube(model("ball.vxm"), 0x00FF00));
    ASSERT_TRUE(saverWriteLights(install.root + "Lights\\day.vlt", 0x808080, 0xFFFFFF));
    ASSERT_TRUE(saverWriteLights(install.root + "Lights\\dusk.vlt", 0x404040, 0x802000));
    ASSERT_TRUE(saverWriteSolidBitmap(install.root + "Textures\\sky.bmp", 16, 16, 0x3080FF));
  }
  void TearDown() override {
    drvKill(&proc);
    saverForgetInstall(&install);
  }

  std::string model(const char* name) const { return install.root + "Models\\" + name; }

  void open(const char* arguments = "/c") {
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" " + arguments));
    dialog = saverWaitWindow("#32770", CAPTION, proc.id, DRV_TIMEOUT);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(drvSync(dialog, DRV_TIMEOUT));
  }
  HWND item(int id) const { return drvControl(dialog, id); }
  int state(int id) const { return drvCheckState(item(id)); }
  bool enabled(int id) const { return drvIsEnabled(item(id)); }
  std::string text(int id) const {
    char t[512] = "";
    drvGetText(item(id), t, sizeof t);
    return t;
  }
  int scroll(int id) const {
    int pos = -999;
    drvScrollPos(item(id), &pos);
    return pos;
  }
  void click(int id) {
    ASSERT_TRUE(drvPressButton(dialog, id));
    drvSync(dialog, DRV_TIMEOUT);
  }
  void scrollBy(int id, int code, int position = 0, UINT message = WM_VSCROLL) {
    LRESULT r;
    ASSERT_TRUE(drvSend(dialog, message, MAKEWPARAM(code, (WORD)(int16_t)position), (LPARAM)item(id), &r));
  }
  // Presses OK (or Cancel) and waits for the program to end; its exit code.
  DWORD closeWith(int id) {
    EXPECT_TRUE(drvPostCommand(dialog, id));
    DWORD code = 0xDEAD;
    EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, &code));
    return code;
  }
  // A message box of the program: its text, after checking title and icon, answered with OK.
  std::string box(const char* title = "Quirla", DrvIcon icon = DRV_ICON_EXCLAMATION) {
    DrvMessageBox b;
    if (!saverWaitBox(proc.id, title, DRV_TIMEOUT, &b)) return "<no box>";
    EXPECT_STREQ(drvIconName(b.icon), drvIconName(icon));
    EXPECT_TRUE(drvAnswer(&b, IDOK));
    return b.text;
  }
  // Chooses `path` in the file dialog that button `id` opens (null: cancels it).
  void choose(int id, const char* title, const char* path) {
    ASSERT_TRUE(drvPostCommand(dialog, id));
    HWND files = drvWaitWindow("#32770", title, proc.id, DRV_TIMEOUT);
    ASSERT_NE(files, nullptr);
    drvSync(files, DRV_TIMEOUT);
    if (!path) {
      ASSERT_TRUE(drvPostCommand(files, IDCANCEL));
    } else {
      HWND name = drvFindChild(files, "Edit", nullptr);
      ASSERT_NE(name, nullptr);
      ASSERT_TRUE(drvSetText(name, path));
      ASSERT_TRUE(drvPostCommand(files, IDOK));
    }
    ASSERT_TRUE(drvWaitGone(files, DRV_TIMEOUT));
  }
  // The file list of an open file dialog: the names it shows.
  static std::string shown(const std::string& path) {
    std::string lower = path;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    if (lower.size() <= 33) return lower;
    // d:\...: the start of the path, "...", then the last backslash and the name, 33 in all.
    size_t slash = lower.rfind('\\');
    std::string tail = lower.substr(slash);
    return lower.substr(0, 33 - 3 - tail.size()) + "..." + tail;
  }
};

}  // namespace

// --- Layout ------------------------------------------------------------------------------------

namespace {

struct Placed {
  int id;             // 0: found by class and text
  const char* cls;
  const char* text;   // null: not compared
  int x, y, w, h;
};

const Placed LAYOUT[] = {
    {1, "Button", "OK", 160, 159, 50, 14},
    {2, "Button", "Cancel", 160, 177, 50, 14},
    {0, "Button", "Background", 3, 0, 135, 58},
    {1030, "Button", "None", 10, 10, 33, 10},
    {1031, "Button", "Desktop", 50, 10, 43, 10},
    {1033, "Button", "Bitmap", 96, 10, 37, 10},
    {1060, "Static", nullptr, 10, 22, 123, 9},
    {1063, "Button", "Random from here", 10, 35, 74, 10},
    {1038, "Button", "Browse...", 98, 32, 35, 12},
    {1078, "Button", "Tile", 35, 47, 27, 10},
    {1079, "Button", "Centre", 69, 47, 37, 10},
    {0, "Button", "Movement", 144, 0, 68, 58},
    {1037, "Button", "None", 147, 9, 33, 10},
    {1039, "Button", "Reflect", 147, 19, 39, 10},
    {1040, "Button", "Bounce", 147, 28, 41, 10},
    {1041, "Button", "Wander", 147, 37, 41, 10},
    {1059, "Button", "Random", 147, 46, 41, 10},
    {1053, "ScrollBar", nullptr, 197, 7, 10, 48},
    {0, "Static", "+", 188, 6, 8, 8},
    {0, "Static", "-", 188, 44, 8, 8},
    {0, "Button", "Model", 4, 61, 135, 50},
    {1061, "Static", nullptr, 10, 72, 123, 9},
    {1065, "Button", "Random from here", 11, 85, 74, 10},
    {1043, "Button", "Browse...", 98, 82, 35, 12},
    {0, "Static", "Model Scale", 10, 99, 40, 8},
    {1044, "ScrollBar", nullptr, 52, 98, 81, 9},
    {0, "Button", "Spin", 144, 60, 68, 94},
    {1055, "Button", "X", 146, 68, 18, 10},
    {1056, "Button", "Y", 169, 68, 18, 10},
    {1057, "Button", "Z", 192, 68, 18, 10},
    {1071, "ScrollBar", nullptr, 150, 78, 10, 62},
    {1072, "ScrollBar", nullptr, 173, 78, 10, 62},
    {1073, "ScrollBar", nullptr, 196, 78, 10, 62},
    {1058, "Button", "Random", 150, 142, 42, 10},
    {0, "Button", "Lighting", 4, 114, 135, 36},
    {1062, "Static", nullptr, 10, 125, 123, 9},
    {1066, "Button", "Random from here", 10, 138, 74, 10},
    {1051, "Button", "Browse...", 98, 135, 35, 12},
    {1074, "Button", "Change every", 10, 157, 60, 10},
    {1075, "Edit", nullptr, 70, 155, 30, 12},
    {0, "Static", "seconds", 104, 157, 30, 10},
    {0, "Static", "Visit our website below to download more great 3D models", 4, 171, 136, 18},
    {1080, "Button", "www.drovelkant.example/quirla", 30, 202, 108, 10},
    {1082, "Button", "Help...", 145, 196, 30, 14},
    {1083, "Button", "Editor...", 179, 196, 30, 14},
};

struct ChildSearch {
  const char* cls;
  const char* text;
  std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND child, LPARAM param) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
  char cls[64] = "", text[256] = "";
  GetClassNameA(child, cls, sizeof cls);
  GetWindowTextA(child, text, sizeof text);
  if (lstrcmpiA(cls, search->cls) == 0 && std::strcmp(text, search->text) == 0) search->found.push_back(child);
  return TRUE;
}

std::vector<HWND> children(HWND dialog, const char* cls, const char* text) {
  ChildSearch search = {cls, text, {}};
  EnumChildWindows(dialog, collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

TEST_F(Config, EveryControlAtItsPlaceWithItsText) {
  open();
  char caption[128] = "";
  drvGetText(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, CAPTION);
  LONG style = GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_POPUP);
  RECT client;
  ASSERT_TRUE(drvClientRect(dialog, &client));
  int perFourX = 0, perEightY = 0;
  ASSERT_TRUE(drvDialogBaseUnits(nullptr, 0, &perFourX, &perEightY));
  EXPECT_NEAR(client.right * 4.0 / perFourX, 214.0, 1.0);
  EXPECT_NEAR(client.bottom * 8.0 / perEightY, 213.0, 1.0);
  for (const Placed& p : LAYOUT) {
    SCOPED_TRACE(std::to_string(p.id) + " " + (p.text ? p.text : ""));
    HWND control = p.id ? item(p.id) : nullptr;
    if (!p.id) {
      std::vector<HWND> found = children(dialog, p.cls, p.text);
      ASSERT_EQ(found.size(), 1u);
      control = found[0];
    }
    ASSERT_NE(control, nullptr);
    char cls[64] = "";
    GetClassNameA(control, cls, sizeof cls);
    EXPECT_STREQ(cls, p.cls);
    if (p.text) {
      char t[256] = "";
      drvGetText(control, t, sizeof t);
      EXPECT_STREQ(t, p.text);
    }
    RECT r;
    ASSERT_TRUE(drvControlRectDlu(dialog, control, nullptr, 0, &r));
    EXPECT_EQ(r.left, p.x);
    EXPECT_EQ(r.top, p.y);
    // Each edge is rounded on its way back to dialog units, so a size may be one unit off.
    EXPECT_NEAR(r.right - r.left, p.w, 1);
    EXPECT_NEAR(r.bottom - r.top, p.h, 1);
  }
  // The two zero marks between the spin bars.
  std::vector<HWND> marks = children(dialog, "Static", "___");
  ASSERT_EQ(marks.size(), 2u);
  RECT a, b;
  ASSERT_TRUE(drvControlRectDlu(dialog, marks[0], nullptr, 0, &a));
  ASSERT_TRUE(drvControlRectDlu(dialog, marks[1], nullptr, 0, &b));
  if (a.left > b.left) std::swap(a, b);
  EXPECT_EQ(a.left, 160);
  EXPECT_EQ(a.top, 102);
  EXPECT_EQ(b.left, 184);
  EXPECT_EQ(b.top, 102);
  // The file lines are sunken; the logo is a picture at the bottom left.
  EXPECT_TRUE(GetWindowLongA(item(1060), GWL_STYLE) & SS_SUNKEN);
  EXPECT_TRUE(GetWindowLongA(item(1075), GWL_STYLE) & ES_NUMBER);
  HWND logo = nullptr;
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if ((GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) logo = h;
  ASSERT_NE(logo, nullptr);
  EXPECT_NE(SendMessageA(logo, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  RECT l;
  ASSERT_TRUE(drvControlRectDlu(dialog, logo, nullptr, 0, &l));
  EXPECT_EQ(l.left, 4);
  EXPECT_EQ(l.top, 192);
  EXPECT_EQ(closeWith(IDCANCEL), (DWORD)IDCANCEL);
}

// --- Loading ------------------------------------------------------------------------------------

TEST_F(Config, AnEmptyKeyIsFilledWithTheDefaultsAndShown) {
  open("");
  EXPECT_EQ(saverGetNumber("Background State"), 1u);
  EXPECT_EQ(saverGetText("Bitmap File"), "");
  EXPECT_EQ(saverGetNumber("Bitmap Random"), 0u);
  EXPECT_EQ(saverGetNumber("Bitmap Tile"), 0u);
  EXPECT_EQ(saverGetNumber("Move State"), 4u);
  EXPECT_EQ(saverGetNumber("Spin X"), 0u);
  EXPECT_EQ(saverGetNumber("Spin Y"), 0u);
  EXPECT_EQ(saverGetNumber("Spin Z"), 0u);
  EXPECT_EQ(saverGetNumber("Spin Random"), 1u);
  EXPECT_EQ(saverGetNumber("Model Size"), 20u);
  EXPECT_EQ(saverGetNumber("Move Speed"), 65u);
  EXPECT_EQ(saverGetNumber("Spin X Speed"), (DWORD)-25);
  EXPECT_EQ(saverGetNumber("Spin Y Speed"), (DWORD)-25);
  EXPECT_EQ(saverGetNumber("Spin Z Speed"), (DWORD)-25);
  EXPECT_EQ(saverGetText("Model File"), install.root + "Models\\can.vxm");
  EXPECT_EQ(saverGetNumber("Model Random"), 1u);
  EXPECT_EQ(saverGetText("Light File"), install.root + "Lights\\day.vlt");
  EXPECT_EQ(saverGetNumber("Light Random"), 0u);
  EXPECT_EQ(saverGetNumber("Change"), 1u);
  EXPECT_EQ(saverGetNumber("Change Time"), 30u);

  EXPECT_EQ(state(1030), BST_UNCHECKED);
  EXPECT_EQ(state(1031), BST_CHECKED);
  EXPECT_EQ(state(1033), BST_UNCHECKED);
  for (int id : {1060, 1038, 1063, 1078, 1079}) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_EQ(state(1079), BST_CHECKED);  // centred
  EXPECT_EQ(state(1059), BST_CHECKED);
  for (int id : {1037, 1039, 1040, 1041}) EXPECT_EQ(state(id), BST_UNCHECKED) << id;
  EXPECT_EQ(state(1058), BST_CHECKED);
  for (int id : {1055, 1056, 1057, 1071, 1072, 1073}) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_EQ(scroll(1044), 20);
  EXPECT_EQ(scroll(1053), 65);
  EXPECT_EQ(scroll(1071), -25);
  EXPECT_EQ(text(1061), shown(install.root + "Models\\can.vxm"));
  EXPECT_EQ(text(1062), shown(install.root + "Lights\\day.vlt"));
  EXPECT_EQ(state(1065), BST_CHECKED);
  EXPECT_EQ(state(1066), BST_UNCHECKED);
  EXPECT_TRUE(enabled(1074));
  EXPECT_EQ(state(1074), BST_CHECKED);
  EXPECT_TRUE(enabled(1075));
  EXPECT_EQ(text(1075), "30");
  // Cancel writes nothing back.
  saverSetNumber("Model Size", 44);
  EXPECT_EQ(closeWith(IDCANCEL), (DWORD)IDCANCEL);
  EXPECT_EQ(saverGetNumber("Model Size"), 44u);
}

TEST_F(Config, StoredSettingsAreShown) {
  const std::string bitmap = install.root + "Textures\\sky.bmp";
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", bitmap);
  saverSetNumber("Bitmap Random", 1);
  saverSetNumber("Bitmap Tile", 1);
  saverSetNumber("Move State", 3);
  saverSetNumber("Spin X", 1);
  saverSetNumber("Spin Z", 1);
  saverSetNumber("Spin Random", 0);
  saverSetNumber("Model Size", 33);
  saverSetNumber("Move Speed", 12);
  saverSetNumber("Spin X Speed", (DWORD)-80);
  saverSetNumber("Spin Y Speed", 7);
  saverSetNumber("Spin Z Speed", 80);
  saverSetText("Model File", model("ball.vxm"));
  saverSetNumber("Model Random", 0);
  saverSetNumber("Light Random", 1);
  saverSetNumber("Change Time", 77);
  open();
  EXPECT_EQ(state(1033), BST_CHECKED);
  EXPECT_EQ(state(1031), BST_UNCHECKED);
  for (int id : {1060, 1038, 1063, 1078, 1079}) EXPECT_TRUE(enabled(id)) << id;
  EXPECT_EQ(text(1060), shown(bitmap));
  EXPECT_EQ(state(1063), BST_CHECKED);
  EXPECT_EQ(state(1078), BST_CHECKED);
  EXPECT_EQ(state(1079), BST_UNCHECKED);
  EXPECT_EQ(state(1041), BST_CHECKED);
  EXPECT_EQ(state(1059), BST_UNCHECKED);
  EXPECT_EQ(state(1055), BST_CHECKED);
  EXPECT_EQ(state(1056), BST_UNCHECKED);
  EXPECT_EQ(state(1057), BST_CHECKED);
  EXPECT_EQ(state(1058), BST_UNCHECKED);
  for (int id : {1055, 1056, 1057}) EXPECT_TRUE(enabled(id)) << id;
  EXPECT_TRUE(enabled(1071));
  EXPECT_FALSE(enabled(1072));
  EXPECT_TRUE(enabled(1073));
  EXPECT_EQ(scroll(1044), 33);
  EXPECT_EQ(scroll(1053), 12);
  EXPECT_EQ(scroll(1071), -80);
  EXPECT_EQ(scroll(1072), 7);
  EXPECT_EQ(scroll(1073), 80);
  EXPECT_EQ(text(1061), shown(model("ball.vxm")));
  EXPECT_EQ(state(1065), BST_UNCHECKED);
  EXPECT_EQ(state(1066), BST_CHECKED);
  EXPECT_EQ(text(1075), "77");
  // OK saves what is shown, unchanged.
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Move State"), 3u);
  EXPECT_EQ(saverGetNumber("Change Time"), 77u);
  EXPECT_EQ(saverGetText("Bitmap File"), bitmap);
  EXPECT_EQ(saverGetNumber("Spin X Speed"), (DWORD)-80);
}

TEST_F(Config, OutOfRangeValuesLoadAsDefaults) {
  saverSetNumber("Move State", 7);
  saverSetNumber("Change Time", 2);
  saverSetNumber("Model Size", 99);
  saverSetNumber("Spin Random", 0);
  saverSetNumber("Spin Y", 1);
  saverSetNumber("Spin Y Speed", (DWORD)-81);
  saverSetNumber("Background State", 5);
  open();
  EXPECT_EQ(state(1059), BST_CHECKED);
  EXPECT_EQ(text(1075), "30");
  EXPECT_EQ(scroll(1044), 20);
  EXPECT_EQ(scroll(1072), -25);
  EXPECT_EQ(state(1031), BST_CHECKED);
  // Only OK writes the repaired values back.
  EXPECT_EQ(saverGetNumber("Move State"), 7u);
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Move State"), 4u);
  EXPECT_EQ(saverGetNumber("Change Time"), 30u);
  EXPECT_EQ(saverGetNumber("Model Size"), 20u);
  EXPECT_EQ(saverGetNumber("Spin Y Speed"), (DWORD)-25);
  EXPECT_EQ(saverGetNumber("Background State"), 1u);
}

// --- Clicking -----------------------------------------------------------------------------------

TEST_F(Config, RadioButtonsAndBoxesChangeTheirSettingAndTheControlsThatDependOnThem) {
  open();
  click(1033);  // Bitmap
  EXPECT_EQ(state(1033), BST_CHECKED);
  EXPECT_EQ(state(1031), BST_UNCHECKED);
  for (int id : {1060, 1038, 1063, 1078, 1079}) EXPECT_TRUE(enabled(id)) << id;
  click(1078);  // Tile
  EXPECT_EQ(state(1078), BST_CHECKED);
  EXPECT_EQ(state(1079), BST_UNCHECKED);
  click(1030);  // None: the bitmap line greys out again
  EXPECT_EQ(state(1030), BST_CHECKED);
  EXPECT_EQ(state(1033), BST_UNCHECKED);
  for (int id : {1060, 1038, 1063, 1078, 1079}) EXPECT_FALSE(enabled(id)) << id;

  click(1040);  // Bounce
  EXPECT_EQ(state(1040), BST_CHECKED);
  for (int id : {1037, 1039, 1041, 1059}) EXPECT_EQ(state(id), BST_UNCHECKED) << id;

  click(1058);  // Spin Random off: the axes come alive, the bars only for axes that are on
  EXPECT_EQ(state(1058), BST_UNCHECKED);
  for (int id : {1055, 1056, 1057}) EXPECT_TRUE(enabled(id)) << id;
  for (int id : {1071, 1072, 1073}) EXPECT_FALSE(enabled(id)) << id;
  click(1056);
  EXPECT_EQ(state(1056), BST_CHECKED);
  EXPECT_TRUE(enabled(1072));
  EXPECT_FALSE(enabled(1071));

  // Model Random is still on, so the change group stays; with it off nothing is random.
  EXPECT_TRUE(enabled(1074));
  click(1065);
  EXPECT_EQ(state(1065), BST_UNCHECKED);
  EXPECT_FALSE(enabled(1074));
  EXPECT_FALSE(enabled(1075));
  click(1066);  // Light Random brings it back
  EXPECT_TRUE(enabled(1074));
  EXPECT_TRUE(enabled(1075));
  click(1074);  // Change off: the time greys out
  EXPECT_EQ(state(1074), BST_UNCHECKED);
  EXPECT_FALSE(enabled(1075));
  click(1066);
  click(1059);  // Random movement alone keeps the change group
  EXPECT_TRUE(enabled(1074));
  EXPECT_FALSE(enabled(1075));
  click(1037);
  EXPECT_FALSE(enabled(1074));

  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Background State"), 0u);
  EXPECT_EQ(saverGetNumber("Bitmap Tile"), 1u);
  EXPECT_EQ(saverGetNumber("Move State"), 0u);
  EXPECT_EQ(saverGetNumber("Spin Random"), 0u);
  EXPECT_EQ(saverGetNumber("Spin Y"), 1u);
  EXPECT_EQ(saverGetNumber("Spin X"), 0u);
  EXPECT_EQ(saverGetNumber("Model Random"), 0u);
  EXPECT_EQ(saverGetNumber("Light Random"), 0u);
  EXPECT_EQ(saverGetNumber("Change"), 0u);
  EXPECT_EQ(saverGetNumber("Change Time"), 30u);  // shown while greyed out, saved unchanged
}

TEST_F(Config, ScrollBarsStepPageTrackAndClamp) {
  saverSetNumber("Spin Random", 0);
  saverSetNumber("Spin X", 1);
  saverSetNumber("Move Speed", 5);
  open();
  scrollBy(1044, SB_LINERIGHT, 0, WM_HSCROLL);
  EXPECT_EQ(scroll(1044), 21);
  scrollBy(1044, SB_PAGELEFT, 0, WM_HSCROLL);
  EXPECT_EQ(scroll(1044), 16);
  scrollBy(1044, SB_PAGELEFT, 0, WM_HSCROLL);
  scrollBy(1044, SB_PAGELEFT, 0, WM_HSCROLL);
  EXPECT_EQ(scroll(1044), 10);
  scrollBy(1044, SB_THUMBTRACK, 99, WM_HSCROLL);
  EXPECT_EQ(scroll(1044), 50);
  scrollBy(1044, SB_THUMBTRACK, 37, WM_HSCROLL);
  scrollBy(1044, SB_THUMBPOSITION, 12, WM_HSCROLL);  // other codes leave the value
  EXPECT_EQ(scroll(1044), 37);

  scrollBy(1053, SB_PAGEUP);  // 5 - 10 stops at the fastest, 1
  EXPECT_EQ(scroll(1053), 1);
  scrollBy(1053, SB_LINEDOWN);
  scrollBy(1053, SB_PAGEDOWN);
  EXPECT_EQ(scroll(1053), 12);
  scrollBy(1053, SB_THUMBTRACK, 0);
  EXPECT_EQ(scroll(1053), 1);

  scrollBy(1071, SB_THUMBTRACK, -100);  // the high word is signed
  EXPECT_EQ(scroll(1071), -80);
  scrollBy(1071, SB_PAGEDOWN);
  scrollBy(1071, SB_LINEUP);
  EXPECT_EQ(scroll(1071), -71);
  scrollBy(1073, SB_THUMBTRACK, 85);
  EXPECT_EQ(scroll(1073), 80);

  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Model Size"), 37u);
  EXPECT_EQ(saverGetNumber("Move Speed"), 1u);
  EXPECT_EQ(saverGetNumber("Spin X Speed"), (DWORD)-71);
  EXPECT_EQ(saverGetNumber("Spin Z Speed"), 80u);
}

TEST_F(Config, ChangeTimeIsLimitedTo4To3600) {
  struct Typed {
    const char* keys;
    DWORD saved;
  };
  const Typed cases[] = {{"2", 4}, {"5000", 3600}, {"99999", 3600}, {"x", 4}, {"0123", 123}};
  for (const Typed& c : cases) {
    SCOPED_TRACE(c.keys);
    open();
    HWND edit = item(1075);
    ASSERT_TRUE(drvSetText(edit, ""));
    ASSERT_TRUE(drvPostText(edit, c.keys));
    drvSync(dialog, DRV_TIMEOUT);
    EXPECT_LE(text(1075).size(), 4u);  // at most four digits can be typed
    EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
    EXPECT_EQ(saverGetNumber("Change Time"), c.saved);
    drvKill(&proc);
  }
}

TEST_F(Config, TypedTimeSurvivesClicksElsewhere) {
  open();
  ASSERT_TRUE(drvSetText(item(1075), "45"));
  click(1063);
  click(1039);
  EXPECT_EQ(text(1075), "45");
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Change Time"), 45u);
}

// --- Files --------------------------------------------------------------------------------------

TEST_F(Config, BrowseChoosesFilesThatLoadAndEmptiesTheSettingForOnesThatDoNot) {
  ASSERT_TRUE(drvWriteFile(model("broken.vxm").c_str(), "VOXIM Model Format\r\nVersion: 2.1\r\n"));
  ASSERT_TRUE(drvWriteFile((install.root + "Textures\\broken.bmp").c_str(), "XX not a bitmap at all"));
  ASSERT_TRUE(drvWriteFile((install.root + "Lights\\broken.vlt").c_str(), "VOXIM Light Format\r\n"));
  saverSetNumber("Background State", 2);
  open();

  choose(1043, "Browse for Model", model("ball.vxm").c_str());
  EXPECT_EQ(text(1061), shown(model("ball.vxm")));
  choose(1043, "Browse for Model", nullptr);  // cancelled: no change
  EXPECT_EQ(text(1061), shown(model("ball.vxm")));
  choose(1043, "Browse for Model", model("broken.vxm").c_str());
  EXPECT_EQ(box(), "Failed to load model: '" + model("broken.vxm") + "'");
  drvSync(dialog, DRV_TIMEOUT);
  EXPECT_EQ(text(1061), "");

  const std::string sky = install.root + "Textures\\sky.bmp";
  choose(1038, "Browse for Bitmap", sky.c_str());
  EXPECT_EQ(text(1060), shown(sky));
  const std::string badBitmap = install.root + "Textures\\broken.bmp";
  choose(1038, "Browse for Bitmap", badBitmap.c_str());
  EXPECT_EQ(box(), "Failed to load bitmap: '" + badBitmap + "'");
  drvSync(dialog, DRV_TIMEOUT);
  EXPECT_EQ(text(1060), "");

  const std::string dusk = install.root + "Lights\\dusk.vlt";
  choose(1051, "Browse for Lights", dusk.c_str());
  EXPECT_EQ(text(1062), shown(dusk));
  const std::string badLights = install.root + "Lights\\broken.vlt";
  choose(1051, "Browse for Lights", badLights.c_str());
  EXPECT_EQ(box(), "Failed to load lights: '" + badLights + "'");
  drvSync(dialog, DRV_TIMEOUT);
  EXPECT_EQ(text(1062), "");

  // Empty names are not tested by OK: all three are saved empty.
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetText("Model File"), "");
  EXPECT_EQ(saverGetText("Bitmap File"), "");
  EXPECT_EQ(saverGetText("Light File"), "");
}

TEST_F(Config, BrowseStartsInTheInstallationFolders) {
  // A bare name typed into the file dialog is taken from the folder the dialog opened in.
  saverSetNumber("Background State", 2);
  open();
  choose(1043, "Browse for Model", "ball.vxm");
  EXPECT_EQ(text(1061), shown(model("ball.vxm")));
  choose(1051, "Browse for Lights", "dusk.vlt");
  EXPECT_EQ(text(1062), shown(install.root + "Lights\\dusk.vlt"));
  choose(1038, "Browse for Bitmap", "sky.bmp");  // no bitmap yet: the Textures folder
  EXPECT_EQ(text(1060), shown(install.root + "Textures\\sky.bmp"));
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetText("Model File"), model("ball.vxm"));
  EXPECT_EQ(saverGetText("Light File"), install.root + "Lights\\dusk.vlt");
  EXPECT_EQ(saverGetText("Bitmap File"), install.root + "Textures\\sky.bmp");
}

TEST_F(Config, BitmapBrowseStartsInTheFolderOfTheCurrentBitmap) {
  const std::string pictures = install.root + "Pictures";
  ASSERT_TRUE(drvMakeFolders(pictures.c_str()));
  ASSERT_TRUE(saverWriteSolidBitmap(pictures + "\\a.bmp", 4, 4, 0x112233));
  ASSERT_TRUE(saverWriteSolidBitmap(pictures + "\\b.bmp", 4, 4, 0x445566));
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", pictures + "\\a.bmp");
  open();
  choose(1038, "Browse for Bitmap", "b.bmp");
  EXPECT_EQ(text(1060), shown(pictures + "\\b.bmp"));
}

TEST_F(Config, OkChecksTheFilesInOrderAndKeepsTheDialogOpen) {
  const std::string goneBitmap = install.root + "Textures\\gone.bmp";
  const std::string goneModel = model("gone.vxm");
  const std::string goneLights = install.root + "Lights\\gone.vlt";
  saverSetNumber("Background State", 2);
  saverSetText("Bitmap File", goneBitmap);
  saverSetText("Model File", goneModel);
  saverSetText("Light File", goneLights);
  saverSetNumber("Model Size", 30);
  open();
  scrollBy(1044, SB_LINERIGHT, 0, WM_HSCROLL);
  ASSERT_TRUE(drvPostCommand(dialog, IDOK));
  EXPECT_EQ(box(), "Background bitmap does not exist:\n'" + goneBitmap + "'");
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(saverGetNumber("Model Size"), 30u);  // nothing saved
  // A missing bitmap does not matter while the background is not a bitmap.
  click(1031);
  ASSERT_TRUE(drvPostCommand(dialog, IDOK));
  EXPECT_EQ(box(), "Model file does not exist:\n'" + goneModel + "'");
  choose(1043, "Browse for Model", model("can.vxm").c_str());
  ASSERT_TRUE(drvPostCommand(dialog, IDOK));
  EXPECT_EQ(box(), "Lights file does not exist:\n'" + goneLights + "'");
  choose(1051, "Browse for Lights", (install.root + "Lights\\day.vlt").c_str());
  EXPECT_EQ(closeWith(IDOK), (DWORD)IDOK);
  EXPECT_EQ(saverGetNumber("Model Size"), 31u);
  EXPECT_EQ(saverGetNumber("Background State"), 1u);
  EXPECT_EQ(saverGetText("Bitmap File"), goneBitmap);  // kept, untested while not in use
  EXPECT_EQ(saverGetText("Model File"), model("can.vxm"));
}

// --- Owner, help, web site and editor -----------------------------------------------------------

namespace {

HWND makeOwner(const char* title) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SaverTestOwner";
  RegisterClassA(&wc);
  HWND owner = CreateWindowExA(0, "SaverTestOwner", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 400, 200, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(owner);
  saverPause(300);
  return owner;
}

}  // namespace

TEST_F(Config, OwnerFromTheSwitch) {
  HWND owner = makeOwner("display settings");
  ASSERT_NE(owner, nullptr);
  HWND other = CreateWindowExA(0, "SaverTestOwner", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 400, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(owner);
  saverPause(300);
  struct Case {
    std::string arguments;
    HWND expected;
  };
  const Case cases[] = {{"/c:" + std::to_string((UINT_PTR)other), other},
                        {"-C:" + std::to_string((UINT_PTR)other) + "junk", other},
                        {"/c:99999999", owner},  // no such window: the foreground window
                        {"/c", owner},
                        {"", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    // The previous dialog's end may hand activation around for a while: wait until the owner is
    // the foreground window and stays so.
    for (int settled = 0, tries = 0; settled < 3 && tries < 100; ++tries) {
      if (GetForegroundWindow() == owner) {
        ++settled;
      } else {
        settled = 0;
        SetForegroundWindow(owner);
      }
      saverPause(50);
    }
    ASSERT_EQ(GetForegroundWindow(), owner);
    open(c.arguments.c_str());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), c.expected);
    EXPECT_EQ(closeWith(IDCANCEL), (DWORD)IDCANCEL);
    drvKill(&proc);
  }
  DestroyWindow(other);
  DestroyWindow(owner);
}

TEST_F(Config, UnknownSwitchEndsAtOnce) {
  for (const char* arguments : {"/x", "/p", "/p 99999999", "-q 12"}) {
    SCOPED_TRACE(arguments);
    ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" " + arguments));
    DWORD code = 0;
    ASSERT_TRUE(drvWaitExit(&proc, DRV_TIMEOUT, &code));
    EXPECT_EQ(code, (DWORD)-1);
    drvKill(&proc);
  }
  // On Windows NT there is no password to change.
  ASSERT_TRUE(saverStart(&proc, "\"" + install.scr + "\" /a 0"));
  DWORD code = 0;
  ASSERT_TRUE(drvWaitExit(&proc, DRV_TIMEOUT, &code));
  EXPECT_EQ(code, (DWORD)-1);
}

namespace {

struct Browser {
  std::string folder;
  char saved[1024] = "";
  bool hadValue = false;
  explicit Browser(const std::string& root) {
    hadValue = drvRegGetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", saved, sizeof saved);
    folder = root + "Browser";
    drvMakeFolders(folder.c_str());
    char built[MAX_PATH];
    drvBinaryPath("fake_browser.exe", built, sizeof built);
    CopyFileA(built, (folder + "\\fake_browser.exe").c_str(), FALSE);
    drvRegDeleteTree(HKEY_LOCAL_MACHINE, HTML_KEY);
    drvRegSetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", ("\"" + folder + "\\fake_browser.exe\" \"%1\"").c_str());
  }
  ~Browser() {
    drvRegDeleteTree(HKEY_LOCAL_MACHINE, HTML_KEY);
    if (hadValue) drvRegSetString(HKEY_LOCAL_MACHINE, HTML_KEY, "", saved);
  }
  // The command line the browser was started with ("" when it was not).
  std::string started(const std::string& record) {
    for (int i = 0; i < 200 && !drvFileExists(record.c_str()); ++i) Sleep(50);
    char text[2048] = "";
    Sleep(100);
    drvReadFile(record.c_str(), text, sizeof text);
    DeleteFileA(record.c_str());
    return text;
  }
};

}  // namespace

TEST_F(Config, HelpAndWebSiteOpenInTheBrowser) {
  Browser browser(install.root);
  open();
  click(1082);
  EXPECT_EQ(browser.started(browser.folder + "\\browser.txt"),
            "\"" + browser.folder + "\\fake_browser\" \"file://" + install.root + "Help\\SSHelp.htm\"");
  click(1080);
  EXPECT_EQ(browser.started(browser.folder + "\\browser.txt"),
            "\"" + browser.folder + "\\fake_browser\" \"http://www.drovelkant.example/quirla\"");
  EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(Config, EditorStartsOnTheModelWithBothPathsQuoted) {
  // The editor's place is taken by a program that records its command line.
  char built[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("fake_browser.exe", built, sizeof built));
  ASSERT_TRUE(CopyFileA(built, (install.root + "App\\Quirla.exe").c_str(), FALSE));
  const std::string spaced = install.root + "My Models\\ball model.vxm";
  ASSERT_TRUE(drvMakeFolders((install.root + "My Models").c_str()));
  ASSERT_TRUE(saverWriteCube(spaced, 0x0000FF));
  saverSetText("Model File", spaced);
  open();
  click(1083);
  Browser recorder(install.root);  // only for its reader
  EXPECT_EQ(recorder.started(install.root + "App\\browser.txt"),
            "\"" + install.root + "App\\Quirla.exe\" \"" + spaced + "\"");
  EXPECT_TRUE(IsWindowVisible(dialog));
}
