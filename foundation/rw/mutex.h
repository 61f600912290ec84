#ifndef RW_MUTEX_H
#define RW_MUTEX_H

// The library's lock.
//
// An all-zero RWMutex is a valid lock that has not been created yet, so a
// static lock needs no start-up order: the platform lock is made when the
// lock is first taken (race-free), and deleted when the RWMutex is destroyed
// only if it was ever made. The lock is re-entrant for the thread holding it.

#include <atomic>

#include "rw/kmsys.h"

class RWMutex {
 public:
  constexpr RWMutex() noexcept : handle_(nullptr) {}
  ~RWMutex() { destroy(); }
  RWMutex(const RWMutex&) = delete;
  RWMutex& operator=(const RWMutex&) = delete;

  void acquire();
  void release();
  // Deletes the platform lock if it was made; the lock is then not created
  // again until it is next taken.
  void destroy();
  bool created() const { return handle_.load(std::memory_order_acquire) != nullptr; }

 private:
  std::atomic<RWLockHandle> handle_;
};

// Holds a lock for the length of a scope.
class RWGuard {
 public:
  explicit RWGuard(RWMutex& m) : m_(m) { m_.acquire(); }
  ~RWGuard() { m_.release(); }
  RWGuard(const RWGuard&) = delete;
  RWGuard& operator=(const RWGuard&) = delete;

 private:
  RWMutex& m_;
};

#endif
