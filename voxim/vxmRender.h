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
