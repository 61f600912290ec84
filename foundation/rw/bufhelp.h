#ifndef RW_BUFHELP_H
#define RW_BUFHELP_H

// Helpers for raw buffers: the growth rule of buffers that double, a cache of
// very small blocks, binary search over an array, and the library version.

#include <cstddef>
#include <cstdint>
#include <new>

#include "rw/defs.h"

// The new capacity of a full buffer of `capacity` elements of `elementSize`
// bytes: 16 below 16 elements, else twice the capacity while the buffer
// stays within 2 GiB, then a step towards the 4 GiB limit. A buffer that
// cannot grow any more is reported (OVFLOW) and 0 is answered.
RWsize rwNewCapacity(RWsize capacity, RWsize elementSize);

// The block an allocation answered, or std::bad_alloc for none. The kernel
// driver's operator new answers null where the user-mode one throws (the
// kernel build's allocation rule, in kernel/runtime.h); the
// library's own allocations pass through here, so that both builds end an
// exhausted allocation the same way and nothing is ever built over a null
// block.
template <typename T>
T* rwAllocated(T* block) {
  if (!block) throw std::bad_alloc();
  return block;
}

// An allocator for standard containers that ends an exhausted allocation
// with std::bad_alloc in both builds, where the kernel driver's operator new
// would hand the container a null block.
template <typename T>
struct RWCheckedAllocator {
  using value_type = T;
  RWCheckedAllocator() = default;
  template <typename U>
  RWCheckedAllocator(const RWCheckedAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(rwAllocated(::operator new(n * sizeof(T))));
  }
  void deallocate(T* block, size_t) noexcept { ::operator delete(block); }
  friend bool operator==(const RWCheckedAllocator&, const RWCheckedAllocator&) { return true; }
};

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
