// Device fonts: descriptions and their set lists, the lists of one font
// source with their text tables, the composite of a printer's lists, and
// the stored forms of all three.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/passoc.h"
#include "core/persnum.h"
#include "core/valattr.h"
#include "graphics/devfont.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

GCharacterSetList sets(std::initializer_list<uint32_t> ids) {
  GCharacterSetList list;
  for (uint32_t id : ids) list.insert(id);
  return list;
}

GDeviceFontDescription font(const char* name, uint16_t code = 0, uint32_t storage = 0,
                            std::initializer_list<uint32_t> ids = {4}) {
  RWCString selection("\x1b(s0T");
  selection += name;
  return GDeviceFontDescription(name, selection, 4, sets(ids), 400, 0, 48, 1, 1, 0, code, storage);
}

std::string text(const RWCString* s) { return s ? std::string(s->data(), s->length()) : std::string("(none)"); }

// A code table of one entry, keyed as the lists key codes.
MAssociationList* codeTable(uint16_t code, const char* text) {
  auto* table = new MAssociationList;
  auto* key = new GValueAttribute(static_cast<int16_t>(code), 0);
  auto* value = new GStringAttribute(text, 0);
  table->insertAssociation(new MPersistentAssociation(key, value, 0));
  return table;
}

MAssociationList* idTable(uint32_t id, const char* text) {
  auto* table = new MAssociationList;
  auto* key = new GPersistableULong(id);
  auto* value = new GStringAttribute(text, 0);
  table->insertAssociation(new MPersistentAssociation(key, value, 0));
  return table;
}

// A list of the key holding the descriptions named.
GDeviceFontList* listOf(uint32_t key, std::initializer_list<const char*> names) {
  auto* list = new GDeviceFontList(key);
  for (const char* name : names) list->add(font(name));
  return list;
}

std::vector<std::string> namesIn(const GDeviceFontList& list) {
  std::vector<std::string> names;
  GDeviceFontDescription d;
  for (RWsize i = 0; list.at(i, d); ++i) names.push_back(std::string(d.name().data(), d.name().length()));
  return names;
}

std::vector<uint32_t> keysIn(const GDeviceFontListComposite& c) {
  std::vector<uint32_t> keys;
  for (RWsize i = 0; i < c.lists().children().entries(); ++i) keys.push_back(c.lists().children().pointee(i)->id());
  return keys;
}

// ---- descriptions -------------------------------------------------------------------

TEST(CharacterSetList, FindsRemovesAndGrowsBySixtyFour) {
  GCharacterSetList list = sets({4, 16, 4, 17, 4});
  EXPECT_EQ(list.index(16), 1);
  EXPECT_EQ(list.index(99), -1);
  EXPECT_EQ(list.occurrencesOf(4), 3u);
  EXPECT_EQ(list.remove(4), 1);
  EXPECT_EQ(list.index(4), 1) << "the first one went";
  EXPECT_EQ(list.remove(99), 0);
  EXPECT_EQ(list.removeAll(4), 2u);
  ASSERT_EQ(list.entries(), 2u);
  EXPECT_EQ(list[0], 16u);
  EXPECT_EQ(list[1], 17u);

  GCharacterSetList grown;
  EXPECT_EQ(grown.capacity(), 64u);
  for (uint32_t i = 0; i < 65; ++i) grown.insert(i);
  EXPECT_EQ(grown.capacity(), 128u);
  EXPECT_EQ(grown.entries(), 65u);
  EXPECT_EQ(grown[64], 64u);
  EXPECT_EQ(GCharacterSetList(grown), grown);
}

TEST(DeviceFontDescription, EqualityTakesEveryFieldAndTheSetOrder) {
  const GDeviceFontDescription d = font("Courier", 3, 1, {4, 16});
  EXPECT_EQ(d.name(), "Courier");
  EXPECT_EQ(d.selection(), "\x1b(s0TCourier");
  EXPECT_EQ(d.code(), 3);
  EXPECT_EQ(d.storageKind(), 1u);
  EXPECT_EQ(d.family(), 48u);
  const GDeviceFontDescription copied(d);
  GDeviceFontDescription assigned;
  assigned = d;
  EXPECT_TRUE(copied.matches(&d));
  EXPECT_TRUE(assigned.matches(&d));
  EXPECT_EQ(assigned.characterSets(), d.characterSets());

  const struct {
    const char* what;
    GDeviceFontDescription other;
  } differing[] = {
      {"name", font("Courie", 3, 1, {4, 16})},
      {"set order", font("Courier", 3, 1, {16, 4})},
      {"set count", font("Courier", 3, 1, {4})},
      {"code", font("Courier", 4, 1, {4, 16})},
      {"storage kind", font("Courier", 3, 2, {4, 16})},
      {"selection", GDeviceFontDescription("Courier", "x", 4, sets({4, 16}), 400, 0, 48, 1, 1, 0, 3, 1)},
      {"size", GDeviceFontDescription("Courier", "\x1b(s0TCourier", 4, sets({4, 16}), 400, 0, 48, 1, 1, 12, 3, 1)},
  };
  for (const auto& c : differing) EXPECT_FALSE(d.matches(&c.other)) << c.what;
}

class DeviceFontStore : public StoreTest {
 protected:
  // Restores the level stored in the file into the given object, as a
  // restore into an existing object does.
  void restoreInto(MPersistentObject& object) {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(object);
  }
};

// The description font("Courier", 3, 1, {4, 16}) after its class tag, id
// 0 and the given serial number, as version 2 stores it.
std::string courierBytes(uint32_t serial) {
  return le16(855) + le32(1) + le32(0) + le32(serial) + le32(2) + le32(7) + "Courier" + le32(12) + "\x1b(s0TCourier" +
         le32(4) + le32(2) + le32(4) + le32(16) + le16(400) + le32(0) + le32(48) + le32(1) + le32(1) + le16(0) +
         le16(3) + le32(1);
}

TEST_F(DeviceFontStore, DescriptionBytesAndVersions) {
  MPersistentObject::presetSerialCounter(70);
  const GDeviceFontDescription d = font("Courier", 3, 1, {4, 16});  // 70
  const std::string stored = storeFile(&d);
  EXPECT_EQ(stored, le32(0x8888) + courierBytes(70));
  EXPECT_EQ(d.binaryStoreSize() + 6, stored.size());

  // Version 1 ends after the size: no code, no storage kind.
  putBytes(le32(0x8888) + le16(855) + le32(1) + le32(0) + le32(0) + le32(1) + le32(4) + "Bold" + le32(0) + le32(4) +
           le32(0) + le16(700) + le32(1) + le32(0) + le32(1) + le32(0) + le16(10));
  GDeviceFontDescription v1 = d;
  restoreInto(v1);
  EXPECT_EQ(v1.name(), "Bold");
  EXPECT_EQ(v1.weight(), 700);
  EXPECT_EQ(v1.size(), 10);
  EXPECT_EQ(v1.characterSets().entries(), 0u);
  EXPECT_EQ(v1.code(), 0);
  EXPECT_EQ(v1.storageKind(), 0u);

  // Version 0 (and any later one) reads nothing of the level.
  for (uint32_t version : {0u, 3u}) {
    putBytes(le32(0x8888) + le16(855) + le32(1) + le32(0) + le32(70) + le32(version) + le32(4) + "Bold");
    GDeviceFontDescription kept = d;
    restoreInto(kept);
    EXPECT_TRUE(kept.matches(&d)) << version;
  }
}

// ---- lists ---------------------------------------------------------------------------

int named(const GDeviceFontDescription& d, void* data) { return d.name() == static_cast<const char*>(data); }

TEST(DeviceFontList, AtFindAndTheTextTables) {
  std::unique_ptr<GDeviceFontList> list(listOf(416, {"Courier", "Times"}));
  EXPECT_EQ(list->entries(), 2u);
  GDeviceFontDescription d = font("Mine", 9);
  EXPECT_EQ(list->at(2, d), 0) << "at the count";
  EXPECT_EQ(d.name(), "Mine") << "the caller's object is left alone";
  EXPECT_EQ(list->at(1, d), 1);
  EXPECT_EQ(d.name(), "Times");

  const GDeviceFontDescription* found = nullptr;
  EXPECT_EQ(list->find(named, const_cast<char*>("Times"), found), 1);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->name(), "Times");
  EXPECT_EQ(list->find(named, const_cast<char*>("Arial"), found), 0);
  EXPECT_EQ(found, nullptr);

  EXPECT_EQ(list->stringForCode(3), nullptr) << "no table";
  list->setCodeTable(codeTable(0xFFFE, "\x1b(8U"));
  list->setIdTable(idTable(0x80000001, "\x1b(19U"));
  EXPECT_EQ(text(list->stringForCode(0xFFFE)), "\x1b(8U") << "all 16 bits of the code";
  EXPECT_EQ(text(list->stringForCode(3)), "(none)");
  EXPECT_EQ(text(list->stringForId(0x80000001)), "\x1b(19U");
  EXPECT_EQ(text(list->stringForId(1)), "(none)");

  // The table held, handed over again, stays (a sanitizer build sees any
  // use after free); another one takes its place.
  list->setCodeTable(const_cast<MAssociationList*>(list->codeTable()));
  EXPECT_EQ(text(list->stringForCode(0xFFFE)), "\x1b(8U");
  list->setCodeTable(codeTable(5, "five"));
  EXPECT_EQ(text(list->stringForCode(5)), "five");
  list->setIdTable(nullptr);
  EXPECT_EQ(list->idTable(), nullptr);

  list->clear();
  EXPECT_EQ(list->entries(), 0u);
  EXPECT_EQ(text(list->stringForCode(5)), "five") << "clear drops descriptions only";
}

TEST(DeviceFontList, CopiesAreDeepAndEqualityIsByPosition) {
  std::unique_ptr<GDeviceFontList> original(listOf(416, {"Courier", "Times"}));
  original->setStamp(12);
  original->setCodeTable(codeTable(3, "three"));
  GDeviceFontList copied(*original);
  GDeviceFontList assigned(420);
  assigned.add(font("Old"));
  assigned = *original;
  EXPECT_TRUE(copied.matches(original.get()));
  EXPECT_TRUE(assigned.matches(original.get()));
  EXPECT_EQ(assigned.id(), 416u);
  EXPECT_NE(copied.codeTable(), original->codeTable()) << "a table of its own";
  original.reset();
  EXPECT_EQ(text(copied.stringForCode(3)), "three");
  EXPECT_EQ(namesIn(assigned), (std::vector<std::string>{"Courier", "Times"}));
  EXPECT_EQ(assigned.stamp(), 12u);

  const GDeviceFontList& same = assigned;
  assigned = same;
  EXPECT_TRUE(assigned.matches(&copied)) << "assigned to itself";

  std::unique_ptr<GDeviceFontList> reversed(listOf(416, {"Times", "Courier"}));
  std::unique_ptr<GDeviceFontList> plain(listOf(416, {"Courier", "Times"}));
  EXPECT_FALSE(reversed->matches(plain.get())) << "the same descriptions in another order";
  EXPECT_FALSE(plain->matches(&copied)) << "a table on one side only";
  plain->setCodeTable(codeTable(3, "three"));
  EXPECT_TRUE(plain->matches(&copied)) << "equal tables";
  plain->setCodeTable(codeTable(3, "drei"));
  EXPECT_FALSE(plain->matches(&copied));
}

// A list of key 416 holding the Courier description, stamp 0x11223344, a
// code table mapping 3 to ESC (8U, and no id table, stored from serial
// number 80 on.
std::string listBytes() {
  const std::string description = courierBytes(80);
  const std::string key = le16(763) + le32(1) + le32(0) + le32(84) + le32(1) + le32(1) + le32(1) + le16(3);
  const std::string value = le16(776) + le32(1) + le32(0) + le32(85) + le32(1) + le32(1) + le32(1) + le32(4) + "\x1b(8U";
  const std::string association = le16(771) + le32(1) + le32(0) + le32(86) + le32(1) + key + value;
  const std::string table = le16(772) + le32(1) + le32(0) + le32(83) + le32(1) + le32(1) + association + le32(1);
  const std::string nil = bytes({0xFF, 0xFF}) + le32(0);
  return le32(0x8888) + le16(856) + le32(1) + le32(416) + le32(82) + le32(3) + le32(1) + description +
         le32(0x11223344) + table + nil;
}

TEST_F(DeviceFontStore, ListBytesAndEveryForm) {
  MPersistentObject::presetSerialCounter(80);
  const GDeviceFontDescription courier = font("Courier", 3, 1, {4, 16});  // 80
  MPersistentObject::presetSerialCounter(82);
  GDeviceFontList list(416);  // 82
  list.add(courier);          // a copy, serial 80 kept
  list.setStamp(0x11223344);
  list.setCodeTable(codeTable(3, "\x1b(8U"));  // 83, key 84, value 85, association 86
  const std::string stored = storeFile(&list);
  EXPECT_EQ(stored, listBytes());
  EXPECT_EQ(list.binaryStoreSize() + 6, stored.size());

  list.setIdTable(idTable(7, "seven"));
  storeFile(&list);
  const GDeviceFontList* original = &list;
  const struct {
    const char* form;
    std::function<std::unique_ptr<GDeviceFontList>()> restore;
  } forms[] = {
      {"binary file", [&] { return std::unique_ptr<GDeviceFontList>(restoreFile<GDeviceFontList>()); }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    std::unique_ptr<GDeviceFontList> back = f.restore();
    ASSERT_NE(back, nullptr) << f.form;
    EXPECT_TRUE(back->matches(original)) << f.form;
    EXPECT_EQ(text(back->stringForCode(3)), "\x1b(8U") << f.form;
    EXPECT_EQ(text(back->stringForId(7)), "seven") << f.form;
    EXPECT_EQ(back->stamp(), 0x11223344u) << f.form;
  }
}

TEST_F(DeviceFontStore, OlderListsHaveNoStampOrTablesAndARestoreReplaces) {
  const std::string head = le32(0x8888) + le16(856) + le32(1) + le32(420) + le32(0);
  const std::string one = le32(1) + courierBytes(0);
  const struct {
    uint32_t version;
    std::string rest;
    uint32_t stamp;
  } cases[] = {
      {1, one, 0},
      {2, one + le32(99), 99},
  };
  for (const auto& c : cases) {
    putBytes(head + le32(c.version) + c.rest);
    // Restored into a list that holds descriptions, a stamp and tables:
    // the stored list replaces all of them.
    GDeviceFontList list(416);
    list.add(font("Old"));
    list.add(font("Older"));
    list.setStamp(5);
    list.setCodeTable(codeTable(3, "three"));
    list.setIdTable(idTable(3, "three"));
    restoreInto(list);
    EXPECT_EQ(list.id(), 420u) << c.version;
    EXPECT_EQ(namesIn(list), std::vector<std::string>{"Courier"}) << c.version;
    EXPECT_EQ(list.stamp(), c.stamp) << c.version;
    EXPECT_EQ(list.codeTable(), nullptr) << c.version;
    EXPECT_EQ(list.idTable(), nullptr) << c.version;
  }

  // Versions 0 and 4 read nothing of the level.
  for (uint32_t version : {0u, 4u}) {
    putBytes(head + le32(version) + one + le32(99));
    GDeviceFontList list(416);
    list.add(font("Old"));
    restoreInto(list);
    EXPECT_EQ(namesIn(list), std::vector<std::string>{"Old"}) << version;
  }
}

// ---- composites ----------------------------------------------------------------------

TEST(DeviceFontListComposite, MergeReplacesByKeyAndPrependsTheRest) {
  GDeviceFontListComposite into;
  EXPECT_EQ(into.id(), 414u);
  into.insert(listOf(416, {"Old"}));
  GDeviceFontListComposite from;
  GDeviceFontList* incoming = listOf(416, {"New"});
  from.insert(incoming);
  from.insert(listOf(420, {"Disk"}));

  into.merge(from);
  EXPECT_EQ(keysIn(into), (std::vector<uint32_t>{420, 416}));
  auto* replaced = dynamic_cast<GDeviceFontList*>(into.findById(416));
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(namesIn(*replaced), std::vector<std::string>{"New"});
  EXPECT_NE(replaced, incoming) << "a copy";
  EXPECT_NE(into.findById(420), from.findById(420));
  EXPECT_EQ(keysIn(from), (std::vector<uint32_t>{416, 420})) << "the other is left as it was";

  into.insertCopiesOf(from);
  EXPECT_EQ(keysIn(into), (std::vector<uint32_t>{420, 416, 416, 420}));
  delete into.removeById(416);
  EXPECT_EQ(keysIn(into), (std::vector<uint32_t>{420, 416, 420}));
}

TEST(DeviceFontListComposite, ReplaceByIdReachesANestedList) {
  GDeviceFontListComposite c;
  c.insert(listOf(416, {"ROM"}));
  auto* nested = new MPersistentComposite(5);
  nested->insert(listOf(421, {"Old disk"}));
  c.insert(nested);

  std::unique_ptr<GDeviceFontList> replacement(listOf(421, {"New disk"}));
  EXPECT_EQ(c.replaceById(421, replacement.get()), 1);
  auto* found = dynamic_cast<GDeviceFontList*>(c.findById(421));
  ASSERT_NE(found, nullptr);
  EXPECT_NE(found, replacement.get()) << "a deep copy; the caller keeps the list";
  EXPECT_EQ(namesIn(*found), std::vector<std::string>{"New disk"});
  EXPECT_EQ(nested->entries(), 1u);
  EXPECT_EQ(c.replaceById(429, replacement.get()), 0) << "no list with the key";
  EXPECT_EQ(c.entries(), 2u);
}

TEST(DeviceFontListComposite, CopiesAndAssignmentOwnTheirLists) {
  GDeviceFontListComposite c;
  c.insert(listOf(416, {"ROM"}));
  c.insert(listOf(420, {"Disk"}));
  GDeviceFontListComposite copied(c);
  EXPECT_TRUE(copied.matches(&c));
  EXPECT_NE(copied.findById(416), c.findById(416));

  GDeviceFontListComposite assigned;
  assigned.insert(listOf(418, {"Flash"}));
  assigned = c;
  EXPECT_EQ(keysIn(assigned), (std::vector<uint32_t>{416, 420}));
  EXPECT_TRUE(assigned.matches(&c));

  const GDeviceFontListComposite& same = c;
  c = same;
  EXPECT_EQ(keysIn(c), (std::vector<uint32_t>{416, 420})) << "assigned to itself, it keeps its lists";

  static_cast<GDeviceFontList*>(c.findById(416))->add(font("Added"));
  EXPECT_FALSE(copied.matches(&c)) << "an edit of one is not seen by the other";

  std::unique_ptr<MPersistentObject> deep(c.deepCopy());
  ASSERT_NE(dynamic_cast<GDeviceFontListComposite*>(deep.get()), nullptr);
  EXPECT_EQ(deep->id(), 414u);
  EXPECT_EQ(deep->entries(), 2u);
  EXPECT_NE(deep->findById(416), c.findById(416));

  c.clear();
  EXPECT_EQ(c.entries(), 0u);
}

TEST_F(DeviceFontStore, CompositeBytesAndEveryForm) {
  MPersistentObject::presetSerialCounter(90);
  GDeviceFontListComposite c;  // 90, its embedded composite 91
  c.insert(new GDeviceFontList(420));  // 92
  const std::string nil = bytes({0xFF, 0xFF}) + le32(0);
  const std::string list = le16(856) + le32(1) + le32(420) + le32(92) + le32(3) + le32(0) + le32(0) + nil + nil;
  const std::string expected = le32(0x8888) + le16(873) + le32(1) + le32(414) + le32(90) + le32(1) + le16(752) +
                               le32(1) + le32(0) + le32(91) + le32(1) + le32(1) + list;
  std::string stored = storeFile(&c);
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(c.binaryStoreSize() + 6, stored.size());

  GDeviceFontList* rom = listOf(416, {"Courier", "Times"});
  rom->setCodeTable(codeTable(3, "three"));
  c.insert(rom);
  stored = storeFile(&c);
  EXPECT_EQ(c.binaryStoreSize() + 6, stored.size());
  const GDeviceFontListComposite* original = &c;
  const struct {
    const char* form;
    std::function<std::unique_ptr<GDeviceFontListComposite>()> restore;
  } forms[] = {
      {"binary file", [&] { return std::unique_ptr<GDeviceFontListComposite>(restoreFile<GDeviceFontListComposite>()); }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    std::unique_ptr<GDeviceFontListComposite> back = f.restore();
    ASSERT_NE(back, nullptr) << f.form;
    EXPECT_TRUE(back->matches(original)) << f.form;
    EXPECT_EQ(keysIn(*back), (std::vector<uint32_t>{420, 416})) << f.form;
    auto* restoredRom = dynamic_cast<GDeviceFontList*>(back->findById(416));
    ASSERT_NE(restoredRom, nullptr) << f.form;
    EXPECT_EQ(text(restoredRom->stringForCode(3)), "three") << f.form;
  }

  // Another version reads nothing of the level.
  putBytes(le32(0x8888) + le16(873) + le32(1) + le32(414) + le32(0) + le32(2) + le16(752));
  std::unique_ptr<GDeviceFontListComposite> other(restoreFile<GDeviceFontListComposite>());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->entries(), 0u);
}

}  // namespace
