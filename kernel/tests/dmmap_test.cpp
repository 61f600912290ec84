// The DEVMODE's public fields against the settings tree, both ways, and the
// merge of foreign DEVMODEs, on a settings part over a printer the
// configuration builder makes.

#include <cstring>
#include <memory>
#include <vector>

#include "core/attrids.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/media.h"
#include "device/resmap.h"
#include "device/setread.h"
#include "kernel/devmode.h"
#include "kernel/tests/settingsfix.h"

using namespace DevModeLayout;

namespace {


// A value of the tree, or -999 when there is none.
int16_t valueIn(const MPersistentObject* tree, uint32_t id) {
  int16_t value = -999;
  return SettingRead::readValue(tree, id, value) ? value : -999;
}

void setValue(GAttributeComposite* tree, uint32_t id, int16_t value) {
  if (auto* v = dynamic_cast<GValueAttribute*>(SettingRead::lookUp(tree, id)))
    v->setValue(value);
  else
    tree->insert(new GValueAttribute(value, id));
}

// The paper (260): the builder's settings carry the printer's media there.
void setPaper(GAttributeComposite* tree, int16_t mediaId) {
  if (auto* media = dynamic_cast<GMedia*>(SettingRead::lookUp(tree, 260)))
    media->setMediaId(mediaId);
  else
    setValue(tree, 260, mediaId);
}

int16_t paperIn(const GAttributeComposite* tree) {
  if (const auto* media = dynamic_cast<const GMedia*>(SettingRead::lookUp(tree, 260))) return media->mediaId();
  return valueIn(tree, 260);
}

// Takes the member out, at any depth.
void removeValue(GAttributeComposite* tree, uint32_t id) { delete tree->removeById(id); }

// A public part written by hand: the fields given, the bits given.
struct Public {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kTotalSize, 0);
  Public() {
    GDevModeWriter w(bytes.data(), bytes.size());
    w.put16(kSpecVersion, kSpecVersionValue);
    w.put16(kDriverVersion, kDriverVersionValue);
    w.put16(kSize, kPublicSize);
    w.put16(kDriverExtra, kPrivateHeaderSize + kPrivateDataSize);
  }
  Public& set16(size_t offset, int16_t value, uint32_t bit) {
    GDevModeWriter w(bytes.data(), bytes.size());
    w.put16(offset, static_cast<uint16_t>(value));
    w.setField(bit, true);
    return *this;
  }
  Public& set32(size_t offset, uint32_t value, uint32_t bit) {
    GDevModeWriter w(bytes.data(), bytes.size());
    w.put32(offset, value);
    w.setField(bit, true);
    return *this;
  }
  Public& named(const char16_t* name) {
    GDevModeWriter w(bytes.data(), bytes.size());
    w.putWideName(kFormName, name);
    w.setField(kFieldFormName, true);
    return *this;
  }
  uint32_t fields() const { return view().u32(kFields); }
  int16_t at(size_t offset) const { return view().s16(offset); }
  GDevModeView view() const { return GDevModeView(bytes.data(), bytes.size()); }
};

// A DEVMODE object on a settings part over a printer the builder made from
// the model, and the settings tree that printer starts with.
struct MapRig {
  explicit MapRig(const PrinterModel& model = settingsModel(), std::vector<eng::Form> forms = {})
      : printer(std::move(forms)), device(printer, model), devmode(&device, nullptr) {
    settings.reset(device.createSettings());
  }

  // Gives the object's own DEVMODE the fields of a hand-written one.
  void own(const Public& from) { std::memcpy(devmode.buffer(), from.bytes.data(), kPublicSize); }
  GDevModeView mine() { return devmode.view(); }

  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device;
  GPrinterDevModeNT devmode;
  std::unique_ptr<GAttributeComposite> settings;
};

class MapTest : public ::testing::Test, public MapRig {
 protected:
  explicit MapTest(const PrinterModel& model = settingsModel(), std::vector<eng::Form> forms = {})
      : MapRig(model, std::move(forms)) {}
};

PrinterModel withCodes(PrinterModel model) {
  model.qualityCodes = true;
  return model;
}

PrinterModel withoutModeEntries() {
  PrinterModel model = settingsModel();
  model.hook = [](PrinterConfigs& configs) { delete configs.jobLanguage.removeById(AttrId::ModeEntries); };
  return model;
}

PrinterModel withOrientations(std::vector<int16_t> angles) {
  PrinterModel model = settingsModel();
  model.orientations = std::move(angles);
  return model;
}

PrinterModel withMediaOptions(std::vector<uint32_t> options) {
  PrinterModel model = settingsModel();
  model.mediaOptions = std::move(options);
  return model;
}

}  // namespace

// ---------------------------------------------------------------- orientation

TEST_F(MapTest, OrientationAnglesBecomePortraitOrLandscape) {
  struct Row {
    int16_t angle;
    int16_t expected;  // dmOrientation; 77 = left as it was
  };
  for (const Row row : {Row{0, 1}, Row{90, 2}, Row{180, 1}, Row{270, 2}, Row{45, 77}}) {
    SCOPED_TRACE(row.angle);
    setValue(settings.get(), AttrId::OrientationAngle, row.angle);
    Public out;
    out.set16(kOrientation, 77, 0);
    EXPECT_EQ(devmode.settingsToPublic(settings.get(), out.bytes.data()), 1);
    EXPECT_EQ(out.at(kOrientation), row.expected);
    EXPECT_TRUE(out.fields() & kFieldOrientation);
  }
  removeValue(settings.get(), AttrId::OrientationAngle);
  Public out;
  out.set16(kOrientation, 1, kFieldOrientation);
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_FALSE(out.fields() & kFieldOrientation);
}

struct OrientationBack {
  std::vector<int16_t> listed;
  int16_t current;
  int16_t dmOrientation;
  int16_t expected;
};

class OrientationBackTest : public ::testing::TestWithParam<OrientationBack> {};

TEST_P(OrientationBackTest, KeepsTheFlippedAngleWhenThePrinterListsIt) {
  const OrientationBack& row = GetParam();
  MapRig rig(withOrientations(row.listed));
  setValue(rig.settings.get(), AttrId::OrientationAngle, row.current);
  Public in;
  in.set16(kOrientation, row.dmOrientation, kFieldOrientation);
  EXPECT_EQ(rig.devmode.publicToSettings(in.bytes.data(), rig.settings.get()), 1);
  EXPECT_EQ(valueIn(rig.settings.get(), AttrId::OrientationAngle), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrientationBackTest,
    ::testing::Values(OrientationBack{{0, 90, 180, 270}, 180, 1, 180}, OrientationBack{{0, 90, 180, 270}, 0, 1, 0},
                      OrientationBack{{0, 90}, 180, 1, 0}, OrientationBack{{0, 90, 180, 270}, 0, 2, 90},
                      OrientationBack{{0, 90, 180, 270}, 270, 2, 270}, OrientationBack{{0, 90}, 270, 2, 90},
                      OrientationBack{{0, 180}, 0, 2, 0},           // neither landscape angle listed
                      OrientationBack{{0, 90, 180, 270}, 90, 45, 90}));  // not a DEVMODE orientation

// ---------------------------------------------------------------- print quality

struct QualityRow {
  const char* what;
  PrinterModel model;
  int16_t quality;
  int32_t found;
  int16_t x;
};

TEST(MapQuality, NegativeQualitiesSelectModeEntries) {
  const std::vector<QualityRow> rows = {
      {"no codes, -4 is the first entry", settingsModel(), -4, 1, 600},
      {"no codes, -1 on two entries is the second", settingsModel(), -1, 1, 300},
      {"no codes, -3 is the second", settingsModel(), -3, 1, 300},
      {"no codes, -5 is none", settingsModel(), -5, 0, 0},
      {"no codes, a positive quality is none", settingsModel(), 600, 0, 0},
      {"codes, -4 is the entry of code -4", withCodes(settingsModel()), -4, 1, 600},
      {"codes, -3 is the entry of code -3", withCodes(settingsModel()), -3, 1, 300},
      {"codes, -1 has no entry", withCodes(settingsModel()), -1, 0, 0},
      {"empty list, -4", withoutModeEntries(), -4, 0, 0},
      {"empty list, -1", withoutModeEntries(), -1, 0, 0},
  };
  for (const QualityRow& row : rows) {
    SCOPED_TRACE(row.what);
    MapRig rig(row.model);
    int16_t x = 0;
    int16_t y = 0;
    int16_t bits = 0;
    EXPECT_EQ(rig.devmode.qualityToResolution(row.quality, x, y, bits), row.found);
    if (row.found) {
      EXPECT_EQ(x, row.x);
      EXPECT_EQ(y, row.x);
      EXPECT_EQ(bits, 1);
    }
  }
}

TEST(MapQuality, ResolutionToQualityAnswersTheCodeOfTheEntry) {
  MapRig coded(withCodes(settingsModel()));
  int16_t code = 0;
  EXPECT_EQ(coded.devmode.resolutionToQuality(300, code), 1);
  EXPECT_EQ(code, -3);
  EXPECT_EQ(coded.devmode.resolutionToQuality(1200, code), 0);

  MapRig plain;
  EXPECT_EQ(plain.devmode.resolutionToQuality(600, code), 0);
}

TEST(MapQuality, TheResolutionGroupGoesBothWays) {
  for (const bool codes : {false, true}) {
    SCOPED_TRACE(codes);
    MapRig rig(codes ? withCodes(settingsModel()) : settingsModel());
    GPrinterDevModeNT& devmode = rig.devmode;
    GAttributeComposite* settings = rig.settings.get();

    Public out;
    devmode.settingsToPublic(settings, out.bytes.data());
    EXPECT_EQ(out.at(kPrintQuality), codes ? -4 : 600);
    EXPECT_EQ(out.at(kYResolution), 600);
    EXPECT_EQ(out.fields() & (kFieldPrintQuality | kFieldYResolution), kFieldPrintQuality | kFieldYResolution);

    // Back: a quality code picks its entry's resolution for both
    // directions; a resolution keeps its Y resolution.
    Public in;
    in.set16(kPrintQuality, codes ? -3 : 300, kFieldPrintQuality).set16(kYResolution, 300, kFieldYResolution);
    devmode.publicToSettings(in.bytes.data(), settings);
    const MPersistentObject* group = SettingRead::lookUp(settings, AttrId::ResolutionGroup);
    EXPECT_EQ(valueIn(group, AttrId::Resolution), 300);
    EXPECT_EQ(valueIn(group, AttrId::VerticalResolution), 300);
    EXPECT_EQ(valueIn(group, AttrId::QualityCode), codes ? -3 : -999);

    // Without the Y-resolution bit the group stays.
    Public half;
    half.set16(kPrintQuality, 600, kFieldPrintQuality);
    devmode.publicToSettings(half.bytes.data(), settings);
    EXPECT_EQ(valueIn(group, AttrId::Resolution), 300);
  }
}

class MapCodedTest : public MapTest {
 protected:
  MapCodedTest() : MapTest(withCodes(settingsModel())) {}
};

TEST_F(MapTest, MergedNegativeQualityTakesTheEntryWithoutCodes) {
  own(Public().set16(kPrintQuality, 600, kFieldPrintQuality).set16(kYResolution, 600, kFieldYResolution));
  Public foreign;
  foreign.set16(kPrintQuality, -1, kFieldPrintQuality);
  EXPECT_EQ(devmode.mergePrintQuality(foreign.view()), 1);
  EXPECT_EQ(mine().s16(kPrintQuality), 300);
  EXPECT_EQ(mine().s16(kYResolution), 300);

  foreign.set16(kPrintQuality, -7, kFieldPrintQuality);
  EXPECT_EQ(devmode.mergePrintQuality(foreign.view()), 0);
  EXPECT_EQ(mine().s16(kPrintQuality), 300);
}

TEST_F(MapCodedTest, MergedNegativeQualityKeepsTheCode) {
  own(Public().set16(kPrintQuality, 600, kFieldPrintQuality).set16(kYResolution, 600, kFieldYResolution));
  Public foreign;
  foreign.set16(kPrintQuality, -3, kFieldPrintQuality);
  EXPECT_EQ(devmode.mergePrintQuality(foreign.view()), 1);
  EXPECT_EQ(mine().s16(kPrintQuality), -3);
  EXPECT_EQ(mine().s16(kYResolution), 300);

  foreign.set16(kPrintQuality, -1, kFieldPrintQuality);
  EXPECT_EQ(devmode.mergePrintQuality(foreign.view()), 0);
  EXPECT_EQ(mine().s16(kPrintQuality), -3);
}

TEST(MapQuality, MergedNegativeQualityOnAnEmptyListFails) {
  MapRig rig(withoutModeEntries());
  rig.own(Public().set16(kPrintQuality, 600, kFieldPrintQuality));
  Public foreign;
  foreign.set16(kPrintQuality, -4, kFieldPrintQuality);
  EXPECT_EQ(rig.devmode.mergePrintQuality(foreign.view()), 0);
  EXPECT_EQ(rig.mine().s16(kPrintQuality), 600);
}

TEST_F(MapTest, MergedResolutionMustBeAPairThePrinterAccepts) {
  struct Row {
    int16_t quality;
    int16_t y;  // 0: no Y-resolution bit in the foreign DEVMODE
    uint16_t spec;
    int32_t answer;
    int16_t ownQuality;
    int16_t ownY;
  };
  const Row rows[] = {
      {300, 300, 0x0401, 1, 300, 300},
      {300, 600, 0x0401, 1, 300, 300},  // 300 x 600 is not offered: the quality alone
      {300, 0, 0x0401, 1, 300, 300},
      {450, 450, 0x0401, 0, 600, 600},
      {300, 300, 0x0300, 1, 300, 300},  // an old DEVMODE's Y resolution is not read
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.quality);
    own(Public().set16(kPrintQuality, 600, kFieldPrintQuality).set16(kYResolution, 600, kFieldYResolution));
    Public foreign;
    foreign.set16(kSpecVersion, static_cast<int16_t>(row.spec), 0).set16(kPrintQuality, row.quality, kFieldPrintQuality);
    if (row.y) foreign.set16(kYResolution, row.y, kFieldYResolution);
    EXPECT_EQ(devmode.mergePrintQuality(foreign.view()), row.answer);
    EXPECT_EQ(mine().s16(kPrintQuality), row.ownQuality);
    EXPECT_EQ(mine().s16(kYResolution), row.ownY);
  }
}

// ---------------------------------------------------------------- media and dither

TEST_F(MapTest, MediaAndDitherChoicesBecomeCodes) {
  struct Row {
    int16_t media;
    int16_t dither;
    bool mediaBit;
    uint32_t mediaCode;
    bool ditherBit;
    uint32_t ditherCode;
  };
  const Row rows[] = {
      {0, 0, true, 1, true, 2}, {1, 1, true, 2, true, 1}, {2, 2, true, 2, true, 3},
      {3, 3, true, 2, true, 4}, {4, 4, false, 0, false, 0},  // out of range: the bits go, the codes stay
      {3, 7, true, 2, false, 2},                             // media 3 sets dither code 2 as well
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.media * 10 + row.dither);
    setValue(settings.get(), AttrId::MediaChoice, row.media);
    setValue(settings.get(), AttrId::DitherChoice, row.dither);
    Public out;
    devmode.settingsToPublic(settings.get(), out.bytes.data());
    EXPECT_EQ((out.fields() & kFieldMediaType) != 0, row.mediaBit);
    EXPECT_EQ((out.fields() & kFieldDitherType) != 0, row.ditherBit);
    EXPECT_EQ(out.view().u32(kMediaType), row.mediaCode);
    EXPECT_EQ(out.view().u32(kDitherType), row.ditherCode);
  }
}

TEST_F(MapTest, MediaChoicesTwoAndThreeComeBackAsOne) {
  struct Row {
    int16_t choice;
    int16_t back;
  };
  for (const Row row : {Row{0, 0}, Row{1, 1}, Row{2, 1}, Row{3, 1}}) {
    SCOPED_TRACE(row.choice);
    setValue(settings.get(), AttrId::MediaChoice, row.choice);
    setValue(settings.get(), AttrId::DitherChoice, row.choice);
    Public trip;
    devmode.settingsToPublic(settings.get(), trip.bytes.data());
    devmode.publicToSettings(trip.bytes.data(), settings.get());
    EXPECT_EQ(valueIn(settings.get(), AttrId::MediaChoice), row.back);
    EXPECT_EQ(valueIn(settings.get(), AttrId::DitherChoice), row.choice);  // the dither choice survives
  }
}

TEST_F(MapTest, WithoutMediaCodesInUseTheMediaCodeIsOne) {
  setValue(settings.get(), 298, 0);
  Public out;
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_TRUE(out.fields() & kFieldMediaType);
  EXPECT_EQ(out.view().u32(kMediaType), 1u);

  removeValue(settings.get(), 298);
  Public none;
  none.set32(kMediaType, 3, kFieldMediaType);
  devmode.settingsToPublic(settings.get(), none.bytes.data());
  EXPECT_FALSE(none.fields() & kFieldMediaType);
}

struct FallbackRow {
  std::vector<uint32_t> options;
  uint32_t foreign;
  uint32_t expected;
};

class MediaFallbackTest : public ::testing::TestWithParam<FallbackRow> {};

TEST_P(MediaFallbackTest, ForeignMediaCodeMovesToAnAvailableOption) {
  const FallbackRow& row = GetParam();
  MapRig rig(withMediaOptions(row.options));
  rig.own(Public().set32(kMediaType, 3, kFieldMediaType));
  Public foreign;
  foreign.set32(kMediaType, row.foreign, kFieldMediaType);
  EXPECT_EQ(rig.devmode.mergeMediaAndDither(foreign.view()), 1);
  EXPECT_EQ(rig.mine().u32(kMediaType), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MediaFallbackTest,
                         ::testing::Values(FallbackRow{{0, 1, 2}, 4, 4}, FallbackRow{{0, 1}, 4, 3},
                                           FallbackRow{{0}, 4, 2}, FallbackRow{{}, 4, 1},
                                           FallbackRow{{0, 1, 2}, 3, 3}, FallbackRow{{0, 2}, 3, 4},
                                           FallbackRow{{0}, 3, 2}, FallbackRow{{}, 3, 1},
                                           FallbackRow{{0}, 2, 2}, FallbackRow{{1, 2}, 2, 4},
                                           FallbackRow{{1}, 2, 3}, FallbackRow{{}, 2, 1},
                                           FallbackRow{{}, 1, 1}));

TEST_F(MapTest, ForeignMediaOrDitherOutsideTheCodesFails) {
  for (const uint32_t bad : {0u, 5u, 0x80000000u}) {
    SCOPED_TRACE(bad);
    own(Public().set32(kMediaType, 3, kFieldMediaType).set32(kDitherType, 2, kFieldDitherType));
    Public foreign;
    foreign.set32(kMediaType, bad, kFieldMediaType);
    EXPECT_EQ(devmode.mergeMediaAndDither(foreign.view()), 0);
    EXPECT_EQ(mine().u32(kMediaType), 1u);  // reset before the check

    Public dither;
    dither.set32(kDitherType, bad, kFieldDitherType);
    EXPECT_EQ(devmode.mergeMediaAndDither(dither.view()), 0);
    EXPECT_EQ(mine().u32(kDitherType), 2u);
  }
}

// ---------------------------------------------------------------- colour, duplex, collate, copies

TEST_F(MapTest, ColourDuplexAndCollateFillThePublicPart) {
  Public out;
  setValue(settings.get(), AttrId::OrientationAngle, 0);
  setValue(settings.get(), AttrId::DuplexBinding, 1);
  setValue(settings.get(), AttrId::Collate, 1);
  setValue(settings.get(), AttrId::JobCopies, 4);
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_EQ(out.at(kColor), 2);  // no greyscale choice: colour
  EXPECT_TRUE(out.fields() & kFieldColor);
  EXPECT_EQ(out.at(kDuplex), 3);  // short edge in portrait
  EXPECT_EQ(out.at(kCollate), 1);
  EXPECT_EQ(out.at(kCopies), 4);
  EXPECT_EQ(out.fields() & (kFieldDuplex | kFieldCollate | kFieldCopies), kFieldDuplex | kFieldCollate | kFieldCopies);

  setValue(settings.get(), AttrId::OrientationAngle, 90);
  setValue(settings.get(), AttrId::GreyscaleOffered, 1);
  setValue(settings.get(), AttrId::PrintInGray, 3);
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_EQ(out.at(kDuplex), 2);
  EXPECT_EQ(out.at(kColor), 1);
  EXPECT_TRUE(out.fields() & kFieldColor);  // colour capability 0

  removeValue(settings.get(), AttrId::PrintInGray);
  removeValue(settings.get(), AttrId::OrientationAngle);
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_FALSE(out.fields() & kFieldColor);
  EXPECT_FALSE(out.fields() & kFieldDuplex);  // no orientation, no duplex
}

TEST_F(MapTest, DuplexAndCollateGoBackToTheSettings) {
  setValue(settings.get(), AttrId::DuplexBinding, 0);
  setValue(settings.get(), AttrId::Collate, 0);
  struct Row {
    int16_t orientation;
    int16_t duplex;
    int16_t binding;
  };
  for (const Row row : {Row{1, 2, 2}, Row{1, 3, 1}, Row{2, 2, 1}, Row{2, 3, 2}, Row{1, 1, 0}, Row{2, 9, 0}}) {
    SCOPED_TRACE(row.orientation * 10 + row.duplex);
    Public in;
    in.set16(kOrientation, row.orientation, kFieldOrientation).set16(kDuplex, row.duplex, kFieldDuplex);
    devmode.publicToSettings(in.bytes.data(), settings.get());
    EXPECT_EQ(valueIn(settings.get(), AttrId::DuplexBinding), row.binding);
  }
  Public collate;
  collate.set16(kCollate, 1, kFieldCollate);
  devmode.publicToSettings(collate.bytes.data(), settings.get());
  EXPECT_EQ(valueIn(settings.get(), AttrId::Collate), 1);
  collate.set16(kCollate, 7, kFieldCollate);
  devmode.publicToSettings(collate.bytes.data(), settings.get());
  EXPECT_EQ(valueIn(settings.get(), AttrId::Collate), 1);  // left alone
  devmode.publicToSettings(Public().bytes.data(), settings.get());
  EXPECT_EQ(valueIn(settings.get(), AttrId::Collate), 0);  // no bit: off
}

TEST_F(MapTest, MergeStepsCopyOnlyValidValues) {
  struct Row {
    const char* what;
    size_t offset;
    uint32_t bit;
    int16_t value;
    int32_t answer;
  };
  const Row rows[] = {
      {"orientation 2", kOrientation, kFieldOrientation, 2, 1},
      {"orientation 3", kOrientation, kFieldOrientation, 3, 0},
      {"copies 5", kCopies, kFieldCopies, 5, 1},
      {"copies 0", kCopies, kFieldCopies, 0, 0},
      {"copies 1000", kCopies, kFieldCopies, 1000, 0},
      {"colour 1", kColor, kFieldColor, 1, 1},
      {"colour 3", kColor, kFieldColor, 3, 0},
      {"duplex 2", kDuplex, kFieldDuplex, 2, 1},
      {"duplex 3", kDuplex, kFieldDuplex, 3, 1},
      {"duplex 0", kDuplex, kFieldDuplex, 0, 0},
      {"duplex 4", kDuplex, kFieldDuplex, 4, 0},
      {"collate 1", kCollate, kFieldCollate, 1, 1},
      {"collate 2", kCollate, kFieldCollate, 2, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Public start;
    start.set16(kOrientation, 1, kFieldOrientation);
    start.set16(row.offset, row.offset == kOrientation ? 1 : row.offset == kColor ? 2 : 1, row.bit);
    own(start);
    const int16_t before = mine().s16(row.offset);
    Public foreign;
    foreign.set16(row.offset, row.value, row.bit);
    int32_t answer = -1;
    if (row.bit == kFieldOrientation) answer = devmode.mergeOrientation(foreign.view());
    if (row.bit == kFieldCopies) answer = devmode.mergeCopies(foreign.view());
    if (row.bit == kFieldColor) answer = devmode.mergeColor(foreign.view());
    if (row.bit == kFieldDuplex) answer = devmode.mergeDuplex(foreign.view());
    if (row.bit == kFieldCollate) answer = devmode.mergeCollate(foreign.view());
    EXPECT_EQ(answer, row.answer);
    EXPECT_EQ(mine().s16(row.offset), row.answer ? row.value : before);

    // Without the bit in the own DEVMODE the step does nothing.
    Public bare;
    own(bare);
    foreign.set16(row.offset, row.value, row.bit);
    if (row.bit == kFieldCopies) {
      EXPECT_EQ(devmode.mergeCopies(foreign.view()), 1);
      EXPECT_EQ(mine().s16(kCopies), 0);
    }
  }
}

TEST(MapDuplex, ABindingOutsideThePrinterRangeIsRefused) {
  PrinterModel simplex = settingsModel();
  simplex.duplex = false;
  MapRig rig(simplex);
  rig.own(Public().set16(kOrientation, 1, kFieldOrientation).set16(kDuplex, 1, kFieldDuplex));
  Public foreign;
  foreign.set16(kDuplex, 2, kFieldDuplex);
  EXPECT_EQ(rig.devmode.mergeDuplex(foreign.view()), 0);
  foreign.set16(kDuplex, 1, kFieldDuplex);
  EXPECT_EQ(rig.devmode.mergeDuplex(foreign.view()), 1);
}

// ---------------------------------------------------------------- default source

TEST_F(MapTest, SourcesGoThroughTheResourceMappings) {
  auto* mappings = new GResourceMappingList(194);
  mappings->add(new GResourceMapping(1, 260, 7));
  device.setResourceMappings(mappings);

  setValue(settings.get(), AttrId::PaperSource, 7);
  Public out;
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_TRUE(out.fields() & kFieldDefaultSource);
  EXPECT_EQ(out.at(kDefaultSource), 260);

  setValue(settings.get(), AttrId::PaperSource, 8);
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_FALSE(out.fields() & kFieldDefaultSource);

  Public in;
  in.set16(kDefaultSource, 260, kFieldDefaultSource);
  devmode.publicToSettings(in.bytes.data(), settings.get());
  EXPECT_EQ(valueIn(settings.get(), AttrId::PaperSource), 7);

  // Merging: a mapped source and a tray the printer has (trays 1 and 2) are
  // taken; others, and source 15 without a form-to-tray database, are
  // refused.
  struct Row {
    int16_t source;
    int32_t answer;
  };
  for (const Row row : {Row{260, 1}, Row{2, 1}, Row{3, 0}, Row{261, 0}, Row{15, 0}}) {
    SCOPED_TRACE(row.source);
    own(Public().set16(kDefaultSource, 1, kFieldDefaultSource));
    Public foreign;
    foreign.set16(kDefaultSource, row.source, kFieldDefaultSource);
    EXPECT_EQ(devmode.mergeDefaultSource(foreign.view()), row.answer);
    EXPECT_EQ(mine().s16(kDefaultSource), row.answer ? row.source : 1);
  }
}

class MapTrayTest : public MapTest {
 protected:
  static PrinterModel model() {
    PrinterModel m = settingsModel();
    m.trayForms = {{2, 5}};
    return m;
  }
  MapTrayTest() : MapTest(model()) {
    auto* mappings = new GResourceMappingList(194);
    mappings->add(new GResourceMapping(1, 270, 2));
    device.setResourceMappings(mappings);
  }
};

TEST_F(MapTrayTest, TraysOfTheFormToTrayDatabaseGoByName) {
  setValue(settings.get(), AttrId::PaperSource, 0);
  RWCString name;
  ASSERT_EQ(devmode.sourceToTrayName(settings.get(), 270, name), 1);
  EXPECT_FALSE(name.isNull());
  int16_t source = 0;
  EXPECT_EQ(devmode.trayNameToSource(settings.get(), name, source), 1);
  EXPECT_EQ(source, 270);
  EXPECT_EQ(devmode.trayNameToSource(settings.get(), RWCString(name + "x"), source), 0);
  EXPECT_EQ(devmode.sourceToTrayName(settings.get(), 271, name), 0);

  // Back: a mapped source gives 258 its code.
  Public in;
  in.set16(kDefaultSource, 270, kFieldDefaultSource);
  devmode.publicToSettings(in.bytes.data(), settings.get());
  EXPECT_EQ(valueIn(settings.get(), AttrId::PaperSource), 2);

  // Forward: the tray name wins over 258.
  settings->insert(new GStringAttribute(name, AttrId::MediaTypeName));
  setValue(settings.get(), AttrId::PaperSource, 99);
  Public out;
  devmode.settingsToPublic(settings.get(), out.bytes.data());
  EXPECT_TRUE(out.fields() & kFieldDefaultSource);
  EXPECT_EQ(out.at(kDefaultSource), 270);
}

TEST_F(MapTrayTest, WithTheDatabaseInUseOnlySourceFifteenMerges) {
  for (const int16_t source : {15, 270, 3}) {
    SCOPED_TRACE(source);
    own(Public().set16(kDefaultSource, 1, kFieldDefaultSource));
    Public foreign;
    foreign.set16(kDefaultSource, source, kFieldDefaultSource);
    EXPECT_EQ(devmode.mergeDefaultSource(foreign.view()), source == 15 ? 1 : 0);
    EXPECT_EQ(mine().s16(kDefaultSource), 1);  // copied never
  }
}

// ---------------------------------------------------------------- mergeFrom

TEST_F(MapTest, AnOldSpecMergesTheFirstSevenStepsOnly) {
  const uint32_t all = kFieldOrientation | kFieldCopies | kFieldColor | kFieldCollate | kFieldMediaType;
  Public start;
  start.set16(kOrientation, 1, all).set16(kCopies, 1, 0).set16(kColor, 2, 0).set16(kCollate, 0, 0);
  start.set32(kMediaType, 1, 0);
  own(start);
  Public foreign;
  foreign.set16(kSpecVersion, 0x0300, 0).set16(kOrientation, 2, all).set16(kCopies, 3, 0).set16(kColor, 1, 0);
  foreign.set16(kCollate, 1, 0).set32(kMediaType, 3, 0).named(u"A4");
  size_t size = 0;
  EXPECT_EQ(devmode.mergeFrom(foreign.bytes.data(), size), 0);
  EXPECT_EQ(size, kTotalSize);
  EXPECT_EQ(mine().s16(kOrientation), 2);
  EXPECT_EQ(mine().s16(kCopies), 3);
  EXPECT_EQ(mine().s16(kColor), 1);
  EXPECT_EQ(mine().s16(kCollate), 0);
  EXPECT_EQ(mine().u32(kMediaType), 1u);

  // The same DEVMODE in the driver's own format merges all and answers 1.
  foreign.set16(kSpecVersion, static_cast<int16_t>(kSpecVersionValue), 0);
  GDevModeWriter(foreign.bytes.data(), foreign.bytes.size()).setField(kFieldFormName, false);
  own(start);
  devmode.writer().put16(kDriverExtra, kPrivateHeaderSize + kPrivateDataSize);
  EXPECT_EQ(devmode.mergeFrom(foreign.bytes.data(), size), 1);
  EXPECT_EQ(mine().s16(kCollate), 1);
  EXPECT_EQ(mine().u32(kMediaType), 3u);
}

TEST_F(MapTest, MergeAnswersOneOnlyForTheDriversOwnFormat) {
  struct Row {
    const char* what;
    size_t offset;
    uint16_t value;
    int32_t answer;
  };
  const Row rows[] = {
      {"own format", kSpecVersion, kSpecVersionValue, 1},
      {"spec 0x0400", kSpecVersion, 0x0400, 0},
      {"another driver version", kDriverVersion, 0x0017, 0},
      {"dmSize 221", kSize, 221, 0},
      {"another dmDriverExtra", kDriverExtra, 100, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Public start;
    start.set16(kDriverExtra, static_cast<int16_t>(kPrivateHeaderSize + kPrivateDataSize), 0);
    own(start);
    Public foreign;
    GDevModeWriter(foreign.bytes.data(), foreign.bytes.size()).put16(row.offset, row.value);
    size_t size = 0;
    EXPECT_EQ(devmode.mergeFrom(foreign.bytes.data(), size), row.answer);
  }
  size_t size = 7;
  EXPECT_EQ(devmode.mergeFrom(nullptr, size), 0);
  EXPECT_EQ(size, 0u);
}

// Foreign DEVMODEs in heap blocks of exactly the bytes they declare (at
// least the 72 that are read before the sizes are known): a field that does
// not lie inside dmSize is not merged, whatever dmFields says.
TEST_F(MapTest, ShortForeignDevModesMergeOnlyTheFieldsTheyHold) {
  struct Row {
    uint16_t dmSize;
    uint16_t spec;
    size_t outSize;
    int16_t orientation;  // the own orientation afterwards
    int16_t copies;
  };
  const Row rows[] = {
      {0, 0x0401, 0, 1, 1},       {63, 0x0401, 0, 1, 1},     {64, 0x0401, 64, 1, 1},
      {75, 0x0401, 75, 1, 1},     {76, 0x0401, 76, 1, 1},    {78, 0x0401, 78, 2, 1},
      {87, 0x0401, 87, 2, 1},     {88, 0x0401, 88, 2, 3},    {220, 0x02FF, 0, 1, 1},
      {219, 0x0401, 219, 2, 3},   {0xFFFF, 0x0401, 0xFFFF, 2, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dmSize);
    own(Public().set16(kOrientation, 1, kFieldOrientation).set16(kCopies, 1, kFieldCopies));
    Public full;
    full.set16(kSpecVersion, static_cast<int16_t>(row.spec), 0).set16(kSize, static_cast<int16_t>(row.dmSize), 0);
    full.set16(kDriverExtra, 0, 0);
    full.set16(kOrientation, 2, kFieldOrientation).set16(kCopies, 3, kFieldCopies);
    // Every field's bits are set, form name and media included.
    full.set32(kFields, 0xFFFFFFFF, 0);
    const size_t length = std::max<size_t>(kHeaderSize, row.dmSize);
    std::unique_ptr<uint8_t[]> block(new uint8_t[length]());
    std::memcpy(block.get(), full.bytes.data(), std::min(length, kTotalSize));
    size_t size = 0;
    EXPECT_EQ(devmode.mergeFrom(block.get(), size), 0);
    EXPECT_EQ(size, row.outSize);
    EXPECT_EQ(mine().s16(kOrientation), row.orientation);
    EXPECT_EQ(mine().s16(kCopies), row.copies);
  }
}

// ---------------------------------------------------------------- round trip

TEST_F(MapTest, ATreeTakenBackFromItsOwnPublicPartIsUnchanged) {
  for (const int16_t angle : {0, 90, 180, 270}) {
    SCOPED_TRACE(angle);
    setValue(settings.get(), AttrId::OrientationAngle, angle);
    std::unique_ptr<GAttributeComposite> copy(static_cast<GAttributeComposite*>(settings->deepCopy()));
    Public trip;
    devmode.settingsToPublic(settings.get(), trip.bytes.data());
    // A field whose attribute the tree lacks (collate here) does not add
    // one.
    trip.set16(kCollate, 1, kFieldCollate);
    devmode.publicToSettings(trip.bytes.data(), copy.get());
    EXPECT_TRUE(copy->matches(settings.get()));
  }
}

// ---------------------------------------------------------------- validate

TEST_F(MapTest, ValidateInModeOneReportsEveryBadField) {
  std::vector<uint8_t> checked(devmode.bytes(), devmode.bytes() + kTotalSize);
  GDevModeWriter w(checked.data(), checked.size());
  w.setField(kFieldFormName, false);
  w.put16(kOrientation, 3);
  w.setField(kFieldOrientation, true);
  w.put16(kCopies, 0);
  w.setField(kFieldCopies, true);
  uint32_t mask = 0;
  EXPECT_EQ(devmode.validate(checked.data(), 1, mask), 0);
  EXPECT_EQ(mask, kFieldOrientation | kFieldCopies);
  EXPECT_EQ(devmode.validate(checked.data(), 0, mask), 0);
  EXPECT_EQ(mask, kFieldOrientation);

  w.put16(kOrientation, 2);
  w.put16(kCopies, 2);
  EXPECT_EQ(devmode.validate(checked.data(), 1, mask), 1);
  EXPECT_EQ(mask, 0u);
}

// ---------------------------------------------------------------- forms

TEST_F(MapTest, TheDevModeWithoutFormsRefusesAForeignFormName) {
  GDevModeNT plain(&device);
  Public named;
  named.named(u"A4");
  EXPECT_EQ(plain.mergeFormName(named.view()), 0);
  EXPECT_EQ(plain.mergeFormName(Public().view()), 1);
}

// The printer's forms: the engine's built-in ones (Letter 1, Legal 5, A4 9;
// Tabloid 3 has no media of the printer's), then a user form within the
// printer's custom sizes and one beyond them.
class MapFormsTest : public MapTest {
 protected:
  MapFormsTest()
      : MapTest(settingsModel(), {userForm(u"Card", 100000, 150000), userForm(u"Poster", 300000, 450000)}) {}

  int16_t userFormIndex() {
    const GFormListNT forms(printer.handle);
    return static_cast<int16_t>(forms.count() - 1);
  }

  // The own DEVMODE at 600 dpi portrait, on paper 1 "Letter" with both bits.
  void ownLetter() {
    Public start;
    start.set16(kOrientation, 1, kFieldOrientation).set16(kPrintQuality, 600, kFieldPrintQuality);
    start.set16(kYResolution, 600, kFieldYResolution).set16(kPaperSize, 1, kFieldPaperSize);
    start.named(u"Letter");
    own(start);
  }
};

TEST_F(MapFormsTest, FormNamesComeFromThePaper) {
  struct Row {
    int16_t mediaId;
    const char16_t* name;  // null: no form-name bit
    int16_t paperSize;     // 0: no paper-size bit
  };
  const Row rows[] = {
      {5, u"Legal", 5},
      {23, u"A4", 9},
      {static_cast<int16_t>(0x3FFF + userFormIndex()), u"Card", userFormIndex()},
      {999, nullptr, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mediaId);
    setPaper(settings.get(), row.mediaId);
    Public out;
    devmode.settingsToPublic(settings.get(), out.bytes.data());
    EXPECT_EQ((out.fields() & kFieldFormName) != 0, row.name != nullptr);
    if (row.name) {
      EXPECT_TRUE(out.view().wideName(kFormName) == RWWString(row.name));
    }
    EXPECT_EQ((out.fields() & kFieldPaperSize) != 0, row.paperSize != 0);
    if (row.paperSize) {
      EXPECT_EQ(out.at(kPaperSize), row.paperSize);
    }
  }
}

TEST_F(MapFormsTest, PaperComesBackFromTheFormNameOrThePaperSize) {
  struct Row {
    const char16_t* ownName;  // null: no form-name bit
    int16_t paperSize;        // 0: no paper-size bit
    int16_t mediaId;
  };
  const Row rows[] = {
      {u"A4", 0, 23},
      {u"Legal", 1, 5},  // the form name is applied after the paper size
      {nullptr, 5, 5},
      {u"Nonesuch", 0, device.localeDefaultPaper()},
      {nullptr, 3, device.localeDefaultPaper()},  // Tabloid: no media of the printer's
      {u"Card", 0, static_cast<int16_t>(0x3FFF + userFormIndex())},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.paperSize);
    Public start;
    start.set16(kPrintQuality, 600, 0).set16(kYResolution, 600, 0);
    if (row.ownName) start.named(row.ownName);
    if (row.paperSize) start.set16(kPaperSize, row.paperSize, kFieldPaperSize);
    own(start);
    setPaper(settings.get(), 77);
    devmode.publicToSettings(devmode.bytes(), settings.get());
    EXPECT_EQ(paperIn(settings.get()), row.mediaId);
  }
}

TEST_F(MapFormsTest, ForeignFormNameAgainstThePaperSize) {
  struct Row {
    const char* what;
    const char16_t* foreignName;  // null: no form-name bit
    int16_t foreignPaper;         // 0: no paper-size bit
    int32_t answer;
    int16_t paperSize;
    bool paperBit;
    const char16_t* name;
    bool nameBit;
  };
  const Row rows[] = {
      {"the name wins over a paper size that is refused", u"Legal", 3, 1, 5, false, u"Legal", true},
      {"the name alone clears the paper size", u"Legal", 0, 1, 1, false, u"Legal", true},
      {"a paper size taken names its form", u"Legal", 9, 1, 9, true, u"A4", true},
      {"both the same form", u"Legal", 5, 1, 5, true, u"Legal", true},
      {"an unknown name fails", u"Nonesuch", 0, 0, 1, false, u"Letter", true},
      {"the paper size wins over the own name", nullptr, 5, 1, 5, true, u"Letter", false},
      {"the own name stays with its own paper", nullptr, 0, 1, 1, true, u"Letter", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ownLetter();
    Public foreign;
    if (row.foreignName) foreign.named(row.foreignName);
    if (row.foreignPaper) foreign.set16(kPaperSize, row.foreignPaper, kFieldPaperSize);
    devmode.mergePaperSize(foreign.view());
    EXPECT_EQ(devmode.mergeFormName(foreign.view()), row.answer);
    EXPECT_EQ(mine().s16(kPaperSize), row.paperSize);
    EXPECT_EQ((mine().u32(kFields) & kFieldPaperSize) != 0, row.paperBit);
    EXPECT_TRUE(mine().wideName(kFormName) == RWWString(row.name));
    EXPECT_EQ((mine().u32(kFields) & kFieldFormName) != 0, row.nameBit);
  }
}

TEST_F(MapFormsTest, AFormNameOutsideThePrinterRangeIsRefused) {
  int32_t index = 0;
  EXPECT_EQ(devmode.formIndexByName(u"Legal", index, 600, 600, 0, 1), 1);
  EXPECT_EQ(index, 5);
  EXPECT_EQ(devmode.formIndexByName(u"legal", index, 600, 600, 0, 0), 0);  // exactly the name
  EXPECT_EQ(devmode.formIndexByName(u"Card", index, 600, 600, 0, 1), 1);
  EXPECT_EQ(index, userFormIndex());
  EXPECT_EQ(devmode.formIndexByName(u"Poster", index, 600, 600, 0, 1), 0);
  EXPECT_EQ(devmode.formIndexByName(u"Poster", index, 600, 600, 0, 0), 1);
  EXPECT_EQ(index, userFormIndex() + 1);
  EXPECT_EQ(devmode.formIndexByName(u"Tabloid", index, 600, 600, 0, 0), 0);  // no media of the printer's
  EXPECT_EQ(devmode.formIndexByName(u"", index, 600, 600, 0, 0), 0);

  // At the object's own resolution and orientation.
  ownLetter();
  EXPECT_EQ(devmode.formIndexForName(u"A4", index, 1), 1);
  EXPECT_EQ(index, 9);
}
