// SaverConfigWin32.cpp: the configuration dialog: shows the settings, checks chosen files, saves on OK.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "SaverSettings.h"
#include "SaverWin32.h"
#include "app.h"
#include "resource.h"
#include "voxim.h"

static const char BOX_TITLE[] = "Quirla";
static const int SHORT_PATH = 33;

static void check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
static bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
static void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

// A path as the dialog shows it: lower case, shortened to fit its line.
static void showPath(HWND dialog, int id, const char* path) {
  char shown[APP_PATH_LENGTH];
  lstrcpynA(shown, path, sizeof shown);
  CharLowerA(shown);
  appShortenPath(shown, SHORT_PATH);
  SetDlgItemTextA(dialog, id, shown);
}

static void refreshBackground(HWND dialog) {
  const SaverSettings* s = saverSettings();
  check(dialog, IDC_BACK_NONE, false);
  check(dialog, IDC_BACK_DESKTOP, false);
  check(dialog, IDC_BACK_BITMAP, false);
  static const int backIds[3] = {IDC_BACK_NONE, IDC_BACK_DESKTOP, IDC_BACK_BITMAP};
  if (s->backgroundState >= 0 && s->backgroundState <= 2) check(dialog, backIds[s->backgroundState], true);
  check(dialog, IDC_BITMAP_RANDOM, s->bitmapRandom != 0);
  showPath(dialog, IDC_BITMAP_FILE, s->bitmapFile);
  const bool bitmap = s->backgroundState == SAVER_BACK_BITMAP;
  static const int bitmapIds[5] = {IDC_BITMAP_FILE, IDC_BITMAP_BROWSE, IDC_BITMAP_RANDOM, IDC_TILE, IDC_CENTRE};
  for (int id : bitmapIds) enable(dialog, id, bitmap);
  check(dialog, IDC_TILE, false);
  check(dialog, IDC_CENTRE, false);
  check(dialog, s->bitmapTile == 1 ? IDC_TILE : IDC_CENTRE, true);
}

static void refreshMovement(HWND dialog) {
  static const int moveIds[5] = {IDC_MOVE_NONE, IDC_MOVE_REFLECT, IDC_MOVE_BOUNCE, IDC_MOVE_WANDER, IDC_MOVE_RANDOM};
  for (int id : moveIds) check(dialog, id, false);
  int32_t state = saverSettings()->moveState;
  check(dialog, moveIds[state >= 0 && state <= 4 ? state : 0], true);
}

static void refreshSpin(HWND dialog) {
  const SaverSettings* s = saverSettings();
  check(dialog, IDC_SPIN_X, s->spinX != 0);
  check(dialog, IDC_SPIN_Y, s->spinY != 0);
  check(dialog, IDC_SPIN_Z, s->spinZ != 0);
  check(dialog, IDC_SPIN_RANDOM, s->spinRandom != 0);
  const bool manual = !s->spinRandom;
  enable(dialog, IDC_SPIN_X, manual);
  enable(dialog, IDC_SPIN_Y, manual);
  enable(dialog, IDC_SPIN_Z, manual);
  enable(dialog, IDC_SPIN_X_SPEED, manual && s->spinX);
  enable(dialog, IDC_SPIN_Y_SPEED, manual && s->spinY);
  enable(dialog, IDC_SPIN_Z_SPEED, manual && s->spinZ);
}

static void refreshModel(HWND dialog) {
  check(dialog, IDC_MODEL_RANDOM, saverSettings()->modelRandom != 0);
  showPath(dialog, IDC_MODEL_FILE, saverSettings()->modelFile);
}

static void refreshLighting(HWND dialog) {
  check(dialog, IDC_LIGHT_RANDOM, saverSettings()->lightRandom != 0);
  showPath(dialog, IDC_LIGHT_FILE, saverSettings()->lightFile);
}

static void refreshChange(HWND dialog) {
  SaverSettings* s = saverSettings();
  // Keep what the user typed: the number in the edit survives a click elsewhere in the dialog.
  if (IsWindowEnabled(GetDlgItem(dialog, IDC_CHANGE_TIME))) {
    BOOL number = FALSE;
    UINT typed = GetDlgItemInt(dialog, IDC_CHANGE_TIME, &number, FALSE);
    if (number) s->changeTime = typed;
  }
  const bool anyRandom = s->moveState == SAVER_MOVE_RANDOM || s->bitmapRandom || s->modelRandom || s->lightRandom ||
                         s->spinRandom;
  if (anyRandom) {
    enable(dialog, IDC_CHANGE, true);
    check(dialog, IDC_CHANGE, s->change != 0);
    enable(dialog, IDC_CHANGE_TIME, s->change != 0);
    SetDlgItemInt(dialog, IDC_CHANGE_TIME, s->changeTime, FALSE);
  } else {
    enable(dialog, IDC_CHANGE, false);
    enable(dialog, IDC_CHANGE_TIME, false);
  }
}

static void setScroll(HWND dialog, int id, int minimum, int maximum, int position) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS;
  info.nMin = minimum;
  info.nMax = maximum;
  info.nPos = position;
  SetScrollInfo(GetDlgItem(dialog, id), SB_CTL, &info, FALSE);
}

static BOOL onInitDialog(HWND dialog) {
  appInitInstallPath("Quirla", false);
  appEnableMessages(false);
  SaverSettings* s = saverSettings();
  saverSetDefaultSettings(s, appInstallPath());
  if (!saverLoadSettings(s)) MessageBoxA(dialog, "Failed to read from the Windows Registry", "Error", MB_OK);

  setScroll(dialog, IDC_MODEL_SCALE, SAVER_MODEL_SIZE_MIN, SAVER_MODEL_SIZE_MAX, s->modelSize);
  setScroll(dialog, IDC_MOVE_SPEED, SAVER_MOVE_SPEED_MIN, SAVER_MOVE_SPEED_MAX, s->moveSpeed);
  setScroll(dialog, IDC_SPIN_X_SPEED, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX, s->spinXSpeed);
  setScroll(dialog, IDC_SPIN_Y_SPEED, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX, s->spinYSpeed);
  setScroll(dialog, IDC_SPIN_Z_SPEED, SAVER_SPIN_SPEED_MIN, SAVER_SPIN_SPEED_MAX, s->spinZSpeed);
  SendDlgItemMessageA(dialog, IDC_CHANGE_TIME, EM_LIMITTEXT, 4, 0);
  // The edit always holds the stored time, even while it is disabled, so that OK saves it unchanged.
  SetDlgItemInt(dialog, IDC_CHANGE_TIME, s->changeTime, FALSE);

  refreshBackground(dialog);
  refreshMovement(dialog);
  refreshSpin(dialog);
  refreshModel(dialog);
  refreshLighting(dialog);
  refreshChange(dialog);
  return TRUE;
}

enum BrowseKind { BROWSE_BITMAP, BROWSE_MODEL, BROWSE_LIGHTS };

static bool testLoad(BrowseKind kind, const char* path) {
  switch (kind) {
    case BROWSE_BITMAP: {
      VxmBitmap* bitmap = vxmBitmapLoadBMP(path);
      vxmBitmapFree(bitmap);
      return bitmap != nullptr;
    }
    case BROWSE_MODEL: {
      VxmModel* model = vxmModelLoad(path);
      vxmModelFree(model);
      return model != nullptr;
    }
    default:
      return vxmLightLoadVLT(path);
  }
}

static void browse(HWND dialog, BrowseKind kind) {
  SaverSettings* s = saverSettings();
  char start[APP_PATH_LENGTH] = "";
  char file[APP_PATH_LENGTH] = "";
  const char* title;
  const char* extension;
  const char* types;
  const char* failure;
  char* setting;
  switch (kind) {
    case BROWSE_BITMAP:
      title = "Browse for Bitmap";
      extension = "bmp";
      types = "Windows Bitmap (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";
      failure = "Failed to load bitmap: '%s'";
      setting = s->bitmapFile;
      if (s->bitmapFile[0])
        appSplitPath(s->bitmapFile, start, nullptr);
      else
        std::snprintf(start, sizeof start, "%sTextures\\", appInstallPath());
      break;
    case BROWSE_MODEL:
      title = "Browse for Model";
      extension = "vxm";
      types = "Model Files (.vxm)\0*.vxm\0";
      failure = "Failed to load model: '%s'";
      setting = s->modelFile;
      std::snprintf(start, sizeof start, "%sModels\\", appInstallPath());
      break;
    default:
      title = "Browse for Lights";
      extension = "vlt";
      types = "Lights (*.vlt)\0*.vlt\0All Files (*.*)\0*.*\0";
      failure = "Failed to load lights: '%s'";
      setting = s->lightFile;
      std::snprintf(start, sizeof start, "%sLights\\", appInstallPath());
      break;
  }
  if (!appFileDialog(dialog, true, title, extension, types, start[0] ? start : nullptr, file, nullptr, nullptr))
    return;
  if (testLoad(kind, file)) {
    lstrcpynA(setting, file, SAVER_PATH_LENGTH);
    return;
  }
  setting[0] = '\0';
  char text[APP_PATH_LENGTH + 64];
  std::snprintf(text, sizeof text, failure, file);
  MessageBoxA(dialog, text, BOX_TITLE, MB_ICONEXCLAMATION);
}

static void openHelp(HWND dialog) {
  char address[APP_PATH_LENGTH + 16];
  std::snprintf(address, sizeof address, "file://%sHelp\\SSHelp.htm", appInstallPath());
  appOpenHtmlFile(address, dialog);
}

// Starts the editor on the current model. Both paths are quoted: an installation folder or a
// model path with blanks in it must reach the editor whole.
static void startEditor(void) {
  char command[2 * APP_PATH_LENGTH + 16];
  const char* model = saverSettings()->modelFile;
  if (model[0])
    std::snprintf(command, sizeof command, "\"%sApp\\Quirla.exe\" \"%s\"", appInstallPath(), model);
  else
    std::snprintf(command, sizeof command, "\"%sApp\\Quirla.exe\"", appInstallPath());
  if (WinExec(command, SW_SHOW) <= 31) APP_TRACE("Failed to start the editor: %s", command);
}

static bool fileMissing(HWND dialog, const char* path, const char* message) {
  if (!path[0] || appFileExists(path)) return false;
  char text[APP_PATH_LENGTH + 64];
  std::snprintf(text, sizeof text, message, path);
  MessageBoxA(dialog, text, BOX_TITLE, MB_ICONEXCLAMATION);
  return true;
}

static void onOk(HWND dialog) {
  SaverSettings* s = saverSettings();
  if (s->backgroundState == SAVER_BACK_BITMAP &&
      fileMissing(dialog, s->bitmapFile, "Background bitmap does not exist:\n'%s'"))
    return;
  if (fileMissing(dialog, s->modelFile, "Model file does not exist:\n'%s'")) return;
  if (fileMissing(dialog, s->lightFile, "Lights file does not exist:\n'%s'")) return;

  s->changeTime = saverClampChangeTime(GetDlgItemInt(dialog, IDC_CHANGE_TIME, nullptr, FALSE));
  if (!saverSaveSettings(s)) MessageBoxA(dialog, "Failed to write to the Windows Registry", "Error", MB_OK);
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EndDialog(dialog, IDOK);
}

static void onCommand(HWND dialog, int id) {
  SaverSettings* s = saverSettings();
  switch (id) {
    case IDC_BACK_NONE: s->backgroundState = SAVER_BACK_NONE; break;
    case IDC_BACK_DESKTOP: s->backgroundState = SAVER_BACK_DESKTOP; break;
    case IDC_BACK_BITMAP: s->backgroundState = SAVER_BACK_BITMAP; break;
    case IDC_MOVE_NONE: s->moveState = SAVER_MOVE_NONE; break;
    case IDC_MOVE_REFLECT: s->moveState = SAVER_MOVE_REFLECT; break;
    case IDC_MOVE_BOUNCE: s->moveState = SAVER_MOVE_BOUNCE; break;
    case IDC_MOVE_WANDER: s->moveState = SAVER_MOVE_WANDER; break;
    case IDC_MOVE_RANDOM: s->moveState = SAVER_MOVE_RANDOM; break;
    case IDC_TILE: s->bitmapTile = 1; break;
    case IDC_CENTRE: s->bitmapTile = 0; break;
    case IDC_SPIN_X: s->spinX = checked(dialog, id); break;
    case IDC_SPIN_Y: s->spinY = checked(dialog, id); break;
    case IDC_SPIN_Z: s->spinZ = checked(dialog, id); break;
    case IDC_SPIN_RANDOM: s->spinRandom = checked(dialog, id); break;
    case IDC_BITMAP_RANDOM: s->bitmapRandom = checked(dialog, id); break;
    case IDC_MODEL_RANDOM: s->modelRandom = checked(dialog, id); break;
    case IDC_LIGHT_RANDOM: s->lightRandom = checked(dialog, id); break;
    case IDC_CHANGE: s->change = checked(dialog, id); break;
    case IDC_BITMAP_BROWSE: browse(dialog, BROWSE_BITMAP); break;
    case IDC_MODEL_BROWSE: browse(dialog, BROWSE_MODEL); break;
    case IDC_LIGHT_BROWSE: browse(dialog, BROWSE_LIGHTS); break;
    case IDC_WEBSITE: appOpenHtmlFile(SAVER_WEBSITE_ADDRESS, dialog); break;
    case IDC_HELP_BUTTON: openHelp(dialog); break;
    case IDC_EDITOR: startEditor(); break;
    case IDOK: onOk(dialog); return;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return;
    default: return;
  }
  switch (id) {
    case IDC_BACK_NONE: case IDC_BACK_DESKTOP: case IDC_BACK_BITMAP: case IDC_TILE: case IDC_CENTRE:
    case IDC_BITMAP_RANDOM: case IDC_BITMAP_BROWSE:
      refreshBackground(dialog);
      break;
    case IDC_MOVE_NONE: case IDC_MOVE_REFLECT: case IDC_MOVE_BOUNCE: case IDC_MOVE_WANDER: case IDC_MOVE_RANDOM:
      refreshMovement(dialog);
      break;
    case IDC_SPIN_X: case IDC_SPIN_Y: case IDC_SPIN_Z: case IDC_SPIN_RANDOM:
      refreshSpin(dialog);
      break;
    case IDC_MODEL_RANDOM: case IDC_MODEL_BROWSE:
      refreshModel(dialog);
      break;
    case IDC_LIGHT_RANDOM: case IDC_LIGHT_BROWSE:
      refreshLighting(dialog);
      break;
  }
  refreshChange(dialog);
}

static int32_t clampValue(int32_t value, int32_t minimum, int32_t maximum) {
  return value < minimum ? minimum : value > maximum ? maximum : value;
}

static void onScroll(HWND bar, WPARAM wParam) {
  SaverSettings* s = saverSettings();
  int32_t* value;
  int32_t minimum, maximum, page;
  switch (GetDlgCtrlID(bar)) {
    case IDC_MODEL_SCALE: value = &s->modelSize; minimum = SAVER_MODEL_SIZE_MIN; maximum = SAVER_MODEL_SIZE_MAX; page = 5; break;
    case IDC_MOVE_SPEED: value = &s->moveSpeed; minimum = SAVER_MOVE_SPEED_MIN; maximum = SAVER_MOVE_SPEED_MAX; page = 10; break;
    case IDC_SPIN_X_SPEED: value = &s->spinXSpeed; minimum = SAVER_SPIN_SPEED_MIN; maximum = SAVER_SPIN_SPEED_MAX; page = 10; break;
    case IDC_SPIN_Y_SPEED: value = &s->spinYSpeed; minimum = SAVER_SPIN_SPEED_MIN; maximum = SAVER_SPIN_SPEED_MAX; page = 10; break;
    case IDC_SPIN_Z_SPEED: value = &s->spinZSpeed; minimum = SAVER_SPIN_SPEED_MIN; maximum = SAVER_SPIN_SPEED_MAX; page = 10; break;
    default: return;
  }
  switch (LOWORD(wParam)) {
    case SB_LINEUP: *value -= 1; break;
    case SB_LINEDOWN: *value += 1; break;
    case SB_PAGEUP: *value -= page; break;
    case SB_PAGEDOWN: *value += page; break;
    case SB_THUMBTRACK: *value = (int16_t)HIWORD(wParam); break;
    default: break;
  }
  *value = clampValue(*value, minimum, maximum);
  SetScrollPos(bar, SB_CTL, *value, TRUE);
}

INT_PTR CALLBACK saverConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return onInitDialog(dialog);
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) onCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lParam) onScroll(reinterpret_cast<HWND>(lParam), wParam);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}
