// vxmMem.h: the library's allocator. Every table the library owns is allocated here, so tests
// can make any allocation fail and can count allocations and live blocks.
#pragma once

#include <cstddef>
#include <cstdint>

void* vxmMemAlloc(size_t size);  // null on failure (or when a test asked for a failure)
void* vxmMemCalloc(size_t count, size_t size);
void* vxmMemRealloc(void* block, size_t size);
void vxmMemFree(void* block);

// size := a * b when both are non-negative and the product fits a signed 32-bit value (the
// library's sizes are 32-bit fields and it runs in a 32-bit process); false otherwise.
bool vxmMemMulSize(int64_t a, int64_t b, int32_t* size);

// Test controls: fail the allocation that comes after `after` more successful ones (-1: never);
// the number of allocations made so far and of blocks still live.
void vxmMemFailAfter(long after);
long vxmMemAllocations(void);
long vxmMemLiveBlocks(void);
