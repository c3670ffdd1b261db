// setup_lists_test.cpp: tools/make-setup-lists, which writes the uninstaller's setup.ini and
// setup.lst into a staged installation. On small staged trees: shortcuts and associations are
// listed only for files the tree holds, and a setup program in the folder is refused. On the
// installation as tools/make-dist stages it: the lists and the tree agree entry for entry.
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

using Lines = std::vector<std::string>;

// The "key=value" lines of a section of setup.ini, in order, without their CR LF.
Lines section(const std::string& ini, const std::string& name) {
  Lines lines;
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

std::string field(const std::string& line, int n) {  // n from 1, after the "key="
  std::string rest = line.substr(line.find('=') + 1);
  for (int i = 1; i < n; ++i) rest = rest.substr(rest.find(',') + 1);
  return rest.substr(0, rest.find(','));
}

}  // namespace

// Associations and shortcuts are listed only for files the tree holds, the editor's first, and as
// the tree spells them (Windows compares names without case); the uninstaller removes "Uninstall"
// after these itself, and setup adds it. A folder holding a setup program is refused: the
// uninstaller would take it for the installation medium.
TEST(SetupLists, ListsOnlyWhatTheTreeHoldsAndRefusesASetupProgram) {
  const struct {
    const char* name;
    Lines files;
    bool refused;
    Lines associations, shortcuts;
  } cases[] = {
      {"lists-saver",
       {"App/Quirla.scr", "App/uninstall.exe", "Help/SSHelp.htm", "Models/can.vxm"},
       false,
       {},
       {"1=Quirla Screensaver Help,Help\\SSHelp.htm"}},
      {"lists-editor",
       {"App/Quirla.exe", "App/Quirla.scr", "App/uninstall.exe", "Help/quirla.htm", "Help/SSHelp.htm",
        "Models/can.vxm"},
       false,
       {"1=Quirla Model,vxm,App\\Quirla.exe", "2=Quirla Lighting,vlt,App\\Quirla.exe"},
       {"1=Quirla Model Editor,App\\Quirla.exe", "2=Quirla Help,Help\\quirla.htm",
        "3=Quirla Screensaver Help,Help\\SSHelp.htm"}},
      {"lists-medium", {"App/Quirla.scr", "SETUP.EXE"}, true, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = testScratchDir(c.name);
    for (const std::string& file : c.files) {
      fs::create_directories(fs::path(testJoin(folder, file)).parent_path());
      ASSERT_TRUE(testWriteFile(testJoin(folder, file), "contents of " + file));
    }
    const int raw = std::system((toolQuote(testJoin(testSourceDir(), "tools/make-setup-lists")) + " " +
                                 toolQuote(folder) + " >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(c.refused, WEXITSTATUS(raw) != 0);
    if (c.refused) continue;
    std::string ini;
    ASSERT_TRUE(testReadFile(testJoin(folder, "setup.ini"), &ini));
    EXPECT_EQ(c.associations, section(ini, "Associations"));
    EXPECT_EQ(c.shortcuts, section(ini, "Shortcuts"));
  }
}

// What tools/make-dist stages, setup installs and the uninstaller removes: the lists must name
// every file and folder of the tree exactly once, contents before their folder, and nothing else;
// every association and shortcut names a file of the tree. The CTest fixture stage_installation
// stages the tree into the build folder (ctest runs it before this test, also alone).
TEST(SetupLists, TheStagedInstallationAndItsListsAgree) {
  const fs::path staged = fs::path(testBinaryDir()) / "staged" / "Quirla";
  ASSERT_TRUE(fs::is_regular_file(staged / "setup.lst")) << staged << " is not staged: run it through ctest";
  ASSERT_TRUE(fs::is_regular_file(staged / "Models" / "can.vxm")) << "the models were not generated";
  std::string ini, lst;
  ASSERT_TRUE(testReadFile((staged / "setup.ini").string(), &ini));
  ASSERT_TRUE(testReadFile((staged / "setup.lst").string(), &lst));

  std::set<std::string> tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(staged)) {
    std::string relative = fs::relative(entry.path(), staged).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    if (relative != "setup.ini" && relative != "setup.lst") tree.insert(relative);
  }
  Lines listed;
  std::istringstream words(lst);
  for (std::string entry; words >> entry;) listed.push_back(entry);
  EXPECT_EQ(tree, std::set<std::string>(listed.begin(), listed.end()));
  EXPECT_EQ(tree.size(), listed.size()) << "an entry is listed twice";
  for (size_t i = 0; i < listed.size(); ++i)
    for (size_t j = i + 1; j < listed.size(); ++j)
      EXPECT_NE(0u, listed[j].rfind(listed[i] + "\\", 0)) << listed[j] << " is listed after its folder";
  const Lines setup = section(ini, "Setup");
  EXPECT_NE(setup.end(), std::find(setup.begin(), setup.end(), "Count=" + std::to_string(listed.size())));
  EXPECT_NE(setup.end(), std::find(setup.begin(), setup.end(), "Name=Quirla"));
  std::string lines;
  for (const std::string& entry : listed) lines += entry + "\r\n";
  EXPECT_EQ(lines, lst) << "setup.lst holds an entry a line, each line ending in CR LF";
  EXPECT_FALSE(section(ini, "Shortcuts").empty());

  for (const auto& [name, target] : {std::pair<const char*, int>{"Associations", 3}, {"Shortcuts", 2}})
    for (const std::string& line : section(ini, name)) {
      std::string file = field(line, target);
      std::replace(file.begin(), file.end(), '\\', '/');
      EXPECT_TRUE(fs::is_regular_file(staged / file)) << line;
    }
}
