// Paper-size entries and the media pool: the default entry, an entry's
// stored level written out by hand, its 16-bit geometry, normalizeAngle,
// and the pool's filter, restart and lookups by media id.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "devfix.h"
#include "device/media.h"
#include "testkit/core/stage.h"

namespace {

GMedia* letter(int16_t mediaId = 2, int16_t xRes = 600, int16_t yRes = 600, int32_t orientation = 0) {
  return new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), orientation, mediaId, xRes,
                    yRes);
}

TEST(Media, ADefaultEntryIsEmptyAt600Dots) {
  GMedia media;
  EXPECT_EQ(media.id(), 190u);
  EXPECT_EQ(media.xResolution(), 600);
  EXPECT_EQ(media.yResolution(), 600);
  EXPECT_EQ(media.name().length(), 0u);
  EXPECT_EQ(media.mediaId(), 0);
  EXPECT_EQ(media.size(), GPoint(0, 0));
}

TEST(Media, MatchingTakesEveryField) {
  std::unique_ptr<GMedia> a(letter()), b(letter());
  EXPECT_TRUE(a->matches(b.get()));
  std::unique_ptr<GMedia> wide(letter(2, 1200, 600));
  EXPECT_FALSE(wide->matches(a.get())) << "1200 x 600 against 600 x 600";
  b->setMediaTypeName("Plain");
  EXPECT_FALSE(a->matches(b.get()));
  GMedia copy(*b);
  EXPECT_TRUE(copy.matches(b.get()));
  EXPECT_EQ(copy.mediaTypeName(), "Plain");
}

TEST(Media, DerivesItsGeometryIn16Bits) {
  std::unique_ptr<GMedia> m(letter());
  EXPECT_EQ(m->printableRect(), GRect(100, 100, 5000, 6500));
  EXPECT_EQ(m->printableEnd(), GPoint(5000, 6500));
  EXPECT_EQ(m->farMargins(), GPoint(100, 100));

  GMedia past("Past", GPoint(1000, 1000), GPoint(1000, 990), GPoint(50, 20), 0, 1, 300, 300);
  EXPECT_EQ(past.farMargins(), GPoint(-50, -10)) << "the printable area passes the sheet";

  GMedia wraps("Wraps", GPoint(100, 100), GPoint(32767, 10), GPoint(10, 32767), 0, 1, 300, 300);
  EXPECT_EQ(wraps.printableEnd(), GPoint(-32759, -32759));
}

TEST(Media, NormalizesAnglesToZeroUpTo359) {
  const struct {
    int32_t in;
    int32_t out;
  } cases[] = {{-90, 270}, {-360, 0}, {-361, 359}, {450, 90}, {-1, 359}, {720, 0},
               {INT32_MIN, 232}, {INT32_MAX, 127}, {0, 0}, {359, 359}};
  for (const auto& c : cases) EXPECT_EQ(normalizeAngle(c.in), c.out) << c.in;
}

TEST(Media, AcceptCallsTheMediaHandler) {
  RecordingPeripheral stage("stage");
  std::unique_ptr<GMedia> m(letter());
  stage.answer("onMedia", 7);
  EXPECT_EQ(m->accept(stage), 7);
  GMediaPool pool(12);
  pool.insert(letter());
  EXPECT_EQ(pool.accept(stage), 0);
  EXPECT_EQ(stage.handlers(), (std::vector<std::string>{"onMedia", "onEnumAttribute"}));
}

class MediaStore : public StoreTest {};

TEST_F(MediaStore, TheLevelWrittenOutByHand) {
  MPersistentObject::presetSerialCounter(40);
  std::unique_ptr<GMedia> m(letter());
  const std::string level = bytes({0x01, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x4C, 0x65, 0x74, 0x74,
                                   0x65, 0x72, 0xEC, 0x13, 0xC8, 0x19, 0x24, 0x13, 0x00, 0x19, 0x64, 0x00,
                                   0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x58, 0x02, 0x58, 0x02, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
  ASSERT_EQ(level.size(), 46u);
  const std::string expected = fileHead(1002) + rootLevel(190, 40) + attributeLevel() + level;
  EXPECT_EQ(storeFile(m.get()), expected);
  EXPECT_EQ(m->binaryStoreSize(), 20u + 46u) << "the attribute base's 20 and the level's 46";

  std::unique_ptr<GMedia> back(restoreFile<GMedia>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(m.get()));
}

TEST_F(MediaStore, ALaterVersionKeepsTheValues) {
  putBytes(fileHead(1002) + rootLevel(190, 3) + attributeLevel() + le32(2) + le32(3) + "Odd" + le32(0));
  std::unique_ptr<GMedia> m(letter(9));
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(*m);
  }
  EXPECT_EQ(m->name(), "Letter");
  EXPECT_EQ(m->mediaId(), 9);
  EXPECT_EQ(m->size(), GPoint(5100, 6600));
  EXPECT_EQ(m->serialNumber(), 3u) << "the levels before it are read";
}

// ---- the pool -------------------------------------------------------------------

struct Pool {
  GMediaPool pool{77};
  Pool() {
    pool.insert(new GMedia("A", GPoint(100, 200), GPoint(90, 190), GPoint(5, 5), 0, 1, 600, 600));
    pool.insert(new GMedia("B", GPoint(300, 400), GPoint(290, 390), GPoint(5, 5), 90, 2, 600, 600));
    pool.insert(new GMedia("C", GPoint(300, 400), GPoint(290, 390), GPoint(5, 5), 0, 3, 300, 600));
    pool.insert(new GMedia("D", GPoint(300, 400), GPoint(290, 390), GPoint(5, 5), 0, 4, 600, 300));
    pool.insert(new GMedia("E", GPoint(500, 600), GPoint(490, 590), GPoint(5, 5), 0, 5, 600, 600));
    pool.insert(new GMedia("F", GPoint(-10, 600), GPoint(0, 0), GPoint(0, 0), 0, 6, 600, 600));
    pool.insert(new GMedia("G", GPoint(100, 200), GPoint(90, 190), GPoint(5, 5), 0, 6, 300, 300));
    pool.insert(new GMedia("H", GPoint(700, 800), GPoint(690, 790), GPoint(5, 5), 0, 6, 600, 600));
  }
  // The names the iterator yields, in order, up to its first 0.
  std::string walk(GMediaPoolIterator* raw) {
    std::unique_ptr<GMediaPoolIterator> it(raw);
    std::string names;
    while (it->advance()) names += static_cast<GMedia*>(it->current())->name().data();
    return names;
  }
};

TEST(MediaPool, FiltersByOrientationResolutionAndSize) {
  const struct {
    const char* what;
    int32_t orientation;
    int16_t x, y;
    GPoint lower, upper;
    const char* names;
  } cases[] = {
      {"everything portrait at 600", 0, 600, 600, GPoint(-32768, -32768), GPoint(32767, 32767), "AEFH"},
      {"landscape", 90, 600, 600, GPoint(0, 0), GPoint(32767, 32767), "B"},
      {"x resolution", 0, 300, 600, GPoint(0, 0), GPoint(32767, 32767), "C"},
      {"y resolution", 0, 600, 300, GPoint(0, 0), GPoint(32767, 32767), "D"},
      {"both bounds included", 0, 600, 600, GPoint(100, 200), GPoint(500, 600), "AE"},
      {"lower width just above", 0, 600, 600, GPoint(101, 0), GPoint(32767, 32767), "EH"},
      {"upper height just below", 0, 600, 600, GPoint(0, 0), GPoint(32767, 599), "A"},
      {"an empty window", 0, 600, 600, GPoint(600, 600), GPoint(100, 100), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pool p;
    EXPECT_EQ(p.walk(p.pool.select(c.orientation, c.x, c.y, c.lower, c.upper)), c.names);
  }
}

TEST(MediaPool, AfterTheEndTheNextAdvanceStartsAgain) {
  Pool p;
  std::unique_ptr<GMediaPoolIterator> it(p.pool.select(0, 600, GPoint(0, 0), GPoint(32767, 32767)));
  std::string names;
  for (int i = 0; i < 8; ++i) names += it->advance() ? static_cast<GMedia*>(it->current())->name().data() : "|";
  EXPECT_EQ(names, "AEH|AEH|");
  it->advance();
  it->reset();
  ASSERT_EQ(it->advance(), 1);
  EXPECT_EQ(static_cast<GMedia*>(it->current())->name(), "A");
}

TEST(MediaPool, FindsAnEntryByMediaIdOrientationAndResolution) {
  Pool p;
  EXPECT_EQ(p.pool.findByMediaId(5, 0, 600, 600)->name(), "E");
  EXPECT_EQ(p.pool.findByMediaId(5, 0, 600)->name(), "E") << "one resolution for both";
  EXPECT_EQ(p.pool.findByMediaId(3, 0, 300, 600)->name(), "C");
  EXPECT_EQ(p.pool.findByMediaId(3, 0, 300), nullptr);
  EXPECT_EQ(p.pool.findByMediaId(6, 0, 600)->name(), "H") << "not F (negative width) nor G (300 dpi)";
  EXPECT_EQ(p.pool.findByMediaId(2, 0, 600), nullptr) << "landscape only";
  EXPECT_EQ(p.pool.findByMediaId(99, 0, 600), nullptr);
}

TEST(MediaPool, MatchesAnotherPoolAndACopySharesItsEntries) {
  Pool p, q;
  EXPECT_TRUE(p.pool.isKindOf(1006) && p.pool.isKindOf(764) && p.pool.isKindOf(757) && p.pool.isKindOf(753));
  EXPECT_TRUE(p.pool.matches(&q.pool));
  GEnumAttribute plain(77);
  EXPECT_FALSE(plain.matches(&p.pool));
  EXPECT_FALSE(p.pool.matches(&plain));
  GMediaPool copy(p.pool);
  EXPECT_TRUE(copy.matches(&p.pool));
  EXPECT_EQ(copy.findByMediaId(1, 0, 600), p.pool.findByMediaId(1, 0, 600)) << "the entries shared";
}

}  // namespace
