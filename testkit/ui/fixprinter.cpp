#include "testkit/ui/fixprinter.h"

#include <utility>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/dispstr.h"
#include "core/perclass.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/drvinst.h"
#include "device/drvrsrvr.h"
#include "device/pericomp.h"
#include "host/win32/install.h"
#include "pdl/pdlgen.h"
#include "testkit/core/ids.h"
#include "tools/printer/platform.h"

// ---- the test generators ------------------------------------------------------------
//
// Defined here, beside the fixture that names them, so that every program
// that makes a fixture printer links their registrations with the factory.

namespace {

// A generator of one language's kind that prints nothing: the pages only
// ask what kind the printer's generator is.
template <RWClassID Kind>
class KindGenerator : public GPDLGenerator {
 public:
  explicit KindGenerator(const char* language) : GPDLGenerator(language, nullptr, nullptr, 101) {}

  RWBoolean isKindOf(RWClassID id) const override { return id == Kind || GPDLGenerator::isKindOf(id); }
  uint32_t processingFlags() override { return 0; }
  void removeFont(const RWCString&) override {}
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint*) override { return 0; }
};

}  // namespace

#define UI_TEST_GENERATOR(Class, Kind, Language)                                                          \
  class Class : public KindGenerator<Kind> {                                                              \
    G_PERSISTENT_CLASS(Class)                                                                             \
                                                                                                          \
   public:                                                                                                \
    Class() : KindGenerator<Kind>(Language) {}                                                            \
    static RWClassID classIsA() { return TestKitClassId::Class; }                                         \
    static uint32_t version() { return 1; }                                                               \
    RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || KindGenerator::isKindOf(id); } \
  };                                                                                                      \
  G_DEFINE_PERSISTENT(Class, GPDLGenerator)                                                               \
  RWspace Class::levelStoreSize() const { return 0; }                                                     \
  template <class Sink>                                                                                   \
  void Class::saveLevel(Sink&) const {}                                                                   \
  template <class Source>                                                                                 \
  void Class::restoreLevel(Source&) {}

UI_TEST_GENERATOR(UIXLGenerator, ClassId::GCheetah, "PCLXL")
UI_TEST_GENERATOR(UIPSGenerator, ClassId::GPostScript, "POSTSCRIPT")
UI_TEST_GENERATOR(UIPCLGenerator, ClassId::GPcl5e, "PCL")

#undef UI_TEST_GENERATOR

namespace {


// The paper source that lets the printer choose.
constexpr int16_t kAutomaticSource = 19;

struct Default {
  uint32_t id;
  int16_t value;
};

// The job options' paper and finishing values, at their defaults (the
// fit-to-page paper, 272, is the model's first paper and comes apart).
constexpr Default kJobDefaults[] = {
    {258, kAutomaticSource},  // paper source
    {263, kAutomaticSource},  // paper source of the other pages
    {264, 0},                 // different paper for the first page
    {270, 0},                 // fit to page
    {285, 0},                 // size unit: the system's
    {253, 0},                 // two-sided
    {248, 1},                 // output bin: the printer's first
    {269, 100},               // scaling in percent
    {278, 0},                 // stapling
    {289, 1},                 // staple position
    {279, 0},                 // booklet
    {280, 0},                 // booklet sheet size
    {287, 0},                 // job hold
    {612, 0},                 // binding
};
constexpr uint32_t kMediaTypeNames[] = {261, 262};
// The pages-per-sheet group: one page, no borders, the first order.
constexpr Default kPagesPerSheet[] = {{266, 1}, {267, 0}, {268, 0}};
// The printer options' accessories: availability, stapler, binder, input
// accessory; the duplex unit (308) follows the model.
constexpr Default kAccessoryDefaults[] = {{313, 0}, {311, 0}, {613, 0}, {275, 0}};
constexpr uint32_t kAccessoryNames[] = {315, 316};

void insertValues(GAttributeComposite& into, const Default* first, const Default* last) {
  for (; first != last; ++first) into.insert(new GValueAttribute(first->value, first->id));
}

template <size_t N>
void insertValues(GAttributeComposite& into, const Default (&values)[N]) {
  insertValues(into, values, values + N);
}

// What the fixture adds to the Configs the builder hands its hook.
void addUiItems(const FixturePrinterSpec& spec, PrinterConfigs& configs) {
  GConfiguration& printer = configs.printer;
  printer.insert(new GStringAttribute(spec.resourceModule.c_str(), AttrId::ResourceModule));
  printer.insert(new GStringAttribute(spec.helpFile.c_str(), AttrId::HelpFile));
  auto* options = new GAttributeComposite(AttrId::InstalledOptions);
  uint16_t stringId = 1;
  for (const std::string& name : spec.installedOptions)
    options->insert(new GDisplayStringAttribute(stringId++, name.c_str(), nullptr));
  printer.insert(options);

  auto* settings = dynamic_cast<GAttributeComposite*>(printer.findById(AttrId::SettingsTemplate));
  if (!settings) return;
  if (auto* job = dynamic_cast<GAttributeComposite*>(settings->findById(AttrId::JobOptions))) {
    insertValues(*job, kJobDefaults);
    for (uint32_t id : kMediaTypeNames) job->insert(new GStringAttribute("", id));
    job->insert(new GValueAttribute(spec.model.media.empty() ? 1 : spec.model.media.front(), AttrId::FitMediaId));
    auto* pages = new GAttributeComposite(AttrId::NupGroup);
    insertValues(*pages, kPagesPerSheet);
    job->insert(pages);
  }
  if (auto* accessories =
          dynamic_cast<GAttributeComposite*>(settings->findById(AttrId::PrinterOptions))) {
    insertValues(*accessories, kAccessoryDefaults);
    accessories->insert(new GValueAttribute(spec.model.duplex ? 1 : 0, AttrId::DuplexUnitChoice));
    for (uint32_t id : kAccessoryNames) accessories->insert(new GStringAttribute("", id));
  }
  settings->insert(new GState(AttrId::Option367));
}

}  // namespace

std::string uiTestGeneratorFor(const std::string& language) {
  if (language == "PCLXL") return "UIXLGenerator";
  if (language == "POSTSCRIPT") return "UIPSGenerator";
  if (language == "PCL") return "UIPCLGenerator";
  return {};
}

std::unique_ptr<GAttributeComposite> buildFixtureTree(const FixturePrinterSpec& spec, std::string& error) {
  PrinterModel model = spec.model;
  model.generatorClass = uiTestGeneratorFor(model.language);
  if (model.generatorClass.empty()) {
    error = "no test generator for the language \"" + model.language + "\"";
    return nullptr;
  }
  model.hook = [&spec, first = spec.model.hook](PrinterConfigs& configs) {
    if (first) first(configs);
    addUiItems(spec, configs);
  };
  std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
  GPeripheralComposite* root = top ? printerRoot(*top) : nullptr;
  if (!root) {
    if (top && error.empty()) error = "the tree has no configuration root";
    return nullptr;
  }
  auto* own = new GConfiguration(AttrId::StageConfig);
  own->insert(new GValueAttribute(spec.colour, AttrId::ConfigurationValue));
  root->setConfig(own);
  return top;
}

FixturePrinter::FixturePrinter(const FixturePrinterSpec& spec, const HostOptions& options)
    : data_(dir_.file("printer.dat")) {
  if (!dir_.ok()) {
    error_ = "no temporary folder";
    return;
  }
  std::unique_ptr<GAttributeComposite> top = buildFixtureTree(spec, error_);
  if (!top) return;
  if (!writePrinterTree(*top, data_, error_)) return;

  // The plug-in installs no platform: the host does, before its first call.
  HostOptions installed = options;
  installed.makers = printerMakers();
  installHostPlatform(installed);
  installed_ = true;
  GDriverServer::create();
  server_ = GDriverServer::instance();
  if (!server_) error_ = "no driver server";
}

FixturePrinter::~FixturePrinter() {
  if (!installed_) return;
  delete GDriverServer::instance();
  removeHostPlatform();
}

GInterfaceInstance* FixturePrinter::registerInstance(const RWWString& printerName, uint32_t& handle) {
  if (!server_) return nullptr;
  return server_->registerInstance(new HostPrinterDescription(printerName, RWWString(data_.c_str())), handle);
}
