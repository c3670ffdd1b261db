// render_setup_test.cpp: the renderer's life cycle, matrices, work buffers and their growth,
// every failure with its exact messages, the single-facet redraw, the depth clears and the
// fitting of a model into a square.
#include <gtest/gtest.h>

#include <cmath>

#include "RenderTestScene.h"
#include "TestSupport.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

using Messages = std::vector<std::string>;

static const std::vector<TestCorner> kReference = {{10, 10, 5}, {10, 20, 5}, {20, 15, 5}};

// A model of `vertices` vertices (with as many normals when asked) and `tris` facets facing the
// viewer, all inside a 40 x 30 target.
static TestModel bigModel(int32_t vertices, int32_t tris, bool normals) {
  TestModel model(vxmModelCreate(vertices, normals ? vertices : 0, tris));
  if (!model) return model;
  for (int32_t i = 0; i < vertices; ++i) {
    model->vertices[i] = {(float)(i % 30) - 15.0f, (float)(i / 30 % 20) - 10.0f, 1.0f};
    if (normals) model->vertexNormals[i] = {0.0f, 0.0f, -1.0f};
  }
  for (int32_t t = 0; t < tris; ++t) {
    const int32_t a = t % (vertices - 31);
    model->tris[t].v[0] = a;
    model->tris[t].v[1] = a + 30;
    model->tris[t].v[2] = a + 1;
    model->tris[t].normal = {0.0f, 0.0f, -1.0f};
    for (int k = 0; normals && k < 3; ++k) model->tris[t].n[k] = model->tris[t].v[k];
  }
  return model;
}

static VxmRenderLimits limits() {
  VxmRenderLimits l;
  vxmRenderGetLimits(&l);
  return l;
}

static void expectWarnedOutOfMemory() {
#if !defined(_WIN32)
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->title, "Warning");
  EXPECT_STREQ(appHostLastBox()->text, "Out of Memory!");
#endif
}

class SetupTest : public RenderTest {};

TEST(RenderLifeTest, EveryOperationBeforeInitialisationIsRefused) {
  TraceCapture trace;
  VxmMatrix m;
  vxmMatIdentity(&m);
  VxmBitmap* bitmap = vxmBitmapCreate(4, 4, 24);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  vxmRenderShutdown();
  vxmRenderClearDepth();
  vxmRenderClearDepthRect(0, 0, 4, 4);
  EXPECT_TRUE(trace.lines.empty());
  vxmRenderSetTarget(bitmap);
  vxmRenderSetViewMatrix(&m);
  vxmRenderGetViewMatrix(&m);
  vxmRenderGetScreenMatrix(&m);
  vxmRenderSetState(3);
  EXPECT_EQ(vxmRenderGetState(), 0);
  EXPECT_FALSE(vxmRenderModel(model.get()));
  EXPECT_FALSE(vxmRenderModelTri(model.get(), 0));
  vxmRenderInvertRect(0, 0, 3, 3);
  vxmRenderHighlightTri(0, 0, 0, 3, 3, 1, 0xFF0000);
  Messages expected(9, "Renderer is not initialised");
  expected.push_back("Renderer not initialised");
  EXPECT_EQ(trace.messages(), expected);
  vxmBitmapFree(bitmap);
}

TEST_F(SetupTest, InitialisationSetsTheDefaults) {
  start(40, 30);
  EXPECT_EQ(vxmRenderGetState(), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH);
  EXPECT_EQ(vxmLightGetAmbient(), 0xFFFFFFu);
  EXPECT_EQ(vxmLightGetDirectional(), 0x7F7F7Fu);
  VxmVector light;
  vxmLightGetDirection(&light);
  EXPECT_EQ(light.x, 0.0f);
  EXPECT_EQ(light.y, 0.0f);
  EXPECT_EQ(light.z, 1.0f);
  VxmMatrix view, screen;
  vxmRenderGetViewMatrix(&view);
  vxmRenderGetScreenMatrix(&screen);
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const float centred[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 20, 15, 0};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(view.m[i], identity[i]) << i;
    EXPECT_EQ(screen.m[i], centred[i]) << i;
  }
  const VxmRenderLimits l = limits();
  EXPECT_EQ(l.maxViewVertices, 100);
  EXPECT_EQ(l.maxVertexShades, 100);
  EXPECT_EQ(l.maxRenderTris, 100);
  EXPECT_EQ(l.maxScanlines, 100);
  EXPECT_TRUE(l.viewVertices && l.vertexShades && l.renderTris && l.scanlines);
  EXPECT_TRUE(l.depthWanted);
  EXPECT_TRUE(l.depthBuffer);
}

TEST_F(SetupTest, ViewMatrixRebuildsTheScreenMatrix) {
  start(200, 100);
  VxmMatrix scale, screen, back;
  vxmMatScale(&scale, 2.0f, 3.0f, 4.0f);
  vxmRenderSetViewMatrix(&scale);
  vxmRenderGetViewMatrix(&back);
  vxmRenderGetScreenMatrix(&screen);
  const float expected[12] = {2, 0, 0, 0, 3, 0, 0, 0, 4, 100, 50, 0};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(back.m[i], scale.m[i]) << i;
    EXPECT_EQ(screen.m[i], expected[i]) << i;
  }
  // A new target size moves the centre.
  TestBitmap other(vxmBitmapCreate(31, 17, 24));
  vxmRenderSetTarget(other.get());
  vxmRenderGetScreenMatrix(&screen);
  EXPECT_EQ(screen.m[9], 15.5f);
  EXPECT_EQ(screen.m[10], 8.5f);
  EXPECT_EQ(screen.m[0], 2.0f);
}

TEST_F(SetupTest, MissingArgumentsAreInvalidParameters) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  TraceCapture trace;
  vxmRenderSetTarget(nullptr);
  vxmRenderSetViewMatrix(nullptr);
  vxmRenderGetViewMatrix(nullptr);
  vxmRenderGetScreenMatrix(nullptr);
  EXPECT_FALSE(vxmRenderModel(nullptr));
  EXPECT_FALSE(vxmRenderModelTri(nullptr, 0));
  EXPECT_FALSE(vxmRenderModelTri(model.get(), -1));
  EXPECT_FALSE(vxmRenderModelTri(model.get(), 1));  // = triCount
  EXPECT_EQ(trace.messages(), Messages(8, "Invalid Parameters"));
  EXPECT_EQ(testCountNot(target, kBackground), 0);
}

TEST_F(SetupTest, ModelsWithoutVerticesOrFacetsAreInvalid) {
  start(40, 30);
  TestModel real = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  VxmModel noVertices = *real, noTris = *real, noTable = *real, badNormals = *real;
  noVertices.vertexCount = 0;
  noTris.triCount = 0;
  noTable.tris = nullptr;
  badNormals.vertexNormalCount = 3;  // but no table
  TraceCapture trace;
  for (VxmModel* m : {&noVertices, &noTris, &noTable, &badNormals}) {
    EXPECT_FALSE(vxmRenderModel(m));
    EXPECT_FALSE(vxmRenderModelTri(m, 0));
  }
  EXPECT_EQ(trace.messages(), Messages(8, "Invalid Model"));
  EXPECT_EQ(testCountNot(target, kBackground), 0);
}

TEST_F(SetupTest, FacetsNamingNoVertexAreNeverDrawn) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}, {0, 1, 2}}, 40, 30, 0xFF0000);
  model->tris[1].v[2] = 3;  // one past the table
  model->tris[1].colour = 0x00FF00;
  vxmRenderSetState(VXM_RENDER_COLOUR);
  TraceCapture trace;
  EXPECT_TRUE(vxmRenderModel(model.get()));
  EXPECT_EQ(testPixel(target, 12, 15), 0xFF0000u);
  EXPECT_EQ(limits().renderTriCount, 1);
  EXPECT_FALSE(vxmRenderModelTri(model.get(), 1));
  EXPECT_EQ(trace.messages(), Messages{"Invalid Model"});
}

TEST_F(SetupTest, FramesNeedATargetInWorkingForm) {
  ASSERT_NO_FATAL_FAILURE(start(40, 30));
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  // Started without a target.
  vxmRenderShutdown();
  ASSERT_TRUE(vxmRenderInit());
  TraceCapture trace;
  EXPECT_FALSE(vxmRenderModel(model.get()));
  // The target resized behind the renderer's back: its old rows are gone.
  vxmRenderSetTarget(target);
  ASSERT_TRUE(vxmBitmapSetSize(target, 20, 30, 24));
  EXPECT_FALSE(vxmRenderModel(model.get()));
  EXPECT_FALSE(vxmRenderModelTri(model.get(), 0));
  // An 8-bit target would be written three bytes a pixel past its rows.
  TestBitmap eightBit(vxmBitmapCreate(40, 30, 8));
  vxmRenderSetTarget(eightBit.get());
  EXPECT_FALSE(vxmRenderModel(model.get()));
  EXPECT_EQ(trace.messages(), Messages(4, "Invalid render state"));
  trace.clear();
  vxmRenderSetTarget(target);
  vxmRenderClearDepth();
  EXPECT_TRUE(vxmRenderModel(model.get()));
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SetupTest, InitialisationFailuresReportTheLimitAndReleaseEverything) {
  testQuietBoxes();
  const long live = vxmMemLiveBlocks();
  const char* limitsInOrder[4] = {"Failed to set maximum view vertices", "Failed to set maximum vertex shades",
                                  "Failed to set maximum scanlines", "Failed to set maximum render tris"};
  for (int failing = 0; failing < 4; ++failing) {
    TraceCapture trace;
    testQuietBoxes();
    vxmMemFailAfter(failing);
    EXPECT_FALSE(vxmRenderInit());
    EXPECT_EQ(trace.messages(), Messages({"Out of Memory!", limitsInOrder[failing]}));
    expectWarnedOutOfMemory();
    EXPECT_EQ(vxmMemLiveBlocks(), live);
    trace.clear();
    vxmRenderSetState(1);  // still uninitialised
    EXPECT_EQ(trace.messages(), Messages{"Renderer is not initialised"});
  }
  vxmMemFailAfter(-1);
  EXPECT_TRUE(vxmRenderInit());
  EXPECT_TRUE(vxmRenderInit());  // again: starts afresh without leaking
  vxmRenderShutdown();
  EXPECT_EQ(vxmMemLiveBlocks(), live);
  liveBefore = live;
}

TEST_F(SetupTest, BuffersGrowToTheModelAndNeverShrink) {
  start(40, 30);
  TestModel big = bigModel(150, 300, true);
  TestModel small = bigModel(50, 60, true);
  vxmRenderSetState(VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH);
  ASSERT_TRUE(vxmRenderModel(big.get()));
  VxmRenderLimits l = limits();
  EXPECT_EQ(l.maxViewVertices, 150);
  EXPECT_EQ(l.maxVertexShades, 150);
  EXPECT_EQ(l.maxRenderTris, 300);
  EXPECT_EQ(l.renderTriCount, 300);
  EXPECT_GT(testCountNot(target, kBackground), 100);
  ASSERT_TRUE(vxmRenderModel(small.get()));
  l = limits();
  EXPECT_EQ(l.maxViewVertices, 150);
  EXPECT_EQ(l.maxVertexShades, 150);
  EXPECT_EQ(l.maxRenderTris, 300);
  EXPECT_EQ(l.renderTriCount, 60);

  // Steady state: no frame allocates, whatever the state.
  const long allocations = vxmMemAllocations();
  for (int32_t state = 0; state < 16; ++state) {
    vxmRenderSetState(state);
    clear();
    ASSERT_TRUE(vxmRenderModel(big.get()));
    ASSERT_TRUE(vxmRenderModelTri(big.get(), 7));
  }
  EXPECT_EQ(vxmMemAllocations(), allocations);
}

TEST_F(SetupTest, FailedGrowthLeavesTheBufferMissingUntilRestarted) {
  start(40, 30);
  testQuietBoxes();
  struct Case {
    int32_t vertices, tris;
    long failAfter;
    const char* message;
    int32_t VxmRenderLimits::*capacity;
    bool VxmRenderLimits::*present;
    int32_t wanted;
  };
  const Case cases[] = {
      {150, 60, 0, "Failed to set maximum view vertices", &VxmRenderLimits::maxViewVertices,
       &VxmRenderLimits::viewVertices, 150},
      {150, 60, 1, "Failed to set maximum vertex shades", &VxmRenderLimits::maxVertexShades,
       &VxmRenderLimits::vertexShades, 150},
      {50, 300, 0, "Failed to set maximum render tris", &VxmRenderLimits::maxRenderTris,
       &VxmRenderLimits::renderTris, 300},
  };
  TestModel small = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  for (const Case& c : cases) {
    vxmRenderShutdown();  // fresh buffers of 100 each
    ASSERT_TRUE(vxmRenderInit());
    vxmRenderSetTarget(target);
    TestModel model = bigModel(c.vertices, c.tris, true);
    TraceCapture trace;
    testQuietBoxes();
    vxmMemFailAfter(c.failAfter);
    EXPECT_FALSE(vxmRenderModel(model.get()));
    vxmMemFailAfter(-1);
    EXPECT_EQ(trace.messages(), Messages({"Out of Memory!", c.message}));
    expectWarnedOutOfMemory();
    const VxmRenderLimits l = limits();
    EXPECT_EQ(l.*(c.capacity), c.wanted) << c.message;  // recorded before the allocation
    EXPECT_FALSE(l.*(c.present)) << c.message;
    trace.clear();
    EXPECT_FALSE(vxmRenderModel(small.get()));
    EXPECT_FALSE(vxmRenderModelTri(small.get(), 0));
    // The editor's rubber band and highlight use none of these buffers: they still draw.
    clear();
    vxmRenderInvertRect(3, 2, 9, 7);
    EXPECT_EQ(testCountNot(target, kBackground), 10) << c.message;
    vxmRenderHighlightTri(10, 10, 10, 20, 20, 15, 0x00FF00);
    EXPECT_GT(testCountNot(target, kBackground), 10) << c.message;
    EXPECT_EQ(trace.messages(), Messages(2, "Invalid render state"));
    // Shut down and started again, the renderer works.
    vxmRenderShutdown();
    ASSERT_TRUE(vxmRenderInit());
    vxmRenderSetTarget(target);
    clear();
    EXPECT_TRUE(vxmRenderModel(model.get()));
  }
}

TEST_F(SetupTest, ModelTriIsRefusedAfterAFailedGrowth) {
  start(40, 30);
  testQuietBoxes();
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  TestModel big = bigModel(150, 60, true);
  ASSERT_TRUE(vxmRenderModel(big.get()));
  // Break the view vertices by a failed growth; ModelTri is then refused too.
  TestModel bigger = bigModel(200, 60, true);
  TraceCapture trace;
  vxmMemFailAfter(0);
  EXPECT_FALSE(vxmRenderModel(bigger.get()));
  vxmMemFailAfter(-1);
  trace.clear();
  EXPECT_FALSE(vxmRenderModelTri(model.get(), 0));
  EXPECT_EQ(trace.messages(), Messages{"Invalid render state"});
}

TEST_F(SetupTest, WithoutADepthBufferFramesAreDrawnUntested) {
  ASSERT_NO_FATAL_FAILURE(start(40, 30));
  testQuietBoxes();
  // Facet 0 far (red), facet 1 near (green): the list is drawn from its end, so facet 0 comes
  // last and only the depth test keeps it behind.
  TestModel model = testPixelModel({{10, 10, 9}, {10, 20, 9}, {20, 15, 9}, {10, 10, 1}, {10, 20, 1}, {20, 15, 1}},
                                   {{0, 1, 2}, {3, 4, 5}}, 40, 30, 0x00FF00);
  model->tris[0].colour = 0xFF0000;
  vxmRenderSetState(VXM_RENDER_COLOUR);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  EXPECT_EQ(testPixel(target, 12, 15), 0x00FF00u);

  for (long failing : {0L, 1L}) {  // the buffer, then its row table
    vxmRenderShutdown();
    ASSERT_TRUE(vxmRenderInit());
    TestBitmap tall(vxmBitmapCreate(40, 150, 24));
    testFill(tall.get(), kBackground);
    TraceCapture trace;
    testQuietBoxes();
    vxmMemFailAfter(failing);
    vxmRenderSetTarget(tall.get());
    vxmMemFailAfter(-1);
    EXPECT_EQ(trace.messages(), Messages{"Out of Memory!"});
    expectWarnedOutOfMemory();
    VxmRenderLimits l = limits();
    EXPECT_FALSE(l.depthWanted);
    EXPECT_FALSE(l.depthBuffer);
    // The scanlines and the screen matrix still follow the new target.
    EXPECT_EQ(l.maxScanlines, 150);
    VxmMatrix screen;
    vxmRenderGetScreenMatrix(&screen);
    EXPECT_EQ(screen.m[10], 75.0f);

    TestModel onTall = testPixelModel({{10, 10, 9}, {10, 20, 9}, {20, 15, 9}, {10, 10, 1}, {10, 20, 1}, {20, 15, 1}},
                                      {{0, 1, 2}, {3, 4, 5}}, 40, 150, 0x00FF00);
    onTall->tris[0].colour = 0xFF0000;
    vxmRenderSetState(VXM_RENDER_COLOUR);
    vxmRenderClearDepth();
    EXPECT_TRUE(vxmRenderModel(onTall.get()));
    EXPECT_EQ(testPixel(tall.get(), 12, 15), 0xFF0000u);
    EXPECT_EQ(testCountNot(tall.get(), kBackground), 51);
    // A depth buffer once given up is not tried again for other sizes.
    vxmRenderSetTarget(target);
    EXPECT_FALSE(limits().depthBuffer);
    vxmRenderSetTarget(tall.get());
  }
  vxmRenderSetTarget(target);
}

TEST_F(SetupTest, ScanlinesThatCannotGrowStopFrames) {
  start(40, 30);
  testQuietBoxes();
  TestBitmap tall(vxmBitmapCreate(40, 150, 24));
  TraceCapture trace;
  testQuietBoxes();
  vxmMemFailAfter(2);  // depth buffer, its rows, then the scanlines
  vxmRenderSetTarget(tall.get());
  vxmMemFailAfter(-1);
  EXPECT_EQ(trace.messages(), Messages{"Out of Memory!"});
  EXPECT_TRUE(limits().depthBuffer);
  EXPECT_FALSE(limits().scanlines);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 150);
  trace.clear();
  EXPECT_FALSE(vxmRenderModel(model.get()));
  vxmRenderHighlightTri(10, 10, 10, 20, 20, 15, 0xFF);
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid render state"));
  // The rubber band needs no scanlines.
  testFill(tall.get(), kBackground);
  vxmRenderInvertRect(3, 2, 9, 7);
  EXPECT_EQ(testCountNot(tall.get(), kBackground), 10);
  EXPECT_EQ(trace.messages().size(), 2u);
}

TEST_F(SetupTest, ModelTriRedrawsOneFacetOverTheLastFrame) {
  start(40, 30);
  // Facet 0 far and red, facet 1 near and green over the same pixels, facet 2 elsewhere.
  TestModel model = testPixelModel({{10, 10, 9}, {10, 20, 9}, {20, 15, 9}, {10, 10, 1}, {10, 20, 1}, {20, 15, 1},
                                    {25, 2, 5}, {25, 12, 5}, {35, 7, 5}},
                                   {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}, 40, 30, 0x00FF00, true);
  model->tris[0].colour = 0xFF0000;
  vxmRenderSetState(VXM_RENDER_COLOUR);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  EXPECT_EQ(testPixel(target, 12, 15), 0x00FF00u);
  testSetPixel(target, 30, 7, 0x0000FF);  // a mark inside facet 2 that only a full frame repaints

  ASSERT_TRUE(vxmRenderModelTri(model.get(), 0));
  EXPECT_EQ(testPixel(target, 12, 15), 0xFF0000u);  // depths of its rectangle were cleared
  EXPECT_EQ(testPixel(target, 30, 7), 0x0000FFu);
  // The whole facet came back over the nearer one: no green is left in its rectangle.
  for (const std::string& row : testPicture(target, 10, 10, 20, 20, kBackground, 0xFF0000))
    EXPECT_EQ(row.find('?'), std::string::npos) << row;
  int red = 0;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) red += testPixel(target, x, y) == 0xFF0000;
  EXPECT_EQ(red, 51);

  // A facet turned away is not drawn, and that is no failure.
  model->tris[2].normal = {0.0f, 0.0f, 1.0f};
  model->tris[2].colour = 0xFFFF00;
  EXPECT_TRUE(vxmRenderModelTri(model.get(), 2));
  EXPECT_EQ(testPixel(target, 30, 7), 0x0000FFu);

  // Smooth: the corner shades come from the facet's own normal indices...
  vxmRenderSetState(VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH);
  model->tris[0].colour = 0;
  ASSERT_TRUE(vxmRenderModelTri(model.get(), 0));
  EXPECT_EQ(testPixel(target, 12, 15), 0x3F3F3Fu);  // intensity 128: 63
  // ...and a facet without them turns smooth shading off for good.
  for (int k = 0; k < 3; ++k) model->tris[0].n[k] = -1;
  model->tris[0].colour = 0x123456;
  ASSERT_TRUE(vxmRenderModelTri(model.get(), 0));
  EXPECT_EQ(testPixel(target, 12, 15), 0x123456u);
  EXPECT_EQ(vxmRenderGetState(), VXM_RENDER_COLOUR);
}

TEST_F(SetupTest, DepthRectangleIsClippedToTheTarget) {
  start(40, 30);
  // A quad over the whole target at depth 5, then the same quad at depth 9: the far one shows
  // only where the depths were cleared in between.
  auto quad = [&](float depth, uint32_t colour) {
    return testPixelModel({{0, 0, depth}, {0, 29, depth}, {39, 29, depth}, {39, 0, depth}},
                          {{0, 1, 2}, {0, 2, 3}}, 40, 30, colour);
  };
  TestModel nearQuad = quad(5, 0x00FF00), farQuad = quad(9, 0xFF0000);
  vxmRenderSetState(VXM_RENDER_COLOUR);
  auto farPixels = [&](int32_t x, int32_t y, int32_t w, int32_t h) {
    clear();
    EXPECT_TRUE(vxmRenderModel(nearQuad.get()));
    vxmRenderClearDepthRect(x, y, w, h);
    EXPECT_TRUE(vxmRenderModel(farQuad.get()));
    std::vector<std::string> rows = testPicture(target, 0, 0, 39, 29, 0x00FF00, 0xFF0000);
    return rows;
  };
  // Columns -3..4 and rows -2..3: the part inside is columns 0..4, rows 0..3.
  std::vector<std::string> rows = farPixels(-3, -2, 8, 6);
  for (int32_t y = 0; y < 29; ++y)
    for (int32_t x = 0; x < 39; ++x)
      EXPECT_EQ(rows[29 - y][x], (x <= 4 && y <= 3) ? '#' : '.') << x << "," << y;
  // Past the right and top edges: columns 35..38 and rows 25..28 are drawn (the quad leaves
  // out column 39 and row 29).
  rows = farPixels(35, 25, 100, 100);
  for (int32_t y = 0; y < 29; ++y)
    for (int32_t x = 0; x < 39; ++x)
      EXPECT_EQ(rows[29 - y][x], (x >= 35 && y >= 25) ? '#' : '.') << x << "," << y;
  // Nothing left after the cut.
  rows = farPixels(-3, 0, 2, 30);
  for (const std::string& row : rows) EXPECT_EQ(row.find('#'), std::string::npos);
}

TEST(RenderFitTest, ModelIsTurnedAboutItsCentreAndScaledIntoTheCircle) {
  TestModel model(vxmModelCreate(3, 0, 1));
  model->vertices[0] = {-1.0f, -1.0f, -1.0f};
  model->vertices[1] = {3.0f, 1.0f, 1.0f};
  model->vertices[2] = {1.0f, 0.0f, 0.0f};
  VxmRenderFit fit;
  ASSERT_TRUE(vxmRenderFitModel(model.get(), 63, &fit));
  EXPECT_EQ(fit.centre.x, 1.0f);
  EXPECT_EQ(fit.centre.y, 0.0f);
  EXPECT_EQ(fit.centre.z, 0.0f);
  EXPECT_FLOAT_EQ(fit.radius, std::sqrt(6.0f));
  EXPECT_EQ(fit.screenRadius, 29);  // trunc(31 * 0.952381)
  EXPECT_EQ(fit.scale, (float)(31.0 / ((double)fit.radius * (double)1.05f)));
  EXPECT_EQ(fit.base.m[9], -1.0f);
  EXPECT_EQ(fit.base.m[0], 1.0f);
  EXPECT_EQ(fit.view.m[0], fit.scale);
  EXPECT_EQ(fit.view.m[4], fit.scale);
  EXPECT_EQ(fit.view.m[8], fit.scale);
  EXPECT_EQ(fit.view.m[9], 0.0f);
  ASSERT_TRUE(vxmRenderFitModel(model.get(), 127, &fit));
  EXPECT_EQ(fit.screenRadius, 60);
  ASSERT_TRUE(vxmRenderFitModel(model.get(), 204, &fit));
  EXPECT_EQ(fit.screenRadius, 97);

  // A single point has no extent: scale 1 instead of a division by zero.
  for (int i = 0; i < 3; ++i) model->vertices[i] = {2.0f, 2.0f, 2.0f};
  ASSERT_TRUE(vxmRenderFitModel(model.get(), 127, &fit));
  EXPECT_EQ(fit.radius, 0.0f);
  EXPECT_EQ(fit.scale, 1.0f);

  TraceCapture trace;
  EXPECT_FALSE(vxmRenderFitModel(nullptr, 127, &fit));
  EXPECT_FALSE(vxmRenderFitModel(model.get(), 127, nullptr));
  EXPECT_EQ(trace.messages(), Messages(2, "Invalid Parameters"));
}
