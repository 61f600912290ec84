// Dither matrices: the table's edges, tiled rows within the caller's room,
// copies bounded by the table, the choice of a matrix for a resolution and
// selectors, and the stored form of every version.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pcomposit.h"
#include "core/persnum.h"
#include "graphics/dither.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

const unsigned char kRamp[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 17};

// An 8 x 2 matrix: row 0 is 0 to 7, row 1 is 10 to 17.
GDitherMatrix ramp() { return GDitherMatrix(8, 2, kRamp, 300); }

std::string asString(const unsigned char* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// A matrix level written out by hand, after the root level (id 0, serial
// 0) and the class tag: as a file holds it.
std::string matrixFile(uint32_t version, const std::string& level) {
  return le32(0x8888) + le16(774) + le32(1) + le32(0) + le32(0) + le32(version) + level;
}

std::unique_ptr<GDitherMatrix> restoredMatrix(const std::string& file) {
  RWCollectable* back = restoredFrom(file);
  auto* matrix = dynamic_cast<GDitherMatrix*>(back);
  if (!matrix) delete back;
  return std::unique_ptr<GDitherMatrix>(matrix);
}

TEST(DitherMatrix, ThresholdsOutsideTheTableAreZero) {
  const GDitherMatrix m = ramp();
  EXPECT_EQ(m.width(), 8);
  EXPECT_EQ(m.height(), 2);
  EXPECT_EQ(m.xResolution(), 300);
  EXPECT_EQ(m.yResolution(), 300) << "one resolution for both directions";
  EXPECT_EQ(m.threshold(0, 0), 0);
  EXPECT_EQ(m.threshold(1, 7), 17);
  EXPECT_EQ(m.threshold(0, 3), 3);
  EXPECT_EQ(m.threshold(2, 0), 0) << "row at the height";
  EXPECT_EQ(m.threshold(0, 8), 0) << "column at the width";
  EXPECT_EQ(m.threshold(1, 8), 0) << "not the next row's first byte";

  const GDitherMatrix empty;
  EXPECT_EQ(empty.width(), 0);
  EXPECT_EQ(empty.threshold(0, 0), 0);
}

TEST(DitherMatrix, TiledRowsStayWithinTheCallersRoom) {
  const GDitherMatrix m = ramp();
  const struct {
    RWsize capacity;
    uint8_t phase;
    uint8_t row;
    std::string expected;
  } cases[] = {
      {64, 3, 0, std::string("\x03\x04\x05\x06\x07\x00\x01\x02", 8)},
      {5, 3, 0, "\x03\x04\x05\x06\x07"},
      {64, 0, 1, "\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11"},
      {64, 11, 0, std::string("\x03\x04\x05\x06\x07\x00\x01\x02", 8)},  // the phase wraps at the width
      {0, 3, 0, ""},
      {64, 3, 2, ""},  // no such row
  };
  for (const auto& c : cases) {
    unsigned char buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    const RWsize written = m.tiledRow(buffer, c.capacity, c.phase, c.row);
    EXPECT_EQ(asString(buffer, written), c.expected) << "capacity " << c.capacity << " phase " << int(c.phase);
    EXPECT_EQ(buffer[written], 0xEE) << "nothing after the row";
  }

  unsigned char buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(GDitherMatrix().tiledRow(buffer, 4, 0, 0), 0u);
  EXPECT_EQ(buffer[0], 0xEE) << "an empty matrix writes nothing";

  // The widest matrix into a 64-byte buffer: the row is cut, not overrun.
  unsigned char wide[255];
  for (int i = 0; i < 255; ++i) wide[i] = static_cast<unsigned char>(i);
  const GDitherMatrix widest(255, 1, wide, 300);
  std::unique_ptr<unsigned char[]> exact(new unsigned char[64]);
  ASSERT_EQ(widest.tiledRow(exact.get(), 64, 250, 0), 64u);
  EXPECT_EQ(exact[0], 250);
  EXPECT_EQ(exact[5], 0);
  EXPECT_EQ(exact[63], 58);
}

TEST(DitherMatrix, CopiesNoMoreThanTheTableHolds) {
  const unsigned char table[] = {1, 2, 3, 4};
  const GDitherMatrix m(2, 2, table, 300);
  unsigned char buffer[32];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(m.copyThresholds(buffer, 4, 4), 4u) << "a larger request gets the table";
  EXPECT_EQ(asString(buffer, 5), "\x01\x02\x03\x04\xEE");

  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(m.copyThresholds(buffer, 3, 1), 3u) << "a smaller one its own count, from the start";
  EXPECT_EQ(asString(buffer, 4), "\x01\x02\x03\xEE");
  EXPECT_EQ(GDitherMatrix().copyThresholds(buffer, 2, 2), 0u);
}

TEST(DitherMatrix, CopiesOwnTheirTablesAndEveryField) {
  std::unique_ptr<GDitherMatrix> original(new GDitherMatrix(2, 2, kRamp, 300, 600, 1, 2, 3, 9));
  original->setExtra(0x55);
  GDitherMatrix copied(*original);
  GDitherMatrix assigned;
  assigned = *original;
  const GDitherMatrix kept(*original);
  original.reset();  // the copies must not read its table

  for (const GDitherMatrix* m : {&copied, &assigned}) {
    EXPECT_TRUE(m->matches(&kept));
    EXPECT_EQ(m->extra(), 0x55u) << "assignment copies extra too";
    EXPECT_EQ(m->threshold(1, 1), 3);
    EXPECT_EQ(m->yResolution(), 600);
    EXPECT_EQ(m->selector3(), 3);
    EXPECT_EQ(m->id(), 9u);
  }
  const GDitherMatrix& same = assigned;
  assigned = same;
  EXPECT_TRUE(assigned.matches(&kept)) << "assigned to itself";
}

TEST(DitherMatrix, MatchingComparesEveryFieldAndTheBytes) {
  const unsigned char other[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 99};
  const GDitherMatrix m = ramp();
  GDitherMatrix withExtra = ramp();
  withExtra.setExtra(1);
  const struct {
    const char* what;
    GDitherMatrix matrix;
    bool matches;
  } cases[] = {
      {"an equal matrix", ramp(), true},
      {"another threshold byte", GDitherMatrix(8, 2, other, 300), false},
      {"another id", GDitherMatrix(8, 2, kRamp, 300, 4), false},
      {"another y resolution", GDitherMatrix(8, 2, kRamp, 300, 600, 0, 0, 0), false},
      {"another selector 3", GDitherMatrix(8, 2, kRamp, 300, 300, 0, 0, 1), false},
      {"another extra", withExtra, false},
      {"another shape", GDitherMatrix(4, 4, kRamp, 300), false},
  };
  for (const auto& c : cases) EXPECT_EQ(bool(m.matches(&c.matrix)), c.matches) << c.what;
  const GPersistableULong notAMatrix(0);
  EXPECT_FALSE(m.matches(&notAMatrix));
}

// The choice of a matrix among a configuration's children.
class FindMatching : public ::testing::Test {
 protected:
  void SetUp() override {
    const unsigned char t[] = {1};
    // 0: not a matrix
    children.insert(new GPersistableULong(300));
    // 1: 300 dpi, selectors 1, 2, 3
    children.insert(new GDitherMatrix(1, 1, t, 300, 300, 1, 2, 3));
    // 2: 600 dpi, selectors 1, 2, 3
    children.insert(new GDitherMatrix(1, 1, t, 600, 600, 1, 2, 3));
    // 3: 300 dpi, stored selectors 0x0105, 0, 0 (only a store holds more
    // than a byte)
    std::unique_ptr<GDitherMatrix> wide = restoredMatrix(
        matrixFile(3, le16(1) + le16(1) + bytes({1}) + le16(300) + le32(0) + le16(300) + le16(0x0105) + le16(0) + le16(0)));
    EXPECT_NE(wide, nullptr);
    children.insert(wide.release());
    // 4: 300 x 600 dpi, selectors 0, 0, 0x0105
    children.insert(new GDitherMatrix(1, 1, t, 300, 600, 0, 0, 0x0105));
  }

  int32_t positionOf(const GDitherMatrix* m) const {
    for (RWsize i = 0; i < children.entries(); ++i)
      if (children.children().pointee(i) == m) return static_cast<int32_t>(i);
    return -1;
  }

  MPersistentComposite children;
};

TEST_F(FindMatching, ResolutionsAndSelectors) {
  const struct {
    const char* what;
    int16_t x, y, s1, s2, s3;
    int32_t after;
    int32_t expected;  // position, or -1 for none
  } cases[] = {
      {"every selector equal", 300, 300, 1, 2, 3, -1, 1},
      {"requested selector 1 of 0 matches any", 300, 300, 0, 2, 3, -1, 1},
      {"requested selectors of 0 match any", 300, 300, 0, 0, 0, -1, 1},
      {"selector 1 by its low byte", 300, 300, 0x0205, 2, 3, -1, 3},
      {"selector 2 by its low byte", 300, 300, 1, 0x0302, 3, -1, 1},
      {"a matrix selector 3 of 0 matches every request", 300, 300, 5, 9, 0x7777, -1, 3},
      {"selector 3 by all 16 bits", 300, 600, 0, 0, 0x0005, -1, -1},
      {"selector 3 equal", 300, 600, 7, 9, 0x0105, -1, 4},
      {"another resolution is passed over", 600, 600, 1, 2, 3, -1, 2},
      {"no such resolution", 600, 300, 0, 0, 0, -1, -1},
      {"after the first match", 300, 300, 0, 0, 0, 1, 3},
      {"after the last match", 300, 300, 0, 0, 0, 3, -1},
      {"after the end", 300, 300, 0, 0, 0, 9, -1},
  };
  for (const auto& c : cases) {
    int32_t found = -7;
    GDitherMatrix* m = GDitherMatrix::findMatching(c.x, c.y, c.s1, c.s2, c.s3, &children, c.after, &found);
    EXPECT_EQ(positionOf(m), c.expected) << c.what;
    EXPECT_EQ(found, m ? c.expected : -7) << c.what;
  }
  EXPECT_EQ(GDitherMatrix::findMatching(300, 300, 0, 0, 0, nullptr), nullptr);
  GPersistableULong leaf(1);
  EXPECT_EQ(GDitherMatrix::findMatching(300, 300, 0, 0, 0, &leaf), nullptr);
}

TEST_F(FindMatching, TheCallersPositionNeverMoves) {
  const int32_t position = 1;
  GDitherMatrix* first = GDitherMatrix::findMatching(300, 300, 0, 0, 0, &children, position);
  GDitherMatrix* again = GDitherMatrix::findMatching(300, 300, 0, 0, 0, &children, position);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, again) << "the same position gives the same matrix";

  // Stepping through every match by passing back the last one's position.
  std::vector<int32_t> seen;
  int32_t at = GDitherMatrix::kBeforeFirst;
  while (GDitherMatrix::findMatching(300, 300, 0, 0, 0, &children, at, &at)) seen.push_back(at);
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 3}));
}

// ---- stored form --------------------------------------------------------------------

class DitherStore : public StoreTest {};

TEST_F(DitherStore, VersionThreeBytes) {
  MPersistentObject::presetSerialCounter(40);
  const unsigned char table[] = {1, 2, 3, 4, 5, 6};
  GDitherMatrix m(3, 2, table, 300, 600, 5, 6, -2, 7);  // serial 40
  m.setExtra(0x01020304);
  const std::string expected = le32(0x8888) + le16(774) + le32(1) + le32(7) + le32(40) + le32(3) + le16(3) +
                               le16(2) + bytes({1, 2, 3, 4, 5, 6}) + le16(300) + le32(0x01020304) + le16(600) +
                               le16(5) + le16(6) + le16(0xFFFE);
  EXPECT_EQ(storeFile(&m), expected);
  EXPECT_EQ(m.binaryStoreSize(), 12u + 6u + 22u) << "base + width x height + 22";
  EXPECT_EQ(m.binaryStoreSize() + 6, expected.size());

  const GDitherMatrix* original = &m;
  const struct {
    const char* form;
    std::function<std::unique_ptr<GDitherMatrix>()> restore;
  } forms[] = {
      {"binary file", [&] { return std::unique_ptr<GDitherMatrix>(restoreFile<GDitherMatrix>()); }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    std::unique_ptr<GDitherMatrix> back = f.restore();
    ASSERT_NE(back, nullptr) << f.form;
    EXPECT_TRUE(back->matches(original)) << f.form;
    EXPECT_EQ(back->serialNumber(), 40u) << f.form;
    EXPECT_EQ(back->selector3(), -2) << f.form;
  }
}

TEST_F(DitherStore, OlderVersionsFillWhatTheyLack) {
  const std::string table = le16(2) + le16(1) + bytes({9, 8});
  std::unique_ptr<GDitherMatrix> v1 = restoredMatrix(matrixFile(1, table + le16(300)));
  ASSERT_NE(v1, nullptr);
  EXPECT_EQ(v1->width(), 2);
  EXPECT_EQ(v1->threshold(0, 1), 8);
  EXPECT_EQ(v1->xResolution(), 300);
  EXPECT_EQ(v1->yResolution(), 300) << "one resolution for both";
  EXPECT_EQ(v1->selector1(), 0);
  EXPECT_EQ(v1->selector2(), 0);
  EXPECT_EQ(v1->selector3(), 0);
  EXPECT_EQ(v1->extra(), 0u);

  std::unique_ptr<GDitherMatrix> v2 = restoredMatrix(matrixFile(2, table + le16(600) + le32(77)));
  ASSERT_NE(v2, nullptr);
  EXPECT_EQ(v2->yResolution(), 600);
  EXPECT_EQ(v2->extra(), 77u);
  EXPECT_EQ(v2->selector3(), 0);

  // Versions 0 and 4 read nothing of the level: a matrix restored into
  // keeps what it had.
  for (uint32_t version : {0u, 4u}) {
    putBytes(matrixFile(version, table + le16(600) + le32(77) + le16(600) + le16(1) + le16(1) + le16(1)));
    GDitherMatrix kept = ramp();
    {
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(kept);
    }
    EXPECT_EQ(kept.width(), 8) << version;
    EXPECT_EQ(kept.threshold(1, 7), 17) << version;
  }
}

}  // namespace
