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
    {"GClipToSingleRectangle", made<GClipToSingleRectangle>(70, GRect(-1, 2, -3, 4), 0, 1, uint32_t{177}),
     inFile(head(504, 177, 70) + clipLevel(1, 0) + le32(1) + rect(-1, 2, -3, 4))},
};

class AttributeStore : public StoreTest {};

TEST_F(AttributeStore, EachClassStoresItsBytesAndComesBackFromEveryForm) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    const std::unique_ptr<MPersistentObject> object = row.make();
    EXPECT_EQ(storeFile(object.get()), row.file);
    EXPECT_EQ(object->binaryStoreSize() + 6, row.file.size());

    std::unique_ptr<RWCollectable> back(restoredFrom(row.file));
    auto* restored = dynamic_cast<MPersistentObject*>(back.get());
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->isA(), object->isA());
    EXPECT_EQ(restored->id(), object->id());
    EXPECT_EQ(restored->serialNumber(), object->serialNumber());
    EXPECT_TRUE(restored->matches(object.get()));

    const std::function<std::unique_ptr<MPersistentObject>()> forms[] = {
        [&] { return throughStream<RWpostream, RWpistream>(object.get()); },
        [&] { return throughStream<RWbostream, RWbistream>(object.get()); },
        [&] { return throughStream<RWeostream, RWeistream>(object.get(), RWeostream::LittleEndian); },
        [&] { return throughStream<RWeostream, RWeistream>(object.get(), RWeostream::BigEndian); },
    };
    for (const auto& form : forms) {
      std::unique_ptr<MPersistentObject> streamed = form();
      ASSERT_NE(streamed, nullptr);
      EXPECT_EQ(streamed->isA(), object->isA());
      EXPECT_EQ(streamed->id(), object->id());
      EXPECT_TRUE(streamed->matches(object.get()));
    }
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
