// Editor.h: the model editor's state and its portable rules: the command line, the title, the
// workspace layout, the display-method flags, the highlight, the texture placement and preview,
// the mouse tools' choice and their effect on the model, the light preview model, Snap to Axes,
// the clipboard picture, and opening, making and saving models. The Win32 files (*Win32.cpp)
// hold the windows and call these; the host tests call them directly.
#pragma once

#include <cstdint>

#include "voxim.h"

enum EditMode { EDIT_COLOUR = 0, EDIT_TEXTURE = 1, EDIT_LIGHTING = 2 };

enum ToolState {
  TOOL_IDLE = 0,
  TOOL_ROTATE_XY = 1,
  TOOL_ROTATE_Z = 2,
  TOOL_MOVE_TEXTURE = 3,
  TOOL_SCALE_TEXTURE = 4,
  TOOL_SELECT = 5,
  TOOL_DESELECT = 6,
  TOOL_SELECT_AREA = 7,
  TOOL_DESELECT_AREA = 8,
  TOOL_PAINT = 9,
  TOOL_COLOUR_AREA = 10,
  TOOL_PICK_COLOUR = 11,
};

// Key flags of the mouse messages.
enum : uint32_t { EDITOR_MK_LBUTTON = 1, EDITOR_MK_RBUTTON = 2, EDITOR_MK_SHIFT = 4, EDITOR_MK_CONTROL = 8,
                   EDITOR_MK_MBUTTON = 16 };

// The program's cursors (resource numbers); 0 is the system arrow.
enum : int32_t {
  EDITOR_CURSOR_ARROW = 0,
  EDITOR_CURSOR_ROTATE = 116,
  EDITOR_CURSOR_COLOUR_AREA = 150,
  EDITOR_CURSOR_SELECT_AREA = 151,
  EDITOR_CURSOR_SELECT = 152,
  EDITOR_CURSOR_PAINT = 153,
  EDITOR_CURSOR_SCALE_TEXTURE = 154,
  EDITOR_CURSOR_MOVE_TEXTURE = 155,
};

#define EDITOR_NAME "Quirla Model Editor"
#define EDITOR_UNTITLED "Untitled.vxm"
#define EDITOR_PATH_LENGTH 260

// The texture scales never reach zero: a drag that would shrink them further stops here.
constexpr float EDITOR_MIN_TEX_SCALE = 1.0e-4f;
constexpr float EDITOR_MIN_WRAP_SCALE = 0.01f;

// A rectangle in the main window's client pixels.
struct EditorRect {
  int32_t left, top, right, bottom, width, height;
};

struct EditorHistory;

struct EditorState {
  VxmModel* model;
  VxmSelection* selection;
  EditorHistory* history;  // Undo and Redo; null when there was no memory for it
  VxmModel* lightModel;
  VxmBitmap* workspaceBitmap;
  VxmBitmap* lightBitmap;
  VxmMatrix viewScale;
  VxmMatrix lightViewScale;
  float modelRadius;
  // The view: the workspace shows a window of `side` pixels of a canvas `zoom` times the fitted
  // view (the workspace bitmap), centred on the model and moved by `panX`, `panY` canvas pixels.
  double zoom;
  int32_t panX, panY;
  float lightModelRadius;
  int32_t renderFlags;
  // Colours as blue, green, red.
  uint8_t currentColour[3];
  uint8_t backgroundColour[3];
  uint8_t ambientColour[3];
  uint8_t directionalColour[3];
  VxmVector lightDirection;
  int32_t highlightSpread;
  bool modelEdited;
  bool lightsEdited;
  EditMode editMode;
  ToolState toolState;
  bool mouseCaptured;
  bool cursorInWorkspace;
  bool areaDragActive;
  // Texture placement and the pixel values derived from it.
  float texPosX, texPosY, texWrapOffset, texScale, texWrapScaleU, texWrapScaleV;
  int32_t currentTexture;
  VxmBitmap* currentTextureBitmap;
  bool wrapMode;
  int32_t texCentreX, texCentreY, texWrapPixels;
  float texPixelsX, texPixelsY;  // pixels per texel
  int32_t texDrawnWidth, texDrawnHeight;
  // The command line's file.
  char cmdModelPath[EDITOR_PATH_LENGTH];
  char cmdLightPath[EDITOR_PATH_LENGTH];
  // Layout.
  EditorRect workspaceRect;
  int32_t toolWindowWidth;
  int32_t minTrackWidth, minTrackHeight;
  int32_t clientWidth, clientHeight;
  int32_t dpi;  // the display's dots per inch: every pixel size of the layout is scaled by dpi / 96
  // Drags: anchor and current point in workspace-bitmap coordinates (y up); the last position in
  // client coordinates.
  int32_t anchorX, anchorY, dragX, dragY;
  int32_t lastX, lastY;
  // The model's base matrix (centring) and the rotation accumulated by drags.
  VxmMatrix baseMatrix;
  VxmMatrix rotation;
  const char* statusText;
};

extern EditorState editor;

// --- Start-up ------------------------------------------------------------------------------------
// Resets the state as start-up finds it: no objects, default colours, placement and flags.
void editorResetState(EditorState* state);
// The command line: the first token when split at double quotes, lower-cased; a ".vxm" name goes to
// modelPath, otherwise a ".vlt" name to lightPath. Both are emptied first.
void editorParseCommandLine(const char* commandLine, char* modelPath, char* lightPath);
// The window title for the model (null: none) and its edited flag; `size` bytes at most.
void editorTitleText(const VxmModel* model, bool edited, char* title, int size);

// --- Layout ----------------------------------------------------------------------------------------
// The workspace square's side for a client area: min(width - toolWidth - left - 5, height - 26).
int32_t editorWorkspaceSide(int32_t width, int32_t height, int32_t left, int32_t toolWidth, int32_t dpi = 96);
// A layout size of pixels at 96 dots per inch for the display's `dpi`, rounded as MulDiv rounds:
// every pixel stays as it is at 96.
int32_t editorScalePixels(int32_t pixels, int32_t dpi);
// A uniform scale of side / (radius * 1.1) * 0.5.
void editorViewScaleFor(int32_t side, float radius, VxmMatrix* scale);
// The status rectangle (the bottom 16 pixels) and the progress bar's place in its right quarter.
void editorStatusRects(int32_t width, int32_t height, EditorRect* status, EditorRect* progress, int32_t dpi = 96);

// --- Display-method and lighting rules ---------------------------------------------------------------
struct DisplayControls {
  bool lightingEnabled;  // the Lighting toggle can be used
  bool smoothEnabled;    // Smooth Shading can be used
};
// The display-method update: given the flags, whether the Lighting toggle is on and Smooth Shading
// ticked, and whether the model (if any) has vertex normals, returns the new flags.
int32_t editorDisplayUpdate(int32_t flags, bool lightingOn, bool smoothTicked, bool modelHasNormals,
                            DisplayControls* controls);
// The flags after a click on one of the display toggles (1054 colour, 1055 texture, 1056 lighting,
// 1057 smooth shading) that now reads `on`.
int32_t editorDisplayToggle(int32_t flags, int32_t control, bool on);
// Highlight: clamps the spread and copies the check box into the light model and the model.
void editorApplyHighlight(EditorState* state, bool ticked);
// The aspect-keeping fit of a picture into an area: x, y offsets and size inside the area.
void editorFitPreview(int32_t bitmapWidth, int32_t bitmapHeight, int32_t areaWidth, int32_t areaHeight,
                      EditorRect* fitted);

// --- The light preview --------------------------------------------------------------------------------
// The lathe that shows the light: made, normals averaged, centred; its radius.
VxmModel* editorMakeLightModel(float* radius);
// min(width, height) / (radius * 1.1) * 0.5 as a uniform scale.
void editorLightViewScale(int32_t width, int32_t height, float radius, VxmMatrix* scale);
// A drag in the light preview by dx, dy pixels with the key flags: turns the light direction.
// False when the flags start no turn.
bool editorTurnLight(EditorState* state, int32_t dx, int32_t dy, uint32_t flags);

// --- Mouse tools ---------------------------------------------------------------------------------------
ToolState editorChooseTool(ToolState current, EditMode mode, uint32_t flags);
// The cursor and status text of the situation: the tool, the mode and (when idle) the flags.
int32_t editorToolCursor(ToolState tool, EditMode mode, uint32_t flags, const char** status);
// The status text of the mouse over the light preview, and of the rotation tools.
extern const char* const EDITOR_STATUS_ROTATE;
extern const char* const EDITOR_STATUS_LIGHT;
extern const char* const EDITOR_STATUS_COLOUR;
extern const char* const EDITOR_STATUS_SELECT;
extern const char* const EDITOR_STATUS_MOVE_TEXTURE;
extern const char* const EDITOR_STATUS_SELECT_AREA;
extern const char* const EDITOR_STATUS_COLOUR_AREA;
// A facet tool on facet f. True when the model changed for good (the title may need rebuilding is
// told by modelEdited going from false to true: *titleChanged).
bool editorApplyFacetTool(EditorState* state, ToolState tool, int32_t facet, bool* titleChanged);
// The colour a picked facet gives: the texel at the average of its texture coordinates, or its colour.
uint32_t editorPickedColour(const VxmTri* tri);
// Rotation drags: fx, fy are the moves as fractions of the workspace; the locks are the arrow keys held.
void editorRotateDrag(EditorState* state, ToolState tool, float fx, float fy, bool upDownHeld, bool leftRightHeld);
// Texture drags (only with a current texture); the derived pixel values follow.
void editorMoveTexture(EditorState* state, float fx, float fy);
void editorScaleTexture(EditorState* state, float fx, float fy);
// Recomputes the derived pixel values of the placement for the workspace size.
void editorTexturePixels(EditorState* state);
// Makes slot `index` the current texture with the default placement.
void editorResetTexturePlacement(EditorState* state, int32_t index);
// The texture preview on the selected facets (the renderer's view matrix must be set).
void editorApplyTexturePreview(EditorState* state);
// Draws the current texture's picture at its placement into the workspace bitmap (planar mode).
void editorDrawTexturePicture(EditorState* state);
// Paints the workspace bitmap: background, the texture picture and preview in the Texture mode,
// the model, the selection and hover marks, and an area drag's rectangle with its marked facets.
void editorRenderWorkspace(EditorState* state);
// Draws one facet over the last frame (with its marks) and gives the rectangle of the bitmap it
// covers (x and y counted from the bottom row, inclusive); false when there is nothing to copy.
bool editorRenderFacet(EditorState* state, int32_t facet, int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1);
// The point of the workspace bitmap under client position x, y (y counted up from the bottom row).
void editorBitmapPoint(const EditorState* state, int32_t x, int32_t y, int32_t* bx, int32_t* by);
bool editorInWorkspace(const EditorState* state, int32_t x, int32_t y);
// Moves a client point to the nearest point inside the workspace (where an area drag that left
// it ends).
void editorClampToWorkspace(const EditorState* state, int32_t* x, int32_t* y);

// --- Zoom and pan ---------------------------------------------------------------------------------
// The model is drawn whole into a canvas, so that every facet that covers a visible pixel is drawn
// and can be hit (the renderer drops facets with a corner outside its target); the workspace shows
// the part of it under the view. The canvas is held to EDITOR_MAX_CANVAS pixels a side, which caps
// the zoom of a large workspace below EDITOR_MAX_ZOOM.
constexpr double EDITOR_MAX_ZOOM = 8.0;
constexpr int32_t EDITOR_MAX_CANVAS = 2400;
constexpr double EDITOR_ZOOM_STEP = 1.25;  // one wheel notch, one + or - key
// The canvas side for a workspace side and a wanted zoom (at least the side, at most the cap).
int32_t editorCanvasSide(int32_t side, double zoom);
// The canvas pixel at the workspace's top left (x from the left, y from the top).
void editorViewOrigin(const EditorState* state, int32_t* ox, int32_t* oy);
// Sets the zoom (held to 1..EDITOR_MAX_ZOOM and the canvas cap) keeping the canvas point under
// client position x, y where it is; false when the zoom stays as it was.
bool editorZoomAbout(EditorState* state, double zoom, int32_t x, int32_t y);
// Moves the view with a middle-button drag of dx, dy client pixels (held inside the canvas).
void editorPan(EditorState* state, int32_t dx, int32_t dy);
// The zoom as the status line shows it ("Zoom 250%"), empty at the fitted view.
void editorZoomText(const EditorState* state, char* text, int size);
// The three corners of facet f on the workspace bitmap, through the model matrix and the screen
// matrix; false without a model or for a facet outside the tables.
bool editorFacetBounds(const EditorState* state, int32_t facet, int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1);

// --- The menu ---------------------------------------------------------------------------------------
// What the menu update enables: the model's entries (Open Texture, Model Info, Snap to Axes, Refresh
// Textures and the Ctrl+S command) and the "&Model" popup with a model; the "&Colour" popup only in
// the Colour mode and the "&Texture" popup only in the Texture mode, both with a model.
struct EditorMenuStates {
  bool modelEntries, modelPopup, colourPopup, texturePopup;
};
EditorMenuStates editorMenuStates(bool haveModel, EditMode mode);

// --- Commands ---------------------------------------------------------------------------------------
// Snap to Axes: one angle to the nearest quarter turn, and the whole rotation.
float editorSnapAngle(float angle);
void editorSnapToAxes(EditorState* state);
// Installs a loaded model: frees the old one, makes the selection, centres and sizes it. False (and
// nothing changed; the new model freed) when its selection cannot be made.
bool editorInstallModel(EditorState* state, VxmModel* model);
// Strips a model for New: "Untitled.vxm", every facet grey without texture, no texture slots.
void editorMakeUntitled(VxmModel* model);
// Save writes in place only to a model's own VXM file: not "Untitled.vxm", not an imported file.
bool editorHasOwnFile(const VxmModel* model);
// Where Save As starts: the folder of the model's file (with its separator), or the installation's
// Models folder for a new model or one whose file name has no folder.
void editorModelFolder(const VxmModel* model, const char* installFolder, char* folder, int size);
// Colour All Facets: every facet the current colour without texture, committed.
void editorColourAll(EditorState* state);
// The clipboard picture: a 40-byte BITMAPINFOHEADER then the rows. The block holds
// editorDibSize bytes (the stride times the height plus 44); the last 4 bytes stay zero.
uint32_t editorDibSize(const VxmBitmap* bitmap);
bool editorWriteDib(const VxmBitmap* bitmap, uint8_t* block, uint32_t size);
