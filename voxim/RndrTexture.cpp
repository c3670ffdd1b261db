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

template <VxmTextureMode Mode, bool Depth, bool Clamp>
static void rndrSpansTexture(VxmRenderer* r, const VxmBitmap* texture, int32_t intensity) {
  const uint8_t* const* lines = texture->lineTable;
  const int32_t lastColumn = texture->width - 1, lastRow = texture->height - 1;
  // The lit fill's tables start at its intensity's column, so a texel byte t reads entry t * 256.
  const uint8_t* const blueTable = vxmLightGetBlueTable() + (Mode == RNDR_TEXTURE_LIT ? intensity : 0);
  const uint8_t* const greenTable = vxmLightGetGreenTable() + (Mode == RNDR_TEXTURE_LIT ? intensity : 0);
  const uint8_t* const redTable = vxmLightGetRedTable() + (Mode == RNDR_TEXTURE_LIT ? intensity : 0);

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
    RndrDepthWalk walk = {0.0f, 0.0f, nullptr};
    if (Depth) walk = rndrDepthWalk(r, row, count);
    for (; pixel < stop; pixel += 3) {
      if (!Depth || walk.depth < *walk.entry) {
        if (Depth) *walk.entry = walk.depth;
        const uint8_t* texel = rndrTexel<Clamp>(lines, u, v, lastColumn, lastRow);
        if (Mode == RNDR_TEXTURE_PLAIN) {
          std::memcpy(pixel, texel, 3);  // two moves instead of three
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
      if (Depth) {
        ++walk.entry;
        walk.depth += walk.step;
      }
      u += uStep;
      v += vStep;
      if (Mode == RNDR_TEXTURE_SMOOTH) shade += shadeStep;
    }
  }
}

template <VxmTextureMode Mode>
static void rndrTextureMode(VxmRenderer* r, const VxmBitmap* texture, int32_t intensity, bool clamp) {
  const bool depth = r->depthBuffer != nullptr;
  if (depth && !clamp)
    rndrSpansTexture<Mode, true, false>(r, texture, intensity);
  else if (depth)
    rndrSpansTexture<Mode, true, true>(r, texture, intensity);
  else if (!clamp)
    rndrSpansTexture<Mode, false, false>(r, texture, intensity);
  else
    rndrSpansTexture<Mode, false, true>(r, texture, intensity);
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

  switch (mode) {
    case RNDR_TEXTURE_PLAIN: rndrTextureMode<RNDR_TEXTURE_PLAIN>(r, texture, intensity, clamp); break;
    case RNDR_TEXTURE_LIT: rndrTextureMode<RNDR_TEXTURE_LIT>(r, texture, intensity, clamp); break;
    case RNDR_TEXTURE_SMOOTH: rndrTextureMode<RNDR_TEXTURE_SMOOTH>(r, texture, intensity, clamp); break;
  }
}
