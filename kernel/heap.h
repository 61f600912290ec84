#ifndef KERNEL_HEAP_H
#define KERNEL_HEAP_H

// The debugging heap behind kernelHeapAlloc, kernelHeapFree and operator
// new (kernel/runtime.h). The process has one; a test may make its own, so
// that its counters and its live list start from nothing.
//
// Every allocation is one engine pool block (tag "Dgby"):
//
//   Header    front watchdog, requested size, caller, older and newer links,
//             padded so that the data is 16-byte aligned
//   data      the requested size, at least 4 bytes
//   uint32_t  rear watchdog, directly behind the data
//
// Blocks are kept on a live list, newest first, between startup() and
// shutdown(); blocks allocated outside that window are served and freed but
// stay off the list. A block off the list links to itself in both
// directions, so that release never unlinks through the links of a list
// that is gone. A block whose front watchdog is damaged has its header in
// doubt: release finds it by walking the list and leaves it in the pool
// when the list does not hold it.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "host/engine/ddi.h"

class KernelHeap {
 public:
  struct alignas(16) Header {
    uint32_t front;
    uint32_t size;       // as requested, before any rounding
    const void* caller;  // the code that asked for the block
    Header* next;        // older, toward the tail
    Header* prev;        // newer, toward the head
  };

  static constexpr uint32_t kFrontWatchdog = 0xAAAAAAAAu;
  static constexpr uint32_t kRearWatchdog = 0x55555555u;
  static constexpr ULONG kPoolTag = 0x79626744u;  // 'D' 'g' 'b' 'y' in memory order
  static constexpr size_t kMinimumData = 4;
  static constexpr int kSizeClasses = 18;
  static constexpr int kMostLeaksListed = 1000;

  // Statistics, as the report prints them. Changed without a lock; under
  // concurrent use they may be slightly off, which only the report sees.
  struct Counters {
    uint32_t mallocs, frees, current, highWatermark, largest, total, wraps, totalFreed;
    uint32_t frontErrors, rearErrors;
    uint32_t classes[kSizeClasses];
  };

  constexpr KernelHeap() = default;
  KernelHeap(const KernelHeap&) = delete;
  KernelHeap& operator=(const KernelHeap&) = delete;

  // A data area of at least size bytes recording the caller, or null when
  // the pool refuses.
  void* allocate(size_t size, const void* caller);
  // Checks the watchdogs, unlinks and frees; null is ignored.
  void release(void* data);
  // The statistics report through kernelTrace; no counter is reset.
  void report() const;
  // The list lock and an empty list.
  void startup();
  // The report, the leak listing (at most kMostLeaksListed, newest first),
  // the list emptied (its blocks stay allocated) and its lock deleted.
  void shutdown();

  Counters counters() const;
  // The size class of a requested size: under 16, then one per power of
  // two up to 1M and more.
  static int sizeClass(uint32_t size);

 private:
  void link(Header* block);
  void unlink(Header* block);
  bool unlinkIfListed(Header* block);

  std::atomic<uint32_t> mallocs_{0}, frees_{0}, current_{0}, highWatermark_{0}, largest_{0};
  std::atomic<uint32_t> total_{0}, wraps_{0}, totalFreed_{0}, frontErrors_{0}, rearErrors_{0};
  std::atomic<uint32_t> classes_[kSizeClasses] = {};

  // The list lock; null outside startup() .. shutdown(). The list and its
  // length are changed and walked only under it.
  std::atomic<HSEMAPHORE> lock_{nullptr};
  Header* head_ = nullptr;  // newest
  Header* tail_ = nullptr;  // oldest
  uint32_t listed_ = 0;
};

static_assert(sizeof(KernelHeap::Header) % 16 == 0, "the data area must stay 16-byte aligned");

#endif
