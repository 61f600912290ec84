// Row stages and the raster pipeline: the bitmap reader's forms, the
// resampler's rows and pixels, the cut to a clip, the dither, and which
// stages a job builds.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/dither.h"
#include "graphics/rowenc.h"
#include "graphics/rowstage.h"
#include "rowfeed.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A bitmap owning a copy of data, rows one byte-aligned.
GBitmap image(const GRect& bounds, uint32_t bits, const Bytes& data, GPaletteTable* palette = nullptr) {
  GBitmapDescriptor d;
  auto* copy = new unsigned char[data.size() + 1];
  std::memcpy(copy, data.data(), data.size());
  d.owned = 1;
  d.data = copy;
  d.dataLength = static_cast<uint32_t>(data.size());
  d.alignment = 1;
  d.bounds = bounds;
  d.bitsPerPixel = bits;
  d.palette = palette;
  return GBitmap(d);
}

GPaletteTable* paletteOf(const std::vector<GRGBColor>& colours) {
  std::vector<const GColor*> list;
  for (const GRGBColor& c : colours) list.push_back(&c);
  return new GPaletteTable(list);
}

GRGBColor rgbAt(const GPaletteTable* p, RWsize i) {
  GRGBColor out;
  p->colorAt(i)->toRGB(out);
  return out;
}

// A stage started on top of an upstream; both stay the test's.
template <class Stage>
Stage& linked(Stage& stage, GRowStage& upstream) {
  stage.setUpstream(&upstream);
  EXPECT_TRUE(stage.start());
  return stage;
}

// ---- bitmap reader -------------------------------------------------------------------

TEST(BitmapRowReader, KindsAndDepths) {
  // Each image: two rows of 8 pixels.
  const GBitmap one = image(GRect(0, 0, 8, 2), 1, {0xA5, 0x0F}, paletteOf({{0, 0, 0, 255}, {200, 100, 50, 255}}));
  const GBitmap eight = image(GRect(0, 0, 8, 2), 8, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                              paletteOf({{10, 20, 30, 255}, {40, 50, 60, 255}}));
  Bytes rgb;
  for (int i = 0; i < 48; ++i) rgb.push_back(static_cast<unsigned char>(i * 5));
  const GBitmap colour = image(GRect(0, 0, 8, 2), 24, rgb);

  enum PaletteKind { None, Inverted, Own };
  struct Case {
    const GBitmap* bitmap;
    uint32_t kind;
    uint8_t depth;
    bool inverted;  // the bytes of the row
    PaletteKind palette;
  };
  const Case cases[] = {
      {&one, 0, 1, false, Own},       {&one, 1, 1, false, Inverted},  {&one, 2, 1, false, Own},
      {&one, 3, 1, false, Own},       {&one, 4, 1, true, Own},        {&eight, 0, 8, false, Own},
      {&eight, 1, 8, false, Inverted}, {&eight, 2, 8, false, Own},     {&eight, 3, 8, false, Own},
      {&eight, 4, 8, true, Own},      {&colour, 0, 8, false, None},   {&colour, 1, 8, true, None},
      {&colour, 2, 24, false, None},  {&colour, 3, 24, false, None},  {&colour, 4, 8, true, None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.bitmap->bitsPerPixel() << " kind " << c.kind);
    GBitmapRowReader reader(c.kind, GRect(0, 0, 8, 2), *c.bitmap);
    EXPECT_EQ(reader.bitsPerPixel(), c.depth);
    Bytes expected(c.bitmap->rowBytesFor(0, 8));
    expected.resize(c.bitmap->getRow(expected.data(), 0, 8, 1, c.kind));
    if (c.inverted)
      for (auto& b : expected) b = static_cast<unsigned char>(~b);
    (void)pullRow(reader);
    const PulledRow row = pullRow(reader);
    EXPECT_EQ(row.bytes, expected);
    EXPECT_EQ(row.index, 1u);
    EXPECT_EQ(row.repeat, 1);
    EXPECT_EQ(row.covered, 1);
    switch (c.palette) {
      case None:
        EXPECT_EQ(reader.palette(), nullptr);
        break;
      case Own:
        EXPECT_EQ(reader.palette(), c.bitmap->palette());
        break;
      case Inverted: {
        const GPaletteTable* p = reader.palette();
        ASSERT_NE(p, nullptr);
        ASSERT_NE(p, c.bitmap->palette());
        ASSERT_EQ(p->entries(), c.bitmap->palette()->entries());
        const GRGBColor was = rgbAt(c.bitmap->palette(), 1), now = rgbAt(p, 1);
        EXPECT_EQ(now.red(), 255 - was.red());
        EXPECT_EQ(now.green(), 255 - was.green());
        EXPECT_EQ(now.blue(), 255 - was.blue());
        EXPECT_EQ(now.alpha(), 255);
        break;
      }
    }
  }
}

TEST(BitmapRowReader, SourceRectangleAndSkips) {
  Bytes data;
  for (int row = 0; row < 10; ++row)
    for (int col = 0; col < 4; ++col) data.push_back(static_cast<unsigned char>(row * 16 + col));
  const GBitmap bitmap = image(GRect(0, 0, 4, 10), 8, data);
  GBitmapRowReader reader(3, GRect(1, 5, 3, 8), bitmap);
  GRect b;
  reader.bounds(b);
  EXPECT_EQ(b, GRect(1, 5, 3, 8));
  EXPECT_EQ(reader.maxRowBytes(), 2u);

  PulledRow r = pullRow(reader);
  EXPECT_EQ(r.bytes, (Bytes{0x51, 0x52}));
  EXPECT_EQ(r.index, 0u);
  reader.skipRows(1);
  r = pullRow(reader);
  EXPECT_EQ(r.bytes, (Bytes{0x71, 0x72}));
  EXPECT_EQ(r.index, 2u);
  EXPECT_EQ(pullRow(reader).length, 0u);  // past the bottom
  reader.skipRows(1000);
  EXPECT_EQ(pullRow(reader).length, 0u);
}

// ---- resampler -----------------------------------------------------------------------

// Rows of one byte holding their own number.
std::vector<RowFeed::Row> numberedRows(int n) {
  std::vector<RowFeed::Row> rows;
  for (int i = 0; i < n; ++i) rows.push_back({static_cast<unsigned char>(i)});
  return rows;
}

// The source row of each destination row, pulling until dstH rows came,
// after skipping `skip` of them.
std::vector<int> sourceRows(int srcH, int dstH, int skip = 0) {
  RowFeed feed(GRect(0, 0, 1, static_cast<int16_t>(srcH)), 8, numberedRows(srcH));
  GResampleRowStage scale(GRect(0, 0, 1, static_cast<int16_t>(dstH)));
  linked(scale, feed);
  if (skip) scale.skipRows(static_cast<uint32_t>(skip));
  std::vector<int> out;
  int rows = skip;
  while (rows < dstH) {
    const PulledRow r = pullRow(scale);
    EXPECT_EQ(r.index, static_cast<uint32_t>(rows));
    EXPECT_GE(r.repeat, 1);
    for (int k = 0; k < r.repeat; ++k) out.push_back(r.bytes.at(0));
    rows += r.repeat;
  }
  EXPECT_EQ(rows, dstH);
  return out;
}

TEST(ResampleRowStage, VerticalRepeatsAndReads) {
  struct Case {
    int srcH, dstH;
    std::vector<uint8_t> repeats;
    std::vector<uint32_t> read;
  };
  const Case cases[] = {
      {2, 5, {3, 2}, {0, 1}},
      {3, 5, {2, 2, 1}, {0, 1, 2}},
      {5, 2, {1, 1}, {0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcH << " -> " << c.dstH);
    RowFeed feed(GRect(0, 0, 1, static_cast<int16_t>(c.srcH)), 8, numberedRows(c.srcH));
    GResampleRowStage scale(GRect(0, 0, 1, static_cast<int16_t>(c.dstH)));
    linked(scale, feed);
    std::vector<uint8_t> repeats;
    for (size_t i = 0; i < c.repeats.size(); ++i) repeats.push_back(pullRow(scale).repeat);
    EXPECT_EQ(repeats, c.repeats);
    EXPECT_EQ(feed.read, c.read);
  }
}

TEST(ResampleRowStage, NearestRowInEveryDirectionAndAfterSkips) {
  // Destination row i shows source row floor(i × srcH / dstH), and
  // skipping rows first leaves the rest as they were.
  for (int srcH = 1; srcH <= 12; ++srcH)
    for (int dstH = 1; dstH <= 12; ++dstH) {
      SCOPED_TRACE(testing::Message() << srcH << " -> " << dstH);
      std::vector<int> nearest;
      for (int i = 0; i < dstH; ++i) nearest.push_back(i * srcH / dstH);
      EXPECT_EQ(sourceRows(srcH, dstH), nearest);
      for (int skip = 1; skip < dstH; ++skip)
        EXPECT_EQ(sourceRows(srcH, dstH, skip), std::vector<int>(nearest.begin() + skip, nearest.end()))
            << "skipping " << skip;
    }
}

TEST(ResampleRowStage, TallEnlargementGoesOnPastOneByteOfRepeat) {
  RowFeed feed(GRect(0, 0, 1, 2), 8, numberedRows(2));
  GResampleRowStage scale(GRect(0, 0, 1, 1000));
  linked(scale, feed);
  std::vector<int> got;
  uint32_t rows = 0;
  while (rows < 1000) {
    const PulledRow r = pullRow(scale);
    EXPECT_EQ(r.index, rows);
    rows += r.repeat;
    got.insert(got.end(), r.repeat, r.bytes.at(0));
  }
  EXPECT_EQ(rows, 1000u);
  EXPECT_EQ(std::count(got.begin(), got.end(), 0), 500);
  EXPECT_EQ(feed.read, (std::vector<uint32_t>{0, 1}));
}

// One row scaled across from srcW to dstW pixels.
Bytes scaleAcross(uint8_t bpp, int srcW, int dstW, const Bytes& row) {
  RowFeed feed(GRect(0, 0, static_cast<int16_t>(srcW), 1), bpp, {row});
  GResampleRowStage scale(GRect(0, 0, static_cast<int16_t>(dstW), 1));
  linked(scale, feed);
  const PulledRow r = pullRow(scale);
  EXPECT_EQ(r.length, (uint64_t{bpp} * dstW + 7) / 8);
  return r.bytes;
}

TEST(ResampleRowStage, HorizontalPixels) {
  struct Case {
    uint8_t bpp;
    int srcW, dstW;
    Bytes in, out;
  };
  const Case cases[] = {
      // 4 -> 2 keeps pixels 0 and 2.
      {1, 4, 2, {0xA0}, {0xC0}},  // pixels 1 0 1 0 -> 1 1
      {1, 4, 2, {0x50}, {0x00}},  // pixels 0 1 0 1 -> 0 0
      {4, 4, 2, {0x12, 0x34}, {0x13}},
      {8, 4, 2, {10, 11, 12, 13}, {10, 12}},
      {24, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 2, 3, 7, 8, 9}},
      // 2 -> 5: 0 0 1 1 1 at 8 bits, 0 0 0 1 1 at 24.
      {8, 2, 5, {7, 9}, {7, 7, 9, 9, 9}},
      {24, 2, 5, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}},
      {4, 2, 5, {0x9A}, {0x99, 0xAA, 0xA0}},  // a final half byte
      {1, 2, 5, {0x40}, {0x38}},               // 0 0 1 1 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.bpp) << " bits " << c.srcW << " -> " << c.dstW);
    EXPECT_EQ(scaleAcross(c.bpp, c.srcW, c.dstW, c.in), c.out);
  }
}

TEST(ResampleRowStage, WidestRowsEnlargedAndReduced) {
  Bytes wide(3 * 32767);
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<unsigned char>(i / 3);
  // Reduced to 3 pixels: the step is 7 / 65536 (16.16, rounded up), so
  // pixels 0, 9363 and 18725 are the first of their output pixels.
  const Bytes reduced = scaleAcross(24, 32767, 3, wide);
  ASSERT_EQ(reduced.size(), 9u);
  EXPECT_EQ(reduced[0], wide[0]);
  EXPECT_EQ(reduced[3], wide[3 * 9363]);
  EXPECT_EQ(reduced[6], wide[3 * 18725]);
  // Enlarged from 2 pixels to the widest row, at 8 and 24 bits.
  const Bytes eight = scaleAcross(8, 2, 32767, {1, 2});
  EXPECT_EQ(std::count(eight.begin(), eight.end(), 1), 16383);
  EXPECT_EQ(eight.back(), 2);
  const Bytes colour = scaleAcross(24, 2, 32767, {1, 1, 1, 2, 2, 2});
  EXPECT_EQ(colour.back(), 2);
  EXPECT_EQ(std::count(colour.begin(), colour.end(), 2) + std::count(colour.begin(), colour.end(), 1), 3 * 32767);
}

TEST(ResampleRowStage, EmptyRectanglesDoNotStart) {
  const GRect sizes[][2] = {
      {GRect(0, 0, 0, 4), GRect(0, 0, 4, 4)},
      {GRect(0, 0, 4, 4), GRect(0, 0, 4, 0)},
      {GRect(4, 0, 0, 4), GRect(0, 0, 4, 4)},
      {GRect(0, 0, 4, 4), GRect(0, 4, 4, 0)},
  };
  for (const auto& s : sizes) {
    RowFeed feed(s[0], 8, numberedRows(4));
    GResampleRowStage scale(s[1]);
    scale.setUpstream(&feed);
    EXPECT_FALSE(scale.start());
  }
}

// ---- band reader ---------------------------------------------------------------------

TEST(BandReader, CutsToTheClipBox) {
  // 1-bit rows of 16 pixels from x = 10; the clip leaves out the first
  // pixel and the first row.
  RowFeed feed(GRect(10, 20, 26, 23), 1, {{0xFF, 0xFF}, {0x80, 0x01}, {0xC0, 0x03}});
  const GClipToSingleRectangle clip(GRect(11, 21, 40, 40), 0, 1);
  GBandReader band(&clip);
  linked(band, feed);
  GRect b;
  band.bounds(b);
  EXPECT_EQ(b, GRect(11, 21, 26, 23));
  PulledRow r = pullRow(band);
  EXPECT_EQ(r.bytes, (Bytes{0x00, 0x02}));
  EXPECT_EQ(r.index, 0u);
  r = pullRow(band);
  EXPECT_EQ(r.bytes, (Bytes{0x80, 0x06}));
  EXPECT_EQ(r.index, 1u);
  EXPECT_EQ(feed.skipped, 1u);
}

TEST(BandReader, RepeatsEndAtTheClipBottomAndBytesMove) {
  // 8-bit rows of 6 pixels, the clip keeps pixels 2 to 4 and 2 rows.
  RowFeed feed(GRect(0, 0, 6, 4), 8, {{1, 2, 3, 4, 5, 6}}, {4});
  const GClipToSingleRectangle clip(GRect(2, 0, 5, 2), 0, 1);
  GBandReader band(&clip);
  linked(band, feed);
  const PulledRow r = pullRow(band);
  EXPECT_EQ(r.bytes, (Bytes{3, 4, 5}));
  EXPECT_EQ(r.repeat, 2);
}

TEST(BandReader, StartsOnlyWhenSomethingIsCut) {
  RowFeed feed(GRect(0, 0, 8, 8), 8, numberedRows(8));
  const GClipToSingleRectangle whole(GRect(-5, -5, 20, 20), 0, 1);
  const GClipToSingleRectangle outside(GRect(2, 2, 4, 4), 1, 1);
  const GClipToSingleRectangle apart(GRect(20, 20, 30, 30), 0, 1);
  const GClipToPage page;
  for (const GClipAttribute* clip : {(const GClipAttribute*)&whole, (const GClipAttribute*)&outside,
                                     (const GClipAttribute*)&apart, (const GClipAttribute*)&page,
                                     (const GClipAttribute*)nullptr}) {
    GBandReader band(clip);
    band.setUpstream(&feed);
    EXPECT_FALSE(band.start());
  }
}

// ---- dither --------------------------------------------------------------------------

TEST(DitherRowConverter, RepeatsBecomeRowsOfTheirOwn) {
  const unsigned char thresholds[] = {10, 100, 200};
  const GDitherMatrix matrix(1, 3, thresholds, 300);
  RowFeed feed(GRect(0, 0, 8, 1), 8, {Bytes(8, 150)}, {3});
  GDitherRowConverter dither(GRect(0, 0, 8, 1), &matrix);
  linked(dither, feed);
  const Bytes expected[] = {{0xFF}, {0xFF}, {0x00}};
  for (uint32_t i = 0; i < 3; ++i) {
    const PulledRow r = pullRow(dither);
    EXPECT_EQ(r.index, i);
    EXPECT_EQ(r.repeat, 1);
    EXPECT_EQ(r.bytes, expected[i]) << "row " << i;
  }
  EXPECT_EQ(feed.read.size(), 1u);
}

TEST(DitherRowConverter, GreyRampOnATwoByTwoMatrix) {
  const unsigned char thresholds[] = {32, 160, 224, 96};
  const GDitherMatrix matrix(2, 2, thresholds, 300);
  // Eight grey levels across, the same on two rows.
  const Bytes ramp = {0, 40, 100, 130, 170, 200, 230, 255};
  RowFeed feed(GRect(0, 0, 8, 2), 8, {ramp, ramp});
  GDitherRowConverter dither(GRect(0, 0, 8, 2), &matrix);
  linked(dither, feed);
  // Row 0 against 32 160 32 160 …: 0 0 1 0 1 1 1 1; row 1 against 224 96
  // …: 0 0 0 1 0 1 1 1.
  EXPECT_EQ(pullRow(dither).bytes, Bytes{0x2F});
  EXPECT_EQ(pullRow(dither).bytes, Bytes{0x17});
  EXPECT_EQ(dither.bitsPerPixel(), 1);
  ASSERT_NE(dither.palette(), nullptr);
  EXPECT_EQ(rgbAt(dither.palette(), 0).red(), 0);
  EXPECT_EQ(rgbAt(dither.palette(), 1).red(), 255);
}

// A feed with a palette of its own.
class PaletteFeed : public RowFeed {
 public:
  using RowFeed::RowFeed;
  const GPaletteTable* palette() const override { return colours.get(); }
  std::unique_ptr<GPaletteTable> colours;
};

TEST(DitherRowConverter, GreyTableOfAFourBitPalette) {
  std::vector<GRGBColor> colours;
  for (int i = 0; i < 16; ++i)
    colours.emplace_back(static_cast<uint8_t>(i * 16), static_cast<uint8_t>(i * 8), static_cast<uint8_t>(i), 255);
  PaletteFeed feed(GRect(0, 0, 4, 1), 4, {{0x12, 0x34}});
  feed.colours.reset(paletteOf(colours));
  const unsigned char t = 128;
  const GDitherMatrix matrix(1, 1, &t, 300);
  GDitherRowConverter dither(GRect(0, 0, 4, 1), &matrix);
  linked(dither, feed);
  for (int i = 0; i < 16; ++i) {
    const int grey = (30 * i * 16 + 59 * i * 8 + 11 * i) / 100;
    EXPECT_EQ(dither.greyTable()[i], grey) << i;
    EXPECT_EQ(dither.greyTable()[i * 16], grey) << i;
  }
}

TEST(DitherRowConverter, WithoutAPaletteAPixelIsTheSameGreyWhereverItSits) {
  // Every pixel at its highest value is white, every one at 0 black,
  // whichever bits of its byte it has.
  const unsigned char t = 128;
  const GDitherMatrix matrix(1, 1, &t, 300);
  struct Case {
    uint8_t bpp;
    Bytes row;
    Bytes out;
  };
  const Case cases[] = {
      {1, {0xFF, 0x00}, {0xFF, 0x00}},
      {1, {0x5A, 0x81}, {0x5A, 0x81}},
      {4, {0xF0, 0x0F, 0x88, 0x77}, {0x9C}},  // 15 0 0 15 8 8 7 7: greys 255 0 0 255 136 136 119 119
  };
  for (const Case& c : cases) {
    const int16_t width = static_cast<int16_t>(c.row.size() * 8 / c.bpp);
    RowFeed feed(GRect(0, 0, width, 1), c.bpp, {c.row});
    GDitherRowConverter dither(GRect(0, 0, width, 1), &matrix);
    linked(dither, feed);
    EXPECT_EQ(pullRow(dither).bytes, c.out) << int(c.bpp) << " bits";
  }
}

TEST(DitherRowConverter, WideMatrixAndNegativeLeftEdge) {
  // A 100-wide matrix of thresholds 0 … 99 tiled from x = -7, y = -3: the
  // pixel at x meets threshold (x mod 100) of matrix row (y mod 2).
  Bytes table(200);
  for (int i = 0; i < 200; ++i) table[i] = static_cast<unsigned char>(i < 100 ? i : 199 - i);
  const GDitherMatrix matrix(100, 2, table.data(), 300);
  const int width = 230;
  Bytes row(width);
  for (int x = 0; x < width; ++x) row[x] = static_cast<unsigned char>((x * 7) % 100);
  RowFeed feed(GRect(-7, -3, static_cast<int16_t>(width - 7), -1), 8, {row, row});
  GDitherRowConverter dither(GRect(-7, -3, static_cast<int16_t>(width - 7), -1), &matrix);
  linked(dither, feed);
  for (int y = -3; y < -1; ++y) {
    Bytes expected((width + 7) / 8);
    const int matrixRow = ((y % 2) + 2) % 2;
    for (int i = 0; i < width; ++i) {
      const int x = i - 7;
      const int column = ((x % 100) + 100) % 100;
      if (row[i] >= table[matrixRow * 100 + column]) expected[i / 8] |= static_cast<unsigned char>(0x80 >> (i % 8));
    }
    EXPECT_EQ(pullRow(dither).bytes, expected) << "row " << y;
  }
}

TEST(DitherRowConverter, NoMatrixOrDepthItCannotTakeDoesNotStart) {
  const unsigned char t = 1;
  const GDitherMatrix empty;
  const GDitherMatrix one(1, 1, &t, 300);
  RowFeed grey(GRect(0, 0, 4, 1), 8, {Bytes(4)});
  RowFeed colour(GRect(0, 0, 4, 1), 24, {Bytes(12)});
  struct Case {
    const GDitherMatrix* matrix;
    RowFeed* feed;
  };
  for (const Case& c : {Case{nullptr, &grey}, Case{&empty, &grey}, Case{&one, &colour}}) {
    GDitherRowConverter dither(GRect(0, 0, 4, 1), c.matrix);
    dither.setUpstream(c.feed);
    EXPECT_FALSE(dither.start());
  }
}

// ---- pipeline ------------------------------------------------------------------------

enum StageKind { Reader, Pass, Scale, Band, Dither, Last };

StageKind kindOf(const GRowStage* s, const GRowStage* last) {
  if (s == last) return Last;
  if (dynamic_cast<const GBitmapRowReader*>(s)) return Reader;
  if (dynamic_cast<const GPassThroughRowStage*>(s)) return Pass;
  if (dynamic_cast<const GResampleRowStage*>(s)) return Scale;
  if (dynamic_cast<const GBandReader*>(s)) return Band;
  if (dynamic_cast<const GDitherRowConverter*>(s)) return Dither;
  return Last;
}

TEST(RasterPipeline, StagesOfEachMode) {
  // An 8-bit image of 10 x 10.
  const GBitmap bitmap = image(GRect(0, 0, 10, 10), 8, Bytes(100, 0x80));
  const unsigned char t = 128;
  const GDitherMatrix matrix(1, 1, &t, 300);
  const GClipToSingleRectangle clip(GRect(0, 0, 105, 108), 0, 1);  // cuts the destinations below
  const GClipToSingleRectangle outside(GRect(0, 0, 105, 108), 1, 1);
  const GClipToSingleRectangle wide(GRect(0, 0, 125, 200), 0, 1);  // leaves 25 x 30 of the large one
  struct Case {
    const char* what;
    uint32_t mode;
    GRect destination;
    const GClipAttribute* clip;
    uint32_t force;
    std::vector<StageKind> stages;
    GRect after;  // the caller's destination afterwards
  };
  const GRect small(100, 100, 105, 110);   // 50 pixels
  const GRect same(100, 100, 110, 110);    // 100 pixels
  const GRect large(100, 100, 130, 130);   // 900 pixels
  const GRect ditherEdge(100, 100, 899, 101);  // 799 pixels, the image's 100 × 8 bits less one
  const GRect noDither(100, 100, 900, 101);    // 800
  const Case cases[] = {
      {"0 enlarging", 0, large, nullptr, 0, {Reader, Last}, large},
      {"0 enlarging, clipped", 0, large, &wide, 0, {Reader, Last}, large},
      {"0 clipped below the image's size", 0, large, &clip, 0, {Reader, Scale, Band, Last}, GRect(100, 100, 105, 108)},
      {"0 same size, forced", 0, same, nullptr, 1, {Reader, Pass, Last}, same},
      {"0 reducing", 0, small, nullptr, 0, {Reader, Scale, Last}, small},
      {"0 reducing, clipped", 0, small, &clip, 0, {Reader, Scale, Band, Last}, GRect(100, 100, 105, 108)},
      {"0 reducing, outside kept", 0, small, &outside, 0, {Reader, Scale, Last}, small},
      {"1 same size", 1, same, nullptr, 0, {Reader, Pass, Dither, Last}, same},
      {"1 enlarging, clipped", 1, large, &clip, 0, {Reader, Scale, Band, Dither, Last}, GRect(100, 100, 105, 108)},
      {"2 just below", 2, ditherEdge, nullptr, 0, {Reader, Scale, Dither, Last}, ditherEdge},
      {"2 at the edge", 2, noDither, nullptr, 0, {Reader, Last}, noDither},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GRect destination = c.destination;
    GRasterJob job;
    job.source = GRect(0, 0, 10, 10);
    job.destination = &destination;
    job.clip = c.clip;
    job.bitmap = bitmap;
    job.kind = 0;
    job.mode = c.mode;
    job.dither = &matrix;
    job.lastStage.reset(new GUnencodedRowStage(1));
    const GRowStage* last = job.lastStage.get();
    job.forceResample = c.force;
    GRasterPipeline pipeline(std::move(job));
    std::vector<StageKind> got;
    for (const GRowStage* s : pipeline.stages()) got.push_back(kindOf(s, last));
    EXPECT_EQ(got, c.stages);
    EXPECT_EQ(destination, c.after);
    EXPECT_TRUE(pipeline.lastStageKept());
  }
}

TEST(RasterPipeline, NoChainForNothingToDraw) {
  const GBitmap bitmap = image(GRect(0, 0, 4, 4), 8, Bytes(16, 1));
  const GClipToSingleRectangle apart(GRect(500, 500, 600, 600), 0, 1);
  struct Case {
    const char* what;
    GRect source, destination;
    const GClipAttribute* clip;
    uint32_t mode;
    GBitmap bitmap;
  };
  const Case cases[] = {
      {"empty source", GRect(0, 0, 0, 4), GRect(0, 0, 8, 8), nullptr, 1, bitmap},
      {"inverted source", GRect(0, 4, 4, 0), GRect(0, 0, 8, 8), nullptr, 1, bitmap},
      {"empty destination", GRect(0, 0, 4, 4), GRect(0, 0, 8, 0), nullptr, 1, bitmap},
      {"inverted destination", GRect(0, 0, 4, 4), GRect(8, 0, 0, 8), nullptr, 0, bitmap},
      {"clipped away", GRect(0, 0, 4, 4), GRect(0, 0, 8, 8), &apart, 1, bitmap},
      {"unknown mode", GRect(0, 0, 4, 4), GRect(0, 0, 8, 8), nullptr, 3, bitmap},
      {"no bitmap", GRect(0, 0, 4, 4), GRect(0, 0, 8, 8), nullptr, 1, GBitmap()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GRect destination = c.destination;
    GRasterJob job;
    job.source = c.source;
    job.destination = &destination;
    job.clip = c.clip;
    job.bitmap = c.bitmap;
    job.mode = c.mode;
    job.lastStage.reset(new GPackBitsRowEncoder(1));
    GRasterPipeline pipeline(std::move(job));
    EXPECT_FALSE(pipeline.hasChain());
    EXPECT_FALSE(pipeline.lastStageKept());
    const PulledRow r = pullRow(pipeline);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(destination, c.destination);
  }
}

// An encoder that cannot start.
class RefusingStage : public GUnencodedRowStage {
 public:
  RefusingStage() : GUnencodedRowStage(1) {}
  bool start() override { return false; }
};

TEST(RasterPipeline, ALastStageThatFailsIsReported) {
  const GBitmap bitmap = image(GRect(0, 0, 4, 4), 8, Bytes(16, 1));
  GRect destination(0, 0, 8, 8);
  GRasterJob job;
  job.source = GRect(0, 0, 4, 4);
  job.destination = &destination;
  job.bitmap = bitmap;
  job.lastStage.reset(new RefusingStage);
  GRasterPipeline pipeline(std::move(job));
  EXPECT_TRUE(pipeline.hasChain());
  EXPECT_FALSE(pipeline.lastStageKept());
  EXPECT_EQ(pipeline.stages().size(), 1u);
}

TEST(RasterPipeline, StagesGivenInTurn) {
  // The kernel's form: a reader and an unencoded stage of alignment 4.
  const GBitmap bitmap = image(GRect(0, 0, 3, 2), 8, {1, 2, 3, 4, 5, 6});
  GRasterPipeline pipeline(std::make_unique<GBitmapRowReader>(3, GRect(0, 0, 3, 2), bitmap), nullptr, nullptr,
                           nullptr, nullptr, std::make_unique<GUnencodedRowStage>(4));
  EXPECT_EQ(pipeline.stages().size(), 2u);
  EXPECT_TRUE(pipeline.lastStageKept());
  EXPECT_EQ(pullRow(pipeline).bytes, (Bytes{1, 2, 3, 0}));
  EXPECT_EQ(pullRow(pipeline).bytes, (Bytes{4, 5, 6, 0}));
  EXPECT_EQ(pullRow(pipeline).length, 0u);

  // A middle stage that cannot start is left out.
  GRasterPipeline dropped(std::make_unique<GBitmapRowReader>(3, GRect(0, 0, 3, 2), bitmap),
                          std::make_unique<GDitherRowConverter>(GRect(0, 0, 3, 2), nullptr), nullptr, nullptr,
                          nullptr, std::make_unique<GUnencodedRowStage>(4));
  EXPECT_EQ(dropped.stages().size(), 2u);
  EXPECT_TRUE(dropped.lastStageKept());
}

TEST(RasterPipeline, ClippedAndDitheredRowsEndToEnd) {
  // A 4 x 4 grey image doubled to 8 x 8, clipped to its right half, and
  // dithered against a flat threshold: bright pixels come out white.
  Bytes data;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) data.push_back(x < 2 ? 0 : 255);
  const GBitmap bitmap = image(GRect(0, 0, 4, 4), 8, data);
  const unsigned char t = 128;
  const GDitherMatrix matrix(1, 1, &t, 300);
  const GClipToSingleRectangle clip(GRect(2, 0, 8, 8), 0, 1);
  GRect destination(0, 0, 8, 8);
  GRasterJob job;
  job.source = GRect(0, 0, 4, 4);
  job.destination = &destination;
  job.clip = &clip;
  job.bitmap = bitmap;
  job.mode = 1;
  job.dither = &matrix;
  job.lastStage.reset(new GUnencodedRowStage(1));
  GRasterPipeline pipeline(std::move(job));
  EXPECT_EQ(destination, GRect(2, 0, 8, 8));
  uint32_t rows = 0;
  while (rows < 8) {
    const PulledRow r = pullRow(pipeline);
    ASSERT_EQ(r.index, rows);
    EXPECT_EQ(r.bytes, Bytes{0x3C}) << "row " << rows;  // 0 0 1 1 1 1, as 6 bits
    rows += r.repeat;
  }
}

}  // namespace
