// Wide strings: representation and copy on write, editing, search, case,
// hashing, comparison, the code-page conversions and the stored forms.

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "rw/bstream.h"
#include "rw/cp1252.h"
#include "rw/cstring.h"
#include "rw/estream.h"
#include "rw/kmsys.h"
#include "rw/pstream.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "rw/wstring.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/tmpdir.h"

namespace {

// The reports made during one test, and whether each was a bounds error.
class WStringReports : public ::testing::Test {
 protected:
  ReportLog log;
};

std::vector<RWwchar> units(const RWWString& s) { return {s.data(), s.data() + s.length()}; }

// Puts back the platform's own conversions whatever a test installed.
class WStringHooks : public ::testing::Test {
 protected:
  void TearDown() override { KMSetTextHooks(KMTextHooks{nullptr, nullptr, nullptr}); }
};

// ---- representation and copy on write ----------------------------------------

TEST(WString, EmptyStringsShareOneRepresentation) {
  RWWString a, b(u""), c(static_cast<const RWwchar*>(nullptr));
  EXPECT_TRUE(a.sharesWith(b));
  EXPECT_TRUE(a.sharesWith(c));
  EXPECT_EQ(a.length(), 0u);
  EXPECT_EQ(a.capacity(), 0u);
  EXPECT_EQ(a.data()[0], 0);
}

TEST(WString, CapacitiesFollowHowTheStringWasMade) {
  EXPECT_EQ(RWWString(u'x').capacity(), 15u);
  EXPECT_EQ(RWWString('x').capacity(), 15u);
  RWWString abc(u"abc");
  EXPECT_EQ(abc.capacity(), 3u);
  abc += u"d";
  EXPECT_EQ(abc.capacity(), 15u);
  EXPECT_EQ(abc, u"abcd");
  // Concatenations round: 15, 31, 47 ...
  RWWString sixteen(u'a', 16);
  EXPECT_EQ(sixteen.capacity(), 16u);
  EXPECT_EQ((sixteen + u"b").capacity(), 31u);
  EXPECT_EQ(RWWString(sixteen(0, 3)).capacity(), 15u);
}

TEST(WString, SettingsAnswerTheirOldValues) {
  EXPECT_EQ(RWWString::minimumCapacity(7), 15u);
  EXPECT_EQ(RWWString::capacityStep(4), 16u);
  EXPECT_EQ((RWWString(u"abcdefgh") + u"ij").capacity(), 11u);  // 7 + 4
  EXPECT_EQ(RWWString(u'q').capacity(), 7u);
  EXPECT_EQ(RWWString::minimumCapacity(15), 7u);
  EXPECT_EQ(RWWString::capacityStep(16), 4u);
  EXPECT_EQ(RWWString::spareLimit(15), 15u);
}

TEST(WString, ChangingASharedStringLeavesTheOtherAlone) {
  RWWString a(u"shared");
  RWWString b = a;
  EXPECT_TRUE(a.sharesWith(b));
  b[0] = u'S';
  EXPECT_EQ(a, u"shared");
  EXPECT_EQ(b, u"Shared");
  RWWString c = a;
  c.toUpper();
  EXPECT_EQ(a, u"shared");
  RWWString d = a;
  d(1, 2) = u"XY";
  EXPECT_EQ(a, u"shared");
  EXPECT_EQ(d, u"sXYred");
  RWWString e = a;
  e.append(u'!', 2);
  e.prepend(u'<', 1);
  EXPECT_EQ(a, u"shared");
  EXPECT_EQ(e, u"<shared!!");
}

TEST(WString, CopiesOnManyThreadsCountTheSharedBlockExactly) {
  RWWString shared(u"shared between threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&shared] {
      for (int i = 0; i < 20000; ++i) {
        RWWString copy = shared;
        RWWString other = copy;
        other = RWWString();
      }
    });
  for (std::thread& t : threads) t.join();
  // Back to one owner: a change happens in place.
  const RWwchar* block = shared.data();
  shared[0] = u'S';
  EXPECT_EQ(shared.data(), block);
}

TEST(WString, AssignmentSharesAndEmptyTextKeepsAPrivateBlock) {
  RWWString a(u"one"), b(u"two");
  a = b;
  EXPECT_TRUE(a.sharesWith(b));
  const RWWString& same = a;  // assigned to itself
  a = same;
  EXPECT_EQ(a, u"two");
  RWWString c(u"private text");
  const RWwchar* block = c.data();
  c = u"";
  EXPECT_EQ(c.data(), block);  // unshared: only the length changed
  EXPECT_EQ(c.length(), 0u);
  b = u"";
  EXPECT_TRUE(b.sharesWith(RWWString()));  // b gave up the block it shared with a
  EXPECT_EQ(a, u"two");
}

TEST(WString, UnitsOfAnyValueAreKeptZeroIncluded) {
  const RWwchar text[] = {u'a', 0, 0xFFFF, 0xD800};
  RWWString s(text, 4);
  EXPECT_EQ(s.length(), 4u);
  EXPECT_EQ(units(s), std::vector<RWwchar>(text, text + 4));
  EXPECT_EQ(s.data()[4], 0);
  EXPECT_EQ(RWWString(u'z', 3), u"zzz");
}

// ---- editing -----------------------------------------------------------------

TEST(WString, ReplaceInsertsRemovesAndAppendsItself) {
  RWWString s(u"hello world");
  s.replace(0, 5, u"goodbye");
  EXPECT_EQ(s, u"goodbye world");
  s.replace(7, 100, u"!");  // the count is cut to the end
  EXPECT_EQ(s, u"goodbye!");
  s.insert(4, u"--");
  EXPECT_EQ(s, u"good--bye!");
  s.remove(4, 2);
  EXPECT_EQ(s, u"goodbye!");
  s.prepend(u">> ");
  EXPECT_EQ(s, u">> goodbye!");
  RWWString t(u"ab");
  t.append(t);
  EXPECT_EQ(t, u"abab");
  t += t(1, 2);  // a source inside the string's own block
  EXPECT_EQ(t, u"ababba");
}

TEST(WString, ShrinkingInPlaceKeepsTheBlockUpToTheSpareLimit) {
  RWWString s(u'x', 40);
  s.capacity(40);
  const RWwchar* block = s.data();
  s.remove(30);  // 10 spare units: kept
  EXPECT_EQ(s.data(), block);
  s.remove(5);  // 35 spare: a new, rounded block
  EXPECT_NE(s.data(), block);
  EXPECT_EQ(s.capacity(), 15u);
  EXPECT_EQ(s, u"xxxxx");
}

TEST_F(WStringReports, ReplaceBeyondTheEndIsReportedAndChangesNothing) {
  RWWString s(u"abc");
  s.replace(4, 0, u"x");
  EXPECT_EQ(s, u"abc");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, "[INDEXERR] Illegal Index (4) for collection or string with 3 elements");
}

TEST_F(WStringReports, LengthsThatWouldWrapAreRefused) {
  RWWString s(u"ab");
  s.append(u'x', RW_NPOS - 1);
  s.prepend(u'x', RW_NPOS - 1);
  s.replace(1, 0, s.data(), RW_NPOS - 1);
  EXPECT_EQ(s, u"ab");
  EXPECT_EQ(RWWString(u'x', RW_NPOS).length(), 0u);
  ASSERT_EQ(log.size(), 4u);
  for (const CapturedReport& r : log.all()) EXPECT_FALSE(r.internal);
}

TEST(WString, FillsResizeAndCapacity) {
  RWWString s(u"ab");
  s.resize(4);
  EXPECT_EQ(s, u"ab  ");
  s.resize(1);
  EXPECT_EQ(s, u"a");
  s.append(u'-', 3);
  EXPECT_EQ(s, u"a---");
  s.prepend(u'+', 2);
  EXPECT_EQ(s, u"++a---");
  EXPECT_EQ(s.capacity(100), 100u);
  EXPECT_EQ(s, u"++a---");
  EXPECT_EQ(s.capacity(3), 100u);  // never below the length
}

// ---- element access and substrings ---------------------------------------------

TEST_F(WStringReports, IndexChecksReportAndTouchNothing) {
  RWWString s(u"abc");
  s[3] = u'X';
  s[RW_NPOS] = u'Y';
  EXPECT_EQ(s, u"abc");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].text, "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
  EXPECT_EQ(log[1].text, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
}

TEST_F(WStringReports, SubstringIndexIsCheckedAgainstTheView) {
  RWWString s(u"abcdef");
  RWWSubString sub = s(1, 3);
  EXPECT_EQ(sub[2], u'd');
  sub[3] = u'X';
  sub[RW_NPOS] = u'Y';
  s.subString(u"zz")[0] = u'Z';  // the null substring has no units at all
  EXPECT_EQ(s, u"abcdef");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].text, "[INDEX] Index (3) out of range [0->3]");
  EXPECT_EQ(log[1].text, "[INDEX] Index (4294967295) out of range [0->3]");
  EXPECT_EQ(log[2].text, "[INDEX] Index (0) out of range [0->0]");
  for (const CapturedReport& r : log.all()) EXPECT_TRUE(r.bounds);
}

TEST_F(WStringReports, ARangePastTheEndGivesTheNullSubstring) {
  RWWString s(u"abc");
  EXPECT_TRUE(s(2, 2).isNull());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, "[SUBSTRING] Illegal substring (2, 2) from 3 element RWCString");
  EXPECT_FALSE(s(3, 0).isNull());  // an empty view at the end is fine
}

TEST(WString, SubstringAssignmentEqualityAndCase) {
  RWWString s(u"one two three");
  RWWSubString two = s.subString(u"two");
  EXPECT_EQ(two.start(), 4u);
  two = u"2";
  EXPECT_EQ(s, u"one 2 three");
  EXPECT_EQ(two.length(), 1u);
  s.subString(u"three").toUpper();
  EXPECT_EQ(s, u"one 2 THREE");
  s(0, 3).toUpper();
  s(0, 1).toLower();
  EXPECT_EQ(s, u"oNE 2 THREE");

  RWWSubString none = s.subString(u"four");
  EXPECT_TRUE(none.isNull());
  none = u"ignored";
  EXPECT_EQ(s, u"oNE 2 THREE");
  EXPECT_TRUE(none == u"");
  EXPECT_TRUE(none == RWWString());
  EXPECT_TRUE(none == s.subString(u"five"));
  EXPECT_FALSE(none == s(0, 0));  // empty, but not the null substring
  EXPECT_TRUE(s(6, 5) == u"THREE");
  EXPECT_TRUE(s(6, 5) == RWWString(u"THREE"));
  EXPECT_FALSE(s(6, 4) == u"THREE");
  EXPECT_EQ(RWWString(none).length(), 0u);
}

TEST(WString, StripSearchAndSets) {
  RWWString s(u"  padded  ");
  EXPECT_TRUE(s.strip(RWWString::both) == u"padded");
  EXPECT_TRUE(s.strip(RWWString::leading) == u"padded  ");
  EXPECT_TRUE(s.strip(RWWString::trailing) == u"  padded");
  EXPECT_TRUE(RWWString(u"  ").strip(RWWString::both).isNull());
  EXPECT_TRUE(RWWString(u"xxaxx").strip(RWWString::both, u'x') == u"a");

  RWWString t(u"abcdeABCDE");
  EXPECT_EQ(t.index(u"cd"), 2u);
  EXPECT_EQ(t.index(u"cd", 3), RW_NPOS);
  EXPECT_EQ(t.index(u"cd", 3, RWWString::ignoreCase), 7u);
  EXPECT_EQ(t.index(u"", 3), 3u);
  EXPECT_EQ(RWWString(u"abcde").index(u"e", 5), RW_NPOS);
  EXPECT_EQ(t.index(u"deA"), 3u);
  EXPECT_TRUE(t.contains(u"eAB"));
  EXPECT_FALSE(t.contains(u"eab"));
  EXPECT_TRUE(t.contains(u"eab", RWWString::ignoreCase));
  EXPECT_EQ(t.first(u'C'), 7u);
  EXPECT_EQ(t.last(u'a'), 0u);
  EXPECT_EQ(t.first(u'z'), RW_NPOS);

  const RWwchar withZero[] = {u'a', u'b', 0, u'b', u'c'};
  RWWString z(withZero, 5);
  EXPECT_EQ(z.index(u"bc"), 3u);  // the search looks past the zero unit
  EXPECT_EQ(z.last(u'b'), 3u);
  // The representation's uncounted searches stop at the first zero unit.
  const RWWStringRef* rep = z.rep();
  EXPECT_EQ(rep->first(u'c'), RW_NPOS);
  EXPECT_EQ(rep->first(u'c', 0), 4u);
  EXPECT_EQ(rep->last(u'b'), 1u);
  EXPECT_EQ(rep->last(u'b', 0), 3u);
  EXPECT_EQ(rep->first(u"cb"), 1u);
  EXPECT_EQ(rep->first(u"xc"), RW_NPOS);
  const RWwchar set[] = {u'x', u'c', u'a'};
  EXPECT_EQ(rep->first(set, 2), 4u);  // only x and c are in the set
}

// ---- case ----------------------------------------------------------------------

TEST(WString, CaseFollowsTheUnicodeSimpleMappings) {
  struct Row {
    RWwchar upper, lower;
  };
  // Pairs whose distance is not 0x20 are where adding 0x20 goes wrong.
  const Row pairs[] = {{u'A', u'a'},   {0x00C0, 0x00E0}, {0x00DE, 0x00FE}, {0x0100, 0x0101},
                       {0x0178, 0x00FF}, {0x0391, 0x03B1}, {0x0410, 0x0430}, {0x0400, 0x0450},
                       {0x1E00, 0x1E01}, {0x24B6, 0x24D0}, {0xFF21, 0xFF41}};
  for (const Row& r : pairs) {
    RWWString up(r.upper), low(r.lower);
    up.toLower();
    low.toUpper();
    EXPECT_EQ(up(0), r.lower) << std::hex << int(r.upper);
    EXPECT_EQ(low(0), r.upper) << std::hex << int(r.lower);
  }
  RWWString special(u"\u00DF\u0131\u00B5");
  EXPECT_EQ(units(toUpper(special)), (std::vector<RWwchar>{0x00DF, u'I', 0x039C}));
  EXPECT_EQ(units(special), (std::vector<RWwchar>{0x00DF, 0x0131, 0x00B5}));
  EXPECT_EQ(toLower(RWWString(u"MiXeD 123")), u"mixed 123");
}

// ---- hashing and comparison -----------------------------------------------------

TEST(WString, HashFoldsUnitPairsAsWords) {
  // h = 3; rotl5(3) ^ 0x00420041 = 0x00420021; rotl5 ^ 0x43 = 0x08400463.
  EXPECT_EQ(RWWString(u"ABC").hash(), 0x08400463u);
  // h = 2; rotl5(2) ^ 0x00420041.
  EXPECT_EQ(RWWString(u"AB").hash(), 0x00420041u ^ 0x40u);
  EXPECT_EQ(RWWString().hash(), 0u);
  EXPECT_EQ(RWWString::hash(RWWString(u"ABC")), 0x08400463u);
  // Folded: h = 1; rotl5(1) ^ 'A'.
  EXPECT_EQ(RWWString(u"a").hash(RWWString::ignoreCase), 0x20u ^ 0x41u);
  EXPECT_EQ(RWWString(u"\u00e9t\u00e9").hash(RWWString::ignoreCase),
            RWWString(u"\u00c9T\u00c9").hash(RWWString::ignoreCase));
}

TEST(WString, ExactComparisonTakesTheLowByteFirst) {
  RWWString a(RWwchar(0x0100)), b(RWwchar(0x00FF));
  EXPECT_EQ(a.compareTo(b), -1);
  EXPECT_EQ(b.compareTo(a), 1);
  EXPECT_TRUE(a < b);
  EXPECT_EQ(RWWString(RWwchar(0x0201)).compareTo(RWWString(RWwchar(0x0101))), 1);
}

TEST(WString, ComparisonTable) {
  struct Row {
    const RWwchar* a;
    const RWwchar* b;
    RWWString::caseCompare cmp;
    int withString, withText;
  };
  const Row rows[] = {
      {u"a", u"b", RWWString::exact, -1, -1},
      {u"ab", u"a", RWWString::exact, 1, 1},
      {u"a", u"ab", RWWString::exact, -1, -1},
      {u"abc", u"abc", RWWString::exact, 0, 0},
      {u"A", u"a", RWWString::exact, -1, -1},
      {u"A", u"a", RWWString::ignoreCase, 0, 0},
      {u"\u0100x", u"\u0101X", RWWString::ignoreCase, 0, 0},
      {u"", u"", RWWString::exact, 0, 0},
      {u"", u"a", RWWString::exact, -1, -1},
      // With a text, units compare as unsigned values.
      {u"\u00ff", u"\u0100", RWWString::exact, 1, -1},
  };
  for (const Row& r : rows) {
    RWWString a(r.a);
    EXPECT_EQ(a.compareTo(RWWString(r.b), r.cmp), r.withString);
    EXPECT_EQ(a.compareTo(r.b, r.cmp), r.withText);
  }
  const RWwchar withZero[] = {u'a', 0};
  RWWString z(withZero, 2);
  EXPECT_EQ(z.compareTo(u"a"), 1);  // the text ends first
  EXPECT_FALSE(z == u"a");
  EXPECT_TRUE(RWWString(u"a") == u"a");
  EXPECT_FALSE(RWWString(u"a") == u"ab");
  EXPECT_TRUE(RWWString(u"x") != RWWString(u"y"));
}

TEST(WString, CollationInTheCLocale) {
  RWWString s(u"abc");
  EXPECT_EQ(s.compareCollated(u"abd"), -1);
  EXPECT_EQ(s.compareCollated(u"abc"), 0);
  EXPECT_EQ(s.compareCollated(u"ab"), 1);
  EXPECT_EQ(s.collationKey(), u"abc");
  EXPECT_EQ(RWWString().collationKey().length(), 0u);
}

// A transformation whose keys are three times the text, as a real locale's
// weights for several levels are.
uint32_t tripled(char16_t* out, uint32_t room, const char16_t* in) {
  uint32_t n = static_cast<uint32_t>(std::char_traits<char16_t>::length(in));
  uint32_t need = 3 * n;
  if (need < room) {
    for (uint32_t i = 0; i < need; ++i) out[i] = in[i % n];
    out[need] = 0;
  }
  return need;
}

TEST_F(WStringHooks, CollationKeyLongerThanTheTextIsAskedForAgain) {
  KMSetTextHooks(KMTextHooks{nullptr, nullptr, tripled});
  EXPECT_EQ(RWWString(u"ab").collationKey(), u"ababab");
}

// ---- conversions ------------------------------------------------------------------

TEST(WString, WideningZeroExtendsEveryByte) {
  RWWString ab("AB");
  EXPECT_EQ(units(ab), (std::vector<RWwchar>{0x0041, 0x0042}));
  EXPECT_TRUE(ab.isAscii());
  RWWString high("\x80\xE9", 2);
  EXPECT_EQ(units(high), (std::vector<RWwchar>{0x0080, 0x00E9}));
  EXPECT_FALSE(high.isAscii());
  EXPECT_EQ(RWWString('\xFF')(0), 0x00FF);
}

TEST(WString, NarrowingKeepsLowBytesOrGoesThroughTheCodePage) {
  const RWwchar text[] = {0x0141, u'b', 0, 0x20AC, 0x4E2D};
  RWWString s(text, 5);
  RWCString ascii = s.toAscii();
  EXPECT_EQ(ascii.length(), 5u);
  EXPECT_EQ(std::string(ascii.data(), 5), std::string("\x41" "b\0\xAC\x2D", 5));
  // The converted text ends at the first zero unit.
  EXPECT_EQ(std::string(RWWString(u"\u20ACa\u0141").toMultiByte().data()), "\x80" "a?");
  EXPECT_TRUE(s.toMultiByte() == "?b");
  EXPECT_EQ(RWWString().toMultiByte().length(), 0u);
  RWCString narrow("\x93x\x94", 3);
  EXPECT_EQ(units(RWWString(narrow)), (std::vector<RWwchar>{0x93, u'x', 0x94}));
  EXPECT_EQ(units(RWWString(narrow, RWWString::multiByte)),
            (std::vector<RWwchar>{0x201C, u'x', 0x201D}));
}

// Every byte against the C library's own converter for the code page; the
// five bytes it leaves unassigned are the control characters of the same value.
TEST(Cp1252, AgreesWithTheCLibraryConverter) {
  iconv_t cd = iconv_open("UTF-16LE", "CP1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int b = 0; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char out[4] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 1, ol = sizeof out;
    bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char16_t expected = ok ? char16_t(out[0] | out[1] << 8) : char16_t(b);
    if (!ok) {
      EXPECT_TRUE(b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) << b;
    }
    EXPECT_EQ(rwAnsiToUnicode(static_cast<unsigned char>(b)), expected) << b;
    EXPECT_EQ(rwUnicodeToAnsi(expected), b);
  }
  iconv_close(cd);
  EXPECT_EQ(rwUnicodeToAnsi(0x0080), -1);
  EXPECT_EQ(rwUnicodeToAnsi(0x0100), -1);
  EXPECT_EQ(rwUnicodeToAnsi(0xFFFF), -1);
}

TEST(Cp1252, PlatformConversionsMarkWhatTheCodePageLacks) {
  const char16_t text[] = {u'A', 0x20AC, 0x0100, 0x00E9, 0x4E2D};
  char out[8];
  ASSERT_EQ(KMUnicodeToMultiByte(out, sizeof out, text, 5), 5);
  EXPECT_EQ(std::string(out, 5), "A\x80?\xE9?");
  char16_t back[3];
  EXPECT_EQ(KMMultiByteToUnicode(back, 2, "\x80\x9F" "x", 3), 2);  // bounded by the room
  EXPECT_EQ(back[0], 0x20AC);
  EXPECT_EQ(back[1], 0x0178);
}

uint32_t roomOffered;
int32_t recordRoom(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes) {
  roomOffered = outUnits;
  for (uint32_t i = 0; i < inBytes && i < outUnits; ++i) out[i] = static_cast<unsigned char>(in[i]);
  return static_cast<int32_t>(inBytes < outUnits ? inBytes : outUnits);
}
int32_t failToUnicode(char16_t*, uint32_t, const char*, uint32_t) { return -1; }
int32_t failToMultiByte(char*, uint32_t, const char16_t*, uint32_t) { return -1; }

TEST_F(WStringHooks, MultiByteConversionUsesTheCodePage) {
  RWWString s("\x80 \x93quoted\x94", RWWString::multiByte);
  EXPECT_EQ(units(s), (std::vector<RWwchar>{0x20AC, u' ', 0x201C, u'q', u'u', u'o', u't', u'e',
                                             u'd', 0x201D}));
  EXPECT_EQ(s.capacity(), s.length());
  EXPECT_EQ(RWWString("", RWWString::multiByte).length(), 0u);
  RWWString counted("a\0b", 3, RWWString::multiByte);
  EXPECT_EQ(units(counted), (std::vector<RWwchar>{u'a', 0, u'b'}));
}

TEST_F(WStringHooks, LongTextsConvertThroughAHeapArea) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += static_cast<char>(0x80 + i % 32);
  RWWString s(text.c_str(), RWWString::multiByte);
  ASSERT_EQ(s.length(), 100u);
  for (RWsize i = 0; i < 100; ++i)
    EXPECT_EQ(s(i), rwAnsiToUnicode(static_cast<unsigned char>(text[i]))) << i;

  KMSetTextHooks(KMTextHooks{recordRoom, nullptr, nullptr});
  RWWString boundary(std::string(64, 'z').c_str(), RWWString::multiByte);
  EXPECT_EQ(roomOffered, 65u);
  EXPECT_EQ(boundary, RWWString(u'z', 64));
}

TEST_F(WStringHooks, AFailedConversionGivesAnEmptyString) {
  KMSetTextHooks(KMTextHooks{failToUnicode, failToMultiByte, nullptr});
  EXPECT_EQ(RWWString("rejected", RWWString::multiByte).length(), 0u);
  EXPECT_EQ(RWWString(RWCString("rejected"), RWWString::multiByte).length(), 0u);
  EXPECT_EQ(RWWString(u"rejected").toMultiByte().length(), 0u);
  EXPECT_EQ(RWWString(std::string(200, 'x').c_str(), RWWString::multiByte).length(), 0u);
}

// ---- stored forms ----------------------------------------------------------------------

TEST(WStringFile, StoredAsLengthThenLittleEndianUnits) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("w.bin");
  {
    RWFile f(path.c_str(), "wb+");
    RWWString(u"A\u20AC").saveOn(f);
    RWWString().saveOn(f);
  }
  EXPECT_EQ(fileContents(path), std::string("\x02\0\0\0\x41\0\xAC\x20\0\0\0\0", 12));
  EXPECT_EQ(RWWString(u"A\u20AC").binaryStoreSize(), 8u);
  RWFile f(path.c_str(), "rb");
  RWWString a(u"old"), b(u"old");
  EXPECT_TRUE(a.restoreFrom(f));
  EXPECT_TRUE(b.restoreFrom(f));
  EXPECT_EQ(units(a), (std::vector<RWwchar>{0x41, 0x20AC}));
  EXPECT_EQ(b.length(), 0u);
  RWWString c(u"unchanged");
  EXPECT_FALSE(c.restoreFrom(f));  // no length left to read
  EXPECT_EQ(c, u"unchanged");
}

TEST(WStringFile, RestoreIsBoundedByTheUnitsReallyThere) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("bad.bin");
  const std::string rows[] = {
      std::string("\xFF\xFF\xFF\xFF\x41\0", 6),  // four thousand million units claimed
      std::string("\0\0\0\x40\x41\0", 6),          // 2 GB of units claimed
      std::string("\x03\0\0\0\x41\0\x42\0\x43", 9),  // the last unit cut
  };
  for (const std::string& bytes : rows) {
    putFile(path, bytes);
    RWFile f(path.c_str(), "rb");
    RWWString s(u"previous");
    EXPECT_FALSE(s.restoreFrom(f));
    EXPECT_EQ(s.length(), 0u);
  }
  // Long strings arrive whole across the chunks they are read in.
  RWWString longText;
  for (int i = 0; i < 10000; ++i) longText.append(RWwchar(0x4E00 + i % 500));
  {
    RWFile f(path.c_str(), "wb+");
    longText.saveOn(f);
  }
  RWFile f(path.c_str(), "rb");
  RWWString back;
  back.restoreFrom(f);
  EXPECT_EQ(back, longText);
}

TEST(WStringVStream, PortableFormIsTheLengthThenOneUnitPerLine) {
  std::ostringstream out;
  {
    RWpostream ps(out);
    RWWString(u"A\u20AC").saveOn(ps);
    RWWString().saveOn(ps);
  }
  EXPECT_EQ(out.str(), "2\n65\n8364\n0\n");
  std::istringstream in(out.str());
  RWpistream ps(in);
  RWWString a, b(u"old");
  EXPECT_TRUE(a.restoreFrom(ps));
  EXPECT_TRUE(b.restoreFrom(ps));
  EXPECT_EQ(units(a), (std::vector<RWwchar>{0x41, 0x20AC}));
  EXPECT_EQ(b.length(), 0u);
  RWWString c(u"unchanged");
  EXPECT_FALSE(c.restoreFrom(ps));  // the stream has nothing left: no length
  EXPECT_EQ(c, u"unchanged");
}

TEST(WStringVStream, BinaryAndEndianFormsHoldTheUnitsAsShorts) {
  std::ostringstream bin, big;
  {
    RWbostream bs(bin);
    RWWString(u"A\u20AC").saveOn(bs);
    RWeostream es(big, RWeostream::BigEndian);
    RWWString(u"A\u20AC").saveOn(es);
  }
  EXPECT_EQ(bin.str(), std::string("\x02\0\0\0\x41\0\xAC\x20", 8));
  ASSERT_EQ(big.str().size(), 17u);
  EXPECT_EQ(big.str().substr(9), std::string("\0\0\0\x02\0\x41\x20\xAC", 8));
  std::istringstream bin_in(bin.str()), big_in(big.str());
  RWbistream bs(bin_in);
  RWeistream es(big_in);
  RWWString a, b;
  a.restoreFrom(bs);
  b.restoreFrom(es);
  EXPECT_EQ(a, u"A\u20AC");
  EXPECT_EQ(b, u"A\u20AC");
}

TEST(WStringVStream, RestoreTrustsNoLengthTheStreamCannotBackUp) {
  const std::string rows[] = {
      "4294967295\n65\n",  // every unit claimed, one there
      "3\n65\n66\n",        // one unit short
      "2\n65\nx\n",         // not a number
  };
  for (const std::string& text : rows) {
    std::istringstream in(text);
    RWpistream ps(in);
    RWWString s(u"previous");
    EXPECT_FALSE(s.restoreFrom(ps)) << text;
    EXPECT_EQ(s.length(), 0u) << text;
  }
  std::istringstream cut(std::string("\xFF\xFF\xFF\x7F\x41\0", 6));
  RWbistream bs(cut);
  RWWString s(u"previous");
  EXPECT_FALSE(s.restoreFrom(bs));
  EXPECT_EQ(s.length(), 0u);
  // Long strings arrive whole across the chunks.
  RWWString longText;
  for (int i = 0; i < 9000; ++i) longText.append(RWwchar(0xAC00 + i % 700));
  std::ostringstream out;
  {
    RWbostream os(out);
    longText.saveOn(os);
  }
  std::istringstream in(out.str());
  RWbistream is(in);
  RWWString back;
  EXPECT_TRUE(back.restoreFrom(is));
  EXPECT_EQ(back, longText);
}

// ---- iostreams -----------------------------------------------------------------------

std::string raw(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

TEST(WStringStreams, OutputWritesRawUnitsFilledToTheWidth) {
  std::ostringstream out;
  out << RWWString(u"\u20ACx");
  EXPECT_EQ(out.str(), std::string("\xAC\x20x\0", 4));
  std::ostringstream right, left;
  right.width(4);
  right.fill('*');
  right << RWWString(u"ab") << RWWString(u"c");
  EXPECT_EQ(right.str(), raw(u"**abc"));
  left.width(3);
  left.setf(std::ios::left, std::ios::adjustfield);
  left << RWWString(u"a");
  EXPECT_EQ(left.str(), raw(u"a  "));
}

TEST(WStringStreams, ReadsLinesTokensStringsAndFiles) {
  std::istringstream in(raw(u"  first line\nsecond\n  tok1 tok2\tx"));
  RWWString s;
  s.readLine(in);
  EXPECT_EQ(s, u"first line");
  s.readLine(in, FALSE);
  EXPECT_EQ(s, u"second");
  in >> s;
  EXPECT_EQ(s, u"tok1");
  in.width(2);
  in >> s;
  EXPECT_EQ(s, u"to");
  EXPECT_EQ(in.width(), 0);
  in >> s;
  EXPECT_EQ(s, u"k2");
  s.readFile(in);
  EXPECT_EQ(s, u"\tx");
  EXPECT_TRUE(in.eof());

  std::istringstream z(raw(std::u16string(u"one\0two", 7)));
  s.readString(z);
  EXPECT_EQ(s, u"one");
  s.readToDelim(z, u'w');
  EXPECT_EQ(s, u"t");
  EXPECT_FALSE(z.fail());
}

TEST(WStringStreams, AHalfUnitFailsTheRead) {
  std::istringstream in(std::string("a\0b", 3));
  RWWString s;
  s.readFile(in);
  EXPECT_EQ(s, u"a");
  EXPECT_TRUE(in.fail());
  std::istringstream empty("");
  s.readLine(empty);
  EXPECT_TRUE(empty.fail());
  EXPECT_EQ(s.length(), 0u);
  std::istringstream longLine(raw(std::u16string(1000, u'L') + u"\n"));
  s.readLine(longLine);
  EXPECT_EQ(s, RWWString(u'L', 1000));
}

}  // namespace
