#include "rw/mutex.h"

#include "rw/ref.h"

void RWStaticMutex::acquire() {
  RWLockHandle h = handle_.load(std::memory_order_acquire);
  if (!h) {
    RWLockHandle made = rwCreateLock();
    if (handle_.compare_exchange_strong(h, made, std::memory_order_acq_rel))
      h = made;
    else
      rwDeleteLock(made);  // another thread made it first; h now holds theirs
  }
  rwAcquireLock(h);
}

void RWStaticMutex::release() {
  RWLockHandle h = handle_.load(std::memory_order_acquire);
  if (h) rwReleaseLock(h);
}

void RWStaticMutex::destroy() {
  RWLockHandle h = handle_.exchange(nullptr, std::memory_order_acq_rel);
  if (h) rwDeleteLock(h);
}

void RWReference::addReference(RWStaticMutex& lock) {
  lock.acquire();
  ++refs_;
  lock.release();
}

int32_t RWReference::removeReference(RWStaticMutex& lock) {
  lock.acquire();
  int32_t before = refs_;
  --refs_;
  lock.release();
  return before;
}
