#include <gtest/gtest.h>

#include <cmath>
#include <bit>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwerr.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"

using namespace std::string_literals;

// An 8-byte long must not reach any stream: the overloads are deleted.
template <class S, class T>
concept Shifts = requires(S& s, T v) { s << v; };
template <class S, class T>
concept Extracts = requires(S& s, T& v) { s >> v; };
template <class S, class T>
concept Puts = requires(S& s, T v) { s.put(v); };
template <class S, class T>
concept PutsArray = requires(S& s, const T* p) { s.put(p, 1u); };
template <class S, class T>
concept Gets = requires(S& s, T& v) { s.get(v); };

static_assert(Shifts<RWvostream, int32_t> && Shifts<RWvostream, uint32_t>);
static_assert(!Shifts<RWvostream, long> && !Shifts<RWvostream, unsigned long>);
static_assert(!Puts<RWvostream, long> && !Puts<RWpostream, unsigned long> && !Puts<RWbostream, long>);
static_assert(!PutsArray<RWvostream, long> && !PutsArray<RWbostream, unsigned long>);
static_assert(Extracts<RWvistream, int32_t> && !Extracts<RWvistream, long>);
static_assert(!Extracts<RWvistream, unsigned long> && !Extracts<RWvistream, long*>);
static_assert(!Gets<RWvistream, long> && !Gets<RWpistream, unsigned long> && !Gets<RWbistream, long>);

namespace {

// ------------------------------------------------------------ state

TEST(VStreamState, SystemBitsTranslateToAndFromTheIostream) {
  struct Case {
    int system;
    std::ios::iostate lib;
  } cases[] = {
      {0, std::ios::goodbit},
      {1, std::ios::eofbit},
      {2, std::ios::failbit},
      {4, std::ios::badbit},
      {3, std::ios::eofbit | std::ios::failbit},
      {7, std::ios::eofbit | std::ios::failbit | std::ios::badbit},
  };
  for (const Case& c : cases) {
    std::ostringstream os;
    RWpostream ps(os);
    ps.clear(c.system);
    EXPECT_EQ(os.rdstate(), c.lib) << c.system;
    EXPECT_EQ(ps.rdstate(), c.system);

    std::istringstream is;
    RWbistream bs(is);
    is.clear(c.lib);
    RWvistream& v = bs;
    EXPECT_EQ(v.rdstate(), c.system);
    EXPECT_EQ(v.eof(), (c.system & 1) != 0);
    EXPECT_EQ(v.fail(), (c.system & 6) != 0);
    EXPECT_EQ(v.bad(), (c.system & 4) != 0);
    EXPECT_EQ(v.good(), c.system == 0);
  }
}

TEST(VStreamState, BaseKeepsItsOwnStateWord) {
  struct Plain : RWvios {};
  Plain p;
  EXPECT_TRUE(p.good());
  EXPECT_EQ(p.version(), 0);
  p.clear(RWvios::badbit);
  EXPECT_TRUE(p.bad());
  EXPECT_TRUE(p.fail());  // a bad stream has failed too
  EXPECT_FALSE(p.eof());
  p.clear();
  EXPECT_TRUE(p.good());
}

TEST(VStreamState, EveryFormHasVersionOne) {
  std::ostringstream os;
  std::istringstream is;
  RWpostream po(os);
  RWpistream pi(is);
  RWbostream bo(os);
  RWbistream bi(is);
  EXPECT_EQ(po.version(), 1);
  EXPECT_EQ(pi.version(), 1);
  EXPECT_EQ(bo.version(), 1);
  EXPECT_EQ(bi.version(), 1);
  std::stringstream es;
  RWeostream eo(es, RWeostream::LittleEndian);
  RWeistream ei(es);
  EXPECT_EQ(eo.version(), 1);
  EXPECT_EQ(ei.version(), 1);
}

// ------------------------------------------------------------ portable

TEST(PortableStream, NumbersAreDecimalLines) {
  std::ostringstream os;
  os << std::hex << std::showpos;  // the caller's flags do not change what is stored
  RWpostream ps(os);
  RWvostream& s = ps;
  s << int32_t(-5);
  s.put(uint16_t(65535)).put(int16_t(-32768)).putULong(4294967295u).putLong(INT32_MIN);
  s.put(char(-1)).put(static_cast<unsigned char>(255));
  s.put(0.1f).put(0.1).put(1e300).put(-0.0);
  const int16_t shorts[] = {1, -2};
  s.put(shorts, 2);
  const char chars[] = {'A', char(0x80)};
  s.put(chars, 2);
  EXPECT_EQ(os.str(),
            "-5\n65535\n-32768\n4294967295\n-2147483648\n-1\n255\n"
            "0.100000001\n0.10000000000000001\n1.0000000000000001e+300\n-0\n"
            "1\n-2\n65\n-128\n");
}

TEST(PortableStream, WriteStringEscapesTheBlank) {
  std::ostringstream os;
  RWpostream ps(os);
  ps.writeString("a b", 3);
  EXPECT_EQ(os.str(), "\"a\\x20b\"");
  std::ostringstream os2;
  RWpostream ps2(os2);
  RWvostream& v = ps2;
  v << "q{}";
  EXPECT_EQ(os2.str(), "\"q\\[\\]\"");
}

TEST(PortableStream, EscapeTable) {
  struct Case {
    unsigned byte;
    const char* text;
  } cases[] = {
      {0x08, "\\b"},   {0x09, "\\t"},   {0x0A, "\\n"},   {0x0C, "\\f"},   {0x0D, "\\r"},
      {'"', "\\\""},   {'\\', "\\\\"},  {'{', "\\["},    {'}', "\\]"},    {'A', "A"},
      {'!', "!"},      {'~', "~"},      {0x20, "\\x20"}, {0x00, "\\x00"}, {0x0B, "\\x0b"},
      {0x1F, "\\x1f"}, {0x7F, "\\x7f"}, {0x80, "\\x80"}, {0xE9, "\\xe9"}, {0xFF, "\\xff"},
  };
  for (const Case& c : cases) {
    std::ostringstream os;
    RWpostream ps(os);
    ps.putChar(char(c.byte));
    EXPECT_EQ(os.str(), c.text) << c.byte;

    std::istringstream is(os.str());
    RWpistream pi(is);
    unsigned char back = 0;
    pi.getChar(back);
    EXPECT_EQ(back, c.byte);
    EXPECT_FALSE(pi.fail());
  }
}

TEST(PortableStream, LongTextWrapsAfterEightyCountedColumns) {
  std::ostringstream os;
  RWpostream ps(os);
  std::string letters(100, 'x');
  ps.writeString(letters.c_str(), 100);
  // The opening quote counts: 1 + 79 letters fill the line.
  EXPECT_EQ(os.str(), "\"" + std::string(79, 'x') + "\n" + std::string(21, 'x') + "\"");

  // A hex escape moves to the next line whole.
  std::ostringstream os2;
  RWpostream ps2(os2);
  std::string text = std::string(78, 'y') + " ";
  ps2.writeString(text.c_str(), RWsize(text.size()));
  EXPECT_EQ(os2.str(), "\"" + std::string(78, 'y') + "\n\\x20\"");

  std::istringstream is(os.str() + os2.str());
  RWpistream pi(is);
  char buf[128];
  pi.readString(buf, sizeof buf);
  EXPECT_EQ(std::string(buf), letters);
  pi.readString(buf, sizeof buf);
  EXPECT_EQ(std::string(buf), text);
  EXPECT_TRUE(pi.good());
}

TEST(PortableStream, EveryByteRoundTripsThroughAString) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  std::stringstream ss;
  RWpostream po(ss);
  po.writeString(all.data(), RWsize(all.size()));
  po.put(int32_t(7));
  RWpistream pi(ss);
  char buf[300];
  pi.readString(buf, sizeof buf);
  EXPECT_EQ(std::string(buf, 256), all);
  int32_t seven = 0;
  pi >> seven;
  EXPECT_EQ(seven, 7);
  EXPECT_TRUE(pi.good());
}

TEST(PortableStream, ReadStringCutsToTheBuffer) {
  std::istringstream is("\"abcdefghij\" 12\n");
  RWpistream pi(is);
  char buf[4];
  pi.readString(buf, 4);
  EXPECT_STREQ(buf, "abc");
  EXPECT_TRUE(pi.fail());
  pi.clear();
  int32_t next = 0;
  pi >> next;  // the rest of the text was consumed
  EXPECT_EQ(next, 12);
}

TEST(PortableStream, ReadStringIntoNoRoomStoresNothing) {
  // An escaped quote in the skipped part does not end the text early.
  std::istringstream is("\"ab\\\"c\"\n5\n");
  RWpistream pi(is);
  char buf[2] = {'Q', 'Q'};
  pi.readString(buf, 0);
  EXPECT_EQ(buf[0], 'Q');
  EXPECT_TRUE(pi.fail());
  pi.clear();
  EXPECT_EQ(pi.get(), 5);
}

TEST(PortableStream, ReadStringReportsAMissingQuote) {
  ReportLog r;
  std::istringstream is("xyz\"");
  RWpistream pi(is);
  char buf[8];
  pi.readString(buf, sizeof buf);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "[SYNSTREAM] Syntax error in input stream: expected \", got x");
  EXPECT_TRUE(r[0].environment);
  EXPECT_STREQ(buf, "yz");  // reading went on
}

TEST(PortableStream, ReadStringAtEndStopsQuietly) {
  ReportLog r;
  std::istringstream is("  \n");
  RWpistream pi(is);
  char buf[4] = "zz";
  pi.readString(buf, sizeof buf);
  EXPECT_TRUE(r.empty());
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(pi.fail());
  EXPECT_TRUE(pi.eof());

  std::istringstream cut("\"ab");  // no closing quote
  RWpistream pc(cut);
  pc.readString(buf, sizeof buf);
  EXPECT_STREQ(buf, "ab");
  EXPECT_TRUE(pc.eof());
}

TEST(PortableStream, ValuesRoundTrip) {
  std::stringstream ss;
  RWpostream po(ss);
  RWvostream& o = po;
  const uint32_t ul[] = {0, 4294967295u};
  const int32_t il[] = {INT32_MIN, INT32_MAX};
  const uint16_t us[] = {0, 65535};
  const unsigned char uc[] = {0, 200, 255};
  const float fl[] = {1.0f / 3, std::numeric_limits<float>::denorm_min(), -1e38f};
  const double dl[] = {1.0 / 3, std::numeric_limits<double>::max(),
                       std::numeric_limits<double>::infinity(), -0.0};
  o.putULong(ul, 2).putLong(il, 2).put(us, 2).put(uc, 3).put(fl, 3).put(dl, 4);
  o << uint16_t(9) << int16_t(-9) << 'q' << static_cast<unsigned char>(0xFE) << 2.5f << -2.5;
  o.put(std::nan(""));
  o << flush;

  RWpistream pi(ss);
  RWvistream& i = pi;
  uint32_t ul2[2];
  int32_t il2[2];
  uint16_t us2[2];
  unsigned char uc2[3];
  float fl2[3];
  double dl2[4];
  i.getULong(ul2, 2).getLong(il2, 2).get(us2, 2).get(uc2, 3).get(fl2, 3).get(dl2, 4);
  EXPECT_EQ(0, std::memcmp(ul, ul2, sizeof ul));
  EXPECT_EQ(0, std::memcmp(il, il2, sizeof il));
  EXPECT_EQ(0, std::memcmp(us, us2, sizeof us));
  EXPECT_EQ(0, std::memcmp(uc, uc2, sizeof uc));
  EXPECT_EQ(0, std::memcmp(fl, fl2, sizeof fl));  // bit for bit, -0 included
  EXPECT_EQ(0, std::memcmp(dl, dl2, sizeof dl));
  uint16_t a;
  int16_t b;
  char c;
  unsigned char d;
  float e;
  double f, g;
  i >> a >> b >> c >> d >> e >> f >> g;
  EXPECT_EQ(a, 9);
  EXPECT_EQ(b, -9);
  EXPECT_EQ(c, 'q');
  EXPECT_EQ(d, 0xFE);
  EXPECT_EQ(e, 2.5f);
  EXPECT_EQ(f, -2.5);
  EXPECT_TRUE(std::isnan(g));
  EXPECT_TRUE(i.good());
  EXPECT_EQ(i.get(), -1);
  EXPECT_TRUE(i.eof());
}

TEST(PortableStream, BadNumbersFail) {
  const char* inputs[] = {"x\n", "65536\n", "-1\n", "99999999999999999999999\n", ""};
  for (const char* in : inputs) {
    std::istringstream is(in);
    RWpistream pi(is);
    uint16_t v = 3;
    pi.get(v);
    EXPECT_TRUE(pi.fail()) << in;
    EXPECT_EQ(v, 0) << in;
  }
  std::istringstream is("-32769\n1.5x\n");
  RWpistream pi(is);
  int16_t s;
  pi >> s;
  EXPECT_TRUE(pi.fail());
  pi.clear();
  double d;
  pi >> d;
  EXPECT_TRUE(pi.fail());
}

TEST(PortableStream, ExtractionMakesANewValue) {
  std::istringstream is("-7\n40000\n\\x41");
  RWpistream pi(is);
  int32_t* a = nullptr;
  uint16_t* b = nullptr;
  char* c = nullptr;
  pi >> a >> b >> c;
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(*a, -7);
  EXPECT_EQ(*b, 40000);
  EXPECT_EQ(*c, 'A');
  delete a;
  delete b;
  delete c;
}

// ------------------------------------------------------------ binary

TEST(BinaryStream, ScalarsAreNativeBytes) {
  std::ostringstream os;
  RWbostream bs(os);
  RWvostream& s = bs;
  s.put('a').putChar(static_cast<unsigned char>(0xFE)).put(int16_t(-2)).put(int32_t(0x01020304));
  s.putLong(-1).put(1.0f).put(-2.0);
  s.writeString("abc");
  s.writeString("xy", 2);
  const uint16_t arr[] = {0x0102, 0x0304};
  s.put(arr, 2);
  EXPECT_EQ(os.str(), bytes({0x61, 0xFE, 0xFE, 0xFF, 0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,
                             0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0x00, 0xC0,
                             3, 0, 0, 0, 'a', 'b', 'c', 2, 0, 0, 0, 'x', 'y',
                             0x02, 0x01, 0x04, 0x03}));
}

TEST(BinaryStream, ValuesRoundTrip) {
  std::stringstream ss;
  RWbostream bo(ss);
  const double dl[] = {1.5, -0.25};
  const int32_t il[] = {INT32_MIN, 5};
  bo << uint16_t(65535) << int32_t(-9) << 'z' << 3.25f;
  bo.putULong(4000000000u).put(dl, 2).putLong(il, 2).put(char(-3));

  RWbistream bi(ss);
  uint16_t a;
  int32_t b;
  char c;
  float d;
  uint32_t e;
  double dl2[2];
  int32_t il2[2];
  char f;
  bi >> a >> b >> c >> d;
  bi.getULong(e).get(dl2, 2).getLong(il2, 2).get(f);
  EXPECT_EQ(a, 65535);
  EXPECT_EQ(b, -9);
  EXPECT_EQ(c, 'z');
  EXPECT_EQ(d, 3.25f);
  EXPECT_EQ(e, 4000000000u);
  EXPECT_EQ(dl2[1], -0.25);
  EXPECT_EQ(il2[0], INT32_MIN);
  EXPECT_EQ(f, -3);
  EXPECT_TRUE(bi.good());
  EXPECT_EQ(bi.get(), -1);
  EXPECT_TRUE(bi.eof());
  EXPECT_TRUE(bi.fail());
}

TEST(BinaryStream, ShortReadSetsFailAndEof) {
  std::istringstream is(bytes({0x01, 0x02, 0x03}));
  RWbistream bi(is);
  int32_t v = 7;
  bi >> v;
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(bi.fail());
  EXPECT_TRUE(bi.eof());
  EXPECT_FALSE(bi.bad());
}

TEST(BinaryStream, ReadStringCutsAndSkips) {
  std::istringstream is(bytes({5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0x2A}));
  RWbistream bi(is);
  char buf[3];
  bi.readString(buf, 3);
  EXPECT_STREQ(buf, "he");
  EXPECT_TRUE(bi.fail());
  EXPECT_FALSE(bi.eof());
  bi.clear();
  EXPECT_EQ(bi.get(), 0x2A);  // the three other bytes were skipped
}

TEST(BinaryStream, ReadStringIntoNoRoomStoresNothing) {
  std::istringstream is(bytes({2, 0, 0, 0, 'h', 'i', 0x2A}));
  RWbistream bi(is);
  char buf[1] = {'Q'};
  bi.readString(buf, 0);
  EXPECT_EQ(buf[0], 'Q');
  EXPECT_TRUE(bi.fail());
  bi.clear();
  EXPECT_EQ(bi.get(), 0x2A);
}

TEST(BinaryStream, ReadStringOfATruncatedText) {
  std::istringstream is(bytes({9, 0, 0, 0, 'a', 'b'}));
  RWbistream bi(is);
  char buf[16];
  bi.readString(buf, sizeof buf);
  EXPECT_STREQ(buf, "ab");
  EXPECT_TRUE(bi.fail());
  EXPECT_TRUE(bi.eof());

  std::istringstream cut(bytes({9, 0}));
  RWbistream bc(cut);
  bc.readString(buf, sizeof buf);
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(bc.fail());
}

// A stream buffer that takes only a few bytes, as a full device would.
class SmallBuf : public std::streambuf {
 public:
  explicit SmallBuf(size_t room) : room_(room) {}
  std::string taken;
  int syncs = 0;

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof() || taken.size() >= room_) return traits_type::eof();
    taken += char(c);
    return c;
  }
  int sync() override {
    ++syncs;
    return 0;
  }

 private:
  size_t room_;
};

TEST(BinaryStream, WriteThatIsNotTakenSetsFail) {
  SmallBuf buf(6);
  std::ostream os(&buf);
  RWbostream bo(os);
  bo.put(int32_t(1));
  EXPECT_TRUE(bo.good());
  bo.put(int32_t(2));
  EXPECT_TRUE(bo.fail());
  EXPECT_EQ(buf.taken, bytes({1, 0, 0, 0, 2, 0}));
  EXPECT_GE(buf.syncs, 1);  // the buffer was asked to empty before giving up
}

// ------------------------------------------------------------ endian

const std::string littleHeader = bytes({0x65, 0x73, 0x01, 0x00, 0x02, 0x04, 0x04, 0x02, 0x04});
const std::string bigHeader = bytes({0x65, 0x73, 0x01, 0x01, 0x02, 0x04, 0x04, 0x02, 0x04});

// A header of the given order and sizes (short, int, long, wchar, length).
std::string header(unsigned order, unsigned s, unsigned i, unsigned l, unsigned w, unsigned n) {
  return bytes({0x65, 0x73, 0x01, order, s, i, l, w, n});
}

TEST(EndianStream, HeaderNamesOrderAndSizes) {
  struct Case {
    RWeostream::Endian order;
    const std::string& expected;
  } cases[] = {
      {RWeostream::LittleEndian, littleHeader},
      {RWeostream::BigEndian, bigHeader},
      {RWeostream::HostEndian, std::endian::native == std::endian::big ? bigHeader : littleHeader},
  };
  ReportLog r;
  for (const Case& c : cases) {
    std::ostringstream os;
    RWeostream es(os, c.order);
    EXPECT_EQ(os.str(), c.expected);
    EXPECT_NE(es.streamEndian(), RWeostream::HostEndian);
    EXPECT_EQ(es.version(), 1);
  }
  EXPECT_TRUE(r.empty());
}

TEST(EndianStream, BigEndianIntIsWrittenHighByteFirstAndReadBack) {
  std::stringstream ss;
  RWeostream eo(ss, RWeostream::BigEndian);
  eo << int32_t(1);
  EXPECT_EQ(ss.str(), bigHeader + bytes({0, 0, 0, 1}));
  RWeistream ei(ss);
  EXPECT_EQ(ei.streamEndian(), RWeostream::BigEndian);
  int32_t v = 0;
  ei >> v;
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(ei.good());
}

TEST(EndianStream, EveryTypeInEitherOrder) {
  for (auto order : {RWeostream::LittleEndian, RWeostream::BigEndian}) {
    std::stringstream ss;
    RWeostream eo(ss, order);
    RWvostream& o = eo;
    const uint16_t us[] = {0x0102, 0xFFFE};
    const int32_t il[] = {-2, 0x01020304};
    const double dl[] = {1.5, -1e-300};
    const float fl[] = {0.5f, -3.0f};
    o << uint16_t(0xABCD) << int16_t(-3) << uint32_t(0xDEADBEEF) << 'c' << 1.25f << -8.5;
    o.putLong(-70000).putULong(3000000000u).put(char(-1));
    o.put(us, 2).putLong(il, 2).putULong(reinterpret_cast<const uint32_t*>(il), 2).put(dl, 2).put(fl, 2);
    o << "hello";

    RWeistream ei(ss);
    RWvistream& i = ei;
    uint16_t a;
    int16_t b;
    uint32_t c;
    char d;
    float e;
    double f;
    int32_t g;
    uint32_t h;
    char k;
    uint16_t us2[2];
    int32_t il2[2];
    uint32_t ul2[2];
    double dl2[2];
    float fl2[2];
    char text[8];
    i >> a >> b >> c >> d >> e >> f;
    i.getLong(g).getULong(h).get(k);
    i.get(us2, 2).getLong(il2, 2).getULong(ul2, 2).get(dl2, 2).get(fl2, 2).readString(text, sizeof text);
    EXPECT_EQ(a, 0xABCD) << order;
    EXPECT_EQ(b, -3);
    EXPECT_EQ(c, 0xDEADBEEF);
    EXPECT_EQ(d, 'c');
    EXPECT_EQ(e, 1.25f);
    EXPECT_EQ(f, -8.5);
    EXPECT_EQ(g, -70000);
    EXPECT_EQ(h, 3000000000u);
    EXPECT_EQ(k, -1);
    EXPECT_EQ(0, std::memcmp(us, us2, sizeof us));
    EXPECT_EQ(0, std::memcmp(il, il2, sizeof il));
    EXPECT_EQ(0, std::memcmp(il, ul2, sizeof il));
    EXPECT_EQ(0, std::memcmp(dl, dl2, sizeof dl));
    EXPECT_EQ(0, std::memcmp(fl, fl2, sizeof fl));
    EXPECT_STREQ(text, "hello");
    EXPECT_TRUE(i.good());
  }
}

TEST(EndianStream, StringLengthFollowsTheChosenOrder) {
  std::ostringstream os;
  RWeostream eo(os, RWeostream::BigEndian);
  eo.writeString("ab", 2);
  eo.put(uint16_t(0x0102)).put(2.0f);
  EXPECT_EQ(os.str(), bigHeader + bytes({0, 0, 0, 2, 'a', 'b', 0x01, 0x02, 0x40, 0x00, 0x00, 0x00}));
}

TEST(EndianStream, NarrowerStoredValuesAreExtended) {
  struct Case {
    unsigned order;
    std::string data;
    int32_t asInt;
    uint32_t asUnsigned;
  } cases[] = {
      {1, bytes({0xFF, 0xFE}), -2, 0xFFFE},
      {0, bytes({0xFE, 0xFF}), -2, 0xFFFE},
      {1, bytes({0x7F, 0xFE}), 0x7FFE, 0x7FFE},
      {0, bytes({0x34, 0x12}), 0x1234, 0x1234},
  };
  for (const Case& c : cases) {
    std::istringstream is(header(c.order, 2, 2, 2, 2, 2) + c.data + c.data + c.data + c.data);
    RWeistream ei(is);
    int32_t i;
    uint32_t u, lu;
    int32_t li;
    ei.get(i).get(u).getLong(li).getULong(lu);
    EXPECT_EQ(i, c.asInt);
    EXPECT_EQ(u, c.asUnsigned);
    EXPECT_EQ(li, c.asInt);
    EXPECT_EQ(lu, c.asUnsigned);
    EXPECT_TRUE(ei.good());
  }
  // Arrays of a narrower stored size go item by item.
  std::istringstream is(header(1, 1, 2, 4, 2, 4) + bytes({0xFF, 0x05, 0xFF, 0xFE, 0x00, 0x09}));
  RWeistream ei(is);
  int16_t s[2];
  int32_t i[2];
  ei.get(s, 2).get(i, 2);
  EXPECT_EQ(s[0], -1);
  EXPECT_EQ(s[1], 5);
  EXPECT_EQ(i[0], -2);
  EXPECT_EQ(i[1], 9);
  EXPECT_TRUE(ei.good());
}

TEST(EndianStream, WiderStoredValuesMustCarryOnlyTheSign) {
  struct Case {
    unsigned order;
    std::string data;
    bool ok;
    int32_t value;
  } cases[] = {
      {1, bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}), true, -2},
      {1, bytes({0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF}), true, INT32_MAX},
      {0, bytes({0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), true, 5},
      {1, bytes({0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05}), false, 5},
      {1, bytes({0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}), false, INT32_MIN},
      {0, bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}), false, -2},
  };
  for (const Case& c : cases) {
    std::istringstream is(header(c.order, 2, 4, 8, 2, 4) + c.data + bytes({0x2A}));
    RWeistream ei(is);
    EXPECT_EQ(ei.streamSizeofLong(), 8u);
    int32_t v = 0;
    ei.getLong(v);
    EXPECT_EQ(v, c.value);
    EXPECT_EQ(ei.fail(), !c.ok);
    ei.clear();
    EXPECT_EQ(ei.get(), 0x2A);  // all eight bytes were consumed
  }
}

TEST(EndianStream, UnusableSizesAreRefused) {
  struct Case {
    unsigned intSize;
    bool ok;
  } cases[] = {{0, false}, {1, true}, {12, true}, {13, false}, {255, false}};
  for (const Case& c : cases) {
    std::string data(c.intSize, '\0');
    std::istringstream is(header(0, 2, c.intSize, 4, 2, 4) + data);
    RWeistream ei(is);
    EXPECT_EQ(ei.fail(), !c.ok) << c.intSize;
    ei.clear();
    int32_t v = 7;
    int32_t arr[2] = {7, 7};
    ei.get(v);
    EXPECT_EQ(ei.fail(), !c.ok) << c.intSize;
    ei.clear();
    ei.get(arr, 2);
    EXPECT_TRUE(ei.fail());  // one value at most was stored
    if (!c.ok) {
      EXPECT_EQ(arr[0], 7);  // refused before anything was read
    }
  }
  std::istringstream is(header(0, 2, 4, 4, 2, 0) + bytes({0, 0, 0, 0}));
  RWeistream ei(is);
  ei.clear();
  char buf[4] = "zz";
  ei.readString(buf, sizeof buf);
  EXPECT_STREQ(buf, "");
  EXPECT_TRUE(ei.bad());
}

TEST(EndianStream, ReadStringCutsAndSkips) {
  std::istringstream is(header(1, 2, 4, 4, 2, 2) + bytes({0x00, 0x05, 'h', 'e', 'l', 'l', 'o', 0x2A}));
  RWeistream ei(is);
  char buf[3];
  ei.readString(buf, 3);
  EXPECT_STREQ(buf, "he");
  EXPECT_TRUE(ei.fail());
  EXPECT_FALSE(ei.bad());
  ei.clear();
  EXPECT_EQ(ei.get(), 0x2A);

  // No room at all: nothing is stored, the text is skipped, fail is set.
  std::istringstream none(littleHeader + bytes({2, 0, 0, 0, 'h', 'i', 0x2A}));
  RWeistream en(none);
  char q[1] = {'Q'};
  en.readString(q, 0);
  EXPECT_EQ(q[0], 'Q');
  EXPECT_TRUE(en.fail());
  EXPECT_FALSE(en.bad());
  en.clear();
  EXPECT_EQ(en.get(), 0x2A);

  std::istringstream cut(littleHeader + bytes({0x05, 0x00}));
  RWeistream ec(cut);
  char b2[8] = "zz";
  ec.readString(b2, sizeof b2);
  EXPECT_STREQ(b2, "");
  EXPECT_TRUE(ec.bad());
  EXPECT_TRUE(ec.fail());
}

TEST(EndianStream, BadHeaderIsReportedAndReadingGoesOn) {
  ReportLog r;
  std::istringstream is(bytes({0x65, 0x58, 0x01, 0x00, 0x02, 0x04, 0x04, 0x02, 0x04, 0x07, 0, 0, 0}));
  RWeistream ei(is);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "[STREAM] Bad input stream");
  EXPECT_EQ(r[0].stream, &is);
  int32_t v = 0;
  ei >> v;
  EXPECT_EQ(v, 7);

  r.clear();
  std::istringstream cut(bytes({0x65, 0x73, 0x01, 0x00, 0x02}));
  RWeistream ec(cut);
  EXPECT_FALSE(r.empty());
  EXPECT_TRUE(ec.fail());
}

TEST(EndianStream, WritingOnANonEmptyTargetIsReported) {
  ReportLog r;
  std::ostringstream os("old");
  RWeostream eo(os, RWeostream::LittleEndian);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "[STREAM] Bad input stream");
  EXPECT_EQ(r[0].stream, &os);
  EXPECT_EQ(os.str(), littleHeader);  // construction went on

  r.clear();
  std::stringstream fresh;
  RWeostream ef(fresh);
  EXPECT_TRUE(r.empty());
}

}  // namespace
