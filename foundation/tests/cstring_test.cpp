#include "rw/cstring.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "testkit/aslimit.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/tmpdir.h"

namespace {

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

TEST(CString, EmptyStringsShareOneRepresentation) {
  RWCString a;
  RWCString b("");
  RWCString c(RWCString::Capacity(0));
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(a.rep(), c.rep());
  EXPECT_EQ(0u, a.length());
  EXPECT_EQ(0u, a.capacity());
  EXPECT_EQ('\0', a.data()[0]);
  int32_t refs = a.rep()->references();
  {
    RWCString d;
    EXPECT_EQ(refs + 1, a.rep()->references());
  }
  EXPECT_EQ(refs, a.rep()->references());
}

TEST(CString, MovingHandsTheBlockOverAndLeavesTheSourceEmpty) {
  static_assert(std::is_nothrow_move_constructible_v<RWCString> && std::is_nothrow_move_assignable_v<RWCString>);
  const RWCStringRef* empty = RWCString().rep();
  const int32_t emptyRefs = empty->references();
  {
    RWCString a("moved text");
    const RWCStringRef* block = a.rep();
    RWCString sharer(a);
    const int32_t refs = block->references();
    RWCString b(std::move(a));
    EXPECT_EQ(b.rep(), block);
    EXPECT_EQ(block->references(), refs);
    EXPECT_EQ(a.rep(), empty);
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ('\0', a.data()[0]);

    RWCString c("another text");
    c = std::move(b);
    EXPECT_EQ(c.rep(), block);
    EXPECT_EQ(block->references(), refs);
    EXPECT_EQ(b.rep(), empty);
    RWCString& alias = c;
    c = std::move(alias);
    EXPECT_EQ(c.rep(), block);
    EXPECT_EQ(block->references(), refs);

    // A moved-from string is an empty one, and is written like any other.
    a.append("again");
    EXPECT_EQ(bytes(a), "again");
    EXPECT_EQ(bytes(sharer), "moved text");
    EXPECT_EQ(bytes(c), "moved text");
  }
  EXPECT_EQ(empty->references(), emptyRefs);
}

TEST(CString, Capacities) {
  EXPECT_EQ(15u, RWCString('x').capacity());
  EXPECT_EQ(1u, RWCString('x').length());
  RWCString abc("abc");
  EXPECT_EQ(3u, abc.capacity());
  abc += "d";
  EXPECT_EQ(15u, abc.capacity());
  EXPECT_EQ("abcd", bytes(abc));

  EXPECT_EQ(5u, RWCString('z', 5).capacity());
  EXPECT_EQ("zzzzz", bytes(RWCString('z', 5)));
  EXPECT_EQ(40u, RWCString(RWCString::Capacity(40)).capacity());
  EXPECT_EQ(31u, RWCString("0123456789", 10, "0123456789", 10).capacity());

  struct {
    RWsize n, rounded;
  } cases[] = {{0, 15}, {1, 15}, {15, 15}, {16, 31}, {31, 31}, {32, 47}, {47, 47}, {48, 63}, {0xFFFFFFF0u, 0xFFFFFFFFu}};
  for (auto& c : cases) EXPECT_EQ(c.rounded, RWCString::roundCapacity(c.n)) << c.n;
}

TEST(CString, SettingsAnswerTheOldValueAndAffectLaterAllocations) {
  RWsize oldMin = RWCString::minimumCapacity(7);
  RWsize oldStep = RWCString::capacityStep(4);
  EXPECT_EQ(15u, oldMin);
  EXPECT_EQ(16u, oldStep);
  EXPECT_EQ(7u, RWCString::roundCapacity(3));
  EXPECT_EQ(11u, RWCString::roundCapacity(8));
  EXPECT_EQ(7u, RWCString('q').capacity());
  // A zero step must not divide by zero: sizes are then taken exactly.
  RWCString::capacityStep(0);
  EXPECT_EQ(9u, RWCString::roundCapacity(9));
  EXPECT_EQ(0u, RWCString::capacityStep(oldStep));
  EXPECT_EQ(7u, RWCString::minimumCapacity(oldMin));
  EXPECT_EQ(15u, RWCString::spareLimit(RWCString::spareLimit()));
}

TEST(CString, PointerAndCountKeepsZeroBytes) {
  RWCString s("a\0b\0", 4);
  EXPECT_EQ(4u, s.length());
  EXPECT_EQ(std::string("a\0b\0", 4), bytes(s));
  EXPECT_EQ('\0', s.data()[4]);
  EXPECT_EQ(0u, RWCString(nullptr, 5).length());
  EXPECT_EQ("xy", bytes(RWCString(nullptr, 3, "xy", 2)));
}

TEST(CString, ChangingASharerLeavesTheOtherUnchanged) {
  struct Change {
    const char* what;
    void (*apply)(RWCString&);
    const char* result;
  } changes[] = {
      {"operator[]", [](RWCString& s) { s[0] = 'X'; }, "Xbcdef"},
      {"operator()", [](RWCString& s) { s(1) = 'X'; }, "aXcdef"},
      {"toUpper", [](RWCString& s) { s.toUpper(); }, "ABCDEF"},
      {"substring assignment", [](RWCString& s) { s(1, 2) = "XYZ"; }, "aXYZdef"},
      {"substring toUpper", [](RWCString& s) { s(2, 2).toUpper(); }, "abCDef"},
      {"substring operator[]", [](RWCString& s) { s(4, 2)[1] = 'X'; }, "abcdeX"},
      {"append", [](RWCString& s) { s.append('!', 2); }, "abcdef!!"},
      {"prepend", [](RWCString& s) { s.prepend('!', 2); }, "!!abcdef"},
      {"resize", [](RWCString& s) { s.resize(2); }, "ab"},
      {"text assignment", [](RWCString& s) { s = "q"; }, "q"},
      {"empty text assignment", [](RWCString& s) { s = ""; }, ""},
  };
  for (auto& c : changes) {
    RWCString original(RWCString::Capacity(30));
    original = "abcdef";
    RWCString sharer(original);
    ASSERT_EQ(original.rep(), sharer.rep());
    c.apply(sharer);
    EXPECT_EQ("abcdef", bytes(original)) << c.what;
    EXPECT_EQ(c.result, bytes(sharer)) << c.what;
    EXPECT_NE(original.rep(), sharer.rep()) << c.what;
  }
}

TEST(CString, AppendingAStringToItself) {
  RWCString small("abc");
  small += small;
  EXPECT_EQ("abcabc", bytes(small));

  // Room enough for an in-place edit: the source still lies in the block.
  RWCString roomy(RWCString::Capacity(40));
  roomy = "xyz";
  roomy += roomy;
  EXPECT_EQ("xyzxyz", bytes(roomy));

  RWCString tail("0123456789");
  tail.capacity(60);
  tail.replace(0, 2, tail.data() + 5, 5);
  EXPECT_EQ("5678923456789", bytes(tail));
}

TEST(CString, ReplaceKeepsOrRemakesTheBlock) {
  RWCString s(RWCString::Capacity(47));
  s = std::string(40, 'a').c_str();
  const RWCStringRef* block = s.rep();
  s.replace(30, 10, nullptr, 0);  // 30 in 47 wastes 17: more than the limit
  EXPECT_NE(block, s.rep());
  EXPECT_EQ(31u, s.capacity());
  EXPECT_EQ(30u, s.length());

  block = s.rep();
  s.replace(20, 10, "bc", 2);  // 22 in 31 wastes 9: kept
  EXPECT_EQ(block, s.rep());
  EXPECT_EQ(std::string(20, 'a') + "bc", bytes(s));
  s.replace(5, 100, "Z");  // the count is cut to the rest of the string
  EXPECT_EQ("aaaaaZ", bytes(s));
  EXPECT_EQ('\0', s.data()[6]);
}

TEST(CString, ReplaceBeyondTheEndIsReportedAndChangesNothing) {
  ReportLog reports;
  RWCString s("abc");
  s.replace(4, 0, "x");
  EXPECT_EQ("abc", bytes(s));
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ("[INDEXERR] Illegal Index (4) for collection or string with 3 elements", reports[0].text);
}

TEST(CString, CharacterFills) {
  RWCString s("abc");
  s.append('-', 3);
  EXPECT_EQ(6u, s.capacity());  // exactly the new length
  EXPECT_EQ("abc---", bytes(s));
  s.prepend('>', 2);
  EXPECT_EQ(15u, s.capacity());
  EXPECT_EQ(">>abc---", bytes(s));
  const RWCStringRef* block = s.rep();
  s.prepend('<');
  EXPECT_EQ(block, s.rep());  // room enough: moved up in place
  EXPECT_EQ("<>>abc---", bytes(s));
  s.append('x', 0);
  EXPECT_EQ("<>>abc---", bytes(s));

  RWCString t("tail");
  t.prepend("head ");
  t.append(RWCString(" end"));
  EXPECT_EQ("head tail end", bytes(t));
}

TEST(CString, CapacityWithAnArgument) {
  RWCString s("abcdef");
  EXPECT_EQ(6u, s.capacity(4));  // not above the length: unchanged
  EXPECT_EQ(100u, s.capacity(100));
  EXPECT_EQ("abcdef", bytes(s));
  EXPECT_EQ(7u, s.capacity(7));
}

TEST(CString, ComparisonIndexStripResize) {
  struct Compare {
    RWCString s;
    const char* text;
    RWCString::caseCompare cmp;
    int withText;
  } texts[] = {
      {"a", "b", RWCString::exact, -1},
      {"ab", "a", RWCString::exact, 1},
      {"a", "ab", RWCString::exact, -1},
      {"abc", "abc", RWCString::exact, 0},
      {"A", "a", RWCString::exact, -1},
      {"A", "a", RWCString::ignoreCase, 0},
      {"", "", RWCString::exact, 0},
      {"", "x", RWCString::exact, -1},
      // Text comparison takes bytes as signed: 0x80 sorts before 'a'.
      {"\x80", "a", RWCString::exact, -1},
      {"a", "\x80", RWCString::exact, 1},
      // A zero byte in the string ends nothing, but the text ends at its own.
      {RWCString("a\0b", 3), "a", RWCString::exact, 1},
  };
  for (auto& c : texts) {
    EXPECT_EQ(c.withText, c.s.compareTo(c.text, c.cmp)) << bytes(c.s) << " / " << c.text;
    if (c.cmp == RWCString::exact) {
      EXPECT_EQ(c.withText == 0, c.s == c.text) << bytes(c.s) << " / " << c.text;
    }
  }

  struct Strings {
    RWCString a, b;
    RWCString::caseCompare cmp;
    int result;
  } strings[] = {
      {"a", "b", RWCString::exact, -1},
      {"ab", "a", RWCString::exact, 1},
      {"a", "ab", RWCString::exact, -1},
      {"Abc", "aBC", RWCString::ignoreCase, 0},
      {"Abc", "aBC", RWCString::exact, -1},
      // String against string compares unsigned bytes: 0x80 sorts after 'a'.
      {"\x80", "a", RWCString::exact, 1},
      {RWCString("a\0b", 3), RWCString("a\0c", 3), RWCString::exact, -1},
  };
  for (auto& c : strings) {
    EXPECT_EQ(c.result, c.a.compareTo(c.b, c.cmp)) << bytes(c.a) << " / " << bytes(c.b);
    if (c.cmp == RWCString::exact) {
      EXPECT_EQ(c.result == 0, c.a == c.b);
    }
  }

  struct Index {
    const char* s;
    const char* pat;
    RWsize start;
    RWCString::caseCompare cmp;
    RWsize at;
  } indexes[] = {
      {"abcde", "", 3, RWCString::exact, 3},
      {"abcde", "e", 5, RWCString::exact, RW_NPOS},
      {"abcde", "e", 4, RWCString::exact, 4},
      {"abcabc", "bc", 0, RWCString::exact, 1},
      {"abcabc", "bc", 2, RWCString::exact, 4},
      {"abcabc", "BC", 0, RWCString::exact, RW_NPOS},
      {"abcabc", "BC", 2, RWCString::ignoreCase, 4},
      {"abc", "abcd", 0, RWCString::exact, RW_NPOS},
      {"abc", "", RW_NPOS, RWCString::exact, RW_NPOS},
  };
  for (auto& c : indexes) EXPECT_EQ(c.at, RWCString(c.s).index(c.pat, c.start, c.cmp)) << c.s << " / " << c.pat;

  struct Strip {
    const char* s;
    RWCString::stripType type;
    char c;
    const char* rest;  // null: the null substring
  } strips[] = {
      {"  ", RWCString::both, ' ', nullptr},
      {"", RWCString::both, ' ', nullptr},
      {"  ab  ", RWCString::both, ' ', "ab"},
      {"  ab  ", RWCString::leading, ' ', "ab  "},
      {"  ab  ", RWCString::trailing, ' ', "  ab"},
      {"xxaxx", RWCString::both, 'x', "a"},
  };
  for (auto& c : strips) {
    RWCString s(c.s);
    RWCSubString sub = s.strip(c.type, c.c);
    if (!c.rest) {
      EXPECT_TRUE(sub.isNull()) << c.s;
    } else {
      EXPECT_FALSE(sub.isNull()) << c.s;
      EXPECT_EQ(c.rest, bytes(RWCString(sub))) << c.s;
    }
  }

  struct Resize {
    const char* s;
    RWsize n;
    const char* result;
  } resizes[] = {{"ab", 4, "ab  "}, {"abcd", 1, "a"}, {"ab", 2, "ab"}, {"ab", 0, ""}};
  for (auto& c : resizes) {
    RWCString s(c.s);
    s.resize(c.n);
    EXPECT_EQ(c.result, bytes(s)) << c.s << " to " << c.n;
  }
}

TEST(CString, EqualityWithText) {
  EXPECT_TRUE(RWCString("abc") == "abc");
  EXPECT_FALSE(RWCString("abc") == "ab");
  EXPECT_FALSE(RWCString("ab") == "abc");
  EXPECT_FALSE(RWCString("a\0b", 3) == "a");
  EXPECT_TRUE(RWCString() == "");
  EXPECT_TRUE("abc" == RWCString("abc"));
  EXPECT_TRUE(RWCString("abc") != "abd");
}

TEST(CString, Hashes) {
  struct {
    RWCString s;
    uint32_t exact;
  } cases[] = {
      {"", 0x0},
      {"a", 0x41},
      {"abcd", 0x646362e1},
      // The tail byte 0x80 is widened with its sign: 0xFFFFFF80.
      {"abcd\x80", 0x7393a7ac},
      {"ab\x80", 0xffffffe0},
      {"\x80\x01", 0xffff8041},
      {"Hello, world", 0x31fade30},
      {RWCString("a\0b", 3), 0x610002},
  };
  for (auto& c : cases) {
    EXPECT_EQ(c.exact, RWCString::hash(c.s)) << bytes(c.s);
    EXPECT_EQ(c.exact, c.s.hash()) << bytes(c.s);
  }

  struct {
    const char* s;
    uint32_t folded;
  } folds[] = {{"aBc", 0x8c03}, {"AbC", 0x8c03}, {"\xe9" "a", 0x1561}, {"", 0}};
  for (auto& c : folds) EXPECT_EQ(c.folded, RWCString(c.s).hash(RWCString::ignoreCase)) << c.s;
}

TEST(CString, CaseFoldingIsPlainAscii) {
  RWCString s("Hello, W\xe9rld 9!");
  s.toUpper();
  EXPECT_EQ("HELLO, W\xe9RLD 9!", bytes(s));
  s.toLower();
  EXPECT_EQ("hello, w\xe9rld 9!", bytes(s));

  RWCString source("MiXeD");
  EXPECT_EQ("mixed", bytes(toLower(source)));
  EXPECT_EQ("MIXED", bytes(toUpper(source)));
  EXPECT_EQ("MiXeD", bytes(source));
  EXPECT_NE(0, RWCString("\xc9").compareTo("\xe9", RWCString::ignoreCase));
}

TEST(CString, BadIndexIsReportedAndTouchesNothingOutside) {
  ReportLog reports;
  RWCString s("abc");
  RWCString sharer(s);
  s[3] = 'X';
  s[RW_NPOS] = 'Y';
  const RWCString& cs = s;
  EXPECT_EQ('\0', cs[7]);
  EXPECT_EQ("abc", bytes(s));
  EXPECT_EQ('\0', s.data()[3]);
  EXPECT_EQ(s.rep(), sharer.rep());  // a refused write makes no private copy

  RWCString empty;
  empty[0] = 'Z';
  EXPECT_EQ(0u, empty.length());
  EXPECT_EQ('\0', empty.data()[0]);

  RWCSubString sub = s(1, 1);
  sub[1] = 'Q';
  EXPECT_EQ("abc", bytes(s));

  std::vector<std::string> expected = {
      "[INDEXERR] Illegal Index (3) for collection or string with 3 elements",
      "[NPOSINDEX] The value RW_NPOS cannot be used as an index.",
      "[INDEXERR] Illegal Index (7) for collection or string with 3 elements",
      "[INDEXERR] Illegal Index (0) for collection or string with 0 elements",
      "[INDEXERR] Illegal Index (1) for collection or string with 1 elements",
  };
  EXPECT_EQ(expected, reports.texts());
  for (const CapturedReport& r : reports.all()) EXPECT_TRUE(r.bounds);
}

TEST(CString, Substrings) {
  RWCString s("hello world");
  EXPECT_TRUE(s(6, 5) == "world");
  EXPECT_TRUE(s(6, 5) == RWCString("world"));
  EXPECT_FALSE(s(0, 1) == s(9, 1));
  EXPECT_TRUE(s(2, 1) == s(3, 1));
  EXPECT_EQ('w', s(6, 5)[0]);

  RWCSubString found = s.subString("WORLD", 0, RWCString::ignoreCase);
  EXPECT_EQ(6u, found.start());
  EXPECT_EQ(5u, found.length());
  found = "there";
  EXPECT_EQ("hello there", bytes(s));
  RWCSubString grown = s.subString("there");
  grown = "everyone";
  EXPECT_EQ(8u, grown.length());
  grown = RWCString("all");
  EXPECT_EQ("hello all", bytes(s));
  s(0, 5) = s(6, 3);  // the source lies in the string being edited
  EXPECT_EQ("all all", bytes(s));

  RWCSubString none = s.subString("zzz");
  EXPECT_TRUE(none.isNull());
  EXPECT_TRUE(none == "");
  EXPECT_TRUE(none == RWCString());
  EXPECT_FALSE(none == "a");
  EXPECT_TRUE(none == s.subString("qqq"));
  EXPECT_EQ(0u, RWCString(none).length());
  none = "ignored";
  EXPECT_EQ("all all", bytes(s));
}

TEST(CString, SubstringOutsideTheStringIsReportedAndNull) {
  ReportLog reports;
  RWCString s("abc");
  EXPECT_TRUE(s(2, 5).isNull());
  EXPECT_TRUE(s(RW_NPOS, 0).isNull());  // a failed search's position: no report
  EXPECT_FALSE(s(3, 0).isNull());
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ("[SUBSTRING] Illegal substring (2, 5) from 3 element RWCString", reports[0].text);
  EXPECT_TRUE(reports[0].bounds);
}

TEST(CString, Concatenation) {
  RWCString a("ab");
  EXPECT_EQ("abcd", bytes(a + "cd"));
  EXPECT_EQ("cdab", bytes("cd" + a));
  EXPECT_EQ("abab", bytes(a + a));
  EXPECT_EQ("ab", bytes(a + nullptr));
  EXPECT_EQ(15u, (a + "c").capacity());
}

TEST(CString, SearchesOfTheRepresentation) {
  RWCString s("a.b.c\0.d", 8);
  const RWCStringRef* r = s.rep();
  EXPECT_EQ(1u, r->first('.'));
  EXPECT_EQ(RW_NPOS, r->first('d'));  // beyond the first zero byte
  EXPECT_EQ(7u, r->first('d', s.length()));
  EXPECT_EQ(3u, r->last('.'));
  EXPECT_EQ(6u, r->last('.', s.length()));
  EXPECT_EQ(2u, r->first("cb"));
  EXPECT_EQ(RW_NPOS, r->first("d"));
  EXPECT_EQ(7u, r->first("dz", 1));

  EXPECT_EQ(1u, s.first('.'));
  EXPECT_EQ(6u, s.last('.'));
  EXPECT_EQ(RW_NPOS, s.last('z'));
  EXPECT_TRUE(RWCString("Printer Port").contains("port", RWCString::ignoreCase));
  EXPECT_FALSE(RWCString("Printer Port").contains("port"));
  EXPECT_TRUE(RWCString("x").contains(""));
}

TEST(CString, CopiesAndAscii) {
  RWCString s("abc");
  RWCString c = s.copy();
  EXPECT_NE(s.rep(), c.rep());
  EXPECT_EQ(3u, c.capacity());
  EXPECT_TRUE(s.isAscii());
  EXPECT_FALSE(RWCString("a\x80").isAscii());

  RWCString t("xyz");
  t = s;
  EXPECT_EQ(s.rep(), t.rep());
  const RWCString& same = t;  // assigned to itself
  t = same;
  EXPECT_EQ("abc", bytes(t));
}

TEST(CStringFile, StoredFormAndRoundTrip) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("strings");
  {
    RWFile f(path.c_str(), "wb+");
    ASSERT_TRUE(f.isValid());
    RWCString("ab").saveOn(f);
    RWCString().saveOn(f);
    RWCString("\0x\0\x80", 4).saveOn(f);
  }
  EXPECT_EQ(std::string("\x02\0\0\0ab"
                        "\0\0\0\0"
                        "\x04\0\0\0\0x\0\x80",
                        18),
            fileContents(path));

  RWFile f(path.c_str(), "rb");
  RWCString first("previous text");
  RWCString sharer(first);
  RWCString second("not empty");
  RWCString third;
  first.restoreFrom(f);
  second.restoreFrom(f);
  third.restoreFrom(f);
  EXPECT_EQ("ab", bytes(first));
  EXPECT_EQ("previous text", bytes(sharer));
  EXPECT_EQ("", bytes(second));
  EXPECT_EQ(std::string("\0x\0\x80", 4), bytes(third));
  EXPECT_EQ('\0', third.data()[4]);
  EXPECT_FALSE(f.Eof());
  EXPECT_FALSE(f.Error());
}

TEST(CStringFile, UntrustedLengthsFailCleanly) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  struct {
    const char* what;
    std::string stored;
  } cases[] = {
      {"longer than the data", std::string("\x0a\0\0\0ab", 6)},
      {"one past the data", std::string("\x03\0\0\0ab", 6)},
      {"all ones", std::string("\xff\xff\xff\xff" "abc", 7)},
      {"nearly 4 GiB", std::string("\xf0\xff\xff\xff" "abc", 7)},
      {"2 GiB", std::string("\0\0\0\x80", 4)},
  };
  for (auto& c : cases) {
    std::string path = dir.file("bad");
    putFile(path, c.stored);
    RWFile f(path.c_str(), "rb");
    ASSERT_TRUE(f.isValid());
    RWCString s("something");
    s.restoreFrom(f);
    EXPECT_EQ(0u, s.length()) << c.what;
    EXPECT_EQ('\0', s.data()[0]) << c.what;
    EXPECT_TRUE(f.Eof() || f.Error()) << c.what;
    EXPECT_EQ(RWoffset(c.stored.size()), f.CurOffset()) << c.what;
  }
}

TEST(CStringFile, MissingLengthChangesNothing) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string path = dir.file("short");
  putFile(path, std::string("\x02\0", 2));
  RWFile f(path.c_str(), "rb");
  RWCString s("kept");
  s.restoreFrom(f);
  EXPECT_EQ("kept", bytes(s));
  EXPECT_TRUE(f.Eof());
}

enum class Form { portable, binary, littleEndian, bigEndian };

std::unique_ptr<RWvostream> writerOn(Form form, std::ostream& os) {
  switch (form) {
    case Form::portable: return std::make_unique<RWpostream>(os);
    case Form::binary: return std::make_unique<RWbostream>(os);
    case Form::littleEndian: return std::make_unique<RWeostream>(os, RWeostream::LittleEndian);
    case Form::bigEndian: return std::make_unique<RWeostream>(os, RWeostream::BigEndian);
  }
  return nullptr;
}

std::unique_ptr<RWvistream> readerOn(Form form, std::istream& is) {
  switch (form) {
    case Form::portable: return std::make_unique<RWpistream>(is);
    case Form::binary: return std::make_unique<RWbistream>(is);
    case Form::littleEndian:
    case Form::bigEndian: return std::make_unique<RWeistream>(is);
  }
  return nullptr;
}

const std::string littleHeader("es\x01\x00\x02\x04\x04\x02\x04", 9);
const std::string bigHeader("es\x01\x01\x02\x04\x04\x02\x04", 9);

TEST(CStringStream, StoredForms) {
  struct {
    Form form;
    std::string stored;
  } cases[] = {
      {Form::portable, std::string("3\n\"a\\x00b\"")},
      {Form::binary, std::string("\x03\0\0\0\x03\0\0\0a\0b", 11)},
      {Form::littleEndian, littleHeader + std::string("\x03\0\0\0\x03\0\0\0a\0b", 11)},
      {Form::bigEndian, bigHeader + std::string("\0\0\0\x03\0\0\0\x03" "a\0b", 11)},
  };
  for (auto& c : cases) {
    std::ostringstream out;
    RWCString("a\0b", 3).saveOn(*writerOn(c.form, out));
    EXPECT_EQ(c.stored, out.str()) << int(c.form);
  }
}

TEST(CStringStream, RoundTripInEveryForm) {
  const RWCString texts[] = {
      RWCString(),
      RWCString("plain"),
      RWCString("\0zero\0bytes\0", 12),
      RWCString("quote \" backslash \\ braces {} \x80\xff\n\t"),
      RWCString('x', 300),  // the portable form wraps long lines
  };
  for (Form form : {Form::portable, Form::binary, Form::littleEndian, Form::bigEndian}) {
    std::stringstream io;
    {
      auto out = writerOn(form, io);
      for (const RWCString& t : texts) t.saveOn(*out);
    }
    auto in = readerOn(form, io);
    for (const RWCString& t : texts) {
      RWCString back("previous");
      RWCString sharer(back);
      back.restoreFrom(*in);
      EXPECT_TRUE(in->good()) << int(form);
      EXPECT_EQ(bytes(t), bytes(back)) << int(form);
      EXPECT_EQ('\0', back.data()[back.length()]);
      EXPECT_EQ("previous", bytes(sharer));
    }
  }
}

TEST(CStringStream, UntrustedLengthsFailCleanly) {
  struct {
    const char* what;
    Form form;
    std::string stored;
  } cases[] = {
      {"binary: text shorter than its length", Form::binary, std::string("\x0a\0\0\0\x02\0\0\0ab", 10)},
      {"binary: data cut short", Form::binary, std::string("\x03\0\0\0\x0a\0\0\0ab", 10)},
      {"binary: text longer than its length", Form::binary, std::string("\x02\0\0\0\x05\0\0\0abcde", 13)},
      {"binary: absurd length", Form::binary, std::string("\xf0\xff\xff\xff\x02\0\0\0ab", 10)},
      {"binary: all ones", Form::binary, std::string("\xff\xff\xff\xff", 4)},
      {"binary: no text at all", Form::binary, std::string("\x05\0\0\0", 4)},
      {"portable: text shorter than its length", Form::portable, "5\n\"ab\""},
      {"portable: absurd length", Form::portable, "4294967295\n\"ab\""},
      {"portable: unterminated text", Form::portable, "4\n\"ab"},
      {"endian: absurd length", Form::bigEndian, bigHeader + std::string("\x7f\xff\xff\xff\0\0\0\x02" "ab", 10)},
      {"endian: data cut short", Form::littleEndian, littleHeader + std::string("\x09\0\0\0\x09\0\0\0ab", 10)},
  };
  for (auto& c : cases) {
    std::istringstream is(c.stored);
    auto in = readerOn(c.form, is);
    RWCString s("something");
    s.restoreFrom(*in);
    EXPECT_EQ(0u, s.length()) << c.what;
    EXPECT_EQ('\0', s.data()[0]) << c.what;
    EXPECT_TRUE(in->fail()) << c.what;
  }
}

TEST(CStringStream, MissingLengthChangesNothing) {
  std::istringstream is(std::string("\x02\0", 2));
  RWbistream in(is);
  RWCString s("kept");
  s.restoreFrom(in);
  EXPECT_EQ("kept", bytes(s));
  EXPECT_TRUE(in.fail());
}

// A stream of format version 0 stores the characters as a counted array.
class CountedOutput : public RWbostream {
 public:
  explicit CountedOutput(std::ostream& os) : RWbostream(os) { setVersion(0); }
};
class CountedInput : public RWbistream {
 public:
  explicit CountedInput(std::istream& is) : RWbistream(is) { setVersion(0); }
};

TEST(CStringStream, CountedCharactersArriveInPieces) {
  std::string big(200000, 'q');
  big[100000] = '\0';
  std::stringstream io;
  {
    CountedOutput out(io);
    RWCString("ab").saveOn(out);
    RWCString(big.data(), RWsize(big.size())).saveOn(out);
  }
  EXPECT_EQ(std::string("\x02\0\0\0ab", 6), io.str().substr(0, 6));
  CountedInput in(io);
  RWCString a, b;
  a.restoreFrom(in);
  b.restoreFrom(in);
  EXPECT_TRUE(in.good());
  EXPECT_EQ("ab", bytes(a));
  EXPECT_EQ(big, bytes(b));

  // A huge stored length over a few bytes stops at the first short piece,
  // having made a block no larger than one piece.
  std::istringstream cut(std::string("\xf0\xff\xff\x7f" "abc", 7));
  CountedInput shortIn(cut);
  RWCString c("something");
  c.restoreFrom(shortIn);
  EXPECT_EQ(0u, c.length());
  EXPECT_TRUE(shortIn.fail());
}

// Under an address-space limit an allocation anywhere near a stored length
// of gigabytes fails and ends the process, so a child that restores every
// such string and exits normally has made no huge block on the way.
TEST(CStringRestore, AbsurdLengthsMakeNoHugeBlock) {
  SKIP_WITHOUT_ADDRESS_SPACE_LIMIT();
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string files[] = {
      std::string("\xf0\xff\xff\xff" "abc", 7),
      std::string("\xff\xff\xff\x7f" "ab", 6),
  };
  std::vector<std::string> paths;
  for (const std::string& f : files) {
    paths.push_back(dir.file(("huge" + std::to_string(paths.size())).c_str()));
    putFile(paths.back(), f);
  }
  struct StreamCase {
    Form form;
    bool counted;  // characters stored as a counted array (format version 0)
    std::string stored;
  } streams[] = {
      {Form::binary, false, std::string("\xf0\xff\xff\xff\x02\0\0\0ab", 10)},
      {Form::portable, false, "4294967295\n\"ab\""},
      {Form::bigEndian, false, bigHeader + std::string("\x7f\xff\xff\xff\0\0\0\x02" "ab", 10)},
      {Form::binary, true, std::string("\xf0\xff\xff\x7f" "abc", 7)},
  };

  const auto restoresCleanly = [&] {
    bool clean = true;
    for (const std::string& path : paths) {
      RWFile f(path.c_str(), "rb");
      RWCString s("something");
      s.restoreFrom(f);
      clean = clean && s.length() == 0 && (f.Eof() || f.Error());
    }
    for (const StreamCase& c : streams) {
      std::istringstream is(c.stored);
      std::unique_ptr<RWvistream> in;
      if (c.counted)
        in = std::make_unique<CountedInput>(is);
      else
        in = readerOn(c.form, is);
      RWCString s("something");
      s.restoreFrom(*in);
      clean = clean && s.length() == 0 && in->fail();
    }
    return clean;
  };
  EXPECT_EXIT(exitUnderAddressSpaceLimit(restoresCleanly), ::testing::ExitedWithCode(0), "");
}

}  // namespace
