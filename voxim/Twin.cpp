// Twin.cpp: the index of facets by their corners up to rotation that finds reversed twins.
#include <algorithm>
#include <cstring>

#include "vxmMem.h"
#include "vxmTwin.h"

namespace {

typedef VxmTwinTriple Triple;

// Groups of at most this many triples are searched in turn; longer ones are sorted and halved.
constexpr int32_t kTwinScan = 16;

bool tripleLess(const Triple& x, const Triple& y) {
  if (x.a != y.a) return x.a < y.a;
  if (x.b != y.b) return x.b < y.b;
  return x.c < y.c;
}

bool tripleEqual(const Triple& x, const Triple& y) { return x.a == y.a && x.b == y.b && x.c == y.c; }

// True when (x0, x1, x2) comes before (y0, y1, y2).
inline bool lessThan(int32_t x0, int32_t x1, int32_t x2, int32_t y0, int32_t y1, int32_t y2) {
  return x0 < y0 || (x0 == y0 && (x1 < y1 || (x1 == y1 && x2 < y2)));
}

// The smallest of the three rotations, kept in scalars: a triple built in memory field by field
// and read back whole stalls the processor.
inline Triple smallestRotation(int32_t a, int32_t b, int32_t c) {
  int32_t x = a, y = b, z = c;
  if (lessThan(b, c, a, x, y, z)) x = b, y = c, z = a;
  if (lessThan(c, a, b, x, y, z)) x = c, y = a, z = b;
  return Triple{x, y, z};
}

const int32_t* cornersOf(const void* facets, size_t stride, int32_t i) {
  return reinterpret_cast<const int32_t*>(static_cast<const uint8_t*>(facets) + (size_t)i * stride);
}

int32_t smallestCorner(const int32_t* v) {
  int32_t m = v[0] < v[1] ? v[0] : v[1];
  return m < v[2] ? m : v[2];
}

uint32_t groupOf(const VxmTwinIndex* index, int32_t corner) {
  if (!index->mask) return (uint32_t)((int64_t)corner - index->lowest);
  uint32_t h = (uint32_t)corner * 0x9E3779B1u;
  return (h ^ (h >> 16)) & index->mask;
}

}  // namespace

bool vxmTwinIndexMake(VxmTwinIndex* index, const void* facets, size_t stride, int32_t count) {
  std::memset(index, 0, sizeof *index);
  if (count < 1) return false;
  int64_t lowest = smallestCorner(cornersOf(facets, stride, 0)), highest = lowest;
  for (int32_t i = 1; i < count; ++i) {
    const int64_t m = smallestCorner(cornersOf(facets, stride, i));
    if (m < lowest) lowest = m;
    if (m > highest) highest = m;
  }
  index->lowest = lowest;
  index->groups = highest - lowest + 1;
  if (index->groups > 2 * (int64_t)count + 64) {
    int64_t groups = 64;
    while (groups < count) groups <<= 1;
    index->groups = groups;
    index->mask = (uint32_t)(groups - 1);
  }
  int32_t tripleBytes = 0, startBytes = 0;
  if (!vxmMemMulSize(count, sizeof(Triple), &tripleBytes) ||
      !vxmMemMulSize(index->groups + 1, sizeof(int32_t), &startBytes) || tripleBytes > INT32_MAX - startBytes)
    return false;
  uint8_t* block = static_cast<uint8_t*>(vxmMemAlloc((size_t)tripleBytes + (size_t)startBytes));
  if (!block) return false;
  index->triples = reinterpret_cast<Triple*>(block);
  index->starts = reinterpret_cast<int32_t*>(block + tripleBytes);

  int32_t* starts = index->starts;
  std::memset(starts, 0, (size_t)startBytes);
  // starts[g + 2] counts group g, so that after the sums starts[g + 1] is where g begins, and
  // placing each triple moves it on to where g ends, which is where g + 1 begins.
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t g = groupOf(index, smallestCorner(cornersOf(facets, stride, i)));
    if (g + 2 <= index->groups) ++starts[g + 2];
  }
  for (int64_t g = 2; g <= index->groups; ++g) starts[g] += starts[g - 1];
  for (int32_t i = 0; i < count; ++i) {
    const int32_t* v = cornersOf(facets, stride, i);
    const Triple key = smallestRotation(v[0], v[1], v[2]);
    index->triples[starts[groupOf(index, key.a) + 1]++] = key;
  }
  for (int64_t g = 0; g < index->groups; ++g)
    if (starts[g + 1] - starts[g] > kTwinScan)
      std::sort(index->triples + starts[g], index->triples + starts[g + 1], tripleLess);
  return true;
}

bool vxmTwinIndexHoldsReverse(const VxmTwinIndex* index, int32_t a, int32_t b, int32_t c) {
  const Triple key = smallestRotation(a, c, b);
  // Only the corners of indexed facets have groups; the reverse has the facet's own corners.
  if (!index->mask && ((int64_t)key.a < index->lowest || (int64_t)key.a - index->lowest >= index->groups)) return false;
  const uint32_t g = groupOf(index, key.a);
  const Triple* first = index->triples + index->starts[g];
  const Triple* last = index->triples + index->starts[g + 1];
  if (last - first <= kTwinScan) {
    for (; first < last; ++first)
      if (tripleEqual(*first, key)) return true;
    return false;
  }
  const Triple* found = std::lower_bound(first, last, key, tripleLess);
  return found != last && tripleEqual(*found, key);
}

void vxmTwinIndexFree(VxmTwinIndex* index) {
  vxmMemFree(index->triples);
  std::memset(index, 0, sizeof *index);
}
