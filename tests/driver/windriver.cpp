// windriver.cpp: the Win32 test driver: processes, windows, message boxes, controls, registry,
// pixel capture and posted input, each wait bounded by a timeout.
#include "windriver.h"

#include <cstdio>
#include <cstring>

#ifndef QUIRLA_BINARY_DIR
#define QUIRLA_BINARY_DIR "."
#endif

// How long one message to another program may take before the driver gives up on it.
static const UINT SEND_TIMEOUT = 5000;
static const DWORD POLL_INTERVAL = 20;

static bool copyText(char* out, size_t size, const char* text) {
  size_t length = strlen(text);
  if (length >= size) return false;
  memcpy(out, text, length + 1);
  return true;
}

// --- Paths -----------------------------------------------------------------------------------------

bool drvWinPath(const char* path, char* out, size_t size) {
  if (!path || !out || size == 0) return false;
  size_t at = 0;
  if (path[0] == '/') {
    if (size < 3) return false;
    out[at++] = 'Z';
    out[at++] = ':';
  }
  for (const char* p = path; *p; ++p) {
    if (at + 1 >= size) return false;
    out[at++] = *p == '/' ? '\\' : *p;
  }
  out[at] = 0;
  return true;
}

bool drvBinaryPath(const char* name, char* out, size_t size) {
  if (!name || !out) return false;
  char path[MAX_PATH * 2];
  if (snprintf(path, sizeof path, "%s/bin/%s", QUIRLA_BINARY_DIR, name) >= (int)sizeof path) return false;
  return drvWinPath(path, out, size);
}

bool drvScratchDir(const char* name, char* out, size_t size) {
  if (!name || !out) return false;
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return false;
  if (temp[length - 1] == '\\') temp[length - 1] = 0;
  char path[MAX_PATH];
  if (snprintf(path, sizeof path, "%s\\quirla-gui\\%s", temp, name) >= (int)sizeof path) return false;
  drvDeleteTree(path);
  if (!drvMakeFolders(path)) return false;
  return copyText(out, size, path);
}

// --- Files -----------------------------------------------------------------------------------------

bool drvWriteFile(const char* path, const char* bytes) {
  if (!path || !bytes) return false;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD length = (DWORD)strlen(bytes), written = 0;
  bool ok = WriteFile(file, bytes, length, &written, nullptr) && written == length;
  return CloseHandle(file) && ok;
}

bool drvReadFile(const char* path, char* bytes, size_t size) {
  if (!path || !bytes || size == 0) return false;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0;
  bool ok = ReadFile(file, bytes, (DWORD)(size - 1), &read, nullptr);
  CloseHandle(file);
  bytes[ok ? read : 0] = 0;
  return ok;
}

bool drvFileExists(const char* path) {
  return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool drvMakeFolders(const char* path) {
  if (!path) return false;
  char partial[MAX_PATH];
  if (!copyText(partial, sizeof partial, path)) return false;
  for (char* p = partial; *p; ++p) {
    if ((*p == '\\' || *p == '/') && p > partial && p[-1] != ':' && p[-1] != '\\') {
      char keep = *p;
      *p = 0;
      CreateDirectoryA(partial, nullptr);
      *p = keep;
    }
  }
  CreateDirectoryA(partial, nullptr);
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool drvDeleteTree(const char* path) {
  if (!path) return false;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s\\*", path) >= (int)sizeof pattern) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
        char child[MAX_PATH];
        if (snprintf(child, sizeof child, "%s\\%s", path, found.cFileName) < (int)sizeof child) drvDeleteTree(child);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path);
  } else {
    DeleteFileA(path);
  }
  return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

// --- Processes -------------------------------------------------------------------------------------

bool drvStart(DrvProcess* proc, const char* commandLine, const char* folder) {
  if (!proc || !commandLine) return false;
  proc->process = nullptr;
  proc->id = 0;
  char line[4096];
  if (!copyText(line, sizeof line, commandLine)) return false;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info)) return false;
  CloseHandle(info.hThread);
  proc->process = info.hProcess;
  proc->id = info.dwProcessId;
  // A GUI program is ready for its first window once it waits for input; console programs and
  // Wine's start-up may never say so, which is fine.
  WaitForInputIdle(info.hProcess, 5000);
  return true;
}

bool drvWaitExit(DrvProcess* proc, DWORD timeoutMs, DWORD* exitCode) {
  if (!proc || !proc->process) return false;
  if (WaitForSingleObject(proc->process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(proc->process, &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

bool drvIsRunning(const DrvProcess* proc) {
  return proc && proc->process && WaitForSingleObject(proc->process, 0) == WAIT_TIMEOUT;
}

void drvKill(DrvProcess* proc) {
  if (!proc || !proc->process) return;
  if (WaitForSingleObject(proc->process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(proc->process, 0xDEAD);
    WaitForSingleObject(proc->process, 5000);
  }
  CloseHandle(proc->process);
  proc->process = nullptr;
  proc->id = 0;
}

// --- Windows ---------------------------------------------------------------------------------------

struct WindowQuery {
  const char* className;
  const char* title;
  DWORD processId;
  bool visibleOnly;
  HWND found;
};

static bool windowMatches(HWND window, const WindowQuery* query) {
  if (query->visibleOnly && !IsWindowVisible(window)) return false;
  if (query->processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId) return false;
  }
  char text[512];
  if (query->className) {
    if (!GetClassNameA(window, text, sizeof text) || lstrcmpiA(text, query->className) != 0) return false;
  }
  if (query->title) {
    text[0] = 0;
    GetWindowTextA(window, text, sizeof text);
    if (strcmp(text, query->title) != 0) return false;
  }
  return true;
}

static BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
  WindowQuery* query = (WindowQuery*)context;
  if (!windowMatches(window, query)) return TRUE;
  query->found = window;
  return FALSE;
}

HWND drvFindWindow(const char* className, const char* title, DWORD processId) {
  WindowQuery query = {className, title, processId, true, nullptr};
  EnumWindows(matchWindow, (LPARAM)&query);
  return query.found;
}

HWND drvWaitWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = drvFindWindow(className, title, processId);
    if (window) return window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(POLL_INTERVAL);
  }
}

bool drvWaitGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(POLL_INTERVAL);
  }
  return true;
}

bool drvSync(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

static BOOL CALLBACK matchChild(HWND window, LPARAM context) {
  WindowQuery* query = (WindowQuery*)context;
  if (!windowMatches(window, query)) return TRUE;
  query->found = window;
  return FALSE;
}

HWND drvFindChild(HWND parent, const char* className, const char* text) {
  if (!parent) return nullptr;
  WindowQuery query = {className, text, 0, false, nullptr};
  EnumChildWindows(parent, matchChild, (LPARAM)&query);
  return query.found;
}

bool drvSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, SEND_TIMEOUT, &answer)) return false;
  if (result) *result = (LRESULT)answer;
  return true;
}

// --- Message boxes ---------------------------------------------------------------------------------

static const int MESSAGE_TEXT_ID = 0xFFFF;

static BOOL CALLBACK matchMessageBox(HWND window, LPARAM context) {
  WindowQuery* query = (WindowQuery*)context;
  if (!windowMatches(window, query)) return TRUE;
  if (!GetDlgItem(window, MESSAGE_TEXT_ID)) return TRUE;
  query->found = window;
  return FALSE;
}

bool drvWaitMessageBox(DWORD processId, DWORD timeoutMs, DrvMessageBox* box) {
  if (!box) return false;
  memset(box, 0, sizeof *box);
  DWORD start = GetTickCount();
  for (;;) {
    WindowQuery query = {"#32770", nullptr, processId, true, nullptr};
    EnumWindows(matchMessageBox, (LPARAM)&query);
    if (query.found) return drvReadMessageBox(query.found, box);
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(POLL_INTERVAL);
  }
}

bool drvReadMessageBox(HWND window, DrvMessageBox* box) {
  if (!window || !box) return false;
  memset(box, 0, sizeof *box);
  HWND text = GetDlgItem(window, MESSAGE_TEXT_ID);
  if (!text) return false;
  box->window = window;
  if (!drvGetText(window, box->title, sizeof box->title)) return false;
  if (!drvGetText(text, box->text, sizeof box->text)) return false;
  box->icon = drvMessageBoxIcon(window);
  return true;
}

const char* drvIconName(DrvIcon icon) {
  switch (icon) {
    case DRV_ICON_NONE: return "none";
    case DRV_ICON_HAND: return "hand";
    case DRV_ICON_QUESTION: return "question";
    case DRV_ICON_EXCLAMATION: return "exclamation";
    case DRV_ICON_ASTERISK: return "asterisk";
    default: return "unknown";
  }
}

static BOOL CALLBACK matchIconStatic(HWND window, LPARAM context) {
  char name[32];
  if (!GetClassNameA(window, name, sizeof name) || lstrcmpiA(name, "Static") != 0) return TRUE;
  if ((GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  *(HWND*)context = window;
  return FALSE;
}

static const LPCSTR STANDARD_ICONS[4] = {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK};
static const DrvIcon STANDARD_KINDS[4] = {DRV_ICON_HAND, DRV_ICON_QUESTION, DRV_ICON_EXCLAMATION, DRV_ICON_ASTERISK};

// Draws a standard icon the size of the control on `background` and counts the pixels that differ
// from the control's own picture.
static long iconDifference(const DrvPicture* shown, LPCSTR which, uint32_t background) {
  HICON icon = LoadIconA(nullptr, which);
  if (!icon) return -1;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shown->width;
  info.bmiHeader.biHeight = -shown->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  long differing = -1;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 255, (background >> 8) & 255, background & 255));
    RECT all = {0, 0, shown->width, shown->height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    GdiFlush();
    differing = 0;
    const uint8_t* mine = (const uint8_t*)bits;
    for (int y = 0; y < shown->height; ++y)
      for (int x = 0; x < shown->width; ++x) {
        const uint8_t* a = mine + y * shown->stride + x * 3;
        const uint8_t* b = shown->bits + y * shown->stride + x * 3;
        if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ++differing;
      }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return differing;
}

DrvIcon drvMessageBoxIcon(HWND window) {
  HWND control = nullptr;
  EnumChildWindows(window, matchIconStatic, (LPARAM)&control);
  if (!control || !IsWindowVisible(control)) return DRV_ICON_NONE;
  LRESULT handle = 0;
  if (!drvSend(control, STM_GETICON, 0, 0, &handle)) return DRV_ICON_UNKNOWN;
  if (!handle) return DRV_ICON_NONE;
  for (int i = 0; i < 4; ++i)
    if ((HICON)handle == LoadIconA(nullptr, STANDARD_ICONS[i])) return STANDARD_KINDS[i];
  // Not one of our handles (Wine): compare pixels. The background is taken from the control's
  // bottom-right corner, which the standard icons leave transparent.
  DrvPicture shown = {};
  if (!drvCapture(control, &shown)) return DRV_ICON_UNKNOWN;
  DrvIcon kind = DRV_ICON_UNKNOWN;
  if (shown.width >= GetSystemMetrics(SM_CXICON) && shown.height >= GetSystemMetrics(SM_CYICON)) {
    shown.width = GetSystemMetrics(SM_CXICON);
    shown.height = GetSystemMetrics(SM_CYICON);
    uint32_t background = drvPixel(&shown, shown.width - 1, shown.height - 1);
    for (int i = 0; i < 4; ++i)
      if (iconDifference(&shown, STANDARD_ICONS[i], background) == 0) kind = STANDARD_KINDS[i];
  }
  drvFreePicture(&shown);
  return kind;
}

bool drvAnswer(const DrvMessageBox* box, int id) {
  if (!box || !box->window) return false;
  // Posted, because closing a box under Wine keeps its program busy for a while and a sent click
  // would wait for that too; the wait below covers it.
  if (!drvControl(box->window, id) || !drvPostCommand(box->window, id)) return false;
  return drvWaitGone(box->window, DRV_TIMEOUT);
}

// --- Buttons and controls --------------------------------------------------------------------------

// A click that closes its dialog keeps the program busy until the window is gone, so the click
// gets the long timeout.
static bool clickButton(HWND button) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, DRV_TIMEOUT, &result) != 0;
}

HWND drvControl(HWND dialog, int id) { return dialog ? GetDlgItem(dialog, id) : nullptr; }

bool drvPressButton(HWND dialog, int id) {
  HWND button = drvControl(dialog, id);
  if (!button) return false;
  return clickButton(button);
}

bool drvPressButtonByText(HWND dialog, const char* caption) {
  if (!caption) return false;
  HWND button = drvFindChild(dialog, "Button", caption);
  if (!button) return false;
  return clickButton(button);
}

bool drvPostCommand(HWND dialog, int id) {
  HWND control = drvControl(dialog, id);
  return dialog && PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
}

int drvCheckState(HWND control) {
  LRESULT state = 0;
  if (!control || !drvSend(control, BM_GETCHECK, 0, 0, &state)) return -1;
  return (int)state;
}

bool drvGetText(HWND window, char* text, size_t size) {
  if (!window || !text || size == 0) return false;
  text[0] = 0;
  LRESULT length = 0;
  if (!drvSend(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text, &length)) return false;
  text[(size_t)length < size ? (size_t)length : size - 1] = 0;
  return true;
}

bool drvWaitText(HWND window, const char* expected, DWORD timeoutMs) {
  if (!window || !expected) return false;
  DWORD start = GetTickCount();
  char text[1024];
  for (;;) {
    if (drvGetText(window, text, sizeof text) && !strcmp(text, expected)) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

bool drvSetText(HWND window, const char* text) {
  LRESULT result = 0;
  return window && text && drvSend(window, WM_SETTEXT, 0, (LPARAM)text, &result) && result;
}

bool drvGetTextNow(HWND window, char* text, size_t size) {
  if (!window || !text || size == 0) return false;
  text[0] = 0;
  if (!IsWindow(window)) return false;
  GetWindowTextA(window, text, (int)size);
  return true;
}

bool drvScrollPos(HWND scrollBar, int* position) {
  if (!scrollBar || !position) return false;
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  LRESULT ok = 0;
  if (drvSend(scrollBar, SBM_GETSCROLLINFO, 0, (LPARAM)&info, &ok) && ok) {
    *position = info.nPos;
    return true;
  }
  LRESULT pos = 0;
  if (!drvSend(scrollBar, SBM_GETPOS, 0, 0, &pos)) return false;
  *position = (int)pos;
  return true;
}

bool drvIsEnabled(HWND window) { return window && IsWindowEnabled(window); }
bool drvIsVisible(HWND window) { return window && IsWindowVisible(window); }

bool drvControlRect(HWND control, RECT* rect) {
  if (!control || !rect || !GetWindowRect(control, rect)) return false;
  HWND parent = GetParent(control);
  if (parent) MapWindowPoints(nullptr, parent, (POINT*)rect, 2);
  return true;
}

static INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A hidden dialog of our own from an in-memory template with the font, asked for its units.
bool drvDialogBaseUnits(const char* face, int points, int* perFourX, int* perEightY) {
  if (!perFourX || !perEightY) return false;
  if (!face) face = "MS Sans Serif";
  if (points <= 0) points = 8;
  alignas(4) WORD words[128] = {};
  DLGTEMPLATE* header = (DLGTEMPLATE*)words;
  header->style = WS_POPUP | DS_SETFONT;
  header->cx = 100;
  header->cy = 50;
  WORD* p = (WORD*)(header + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // the standard dialog class
  *p++ = 0;  // no title
  *p++ = (WORD)points;
  int length = MultiByteToWideChar(CP_ACP, 0, face, -1, (LPWSTR)p, 64);
  if (length <= 0) return false;
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), header, nullptr, quietDialog, 0);
  if (!dialog) return false;
  RECT units = {0, 0, 4, 8};
  bool ok = MapDialogRect(dialog, &units);
  DestroyWindow(dialog);
  if (!ok) return false;
  *perFourX = units.right;
  *perEightY = units.bottom;
  return true;
}

bool drvControlRectDlu(HWND dialog, HWND control, const char* face, int points, RECT* rect) {
  if (!dialog || !control || !rect) return false;
  RECT pixels;
  if (!drvControlRect(control, &pixels)) return false;
  RECT units = {0, 0, 4, 8};
  int baseX = 0, baseY = 0;
  if (MapDialogRect(dialog, &units) && units.right > 0 && units.bottom > 0) {
    baseX = units.right;
    baseY = units.bottom;
  } else if (!drvDialogBaseUnits(face, points, &baseX, &baseY)) {
    return false;
  }
  // Dialog units become pixels as MulDiv(x, base, 4); going back, round to the nearest unit.
  auto toUnits = [](LONG pixels, int base, int unitsPerBase) {
    return (LONG)((double)pixels * unitsPerBase / base + (pixels >= 0 ? 0.5 : -0.5));
  };
  rect->left = toUnits(pixels.left, baseX, 4);
  rect->right = toUnits(pixels.right, baseX, 4);
  rect->top = toUnits(pixels.top, baseY, 8);
  rect->bottom = toUnits(pixels.bottom, baseY, 8);
  return true;
}

bool drvClientRect(HWND window, RECT* rect) { return window && rect && GetClientRect(window, rect); }

// --- Registry --------------------------------------------------------------------------------------

static bool setValue(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle;
  if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(handle, name, 0, type, (const BYTE*)data, size) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool drvRegSetString(HKEY root, const char* key, const char* name, const char* value) {
  if (!key || !value) return false;
  return setValue(root, key, name, REG_SZ, value, (DWORD)strlen(value) + 1);
}

bool drvRegSetDword(HKEY root, const char* key, const char* name, DWORD value) {
  if (!key) return false;
  return setValue(root, key, name, REG_DWORD, &value, sizeof value);
}

static bool getValue(HKEY root, const char* key, const char* name, DWORD wanted, void* data, DWORD* size) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  bool ok = RegQueryValueExA(handle, name, nullptr, &type, (BYTE*)data, size) == ERROR_SUCCESS && type == wanted;
  RegCloseKey(handle);
  return ok;
}

bool drvRegGetString(HKEY root, const char* key, const char* name, char* value, size_t size) {
  if (!key || !value || size < 1) return false;
  DWORD bytes = (DWORD)size - 1;
  value[0] = 0;
  if (!getValue(root, key, name, REG_SZ, value, &bytes)) return false;
  value[bytes] = 0;
  return true;
}

bool drvRegGetDword(HKEY root, const char* key, const char* name, DWORD* value) {
  if (!key || !value) return false;
  DWORD bytes = sizeof *value;
  return getValue(root, key, name, REG_DWORD, value, &bytes) && bytes == sizeof *value;
}

bool drvRegKeyExists(HKEY root, const char* key) {
  if (!key) return false;
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool drvRegValueExists(HKEY root, const char* key, const char* name) {
  if (!key) return false;
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  bool ok = RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool drvRegDeleteValue(HKEY root, const char* key, const char* name) {
  if (!key) return false;
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return false;
  bool ok = RegDeleteValueA(handle, name) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool drvRegDeleteTree(HKEY root, const char* key) {
  if (!key || !key[0]) return false;  // never the whole root
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
    char child[256];
    // Deleting shifts the indexes, so always take the first subkey until none is left.
    for (;;) {
      DWORD length = sizeof child;
      if (RegEnumKeyExA(handle, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      char path[1024];
      if (snprintf(path, sizeof path, "%s\\%s", key, child) >= (int)sizeof path) break;
      if (!drvRegDeleteTree(root, path)) break;
    }
    RegCloseKey(handle);
    RegDeleteKeyA(root, key);
  }
  return !drvRegKeyExists(root, key);
}

// --- Pixels ----------------------------------------------------------------------------------------

static bool allocPicture(DrvPicture* picture, int width, int height) {
  picture->width = width;
  picture->height = height;
  picture->stride = (width * 3 + 3) & ~3;
  picture->bits = new uint8_t[(size_t)picture->stride * height]();
  return true;
}

// Copies the DC area into the picture through a top-down 24-bit DIB section.
static bool readDc(HDC source, int x, int y, int width, int height, DrvPicture* picture, bool print, HWND window) {
  if (width <= 0 || height <= 0) return false;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (print) {
      // A colour no window paints, so that a PrintWindow that drew nothing shows.
      memset(bits, 0x01, (size_t)((width * 3 + 3) & ~3) * height);
      ok = PrintWindow(window, memory, PW_CLIENTONLY);
    } else {
      ok = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    }
    GdiFlush();
    if (ok) {
      allocPicture(picture, width, height);
      memcpy(picture->bits, bits, (size_t)picture->stride * height);
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  return ok;
}

static bool pictureIsBlank(const DrvPicture* picture) {
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width * 3; ++x)
      if (picture->bits[y * picture->stride + x] != 0x01) return false;
  return true;
}

bool drvCaptureScreen(const RECT* rect, DrvPicture* picture) {
  if (!rect || !picture) return false;
  *picture = DrvPicture{};
  HDC screen = GetDC(nullptr);
  bool ok = readDc(screen, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, picture, false,
                   nullptr);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool drvCapture(HWND window, DrvPicture* picture) {
  if (!window || !picture) return false;
  *picture = DrvPicture{};
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  drvSync(window, SEND_TIMEOUT);
  RECT client;
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return false;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  // PrintWindow hands our device context to the window's own painting: only possible in-process.
  if (owner == GetCurrentProcessId()) {
    HDC dc = GetDC(window);
    bool printed = readDc(dc, 0, 0, client.right, client.bottom, picture, true, window);
    ReleaseDC(window, dc);
    if (printed && !pictureIsBlank(picture)) return true;
    drvFreePicture(picture);
  }
  // Another program's window: read its pixels from the screen (the window must be uncovered).
  Sleep(100);  // let the window system show what was painted
  POINT corner = {0, 0};
  ClientToScreen(window, &corner);
  RECT area = {corner.x, corner.y, corner.x + client.right, corner.y + client.bottom};
  return drvCaptureScreen(&area, picture);
}

void drvFreePicture(DrvPicture* picture) {
  if (!picture) return;
  delete[] picture->bits;
  *picture = DrvPicture{};
}

uint32_t drvPixel(const DrvPicture* picture, int x, int y) {
  if (!picture || !picture->bits || x < 0 || y < 0 || x >= picture->width || y >= picture->height) return 0xFFFFFFFF;
  const uint8_t* p = picture->bits + y * picture->stride + x * 3;
  return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

bool drvSavePicture(const DrvPicture* picture, const char* path) {
  if (!picture || !picture->bits || !path) return false;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  DWORD imageSize = (DWORD)picture->stride * picture->height;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + imageSize;
  info.biSize = sizeof info;
  info.biWidth = picture->width;
  info.biHeight = -picture->height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = imageSize;
  HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && WriteFile(out, &info, sizeof info, &written, nullptr) &&
            WriteFile(out, picture->bits, imageSize, &written, nullptr);
  return CloseHandle(out) && ok;
}

// --- Input -----------------------------------------------------------------------------------------

static LPARAM keyParam(UINT virtualKey, bool up) {
  UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  LPARAM value = 1 | (LPARAM)(scan & 0xFF) << 16;
  if (up) value |= (LPARAM)1 << 30 | (LPARAM)1 << 31;
  return value;
}

bool drvPostKeyDown(HWND window, UINT virtualKey) {
  return window && PostMessageA(window, WM_KEYDOWN, virtualKey, keyParam(virtualKey, false));
}

bool drvPostKeyUp(HWND window, UINT virtualKey) {
  return window && PostMessageA(window, WM_KEYUP, virtualKey, keyParam(virtualKey, true));
}

bool drvPostKey(HWND window, UINT virtualKey) { return drvPostKeyDown(window, virtualKey) && drvPostKeyUp(window, virtualKey); }

bool drvPostChar(HWND window, char character) {
  return window && PostMessageA(window, WM_CHAR, (WPARAM)(unsigned char)character, 1);
}

bool drvPostText(HWND window, const char* text) {
  if (!window || !text) return false;
  for (const char* p = text; *p; ++p)
    if (!drvPostChar(window, *p)) return false;
  return true;
}

bool drvPostMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
  return window && PostMessageA(window, message, keys, MAKELPARAM(x, y));
}

bool drvClick(HWND window, int x, int y) {
  return drvPostMouse(window, WM_MOUSEMOVE, x, y, 0) && drvPostMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON) &&
         drvPostMouse(window, WM_LBUTTONUP, x, y, 0);
}
