// math_test.cpp: the deterministic elementary functions (against values computed to 300 bits),
// rounding, and the vector, vertex and matrix operations with their exact double intermediates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "TestSupport.h"
#include "vxmMath.h"

namespace {

int64_t orderedBits(double x) {
  int64_t i;
  std::memcpy(&i, &x, sizeof i);
  return i < 0 ? INT64_MIN - i : i;
}

// Distance in units in the last place (0 for equal values, including two NaNs).
int64_t ulpDistance(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return 0;
  int64_t d = orderedBits(a) - orderedBits(b);
  return d < 0 ? -d : d;
}

int64_t floatUlps(float a, float b) {
  int32_t ia, ib;
  std::memcpy(&ia, &a, 4);
  std::memcpy(&ib, &b, 4);
  if (ia < 0) ia = INT32_MIN - ia;
  if (ib < 0) ib = INT32_MIN - ib;
  int64_t d = (int64_t)ia - ib;
  return d < 0 ? -d : d;
}

struct Ref2 {
  double x, sin, cos;
};
struct Ref3 {
  double a, b, result;
};

// Correctly rounded references (x, sin x, cos x), including a Payne-Hanek hard case whose
// reduced argument is near 2^-61 and the largest double.
const Ref2 kSinCos[] = {
  {0x1.999999999999ap-4, 0x1.98eaecb8bcb2cp-4, 0x1.fd712f9a817c1p-1},  // 0.1
  {0x1.0000000000000p-1, 0x1.eaee8744b05f0p-2, 0x1.c1528065b7d50p-1},  // 0.5
  {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1},  // 0.7853981633974483
  {0x1.921fb54442d19p-1, 0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bccp-1},  // 0.7853981633974484
  {0x1.0000000000000p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},  // 1.0
  {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},  // 1.5707963267948966
  {0x1.0000000000000p+1, 0x1.d18f6ead1b446p-1, -0x1.aa22657537205p-2},  // 2.0
  {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},  // 3.141592653589793
  {0x1.c000000000000p+1, -0x1.6733b7eba621fp-2, -0x1.df77403c11a5fp-1},  // 3.5
  {0x1.2d97c7f3321d2p+2, -0x1.0000000000000p+0, -0x1.a79394c9e8a0ap-53},  // 4.71238898038469
  {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52, 0x1.0000000000000p+0},  // 6.283185307179586
  {0x1.4000000000000p+3, -0x1.1689ef5f34f52p-1, -0x1.ad9ac890c6b1fp-1},  // 10.0
  {0x1.9000000000000p+6, -0x1.03425b78c4db8p-1, 0x1.b981dbf665fdfp-1},  // 100.0
  {0x1.f440000000000p+9, 0x1.fd948c50a7a0dp-1, 0x1.8dbff75eb664fp-4},  // 1000.5
  {0x1.81cd6c8b43958p+13, -0x1.687d5890974a5p-1, 0x1.6b94c3bbe24b8p-1},  // 12345.678
  {-0x1.3333333333333p-2, -0x1.2e9cd95baba33p-2, 0x1.e921dd42f09bap-1},  // -0.3
  {-0x1.4000000000000p+1, -0x1.326af0dcfcab1p-1, -0x1.9a2f7ef858b7dp-1},  // -2.5
  {0x1.5798ee2308c3ap-27, 0x1.5798ee2308c3ap-27, 0x1.0000000000000p+0},  // 1e-08
  {0x1.fffffcccccccdp+19, 0x1.e07fa13370afbp-3, 0x1.f1b57557c0355p-1},  // 1048575.9
  {0x1.0000080000000p+20, 0x1.7c2bb1d7c0924p-1, 0x1.56f3082d8f8a6p-1},  // 1048576.5
  {0x1.c9c3800000000p+24, 0x1.eda27c851d431p-1, -0x1.0fccb9cbaf7eap-2},  // 30000000.0
  {0x1.c6bf526340000p+49, 0x1.b76f88136cebap-1, -0x1.06c154609d33fp-1},  // 1000000000000000.0
  {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1, 0x1.0be2cef01c8f4p-1},  // 1e+22
  {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0, -0x1.14ae72e6ba22fp-61},  // 5.319372648326541e+255
  {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1},  // 1.7976931348623157e+308
  {0x0.0000000000001p-1022, 0x0.0000000000001p-1022, 0x1.0000000000000p+0},  // 5e-324
};

// (y, x, atan2(y, x)).
const Ref3 kAtan2[] = {
  {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
  {0x1.0000000000000p+0, -0x1.0000000000000p+0, 0x1.2d97c7f3321d2p+1},
  {-0x1.0000000000000p+0, -0x1.0000000000000p+0, -0x1.2d97c7f3321d2p+1},
  {-0x1.0000000000000p+0, 0x1.0000000000000p+0, -0x1.921fb54442d18p-1},
  {0x1.0000000000000p-1, 0x1.0000000000000p+1, 0x1.f5b75f92c80ddp-3},
  {0x1.0000000000000p+1, 0x1.0000000000000p-1, 0x1.5368c951e9cfdp+0},
  {0x1.56e1fc2f8f359p-997, 0x1.0000000000000p+0, 0x1.56e1fc2f8f359p-997},
  {0x1.8000000000000p+1, -0x1.0624dd2f1a9fcp-10, 0x1.92358dabf92b6p+0},
  {-0x1.d000000000000p+2, 0x1.c000000000000p+1, -0x1.1efc4317107efp+0},
  {0x1.ff7ced916872bp-1, 0x1.0000000000000p+0, 0x1.91de23a8c3fa0p-1},
  {0x1.0000000000000p+0, 0x1.ff7ced916872bp-1, 0x1.926146dfc1a90p-1},
  {0x1.7e43c8800759cp+996, 0x1.56e1fc2f8f359p-997, 0x1.921fb54442d18p+0},
  {0x1.edd2f1a9fbe77p+6, -0x1.8a8189374bc6ap+9, 0x1.7e41c43ffefb7p+1},
  {0x1.0000000000000p-4, 0x1.0000000000000p+0, 0x1.ff55bb72cfdeap-5},
  {0x1.0000000000000p-5, 0x1.0000000000000p+0, 0x1.ffd55bba97625p-6},
  {-0x1.f000000000000p-1, 0x1.0000000000000p+0, -0x1.89ff5ff57f1f8p-1},
};

// (x, y, x^y).
const Ref3 kPow[] = {
  {0x1.0000000000000p+1, 0x1.0000000000000p-1, 0x1.6a09e667f3bcdp+0},
  {0x1.4000000000000p+3, -0x1.0000000000000p+1, 0x1.47ae147ae147bp-7},
  {0x1.0000000000000p-1, 0x1.b4c8b43958106p+5, 0x1.52433bd74043cp-55},
  {0x1.ccccccccccccdp-1, 0x1.26ccccccccccdp+6, 0x1.bce9243304264p-12},
  {0x1.5bf09a0000000p+1, 0x1.0000000000000p+2, 0x1.b4c8b91bae704p+5},
  {0x1.00068db8bac71p+0, 0x1.81c8000000000p+13, 0x1.b7dd84483e523p+1},
  {0x1.c000000000000p+2, 0x1.5555555555555p-2, 0x1.e9b5dba58189dp+0},
  {0x1.b7cdfd9d7bdbbp-34, 0x1.0000000000000p-2, 0x1.9e7c6e43390b7p-9},
  {0x1.ec00000000000p+6, 0x1.2000000000000p+2, 0x1.2e9c20ffae0adp+31},
  {0x1.0000000000000p-2, -0x1.c000000000000p+1, 0x1.0000000000000p+7},
  {0x1.8000000000000p+0, -0x1.f400000000000p+9, 0x1.06bdc6f923b3bp-585},
  {0x1.8000000000000p+1, 0x1.2c00000000000p+9, 0x1.f813b8e393478p+950},
  {0x1.ffffde7210be9p-1, -0x1.55cc000000000p+19, 0x1.01c2abfc127f1p+1},
  {0x1.fffffffffffffp+1023, 0x1.0000000000000p-1, 0x1.fffffffffffffp+511},
  {0x0.0000000000001p-1022, 0x1.0000000000000p-1, 0x1.0000000000000p-537},
};

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// --- Elementary functions ----------------------------------------------------------------------

TEST(VxmNum, SineAndCosineWithinOneUlpOfTheTrueValue) {
  for (const Ref2& r : kSinCos) {
    EXPECT_LE(ulpDistance(vxmMathSin(r.x), r.sin), 1) << "sin " << r.x;
    EXPECT_LE(ulpDistance(vxmMathCos(r.x), r.cos), 1) << "cos " << r.x;
    EXPECT_LE(ulpDistance(vxmMathSin(-r.x), -r.sin), 1) << "sin " << -r.x;
    EXPECT_LE(ulpDistance(vxmMathCos(-r.x), r.cos), 1) << "cos " << -r.x;
  }
}

TEST(VxmNum, ArcTangentWithinOneUlpOfTheTrueValue) {
  for (const Ref3& r : kAtan2) EXPECT_LE(ulpDistance(vxmMathAtan2(r.a, r.b), r.result), 1) << r.a << ", " << r.b;
}

TEST(VxmNum, PowerWithinOneUlpOfTheTrueValue) {
  for (const Ref3& r : kPow) EXPECT_LE(ulpDistance(vxmMathPow(r.a, r.b), r.result), 1) << r.a << " ^ " << r.b;
}

TEST(VxmNum, ExactCasesAreExact) {
  EXPECT_EQ(vxmMathSin(0.0), 0.0);
  EXPECT_TRUE(std::signbit(vxmMathSin(-0.0)));
  EXPECT_EQ(vxmMathCos(0.0), 1.0);
  EXPECT_EQ(vxmMathPow(2.0, 10.0), 1024.0);
  EXPECT_EQ(vxmMathPow(-2.0, 3.0), -8.0);
  EXPECT_EQ(vxmMathPow(10.0, 3.0), 1000.0);
  EXPECT_EQ(vxmMathPow(0.5, -4.0), 16.0);
  EXPECT_EQ(vxmMathPow(81.0, 0.25), 3.0);
  EXPECT_EQ(vxmMathAtan2(1.0, 1.0), 0.7853981633974483);
  EXPECT_EQ(vxmMathSqrt(2.25), 1.5);
  // x^1 is x for any x: the logarithm carries enough bits for the result to round back.
  uint64_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    double x = std::ldexp((double)(seed >> 11), -40 + (int)(seed % 80));
    ASSERT_EQ(vxmMathPow(x, 1.0), x) << x;
    ASSERT_LE(ulpDistance(vxmMathPow(x, 2.0), x * x), 1) << x;
  }
}

TEST(VxmNum, SpecialArgumentsFollowTheCRules) {
  EXPECT_TRUE(std::isnan(vxmMathSin(kInf)));
  EXPECT_TRUE(std::isnan(vxmMathCos(-kInf)));
  EXPECT_TRUE(std::isnan(vxmMathSin(kNaN)));
  // atan2 at zeros and infinities, signs included.
  EXPECT_EQ(vxmMathAtan2(0.0, 1.0), 0.0);
  EXPECT_TRUE(std::signbit(vxmMathAtan2(-0.0, 1.0)));
  EXPECT_EQ(vxmMathAtan2(0.0, -0.0), 3.141592653589793);
  EXPECT_EQ(vxmMathAtan2(-0.0, -1.0), -3.141592653589793);
  EXPECT_EQ(vxmMathAtan2(5.0, 0.0), 1.5707963267948966);
  EXPECT_EQ(vxmMathAtan2(-5.0, -0.0), -1.5707963267948966);
  EXPECT_EQ(vxmMathAtan2(kInf, kInf), 0.7853981633974483);
  EXPECT_EQ(vxmMathAtan2(-kInf, -kInf), -2.356194490192345);
  EXPECT_EQ(vxmMathAtan2(3.0, -kInf), 3.141592653589793);
  EXPECT_EQ(vxmMathAtan2(kInf, 3.0), 1.5707963267948966);
  EXPECT_TRUE(std::isnan(vxmMathAtan2(kNaN, 1.0)));
  // pow
  EXPECT_EQ(vxmMathPow(kNaN, 0.0), 1.0);
  EXPECT_EQ(vxmMathPow(1.0, kNaN), 1.0);
  EXPECT_EQ(vxmMathPow(-1.0, kInf), 1.0);
  EXPECT_EQ(vxmMathPow(-1.0, 1e300), 1.0);
  EXPECT_TRUE(std::isnan(vxmMathPow(-2.0, 0.5)));
  EXPECT_EQ(vxmMathPow(0.0, -1.0), kInf);
  EXPECT_EQ(vxmMathPow(-0.0, -3.0), -kInf);
  EXPECT_EQ(vxmMathPow(-0.0, -2.0), kInf);
  EXPECT_TRUE(std::signbit(vxmMathPow(-0.0, 3.0)));
  EXPECT_FALSE(std::signbit(vxmMathPow(-0.0, 2.0)));
  EXPECT_EQ(vxmMathPow(0.5, kInf), 0.0);
  EXPECT_EQ(vxmMathPow(0.5, -kInf), kInf);
  EXPECT_EQ(vxmMathPow(2.0, kInf), kInf);
  EXPECT_EQ(vxmMathPow(2.0, -kInf), 0.0);
  EXPECT_EQ(vxmMathPow(-kInf, 3.0), -kInf);
  EXPECT_TRUE(std::signbit(vxmMathPow(-kInf, -3.0)));
  EXPECT_EQ(vxmMathPow(kInf, -1.0), 0.0);
  EXPECT_EQ(vxmMathPow(10.0, 400.0), kInf);
  EXPECT_EQ(vxmMathPow(10.0, -400.0), 0.0);
  EXPECT_EQ(vxmMathPow(0.5, 1074.0), 4.9406564584124654e-324);  // the smallest subnormal
  EXPECT_EQ(vxmMathPow(2.0, 1e30), kInf);
  EXPECT_EQ(vxmMathPow(0.999, 1e30), 0.0);
}

// The highlight exponent of the renderer: e ^ (value / 30 + 1) for every highlight value.
TEST(VxmNum, PowerOnTheHighlightRangeMatchesTheLogarithmIdentity) {
  for (int value = 0; value <= 100; ++value) {
    float exponent = (float)(vxmMathPow(2.718280076980591, value * 0.033333335f + 1.0));
    double expected = std::exp((value * 0.033333335f + 1.0) * std::log(2.718280076980591));
    EXPECT_NEAR(exponent, expected, expected * 1e-6) << value;
  }
}

#if !defined(_WIN32)
// glibc's functions are within an ulp of the truth everywhere; ours must be too.
TEST(VxmNum, AgreesWithTheHostLibraryOverRandomArguments) {
  uint64_t seed = 99;
  auto next = [&seed]() {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return seed;
  };
  auto unit = [&next]() { return (double)(next() >> 11) * 0x1.0p-53; };
  for (int i = 0; i < 200000; ++i) {
    double x = (unit() - 0.5) * 2e4;
    ASSERT_LE(ulpDistance(vxmMathSin(x), std::sin(x)), 1) << x;
    ASSERT_LE(ulpDistance(vxmMathCos(x), std::cos(x)), 1) << x;
    uint64_t bits = next() & 0x7FEFFFFFFFFFFFFFull;  // any finite positive double
    double big;
    std::memcpy(&big, &bits, sizeof big);
    ASSERT_LE(ulpDistance(vxmMathSin(big), std::sin(big)), 1) << big;
    double y = unit() * 4 - 2, z = unit() * 4 - 2;
    ASSERT_LE(ulpDistance(vxmMathAtan2(y, z), std::atan2(y, z)), 1) << y << ", " << z;
    double b = unit(), e = unit() * 120;
    ASSERT_LE(ulpDistance(vxmMathPow(b, e), std::pow(b, e)), 1) << b << " ^ " << e;
    double w = unit() * 20, f = (unit() - 0.5) * 400;
    ASSERT_LE(ulpDistance(vxmMathPow(w, f), std::pow(w, f)), 1) << w << " ^ " << f;
  }
}
#endif

// The same bits on every build: a digest of many results, identical on the host and on Windows.
TEST(VxmNum, ResultsAreTheSameOnEveryBuild) {
  uint64_t seed = 7, digest = 1469598103934665603ull;
  auto next = [&seed]() {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (double)(seed >> 11) * 0x1.0p-53;
  };
  auto mix = [&digest](double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    digest = (digest ^ bits) * 1099511628211ull;
  };
  for (int i = 0; i < 20000; ++i) {
    double x = (next() - 0.5) * 100.0;
    mix(vxmMathSin(x));
    mix(vxmMathCos(x));
    mix(vxmMathAtan2(next() - 0.5, next() - 0.5));
    mix(vxmMathPow(next(), next() * 80.0));
    mix(vxmMathSqrt(next()));
  }
  EXPECT_EQ(digest, 18329519557487318206ull);
}

TEST(VxmNum, RoundingTakesHalvesToEvenAndSaturates) {
  EXPECT_EQ(vxmMathRound(0.5), 0);
  EXPECT_EQ(vxmMathRound(1.5), 2);
  EXPECT_EQ(vxmMathRound(2.5), 2);
  EXPECT_EQ(vxmMathRound(99.5), 100);
  EXPECT_EQ(vxmMathRound(98.5), 98);
  EXPECT_EQ(vxmMathRound(-0.5), 0);
  EXPECT_EQ(vxmMathRound(-0.6), -1);
  EXPECT_EQ(vxmMathRound(-1.5), -2);
  EXPECT_EQ(vxmMathRound(2.4999999), 2);
  EXPECT_EQ(vxmMathRound(1e10), INT32_MAX);
  EXPECT_EQ(vxmMathRound(-1e10), INT32_MIN);
  EXPECT_EQ(vxmMathRound(2147483646.6), 2147483647);
  EXPECT_EQ(vxmMathRound(kNaN), 0);
}

// --- Vectors -----------------------------------------------------------------------------------

TEST(VxmVec, NormaliseScalesToUnitLengthAndLeavesZeroAlone) {
  TraceCapture trace;
  VxmVector v = {3.0f, 4.0f, 0.0f};
  EXPECT_EQ(vxmVecNormalise(&v), &v);
  EXPECT_EQ(v.x, 0.6f);
  EXPECT_EQ(v.y, 0.8f);
  EXPECT_EQ(v.z, 0.0f);
  VxmVector zero = {0.0f, 0.0f, 0.0f};
  EXPECT_EQ(vxmVecNormalise(&zero), &zero);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
  // Squares of large floats would overflow in single precision; in double they do not.
  VxmVector big = {0x3p100f, 0.0f, 0x4p100f};
  vxmVecNormalise(&big);
  EXPECT_EQ(big.x, 0.6f);
  EXPECT_EQ(big.z, 0.8f);
  EXPECT_TRUE(trace.lines.empty());
}

TEST(VxmVec, IntermediatesAreKeptInDouble) {
  // In float 1e8 + 1 is 1e8; in double the sum is exact.
  VxmVector a = {1e8f, 1.0f, -1e8f}, ones = {1.0f, 1.0f, 1.0f};
  EXPECT_EQ(vxmVecDot(&a, &ones), 1.0);
  // 4097^2 - 4096^2 = 8193, while float products would give 8192.
  VxmVector p = {0.0f, 4097.0f, 4096.0f}, q = {0.0f, 4096.0f, 4097.0f}, c;
  vxmVecCross(&c, &p, &q);
  EXPECT_EQ(c.x, 8193.0f);
  VxmVector sum = {16777216.0f, 0.0f, 0.0f}, add = {1.0f, 0.0f, 0.0f};
  vxmVecAdd(&sum, &add);  // rounds to even once stored
  EXPECT_EQ(sum.x, 16777216.0f);
}

TEST(VxmVec, CrossProductAndAdd) {
  VxmVector x = {1, 0, 0}, y = {0, 1, 0}, z;
  vxmVecCross(&z, &x, &y);
  EXPECT_EQ(z.x, 0.0f);
  EXPECT_EQ(z.y, 0.0f);
  EXPECT_EQ(z.z, 1.0f);
  VxmVector a = {1, 2, 3}, b = {4, 5, 6}, r;
  vxmVecCross(&r, &a, &b);
  EXPECT_EQ(r.x, -3.0f);
  EXPECT_EQ(r.y, 6.0f);
  EXPECT_EQ(r.z, -3.0f);
  EXPECT_EQ(vxmVecDot(&a, &b), 32.0);
  vxmVecAdd(&a, &b);
  EXPECT_EQ(a.x, 5.0f);
  EXPECT_EQ(a.y, 7.0f);
  EXPECT_EQ(a.z, 9.0f);
}

TEST(VxmVec, UncheckedOperationsIgnoreNullQuietly) {
  TraceCapture trace;
  VxmVector a = {1, 2, 3};
  vxmVecAdd(nullptr, &a);
  vxmVecAdd(&a, nullptr);
  vxmVecCross(nullptr, &a, &a);
  vxmVtxSub(&a, nullptr, &a);
  EXPECT_EQ(vxmVecDot(&a, nullptr), 0.0);
  float ax = 1, ay = 2, az = 3;
  vxmMatToAngles(nullptr, &ax, &ay, &az);
  EXPECT_EQ(a.x, 1.0f);
  EXPECT_EQ(ax, 1.0f);
  EXPECT_TRUE(trace.lines.empty());
}

TEST(VxmVec, CheckedOperationsRejectNullWithOneTrace) {
  // One missing argument of each operation.
  VxmVector v[2] = {{1, 2, 3}, {4, 5, 6}};
  VxmMatrix m;
  vxmMatIdentity(&m);
  struct Case {
    const char* name;
    bool (*call)(VxmVector*, VxmMatrix*);
  };
  const Case cases[] = {
      {"normalise", [](VxmVector*, VxmMatrix*) { return vxmVecNormalise(nullptr) == nullptr; }},
      {"rotate matrix", [](VxmVector* v, VxmMatrix*) { return vxmVecRotate(v, nullptr, v, 2) == nullptr; }},
      {"transform src", [](VxmVector* v, VxmMatrix* m) { return vxmVtxTransform(v, m, nullptr, 2) == nullptr; }},
      {"normal p2", [](VxmVector* v, VxmMatrix*) { return vxmVtxTriNormal(v, v, v, nullptr) == nullptr; }},
      {"identity", [](VxmVector*, VxmMatrix*) { return vxmMatIdentity(nullptr) == nullptr; }},
      {"rotate x", [](VxmVector*, VxmMatrix*) { return vxmMatRotateX(nullptr, 1) == nullptr; }},
      {"multiply b", [](VxmVector*, VxmMatrix* m) { return vxmMatMultiply(m, m, nullptr) == nullptr; }},
      {"in place b", [](VxmVector*, VxmMatrix* m) { return vxmMatMultiplyInPlace(m, nullptr) == nullptr; }},
      {"invert src", [](VxmVector*, VxmMatrix* m) { return vxmMatInvertRigid(m, nullptr) == nullptr; }},
  };
  for (const Case& c : cases) {
    TraceCapture trace;
    VxmVector before[2] = {v[0], v[1]};
    VxmMatrix matrixBefore = m;
    EXPECT_TRUE(c.call(v, &m)) << c.name;
    EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"}) << c.name;
    EXPECT_EQ(std::memcmp(before, v, sizeof before), 0) << c.name;
    EXPECT_EQ(std::memcmp(&matrixBefore, &m, sizeof m), 0) << c.name;
  }
}

// --- Vertices and matrices ---------------------------------------------------------------------

TEST(VxmVtx, TransformAppliesTheWholeAffineMapInPlaceOrNot) {
  VxmMatrix m = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30}};
  VxmVector src[2] = {{1, 0, 0}, {1, 1, 1}}, dst[2];
  EXPECT_EQ(vxmVtxTransform(dst, &m, src, 2), dst);
  EXPECT_EQ(dst[0].x, 11.0f);
  EXPECT_EQ(dst[0].y, 22.0f);
  EXPECT_EQ(dst[0].z, 33.0f);
  EXPECT_EQ(dst[1].x, 1 + 4 + 7 + 10.0f);
  EXPECT_EQ(dst[1].y, 2 + 5 + 8 + 20.0f);
  EXPECT_EQ(dst[1].z, 3 + 6 + 9 + 30.0f);
  EXPECT_EQ(vxmVtxTransform(src, &m, src, 2), src);
  EXPECT_EQ(std::memcmp(src, dst, sizeof dst), 0);
  // Directions turn without the translation.
  VxmVector dir = {1, 1, 1};
  vxmVecRotate(&dir, &m, &dir, 1);
  EXPECT_EQ(dir.x, 12.0f);
  EXPECT_EQ(dir.y, 15.0f);
  EXPECT_EQ(dir.z, 18.0f);
  // A count below 1 does nothing.
  VxmVector keep = {7, 8, 9};
  EXPECT_EQ(vxmVtxTransform(&keep, &m, &keep, 0), &keep);
  EXPECT_EQ(vxmVecRotate(&keep, &m, &keep, -3), &keep);
  EXPECT_EQ(keep.x, 7.0f);
  EXPECT_EQ(keep.z, 9.0f);
}

TEST(VxmVtx, TriNormalIsTheUnnormalisedCrossOfTheTwoEdges) {
  VxmVector p0 = {0, 0, 0}, p1 = {2, 0, 0}, p2 = {2, 2, 0}, n;
  EXPECT_EQ(vxmVtxTriNormal(&n, &p0, &p1, &p2), &n);
  EXPECT_EQ(n.x, 0.0f);
  EXPECT_EQ(n.y, 0.0f);
  EXPECT_EQ(n.z, 4.0f);
  // Reversed winding turns it round.
  vxmVtxTriNormal(&n, &p1, &p0, &p2);
  EXPECT_EQ(n.z, -4.0f);
  VxmVector a = {1, 2, 3}, d;
  vxmVtxSub(&d, &p2, &a);
  EXPECT_EQ(d.x, 1.0f);
  EXPECT_EQ(d.y, 0.0f);
  EXPECT_EQ(d.z, -3.0f);
}

TEST(VxmMat, ConstructorsFillTheDocumentedEntries) {
  VxmMatrix m;
  std::memset(&m, 0x55, sizeof m);
  vxmMatTranslate(&m, 1, 2, 3);
  const float t[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3};
  EXPECT_EQ(std::memcmp(m.m, t, sizeof t), 0);
  vxmMatScale(&m, 4, 5, 6);
  const float s[12] = {4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.m, s, sizeof s), 0);
  vxmMatIdentity(&m);
  const float id[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.m, id, sizeof id), 0);
  const float c = (float)vxmMathCos(0.5f), sn = (float)vxmMathSin(0.5f);
  vxmMatRotateX(&m, 0.5f);
  const float rx[12] = {1, 0, 0, 0, c, sn, 0, -sn, c, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.m, rx, sizeof rx), 0);
  vxmMatRotateY(&m, 0.5f);
  const float ry[12] = {c, 0, -sn, 0, 1, 0, sn, 0, c, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.m, ry, sizeof ry), 0);
  vxmMatRotateZ(&m, 0.5f);
  const float rz[12] = {c, sn, 0, -sn, c, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.m, rz, sizeof rz), 0);
}

TEST(VxmMat, QuarterTurnsMoveTheAxesTheRightHandedWay) {
  const float quarter = 1.5707964f;
  VxmMatrix m;
  VxmVector v = {0, 1, 0};
  vxmVecRotate(&v, vxmMatRotateX(&m, quarter), &v, 1);
  EXPECT_NEAR(v.x, 0, 1e-7);
  EXPECT_NEAR(v.y, 0, 1e-7);
  EXPECT_NEAR(v.z, 1, 1e-7);
  v = {1, 0, 0};
  vxmVecRotate(&v, vxmMatRotateZ(&m, quarter), &v, 1);
  EXPECT_NEAR(v.x, 0, 1e-7);
  EXPECT_NEAR(v.y, 1, 1e-7);
  EXPECT_NEAR(v.z, 0, 1e-7);
  v = {0, 0, 1};
  vxmVecRotate(&v, vxmMatRotateY(&m, quarter), &v, 1);
  EXPECT_NEAR(v.x, 1, 1e-7);
  EXPECT_NEAR(v.y, 0, 1e-7);
  EXPECT_NEAR(v.z, 0, 1e-7);
}

TEST(VxmMat, ProductAppliesTheLeftMatrixFirst) {
  VxmMatrix a, b, rot, ab, ba;
  vxmMatMultiply(&a, vxmMatRotateZ(&rot, 0.7f), vxmMatTranslate(&b, 1, 2, 3));
  VxmMatrix scale;
  vxmMatMultiply(&b, vxmMatRotateX(&rot, -1.2f), vxmMatScale(&scale, 2, 3, 4));
  b.m[9] = -5;
  b.m[10] = 0.25f;
  b.m[11] = 8;
  vxmMatMultiply(&ab, &a, &b);
  vxmMatMultiply(&ba, &b, &a);
  const VxmVector p = {0.3f, -1.7f, 2.2f};
  VxmVector viaAB, viaA, viaAthenB, viaBA;
  vxmVtxTransform(&viaAB, &ab, &p, 1);
  vxmVtxTransform(&viaA, &a, &p, 1);
  vxmVtxTransform(&viaAthenB, &b, &viaA, 1);
  vxmVtxTransform(&viaBA, &ba, &p, 1);
  EXPECT_NEAR(viaAB.x, viaAthenB.x, 1e-5);
  EXPECT_NEAR(viaAB.y, viaAthenB.y, 1e-5);
  EXPECT_NEAR(viaAB.z, viaAthenB.z, 1e-5);
  EXPECT_GT(std::fabs(viaBA.x - viaAB.x) + std::fabs(viaBA.y - viaAB.y), 0.1);  // not commutative
  // The in-place product and a product into its own operand equal the plain product bit for bit.
  VxmMatrix inPlace = a;
  EXPECT_EQ(vxmMatMultiplyInPlace(&inPlace, &b), &inPlace);
  EXPECT_EQ(std::memcmp(&inPlace, &ab, sizeof ab), 0);
  VxmMatrix alias = b;
  vxmMatMultiply(&alias, &a, &alias);
  EXPECT_EQ(std::memcmp(&alias, &ab, sizeof ab), 0);
  // The translation rule: a.t through b's 3x3 part plus b.t.
  VxmMatrix t, s, ts;
  vxmMatMultiply(&ts, vxmMatTranslate(&t, 1, 2, 3), vxmMatScale(&s, 2, 3, 4));
  EXPECT_EQ(ts.m[9], 2.0f);
  EXPECT_EQ(ts.m[10], 6.0f);
  EXPECT_EQ(ts.m[11], 12.0f);
}

TEST(VxmMat, RigidInverseUndoesARotationAndTranslation) {
  VxmMatrix r, t, m, inverse, product;
  vxmMatMultiply(&m, vxmMatRotateY(&r, 0.9f), vxmMatTranslate(&t, 4, -2, 7));
  vxmMatMultiplyInPlace(&m, vxmMatRotateZ(&r, -2.1f));
  EXPECT_EQ(vxmMatInvertRigid(&inverse, &m), &inverse);
  vxmMatMultiply(&product, &inverse, &m);
  const float id[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(product.m[i], id[i], 2e-6) << i;
  vxmMatMultiply(&product, &m, &inverse);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(product.m[i], id[i], 2e-6) << i;
  // The documented entries exactly: the transpose, and minus t through the rows.
  VxmMatrix s = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 10, 100}};
  vxmMatInvertRigid(&inverse, &s);
  const float expect[12] = {1, 4, 7, 2, 5, 8, 3, 6, 9, -(1 + 20 + 300.0f), -(4 + 50 + 600.0f), -(7 + 80 + 900.0f)};
  EXPECT_EQ(std::memcmp(inverse.m, expect, sizeof expect), 0);
  vxmMatInvertRigid(&s, &s);  // in place gives the same
  EXPECT_EQ(std::memcmp(s.m, expect, sizeof expect), 0);
}

TEST(VxmMat, ToAnglesRecoversTheThreeTurns) {
  struct Turn {
    float x, y, z;
  };
  const Turn turns[] = {{0.2f, -1.1f, 0.3f}, {0.0f, 0.0f, 0.0f}, {-1.4f, 3.0f, -2.9f}, {1.0f, 0.5f, 2.5f}};
  for (const Turn& t : turns) {
    VxmMatrix rz, rx, ry, m;
    vxmMatMultiply(&m, vxmMatRotateZ(&rz, t.z), vxmMatRotateX(&rx, t.x));
    vxmMatMultiplyInPlace(&m, vxmMatRotateY(&ry, t.y));
    float ax = 9, ay = 9, az = 9;
    vxmMatToAngles(&m, &ax, &ay, &az);
    EXPECT_LE(floatUlps(ax, t.x), 8) << t.x << " got " << ax;
    EXPECT_LE(floatUlps(ay, t.y), 8) << t.y << " got " << ay;
    EXPECT_LE(floatUlps(az, t.z), 8) << t.z << " got " << az;
  }
  // Angle ranges at a half turn about Y: atan2 gives pi (not -pi) for a Z axis turned to -Z.
  VxmMatrix half;
  vxmMatRotateY(&half, 3.1415927f);
  float ax, ay, az;
  vxmMatToAngles(&half, &ax, &ay, &az);
  EXPECT_NEAR(std::fabs(ay), 3.14159265, 1e-6);
  EXPECT_NEAR(ax, 0.0, 1e-6);
  EXPECT_NEAR(az, 0.0, 1e-6);
}

// A float stored and read back in the same function keeps its rounding under the build's
// optimiser (GCC 12's straight-line vectoriser dropped it unless told not to vectorise so), so
// host and Windows builds round alike.
namespace {
struct FloatPair {
  float x, y;
};
__attribute__((noipa)) void roundedTwice(FloatPair* out, const FloatPair* a, const FloatPair* b) {
  double ax = (double)b->x - a->x, ay = (double)b->y - a->y;
  out->x = (float)(ax * ay);
  out->y = (float)(ax + ay);
  double x = out->x, y = out->y;
  out->x = (float)(x / (x + y));
  out->y = (float)(y / (x + y));
}
}  // namespace

TEST(MathBuild, AStoredFloatKeepsItsRoundingWhenReadBack) {
  // Inputs whose quotient differs in float when the product and sum are not rounded first.
  volatile float bx = 2713.71436f, by = 489.769226f, zero = 0.0f;
  const FloatPair a = {zero, zero}, b = {bx, by};
  FloatPair out;
  roundedTwice(&out, &a, &b);
  volatile float product = (float)((double)bx * by), sum = (float)((double)bx + by);
  const double x = product, y = sum;
  EXPECT_EQ(out.x, (float)(x / (x + y)));
  EXPECT_EQ(out.y, (float)(y / (x + y)));
  const double exactX = (double)bx * by, exactY = (double)bx + by;
  EXPECT_NE((float)(x / (x + y)), (float)(exactX / (exactX + exactY)));  // the inputs do tell
}
