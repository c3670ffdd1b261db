// RndrInternal.h: the renderer's one record and what its fill routines take (module Rndr):
// Rndr.cpp runs frames and dispatches facets, RndrFill.cpp walks edges and fills colour spans,
// RndrTexture.cpp fills textured spans.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "vxmRender.h"

// Debug builds check the rasteriser's addresses once per edge and row and stop with a trace
// line naming the offending values; release builds compile the checks out.
#if !defined(NDEBUG)
#include <cstdlib>

#include "app.h"
#define RNDR_RANGECHECK(ok, ...)  \
  do {                            \
    if (!(ok)) {                  \
      APP_TRACE(__VA_ARGS__);     \
      std::abort();               \
    }                             \
  } while (0)
#else
#define RNDR_RANGECHECK(ok, ...) ((void)0)
#endif

// One row of the edge tables: the span of the facet being filled in that row. The left end is
// drawn, the right end is not. "Left" holds the edges whose rows rise in corner order 0-1-2-0.
struct VxmScanline {
  uint8_t* leftPixel;       // first pixel of the span in the target
  uint8_t* rightPixel;      // one past the last pixel
  int32_t leftDepthIndex;   // depth-buffer entry of leftPixel: row * width + column
  float leftDepth, rightDepth;
  int32_t leftShade, rightShade;  // light intensity, 20.12 fixed point
  int32_t leftU, rightU;          // texture position in texels, 20.12
  int32_t leftV, rightV;
};

// A view vertex rounded to its pixel (halves to even); x or y is INT32_MIN when the vertex is
// too far out (or not a number) to be a pixel at all.
struct VxmScreenPoint {
  int32_t x, y;
};

// The process-wide renderer. Fields up to scanlines are the documented state; the rest is what
// one frame works out before it dispatches facets.
struct VxmRenderer {
  bool initialised;
  VxmBitmap* target;          // owned by the program
  uint8_t** targetLines;
  int32_t targetWidth, targetHeight, targetStride, targetDepth;
  bool depthWanted;           // cleared when the depth buffer could not be allocated
  float* depthBuffer;         // targetWidth * targetHeight, or null: then fills draw untested
  float** depthLines;
  VxmMatrix viewMatrix, screenMatrix;
  int32_t state;
  VxmVector* viewVertices;    // x column, y row, z depth; one block with screenPoints
  VxmScreenPoint* screenPoints;
  int32_t maxViewVertices;
  int32_t* vertexShades;      // 20.12, 0 .. 0xFF000
  int32_t maxVertexShades;
  const VxmTri** renderTris;
  int32_t renderTriCount, maxRenderTris;
  VxmScanline* scanlines;
  int32_t maxScanlines;
  int32_t firstRow, lastRow, rowCount;  // extent of the facet being filled

  int32_t viewVertexCount;    // view vertices valid in this frame
  int32_t shadeCount;         // vertex shades valid in this frame
  VxmVector viewDirection;    // V, model space, unit length
  VxmVector lightDirection;   // L, model space, as the model matrix turns it
  bool highlight;
  float highlightExponent;
};

// One corner of a facet as the fills see it: its pixel, depth, shade and texture position.
struct VxmCorner {
  int32_t x, y;
  float z;
  int32_t shade, u, v;
};

// What an edge walk carries besides the pixel address.
enum {
  RNDR_CARRY_DEPTH = 1,  // depth and depth-buffer index
  RNDR_CARRY_SHADE = 2,
  RNDR_CARRY_UV = 4,
};

// How a textured span turns a texel into a pixel.
enum VxmTextureMode {
  RNDR_TEXTURE_PLAIN,   // the texel as it is
  RNDR_TEXTURE_LIT,     // through the shade tables with one intensity
  RNDR_TEXTURE_SMOOTH,  // through the shade tables with the pixel's intensity
};

// The smooth colour fill's per-facet constants, per channel blue, green, red: the ambient part
// floor(F * A / 256) and the directional colour D.
struct VxmSmoothColour {
  int32_t base[3];
  int32_t directional[3];
};

// A depth step over n > 0 steps: the difference divided in double, kept as a float.
inline float rndrDepthStep(float a, float b, int32_t n) {
  return (float)(((double)b - (double)a) / (double)n);
}

// Fills called by the frame dispatch (Rndr.cpp). Each checks its facet ("Invalid Paramters"),
// places the corners and skips the facet silently when one lies outside the target.
void vxmRenderFillFlat(const VxmTri* tri, uint32_t colour);
void vxmRenderFillFlatLit(const VxmTri* tri, int32_t intensity);
void vxmRenderFillSmooth(const VxmTri* tri);
void vxmRenderWireTri(const VxmTri* tri, uint32_t colour);
void vxmRenderFillTexture(const VxmTri* tri);
void vxmRenderFillTextureLit(const VxmTri* tri, int32_t intensity);
void vxmRenderFillTextureSmooth(const VxmTri* tri);

// Raster cores over corners already inside the target (RndrFill.cpp, RndrTexture.cpp).
// rndrEdgeSetup fills r->scanlines, firstRow, lastRow and rowCount for the three corners.
void rndrEdgeSetup(VxmRenderer* r, const VxmCorner* c, int carry);
void rndrFillFlat(VxmRenderer* r, const VxmCorner* c, uint32_t colour);
void rndrFillSmooth(VxmRenderer* r, const VxmCorner* c, const VxmSmoothColour* colour);
void rndrFillTexture(VxmRenderer* r, const VxmCorner* c, const VxmBitmap* texture,
                     VxmTextureMode mode, int32_t intensity);
void rndrWireTri(VxmRenderer* r, const VxmCorner* c, uint32_t colour);
void rndrHighlightTri(VxmRenderer* r, const VxmCorner* c, uint32_t colour);
void rndrInvertRect(VxmRenderer* r, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
#if !defined(NDEBUG)
void rndrCheckSpan(const VxmRenderer* r, const VxmScanline* row);
#endif

// --- Span groups ---------------------------------------------------------------------------------
// A span's depth is accumulated pixel by pixel, z, z + dz, (z + dz) + dz, ..., and that chain of
// dependent float additions would set the pace of any loop that carried it. So spans with a depth
// test are drawn eight rows at a time: their eight chains climb side by side in the lanes of two
// SSE2 registers (each lane adds exactly as a lone float does, so the values are the same) and
// leave a ladder of depths per span, RNDR_PIECE pixels at a time; then each span is painted from
// its ladder, four pixels at a time, its pixels no longer waiting on one another.

enum {
  RNDR_LANES = 8,   // spans climbing together
  RNDR_PIECE = 64,  // pixels per piece of ladder, a multiple of 4
};

struct RndrLadder {
  alignas(16) float depth[RNDR_LANES][RNDR_PIECE];  // [lane][pixel of the piece]
};

// Writes `steps` (rounded up to a multiple of 4) depths of each lane into the ladder, starting at
// depth[0] (lanes 0 to 3) and depth[1] (lanes 4 to 7), which it moves on past the last written.
void rndrClimb(__m128* depth, const __m128* step, RndrLadder* ladder, int32_t steps);

// A span being painted, moved on by each piece. What `carry` holds is the fill's own: the
// products D x S of the smooth colour fill, or u, v and the shade of a textured fill.
struct RndrSpan {
  uint8_t* pixel;
  float* depth;    // depth-buffer entry of pixel
  int32_t count;   // pixels left
  int32_t carry[3], carryStep[3];
};

// The depth test of four pixels whose ladder depths are at `ladder`: the mask of those strictly
// nearer than the buffer (bit i for pixel i), whose depths are stored. rndrDepthSome tests the
// last `some` < 4 pixels of a span.
inline int rndrDepthQuad(const float* ladder, float* depth) {
  const __m128 z = _mm_load_ps(ladder);
  const int pass = _mm_movemask_ps(_mm_cmplt_ps(z, _mm_loadu_ps(depth)));
  if (pass == 15) [[likely]] {
    _mm_storeu_ps(depth, z);
  } else {
    for (int i = 0; i < 4; ++i)
      if (pass >> i & 1) depth[i] = ladder[i];
  }
  return pass;
}

inline int rndrDepthSome(const float* ladder, float* depth, int32_t some) {
  int pass = 0;
  for (int32_t i = 0; i < some; ++i)
    if (ladder[i] < depth[i]) {
      depth[i] = ladder[i];
      pass |= 1 << i;
    }
  return pass;
}

// Writes the pixels of `pass` from twelve bytes (blue, green, red of four pixels): all four with
// two stores, or one by one.
inline void rndrPutQuad(uint8_t* pixel, __m128i bytes, int pass) {
  if (pass == 15) [[likely]] {
    _mm_storel_epi64((__m128i*)pixel, bytes);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
    std::memcpy(pixel + 8, &last, 4);
    return;
  }
  alignas(16) uint8_t quad[16];
  _mm_store_si128((__m128i*)quad, bytes);
  for (int i = 0; i < 4; ++i)
    if (pass >> i & 1) std::memcpy(pixel + 3 * i, quad + 3 * i, 3);
}

// Facets narrower than this many columns are drawn by the plain span loops: their spans are too
// short for the ladder to pay for itself.
enum { RNDR_GROUP_MINIMUM = 8 };

inline bool rndrWide(const VxmCorner* c) {
  int32_t least = c[0].x, most = c[0].x;
  for (int k = 1; k < 3; ++k) {
    if (c[k].x < least) least = c[k].x;
    if (c[k].x > most) most = c[k].x;
  }
  return most - least >= RNDR_GROUP_MINIMUM;
}

// Draws rows `row` .. end - 1 of the edge tables with the depth test, RNDR_LANES at a time. A pen
// is a plain record of the fill's constants with two functions found by overloading:
// rndrPenStart(pen, span, row, count) sets up span->carry for a span of count > 0 pixels, and
// rndrPenPaint(pen, span, depths, n) paints the next n pixels of the span, their depths given.
template <typename Pen>
void rndrSpanGroups(VxmRenderer* r, const Pen& pen, const VxmScanline* row, const VxmScanline* end) {
  RndrLadder ladder;
  for (; row < end; row += RNDR_LANES) {
    RndrSpan spans[RNDR_LANES];
    alignas(16) float first[RNDR_LANES], step[RNDR_LANES];
    int32_t longest = 0;
    for (int lane = 0; lane < RNDR_LANES; ++lane) {
      RndrSpan* span = &spans[lane];
      const VxmScanline* s = row + lane;
      first[lane] = step[lane] = 0.0f;
      span->count = 0;
      if (s >= end || s->leftPixel >= s->rightPixel) continue;
#if !defined(NDEBUG)
      rndrCheckSpan(r, s);
#endif
      span->count = (int32_t)((s->rightPixel - s->leftPixel) / 3);
      span->pixel = s->leftPixel;
      span->depth = r->depthBuffer + s->leftDepthIndex;
      first[lane] = s->leftDepth;
      step[lane] = rndrDepthStep(s->leftDepth, s->rightDepth, span->count);
      rndrPenStart(pen, span, s, span->count);
      if (span->count > longest) longest = span->count;
    }
    __m128 depth[2] = {_mm_load_ps(first), _mm_load_ps(first + 4)};
    const __m128 depthStep[2] = {_mm_load_ps(step), _mm_load_ps(step + 4)};
    for (int32_t done = 0; done < longest; done += RNDR_PIECE) {
      const int32_t steps = longest - done < RNDR_PIECE ? longest - done : RNDR_PIECE;
      rndrClimb(depth, depthStep, &ladder, steps);
      for (int lane = 0; lane < RNDR_LANES; ++lane) {
        RndrSpan* span = &spans[lane];
        const int32_t n = span->count < steps ? span->count : steps;
        if (n <= 0) continue;
        rndrPenPaint(pen, span, ladder.depth[lane], n);
        span->count -= n;
      }
    }
  }
}
