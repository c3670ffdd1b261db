// driver_dialog.cpp: a dialog for the driver's own test: a check box, two radio buttons, an edit,
// a static, a scroll bar at 7 of 0..20, a disabled button and a pad that paints solid red and
// writes the last key and click it got into its own text. Ends with a code that tells the state
// of the controls when OK was pressed: 1 check box, 2 second radio, 4 edit reads "typed",
// 8 scroll bar at 12; Cancel ends with 100.
#include <windows.h>

#include <cstdio>
#include <cstring>

static LRESULT CALLBACK padProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char text[64];
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT all;
      GetClientRect(window, &all);
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
      FillRect(dc, &all, red);
      DeleteObject(red);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_GETDLGCODE:
      // The dialog's own key handling must hand every key and character to the pad.
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      snprintf(text, sizeof text, "key %u", (unsigned)wParam);
      SetWindowTextA(window, text);
      return 0;
    case WM_CHAR:
      snprintf(text, sizeof text, "char %c", (char)wParam);
      SetWindowTextA(window, text);
      return 0;
    case WM_LBUTTONUP:
      snprintf(text, sizeof text, "click %d,%d", (short)LOWORD(lParam), (short)HIWORD(lParam));
      SetWindowTextA(window, text);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, 104, "hello");
      SetScrollRange(GetDlgItem(dialog, 106), SB_CTL, 0, 20, FALSE);
      SetScrollPos(GetDlgItem(dialog, 106), SB_CTL, 7, TRUE);
      CheckRadioButton(dialog, 102, 103, 102);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char text[32];
        GetDlgItemTextA(dialog, 104, text, sizeof text);
        int code = 0;
        if (IsDlgButtonChecked(dialog, 101) == BST_CHECKED) code |= 1;
        if (IsDlgButtonChecked(dialog, 103) == BST_CHECKED) code |= 2;
        if (!strcmp(text, "typed")) code |= 4;
        if (GetScrollPos(GetDlgItem(dialog, 106), SB_CTL) == 12) code |= 8;
        EndDialog(dialog, code);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 100);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA pad = {};
  pad.lpfnWndProc = padProc;
  pad.hInstance = instance;
  pad.hCursor = LoadCursor(nullptr, IDC_ARROW);
  pad.lpszClassName = "DriverPad";
  if (!RegisterClassA(&pad)) return 201;
  return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(100), nullptr, dialogProc, 0);
}
