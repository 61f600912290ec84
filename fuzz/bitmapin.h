#ifndef FUZZ_BITMAPIN_H
#define FUZZ_BITMAPIN_H

// The input of the bitmap target: a 32-byte description, then the pixel
// (or run-length) bytes. Shared by the target, which reads it, and mkseeds,
// which writes the seeds.
//
//   0 bits per pixel   1 planes   2 alignment   3 compression
//   4 colour order     5 bottom-up   6 masks given
//   7 palette entries (0: none; the default two-entry palette otherwise)
//   8 left  10 top  12 right  14 bottom     (i16 each)
//   16 red mask  20 green mask  24 blue mask (u32 each)
//   28 segment step  30 rows per segment   (i16 each)
//
// The target keeps a bitmap within 256 pixels each way, its depth below 64
// bits and its planes below 4, so that every input's rows are read in a
// few tens of milliseconds under the sanitizers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/geometry.h"
#include "graphics/bitmap.h"

namespace fuzz {

constexpr size_t bitmapHeader = 32;

struct BitmapInput {
  GBitmapDescriptor descriptor;  // data and palette left empty
  bool palette = false;
  std::string data;
};

inline uint32_t bitmapField(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// False when the input is shorter than the description.
inline bool readBitmapInput(const uint8_t* in, size_t size, BitmapInput& out) {
  if (size < bitmapHeader) return false;
  GBitmapDescriptor& d = out.descriptor;
  // Depths and plane counts no surface has would only make rows of
  // megabytes: kept below 64 bits and 4 planes.
  d.bitsPerPixel = in[0] & 0x3F;
  d.planes = in[1] & 0x03;
  d.alignment = in[2];
  d.compression = in[3];
  d.colourOrder = in[4];
  d.bottomUp = in[5];
  d.masksGiven = in[6];
  out.palette = in[7] != 0;
  auto edge = [&](int at) { return static_cast<int16_t>(bitmapField(in + at, 2)); };
  const int16_t left = edge(8), top = edge(10);
  int32_t right = edge(12), bottom = edge(14);
  if (right - left > 256) right = left + 256;
  if (bottom - top > 256) bottom = top + 256;
  d.bounds = GRect(left, top, static_cast<int16_t>(right), static_cast<int16_t>(bottom));
  d.redMask = bitmapField(in + 16, 4);
  d.greenMask = bitmapField(in + 20, 4);
  d.blueMask = bitmapField(in + 24, 4);
  d.segmentStep = static_cast<uint32_t>(static_cast<int32_t>(edge(28)));
  d.rowsPerSegment = static_cast<uint32_t>(static_cast<int32_t>(edge(30)));
  out.data.assign(reinterpret_cast<const char*>(in) + bitmapHeader, size - bitmapHeader);
  return true;
}

inline std::string bitmapInput(const GBitmapDescriptor& d, bool palette, const std::string& data) {
  std::string out(bitmapHeader, '\0');
  auto put = [&](int at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, d.bitsPerPixel, 1);
  put(1, d.planes, 1);
  put(2, d.alignment, 1);
  put(3, d.compression, 1);
  put(4, d.colourOrder, 1);
  put(5, d.bottomUp, 1);
  put(6, d.masksGiven, 1);
  put(7, palette ? 2 : 0, 1);
  put(8, static_cast<uint16_t>(d.bounds.left()), 2);
  put(10, static_cast<uint16_t>(d.bounds.top()), 2);
  put(12, static_cast<uint16_t>(d.bounds.right()), 2);
  put(14, static_cast<uint16_t>(d.bounds.bottom()), 2);
  put(16, d.redMask, 4);
  put(20, d.greenMask, 4);
  put(24, d.blueMask, 4);
  put(28, d.segmentStep, 2);
  put(30, d.rowsPerSegment, 2);
  return out + data;
}

}  // namespace fuzz

#endif
