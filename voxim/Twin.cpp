// Twin.cpp: the index of facets by their corners up to rotation that finds reversed twins.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app.h"
#include "vxmMem.h"
#include "vxmTwin.h"

namespace {

typedef VxmTwinTriple Triple;

// Groups of at most this many triples are searched in turn; longer ones are sorted and halved.
constexpr int32_t kTwinScan = 16;
// From this many facets a task beside the caller makes half of the index.
constexpr int32_t kTwinParts = 1 << 16;

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

// One part of the facets while the index is made; a large table is made in two parts, the second
// by a task beside the caller. The parts count and place their triples in cursors of their own,
// so that each group holds the first part's triples, then the second's.
struct TwinPart {
  VxmTwinIndex* index;
  const void* facets;
  size_t stride;
  int32_t first, end;          // the part's facets
  int64_t lowest, highest;     // the range of their smallest corners
  int32_t* cursor;             // by group: the part's count, then where its next triple goes
  int64_t groupFirst, groupEnd;  // the groups the part sorts
};

void twinRange(void* context) {
  TwinPart* part = static_cast<TwinPart*>(context);
  part->lowest = INT64_MAX, part->highest = INT64_MIN;
  for (int32_t i = part->first; i < part->end; ++i) {
    const int64_t m = smallestCorner(cornersOf(part->facets, part->stride, i));
    if (m < part->lowest) part->lowest = m;
    if (m > part->highest) part->highest = m;
  }
}

void twinCount(void* context) {
  TwinPart* part = static_cast<TwinPart*>(context);
  for (int32_t i = part->first; i < part->end; ++i)
    ++part->cursor[groupOf(part->index, smallestCorner(cornersOf(part->facets, part->stride, i)))];
}

void twinPlace(void* context) {
  TwinPart* part = static_cast<TwinPart*>(context);
  for (int32_t i = part->first; i < part->end; ++i) {
    const int32_t* v = cornersOf(part->facets, part->stride, i);
    const Triple key = smallestRotation(v[0], v[1], v[2]);
    part->index->triples[part->cursor[groupOf(part->index, key.a)]++] = key;
  }
}

void twinSort(void* context) {
  TwinPart* part = static_cast<TwinPart*>(context);
  const int32_t* starts = part->index->starts;
  for (int64_t g = part->groupFirst; g < part->groupEnd; ++g)
    if (starts[g + 1] - starts[g] > kTwinScan)
      std::sort(part->index->triples + starts[g], part->index->triples + starts[g + 1], tripleLess);
}

// Runs one step for every part, the second part beside the caller.
void twinStep(TwinPart* parts, int count, AppTaskFunction step) {
  AppTask task = {};
  if (count == 2) appTaskStart(&task, step, &parts[1]);
  step(&parts[0]);
  appTaskWait(&task);
}

}  // namespace

bool vxmTwinIndexMake(VxmTwinIndex* index, const void* facets, size_t stride, int32_t count) {
  std::memset(index, 0, sizeof *index);
  if (count < 1) return false;
  TwinPart parts[2];
  const int parted = count >= kTwinParts ? 2 : 1;
  for (int k = 0; k < parted; ++k) {
    std::memset(&parts[k], 0, sizeof parts[k]);
    parts[k].index = index;
    parts[k].facets = facets;
    parts[k].stride = stride;
    parts[k].first = (int32_t)((int64_t)count * k / parted);
    parts[k].end = (int32_t)((int64_t)count * (k + 1) / parted);
  }
  twinStep(parts, parted, twinRange);
  const int64_t lowest = parted == 2 && parts[1].lowest < parts[0].lowest ? parts[1].lowest : parts[0].lowest;
  const int64_t highest = parted == 2 && parts[1].highest > parts[0].highest ? parts[1].highest : parts[0].highest;
  index->lowest = lowest;
  index->groups = highest - lowest + 1;
  if (index->groups > 2 * (int64_t)count + 64) {
    int64_t groups = 64;
    while (groups < count) groups <<= 1;
    index->groups = groups;
    index->mask = (uint32_t)(groups - 1);
  }
  // One block: the triples, the starts, and the first part's cursors when there are two parts.
  int32_t tripleBytes = 0, startBytes = 0, cursorBytes = 0;
  if (!vxmMemMulSize(count, sizeof(Triple), &tripleBytes) ||
      !vxmMemMulSize(index->groups + 1, sizeof(int32_t), &startBytes) ||
      !vxmMemMulSize(parted == 2 ? index->groups : 0, sizeof(int32_t), &cursorBytes) ||
      (int64_t)tripleBytes + startBytes + cursorBytes > INT32_MAX)
    return false;
  uint8_t* block = static_cast<uint8_t*>(vxmMemAlloc((size_t)tripleBytes + (size_t)startBytes + (size_t)cursorBytes));
  if (!block) return false;
  index->triples = reinterpret_cast<Triple*>(block);
  index->starts = reinterpret_cast<int32_t*>(block + tripleBytes);
  int32_t* starts = index->starts;
  std::memset(starts, 0, (size_t)startBytes + (size_t)cursorBytes);
  // The last part counts in starts[g + 1]; after the sums that is where its triples of group g
  // go, and once they are placed it is where g ends, which is where g + 1 begins.
  parts[parted - 1].cursor = starts + 1;
  if (parted == 2) parts[0].cursor = reinterpret_cast<int32_t*>(block + tripleBytes + startBytes);
  twinStep(parts, parted, twinCount);
  int32_t at = 0;
  for (int64_t g = 0; g < index->groups; ++g) {
    const int32_t first = parted == 2 ? parts[0].cursor[g] : 0, last = starts[g + 1];
    if (parted == 2) parts[0].cursor[g] = at;
    starts[g + 1] = at + first;
    at += first + last;
  }
  twinStep(parts, parted, twinPlace);
  for (int k = 0; k < parted; ++k) {
    parts[k].groupFirst = index->groups * k / parted;
    parts[k].groupEnd = index->groups * (k + 1) / parted;
  }
  twinStep(parts, parted, twinSort);
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
