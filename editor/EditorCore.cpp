// EditorCore.cpp: the editor's portable rules (see Editor.h). Everything here runs on the host too.
#include "Editor.h"
#include "EditorHistory.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app.h"

EditorState editor;

const char* const EDITOR_STATUS_ROTATE = "Rotate Model [Primary = XY axis, Secondary = Z axis]";
const char* const EDITOR_STATUS_LIGHT = "Rotate Light Direction [Primary = XY axis, Secondary = Z axis]";
const char* const EDITOR_STATUS_COLOUR = "Colour [Primary = set, Secondary = get]";
const char* const EDITOR_STATUS_SELECT = "Select Triangles [Primary = select, Secondary = deselect]";
const char* const EDITOR_STATUS_MOVE_TEXTURE = "Move Texture [Primary = move, Secondary = scale]";
const char* const EDITOR_STATUS_SELECT_AREA = "Select Area [Primary = select drag area, Secondary = deselect drag area]";
const char* const EDITOR_STATUS_COLOUR_AREA = "Colour Area [Primary = colour drag area]";

static constexpr double PI = 3.14159265358979323846;

static void setColour(uint8_t* colour, uint8_t blue, uint8_t green, uint8_t red) {
  colour[0] = blue;
  colour[1] = green;
  colour[2] = red;
}

static uint32_t colourValue(const uint8_t* colour) {
  return (uint32_t)colour[0] | ((uint32_t)colour[1] << 8) | ((uint32_t)colour[2] << 16);
}

// A double to int32 truncated toward zero, held inside the range (NaN gives 0).
static int32_t truncated(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return (int32_t)-2147483647 - 1;
  return (int32_t)value;
}

static float clampUnit(double value) { return (float)(value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value); }

// The canvas the workspace shows a part of: the workspace bitmap, or the workspace before it has one.
static int32_t canvasOf(const EditorState* state) {
  return state->workspaceBitmap ? state->workspaceBitmap->width : state->workspaceRect.width;
}

void editorResetState(EditorState* state) {
  std::memset(state, 0, sizeof *state);
  vxmMatIdentity(&state->viewScale);
  vxmMatIdentity(&state->lightViewScale);
  vxmMatIdentity(&state->baseMatrix);
  vxmMatIdentity(&state->rotation);
  setColour(state->currentColour, 200, 200, 200);
  setColour(state->backgroundColour, 0, 0, 0);
  setColour(state->ambientColour, 225, 225, 225);
  setColour(state->directionalColour, 200, 200, 200);
  state->lightDirection = {-1.0f, -1.0f, 1.0f};
  state->editMode = EDIT_COLOUR;
  state->toolState = TOOL_IDLE;
  state->texPosX = 0.5f;
  state->texPosY = 0.5f;
  state->texWrapOffset = 0.0f;
  state->texScale = 1.0f;
  state->texWrapScaleU = 1.0f;
  state->texWrapScaleV = 1.0f;
  state->currentTexture = -1;
  state->zoom = 1.0;
  state->dpi = 96;
}

void editorParseCommandLine(const char* commandLine, char* modelPath, char* lightPath) {
  modelPath[0] = 0;
  lightPath[0] = 0;
  if (!commandLine) return;
  // The first run of characters that holds no double quote and is not blank.
  const char* p = commandLine;
  const char* start = nullptr;
  const char* end = nullptr;
  while (*p) {
    while (*p == '"') ++p;
    const char* q = p;
    while (*q && *q != '"') ++q;
    const char* a = p;
    const char* b = q;
    while (a < b && (*a == ' ' || *a == '\t')) ++a;
    while (b > a && (b[-1] == ' ' || b[-1] == '\t' || b[-1] == '\r' || b[-1] == '\n')) --b;
    if (a < b) {
      start = a;
      end = b;
      break;
    }
    p = q;
  }
  if (!start) return;
  char token[EDITOR_PATH_LENGTH];
  size_t length = (size_t)(end - start);
  if (length >= sizeof token) return;  // no such file can exist
  std::memcpy(token, start, length);
  token[length] = 0;
  for (char* c = token; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = (char)(*c - 'A' + 'a');
  if (std::strstr(token, ".vxm"))
    std::memcpy(modelPath, token, length + 1);
  else if (std::strstr(token, ".vlt"))
    std::memcpy(lightPath, token, length + 1);
}

void editorTitleText(const VxmModel* model, bool edited, char* title, int size) {
  if (!title || size <= 0) return;
  if (!model)
    std::snprintf(title, (size_t)size, "%s", EDITOR_NAME);
  else
    std::snprintf(title, (size_t)size, "%s - [%s%s]", EDITOR_NAME, model->fileName, edited ? " *" : "");
}

int32_t editorScalePixels(int32_t pixels, int32_t dpi) {
  if (dpi <= 0 || dpi == 96) return pixels;
  const int64_t product = (int64_t)pixels * dpi;
  return (int32_t)(product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96));
}

int32_t editorWorkspaceSide(int32_t width, int32_t height, int32_t left, int32_t toolWidth, int32_t dpi) {
  int32_t across = width - toolWidth - left - editorScalePixels(5, dpi);
  int32_t down = height - editorScalePixels(26, dpi);
  int32_t side = across < down ? across : down;
  return side < 0 ? 0 : side;
}

void editorViewScaleFor(int32_t side, float radius, VxmMatrix* scale) {
  // A model without extent (or none yet) is drawn at scale 1.
  double s = radius > 0.0f && std::isfinite(radius) ? (double)side / ((double)radius * 1.1) * 0.5 : 1.0;
  vxmMatScale(scale, (float)s, (float)s, (float)s);
}

void editorStatusRects(int32_t width, int32_t height, EditorRect* status, EditorRect* progress, int32_t dpi) {
  const int32_t line = editorScalePixels(16, dpi);
  *status = {0, height - line, width, height, width, line};
  int32_t quarter = width / 4;
  *progress = {width - quarter, height - line, width, height, quarter, line};
}

int32_t editorDisplayUpdate(int32_t flags, bool lightingOn, bool smoothTicked, bool modelHasNormals,
                            DisplayControls* controls) {
  DisplayControls c = {false, false};
  if (flags & (VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE)) {
    c.lightingEnabled = true;
    if (lightingOn) {
      flags = (flags & ~VXM_RENDER_SMOOTH) | VXM_RENDER_LIGHTING;
      if (modelHasNormals) {
        c.smoothEnabled = true;
        if (smoothTicked) flags = (flags & ~VXM_RENDER_LIGHTING) | VXM_RENDER_SMOOTH;
      }
    } else {
      flags &= ~(VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH);
    }
  } else {
    flags &= ~(VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH);
  }
  if (controls) *controls = c;
  return flags;
}

int32_t editorDisplayToggle(int32_t flags, int32_t control, bool on) {
  switch (control) {
    case 1054:
      return on ? flags | VXM_RENDER_COLOUR : flags & ~VXM_RENDER_COLOUR;
    case 1055:
      return on ? flags | VXM_RENDER_TEXTURE : flags & ~VXM_RENDER_TEXTURE;
    case 1056:
      return on ? flags | VXM_RENDER_LIGHTING : flags & ~(VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH);
    case 1057:
      return on ? (flags & ~VXM_RENDER_LIGHTING) | VXM_RENDER_SMOOTH : (flags & ~VXM_RENDER_SMOOTH) | VXM_RENDER_LIGHTING;
    default:
      return flags;
  }
}

void editorApplyHighlight(EditorState* state, bool ticked) {
  if (state->highlightSpread < 0) state->highlightSpread = 0;
  if (state->highlightSpread > 100) state->highlightSpread = 100;
  VxmModel* models[2] = {state->lightModel, state->model};
  for (VxmModel* m : models) {
    if (!m) continue;
    m->highlight = ticked;
    if (ticked) m->highlightValue = state->highlightSpread;
  }
}

void editorFitPreview(int32_t bitmapWidth, int32_t bitmapHeight, int32_t areaWidth, int32_t areaHeight,
                      EditorRect* fitted) {
  *fitted = {0, 0, 0, 0, 0, 0};
  if (bitmapWidth <= 0 || bitmapHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return;
  double a = (double)bitmapWidth / (double)bitmapHeight;
  double b = (double)areaWidth / (double)areaHeight;
  int32_t x = 0, y = 0, w, h;
  if (a <= b) {
    h = areaHeight;
    w = truncated((double)areaHeight * a);
    x = (areaWidth - w) >> 1;
  } else {
    w = areaWidth;
    h = truncated((double)areaWidth / a);
    y = (areaHeight - h) >> 1;
  }
  *fitted = {x, y, x + w, y + h, w, h};
}

VxmModel* editorMakeLightModel(float* radius) {
  VxmVector profile[21];
  for (int k = 0; k <= 20; ++k) {
    double a = (double)k * PI / 20.2;
    profile[k] = {(float)-vxmMathSin(a), (float)-vxmMathCos(a), 0.0f};
  }
  VxmModel* model = vxmModelCreateLathe(profile, 21, nullptr, 40);
  if (!model) return nullptr;
  VxmVector centre;
  float r = 0.0f;
  if (!vxmModelCalcAverageNormals(model) || !vxmModelGetCentre(model, &centre) ||
      !vxmModelGetRadius(model, &centre, &r)) {
    vxmModelFree(model);
    return nullptr;
  }
  vxmMatTranslate(&model->matrix, -centre.x, -centre.y, -centre.z);
  if (radius) *radius = r;
  return model;
}

void editorLightViewScale(int32_t width, int32_t height, float radius, VxmMatrix* scale) {
  editorViewScaleFor(width < height ? width : height, radius, scale);
}

bool editorTurnLight(EditorState* state, int32_t dx, int32_t dy, uint32_t flags) {
  VxmMatrix r, step;
  if (flags == EDITOR_MK_LBUTTON) {
    vxmMatRotateY(&r, (float)(-(double)dx * 0.025));
    vxmMatMultiplyInPlace(&r, vxmMatRotateX(&step, (float)(-(double)dy * 0.025)));
  } else if (flags == EDITOR_MK_RBUTTON) {
    vxmMatRotateZ(&r, (float)(-(double)dx * 0.025));
  } else {
    return false;  // both buttons, or a modifier: no turn, nothing edited
  }
  VxmVector turned;
  vxmVecRotate(&turned, &r, &state->lightDirection, 1);
  vxmVecNormalise(&turned);
  state->lightDirection = turned;
  vxmLightSetDirection(&state->lightDirection);
  state->lightsEdited = true;
  return true;
}

ToolState editorChooseTool(ToolState current, EditMode mode, uint32_t flags) {
  if (current == TOOL_COLOUR_AREA) return current;
  if (current == TOOL_SELECT_AREA) return flags == EDITOR_MK_LBUTTON ? TOOL_SELECT_AREA : TOOL_DESELECT_AREA;
  const uint32_t CTRL = EDITOR_MK_CONTROL, SHIFT = EDITOR_MK_SHIFT;
  const uint32_t L = EDITOR_MK_LBUTTON, R = EDITOR_MK_RBUTTON;
  switch (mode) {
    case EDIT_COLOUR:
      if (flags == (L | CTRL)) return TOOL_PAINT;
      if (flags == (R | CTRL)) return TOOL_PICK_COLOUR;
      break;
    case EDIT_TEXTURE:
      if (flags == (L | CTRL | SHIFT)) return TOOL_MOVE_TEXTURE;
      if (flags == (R | CTRL | SHIFT)) return TOOL_SCALE_TEXTURE;
      if (flags == (L | CTRL)) return TOOL_SELECT;
      if (flags == (R | CTRL)) return TOOL_DESELECT;
      break;
    case EDIT_LIGHTING:
      break;
    default:
      APP_TRACE("Invalid Mode");
      return TOOL_IDLE;
  }
  if (flags == L) return TOOL_ROTATE_XY;
  if (flags == R) return TOOL_ROTATE_Z;
  return TOOL_IDLE;
}

int32_t editorToolCursor(ToolState tool, EditMode mode, uint32_t flags, const char** status) {
  const char* text = EDITOR_STATUS_ROTATE;
  int32_t cursor = EDITOR_CURSOR_ROTATE;
  switch (tool) {
    case TOOL_IDLE:
      if (mode == EDIT_COLOUR && flags == EDITOR_MK_CONTROL) {
        cursor = EDITOR_CURSOR_PAINT;
        text = EDITOR_STATUS_COLOUR;
      } else if (mode == EDIT_TEXTURE && flags == EDITOR_MK_CONTROL) {
        cursor = EDITOR_CURSOR_SELECT;
        text = EDITOR_STATUS_SELECT;
      } else if (mode == EDIT_TEXTURE && flags == (EDITOR_MK_CONTROL | EDITOR_MK_SHIFT)) {
        cursor = EDITOR_CURSOR_MOVE_TEXTURE;
        text = EDITOR_STATUS_MOVE_TEXTURE;
      }
      break;
    case TOOL_ROTATE_XY:
    case TOOL_ROTATE_Z:
      break;
    case TOOL_MOVE_TEXTURE:
      cursor = EDITOR_CURSOR_MOVE_TEXTURE;
      text = EDITOR_STATUS_MOVE_TEXTURE;
      break;
    case TOOL_SCALE_TEXTURE:
      cursor = EDITOR_CURSOR_SCALE_TEXTURE;
      text = EDITOR_STATUS_MOVE_TEXTURE;
      break;
    case TOOL_SELECT:
    case TOOL_DESELECT:
      cursor = EDITOR_CURSOR_SELECT;
      text = EDITOR_STATUS_SELECT;
      break;
    case TOOL_SELECT_AREA:
    case TOOL_DESELECT_AREA:
      cursor = EDITOR_CURSOR_SELECT_AREA;
      text = EDITOR_STATUS_SELECT_AREA;
      break;
    case TOOL_PAINT:
    case TOOL_PICK_COLOUR:
      cursor = EDITOR_CURSOR_PAINT;
      text = EDITOR_STATUS_COLOUR;
      break;
    case TOOL_COLOUR_AREA:
      cursor = EDITOR_CURSOR_COLOUR_AREA;
      text = EDITOR_STATUS_COLOUR_AREA;
      break;
  }
  if (status) *status = text;
  return cursor;
}

uint32_t editorPickedColour(const VxmTri* tri) {
  const VxmBitmap* t = tri->texture;
  if (!t || !t->lineTable || t->width <= 0 || t->height <= 0) return tri->colour;
  int32_t column = ((tri->uv[0] >> 12) + (tri->uv[2] >> 12) + (tri->uv[4] >> 12)) / 3;
  int32_t row = ((tri->uv[1] >> 12) + (tri->uv[3] >> 12) + (tri->uv[5] >> 12)) / 3;
  // The coordinates were checked when the model was read; a stray one reads the nearest edge.
  column = column < 0 ? 0 : column >= t->width ? t->width - 1 : column;
  row = row < 0 ? 0 : row >= t->height ? t->height - 1 : row;
  const uint8_t* texel = t->lineTable[row] + 3 * column;
  return (uint32_t)texel[0] | ((uint32_t)texel[1] << 8) | ((uint32_t)texel[2] << 16);
}

bool editorApplyFacetTool(EditorState* state, ToolState tool, int32_t facet, bool* titleChanged) {
  if (titleChanged) *titleChanged = false;
  VxmModel* model = state->model;
  if (!model || !state->selection || facet < 0 || facet >= model->triCount) return false;
  switch (tool) {
    case TOOL_SELECT:
      vxmSelectionSelectTri(state->selection, facet);
      return false;
    case TOOL_DESELECT:
      vxmSelectionDeselectTri(state->selection, facet);
      return false;
    case TOOL_PAINT: {
      VxmTri* tri = &model->tris[facet];
      tri->colour = colourValue(state->currentColour);
      tri->texture = nullptr;
      vxmSelectionSaveTri(state->selection, facet);
      if (!state->modelEdited) {
        state->modelEdited = true;
        if (titleChanged) *titleChanged = true;
      }
      return true;
    }
    case TOOL_PICK_COLOUR: {
      uint32_t c = editorPickedColour(&model->tris[facet]);
      setColour(state->currentColour, (uint8_t)c, (uint8_t)(c >> 8), (uint8_t)(c >> 16));
      return false;
    }
    default:
      return false;
  }
}

static void updateModelMatrix(EditorState* state) {
  if (!state->model) return;
  state->model->matrix = state->baseMatrix;
  vxmMatMultiplyInPlace(&state->model->matrix, &state->rotation);
}

void editorRotateDrag(EditorState* state, ToolState tool, float fx, float fy, bool upDownHeld, bool leftRightHeld) {
  VxmMatrix step;
  if (tool == TOOL_ROTATE_XY) {
    if (!upDownHeld) vxmMatMultiplyInPlace(&state->rotation, vxmMatRotateY(&step, (float)(-3.0 * (double)fx)));
    if (!leftRightHeld) vxmMatMultiplyInPlace(&state->rotation, vxmMatRotateX(&step, (float)(-3.0 * (double)fy)));
  } else if (tool == TOOL_ROTATE_Z) {
    vxmMatMultiplyInPlace(&state->rotation, vxmMatRotateZ(&step, (float)(-3.0 * (double)fx)));
  } else {
    return;
  }
  updateModelMatrix(state);
}

void editorMoveTexture(EditorState* state, float fx, float fy) {
  if (state->currentTexture < 0) return;
  if (state->wrapMode)
    state->texWrapOffset = (float)((double)state->texWrapOffset + fx);
  else
    state->texPosX = clampUnit((double)state->texPosX + fx);
  state->texPosY = clampUnit((double)state->texPosY - fy);
  editorTexturePixels(state);
}

static float atLeast(double value, float floor) {
  return value >= (double)floor ? (float)value : floor;  // NaN falls to the floor too
}

void editorScaleTexture(EditorState* state, float fx, float fy) {
  if (state->currentTexture < 0) return;
  if (state->wrapMode) {
    state->texWrapScaleU = atLeast((double)state->texWrapScaleU + fx, EDITOR_MIN_WRAP_SCALE);
    state->texWrapScaleV = atLeast((double)state->texWrapScaleV + fy, EDITOR_MIN_WRAP_SCALE);
  } else {
    int32_t width = state->currentTextureBitmap ? state->currentTextureBitmap->width : 0;
    if (width > 0) state->texScale = atLeast((double)state->texScale + (double)fx / width, EDITOR_MIN_TEX_SCALE);
  }
  editorTexturePixels(state);
}

void editorTexturePixels(EditorState* state) {
  // Placed on the canvas, the picture zooms with the model.
  const double w = canvasOf(state), h = state->workspaceBitmap ? state->workspaceBitmap->height : state->workspaceRect.height;
  state->texCentreX = truncated(w * state->texPosX);
  state->texCentreY = truncated(h * state->texPosY);
  state->texWrapPixels = truncated(w * state->texWrapOffset);
  state->texPixelsX = (float)(w * state->texScale);
  state->texPixelsY = (float)(h * state->texScale);
  const VxmBitmap* t = state->currentTextureBitmap;
  // Drawn sizes are held to a range the stretch can step through.
  const double limit = 1 << 30;
  double dw = t ? t->width * (double)state->texPixelsX : 0.0;
  double dh = t ? t->height * (double)state->texPixelsY : 0.0;
  state->texDrawnWidth = truncated(dw > limit ? limit : dw);
  state->texDrawnHeight = truncated(dh > limit ? limit : dh);
}

void editorResetTexturePlacement(EditorState* state, int32_t index) {
  VxmModel* model = state->model;
  if (!model || index < 0 || index >= model->textureCount) {
    state->currentTexture = -1;
    state->currentTextureBitmap = nullptr;
    editorTexturePixels(state);
    return;
  }
  state->currentTexture = index;
  state->currentTextureBitmap = model->textures[index].bitmap;
  const int32_t w = canvasOf(state);
  state->texScale = w ? (float)(1.0 / w) : 0.0f;
  state->texPosX = state->texPosY = 0.5f;
  state->texWrapOffset = 0.0f;
  state->texWrapScaleU = state->texWrapScaleV = 1.0f;
  editorTexturePixels(state);
}

void editorApplyTexturePreview(EditorState* state) {
  if (!state->model || !state->selection || state->currentTexture < 0 || !state->currentTextureBitmap) return;
  vxmSelectionRestoreTris(state->selection);
  VxmMatrix m = state->model->matrix, view, step;
  vxmRenderGetViewMatrix(&view);
  vxmMatMultiplyInPlace(&m, &view);
  const double w = canvasOf(state), h = state->workspaceBitmap ? state->workspaceBitmap->height : state->workspaceRect.height;
  if (!state->wrapMode) {
    if (!(state->texPixelsX > 0.0f) || !(state->texPixelsY > 0.0f)) return;
    double tx = w * 0.5 - ((double)state->texCentreX - state->texDrawnWidth * 0.5);
    double ty = h * 0.5 - ((double)state->texCentreY - state->texDrawnHeight * 0.5);
    vxmMatMultiplyInPlace(&m, vxmMatTranslate(&step, (float)tx, (float)ty, 0.0f));
    vxmMatMultiplyInPlace(&m, vxmMatScale(&step, (float)(1.0 / state->texPixelsX), (float)(1.0 / state->texPixelsY), 1.0f));
    vxmSelectionApplyTexture(state->selection, state->currentTexture, &m);
  } else {
    float vOffset = (float)(((int32_t)h >> 1) - state->texCentreY);
    vxmSelectionApplyCylTexture(state->selection, state->currentTexture, &m, (float)state->texWrapPixels, vOffset,
                                state->texWrapScaleU, state->texWrapScaleV);
  }
}

void editorDrawTexturePicture(EditorState* state) {
  const VxmBitmap* t = state->currentTextureBitmap;
  if (!t || state->currentTexture < 0 || state->wrapMode || !state->workspaceBitmap) return;
  if (state->texDrawnWidth <= 0 || state->texDrawnHeight <= 0) return;
  vxmBitmapStretch(state->workspaceBitmap, state->texCentreX - (state->texDrawnWidth >> 1),
                   state->texCentreY - (state->texDrawnHeight >> 1), state->texDrawnWidth, state->texDrawnHeight, t,
                   0, 0, t->width, t->height);
}

void editorBitmapPoint(const EditorState* state, int32_t x, int32_t y, int32_t* bx, int32_t* by) {
  int32_t height = state->workspaceBitmap ? state->workspaceBitmap->height : state->workspaceRect.height;
  int32_t ox, oy;
  editorViewOrigin(state, &ox, &oy);
  *bx = x - state->workspaceRect.left + ox;
  *by = height - (y - state->workspaceRect.top + oy);
}

// --- Zoom and pan ---------------------------------------------------------------------------------

int32_t editorCanvasSide(int32_t side, double zoom) {
  if (side <= 0) return side < 0 ? 0 : side;
  if (!(zoom >= 1.0)) zoom = 1.0;  // NaN too
  if (zoom > EDITOR_MAX_ZOOM) zoom = EDITOR_MAX_ZOOM;
  double canvas = (double)side * zoom;
  const int32_t cap = side > EDITOR_MAX_CANVAS ? side : EDITOR_MAX_CANVAS;
  return canvas >= cap ? cap : (int32_t)canvas;
}

static int32_t clampPan(int32_t pan, int32_t spare) {
  const int32_t half = spare / 2;
  return pan < -half ? -half : pan > spare - half ? spare - half : pan;
}

void editorViewOrigin(const EditorState* state, int32_t* ox, int32_t* oy) {
  const int32_t spareX = canvasOf(state) - state->workspaceRect.width;
  const int32_t spareY = (state->workspaceBitmap ? state->workspaceBitmap->height : state->workspaceRect.height) -
                         state->workspaceRect.height;
  *ox = spareX > 0 ? spareX / 2 + clampPan(state->panX, spareX) : 0;
  *oy = spareY > 0 ? spareY / 2 + clampPan(state->panY, spareY) : 0;
}

bool editorZoomAbout(EditorState* state, double zoom, int32_t x, int32_t y) {
  const int32_t side = state->workspaceRect.width;
  const int32_t before = canvasOf(state), after = editorCanvasSide(side, zoom);
  if (side <= 0 || after == before) return false;
  // The canvas point under x, y as a fraction of the canvas stays under x, y.
  int32_t ox, oy;
  editorViewOrigin(state, &ox, &oy);
  const int32_t cx = x - state->workspaceRect.left, cy = y - state->workspaceRect.top;
  const double u = (double)(ox + cx) / before, v = (double)(oy + cy) / before;
  const int32_t spare = after - side;
  state->panX = clampPan((int32_t)std::floor(u * after + 0.5) - cx - spare / 2, spare);
  state->panY = clampPan((int32_t)std::floor(v * after + 0.5) - cy - spare / 2, spare);
  state->zoom = (double)after / side;
  return true;
}

void editorPan(EditorState* state, int32_t dx, int32_t dy) {
  const int32_t spare = canvasOf(state) - state->workspaceRect.width;
  state->panX = clampPan(state->panX - dx, spare > 0 ? spare : 0);
  state->panY = clampPan(state->panY - dy, spare > 0 ? spare : 0);
}

void editorZoomText(const EditorState* state, char* text, int size) {
  if (!text || size <= 0) return;
  const int32_t side = state->workspaceRect.width, canvas = canvasOf(state);
  text[0] = 0;
  if (side > 0 && canvas != side) std::snprintf(text, (size_t)size, "Zoom %d%%", (int)((int64_t)canvas * 100 / side));
}

bool editorInWorkspace(const EditorState* state, int32_t x, int32_t y) {
  const EditorRect& r = state->workspaceRect;
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void editorClampToWorkspace(const EditorState* state, int32_t* x, int32_t* y) {
  const EditorRect& r = state->workspaceRect;
  if (r.right <= r.left || r.bottom <= r.top) return;
  *x = *x < r.left ? r.left : *x >= r.right ? r.right - 1 : *x;
  *y = *y < r.top ? r.top : *y >= r.bottom ? r.bottom - 1 : *y;
}

bool editorFacetBounds(const EditorState* state, int32_t facet, int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1) {
  const VxmModel* model = state->model;
  if (!model || facet < 0 || facet >= model->triCount) return false;
  const VxmTri* tri = &model->tris[facet];
  VxmMatrix screen, toScreen;
  vxmRenderGetScreenMatrix(&screen);
  vxmMatMultiply(&toScreen, &model->matrix, &screen);
  if (!vxmModelTriCornersValid(model, tri)) return false;
  VxmVector corners[3];
  for (int k = 0; k < 3; ++k) vxmVtxTransform(&corners[k], &toScreen, &model->vertices[tri->v[k]], 1);
  int32_t lx = 0, ly = 0, hx = 0, hy = 0;
  for (int k = 0; k < 3; ++k) {
    int32_t x = truncated(corners[k].x), y = truncated(corners[k].y);
    if (k == 0 || x < lx) lx = x;
    if (k == 0 || x > hx) hx = x;
    if (k == 0 || y < ly) ly = y;
    if (k == 0 || y > hy) hy = y;
  }
  *x0 = lx;
  *y0 = ly;
  *x1 = hx;
  *y1 = hy;
  return true;
}

EditorMenuStates editorMenuStates(bool haveModel, EditMode mode) {
  return {haveModel, haveModel, haveModel && mode == EDIT_COLOUR, haveModel && mode == EDIT_TEXTURE};
}

float editorSnapAngle(float angle) {
  double quarters = std::trunc((double)angle * (double)0.63661975f + 2.5) - 2.0;
  return (float)(quarters * (double)1.5707964f);
}

void editorSnapToAxes(EditorState* state) {
  float x, y, z;
  vxmMatToAngles(&state->rotation, &x, &y, &z);
  VxmMatrix step;
  vxmMatRotateZ(&state->rotation, editorSnapAngle(z));
  vxmMatMultiplyInPlace(&state->rotation, vxmMatRotateX(&step, editorSnapAngle(x)));
  vxmMatMultiplyInPlace(&state->rotation, vxmMatRotateY(&step, editorSnapAngle(y)));
  updateModelMatrix(state);
}

bool editorInstallModel(EditorState* state, VxmModel* model) {
  if (!model) return false;
  vxmModelValidateTextureCoords(model);
  VxmSelection* selection = vxmSelectionCreate(model);
  if (!selection) {
    vxmModelFree(model);
    return false;
  }
  // The history forgets the old model's steps before the model goes.
  editorHistoryRestart(state->history, state, EDITOR_PART_MODEL);
  vxmSelectionFree(state->selection);
  vxmModelFree(state->model);
  state->model = model;
  state->selection = selection;
  state->modelEdited = false;
  state->currentTexture = -1;
  state->currentTextureBitmap = nullptr;
  VxmVector centre = {0.0f, 0.0f, 0.0f};
  float radius = 0.0f;
  vxmModelGetCentre(model, &centre);
  vxmModelGetRadius(model, &centre, &radius);
  state->modelRadius = radius;
  vxmMatTranslate(&state->baseMatrix, -centre.x, -centre.y, -centre.z);
  vxmMatIdentity(&state->rotation);
  updateModelMatrix(state);
  editorViewScaleFor(canvasOf(state), radius, &state->viewScale);
  vxmRenderSetViewMatrix(&state->viewScale);
  state->highlightSpread = model->highlightValue;
  editorHistoryRecord(state->history, state);  // takes the new model as its start
  return true;
}

bool editorHasOwnFile(const VxmModel* model) {
  if (!model || std::strcmp(model->fileName, EDITOR_UNTITLED) == 0) return false;
  const char* dot = std::strrchr(model->fileName, '.');
  return dot && strcasecmp(dot, ".vxm") == 0;
}

void editorModelFolder(const VxmModel* model, const char* installFolder, char* folder, int size) {
  if (!folder || size <= 0) return;
  const char* name = model ? model->fileName : "";
  const char* cut = nullptr;
  for (const char* p = name; *p; ++p)
    if (*p == '\\' || *p == '/') cut = p;
  if (cut && cut - name + 1 < size) {
    std::memcpy(folder, name, (size_t)(cut - name + 1));
    folder[cut - name + 1] = 0;
    return;
  }
  std::snprintf(folder, (size_t)size, "%sModels\\", installFolder ? installFolder : "");
}

void editorMakeUntitled(VxmModel* model) {
  std::snprintf(model->fileName, sizeof model->fileName, "%s", EDITOR_UNTITLED);
  for (int32_t i = 0; i < model->triCount; ++i) {
    model->tris[i].colour = VXM_DEFAULT_COLOUR;
    model->tris[i].texture = nullptr;
  }
  for (int32_t n = model->textureCount; n > 0; --n) vxmModelRemoveTexture(model, 0);
}

void editorColourAll(EditorState* state) {
  if (!state->model || !state->selection) return;
  vxmSelectionRestoreTris(state->selection);
  const uint32_t colour = colourValue(state->currentColour);
  for (int32_t i = 0; i < state->model->triCount; ++i) {
    state->model->tris[i].colour = colour;
    state->model->tris[i].texture = nullptr;
  }
  vxmSelectionSaveTris(state->selection);
  state->modelEdited = true;
}

uint32_t editorDibSize(const VxmBitmap* bitmap) {
  if (!bitmap || bitmap->stride <= 0 || bitmap->height <= 0) return 0;
  uint64_t size = (uint64_t)bitmap->stride * (uint64_t)bitmap->height + 44;
  return size > 0x7FFFFFFF ? 0 : (uint32_t)size;
}

static void put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

bool editorWriteDib(const VxmBitmap* bitmap, uint8_t* block, uint32_t size) {
  const uint32_t needed = editorDibSize(bitmap);
  if (!needed || !block || size < needed || !bitmap->bits) return false;
  std::memset(block, 0, size);
  put32(block, 40);
  put32(block + 4, (uint32_t)bitmap->width);
  put32(block + 8, (uint32_t)bitmap->height);
  block[12] = 1;  // planes
  block[14] = (uint8_t)bitmap->depth;
  std::memcpy(block + 40, bitmap->bits, (size_t)bitmap->stride * (size_t)bitmap->height);
  return true;
}

static void useWorkspace(EditorState* state) {
  vxmRenderSetTarget(state->workspaceBitmap);
  vxmRenderSetViewMatrix(&state->viewScale);
  vxmRenderSetState(state->renderFlags);
}

void editorRenderWorkspace(EditorState* state) {
  VxmBitmap* bitmap = state->workspaceBitmap;
  if (!bitmap || !bitmap->bits) return;
  useWorkspace(state);
  vxmBitmapFill(bitmap, state->backgroundColour);
  const bool texturing = state->editMode == EDIT_TEXTURE && state->currentTexture >= 0;
  if (texturing && !state->wrapMode) editorDrawTexturePicture(state);
  if (!state->model) return;
  if (texturing) editorApplyTexturePreview(state);
  vxmRenderClearDepth();
  vxmRenderModel(state->model);
  if (state->editMode == EDIT_TEXTURE) vxmSelectionDraw(state->selection);
  switch (state->toolState) {
    case TOOL_IDLE:
    case TOOL_SELECT:
    case TOOL_DESELECT:
    case TOOL_PAINT:
    case TOOL_PICK_COLOUR:
      vxmSelectionDrawCurrent(state->selection);
      break;
    default:
      break;
  }
  if (state->areaDragActive) {
    vxmRenderInvertRect(state->anchorX, state->anchorY, state->dragX, state->dragY);
    const uint32_t colour = state->toolState == TOOL_COLOUR_AREA ? colourValue(state->currentColour) : 0xFF0000;
    vxmSelectionDrawRect(state->selection, state->anchorX, state->anchorY, state->dragX, state->dragY, colour);
  }
}

bool editorRenderFacet(EditorState* state, int32_t facet, int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1) {
  VxmModel* model = state->model;
  VxmBitmap* bitmap = state->workspaceBitmap;
  if (!model || !state->selection || facet < 0 || facet >= model->triCount || !bitmap) return false;
  useWorkspace(state);
  const bool texturing = state->editMode == EDIT_TEXTURE;
  if (texturing && state->currentTexture >= 0) editorApplyTexturePreview(state);
  vxmRenderModelTri(model, facet);
  if (texturing) vxmSelectionDrawTri(state->selection, facet);
  if (facet == state->selection->current) vxmSelectionDrawCurrent(state->selection);
  if (!editorFacetBounds(state, facet, x0, y0, x1, y1)) return false;
  // Only the rectangle the facet covers, held inside the bitmap.
  *x0 = *x0 < 0 ? 0 : *x0;
  *y0 = *y0 < 0 ? 0 : *y0;
  *x1 = *x1 >= bitmap->width ? bitmap->width - 1 : *x1;
  *y1 = *y1 >= bitmap->height ? bitmap->height - 1 : *y1;
  return *x0 <= *x1 && *y0 <= *y1;
}
