// Dither matrices and device font lists come from the printer's stored
// configuration, clips and bitmaps from page stores. Damaged stored forms of them must
// fail cleanly: the object restored into keeps what it had, nothing is
// allocated for counts the data does not hold (a sanitizer build would
// stop on an allocation that large), and nothing is freed twice or leaked.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/passoc.h"
#include "core/persnum.h"
#include "core/valattr.h"
#include "graphics/clip.h"
#include "graphics/devfont.h"
#include "graphics/dither.h"
#include "graphics/pen.h"
#include "rw/estream.h"
#include "testkit/aslimit.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

const std::string kNil = bytes({0xFF, 0xFF}) + le32(0);

// The root level of an object of id and serial number 0, after its tag.
std::string root(uint32_t id = 0) { return le32(1) + le32(id) + le32(0); }

std::string asFile(uint16_t tag, const std::string& fields) { return le32(0x8888) + le16(tag) + fields; }

// A version 2 description named "A" with the given set count and ids.
std::string descriptionWithSets(uint32_t count, const std::string& ids) {
  return le16(855) + root() + le32(2) + le32(1) + "A" + le32(0) + le32(4) + le32(count) + ids + le16(400) +
         le32(0) + le32(0) + le32(0) + le32(0) + le16(0) + le16(0) + le32(0);
}

const std::string kGoodDescription = descriptionWithSets(1, le32(4));

// A version 3 list of key 416 with the given description count and slots.
std::string listFile(uint32_t count, const std::string& slots, const std::string& tables = kNil + kNil) {
  return asFile(856, root(416) + le32(3) + le32(count) + slots + le32(7) + tables);
}

std::string matrixFile(const std::string& level) { return asFile(774, root() + le32(3) + level); }

const unsigned char kTable[] = {1, 2, 3, 4};

GDeviceFontDescription named(const char* name) {
  GCharacterSetList sets;
  sets.insert(4);
  return GDeviceFontDescription(name, "", 4, sets, 400, 0, 0, 0, 0, 0, 0, 0);
}

std::unique_ptr<MPersistentObject> heldMatrix() {
  auto m = std::make_unique<GDitherMatrix>(2, 2, kTable, 300, 9);
  m->setExtra(5);
  return m;
}

std::unique_ptr<MPersistentObject> heldList() {
  auto list = std::make_unique<GDeviceFontList>(420);
  list->add(named("Held"));
  list->setStamp(3);
  return list;
}

std::unique_ptr<MPersistentObject> heldDescription() { return std::make_unique<GDeviceFontDescription>(named("Held")); }

// A rectangle clip of key 177 (region 1, even-odd) with the given count
// and rectangles after its stored clip level, which holds what the clip
// made by heldClip holds.
std::string clipFile(uint32_t count, const std::string& rectangles) {
  return asFile(501, root(177) + le32(1) + le32(1) + le32(1) + le32(1) + le32(0) + le32(1) + le32(1) + le32(count) +
                         rectangles);
}

const std::string kRect = le16(1) + le16(2) + le16(3) + le16(4);

std::unique_ptr<MPersistentObject> heldClip() {
  return std::make_unique<GClipToRectangle>(std::vector<GRect>{GRect(5, 6, 7, 8), GRect(9, 9, 9, 9)}, 1, 0, 177);
}

// Whether a restore left the object as its maker made it.
void keptAsMade(const MPersistentObject& object, const std::function<std::unique_ptr<MPersistentObject>()>& make) {
  std::unique_ptr<MPersistentObject> fresh = make();
  // The root level before it was read whole: id and serial number.
  fresh->setId(object.id());
  fresh->setSerialNumber(object.serialNumber());
  EXPECT_TRUE(object.matches(fresh.get()));
}

struct Damaged {
  const char* what;
  std::string file;
  std::function<std::unique_ptr<MPersistentObject>()> make;  // the object restored into
  // What the object must hold afterwards; null: what it was made with.
  std::function<void(const MPersistentObject&)> check;
};

class DamagedStore : public StoreTest {};

TEST_F(DamagedStore, EachFailsCleanly) {
  const std::string trailing = le16(300) + le32(0) + le16(300) + le16(0) + le16(0) + le16(0);
  const std::string wide(300, '\x01');
  const Damaged cases[] = {
      {"dither width -1", matrixFile(le16(0xFFFF) + le16(2) + bytes({1, 2}) + trailing), heldMatrix, nullptr},
      {"dither width 300", matrixFile(le16(300) + le16(1) + wide + trailing), heldMatrix, nullptr},
      {"dither height 300", matrixFile(le16(1) + le16(300) + wide + trailing), heldMatrix, nullptr},
      {"dither height -32768", matrixFile(le16(1) + le16(0x8000) + trailing), heldMatrix, nullptr},
      {"truncated dither table", matrixFile(le16(8) + le16(8) + std::string(10, '\x02')), heldMatrix, nullptr},
      {"dither table without its resolutions", matrixFile(le16(2) + le16(2) + bytes({1, 2, 3, 4}) + le16(300)),
       heldMatrix, nullptr},
      {"description count 0x7FFFFFFF", listFile(0x7FFFFFFF, kGoodDescription), heldList, nullptr},
      {"description count past the end", listFile(3, kGoodDescription + kGoodDescription), heldList, nullptr},
      {"set count past the end", asFile(855, descriptionWithSets(1000, le32(4) + le32(16)).substr(2)),
       heldDescription, nullptr},
      {"set count 0x7FFFFFFF", asFile(855, descriptionWithSets(0x7FFFFFFF, le32(4)).substr(2)), heldDescription,
       nullptr},
      {"truncated selection text", asFile(855, root() + le32(2) + le32(1) + "A" + le32(0x7FFFFFF0) + "x"),
       heldDescription, nullptr},
      {"truncated code table", listFile(1, kGoodDescription, le16(772) + root() + le32(1) + le32(5)), heldList,
       nullptr},
      {"foreign class and nil in description slots",
       listFile(3, le16(778) + root() + le32(1) + le32(12) + kNil + kGoodDescription), heldList,
       [](const MPersistentObject& o) {
         const auto& list = static_cast<const GDeviceFontList&>(o);
         ASSERT_EQ(list.entries(), 1u);
         GDeviceFontDescription d;
         ASSERT_EQ(list.at(0, d), 1);
         EXPECT_EQ(d.name(), "A");
         EXPECT_EQ(list.stamp(), 7u);
       }},
      {"a table of another class",
       listFile(1, kGoodDescription,
                le16(778) + root() + le32(1) + le32(12) + le16(772) + root() + le32(1) + le32(0) + le32(1)),
       heldList,
       [](const MPersistentObject& o) {
         const auto& list = static_cast<const GDeviceFontList&>(o);
         EXPECT_EQ(list.codeTable(), nullptr) << "dropped";
         EXPECT_NE(list.idTable(), nullptr) << "the other table stays";
         EXPECT_EQ(list.entries(), 1u);
       }},
      {"rectangle count 0xFFFFFFFF, one rectangle", clipFile(0xFFFFFFFF, kRect), heldClip, nullptr},
      {"rectangle count 0x7FFFFFFF, nothing after it", clipFile(0x7FFFFFFF, ""), heldClip, nullptr},
      {"rectangle count 3, cut in the third", clipFile(3, kRect + kRect + kRect.substr(0, 5)), heldClip, nullptr},
  };
  for (const Damaged& c : cases) {
    SCOPED_TRACE(c.what);
    // Made by the factory...
    std::unique_ptr<RWCollectable> fresh(restoredFrom(c.file));
    // ...and restored into an object that holds values.
    putBytes(c.file);
    std::unique_ptr<MPersistentObject> held = c.make();
    {
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(*held);
    }
    if (c.check)
      c.check(*held);
    else
      keptAsMade(*held, c.make);
  }
}

// Under an address-space limit an allocation sized by one of these counts
// fails and ends the process, so a child that restores them all and exits
// normally has made no block the data does not hold.
TEST_F(DamagedStore, HugeCountsMakeNoHugeBlock) {
  SKIP_WITHOUT_ADDRESS_SPACE_LIMIT();
  const std::string files[] = {
      listFile(0x7FFFFFFF, kGoodDescription),
      listFile(0xFFFFFFFF, kGoodDescription + kGoodDescription),
      asFile(855, descriptionWithSets(0x7FFFFFFF, le32(4)).substr(2)),
      asFile(855, descriptionWithSets(0xFFFFFFFF, le32(4) + le32(5)).substr(2)),
      clipFile(0xFFFFFFFF, kRect + kRect),
      // A dashed pen of key 160: its pen level (width 3, no paint), then
      // offset 0 and the count.
      asFile(203, root(160) + le32(1) + le32(1) + le32(1) + le32(1) + le16(3) + kNil + le32(1) + le16(0) +
                      le32(0xFFFFFFFF) + le16(1) + le16(2)),
      // A 1-bit 8 x 2 bitmap body claiming 0xFFFFFFFF bytes of pixels, two
      // of them there.
      asFile(552, root() + le32(1) + le32(1) + le32(0xFFFFFFFF) + le16(0) + le16(0) + le16(8) + le16(2) +
                      bytes({1, 1}) + le32(1) + le32(0) + le32(0) + bytes({1}) + le16(0) + le32(0) + le16(0) +
                      le32(0) + le32(0) + le32(1) + le32(1) + le32(0) + std::string(18, '\0') + kNil +
                      bytes({0xA5, 0x5A})),
  };
  std::vector<std::string> paths;
  for (const std::string& f : files) {
    paths.push_back(dir_.file(("huge" + std::to_string(paths.size())).c_str()));
    putFile(paths.back(), f);
  }
  const auto restoresCleanly = [&] {
    bool clean = true;
    for (const std::string& path : paths) {
      RWFile f(path.c_str(), "rb");
      RWCollectable* back = nullptr;
      f >> back;
      auto* object = dynamic_cast<MPersistentObject*>(back);
      clean = clean && object && object->entries() <= 1;
      delete back;
    }
    return clean;
  };
  EXPECT_EXIT(exitUnderAddressSpaceLimit(restoresCleanly), ::testing::ExitedWithCode(0), "");
}

// A printer's font lists with descriptions, tables and a matrix beside
// them, cut short at every length: each restore stops cleanly, bringing
// back nothing or leaving the file or stream marked short.
TEST_F(DamagedStore, EveryCutOfAStoreStopsCleanly) {
  GDeviceFontListComposite fonts;
  auto* rom = new GDeviceFontList(416);
  rom->add(named("Courier"));
  rom->add(named("Times"));
  auto* codes = new MAssociationList;
  codes->insertAssociation(new MPersistentAssociation(new GValueAttribute(3, 0), new GStringAttribute("c", 0), 0));
  rom->setCodeTable(codes);
  auto* ids = new MAssociationList;
  ids->insertAssociation(new MPersistentAssociation(new GPersistableULong(9), new GStringAttribute("i", 0), 0));
  rom->setIdTable(ids);
  fonts.insert(rom);
  fonts.insert(new GDitherMatrix(2, 2, kTable, 300));

  restoreEveryCut(&fonts);
}

}  // namespace
