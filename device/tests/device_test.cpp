// The device: sending commands through the configuration, the document and
// page flow, copies, the drawing state and pass-through commands, over a
// configuration root of recording stages.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/device.h"
#include "device/pericomp.h"
#include "device/sinks.h"
#include "graphics/clip.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "journal/cmdcomp.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "journal/path.h"
#include "testkit/core/stage.h"
#include "testkit/device/testdevice.h"

namespace {

// A stage that answers a page start with a composite of two errors, and
// notes the length of every pass-through it is given.
class DeviceStage : public RecordingPeripheral {
 public:
  explicit DeviceStage(GConfiguration* config) : RecordingPeripheral("stage", nullptr, config) {}
  GCommandPtr dispatch(const GCommandPtr& command) override {
    if (twoErrors && command && command->isA() == ClassId::GPageStart) {
      auto* both = new GCommandComposite;
      both->insert(new GErrorCommand(7, command.get()));
      both->insert(new GErrorCommand(9, command.get()));
      return GCommandPtr(both);
    }
    return RecordingPeripheral::dispatch(command);
  }
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand* command) override {
    lengths.push_back(command->length());
    return RecordingPeripheral::onPassThrough(command);
  }
  int count(const std::string& handler) const {
    int n = 0;
    for (const std::string& h : handlers()) n += h == handler;
    return n;
  }
  bool twoErrors = false;
  std::vector<uint16_t> lengths;
};

// A gate target that refuses every command.
class RefusingTarget : public GSinkTarget {
 public:
  int32_t attached(GForwardingSink*, uint32_t) override { return 0; }
  [[nodiscard]] GStatus poll() override { return 9; }
  void receive(uintptr_t) override {}
  void receiveFour(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override {}
  bool accepts(uint32_t) override { return false; }
};

int16_t valueIn(MPersistentObject* within, uint32_t id) {
  auto* value = within ? dynamic_cast<GValueAttribute*>(within->findById(id)) : nullptr;
  return value ? value->value() : -1;
}

// Settings with the four groups the copies touch; the printer options
// collate (310) when asked.
GAttributeComposite* jobSettings(int16_t collate) {
  auto* settings = new GAttributeComposite(360);
  settings->insert(new GState(362));
  settings->insert(new GState(363));
  auto* options = new GAttributeComposite(364);
  options->insert(new GValueAttribute(1, 291));
  settings->insert(options);
  auto* printerOptions = new GAttributeComposite(365);
  printerOptions->insert(new GValueAttribute(collate, 310));
  settings->insert(printerOptions);
  return settings;
}

struct DeviceFixture : ::testing::Test {
  DeviceFixture() : device([this] { return jobSettings(collate); }) {
    auto* config = new GConfiguration(198);
    config->insert(new GRangeAttribute(1, 99, 1, 1, 199));
    stage = new DeviceStage(config);
    auto* root = new GPeripheralComposite;
    root->insert(stage);
    device.setConfiguration(root);
    device.beginJob();
  }
  GAttributeComposite* group(uint32_t id) {
    return dynamic_cast<GAttributeComposite*>(device.settings()->findById(id));
  }
  [[nodiscard]] GStatus startJob() {
    device.setDocumentPending(1);
    return device.startDocument();
  }

  int16_t collate = 0;
  TestDevice device;
  DeviceStage* stage;
};

// ---- sending ------------------------------------------------------------------------

TEST_F(DeviceFixture, TheFirstOfTwoErrorsIsTheStatusAndTheJobIsAbortedOnce) {
  ASSERT_EQ(startJob(), 0);
  stage->twoErrors = true;
  device.setPagePending(1);
  EXPECT_EQ(device.ensurePageStarted(), 7);
  EXPECT_EQ(stage->count("onJobAbort"), 1);
  EXPECT_EQ(device.state(), 3u);
}

TEST_F(DeviceFixture, AStatusOfTheStagesPutsTheDeviceInTheErrorStateUntilTheNextJob) {
  stage->answer("onDocumentStart", 12);
  EXPECT_EQ(startJob(), 12);
  EXPECT_EQ(device.state(), 3u);
  EXPECT_EQ(stage->count("onJobAbort"), 1);
  device.beginJob();
  EXPECT_EQ(device.state(), 0u);
}

TEST_F(DeviceFixture, StartingADocumentTwiceAnswers403) {
  ASSERT_EQ(startJob(), 0);
  EXPECT_EQ(device.documentStarted(), 1u);
  EXPECT_EQ(device.documentPending(), 0u);
  EXPECT_EQ(device.startDocument(), 403);
  EXPECT_EQ(device.state(), 3u);
  EXPECT_EQ(stage->count("onDocumentStart"), 1);
}

TEST_F(DeviceFixture, ASecondJobResetsTheConfigurationBeforeItsDocumentStart) {
  ASSERT_EQ(startJob(), 0);
  // Left disabled by the first job: only a reset lets it see the second.
  stage->disable();
  device.beginJob();
  ASSERT_EQ(startJob(), 0);
  EXPECT_EQ(stage->count("onDocumentStart"), 2);
}

TEST_F(DeviceFixture, APageIsStartedOnceFromTheFirstDrawing) {
  ASSERT_EQ(startJob(), 0);
  device.setPagePending(1);
  EXPECT_EQ(device.sendDrawing(new GNoCommand), 0);
  EXPECT_EQ(device.sendDrawing(new GNullCommand), 0);
  EXPECT_EQ(stage->count("onPageStart"), 1);
  EXPECT_EQ(device.pageStarted(), 1u);
  EXPECT_EQ(device.pageCount(), 1u);
  EXPECT_EQ(stage->count("onJobAbort"), 0);
  EXPECT_EQ(device.state(), 0u);
}

TEST_F(DeviceFixture, ARefusingGateProcessesNothingAndSendDrawingFreesTheCommand) {
  device.outputGate().attach(new RefusingTarget, 0);
  // The command's attribute shows when the command lets it go.
  const GCountedPtr attribute(new GValueAttribute(1, 77));
  const GCommandPtr kept(new GNullCommand(attribute.get(), 0));
  EXPECT_EQ(device.send(kept.get()), 9);
  EXPECT_EQ(kept->references(), 1);  // still the caller's alone
  EXPECT_EQ(attribute->references(), 2);
  EXPECT_EQ(device.sendDrawing(new GNullCommand(attribute.get(), 0)), 9);
  EXPECT_EQ(attribute->references(), 2);  // the second command is gone
  EXPECT_TRUE(stage->calls().empty());
}

TEST_F(DeviceFixture, ARefusingGateFreesTheDocumentAndPageStartsTheDeviceMakes) {
  device.outputGate().attach(new RefusingTarget, 0);
  // The sanitizer preset sees a leak if either start is kept.
  EXPECT_EQ(startJob(), 9);
  EXPECT_EQ(device.state(), 3u);
  device.setPagePending(1);
  EXPECT_EQ(device.ensurePageStarted(), 9);
  EXPECT_TRUE(stage->calls().empty());
}

TEST_F(DeviceFixture, AFailedDrawingCheckFreesTheCommandAndSendsNothing) {
  device.drawingStatus = 5;
  device.setPagePending(1);
  // The sanitizer preset sees a leak if the command is kept.
  EXPECT_EQ(device.sendDrawing(new GNullCommand), 5);
  EXPECT_EQ(stage->count("onPageStart"), 0);
  EXPECT_EQ(device.pagePending(), 1u);
}

// ---- copies -------------------------------------------------------------------------

TEST_F(DeviceFixture, CopiesAreClampedToTheConfigurationsLimit) {
  struct Case {
    int16_t requested, applied;
  } cases[] = {{-5, 1}, {150, 99}, {0, 0}, {99, 99}, {3, 3}};
  int16_t before = 1;
  for (const Case& c : cases) {
    int16_t applied = -1;
    EXPECT_EQ(device.setCopies(c.requested, applied), before) << c.requested;
    EXPECT_EQ(applied, c.applied) << c.requested;
    EXPECT_EQ(valueIn(group(364), 291), c.applied);
    before = c.applied;
  }
}

TEST(DeviceCopies, WithoutALimitTheRequestStands) {
  TestDevice device([] { return jobSettings(0); });
  device.setConfiguration(new GPeripheralComposite);
  int16_t applied = 0;
  device.setCopies(500, applied);
  EXPECT_EQ(applied, 500);
}

TEST_F(DeviceFixture, CopiesGoToTheDocumentWhenThePrinterCollatesElseToThePage) {
  for (int16_t collates : {1, 0}) {
    collate = collates;
    device.setSettings(nullptr);
    int16_t applied = 0;
    device.setCopies(4, applied);
    if (collates) {
      delete group(364)->removeById(292);
      group(364)->insert(new GValueAttribute(1, 292));
      EXPECT_EQ(device.applySettings(), 0);
    }
    EXPECT_EQ(valueIn(group(362), 247), collates ? 4 : 1) << collates;
    EXPECT_EQ(valueIn(group(363), 257), collates ? 1 : 4) << collates;
    EXPECT_EQ(valueIn(group(362), 291), 4);
  }
}

// ---- the drawing state ----------------------------------------------------------------

TEST_F(DeviceFixture, NestedPathsEndAsParentAndChildWithOneFinish) {
  EXPECT_EQ(device.beginPath(), 1u);
  GPathGraphic* outer = device.currentPath();
  EXPECT_EQ(device.beginPath(), 2u);
  GPathGraphic* inner = device.currentPath();
  EXPECT_EQ(device.endPath(4), 1);
  EXPECT_EQ(device.currentPath(), outer);
  EXPECT_TRUE(inner->isClosed());
  EXPECT_EQ(device.endPath(4), 0);
  ASSERT_EQ(device.finished.size(), 1u);
  EXPECT_EQ(device.finished[0], outer);
  EXPECT_EQ(outer->entries(), 1u);
  EXPECT_EQ(outer->find(inner), inner);
}

TEST_F(DeviceFixture, EndingAPathWithoutOneOnlyLowersTheDepth) {
  EXPECT_EQ(device.endPath(0), 0);
  device.beginPath();
  device.clipToPath(0, 2);  // takes the path as the clip
  EXPECT_EQ(device.endPath(0), 0);
  EXPECT_TRUE(device.finished.empty());
}

TEST_F(DeviceFixture, TheSameCapIsSentOnce) {
  GGraphicAttribute* first = device.capFor(2);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(dynamic_cast<GCap*>(first)->cap(), 2);
  EXPECT_EQ(device.capFor(2), nullptr);
  EXPECT_NE(device.capFor(1), nullptr);
  EXPECT_NE(device.capFor(2), nullptr);
}

TEST_F(DeviceFixture, AJoinIsNullOnlyWhenItIsTheOneRecordedAsSent) {
  GGraphicAttribute* round = device.jointFor(1, 10.0f);
  ASSERT_NE(round, nullptr);
  EXPECT_EQ(device.jointFor(1, 10.0f), round);
  GGraphicAttribute* miter = device.jointFor(0, 4.0f);
  ASSERT_TRUE(dynamic_cast<GMiterJoint*>(miter));
  EXPECT_EQ(device.jointFor(0, 4.0f), miter);
  device.setLastSentJoin(miter);
  EXPECT_EQ(device.jointFor(0, 4.0f), nullptr);
  // A joint freed and a new one made later is never the one sent.
  device.jointFor(0, 5.0f);
  EXPECT_NE(device.jointFor(0, 4.0f), nullptr);
}

TEST_F(DeviceFixture, ClipToPathByKind) {
  struct Case {
    int32_t mode, kind, answer;
    bool withPath;
    RWClassID clip;  // 0: the bundle's clip is not set
    int32_t region, fillRule;
    size_t saved;
  } cases[] = {
      {0, 0, 1, true, 0, 0, 0, 1},                               // saves
      {0, 1, 1, false, ClassId::GClipToPage, 0, 1, 0},           // restores with nothing saved
      {0, 2, 1, true, ClassId::GClipToPath, 0, 1, 0},            // inside, winding
      {1, 2, 1, true, ClassId::GClipToPath, 0, 0, 0},            // inside, even-odd in mode 1
      {0, 3, 1, true, ClassId::GClipToPath, 1, 0, 0},            // outside
      {0, 2, 1, false, ClassId::GClipToPage, 0, 1, 0},           // no path: the page
      {0, 4, 0, true, 0, 0, 0, 0},                               // unknown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TestDevice fresh;
    if (c.withPath) {
      fresh.beginPath();
      fresh.endPath(0);
    }
    EXPECT_EQ(fresh.clipToPath(c.mode, c.kind), c.answer);
    EXPECT_EQ(fresh.savedDrawingStates(), c.saved);
    auto* bundle = dynamic_cast<GGraphicBundle*>(fresh.currentObject(GDevice::kCurrentBundle).get());
    ASSERT_NE(bundle, nullptr);
    GGraphicAttribute* clip = bundle->clip();
    if (!c.clip) {
      EXPECT_EQ(clip, nullptr);
      continue;
    }
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->isA(), c.clip);
    EXPECT_EQ(clip->id(), AttrId::Clip);
    if (c.clip == ClassId::GClipToPath) {
      auto* path = dynamic_cast<GClipToPath*>(clip);
      EXPECT_EQ(path->region(), c.region);
      EXPECT_EQ(path->fillRule(), c.fillRule);
      EXPECT_EQ(fresh.currentPath(), nullptr);
      EXPECT_NE(fresh.clipPath(), nullptr);
    }
  }
}

TEST_F(DeviceFixture, ARestoredStateBringsBackItsCapJoinAndClip) {
  device.beginPath();
  device.endPath(0);
  device.clipToPath(0, 2);
  device.setCurrentCap(2);
  device.saveDrawingState();
  device.setCurrentCap(0);
  device.clipToPath(0, 2);  // no path now: the page
  EXPECT_EQ(device.clipPath(), nullptr);
  device.restoreDrawingState();
  EXPECT_EQ(device.currentCap(), 2u);
  ASSERT_NE(device.clipPath(), nullptr);
  GGraphicBundle* bundle = dynamic_cast<GGraphicBundle*>(device.currentObject(GDevice::kCurrentBundle).get());
  ASSERT_NE(bundle->cap(), nullptr);
  EXPECT_EQ(dynamic_cast<GCap*>(bundle->cap())->cap(), 2);
  EXPECT_EQ(bundle->clip()->isA(), ClassId::GClipToPath);
  EXPECT_EQ(device.savedDrawingStates(), 0u);
}

TEST_F(DeviceFixture, TheBundleIsReusedOnlyWhenNobodyElseHoldsIt) {
  GGraphicBundle* first = device.currentBundle();
  first->setCap(new GCap(2));
  EXPECT_EQ(device.currentBundle(), first);
  EXPECT_EQ(first->cap(), nullptr);
  first->setCap(new GCap(2));
  const GCountedPtr command(new GNullCommand(first, 0));
  GGraphicBundle* second = device.currentBundle();
  EXPECT_NE(second, first);
  EXPECT_NE(first->cap(), nullptr);
}

TEST_F(DeviceFixture, BeginJobDiscardsPathsSavedStatesAndTheClip) {
  device.beginPath();
  device.beginPath();
  device.saveDrawingState();
  device.clipToPath(0, 3);
  device.setAborted(1);
  device.beginJob();
  // A device given up stays so.
  EXPECT_EQ(device.isAborted(), 1u);
  EXPECT_EQ(device.pathDepth(), 0u);
  EXPECT_EQ(device.currentPath(), nullptr);
  EXPECT_EQ(device.clipPath(), nullptr);
  EXPECT_EQ(device.savedDrawingStates(), 0u);
}

// ---- pass-through -------------------------------------------------------------------

TEST_F(DeviceFixture, APassThroughNotSentLeavesNoMarkAtTheGate) {
  const uint8_t bytes[3] = {1, 2, 3};
  device.drawingStatus = 4;
  EXPECT_EQ(device.makePassThrough(bytes, 3, ClassId::GPcl5e, 0, 1, 1), 4);
  EXPECT_EQ(device.outputGate().marked(), nullptr);
}

TEST_F(DeviceFixture, BeginJobClearsAMarkLeftAtTheGate) {
  GNoCommand never;
  device.outputGate().mark(&never);
  device.beginJob();
  EXPECT_EQ(device.outputGate().marked(), nullptr);
}

TEST_F(DeviceFixture, APassThroughCarriesItsBytesAndTheOptionalBundle) {
  ASSERT_EQ(startJob(), 0);
  const uint8_t bytes[3] = {1, 2, 3};
  device.setPagePending(1);
  EXPECT_EQ(device.makePassThrough(bytes, 3, ClassId::GPcl5e, 1, 1, 0), 0);
  EXPECT_EQ(stage->lengths, std::vector<uint16_t>{3});
  EXPECT_EQ(stage->count("onPageStart"), 1);
  EXPECT_EQ(device.outputGate().marked(), nullptr);
}

TEST_F(DeviceFixture, ALongPassThroughGoesInPiecesOfAtMost32767Bytes) {
  ASSERT_EQ(startJob(), 0);
  const std::vector<uint8_t> bytes(100000, 0x41);
  EXPECT_EQ(device.makePassThrough(bytes.data(), 100000, ClassId::GPcl5e, 0, 0, 1), 0);
  EXPECT_EQ(stage->lengths, (std::vector<uint16_t>{32767, 32767, 32767, 1699}));
}

}  // namespace

namespace {

// ---- settings that lack what the rules read -----------------------------------------

TEST(DeviceSettings, MissingOrStrangeGroupsCountAsAbsent) {
  using Maker = TestDevice::SettingsMaker;
  struct Case {
    const char* name;
    Maker maker;
  } cases[] = {
      {"no settings", [] { return nullptr; }},
      {"no groups", [] { return new GAttributeComposite(360); }},
      {"groups of another class",
       [] {
         auto* settings = new GAttributeComposite(360);
         for (uint32_t id : {362u, 363u, 364u, 365u, 366u, 276u}) settings->insert(new GValueAttribute(1, id));
         return settings;
       }},
      {"a document group of attributes only",
       [] {
         auto* settings = new GAttributeComposite(360);
         auto* document = new GAttributeComposite(362);
         document->insert(new GValueAttribute(1, 260));
         settings->insert(document);
         return settings;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDevice device(c.maker);
    device.setConfiguration(new GPeripheralComposite);
    EXPECT_EQ(device.beginJob(), 0);
    int16_t applied = 0;
    EXPECT_EQ(device.setCopies(3, applied), 0);
    EXPECT_EQ(applied, 3);
    std::unique_ptr<GDocumentStart> start(device.makeDocumentStart(RWWString(u"d"), RWWString(u"o")));
    ASSERT_NE(start, nullptr);
    EXPECT_NE(dynamic_cast<GState*>(start->attributePointer()), nullptr);
    std::unique_ptr<GPageStart> page(device.makePageStart());
    EXPECT_NE(dynamic_cast<GState*>(page->attributePointer()), nullptr);
    std::unique_ptr<GPageEnd> end(device.makePageEnd());
    EXPECT_NE(end, nullptr);
    EXPECT_EQ(device.mediaForId(1), nullptr);
    EXPECT_EQ(device.mediaForId(16400), nullptr);
    device.setDocumentPending(1);
    EXPECT_EQ(device.startDocument(), 0);
  }
}

}  // namespace

namespace {

// ---- watermarks ---------------------------------------------------------------------

GAttributeComposite* watermarkSettings(int16_t choice, int16_t option, const char* name) {
  auto* settings = new GAttributeComposite(360);
  auto* options = new GAttributeComposite(364);
  auto* chosen = new GAttributeComposite(379);
  chosen->insert(new GValueAttribute(choice, 382));
  chosen->insert(new GValueAttribute(option, 381));
  chosen->insert(new GStringAttribute(name, 383));
  options->insert(chosen);
  settings->insert(options);
  auto* definitions = new GAttributeComposite(366);
  auto* list = new GAttributeComposite(378);
  for (const char* stored : {"Copy", "Draft"}) {
    auto* entry = new GAttributeComposite(0);
    entry->insert(new GStringAttribute(stored, 384));
    list->insert(entry);
  }
  definitions->insert(list);
  settings->insert(definitions);
  return settings;
}

TEST(DeviceWatermark, TheStoredWatermarkNamedByTheJobIsCopiedElseNoneIsChosen) {
  struct Case {
    int16_t choice, option;
    const char* name;
    bool found;
  } cases[] = {
      {1, 0, "Draft", true}, {2, 0, "Draft", false}, {1, 1, "Draft", false},
      {1, 0, "", false},     {1, 0, "Secret", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDevice device([&c] { return watermarkSettings(c.choice, c.option, c.name); });
    std::unique_ptr<GAttributeComposite> chosen(device.watermarkSettings());
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->id(), 379u);
    auto* name = dynamic_cast<GStringAttribute*>(chosen->findById(384));
    if (!c.found) {
      EXPECT_EQ(name, nullptr);
      EXPECT_EQ(valueIn(chosen.get(), 382), 2);
      EXPECT_EQ(chosen->entries(), 1u);
      continue;
    }
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->value(), RWCString("Draft"));
    EXPECT_EQ(valueIn(chosen.get(), 382), c.choice);
    EXPECT_EQ(valueIn(chosen.get(), 381), 0);
  }
}

}  // namespace
