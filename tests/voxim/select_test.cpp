// select_test.cpp: the facet selection on rendered scenes: rectangles in any corner order with
// inclusive edges and rounded corners, facing, picking by depth with ties and edges, highlights
// pixel for pixel, painting, flat and cylindrical projection, the committed copy, every message
// and every failed allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RenderTestScene.h"
#include "TestSupport.h"
#include "vxmSelect.h"
#if !defined(_WIN32)
#include "appHost.h"
#endif

namespace {

constexpr int32_t kWidth = 64, kHeight = 48;

struct SelectionFree {
  void operator()(VxmSelection* selection) const { vxmSelectionFree(selection); }
};
using TestSelection = std::unique_ptr<VxmSelection, SelectionFree>;

class Selection : public RenderTest {
 protected:
  TraceCapture trace;
  void SetUp() override {
    testQuietBoxes();
    start(kWidth, kHeight);
  }

  std::vector<uint8_t> flags(const VxmSelection* s) const { return std::vector<uint8_t>(s->selected, s->selected + s->triCount); }

  std::vector<uint8_t> pixels() const { return std::vector<uint8_t>(target->bits, target->bits + target->bitsSize); }

  // The picture after highlighting these pixel corners directly, the target left as it was.
  std::vector<uint8_t> expectedHighlights(const std::vector<std::vector<int32_t>>& corners, uint32_t colour) {
    const std::vector<uint8_t> before = pixels();
    for (const auto& c : corners) vxmRenderHighlightTri(c[0], c[1], c[2], c[3], c[4], c[5], colour);
    std::vector<uint8_t> after = pixels();
    std::memcpy(target->bits, before.data(), before.size());
    return after;
  }
};

// A front-facing facet, its mirror that faces away, and two thin facets whose corners sit on
// half columns (20.5 rounds to 20, 21.5 to 22).
TestModel rectScene() {
  return testPixelModel({{10, 10, 5}, {10, 20, 5}, {20, 15, 5},                // 0: front
                         {30, 10, 5}, {40, 15, 5}, {30, 20, 5},                // 1: back
                         {20.5f, 30, 5}, {20.5f, 40, 5}, {24, 35, 5},          // 2: x 20..24
                         {21.5f, 30, 6}, {21.5f, 40, 6}, {24, 35, 6}},         // 3: x 22..24
                        {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}}, kWidth, kHeight);
}

// --- Creation and flags ---------------------------------------------------------------------------

TEST_F(Selection, CreateCopiesTheFacetsWithNothingSelected) {
  TestModel model = testPixelModel({{1, 1, 0}, {1, 5, 0}, {5, 3, 0}, {6, 6, 0}},
                                   {{0, 1, 2}, {1, 3, 2}, {0, 2, 3}, {2, 1, 0}, {3, 1, 0}}, kWidth, kHeight);
  for (int i = 0; i < 5; ++i) model->tris[i].colour = 0x010101u * (uint32_t)(i + 1);
  TestSelection s(vxmSelectionCreate(model.get()));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->model, model.get());
  EXPECT_EQ(s->triCount, 5);
  EXPECT_EQ(s->current, -1);
  EXPECT_EQ(flags(s.get()), std::vector<uint8_t>(5, 0));
  EXPECT_EQ(std::memcmp(s->savedTris, model->tris, 5 * sizeof(VxmTri)), 0);
  EXPECT_NE(s->savedTris, model->tris);
  EXPECT_FALSE(vxmSelectionAny(s.get()));
  vxmSelectionSelectAll(s.get());
  EXPECT_EQ(flags(s.get()), std::vector<uint8_t>(5, 1));
  EXPECT_TRUE(vxmSelectionAny(s.get()));
  s->current = 3;
  EXPECT_TRUE(vxmSelectionClear(s.get()));
  EXPECT_EQ(flags(s.get()), std::vector<uint8_t>(5, 0));
  EXPECT_EQ(s->current, -1);
  EXPECT_TRUE(trace.lines.empty());

  vxmSelectionFree(nullptr);
  EXPECT_EQ(vxmSelectionCreate(nullptr), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"});
}

TEST_F(Selection, CreateReleasesWhatItHadWhenAnAllocationFails) {
  TestModel model = rectScene();
  EXPECT_EQ(testEachAllocationFails(&trace, [&model] {
              VxmSelection* s = vxmSelectionCreate(model.get());
              vxmSelectionFree(s);
              return s != nullptr;
            }),
            3);
}

TEST_F(Selection, SingleFacetsAndTheirMessages) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectTri(s.get(), 2);
  vxmSelectionSelectTri(s.get(), 0);
  vxmSelectionDeselectTri(s.get(), 0);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 1, 0}));
  vxmSelectionSelectTri(s.get(), -1);
  vxmSelectionDeselectTri(s.get(), -1);
  EXPECT_TRUE(trace.lines.empty());

  vxmSelectionSelectTri(s.get(), 4);
  vxmSelectionDeselectTri(s.get(), -2);
  vxmSelectionSelectTri(nullptr, 0);
  vxmSelectionDeselectTri(nullptr, -1);
  EXPECT_EQ(trace.messages(), (std::vector<std::string>{"Not a valid tri index", "Not a valid tri index",
                                                         "Invalid Parameters", "Invalid Parameters"}));
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 1, 0}));

  // A selection without its model.
  trace.clear();
  VxmModel* owner = s->model;
  s->model = nullptr;
  vxmSelectionSelectTri(s.get(), 0);
  vxmSelectionSelectTri(s.get(), -1);  // -1 is looked at first
  EXPECT_FALSE(vxmSelectionAny(s.get()));
  EXPECT_FALSE(vxmSelectionClear(s.get()));
  vxmSelectionSelectAll(s.get());
  EXPECT_EQ(trace.messages(), std::vector<std::string>(4, "Invalid selection"));
  s->model = owner;

  trace.clear();
  EXPECT_FALSE(vxmSelectionAny(nullptr));
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_FALSE(vxmSelectionClear(nullptr));
  vxmSelectionSelectAll(nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
}

// --- Rectangles ------------------------------------------------------------------------------------

TEST_F(Selection, RectangleInAnyCornerOrderWithEdgesInside) {
  TestModel model = rectScene();
  vxmRenderModel(model.get());
  TestSelection s(vxmSelectionCreate(model.get()));
  const int32_t corners[4][4] = {{10, 10, 20, 20}, {20, 20, 10, 10}, {10, 20, 20, 10}, {20, 10, 10, 20}};
  for (const auto& c : corners) {
    vxmSelectionClear(s.get());
    vxmSelectionSelectRect(s.get(), c[0], c[1], c[2], c[3]);
    EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{1, 0, 0, 0})) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
  }
  // One column or row less on any side leaves facet 0 out.
  const int32_t tight[4][4] = {{11, 10, 20, 20}, {10, 11, 20, 20}, {10, 10, 19, 20}, {10, 10, 20, 19}};
  for (const auto& c : tight) {
    vxmSelectionClear(s.get());
    vxmSelectionSelectRect(s.get(), c[2], c[3], c[0], c[1]);
    EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 0})) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
  }
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(Selection, RectangleCornersAreRoundedHalvesToEven) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  // 20.5 rounds to 20: outside a rectangle from column 21; 21.5 rounds to 22: inside from 22.
  vxmSelectionSelectRect(s.get(), 21, 30, 24, 40);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 1}));
  vxmSelectionClear(s.get());
  vxmSelectionSelectRect(s.get(), 24, 40, 22, 30);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 1}));
  vxmSelectionClear(s.get());
  vxmSelectionSelectRect(s.get(), 20, 30, 24, 40);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 1, 1}));
  // Deselecting takes the same facets out, and only those.
  vxmSelectionSelectTri(s.get(), 0);
  vxmSelectionDeselectRect(s.get(), 22, 30, 24, 40);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{1, 0, 1, 0}));
  vxmSelectionDeselectRect(s.get(), 0, 0, kWidth, kHeight);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(Selection, FacetsFacingAwayAreNeitherSelectedNorPaintedButMarked) {
  TestModel model = rectScene();
  model->tris[1].texture = nullptr;
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectRect(s.get(), 0, 0, kWidth - 1, kHeight - 1);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{1, 0, 1, 1}));

  // Painting ignores the flags and the facet that faces away.
  vxmSelectionClear(s.get());
  vxmSelectionPaintRect(s.get(), 40, 20, 10, 10, 0xABCDEF);
  EXPECT_EQ(model->tris[0].colour, 0xABCDEFu);
  EXPECT_EQ(model->tris[1].colour, 0x808080u);
  EXPECT_EQ(model->tris[2].colour, 0x808080u);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 0}));

  // Marking: every facet in the rectangle, the one facing away included, pixel for pixel.
  const std::vector<uint8_t> expected =
      expectedHighlights({{10, 10, 10, 20, 20, 15}, {30, 10, 40, 15, 30, 20}}, 0xFF0000);
  vxmSelectionDrawRect(s.get(), 10, 10, 40, 20, 0xFF0000);
  EXPECT_EQ(pixels(), expected);

  // The facing test reads the facet's normal: with facet 0's normal turned away it is neither
  // selected nor painted, yet marking still draws it (its corners still wind clockwise).
  testFill(target, kBackground);
  model->tris[0].normal.z = -model->tris[0].normal.z;
  vxmSelectionSelectRect(s.get(), 0, 0, 30, 40);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 1, 1}));
  vxmSelectionPaintRect(s.get(), 0, 0, 30, 40, 0x000001);
  EXPECT_EQ(model->tris[0].colour, 0xABCDEFu);
  const std::vector<uint8_t> marked = expectedHighlights({{10, 10, 10, 20, 20, 15}}, 0x0000FF);
  vxmSelectionDrawRect(s.get(), 0, 0, 20, 20, 0x0000FF);
  EXPECT_EQ(pixels(), marked);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(Selection, PaintingRemovesTheTexture) {
  TestModel model = rectScene();
  model->textures[0].bitmap = vxmBitmapCreate(4, 4, 24);
  model->textureCount = 1;
  model->tris[0].texture = model->textures[0].bitmap;
  model->tris[2].texture = model->textures[0].bitmap;
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionPaintRect(s.get(), 5, 5, 25, 25, 0x00FF00);
  EXPECT_EQ(model->tris[0].texture, nullptr);
  EXPECT_EQ(model->tris[0].colour, 0x00FF00u);
  EXPECT_EQ(model->tris[2].texture, model->textures[0].bitmap);  // outside the rectangle
  // The committed copy is not touched by painting.
  EXPECT_EQ(s->savedTris[0].texture, model->textures[0].bitmap);
}

TEST_F(Selection, TheModelsMatrixMovesTheFacets) {
  TestModel model = rectScene();
  vxmMatTranslate(&model->matrix, 3, -2, 0);
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectRect(s.get(), 10, 10, 20, 20);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 0}));
  vxmSelectionSelectRect(s.get(), 13, 8, 23, 18);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{1, 0, 0, 0}));
  // A half turn about Y turns facet 0 away and facet 1 towards the viewer; the view matrix
  // scales on top (screen = view, then the centring).
  vxmMatRotateY(&model->matrix, 3.14159265f);
  VxmMatrix view;
  vxmMatScale(&view, 2, 2, 2);
  vxmRenderSetViewMatrix(&view);
  vxmSelectionClear(s.get());
  vxmSelectionSelectRect(s.get(), -100, -100, 100, 100);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ(vxmSelectionPick(s.get(), 32 + 2 * (32 - 33), 24 + 2 * (15 - 24)), 1);
}

// --- Picking ---------------------------------------------------------------------------------------

TEST_F(Selection, PickTakesTheNearerAndOnTiesTheHigherIndex) {
  // Three copies of one facet: depths 5, 3, 3.
  TestModel model = testPixelModel({{10, 10, 5}, {10, 30, 5}, {30, 20, 5}, {10, 10, 3}, {10, 30, 3}, {30, 20, 3},
                                    {10, 10, 3}, {10, 30, 3}, {30, 20, 3}},
                                   {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}, kWidth, kHeight);
  TestSelection s(vxmSelectionCreate(model.get()));
  EXPECT_EQ(vxmSelectionPick(s.get(), 15, 20), 2);
  model->tris[2].v[0] = 0, model->tris[2].v[1] = 1, model->tris[2].v[2] = 2;  // now at depth 5
  EXPECT_EQ(vxmSelectionPick(s.get(), 15, 20), 1);
  model->tris[1].v[0] = 0, model->tris[1].v[1] = 1, model->tris[1].v[2] = 2;  // all three at 5
  EXPECT_EQ(vxmSelectionPick(s.get(), 15, 20), 2);
  EXPECT_EQ(vxmSelectionPick(s.get(), 40, 20), -1);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(Selection, PickUsesTheDepthOfThePlaneAtThePoint) {
  // Facet 0 at depth 5; facet 1 over the same corners rises from 0 at column 10 to 10 at 30.
  TestModel model = testPixelModel({{10, 10, 5}, {10, 30, 5}, {30, 20, 5}, {10, 10, 0}, {10, 30, 0}, {30, 20, 10}},
                                   {{0, 1, 2}, {3, 4, 5}}, kWidth, kHeight);
  TestSelection s(vxmSelectionCreate(model.get()));
  EXPECT_EQ(vxmSelectionPick(s.get(), 12, 20), 1);  // depth 1
  EXPECT_EQ(vxmSelectionPick(s.get(), 19, 20), 1);  // depth 4.5
  EXPECT_EQ(vxmSelectionPick(s.get(), 21, 20), 0);  // depth 5.5
  EXPECT_EQ(vxmSelectionPick(s.get(), 25, 20), 0);
}

TEST_F(Selection, PickMissesEdgesAndFacetsFacingAway) {
  TestModel model = testPixelModel({{10, 10, 5}, {10, 30, 5}, {30, 20, 5}, {30, 20, 5}, {50, 10, 5}, {50, 30, 5}},
                                   {{0, 1, 2}, {3, 5, 4}, {3, 4, 5}}, kWidth, kHeight);
  TestSelection s(vxmSelectionCreate(model.get()));
  EXPECT_EQ(vxmSelectionPick(s.get(), 11, 20), 0);
  EXPECT_EQ(vxmSelectionPick(s.get(), 10, 20), -1);  // on the left edge
  EXPECT_EQ(vxmSelectionPick(s.get(), 10, 10), -1);  // a corner
  EXPECT_EQ(vxmSelectionPick(s.get(), 20, 15), -1);  // on the edge from (10,10) to (30,20)
  EXPECT_EQ(vxmSelectionPick(s.get(), 20, 16), 0);
  EXPECT_EQ(vxmSelectionPick(s.get(), 30, 20), -1);  // the shared corner
  // Facet 2 winds the other way round: facing away, never hit; facet 1 covers the same place.
  EXPECT_EQ(vxmSelectionPick(s.get(), 45, 20), 1);
  model->tris[1] = model->tris[2];
  EXPECT_EQ(vxmSelectionPick(s.get(), 45, 20), -1);
}

TEST_F(Selection, PickAgreesWithTheRenderedPicture) {
  // Overlapping facets at separate depth layers, each its own colour, drawn flat.
  std::vector<TestCorner> corners = {{2, 3, 40},  {5, 44, 41},  {60, 20, 42},  // 0: far, large
                                     {12, 8, 30}, {14, 40, 31}, {40, 30, 30},  // 1
                                     {30, 5, 20}, {20, 25, 22}, {55, 12, 21},  // 2
                                     {25, 15, 10}, {28, 35, 12}, {50, 38, 11}, // 3: nearest
                                     {40, 40, 5},  {35, 30, 5},  {45, 30, 5}}; // 4: faces away
  TestModel model = testPixelModel(corners, {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}, {12, 13, 14}}, kWidth, kHeight);
  const uint32_t colours[5] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};
  for (int i = 0; i < 5; ++i) model->tris[i].colour = colours[i];
  vxmRenderSetState(VXM_RENDER_COLOUR);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  TestSelection s(vxmSelectionCreate(model.get()));
  std::vector<int32_t> picked((size_t)(kWidth * kHeight));
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) picked[(size_t)(y * kWidth + x)] = vxmSelectionPick(s.get(), x, y);
  // Along edges the rasteriser's spans and the exact point test may differ by a pixel; away
  // from them (the same facet picked all round) the picked facet is the one drawn.
  int hits[5] = {0, 0, 0, 0, 0}, misses = 0;
  for (int32_t y = 1; y + 1 < kHeight; ++y)
    for (int32_t x = 1; x + 1 < kWidth; ++x) {
      const int32_t f = picked[(size_t)(y * kWidth + x)];
      bool interior = true;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) interior = interior && picked[(size_t)((y + dy) * kWidth + x + dx)] == f;
      if (!interior) continue;
      if (f < 0) {
        ++misses;
        EXPECT_EQ(testPixel(target, x, y), kBackground) << x << "," << y;
        continue;
      }
      ++hits[f];
      EXPECT_EQ(testPixel(target, x, y), colours[f]) << x << "," << y << " picked " << f;
    }
  for (int i = 0; i < 4; ++i) EXPECT_GT(hits[i], 20) << i;
  EXPECT_EQ(hits[4], 0);
  EXPECT_GT(misses, 0);
}

// --- Highlights ------------------------------------------------------------------------------------

TEST_F(Selection, DrawHighlightsTheSelectedFacetsGreen) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  const std::vector<uint8_t> untouched = pixels();
  vxmSelectionDraw(s.get());
  EXPECT_EQ(pixels(), untouched);

  vxmSelectionSelectTri(s.get(), 0);
  vxmSelectionSelectTri(s.get(), 1);  // faces away: still drawn, the highlight does not cull
  vxmSelectionSelectTri(s.get(), 2);
  const std::vector<uint8_t> expected =
      expectedHighlights({{10, 10, 10, 20, 20, 15}, {30, 10, 40, 15, 30, 20}, {20, 30, 20, 40, 24, 35}}, 0x00FF00);
  vxmSelectionDraw(s.get());
  EXPECT_EQ(pixels(), expected);
  EXPECT_NE(pixels(), untouched);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(Selection, DrawTriAndDrawCurrent) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  const std::vector<uint8_t> untouched = pixels();
  vxmSelectionDrawTri(s.get(), 0);  // not selected
  vxmSelectionDrawTri(s.get(), -1);
  vxmSelectionDrawCurrent(s.get());  // current -1
  EXPECT_EQ(pixels(), untouched);
  EXPECT_TRUE(trace.lines.empty());

  vxmSelectionSelectTri(s.get(), 0);
  std::vector<uint8_t> expected = expectedHighlights({{10, 10, 10, 20, 20, 15}}, 0x00FF00);
  vxmSelectionDrawTri(s.get(), 0);
  EXPECT_EQ(pixels(), expected);

  testFill(target, kBackground);
  s->current = 3;  // red, selected or not
  expected = expectedHighlights({{22, 30, 22, 40, 24, 35}}, 0xFF0000);
  vxmSelectionDrawCurrent(s.get());
  EXPECT_EQ(pixels(), expected);

  testFill(target, kBackground);
  vxmSelectionDrawTri(s.get(), 4);
  vxmSelectionDrawTri(s.get(), -5);
  s->current = 4;
  vxmSelectionDrawCurrent(s.get());
  s->current = -7;
  vxmSelectionDrawCurrent(s.get());
  EXPECT_EQ(pixels(), untouched);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(4, "Invalid tri index"));

  trace.clear();
  vxmSelectionDraw(nullptr);
  vxmSelectionDrawTri(nullptr, 0);
  vxmSelectionDrawCurrent(nullptr);
  vxmSelectionDrawRect(nullptr, 0, 0, 1, 1, 0);
  vxmSelectionPaintRect(nullptr, 0, 0, 1, 1, 0);
  vxmSelectionSelectRect(nullptr, 0, 0, 1, 1);
  vxmSelectionDeselectRect(nullptr, 0, 0, 1, 1);
  EXPECT_EQ(vxmSelectionPick(nullptr, 0, 0), -1);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(8, "Invalid Parameters"));
}

TEST_F(Selection, HighlightsSkipFacetsWithACornerOffTheTarget) {
  TestModel model = testPixelModel({{0, 0, 1}, {0, 10, 1}, {64, 5, 1}}, {{0, 1, 2}}, kWidth, kHeight);
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectAll(s.get());
  const std::vector<uint8_t> untouched = pixels();
  vxmSelectionDraw(s.get());
  s->current = 0;
  vxmSelectionDrawCurrent(s.get());
  EXPECT_EQ(pixels(), untouched);
  EXPECT_TRUE(trace.lines.empty());
}

// --- Textures --------------------------------------------------------------------------------------

// A model in texel units for a texture of 8 x 4 in slot 0 (identity projection: u = x, v = y).
TestModel texelScene() {
  TestModel model = testPixelModel({{0, 0, 0}, {0, 3, 0}, {7, 2, 0},                      // 0..2
                                    {1, 0, 0}, {1, 3, 0}, {8, 2, 0},                      // 3..5: u = W
                                    {0, 1, 0}, {0, 4, 0}, {6, 2, 0},                      // 6..8: v = H
                                    {0, 0, 0}, {0, 3, 0}, {8 - 0.5f / 4096, 2, 0},        // 9..11: rounds to W
                                    {0, 0, 0}, {0, 3, 0}, {8 - 1.5f / 4096, 2, 0}},       // 12..14: W - 2
                                   {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}, {12, 13, 14}, {0, 1, 2}, {0, 2, 1}},
                                   0, 0);
  model->textures[0].bitmap = vxmBitmapCreate(8, 4, 24);
  model->textures[1].bitmap = vxmBitmapCreate(16, 8, 24);
  model->textureCount = 2;
  return model;
}

TEST_F(Selection, FlatProjectionTexturesWhatFitsTheBitmap) {
  TestModel model = texelScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  for (int i : {0, 1, 2, 3, 4, 6}) vxmSelectionSelectTri(s.get(), i);  // 5 stays unselected
  VxmMatrix identity;
  vxmMatIdentity(&identity);
  ASSERT_TRUE(vxmSelectionApplyTexture(s.get(), 0, &identity));
  VxmBitmap* bitmap = model->textures[0].bitmap;
  EXPECT_EQ(model->tris[0].texture, bitmap);
  EXPECT_EQ(std::vector<int32_t>(model->tris[0].uv, model->tris[0].uv + 6),
            (std::vector<int32_t>{0, 0, 0, 3 * 4096, 7 * 4096, 2 * 4096}));
  EXPECT_EQ(model->tris[1].texture, nullptr);  // a corner at u = W
  EXPECT_EQ(model->tris[2].texture, nullptr);  // a corner at v = H
  EXPECT_EQ(model->tris[3].texture, nullptr);  // 32767.5 rounds to 32768 = W
  EXPECT_EQ(model->tris[4].texture, bitmap);   // 32766.5 rounds to 32766
  EXPECT_EQ(model->tris[4].uv[4], 32766);
  EXPECT_EQ(model->tris[5].texture, nullptr);  // not selected
  EXPECT_EQ(model->tris[6].texture, nullptr);  // faces away from the projection
  EXPECT_TRUE(trace.lines.empty());

  // A projection that turns the model round: only the facet that faced away faces it now, and
  // it lands mirrored at u = -x + 8 (the translation), v = y.
  VxmMatrix turn;
  vxmMatRotateY(&turn, 3.14159265f);
  VxmMatrix move;
  vxmMatTranslate(&move, 7.5f, 0, 0);
  VxmMatrix projection;
  vxmMatMultiply(&projection, &turn, &move);
  vxmSelectionRestoreTris(s.get());
  ASSERT_TRUE(vxmSelectionApplyTexture(s.get(), 0, &projection));
  EXPECT_EQ(model->tris[0].texture, nullptr);
  ASSERT_EQ(model->tris[6].texture, bitmap);
  EXPECT_EQ(std::vector<int32_t>(model->tris[6].uv, model->tris[6].uv + 6),
            (std::vector<int32_t>{30720, 0, 2048, 2 * 4096, 30720, 3 * 4096}));
}

TEST_F(Selection, CylindricalProjectionWrapsRoundTheAxis) {
  // Slot 1: 16 x 8 texels. Vertices: straight ahead (0, 0.5, 5); to the left (-5, 0, 0) at a
  // quarter turn; to the right (5, 0, 0) at minus a quarter turn; ahead but high (0, 2, 5).
  TestModel model = testPixelModel({{0, 0.5f, 5}, {-5, 0, 0}, {5, 0, 0}, {0, 2, 5}},
                                   {{0, 1, 2}, {0, 2, 1}, {3, 1, 2}, {0, 1, 2}}, 0, 0);
  model->textures[0].bitmap = vxmBitmapCreate(16, 8, 24);
  model->textureCount = 1;
  VxmBitmap* bitmap = model->textures[0].bitmap;
  TestSelection s(vxmSelectionCreate(model.get()));
  for (int i : {0, 1, 2}) vxmSelectionSelectTri(s.get(), i);
  VxmMatrix identity;
  vxmMatIdentity(&identity);
  ASSERT_TRUE(vxmSelectionApplyCylTexture(s.get(), 0, &identity, 3.0f, 1.0f, 1.0f, 2.0f));
  // u: -3 wraps to 13; 4 - 3 = 1; -4 - 3 = -7 wraps to 9. v = (y + 1) * 2 + 4.
  ASSERT_EQ(model->tris[0].texture, bitmap);
  EXPECT_EQ(std::vector<int32_t>(model->tris[0].uv, model->tris[0].uv + 6),
            (std::vector<int32_t>{13 * 4096, 7 * 4096, 4096, 6 * 4096, 9 * 4096, 6 * 4096}));
  // No facing test: the reversed facet is textured too.
  ASSERT_EQ(model->tris[1].texture, bitmap);
  EXPECT_EQ(model->tris[1].uv[2], 9 * 4096);
  EXPECT_EQ(model->tris[2].texture, nullptr);  // v = 10 is beyond the 8 rows
  EXPECT_EQ(model->tris[3].texture, nullptr);  // not selected

  // An offset of several widths wraps back: -40 -> -8 -> 8.
  vxmSelectionRestoreTris(s.get());
  ASSERT_TRUE(vxmSelectionApplyCylTexture(s.get(), 0, &identity, 40.0f, 1.0f, 1.0f, 2.0f));
  EXPECT_EQ(model->tris[0].uv[0], 8 * 4096);
  // Two repeats: u runs over 32 texels, so straight ahead lands at 29, beyond the bitmap.
  vxmSelectionRestoreTris(s.get());
  ASSERT_TRUE(vxmSelectionApplyCylTexture(s.get(), 0, &identity, 3.0f, 1.0f, 2.0f, 2.0f));
  EXPECT_EQ(model->tris[0].texture, nullptr);
  // No repeat at all gives no coordinates and changes nothing.
  ASSERT_TRUE(vxmSelectionApplyCylTexture(s.get(), 0, &identity, 3.0f, 1.0f, 0.0f, 2.0f));
  EXPECT_EQ(model->tris[0].texture, nullptr);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(Selection, ProjectionChecksAndMessages) {
  TestModel model = texelScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectAll(s.get());
  VxmMatrix identity;
  vxmMatIdentity(&identity);
  std::vector<std::string> expected;
  auto both = [&](VxmSelection* sel, int32_t slot, const VxmMatrix* m, const char* message) {
    EXPECT_FALSE(vxmSelectionApplyTexture(sel, slot, m)) << message;
    EXPECT_FALSE(vxmSelectionApplyCylTexture(sel, slot, m, 0, 0, 1, 1)) << message;
    expected.push_back(message);
    expected.push_back(message);
  };
  both(nullptr, 0, &identity, "Invalid Parameters");
  both(s.get(), 0, nullptr, "Invalid Parameters");
  both(s.get(), 2, &identity, "Invalid model texture ID");
  both(s.get(), -1, &identity, "Invalid model texture ID");
  VxmBitmap* kept = model->textures[1].bitmap;
  model->textures[1].bitmap = nullptr;
  both(s.get(), 1, &identity, "Invalid model");
  model->textures[1].bitmap = kept;
  VxmModel* owner = s->model;
  s->model = nullptr;
  both(s.get(), 0, &identity, "Invalid selection");
  s->model = owner;
  EXPECT_EQ(trace.messages(), expected);
  for (int i = 0; i < model->triCount; ++i) EXPECT_EQ(model->tris[i].texture, nullptr);
}

TEST_F(Selection, RemoveTextureFromTheSelectedFacets) {
  TestModel model = texelScene();
  VxmBitmap* first = model->textures[0].bitmap;
  VxmBitmap* second = model->textures[1].bitmap;
  model->tris[0].texture = first;   // selected: loses it
  model->tris[1].texture = first;   // not selected: keeps it
  model->tris[2].texture = second;  // selected, another texture
  for (int i = 0; i < 4; ++i) model->tris[i].colour = i == 3 ? 0x123456 : 0x010203;  // 3: untextured
  TestSelection s(vxmSelectionCreate(model.get()));
  for (int i : {0, 2, 3}) vxmSelectionSelectTri(s.get(), i);
  ASSERT_TRUE(vxmSelectionRemoveTexture(s.get(), 0));
  EXPECT_EQ(model->tris[0].texture, nullptr);
  EXPECT_EQ(model->tris[0].colour, 0x7F7F7Fu);
  EXPECT_EQ(model->tris[1].texture, first);
  EXPECT_EQ(model->tris[1].colour, 0x010203u);
  EXPECT_EQ(model->tris[2].texture, second);
  EXPECT_EQ(model->tris[3].colour, 0x123456u);
  EXPECT_EQ(model->textureCount, 2);  // the slot stays

  // A slot without a bitmap is shown by no facet: untextured facets keep their colours.
  model->textures[1].bitmap = nullptr;
  ASSERT_TRUE(vxmSelectionRemoveTexture(s.get(), 1));
  EXPECT_EQ(model->tris[3].colour, 0x123456u);
  model->textures[1].bitmap = second;
  EXPECT_TRUE(trace.lines.empty());

  EXPECT_FALSE(vxmSelectionRemoveTexture(s.get(), 2));
  EXPECT_FALSE(vxmSelectionRemoveTexture(s.get(), -1));
  EXPECT_FALSE(vxmSelectionRemoveTexture(nullptr, 0));
  s->model = nullptr;
  EXPECT_FALSE(vxmSelectionRemoveTexture(s.get(), 0));
  s->model = model.get();
  EXPECT_EQ(trace.messages(), (std::vector<std::string>{"Invalid model image ID", "Invalid model image ID",
                                                         "Invalid Parameters", "Invalid selection"}));
  EXPECT_EQ(model->tris[2].texture, second);
}

// --- The committed copy ----------------------------------------------------------------------------

TEST_F(Selection, RestoreAndSaveTheCommittedCopy) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  const VxmTri original0 = model->tris[0];
  model->tris[0].colour = 0x111111;
  model->tris[1].colour = 0x222222;
  ASSERT_TRUE(vxmSelectionSaveTri(s.get(), 1));  // commits facet 1 only
  ASSERT_TRUE(vxmSelectionRestoreTris(s.get()));
  EXPECT_EQ(std::memcmp(&model->tris[0], &original0, sizeof(VxmTri)), 0);
  EXPECT_EQ(model->tris[1].colour, 0x222222u);

  model->tris[2].colour = 0x333333;
  model->tris[3].v[0] = 9;
  ASSERT_TRUE(vxmSelectionSaveTris(s.get()));
  EXPECT_EQ(std::memcmp(s->savedTris, model->tris, 4 * sizeof(VxmTri)), 0);
  model->tris[2].colour = 0;
  ASSERT_TRUE(vxmSelectionRestoreTris(s.get()));
  EXPECT_EQ(model->tris[2].colour, 0x333333u);
  EXPECT_EQ(model->tris[3].v[0], 9);
  EXPECT_TRUE(trace.lines.empty());

  EXPECT_FALSE(vxmSelectionSaveTri(s.get(), -1));
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_FALSE(vxmSelectionSaveTri(s.get(), 4));
  EXPECT_FALSE(vxmSelectionSaveTri(s.get(), -2));
  EXPECT_FALSE(vxmSelectionSaveTri(nullptr, 0));
  EXPECT_FALSE(vxmSelectionSaveTris(nullptr));
  EXPECT_FALSE(vxmSelectionRestoreTris(nullptr));
  s->model = nullptr;
  EXPECT_FALSE(vxmSelectionSaveTri(s.get(), 0));
  EXPECT_FALSE(vxmSelectionSaveTris(s.get()));
  EXPECT_FALSE(vxmSelectionRestoreTris(s.get()));
  s->model = model.get();
  EXPECT_EQ(trace.messages(),
            (std::vector<std::string>{"Not a valid tri index", "Not a valid tri index", "Invalid Parameters",
                                      "Invalid Parameters", "Invalid Parameters", "Invalid selection",
                                      "Invalid selection", "Invalid selection"}));
}

TEST_F(Selection, ASelectionOfAnotherFacetCountIsRefused) {
  TestModel model = rectScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmModelMakeDoubleSided(model.get());  // the model now has more facets than the selection's tables
  ASSERT_GT(model->triCount, 4);
  trace.clear();
  EXPECT_FALSE(vxmSelectionRestoreTris(s.get()));
  EXPECT_FALSE(vxmSelectionSaveTris(s.get()));
  vxmSelectionSelectAll(s.get());
  vxmSelectionSelectRect(s.get(), 0, 0, kWidth, kHeight);
  EXPECT_EQ(vxmSelectionPick(s.get(), 15, 15), -1);
  vxmSelectionDraw(s.get());
  EXPECT_EQ(trace.messages(), std::vector<std::string>(6, "Invalid selection"));
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(Selection, FacetsWithCornersOutsideTheVertexTableAreSkipped) {
  TestModel model = rectScene();
  model->tris[0].v[1] = 12;  // one past the last vertex
  model->tris[2].v[2] = -1;
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectAll(s.get());
  const std::vector<uint8_t> untouched = pixels();
  vxmSelectionDrawTri(s.get(), 0);
  s->current = 2;
  vxmSelectionDrawCurrent(s.get());
  EXPECT_EQ(pixels(), untouched);
  EXPECT_EQ(vxmSelectionPick(s.get(), 12, 15), -1);
  vxmSelectionClear(s.get());
  vxmSelectionSelectRect(s.get(), 0, 0, kWidth, kHeight);
  EXPECT_EQ(flags(s.get()), (std::vector<uint8_t>{0, 0, 0, 1}));
}

// --- Failed work tables ----------------------------------------------------------------------------

TEST_F(Selection, EveryScreenOperationDoesNothingWithoutItsWorkTable) {
  TestModel model = texelScene();
  TestSelection s(vxmSelectionCreate(model.get()));
  vxmSelectionSelectTri(s.get(), 0);
  VxmMatrix identity;
  vxmMatIdentity(&identity);
  const std::vector<uint8_t> picture = pixels();
  const std::vector<uint8_t> selected = flags(s.get());
  const long live = vxmMemLiveBlocks();
  auto failing = [&](const char* what, const std::function<void()>& operation) {
    SCOPED_TRACE(what);
    trace.clear();
    vxmMemFailAfter(0);
    operation();
    vxmMemFailAfter(-1);
    EXPECT_TRUE(trace.has("Out of Memory!"));
    EXPECT_EQ(vxmMemLiveBlocks(), live);
  };
  failing("pick", [&] { EXPECT_EQ(vxmSelectionPick(s.get(), 2, 2), -1); });
  failing("select", [&] { vxmSelectionSelectRect(s.get(), -100, -100, 100, 100); });
  failing("deselect", [&] { vxmSelectionDeselectRect(s.get(), -100, -100, 100, 100); });
  failing("paint", [&] { vxmSelectionPaintRect(s.get(), -100, -100, 100, 100, 0x010101); });
  failing("mark", [&] { vxmSelectionDrawRect(s.get(), -100, -100, 100, 100, 0x010101); });
  failing("draw", [&] { vxmSelectionDraw(s.get()); });
  failing("flat", [&] { EXPECT_FALSE(vxmSelectionApplyTexture(s.get(), 0, &identity)); });
  failing("cylinder", [&] { EXPECT_FALSE(vxmSelectionApplyCylTexture(s.get(), 0, &identity, 0, 0, 1, 1)); });
  EXPECT_EQ(flags(s.get()), selected);
  EXPECT_EQ(pixels(), picture);
  EXPECT_EQ(std::memcmp(s->savedTris, model->tris, sizeof(VxmTri) * (size_t)model->triCount), 0);

  // Drawing one facet needs no table.
  vxmMemFailAfter(0);
  s->current = 0;
  vxmSelectionDrawCurrent(s.get());
  vxmMemFailAfter(-1);
}

}  // namespace
