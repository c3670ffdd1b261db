// Uninstall.cpp: the uninstaller's start-up, its full-screen window with the shadowed
// description, status line and progress bar, and its message loop.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "uninstall.h"

UninstallState uninstall;

static const char CLASS_NAME[] = "UNINSTALL";
static const int BAR_GAP = 2;
static const int BAR_MARGIN = 2;

static bool copyBounded(char* out, size_t size, const char* text) {
  size_t length = strlen(text);
  if (length >= size) return false;
  memcpy(out, text, length + 1);
  return true;
}

// A folder the removal may run in: absolute, and not a drive or share root, where the listed
// entries would reach the whole disk.
static bool isUsableFolder(const char* folder) {
  size_t length = strlen(folder);
  bool drive = length >= 3 && folder[1] == ':' && folder[2] == '\\';
  bool share = length >= 2 && folder[0] == '\\' && folder[1] == '\\';
  if (!drive && !share) return false;
  if (drive) return length > 3;
  // "\\server\share" is a root too: a usable folder has a third part.
  int separators = 0;
  for (const char* p = folder + 2; *p; ++p)
    if (*p == '\\' && p[1]) ++separators;
  return separators >= 2;
}

static void showLocateError(const char* name) {
  char text[UNINSTALL_NAME_LENGTH + 64];
  snprintf(text, sizeof text, "Unable to locate the '%s' application.", name);
  MessageBoxA(nullptr, text, "Error", MB_ICONHAND);
}

bool uninstallFindProduct(const char* argument) {
  // Blanks around the argument are not part of the name.
  while (argument && (*argument == ' ' || *argument == '\t')) ++argument;
  if (!argument || !*argument) {
    MessageBoxA(nullptr, "Do not run this program.", "Warning", MB_ICONEXCLAMATION);
    return false;
  }
  char name[UNINSTALL_NAME_LENGTH + 1];
  const char* start = argument[0] == '"' ? argument + 1 : argument;
  size_t length = strlen(start);
  while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\t')) --length;
  if (length > 0 && start[length - 1] == '"') --length;
  if (length > UNINSTALL_NAME_LENGTH) length = UNINSTALL_NAME_LENGTH;
  memcpy(name, start, length);
  name[length] = 0;

  char key[UNINSTALL_NAME_LENGTH + 32];
  snprintf(key, sizeof key, "SOFTWARE\\Drovelkant\\%s", name);
  HKEY product;
  if (!name[0] || RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &product) != ERROR_SUCCESS) {
    showLocateError(name);
    return false;
  }
  char folder[UNINSTALL_TEXT + 1] = {};
  DWORD size = UNINSTALL_TEXT, type = 0;
  LONG read = RegQueryValueExA(product, "InstallPath", nullptr, &type, (BYTE*)folder, &size);
  RegCloseKey(product);
  folder[size < (DWORD)UNINSTALL_TEXT ? size : (DWORD)UNINSTALL_TEXT] = 0;
  // Trailing separators are dropped so that joining adds exactly one.
  length = strlen(folder);
  while (length > 3 && (folder[length - 1] == '\\' || folder[length - 1] == '/')) folder[--length] = 0;
  for (char* p = folder; *p; ++p)
    if (*p == '/') *p = '\\';
  // Without a usable folder the removal would run wherever this process happens to stand.
  if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !isUsableFolder(folder) ||
      !SetCurrentDirectoryA(folder)) {
    showLocateError(name);
    return false;
  }
  char current[MAX_PATH];
  DWORD got = GetCurrentDirectoryA(sizeof current, current);
  if (got == 0 || got >= sizeof current) {
    showLocateError(name);
    return false;
  }
  size_t currentLength = strlen(current);
  if (currentLength > 3 && current[currentLength - 1] == '\\') current[currentLength - 1] = 0;
  // A junction or link on the way would send every delete of the run elsewhere.
  if (!isUsableFolder(current) || uninstallCrossesReparsePoint(current, 0)) {
    showLocateError(name);
    return false;
  }
  // The folder is kept in the canonical form the system gave the current folder ("." parts and
  // doubled backslashes gone), the form every entry's full path is compared with.
  return copyBounded(uninstall.installFolder, sizeof uninstall.installFolder, current);
}

void uninstallLayout(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  int usable = client.right - BAR_GAP - client.left;
  int statusWidth = usable / 3;
  int top = client.bottom - uninstall.barHeight + 1 + BAR_MARGIN;
  int height = uninstall.barHeight - 2 * BAR_MARGIN;
  if (uninstall.statusWindow) MoveWindow(uninstall.statusWindow, 0, top, statusWidth, height, TRUE);
  if (uninstall.progressWindow)
    MoveWindow(uninstall.progressWindow, statusWidth + BAR_GAP, top, client.right - (statusWidth + BAR_GAP), height,
               TRUE);
}

void uninstallProgress(int done, int count) {
  // A missing or useless count falls back to the default denominator.
  if (count < 1) count = UNINSTALL_DEFAULT_COUNT;
  double percent = (double)done / (double)count * 100.0;
  if (percent > 100.0) percent = 100.0;
  if (!uninstall.progressWindow) return;
  SendMessageA(uninstall.progressWindow, PBM_SETPOS, (WPARAM)(int)percent, 0);
  UpdateWindow(uninstall.progressWindow);
}

void uninstallFindLists(void) {
  copyBounded(uninstall.setupIni, sizeof uninstall.setupIni, ".\\setup.ini");
  copyBounded(uninstall.setupList, sizeof uninstall.setupList, "setup.lst");
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  char* slash = length > 0 && length < sizeof program ? strrchr(program, '\\') : nullptr;
  if (!slash) return;
  slash[1] = 0;
  char ini[UNINSTALL_TEXT], list[UNINSTALL_TEXT];
  if (snprintf(ini, sizeof ini, "%ssetup.ini", program) >= (int)sizeof ini ||
      snprintf(list, sizeof list, "%ssetup.lst", program) >= (int)sizeof list)
    return;
  DWORD iniAttributes = GetFileAttributesA(ini), listAttributes = GetFileAttributesA(list);
  if (iniAttributes == INVALID_FILE_ATTRIBUTES || (iniAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      listAttributes == INVALID_FILE_ATTRIBUTES || (listAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  copyBounded(uninstall.setupIni, sizeof uninstall.setupIni, ini);
  copyBounded(uninstall.setupList, sizeof uninstall.setupList, list);
}

void uninstallReadSetup(void) {
  if (!uninstall.setupIni[0]) uninstallFindLists();
  const char* ini = uninstall.setupIni;
  GetPrivateProfileStringA("Setup", "Name", "", uninstall.productName, sizeof uninstall.productName, ini);
  GetPrivateProfileStringA("Setup", "Description", "", uninstall.description, sizeof uninstall.description, ini);
  uninstall.fileCount = (int)GetPrivateProfileIntA("Setup", "Count", UNINSTALL_DEFAULT_COUNT, ini);
}

static void onCreate(HWND window) {
  uninstall.pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  uninstall.largeFont = CreateFontA(42, 0, 0, 0, FW_NORMAL, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_ROMAN, "Times New Roman");
  uninstallReadSetup();
  uninstall.timer = SetTimer(window, UNINSTALL_TIMER, UNINSTALL_START_DELAY, uninstallRun);
}

static void onPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HGDIOBJ oldFont = SelectObject(dc, uninstall.largeFont);
  SetBkMode(dc, TRANSPARENT);
  RECT shadow = {18, 18, 640, 480};
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextA(dc, uninstall.description, -1, &shadow, DT_WORDBREAK);
  RECT title = {14, 14, 640, 480};
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, uninstall.description, -1, &title, DT_WORDBREAK);
  SelectObject(dc, oldFont);

  RECT bar;
  GetClientRect(window, &bar);
  bar.top = bar.bottom - uninstall.barHeight > 0 ? bar.bottom - uninstall.barHeight : 0;
  FillRect(dc, &bar, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, uninstall.pen);
  MoveToEx(dc, bar.left, bar.top, nullptr);
  LineTo(dc, bar.right, bar.top);
  SelectObject(dc, oldPen);
  EndPaint(window, &paint);
}

static void releaseDrawingObjects(void) {
  if (uninstall.pen) DeleteObject(uninstall.pen);
  if (uninstall.largeFont) DeleteObject(uninstall.largeFont);
  uninstall.pen = nullptr;
  uninstall.largeFont = nullptr;
}

LRESULT CALLBACK uninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      onCreate(window);
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) uninstallLayout(window);
      return 0;
    case WM_PAINT:
      onPaint(window);
      return 0;
    case WM_COMMAND:
      return 0;
    case WM_CLOSE:
      releaseDrawingObjects();
      if (uninstall.timer) KillTimer(window, UNINSTALL_TIMER);
      uninstall.timer = 0;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // The run ends with DestroyWindow without a WM_CLOSE, so the drawing objects go here too.
      releaseDrawingObjects();
      if (uninstall.timer) KillTimer(window, UNINSTALL_TIMER);
      uninstall.timer = 0;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

static bool registerClass(HINSTANCE instance) {
  WNDCLASSA type = {};
  type.style = CS_BYTEALIGNWINDOW | CS_BYTEALIGNCLIENT | CS_PARENTDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  type.lpfnWndProc = uninstallWindowProc;
  type.hInstance = instance;
  type.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  type.hIcon = uninstall.icon;
  type.hbrBackground = CreateSolidBrush(RGB(0, 128, 128));
  type.lpszClassName = CLASS_NAME;
  if (RegisterClassA(&type)) return true;
  DeleteObject(type.hbrBackground);
  return false;
}

// Timer messages of the system and repeated identical mouse moves are not dispatched.
static bool isIgnored(const MSG* message, MSG* lastMove) {
  if (message->message == 0x118 || message->message == 0x36A) return true;
  if (message->message != WM_MOUSEMOVE && message->message != WM_NCMOUSEMOVE) return false;
  bool same = lastMove->message == message->message && lastMove->pt.x == message->pt.x &&
              lastMove->pt.y == message->pt.y;
  *lastMove = *message;
  return same;
}

int uninstallMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand) {
  memset(&uninstall, 0, sizeof uninstall);
  uninstall.instance = instance;
  if (!uninstallFindProduct(commandLine)) return 0;
  uninstallFindLists();

  uninstall.barHeight = GetSystemMetrics(SM_CYMENUSIZE) + 1;
  uninstall.icon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(UNINSTALL_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
  if (!previous && !registerClass(instance)) return 0;

  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExA(0, CLASS_NAME, "Uninstall", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                width < 640 ? 640 : width, height < 140 ? 140 : height, nullptr, nullptr, instance,
                                nullptr);
  if (!window) {
    MessageBoxA(nullptr, "Unable to create window", "Fatal Error", MB_ICONHAND);
    return 0;
  }
  uninstall.mainWindow = window;

  InitCommonControls();
  // Height 8 is taken as 8 points, the size the raster "MS Sans Serif" shows for it on Windows.
  HDC screen = GetDC(nullptr);
  int pixels = MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  uninstall.statusFont = CreateFontA(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
  uninstall.statusWindow = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_LEFTNOWORDWRAP, 0, 0,
                                           0, 0, window, (HMENU)UNINSTALL_STATUS_ID, instance, nullptr);
  if (uninstall.statusWindow) SendMessageA(uninstall.statusWindow, WM_SETFONT, (WPARAM)uninstall.statusFont, FALSE);
  uninstall.progressWindow = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                             (HMENU)UNINSTALL_PROGRESS_ID, instance, nullptr);
  uninstallLayout(window);
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message, lastMove = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (isIgnored(&message, &lastMove)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  if (uninstall.statusFont) DeleteObject(uninstall.statusFont);
  if (uninstall.icon) DestroyIcon(uninstall.icon);
  WNDCLASSA type = {};
  if (GetClassInfoA(instance, CLASS_NAME, &type)) {
    UnregisterClassA(CLASS_NAME, instance);
    DeleteObject(type.hbrBackground);
  }
  return (int)message.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  return uninstallMain(instance, previous, commandLine, showCommand);
}
