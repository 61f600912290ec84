#ifndef TESTKIT_RASTER_ROWDECODE_H
#define TESTKIT_RASTER_ROWDECODE_H

// Decoders of the printers' row compressions, for tests: written from the
// published formats alone, so that an encoder's output is read back by
// code that shares nothing with it.
//
//   PackBits (TIFF compression 32773, PCL method 2): a count byte n of
//     0 … 127 takes the next n + 1 bytes as they are; 129 … 255 repeats
//     the next byte 257 − n times; 128 is skipped.
//   Delta row (PCL method 3): a command byte holds the replacement count
//     less one in its top three bits and an offset in its low five; an
//     offset of 31 is followed by bytes added to it, each 255 going on and
//     the first below 255 ending it. The offset counts seed bytes left as
//     they are since the end of the previous replacement, then the count
//     bytes replace the seed's. Bytes past the row's width are dropped.
//   Adaptive (PCL method 5): blocks of a mode byte, a big-endian 16-bit
//     value and data. Modes 0 (unencoded), 1 (run-length pairs: count less
//     one, byte), 2 (PackBits) and 3 (delta row) carry the value's number
//     of data bytes making one row; 4 makes the value's number of empty
//     rows, 5 repeats the last row the value's number of times. Each row
//     becomes the seed of the next.
//
// Every decoder stops at the first malformed byte and says so through ok;
// rows are zero-filled or cut to the width given.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rasterdecode {

using Bytes = std::vector<uint8_t>;

struct Result {
  bool ok = true;
  std::string error;  // what was wrong, and where
};

// The bytes a PackBits stream holds.
Bytes unpackBits(const uint8_t* data, size_t n, Result* result = nullptr);
inline Bytes unpackBits(const Bytes& data, Result* result = nullptr) {
  return unpackBits(data.data(), data.size(), result);
}

// Applies one delta row to seed (which has the row's width) in place.
void applyDeltaRow(Bytes& seed, const uint8_t* data, size_t n, Result* result = nullptr);
inline void applyDeltaRow(Bytes& seed, const Bytes& data, Result* result = nullptr) {
  applyDeltaRow(seed, data.data(), data.size(), result);
}

// The rows of an adaptive stream of rows `width` bytes wide, starting from
// seed (updated to the last row).
std::vector<Bytes> decodeAdaptive(Bytes& seed, const uint8_t* data, size_t n, Result* result = nullptr);
inline std::vector<Bytes> decodeAdaptive(Bytes& seed, const Bytes& data, Result* result = nullptr) {
  return decodeAdaptive(seed, data.data(), data.size(), result);
}

// A little-endian TIFF of one strip: grey (min-is-black), `bits` per
// sample, the given compression and the strip's bytes.
Bytes tiffOneStrip(uint32_t width, uint32_t height, uint16_t bits, uint16_t compression, const Bytes& strip);
// The image bytes of an uncompressed TIFF (every strip of its first image
// in order); ok false when it is not one.
Bytes tiffUncompressedData(const Bytes& file, Result* result = nullptr);

}  // namespace rasterdecode

#endif
