// SaverShellWin32.cpp: the screen-saver shell: entry point, switches, the saver window class,
// the input rules that end the saver, and the Windows 95/98 password check.
#include <windows.h>

#include "SaverArgs.h"
#include "SaverWin32.h"
#include "app.h"
#include "resource.h"

typedef BOOL(WINAPI* VerifyPasswordProc)(HWND window);
typedef DWORD(WINAPI* ChangePasswordProc)(LPCSTR provider, HWND window, DWORD reserved1, DWORD reserved2);
typedef HANDLE(WINAPI* AssociateContextProc)(HWND window, HANDLE context);

static const char SAVER_CLASS[] = "WindowsScreenSaverClass";
static const char SAVER_TITLE[] = "Screen Saver";
static const int MOUSE_THRESHOLD = 4;
static const int PASSWORD_PAUSE = 200;  // milliseconds before a refused password is asked again

static struct {
  HINSTANCE instance;
  bool onWin9x;
  bool preview;
  bool closing;
  bool inPasswordDialog;
  int32_t lastPasswordCheck;  // -1: none yet
  HMODULE passwordLibrary;
  VerifyPasswordProc verifier;
  UINT autoplayMessage;
  POINT reference;
  HANDLE previousContext;
  bool contextKept;
  HWND window;
} shell = {nullptr, false, false, false, false, -1, nullptr, nullptr, 0, {0, 0}, nullptr, false, nullptr};

static bool runningOnWin9x(void) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

static HWND windowFromHandle(uint32_t handle) {
  HWND window = reinterpret_cast<HWND>((UINT_PTR)handle);
  return handle && IsWindow(window) ? window : nullptr;
}

int saverMain(HINSTANCE instance, const char* arguments) {
  shell.instance = instance;
  shell.onWin9x = runningOnWin9x();
  SaverCommand command;
  saverParseArguments(arguments ? arguments : "", &command);
  switch (command.action) {
    case SAVER_ACTION_CONFIG:
      return saverShowConfig(nullptr);
    case SAVER_ACTION_CONFIGURE: {
      HWND owner = windowFromHandle(command.handle);
      return saverShowConfig(owner ? owner : GetForegroundWindow());
    }
    case SAVER_ACTION_RUN:
      return saverRun(nullptr);
    case SAVER_ACTION_PREVIEW: {
      HWND parent = windowFromHandle(command.handle);
      return parent ? saverRun(parent) : -1;
    }
    case SAVER_ACTION_PASSWORD: {
      if (!shell.onWin9x) return -1;
      HWND owner = windowFromHandle(command.handle);
      saverChangePassword(owner ? owner : GetForegroundWindow());
      return 0;
    }
    default:
      return -1;
  }
}

int saverShowConfig(HWND owner) {
  return (int)DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(IDD_CONFIG), owner, saverConfigDialogProc, 0);
}

void saverChangePassword(HWND owner) {
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) return;
  ChangePasswordProc change = reinterpret_cast<ChangePasswordProc>(
      reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
  if (change) change("SCRSAVE", owner, 0, 0);
  FreeLibrary(library);
}

void saverUnloadPasswordSupport(void) {
  if (shell.passwordLibrary) FreeLibrary(shell.passwordLibrary);
  shell.passwordLibrary = nullptr;
  if (shell.verifier) {
    shell.verifier = nullptr;
    BOOL previous;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
  }
}

void saverLoadPasswordSupport(void) {
  if (shell.passwordLibrary) saverUnloadPasswordSupport();
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  DWORD usePassword = 0;
  DWORD size = sizeof usePassword;
  if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&usePassword),
                       &size) == ERROR_SUCCESS &&
      usePassword != 0) {
    shell.passwordLibrary = LoadLibraryA("PASSWORD.CPL");
    if (shell.passwordLibrary) {
      shell.verifier = reinterpret_cast<VerifyPasswordProc>(
          reinterpret_cast<void*>(GetProcAddress(shell.passwordLibrary, "VerifyScreenSavePwd")));
      if (shell.verifier) {
        BOOL previous;
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
      } else {
        saverUnloadPasswordSupport();
      }
    }
  }
  RegCloseKey(key);
}

bool saverVerifyPassword(HWND window) {
  if (shell.inPasswordDialog || shell.closing) return false;
  if (!shell.verifier) {
    shell.closing = true;
    return true;
  }
  if (shell.lastPasswordCheck != -1 && (int32_t)GetTickCount() - shell.lastPasswordCheck < PASSWORD_PAUSE)
    return shell.closing;
  shell.inPasswordDialog = true;
  // Change events must not pile up behind the password dialog.
  MSG pending;
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  shell.closing = SendMessageA(window, SAVER_VERIFY_MESSAGE, 0, 0) != 0;
  shell.inPasswordDialog = false;
  if (!shell.closing) SetCursor(nullptr);
  shell.lastPasswordCheck = (int32_t)GetTickCount();
  return shell.closing;
}

static void requestClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

LRESULT saverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!shell.preview && !shell.closing) {
    if (shell.onWin9x && message == WM_CLOSE && !saverVerifyPassword(window)) {
      GetCursorPos(&shell.reference);
      return 0;
    }
    if (shell.onWin9x && message == SAVER_VERIFY_MESSAGE)
      return shell.verifier ? shell.verifier(window) : 1;
    if (!shell.inPasswordDialog) {
      switch (message) {
        case WM_SHOWWINDOW:
          if (wParam) SetCursor(nullptr);
          break;
        case WM_ACTIVATEAPP:
          if (!wParam) requestClose(window);
          break;
        case WM_SETCURSOR:
          SetCursor(nullptr);
          return TRUE;
        case WM_POWER:
          if (wParam == PWR_CRITICALRESUME) requestClose(window);
          break;
        case WM_MOUSEMOVE: {
          POINT now;
          GetCursorPos(&now);
          if (abs(now.x - shell.reference.x) + abs(now.y - shell.reference.y) > MOUSE_THRESHOLD) {
            requestClose(window);
            shell.reference = now;
          }
          break;
        }
        case WM_POWERBROADCAST:
          // A power event ends the saver; the display's on and off (a setting change the saver
          // asked to hear about) only pause its frames.
          if (wParam != PBT_POWERSETTINGCHANGE) requestClose(window);
          break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
          requestClose(window);
          break;
      }
    }
  }
  if (shell.autoplayMessage && message == shell.autoplayMessage) {
    requestClose(window);
    return shell.verifier ? TRUE : FALSE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

static void keepInputContext(HWND window) {
  HMODULE imm = GetModuleHandleA("IMM32.DLL");
  if (!imm) return;
  AssociateContextProc associate =
      reinterpret_cast<AssociateContextProc>(reinterpret_cast<void*>(GetProcAddress(imm, "ImmAssociateContext")));
  if (!associate) return;
  shell.previousContext = associate(window, nullptr);
  shell.contextKept = true;
}

static void restoreInputContext(HWND window) {
  if (!shell.contextKept) return;
  HMODULE imm = GetModuleHandleA("IMM32.DLL");
  AssociateContextProc associate =
      imm ? reinterpret_cast<AssociateContextProc>(reinterpret_cast<void*>(GetProcAddress(imm, "ImmAssociateContext")))
          : nullptr;
  if (associate) associate(window, shell.previousContext);
  shell.contextKept = false;
}

static LRESULT passOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!shell.preview) SetCursor(nullptr);
  return saverWindowProc(window, message, wParam, lParam);
}

LRESULT CALLBACK saverShellProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      keepInputContext(window);
      GetCursorPos(&shell.reference);
      return passOn(window, message, wParam, lParam);
    case WM_DESTROY:
      restoreInputContext(window);
      PostQuitMessage(0);
      return saverWindowProc(window, message, wParam, lParam);
    case WM_PAINT:
      if (shell.closing) return DefWindowProcA(window, message, wParam, lParam);
      return passOn(window, message, wParam, lParam);
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (!shell.preview) return saverWindowProc(window, message, wParam, lParam);
      if (HWND parent = GetParent(window)) {
        if (message == WM_HELP) {
          // WM_HELP carries a pointer to its HELPINFO, and such messages cannot be posted (the
          // post fails and the request would be lost): it is sent, with a time limit so that a
          // busy control panel cannot stop the preview.
          DWORD_PTR ignored;
          SendMessageTimeoutA(parent, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &ignored);
        } else {
          PostMessageA(parent, message, wParam, lParam);
        }
      }
      return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (shell.closing) return DefWindowProcA(window, message, wParam, lParam);
      return saverWindowProc(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
      if (!shell.preview) {
        UINT command = (UINT)(wParam & 0xFFF0);
        if (command == SC_SCREENSAVE || command == SC_NEXTWINDOW || command == SC_PREVWINDOW) return 0;
      }
      return saverWindowProc(window, message, wParam, lParam);
    case WM_TIMER:
      if (shell.closing) return 0;
      Sleep(0);
      return saverWindowProc(window, message, wParam, lParam);
    case WM_SETTEXT:
      return 0;
    default:
      return passOn(window, message, wParam, lParam);
  }
}

int saverRun(HWND parent) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = saverShellProc;
  windowClass.hInstance = shell.instance;
  windowClass.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_SAVER));
  windowClass.hCursor = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = SAVER_CLASS;

  int x = 0, y = 0, width, height;
  const char* title;
  DWORD style, exStyle;
  if (parent) {
    RECT client;
    GetClientRect(parent, &client);
    width = client.right;
    height = client.bottom;
    title = "Preview";
    style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    exStyle = 0;
    shell.preview = true;
  } else {
    HDC screen = GetDC(nullptr);
    RECT box = {0, 0, 0, 0};
    GetClipBox(screen, &box);
    ReleaseDC(nullptr, screen);
    x = box.left;
    y = box.top;
    width = box.right - box.left;
    height = box.bottom - box.top;
    title = SAVER_TITLE;
    style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    exStyle = WS_EX_TOPMOST;
    // Only one full-screen saver runs: a second start brings the first to the front.
    if (HWND running = FindWindowA(SAVER_CLASS, SAVER_TITLE)) {
      SetForegroundWindow(running);
      return 0;
    }
    saverLoadPasswordSupport();
  }
  if (shell.onWin9x) shell.autoplayMessage = RegisterWindowMessageA("QueryCancelAutoPlay");

  MSG message = {};
  if (RegisterClassA(&windowClass)) {
    shell.window = CreateWindowExA(exStyle, SAVER_CLASS, title, style, x, y, width, height, parent, nullptr,
                                   shell.instance, nullptr);
    if (shell.window) {
      if (!shell.preview) SetForegroundWindow(shell.window);
      while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  } else {
    APP_TRACE("Failed to register screen saver window class");
  }
  saverUnloadPasswordSupport();
  return (int)message.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ExitProcess((UINT)saverMain(instance, saverSkipProgramName(GetCommandLineA())));
  return 0;
}
