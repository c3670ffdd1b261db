// Num.cpp: sine, cosine, arc tangent, power, square root and rounding, built from IEEE
// additions, multiplications and divisions only, so that every build gives the same bits.
//
// The C libraries of the host and of Windows disagree in the last bit of sin, cos, atan2 and pow,
// and those bits reach pixels through matrices and highlight exponents. Everything here is plain
// double arithmetic (the builds compile without fused multiply-add and without x87), with range
// reduction done in extra precision and Taylor kernels on small intervals, accurate to about one
// unit in the last place.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "vxmMath.h"

namespace {

// A double-double: hi + lo with |lo| at most half an ulp of hi.
struct Dd {
  double hi, lo;
};

// Exact sum of two doubles (Knuth).
inline Dd twoSum(double a, double b) {
  double s = a + b;
  double bb = s - a;
  double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// Exact sum when |a| >= |b| (or a is zero).
inline Dd fastTwoSum(double a, double b) {
  double s = a + b;
  return {s, b - (s - a)};
}

// Exact product of two doubles by Dekker's splitting (no fused multiply-add on these builds).
// Both factors must stay below about 2^995 so that the split does not overflow.
inline void splitDouble(double a, double* hi, double* lo) {
  double c = 134217729.0 * a;  // 2^27 + 1
  double h = c - (c - a);
  *hi = h;
  *lo = a - h;
}

inline Dd twoProd(double a, double b) {
  double p = a * b;
  double ah, al, bh, bl;
  splitDouble(a, &ah, &al);
  splitDouble(b, &bh, &bl);
  double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  return {p, e};
}

inline Dd ddAddDouble(Dd a, double b) {
  Dd s = twoSum(a.hi, b);
  return twoSum(s.hi, s.lo + a.lo);
}

inline uint64_t doubleBits(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline double bitsDouble(uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// 2^e for -1022 <= e <= 1023.
inline double twoPower(int e) { return bitsDouble((uint64_t)(e + 1023) << 52); }

// x * 2^e for any e, through at most three exact-or-final scalings.
double scaleByPower(double x, int e) {
  while (e > 1023) {
    x *= twoPower(1023);
    e -= 1023;
  }
  while (e < -1022) {
    x *= twoPower(-1022);
    e += 1022;
  }
  return x * twoPower(e);
}

// --- Constants (pi/2 in pieces, 2/pi in bits, tables) -----------------------------------------

constexpr double kTwoOverPi = 0.6366197723675814;
// pi/2 as three 33-bit pieces and a tail: n * piece is exact for n below 2^20.
constexpr double kPio2_1 = 1.5707963267341256;
constexpr double kPio2_2 = 6.077100506303966e-11;
constexpr double kPio2_3 = 2.0222662487111665e-21;
constexpr double kPio2_3t = 8.4784276603689e-32;
constexpr double kPio2Hi = 1.5707963267948966;
constexpr double kPio2Lo = 6.123233995736766e-17;
constexpr double kPiHi = 3.141592653589793;
constexpr double kPiLo = 1.2246467991473532e-16;
constexpr double kPio4Hi = 0.7853981633974483;

// The binary digits of 2/pi, 32 at a time, from the first digit after the point.
constexpr uint32_t kTwoOverPiBits[48] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D,
    0xA9E39161, 0x5EE61B08, 0x6599855F, 0x14A06840, 0x8DFFD880, 0x4D732731, 0x06061556, 0xCA73A8C9};

// ln 2 with a 42-bit head (k * head is exact for every binary exponent k), and ln 2 / 32 with a
// 36-bit head for the exponential's reduction.
constexpr double kLn2Hi = 0.6931471805598903;
constexpr double kLn2Lo = 5.497923018708371e-14;
constexpr double kLn2By32Hi = 0.021660849392446835;
constexpr double kLn2By32Lo = 5.145609244655338e-14;
constexpr double kInvLn2By32 = 46.16624130844683;

// ln(j / 64) for j = 45 .. 91, as double-doubles.
constexpr Dd kLogTable[47] = {
    {-0.3522205935893521, -5.7233316949182485e-18}, {-0.33024168687057687, 1.0828321637483858e-17},
    {-0.3087354816496133, 1.6199186085148102e-17},  {-0.2876820724517809, -2.607160616442564e-17},
    {-0.26706278524904525, 7.32891532732017e-18},   {-0.24686007793152578, -1.361743371748368e-17},
    {-0.22705745063534608, -9.551415762738488e-18}, {-0.2076393647782445, -1.2053243216686129e-17},
    {-0.18859116980755003, 7.432164219196925e-18},  {-0.16989903679539747, 4.868008764439071e-19},
    {-0.15154989812720093, -5.1669593684615594e-18}, {-0.13353139262452263, 3.664457663660085e-18},
    {-0.1158318155251217, -4.338484369808096e-18},  {-0.09844007281325252, 4.439009633675136e-18},
    {-0.0813456394539524, -5.07707635593117e-18},   {-0.06453852113757118, 6.470486661692933e-18},
    {-0.048009219186360606, -1.4390903347292205e-18}, {-0.0317486983145803, -3.0382263084680858e-18},
    {-0.015748356968139168, -1.0021578630528974e-18}, {0.0, 0.0},
    {0.015504186535965254, -3.278321022892429e-19}, {0.030771658666753687, 1.0431732029005968e-18},
    {0.0458095360312942, 1.902959866474257e-18},    {0.06062462181643484, 2.6424025938726934e-18},
    {0.07522342123758753, -5.930604196293241e-18},  {0.08961215868968714, -5.4268129336647135e-18},
    {0.10379679368164356, 5.47772415726659e-18},    {0.11778303565638346, -1.1971685747593677e-18},
    {0.13157635778871926, 1.1123000879729588e-17},  {0.1451820098444979, 8.242418783022475e-18},
    {0.15860503017663857, 1.1257003872182592e-17},  {0.17185025692665923, -6.0224538210113705e-18},
    {0.184922338494012, 3.0236614153574064e-18},    {0.19782574332991987, 1.2821194372980142e-17},
    {0.21056476910734964, -4.249405314729895e-18},  {0.22314355131420976, -9.091270597324799e-18},
    {0.2355660713127669, -2.3943371495187355e-18},  {0.24783616390458127, -1.2432209578702523e-17},
    {0.25995752443692605, 2.069806938978935e-17},   {0.27193371548364176, 7.83319637697442e-19},
    {0.2837681731306446, -2.032665581126656e-17},   {0.2954642128938359, -2.16461086040599e-17},
    {0.3070250352949119, -1.2319916200101964e-17},  {0.3184537311185346, 2.7114779367326236e-17},
    {0.329753286372468, 2.122020616196946e-18},     {0.3409265869705932, 1.7467136443544747e-17},
    {0.3519764231571782, -1.2953893030191963e-17}};

// 2^(j / 32) for j = 0 .. 31, as double-doubles.
constexpr Dd kExp2Table[32] = {
    {1.0, 0.0},
    {1.0218971486541166, 5.109225028973444e-17},  {1.0442737824274138, 8.551889705537965e-17},
    {1.0671404006768237, -7.899853966841582e-17}, {1.0905077326652577, -3.046782079812471e-17},
    {1.1143867425958924, 1.0410278456845571e-16}, {1.1387886347566916, 8.912812676025408e-17},
    {1.1637248587775775, 3.8292048369240935e-17}, {1.189207115002721, 3.982015231465646e-17},
    {1.215247359980469, -7.712630692681488e-17},  {1.241857812073484, 4.658027591836937e-17},
    {1.2690509571917332, 2.667932131342186e-18},  {1.2968395546510096, 2.5382502794888315e-17},
    {1.3252366431597413, -2.8587312100388614e-17}, {1.3542555469368927, 7.70094837980299e-17},
    {1.383909881963832, -6.770511658794786e-17},  {1.4142135623730951, -9.667293313452913e-17},
    {1.4451808069770467, -3.0237581349939873e-17}, {1.4768261459394993, -3.483994556892796e-17},
    {1.5091644275934228, -1.016455327754295e-16}, {1.5422108254079407, 7.949834809697621e-17},
    {1.5759808451078865, -1.0136916471278304e-17}, {1.6104903319492543, 2.4707192569797888e-17},
    {1.645755478153965, -1.0125679913674773e-16}, {1.681792830507429, 8.199010020581497e-17},
    {1.718619298122478, -1.851380418263111e-17},  {1.7562521603732995, 2.960140695448873e-17},
    {1.7947090750031072, 1.8227458427912087e-17}, {1.8340080864093424, 3.283107224245627e-17},
    {1.8741676341103, -6.122763413004143e-17},    {1.9152065613971474, -1.0619946056195963e-16},
    {1.9571441241754002, 8.960767791036668e-17}};

// atan(j / 16) for j = 0 .. 16, as double-doubles.
constexpr Dd kAtanTable[17] = {
    {0.0, 0.0},
    {0.06241880999595735, -1.5490756308295046e-18}, {0.12435499454676144, -3.1253241424539383e-18},
    {0.18534794999569476, 4.180692268843079e-18},   {0.24497866312686414, 1.0698755618734451e-17},
    {0.3028848683749714, -1.1010827903001369e-17},  {0.35877067027057225, -2.4623815582638635e-17},
    {0.4124104415973873, -1.587652227770689e-17},   {0.4636476090008061, 2.2698777452961687e-17},
    {0.5123894603107377, -2.5462781472855804e-17},  {0.5585993153435624, -5.4556305485916264e-18},
    {0.6022873461349642, 2.950430737228402e-17},    {0.6435011087932844, 1.5834785051444286e-17},
    {0.6823165548747481, 6.943223671560008e-18},    {0.7188299996216245, -2.1478388444456983e-17},
    {0.7531512809621944, -2.4256934659182068e-17},  {0.7853981633974483, 3.061616997868383e-17}};

// --- Sine and cosine --------------------------------------------------------------------------

// Taylor coefficients; on |x| <= pi/4 the first omitted terms are below 2^-60 of the result.
constexpr double kS1 = -1.0 / 6.0, kS2 = 1.0 / 120.0, kS3 = -1.0 / 5040.0, kS4 = 1.0 / 362880.0,
                 kS5 = -1.0 / 39916800.0, kS6 = 1.0 / 6227020800.0, kS7 = -1.0 / 1307674368000.0,
                 kS8 = 1.0 / 355687428096000.0;
constexpr double kC1 = 1.0 / 24.0, kC2 = -1.0 / 720.0, kC3 = 1.0 / 40320.0, kC4 = -1.0 / 3628800.0,
                 kC5 = 1.0 / 479001600.0, kC6 = -1.0 / 87178291200.0, kC7 = 1.0 / 20922789888000.0,
                 kC8 = -1.0 / 6402373705728000.0;

// sin(x + y) for |x| <= pi/4 and y a tail far below x.
double kernelSin(double x, double y) {
  double z = x * x;
  double v = z * x;
  double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * (kS6 + z * (kS7 + z * kS8)))));
  return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

// cos(x + y) for |x| <= pi/4.
double kernelCos(double x, double y) {
  double z = x * x;
  double r = z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * (kC6 + z * (kC7 + z * kC8)))))));
  double hz = 0.5 * z;
  double w = 1.0 - hz;
  // (1 - w) - hz is the exact rounding error of w (1 >= hz).
  return w + (((1.0 - w) - hz) + (z * r - x * y));
}

// `count` bits of the little-endian limb number `limbs`, starting at bit `low`.
uint64_t limbBits(const uint32_t* limbs, int low, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    int bit = low + i;
    value = (value << 1) | ((limbs[bit >> 5] >> (bit & 31)) & 1u);
  }
  return value;
}

// Payne-Hanek reduction for |x| >= 2^20: x*2/pi is formed exactly enough from 256 bits of 2/pi
// starting just before the bits that still matter modulo 4.
int reduceLarge(double x, Dd* r) {
  uint64_t bits = doubleBits(x);
  bool negative = (bits >> 63) != 0;
  int biased = (int)((bits >> 52) & 0x7FF);
  uint64_t mant = (bits & ((1ull << 52) - 1)) | (1ull << 52);
  int e = biased - 1075;  // |x| = mant * 2^e
  // Bit k of 2/pi (k = 1 first) contributes mant * 2^(e - k): a multiple of 4 once k <= e - 2.
  int first = e >= 2 ? (e - 2) / 32 : 0;
  uint32_t window[8];  // little-endian: window[7] is the first word taken
  for (int i = 0; i < 8; ++i) window[7 - i] = kTwoOverPiBits[first + i];
  uint32_t product[10] = {0};
  uint32_t m[2] = {(uint32_t)mant, (uint32_t)(mant >> 32)};
  for (int i = 0; i < 2; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < 8; ++j) {
      uint64_t t = (uint64_t)m[i] * window[j] + product[i + j] + carry;
      product[i + j] = (uint32_t)t;
      carry = t >> 32;
    }
    product[i + 8] += (uint32_t)carry;
  }
  // product * 2^-fraction = |x| * 2/pi modulo 4.
  int fraction = 32 * first + 256 - e;
  int n = (int)limbBits(product, fraction, 2);
  uint64_t fhi = limbBits(product, fraction - 64, 64);
  uint64_t flo = limbBits(product, fraction - 128, 64);
  double sign = 1.0;
  if (fhi >> 63) {  // fraction >= 1/2: round n up and take the negative remainder
    n = (n + 1) & 3;
    flo = ~flo + 1;
    fhi = ~fhi + (flo == 0 ? 1 : 0);
    sign = -1.0;
  }
  Dd q = {(double)(fhi >> 32) * twoPower(-32), 0.0};
  q = ddAddDouble(q, (double)(fhi & 0xFFFFFFFFu) * twoPower(-64));
  q = ddAddDouble(q, (double)(flo >> 32) * twoPower(-96));
  q = ddAddDouble(q, (double)(flo & 0xFFFFFFFFu) * twoPower(-128));
  Dd p = twoProd(q.hi, kPio2Hi);
  double lo = p.lo + (q.hi * kPio2Lo + q.lo * kPio2Hi);
  Dd result = fastTwoSum(p.hi, lo);
  result.hi *= sign;
  result.lo *= sign;
  if (negative) {
    n = (-n) & 3;
    result.hi = -result.hi;
    result.lo = -result.lo;
  }
  *r = result;
  return n;
}

// x = n * pi/2 + r with |r| <= about pi/4; returns n modulo 4. x must be finite.
int reduceQuadrant(double x, Dd* r) {
  if (std::fabs(x) >= 1048576.0) return reduceLarge(x, r);
  double fn = std::nearbyint(x * kTwoOverPi);
  double t = x - fn * kPio2_1;  // exact: both pieces are near each other
  Dd a = twoSum(t, -(fn * kPio2_2));
  Dd b = twoSum(a.hi, -(fn * kPio2_3));
  double lo = a.lo + b.lo - fn * kPio2_3t;
  *r = twoSum(b.hi, lo);
  return (int)((int64_t)fn & 3);
}

// --- Arc tangent ------------------------------------------------------------------------------

// atan(a) for 0 <= a <= 1 as a double-double: atan(c) from the table plus the series of
// atan((a - c) / (1 + a c)), whose argument stays below 1/32.
Dd atanUnit(double a, double aLo) {
  int j = (int)(a * 16.0 + 0.5);
  double c = j / 16.0;
  double t = j == 0 ? a : (a - c) / (1.0 + a * c);
  double z = t * t;
  double p = t * z *
             (-1.0 / 3.0 + z * (1.0 / 5.0 + z * (-1.0 / 7.0 + z * (1.0 / 9.0 + z * (-1.0 / 11.0 + z / 13.0)))));
  // The tail of a moves the angle by aLo / (1 + a^2).
  Dd s = twoSum(kAtanTable[j].hi, t);
  double lo = s.lo + (p + kAtanTable[j].lo + aLo / (1.0 + a * a));
  return twoSum(s.hi, lo);
}

// --- Logarithm and exponential in extra precision (for the power) -----------------------------

// ln(x) as a double-double for finite x > 0, relative error near 2^-68.
Dd logExtra(double x) {
  int k = 0;
  if (x < twoPower(-1022)) {  // subnormal: make it normal first
    x *= twoPower(54);
    k = -54;
  }
  uint64_t bits = doubleBits(x);
  k += (int)((bits >> 52) & 0x7FF) - 1023;
  double m = bitsDouble((bits & ((1ull << 52) - 1)) | (1023ull << 52));  // 1 <= m < 2
  if (m > 1.4142135623730951) {
    m *= 0.5;
    ++k;
  }
  int j = (int)(m * 64.0 + 0.5);  // 45 .. 91
  double c = j / 64.0;
  // ln(m / c) = 2 atanh(s), s = (m - c) / (m + c), with s to double-double precision.
  double num = m - c;  // exact
  Dd den = twoSum(m, c);
  double sHi = num / den.hi;
  Dd ps = twoProd(sHi, den.hi);
  double sLo = (((num - ps.hi) - ps.lo) - sHi * den.lo) / den.hi;
  double z = sHi * sHi;
  double tail = sHi * z * (2.0 / 3.0 + z * (2.0 / 5.0 + z * (2.0 / 7.0 + z * (2.0 / 9.0))));
  const Dd& lc = kLogTable[j - 45];
  Dd a = twoSum(k * kLn2Hi, lc.hi);
  Dd b = twoSum(a.hi, 2.0 * sHi);
  double lo = a.lo + b.lo + (k * kLn2Lo + lc.lo + 2.0 * sLo + tail);
  return twoSum(b.hi, lo);
}

// exp(hi + lo) for a double-double argument.
double expExtra(double hi, double lo) {
  if (hi > 709.8) return HUGE_VAL;
  if (hi < -745.2) return 0.0;
  double fn = std::nearbyint(hi * kInvLn2By32);
  int n = (int)fn;
  double r = hi - fn * kLn2By32Hi;  // exact
  Dd rr = twoSum(r, lo - fn * kLn2By32Lo);
  int j = n & 31;
  int m = (n - j) / 32;
  double x = rr.hi;
  double p = x * x *
             (0.5 + x * (1.0 / 6.0 + x * (1.0 / 24.0 + x * (1.0 / 120.0 + x * (1.0 / 720.0 + x * (1.0 / 5040.0))))));
  double em1 = x + (rr.lo + p);  // exp(r) - 1
  const Dd& t = kExp2Table[j];
  double y = t.hi + (t.lo + t.hi * em1);
  return scaleByPower(y, m);
}

bool isInteger(double y) { return std::fabs(y) >= 4503599627370496.0 || std::floor(y) == y; }
bool isOddInteger(double y) {
  return std::fabs(y) < 9007199254740992.0 && std::floor(y) == y && ((int64_t)y & 1) != 0;
}

}  // namespace

double vxmMathSin(double x) {
  if (!std::isfinite(x)) return x - x;
  if (std::fabs(x) <= kPio4Hi) return kernelSin(x, 0.0);
  Dd r;
  switch (reduceQuadrant(x, &r)) {
    case 0: return kernelSin(r.hi, r.lo);
    case 1: return kernelCos(r.hi, r.lo);
    case 2: return -kernelSin(r.hi, r.lo);
    default: return -kernelCos(r.hi, r.lo);
  }
}

double vxmMathCos(double x) {
  if (!std::isfinite(x)) return x - x;
  if (std::fabs(x) <= kPio4Hi) return kernelCos(x, 0.0);
  Dd r;
  switch (reduceQuadrant(x, &r)) {
    case 0: return kernelCos(r.hi, r.lo);
    case 1: return -kernelSin(r.hi, r.lo);
    case 2: return -kernelCos(r.hi, r.lo);
    default: return kernelSin(r.hi, r.lo);
  }
}

double vxmMathAtan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  double sy = std::signbit(y) ? -1.0 : 1.0;
  if (y == 0.0) return std::signbit(x) ? sy * kPiHi : y;
  if (x == 0.0) return sy * kPio2Hi;
  if (std::isinf(x)) {
    if (std::isinf(y)) return sy * (x > 0 ? kPio4Hi : 3.0 * kPio4Hi);
    return x > 0 ? sy * 0.0 : sy * kPiHi;
  }
  if (std::isinf(y)) return sy * kPio2Hi;
  double a = std::fabs(y), b = std::fabs(x);
  bool swap = a > b;
  double num = swap ? b : a, den = swap ? a : b;
  double q = num / den;
  // The division's rounding error, when the exact product can be formed without overflow.
  double qLo = 0.0;
  if (den < 1e300 && num > 1e-290) {
    Dd p = twoProd(q, den);
    qLo = ((num - p.hi) - p.lo) / den;
  }
  Dd r = atanUnit(q, qLo);
  if (swap) {  // pi/2 - atan(b / a)
    Dd d = twoSum(kPio2Hi, -r.hi);
    r = twoSum(d.hi, d.lo + (kPio2Lo - r.lo));
  }
  if (x < 0) {  // pi - angle
    Dd d = twoSum(kPiHi, -r.hi);
    r = twoSum(d.hi, d.lo + (kPiLo - r.lo));
  }
  return sy * (r.hi + r.lo);
}

double vxmMathPow(double x, double y) {
  if (y == 0.0 || x == 1.0) return 1.0;
  if (std::isnan(x) || std::isnan(y)) return x + y;
  if (std::isinf(y)) {
    double ax = std::fabs(x);
    if (ax == 1.0) return 1.0;
    return (ax < 1.0) == (y < 0) ? HUGE_VAL : 0.0;
  }
  bool odd = isOddInteger(y);
  if (x == 0.0) {
    if (y < 0) return odd ? std::copysign(HUGE_VAL, x) : HUGE_VAL;
    return odd ? x : 0.0;
  }
  if (std::isinf(x)) {
    double sign = (x < 0 && odd) ? -1.0 : 1.0;
    return y < 0 ? sign * 0.0 : sign * HUGE_VAL;
  }
  double sign = 1.0;
  if (x < 0) {
    if (!isInteger(y)) return (x - x) / (x - x);  // NaN
    if (odd) sign = -1.0;
    x = -x;
    if (x == 1.0) return sign;
  }
  if (std::fabs(y) >= 18446744073709551616.0) {  // 2^64: |y ln x| is far beyond the range
    return sign * (((x < 1.0) == (y < 0)) ? HUGE_VAL : 0.0);
  }
  Dd l = logExtra(x);
  Dd t = twoProd(y, l.hi);
  Dd s = twoSum(t.hi, t.lo + y * l.lo);
  return sign * expExtra(s.hi, s.lo);
}

double vxmMathSqrt(double x) { return std::sqrt(x); }

int32_t vxmMathRound(double x) {
  if (std::isnan(x)) return 0;
  double r = std::nearbyint(x);  // the default rounding mode: halves to even
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return (int32_t)r;
}
