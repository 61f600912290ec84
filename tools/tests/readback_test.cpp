// A printer the builder made, written to its data file and read back into a
// driver instance: the items a job's DEVMODE, the settings part and the
// variable-data forms look for, where they look and what they find, for
// the builder's defaults and for a model that turns each one the other
// way; and mkprinter's options for them.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "device/capabil.h"
#include "device/formtray.h"
#include "device/resmap.h"
#include "device/setread.h"
#include "host/engine/engine.h"
#include "testkit/printer/built.h"
#include "testkit/tmpdir.h"
#include "tools/printer/mkprint.h"

namespace {

// A printer read back from the file the builder wrote for the model, with
// the builder's settings tree over the restored configuration.
struct RestoredPrinter {
  explicit RestoredPrinter(const PrinterModel& model) {
    const std::string path = dir.file("printer.dat");
    std::string error;
    const std::unique_ptr<GAttributeComposite> built = buildPrinterTree(model, error);
    EXPECT_TRUE(built) << error;
    if (built) {
      EXPECT_TRUE(writePrinterTree(*built, path, error)) << error;
    }
    if (std::unique_ptr<GAttributeComposite> top = restoredTree(path)) handOver(*top, instance);
    if (GPeripheralComposite* root = instance.configuration()) settings = buildPrinterSettings(*root);
  }

  TempDir dir;
  TestInstance instance;
  std::unique_ptr<GAttributeComposite> settings;
};

// Every item turned the other way from the defaults.
PrinterModel otherModel() {
  PrinterModel model = testModel();
  model.resolutions = {300, 1200, 600};
  model.qualityCodes = true;
  model.duplex = false;
  model.orientations = {0, 90};
  model.collation = false;
  model.greyscaleChoice = true;
  model.mediaCodes = false;
  model.mediaOptions = {1};
  model.customSizes = false;
  model.anySize = true;
  model.diskForms = true;
  model.formCapabilities = {0};
  model.trayForms = {{2, 23}};
  return model;
}

constexpr int32_t kAbsent = std::numeric_limits<int32_t>::min();

int32_t valueOf(const MPersistentObject* within, uint32_t id) {
  int16_t value = 0;
  return SettingRead::readValue(within, id, value) ? value : kAbsent;
}

std::vector<int16_t> valuesOf(const MPersistentObject* list) {
  std::vector<int16_t> values;
  const auto* composite = dynamic_cast<const GAttributeComposite*>(list);
  for (RWsize i = 0; composite && i < composite->entries(); ++i) {
    int16_t value = 0;
    values.push_back(SettingRead::readValue(composite->children().pointee(i), value) ? value : INT16_MIN);
  }
  return values;
}

// Where a reader starts: the printer's Config as the driver instance
// merges it, the job language's 228 in it, the settings tree, and the
// settings' document group.
enum class Where { Printer, JobLanguageOptions, Settings, Document };

const MPersistentObject* start(RestoredPrinter& p, Where where) {
  switch (where) {
    case Where::Printer:
      return p.instance.printerConfig();
    case Where::JobLanguageOptions:
      return SettingRead::lookUp(p.instance.printerConfig(), 228);
    case Where::Settings:
      return p.settings.get();
    case Where::Document:
      return SettingRead::lookUp(p.settings.get(), 362);
  }
  return nullptr;
}

TEST(PrinterReadBack, EachValueIsWhereItsReaderLooks) {
  RestoredPrinter printers[] = {RestoredPrinter(testModel()), RestoredPrinter(otherModel())};
  for (RestoredPrinter& p : printers) {
    ASSERT_NE(p.instance.printerConfig(), nullptr);
    ASSERT_NE(p.settings, nullptr);
  }
  const struct {
    const char* what;
    Where where;
    uint32_t id;
    int32_t defaults, other;
  } cases[] = {
      {"duplex binding", Where::Printer, 203, 0, 0},
      {"collation", Where::JobLanguageOptions, 231, 1, 0},
      {"greyscale offered, printer", Where::Printer, 294, 0, 1},
      {"greyscale offered", Where::Settings, 294, 0, 1},
      {"greyscale choice", Where::Settings, 296, kAbsent, 0},
      {"media codes, printer", Where::Printer, 298, 1, 0},
      {"media codes", Where::Settings, 298, 1, 0},
      {"media choice, printer", Where::Printer, 350, 0, 0},
      {"media choice", Where::Settings, 350, 0, 0},
      {"dither choice, printer", Where::Printer, 351, 0, 0},
      {"dither choice", Where::Settings, 351, 0, 0},
      {"any custom size", Where::Printer, 914, 0, 1},
      {"custom sizes", Where::Printer, 916, 1, 0},
      {"variable-data forms", Where::Document, 702, 0, 1},
      // The Default's resolution is the model's first: 300 dpi, the
      // lowest of three.
      {"quality code", Where::Document, 902, kAbsent, -2},
      {"resolution", Where::Document, 323, 600, 300},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(valueOf(start(printers[0], c.where), c.id), c.defaults) << c.what;
    EXPECT_EQ(valueOf(start(printers[1], c.where), c.id), c.other) << c.what << ", the other model";
  }

  const struct {
    uint32_t set, number;
    bool defaults, other;
  } capabilities[] = {
      {137, 0, true, false}, {137, 1, true, true},  {137, 2, true, false}, {137, 3, false, false},
      {565, 0, false, false}, {750, 0, false, true}, {750, 1, true, false}, {750, 11, true, false},
      {750, 12, false, false},
  };
  for (const auto& c : capabilities)
    for (int i = 0; i < 2; ++i) {
      const auto* set = dynamic_cast<const GCapabilities*>(
          SettingRead::lookUp(SettingRead::lookUp(printers[i].instance.printerConfig(), 112), c.set));
      ASSERT_NE(set, nullptr) << c.set;
      EXPECT_EQ(set->contains(c.number) != 0, i == 0 ? c.defaults : c.other) << c.set << " " << c.number << " model " << i;
    }

  const auto* bindings = dynamic_cast<const GRangeAttribute*>(SettingRead::lookUp(printers[0].instance.printerConfig(), 203));
  ASSERT_NE(bindings, nullptr);
  EXPECT_EQ(bindings->minimum(), 0);
  EXPECT_EQ(bindings->maximum(), 2);
  EXPECT_EQ(dynamic_cast<const GRangeAttribute*>(SettingRead::lookUp(printers[1].instance.printerConfig(), 203))->maximum(), 0);

  EXPECT_EQ(valuesOf(SettingRead::lookUp(printers[0].instance.printerConfig(), 205)),
            (std::vector<int16_t>{0, 90, 180, 270}));
  EXPECT_EQ(valuesOf(SettingRead::lookUp(printers[1].instance.printerConfig(), 205)), (std::vector<int16_t>{0, 90}));
}

TEST(PrinterReadBack, ModeEntriesCarryQualityCodesOnlyWhenAsked) {
  for (bool codes : {false, true}) {
    PrinterModel model = testModel();
    model.resolutions = {300, 1200, 600, 1200};
    model.qualityCodes = codes;
    RestoredPrinter p(model);
    const auto* modes = dynamic_cast<const GAttributeComposite*>(SettingRead::lookUp(p.instance.printerConfig(), 206));
    ASSERT_NE(modes, nullptr);
    ASSERT_EQ(modes->entries(), 4u);
    // The highest resolution asks for the best quality, -4; a resolution
    // listed twice counts once.
    const int16_t dpi[] = {300, 1200, 600, 1200};
    const int16_t quality[] = {-2, -4, -3, -4};
    for (RWsize i = 0; i < 4; ++i) {
      const MPersistentObject* entry = modes->children().pointee(i);
      EXPECT_EQ(valueOf(entry, 323), dpi[i]);
      EXPECT_EQ(valueOf(entry, 324), dpi[i]);
      EXPECT_EQ(valueOf(entry, 325), 1);
      EXPECT_EQ(valueOf(entry, 902), codes ? quality[i] : kAbsent) << i;
    }
  }
}

TEST(PrinterReadBack, CodeMappingsTakeTheBuiltInFormsToTheirMediaIds) {
  RestoredPrinter p(testModel());
  GResourceMappingList* codes = p.instance.codeMappings();
  ASSERT_NE(codes, nullptr);
  EXPECT_EQ(codes->entries(), 3u);
  const struct {
    uint16_t form;
    int16_t mediaId;
    const char16_t* name;
  } cases[] = {{1, 1, u"Letter"}, {5, 5, u"Legal"}, {9, 23, u"A4"}};
  for (const auto& c : cases) {
    const GResourceMapping* mapping = codes->findByFirstCode(c.form);
    ASSERT_NE(mapping, nullptr) << c.form;
    EXPECT_EQ(mapping->secondCode(), c.mediaId);
    EXPECT_EQ(codes->findBySecondCode(c.mediaId), mapping);
    // The stand-in's built-in form of that index is the paper.
    ASSERT_LE(c.form, eng::builtinForms().size());
    EXPECT_TRUE(eng::builtinForms()[c.form - 1].name == c.name) << c.form;
  }
}

TEST(PrinterReadBack, TheFormToTrayDatabaseKeysTraysAsForms) {
  PrinterModel model = testModel();
  model.trays = {1, 2, 3};
  for (const auto& trayForms : {std::vector<std::pair<int16_t, int16_t>>{},
                                std::vector<std::pair<int16_t, int16_t>>{{3, 23}, {1, 5}}}) {
    model.trayForms = trayForms;
    RestoredPrinter p(model);
    // The printer options 365 of the settings: the stored part the
    // settings part keeps for the printer.
    const MPersistentObject* options = SettingRead::lookUp(p.settings.get(), 365);
    ASSERT_NE(options, nullptr);
    const auto* database = dynamic_cast<const GFormToTrayDatabase*>(options->findById(510));
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->hasNonDefault(), trayForms.empty() ? 0 : 1);
    EXPECT_EQ(database->associations().entries(), trayForms.size());
    for (const auto& [tray, mediaId] : trayForms) {
      EXPECT_EQ(database->trayFor(tray), mediaId) << tray;
      EXPECT_EQ(database->usesTray(mediaId), 1) << mediaId;
      EXPECT_EQ(database->mediaTypeFor(tray), GFormToTrayDatabase::defaultMediaType);
    }
    EXPECT_EQ(database->usesTray(1), 0) << "Letter is in no tray";
  }
}

TEST(Mkprinter, TheFormAndQualityOptionsReachTheFile) {
  TempDir dir;
  const std::string path = dir.file("out.dat");
  std::ostringstream err;
  ASSERT_EQ(runMkprinter({"--generator", "TestGenerator", "--trays", "1,2", "--resolutions", "600,1200",
                          "--quality-codes", "on", "--tray-forms", "2:A4,1:LEGAL", "--vdp-forms", "on",
                          "--vdp-capabilities", "0,3", "-o", path},
                         err),
            0)
      << err.str();
  std::unique_ptr<GAttributeComposite> top = restoredTree(path);
  ASSERT_TRUE(top);
  TestInstance instance;
  handOver(*top, instance);
  const GConfiguration* config = instance.printerConfig();
  ASSERT_NE(config, nullptr);
  const MPersistentObject* document = instance.printer()->defaults()->findById(246);
  EXPECT_EQ(valueOf(document, 702), 1);
  EXPECT_EQ(valueOf(document, 902), -3);
  const auto* forms = dynamic_cast<const GCapabilities*>(SettingRead::lookUp(config, 750));
  ASSERT_NE(forms, nullptr);
  EXPECT_EQ(forms->count(), 2u);
  EXPECT_TRUE(forms->contains(0) && forms->contains(3));
  const auto* database = dynamic_cast<const GFormToTrayDatabase*>(SettingRead::lookUp(config, 510));
  ASSERT_NE(database, nullptr);
  EXPECT_EQ(database->trayFor(2), 23);
  EXPECT_EQ(database->trayFor(1), 5);

  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--quality-codes", "yes"}, "bad value \"yes\" for --quality-codes"},
      {{"--vdp-forms", ""}, "bad value \"\" for --vdp-forms"},
      {{"--vdp-capabilities", "1,-1"}, "bad value \"1,-1\" for --vdp-capabilities"},
      {{"--vdp-capabilities", "12"}, "bad form capability 12"},
      {{"--tray-forms", "2"}, "bad value \"2\" for --tray-forms"},
      {{"--tray-forms", "2:B5"}, "bad value \"2:B5\" for --tray-forms"},
      {{"--tray-forms", "x:A4"}, "bad value \"x:A4\" for --tray-forms"},
      {{"--tray-forms", "3:A4"}, "no tray 3 for a form"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    for (const char* more : {"--generator", "TestGenerator", "-o"}) args.push_back(more);
    args.push_back(dir.file("bad.dat"));
    std::ostringstream bad;
    EXPECT_EQ(runMkprinter(args, bad), kMkprinterUsage) << c.message;
    EXPECT_NE(bad.str().find(c.message), std::string::npos) << bad.str();
  }
}

}  // namespace
