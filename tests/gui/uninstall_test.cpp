// uninstall_test.cpp: the real uninstall.exe run on fake installations under Wine: its messages
// answered through the driver, its window read back, and afterwards every listed file, folder,
// association, shortcut, Add/Remove entry and screensaver copy checked gone, everything else kept.
// The setup reading and the progress bar are also called directly (the suite links them).
// (Our own setup program's installation, with the lists `make dist` writes, is installed and
// removed end to end by tests/setup.)
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "uninstall.h"
#include "windriver.h"

namespace {

const char* const DRIVE_KEY = "SOFTWARE\\Drovelkant\\";
const char* const ADD_REMOVE_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const WINE_VERSION_KEY = "Software\\Wine\\AppDefaults\\uninstall.exe";
const char* const CONFIRM_START = "This will remove '";
const char* const CONFIRM_END = "', and all of its components.\n\nAre you sure you want to do this ?";

std::string programsFolder() {
  char path[MAX_PATH] = {};
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, TRUE));
  return path;
}

std::string windowsFolder() {
  char path[MAX_PATH] = {};
  EXPECT_GT(GetWindowsDirectoryA(path, sizeof path), 0u);
  return path;
}

bool exists(const std::string& path) { return drvFileExists(path.c_str()); }
bool keyExists(const std::string& key) { return drvRegKeyExists(HKEY_CLASSES_ROOT, key.c_str()); }

// One fake installation of the product `name`: the folder "<scratch>\Quirla Test" with the
// usual subfolders, its registry key, setup.ini and setup.lst, two associations, the Start Menu
// group with two shortcuts, the Add/Remove entry and the screensaver copy.
struct FakeInstall {
  std::string name, description, scratch, folder, group;
  std::vector<std::string> listed;  // setup.lst entries, in order
  std::vector<std::string> extensions;

  explicit FakeInstall(const std::string& caseName) {
    name = "QuirlaUT" + caseName;
    description = "Quirla Test " + caseName;
    char path[MAX_PATH];
    EXPECT_TRUE(drvScratchDir(("uninstall-" + caseName).c_str(), path, sizeof path));
    scratch = path;
    folder = scratch + "\\Quirla Test";
    group = programsFolder() + "\\" + description;
    extensions = {"qz" + caseName + "m", "qz" + caseName + "l"};
    cleanOutside();
  }
  ~FakeInstall() {
    cleanOutside();
    drvDeleteTree(scratch.c_str());
  }
  void cleanOutside() {
    drvRegDeleteTree(HKEY_LOCAL_MACHINE, (std::string(DRIVE_KEY) + name).c_str());
    drvRegDeleteTree(HKEY_LOCAL_MACHINE, (std::string(ADD_REMOVE_KEY) + name).c_str());
    for (const std::string& e : extensions) {
      drvRegDeleteTree(HKEY_CLASSES_ROOT, ("." + e).c_str());
      drvRegDeleteTree(HKEY_CLASSES_ROOT, (e + "file").c_str());
    }
    drvDeleteTree(group.c_str());
    drvDeleteTree(windowsCopy().c_str());
    drvDeleteTree(systemCopy().c_str());
  }
  std::string at(const std::string& entry) const { return folder + "\\" + entry; }
  std::string windowsCopy() const { return windowsFolder() + "\\" + name + ".scr"; }
  std::string systemCopy() const { return windowsFolder() + "\\system\\" + name + ".scr"; }

  void file(const std::string& entry, bool readOnly = false) {
    std::string path = at(entry);
    ASSERT_TRUE(drvMakeFolders(path.substr(0, path.rfind('\\')).c_str()));
    ASSERT_TRUE(drvWriteFile(path.c_str(), ("contents of " + entry).c_str()));
    if (readOnly) {
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
  }
  void registerFolder(const std::string& value) {
    ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, (std::string(DRIVE_KEY) + name).c_str(), "InstallPath",
                                value.c_str()));
  }
  void writeList(const std::string& separator = "\r\n") {
    std::string text;
    for (const std::string& entry : listed) text += entry + separator;
    ASSERT_TRUE(drvWriteFile(at("setup.lst").c_str(), text.c_str()));
  }
  void writeIni(const std::string& count) {
    std::string text = "[Setup]\r\nName=" + name + "\r\nDescription=" + description + "\r\n";
    if (!count.empty()) text += "Count=" + count + "\r\n";
    text += "[Associations]\r\n1=Quirla Model," + extensions[0] + ",Quirla.exe\r\n2=Quirla Light," + extensions[1] +
            "\r\n[Shortcuts]\r\n1=Quirla Model Editor,App\\Quirla.exe\r\n2=Read Me,Help\\index.html\r\n";
    ASSERT_TRUE(drvWriteFile(at("setup.ini").c_str(), text.c_str()));
  }

  // The whole installation as our setup lays it out; `count` empty leaves "Count" out.
  void build(const std::string& count = "default") {
    const char* files[] = {"App\\Quirla.exe",    "App\\Quirla.scr",         "Models\\Cube.vxm",
                           "Models\\Old\\a.vxm", "Models\\Old\\Deep\\b.vxm", "Lights\\Sun.vlt",
                           "Textures\\Wood.bmp", "Help\\index.html",        "Readme.txt"};
    for (const char* f : files) file(f, std::string(f) == "Textures\\Wood.bmp" || std::string(f) == "Readme.txt");
    listed = {"App\\Quirla.exe",         "App\\Quirla.scr", "App",      "Models\\Cube.vxm", "Models\\Old\\a.vxm",
              "Models\\Old\\Deep\\b.vxm", "Models\\Old\\Deep", "Models\\Old", "Models",   "Lights\\Sun.vlt",
              "Lights",                  "Textures\\Wood.bmp", "Textures", "Help\\index.html", "Help",
              "Readme.txt",              "Models\\Gone.vxm"};  // the last one is already missing
    // A read-only folder is removed too.
    ASSERT_TRUE(SetFileAttributesA(at("Lights").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    writeList();
    writeIni(count == "default" ? std::to_string(listed.size()) : count);
    registerFolder(folder);
    for (const std::string& e : extensions) {
      ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, ("." + e).c_str(), nullptr, (e + "file").c_str()));
      ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, (e + "file").c_str(), nullptr, "Quirla file"));
      ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, (e + "file\\DefaultIcon").c_str(), nullptr, "Quirla.exe,1"));
      ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, (e + "file\\shell\\open\\command").c_str(), nullptr,
                                  "Quirla.exe %1"));
    }
    ASSERT_TRUE(drvMakeFolders(group.c_str()));
    for (const char* link : {"Quirla Model Editor.lnk", "Read Me.lnk", "Uninstall.lnk"})
      ASSERT_TRUE(drvWriteFile((group + "\\" + link).c_str(), "shortcut"));
    ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, (std::string(ADD_REMOVE_KEY) + name).c_str(), "DisplayName",
                                description.c_str()));
    ASSERT_TRUE(drvWriteFile(windowsCopy().c_str(), "saver"));
    ASSERT_TRUE(drvWriteFile(systemCopy().c_str(), "saver"));
  }

  // Everything `build` made is still there.
  void expectUntouched() const {
    for (const std::string& entry : listed)
      if (entry != "Models\\Gone.vxm") {
        EXPECT_TRUE(exists(at(entry))) << entry;
      }
    EXPECT_TRUE(exists(at("setup.lst")));
    EXPECT_TRUE(exists(at("setup.ini")));
    for (const std::string& e : extensions) {
      EXPECT_TRUE(keyExists("." + e)) << e;
      EXPECT_TRUE(keyExists(e + "file\\shell\\open\\command")) << e;
    }
    EXPECT_TRUE(exists(group + "\\Uninstall.lnk"));
    EXPECT_TRUE(drvRegKeyExists(HKEY_LOCAL_MACHINE, (std::string(ADD_REMOVE_KEY) + name).c_str()));
    EXPECT_TRUE(exists(windowsCopy()));
    EXPECT_TRUE(exists(systemCopy()));
  }

  void expectAssociationsShortcutsAndEntryGone() const {
    for (const std::string& e : extensions) {
      EXPECT_FALSE(keyExists("." + e)) << e;
      EXPECT_FALSE(keyExists(e + "file")) << e;
    }
    EXPECT_FALSE(exists(group));
    EXPECT_FALSE(drvRegKeyExists(HKEY_LOCAL_MACHINE, (std::string(ADD_REMOVE_KEY) + name).c_str()));
    // The product's own key is the setup program's business and stays.
    EXPECT_TRUE(drvRegKeyExists(HKEY_LOCAL_MACHINE, (std::string(DRIVE_KEY) + name).c_str()));
  }
};

struct UninstallRun {
  DrvProcess proc = {};
  HWND window = nullptr;
  ~UninstallRun() { drvKill(&proc); }

  void start(const std::string& arguments, const char* folder = nullptr) {
    char exe[MAX_PATH];
    ASSERT_TRUE(drvBinaryPath("uninstall.exe", exe, sizeof exe));
    std::string command = std::string("\"") + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    ASSERT_TRUE(drvStart(&proc, command.c_str(), folder)) << command;
  }
  void waitWindow() {
    window = drvWaitWindow("UNINSTALL", "Uninstall", proc.id, DRV_TIMEOUT);
    ASSERT_NE(nullptr, window);
  }
  // The next message box must be exactly this one; it is answered with `answer`.
  void expectBox(const std::string& title, const std::string& text, DrvIcon icon, int answer = IDOK) {
    DrvMessageBox box;
    ASSERT_TRUE(drvWaitMessageBox(proc.id, DRV_TIMEOUT, &box)) << "no box \"" << title << "\"";
    EXPECT_EQ(title, box.title);
    EXPECT_EQ(text, box.text);
    EXPECT_STREQ(drvIconName(icon), drvIconName(box.icon)) << box.text;
    ASSERT_TRUE(drvAnswer(&box, answer));
  }
  void confirm(const FakeInstall& install, int answer = IDYES) {
    expectBox("Warning", CONFIRM_START + install.description + CONFIRM_END, DRV_ICON_EXCLAMATION, answer);
  }
  void expectEnd() {
    DWORD code = 0xFFFF;
    ASSERT_TRUE(drvWaitExit(&proc, DRV_TIMEOUT, &code));
    EXPECT_EQ(0u, code);
  }
};

std::string leftText(const FakeInstall& install) {
  return "Some files and folders may still remain in the\n'" + install.folder +
         "' folder.\n\nYou may want to keep or remove them.";
}

// --- Start-up ----------------------------------------------------------------------------------------

TEST(UninstallStart, WithoutAProductNameOnlyWarns) {
  for (const char* arguments : {"", "   "}) {
    UninstallRun run;
    run.start(arguments);
    run.expectBox("Warning", "Do not run this program.", DRV_ICON_EXCLAMATION);
    EXPECT_EQ(nullptr, drvFindWindow("UNINSTALL", nullptr, run.proc.id));
    run.expectEnd();
  }
}

TEST(UninstallStart, AnUnknownProductCannotBeLocatedQuotedOrNot) {
  UninstallRun plain;
  plain.start("NoSuchQuirlaProduct");
  plain.expectBox("Error", "Unable to locate the 'NoSuchQuirlaProduct' application.", DRV_ICON_HAND);
  plain.expectEnd();
  UninstallRun quoted;
  quoted.start("\"No Such Quirla\"");
  quoted.expectBox("Error", "Unable to locate the 'No Such Quirla' application.", DRV_ICON_HAND);
  EXPECT_EQ(nullptr, drvFindWindow("UNINSTALL", nullptr, quoted.proc.id));
  quoted.expectEnd();
}

// An empty folder, a drive root, a relative or missing folder must not let the removal run in
// whatever folder the program was started in: here one full of listed files.
TEST(UninstallStart, AnUnusableInstallationFolderIsAnErrorAndNothingIsRemoved) {
  FakeInstall install("Where");
  install.build();
  for (const std::string& stored : {std::string(""), std::string("C:\\"), std::string("Z:"),
                                    std::string("Quirla Test"), install.scratch + "\\missing"}) {
    SCOPED_TRACE("InstallPath \"" + stored + "\"");
    install.registerFolder(stored);
    UninstallRun run;
    run.start(install.name, install.folder.c_str());
    run.expectBox("Error", "Unable to locate the '" + install.name + "' application.", DRV_ICON_HAND);
    run.expectEnd();
    install.expectUntouched();
  }
  // A key without the value is the same error.
  ASSERT_TRUE(drvRegDeleteValue(HKEY_LOCAL_MACHINE, (std::string(DRIVE_KEY) + install.name).c_str(), "InstallPath"));
  UninstallRun run;
  run.start(install.name, install.folder.c_str());
  run.expectBox("Error", "Unable to locate the '" + install.name + "' application.", DRV_ICON_HAND);
  run.expectEnd();
  install.expectUntouched();
}

// A folder that Wine shows as a reparse point: its links to Unix folders (the user's desktop, or a
// merged /bin). Wine cannot make junctions of its own.
std::string linkedFolder() {
  char desktop[MAX_PATH] = {};
  std::vector<std::string> candidates = {"Z:\\bin", "Z:\\lib", "Z:\\sbin"};
  if (SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE)) candidates.insert(candidates.begin(), desktop);
  for (const std::string& folder : candidates) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return folder;
  }
  return "";
}

// Every part of the path from the given character on is looked at, the root never.
TEST(UninstallStart, ReparsePointsAreFoundInThePartsLookedAt) {
  std::string link = linkedFolder();
  ASSERT_FALSE(link.empty()) << "no linked folder to try";
  size_t cut = link.rfind('\\');
  std::string below = link + "\\qz-not-there\\deeper";
  EXPECT_TRUE(uninstallCrossesReparsePoint(link.c_str(), 0));
  EXPECT_TRUE(uninstallCrossesReparsePoint(below.c_str(), 0));
  EXPECT_TRUE(uninstallCrossesReparsePoint(below.c_str(), cut + 1));   // the link's own part
  EXPECT_FALSE(uninstallCrossesReparsePoint(below.c_str(), link.size() + 1));  // only what lies below it
  EXPECT_FALSE(uninstallCrossesReparsePoint(windowsFolder().c_str(), 0));
  EXPECT_FALSE(uninstallCrossesReparsePoint("C:\\", 0));
  EXPECT_TRUE(uninstallCrossesReparsePoint(std::string(UNINSTALL_TEXT, 'x').c_str(), 0));  // too long to look at
}

// An installation folder reached through a junction or link would send the deletes elsewhere.
TEST(UninstallStart, AFolderReachedThroughALinkIsRefused) {
  FakeInstall install("Linked");
  install.build();
  std::string link = linkedFolder();
  ASSERT_FALSE(link.empty()) << "no linked folder to try";
  install.registerFolder(link);
  UninstallRun run;
  run.start(install.name, install.folder.c_str());
  run.expectBox("Error", "Unable to locate the '" + install.name + "' application.", DRV_ICON_HAND);
  run.expectEnd();
  install.expectUntouched();
}

TEST(UninstallStart, TheInstallationMediumIsRefused) {
  FakeInstall install("Medium");
  install.build();
  install.file("setup.exe");
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.expectBox("Not an installation", "You cannot run this from here.", DRV_ICON_ASTERISK);
  run.expectEnd();
  install.expectUntouched();
  EXPECT_TRUE(exists(install.at("setup.exe")));
}

TEST(UninstallStart, RefusingTheConfirmationRemovesNothing) {
  FakeInstall install("Refuse");
  install.build();
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install, IDNO);
  EXPECT_TRUE(drvWaitGone(run.window, DRV_TIMEOUT));
  run.expectEnd();
  install.expectUntouched();
}

// --- The window ------------------------------------------------------------------------------------

TEST(UninstallWindow, FillsTheScreenWithTheDescriptionAndTheBottomBar) {
  FakeInstall install("Look");
  install.build();
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  DrvMessageBox box;
  ASSERT_TRUE(drvWaitMessageBox(run.proc.id, DRV_TIMEOUT, &box));  // the run waits in its confirmation
  RECT frame;
  ASSERT_TRUE(GetWindowRect(run.window, &frame));
  EXPECT_EQ(0, frame.left);
  EXPECT_EQ(0, frame.top);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), frame.right);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), frame.bottom);
  LONG style = GetWindowLongA(run.window, GWL_STYLE);
  EXPECT_EQ(WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, style & (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN));

  // The status line takes a third of the width, the progress bar the rest, both inside the bar.
  RECT client;
  ASSERT_TRUE(drvClientRect(run.window, &client));
  int bar = GetSystemMetrics(SM_CYMENUSIZE) + 1;
  HWND status = drvFindChild(run.window, "Static", nullptr);
  HWND progress = drvFindChild(run.window, "msctls_progress32", nullptr);
  ASSERT_NE(nullptr, status);
  ASSERT_NE(nullptr, progress);
  RECT s, p;
  ASSERT_TRUE(drvControlRect(status, &s));
  ASSERT_TRUE(drvControlRect(progress, &p));
  int third = (client.right - 2) / 3;
  EXPECT_EQ(0, s.left);
  EXPECT_EQ(third, s.right);
  EXPECT_EQ(third + 2, p.left);
  EXPECT_EQ(client.right, p.right);
  EXPECT_EQ(client.bottom - bar + 3, s.top);
  EXPECT_EQ(client.bottom - bar + 3, p.top);
  EXPECT_EQ(bar - 4, s.bottom - s.top);
  EXPECT_EQ(bar - 4, p.bottom - p.top);
  EXPECT_TRUE(GetWindowLongA(status, GWL_STYLE) & SS_SUNKEN);
  char text[64] = "x";
  ASSERT_TRUE(drvGetTextNow(status, text, sizeof text));
  EXPECT_STREQ("", text);

  // The picture, read while the confirmation waits (the box sits in the middle of the screen):
  // teal background, the description in white with a black shadow 4 pixels down and right,
  // clipped at x 640; a light grey bar with a white line along its top.
  RECT boxRect;
  ASSERT_TRUE(GetWindowRect(box.window, &boxRect));
  DrvPicture picture;
  ASSERT_TRUE(drvCapture(run.window, &picture));
  POINT origin = {0, 0};
  ClientToScreen(run.window, &origin);
  OffsetRect(&boxRect, -origin.x, -origin.y);
  EXPECT_EQ(0x008080u, drvPixel(&picture, 700, 100));
  EXPECT_EQ(0x008080u, drvPixel(&picture, 5, 5));
  int barTop = client.bottom - bar;
  EXPECT_EQ(0xFFFFFFu, drvPixel(&picture, 1, barTop));
  EXPECT_EQ(0xC0C0C0u, drvPixel(&picture, 1, barTop + 1));
  EXPECT_EQ(0xC0C0C0u, drvPixel(&picture, 1, client.bottom - 1));
  EXPECT_EQ(0x008080u, drvPixel(&picture, 1, barTop - 1));
  int white = 0, black = 0, shadowed = 0, beyond = 0;
  for (int y = 0; y < 200 && y < boxRect.top; ++y)
    for (int x = 0; x < picture.width; ++x) {
      uint32_t c = drvPixel(&picture, x, y);
      if (c == 0xFFFFFF) ++white;
      if (c == 0x000000) ++black;
      if (c == 0xFFFFFF && drvPixel(&picture, x + 4, y + 4) == 0x000000) ++shadowed;
      if (x >= 640 && c != 0x008080) ++beyond;
    }
  EXPECT_GT(white, 200);
  EXPECT_GT(black, 200);
  EXPECT_GT(shadowed, 20);
  EXPECT_EQ(0, beyond);
  // No text reaches above its rectangle.
  for (int y = 0; y < 14; ++y) EXPECT_EQ(0x008080u, drvPixel(&picture, 300, y));
  drvFreePicture(&picture);
  ASSERT_TRUE(drvAnswer(&box, IDNO));
  run.expectEnd();
}

// --- The removal -----------------------------------------------------------------------------------

void expectCompleteRemoval(const FakeInstall& install) {
  EXPECT_FALSE(exists(install.folder));
  install.expectAssociationsShortcutsAndEntryGone();
  EXPECT_FALSE(exists(install.windowsCopy()));
  EXPECT_TRUE(exists(install.systemCopy()));  // not the NT place
  EXPECT_TRUE(exists(install.scratch));
}

// The folder may be recorded as the programs write it (with a trailing backslash), or with a "."
// part or a doubled backslash: every form names the same installation.
TEST(UninstallRemoval, RemovesEverythingListedAndReportsSuccess) {
  enum Form { PLAIN, TRAILING, DOT, DOUBLED };
  for (Form form : {PLAIN, TRAILING, DOT, DOUBLED}) {
    FakeInstall install("All");
    install.build();
    const std::string stored[] = {install.folder, install.folder + "\\", install.folder + "\\.\\",
                                  install.scratch + "\\\\Quirla Test"};
    SCOPED_TRACE("InstallPath \"" + stored[form] + "\"");
    install.registerFolder(stored[form]);
    // Things nobody listed stay: a sibling folder, another group, another association.
    ASSERT_TRUE(drvWriteFile((install.scratch + "\\neighbour.txt").c_str(), "keep"));
    ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, ".qzkeep", nullptr, "qzkeepfile"));
    UninstallRun run;
    run.start(form == TRAILING ? "\"" + install.name + "\"" : install.name);
    run.waitWindow();
    run.confirm(install);
    run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
    EXPECT_TRUE(drvWaitGone(run.window, DRV_TIMEOUT));
    run.expectEnd();
    expectCompleteRemoval(install);
    EXPECT_TRUE(exists(install.scratch + "\\neighbour.txt"));
    EXPECT_TRUE(keyExists(".qzkeep"));
    drvRegDeleteTree(HKEY_CLASSES_ROOT, ".qzkeep");
  }
}

TEST(UninstallRemoval, AMissingFileListIsFatalAndStopsTheRemoval) {
  FakeInstall install("NoList");
  install.build();
  ASSERT_TRUE(DeleteFileA(install.at("setup.lst").c_str()));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Fatal Error",
                "Unable to open the file list.\n\nPlease remove the '" + install.folder + "' folder manually.",
                DRV_ICON_HAND);
  run.expectEnd();
  ASSERT_TRUE(drvWriteFile(install.at("setup.lst").c_str(), ""));  // what expectUntouched looks for
  install.expectUntouched();
}

TEST(UninstallRemoval, AFolderListedBeforeItsContentsStaysAndIsReported) {
  FakeInstall install("Order");
  install.build();
  install.listed = {"Models", "Models\\Cube.vxm", "Models\\Old\\Deep\\b.vxm", "Models\\Old\\Deep",
                    "Models\\Old\\a.vxm", "Models\\Old"};
  install.writeList(" ");
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Files/Folders left", leftText(install), DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(exists(install.at("Models")));
  EXPECT_FALSE(exists(install.at("Models\\Cube.vxm")));
  EXPECT_FALSE(exists(install.at("Models\\Old")));
  EXPECT_TRUE(exists(install.at("App\\Quirla.exe")));  // not listed
  EXPECT_FALSE(exists(install.at("setup.lst")));
  EXPECT_FALSE(exists(install.at("setup.ini")));
  install.expectAssociationsShortcutsAndEntryGone();
}

// The paths waiting to be deleted at the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT),
// lower case.
std::vector<std::string> pendingDeletions() {
  std::vector<char> data(65536);
  DWORD size = (DWORD)data.size() - 2;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                   "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size))
    size = 0;
  std::vector<std::string> out;
  for (size_t at = 0, next; at < size && data[at]; at = next + strlen(&data[next]) + 1) {
    std::string file = data.data() + at;
    next = at + file.size() + 1;
    if (file.compare(0, 4, "\\??\\") == 0) file = file.substr(4);
    for (char& c : file) c = (char)tolower((unsigned char)c);
    if (!data[next]) out.push_back(file);
  }
  return out;
}

bool pendingDeletion(const std::string& path) {
  std::string wanted = path;
  for (char& c : wanted) c = (char)tolower((unsigned char)c);
  std::vector<std::string> pending = pendingDeletions();
  return std::find(pending.begin(), pending.end(), wanted) != pending.end();
}

// What cannot go now goes at the next restart, and the report says so; the folders above it too.
TEST(UninstallRemoval, AFileThatCannotBeDeletedIsReportedAndDeletedAtTheRestart) {
  FakeInstall install("Locked");
  install.build();
  // Held open without delete sharing, as a running program holds its file.
  HANDLE held = CreateFileA(install.at("Readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("File Delete",
                "Unable to remove file(s) in the '" + install.folder + "' folder.\n\nThey will be removed when "
                "Windows restarts.",
                DRV_ICON_HAND);
  run.expectEnd();
  CloseHandle(held);
  EXPECT_TRUE(exists(install.at("Readme.txt")));
  EXPECT_TRUE(pendingDeletion(install.at("Readme.txt")));
  EXPECT_TRUE(pendingDeletion(install.folder));
  EXPECT_FALSE(pendingDeletion(install.at("Models\\Cube.vxm")));
  EXPECT_FALSE(exists(install.at("Models")));
  EXPECT_FALSE(exists(install.at("setup.ini")));
  install.expectAssociationsShortcutsAndEntryGone();
  EXPECT_FALSE(exists(install.windowsCopy()));
}

TEST(UninstallRemoval, EntriesOutsideTheInstallationAreLeftUntouched) {
  FakeInstall install("Hostile");
  install.build();
  std::string outside = install.scratch + "\\outside";
  ASSERT_TRUE(drvMakeFolders((outside + "\\Sub").c_str()));
  ASSERT_TRUE(drvWriteFile((outside + "\\victim.txt").c_str(), "mine"));
  ASSERT_TRUE(drvWriteFile((outside + "\\Sub\\deep.txt").c_str(), "mine"));
  // A file at the root of the installation's drive, reached through a leading backslash.
  std::string rootFile = install.folder.substr(0, 2) + "\\qz-uninstall-victim.txt";
  bool haveRootFile = drvWriteFile(rootFile.c_str(), "mine");
  install.listed = {"..\\outside\\victim.txt", "Models\\..\\..\\outside\\Sub\\deep.txt", outside + "\\victim.txt",
                    "\\qz-uninstall-victim.txt", "/qz-uninstall-victim.txt", install.folder.substr(0, 2) + "..\\outside",
                    "..\\outside\\Sub", "..", "...\\outside\\victim.txt", "Models/../../outside/victim.txt",
                    std::string(300, 'x'), "App\\Quirla.exe", "App\\Quirla.scr", "App"};
  install.writeList();
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Files/Folders left", leftText(install), DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(exists(outside + "\\victim.txt"));
  EXPECT_TRUE(exists(outside + "\\Sub\\deep.txt"));
  if (haveRootFile) {
    EXPECT_TRUE(exists(rootFile));
    DeleteFileA(rootFile.c_str());
  }
  // The sound entries of the same list were removed.
  EXPECT_FALSE(exists(install.at("App")));
  EXPECT_TRUE(exists(install.at("Models\\Cube.vxm")));
}

// The remover hands the uninstaller the lists it was built with, beside the program: those are
// followed, and the installation's own (which any user who can write the folder could rewrite)
// are only deleted.
TEST(UninstallRemoval, ListsBesideTheProgramAreFollowedInsteadOfTheInstallations) {
  FakeInstall install("Carried");
  install.build();
  std::string carrier = install.scratch + "\\Carrier", copy = carrier + "\\uninstall.exe";
  char exe[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("uninstall.exe", exe, sizeof exe));
  ASSERT_TRUE(drvMakeFolders(carrier.c_str()));
  ASSERT_TRUE(CopyFileA(exe, copy.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(install.at("setup.ini").c_str(), (carrier + "\\setup.ini").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(install.at("setup.lst").c_str(), (carrier + "\\setup.lst").c_str(), FALSE));
  // Rewritten in the installation: another program's association, and a list of nothing.
  ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, ".qzvictim", nullptr, "qzvictimfile"));
  ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, "qzvictimfile\\shell\\open\\command", nullptr, "victim %1"));
  ASSERT_TRUE(WritePrivateProfileStringA("Associations", "1", "Victim,qzvictim,victim.exe", install.at("setup.ini").c_str()));
  ASSERT_TRUE(drvWriteFile(install.at("setup.lst").c_str(), ""));
  UninstallRun run;
  ASSERT_TRUE(drvStart(&run.proc, ("\"" + copy + "\" " + install.name).c_str(), nullptr));
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(keyExists(".qzvictim"));
  EXPECT_TRUE(keyExists("qzvictimfile\\shell\\open\\command"));
  drvRegDeleteTree(HKEY_CLASSES_ROOT, ".qzvictim");
  drvRegDeleteTree(HKEY_CLASSES_ROOT, "qzvictimfile");
  expectCompleteRemoval(install);
  EXPECT_TRUE(exists(carrier + "\\setup.lst"));  // the remover's copies go with its temporary folder
}

TEST(UninstallRemoval, WarnsAboutAssociationsShortcutsAndTheEntryItCannotRemove) {
  FakeInstall install("Warn");
  install.build();
  // An extra key below the extension cannot go with a plain delete; the Start Menu group and the
  // Add/Remove entry are already gone.
  ASSERT_TRUE(drvRegSetString(HKEY_CLASSES_ROOT, ("." + install.extensions[0] + "\\ShellNew").c_str(), "NullFile", ""));
  ASSERT_TRUE(drvDeleteTree(install.group.c_str()));
  ASSERT_TRUE(drvRegDeleteTree(HKEY_LOCAL_MACHINE, (std::string(ADD_REMOVE_KEY) + install.name).c_str()));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Warning", "Unable to remove some file associations.", DRV_ICON_EXCLAMATION);
  run.expectBox("Warning", "Unable to remove some shortcuts from your Start Menu.", DRV_ICON_EXCLAMATION);
  run.expectBox("Warning", "Unable to remove the entry from the\n'Add/Remove New Programs' list in Control Panel.",
                DRV_ICON_EXCLAMATION);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(keyExists("." + install.extensions[0]));
  EXPECT_FALSE(keyExists(install.extensions[0] + "file"));  // its own keys went, deepest first
  EXPECT_FALSE(keyExists("." + install.extensions[1]));
  EXPECT_FALSE(exists(install.folder));
}

// A setup.ini whose name or description would reach outside the product's own entries: the
// screensaver copy and Add/Remove key are built from the name, the Start Menu group from the
// description, the association keys from the extension.
TEST(UninstallRemoval, HostileSetupNamesReachNothingOutside) {
  FakeInstall install("Names");
  install.build();
  std::string victim = windowsFolder().substr(0, 3) + "qzvictim.scr";
  ASSERT_TRUE(drvWriteFile(victim.c_str(), "mine"));
  std::string ini = install.at("setup.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("Setup", "Name", "..\\qzvictim", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Setup", "Description", "", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Associations", "3", "No extension", ini.c_str()));
  std::string programs = programsFolder();
  ASSERT_TRUE(drvWriteFile((programs + "\\Uninstall.lnk").c_str(), "someone else's"));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.expectBox("Warning", std::string(CONFIRM_START) + CONFIRM_END, DRV_ICON_EXCLAMATION, IDYES);
  run.expectBox("Warning", "Unable to remove some file associations.", DRV_ICON_EXCLAMATION);
  run.expectBox("Warning", "Unable to remove some shortcuts from your Start Menu.", DRV_ICON_EXCLAMATION);
  run.expectBox("Warning", "Unable to remove the entry from the\n'Add/Remove New Programs' list in Control Panel.",
                DRV_ICON_EXCLAMATION);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(exists(victim));
  EXPECT_TRUE(exists(programs + "\\Uninstall.lnk"));
  EXPECT_TRUE(exists(programs));
  DeleteFileA(victim.c_str());
  DeleteFileA((programs + "\\Uninstall.lnk").c_str());
  // The listed files and the sound associations went all the same.
  EXPECT_FALSE(exists(install.folder));
  EXPECT_FALSE(keyExists("." + install.extensions[0]));
}

// A numbered entry with an empty value is a failed entry; the entries after it are still read.
TEST(UninstallRemoval, AnEmptyAssociationOrShortcutIsReportedAndTheNextOnesGo) {
  FakeInstall install("Empty");
  install.extensions.push_back("qzEmptyx");
  install.build();
  std::string ini = install.at("setup.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("Associations", "3", "", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Associations", "4", ("Extra," + install.extensions[2]).c_str(), ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Shortcuts", "3", "", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Shortcuts", "4", "Extra,App\\Extra.exe", ini.c_str()));
  ASSERT_TRUE(drvWriteFile((install.group + "\\Extra.lnk").c_str(), "shortcut"));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Warning", "Unable to remove some file associations.", DRV_ICON_EXCLAMATION);
  run.expectBox("Warning", "Unable to remove some shortcuts from your Start Menu.", DRV_ICON_EXCLAMATION);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  install.expectAssociationsShortcutsAndEntryGone();  // entries 4 included, and the group with them
}

TEST(UninstallRemoval, TheUninstallShortcutGoesLastWithItsGroup) {
  FakeInstall install("Group");
  install.build();
  // Something the user put into the group keeps it; only our shortcuts go.
  ASSERT_TRUE(drvWriteFile((install.group + "\\Mine.lnk").c_str(), "mine"));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(exists(install.group + "\\Mine.lnk"));
  EXPECT_FALSE(exists(install.group + "\\Uninstall.lnk"));
  EXPECT_FALSE(exists(install.group + "\\Read Me.lnk"));
  EXPECT_FALSE(exists(install.group + "\\Quirla Model Editor.lnk"));
}

TEST(UninstallRemoval, OnWindows98TheScreensaverCopyIsTakenFromSystem) {
  FakeInstall install("Win98");
  install.build();
  // Wine reports Windows 98 to uninstall.exe while this key exists; it goes whatever happens.
  struct VersionGuard {
    ~VersionGuard() { drvRegDeleteTree(HKEY_CURRENT_USER, WINE_VERSION_KEY); }
  } guard;
  ASSERT_TRUE(drvRegSetString(HKEY_CURRENT_USER, WINE_VERSION_KEY, "Version", "win98"));
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  run.confirm(install);
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  EXPECT_TRUE(drvRegDeleteTree(HKEY_CURRENT_USER, WINE_VERSION_KEY));
  EXPECT_FALSE(exists(install.systemCopy()));
  EXPECT_TRUE(exists(install.windowsCopy()));
  EXPECT_FALSE(exists(install.folder));
  install.expectAssociationsShortcutsAndEntryGone();
}

}  // namespace

namespace {

// How much of the progress bar is filled, 0..1: the share of its middle row in the highlight colour.
double progressFill(HWND progress) {
  RECT area;
  if (!GetWindowRect(progress, &area)) return -1;
  DrvPicture picture;
  if (!drvCaptureScreen(&area, &picture)) return -1;
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  uint32_t wanted = (uint32_t)GetRValue(highlight) << 16 | GetGValue(highlight) << 8 | GetBValue(highlight);
  int filled = 0, inner = picture.width - 4;
  for (int x = 2; x < picture.width - 2; ++x) filled += drvPixel(&picture, x, picture.height / 2) == wanted;
  drvFreePicture(&picture);
  return inner > 0 ? (double)filled / inner : -1;
}

struct ProgressSample {
  int entry;    // the entry the status line showed
  double fill;  // the bar, read after it
};

// Runs a list of `entries` missing files with the given "Count" and samples the status line and
// the bar while the list is worked through (the bar is read from the screen: the program is busy
// and answers no messages then).
std::vector<ProgressSample> sampleProgress(const std::string& caseName, int entries, const std::string& count) {
  std::vector<ProgressSample> samples;
  FakeInstall install(caseName);
  install.build(count);
  install.listed.clear();
  for (int i = 0; i < entries; ++i) {
    char entry[32];
    snprintf(entry, sizeof entry, "Missing\\f%05d", i);
    install.listed.push_back(entry);
  }
  install.writeList();
  UninstallRun run;
  run.start(install.name);
  run.waitWindow();
  HWND status = drvFindChild(run.window, "Static", nullptr);
  HWND progress = drvFindChild(run.window, "msctls_progress32", nullptr);
  EXPECT_NE(nullptr, status);
  EXPECT_NE(nullptr, progress);
  run.confirm(install);
  DWORD start = GetTickCount();
  while (GetTickCount() - start < DRV_TIMEOUT && !drvFindWindow("#32770", "Done", run.proc.id)) {
    char text[64] = "";
    int entry = -1;
    drvGetTextNow(status, text, sizeof text);
    if (sscanf(text, "Missing\\f%d", &entry) == 1) samples.push_back({entry, progressFill(progress)});
    Sleep(30);
  }
  run.expectBox("Done", "Uninstall completed successfully.", DRV_ICON_ASTERISK);
  run.expectEnd();
  return samples;
}

// --- Setup reading and the bar, called directly -------------------------------------------------

struct CurrentFolder {
  char saved[MAX_PATH] = {};
  explicit CurrentFolder(const std::string& folder) {
    GetCurrentDirectoryA(sizeof saved, saved);
    EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
  }
  ~CurrentFolder() { SetCurrentDirectoryA(saved); }
};

TEST(UninstallSetup, WithoutACountTheFileCountIsFifty) {
  char scratch[MAX_PATH];
  ASSERT_TRUE(drvScratchDir("uninstall-setup", scratch, sizeof scratch));
  CurrentFolder inside(scratch);
  ASSERT_TRUE(drvWriteFile("setup.ini", "[Setup]\r\nName=QuirlaUTSetup\r\nDescription=Quirla Setup\r\n"));
  uninstallReadSetup();
  EXPECT_STREQ("QuirlaUTSetup", uninstall.productName);
  EXPECT_STREQ("Quirla Setup", uninstall.description);
  EXPECT_EQ(50, uninstall.fileCount);
  ASSERT_TRUE(WritePrivateProfileStringA("Setup", "Count", "17", ".\\setup.ini"));
  uninstallReadSetup();
  EXPECT_EQ(17, uninstall.fileCount);
}

// The bar shows trunc(done / count * 100); a count below 1 divides by fifty instead.
TEST(UninstallSetup, TheBarShowsThePercentageOfTheCount) {
  InitCommonControls();
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, bar);
  uninstall.progressWindow = bar;
  const struct {
    int done, count, percent;
  } cases[] = {{1, 3, 33}, {2, 3, 66}, {10, 0, 20}, {49, -1, 98}, {60, 0, 100}, {7, 7, 100}};
  for (const auto& c : cases) {
    uninstallProgress(c.done, c.count);
    EXPECT_EQ(c.percent, (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) << c.done << " of " << c.count;
  }
  uninstall.progressWindow = nullptr;
  DestroyWindow(bar);
}

// A count of 0 would divide by zero; it counts in fifties like a missing one.
TEST(UninstallProgress, WithoutACountTheBarCountsEntriesInFifties) {
  for (const char* count : {"", "0"}) {
    SCOPED_TRACE(std::string("Count=") + count);
    std::vector<ProgressSample> samples = sampleProgress("NoCount", 10000, count);
    int late = 0;
    for (const ProgressSample& s : samples)
      if (s.entry >= 100) {
        ++late;
        EXPECT_GE(s.fill, 0.97) << "entry " << s.entry;
      }
    EXPECT_GE(late, 5);
  }
}

TEST(UninstallProgress, WithACountTheBarCountsEntriesInThatMany) {
  std::vector<ProgressSample> samples = sampleProgress("Counted", 10000, "20000");
  int late = 0;
  for (const ProgressSample& s : samples)
    if (s.entry >= 100) {
      ++late;
      // entry / 20000 of the bar, at most a half; the bar draws in whole blocks.
      EXPECT_LE(s.fill, s.entry / 20000.0 + 0.06) << "entry " << s.entry;
    }
  EXPECT_GE(late, 5);
  EXPECT_GT(samples.empty() ? 0.0 : samples.back().fill, 0.3);
}

}  // namespace
