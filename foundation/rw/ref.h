#ifndef RW_REF_H
#define RW_REF_H

// A reference count changed only under a lock that the caller names.
//
// The count is stored as the number of references minus one: a new object
// starts at 0. removeReference answers the count read before the decrement,
// taken under the same lock, so exactly one of several releasing threads
// sees 0 and must destroy the object (outside the lock).

#include <cstdint>

// Only named here: holders of a count need not see the platform lock, and
// the code that takes references includes rw/mutex.h itself.
class RWStaticMutex;

class RWReference {
 public:
  constexpr RWReference() noexcept : refs_(0) {}
  explicit constexpr RWReference(int32_t initial) noexcept : refs_(initial) {}

  void addReference(RWStaticMutex& lock);
  int32_t removeReference(RWStaticMutex& lock);
  // The number of references minus one, read without the lock.
  int32_t references() const { return refs_; }
  void setRefCount(int32_t value) { refs_ = value; }

 private:
  int32_t refs_;
};

#endif
