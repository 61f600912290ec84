#include "host/engine/tests/fixture.h"

using CodePageTest = EngineTest;

namespace {

std::u16string toWide(UINT cp, std::string bytes) {
  WCHAR out[16] = {};
  INT n = EngMultiByteToWideChar(cp, out, sizeof out, bytes.data(), static_cast<INT>(bytes.size()));
  return n < 0 ? u"<failed>" : std::u16string(out, static_cast<size_t>(n) / 2);
}

std::string toBytes(UINT cp, std::u16string text) {
  char out[16] = {};
  INT n = EngWideCharToMultiByte(cp, text.data(), static_cast<INT>(text.size() * 2), out, sizeof out);
  return n < 0 ? "<failed>" : std::string(out, static_cast<size_t>(n));
}

}  // namespace

TEST_F(CodePageTest, Page1252ByItsOwnTableAndPageZeroMeansIt) {
  EXPECT_EQ(toWide(1252, "\x80"), std::u16string(1, 0x20AC));
  EXPECT_EQ(toWide(0, "\x80\x41"), (std::u16string{0x20AC, u'A'}));
  EXPECT_EQ(toBytes(1252, std::u16string(1, 0x20AC)), "\x80");
  EXPECT_EQ(toBytes(1252, std::u16string(1, 0x4E2D)), "?");
  EXPECT_EQ(eng::lastCodePage(), 1252u);

  WCHAR wide[4];
  ULONG n = 0;
  char in[] = "\x80z";
  EngMultiByteToUnicodeN(wide, sizeof wide, &n, in, 2);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(wide[0], 0x20AC);
  char out[4];
  WCHAR text[] = {0x20AC, 0x0100};
  EngUnicodeToMultiByteN(out, sizeof out, &n, text, 4);
  EXPECT_EQ(std::string(out, n), "\x80?");
}

TEST_F(CodePageTest, DoubleBytePagesGoThroughIconvBothWays) {
  // HIRAGANA LETTER A is 0x82 0xA0 in page 932.
  EXPECT_EQ(toWide(932, "\x82\xA0"), std::u16string(1, 0x3042));
  EXPECT_EQ(toBytes(932, std::u16string(1, 0x3042)), "\x82\xA0");
  EXPECT_EQ(eng::lastCodePage(), 932u);
  EXPECT_EQ(toBytes(1250, std::u16string(1, 0x3042)), "?");
  EXPECT_EQ(toWide(1251, "\xC0"), std::u16string(1, 0x0410));
  EXPECT_EQ(toWide(437, "A"), u"<failed>");
  // A short output takes whole characters only.
  char out[3] = {'x', 'x', 'x'};
  WCHAR two[] = {0x3042, 0x3042};
  EXPECT_EQ(EngWideCharToMultiByte(932, two, 4, out, 3), 2);
  EXPECT_EQ(out[2], 'x');
}
