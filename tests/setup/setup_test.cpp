// setup_test.cpp: the setup program Quirla-<version>-setup.exe end to end, in a fresh Wine prefix
// of its own (tests/setup/run-setup-test): silent installs into folders with blanks in their
// names, on NT and under Windows 98, everything setup writes checked against the staged
// installation and its setup.ini, the Windows folder's copy of the screensaver run and seen
// drawing, a model opened through its association, the Add/Remove command declined, run without
// its uninstaller, repaired and run, and then the whole drive and the registry compared with what
// they were before; the pages as a user walks them, with screenshots; and the folders and
// situations setup refuses.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "saver_extras.h"
#include "windriver.h"

namespace {

const char* const PRODUCT_KEY = "SOFTWARE\\Drovelkant\\Quirla";
const char* const SETTINGS_KEY = "SOFTWARE\\Drovelkant\\Quirla\\Settings";
const char* const ADD_REMOVE_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quirla";
const char* const APP_DEFAULTS = "Software\\Wine\\AppDefaults\\";
const char* const PENDING_KEY = "System\\CurrentControlSet\\Control\\Session Manager";
// The setup dialog's buttons (NSIS's numbers).
const int NEXT = 1, CANCEL = 2;

std::string lower(std::string text) {
  for (char& c : text) c = (char)tolower((unsigned char)c);
  return text;
}

bool startsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string specialFolder(int which) {
  char path[MAX_PATH] = {};
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, which, FALSE)) << which;
  return path;
}

std::string windowsFolder() {
  char path[MAX_PATH] = {};
  EXPECT_GT(GetWindowsDirectoryA(path, sizeof path), 0u);
  return path;
}

// The long form, as the files below it are listed.
std::string tempFolder() {
  char path[MAX_PATH] = {}, full[MAX_PATH] = {};
  EXPECT_GT(GetTempPathA(sizeof path, path), 0u);
  std::string folder = path;
  if (endsWith(folder, "\\")) folder.pop_back();
  return GetLongPathNameA(folder.c_str(), full, sizeof full) ? full : folder;
}

bool exists(const std::string& path) { return drvFileExists(path.c_str()); }

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string regString(HKEY root, const std::string& key, const char* name) {
  char value[1024] = {};
  return drvRegGetString(root, key.c_str(), name, value, sizeof value) ? value : "(missing)";
}

std::string installPath() { return regString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "InstallPath"); }

// The program's manifest (resource 1 of type RT_MANIFEST), empty when it has none.
std::string manifestOf(const std::string& program) {
  std::string text;
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "(cannot be read)";
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes) text.assign(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  return text;
}

BOOL CALLBACK collectIcon(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR images) {
  HRSRC found = FindResourceA(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes) reinterpret_cast<std::set<std::string>*>(images)->insert(std::string(bytes, SizeofResource(module, found)));
  return TRUE;
}

// The pictures of a program's icons (its RT_ICON resources), and those of an .ico file.
std::set<std::string> iconImagesOf(const std::string& program) {
  std::set<std::string> images;
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return {"(cannot be read)"};
  EnumResourceNamesA(module, MAKEINTRESOURCEA(3), collectIcon, reinterpret_cast<LONG_PTR>(&images));
  FreeLibrary(module);
  return images;
}

std::set<std::string> iconFileImages(const std::string& file) {
  std::string bytes = readBytes(file);
  std::set<std::string> images;
  for (size_t i = 0, count = bytes.size() >= 6 ? (uint8_t)bytes[4] : 0; i < count && 6 + 16 * i + 16 <= bytes.size(); ++i) {
    const char* entry = bytes.data() + 6 + 16 * i;
    uint32_t size, offset;
    memcpy(&size, entry + 8, 4);
    memcpy(&offset, entry + 12, 4);
    if (offset + size <= bytes.size()) images.insert(bytes.substr(offset, size));
  }
  return images;
}

std::string distFolder() {
  char path[MAX_PATH] = {};
  EXPECT_TRUE(drvWinPath(QUIRLA_DIST_DIR, path, sizeof path));
  return path;
}

std::string stagedFolder() { return distFolder() + "\\Quirla"; }

// The setup program the run built, and the version its name carries ("Quirla-2.30-setup.exe").
struct SetupProgram {
  std::string path, name, version;
};

SetupProgram setupProgram() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((distFolder() + "\\Quirla-*-setup.exe").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  FindClose(search);
  std::string name = found.cFileName;
  return {distFolder() + "\\" + name, name, name.substr(7, name.size() - 7 - 10)};
}

std::string iniValue(const std::string& ini, const char* section, const std::string& key) {
  char value[1024] = {};
  GetPrivateProfileStringA(section, key.c_str(), "", value, sizeof value, ini.c_str());
  return value;
}

// The product's name in the staged setup.ini (an installation's copy is checked to be the same).
std::string description() { return iniValue(stagedFolder() + "\\setup.ini", "Setup", "Description"); }

// Field n (from 1) of a comma-separated setup.ini value.
std::string field(const std::string& value, int n) {
  std::istringstream in(value);
  std::string part;
  for (int i = 0; i < n; ++i)
    if (!std::getline(in, part, ',')) return "";
  return part;
}

// The entries "1", "2", ... of a setup.ini section, up to the first missing one.
std::vector<std::string> iniList(const std::string& ini, const char* section) {
  std::vector<std::string> values;
  for (int n = 1;; ++n) {
    std::string value = iniValue(ini, section, std::to_string(n));
    if (value.empty()) return values;
    values.push_back(value);
  }
}

// Starts setup with these arguments and waits for it; its exit code, or -1 when it did not end.
int runSetup(const std::string& arguments) {
  DrvProcess proc = {};
  std::string command = "\"" + setupProgram().path + "\" " + arguments;
  if (!drvStart(&proc, command.c_str(), nullptr)) return -1;
  DWORD code = 0;
  bool ended = drvWaitExit(&proc, 120000, &code);
  drvKill(&proc);
  return ended ? (int)code : -1;
}

// The next message box of the process (0: any), checked against its title (null: any) and text.
DrvMessageBox expectBox(DWORD process, const char* title, const std::string& text, DWORD timeoutMs = DRV_TIMEOUT) {
  DrvMessageBox box = {};
  EXPECT_TRUE(drvWaitMessageBox(process, timeoutMs, &box)) << text;
  if (title) {
    EXPECT_STREQ(title, box.title);
  }
  EXPECT_EQ(text, box.text);
  return box;
}

// --- Snapshots of the drive and the registry --------------------------------------------------------

void listFiles(const std::string& folder, std::set<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName, path = folder + "\\" + name;
    if (name == "." || name == "..") continue;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      out->insert(lower(path));
      continue;
    }
    out->insert(lower(path) + "\\");
    // Links lead elsewhere (Wine's own folders); what they hold is listed where it lies.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) listFiles(path, out);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void listKeys(HKEY root, const std::string& name, const std::string& key, std::set<std::string>* out) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
  out->insert(lower(name + "\\" + key));
  char child[512];
  for (DWORD i = 0, length = sizeof child;
       RegEnumKeyExA(opened, i, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = sizeof child)
    listKeys(root, name, key + "\\" + child, out);
  RegCloseKey(opened);
}

// Every file and folder of drive C: and every key of the machine's and the user's software
// (the file associations of HKEY_CLASSES_ROOT live in both).
std::set<std::string> snapshot() {
  std::set<std::string> entries;
  listFiles("C:", &entries);
  listKeys(HKEY_LOCAL_MACHINE, "HKLM", "Software", &entries);
  listKeys(HKEY_CURRENT_USER, "HKCU", "Software", &entries);
  return entries;
}

// Wine's own settings, which Wine changes as programs run (and the Windows 98 switch below).
bool isWines(const std::string& entry) { return startsWith(entry, "hkcu\\software\\wine\\"); }

// The entries of `a` that `b` lacks, Wine's own settings left out.
std::vector<std::string> minus(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::vector<std::string> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  out.erase(std::remove_if(out.begin(), out.end(), isWines), out.end());
  return out;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// The files waiting to be deleted at the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT):
// pairs of texts, the file and then its new name, empty for a deletion.
std::vector<std::string> pendingDeletions() {
  std::vector<char> data(65536);
  DWORD size = (DWORD)data.size() - 2;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, PENDING_KEY, "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                   data.data(), &size))
    size = 0;
  std::vector<std::string> out;
  for (size_t at = 0, next; at < size && data[at]; at = next + strlen(&data[next]) + 1) {
    std::string file = data.data() + at;
    next = at + file.size() + 1;
    if (!data[next]) out.push_back(lower(startsWith(file, "\\??\\") ? file.substr(4) : file));
  }
  return out;
}

// After a removal nothing of the product is left, and nothing that was there before is gone,
// except the remover's own temporary copy (%TEMP%\~nsuN.tmp\Un.exe: NSIS runs a remover from a
// copy, which cannot delete itself), and that waits to be deleted at the next restart.
void expectNothingLeftSince(const std::set<std::string>& before) {
  std::set<std::string> after = snapshot();
  std::string temp = lower(tempFolder()) + "\\~nsu";
  std::vector<std::string> pending = pendingDeletions(), left;
  for (const std::string& entry : minus(after, before)) {
    if (!startsWith(entry, temp) || !(endsWith(entry, ".tmp\\") || endsWith(entry, ".tmp\\un.exe"))) {
      left.push_back(entry);
    } else if (endsWith(entry, "un.exe")) {
      EXPECT_NE(pending.end(), std::find(pending.begin(), pending.end(), entry))
          << entry << " is not deleted at the next restart";
    }
  }
  EXPECT_TRUE(left.empty()) << "left after the removal:" << join(left);
  EXPECT_TRUE(minus(before, after).empty()) << "gone with the removal:" << join(minus(before, after));
}

// --- What setup writes -----------------------------------------------------------------------------

// Files and folders below `root` relative to it, folders ending in a backslash.
std::set<std::string> treeBelow(const std::string& root) {
  std::set<std::string> full, relative;
  listFiles(root, &full);
  for (const std::string& path : full) relative.insert(path.substr(root.size() + 1));
  return relative;
}

std::string shortcutTarget(const std::string& link) {
  CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  IPersistFile* file = nullptr;
  wchar_t wide[MAX_PATH];
  char path[MAX_PATH] = "(unreadable)";
  MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink)) &&
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Load(wide, STGM_READ)))
    shellLink->GetPath(path, MAX_PATH, nullptr, 0);
  if (file) file->Release();
  if (shellLink) shellLink->Release();
  return path;
}

// The command of the Add/Remove entry and the program it starts (without its quotes).
struct AddRemoveCommand {
  std::string command, program;
};

AddRemoveCommand addRemoveCommand() {
  AddRemoveCommand found;
  found.command = regString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "UninstallString");
  bool quoted = startsWith(found.command, "\"");
  found.program = quoted ? found.command.substr(1, found.command.find('"', 1) - 1)
                         : found.command.substr(0, found.command.find(' '));
  return found;
}

// Everything setup writes for an installation in `folder`, with the screensaver's copy in
// `saverFolder`, checked against the staged installation and its setup.ini.
void expectInstalled(const std::string& folder, const std::string& saverFolder) {
  SCOPED_TRACE("installed in " + folder);
  // The staged tree, byte for byte, setup.ini and setup.lst included.
  std::string staged = stagedFolder();
  std::set<std::string> files = treeBelow(folder);
  EXPECT_EQ(treeBelow(staged), files);
  for (const std::string& file : files)
    if (!endsWith(file, "\\")) {
      EXPECT_EQ(readBytes(staged + "\\" + file), readBytes(folder + "\\" + file)) << file;
    }

  EXPECT_EQ(folder + "\\", installPath());
  EXPECT_EQ(readBytes(staged + "\\App\\Quirla.scr"), readBytes(saverFolder + "\\Quirla.scr"));

  // The lists of setup.ini (tests/tools/setup_lists_test checks them against the tree) registered.
  std::string ini = folder + "\\setup.ini";
  for (const std::string& association : iniList(ini, "Associations")) {
    std::string extension = field(association, 2), program = folder + "\\" + field(association, 3);
    SCOPED_TRACE("association " + association);
    EXPECT_EQ(extension + "file", regString(HKEY_CLASSES_ROOT, "." + extension, nullptr));
    EXPECT_EQ(field(association, 1), regString(HKEY_CLASSES_ROOT, extension + "file", nullptr));
    EXPECT_EQ(program + ",0", regString(HKEY_CLASSES_ROOT, extension + "file\\DefaultIcon", nullptr));
    EXPECT_EQ("\"" + program + "\" \"%1\"",
              regString(HKEY_CLASSES_ROOT, extension + "file\\shell\\open\\command", nullptr));
  }

  // The Start Menu group, named by the description, in the user's Programs folder, where the
  // uninstaller looks: the listed shortcuts and "Uninstall", nothing else.
  AddRemoveCommand remover = addRemoveCommand();
  std::string group = specialFolder(CSIDL_PROGRAMS) + "\\" + description();
  std::set<std::string> links = {"uninstall.lnk"};
  for (const std::string& shortcut : iniList(ini, "Shortcuts")) {
    std::string link = group + "\\" + field(shortcut, 1) + ".lnk";
    links.insert(lower(field(shortcut, 1) + ".lnk"));
    EXPECT_EQ(lower(folder + "\\" + field(shortcut, 2)), lower(shortcutTarget(link))) << link;
  }
  EXPECT_EQ(lower(remover.program), lower(shortcutTarget(group + "\\Uninstall.lnk")));
  EXPECT_EQ(links, treeBelow(group));

  // The Add/Remove entry starts a program outside the installation folder.
  for (const auto& [name, value] : {std::pair<const char*, std::string>{"DisplayName", description()},
                                    {"DisplayVersion", setupProgram().version},
                                    {"Publisher", "Drovelkant"},
                                    {"DisplayIcon", folder + "\\App\\Quirla.scr,0"}})
    EXPECT_EQ(value, regString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, name)) << name;
  EXPECT_TRUE(exists(remover.program)) << remover.command;
  EXPECT_FALSE(startsWith(lower(remover.program), lower(folder + "\\"))) << remover.command;
  // Setup and the remover show the product's icon (the screensaver's), not NSIS's.
  char icon[MAX_PATH];
  ASSERT_TRUE(drvWinPath(QUIRLA_SOURCE_DIR "/saver/art/Quirla.ico", icon, sizeof icon));
  std::set<std::string> product = iconFileImages(icon);
  EXPECT_EQ(2u, product.size());
  for (const std::string& program : {setupProgram().path, remover.program})
    EXPECT_EQ(product, iconImagesOf(program)) << program;

  // Setup, the remover and the uninstaller ask for administrator rights; the screensaver and the
  // editor run as the user and ask for nothing.
  for (const std::string& program : {setupProgram().path, remover.program, folder + "\\App\\uninstall.exe"})
    EXPECT_NE(std::string::npos, manifestOf(program).find("level=\"requireAdministrator\"")) << program;
  for (const std::string& program : {folder + "\\App\\Quirla.scr", folder + "\\App\\Quirla.exe"})
    EXPECT_EQ(std::string::npos, manifestOf(program).find("requestedExecutionLevel")) << program;
}

// --- Using and removing the installation -------------------------------------------------------------

// The screensaver copy run as the Display control panel runs it: full screen, and a picture that
// changes from frame to frame, as the default settings spin and move a model; its first start
// writes those settings with the model of the installation in `folder`.
void expectSaverDrawsAModel(const std::string& saver, const std::string& folder) {
  DrvProcess proc = {};
  ASSERT_TRUE(saverStart(&proc, "\"" + saver + "\" /s"));
  HWND window = saverWaitFullScreen(proc.id, DRV_TIMEOUT);
  ASSERT_NE(nullptr, window);
  RECT area;
  ASSERT_TRUE(GetWindowRect(window, &area));
  SaverShot first, later;
  saverPause(1000);
  ASSERT_TRUE(first.take(area));
  long changed = 0;
  for (int i = 0; i < 50 && changed < 100; ++i) {
    saverPause(100);
    ASSERT_TRUE(later.take(area));
    changed = 0;
    for (int y = 0; y < first.picture.height; ++y)
      for (int x = 0; x < first.picture.width; ++x) changed += first.at(x, y) != later.at(x, y);
  }
  EXPECT_GE(changed, 100) << "the screensaver's picture does not move";
  EXPECT_EQ(folder + "\\Models\\can.vxm", regString(HKEY_LOCAL_MACHINE, SETTINGS_KEY, "Model File"));
  drvPostKey(window, VK_SPACE);
  EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, nullptr));
  drvKill(&proc);
}

// A model opened as Explorer opens it, through its association: the editor shows it in its title.
void expectModelOpensInTheEditor(const std::string& folder) {
  ASSERT_TRUE(exists(folder + "\\App\\Quirla.exe")) << "the model editor is not part of the staged installation";
  std::string model = folder + "\\Models\\can.vxm";
  INT_PTR started = (INT_PTR)ShellExecuteA(nullptr, "open", model.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  EXPECT_GT(started, 32);
  std::string title = "Quirla Model Editor - [" + lower(model) + "]";
  HWND editor = drvWaitWindow("Quirla", title.c_str(), 0, DRV_TIMEOUT);
  ASSERT_NE(nullptr, editor) << title;
  PostMessageA(editor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(drvWaitGone(editor, DRV_TIMEOUT));
  // The editor has ended when its program file can be written again.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (DWORD start = GetTickCount(); file == INVALID_HANDLE_VALUE && GetTickCount() - start < (DWORD)DRV_TIMEOUT; Sleep(100))
    file = CreateFileA((folder + "\\App\\Quirla.exe").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, file);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// The process that started a process, and a process's program name ("" when it has ended).
DWORD parentProcess(DWORD process) {
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(processes, &entry); more; more = Process32Next(processes, &entry))
    if (entry.th32ProcessID == process) parent = entry.th32ParentProcessID;
  CloseHandle(processes);
  return parent;
}

std::string processName(DWORD process) {
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  std::string name;
  for (BOOL more = Process32First(processes, &entry); more; more = Process32Next(processes, &entry))
    if (entry.th32ProcessID == process) name = entry.szExeFile;
  CloseHandle(processes);
  return name;
}

// Whether the remover's temporary copy (NSIS names it Un.exe) runs.
bool removerRunning() {
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool running = false;
  for (BOOL more = Process32First(processes, &entry); more; more = Process32Next(processes, &entry))
    running = running || !lstrcmpiA(entry.szExeFile, "Un.exe");
  CloseHandle(processes);
  return running;
}

bool waitForRemover() {
  for (DWORD start = GetTickCount(); removerRunning(); Sleep(100))
    if (GetTickCount() - start > (DWORD)DRV_TIMEOUT) return false;
  return true;
}

// The Add/Remove command as Control Panel runs it: the uninstaller's window and its confirmation,
// answered `answer`; on Yes its report. Returns once the remover has ended.
// A `notice` is a box the remover shows first (answered OK).
void runAddRemoveCommand(int answer = IDYES, const std::string& notice = "") {
  AddRemoveCommand remover = addRemoveCommand();
  DrvProcess proc = {};
  ASSERT_TRUE(drvStart(&proc, remover.command.c_str(), nullptr)) << remover.command;
  if (!notice.empty()) {
    DrvMessageBox box = expectBox(0, nullptr, notice);
    EXPECT_STREQ(drvIconName(DRV_ICON_ASTERISK), drvIconName(box.icon));
    ASSERT_TRUE(drvAnswer(&box, IDOK));
  }
  HWND window = drvWaitWindow("UNINSTALL", "Uninstall", 0, DRV_TIMEOUT);
  drvKill(&proc);
  ASSERT_NE(nullptr, window);
  DWORD uninstaller = 0;
  GetWindowThreadProcessId(window, &uninstaller);
  DrvMessageBox box = expectBox(uninstaller, "Warning", "This will remove '" + description() +
                                                            "', and all of its components.\n\nAre you sure you want to do this ?");
  ASSERT_TRUE(drvAnswer(&box, answer));
  if (answer == IDYES) {
    box = expectBox(uninstaller, "Done", "Uninstall completed successfully.", 60000);
    ASSERT_TRUE(drvAnswer(&box, IDOK));
  }
  EXPECT_TRUE(drvWaitGone(window, DRV_TIMEOUT));
  EXPECT_TRUE(waitForRemover());
  EXPECT_EQ(answer != IDYES, exists(remover.program));
}

// Wine reports Windows 98 to these programs while their keys exist.
struct Windows98 {
  std::vector<std::string> programs;
  explicit Windows98(const std::vector<std::string>& names) : programs(names) {
    for (const std::string& program : programs)
      EXPECT_TRUE(drvRegSetString(HKEY_CURRENT_USER, (APP_DEFAULTS + program).c_str(), "Version", "win98"));
  }
  ~Windows98() {
    for (const std::string& program : programs) drvRegDeleteTree(HKEY_CURRENT_USER, (APP_DEFAULTS + program).c_str());
  }
};

// --- Installing, using and removing ------------------------------------------------------------------

// The run built the setup program from the staged installation. On Windows 98 the screensaver's copy goes into the system folder instead of the Windows folder.
// Only the NT run uses the installation: under Wine just setup and the uninstaller see Windows 98,
// and the editor would keep its copy of the saver where NT wants it.
TEST(Setup, InstallsUsesRepairsAndRemovesTheProductOnNtAndOnWindows98) {
  SetupProgram program = setupProgram();
  ASSERT_FALSE(program.path.empty()) << "no Quirla-*-setup.exe in " << distFolder();
  EXPECT_EQ("2.30", program.version);
  WIN32_FILE_ATTRIBUTE_DATA built = {}, staged = {};
  ASSERT_TRUE(GetFileAttributesExA(program.path.c_str(), GetFileExInfoStandard, &built));
  ASSERT_TRUE(GetFileAttributesExA((stagedFolder() + "\\setup.lst").c_str(), GetFileExInfoStandard, &staged));
  EXPECT_GE(CompareFileTime(&built.ftLastWriteTime, &staged.ftLastWriteTime), 0) << "older than the staged tree";
  for (bool win98 : {false, true}) {
    SCOPED_TRACE(win98 ? "Windows 98" : "NT");
    Windows98 windows98(win98 ? std::vector<std::string>{setupProgram().name, "uninstall.exe"}
                              : std::vector<std::string>{});
    std::set<std::string> before = snapshot();
    std::string folder = specialFolder(CSIDL_PROGRAM_FILES) + "\\Drovelkant\\Quirla " + (win98 ? "98" : "3D") + " Test";
    std::string saverFolder = windowsFolder() + (win98 ? "\\system" : ""),
                otherFolder = windowsFolder() + (win98 ? "" : "\\system");
    ASSERT_EQ(0, runSetup("/S /D=" + folder));
    expectInstalled(folder, saverFolder);
    EXPECT_FALSE(exists(otherFolder + "\\Quirla.scr"));
    // The snapshots see the installation: a file, the folder setup made above it, the product key.
    std::vector<std::string> added = minus(snapshot(), before);
    for (const std::string& entry : {lower(folder) + "\\app\\quirla.scr",
                                     lower(specialFolder(CSIDL_PROGRAM_FILES)) + "\\drovelkant\\",
                                     std::string("hklm\\software\\drovelkant\\quirla")})
      EXPECT_NE(added.end(), std::find(added.begin(), added.end(), entry)) << entry;
    if (!win98) {
      expectSaverDrawsAModel(saverFolder + "\\Quirla.scr", folder);
      expectModelOpensInTheEditor(folder);
    }

    // No to the uninstaller's question: the installation stays whole, with its Add/Remove entry.
    runAddRemoveCommand(IDNO);
    expectInstalled(folder, saverFolder);
    // The same folder spelt another way (its 8.3 name, a trailing dot) is the same installation,
    // recorded in its long form.
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(folder.c_str(), shortName, sizeof shortName), 0u);
    std::string respelt = win98 ? folder + "." : std::string(shortName);
    EXPECT_NE(lower(folder), lower(respelt));
    ASSERT_EQ(0, runSetup("/S /D=" + respelt)) << respelt;
    expectInstalled(folder, saverFolder);

    // Whatever a user who could write the installation changed there, the removal follows what
    // setup was built with: its uninstaller gone, its lists rewritten to name Windows' own
    // programs' association and nothing to remove, InstallPath pointing at an old copy of the
    // editor's folder. The remover puts InstallPath back, says so and removes the installation.
    AddRemoveCommand remover = addRemoveCommand();
    ASSERT_TRUE(DeleteFileA((folder + "\\App\\uninstall.exe").c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Associations", "1", "Program,exe,App\\Quirla.exe",
                                           (folder + "\\setup.ini").c_str()));
    ASSERT_TRUE(drvWriteFile((folder + "\\setup.lst").c_str(), "setup.ini\r\n"));
    const std::string oldCopy = "C:\\Quirla Old Copy";
    ASSERT_TRUE(drvMakeFolders((oldCopy + "\\App").c_str()));
    ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "InstallPath", (oldCopy + "\\").c_str()));
    runAddRemoveCommand(IDYES, "The installation folder was recorded as '" + oldCopy + "\\', but Setup installed " +
                                   description() + " in '" + folder + "'.\r\n\r\n" + description() +
                                   " is removed from '" + folder + "'.");
    EXPECT_TRUE(exists(oldCopy + "\\App"));
    ASSERT_TRUE(drvDeleteTree(oldCopy.c_str()));
    expectNothingLeftSince(before);
  }
}

// --- Refusals --------------------------------------------------------------------------------------

// Quirla running while it lives: the installed screensaver in the preview of a stand-in for the
// Display control panel, or the model editor of the installation in `folder`. `end` checks that
// it ran all along and ends it as the user would.
struct RunningQuirla {
  DrvProcess proc = {};
  HWND panel = nullptr, window = nullptr;
  RunningQuirla(const std::string& folder, bool editor) {
    if (editor) {
      EXPECT_TRUE(drvStart(&proc, ("\"" + folder + "\\App\\Quirla.exe\"").c_str(), nullptr));
      window = drvWaitWindow("Quirla", nullptr, proc.id, DRV_TIMEOUT);
    } else {
      panel = CreateWindowExA(0, "Static", "Display Properties", WS_POPUP | WS_BORDER | WS_VISIBLE | WS_CLIPCHILDREN, 700,
                              500, 160, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
      EXPECT_TRUE(saverStart(&proc, "\"" + windowsFolder() + "\\Quirla.scr\" /p " + std::to_string((UINT_PTR)panel)));
      for (DWORD start = GetTickCount(); !window && GetTickCount() - start < (DWORD)DRV_TIMEOUT; saverPause(20))
        window = FindWindowExA(panel, nullptr, "WindowsScreenSaverClass", nullptr);
    }
    EXPECT_NE(nullptr, window) << (editor ? "the editor" : "the preview");
  }
  // Closing the panel ends its preview; the editor is closed.
  void end() {
    EXPECT_TRUE(drvIsRunning(&proc));
    if (panel) DestroyWindow(panel);
    if (!panel) PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(saverWaitExit(&proc, DRV_TIMEOUT, nullptr));
    panel = window = nullptr;
  }
  ~RunningQuirla() {
    if (panel) DestroyWindow(panel);
    drvKill(&proc);
  }
};

size_t longestListedEntry() {
  std::istringstream list(readBytes(stagedFolder() + "\\setup.lst"));
  size_t longest = 0;
  for (std::string entry; list >> entry;) longest = std::max(longest, entry.size());
  return longest;
}

// A folder "C:\qqq...q" whose listed paths are `spare` characters short of what Windows takes.
std::string folderWithRoomFor(int spare) {
  int length = MAX_PATH - 1 - 1 - (int)longestListedEntry() - spare;
  return "C:\\" + std::string(length - 3, 'q');
}

// Silent setup refuses with code 2 and changes nothing: not the drive, not the registry, not the
// installation already there.
TEST(SetupRefuses, FoldersAndSituationsWhereTheUninstallerCouldNotWork) {
  std::set<std::string> before = snapshot();
  const std::string medium = "C:\\Quirla Medium", longest = folderWithRoomFor(0);
  std::unique_ptr<RunningQuirla> running;
  struct Refusal {
    const char* why;
    std::string folder;
    std::function<void()> arrange = nullptr;
    bool limited = false;  // setup sees an account without administrator rights
  };
  // Wine shows its links to Unix folders (the user's desktop, a merged /bin) as reparse points;
  // it cannot make junctions of its own.
  std::string linked;
  for (const std::string& folder : {specialFolder(CSIDL_DESKTOPDIRECTORY), std::string("Z:\\bin")}) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (linked.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      linked = folder;
  }
  ASSERT_FALSE(linked.empty()) << "no linked folder to try";
  const Refusal refusals[] = {
      // Wine runs every program as an administrator; the variable makes setup see a limited account.
      {"no administrator rights", "C:\\Quirla Limited", nullptr, true},
      {"a drive root", "C:\\"},
      {"a drive", "C:"},
      {"a drive root spelt with a dot", "C:\\."},
      {"a drive root reached by going up", specialFolder(CSIDL_PROGRAM_FILES) + "\\.."},
      {"a share", "\\\\server\\share"},
      {"a share's root", "\\\\server\\share\\"},
      {"a share's root spelt with a dot", "\\\\server\\share\\."},
      {"not a full path", "Quirla"},
      {"a path relative to a drive's current folder", "C:Quirla"},
      {"a folder below a link, where the uninstaller would delete elsewhere", linked + "\\Quirla"},
      {"a listed file's path one character too long", folderWithRoomFor(-1)},
      {"a folder holding a setup program, which the uninstaller takes for the installation medium", medium,
       [&] {
         ASSERT_TRUE(drvMakeFolders(medium.c_str()));
         ASSERT_TRUE(drvWriteFile((medium + "\\setup.exe").c_str(), "setup"));
       }},
      // The longest folder that fits installs; while it stays, a second installation is refused.
      {"a second installation elsewhere", "C:\\Quirla Elsewhere",
       [&] {
         ASSERT_TRUE(drvDeleteTree(medium.c_str()));
         ASSERT_EQ(0, runSetup("/S /D=" + longest));
         EXPECT_EQ(longest + "\\", installPath());
       }},
      {"the screensaver running in a preview", longest, [&] { running = std::make_unique<RunningQuirla>(longest, false); }},
      {"the model editor running", longest,
       [&] {
         running->end();
         running = std::make_unique<RunningQuirla>(longest, true);
       }},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.why);
    if (refusal.arrange) refusal.arrange();
    std::set<std::string> arranged = snapshot();
    std::string path = installPath();
    if (refusal.limited) SetEnvironmentVariableA("QUIRLA_SETUP_SEES_USER", "1");
    EXPECT_EQ(2, runSetup("/S /D=" + refusal.folder)) << refusal.folder;
    SetEnvironmentVariableA("QUIRLA_SETUP_SEES_USER", nullptr);
    std::set<std::string> after = snapshot();
    EXPECT_EQ("", join(minus(after, arranged)) + join(minus(arranged, after))) << "added, then gone";
    EXPECT_EQ(path, installPath());
  }
  // The remover refuses too, with the same words, while the editor runs.
  {
    std::set<std::string> arranged = snapshot();
    AddRemoveCommand remover = addRemoveCommand();
    DrvProcess proc = {};
    ASSERT_TRUE(drvStart(&proc, remover.command.c_str(), nullptr));
    DrvMessageBox box = expectBox(0, nullptr, "Quirla is running: the screensaver or the model editor is open.\r\n\r\n"
                                  "Close the model editor, end the screensaver and close the Display control panel (its "
                                  "preview runs the screensaver), then try again.");
    EXPECT_STREQ(drvIconName(DRV_ICON_HAND), drvIconName(box.icon));
    ASSERT_TRUE(drvAnswer(&box, IDOK));
    drvKill(&proc);
    EXPECT_TRUE(waitForRemover());
    EXPECT_EQ(nullptr, drvFindWindow("UNINSTALL", nullptr, 0));
    std::set<std::string> after = snapshot();
    EXPECT_EQ("", join(minus(after, arranged)) + join(minus(arranged, after))) << "added, then gone";
  }
  // Once Quirla has ended, the same folder takes the installation again, and the uninstaller
  // removes it all.
  running->end();
  EXPECT_EQ(0, runSetup("/S /D=" + longest));
  runAddRemoveCommand();
  expectNothingLeftSince(before);
}

// An Add/Remove entry whose folder was deleted by hand does not block an installation elsewhere:
// setup removes it (silently: it would ask) and records its own.
TEST(SetupRecords, AnEntryWhoseFolderIsGoneMakesWayForANewInstallation) {
  std::set<std::string> before = snapshot();
  const std::string gone = "C:\\Quirla Gone", folder = "C:\\Quirla Fresh";
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "InstallLocation", gone.c_str()));
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "UninstallString",
                              ("\"" + windowsFolder() + "\\QuirlaUninstall.exe\"").c_str()));
  ASSERT_TRUE(drvRegSetString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "Stale", "yes"));
  ASSERT_EQ(0, runSetup("/S /D=" + folder));
  EXPECT_EQ(folder, regString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "InstallLocation"));
  EXPECT_EQ("(missing)", regString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "Stale"));
  expectInstalled(folder, windowsFolder());
  runAddRemoveCommand();
  expectNothingLeftSince(before);
}

// Setup checks its registry writes and stops at the first that fails, with code 2 and without
// claiming an installation. It records the folder, the remover and the Add/Remove entry before it
// writes any file, so an installation stopped half-way still goes with the Add/Remove command.
// A write fails here below a volatile key, which takes only volatile keys below it.
TEST(SetupRecords, AnInstallationStoppedHalfWayByAFailedRegistryWriteCanBeRemoved) {
  std::set<std::string> before = snapshot();
  const std::string folder = "C:\\Quirla Half";
  HKEY key = nullptr, shell = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "vxmfile", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                           nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key, "shell", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                           &shell, nullptr));
  RegCloseKey(shell);
  RegCloseKey(key);
  EXPECT_EQ(2, runSetup("/S /D=" + folder));
  EXPECT_EQ(folder + "\\", installPath());
  EXPECT_EQ(folder, regString(HKEY_LOCAL_MACHINE, ADD_REMOVE_KEY, "InstallLocation"));
  EXPECT_TRUE(exists(folder + "\\App\\Quirla.exe"));
  EXPECT_FALSE(drvRegKeyExists(HKEY_CLASSES_ROOT, ".vlt"));  // the association after the failed one
  EXPECT_FALSE(exists(specialFolder(CSIDL_PROGRAMS) + "\\" + description()));  // the shortcuts after them

  AddRemoveCommand remover = addRemoveCommand();
  DrvProcess proc = {};
  ASSERT_TRUE(drvStart(&proc, remover.command.c_str(), nullptr)) << remover.command;
  HWND window = drvWaitWindow("UNINSTALL", "Uninstall", 0, DRV_TIMEOUT);
  drvKill(&proc);
  ASSERT_NE(nullptr, window);
  DWORD uninstaller = 0;
  GetWindowThreadProcessId(window, &uninstaller);
  for (const std::string& text :
       {"This will remove '" + description() + "', and all of its components.\n\nAre you sure you want to do this ?",
        std::string("Unable to remove some file associations."),
        std::string("Unable to remove some shortcuts from your Start Menu."),
        std::string("Uninstall completed successfully.")}) {
    DrvMessageBox box = expectBox(uninstaller, nullptr, text, 60000);
    ASSERT_TRUE(drvAnswer(&box, startsWith(text, "This will") ? IDYES : IDOK));
  }
  EXPECT_TRUE(drvWaitGone(window, DRV_TIMEOUT));
  EXPECT_TRUE(waitForRemover());
  expectNothingLeftSince(before);
}

// --- The pages, as a user goes through them ----------------------------------------------------------

BOOL CALLBACK collectControl(HWND control, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(control);
  return TRUE;
}

// Every visible text of the page shows whole. Another process's fonts cannot be read, so each
// text is measured in the font of the pages' dialogs (MS Shell Dlg, 8 points); the titles are
// bigger and bolder, so for them this finds only the worst cuts.
void expectTextsFit(HWND window, const std::string& page) {
  std::vector<HWND> controls;
  EnumChildWindows(window, collectControl, reinterpret_cast<LPARAM>(&controls));
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                           "MS Shell Dlg");
  EXPECT_NE(nullptr, font);
  HGDIOBJ old = SelectObject(dc, font);
  std::vector<std::string> problems;
  int measured = 0;
  for (HWND control : controls) {
    char className[64] = {}, text[1024] = {};
    GetClassNameA(control, className, sizeof className);
    bool isStatic = !lstrcmpiA(className, "Static"), isButton = !lstrcmpiA(className, "Button");
    int type = GetWindowLongA(control, GWL_STYLE) & (isStatic ? SS_TYPEMASK : BS_TYPEMASK);
    bool wraps = isStatic && (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
    bool oneLine = (isStatic && (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE)) ||
                   (isButton && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                                 type == BS_AUTORADIOBUTTON));
    if (!IsWindowVisible(control) || !(wraps || oneLine) || !drvGetTextNow(control, text, sizeof text) || !text[0])
      continue;
    RECT area;
    GetClientRect(control, &area);
    // A check box's text stands beside its box.
    int box = isButton ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0;
    RECT needed = {0, 0, area.right - box, 0};
    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE) | DT_EXPANDTABS);
    ++measured;
    if (needed.bottom > area.bottom || needed.right + box > area.right)
      problems.push_back("\"" + std::string(text) + "\" needs " + std::to_string(needed.right + box) + " x " +
                         std::to_string(needed.bottom) + " pixels, has " + std::to_string(area.right) + " x " +
                         std::to_string(area.bottom));
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  EXPECT_GT(measured, 0) << page;
  EXPECT_TRUE(problems.empty()) << page << ":" << join(problems);
}

// A screenshot of the window under build/win32/setup-shots, to look at.
void saveShot(HWND window, const std::string& name) {
  char folder[MAX_PATH];
  ASSERT_TRUE(drvWinPath(QUIRLA_BINARY_DIR "/setup-shots", folder, sizeof folder));
  ASSERT_TRUE(drvMakeFolders(folder));
  RECT area;
  ASSERT_TRUE(GetWindowRect(window, &area));
  DrvPicture picture;
  ASSERT_TRUE(drvCaptureScreen(&area, &picture));
  EXPECT_TRUE(drvSavePicture(&picture, (std::string(folder) + "\\" + name + ".bmp").c_str()));
  drvFreePicture(&picture);
}

// Setup started without /S: its wizard window and the pages in it.
struct SetupWizard {
  DrvProcess proc = {};
  HWND window = nullptr;
  SetupWizard() {
    std::string command = "\"" + setupProgram().path + "\"";
    EXPECT_TRUE(drvStart(&proc, command.c_str(), nullptr));
    std::string title = description() + " " + setupProgram().version + " Setup";
    window = drvWaitWindow("#32770", title.c_str(), proc.id, DRV_TIMEOUT);
    EXPECT_NE(nullptr, window) << title;
  }
  ~SetupWizard() { drvKill(&proc); }
  // The visible control of the current page with this class and text (null: any text).
  HWND waitFor(const char* className, const char* text, DWORD timeoutMs = DRV_TIMEOUT) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
      HWND control = drvFindChild(window, className, text);
      if (control && IsWindowVisible(control)) return control;
    }
    return nullptr;
  }
  // The page, once it shows that control: its texts fit, and its screenshot is saved as `shot`.
  HWND page(const char* shot, const char* className, const char* text, DWORD timeoutMs = DRV_TIMEOUT) {
    HWND control = waitFor(className, text, timeoutMs);
    EXPECT_NE(nullptr, control) << shot;
    expectTextsFit(window, shot);
    saveShot(window, shot);
    return control;
  }
  // Next, Install or Finish; posted, since the page may answer with a message box.
  void next() { ASSERT_TRUE(drvPostCommand(window, NEXT)); }
  void expectBox(const std::string& text, DrvIcon icon, int answer) {
    DrvMessageBox box = ::expectBox(proc.id, nullptr, text);
    EXPECT_STREQ(drvIconName(icon), drvIconName(box.icon));
    ASSERT_TRUE(drvAnswer(&box, answer));
  }
  void expectEnd(DWORD expected) {
    DWORD code = 0xFFFF;
    ASSERT_TRUE(drvWaitExit(&proc, DRV_TIMEOUT, &code));
    EXPECT_EQ(expected, code);
  }
};

TEST(SetupPages, WelcomeFolderProgressAndFinishThenRefusalOverARunningSaver) {
  // The Display control panel's stand-in shows which page the finish page opened.
  char stub[MAX_PATH], system[MAX_PATH];
  ASSERT_TRUE(drvBinaryPath("setup-stubs\\desk.cpl", stub, sizeof stub));
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
  ASSERT_TRUE(CopyFileA(stub, (std::string(system) + "\\desk.cpl").c_str(), FALSE));
  std::string name = description() + " " + setupProgram().version;

  SetupWizard wizard;
  ASSERT_NE(nullptr, wizard.window);
  ASSERT_NE(nullptr, wizard.page("1-welcome", "Static", ("Welcome to " + name + " Setup").c_str()));
  wizard.next();

  // The folder page offers the Program Files folder; a drive root is refused with the reason, and
  // the page stays for another choice.
  HWND edit = wizard.page("2-folder", "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  char text[MAX_PATH] = {};
  ASSERT_TRUE(drvGetText(edit, text, sizeof text));
  std::string offered = specialFolder(CSIDL_PROGRAM_FILES) + "\\Drovelkant\\Quirla";
  EXPECT_EQ(offered, text);
  ASSERT_TRUE(drvSetText(edit, "C:\\"));
  wizard.next();
  wizard.expectBox("Quirla cannot be installed into the root of a drive ('C:\\').\r\n\r\nChoose a folder on the drive, "
                   "such as '" + offered + "'.",
                   DRV_ICON_HAND, IDOK);
  ASSERT_NE(nullptr, wizard.waitFor("Edit", nullptr));
  std::string folder = "C:\\Quirla Pages Test";
  ASSERT_TRUE(drvSetText(edit, folder.c_str()));
  wizard.next();

  // Progress, to the end.
  ASSERT_NE(nullptr, wizard.page("3-progress", "Static", "Completed", 120000));
  HWND bar = wizard.waitFor("msctls_progress32", nullptr);
  ASSERT_NE(nullptr, bar);
  LRESULT position = 0, top = 0;
  ASSERT_TRUE(drvSend(bar, PBM_GETPOS, 0, 0, &position));
  ASSERT_TRUE(drvSend(bar, PBM_GETRANGE, FALSE, 0, &top));
  EXPECT_EQ(top, position);
  EXPECT_EQ(folder + "\\", installPath());
  wizard.next();

  // The finish page offers the screensaver settings, ticked; Finish opens the Display control
  // panel at its Screen Saver page (as Windows Vista and later name it; Wine reports Windows 10),
  // started by the desktop shell, not by setup: on Windows it would otherwise run with setup's
  // administrator rights, for the administrator's account. (Wine runs everything as one
  // administrator, so only who started it can be seen here.)
  HWND open = wizard.page("4-finish", "Button", "Open the screensaver settings");
  ASSERT_NE(nullptr, open);
  EXPECT_EQ(BST_CHECKED, drvCheckState(open));
  wizard.next();
  wizard.expectEnd(0);
  // Wine's control panel reads "@screensaver" as an applet number and passes no page on.
  DrvMessageBox display = expectBox(0, "Display Properties", "page \n\"" + std::string(system) +
                                                                 "\\control.exe\" desk.cpl,,@screensaver");
  DWORD panel = 0;
  GetWindowThreadProcessId(display.window, &panel);
  EXPECT_EQ("explorer.exe", lower(processName(parentProcess(panel))));
  ASSERT_TRUE(drvAnswer(&display, IDOK));

  // A second installation starts from the folder setup recorded for the first one, and is
  // refused on the folder page while the screensaver runs.
  RunningQuirla saver(folder, false);
  SetupWizard again;
  ASSERT_NE(nullptr, again.window);
  again.next();
  edit = again.waitFor("Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  ASSERT_TRUE(drvGetText(edit, text, sizeof text));
  EXPECT_EQ(folder, text);
  again.next();
  again.expectBox("Quirla is running: the screensaver or the model editor is open.\r\n\r\nClose the model editor, end "
                  "the screensaver and close the Display control panel (its preview runs the screensaver), then try again.",
                  DRV_ICON_HAND, IDOK);
  ASSERT_TRUE(drvPostCommand(again.window, CANCEL));
  again.expectBox("Are you sure you want to quit " + name + " Setup?", DRV_ICON_EXCLAMATION, IDYES);
  again.expectEnd(1);  // NSIS's code for a setup the user cancelled
  saver.end();
  runAddRemoveCommand();
  EXPECT_FALSE(exists(folder));
}

}  // namespace
