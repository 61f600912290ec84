#include "pdl/budget.h"

uint32_t GMemoryBudget::release(uint32_t n) {
  used_ = n > used_ ? 0 : used_ - n;
  return remaining();
}

uint32_t GMemoryBudget::reserve(uint32_t n) {
  if (remaining() < n) {
    used_ = limit_;
  } else {
    used_ += n;
  }
  return remaining();
}

uint32_t GMemoryBudget::setLimit(uint32_t n) {
  used_ = 0;
  limit_ = n;
  return n;
}

uint32_t GMemoryBudget::reset() {
  used_ = 0;
  return limit_;
}
