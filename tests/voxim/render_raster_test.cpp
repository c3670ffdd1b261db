// render_raster_test.cpp: the rasteriser's exact pixels: edge walk and span coverage, shared
// edges, the depth rule, rounding of corners, the inside-the-target test, culling, wireframes,
// the selection highlight and the inverting rectangle.
#include <gtest/gtest.h>

#include "RenderTestScene.h"
#include "RndrInternal.h"
#include "TestSupport.h"

using Picture = std::vector<std::string>;

static constexpr uint32_t kInk = 0xFF0000;
static constexpr uint32_t kWhite = 0xFFFFFF;

// The facet (10, 10), (10, 20), (20, 15), clockwise with rows rising upwards.
static const std::vector<TestCorner> kReference = {{10, 10, 5}, {10, 20, 5}, {20, 15, 5}};

class RasterTest : public RenderTest {};

TEST_F(RasterTest, FacetCoversItsRowsWithoutTopRowOrRightEnd) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kInk);
  ASSERT_TRUE(model);
  vxmRenderSetState(VXM_RENDER_COLOUR);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  const Picture expected = {
      // columns 8..22, rows 21 (top) .. 9
      "...............",  // 21
      "...............",  // 20: the top row is never filled
      "..#............",  // 19
      "..###..........",  // 18
      "..#####........",  // 17
      "..#######......",  // 16
      "..##########...",  // 15: columns 10..19, the right end (20) excluded
      "..#########....",  // 14
      "..#######......",  // 13
      "..#####........",  // 12
      "..###..........",  // 11
      "..#............",  // 10
      "...............",  // 9
  };
  EXPECT_EQ(testPicture(target, 8, 9, 22, 21, kBackground, kInk), expected);
  EXPECT_EQ(testCountNot(target, kBackground), 51);
}

TEST_F(RasterTest, OppositeWindingDrawsNothingEvenWhenFacingTheViewer) {
  start(40, 30);
  TestModel model = testPixelModel({{10, 10, 5}, {20, 15, 5}, {10, 20, 5}}, {{0, 1, 2}}, 40, 30, kInk);
  ASSERT_TRUE(model);
  model->tris[0].normal = {0.0f, 0.0f, -1.0f};  // passes culling; the spans come out empty
  for (int32_t state : {1, 3, 5, 9, 11}) {
    vxmRenderSetState(state);
    ASSERT_TRUE(vxmRenderModel(model.get()));
    EXPECT_EQ(testCountNot(target, kBackground), 0) << "state " << state;
  }
}

TEST_F(RasterTest, WireframeLinesLeaveTheirUpperEndsUnlit) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kInk);
  ASSERT_TRUE(model);
  vxmRenderSetState(0);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  const Picture expected = {
      // columns 8..22, rows 21..9
      "...............",  // 21
      "...............",  // 20: corner 1 is the upper end of both its edges
      "..###..........",  // 19
      "..#..##........",  // 18
      "..#....##......",  // 17
      "..#......##....",  // 16
      "..#........##..",  // 15
      "..#.......##...",  // 14
      "..#.....##.....",  // 13
      "..#...##.......",  // 12
      "..#.##.........",  // 11
      "..##...........",  // 10
      "...............",  // 9
  };
  EXPECT_EQ(testPicture(target, 8, 9, 22, 21, kBackground, kWhite), expected);
  EXPECT_EQ(testCountNot(target, kBackground), 29);
}

TEST_F(RasterTest, FacetOnOneRowFillsNothingAndWiresALine) {
  start(40, 30);
  TestModel model = testPixelModel({{5, 10, 5}, {15, 10, 5}, {25, 10, 5}}, {{0, 1, 2}}, 40, 30, kInk);
  ASSERT_TRUE(model);
  model->tris[0].normal = {0.0f, 0.0f, -1.0f};
  for (int32_t state : {1, 5, 9}) {
    vxmRenderSetState(state);
    ASSERT_TRUE(vxmRenderModel(model.get()));
    EXPECT_EQ(testCountNot(target, kBackground), 0) << "state " << state;
  }
  vxmRenderSetState(0);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  // Lines from corner 1 to 0, 2 to 1 and 2 to 0: columns 6..25; column 5 is no line's start.
  EXPECT_EQ(testPicture(target, 4, 9, 26, 11, kBackground, kWhite),
            Picture({".......................", "..####################.", "......................."}));
  EXPECT_EQ(testCountNot(target, kBackground), 20);
}

// A flat edge's entry in each row is the column at which it leaves that row; a steep edge moves
// one row a step and a column whenever its error turns positive. Worked by hand from the corners.
TEST_F(RasterTest, EdgesEnterEachRowAtTheColumnTheRulesGive) {
  start(40, 30);
  struct Case {
    const char* name;
    std::vector<TestCorner> corners;
    int32_t x0, y0, x1, y1;  // the window pictured
    Picture expected;
  };
  const Case cases[] = {
      // Left edges 0-1 (-8 columns, 3 rows) and 1-2 (+8, 3): their entries in rows 10..16 are
      // columns 13, 10, 8, 7 (edge 1-2 overwrites edge 0-1's 6 at the shared row), 10, 12 and
      // 14; the right edge stands at column 14.
      {"shallow left edges",
       {{14, 10, 5}, {6, 13, 5}, {14, 16, 5}},
       5, 9, 15, 17,
       {
           "...........",  // 17
           "...........",  // 16: the top row
           ".......##..",  // 15: columns 12..13
           ".....####..",  // 14: 10..13
           "..#######..",  // 13: 7..13
           "...######..",  // 12: 8..13
           ".....####..",  // 11: 10..13
           "........#..",  // 10: 13 only
           "...........",  // 9
       }},
      // Right edges 0-2 (+3 columns, 5 rows) and 2-1 (-3, 5): columns 10, 11, 11, 12, 12, 13,
      // 12, 12, 11, 11 in rows 10..19 against the left edge at column 10.
      {"steep slanted right edges",
       {{10, 10, 5}, {10, 20, 5}, {13, 15, 5}},
       9, 9, 14, 21,
       {
           "......",  // 21
           "......",  // 20: the top row
           ".#....",  // 19
           ".#....",  // 18
           ".##...",  // 17
           ".##...",  // 16
           ".###..",  // 15
           ".##...",  // 14
           ".##...",  // 13
           ".#....",  // 12
           ".#....",  // 11
           "......",  // 10: the span ends where it starts
           "......",  // 9
       }},
  };
  vxmRenderSetState(VXM_RENDER_COLOUR);
  for (const Case& c : cases) {
    TestModel model = testPixelModel(c.corners, {{0, 1, 2}}, 40, 30, kInk);
    ASSERT_TRUE(model);
    clear();
    ASSERT_TRUE(vxmRenderModel(model.get()));
    EXPECT_EQ(testPicture(target, c.x0, c.y0, c.x1, c.y1, kBackground, kInk), c.expected) << c.name;
  }
}

// One string per row of the target: '#' where a pixel differs from the background.
static std::vector<std::string> testRowMasks(const VxmBitmap* target) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < target->height; ++y) {
    std::string row;
    for (int32_t x = 0; x < target->width; ++x) row += testPixel(target, x, y) == RenderTest::kBackground ? '.' : '#';
    rows.push_back(row);
  }
  return rows;
}

// Two facets sharing an edge, each drawn alone: in the rows strictly between the shared
// corners each facet's pixels form one run and the two runs meet, the right end of one (which
// is excluded) being the first pixel of the other. Drawn together there, they cover exactly the
// pixels they cover alone.
static void checkSharedEdge(VxmBitmap* target, const std::vector<TestCorner>& quad, int32_t state,
                            VxmBitmap* texture) {
  TestModel both = testPixelModel(quad, {{0, 1, 2}, {0, 2, 3}}, target->width, target->height, 0x00FF00);
  ASSERT_TRUE(both);
  both->tris[0].colour = kInk;
  for (int t = 0; t < 2 && texture; ++t) {
    both->tris[t].texture = texture;
    testSetUV(&both->tris[t], 0, 0, 4096, 4096, 8192, 0);
  }
  ASSERT_LT(both->tris[0].normal.z, 0.0f);
  ASSERT_LT(both->tris[1].normal.z, 0.0f);
  vxmRenderSetState(state);

  std::vector<std::string> rowMask[2];  // per facet drawn alone
  for (int t = 0; t < 2; ++t) {
    TestModel one = testPixelModel(quad, {{0, 1, 2}, {0, 2, 3}}, target->width, target->height, 0x00FF00);
    ASSERT_TRUE(one);
    one->tris[1 - t].normal = {0.0f, 0.0f, 1.0f};  // culled
    one->tris[t].texture = both->tris[t].texture;
    for (int i = 0; i < 6; ++i) one->tris[t].uv[i] = both->tris[t].uv[i];
    testFill(target, RenderTest::kBackground);
    vxmRenderClearDepth();
    ASSERT_TRUE(vxmRenderModel(one.get()));
    rowMask[t] = testRowMasks(target);
  }
  testFill(target, RenderTest::kBackground);
  vxmRenderClearDepth();
  ASSERT_TRUE(vxmRenderModel(both.get()));
  const std::vector<std::string> together = testRowMasks(target);

  const int32_t rowA = (int32_t)quad[0].row, rowC = (int32_t)quad[2].row;
  for (int32_t y = std::min(rowA, rowC) + 1; y < std::max(rowA, rowC); ++y) {
    // Each facet alone in this row: its pixels form one run; the two runs touch, never overlap.
    int32_t first[2], last[2];
    for (int t = 0; t < 2; ++t) {
      first[t] = last[t] = -1;
      for (int32_t x = 0; x < target->width; ++x) {
        if (rowMask[t][y][x] == '.') continue;
        if (first[t] < 0) first[t] = x;
        last[t] = x;
      }
      ASSERT_GE(first[t], 0) << "row " << y;
      for (int32_t x = first[t]; x <= last[t]; ++x) EXPECT_NE(rowMask[t][y][x], '.') << x << "," << y;
    }
    const int left = first[0] < first[1] ? 0 : 1;
    EXPECT_EQ(last[left] + 1, first[1 - left]) << "row " << y;
    std::string joined = rowMask[0][y];
    for (int32_t x = first[1]; x <= last[1]; ++x) joined[x] = '#';
    EXPECT_EQ(together[y], joined) << "row " << y;
  }
}

TEST_F(RasterTest, SharedEdgesMeetWithoutGapOrOverlap) {
  start(40, 32);
  // Shared edge A-C steep, shallow, and falling to the right; facets ABC and ACD.
  checkSharedEdge(target, {{3, 4, 5}, {9, 27, 5}, {30, 20, 5}, {28, 2, 5}}, VXM_RENDER_COLOUR, nullptr);
  checkSharedEdge(target, {{2, 12, 5}, {4, 30, 5}, {37, 17, 5}, {30, 1, 5}}, VXM_RENDER_COLOUR, nullptr);
  checkSharedEdge(target, {{2, 25, 5}, {30, 30, 5}, {36, 3, 5}, {6, 1, 5}}, VXM_RENDER_COLOUR, nullptr);
  checkSharedEdge(target, {{3, 4, 2}, {9, 27, 9}, {30, 20, 4}, {28, 2, 7}},
                  VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH, nullptr);
}

TEST_F(RasterTest, SharedEdgesOfTexturedFacetsMeetWithoutGapOrOverlap) {
  start(40, 32);
  TestBitmap texture = testTexture(4, 4, [](int32_t x, int32_t y) { return 0x010101u * (uint32_t)(40 + 10 * x + y); });
  ASSERT_TRUE(texture);
  checkSharedEdge(target, {{3, 4, 5}, {9, 27, 5}, {30, 20, 5}, {28, 2, 5}},
                  VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE, texture.get());
  checkSharedEdge(target, {{2, 25, 5}, {30, 30, 5}, {36, 3, 5}, {6, 1, 5}},
                  VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING, texture.get());
}

TEST_F(RasterTest, LaterFacetAtEqualDepthDoesNotReplaceAPixel) {
  start(40, 30);
  // Facet 0 red and facet 1 green on the same pixels; the list is drawn from its end, so facet 1
  // is drawn first and facet 0 must be strictly nearer to replace it.
  auto render = [&](float depth0) {
    std::vector<TestCorner> corners = kReference;
    for (const TestCorner& c : kReference) corners.push_back({c.column, c.row, depth0});
    TestModel model = testPixelModel(corners, {{3, 4, 5}, {0, 1, 2}}, 40, 30, 0x00FF00);
    model->tris[0].colour = kInk;
    clear();
    vxmRenderSetState(VXM_RENDER_COLOUR);
    EXPECT_TRUE(vxmRenderModel(model.get()));
    return testPixel(target, 12, 15);
  };
  EXPECT_EQ(render(5.0f), 0x00FF00u);
  EXPECT_EQ(render(4.999999f), kInk);
  EXPECT_EQ(render(5.000001f), 0x00FF00u);
  EXPECT_EQ(testCountNot(target, kBackground), 51);
}

TEST_F(RasterTest, DepthIsInterpolatedAcrossTheFacet) {
  start(40, 30);
  // A slanted red facet against a flat green one at depth 5: the red one is nearer on the left
  // (depth 0 at column 10) and farther on the right (depth 10 at column 20), so exactly the
  // pixels of row 15 left of column 15 are red.
  TestModel model = testPixelModel({{10, 10, 0}, {10, 20, 0}, {20, 15, 10}, {10, 10, 5}, {10, 20, 5}, {20, 15, 5}},
                                   {{0, 1, 2}, {3, 4, 5}}, 40, 30, 0x00FF00);
  model->tris[0].colour = kInk;
  vxmRenderSetState(VXM_RENDER_COLOUR);
  ASSERT_TRUE(vxmRenderModel(model.get()));
  EXPECT_EQ(testPicture(target, 10, 15, 19, 15, kBackground, kInk), Picture({"#####?????"}));
  EXPECT_EQ(testPixel(target, 15, 15), 0x00FF00u);
}

TEST_F(RasterTest, CornersRoundHalvesToEven) {
  start(200, 100);
  VxmMatrix screen;
  vxmRenderGetScreenMatrix(&screen);
  VxmVector point = {0.0f, 0.0f, 5.0f}, placed;
  vxmVtxTransform(&placed, &screen, &point, 1);
  EXPECT_EQ(placed.x, 100.0f);
  EXPECT_EQ(placed.y, 50.0f);
  EXPECT_EQ(placed.z, 5.0f);

  auto firstInkColumn = [&](float column, int32_t row) {
    TestModel model = testPixelModel({{column, 10, 5}, {column, 20, 5}, {column + 12, 15, 5}}, {{0, 1, 2}}, 200, 100, kInk);
    clear();
    vxmRenderSetState(VXM_RENDER_COLOUR);
    EXPECT_TRUE(vxmRenderModel(model.get()));
    for (int32_t x = 0; x < 200; ++x)
      if (testPixel(target, x, row) == kInk) return x;
    return -1;
  };
  EXPECT_EQ(firstInkColumn(98.5f, 15), 98);
  EXPECT_EQ(firstInkColumn(99.5f, 15), 100);
  EXPECT_EQ(firstInkColumn(99.49f, 15), 99);
  EXPECT_EQ(firstInkColumn(-0.5f + 50, 15), 50);  // 49.5 -> 50

  // The wireframe's line from corner 0 starts on corner 0's pixel.
  auto firstInkRow = [&](float row) {
    TestModel model = testPixelModel({{50, row, 5}, {50, row + 10, 5}, {60, row + 5, 5}}, {{0, 1, 2}}, 200, 100, kInk);
    clear();
    vxmRenderSetState(0);
    EXPECT_TRUE(vxmRenderModel(model.get()));
    for (int32_t y = 0; y < 100; ++y)
      if (testPixel(target, 50, y) == kWhite) return y;
    return -1;
  };
  EXPECT_EQ(firstInkRow(10.5f), 10);
  EXPECT_EQ(firstInkRow(11.5f), 12);
}

TEST_F(RasterTest, FacetWithACornerOutsideTheTargetIsSkippedWhole) {
  start(40, 30);
  // One corner of the reference facet moved (the winding stays clockwise).
  auto drawn = [&](int corner, TestCorner moved) {
    std::vector<TestCorner> corners = kReference;
    corners[corner] = moved;
    TestModel model = testPixelModel(corners, {{0, 1, 2}}, 40, 30, kInk);
    EXPECT_LT(model->tris[0].normal.z, 0.0f);
    clear();
    vxmRenderSetState(VXM_RENDER_COLOUR);
    EXPECT_TRUE(vxmRenderModel(model.get()));
    const int filled = testCountNot(target, kBackground);
    clear();
    vxmRenderSetState(0);  // wireframes obey the same test
    EXPECT_TRUE(vxmRenderModel(model.get()));
    return filled + testCountNot(target, kBackground);
  };
  EXPECT_EQ(drawn(0, {10, 10, 5}), 51 + 29);
  EXPECT_EQ(drawn(0, {-0.6f, 10, 5}), 0);   // column -1
  EXPECT_GT(drawn(0, {-0.5f, 10, 5}), 0);   // column 0 (halves to even)
  EXPECT_EQ(drawn(0, {10, -0.51f, 5}), 0);  // row -1
  EXPECT_EQ(drawn(1, {10, 29.5f, 5}), 0);   // row 30 = height
  EXPECT_GT(drawn(1, {10, 28.5f, 5}), 0);   // row 28
  EXPECT_EQ(drawn(2, {39.5f, 15, 5}), 0);   // column 40 = width
  EXPECT_GT(drawn(2, {38.5f, 15, 5}), 0);   // column 38
  EXPECT_EQ(drawn(2, {1.0e20f, 15, 5}), 0);
}

TEST_F(RasterTest, OnlyFacetsStrictlyFacingTheViewerAreDrawn) {
  start(40, 30);
  TestModel model = testPixelModel(kReference, {{0, 1, 2}}, 40, 30, kInk);
  vxmRenderSetState(0);  // wireframes show any facet that passes culling
  auto drawnWith = [&](VxmVector normal) {
    model->tris[0].normal = normal;
    clear();
    EXPECT_TRUE(vxmRenderModel(model.get()));
    return testCountNot(target, kBackground);
  };
  EXPECT_EQ(drawnWith({0.0f, 0.0f, -1.0f}), 29);
  EXPECT_EQ(drawnWith({1.0f, 0.0f, 0.0f}), 0);   // edge-on: d = 0
  EXPECT_EQ(drawnWith({0.0f, 0.0f, 0.0f}), 0);
  EXPECT_EQ(drawnWith({0.0f, 0.0f, 1.0f}), 0);   // from behind
  EXPECT_EQ(drawnWith({0.0f, 0.0f, -1.0e-30f}), 29);
  VxmRenderLimits limits;
  vxmRenderGetLimits(&limits);
  EXPECT_EQ(limits.renderTriCount, 1);
}

TEST_F(RasterTest, HighlightBlendsEverySecondPixelOfTheBlock) {
  // Width 41: rows are 124 bytes, so the parity of a pixel's place in the block changes from
  // row to row and the pattern is not simply the even columns.
  start(41, 30);
  const uint32_t once = 0x088F18, twice = 0x04C60C;  // background 0x102030 blended with green
  vxmRenderHighlightTri(10, 10, 10, 20, 20, 15, 0x00FF00);
  const Picture expected = {
      // columns 8..22, rows 20..9
      "...............",  // 20
      "...............",  // 19: the span (column 10) starts on an odd place
      "..#.#..........",  // 18
      "..#.#.#........",  // 17
      "...#.#.#.......",  // 16
      "..#.#.#.#.#....",  // 15
      "..#.#.#.#.#....",  // 14
      "...#.#.#.......",  // 13
      "..#.#.#........",  // 12
      "..#.#..........",  // 11
      "...............",  // 10
      "...............",  // 9
  };
  EXPECT_EQ(testPicture(target, 8, 9, 22, 20, kBackground, once), expected);
  EXPECT_EQ(testCountNot(target, kBackground), 26);

  vxmRenderHighlightTri(10, 10, 10, 20, 20, 15, 0x00FF00);  // blends again, no toggle
  EXPECT_EQ(testPixel(target, 12, 15), twice);
  EXPECT_EQ(testPixel(target, 13, 15), kBackground);
  EXPECT_EQ(testCountNot(target, kBackground), 26);
}

TEST_F(RasterTest, HighlightOutsideTheTargetDrawsNothing) {
  start(41, 30);
  vxmRenderHighlightTri(10, 10, 10, 20, 41, 15, 0x00FF00);
  vxmRenderHighlightTri(10, -1, 10, 20, 20, 15, 0x00FF00);
  vxmRenderHighlightTri(10, 10, 10, 30, 20, 15, 0x00FF00);
  EXPECT_EQ(testCountNot(target, kBackground), 0);
}

TEST_F(RasterTest, InvertingRectangleIsDottedAndUndoesItself) {
  start(20, 12);
  const uint32_t inverted = ~kBackground & 0xFFFFFF;
  vxmRenderInvertRect(9, 7, 3, 2);  // corners in any order
  const Picture expected = {
      // columns 2..10, rows 8..1
      ".........",  // 8
      ".#.#.#.#.",  // 7: top side
      ".#.....#.",  // 6
      ".........",  // 5
      ".#.....#.",  // 4
      ".........",  // 3
      "...#.#...",  // 2: the bottom corners are inverted twice
      ".........",  // 1
  };
  EXPECT_EQ(testPicture(target, 2, 1, 10, 8, kBackground, inverted), expected);
  EXPECT_EQ(testCountNot(target, kBackground), 10);
  vxmRenderInvertRect(3, 2, 9, 7);
  EXPECT_EQ(testCountNot(target, kBackground), 0);

  // Sides outside the target are left out; the others run to the target's edge.
  vxmRenderInvertRect(-3, 3, 25, 6);
  EXPECT_EQ(testCountNot(target, kBackground), 20);
  EXPECT_EQ(testPixel(target, 0, 3), inverted);
  EXPECT_EQ(testPixel(target, 18, 6), inverted);
  EXPECT_EQ(testPixel(target, 19, 6), kBackground);
  vxmRenderInvertRect(-3, 3, 25, 6);
  vxmRenderInvertRect(-3, -2, 25, 15);
  EXPECT_EQ(testCountNot(target, kBackground), 0);
}

TEST_F(RasterTest, FillsRejectANullFacet) {
  start(40, 30);
  TraceCapture trace;
  vxmRenderFillFlat(nullptr, kInk);
  vxmRenderFillFlatLit(nullptr, 10);
  vxmRenderFillSmooth(nullptr);
  vxmRenderWireTri(nullptr, kWhite);
  vxmRenderFillTexture(nullptr);
  vxmRenderFillTextureLit(nullptr, 10);
  vxmRenderFillTextureSmooth(nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(7, "Invalid Paramters"));
  EXPECT_EQ(testCountNot(target, kBackground), 0);
}
