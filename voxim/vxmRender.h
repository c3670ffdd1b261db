// vxmRender.h: the software renderer (module Rndr): one process-wide renderer that draws a model
// into a caller-owned 24-bit bitmap with a depth buffer.
#pragma once

#include <cstdint>

#include "vxmBitmap.h"
#include "vxmMath.h"
#include "vxmModel.h"

enum {
  VXM_RENDER_COLOUR = 1,
  VXM_RENDER_TEXTURE = 2,
  VXM_RENDER_LIGHTING = 4,
  VXM_RENDER_SMOOTH = 8,
};

bool vxmRenderInit(void);
void vxmRenderShutdown(void);
void vxmRenderSetTarget(VxmBitmap* target);
void vxmRenderSetViewMatrix(const VxmMatrix* matrix);
void vxmRenderGetViewMatrix(VxmMatrix* matrix);
void vxmRenderGetScreenMatrix(VxmMatrix* matrix);
void vxmRenderSetState(int32_t state);
int32_t vxmRenderGetState(void);
void vxmRenderClearDepth(void);
void vxmRenderClearDepthRect(int32_t x, int32_t y, int32_t w, int32_t h);
bool vxmRenderModel(VxmModel* model);
bool vxmRenderModelTri(VxmModel* model, int32_t index);

// Editor drawing aids on the current target.
void vxmRenderHighlightTri(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           uint32_t colour);
void vxmRenderInvertRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// The work buffers' capacities and whether each is present (a failed growth leaves it missing),
// for tests and diagnostics.
struct VxmRenderLimits {
  int32_t maxViewVertices, maxVertexShades, maxRenderTris, maxScanlines;
  bool viewVertices, vertexShades, renderTris, scanlines;
  bool depthWanted, depthBuffer;
  int32_t renderTriCount;  // visible facets of the last frame
};
void vxmRenderGetLimits(VxmRenderLimits* limits);

// How the screensaver fits a model into a square of `side` pixels: turned about its centre
// (base = translation by minus the centre) and scaled by (side >> 1) / (radius * 1.05) so that it
// fills a circle of screenRadius = trunc((side >> 1) * 0.952381) pixels. A model without extent
// gets scale 1. The program's model matrix is base followed by its rotations; view goes to
// vxmRenderSetViewMatrix.
struct VxmRenderFit {
  VxmVector centre;
  float radius;
  float scale;
  int32_t screenRadius;
  VxmMatrix base;
  VxmMatrix view;
};
bool vxmRenderFitModel(const VxmModel* model, int32_t side, VxmRenderFit* fit);
// The screen radius of that circle for a square of half side `half`: trunc(half * 0.952381).
int32_t vxmRenderFitRadius(int32_t half);
