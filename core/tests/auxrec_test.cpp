// The exported auxiliary records.

#include <gtest/gtest.h>

#include <chrono>

#include "core/auxrec.h"

namespace {

class Descriptor : public GNamedDescriptor {
 public:
  using GNamedDescriptor::GNamedDescriptor;
  void describe() override { firstText() = "first"; }
  void release() override { secondText() = "second"; }
};

int64_t unixNow() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

TEST(AuxiliaryRecords, ADescriptorKeepsItsNameAndItsSubclassFillsTheTexts) {
  Descriptor d(-1, 2, RWWString("Tray 1"));
  EXPECT_EQ(d.firstNumber(), -1);
  EXPECT_EQ(d.secondNumber(), 2);
  EXPECT_TRUE(d.name() == RWWString("Tray 1"));
  EXPECT_TRUE(d.firstText().isNull());
  EXPECT_TRUE(d.secondText().isNull());
  d.describe();
  d.release();
  EXPECT_TRUE(d.firstText() == "first");
  EXPECT_TRUE(d.secondText() == "second");
}

TEST(AuxiliaryRecords, DateAndTimeValues) {
  const struct {
    int64_t unix;
    uint32_t date;
    uint32_t time;
  } cases[] = {
      {0, 2440588, 2177452800u},
      {946684800, 2451545, 3124137600u},    // 1 January 2000
      {946684799, 2451544, 3124137599u},    // the second before
      {-2177452800LL, 2415386, 0},          // 1 January 1901
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GStampedRecord::dateValue(c.unix), c.date) << c.unix;
    EXPECT_EQ(GStampedRecord::timeValue(c.unix), c.time) << c.unix;
  }
}

TEST(AuxiliaryRecords, AStampedRecordIsStampedWhenMade) {
  const int64_t before = unixNow();
  GStampedRecord r(7, 8, RWCString("one"), 9, RWCString("two"));
  const int64_t after = unixNow();
  EXPECT_EQ(r.firstNumber(), 7u);
  EXPECT_EQ(r.secondNumber(), 8u);
  EXPECT_EQ(r.thirdNumber(), 0u);
  EXPECT_EQ(r.fourthNumber(), 9u);
  EXPECT_TRUE(r.firstText() == "one");
  EXPECT_TRUE(r.secondText() == "two");
  EXPECT_GE(r.creationTime(), GStampedRecord::timeValue(before));
  EXPECT_LE(r.creationTime(), GStampedRecord::timeValue(after));
  EXPECT_GE(r.creationDate(), GStampedRecord::dateValue(before));
  EXPECT_LE(r.creationDate(), GStampedRecord::dateValue(after));
  r.setThirdNumber(0xFFFFFFFFu);
  EXPECT_EQ(r.thirdNumber(), 0xFFFFFFFFu);
}
