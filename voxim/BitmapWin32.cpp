// BitmapWin32.cpp: the system colour dialog behind the editor's colour buttons (Windows only).
#include <windows.h>
#include <commdlg.h>

#include "app.h"
#include "vxmBitmap.h"

// The user's custom colours stay for the whole run of the program; they start black.
static COLORREF bitmapCustomColours[16];

int vxmChooseColour(void* owner, uint8_t* colour) {
  if (!owner || !colour) {
    APP_TRACE("Invalid Parameters");
    return FALSE;
  }
  CHOOSECOLORA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = (HWND)owner;
  chooser.rgbResult = RGB(colour[2], colour[1], colour[0]);
  chooser.lpCustColors = bitmapCustomColours;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  static_assert((CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR) == 0x103, "the dialog opens full, any colour, from ours");
  const BOOL chosen = ChooseColorA(&chooser);
  colour[0] = GetBValue(chooser.rgbResult);
  colour[1] = GetGValue(chooser.rgbResult);
  colour[2] = GetRValue(chooser.rgbResult);
  return chosen;
}
