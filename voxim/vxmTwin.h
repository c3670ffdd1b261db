// vxmTwin.h: the reversed twins of facets (module Twin): which facets of a table have a facet
// whose corners are a rotation of their own reversed, the search that double-siding makes
// (vxmModelMakeDoubleSided and the import).
#pragma once

#include <cstddef>
#include <cstdint>

// A facet's corners up to rotation are its smallest rotation: two facets are rotations of each
// other exactly when those are equal, and a facet and its reversed twin share their smallest
// corner. The index groups the facets' smallest rotations by that corner (a counting sort), so
// that a twin is looked for in its own group only: the grouping is the corner itself while the
// corners span a range not much larger than the table, else a hash of it.
struct VxmTwinTriple {
  int32_t a, b, c;
};

struct VxmTwinIndex {
  VxmTwinTriple* triples;  // grouped: group g holds triples[starts[g] .. starts[g + 1]); one block with starts
  int32_t* starts;         // groups + 1 entries
  int64_t groups;
  int64_t lowest;          // grouped by corner: the smallest corner, which is group 0
  uint32_t mask;           // grouped by hash: groups - 1; 0 when grouped by corner
};

// Indexes `count` facets (at least 1): the corners of facet i are the first three int32_t of the
// record of `stride` bytes at facets + i * stride. A large table is indexed in two halves, one by
// a task beside the caller (appTaskStart). False when memory runs out (nothing is held then, and
// nothing is traced: the caller reports it).
bool vxmTwinIndexMake(VxmTwinIndex* index, const void* facets, size_t stride, int32_t count);
// True when an indexed facet is a rotation of (a, c, b), the facet (a, b, c) reversed; a facet
// with a repeated corner, as (0, 1, 1), is a rotation of its own reverse.
bool vxmTwinIndexHoldsReverse(const VxmTwinIndex* index, int32_t a, int32_t b, int32_t c);
void vxmTwinIndexFree(VxmTwinIndex* index);
