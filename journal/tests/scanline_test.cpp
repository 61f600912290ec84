// The scan-line commands: the handlers they reach, the box of a scan-line
// graphic, matching, and their stored forms.

#include "journal/scanline.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "testkit/bytes.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

using Call = RecordingPeripheral::Call;

TEST(ScanLines, EachCommandReachesItsHandlerWithItself) {
  static const GPoint rows[] = {{0, 10}, {3, 9}};
  RecordingPeripheral stage;
  const GCommandPtr start(new GStartScanLine(new GGraphicBundle, 4));
  const GCommandPtr line(new GScanLineGraphic(GPointArray::borrowing(rows, 2), nullptr, 5));
  const GCommandPtr end(new GEndScanLine(nullptr, 6));
  for (const GCommandPtr& command : {start, line, end}) EXPECT_EQ(stage.process(command), command);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onStartScanLine", ClassId::GStartScanLine, 4},
                                              {"onScanLine", ClassId::GScanLineGraphic, 5},
                                              {"onEndScanLine", ClassId::GEndScanLine, 6}}));
  for (RWClassID kind : {ClassId::GScanLineGraphic, ClassId::GPointListGraphic, ClassId::GGraphic,
                         ClassId::GCommand, ClassId::MPersistentObject})
    EXPECT_TRUE(line->isKindOf(kind)) << kind;
  EXPECT_FALSE(line->isKindOf(ClassId::GPolyLineGraphic));
  for (RWClassID kind : {ClassId::GGraphic, ClassId::GCommand, ClassId::MPersistentObject}) {
    EXPECT_TRUE(start->isKindOf(kind)) << kind;
    EXPECT_TRUE(end->isKindOf(kind)) << kind;
  }
  EXPECT_FALSE(start->isKindOf(ClassId::GEndScanLine));
}

// The box is the first point's row down to one row per run, across the
// runs' widest extent; computed once, on first use.
TEST(ScanLines, TheBoxIsComputedOnFirstUseOneRunPerRow) {
  const struct {
    std::vector<GPoint> points;
    GRect box;
  } cases[] = {
      {{{0, 10}, {3, 9}, {1, 12}}, GRect(1, 10, 12, 12)},
      {{{7, -5}, {-4, -2}}, GRect(-4, -5, -2, -4)},
      {{{0, 3}}, GRect(0, 3, 0, 3)},
      // An inverted run counts its first x to the left and its last to the
      // right as it stands.
      {{{0, 0}, {9, 2}}, GRect(9, 0, 2, 1)},
      {{}, GRect(0, 0, 0, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.points.size());
    GScanLineGraphic line(GPointArray::borrowing(c.points.data(), static_cast<uint32_t>(c.points.size())), nullptr);
    EXPECT_EQ(line.boundingBox(), c.box);
    EXPECT_EQ(line.boundingBox(), c.box) << "the second answer is the box held";
  }

  // More rows than 16 bits reach: the bottom stops at their limit.
  std::vector<GPoint> many(40000, GPoint(1, 2));
  many[0] = GPoint(0, 30000);
  GScanLineGraphic tall(GPointArray::borrowing(many.data(), static_cast<uint32_t>(many.size())), nullptr);
  EXPECT_EQ(tall.boundingBox(), GRect(1, 30000, 2, 32767));

  // A copy computes its own; a graphic made without points keeps {0,0,0,0}.
  static const GPoint rows[] = {{0, 10}, {3, 9}, {1, 12}};
  GScanLineGraphic original(GPointArray::borrowing(rows, 3), nullptr);
  GScanLineGraphic copy(original);
  EXPECT_EQ(copy.boundingBox(), GRect(1, 10, 12, 12));
  EXPECT_EQ(GScanLineGraphic(3).boundingBox(), GRect());
}

TEST(ScanLines, MatchByClassAndGraphicPart) {
  static const GPoint rows[] = {{0, 10}, {3, 9}};
  static const GPoint other[] = {{0, 10}, {3, 8}};
  GScanLineGraphic a(GPointArray::borrowing(rows, 2), nullptr, 1);
  EXPECT_TRUE(a.matches(&a));
  const std::unique_ptr<GScanLineGraphic> same(new GScanLineGraphic(GPointArray::borrowing(rows, 2), nullptr, 1));
  EXPECT_TRUE(a.matches(same.get()));
  EXPECT_FALSE(a.matches(std::make_unique<GScanLineGraphic>(GPointArray::borrowing(other, 2), nullptr, 1).get()));
  EXPECT_FALSE(a.matches(std::make_unique<GPolyLineToGraphic>(nullptr, GPointArray::borrowing(rows, 2), 1).get()))
      << "the same points in another class";

  GStartScanLine start(nullptr, 2);
  EXPECT_TRUE(start.matches(std::make_unique<GStartScanLine>(nullptr, 2).get()));
  EXPECT_FALSE(start.matches(std::make_unique<GStartScanLine>(nullptr, 3).get())) << "another id";
  EXPECT_FALSE(start.matches(std::make_unique<GEndScanLine>(nullptr, 2).get()));
  auto* filled = new GGraphicBundle;
  filled->setFillMode(new GFillMode(1));
  EXPECT_FALSE(start.matches(std::make_unique<GStartScanLine>(filled, 2).get())) << "another bundle";
  EXPECT_TRUE(GEndScanLine().matches(std::make_unique<GEndScanLine>().get()));
  EXPECT_FALSE(GEndScanLine().matches(nullptr));
}

TEST(ScanLines, StoredFormsAddTheirVersionAlone) {
  static const GPoint rows[] = {{0, 10}, {3, 9}};
  GScanLineGraphic line(GPointArray::borrowing(rows, 2), nullptr, 5);
  GPolyLineToGraphic sameLevels(nullptr, GPointArray::borrowing(rows, 2), 5);
  line.setSerialNumber(9);
  sameLevels.setSerialNumber(9);
  // The point-list level is the poly-line-to's: its bytes with the class
  // tag in place, each shape's own version 1 closing them.
  std::string expected = storedBytes(&sameLevels);
  ASSERT_EQ(expected.substr(4, 2), le16(ClassId::GPolyLineToGraphic));
  expected.replace(4, 2, le16(ClassId::GScanLineGraphic));
  EXPECT_EQ(storedBytes(&line), expected);

  const std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&line)));
  auto* restored = dynamic_cast<GScanLineGraphic*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_TRUE(restored->matches(&line));
  EXPECT_EQ(restored->boundingBox(), GRect(3, 10, 9, 11));
  {
    const ReportLog quiet;  // the cuts report what they miss
    restoreEveryCut(&line);
  }

  // The marks: the graphic level, then the version.
  GStartScanLine start(nullptr, 7);
  start.setSerialNumber(3);
  const std::string startBytes = bytes({0x88, 0x88, 0x00, 0x00}) + le16(ClassId::GStartScanLine) +
                                 // root: version, id, serial; command: version, nil attribute
                                 le32(1) + le32(7) + le32(3) + le32(1);
  const std::string stored = storedBytes(&start);
  ASSERT_GE(stored.size(), startBytes.size());
  EXPECT_EQ(stored.substr(0, startBytes.size()), startBytes);
  // graphic version, then the mark's own.
  EXPECT_EQ(stored.substr(stored.size() - 8), le32(1) + le32(1));
  GEndScanLine end(nullptr, 8);
  for (const MPersistentObject* mark : {static_cast<const MPersistentObject*>(&start),
                                        static_cast<const MPersistentObject*>(&end)}) {
    const std::unique_ptr<RWCollectable> markBack(restoredFrom(storedBytes(mark)));
    ASSERT_NE(markBack, nullptr);
    EXPECT_EQ(markBack->isA(), mark->isA());
    EXPECT_TRUE(mark->matches(dynamic_cast<const MPersistentObject*>(markBack.get())));
    EXPECT_EQ(storedBytes(mark).size(), mark->binaryStoreSize() + 6);
  }
}

}  // namespace
