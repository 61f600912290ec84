// Paints, brushes and pens: their kinds and defaults, the matching that
// decides whether a generator is sent an equal pen or brush again, how
// copies share a paint and own colours and dashes, the two dispatches (a
// stage's handler, then the generator's paint operation), and their stored
// forms: the bytes written out by hand, every stream form, and damaged or
// hostile stores.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/visitor.h"
#include "graphics/brush.h"
#include "graphics/color.h"
#include "graphics/paint.h"
#include "graphics/paintcb.h"
#include "graphics/pen.h"
#include "rw/rwstore.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

std::unique_ptr<int16_t[]> dashArray(std::initializer_list<int16_t> lengths) {
  auto dashes = std::make_unique<int16_t[]>(lengths.size());
  std::copy(lengths.begin(), lengths.end(), dashes.get());
  return dashes;
}

GColorPaint* redPaint(uint32_t id = 0) {
  auto* paint = new GColorPaint(new GRGBColor(255, 0, 0, 255));
  paint->setId(id);
  return paint;
}

TEST(Paints, KindsAndDefaults) {
  const struct {
    std::unique_ptr<MPersistentObject> object;
    RWClassID kind;
    std::vector<RWClassID> kinds;
  } rows[] = {
      {std::make_unique<GColorPaint>(), 152, {152, 151, 751}},
      {std::make_unique<GBrush>(), 251, {251, 754, 753, 751}},
      {std::make_unique<GNoBrush>(), 251, {252, 251, 754, 753, 751}},
      {std::make_unique<GPen>(), 201, {201, 754, 753, 751}},
      {std::make_unique<GNoPen>(), 201, {202, 201, 754, 753, 751}},
      {std::make_unique<GDashedPen>(), 201, {203, 201, 754, 753, 751}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.object->isA());
    EXPECT_EQ(row.object->id(), 0u);
    EXPECT_EQ(row.object->kind(), row.kind);
    for (RWClassID k : row.kinds) EXPECT_TRUE(row.object->isKindOf(k)) << k;
    EXPECT_FALSE(row.object->isKindOf(301));
  }
  EXPECT_FALSE(GBrush().isKindOf(252));
  EXPECT_FALSE(GPen().isKindOf(203));

  EXPECT_EQ(GColorPaint().color(), nullptr);
  EXPECT_EQ(GBrush().paint(), nullptr);
  EXPECT_EQ(GPen().width(), 1);
  EXPECT_EQ(GNoPen().width(), 0);
  EXPECT_EQ(GNoPen(160).width(), 1) << "made with a key";
  EXPECT_EQ(GNoPen(160).id(), 160u);
  const GDashedPen plain;
  EXPECT_EQ(plain.width(), 0);
  EXPECT_EQ(plain.dashes(), nullptr);
  EXPECT_EQ(plain.dashCount(), 0u);
  EXPECT_EQ(plain.dashOffset(), 0);

  const GDashedPen noArray(nullptr, 5, 3, nullptr, 2, 160);
  EXPECT_EQ(noArray.dashCount(), 0u) << "a null array, whatever the count";
  EXPECT_EQ(noArray.dashes(), nullptr);

  const GDashedPen dashed(dashArray({4, 2}), 2, 3, nullptr, 7, 160);
  ASSERT_EQ(dashed.dashCount(), 2u);
  EXPECT_EQ(dashed.dashes()[0], 4);
  EXPECT_EQ(dashed.dashes()[1], 2);
  EXPECT_EQ(dashed.dashOffset(), 7);
  EXPECT_EQ(dashed.width(), 3);

  // Kept as given, answered as their low 16 bits.
  GPen wide(40000, nullptr, 160);
  EXPECT_EQ(wide.width(), -25536);
  wide.setWidth(-32769);
  EXPECT_EQ(wide.width(), 32767);
  EXPECT_EQ(GDashedPen(nullptr, 0, 1, nullptr, 65537).dashOffset(), 1);
}

TEST(Paints, MatchingDecidesWhatIsSentAgain) {
  using Make = std::function<std::unique_ptr<MPersistentObject>()>;
  auto colourPaint = [](uint32_t id, const GColor* colour) {
    return [=] {
      auto paint = std::make_unique<GColorPaint>(colour ? colour->copy() : nullptr);
      paint->setId(id);
      return std::unique_ptr<MPersistentObject>(std::move(paint));
    };
  };
  const GRGBColor red(255, 0, 0, 255);
  const GRGBColor blue(0, 0, 255, 255);
  auto pen = [](int32_t width, GPaint* paint, uint32_t key = 160) {
    return [=] { return std::unique_ptr<MPersistentObject>(new GPen(width, paint ? paint->copy() : nullptr, key)); };
  };
  auto dashed = [](std::initializer_list<int16_t> lengths, int32_t offset, uint32_t key = 160) {
    std::vector<int16_t> kept(lengths);
    return [=] {
      auto dashes = std::make_unique<int16_t[]>(kept.size());
      std::copy(kept.begin(), kept.end(), dashes.get());
      return std::unique_ptr<MPersistentObject>(
          new GDashedPen(std::move(dashes), static_cast<uint32_t>(kept.size()), 2, nullptr, offset, key));
    };
  };
  auto brush = [](GPaint* paint, uint32_t key = 154) {
    return [=] { return std::unique_ptr<MPersistentObject>(new GBrush(paint ? paint->copy() : nullptr, key)); };
  };
  const std::unique_ptr<GColorPaint> redP(redPaint());
  const std::unique_ptr<GColorPaint> blueP(new GColorPaint(blue.copy()));
  const std::unique_ptr<GColorPaint> bare(new GColorPaint);
  const struct {
    const char* what;
    Make a, b;
    bool match;
  } rows[] = {
      {"colour paints, same colour", colourPaint(0, &red), colourPaint(0, &red), true},
      {"colour paints, other colours", colourPaint(0, &red), colourPaint(0, &blue), false},
      {"colour paints, other ids", colourPaint(0, &red), colourPaint(1, &red), false},
      {"a colour paint missing its colour", colourPaint(0, &red), colourPaint(0, nullptr), true},
      {"both missing their colours, other ids", colourPaint(0, nullptr), colourPaint(3, nullptr), false},
      {"brushes, matching paints", brush(redP.get()), brush(redP.get()), true},
      {"brushes, other paints", brush(redP.get()), brush(blueP.get()), false},
      {"brushes, one without a paint", brush(redP.get()), brush(nullptr), false},
      {"brushes, neither with a paint", brush(nullptr), brush(nullptr), true},
      {"brushes, one paint without a colour", brush(redP.get()), brush(bare.get()), true},
      {"brushes, other keys", brush(redP.get()), brush(redP.get(), 0), false},
      {"a brush and a null brush", brush(nullptr), [] { return std::make_unique<GNoBrush>(154); }, false},
      {"null brushes", [] { return std::make_unique<GNoBrush>(154); },
       [] { return std::make_unique<GNoBrush>(154); }, true},
      {"null brushes, other keys", [] { return std::make_unique<GNoBrush>(154); },
       [] { return std::make_unique<GNoBrush>(0); }, false},
      {"pens, same width and paint", pen(4, redP.get()), pen(4, redP.get()), true},
      {"pens, other widths", pen(4, redP.get()), pen(5, redP.get()), false},
      {"pens, other paints", pen(4, redP.get()), pen(4, blueP.get()), false},
      {"pens, one without a paint", pen(4, nullptr), pen(4, redP.get()), false},
      {"pens, other keys", pen(4, nullptr), pen(4, nullptr, 0), false},
      {"pens 40000 and -25536 wide, one width as sent", pen(40000, nullptr), pen(-25536, nullptr), true},
      {"null pens", [] { return std::make_unique<GNoPen>(160); }, [] { return std::make_unique<GNoPen>(160); },
       true},
      {"null pens, one given a paint",
       [] { return std::make_unique<GNoPen>(160); },
       [&] {
         auto p = std::make_unique<GNoPen>(160);
         p->setPaint(redP->copy());
         return p;
       },
       false},
      {"a pen and a null pen", pen(1, nullptr), [] { return std::make_unique<GNoPen>(160); }, false},
      {"dashed pens, equal", dashed({3, 1}, 2), dashed({3, 1}, 2), true},
      {"dashed pens, other counts", dashed({3, 1}, 2), dashed({3, 1, 1}, 2), false},
      {"dashed pens, other offsets", dashed({3, 1}, 2), dashed({3, 1}, 3), false},
      {"dashed pens, other lengths", dashed({3, 1}, 2), dashed({3, 2}, 2), false},
      {"dashed pens, no dashes", dashed({}, 0), dashed({}, 0), true},
      {"a dashed pen and a pen", dashed({}, 0), pen(2, nullptr), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const auto a = row.a();
    const auto b = row.b();
    EXPECT_EQ(bool(a->matches(b.get())), row.match);
    EXPECT_EQ(bool(b->matches(a.get())), row.match);
    EXPECT_FALSE(a->matches(nullptr));
  }
  // A null pen given a paint matches nothing, not even itself.
  GNoPen painted(160);
  painted.setPaint(redPaint());
  EXPECT_FALSE(painted.matches(&painted));
}

TEST(Paints, CopiesShareThePaintAndOwnColoursAndDashes) {
  GColorPaint* paint = redPaint(9);
  GBrush brush(paint, 154);
  EXPECT_EQ(paint->references(), 1);
  {
    const std::unique_ptr<GBrush> copied(brush.copy());
    EXPECT_EQ(copied->paint(), paint) << "shared, not copied";
    EXPECT_EQ(paint->references(), 2);
    GPen pen(3, paint, 160);
    const std::unique_ptr<GPen> penCopy(pen.copy());
    EXPECT_EQ(penCopy->paint(), paint);
    EXPECT_EQ(paint->references(), 4);
  }
  EXPECT_EQ(paint->references(), 1);

  // The same paint again changes nothing; another releases the last
  // reference, which deletes the paint (the sanitizer build would see it
  // leak or used afterwards).
  brush.setPaint(paint);
  EXPECT_EQ(paint->references(), 1);
  GBrush other;
  other = brush;
  EXPECT_EQ(other.paint(), paint);
  other.setPaint(nullptr);
  brush.setPaint(redPaint());
  EXPECT_NE(brush.paint(), nullptr);

  // A colour paint's copy holds a copy of the colour.
  const std::unique_ptr<GColorPaint> copiedPaint(static_cast<GColorPaint*>(brush.paint())->copy());
  ASSERT_NE(copiedPaint->color(), nullptr);
  EXPECT_NE(copiedPaint->color(), static_cast<GColorPaint*>(brush.paint())->color());
  EXPECT_TRUE(copiedPaint->matches(brush.paint()));
  GColorPaint assigned;
  assigned = *copiedPaint;
  EXPECT_NE(assigned.color(), copiedPaint->color());
  EXPECT_TRUE(assigned.color()->matches(copiedPaint->color()));
  GColor* kept = assigned.color();
  assigned.setColor(kept);
  EXPECT_EQ(assigned.color(), kept) << "the colour held, given again, stays";
  assigned.setColor(new GGrayColor(5, 255));
  EXPECT_EQ(assigned.color()->isA(), ClassId::GGrayColor);

  // A dashed pen's copy owns its own array of the same lengths.
  GDashedPen dashed(dashArray({5, 1, 2}), 3, 2, nullptr, 1, 160);
  const std::unique_ptr<GDashedPen> dashedCopy(dashed.copy());
  EXPECT_NE(dashedCopy->dashes(), dashed.dashes());
  EXPECT_TRUE(dashedCopy->matches(&dashed));
  GDashedPen dashedAssigned;
  dashedAssigned = dashed;
  EXPECT_NE(dashedAssigned.dashes(), dashed.dashes());
  EXPECT_TRUE(dashedAssigned.matches(&dashed));
}

// Pens and brushes take their places in a bundle by family: an equal one
// leaves the member as it is, any class of the family replaces it.
TEST(Paints, ABundleKeepsAnEqualPenAndTakesAnyOtherOfTheFamily) {
  GGraphicBundle bundle;
  GColorPaint* paint = redPaint();
  bundle.setPen(new GPen(4, paint));
  bundle.setBrush(new GBrush(paint));
  GGraphicAttribute* pen = bundle.pen();
  bundle.setPen(new GPen(4, paint->copy()));
  EXPECT_EQ(bundle.pen(), pen) << "an equal pen is not sent again";
  bundle.setPen(new GPen(5, paint));
  EXPECT_NE(bundle.pen(), pen);
  bundle.setPen(new GNoPen(0));
  ASSERT_NE(bundle.pen(), nullptr);
  EXPECT_EQ(bundle.pen()->isA(), ClassId::GNoPen);
  EXPECT_EQ(bundle.pen()->id(), AttrId::Pen);
  bundle.setPen(new GDashedPen(dashArray({2}), 1, 1, nullptr, 0));
  EXPECT_EQ(bundle.pen()->isA(), ClassId::GDashedPen);
  bundle.setBrush(new GNoBrush);
  EXPECT_EQ(bundle.brush()->isA(), ClassId::GNoBrush);
  EXPECT_EQ(bundle.entries(), 2u);
}

// The stage handler of each class, then the generator's paint operation
// for each use.
class Handlers : public GPeripheralHandlers, public GPaintCallbacks {
 public:
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart*) override { return 0; }
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd*) override { return 0; }
  [[nodiscard]] GStatus onPageStart(GPageStart*) override { return 0; }
  [[nodiscard]] GStatus onPageEnd(GPageEnd*) override { return 0; }
  [[nodiscard]] GStatus onJobAbort(GJobAbort*) override { return 0; }
  [[nodiscard]] GStatus onBrush(GBrush*) override { return log("onBrush"); }
  [[nodiscard]] GStatus onNoBrush(GNoBrush*) override { return log("onNoBrush"); }
  [[nodiscard]] GStatus onPen(GPen*) override { return log("onPen"); }
  [[nodiscard]] GStatus onNoPen(GNoPen*) override { return log("onNoPen"); }
  [[nodiscard]] GStatus onDashedPen(GDashedPen*) override { return log("onDashedPen"); }
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint*) override { return log("setPenRasterPaint"); }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint* paint) override {
    paint_ = paint;
    return log("setPenColorPaint");
  }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint*) override { return log("setBrushRasterPaint"); }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint* paint) override {
    paint_ = paint;
    return log("setBrushColorPaint");
  }

  std::vector<std::string> calls;
  GColorPaint* paint_ = nullptr;

 private:
  [[nodiscard]] GStatus log(const char* call) {
    calls.emplace_back(call);
    return static_cast<GStatus>(calls.size());
  }
};

TEST(Paints, EachClassCallsItsOwnHandlerAndPaintOperation) {
  Handlers handlers;
  GBrush brush(redPaint(), 154);
  GNoBrush noBrush(154);
  GPen pen(2, redPaint(), 160);
  GNoPen noPen(160);
  GDashedPen dashed(dashArray({1}), 1, 2, nullptr, 0, 160);
  GGraphicAttribute* attributes[] = {&brush, &noBrush, &pen, &noPen, &dashed};
  // The recording handlers answer their call count, not a failure.
  for (GGraphicAttribute* a : attributes) (void)a->accept(handlers);
  EXPECT_EQ(handlers.calls, (std::vector<std::string>{"onBrush", "onNoBrush", "onPen", "onNoPen", "onDashedPen"}));

  handlers.calls.clear();
  EXPECT_EQ(pen.paint()->acceptAsPen(handlers), 1) << "the generator's status is answered";
  EXPECT_EQ(handlers.paint_, pen.paint());
  EXPECT_EQ(brush.paint()->acceptAsBrush(handlers), 2);
  EXPECT_EQ(handlers.paint_, brush.paint());
  EXPECT_EQ(handlers.calls, (std::vector<std::string>{"setPenColorPaint", "setBrushColorPaint"}));
}

// ---- stored forms ---------------------------------------------------------------------

std::string inFile(const std::string& object) { return le32(0x8888) + object; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
// The class tag, the root level, the attribute level (version, changed)
// and the graphics-state level (version).
std::string head(uint16_t classId, uint32_t id, uint32_t serial) {
  return le16(classId) + root(id, serial) + le32(1) + le32(1) + le32(1);
}

const std::string kNil = le16(0xFFFF) + le32(0);
const std::string kRed = le16(53) + root(0, 31) + le32(1) + le32(1) + bytes({255, 0, 0, 255});
// A colour paint of id 0, serial 30, holding kRed: the paint level
// (version, ignored), then its own (version, the colour).
const std::string kRedPaint = le16(152) + root(0, 30) + le32(1) + le32(1) + kRed;

GColorPaint* storedRedPaint() {
  auto* colour = new GRGBColor(255, 0, 0, 255);
  colour->setSerialNumber(31);
  auto* paint = new GColorPaint(colour);
  paint->setSerialNumber(30);
  return paint;
}

template <class T>
std::unique_ptr<MPersistentObject> serialled(T* object, uint32_t serial) {
  object->setSerialNumber(serial);
  return std::unique_ptr<MPersistentObject>(object);
}

struct Row {
  const char* what;
  std::function<std::unique_ptr<MPersistentObject>()> make;
  std::string file;
};

const Row kRows[] = {
    {"GColorPaint", [] { return serialled(storedRedPaint(), 30); }, inFile(kRedPaint)},
    {"GColorPaint without a colour", [] { return serialled(new GColorPaint, 5); },
     inFile(le16(152) + root(0, 5) + le32(1) + le32(1) + kNil)},
    {"GBrush", [] { return serialled(new GBrush(storedRedPaint(), 154), 40); },
     inFile(head(251, 154, 40) + le32(1) + kRedPaint)},
    {"GBrush without a paint", [] { return serialled(new GBrush(nullptr, 154), 41); },
     inFile(head(251, 154, 41) + le32(1) + kNil)},
    {"GNoBrush", [] { return serialled(new GNoBrush(154), 42); },
     inFile(head(252, 154, 42) + le32(1) + kNil + le32(1))},
    {"GPen", [] { return serialled(new GPen(4, storedRedPaint(), 160), 43); },
     inFile(head(201, 160, 43) + le32(1) + le16(4) + kRedPaint)},
    // 40000 keeps its low 16 bits, 0x9C40.
    {"GPen 40000 wide without a paint", [] { return serialled(new GPen(40000, nullptr, 160), 44); },
     inFile(head(201, 160, 44) + le32(1) + le16(0x9C40) + kNil)},
    {"GNoPen", [] { return serialled(new GNoPen(160), 45); },
     inFile(head(202, 160, 45) + le32(1) + le16(1) + kNil + le32(1))},
    // An offset of 70000 keeps its low 16 bits, 0x1170.
    {"GDashedPen", [] { return serialled(new GDashedPen(dashArray({3, -1}), 2, 5, nullptr, 70000, 160), 46); },
     inFile(head(203, 160, 46) + le32(1) + le16(5) + kNil + le32(1) + le16(0x1170) + le32(2) + le16(3) +
            le16(0xFFFF))},
    {"GDashedPen without dashes", [] { return serialled(new GDashedPen, 47); },
     inFile(head(203, 0, 47) + le32(1) + le16(0) + kNil + le32(1) + le16(0) + le32(0))},
};

class PaintStore : public StoreTest {};

TEST_F(PaintStore, EachClassStoresItsBytesAndComesBackFromEveryForm) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    const std::unique_ptr<MPersistentObject> object = row.make();
    expectStoredForm(*object, row.file);
    restoreEveryCut(object.get());
  }
}

TEST_F(PaintStore, RestoredPensKeepWhatTheStoreHolds) {
  // Stored truncated, a wide pen comes back as its low 16 bits.
  std::unique_ptr<RWCollectable> back(restoredFrom(kRows[6].file));
  EXPECT_EQ(static_cast<GPen*>(back.get())->width(), -25536);

  back.reset(restoredFrom(kRows[8].file));
  const auto* dashed = static_cast<GDashedPen*>(back.get());
  ASSERT_EQ(dashed->dashCount(), 2u);
  EXPECT_EQ(dashed->dashes()[1], -1);
  EXPECT_EQ(dashed->dashOffset(), 0x1170);

  // A restored brush holds the one reference to the paint it read.
  back.reset(restoredFrom(kRows[2].file));
  const auto* brush = static_cast<GBrush*>(back.get());
  ASSERT_NE(brush->paint(), nullptr);
  EXPECT_EQ(brush->paint()->references(), 1);
  ASSERT_NE(static_cast<GColorPaint*>(brush->paint())->color(), nullptr);
}

// Two pens sharing one paint store it once; restored, they share it again.
TEST_F(PaintStore, APaintSharedInOneStoreIsSharedOnRestore) {
  GColorPaint* paint = redPaint();
  GPen first(2, paint, 160);
  GBrush second(paint, 154);
  std::stringstream buffer;
  {
    RWbostream out(buffer);
    RWUseStoreTable table;
    out << static_cast<const RWCollectable*>(&first) << static_cast<const RWCollectable*>(&second);
  }
  RWbistream in(buffer);
  RWUseReadTable table;
  GPen* pen = nullptr;
  GBrush* brush = nullptr;
  in >> pen >> brush;
  const std::unique_ptr<GPen> ownedPen(pen);
  const std::unique_ptr<GBrush> ownedBrush(brush);
  ASSERT_TRUE(pen && brush);
  ASSERT_NE(pen->paint(), nullptr);
  EXPECT_EQ(brush->paint(), pen->paint());
  EXPECT_EQ(pen->paint()->references(), 2);
  EXPECT_TRUE(pen->matches(&first));
  EXPECT_TRUE(brush->matches(&second));
}

// Stores a damaged or hostile program may hand over: nothing allocated for
// a count the data does not hold, the object restored into keeping what
// it had when its level is not whole, and nothing owned twice (the
// sanitizer build fails a double free or a leak).
TEST_F(PaintStore, DamagedAndHostileStoresFailCleanly) {
  auto heldDashed = [] { return std::make_unique<GDashedPen>(dashArray({7, 7}), 2, 3, nullptr, 4, 160); };
  const std::string dashedHead = head(203, 160, 1) + le32(1) + le16(3) + kNil + le32(1) + le16(9);
  const struct {
    const char* what;
    std::string file;
    std::function<std::unique_ptr<MPersistentObject>()> make;
  } kept[] = {
      {"dash count 0xFFFFFFFF, one length", inFile(dashedHead + le32(0xFFFFFFFF) + le16(1)), heldDashed},
      {"dash count 0x7FFFFFFF, nothing after it", inFile(dashedHead + le32(0x7FFFFFFF)), heldDashed},
      {"dash count 3, cut in the third", inFile(dashedHead + le32(3) + le16(1) + le16(2) + bytes({3})), heldDashed},
      {"dashed level of version 2", inFile(head(203, 160, 1) + le32(1) + le16(3) + kNil + le32(2) + le16(9) +
                                           le32(1) + le16(1)),
       heldDashed},
      {"pen cut inside its paint", inFile(head(201, 160, 1) + le32(1) + le16(9) + kRedPaint.substr(0, 30)),
       [] { return std::make_unique<GPen>(3, redPaint(), 160); }},
      {"pen level of version 2", inFile(head(201, 160, 1) + le32(2) + le16(9) + kNil),
       [] { return std::make_unique<GPen>(3, redPaint(), 160); }},
      {"brush cut inside its paint's colour", inFile(head(251, 154, 1) + le32(1) + kRedPaint.substr(0, 40)),
       [] { return std::make_unique<GBrush>(redPaint(), 154); }},
      {"colour paint cut in its colour", inFile(le16(152) + root(0, 1) + le32(1) + le32(1) + kRed.substr(0, 20)),
       [] { return std::unique_ptr<MPersistentObject>(redPaint()); }},
  };
  for (const auto& c : kept) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    // Made by the factory...
    std::unique_ptr<RWCollectable> fresh(restoredFrom(c.file));
    // ...and restored into an object that holds values, which keeps them.
    putBytes(c.file);
    std::unique_ptr<MPersistentObject> held = c.make();
    {
      RWFile f(path().c_str(), "rb");
      f >> static_cast<RWCollectable&>(*held);
    }
    std::unique_ptr<MPersistentObject> made = c.make();
    made->setId(held->id());
    made->setSerialNumber(held->serialNumber());
    EXPECT_TRUE(held->matches(made.get()));
    // A colour paint missing its colour would match all the same.
    if (const auto* paint = dynamic_cast<GColorPaint*>(held.get())) {
      EXPECT_NE(paint->color(), nullptr);
    }
  }

  // A paint or a brush where the pen's paint belongs: no paint, and the
  // stray object disposed of.
  {
    std::unique_ptr<RWCollectable> back(
        restoredFrom(inFile(head(201, 160, 1) + le32(1) + le16(2) + le16(53) + root(0, 2) + le32(1) + le32(1) +
                            bytes({1, 2, 3, 4}))));
    auto* pen = dynamic_cast<GPen*>(back.get());
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(pen->paint(), nullptr);
    EXPECT_EQ(pen->width(), 2);
  }
  // A pen where the colour belongs.
  {
    std::unique_ptr<RWCollectable> back(
        restoredFrom(inFile(le16(152) + root(0, 1) + le32(1) + le32(1) + head(202, 160, 2) + le32(1) + le16(1) +
                            kNil + le32(1))));
    auto* paint = dynamic_cast<GColorPaint*>(back.get());
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(paint->color(), nullptr);
  }
}

// Within one restore, a colour or a paint stored as a reference to one an
// earlier reader holds (uncounted) becomes a copy: the sanitizer build
// would fail the double free of an object owned twice.
TEST_F(PaintStore, ReferencesToObjectsAnotherReaderHoldsAreCopied) {
  const std::string ref = le16(0xFFFF);
  // A colour (index 1), then a colour paint whose colour refers to it.
  putBytes(kRed + le16(152) + root(0, 2) + le32(1) + le32(1) + ref + le32(1) +
           // A paint (index 3, its colour 4), then a brush (index 5) whose
           // paint refers to it, then a pen (index 6) whose paint refers to
           // the first colour, which is no paint.
           kRedPaint + head(251, 154, 3) + le32(1) + ref + le32(3) + head(201, 160, 4) + le32(1) + le16(2) + ref +
           le32(1));
  ReportLog reports;
  RWFile f(path().c_str(), "rb");
  RWUseReadTable table;
  GRGBColor* colour = nullptr;
  GColorPaint* paint = nullptr;
  GColorPaint* otherPaint = nullptr;
  GBrush* brush = nullptr;
  GPen* pen = nullptr;
  f >> colour >> paint >> otherPaint >> brush >> pen;
  const std::unique_ptr<GRGBColor> ownedColour(colour);
  const std::unique_ptr<GColorPaint> ownedPaint(paint);
  const std::unique_ptr<GColorPaint> ownedOtherPaint(otherPaint);
  const std::unique_ptr<GBrush> ownedBrush(brush);
  const std::unique_ptr<GPen> ownedPen(pen);
  ASSERT_TRUE(colour && paint && otherPaint && brush && pen);

  ASSERT_NE(paint->color(), nullptr);
  EXPECT_NE(paint->color(), colour) << "a copy, not the colour its reader owns";
  EXPECT_TRUE(paint->color()->matches(colour));

  ASSERT_NE(brush->paint(), nullptr);
  EXPECT_NE(brush->paint(), otherPaint) << "a copy, not the paint its reader owns";
  EXPECT_TRUE(brush->paint()->matches(otherPaint));
  EXPECT_EQ(otherPaint->references(), 0);

  EXPECT_EQ(pen->paint(), nullptr);
  EXPECT_EQ(pen->width(), 2);
}

}  // namespace
