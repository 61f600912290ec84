// Booklet option entries: the value list, matching, copies that own their
// lists, and the stored form with its version rule.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <vector>

#include "attrfix.h"
#include "core/booklet.h"
#include "core/valattr.h"
#include "fixtures.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"

namespace {

std::vector<int16_t> valuesOf(const GBookletComposite& b) {
  std::vector<int16_t> v;
  for (int32_t i = 0; i < b.valueCount(); ++i) v.push_back(b.valueAt(i));
  return v;
}

// An entry whose values are appended in pairs (an even number of them).
GBookletComposite* entry(int16_t selector, int16_t second, std::initializer_list<int16_t> values, uint32_t id = 0) {
  GBookletComposite* b = new GBookletComposite(selector, second);
  b->setId(id);
  const std::vector<int16_t> v(values);
  for (size_t i = 0; i + 1 < v.size(); i += 2) b->appendPair(v[i], v[i + 1]);
  return b;
}

class BookletStore : public StoreTest {
 protected:
  // Magic, class tag, root level and attribute level (changed flag set).
  static std::string head(uint32_t id, uint32_t serial) {
    return le32(0x8888) + le16(794) + le32(1) + le32(id) + le32(serial) + le32(1) + le32(1);
  }
  // Restores the stored bytes into an existing object, as a reader that
  // already holds the entry does.
  void restoreInto(GBookletComposite& b, const std::string& stored) {
    putBytes(stored);
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(b);
    offset = f.CurOffset();
  }
  long offset = 0;
};

TEST(Booklet, ConstructionAndInertOperations) {
  GBookletComposite b(12, -3);
  EXPECT_EQ(b.id(), 0u);
  EXPECT_EQ(b.selector(), 12);
  EXPECT_EQ(b.second(), -3);
  EXPECT_EQ(b.valueCount(), 0);
  EXPECT_EQ(b.isA(), 794);
  EXPECT_EQ(b.kind(), 794);
  EXPECT_TRUE(b.isKindOf(794));
  EXPECT_TRUE(b.isKindOf(753));
  EXPECT_TRUE(b.isKindOf(751));
  EXPECT_FALSE(b.isKindOf(757)) << "not an attribute composite";
  EXPECT_FALSE(b.isComposite());
  EXPECT_EQ(b.createIterator(), nullptr);

  RecordingStage stage;
  EXPECT_EQ(b.accept(stage), 1);
  EXPECT_TRUE(stage.seen.empty());

  EXPECT_EQ(b.reservedQuery(), 0);
  b.reservedNotify(5);
  EXPECT_EQ(b.reservedEnabled(), 1);
  b.reservedReset();
  EXPECT_EQ(b.valueCount(), 0);
}

TEST_F(BookletStore, ValueAtInAndOutOfRange) {
  // Three values, as a stored entry holds them: 1, 5, 9.
  GBookletComposite b;
  restoreInto(b, head(4, 30) + le32(2) + le16(3) + le16(0) + le32(3) + le16(1) + le16(5) + le16(9));
  ASSERT_EQ(b.valueCount(), 3);
  const struct {
    int32_t index;
    int16_t want;
  } cases[] = {{0, 1}, {1, 5}, {2, 9}, {3, -1}, {-1, -1}, {INT32_MIN, -1}, {INT32_MAX, -1}, {65536, -1}};
  for (const auto& c : cases) EXPECT_EQ(b.valueAt(c.index), c.want) << c.index;

  GBookletComposite empty(1, 2);
  for (int32_t i : {0, -1, 1}) EXPECT_EQ(empty.valueAt(i), -1) << i;

  GBookletComposite pairs(1, 2);
  pairs.appendPair(7, -8);
  pairs.appendPair(0, 32767);
  EXPECT_EQ(valuesOf(pairs), (std::vector<int16_t>{7, -8, 0, 32767})) << "first, then second, at the end";
}

TEST(Booklet, MatchesIgnoresTheSecondNumber) {
  std::unique_ptr<GBookletComposite> base(entry(5, 1, {1, 5, 9, 4}, 7));
  const struct {
    const char* what;
    GBookletComposite* other;
    bool match;
  } cases[] = {
      {"only the second number differs", entry(5, 99, {1, 5, 9, 4}, 7), true},
      {"another selector", entry(6, 1, {1, 5, 9, 4}, 7), false},
      {"another id", entry(5, 1, {1, 5, 9, 4}, 8), false},
      {"one value differs", entry(5, 1, {1, 5, 9, 3}, 7), false},
      {"same values in another order", entry(5, 1, {5, 1, 9, 4}, 7), false},
      {"a prefix of the values", entry(5, 1, {1, 5}, 7), false},
      {"no values", entry(5, 1, {}, 7), false},
  };
  for (const auto& c : cases) {
    std::unique_ptr<GBookletComposite> other(c.other);
    EXPECT_EQ(base->matches(other.get()), c.match) << c.what;
    EXPECT_EQ(other->matches(base.get()), c.match) << c.what << " (the other way)";
  }
  std::unique_ptr<GBookletComposite> same(entry(5, 1, {1, 5, 9, 4}, 7));
  same->resetChanged();
  EXPECT_NE(same->serialNumber(), base->serialNumber());
  EXPECT_TRUE(base->matches(same.get())) << "serial number and changed flag take no part";
  GValueAttribute value(5, 7);
  EXPECT_FALSE(base->matches(&value));
  EXPECT_FALSE(base->matches(nullptr));
}

TEST(Booklet, CopiesOwnTheirLists) {
  GBookletComposite* source = entry(3, 4, {10, 20, 30, 40}, 9);
  source->resetChanged();
  GBookletComposite copied(*source);
  std::unique_ptr<GBookletComposite> cloned(source->copy());
  GBookletComposite assigned(8, 8);
  assigned.appendPair(1, 2);  // freed by the assignment
  assigned = *source;

  source->appendPair(50, 60);
  delete source;

  for (const GBookletComposite* c : {&copied, cloned.get(), &assigned}) {
    EXPECT_EQ(valuesOf(*c), (std::vector<int16_t>{10, 20, 30, 40}));
    EXPECT_EQ(c->selector(), 3);
    EXPECT_EQ(c->second(), 4);
    EXPECT_EQ(c->id(), 9u);
    EXPECT_EQ(c->isChanged(), 0);
  }
  EXPECT_EQ(copied.serialNumber(), assigned.serialNumber());

  copied.appendPair(1, 1);
  EXPECT_EQ(assigned.valueCount(), 4) << "no two entries share a list";
  const GBookletComposite& same = assigned;  // assigned to itself
  assigned = same;
  EXPECT_EQ(valuesOf(assigned), (std::vector<int16_t>{10, 20, 30, 40}));

  std::unique_ptr<GBookletComposite> species(assigned.newSpecies());
  EXPECT_EQ(species->valueCount(), 0);
}

TEST_F(BookletStore, StoredBytes) {
  MPersistentObject::presetSerialCounter(40);
  std::unique_ptr<GBookletComposite> b(entry(3, -2, {1, 5, 9, -1}, 0x11));  // serial 40
  const std::string fields = le32(2) + le16(3) + le16(0xFFFE) + le32(4) + le16(1) + le16(5) + le16(9) + le16(0xFFFF);
  const std::string stored = storeFile(b.get());
  EXPECT_EQ(stored, head(0x11, 40) + fields);
  EXPECT_EQ(b->binaryStoreSize() + 6, stored.size());

  // The size is the attribute part plus 12 plus 2 per value.
  GBookletComposite three;
  restoreInto(three, head(4, 30) + le32(2) + le16(3) + le16(0) + le32(3) + le16(1) + le16(5) + le16(9));
  EXPECT_EQ(three.binaryStoreSize(), three.GAttribute::binaryStoreSize() + 18);
  EXPECT_EQ(GBookletComposite().binaryStoreSize(), three.GAttribute::binaryStoreSize() + 12);

  std::ostringstream out;
  {
    RWbostream s(out);
    s << static_cast<const RWCollectable*>(b.get());
  }
  EXPECT_EQ(out.str(), ":" + le16(794) + "{" + head(0x11, 40).substr(6) + fields + "}");

  putBytes(stored);
  std::unique_ptr<GBookletComposite> back(restoreFile<GBookletComposite>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(b.get()));
  EXPECT_EQ(back->second(), -2);
  EXPECT_EQ(back->serialNumber(), 40u);
}

TEST_F(BookletStore, RestoreByStoredVersion) {
  const std::string list = le32(2) + le16(100) + le16(200);
  const struct {
    uint32_t version;
    std::vector<int16_t> want;  // the old list is 1, 2
    long unread;                // bytes left after the level
  } cases[] = {
      {0, {100, 200}, 0},
      {1, {100, 200}, 0},
      {2, {100, 200}, 0},
      {3, {1, 2}, 8},  // the numbers are taken, the list is not read
      {0xFFFFFFFF, {1, 2}, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    GBookletComposite b(1, 1);
    b.appendPair(1, 2);
    const std::string stored = head(4, 30) + le32(c.version) + le16(7) + le16(8) + list;
    restoreInto(b, stored);
    EXPECT_EQ(b.selector(), 7);
    EXPECT_EQ(b.second(), 8);
    EXPECT_EQ(valuesOf(b), c.want);
    EXPECT_EQ(offset, static_cast<long>(stored.size()) - c.unread);
  }
}

TEST_F(BookletStore, DamagedCountsAndCutForms) {
  const struct {
    const char* what;
    std::string fields;
    int16_t selector, second;
    std::vector<int16_t> want;  // the old list is 1, 2
  } cases[] = {
      {"a count beyond the data", le32(2) + le16(7) + le16(8) + le32(0xFFFFFFFF) + le16(4) + le16(5), 7, 8, {4, 5}},
      {"a count and no values", le32(2) + le16(7) + le16(8) + le32(1000), 7, 8, {}},
      {"cut before the count", le32(2) + le16(7) + le16(8), 7, 8, {1, 2}},
      {"cut inside the second number", le32(2) + le16(7) + bytes({8}), 7, 1, {1, 2}},
      {"cut inside a value", le32(2) + le16(7) + le16(8) + le32(2) + le16(4) + bytes({5}), 7, 8, {4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GBookletComposite b(1, 1);
    b.appendPair(1, 2);
    restoreInto(b, head(4, 30) + c.fields);
    EXPECT_EQ(b.selector(), c.selector);
    EXPECT_EQ(b.second(), c.second);
    EXPECT_EQ(valuesOf(b), c.want);
  }
}

TEST(Booklet, ThroughEveryVirtualStream) {
  std::unique_ptr<GBookletComposite> b(entry(-4, 6, {-32768, 0, 32767, 12}, 3));
  std::unique_ptr<GBookletComposite> backs[] = {
      throughStream<RWpostream, RWpistream>(b.get()),
      throughStream<RWbostream, RWbistream>(b.get()),
      throughStream<RWeostream, RWeistream>(b.get(), RWeostream::BigEndian),
  };
  for (const auto& back : backs) {
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->matches(b.get()));
    EXPECT_EQ(back->second(), 6);
  }
}

}  // namespace
