// UninstallRemove.cpp: the removal run: confirmation, the files and folders of "setup.lst", the
// file associations and Start Menu shortcuts of "setup.ini", the Add/Remove Programs entry, the
// description files, the installation folder, the screensaver copy and the final report.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "uninstall.h"

static const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// What went wrong during the run, reported at its end.
struct RunFlags {
  bool deleteFailed;    // a file could not be deleted
  bool notScheduled;    // ... nor be scheduled for deletion at the next restart
  bool foldersLeft;     // a folder could not be removed, or an entry was refused
};

void uninstallGetField(const char* text, int number, char* field) {
  if (!field) return;
  field[0] = 0;
  if (!text || number < 1) return;
  const char* start = text;
  for (int n = 1; n < number; ++n) {
    const char* comma = strchr(start, ',');
    if (!comma) return;
    start = comma + 1;
  }
  const char* end = strchr(start, ',');
  size_t length = end ? (size_t)(end - start) : strlen(start);
  if (length > UNINSTALL_TEXT - 1) length = UNINSTALL_TEXT - 1;
  memcpy(field, start, length);
  field[length] = 0;
}

static bool isBadCharacter(char c) {
  return (unsigned char)c < 32 || strchr(":*?\"<>|", c) != nullptr;
}

// A part of a path made of dots and blanks only (".", "..", ". .") names no file of its own.
static bool isDotsOnly(const char* part, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (part[i] != '.' && part[i] != ' ') return false;
  return true;
}

bool uninstallIsPlainName(const char* name) {
  if (!name || !name[0]) return false;
  for (const char* p = name; *p; ++p)
    if (*p == '\\' || *p == '/' || isBadCharacter(*p)) return false;
  return !isDotsOnly(name, strlen(name));
}

bool uninstallIsInsideEntry(const char* entry) {
  if (!entry || !entry[0] || entry[0] == '\\' || entry[0] == '/') return false;
  const char* part = entry;
  for (const char* p = entry;; ++p) {
    if (*p == '\\' || *p == '/' || *p == 0) {
      size_t length = (size_t)(p - part);
      // An empty part (a doubled separator) is harmless; a trailing separator too.
      if (length > 0 && isDotsOnly(part, length)) return false;
      if (*p == 0) break;
      part = p + 1;
    } else if (isBadCharacter(*p)) {
      return false;
    }
  }
  return true;
}

bool uninstallCrossesReparsePoint(const char* path, size_t from) {
  if (!path) return false;
  size_t length = strlen(path);
  if (length >= UNINSTALL_TEXT) return true;
  // The root (a drive, or "\\server\share") is no part of its own.
  size_t start = 0;
  if (length >= 2 && path[1] == ':') {
    start = 3;
  } else if (length >= 2 && path[0] == '\\' && path[1] == '\\') {
    const char* server = strchr(path + 2, '\\');
    const char* share = server ? strchr(server + 1, '\\') : nullptr;
    start = share ? (size_t)(share - path) + 1 : length + 1;
  }
  if (start < from) start = from;
  char part[UNINSTALL_TEXT];
  for (size_t i = start; i <= length; ++i) {
    if (i < length && path[i] != '\\' && path[i] != '/') continue;
    if (i == 0 || path[i - 1] == '\\' || path[i - 1] == '/') continue;
    memcpy(part, path, i);
    part[i] = 0;
    DWORD attributes = GetFileAttributesA(part);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  }
  return false;
}

static bool joinPath(char* out, const char* folder, const char* name) {
  int written = snprintf(out, UNINSTALL_TEXT, "%s\\%s", folder, name);
  return written > 0 && written < UNINSTALL_TEXT;
}

// Joins the entry to the installation folder; false when the result would leave that folder.
static bool entryPath(const char* entry, char* path) {
  if (!uninstallIsInsideEntry(entry) || !joinPath(path, uninstall.installFolder, entry)) return false;
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  size_t folderLength = strlen(uninstall.installFolder);
  return length > folderLength && length < sizeof full && _strnicmp(full, uninstall.installFolder, folderLength) == 0 &&
         full[folderLength] == '\\';
}

static void makeWritable(const char* path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Deletes a file of the installation; one that is already gone is no failure.
static bool deleteFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  makeWritable(path, attributes);
  return DeleteFileA(path) != 0;
}

// A file or folder that cannot go now (a running program holds it) goes at the next restart;
// Windows 95/98 have no such list, and the report then asks the user to remove it.
static void deleteAtRestart(const char* path, RunFlags* flags) {
  if (!MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) flags->notScheduled = true;
}

// Deletes a file given by its full path; what cannot go is scheduled and reported.
static void deleteOrSchedule(const char* path, RunFlags* flags) {
  if (deleteFile(path)) return;
  flags->deleteFailed = true;
  deleteAtRestart(path, flags);
}

static void removeEntry(const char* entry, RunFlags* flags) {
  char path[UNINSTALL_TEXT];
  // Refused entries stay where they are and count as left behind; so do entries that lead
  // through a junction or link, where the delete would land outside the installation.
  if (!entryPath(entry, path) ||
      uninstallCrossesReparsePoint(path, strlen(uninstall.installFolder) + 1)) {
    flags->foldersLeft = true;
    return;
  }
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  makeWritable(path, attributes);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (RemoveDirectoryA(path)) return;
    flags->foldersLeft = true;
    // Empty at the restart once the files scheduled in it are gone; otherwise Windows keeps it.
    if (flags->deleteFailed) deleteAtRestart(path, flags);
  } else {
    deleteOrSchedule(path, flags);
  }
}

// Reads the next entry separated by white space. An entry too long for a path is skipped whole
// and reported through `tooLong`. False at the end of the list.
static bool readEntry(FILE* list, char* entry, bool* tooLong) {
  int c;
  do {
    c = fgetc(list);
  } while (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f');
  if (c == EOF) return false;
  size_t length = 0;
  *tooLong = false;
  while (c != EOF && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f') {
    if (length < UNINSTALL_TEXT - 1)
      entry[length++] = (char)c;
    else
      *tooLong = true;
    c = fgetc(list);
  }
  entry[length] = 0;
  return true;
}

static void showStatus(const char* text) {
  if (!uninstall.statusWindow) return;
  SetWindowTextA(uninstall.statusWindow, text);
  UpdateWindow(uninstall.statusWindow);
}

static void removeListedFiles(FILE* list, RunFlags* flags) {
  char entry[UNINSTALL_TEXT];
  bool tooLong = false;
  for (int number = 0; readEntry(list, entry, &tooLong); ++number) {
    showStatus(entry);
    uninstallProgress(number, uninstall.fileCount);
    if (tooLong)
      flags->foldersLeft = true;
    else
      removeEntry(entry, flags);
  }
}

bool uninstallRemoveAssociation(const char* extension) {
  // An empty or odd extension would name keys of other programs ("file", ".").
  if (!uninstallIsPlainName(extension)) return false;
  char key[UNINSTALL_TEXT + 32];
  snprintf(key, sizeof key, ".%s", extension);
  bool removed = RegDeleteKeyA(HKEY_CLASSES_ROOT, key) == ERROR_SUCCESS;
  // Deepest first, for systems that delete only keys without subkeys.
  static const char* const below[] = {"\\shell\\open\\command", "\\shell\\open", "\\shell", "\\DefaultIcon"};
  for (const char* part : below) {
    snprintf(key, sizeof key, "%sfile%s", extension, part);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
  }
  snprintf(key, sizeof key, "%sfile", extension);
  return RegDeleteKeyA(HKEY_CLASSES_ROOT, key) == ERROR_SUCCESS && removed;
}

// Reads key `number` of a setup.ini section into value (UNINSTALL_TEXT characters). False only
// when the key is missing: an empty value ("3=") is read as an empty text.
static bool readNumberedEntry(const char* section, int number, char* value) {
  // No value read from a file holds a line break, so this default tells a missing key apart.
  static const char MISSING[] = "\n<missing>";
  char keyName[16];
  snprintf(keyName, sizeof keyName, "%d", number);
  GetPrivateProfileStringA(section, keyName, MISSING, value, UNINSTALL_TEXT, uninstall.setupIni);
  return strcmp(value, MISSING) != 0;
}

bool uninstallRemoveAssociations(void) {
  bool all = true;
  char value[UNINSTALL_TEXT];
  for (int number = 1; readNumberedEntry("Associations", number, value); ++number) {
    char extension[UNINSTALL_TEXT];
    uninstallGetField(value, 2, extension);
    if (!uninstallRemoveAssociation(extension)) all = false;
  }
  return all;
}

static bool programsFolder(char* path) {
  path[0] = 0;
  LPITEMIDLIST items = nullptr;
  if (SHGetSpecialFolderLocation(uninstall.mainWindow, CSIDL_PROGRAMS, &items) != S_OK || !items) return false;
  bool ok = SHGetPathFromIDListA(items, path) != 0;
  IMalloc* shellMemory = nullptr;
  if (SHGetMalloc(&shellMemory) == S_OK && shellMemory) {
    shellMemory->Free(items);
    shellMemory->Release();
  }
  return ok && path[0];
}

bool uninstallRemoveShortcut(const char* group, const char* fileName) {
  // The group and the file must be names inside the Programs folder, never the folder itself.
  if (!uninstallIsPlainName(group) || !uninstallIsPlainName(fileName)) return false;
  char programs[MAX_PATH], folder[UNINSTALL_TEXT], shortcut[UNINSTALL_TEXT];
  if (!programsFolder(programs)) return false;
  if (!joinPath(folder, programs, group) || !joinPath(shortcut, folder, fileName)) return false;
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  deleteFile(shortcut);
  RemoveDirectoryA(folder);
  return true;
}

bool uninstallRemoveShortcuts(void) {
  bool all = true;
  char value[UNINSTALL_TEXT];
  for (int number = 1; readNumberedEntry("Shortcuts", number, value); ++number) {
    char name[UNINSTALL_TEXT], fileName[UNINSTALL_TEXT + 8];
    uninstallGetField(value, 1, name);
    snprintf(fileName, sizeof fileName, "%s.lnk", name);
    if (!name[0] || !uninstallRemoveShortcut(uninstall.description, fileName)) all = false;
  }
  if (!uninstallRemoveShortcut(uninstall.description, "Uninstall.lnk")) all = false;
  return all;
}

bool uninstallRemoveUninstallEntry(void) {
  // An empty name would name the whole list of installed programs.
  if (!uninstallIsPlainName(uninstall.productName)) return false;
  char key[UNINSTALL_TEXT + 64];
  snprintf(key, sizeof key, "%s%s", UNINSTALL_KEY, uninstall.productName);
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;
}

// The editor copies the screensaver to the Windows folder; Windows 95/98 keep it in "system".
static void removeScreensaverCopy(RunFlags* flags) {
  if (!uninstallIsPlainName(uninstall.productName)) return;
  char windows[MAX_PATH];
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) return;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  char path[UNINSTALL_TEXT];
  int written = snprintf(path, sizeof path, "%s%s\\%s.scr", windows,
                         version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? "\\system" : "", uninstall.productName);
  if (written > 0 && written < (int)sizeof path) deleteOrSchedule(path, flags);
}

static void removeInstallFolder(RunFlags* flags) {
  // A process cannot remove the folder it stands in: step out to the Windows folder first.
  char windows[MAX_PATH];
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length > 0 && length < sizeof windows) SetCurrentDirectoryA(windows);
  makeWritable(uninstall.installFolder, GetFileAttributesA(uninstall.installFolder));
  if (!RemoveDirectoryA(uninstall.installFolder) && flags->deleteFailed)
    deleteAtRestart(uninstall.installFolder, flags);
}

static void report(HWND window, const RunFlags* flags) {
  char text[UNINSTALL_TEXT + 160];
  if (flags->deleteFailed) {
    snprintf(text, sizeof text,
             flags->notScheduled ? "Unable to remove file(s) in the '%s' folder.\n\nPlease remove them manually."
                                 : "Unable to remove file(s) in the '%s' folder.\n\nThey will be removed when "
                                   "Windows restarts.",
             uninstall.installFolder);
    MessageBoxA(window, text, "File Delete", MB_ICONHAND);
  }
  if (flags->foldersLeft) {
    snprintf(text, sizeof text,
             "Some files and folders may still remain in the\n'%s' folder.\n\nYou may want to keep or remove them.",
             uninstall.installFolder);
    MessageBoxA(window, text, "Files/Folders left", MB_ICONASTERISK);
  }
  if (!flags->deleteFailed && !flags->foldersLeft)
    MessageBoxA(window, "Uninstall completed successfully.", "Done", MB_ICONASTERISK);
}

// Everything after the confirmation; stops early only when the list cannot be opened.
static void removeInstallation(HWND window) {
  char text[UNINSTALL_TEXT + 160];
  FILE* list = fopen(uninstall.setupList, "rb");
  if (!list) {
    snprintf(text, sizeof text, "Unable to open the file list.\n\nPlease remove the '%s' folder manually.",
             uninstall.installFolder);
    MessageBoxA(window, text, "Fatal Error", MB_ICONHAND);
    return;
  }
  RunFlags flags = {};
  removeListedFiles(list, &flags);
  fclose(list);
  showStatus("");
  uninstallProgress(0, 1);
  char own[UNINSTALL_TEXT];
  if (joinPath(own, uninstall.installFolder, "setup.lst")) deleteOrSchedule(own, &flags);

  if (!uninstallRemoveAssociations())
    MessageBoxA(window, "Unable to remove some file associations.", "Warning", MB_ICONEXCLAMATION);
  if (!uninstallRemoveShortcuts())
    MessageBoxA(window, "Unable to remove some shortcuts from your Start Menu.", "Warning", MB_ICONEXCLAMATION);
  if (!uninstallRemoveUninstallEntry())
    MessageBoxA(window, "Unable to remove the entry from the\n'Add/Remove New Programs' list in Control Panel.",
                "Warning", MB_ICONEXCLAMATION);
  if (joinPath(own, uninstall.installFolder, "setup.ini")) deleteOrSchedule(own, &flags);
  removeInstallFolder(&flags);
  removeScreensaverCopy(&flags);
  report(window, &flags);
}

void CALLBACK uninstallRun(HWND window, UINT message, UINT_PTR timer, DWORD time) {
  KillTimer(window, UNINSTALL_TIMER);
  uninstall.timer = 0;
  char text[UNINSTALL_TEXT + 160];
  if (GetFileAttributesA("setup.exe") != INVALID_FILE_ATTRIBUTES) {
    // This is the installation medium, not an installation.
    MessageBoxA(window, "You cannot run this from here.", "Not an installation", MB_ICONASTERISK);
  } else {
    snprintf(text, sizeof text, "This will remove '%s', and all of its components.\n\nAre you sure you want to do this ?",
             uninstall.description);
    if (MessageBoxA(window, text, "Warning", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) removeInstallation(window);
  }
  DestroyWindow(window);
}
