// RndrTexture.cpp: the textured spans of module Rndr: u and v carried along edges and spans,
// texels fetched by truncation through the texture's row table, unlit, lit through the shade
// tables with one intensity, or lit with the intensity of each pixel.
#include <cstring>

#include "RndrInternal.h"
#include "vxmLight.h"

// Texel row and column of a position. Clamped ones hold a facet whose coordinates leave the
// texture at its edge texels, so no fill ever reads outside the texture.
template <bool Clamp>
static inline const uint8_t* rndrTexel(const uint8_t* const* lines, int32_t u, int32_t v,
                                       int32_t lastColumn, int32_t lastRow) {
  int32_t row = v >> 12, column = u >> 12;
  if (Clamp) {
    row = row < 0 ? 0 : row > lastRow ? lastRow : row;
    column = column < 0 ? 0 : column > lastColumn ? lastColumn : column;
  }
  RNDR_RANGECHECK(row >= 0 && row <= lastRow && column >= 0 && column <= lastColumn,
                  "Texel (%d, %d) outside the %d x %d texture", (int)column, (int)row, (int)lastColumn + 1,
                  (int)lastRow + 1);
  return lines[row] + 3 * column;
}

// Writes the pixel for a texel: as it is, through the shade tables at the fill's intensity (the
// lit fill's tables start at its intensity's column, so a texel byte t reads entry t * 256), or at
// the pixel's own intensity, the whole part of its shade.
template <VxmTextureMode Mode>
static inline void rndrPutTexel(uint8_t* pixel, const uint8_t* texel, const uint8_t* blueTable,
                                const uint8_t* greenTable, const uint8_t* redTable, int32_t shade) {
  if (Mode == RNDR_TEXTURE_PLAIN) {
    std::memcpy(pixel, texel, 3);
  } else if (Mode == RNDR_TEXTURE_LIT) {
    pixel[0] = blueTable[texel[0] << 8];
    pixel[1] = greenTable[texel[1] << 8];
    pixel[2] = redTable[texel[2] << 8];
  } else {
    const int32_t i = shade >> 12;
    pixel[0] = blueTable[(texel[0] << 8) + i];
    pixel[1] = greenTable[(texel[1] << 8) + i];
    pixel[2] = redTable[(texel[2] << 8) + i];
  }
}

// What a textured fill draws with: the texture's rows and extent and the shade tables.
struct RndrTextureSource {
  const uint8_t* const* lines;
  int32_t lastColumn, lastRow;
  const uint8_t *blueTable, *greenTable, *redTable;
};

static RndrTextureSource rndrTextureSource(const VxmBitmap* texture, VxmTextureMode mode, int32_t intensity) {
  const int32_t column = mode == RNDR_TEXTURE_LIT ? intensity : 0;
  return {texture->lineTable, texture->width - 1, texture->height - 1, vxmLightGetBlueTable() + column,
          vxmLightGetGreenTable() + column, vxmLightGetRedTable() + column};
}

template <VxmTextureMode Mode, bool Depth, bool Clamp>
static void rndrSpansTexture(VxmRenderer* r, const RndrTextureSource& source) {
  const uint8_t* const* lines = source.lines;
  const int32_t lastColumn = source.lastColumn, lastRow = source.lastRow;
  const uint8_t* const blueTable = source.blueTable;
  const uint8_t* const greenTable = source.greenTable;
  const uint8_t* const redTable = source.redTable;
  float* const depthBuffer = r->depthBuffer;

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
    int32_t u = row->leftU, v = row->leftV;
    const int32_t uStep = (row->rightU - u) / count, vStep = (row->rightV - v) / count;
    int32_t shade = 0, shadeStep = 0;
    if (Mode == RNDR_TEXTURE_SMOOTH) {
      shade = row->leftShade;
      shadeStep = (row->rightShade - shade) / count;
    }
    float depthStep = 0.0f, depth = 0.0f;
    float* depthEntry = nullptr;
    if (Depth) {
      depthStep = rndrDepthStep(row->leftDepth, row->rightDepth, count);
      depth = row->leftDepth;
      depthEntry = depthBuffer + row->leftDepthIndex;
    }
    for (; pixel < stop; pixel += 3) {
      if (!Depth || depth < *depthEntry) {
        if (Depth) *depthEntry = depth;
        const uint8_t* texel = rndrTexel<Clamp>(lines, u, v, lastColumn, lastRow);
        rndrPutTexel<Mode>(pixel, texel, blueTable, greenTable, redTable, shade);
      }
      if (Depth) {
        ++depthEntry;
        depth += depthStep;
      }
      u += uStep;
      v += vStep;
      if (Mode == RNDR_TEXTURE_SMOOTH) shade += shadeStep;
    }
  }
}

// Textured spans from a ladder: u, v and the shade are the span's carry.
template <VxmTextureMode Mode, bool Clamp>
struct RndrTexturePen {
  RndrTextureSource source;
};

template <VxmTextureMode Mode, bool Clamp>
static inline void rndrPenStart(const RndrTexturePen<Mode, Clamp>&, RndrSpan* span, const VxmScanline* row,
                                int32_t count) {
  span->carry[0] = row->leftU;
  span->carryStep[0] = (row->rightU - row->leftU) / count;
  span->carry[1] = row->leftV;
  span->carryStep[1] = (row->rightV - row->leftV) / count;
  span->carry[2] = span->carryStep[2] = 0;
  if (Mode == RNDR_TEXTURE_SMOOTH) {
    span->carry[2] = row->leftShade;
    span->carryStep[2] = (row->rightShade - row->leftShade) / count;
  }
}

// Four pixels tested at a time; the texels of those that pass fetched one by one.
template <VxmTextureMode Mode, bool Clamp>
static inline void rndrPenPaint(const RndrTexturePen<Mode, Clamp>& pen, RndrSpan* span, const float* depths,
                                int32_t n) {
  const uint8_t* const* const lines = pen.source.lines;
  const int32_t lastColumn = pen.source.lastColumn, lastRow = pen.source.lastRow;
  const uint8_t* const blueTable = pen.source.blueTable;
  const uint8_t* const greenTable = pen.source.greenTable;
  const uint8_t* const redTable = pen.source.redTable;
  const int32_t uStep = span->carryStep[0], vStep = span->carryStep[1], shadeStep = span->carryStep[2];
  int32_t u = span->carry[0], v = span->carry[1], shade = span->carry[2];
  uint8_t* pixel = span->pixel;
  float* depth = span->depth;
  auto put = [&](int32_t i) {
    const uint8_t* texel = rndrTexel<Clamp>(lines, u + i * uStep, v + i * vStep, lastColumn, lastRow);
    rndrPutTexel<Mode>(pixel + 3 * i, texel, blueTable, greenTable, redTable, shade + i * shadeStep);
  };
  int32_t k = 0;
  for (; k + 4 <= n; k += 4, pixel += 12, depth += 4) {
    const int pass = rndrDepthQuad(depths + k, depth);
    if (pass == 15) [[likely]] {
      put(0), put(1), put(2), put(3);
    } else {
      for (int32_t i = 0; i < 4; ++i)
        if (pass >> i & 1) put(i);
    }
    u += 4 * uStep, v += 4 * vStep, shade += 4 * shadeStep;
  }
  if (k < n) {
    const int pass = rndrDepthSome(depths + k, depth, n - k);
    for (int32_t i = 0; i < n - k; ++i)
      if (pass >> i & 1) put(i);
    u += (n - k) * uStep, v += (n - k) * vStep, shade += (n - k) * shadeStep;
  }
  span->carry[0] = u, span->carry[1] = v, span->carry[2] = shade;
  span->pixel = span->pixel + 3 * n;
  span->depth = span->depth + n;
}

template <VxmTextureMode Mode>
static void rndrTextureMode(VxmRenderer* r, const RndrTextureSource& source, bool clamp, bool wide) {
  const VxmScanline* const first = r->scanlines;
  const VxmScanline* const end = first + (r->rowCount - 1);
  if (!r->depthBuffer) {
    if (clamp)
      rndrSpansTexture<Mode, false, true>(r, source);
    else
      rndrSpansTexture<Mode, false, false>(r, source);
  } else if (!wide) {
    if (clamp)
      rndrSpansTexture<Mode, true, true>(r, source);
    else
      rndrSpansTexture<Mode, true, false>(r, source);
  } else if (clamp) {
    rndrSpanGroups(r, RndrTexturePen<Mode, true>{source}, first, end);
  } else {
    rndrSpanGroups(r, RndrTexturePen<Mode, false>{source}, first, end);
  }
}

void rndrFillTexture(VxmRenderer* r, const VxmCorner* c, const VxmBitmap* texture,
                     VxmTextureMode mode, int32_t intensity) {
  // Every position along edges and spans lies between the corners' values, so corners inside
  // the texture need no clamping per pixel.
  const int64_t uEnd = (int64_t)texture->width << 12, vEnd = (int64_t)texture->height << 12;
  bool clamp = false;
  for (int k = 0; k < 3; ++k)
    if (c[k].u < 0 || c[k].u >= uEnd || c[k].v < 0 || c[k].v >= vEnd) clamp = true;

  int carry = RNDR_CARRY_UV;
  if (r->depthBuffer) carry |= RNDR_CARRY_DEPTH;
  if (mode == RNDR_TEXTURE_SMOOTH) carry |= RNDR_CARRY_SHADE;
  rndrEdgeSetup(r, c, carry);

  const RndrTextureSource source = rndrTextureSource(texture, mode, intensity);
  const bool wide = rndrWide(c);
  switch (mode) {
    case RNDR_TEXTURE_PLAIN: rndrTextureMode<RNDR_TEXTURE_PLAIN>(r, source, clamp, wide); break;
    case RNDR_TEXTURE_LIT: rndrTextureMode<RNDR_TEXTURE_LIT>(r, source, clamp, wide); break;
    case RNDR_TEXTURE_SMOOTH: rndrTextureMode<RNDR_TEXTURE_SMOOTH>(r, source, clamp, wide); break;
  }
}
