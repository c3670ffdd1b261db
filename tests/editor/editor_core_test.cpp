// editor_core_test.cpp: the editor's portable rules: the command line, the title, the layout, the
// display-method flags, the highlight, the preview fit, the light model and its drag, the choice of
// mouse tool with its cursor and status, the facet tools, the rotation and texture drags with their
// limits, Snap to Axes and the clipboard picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Editor.h"
#include "TestSupport.h"

namespace {

// A two-facet square from (-1,-1) to (1,1) at z = 0, facing the viewer.
VxmModel* makeSquare() {
  VxmModel* m = vxmModelCreate(4, 0, 2);
  const VxmVector v[4] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  for (int i = 0; i < 4; ++i) m->vertices[i] = v[i];
  const int32_t f[2][3] = {{0, 2, 1}, {0, 3, 2}};
  for (int t = 0; t < 2; ++t) {
    for (int k = 0; k < 3; ++k) m->tris[t].v[k] = f[t][k], m->tris[t].n[k] = -1;
    m->tris[t].colour = 0x102030;
  }
  vxmModelCalcSurfaceNormals(m);
  return m;
}

struct EditorCore : ::testing::Test {
  EditorState s;
  void SetUp() override {
    editorResetState(&s);
    s.workspaceRect = {100, 5, 400, 305, 300, 300};
  }
  void TearDown() override {
    vxmSelectionFree(s.selection);
    vxmModelFree(s.model);
    vxmModelFree(s.lightModel);
  }
};

TEST(EditorCommandLine, TakesTheFirstQuotedTokenLowerCasedByItsExtension) {
  struct Case {
    const char* line;
    const char* model;
    const char* light;
  };
  const Case cases[] = {
      {"\"C:\\My Models\\Can.VXM\"", "c:\\my models\\can.vxm", ""},
      {"  \"C:\\A.vxm\" \"C:\\B.vlt\"", "c:\\a.vxm", ""},
      {"\"C:\\Lights\\Day.VLT\" \"C:\\a.vxm\"", "", "c:\\lights\\day.vlt"},
      {"C:\\plain.vxm ", "c:\\plain.vxm", ""},
      {"\"C:\\model.3ds\"", "", ""},
      {"", "", ""},
      {"\"\" \"  \"", "", ""},
  };
  for (const Case& c : cases) {
    char model[EDITOR_PATH_LENGTH] = "x", light[EDITOR_PATH_LENGTH] = "x";
    editorParseCommandLine(c.line, model, light);
    EXPECT_STREQ(model, c.model) << c.line;
    EXPECT_STREQ(light, c.light) << c.line;
  }
  // A token fills the path buffers up to 259 characters; one of 260 or more names no file. The
  // buffers are exactly that long, on the heap, so a byte past them is caught under ASan too.
  for (size_t length : {259u, 260u, 400u}) {
    std::vector<char> model(EDITOR_PATH_LENGTH), light(EDITOR_PATH_LENGTH);
    const std::string token = std::string(length - 4, 'a') + ".VXM";
    editorParseCommandLine(("\"" + token + "\"").c_str(), model.data(), light.data());
    EXPECT_EQ(std::string(model.data()), length < EDITOR_PATH_LENGTH ? std::string(length - 4, 'a') + ".vxm" : "")
        << length;
  }
}

TEST(EditorDisplay, LightingNeedsColourOrTextureAndSmoothNeedsLightingAndNormals) {
  for (int flags = 0; flags < 16; ++flags)
    for (int lighting = 0; lighting < 2; ++lighting)
      for (int smooth = 0; smooth < 2; ++smooth)
        for (int normals = 0; normals < 2; ++normals) {
          DisplayControls c;
          int32_t out = editorDisplayUpdate(flags, lighting, smooth, normals, &c);
          const bool drawn = flags & 3;
          SCOPED_TRACE(testing::Message() << flags << lighting << smooth << normals);
          EXPECT_EQ(out & 3, flags & 3);
          EXPECT_EQ(c.lightingEnabled, drawn);
          EXPECT_EQ(c.smoothEnabled, drawn && lighting && normals);
          const int32_t light = !drawn || !lighting ? 0 : (smooth && normals) ? 8 : 4;
          EXPECT_EQ(out & 12, light);
        }
  // The toggles themselves.
  EXPECT_EQ(editorDisplayToggle(0, 1054, true), 1);
  EXPECT_EQ(editorDisplayToggle(3, 1055, false), 1);
  EXPECT_EQ(editorDisplayToggle(1 | 8, 1056, false), 1);
  EXPECT_EQ(editorDisplayToggle(1, 1056, true), 5);
  EXPECT_EQ(editorDisplayToggle(5, 1057, true), 9);
  EXPECT_EQ(editorDisplayToggle(9, 1057, false), 5);
}

TEST_F(EditorCore, TheHighlightIsClampedAndCopiedIntoBothModels) {
  s.model = makeSquare();
  s.lightModel = makeSquare();
  s.model->highlightValue = s.lightModel->highlightValue = 90;
  s.highlightSpread = 140;
  editorApplyHighlight(&s, true);
  EXPECT_EQ(s.highlightSpread, 100);
  for (VxmModel* m : {s.model, s.lightModel}) {
    EXPECT_TRUE(m->highlight);
    EXPECT_EQ(m->highlightValue, 100);
  }
  s.highlightSpread = -3;
  editorApplyHighlight(&s, false);
  EXPECT_EQ(s.highlightSpread, 0);
  EXPECT_FALSE(s.model->highlight);
  EXPECT_EQ(s.model->highlightValue, 100);  // left as it was
}

TEST(EditorPreview, KeepsTheAspectCentredByHalvingShifts) {
  EditorRect r;
  editorFitPreview(100, 50, 96, 81, &r);  // wider than the area: full width
  EXPECT_EQ(r.width, 96);
  EXPECT_EQ(r.height, 48);
  EXPECT_EQ(r.top, (81 - 48) >> 1);
  editorFitPreview(10, 30, 96, 81, &r);  // taller: full height, width truncated
  EXPECT_EQ(r.height, 81);
  EXPECT_EQ(r.width, 27);
  EXPECT_EQ(r.left, (96 - 27) >> 1);
  editorFitPreview(0, 30, 96, 81, &r);
  EXPECT_EQ(r.width, 0);
  // Sides that do not divide exactly are truncated, not rounded: 96 / (100 / 30) = 28.8 and
  // 81 * 0.7 = 56.7.
  editorFitPreview(100, 30, 96, 81, &r);
  EXPECT_EQ(r.height, 28);
  EXPECT_EQ(r.top, 26);
  editorFitPreview(70, 100, 96, 81, &r);
  EXPECT_EQ(r.width, 56);
  EXPECT_EQ(r.left, 20);
}

TEST_F(EditorCore, TheLightModelIsACentredLatheAndTurnsTheLightByDrags) {
  float radius = 0;
  s.lightModel = editorMakeLightModel(&radius);
  ASSERT_NE(s.lightModel, nullptr);
  EXPECT_EQ(s.lightModel->vertexCount, 21 * 40);
  EXPECT_GT(s.lightModel->vertexNormalCount, 0);
  EXPECT_NEAR(radius, 1.0f, 0.01f);
  VxmVector centre;
  vxmModelGetCentre(s.lightModel, &centre);
  EXPECT_EQ(s.lightModel->matrix.m[10], -centre.y);
  VxmMatrix scale;
  editorLightViewScale(120, 90, radius, &scale);
  EXPECT_FLOAT_EQ(scale.m[0], (float)(90.0 / (radius * 1.1) * 0.5));
  // Primary: about Y by -dx/40 then about X by -dy/40; secondary: about Z; anything else: no turn.
  s.lightDirection = {0, 0, 1};
  EXPECT_TRUE(editorTurnLight(&s, 40, 0, EDITOR_MK_LBUTTON));
  EXPECT_NEAR(s.lightDirection.x, -std::sin(1.0), 1e-6);
  EXPECT_NEAR(s.lightDirection.z, std::cos(1.0), 1e-6);
  EXPECT_TRUE(s.lightsEdited);
  s.lightDirection = {0, 0, 1};  // dragged down (rows grow downwards): about X by -1
  EXPECT_TRUE(editorTurnLight(&s, 0, 40, EDITOR_MK_LBUTTON));
  EXPECT_NEAR(s.lightDirection.y, std::sin(1.0), 1e-6);
  EXPECT_NEAR(s.lightDirection.z, std::cos(1.0), 1e-6);
  s.lightDirection = {1, 0, 0};
  EXPECT_TRUE(editorTurnLight(&s, 20, 0, EDITOR_MK_RBUTTON));
  EXPECT_NEAR(std::atan2(s.lightDirection.y, s.lightDirection.x), -0.5, 1e-6);
  s.lightsEdited = false;
  const VxmVector before = s.lightDirection;
  EXPECT_FALSE(editorTurnLight(&s, 20, 7, EDITOR_MK_LBUTTON | EDITOR_MK_RBUTTON));
  EXPECT_EQ(std::memcmp(&before, &s.lightDirection, sizeof before), 0);
  EXPECT_FALSE(s.lightsEdited);
}

TEST(EditorTools, TheWholeFlagValueChoosesTheTool) {
  struct Case {
    ToolState current;
    EditMode mode;
    uint32_t flags;
    ToolState tool;
  };
  const Case cases[] = {
      {TOOL_IDLE, EDIT_COLOUR, 9, TOOL_PAINT},          {TOOL_IDLE, EDIT_COLOUR, 10, TOOL_PICK_COLOUR},
      {TOOL_IDLE, EDIT_COLOUR, 13, TOOL_IDLE},          {TOOL_IDLE, EDIT_COLOUR, 1, TOOL_ROTATE_XY},
      {TOOL_IDLE, EDIT_COLOUR, 2, TOOL_ROTATE_Z},       {TOOL_IDLE, EDIT_TEXTURE, 13, TOOL_MOVE_TEXTURE},
      {TOOL_IDLE, EDIT_TEXTURE, 14, TOOL_SCALE_TEXTURE}, {TOOL_IDLE, EDIT_TEXTURE, 9, TOOL_SELECT},
      {TOOL_IDLE, EDIT_TEXTURE, 10, TOOL_DESELECT},     {TOOL_IDLE, EDIT_LIGHTING, 9, TOOL_IDLE},
      {TOOL_IDLE, EDIT_LIGHTING, 1, TOOL_ROTATE_XY},    {TOOL_PAINT, EDIT_COLOUR, 5, TOOL_IDLE},
      {TOOL_SELECT_AREA, EDIT_TEXTURE, 1, TOOL_SELECT_AREA}, {TOOL_SELECT_AREA, EDIT_TEXTURE, 2, TOOL_DESELECT_AREA},
      {TOOL_SELECT_AREA, EDIT_TEXTURE, 9, TOOL_DESELECT_AREA}, {TOOL_COLOUR_AREA, EDIT_COLOUR, 2, TOOL_COLOUR_AREA},
  };
  for (const Case& c : cases)
    EXPECT_EQ(editorChooseTool(c.current, c.mode, c.flags), c.tool) << c.current << " " << c.mode << " " << c.flags;
  for (EditMode mode : {EDIT_COLOUR, EDIT_TEXTURE, EDIT_LIGHTING}) EXPECT_EQ(editorChooseTool(TOOL_IDLE, mode, 3), TOOL_IDLE);
  TraceCapture trace;
  EXPECT_EQ(editorChooseTool(TOOL_IDLE, (EditMode)7, 1), TOOL_IDLE);
  EXPECT_TRUE(trace.has("Invalid Mode"));
}

TEST(EditorTools, AnIdleMouseShowsTheToolItsModifiersWouldStart) {
  // Only exactly CTRL (with SHIFT in the Texture mode) changes the idle cursor; a tool in use
  // keeps its own, whatever the keys now are.
  struct Case {
    ToolState tool;
    EditMode mode;
    uint32_t flags;
    int32_t cursor;
    const char* status;
  };
  const Case cases[] = {
      {TOOL_IDLE, EDIT_COLOUR, 8, 153, EDITOR_STATUS_COLOUR},
      {TOOL_IDLE, EDIT_COLOUR, 9, 116, EDITOR_STATUS_ROTATE},
      {TOOL_IDLE, EDIT_TEXTURE, 8, 152, EDITOR_STATUS_SELECT},
      {TOOL_IDLE, EDIT_TEXTURE, 12, 155, EDITOR_STATUS_MOVE_TEXTURE},
      {TOOL_IDLE, EDIT_LIGHTING, 8, 116, EDITOR_STATUS_ROTATE},
      {TOOL_SCALE_TEXTURE, EDIT_TEXTURE, 0, 154, EDITOR_STATUS_MOVE_TEXTURE},
  };
  for (const Case& c : cases) {
    const char* status = nullptr;
    EXPECT_EQ(editorToolCursor(c.tool, c.mode, c.flags, &status), c.cursor) << c.tool << " " << c.flags;
    EXPECT_STREQ(status, c.status) << c.tool << " " << c.flags;
  }
}

TEST(EditorLayout, TheWorkspaceIsTheLargestSquareBesideTheToolsAndAboveTheStatusLine) {
  // A 600 x 400 client area with 105 pixels of mode window on the left and a tool window 160
  // wide: 330 across, 374 down; 300 high: 274 down; nothing left: 0.
  EXPECT_EQ(editorWorkspaceSide(600, 400, 105, 160), 330);
  EXPECT_EQ(editorWorkspaceSide(600, 300, 105, 160), 274);
  EXPECT_EQ(editorWorkspaceSide(200, 20, 105, 160), 0);
}

TEST_F(EditorCore, PaintingCommitsTheFacetAndPickingReadsTheAverageTexel) {
  ASSERT_TRUE(editorInstallModel(&s, makeSquare()));
  s.currentColour[0] = 1, s.currentColour[1] = 2, s.currentColour[2] = 3;
  bool title = false;
  EXPECT_TRUE(editorApplyFacetTool(&s, TOOL_PAINT, 1, &title));
  EXPECT_TRUE(title);
  EXPECT_EQ(s.model->tris[1].colour, 0x030201u);
  EXPECT_EQ(s.selection->savedTris[1].colour, 0x030201u);
  EXPECT_EQ(s.selection->savedTris[0].colour, 0x102030u);
  EXPECT_TRUE(editorApplyFacetTool(&s, TOOL_PAINT, 0, &title));
  EXPECT_FALSE(title);  // the title changes with the first edit only
  EXPECT_FALSE(editorApplyFacetTool(&s, TOOL_PAINT, 2, &title));  // no such facet
  // A textured facet gives the texel at the truncated averages of its corners' texels.
  VxmBitmap* t = vxmBitmapCreate(8, 8, 24);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t* texel = t->lineTable[y] + 3 * x;
      texel[0] = (uint8_t)(16 * y + x), texel[1] = 0, texel[2] = 0xAB;
    }
  VxmTri tri = s.model->tris[0];
  tri.texture = t;
  const int32_t uv[6] = {0 << 12, 1 << 12, 4 << 12 | 0xFFF, 2 << 12, 6 << 12, 6 << 12};  // u (0+4+6)/3, v (1+2+6)/3
  std::memcpy(tri.uv, uv, sizeof uv);
  EXPECT_EQ(editorPickedColour(&tri), 0xAB0000u | (16 * 3 + 3));
  tri.texture = nullptr;
  EXPECT_EQ(editorPickedColour(&tri), 0x030201u);  // the painted colour
  s.model->tris[0].texture = t;
  std::memcpy(s.model->tris[0].uv, uv, sizeof uv);
  editorApplyFacetTool(&s, TOOL_PICK_COLOUR, 0, nullptr);
  EXPECT_EQ(s.currentColour[0], 16 * 3 + 3);
  EXPECT_EQ(s.currentColour[2], 0xAB);
  s.model->tris[0].texture = nullptr;
  vxmBitmapFree(t);
}

TEST_F(EditorCore, ADragAcrossTheWorkspaceTurnsThreeRadiansAndArrowKeysLockAnAxis) {
  ASSERT_TRUE(editorInstallModel(&s, makeSquare()));
  VxmMatrix want, step;
  editorRotateDrag(&s, TOOL_ROTATE_XY, 1.0f, 0.0f, false, false);
  vxmMatRotateY(&want, -3.0f);
  vxmMatMultiplyInPlace(&want, vxmMatRotateX(&step, -0.0f));
  EXPECT_EQ(std::memcmp(&s.rotation, &want, sizeof want), 0);
  VxmMatrix model = s.baseMatrix;
  vxmMatMultiplyInPlace(&model, &want);
  EXPECT_EQ(std::memcmp(&s.model->matrix, &model, sizeof model), 0);
  // Up held: only the turn about X stays; Left held: only the turn about Y; Z turns by the
  // horizontal drag only.
  struct Turn {
    ToolState tool;
    float dx, dy;
    bool up, left;
    VxmMatrix* (*rotate)(VxmMatrix*, float);
    float angle;
  };
  const Turn turns[] = {{TOOL_ROTATE_XY, 0.25f, 0.5f, true, false, vxmMatRotateX, -1.5f},
                        {TOOL_ROTATE_XY, 0.25f, 0.5f, false, true, vxmMatRotateY, -0.75f},
                        {TOOL_ROTATE_Z, 0.5f, 0.9f, false, false, vxmMatRotateZ, -1.5f}};
  for (const Turn& t : turns) {
    vxmMatIdentity(&s.rotation);
    editorRotateDrag(&s, t.tool, t.dx, t.dy, t.up, t.left);
    t.rotate(&want, t.angle);
    EXPECT_EQ(std::memcmp(&s.rotation, &want, sizeof want), 0) << t.tool << " " << t.up << t.left;
  }
}

TEST_F(EditorCore, TexturePlacementStartsOneTexelPerPixelAndDragsKeepItsLimits) {
  VxmModel* m = makeSquare();
  ASSERT_TRUE(editorInstallModel(&s, m));
  ASSERT_TRUE(vxmModelAddTexture(m, "unused") == false);  // no file: no slot
  VxmBitmap* t = vxmBitmapCreate(256, 128, 24);
  m->textures[0].bitmap = t;
  m->textureCount = 1;
  editorResetTexturePlacement(&s, 0);
  EXPECT_EQ(s.currentTexture, 0);
  EXPECT_FLOAT_EQ(s.texScale, 1.0f / 300);
  EXPECT_EQ(s.texCentreX, 150);
  EXPECT_EQ(s.texDrawnWidth, 256);
  EXPECT_EQ(s.texDrawnHeight, 128);
  editorMoveTexture(&s, 0.75f, -0.2f);  // right is held at 1; y runs upwards
  EXPECT_EQ(s.texPosX, 1.0f);
  EXPECT_FLOAT_EQ(s.texPosY, 0.7f);
  EXPECT_EQ(s.texCentreX, 300);
  editorScaleTexture(&s, -1000.0f, 0.0f);  // never down to zero
  EXPECT_EQ(s.texScale, EDITOR_MIN_TEX_SCALE);
  s.wrapMode = true;
  editorMoveTexture(&s, 2.5f, 0.0f);  // the wrap offset has no limit
  EXPECT_EQ(s.texWrapOffset, 2.5f);
  EXPECT_EQ(s.texWrapPixels, 750);
  editorScaleTexture(&s, -5.0f, 0.25f);
  EXPECT_EQ(s.texWrapScaleU, EDITOR_MIN_WRAP_SCALE);
  EXPECT_EQ(s.texWrapScaleV, 1.25f);
  // The preview never accumulates: applied twice, the facets read the same.
  vxmRenderInit();
  vxmRenderSetViewMatrix(&s.viewScale);
  vxmSelectionSelectAll(s.selection);
  s.wrapMode = false;
  editorResetTexturePlacement(&s, 0);
  editorScaleTexture(&s, 256.0f * (1.0f / 300), 0.0f);  // two pixels a texel: 512 by 256 covers the square
  editorApplyTexturePreview(&s);
  std::vector<VxmTri> once(m->tris, m->tris + m->triCount);
  editorApplyTexturePreview(&s);
  EXPECT_EQ(std::memcmp(once.data(), m->tris, sizeof(VxmTri) * m->triCount), 0);
  EXPECT_EQ(m->tris[0].texture, t);
  EXPECT_EQ(s.selection->savedTris[0].texture, nullptr);  // a preview, not committed
  vxmSelectionRestoreTris(s.selection);
  vxmRenderShutdown();
}

TEST_F(EditorCore, NewStripsTheModelAndColourAllCommits) {
  VxmModel* m = makeSquare();
  m->textures[0].bitmap = vxmBitmapCreate(2, 2, 24);
  std::strcpy(m->textures[0].path, "x.bmp");
  m->textures[0].name = m->textures[0].path;
  m->textureCount = 1;
  m->tris[1].texture = m->textures[0].bitmap;
  editorMakeUntitled(m);
  EXPECT_STREQ(m->fileName, "Untitled.vxm");
  EXPECT_EQ(m->textureCount, 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m->tris[i].colour, VXM_DEFAULT_COLOUR);
    EXPECT_EQ(m->tris[i].texture, nullptr);
  }
  ASSERT_TRUE(editorInstallModel(&s, m));
  EXPECT_FLOAT_EQ(s.modelRadius, std::sqrt(2.0f));
  editorColourAll(&s);
  EXPECT_TRUE(s.modelEdited);
  EXPECT_EQ(s.selection->savedTris[1].colour, 0xC8C8C8u);
}

TEST(EditorClipboard, TheBlockIsAHeaderThenTheRowsBottomFirst) {
  VxmBitmap* b = vxmBitmapCreate(3, 2, 24);
  for (int i = 0; i < b->bitsSize; ++i) b->bits[i] = (uint8_t)(i + 1);
  const uint32_t size = editorDibSize(b);
  EXPECT_EQ(size, (uint32_t)(12 * 2 + 44));
  std::vector<uint8_t> block(size, 0xEE);
  ASSERT_TRUE(editorWriteDib(b, block.data(), size));
  const uint8_t header[16] = {40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  EXPECT_EQ(std::memcmp(block.data(), header, 16), 0);
  for (int i = 16; i < 40; ++i) EXPECT_EQ(block[i], 0) << i;
  EXPECT_EQ(std::memcmp(block.data() + 40, b->bits, 24), 0);
  for (uint32_t i = 64; i < size; ++i) EXPECT_EQ(block[i], 0) << i;  // zeroed, not stale
  EXPECT_FALSE(editorWriteDib(b, block.data(), size - 1));
  vxmBitmapFree(b);
}

}  // namespace

// An area drag that leaves the workspace ends on its nearest edge pixel; inside it nothing moves.
TEST(EditorWorkspace, APointOutsideIsClampedToTheNearestEdgePixel) {
  EditorState state = {};
  state.workspaceRect = {30, 5, 330, 305, 300, 300};
  const int cases[][4] = {{29, 4, 30, 5},       {330, 305, 329, 304}, {-500, 150, 30, 150},
                          {180, 9000, 180, 304}, {31, 6, 31, 6},       {329, 304, 329, 304}};
  for (const auto& c : cases) {
    int32_t x = c[0], y = c[1];
    editorClampToWorkspace(&state, &x, &y);
    EXPECT_EQ(x, c[2]) << c[0] << "," << c[1];
    EXPECT_EQ(y, c[3]) << c[0] << "," << c[1];
    EXPECT_TRUE(editorInWorkspace(&state, x, y));
  }
}

// Save writes in place only to a model's own VXM file; Save As starts in the model's folder.
TEST(EditorSave, OnlyAModelsOwnVxmFileIsSavedInPlaceAndSaveAsStartsBesideIt) {
  VxmModel model = {};
  const struct {
    const char* fileName;
    bool own;
    const char* folder;
  } rows[] = {
      {"C:\\Users\\me\\cube.vxm", true, "C:\\Users\\me\\"},
      {"C:\\Users\\me\\CUBE.VXM", true, "C:\\Users\\me\\"},
      {"C:\\Users\\me\\scan.3ds", false, "C:\\Users\\me\\"},  // imported: Save As, beside it
      {"C:\\Users\\me\\cube.vxm.bak", false, "C:\\Users\\me\\"},
      {EDITOR_UNTITLED, false, "D:\\Quirla\\Models\\"},
      {"cube.vxm", true, "D:\\Quirla\\Models\\"},
  };
  for (const auto& row : rows) {
    std::snprintf(model.fileName, sizeof model.fileName, "%s", row.fileName);
    EXPECT_EQ(editorHasOwnFile(&model), row.own) << row.fileName;
    char folder[EDITOR_PATH_LENGTH];
    editorModelFolder(&model, "D:\\Quirla\\", folder, sizeof folder);
    EXPECT_STREQ(folder, row.folder) << row.fileName;
  }
  EXPECT_FALSE(editorHasOwnFile(nullptr));
}

// The zoom keeps the canvas point under the pointer where it is, within 1x..8x and the canvas cap;
// panning stays inside the canvas; a client point maps to the canvas pixel shown there.
TEST(EditorZoom, ThePointUnderThePointerStaysAndTheViewStaysOnTheCanvas) {
  EXPECT_EQ(editorCanvasSide(300, 0.5), 300);
  EXPECT_EQ(editorCanvasSide(300, 2.5), 750);
  EXPECT_EQ(editorCanvasSide(300, 100.0), EDITOR_MAX_CANVAS);  // 8x would pass the cap
  EXPECT_EQ(editorCanvasSide(200, 100.0), 1600);               // 8x
  EXPECT_EQ(editorCanvasSide(3000, 2.0), 3000);                // no zoom past the cap at all
  EditorState s;
  editorResetState(&s);
  s.workspaceRect = {100, 5, 400, 305, 300, 300};
  s.workspaceBitmap = vxmBitmapCreate(300, 300, 24);
  ASSERT_NE(s.workspaceBitmap, nullptr);
  int32_t bx, by, ox, oy;
  // The canvas pixel under (x, y) before and after zooming about it: the same fraction of the canvas.
  const int32_t x = 130, y = 250;
  editorBitmapPoint(&s, x, y, &bx, &by);
  EXPECT_EQ(bx, 30);
  EXPECT_EQ(by, 55);
  ASSERT_TRUE(editorZoomAbout(&s, 4.0, x, y));
  ASSERT_TRUE(vxmBitmapSetSize(s.workspaceBitmap, 1200, 1200, 24));
  EXPECT_DOUBLE_EQ(s.zoom, 4.0);
  editorBitmapPoint(&s, x, y, &bx, &by);
  EXPECT_EQ(bx, 120);  // 30 * 4
  EXPECT_EQ(by, 220);  // 55 * 4
  EXPECT_FALSE(editorZoomAbout(&s, 4.0, x, y));  // no change
  // A pan past the canvas's edge stops there: the view's top left is the canvas's.
  editorPan(&s, 5000, 5000);
  editorViewOrigin(&s, &ox, &oy);
  EXPECT_EQ(ox, 0);
  EXPECT_EQ(oy, 0);
  editorPan(&s, -10000, -10000);
  editorViewOrigin(&s, &ox, &oy);
  EXPECT_EQ(ox, 900);
  EXPECT_EQ(oy, 900);
  editorBitmapPoint(&s, 399, 304, &bx, &by);  // the workspace's last pixel is the canvas's
  EXPECT_EQ(bx, 1199);
  EXPECT_EQ(by, 1);
  char text[32];
  editorZoomText(&s, text, sizeof text);
  EXPECT_STREQ(text, "Zoom 400%");
  vxmBitmapFree(s.workspaceBitmap);
}

// Every pixel size of the layout scales by DPI / 96 as MulDiv rounds it; at 96 nothing changes.
TEST(EditorDpi, LayoutSizesScaleByTheDisplaysDpi) {
  const struct {
    int32_t pixels, dpi, scaled;
  } rows[] = {{640, 96, 640}, {640, 144, 960}, {440, 192, 880}, {5, 144, 8},  // 7.5 rounds up
              {26, 120, 33},  {16, 72, 12},   {-6, 144, -9},   {5, 0, 5}};
  for (const auto& r : rows) EXPECT_EQ(editorScalePixels(r.pixels, r.dpi), r.scaled) << r.pixels << "@" << r.dpi;
  // The workspace's margins scale with it: min(W - tools - left - 5, H - 26) at 96.
  EXPECT_EQ(editorWorkspaceSide(800, 500, 100, 200, 96), 474);
  EXPECT_EQ(editorWorkspaceSide(1200, 750, 150, 300, 144), 711);  // 750 - 39
  EditorRect status, progress;
  editorStatusRects(960, 660, &status, &progress, 144);
  EXPECT_EQ(status.top, 660 - 24);
  EXPECT_EQ(progress.height, 24);
}
