// Colour maps and halftones: their selectors, the matching that ignores
// keys, the selector tables through which a generator turns a selector
// into a device value, and an equal halftone merged into a stage's state
// a second time.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/cntdptr.h"
#include "core/passoc.h"
#include "core/valattr.h"
#include "device/config.h"
#include "graphics/colrend.h"
#include "graphics/gattrib.h"
#include "journal/ctlcmds.h"
#include "testkit/core/stage.h"

namespace {

using Call = RecordingPeripheral::Call;

// A selector table: each pair a selector and its device value as the
// given attribute.
MAssociationList* table(uint32_t id, std::vector<std::pair<int16_t, MPersistentObject*>> entries) {
  auto* list = new MAssociationList(id);
  for (auto& [selector, value] : entries)
    list->insertAssociation(new MPersistentAssociation(new GValueAttribute(selector, 0), value, 0));
  return list;
}

TEST(ColorRendering, SelectorsKindsAndMatching) {
  EXPECT_EQ(GColorMap().value(), 15);
  EXPECT_EQ(GHalftone().value(), 40);
  EXPECT_EQ(GColorMap().id(), 0u);
  EXPECT_EQ(GHalftone(0xFFFF).value(), 0xFFFF) << "the filter's 'no setting'";
  EXPECT_EQ(GHalftone(0x12345).value(), 0x2345) << "answered in 16 bits";

  EXPECT_EQ(GColorMap().kind(), 791);
  EXPECT_EQ(GHalftone().kind(), 790);
  for (RWClassID k : {754, 753, 751}) {
    EXPECT_TRUE(GColorMap().isKindOf(k)) << k;
    EXPECT_TRUE(GHalftone().isKindOf(k)) << k;
  }
  EXPECT_TRUE(GColorMap().isKindOf(791));
  EXPECT_FALSE(GColorMap().isKindOf(790));

  const GHalftone a(50, 3);
  const GHalftone b(50, 0);
  EXPECT_TRUE(a.matches(&b)) << "keys are not compared";
  EXPECT_FALSE(a.matches(std::make_unique<GHalftone>(51, 3).get()));
  EXPECT_FALSE(GColorMap(50, 3).matches(&a)) << "another class";
  std::unique_ptr<GColorMap> copied(GColorMap(21, 7).copy());
  EXPECT_EQ(copied->value(), 21);
  EXPECT_EQ(copied->id(), 7u);
  GHalftone assigned;
  assigned = a;
  EXPECT_EQ(assigned.value(), 50);
}

TEST(ColorRendering, DeviceValuesComeFromTheSelectorTables) {
  auto* config = new GConfiguration(AttrId::StageConfig);
  config->insert(new GValueAttribute(1, 339));
  // The colour-map table sits in a nested configuration.
  auto* nested = new GConfiguration(7);
  nested->insert(table(AttrId::ColorMapTable, {{15, new GValueAttribute(3, 0)},
                                        {21, new GValue32Attribute(0x12345, 0)},
                                        {-1, new GValueAttribute(-2, 0)},
                                        {22, new GStringAttribute("x", 0)}}));
  config->insert(nested);
  config->insert(table(AttrId::HalftoneTable, {{40, new GValueAttribute(9, 0)}}));
  const GCountedPtr holder(config);

  const struct {
    const char* what;
    std::unique_ptr<GColorRenderingAttribute> attribute;
    uint16_t value;
  } rows[] = {
      {"colour map found in a nested composite", std::make_unique<GColorMap>(15), 3},
      {"a 32-bit value, truncated", std::make_unique<GColorMap>(21), 0x2345},
      {"selector 0xFFFF, value -2", std::make_unique<GColorMap>(0xFFFF), 0xFFFE},
      {"selector absent", std::make_unique<GColorMap>(16), 0},
      {"a value of another class", std::make_unique<GColorMap>(22), 0},
      {"the key has no part", std::make_unique<GColorMap>(15, 99), 3},
      {"halftone in its own table", std::make_unique<GHalftone>(40), 9},
      {"halftone absent from its table", std::make_unique<GHalftone>(15), 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.attribute->deviceValue(holder), row.value);
  }

  // No table, no configuration.
  const GCountedPtr bare(new GConfiguration(AttrId::StageConfig));
  EXPECT_EQ(GColorMap(15).deviceValue(bare), 0);
  EXPECT_EQ(GHalftone(40).deviceValue(bare), 0);
  EXPECT_EQ(GHalftone(40).deviceValue(GCountedPtr()), 0);

  // An object under a table's id that is no association list is no table.
  auto* wrong = new GConfiguration(AttrId::StageConfig);
  wrong->insert(new GValueAttribute(5, AttrId::HalftoneTable));
  EXPECT_EQ(GHalftone(40).deviceValue(GCountedPtr(wrong)), 0);

  // The look-up the colour-matching filter shares.
  EXPECT_EQ(gSelectorTableValue(config, AttrId::ColorMapTable, 21), 0x2345);
  EXPECT_EQ(gSelectorTableValue(config, AttrId::HalftoneTable, 21), 0);
  EXPECT_EQ(gSelectorTableValue(nullptr, AttrId::HalftoneTable, 40), 0);
}

// The filter adds a halftone of key 0 to every command's bundle: an equal
// one merged again changes nothing, and so reaches the handler once.
TEST(ColorRendering, AnEqualHalftoneReachesTheStageOnce) {
  RecordingPeripheral stage;
  auto command = [](int32_t halftone) {
    auto* bundle = new GGraphicBundle;
    bundle->insert(new GHalftone(halftone));
    bundle->insert(new GColorMap(15));
    return GCommandPtr(new GNullCommand(bundle, 0));
  };
  stage.process(command(40));
  stage.process(command(40));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onHalftone", 790, 0}, {"onColorMap", 791, 0}}));
  stage.clearCalls();
  stage.process(command(50));
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onHalftone", 790, 0}}));
}

}  // namespace
