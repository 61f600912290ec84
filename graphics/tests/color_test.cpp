// Colours and palettes: the luminance rule, conversions to RGB, the sum and
// negation of RGB colours, each class's matching, the palette's entries and
// vector operations, stored forms written out by hand, and hostile stored
// palettes.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "core/pcomposit.h"
#include "graphics/color.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

void expectRGB(const GRGBColor& c, unsigned r, unsigned g, unsigned b, unsigned a) {
  EXPECT_EQ(c.red(), r);
  EXPECT_EQ(c.green(), g);
  EXPECT_EQ(c.blue(), b);
  EXPECT_EQ(c.alpha(), a);
}

TEST(Color, LuminanceWeighs30_59_11AndTruncates) {
  const struct {
    uint8_t r, g, b;
    unsigned grey;
  } cases[] = {{255, 255, 255, 255}, {1, 1, 1, 1}, {0, 255, 0, 150}, {255, 0, 0, 76}, {0, 0, 255, 28}};
  for (const auto& c : cases) EXPECT_EQ(GColor::luminance(c.r, c.g, c.b), c.grey) << int(c.r) << int(c.g) << int(c.b);
}

TEST(Color, EveryKindConvertsToRGB) {
  GRGBColor out(9, 9, 9, 9);
  expectRGB(GGrayColor(128, 0).toRGB(out), 128, 128, 128, 255);
  expectRGB(GXYZColor(1, 2, 3, 4).toRGB(out), 1, 2, 3, 255);

  GRGBColor rgb(10, 20, 30, 40);
  rgb.setId(77);
  rgb.toRGB(out);
  expectRGB(out, 10, 20, 30, 40);
  EXPECT_EQ(out.id(), 77u) << "an RGB colour copies itself, id included";
}

TEST(Color, SumsWrapAndAreOpaqueNegationWraps) {
  expectRGB(GRGBColor(200, 100, 50, 7) + GRGBColor(100, 200, 250, 9), 44, 44, 44, 255);

  const GColorTriple n = GRGBColor(1, 0, 255, 3).negated();
  EXPECT_EQ(n.red(), 255);
  EXPECT_EQ(n.green(), 0);
  EXPECT_EQ(n.blue(), 1);
  const GColorTriple copy(n);
  expectRGB(GRGBColor(copy, 6), 255, 0, 1, 6);

  GRGBColor c;
  c.set(1, 2, 3, 4);
  uint8_t r, g, b, a;
  c.get(r, g, b, a);
  EXPECT_EQ((std::array<int, 4>{r, g, b, a}), (std::array<int, 4>{1, 2, 3, 4}));
}

TEST(Color, SetFromTakesTheComponentsAsRGBAndTheAlpha) {
  GXYZColor x;
  x.setFrom(GXYZColor(1, 2, 3, 4));
  uint8_t a, b, c, d;
  x.get(a, b, c, d);
  EXPECT_EQ((std::array<int, 4>{a, b, c, d}), (std::array<int, 4>{1, 2, 3, 4}));
  x.setFrom(GGrayColor(9, 7));
  x.get(a, b, c, d);
  EXPECT_EQ((std::array<int, 4>{a, b, c, d}), (std::array<int, 4>{9, 9, 9, 7}));
  x.setFrom(GRGBColor(5, 6, 8, 0));
  x.get(a, b, c, d);
  EXPECT_EQ((std::array<int, 4>{a, b, c, d}), (std::array<int, 4>{5, 6, 8, 0}));
}

TEST(Color, RGBMatchingIgnoresIdsGreyAndXYZDoNot) {
  GRGBColor r1(1, 2, 3, 4), r2(1, 2, 3, 4);
  r1.setId(1);
  r2.setId(2);
  EXPECT_TRUE(r1.matches(&r2));
  r2.setAlpha(5);
  EXPECT_FALSE(r1.matches(&r2));

  GGrayColor g1(7, 8), g2(7, 8);
  g1.setId(1);
  g2.setId(2);
  EXPECT_FALSE(g1.matches(&g2));
  g2.setId(1);
  EXPECT_TRUE(g1.matches(&g2));

  GXYZColor x1(1, 2, 3, 4), x2(1, 2, 3, 4);
  x1.setId(1);
  x2.setId(2);
  EXPECT_FALSE(x1.matches(&x2));
  x2.setId(1);
  EXPECT_TRUE(x1.matches(&x2));

  EXPECT_FALSE(GRGBColor(1, 2, 3, 4).matches(&x1)) << "another class, the same bytes";
  EXPECT_FALSE(x1.matches(nullptr));
}

TEST(Color, KindsAreTheClassColourAndPersistentObject) {
  const GRGBColor rgb;
  const GPaletteTable palette;
  EXPECT_TRUE(rgb.isKindOf(ClassId::GRGBColor));
  EXPECT_TRUE(rgb.isKindOf(ClassId::GColor));
  EXPECT_TRUE(rgb.isKindOf(ClassId::MPersistentObject));
  EXPECT_FALSE(rgb.isKindOf(ClassId::GGrayColor));
  EXPECT_TRUE(GXYZColor().isKindOf(ClassId::GColor));
  EXPECT_TRUE(palette.isKindOf(ClassId::GPaletteTable));
  EXPECT_TRUE(palette.isKindOf(ClassId::MPersistentObject));
  EXPECT_FALSE(palette.isKindOf(ClassId::GColor));
}

// ---- palettes ---------------------------------------------------------------------

TEST(Palette, DefaultIsWhiteThenBlackAndPastTheEndIsNull) {
  GPaletteTable p;
  ASSERT_EQ(p.entries(), 2u);
  GRGBColor out;
  expectRGB(p.colorAt(0)->toRGB(out), 255, 255, 255, 255);
  expectRGB(p.colorAt(1)->toRGB(out), 0, 0, 0, 255);
  EXPECT_EQ(p.colorAt(0)->isA(), ClassId::GRGBColor);
  EXPECT_TRUE(p.isGray());

  ReportLog reports;
  EXPECT_EQ(p.colorAt(2), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].bounds);
  EXPECT_EQ(reports[0].text, indexErr(2, 2));
}

TEST(Palette, GreyWhenEveryEntryIsGreyAsRGB) {
  const GGrayColor grey(40, 0);
  const GXYZColor xyzGrey(3, 3, 3, 0), xyzColour(3, 4, 3, 0);
  EXPECT_TRUE(GPaletteTable({&grey, &xyzGrey}).isGray());
  EXPECT_FALSE(GPaletteTable({&grey, &xyzColour}).isGray());
  EXPECT_TRUE(GPaletteTable(std::vector<const GColor*>{}).isGray()) << "empty";
}

TEST(Palette, VectorOperationsFindCountAndRemoveByMatching) {
  const GRGBColor red(255, 0, 0, 255), green(0, 255, 0, 255), blue(0, 0, 255, 255);
  GPaletteTable p({&red, &green, &red, &blue, &red});
  ASSERT_EQ(p.entries(), 5u);
  EXPECT_NE(p.colorAt(0), &red) << "entries are copies";

  EXPECT_EQ(p.index(green), 1);
  EXPECT_EQ(p.index(GRGBColor(1, 1, 1, 1)), -1);
  EXPECT_EQ(p.occurrencesOf(red), 3u);

  std::unique_ptr<GColor> taken = p.removeFirst(green);
  ASSERT_NE(taken, nullptr);
  EXPECT_TRUE(taken->matches(&green));
  EXPECT_EQ(p.removeFirst(green), nullptr);

  p.append(new GGrayColor(9, 9));
  EXPECT_EQ(p.removeAll(red), 3u);
  ASSERT_EQ(p.entries(), 2u);
  EXPECT_TRUE(p.colorAt(0)->matches(&blue)) << "the rest keep their order";
  EXPECT_EQ(p.colorAt(1)->isA(), ClassId::GGrayColor);
  EXPECT_EQ(p.removeAll(red), 0u);
}

TEST(Palette, CopiesOwnTheirEntriesAndMatchEntryByEntry) {
  const GRGBColor red(255, 0, 0, 255);
  const GGrayColor grey(5, 6);
  GPaletteTable a({&red, &grey});
  a.setId(3);
  GPaletteTable b(a);
  EXPECT_TRUE(b.matches(&a));
  EXPECT_NE(b.colorAt(0), a.colorAt(0));

  b.colorAt(1)->setAlpha(7);
  EXPECT_FALSE(b.matches(&a)) << "an entry differs";

  GPaletteTable c;
  c = a;
  EXPECT_TRUE(c.matches(&a));
  EXPECT_EQ(c.id(), 3u);
  const GPaletteTable& same = c;
  c = same;  // nothing happens
  ASSERT_EQ(c.entries(), 2u);
  EXPECT_TRUE(c.colorAt(1)->matches(&grey));

  GPaletteTable d(a);
  d.setId(4);
  EXPECT_FALSE(d.matches(&a)) << "ids differ";
  d.setId(3);
  d.append(new GGrayColor(5, 6));
  EXPECT_FALSE(d.matches(&a)) << "counts differ";
}

// ---- stored forms -----------------------------------------------------------------

std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
std::string inFile(const std::string& object) { return le32(0x8888) + object; }

// Each class's stored object: tag, root level, colour level (version 1),
// own level.
const std::string kRGB = le16(53) + root(7, 70) + le32(1) + le32(1) + bytes({1, 2, 3, 4});
const std::string kGrey = le16(54) + root(8, 80) + le32(1) + le32(1) + bytes({9, 10});
const std::string kXYZ = le16(52) + root(9, 90) + le32(1) + le32(1) + bytes({0xFF, 0x80, 0, 5});

std::unique_ptr<MPersistentObject> madeRGB() {
  auto c = std::make_unique<GRGBColor>(1, 2, 3, 4);
  c->setId(7);
  c->setSerialNumber(70);
  return c;
}
std::unique_ptr<MPersistentObject> madeGrey() {
  auto c = std::make_unique<GGrayColor>(9, 10);
  c->setId(8);
  c->setSerialNumber(80);
  return c;
}
std::unique_ptr<MPersistentObject> madeXYZ() {
  auto c = std::make_unique<GXYZColor>(0xFF, 0x80, 0, 5);
  c->setId(9);
  c->setSerialNumber(90);
  return c;
}
std::unique_ptr<MPersistentObject> madePalette() {
  auto p = std::make_unique<GPaletteTable>(std::vector<const GColor*>{});
  p->setId(5);
  p->setSerialNumber(50);
  for (auto make : {madeRGB, madeGrey, madeXYZ}) p->append(static_cast<GColor*>(make().release()));
  return p;
}

class ColorStore : public StoreTest {};

TEST_F(ColorStore, EachClassStoresItsBytesAndComesBackFromEveryForm) {
  const struct {
    const char* what;
    std::function<std::unique_ptr<MPersistentObject>()> make;
    std::string file;
  } rows[] = {
      {"GRGBColor", madeRGB, inFile(kRGB)},
      {"GGrayColor", madeGrey, inFile(kGrey)},
      {"GXYZColor", madeXYZ, inFile(kXYZ)},
      {"GPaletteTable", madePalette, inFile(le16(553) + root(5, 50) + le32(1) + le32(3) + kRGB + kGrey + kXYZ)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::unique_ptr<MPersistentObject> object = row.make();
    expectStoredForm(*object, row.file);
  }
}

TEST_F(ColorStore, AnotherVersionOrACutLevelKeepsTheValues) {
  const std::string head = le16(53) + root(7, 70) + le32(1);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"version 2", inFile(head + le32(2) + bytes({1, 2, 3, 4}))},
      {"cut in the bytes", inFile(head + le32(1) + bytes({1, 2, 3}))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(c.file));
    auto* rgb = dynamic_cast<GRGBColor*>(back.get());
    ASSERT_NE(rgb, nullptr);
    expectRGB(*rgb, 0, 0, 0, 0);
    EXPECT_EQ(rgb->id(), 7u);
  }
}

TEST_F(ColorStore, ARestoredPaletteReplacesItsEntries) {
  const std::string file = inFile(le16(553) + root(5, 50) + le32(1) + le32(2) + kGrey + kRGB);
  putBytes(file);
  GPaletteTable held;
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(held);
  }
  ASSERT_EQ(held.entries(), 2u);
  EXPECT_EQ(held.colorAt(0)->isA(), ClassId::GGrayColor);
  EXPECT_EQ(held.colorAt(1)->isA(), ClassId::GRGBColor);
}

// Palettes a damaged or hostile store makes: no allocation sized by the
// stored count, the entries read before a failure kept, a reference to an
// earlier entry owned as a copy (the sanitizer build fails a double free).
TEST_F(ColorStore, HostilePalettesFailCleanly) {
  const std::string head = le16(553) + root(5, 50) + le32(1);
  const std::string ref = le16(0xFFFF);
  const struct {
    const char* what;
    std::string file;
    unsigned entries;
    bool reported;
  } cases[] = {
      {"count 0xFFFFFFFF, one entry", inFile(head + le32(0xFFFFFFFF) + kRGB), 1, false},
      {"count 0xFFFFFFFF, nothing after it", inFile(head + le32(0xFFFFFFFF)), 0, false},
      {"count 3, cut inside the second entry", inFile(head + le32(3) + kRGB + kGrey.substr(0, 9)), 1, false},
      {"second entry refers back to the first", inFile(head + le32(2) + kRGB + ref + le32(2)), 2, false},
      {"an entry refers to the palette", inFile(head + le32(2) + ref + le32(1) + kGrey), 1, false},
      {"a reference past the table", inFile(head + le32(2) + ref + le32(40) + kGrey), 1, true},
      {"nil and a palette as entries",
       inFile(head + le32(3) + ref + le32(0) + le16(553) + root(1, 1) + le32(1) + le32(0) + kXYZ), 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(c.file));
    auto* p = dynamic_cast<GPaletteTable*>(back.get());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->entries(), c.entries);
    for (RWsize i = 0; i < p->entries(); ++i) EXPECT_NE(p->colorAt(i), nullptr);
    if (c.reported) {
      EXPECT_FALSE(reports.empty());
    }
  }

  // The back-reference: two entries of their own, equal.
  std::unique_ptr<RWCollectable> back(restoredFrom(inFile(head + le32(2) + kRGB + ref + le32(2))));
  auto* p = dynamic_cast<GPaletteTable*>(back.get());
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->entries(), 2u);
  EXPECT_NE(p->colorAt(0), p->colorAt(1));
  EXPECT_TRUE(p->colorAt(1)->matches(p->colorAt(0)));
  EXPECT_EQ(p->colorAt(1)->id(), 7u);
}

// The read-table index of the palette's first entry in the store below: the
// composite and the palette come before it.
constexpr uint32_t kFirstEntryIndex = 3;

// A palette owns its entries alone, uncounted: a counted holder later in
// the same store that names one of them (here the composite holding the
// palette) is refused it, so no entry is ever freed by two owners.
TEST_F(ColorStore, ALaterReferenceToAPaletteEntryIsRefused) {
  const std::string palette = le16(553) + root(5, 50) + le32(1) + le32(1) + kRGB;
  const std::string composite =
      le16(752) + root(0, 1) + le32(1) + le32(2) + palette + le16(0xFFFF) + le32(kFirstEntryIndex);
  ReportLog reports;
  std::unique_ptr<RWCollectable> back(restoredFrom(inFile(composite)));
  auto* held = dynamic_cast<MPersistentComposite*>(back.get());
  ASSERT_NE(held, nullptr);
  // The reference restores as a nil child; the palette keeps its entry.
  ASSERT_EQ(held->entries(), 2u);
  auto* p = dynamic_cast<GPaletteTable*>(held->children().pointee(0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->entries(), 1u);
  EXPECT_EQ(held->children().pointee(1), nullptr);
  EXPECT_FALSE(reports.empty());
}

TEST_F(ColorStore, AHugeCountOnAStreamReadsOnlyWhatIsThere) {
  // The stream form of a palette with one entry, its count made huge.
  GPaletteTable one(std::vector<const GColor*>{});
  one.append(new GRGBColor(1, 2, 3, 4));
  ReportLog reports;
  // Version 1 and the count 1, then the entry's frame.
  const std::unique_ptr<RWCollectable> back = restoredWithHugeCount(&one, le32(1) + le32(1) + ":", 4);
  auto* p = dynamic_cast<GPaletteTable*>(back.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->entries(), 1u);
}

}  // namespace
