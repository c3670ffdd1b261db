// setup_lists_test.cpp: tools/make-setup-lists, which writes the uninstaller's setup.ini and
// setup.lst into a staged installation. On small staged trees: shortcuts and associations are
// listed only for files the tree holds, and a setup program in the folder is refused. On the
// real staged installation of `make dist`: the lists and the tree agree entry for entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

struct Lists {
  int status = -1;
  std::string ini, lst;
};

Lists runLists(const std::string& folder) {
  Lists lists;
  const std::string command = toolQuote(testJoin(testSourceDir(), "tools/make-setup-lists")) + " " + toolQuote(folder) +
                              " >/dev/null 2>&1";
  const int raw = std::system(command.c_str());
  lists.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  testReadFile(testJoin(folder, "setup.ini"), &lists.ini);
  testReadFile(testJoin(folder, "setup.lst"), &lists.lst);
  return lists;
}

// The "key=value" lines of a section of setup.ini, in order, without their CR LF.
std::vector<std::string> section(const std::string& ini, const std::string& name) {
  std::vector<std::string> lines;
  std::istringstream in(ini);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + name + "]";
    } else if (inside && !line.empty()) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string value(const std::string& ini, const std::string& sectionName, const std::string& key) {
  for (const std::string& line : section(ini, sectionName))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return "";
}

// A staged tree holding these files (paths with '/').
std::string stage(const std::string& name, const std::vector<std::string>& files) {
  const std::string folder = testScratchDir(name);
  for (const std::string& file : files) {
    fs::create_directories(fs::path(testJoin(folder, file)).parent_path());
    EXPECT_TRUE(testWriteFile(testJoin(folder, file), "contents of " + file));
  }
  return folder;
}

std::string field(const std::string& line, int n) {  // n from 1, after the "key="
  std::string rest = line.substr(line.find('=') + 1);
  for (int i = 1; i < n; ++i) rest = rest.substr(rest.find(',') + 1);
  return rest.substr(0, rest.find(','));
}

std::string unixPath(std::string windows) {
  std::replace(windows.begin(), windows.end(), '\\', '/');
  return windows;
}

}  // namespace

TEST(SetupLists, WithoutTheEditorNoAssociationsAndOnlyTheScreensaversHelp) {
  const std::string folder =
      stage("lists-saver", {"App/Quirla.scr", "App/uninstall.exe", "Help/SSHelp.htm", "Models/can.vxm"});
  const Lists lists = runLists(folder);
  ASSERT_EQ(0, lists.status);
  EXPECT_EQ(std::vector<std::string>{}, section(lists.ini, "Associations"));
  EXPECT_EQ(std::vector<std::string>{"1=Quirla Screensaver Help,Help\\SSHelp.htm"}, section(lists.ini, "Shortcuts"));
}

// The editor's help page is listed as the tree spells it: Windows compares names without case.
TEST(SetupLists, WithTheEditorItsAssociationsAndShortcutsComeFirst) {
  const std::string folder = stage("lists-editor", {"App/Quirla.exe", "App/Quirla.scr", "App/uninstall.exe",
                                                    "Help/quirla.htm", "Help/SSHelp.htm", "Models/can.vxm"});
  const Lists lists = runLists(folder);
  ASSERT_EQ(0, lists.status);
  EXPECT_EQ((std::vector<std::string>{"1=Quirla Model,vxm,App\\Quirla.exe", "2=Quirla Lighting,vlt,App\\Quirla.exe"}),
            section(lists.ini, "Associations"));
  // The uninstaller removes "Uninstall" after these itself; setup adds it.
  EXPECT_EQ((std::vector<std::string>{"1=Quirla Model Editor,App\\Quirla.exe", "2=Quirla Help,Help\\quirla.htm",
                                      "3=Quirla Screensaver Help,Help\\SSHelp.htm"}),
            section(lists.ini, "Shortcuts"));
}

// The uninstaller takes a folder holding setup.exe for the installation medium.
TEST(SetupLists, ASetupProgramInTheFolderIsRefused) {
  const std::string folder = stage("lists-medium", {"App/Quirla.scr", "SETUP.EXE"});
  EXPECT_NE(0, runLists(folder).status);
}

// What `make dist` staged, setup installs and the uninstaller removes: the lists must name every
// file and folder of the tree exactly once, contents before their folder, and nothing else.
TEST(SetupLists, TheStagedInstallationAndItsListsAgree) {
  const fs::path staged = fs::path(testSourceDir()) / "build" / "dist" / "Quirla";
  ASSERT_TRUE(fs::is_regular_file(staged / "setup.lst")) << staged << " is not staged: run make dist";
  std::string ini, lst;
  ASSERT_TRUE(testReadFile((staged / "setup.ini").string(), &ini));
  ASSERT_TRUE(testReadFile((staged / "setup.lst").string(), &lst));

  std::set<std::string> tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(staged)) {
    std::string relative = fs::relative(entry.path(), staged).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    if (relative != "setup.ini" && relative != "setup.lst") tree.insert(relative);
  }
  std::vector<std::string> listed;
  std::istringstream words(lst);
  for (std::string entry; words >> entry;) listed.push_back(entry);
  EXPECT_EQ(tree, std::set<std::string>(listed.begin(), listed.end()));
  EXPECT_EQ(tree.size(), listed.size()) << "an entry is listed twice";
  for (size_t i = 0; i < listed.size(); ++i)
    for (size_t j = i + 1; j < listed.size(); ++j)
      EXPECT_NE(0u, listed[j].rfind(listed[i] + "\\", 0)) << listed[j] << " is listed after its folder";
  EXPECT_EQ(std::to_string(listed.size()), value(ini, "Setup", "Count"));
  for (size_t at = lst.find('\n'); at != std::string::npos; at = lst.find('\n', at + 1))
    EXPECT_TRUE(at > 0 && lst[at - 1] == '\r') << "setup.lst lines end in CR LF";
  ASSERT_FALSE(lst.empty());
  EXPECT_EQ('\n', lst.back());

  // Every shortcut and association names a file of the tree; the editor's associations are there
  // exactly when the editor is.
  const bool editor = fs::is_regular_file(staged / "App" / "Quirla.exe");
  const std::vector<std::string> associations = section(ini, "Associations");
  EXPECT_EQ(editor ? 2u : 0u, associations.size());
  for (const std::string& association : associations)
    EXPECT_TRUE(fs::is_regular_file(staged / unixPath(field(association, 3)))) << association;
  const std::vector<std::string> shortcuts = section(ini, "Shortcuts");
  EXPECT_FALSE(shortcuts.empty());
  for (const std::string& shortcut : shortcuts) {
    EXPECT_TRUE(fs::is_regular_file(staged / unixPath(field(shortcut, 2)))) << shortcut;
    EXPECT_NE("Uninstall", field(shortcut, 1));
  }
  EXPECT_EQ(editor, std::find(shortcuts.begin(), shortcuts.end(), "1=Quirla Model Editor,App\\Quirla.exe") !=
                        shortcuts.end());
}
