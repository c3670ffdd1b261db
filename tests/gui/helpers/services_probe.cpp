// services_probe.cpp: calls one application service as its command line says, so the GUI suite
// can watch the real boxes, bars, dialogs and registry values it produces.
// Command line: <verb> [arguments separated by '|']
//   warning|TEXT  fatal|TEXT  message|NAME|TEXT  ask|NAME|TEXT  silent-ask|TEXT  silent-warning|TEXT
//   progress|DONE|TOTAL       (a window "Services Probe" with a progress bar; WM_APP+DONE sets
//                              appProgress(wParam, lParam); closes on WM_CLOSE)
//   write-install|PRODUCT     read-install|PRODUCT|OUTFILE   locate|PRODUCT|NAME|OUTFILE
//   file-dialog|FOLDER        html|ADDRESS
// The exit code is the service's result where it has one (1 true, 0 false).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app.h"

static char* fields[8];
static int fieldCount = 0;

static void split(char* line) {
  fields[fieldCount++] = line;
  for (char* p = line; *p && fieldCount < 8; ++p)
    if (*p == '|') {
      *p = 0;
      fields[fieldCount++] = p + 1;
    }
}

static bool writeText(const char* path, const char* text) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::fputs(text, f);
  return std::fclose(f) == 0;
}

static LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    appProgress((uint32_t)wParam, (uint32_t)lParam);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

static int runProgress(uint32_t done, uint32_t total) {
  InitCommonControls();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = probeProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuirlaServicesProbe";
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  RegisterClassA(&wc);
  HWND window = CreateWindowA("QuirlaServicesProbe", "Services Probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                              300, 120, nullptr, nullptr, wc.hInstance, nullptr);
  HWND bar = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD, 10, 10, 260, 20, window, (HMENU)100, wc.hInstance,
                           nullptr);
  appSetProgressWindow(bar);
  appProgress(done, total);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  static char line[2048];
  std::snprintf(line, sizeof line, "%s", commandLine);
  split(line);
  const char* verb = fields[0];
  auto arg = [](int i) { return i < fieldCount ? fields[i] : (char*)""; };
  if (!std::strcmp(verb, "warning")) {
    appWarning(arg(1));
  } else if (!std::strcmp(verb, "fatal")) {
    appFatalError(arg(1));
  } else if (!std::strcmp(verb, "message")) {
    if (arg(1)[0]) appSetName(arg(1));
    appMessage(arg(2));
  } else if (!std::strcmp(verb, "ask")) {
    if (arg(1)[0]) appSetName(arg(1));
    return appAskYesNo(arg(2)) ? 1 : 0;
  } else if (!std::strcmp(verb, "silent-ask")) {
    appEnableMessages(false);
    return appAskYesNo(arg(1)) ? 1 : 0;
  } else if (!std::strcmp(verb, "silent-warning")) {
    appEnableMessages(false);
    appWarning(arg(1));
    appFatalError(arg(1));
    appMessage(arg(1));
    return 7;
  } else if (!std::strcmp(verb, "progress")) {
    return runProgress((uint32_t)std::strtoul(arg(1), nullptr, 10), (uint32_t)std::strtoul(arg(2), nullptr, 10));
  } else if (!std::strcmp(verb, "write-install")) {
    return appInitInstallPath(arg(1), true) ? 1 : 0;
  } else if (!std::strcmp(verb, "read-install")) {
    bool ok = appInitInstallPath(arg(1), false);
    writeText(arg(2), appInstallPath());
    return ok ? 1 : 0;
  } else if (!std::strcmp(verb, "locate")) {
    appInitInstallPath(arg(1), false);
    char found[APP_PATH_LENGTH] = "";
    bool ok = appLocateFile(arg(2), found);
    writeText(arg(3), found);
    return ok ? 1 : 0;
  } else if (!std::strcmp(verb, "file-dialog")) {
    char file[APP_PATH_LENGTH] = "";
    return appFileDialog(nullptr, true, "Probe Open", "vxm", "Models (*.vxm)\0*.vxm\0\0", arg(1), file, nullptr,
                         nullptr)
               ? 1
               : 0;
  } else if (!std::strcmp(verb, "html")) {
    appOpenHtmlFile(arg(1), nullptr);
  } else {
    return 99;
  }
  return 0;
}
