// The kernel driver's runtime, but for the heap (heap.cpp): start-up from
// the initialiser table, the exit table, operator new and delete on the
// debugging heap, and the new-handler.

#include "kernel/runtime.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/fatalerr.h"
#include "core/newhndlr.h"
#include "host/engine/ddi.h"
#include "kernel/kmfile.h"
#include "rw/startup.h"

// The records RW_STARTUP placed in the section, gathered by the linker into
// one table for the whole driver. Weak: a module without one has none.
extern "C" {
extern const RWStartupEntry __start_rw_startup_first[] __attribute__((weak, visibility("hidden")));
extern const RWStartupEntry __stop_rw_startup_first[] __attribute__((weak, visibility("hidden")));
extern const RWStartupEntry __start_rw_startup[] __attribute__((weak, visibility("hidden")));
extern const RWStartupEntry __stop_rw_startup[] __attribute__((weak, visibility("hidden")));
}

namespace {

// The pool tag of the runtime's own blocks, "Dgby" in memory order.
constexpr ULONG kPoolTag = 0x79626744;
constexpr size_t kExitTableGrowth = 32;

typedef void (*ExitRoutine)();

// The exit table and its lock. Plain storage, constant-initialised: the
// driver runs no constructor at load.
HSEMAPHORE exitLock = nullptr;
ExitRoutine* exitStart = nullptr;
ExitRoutine* exitNext = nullptr;
ExitRoutine* exitEnd = nullptr;
// Set while the exit routines run: a routine that registers another would
// grow the table being walked, so registration is refused meanwhile.
bool exiting = false;

HSEMAPHORE handlerLock = nullptr;
std::atomic<KernelNewHandler> newHandler{nullptr};

void stopNewHandler() {
  newHandler.store(nullptr);
  HSEMAPHORE lock = handlerLock;
  handlerLock = nullptr;
  if (lock) EngDeleteSemaphore(lock);
}

// ntdll's entries for the file layer; a missing one makes every native
// call fail, which the file layer answers, so start-up goes on.
void loadNativeTable() { (void)kmLoadNativeTable(); }
RW_STARTUP_FIRST(nativeTableEntry, loadNativeTable, kmUnloadNativeTable);

// Each stop goes into the exit table before its start runs: a start that
// runs out of memory part way (std::bad_alloc) is undone by its stop at the
// shut-down that follows, and a start whose stop found no room in the table
// is not run at all.
void runStartupEntries(const RWStartupEntry* begin, const RWStartupEntry* end) {
  for (const RWStartupEntry* entry = begin; entry && entry < end; ++entry) {
    if (entry->stop && atexit(entry->stop) != 0) throw std::bad_alloc();
    if (entry->start) entry->start();
  }
}

KernelNewHandler currentNewHandler() {
  HSEMAPHORE lock = handlerLock;
  if (lock) EngAcquireSemaphore(lock);
  KernelNewHandler handler = newHandler.load();
  if (lock) EngReleaseSemaphore(lock);
  return handler;
}

}  // namespace

// ---- start-up and shut-down ------------------------------------------------

int kernelRuntimeStartup() {
  exitStart = exitNext = exitEnd = nullptr;
  exiting = false;
  exitLock = EngCreateSemaphore();
  kernelHeapStartup();
  // The runtime's own entry comes first, so its exit routine runs last.
  handlerLock = EngCreateSemaphore();
  atexit(stopNewHandler);
  runStartupEntries(__start_rw_startup_first, __stop_rw_startup_first);
  runStartupEntries(__start_rw_startup, __stop_rw_startup);
  return 1;
}

int kernelRuntimeShutdown() {
  HSEMAPHORE lock = exitLock;
  if (lock) EngAcquireSemaphore(lock);
  exiting = true;
  // Newest first, down to and including the first one registered. The C
  // library declares atexit's routine non-null, so the compiler may drop a
  // test of it there; a null one that got in anyway is passed over here.
  // A routine that fails does not keep the ones before it from running.
  for (ExitRoutine* slot = exitNext; slot && slot != exitStart;) {
    if (ExitRoutine routine = *--slot) {
      try {
        routine();
      } catch (...) {
      }
    }
  }
  if (exitStart) EngFreeMem(exitStart);
  exitStart = exitNext = exitEnd = nullptr;
  kernelHeapShutdown();
  exiting = false;
  exitLock = nullptr;
  if (lock) {
    EngReleaseSemaphore(lock);
    EngDeleteSemaphore(lock);
  }
  return 1;
}

// Binds inside the driver: the version script exports nothing but the
// entry points, so the engine's own atexit is never replaced.
extern "C" int atexit(void (*routine)()) noexcept {
  HSEMAPHORE lock = exitLock;
  // Before start-up and after shut-down there is no table to add to.
  if (!lock) return -1;
  EngAcquireSemaphore(lock);
  int answer = 0;
  if (exiting) {
    answer = -1;
  } else {
    if (exitNext == exitEnd) {
      size_t used = static_cast<size_t>(exitNext - exitStart);
      size_t room = static_cast<size_t>(exitEnd - exitStart) + kExitTableGrowth;
      auto* grown = static_cast<ExitRoutine*>(EngAllocMem(0, static_cast<ULONG>(room * sizeof(ExitRoutine)), kPoolTag));
      if (!grown) {
        answer = -1;
      } else {
        if (used) std::memcpy(grown, exitStart, used * sizeof(ExitRoutine));
        if (exitStart) EngFreeMem(exitStart);
        exitStart = grown;
        exitNext = grown + used;
        exitEnd = grown + room;
      }
    }
    if (answer == 0) *exitNext++ = routine;
  }
  EngReleaseSemaphore(lock);
  return answer;
}

// ---- the new-handler -------------------------------------------------------

KernelNewHandler _set_new_handler(KernelNewHandler handler) {
  HSEMAPHORE lock = handlerLock;
  if (lock) EngAcquireSemaphore(lock);
  KernelNewHandler previous = newHandler.exchange(handler);
  if (lock) EngReleaseSemaphore(lock);
  return previous;
}

bool kernelNewHandlerInstalled() { return currentNewHandler() != nullptr; }

void releaseDriverServerMemory() {
  // The driver server sets the hook when it is made; before that (a
  // failure while it is being made) there is nothing to release.
  GMemoryReleaseHook release = memoryReleaseHook();
  if (release && !release()) shutDownDriverServer();
}

// ---- operator new and delete -----------------------------------------------

namespace {

// Set while this thread runs the new-handler. The handler allocates too
// (the memory reserve's fatal report makes its text); a failure there is
// final, instead of calling the handler again from inside itself without
// end.
thread_local bool inNewHandler = false;

// Tries the heap until it gives a block; a failure asks the new-handler,
// whose 1 means try again and 0 give up. Without a handler the failure is
// final at once. The answer may be null (the allocation rule in
// runtime.h).
void* allocate(size_t size, const void* caller) {
  for (;;) {
    if (void* block = kernelHeapAllocFor(size, caller)) return block;
    KernelNewHandler handler = currentNewHandler();
    if (!handler || inNewHandler) return nullptr;
    // Nothing may leave the handler through operator new, whose no-throw
    // forms are noexcept: a handler that throws gives up.
    inNewHandler = true;
    int answer = 0;
    try {
      answer = handler();
    } catch (...) {
    }
    inNewHandler = false;
    if (!answer) return nullptr;
  }
}

// The heap's blocks are 16-byte aligned. A stricter alignment takes a
// larger block and keeps the heap's pointer in the word before the one
// handed out.
void* allocateAligned(size_t size, std::align_val_t alignment, const void* caller) {
  size_t align = static_cast<size_t>(alignment);
  if (align <= 16) return allocate(size, caller);
  if (size > SIZE_MAX - align) return nullptr;
  void* raw = allocate(size + align, caller);
  if (!raw) return nullptr;
  uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(uintptr_t(align) - 1);
  reinterpret_cast<void**>(start)[-1] = raw;
  return reinterpret_cast<void*>(start);
}

void releaseAligned(void* block, std::align_val_t alignment) {
  if (!block) return;
  if (static_cast<size_t>(alignment) <= 16)
    kernelHeapFree(block);
  else
    kernelHeapFree(static_cast<void**>(block)[-1]);
}

}  // namespace

// Every replaceable form the compiler may call, so that no allocation of
// the driver reaches another allocator. noinline: the caller's address is
// recorded in the block.
#define KERNEL_CALLER __builtin_return_address(0)

__attribute__((noinline)) void* operator new(size_t size) { return allocate(size, KERNEL_CALLER); }
__attribute__((noinline)) void* operator new[](size_t size) { return allocate(size, KERNEL_CALLER); }
__attribute__((noinline)) void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return allocate(size, KERNEL_CALLER);
}
__attribute__((noinline)) void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return allocate(size, KERNEL_CALLER);
}
__attribute__((noinline)) void* operator new(size_t size, std::align_val_t alignment) {
  return allocateAligned(size, alignment, KERNEL_CALLER);
}
__attribute__((noinline)) void* operator new[](size_t size, std::align_val_t alignment) {
  return allocateAligned(size, alignment, KERNEL_CALLER);
}
__attribute__((noinline)) void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment, KERNEL_CALLER);
}
__attribute__((noinline)) void* operator new[](size_t size, std::align_val_t alignment,
                                               const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment, KERNEL_CALLER);
}

void operator delete(void* block) noexcept { kernelHeapFree(block); }
void operator delete[](void* block) noexcept { kernelHeapFree(block); }
void operator delete(void* block, size_t) noexcept { kernelHeapFree(block); }
void operator delete[](void* block, size_t) noexcept { kernelHeapFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { kernelHeapFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { kernelHeapFree(block); }
void operator delete(void* block, std::align_val_t alignment) noexcept { releaseAligned(block, alignment); }
void operator delete[](void* block, std::align_val_t alignment) noexcept { releaseAligned(block, alignment); }
void operator delete(void* block, size_t, std::align_val_t alignment) noexcept { releaseAligned(block, alignment); }
void operator delete[](void* block, size_t, std::align_val_t alignment) noexcept {
  releaseAligned(block, alignment);
}
void operator delete(void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  releaseAligned(block, alignment);
}
void operator delete[](void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  releaseAligned(block, alignment);
}
