// The Chromafit colour-matching attribute: defaults per preset, the choice
// accessors, equality against matching, and the stored form.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "attrfix.h"
#include "core/colormatch.h"
#include "core/valattr.h"
#include "fixtures.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"

namespace {

struct Choices {
  uint8_t map[3];
  uint8_t halftone[3];
};

Choices choicesOf(const GChromafitAttribute& a) {
  Choices c{};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(a.setting(k, 0, c.map[k]), 1);
    EXPECT_EQ(a.setting(k, 1, c.halftone[k]), 1);
  }
  return c;
}

void expectChoices(const GChromafitAttribute& a, Choices want) {
  const Choices got = choicesOf(a);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(got.map[k], want.map[k]) << "colour map of object class " << k;
    EXPECT_EQ(got.halftone[k], want.halftone[k]) << "halftone of object class " << k;
  }
}

TEST(Chromafit, DefaultsPerPreset) {
  const struct {
    uint32_t id;
    Choices want;
  } cases[] = {
      {227, {{16, 22, 32}, {40, 50, 62}}},
      {208, {{15, 21, 31}, {40, 50, 62}}},
      {295, {{15, 21, 31}, {40, 50, 62}}},
      {226, {{15, 21, 31}, {40, 50, 62}}},
      {0, {{15, 21, 31}, {40, 50, 62}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    GChromafitAttribute a(c.id);
    EXPECT_EQ(a.id(), c.id);
    expectChoices(a, c.want);
  }
  GChromafitAttribute given(5, 1, 2, 3, 4, 5, 6);
  expectChoices(given, {{1, 3, 5}, {2, 4, 6}});

  EXPECT_EQ(given.isA(), 792);
  EXPECT_EQ(given.kind(), 792);
  EXPECT_TRUE(given.isKindOf(753));
  EXPECT_TRUE(given.isKindOf(751));
  EXPECT_FALSE(given.isKindOf(794));
  RecordingStage stage;
  EXPECT_EQ(given.accept(stage), 0);
  EXPECT_TRUE(stage.seen.empty());
}

TEST(Chromafit, SettingAndSetSettingChecks) {
  const struct {
    int32_t objectClass, variant;
    int answer;
    bool writes;
  } cases[] = {
      {0, 0, 1, true}, {2, 1, 1, true},  {1, 2, 1, false}, {3, 0, 0, false},
      {-1, 0, 0, false}, {0, 3, 0, false}, {0, -1, 0, false}, {3, 2, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "object class " << c.objectClass << " variant " << c.variant);
    GChromafitAttribute a(295);
    const Choices before = choicesOf(a);
    uint8_t out = 0xAA;
    EXPECT_EQ(a.setting(c.objectClass, c.variant, out), c.answer);
    if (!c.writes) {
      EXPECT_EQ(out, 0xAA) << "the caller's byte stays";
    }

    EXPECT_EQ(a.setSetting(c.objectClass, c.variant, 200), c.answer);
    Choices want = before;
    if (c.writes) (c.variant == 0 ? want.map : want.halftone)[c.objectClass] = 200;
    expectChoices(a, want);
  }
  GChromafitAttribute a(295);
  uint8_t out = 0;
  a.setSetting(1, 1, 7);
  EXPECT_EQ(a.setting(1, 1, out), 1);
  EXPECT_EQ(out, 7);
}

TEST(Chromafit, EqualityAgainstMatching) {
  GChromafitAttribute working(295, 1, 2, 3, 4, 5, 6);
  GChromafitAttribute preset(208, 1, 2, 3, 4, 5, 6);
  GChromafitAttribute sameId(295, 1, 2, 3, 4, 5, 6);
  GChromafitAttribute otherChoice(295, 1, 2, 3, 4, 5, 7);
  sameId.resetChanged();

  EXPECT_TRUE(working == preset) << "the id takes no part";
  EXPECT_FALSE(working.matches(&preset)) << "matching also needs the id";
  EXPECT_TRUE(working == sameId);
  EXPECT_TRUE(working.matches(&sameId)) << "serial number and changed flag take no part";
  EXPECT_FALSE(working == otherChoice);
  EXPECT_FALSE(working.matches(&otherChoice));
  EXPECT_TRUE(working == working);
  EXPECT_TRUE(working.matches(&working));
  GValueAttribute value(1, 295);
  EXPECT_FALSE(working.matches(&value));
  EXPECT_FALSE(working.matches(nullptr));

  // The user interface copies a preset into the working attribute and then
  // recognises it by equality.
  GChromafitAttribute transparency(227);
  working.copySettings(transparency);
  EXPECT_TRUE(working == transparency);
  EXPECT_EQ(working.id(), 295u) << "only the choices are copied";
  working.copySettings(working);
  expectChoices(working, {{16, 22, 32}, {40, 50, 62}});
}

TEST(Chromafit, CopiesTakeTheAttributePartAndTheChoices) {
  GChromafitAttribute source(295, 9, 8, 7, 6, 5, 4);
  source.resetChanged();
  GChromafitAttribute copied(source);
  std::unique_ptr<GChromafitAttribute> cloned(source.copy());
  GChromafitAttribute assigned(227);
  assigned = source;
  for (const GChromafitAttribute* c : {&copied, cloned.get(), &assigned}) {
    EXPECT_TRUE(c->matches(&source));
    EXPECT_EQ(c->serialNumber(), source.serialNumber());
    EXPECT_EQ(c->isChanged(), 0);
  }
}

class ChromafitStore : public StoreTest {
 protected:
  static std::string head(uint32_t id, uint32_t serial) {
    return le32(0x8888) + le16(792) + le32(1) + le32(id) + le32(serial) + le32(1) + le32(1);
  }
};

TEST_F(ChromafitStore, StoredBytes) {
  MPersistentObject::presetSerialCounter(60);
  GChromafitAttribute a(295, 15, 200, 21, 50, 255, 0);  // serial 60
  const std::string fields =
      le32(1) + le16(15) + le16(200) + le16(21) + le16(50) + le16(255) + le16(0);
  const std::string stored = storeFile(&a);
  EXPECT_EQ(stored, head(295, 60) + fields) << "each byte a word with zero in the upper half";
  EXPECT_EQ(a.binaryStoreSize() + 6, stored.size());
  EXPECT_EQ(a.binaryStoreSize(), a.GAttribute::binaryStoreSize() + 16);

  std::ostringstream out;
  {
    RWbostream s(out);
    s << static_cast<const RWCollectable*>(&a);
  }
  EXPECT_EQ(out.str(), ":" + le16(792) + "{" + head(295, 60).substr(6) + fields + "}");

  std::unique_ptr<GChromafitAttribute> back(restoreFile<GChromafitAttribute>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&a));
  uint8_t halftone = 0;
  back->setting(0, 1, halftone);
  EXPECT_EQ(halftone, 200);
}

TEST_F(ChromafitStore, RestoreKeepsTheLowByte) {
  const struct {
    const char* what;
    std::string fields;
    Choices want;  // the object starts with the plain-media defaults
  } cases[] = {
      {"upper halves dropped", le32(1) + le16(0x12C8) + le16(0xFF01) + le16(3) + le16(4) + le16(5) + le16(6),
       {{0xC8, 3, 5}, {1, 4, 6}}},
      {"another version reads nothing", le32(2) + le16(1) + le16(2) + le16(3) + le16(4) + le16(5) + le16(6),
       {{15, 21, 31}, {40, 50, 62}}},
      {"cut after three choices", le32(1) + le16(1) + le16(2) + le16(3) + bytes({4}),
       {{1, 3, 31}, {2, 50, 62}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    putBytes(head(295, 60) + c.fields);
    GChromafitAttribute a(295);
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(a);
    expectChoices(a, c.want);
  }
}

TEST(Chromafit, ThroughEveryVirtualStream) {
  GChromafitAttribute a(227, 0, 255, 128, 127, 1, 200);
  std::unique_ptr<GChromafitAttribute> backs[] = {
      throughStream<RWpostream, RWpistream>(&a),
      throughStream<RWbostream, RWbistream>(&a),
      throughStream<RWeostream, RWeistream>(&a, RWeostream::BigEndian),
  };
  for (const auto& back : backs) {
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->matches(&a));
  }
}

}  // namespace
