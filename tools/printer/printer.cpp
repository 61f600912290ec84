#include "tools/printer/printer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>
#include <sys/stat.h>

#include "core/attrib.h"
#include "core/passoc.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/drvinst.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/pjl.h"
#include "device/printer.h"
#include "device/resmap.h"
#include "device/tray.h"
#include "graphics/colrend.h"
#include "journal/chromafit.h"
#include "journal/command.h"
#include "pdl/pdlgen.h"
#include "rw/bstream.h"
#include "rw/factory.h"

namespace {

// Where each item sits in the tree. The readers' own names where they
// have them (the driver instance's, the job language's, the printer's), so
// that an item cannot drift from where it is looked for; the rest only the
// builder and the settings made from its tree know.
namespace Id {
constexpr uint32_t kTop = 0;
constexpr uint32_t kColorMatching = 0;
}  // namespace Id

// The capability sets that hold nothing; 137, 565 and 750 follow them.
constexpr uint32_t kCapabilitySets[] = {AttrId::CapabilitySet113, AttrId::CapabilitySet120, AttrId::TextCapsCommon,
                                       AttrId::TextCaps,         AttrId::TextCapsAlternate, AttrId::CapabilitySet135,
                                       AttrId::CapabilitySet136};
constexpr int16_t kLongEdge = 2;
constexpr uint32_t kLastMediaOption = 2;
constexpr uint32_t kLastFormCapability = 11;
constexpr int16_t kMargin = 100;
constexpr int16_t kBaseResolution = 600;
// The custom-size bounds of the pool at 600 dpi: 3 x 5 inches up to
// 8.5 x 14 inches.
constexpr int16_t kLowerBoundId = 17385;
constexpr int16_t kUpperBoundId = 17384;
constexpr int16_t kLowerBound[2] = {1800, 3000};
constexpr int16_t kUpperBound[2] = {5100, 8400};

// The resolutions the pool's 16-bit sizes can hold.
bool knownResolution(int16_t dpi) { return dpi == 300 || dpi == 600 || dpi == 1200; }

int16_t scaled(int16_t dots600, int16_t dpi) { return static_cast<int16_t>(dots600 * dpi / kBaseResolution); }

// A pool entry: the size at the resolution, the printable area inside
// 100-dot margins (at 600 dpi), exchanged at 90 degrees.
GMedia* poolEntry(const char* name, int16_t mediaId, int16_t width, int16_t height, int16_t dpi,
                  int32_t orientation, const uint32_t& id = AttrId::MediaEntry) {
  int16_t w = scaled(width, dpi);
  int16_t h = scaled(height, dpi);
  if (orientation == 90) std::swap(w, h);
  const int16_t margin = scaled(kMargin, dpi);
  return new GMedia(name, GPoint(w, h), GPoint(static_cast<int16_t>(w - 2 * margin), static_cast<int16_t>(h - 2 * margin)),
                    GPoint(margin, margin), orientation, mediaId, dpi, dpi, id);
}

// The quality code of a resolution: -4 for the model's highest, -3 for the
// next and so on, as a job asks for high, medium, low and draft quality.
int16_t qualityCode(const PrinterModel& model, int16_t dpi) {
  int16_t higher = 0;
  std::vector<int16_t> counted;
  for (int16_t other : model.resolutions)
    if (other > dpi && std::find(counted.begin(), counted.end(), other) == counted.end()) {
      counted.push_back(other);
      ++higher;
    }
  return static_cast<int16_t>(-4 + higher);
}

// A resolution entry or group: 323, 324, 325, and the quality code when the
// model gives codes.
void addResolution(GAttributeComposite& into, const PrinterModel& model, int16_t dpi) {
  into.insert(new GValueAttribute(dpi, AttrId::Resolution));
  into.insert(new GValueAttribute(dpi, AttrId::VerticalResolution));
  into.insert(new GValueAttribute(1, AttrId::BitsPerPixel));
  if (model.qualityCodes) into.insert(new GValueAttribute(qualityCode(model, dpi), AttrId::QualityCode));
}

// The stage of a string ID from the class factory, or null with the cause.
template <class Stage>
std::unique_ptr<Stage> stageFromFactory(const std::string& stringId, std::string& error) {
  RWCollectable* made = rwCreateFromFactory(RWStringID(stringId.c_str()));
  if (!made) {
    error = "unknown class \"" + stringId + "\"";
    return nullptr;
  }
  Stage* stage = dynamic_cast<Stage*>(made);
  if (!stage) {
    delete made;
    error = "class \"" + stringId + "\" is not a stage container";
  }
  return std::unique_ptr<Stage>(stage);
}

GAttributeComposite* paperHandlingDevices(const PrinterModel& model) {
  auto* devices = new GAttributeComposite(AttrId::PaperHandlingDevices);
  auto* input = new GPaperHandlingDevice("Input", 0, 1, 1, 1, 1);
  auto* trays = new GAttributeComposite(0);
  for (int16_t number : model.trays) trays->insert(new GTray(("Tray " + std::to_string(number)).c_str(), number));
  input->addSource(1, trays);
  devices->insert(input);

  auto* output = new GPaperHandlingDevice("Output", 1, 1, 1, 1, 1);
  auto* bins = new GAttributeComposite(0);
  for (int16_t number = 1; number <= model.bins; ++number)
    bins->insert(new GBin(("Bin " + std::to_string(number)).c_str(), number));
  output->addSource(1, bins);
  devices->insert(output);
  return devices;
}

// The PCL XL generator's own Config items: the paper-source table (85),
// which maps the paper source of a page (the tray number) to the PCL XL
// MediaSource code (tray 1 the multi-purpose tray, 3; the trays after it
// 4, 5 ...), and the download memory (202), in units of 10,485 bytes: 100,
// about the 1 MiB a generator allows without it.
constexpr int16_t kFirstTrayMediaSource = 3;
constexpr int16_t kDownloadMemoryUnits = 100;

void addCheetahItems(const PrinterModel& model, GConfiguration& generator) {
  auto* sources = new MAssociationList(AttrId::PsMediaPositions);
  for (int16_t number : model.trays) {
    const int16_t code = static_cast<int16_t>(kFirstTrayMediaSource + number - 1);
    sources->insertAssociation(
        new MPersistentAssociation(new GValueAttribute(number, 0), new GValueAttribute(code, 0), 0));
  }
  generator.insert(sources);
  generator.insert(new GRangeAttribute(0, 32767, 1, kDownloadMemoryUnits, AttrId::DownloadMemory));
}

// The printer's own Config items that a job's paper, orientation, duplex
// and forms are checked against, and its capability sets.
void addPrinterItems(const PrinterModel& model, GConfiguration& printer) {
  auto* capabilities = new GConfiguration(AttrId::CapabilitySets);
  for (uint32_t id : kCapabilitySets) capabilities->insert(new GCapabilities(id));
  auto* mediaOptions = new GCapabilities(AttrId::MediaOptions);
  for (uint32_t option : model.mediaOptions) mediaOptions->set(option);
  capabilities->insert(mediaOptions);
  // Capability 0 clear: the form capabilities below count.
  capabilities->insert(new GCapabilities(AttrId::PassThroughCapabilities, 1));
  auto* forms = new GCapabilities(AttrId::FormCapabilities);
  for (uint32_t capability : model.formCapabilities) forms->set(capability);
  capabilities->insert(forms);
  printer.insert(capabilities);

  printer.insert(new GRangeAttribute(0, model.duplex ? kLongEdge : 0, 1, 0, AttrId::DuplexBindingRange));
  auto* angles = new GAttributeComposite(AttrId::Orientations);
  for (int16_t angle : model.orientations) angles->insert(new GValueAttribute(angle, 0));
  printer.insert(angles);
  printer.insert(new GValueAttribute(model.anySize ? 1 : 0, AttrId::AnyCustomSize));
  printer.insert(new GValueAttribute(model.customSizes ? 1 : 0, AttrId::CustomSizesEnabled));
}

// The job options of the settings template: one copy, the greyscale
// choice, and the media and dither codes.
GState* jobOptions(const PrinterModel& model) {
  auto* options = new GState(AttrId::JobOptions);
  options->insert(new GValueAttribute(1, AttrId::JobCopies));
  options->insert(new GValueAttribute(model.greyscaleChoice ? 1 : 0, AttrId::GreyscaleOffered));
  if (model.greyscaleChoice) options->insert(new GValueAttribute(0, AttrId::PrintInGray));
  options->insert(new GValueAttribute(model.mediaCodes ? 1 : 0, AttrId::MediaCodesInUse));
  options->insert(new GValueAttribute(0, AttrId::MediaChoice));
  options->insert(new GValueAttribute(0, AttrId::DitherChoice));
  return options;
}

// The printer options of the settings template, with the form-to-tray
// database: the tray number goes where the database keeps a form, the
// media id where it keeps a tray.
GState* printerOptions(const PrinterModel& model) {
  auto* options = new GState(AttrId::PrinterOptions);
  auto* database = new GFormToTrayDatabase(AttrId::FormToTray);
  for (const auto& [tray, mediaId] : model.trayForms)
    database->assign(tray, mediaId, GFormToTrayDatabase::defaultMediaType);
  options->insert(database);
  return options;
}

// A selector table: one association per pair, the selector and the device
// value each a value attribute of id 0, as the generator looks them up.
// Null for no pairs.
MAssociationList* selectorTable(uint32_t id, const std::vector<std::pair<uint16_t, uint16_t>>& pairs) {
  if (pairs.empty()) return nullptr;
  auto* table = new MAssociationList(id);
  for (const auto& [selector, value] : pairs)
    table->insertAssociation(new MPersistentAssociation(new GValueAttribute(static_cast<int16_t>(selector), 0),
                                                        new GValueAttribute(static_cast<int16_t>(value), 0), 0));
  return table;
}

// A selector given twice would leave one of its values unreachable.
bool uniqueSelectors(const std::vector<std::pair<uint16_t, uint16_t>>& pairs, const char* table,
                     std::string& error) {
  for (size_t i = 0; i < pairs.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (pairs[i].first == pairs[j].first) {
        error = std::string(table) + " selector " + std::to_string(pairs[i].first) + " given twice";
        return false;
      }
  return true;
}

bool hasTray(const PrinterModel& model, int16_t number) {
  return std::find(model.trays.begin(), model.trays.end(), number) != model.trays.end();
}

bool checkModel(const PrinterModel& model, std::string& error) {
  if (generatorClassFor(model.language).empty()) {
    error = "unknown language \"" + model.language + "\"";
    return false;
  }
  if (model.media.empty()) {
    error = "no media";
    return false;
  }
  for (int16_t id : model.media)
    if (!findPaper(id)) {
      error = "unknown media id " + std::to_string(id);
      return false;
    }
  if (model.resolutions.empty()) {
    error = "no resolution";
    return false;
  }
  for (int16_t dpi : model.resolutions)
    if (!knownResolution(dpi)) {
      error = "unsupported resolution " + std::to_string(dpi);
      return false;
    }
  for (int16_t number : model.trays)
    if (number < 1) {
      error = "bad tray number " + std::to_string(number);
      return false;
    }
  if (model.bins < 0 || model.bins > 99) {
    error = "bad bin count " + std::to_string(model.bins);
    return false;
  }
  if (model.orientations.empty()) {
    error = "no orientation";
    return false;
  }
  for (int16_t angle : model.orientations)
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) {
      error = "bad orientation " + std::to_string(angle);
      return false;
    }
  for (uint32_t option : model.mediaOptions)
    if (option > kLastMediaOption) {
      error = "bad media option " + std::to_string(option);
      return false;
    }
  for (uint32_t capability : model.formCapabilities)
    if (capability > kLastFormCapability) {
      error = "bad form capability " + std::to_string(capability);
      return false;
    }
  if (!uniqueSelectors(model.colorMaps, "colour-map", error) || !uniqueSelectors(model.halftones, "halftone", error))
    return false;
  for (const auto& [tray, mediaId] : model.trayForms) {
    if (!hasTray(model, tray)) {
      error = "no tray " + std::to_string(tray) + " for a form";
      return false;
    }
    if (std::find(model.media.begin(), model.media.end(), mediaId) == model.media.end()) {
      error = "media id " + std::to_string(mediaId) + " of tray " + std::to_string(tray) + " is not the printer's";
      return false;
    }
  }
  return true;
}

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

const std::vector<PrinterPaper>& knownPapers() {
  static const std::vector<PrinterPaper> papers = {
      {1, "Letter", "LETTER", 5100, 6600, 1},
      {5, "Legal", "LEGAL", 5100, 8400, 5},
      {23, "A4", "A4", 4960, 7016, 9},
  };
  return papers;
}

const PrinterPaper* findPaper(int16_t mediaId) {
  for (const PrinterPaper& paper : knownPapers())
    if (paper.mediaId == mediaId) return &paper;
  return nullptr;
}

std::string generatorClassFor(const std::string& language) {
  if (language == "PCLXL") return "GCheetah";
  if (language == "PCL") return "GPcl5e";
  if (language == "POSTSCRIPT") return "GPostScript";
  return {};
}

std::unique_ptr<GAttributeComposite> buildPrinterTree(const PrinterModel& model, std::string& error) {
  if (!checkModel(model, error)) return nullptr;
  const std::string generatorClass =
      model.generatorClass.empty() ? generatorClassFor(model.language) : model.generatorClass;
  std::unique_ptr<GPeripheralComposite> printer = stageFromFactory<GPeripheralComposite>("GPrinter", error);
  if (!printer) return nullptr;
  std::unique_ptr<GPeripheralComposite> jobLanguage = stageFromFactory<GPeripheralComposite>("GPJL", error);
  if (!jobLanguage) return nullptr;
  std::unique_ptr<GPeripheralComposite> generator = stageFromFactory<GPeripheralComposite>(generatorClass, error);
  if (!generator) return nullptr;
  if (!generator->isKindOf(ClassId::GPDLGenerator)) {
    error = "class \"" + generatorClass + "\" is not a generator";
    return nullptr;
  }

  // ---- the Config items -----------------------------------------------------------
  auto* printerConfig = new GConfiguration(AttrId::StageConfig);
  auto* jobLanguageConfig = new GConfiguration(AttrId::StageConfig);
  auto* generatorConfig = new GConfiguration(AttrId::StageConfig);
  GCountedPtr keepPrinter(printerConfig);
  GCountedPtr keepJobLanguage(jobLanguageConfig);
  GCountedPtr keepGenerator(generatorConfig);

  printerConfig->insert(new GRangeAttribute(1, 999, 1, 1, AttrId::CopiesRange));
  auto* settingsTemplate = new GAttributeComposite(AttrId::SettingsTemplate);
  settingsTemplate->insert(jobOptions(model));
  settingsTemplate->insert(printerOptions(model));
  settingsTemplate->insert(new GState(AttrId::WatermarkDefinitions));
  settingsTemplate->insert(new GAttributeComposite(AttrId::CustomSizes));
  settingsTemplate->insert(new GAttributeComposite(AttrId::ExtraMediaTypes));
  printerConfig->insert(settingsTemplate);
  addPrinterItems(model, *printerConfig);

  auto* paperNames = new MAssociationList(AttrId::PaperNameTable);
  for (int16_t id : model.media) {
    const PrinterPaper* paper = findPaper(id);
    paperNames->insertAssociation(
        new MPersistentAssociation(new GValueAttribute(id, 0), new GSelectionString(paper->keyword.c_str(), id), 0));
  }
  jobLanguageConfig->insert(paperNames);
  auto* options = new GAttributeComposite(AttrId::JobLanguageConfig);
  options->insert(paperHandlingDevices(model));
  options->insert(new GValueAttribute(model.collation ? 1 : 0, AttrId::CollationAvailable));
  jobLanguageConfig->insert(options);
  auto* modes = new GAttributeComposite(AttrId::ModeEntries);
  for (int16_t dpi : model.resolutions) {
    auto* entry = new GAttributeComposite(0);
    addResolution(*entry, model, dpi);
    modes->insert(entry);
  }
  jobLanguageConfig->insert(modes);

  auto* pool = new GMediaPool(AttrId::MediaPool);
  for (int16_t dpi : model.resolutions)
    for (int32_t orientation : {0, 90}) {
      for (int16_t id : model.media) {
        const PrinterPaper* paper = findPaper(id);
        pool->insert(poolEntry(paper->name.c_str(), id, paper->width, paper->height, dpi, orientation));
      }
      pool->insert(poolEntry("Custom minimum", kLowerBoundId, kLowerBound[0], kLowerBound[1], dpi, orientation));
      pool->insert(poolEntry("Custom maximum", kUpperBoundId, kUpperBound[0], kUpperBound[1], dpi, orientation));
    }
  generatorConfig->insert(pool);
  // One table, shared: the file stores it once.
  generatorConfig->insert(paperNames);

  if (generator->isKindOf(ClassId::GCheetah)) addCheetahItems(model, *generatorConfig);
  if (MAssociationList* table = selectorTable(AttrId::ColorMapTable, model.colorMaps)) generatorConfig->insert(table);
  if (MAssociationList* table = selectorTable(AttrId::HalftoneTable, model.halftones)) generatorConfig->insert(table);
  if (model.hook) {
    PrinterConfigs configs{*printerConfig, *jobLanguageConfig, *generatorConfig, *options};
    model.hook(configs);
  }

  // ---- the printer's Default ---------------------------------------------------------
  auto* defaults = new GState(AttrId::StageState);
  auto* document = new GState(AttrId::DocumentGroup);
  const PrinterPaper* firstPaper = findPaper(model.media.front());
  document->insert(poolEntry(firstPaper->name.c_str(), firstPaper->mediaId, firstPaper->width, firstPaper->height,
                             model.resolutions.front(), 0, AttrId::Media));
  auto* resolution = new GState(AttrId::ResolutionGroup);
  addResolution(*resolution, model, model.resolutions.front());
  document->insert(resolution);
  document->insert(new GValueAttribute(0, AttrId::OrientationAngle));
  document->insert(new GValueAttribute(model.diskForms ? 1 : 0, AttrId::DiskForms));
  defaults->insert(document);
  defaults->insert(new GState(AttrId::PageGroup));
  defaults->insert(new GState(AttrId::GraphicGroup));

  // ---- the stages ------------------------------------------------------------------------
  jobLanguage->setId(AttrId::JobLanguage);
  jobLanguage->setName("PJL");
  jobLanguage->setConfig(static_cast<GConfiguration*>(keepJobLanguage.get()));
  generator->setId(AttrId::Generator);
  generator->setName(model.language.c_str());
  generator->setConfig(static_cast<GConfiguration*>(keepGenerator.get()));
  printer->setId(AttrId::Printer);
  printer->setName("Printer");
  printer->setConfig(static_cast<GConfiguration*>(keepPrinter.get()));
  printer->setDefaults(defaults);
  printer->insert(jobLanguage.release());
  printer->insert(generator.release());

  auto root = std::make_unique<GPeripheralComposite>(AttrId::ConfigurationRoot);
  root->setName("Configuration");
  // The filter goes ahead of the printer, so that the selectors it adds
  // reach the generator with each command.
  if (model.colorMatching)
    root->insert(new GChromafitFilter("Colour matching", nullptr, nullptr, Id::kColorMatching, 1));
  root->insert(printer.release());
  // The State of every stage becomes a copy of its Default.
  root->reset();

  // ---- the mapping lists -----------------------------------------------------------------
  auto codes = std::make_unique<GResourceMappingList>(AttrId::CodeMappings);
  for (int16_t id : model.media)
    codes->add(new GResourceMapping(static_cast<uint32_t>(id), findPaper(id)->formIndex, id));
  auto trays = std::make_unique<GResourceMappingList>(AttrId::TrayMappings);
  for (int16_t number : model.trays)
    trays->add(new GResourceMapping(static_cast<uint32_t>(number), static_cast<uint16_t>(number), number));

  auto top = std::make_unique<GAttributeComposite>(Id::kTop);
  top->insert(root.release());
  // The top composite's insert takes attributes only; the mapping lists
  // join its children as a restore puts them there.
  top->children().append(GCountedPtr(codes.release()));
  top->children().append(GCountedPtr(trays.release()));
  top->children().append(GCountedPtr(new GResourceMappingList(AttrId::ResourceMappings)));
  return top;
}

GPeripheralComposite* printerRoot(const GAttributeComposite& top) {
  const int32_t at = top.children().firstIndex([](const MPersistentObject* c) { return c->id() == AttrId::ConfigurationRoot; });
  return at < 0 ? nullptr : dynamic_cast<GPeripheralComposite*>(top.children().pointee(static_cast<RWsize>(at)));
}

std::unique_ptr<GAttributeComposite> buildPrinterSettings(const GPeripheralComposite& root) {
  const auto* printer = dynamic_cast<const GPeripheral*>(root.findById(AttrId::Printer));
  const MPersistentObject* config = printer ? printer->config() : nullptr;
  const auto* settingsTemplate =
      dynamic_cast<const GAttributeComposite*>(config ? config->findById(AttrId::SettingsTemplate) : nullptr);
  if (!settingsTemplate) return nullptr;
  std::unique_ptr<GAttributeComposite> settings(
      dynamic_cast<GAttributeComposite*>(settingsTemplate->deepCopy()));
  if (!settings) return nullptr;
  settings->setId(AttrId::NamedSettingsValues);

  const MPersistentObject* defaults = printer->defaults();
  auto copyGroup = [&](uint32_t from, uint32_t to) -> GAttributeComposite* {
    const MPersistentObject* group = defaults ? defaults->findById(from) : nullptr;
    auto* copy = dynamic_cast<GAttributeComposite*>(group ? group->deepCopy() : new GState(from));
    copy->setId(to);
    settings->insert(copy);
    return copy;
  };
  GAttributeComposite* document = copyGroup(AttrId::DocumentGroup, AttrId::DocumentSettings);
  if (MPersistentObject* media = document->removeById(AttrId::Media)) {
    media->setId(AttrId::Paper);
    document->insert(media);
  }
  copyGroup(AttrId::PageGroup, AttrId::PageSettings);
  return settings;
}

bool writePrinterTree(const GAttributeComposite& top, const std::string& path, std::string& error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot create a file beside \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  // The data file is read by every user's driver, not only its maker's.
  fchmod(fd, 0644 & ~currentUmask());
  close(fd);
  bool written = false;
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) {
      {
        RWbostream out(file);
        out << static_cast<const RWCollectable*>(&top);
        written = out.good();
      }
      // A full disk may show only when the last bytes go out.
      file.close();
      written = written && !file.fail();
    }
  }
  if (!written) {
    std::remove(temporary.c_str());
    error = "cannot write \"" + path + "\"";
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write \"" + path + "\": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
