// The graphic bundle: its seven members by key, the state rule its setters
// follow (a matching member stays, another class of the family replaces it
// in place, nothing still held is freed), takes from shared bundles, a
// bundle's way through a stage to the handlers, and its stored form.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "graphfix.h"
#include "graphics/gattrib.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "testkit/bytes.h"
#include "testkit/core/stage.h"
#include "testkit/store.h"

namespace {

using Call = RecordingPeripheral::Call;

MPersistentObject* at(const GAttributeComposite& c, RWsize i) { return c.children().pointee(i); }

// One row per member: its operations, its key and a family that fits it.
struct MemberOps {
  const char* name;
  void (GGraphicBundle::*set)(GGraphicAttribute*);
  GGraphicAttribute* (GGraphicBundle::*take)();
  GGraphicAttribute* (GGraphicBundle::*get)() const;
  uint32_t key;
  RWClassID family;
};

const MemberOps kMembers[] = {
    {"brush", &GGraphicBundle::setBrush, &GGraphicBundle::takeBrush, &GGraphicBundle::brush, 154, ClassId::GBrush},
    {"pen", &GGraphicBundle::setPen, &GGraphicBundle::takePen, &GGraphicBundle::pen, 160, ClassId::GPen},
    {"cap", &GGraphicBundle::setCap, &GGraphicBundle::takeCap, &GGraphicBundle::cap, 166, ClassId::GCap},
    {"join", &GGraphicBundle::setJoint, &GGraphicBundle::takeJoint, &GGraphicBundle::joint, 172, ClassId::GJoint},
    {"clip", &GGraphicBundle::setClip, &GGraphicBundle::takeClip, &GGraphicBundle::clip, 177,
     ClassId::GClipAttribute},
    {"fill mode", &GGraphicBundle::setFillMode, &GGraphicBundle::takeFillMode, &GGraphicBundle::fillMode, 182,
     ClassId::GFillMode},
    {"raster operation", &GGraphicBundle::setRasterOperation, &GGraphicBundle::takeRasterOperation,
     &GGraphicBundle::rasterOperation, 183, ClassId::GRasterOperation},
};

// ---- members by key ------------------------------------------------------------------

TEST(GraphicBundle, IsTheGraphicGroupsState) {
  GGraphicBundle bundle;
  EXPECT_EQ(bundle.isA(), 101);
  EXPECT_EQ(bundle.id(), 244u);
  EXPECT_EQ(bundle.kind(), 101);
  for (RWClassID kind : {101, 758, 757, 753, 751}) EXPECT_TRUE(bundle.isKindOf(kind)) << kind;
  EXPECT_FALSE(bundle.isKindOf(754));
  EXPECT_EQ(GGraphicBundle(7).id(), 244u) << "the argument is ignored";

  TestGraphic pen(ClassId::GPen, 1);
  for (RWClassID kind : {GraphicsTestId::TestGraphic, RWClassID(754), RWClassID(753), RWClassID(751)}) {
    EXPECT_TRUE(pen.isKindOf(kind)) << kind;
  }
  EXPECT_EQ(pen.id(), 0u);
}

TEST(GraphicBundle, EachMemberLivesUnderItsKey) {
  for (const MemberOps& m : kMembers) {
    SCOPED_TRACE(m.name);
    GGraphicBundle bundle;
    (bundle.*m.set)(nullptr);
    EXPECT_EQ(bundle.entries(), 0u) << "null changes nothing";

    auto* attribute = new TestGraphic(m.family, 1);
    (bundle.*m.set)(attribute);
    EXPECT_EQ(attribute->id(), m.key) << "stamped with its key";
    EXPECT_EQ((bundle.*m.get)(), attribute);
    for (const MemberOps& other : kMembers) {
      if (&other == &m) continue;
      EXPECT_EQ((bundle.*other.get)(), nullptr) << other.name;
      EXPECT_EQ((bundle.*other.take)(), nullptr) << other.name << ": absent";
    }
    EXPECT_EQ(bundle.entries(), 1u) << "taking an absent member changes nothing";

    std::unique_ptr<GGraphicAttribute> taken((bundle.*m.take)());
    EXPECT_EQ(taken.get(), attribute) << "held by the bundle alone: the object itself";
    EXPECT_EQ(taken->references(), 0) << "the caller's";
    EXPECT_EQ((bundle.*m.get)(), nullptr);
    EXPECT_EQ((bundle.*m.take)(), nullptr);
    EXPECT_EQ(bundle.entries(), 0u);
  }

  // All seven together, in the order they were set.
  GGraphicBundle bundle;
  for (const MemberOps& m : kMembers) (bundle.*m.set)(new TestGraphic(m.family, 2));
  ASSERT_EQ(bundle.entries(), 7u);
  for (RWsize i = 0; i < 7; ++i) EXPECT_EQ(at(bundle, i)->id(), kMembers[i].key);
}

TEST(GraphicBundle, MembersAreFoundDepthFirstAndOnlyAmongGraphicsAttributes) {
  // A value attribute under the pen's key is no pen; a state before the
  // pen holds one of its own, found first.
  GGraphicBundle bundle;
  bundle.insert(new GValueAttribute(1, AttrId::Pen));
  auto* nested = new GState(50);
  auto* inner = new TestGraphic(ClassId::GPen, 1);
  inner->setId(AttrId::Pen);
  nested->insert(inner);
  bundle.insert(nested);
  auto* outer = new TestGraphic(ClassId::GPen, 2);
  outer->setId(AttrId::Pen);
  bundle.insert(outer);

  EXPECT_EQ(bundle.pen(), inner);
  std::unique_ptr<GGraphicAttribute> taken(bundle.takePen());
  EXPECT_EQ(taken.get(), inner);
  EXPECT_EQ(nested->entries(), 0u);
  EXPECT_EQ(bundle.pen(), outer);
  EXPECT_EQ(bundle.entries(), 3u);
}

// ---- the state rule ------------------------------------------------------------------

TEST(GraphicBundle, AMatchingMemberStaysAndAnotherClassOfItsFamilyReplacesIt) {
  GGraphicBundle bundle;
  auto* brush = new TestGraphic(ClassId::GBrush, 1);
  auto* pen = new TestGraphic(ClassId::GPen, 1);
  auto* cap = new TestGraphic(ClassId::GCap, 1);
  bundle.setBrush(brush);
  bundle.setPen(pen);
  bundle.setCap(cap);
  pen->resetChanged();

  const int before = TestGraphic::destroyed;
  bundle.setPen(new TestGraphic(ClassId::GPen, 1));
  EXPECT_EQ(TestGraphic::destroyed, before + 1) << "the matching newcomer is dropped";
  EXPECT_EQ(bundle.pen(), pen);
  EXPECT_EQ(pen->isChanged(), 0) << "and the member keeps its flag";

  auto* noPen = new TestOtherGraphic(ClassId::GPen, 1);
  bundle.setPen(noPen);
  EXPECT_EQ(TestGraphic::destroyed, before + 2) << "the replaced pen went with the bundle's reference";
  ASSERT_EQ(bundle.entries(), 3u);
  EXPECT_EQ(at(bundle, 0), brush);
  EXPECT_EQ(at(bundle, 1), noPen) << "replaced in place";
  EXPECT_EQ(at(bundle, 2), cap);

  auto* wider = new TestGraphic(ClassId::GCap, 2);
  bundle.setCap(wider);
  EXPECT_EQ(at(bundle, 2), wider) << "a differing member of the same class is replaced too";
}

TEST(GraphicBundle, WhatIsStillHeldIsNeverFreed) {
  const int before = TestGraphic::destroyed;
  {
    GGraphicBundle bundle;
    auto* pen = new TestGraphic(ClassId::GPen, 1);
    bundle.setPen(pen);
    bundle.setPen(pen);
    EXPECT_EQ(bundle.entries(), 1u);
    EXPECT_EQ(bundle.pen(), pen);
    EXPECT_EQ(pen->references(), 1);

    // A member given under another key is left as it is, key included.
    bundle.setBrush(pen);
    EXPECT_EQ(pen->id(), AttrId::Pen);
    EXPECT_EQ(bundle.brush(), nullptr);

    // A device's cached cap, handed over again and again.
    GCountedPtr cache(new TestGraphic(ClassId::GCap, 5));
    bundle.setCap(static_cast<GGraphicAttribute*>(cache.get()));
    bundle.setCap(static_cast<GGraphicAttribute*>(cache.get()));
    EXPECT_EQ(cache->references(), 2);

    // A matching object a test still holds is not kept, and not freed.
    GCountedPtr held(new TestGraphic(ClassId::GCap, 5));
    bundle.setCap(static_cast<GGraphicAttribute*>(held.get()));
    EXPECT_EQ(held->references(), 1);
    EXPECT_EQ(bundle.cap(), cache.get());
    EXPECT_EQ(bundle.entries(), 2u);
    EXPECT_EQ(TestGraphic::destroyed, before);

    cache = nullptr;
    EXPECT_EQ(TestGraphic::destroyed, before) << "the bundle still holds the cached cap";
    EXPECT_EQ(static_cast<TestGraphic*>(bundle.cap())->value(), 5);
  }
  EXPECT_EQ(TestGraphic::destroyed, before + 3);
}

TEST(GraphicBundle, TakingFromACopiedBundleHandsOutACopy) {
  GGraphicBundle original;
  auto* pen = new TestGraphic(ClassId::GPen, 3);
  original.setPen(pen);
  GGraphicBundle copied(original);
  std::unique_ptr<GGraphicBundle> viaCopy(original.copy());
  GGraphicBundle assigned;
  assigned = original;
  for (const GGraphicBundle* b : {&copied, viaCopy.get(), &assigned}) EXPECT_EQ(b->pen(), pen);
  EXPECT_EQ(pen->references(), 4);

  std::unique_ptr<GGraphicAttribute> taken(copied.takePen());
  ASSERT_NE(taken, nullptr);
  EXPECT_NE(taken.get(), pen);
  EXPECT_TRUE(taken->matches(pen));
  EXPECT_EQ(copied.pen(), nullptr);
  EXPECT_EQ(original.pen(), pen) << "the other bundles keep their own";
  EXPECT_EQ(pen->references(), 3);

  // Setting replaces in the one bundle only.
  auto* other = new TestGraphic(ClassId::GPen, 4);
  assigned.setPen(other);
  EXPECT_EQ(assigned.pen(), other);
  EXPECT_EQ(original.pen(), pen);
}

// ---- through a stage -----------------------------------------------------------------

class BundleThroughStage : public ::testing::Test {
 protected:
  void SetUp() override { TestGraphic::accepted.clear(); }

  static GGraphicBundle* bundle(int32_t brush, int32_t pen, int32_t cap) {
    auto* b = new GGraphicBundle;
    b->setBrush(new TestGraphic(ClassId::GBrush, brush));
    b->setPen(new TestGraphic(ClassId::GPen, pen));
    b->setCap(new TestGraphic(ClassId::GCap, cap));
    return b;
  }

  // The handlers the command reached.
  std::vector<std::string> send(const GCommandPtr& command) {
    stage.clearCalls();
    TestGraphic::accepted.clear();
    EXPECT_EQ(stage.process(command), command);
    return stage.handlers();
  }

  // The command's bundle is its own: only the command holds it, the group
  // never took it in, and every member is still in it.
  void expectBundleKept(const GCommandPtr& command, GGraphicBundle* b, RWsize members) {
    EXPECT_EQ(command->attributePointer(), b);
    EXPECT_EQ(b->references(), 1);
    EXPECT_EQ(b->entries(), members);
    EXPECT_EQ(stage.state()->find(b), nullptr);
    EXPECT_EQ(stage.state()->findByClassId(ClassId::GGraphicBundle), nullptr);
  }

  GAttributeComposite* group() { return stage.attributeGroup(AttrId::GraphicGroup); }

  RecordingPeripheral stage;
};

TEST_F(BundleThroughStage, OnlyWhatChangedReachesItsHandler) {
  GGraphicBundle* first = bundle(1, 1, 1);
  const GCommandPtr firstCommand(new GNullCommand(first, 0));
  EXPECT_EQ(send(firstCommand), (std::vector<std::string>{"onBrush", "onPen", "onCap"}));
  expectBundleKept(firstCommand, first, 3);
  ASSERT_EQ(group()->entries(), 3u);
  EXPECT_EQ(group()->findById(AttrId::Pen), first->pen()) << "the group shares the members";

  // Only the pen differs: it alone is sent, and the group holds the new one.
  GGraphicBundle* second = bundle(1, 2, 1);
  const GCommandPtr secondCommand(new GNullCommand(second, 0));
  EXPECT_EQ(send(secondCommand), std::vector<std::string>{"onPen"});
  EXPECT_EQ(TestGraphic::accepted, std::vector<const MPersistentObject*>{second->pen()});
  EXPECT_EQ(group()->findById(AttrId::Pen), second->pen());
  EXPECT_EQ(group()->findById(AttrId::Brush), first->brush());
  expectBundleKept(secondCommand, second, 3);

  // The same bundle again reaches nothing.
  EXPECT_TRUE(send(secondCommand).empty());
  expectBundleKept(secondCommand, second, 3);
}

TEST_F(BundleThroughStage, AChangedTransformGoesFirstThenEveryMember) {
  const GCommandPtr start(new GNullCommand(bundle(1, 1, 1), 0));
  send(start);

  GGraphicBundle* moved = bundle(1, 1, 1);
  moved->insert(new GTransformAttribute(90, GPoint(10, 20), GScaleFactors(0.5f, 0.5f)));
  const GCommandPtr command(new GNullCommand(moved, 0));
  EXPECT_EQ(send(command), (std::vector<std::string>{"onTransformAttribute", "onBrush", "onPen", "onCap"}));
  EXPECT_EQ(stage.calls().front(), (Call{"onTransformAttribute", ClassId::GTransformAttribute, 0}));
  expectBundleKept(command, moved, 4);

  // Sent and consumed, the same transform changes nothing.
  EXPECT_TRUE(send(command).empty());
}

// ---- stored form ---------------------------------------------------------------------

std::string file(RWClassID classId, const std::string& body) { return le32(0x8888) + le16(classId) + body; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
// The attribute level, changed, and the graphics-state level.
std::string graphicLevels() { return le32(1) + le32(1) + le32(1); }

class BundleStore : public StoreTest {};

TEST_F(BundleStore, TheBundleLevelFollowsTheState) {
  GGraphicBundle bundle;
  bundle.setSerialNumber(50);
  auto* pen = new TestGraphic(ClassId::GPen, -2);
  bundle.setPen(pen);
  pen->setSerialNumber(51);
  const std::string member = le16(0x7A01) + root(160, 51) + graphicLevels() + le32(1) + le16(201) + le32(0xFFFFFFFE);
  // The attribute level (changed), the composite level with one child, the
  // state's version, the bundle's version.
  const std::string expected =
      file(101, root(244, 50) + le32(1) + le32(1) + le32(1) + le32(1) + member + le32(1) + le32(1));
  EXPECT_EQ(stored(bundle), expected);

  putBytes(expected);
  std::unique_ptr<GGraphicBundle> back(restoreFile<GGraphicBundle>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->id(), 244u);
  auto* backPen = dynamic_cast<TestGraphic*>(back->pen());
  ASSERT_NE(backPen, nullptr);
  EXPECT_EQ(backPen->value(), -2);
  EXPECT_EQ(backPen->serialNumber(), 51u);
}

TEST_F(BundleStore, EveryFormBringsBackTheMembersInOrderWithTheirKeys) {
  GGraphicBundle bundle;
  int32_t value = 1;
  for (const MemberOps& m : kMembers) {
    GGraphicAttribute* a = value % 2 ? new TestGraphic(m.family, value) : new TestOtherGraphic(m.family, value);
    (bundle.*m.set)(a);
    ++value;
  }
  bundle.insert(new GTransformAttribute(90, GPoint(1, 2), GScaleFactors(0.5f, 2.0f)));
  bundle.pen()->resetChanged();
  const std::string bytes = stored(bundle);

  const struct {
    const char* form;
    std::function<std::unique_ptr<GGraphicBundle>()> restore;
  } forms[] = {
      {"binary file",
       [&] {
         putBytes(bytes);
         return std::unique_ptr<GGraphicBundle>(restoreFile<GGraphicBundle>());
       }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(&bundle); }},
      {"binary stream", [&] { return throughStream<RWbostream, RWbistream>(&bundle); }},
      {"little-endian stream",
       [&] { return throughStream<RWeostream, RWeistream>(&bundle, RWeostream::LittleEndian); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(&bundle, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(f.form);
    std::unique_ptr<GGraphicBundle> back = f.restore();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->id(), 244u);
    ASSERT_EQ(back->entries(), 8u);
    for (RWsize i = 0; i < 8; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(at(*back, i)->isA(), at(bundle, i)->isA());
      EXPECT_EQ(at(*back, i)->id(), at(bundle, i)->id());
      EXPECT_TRUE(at(*back, i)->matches(at(bundle, i)));
    }
    for (const MemberOps& m : kMembers) EXPECT_EQ((back.get()->*m.get)()->id(), m.key) << m.name;
    EXPECT_EQ(back->pen()->isChanged(), 0);
    EXPECT_EQ(storeFile(back.get()), bytes) << "serial numbers and flags come back too";
  }
}

}  // namespace
