// The settings part: the spooler's forms as papers, the fit of a form
// between the printer's custom sizes, the form-to-tray database, the parts
// kept in the printer's named values and the settings a printer starts
// from.

#include "core/attrids.h"
#include "kernel/devsetnt.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/media.h"
#include "kernel/devmode.h"
#include "kernel/prtdata.h"
#include "kernel/tests/settingsfix.h"

namespace {

constexpr int16_t kLetter = 1;
constexpr int16_t kLegal = 5;
constexpr int16_t kA4 = 23;
// The position after the engine's built-in forms: the first user form's
// 1-based index.
int32_t firstUserForm() { return static_cast<int32_t>(eng::builtinForms().size()) + 1; }

int16_t idOfForm(int32_t index) { return static_cast<int16_t>(0x3FFF + index); }

std::u16string text(const RWWString& s) { return std::u16string(s.data(), s.length()); }

// The engine's knobs as they were, back when the test ends.
class KnobsKept {
 public:
  KnobsKept() : saved_(eng::knobs()) {}
  ~KnobsKept() { eng::knobs() = saved_; }
  KnobsKept(const KnobsKept&) = delete;
  KnobsKept& operator=(const KnobsKept&) = delete;

 private:
  eng::Knobs saved_;
};

struct Paper {
  int32_t count;
  int16_t mediaId;
  std::u16string name;
  bool operator==(const Paper&) const = default;
};

void PrintTo(const Paper& p, std::ostream* os) {
  *os << "{" << p.count << ", " << p.mediaId << ", " << std::string(p.name.begin(), p.name.end()) << "}";
}

// What a paper enumeration reported; the routine stops it after `wanted`
// papers when that is not -1.
struct Papers {
  std::vector<Paper> seen;
  size_t wanted = static_cast<size_t>(-1);
};

int32_t collect(int32_t count, int16_t mediaId, const RWWString& name, void* data) {
  auto* papers = static_cast<Papers*>(data);
  papers->seen.push_back({count, mediaId, text(name)});
  return papers->seen.size() < papers->wanted ? 1 : 0;
}

// A settings tree with nothing but a custom-size list.
std::unique_ptr<GAttributeComposite> withCustomSizes() {
  auto settings = std::make_unique<GAttributeComposite>(360);
  settings->insert(new GAttributeComposite(AttrId::CustomSizes));
  return settings;
}

std::vector<const GCustomMediaSize*> customSizesOf(const GAttributeComposite& settings) {
  std::vector<const GCustomMediaSize*> sizes;
  const auto* list = dynamic_cast<const GAttributeComposite*>(settings.findById(AttrId::CustomSizes));
  if (!list) return sizes;
  for (RWsize i = 0; i < list->children().entries(); ++i)
    sizes.push_back(dynamic_cast<const GCustomMediaSize*>(list->children().pointee(i)));
  return sizes;
}

}  // namespace

// ---------------------------------------------------------------- the forms list

TEST(FormList, HoldsTheBuiltInFormsThenTheUserForms) {
  StandInPrinter printer({userForm(u"Card", 100000, 150000)});
  const GFormListNT forms(printer.handle);
  const uint32_t card = static_cast<uint32_t>(firstUserForm() - 1);
  ASSERT_EQ(forms.count(), card + 1);
  EXPECT_EQ(forms.at(0)->Flags, static_cast<DWORD>(FORM_BUILTIN));
  EXPECT_EQ(text(forms.name(0)), u"Letter");
  ASSERT_NE(forms.at(card), nullptr);
  EXPECT_EQ(forms.at(card)->Flags, static_cast<DWORD>(FORM_USER));
  EXPECT_EQ(forms.at(card)->Size.cx, 100000);
  EXPECT_EQ(forms.at(card)->Size.cy, 150000);
  EXPECT_EQ(text(forms.name(card)), u"Card");
  EXPECT_EQ(forms.at(card + 1), nullptr);
  EXPECT_TRUE(forms.name(card + 1).isNull());
}

TEST(FormList, IsEmptyWithoutAPrinterOrWhenTheEngineFails) {
  const GFormListNT none(nullptr);
  EXPECT_EQ(none.count(), 0u);
  EXPECT_EQ(none.at(0), nullptr);

  StandInPrinter printer;
  KnobsKept kept;
  eng::knobs().failForms = true;
  const GFormListNT failed(printer.handle);
  EXPECT_EQ(failed.count(), 0u);
  EXPECT_EQ(failed.at(0), nullptr);
}

// ---------------------------------------------------------------- media ids

TEST(FormMediaIds, BuiltInFormsGoThroughTheCodeMappingsAndUserFormsByTheirIndex) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 100000, 150000), userForm(u"Label", 90000, 130000)});
  SettingsDevice device(printer);
  const int32_t card = firstUserForm();

  struct Case {
    int32_t index;
    int32_t found;
    int16_t mediaId;
  };
  // Letter Small (2) is built in but the printer maps no media to it.
  const Case cases[] = {{1, 1, kLetter},          {5, 1, kLegal}, {9, 1, kA4},   {2, 0, 0},
                        {card, 1, idOfForm(card)}, {card + 1, 1, idOfForm(card + 1)},
                        {0, 0, 0},                {card + 2, 0, 0}, {-1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    int16_t mediaId = -7;
    EXPECT_EQ(device.mediaIdForFormIndex(c.index, mediaId), c.found);
    EXPECT_EQ(mediaId, c.found ? c.mediaId : -7);
    if (!c.found) continue;
    int32_t index = -7;
    EXPECT_EQ(device.formIndexForMediaId(c.mediaId, index), 1);
    EXPECT_EQ(index, c.index);
  }

  // The driver instance's code-mapping questions are answered through the
  // forms.
  GDriverInstance& instance = device;
  int16_t mediaId = 0;
  EXPECT_EQ(instance.secondCodeFor(static_cast<uint16_t>(card), mediaId), 1);
  EXPECT_EQ(mediaId, idOfForm(card));
  uint16_t code = 0;
  EXPECT_EQ(instance.firstCodeFor(kA4, code), 1);
  EXPECT_EQ(code, 9);
  EXPECT_EQ(instance.firstCodeFor(idOfForm(card + 1), code), 1);
  EXPECT_EQ(code, card + 1);
}

TEST(FormMediaIds, TheFifthFormOfTheListIsMediaId0x4004AndBack) {
  KernelPlatform platform;
  KnobsKept kept;
  eng::knobs().builtinForms = 4;
  StandInPrinter printer({userForm(u"Card", 100000, 150000), userForm(u"Label", 90000, 130000)});
  SettingsDevice device(printer);

  int16_t mediaId = 0;
  EXPECT_EQ(device.mediaIdForFormIndex(5, mediaId), 1);
  EXPECT_EQ(mediaId, 0x4004);
  int32_t index = 0;
  EXPECT_EQ(device.formIndexForMediaId(0x4004, index), 1);
  EXPECT_EQ(index, 5);

  // Of the four built-in forms only Letter has a media of the printer's.
  Papers papers;
  EXPECT_EQ(device.enumeratePapers(collect, &papers, nullptr), 3);
  const std::vector<Paper> expected = {{1, kLetter, u"Letter"}, {2, 0x4004, u"Card"}, {3, 0x4005, u"Label"}};
  EXPECT_EQ(papers.seen, expected);

  Papers first;
  first.wanted = 2;
  EXPECT_EQ(device.enumeratePapers(collect, &first, nullptr), 2);
  EXPECT_EQ(first.seen.size(), 2u);
}

TEST(FormMediaIds, StopBelowTheLargestCustomSize) {
  KernelPlatform platform;
  KnobsKept kept;
  eng::knobs().builtinForms = 0;
  std::vector<eng::Form> many;
  for (int i = 1; i <= 1001; ++i) {
    const std::string name = "F" + std::to_string(i);
    many.push_back(userForm(std::u16string(name.begin(), name.end()), 100000, 150000));
  }
  StandInPrinter printer(many);
  SettingsDevice device(printer);

  int16_t mediaId = 0;
  EXPECT_EQ(device.mediaIdForFormIndex(1000, mediaId), 1);
  EXPECT_EQ(mediaId, 17383);
  mediaId = 0;
  EXPECT_EQ(device.mediaIdForFormIndex(1001, mediaId), 0);
  EXPECT_EQ(mediaId, 0);
  int32_t index = 0;
  EXPECT_EQ(device.formIndexForMediaId(17383, index), 1);
  EXPECT_EQ(index, 1000);
  index = 0;
  EXPECT_EQ(device.formIndexForMediaId(17384, index), 0);
  EXPECT_EQ(index, 0);

  Papers papers;
  EXPECT_EQ(device.enumeratePapers(collect, &papers, nullptr), 1000);
  EXPECT_EQ(papers.seen.back(), (Paper{1000, 17383, u"F1000"}));

  const auto settings = withCustomSizes();
  EXPECT_EQ(device.formsToCustomSizes(settings.get()), 1);
  const auto sizes = customSizesOf(*settings);
  ASSERT_EQ(sizes.size(), 1000u);
  EXPECT_EQ(sizes.back()->mediaId(), 17383);

  const GFormListNT forms(printer.handle);
  EXPECT_EQ(device.formToPaperCheck(forms, 999, 600, 600, 0, 0), 1);
  EXPECT_EQ(device.formToPaperCheck(forms, 1000, 600, 600, 0, 0), 0);
}

// ---------------------------------------------------------------- the fit

TEST(FormFit, ComparesWithTheCustomSizeRangeExchangedAcrossTheSheet) {
  KernelPlatform platform;
  // At 600 dpi the custom sizes go from 3 x 5 to 8.5 x 14 inches; across
  // the sheet this printer takes no more than 8 inches.
  StandInPrinter printer({userForm(u"Wide", 215900, 279400), userForm(u"Narrow", 203200, 279400),
                          userForm(u"Long", 215900, 355601), userForm(u"Slim", 76199, 127000)});
  SettingsDevice device(printer);
  GMediaPool* pool = device.mediaPool();
  ASSERT_NE(pool, nullptr);
  GMedia* across = pool->findByMediaId(17384, 90, 600, 600);
  ASSERT_NE(across, nullptr);
  delete pool->remove(across);
  pool->insert(new GMedia("Custom maximum", GPoint(8400, 4800), GPoint(8200, 4600), GPoint(100, 100), 90, 17384,
                          600, 600));

  const int32_t wide = firstUserForm();
  const int32_t narrow = wide + 1;
  const int32_t longForm = wide + 2;
  const int32_t slim = wide + 3;
  struct Case {
    int32_t index;
    int32_t angle;
    int16_t dpi;
    int32_t rangeCheck;
    int32_t fits;
  };
  const Case cases[] = {
      {wide, 0, 600, 1, 1},       // exactly as wide as the largest custom size
      {wide, 0, 300, 1, 1},       // the same bound in dots of another resolution
      {wide, 90, 600, 1, 0},      // wider than the largest size across the sheet
      {narrow, 90, 600, 1, 1},    //
      {longForm, 0, 600, 1, 0},   // longer than the largest custom size
      {slim, 0, 600, 1, 0},       // narrower than the smallest
      {longForm, 0, 600, 0, 1},   // no range check
      {wide, 0, 0, 1, 0},         // no resolution: nothing to compare with
      {wide, 0, -600, 1, 0},      //
      {0, 0, 600, 0, 0},          // no such form
      {slim + 1, 0, 600, 0, 0},   //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " at " << c.angle << " degrees, " << c.dpi << " dpi");
    EXPECT_EQ(device.formFits(c.angle, c.dpi, c.dpi, c.rangeCheck, c.index), c.fits);
  }
}

TEST(FormFit, WithTheFormToTrayDatabaseInUseAFormNeedsATray) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000)});
  PrinterModel model = settingsModel();
  model.trayForms = {{1, kLetter}};
  SettingsDevice device(printer, model);
  const std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
  ASSERT_NE(settings, nullptr);
  ASSERT_EQ(device.saveStoredPart(settings->findById(AttrId::PrinterOptions)), 1);

  const GFormListNT forms(printer.handle);
  const uint32_t card = static_cast<uint32_t>(firstUserForm() - 1);
  EXPECT_EQ(device.formToPaperCheck(forms, 0, 600, 600, 0, 1), 1);     // Letter, in tray 1
  EXPECT_EQ(device.formToPaperCheck(forms, 4, 600, 600, 0, 1), 0);     // Legal, in no tray
  EXPECT_EQ(device.formToPaperCheck(forms, 1, 600, 600, 0, 1), 0);     // Letter Small: no media
  EXPECT_EQ(device.formToPaperCheck(forms, card, 600, 600, 0, 1), 0);  // a user form in no tray

  Papers papers;
  EXPECT_EQ(device.enumerateFittingPapers(collect, &papers, 1, settings.get()), 1);
  EXPECT_EQ(papers.seen, (std::vector<Paper>{{1, kLetter, u"Letter"}}));
}

TEST(FormFit, WithoutTheDatabaseInUseEveryFittingFormIsAPaper) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000), userForm(u"Poster", 600000, 900000)});
  SettingsDevice device(printer);
  const std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
  ASSERT_NE(settings, nullptr);
  ASSERT_EQ(device.saveStoredPart(settings->findById(AttrId::PrinterOptions)), 1);

  const GFormListNT forms(printer.handle);
  const uint32_t card = static_cast<uint32_t>(firstUserForm() - 1);
  EXPECT_EQ(device.formToPaperCheck(forms, 4, 600, 600, 0, 1), 1);
  EXPECT_EQ(device.formToPaperCheck(forms, card, 600, 600, 0, 1), 1);
  EXPECT_EQ(device.formToPaperCheck(forms, card + 1, 600, 600, 0, 1), 0);  // too large

  // The built-in forms with a media of the printer's, and the card; the
  // poster is too large.
  Papers papers;
  (void)device.enumerateFittingPapers(collect, &papers, 1, settings.get());  // the papers are the answer
  const std::vector<Paper> expected = {{1, kLetter, u"Letter"},
                                       {2, kLegal, u"Legal"},
                                       {3, kA4, u"A4"},
                                       {4, idOfForm(firstUserForm()), u"Card"}};
  EXPECT_EQ(papers.seen, expected);
}

// ---------------------------------------------------------------- without forms

TEST(Forms, AFailedFormsCallLeavesThePaperAsItWas) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000)});
  SettingsDevice device(printer);
  const auto settings = withCustomSizes();
  ASSERT_EQ(device.formsToCustomSizes(settings.get()), 1);
  ASSERT_EQ(customSizesOf(*settings).size(), 1u);

  KnobsKept kept;
  eng::knobs().failForms = true;
  EXPECT_EQ(device.formsToCustomSizes(settings.get()), 0);
  const auto sizes = customSizesOf(*settings);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0]->name(), "Card");

  int16_t mediaId = -7;
  EXPECT_EQ(device.mediaIdForFormIndex(1, mediaId), 0);
  EXPECT_EQ(mediaId, -7);
  // The code mappings still answer.
  int32_t index = 0;
  EXPECT_EQ(device.formIndexForMediaId(kA4, index), 1);
  EXPECT_EQ(index, 9);
  Papers papers;
  EXPECT_EQ(device.enumeratePapers(collect, &papers, nullptr), 0);
  EXPECT_TRUE(papers.seen.empty());
  EXPECT_EQ(device.formFits(0, 600, 600, 0, 1), 0);
  EXPECT_EQ(device.mediaForFormIndex(1, 600, 600, 0), nullptr);
}

// ---------------------------------------------------------------- custom sizes and media

TEST(Forms, UserFormsBecomeTheCustomSizesInThousandthsOfAMillimetre) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Banner", 279400, 215900), userForm(u"Card", 100000, 150000)});
  SettingsDevice device(printer);
  const auto settings = withCustomSizes();
  auto* list = dynamic_cast<GAttributeComposite*>(settings->findById(AttrId::CustomSizes));
  list->insert(new GCustomMediaSize(16385, "Old", kMicrometres, 1000, 2000));

  EXPECT_EQ(device.formsToCustomSizes(settings.get()), 1);
  const auto sizes = customSizesOf(*settings);
  ASSERT_EQ(sizes.size(), 2u);
  const int32_t banner = firstUserForm();
  EXPECT_EQ(sizes[0]->mediaId(), idOfForm(banner));
  EXPECT_EQ(sizes[0]->name(), "Banner");
  EXPECT_EQ(sizes[0]->units(), kMicrometres);
  EXPECT_EQ(sizes[0]->size(), (GMediaSize{215900, 279400}));
  EXPECT_EQ(sizes[1]->mediaId(), idOfForm(banner + 1));
  EXPECT_EQ(sizes[1]->size(), (GMediaSize{100000, 150000}));

  GAttributeComposite bare(360);
  EXPECT_EQ(device.formsToCustomSizes(&bare), 0);
  EXPECT_EQ(device.formsToCustomSizes(nullptr), 0);
}

TEST(Forms, AFormsMediaIsThePrintersOfItsSizeElseOneMadeForIt) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"My Letter", 215950, 279350), userForm(u"Card", 100000, 150000)});
  SettingsDevice device(printer);
  const int32_t myLetter = firstUserForm();
  const int32_t card = myLetter + 1;

  std::unique_ptr<GMedia> media(device.mediaForFormIndex(myLetter, 600, 600, 0));
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->mediaId(), kLetter);
  EXPECT_EQ(media->size(), GPoint(5100, 6600));

  // 100 by 150 mm are 2362 by 3543 dots at 600 dpi, across the sheet at 90
  // degrees.
  media.reset(device.mediaForId(idOfForm(card), 600, 600, 90));
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->mediaId(), 0x4000);
  EXPECT_EQ(media->name(), "Card");
  EXPECT_EQ(media->size(), GPoint(3543, 2362));

  media.reset(device.mediaForId(kLegal, 300, 300, 0));
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->size(), GPoint(2550, 4200));
  // A copy: the pool keeps its own.
  EXPECT_NE(media.get(), device.mediaPool()->findByMediaId(kLegal, 0, 300, 300));
  EXPECT_EQ(device.mediaForId(99, 600, 600, 0), nullptr);
  EXPECT_EQ(device.mediaForFormIndex(card + 1, 600, 600, 0), nullptr);

  // The media check sees a form as the media that stands for it.
  EXPECT_EQ(device.checkMediaId(nullptr, kLetter, 0, 600, 600), 1);
  EXPECT_EQ(device.checkMediaId(nullptr, idOfForm(myLetter), 0, 600, 600), 1);
  EXPECT_EQ(device.checkMediaId(nullptr, idOfForm(card), 0, 600, 600), 2);
  EXPECT_EQ(device.checkMediaId(nullptr, idOfForm(card + 1), 0, 600, 600), 0);
}

TEST(Forms, MatchWithinTheToleranceOfTheMediasOwnResolution) {
  FORM_INFO_1 form{};
  form.Size = {215900, 279400};
  const GMedia letter("Letter", GPoint(2550, 3300), GPoint(2450, 3200), GPoint(50, 50), 0, kLetter, 300, 300);
  const GMedia across("Letter", GPoint(3300, 2550), GPoint(3200, 2450), GPoint(50, 50), 90, kLetter, 300, 300);
  const GMedia broken("Letter", GPoint(2550, 3300), GPoint(2450, 3200), GPoint(50, 50), 0, kLetter, 0, 300);
  EXPECT_EQ(GDeviceSettingsNT::formMatchesMedia(form, letter, 0, 0), 1);
  EXPECT_EQ(GDeviceSettingsNT::formMatchesMedia(form, across, 0, 0), 1);
  EXPECT_EQ(GDeviceSettingsNT::formMatchesMedia(form, broken, 100, 100), 0);
  form.Size.cx += 101;
  EXPECT_EQ(GDeviceSettingsNT::formMatchesMedia(form, letter, 100, 100), 0);
  EXPECT_EQ(GDeviceSettingsNT::formMatchesMedia(form, letter, 101, 0), 1);
}

// ---------------------------------------------------------------- stored parts

TEST(StoredParts, AreKeptUnderTheDecimalTextOfTheirIds) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  GState part(366);
  part.insert(new GValueAttribute(7, 291));
  ASSERT_EQ(device.saveStoredPart(&part), 1);

  uint32_t length = 0;
  EXPECT_EQ(GPrinterDataNT(printer.handle).getBinary(u"366", nullptr, 0, length), 1);
  EXPECT_GT(length, 0u);
  const std::unique_ptr<GAttributeComposite> loaded(device.loadStoredPart(366));
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->matches(&part));
  EXPECT_EQ(device.loadStoredPart(368), nullptr);
  EXPECT_EQ(device.saveStoredPart(nullptr), 0);
}

TEST(StoredParts, AnythingButAnAttributeCompositeIsDiscarded) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  GValueAttribute value(5, 365);
  ASSERT_EQ(device.saveStoredPart(&value), 1);
  EXPECT_EQ(device.loadStoredPart(365), nullptr);
  // A composite, but of the configuration's kind.
  GConfiguration config(366);
  config.insert(new GValueAttribute(7, 291));
  ASSERT_EQ(device.saveStoredPart(&config), 1);
  EXPECT_EQ(device.loadStoredPart(366), nullptr);

  // Bytes that are no stored object at all.
  GPrinterDataNT values(printer.handle);
  const uint8_t noise[] = {0xFF, 0x13, 0x00, 0x7F, 0x80, 0x01, 0x02, 0x03, 0xFE, 0xFD};
  ASSERT_EQ(values.putBinary(u"368", noise, sizeof noise), 1);
  EXPECT_EQ(device.loadStoredPart(368), nullptr);
  const char text[] = ":999999\n\\[1\n";
  ASSERT_EQ(values.putBinary(u"368", text, sizeof text - 1), 1);
  EXPECT_EQ(device.loadStoredPart(368), nullptr);
}

// ---------------------------------------------------------------- default settings

namespace {

// A printer with the quick set "Fast": three copies.
PrinterModel modelWithQuickSet() {
  PrinterModel model = settingsModel();
  model.hook = [](PrinterConfigs& configs) {
    auto* sets = new GAttributeComposite(369);
    auto* fast = new GAttributeComposite(0);
    fast->insert(new GStringAttribute("Fast", 370));
    auto* values = new GAttributeComposite(360);
    values->insert(new GValueAttribute(3, 247));
    fast->insert(values);
    sets->insert(fast);
    configs.printer.insert(sets);
  };
  return model;
}

}  // namespace

TEST(DefaultSettings, AreThePrintersTemplateWithItsDocumentAndPageDefaults) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000)});
  SettingsDevice device(printer);
  const std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->id(), 360u);
  for (uint32_t id : {364u, 365u, 366u, 701u}) EXPECT_NE(settings->findById(id), nullptr) << id;
  EXPECT_NE(settings->findById(AttrId::FormToTray), nullptr);

  const auto* document = dynamic_cast<const GAttributeComposite*>(settings->findById(362));
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->findById(259), nullptr);
  const auto* paper = dynamic_cast<const GValueAttribute*>(document->findById(260));
  ASSERT_NE(paper, nullptr);
  EXPECT_EQ(paper->value(), device.localeDefaultPaper());
  EXPECT_NE(document->findById(249), nullptr);
  EXPECT_NE(document->findById(702), nullptr);
  EXPECT_NE(dynamic_cast<const GAttributeComposite*>(settings->findById(363)), nullptr);
  // The template itself is left as it was.
  EXPECT_EQ(device.printerConfig()->findById(359)->findById(362), nullptr);

  const auto sizes = customSizesOf(*settings);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0]->name(), "Card");
}

TEST(DefaultSettings, TakeTheQuickSetThePrinterNamesAsItsBase) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer, modelWithQuickSet());
  GPrinterDataNT values(printer.handle);
  struct Case {
    const char16_t* base;  // null: none stored
    bool applied;
  };
  const Case cases[] = {{nullptr, false}, {u"<none>", false}, {u"Slow", false}, {u"Fast", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base ? std::string(c.base, c.base + std::char_traits<char16_t>::length(c.base)) : "none");
    if (c.base) {
      ASSERT_EQ(values.putString(u"Base", c.base), 1);
    }
    const std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
    ASSERT_NE(settings, nullptr);
    const auto* copies = dynamic_cast<const GValueAttribute*>(settings->findById(247));
    EXPECT_EQ(copies != nullptr, c.applied);
    if (copies) {
      EXPECT_EQ(copies->value(), 3);
    }
  }
}

TEST(DefaultSettings, NeedThePrintersTemplate) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  delete device.printerConfig()->removeById(359);
  EXPECT_EQ(device.defaultSettings(), nullptr);
}

// ---------------------------------------------------------------- the printer

TEST(ServedPrinter, IsOneWhoseRecordNamesAServer) {
  KernelPlatform platform;
  StandInPrinter local;
  StandInPrinter served({}, {}, u"\\\\spooler");
  SettingsDevice localDevice(local);
  SettingsDevice servedDevice(served);
  EXPECT_EQ(localDevice.isServedPrinter(), 0);
  EXPECT_EQ(servedDevice.isServedPrinter(), 1);
  KnobsKept kept;
  eng::knobs().failRecord = true;
  EXPECT_EQ(servedDevice.isServedPrinter(), 0);
}

// ---------------------------------------------------------------- the DEVMODE and the tree

namespace {

// Settings that mark a tree as the one a test put into a DEVMODE, and the
// contents of the stored parts.
constexpr uint32_t kMarker = 9000;

int16_t valueIn(const MPersistentObject* tree, uint32_t id) {
  const auto* value = dynamic_cast<const GValueAttribute*>(tree ? tree->findById(id) : nullptr);
  return value ? value->value() : -1;
}

std::vector<uint8_t> copyOf(GPrinterDevModeNT& devmode) {
  std::vector<uint8_t> bytes(DevModeLayout::kTotalSize);
  devmode.copyTo(bytes.data());
  return bytes;
}

// A stored part with one value of its own.
void savePart(GDeviceSettingsNT& device, uint32_t id, int16_t value) {
  GState part(id);
  part.insert(new GValueAttribute(value, kMarker + id));
  ASSERT_EQ(device.saveStoredPart(&part), 1);
}

}  // namespace

TEST(CreateDevMode, StoresTheDefaultsWithoutTheStoredParts) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  EXPECT_EQ(device.restoreDevModeSettings(), nullptr);
  ASSERT_EQ(device.createDevMode(nullptr), 1);
  ASSERT_NE(device.devMode(), nullptr);
  EXPECT_EQ(device.devMode()->takenFromPrinter(), 0);

  const std::unique_ptr<GAttributeComposite> carried(device.restoreDevModeSettings());
  ASSERT_NE(carried, nullptr);
  EXPECT_EQ(carried->id(), 360u);
  EXPECT_EQ(valueIn(carried.get(), 260), device.localeDefaultPaper());
  for (uint32_t id : {365u, 366u, 368u}) EXPECT_EQ(carried->findById(id), nullptr) << id;
}

TEST(CreateDevMode, TakesAForeignDevModesFields) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  eng::PublicDevMode fields;
  fields.orientation = 2;
  fields.printQuality = 300;
  fields.yResolution = 300;
  const std::vector<uint8_t> foreign = eng::publicDevMode(fields);
  ASSERT_EQ(device.createDevMode(foreign.data()), 1);
  const GDevModeView own = device.devMode()->view();
  EXPECT_EQ(own.s16(DevModeLayout::kOrientation), 2);
  EXPECT_EQ(own.s16(DevModeLayout::kPrintQuality), 300);

  // A new DEVMODE replaces the old one and starts from the defaults again.
  ASSERT_EQ(device.createDevMode(nullptr), 1);
  EXPECT_EQ(device.devMode()->view().s16(DevModeLayout::kOrientation), 1);
}

TEST(CreateDevMode, TheStoredPrinterOptionsJoinThePrintersDefault) {
  KernelPlatform platform;
  // The printer's default DEVMODE asks for collated copies.
  std::vector<uint8_t> asDefault;
  {
    StandInPrinter first;
    SettingsDevice maker(first);
    ASSERT_EQ(maker.createDevMode(nullptr), 1);
    asDefault = copyOf(*maker.devMode());
    GDevModeWriter w(asDefault.data(), asDefault.size());
    w.setField(DevModeLayout::kFieldCollate, true);
    w.put16(DevModeLayout::kCollate, 1);
  }
  for (bool collationOff : {false, true}) {
    SCOPED_TRACE(collationOff);
    StandInPrinter printer({}, asDefault);
    SettingsDevice device(printer);
    if (collationOff) {
      GState options(AttrId::PrinterOptions);
      options.insert(new GValueAttribute(0, 310));
      ASSERT_EQ(device.saveStoredPart(&options), 1);
    }
    ASSERT_EQ(device.createDevMode(nullptr), 1);
    EXPECT_EQ(device.devMode()->takenFromPrinter(), 1);
    EXPECT_EQ(valueIn(device.printerConfig(), 231), collationOff ? 0 : 1);
    const GDevModeView own = device.devMode()->view();
    EXPECT_EQ(own.s16(DevModeLayout::kCollate), collationOff ? 0 : 1);
    EXPECT_EQ((own.fields() & DevModeLayout::kFieldCollate) != 0, !collationOff);
  }
}

TEST(ApplySettings, StoresTheTreeWithoutItsStoredPartsAndPutsThemBack) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000)});
  SettingsDevice device(printer);
  std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(device.applySettings(settings.get(), 0), 0) << "no DEVMODE to store it in";

  ASSERT_EQ(device.createDevMode(nullptr), 1);
  delete settings->removeById(366);
  settings->insert(new GState(283));
  settings->insert(new GValueAttribute(42, kMarker));
  ASSERT_EQ(device.formsToCustomSizes(settings.get()), 1);
  EXPECT_EQ(device.applySettings(settings.get(), 0), 1);

  EXPECT_TRUE(customSizesOf(*settings).empty());
  for (uint32_t id : {283u, 365u, 366u, 368u})
    EXPECT_NE(dynamic_cast<GAttributeComposite*>(settings->findById(id)), nullptr) << id;
  EXPECT_NE(settings->findById(AttrId::FormToTray), nullptr);
  EXPECT_EQ(settings->findById(362)->serialNumber(), 0u);

  const std::unique_ptr<GAttributeComposite> carried(device.restoreDevModeSettings());
  ASSERT_NE(carried, nullptr);
  EXPECT_EQ(valueIn(carried.get(), kMarker), 42);
  for (uint32_t id : {283u, 365u, 366u, 368u}) EXPECT_EQ(carried->findById(id), nullptr) << id;
  EXPECT_TRUE(customSizesOf(*carried).empty());
}

TEST(ApplySettings, ATreeTooLargeForTheDevModeAnswersZeroAndKeepsTheOldOne) {
  KernelPlatform platform;
  StandInPrinter printer;
  SettingsDevice device(printer);
  ASSERT_EQ(device.createDevMode(nullptr), 1);
  std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
  settings->insert(new GValueAttribute(1, kMarker));
  ASSERT_EQ(device.applySettings(settings.get(), 0), 1);

  // Text that does not compress: far more than the packed area holds.
  uint32_t seed = 12345;
  std::string noise;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise += static_cast<char>('!' + (seed >> 16) % 90);
  }
  settings->insert(new GStringAttribute(noise.c_str(), kMarker + 1));
  delete settings->removeById(kMarker);
  settings->insert(new GValueAttribute(2, kMarker));
  EXPECT_EQ(device.applySettings(settings.get(), 0), 0);
  EXPECT_NE(settings->findById(AttrId::PrinterOptions), nullptr);
  const std::unique_ptr<GAttributeComposite> carried(device.restoreDevModeSettings());
  EXPECT_EQ(valueIn(carried.get(), kMarker), 1);
}

TEST(AssembleSettings, AreTheDevModesTreeWithTheStoredPartsElseTheDefaults) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 150000, 200000)});
  struct Case {
    const char* name;
    uint32_t missing;  // 0: none
    bool foreign;      // the part stored under 366 is no attribute composite
    bool fromDevMode;
  };
  const Case cases[] = {{"complete", 0, false, true},
                        {"without 365", 365, false, false},
                        {"without 366", 366, false, false},
                        {"without 368", 368, false, false},
                        {"366 of another class", 0, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsDevice device(printer);
    ASSERT_EQ(device.createDevMode(nullptr), 1);
    std::unique_ptr<GAttributeComposite> settings(device.defaultSettings());
    settings->insert(new GValueAttribute(42, kMarker));
    ASSERT_EQ(device.applySettings(settings.get(), 0), 1);

    GPrinterDataNT values(printer.handle);
    for (uint32_t id : {365u, 366u, 368u}) {
      if (id == c.missing)
        values.putNumber(RWWString(std::to_string(id).c_str()), 0);  // no stored object there
      else
        savePart(device, id, static_cast<int16_t>(id - 300));
    }
    if (c.foreign) {
      GValueAttribute stray(5, 366);
      ASSERT_EQ(device.saveStoredPart(&stray), 1);
    }

    const std::unique_ptr<GAttributeComposite> assembled(device.assembleSettings());
    ASSERT_NE(assembled, nullptr);
    EXPECT_EQ(valueIn(assembled.get(), kMarker), c.fromDevMode ? 42 : -1);
    if (c.fromDevMode) {
      for (uint32_t id : {365u, 366u, 368u}) EXPECT_EQ(valueIn(assembled.get(), kMarker + id), id - 300) << id;
    } else {
      EXPECT_NE(assembled->findById(AttrId::FormToTray), nullptr) << "the template's printer options";
    }
    const auto sizes = customSizesOf(*assembled);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0]->name(), "Card");
  }
}

TEST(FormMediaIds, AnyOtherMediaIsTheFirstUserFormOfItsSize) {
  KernelPlatform platform;
  // The printer's smallest custom size is 3 x 5 inches; the second form
  // is within 0.1 mm of it.
  StandInPrinter printer({userForm(u"Photo", 100000, 150000), userForm(u"Index card", 76250, 126950),
                          userForm(u"Same size", 76200, 127000)});
  SettingsDevice device(printer);
  int32_t index = 0;
  EXPECT_EQ(device.formIndexForMediaId(17385, index), 0) << "no DEVMODE to say the orientation";
  ASSERT_EQ(device.createDevMode(nullptr), 1);
  EXPECT_EQ(device.formIndexForMediaId(17385, index), 1);
  EXPECT_EQ(index, firstUserForm() + 1);
  index = 0;
  EXPECT_EQ(device.formIndexForMediaId(17384, index), 0);
  EXPECT_EQ(index, 0);
}
