// Row encoders: exact bytes for the cases that decide the formats, and
// every encoder's output read back by the test kit's decoders, which share
// nothing with them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "graphics/rowenc.h"
#include "rowfeed.h"
#include "testkit/raster/rowdecode.h"
#include "testkit/tmpdir.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace rd = rasterdecode;

// An encoder started on rows of 8-bit pixels, one byte each; the feed
// stays alive with it.
template <class Encoder>
struct Rig {
  RowFeed feed;
  Encoder encoder;
  Rig(std::vector<Bytes> rows, uint16_t alignment = 1, uint32_t invert = 0, std::vector<uint8_t> repeats = {})
      : feed(GRect(0, 0, static_cast<int16_t>(rows.empty() ? 0 : rows[0].size()), static_cast<int16_t>(rows.size())),
             8, rows, std::move(repeats)),
        encoder(alignment, invert) {
    encoder.setUpstream(&feed);
    EXPECT_TRUE(encoder.start());
  }
  Bytes next() { return pullRow(encoder).bytes; }
};

template <class Encoder>
Bytes encodeRow(const Bytes& row, uint16_t alignment = 1, uint32_t invert = 0) {
  Rig<Encoder> rig({row}, alignment, invert);
  return rig.next();
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// n bytes counting up from `from`, none equal to its neighbour.
Bytes distinct(size_t n, int from = 1) {
  Bytes out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>((from + i) % 200 + 1));
  return out;
}

// ---- PackBits ------------------------------------------------------------------------

TEST(PackBitsRowEncoder, ExactBytes) {
  const Bytes lit126 = distinct(125), lit127 = distinct(126);
  struct Case {
    const char* what;
    Bytes row;
    uint16_t alignment;
    Bytes out;
  };
  const Case cases[] = {
      {"three equal", {0x11, 0x11, 0x11}, 1, {0xFE, 0x11}},
      {"two equal inside a literal", {0x11, 0x22, 0x22, 0x33}, 1, {0x03, 0x11, 0x22, 0x22, 0x33}},
      {"three equal after a literal", {0x11, 0x22, 0x22, 0x22}, 1, {0x00, 0x11, 0xFE, 0x22}},
      {"two equal at the start", {0x11, 0x11, 0x22}, 1, {0xFF, 0x11, 0x00, 0x22}},
      {"one byte", {0x42}, 1, {0x00, 0x42}},
      {"130 equal", Bytes(130, 0x55), 1, {0x81, 0x55, 0xFF, 0x55}},
      {"128 equal", Bytes(128, 0x55), 1, {0x81, 0x55}},
      {"129 equal", Bytes(129, 0x55), 1, {0x81, 0x55, 0x00, 0x55}},
      {"128 literals", distinct(128), 1, concat({{0x7F}, distinct(128)})},
      {"129 literals", distinct(129), 1, concat({{0x7F}, distinct(128), {0x00}, distinct(1, 129)})},
      {"pad encoded, not inverted", {0xA, 0xB, 0xC}, 4, {0x03, 0xA, 0xB, 0xC, 0x00}},
      {"pad of zeros as a run", {0xA}, 4, {0x00, 0xA, 0xFE, 0x00}},
      // A literal of 127 whose last two are equal takes a different byte
      // and closes; one of 128 closes before it.
      {"state 3 at count 126", concat({lit126, {0xF0, 0xF0, 0xF1, 0xF2}}), 1,
       concat({{0x7F}, lit126, {0xF0, 0xF0, 0xF1, 0x00, 0xF2}})},
      {"state 3 at count 127", concat({lit127, {0xF0, 0xF0, 0xF1}}), 1,
       concat({{0x7F}, lit127, {0xF0, 0xF0, 0x00, 0xF1}})},
      {"third equal at count 127", concat({lit127, {0xF0, 0xF0, 0xF0}}), 1, concat({{0x7D}, lit127, {0xFE, 0xF0}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(encodeRow<GPackBitsRowEncoder>(c.row, c.alignment), c.out);
    EXPECT_EQ(rd::unpackBits(c.out), concat({c.row, Bytes((c.alignment - c.row.size() % c.alignment) % c.alignment)}));
  }
}

TEST(PackBitsRowEncoder, InversionComplementsDataOnly) {
  EXPECT_EQ(encodeRow<GPackBitsRowEncoder>({0x00, 0x0F, 0xF0}, 4, 1), (Bytes{0x03, 0xFF, 0xF0, 0x0F, 0x00}));
}

// ---- delta row -----------------------------------------------------------------------

TEST(DeltaRowEncoder, ExactBytes) {
  auto changedAt = [](size_t at, size_t width) {
    Bytes row(width);
    row[at] = 0x77;
    return row;
  };
  Bytes nine(9);
  for (int i = 0; i < 9; ++i) nine[i] = static_cast<unsigned char>(0x10 + i);
  struct Case {
    const char* what;
    Bytes row;
    Bytes out;
  };
  const Case cases[] = {
      {"equal to the seed", Bytes(50), {}},
      {"one byte at 40", changedAt(40, 50), {0x1F, 0x09, 0x77}},
      {"one byte at 30", changedAt(30, 50), {0x1E, 0x77}},
      {"one byte at 31", changedAt(31, 50), {0x1F, 0x00, 0x77}},
      {"one byte at 286", changedAt(286, 300), {0x1F, 0xFF, 0x00, 0x77}},
      {"one byte at 285", changedAt(285, 300), {0x1F, 0xFE, 0x77}},
      {"nine bytes at 0", nine, {0xE0, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x00, 0x18}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(encodeRow<GDeltaRowEncoder>(c.row), c.out);
  }
}

TEST(DeltaRowEncoder, TheSeedFollowsTheRows) {
  Rig<GDeltaRowEncoder> rig({{1, 2, 3, 4}, {1, 2, 3, 4}, {1, 9, 3, 4}, {0, 9, 3, 4}});
  EXPECT_EQ(rig.next(), (Bytes{0x60, 1, 2, 3, 4}));
  EXPECT_EQ(rig.next(), Bytes{});
  EXPECT_EQ(rig.next(), (Bytes{0x01, 9}));
  EXPECT_EQ(rig.next(), (Bytes{0x00, 0}));
}

TEST(DeltaRowEncoder, InvertedStreamDecodesFromAZeroSeed) {
  // The printer's seed starts at zero as sent; the first row's zero bytes
  // (white to an inverting printer) must be sent, not taken as unchanged.
  const std::vector<Bytes> rows = {{0, 0, 5, 0}, {0, 7, 5, 0}, {0xFF, 7, 5, 0}};
  Rig<GDeltaRowEncoder> rig(rows, 1, 1);
  rd::Bytes seed(4, 0);
  for (const Bytes& row : rows) {
    rd::Result ok;
    rd::applyDeltaRow(seed, rig.next(), &ok);
    ASSERT_TRUE(ok.ok) << ok.error;
    Bytes complemented;
    for (unsigned char b : row) complemented.push_back(static_cast<unsigned char>(~b));
    EXPECT_EQ(seed, complemented);
  }
}

// ---- adaptive ------------------------------------------------------------------------

TEST(AdaptiveRowEncoder, ModeChoices) {
  // A fresh encoder takes no row as unchanged: nine equal bytes are a run.
  EXPECT_EQ(encodeRow<GAdaptiveRowEncoder>(Bytes(9, 0x44)), (Bytes{0x02, 0x00, 0x02, 0xF8, 0x44}));
  // So is nine zero bytes, though they equal the blank seed.
  EXPECT_EQ(encodeRow<GAdaptiveRowEncoder>(Bytes(9, 0x00)), (Bytes{0x02, 0x00, 0x02, 0xF8, 0x00}));
  // Few equal neighbours: unencoded, with its pad.
  EXPECT_EQ(encodeRow<GAdaptiveRowEncoder>({1, 2, 3, 4, 5, 6}, 4),
            (Bytes{0x00, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 0, 0}));
  // No row of three bytes or more takes the delta row first.
  std::mt19937 random(7);
  for (int n = 3; n < 40; ++n) {
    Bytes row(n);
    for (auto& b : row) b = static_cast<unsigned char>(random() % 3);
    EXPECT_NE(encodeRow<GAdaptiveRowEncoder>(row).at(0), 3) << n;
  }
  // A row much like the one before: the delta row.
  Rig<GAdaptiveRowEncoder> rig({{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 7}});
  (void)rig.next();
  EXPECT_EQ(rig.next(), (Bytes{0x03, 0x00, 0x02, 0x05, 0x07}));
}

TEST(AdaptiveRowEncoder, RepeatsFoldIntoADuplicateBlock) {
  Rig<GAdaptiveRowEncoder> rig({{1, 2, 3}}, 1, 0, {4});
  const PulledRow r = pullRow(rig.encoder);
  EXPECT_EQ(r.bytes, (Bytes{0x00, 0x00, 0x03, 1, 2, 3, 0x05, 0x00, 0x03}));
  EXPECT_EQ(r.repeat, 1);
  EXPECT_EQ(r.covered, 4);
}

TEST(AdaptiveRowEncoder, ResetRestartsFromABlankSeed) {
  const Bytes row = {1, 2, 3, 4, 5, 6};
  Rig<GAdaptiveRowEncoder> rig({row, row, row});
  EXPECT_EQ(rig.next().at(0), 0);
  EXPECT_EQ(rig.next(), (Bytes{0x03, 0x00, 0x00}));  // unchanged
  rig.encoder.resetSeedRow();
  const Bytes again = rig.next();
  EXPECT_EQ(again.at(0), 0);
  rd::Bytes seed(6, 0);
  EXPECT_EQ(rd::decodeAdaptive(seed, again).at(0), row);
}

TEST(AdaptiveRowEncoder, ABlockTooLongIsRefused) {
  // 30,000 colour pixels of little sameness: an unencoded block of 90,000
  // bytes, which the 16-bit length cannot hold.
  std::mt19937 random(5);
  Bytes row(90000);
  for (auto& b : row) b = static_cast<unsigned char>(random());
  RowFeed feed(GRect(0, 0, 30000, 1), 24, {row});
  GAdaptiveRowEncoder e(1);
  e.setUpstream(&feed);
  ASSERT_TRUE(e.start());
  const PulledRow r = pullRow(e);
  EXPECT_EQ(r.status, GAdaptiveRowEncoder::kBlockTooLong);
  EXPECT_EQ(r.length, 0u);
}

// ---- unencoded -----------------------------------------------------------------------

TEST(UnencodedRowStage, InversionComplementsDataNotPad) {
  EXPECT_EQ(encodeRow<GUnencodedRowStage>({0x00, 0xF0, 0x0F}, 4, 1), (Bytes{0xFF, 0x0F, 0xF0, 0x00}));
  EXPECT_EQ(encodeRow<GUnencodedRowStage>({0x00, 0xF0, 0x0F}, 1, 0), (Bytes{0x00, 0xF0, 0x0F}));
  EXPECT_EQ(encodeRow<GUnencodedRowStage>({1, 2, 3, 4, 5}, 8, 0), (Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(RowEncoders, NoUpstreamNoStart) {
  GUnencodedRowStage u(4);
  GPackBitsRowEncoder p(1);
  GDeltaRowEncoder d(1);
  GAdaptiveRowEncoder a(1);
  for (GRowStage* s : std::initializer_list<GRowStage*>{&u, &p, &d, &a}) EXPECT_FALSE(s->start());
}

// ---- every encoder against the decoders ----------------------------------------------

// Packed rows of `width` pixels at `bpp`: random, or runs of a few values.
std::vector<Bytes> someRows(std::mt19937& random, uint64_t rowBytes, bool runs, int count) {
  std::vector<Bytes> rows;
  Bytes row(rowBytes);
  for (int k = 0; k < count; ++k) {
    if (runs) {
      for (size_t i = 0; i < row.size();) {
        const size_t run = 1 + random() % 300;
        const unsigned char v = static_cast<unsigned char>(random() % 3 == 0 ? 0 : random() % 4);
        for (size_t j = 0; j < run && i < row.size(); ++j, ++i) row[i] = v;
      }
    } else if (k % 2 == 0) {
      for (auto& b : row) b = static_cast<unsigned char>(random());
    } else {
      // The row before with a few bytes changed, for the delta rows.
      for (int c = 0; c < 5 && !row.empty(); ++c) row[random() % row.size()] = static_cast<unsigned char>(random());
    }
    // The bits past the last pixel are zero, as every stage makes them.
    rows.push_back(row);
  }
  return rows;
}

TEST(RowEncoders, OutputStaysWithinMaxRowBytesAndDecodesBack) {
  std::mt19937 random(42);
  for (const uint8_t bpp : {1, 4, 8, 24})
    for (int width = 1; width <= 700; width += (width < 40 ? 1 : 37))
      for (const uint16_t alignment : {1, 2, 4, 8})
        for (const bool runs : {false, true}) {
          SCOPED_TRACE(testing::Message() << int(bpp) << " bits, " << width << " wide, aligned " << alignment
                                          << (runs ? ", runs" : ", random"));
          const uint64_t rowBytes = (uint64_t{bpp} * width + 7) / 8;
          const uint64_t padded = (rowBytes + alignment - 1) / alignment * alignment;
          const std::vector<Bytes> rows = someRows(random, rowBytes, runs, 6);
          const GRect bounds(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(rows.size()));
          for (const uint32_t invert : {0u, 1u}) {
            auto expect = [&](const Bytes& row, bool pad) {
              Bytes out = row;
              if (invert)
                for (auto& b : out) b = static_cast<unsigned char>(~b);
              if (pad) out.resize(padded, 0);
              return out;
            };
            {
              RowFeed feed(bounds, bpp, rows);
              GPackBitsRowEncoder e(alignment, invert);
              e.setUpstream(&feed);
              ASSERT_TRUE(e.start());
              for (const Bytes& row : rows) {
                const PulledRow r = pullRow(e);
                ASSERT_LE(r.length, e.maxRowBytes());
                rd::Result ok;
                EXPECT_EQ(rd::unpackBits(r.bytes, &ok), expect(row, true));
                EXPECT_TRUE(ok.ok) << ok.error;
              }
            }
            {
              RowFeed feed(bounds, bpp, rows);
              GDeltaRowEncoder e(alignment, invert);
              e.setUpstream(&feed);
              ASSERT_TRUE(e.start());
              rd::Bytes seed(rowBytes, 0);
              for (const Bytes& row : rows) {
                const PulledRow r = pullRow(e);
                ASSERT_LE(r.length, e.maxRowBytes());
                rd::Result ok;
                rd::applyDeltaRow(seed, r.bytes, &ok);
                EXPECT_TRUE(ok.ok) << ok.error;
                EXPECT_EQ(seed, expect(row, false));
              }
            }
            {
              RowFeed feed(bounds, bpp, rows);
              GAdaptiveRowEncoder e(alignment, invert);
              e.setUpstream(&feed);
              ASSERT_TRUE(e.start());
              rd::Bytes seed(padded, 0);
              for (const Bytes& row : rows) {
                const PulledRow r = pullRow(e);
                ASSERT_EQ(r.status, 0);
                ASSERT_LE(r.length, e.maxRowBytes());
                rd::Result ok;
                const auto decoded = rd::decodeAdaptive(seed, r.bytes, &ok);
                EXPECT_TRUE(ok.ok) << ok.error;
                ASSERT_EQ(decoded.size(), 1u);
                EXPECT_EQ(decoded[0], expect(row, true));
              }
            }
            {
              RowFeed feed(bounds, bpp, rows);
              GUnencodedRowStage e(alignment, invert);
              e.setUpstream(&feed);
              ASSERT_TRUE(e.start());
              for (const Bytes& row : rows) {
                const PulledRow r = pullRow(e);
                ASSERT_LE(r.length, e.maxRowBytes());
                EXPECT_EQ(r.bytes, expect(row, true));
              }
            }
          }
        }
}

// ---- through the TIFF tools ----------------------------------------------------------

TEST(PackBitsRowEncoder, TiffToolsReadTheRowsBack) {
  if (std::system("command -v tiffcp >/dev/null 2>&1") != 0) GTEST_SKIP() << "tiffcp is not installed";
  std::mt19937 random(3);
  const int width = 301, height = 40;
  std::vector<Bytes> rows;
  for (int y = 0; y < height; ++y) {
    Bytes row(width);
    for (int x = 0; x < width; ++x) row[x] = static_cast<unsigned char>(y % 3 ? (x / (y + 1)) * 9 : random());
    rows.push_back(row);
  }
  RowFeed feed(GRect(0, 0, width, height), 8, rows);
  GPackBitsRowEncoder e(1);
  e.setUpstream(&feed);
  ASSERT_TRUE(e.start());
  Bytes strip, pixels;
  for (const Bytes& row : rows) {
    const Bytes encoded = pullRow(e).bytes;
    strip.insert(strip.end(), encoded.begin(), encoded.end());
    pixels.insert(pixels.end(), row.begin(), row.end());
  }
  const TempDir dir;
  const std::string in = dir.hostPath() + "/packed.tif", out = dir.hostPath() + "/plain.tif";
  {
    const Bytes file = rd::tiffOneStrip(width, height, 8, 32773, strip);
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  }
  ASSERT_EQ(std::system(("tiffcp -c none '" + in + "' '" + out + "' 2>&1").c_str()), 0);
  std::ifstream back(out, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
  rd::Result ok;
  EXPECT_EQ(rd::tiffUncompressedData(file, &ok), pixels);
  EXPECT_TRUE(ok.ok) << ok.error;
}

}  // namespace
