// Capability sets: growth, the list questions, refused sizes, and the
// stored form with counts that are not trusted.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "devfix.h"
#include "device/capabil.h"

namespace {

struct Growth {
  const char* what;
  uint32_t size;
  std::function<void(GCapabilities&)> act;
  uint32_t sizeAfter;
  std::vector<uint32_t> setAfter;
};

TEST(Capabilities, GrowToHoldWhatIsSet) {
  const uint32_t thirtyFive[] = {30, 5};
  const Growth cases[] = {
      {"nothing on 0 bits", 0, [](GCapabilities&) {}, 0, {}},
      {"set 0 on 0 bits", 0, [](GCapabilities& c) { c.set(0); }, 1, {0}},
      {"set 8 on 8 bits", 8, [](GCapabilities& c) { c.set(8); }, 9, {8}},
      {"set 20 on 8 bits", 8, [](GCapabilities& c) { c.set(20); }, 21, {20}},
      {"set 3 on 8 bits", 8, [](GCapabilities& c) { c.set(3); }, 8, {3}},
      {"setMany 30, 5 on 0 bits", 0, [&](GCapabilities& c) { c.setMany(thirtyFive, 2); }, 31, {5, 30}},
      {"setMany of an empty list", 4, [&](GCapabilities& c) { c.setMany(thirtyFive, 0); }, 4, {}},
      {"clear beyond the set", 4, [](GCapabilities& c) { c.set(2); c.clear(9); c.clear(2); }, 4, {}},
  };
  for (const Growth& g : cases) {
    SCOPED_TRACE(g.what);
    GCapabilities caps(7, g.size);
    g.act(caps);
    EXPECT_EQ(caps.size(), g.sizeAfter);
    EXPECT_EQ(caps.count(), g.setAfter.size());
    for (uint32_t n : g.setAfter) EXPECT_TRUE(caps.contains(n)) << n;
  }
  GCapabilities empty;
  EXPECT_FALSE(empty.contains(0));
}

TEST(Capabilities, AnswersInRangeAllAndAnyForAList) {
  const uint32_t list[] = {1, 4, 12};
  GCapabilities caps(0, 10, list, 2);  // 1 and 4; 12 not yet
  EXPECT_EQ(caps.size(), 10u);
  EXPECT_EQ(caps.inRange(list, 0), 1);
  EXPECT_EQ(caps.all(list, 0), 1);
  EXPECT_EQ(caps.any(list, 0), 0);
  EXPECT_EQ(caps.all(list, 2), 1);
  EXPECT_EQ(caps.inRange(list, 3), 0);
  EXPECT_EQ(caps.all(list, 3), 0) << "12 lies beyond the size though 1 and 4 are set";
  EXPECT_EQ(caps.any(list, 3), 1);
  const uint32_t unset[] = {0, 40};
  EXPECT_EQ(caps.any(unset, 2), 0);
  caps.clearMany(list, 3);
  EXPECT_EQ(caps.count(), 0u);
  EXPECT_EQ(caps.size(), 10u) << "clearing never shrinks";
}

TEST(Capabilities, ANumberNoVectorCanHoldIsRefused) {
  GCapabilities caps(0, 8, 3);
  EXPECT_EQ(caps.set(0xFFFFFFFFu), 0);
  const uint32_t list[] = {6, 0xFFFFFFFFu};
  EXPECT_EQ(caps.setMany(list, 2), 0);
  EXPECT_EQ(caps.size(), 8u);
  EXPECT_EQ(caps.count(), 1u) << "not even 6 of the refused list was set";
  EXPECT_TRUE(caps.contains(3));
  EXPECT_FALSE(caps.contains(0xFFFFFFFFu));
}

TEST(Capabilities, MatchesByIdAndBits) {
  GCapabilities a(4, 10, 2), b(4, 10, 2), otherId(5, 10, 2), longer(4, 11, 2);
  EXPECT_TRUE(a.matches(&b));
  EXPECT_FALSE(a.matches(&otherId));
  EXPECT_FALSE(a.matches(&longer)) << "a size of 11 is another set";
  b.set(9);
  EXPECT_FALSE(a.matches(&b));
  GCapabilities copy(b);
  EXPECT_TRUE(copy.matches(&b));
  copy = a;
  EXPECT_TRUE(copy.matches(&a));
}

class CapabilitiesStore : public StoreTest {};

TEST_F(CapabilitiesStore, TenBitsStoreAsVersionCountAndTwoBytes) {
  GCapabilities caps(3, 10);
  caps.set(0);
  caps.set(9);
  caps.setSerialNumber(77);
  const std::string expected = fileHead(1003) + rootLevel(3, 77) + le32(1) + le32(10) + bytes({0x01, 0x02});
  EXPECT_EQ(storeFile(&caps), expected);
  EXPECT_EQ(caps.binaryStoreSize(), expected.size() - 6);
}

TEST_F(CapabilitiesStore, ARestoreThatCannotCompleteKeepsTheBits) {
  const struct {
    const char* what;
    std::string level;
  } cases[] = {
      {"a stored count of 0", le32(1) + le32(0)},
      {"a count longer than the file", le32(1) + le32(40) + bytes({0xFF})},
      {"a count near 2^32", le32(1) + le32(0xFFFFFFF9u) + bytes({0xFF, 0xFF})},
      {"another version", le32(2) + le32(8) + bytes({0xFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    putBytes(fileHead(1003) + rootLevel(3, 9) + c.level);
    GCapabilities caps(3, 12, 11);
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(caps);
    EXPECT_EQ(caps.size(), 12u);
    EXPECT_EQ(caps.count(), 1u);
    EXPECT_TRUE(caps.contains(11));
  }
}

}  // namespace
