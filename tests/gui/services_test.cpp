// services_test.cpp: the application services on real windows under Wine: the four message boxes
// with their titles, texts and icons and the messages switch, the progress bar, the install path
// in the registry, data-file lookup, the file dialog's folder creation and the help browser.
#include <gtest/gtest.h>

#include <string>

#include <cstring>

#include "windriver.h"
// windriver.h brings windows.h; the progress-bar messages come after it.
#include <commctrl.h>

namespace {

const char* kProductKey = "SOFTWARE\\Drovelkant\\QuirlaProbeTest";
const char* kHtmlKey = "SOFTWARE\\Classes\\htmlfile\\shell\\open\\command";

std::string binary(const char* name) {
  char path[MAX_PATH];
  EXPECT_TRUE(drvBinaryPath(name, path, sizeof path));
  return path;
}

std::string scratch(const char* name) {
  char path[MAX_PATH];
  EXPECT_TRUE(drvScratchDir(name, path, sizeof path));
  return path;
}

struct Probe {
  DrvProcess proc = {};
  ~Probe() { drvKill(&proc); }
  bool start(const std::string& arguments, const std::string& exe = binary("services_probe.exe")) {
    return drvStart(&proc, ("\"" + exe + "\" " + arguments).c_str(), nullptr);
  }
  DWORD finish() {
    DWORD code = 0xFFFF;
    EXPECT_TRUE(drvWaitExit(&proc, DRV_TIMEOUT, &code));
    return code;
  }
};

void expectBox(const std::string& arguments, const char* title, const char* text, DrvIcon icon, int answer,
               DWORD exitCode) {
  SCOPED_TRACE(arguments);
  Probe probe;
  ASSERT_TRUE(probe.start(arguments));
  DrvMessageBox box;
  ASSERT_TRUE(drvWaitMessageBox(probe.proc.id, DRV_TIMEOUT, &box));
  EXPECT_STREQ(title, box.title);
  EXPECT_STREQ(text, box.text);
  EXPECT_STREQ(drvIconName(icon), drvIconName(box.icon));
  ASSERT_TRUE(drvAnswer(&box, answer));
  EXPECT_EQ(exitCode, probe.finish());
}

std::string readFile(const std::string& path) {
  char bytes[4096] = "";
  EXPECT_TRUE(drvReadFile(path.c_str(), bytes, sizeof bytes)) << path;
  return bytes;
}

}  // namespace

TEST(ServicesBoxes, EachBoxHasItsTitleTextAndIcon) {
  expectBox("warning|Out of Memory!", "Warning", "Out of Memory!", DRV_ICON_EXCLAMATION, IDOK, 0);
  expectBox("fatal|Unable to access Registry.", "Fatal Error", "Unable to access Registry.", DRV_ICON_HAND, IDOK, 0);
  expectBox("message||A notice", "Application", "A notice", DRV_ICON_EXCLAMATION, IDOK, 0);
  expectBox("message|Quirla Model Editor|Saved.", "Quirla Model Editor", "Saved.", DRV_ICON_EXCLAMATION, IDOK, 0);
}

TEST(ServicesBoxes, QuestionsAnswerYesOnlyForYes) {
  expectBox("ask|Quirla|Remove it?", "Quirla", "Remove it?", DRV_ICON_QUESTION, IDYES, 1);
  expectBox("ask||Remove it?", "Application", "Remove it?", DRV_ICON_QUESTION, IDNO, 0);
}

TEST(ServicesBoxes, NothingIsShownWithMessagesOff) {
  Probe ask;
  ASSERT_TRUE(ask.start("silent-ask|Would a box appear?"));
  EXPECT_EQ(0u, ask.finish());  // a box would keep it waiting until the timeout
  Probe boxes;
  ASSERT_TRUE(boxes.start("silent-warning|none of these"));
  EXPECT_EQ(7u, boxes.finish());
}

TEST(ServicesProgress, ShownAtAHundredHiddenAtZero) {
  Probe probe;
  ASSERT_TRUE(probe.start("progress|100|100"));
  HWND window = drvWaitWindow("QuirlaServicesProbe", "Services Probe", probe.proc.id, DRV_TIMEOUT);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(drvSync(window, DRV_TIMEOUT));
  HWND bar = drvControl(window, 100);
  ASSERT_NE(nullptr, bar);
  LRESULT position = -1;
  ASSERT_TRUE(drvSend(bar, PBM_GETPOS, 0, 0, &position));
  EXPECT_EQ(100, position);
  EXPECT_TRUE(drvIsVisible(bar));

  ASSERT_TRUE(drvSend(window, WM_APP, 0, 1, nullptr));
  ASSERT_TRUE(drvSend(bar, PBM_GETPOS, 0, 0, &position));
  EXPECT_EQ(0, position);
  EXPECT_FALSE(drvIsVisible(bar));

  ASSERT_TRUE(drvSend(window, WM_APP, 2, 3, nullptr));
  ASSERT_TRUE(drvSend(bar, PBM_GETPOS, 0, 0, &position));
  EXPECT_EQ(66, position);
  EXPECT_TRUE(drvIsVisible(bar));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, probe.finish());
}

TEST(ServicesInstallPath, AProgramInAppRecordsTheFolderAboveIt) {
  std::string root = scratch("install path") + "\\Quirla Product";
  std::string app = root + "\\App";
  ASSERT_TRUE(drvMakeFolders(app.c_str()));
  std::string copy = app + "\\services_probe.exe";
  ASSERT_TRUE(CopyFileA(binary("services_probe.exe").c_str(), copy.c_str(), FALSE));
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, kProductKey);

  Probe writer;
  ASSERT_TRUE(writer.start("write-install|QuirlaProbeTest", copy));
  EXPECT_EQ(1u, writer.finish());
  char value[MAX_PATH] = "";
  ASSERT_TRUE(drvRegGetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallPath", value, sizeof value));
  EXPECT_EQ(root + "\\", std::string(value));

  // The reading side appends the backslash a stored value lacks.
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallPath", "D:\\P"));
  std::string out = scratch("install path read") + "\\folder.txt";
  Probe reader;
  ASSERT_TRUE(reader.start("read-install|QuirlaProbeTest|" + out));
  EXPECT_EQ(1u, reader.finish());
  EXPECT_EQ("D:\\P\\", readFile(out));

  // A product name of 108 characters is refused.
  Probe tooLong;
  ASSERT_TRUE(tooLong.start("read-install|" + std::string(108, 'k') + "|" + out));
  EXPECT_EQ(0u, tooLong.finish());
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
}

TEST(ServicesLocate, RelativeNamesAreFoundBelowTheInstallFolderFirst) {
  std::string root = scratch("locate root");
  std::string elsewhere = scratch("locate elsewhere");
  ASSERT_TRUE(drvMakeFolders((root + "\\Models").c_str()));
  ASSERT_TRUE(drvWriteFile((root + "\\Models\\can.vxm").c_str(), "x"));
  ASSERT_TRUE(drvWriteFile((elsewhere + "\\other.vxm").c_str(), "y"));
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallPath", root.c_str()));
  std::string out = elsewhere + "\\found.txt";

  Probe relative;
  ASSERT_TRUE(relative.start("locate|QuirlaProbeTest|Models\\can.vxm|" + out));
  EXPECT_EQ(1u, relative.finish());
  EXPECT_EQ(root + "\\Models\\can.vxm", readFile(out));

  std::string full = elsewhere + "\\other.vxm";
  Probe absolute;
  ASSERT_TRUE(absolute.start("locate|QuirlaProbeTest|" + full + "|" + out));
  EXPECT_EQ(1u, absolute.finish());
  EXPECT_EQ(full, readFile(out));

  Probe missing;
  ASSERT_TRUE(missing.start("locate|QuirlaProbeTest|Models\\none.vxm|" + out));
  EXPECT_EQ(0u, missing.finish());
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
}

TEST(ServicesFileDialog, CreatesAMissingStartingFolderWithItsParents) {
  std::string root = scratch("file dialog");
  std::string folder = root + "\\P\\Textures\\";
  ASSERT_FALSE(drvFileExists((root + "\\P").c_str()));
  Probe probe;
  ASSERT_TRUE(probe.start("file-dialog|" + folder));
  HWND dialog = drvWaitWindow("#32770", "Probe Open", probe.proc.id, DRV_TIMEOUT);
  ASSERT_NE(nullptr, dialog);
  EXPECT_TRUE(drvFileExists((root + "\\P").c_str()));
  EXPECT_TRUE(drvFileExists((root + "\\P\\Textures").c_str()));
  ASSERT_TRUE(drvPostCommand(dialog, IDCANCEL));
  EXPECT_EQ(0u, probe.finish());
}

// The help browser: the registered command for HTML files, its first value.
class ServicesHtml : public ::testing::Test {
 protected:
  char saved[1024] = "";
  bool hadValue = false;
  void SetUp() override { hadValue = drvRegGetString(HKEY_LOCAL_MACHINE, kHtmlKey, "", saved, sizeof saved); }
  void TearDown() override {
    drvRegDeleteTree(HKEY_LOCAL_MACHINE, kHtmlKey);
    if (hadValue) drvRegSetString(HKEY_LOCAL_MACHINE, kHtmlKey, "", saved);
  }
};

TEST_F(ServicesHtml, TheBrowserReceivesTheQuotedAddress) {
  std::string folder = scratch("browser") + "\\My Browser";
  ASSERT_TRUE(drvMakeFolders(folder.c_str()));
  ASSERT_TRUE(CopyFileA(binary("fake_browser.exe").c_str(), (folder + "\\fake_browser.exe").c_str(), FALSE));
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, kHtmlKey);
  std::string registered = "\"" + folder + "\\fake_browser.exe\" -nohome \"%1\"";
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, kHtmlKey, "", registered.c_str()));

  const std::string address = "file://C:\\Program Files\\Quirla\\Help\\SSHelp.htm";
  Probe probe;
  ASSERT_TRUE(probe.start("html|" + address));
  EXPECT_EQ(0u, probe.finish());
  std::string record = folder + "\\browser.txt";
  for (int i = 0; i < 200 && !drvFileExists(record.c_str()); ++i) Sleep(50);
  EXPECT_EQ("\"" + folder + "\\fake_browser\" \"" + address + "\"", readFile(record));
}

TEST_F(ServicesHtml, MissingRegistryKeyAndMissingBrowserAreShown) {
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, kHtmlKey);
  expectBox("html|file://x.htm", "Unable to open HTML file",
            "Could not access registry to determine your Internet Browser application.", DRV_ICON_HAND, IDOK, 0);

  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, kHtmlKey, "", "\"C:\\nowhere\\nobrowser.exe\" %1"));
  Probe probe;
  ASSERT_TRUE(probe.start("html|file://x.htm"));
  DrvMessageBox box;
  ASSERT_TRUE(drvWaitMessageBox(probe.proc.id, DRV_TIMEOUT, &box));
  EXPECT_STREQ("Unable to view HTML file", box.title);
  EXPECT_NE(nullptr, strstr(box.text, "file://x.htm"));
  EXPECT_STREQ(drvIconName(DRV_ICON_HAND), drvIconName(box.icon));
  ASSERT_TRUE(drvAnswer(&box, IDOK));
  EXPECT_EQ(0u, probe.finish());
}
