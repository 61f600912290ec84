// The device over a built printer tree: the job options beginJob reads,
// media lookups, the printable area and the document and page states.

#include <gtest/gtest.h>

#include <memory>

#include "core/state.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/device.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "testkit/device/testdevice.h"
#include "testkit/printer/built.h"

namespace {

// A device given a built tree as the driver server gives a restored one;
// its settings are the builder's settings tree for it.
struct BuiltDevice {
  explicit BuiltDevice(const PrinterModel& model = testModel())
      : device([this] {
          GPeripheralComposite* root = device.configuration();
          return root ? buildPrinterSettings(*root).release() : nullptr;
        }) {
    if (std::unique_ptr<GAttributeComposite> top = builtTree(model)) handOver(*top, device);
    device.beginJob();
  }
  GAttributeComposite& group(uint32_t id) {
    auto* found = dynamic_cast<GAttributeComposite*>(device.settings()->findById(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  static void put(MPersistentObject& into, MPersistentObject* attribute) {
    delete into.removeById(attribute->id());
    into.insert(attribute);
  }
  void putPrinter(uint32_t id, int16_t value) { put(*device.printerConfig(), new GValueAttribute(value, id)); }
  void putOption(uint32_t id, int16_t value) { put(group(364), new GValueAttribute(value, id)); }
  GCapabilities& caps(uint32_t id) {
    auto* sets = device.printerConfig()->findById(112);
    auto* set = sets ? dynamic_cast<GCapabilities*>(sets->findById(id)) : nullptr;
    EXPECT_NE(set, nullptr) << id;
    return *set;
  }

  TestDevice device;
};

GMedia* mediaIn(MPersistentObject* state) {
  return state ? dynamic_cast<GMedia*>(state->findById(AttrId::Media)) : nullptr;
}

int16_t valueIn(MPersistentObject* state, uint32_t id) {
  auto* value = state ? dynamic_cast<GValueAttribute*>(state->findById(id)) : nullptr;
  return value ? value->value() : -1;
}

TEST(BuiltDevice, AFirstPageUsesItsPaperChoiceAndLaterPagesTheOtherWhenAsked) {
  for (uint32_t firstForAll : {0u, 1u}) {
    BuiltDevice built;
    built.putOption(264, 1);
    built.putOption(258, 1);
    built.putOption(263, 5);
    built.device.setFirstPageMediaForAll(firstForAll);
    std::unique_ptr<GPageStart> first(built.device.makePageStart());
    std::unique_ptr<GPageStart> second(built.device.makePageStart());
    EXPECT_EQ(valueIn(first->attributePointer(), 258), 1);
    EXPECT_EQ(valueIn(second->attributePointer(), 258), firstForAll ? 1 : 5) << firstForAll;
  }
}

TEST(BuiltDevice, PageStatesAndNotTheDocumentStateGetThePrintableOrigin) {
  BuiltDevice built;
  // The document settings select Letter by its media id.
  BuiltDevice::put(built.group(362), new GValueAttribute(1, AttrId::Paper));
  std::unique_ptr<GDocumentStart> start(built.device.makeDocumentStart(RWWString(u"doc"), RWWString(u"out")));
  MPersistentObject* document = start->attributePointer();
  ASSERT_NE(mediaIn(document), nullptr);
  EXPECT_EQ(document->findById(AttrId::Paper), nullptr);
  EXPECT_EQ(document->findByClassId(ClassId::GTransformAttribute), nullptr);

  std::unique_ptr<GPageStart> page(built.device.makePageStart());
  GMedia* media = mediaIn(page->attributePointer());
  ASSERT_NE(media, nullptr);
  auto* transform = dynamic_cast<GTransformAttribute*>(page->attributePointer()->findByClassId(ClassId::GTransformAttribute));
  ASSERT_NE(transform, nullptr);
  EXPECT_EQ(transform->offset(), media->printableOrigin());
  EXPECT_EQ(media->printableOrigin(), GPoint(100, 100));
}

TEST(BuiltDevice, TheDocumentStateResolvesTheFitAndSheetMediaOrSwitchesThemOff) {
  struct Case {
    uint32_t flag, idAttribute, mediaAttribute;
    int16_t mediaId;
    bool found;
  } cases[] = {
      {270, 272, 273, 23, true}, {270, 272, 273, 999, false},
      {279, 280, 281, 5, true},  {279, 280, 281, 999, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flag);
    BuiltDevice built;
    BuiltDevice::put(built.group(362), new GValueAttribute(1, c.flag));
    BuiltDevice::put(built.group(362), new GValueAttribute(c.mediaId, c.idAttribute));
    std::unique_ptr<GState> state(built.device.makeDocumentState());
    EXPECT_EQ(state->findById(c.idAttribute), nullptr);
    auto* media = dynamic_cast<GMedia*>(state->findById(c.mediaAttribute));
    EXPECT_EQ(valueIn(state.get(), c.flag), c.found ? 1 : 0);
    if (c.found) {
      ASSERT_NE(media, nullptr);
      EXPECT_EQ(media->mediaId(), c.mediaId);
    } else {
      EXPECT_EQ(media, nullptr);
    }
    EXPECT_EQ(valueIn(state.get(), 600), 0);
    EXPECT_NE(state->findById(379), nullptr);
  }
}

TEST(BuiltDevice, ACustomIdIsBuiltFromTheCustomSizeAndNotExtended) {
  BuiltDevice built;
  built.putPrinter(501, 1667);
  built.putPrinter(502, 1667);
  BuiltDevice::put(*built.device.settings(), new GValueAttribute(1, 442));
  auto* sizes = dynamic_cast<GAttributeComposite*>(built.device.settings()->findById(276));
  ASSERT_NE(sizes, nullptr);
  // 4 x 6 inches in hundredths.
  sizes->insert(new GCustomMediaSize(16384, "card", 0, 400, 600));
  std::unique_ptr<GMedia> media(built.device.mediaForId(16384));
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->mediaId(), 16384);
  EXPECT_EQ(media->size(), GPoint(2400, 3600));
  EXPECT_EQ(media->printableOrigin(), GPoint(0, 0));
  // A paper of the pool is extended.
  std::unique_ptr<GMedia> letter(built.device.mediaForId(1));
  ASSERT_NE(letter, nullptr);
  EXPECT_EQ(letter->printableOrigin(), GPoint(100, 100));
  EXPECT_EQ(built.device.mediaForId(16385), nullptr);
}

TEST(BuiltDevice, TheMinimalMarginsAreExchangedAcrossTheSheet) {
  struct Case {
    int16_t marginX, marginY;
    int32_t orientation;
    GPoint origin, extent;
  } cases[] = {
      {1667, 1667, 0, {100, 100}, {4900, 6400}},
      {1667, 1667, 90, {100, 100}, {6400, 4900}},
      {1667, 3334, 0, {100, 200}, {4900, 6200}},
      {1667, 3334, 90, {200, 100}, {6200, 4900}},
      {1667, 3334, 270, {200, 100}, {6200, 4900}},
      {1667, 3334, 180, {100, 200}, {4900, 6200}},
  };
  for (const Case& c : cases) {
    BuiltDevice built;
    built.putPrinter(501, c.marginX);
    built.putPrinter(502, c.marginY);
    const bool across = c.orientation == 90 || c.orientation == 270;
    const GPoint size = across ? GPoint(6600, 5100) : GPoint(5100, 6600);
    GMedia* media = new GMedia("Letter", size, size, GPoint(0, 0), c.orientation, 1, 600, 600, 259, 7);
    built.device.extendPrintArea(media);
    EXPECT_EQ(media->printableOrigin(), c.origin) << c.orientation << " " << c.marginY;
    EXPECT_EQ(media->printableExtent(), c.extent) << c.orientation << " " << c.marginY;
    EXPECT_EQ(media->id(), AttrId::MediaEntry);
    EXPECT_EQ(media->code(), 7);
    delete media;
  }
}

TEST(BuiltDevice, TurningAnEntryTakesThePoolsOrExchangesItsAxes) {
  BuiltDevice built;
  // A paper of the pool comes from the pool at the new angle, its own id
  // kept.
  GMedia* letter = built.device.mediaForIdAt(1, 600, 600, 0);
  ASSERT_NE(letter, nullptr);
  letter->setId(259);
  const GPoint upright = letter->size();
  GMedia* same = letter;
  built.device.setMediaOrientation(letter, 0);
  EXPECT_EQ(letter, same);
  built.device.setMediaOrientation(letter, 90);
  EXPECT_EQ(letter->orientation(), 90);
  EXPECT_EQ(letter->size(), GPoint(upright.y(), upright.x()));
  EXPECT_EQ(letter->id(), 259u);
  delete letter;
  // Any other id is turned by exchanging the axes.
  GMedia* custom = new GMedia("card", GPoint(2400, 3600), GPoint(2200, 3300), GPoint(100, 200), 0, 16385, 600, 600);
  built.device.setMediaOrientation(custom, 270);
  EXPECT_EQ(custom->orientation(), 270);
  EXPECT_EQ(custom->size(), GPoint(3600, 2400));
  EXPECT_EQ(custom->printableExtent(), GPoint(3300, 2200));
  EXPECT_EQ(custom->printableOrigin(), GPoint(200, 100));
  EXPECT_EQ(custom->mediaId(), 16385);
  delete custom;
}

TEST(BuiltDevice, BeginJobReadsTheRenderingModeAndCapabilities) {
  struct Case {
    const char* name;
    int16_t mode;        // 255 in the job options; 0 for none
    uint32_t flags;      // the instance's flags word
    uint32_t caps136;    // a capability of set 136, 0 for none
    uint32_t caps113;    // likewise for 113
    bool caps120has9;
    uint16_t wantMode;
    uint32_t want113, want120;
  } cases[] = {
      {"mode from the options", 2, 1u << 21, 0, 0, false, 2, 0, 0},
      {"bit 21", 0, 1u << 21, 0, 0, false, 3, 0, 0},
      {"bit 22", 0, 1u << 22, 0, 0, false, 2, 0, 0},
      {"none", 0, 0, 0, 0, false, 1, 0, 0},
      {"bit 26 and 136 without 1", 1, 1u << 26, 2, 0, false, 3, 0, 0},
      {"bit 26 and 136 with 1", 1, 1u << 26, 1, 0, false, 1, 0, 0},
      {"bit 27 and 136 without 2", 1, 1u << 27, 1, 0, false, 3, 0, 0},
      {"113 without 120's 9", 1, 0, 0, 1, false, 1, 0, 0},
      {"113 and 120's 9 in mode 1", 1, 0, 0, 1, true, 1, 1, 1},
      {"120's 9 in mode 3", 3, 0, 0, 1, true, 3, 0, 0},
      {"bit 23 without 113", 1, 1u << 23, 0, 0, true, 1, 0, 0},
      {"bit 23 with 113", 1, 1u << 23, 0, 1, true, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuiltDevice built;
    if (c.mode) built.putOption(255, c.mode);
    built.device.setFlags(c.flags);
    if (c.caps136) built.caps(136).set(c.caps136);
    if (c.caps113) built.caps(113).set(c.caps113);
    if (c.caps120has9) built.caps(120).set(9);
    EXPECT_EQ(built.device.beginJob(), 0);
    EXPECT_EQ(built.device.renderingMode(), c.wantMode);
    EXPECT_EQ(built.device.clipCapability(), c.want113);
    EXPECT_EQ(built.device.capabilityFlag120(), c.want120);
    EXPECT_EQ(built.device.isPostScript(), 0u);
    EXPECT_EQ(built.device.psTrueTypeMode(), 0xFFFF);
  }
}

TEST(BuiltDevice, PageScalingFollowsSet135AndTheConfigurationsReadiness) {
  struct Case {
    uint32_t caps135;
    int16_t mode;
    uint32_t want;
  } cases[] = {{0, 1, 1}, {1, 1, 0}, {4, 1, 1}, {4, 3, 0}, {1, 3, 1}};
  for (const Case& c : cases) {
    BuiltDevice built;
    built.putOption(255, c.mode);
    if (c.caps135) built.caps(135).set(c.caps135);
    built.device.beginJob();
    // The built configuration is ready.
    EXPECT_EQ(built.device.pageScaling(), c.want) << c.caps135 << " " << c.mode;
  }
}

TEST(BuiltDevice, AJobRunsThroughTheBuiltPrinterAfterAReset) {
  BuiltDevice built;
  built.device.reset(nullptr);
  EXPECT_NE(built.device.fontDatabase(), nullptr);
  built.device.releaseResources();
  EXPECT_EQ(built.device.fontDatabase(), nullptr);
  built.device.reset(nullptr);
  EXPECT_NE(built.device.fontDatabase(), nullptr);
  EXPECT_EQ(built.device.state(), 0u);
}

}  // namespace
