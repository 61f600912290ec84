#ifndef RW_BUFHELP_H
#define RW_BUFHELP_H

// Helpers for raw buffers: the growth rule of buffers that double, a cache of
// very small blocks, binary search over an array, and the library version.

#include <cstdint>

#include "rw/defs.h"

// The new capacity of a full buffer of `capacity` elements of `elementSize`
// bytes: 16 below 16 elements, else twice the capacity while the buffer
// stays within 2 GiB, then a step towards the 4 GiB limit. A buffer that
// cannot grow any more is reported (OVFLOW) and 0 is answered.
RWsize rwNewCapacity(RWsize capacity, RWsize elementSize);

// Blocks of 1 to 10 bytes are kept for reuse, up to five per even size class
// (2, 4, 6, 8, 10 bytes); other sizes go straight to the allocator. A block
// must be released with the size it was allocated with.
constexpr unsigned rwSmallBlockLimit = 10;
constexpr unsigned rwSmallBlocksPerClass = 5;
void* rwSmallAlloc(RWsize size);
void rwSmallRelease(void* block, RWsize size);
// Frees every cached block.
void rwSmallEmpty();
// The number of blocks cached for the class of `size` (0 for other sizes).
unsigned rwSmallCached(RWsize size);

// Searches `count` elements of `width` bytes, sorted as `compare(element, key)`
// orders them. Answers TRUE with *index at an element that compares equal,
// else FALSE with *index where the search ended (0 for an empty array).
typedef int (*RWbsearchCompare)(const void* element, const void* key);
RWBoolean rwBsearch(const void* key, const void* base, RWsize count, RWsize width,
                    RWbsearchCompare compare, RWsize* index);

// The version of the foundation library: 0x0700.
uint32_t rwLibraryVersion();

#endif
