// The transform attribute: composing two placements, what makes two
// transforms match, and its stored level written out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "graphics/transfrm.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Placement {
  int16_t rotation;
  int16_t x, y;
  float sx, sy;
};

GTransformAttribute make(const Placement& p) {
  return GTransformAttribute(p.rotation, GPoint(p.x, p.y), GScaleFactors(p.sx, p.sy));
}

// Equal as the fields are kept, a factor that is not a number included.
bool sameFactor(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void expectPlacement(const GTransformAttribute& t, const Placement& p) {
  EXPECT_EQ(t.rotation(), p.rotation);
  EXPECT_EQ(t.offset().x(), p.x);
  EXPECT_EQ(t.offset().y(), p.y);
  EXPECT_TRUE(sameFactor(t.scaleX(), p.sx)) << t.scaleX() << " for " << p.sx;
  EXPECT_TRUE(sameFactor(t.scaleY(), p.sy)) << t.scaleY() << " for " << p.sy;
}

TEST(ComposeTransforms, InnerFirstThenOuter) {
  const struct {
    const char* what;
    Placement outer, inner, result;
  } cases[] = {
      {"placed, halved", {90, 100, 50, 0.5f, 0.5f}, {0, 30, -30, 1, 1}, {90, 115, 35, 0.5f, 0.5f}},
      {"scaled offsets truncate towards zero", {0, 0, 0, 0.5f, 0.5f}, {0, 3, -3, 1, 1}, {0, 1, -1, 0.5f, 0.5f}},
      {"scales multiply", {0, 0, 0, 0.5f, 3}, {0, 0, 0, 0.25f, 2}, {0, 0, 0, 0.125f, 6}},
      {"rotations are not reduced", {270, 0, 0, 1, 1}, {180, 0, 0, 1, 1}, {450, 0, 0, 1, 1}},
      {"a rotation sum wraps in 16 bits", {32767, 0, 0, 1, 1}, {1, 0, 0, 1, 1}, {-32768, 0, 0, 1, 1}},
      {"an offset sum wraps in 16 bits", {0, 32767, -32768, 1, 1}, {0, 1, -1, 1, 1}, {0, -32768, 32767, 1, 1}},
      // 30000 * 4 = 120000 lies in 32 bits; its low 16 bits are -11072.
      {"a product past 16 bits keeps its low bits", {0, 0, 0, 4, 1}, {0, 30000, 5, 1, 1}, {0, -11072, 5, 4, 1}},
      {"a factor that is not a number scales to 0", {0, 10, 20, kNaN, 1}, {0, 5, 5, 2, 2}, {0, 10, 25, kNaN, 2}},
      // Past the 32-bit range the product saturates before the 16-bit
      // sum: 0x7FFFFFFF adds -1, 0x80000000 adds 0.
      {"huge products saturate", {0, 100, 100, 1e30f, -1e30f}, {0, 2, 2, 1, 1}, {0, 99, 100, 1e30f, -1e30f}},
      {"infinite factors saturate", {0, 100, 100, kInf, -kInf}, {0, 2, 2, 1, 1}, {0, 99, 100, kInf, -kInf}},
      {"a zero offset under an infinite factor", {0, 7, 7, kInf, 1}, {0, 0, 0, 1, 1}, {0, 7, 7, kInf, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GTransformAttribute outer = make(c.outer), inner = make(c.inner), result;
    outer.setId(5);
    inner.setId(6);
    result.setId(7);
    result.resetChanged();
    composeTransforms(result, outer, inner);
    expectPlacement(result, c.result);
    EXPECT_EQ(result.id(), 0u) << "a new transform";
    EXPECT_EQ(result.isChanged(), 1);

    // Either operand may take the result.
    composeTransforms(inner, outer, inner);
    expectPlacement(inner, c.result);
    composeTransforms(outer, outer, make(c.inner));
    expectPlacement(outer, c.result);
  }
}

TEST(ComposeTransforms, TheResultKeepsItsHolders) {
  GCountedPtr held(new GTransformAttribute);
  auto* result = static_cast<GTransformAttribute*>(held.get());
  composeTransforms(*result, make({90, 1, 1, 2, 2}), make({0, 1, 1, 1, 1}));
  EXPECT_EQ(result->references(), 1);
  expectPlacement(*result, {90, 3, 3, 2, 2});
}

TEST(TransformAttribute, MatchesOnEveryFieldAndTheId) {
  const GTransformAttribute base = make({90, 10, 20, 0.5f, 2});
  GTransformAttribute byDefault;
  expectPlacement(byDefault, {0, 0, 0, 1, 1});
  EXPECT_EQ(byDefault.id(), 0u);
  EXPECT_EQ(base.isA(), 103);
  EXPECT_EQ(base.kind(), 103);
  for (RWClassID kind : {103, 753, 751}) EXPECT_TRUE(base.isKindOf(kind)) << kind;
  EXPECT_FALSE(base.isKindOf(754)) << "no graphics-state attribute";

  const GTransformAttribute copy(base);
  EXPECT_TRUE(copy.matches(&base));
  expectPlacement(copy, {90, 10, 20, 0.5f, 2});

  const struct {
    const char* what;
    std::function<void(GTransformAttribute&)> change;
  } differences[] = {
      {"id", [](GTransformAttribute& t) { t.setId(1); }},
      {"rotation", [](GTransformAttribute& t) { t.setRotation(91); }},
      {"offset x", [](GTransformAttribute& t) { t.setOffset(GPoint(11, 20)); }},
      {"offset y", [](GTransformAttribute& t) { t.setOffset(GPoint(10, 21)); }},
      {"scale x", [](GTransformAttribute& t) { t.setScale(GScaleFactors(0.25f, 2)); }},
      {"scale y", [](GTransformAttribute& t) { t.setScale(GScaleFactors(0.5f, 2.5f)); }},
      {"a scale that is not a number", [](GTransformAttribute& t) { t.setScale(GScaleFactors(kNaN, 2)); }},
  };
  for (const auto& d : differences) {
    GTransformAttribute other(base);
    d.change(other);
    EXPECT_FALSE(other.matches(&base)) << d.what;
    EXPECT_FALSE(base.matches(&other)) << d.what;
    EXPECT_TRUE(other.matches(&other)) << d.what << ": itself";
  }
  EXPECT_FALSE(base.matches(nullptr));

  // -0 and 0 are one factor.
  GTransformAttribute zero(base);
  zero.setScale(GScaleFactors(0, 2));
  GTransformAttribute negativeZero(zero);
  negativeZero.setScale(GScaleFactors(-0.0f, 2));
  EXPECT_TRUE(negativeZero.matches(&zero));
}

// ---- stored form ---------------------------------------------------------------------

std::string file(const std::string& body) { return le32(0x8888) + le16(103) + body; }
// The root level and the attribute level, changed.
std::string head(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial) + le32(1) + le32(1); }

class TransformStore : public StoreTestOf<GTransformAttribute> {};

TEST_F(TransformStore, ItsLevelIsEighteenBytes) {
  GTransformAttribute t = make({90, -2, 300, 0.5f, 1.5f});
  t.setId(7);
  t.setSerialNumber(50);
  // Version 1; rotation 90, x -2, y 300; 0.5 = 0x3F000000, 1.5 = 0x3FC00000.
  const std::string level = bytes({0x01, 0x00, 0x00, 0x00, 0x5A, 0x00, 0xFE, 0xFF, 0x2C, 0x01, 0x00, 0x00, 0x00,
                                   0x3F, 0x00, 0x00, 0xC0, 0x3F});
  ASSERT_EQ(level.size(), 18u);
  const std::string expected = file(head(7, 50) + level);
  EXPECT_EQ(storeFile(&t), expected);
  EXPECT_EQ(t.binaryStoreSize() + 6, expected.size());

  std::unique_ptr<GTransformAttribute> back = restored(expected);
  ASSERT_NE(back, nullptr);
  expectPlacement(*back, {90, -2, 300, 0.5f, 1.5f});
  EXPECT_EQ(back->id(), 7u);
  EXPECT_EQ(back->serialNumber(), 50u);
}

TEST_F(TransformStore, AnotherVersionOrACutLevelKeepsTheDefaults) {
  const std::string fields = bytes({0x5A, 0x00, 0xFE, 0xFF, 0x2C, 0x01, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0xC0, 0x3F});
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"version 2, fields after it", file(head(7, 50) + le32(2) + fields)},
      {"version 0", file(head(7, 50) + le32(0) + fields)},
      {"cut inside the offset", file(head(7, 50) + le32(1) + fields.substr(0, 3))},
      {"cut inside the last factor", file(head(7, 50) + le32(1) + fields.substr(0, 12))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;  // a cut is reported; only harm would fail the test
    std::unique_ptr<GTransformAttribute> back = restored(c.bytes);
    ASSERT_NE(back, nullptr);
    expectPlacement(*back, {0, 0, 0, 1, 1});
    EXPECT_EQ(back->id(), 7u) << "the levels before it are read";
  }
}

TEST_F(TransformStore, EveryStreamFormBringsItBack) {
  GTransformAttribute t = make({-45, 32767, -32768, 0.1f, 1e-3f});
  t.setId(9);
  t.resetChanged();
  const std::string bytes = storeFile(&t);
  const struct {
    const char* form;
    std::function<std::unique_ptr<GTransformAttribute>()> restore;
  } forms[] = {
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(&t); }},
      {"binary stream", [&] { return throughStream<RWbostream, RWbistream>(&t); }},
      {"little-endian stream", [&] { return throughStream<RWeostream, RWeistream>(&t, RWeostream::LittleEndian); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(&t, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    std::unique_ptr<GTransformAttribute> back = f.restore();
    ASSERT_NE(back, nullptr) << f.form;
    EXPECT_TRUE(back->matches(&t)) << f.form;
    EXPECT_EQ(back->isChanged(), 0) << f.form;
    EXPECT_EQ(storeFile(back.get()), bytes) << f.form;
  }
}

}  // namespace
