#include "rw/mutex.h"

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
