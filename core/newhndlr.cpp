#include "core/newhndlr.h"

#include <atomic>
#include <new>

#include "core/fatalerr.h"
#include "core/osfactry.h"
#include "rw/kmsys.h"

namespace {

// Guarded by the lock: the saved handler, the size and the block.
GOSMutex* handlerLock = nullptr;
bool installed = false;
uint32_t reserveSize = 1024;
void* reserve = nullptr;

std::atomic<GMemoryReleaseHook> releaseHook{nullptr};

// The guard reports lock failures from the handler's own source.
struct Locked : GOSLockGuard {
  Locked() : GOSLockGuard(handlerLock, kNewHandlerSource, kNewHandlerLine, kNewHandlerLine) {}
};

void* takeReserve(uint32_t size) { return ::operator new(size, std::nothrow); }

// Keeps a fresh block, freeing any that another thread made meanwhile.
void keepReserve(void* block) {
  void* old;
  {
    Locked lock;
    old = reserve;
    reserve = block;
  }
  ::operator delete(old);
}

}  // namespace

GMemoryReleaseHook setMemoryReleaseHook(GMemoryReleaseHook hook) { return releaseHook.exchange(hook); }
GMemoryReleaseHook memoryReleaseHook() { return releaseHook.load(); }

uint32_t newHandlerReserveSize() { return reserveSize; }
bool newHandlerHoldsReserve() { return reserve != nullptr; }

void installNewHandler(uint32_t size) {
  if (!handlerLock) {
    GOSFactory* factory = GOSFactory::instance();
    if (!factory) return;
    factory->createMutexOnce(handlerLock);
  }
  uint32_t wanted;
  {
    Locked lock;
    if (!installed) {
      // The platform's operator new gives up on 0, which only happens when
      // the fatal error's abort returned.
      rwSetNewHandler(reserveNewHandler);
      installed = true;
    }
    if (size) reserveSize = size;
    wanted = reserveSize;
  }
  keepReserve(takeReserve(wanted));
}

void removeNewHandler() {
  if (!handlerLock) return;
  {
    Locked lock;
    if (installed) {
      rwSetNewHandler(nullptr);
      installed = false;
    }
    ::operator delete(reserve);
    reserve = nullptr;
  }
  delete handlerLock;
  handlerLock = nullptr;
}

int reserveNewHandler() {
  void* block;
  {
    Locked lock;
    block = reserve;
    reserve = nullptr;
  }
  if (!block) {
    reportFatalError(kFatalShutDownAndAbort, kFatalMemoryExhausted, kNewHandlerSource, kNewHandlerLine,
                     RWCString());
    return 0;
  }
  ::operator delete(block);

  GMemoryReleaseHook hook = releaseHook.load();
  if (!hook || !hook()) {
    shutDownDriverServer();
    reportFatalError(kFatalShutDownAndAbort, kFatalMemoryExhausted, kReleaseMemorySource, kReleaseMemoryLine,
                     RWCString());
    return 0;
  }

  uint32_t size;
  {
    Locked lock;
    size = reserveSize;
  }
  // Taking the new reserve may itself fail and come back here, which then
  // finds no reserve and ends as above.
  void* fresh = ::operator new(size, std::nothrow);
  if (!fresh) return 0;
  keepReserve(fresh);
  return 1;
}
