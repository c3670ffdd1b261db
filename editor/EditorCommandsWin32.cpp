// EditorCommandsWin32.cpp: the menu and accelerator commands: models, textures and lights in and out,
// the Model Info and About boxes, installing the screensaver, the clipboard, the view and facet
// commands and help; opening and saving models; the menu's enabled entries.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "EditorHistory.h"
#include "EditorWin32.h"
#include "app.h"
#include "resource.h"
#include "vxmImport.h"

static const char MODEL_TYPES[] = "Model Files (.vxm;.3ds;.obj;.stl;.gltf;.glb)\0*.vxm;*.3ds;*.obj;*.stl;*.gltf;*.glb\0";
static const char SAVE_MODEL_TYPES[] = "Model (*.vxm)\0*.vxm\0All Files (*.*)\0*.*\0";
static const char TEXTURE_TYPES[] = "Windows Bitmap (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";
static const char LIGHT_TYPES[] = "Lights (*.vlt)\0*.vlt\0All Files (*.*)\0*.*\0";

static void folderOf(const char* subfolder, char* folder) {
  std::snprintf(folder, EDITOR_PATH_LENGTH, "%s%s", appInstallPath(), subfolder);
}

// A file dialog starting in a folder of the installation; false when cancelled.
static bool askFile(bool open, const char* title, const char* extension, const char* types, const char* subfolder,
                    char* file) {
  char folder[EDITOR_PATH_LENGTH];
  folderOf(subfolder, folder);
  return appFileDialog(ew.main, open, title, extension, types, folder, file, nullptr, nullptr);
}

static void showFailure(const char* format, const char* path) {
  char text[EDITOR_PATH_LENGTH + 128];
  std::snprintf(text, sizeof text, format, path);
  appMessage(text);
}

// A failure box: the message, then the reason (when there is one) on a line of its own.
static void showWithReason(const char* format, const char* path, const char* reason) {
  char text[EDITOR_PATH_LENGTH + APP_TRACE_MESSAGE];
  int length = std::snprintf(text, sizeof text, format, path);
  if (length > 0 && length < (int)sizeof text && reason && reason[0])
    std::snprintf(text + length, sizeof text - length, "\n\n%s", reason);
  appMessage(text);
}

// A model that failed to load, with the import's reason for refusing the file.
void editorShowModelFailure(const char* format, const char* path) { showWithReason(format, path, vxmImportReason()); }

// "Failed to save ..." with the system's reason for it.
void editorShowSaveFailure(const char* format, const char* path) { showWithReason(format, path, appSaveReason()); }

static void markEdited(void) {
  if (!editor.modelEdited) {
    editor.modelEdited = true;
    editorUpdateTitle();
  }
}

void editorRecordStep(void) {
  editorHistoryRecord(editor.history, &editor);
  editorUpdateTitle();
  editorUpdateMenu();
}

// Undo and Redo put back the model's facets, textures and highlight, or the lights: every window
// that shows them is brought up to date.
static void undoOrRedo(bool redo) {
  const uint32_t parts = redo ? editorHistoryRedo(editor.history, &editor) : editorHistoryUndo(editor.history, &editor);
  if (!parts) return;
  if (parts & EDITOR_PART_MODEL) {
    editorFillTextureList();
    InvalidateRect(ew.library, nullptr, TRUE);
    editorUpdateLibraryControls();
  }
  editorUpdateLightingControls();
  InvalidateRect(ew.lighting, nullptr, TRUE);
  editorInvalidateWorkspace(false);
  editorUpdateTitle();
  editorUpdateMenu();
}

static void emptyStatus(void) {
  editor.statusText = nullptr;
  editorShowStatus(nullptr);
}

void editorUpdateMenu(void) {
  HMENU menu = GetMenu(ew.main);
  if (!menu) return;
  const EditorMenuStates on = editorMenuStates(editor.model != nullptr, editor.editMode);
  auto state = [](bool enabled) -> UINT { return enabled ? MF_ENABLED : MF_GRAYED; };
  for (UINT id : {IDM_OPEN_TEXTURE, IDM_MODEL_INFO, IDM_SNAP, IDM_REFRESH_TEXTURES, IDM_SAVE_KEY, IDM_SAVE, IDM_ZOOM_IN,
                  IDM_ZOOM_OUT, IDM_ZOOM_FIT})
    EnableMenuItem(menu, id, MF_BYCOMMAND | state(on.modelEntries));
  EnableMenuItem(menu, IDM_UNDO, MF_BYCOMMAND | state(editorHistoryCanUndo(editor.history)));
  EnableMenuItem(menu, IDM_REDO, MF_BYCOMMAND | state(editorHistoryCanRedo(editor.history)));
  EnableMenuItem(menu, 2, MF_BYPOSITION | state(on.modelPopup));  // "&Model"
  EnableMenuItem(menu, 3, MF_BYPOSITION | state(on.colourPopup));
  EnableMenuItem(menu, 4, MF_BYPOSITION | state(on.texturePopup));
  DrawMenuBar(ew.main);
}

// Opening step 7: the Colour mode with colour, texture and lighting shown.
static void showEverything(void) {
  editorClickButton(ew.editMode, IDC_EDIT_COLOUR);
  for (int id : {IDC_VIEW_COLOUR, IDC_VIEW_TEXTURE, IDC_VIEW_LIGHTING})
    if (IsDlgButtonChecked(ew.display, id) != BST_CHECKED) editorClickButton(ew.display, id);
}

void editorFillTextureList(void) {
  HWND list = GetDlgItem(ew.library, IDC_TEXTURE_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  VxmModel* model = editor.model;
  for (int32_t slot = 0; model && slot < model->textureCount; ++slot)
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)model->textures[slot].name);
  if (model && model->textureCount > 0) {
    editorResetTexturePlacement(&editor, 0);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
  } else {
    editor.currentTexture = -1;
    editor.currentTextureBitmap = nullptr;
  }
}

// After Open or New installed `model`: the title, the cursor and the status line as before, the
// model's textures listed, the tool windows shown, the highlight spread taken from the model.
static void showInstalledModel(const VxmModel* model, HCURSOR former) {
  editorZoomFit();  // a model opens in the fitted view
  editorUpdateTitle();
  SetCursor(former);
  emptyStatus();
  editorFillTextureList();
  showEverything();
  editor.highlightSpread = model->highlightValue;
}

bool editorOpenModel(const char* path) {
  HCURSOR former = SetCursor(ew.hourglass);
  appStatusText("Opening Model...");
  VxmModel* model = vxmModelLoad(path);
  if (!model || !editorInstallModel(&editor, model)) {
    APP_TRACE("Failed to open model: %s", path);
    SetCursor(former);
    appStatusText(editor.statusText);
    return false;
  }
  showInstalledModel(model, former);
  return true;
}

bool editorSaveModel(bool closing, bool saveAs) {
  VxmModel* model = editor.model;
  if (!model) {
    APP_TRACE("No model to save !");
    return true;
  }
  if (closing) {
    int answer = MessageBoxA(ew.main, "MODEL has been edited.\n\nDo you wish to save your changes?", EDITOR_NAME,
                             MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) return false;
    if (answer == IDNO) return true;
  }
  // Save writes the model's own file in place; a new or imported model asks for a name, starting
  // in the model's own folder.
  char file[EDITOR_PATH_LENGTH];
  std::snprintf(file, sizeof file, "%s", saveAs || !editorHasOwnFile(model) ? appFileName(model->fileName) : model->fileName);
  if (saveAs || !editorHasOwnFile(model)) {
    char folder[EDITOR_PATH_LENGTH];
    editorModelFolder(model, appInstallPath(), folder, sizeof folder);
    if (!appFileDialog(ew.main, false, "Save Model As", "vxm", SAVE_MODEL_TYPES, folder, file, nullptr, nullptr))
      return false;
  }
  // The saved model never holds an unapplied texture preview.
  vxmSelectionRestoreTris(editor.selection);
  if (!vxmModelSaveVXM(model, file)) {
    editorShowSaveFailure("Failed to save model\n'%s'.", file);
    editorInvalidateWorkspace(false);
    return false;
  }
  editor.modelEdited = false;
  editorHistorySaved(editor.history, EDITOR_PART_MODEL);
  editorUpdateTitle();
  editorInvalidateWorkspace(false);
  return true;
}

// What follows every successful Open or New.
static void afterOpen(void) {
  editorInvalidateWorkspace(false);
  InvalidateRect(ew.library, &ew.texturePreview, TRUE);
  InvalidateRect(ew.lighting, &ew.lightPreview, TRUE);
  editorUpdateLibraryControls();
  editorUpdateLightingControls();
  editorUpdateDisplayControls();
  editorUpdateMenu();
  editorUpdateTitle();
  editorHighlightFromControls();
}

static void commandNew(void) {
  char file[EDITOR_PATH_LENGTH] = "";
  if (!askFile(true, "Choose Base Model", nullptr, MODEL_TYPES, "Models\\", file)) return;
  if (editor.modelEdited && !editorSaveModel(true, false)) return;
  HCURSOR former = SetCursor(ew.hourglass);
  appStatusText("Opening Mesh...");
  VxmModel* model = vxmModelLoad(file);
  if (model) editorMakeUntitled(model);
  if (!model || !editorInstallModel(&editor, model)) {
    SetCursor(former);
    appStatusText(editor.statusText);
    editorShowModelFailure("Failed to load model file\n'%s'.", file);
    return;
  }
  showInstalledModel(model, former);
  afterOpen();
}

static void commandOpen(void) {
  char file[EDITOR_PATH_LENGTH] = "";
  if (!askFile(true, "Open Model", "vxm", MODEL_TYPES, "Models\\", file)) return;
  if (editor.modelEdited && !editorSaveModel(true, false)) return;
  if (!editorOpenModel(file)) {
    editorShowModelFailure("Failed to open model\n'%s'.", file);
    return;
  }
  afterOpen();
}

static void commandOpenTexture(void) {
  VxmModel* model = editor.model;
  if (!model) return;
  if (model->textureCount >= VXM_MAX_TEXTURES) {
    appMessage("Maximum number of images already opened.\n\nYou must delete one or more before opening a new one.");
    return;
  }
  char file[EDITOR_PATH_LENGTH] = "*.bmp";
  if (!askFile(true, "Open Texture", "bmp", TEXTURE_TYPES, "Textures\\", file)) return;
  if (!vxmModelAddTexture(model, file)) {
    showFailure("Failed to open texture\n'%s'.", file);
    return;
  }
  markEdited();
  editorRecordStep();
  const int32_t slot = model->textureCount - 1;
  HWND list = GetDlgItem(ew.library, IDC_TEXTURE_LIST);
  SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)model->textures[slot].name);
  editorResetTexturePlacement(&editor, slot);
  int item = (int)SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)model->textures[slot].name);
  if (item != LB_ERR) SendMessageA(list, LB_SETCURSEL, (WPARAM)item, 0);
  editorClickButton(ew.editMode, IDC_EDIT_TEXTURE);
  editorInvalidateWorkspace(false);
  InvalidateRect(ew.library, nullptr, TRUE);
  editorUpdateLibraryControls();
}

static void copyLightsBack(void) {
  uint32_t a = vxmLightGetAmbient(), d = vxmLightGetDirectional();
  for (int i = 0; i < 3; ++i) {
    editor.ambientColour[i] = (uint8_t)(a >> (8 * i));
    editor.directionalColour[i] = (uint8_t)(d >> (8 * i));
  }
  vxmLightGetDirection(&editor.lightDirection);
}

static void commandOpenLights(void) {
  char file[EDITOR_PATH_LENGTH] = "*.vlt";
  if (!askFile(true, "Open Lights", "vlt", LIGHT_TYPES, "Lights\\", file)) return;
  if (editor.lightsEdited) {
    int answer = MessageBoxA(ew.main, "LIGHTING has been edited.\n\nDo you wish to save your changes?", EDITOR_NAME,
                             MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) return;
    if (answer == IDYES && !editorSaveLightsAs()) return;
  }
  if (!vxmLightLoadVLT(file)) {
    showFailure("Failed to load lights\n'%s'.", file);
    return;
  }
  copyLightsBack();
  editor.lightsEdited = false;
  // The lights loaded are the lighting's new start: its earlier steps are forgotten.
  editorHistoryRestart(editor.history, &editor, EDITOR_PART_LIGHTS);
  editorRecordStep();
  editorClickButton(ew.editMode, IDC_EDIT_LIGHTING);
  InvalidateRect(ew.lighting, nullptr, TRUE);
  editorInvalidateWorkspace(false);
}

static void centreOverMain(HWND dialog) {
  RECT owner, box;
  GetWindowRect(ew.main, &owner);
  GetWindowRect(dialog, &box);
  int x = owner.left + ((owner.right - owner.left) - (box.right - box.left)) / 2;
  int y = owner.top + ((owner.bottom - owner.top) - (box.bottom - box.top)) / 2;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static void setNumber(HWND dialog, int id, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", (int)value);
  SetDlgItemTextA(dialog, id, text);
}

static void shownPath(const char* path, int limit, char* shown) {
  std::snprintf(shown, EDITOR_PATH_LENGTH, "%s", path);
  CharLowerA(shown);
  appShortenPath(shown, limit);
}

// How the Model Info and About dialogs end: OK or Cancel with its own id, the close box as Cancel.
// Every command counts as handled.
static INT_PTR endPlainDialog(HWND dialog, UINT message, WPARAM wParam) {
  if (message == WM_COMMAND) {
    if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  if (message == WM_CLOSE) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

static INT_PTR CALLBACK modelInfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      centreOverMain(dialog);
      const VxmModel* model = editor.model;
      if (!model) return TRUE;
      char shown[EDITOR_PATH_LENGTH];
      shownPath(model->fileName, 36, shown);
      SetDlgItemTextA(dialog, IDC_INFO_NAME, shown);
      setNumber(dialog, IDC_INFO_TEXTURE_COUNT, model->textureCount);
      for (int32_t slot = 0; slot < model->textureCount; ++slot) {
        shownPath(model->textures[slot].path, 46, shown);
        SendDlgItemMessageA(dialog, IDC_INFO_TEXTURES, LB_ADDSTRING, 0, (LPARAM)shown);
      }
      setNumber(dialog, IDC_INFO_VERTICES, model->vertexCount);
      setNumber(dialog, IDC_INFO_FACETS, model->triCount);
      SetDlgItemTextA(dialog, IDC_INFO_NORMALS, model->vertexNormalCount > 0 ? "Yes" : "No");
      // The focus on OK, so the name is shown, not selected.
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;
    }
  }
  return endPlainDialog(dialog, message, wParam);
}

static INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      centreOverMain(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_WEBSITE) appOpenHtmlFile(EDITOR_WEBSITE_ADDRESS, dialog);
      break;
  }
  return endPlainDialog(dialog, message, wParam);
}

static void installScreenSaver(void) {
  // The saver is recorded where start-up keeps its copy, so the path always names a real file.
  char saver[MAX_PATH], windows[MAX_PATH], settings[MAX_PATH + 16];
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (!editorSystemSaverPath(saver, sizeof saver) || length == 0 || length >= sizeof windows) return;
  std::snprintf(settings, sizeof settings, "%s\\SYSTEM.INI", windows);
  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", saver, settings);
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
  if (WinExec("Control.exe Desk.cpl,,1", SW_SHOWNORMAL) < 32)
    MessageBoxA(ew.main, "Please run Control Panel and configure the Screen Saver manually.",
                "Unable to configure Screen Saver", MB_OK | MB_ICONSTOP);
}

// The part of the canvas the workspace shows (the whole canvas at the fitted view); null when
// there is no memory for it.
static VxmBitmap* shownPicture(bool* owned) {
  VxmBitmap* canvas = editor.workspaceBitmap;
  const int32_t side = editor.workspaceRect.width;
  *owned = false;
  if (!canvas || canvas->width == side) return canvas;
  VxmBitmap* shown = vxmBitmapCreate(side, side, 24);
  if (!shown) return nullptr;
  int32_t ox, oy;
  editorViewOrigin(&editor, &ox, &oy);
  // Rows run bottom up in both: the shown top row is canvas row height - 1 - oy.
  for (int32_t r = 0; r < side; ++r)
    std::memcpy(shown->lineTable[r], canvas->lineTable[canvas->height - side - oy + r] + 3 * ox, (size_t)side * 3);
  *owned = true;
  return shown;
}

static void copyDisplay(void) {
  if (!OpenClipboard(nullptr)) {
    appMessage("Clipboard copy operation failed.");
    return;
  }
  bool owned = false;
  VxmBitmap* picture = shownPicture(&owned);
  const uint32_t size = picture ? editorDibSize(picture) : 0;
  HGLOBAL block = EmptyClipboard() && size ? GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size) : nullptr;
  uint8_t* bytes = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
  if (!bytes) {
    // An open clipboard blocks every other program: close it before telling the user.
    if (block) GlobalFree(block);
    CloseClipboard();
    if (owned) vxmBitmapFree(picture);
    appMessage("Clipboard copy operation failed.");
    return;
  }
  editorWriteDib(picture, bytes, size);
  if (owned) vxmBitmapFree(picture);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_DIB, block)) GlobalFree(block);
  CloseClipboard();
}

static void refreshTextures(void) {
  HCURSOR former = SetCursor(ew.hourglass);
  VxmModel* model = editor.model;
  if (model) {
    vxmSelectionRestoreTris(editor.selection);
    VxmBitmap* replaced[VXM_MAX_TEXTURES];
    vxmModelReloadTexturesKeep(model, replaced);
    for (VxmBitmap* old : replaced)
      if (old) editorHistoryKeepPicture(editor.history, old);  // Undo brings the old pictures back
    vxmModelValidateTextureCoords(model);
    if (editor.currentTexture >= 0 && editor.currentTexture < model->textureCount)
      editorResetTexturePlacement(&editor, editor.currentTexture);
    else
      editorResetTexturePlacement(&editor, -1);
    vxmSelectionSaveTris(editor.selection);
    editorRecordStep();
  }
  SetCursor(former);
  editorInvalidateWorkspace(false);
  InvalidateRect(ew.library, &ew.texturePreview, TRUE);
}

static void colourAll(void) {
  editorClickButton(ew.editMode, IDC_EDIT_COLOUR);
  if (editor.model &&
      MessageBoxA(ew.main,
                  "This operation will set all facets to the current colour,\nremoving any existing texture/colour "
                  "information.\n\nAre you sure you want to do this ?",
                  EDITOR_NAME, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
    const bool wasEdited = editor.modelEdited;
    editorColourAll(&editor);
    if (!wasEdited) editorUpdateTitle();
    editorRecordStep();
  }
  editorInvalidateWorkspace(false);
}

static void arm(ToolState tool, int32_t cursor, const char* status) {
  editor.toolState = tool;
  editorSetLook(ew.main, cursor, status);
}

void editorCommand(HWND window, int command, int notification, HWND control) {
  switch (command) {
    case IDM_NEW:
    case IDM_NEW_KEY:
      commandNew();
      break;
    case IDM_OPEN:
    case IDM_OPEN_KEY:
      commandOpen();
      break;
    case IDM_SAVE:
    case IDM_SAVE_KEY:
    case IDM_SAVE_AS:
    case IDM_SAVE_AS_KEY:
      if (editor.model) editorSaveModel(false, command == IDM_SAVE_AS || command == IDM_SAVE_AS_KEY);
      break;
    case IDM_OPEN_TEXTURE:
      commandOpenTexture();
      break;
    case IDM_ZOOM_IN:
    case IDM_ZOOM_OUT:
      editorZoomBy(command == IDM_ZOOM_IN ? EDITOR_ZOOM_STEP : 1.0 / EDITOR_ZOOM_STEP);
      break;
    case IDM_ZOOM_FIT:
      editorZoomFit();
      break;
    case IDM_UNDO:
    case IDM_REDO:
      undoOrRedo(command == IDM_REDO);
      break;
    case IDM_OPEN_LIGHTS:
      commandOpenLights();
      break;
    case IDM_SAVE_LIGHTS:
      editorSaveLightsAs();
      break;
    case IDM_MODEL_INFO:
      DialogBoxParamA(ew.instance, MAKEINTRESOURCEA(IDD_MODEL_INFO), ew.main, modelInfoProc, 0);
      break;
    case IDM_SCREENSAVER:
      installScreenSaver();
      break;
    case IDM_EXIT:
      if (editorConfirmClose()) DestroyWindow(ew.main);
      break;
    case IDM_COPY_DISPLAY:
      copyDisplay();
      break;
    case IDM_SNAP:
      if (editor.model) editorSnapToAxes(&editor);
      editorInvalidateWorkspace(false);
      break;
    case IDM_REFRESH_TEXTURES:
      refreshTextures();
      break;
    case IDM_COLOUR_ALL:
      colourAll();
      break;
    case IDM_COLOUR_AREA:
      arm(TOOL_COLOUR_AREA, EDITOR_CURSOR_COLOUR_AREA, EDITOR_STATUS_COLOUR_AREA);
      break;
    case IDM_SELECT_ALL:
    case IDM_DESELECT_ALL:
      if (editor.model) {
        if (command == IDM_SELECT_ALL)
          vxmSelectionSelectAll(editor.selection);
        else
          vxmSelectionClear(editor.selection);
        editorInvalidateWorkspace(false);
        editorUpdateLibraryControls();
      }
      break;
    case IDM_SELECT_AREA:
      arm(TOOL_SELECT_AREA, EDITOR_CURSOR_SELECT_AREA, EDITOR_STATUS_SELECT_AREA);
      break;
    case IDM_EDIT_COLOUR:
      editorClickIfEnabled(ew.editMode, IDC_EDIT_COLOUR);
      break;
    case IDM_EDIT_TEXTURE:
      editorClickIfEnabled(ew.editMode, IDC_EDIT_TEXTURE);
      break;
    case IDM_EDIT_LIGHTING:
      editorClickIfEnabled(ew.editMode, IDC_EDIT_LIGHTING);
      break;
    case IDM_TOGGLE_COLOUR:
    case IDM_TOGGLE_TEXTURE:
    case IDM_TOGGLE_LIGHTING:
    case IDM_TOGGLE_SHADING:
      editorClickIfEnabled(ew.display, IDC_VIEW_COLOUR + (command - IDM_TOGGLE_COLOUR));
      break;
    case IDM_TOGGLE_WRAP:
      // T: Wrap Mode of the current texture, in the Texture mode.
      if (editor.editMode == EDIT_TEXTURE && editor.currentTexture >= 0) editorClickIfEnabled(ew.library, IDC_WRAP_MODE);
      break;
    case IDM_CONTENTS: {
      char address[EDITOR_PATH_LENGTH + 32];
      std::snprintf(address, sizeof address, "file://%sHelp\\QUIRLA.HTM", appInstallPath());
      appOpenHtmlFile(address, ew.main);
      break;
    }
    case IDM_ABOUT:
      DialogBoxParamA(ew.instance, MAKEINTRESOURCEA(IDD_ABOUT), ew.main, aboutProc, 0);
      break;
    default:
      break;
  }
}
