// Bit vectors, pointer vectors and the buffer helpers.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "rw/bitvec.h"
#include "rw/bufhelp.h"
#include "rw/gvector.h"
#include "rw/rwerr.h"
#include "testkit/reports.h"

namespace {

class Reports : public ::testing::Test {
 protected:
  ReportLog reports;
};

std::vector<unsigned char> bytesOf(const RWBitVec& v) {
  return std::vector<unsigned char>(v.data(), v.data() + (v.length() + 7) / 8);
}

using BitVecTest = Reports;

TEST_F(BitVecTest, SpareBitsAreIgnoredByComparisonsAndSum) {
  const unsigned char ff[] = {0xFF, 0xFF};
  const unsigned char f0f[] = {0xFF, 0x0F};
  RWBitVec v(ff, 12), w(f0f, 12);
  EXPECT_TRUE(v == TRUE);
  EXPECT_FALSE(v == FALSE);
  EXPECT_EQ(sum(v), 12u);
  EXPECT_TRUE(v.isEqual(w));
  EXPECT_FALSE(v.isEqual(RWBitVec(ff, 11)));  // lengths differ

  const unsigned char low[] = {0x00, 0xF0};
  EXPECT_TRUE(RWBitVec(low, 12) == FALSE);
  EXPECT_TRUE(RWBitVec() == TRUE);  // no bits: every one of them equals anything
  EXPECT_TRUE(RWBitVec() == FALSE);
  EXPECT_EQ(RWBitVec().data(), nullptr);

  EXPECT_TRUE(RWBitVec(12, TRUE) == TRUE);
  EXPECT_EQ(bytesOf(RWBitVec(12, TRUE)), (std::vector<unsigned char>{0xFF, 0xFF}));
  EXPECT_TRUE(RWBitVec(12) == FALSE);

  // Assigning a truth value sets the spare bits too.
  RWBitVec z(12);
  z = TRUE;
  EXPECT_EQ(bytesOf(z), (std::vector<unsigned char>{0xFF, 0xFF}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(BitVecTest, ResizeClearsNewBits) {
  RWBitVec v(3, TRUE);
  v.resize(12);
  EXPECT_EQ(v.length(), 12u);
  EXPECT_EQ(bytesOf(v), (std::vector<unsigned char>{0x07, 0x00}));
  for (unsigned i = 0; i < 12; ++i) EXPECT_EQ(v.testBit(i), i < 3 ? TRUE : FALSE) << i;

  // Shrinking keeps the spare bits; growing again clears them.
  RWBitVec w(8, TRUE);
  w.resize(3);
  EXPECT_EQ(w.data()[0], 0xFF);
  w.resize(5);
  EXPECT_EQ(w.data()[0], 0x07);
  w.resize(0);
  EXPECT_EQ(w.data(), nullptr);
  w.resize(9);
  EXPECT_TRUE(w == FALSE);
  EXPECT_TRUE(reports.empty());
}

TEST_F(BitVecTest, HashesTheBitsAndTheirCount) {
  struct Case {
    std::vector<unsigned char> bytes;
    unsigned n;
    uint32_t hash;
  } cases[] = {
      {{}, 0, 0},
      {{0x00}, 8, 256},
      {{0x5A}, 8, 256 ^ 0x5A},
      {{0xFF, 0xFF}, 12, 0x2FEF},
      {{0xFF, 0x0F}, 12, 0x2FEF},  // the spare bits do not count
      {{0x01, 0x02, 0xF3}, 20, 0xA0443},
      {std::vector<unsigned char>(8, 0xFF), 64, 0x318C24D9},  // the rotation wraps
  };
  for (const Case& c : cases) EXPECT_EQ(RWBitVec(c.bytes.data(), c.n).hash(), c.hash) << c.n;
}

TEST_F(BitVecTest, LogicalOperations) {
  const unsigned char a[] = {0x3C, 0x0F}, b[] = {0x0F, 0x05};
  RWBitVec x(a, 12), y(b, 12);
  EXPECT_EQ(bytesOf(x & y), (std::vector<unsigned char>{0x0C, 0x05}));
  EXPECT_EQ(bytesOf(x | y), (std::vector<unsigned char>{0x3F, 0x0F}));
  EXPECT_EQ(bytesOf(x ^ y), (std::vector<unsigned char>{0x33, 0x0A}));
  // Complement inverts every byte, spare bits included.
  EXPECT_EQ(bytesOf(!x), (std::vector<unsigned char>{0xC3, 0xF0}));
  EXPECT_EQ(sum(!x), 4u);
  EXPECT_EQ(bytesOf(x), (std::vector<unsigned char>{0x3C, 0x0F}));  // operands untouched
  EXPECT_TRUE(reports.empty());
}

TEST_F(BitVecTest, UnequalLengthsAreReportedAndOnlyCommonBytesCombined) {
  const unsigned char eight[] = {0xF0}, nine[] = {0x0F, 0x01};
  RWBitVec v8(eight, 8), v9(nine, 9);

  RWBitVec r = v8 | v9;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, "[NEVECL] Unequal vector lengths: 8 versus 9");
  EXPECT_TRUE(reports[0].internal);
  EXPECT_FALSE(reports[0].bounds);
  EXPECT_EQ(r.length(), 8u);
  EXPECT_EQ(bytesOf(r), (std::vector<unsigned char>{0xFF}));

  // The right operand is shorter: its one byte is all that may be read (the
  // sanitizer build catches a read of a second). The left's second byte stays.
  reports.clear();
  RWBitVec s = v9 & v8, t = v9 ^ v8;
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].text, "[NEVECL] Unequal vector lengths: 9 versus 8");
  EXPECT_EQ(s.length(), 9u);
  EXPECT_EQ(bytesOf(s), (std::vector<unsigned char>{0x00, 0x01}));
  EXPECT_EQ(bytesOf(t), (std::vector<unsigned char>{0xFF, 0x01}));

  // Against an empty vector nothing is combined.
  reports.clear();
  RWBitVec u = v9 | RWBitVec();
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(bytesOf(u), bytesOf(v9));
}

TEST_F(BitVecTest, FirstTrueAndFirstFalse) {
  struct Case {
    std::vector<unsigned char> bytes;
    unsigned m;
    int32_t firstTrue, firstFalse;
  } cases[] = {
      {{0x00, 0x04}, 16, 10, 0},
      {{0x00, 0x04}, 10, -1, 0},  // bit 10 is not among the first 10
      {{0x00, 0x04}, 11, 10, 0},
      {{0xFF, 0x07}, 12, 0, 11},
      {{0xFF, 0x07}, 11, 0, -1},
      {{0xFF, 0xFF}, 16, 0, -1},
      {{0x00, 0x00}, 16, -1, 0},
      {{0x80}, 8, 7, 0},
      {{}, 0, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rwFirstTrue(c.bytes.data(), c.m), c.firstTrue) << c.m;
    EXPECT_EQ(rwFirstFalse(c.bytes.data(), c.m), c.firstFalse) << c.m;
    RWBitVec v(c.bytes.data(), c.m);
    EXPECT_EQ(v.firstTrue(), c.firstTrue);
    EXPECT_EQ(v.firstFalse(), c.firstFalse);
  }
}

TEST_F(BitVecTest, BitAccessChecksTheIndex) {
  RWBitVec v(12);
  v.setBit(11);
  v.setBit(0);
  v.setBit(3, TRUE);
  EXPECT_EQ(bytesOf(v), (std::vector<unsigned char>{0x09, 0x08}));
  v.clearBit(0);
  EXPECT_TRUE(v[3]);
  EXPECT_FALSE(v[0]);
  EXPECT_TRUE(reports.empty());

  EXPECT_FALSE(v.testBit(12));
  v.setBit(12);
  v.setBit(RW_NPOS);
  EXPECT_EQ(bytesOf(v), (std::vector<unsigned char>{0x08, 0x08}));
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].text, indexErr(12, 12));
  EXPECT_TRUE(reports[0].bounds);
  EXPECT_EQ(reports[2].text, indexErr(0xFFFFFFFF, 12));
}

TEST_F(BitVecTest, CopiesOwnTheirBytes) {
  const unsigned char a[] = {0x5A};
  RWBitVec v(a, 8), c(v), d;
  d = v;
  v.setBit(0);
  EXPECT_EQ(c.data()[0], 0x5A);
  EXPECT_EQ(d.data()[0], 0x5A);
  EXPECT_NE(c.data(), v.data());
  const RWBitVec& same = d;  // assigned to itself
  d = same;
  EXPECT_EQ(d.data()[0], 0x5A);
  d = RWBitVec();
  EXPECT_EQ(d.length(), 0u);
  EXPECT_EQ(d.data(), nullptr);
}

using PtrVectorTest = Reports;

TEST_F(PtrVectorTest, ReshapeResizeAndCopy) {
  int a, b;
  RWPtrVector v(3, &a);
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(v(i), &a);
  void** before = v.data();
  v.reshape(3);
  EXPECT_EQ(v.data(), before);  // the same count changes nothing

  v[1] = &b;
  v.resize(5);
  EXPECT_EQ(v.length(), 5u);
  EXPECT_EQ(v(0), &a);
  EXPECT_EQ(v(1), &b);
  EXPECT_EQ(v(3), nullptr);
  EXPECT_EQ(v(4), nullptr);

  RWPtrVector c(v);
  c.fill(nullptr);
  EXPECT_EQ(v(1), &b);
  c = v;
  EXPECT_EQ(c(1), &b);
  EXPECT_NE(c.data(), v.data());
  const RWPtrVector& same = c;  // assigned to itself
  c = same;
  EXPECT_EQ(c(1), &b);

  v.reshape(0);
  EXPECT_EQ(v.length(), 0u);
  EXPECT_EQ(v.data(), nullptr);
  EXPECT_TRUE(reports.empty());
}

TEST_F(PtrVectorTest, IndexErrors) {
  int a;
  RWPtrVector v(2, &a);
  EXPECT_EQ(v[2], nullptr);
  v[RW_NPOS] = &a;  // lands in a scratch slot, not in the vector
  const RWPtrVector& cv = v;
  EXPECT_EQ(cv[7], nullptr);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].text, indexErr(2, 2));
  EXPECT_TRUE(reports[0].bounds);
  EXPECT_EQ(reports[1].text, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_TRUE(reports[1].bounds);
  EXPECT_EQ(reports[2].text, indexErr(7, 2));
  EXPECT_EQ(v[0], &a);
  EXPECT_EQ(v[1], &a);
}

using BufferTest = Reports;

TEST_F(BufferTest, Growth) {
  struct Case {
    RWsize capacity, size, grown;
  } cases[] = {
      {0, 4, 16},
      {15, 4, 16},
      {15, 0x10000000, 16},
      {16, 4, 32},
      {100, 8, 200},
      {0x1FFFFFFF, 4, 0x3FFFFFFE},                    // 0x7FFFFFFC bytes: still doubles
      {0x7FFFFFFF, 1, 0xFFFFFFFE},                    // exactly 0x7FFFFFFF bytes
      {0x20000000, 4, 0x1FFFFFFFu + 0x10000000u},     // the step towards the limit
      {0xFFFFFFFC, 1, 0x7FFFFFFFu + 0x7FFFFFFEu},     // 0xFFFFFFFC bytes: the last that grows
  };
  for (const Case& c : cases) EXPECT_EQ(rwNewCapacity(c.capacity, c.size), c.grown) << c.capacity << " x " << c.size;
  EXPECT_TRUE(reports.empty());
}

TEST_F(BufferTest, GrowthOverflowIsReported) {
  const std::string ovflow =
      "[OVFLOW] Overflow error -> \"Buffer may not resize larger than\" <- (4294967295 max characters)";
  struct Case {
    RWsize capacity, size;
  } cases[] = {
      {0xFFFFFFFD, 1},  // 0xFFFFFFFD bytes
      {0xFFFFFFFF, 1},
      {0x80000000, 4},  // 2^33 bytes: would wrap in 32 bits
      {0x40000000, 4},  // exactly 2^32 bytes: would wrap to 0
      {0x3FFFFFFF, 4},  // the step would come out smaller than the buffer
      {0x80000000, 0},  // doubling would leave 32 bits
  };
  for (const Case& c : cases) {
    reports.clear();
    EXPECT_EQ(rwNewCapacity(c.capacity, c.size), 0u) << c.capacity << " x " << c.size;
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text, ovflow);
    EXPECT_TRUE(reports[0].bounds);
  }
}

TEST(SmallBlockCache, KeepsAtMostFivePerClassAndEmptiesAll) {
  rwSmallEmpty();
  std::vector<void*> blocks;
  for (int i = 0; i < 7; ++i) blocks.push_back(rwSmallAlloc(3));
  void* big = rwSmallAlloc(11);
  void* ten = rwSmallAlloc(10);
  for (void* p : blocks) rwSmallRelease(p, 3);
  rwSmallRelease(big, 11);  // not cached: freed at once
  rwSmallRelease(ten, 10);
  EXPECT_EQ(rwSmallCached(3), 5u);
  EXPECT_EQ(rwSmallCached(4), 5u);  // 3 and 4 share the 4-byte class
  EXPECT_EQ(rwSmallCached(10), 1u);
  EXPECT_EQ(rwSmallCached(1), 0u);
  EXPECT_EQ(rwSmallCached(11), 0u);

  // A cached block is handed out again, and it is one of those released.
  void* again = rwSmallAlloc(4);
  EXPECT_TRUE(std::set<void*>(blocks.begin(), blocks.end()).count(again));
  EXPECT_EQ(rwSmallCached(4), 4u);
  static_cast<unsigned char*>(again)[3] = 1;  // the block holds the rounded size
  rwSmallRelease(again, 4);

  rwSmallEmpty();
  for (RWsize size = 1; size <= 10; ++size) EXPECT_EQ(rwSmallCached(size), 0u);
  // The sanitizer build checks that every block was freed exactly once.
}

int compareInt(const void* element, const void* key) {
  const int a = *static_cast<const int*>(element), b = *static_cast<const int*>(key);
  return a < b ? -1 : a > b;
}

TEST(BinarySearch, FindsAKeyOrWhereItWouldGo) {
  const int sorted[] = {1, 3, 5, 7, 9};
  struct Case {
    int key;
    RWsize count;
    RWBoolean found;
    RWsize index;
  } cases[] = {
      {5, 0, FALSE, 0},  // empty
      {1, 5, TRUE, 0},  {9, 5, TRUE, 4}, {5, 5, TRUE, 2}, {7, 5, TRUE, 3},
      {4, 5, FALSE, 1}, {0, 5, FALSE, 0}, {10, 5, FALSE, 4},
      {1, 1, TRUE, 0},  {2, 1, FALSE, 0},
  };
  for (const Case& c : cases) {
    RWsize index = 99;
    EXPECT_EQ(rwBsearch(&c.key, sorted, c.count, sizeof(int), compareInt, &index), c.found) << c.key;
    EXPECT_EQ(index, c.index) << c.key;
  }
  EXPECT_EQ(rwLibraryVersion(), 0x0700u);
}

}  // namespace
