// The services' portable logic: trace lines, the message switch, status and progress, the
// installation folder, file lookup, path helpers, folder creation, the browser command line
// and the saver's random numbers. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app.h"
#include "appPlatform.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

TEST(AppTrace, LineNamesSourceAndLineThenMessage) {
  TraceCapture trace;
  appTrace("voxim/Bitmap.cpp", 143, "Invalid Parameters");
  ASSERT_EQ(trace.lines.size(), 1u);
  EXPECT_EQ(trace.lines[0], "voxim/Bitmap.cpp(143) : Invalid Parameters\n");
  appTrace("x", -7, "Failed to open file: %s (%d)", "a b", 42);
  EXPECT_EQ(trace.lines[1], "x(-7) : Failed to open file: a b (42)\n");
}

TEST(AppTrace, MacroNamesThisFileAndLine) {
  TraceCapture trace;
  int line = __LINE__ + 1;
  APP_TRACE("Out of Memory!");
  ASSERT_EQ(trace.lines.size(), 1u);
  // The build strips the tree's own location, so the path is relative to the source root.
  std::string expected = "tests/common/app_test.cpp(" + std::to_string(line) + ") : Out of Memory!\n";
  EXPECT_EQ(trace.lines[0], expected);
}

TEST(AppTrace, LongMessagesAreCutAndStillEndTheLine) {
  TraceCapture trace;
  std::string huge(5000, 'm');
  appTrace("src", 1, "%s", huge.c_str());
  ASSERT_EQ(trace.lines.size(), 1u);
  const std::string& line = trace.lines[0];
  EXPECT_EQ(line.size(), (size_t)APP_TRACE_LINE - 1);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.compare(0, 9, "src(1) : "), 0);
  std::string path(3000, 'p');
  appTrace(path.c_str(), 2, "short");
  EXPECT_LE(trace.lines[1].size(), (size_t)APP_TRACE_LINE - 1);
  EXPECT_EQ(trace.lines[1].back(), '\n');
}

TEST(AppTrace, WritesEvenWithMessagesOff) {
  TraceCapture trace;
  appEnableMessages(false);
  APP_TRACE("still traced");
  appEnableMessages(true);
  EXPECT_TRUE(trace.has("still traced"));
}

TEST(AppProgress, PercentageTruncatesAndCaps) {
  EXPECT_EQ(appProgressPercent(0, 7), 0u);
  EXPECT_EQ(appProgressPercent(1, 3), 33u);
  EXPECT_EQ(appProgressPercent(2, 3), 66u);
  EXPECT_EQ(appProgressPercent(7, 7), 100u);
  EXPECT_EQ(appProgressPercent(0xFFFFFFFFu, 0xFFFFFFFFu), 100u);
  EXPECT_EQ(appProgressPercent(0xFFFFFFFFu, 1), 100u);
  EXPECT_EQ(appProgressPercent(0, 0), 0u);
  EXPECT_EQ(appProgressPercent(5, 0), 100u);
}

// The next step is the first count past `done` whose percentage differs, found by trying each.
TEST(AppProgress, NextStepIsWhereThePercentageChanges) {
  for (uint32_t total : {1u, 2u, 3u, 7u, 99u, 100u, 101u, 250u, 1000u, 4097u}) {
    for (uint32_t done = 0; done <= total; ++done) {
      uint32_t expected = done + 1;
      while (expected < total && appProgressPercent(expected, total) == appProgressPercent(done, total)) ++expected;
      if (expected > total) expected = total;
      ASSERT_EQ(appProgressNext(done, total), expected) << done << " of " << total;
    }
  }
  EXPECT_EQ(appProgressNext(0, 0), 0u);
  EXPECT_EQ(appProgressNext(9, 5), 5u);
  // Near the top of the range: no overflow on the way.
  const uint32_t most = 0xFFFFFFFFu;
  const uint32_t step = appProgressNext(0, most);
  EXPECT_EQ(appProgressPercent(step, most), 1u);
  EXPECT_EQ(appProgressPercent(step - 1, most), 0u);
  EXPECT_EQ(appProgressNext(most - 1, most), most);
}

namespace {

struct Filling {
  uint32_t* values;
  uint32_t count, seed;
};

void fill(void* context) {
  Filling* f = (Filling*)context;
  for (uint32_t i = 0; i < f->count; ++i) f->values[i] = f->seed + i * i;
}

}  // namespace

// Two tasks beside the caller, each filling its own table while the caller fills a third: after
// the waits every value is there. Waiting again, or for a zeroed task, returns at once.
TEST(AppTask, TasksRunBesideTheCallerAndAreWaitedFor) {
  std::vector<uint32_t> a(100000), b(100000), c(100000);
  Filling fa = {a.data(), 100000, 1}, fb = {b.data(), 100000, 2}, fc = {c.data(), 100000, 3};
  AppTask ta, tb;
  appTaskStart(&ta, fill, &fa);
  appTaskStart(&tb, fill, &fb);
  fill(&fc);
  appTaskWait(&ta);
  appTaskWait(&tb);
  EXPECT_EQ(ta.thread, 0u);
  for (uint32_t i = 0; i < 100000; i += 999) {
    ASSERT_EQ(a[i], 1 + i * i) << i;
    ASSERT_EQ(b[i], 2 + i * i) << i;
  }
  EXPECT_EQ(a[99999], 1u + 99999u * 99999u);
  EXPECT_EQ(b[99999], 2u + 99999u * 99999u);
  appTaskWait(&ta);
  AppTask none = {};
  appTaskWait(&none);
  EXPECT_EQ(none.thread, 0u);
}

TEST(AppPaths, FileNameIsThePartAfterTheLastBackslash) {
  EXPECT_STREQ(appFileName("D:\\x\\y.bmp"), "y.bmp");
  EXPECT_STREQ(appFileName("y.bmp"), "y.bmp");
  EXPECT_STREQ(appFileName("D:\\x\\"), "");
  EXPECT_EQ(appFileName(nullptr), nullptr);
}

TEST(AppPaths, SplitPath) {
  char folder[APP_PATH_LENGTH] = "junk", name[APP_PATH_LENGTH] = "junk";
  appSplitPath("abc", folder, name);
  EXPECT_STREQ(folder, "");
  EXPECT_STREQ(name, "abc");
  appSplitPath("D:\\x\\y.bmp", folder, name);
  EXPECT_STREQ(folder, "D:\\x");
  EXPECT_STREQ(name, "y.bmp");
  appSplitPath("\\root.txt", folder, nullptr);
  EXPECT_STREQ(folder, "");
  appSplitPath("a\\b\\", nullptr, name);
  EXPECT_STREQ(name, "");
}

TEST(AppPaths, InstallFolderFromTheProgramsOwnPath) {
  char folder[APP_PATH_LENGTH];
  appInstallFolderFromModule("D:\\P\\App\\Quirla.exe", folder);
  EXPECT_STREQ(folder, "D:\\P\\");
  appInstallFolderFromModule("C:\\Program Files\\Quirla\\App\\Quirla.exe", folder);
  EXPECT_STREQ(folder, "C:\\Program Files\\Quirla\\");
  appInstallFolderFromModule("Quirla.exe", folder);
  EXPECT_STREQ(folder, "");
  appInstallFolderFromModule("App\\Quirla.exe", folder);
  EXPECT_STREQ(folder, "");
}

TEST(AppBrowser, CommandLineQuotesBrowserAndAddress) {
  char line[600];
  ASSERT_TRUE(appBrowserCommandLine("\"D:\\Prog\\browser.exe\" -nohome \"%1\"",
                                    "file://C:\\Program Files\\Quirla\\Help\\SSHelp.htm", line, sizeof line));
  EXPECT_STREQ(line, "\"D:\\Prog\\browser\" \"file://C:\\Program Files\\Quirla\\Help\\SSHelp.htm\"");
  ASSERT_TRUE(appBrowserCommandLine("C:\\b\\viewer %1", "x.htm", line, sizeof line));
  EXPECT_STREQ(line, "\"C:\\b\\viewer %1\" \"x.htm\"");
  // ".exe" is matched case-sensitively.
  ASSERT_TRUE(appBrowserCommandLine("C:\\B.EXE", "a", line, sizeof line));
  EXPECT_STREQ(line, "\"C:\\B.EXE\" \"a\"");
  EXPECT_FALSE(appBrowserCommandLine("", "a", line, sizeof line));
  EXPECT_FALSE(appBrowserCommandLine("\".exe\"", "a", line, sizeof line));
  EXPECT_FALSE(appBrowserCommandLine("C:\\b.exe", "address", line, 8));
}

TEST(AppRandom, LinearCongruentialSequence) {
  appSeedRandom(0);
  // seed = 2531011 -> bits 16..30 = 38; next = 2531011*214013+2531011 mod 2^32.
  EXPECT_EQ(appRandom(), 38);
  uint32_t seed = 2531011u;
  seed = seed * 214013u + 2531011u;
  EXPECT_EQ(appRandom(), (int)((seed >> 16) & 0x7FFF));
  appSeedRandom(12345);
  int a = appRandom(), b = appRandom();
  appSeedRandom(12345);
  EXPECT_EQ(appRandom(), a);
  EXPECT_EQ(appRandom(), b);
  for (int i = 0; i < 1000; ++i) {
    int r = appRandom();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
}

// --- Files below the installation folder -----------------------------------------------------------
// The install folder is set through the registry on Windows and through the host stand-in here.

#if !defined(_WIN32)

TEST(AppMessages, BoxesCarryTitlesAndIconsAndObeyTheSwitch) {
  TraceCapture trace;  // also resets the host records
  appWarning("Out of Memory!");
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->title, "Warning");
  EXPECT_STREQ(appHostLastBox()->text, "Out of Memory!");
  EXPECT_EQ(appHostLastBox()->flags, 0x30u);
  appFatalError("Unable to access Registry.");
  EXPECT_STREQ(appHostLastBox()->title, "Fatal Error");
  EXPECT_EQ(appHostLastBox()->flags, 0x10u);
  appMessage("hello");
  EXPECT_STREQ(appHostLastBox()->title, "Application");
  EXPECT_EQ(appHostLastBox()->flags, 0x30u);
  appSetName("Quirla Model Editor");
  appHostSetAnswer(true);
  EXPECT_TRUE(appAskYesNo("Remove?"));
  EXPECT_STREQ(appHostLastBox()->title, "Quirla Model Editor");
  EXPECT_EQ(appHostLastBox()->flags, 0x24u);
  appHostSetAnswer(false);
  EXPECT_FALSE(appAskYesNo("Remove?"));
  EXPECT_EQ(appHostBoxCount(), 5);

  appEnableMessages(false);
  appHostSetAnswer(true);
  appWarning("w");
  appFatalError("f");
  appMessage("m");
  EXPECT_FALSE(appAskYesNo("q"));
  EXPECT_EQ(appHostBoxCount(), 5);
}

TEST(AppMessages, NameIsCutAt255Characters) {
  TraceCapture trace;
  std::string name(400, 'n');
  appSetName(name.c_str());
  EXPECT_EQ(std::string(appGetName()), std::string(255, 'n'));
}

TEST(AppStatus, NeedsAWindowAndMessagesOn) {
  TraceCapture trace;
  appStatusText("Making all facets double-sided...");
  appProgress(1, 2);
  EXPECT_EQ(appHostStatusCount(), 0);
  EXPECT_EQ(appHostProgressCount(), 0);
  int window;
  appSetStatusWindow(&window);
  appSetProgressWindow(&window);
  appStatusText("Making all facets double-sided...");
  EXPECT_STREQ(appHostLastStatus(), "Making all facets double-sided...");
  appStatusText(nullptr);
  EXPECT_STREQ(appHostLastStatus(), "");
  appProgress(7, 7);
  EXPECT_EQ(appHostLastProgress(), 100);
  appProgress(0, 1);
  EXPECT_EQ(appHostLastProgress(), -1);
  appEnableMessages(false);
  appStatusText("x");
  appProgress(1, 2);
  EXPECT_EQ(appHostStatusCount(), 2);
  EXPECT_EQ(appHostProgressCount(), 2);
}

TEST(AppInstallPath, WritingRecordsTheFolderAboveApp) {
  TraceCapture trace;
  appHostSetModulePath("D:\\P\\App\\Quirla.exe");
  ASSERT_TRUE(appInitInstallPath("Quirla", true));
  EXPECT_STREQ(appHostRegistryInstallPath(), "D:\\P\\");
  EXPECT_STREQ(appInstallPath(), "D:\\P\\");
}

TEST(AppInstallPath, ReadingAppendsTheBackslash) {
  TraceCapture trace;
  appHostSetRegistryInstallPath("D:\\P");
  ASSERT_TRUE(appInitInstallPath("Quirla", false));
  EXPECT_STREQ(appInstallPath(), "D:\\P\\");
  appHostSetRegistryInstallPath("D:\\P\\");
  ASSERT_TRUE(appInitInstallPath("Quirla", false));
  EXPECT_STREQ(appInstallPath(), "D:\\P\\");
  appHostSetRegistryInstallPath(nullptr);
  ASSERT_TRUE(appInitInstallPath("Quirla", false));
  EXPECT_STREQ(appInstallPath(), "");
}

TEST(AppInstallPath, FailuresAreTraced) {
  TraceCapture trace;
  EXPECT_FALSE(appInitInstallPath(std::string(108, 'k').c_str(), false));
  EXPECT_TRUE(trace.has("Key name too long"));
  EXPECT_TRUE(appInitInstallPath(std::string(107, 'k').c_str(), false));
  appHostFailRegistry(true);
  EXPECT_FALSE(appInitInstallPath("Quirla", false));
  EXPECT_TRUE(trace.has("Failed to create key"));
}

// Makes a folder the current folder while it lives.
struct CurrentFolder {
  std::filesystem::path saved = std::filesystem::current_path();
  explicit CurrentFolder(const std::string& folder) { std::filesystem::current_path(folder); }
  ~CurrentFolder() { std::filesystem::current_path(saved); }
};

TEST(AppLocate, InstallFolderFirstThenTheNameAsGiven) {
  TraceCapture trace;
  std::string root = testScratchDir("locate");
  std::string here = testScratchDir("locate-here");  // the current folder: names as given
  appCreateFolderPath((root + "/Models").c_str());
  appCreateFolderPath((here + "/Models").c_str());
  ASSERT_TRUE(testWriteFile(root + "/Models/can.vxm", "installed"));
  ASSERT_TRUE(testWriteFile(here + "/Models/can.vxm", "here"));
  ASSERT_TRUE(testWriteFile(here + "/Models/cube.vxm", "here"));
  CurrentFolder inside(here);
  char result[APP_PATH_LENGTH];
  // Not initialised: nothing is found, not even a name that exists as given.
  appSetInstallFolder(nullptr);
  EXPECT_FALSE(appLocateFile("Models\\cube.vxm", result));
  appHostSetInstallPath(root.c_str());
  // Below the installation folder first, although the name exists as given too...
  ASSERT_TRUE(appLocateFile("Models\\can.vxm", result));
  EXPECT_EQ(std::string(result), root + "/Models\\can.vxm");
  // ...then the name as given.
  ASSERT_TRUE(appLocateFile("Models\\cube.vxm", result));
  EXPECT_STREQ(result, "Models\\cube.vxm");
  // A full path loads unchanged.
  std::string full = here + "/Models/can.vxm";
  ASSERT_TRUE(appLocateFile(full.c_str(), result));
  EXPECT_EQ(std::string(result), full);
  EXPECT_FALSE(appLocateFile("Models\\none.vxm", result));
  EXPECT_FALSE(appLocateFile(nullptr, result));
  // Without a buffer: only whether the name itself exists.
  EXPECT_TRUE(appLocateFile("Models\\cube.vxm", nullptr));
  EXPECT_FALSE(appLocateFile("Models\\none.vxm", nullptr));
  // A name too long to join to the folder is still found as given; a longer one never overflows.
  std::string longName(250, 'a');
  ASSERT_GE(std::strlen(appInstallPath()) + longName.size(), (size_t)APP_PATH_LENGTH);
  ASSERT_TRUE(testWriteFile(here + "/" + longName, ""));
  ASSERT_TRUE(appLocateFile(longName.c_str(), result));
  EXPECT_EQ(std::string(result), longName);
  EXPECT_FALSE(appLocateFile(std::string(400, 'a').c_str(), result));
}

TEST(AppFolders, DialogCreatesTheStartingFolderWithParents) {
  std::string root = testScratchDir("folders");
  std::string deep = root + "\\P\\Textures\\";
  EXPECT_FALSE(appFileExists((root + "/P").c_str()));
  appCreateFolderPath(deep.c_str());
  EXPECT_TRUE(appFileExists((root + "/P").c_str()));
  EXPECT_TRUE(appFileExists((root + "/P/Textures").c_str()));
  EXPECT_EQ(appFileTime((root + "/P").c_str()), 0u);  // folders have no file time here
}

TEST(AppFiles, TextModeWritesCrLfAndReadsItBack) {
  std::string root = testScratchDir("textmode");
  std::string path = root + "\\a.txt";
  FILE* f = appFileOpen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "Version: 2.10\nline two\n");
  std::fclose(f);
  std::string bytes;
  ASSERT_TRUE(testReadFile(root + "/a.txt", &bytes));
  EXPECT_EQ(bytes, "Version: 2.10\r\nline two\r\n");
  ASSERT_TRUE(testWriteFile(root + "/b.txt", "one\r\ntwo\rthree\nfour\r"));
  f = appFileOpen((root + "/b.txt").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[64];
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "one\n");
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "two\rthree\n");
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "four\r");
  EXPECT_EQ(std::fgets(line, sizeof line, f), nullptr);
  std::fclose(f);
  EXPECT_GT(appFileTime((root + "\\b.txt").c_str()), 0u);
  EXPECT_EQ(appFileTime((root + "\\none.txt").c_str()), 0u);
}

TEST(AppRandomFile, PicksAMatchOtherThanTheCurrentOne) {
  std::string root = testScratchDir("pick");
  char name[APP_PATH_LENGTH] = "unchanged";
  EXPECT_FALSE(appPickRandomFile(root.c_str(), "*.vxm", name));
  EXPECT_STREQ(name, "unchanged");
  ASSERT_TRUE(testWriteFile(root + "/one.vxm", ""));
  ASSERT_TRUE(testWriteFile(root + "/skip.vlt", ""));
  EXPECT_TRUE(appPickRandomFile(root.c_str(), "*.vxm", name));
  EXPECT_EQ(std::string(name), root + "\\one.vxm");
  ASSERT_TRUE(testWriteFile(root + "/TWO.VXM", ""));
  appSeedRandom(1);
  for (int i = 0; i < 20; ++i) {
    std::string before = name;
    ASSERT_TRUE(appPickRandomFile(root.c_str(), "*.vxm", name));
    EXPECT_NE(std::string(name), before);
  }
}

// With hundreds of files a pick must not search the folder once per file: one search counts,
// one more walks to the pick, which is the k-th match (in name order here) with
// k = trunc(r * n / 32768).
TEST(AppRandomFile, OneSearchCountsAndOneFindsThePick) {
  std::string root = testScratchDir("pick-many");
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    char file[16];
    std::snprintf(file, sizeof file, "t%03d.bmp", i);
    names.push_back(file);
    ASSERT_TRUE(testWriteFile(root + "/" + file, ""));
  }
  for (uint32_t seed : {1u, 99u, 12345u}) {
    appSeedRandom(seed);
    const int k = (int)((int64_t)appRandom() * 300 / 32768);
    appSeedRandom(seed);
    char name[APP_PATH_LENGTH] = "";
    const int searches = appHostFolderSearches();
    ASSERT_TRUE(appPickRandomFile(root.c_str(), "*.bmp", name));
    EXPECT_EQ(appHostFolderSearches() - searches, 2);
    EXPECT_EQ(std::string(name), root + "\\" + names[k]) << "seed " << seed;
  }
}

#endif
