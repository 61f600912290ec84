// Line caps, joins and fill modes, and the raster operation: their values
// and kinds, the matching that decides whether a generator is sent an
// equal state again, the shared reading of a raster operation's
// transparency, and the way a bundle of them takes through a stage.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "graphics/rop.h"
#include "journal/ctlcmds.h"
#include "testkit/core/stage.h"

namespace {

using Call = RecordingPeripheral::Call;

TEST(LineAttributes, ValuesDefaultsAndKinds) {
  EXPECT_EQ(GCap().cap(), 1);
  EXPECT_EQ(GJoint().join(), 3);
  EXPECT_EQ(GFillMode().mode(), 2);

  GJoint joint(0, 172);
  EXPECT_EQ(joint.join(), 3) << "a joint made with 0 is no miter join";
  joint.setJoin(0);
  EXPECT_EQ(joint.join(), 0) << "set, 0 stays";
  EXPECT_EQ(GJoint(2).join(), 2);

  const GMiterJoint miter(10.5f, 172);
  EXPECT_EQ(miter.join(), 0) << "made over a round joint, then a miter join";
  EXPECT_EQ(miter.miterLimit(), 10.5f);
  EXPECT_EQ(GMiterJoint().join(), 0);
  EXPECT_EQ(GMiterJoint().miterLimit(), 0.0f);

  const struct {
    std::unique_ptr<GGraphicAttribute> attribute;
    RWClassID kind;
    std::vector<RWClassID> kinds;
  } rows[] = {
      {std::make_unique<GCap>(), 301, {301, 754, 753, 751}},
      {std::make_unique<GJoint>(), 351, {351, 754, 753, 751}},
      {std::make_unique<GMiterJoint>(), 351, {352, 351, 754, 753, 751}},
      {std::make_unique<GFillMode>(), 102, {102, 754, 753, 751}},
      {std::make_unique<GRasterOperation>(), 401, {401, 754, 753, 751}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.attribute->isA());
    EXPECT_EQ(row.attribute->id(), 0u);
    EXPECT_EQ(row.attribute->kind(), row.kind);
    for (RWClassID k : row.kinds) EXPECT_TRUE(row.attribute->isKindOf(k)) << k;
    EXPECT_FALSE(row.attribute->isKindOf(756));
  }
  EXPECT_FALSE(GJoint().isKindOf(352));
}

TEST(LineAttributes, MatchingDecidesWhatIsSentAgain) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const GMiterJoint nanJoint(nan, 172);
  GJoint setToMiter(1, 172);
  setToMiter.setJoin(0);
  const struct {
    const char* what;
    std::function<std::unique_ptr<GGraphicAttribute>()> a, b;
    bool match;
  } rows[] = {
      {"fill modes, different keys", [] { return std::make_unique<GFillMode>(1, 182); },
       [] { return std::make_unique<GFillMode>(1, 7); }, true},
      {"fill modes, different modes", [] { return std::make_unique<GFillMode>(1, 182); },
       [] { return std::make_unique<GFillMode>(0, 182); }, false},
      {"caps, same key and value", [] { return std::make_unique<GCap>(2, 166); },
       [] { return std::make_unique<GCap>(2, 166); }, true},
      {"caps, different keys", [] { return std::make_unique<GCap>(2, 166); },
       [] { return std::make_unique<GCap>(2, 0); }, false},
      {"caps, different values", [] { return std::make_unique<GCap>(2, 166); },
       [] { return std::make_unique<GCap>(0, 166); }, false},
      {"joints, different keys", [] { return std::make_unique<GJoint>(1, 172); },
       [] { return std::make_unique<GJoint>(1, 0); }, false},
      {"joints, different joins", [] { return std::make_unique<GJoint>(1, 172); },
       [] { return std::make_unique<GJoint>(2, 172); }, false},
      {"miter limits 10.0 and 10.5", [] { return std::make_unique<GMiterJoint>(10.0f, 172); },
       [] { return std::make_unique<GMiterJoint>(10.5f, 172); }, false},
      {"miter limits 10.5 and 10.5", [] { return std::make_unique<GMiterJoint>(10.5f, 172); },
       [] { return std::make_unique<GMiterJoint>(10.5f, 172); }, true},
      {"miter joint and a joint set to 0", [] { return std::make_unique<GMiterJoint>(1.0f, 172); },
       [&] { return std::make_unique<GJoint>(setToMiter); }, false},
      {"a limit that is not a number", [&] { return std::make_unique<GMiterJoint>(nanJoint); },
       [&] { return std::make_unique<GMiterJoint>(nanJoint); }, false},
      {"raster operations, different keys", [] { return std::make_unique<GRasterOperation>(0xAAF0, 1, 183); },
       [] { return std::make_unique<GRasterOperation>(0xAAF0, 1, 0); }, true},
      {"raster operations, different codes", [] { return std::make_unique<GRasterOperation>(0xAAF0, 1, 183); },
       [] { return std::make_unique<GRasterOperation>(0xAAF1, 1, 183); }, false},
      {"raster operations, different kinds", [] { return std::make_unique<GRasterOperation>(0xF0, 0, 183); },
       [] { return std::make_unique<GRasterOperation>(0xF0, 1, 183); }, false},
      {"a cap and a fill mode of one value", [] { return std::make_unique<GCap>(1, 0); },
       [] { return std::make_unique<GFillMode>(1, 0); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const auto a = row.a();
    const auto b = row.b();
    EXPECT_EQ(bool(a->matches(b.get())), row.match);
    EXPECT_EQ(bool(b->matches(a.get())), row.match);
    EXPECT_FALSE(a->matches(nullptr));
  }
}

TEST(LineAttributes, CopiesAndAssignmentsTakeEveryValue) {
  GMiterJoint miter(4.25f, 172);
  miter.setSerialNumber(9);
  std::unique_ptr<GMiterJoint> copied(miter.copy());
  EXPECT_TRUE(copied->matches(&miter));
  EXPECT_EQ(copied->serialNumber(), 9u);
  GMiterJoint assigned;
  assigned = miter;
  EXPECT_TRUE(assigned.matches(&miter));
  EXPECT_EQ(assigned.id(), 172u);

  GRasterOperation rop;
  rop = GRasterOperation(0x9FF0, 1, 183);
  EXPECT_EQ(rop.code(), 0x9FF0);
  EXPECT_EQ(rop.codeKind(), 1);
  std::unique_ptr<GCap> cap(GCap(0, 166).copy());
  EXPECT_EQ(cap->cap(), 0);
  EXPECT_EQ(cap->id(), 166u);
}

TEST(RasterOperation, TransferModeIsReadFromKindOneAlone) {
  EXPECT_EQ(GRasterOperation().code(), 0);
  EXPECT_EQ(GRasterOperation().codeKind(), 2);
  const struct {
    uint16_t code;
    int32_t kind;
    GTransferMode mode;
  } rows[] = {
      {0xAAF0, 1, GTransferMode::transparent}, {0xA000, 1, GTransferMode::transparent},
      {0xAFFF, 1, GTransferMode::transparent}, {0xB0F0, 1, GTransferMode::opaque},
      {0x9FF0, 1, GTransferMode::opaque},      {0x00F0, 1, GTransferMode::opaque},
      {0xA0F0, 0, GTransferMode::none},        {0x00F0, 0, GTransferMode::none},
      {0xAAF0, 2, GTransferMode::none},        {0xAAF0, -1, GTransferMode::none},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.code << " kind " << row.kind);
    GRasterOperation rop(row.code, row.kind, 183);
    EXPECT_EQ(gTransferMode(&rop), row.mode);
    rop.setId(0);
    EXPECT_EQ(gTransferMode(&rop), row.mode) << "the key has no part in it";
  }
  EXPECT_EQ(gTransferMode(nullptr), GTransferMode::none);
}

// A bundle of line attributes and a raster operation through a stage: each
// reaches its class's handler once under its key, an equal state made of
// new objects reaches nothing, and a miter joint replaces a joint.
TEST(LineAttributes, ThroughAStageEachReachesItsHandlerOnce) {
  RecordingPeripheral stage;
  auto bundle = [](GGraphicAttribute* joint) {
    auto* b = new GGraphicBundle;
    b->setCap(new GCap(0));
    b->setJoint(joint);
    b->setFillMode(new GFillMode(1));
    b->setRasterOperation(new GRasterOperation(0xAAF0, 1));
    return b;
  };
  stage.process(GCommandPtr(new GNullCommand(bundle(new GJoint(1)), 0)));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onCap", 301, 166},
                                              {"onJoint", 351, 172},
                                              {"onFillMode", 102, 182},
                                              {"onRasterOperation", 401, 183}}));

  stage.clearCalls();
  stage.process(GCommandPtr(new GNullCommand(bundle(new GJoint(1)), 0)));
  EXPECT_TRUE(stage.calls().empty());

  stage.process(GCommandPtr(new GNullCommand(bundle(new GMiterJoint(10.0f)), 0)));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onMiterJoint", 352, 172}}));
  stage.clearCalls();
  stage.process(GCommandPtr(new GNullCommand(bundle(new GMiterJoint(10.5f)), 0)));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onMiterJoint", 352, 172}})) << "the limit changed";
}

}  // namespace
