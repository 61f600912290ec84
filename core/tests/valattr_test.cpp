// Value, 32-bit value, range and string attributes: range arithmetic,
// equality, visits and stored forms.

#include <gtest/gtest.h>

#include <memory>

#include "attrfix.h"
#include "core/valattr.h"
#include "fixtures.h"

namespace {

TEST(RangeAttribute, Arithmetic) {
  enum Op { none, increment, decrement, setValue, setMaximum, setMinimum, setStepThenUp, setStepThenDown };
  const struct {
    int16_t min, max, step, value;
    Op op;
    int16_t arg;
    int16_t wantMin, wantMax, wantStep, wantValue;
  } cases[] = {
      {5, 1, 0, 9, none, 0, 5, 5, 1, 5},                        // maximum raised, value clamped, step 1
      {0, 10, 2, -3, none, 0, 0, 10, 2, 0},                     // value raised to the minimum
      {0, 10, 2, -3, setValue, 12, 0, 10, 2, 10},               // lowered to the maximum
      {0, 10, -2, 5, none, 0, 0, 10, -2, 5},                    // a negative step stays
      {0, 32767, 1, 32767, increment, 0, 0, 32767, 1, 0},       // wraps to -32768, raised to 0
      {-32768, 0, 1, -32768, decrement, 0, -32768, 0, 1, 0},    // wraps to 32767, lowered to 0
      {0, 10, 3, 9, increment, 0, 0, 10, 3, 10},
      {0, 10, 3, 1, decrement, 0, 0, 10, 3, 0},
      {0, 10, 1, 4, setStepThenUp, 0, 0, 10, 0, 4},             // step 0 freezes
      {0, 10, 1, 4, setStepThenDown, 0, 0, 10, 0, 4},
      {0, 10, 1, 8, setMaximum, 5, 0, 5, 1, 8},                 // the value does not move
      {0, 10, 1, 8, setMaximum, -3, 0, 0, 1, 8},
      {0, 10, 1, 2, setMinimum, 10, 10, 10, 1, 2},
      {0, 10, 1, 2, setMinimum, 20, 10, 10, 1, 2},
  };
  for (const auto& c : cases) {
    GRangeAttribute r(c.min, c.max, c.step, c.value, 1);
    switch (c.op) {
      case none: break;
      case increment: r.increment(); break;
      case decrement: r.decrement(); break;
      case setValue: r.setValue(c.arg); break;
      case setMaximum: r.setMaximum(c.arg); break;
      case setMinimum: r.setMinimum(c.arg); break;
      case setStepThenUp: r.setStep(0); r.increment(); break;
      case setStepThenDown: r.setStep(0); r.decrement(); break;
    }
    SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " step " << c.step << " value " << c.value
                                    << " op " << c.op);
    EXPECT_EQ(r.minimum(), c.wantMin);
    EXPECT_EQ(r.maximum(), c.wantMax);
    EXPECT_EQ(r.step(), c.wantStep);
    EXPECT_EQ(r.value(), c.wantValue);
  }
  GRangeAttribute r(0, 10, 1, 8, 1);
  r.setMaximum(5);
  r.increment();
  EXPECT_EQ(r.value(), 5) << "the next step clamps";
  EXPECT_EQ(r.contains(0), 1);
  EXPECT_EQ(r.contains(5), 1);
  EXPECT_EQ(r.contains(6), 0);
  EXPECT_EQ(r.contains(-1), 0);
  GRangeAttribute d;
  EXPECT_EQ(d.step(), 1);
}

TEST(ValueAttributes, FlagsAndEquality) {
  GValueAttribute v(0, 7);
  EXPECT_EQ(v.isZero(), 1);
  v.setBool(-5);
  EXPECT_EQ(v.value(), 1);
  EXPECT_EQ(v.isNonZero(), 1);
  EXPECT_EQ(v.kind(), 763);

  GValueAttribute same(1, 7), otherId(1, 8), otherValue(2, 7);
  same.resetChanged();
  EXPECT_TRUE(v.matches(&same)) << "flag and serial number take no part";
  EXPECT_FALSE(v.matches(&otherId));
  EXPECT_FALSE(v.matches(&otherValue));
  GValue32Attribute wide(1, 7);
  EXPECT_FALSE(v.matches(&wide)) << "another class";

  GStringAttribute a("abc", 3), b(RWCString("abc"), 3), longer(RWCString("abc\0", 4), 3);
  EXPECT_TRUE(a.matches(&b));
  EXPECT_FALSE(a.matches(&longer)) << "length counts";
  GStringAttribute n1(static_cast<const char*>(nullptr), 3), n2("x", 3);
  n2.setValue(static_cast<const char*>(nullptr));
  EXPECT_EQ(n1.value().length(), 0u);
  EXPECT_TRUE(n1.matches(&n2));
  EXPECT_EQ(a.kind(), 776);

  GRangeAttribute r1(0, 10, 1, 5, 2), r2(0, 10, 2, 5, 2);
  EXPECT_FALSE(r1.matches(&r2));
  GRangeAttribute r3(r1);
  EXPECT_TRUE(r1.matches(&r3));
  EXPECT_EQ(r3.serialNumber(), r1.serialNumber());
}

TEST(ValueAttributes, Visits) {
  GValueAttribute v(1, 1);
  GStringAttribute s("a", 2);
  GRangeAttribute r(0, 1, 1, 0, 3);
  GValue32Attribute w(4, 4);
  RecordingStage stage;
  stage.answers[&r] = 9;
  EXPECT_EQ(v.accept(stage), 0);
  EXPECT_EQ(s.accept(stage), 0);
  EXPECT_EQ(r.accept(stage), 9);
  EXPECT_EQ(w.accept(stage), 0);
  EXPECT_EQ(stage.seen, (std::vector<const MPersistentObject*>{&v, &s, &r})) << "no handler for a 32-bit value";
  EXPECT_EQ(v.isChanged(), 1) << "accept leaves the flag";
}

class ValueStore : public StoreTest {
 protected:
  static std::string head(RWClassID classId, uint32_t id, uint32_t serial) {
    return le32(0x8888) + le16(classId) + le32(1) + le32(id) + le32(serial) + le32(1) + le32(1);
  }
};

TEST_F(ValueStore, StoredBytes) {
  MPersistentObject::presetSerialCounter(20);
  GValueAttribute v(-2, 7);                    // 20
  GValue32Attribute w(0xDEADBEEF, 8);          // 21
  GRangeAttribute r(-1, 10, 2, 4, 9);          // 22
  GStringAttribute s("abc", 3);                // 23
  const struct {
    const MPersistentObject* object;
    std::string bytes;
  } cases[] = {
      {&v, head(763, 7, 20) + le32(1) + le16(0xFFFE)},
      {&w, head(789, 8, 21) + le32(1) + le32(0xDEADBEEF)},
      {&r, head(762, 9, 22) + le32(1) + le16(0xFFFF) + le16(10) + le16(2) + le16(4)},
      {&s, head(776, 3, 23) + le32(1) + le32(3) + "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.object->isA());
    const std::string stored = storeFile(c.object);
    EXPECT_EQ(stored, c.bytes);
    EXPECT_EQ(c.object->binaryStoreSize() + 6, stored.size());
    std::unique_ptr<MPersistentObject> back(restoreFile<MPersistentObject>());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->isA(), c.object->isA());
    EXPECT_TRUE(back->matches(c.object));
    EXPECT_EQ(back->serialNumber(), c.object->serialNumber());
  }
}

TEST_F(ValueStore, AnotherVersionReadsNothingMore) {
  // Version 2 at the value level, then a word that must stay unread.
  putBytes(head(763, 7, 20) + le32(2) + le16(5) + le16(0));
  {
    GValueAttribute v;
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(v);
    EXPECT_EQ(v.value(), 0);
    EXPECT_EQ(v.id(), 7u);
    EXPECT_EQ(f.CurOffset(), 6 + 20 + 4) << "nothing read after the version word";
  }
}

TEST_F(ValueStore, ARestoredRangeIsNotClamped) {
  putBytes(head(762, 9, 22) + le32(1) + le16(10) + le16(0) + le16(0) + le16(50));
  std::unique_ptr<GRangeAttribute> r(restoreFile<GRangeAttribute>());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->minimum(), 10);
  EXPECT_EQ(r->maximum(), 0);
  EXPECT_EQ(r->step(), 0);
  EXPECT_EQ(r->value(), 50);
}

}  // namespace
