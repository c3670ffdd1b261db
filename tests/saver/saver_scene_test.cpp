// saver_scene_test.cpp: the saver's background picture (tiled, centred, shrunk for the preview)
// and the sprite: the background copied from under it, the model drawn over it, its axes.
#include <gtest/gtest.h>

#include <cstring>

#include "SaverMotion.h"
#include "SaverScene.h"
#include "TestSupport.h"
#include "voxim.h"

namespace {

struct Pixel {
  uint8_t b, g, r;
  bool operator==(const Pixel& o) const { return b == o.b && g == o.g && r == o.r; }
};

Pixel at(const VxmBitmap* bitmap, int32_t x, int32_t row) {
  const uint8_t* p = bitmap->lineTable[row] + 3 * x;
  return Pixel{p[0], p[1], p[2]};
}

void put(VxmBitmap* bitmap, int32_t x, int32_t row, Pixel c) {
  uint8_t* p = bitmap->lineTable[row] + 3 * x;
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

// A picture whose every pixel tells where it came from.
VxmBitmap* numbered(int32_t w, int32_t h) {
  VxmBitmap* b = vxmBitmapCreate(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) put(b, x, y, Pixel{200, (uint8_t)(10 + y), (uint8_t)(10 + x)});
  return b;
}

const Pixel BLACK = {0, 0, 0};

struct Bitmaps {
  VxmBitmap* a = nullptr;
  VxmBitmap* b = nullptr;
  ~Bitmaps() {
    vxmBitmapFree(a);
    vxmBitmapFree(b);
  }
};

}  // namespace

TEST(SaverBackground, TiledFromTheBottomLeftCorner) {
  Bitmaps bm;
  bm.a = vxmBitmapCreate(10, 7, 24);
  bm.b = numbered(3, 2);
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, true, 1.0f, true));
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(at(bm.a, x, y), at(bm.b, x % 3, y % 2)) << x << "," << y;
}

TEST(SaverBackground, CentredAndBlackAround) {
  Bitmaps bm;
  bm.a = numbered(10, 7);  // stale content must be cleared
  bm.b = numbered(3, 2);
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, true, 1.0f, false));
  // (10 - 3) >> 1 = 3 and (7 - 2) >> 1 = 2, in bitmap rows (counted from the bottom).
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      bool inside = x >= 3 && x < 6 && y >= 2 && y < 4;
      ASSERT_EQ(at(bm.a, x, y), inside ? at(bm.b, x - 3, y - 2) : BLACK) << x << "," << y;
    }
  }
}

TEST(SaverBackground, LargePictureCentredShowsItsMiddle) {
  Bitmaps bm;
  bm.a = vxmBitmapCreate(10, 7, 24);
  bm.b = numbered(20, 20);
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, true, 1.0f, false));
  // Placed at (-5, -7): background pixel (0, 0) shows picture pixel (5, 7).
  EXPECT_EQ(at(bm.a, 0, 0), at(bm.b, 5, 7));
  EXPECT_EQ(at(bm.a, 9, 6), at(bm.b, 14, 13));
}

TEST(SaverBackground, PreviewShrinksThePictureByTheViewScale) {
  Bitmaps bm;
  bm.a = vxmBitmapCreate(9, 5, 24);
  bm.b = numbered(4, 4);
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, false, 0.5f, true));
  // 2 x 2 tiles, each source pixel taken every second column and row.
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(at(bm.a, x, y), at(bm.b, (x % 2) * 2, (y % 2) * 2)) << x << "," << y;
  // Centred: 2 x 2 at ((9 - 2) >> 1, (5 - 2) >> 1) = (3, 1).
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, false, 0.5f, false));
  EXPECT_EQ(at(bm.a, 3, 1), at(bm.b, 0, 0));
  EXPECT_EQ(at(bm.a, 4, 2), at(bm.b, 2, 2));
  EXPECT_EQ(at(bm.a, 2, 1), BLACK);
  EXPECT_EQ(at(bm.a, 5, 1), BLACK);
  EXPECT_EQ(at(bm.a, 3, 3), BLACK);
}

TEST(SaverBackground, NoPictureOrOneShrunkToNothingLeavesBlack) {
  Bitmaps bm;
  bm.a = numbered(6, 4);
  ASSERT_TRUE(saverDrawBackground(bm.a, nullptr, true, 1.0f, true));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) ASSERT_EQ(at(bm.a, x, y), BLACK);
  // A 3-pixel picture at a scale of 0.2 is less than a pixel wide: black, and the tiling ends.
  bm.b = numbered(3, 3);
  put(bm.a, 1, 1, Pixel{1, 2, 3});
  ASSERT_TRUE(saverDrawBackground(bm.a, bm.b, false, 0.2f, true));
  EXPECT_EQ(at(bm.a, 1, 1), BLACK);
  EXPECT_FALSE(saverDrawBackground(nullptr, bm.b, true, 1.0f, true));
}

namespace {

// A cube from -1 to 1 about (10, 20, 30), each face in its own colour and drawn from both sides,
// so that whichever way a face winds the nearer one shows.
const uint32_t FACE_COLOURS[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};  // -z +z -y +y -x +x

VxmModel* makeCube() {
  static const int32_t quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  VxmModel* model = vxmModelCreate(8, 0, 24);
  if (!model) return nullptr;
  for (int i = 0; i < 8; ++i)
    model->vertices[i] = VxmVector{10.0f + ((i & 1) ? 1.0f : -1.0f), 20.0f + ((i & 2) ? 1.0f : -1.0f),
                                   30.0f + ((i & 4) ? 1.0f : -1.0f)};
  int32_t t = 0;
  for (int f = 0; f < 6; ++f) {
    const int32_t* q = quads[f];
    const int32_t corners[4][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}, {q[0], q[2], q[1]}, {q[0], q[3], q[2]}};
    for (const auto& c : corners) {
      VxmTri& tri = model->tris[t++];
      std::memset(&tri, 0, sizeof tri);
      tri.v[0] = c[0];
      tri.v[1] = c[1];
      tri.v[2] = c[2];
      tri.n[0] = tri.n[1] = tri.n[2] = -1;
      tri.colour = FACE_COLOURS[f];
    }
  }
  vxmModelCalcSurfaceNormals(model);
  return model;
}

// Ambient light alone at half strength: a face of colour c shows as floor(c * 128 / 256).
Pixel halfLit(uint32_t colour) {
  return Pixel{(uint8_t)((colour & 0xFF) >> 1), (uint8_t)(((colour >> 8) & 0xFF) >> 1),
               (uint8_t)(((colour >> 16) & 0xFF) >> 1)};
}

struct SpriteScene : ::testing::Test {
  VxmBitmap* background = nullptr;
  VxmBitmap* sprite = nullptr;
  VxmModel* model = nullptr;
  SaverMotion motion;
  VxmRenderFit fit;
  SaverSpin spin = {};

  void SetUp() override {
    saverMotionInit(&motion, 200, 150, 200, 20, 65);  // S = 39
    motion.ix = 50;
    motion.iy = 40;
    background = vxmBitmapCreate(200, 150, 24);
    for (int32_t y = 0; y < 150; ++y)
      for (int32_t x = 0; x < 200; ++x) put(background, x, y, Pixel{77, (uint8_t)y, (uint8_t)x});
    sprite = vxmBitmapCreate(motion.side, motion.side, 24);
    model = makeCube();
    ASSERT_TRUE(background && sprite && model);
    ASSERT_TRUE(vxmRenderInit());
    vxmRenderSetTarget(sprite);
    vxmRenderSetState(saverRenderStateFor(model));
    vxmLightSetAmbient(0x808080);
    vxmLightSetDirectional(0x000000);
    ASSERT_TRUE(vxmRenderFitModel(model, motion.side, &fit));
    vxmRenderSetViewMatrix(&fit.view);
  }
  void TearDown() override {
    vxmRenderShutdown();
    vxmModelFree(model);
    vxmBitmapFree(sprite);
    vxmBitmapFree(background);
  }
  Pixel centre() const { return at(sprite, motion.side >> 1, motion.side >> 1); }
};

}  // namespace

TEST_F(SpriteScene, BackgroundUnderTheSpriteThenTheModelOverIt) {
  EXPECT_EQ(saverRenderStateFor(model), VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING);
  ASSERT_TRUE(saverRenderSprite(model, &fit, &spin, &motion, background, sprite));
  // The sprite's row 0 is its bottom line, on screen row iy + S - 1: background row H - iy - S.
  const int32_t S = motion.side;
  EXPECT_EQ(at(sprite, 0, 0), at(background, 50, 150 - 40 - S));
  EXPECT_EQ(at(sprite, S - 1, S - 1), at(background, 50 + S - 1, 150 - 40 - 1));
  EXPECT_EQ(at(sprite, 3, S - 2), at(background, 53, 150 - 40 - 2));
  // Seen along z the cube shows its -z face, ambient-lit; the model turns about its own centre.
  EXPECT_EQ(centre(), halfLit(FACE_COLOURS[0]));
  EXPECT_EQ(model->matrix.m[9], -10.0f);
  EXPECT_EQ(model->matrix.m[10], -20.0f);
  EXPECT_EQ(model->matrix.m[11], -30.0f);
  // The face fills about +-0.55 R around the centre and no more.
  const int32_t c = S >> 1;
  EXPECT_EQ(at(sprite, c + 8, c), halfLit(FACE_COLOURS[0]));
  EXPECT_EQ(at(sprite, c + 13, c), at(background, 50 + c + 13, 150 - 40 - S + c));
}

TEST_F(SpriteScene, SpinAnglesTurnTheModelAboutTheirAxes) {
  spin.angle[0] = 1.5707964f;  // a quarter turn about X brings a y face to the front
  ASSERT_TRUE(saverRenderSprite(model, &fit, &spin, &motion, background, sprite));
  Pixel seen = centre();
  EXPECT_TRUE(seen == halfLit(FACE_COLOURS[2]) || seen == halfLit(FACE_COLOURS[3]));
  spin.angle[0] = 0.0f;
  spin.angle[1] = 1.5707964f;  // about Y an x face
  ASSERT_TRUE(saverRenderSprite(model, &fit, &spin, &motion, background, sprite));
  seen = centre();
  EXPECT_TRUE(seen == halfLit(FACE_COLOURS[4]) || seen == halfLit(FACE_COLOURS[5]));
  spin.angle[1] = 0.0f;
  spin.angle[2] = 1.5707964f;  // about Z (the view axis) the same face stays in front
  ASSERT_TRUE(saverRenderSprite(model, &fit, &spin, &motion, background, sprite));
  EXPECT_EQ(centre(), halfLit(FACE_COLOURS[0]));
}

TEST_F(SpriteScene, SpriteAtTheWindowEdgeCopiesWhatLiesInside) {
  motion.ix = -3;
  motion.iy = 150 - motion.side + 2;  // two rows below the window's bottom
  ASSERT_TRUE(saverRenderSprite(model, &fit, &spin, &motion, background, sprite));
  // Column 3 of the sprite is background column 0; sprite row 2 is background row 0.
  EXPECT_EQ(at(sprite, 3, 2), at(background, 0, 0));
  EXPECT_EQ(at(sprite, 10, motion.side - 1), at(background, 7, motion.side - 3));
}

TEST(SaverSprite, RenderStateFollowsTheVertexNormals) {
  VxmModel* flat = makeCube();
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(saverRenderStateFor(flat), 7);
  ASSERT_TRUE(vxmModelCalcAverageNormals(flat));
  EXPECT_EQ(saverRenderStateFor(flat), 11);
  vxmModelFree(flat);
  TraceCapture trace;
  VxmRenderFit fit;
  SaverMotion motion;
  saverMotionInit(&motion, 100, 100, 100, 20, 65);
  SaverSpin spin = {};
  EXPECT_FALSE(saverRenderSprite(nullptr, &fit, &spin, &motion, nullptr, nullptr));
  EXPECT_TRUE(trace.has("Invalid Parameters"));
}
