// The user-interface host's printer object over a fixture printer: what the
// driver server registers from the file, its settings (the paper a media
// id, the locale's), the configuration stored through the provider
// registry, and the paper walks the paper page and its rules ask for.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "core/dispstr.h"
#include "core/outport.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/drvrsrvr.h"
#include "device/formtray.h"
#include "journal/periph.h"
#include "testkit/core/port.h"
#include "testkit/printer/built.h"
#include "testkit/ui/fixprinter.h"
#include "tools/printer/platform.h"

namespace {

constexpr int16_t kLetter = 1;
constexpr int16_t kLegal = 5;
constexpr int16_t kA4 = 23;

std::u16string text(const RWWString& s) { return std::u16string(s.data(), s.length()); }

struct Paper {
  int32_t count;
  int16_t mediaId;
  std::u16string name;
  bool operator==(const Paper&) const = default;
};

void PrintTo(const Paper& p, std::ostream* os) {
  *os << "{" << p.count << ", " << p.mediaId << ", " << std::string(p.name.begin(), p.name.end()) << "}";
}

// What a paper walk reported; the routine stops it after `wanted` papers
// when that is not -1.
struct Papers {
  std::vector<Paper> seen;
  size_t wanted = static_cast<size_t>(-1);
};

int32_t collect(int32_t count, int16_t mediaId, const RWWString& name, void* data) {
  auto* papers = static_cast<Papers*>(data);
  papers->seen.push_back({count, mediaId, text(name)});
  return papers->seen.size() < papers->wanted ? 1 : 0;
}

// A fixture printer served, and its printer object registered.
class ServedUiPrinter : public testing::Test {
 protected:
  // A colour printer unless the fixture says otherwise.
  static FixturePrinterSpec colourPrinter() {
    FixturePrinterSpec spec;
    spec.colour = 1;
    return spec;
  }
  explicit ServedUiPrinter(const FixturePrinterSpec& spec = colourPrinter()) : printer_(spec) {}

  void SetUp() override {
    ASSERT_EQ(printer_.error(), "");
    instance_ = dynamic_cast<HostInterfaceInstance*>(printer_.registerInstance(RWWString(u"UI printer"), handle_));
    ASSERT_NE(instance_, nullptr);
    settings_.reset(instance_->defaultSettings());
    ASSERT_NE(settings_, nullptr);
  }
  void TearDown() override {
    if (instance_) printer_.server()->removeInstance(handle_);
  }

  GAttributeComposite& settings() { return *settings_; }
  // A custom size in hundredths of an inch, into the settings' 276.
  void addCustomSize(int16_t mediaId, const char* name, uint32_t width, uint32_t height) {
    auto* sizes = dynamic_cast<GAttributeComposite*>(settings_->findById(AttrId::CustomSizes));
    ASSERT_NE(sizes, nullptr);
    sizes->insert(new GCustomMediaSize(mediaId, name, kHundredthsOfAnInch, width, height));
  }
  void setValue(uint32_t id, int16_t value) {
    auto* v = dynamic_cast<GValueAttribute*>(settings_->findById(id));
    ASSERT_NE(v, nullptr) << id;
    v->setValue(value);
  }

  FixturePrinter printer_;
  uint32_t handle_ = 0;
  HostInterfaceInstance* instance_ = nullptr;
  std::unique_ptr<GAttributeComposite> settings_;
};

// ---- the printer object and its file ---------------------------------------------------

TEST_F(ServedUiPrinter, TheServerMakesThePrinterObjectOverTheFile) {
  EXPECT_EQ(printer_.server()->findInstance(handle_), instance_);
  EXPECT_EQ(text(instance_->setting401Text()), u"QXUIRES.DLL");
  GConfiguration* config = instance_->printerConfig();
  ASSERT_NE(config, nullptr);
  const auto* help = dynamic_cast<const GStringAttribute*>(config->findById(374));
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->value(), "QXUI.HLP");
  const auto* options = dynamic_cast<const GAttributeComposite*>(config->findById(450));
  ASSERT_NE(options, nullptr);
  ASSERT_EQ(options->entries(), 1u);
  const auto* option = dynamic_cast<const GDisplayStringAttribute*>(options->children().pointee(0));
  ASSERT_NE(option, nullptr);
  EXPECT_EQ(option->displayString().text(), "Duplex unit");
  EXPECT_EQ(instance_->configurationValue(), 1u) << "the root's 339: the colour choice";
  for (uint32_t id : {199u, 206u, 90u, 189u}) EXPECT_NE(config->findById(id), nullptr) << id;
}

TEST_F(ServedUiPrinter, TheSettingsHoldTheGroupsAndThePaperAndFinishingDefaults) {
  for (uint32_t id : {360u, 362u, 363u, 364u, 365u, 366u, 367u, 249u, 329u, 276u, 510u})
    EXPECT_NE(settings().id() == id ? &settings() : settings().findById(id), nullptr) << id;
  struct Expected {
    uint32_t id;
    int16_t value;
  };
  const Expected defaults[] = {{258, 19}, {263, 19}, {264, 0}, {270, 0}, {272, kLetter}, {269, 100},
                               {278, 0},  {279, 0},  {612, 0}, {266, 1}, {308, 1},       {313, 0}};
  for (const Expected& e : defaults) {
    const auto* v = dynamic_cast<const GValueAttribute*>(settings().findById(e.id));
    ASSERT_NE(v, nullptr) << e.id;
    EXPECT_EQ(v->value(), e.value) << e.id;
  }
}

TEST_F(ServedUiPrinter, ThePaperIsAMediaIdTheLocalesPaper) {
  const MPersistentObject* paper = settings().findById(AttrId::Paper);
  ASSERT_NE(paper, nullptr);
  EXPECT_EQ(paper, settings().findById(AttrId::DocumentSettings)->findById(AttrId::Paper)) << "in the document settings";
  const auto* value = dynamic_cast<const GValueAttribute*>(paper);
  ASSERT_NE(value, nullptr) << "a value attribute, not the Default's media entry";
  EXPECT_EQ(value->value(), instance_->localeDefaultPaper());
  // The instance's own settings are made the same way.
  const std::unique_ptr<GAttributeComposite> made(instance_->createSettings());
  ASSERT_NE(made, nullptr);
  EXPECT_NE(dynamic_cast<const GValueAttribute*>(made->findById(AttrId::Paper)), nullptr);
}

TEST(UiPrinterObject, ThePaperFollowsTheLocale) {
  struct Case {
    int64_t country;
    int16_t paper;
  };
  for (const Case& c : {Case{1, kLetter}, Case{49, kA4}, Case{-1, kLetter}}) {
    SCOPED_TRACE(c.country);
    InstalledLocaleHost platform;
    platform.host().country = c.country;
    HostInterfaceInstance instance(HostPrinterDescription(RWWString(u"P"), RWWString(u"p.dat")));
    std::unique_ptr<GAttributeComposite> top = builtTree();
    ASSERT_NE(top, nullptr);
    handOver(*top, instance);
    const std::unique_ptr<GAttributeComposite> settings(instance.defaultSettings());
    ASSERT_NE(settings, nullptr);
    const auto* paper = dynamic_cast<const GValueAttribute*>(settings->findById(AttrId::Paper));
    ASSERT_NE(paper, nullptr);
    EXPECT_EQ(paper->value(), c.paper);
  }
}

TEST_F(ServedUiPrinter, TheConfigurationIsStoredThroughTheProviderRegistry) {
  EXPECT_EQ(instance_->saveConfiguration(), 603) << "no configuration store";
  FakeConfigurationStore store;
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&store, RWCString("UI store")), 0);
  EXPECT_EQ(instance_->saveConfiguration(), 0);
  ASSERT_NE(store.stored(), nullptr);
  EXPECT_NE(store.stored()->findById(401), nullptr) << "a copy of the printer Config";
  EXPECT_EQ(store.flags(), 1);
  store.answer(17);
  EXPECT_EQ(instance_->saveConfiguration(), 17) << "the store's status is the answer";
  EXPECT_EQ(store.stores(), 2);
  GOutputPortProviderRegistry::instance().remove(RWCString("UI store"));
}

// ---- paper walks ---------------------------------------------------------------------------

TEST_F(ServedUiPrinter, FittingPapersAreThePoolsMediaThenTheCustomSizesInRange) {
  addCustomSize(16385, "Card", 400, 600);      // 4 x 6 inches: between 3 x 5 and 8.5 x 14
  addCustomSize(16386, "Poster", 1100, 1700);  // 11 x 17 inches: larger than the largest
  addCustomSize(16387, "Slip", 200, 600);      // 2 inches wide: narrower than the smallest
  const std::vector<Paper> fitting = {
      {1, kLetter, u"Letter"}, {2, kLegal, u"Legal"}, {3, kA4, u"A4"}, {4, 16385, u"Card"}};
  const std::vector<Paper> all = {{1, kLetter, u"Letter"}, {2, kLegal, u"Legal"}, {3, kA4, u"A4"},
                                  {4, 16385, u"Card"},     {5, 16386, u"Poster"}, {6, 16387, u"Slip"}};

  // The bounds turn with the page: the same papers fit at every angle.
  for (int16_t angle : {0, 90, 180, 270}) {
    SCOPED_TRACE(angle);
    setValue(265, angle);
    Papers papers;
    EXPECT_EQ(instance_->enumerateFittingPapers(collect, &papers, 1, &settings()), 4);
    EXPECT_EQ(papers.seen, fitting);
  }
  Papers unchecked;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &unchecked, 0, &settings()), 6);
  EXPECT_EQ(unchecked.seen, all) << "without the range check every paper fits";
  Papers listed;
  EXPECT_EQ(instance_->enumeratePapers(collect, &listed, &settings()), 6);
  EXPECT_EQ(listed.seen, all);
}

TEST_F(ServedUiPrinter, ARoutineAnsweringZeroStopsTheWalk) {
  addCustomSize(16385, "Card", 400, 600);
  for (size_t wanted : {size_t{1}, size_t{3}, size_t{4}}) {
    Papers fitting;
    fitting.wanted = wanted;
    EXPECT_EQ(instance_->enumerateFittingPapers(collect, &fitting, 1, &settings()), static_cast<int32_t>(wanted));
    EXPECT_EQ(fitting.seen.size(), wanted);
    Papers listed;
    listed.wanted = wanted;
    EXPECT_EQ(instance_->enumeratePapers(collect, &listed, &settings()), static_cast<int32_t>(wanted));
    EXPECT_EQ(listed.seen.size(), wanted);
  }
  EXPECT_EQ(instance_->enumeratePapers(nullptr, nullptr, &settings()), 0) << "no routine, no walk";
}

TEST_F(ServedUiPrinter, AResolutionThePrinterLacksMeasuresNothing) {
  // The pool keeps 600 dpi only: at 300 no paper can be measured against
  // the bounds, so the checked walk offers none; unchecked, all stay.
  setValue(323, 300);
  setValue(324, 300);
  Papers checked;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &checked, 1, &settings()), 0);
  Papers unchecked;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &unchecked, 0, &settings()), 3);
}

TEST_F(ServedUiPrinter, WithoutSettingsTheInstancesOwnAreWalked) {
  Papers papers;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &papers, 1, nullptr), 0) << "the instance has none yet";
  instance_->setSettings(instance_->createSettings());
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &papers, 1, nullptr), 3);
}

// A printer whose form-to-tray database is in use: tray 1 holds A4.
class TrayFormsPrinter : public ServedUiPrinter {
 protected:
  static FixturePrinterSpec spec() {
    FixturePrinterSpec spec;
    spec.model.trayForms = {{1, kA4}};
    return spec;
  }
  TrayFormsPrinter() : ServedUiPrinter(spec()) {}
};

TEST_F(TrayFormsPrinter, WhileTheDatabaseIsInUseOnlyPapersInATrayFit) {
  addCustomSize(16385, "Card", 400, 600);
  ASSERT_NE(dynamic_cast<GFormToTrayDatabase*>(settings().findById(AttrId::FormToTray)), nullptr);
  Papers fitting;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &fitting, 0, &settings()), 1);
  EXPECT_EQ(fitting.seen, (std::vector<Paper>{{1, kA4, u"A4"}}));
  Papers listed;
  EXPECT_EQ(instance_->enumeratePapers(collect, &listed, &settings()), 4) << "the plain walk lists them all";

  // Back at its defaults the database chooses nothing.
  dynamic_cast<GFormToTrayDatabase*>(settings().findById(AttrId::FormToTray))->resetForm(1);
  Papers all;
  EXPECT_EQ(instance_->enumerateFittingPapers(collect, &all, 1, &settings()), 4);
}

// ---- the fixture's generators ------------------------------------------------------------------

TEST(FixturePrinterTree, EachLanguageHasATestGeneratorOfItsKind) {
  struct Case {
    const char* language;
    RWClassID kind;
  };
  const RWClassID kinds[] = {ClassId::GCheetah, ClassId::GPostScript, ClassId::GPcl5e};
  for (const Case& c : {Case{"PCLXL", ClassId::GCheetah}, Case{"POSTSCRIPT", ClassId::GPostScript},
                        Case{"PCL", ClassId::GPcl5e}}) {
    SCOPED_TRACE(c.language);
    FixturePrinterSpec spec;
    spec.model.language = c.language;
    spec.colour = 1;
    std::string error;
    std::unique_ptr<GAttributeComposite> top = buildFixtureTree(spec, error);
    ASSERT_NE(top, nullptr) << error;
    TestInstance instance;
    handOver(*top, instance);
    const GPeripheral* generator = instance.pdlGenerator();
    ASSERT_NE(generator, nullptr);
    for (RWClassID kind : kinds) EXPECT_EQ(generator->isKindOf(kind) != 0, kind == c.kind) << kind;
    EXPECT_EQ(instance.configurationValue(), 1u);
  }
  FixturePrinterSpec unknown;
  unknown.model.language = "HPGL";
  std::string error;
  EXPECT_EQ(buildFixtureTree(unknown, error), nullptr);
  EXPECT_NE(error.find("HPGL"), std::string::npos) << error;
}

}  // namespace
