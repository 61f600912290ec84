#include "rw/gvector.h"

#include <cstring>

#include "rw/rwerr.h"

namespace {

void** newSlots(RWsize n) { return n ? new void*[n] : nullptr; }

}  // namespace

RWPtrVector::RWPtrVector(RWsize n, void* value) : npts_(n), array_(newSlots(n)) { fill(value); }

RWPtrVector::RWPtrVector(const RWPtrVector& v) : npts_(v.npts_), array_(newSlots(v.npts_)) {
  if (npts_) std::memcpy(array_, v.array_, npts_ * sizeof(void*));
}

RWPtrVector::~RWPtrVector() { delete[] array_; }

RWPtrVector& RWPtrVector::operator=(const RWPtrVector& v) {
  if (array_ != v.array_) {
    void** slots = newSlots(v.npts_);
    if (v.npts_) std::memcpy(slots, v.array_, v.npts_ * sizeof(void*));
    delete[] array_;
    array_ = slots;
    npts_ = v.npts_;
  }
  return *this;
}

void RWPtrVector::fill(void* value) {
  for (RWsize i = 0; i < npts_; ++i) array_[i] = value;
}

void RWPtrVector::reshape(RWsize n) {
  if (n == npts_) return;
  void** slots = newSlots(n);
  const RWsize common = n < npts_ ? n : npts_;
  if (common) std::memcpy(slots, array_, common * sizeof(void*));
  delete[] array_;
  array_ = slots;
  npts_ = n;
}

void RWPtrVector::resize(RWsize n) {
  const RWsize old = npts_;
  reshape(n);
  for (RWsize i = old; i < npts_; ++i) array_[i] = nullptr;
}

bool RWPtrVector::boundsCheck(RWsize i) const {
  if (i < npts_) return true;
  rwReportIndex(i, npts_);
  return false;
}

void*& RWPtrVector::operator[](RWsize i) {
  if (boundsCheck(i)) return array_[i];
  thread_local void* scratch;
  scratch = nullptr;
  return scratch;
}

void* RWPtrVector::operator[](RWsize i) const { return boundsCheck(i) ? array_[i] : nullptr; }
