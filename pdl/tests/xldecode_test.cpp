// The test kit's PCL XL decoder, on bytes written out by hand: what it
// reads, and what it refuses with the offset where it stopped.

#include <gtest/gtest.h>

#include <string>

#include "testkit/bytes.h"
#include "testkit/pclxl/xldecode.h"

namespace {

TEST(XLDecoder, ReadsHeaderValuesAttributesOperatorsAndData) {
  const std::string stream = ") QX-PCL XL;2;0;Comment X\n" +
                             bytes({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86, 0x41,  //
                                    0xC3, 0x01, 0x00, 0xC3, 0xFF, 0xFF, 0x7E,                              //
                                    0x9D, 0xFB, 0x02, 0x05, 0xFB,                                          //
                                    0xB1, 0xFA, 0x01, 0x00, 0x00, 0x00, 0xAA,                              //
                                    0xE5, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x80, 0xBF, 0, 0, 0, 0,  //
                                    0xF8, 0x42, 0xA1});
  XLDecodeResult d = decodeXLStream(stream);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.header, ") QX-PCL XL;2;0;Comment X");
  ASSERT_EQ(d.operators.size(), 5u);
  const XLOperatorToken& session = d.operators[0];
  EXPECT_EQ(session.signature(), "41 137:uint16_xy 134:ubyte");
  EXPECT_EQ(session.offset, 26u + 11);
  EXPECT_EQ(session.attributes[0].value.values, std::vector<double>({600, 600}));
  EXPECT_EQ(d.operators[1].signature(), "7E :sint16 :sint16");
  EXPECT_EQ(d.operators[1].bareValues[1][0], -1);
  EXPECT_EQ(d.operators[2].data, bytes({0x05, 0xFB}));
  EXPECT_EQ(d.operators[3].data, bytes({0xAA}));
  EXPECT_EQ(d.operators[4].attributes[0].value.values, std::vector<double>({1, 2, -1, 0}));
}

TEST(XLDecoder, ArrayCountsOfEitherWidth) {
  // The manual-duplex comment gives its count as a ubyte.
  std::string comment = bytes({0xC8, 0xC0, 0x78}) + std::string(120, 'H') + bytes({0xF8, 0x81, 0x47});
  std::string dashes = bytes({0xC9, 0xC1, 0x02, 0x00, 0x0A, 0x00, 0x14, 0x00, 0xF8, 0x4A, 0x70});
  XLDecodeResult d = decodeXLTokens(comment + dashes);
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.operators.size(), 2u);
  EXPECT_EQ(d.operators[0].signature(), "47 129:ubyte_array");
  EXPECT_EQ(d.operators[0].attributes[0].value.countTag, 0xC0);
  EXPECT_EQ(d.operators[0].attributes[0].value.text(), std::string(120, 'H'));
  EXPECT_EQ(d.operators[1].attributes[0].value.countTag, 0xC1);
  EXPECT_EQ(d.operators[1].attributes[0].value.values, std::vector<double>({10, 20}));
}

TEST(XLDecoder, VendorUniqueTakesItsRawBytes) {
  // Extension 0x71781003 and a data length of 2: two raw bytes follow the
  // operator. Any other extension has none.
  std::string raw = bytes({0xC2, 0x03, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC2, 0x02, 0, 0, 0, 0xF8, 0x92, 0x46, 0x85, 0x86});
  XLDecodeResult d = decodeXLTokens(raw + bytes({0x85}));
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.operators.size(), 2u);
  EXPECT_EQ(d.operators[0].data, bytes({0x85, 0x86}));
  EXPECT_EQ(d.operators[1].tag, 0x85);

  std::string other = bytes({0xC2, 0x02, 0x20, 0x78, 0x71, 0xF8, 0x91, 0xC2, 0x02, 0, 0, 0, 0xF8, 0x92, 0x46, 0x85});
  d = decodeXLTokens(other);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.operators.size(), 2u);
}

TEST(XLDecoder, RefusesWhatThePublishedLayoutDoesNotAllow) {
  const struct {
    const char* what;
    std::string bytes;
    size_t offset;
    std::string error;
  } cases[] = {
      {"a value cut short", bytes({0x85, 0xC2, 0x01, 0x02}), 1, "short value at offset 1"},
      {"an xy pair cut short", bytes({0xD3, 0x01, 0x00, 0x02}), 0, "short value at offset 0"},
      {"an array shorter than its count", bytes({0xC8, 0xC1, 0x05, 0x00, 0x01}), 0, "short value at offset 0"},
      {"an array without its count", bytes({0xC9}), 0, "short value at offset 0"},
      {"an array count of another type", bytes({0xC8, 0xC2, 0x01, 0, 0, 0}), 1, "array count of tag 0xC2 at offset 1"},
      {"an unknown operator", bytes({0x85, 0x45}), 1, "unknown tag 0x45 at offset 1"},
      {"an unknown data type", bytes({0xC6, 0x00}), 0, "unknown tag 0xC6 at offset 0"},
      {"whitespace is no token here", bytes({0x85, 0x20}), 1, "unknown tag 0x20 at offset 1"},
      {"an attribute without its id", bytes({0xC0, 0x01, 0xF8}), 2, "short attribute at offset 2"},
      {"an attribute without a value", bytes({0xF8, 0x81, 0x47}), 0, "attribute 129 without a value at offset 0"},
      {"a value without an id", bytes({0xC0, 0x01, 0xC0, 0x02, 0xF8, 0x81}), 0,
       "value without an attribute id at offset 0"},
      {"values without an operator", bytes({0x85, 0xC0, 0x01}), 1, "values without an operator at offset 1"},
      {"data before any operator", bytes({0xFB, 0x01, 0x00}), 0, "data without an operator at offset 0"},
      {"data after a dangling attribute", bytes({0x85, 0xC0, 0x01, 0xF8, 0x81, 0xFB, 0x00}), 5,
       "data without an operator at offset 5"},
      {"a data length cut short", bytes({0x85, 0xFA, 0x01, 0x00}), 1, "short data length at offset 1"},
      {"data shorter than its length", bytes({0x85, 0xFB, 0x05, 0x01}), 1, "short data at offset 1"},
      {"VendorUnique raw bytes cut short",
       bytes({0xC2, 0x03, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC2, 0x09, 0, 0, 0, 0xF8, 0x92, 0x46, 0x85}), 14,
       "short data at offset 14"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XLDecodeResult d = decodeXLTokens(c.bytes);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.errorOffset, c.offset);
    EXPECT_EQ(d.error, c.error);
  }
}

TEST(XLDecoder, FindsTheStreamInAJob) {
  const std::string pjl = "\x1B%-12345X@PJL ENTER LANGUAGE=PCLXL\r\n";
  const std::string stream = ") QX-PCL XL;2;0;Comment X\n" + bytes({0x42});
  XLDecodeResult d = decodeXLJob(pjl + stream + "\x1B%-12345X@PJL EOJ\r\n\x1B%-12345X");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.header, ") QX-PCL XL;2;0;Comment X");
  ASSERT_EQ(d.operators.size(), 1u);
  EXPECT_EQ(d.operators[0].tag, 0x42);

  EXPECT_FALSE(decodeXLJob(pjl + stream).ok) << "no trailer";
  EXPECT_FALSE(decodeXLJob(pjl).ok) << "no stream";
  d = decodeXLStream(bytes({0x42}));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.error, "no stream header at offset 0");
}

}  // namespace
