#ifndef GRAPHICS_LZW_H
#define GRAPHICS_LZW_H

// Whole-stream codecs: variable-width LZW, and zlib in one call.
//
// LZW codes: 0 to 255 are literal bytes, 256 ends the data, 257 widens the
// codes by one bit, 258 resets the table; 259 is the first code assigned.
// Codes start 9 bits wide and are written most significant bit first; the
// encoder never assigns a code above 32767 (it resets first), so a code is
// at most 15 bits wide. A compressed bitmap (compression 3) is a
// little-endian u32 count of uncompressed bytes followed by such a stream.
//
// The decoder trusts nothing it reads: a first code after a reset that is
// not a literal, a code above the next free code, a widening past 15 bits
// or a definition past code 32767 ends the decoding with 0, as does input
// that ends before the end code. The bytes decoded until then stay in the
// output.
//
// Every operation checks its output stream after each put (!out, so a
// fixed-capacity memory stream that refused a put is a failure).

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

// Bits over a byte stream, most significant bit first within each byte.
class GBitStream {
 public:
  GBitStream() = default;
  explicit GBitStream(std::istream& in) { attach(in); }
  explicit GBitStream(std::ostream& out) { attach(out); }
  GBitStream(const GBitStream&) = delete;
  GBitStream& operator=(const GBitStream&) = delete;
  // Flushes.
  virtual ~GBitStream();

  // Each starts a new byte and makes the stream good again.
  void attach(std::istream& in);
  void attach(std::ostream& out);

  // Each answers the ok flag: 1 until a put or a read failed.
  uint32_t writeBit(uint32_t bit);
  // The low count bits of value, highest first.
  uint32_t writeBits(uint32_t value, uint32_t count);
  uint32_t readBit(uint32_t& bit);
  uint32_t readBits(uint32_t& value, uint32_t count);

  // Puts a partial byte (its unused low bits 0) and flushes the output;
  // answers whether the output stream is still good (1 with no output).
  uint32_t flush();

 private:
  void restart();

  std::istream* in_ = nullptr;
  std::ostream* out_ = nullptr;
  uint8_t mask_ = 0x80;
  uint8_t byte_ = 0;
  uint32_t ok_ = 1;
};

class GLZWCodec {
 public:
  GLZWCodec();
  GLZWCodec(const GLZWCodec&) = delete;
  GLZWCodec& operator=(const GLZWCodec&) = delete;
  virtual ~GLZWCodec();

  // 1 when all of in was encoded, 0 when the table could not be made or
  // the output failed.
  int encode(std::istream& in, std::ostream& out);
  // 1 when the end code was read, 0 otherwise (see above).
  int decode(std::istream& in, std::ostream& out);

  // One entry of the code table: in the encoder a slot of the hash of
  // pairs, in the decoder the entry of a code.
  struct Entry {
    int32_t code;    // -1 for a free slot; the decoder keeps it unused
    int32_t prefix;  // the code of the string before the byte
    uint8_t suffix;
  };

  static constexpr uint32_t kPages = 137;
  static constexpr uint32_t kPageEntries = 256;

 private:
  bool makeTable();
  void freeTable();
  void reset();
  Entry& entry(uint32_t index) { return pages_[index / kPageEntries][index % kPageEntries]; }
  // The encoder's slot for the pair: its entry, or the free slot for it.
  uint32_t lookup(int32_t prefix, uint8_t byte);
  // Puts the bytes of code's string (a defined code) and answers its first
  // byte in first; false when the output failed.
  bool putString(uint32_t code, std::ostream& out, uint8_t& first);

  std::unique_ptr<Entry[]> pages_[kPages];
  std::unique_ptr<uint8_t[]> stack_;
  uint32_t nextCode_ = 0;
  uint32_t width_ = 0;
  uint32_t largest_ = 0;
};

// Compresses all of in (to its end) with zlib at the default level and
// writes the result to out. When out is a fixed-capacity memory stream
// whose remaining room is below the compressed length, nothing is written.
// Answers 1 when the compressed bytes were written, else 0.
int zlibCompressStream(std::istream& in, std::ostream& out);

// Inflates all of in (to its end), which must come to at most 16000 bytes,
// and writes the result to out. Answers 1 when it was written; on failure
// nothing is written and the answer is 0.
int zlibUncompressStream(std::istream& in, std::ostream& out);

#endif
