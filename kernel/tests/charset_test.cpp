#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/engine/engine.h"
#include "kernel/charset.h"

TEST(CharsetConverterNT, EachEncodingConvertsThroughItsCodePage) {
  struct Case {
    int32_t charset;
    UINT codePage;
    uint16_t byte, unicode;
  } cases[] = {
      {14, 1251, 0xC0, 0x0410},    // CYRILLIC CAPITAL LETTER A
      {22, 1361, 0x41, 0x0041},
      {4, 1252, 0x80, 0x20AC},
      {5, 1250, 0x8A, 0x0160},
      {17, 932, 0xB1, 0xFF71},     // a half-width katakana is one byte
      {99, 0, 0x80, 0x20AC},       // no code page: the engine's default
      {-1, 0, 0x41, 0x0041},
  };
  GCharsetConverterNT converter;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.charset);
    EXPECT_EQ(converter.toUnicode(c.byte, c.charset), c.unicode);
    EXPECT_EQ(eng::lastCodePage(), c.codePage);
    EXPECT_EQ(converter.fromUnicode(c.unicode, c.charset), c.byte);
    EXPECT_EQ(eng::lastCodePage(), c.codePage);
  }
}

TEST(CharsetConverterNT, DoubleByteFormsCarryTheLeadByteHigh) {
  GCharsetConverterNT converter;
  EXPECT_EQ(converter.fromUnicode(0x3042, 17), 0x82A0);  // HIRAGANA LETTER A
  EXPECT_EQ(converter.fromUnicode(0xAC00, 22), 0x8861);  // HANGUL SYLLABLE GA
  // toUnicode takes the low byte alone: a single-byte code of the page.
  EXPECT_EQ(converter.toUnicode(0x8241, 17), 0x0041);
}

TEST(EngineLockNT, AcquireAndReleaseAnswerZeroAndNestForTheirHolder) {
  eng::reset();
  const long before = eng::live().semaphores;
  {
    GEngineLockNT lock;
    EXPECT_EQ(eng::live().semaphores, before + 1);
    EXPECT_EQ(lock.acquire(), 0);
    EXPECT_EQ(lock.acquire(), 0);  // the same thread again: no deadlock
    std::atomic<bool> gotIt{false};
    std::thread other([&] {
      lock.acquire();  // waits for both releases below
      gotIt = true;
      lock.release();
    });
    EXPECT_EQ(lock.release(), 0);
    EXPECT_FALSE(gotIt);
    EXPECT_EQ(lock.release(), 0);
    other.join();
    EXPECT_TRUE(gotIt);
  }
  EXPECT_EQ(eng::live().semaphores, before);
  EXPECT_TRUE(eng::misuse().empty());
}
