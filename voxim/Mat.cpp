// Mat.cpp: the affine transformation matrix: identity, translation, scale, the three rotations,
// products, the rigid inverse and the angles the editor reads back from a matrix.
// Points are row vectors on the left (p' = p.M), so A.B applies A first.
#include <cstring>

#include "app.h"
#include "vxmMath.h"

VxmMatrix* vxmMatIdentity(VxmMatrix* m) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  std::memset(m->m, 0, sizeof m->m);
  m->m[0] = m->m[4] = m->m[8] = 1.0f;
  return m;
}

VxmMatrix* vxmMatTranslate(VxmMatrix* m, float tx, float ty, float tz) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  vxmMatIdentity(m);
  m->m[9] = tx;
  m->m[10] = ty;
  m->m[11] = tz;
  return m;
}

VxmMatrix* vxmMatScale(VxmMatrix* m, float sx, float sy, float sz) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  std::memset(m->m, 0, sizeof m->m);
  m->m[0] = sx;
  m->m[4] = sy;
  m->m[8] = sz;
  return m;
}

VxmMatrix* vxmMatRotateX(VxmMatrix* m, float angle) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  float c = (float)vxmMathCos(angle), s = (float)vxmMathSin(angle);
  std::memset(m->m, 0, sizeof m->m);
  m->m[0] = 1.0f;
  m->m[4] = c;
  m->m[5] = s;
  m->m[7] = -s;
  m->m[8] = c;
  return m;
}

VxmMatrix* vxmMatRotateY(VxmMatrix* m, float angle) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  float c = (float)vxmMathCos(angle), s = (float)vxmMathSin(angle);
  std::memset(m->m, 0, sizeof m->m);
  m->m[4] = 1.0f;
  m->m[0] = c;
  m->m[2] = -s;
  m->m[6] = s;
  m->m[8] = c;
  return m;
}

VxmMatrix* vxmMatRotateZ(VxmMatrix* m, float angle) {
  if (!m) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  float c = (float)vxmMathCos(angle), s = (float)vxmMathSin(angle);
  std::memset(m->m, 0, sizeof m->m);
  m->m[8] = 1.0f;
  m->m[0] = c;
  m->m[1] = s;
  m->m[3] = -s;
  m->m[4] = c;
  return m;
}

// a.b into out; out may be a or b, since everything is read before anything is written.
static void matProduct(float* out, const float* a, const float* b) {
  float r[12];
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      r[row * 3 + col] = (float)((double)a[row * 3] * b[col] + (double)a[row * 3 + 1] * b[3 + col] +
                                 (double)a[row * 3 + 2] * b[6 + col]);
  for (int col = 0; col < 3; ++col)
    r[9 + col] = (float)((double)a[9] * b[col] + (double)a[10] * b[3 + col] + (double)a[11] * b[6 + col] +
                         b[9 + col]);
  std::memcpy(out, r, sizeof r);
}

VxmMatrix* vxmMatMultiply(VxmMatrix* dst, const VxmMatrix* a, const VxmMatrix* b) {
  if (!dst || !a || !b) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  matProduct(dst->m, a->m, b->m);
  return dst;
}

VxmMatrix* vxmMatMultiplyInPlace(VxmMatrix* m, const VxmMatrix* b) {
  if (!m || !b) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  matProduct(m->m, m->m, b->m);
  return m;
}

VxmMatrix* vxmMatInvertRigid(VxmMatrix* dst, const VxmMatrix* src) {
  if (!dst || !src) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  const float* s = src->m;
  float r[12];
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) r[row * 3 + col] = s[col * 3 + row];
  double tx = s[9], ty = s[10], tz = s[11];
  for (int row = 0; row < 3; ++row)
    r[9 + row] = (float)-(tx * s[row * 3] + ty * s[row * 3 + 1] + tz * s[row * 3 + 2]);
  std::memcpy(dst->m, r, sizeof r);
  return dst;
}

// The inverse of m = Rz(az).Rx(ax).Ry(ay): the image of the Z axis gives the turns about Y and
// X; the image of the X axis, turned back about Y and then X, gives the turn about Z.
void vxmMatToAngles(const VxmMatrix* m, float* angleX, float* angleY, float* angleZ) {
  if (!m || !angleX || !angleY || !angleZ) return;
  static const VxmVector unitX = {1.0f, 0.0f, 0.0f}, unitZ = {0.0f, 0.0f, 1.0f};
  VxmVector z, x;
  vxmVecRotate(&z, m, &unitZ, 1);
  float ay = (float)vxmMathAtan2(z.x, z.z);
  float ax = (float)-vxmMathAtan2(z.y, vxmMathSqrt((double)z.x * z.x + (double)z.z * z.z));
  VxmMatrix turn;
  vxmVecRotate(&x, m, &unitX, 1);
  vxmVecRotate(&x, vxmMatRotateY(&turn, -ay), &x, 1);
  vxmVecRotate(&x, vxmMatRotateX(&turn, -ax), &x, 1);
  *angleX = ax;
  *angleY = ay;
  *angleZ = (float)vxmMathAtan2(x.y, x.x);
}
