// The PCL XL stream: the encoding of every primitive written out by hand,
// the flush discipline at buffer ends, bulk data through small buffers,
// the error latch, the header line and creation.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "pdl/tests/xlsink.h"
#include "pdl/xlstream.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"

namespace {

using Writer = std::function<void(XLStream&)>;

template <class T>
std::span<const T> of(const std::vector<T>& v) {
  return std::span<const T>(v);
}

const std::vector<uint8_t> kBytes = {1, 2, 3};
const std::vector<uint16_t> kWords = {0x1234, 0x0056};
const std::vector<int16_t> kSWords = {-1, 2};
const std::vector<uint32_t> kLongs = {0x12345678};
const std::vector<int32_t> kSLongs = {-2};
const std::vector<float> kReals = {-2.0f, 0.5f};

TEST(XLStreamPrimitives, EncodeAsThePublishedLayout) {
  const struct {
    const char* what;
    Writer write;
    std::string bytes;
  } cases[] = {
      {"ubyte", [](XLStream& s) { xlWriteUByte(s, 0x7F); }, bytes({0xC0, 0x7F})},
      {"uint16", [](XLStream& s) { xlWriteUInt16(s, 0x1234); }, bytes({0xC1, 0x34, 0x12})},
      {"uint32", [](XLStream& s) { xlWriteUInt32(s, 0x12345678); }, bytes({0xC2, 0x78, 0x56, 0x34, 0x12})},
      {"sint16", [](XLStream& s) { xlWriteSInt16(s, -2); }, bytes({0xC3, 0xFE, 0xFF})},
      {"sint32", [](XLStream& s) { xlWriteSInt32(s, -2); }, bytes({0xC4, 0xFE, 0xFF, 0xFF, 0xFF})},
      {"real32", [](XLStream& s) { xlWriteReal32(s, 1.0f); }, bytes({0xC5, 0x00, 0x00, 0x80, 0x3F})},

      {"ubyte array", [](XLStream& s) { xlWriteUByteArray(s, of(kBytes)); },
       bytes({0xC8, 0xC1, 0x03, 0x00, 1, 2, 3})},
      {"empty ubyte array", [](XLStream& s) { xlWriteUByteArray(s, {}); }, bytes({0xC8, 0xC1, 0x00, 0x00})},
      {"uint16 array", [](XLStream& s) { xlWriteUInt16Array(s, of(kWords)); },
       bytes({0xC9, 0xC1, 0x02, 0x00, 0x34, 0x12, 0x56, 0x00})},
      {"uint32 array", [](XLStream& s) { xlWriteUInt32Array(s, of(kLongs)); },
       bytes({0xCA, 0xC1, 0x01, 0x00, 0x78, 0x56, 0x34, 0x12})},
      {"sint16 array", [](XLStream& s) { xlWriteSInt16Array(s, of(kSWords)); },
       bytes({0xCB, 0xC1, 0x02, 0x00, 0xFF, 0xFF, 0x02, 0x00})},
      {"sint32 array", [](XLStream& s) { xlWriteSInt32Array(s, of(kSLongs)); },
       bytes({0xCC, 0xC1, 0x01, 0x00, 0xFE, 0xFF, 0xFF, 0xFF})},
      {"real32 array", [](XLStream& s) { xlWriteReal32Array(s, of(kReals)); },
       bytes({0xCD, 0xC1, 0x02, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x3F})},
      {"ubyte array of low bytes", [](XLStream& s) { xlWriteUByteArrayOfLowBytes(s, of(kWords)); },
       bytes({0xC8, 0xC1, 0x02, 0x00, 0x34, 0x56})},

      {"ubyte xy", [](XLStream& s) { xlWriteUByteXY(s, 1, 2); }, bytes({0xD0, 1, 2})},
      {"uint16 xy", [](XLStream& s) { xlWriteUInt16XY(s, 0x102, 3); }, bytes({0xD1, 2, 1, 3, 0})},
      {"uint32 xy", [](XLStream& s) { xlWriteUInt32XY(s, 1, 0x1000000); }, bytes({0xD2, 1, 0, 0, 0, 0, 0, 0, 1})},
      {"sint16 xy", [](XLStream& s) { xlWriteSInt16XY(s, -1, 2); }, bytes({0xD3, 0xFF, 0xFF, 2, 0})},
      {"sint32 xy", [](XLStream& s) { xlWriteSInt32XY(s, -1, 2); },
       bytes({0xD4, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0})},
      {"real32 xy", [](XLStream& s) { xlWriteReal32XY(s, 0.5f, 2.0f); },
       bytes({0xD5, 0, 0, 0, 0x3F, 0, 0, 0, 0x40})},

      {"ubyte box", [](XLStream& s) { xlWriteUByteBox(s, 1, 2, 3, 4); }, bytes({0xE0, 1, 2, 3, 4})},
      {"uint16 box", [](XLStream& s) { xlWriteUInt16Box(s, 1, 2, 3, 0x400); },
       bytes({0xE1, 1, 0, 2, 0, 3, 0, 0, 4})},
      {"uint32 box", [](XLStream& s) { xlWriteUInt32Box(s, 1, 2, 3, 4); },
       bytes({0xE2, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0})},
      {"sint16 box: left, top, right, bottom", [](XLStream& s) { xlWriteSInt16Box(s, -1, -2, 3, 4); },
       bytes({0xE3, 0xFF, 0xFF, 0xFE, 0xFF, 3, 0, 4, 0})},
      {"sint32 box", [](XLStream& s) { xlWriteSInt32Box(s, -1, 2, 3, 4); },
       bytes({0xE4, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0})},
      {"real32 box", [](XLStream& s) { xlWriteReal32Box(s, 1.0f, 2.0f, -1.0f, 0.0f); },
       bytes({0xE5, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x80, 0xBF, 0, 0, 0, 0})},

      {"attribute", [](XLStream& s) { xlWriteAttribute(s, 168); }, bytes({0xF8, 0xA8})},
      {"operator", [](XLStream& s) { xlWriteOperator(s, 0x85); }, bytes({0x85})},
      {"data length 0", [](XLStream& s) { xlWriteDataLength(s, 0); }, bytes({0xFB, 0x00})},
      {"data length 255", [](XLStream& s) { xlWriteDataLength(s, 255); }, bytes({0xFB, 0xFF})},
      {"data length 256", [](XLStream& s) { xlWriteDataLength(s, 256); }, bytes({0xFA, 0x00, 0x01, 0, 0})},
      {"data length 300", [](XLStream& s) { xlWriteDataLength(s, 300); }, bytes({0xFA, 0x2C, 0x01, 0, 0})},
      {"long data length", [](XLStream& s) { xlWriteLongDataLength(s, 5); }, bytes({0xFA, 5, 0, 0, 0})},

      {"raw byte", [](XLStream& s) { xlPutByte(s, 0xAB); }, bytes({0xAB})},
      {"raw u16", [](XLStream& s) { xlPutUInt16(s, 0x1234); }, bytes({0x34, 0x12})},
      {"raw u32", [](XLStream& s) { xlPutUInt32(s, 0x12345678); }, bytes({0x78, 0x56, 0x34, 0x12})},
      {"raw real32", [](XLStream& s) { xlPutReal32(s, -2.0f); }, bytes({0, 0, 0, 0xC0})},
      {"raw big-endian u16", [](XLStream& s) { xlPutUInt16BE(s, 0x1234); }, bytes({0x12, 0x34})},
      {"raw big-endian u32", [](XLStream& s) { xlPutUInt32BE(s, 0x12345678); }, bytes({0x12, 0x34, 0x56, 0x78})},
      {"raw u16 array", [](XLStream& s) { xlPutUInt16Array(s, of(kWords)); }, bytes({0x34, 0x12, 0x56, 0})},
      {"raw u32 array", [](XLStream& s) { xlPutUInt32Array(s, of(kLongs)); }, bytes({0x78, 0x56, 0x34, 0x12})},
      {"raw big-endian u16 array", [](XLStream& s) { xlPutUInt16ArrayBE(s, of(kWords)); },
       bytes({0x12, 0x34, 0, 0x56})},
      {"raw big-endian u32 array", [](XLStream& s) { xlPutUInt32ArrayBE(s, of(kLongs)); },
       bytes({0x12, 0x34, 0x56, 0x78})},
      {"raw low bytes", [](XLStream& s) { xlPutLowBytes(s, of(kWords)); }, bytes({0x34, 0x56})},
      {"raw data", [](XLStream& s) { xlWriteRawData(s, of(kBytes)); }, bytes({1, 2, 3})},
      {"raw font data", [](XLStream& s) { xlWriteRawFontData(s, of(kBytes)); }, bytes({1, 2, 3})},

      {"embedded bytes", [](XLStream& s) { xlWriteEmbeddedData(s, of(kBytes)); },
       bytes({0xFA, 3, 0, 0, 0, 1, 2, 3})},
      {"embedded u16", [](XLStream& s) { xlWriteEmbeddedUInt16(s, of(kWords)); },
       bytes({0xFA, 4, 0, 0, 0, 0x34, 0x12, 0x56, 0})},
      {"embedded big-endian u16", [](XLStream& s) { xlWriteEmbeddedUInt16BE(s, of(kWords)); },
       bytes({0xFA, 4, 0, 0, 0, 0x12, 0x34, 0, 0x56})},
      {"embedded u32", [](XLStream& s) { xlWriteEmbeddedUInt32(s, of(kLongs)); },
       bytes({0xFA, 4, 0, 0, 0, 0x78, 0x56, 0x34, 0x12})},
      {"embedded big-endian u32", [](XLStream& s) { xlWriteEmbeddedUInt32BE(s, of(kLongs)); },
       bytes({0xFA, 4, 0, 0, 0, 0x12, 0x34, 0x56, 0x78})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XLFixture f;
    c.write(f.s());
    EXPECT_EQ(f.s().total, c.bytes.size());
    EXPECT_EQ(f.written(), c.bytes);
    EXPECT_EQ(f.s().error, 0);
  }
}

TEST(XLStreamBuffer, AGroupNeverSpansTwoBuffers) {
  // Seven bytes leave one free: the uint32's tag takes it, and its value,
  // which does not fit after the tag, starts the next buffer.
  XLFixture f(8);
  xlWriteRawData(f.s(), of(std::vector<uint8_t>(7, 0xEE)));
  xlWriteUInt32(f.s(), 0x04030201);
  EXPECT_EQ(f.sink.counts, std::vector<int32_t>({8}));
  EXPECT_EQ(f.s().left, 4);
  xlWriteUInt16(f.s(), 0x0605);  // tag and value fit: no flush
  EXPECT_EQ(f.sink.counts, std::vector<int32_t>({8}));
  EXPECT_EQ(f.written(), std::string(7, '\xEE') + bytes({0xC2, 1, 2, 3, 4, 0xC1, 5, 6}));
  EXPECT_EQ(f.sink.counts, std::vector<int32_t>({8, 7}));
  EXPECT_EQ(f.s().total, 15u);
}

TEST(XLStreamBuffer, BulkDataPassesThroughAnyBufferAsThroughOne) {
  std::vector<uint8_t> text(20 * 1024);
  std::iota(text.begin(), text.end(), uint8_t(7));
  std::vector<float> reals(3000);
  for (size_t i = 0; i < reals.size(); ++i) reals[i] = float(i) * 0.25f - 100.0f;
  std::vector<uint32_t> longs(3000);
  std::iota(longs.begin(), longs.end(), 0xFFFF0000u);
  std::vector<uint16_t> words(9000);
  std::iota(words.begin(), words.end(), uint16_t(1));
  auto job = [&](XLStream& s) {
    xlWriteUByte(s, 1);
    xlWriteUByteArray(s, of(text));
    xlWriteRawData(s, of(text));
    xlWriteReal32Array(s, of(reals));
    xlPutUInt32Array(s, of(longs));
    xlWriteEmbeddedUInt32(s, of(longs));
    xlWriteEmbeddedUInt32BE(s, of(longs));
    xlWriteUInt16Array(s, of(words));
    xlWriteEmbeddedUInt16(s, of(words));
    xlWriteSInt32Array(s, std::span(reinterpret_cast<const int32_t*>(longs.data()), longs.size()));
    xlWriteEmbeddedData(s, of(text));
  };
  XLFixture whole(1 << 20);
  job(whole.s());
  const std::string& expected = whole.written();
  ASSERT_EQ(whole.sink.counts.size(), 1u);

  // 3 and 1 are smaller than a real32: such a buffer takes values a byte
  // at a time.
  for (int32_t size : {8192, 4093, 3, 1}) {
    SCOPED_TRACE(size);
    XLFixture f(size);
    job(f.s());
    EXPECT_EQ(f.written(), expected);
    EXPECT_EQ(f.s().total, expected.size());
    for (int32_t n : f.sink.counts) EXPECT_LE(n, size);
  }
}

TEST(XLStreamFlush, HandsOverTheBufferAndAnswersTheCallBack) {
  XLSink sink;
  auto s = xlCreateStream(16, &sink, -77);
  ASSERT_TRUE(s);
  xlPutUInt16(*s, 0x4241);
  sink.answer = 601;
  EXPECT_EQ(xlFlushStream(*s), 601);
  EXPECT_EQ(sink.out, "AB");
  EXPECT_EQ(s->left, 16);
  EXPECT_EQ(s->cursor, s->buffer.get());
  // An empty buffer is flushed too: a call-back may poll on it.
  EXPECT_EQ(xlFlushStream(*s), 601);
  EXPECT_EQ(sink.counts, std::vector<int32_t>({2, 0}));
  EXPECT_EQ(sink.userValues, std::vector<int32_t>({-77, -77}));

  s->callback = nullptr;
  xlPutByte(*s, 1);
  EXPECT_EQ(xlFlushStream(*s), 0) << "no call-back: nothing happens";
  EXPECT_EQ(s->left, 15);
  EXPECT_EQ(xlFreeStream(std::move(s)), 3u);
}

TEST(XLStreamCreate, RefusesWhatCannotWork) {
  XLSink sink;
  EXPECT_FALSE(xlCreateStream(0, &sink, 0));
  EXPECT_FALSE(xlCreateStream(-1, &sink, 0));
  EXPECT_FALSE(xlCreateStream(64, nullptr, 0));
  auto s = xlCreateStream(64, &sink, 5);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->size, 64);
  EXPECT_EQ(s->left, 64);
  EXPECT_EQ(s->end, s->buffer.get() + 64);
  EXPECT_EQ(s->total, 0u);
  EXPECT_EQ(s->error, 0);
  EXPECT_EQ(s->errorCount, 0);
  EXPECT_EQ(s->userValue, 5);
  EXPECT_EQ(xlFreeStream(nullptr), 0u);
}

TEST(XLStreamErrors, AnUndefinedOperatorStopsAllOutput) {
  ReportLog log;
  XLFixture f(8);
  xlWriteRawData(f.s(), of(std::vector<uint8_t>(10, 'a')));
  xlWriteOperator(f.s(), 0x45);  // between EndPage and VendorUnique: no operator
  EXPECT_EQ(f.s().error, kXLUndefinedOperator);
  EXPECT_EQ(f.s().errorCount, 1);
  EXPECT_STREQ(xlErrorText(f.s().error), "XL Library: Operator Number Undefined");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, "XL Library: Operator Number Undefined");
  EXPECT_TRUE(log[0].internal);

  xlWriteUByte(f.s(), 1);
  xlWriteOperator(f.s(), 0x85);
  xlWriteAttribute(f.s(), 168);
  xlWriteUByteArray(f.s(), of(kBytes));
  xlWriteRawData(f.s(), of(std::vector<uint8_t>(20, 'b')));
  EXPECT_EQ(f.s().total, 10u) << "no defined write goes on";

  // A later undefined attribute replaces the code and counts.
  xlWriteAttribute(f.s(), 29);
  EXPECT_EQ(f.s().error, kXLUndefinedAttribute);
  EXPECT_EQ(f.s().errorCount, 2);
  EXPECT_STREQ(xlErrorText(f.s().error), "XL Library: Number of Error Reported is Undefined");
  EXPECT_EQ(log.size(), 2u);
  // What was written before the error still reaches the call-back.
  EXPECT_EQ(f.written(), std::string(10, 'a'));
}

TEST(XLStreamErrors, EachCodeHasItsText) {
  const struct {
    int32_t code;
    const char* text;
  } cases[] = {
      {0, "XL Library: No Errors Detected"},
      {-1, "XL Library: Initialization Failed"},
      {-2, "XL Library: Operator Number Undefined"},
      {-3, "XL Library: Number of Error Reported is Undefined"},
      {-4, "XL Library: Out of Memory"},
      {-5, "XL Library: A Stream Buffer Size of Zero Was Requested"},
      {-6, "XL Library: Stream Output Buffer Overflowed"},
      {-7, "XL Library: Attempt to Flush Output Buffer Failed"},
      {-8, "XL Library: Number of Error Reported is Undefined"},
      {1, "XL Library: Number of Error Reported is Undefined"},
  };
  for (const auto& c : cases) EXPECT_STREQ(xlErrorText(c.code), c.text) << c.code;
}

TEST(XLStreamErrors, ACountOrLengthTheEncodingCannotCarryWritesNothing) {
  std::vector<uint8_t> most(65535, 'x'), tooMany(65536, 'x');
  XLFixture ok;
  xlWriteUByteArray(ok.s(), of(most));
  EXPECT_EQ(ok.written().substr(0, 4), bytes({0xC8, 0xC1, 0xFF, 0xFF}));
  EXPECT_EQ(ok.s().error, 0);

  std::vector<uint16_t> words(70000);
  std::vector<float> reals(65536);
  // 2^30 u32s are 2^32 bytes, one more than a u32 length holds: address
  // space that is never read stands for them.
  const size_t hugeBytes = size_t(1) << 32;
  void* huge = mmap(nullptr, hugeBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(huge, MAP_FAILED);
  const Writer overflows[] = {
      [&](XLStream& s) { xlWriteUByteArray(s, of(tooMany)); },
      [&](XLStream& s) { xlWriteUByteArrayOfLowBytes(s, of(words)); },
      [&](XLStream& s) { xlWriteReal32Array(s, of(reals)); },
      [&](XLStream& s) { xlWriteEmbeddedUInt32(s, std::span(static_cast<const uint32_t*>(huge), hugeBytes / 4)); },
  };
  for (const Writer& write : overflows) {
    ReportLog log;
    XLFixture f;
    xlWriteUByte(f.s(), 9);
    write(f.s());
    EXPECT_EQ(f.s().error, kXLOutputOverflow);
    EXPECT_EQ(f.s().errorCount, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "XL Library: Stream Output Buffer Overflowed");
    // The latched stream writes nothing more.
    xlWriteOperator(f.s(), 0x85);
    EXPECT_EQ(f.written(), bytes({0xC0, 9}));
  }
  munmap(huge, hugeBytes);
}

TEST(XLStreamErrors, ARecordWithNowhereToPutBytesStops) {
  ReportLog log;
  XLStream blank;  // not made by xlCreateStream: no buffer
  xlWriteUByte(blank, 1);
  EXPECT_EQ(blank.error, kXLInitFailed);
  EXPECT_EQ(blank.total, 0u);

  XLFixture f(4);
  f.s().callback = nullptr;
  xlPutUInt32(f.s(), 1);
  xlPutByte(f.s(), 2);  // the full buffer cannot be flushed
  EXPECT_EQ(f.s().error, kXLFlushFailed);
  EXPECT_EQ(f.s().total, 4u);
  EXPECT_EQ(log.texts(), std::vector<std::string>({"XL Library: Initialization Failed",
                                                   "XL Library: Attempt to Flush Output Buffer Failed"}));
}

TEST(XLStreamHeader, TheHeaderLine) {
  const struct {
    int32_t protocolClass, revision;
    std::string comment, line;
  } cases[] = {
      {2, 0, " X", ") QX-PCL XL;2;0;Comment X\n"},
      {3, 1, "", ") QX-PCL XL;3;1;Comment\n"},
      // Each number is taken as an unsigned 16-bit value.
      {-1, 65538, " a;b", ") QX-PCL XL;65535;2;Comment a;b\n"},
  };
  for (const auto& c : cases) {
    XLFixture f(5);
    xlWriteStreamHeader(f.s(), c.protocolClass, c.revision,
                        std::span(reinterpret_cast<const uint8_t*>(c.comment.data()), c.comment.size()));
    EXPECT_EQ(f.written(), c.line);
  }
  EXPECT_EQ(std::string(") QX-PCL XL;2;0;Comment X\n").size(), 26u);
}

}  // namespace
