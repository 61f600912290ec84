// The raster commands: the rectangles a clip leaves, the handler both
// classes reach, the pixels they own after takeOwnership, copies and
// matching, their stored forms written out by hand, and hostile stores.

#include "journal/raster.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/clip.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "journal/scanline.h"
#include "rw/rwstore.h"
#include "testkit/bytes.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

using Call = RecordingPeripheral::Call;
using ByteVec = std::vector<unsigned char>;

// An 8-bit grey image of the caller's pixels, borrowed (as the kernel's
// surfaces are) or owned (a copy).
GBitmap greyImage(const unsigned char* pixels, uint32_t length, int16_t width, int16_t height, bool owned) {
  GBitmapDescriptor d;
  d.bounds = GRect(0, 0, width, height);
  d.bitsPerPixel = 8;
  d.dataLength = length;
  if (owned) {
    auto* copy = new unsigned char[length];
    std::copy(pixels, pixels + length, copy);
    d.owned = 1;
    d.data = copy;
  } else {
    d.data = pixels;
  }
  return GBitmap(d);
}

ByteVec rowOf(const GBitmap& b, int32_t row) {
  ByteVec out(16, 0xEE);
  out.resize(b.getRow(out.data(), b.bounds().left(), b.bounds().right(), row, 2));
  return out;
}

// ---- clipRects -----------------------------------------------------------------------------

TEST(RasterClip, TheRectanglesAClipLeaves) {
  const GRect src(0, 0, 100, 100);
  const GRect dst(0, 0, 200, 200);
  const GRect none;
  const GClipToSingleRectangle inside(GRect(50, 50, 150, 150), 0, 1);
  const GClipToSingleRectangle offGrid(GRect(51, 51, 151, 151), 0, 1);
  const GClipToSingleRectangle outside(GRect(50, 50, 150, 150), 1, 1);
  const GClipToSingleRectangle covering(GRect(-10, -10, 300, 300), 0, 1);
  const GClipToSingleRectangle missing(GRect(300, 300, 400, 400), 0, 1);
  const GClipToSingleRectangle touching(GRect(200, 0, 300, 200), 0, 1);
  const GClipToPage page;
  const struct {
    const char* what;
    GRect source, destination;
    const GClipAttribute* clip;
    GRect clippedSource, clippedDestination;
    int32_t exact;
  } cases[] = {
      {"inside, on whole source pixels", src, dst, &inside, GRect(25, 25, 75, 75), GRect(50, 50, 150, 150), 1},
      {"inside, off the source grid", src, dst, &offGrid, GRect(25, 25, 76, 76), GRect(50, 50, 152, 152), 0},
      {"keeping the outside", src, dst, &outside, src, dst, 1},
      {"covering the destination", src, dst, &covering, src, dst, 1},
      {"missing the destination", src, dst, &missing, none, none, 1},
      {"touching it along an edge", src, dst, &touching, none, none, 1},
      {"without bounds", src, dst, &page, src, dst, 1},
      {"no clip", src, dst, nullptr, src, dst, 1},
      // The source moved, the destination shrunk: the part kept is mapped
      // back to the source's own pixels.
      {"a moved source", GRect(10, 20, 110, 120), GRect(0, 0, 50, 50), &offGrid, none, none, 1},
      {"a moved source, clipped", GRect(10, 20, 110, 120), dst, &inside, GRect(35, 45, 85, 95),
       GRect(50, 50, 150, 150), 1},
      // Nothing to draw: equal or inverted edges.
      {"an inverted destination", src, GRect(200, 0, 0, 200), &inside, none, none, 1},
      {"an inverted source", GRect(0, 100, 100, 0), dst, nullptr, none, none, 1},
      {"a source of no width", GRect(5, 0, 5, 100), dst, &inside, none, none, 1},
      {"a destination of no height", src, GRect(0, 7, 200, 7), nullptr, none, none, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const GRasterGraphic raster(GBitmap(), nullptr, c.source, c.destination, GBitmap());
    GRect s(1, 1, 1, 1);
    GRect d(1, 1, 1, 1);
    EXPECT_EQ(raster.clipRects(c.clip, s, d), c.exact);
    EXPECT_EQ(s, c.clippedSource);
    EXPECT_EQ(d, c.clippedDestination);
  }
}

// The widest 16-bit rectangles: the products are computed wide, the edges
// come back inside their range.
TEST(RasterClip, ExtremeEdgesStayInRange) {
  const GRasterGraphic raster(GBitmap(), nullptr, GRect(-32768, -32768, 32767, 32767),
                              GRect(-32768, -32768, 32767, 32767), GBitmap());
  const GClipToSingleRectangle clip(GRect(-1, -1, 32767, 1), 0, 1);
  GRect s;
  GRect d;
  EXPECT_EQ(raster.clipRects(&clip, s, d), 1);
  EXPECT_EQ(s, GRect(-1, -1, 32767, 1));
  EXPECT_EQ(d, GRect(-1, -1, 32767, 1));
}

// ---- the commands ----------------------------------------------------------------------------

TEST(RasterCommands, BothClassesReachOnRasterWithThemselves) {
  RecordingPeripheral stage;
  const GCommandPtr raster(new GRasterGraphic(GBitmap(), new GGraphicBundle, GRect(), GRect(), GBitmap(), 3));
  const GCommandPtr preScaled(new GPreScaledRasterGraphic(GBitmap(), nullptr, GRect(), GRect(), GBitmap(), 4));
  EXPECT_EQ(stage.process(raster), raster);
  EXPECT_EQ(stage.process(preScaled), preScaled);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onRaster", ClassId::GRasterGraphic, 3},
                                              {"onRaster", ClassId::GPreScaledRasterGraphic, 4}}));
  for (RWClassID kind : {ClassId::GRasterGraphic, ClassId::GGraphic, ClassId::GCommand, ClassId::MPersistentObject}) {
    EXPECT_TRUE(raster->isKindOf(kind)) << kind;
    EXPECT_TRUE(preScaled->isKindOf(kind)) << kind;
  }
  EXPECT_TRUE(preScaled->isKindOf(ClassId::GPreScaledRasterGraphic));
  EXPECT_FALSE(raster->isKindOf(ClassId::GPreScaledRasterGraphic));
  EXPECT_EQ(raster->attributePointer()->id(), AttrId::GraphicGroup);
}

TEST(RasterCommands, TakeOwnershipCopiesTheCallersPixelsOfBothBitmaps) {
  unsigned char first[] = {1, 2, 3, 4};
  unsigned char second[] = {5, 6};
  GRasterGraphic raster(greyImage(first, 4, 2, 2, false), nullptr, GRect(0, 0, 2, 2), GRect(0, 0, 4, 4),
                        greyImage(second, 2, 2, 1, false));
  // Borrowed until then: the caller's changes show.
  first[0] = 9;
  EXPECT_EQ(rowOf(raster.bitmap(), 0), (ByteVec{9, 2}));
  raster.takeOwnership();
  first[0] = 0;
  first[3] = 0;
  second[1] = 0;
  EXPECT_EQ(rowOf(raster.bitmap(), 0), (ByteVec{9, 2}));
  EXPECT_EQ(rowOf(raster.bitmap(), 1), (ByteVec{3, 4}));
  EXPECT_EQ(rowOf(raster.secondBitmap(), 0), (ByteVec{5, 6}));
  // Again: nothing left to copy, nothing changes.
  raster.takeOwnership();
  EXPECT_EQ(rowOf(raster.secondBitmap(), 0), (ByteVec{5, 6}));
  // Empty bitmaps have nothing to own.
  GRasterGraphic empty;
  empty.takeOwnership();
  EXPECT_TRUE(empty.bitmap().isNull());
}

TEST(RasterCommands, CopiesShareTheImagesAndMatchByClassBitmapsAndRectangles) {
  const unsigned char pixels[] = {1, 2, 3, 4};
  const GBitmap image = greyImage(pixels, 4, 2, 2, true);
  const GBitmap samePixels = greyImage(pixels, 4, 2, 2, true);
  const unsigned char others[] = {1, 2, 3, 5};
  const GBitmap otherImage = greyImage(others, 4, 2, 2, true);
  const GRect src(0, 0, 2, 2);
  const GRect dst(10, 10, 20, 20);
  const GRasterGraphic raster(image, nullptr, src, dst, GBitmap(), 1);

  const GRasterGraphic copy(raster);
  EXPECT_EQ(copy.bitmap().body(), image.body()) << "the copy shares the image";
  EXPECT_EQ(raster.bitmap().body()->useCount(), 4u) << "the test's handle, two commands' and this answer's";
  GRasterGraphic assigned;
  assigned = raster;
  EXPECT_TRUE(assigned.matches(&raster));
  EXPECT_EQ(assigned.sourceRect(), src);
  EXPECT_EQ(assigned.destinationRect(), dst);

  auto* fill = new GGraphicBundle;
  fill->setFillMode(new GFillMode(1));
  const struct {
    const char* what;
    std::unique_ptr<GRasterGraphic> other;
    bool matches;
  } cases[] = {
      {"a copy", std::make_unique<GRasterGraphic>(raster), true},
      {"another body of equal pixels", std::make_unique<GRasterGraphic>(samePixels, nullptr, src, dst, GBitmap(), 1),
       true},
      {"other pixels", std::make_unique<GRasterGraphic>(otherImage, nullptr, src, dst, GBitmap(), 1), false},
      {"no image", std::make_unique<GRasterGraphic>(GBitmap(), nullptr, src, dst, GBitmap(), 1), false},
      {"another source", std::make_unique<GRasterGraphic>(image, nullptr, GRect(0, 0, 1, 2), dst, GBitmap(), 1), false},
      {"another destination", std::make_unique<GRasterGraphic>(image, nullptr, src, GRect(), GBitmap(), 1), false},
      {"a second image", std::make_unique<GRasterGraphic>(image, nullptr, src, dst, image, 1), false},
      {"another bundle", std::make_unique<GRasterGraphic>(image, fill, src, dst, GBitmap(), 1), false},
      {"another id", std::make_unique<GRasterGraphic>(image, nullptr, src, dst, GBitmap(), 2), false},
      {"pre-scaled", std::make_unique<GPreScaledRasterGraphic>(image, nullptr, src, dst, GBitmap(), 1), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(raster.matches(c.other.get()), c.matches) << c.what;
    EXPECT_EQ(c.other->matches(&raster), c.matches) << c.what;
  }
  EXPECT_FALSE(raster.matches(nullptr));
}

// ---- stored forms ---------------------------------------------------------------------------

std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
const std::string kNil = le16(0xFFFF) + le32(0);
std::string emptyHandle(uint32_t serial) { return le16(ClassId::GBitmap) + root(0, serial) + le32(1) + kNil; }
std::string rect(int16_t l, int16_t t, int16_t r, int16_t b) { return le16(l) + le16(t) + le16(r) + le16(b); }

class RasterStore : public StoreTest {};

TEST_F(RasterStore, TheLevelHoldsBothHandlesAndTheRectanglesBetweenThem) {
  GBitmap first;
  first.setSerialNumber(0x21);
  GBitmap second;
  second.setSerialNumber(0x22);
  GRasterGraphic raster(first, nullptr, GRect(1, 2, 3, 4), GRect(-5, 6, 7, -8), second, 9);
  raster.setSerialNumber(0x10);
  // The graphic part: root, command (version, no bundle), graphic version;
  // then the level.
  const std::string graphicPart = root(9, 0x10) + le32(1) + kNil + le32(1);
  const std::string level =
      le32(1) + emptyHandle(0x21) + rect(1, 2, 3, 4) + rect(-5, 6, 7, -8) + emptyHandle(0x22);
  const std::string stored = storedBytes(&raster);
  EXPECT_EQ(stored, le32(0x8888) + le16(ClassId::GRasterGraphic) + graphicPart + level);
  // The graphic's size, both handles' and 20.
  const GEndScanLine graphicAlone(nullptr, 9);
  // An empty handle inside a store: its tag, root level, version and nil.
  const uint32_t handleSize = static_cast<uint32_t>(emptyHandle(0).size());
  EXPECT_EQ(raster.binaryStoreSize(), graphicAlone.binaryStoreSize() - 4 + 2 * handleSize + 20);
  EXPECT_EQ(raster.binaryStoreSize() + 6, stored.size());

  // The pre-scaled graphic: the same level, its own version after it.
  GPreScaledRasterGraphic preScaled(first, nullptr, GRect(1, 2, 3, 4), GRect(-5, 6, 7, -8), second, 9);
  preScaled.setSerialNumber(0x10);
  EXPECT_EQ(storedBytes(&preScaled),
            le32(0x8888) + le16(ClassId::GPreScaledRasterGraphic) + graphicPart + level + le32(1));
  EXPECT_EQ(preScaled.binaryStoreSize(), raster.binaryStoreSize() + 4);
}

// Two handles of one body, and the rectangles, back as they went: the
// restored command's handles share one body, used twice.
TEST_F(RasterStore, ABodySharedByBothHandlesComesBackShared) {
  const unsigned char pixels[] = {1, 2, 3, 4};
  const GBitmap image = greyImage(pixels, 4, 2, 2, true);
  for (bool preScaled : {false, true}) {
    SCOPED_TRACE(preScaled);
    std::unique_ptr<GRasterGraphic> raster(
        preScaled ? new GPreScaledRasterGraphic(image, new GGraphicBundle, GRect(0, 0, 2, 2), GRect(5, 5, 9, 9), image, 3)
                  : new GRasterGraphic(image, new GGraphicBundle, GRect(0, 0, 2, 2), GRect(5, 5, 9, 9), image, 3));
    const std::string stored = storedBytes(raster.get());
    EXPECT_EQ(stored.size(), raster->binaryStoreSize() + 6);
    std::unique_ptr<RWCollectable> back(restoredFrom(stored));
    auto* restored = dynamic_cast<GRasterGraphic*>(back.get());
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->isA(), raster->isA());
    EXPECT_TRUE(restored->matches(raster.get()));
    EXPECT_EQ(restored->bitmap().body(), restored->secondBitmap().body());
    EXPECT_EQ(restored->bitmap().body()->useCount(), 3u) << "two handles, and the answer asked here";
    EXPECT_EQ(rowOf(restored->bitmap(), 1), (ByteVec{3, 4}));
    for (const auto& copy : throughEveryStream<GRasterGraphic>(raster.get())) {
      ASSERT_NE(copy, nullptr);
      EXPECT_TRUE(copy->matches(raster.get()));
    }
    const ReportLog quiet;  // the cuts report what they miss
    restoreEveryCut(raster.get());
  }
}

// A level cut anywhere, or of another version, keeps everything the
// command held.
TEST_F(RasterStore, AHostileLevelKeepsWhatTheCommandHeld) {
  const unsigned char pixels[] = {1, 2, 3, 4};
  const GBitmap stored = greyImage(pixels, 4, 2, 2, true);
  const std::string bitmapBytes = storedBytes(&stored).substr(4);
  const std::string head = root(0, 1) + le32(1) + kNil + le32(1);
  const std::string level = bitmapBytes + rect(0, 0, 2, 2) + rect(0, 0, 4, 4) + bitmapBytes;
  const size_t inFirstBitmap = 30;
  const size_t inSource = bitmapBytes.size() + 3;
  const size_t inDestination = bitmapBytes.size() + 8 + 5;
  const size_t inSecondBitmap = bitmapBytes.size() + 16 + 20;
  const struct {
    const char* what;
    std::string guts;
  } cases[] = {
      {"cut after the version", head + le32(1)},
      {"cut in the first bitmap", head + le32(1) + level.substr(0, inFirstBitmap)},
      {"cut in the source rectangle", head + le32(1) + level.substr(0, inSource)},
      {"cut in the destination rectangle", head + le32(1) + level.substr(0, inDestination)},
      {"cut in the second bitmap", head + le32(1) + level.substr(0, inSecondBitmap)},
      {"another version", head + le32(2) + level},
  };
  const unsigned char held[] = {7, 7};
  const GBitmap heldImage = greyImage(held, 2, 2, 1, true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    putBytes(c.guts);
    GRasterGraphic command(heldImage, nullptr, GRect(1, 1, 2, 2), GRect(3, 3, 4, 4), heldImage, 0);
    {
      const ReportLog quiet;
      RWUseReadTable table;
      RWFile f(path().c_str(), "rb");
      command.restoreGuts(f);
    }
    EXPECT_EQ(command.bitmap().body(), heldImage.body());
    EXPECT_EQ(command.secondBitmap().body(), heldImage.body());
    EXPECT_EQ(command.sourceRect(), GRect(1, 1, 2, 2));
    EXPECT_EQ(command.destinationRect(), GRect(3, 3, 4, 4));
  }
  // The whole level is taken.
  putBytes(head + le32(1) + level);
  GRasterGraphic command(heldImage, nullptr, GRect(1, 1, 2, 2), GRect(3, 3, 4, 4), heldImage, 0);
  {
    RWUseReadTable table;
    RWFile f(path().c_str(), "rb");
    command.restoreGuts(f);
  }
  EXPECT_EQ(command.sourceRect(), GRect(0, 0, 2, 2));
  EXPECT_EQ(command.destinationRect(), GRect(0, 0, 4, 4));
  EXPECT_EQ(rowOf(command.bitmap(), 1), (ByteVec{3, 4}));
}

}  // namespace
