// The LZW codec against encodings worked out by hand, its widening and
// reset on long inputs, damaged streams; the zlib wrappers checked with
// zlib's own uncompress; the fixed-capacity memory streams they write to.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graphics/lzw.h"
#include "graphics/membuf.h"
#include "testkit/bytes.h"

namespace {

// Codes of the given widths, most significant bit first, the last byte
// padded with zero bits.
class CodeWriter {
 public:
  CodeWriter& put(uint32_t code, unsigned width) {
    for (unsigned bit = width; bit > 0; --bit) {
      byte_ = static_cast<uint8_t>(byte_ << 1 | ((code >> (bit - 1)) & 1));
      if (++bits_ == 8) {
        out_ += static_cast<char>(byte_);
        bits_ = 0;
        byte_ = 0;
      }
    }
    return *this;
  }
  std::string bytes() const {
    return bits_ ? out_ + static_cast<char>(byte_ << (8 - bits_)) : out_;
  }

 private:
  std::string out_;
  uint8_t byte_ = 0;
  unsigned bits_ = 0;
};

// The codes of an encoded stream up to its end code, following its 257s
// and 258s as a reader must.
struct Codes {
  std::vector<uint32_t> codes;
  std::vector<unsigned> widths;
  int resets = 0;
};

Codes readCodes(const std::string& stream) {
  Codes out;
  size_t bit = 0;
  unsigned width = 9;
  while (bit + width <= stream.size() * 8) {
    uint32_t code = 0;
    for (unsigned i = 0; i < width; ++i, ++bit)
      code = code << 1 | ((static_cast<uint8_t>(stream[bit / 8]) >> (7 - bit % 8)) & 1);
    out.codes.push_back(code);
    out.widths.push_back(width);
    if (code == 256) break;
    if (code == 257) ++width;
    if (code == 258) {
      width = 9;
      ++out.resets;
    }
  }
  return out;
}

std::string encoded(const std::string& input) {
  GLZWCodec codec;
  std::istringstream in(input);
  std::ostringstream out;
  EXPECT_EQ(codec.encode(in, out), 1);
  return out.str();
}

int decodeInto(const std::string& stream, std::string& output) {
  GLZWCodec codec;
  std::istringstream in(stream);
  std::ostringstream out;
  const int answer = codec.decode(in, out);
  output = out.str();
  return answer;
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

TEST(LZW, EncodesAsWorkedOutByHandAndBack) {
  const struct {
    const char* what;
    std::string input;
    std::string stream;
  } cases[] = {
      // 256 (the empty prefix) and 256, 9 bits each.
      {"empty", "", bytes({0x80, 0x40, 0x00})},
      // 65, 66, 259, 261 (used before it is defined), 256.
      {"ABABABA", "ABABABA", bytes({0x20, 0x90, 0xA0, 0x70, 0x58, 0x00})},
      // 65, 256.
      {"one byte", "A", bytes({0x20, 0xC0, 0x00})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(encoded(c.input), c.stream);
    std::string back;
    EXPECT_EQ(decodeInto(c.stream, back), 1);
    EXPECT_EQ(back, c.input);
  }
}

TEST(LZW, TheFirstWideningFollowsTheAssignmentOfCode511) {
  // Every data code written assigns one code, the first 259: the 253rd
  // assigns 511, and 257 comes right after it.
  const std::string input = randomBytes(4000, 7);
  const Codes c = readCodes(encoded(input));
  ASSERT_GT(c.codes.size(), 300u);
  for (size_t i = 0; i < 253; ++i) {
    EXPECT_LT(c.codes[i], 256u + (i == 0 ? 0 : i + 3)) << i;
    EXPECT_NE(c.codes[i], 257u) << i;
  }
  EXPECT_EQ(c.codes[253], 257u);
  EXPECT_EQ(c.widths[254], 10u);

  std::string back;
  EXPECT_EQ(decodeInto(encoded(input), back), 1);
  EXPECT_EQ(back, input);
}

TEST(LZW, SixtyFourKilobytesOfNoiseRoundTripThroughAReset) {
  const std::string input = randomBytes(64 * 1024, 11);
  const std::string stream = encoded(input);
  const Codes c = readCodes(stream);
  EXPECT_GE(c.resets, 1);
  EXPECT_EQ(*std::max_element(c.widths.begin(), c.widths.end()), 15u);
  EXPECT_EQ(c.codes.back(), 256u);

  std::string back;
  EXPECT_EQ(decodeInto(stream, back), 1);
  EXPECT_EQ(back, input);

  // Repetitive data too, through a memory block of its own size.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "row " + std::to_string(i % 37) + ";";
  const std::string packed = encoded(text);
  EXPECT_LT(packed.size(), text.size() / 3);
  std::vector<char> block(text.size());
  GMemoryIStream in(packed.data(), packed.size());
  GMemoryOStream out(block.data(), block.size());
  GLZWCodec codec;
  EXPECT_EQ(codec.decode(in, out), 1);
  EXPECT_EQ(std::string(block.data(), out.written()), text);
}

TEST(LZW, DamagedStreamsAnswerZeroKeepingWhatWasDecoded) {
  CodeWriter sevenWidenings;
  sevenWidenings.put('A', 9);
  for (unsigned w = 9; w < 16; ++w) sevenWidenings.put(257, w);
  sevenWidenings.put('B', 16).put(256, 16);

  // Definitions past 32767 without a reset: at 15 bits, 'A' again and
  // again defines one code each, 259 upwards.
  CodeWriter tooMany;
  tooMany.put('A', 9);
  for (unsigned w = 9; w < 15; ++w) tooMany.put(257, w);
  for (int i = 0; i < 32520; ++i) tooMany.put('A', 15);
  tooMany.put(256, 15);

  const std::string abababa = bytes({0x20, 0x90, 0xA0, 0x70, 0x58, 0x00});
  const struct {
    const char* what;
    std::string stream;
    std::string kept;  // the output decoded before the failure
  } cases[] = {
      {"no input", "", ""},
      {"truncated", abababa.substr(0, 3), "AB"},
      {"no end code", CodeWriter().put('A', 9).put('B', 9).bytes(), "AB"},
      {"first code 300", CodeWriter().put(300, 9).put(256, 9).bytes(), ""},
      {"first code 259", CodeWriter().put(259, 9).put(256, 9).bytes(), ""},
      {"a code above the next free one", CodeWriter().put('A', 9).put(260, 9).put(256, 9).bytes(), "A"},
      {"after a reset, not a literal",
       CodeWriter().put('A', 9).put(258, 9).put(259, 9).put(256, 9).bytes(), "A"},
      {"a literal and seven 257s", sevenWidenings.bytes(), "A"},
      {"definitions past 32767", tooMany.bytes(), std::string(32510, 'A')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string output;
    EXPECT_EQ(decodeInto(c.stream, output), 0);
    EXPECT_TRUE(output == c.kept) << output.size() << " bytes, " << c.kept.size() << " expected";
  }

  // A full in-memory output: what fits is written, and the answer is 0.
  char small[3];
  GMemoryIStream in(abababa.data(), abababa.size());
  GMemoryOStream out(small, sizeof small);
  GLZWCodec codec;
  EXPECT_EQ(codec.decode(in, out), 0);
  EXPECT_EQ(out.written(), 3u);
  EXPECT_EQ(std::string(small, 3), "ABA");

  std::istringstream plain("ABABABA");
  GMemoryOStream encodedOut(small, sizeof small);
  EXPECT_EQ(codec.encode(plain, encodedOut), 0) << "six bytes do not fit in three";
}

TEST(LZW, TheLargestLegalDefinitionIsAccepted) {
  // As the case of definitions past 32767 in the table above, but with a
  // reset after the code that defines 32767, the largest code there is.
  CodeWriter w;
  w.put('A', 9);
  for (unsigned width = 9; width < 15; ++width) w.put(257, width);
  for (int i = 0; i < 32509; ++i) w.put('A', 15);
  w.put(258, 15).put('B', 9).put(256, 9);
  std::string output;
  EXPECT_EQ(decodeInto(w.bytes(), output), 1);
  EXPECT_TRUE(output == std::string(32510, 'A') + "B") << output.size() << " bytes";
}

TEST(BitStream, BitsGoMostSignificantFirstAndAFailedPutClearsOk) {
  std::ostringstream out;
  {
    GBitStream bits(out);
    EXPECT_EQ(bits.writeBits(0x5, 3), 1u);
    EXPECT_EQ(bits.writeBit(1), 1u);
  }  // the destructor puts the partial byte
  EXPECT_EQ(out.str(), bytes({0xB0}));

  GMemoryIStream in(out.str().data(), 1);
  GBitStream reader(in);
  uint32_t v = 0;
  EXPECT_EQ(reader.readBits(v, 4), 1u);
  EXPECT_EQ(v, 0xBu);
  EXPECT_EQ(reader.readBits(v, 4), 1u);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(reader.readBit(v), 0u) << "the input has ended";

  char one;
  GMemoryOStream full(&one, 1);
  GBitStream writer(full);
  EXPECT_EQ(writer.writeBits(0xFF, 8), 1u);
  EXPECT_EQ(writer.writeBits(0xFF, 8), 0u);
  EXPECT_EQ(writer.writeBit(0), 0u);
}

// ---- the memory streams -----------------------------------------------------------

TEST(MemoryStream, AFullBlockRefusesAPutAndItsEndIsItsCapacity) {
  char block[4] = {};
  GMemoryOStream out(block, sizeof block);
  EXPECT_EQ(out.seekp(0, std::ios_base::end).tellp(), std::streampos(4));
  out.seekp(0);
  out.write("abc", 3);
  EXPECT_TRUE(out.good());
  out.put('d');
  EXPECT_TRUE(out.good());
  out.put('e');
  EXPECT_TRUE(out.bad());
  EXPECT_FALSE(static_cast<bool>(out));
  EXPECT_EQ(std::string(block, 4), "abcd");

  const char data[] = "xyz";
  GMemoryIStream in(data, 3);
  EXPECT_EQ(in.seekg(0, std::ios_base::end).tellg(), std::streampos(3));
  in.seekg(1);
  EXPECT_EQ(in.get(), 'y');
}

// ---- zlib -------------------------------------------------------------------------

std::string someText(size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of the settings text\n";
  s.resize(n);
  return s;
}

// What zlib's own uncompress makes of packed, or "failed".
std::string zlibUncompressed(const std::string& packed, size_t room) {
  std::vector<Bytef> out(room);
  uLongf length = room;
  if (uncompress(out.data(), &length, reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK)
    return "failed";
  return std::string(reinterpret_cast<char*>(out.data()), length);
}

TEST(Zlib, TextRoundTripsAndZlibReadsWhatWasWritten) {
  const std::string text = someText(10000);
  std::istringstream in(text);
  std::ostringstream packed;
  EXPECT_EQ(zlibCompressStream(in, packed), 1);
  EXPECT_LT(packed.str().size(), text.size());
  EXPECT_EQ(zlibUncompressed(packed.str(), 20000), text);

  std::istringstream back(packed.str());
  std::ostringstream unpacked;
  EXPECT_EQ(zlibUncompressStream(back, unpacked), 1);
  EXPECT_EQ(unpacked.str(), text);

  // Noise does not shrink, and still goes through.
  const std::string noise = randomBytes(5000, 3);
  std::istringstream noisy(noise);
  std::ostringstream packedNoise;
  EXPECT_EQ(zlibCompressStream(noisy, packedNoise), 1);
  EXPECT_EQ(zlibUncompressed(packedNoise.str(), 5000), noise);
}

TEST(Zlib, WritesZlibsDefaultStreamAndReadsOneFollowedByOtherBytes) {
  const std::pair<std::string, std::string> golden[] = {
      {"", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)},
      {"a", std::string("\x78\x9c\x4b\x04\x00\x00\x62\x00\x62", 9)},
  };
  for (const auto& [text, bytes] : golden) {
    std::istringstream in(text);
    std::ostringstream packed;
    EXPECT_EQ(zlibCompressStream(in, packed), 1);
    EXPECT_EQ(packed.str(), bytes) << text;
  }

  // The one-call form's bytes for a longer text, and the largest text read
  // back whole even with more bytes behind its stream.
  const std::string text = someText(16000);
  std::vector<Bytef> expected(compressBound(text.size()));
  uLongf length = expected.size();
  ASSERT_EQ(compress(expected.data(), &length, reinterpret_cast<const Bytef*>(text.data()), text.size()), Z_OK);
  std::istringstream in(text);
  std::ostringstream packed;
  ASSERT_EQ(zlibCompressStream(in, packed), 1);
  EXPECT_EQ(packed.str(), std::string(reinterpret_cast<char*>(expected.data()), length));

  std::istringstream back(packed.str() + "more");
  std::ostringstream unpacked;
  EXPECT_EQ(zlibUncompressStream(back, unpacked), 1);
  EXPECT_EQ(unpacked.str(), text);
}

TEST(Zlib, MoreThan16000BytesOrDamagedDataFailAndWriteNothing) {
  const std::string big = someText(20000);
  std::vector<Bytef> packed(compressBound(big.size()));
  uLongf length = packed.size();
  ASSERT_EQ(compress(packed.data(), &length, reinterpret_cast<const Bytef*>(big.data()), big.size()), Z_OK);
  const std::string stream(reinterpret_cast<char*>(packed.data()), length);

  const std::string inputs[] = {stream, stream.substr(0, stream.size() / 2), "not zlib at all"};
  for (const std::string& input : inputs) {
    std::istringstream in(input);
    std::ostringstream out;
    EXPECT_EQ(zlibUncompressStream(in, out), 0);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(Zlib, AnOutputBlockOneByteTooSmallStaysEmpty) {
  const std::string text = someText(10000);
  std::vector<char> block(text.size());
  std::istringstream first(text);
  GMemoryOStream fits(block.data(), block.size());
  ASSERT_EQ(zlibCompressStream(first, fits), 1);
  const size_t length = fits.written();
  EXPECT_EQ(zlibUncompressed(std::string(block.data(), length), text.size()), text);

  std::vector<char> small(length - 1, '\x55');
  std::istringstream second(text);
  GMemoryOStream tooSmall(small.data(), small.size());
  EXPECT_EQ(zlibCompressStream(second, tooSmall), 0);
  EXPECT_EQ(tooSmall.written(), 0u);
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(length - 1, '\x55'));

  std::vector<char> exact(length);
  std::istringstream third(text);
  GMemoryOStream exactly(exact.data(), exact.size());
  EXPECT_EQ(zlibCompressStream(third, exactly), 1);
  EXPECT_EQ(exactly.written(), length);
}

}  // namespace
