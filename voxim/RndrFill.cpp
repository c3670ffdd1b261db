// RndrFill.cpp: the rasteriser of module Rndr: edge set-up and edge walk into the scanline
// tables, the colour span loops with their depth test (plain, or eight rows at a time with SSE2),
// the wireframe lines, the selection highlight and the inverting rectangle. Every corner given here lies inside the target.
#include <emmintrin.h>

#include <cstddef>
#include <cstring>

#include "RndrInternal.h"

// --- Edge walk -----------------------------------------------------------------------------------

// Writes the carried values as the entry of one row, on the left or the right side.
template <bool Left, int Carry>
static inline void rndrPut(VxmScanline* entry, uint8_t* pixel, int32_t depthIndex, float depth,
                           int32_t shade, int32_t u, int32_t v) {
  if (Left) {
    entry->leftPixel = pixel;
    if (Carry & RNDR_CARRY_DEPTH) {
      entry->leftDepthIndex = depthIndex;
      entry->leftDepth = depth;
    }
    if (Carry & RNDR_CARRY_SHADE) entry->leftShade = shade;
    if (Carry & RNDR_CARRY_UV) {
      entry->leftU = u;
      entry->leftV = v;
    }
  } else {
    entry->rightPixel = pixel;
    if (Carry & RNDR_CARRY_DEPTH) entry->rightDepth = depth;
    if (Carry & RNDR_CARRY_SHADE) entry->rightShade = shade;
    if (Carry & RNDR_CARRY_UV) {
      entry->rightU = u;
      entry->rightV = v;
    }
  }
}

// Walks the edge from corner a up to corner b (a.y <= b.y), writing one entry per row from a's
// row to b's. A flat edge's entry is the column at which it leaves the row; a steep edge moves
// one row per step. Values step by (b - a) / steps: float for depth, truncating integer
// division for shade, u and v.
template <bool Left, int Carry>
static void rndrWalkEdge(VxmRenderer* r, const VxmCorner& a, const VxmCorner& b) {
  const int32_t dx = b.x - a.x;
  const int32_t dy = b.y - a.y;
  const int32_t adx = dx < 0 ? -dx : dx;
  const int32_t column = dx < 0 ? -1 : 1;
  const std::ptrdiff_t pixelColumn = 3 * column;
  const std::ptrdiff_t stride = r->targetStride;
  const int32_t width = r->targetWidth;

  uint8_t* pixel = r->targetLines[a.y] + 3 * a.x;
  int32_t depthIndex = (Carry & RNDR_CARRY_DEPTH) ? a.y * width + a.x : 0;
  float depth = a.z;
  int32_t shade = a.shade, u = a.u, v = a.v;
  VxmScanline* entry = r->scanlines + (a.y - r->firstRow);

  if (dy < adx) {
    const float depthStep = (Carry & RNDR_CARRY_DEPTH) ? rndrDepthStep(a.z, b.z, adx) : 0.0f;
    const int32_t shadeStep = (Carry & RNDR_CARRY_SHADE) ? (b.shade - a.shade) / adx : 0;
    const int32_t uStep = (Carry & RNDR_CARRY_UV) ? (b.u - a.u) / adx : 0;
    const int32_t vStep = (Carry & RNDR_CARRY_UV) ? (b.v - a.v) / adx : 0;
    int32_t err = -(adx / 2);
    for (int32_t i = 0; i < adx; ++i) {
      err += dy;
      if (err > 0) {
        rndrPut<Left, Carry>(entry, pixel, depthIndex, depth, shade, u, v);
        ++entry;
        pixel += stride;
        depthIndex += width;
        err -= adx;
      }
      pixel += pixelColumn;
      depthIndex += column;
      if (Carry & RNDR_CARRY_DEPTH) depth += depthStep;
      if (Carry & RNDR_CARRY_SHADE) shade += shadeStep;
      if (Carry & RNDR_CARRY_UV) {
        u += uStep;
        v += vStep;
      }
    }
    rndrPut<Left, Carry>(entry, pixel, depthIndex, depth, shade, u, v);
    return;
  }

  rndrPut<Left, Carry>(entry, pixel, depthIndex, depth, shade, u, v);
  if (dy == 0) return;
  const float depthStep = (Carry & RNDR_CARRY_DEPTH) ? rndrDepthStep(a.z, b.z, dy) : 0.0f;
  const int32_t shadeStep = (Carry & RNDR_CARRY_SHADE) ? (b.shade - a.shade) / dy : 0;
  const int32_t uStep = (Carry & RNDR_CARRY_UV) ? (b.u - a.u) / dy : 0;
  const int32_t vStep = (Carry & RNDR_CARRY_UV) ? (b.v - a.v) / dy : 0;
  int32_t err = -(dy / 2);
  for (int32_t i = 0; i < dy; ++i) {
    if (Carry & RNDR_CARRY_DEPTH) depth += depthStep;
    if (Carry & RNDR_CARRY_SHADE) shade += shadeStep;
    if (Carry & RNDR_CARRY_UV) {
      u += uStep;
      v += vStep;
    }
    err += adx;
    pixel += stride;
    depthIndex += width;
    if (err > 0) {
      pixel += pixelColumn;
      depthIndex += column;
      err -= dy;
    }
    rndrPut<Left, Carry>(++entry, pixel, depthIndex, depth, shade, u, v);
  }
}

// The three edges in their fixed order; where two meet at a row the later one's entry stands.
template <int Carry>
static void rndrEdges(VxmRenderer* r, const VxmCorner* c) {
  if (c[0].y < c[1].y)
    rndrWalkEdge<true, Carry>(r, c[0], c[1]);
  else
    rndrWalkEdge<false, Carry>(r, c[1], c[0]);
  if (c[1].y < c[2].y)
    rndrWalkEdge<true, Carry>(r, c[1], c[2]);
  else
    rndrWalkEdge<false, Carry>(r, c[2], c[1]);
  if (c[0].y < c[2].y)
    rndrWalkEdge<false, Carry>(r, c[0], c[2]);
  else
    rndrWalkEdge<true, Carry>(r, c[2], c[0]);
}

void rndrEdgeSetup(VxmRenderer* r, const VxmCorner* c, int carry) {
  int32_t first = c[0].y, last = c[0].y;
  for (int k = 1; k < 3; ++k) {
    if (c[k].y < first) first = c[k].y;
    if (c[k].y > last) last = c[k].y;
  }
  for (int k = 0; k < 3; ++k)
    RNDR_RANGECHECK((uint32_t)c[k].x < (uint32_t)r->targetWidth && (uint32_t)c[k].y < (uint32_t)r->targetHeight,
                    "Corner %d at (%d, %d) outside the %d x %d target", k, (int)c[k].x, (int)c[k].y,
                    (int)r->targetWidth, (int)r->targetHeight);
  RNDR_RANGECHECK(last - first < r->maxScanlines, "Rows %d to %d exceed %d scanlines", (int)first, (int)last,
                  (int)r->maxScanlines);
  r->firstRow = first;
  r->lastRow = last;
  r->rowCount = last - first + 1;
  switch (carry & 7) {
    case 0: rndrEdges<0>(r, c); break;
    case 1: rndrEdges<1>(r, c); break;
    case 2: rndrEdges<2>(r, c); break;
    case 3: rndrEdges<3>(r, c); break;
    case 4: rndrEdges<4>(r, c); break;
    case 5: rndrEdges<5>(r, c); break;
    case 6: rndrEdges<6>(r, c); break;
    default: rndrEdges<7>(r, c); break;
  }
}

#if !defined(NDEBUG)
// Both ends of a non-empty span lie in its own row of the target.
void rndrCheckSpan(const VxmRenderer* r, const VxmScanline* row) {
  const int32_t y = r->firstRow + (int32_t)(row - r->scanlines);
  const uint8_t* line = r->targetLines[y];
  RNDR_RANGECHECK(row->leftPixel >= line && row->rightPixel <= line + 3 * r->targetWidth,
                  "Span of row %d from byte %ld to %ld outside its row of %d pixels", (int)y,
                  (long)(row->leftPixel - line), (long)(row->rightPixel - line), (int)r->targetWidth);
}
#endif

// The low 32 bits of each lane's product (SSE2 multiplies only the even lanes at a time).
static inline __m128i rndrMulLow(__m128i a, __m128i b) {
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// --- Colour spans --------------------------------------------------------------------------------
// Rows firstRow to lastRow - 1: the top row of a facet is never filled. In each row the pixels
// from the left address up to, not including, the right address; a pixel is written only when
// its depth is strictly smaller than the buffer's (or always, without a depth buffer).
//
// The plain loops go pixel by pixel, accumulating the depth as they go: z, z + dz, (z + dz) + dz,
// ... That chain of dependent float additions sets the pace of a loop with little else to do, so
// with a depth buffer the spans are drawn in groups of eight rows: the eight chains climb side by
// side in the lanes of two SSE2 registers, each lane adding exactly as a lone float does, and
// leave a ladder of each span's depths, a piece of RNDR_PIECE pixels at a time; then each span is
// painted from its ladder four pixels at a time, tested, stored and coloured together. Narrower
// facets are drawn by the plain loops, which cost them less.

template <bool Depth>
static void rndrSpansFlat(VxmRenderer* r, uint32_t colour) {
  const uint8_t blue = (uint8_t)colour, green = (uint8_t)(colour >> 8), red = (uint8_t)(colour >> 16);
  const VxmScanline* row = r->scanlines;
  const VxmScanline* const end = row + (r->rowCount - 1);
  for (; row < end; ++row) {
    uint8_t* pixel = row->leftPixel;
    uint8_t* const stop = row->rightPixel;
    if (pixel >= stop) continue;
#if !defined(NDEBUG)
    rndrCheckSpan(r, row);
#endif
    if (Depth) {
      RndrDepthWalk walk = rndrDepthWalk(r, row, (int32_t)((stop - pixel) / 3));
      for (; pixel < stop; pixel += 3, ++walk.entry, walk.depth += walk.step) {
        if (walk.depth < *walk.entry) {
          *walk.entry = walk.depth;
          pixel[0] = blue;
          pixel[1] = green;
          pixel[2] = red;
        }
      }
    } else {
      for (; pixel < stop; pixel += 3) {
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
      }
    }
  }
}

// Smooth colour: per channel base + floor(D * S / 2^20), at most 255, with D * S stepped along
// the span by D * (shade step). A pixel's three products sit in the lanes of one register,
// stepped together; its colour is packed from them with saturation at 255 and written as two
// bytes and one.
template <bool Depth>
static void rndrSpansSmooth(VxmRenderer* r, const VxmSmoothColour* colour) {
  const __m128i base = _mm_setr_epi32(colour->base[0], colour->base[1], colour->base[2], 0);
  const __m128i directional =
      _mm_setr_epi32(colour->directional[0], colour->directional[1], colour->directional[2], 0);
  const VxmScanline* row = r->scanlines;
  const VxmScanline* const end = row + (r->rowCount - 1);
  for (; row < end; ++row) {
    uint8_t* pixel = row->leftPixel;
    uint8_t* const stop = row->rightPixel;
    if (pixel >= stop) continue;
#if !defined(NDEBUG)
    rndrCheckSpan(r, row);
#endif
    const int32_t count = (int32_t)((stop - pixel) / 3);
    const int32_t shadeStep = (row->rightShade - row->leftShade) / count;
    __m128i product = rndrMulLow(directional, _mm_set1_epi32(row->leftShade));
    const __m128i step = rndrMulLow(directional, _mm_set1_epi32(shadeStep));
    RndrDepthWalk walk = {0.0f, 0.0f, nullptr};
    if (Depth) walk = rndrDepthWalk(r, row, count);
    for (; pixel < stop; pixel += 3) {
      if (!Depth || walk.depth < *walk.entry) {
        if (Depth) *walk.entry = walk.depth;
        const __m128i value = _mm_add_epi32(base, _mm_srai_epi32(product, 20));
        const __m128i words = _mm_packs_epi32(value, value);
        const __m128i bytes = _mm_packus_epi16(words, words);
        const uint32_t bgr = (uint32_t)_mm_cvtsi128_si32(bytes);
        const uint16_t blueGreen = (uint16_t)bgr;
        std::memcpy(pixel, &blueGreen, 2);
        pixel[2] = (uint8_t)(bgr >> 16);
      }
      if (Depth) {
        ++walk.entry;
        walk.depth += walk.step;
      }
      product = _mm_add_epi32(product, step);
    }
  }
}

// --- Span groups ---

enum {
  RNDR_LANES = 8,   // spans climbing together
  RNDR_PIECE = 64,  // pixels per piece of ladder, a multiple of 4
  RNDR_WIDE = 96,   // facets narrower than this many columns are drawn plainly
};

struct RndrLadder {
  alignas(16) float depth[RNDR_LANES][RNDR_PIECE];  // [lane][pixel of the piece]
};

// Writes `steps` depths (rounded up to a multiple of 4) of each lane into the ladder, starting at
// depth[0] (lanes 0 to 3) and depth[1] (lanes 4 to 7), which it moves on past the last written.
static void rndrClimb(__m128* depth, const __m128* step, RndrLadder* ladder, int32_t steps) {
  __m128 low = depth[0], high = depth[1];
  for (int32_t k = 0; k < steps; k += 4) {
    __m128 l0 = low, h0 = high;
    low = _mm_add_ps(low, step[0]), high = _mm_add_ps(high, step[1]);
    __m128 l1 = low, h1 = high;
    low = _mm_add_ps(low, step[0]), high = _mm_add_ps(high, step[1]);
    __m128 l2 = low, h2 = high;
    low = _mm_add_ps(low, step[0]), high = _mm_add_ps(high, step[1]);
    __m128 l3 = low, h3 = high;
    low = _mm_add_ps(low, step[0]), high = _mm_add_ps(high, step[1]);
    // From four pixels of each lane to four lanes of each pixel.
    _MM_TRANSPOSE4_PS(l0, l1, l2, l3);
    _MM_TRANSPOSE4_PS(h0, h1, h2, h3);
    _mm_store_ps(ladder->depth[0] + k, l0);
    _mm_store_ps(ladder->depth[1] + k, l1);
    _mm_store_ps(ladder->depth[2] + k, l2);
    _mm_store_ps(ladder->depth[3] + k, l3);
    _mm_store_ps(ladder->depth[4] + k, h0);
    _mm_store_ps(ladder->depth[5] + k, h1);
    _mm_store_ps(ladder->depth[6] + k, h2);
    _mm_store_ps(ladder->depth[7] + k, h3);
  }
  depth[0] = low, depth[1] = high;
}

// A span being painted, moved on by each piece. `carry` is the fill's own: the products D * S of
// the smooth colour fill.
struct RndrSpan {
  uint8_t* pixel;
  float* depth;    // depth-buffer entry of pixel
  int32_t count;   // pixels left
  int32_t carry[3], carryStep[3];
};

// The depth test of four pixels whose ladder depths are at `ladder`: the mask of those strictly
// nearer than the buffer (bit i for pixel i), whose depths it stores. rndrDepthSome tests the
// last `some` < 4 pixels of a span.
static inline int rndrDepthQuad(const float* ladder, float* depth) {
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

static inline int rndrDepthSome(const float* ladder, float* depth, int32_t some) {
  int pass = 0;
  for (int32_t i = 0; i < some; ++i)
    if (ladder[i] < depth[i]) {
      depth[i] = ladder[i];
      pass |= 1 << i;
    }
  return pass;
}

// Writes the pixels of `pass` from twelve bytes, blue, green, red of four pixels: all four with
// two stores, or one by one.
static inline void rndrPutQuad(uint8_t* pixel, __m128i bytes, int pass) {
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

// Whether the facet is too narrow for span groups to pay: no span is longer than the facet is
// wide, and in frames (the target and depths fresh from the frame's set-up, not in the nearest
// caches) spans of a few dozen pixels are drawn as fast plainly.
static inline bool rndrNarrow(const VxmCorner* c) {
  int32_t least = c[0].x, most = c[0].x;
  for (int k = 1; k < 3; ++k) {
    if (c[k].x < least) least = c[k].x;
    if (c[k].x > most) most = c[k].x;
  }
  return most - least < RNDR_WIDE;
}

// Draws the facet's rows with the depth test, RNDR_LANES at a time. A pen is a plain record of
// the fill's constants with two functions found by overloading: rndrPenStart(pen, span, row,
// count) sets up span->carry for a span of count > 0 pixels, and rndrPenPaint(pen, span, depths,
// n) paints the span's next n pixels, their depths given.
template <typename Pen>
static void rndrSpanGroups(VxmRenderer* r, const Pen& pen) {
  const VxmScanline* const end = r->scanlines + (r->rowCount - 1);
  RndrLadder ladder;
  for (const VxmScanline* row = r->scanlines; row < end; row += RNDR_LANES) {
    const VxmScanline* const last = end - row < RNDR_LANES ? end : row + RNDR_LANES;
    RndrSpan span[RNDR_LANES];
    alignas(16) float first[RNDR_LANES], step[RNDR_LANES];
    int32_t longest = 0;
    for (int lane = 0; lane < RNDR_LANES; ++lane) {
      const VxmScanline* s = row + lane;
      first[lane] = step[lane] = 0.0f;
      span[lane].count = 0;
      if (s >= last || s->leftPixel >= s->rightPixel) continue;
#if !defined(NDEBUG)
      rndrCheckSpan(r, s);
#endif
      const int32_t count = (int32_t)((s->rightPixel - s->leftPixel) / 3);
      const RndrDepthWalk walk = rndrDepthWalk(r, s, count);
      span[lane].pixel = s->leftPixel;
      span[lane].depth = walk.entry;
      span[lane].count = count;
      first[lane] = walk.depth;
      step[lane] = walk.step;
      rndrPenStart(pen, &span[lane], s, count);
      if (count > longest) longest = count;
    }
    __m128 depth[2] = {_mm_load_ps(first), _mm_load_ps(first + 4)};
    const __m128 depthStep[2] = {_mm_load_ps(step), _mm_load_ps(step + 4)};
    for (int32_t done = 0; done < longest; done += RNDR_PIECE) {
      const int32_t steps = longest - done < RNDR_PIECE ? longest - done : RNDR_PIECE;
      rndrClimb(depth, depthStep, &ladder, steps);
      for (int lane = 0; lane < RNDR_LANES; ++lane) {
        const int32_t n = span[lane].count < steps ? span[lane].count : steps;
        if (n <= 0) continue;
        rndrPenPaint(pen, &span[lane], ladder.depth[lane], n);
        span[lane].count -= n;
      }
    }
  }
}

// --- Flat colour ---

struct RndrFlatPen {
  __m128i quad;  // four pixels of blue, green, red
};

static inline void rndrPenStart(const RndrFlatPen&, RndrSpan*, const VxmScanline*, int32_t) {}

static inline void rndrPenPaint(const RndrFlatPen& pen, RndrSpan* span, const float* depths, int32_t n) {
  const __m128i quad = pen.quad;  // a local: the pixel stores cannot change it
  uint8_t* const pixel = span->pixel;
  float* const depth = span->depth;
  int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const int pass = rndrDepthQuad(depths + k, depth + k);
    if (pass != 0) rndrPutQuad(pixel + 3 * k, quad, pass);
  }
  if (k < n) {
    const int pass = rndrDepthSome(depths + k, depth + k, n - k);
    if (pass != 0) rndrPutQuad(pixel + 3 * k, quad, pass);
  }
  span->pixel = pixel + 3 * n;
  span->depth = depth + n;
}

void rndrFillFlat(VxmRenderer* r, const VxmCorner* c, uint32_t colour) {
  rndrEdgeSetup(r, c, r->depthBuffer ? RNDR_CARRY_DEPTH : 0);
  if (!r->depthBuffer) {
    rndrSpansFlat<false>(r, colour);
    return;
  }
  if (rndrNarrow(c)) {
    rndrSpansFlat<true>(r, colour);
    return;
  }
  alignas(16) uint8_t quad[16] = {};
  for (int k = 0; k < 12; k += 3) {
    quad[k] = (uint8_t)colour;
    quad[k + 1] = (uint8_t)(colour >> 8);
    quad[k + 2] = (uint8_t)(colour >> 16);
  }
  const RndrFlatPen pen = {_mm_load_si128((const __m128i*)quad)};
  rndrSpanGroups(r, pen);
}

// --- Smooth colour ---
// A pixel's three products D * S, blue, green and red, sit in the lanes of one register; four
// pixels' channels are packed together, which also saturates them at 255.

struct RndrSmoothPen {
  const VxmSmoothColour* colour;
  __m128i base;  // floor(F * A / 256) of blue, green, red, then 0
};

static inline void rndrPenStart(const RndrSmoothPen& pen, RndrSpan* span, const VxmScanline* row, int32_t count) {
  const int32_t shadeStep = (row->rightShade - row->leftShade) / count;
  for (int k = 0; k < 3; ++k) {
    span->carry[k] = pen.colour->directional[k] * row->leftShade;
    span->carryStep[k] = pen.colour->directional[k] * shadeStep;
  }
}

// Squeezes four pixels of blue, green, red and a zero byte each into the low twelve bytes.
static inline __m128i rndrSqueeze(__m128i pixels) {
  const __m128i low = _mm_set_epi32(0, -1, 0, -1);
  const __m128i pairs = _mm_or_si128(_mm_and_si128(pixels, low), _mm_srli_epi64(_mm_andnot_si128(low, pixels), 8));
  return _mm_or_si128(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
}

// The four pixels from the one whose products are `product`, each the last one's plus `step`.
static inline __m128i rndrSmoothQuad(__m128i base, __m128i product, __m128i step) {
  const __m128i p1 = _mm_add_epi32(product, step), p2 = _mm_add_epi32(p1, step), p3 = _mm_add_epi32(p2, step);
  const __m128i c0 = _mm_add_epi32(base, _mm_srai_epi32(product, 20)), c1 = _mm_add_epi32(base, _mm_srai_epi32(p1, 20));
  const __m128i c2 = _mm_add_epi32(base, _mm_srai_epi32(p2, 20)), c3 = _mm_add_epi32(base, _mm_srai_epi32(p3, 20));
  return rndrSqueeze(_mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3)));
}

static inline void rndrPenPaint(const RndrSmoothPen& pen, RndrSpan* span, const float* depths, int32_t n) {
  const __m128i base = pen.base;
  const __m128i step = _mm_setr_epi32(span->carryStep[0], span->carryStep[1], span->carryStep[2], 0);
  const __m128i step4 = _mm_slli_epi32(step, 2);
  __m128i product = _mm_setr_epi32(span->carry[0], span->carry[1], span->carry[2], 0);
  for (int k = 0; k < 3; ++k)  // the products after these n pixels, for the next piece
    span->carry[k] = (int32_t)((uint32_t)span->carry[k] + (uint32_t)n * (uint32_t)span->carryStep[k]);
  uint8_t* const pixel = span->pixel;
  float* const depth = span->depth;
  int32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const int pass = rndrDepthQuad(depths + k, depth + k);
    if (pass != 0) rndrPutQuad(pixel + 3 * k, rndrSmoothQuad(base, product, step), pass);
    product = _mm_add_epi32(product, step4);
  }
  if (k < n) {
    const int pass = rndrDepthSome(depths + k, depth + k, n - k);
    if (pass != 0) rndrPutQuad(pixel + 3 * k, rndrSmoothQuad(base, product, step), pass);
  }
  span->pixel = pixel + 3 * n;
  span->depth = depth + n;
}

void rndrFillSmooth(VxmRenderer* r, const VxmCorner* c, const VxmSmoothColour* colour) {
  rndrEdgeSetup(r, c, r->depthBuffer ? RNDR_CARRY_DEPTH | RNDR_CARRY_SHADE : RNDR_CARRY_SHADE);
  if (!r->depthBuffer) {
    rndrSpansSmooth<false>(r, colour);
    return;
  }
  if (rndrNarrow(c)) {
    rndrSpansSmooth<true>(r, colour);
    return;
  }
  const RndrSmoothPen pen = {colour, _mm_setr_epi32(colour->base[0], colour->base[1], colour->base[2], 0)};
  rndrSpanGroups(r, pen);
}

// --- Wireframe -----------------------------------------------------------------------------------

// A line from a up towards b (a.y <= b.y): max(|dx|, dy) pixels from a, b itself not written.
static void rndrLine(VxmRenderer* r, const VxmCorner& a, const VxmCorner& b, uint32_t colour) {
  const uint8_t blue = (uint8_t)colour, green = (uint8_t)(colour >> 8), red = (uint8_t)(colour >> 16);
  const int32_t dx = b.x - a.x;
  const int32_t dy = b.y - a.y;
  const int32_t n = dx < 0 ? -dx : dx;
  const std::ptrdiff_t column = dx < 0 ? -3 : 3;
  const std::ptrdiff_t stride = r->targetStride;
  uint8_t* pixel = r->targetLines[a.y] + 3 * a.x;
  if (dy < n) {
    int32_t err = -(n / 2);
    for (int32_t i = 0; i < n; ++i) {
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
      err += dy;
      if (err > 0) {
        pixel += stride;
        err -= n;
      }
      pixel += column;
    }
  } else {
    int32_t err = -(dy / 2);
    for (int32_t i = 0; i < dy; ++i) {
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
      const int32_t t = err + n;
      pixel += stride;
      if (t > 0) pixel += column;
      err = t <= 0 ? t : t - dy;
    }
  }
}

// Each edge from its end with the smaller row; on a shared row the ends are chosen as the edge
// set-up chooses them. No depth test, no depth write.
void rndrWireTri(VxmRenderer* r, const VxmCorner* c, uint32_t colour) {
  if (c[0].y < c[1].y)
    rndrLine(r, c[0], c[1], colour);
  else
    rndrLine(r, c[1], c[0], colour);
  if (c[1].y < c[2].y)
    rndrLine(r, c[1], c[2], colour);
  else
    rndrLine(r, c[2], c[1], colour);
  if (c[0].y < c[2].y)
    rndrLine(r, c[0], c[2], colour);
  else
    rndrLine(r, c[2], c[0], colour);
}

// --- Editor aids ---------------------------------------------------------------------------------

// Every second pixel of the facet's spans (by its position in the pixel block) becomes half
// itself plus half the colour. No depth.
void rndrHighlightTri(VxmRenderer* r, const VxmCorner* c, uint32_t colour) {
  const uint8_t blue = (uint8_t)((colour & 0xFF) >> 1);
  const uint8_t green = (uint8_t)((colour >> 8 & 0xFF) >> 1);
  const uint8_t red = (uint8_t)((colour >> 16 & 0xFF) >> 1);
  rndrEdgeSetup(r, c, 0);
  const uint8_t* const block = r->targetLines[0];
  const VxmScanline* row = r->scanlines;
  const VxmScanline* const end = row + (r->rowCount - 1);
  for (; row < end; ++row) {
    uint8_t* pixel = row->leftPixel;
    if ((pixel - block) / 3 % 2 != 0) pixel += 3;
    for (; pixel < row->rightPixel; pixel += 6) {
      pixel[0] = (uint8_t)((pixel[0] >> 1) + blue);
      pixel[1] = (uint8_t)((pixel[1] >> 1) + green);
      pixel[2] = (uint8_t)((pixel[2] >> 1) + red);
    }
  }
}

static inline void rndrInvertPixel(uint8_t* pixel) {
  pixel[0] = (uint8_t)~pixel[0];
  pixel[1] = (uint8_t)~pixel[1];
  pixel[2] = (uint8_t)~pixel[2];
}

// The sides of the rectangle inside the target, every second pixel from the lower or left end.
void rndrInvertRect(VxmRenderer* r, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x1 < x0) {
    const int32_t t = x0;
    x0 = x1;
    x1 = t;
  }
  if (y1 < y0) {
    const int32_t t = y0;
    y0 = y1;
    y1 = t;
  }
  const int32_t width = r->targetWidth, height = r->targetHeight;
  const int32_t columnFrom = x0 < 0 ? 0 : x0, columnTo = x1 >= width ? width - 1 : x1;
  const int32_t rowFrom = y0 < 0 ? 0 : y0, rowTo = y1 >= height ? height - 1 : y1;
  const int32_t rows[2] = {y0, y1};
  for (int side = 0; side < 2; ++side) {
    if (rows[side] < 0 || rows[side] >= height) continue;
    uint8_t* line = r->targetLines[rows[side]];
    for (int64_t x = columnFrom; x <= columnTo; x += 2) rndrInvertPixel(line + 3 * x);
  }
  const int32_t columns[2] = {x0, x1};
  for (int side = 0; side < 2; ++side) {
    if (columns[side] < 0 || columns[side] >= width) continue;
    for (int64_t y = rowFrom; y <= rowTo; y += 2) rndrInvertPixel(r->targetLines[y] + 3 * (int64_t)columns[side]);
  }
}
