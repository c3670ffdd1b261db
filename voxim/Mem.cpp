// Mem.cpp: the library's allocator with the counters and failure switch that tests use.
#include "vxmMem.h"

#include <cstdlib>

static long memFailAfter = -1;
static long memAllocations = 0;
static long memLive = 0;

static bool memShouldFail(void) {
  if (memFailAfter < 0) return false;
  if (memFailAfter == 0) {
    memFailAfter = -1;
    return true;
  }
  --memFailAfter;
  return false;
}

void* vxmMemAlloc(size_t size) {
  if (memShouldFail()) return nullptr;
  void* block = std::malloc(size ? size : 1);
  if (block) {
    ++memAllocations;
    ++memLive;
  }
  return block;
}

void* vxmMemCalloc(size_t count, size_t size) {
  if (memShouldFail()) return nullptr;
  void* block = std::calloc(count ? count : 1, size ? size : 1);
  if (block) {
    ++memAllocations;
    ++memLive;
  }
  return block;
}

void* vxmMemRealloc(void* block, size_t size) {
  if (!block) return vxmMemAlloc(size);
  if (memShouldFail()) return nullptr;
  void* grown = std::realloc(block, size ? size : 1);
  if (grown) ++memAllocations;
  return grown;
}

void vxmMemFree(void* block) {
  if (!block) return;
  --memLive;
  std::free(block);
}

bool vxmMemMulSize(int64_t a, int64_t b, int32_t* size) {
  if (a < 0 || b < 0) return false;
  if (a != 0 && b > INT32_MAX / a) return false;
  if (size) *size = (int32_t)(a * b);
  return true;
}

void vxmMemFailAfter(long after) { memFailAfter = after; }
long vxmMemAllocations(void) { return memAllocations; }
long vxmMemLiveBlocks(void) { return memLive; }
