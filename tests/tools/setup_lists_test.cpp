// setup_lists_test.cpp: tools/make-setup-lists, which writes the uninstaller's setup.ini and
// setup.lst into a staged installation. On small staged trees: shortcuts and associations are
// listed only for files the tree holds, and a setup program in the folder is refused. On the
// installation as tools/make-dist stages it: the lists and the tree agree entry for entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// --- Static checks of what runs with administrator rights --------------------------------------------
// Setup, the remover and the uninstaller run elevated. What they start and load must come from
// where only administrators can write: Wine runs every program as an administrator and cannot
// show who could have planted a program or a library, so the rules are checked on the files.

namespace {

uint32_t le32(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return (uint32_t)(uint8_t)bytes[at] | (uint32_t)(uint8_t)bytes[at + 1] << 8 | (uint32_t)(uint8_t)bytes[at + 2] << 16 |
         (uint32_t)(uint8_t)bytes[at + 3] << 24;
}

uint16_t le16(const std::string& bytes, size_t at) {
  return at + 2 > bytes.size() ? 0 : (uint16_t)((uint8_t)bytes[at] | (uint8_t)bytes[at + 1] << 8);
}

// The names of the libraries a 32-bit Windows program imports, lower case; {"(unreadable)"} when
// its import table cannot be read.
std::set<std::string> importedLibraries(const std::string& program) {
  std::string bytes;
  if (!testReadFile(program, &bytes)) return {"(unreadable)"};
  size_t pe = le32(bytes, 0x3C);
  if (pe + 24 > bytes.size() || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0 || le16(bytes, pe + 24) != 0x10B)
    return {"(unreadable)"};
  size_t sections = le16(bytes, pe + 6), optional = pe + 24, table = optional + le16(bytes, pe + 20);
  auto offsetOf = [&](uint32_t rva) -> size_t {
    for (size_t i = 0; i < sections; ++i) {
      size_t header = table + 40 * i;
      uint32_t address = le32(bytes, header + 12), size = std::max(le32(bytes, header + 8), le32(bytes, header + 16));
      if (rva >= address && rva < address + size) return rva - address + le32(bytes, header + 20);
    }
    return bytes.size();
  };
  std::set<std::string> names;
  for (size_t descriptor = offsetOf(le32(bytes, optional + 104)); descriptor + 20 <= bytes.size(); descriptor += 20) {
    uint32_t name = le32(bytes, descriptor + 12);
    if (!name) break;
    size_t at = offsetOf(name);
    if (at >= bytes.size()) return {"(unreadable)"};
    std::string library = bytes.c_str() + at;
    for (char& c : library) c = (char)tolower((unsigned char)c);
    names.insert(library);
  }
  return names;
}

}  // namespace

// A library that is not Windows' own (the compiler's runtime, say) would be looked for first in
// the program's own folder: setup in the user's download folder and the uninstaller would load
// whatever lies there. Every shipped program is linked statically against all but Windows.
TEST(SetupStatic, ShippedProgramsImportOnlyWindowsOwnLibraries) {
  const std::set<std::string> windows = {"kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll",
                                         "comctl32.dll", "comdlg32.dll", "shell32.dll",  "ole32.dll",
                                         "oleaut32.dll", "msvcrt.dll"};
  const fs::path dist = fs::path(testSourceDir()) / "build" / "dist";
  const fs::path programs[] = {dist / "Quirla" / "App" / "Quirla.exe", dist / "Quirla" / "App" / "Quirla.scr",
                               dist / "Quirla" / "App" / "uninstall.exe", dist / "Quirla-2.30-setup.exe",
                               fs::path(testSourceDir()) / "build" / "win32" / "bin" / "shellrun.exe"};
  for (const fs::path& program : programs) {
    std::set<std::string> imported = importedLibraries(program.string());
    EXPECT_FALSE(imported.empty()) << program;
    for (const std::string& library : imported) EXPECT_EQ(1u, windows.count(library)) << program << " imports " << library;
  }
  // The reader sees what a program beyond Windows' own would import.
  EXPECT_EQ(std::set<std::string>{"(unreadable)"}, importedLibraries((dist / "Quirla" / "setup.ini").string()));
}

// Setup and the remover start programs only by their full path in a folder of the system or their
// own temporary folder, never by a bare name the search path would resolve; and setup reads
// nothing back from the installation it has just written.
TEST(SetupStatic, TheSetupScriptStartsProgramsByFullPathAndReadsNoListsBack) {
  std::string script;
  ASSERT_TRUE(testReadFile(testJoin(testSourceDir(), "installer/Quirla.nsi"), &script));
  std::istringstream lines(script);
  int starts = 0;
  for (std::string line; std::getline(lines, line);) {
    std::string text = line.substr(line.find_first_not_of(' ') == std::string::npos ? 0 : line.find_first_not_of(' '));
    if (text.empty() || text[0] == ';') continue;
    std::string command = text.substr(0, text.find(' '));
    if (command == "Exec" || command == "ExecWait" || command == "ExecShell" || command == "ExecShellWait" ||
        command == "nsExec::Exec" || command == "nsExec::ExecToStack" || command == "UnRegDLL" || command == "RegDLL") {
      ++starts;
      std::string program = text.substr(command.size() + 1);
      bool full = false;
      for (const char* folder : {"'\"$SYSDIR\\", "'\"$WINDIR\\", "'\"$PLUGINSDIR\\"})
        full = full || program.rfind(folder, 0) == 0;
      EXPECT_TRUE(full) << line;
    }
    EXPECT_EQ(std::string::npos, text.find("ReadINIStr")) << line;
    EXPECT_EQ(std::string::npos, text.find("$INSTDIR\\setup.ini")) << line;
    EXPECT_EQ(std::string::npos, text.find("$INSTDIR\\setup.lst")) << line;
  }
  EXPECT_GE(starts, 3);  // the uninstaller, the desktop shell's hand-over and its probe
}

// Before setup writes anything into the folder, it makes the folder Administrators' own with a
// protected list: administrators and SYSTEM full control, users read and execute, by well-known
// SIDs. Wine's icacls does nothing and Wine enforces no permissions, so the order and the
// arguments are checked on the script; the setup suite runs it all the same.
TEST(SetupStatic, TheFolderIsProtectedBeforeAnythingIsWrittenIntoIt) {
  std::string script;
  ASSERT_TRUE(testReadFile(testJoin(testSourceDir(), "installer/Quirla.nsi"), &script));
  size_t section = script.find("\nSection \"${DESCRIPTION}\"");
  ASSERT_NE(std::string::npos, section);
  size_t protect = script.find("Call ProtectFolder", section);
  for (const char* write : {"WriteRegStr", "WriteUninstaller", "File ", "SetOutPath", "CreateShortcut"})
    EXPECT_LT(protect, script.find(write, section)) << write;
  for (const char* part : {"/setowner *S-1-5-32-544 /T /C /L", "\"$INSTDIR\" /reset /L",
                           "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX",
                           "\"$INSTDIR\\*\" /reset /T /C /L",
                           "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"})
    EXPECT_NE(std::string::npos, script.find(part)) << part;
}
