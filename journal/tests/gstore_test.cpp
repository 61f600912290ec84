// The stored forms of the composite commands, the path and the shapes:
// each class's bytes written out by hand, every class through the binary
// file and each stream form, and damaged or hostile stores, which restore
// what they can and refuse the rest without harm.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "graphics/gattrib.h"
#include "journal/cmdcomp.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

// ---- stored forms written out by hand ----------------------------------------------

std::string file(const std::string& object) { return le32(0x8888) + object; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
std::string nil() { return le16(0xFFFF) + le32(0); }
std::string reference(uint32_t index) { return le16(0xFFFF) + le32(index); }
// The command level holding no attribute, or the one given.
std::string command(const std::string& attribute = nil()) { return le32(1) + attribute; }
std::string graphic() { return le32(1); }
std::string point(int16_t x, int16_t y) { return le16(static_cast<uint16_t>(x)) + le16(static_cast<uint16_t>(y)); }
// A member list of the given serial number holding the children.
std::string members(uint32_t serial, const std::vector<std::string>& children) {
  std::string all;
  for (const std::string& c : children) all += c;
  return le16(752) + root(0, serial) + le32(1) + le32(static_cast<uint32_t>(children.size())) + all;
}
// The point-list level: direction, points, box validity, box, start, end
// and corner size.
std::string pointList(uint32_t direction, const std::vector<std::string>& points, uint32_t valid,
                      const std::string& box, const std::string& start = point(0, 0),
                      const std::string& end = point(0, 0), const std::string& corner = point(0, 0)) {
  std::string all;
  for (const std::string& p : points) all += p;
  return le32(1) + le32(direction) + le32(static_cast<uint32_t>(points.size())) + all + le32(valid) + box + start +
         end + corner;
}
std::string shape(RWClassID tag, uint32_t id, uint32_t serial, const std::string& level) {
  return le16(tag) + root(id, serial) + command() + graphic() + level + le32(1);
}
std::string emptyState(RWClassID tag, uint32_t id, uint32_t serial) {
  return le16(tag) + root(id, serial) + le32(1) + le32(1) + le32(1) + le32(0) + le32(1);
}

// Objects as their stored forms above have them: serial numbers given, no
// attribute unless one is given.
template <class T>
T* numbered(T* object, uint32_t serial) {
  object->setSerialNumber(serial);
  return object;
}
template <class T>
T* bare(T* object, uint32_t serial) {
  delete object->releaseAttribute();
  return numbered(object, serial);
}
template <class T>
T* listed(T* composite, uint32_t serial, uint32_t membersSerial, std::initializer_list<GCommand*> children) {
  bare(composite, serial);
  composite->members().setSerialNumber(membersSerial);
  for (GCommand* c : children) composite->insert(c);
  return composite;
}

GRectangleGraphic* rectangle(uint32_t id, uint32_t serial) {
  return bare(new GRectangleGraphic(nullptr, GRect(1, 2, 3, 4), id), serial);
}
const std::string kRectangle = shape(659, 9, 90, pointList(2, {}, 1, point(1, 2) + point(3, 4)));

// Points for the shapes, borrowed by each.
GPoint kPoints[] = {GPoint(1, -2), GPoint(3, 4), GPoint(-5, 6)};
const GPointArray kThree = GPointArray::borrowing(kPoints, 3);
const GRect kBox(-10, -20, 30, 40);
const std::string kBoxBytes = point(-10, -20) + point(30, 40);
const std::string kNoBox = point(0, 0) + point(0, 0);

struct Sample {
  const char* what;
  std::function<MPersistentObject*()> make;
  std::string file;
};

std::vector<Sample> samples() {
  return {
      {"GCommandComposite",
       [] {
         auto* end = numbered(new GPageEnd(6), 60);
         end->attributePointer()->setSerialNumber(61);
         return listed(new GCommandComposite(5), 50, 51, {end, rectangle(9, 90)});
       },
       file(
           le16(605) + root(5, 50) + command() + le32(1) +
           members(51, {le16(710) + root(6, 60) + command(emptyState(758, 256, 61)) + le32(1) + le32(1), kRectangle}))},
      {"GDocumentComposite",
       [] {
         auto* d = listed(new GDocumentComposite(5), 50, 51, {rectangle(9, 90)});
         d->setDocumentName(RWWString(u"d"));
         return d;
       },
       file(le16(707) + root(5, 50) + command() + le32(1) + le32(1) + le16('d') + le32(0) + le32(1) +
            members(51, {kRectangle}))},
      {"GPageComposite", [] { return listed(new GPageComposite(5), 50, 51, {}); },
       file(le16(711) + root(5, 50) + command() + le32(1) + le32(1) + members(51, {}))},
      {"GGraphicComposite", [] { return listed(new GGraphicComposite(5), 50, 51, {rectangle(9, 90)}); },
       file(le16(607) + root(5, 50) + command() + graphic() + le32(1) + members(51, {kRectangle}))},
      {"GPathGraphic",
       [] {
         auto* path = listed(new GPathGraphic(new GGraphicBundle, 5), 50, 51, {rectangle(9, 90)});
         auto* bundle = new GGraphicBundle;
         bundle->setSerialNumber(52);
         path->setAttribute(bundle);
         path->setClosed();
         return path;
       },
       file(le16(603) + root(5, 50) + command(emptyState(101, 244, 52) + le32(1)) + graphic() + le32(1) +
            members(51, {kRectangle}) + le32(1) + le32(1))},
      {"GArcGraphic", [] { return bare(new GArcGraphic(nullptr, kBox, kThree, 1, 7), 70); },
       file(shape(652, 7, 70, pointList(1, {point(-5, 6)}, 1, kBoxBytes, point(1, -2), point(3, 4))))},
      {"GChordGraphic", [] { return bare(new GChordGraphic(nullptr, kBox, kThree, 1, 7), 70); },
       file(shape(654, 7, 70, pointList(1, {point(-5, 6)}, 1, kBoxBytes, point(1, -2), point(3, 4))))},
      {"GPieGraphic", [] { return bare(new GPieGraphic(nullptr, kBox, kThree, 1, 7), 70); },
       file(shape(656, 7, 70, pointList(1, {point(-5, 6)}, 1, kBoxBytes, point(1, -2), point(3, 4))))},
      {"GEllipseGraphic", [] { return bare(new GEllipseGraphic(nullptr, kBox, 1, 7), 70); },
       file(shape(655, 7, 70, pointList(1, {}, 1, kBoxBytes)))},
      {"GRectangleGraphic", [] { return rectangle(9, 90); }, file(kRectangle)},
      {"GRoundedRectangleGraphic", [] { return bare(new GRoundedRectangleGraphic(nullptr, kBox, kThree, 7), 70); },
       file(shape(660, 7, 70,
                  pointList(2, {point(3, 4), point(-5, 6)}, 1, kBoxBytes, point(0, 0), point(0, 0), point(1, -2))))},
      {"GPolyLineGraphic", [] { return bare(new GPolyLineGraphic(nullptr, kThree, 7), 70); },
       file(shape(658, 7, 70, pointList(2, {point(3, 4), point(-5, 6)}, 0, kNoBox, point(1, -2))))},
      {"GPolyLineToGraphic", [] { return bare(new GPolyLineToGraphic(nullptr, kThree, 7), 70); },
       file(shape(663, 7, 70, pointList(2, {point(1, -2), point(3, 4), point(-5, 6)}, 0, kNoBox)))},
      {"GPolyBezierGraphic",
       [] {
         auto* b = bare(new GPolyBezierGraphic(nullptr, kThree, 7), 70);
         b->boundingBox();
         return b;
       },
       file(
           shape(653, 7, 70, pointList(2, {point(3, 4), point(-5, 6)}, 1, point(-5, -2) + point(3, 6), point(1, -2))))},
      {"GPolyBezierToGraphic", [] { return bare(new GPolyBezierToGraphic(nullptr, kThree, 7), 70); },
       file(shape(662, 7, 70, pointList(2, {point(1, -2), point(3, 4), point(-5, 6)}, 0, kNoBox)))},
      {"GPolygonGraphic", [] { return bare(new GPolygonGraphic(nullptr, kThree, 7), 70); },
       file(shape(657, 7, 70, pointList(2, {point(-5, 6), point(1, -2), point(3, 4), point(-5, 6)}, 0, kNoBox)))},
  };
}

class GraphicStore : public StoreTest {};

TEST_F(GraphicStore, EachClassStoresItsBytesAndComesBackFromEveryForm) {
  for (const Sample& sample : samples()) {
    SCOPED_TRACE(sample.what);
    const std::unique_ptr<MPersistentObject> object(sample.make());
    EXPECT_EQ(storeFile(object.get()), sample.file);
    EXPECT_EQ(object->binaryStoreSize() + 6, sample.file.size());

    forEachStoreForm<MPersistentObject>(object.get(), [&](const char*, std::unique_ptr<MPersistentObject> back) {
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(back->isA(), object->isA());
      EXPECT_TRUE(back->matches(object.get()));
      EXPECT_EQ(back->serialNumber(), object->serialNumber());
      EXPECT_EQ(storeFile(back.get()), sample.file) << "the very same bytes again";
    });
  }
}

TEST_F(GraphicStore, ARestoredShapeOwnsItsPointsAndKeepsTheStoredBox) {
  const std::string stored =
      file(shape(663, 7, 70, pointList(2, {point(1, 1), point(2, 2), point(3, 3)}, 1, point(-9, -9) + point(9, 9))));
  std::unique_ptr<RWCollectable> back(restoredFrom(stored));
  auto* line = dynamic_cast<GPolyLineToGraphic*>(back.get());
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->pointCount(), 3u);
  EXPECT_EQ(line->pointArray().owned, 1u);
  EXPECT_EQ(*line->pointAt(2), GPoint(3, 3));
  EXPECT_EQ(line->boundingBox(), GRect(-9, -9, 9, 9)) << "valid as stored: not computed again";
}

TEST_F(GraphicStore, AnotherVersionOrACutLevelLeavesTheShapeAsItWas) {
  const std::string head = le16(663) + root(7, 70) + command() + graphic();
  const std::string level = pointList(1, {point(1, 1), point(2, 2)}, 1, kBoxBytes);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"version 2", file(head + le32(2) + level.substr(4) + le32(1))},
      {"cut in the points", file(head + level.substr(0, 18))},
      {"cut in the box", file(head + level.substr(0, level.size() - 3))},
      {"count 0xFFFFFFFF over two points", file(head + le32(1) + le32(1) + le32(0xFFFFFFFF) + level.substr(12))},
      {"count 0xFFFFFFFF and nothing after it", file(head + le32(1) + le32(1) + le32(0xFFFFFFFF))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(c.file));
    auto* line = dynamic_cast<GPolyLineToGraphic*>(back.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->id(), 7u);
    EXPECT_EQ(line->pointCount(), 0u);
    EXPECT_EQ(line->direction(), 2u);
    EXPECT_EQ(line->boundingBox(), GRect(0, 0, 0, 0));
  }
}

TEST_F(GraphicStore, AHugeCountOnAStreamReadsOnlyWhatIsThere) {
  GPoint marked[] = {GPoint(0x1234, 0x5678)};
  GPolyLineToGraphic one(nullptr, GPointArray::borrowing(marked, 1), 7);
  ReportLog reports;
  const std::unique_ptr<RWCollectable> back = restoredWithHugeCount(&one, le32(1) + le16(0x1234), 0);
  auto* line = dynamic_cast<GPolyLineToGraphic*>(back.get());
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->pointCount(), 0u) << "the level is read whole or not at all";
}

bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

// Composites a damaged or hostile store makes. Read table: 0 nil, then
// each object in the order it is read.
TEST_F(GraphicStore, HostileCompositesKeepOnlyWhatTheirClassTakes) {
  const std::string start =
      le16(705) + root(3, 30) + command(emptyState(758, 246, 31)) + le32(1) + le32(0) + le32(0) + le32(1) + le32(0);
  // 1 the outer composite, 2 its list, 3 a document composite, 4 its list,
  // 5 the document start it refuses, 6 that start's state.
  auto outer = [&](const std::string& after) {
    return file(le16(605) + root(1, 10) + command() + le32(1) + le16(752) + root(0, 11) + le32(1) + le32(2) +
                le16(707) + root(2, 20) + command() + le32(1) + le32(0) + le32(0) + le32(1) + members(21, {start}) +
                after);
  };
  const auto documentEmptied = [](GCommandComposite* c) {
    auto* document = dynamic_cast<GDocumentComposite*>(c->child(0));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->entries(), 0u);
  };
  const struct {
    const char* what;
    std::string file;
    bool badReference;
    std::function<void(GCommandComposite*)> check;
  } cases[] = {
      {"a later command whose attribute is what a dropped child owned",
       outer(le16(712) + root(4, 40) + command(reference(6)) + le32(1)), true,
       [&](GCommandComposite* c) {
         documentEmptied(c);
         ASSERT_NE(c->child(1), nullptr);
         EXPECT_EQ(c->child(1)->attributePointer(), nullptr);
       }},
      {"a later error whose failed command is the dropped child",
       outer(le16(714) + root(4, 40) + command() + le32(1) + le16(3) + le32(1) + reference(5)), true,
       [&](GCommandComposite* c) {
         documentEmptied(c);
         auto* error = dynamic_cast<GErrorCommand*>(c->child(1));
         ASSERT_NE(error, nullptr);
         EXPECT_EQ(error->failedCommand(), nullptr);
       }},
      {"a child that is the composite itself", outer(reference(1)), true,
       [&](GCommandComposite* c) {
         documentEmptied(c);
         EXPECT_EQ(c->child(1), nullptr);
       }},
      {"a child that is no command", outer(emptyState(758, 1, 50)), false,
       [&](GCommandComposite* c) {
         documentEmptied(c);
         EXPECT_EQ(c->entries(), 1u);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(c.file));
    auto* composite = dynamic_cast<GCommandComposite*>(back.get());
    ASSERT_NE(composite, nullptr);
    EXPECT_EQ(reportedBadReference(reports), c.badReference);
    c.check(composite);
    // Walked by a stage, it holds nothing it should not.
    RecordingPeripheral stage;
    gAddReference(composite);
    (void)stage.process(GCommandPtr(composite));
    gDropReference(composite);
  }
}

TEST_F(GraphicStore, APathKeepsOnlyGraphicsAndAnotherVersionKeepsItsPieces) {
  const std::string pageStart = le16(709) + root(3, 30) + command() + le32(1) + le32(1);
  std::unique_ptr<RWCollectable> back(restoredFrom(file(le16(603) + root(5, 50) + command() + graphic() + le32(1) +
                                                        members(51, {pageStart, kRectangle}) + le32(1) + le32(1))));
  auto* restored = dynamic_cast<GPathGraphic*>(back.get());
  ASSERT_NE(restored, nullptr);
  ASSERT_EQ(restored->entries(), 1u);
  EXPECT_EQ(restored->child(0)->isA(), ClassId::GRectangleGraphic);
  EXPECT_EQ(restored->isClosed(), 1);
  EXPECT_EQ(restored->boundingBox(), GRect(1, 2, 3, 4));

  GPathGraphic held(nullptr, 5);
  held.insert(new GRectangleGraphic(nullptr, GRect(), 1));
  putBytes(file(le16(603) + root(5, 50) + command() + graphic() + le32(2) + members(51, {}) + le32(1) + le32(1)));
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(held);
  }
  EXPECT_EQ(held.entries(), 1u) << "a composite level of version 2 reads nothing";
}

TEST_F(GraphicStore, EveryCutOfAStoreRestoresWithoutHarm) {
  GPoint p[] = {GPoint(1, 1), GPoint(2, 2), GPoint(3, 3)};
  GDocumentComposite document(new GState, 1);
  auto* page = new GPageComposite(2);
  auto* path = new GPathGraphic(new GGraphicBundle, 3);
  auto* figure = new GPathGraphic(nullptr, 4);
  figure->insert(new GPolyLineGraphic(nullptr, GPointArray::borrowing(p, 3), 5));
  figure->insert(new GPolyBezierToGraphic(nullptr, GPointArray::borrowing(p, 3), 6));
  figure->setClosed();
  path->insert(figure);
  page->insert(path);
  page->insert(new GArcGraphic(nullptr, GRect(0, 0, 4, 4), GPointArray::borrowing(p, 3), 1, 7));
  document.insert(new GPageStart);
  document.insert(page);
  document.insert(new GPageEnd);
  {
    ReportLog reports;  // each cut is reported; only harm would fail the test
    restoreEveryCut(&document);
  }
  std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&document)));
  auto* restored = dynamic_cast<GDocumentComposite*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_TRUE(restored->matches(&document));
}

}  // namespace
