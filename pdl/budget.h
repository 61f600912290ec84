#ifndef PDL_BUDGET_H
#define PDL_BUDGET_H

// The printer memory that downloaded fonts may take: bytes used and the
// limit. It never fails: reserving more than remains pins used at the
// limit and answers 0, releasing more than is used pins used at 0.

#include <cstdint>

class GMemoryBudget {
 public:
  static constexpr uint32_t kDefaultLimit = 0x100000;

  GMemoryBudget() = default;
  explicit GMemoryBudget(uint32_t limit) : limit_(limit) {}

  bool operator==(const GMemoryBudget&) const = default;

  // Each answers what remains after the change.
  uint32_t release(uint32_t n);
  uint32_t reserve(uint32_t n);
  // used := 0, limit := n; answers n.
  uint32_t setLimit(uint32_t n);
  // used := 0; answers the limit.
  uint32_t reset();

  uint32_t remaining() const { return used_ > limit_ ? 0 : limit_ - used_; }
  uint32_t limit() const { return limit_; }
  uint32_t used() const { return used_; }

 private:
  uint32_t used_ = 0;
  uint32_t limit_ = kDefaultLimit;
};

#endif
