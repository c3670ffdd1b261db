// Vtx.cpp: operations on vertex positions: differences, the affine transform of whole vertex
// tables and the unnormalised facet normal.
#include "app.h"
#include "vxmMath.h"

void vxmVtxSub(VxmVector* dst, const VxmVector* a, const VxmVector* b) {
  if (!dst || !a || !b) return;  // unchecked helper: a null argument does nothing
  dst->x = (float)((double)a->x - b->x);
  dst->y = (float)((double)a->y - b->y);
  dst->z = (float)((double)a->z - b->z);
}

VxmVector* vxmVtxTransform(VxmVector* dst, const VxmMatrix* matrix, const VxmVector* src, int count) {
  if (!dst || !src || !matrix) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  const float* m = matrix->m;
  for (int i = 0; i < count; ++i) {
    // Read the whole vertex first: dst may be src.
    double x = src[i].x, y = src[i].y, z = src[i].z;
    dst[i].x = (float)(x * m[0] + y * m[3] + z * m[6] + m[9]);
    dst[i].y = (float)(x * m[1] + y * m[4] + z * m[7] + m[10]);
    dst[i].z = (float)(x * m[2] + y * m[5] + z * m[8] + m[11]);
  }
  return dst;
}

VxmVector* vxmVtxTriNormal(VxmVector* dst, const VxmVector* p0, const VxmVector* p1, const VxmVector* p2) {
  if (!dst || !p0 || !p1 || !p2) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  // (p1 - p0) x (p2 - p1), the edges kept in double like every other intermediate.
  double ax = (double)p1->x - p0->x, ay = (double)p1->y - p0->y, az = (double)p1->z - p0->z;
  double bx = (double)p2->x - p1->x, by = (double)p2->y - p1->y, bz = (double)p2->z - p1->z;
  dst->x = (float)(ay * bz - az * by);
  dst->y = (float)(az * bx - ax * bz);
  dst->z = (float)(ax * by - ay * bx);
  return dst;
}
