// The debugging heap on the engine's pool, and the process's one heap
// behind the functions of kernel/runtime.h.

#include "kernel/heap.h"

#include <cinttypes>
#include <cstring>

#include "kernel/runtime.h"

namespace {

constexpr uint32_t kSaturated = 0xFFFFFFFFu;
// The largest request whose pool block still has a 32-bit size.
constexpr size_t kLargestRequest = 0xFFFFFFFFu - sizeof(KernelHeap::Header) - sizeof(uint32_t);

using Header = KernelHeap::Header;

Header* headerOf(void* data) { return static_cast<Header*>(data) - 1; }

size_t dataSize(uint32_t size) { return size < KernelHeap::kMinimumData ? KernelHeap::kMinimumData : size; }

char* rearOf(Header* block, uint32_t size) { return reinterpret_cast<char*>(block + 1) + dataSize(size); }

void raiseTo(std::atomic<uint32_t>& counter, uint32_t value) {
  uint32_t seen = counter.load(std::memory_order_relaxed);
  while (seen < value && !counter.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

uint32_t get(const std::atomic<uint32_t>& counter) { return counter.load(std::memory_order_relaxed); }

void bump(std::atomic<uint32_t>& counter, uint32_t by = 1) { counter.fetch_add(by, std::memory_order_relaxed); }

// A block off the list links to itself.
void detach(Header* block) { block->next = block->prev = block; }

bool detached(const Header* block) { return block->next == block; }

}  // namespace

int KernelHeap::sizeClass(uint32_t size) {
  if (size < 16) return 0;
  int bit = 31 - __builtin_clz(size);  // 4 for 16..31
  return bit - 3 < kSizeClasses - 1 ? bit - 3 : kSizeClasses - 1;
}

void* KernelHeap::allocate(size_t size, const void* caller) {
  if (size > kLargestRequest) {
    // No pool block can hold it, and its size fits no counter.
    if (kernelNewHandlerInstalled())
      kernelTrace("Memory allocation failed in malloc; size = %lu.", static_cast<unsigned long>(size));
    return nullptr;
  }
  const auto requested = static_cast<uint32_t>(size);
  bump(mallocs_);
  raiseTo(largest_, requested);
  uint32_t current = get(current_);
  for (;;) {
    // Saturates at the first wrap and stays there.
    uint32_t next = (current == kSaturated || current + requested < current) ? kSaturated : current + requested;
    if (current_.compare_exchange_weak(current, next, std::memory_order_relaxed)) {
      raiseTo(highWatermark_, next);
      break;
    }
  }
  uint32_t before = total_.fetch_add(requested, std::memory_order_relaxed);
  if (before + requested < before) bump(wraps_);
  bump(classes_[sizeClass(requested)]);

  const auto poolSize = static_cast<ULONG>(dataSize(requested) + sizeof(Header) + sizeof(uint32_t));
  void* raw = EngAllocMem(0, poolSize, kPoolTag);
  if (!raw) {
    // The counters above stay: the report counts requests, not blocks.
    if (kernelNewHandlerInstalled())
      kernelTrace("Memory allocation failed in malloc; size = %lu.", static_cast<unsigned long>(poolSize));
    return nullptr;
  }
  auto* block = static_cast<Header*>(raw);
  block->front = kFrontWatchdog;
  block->size = requested;
  block->caller = caller;
  std::memcpy(rearOf(block, requested), &kRearWatchdog, sizeof kRearWatchdog);
  link(block);
  return block + 1;
}

void KernelHeap::release(void* data) {
  if (!data) return;
  Header* block = headerOf(data);
  bump(frees_);
  const uint32_t size = block->size;
  classes_[sizeClass(size)].fetch_sub(1, std::memory_order_relaxed);
  bump(totalFreed_, size);

  // A damaged front watchdog puts the whole header in doubt: its size is
  // not used to find the rear watchdog, and its links are not followed.
  const bool frontIntact = block->front == kFrontWatchdog;
  if (!frontIntact) {
    bump(frontErrors_);
    kernelTrace("\tFront Watchdog Altered!\n");
  }

  uint32_t current = get(current_);
  bool checkRear = true;
  for (;;) {
    if (size > current) {
      kernelTrace("\tSuspicious delete size: %lu!\n", static_cast<unsigned long>(size));
      checkRear = false;
      break;
    }
    if (current == kSaturated ||
        current_.compare_exchange_weak(current, current - size, std::memory_order_relaxed))
      break;
  }
  if (checkRear && frontIntact) {
    uint32_t rear;
    std::memcpy(&rear, rearOf(block, size), sizeof rear);
    if (rear != kRearWatchdog) {
      bump(rearErrors_);
      kernelTrace("\tRear Watchdog Altered!  %lX\n", static_cast<unsigned long>(rear));
    }
  }

  if (frontIntact) {
    unlink(block);
  } else if (!unlinkIfListed(block)) {
    // Not found on the list: perhaps no block of this heap at all. Counted
    // above, and left where it is.
    return;
  }
  EngFreeMem(block);
}

void KernelHeap::link(Header* block) {
  HSEMAPHORE lock = lock_.load(std::memory_order_acquire);
  if (!lock) {
    detach(block);
    return;
  }
  EngAcquireSemaphore(lock);
  if (lock_.load(std::memory_order_relaxed) != lock) {
    detach(block);  // the list closed while this thread waited
  } else {
    block->prev = nullptr;
    block->next = head_;
    if (head_)
      head_->prev = block;
    else
      tail_ = block;
    head_ = block;
    ++listed_;
  }
  EngReleaseSemaphore(lock);
}

void KernelHeap::unlink(Header* block) {
  HSEMAPHORE lock = lock_.load(std::memory_order_acquire);
  if (!lock) return;
  EngAcquireSemaphore(lock);
  // Blocks off the list are left alone: their links lead nowhere. Whether
  // the block is on it is read under the lock too, since unlinking its
  // neighbour on another thread rewrites its links.
  if (!detached(block)) {
    if (block->prev) block->prev->next = block->next;
    if (block->next) block->next->prev = block->prev;
    if (head_ == block) head_ = block->next;
    if (tail_ == block) tail_ = block->prev;
    --listed_;
    detach(block);
  }
  EngReleaseSemaphore(lock);
}

bool KernelHeap::unlinkIfListed(Header* block) {
  HSEMAPHORE lock = lock_.load(std::memory_order_acquire);
  if (!lock) return false;
  EngAcquireSemaphore(lock);
  // The block's own links are not read: its neighbours are found by walking
  // to it from both ends, the newer one through next links from the head
  // and the older one through previous links from the tail. Both walks must
  // meet at the same place.
  Header* newer = nullptr;
  uint32_t fromHead = 0;
  for (Header* at = head_; at && at != block && fromHead < listed_; at = at->next, ++fromHead) newer = at;
  Header* older = nullptr;
  uint32_t fromTail = 0;
  for (Header* at = tail_; at && at != block && fromTail < listed_; at = at->prev, ++fromTail) older = at;
  const bool found = fromHead < listed_ && fromTail < listed_ && fromHead + fromTail + 1 == listed_ &&
                     (newer ? newer->next : head_) == block && (older ? older->prev : tail_) == block;
  if (found) {
    if (newer)
      newer->next = older;
    else
      head_ = older;
    if (older)
      older->prev = newer;
    else
      tail_ = newer;
    --listed_;
  }
  EngReleaseSemaphore(lock);
  return found;
}

void KernelHeap::startup() {
  if (lock_.load(std::memory_order_acquire)) return;
  HSEMAPHORE lock = EngCreateSemaphore();
  head_ = tail_ = nullptr;
  listed_ = 0;
  // Without a lock there is no list: blocks are served and stay off it.
  lock_.store(lock, std::memory_order_release);
}

void KernelHeap::shutdown() {
  report();

  kernelTrace(" Displaying memory leak data!\n");
  // The leaks are copied out under the lock and traced after it: whatever
  // listens to the trace may allocate and free on this same heap.
  struct Leak {
    const void* caller;
    uint32_t size;
  } leaks[kMostLeaksListed];
  int count = 0;
  HSEMAPHORE lock = lock_.load(std::memory_order_acquire);
  if (lock) {
    EngAcquireSemaphore(lock);
    Header* at = head_;
    for (uint32_t i = 0; at && i < listed_ && count < kMostLeaksListed; ++i, at = at->next)
      leaks[count++] = {at->caller, at->size};
    EngReleaseSemaphore(lock);
  }
  if (count == 0) kernelTrace("Tail of linked memory list is NULL!\n");
  for (int i = 0; i < count; ++i)
    kernelTrace("--Leak %d: Address %lX, Size %d\n", i,
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(leaks[i].caller)),
                static_cast<int>(leaks[i].size));

  if (!lock) return;
  // The blocks still allocated stay in the pool, taken off the list, so
  // that freeing one later touches nothing of a list that is gone.
  EngAcquireSemaphore(lock);
  Header* at = head_;
  for (uint32_t i = 0; at && i < listed_; ++i) {
    Header* older = at->next;
    detach(at);
    at = older;
  }
  head_ = tail_ = nullptr;
  listed_ = 0;
  lock_.store(nullptr, std::memory_order_release);
  EngReleaseSemaphore(lock);
  EngDeleteSemaphore(lock);
}

KernelHeap::Counters KernelHeap::counters() const {
  Counters c{};
  c.mallocs = get(mallocs_);
  c.frees = get(frees_);
  c.current = get(current_);
  c.highWatermark = get(highWatermark_);
  c.largest = get(largest_);
  c.total = get(total_);
  c.wraps = get(wraps_);
  c.totalFreed = get(totalFreed_);
  c.frontErrors = get(frontErrors_);
  c.rearErrors = get(rearErrors_);
  for (int i = 0; i < kSizeClasses; ++i) c.classes[i] = get(classes_[i]);
  return c;
}

void KernelHeap::report() const {
  kernelTrace("   MallocDebugReport:  counts for malloc/free\n");
  const Counters c = counters();
  if (c.mallocs == 0) return;
  kernelTrace("\tNumber of mallocs made:              %9" PRIu32 "\n", c.mallocs);
  kernelTrace("\tNumber of frees made:                %9" PRIu32 "\n", c.frees);
  kernelTrace("\tMemory currently allocated:          %9" PRIu32 "\n", c.current);
  kernelTrace("\tAllocated memory high watermark:     %9" PRIu32 "\n", c.highWatermark);
  kernelTrace("\tMaximum size requested:              %9" PRIu32 "\n", c.largest);
  if (c.wraps != 0) {
    kernelTrace("\tTimes the total wrapped (too large): %9" PRIu32 "\n", c.wraps);
    kernelTrace("\tTotal of all allocations (wrapped):  %9" PRIu32 "\n", c.total);
    kernelTrace("\tTotal of all frees (wrapped):        %9" PRIu32 "\n", c.totalFreed);
  } else {
    kernelTrace("\tTotal of all allocations:            %9" PRIu32 "\n", c.total);
    kernelTrace("\tTotal of all frees:                  %9" PRIu32 "\n", c.totalFreed);
  }
  kernelTrace("\n");
  static constexpr const char* kClassLabels[kSizeClasses - 2] = {
      "   16", "   32", "   64", "  128", "  256", "  512", "   1K", "   2K",
      "   4K", "   8K", "  16K", "  32K", "  64K", " 128K", " 256K", " 512K",
  };
  kernelTrace("\t# mallocs of size <    16: %9" PRIu32 "\n", c.classes[0]);
  for (int i = 1; i < kSizeClasses - 1; ++i)
    kernelTrace("\t# mallocs of size >=%s: %9" PRIu32 "\n", kClassLabels[i - 1], c.classes[i]);
  kernelTrace("\t# mallocs of size >= 1M  : %9" PRIu32 "\n", c.classes[kSizeClasses - 1]);
  kernelTrace("\n");
  kernelTrace("\tWatchdog errors - front: %6" PRIu32 "\n", c.frontErrors);
  kernelTrace("\tWatchdog errors - rear:  %6" PRIu32 "\n", c.rearErrors);
  kernelTrace("\n");
  const uint32_t average = (0xFFFFFFFFu / c.mallocs) * c.wraps + c.total / c.mallocs;
  kernelTrace("\tAverage allocation size: %6" PRIu32 "\n", average);
  kernelTrace("\tNOT Resetting counts!\n");
}

// ---- the process's heap ------------------------------------------------------

namespace {

constinit KernelHeap processHeap;

}  // namespace

__attribute__((noinline)) void* kernelHeapAlloc(size_t size) {
  return processHeap.allocate(size, __builtin_return_address(0));
}

void* kernelHeapAllocFor(size_t size, const void* caller) { return processHeap.allocate(size, caller); }

void kernelHeapFree(void* block) { processHeap.release(block); }

void MallocDebugReport() { processHeap.report(); }

void kernelHeapStartup() { processHeap.startup(); }

void kernelHeapShutdown() { processHeap.shutdown(); }
