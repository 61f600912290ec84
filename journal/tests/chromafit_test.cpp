// The colour-matching filter: the selectors it gives each kind of command
// from the job's choices, when it takes part in a job, what it leaves
// alone, its stored form, and the selector-table look-ups.

#include "journal/chromafit.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/colormatch.h"
#include "core/passoc.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/drvinst.h"
#include "device/pericomp.h"
#include "graphics/brush.h"
#include "graphics/color.h"
#include "graphics/colrend.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/raster.h"
#include "journal/scanline.h"
#include "journal/shapes.h"
#include "testkit/bytes.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"
#include "testkit/device/testdevice.h"
#include "testkit/store.h"

namespace {

using Call = RecordingPeripheral::Call;

// The choices of a job: text (colour map 15, halftone 40), graphics (21,
// 50), raster (31, 62).
GChromafitAttribute* choices(uint8_t graphicsColorMap = 21, uint8_t graphicsHalftone = 50) {
  return new GChromafitAttribute(AttrId::Chromafit, 15, 40, graphicsColorMap, graphicsHalftone, 31, 62);
}

GState* documentState(GChromafitAttribute* chromafit) {
  auto* state = new GState(AttrId::DocumentGroup);
  if (chromafit) state->insert(chromafit);
  return state;
}

// A device whose configuration root holds 339 when a value is given.
std::unique_ptr<TestDevice> deviceWith339(const int16_t* value) {
  auto device = std::make_unique<TestDevice>();
  auto* config = new GConfiguration(AttrId::StageConfig);
  if (value) config->insert(new GValueAttribute(*value, AttrId::ConfigurationValue));
  device->setConfiguration(new GPeripheralComposite("Configuration", nullptr, config, 353));
  return device;
}

GCommandPtr start(GDevice* device, GState* state) {
  return GCommandPtr(new GDocumentStart(RWWString(u"doc"), RWWString(u"port"), device, state));
}

GCommandPtr rectangle(GGraphicBundle* bundle = new GGraphicBundle) {
  return GCommandPtr(new GRectangleGraphic(bundle, GRect(0, 0, 10, 10), 7));
}

// The selector of the command's colour-rendering member of the class, or
// -1 when the bundle holds none.
template <class T>
int32_t selectorIn(const GCommandPtr& command) {
  const MPersistentObject* bundle = command->attributePointer();
  const auto* member = dynamic_cast<const T*>(bundle ? bundle->findByClassId(T::classIsA()) : nullptr);
  return member ? member->value() : -1;
}

class ChromafitFilter : public ::testing::Test {
 protected:
  // A filter that has seen the start of a job with the state.
  void startJob(GState* state) {
    ASSERT_EQ(filter.process(start(device.get(), state))->isA(), ClassId::GDocumentStart);
  }

  std::unique_ptr<TestDevice> device = deviceWith339(nullptr);
  GChromafitFilter filter{"Colour matching", nullptr, nullptr, 0, 1};
};

TEST_F(ChromafitFilter, EachKindOfCommandGetsItsObjectClassSelectors) {
  startJob(documentState(choices()));
  ASSERT_TRUE(filter.isEnabled());
  EXPECT_EQ(filter.active(), 1);

  const struct {
    const char* what;
    std::function<GCommand*()> make;
    int32_t colorMap;
    int32_t halftone;
  } cases[] = {
      {"rectangle", [] { return new GRectangleGraphic(new GGraphicBundle, GRect(0, 0, 1, 1)); }, 21, 50},
      {"path", [] { return new GPathGraphic(new GGraphicBundle, 0); }, 21, 50},
      {"polygon",
       [] {
         static const GPoint p[] = {{0, 0}, {1, 1}, {2, 0}};
         return new GPolygonGraphic(new GGraphicBundle, GPointArray::borrowing(p, 3));
       },
       21, 50},
      {"scan line",
       [] {
         static const GPoint rows[] = {{0, 1}, {2, 3}};
         return new GScanLineGraphic(GPointArray::borrowing(rows, 2), new GGraphicBundle);
       },
       21, 50},
      {"start of scan lines", [] { return new GStartScanLine(new GGraphicBundle); }, 21, 50},
      {"raster",
       [] { return new GRasterGraphic(GBitmap(), new GGraphicBundle, GRect(0, 0, 1, 1), GRect(0, 0, 1, 1), GBitmap()); },
       31, 62},
      // Not in the routing: passed as they are.
      {"pre-scaled raster",
       [] {
         return new GPreScaledRasterGraphic(GBitmap(), new GGraphicBundle, GRect(0, 0, 1, 1), GRect(0, 0, 1, 1),
                                            GBitmap());
       },
       -1, -1},
      {"end of scan lines", [] { return new GEndScanLine(new GGraphicBundle); }, -1, -1},
      {"null command", [] { return new GNullCommand(new GGraphicBundle, 0); }, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const GCommandPtr command(c.make());
    EXPECT_EQ(filter.process(command), command);
    EXPECT_EQ(selectorIn<GColorMap>(command), c.colorMap);
    EXPECT_EQ(selectorIn<GHalftone>(command), c.halftone);
  }
}

TEST_F(ChromafitFilter, WithoutChoicesEverySelectorIsNone) {
  startJob(documentState(nullptr));
  for (int32_t objectClass : {kChromafitText, kChromafitGraphics, kChromafitRaster})
    for (int32_t kind : {kChromafitColorMap, kChromafitHalftone})
      EXPECT_EQ(filter.selector(objectClass, kind), kNoChromafitSelector) << objectClass << " " << kind;
  const GCommandPtr command = rectangle();
  filter.process(command);
  EXPECT_EQ(selectorIn<GColorMap>(command), 0xFFFF);
  EXPECT_EQ(selectorIn<GHalftone>(command), 0xFFFF);
}

TEST(ChromafitSetting, ReadsTheStatesChoiceOrAnswersNone) {
  const std::unique_ptr<GState> state(documentState(choices(22, 51)));
  EXPECT_EQ(chromafitSetting(kChromafitGraphics, kChromafitColorMap, state.get()), 22);
  EXPECT_EQ(chromafitSetting(kChromafitGraphics, kChromafitHalftone, state.get()), 51);
  EXPECT_EQ(chromafitSetting(kChromafitRaster, kChromafitHalftone, state.get()), 62);
  EXPECT_EQ(chromafitSetting(3, kChromafitColorMap, state.get()), kNoChromafitSelector);
  EXPECT_EQ(chromafitSetting(0, 2, state.get()), kNoChromafitSelector) << "a kind that is no choice";
  EXPECT_EQ(chromafitSetting(0, 0, nullptr), kNoChromafitSelector);
  // Another class under 295 is no choice.
  GState other(AttrId::DocumentGroup);
  other.insert(new GValueAttribute(5, AttrId::Chromafit));
  EXPECT_EQ(chromafitSetting(0, 0, &other), kNoChromafitSelector);
}

// The configuration value decides at each document start whether the
// filter takes part; so does a start without a device or a state.
TEST(ChromafitFilterSetUp, TakesPartOnlyWhenTheConfigurationValueIs0Or1) {
  const int16_t values[] = {0, 1, 2, -1, 339};
  for (const int16_t* value : {static_cast<const int16_t*>(nullptr), &values[0], &values[1], &values[2],
                               &values[3], &values[4]}) {
    const bool enables = !value || *value == 0 || *value == 1;
    SCOPED_TRACE(value ? std::to_string(*value) : "absent");
    const std::unique_ptr<TestDevice> device = deviceWith339(value);
    GChromafitFilter filter("Colour matching", nullptr, nullptr, 0, 1);
    EXPECT_EQ(filter.process(start(device.get(), documentState(choices())))->isA(), ClassId::GDocumentStart);
    EXPECT_EQ(filter.isEnabled(), enables);
    EXPECT_EQ(filter.active(), enables ? 1 : 0);
  }

  // No device: off, whatever the stored setting said.
  GChromafitFilter noDevice("Colour matching", nullptr, nullptr, 0, 1);
  noDevice.process(start(nullptr, documentState(choices())));
  EXPECT_FALSE(noDevice.isEnabled());
  EXPECT_EQ(noDevice.active(), 0);
}

TEST(ChromafitFilterSetUp, ADisabledFilterPassesCommandsUntouchedThroughAContainer) {
  const int16_t two = 2;
  const std::unique_ptr<TestDevice> device = deviceWith339(&two);
  GPeripheralComposite chain("chain", nullptr, nullptr, 0);
  chain.insert(new GChromafitFilter("Colour matching", nullptr, nullptr, 0, 1));
  auto* recorder = new RecordingPeripheral("recorder");
  chain.insert(recorder);
  chain.process(start(device.get(), documentState(choices())));
  recorder->clearCalls();
  const GCommandPtr command = rectangle();
  EXPECT_EQ(chain.process(command), command);
  EXPECT_EQ(selectorIn<GColorMap>(command), -1);
  EXPECT_EQ(recorder->calls(), (std::vector<Call>{{"onRectangle", ClassId::GRectangleGraphic, 7}}));
}

// Through a container, the stage after the filter is sent the selectors
// before the drawing, and an unchanged pair is not sent again.
TEST(ChromafitFilterSetUp, TheNextStageIsSentTheSelectorsBeforeTheDrawing) {
  const std::unique_ptr<TestDevice> device = deviceWith339(nullptr);
  GPeripheralComposite chain("chain", nullptr, nullptr, 0);
  chain.insert(new GChromafitFilter("Colour matching", nullptr, nullptr, 0, 1));
  auto* recorder = new RecordingPeripheral("recorder");
  chain.insert(recorder);
  chain.process(start(device.get(), documentState(choices())));
  recorder->clearCalls();

  // The bundle's own members go first, then what the filter added.
  auto* look = new GGraphicBundle;
  look->setBrush(new GBrush(new GColorPaint(new GRGBColor(1, 2, 3, 0))));
  look->setPen(new GPen(2, new GColorPaint(new GRGBColor(0, 0, 0, 0))));
  chain.process(rectangle(look));
  EXPECT_EQ(recorder->calls(), (std::vector<Call>{{"onBrush", ClassId::GBrush, AttrId::Brush},
                                                  {"onPen", ClassId::GPen, AttrId::Pen},
                                                  {"onHalftone", ClassId::GHalftone, 0},
                                                  {"onColorMap", ClassId::GColorMap, 0},
                                                  {"onRectangle", ClassId::GRectangleGraphic, 7}}));
  const MPersistentObject* group = recorder->attributeGroup(AttrId::GraphicGroup);
  EXPECT_EQ(dynamic_cast<const GColorMap*>(group->findByClassId(ClassId::GColorMap))->value(), 21);
  EXPECT_EQ(dynamic_cast<const GHalftone*>(group->findByClassId(ClassId::GHalftone))->value(), 50);

  recorder->clearCalls();
  chain.process(rectangle());
  EXPECT_EQ(recorder->handlers(), std::vector<std::string>{"onRectangle"}) << "nothing changed";
}

TEST_F(ChromafitFilter, AHeldSelectorStaysAndOnlyTheOtherIsAdded) {
  startJob(documentState(choices()));
  auto* withHalftone = new GGraphicBundle;
  withHalftone->insert(new GHalftone(99, 0));
  const GCommandPtr first = rectangle(withHalftone);
  filter.process(first);
  EXPECT_EQ(selectorIn<GHalftone>(first), 99);
  EXPECT_EQ(selectorIn<GColorMap>(first), 21);
  EXPECT_EQ(first->attributePointer()->entries(), 2u);

  auto* withColorMap = new GGraphicBundle;
  withColorMap->insert(new GColorMap(98, 0));
  const GCommandPtr second = rectangle(withColorMap);
  filter.process(second);
  EXPECT_EQ(selectorIn<GColorMap>(second), 98);
  EXPECT_EQ(selectorIn<GHalftone>(second), 50);
}

TEST_F(ChromafitFilter, ABundleSharedWithAnotherHolderIsNotChangedUnderIt) {
  startJob(documentState(choices()));
  auto* shared = new GGraphicBundle;
  shared->setFillMode(new GFillMode(1));
  const GCountedPtr otherHolder(shared);
  const GCommandPtr command = rectangle(shared);
  filter.process(command);
  EXPECT_EQ(shared->entries(), 1u) << "the other holder's bundle keeps what it had";
  EXPECT_NE(command->attributePointer(), shared);
  EXPECT_EQ(command->attributePointer()->id(), AttrId::GraphicGroup);
  EXPECT_EQ(command->attributePointer()->entries(), 3u);
  EXPECT_EQ(selectorIn<GColorMap>(command), 21);

  // A command without a bundle is given none.
  const GCommandPtr bare(new GRectangleGraphic(nullptr, GRect(0, 0, 1, 1)));
  EXPECT_EQ(filter.process(bare), bare);
  EXPECT_EQ(bare->attributePointer(), nullptr);
}

TEST_F(ChromafitFilter, EachDocumentStartReadsItsOwnChoices) {
  startJob(documentState(choices(21, 50)));
  EXPECT_EQ(filter.isSetUp(), 1);
  // A second start before any end: that document's choices, not the last.
  startJob(documentState(choices(22, 51)));
  const GCommandPtr command = rectangle();
  filter.process(command);
  EXPECT_EQ(selectorIn<GColorMap>(command), 22);
  EXPECT_EQ(selectorIn<GHalftone>(command), 51);

  // The end, the first half of a manual duplex job and an abort each end
  // the set-up; the job's selectors stay until the next start.
  for (GCommand* closing : std::initializer_list<GCommand*>{new GDocumentEnd, new GManualDuplexFirstHalf,
                                                            new GJobAbort}) {
    const GCommandPtr held(closing);
    startJob(documentState(choices()));
    EXPECT_EQ(filter.process(held), held);
    EXPECT_EQ(filter.isSetUp(), 0) << closing->isA();
    EXPECT_EQ(filter.active(), 1);
  }

  // Another class passes as it came, its bundle untouched.
  const GCommandPtr page(new GPageStart);
  EXPECT_EQ(filter.process(page), page);
  EXPECT_EQ(page->attributePointer()->findByClassId(ClassId::GColorMap), nullptr);
}

TEST(ChromafitFilterStore, StoresTheStageThenVersionAndActiveSetting) {
  // The stage level is the recording stage's, stored by the same base:
  // its bytes with the filter's class tag, then version 1 and the i16.
  GChromafitFilter filter("cf", nullptr, nullptr, 5, 1);
  RecordingPeripheral same("cf", 5);
  for (MPersistentObject* stage : {static_cast<MPersistentObject*>(&filter), static_cast<MPersistentObject*>(&same)}) {
    auto* peripheral = dynamic_cast<GPeripheral*>(stage);
    peripheral->setSerialNumber(1);
    peripheral->defaults()->setSerialNumber(2);
    peripheral->state()->setSerialNumber(3);
    peripheral->config()->setSerialNumber(4);
  }
  // After the file's magic (4 bytes), the class ID and the levels.
  std::string expected = storedBytes(&same);
  ASSERT_EQ(expected.substr(4, 2), le16(TestKitClassId::RecordingPeripheral));
  expected.replace(4, 2, le16(ClassId::GChromafitFilter));
  expected += le32(1) + le16(1);
  EXPECT_EQ(storedBytes(&filter), expected);
  EXPECT_EQ(filter.binaryStoreSize(), same.binaryStoreSize() + 6);

  // Back: the active setting, as the stage it was.
  const std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&filter)));
  const auto* restored = dynamic_cast<const GChromafitFilter*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->active(), 1);
  EXPECT_TRUE(restored->matches(&filter));
  EXPECT_FALSE(GChromafitFilter("cf", nullptr, nullptr, 5, 0).matches(&filter));
  {
    const ReportLog quiet;  // the cuts report what they miss
    restoreEveryCut(&filter);
  }
}

// The generator's tables as the builder writes them: value attributes of
// id 0, and a table of texts as a PostScript generator keeps one.
TEST(ChromafitTables, LookUpDeviceValuesAndTexts) {
  GConfiguration config(AttrId::StageConfig);
  auto* colorMaps = new MAssociationList(AttrId::ColorMapTable);
  colorMaps->insertAssociation(
      new MPersistentAssociation(new GValueAttribute(21, 0), new GValueAttribute(0x0105, 0), 0));
  config.insert(colorMaps);
  auto* halftones = new MAssociationList(AttrId::HalftoneTable);
  halftones->insertAssociation(new MPersistentAssociation(new GValueAttribute(50, 0), new GValueAttribute(7, 0), 0));
  halftones->insertAssociation(
      new MPersistentAssociation(new GValueAttribute(51, 0), new GStringAttribute("Fine", 0), 0));
  config.insert(halftones);

  EXPECT_EQ(chromafitColorMapValue(&config, 21), 0x0105);
  EXPECT_EQ(chromafitHalftoneValue(&config, 50), 7);
  EXPECT_EQ(chromafitColorMapValue(&config, 22), 0) << "no entry";
  EXPECT_EQ(chromafitHalftoneValue(&config, 51), 0) << "an entry that is no value";
  EXPECT_EQ(chromafitColorMapValue(nullptr, 21), 0);
  GConfiguration empty(AttrId::StageConfig);
  EXPECT_EQ(chromafitHalftoneValue(&empty, 50), 0) << "no table";

  EXPECT_EQ(chromafitTableString(AttrId::HalftoneTable, &config, 51), RWCString("Fine"));
  EXPECT_EQ(chromafitTableString(AttrId::HalftoneTable, &config, 50), RWCString()) << "an entry that is no text";
  EXPECT_EQ(chromafitTableString(AttrId::HalftoneTable, &config, 52), RWCString());
  EXPECT_EQ(chromafitTableString(AttrId::ColorMapTable, &empty, 21), RWCString());
  EXPECT_EQ(chromafitTableString(AttrId::ColorMapTable, nullptr, 21), RWCString());
}

}  // namespace
