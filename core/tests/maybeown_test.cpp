// The borrow-or-own holder: which pointers it frees, and when.

#include <gtest/gtest.h>

#include "core/maybeown.h"

namespace {

struct Counted {
  explicit Counted(int& deaths) : deaths(deaths) {}
  ~Counted() { ++deaths; }
  int& deaths;
};

TEST(MaybeOwned, FreesOnlyWhatItOwnsAndNeverWhatItIsHandedAgain) {
  int deaths = 0;
  Counted borrowed(deaths);
  {
    GMaybeOwned<Counted> holder;
    holder.borrow(&borrowed);
    EXPECT_FALSE(holder.owns());
    holder.reset();
    EXPECT_EQ(deaths, 0) << "a borrowed pointer is the giver's";

    auto* owned = new Counted(deaths);
    holder.own(owned);
    EXPECT_TRUE(holder.owns());
    holder.own(owned);
    EXPECT_EQ(deaths, 0) << "the same pointer handed again stays alive";
    holder.borrow(&borrowed);
    EXPECT_EQ(deaths, 1) << "an owned pointer replaced by another is freed";

    holder.own(nullptr);
    EXPECT_FALSE(holder.owns()) << "null is never owned";
    holder.own(new Counted(deaths));
  }
  EXPECT_EQ(deaths, 2) << "the holder frees what it owns when it goes";
}

TEST(MaybeOwned, AnArrayIsFreedWithItsOwnDeleter) {
  // Run under the sanitizers, a mismatched delete would be reported.
  GMaybeOwned<const int, GArrayFree<const int>> holder;
  holder.own(new int[4]{1, 2, 3, 4});
  EXPECT_EQ(holder.get()[3], 4);
  holder.own(new int[2]{5, 6});
  EXPECT_EQ(holder.get()[1], 6);
}

}  // namespace
