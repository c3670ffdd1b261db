// EditorMouseWin32.cpp: the workspace's mouse tools and keys, the single-facet redraw, and the
// light-direction drag in the lighting window's preview.
#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "EditorWin32.h"
#include "app.h"
#include "resource.h"

// Arrow keys held, as the main window saw them go down and up (locks for the rotation drag).
static bool upDownHeld[2], leftRightHeld[2];

HCURSOR editorCursor(int32_t id) {
  switch (id) {
    case EDITOR_CURSOR_ROTATE:
      return ew.rotate;
    case EDITOR_CURSOR_COLOUR_AREA:
      return ew.colourArea;
    case EDITOR_CURSOR_SELECT_AREA:
      return ew.selectArea;
    case EDITOR_CURSOR_SELECT:
      return ew.select;
    case EDITOR_CURSOR_PAINT:
      return ew.paint;
    case EDITOR_CURSOR_SCALE_TEXTURE:
      return ew.scaleTexture;
    case EDITOR_CURSOR_MOVE_TEXTURE:
      return ew.moveTexture;
    default:
      return ew.arrow;
  }
}

void editorSetLook(HWND window, int32_t cursor, const char* status) {
  HCURSOR wanted = editorCursor(cursor);
  if ((HCURSOR)GetClassLongPtrA(window, GCLP_HCURSOR) != wanted) {
    SetClassLongPtrA(window, GCLP_HCURSOR, (LONG_PTR)wanted);
    SetCursor(wanted);
  }
  const char* shown = editor.statusText ? editor.statusText : "";
  const char* next = status ? status : "";
  if (std::strcmp(shown, next) != 0) {
    editor.statusText = status;
    editorShowStatus(status);
  }
}

// The renderer draws into the workspace again (the light preview may have drawn last), so that
// picking and rectangles use the workspace's screen matrix.
static void useWorkspaceRenderer(void) {
  vxmRenderSetTarget(editor.workspaceBitmap);
  vxmRenderSetViewMatrix(&editor.viewScale);
  vxmRenderSetState(editor.renderFlags);
}

static bool isFacetTool(ToolState tool) {
  return tool == TOOL_SELECT || tool == TOOL_DESELECT || tool == TOOL_PAINT || tool == TOOL_PICK_COLOUR;
}

static int32_t facetAt(int32_t bx, int32_t by) {
  if (!editor.model || !editor.selection) return -1;
  useWorkspaceRenderer();
  return vxmSelectionPick(editor.selection, bx, by);
}

// Applies a facet tool to f with the updates the windows need.
static void applyFacetTool(int32_t f) {
  bool titleChanged = false;
  editorApplyFacetTool(&editor, editor.toolState, f, &titleChanged);
  if (titleChanged) editorUpdateTitle();
  if (editor.toolState == TOOL_PICK_COLOUR) InvalidateRect(ew.colour, &ew.paintSwatch, FALSE);
  if (editor.toolState == TOOL_SELECT || editor.toolState == TOOL_DESELECT) editorUpdateLibraryControls();
}

// Makes f the hovered facet and redraws the old and the new one when it changes.
static void hover(int32_t f) {
  if (!editor.selection) return;
  const int32_t old = editor.selection->current;
  if (old == f) return;
  editor.selection->current = f;
  editorRedrawFacet(old);
  editorRedrawFacet(f);
}

void editorButtonDown(int32_t x, int32_t y, uint32_t flags) {
  if (!editorInWorkspace(&editor, x, y)) return;
  editor.toolState = editorChooseTool(editor.toolState, editor.editMode, flags);
  int32_t bx, by;
  editorBitmapPoint(&editor, x, y, &bx, &by);
  if (editor.model) {
    if (isFacetTool(editor.toolState)) {
      int32_t f = facetAt(bx, by);
      if (f >= 0) {
        applyFacetTool(f);
        editorInvalidateWorkspace(false);
        editorUpdateLibraryControls();
      }
    } else if (editor.toolState == TOOL_SELECT_AREA || editor.toolState == TOOL_DESELECT_AREA ||
               editor.toolState == TOOL_COLOUR_AREA) {
      editor.anchorX = bx;
      editor.anchorY = by;
      editor.areaDragActive = true;
    }
  }
  if (!editor.mouseCaptured) {
    SetCapture(ew.main);
    SetFocus(ew.main);
    editor.mouseCaptured = true;
    editor.lastX = x;
    editor.lastY = y;
    editor.dragX = bx;
    editor.dragY = by;
  }
}

// The drags that follow the mouse: the model's rotation and the texture's placement.
static void dragBy(int32_t x, int32_t y) {
  const double width = editor.workspaceRect.width, height = editor.workspaceRect.height;
  const float fx = width > 0 ? (float)((x - editor.lastX) / width) : 0.0f;
  const float fy = height > 0 ? (float)((y - editor.lastY) / height) : 0.0f;
  // The texture lies on the canvas: it follows the pointer at any zoom.
  const double canvas = editor.workspaceBitmap ? editor.workspaceBitmap->width : width;
  const float tx = canvas > 0 ? (float)((x - editor.lastX) / canvas) : 0.0f;
  const float ty = canvas > 0 ? (float)((y - editor.lastY) / canvas) : 0.0f;
  bool moved = true;
  switch (editor.toolState) {
    case TOOL_ROTATE_XY:
    case TOOL_ROTATE_Z: {
      const bool upDown = upDownHeld[0] || upDownHeld[1] || GetKeyState(VK_UP) < 0 || GetKeyState(VK_DOWN) < 0;
      const bool leftRight =
          leftRightHeld[0] || leftRightHeld[1] || GetKeyState(VK_LEFT) < 0 || GetKeyState(VK_RIGHT) < 0;
      editorRotateDrag(&editor, editor.toolState, fx, fy, upDown, leftRight);
      break;
    }
    case TOOL_MOVE_TEXTURE:
      editorMoveTexture(&editor, tx, ty);
      break;
    case TOOL_SCALE_TEXTURE:
      editorScaleTexture(&editor, tx, ty);
      break;
    default:
      moved = false;
      break;
  }
  if (moved && (x != editor.lastX || y != editor.lastY)) editorInvalidateWorkspace(false);
  editor.lastX = x;
  editor.lastY = y;
}

// --- Zoom and pan --------------------------------------------------------------------------------------

static bool panning = false;
static int32_t panLastX, panLastY;

static void viewChanged(void) {
  editorSizeCanvas();
  editorInvalidateWorkspace(false);
}

void editorWheel(int32_t x, int32_t y, int32_t delta) {
  if (!editorInWorkspace(&editor, x, y) || delta == 0) return;
  double zoom = editor.zoom;
  for (int32_t notches = delta / 120 ? delta / 120 : delta > 0 ? 1 : -1; notches; notches += notches > 0 ? -1 : 1)
    zoom = notches > 0 ? zoom * EDITOR_ZOOM_STEP : zoom / EDITOR_ZOOM_STEP;
  if (editorZoomAbout(&editor, zoom, x, y)) viewChanged();
}

void editorZoomBy(double factor) {
  const EditorRect& r = editor.workspaceRect;
  if (editorZoomAbout(&editor, editor.zoom * factor, r.left + r.width / 2, r.top + r.height / 2)) viewChanged();
}

void editorZoomFit(void) {
  editor.zoom = 1.0;
  editor.panX = editor.panY = 0;
  viewChanged();
}

void editorPanStart(int32_t x, int32_t y) {
  if (!editorInWorkspace(&editor, x, y) || editor.mouseCaptured) return;
  panning = true;
  panLastX = x;
  panLastY = y;
  SetCapture(ew.main);
}

void editorPanEnd(void) {
  if (!panning) return;
  panning = false;
  if (GetCapture() == ew.main && !editor.mouseCaptured) ReleaseCapture();
}

void editorMouseMove(int32_t x, int32_t y, uint32_t flags) {
  if (panning) {
    if (!(flags & EDITOR_MK_MBUTTON)) return editorPanEnd();
    editorPan(&editor, x - panLastX, y - panLastY);
    panLastX = x;
    panLastY = y;
    editorInvalidateWorkspace(false);
    return;
  }
  int32_t bx, by;
  editorBitmapPoint(&editor, x, y, &bx, &by);
  if (!editorInWorkspace(&editor, x, y)) {
    if (editor.cursorInWorkspace) {
      hover(-1);
      editorSetLook(ew.main, EDITOR_CURSOR_ARROW, nullptr);
      editor.cursorInWorkspace = false;
    }
    // The capture brings a drag's moves beyond the workspace here too: the drag goes on, and an
    // area ends on the workspace's edge however fast the pointer left it.
    if (editor.mouseCaptured) {
      dragBy(x, y);
      if (editor.areaDragActive) {
        editorClampToWorkspace(&editor, &x, &y);
        editorBitmapPoint(&editor, x, y, &editor.dragX, &editor.dragY);
        editorInvalidateWorkspace(false);
      }
    }
    return;
  }
  const char* status = nullptr;
  const int32_t cursor = editorToolCursor(editor.toolState, editor.editMode, flags, &status);
  editorSetLook(ew.main, cursor, status);
  editor.cursorInWorkspace = true;
  if (GetFocus() != ew.main) SetFocus(ew.main);

  const ToolState tool = editor.toolState;
  if (editor.model && isFacetTool(tool)) {
    int32_t f = facetAt(bx, by);
    if (f != editor.selection->current) {
      if (f >= 0) applyFacetTool(f);
      hover(f);
    }
  } else if (editor.model && tool == TOOL_IDLE && editor.editMode != EDIT_LIGHTING && (flags & EDITOR_MK_CONTROL) &&
             !(flags & EDITOR_MK_SHIFT)) {
    hover(facetAt(bx, by));
  } else {
    hover(-1);
  }

  dragBy(x, y);
  if (editor.mouseCaptured && (tool == TOOL_SELECT_AREA || tool == TOOL_DESELECT_AREA || tool == TOOL_COLOUR_AREA))
    editorInvalidateWorkspace(false);
  editor.dragX = bx;
  editor.dragY = by;
}

// The end of a drag: the area tools act on the rectangle, the tool goes back to idle.
static void endDrag(void) {
  // Cleared before ReleaseCapture, whose WM_CAPTURECHANGED would otherwise end the drag twice.
  editor.mouseCaptured = false;
  if (editor.model && editor.areaDragActive) {
    useWorkspaceRenderer();
    switch (editor.toolState) {
      case TOOL_SELECT_AREA:
        vxmSelectionSelectRect(editor.selection, editor.anchorX, editor.anchorY, editor.dragX, editor.dragY);
        editorUpdateLibraryControls();
        break;
      case TOOL_DESELECT_AREA:
        vxmSelectionDeselectRect(editor.selection, editor.anchorX, editor.anchorY, editor.dragX, editor.dragY);
        editorUpdateLibraryControls();
        break;
      case TOOL_COLOUR_AREA: {
        const uint8_t* c = editor.currentColour;
        vxmSelectionRestoreTris(editor.selection);
        vxmSelectionPaintRect(editor.selection, editor.anchorX, editor.anchorY, editor.dragX, editor.dragY,
                              (uint32_t)c[0] | ((uint32_t)c[1] << 8) | ((uint32_t)c[2] << 16));
        vxmSelectionSaveTris(editor.selection);
        if (!editor.modelEdited) {
          editor.modelEdited = true;
          editorUpdateTitle();
        }
        break;
      }
      default:
        break;
    }
  }
  editor.toolState = TOOL_IDLE;
  editor.areaDragActive = false;
  if (GetCapture() == ew.main) ReleaseCapture();
  editorInvalidateWorkspace(false);
  editorRecordStep();  // a whole drag, painting or colouring an area, is one step
}

void editorButtonUp(int32_t x, int32_t y, uint32_t flags) {
  if (flags & (EDITOR_MK_LBUTTON | EDITOR_MK_RBUTTON)) return;
  endDrag();
}

void editorCaptureLost(void) {
  panning = false;
  if (editor.mouseCaptured) endDrag();
}

void editorForgetKeys(void) {
  upDownHeld[0] = upDownHeld[1] = leftRightHeld[0] = leftRightHeld[1] = false;
}



void editorKey(bool down, UINT key) {
  if (key == VK_UP || key == VK_DOWN) upDownHeld[key == VK_DOWN] = down;
  if (key == VK_LEFT || key == VK_RIGHT) leftRightHeld[key == VK_RIGHT] = down;
  if (editor.toolState != TOOL_IDLE) return;
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(ew.main, &p) || !editorInWorkspace(&editor, p.x, p.y)) return;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  int32_t bx, by;
  editorBitmapPoint(&editor, p.x, p.y, &bx, &by);
  int32_t cursor = EDITOR_CURSOR_ROTATE;
  const char* status = EDITOR_STATUS_ROTATE;
  int32_t hovered = -1;
  if (editor.editMode == EDIT_COLOUR && ctrl && !shift) {
    cursor = EDITOR_CURSOR_PAINT;
    status = EDITOR_STATUS_COLOUR;
    hovered = facetAt(bx, by);
  } else if (editor.editMode == EDIT_TEXTURE && ctrl) {
    if (shift) {
      cursor = EDITOR_CURSOR_MOVE_TEXTURE;
      status = EDITOR_STATUS_MOVE_TEXTURE;
    } else {
      cursor = EDITOR_CURSOR_SELECT;
      status = EDITOR_STATUS_SELECT;
      hovered = facetAt(bx, by);
    }
  }
  editorSetLook(ew.main, cursor, status);
  hover(hovered);
}

void editorRedrawFacet(int32_t facet) {
  int32_t x0, y0, x1, y1;
  if (!editorRenderFacet(&editor, facet, &x0, &y0, &x1, &y1)) return;
  const VxmBitmap* bitmap = editor.workspaceBitmap;
  // The facet's rectangle on the canvas, cut to the part the workspace shows.
  int32_t ox, oy;
  editorViewOrigin(&editor, &ox, &oy);
  const int32_t left = x0 > ox ? x0 : ox, right = x1 < ox + editor.workspaceRect.width - 1 ? x1 : ox + editor.workspaceRect.width - 1;
  int32_t top = bitmap->height - 1 - y1, bottom = bitmap->height - 1 - y0;
  if (top < oy) top = oy;
  if (bottom > oy + editor.workspaceRect.height - 1) bottom = oy + editor.workspaceRect.height - 1;
  if (left > right || top > bottom) return;
  HDC dc = GetDC(ew.main);
  editorBlit(dc, bitmap, editor.workspaceRect.left + left - ox, editor.workspaceRect.top + top - oy, left, top,
             right - left + 1, bottom - top + 1);
  ReleaseDC(ew.main, dc);
}

// --- The light direction ------------------------------------------------------------------------------

void editorLightButtonDown(int32_t x, int32_t y, uint32_t flags) {
  SetCapture(ew.lighting);
  ew.lightLastX = x;
  ew.lightLastY = y;
  ew.lightCaptured = true;
}

void editorLightMouseMove(int32_t x, int32_t y, uint32_t flags) {
  POINT p = {x, y};
  if (PtInRect(&ew.lightPreview, p))
    editorSetLook(ew.lighting, EDITOR_CURSOR_ROTATE, EDITOR_STATUS_LIGHT);
  else
    editorSetLook(ew.lighting, EDITOR_CURSOR_ARROW, nullptr);
  if (!ew.lightCaptured || !(flags & (EDITOR_MK_LBUTTON | EDITOR_MK_RBUTTON))) return;
  editorTurnLight(&editor, x - ew.lightLastX, y - ew.lightLastY, flags);
  ew.lightLastX = x;
  ew.lightLastY = y;
  editorInvalidateToolArea(ew.lighting, &ew.lightPreview, false);
}

void editorLightButtonUp(void) {
  if (!ew.lightCaptured) return;
  ew.lightCaptured = false;  // before ReleaseCapture, whose WM_CAPTURECHANGED comes back here
  if (GetCapture() == ew.lighting) ReleaseCapture();
  editorInvalidateWorkspace(false);
  editorRecordStep();
}

void editorLightCaptureLost(void) { editorLightButtonUp(); }
