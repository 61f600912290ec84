// The locale record: defaults, matching, the stored form.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "core/locale.h"
#include "fixtures.h"
#include "rw/pstream.h"

namespace {

std::string text(const char* t) {
  std::string s(t);
  return le32(static_cast<uint32_t>(s.size())) + s;
}

const std::string kDefaultLevel =
    le32(1) + le32(1) + le32(2) + le32(0) + le32(0) + le32(2) + le32(1) + le32(1) + le32(1) + le32(0) +
    le32(0) + le32(409) + text("AM") + text("PM") + text("United States") + text("$") + text("/") +
    text(".") + text("ENU") + text(",") + text("dddd, MMMM dd, yyyy") + text("M/d/yy") + text(",") +
    text(":");

class LocaleStore : public StoreTest {};

TEST_F(LocaleStore, DefaultRecordBytesAndSize) {
  MPersistentObject::presetSerialCounter(9);
  GLocaleInfo locale(0x11);
  EXPECT_EQ(storeFile(&locale), le32(0x8888) + le16(3) + le32(1) + le32(0x11) + le32(9) + kDefaultLevel);
  EXPECT_EQ(locale.binaryStoreSize(), 12u + kDefaultLevel.size());

  std::unique_ptr<GLocaleInfo> back(restoreFile<GLocaleInfo>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&locale));
  EXPECT_EQ(back->serialNumber(), 9u);
}

TEST_F(LocaleStore, EmptyTextShrinksTheStoredForm) {
  GLocaleInfo locale;
  RWspace before = locale.binaryStoreSize();
  locale.setCountryName("");
  EXPECT_EQ(locale.binaryStoreSize(), before - 13);
  EXPECT_EQ(locale.countryName(), "");
  locale.setAmSymbol(nullptr);
  EXPECT_EQ(locale.amSymbol(), "");
  std::string stored = storeFile(&locale);
  EXPECT_NE(stored.find(text("") + text("PM") + text("") + text("$")), std::string::npos);
  EXPECT_EQ(stored.size(), 6 + locale.binaryStoreSize());
}

TEST_F(LocaleStore, AnotherVersionKeepsTheFields) {
  putBytes(le32(0x8888) + le16(3) + le32(1) + le32(4) + le32(5) + le32(2) + le32(44));
  std::unique_ptr<GLocaleInfo> back(restoreFile<GLocaleInfo>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->id(), 4u);
  EXPECT_EQ(back->countryCode(), 1u);
  EXPECT_EQ(back->timeSeparator(), ":");
}

TEST_F(LocaleStore, ATextCutShortKeepsTheDefaultsAfterIt) {
  std::string level = le32(1);
  for (uint32_t n = 1; n <= 11; ++n) level += le32(n * 10);
  // The third text claims 13 bytes and holds 3.
  putBytes(le32(0x8888) + le16(3) + le32(1) + le32(4) + le32(5) + level + text("am") + text("pm") + le32(13) + "Uni");
  std::unique_ptr<GLocaleInfo> back(restoreFile<GLocaleInfo>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->countryCode(), 10u);
  EXPECT_EQ(back->number11(), 110u);
  EXPECT_EQ(back->amSymbol(), "am");
  EXPECT_EQ(back->pmSymbol(), "pm");
  EXPECT_EQ(back->countryName(), "") << "a text not read whole is dropped";
  EXPECT_EQ(back->currencySymbol(), "$");
  EXPECT_EQ(back->timeSeparator(), ":");
}

TEST(Locale, PortableRoundTripKeepsEveryField) {
  GLocaleInfo locale(7);
  locale.setCountryCode(49);
  locale.setNumber11(0x407);
  locale.setDecimalSeparator(",");
  locale.setLongDateFormat("dddd, d. MMMM yyyy");
  std::stringstream bytes;
  {
    RWpostream out(bytes);
    out << static_cast<const RWCollectable*>(&locale);
  }
  RWpistream in(bytes);
  GLocaleInfo* back = nullptr;
  in >> back;
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&locale));
  EXPECT_EQ(back->number11(), 0x407u);
  EXPECT_EQ(back->longDateFormat(), "dddd, d. MMMM yyyy");
  delete back;
}

TEST(Locale, Matches) {
  GLocaleInfo base(5);
  EXPECT_TRUE(base.matches(&base));
  EXPECT_TRUE(base.isKindOf(3));
  EXPECT_TRUE(base.isKindOf(751));
  EXPECT_FALSE(base.isKindOf(4));

  GLocaleInfo sameButSerial(5);
  EXPECT_NE(sameButSerial.serialNumber(), base.serialNumber());
  EXPECT_TRUE(base.matches(&sameButSerial));

  GLocaleInfo thousands(5);
  thousands.setThousandsSeparator(".");
  EXPECT_FALSE(base.matches(&thousands));

  GLocaleInfo number(5);
  number.setNumber9(1);
  EXPECT_FALSE(base.matches(&number));

  GLocaleInfo otherId(6);
  EXPECT_FALSE(base.matches(&otherId));

  TestBare bare(5);
  EXPECT_FALSE(base.matches(&bare));
  EXPECT_FALSE(base.matches(nullptr));

  GLocaleInfo copy(thousands);
  EXPECT_TRUE(copy.matches(&thousands));
  EXPECT_EQ(copy.serialNumber(), thousands.serialNumber());
  GLocaleInfo assigned;
  assigned = thousands;
  EXPECT_TRUE(assigned.matches(&thousands));
}

}  // namespace
