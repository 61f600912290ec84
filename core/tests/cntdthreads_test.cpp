// Counted pointers shared between threads: every object is deleted exactly
// once, by whichever holder lets its last reference go, and never while a
// holder on another thread still uses it. Run under the sanitizers, these
// also show any count changed without a proper atomic step.

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "core/cntdptr.h"
#include "core/perobj.h"

namespace {

constexpr int kThreads = 4;

struct Deaths {
  std::atomic<int> originals{0};
  std::atomic<int> copies{0};
  std::atomic<int> copiesMade{0};
};

// Counts its destructions, telling the object it was made as from the
// copies take() makes of it. A copy reads the original's fields, so a copy
// made of an object already deleted shows under the address sanitizer.
class Tracked : public MPersistentObject {
 public:
  explicit Tracked(Deaths* deaths) : deaths_(deaths), original_(true) {}
  Tracked(const Tracked& other) : MPersistentObject(other), deaths_(other.deaths_), original_(false) {
    deaths_->copiesMade.fetch_add(1);
  }
  ~Tracked() override { (original_ ? deaths_->originals : deaths_->copies).fetch_add(1); }
  Tracked* copy() const override { return new Tracked(*this); }

 private:
  Deaths* deaths_;
  bool original_;
};

// Runs body(thread index) on kThreads threads and waits for all of them.
template <class Body>
void onThreads(Body body) {
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t) pool.emplace_back(body, t);
  for (std::thread& t : pool) t.join();
}

TEST(CountedPtrThreads, SharedAndPrivateObjectsEndWithExactCounts) {
  Deaths sharedDeaths;
  Deaths privateDeaths[kThreads];
  GCountedPtr shared[2] = {GCountedPtr(new Tracked(&sharedDeaths)), GCountedPtr(new Tracked(&sharedDeaths))};
  onThreads([&](int t) {
    GCountedPtr own(new Tracked(&privateDeaths[t]));
    std::vector<GCountedPtr> held;
    std::vector<GCountedRef> refs;
    for (int i = 0; i < 20000; ++i) {
      held.push_back(shared[i & 1]);
      held.push_back(own);
      refs.emplace_back(shared[(i + t) & 1].get());
      GCountedPtr moved(std::move(held.back()));
      held.back() = shared[(i + 1) & 1];  // replaces the moved-from nil
      if (held.size() >= 64) {
        held.clear();
        refs.clear();
      }
    }
    EXPECT_EQ(privateDeaths[t].originals.load(), 0) << "still held by the thread";
    held.clear();
    EXPECT_EQ(own->references(), 1) << "only its own pointer is left";
  });
  for (const Deaths& d : privateDeaths) EXPECT_EQ(d.originals.load(), 1) << "each private object once, at its thread's end";
  EXPECT_EQ(sharedDeaths.originals.load(), 0);
  EXPECT_EQ(shared[0]->references(), 1);
  EXPECT_EQ(shared[1]->references(), 1);
  shared[0] = nullptr;
  shared[1] = nullptr;
  EXPECT_EQ(sharedDeaths.originals.load(), 2);
}

// Rounds in which every thread holds a pointer to the same new object and
// all let go at once through letGo(pointer). Between rounds the previous
// round's object must be gone, deleted once.
template <class LetGo>
void raceForTheLast(Deaths& deaths, LetGo letGo) {
  constexpr int kRounds = 400;
  std::vector<GCountedPtr> slots(kThreads);
  int round = 0;
  // Runs on one thread while the others wait at the barrier.
  auto shareNext = [&]() noexcept {
    EXPECT_EQ(deaths.originals.load(), round) << "each earlier round's object deleted once";
    if (round++ == kRounds) return;
    Tracked* next = new Tracked(&deaths);
    for (GCountedPtr& s : slots) s = next;
  };
  std::barrier sync(kThreads, shareNext);
  onThreads([&](int t) {
    for (int r = 0; r < kRounds; ++r) {
      sync.arrive_and_wait();
      letGo(slots[t]);
    }
    sync.arrive_and_wait();
  });
  EXPECT_EQ(deaths.originals.load(), kRounds);
  EXPECT_EQ(deaths.copies.load(), deaths.copiesMade.load());
}

TEST(CountedPtrThreads, ReleasesRacingForTheLastReferenceDeleteOnce) {
  Deaths deaths;
  raceForTheLast(deaths, [](GCountedPtr& p) { p = nullptr; });
}

TEST(CountedPtrThreads, TakesRacingForTheLastReferenceEachGetAnObjectOfTheirOwn) {
  // Each take answers the object itself, once the others have let it go,
  // or a copy made while it was still shared; either way the caller's.
  Deaths deaths;
  raceForTheLast(deaths, [](GCountedPtr& p) {
    std::unique_ptr<MPersistentObject> taken(p.take());
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->references(), 0) << "nobody else counts it";
  });
  EXPECT_GT(deaths.copiesMade.load(), 0) << "some takes found the object still shared";
}

}  // namespace
