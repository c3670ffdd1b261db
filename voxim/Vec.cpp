// Vec.cpp: operations on single vectors and on arrays of directions (normals, light vectors).
// Sums and products are formed in double and rounded to float only when stored.
#include "app.h"
#include "vxmMath.h"

VxmVector* vxmVecNormalise(VxmVector* v) {
  if (!v) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  double x = v->x, y = v->y, z = v->z;
  double length = vxmMathSqrt(x * x + y * y + z * z);
  if (length == 0.0) return v;  // the zero vector stays as it is
  v->x = (float)(x / length);
  v->y = (float)(y / length);
  v->z = (float)(z / length);
  return v;
}

// The unchecked helpers below are called in inner loops; a null argument does nothing.
void vxmVecAdd(VxmVector* a, const VxmVector* b) {
  if (!a || !b) return;
  a->x = (float)((double)a->x + b->x);
  a->y = (float)((double)a->y + b->y);
  a->z = (float)((double)a->z + b->z);
}

double vxmVecDot(const VxmVector* a, const VxmVector* b) {
  if (!a || !b) return 0.0;
  return (double)a->x * b->x + (double)a->y * b->y + (double)a->z * b->z;
}

void vxmVecCross(VxmVector* dst, const VxmVector* a, const VxmVector* b) {
  if (!dst || !a || !b) return;
  double ax = a->x, ay = a->y, az = a->z, bx = b->x, by = b->y, bz = b->z;
  dst->x = (float)(ay * bz - az * by);
  dst->y = (float)(az * bx - ax * bz);
  dst->z = (float)(ax * by - ay * bx);
}

VxmVector* vxmVecRotate(VxmVector* dst, const VxmMatrix* matrix, const VxmVector* src, int count) {
  if (!dst || !matrix || !src) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  const float* m = matrix->m;
  for (int i = 0; i < count; ++i) {
    // Read the whole vector first: dst may be src.
    double x = src[i].x, y = src[i].y, z = src[i].z;
    dst[i].x = (float)(x * m[0] + y * m[3] + z * m[6]);
    dst[i].y = (float)(x * m[1] + y * m[4] + z * m[7]);
    dst[i].z = (float)(x * m[2] + y * m[5] + z * m[8]);
  }
  return dst;
}
