// EditorToolsWin32.cpp: the five tool windows: edit mode, display method, texture library, colour
// and lighting; their tooltips, swatches and previews, and the rules that enable their controls.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "EditorHistory.h"
#include "EditorWin32.h"
#include "app.h"
#include "resource.h"

static bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
static void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }
static uint32_t colourOf(const uint8_t* c) { return (uint32_t)c[0] | ((uint32_t)c[1] << 8) | ((uint32_t)c[2] << 16); }

void editorClickButton(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void editorClickIfEnabled(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control && IsWindowEnabled(control)) SendMessageA(control, BM_CLICK, 0, 0);
}

RECT editorToolAreaInMain(HWND tool, const RECT* area) {
  RECT r = *area;
  MapWindowPoints(tool, ew.main, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// --- Tooltips ------------------------------------------------------------------------------------------

struct TooltipText {
  HWND* window;
  int id;
  const char* text;
};

static const TooltipText TOOLTIPS[] = {
    {&ew.editMode, IDC_EDIT_COLOUR, "Edit Colour [F2]"},
    {&ew.editMode, IDC_EDIT_TEXTURE, "Edit Texture [F3]"},
    {&ew.editMode, IDC_EDIT_LIGHTING, "Edit Lighting [F4]"},
    {&ew.display, IDC_VIEW_COLOUR, "Toggle Colour [F6]"},
    {&ew.display, IDC_VIEW_TEXTURE, "Toggle Texture [F7]"},
    {&ew.display, IDC_VIEW_LIGHTING, "Toggle Lighting [F8]"},
    {&ew.display, IDC_VIEW_SMOOTH, "Toggle Shading [F9]"},
    {&ew.library, IDC_TEXTURE_LIST, "Texture List"},
    {&ew.library, IDC_TEXTURE_APPLY, "Apply Texture to selected facets"},
    {&ew.library, IDC_TEXTURE_REMOVE, "Remove Texture from selected facets"},
    {&ew.library, IDC_TEXTURE_DELETE, "Delete Current Texture"},
    {&ew.library, IDC_WRAP_MODE, "Toggle Wrap Mode"},
    {&ew.lighting, IDC_HIGHLIGHT, "Toggle Highlighting"},
    {&ew.lighting, IDC_SPREAD, "Spread of reflection"},
};

static const char* tooltipText(HWND dialog, int id) {
  for (const TooltipText& t : TOOLTIPS)
    if (*t.window == dialog && t.id == id) return t.text;
  return nullptr;
}

void editorCreateTooltips(void) {
  ew.tooltip = CreateWindowExA(0, "tooltips_class32", nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, ew.main, nullptr, ew.instance, nullptr);
  if (!ew.tooltip) return;  // the editor works without tips
  SendMessageA(ew.tooltip, TTM_ACTIVATE, TRUE, 0);
  for (const TooltipText& t : TOOLTIPS) {
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = *t.window;
    info.uId = (UINT_PTR)GetDlgItem(*t.window, t.id);
    info.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(ew.tooltip, TTM_ADDTOOLA, 0, (LPARAM)&info);
  }
}

// WM_NOTIFY of a tool window: the tooltip asks for its text.
static void answerTooltip(HWND dialog, LPARAM lParam) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->code != TTN_NEEDTEXTA && header->code != TTN_NEEDTEXTW) return;
  const char* text = tooltipText(dialog, GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom)));
  if (!text) return;
  if (header->code == TTN_NEEDTEXTA) {
    NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
    lstrcpynA(info->szText, text, sizeof info->szText);
    info->lpszText = info->szText;
  } else {
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    MultiByteToWideChar(CP_ACP, 0, text, -1, info->szText, 80);
    info->szText[79] = 0;
    info->lpszText = info->szText;
  }
}

// What every tool window does alike: tooltips ask for their texts, and over the window the cursor
// is the arrow and the status line is empty.
static INT_PTR toolWindowCommon(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    answerTooltip(dialog, lParam);
    return TRUE;
  }
  if (message == WM_MOUSEMOVE) {
    editorSetLook(dialog, EDITOR_CURSOR_ARROW, nullptr);
    return TRUE;
  }
  return FALSE;
}

static void setIcon(HWND dialog, int id, int icon) {
  HICON handle = LoadIcon(ew.instance, MAKEINTRESOURCE(icon));
  SendDlgItemMessageA(dialog, id, BM_SETIMAGE, IMAGE_ICON, (LPARAM)handle);
}

static void fillSwatch(HDC dc, const RECT* area, const uint8_t* colour) {
  HBRUSH brush = CreateSolidBrush(RGB(colour[2], colour[1], colour[0]));
  HGDIOBJ former = SelectObject(dc, brush);
  FillRect(dc, area, brush);
  SelectObject(dc, former);
  DeleteObject(brush);
}

// A tool window's WM_PAINT: `draw` paints into the window between BeginPaint and EndPaint.
static INT_PTR paintToolWindow(HWND dialog, void (*draw)(HDC dc)) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  draw(dc);
  EndPaint(dialog, &paint);
  return TRUE;
}

// --- Edit-mode window -------------------------------------------------------------------------------

void editorShowModeWindow(void) {
  ShowWindow(ew.colour, editor.editMode == EDIT_COLOUR ? SW_SHOW : SW_HIDE);
  ShowWindow(ew.library, editor.editMode == EDIT_TEXTURE ? SW_SHOW : SW_HIDE);
  ShowWindow(ew.lighting, editor.editMode == EDIT_LIGHTING ? SW_SHOW : SW_HIDE);
}

static void ensureToggle(int id) {
  if (!checked(ew.display, id)) editorClickButton(ew.display, id);
}

static void setEditMode(EditMode mode) {
  if (mode == editor.editMode) return;
  if (editor.model) {
    if (mode == EDIT_TEXTURE)
      vxmSelectionSaveTris(editor.selection);
    else
      vxmSelectionRestoreTris(editor.selection);
  }
  editor.editMode = mode;
  if (mode == EDIT_COLOUR) ensureToggle(IDC_VIEW_COLOUR);
  if (mode == EDIT_TEXTURE) ensureToggle(IDC_VIEW_TEXTURE);
  if (mode == EDIT_LIGHTING) {
    ensureToggle(IDC_VIEW_COLOUR);
    ensureToggle(IDC_VIEW_LIGHTING);
  }
  editorShowModeWindow();
  editorInvalidateWorkspace(false);
  editorUpdateMenu();
}

static INT_PTR CALLBACK editModeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      setIcon(dialog, IDC_EDIT_COLOUR, IDI_COLOUR);
      setIcon(dialog, IDC_EDIT_TEXTURE, IDI_TEXTURE);
      setIcon(dialog, IDC_EDIT_LIGHTING, IDI_LIGHTING);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_EDIT_COLOUR:
          setEditMode(EDIT_COLOUR);
          return TRUE;
        case IDC_EDIT_TEXTURE:
          setEditMode(EDIT_TEXTURE);
          return TRUE;
        case IDC_EDIT_LIGHTING:
          setEditMode(EDIT_LIGHTING);
          return TRUE;
      }
      return FALSE;
  }
  return toolWindowCommon(dialog, message, lParam);
}

// --- Display-method window --------------------------------------------------------------------------

void editorUpdateDisplayControls(void) {
  const bool normals = editor.model && editor.model->vertexNormalCount > 0;
  DisplayControls controls;
  editor.renderFlags = editorDisplayUpdate(editor.renderFlags, checked(ew.display, IDC_VIEW_LIGHTING),
                                           checked(ew.display, IDC_VIEW_SMOOTH), normals, &controls);
  enable(ew.display, IDC_VIEW_LIGHTING, controls.lightingEnabled);
  enable(ew.display, IDC_VIEW_SMOOTH, controls.smoothEnabled);
}

static INT_PTR CALLBACK displayProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      setIcon(dialog, IDC_VIEW_COLOUR, IDI_COLOUR);
      setIcon(dialog, IDC_VIEW_TEXTURE, IDI_TEXTURE);
      setIcon(dialog, IDC_VIEW_LIGHTING, IDI_LIGHTING);
      return TRUE;
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      const int id = LOWORD(wParam);
      switch (id) {
        case IDC_VIEW_COLOUR:
        case IDC_VIEW_TEXTURE:
        case IDC_VIEW_LIGHTING:
        case IDC_VIEW_SMOOTH:
          editor.renderFlags = editorDisplayToggle(editor.renderFlags, id, checked(dialog, id));
          break;
        case IDC_BACKGROUND_CHANGE:
          vxmChooseColour(ew.main, editor.backgroundColour);
          editorInvalidateToolArea(dialog, &ew.backgroundSwatch, false);
          break;
        default:
          return FALSE;
      }
      editorUpdateDisplayControls();
      editorInvalidateWorkspace(false);
      return TRUE;
    }
    case WM_PAINT:
      return paintToolWindow(dialog, [](HDC dc) { fillSwatch(dc, &ew.backgroundSwatch, editor.backgroundColour); });
  }
  return toolWindowCommon(dialog, message, lParam);
}

// --- Texture-library window -------------------------------------------------------------------------

void editorUpdateLibraryControls(void) {
  const bool current = editor.currentTexture >= 0;
  for (int id : {IDC_TEXTURE_GROUP, IDC_TEXTURE_DELETE, IDC_TEXTURE_LIST, IDC_WRAP_MODE}) enable(ew.library, id, current);
  if (current) CheckDlgButton(ew.library, IDC_WRAP_MODE, editor.wrapMode ? BST_CHECKED : BST_UNCHECKED);
  const bool selected = current && editor.selection && vxmSelectionAny(editor.selection);
  enable(ew.library, IDC_TEXTURE_APPLY, selected);
  enable(ew.library, IDC_TEXTURE_REMOVE, selected);
}

void editorPaintTexturePreview(HDC dc) {
  const VxmBitmap* t = editor.currentTexture >= 0 ? editor.currentTextureBitmap : nullptr;
  if (!t || !t->bits) return;
  const RECT& area = ew.texturePreview;
  EditorRect fit;
  editorFitPreview(t->width, t->height, area.right - area.left, area.bottom - area.top, &fit);
  if (fit.width <= 0 || fit.height <= 0) return;
  ew.header.biWidth = t->width;
  ew.header.biHeight = t->height;
  ew.header.biBitCount = (WORD)t->depth;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, area.left + fit.left, area.top + fit.top, fit.width, fit.height, 0, 0, t->width, t->height,
                t->bits, reinterpret_cast<BITMAPINFO*>(&ew.header), DIB_RGB_COLORS, SRCCOPY);
}

static void markEdited(void) {
  if (!editor.modelEdited) {
    editor.modelEdited = true;
    editorUpdateTitle();
  }
}

// Delete: the current texture leaves the model after the user agrees. False when answered No.
static bool deleteCurrentTexture(HWND dialog) {
  if (MessageBoxA(ew.main, "Do you wish to completely remove\nthe current texture from the model?", EDITOR_NAME,
                  MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return false;
  vxmSelectionRestoreTris(editor.selection);
  // The picture is kept, so that Undo can bring the texture back.
  editorHistoryKeepPicture(editor.history, vxmModelDetachTexture(editor.model, editor.currentTexture));
  vxmSelectionSaveTris(editor.selection);
  // The model moved its last slot into the freed one: the list is laid out again in slot order,
  // so that the highlighted entry is the current texture, the first slot.
  editorFillTextureList();
  editorInvalidateToolArea(dialog, &ew.texturePreview, true);
  markEdited();
  editorRecordStep();
  return true;
}

static void chooseListedTexture(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_TEXTURE_LIST);
  int item = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR || !editor.model) return;
  char name[EDITOR_PATH_LENGTH];
  if (SendMessageA(list, LB_GETTEXTLEN, (WPARAM)item, 0) >= (LRESULT)sizeof name) return;
  SendMessageA(list, LB_GETTEXT, (WPARAM)item, (LPARAM)name);
  for (int32_t slot = 0; slot < editor.model->textureCount; ++slot)
    if (lstrcmpiA(editor.model->textures[slot].name, name) == 0) editorResetTexturePlacement(&editor, slot);
  editorInvalidateToolArea(dialog, &ew.texturePreview, true);
}

static INT_PTR CALLBACK libraryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      setIcon(dialog, IDC_TEXTURE_APPLY, IDI_APPLY);
      setIcon(dialog, IDC_TEXTURE_REMOVE, IDI_REMOVE);
      setIcon(dialog, IDC_TEXTURE_DELETE, IDI_DELETE);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      const bool ready = editor.model && editor.currentTexture >= 0;
      if (id == IDC_TEXTURE_LIST && code == LBN_SELCHANGE) {
        chooseListedTexture(dialog);
      } else if (code != BN_CLICKED) {
        return FALSE;
      } else if (id == IDC_TEXTURE_DELETE) {
        if (ready && !deleteCurrentTexture(dialog)) return TRUE;
      } else if (id == IDC_TEXTURE_APPLY) {
        if (ready) {
          vxmSelectionSaveTris(editor.selection);
          markEdited();
          editorRecordStep();
          vxmSelectionClear(editor.selection);
          if (checked(dialog, IDC_WRAP_MODE)) editorClickButton(dialog, IDC_WRAP_MODE);
        }
      } else if (id == IDC_TEXTURE_REMOVE) {
        if (ready) {
          vxmSelectionRestoreTris(editor.selection);
          vxmSelectionRemoveTexture(editor.selection, editor.currentTexture);
          vxmSelectionSaveTris(editor.selection);
          markEdited();
          editorRecordStep();
          vxmSelectionClear(editor.selection);
        }
      } else if (id == IDC_WRAP_MODE) {
        editor.wrapMode = checked(dialog, IDC_WRAP_MODE);
      } else {
        return FALSE;
      }
      editorInvalidateWorkspace(false);
      editorUpdateLibraryControls();
      return TRUE;
    }
    case WM_PAINT:
      return paintToolWindow(dialog, editorPaintTexturePreview);
  }
  return toolWindowCommon(dialog, message, lParam);
}

// --- Colour window ---------------------------------------------------------------------------------------

static INT_PTR CALLBACK colourProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == IDC_COLOUR_CHANGE) vxmChooseColour(ew.main, editor.currentColour);
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;
    case WM_PAINT:
      return paintToolWindow(dialog, [](HDC dc) { fillSwatch(dc, &ew.paintSwatch, editor.currentColour); });
  }
  return toolWindowCommon(dialog, message, lParam);
}

// --- Lighting window ---------------------------------------------------------------------------------------

void editorHighlightFromControls(void) {
  editorApplyHighlight(&editor, checked(ew.lighting, IDC_HIGHLIGHT));
}

void editorUpdateLightingControls(void) {
  HWND spread = GetDlgItem(ew.lighting, IDC_SPREAD);
  if (!editor.model) {
    for (int id : {IDC_HIGHLIGHT_GROUP, IDC_HIGHLIGHT, IDC_SPREAD}) enable(ew.lighting, id, false);
    return;
  }
  enable(ew.lighting, IDC_HIGHLIGHT_GROUP, true);
  enable(ew.lighting, IDC_HIGHLIGHT, true);
  CheckDlgButton(ew.lighting, IDC_HIGHLIGHT, editor.model->highlight ? BST_CHECKED : BST_UNCHECKED);
  if (editor.model->highlight) {
    EnableWindow(spread, TRUE);
    SetScrollPos(spread, SB_CTL, editor.highlightSpread, TRUE);
  } else {
    EnableWindow(spread, FALSE);
  }
}

void editorPaintLightPreview(HDC dc) {
  VxmBitmap* bitmap = editor.lightBitmap;
  if (!bitmap || !editor.lightModel) return;
  vxmRenderSetTarget(bitmap);
  vxmRenderSetViewMatrix(&editor.lightViewScale);
  vxmRenderSetState(VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH);
  vxmRenderClearDepth();
  vxmRenderModel(editor.lightModel);
  editorBlit(dc, bitmap, ew.lightPreview.left, ew.lightPreview.top, 0, 0, bitmap->width, bitmap->height);
}

static bool chooseLight(uint8_t* colour, void (*set)(uint32_t)) {
  if (!vxmChooseColour(ew.main, colour)) return false;
  set(colourOf(colour));
  editor.lightsEdited = true;
  editorRecordStep();
  return true;
}

static void scrollSpread(HWND dialog, WPARAM wParam) {
  int code = LOWORD(wParam);
  int32_t spread = editor.highlightSpread;
  switch (code) {
    case SB_LINELEFT:
      spread -= 1;
      break;
    case SB_LINERIGHT:
      spread += 1;
      break;
    case SB_PAGELEFT:
      spread -= 10;
      break;
    case SB_PAGERIGHT:
      spread += 10;
      break;
    case SB_THUMBTRACK:
      spread = (int16_t)HIWORD(wParam);
      break;
    default:
      break;
  }
  editor.highlightSpread = spread < 0 ? 0 : spread > 100 ? 100 : spread;
  SetScrollPos(GetDlgItem(dialog, IDC_SPREAD), SB_CTL, editor.highlightSpread, TRUE);
  editorHighlightFromControls();
  markEdited();
  editorInvalidateToolArea(dialog, &ew.lightPreview, false);
  if (code != SB_THUMBTRACK) {
    editorInvalidateWorkspace(false);
    editorRecordStep();  // a thumb drag is one step, taken when it ends
  }
}

static bool inLightPreview(LPARAM lParam) {
  POINT p = {(int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam)};
  return PtInRect(&ew.lightPreview, p) != 0;
}

static INT_PTR CALLBACK lightingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_AMBIENT_CHANGE:
          chooseLight(editor.ambientColour, vxmLightSetAmbient);
          break;
        case IDC_DIRECTIONAL_CHANGE:
          chooseLight(editor.directionalColour, vxmLightSetDirectional);
          break;
        case IDC_HIGHLIGHT:
          editorHighlightFromControls();
          markEdited();
          editorRecordStep();
          editorUpdateLightingControls();
          break;
        default:
          return FALSE;
      }
      editorInvalidateWorkspace(false);
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_SPREAD)) scrollSpread(dialog, wParam);
      return TRUE;
    case WM_PAINT:
      return paintToolWindow(dialog, [](HDC dc) {
        fillSwatch(dc, &ew.ambientSwatch, editor.ambientColour);
        fillSwatch(dc, &ew.directionalSwatch, editor.directionalColour);
        editorPaintLightPreview(dc);
      });
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (inLightPreview(lParam)) editorLightButtonDown((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam), (uint32_t)wParam);
      return TRUE;
    case WM_MOUSEMOVE:
      editorLightMouseMove((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam), (uint32_t)wParam);
      return TRUE;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      editorLightButtonUp();
      return TRUE;
    case WM_CAPTURECHANGED:
      editorLightCaptureLost();
      return TRUE;
  }
  return toolWindowCommon(dialog, message, lParam);
}

// --- Creation and measuring -----------------------------------------------------------------------------

bool editorCreateToolWindows(void) {
  struct Tool {
    HWND* window;
    int id;
    DLGPROC procedure;
    const char* failure;
  };
  const Tool tools[] = {
      {&ew.editMode, IDD_EDIT_MODE, editModeProc, "Failed to create edit mode window"},
      {&ew.display, IDD_DISPLAY, displayProc, "Failed to create display method window"},
      {&ew.library, IDD_LIBRARY, libraryProc, "Failed to create texture library window"},
      {&ew.colour, IDD_COLOUR, colourProc, "Failed to create colour window"},
      {&ew.lighting, IDD_LIGHTING, lightingProc, "Failed to create lighting window"},
  };
  for (const Tool& t : tools) {
    *t.window = CreateDialogParamA(ew.instance, MAKEINTRESOURCEA(t.id), ew.main, t.procedure, 0);
    if (!*t.window) {
      appFatalError(t.failure);
      return false;
    }
  }
  return true;
}

static RECT controlRect(HWND dialog, int id) {
  RECT r = {0, 0, 0, 0};
  HWND control = GetDlgItem(dialog, id);
  if (!control) return r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

static RECT shrunk(RECT r) {
  const int32_t margin = editorScalePixels(6, editor.dpi);
  InflateRect(&r, -margin, -margin);
  return r;
}

void editorMeasureAreas(void) {
  ew.backgroundSwatch = shrunk(controlRect(ew.display, IDC_BACKGROUND_SWATCH));
  ew.paintSwatch = shrunk(controlRect(ew.colour, IDC_COLOUR_SWATCH));
  ew.ambientSwatch = shrunk(controlRect(ew.lighting, IDC_AMBIENT_SWATCH));
  ew.directionalSwatch = shrunk(controlRect(ew.lighting, IDC_DIRECTIONAL_SWATCH));
  ew.texturePreview = shrunk(controlRect(ew.library, IDC_TEXTURE_PREVIEW));
  RECT group = controlRect(ew.lighting, IDC_LIGHTING_GROUP);
  RECT button = controlRect(ew.lighting, IDC_DIRECTIONAL_CHANGE);
  const int32_t margin = editorScalePixels(6, editor.dpi);
  ew.lightPreview = {group.left + margin, button.bottom + margin, group.right - margin, group.bottom - margin};
}
