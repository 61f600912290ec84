// Display strings and their attribute: equality, the stored form with the
// second text first, and the stored size of the attribute.

#include <gtest/gtest.h>

#include <memory>

#include "attrfix.h"
#include "core/dispstr.h"
#include "fixtures.h"
#include "rw/pstream.h"

namespace {

TEST(DisplayString, NullTextsAndEquality) {
  GDisplayString empty(3, nullptr, nullptr);
  EXPECT_EQ(empty.text().length(), 0u);
  EXPECT_EQ(empty.secondText().length(), 0u);

  GDisplayString a(7, "Tray 1", "Upper");
  GDisplayString b(7, "Tray 1", "Lower");
  EXPECT_FALSE(a.matches(&b)) << "the second text counts";
  GDisplayString c(7, "Tray 1", "Upper");
  EXPECT_NE(a.serialNumber(), c.serialNumber());
  EXPECT_TRUE(a.matches(&c)) << "the serial number does not";
  c.setStringId(8);
  EXPECT_FALSE(a.matches(&c));

  GDisplayString copy(a);
  EXPECT_EQ(copy.serialNumber(), a.serialNumber());
  EXPECT_TRUE(copy.matches(&a));
}

TEST(DisplayStringAttribute, IdsVisitsAndSetting) {
  GDisplayStringAttribute plain(5, "Bin", nullptr);
  EXPECT_EQ(plain.id(), 0u);
  EXPECT_EQ(plain.kind(), 787);
  RecordingStage stage;
  EXPECT_EQ(plain.accept(stage), 0);
  EXPECT_TRUE(stage.seen.empty());

  GDisplayString other(9, "Tray 2", "x");
  other.setId(44);
  plain.setDisplayString(other);
  EXPECT_EQ(plain.displayString().id(), 44u);
  EXPECT_EQ(plain.displayString().serialNumber(), other.serialNumber());
  EXPECT_TRUE(plain.displayString().matches(&other));

  GDisplayStringAttribute keyed(12, 9, "Tray 2", "x"), keyedToo(12, 9, "Tray 2", "x");
  keyedToo.displayString().setId(44);
  keyed.displayString().setId(44);
  EXPECT_TRUE(keyed.matches(&keyedToo));
  EXPECT_FALSE(keyed.matches(&plain)) << "another attribute id";
}

class DisplayStore : public StoreTest {};

TEST_F(DisplayStore, StoredBytes) {
  MPersistentObject::presetSerialCounter(60);
  GDisplayString s(0x0102, "Tray 1", nullptr);               // 60
  GDisplayStringAttribute a(30, 0x0102, "Tray 1", nullptr);  // 61, its string 62
  const std::string level = le32(1) + le32(0) + le32(60) + le32(1) + le32(0) + le32(6) + "Tray 1" + le16(0x0102);
  std::string written = storeFile(&s);
  EXPECT_EQ(written, le32(0x8888) + le16(786) + level);
  EXPECT_EQ(s.binaryStoreSize() + 6, written.size());
  std::unique_ptr<GDisplayString> back(restoreFile<GDisplayString>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&s));

  written = storeFile(&a);
  EXPECT_EQ(written, le32(0x8888) + le16(787) + le32(1) + le32(30) + le32(61) + le32(1) + le32(1) + le32(1) +
                         le16(786) + le32(1) + le32(0) + le32(62) + le32(1) + le32(0) + le32(6) + "Tray 1" +
                         le16(0x0102));
  EXPECT_EQ(a.binaryStoreSize() + 6, written.size()) << "the string's class tag counted";
  EXPECT_EQ(a.recursiveStoreSize(), written.size());
  std::unique_ptr<GDisplayStringAttribute> backAttr(restoreFile<GDisplayStringAttribute>());
  ASSERT_NE(backAttr, nullptr);
  EXPECT_TRUE(backAttr->matches(&a));
  EXPECT_EQ(backAttr->displayString().serialNumber(), 62u);

  std::unique_ptr<GDisplayStringAttribute> fromStream = throughStream<RWpostream, RWpistream>(&a);
  ASSERT_NE(fromStream, nullptr);
  EXPECT_TRUE(fromStream->matches(&a));
}

TEST_F(DisplayStore, ATextCutShortKeepsTheFieldsAfterIt) {
  // The second text claims 40 bytes and holds 3.
  putBytes(le32(0x8888) + le16(786) + le32(1) + le32(5) + le32(70) + le32(1) + le32(40) + "Upp");
  GDisplayString s(7, "Tray 1", "Upper");
  {
    RWFile f(path().c_str(), "rb");
    uint32_t magic = 0;
    uint16_t tag = 0;
    ASSERT_TRUE(f.Read(magic) && f.Read(tag));
    s.restoreGuts(f);
  }
  EXPECT_EQ(s.id(), 5u);
  EXPECT_EQ(s.secondText(), "") << "a text not read whole is dropped";
  EXPECT_EQ(s.text(), "Tray 1");
  EXPECT_EQ(s.stringId(), 7);
}

}  // namespace
