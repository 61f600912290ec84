// The driver instance over a built printer tree: the locale's paper, custom
// sizes and their ids, the media pool and its centred copy, merging the
// user's printer options, the media, tray and media-type enumerations and
// the questions built on them, the code lookups, named settings, the cached
// configuration value and the media-id check; and the empty answers when
// the tree lacks what an operation reads.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/outport.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/custsize.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/tray.h"
#include "graphics/devfont.h"
#include "testkit/core/port.h"
#include "testkit/printer/built.h"

namespace {


GMediaPool* poolIn(GConfiguration& config, uint32_t id = AttrId::MediaPool) {
  return dynamic_cast<GMediaPool*>(config.findById(id));
}

GPaperHandlingDevice* deviceAt(GDriverInstance& instance, RWsize position) {
  return dynamic_cast<GPaperHandlingDevice*>(instance.paperHandlingDevices()->children().pointee(position));
}

// ---- the locale's paper --------------------------------------------------------------------

TEST(DriverInstance, LocaleDefaultPaperByCountry) {
  InstalledLocaleHost platform;
  BuiltInstance built;
  const struct {
    int64_t country;
    int16_t paper;
  } cases[] = {{0, 1},    {2, 1},    {3, 23},   {49, 23},  {50, 1},  {59, 1},          {60, 23},
               {499, 23}, {500, 1},  {599, 1},  {600, 23}, {1, 1},   {0xFFFFFFFF, 23}, {-1, 1}};
  for (const auto& c : cases) {
    platform.host().country = c.country;
    EXPECT_EQ(built.instance.localeDefaultPaper(), c.paper) << "country " << c.country;
  }
}

TEST(DriverInstance, LocaleDefaultPaperWithoutPlatformIsLetter) {
  BuiltInstance built;
  EXPECT_EQ(built.instance.localeDefaultPaper(), 1);
}

// ---- custom sizes -----------------------------------------------------------------------------

TEST(DriverInstance, AddCustomMediaSizeTakesTheLowestFreeIdAndReplacesBySameName) {
  TestInstance instance;
  GAttributeComposite sizes(AttrId::CustomSizes);
  sizes.insert(new GCustomMediaSize(16385, RWCString("Card"), 0, 400, 600));
  sizes.insert(new GCustomMediaSize(16387, RWCString("Photo"), 0, 500, 700));

  GCustomMediaSize* added = new GCustomMediaSize(0, RWCString("Banner"), 0, 850, 3000);
  added->resetChanged();
  ASSERT_EQ(instance.addCustomMediaSize(added, &sizes), 1);
  EXPECT_EQ(added->mediaId(), 16386);
  EXPECT_TRUE(added->isChanged());
  EXPECT_EQ(sizes.entries(), 3u);

  // A size named as one held takes its place (and the next free id).
  GCustomMediaSize* renamed = new GCustomMediaSize(0, RWCString("Photo"), 0, 510, 710);
  ASSERT_EQ(instance.addCustomMediaSize(renamed, &sizes), 1);
  EXPECT_EQ(renamed->mediaId(), 16388);
  ASSERT_EQ(sizes.entries(), 3u);
  EXPECT_EQ(sizes.children().pointee(2), renamed);
  EXPECT_EQ(sizes.children().firstIndex([](const MPersistentObject* c) {
              return static_cast<const GCustomMediaSize*>(c)->mediaId() == 16387;
            }),
            -1);

  // A name that differs only in length is another name.
  GCustomMediaSize* longer = new GCustomMediaSize(0, RWCString("Photo "), 0, 1, 1);
  ASSERT_EQ(instance.addCustomMediaSize(longer, &sizes), 1);
  EXPECT_EQ(sizes.entries(), 4u);
}

TEST(DriverInstance, AddCustomMediaSizeWhenEveryIdIsTakenChangesNothing) {
  TestInstance instance;
  GAttributeComposite sizes(AttrId::CustomSizes);
  for (int16_t id = 16385; id <= 17383; ++id) sizes.insert(new GCustomMediaSize(id, RWCString("s"), 0, 1, 1));
  ASSERT_EQ(sizes.entries(), 999u);
  GCustomMediaSize size(0, RWCString("s"), 0, 2, 2);
  EXPECT_EQ(instance.addCustomMediaSize(&size, &sizes), 0);
  EXPECT_EQ(size.mediaId(), 0);
  EXPECT_EQ(sizes.entries(), 999u);
  EXPECT_EQ(instance.addCustomMediaSize(nullptr, &sizes), 0);
}

// ---- the media pool -------------------------------------------------------------------------------

// A generator pool holding a Letter entry printable from 50 dots across
// 4900 of its 5100 (and 100 across 6400 of 6600), a strip whose margins meet,
// and an alternate pool.
PrinterModel offCentreModel() {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    delete configs.generator.removeById(AttrId::MediaPool);
    auto* pool = new GMediaPool(AttrId::MediaPool);
    pool->insert(new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(50, 100), 0, 1, 600, 600, 190,
                            7, "text", "plain"));
    // Margins of 600 and 300 across 1000: nothing printable is left.
    pool->insert(new GMedia("Strip", GPoint(1000, 1000), GPoint(100, 1000), GPoint(600, 0), 0, 2, 600, 600));
    configs.generator.insert(pool);
    configs.generator.insert(new GMediaPool(AttrId::AlternateMediaPool));
  };
  return model;
}

TEST(DriverInstance, MediaPoolCentresThePrintableAreaOnceUntilReset) {
  BuiltInstance built(offCentreModel());
  GDriverInstance& instance = built.instance;
  GMediaPool* stored = poolIn(built.printerConfig());
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(instance.mediaPool(), stored) << "no settings: the printer's pool";
  EXPECT_EQ(instance.printerSetting189(), stored);

  built.setSetting(AttrId::SubstituteMedia, 1);
  GMediaPool* centred = instance.mediaPool();
  ASSERT_NE(centred, nullptr);
  ASSERT_NE(centred, stored);
  ASSERT_EQ(centred->entries(), 2u);
  const GMedia* strip = dynamic_cast<const GMedia*>(centred->children().pointee(1));
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->printableOrigin(), GPoint(600, 0));
  EXPECT_EQ(strip->printableExtent(), GPoint(0, 1000));
  const GMedia* m = dynamic_cast<const GMedia*>(centred->children().pointee(0));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->printableOrigin(), GPoint(150, 100));
  EXPECT_EQ(m->printableExtent(), GPoint(4800, 6400));
  EXPECT_EQ(m->size(), GPoint(5100, 6600));
  EXPECT_EQ(m->mediaId(), 1);
  EXPECT_EQ(m->code(), 7);
  EXPECT_EQ(m->id(), 190u);
  EXPECT_EQ(std::string(m->mediaTypeName().data()), "plain");

  // Built once: an entry added to the printer's pool shows after a reset.
  stored->insert(new GMedia("Legal", GPoint(5100, 8400), GPoint(4900, 8200), GPoint(100, 100), 0, 5, 600, 600));
  EXPECT_EQ(instance.mediaPool(), centred);
  EXPECT_EQ(instance.mediaPool()->entries(), 2u);
  instance.reset(nullptr);
  EXPECT_EQ(instance.mediaPool()->entries(), 3u);

  built.setSetting(AttrId::EmulateMargins, 1);
  EXPECT_EQ(instance.mediaPool(), poolIn(built.printerConfig(), AttrId::AlternateMediaPool));
}

TEST(DriverInstance, MediaPoolWithoutPrinterConfigIsNull) {
  TestInstance instance;
  EXPECT_EQ(instance.mediaPool(), nullptr);
  int32_t count = 7;
  EXPECT_EQ(instance.selectMedia(nullptr, nullptr, 0, 600, 600, 0, 0, count), -1);
  EXPECT_EQ(count, 0);
}

// ---- merging the user's printer options ------------------------------------------------------

// The job language's options hold the targets of the copies and the memory
// (a range up to 100); beside the builder's "Input" (trays 1 and 2) and
// "Output" devices: a second installed "Input", a "Manual" input whose first
// tray is number 5, and an absent device with sources 1 and 4. Every input
// device has sources 1 and 3.
PrinterModel mergeModel() {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    GAttributeComposite& options = configs.jobLanguageOptions;
    options.insert(new GRangeAttribute(0, 100, 1, 10, AttrId::DownloadMemory));
    for (uint32_t id : {AttrId::DuplexUnit, AttrId::CollationAvailable, AttrId::PrinterModeSwitch, AttrId::Option441}) options.insert(new GValueAttribute(-1, id));
    configs.generator.insert(new GValueAttribute(-1, AttrId::Option317));

    auto source = [](int16_t trayNumber) {
      auto* s = new GAttributeComposite(0);
      s->insert(new GTray("t", trayNumber));
      return s;
    };
    auto* devices = dynamic_cast<GAttributeComposite*>(options.findById(AttrId::PaperHandlingDevices));
    for (RWsize i = 0; i < devices->entries(); ++i) {
      auto* d = dynamic_cast<GPaperHandlingDevice*>(devices->children().pointee(i));
      if (d->deviceClass() == 0) d->addSource(3, source(3));
    }
    auto* second = new GPaperHandlingDevice("Input", 0, 1, 1, 1, 1);
    second->addSource(1, source(1));
    second->addSource(3, source(3));
    devices->insert(second);
    auto* manual = new GPaperHandlingDevice("Manual", 0, 1, 0, 1, 1);
    manual->addSource(1, source(5));
    devices->insert(manual);
    auto* absent = new GPaperHandlingDevice("Absent", 0, 0, 1, 1, 1);
    absent->addSource(1, source(1));
    absent->addSource(4, source(4));
    devices->insert(absent);
  };
  return model;
}

int16_t valueIn(const MPersistentObject* within, uint32_t id) {
  const MPersistentObject* o = within ? within->findById(id) : nullptr;
  if (const auto* v = dynamic_cast<const GValueAttribute*>(o)) return v->value();
  if (const auto* r = dynamic_cast<const GRangeAttribute*>(o)) return r->value();
  return -999;
}

TEST(DriverInstance, MergeSettingsCopiesThePrinterOptionsIntoTheConfiguration) {
  BuiltInstance built(mergeModel());
  GDriverInstance& instance = built.instance;
  auto* options = new GState(AttrId::PrinterOptions);
  const struct {
    uint32_t id;
    int16_t value;
  } values[] = {{AttrId::DownloadMemoryChoice, 500}, {AttrId::DuplexUnitChoice, 8}, {AttrId::CollationOption, 10}, {AttrId::ModeSwitch, 1},
                {AttrId::Option317, 17},             {AttrId::InputSource, 3}, {AttrId::OutputSource, 1}, {AttrId::ManualFeed, 1},
                {AttrId::AbsentDeviceSource, 4},     {AttrId::Option441, 41}};
  for (const auto& v : values) options->insert(new GValueAttribute(v.value, v.id));
  options->insert(new GStringAttribute("Input", AttrId::InputDeviceName));
  options->insert(new GStringAttribute("Output", AttrId::OutputDeviceName));
  delete built.settings().removeById(AttrId::PrinterOptions);
  built.settings().insert(options);

  ASSERT_EQ(instance.mergeSettings(nullptr), 1);

  MPersistentObject* c228 = built.printerConfig().findById(AttrId::JobLanguageConfig);
  GConfiguration* g = instance.pdlGenerator()->config();
  EXPECT_EQ(valueIn(g, AttrId::DownloadMemory), 100) << "lent to the generator, clamped";
  EXPECT_EQ(g->findById(AttrId::DownloadMemory), c228->findById(AttrId::DownloadMemory));
  EXPECT_EQ(valueIn(c228, AttrId::DuplexUnit), 8);
  EXPECT_EQ(valueIn(c228, AttrId::CollationAvailable), 10);
  EXPECT_EQ(valueIn(c228, AttrId::PrinterModeSwitch), 1);
  EXPECT_EQ(valueIn(g, AttrId::Option317), 17);
  EXPECT_EQ(valueIn(c228, AttrId::Option441), 41);

  const struct {
    const char* name;
    int32_t enabled;
    uint16_t selected;
  } devices[] = {
      {"Input", 1, 3}, {"Output", 1, 1}, {"Input", 0, 1}, {"Manual", 1, 1}, {"Absent", 1, 4},
  };
  for (RWsize i = 0; i < std::size(devices); ++i) {
    const GPaperHandlingDevice* d = deviceAt(instance, i);
    SCOPED_TRACE(i);
    EXPECT_EQ(std::string(d->name().data()), devices[i].name);
    EXPECT_EQ(d->isEnabled(), devices[i].enabled);
    EXPECT_EQ(d->selectedSourceId(), devices[i].selected);
  }

  // A 239 other than 1 is 0; an unchosen output device is disabled.
  auto* again = new GState(AttrId::PrinterOptions);
  again->insert(new GValueAttribute(2, AttrId::ModeSwitch));
  EXPECT_EQ(instance.mergeSettings(again), 1);
  delete again;
  EXPECT_EQ(valueIn(c228, AttrId::PrinterModeSwitch), 0);
  EXPECT_EQ(deviceAt(instance, 1)->isEnabled(), 0);
  EXPECT_EQ(deviceAt(instance, 0)->isEnabled(), 0);
}

TEST(DriverInstance, MergeSettingsWithoutSettingsOrOptionsIsZero) {
  BuiltInstance built;
  EXPECT_EQ(built.instance.mergeSettings(nullptr), 0) << "no settings";
  GState unrelated(362);
  EXPECT_EQ(built.instance.mergeSettings(&unrelated), 0) << "no group 365";
}

// ---- what the tree may lack ---------------------------------------------------------------------

TEST(DriverInstance, MissingItemsGiveTheEmptyResults) {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    delete configs.jobLanguage.removeById(AttrId::ModeEntries);
    delete configs.jobLanguage.removeById(AttrId::JobLanguageConfig);
  };
  BuiltInstance built(model);
  GDriverInstance& instance = built.instance;
  EXPECT_EQ(instance.supportsResolution(600, 600), 0);
  EXPECT_EQ(instance.paperHandlingDevices(), nullptr);
  int32_t count = 5;
  EXPECT_EQ(instance.enumerateSources(nullptr, nullptr, 0, count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(instance.supportsTray(1), 0);
  EXPECT_TRUE(instance.setting401Text().isNull());
  auto* options = new GState(AttrId::PrinterOptions);
  options->insert(new GStringAttribute("Input", AttrId::InputDeviceName));
  options->insert(new GValueAttribute(50, AttrId::DownloadMemoryChoice));
  delete built.settings().removeById(AttrId::PrinterOptions);
  built.settings().insert(options);
  EXPECT_EQ(instance.mergeSettings(nullptr), 1);

  // With them, the same questions have answers.
  BuiltInstance full;
  EXPECT_EQ(full.instance.supportsResolution(600, 600), 1);
  EXPECT_EQ(full.instance.supportsTray(1), 1);
}

TEST(DriverInstance, AnInstanceWithoutPartsAnswersEmpty) {
  TestInstance instance;
  int16_t second = 0;
  uint16_t first = 0;
  int32_t count = 3;
  EXPECT_EQ(instance.printer(), nullptr);
  EXPECT_EQ(instance.printerConfig(), nullptr);
  EXPECT_EQ(instance.pdlGenerator(), nullptr);
  EXPECT_EQ(instance.secondCodeFor(1, second), 0);
  EXPECT_EQ(instance.firstCodeFor(1, first), 0);
  EXPECT_EQ(instance.supportsResolution(600, 600), 0);
  EXPECT_EQ(instance.supportsMediaCode(0, 600, 600, 0, 1), 0);
  EXPECT_EQ(instance.enumerateMediaTypes(nullptr, nullptr, 0, count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(instance.hasMappingForFirstCode(16690), 0);
  EXPECT_EQ(instance.checkMediaId(nullptr, 1, 0, 0, 0), 2);
  EXPECT_EQ(instance.configurationValue(), 0u);
  EXPECT_EQ(instance.applyNamedSettings(RWWString("x"), nullptr), 0);
  EXPECT_EQ(instance.saveConfiguration(), 603);
  EXPECT_EQ(instance.mergeSettings(nullptr), 0);
  EXPECT_EQ(instance.settingsMade(), 3) << "asked for by supportsMediaCode and the two media-type lookups";
  EXPECT_EQ(instance.asDevice(), nullptr);
  EXPECT_EQ(instance.asInterfaceInstance(), &instance);
  EXPECT_EQ(instance.freeMemory(), 0);
  EXPECT_EQ(instance.keepsAbsentFontSources(), 0);
  EXPECT_EQ(instance.extensionHookA(1, 2, 3, 4), 0);
  EXPECT_EQ(instance.extensionHookB(1, 2, 3), 0);
}

// ---- media selection ------------------------------------------------------------------------------

// The builder's pool at 600 dpi, 0 and 90 degrees: Letter (1), Legal (5),
// A4 (23), the custom bounds 17385 (1800 x 3000) and 17384 (5100 x 8400);
// and a hook's card (17000, 1000 x 1000) below the lower bound.
PrinterModel cardModel() {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    poolIn(configs.generator)
        ->insert(new GMedia("Card", GPoint(1000, 1000), GPoint(800, 800), GPoint(100, 100), 0, 17000, 600, 600));
  };
  return model;
}

struct Seen {
  std::vector<int16_t> ids;
  int16_t hitOn = 0;
  int16_t stopOn = 0;
};

int seeMedia(GMedia* entry, GResourceMapping*, int32_t index, void* buffer, int32_t& status) {
  Seen& seen = *static_cast<Seen*>(buffer);
  EXPECT_EQ(index, static_cast<int32_t>(seen.ids.size()));
  seen.ids.push_back(entry->mediaId());
  if (entry->mediaId() == seen.hitOn) status = 1;
  return entry->mediaId() == seen.stopOn ? 0 : 1;
}

TEST(DriverInstance, SelectMedia) {
  BuiltInstance built(cardModel());
  const struct {
    const char* name;
    int32_t orientation;
    int16_t resolution;
    int32_t mappings;
    int32_t bounded;
    int16_t hitOn;
    int16_t stopOn;
    int32_t result;
    std::vector<int16_t> ids;  // seen by the callback; without one the count
  } cases[] = {
      {"every entry", 0, 600, 0, 0, 1, 0, 1, {1, 5, 23, 17385, 17384, 17000}},
      {"bounded", 0, 600, 0, 1, 1, 0, 1, {1, 5, 23, 17385, 17384}},
      {"mapped only", 0, 600, 1, 0, 5, 0, 1, {1, 5, 23}},
      {"turned", 90, 600, 1, 1, 23, 0, 1, {1, 5, 23}},
      {"no hit", 0, 600, 1, 0, 99, 0, -1, {1, 5, 23}},
      {"stops", 0, 600, 0, 0, 1, 5, 1, {1, 5}},
      {"other resolution", 0, 300, 0, 0, 1, 0, -1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seen seen{{}, c.hitOn, c.stopOn};
    int32_t count = -1;
    EXPECT_EQ(built.instance.selectMedia(seeMedia, &seen, c.orientation, c.resolution, c.resolution, c.mappings,
                                         c.bounded, count),
              c.result);
    EXPECT_EQ(seen.ids, c.ids);
    EXPECT_EQ(count, static_cast<int32_t>(c.ids.size()));
    // Without a buffer every qualifying entry counts and is a hit.
    if (c.stopOn == 0) {
      EXPECT_EQ(built.instance.selectMedia(seeMedia, nullptr, c.orientation, c.resolution, c.resolution, c.mappings,
                                           c.bounded, count),
                c.ids.empty() ? -1 : 1);
      EXPECT_EQ(count, static_cast<int32_t>(c.ids.size()));
    }
  }
}

TEST(DriverInstance, SupportsMediaCode) {
  BuiltInstance built;
  GDriverInstance& instance = built.instance;
  // Custom sizes of the settings: 4 x 6 inches under the platform code 256
  // and 20 x 20 inches under 257 (past the pool's upper bound).
  instance.codeMappings()->add(new GResourceMapping(16385, 256, 16385));
  instance.codeMappings()->add(new GResourceMapping(16386, 257, 16386));
  auto* sizes = dynamic_cast<GAttributeComposite*>(built.settings().findById(AttrId::CustomSizes));
  ASSERT_NE(sizes, nullptr);
  sizes->insert(new GCustomMediaSize(16385, RWCString("Postcard"), 0, 400, 600));
  sizes->insert(new GCustomMediaSize(16386, RWCString("Poster"), 0, 2000, 2000));
  const struct {
    uint16_t code;
    int32_t orientation;
    int16_t resolution;
    int32_t bounded;
    int32_t supported;
  } cases[] = {
      {1, 0, 600, 0, 1},   {9, 0, 600, 1, 1},   {5, 90, 600, 1, 1},  {1, 0, 300, 0, 0},   {2, 0, 600, 0, 0},
      {256, 0, 600, 1, 1}, {256, 0, 300, 1, 1}, {257, 0, 600, 0, 1}, {257, 0, 600, 1, 0}, {258, 0, 600, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(instance.supportsMediaCode(c.orientation, c.resolution, c.resolution, c.bounded, c.code), c.supported)
        << "code " << c.code << " at " << c.orientation << " degrees, " << c.resolution << " dpi, bounded "
        << c.bounded;
}

// ---- trays -------------------------------------------------------------------------------------------

int seeTray(GTray* tray, GResourceMapping* mapping, int32_t, void* buffer, int32_t& status) {
  Seen& seen = *static_cast<Seen*>(buffer);
  seen.ids.push_back(tray->number());
  if (mapping && mapping->firstCode() == static_cast<uint16_t>(seen.hitOn)) status = 1;
  return tray->number() == seen.stopOn ? 0 : 1;
}

TEST(DriverInstance, EnumerateSources) {
  PrinterModel model = testModel();
  model.trays = {1, 2, 3};
  BuiltInstance built(model);
  GDriverInstance& instance = built.instance;
  delete instance.storedPart()->removeBySecondCode(3);
  // A second input device, disabled, and an output device: neither counts.
  auto* disabled = new GPaperHandlingDevice("Feeder", 0, 1, 0, 1, 1);
  auto* trays = new GAttributeComposite(0);
  trays->insert(new GTray("Feeder tray", 4));
  disabled->addSource(1, trays);
  instance.paperHandlingDevices()->insert(disabled);
  const struct {
    const char* name;
    int32_t mappings;
    int16_t hitOn;
    int16_t stopOn;
    int32_t result;
    std::vector<int16_t> trays;
  } cases[] = {
      {"every tray", 0, 0, 0, -1, {1, 2, 3}},
      {"mapped only", 1, 2, 0, 1, {1, 2}},
      {"stops", 1, 1, 1, 1, {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seen seen{{}, c.hitOn, c.stopOn};
    int32_t count = -1;
    EXPECT_EQ(instance.enumerateSources(seeTray, &seen, c.mappings, count), c.result);
    EXPECT_EQ(seen.ids, c.trays);
    EXPECT_EQ(count, static_cast<int32_t>(c.trays.size()));
  }
  int32_t count = 0;
  EXPECT_EQ(instance.enumerateSources(seeTray, nullptr, 0, count), 1);
  EXPECT_EQ(count, 3);

  const struct {
    uint16_t code;
    int32_t supported;
  } trayCases[] = {{1, 1}, {2, 1}, {3, 0}, {4, 0}};
  for (const auto& c : trayCases) EXPECT_EQ(instance.supportsTray(c.code), c.supported) << c.code;
}

// ---- media types ------------------------------------------------------------------------------------

struct TypesSeen {
  std::vector<std::string> seen;
  int stopAfter = 100;
};

int seeType(GResourceMapping* mapping, int32_t index, void* buffer, int32_t& status, const RWCString* name) {
  TypesSeen& t = *static_cast<TypesSeen*>(buffer);
  std::string line = std::to_string(index) + ":";
  if (mapping) line += std::to_string(mapping->firstCode()) + "/" + std::to_string(mapping->secondCode());
  if (name) line += "=" + std::string(name->data());
  t.seen.push_back(line);
  status = 1;
  return static_cast<int>(t.seen.size()) < t.stopAfter ? 1 : 0;
}

TEST(DriverInstance, MediaTypesAndTheirMappings) {
  BuiltInstance built;
  GDriverInstance& instance = built.instance;
  instance.resourceMappings()->add(new GResourceMapping(7, 300, 20));
  instance.resourceMappings()->add(new GResourceMapping(8, 301, 21));
  auto* types = dynamic_cast<GAttributeComposite*>(built.settings().findById(AttrId::ExtraMediaTypes));
  ASSERT_NE(types, nullptr);
  types->insert(new GStringAttribute("Glossy", 0));
  types->insert(new GStringAttribute("Matte", 0));

  const struct {
    const char* name;
    int32_t pass;
    int stopAfter;
    std::vector<std::string> seen;
  } cases[] = {
      {"with mappings", 1, 100, {"0:300/20", "1:301/21", "2:16690/50=Glossy", "3:16691/51=Matte"}},
      {"without", 0, 100, {"0:", "1:", "2:", "3:"}},
      // Stopping ends the stored mappings only: each extra type is offered.
      {"stopped", 1, 1, {"0:300/20", "1:16690/50=Glossy", "2:16691/51=Matte"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TypesSeen t{{}, c.stopAfter};
    int32_t count = 0;
    EXPECT_EQ(instance.enumerateMediaTypes(seeType, &t, c.pass, count), 1);
    EXPECT_EQ(t.seen, c.seen);
    EXPECT_EQ(count, static_cast<int32_t>(c.seen.size()));
  }

  GResourceMappingList list(0);
  EXPECT_EQ(instance.addListMappings(list), types);
  ASSERT_EQ(list.entries(), 2u) << "every type its mapping, all of resource id 0";
  EXPECT_EQ(list.findByFirstCode(16691)->secondCode(), 51);
  EXPECT_EQ(list.findByFirstCode(16691)->resourceId(), 0u);

  const struct {
    uint16_t code;
    int32_t has;
  } codes[] = {{300, 1}, {301, 1}, {16690, 1}, {16691, 1}, {16692, 0}, {1, 0}};
  for (const auto& c : codes) EXPECT_EQ(instance.hasMappingForFirstCode(c.code), c.has) << c.code;

  delete built.settings().removeById(AttrId::ExtraMediaTypes);
  GResourceMappingList none(0);
  EXPECT_EQ(instance.addListMappings(none), nullptr);
  EXPECT_EQ(none.entries(), 0u);
  EXPECT_EQ(instance.hasMappingForFirstCode(16690), 0);
}

// ---- codes, resolutions, named settings, the cached value, media ids ---------------------------

TEST(DriverInstance, CodeLookups) {
  BuiltInstance built;
  const struct {
    uint16_t first;
    int16_t second;
    bool mapped;
  } cases[] = {{1, 1, true}, {5, 5, true}, {9, 23, true}, {2, 2, false}, {23, 9, false}};
  for (const auto& c : cases) {
    int16_t second = -7;
    uint16_t first = 7;
    EXPECT_EQ(built.instance.secondCodeFor(c.first, second), c.mapped ? 1 : 0) << c.first;
    EXPECT_EQ(second, c.mapped ? c.second : -7);
    EXPECT_EQ(built.instance.firstCodeFor(c.second, first), c.mapped ? 1 : 0) << c.second;
    EXPECT_EQ(first, c.mapped ? c.first : 7);
  }
}

TEST(DriverInstance, SupportsResolution) {
  PrinterModel model = testModel();
  model.resolutions = {300, 600};
  model.hook = [](PrinterConfigs& configs) {
    // An entry of 1200 across and no height, and one that is no composite.
    auto* modes = configs.jobLanguage.findById(AttrId::ModeEntries);
    auto* odd = new GAttributeComposite(0);
    odd->insert(new GValueAttribute(1200, AttrId::Resolution));
    modes->insert(odd);
    modes->insert(new GValueAttribute(1200, 0));
  };
  BuiltInstance built(model);
  const struct {
    int16_t x, y;
    int32_t supported;
  } cases[] = {{300, 300, 1}, {600, 600, 1}, {600, 300, 0}, {1200, 1200, 0}, {1200, 0, 0}, {0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(built.instance.supportsResolution(c.x, c.y), c.supported) << c.x << "x" << c.y;
}

TEST(DriverInstance, ApplyNamedSettings) {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    auto* named = new GAttributeComposite(AttrId::NamedSettings);
    auto entry = [&](const char* name, int16_t copies) {
      auto* e = new GAttributeComposite(0);
      if (name) e->insert(new GStringAttribute(name, AttrId::NamedSettingsName));
      if (copies) {
        auto* values = new GState(AttrId::NamedSettingsValues);
        values->insert(new GValueAttribute(copies, 247));
        e->insert(values);
      }
      named->insert(e);
    };
    entry(nullptr, 9);
    entry("Draft", 2);
    entry("Draft", 3);
    entry("Bare", 0);
    entry("caf\xe9", 4);
    configs.printer.insert(named);
  };
  BuiltInstance built(model);
  const struct {
    const char16_t* name;
    int32_t applied;
    int16_t copies;  // in the target afterwards; 0 none
  } cases[] = {{u"Draft", 1, 2}, {u"draft", 0, 0}, {u"Draf", 0, 0}, {u"", 0, 0}, {u"Bare", 1, 0}, {u"caf\u00e9", 1, 4}};
  for (const auto& c : cases) {
    GState target(246);
    EXPECT_EQ(built.instance.applyNamedSettings(RWWString(c.name), &target), c.applied);
    EXPECT_EQ(valueIn(&target, 247), c.copies ? c.copies : -999);
  }
}

TEST(DriverInstance, ConfigurationValueIsReadOnceUntilReset) {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) { configs.printer.insert(new GValueAttribute(-2, AttrId::ConfigurationValue)); };
  BuiltInstance built(model);
  EXPECT_EQ(built.instance.configurationValue(), 0xFFFEu) << "the 16-bit value, unsigned";
  dynamic_cast<GValueAttribute*>(built.printerConfig().findById(AttrId::ConfigurationValue))->setValue(5);
  EXPECT_EQ(built.instance.configurationValue(), 0xFFFEu);
  built.instance.reset(nullptr);
  EXPECT_EQ(built.instance.configurationValue(), 5u);

  BuiltInstance without;
  EXPECT_EQ(without.instance.configurationValue(), 0u);
}

TEST(DriverInstance, CheckMediaId) {
  PrinterModel tableless = testModel();
  tableless.hook = [](PrinterConfigs& configs) {
    delete configs.jobLanguage.removeById(AttrId::PaperNameTable);
    delete configs.generator.removeById(AttrId::PaperNameTable);
  };
  BuiltInstance built;
  BuiltInstance noTable(tableless);
  TestInstance noConfig;
  const struct {
    int16_t id;
    int32_t known, knownWithoutTable, knownWithoutConfig;
  } cases[] = {
      {1, 1, 1, 2},      {5, 1, 1, 2},       {23, 1, 1, 2},      {2, 2, 1, 2},
      {0x3FFF, 2, 1, 2}, {0x4000, 2, 2, 2}, {-1 /* 0xFFFF */, 2, 2, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(built.instance.checkMediaId(nullptr, c.id, 0, 0, 0), c.known) << c.id;
    EXPECT_EQ(noTable.instance.checkMediaId(nullptr, c.id, 0, 0, 0), c.knownWithoutTable) << c.id;
    EXPECT_EQ(noConfig.checkMediaId(nullptr, c.id, 0, 0, 0), c.knownWithoutConfig) << c.id;
  }
  // Through the settings' orientation and resolution, which the base does
  // not need; missing ones count 0.
  GState settings(246);
  EXPECT_EQ(built.instance.checkMediaIdFor(&settings, 23), 1);
  EXPECT_EQ(built.instance.checkMediaIdFor(nullptr, 2), 2);
}

TEST(DriverInstance, Setting401TextAndDeleteChild) {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) { configs.printer.insert(new GStringAttribute("Caf\xe9", AttrId::ResourceModule)); };
  BuiltInstance built(model);
  EXPECT_TRUE(built.instance.setting401Text() == RWWString(u"Caf\u00e9"));

  GAttributeComposite composite(0);
  GValueAttribute* child = new GValueAttribute(1, 5);
  composite.insert(child);
  GValueAttribute stranger(1, 6);
  EXPECT_EQ(built.instance.deleteChild(&stranger, &composite), 0);
  EXPECT_EQ(built.instance.deleteChild(child, &composite), 1);
  EXPECT_EQ(composite.entries(), 0u);
}

// ---- saving the configuration --------------------------------------------------------------------

TEST(DriverInstance, SaveConfigurationThroughASecondaryPort) {
  BuiltInstance built;
  EXPECT_EQ(built.instance.saveConfiguration(), 603) << "no provider";
  FakeConfigurationStore store;
  store.answer(42);
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&store, RWCString("Configuration store")), 0);
  EXPECT_EQ(built.instance.saveConfiguration(), 42);
  EXPECT_EQ(store.lastRequest(), 0x10000u);
  ASSERT_NE(store.stored(), nullptr);
  EXPECT_TRUE(store.stored()->matches(built.instance.printerConfig())) << "a copy of the printer Config";
  EXPECT_NE(store.stored(), built.instance.printerConfig());
  EXPECT_EQ(store.flags(), 1);
  TestInstance empty;
  EXPECT_EQ(empty.saveConfiguration(), 603) << "no printer Config";
  EXPECT_EQ(store.stores(), 1);
  GOutputPortProviderRegistry::instance().remove(RWCString("Configuration store"));
}

}  // namespace

namespace {

// ---- fonts of the mass-storage devices --------------------------------------------------------

std::vector<uint32_t> listKeys(const GDeviceFontListComposite& lists) {
  std::vector<uint32_t> keys;
  for (RWsize i = 0; i < lists.lists().entries(); ++i) keys.push_back(lists.lists().children().pointee(i)->id());
  return keys;
}

PrinterModel fontModel() {
  PrinterModel model = testModel();
  model.hook = [](PrinterConfigs& configs) {
    auto* lists = new GDeviceFontListComposite;
    for (uint32_t key : {416u, 500u, 417u, 429u}) lists->insert(new GDeviceFontList(key));
    configs.printer.insert(lists);
  };
  return model;
}

TEST(DriverInstance, PruneMassStorageFontsKeepsOnlyTheSourcesStillFound) {
  GDeviceFontListComposite kept;
  GDeviceFontList* fresh = new GDeviceFontList(417);
  fresh->setStamp(9);
  kept.insert(fresh);
  kept.insert(new GDeviceFontList(418));
  const GDeviceFontListComposite empty;
  const struct {
    const char* name;
    const GDeviceFontListComposite* kept;
    std::vector<uint32_t> keys;
  } cases[] = {
      {"none kept", nullptr, {500}},
      {"an empty list", &empty, {500}},
      // The kept lists come back in place of theirs, or in front.
      {"some kept", &kept, {418, 500, 417}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BuiltInstance built(fontModel());
    auto* lists = dynamic_cast<GDeviceFontListComposite*>(built.printerConfig().findById(AttrId::FontLists));
    ASSERT_NE(lists, nullptr);
    built.instance.pruneMassStorageFonts(c.kept);
    EXPECT_EQ(listKeys(*lists), c.keys);
  }
  BuiltInstance without;
  without.instance.pruneMassStorageFonts(&kept);
  EXPECT_EQ(without.printerConfig().findById(AttrId::FontLists), nullptr);
}

TEST(DriverInstance, TheFontSourceListIsAPrinterValue) {
  TestInstance instance;
  GDeviceFontListComposite list;
  list.insert(new GDeviceFontList(420));
  EXPECT_EQ(instance.fontSourceList(), nullptr) << "no platform";
  EXPECT_EQ(instance.storeFontSourceList(&list), 0);

  InstalledLocaleHost platform;
  EXPECT_EQ(instance.fontSourceList(), nullptr) << "nothing stored";
  ASSERT_EQ(instance.storeFontSourceList(&list), 1);
  const std::unique_ptr<GDeviceFontListComposite> back(instance.fontSourceList());
  ASSERT_TRUE(back);
  EXPECT_EQ(listKeys(*back), std::vector<uint32_t>{420});
  // Another kind of object under the name is no list.
  GAttributeComposite other(0);
  ASSERT_EQ(platform.host().putObject(&instance, RWWString("AddedFonts"), &other), 1);
  EXPECT_EQ(instance.fontSourceList(), nullptr);
}

}  // namespace
