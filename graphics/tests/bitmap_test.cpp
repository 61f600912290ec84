// Bitmaps, hatch patterns and raster paints: the description a body works
// out from its descriptor, the rows getRow gives for every source format
// and kind (edges, direction, layout and short data included), run-length
// data expanded and clipped, the reduction to a palette, the hatch styles,
// the stored forms written out by hand, shared bodies in a restored graph,
// damaged and hostile stores, and the raster paint's sharing and dispatch.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/color.h"
#include "graphics/paint.h"
#include "graphics/paintcb.h"
#include "rw/bstream.h"
#include "rw/rwstore.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

using ByteVec = std::vector<unsigned char>;

struct Shape {
  GRect bounds;
  uint32_t bits = 8;
  uint32_t planes = 1;
  uint32_t alignment = 1;
  uint32_t colourOrder = 0;
  uint32_t bottomUp = 0;
  uint32_t compression = 0;
};

// A bitmap owning a copy of data.
GBitmap make(const Shape& s, const ByteVec& data, const std::function<void(GBitmapDescriptor&)>& more = nullptr) {
  GBitmapDescriptor d;
  auto* copy = new unsigned char[data.size() + 1];
  std::memcpy(copy, data.data(), data.size());
  d.owned = 1;
  d.data = copy;
  d.dataLength = static_cast<uint32_t>(data.size());
  d.alignment = s.alignment;
  d.bounds = s.bounds;
  d.bitsPerPixel = s.bits;
  d.planes = s.planes;
  d.colourOrder = s.colourOrder;
  d.bottomUp = s.bottomUp;
  d.compression = s.compression;
  if (more) more(d);
  return GBitmap(d);
}

ByteVec rowOf(const GBitmap& b, int32_t left, int32_t right, int32_t row, uint32_t kind) {
  ByteVec out(64, 0xEE);
  const uint32_t n = b.getRow(out.data(), left, right, row, kind);
  out.resize(n);
  return out;
}

GRect box(int16_t l, int16_t t, int16_t r, int16_t b) { return GRect(l, t, r, b); }

// ---- the description ------------------------------------------------------------------

TEST(Bitmaps, ADescriptorGivesRowLengthsMasksAndDepths) {
  const struct {
    const char* what;
    Shape shape;
    uint32_t rowBytes, stride, effective;
  } rows[] = {
      {"1-bit width 10 alignment 4", {box(0, 0, 10, 1), 1, 1, 4}, 2, 4, 1},
      {"24-bit width 3 alignment 4", {box(0, 0, 3, 1), 24, 1, 4}, 9, 12, 24},
      {"1-bit in three planes", {box(0, 0, 8, 1), 1, 3, 1}, 1, 1, 4},
      {"16-bit", {box(0, 0, 3, 1), 16, 1, 2}, 6, 6, 24},
      {"32-bit", {box(0, 0, 3, 1), 32, 1, 1}, 12, 12, 24},
      {"8-bit in three planes", {box(0, 0, 3, 1), 8, 3, 1}, 3, 3, 24},
      {"inverted bounds", {box(5, 0, 2, 1), 8, 1, 4}, 0, 0, 8},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const GBitmap b = make(r.shape, ByteVec(64));
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.body()->rowBytes(), r.rowBytes);
    EXPECT_EQ(b.body()->stride(), r.stride);
    EXPECT_EQ(b.bitsPerPixel(), r.effective);
  }

  const GBitmap given = make({box(0, 0, 1, 1), 16}, ByteVec(2), [](GBitmapDescriptor& d) {
    d.masksGiven = 1;
    d.redMask = 0xF800, d.greenMask = 0x07E0, d.blueMask = 0x001F;
  });
  const GBitmapImp& g = *given.body();
  EXPECT_EQ(g.red().shift, 11);
  EXPECT_EQ(g.green().shift, 5);
  EXPECT_EQ(g.blue().shift, 0);
  EXPECT_EQ(g.red().count, 5);
  EXPECT_EQ(g.green().count, 6);
  EXPECT_EQ(g.blue().count, 5);

  const GBitmap d16 = make({box(0, 0, 1, 1), 16}, ByteVec(2));
  EXPECT_EQ(d16.redMask(), 0x7C00u);
  EXPECT_EQ(d16.greenMask(), 0x03E0u);
  EXPECT_EQ(d16.blueMask(), 0x001Fu);
  EXPECT_EQ(d16.body()->red().shift, 10);
  EXPECT_EQ(d16.body()->green().count, 5);
  const GBitmap d32 = make({box(0, 0, 1, 1), 32}, ByteVec(4));
  EXPECT_EQ(d32.redMask(), 0xFF0000u);
  EXPECT_EQ(d32.body()->red().shift, 16);
  EXPECT_EQ(d32.body()->blue().count, 8);
  // Masks of other depths are kept and never used.
  const GBitmap d8 = make({box(0, 0, 1, 1), 8}, ByteVec(1), [](GBitmapDescriptor& d) { d.redMask = 0xF0; });
  EXPECT_EQ(d8.redMask(), 0xF0u);
  EXPECT_EQ(d8.body()->red().count, 0);
}

TEST(Bitmaps, PackedPixelsDecodeEveryChannelWidth) {
  uint8_t c1, c2, c3;
  const GBitmap d16 = make({box(0, 0, 1, 1), 16}, ByteVec(2));
  d16.body()->decodePixel(0x7FFF, c1, c2, c3);
  EXPECT_EQ((std::vector<int>{c1, c2, c3}), (std::vector<int>{248, 248, 248}));
  d16.body()->decodePixel(0x7C00, c1, c2, c3);
  EXPECT_EQ((std::vector<int>{c1, c2, c3}), (std::vector<int>{248, 0, 0}));

  // A 6-bit channel, a channel of no bits, a 16-bit and a whole 32-bit one.
  const GBitmap odd = make({box(0, 0, 1, 1), 32}, ByteVec(4), [](GBitmapDescriptor& d) {
    d.masksGiven = 1;
    d.redMask = 0x3F, d.greenMask = 0, d.blueMask = 0xFFFF0000;
  });
  odd.body()->decodePixel(0xFFFF003F, c1, c2, c3);
  EXPECT_EQ((std::vector<int>{c1, c2, c3}), (std::vector<int>{252, 0, 255}));
  const GBitmap whole = make({box(0, 0, 1, 1), 32}, ByteVec(4), [](GBitmapDescriptor& d) {
    d.masksGiven = 1;
    d.redMask = 0xFFFFFFFF, d.greenMask = 0xFF, d.blueMask = 0x100;
  });
  whole.body()->decodePixel(0xFFFFFFFF, c1, c2, c3);
  EXPECT_EQ((std::vector<int>{c1, c2, c3}), (std::vector<int>{255, 255, 255}));
  whole.body()->decodePixel(0x80000000, c1, c2, c3);
  EXPECT_EQ(c1, 127);
}

// ---- rows -------------------------------------------------------------------------------

TEST(Bitmaps, GetRowGivesExactBytesForEverySourceAndKind) {
  std::vector<unsigned char> segmented(65538);
  segmented[0] = 1, segmented[1] = 2, segmented[65536] = 3, segmented[65537] = 4;
  const GBitmap seg = make({box(0, 0, 1, 4), 8}, segmented, [](GBitmapDescriptor& d) {
    d.rowsPerSegment = 2;
    d.segmentStep = 1;
  });
  const GBitmap oneBit = make({box(0, 0, 16, 1), 1}, {0xB3, 0x5C});
  const GBitmap planar1 = make({box(0, 0, 3, 1), 1, 3}, {0xA0, 0xC0, 0x60});
  const GBitmap planar8 = make({box(0, 0, 1, 1), 8, 3}, {10, 20, 30});
  const GBitmap nibbles = make({box(0, 0, 6, 1), 4}, {0x12, 0x34, 0x56});
  const GBitmap bgr = make({box(0, 0, 2, 1), 24}, {10, 20, 30, 255, 255, 255});
  const GBitmap rgb = make({box(0, 0, 2, 1), 24, 1, 1, 1}, {10, 20, 30, 255, 255, 255});
  // A pure red engine surface: blue, green, red, unused.
  const GBitmap red32 = make({box(0, 0, 1, 1), 32}, {0x00, 0x00, 0xFF, 0x00});
  const GBitmap red32rgb = make({box(0, 0, 1, 1), 32, 1, 1, 1}, {0x00, 0x00, 0xFF, 0x00});
  const GBitmap red16 = make({box(0, 0, 1, 1), 16}, {0x00, 0x7C});
  const GBitmap bottomUp = make({box(0, 0, 1, 3), 8, 1, 1, 0, 1}, {1, 2, 3});
  const GBitmap top5 = make({box(0, 5, 1, 8), 8}, {7, 8, 9});
  const GBitmap top5up = make({box(0, 5, 1, 8), 8, 1, 1, 0, 1}, {7, 8, 9});
  const GBitmap shortData = make({box(0, 0, 2, 2), 8}, {1, 2, 3});
  const GBitmap deep = make({box(0, 0, 2, 1), 12}, {1, 2, 3});
  const GBitmap lzw = make({box(0, 0, 2, 1), 8}, {1, 2}, [](GBitmapDescriptor& d) { d.compression = 3; });

  const struct {
    const char* what;
    const GBitmap& bitmap;
    int32_t left, right, row;
    uint32_t kind;
    ByteVec bytes;
  } rows[] = {
      {"1-bit span from x 3", oneBit, 3, 13, 0, 2, {0x9A, 0xC0}},
      {"1-bit span, grey kind", oneBit, 3, 13, 0, 0, {0x9A, 0xC0}},
      {"1-bit whole row", oneBit, 0, 16, 0, 2, {0xB3, 0x5C}},
      {"three 1-bit planes, 0x77 after the pixels", planar1, 0, 3, 0, 2, {0x63, 0x57}},
      {"three 1-bit planes swapped", planar1, 0, 3, 0, 3, {0x36, 0x57}},
      {"4-bit span from an odd x", nibbles, 1, 4, 0, 2, {0x23, 0x40}},
      {"4-bit span from an even x", nibbles, 2, 6, 0, 2, {0x34, 0x56}},
      {"8-bit three planes, stored order", planar8, 0, 1, 0, 2, {10, 20, 30}},
      {"8-bit three planes, red first", planar8, 0, 1, 0, 3, {30, 20, 10}},
      {"8-bit three planes, grey", planar8, 0, 1, 0, 1, {21}},
      {"24-bit kind 0: a grey byte per pixel", bgr, 0, 2, 0, 0, {21, 255}},
      {"24-bit kind 4", bgr, 0, 2, 0, 4, {21, 255}},
      {"24-bit kind 2 as stored", bgr, 0, 2, 0, 2, {10, 20, 30, 255, 255, 255}},
      {"24-bit kind 3 reversed", bgr, 0, 2, 0, 3, {30, 20, 10, 255, 255, 255}},
      {"24-bit red first, kind 2", rgb, 0, 1, 0, 2, {30, 20, 10}},
      {"24-bit red first, grey", rgb, 0, 1, 0, 0, {18}},
      {"32-bit kind 3 red first", red32, 0, 1, 0, 3, {255, 0, 0}},
      {"32-bit kind 2 blue first", red32, 0, 1, 0, 2, {0, 0, 255}},
      {"32-bit grey", red32, 0, 1, 0, 1, {76}},
      {"32-bit of colour order 1 alike", red32rgb, 0, 1, 0, 3, {255, 0, 0}},
      {"16-bit kind 3 red first", red16, 0, 1, 0, 3, {248, 0, 0}},
      {"16-bit kind 2", red16, 0, 1, 0, 2, {0, 0, 248}},
      {"16-bit grey weighs red as red", red16, 0, 1, 0, 0, {74}},
      {"bottom-up: row top is the last stored row", bottomUp, 0, 1, 0, 2, {3}},
      {"bottom-up: the bottom row is the first", bottomUp, 0, 1, 2, 2, {1}},
      {"row 5 of a top-5 bitmap is its first", top5, 0, 1, 5, 2, {7}},
      {"row 7 of a top-5 bitmap is its last", top5, 0, 1, 7, 2, {9}},
      {"bottom-up top-5: row 5 is the last stored", top5up, 0, 1, 5, 2, {9}},
      {"a row above the bitmap", top5, 0, 1, 4, 2, {0}},
      {"a row below the bitmap", top5, 0, 1, 8, 2, {0}},
      {"a span left of the bitmap", bgr, -1, 1, 0, 3, {0, 0, 0, 0, 0, 0}},
      {"a span past the right edge", bgr, 1, 3, 0, 0, {0, 0}},
      {"an inverted span", bgr, 2, 0, 0, 3, {}},
      {"an empty span", bgr, 1, 1, 0, 3, {}},
      {"a row the data does not hold", shortData, 0, 2, 1, 2, {0, 0}},
      {"a depth it cannot convert", deep, 0, 2, 0, 2, {0, 0, 0}},
      {"a compressed body", lzw, 0, 2, 0, 2, {0, 0}},
      {"segmented: row 1", seg, 0, 1, 1, 2, {2}},
      {"segmented: row 2 opens the second segment", seg, 0, 1, 2, 2, {3}},
      {"segmented: row 3", seg, 0, 1, 3, 2, {4}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_FALSE(r.bitmap.isNull());
    EXPECT_EQ(rowOf(r.bitmap, r.left, r.right, r.row, r.kind), r.bytes);
  }
  EXPECT_EQ(GBitmap().getRow(nullptr, 0, 4, 0, 2), 0u) << "an empty handle";
}

// ---- run-length data ------------------------------------------------------------------

TEST(Bitmaps, RunLengthDataIsExpandedAndClippedToItsRows) {
  const Shape rle8{box(0, 0, 4, 2), 8, 1, 4, 0, 0, GBitmapImp::kRunLength8};
  const Shape rle4{box(0, 0, 4, 2), 4, 1, 1, 0, 0, GBitmapImp::kRunLength4};
  const struct {
    const char* what;
    Shape shape;
    ByteVec data;
    ByteVec rows;  // every stored row
  } cases[] = {
      {"runs, end of line, end of bitmap", rle8, {3, 5, 0, 0, 2, 7, 0, 1, 9, 9}, {5, 5, 5, 0, 7, 7, 0, 0}},
      {"a delta", rle8, {1, 9, 0, 2, 2, 1, 1, 8, 0, 1}, {9, 0, 0, 0, 0, 0, 0, 8}},
      {"an odd literal padded to 16 bits", rle8, {0, 3, 10, 11, 12, 0, 1, 1}, {10, 11, 12, 1, 0, 0, 0, 0}},
      {"a run past its row", rle8, {9, 5, 0, 0, 1, 6}, {5, 5, 5, 5, 6, 0, 0, 0}},
      {"a literal past its row", rle8, {0, 6, 1, 2, 3, 4, 5, 6, 1, 7}, {1, 2, 3, 4, 0, 0, 0, 0}},
      {"a delta past the bottom", rle8, {0, 2, 0, 9, 1, 5, 0, 0, 1, 5}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"a delta past the right edge", rle8, {0, 2, 200, 0, 1, 5, 0, 0, 1, 6}, {0, 0, 0, 0, 6, 0, 0, 0}},
      {"a literal past the data", rle8, {0, 8, 1, 2}, {1, 2, 0, 0, 0, 0, 0, 0}},
      {"rows past the bottom", rle8, {1, 1, 0, 0, 1, 2, 0, 0, 1, 3, 0, 0, 1, 4}, {1, 0, 0, 0, 2, 0, 0, 0}},
      {"a lone count byte", rle8, {4}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"4-bit runs of two nibbles", rle4, {4, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1}, {0x12, 0x12, 0xAB, 0xC0}},
      {"4-bit odd run and literal padding", rle4, {3, 0x9F, 0, 0, 0, 4, 0x12, 0x34, 2, 0x55}, {0x9F, 0x90, 0x12, 0x34}},
      {"4-bit run past its row", rle4, {7, 0x34, 0, 0, 1, 0x11}, {0x34, 0x34, 0x10, 0x00}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const GBitmap b = make(c.shape, c.data);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.compression(), 0u);
    const uint32_t stride = b.body()->stride();
    ASSERT_EQ(b.dataSize(), stride * 2);
    ByteVec rows;
    for (int y = 0; y < 2; ++y) {
      const ByteVec r = rowOf(b, 0, 4, y, 2);
      rows.insert(rows.end(), r.begin(), r.end());
    }
    EXPECT_EQ(rows, c.rows);
  }
}

// ---- palettes -------------------------------------------------------------------------

TEST(Bitmaps, ReduceToPaletteKeepsAtMost256ColoursAndPacksTwo) {
  // 300 colours in a row: blue the low byte of x, green its high byte.
  ByteVec many;
  for (int x = 0; x < 300; ++x) many.insert(many.end(), {uint8_t(x & 0xFF), uint8_t(x >> 8), 1});
  const GBitmap wide = make({box(0, 0, 300, 1), 24}, many);
  GBitmap out;
  wide.reduceToPalette(out);
  ASSERT_FALSE(out.isNull());
  EXPECT_EQ(out.bitsPerPixel(), 8u);
  ASSERT_NE(out.palette(), nullptr);
  ASSERT_EQ(out.palette()->entries(), 256u);
  ByteVec indices(300);
  ASSERT_EQ(out.getRow(indices.data(), 0, 300, 0, 2), 300u);
  for (int x = 0; x < 300; ++x) EXPECT_EQ(indices[x], x < 256 ? x : 0) << x;
  GRGBColor entry;
  out.palette()->colorAt(7)->toRGB(entry);
  const GRGBColor seventh(1, 0, 7, 255);
  EXPECT_TRUE(entry.matches(&seventh));

  // Two colours, 10 × 2: one bit a pixel, each row on a byte of its own.
  ByteVec two;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x) {
      const uint8_t v = (x + y) % 3 == 0 ? 255 : 0;
      two.insert(two.end(), {v, v, v});
    }
  const GBitmap pair = make({box(2, 3, 12, 5), 24}, two);
  pair.reduceToPalette(out);
  ASSERT_FALSE(out.isNull());
  EXPECT_EQ(out.bitsPerPixel(), 1u);
  EXPECT_EQ(out.bounds(), box(0, 0, 10, 2));
  EXPECT_EQ(out.alignment(), 1);
  ASSERT_EQ(out.dataSize(), 4u) << "((w + 7) / 8) × h";
  // White came first (index 0), black is 1.
  EXPECT_EQ(ByteVec(out.data(), out.data() + 4), (ByteVec{0x6D, 0x80, 0xDB, 0x40}));
  ASSERT_EQ(out.palette()->entries(), 2u);
  out.palette()->colorAt(0)->toRGB(entry);
  EXPECT_EQ(entry.red(), 255);

  // Below 8 bits: a copy sharing the body.
  const GBitmap mono = make({box(0, 0, 8, 1), 1}, {0xF0});
  mono.reduceToPalette(out);
  EXPECT_EQ(out.body(), mono.body());

  // 8 bits with two palette entries: packed to one bit; with more, kept.
  const GBitmap indexed8 = make({box(0, 0, 3, 1), 8}, {0, 1, 1}, [](GBitmapDescriptor& d) { d.palette = new GPaletteTable; });
  indexed8.reduceToPalette(out);
  EXPECT_EQ(out.bitsPerPixel(), 1u);
  EXPECT_EQ(ByteVec(out.data(), out.data() + 1), ByteVec{0x60});
  const GBitmap plain8 = make({box(0, 0, 3, 1), 8}, {0, 1, 2});
  plain8.reduceToPalette(out);
  EXPECT_EQ(out.body(), plain8.body());
}

// ---- hatches --------------------------------------------------------------------------

TEST(Bitmaps, HatchStylesAndTheirPalette) {
  const GRGBColor first(255, 0, 0, 255), second(0, 0, 255, 255);
  const ByteVec styles[] = {
      {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F},
      {0x3F, 0x9F, 0xCF, 0xE7, 0xF3, 0xF9, 0xFC, 0x7E}, {0xFC, 0xF9, 0xF3, 0xE7, 0xCF, 0x9F, 0x3F, 0x7E},
      {0x27, 0x8F, 0x8F, 0x27, 0x72, 0xF8, 0xF8, 0x72},
  };
  const ByteVec other{0x00, 0x00, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F};
  for (int style = -1; style <= 7; ++style) {
    SCOPED_TRACE(style);
    const GHatchPattern hatch(style, first, second);
    ASSERT_FALSE(hatch.isNull());
    EXPECT_EQ(hatch.isA(), ClassId::GBitmap);
    EXPECT_EQ(hatch.bounds(), box(0, 0, 8, 8));
    EXPECT_EQ(hatch.bitsPerPixel(), 1u);
    ByteVec rows;
    for (int y = 0; y < 8; ++y) rows.push_back(rowOf(hatch, 0, 8, y, 0)[0]);
    EXPECT_EQ(rows, style >= 0 && style <= 4 ? styles[style] : other);
    ASSERT_EQ(hatch.palette()->entries(), 2u);
    EXPECT_TRUE(hatch.palette()->colorAt(0)->matches(&first));
    EXPECT_TRUE(hatch.palette()->colorAt(1)->matches(&second));
  }
}

// ---- sizes, ownership ---------------------------------------------------------------------

TEST(Bitmaps, MemorySizeOwnershipAndSharing) {
  const GBitmap plain = make({box(0, 0, 4, 1), 8}, {1, 2, 3, 4});
  GBitmap copy = plain;
  EXPECT_EQ(copy.body(), plain.body());
  EXPECT_EQ(plain.body()->useCount(), 2u);
  EXPECT_FALSE(plain.body()->memorySizeValid());
  EXPECT_EQ(copy.memorySize(), 4u);
  EXPECT_TRUE(plain.body()->memorySizeValid());
  GBitmap lzw = make({box(0, 0, 4, 1), 8}, {1, 2, 3}, [](GBitmapDescriptor& d) { d.compression = 3; });
  EXPECT_EQ(lzw.memorySize(), 6u) << "twice the stream";

  // Borrowed pixels made the body's own: overwriting the caller's changes
  // nothing.
  unsigned char pixels[] = {9, 8};
  GBitmapDescriptor d;
  d.data = pixels;
  d.dataLength = 2;
  d.bounds = box(0, 0, 2, 1);
  d.bitsPerPixel = 8;
  GBitmap borrowed(d);
  EXPECT_EQ(borrowed.data(), pixels);
  ASSERT_NE(borrowed.makeDataOwned(), nullptr);
  EXPECT_EQ(borrowed.makeDataOwned(), nullptr) << "owned already";
  pixels[0] = 0;
  EXPECT_EQ(rowOf(borrowed, 0, 2, 0, 2), (ByteVec{9, 8}));
}

// ---- stored forms -------------------------------------------------------------------------

std::string inFile(const std::string& object) { return le32(0x8888) + object; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
const std::string kNil = le16(0xFFFF) + le32(0);

// The body level of a 1-bit 8 × 2 image at the alignment, owned, no masks.
std::string bodyLevel(uint32_t alignment, uint32_t dataLength, const std::string& palette, const std::string& data) {
  const uint32_t stride = alignment == 4 ? 4 : 1;
  return le32(1) + le32(1) + le32(dataLength) + le16(0) + le16(0) + le16(8) + le16(2) + bytes({1, 1}) + le32(1) +
         le32(0) + le32(0) + bytes({uint8_t(alignment)}) + le16(0) + le32(0) + le16(0) + le32(0) + le32(0) +
         le32(stride) + le32(1) + le32(0) + le32(0) + bytes({0, 0}) + le32(0) + bytes({0, 0}) + le32(0) +
         bytes({0, 0}) + palette + data;
}

GBitmapImp* storedBody(uint32_t alignment, const ByteVec& data, uint32_t serial, GPaletteTable* palette = nullptr) {
  GBitmap b = make({box(0, 0, 8, 2), 1, 1, alignment, 1}, data, [&](GBitmapDescriptor& d) { d.palette = palette; });
  auto* body = new GBitmapImp(*b.body());
  body->setSerialNumber(serial);
  return body;
}

class BitmapStore : public StoreTest {};

TEST_F(BitmapStore, BodiesHandlesAndPaintsStoreTheirBytes) {
  // 87 + 2 bytes beyond the base at alignment 1, 87 + 8 at alignment 4.
  {
    std::unique_ptr<GBitmapImp> body(storedBody(1, {0xA5, 0x5A}, 3));
    EXPECT_EQ(body->binaryStoreSize(), 12u + 87 + 2);
    expectStoredForm(*body, inFile(le16(552) + root(0, 3) + bodyLevel(1, 2, kNil, bytes({0xA5, 0x5A}))));
    restoreEveryCut(body.get());
  }
  {
    const ByteVec eight{1, 0, 0, 0, 2, 0, 0, 0};
    std::unique_ptr<GBitmapImp> body(storedBody(4, eight, 3));
    EXPECT_EQ(body->binaryStoreSize(), 12u + 87 + 8);
    expectStoredForm(*body, inFile(le16(552) + root(0, 3) + bodyLevel(4, 8, kNil, bytes({1, 0, 0, 0, 2, 0, 0, 0}))));
  }
  // With a palette: 81 + the palette's size.
  {
    std::unique_ptr<GBitmapImp> body(storedBody(1, {0xA5, 0x5A}, 3, new GPaletteTable));
    const GPaletteTable* palette = body->palette();
    ASSERT_NE(palette, nullptr);
    // The default palette: its tag, root and version, the count, and two
    // colours of 26 bytes each (tag, root, two versions, four bytes).
    const size_t paletteSize = 2 + 12 + 4 + 4 + 2 * 26;
    EXPECT_EQ(body->binaryStoreSize(), 12u + 81 + paletteSize + 2);
    std::string stored = storedBytes(body.get());
    EXPECT_EQ(stored.size(), 6u + 12 + 81 + paletteSize + 2);
    std::unique_ptr<RWCollectable> back(restoredFrom(stored));
    ASSERT_NE(dynamic_cast<GBitmapImp*>(back.get()), nullptr);
    EXPECT_TRUE(static_cast<GBitmapImp*>(back.get())->matches(body.get()));
    ASSERT_NE(static_cast<GBitmapImp*>(back.get())->palette(), nullptr);
    EXPECT_EQ(static_cast<GBitmapImp*>(back.get())->palette()->entries(), 2u);
    restoreEveryCut(body.get());
  }
  // No data: dataLength 0 and no bytes; it round-trips.
  {
    GBitmapDescriptor d;
    d.dataLength = 40;  // no pixels behind it
    d.bounds = box(0, 0, 8, 2);
    d.colourOrder = 1;
    GBitmap empty(d);
    EXPECT_EQ(empty.dataSize(), 0u);
    std::unique_ptr<GBitmapImp> body(new GBitmapImp(*empty.body()));
    body->setSerialNumber(3);
    std::string level = bodyLevel(1, 0, kNil, "");
    level.replace(4, 4, le32(0));  // nothing owned
    expectStoredForm(*body, inFile(le16(552) + root(0, 3) + level));
  }
  // A handle: its version, then the body.
  {
    GBitmap handle = make({box(0, 0, 8, 2), 1, 1, 1, 1}, {0xA5, 0x5A});
    handle.setSerialNumber(2);
    handle.body()->setSerialNumber(3);
    const std::string file =
        inFile(le16(551) + root(0, 2) + le32(1) + le16(552) + root(0, 3) + bodyLevel(1, 2, kNil, bytes({0xA5, 0x5A})));
    expectStoredForm(handle, file);
    // An empty one holds nil.
    GBitmap none;
    none.setSerialNumber(5);
    expectStoredForm(none, inFile(le16(551) + root(0, 5) + le32(1) + kNil));
  }
  // A hatch stores as a bitmap and comes back as one.
  {
    const GHatchPattern hatch(2, GRGBColor(1, 2, 3, 255), GRGBColor(4, 5, 6, 255));
    std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&hatch)));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(typeid(*back), typeid(GBitmap));
    EXPECT_TRUE(static_cast<GBitmap*>(back.get())->matches(&hatch));
  }
  // Raster paints: 18 beyond the paint level without a body, 12 and the
  // body's with one.
  {
    GRasterPaint bare;
    bare.setSerialNumber(6);
    EXPECT_EQ(bare.binaryStoreSize(), 12u + 4 + 18);
    expectStoredForm(bare, inFile(le16(153) + root(0, 6) + le32(1) + le32(1) + kNil + le32(0) + le32(0)));

    GBitmap bitmap = make({box(0, 0, 8, 2), 1, 1, 1, 1}, {0xA5, 0x5A});
    bitmap.body()->setSerialNumber(3);
    GRasterPaint paint(bitmap, 1, 2);
    paint.setSerialNumber(7);
    paint.body()->setSerialNumber(8);
    paint.body()->bitmap().setSerialNumber(9);
    paint.setPatternId(0x1234);
    EXPECT_EQ(paint.binaryStoreSize(), 12u + 4 + 12 + 2 + paint.body()->binaryStoreSize());
    const std::string bitmapBytes =
        le16(551) + root(0, 9) + le32(1) + le16(552) + root(0, 3) + bodyLevel(1, 2, kNil, bytes({0xA5, 0x5A}));
    EXPECT_EQ(paint.body()->binaryStoreSize(), 12u + 6 + bitmapBytes.size());
    expectStoredForm(paint, inFile(le16(153) + root(0, 7) + le32(1) + le32(1) + le16(154) + root(0, 8) + le32(1) +
                                   bitmapBytes + le16(0x1234) + le32(1) + le32(3)));
    restoreEveryCut(&paint);
  }
}

// Two handles and two paints sharing one body each, in one store: one body
// of each comes back, used twice, and all four go cleanly.
TEST_F(BitmapStore, SharedBodiesComeBackSharedAndCountEveryHolder) {
  GBitmap first = make({box(0, 0, 8, 2), 1}, {0xA5, 0x5A});
  GBitmap second = first;
  GRasterPaint paint(first, 1, 0);
  GRasterPaint other = paint;
  std::stringstream buffer;
  {
    RWbostream out(buffer);
    RWUseStoreTable table;
    for (const RWCollectable* o : {static_cast<const RWCollectable*>(&first), static_cast<const RWCollectable*>(&second),
                                   static_cast<const RWCollectable*>(&paint), static_cast<const RWCollectable*>(&other)})
      out << o;
  }
  RWbistream in(buffer);
  std::unique_ptr<GBitmap> a, b;
  std::unique_ptr<GRasterPaint> p, q;
  {
    RWUseReadTable table;
    GBitmap* ra = nullptr;
    GBitmap* rb = nullptr;
    GRasterPaint* rp = nullptr;
    GRasterPaint* rq = nullptr;
    in >> ra >> rb >> rp >> rq;
    a.reset(ra), b.reset(rb), p.reset(rp), q.reset(rq);
  }
  ASSERT_TRUE(a && b && p && q);
  ASSERT_NE(a->body(), nullptr);
  EXPECT_EQ(a->body(), b->body());
  ASSERT_NE(p->body(), nullptr);
  EXPECT_EQ(p->body(), q->body());
  EXPECT_EQ(p->body()->useCount(), 2);
  // The paint's own bitmap shares the handles' body too.
  EXPECT_EQ(p->bitmap().body(), a->body());
  EXPECT_EQ(a->body()->useCount(), 3u);
  EXPECT_TRUE(a->matches(&first));
  a.reset();
  p.reset();
  EXPECT_EQ(rowOf(*b, 0, 8, 1, 2), ByteVec{0x5A});
  EXPECT_EQ(q->bitmap().body()->useCount(), 2u);
}

// Paints that share a body match whatever their flags: two paints of one
// body come back with the flags each stored.
TEST_F(BitmapStore, PaintsSharingABodyMatchWithOtherFlags) {
  GRasterPaint paint(make({box(0, 0, 8, 1), 1}, {0xAA}), 1, 0);
  GRasterPaint other = paint;
  std::string file;
  {
    RWFile f(path().c_str(), "wb");
    RWUseStoreTable table;
    f << static_cast<const RWCollectable*>(&paint) << static_cast<const RWCollectable*>(&other);
  }
  file = fileContents(path());
  // The second paint's flags close the file: hatched 0, synthetic 2.
  file.replace(file.size() - 8, 8, le32(0) + le32(2));
  putBytes(file);
  RWFile f(path().c_str(), "rb");
  RWUseReadTable table;
  GRasterPaint* a = nullptr;
  GRasterPaint* b = nullptr;
  f >> a >> b;
  const std::unique_ptr<GRasterPaint> ownedA(a), ownedB(b);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->body(), b->body());
  EXPECT_EQ(a->hatched(), 1);
  EXPECT_EQ(b->hatched(), 0);
  EXPECT_EQ(b->synthetic(), 2);
  EXPECT_TRUE(a->matches(b));
  EXPECT_TRUE(b->matches(a));
}

// A body or a paint body that something else read first (the outermost
// object of a restore holds it uncounted): a handle or a paint that refers
// to it takes a copy, so that nothing is freed twice.
TEST_F(BitmapStore, ReferencesToBodiesAnotherReaderHoldsAreCopied) {
  std::unique_ptr<GBitmapImp> body(storedBody(1, {0xA5, 0x5A}, 3));
  const std::string ref = le16(0xFFFF);
  // A body (index 1), a handle (2) referring to it, a paint body (3,
  // its bitmap 4), a paint (5) referring to it.
  putBytes(storedBytes(body.get()).substr(4) + le16(551) + root(0, 1) + le32(1) + ref + le32(1) + le16(154) + root(0, 2) +
           le32(1) + le16(551) + root(0, 3) + le32(1) + kNil + le16(0) + le16(153) + root(0, 4) + le32(1) + le32(1) +
           ref + le32(3) + le32(0) + le32(0));
  RWFile f(path().c_str(), "rb");
  RWUseReadTable table;
  GBitmapImp* readBody = nullptr;
  GBitmap* handle = nullptr;
  GRasterPaintImp* paintBody = nullptr;
  GRasterPaint* paint = nullptr;
  f >> readBody >> handle >> paintBody >> paint;
  const std::unique_ptr<GBitmapImp> b1(readBody);
  const std::unique_ptr<GBitmap> b2(handle);
  const std::unique_ptr<GRasterPaintImp> b3(paintBody);
  const std::unique_ptr<GRasterPaint> b4(paint);
  ASSERT_TRUE(readBody && handle && paintBody && paint);
  EXPECT_NE(handle->body(), readBody);
  EXPECT_TRUE(handle->body()->matches(readBody));
  EXPECT_NE(paint->body(), paintBody);
  ASSERT_NE(paint->body(), nullptr);
}

// Damaged and hostile stored bodies: each fails its level, the object
// restored into keeping what it held; nothing is allocated for pixels the
// data does not hold.
TEST_F(BitmapStore, HostileBodiesFailTheirLevel) {
  const std::string good = bodyLevel(1, 2, kNil, bytes({0xA5, 0x5A}));
  auto with = [&](size_t at, const std::string& field) {
    std::string level = good;
    level.replace(at, field.size(), field);
    return inFile(le16(552) + root(0, 3) + level);
  };
  // Offsets in the level: dataLength 8, bits 20, planes 21, stride 51,
  // rowBytes 55.
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"dataLength 0xFFFFFFFF in a short stream", with(8, le32(0xFFFFFFFF))},
      {"dataLength past the end", with(8, le32(3))},
      {"depth 3", with(20, bytes({3}))},
      {"depth 0", with(20, bytes({0}))},
      {"planes 2", with(21, bytes({2}))},
      {"stride below rowBytes", with(51, le32(0))},
      {"rowBytes the bounds do not give", with(55, le32(7)) + std::string(8, '\0')},
      {"cut in the palette", inFile(le16(552) + root(0, 3) + good.substr(0, 81) + le16(553) + root(0, 4) + le32(1) +
                                    le32(2) + le16(53))},
      {"cut in the pixels", inFile(le16(552) + root(0, 3) + good.substr(0, good.size() - 1))},
      {"level of version 2", with(0, le32(2))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> fresh(restoredFrom(c.file));
    putBytes(c.file);
    std::unique_ptr<GBitmapImp> held(storedBody(4, {1, 0, 0, 0, 2, 0, 0, 0}, 3));
    const GBitmapImp before(*held);
    {
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(*held);
    }
    EXPECT_TRUE(held->matches(&before));
    EXPECT_EQ(held->dataSize(), 8u);
    EXPECT_EQ(held->stride(), 4u);
  }
  // A handle whose body fails, cut short or of depth 3 with more to read,
  // keeps the body it had.
  std::string depth3 = good;
  depth3[20] = 3;
  for (const std::string& level : {good.substr(0, good.size() - 1), depth3 + std::string(10, '\0')}) {
    putBytes(inFile(le16(551) + root(0, 2) + le32(1) + le16(552) + root(0, 3) + level));
    GBitmap held = make({box(0, 0, 1, 1), 8}, {42});
    {
      ReportLog reports;
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(held);
    }
    EXPECT_EQ(rowOf(held, 0, 1, 0, 2), ByteVec{42});
  }
}

// ---- raster paints ----------------------------------------------------------------------

struct Generator : GPaintCallbacks {
  std::vector<std::string> calls;
  GRasterPaint* paint = nullptr;
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint* p) override { return log("setPenRasterPaint", p, 3); }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint*) override { return log("setPenColorPaint", nullptr, 0); }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint* p) override { return log("setBrushRasterPaint", p, 4); }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint*) override { return log("setBrushColorPaint", nullptr, 0); }
  [[nodiscard]] GStatus log(const char* what, GRasterPaint* p, GStatus status) {
    calls.push_back(what);
    paint = p;
    return status;
  }
};

TEST(RasterPaints, ShareTheirBodyMatchAndCallTheGenerator) {
  const GBitmap pattern = make({box(0, 0, 8, 1), 1}, {0xAA});
  GRasterPaint paint(pattern, 1, 0);
  EXPECT_EQ(paint.hatched(), 1);
  EXPECT_EQ(paint.synthetic(), 1);
  EXPECT_EQ(GRasterPaint(pattern, 0, 2).synthetic(), 2);
  EXPECT_TRUE(paint.isKindOf(151) && paint.isKindOf(751));
  EXPECT_EQ(paint.kind(), 153);
  EXPECT_EQ(paint.bitmap().body(), pattern.body()) << "the body holds the bitmap's pixels";

  {
    const GRasterPaint copy = paint;
    EXPECT_EQ(copy.body(), paint.body());
    EXPECT_EQ(paint.body()->useCount(), 2);
  }
  EXPECT_EQ(paint.body()->useCount(), 1);

  // Sharing a body they match whatever their flags; so do equal bodies.
  GRasterPaint other = paint;
  other = GRasterPaint(pattern, 0, 0);
  EXPECT_TRUE(other.matches(&paint)) << "an equal body";
  GRasterPaint shared = paint;
  EXPECT_TRUE(shared.matches(&paint));
  paint.setPatternId(5);
  EXPECT_EQ(shared.patternId(), 5);
  EXPECT_FALSE(other.matches(&paint)) << "another pattern number";
  EXPECT_FALSE(GRasterPaint().matches(&paint));
  const GRasterPaint none;
  EXPECT_TRUE(GRasterPaint().matches(&none));

  // A paint without a body.
  GRasterPaint bare;
  bare.setPatternId(9);
  EXPECT_EQ(bare.body(), nullptr);
  EXPECT_EQ(bare.patternId(), 0);
  EXPECT_TRUE(bare.bitmap().isNull());
  EXPECT_NE(bare.body(), nullptr) << "bitmap made one";

  GBitmap out;
  paint.body()->copyBitmap(out);
  EXPECT_EQ(out.body(), pattern.body());

  Generator generator;
  EXPECT_EQ(paint.acceptAsPen(generator), 3);
  EXPECT_EQ(generator.paint, &paint);
  EXPECT_EQ(paint.acceptAsBrush(generator), 4);
  EXPECT_EQ(generator.calls, (std::vector<std::string>{"setPenRasterPaint", "setBrushRasterPaint"}));
}

}  // namespace
