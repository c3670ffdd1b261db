// Rndr.cpp: the renderer (module Rndr): start and end, work buffers and their limits, the view
// and screen matrices, the frame pipeline (transform, culling, light intensities, dispatch), the
// fill entry points and the editor's drawing aids. The raster cores are in RndrFill.cpp and
// RndrTexture.cpp.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "RndrInternal.h"
#include "app.h"
#include "vxmLight.h"
#include "vxmMem.h"

static VxmRenderer rndr;  // all zero: not initialised

static const int32_t RNDR_START_LIMIT = 100;
static const uint32_t RNDR_WHITE = 0xFFFFFF;
static const float RNDR_FAR = 3.4028234663852886e38f;  // the largest finite float, 0x7F7FFFFF
// Texture positions beyond this many texels * 4096 are held here, so that stepping them along
// edges and spans cannot overflow; the fills clamp every texel to the texture anyway.
static const int32_t RNDR_UV_LIMIT = 1 << 28;

static void rndrOutOfMemory(void) {
  APP_TRACE("Out of Memory!");
  appWarning("Out of Memory!");
}

// count items of itemSize bytes, or null after "Out of Memory!".
static void* rndrAllocItems(int32_t count, size_t itemSize) {
  int32_t bytes = 0;
  void* block = nullptr;
  if (vxmMemMulSize(count, (int64_t)itemSize, &bytes)) block = vxmMemAlloc((size_t)bytes);
  if (!block) rndrOutOfMemory();
  return block;
}

// The limits. Each records the capacity before it allocates, so a failed growth leaves the
// buffer missing (and every later frame refused) rather than smaller than recorded.
static bool rndrSetMaxViewVertices(int32_t count) {
  vxmMemFree(rndr.viewVertices);
  rndr.viewVertices = nullptr;
  rndr.screenPoints = nullptr;
  rndr.viewVertexCount = 0;
  rndr.maxViewVertices = count;
  // One block: the view vertices, then their rounded pixels.
  void* block = rndrAllocItems(count, sizeof(VxmVector) + sizeof(VxmScreenPoint));
  if (!block) return false;
  rndr.viewVertices = (VxmVector*)block;
  rndr.screenPoints = (VxmScreenPoint*)(rndr.viewVertices + count);
  return true;
}

static bool rndrSetMaxVertexShades(int32_t count) {
  vxmMemFree(rndr.vertexShades);
  rndr.shadeCount = 0;
  rndr.maxVertexShades = count;
  rndr.vertexShades = (int32_t*)rndrAllocItems(count, sizeof(int32_t));
  return rndr.vertexShades != nullptr;
}

static bool rndrSetMaxRenderTris(int32_t count) {
  vxmMemFree(rndr.renderTris);
  rndr.renderTriCount = 0;
  rndr.maxRenderTris = count;
  rndr.renderTris = (const VxmTri**)rndrAllocItems(count, sizeof(VxmTri*));
  return rndr.renderTris != nullptr;
}

static bool rndrSetMaxScanlines(int32_t count) {
  vxmMemFree(rndr.scanlines);
  rndr.maxScanlines = count;
  rndr.scanlines = (VxmScanline*)rndrAllocItems(count, sizeof(VxmScanline));
  return rndr.scanlines != nullptr;
}

static void rndrFreeDepth(void) {
  vxmMemFree(rndr.depthBuffer);
  vxmMemFree(rndr.depthLines);
  rndr.depthBuffer = nullptr;
  rndr.depthLines = nullptr;
}

static void rndrFreeAll(void) {
  vxmMemFree(rndr.viewVertices);
  vxmMemFree(rndr.vertexShades);
  vxmMemFree(rndr.scanlines);
  vxmMemFree(rndr.renderTris);
  rndrFreeDepth();
  std::memset(&rndr, 0, sizeof rndr);
}

// screenMatrix := viewMatrix followed by the move of the origin to the target's centre.
static void rndrRebuildScreenMatrix(void) {
  VxmMatrix centre;
  vxmMatTranslate(&centre, (float)(rndr.targetWidth * 0.5), (float)(rndr.targetHeight * 0.5), 0.0f);
  vxmMatMultiply(&rndr.screenMatrix, &rndr.viewMatrix, &centre);
}

// --- Start and end -----------------------------------------------------------------------------

// Called once at program start (a second call starts afresh).
bool vxmRenderInit(void) {
  if (rndr.initialised) vxmRenderShutdown();
  std::memset(&rndr, 0, sizeof rndr);
  if (!rndrSetMaxViewVertices(RNDR_START_LIMIT)) {
    APP_TRACE("Failed to set maximum view vertices");
    rndrFreeAll();
    return false;
  }
  if (!rndrSetMaxVertexShades(RNDR_START_LIMIT)) {
    APP_TRACE("Failed to set maximum vertex shades");
    rndrFreeAll();
    return false;
  }
  if (!rndrSetMaxScanlines(RNDR_START_LIMIT)) {
    APP_TRACE("Failed to set maximum scanlines");
    rndrFreeAll();
    return false;
  }
  if (!rndrSetMaxRenderTris(RNDR_START_LIMIT)) {
    APP_TRACE("Failed to set maximum render tris");
    rndrFreeAll();
    return false;
  }
  vxmMatIdentity(&rndr.viewMatrix);
  vxmMatIdentity(&rndr.screenMatrix);
  rndr.depthWanted = true;
  rndr.state = VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH;

  vxmLightSetAmbient(0xFFFFFF);
  vxmLightSetDirectional(0x7F7F7F);
  const VxmVector ahead = {0.0f, 0.0f, 1.0f};
  vxmLightSetDirection(&ahead);

  rndr.initialised = true;
  return true;
}

// Called once at program end; releases every buffer but never the target.
void vxmRenderShutdown(void) {
  if (!rndr.initialised) return;
  rndrFreeAll();
}

// Called whenever the program's frame bitmap is made or resized.
void vxmRenderSetTarget(VxmBitmap* target) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  if (!target || target->width < 0 || target->height < 0) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  const bool sizeChanged = target->width != rndr.targetWidth || target->height != rndr.targetHeight;
  rndr.target = target;
  rndr.targetLines = target->lineTable;
  rndr.targetWidth = target->width;
  rndr.targetHeight = target->height;
  rndr.targetStride = target->stride;
  rndr.targetDepth = target->depth;

  // A depth buffer that cannot be had is given up for good (depthWanted); the scanlines and
  // the screen matrix must follow the new size all the same.
  if (rndr.depthWanted && sizeChanged) {
    rndrFreeDepth();
    int32_t count = 0;
    if (vxmMemMulSize(target->width, target->height, &count))
      rndr.depthBuffer = (float*)rndrAllocItems(count, sizeof(float));
    else
      rndrOutOfMemory();
    if (rndr.depthBuffer) {
      rndr.depthLines = (float**)rndrAllocItems(target->height, sizeof(float*));
      if (!rndr.depthLines) rndrFreeDepth();
    }
    if (rndr.depthBuffer) {
      for (int32_t row = 0; row < target->height; ++row)
        rndr.depthLines[row] = rndr.depthBuffer + (size_t)row * (size_t)target->width;
    } else {
      rndr.depthWanted = false;
    }
  }
  if (rndr.maxScanlines < target->height) rndrSetMaxScanlines(target->height);
  rndrRebuildScreenMatrix();
}

void vxmRenderSetViewMatrix(const VxmMatrix* matrix) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  if (!matrix) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  rndr.viewMatrix = *matrix;
  rndrRebuildScreenMatrix();
}

void vxmRenderGetViewMatrix(VxmMatrix* matrix) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  if (!matrix) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  *matrix = rndr.viewMatrix;
}

void vxmRenderGetScreenMatrix(VxmMatrix* matrix) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  if (!matrix) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  *matrix = rndr.screenMatrix;
}

// Stored as given: unknown combinations draw white wireframes.
void vxmRenderSetState(int32_t state) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  rndr.state = state;
}

int32_t vxmRenderGetState(void) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return 0;
  }
  return rndr.state;
}

// Sets `count` depths to the far value: single ones up to a 16-byte boundary, then sixteen at a
// time with aligned SSE2 stores (a plain loop stores one float at a time), then the rest singly.
static void rndrFillFar(float* depth, size_t count) {
  float* const end = depth + count;
  while (depth < end && ((uintptr_t)depth & 15) != 0) *depth++ = RNDR_FAR;
  const __m128 far = _mm_set1_ps(RNDR_FAR);
  for (; end - depth >= 16; depth += 16) {
    _mm_store_ps(depth, far);
    _mm_store_ps(depth + 4, far);
    _mm_store_ps(depth + 8, far);
    _mm_store_ps(depth + 12, far);
  }
  while (depth < end) *depth++ = RNDR_FAR;
}

void vxmRenderClearDepth(void) {
  if (!rndr.initialised || !rndr.depthBuffer) return;
  rndrFillFar(rndr.depthBuffer, (size_t)rndr.targetWidth * (size_t)rndr.targetHeight);
}

void vxmRenderClearDepthRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!rndr.initialised || !rndr.depthBuffer) return;
  int64_t left = x, bottom = y, width = w, height = h;
  if (left < 0) {
    width = width + left < 0 ? 0 : width + left;
    left = 0;
  }
  if (bottom < 0) {
    height = height + bottom < 0 ? 0 : height + bottom;
    bottom = 0;
  }
  if (left + width > rndr.targetWidth) width = rndr.targetWidth - left;
  if (bottom + height > rndr.targetHeight) height = rndr.targetHeight - bottom;
  if (width <= 0) return;
  for (int64_t row = bottom; row < bottom + height; ++row) rndrFillFar(rndr.depthLines[row] + left, (size_t)width);
}

void vxmRenderGetLimits(VxmRenderLimits* limits) {
  if (!limits) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  limits->maxViewVertices = rndr.maxViewVertices;
  limits->maxVertexShades = rndr.maxVertexShades;
  limits->maxRenderTris = rndr.maxRenderTris;
  limits->maxScanlines = rndr.maxScanlines;
  limits->viewVertices = rndr.viewVertices != nullptr;
  limits->vertexShades = rndr.vertexShades != nullptr;
  limits->renderTris = rndr.renderTris != nullptr;
  limits->scanlines = rndr.scanlines != nullptr;
  limits->depthWanted = rndr.depthWanted;
  limits->depthBuffer = rndr.depthBuffer != nullptr;
  limits->renderTriCount = rndr.renderTriCount;
}

// --- Frame checks --------------------------------------------------------------------------------

// The target as it was handed over, still in the working form (a bitmap resized since
// vxmRenderSetTarget would leave stale rows behind). Enough for the inverting rectangle.
static bool rndrTargetReady(void) {
  const VxmBitmap* target = rndr.target;
  if (!target || !rndr.targetLines || rndr.targetDepth != 24) return false;
  return target->lineTable == rndr.targetLines && target->width == rndr.targetWidth &&
         target->height == rndr.targetHeight && target->stride == rndr.targetStride &&
         target->depth == rndr.targetDepth;
}

// The target and a scanline table for every one of its rows: enough for the highlight.
static bool rndrScanlinesReady(void) {
  return rndrTargetReady() && rndr.scanlines && rndr.maxScanlines >= rndr.targetHeight;
}

// Everything a frame uses: the target and every work buffer.
static bool rndrReady(void) {
  return rndrScanlinesReady() && rndr.viewVertices && rndr.vertexShades && rndr.renderTris;
}

static bool rndrModelValid(const VxmModel* model) {
  if (model->vertexCount < 1 || model->triCount < 1 || !model->vertices || !model->tris) return false;
  if (model->vertexNormalCount < 0 || (model->vertexNormalCount > 0 && !model->vertexNormals)) return false;
  return true;
}

// The checks every drawing of a model starts with, each failure reported once.
static bool rndrCheckModel(const VxmModel* model) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return false;
  }
  if (!model) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!rndrModelValid(model)) {
    APP_TRACE("Invalid Model");
    return false;
  }
  if (!rndrReady()) {
    APP_TRACE("Invalid render state");
    return false;
  }
  return true;
}

static bool rndrRaiseLimits(int32_t viewVertices, int32_t vertexShades, int32_t renderTris) {
  if (rndr.maxViewVertices < viewVertices && !rndrSetMaxViewVertices(viewVertices)) {
    APP_TRACE("Failed to set maximum view vertices");
    return false;
  }
  if (rndr.maxVertexShades < vertexShades && !rndrSetMaxVertexShades(vertexShades)) {
    APP_TRACE("Failed to set maximum vertex shades");
    return false;
  }
  if (rndr.maxRenderTris < renderTris && !rndrSetMaxRenderTris(renderTris)) {
    APP_TRACE("Failed to set maximum render tris");
    return false;
  }
  return true;
}

// --- Geometry ------------------------------------------------------------------------------------

// A view coordinate rounded to its pixel, halves to even; INT32_MIN (outside every target)
// when it is too large to be a pixel or not a number.
static int32_t rndrPixel(float value) {
  if (value > -1.0e9f && value < 1.0e9f) return vxmMathRound(value);
  return INT32_MIN;
}

// Truncation toward zero of a view coordinate, held inside the 32-bit range.
static int32_t rndrTrunc(float value) {
  if (!(value > -1.0e9f)) return -1000000000;
  if (value > 1.0e9f) return 1000000000;
  return (int32_t)value;
}

static void rndrProject(const VxmVector* vertices, int32_t count, const VxmMatrix* modelToScreen) {
  vxmVtxTransform(rndr.viewVertices, modelToScreen, vertices, count);
  for (int32_t i = 0; i < count; ++i) {
    rndr.screenPoints[i].x = rndrPixel(rndr.viewVertices[i].x);
    rndr.screenPoints[i].y = rndrPixel(rndr.viewVertices[i].y);
  }
  rndr.viewVertexCount = count;
}

// V: the viewing direction (0, 0, 1) brought into model space, unit length.
static void rndrViewDirection(const VxmMatrix* modelToView) {
  VxmMatrix inverse;
  vxmMatInvertRigid(&inverse, modelToView);
  const VxmVector ahead = {0.0f, 0.0f, 1.0f};
  vxmVecRotate(&rndr.viewDirection, &inverse, &ahead, 1);
  vxmVecNormalise(&rndr.viewDirection);
}

// L: the world's light direction brought into model space by the model's own matrix only, so
// the light stays put while the camera moves. Not normalised again.
static void rndrLightDirection(const VxmModel* model) {
  VxmMatrix inverse;
  vxmMatInvertRigid(&inverse, &model->matrix);
  vxmVecRotate(&rndr.lightDirection, &inverse, vxmLightDirectionPtr(), 1);
}

static void rndrPrepareHighlight(const VxmModel* model) {
  rndr.highlight = model->highlight;
  if (model->highlight)
    rndr.highlightExponent = (float)vxmMathPow(
        2.718280076980591, (double)model->highlightValue * (double)0.033333335f + 1.0);
}

// --- Light intensities ---------------------------------------------------------------------------

// Diffuse half plus specular highlight of a unit normal, 0 to 255.
static int32_t rndrHighlightIntensity(const VxmVector* normal) {
  const VxmVector* light = &rndr.lightDirection;
  const double d = -vxmVecDot(normal, light);
  if (!(d > 0.0)) return 0;
  // The light mirrored about the normal.
  const VxmVector mirrored = {(float)(2.0 * d * normal->x + light->x),
                              (float)(2.0 * d * normal->y + light->y),
                              (float)(2.0 * d * normal->z + light->z)};
  const double s = vxmVecDot(&mirrored, &rndr.viewDirection);
  const double specular = s < 0.0 ? vxmMathPow(-s, rndr.highlightExponent) : 0.0;
  const double b = 0.75 * specular + 0.5 * d;
  if (!(b > 0.0)) return 0;
  if (b >= 1.0) return 255;
  return vxmMathRound(b * 255.0);
}

// Intensity of a vertex normal, 20.12 fixed point.
static int32_t rndrVertexShade(const VxmVector* normal) {
  if (rndr.highlight) return rndrHighlightIntensity(normal) * 4096;
  const double f = -vxmVecDot(normal, &rndr.lightDirection);
  if (!(f > 0.0)) return 0;
  if (f >= 2.0) return 0xFF000;
  return vxmMathRound(f * 127.5) * 4096;
}

// Intensity of a facet for the flat-lit states, 0 to 255.
static int32_t rndrFacetIntensity(const VxmTri* tri) {
  if (rndr.highlight) return rndrHighlightIntensity(&tri->normal);
  const double f = -vxmVecDot(&tri->normal, &rndr.lightDirection);
  if (!(f > 0.0)) return 0;
  if (f > 2.0) return 255;
  return vxmMathRound(f * 127.5);
}

// --- Fills ---------------------------------------------------------------------------------------

// The facet's corners at their pixels with their depths; false when a corner lies outside the
// target (or names no vertex of this frame), and the facet is then skipped whole.
static bool rndrCorners(const VxmTri* tri, VxmCorner* c) {
  for (int k = 0; k < 3; ++k) {
    const int32_t v = tri->v[k];
    if ((uint32_t)v >= (uint32_t)rndr.viewVertexCount) return false;
    const VxmScreenPoint point = rndr.screenPoints[v];
    if ((uint32_t)point.x >= (uint32_t)rndr.targetWidth || (uint32_t)point.y >= (uint32_t)rndr.targetHeight)
      return false;
    c[k].x = point.x;
    c[k].y = point.y;
    c[k].z = rndr.viewVertices[v].z;
    c[k].shade = 0;
    c[k].u = 0;
    c[k].v = 0;
  }
  return true;
}

// Corner shades from the vertex shades; a normal index that names no shade gives 0.
static void rndrCornerShades(const VxmTri* tri, VxmCorner* c) {
  for (int k = 0; k < 3; ++k) {
    const int32_t n = tri->n[k];
    c[k].shade = (uint32_t)n < (uint32_t)rndr.shadeCount ? rndr.vertexShades[n] : 0;
  }
}

static int32_t rndrClampUV(int32_t value) {
  return value < -RNDR_UV_LIMIT ? -RNDR_UV_LIMIT : value > RNDR_UV_LIMIT ? RNDR_UV_LIMIT : value;
}

static void rndrCornerUVs(const VxmTri* tri, VxmCorner* c) {
  for (int k = 0; k < 3; ++k) {
    c[k].u = rndrClampUV(tri->uv[2 * k]);
    c[k].v = rndrClampUV(tri->uv[2 * k + 1]);
  }
}

static bool rndrTextureUsable(const VxmTri* tri) {
  const VxmBitmap* texture = tri->texture;
  return texture && texture->lineTable && texture->depth == 24 && texture->width > 0 &&
         texture->height > 0;
}

void vxmRenderFillFlat(const VxmTri* tri, uint32_t colour) {
  if (!tri) {
    APP_TRACE("Invalid Paramters");
    return;
  }
  VxmCorner c[3];
  if (rndrCorners(tri, c)) rndrFillFlat(&rndr, c, colour);
}

void vxmRenderFillFlatLit(const VxmTri* tri, int32_t intensity) {
  if (!tri) {
    APP_TRACE("Invalid Paramters");
    return;
  }
  VxmCorner c[3];
  if (!rndrCorners(tri, c)) return;
  const uint32_t i = (uint32_t)intensity & 0xFF;
  const uint32_t blue = vxmLightGetBlueTable()[(tri->colour & 0xFF) * 256 + i];
  const uint32_t green = vxmLightGetGreenTable()[(tri->colour >> 8 & 0xFF) * 256 + i];
  const uint32_t red = vxmLightGetRedTable()[(tri->colour >> 16 & 0xFF) * 256 + i];
  rndrFillFlat(&rndr, c, red << 16 | green << 8 | blue);
}

void vxmRenderFillSmooth(const VxmTri* tri) {
  if (!tri) {
    APP_TRACE("Invalid Paramters");
    return;
  }
  VxmCorner c[3];
  if (!rndrCorners(tri, c)) return;
  rndrCornerShades(tri, c);
  const uint32_t ambient = vxmLightGetAmbient();
  const uint32_t directional = vxmLightGetDirectional();
  VxmSmoothColour colour;
  for (int channel = 0; channel < 3; ++channel) {
    const int shift = 8 * channel;  // blue, green, red
    const int32_t f = (int32_t)(tri->colour >> shift & 0xFF);
    colour.base[channel] = f * (int32_t)(ambient >> shift & 0xFF) >> 8;
    colour.directional[channel] = (int32_t)(directional >> shift & 0xFF);
  }
  rndrFillSmooth(&rndr, c, &colour);
}

void vxmRenderWireTri(const VxmTri* tri, uint32_t colour) {
  if (!tri) {
    APP_TRACE("Invalid Paramters");
    return;
  }
  VxmCorner c[3];
  if (rndrCorners(tri, c)) rndrWireTri(&rndr, c, colour);
}

// The three textured fills: one entry, told which way texels become pixels.
static void rndrFillTextured(const VxmTri* tri, VxmTextureMode mode, int32_t intensity) {
  if (!tri || !rndrTextureUsable(tri)) {
    APP_TRACE("Invalid Paramters");
    return;
  }
  VxmCorner c[3];
  if (!rndrCorners(tri, c)) return;
  rndrCornerUVs(tri, c);
  if (mode == RNDR_TEXTURE_SMOOTH) rndrCornerShades(tri, c);
  rndrFillTexture(&rndr, c, tri->texture, mode, intensity & 0xFF);
}

void vxmRenderFillTexture(const VxmTri* tri) { rndrFillTextured(tri, RNDR_TEXTURE_PLAIN, 0); }

void vxmRenderFillTextureLit(const VxmTri* tri, int32_t intensity) {
  rndrFillTextured(tri, RNDR_TEXTURE_LIT, intensity);
}

void vxmRenderFillTextureSmooth(const VxmTri* tri) { rndrFillTextured(tri, RNDR_TEXTURE_SMOOTH, 0); }

// --- Dispatch ------------------------------------------------------------------------------------

// Draws the render list from its last entry to its first with the fills of the state.
static void rndrDispatch(int32_t state) {
  const VxmTri* const* list = rndr.renderTris;
  const int32_t count = rndr.renderTriCount;
  switch (state) {
    case VXM_RENDER_COLOUR:
      for (int32_t i = count - 1; i >= 0; --i) vxmRenderFillFlat(list[i], list[i]->colour);
      break;
    case VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE:
      for (int32_t i = count - 1; i >= 0; --i) {
        if (list[i]->texture)
          vxmRenderFillTexture(list[i]);
        else
          vxmRenderFillFlat(list[i], list[i]->colour);
      }
      break;
    case VXM_RENDER_COLOUR | VXM_RENDER_LIGHTING:
      for (int32_t i = count - 1; i >= 0; --i) vxmRenderFillFlatLit(list[i], rndrFacetIntensity(list[i]));
      break;
    case VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING:
      for (int32_t i = count - 1; i >= 0; --i) {
        if (list[i]->texture)
          vxmRenderFillTextureLit(list[i], rndrFacetIntensity(list[i]));
        else
          vxmRenderFillFlatLit(list[i], rndrFacetIntensity(list[i]));
      }
      break;
    case VXM_RENDER_COLOUR | VXM_RENDER_SMOOTH:
      for (int32_t i = count - 1; i >= 0; --i) vxmRenderFillSmooth(list[i]);
      break;
    case VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH:
      for (int32_t i = count - 1; i >= 0; --i) {
        if (list[i]->texture)
          vxmRenderFillTextureSmooth(list[i]);
        else
          vxmRenderFillSmooth(list[i]);
      }
      break;
    // Textures without colour: the plain facets' wireframes first, then every textured facet
    // over them (wireframes neither test nor write depth).
    case VXM_RENDER_TEXTURE:
    case VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING:
    case VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH:
      for (int32_t i = count - 1; i >= 0; --i)
        if (!list[i]->texture) vxmRenderWireTri(list[i], RNDR_WHITE);
      for (int32_t i = count - 1; i >= 0; --i) {
        if (!list[i]->texture) continue;
        if (state == VXM_RENDER_TEXTURE)
          vxmRenderFillTexture(list[i]);
        else if (state & VXM_RENDER_LIGHTING)
          vxmRenderFillTextureLit(list[i], rndrFacetIntensity(list[i]));
        else
          vxmRenderFillTextureSmooth(list[i]);
      }
      break;
    default:
      for (int32_t i = count - 1; i >= 0; --i) vxmRenderWireTri(list[i], RNDR_WHITE);
      break;
  }
}

// --- Frames --------------------------------------------------------------------------------------

// One full frame: the program has put the background into the target and cleared the depths.
bool vxmRenderModel(VxmModel* model) {
  if (!rndrCheckModel(model)) return false;
  if (!rndrRaiseLimits(model->vertexCount, model->vertexNormalCount, model->triCount)) return false;
  rndrPrepareHighlight(model);

  VxmMatrix modelToView, modelToScreen;
  vxmMatMultiply(&modelToView, &model->matrix, &rndr.viewMatrix);
  vxmMatMultiply(&modelToScreen, &model->matrix, &rndr.screenMatrix);
  rndrProject(model->vertices, model->vertexCount, &modelToScreen);
  rndrViewDirection(&modelToView);

  // Culling: facets that face the viewer (d < 0, strictly), in model order.
  const VxmTri* tris = model->tris;
  int32_t visible = 0;
  for (int32_t i = 0; i < model->triCount; ++i) {
    const VxmTri* tri = &tris[i];
    if (!vxmModelTriCornersValid(model, tri)) continue;
    if (vxmVecDot(&rndr.viewDirection, &tri->normal) < 0.0) rndr.renderTris[visible++] = tri;
  }
  rndr.renderTriCount = visible;

  if (rndr.state & (VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH)) rndrLightDirection(model);
  rndr.shadeCount = 0;
  if (rndr.state & VXM_RENDER_SMOOTH) {
    if (model->vertexNormalCount == 0) {
      rndr.state &= ~VXM_RENDER_SMOOTH;  // stays off until the program sets the state again
    } else {
      for (int32_t i = model->vertexNormalCount - 1; i >= 0; --i)
        rndr.vertexShades[i] = rndrVertexShade(&model->vertexNormals[i]);
      rndr.shadeCount = model->vertexNormalCount;
    }
  }
  rndrDispatch(rndr.state);
  return true;
}

// The editor's redraw of one facet over the last frame.
bool vxmRenderModelTri(VxmModel* model, int32_t index) {
  if (!rndrCheckModel(model)) return false;
  if (index < 0 || index >= model->triCount) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!rndrRaiseLimits(3, 3, 1)) return false;
  rndrPrepareHighlight(model);

  const VxmTri* source = &model->tris[index];
  if (!vxmModelTriCornersValid(model, source)) {
    APP_TRACE("Invalid Model");
    return false;
  }
  VxmVector corners[3];
  for (int k = 0; k < 3; ++k) corners[k] = model->vertices[source->v[k]];
  VxmMatrix modelToView, modelToScreen;
  vxmMatMultiply(&modelToView, &model->matrix, &rndr.viewMatrix);
  vxmMatMultiply(&modelToScreen, &model->matrix, &rndr.screenMatrix);
  rndrProject(corners, 3, &modelToScreen);

  // The facet is drawn over whatever the last frame left in its bounding rectangle.
  int32_t left = 0, right = 0, bottom = 0, top = 0;
  for (int k = 0; k < 3; ++k) {
    const int32_t x = rndrTrunc(rndr.viewVertices[k].x);
    const int32_t y = rndrTrunc(rndr.viewVertices[k].y);
    if (k == 0 || x < left) left = x;
    if (k == 0 || x > right) right = x;
    if (k == 0 || y < bottom) bottom = y;
    if (k == 0 || y > top) top = y;
  }
  vxmRenderClearDepthRect(left, bottom, right - left + 1, top - bottom + 1);

  rndrViewDirection(&modelToView);
  rndr.renderTriCount = 0;
  if (!(vxmVecDot(&rndr.viewDirection, &source->normal) < 0.0)) return true;

  if (rndr.state & (VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH)) rndrLightDirection(model);
  rndr.shadeCount = 0;
  if (rndr.state & VXM_RENDER_SMOOTH) {
    if (source->n[0] == -1) {
      rndr.state &= ~VXM_RENDER_SMOOTH;
    } else {
      for (int k = 0; k < 3; ++k) {
        const int32_t n = source->n[k];
        rndr.vertexShades[k] = (uint32_t)n < (uint32_t)model->vertexNormalCount
                                   ? rndrVertexShade(&model->vertexNormals[n])
                                   : 0;
      }
      rndr.shadeCount = 3;
    }
  }

  VxmTri copy = *source;
  for (int k = 0; k < 3; ++k) {
    copy.v[k] = k;
    copy.n[k] = k;
  }
  rndr.renderTris[0] = &copy;
  rndr.renderTriCount = 1;
  rndrDispatch(rndr.state);
  rndr.renderTriCount = 0;  // the copy dies here
  return true;
}

// --- Editor drawing aids -------------------------------------------------------------------------

// Blends the colour into every second pixel of the facet with these screen corners.
void vxmRenderHighlightTri(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           uint32_t colour) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer not initialised");
    return;
  }
  const int32_t xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
  VxmCorner c[3];
  for (int k = 0; k < 3; ++k) {
    if ((uint32_t)xs[k] >= (uint32_t)rndr.targetWidth || (uint32_t)ys[k] >= (uint32_t)rndr.targetHeight)
      return;
    c[k].x = xs[k];
    c[k].y = ys[k];
    c[k].z = 0.0f;
    c[k].shade = c[k].u = c[k].v = 0;
  }
  if (!rndrScanlinesReady()) {
    APP_TRACE("Invalid render state");
    return;
  }
  rndrHighlightTri(&rndr, c, colour);
}

// The rubber band: a dotted outline drawn by inverting pixels; drawn twice it is gone.
void vxmRenderInvertRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (!rndr.initialised) {
    APP_TRACE("Renderer is not initialised");
    return;
  }
  if (!rndr.target) return;
  if (!rndrTargetReady()) {
    APP_TRACE("Invalid render state");
    return;
  }
  rndrInvertRect(&rndr, x0, y0, x1, y1);
}

// --- Fitting a model into a square ---------------------------------------------------------------

// A fitted model's radius is 1.05 times the circle it fills, which is 0.952381 of the half side;
// both are single-precision constants widened to double.
static const float RNDR_FIT_MARGIN = 1.05f;
static const float RNDR_FIT_CIRCLE = 0.952381f;

int32_t vxmRenderFitRadius(int32_t half) { return (int32_t)((double)half * (double)RNDR_FIT_CIRCLE); }

bool vxmRenderFitModel(const VxmModel* model, int32_t side, VxmRenderFit* fit) {
  if (!model || !fit || side < 0) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!vxmModelGetCentre(model, &fit->centre) || !vxmModelGetRadius(model, &fit->centre, &fit->radius)) {
    APP_TRACE("Failed to fit model");
    return false;
  }
  const int32_t half = side >> 1;
  fit->scale =
      fit->radius > 0.0f ? (float)((double)half / ((double)fit->radius * (double)RNDR_FIT_MARGIN)) : 1.0f;
  fit->screenRadius = vxmRenderFitRadius(half);
  vxmMatTranslate(&fit->base, -fit->centre.x, -fit->centre.y, -fit->centre.z);
  vxmMatScale(&fit->view, fit->scale, fit->scale, fit->scale);
  return true;
}
