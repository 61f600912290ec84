#include "eqmemo.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr size_t kNoAssumption = std::numeric_limits<size_t>::max();

struct PairHash {
  size_t operator()(const std::pair<const void*, const void*>& p) const {
    const size_t a = std::hash<const void*>()(p.first);
    return a ^ (std::hash<const void*>()(p.second) + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2));
  }
};

// A pair whose comparison runs, at its depth in the stack of comparisons,
// or one that is decided.
struct Entry {
  enum State { kRunning, kEqual, kUnequal } state;
  size_t depth;
};

// One comparison in the stack: the shallowest running pair its answer
// assumed equal so far.
struct Frame {
  size_t assumed;
};

struct Memo {
  std::unordered_map<std::pair<const void*, const void*>, Entry, PairHash> pairs;
  std::vector<Frame> stack;
};

thread_local Memo memo;

}  // namespace

RWComparison::RWComparison(const RWCollectable* a, const RWCollectable* b) : a_(a), b_(b) {
  const auto key = std::make_pair(a_, b_);
  const auto found = memo.pairs.find(key);
  if (found != memo.pairs.end()) {
    known_ = true;
    const Entry& e = found->second;
    if (e.state == Entry::kRunning) {
      // A cycle: equal for now, and the comparison asking relies on it.
      if (!memo.stack.empty() && e.depth < memo.stack.back().assumed) memo.stack.back().assumed = e.depth;
      answer_ = TRUE;
    } else {
      answer_ = e.state == Entry::kEqual ? TRUE : FALSE;
    }
    return;
  }
  try {
    memo.stack.reserve(memo.stack.size() + 1);
    memo.pairs.emplace(key, Entry{Entry::kRunning, memo.stack.size()});
    memo.stack.push_back(Frame{kNoAssumption});
    entered_ = true;
  } catch (const std::bad_alloc&) {
    // Compared without the memo.
  }
}

RWComparison::~RWComparison() {
  if (entered_) finish(FALSE);
}

RWBoolean RWComparison::finish(RWBoolean equal) {
  if (!entered_) return equal;
  entered_ = false;
  const Frame frame = memo.stack.back();
  memo.stack.pop_back();
  const size_t depth = memo.stack.size();
  const auto found = memo.pairs.find(std::make_pair(a_, b_));
  if (frame.assumed < depth) {
    // Leaned on a pair further out that is still undecided: forgotten, and
    // the comparison asking leans on it too.
    if (found != memo.pairs.end()) memo.pairs.erase(found);
    if (!memo.stack.empty() && frame.assumed < memo.stack.back().assumed) memo.stack.back().assumed = frame.assumed;
  } else if (found != memo.pairs.end()) {
    found->second.state = equal ? Entry::kEqual : Entry::kUnequal;
  }
  if (memo.stack.empty()) {
    // The outermost comparison is over: the objects may change from now on.
    memo.pairs.clear();
  }
  return equal;
}
