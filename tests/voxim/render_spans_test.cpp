// render_spans_test.cpp: the span loops draw exactly what the span rule says, pixel for pixel and
// depth for depth, whichever way they are drawn (wide facets in groups of rows from ladders of
// depths, narrow ones pixel by pixel). Random facets of every size, overlapping at random depths,
// are drawn by each fill into a target and a depth buffer of the test's own, and beside them by a
// reference written here straight from the rule: per row, depth accumulated pixel by pixel as a
// float, shade, u and v stepped by truncating integer division, the left end drawn and the right
// end not, a pixel replaced only by a strictly nearer one.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "RenderTestScene.h"
#include "RndrInternal.h"
#include "TestSupport.h"

namespace {

enum class Fill { Flat, Smooth, TexturePlain, TextureLit, TextureSmooth };

// A small generator of our own, so that every build draws the same facets.
struct TestRandom {
  uint32_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int32_t below(int32_t n) { return (int32_t)(next() % (uint32_t)n); }
  float unit() { return (float)(next() >> 8) / 16777216.0f; }
};

// The renderer's record for a target and depth buffer of the test's own, and the same pair again
// for the reference.
struct SpanBench {
  int32_t width, height;
  TestBitmap target, reference;
  std::vector<float> depth, referenceDepth;
  std::vector<VxmScanline> scanlines;
  VxmRenderer r;

  SpanBench(int32_t w, int32_t h)
      : width(w), height(h), target(vxmBitmapCreate(w, h, 24)), reference(vxmBitmapCreate(w, h, 24)),
        depth((size_t)w * h), referenceDepth((size_t)w * h), scanlines((size_t)h), r() {
    r.initialised = true;
    r.target = target.get();
    r.targetLines = target->lineTable;
    r.targetWidth = w;
    r.targetHeight = h;
    r.targetStride = target->stride;
    r.targetDepth = 24;
    r.depthBuffer = depth.data();
    r.scanlines = scanlines.data();
    r.maxScanlines = h;
  }

  void clear(uint32_t background) {
    testFill(target.get(), background);
    testFill(reference.get(), background);
    for (size_t i = 0; i < depth.size(); ++i) depth[i] = referenceDepth[i] = 3.4028234663852886e38f;
  }
};

struct TextureFacet {
  const VxmBitmap* texture;
  int32_t intensity;
};

// The reference: the rows of the edge tables just set up, drawn by the rule into the reference
// target and depths.
void referenceSpans(SpanBench* b, bool useDepth, Fill fill, uint32_t colour, const VxmSmoothColour& smooth,
                    const TextureFacet& tex) {
  const VxmRenderer& r = b->r;
  const uint8_t* blue = vxmLightGetBlueTable();
  const uint8_t* green = vxmLightGetGreenTable();
  const uint8_t* red = vxmLightGetRedTable();
  for (int32_t k = 0; k < r.rowCount - 1; ++k) {
    const VxmScanline& s = r.scanlines[k];
    if (s.leftPixel >= s.rightPixel) continue;
    const int32_t y = r.firstRow + k;
    const int32_t x0 = (int32_t)(s.leftPixel - r.targetLines[y]) / 3;
    const int32_t count = (int32_t)((s.rightPixel - s.leftPixel) / 3);
    const float depthStep = (float)(((double)s.rightDepth - (double)s.leftDepth) / (double)count);
    const int32_t shadeStep = (s.rightShade - s.leftShade) / count;
    const int32_t uStep = (s.rightU - s.leftU) / count, vStep = (s.rightV - s.leftV) / count;
    float z = s.leftDepth;
    int32_t shade = s.leftShade, u = s.leftU, v = s.leftV;
    for (int32_t i = 0; i < count; ++i) {
      float* entry = &b->referenceDepth[(size_t)y * b->width + x0 + i];
      if (!useDepth || z < *entry) {
        if (useDepth) *entry = z;
        uint8_t* p = b->reference->lineTable[y] + 3 * (x0 + i);
        if (fill == Fill::Flat) {
          p[0] = (uint8_t)colour, p[1] = (uint8_t)(colour >> 8), p[2] = (uint8_t)(colour >> 16);
        } else if (fill == Fill::Smooth) {
          for (int c = 0; c < 3; ++c) {
            const int32_t value = smooth.base[c] + (int32_t)(((int64_t)smooth.directional[c] * shade) >> 20);
            p[c] = (uint8_t)(value > 255 ? 255 : value);
          }
        } else {
          int32_t row = v >> 12, column = u >> 12;
          row = row < 0 ? 0 : row >= tex.texture->height ? tex.texture->height - 1 : row;
          column = column < 0 ? 0 : column >= tex.texture->width ? tex.texture->width - 1 : column;
          const uint8_t* t = tex.texture->lineTable[row] + 3 * column;
          const int32_t intensity = fill == Fill::TextureLit ? tex.intensity : shade >> 12;
          if (fill == Fill::TexturePlain) {
            p[0] = t[0], p[1] = t[1], p[2] = t[2];
          } else {
            p[0] = blue[t[0] * 256 + intensity];
            p[1] = green[t[1] * 256 + intensity];
            p[2] = red[t[2] * 256 + intensity];
          }
        }
      }
      z += depthStep;
      shade += shadeStep;
      u += uStep;
      v += vStep;
    }
  }
}

// Draws `facets` random facets with one fill and compares the target and the depths with the
// reference after each.
void drawAndCompare(SpanBench* b, Fill fill, bool useDepth, uint32_t seed, int facets, const VxmBitmap* texture) {
  TestRandom random = {seed};
  b->clear(0x102030);
  b->r.depthBuffer = useDepth ? b->depth.data() : nullptr;
  for (int f = 0; f < facets; ++f) {
    // Sizes from a few pixels to most of the target, narrow and wide, some spans beyond a piece.
    const int32_t w = 1 + random.below(random.below(4) == 0 ? b->width : 24);
    const int32_t h = 1 + random.below(random.below(4) == 0 ? b->height : 40);
    const int32_t x = random.below(b->width - (w < b->width ? w : b->width - 1));
    const int32_t y = random.below(b->height - (h < b->height ? h : b->height - 1));
    VxmCorner c[3];
    const bool level = random.below(3) == 0;  // at one of a few depths all over: ties with others
    const float levelDepth = (float)(1 + random.below(3));
    for (int k = 0; k < 3; ++k) {
      c[k].x = x + random.below(w);
      c[k].y = y + random.below(h);
      // Depths from a few planes, so that facets tie, cross and hide one another.
      c[k].z = level ? levelDepth : (float)random.below(4) + (random.below(3) == 0 ? 0.0f : random.unit());
      c[k].shade = random.below(0xFF001);
      c[k].u = random.below(texture->width * 4096);
      c[k].v = random.below(texture->height * 4096);
      if (random.below(8) == 0) c[k].u = random.below(3 * texture->width * 4096) - texture->width * 4096;
    }
    // Clockwise with rows rising, or nothing would be drawn.
    const int64_t cross = (int64_t)(c[1].x - c[0].x) * (c[2].y - c[0].y) - (int64_t)(c[1].y - c[0].y) * (c[2].x - c[0].x);
    if (cross > 0) std::swap(c[1], c[2]);
    const uint32_t colour = random.next() & 0xFFFFFF;
    VxmSmoothColour smooth;
    for (int k = 0; k < 3; ++k) {
      smooth.base[k] = random.below(256);
      smooth.directional[k] = random.below(256);
    }
    const TextureFacet tex = {texture, random.below(256)};

    const int carry = (useDepth ? RNDR_CARRY_DEPTH : 0) | RNDR_CARRY_SHADE | RNDR_CARRY_UV;
    rndrEdgeSetup(&b->r, c, carry);
    referenceSpans(b, useDepth, fill, colour, smooth, tex);
    switch (fill) {
      case Fill::Flat: rndrFillFlat(&b->r, c, colour); break;
      case Fill::Smooth: rndrFillSmooth(&b->r, c, &smooth); break;
      case Fill::TexturePlain: rndrFillTexture(&b->r, c, texture, RNDR_TEXTURE_PLAIN, 0); break;
      case Fill::TextureLit: rndrFillTexture(&b->r, c, texture, RNDR_TEXTURE_LIT, tex.intensity); break;
      case Fill::TextureSmooth: rndrFillTexture(&b->r, c, texture, RNDR_TEXTURE_SMOOTH, 0); break;
    }
    for (int32_t row = 0; row < b->height; ++row)
      ASSERT_EQ(std::memcmp(b->target->lineTable[row], b->reference->lineTable[row], 3 * (size_t)b->width), 0)
          << "fill " << (int)fill << ", facet " << f << ", row " << row;
    ASSERT_EQ(std::memcmp(b->depth.data(), b->referenceDepth.data(), b->depth.size() * sizeof(float)), 0)
        << "fill " << (int)fill << ", facet " << f;
  }
}

class SpanTest : public RenderTest {};

TEST_F(SpanTest, EveryFillDrawsExactlyWhatTheSpanRuleSays) {
  start(8, 8);
  vxmLightSetAmbient(0xC08040);
  vxmLightSetDirectional(0x7F6050);
  TestBitmap texture = testTexture(37, 23, [](int32_t x, int32_t y) { return (uint32_t)(x * 0x070B0D + y * 0x130503) & 0xFFFFFF; });
  ASSERT_TRUE(texture);
  SpanBench bench(300, 160);
  const Fill fills[] = {Fill::Flat, Fill::Smooth, Fill::TexturePlain, Fill::TextureLit, Fill::TextureSmooth};
  for (Fill fill : fills) {
    drawAndCompare(&bench, fill, true, 0x1234567u + (uint32_t)fill, 150, texture.get());
    // Much of the target was drawn.
    EXPECT_GT(testCountNot(bench.target.get(), 0x102030), bench.width * bench.height / 8);
    drawAndCompare(&bench, fill, false, 0x7654321u + (uint32_t)fill, 20, texture.get());
  }
}

TEST_F(SpanTest, WideFacetKeepsEveryDepthOfItsChainAndReplacesOnlyStrictlyNearer) {
  // One facet across the whole width whose depth step is no exact float: the depths stored must
  // be those of the chain z, z + dz, (z + dz) + dz, ..., not z + i * dz. Its 39 rows make four
  // groups of eight and a last one of seven; its spans cross pieces of ladder and end in every
  // tail of fewer than four pixels.
  start(8, 8);
  SpanBench bench(260, 40);
  bench.clear(0);
  VxmCorner c[3] = {{0, 0, 1.0f, 0, 0, 0}, {0, 39, 1.0f, 0, 0, 0}, {259, 20, 1.7f, 0, 0, 0}};
  rndrFillFlat(&bench.r, c, 0x0000FF);
  ASSERT_EQ(bench.r.rowCount - 1, 39);
  int32_t differs = 0, longRows = 0;
  bool tail[4] = {};
  for (int32_t y = 0; y < 39; ++y) {
    const VxmScanline& s = bench.scanlines[y];
    const int32_t count = (int32_t)((s.rightPixel - s.leftPixel) / 3);
    longRows += count > 64;
    tail[count % 4] = true;
    const float step = (float)(((double)s.rightDepth - (double)s.leftDepth) / (double)count);
    float z = s.leftDepth;
    for (int32_t i = 0; i < count; ++i, z += step) {
      ASSERT_EQ(bench.depth[(size_t)s.leftDepthIndex + i], z) << "row " << y << ", pixel " << i;
      differs += s.leftDepth + (float)i * step != z;
    }
  }
  // The two ways of counting really part here, so the comparison above means something.
  EXPECT_GT(longRows, 20);
  EXPECT_GT(differs, 100);
  ASSERT_TRUE(tail[1] && tail[2] && tail[3]);
  // Drawn again at the very same depths in another colour it changes nothing; moved nearer, it
  // replaces every pixel.
  const int drawn = testCountNot(bench.target.get(), 0);
  const std::vector<float> depths = bench.depth;
  rndrFillFlat(&bench.r, c, 0x00FF00);
  EXPECT_EQ(testCountNot(bench.target.get(), 0x0000FF), bench.width * bench.height - drawn);
  EXPECT_EQ(bench.depth, depths);
  for (VxmCorner& corner : c) corner.z -= 0.5f;
  rndrFillFlat(&bench.r, c, 0x00FF00);
  EXPECT_EQ(testCountNot(bench.target.get(), 0x00FF00), bench.width * bench.height - drawn);
}

}  // namespace
