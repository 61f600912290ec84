// Version information and PML descriptors: the version counters, the
// string list, matching, and the stored form with the second version word
// first.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devfix.h"
#include "device/pmdinfo.h"

namespace {

TEST(VersionInfo, CountersStopAtTheTop) {
  GPMDVersionInfo info(0x0001FFFF, 0x00020005, 1);
  EXPECT_EQ(info.nextMinorA(), 0xFFFF);
  EXPECT_EQ(info.versionA(), 0x0001FFFFu) << "the minor number stays at the top";
  EXPECT_EQ(info.nextMajorB(), 2);
  EXPECT_EQ(info.versionB(), 0x00030000u) << "major 3, minor 0";
  EXPECT_EQ(info.nextMinorB(), 0);
  EXPECT_EQ(info.versionB(), 0x00030001u);

  GPMDVersionInfo top(0xFFFF0007, 0, 1);
  EXPECT_EQ(top.nextMajorA(), 0xFFFF);
  EXPECT_EQ(top.versionA(), 0xFFFF0007u);
}

TEST(VersionInfo, StringsKeepTheirOrderPastTheFirst64) {
  GPMDVersionInfo info;
  for (int i = 0; i < 65; ++i) info.appendString(RWCString(std::to_string(i).c_str()));
  ASSERT_EQ(info.strings().entries(), 65u);
  for (int i = 0; i < 65; ++i) EXPECT_EQ(*info.strings().at(static_cast<RWsize>(i)), std::to_string(i).c_str());
  EXPECT_EQ(info.strings().capacity(), 128u);

  GPMDVersionInfo copy(info);
  EXPECT_TRUE(copy.matches(&info));
  info.clearStrings();
  EXPECT_EQ(info.strings().entries(), 0u);
  EXPECT_FALSE(copy.matches(&info));
}

TEST(StringVector, EqualStringsAndBadPositions) {
  GStringVector v;
  for (const char* s : {"a", "b", "a", "c", "a"}) v.append(s);
  EXPECT_EQ(v.index("c"), 3);
  EXPECT_EQ(v.index("z"), -1);
  EXPECT_EQ(v.occurrencesOf("a"), 3u);
  EXPECT_EQ(v.remove("b"), 1);
  EXPECT_EQ(v.remove("b"), 0);
  EXPECT_EQ(v.removeAll("a"), 3u);
  ASSERT_EQ(v.entries(), 1u);
  EXPECT_EQ(*v.at(0), "c");
  ReportLog reports;
  EXPECT_EQ(v.at(1), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, indexErr(1, 1));
}

TEST(VersionInfo, MatchesEveryNumberAndString) {
  GPMDVersionInfo a(1, 2, 3, 9), b(1, 2, 3, 9);
  EXPECT_TRUE(a.matches(&b));
  b.setValueB(4);
  EXPECT_FALSE(a.matches(&b));
  EXPECT_EQ(a.setValueB(4), 4u);
  EXPECT_TRUE(a.matches(&b));
  a.appendString("x");
  b.appendString("y");
  EXPECT_FALSE(a.matches(&b));
  GPMDVersionInfo otherId(1, 2, 3, 8);
  EXPECT_FALSE(GPMDVersionInfo(1, 2, 3, 9).matches(&otherId));
}

TEST(PMLDescriptor, MatchedAndOrderedByName) {
  GPMLDescriptor a(RWWString("Tray"), 1, "one"), b(RWWString("Tray"), 2, "two"), c(RWWString("tray"), 1);
  EXPECT_TRUE(a.matches(&b)) << "type and text do not count";
  EXPECT_FALSE(a.matches(&c));
  EXPECT_TRUE(a.lessThan(c)) << "upper case first, case counting";
  EXPECT_FALSE(c.lessThan(a));
  EXPECT_FALSE(a.lessThan(b));
  c.setNameAndType(RWWString("Tray"), 5);
  EXPECT_TRUE(a.matches(&c));
  EXPECT_EQ(c.type(), 5);
}

class VersionStore : public StoreTest {};

TEST_F(VersionStore, TheSecondVersionWordIsStoredFirst) {
  GPMDVersionInfo info(1, 2, 1, 4);
  info.setValueA(0x11);
  info.appendString("ab");
  info.setSerialNumber(50);
  const std::string expected = fileHead(1051) + rootLevel(4, 50) + le32(1) +
                               bytes({0x02, 0, 0, 0, 0x01, 0, 0, 0}) + le16(1) + le32(0x11) + le32(0) + le32(1) +
                               le32(2) + "ab";
  EXPECT_EQ(storeFile(&info), expected);
  EXPECT_EQ(info.binaryStoreSize(), 12u + 26u + 6u);
}

TEST_F(VersionStore, ADescriptorStoresItsNameVersionAndText) {
  GPMLDescriptor d(RWWString("Ab"), -3, "xyz");
  d.setSerialNumber(51);
  const std::string expected = fileHead(956) + rootLevel(0, 51) + le32(1) + le32(2) + bytes({'A', 0, 'b', 0}) +
                               le32(0xFFFFFFFDu) + le32(3) + "xyz";
  EXPECT_EQ(storeFile(&d), expected);
  EXPECT_EQ(d.binaryStoreSize(), 12u + 16u + 4u + 3u);
}

}  // namespace
