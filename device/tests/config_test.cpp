// The configuration: a second item matching one it holds is refused, and
// deleted only when nobody else holds it; nested configurations are always
// added; the stored form is the composite's, then a version word.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/valattr.h"
#include "device/config.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

// A plain persistent item, matched by id alone, that counts its
// destructions.
class Item : public MPersistentObject {
 public:
  explicit Item(uint32_t id) : MPersistentObject(id) {}
  ~Item() override { ++destroyed; }
  static inline int destroyed = 0;
};

MPersistentObject* at(const GConfiguration& c, RWsize i) { return c.children().pointee(i); }

TEST(Configuration, AnItemWhoseIdIsHeldIsNotAdded) {
  GConfiguration config(198);
  Item* first = new Item(7);
  config.insert(first);
  config.insert(new Item(8));
  ASSERT_EQ(config.entries(), 2u);

  const int before = Item::destroyed;
  config.insert(new Item(7));
  EXPECT_EQ(Item::destroyed, before + 1) << "nobody else held it";
  EXPECT_EQ(config.entries(), 2u);

  // Shared by a counted holder: refused and left to it.
  GCountedPtr elsewhere(new Item(8));
  config.insert(elsewhere.get());
  EXPECT_EQ(Item::destroyed, before + 1);
  EXPECT_EQ(elsewhere->references(), 1);
  EXPECT_EQ(config.entries(), 2u);

  // The very child offered again stays, once.
  config.insert(first);
  EXPECT_EQ(Item::destroyed, before + 1);
  EXPECT_EQ(first->references(), 1);
  ASSERT_EQ(config.entries(), 2u);
  EXPECT_EQ(at(config, 0), first);

  config.insert(nullptr);
  EXPECT_EQ(config.entries(), 2u);
}

TEST(Configuration, NestedConfigurationsAreAlwaysAddedInOrder) {
  GConfiguration config(198);
  auto* a = new GConfiguration(198);
  auto* b = new GConfiguration(198);
  config.insert(a);
  config.insert(b);
  // Even one that matches a nested configuration is added.
  auto* c = new GConfiguration(198);
  ASSERT_TRUE(c->matches(b));
  config.insert(c);
  ASSERT_EQ(config.entries(), 3u);
  EXPECT_EQ(at(config, 0), a);
  EXPECT_EQ(at(config, 1), b);
  EXPECT_EQ(at(config, 2), c);
}

class ConfigurationStore : public StoreTest {};

TEST_F(ConfigurationStore, TheCompositeLevelComesFirstThenTheVersion) {
  GConfiguration outer(5);
  outer.setSerialNumber(50);
  auto* inner = new GConfiguration(5);
  inner->setSerialNumber(51);
  outer.insert(inner);
  // Root level, composite level (version, count, children), version.
  const std::string innerBytes = le16(759) + le32(1) + le32(5) + le32(51) + le32(1) + le32(0) + le32(1);
  const std::string expected =
      le32(0x8888) + le16(759) + le32(1) + le32(5) + le32(50) + le32(1) + le32(1) + innerBytes + le32(1);
  EXPECT_EQ(storeFile(&outer), expected);
  EXPECT_EQ(outer.binaryStoreSize() + 6, expected.size());

  putBytes(expected);
  std::unique_ptr<GConfiguration> back(restoreFile<GConfiguration>());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->entries(), 1u);
  EXPECT_EQ(at(*back, 0)->isA(), GConfiguration::classIsA());
  EXPECT_EQ(back->serialNumber(), 50u);
}

TEST_F(ConfigurationStore, AConfigurationComesBackFromEveryForm) {
  GConfiguration config(198);
  config.insert(new GValueAttribute(3, 10));
  config.insert(new GStringAttribute("name", 11));
  auto* nested = new GConfiguration(198);
  nested->insert(new GValueAttribute(4, 10));
  config.insert(nested);
  config.insert(new GConfiguration(198));

  const std::string stored = storeFile(&config);
  EXPECT_EQ(config.binaryStoreSize() + 6, stored.size());
  const GConfiguration* original = &config;
  const struct {
    const char* form;
    std::function<std::unique_ptr<GConfiguration>()> restore;
  } forms[] = {
      {"binary file", [&] { return std::unique_ptr<GConfiguration>(restoreFile<GConfiguration>()); }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    std::unique_ptr<GConfiguration> back = f.restore();
    ASSERT_NE(back, nullptr) << f.form;
    EXPECT_TRUE(back->matches(original)) << f.form;
    ASSERT_EQ(back->entries(), 4u) << f.form;
    EXPECT_EQ(storeFile(back.get()), stored) << f.form;
    storeFile(original);  // the file again, for the next form's restore
  }
}

}  // namespace
