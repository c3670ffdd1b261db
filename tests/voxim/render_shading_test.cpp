// render_shading_test.cpp: light intensities, the highlight, smooth shading, the dispatch of
// every render state (two-pass states included) and the texture fills, with exact pixels.
#include <gtest/gtest.h>

#include "BmpTestWriter.h"
#include "RenderTestScene.h"
#include "TestSupport.h"
#if defined(_WIN32)
#include "appPlatform.h"
#else
#include "appHost.h"
#endif

using Picture = std::vector<std::string>;

static const std::vector<TestCorner> kReference = {{10, 10, 5}, {10, 20, 5}, {20, 15, 5}};
static constexpr uint32_t kRed200 = 0xC86432;  // red 200, green 100, blue 50

class ShadingTest : public RenderTest {
 protected:
  // One frame of a model in the given state; the pixel at (x, y).
  uint32_t drawAt(VxmModel* model, int32_t state, int32_t x, int32_t y) {
    clear();
    vxmRenderSetState(state);
    EXPECT_TRUE(vxmRenderModel(model));
    return testPixel(target, x, y);
  }
  void setLight(float x, float y, float z) {
    const VxmVector d = {x, y, z};
    vxmLightSetDirection(&d);
  }
};

TEST_F(ShadingTest, LitFlatFacetTakesItsIntensityFromTheShadeTables) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kRed200);
  // Default light: direction (0, 0, 1) against the normal (0, 0, -1): f = 1, intensity 128.
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15), 0xFFA270u);  // 255, 162, 112
  EXPECT_EQ(testCountNot(target, kBackground), 51);

  auto litGrey = [&](VxmVector normal, float lightZ) {
    model->tris[0].normal = normal;
    model->tris[0].colour = 0;
    setLight(0.0f, 0.0f, lightZ);
    return drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15) & 0xFF;
  };
  // Black facet: the pixel is floor(i * 127 / 256) for intensity i.
  EXPECT_EQ(litGrey({0.0f, 0.0f, -0.5f}, 1.0f), 31u);   // 63.75 rounds to 64
  EXPECT_EQ(litGrey({0.0f, 0.0f, -0.3f}, 1.0f), 18u);   // 38.25 rounds to 38
  EXPECT_EQ(litGrey({0.0f, 0.0f, -1.95f}, 1.0f), 123u); // 248.625 -> 249
  EXPECT_EQ(litGrey({0.0f, 0.0f, -2.0f}, 1.0f), 126u);  // f = 2: 255
  EXPECT_EQ(litGrey({0.0f, 0.0f, -1.0f}, 5.0f), 126u);  // f > 2: 255
  EXPECT_EQ(litGrey({0.0f, 0.0f, -1.0f}, -1.0f), 0u);   // lit from behind: 0
  // The light is not normalised: a longer direction lights more.
  EXPECT_EQ(litGrey({0.0f, 0.0f, -1.0f}, 1.5f), 94u);   // 191.25 -> 191
}

TEST_F(ShadingTest, HighlightAddsASpecularTermTowardsTheViewer) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kRed200);
  model->highlight = true;
  // Head-on: d = 1, the mirrored ray comes straight back: 0.75 + 0.5 >= 1 gives 255.
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15), 0xFFE1AFu);  // 255, 225, 175

  auto grey = [&](int32_t highlightValue, VxmVector normal, int32_t state) {
    model->tris[0].colour = 0;
    model->tris[0].normal = normal;
    model->highlightValue = highlightValue;
    return drawAt(model.get(), state, 12, 15) & 0xFF;
  };
  // Light at 60 degrees: d = 0.5 and s = -0.5. Value 90 (exponent ~54.6) leaves almost no
  // specular: b = 0.25, intensity 64; value -30 (exponent ~1): b = 0.375 + 0.25, intensity 159.
  setLight(0.0f, 0.8660254f, 0.5f);
  EXPECT_EQ(grey(90, {0.0f, 0.0f, -1.0f}, 5), 31u);
  EXPECT_EQ(grey(-30, {0.0f, 0.0f, -1.0f}, 5), 78u);
  // A tilted normal (0, -0.6, -0.8) under the default light: d = 0.8, s = -0.28:
  // b = 0.21 + 0.4, intensity 156; without the highlight, round(0.8 * 127.5) = 102.
  setLight(0.0f, 0.0f, 1.0f);
  EXPECT_EQ(grey(-30, {0.0f, -0.6f, -0.8f}, 5), 77u);
  model->highlight = false;
  EXPECT_EQ(grey(-30, {0.0f, -0.6f, -0.8f}, 5), 50u);
}

TEST_F(ShadingTest, HighlightAlsoDrivesVertexShades) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, 0, true);
  model->highlight = true;
  model->highlightValue = -30;
  for (int i = 0; i < 3; ++i) model->vertexNormals[i] = {0.0f, -0.6f, -0.8f};
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH, 12, 15), 0x4D4D4Du);  // 156
  model->highlight = false;
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH, 12, 15), 0x323232u);  // 102
}

// Corners 0 and 1 unlit, corner 2 at full shade (normal length 2): along row 15 the shade rises
// by 0xFF000 / 10 per pixel.
TEST_F(ShadingTest, SmoothShadingInterpolatesTheCornerShades) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, 0, true);
  model->vertexNormals[0] = {0.0f, 0.0f, 1.0f};
  model->vertexNormals[1] = {0.0f, 0.0f, 1.0f};
  model->vertexNormals[2] = {0.0f, 0.0f, -2.0f};
  const std::vector<uint32_t> expected = {0, 12, 25, 37, 50, 63, 75, 88, 101, 113};
  auto row15 = [&](int32_t state) {
    clear();
    vxmRenderSetState(state);
    EXPECT_TRUE(vxmRenderModel(model.get()));
    std::vector<uint32_t> greys;
    for (int32_t x = 10; x < 20; ++x) {
      const uint32_t c = testPixel(target, x, 15);
      EXPECT_EQ(c, (c & 0xFF) * 0x010101u) << "not grey at " << x;
      greys.push_back(c & 0xFF);
    }
    EXPECT_EQ(testPixel(target, 20, 15), kBackground);
    return greys;
  };
  EXPECT_EQ(row15(VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH), expected);
  // Below 2 a vertex shade is rounded, not saturated: 1.95 * 127.5 = 248.625 -> 249.
  model->vertexNormals[2] = {0.0f, 0.0f, -1.95f};
  // Column 19 has shade 9 * (249 * 4096 / 10, truncated) = 917910: 127 * 917910 >> 20 = 111.
  EXPECT_EQ(row15(VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH).back(), 111u);
  model->vertexNormals[2] = {0.0f, 0.0f, -2.0f};

  // The smooth texture fill lights a black texel through the tables with S >> 12.
  TestBitmap black = testTexture(2, 2, [](int32_t, int32_t) { return 0u; });
  model->tris[0].texture = black.get();
  testSetUV(&model->tris[0], 0, 0, 0, 4096, 4096, 0);
  EXPECT_EQ(row15(VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH), expected);
}

TEST_F(ShadingTest, SmoothStateWithoutVertexNormalsFallsBackForGood) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kRed200);
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH, 12, 15), kRed200);
  EXPECT_EQ(vxmRenderGetState(), VXM_RENDER_COLOUR);
  clear();
  ASSERT_TRUE(vxmRenderModel(model.get()));
  EXPECT_EQ(vxmRenderGetState(), VXM_RENDER_COLOUR);
  EXPECT_EQ(testPixel(target, 12, 15), kRed200);
}

// A plain facet A and a textured facet B side by side, in every state. Facet normals give
// intensity 128; vertex normals of length 2 give the smooth fills intensity 255. The lower
// corner of each is on its wireframe but outside its fill (its row's span is empty).
TEST_F(ShadingTest, EveryStateDrawsWithItsOwnFills) {
  start(40, 30);
  TestModel model = testPixelModel({{2, 2, 5}, {2, 26, 5}, {16, 14, 5}, {20, 2, 5}, {20, 26, 5}, {36, 14, 5}},
                                   {{0, 1, 2}, {3, 4, 5}}, 40, 30, kRed200, true);
  for (int i = 0; i < 6; ++i) model->vertexNormals[i] = {0.0f, 0.0f, -2.0f};
  TestBitmap texture = testTexture(2, 2, [](int32_t, int32_t) { return 0x1E140Au; });  // 30, 20, 10
  model->tris[1].texture = texture.get();
  model->tris[1].colour = 0x406080;
  testSetUV(&model->tris[1], 0, 0, 0, 8191, 8191, 4096);

  const uint32_t W = 0xFFFFFF, bg = kBackground;
  const uint32_t litA = 0xFFA270, smoothA = 0xFFE1AF;  // intensities 128 and 255
  const uint32_t litB = 0x7E9EBE, smoothB = 0xBDDDFD;
  const uint32_t texel = 0x1E140A, litTexel = 0x5C5248, smoothTexel = 0x9B9187;
  struct Row {
    int32_t state;
    uint32_t insideA, cornerA, insideB, cornerB;
  };
  const Row rows[] = {
      {0, bg, W, bg, W},
      {1, kRed200, bg, 0x406080, bg},
      {2, bg, W, texel, bg},
      {3, kRed200, bg, texel, bg},
      {4, bg, W, bg, W},
      {5, litA, bg, litB, bg},
      {6, bg, W, litTexel, bg},
      {7, litA, bg, litTexel, bg},
      {8, bg, W, bg, W},
      {9, smoothA, bg, smoothB, bg},
      {10, bg, W, smoothTexel, bg},
      {11, smoothA, bg, smoothTexel, bg},
      {12, bg, W, bg, W},
      {13, bg, W, bg, W},
      {14, bg, W, bg, W},
      {15, bg, W, bg, W},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(drawAt(model.get(), row.state, 6, 14), row.insideA) << "state " << row.state;
    EXPECT_EQ(testPixel(target, 2, 2), row.cornerA) << "state " << row.state;
    EXPECT_EQ(testPixel(target, 24, 14), row.insideB) << "state " << row.state;
    EXPECT_EQ(testPixel(target, 20, 2), row.cornerB) << "state " << row.state;
    EXPECT_EQ(testPixel(target, 18, 14), bg) << "state " << row.state;
    EXPECT_EQ(vxmRenderGetState(), row.state);
  }
}

// Facet 0, plain and nearer, has an edge across textured facet 1 behind it. Drawn in one pass
// (from the list's end) the wire would land on the texture; the two-pass states draw every
// wireframe first, so the texture covers it whatever the depths.
TEST_F(ShadingTest, TwoPassStatesDrawTexturesOverAllWireframes) {
  start(40, 30);
  TestModel model = testPixelModel({{20, 2, 1}, {20, 26, 1}, {36, 14, 1}, {4, 4, 9}, {4, 24, 9}, {30, 14, 9}},
                                   {{0, 1, 2}, {3, 4, 5}}, 40, 30, kRed200, true);
  TestBitmap texture = testTexture(2, 2, [](int32_t, int32_t) { return 0x1E140Au; });
  model->tris[1].texture = texture.get();
  testSetUV(&model->tris[1], 0, 0, 0, 8191, 8191, 4096);
  for (int32_t state : {2, 6, 10}) {
    drawAt(model.get(), state, 0, 0);
    EXPECT_EQ(testPixel(target, 20, 14), state == 2 ? 0x1E140Au : 0x5C5248u) << "state " << state;
    EXPECT_EQ(testPixel(target, 20, 2), 0xFFFFFFu) << "state " << state;  // the wire outside B
  }
  // With colour on, depth decides: the plain facet is nearer.
  EXPECT_EQ(drawAt(model.get(), 3, 20, 14), kRed200);
  // Without the texture bit all are wireframes.
  EXPECT_EQ(drawAt(model.get(), 0, 20, 14), 0xFFFFFFu);
}

TEST_F(ShadingTest, TexelsAreFetchedByTruncation) {
  start(40, 30);
  // Texel (x, y) of a 64 x 64 texture: red x, green y, blue 0x80.
  TestBitmap texture = testTexture(64, 64, [](int32_t x, int32_t y) { return (uint32_t)(x << 16 | y << 8 | 0x80); });
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  model->tris[0].texture = texture.get();
  auto texelAt = [&](int32_t u, int32_t v) {
    testSetUV(&model->tris[0], u, v, u, v, u, v);
    return drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE, 12, 15);
  };
  EXPECT_EQ(texelAt(0, 0), 0x000080u);
  EXPECT_EQ(texelAt(8191, 0), 0x010080u);            // 1.99976 texels: column 1
  EXPECT_EQ(texelAt(8192, 4095), 0x020080u);
  EXPECT_EQ(texelAt(0, 258048), 0x003F80u);          // 63 * 4096: the top row
  EXPECT_EQ(texelAt(63 * 4096 + 4095, 63 * 4096 + 4095), 0x3F3F80u);

  // u from 0 at the left edge to 10 texels at corner 2: row 15 shows columns 0..9.
  testSetUV(&model->tris[0], 0, 4096, 0, 4096, 40960, 4096);
  drawAt(model.get(), VXM_RENDER_TEXTURE, 0, 0);
  for (int32_t x = 10; x < 20; ++x) EXPECT_EQ(testPixel(target, x, 15), (uint32_t)((x - 10) << 16 | 1 << 8 | 0x80));
}

// Steps that do not divide evenly truncate toward zero, along edges and spans alike. Corner 2
// (column 17) has u 0, corners 0 and 1 (column 10) have u = 7 * 4096 - 1 = 28671 texels * 4096.
// The flat edges from corner 2 step u by 28671 / 7 = 4095 (not 4096): row 10 runs from u 28665
// at column 10 (the bottom edge's end) to 4095 at column 16, by (4095 - 28665) / 6 = -4095;
// row 11 runs from 28671 to 20475 at column 12, by -8196 / 2 = -4098.
TEST_F(ShadingTest, TextureStepsTruncateTowardZero) {
  start(40, 30);
  TestBitmap texture = testTexture(8, 1, [](int32_t x, int32_t) { return (uint32_t)(x << 16 | 0x80); });
  TestModel model = testPixelModel({{10, 10, 5}, {10, 12, 5}, {17, 10, 5}}, {{0, 1, 2}}, 40, 30);
  model->tris[0].texture = texture.get();
  testSetUV(&model->tris[0], 28671, 0, 28671, 0, 0, 0);
  drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE, 0, 0);
  // Each pixel as the texel column it shows; '.' for the background.
  auto columns = [&](int32_t y) {
    std::string row;
    for (int32_t x = 10; x <= 17; ++x) {
      const uint32_t c = testPixel(target, x, y);
      row += c == kBackground ? '.' : (c & 0xFFFF) == 0x80 ? (char)('0' + (c >> 16)) : '?';
    }
    return row;
  };
  EXPECT_EQ(columns(12), "........");  // the top row
  EXPECT_EQ(columns(11), "65......");  // 28671, 24573
  EXPECT_EQ(columns(10), "654321..");  // 28665, 24570, 20475, 16380, 12285, 8190
}

TEST_F(ShadingTest, TexelRowZeroIsTheBottomOfTheBmpPicture) {
  start(40, 30);
  const TestBmp bmp = testBmpPattern(5, 4, 24);
  const std::string folder = testScratchDir("render_texture_bmp");
  ASSERT_TRUE(testWriteFile(testJoin(folder, "pattern.bmp"), testBmpBytes(bmp)));
#if defined(_WIN32)
  appSetInstallFolder((folder + "\\").c_str());
#else
  appHostSetInstallPath(folder.c_str());
#endif
  TestBitmap texture(vxmBitmapLoadBMP("pattern.bmp"));
  ASSERT_TRUE(texture);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  model->tris[0].texture = texture.get();
  testSetUV(&model->tris[0], 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_TEXTURE, 12, 15), bmp.colourAt(0, 3));  // bottom-left
  testSetUV(&model->tris[0], 4 * 4096, 3 * 4096, 4 * 4096, 3 * 4096, 4 * 4096, 3 * 4096);
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_TEXTURE, 12, 15), bmp.colourAt(4, 0));  // top-right
}

TEST_F(ShadingTest, CoordinatesOutsideTheTextureClampToItsEdge) {
  start(40, 30);
  TestBitmap texture = testTexture(4, 3, [](int32_t x, int32_t y) { return (uint32_t)(x << 16 | y << 8 | 0x80); });
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  model->tris[0].texture = texture.get();
  // Row 15 runs u from -3 to +6 texels (columns clamp to 0..3), v stays 100 texels (row 2).
  testSetUV(&model->tris[0], -3 * 4096, 100 * 4096, -3 * 4096, 100 * 4096, 7 * 4096, 100 * 4096);
  drawAt(model.get(), VXM_RENDER_TEXTURE, 0, 0);
  const int32_t columns[10] = {0, 0, 0, 0, 1, 2, 3, 3, 3, 3};
  for (int32_t x = 10; x < 20; ++x)
    EXPECT_EQ(testPixel(target, x, 15), (uint32_t)(columns[x - 10] << 16 | 2 << 8 | 0x80)) << x;
  // Wild values stay inside too (the sanitizer build proves no read strays).
  for (int32_t state : {3, 7, 11}) {
    testSetUV(&model->tris[0], INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0, -1);
    drawAt(model.get(), state, 0, 0);
    EXPECT_EQ(testCountNot(target, kBackground), 51) << "state " << state;
  }
}

TEST_F(ShadingTest, LitTextureAtIntensityZeroShowsTheAmbientPartOnly) {
  start(40, 30);
  const uint32_t texels[4] = {0xFFFFFF, 0x80FF01, 0x000000, 0x102030};
  const uint32_t shown[4] = {0xFEFEFE, 0x7FFE00, 0x000000, 0x0F1F2F};
  TestBitmap texture = testTexture(4, 1, [&](int32_t x, int32_t) { return texels[x]; });
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30);
  model->tris[0].texture = texture.get();
  setLight(0.0f, 0.0f, -1.0f);  // towards the viewer: the facet's intensity is 0
  for (int32_t i = 0; i < 4; ++i) {
    testSetUV(&model->tris[0], i * 4096, 0, i * 4096, 0, i * 4096, 0);
    EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING, 12, 15), shown[i]);
  }
}

TEST_F(ShadingTest, UnusableTextureIsReportedAndTheRestIsDrawn) {
  start(40, 30);
  TestModel model = testPixelModel({{2, 2, 5}, {2, 26, 5}, {16, 14, 5}, {20, 2, 5}, {20, 26, 5}, {36, 14, 5}},
                                   {{0, 1, 2}, {3, 4, 5}}, 40, 30, kRed200);
  TestBitmap eightBit(vxmBitmapCreate(2, 2, 8));
  ASSERT_TRUE(eightBit);
  VxmBitmap noRows = {};
  noRows.width = 2;
  noRows.height = 2;
  noRows.depth = 24;
  for (VxmBitmap* bad : {&noRows, eightBit.get()}) {
    model->tris[1].texture = bad;
    TraceCapture trace;
    EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE, 6, 14), kRed200);
    EXPECT_EQ(testPixel(target, 24, 14), kBackground);
    EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Paramters"});
  }
}

TEST_F(ShadingTest, LightStaysInTheWorldWhenTheCameraTurns) {
  start(40, 30);
  TestModel model = testPixelModel({{10, 10, 0}, {10, 20, 0}, {20, 15, 0}}, {{0, 1, 2}}, 40, 30, 0);
  setLight(0.6f, 0.0f, 0.8f);
  const uint32_t still = drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15);
  EXPECT_EQ(still, 0x323232u);  // f = 0.8: intensity 102
  // Turning the camera a little about the facet's centre moves the facet but not the light.
  VxmMatrix turn, toCentre, back, view;
  vxmMatTranslate(&toCentre, 6.0f, 0.0f, 0.0f);
  vxmMatRotateY(&turn, 0.3f);
  vxmMatTranslate(&back, -6.0f, 0.0f, 0.0f);
  vxmMatMultiply(&view, &toCentre, &turn);
  vxmMatMultiplyInPlace(&view, &back);
  vxmRenderSetViewMatrix(&view);
  EXPECT_EQ(drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15), still);
  // Turning the model itself turns the light against it.
  VxmMatrix identity;
  vxmRenderSetViewMatrix(vxmMatIdentity(&identity));
  vxmMatMultiply(&model->matrix, &toCentre, &turn);
  vxmMatMultiplyInPlace(&model->matrix, &back);
  const uint32_t turned = drawAt(model.get(), VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING, 12, 15);
  EXPECT_NE(turned, still);
  EXPECT_EQ(turned, (turned & 0xFF) * 0x010101u);
  EXPECT_GT(turned, 0u);
}
