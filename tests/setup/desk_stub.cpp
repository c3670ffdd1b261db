// desk_stub.cpp: a stand-in for the Display control panel (desk.cpl) that the setup suite puts
// into the system folder of its prefix. Opened by "control.exe desk.cpl,,<page>", it shows a
// message box titled "Display Properties" that names the page it was asked for and the command
// line of the control panel's process, so that the suite sees which page of the panel setup's
// finish page opened, and how.
#include <windows.h>
#include <cpl.h>

#include <cstdio>

extern "C" __declspec(dllexport) LONG CALLBACK CPlApplet(HWND window, UINT message, LPARAM lParam1, LPARAM lParam2) {
  switch (message) {
    case CPL_INIT:
      return TRUE;
    case CPL_GETCOUNT:
      return 1;
    case CPL_INQUIRE: {
      CPLINFO* info = reinterpret_cast<CPLINFO*>(lParam2);
      info->idIcon = CPL_DYNAMIC_RES;
      info->idName = CPL_DYNAMIC_RES;
      info->idInfo = CPL_DYNAMIC_RES;
      info->lData = 0;
      return 0;
    }
    case CPL_NEWINQUIRE: {
      NEWCPLINFOA* info = reinterpret_cast<NEWCPLINFOA*>(lParam2);
      ZeroMemory(info, sizeof *info);
      info->dwSize = sizeof *info;
      lstrcpynA(info->szName, "Display", sizeof info->szName);
      lstrcpynA(info->szInfo, "Display settings", sizeof info->szInfo);
      return 0;
    }
    // The page comes as the text after the second comma (Wine's control panel passes it wide).
    case CPL_STARTWPARMSW: {
      char page[256] = "";
      WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(lParam2), -1, page, sizeof page, nullptr,
                          nullptr);
      char text[600];
      snprintf(text, sizeof text, "page %s\n%s", page, GetCommandLineA());
      MessageBoxA(nullptr, text, "Display Properties", MB_OK | MB_ICONINFORMATION);
      return TRUE;
    }
    default:
      return 0;
  }
}
