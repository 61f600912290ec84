#ifndef CORE_MAYBEOWN_H
#define CORE_MAYBEOWN_H

// A pointer that is either borrowed (the giver keeps it alive and frees it)
// or owned (freed here with Free when it is replaced or the holder goes).
//
// Replacing the held pointer frees an owned one, unless the new pointer is
// the very same: a holder handed back what it holds keeps it alive and
// takes the new ownership flag. A null pointer is never owned. The holder
// is neither copied nor moved: the classes that hold one decide what their
// copies borrow or own.

#include <memory>

template <class T, class Free = std::default_delete<T>>
class GMaybeOwned {
 public:
  GMaybeOwned() = default;
  GMaybeOwned(const GMaybeOwned&) = delete;
  GMaybeOwned& operator=(const GMaybeOwned&) = delete;
  ~GMaybeOwned() { reset(); }

  // Holds p, owned when owns is true; an owned pointer held before is freed.
  void reset(T* p = nullptr, bool owns = false) {
    if (owns_ && ptr_ != p) Free()(ptr_);
    ptr_ = p;
    owns_ = p && owns;
  }
  void borrow(T* p) { reset(p, false); }
  void own(T* p) { reset(p, true); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  bool owns() const { return owns_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
  bool owns_ = false;
};

// The deleter of a buffer made with new[].
template <class T>
struct GArrayFree {
  void operator()(T* p) const { delete[] p; }
};

#endif
