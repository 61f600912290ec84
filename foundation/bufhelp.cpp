#include "rw/bufhelp.h"

#include <new>

#include "rw/message.h"
#include "rw/mutex.h"
#include "rw/rwerr.h"

RWsize rwNewCapacity(RWsize capacity, RWsize elementSize) {
  if (capacity < 16) return 16;
  // The byte size is worked out in 64 bits so that a huge buffer can never
  // wrap around to look small.
  const uint64_t bytes = uint64_t(capacity) * elementSize;
  uint64_t grown = 0;
  if (bytes <= 0x7FFFFFFFu)
    grown = 2 * uint64_t(capacity);
  else if (bytes < 0xFFFFFFFDu)
    grown = 0xFFFFFFFFu / (2 * uint64_t(elementSize)) + capacity / 2;
  // Near the top the step can come out no larger than the buffer already
  // is; a caller copying its elements into that would overrun it.
  if (grown > capacity && grown <= 0xFFFFFFFFu) return static_cast<RWsize>(grown);
  static const char why[] = "Buffer may not resize larger than";
  rwReport<RWBoundsErr>(RWCORE_OVFLOW(), {33, why, 0xFFFFFFFFu});
  return 0;
}

namespace {

// The cache is shared by every collection in the process, so it is kept
// under a lock of its own.
struct SmallCache {
  uint16_t count[rwSmallBlockLimit / 2];
  void* blocks[rwSmallBlockLimit / 2][rwSmallBlocksPerClass];
};

SmallCache cache;
RW_FILE_LOCK(cacheLock);

inline size_t roundedSize(RWsize size) { return size_t(size) + (size & 1); }
inline bool cached(RWsize size) { return size >= 1 && size <= rwSmallBlockLimit; }
inline unsigned classOf(RWsize size) { return (size - 1) / 2; }

}  // namespace

void* rwSmallAlloc(RWsize size) {
  if (cached(size)) {
    RWGuard guard(cacheLock);
    const unsigned c = classOf(size);
    if (cache.count[c]) return cache.blocks[c][--cache.count[c]];
  }
  return rwAllocated(::operator new(roundedSize(size)));
}

void rwSmallRelease(void* block, RWsize size) {
  if (!block) return;
  if (cached(size)) {
    RWGuard guard(cacheLock);
    const unsigned c = classOf(size);
    if (cache.count[c] < rwSmallBlocksPerClass) {
      cache.blocks[c][cache.count[c]++] = block;
      return;
    }
  }
  ::operator delete(block);
}

void rwSmallEmpty() {
  RWGuard guard(cacheLock);
  for (unsigned c = 0; c < rwSmallBlockLimit / 2; ++c) {
    for (unsigned i = 0; i < cache.count[c]; ++i) ::operator delete(cache.blocks[c][i]);
    cache.count[c] = 0;
  }
}

unsigned rwSmallCached(RWsize size) {
  if (!cached(size)) return 0;
  RWGuard guard(cacheLock);
  return cache.count[classOf(size)];
}

RWBoolean rwBsearch(const void* key, const void* base, RWsize count, RWsize width,
                    RWbsearchCompare compare, RWsize* index) {
  *index = 0;
  if (count == 0) return FALSE;
  const unsigned char* elements = static_cast<const unsigned char*>(base);
  auto at = [&](RWsize i) { return elements + uint64_t(i) * width; };
  RWsize lo = 0, hi = count - 1;
  while (lo < hi) {
    const RWsize mid = lo + (hi - lo) / 2;
    *index = mid;
    const int r = compare(at(mid), key);
    if (r == 0) return TRUE;
    if (r > 0)
      hi = mid ? mid - 1 : 0;
    else
      lo = mid + 1;
  }
  *index = lo;
  return compare(at(lo), key) == 0;
}

uint32_t rwLibraryVersion() { return 0x0700; }
