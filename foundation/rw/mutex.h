#ifndef RW_MUTEX_H
#define RW_MUTEX_H

// The library's lock.
//
// An all-zero lock is a valid lock that has not been created yet, so a
// static lock needs no start-up order: the platform lock is made when the
// lock is first taken (race-free: the loser of a race deletes its own), and
// deleted by destroy only if it was ever made. The lock is re-entrant for
// the thread holding it.
//
// RWMutex deletes its platform lock when it is destroyed. A lock at
// namespace scope is an RWStaticMutex declared with RW_FILE_LOCK: it has no
// destructor, and the library's start-up entry of the same name deletes
// its platform lock at stop (so the kernel driver, which runs no static
// constructor or destructor, gets it back when disabled).

#include <atomic>

#include "rw/kmsys.h"
#include "rw/startup.h"

class RWStaticMutex {
 public:
  constexpr RWStaticMutex() noexcept : handle_(nullptr) {}
  RWStaticMutex(const RWStaticMutex&) = delete;
  RWStaticMutex& operator=(const RWStaticMutex&) = delete;

  void acquire();
  void release();
  // Deletes the platform lock if it was made; the lock is then not created
  // again until it is next taken.
  void destroy();
  bool created() const { return handle_.load(std::memory_order_acquire) != nullptr; }

 private:
  std::atomic<RWLockHandle> handle_;
};

class RWMutex : public RWStaticMutex {
 public:
  constexpr RWMutex() noexcept = default;
  ~RWMutex() { destroy(); }
};

// At namespace scope: a lock of the file, deleted at the library's stop.
// Its entry runs before every other start and stops after every other
// stop, so no registration taken down at stop makes the lock again.
#define RW_FILE_LOCK(name)                   \
  constinit RWStaticMutex name;              \
  void name##Destroy() { name.destroy(); }   \
  RW_STARTUP_FIRST(name##Entry, nullptr, name##Destroy)

// Holds a lock for the length of a scope.
class RWGuard {
 public:
  explicit RWGuard(RWStaticMutex& m) : m_(m) { m_.acquire(); }
  ~RWGuard() { m_.release(); }
  RWGuard(const RWGuard&) = delete;
  RWGuard& operator=(const RWGuard&) = delete;

 private:
  RWStaticMutex& m_;
};

#endif
