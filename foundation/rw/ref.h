#ifndef RW_REF_H
#define RW_REF_H

// A reference count that any number of threads may change at once.
//
// The count is stored as the number of references minus one: a new object
// starts at 0. removeReference answers the count read before the decrement,
// in the same atomic step, so exactly one of several releasing threads sees
// 0 and must destroy the object.
//
// Memory order: taking a reference needs no ordering (the taker already
// holds a reference, or owns the object outright), so the increment is
// relaxed. The decrement is acquire-release: every release publishes the
// releasing thread's use of the object, and the thread that sees 0 has
// seen all of them before it destroys the object. references() reads with
// acquire, so a holder that finds itself alone (copy on write) sees the
// other holders' last uses before it changes the object in place.
//
// The count is a 32-bit atomic, lock-free on every target we build for,
// so the kernel driver needs no runtime support for it.

#include <atomic>
#include <cstdint>

class RWStaticMutex;

class RWReference {
 public:
  constexpr RWReference() noexcept : refs_(0) {}
  explicit constexpr RWReference(int32_t initial) noexcept : refs_(initial) {}
  // A count belongs to its object: copies start their own.
  RWReference(const RWReference&) = delete;
  RWReference& operator=(const RWReference&) = delete;

  void addReference() { refs_.fetch_add(1, std::memory_order_relaxed); }
  int32_t removeReference() { return refs_.fetch_sub(1, std::memory_order_acq_rel); }
  // The forms that named the lock the count was changed under. The count
  // needs no lock now; they stay so that code written against them builds.
  void addReference(RWStaticMutex&) { addReference(); }
  int32_t removeReference(RWStaticMutex&) { return removeReference(); }

  // The number of references minus one.
  int32_t references() const { return refs_.load(std::memory_order_acquire); }
  void setRefCount(int32_t value) { refs_.store(value, std::memory_order_release); }

 private:
  std::atomic<int32_t> refs_;
  static_assert(std::atomic<int32_t>::is_always_lock_free, "a count must never need a lock or a runtime call");
};

#endif
