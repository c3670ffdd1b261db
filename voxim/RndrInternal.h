// RndrInternal.h: the renderer's one record and what its fill routines take (module Rndr):
// Rndr.cpp runs frames and dispatches facets, RndrFill.cpp walks edges and fills colour spans,
// RndrTexture.cpp fills textured spans.
#pragma once

#include <cstdint>

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

// Where a span's depth test starts: the first depth, the step between pixels, and the
// depth-buffer entry of the left pixel.
struct RndrDepthWalk {
  float depth, step;
  float* entry;
};

inline RndrDepthWalk rndrDepthWalk(const VxmRenderer* r, const VxmScanline* row, int32_t count) {
  return {row->leftDepth, rndrDepthStep(row->leftDepth, row->rightDepth, count), r->depthBuffer + row->leftDepthIndex};
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
