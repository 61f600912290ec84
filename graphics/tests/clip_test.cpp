// The clips: their defaults and kind, bounds and rectangles, the matching
// that compares key, fill rule, region and area, assignments that copy the
// area alone, and a clip of each class through a stage.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/clip.h"
#include "graphics/gattrib.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"

namespace {

using Call = RecordingPeripheral::Call;

void expectRect(const GRect& r, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  EXPECT_EQ(r, GRect(left, top, right, bottom));
}

// A path of a rectangle (0,0)-(10,10) and a nested path spanning
// (5,-5)-(20,3).
GPathGraphic* twoPiecePath(bool closed = false) {
  auto* path = new GPathGraphic(nullptr, 1);
  path->insert(new GRectangleGraphic(nullptr, GRect(0, 0, 10, 10)));
  auto* nested = new GPathGraphic(nullptr, 2);
  nested->insert(new GRectangleGraphic(nullptr, GRect(5, -5, 20, 3)));
  path->insert(nested);
  if (closed) path->setClosed();
  return path;
}

TEST(Clip, DefaultsAndKinds) {
  const struct {
    std::unique_ptr<GClipAttribute> clip;
    uint32_t id;
    int32_t region, fillRule;
  } rows[] = {
      {std::make_unique<GClipToPage>(), 177, 0, 1},
      {std::make_unique<GClipToRectangle>(), 0, 2, 2},
      {std::make_unique<GClipToSingleRectangle>(), 0, 2, 2},
      {std::make_unique<GClipToPath>(), 0, 2, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.clip->isA());
    EXPECT_EQ(row.clip->id(), row.id);
    EXPECT_EQ(row.clip->region(), row.region);
    EXPECT_EQ(row.clip->fillRule(), row.fillRule);
    EXPECT_EQ(row.clip->kind(), 756);
    for (RWClassID k : {row.clip->isA(), RWClassID(756), RWClassID(754), RWClassID(753), RWClassID(751)})
      EXPECT_TRUE(row.clip->isKindOf(k)) << k;
  }
  EXPECT_EQ(GClipToPage(5).id(), 5u);
  EXPECT_EQ(GClipToPage(5).fillRule(), 1);
  EXPECT_EQ(GClipToRectangle().count(), 0u);
  EXPECT_EQ(GClipToPath().path(), nullptr);
  expectRect(GClipToSingleRectangle().rectangle(), 0, 0, 0, 0);

  const GClipToRectangle one(GRect(1, 2, 3, 4), 1, 0, 9);
  EXPECT_EQ(one.region(), 1);
  EXPECT_EQ(one.fillRule(), 0);
  EXPECT_EQ(one.id(), 9u);
  ASSERT_EQ(one.count(), 1u);
}

TEST(Clip, BoundsAndRectangles) {
  const std::vector<GRect> three = {GRect(10, 20, 30, 40), GRect(-5, 25, 15, 90), GRect(0, -7, 50, 10)};
  const struct {
    const char* what;
    std::function<std::unique_ptr<GClipAttribute>()> make;
    int32_t answer;
    GRect bounds;
  } rows[] = {
      {"page", [] { return std::make_unique<GClipToPage>(); }, 0, GRect(7, 7, 7, 7)},
      {"path clip without a path", [] { return std::make_unique<GClipToPath>(); }, 0, GRect(7, 7, 7, 7)},
      {"path clip: the path's box", [] { return std::make_unique<GClipToPath>(twoPiecePath(), 0, 0); }, 1,
       GRect(0, -5, 20, 10)},
      {"list: the union", [&] { return std::make_unique<GClipToRectangle>(three, 0, 0); }, 1, GRect(-5, -7, 50, 90)},
      {"list of one", [] { return std::make_unique<GClipToRectangle>(GRect(1, 2, 3, 4), 0, 0); }, 1,
       GRect(1, 2, 3, 4)},
      {"single", [] { return std::make_unique<GClipToSingleRectangle>(GRect(-1, -2, 3, 4), 0, 0); }, 1,
       GRect(-1, -2, 3, 4)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    GRect out(7, 7, 7, 7);
    ReportLog reports;
    EXPECT_EQ(row.make()->bounds(out), row.answer);
    EXPECT_EQ(out, row.bounds);
    EXPECT_TRUE(reports.empty());
  }

  // An empty list has no element 0 to start the union from.
  ReportLog reports;
  GRect out(7, 7, 7, 7);
  EXPECT_EQ(GClipToRectangle().bounds(out), 0);
  expectRect(out, 7, 7, 7, 7);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, indexErr(0, 0));

  const GClipToRectangle list(three, 0, 0);
  for (uint32_t i = 0; i < 3; ++i) {
    GRect r;
    list.rectangleAt(i, r);
    EXPECT_EQ(r, three[i]);
  }
  for (uint32_t past : {3u, 0xFFFFFFFFu}) {
    GRect r(7, 7, 7, 7);
    list.rectangleAt(past, r);
    expectRect(r, 0, 0, 0, 0);
  }
}

TEST(Clip, MatchingComparesKeyRuleRegionAndArea) {
  const GRect r(1, 2, 3, 4);
  const GClipToSingleRectangle single(r, 0, 1, 177);
  const struct {
    const char* what;
    GClipToSingleRectangle other;
    bool match;
  } singles[] = {
      {"equal", GClipToSingleRectangle(r, 0, 1, 177), true},
      {"left", GClipToSingleRectangle(GRect(0, 2, 3, 4), 0, 1, 177), false},
      {"top", GClipToSingleRectangle(GRect(1, 0, 3, 4), 0, 1, 177), false},
      {"right", GClipToSingleRectangle(GRect(1, 2, 0, 4), 0, 1, 177), false},
      {"bottom", GClipToSingleRectangle(GRect(1, 2, 3, 0), 0, 1, 177), false},
      {"region", GClipToSingleRectangle(r, 1, 1, 177), false},
      {"fill rule", GClipToSingleRectangle(r, 0, 0, 177), false},
      {"key", GClipToSingleRectangle(r, 0, 1, 0), false},
  };
  for (const auto& row : singles) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(bool(single.matches(&row.other)), row.match);
  }

  const GRect s(5, 6, 7, 8);
  const GClipToRectangle list(std::vector<GRect>{r, s}, 0, 1, 177);
  EXPECT_TRUE(list.matches(std::make_unique<GClipToRectangle>(std::vector<GRect>{r, s}, 0, 1, 177).get()));
  EXPECT_FALSE(list.matches(std::make_unique<GClipToRectangle>(std::vector<GRect>{s, r}, 0, 1, 177).get()));
  EXPECT_FALSE(list.matches(std::make_unique<GClipToRectangle>(std::vector<GRect>{r}, 0, 1, 177).get()));
  EXPECT_FALSE(GClipToRectangle(r, 0, 1, 177).matches(&single)) << "one rectangle, another class";
  const GClipToPath path(twoPiecePath(), 0, 1, 177);
  EXPECT_TRUE(path.matches(std::make_unique<GClipToPath>(twoPiecePath(), 0, 1, 177).get()));
  EXPECT_FALSE(path.matches(std::make_unique<GClipToPath>(twoPiecePath(true), 0, 1, 177).get()))
      << "paths that differ in the closed flag";
  EXPECT_FALSE(path.matches(std::make_unique<GClipToPath>(nullptr, 0, 1, 177).get()));
  EXPECT_FALSE(GClipToPath(nullptr, 0, 1, 177).matches(&path));
  EXPECT_TRUE(GClipToPath(nullptr, 0, 1, 177).matches(std::make_unique<GClipToPath>(nullptr, 0, 1, 177).get()));
  EXPECT_FALSE(path.matches(std::make_unique<GClipToPath>(twoPiecePath(), 1, 1, 177).get()));
  EXPECT_TRUE(GClipToPage().matches(std::make_unique<GClipToPage>().get()));
  EXPECT_FALSE(GClipToPage().matches(std::make_unique<GClipToPage>(0).get()));
  EXPECT_FALSE(GClipToPage().matches(nullptr));
}

// Assignment copies the area; the target keeps its key, fill rule and
// region. Copies take everything.
TEST(Clip, AssignmentCopiesTheAreaAlone) {
  const GRect r(1, 2, 3, 4);
  GClipToRectangle list(std::vector<GRect>{r, r}, 1, 0, 50);
  list = GClipToRectangle(GRect(9, 9, 9, 9), 0, 1, 177);
  EXPECT_EQ(list.id(), 50u);
  EXPECT_EQ(list.region(), 1);
  EXPECT_EQ(list.fillRule(), 0);
  ASSERT_EQ(list.count(), 1u);
  GRect got;
  list.rectangleAt(0, got);
  expectRect(got, 9, 9, 9, 9);
  const GClipToRectangle& self = list;
  list = self;
  EXPECT_EQ(list.count(), 1u);

  GClipToSingleRectangle single(r, 1, 0, 50);
  single = GClipToSingleRectangle(GRect(5, 6, 7, 8), 0, 1, 177);
  EXPECT_EQ(single.id(), 50u);
  EXPECT_EQ(single.region(), 1);
  EXPECT_EQ(single.fillRule(), 0);
  expectRect(single.rectangle(), 5, 6, 7, 8);

  GClipToPage page(60);
  page.setRegion(1);
  page = GClipToPage();
  EXPECT_EQ(page.id(), 60u);
  EXPECT_EQ(page.region(), 1);

  GClipToPath path(twoPiecePath(), 1, 0, 50);
  const GClipToPath other(twoPiecePath(true), 0, 1, 177);
  path = other;
  EXPECT_EQ(path.id(), 50u);
  EXPECT_EQ(path.region(), 1);
  EXPECT_EQ(path.fillRule(), 0);
  ASSERT_NE(path.path(), nullptr);
  EXPECT_NE(path.path(), other.path()) << "a copy of the other's path";
  EXPECT_EQ(path.path()->isClosed(), 1);
  // Assigned to itself, a clip keeps its path: nothing is freed.
  GPathGraphic* held = path.path();
  const GClipToPath& selfPath = path;
  path = selfPath;
  EXPECT_EQ(path.path(), held);
  expectRect(path.path()->boundingBox(), 0, -5, 20, 10);
  path = GClipToPath();
  EXPECT_EQ(path.path(), nullptr);

  // Copies hold a path of their own.
  const GClipToPath withPath(twoPiecePath(), 1, 0, 50);
  std::unique_ptr<GClipToPath> copiedPath(withPath.copy());
  ASSERT_NE(copiedPath->path(), nullptr);
  EXPECT_NE(copiedPath->path(), withPath.path());
  EXPECT_TRUE(copiedPath->matches(&withPath));

  const GClipToRectangle original(std::vector<GRect>{r, GRect(5, 6, 7, 8)}, 1, 0, 50);
  std::unique_ptr<GClipToRectangle> copied(original.copy());
  EXPECT_TRUE(copied->matches(&original));
  EXPECT_EQ(copied->region(), 1);
}

TEST(Clip, EachClassReachesItsHandlerAndAnyClipReplacesAnother) {
  RecordingPeripheral stage;
  auto send = [&](GGraphicAttribute* clip) {
    auto* bundle = new GGraphicBundle;
    bundle->setClip(clip);
    stage.process(GCommandPtr(new GNullCommand(bundle, 0)));
  };
  send(new GClipToPage(0));
  send(new GClipToRectangle(GRect(1, 2, 3, 4), 0, 0));
  send(new GClipToRectangle(GRect(1, 2, 3, 4), 0, 0));
  send(new GClipToSingleRectangle(GRect(1, 2, 3, 4), 0, 0));
  send(new GClipToPath(twoPiecePath(), 0, 0));
  send(new GClipToPath(twoPiecePath(), 0, 0));
  send(new GClipToPage(0));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onClipToPage", 503, 177},
                                              {"onClipToRectangle", 501, 177},
                                              {"onClipToSingleRectangle", 504, 177},
                                              {"onClipToPath", 502, 177},
                                              {"onClipToPage", 503, 177}}));
  EXPECT_EQ(stage.attributeGroup(AttrId::GraphicGroup)->entries(), 1u);
}

}  // namespace
