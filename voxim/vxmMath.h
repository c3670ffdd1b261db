// vxmMath.h: vectors and the affine matrix (modules Vec, Vtx and Mat), and the library's own
// sine, cosine, arc tangent and power, computed the same way on every build.
#pragma once

#include <cstdint>

struct VxmVector {
  float x, y, z;
};

// An affine transform: the 3x3 part by rows (m[0..8]), then the translation (m[9..11]).
// Points are row vectors on the left: p' = p.M, so A.B applies A first.
struct VxmMatrix {
  float m[12];
};

static_assert(sizeof(VxmVector) == 12, "VxmVector is three packed floats");
static_assert(sizeof(VxmMatrix) == 48, "VxmMatrix is twelve packed floats");

// Vec
VxmVector* vxmVecNormalise(VxmVector* v);
void vxmVecAdd(VxmVector* a, const VxmVector* b);
double vxmVecDot(const VxmVector* a, const VxmVector* b);
void vxmVecCross(VxmVector* dst, const VxmVector* a, const VxmVector* b);
VxmVector* vxmVecRotate(VxmVector* dst, const VxmMatrix* matrix, const VxmVector* src, int count);

// Vtx
void vxmVtxSub(VxmVector* dst, const VxmVector* a, const VxmVector* b);
VxmVector* vxmVtxTransform(VxmVector* dst, const VxmMatrix* matrix, const VxmVector* src, int count);
VxmVector* vxmVtxTriNormal(VxmVector* dst, const VxmVector* p0, const VxmVector* p1, const VxmVector* p2);

// Mat
VxmMatrix* vxmMatIdentity(VxmMatrix* m);
VxmMatrix* vxmMatTranslate(VxmMatrix* m, float tx, float ty, float tz);
VxmMatrix* vxmMatScale(VxmMatrix* m, float sx, float sy, float sz);
VxmMatrix* vxmMatRotateX(VxmMatrix* m, float angle);
VxmMatrix* vxmMatRotateY(VxmMatrix* m, float angle);
VxmMatrix* vxmMatRotateZ(VxmMatrix* m, float angle);
VxmMatrix* vxmMatMultiply(VxmMatrix* dst, const VxmMatrix* a, const VxmMatrix* b);
VxmMatrix* vxmMatMultiplyInPlace(VxmMatrix* m, const VxmMatrix* b);
VxmMatrix* vxmMatInvertRigid(VxmMatrix* dst, const VxmMatrix* src);
void vxmMatToAngles(const VxmMatrix* m, float* angleX, float* angleY, float* angleZ);

// Deterministic elementary functions (double in, double out): the same bits on the host and
// on Windows, whatever the C library. Everything in the library and the programs that feeds
// pixels uses these, never the C library's sin, cos, atan2 or pow.
double vxmMathSin(double x);
double vxmMathCos(double x);
double vxmMathAtan2(double y, double x);
double vxmMathPow(double x, double y);
double vxmMathSqrt(double x);
// Round to the nearest integer, halves to even (the default rounding mode).
int32_t vxmMathRound(double x);
