// Select.cpp: the editor's facet selection: picking the facet under a point, selecting by facet
// and by screen rectangle, highlighting, painting, texture projection and the committed copy.
#include <cmath>
#include <cstring>

#include "app.h"
#include "vxmMem.h"
#include "vxmRender.h"
#include "vxmSelect.h"

// --- Checks --------------------------------------------------------------------------------------

// A selection whose tables exist and still match its model's facet table. A model that has been
// given another facet table size since would make the copies run past one of the tables.
static bool selUsable(const VxmSelection* selection) {
  const VxmModel* model = selection->model;
  if (!model || !selection->selected || !selection->savedTris || model->triCount != selection->triCount ||
      (model->triCount > 0 && !model->tris) || model->vertexCount < 0 || (model->vertexCount > 0 && !model->vertices)) {
    APP_TRACE("Invalid selection");
    return false;
  }
  return true;
}

static void selOutOfMemory(void) {
  APP_TRACE("Out of Memory!");
  appWarning("Out of Memory!");
}

// --- Screen positions ------------------------------------------------------------------------------

// The model's matrix followed by the renderer's screen matrix.
static void selScreenTransform(const VxmModel* model, VxmMatrix* combined) {
  VxmMatrix screen;
  vxmMatIdentity(&screen);
  vxmRenderGetScreenMatrix(&screen);
  vxmMatMultiply(combined, &model->matrix, &screen);
}

// The unit Z axis turned back into model space by the rigid inverse of the transform; a facet
// whose normal has a negative dot product with it faces the viewer (or the projection).
static VxmVector selViewDirection(const VxmMatrix* transform) {
  VxmMatrix inverse;
  vxmMatInvertRigid(&inverse, transform);
  const VxmVector unitZ = {0.0f, 0.0f, 1.0f};
  VxmVector direction;
  vxmVecRotate(&direction, &inverse, &unitZ, 1);
  return direction;
}

static bool selFaces(const VxmTri* tri, const VxmVector* direction) { return vxmVecDot(&tri->normal, direction) < 0.0; }

// Every vertex through the transform, into a work table the caller frees; null (reported) when
// it cannot be had.
static VxmVector* selTransformVertices(const VxmModel* model, const VxmMatrix* transform) {
  int32_t bytes = 0;
  VxmVector* points = nullptr;
  if (vxmMemMulSize(model->vertexCount, (int64_t)sizeof(VxmVector), &bytes))
    points = static_cast<VxmVector*>(vxmMemAlloc((size_t)bytes));
  if (!points) {
    selOutOfMemory();
    return nullptr;
  }
  vxmVtxTransform(points, transform, model->vertices, model->vertexCount);
  return points;
}

struct SelRect {
  int32_t x0, y0, x1, y1;
};

static SelRect selNormalise(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  SelRect r = {x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, x0 < x1 ? x1 : x0, y0 < y1 ? y1 : y0};
  return r;
}

// The facet's three corners as pixel positions: x and y rounded, halves to even.
static void selPixelCorners(const VxmVector* points, const VxmTri* tri, int32_t* xs, int32_t* ys) {
  for (int k = 0; k < 3; ++k) {
    xs[k] = vxmMathRound(points[tri->v[k]].x);
    ys[k] = vxmMathRound(points[tri->v[k]].y);
  }
}

static bool selInRect(const int32_t* xs, const int32_t* ys, const SelRect* r) {
  for (int k = 0; k < 3; ++k)
    if (xs[k] < r->x0 || xs[k] > r->x1 || ys[k] < r->y0 || ys[k] > r->y1) return false;
  return true;
}

static void selHighlight(const int32_t* xs, const int32_t* ys, uint32_t colour) {
  vxmRenderHighlightTri(xs[0], ys[0], xs[1], ys[1], xs[2], ys[2], colour);
}

enum SelRectAction { SEL_SELECT, SEL_DESELECT, SEL_PAINT, SEL_MARK };

// The rectangle operations: every facet whose rounded corners lie in the rectangle; all but
// the marking consider only the facets that face the viewer.
static void selRectWalk(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        SelRectAction action, uint32_t colour) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (!selUsable(selection)) return;
  VxmModel* model = selection->model;
  VxmMatrix transform;
  selScreenTransform(model, &transform);
  VxmVector* points = selTransformVertices(model, &transform);
  if (!points) return;
  const VxmVector direction = selViewDirection(&transform);
  const SelRect rect = selNormalise(x0, y0, x1, y1);
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    VxmTri* tri = &model->tris[i];
    if (!vxmModelTriCornersValid(model, tri)) continue;
    if (action != SEL_MARK && !selFaces(tri, &direction)) continue;
    int32_t xs[3], ys[3];
    selPixelCorners(points, tri, xs, ys);
    if (!selInRect(xs, ys, &rect)) continue;
    switch (action) {
      case SEL_SELECT: selection->selected[i] = 1; break;
      case SEL_DESELECT: selection->selected[i] = 0; break;
      case SEL_PAINT:
        tri->texture = nullptr;
        tri->colour = colour;
        break;
      case SEL_MARK: selHighlight(xs, ys, colour); break;
    }
  }
  vxmMemFree(points);
}

// --- Life cycle and flags --------------------------------------------------------------------------

VxmSelection* vxmSelectionCreate(VxmModel* model) {
  if (!model || model->triCount < 0 || (model->triCount > 0 && !model->tris)) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  int32_t trisBytes = 0;
  if (!vxmMemMulSize(model->triCount, (int64_t)sizeof(VxmTri), &trisBytes)) {
    selOutOfMemory();
    return nullptr;
  }
  VxmSelection* selection = static_cast<VxmSelection*>(vxmMemAlloc(sizeof(VxmSelection)));
  if (!selection) {
    selOutOfMemory();
    return nullptr;
  }
  selection->savedTris = static_cast<VxmTri*>(vxmMemAlloc((size_t)trisBytes));
  selection->selected = selection->savedTris ? static_cast<uint8_t*>(vxmMemAlloc((size_t)model->triCount)) : nullptr;
  if (!selection->selected) {
    vxmMemFree(selection->savedTris);
    vxmMemFree(selection);
    selOutOfMemory();
    return nullptr;
  }
  selection->model = model;
  selection->triCount = model->triCount;
  selection->current = -1;
  if (model->triCount > 0) {
    std::memset(selection->selected, 0, (size_t)model->triCount);
    std::memcpy(selection->savedTris, model->tris, (size_t)trisBytes);
  }
  return selection;
}

void vxmSelectionFree(VxmSelection* selection) {
  if (!selection) return;
  vxmMemFree(selection->savedTris);
  vxmMemFree(selection->selected);
  vxmMemFree(selection);
}

bool vxmSelectionClear(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!selUsable(selection)) return false;
  if (selection->triCount > 0) std::memset(selection->selected, 0, (size_t)selection->triCount);
  selection->current = -1;
  return true;
}

// Select and deselect one facet: -1 (no facet) is no error.
static void selSetTri(VxmSelection* selection, int32_t index, uint8_t flag) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (index == -1) return;
  if (!selUsable(selection)) return;
  if (index < 0 || index >= selection->triCount) {
    APP_TRACE("Not a valid tri index");
    return;
  }
  selection->selected[index] = flag;
}

void vxmSelectionSelectTri(VxmSelection* selection, int32_t index) { selSetTri(selection, index, 1); }

void vxmSelectionDeselectTri(VxmSelection* selection, int32_t index) { selSetTri(selection, index, 0); }

void vxmSelectionSelectAll(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (!selUsable(selection)) return;
  if (selection->triCount > 0) std::memset(selection->selected, 1, (size_t)selection->triCount);
}

void vxmSelectionSelectRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  selRectWalk(selection, x0, y0, x1, y1, SEL_SELECT, 0);
}

void vxmSelectionDeselectRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  selRectWalk(selection, x0, y0, x1, y1, SEL_DESELECT, 0);
}

bool vxmSelectionAny(VxmSelection* selection) {
  if (!selection) return false;
  if (!selUsable(selection)) return false;
  for (int32_t i = 0; i < selection->triCount; ++i)
    if (selection->selected[i]) return true;
  return false;
}

// --- Picking --------------------------------------------------------------------------------------

int32_t vxmSelectionPick(VxmSelection* selection, int32_t x, int32_t y) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return -1;
  }
  if (!selUsable(selection)) return -1;
  const VxmModel* model = selection->model;
  VxmMatrix transform;
  selScreenTransform(model, &transform);
  VxmVector* points = selTransformVertices(model, &transform);
  if (!points) return -1;
  const float px = (float)x, py = (float)y;
  int32_t found = -1;
  float nearest = 0.0f;
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    const VxmTri* tri = &model->tris[i];
    if (!vxmModelTriCornersValid(model, tri)) continue;
    const VxmVector p0 = points[tri->v[0]], p1 = points[tri->v[1]], p2 = points[tri->v[2]];
    if (px < std::fmin(std::fmin(p0.x, p1.x), p2.x) || px > std::fmax(std::fmax(p0.x, p1.x), p2.x) ||
        py < std::fmin(std::fmin(p0.y, p1.y), p2.y) || py > std::fmax(std::fmax(p0.y, p1.y), p2.y))
      continue;
    // Strictly inside a facet whose corners run clockwise (rows growing upwards): the facets
    // that face the viewer. A point on an edge hits neither facet of the edge.
    const float e0 = (py - p0.y) * (p2.x - p0.x) - (px - p0.x) * (p2.y - p0.y);
    const float e1 = (p0.x - p1.x) * (py - p1.y) - (px - p1.x) * (p0.y - p1.y);
    const float e2 = (py - p2.y) * (p1.x - p2.x) - (px - p2.x) * (p1.y - p2.y);
    if (!(e0 > 0.0f && e1 > 0.0f && e2 > 0.0f)) continue;
    // Depth of the facet's plane at the point.
    const float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
    const float bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    const float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    const float depth = nz == 0.0f ? 0.0f : p0.z + (nx * (p0.x - px) + ny * (p0.y - py)) / nz;
    // Ties keep the facet found first, the higher index.
    if (found < 0 || depth < nearest) {
      found = i;
      nearest = depth;
    }
  }
  vxmMemFree(points);
  return found;
}

// --- Highlighting ---------------------------------------------------------------------------------

void vxmSelectionDraw(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (!selUsable(selection)) return;
  const VxmModel* model = selection->model;
  VxmMatrix transform;
  selScreenTransform(model, &transform);
  VxmVector* points = selTransformVertices(model, &transform);
  if (!points) return;
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    const VxmTri* tri = &model->tris[i];
    if (!selection->selected[i] || !vxmModelTriCornersValid(model, tri)) continue;
    int32_t xs[3], ys[3];
    selPixelCorners(points, tri, xs, ys);
    selHighlight(xs, ys, VXM_SELECTION_COLOUR);
  }
  vxmMemFree(points);
}

// One facet needs only its own three corners transformed: the editor draws the facet under the
// pointer at every move, and this cannot run out of memory.
static void selDrawOne(const VxmModel* model, int32_t index, uint32_t colour) {
  const VxmTri* tri = &model->tris[index];
  if (!vxmModelTriCornersValid(model, tri)) return;
  VxmMatrix transform;
  selScreenTransform(model, &transform);
  VxmVector corners[3];
  int32_t xs[3], ys[3];
  for (int k = 0; k < 3; ++k) {
    vxmVtxTransform(&corners[k], &transform, &model->vertices[tri->v[k]], 1);
    xs[k] = vxmMathRound(corners[k].x);
    ys[k] = vxmMathRound(corners[k].y);
  }
  selHighlight(xs, ys, colour);
}

void vxmSelectionDrawTri(VxmSelection* selection, int32_t index) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (index == -1) return;
  if (!selUsable(selection)) return;
  if (index < 0 || index >= selection->triCount) {
    APP_TRACE("Invalid tri index");
    return;
  }
  if (selection->selected[index]) selDrawOne(selection->model, index, VXM_SELECTION_COLOUR);
}

void vxmSelectionDrawCurrent(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  if (selection->current == -1) return;
  if (!selUsable(selection)) return;
  if (selection->current < 0 || selection->current >= selection->triCount) {
    APP_TRACE("Invalid tri index");
    return;
  }
  selDrawOne(selection->model, selection->current, VXM_CURRENT_COLOUR);
}

void vxmSelectionDrawRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
  selRectWalk(selection, x0, y0, x1, y1, SEL_MARK, colour);
}

void vxmSelectionPaintRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
  selRectWalk(selection, x0, y0, x1, y1, SEL_PAINT, colour);
}

// --- Textures --------------------------------------------------------------------------------------

// The checks both projections share; the slot's bitmap when they pass.
static VxmBitmap* selTextureTarget(VxmSelection* selection, int32_t slot, const VxmMatrix* projection) {
  if (!selection || !projection) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  if (!selUsable(selection)) return nullptr;
  const VxmModel* model = selection->model;
  if (slot < 0 || slot >= model->textureCount || slot >= VXM_MAX_TEXTURES) {
    APP_TRACE("Invalid model texture ID");
    return nullptr;
  }
  VxmBitmap* bitmap = model->textures[slot].bitmap;
  if (!bitmap) {
    APP_TRACE("Invalid model");
    return nullptr;
  }
  return bitmap;
}

// value x 4096 rounded to the nearest integer, halves to even, when that lies in 0 .. limit - 1.
static bool selTexel(double value, int64_t limit, int32_t* fixed) {
  const double scaled = value * 4096.0;
  if (!(scaled > -2147483648.0 && scaled < 2147483647.0)) return false;  // NaN too
  const int32_t rounded = vxmMathRound(scaled);
  if (rounded < 0 || rounded >= limit) return false;
  *fixed = rounded;
  return true;
}

// Gives the facet the texture when all six coordinates lie on the bitmap; otherwise leaves it.
static void selMapFacet(VxmTri* tri, const VxmVector* mapped, VxmBitmap* bitmap) {
  const int64_t width = (int64_t)bitmap->width * 4096, height = (int64_t)bitmap->height * 4096;
  int32_t uv[6];
  for (int k = 0; k < 3; ++k) {
    const VxmVector& p = mapped[tri->v[k]];
    if (!selTexel(p.x, width, &uv[2 * k]) || !selTexel(p.y, height, &uv[2 * k + 1])) return;
  }
  std::memcpy(tri->uv, uv, sizeof uv);
  tri->texture = bitmap;
}

bool vxmSelectionApplyTexture(VxmSelection* selection, int32_t slot, const VxmMatrix* projection) {
  VxmBitmap* bitmap = selTextureTarget(selection, slot, projection);
  if (!bitmap) return false;
  VxmModel* model = selection->model;
  VxmVector* mapped = selTransformVertices(model, projection);
  if (!mapped) return false;
  const VxmVector direction = selViewDirection(projection);
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    VxmTri* tri = &model->tris[i];
    if (!selection->selected[i] || !vxmModelTriCornersValid(model, tri) || !selFaces(tri, &direction)) continue;
    selMapFacet(tri, mapped, bitmap);
  }
  vxmMemFree(mapped);
  return true;
}

bool vxmSelectionApplyCylTexture(VxmSelection* selection, int32_t slot, const VxmMatrix* projection, float uOffset,
                                 float vOffset, float uRepeat, float vScale) {
  VxmBitmap* bitmap = selTextureTarget(selection, slot, projection);
  if (!bitmap) return false;
  VxmModel* model = selection->model;
  VxmVector* mapped = selTransformVertices(model, projection);
  if (!mapped) return false;
  // Each vertex's (u, v) in texels: u from the angle about the projection's Y axis, wrapped
  // into one repeat of the bitmap; v from the height along that axis.
  const float repeatWidth = (float)bitmap->width * uRepeat;
  const int32_t halfHeight = bitmap->height >> 1;
  for (int32_t i = 0; i < model->vertexCount; ++i) {
    VxmVector* p = &mapped[i];
    const double angle = vxmMathAtan2(-(double)p->x, (double)p->z);
    float u = (float)(angle * (double)repeatWidth * 0.15915494 - (double)uOffset);
    const double turns = std::trunc((double)u / (double)repeatWidth);
    u = (float)((double)u - (double)repeatWidth * turns);
    if (u < 0.0f) u += repeatWidth;
    const float v = (float)(((double)p->y + (double)vOffset) * (double)vScale + (double)halfHeight);
    p->x = u;
    p->y = v;
  }
  // No facing test: the cylinder wraps all round. A facet across the wrap-around edge gets
  // coordinates from both ends of the bitmap.
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    VxmTri* tri = &model->tris[i];
    if (!selection->selected[i] || !vxmModelTriCornersValid(model, tri)) continue;
    selMapFacet(tri, mapped, bitmap);
  }
  vxmMemFree(mapped);
  return true;
}

bool vxmSelectionRemoveTexture(VxmSelection* selection, int32_t slot) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!selUsable(selection)) return false;
  VxmModel* model = selection->model;
  if (slot < 0 || slot >= model->textureCount || slot >= VXM_MAX_TEXTURES) {
    APP_TRACE("Invalid model image ID");
    return false;
  }
  // A slot left without a bitmap (a failed reload) is shown by no facet: untextured facets
  // must keep their colours.
  const VxmBitmap* bitmap = model->textures[slot].bitmap;
  if (!bitmap) return true;
  for (int32_t i = 0; i < model->triCount; ++i) {
    VxmTri* tri = &model->tris[i];
    if (selection->selected[i] && tri->texture == bitmap) {
      tri->texture = nullptr;
      tri->colour = VXM_DEFAULT_COLOUR;
    }
  }
  return true;
}

// --- The committed copy ----------------------------------------------------------------------------

bool vxmSelectionRestoreTris(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!selUsable(selection)) return false;
  if (selection->triCount > 0)
    std::memcpy(selection->model->tris, selection->savedTris, sizeof(VxmTri) * (size_t)selection->triCount);
  return true;
}

bool vxmSelectionSaveTris(VxmSelection* selection) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (!selUsable(selection)) return false;
  if (selection->triCount > 0)
    std::memcpy(selection->savedTris, selection->model->tris, sizeof(VxmTri) * (size_t)selection->triCount);
  return true;
}

bool vxmSelectionSaveTri(VxmSelection* selection, int32_t index) {
  if (!selection) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (index == -1) return false;
  if (!selUsable(selection)) return false;
  if (index < 0 || index >= selection->triCount) {
    APP_TRACE("Not a valid tri index");
    return false;
  }
  selection->savedTris[index] = selection->model->tris[index];
  return true;
}
