#ifndef RW_GVECTOR_H
#define RW_GVECTOR_H

// A vector of untyped pointers: a count and an array of that many slots.
// The hash tables keep their buckets in one.

#include "rw/defs.h"

class RWPtrVector {
 public:
  RWPtrVector() : npts_(0), array_(nullptr) {}
  explicit RWPtrVector(RWsize n, void* value = nullptr);  // n slots, each set to value
  RWPtrVector(const RWPtrVector&);
  ~RWPtrVector();

  RWPtrVector& operator=(const RWPtrVector&);

  void fill(void* value);
  // A new array of n slots holding the first min(old, n) pointers; slots
  // beyond the old count are not set.
  void reshape(RWsize n);
  // As reshape, with the slots beyond the old count set to null.
  void resize(RWsize n);

  RWsize length() const { return npts_; }
  void** data() { return array_; }
  void* const* data() const { return array_; }

  // Unchecked access.
  void*& operator()(RWsize i) { return array_[i]; }
  void* operator()(RWsize i) const { return array_[i]; }
  // Checked access: an index at or above the count is reported (NPOSINDEX
  // for RW_NPOS, else INDEXERR) and a scratch slot holding null is answered,
  // so the vector itself is never touched out of range.
  void*& operator[](RWsize i);
  void* operator[](RWsize i) const;

  // Reports an index at or above the count; answers whether it was valid.
  bool boundsCheck(RWsize i) const;

 private:
  RWsize npts_;
  void** array_;  // null when npts_ is 0
};

#endif
