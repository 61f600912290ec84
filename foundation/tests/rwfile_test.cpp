// The binary file: open modes, stored widths and bytes, text, flags, Erase
// and Exists.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "rw/rwfile.h"
#include "testkit/buildskip.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

// Values with no agreed stored width must not reach a file at all.
template <class T>
constexpr bool canWrite = requires(RWFile& f, T v) { f.Write(v); };
template <class T>
constexpr bool canRead = requires(RWFile& f, T& v) { f.Read(v); };
template <class T>
constexpr bool canWriteArray = requires(RWFile& f, const T* p) { f.Write(p, 1u); };
template <class T>
constexpr bool canReadNew = requires(RWFile& f) { f.ReadNew<T>(); };

static_assert(canWrite<int32_t> && canWrite<uint32_t> && canWrite<int16_t> && canWrite<char16_t>);
static_assert(canWrite<float> && canWrite<double> && canWrite<char> && canWrite<int8_t>);
static_assert(!canWrite<long> && !canWrite<unsigned long> && !canWrite<long long>);
static_assert(!canWrite<size_t> && !canWrite<int64_t> && !canWrite<wchar_t> && !canWrite<bool>);
static_assert(canRead<int32_t> && !canRead<long> && !canRead<unsigned long> && !canRead<wchar_t>);
static_assert(canWriteArray<uint32_t> && !canWriteArray<long> && !canWriteArray<unsigned long>);
static_assert(canReadNew<double> && !canReadNew<long>);
// A text is read only together with the size of the buffer it goes into.
static_assert(!canRead<char*> && requires(RWFile& f, char* p) { f.ReadText(p, 1u); });

class RWFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  TempDir dir;
};

TEST_F(RWFileTest, NullModeCreatesThenUpdates) {
  std::string name = dir.file("new.bin");
  {
    RWFile f(name.c_str());
    EXPECT_TRUE(f.isValid());
    EXPECT_STREQ(f.Access(), "wb+");
    EXPECT_STREQ(f.GetName(), name.c_str());
    EXPECT_TRUE(f.Write('x'));
  }
  EXPECT_TRUE(fileExists(name));
  RWFile f(name.c_str());
  EXPECT_TRUE(f.isValid());
  EXPECT_STREQ(f.Access(), "rb+");
  char c = 0;
  EXPECT_TRUE(f.Read(c));  // not truncated
  EXPECT_EQ(c, 'x');

  RWFile longMode(name.c_str(), "rb+      extra");
  EXPECT_TRUE(longMode.isValid());
  EXPECT_STREQ(longMode.Access(), "rb+     ");  // at most 8 characters kept
}

TEST_F(RWFileTest, NotOpenFailsEverything) {
  std::string name = dir.file("missing");
  RWFile f(name.c_str(), "rb");
  EXPECT_FALSE(f.isValid());
  EXPECT_STREQ(f.Access(), "rb");
  EXPECT_FALSE(fileExists(name));
  int i = 0;
  char text[4] = "xyz";
  EXPECT_FALSE(f.Write(1));
  EXPECT_FALSE(f.Write("a"));
  EXPECT_FALSE(f.Read(i));
  EXPECT_FALSE(f.ReadText(text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_EQ(f.ReadNew<int>(), nullptr);
  EXPECT_FALSE(f.SeekTo(0));
  EXPECT_FALSE(f.SeekToEnd());
  EXPECT_EQ(f.CurOffset(), -1);
  EXPECT_FALSE(f.Flush());
  EXPECT_FALSE(f.IsEmpty());
  EXPECT_FALSE(f.Erase());
  EXPECT_TRUE(f.Error());
  EXPECT_FALSE(f.Eof());
  f.ClearErr();
  EXPECT_EQ(f.GetHandle(), nullptr);

  RWFile nameless(nullptr);
  EXPECT_FALSE(nameless.isValid());
  EXPECT_STREQ(nameless.GetName(), "");
}

TEST_F(RWFileTest, ScalarsStoreTheirExactLittleEndianBytes) {
  std::string name = dir.file("scalars");
  {
    RWFile f(name.c_str(), "wb+");
    EXPECT_TRUE(f.Write('A'));
    EXPECT_TRUE(f.Write(static_cast<signed char>(-2)));
    EXPECT_TRUE(f.Write(static_cast<unsigned char>(0xFE)));
    EXPECT_TRUE(f.Write(static_cast<int16_t>(-2)));
    EXPECT_TRUE(f.Write(static_cast<uint16_t>(0x1234)));
    EXPECT_TRUE(f.Write(u'\x263A'));
    EXPECT_TRUE(f.Write(static_cast<int32_t>(-2)));
    EXPECT_TRUE(f.Write(0x01020304u));  // a "long" of the stored forms
    EXPECT_TRUE(f.Write(1.0f));
    EXPECT_TRUE(f.Write(-2.0));
    EXPECT_EQ(f.CurOffset(), 1 + 1 + 1 + 2 + 2 + 2 + 4 + 4 + 4 + 8);
  }
  const char golden[] =
      "A" "\xFE" "\xFE" "\xFE\xFF" "\x34\x12" "\x3A\x26" "\xFE\xFF\xFF\xFF" "\x04\x03\x02\x01"
      "\x00\x00\x80\x3F" "\x00\x00\x00\x00\x00\x00\x00\xC0";
  EXPECT_EQ(fileContents(name), std::string(golden, sizeof golden - 1));

  RWFile f(name.c_str(), "rb");
  char c;
  signed char sc;
  unsigned char uc;
  short s;
  unsigned short us;
  char16_t wc;
  int32_t i;
  uint32_t u;
  float fl;
  double d;
  EXPECT_TRUE(f.Read(c) && f.Read(sc) && f.Read(uc) && f.Read(s) && f.Read(us) && f.Read(wc) &&
              f.Read(i) && f.Read(u) && f.Read(fl) && f.Read(d));
  EXPECT_EQ(c, 'A');
  EXPECT_EQ(sc, -2);
  EXPECT_EQ(uc, 0xFE);
  EXPECT_EQ(s, -2);
  EXPECT_EQ(us, 0x1234);
  EXPECT_EQ(wc, u'\x263A');
  EXPECT_EQ(i, -2);
  EXPECT_EQ(u, 0x01020304u);
  EXPECT_EQ(fl, 1.0f);
  EXPECT_EQ(d, -2.0);
  EXPECT_FALSE(f.Eof());
}

TEST_F(RWFileTest, ArraysMoveAllItemsOrAnswerFalse) {
  std::string name = dir.file("arrays");
  {
    RWFile f(name.c_str(), "wb+");
    const int16_t shorts[] = {1, -1};
    const uint32_t longs[] = {7, 0xFFFFFFFFu};
    const double doubles[] = {0.5};
    EXPECT_TRUE(f.Write(shorts, 2));
    EXPECT_TRUE(f.Write(longs, 2));
    EXPECT_TRUE(f.Write(doubles, 1));
    EXPECT_TRUE(f.Write(shorts, 0));
  }
  EXPECT_EQ(fileContents(name), std::string("\x01\x00\xFF\xFF\x07\x00\x00\x00\xFF\xFF\xFF\xFF"
                                        "\x00\x00\x00\x00\x00\x00\xE0\x3F",
                                        20));

  RWFile f(name.c_str(), "rb");
  int16_t s[2] = {};
  uint32_t l[5] = {};
  EXPECT_TRUE(f.Read(s, 2));
  EXPECT_EQ(s[1], -1);
  // Only four longs' worth of bytes remain: the read fails and leaves what
  // it got.
  EXPECT_FALSE(f.Read(l, 5));
  EXPECT_EQ(l[0], 7u);
  EXPECT_EQ(l[1], 0xFFFFFFFFu);
  EXPECT_EQ(l[3], 0x3FE00000u);
  EXPECT_TRUE(f.Eof());
}

TEST_F(RWFileTest, ReadAtEndOfFileSetsEof) {
  std::string name = dir.file("eof");
  RWFile f(name.c_str(), "wb+");
  ASSERT_TRUE(f.Write(static_cast<int16_t>(0x0102)));
  ASSERT_TRUE(f.SeekTo(0));
  int32_t i = 0;
  EXPECT_FALSE(f.Read(i));
  EXPECT_TRUE(f.Eof());
  EXPECT_FALSE(f.Error());
  EXPECT_EQ(i, 0x0102);  // the bytes read before the end stay
  EXPECT_FALSE(f.Read(i));
  f.ClearErr();
  EXPECT_FALSE(f.Eof());

  // A seek clears end of file, a bad one sets error.
  EXPECT_FALSE(f.Read(i));
  EXPECT_TRUE(f.SeekToEnd());
  EXPECT_FALSE(f.Eof());
  EXPECT_EQ(f.CurOffset(), 2);
  EXPECT_FALSE(f.SeekTo(-1));
  EXPECT_TRUE(f.Error());
  EXPECT_FALSE(f.SeekTo(0));
  f.ClearErr();
  EXPECT_TRUE(f.SeekTo(1));
  EXPECT_EQ(f.CurOffset(), 1);
  EXPECT_TRUE(f.Flush());
}

TEST_F(RWFileTest, ReadNewHandsOverAValue) {
  std::string name = dir.file("new");
  RWFile f(name.c_str(), "wb+");
  ASSERT_TRUE(f.Write(static_cast<int32_t>(-7)) && f.Write(2.5) && f.Write(u'z'));
  ASSERT_TRUE(f.SeekTo(0));
  std::unique_ptr<int32_t> i(f.ReadNew<int32_t>());
  std::unique_ptr<double> d(f.ReadNew<double>());
  std::unique_ptr<char16_t> c(f.ReadNew<char16_t>());
  ASSERT_TRUE(i && d && c);
  EXPECT_EQ(*i, -7);
  EXPECT_EQ(*d, 2.5);
  EXPECT_EQ(*c, u'z');
  EXPECT_EQ(f.ReadNew<uint32_t>(), nullptr);
  EXPECT_TRUE(f.Eof());
}

TEST_F(RWFileTest, IsEmptyLeavesTheFileAsItWas) {
  std::string name = dir.file("empty");
  RWFile f(name.c_str());
  EXPECT_TRUE(f.IsEmpty());
  EXPECT_FALSE(f.Eof());
  EXPECT_TRUE(f.Write('q'));  // probing must not make the first write fail
  EXPECT_FALSE(f.IsEmpty());  // not at offset 0
  ASSERT_TRUE(f.SeekTo(0));
  EXPECT_FALSE(f.IsEmpty());
  EXPECT_EQ(f.CurOffset(), 0);
  char c = 0;
  EXPECT_TRUE(f.Read(c));
  EXPECT_EQ(c, 'q');
}

TEST_F(RWFileTest, TextWritesItsZeroByte) {
  std::string name = dir.file("text");
  {
    RWFile f(name.c_str(), "wb+");
    EXPECT_TRUE(f.Write("abc"));
    EXPECT_EQ(f.CurOffset(), 4);
    EXPECT_TRUE(f.Write(""));
    EXPECT_FALSE(f.Write(static_cast<const char*>(nullptr)));
  }
  EXPECT_EQ(fileContents(name), std::string("abc\0\0", 5));

  RWFile f(name.c_str(), "rb");
  char buf[16];
  EXPECT_TRUE(f.ReadText(buf, sizeof buf));
  EXPECT_STREQ(buf, "abc");
  EXPECT_TRUE(f.ReadText(buf, sizeof buf));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(f.Eof());
  EXPECT_FALSE(f.ReadText(buf, sizeof buf));  // nothing left
  EXPECT_TRUE(f.Eof());
}

TEST_F(RWFileTest, ReadTextStaysWithinItsBuffer) {
  const std::string hundred(100, 'x');
  struct Case {
    std::string stored;
    RWsize size;
    std::string text;
    bool answer;
    RWoffset after;
    bool eof;
  } cases[] = {
      {std::string("abc\0z", 5), 4, "abc", true, 4, false},  // text and zero fill the buffer
      {std::string("abcd\0", 5), 4, "abc", false, 3, false},  // the bound comes first
      {"abc", 16, "abc", false, 3, true},                     // the end of the file comes first
      {"", 8, "", false, 0, true},
      {std::string("\0", 1), 1, "", true, 1, false},
      {"a", 1, "", false, 0, false},
      {hundred + std::string("\0next", 5), 200, hundred, true, 101, false},  // across chunks
      {hundred, 70, hundred.substr(0, 69), false, 69, false},
      {hundred + std::string("\0", 1), 101, hundred, true, 101, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.substr(0, 8) + " size " + std::to_string(c.size));
    std::string name = dir.file("bounded");
    putFile(name, c.stored);
    RWFile f(name.c_str(), "rb");
    std::string buf(c.size + 8, '#');
    EXPECT_EQ(f.ReadText(buf.data(), c.size) != 0, c.answer);
    EXPECT_EQ(std::string(buf.c_str()), c.text);
    EXPECT_EQ(buf[c.size], '#');  // nothing written past the buffer
    EXPECT_EQ(f.CurOffset(), c.after);
    EXPECT_EQ(f.Eof() != 0, c.eof);
  }

  // Size 0 touches neither the buffer nor the file.
  std::string name = dir.file("zero");
  putFile(name, "abc");
  RWFile f(name.c_str(), "rb");
  char one = '#';
  EXPECT_FALSE(f.ReadText(&one, 0));
  EXPECT_EQ(one, '#');
  EXPECT_EQ(f.CurOffset(), 0);
  EXPECT_FALSE(f.ReadText(nullptr, 4));
}

TEST_F(RWFileTest, EraseEmptiesTheFile) {
  std::string name = dir.file("erase");
  putFile(name, "old contents");
  {
    RWFile f(name.c_str(), "rb");
    EXPECT_STREQ(f.Access(), "rb");
    EXPECT_TRUE(f.Erase());
    EXPECT_TRUE(f.isValid());
    EXPECT_STREQ(f.Access(), "wb+");
    EXPECT_TRUE(f.IsEmpty());
  }
  EXPECT_EQ(fileContents(name), "");

  // The erased file takes writes like a new one.
  putFile(name, "old contents");
  {
    RWFile f(name.c_str(), "rb");
    ASSERT_TRUE(f.Erase());
    EXPECT_TRUE(f.Write("new"));
  }
  EXPECT_EQ(fileContents(name), std::string("new\0", 4));
}

TEST_F(RWFileTest, FailedEraseLeavesTheObjectNotOpen) {
  SKIP_IN_KERNEL_BUILD("the engine holds the open file: removing it on the host does not make the delete fail");
  std::string name = dir.file("gone");
  RWFile f(name.c_str());
  ASSERT_TRUE(f.Write(1));
  ASSERT_EQ(::unlink(hostPath(name).c_str()), 0);  // the delete will fail
  EXPECT_FALSE(f.Erase());
  EXPECT_FALSE(f.isValid());
  EXPECT_FALSE(fileExists(name));
  int i = 0;
  EXPECT_FALSE(f.Write(2));
  EXPECT_FALSE(f.Read(i));
  EXPECT_FALSE(f.SeekTo(0));
  EXPECT_EQ(f.CurOffset(), -1);
  EXPECT_FALSE(f.IsEmpty());
  EXPECT_FALSE(f.Flush());
  EXPECT_TRUE(f.Error());
  EXPECT_FALSE(f.Erase());
  EXPECT_FALSE(fileExists(name));  // nothing was made again
}

TEST_F(RWFileTest, ExistsAsksWithoutCreating) {
  std::string missing = dir.file("missing");
  std::string there = dir.file("there");
  putFile(there, "x");
  struct Case {
    const std::string* name;
    int mode;
    bool answer;
  } cases[] = {
      {&missing, 0, false}, {&missing, 2, false}, {&missing, 4, false}, {&missing, 6, false},
      {&there, 0, true},    {&there, 2, true},    {&there, 4, true},    {&there, 6, true},
      {&there, 1, false},   {&there, 5, false},   {&there, 7, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RWFile::Exists(c.name->c_str(), c.mode) != 0, c.answer) << *c.name << " mode " << c.mode;
  EXPECT_FALSE(fileExists(missing));
  EXPECT_TRUE(RWFile::Exists(there.c_str()));
  EXPECT_FALSE(RWFile::Exists(missing.c_str()));
  EXPECT_FALSE(RWFile::Exists(dir.path().c_str()));
  EXPECT_FALSE(RWFile::Exists(dir.path().c_str(), 0));
  EXPECT_FALSE(fileExists(missing));

  if (geteuid() != 0) {  // the superuser may write anything
    chmod(hostPath(there).c_str(), 0444);
    EXPECT_FALSE(RWFile::Exists(there.c_str()));
    EXPECT_TRUE(RWFile::Exists(there.c_str(), 4));
    EXPECT_FALSE(RWFile::Exists(there.c_str(), 2));
    EXPECT_TRUE(RWFile::Exists(there.c_str(), 0));
  }
}

}  // namespace
