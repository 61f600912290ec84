// Composite commands and the path in memory: what each composite takes and
// what it refuses, how a stage walks one and dispatches a path whole, the
// child operations they pass to their member list, copies, and the path's
// box.

#include "journal/cmdcomp.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "graphics/gattrib.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "testkit/core/stage.h"

namespace {

using Call = RecordingPeripheral::Call;

// A T that counts its destructions.
template <class T>
class Counted : public T {
 public:
  using T::T;
  ~Counted() override { ++destroyed; }
  static inline int destroyed = 0;
};

GRectangleGraphic* rectangle(int16_t l, int16_t t, int16_t r, int16_t b, uint32_t id = 0) {
  return new GRectangleGraphic(nullptr, GRect(l, t, r, b), id);
}

TEST(Composites, EachTakesWhatItsClassAdmitsAndDisposesOfTheRest) {
  const std::function<GCommand*()> composites[] = {
      [] { return new GCommandComposite; },
      [] { return new GDocumentComposite; },
      [] { return new GPageComposite; },
      [] { return new GGraphicComposite; },
  };
  enum { kCommand, kDocument, kPage, kGraphic };
  const struct {
    const char* what;
    int composite;
    std::function<MPersistentObject*()> offer;
    std::function<int()> destroyed;
    bool taken;
  } cases[] = {
      {"document start", kDocument, [] { return new Counted<GDocumentStart>; },
       [] { return Counted<GDocumentStart>::destroyed; }, false},
      {"document end", kDocument, [] { return new Counted<GDocumentEnd>; },
       [] { return Counted<GDocumentEnd>::destroyed; }, false},
      {"first half", kDocument, [] { return new Counted<GManualDuplexFirstHalf>; },
       [] { return Counted<GManualDuplexFirstHalf>::destroyed; }, false},
      {"page start into a document", kDocument, [] { return new Counted<GPageStart>; },
       [] { return Counted<GPageStart>::destroyed; }, true},
      {"page start", kPage, [] { return new Counted<GPageStart>; }, [] { return Counted<GPageStart>::destroyed; },
       false},
      {"page end", kPage, [] { return new Counted<GPageEnd>; }, [] { return Counted<GPageEnd>::destroyed; }, false},
      {"document end into a page", kPage, [] { return new Counted<GDocumentEnd>; },
       [] { return Counted<GDocumentEnd>::destroyed; }, false},
      {"attribute into a page", kPage, [] { return new Counted<GValueAttribute>(1, 2); },
       [] { return Counted<GValueAttribute>::destroyed; }, false},
      {"null command into a page", kPage, [] { return new Counted<GNullCommand>; },
       [] { return Counted<GNullCommand>::destroyed; }, true},
      {"document end into graphics", kGraphic, [] { return new Counted<GDocumentEnd>; },
       [] { return Counted<GDocumentEnd>::destroyed; }, false},
      {"rectangle into graphics", kGraphic, [] { return new Counted<GRectangleGraphic>(nullptr, GRect(), 0); },
       [] { return Counted<GRectangleGraphic>::destroyed; }, true},
      {"attribute into any", kCommand, [] { return new Counted<GValueAttribute>(1, 2); },
       [] { return Counted<GValueAttribute>::destroyed; }, false},
      {"document start into any", kCommand, [] { return new Counted<GDocumentStart>; },
       [] { return Counted<GDocumentStart>::destroyed; }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool prepend : {false, true}) {
      std::unique_ptr<GCommand> composite(composites[c.composite]());
      composite->insert(rectangle(0, 0, 1, 1));
      const int before = c.destroyed();
      MPersistentObject* offered = c.offer();
      if (prepend)
        composite->prepend(offered);
      else
        composite->insert(offered);
      EXPECT_EQ(composite->entries(), c.taken ? 2u : 1u);
      EXPECT_EQ(c.destroyed(), before + (c.taken ? 0 : 1)) << "a refused object nobody holds is gone";
      if (c.taken) {
        EXPECT_EQ(dynamic_cast<GCommandChildren*>(composite.get())->child(prepend ? 0 : 1), offered);
      }

      // Refused while a counted holder shares it: left to that holder.
      GCountedPtr shared(c.offer());
      composite->insert(shared.get());
      EXPECT_EQ(shared->references(), c.taken ? 2 : 1);
      if (!c.taken) {
        EXPECT_EQ(c.destroyed(), before + 1);
      }
    }
  }
}

TEST(Composites, ACompositeNeverTakesItselfOrWhatHoldsIt) {
  GCountedPtr outer(new GCommandComposite);
  auto* inner = new GCommandComposite;
  outer->insert(inner);
  outer->insert(outer.get());
  inner->insert(outer.get());
  inner->prepend(inner);
  EXPECT_EQ(outer->entries(), 1u);
  EXPECT_EQ(inner->entries(), 0u);
  EXPECT_EQ(outer->references(), 1) << "neither kept nor deleted";
}

TEST(Composites, AStageWalksTheChildrenInOrder) {
  RecordingPeripheral stage;
  auto* page = new GPageComposite;
  page->insert(rectangle(0, 0, 1, 1, 1));
  auto* inner = new GGraphicComposite;
  inner->insert(new GPolyLineToGraphic(nullptr, GPointArray(), 2));
  page->insert(inner);
  page->insert(rectangle(0, 0, 1, 1, 3));
  const GCommandPtr in(page);
  EXPECT_EQ(stage.process(in), in);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onRectangle", ClassId::GRectangleGraphic, 1},
                                              {"onPolyLineTo", ClassId::GPolyLineToGraphic, 2},
                                              {"onRectangle", ClassId::GRectangleGraphic, 3}}));
  EXPECT_EQ(page->accept(stage), 0);
  EXPECT_EQ(stage.calls().size(), 3u) << "a composite's own accept calls nothing";
}

TEST(Composites, ChildOperationsReachTheMemberList) {
  GDocumentComposite document(5);
  auto* page = new GPageComposite(6);
  page->insert(new GNullCommand(7));
  page->insert(rectangle(1, 2, 3, 4, 8));
  document.insert(page);
  document.insert(new GPageEnd(9));
  document.prepend(new GPageStart(4));

  EXPECT_EQ(document.entries(), 3u);
  EXPECT_EQ(document.totalEntries(), 6u);
  EXPECT_TRUE(document.isComposite());
  EXPECT_EQ(document.findById(8)->isA(), ClassId::GRectangleGraphic) << "found below the page";
  EXPECT_EQ(document.findByClassId(ClassId::GPageStart)->id(), 4u);
  EXPECT_EQ(document.findByKind(ClassId::GGraphic)->id(), 8u);
  std::unique_ptr<MPersistentComposite> commands(document.selectByKind(ClassId::GPageCommand));
  ASSERT_NE(commands, nullptr);
  EXPECT_EQ(commands->entries(), 2u) << "the start and the end: a composite collects only from its children";

  std::unique_ptr<MPersistentObject> removed(document.removeById(7));
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(page->entries(), 1u);
  EXPECT_EQ(document.child(0)->id(), 4u) << "the prepended page start is first";

  std::unique_ptr<GChildIterator> it(document.createIterator());
  std::vector<uint32_t> ids;
  while (it->advance()) ids.push_back(it->current()->id());
  EXPECT_EQ(ids, (std::vector<uint32_t>{4, 6, 9}));
  EXPECT_EQ(it->advance(), 1) << "after the end the walk starts again";

  document.clear();
  EXPECT_EQ(document.entries(), 0u);
  EXPECT_EQ(document.totalEntries(), 1u);

  GCommandComposite two;
  two.insert(new GPageStart);
  two.insert(new GPageEnd);
  EXPECT_EQ(two.totalEntries(), 3u) << "the composite and its two leaves";
}

TEST(Composites, CopiesShareTheChildrenAndDeepCopiesHaveTheirOwn) {
  GGraphicComposite original(new GGraphicBundle, 3);
  GRectangleGraphic* child = rectangle(0, 0, 5, 5, 1);
  original.insert(child);

  GGraphicComposite copy(original);
  EXPECT_EQ(copy.child(0), child);
  EXPECT_EQ(child->references(), 2);
  EXPECT_EQ(copy.attributePointer(), original.attributePointer());
  EXPECT_TRUE(copy.matches(&original));

  std::unique_ptr<MPersistentObject> deep(original.deepCopy());
  auto* d = dynamic_cast<GGraphicComposite*>(deep.get());
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->child(0), nullptr);
  EXPECT_NE(d->child(0), child);
  EXPECT_EQ(child->references(), 2);
  EXPECT_TRUE(d->matches(&original));

  copy.insert(rectangle(0, 0, 5, 5, 2));
  EXPECT_FALSE(copy.matches(&original)) << "children differ";
  EXPECT_FALSE(GCommandComposite(3).matches(&original)) << "another class";
  original = copy;
  EXPECT_TRUE(original.matches(&copy));
  original = original;
  EXPECT_EQ(original.entries(), 2u);
}

TEST(Composites, TakingOwnershipReachesEveryChild) {
  GPoint points[] = {GPoint(1, 1), GPoint(2, 2)};
  auto* line = new GPolyLineToGraphic(nullptr, GPointArray::borrowing(points, 2), 1);
  auto* path = new GPathGraphic(nullptr, 2);
  auto* piece = new GPolyLineToGraphic(nullptr, GPointArray::borrowing(points, 2), 3);
  path->insert(piece);
  GCommandComposite composite;
  composite.insert(line);
  composite.insert(path);
  composite.takeOwnership();
  points[0] = GPoint(9, 9);
  EXPECT_EQ(*line->pointAt(0), GPoint(1, 1));
  EXPECT_EQ(*piece->pointAt(0), GPoint(1, 1)) << "a path's pieces too";
}

// ---- the graphic base and the path -----------------------------------------------------

TEST(Graphics, AGraphicTakesOnlyABundleStampedWithTheGroup) {
  auto* bundle = new GGraphicBundle;
  bundle->setId(5);
  GPathGraphic path(nullptr, 1);
  EXPECT_EQ(path.attributePointer(), nullptr);
  path.setAttribute(bundle);
  EXPECT_EQ(path.attributePointer(), bundle);
  EXPECT_EQ(bundle->id(), AttrId::GraphicGroup);

  const int before = Counted<GState>::destroyed;
  path.setAttribute(new Counted<GState>(AttrId::GraphicGroup));
  EXPECT_EQ(Counted<GState>::destroyed, before + 1);
  EXPECT_EQ(path.attributePointer(), bundle) << "the bundle is kept";

  GPathGraphic bare;
  bare.setAttribute(new Counted<GState>);
  EXPECT_EQ(Counted<GState>::destroyed, before + 2);
  EXPECT_EQ(bare.attributePointer(), nullptr);

  auto* given = new GGraphicBundle;
  given->setId(9);
  GRectangleGraphic r(given, GRect(), 0);
  EXPECT_EQ(given->id(), AttrId::GraphicGroup) << "stamped by the constructor";
}

TEST(Graphics, KindsReachUpToTheRoot) {
  GPathGraphic path;
  for (RWClassID id : {ClassId::GPathGraphic, ClassId::GGraphicComposite, ClassId::GGraphic, ClassId::GCommand,
                       ClassId::MPersistentObject})
    EXPECT_TRUE(path.isKindOf(id)) << id;
  EXPECT_FALSE(path.isKindOf(ClassId::GCommandComposite));
  GPageComposite page;
  for (RWClassID id : {ClassId::GPageComposite, ClassId::GPageCommand, ClassId::GCommand})
    EXPECT_TRUE(page.isKindOf(id)) << id;
  GDocumentComposite document;
  EXPECT_TRUE(document.isKindOf(ClassId::GDocumentCommand));
  EXPECT_EQ(document.attributePointer()->id(), AttrId::DocumentGroup);
  EXPECT_EQ(page.attributePointer()->id(), AttrId::PageGroup);
}

TEST(Path, TheBoxSpansEveryShapeAndNestedPath) {
  GPathGraphic path(nullptr, 1);
  EXPECT_EQ(path.boundingBox(), GRect(0, 0, 0, 0)) << "nothing in it";
  path.insert(rectangle(0, 0, 10, 10));
  auto* nested = new GPathGraphic(nullptr, 2);
  nested->insert(rectangle(5, -5, 20, 3));
  path.insert(nested);
  EXPECT_EQ(path.boundingBox(), GRect(0, -5, 20, 10));

  GPathGraphic alone;
  alone.insert(new GGraphicComposite);
  alone.insert(rectangle(-3, 4, -1, 6));
  EXPECT_EQ(alone.boundingBox(), GRect(-3, 4, -1, 6)) << "a piece without box is passed over";
}

TEST(Path, AStageDispatchesItWholeToItsHandler) {
  RecordingPeripheral stage;
  auto* path = new GPathGraphic(new GGraphicBundle, 7);
  path->insert(rectangle(0, 0, 1, 1, 1));
  auto* nested = new GPathGraphic(nullptr, 2);
  nested->insert(new GPolyLineToGraphic(nullptr, GPointArray(), 3));
  path->insert(nested);
  const GCommandPtr in(path);
  EXPECT_EQ(stage.process(in), in);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onPath", ClassId::GPathGraphic, 7}}));

  EXPECT_FALSE(path->isComposite());
  std::unique_ptr<GChildIterator> it(path->createIterator());
  EXPECT_EQ(it->advance(), 0);
  EXPECT_EQ(path->entries(), 2u) << "the pieces are still reachable";
  EXPECT_EQ(path->findById(3)->isA(), ClassId::GPolyLineToGraphic);
}

TEST(Path, PathsMatchOnlyWithTheSameClosedFlag) {
  auto make = [](bool closed) {
    auto p = std::make_unique<GPathGraphic>(nullptr, 1);
    p->insert(rectangle(0, 0, 2, 2));
    if (closed) p->setClosed();
    return p;
  };
  EXPECT_TRUE(make(false)->matches(make(false).get()));
  EXPECT_TRUE(make(true)->matches(make(true).get()));
  EXPECT_FALSE(make(true)->matches(make(false).get()));
  EXPECT_FALSE(make(false)->matches(make(true).get()));
  std::unique_ptr<GPathGraphic> closed = make(true);
  EXPECT_EQ(closed->isClosed(), 1);
  GPathGraphic copy(*closed);
  EXPECT_EQ(copy.isClosed(), 1);
  EXPECT_TRUE(copy.matches(closed.get()));
  GGraphicComposite sameChildren(nullptr, 1);
  sameChildren.insert(rectangle(0, 0, 2, 2));
  EXPECT_FALSE(make(false)->matches(&sameChildren));
}

}  // namespace
