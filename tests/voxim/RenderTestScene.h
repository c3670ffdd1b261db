// RenderTestScene.h: what the renderer tests share: a started renderer drawing into a target,
// models whose corners sit on chosen pixels (identity matrices: column = x + width / 2), and
// pictures of the target as text rows for exact comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app.h"
#include "voxim.h"
#include "vxmMem.h"

struct TestModelFree {
  void operator()(VxmModel* model) const { vxmModelFree(model); }
};
struct TestBitmapFree {
  void operator()(VxmBitmap* bitmap) const { vxmBitmapFree(bitmap); }
};
using TestModel = std::unique_ptr<VxmModel, TestModelFree>;
using TestBitmap = std::unique_ptr<VxmBitmap, TestBitmapFree>;

struct TestCorner {
  float column, row, depth;
};

// The colour of pixel (x, y) as 0xRRGGBB.
inline uint32_t testPixel(const VxmBitmap* bitmap, int32_t x, int32_t y) {
  const uint8_t* p = bitmap->lineTable[y] + 3 * x;
  return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

inline void testSetPixel(VxmBitmap* bitmap, int32_t x, int32_t y, uint32_t colour) {
  uint8_t* p = bitmap->lineTable[y] + 3 * x;
  p[0] = (uint8_t)colour;
  p[1] = (uint8_t)(colour >> 8);
  p[2] = (uint8_t)(colour >> 16);
}

inline void testFill(VxmBitmap* bitmap, uint32_t colour) {
  for (int32_t y = 0; y < bitmap->height; ++y)
    for (int32_t x = 0; x < bitmap->width; ++x) testSetPixel(bitmap, x, y, colour);
}

// Rows y1 down to y0 (the top of the picture first), columns x0..x1: '.' for the background,
// '#' for `ink`, '?' for anything else.
inline std::vector<std::string> testPicture(const VxmBitmap* bitmap, int32_t x0, int32_t y0, int32_t x1,
                                            int32_t y1, uint32_t background, uint32_t ink) {
  std::vector<std::string> rows;
  for (int32_t y = y1; y >= y0; --y) {
    std::string row;
    for (int32_t x = x0; x <= x1; ++x) {
      const uint32_t c = testPixel(bitmap, x, y);
      row += c == background ? '.' : c == ink ? '#' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

// Pixels of the target that differ from the background.
inline int testCountNot(const VxmBitmap* bitmap, uint32_t background) {
  int n = 0;
  for (int32_t y = 0; y < bitmap->height; ++y)
    for (int32_t x = 0; x < bitmap->width; ++x) n += testPixel(bitmap, x, y) != background;
  return n;
}

// A model whose vertices land on the given pixel positions of a width x height target with
// identity model and view matrices; facets get their surface normals from the model code.
// With vertexNormals, every vertex gets the normal (0, 0, -1) and every corner its vertex's.
inline TestModel testPixelModel(const std::vector<TestCorner>& corners,
                                const std::vector<std::vector<int32_t>>& tris, int32_t width,
                                int32_t height, uint32_t colour = 0x808080, bool vertexNormals = false) {
  const int32_t count = (int32_t)corners.size();
  TestModel model(vxmModelCreate(count, vertexNormals ? count : 0, (int32_t)tris.size()));
  if (!model) return model;
  for (int32_t i = 0; vertexNormals && i < count; ++i) model->vertexNormals[i] = {0.0f, 0.0f, -1.0f};
  for (size_t i = 0; i < corners.size(); ++i) {
    model->vertices[i].x = corners[i].column - (float)width * 0.5f;
    model->vertices[i].y = corners[i].row - (float)height * 0.5f;
    model->vertices[i].z = corners[i].depth;
  }
  for (size_t t = 0; t < tris.size(); ++t) {
    for (int k = 0; k < 3; ++k) {
      model->tris[t].v[k] = tris[t][k];
      if (vertexNormals) model->tris[t].n[k] = tris[t][k];
    }
    model->tris[t].colour = colour;
  }
  vxmModelCalcSurfaceNormals(model.get());
  return model;
}

// A 24-bit texture whose texel (column, row) is colourOf(column, row).
template <typename F>
inline TestBitmap testTexture(int32_t width, int32_t height, F colourOf) {
  TestBitmap texture(vxmBitmapCreate(width, height, 24));
  if (!texture) return texture;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) testSetPixel(texture.get(), x, y, colourOf(x, y));
  return texture;
}

inline void testSetUV(VxmTri* tri, int32_t u0, int32_t v0, int32_t u1, int32_t v1, int32_t u2, int32_t v2) {
  const int32_t uv[6] = {u0, v0, u1, v1, u2, v2};
  for (int i = 0; i < 6; ++i) tri->uv[i] = uv[i];
}

// Library message boxes would stop a Windows test run; the host build only records them.
inline void testQuietBoxes() {
#if defined(_WIN32)
  appEnableMessages(false);
#endif
}

// A started renderer with a target of the given size, cleared to `background`, identity view
// matrix, depths cleared. TearDown proves the renderer and the test released every block.
class RenderTest : public ::testing::Test {
 public:
  static constexpr uint32_t kBackground = 0x102030;

 protected:
  VxmBitmap* target = nullptr;
  long liveBefore = 0;

  void start(int32_t width, int32_t height, uint32_t background = kBackground) {
    liveBefore = vxmMemLiveBlocks();
    ASSERT_TRUE(vxmRenderInit());
    target = vxmBitmapCreate(width, height, 24);
    ASSERT_NE(target, nullptr);
    testFill(target, background);
    vxmRenderSetTarget(target);
    vxmRenderClearDepth();
  }

  // Clears picture and depths for another frame.
  void clear(uint32_t background = kBackground) {
    testFill(target, background);
    vxmRenderClearDepth();
  }

  void TearDown() override {
    vxmMemFailAfter(-1);
    vxmRenderShutdown();
    vxmBitmapFree(target);
    target = nullptr;
#if defined(_WIN32)
    appEnableMessages(true);
#endif
    EXPECT_EQ(vxmMemLiveBlocks(), liveBefore);
  }
};
