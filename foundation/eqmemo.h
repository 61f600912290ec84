#ifndef RW_EQMEMO_H
#define RW_EQMEMO_H

// Deep equality of collections, each pair of collections compared once.
//
// A collection compares its items with their isEqual, and an item may be a
// collection again. Distinct but equal collections that share their
// members level by level make the same pair of collections come up once for
// every path to it: exponential in the depth of the graph. While the
// outermost comparison of a thread runs, every ordered pair of collections
// met is remembered with its answer, so that each pair is compared once
// and the time is bounded by the pairs; the memo is forgotten when the
// outermost comparison ends.
//
// A pair met again while its own comparison still runs (a graph with a
// cycle) is taken as equal for that inner question. An answer that leaned
// on such an assumption about a pair further out is not remembered, since
// it holds only if that pair turns out equal.
//
// Nothing throws: when the memo cannot grow, the pair is compared as it
// would be without one.

#include <cstddef>

#include "rw/collect.h"

class RWComparison {
 public:
  RWComparison(const RWCollectable* a, const RWCollectable* b);
  RWComparison(const RWComparison&) = delete;
  RWComparison& operator=(const RWComparison&) = delete;
  // Ends a comparison that finish did not.
  ~RWComparison();

  // True when the answer is known without comparing the items.
  bool known() const { return known_; }
  RWBoolean answer() const { return answer_; }
  // Remembers the answer of the items' comparison, and answers it.
  RWBoolean finish(RWBoolean equal);

 private:
  const void* a_;
  const void* b_;
  bool known_ = false;
  bool entered_ = false;
  RWBoolean answer_ = FALSE;
};

// Compares a with b by compare() unless the pair's answer is known.
template <class Compare>
RWBoolean rwCompareOnce(const RWCollectable* a, const RWCollectable* b, Compare&& compare) {
  RWComparison once(a, b);
  if (once.known()) return once.answer();
  return once.finish(compare());
}

#endif
