// The stored forms of the graphics-state attributes, one row per class:
// the bytes written out by hand, the object restored from them matching
// the one stored, the size each announces against the bytes it writes,
// and every stream form. Then levels of another version or cut short, and
// rectangle lists restored into a clip that already holds some.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/clip.h"
#include "graphics/colrend.h"
#include "graphics/lineattr.h"
#include "graphics/rop.h"
#include "journal/path.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

std::string inFile(const std::string& object) { return le32(0x8888) + object; }
// The class tag, the root level (version, id, serial number), the
// attribute level (version, changed) and the graphics-state level
// (version).
std::string head(uint16_t classId, uint32_t id, uint32_t serial) {
  return le16(classId) + le32(1) + le32(id) + le32(serial) + le32(1) + le32(1) + le32(1);
}
std::string rect(int16_t l, int16_t t, int16_t r, int16_t b) {
  return le16(static_cast<uint16_t>(l)) + le16(static_cast<uint16_t>(t)) + le16(static_cast<uint16_t>(r)) +
         le16(static_cast<uint16_t>(b));
}
// The clip level: version, fill rule, region.
std::string clipLevel(int32_t fillRule, int32_t region) {
  return le32(1) + le32(static_cast<uint32_t>(fillRule)) + le32(static_cast<uint32_t>(region));
}

const std::string kNil = le16(0xFFFF) + le32(0);

// A closed path of id 5 with nothing in it, and its stored object: the
// command level (version, no bundle), the graphic level (version), the
// graphic composite level (version, then its member list: an empty
// composite of id 0), the path level (version, closed).
GPathGraphic* emptyClosedPath() {
  auto* path = new GPathGraphic(nullptr, 5);
  path->setClosed();
  path->setSerialNumber(72);
  path->members().setSerialNumber(73);
  return path;
}
const std::string kEmptyClosedPath = le16(603) + le32(1) + le32(5) + le32(72) + le32(1) + kNil + le32(1) + le32(1) +
                                     le16(752) + le32(1) + le32(0) + le32(73) + le32(1) + le32(0) + le32(1) + le32(1);

template <class T, class... Args>
std::function<std::unique_ptr<MPersistentObject>()> made(uint32_t serial, Args... args) {
  return [=] {
    auto object = std::make_unique<T>(args...);
    object->setSerialNumber(serial);
    return std::unique_ptr<MPersistentObject>(std::move(object));
  };
}

struct Row {
  const char* what;
  std::function<std::unique_ptr<MPersistentObject>()> make;
  std::string file;
};

const std::vector<GRect> kTwo = {GRect(1, 2, 3, 4), GRect(-5, -6, 700, 800)};

const Row kRows[] = {
    {"GCap", made<GCap>(60, 2, uint32_t{166}), inFile(head(301, 166, 60) + le32(1) + le32(2))},
    {"GJoint", made<GJoint>(61, 2, uint32_t{172}), inFile(head(351, 172, 61) + le32(1) + le32(2))},
    // 10.5 is 0x41280000 as an IEEE single.
    {"GMiterJoint", made<GMiterJoint>(62, 10.5f, uint32_t{172}),
     inFile(head(352, 172, 62) + le32(1) + le32(0) + le32(1) + le32(0x41280000))},
    {"GFillMode", made<GFillMode>(63, -1, uint32_t{182}), inFile(head(102, 182, 63) + le32(1) + le32(0xFFFFFFFF))},
    {"GRasterOperation", made<GRasterOperation>(64, uint16_t{0xAAF0}, 1, uint32_t{183}),
     inFile(head(401, 183, 64) + le32(1) + le16(0xAAF0) + le32(1))},
    {"GColorMap", made<GColorMap>(65, 21, uint32_t{0}), inFile(head(791, 0, 65) + le32(1) + le32(21))},
    {"GHalftone", made<GHalftone>(66, 0xFFFF, uint32_t{4}), inFile(head(790, 4, 66) + le32(1) + le32(0xFFFF))},
    {"GClipToPage", made<GClipToPage>(67), inFile(head(503, 177, 67) + clipLevel(1, 0) + le32(1))},
    {"GClipToRectangle", made<GClipToRectangle>(68, kTwo, 1, 0, uint32_t{177}),
     inFile(head(501, 177, 68) + clipLevel(0, 1) + le32(1) + le32(2) + rect(1, 2, 3, 4) + rect(-5, -6, 700, 800))},
    {"GClipToRectangle, empty", made<GClipToRectangle>(69),
     inFile(head(501, 0, 69) + clipLevel(2, 2) + le32(1) + le32(0))},
    {"GClipToPath",
     [] {
       auto clip = std::make_unique<GClipToPath>(emptyClosedPath(), 0, 0, 177);
       clip->setSerialNumber(71);
       return std::unique_ptr<MPersistentObject>(std::move(clip));
     },
     inFile(head(502, 177, 71) + clipLevel(0, 0) + le32(1) + kEmptyClosedPath)},
    {"GClipToPath without a path", made<GClipToPath>(74, nullptr, 1, 1, uint32_t{0}),
     inFile(head(502, 0, 74) + clipLevel(1, 1) + le32(1) + kNil)},
    {"GClipToSingleRectangle", made<GClipToSingleRectangle>(70, GRect(-1, 2, -3, 4), 0, 1, uint32_t{177}),
     inFile(head(504, 177, 70) + clipLevel(1, 0) + le32(1) + rect(-1, 2, -3, 4))},
};

class AttributeStore : public StoreTest {};

TEST_F(AttributeStore, EachClassStoresItsBytesAndComesBackFromEveryForm) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    const std::unique_ptr<MPersistentObject> object = row.make();
    expectStoredForm(*object, row.file);
  }
}

// A level of another version reads nothing more, and one cut short takes
// nothing of what it held: restored into an object, the object keeps its
// values.
TEST_F(AttributeStore, AnotherVersionOrACutLevelKeepsTheValues) {
  const struct {
    const char* what;
    std::function<std::unique_ptr<MPersistentObject>()> make;
    std::string file;
  } rows[] = {
      {"cap, version 2", made<GCap>(1, 0, uint32_t{166}), inFile(head(301, 166, 1) + le32(2) + le32(2))},
      {"cap, cut", made<GCap>(1, 0, uint32_t{166}), inFile(head(301, 166, 1) + le32(1) + le16(2))},
      {"miter limit, version 2", made<GMiterJoint>(1, 3.0f, uint32_t{172}),
       inFile(head(352, 172, 1) + le32(1) + le32(0) + le32(2) + le32(0x41280000))},
      {"raster operation, kind cut", made<GRasterOperation>(1, uint16_t{0xF0}, 0, uint32_t{183}),
       inFile(head(401, 183, 1) + le32(1) + le16(0xAAF0) + le16(1))},
      {"colour map, version 0", made<GColorMap>(1, 21, uint32_t{0}), inFile(head(791, 0, 1) + le32(0) + le32(22))},
      {"clip level cut in the region", made<GClipToSingleRectangle>(1, GRect(1, 2, 3, 4), 1, 0, uint32_t{177}),
       inFile(head(504, 177, 1) + le32(1) + le32(1) + le16(0))},
      {"single rectangle cut", made<GClipToSingleRectangle>(1, GRect(1, 2, 3, 4), 1, 0, uint32_t{177}),
       inFile(head(504, 177, 1) + clipLevel(0, 1) + le32(1) + rect(9, 9, 9, 9).substr(0, 7))},
      {"rectangle list cut in the second", made<GClipToRectangle>(1, kTwo, 1, 0, uint32_t{177}),
       inFile(head(501, 177, 1) + clipLevel(0, 1) + le32(1) + le32(2) + rect(9, 9, 9, 9) + le16(1))},
      {"rectangle list of version 2", made<GClipToRectangle>(1, kTwo, 1, 0, uint32_t{177}),
       inFile(head(501, 177, 1) + clipLevel(0, 1) + le32(2) + le32(1) + rect(9, 9, 9, 9))},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    putBytes(row.file);
    std::unique_ptr<MPersistentObject> held = row.make();
    {
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(*held);
    }
    EXPECT_TRUE(held->matches(row.make().get()));
  }
}

TEST_F(AttributeStore, ARestoredRectangleListReplacesTheList) {
  const std::string file = inFile(head(501, 177, 1) + clipLevel(0, 0) + le32(1) + le32(3) + rect(1, 1, 2, 2) +
                                  rect(3, 3, 4, 4) + rect(5, 5, 6, 6));
  putBytes(file);
  GClipToRectangle held(GRect(9, 9, 9, 9), 0, 0, 177);
  for (int time = 0; time < 2; ++time) {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(held);
  }
  ASSERT_EQ(held.count(), 3u) << "restored twice, three rectangles";
  const GRect expected[] = {GRect(1, 1, 2, 2), GRect(3, 3, 4, 4), GRect(5, 5, 6, 6)};
  for (uint32_t i = 0; i < 3; ++i) {
    GRect r;
    held.rectangleAt(i, r);
    EXPECT_EQ(r, expected[i]) << i;
  }
}

}  // namespace

namespace {

// Restores the bytes into the clip given, through the binary file.
void restoreInto(const std::string& path, GClipToPath& clip) {
  RWFile f(path.c_str(), "rb");
  f >> static_cast<RWCollectable&>(clip);
}

// What a path clip restores in place of its path: the stored path itself,
// a copy of one read earlier, none for nil, another class or a path that
// encloses the clip; a path cut short leaves the one held. Nothing is
// freed twice (the sanitizer build) or kept alive in a cycle (the leak
// check).
TEST_F(AttributeStore, APathClipOwnsWhatItRestores) {
  const std::string clipHead = head(502, 177, 1) + clipLevel(0, 0) + le32(1);
  const struct {
    const char* what;
    std::string file;
    bool path;
    bool kept;
  } rows[] = {
      {"a path", inFile(clipHead + kEmptyClosedPath), true, false},
      {"nil", inFile(clipHead + kNil), false, false},
      {"another class", inFile(clipHead + head(301, 166, 2) + le32(1) + le32(2)), false, false},
      {"a path cut short", inFile(clipHead + kEmptyClosedPath.substr(0, 40)), true, true},
      {"version 2", inFile(head(502, 177, 1) + clipLevel(0, 0) + le32(2) + kNil), true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    putBytes(row.file);
    GClipToPath clip(new GPathGraphic(nullptr, 9), 0, 0, 177);
    GPathGraphic* before = clip.path();
    restoreInto(path(), clip);
    EXPECT_EQ(clip.path() != nullptr, row.path);
    EXPECT_EQ(clip.path() == before, row.kept);
    if (clip.path() && !row.kept) {
      EXPECT_EQ(clip.path()->isClosed(), 1);
    }
  }
}

TEST_F(AttributeStore, APathReadEarlierIsCopiedAndAnEnclosingOneRefused) {
  // A composite holding a path and a clip sharing it: stored once, the
  // clip's is a reference to it.
  {
    MPersistentComposite tree(1);
    auto* shared = new GPathGraphic(nullptr, 5);
    tree.insert(shared);
    tree.insert(new GClipToPath(shared, 0, 0, 177));
    EXPECT_EQ(shared->references(), 2);
    const std::string file = storeFile(&tree);
    std::unique_ptr<RWCollectable> back(restoredFrom(file));
    auto* restored = dynamic_cast<MPersistentComposite*>(back.get());
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(restored->entries(), 2u);
    auto* path = dynamic_cast<GPathGraphic*>(restored->children().pointee(0));
    auto* clip = dynamic_cast<GClipToPath*>(restored->children().pointee(1));
    ASSERT_NE(path, nullptr);
    ASSERT_NE(clip, nullptr);
    ASSERT_NE(clip->path(), nullptr);
    EXPECT_NE(clip->path(), path) << "the clip's own copy";
    EXPECT_TRUE(clip->path()->matches(path));
  }

  // A path whose bundle holds a clip of that very path.
  {
    auto* bundle = new GGraphicBundle;
    GCommandPtr outer(new GPathGraphic(bundle, 5));
    auto* clip = new GClipToPath(static_cast<GPathGraphic*>(outer.get()), 0, 0);
    bundle->setClip(clip);
    const std::string file = storeFile(outer.get());
    // The cycle is broken before the path goes.
    *clip = GClipToPath();

    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(file));
    auto* path = dynamic_cast<GPathGraphic*>(back.get());
    ASSERT_NE(path, nullptr);
    auto* restoredBundle = dynamic_cast<GGraphicBundle*>(path->attributePointer());
    ASSERT_NE(restoredBundle, nullptr);
    auto* restoredClip = dynamic_cast<GClipToPath*>(restoredBundle->clip());
    ASSERT_NE(restoredClip, nullptr);
    EXPECT_EQ(restoredClip->path(), nullptr);
    EXPECT_FALSE(reports.empty()) << "a bad reference";
  }
}

}  // namespace
