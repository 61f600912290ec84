#ifndef KERNEL_TESTS_POOLFIX_H
#define KERNEL_TESTS_POOLFIX_H

// The engine's pool run dry at each block of a step in turn.
//
// The step runs once a budget, from `from` up to `to` (excluded), the pool
// answering null after that many blocks. Then, with no limit again,
// takeDown(succeeded) gives back what a step that succeeded keeps, and
// nothing may be left alive that was not alive before the step; after a
// step that failed, next() shows that the next attempt works, and leaves no
// more alive either. The loop stops at
// the first budget with a failure; it answers how many budgets failed the
// step. (The test program's own blocks come from the pool too: the budget
// is set after anything the loop itself allocates.)

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/engine/engine.h"

// The blocks a step takes from the pool when the pool has plenty.
inline long poolBlocksTaken(const std::function<void()>& step) {
  constexpr long kPlenty = 1000000;
  eng::knobs().poolBlocks = kPlenty;
  step();
  const long taken = kPlenty - eng::knobs().poolBlocks;
  eng::knobs().poolBlocks = -1;
  return taken;
}

inline long forEachPoolBudget(long from, long to, const std::function<bool()>& step,
                              const std::function<void(bool succeeded)>& takeDown,
                              const std::function<void()>& next) {
  long failures = 0;
  for (long budget = from; budget < to; ++budget) {
    SCOPED_TRACE("pool blocks " + std::to_string(budget));
    const eng::Live start = eng::live();
    eng::knobs().poolBlocks = budget;
    const bool succeeded = step();
    const bool ranDry = eng::knobs().poolBlocks == 0;
    eng::knobs().poolBlocks = -1;
    EXPECT_TRUE(ranDry);
    takeDown(succeeded);
    if (succeeded) {
      EXPECT_EQ(eng::live(), start);
    } else {
      ++failures;
      // A failed allocation may make the driver give back what it keeps
      // in reserve: fewer blocks may be alive, never more, and the next
      // attempt shows a leak too.
      for (bool after : {false, true}) {
        if (after) next();
        eng::Live now = eng::live();
        EXPECT_LE(now.blocks, start.blocks) << (after ? "after the next attempt" : "after the failure");
        now.blocks = start.blocks;
        EXPECT_EQ(now, start);
      }
    }
    if (::testing::Test::HasFailure()) break;
  }
  return failures;
}

#endif
