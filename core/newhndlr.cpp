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

// The fatal report's source names, made when the handler is installed: the
// handler runs when there is no memory left to make them.
RWCString* reserveSource = nullptr;
RWCString* releaseSource = nullptr;

// Set while this thread runs the handler. Where a failed allocation calls
// the handler again from inside it (user mode), the inner call gives up.
thread_local bool inHandler = false;

int releaseReserve();

void reportExhausted(const RWCString* source, int32_t line) {
  reportFatalError(kFatalShutDownAndAbort, kFatalMemoryExhausted, source ? *source : RWCString(), line, RWCString());
}

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
    if (!reserveSource) reserveSource = new RWCString(kNewHandlerSource);
    if (!releaseSource) releaseSource = new RWCString(kReleaseMemorySource);
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
    delete reserveSource;
    reserveSource = nullptr;
    delete releaseSource;
    releaseSource = nullptr;
  }
  delete handlerLock;
  handlerLock = nullptr;
}

int reserveNewHandler() {
  if (inHandler) return 0;
  struct Running {
    Running() { inHandler = true; }
    ~Running() { inHandler = false; }
  } running;
  return releaseReserve();
}

namespace {

int releaseReserve() {
  void* block;
  {
    Locked lock;
    block = reserve;
    reserve = nullptr;
  }
  if (!block) {
    reportExhausted(reserveSource, kNewHandlerLine);
    return 0;
  }
  ::operator delete(block);

  GMemoryReleaseHook hook = releaseHook.load();
  if (!hook || !hook()) {
    shutDownDriverServer();
    reportExhausted(releaseSource, kReleaseMemoryLine);
    return 0;
  }

  uint32_t size;
  {
    Locked lock;
    size = reserveSize;
  }
  // Taking the new reserve may itself fail; the handler is not asked again
  // from inside itself, and the next failure finds no reserve and ends as
  // above.
  void* fresh = ::operator new(size, std::nothrow);
  if (!fresh) return 0;
  keepReserve(fresh);
  return 1;
}

}  // namespace
