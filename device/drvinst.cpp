#include "device/drvinst.h"

#include <algorithm>
#include <new>

#include "core/attrib.h"
#include "core/locale.h"
#include "core/osfactry.h"
#include "core/outport.h"
#include "core/passoc.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "device/setread.h"
#include "device/tray.h"
#include "graphics/devfont.h"
#include "pdl/pdlgen.h"

using namespace SettingRead;

namespace {

// Extra media types are numbered after the platform's and the printer's
// own codes.
constexpr uint16_t kFirstExtraTypeCode = 16690;
constexpr int16_t kFirstExtraTypeId = 50;
constexpr int16_t kFirstUnknownMediaId = 0x4000;
// What saveConfiguration asks the providers for, and answers without one.
constexpr uint32_t kConfigurationStore = 0x10000;
constexpr uint16_t kNoConfigurationStore = 603;
// The mass-storage font sources, in the order they are pruned.
constexpr uint32_t kMassStorageSources[] = {416, 417, 420, 421, 418, 419, 422, 423, 428, 429};

const GStringAttribute* textAt(const MPersistentObject* within, uint32_t id) {
  return dynamic_cast<const GStringAttribute*>(lookUp(within, id));
}

// One item offered to an enumeration: the call (given the status to set)
// decides whether the item is a hit and whether the walk goes on; without a
// buffer nothing is called, the item is a hit and the walk goes on. The
// running count grows by one either way. Answers whether to go on.
template <class Call>
bool offer(void* buffer, bool hasCallback, bool& hit, int32_t& count, Call call) {
  int goOn = 1;
  if (buffer && hasCallback) {
    int32_t status = 0;
    goOn = call(status);
    hit = hit || status == 1;
  } else {
    hit = true;
  }
  ++count;
  return goOn == 1;
}

// A list of the extra media types' mappings, made for one question.
class ExtraTypeMappings {
 public:
  explicit ExtraTypeMappings(GDriverInstance& instance) : list_(0) { types_ = instance.addListMappings(list_); }
  GResourceMappingList& list() { return list_; }
  GAttributeComposite* types() const { return types_; }

 private:
  GResourceMappingList list_;
  GAttributeComposite* types_;
};

}  // namespace

void GDriverInstance::PartDeleter::operator()(MPersistentObject* object) const { delete object; }

GDriverInstance::GDriverInstance()
    : flags_(0), configurationUsed_(0), cacheStale_(1), cachedValue_(0) {}

GDriverInstance::~GDriverInstance() {
  configuration_.reset();
  codeMappings_.reset();
  trayMappings_.reset();
  resourceMappings_.reset();
  settings_.reset();
  derivedPool_.reset();
}

// ---- parts and derived objects ----------------------------------------------------

void GDriverInstance::setConfiguration(GPeripheralComposite* configuration) {
  if (configuration != configuration_.get()) configuration_.reset(configuration);
}

void GDriverInstance::setCodeMappings(GResourceMappingList* mappings) {
  if (mappings != codeMappings_.get()) codeMappings_.reset(mappings);
}

void GDriverInstance::setStoredPart(GResourceMappingList* mappings) {
  if (mappings != trayMappings_.get()) trayMappings_.reset(mappings);
}

void GDriverInstance::setResourceMappings(GResourceMappingList* mappings) {
  if (mappings != resourceMappings_.get()) resourceMappings_.reset(mappings);
}

void GDriverInstance::setSettings(GAttributeComposite* settings) {
  if (settings != settings_.get()) settings_.reset(settings);
}

GAttributeComposite* GDriverInstance::ensureSettings() {
  if (!settings_) settings_.reset(createSettings());
  return settings_.get();
}

GPeripheral* GDriverInstance::printer() const { return as<GPeripheral>(lookUp(configuration_.get(), AttrId::Printer)); }

GConfiguration* GDriverInstance::printerConfig() const {
  const GPeripheral* p = printer();
  return p ? p->config() : nullptr;
}

GPeripheral* GDriverInstance::pdlGenerator() const {
  const GPeripheral* p = printer();
  return p ? as<GPeripheral>(p->findByKind(ClassId::GPDLGenerator)) : nullptr;
}

GAttributeComposite* GDriverInstance::paperHandlingDevices() const {
  return as<GAttributeComposite>(lookUp(printerConfig(), AttrId::PaperHandlingDevices));
}

GMediaPool* GDriverInstance::printerSetting189() const {
  return as<GMediaPool>(lookUp(printerConfig(), AttrId::MediaPool));
}

// ---- simple virtual operations --------------------------------------------------------

void GDriverInstance::reset(GPrinterDescription*) {
  cacheStale_ = 1;
  derivedPool_.reset();
}

int32_t GDriverInstance::freeMemory() { return 0; }

GAttributeComposite* GDriverInstance::assembleSettings() { return defaultSettings(); }

int32_t GDriverInstance::formFits(int32_t, int16_t, int16_t, int32_t, int32_t) { return 0; }

int32_t GDriverInstance::isServedPrinter() { return 0; }

int32_t GDriverInstance::enumeratePapers(GPaperCallback, void*, GAttributeComposite*) { return 0; }

int32_t GDriverInstance::enumerateFittingPapers(GPaperCallback, void*, int32_t, GAttributeComposite*) { return 0; }

GAttributeComposite* GDriverInstance::restoreDevModeSettings() { return nullptr; }

uint32_t GDriverInstance::configurationValue() {
  if (cacheStale_) {
    int16_t value = 0;
    const MPersistentObject* config = configuration_ ? configuration_->config() : nullptr;
    if (readValue(config, AttrId::ConfigurationValue, value)) cachedValue_ = static_cast<uint16_t>(value);
    cacheStale_ = 0;
  }
  return cachedValue_;
}

int32_t GDriverInstance::keepsAbsentFontSources() { return 0; }

int32_t GDriverInstance::supportsResolution(int16_t xResolution, int16_t yResolution) {
  bool found = false;
  eachMember(lookUp(printerConfig(), AttrId::ModeEntries), [&](MPersistentObject* entry) {
    int16_t x = 0;
    int16_t y = 0;
    found = readValue(entry, AttrId::Resolution, x) && readValue(entry, AttrId::VerticalResolution, y) && x == xResolution &&
            y == yResolution;
    return !found;
  });
  return found ? 1 : 0;
}

int32_t GDriverInstance::secondCodeFor(uint16_t firstCode, int16_t& secondCode) {
  const GResourceMapping* m = codeMappings_ ? codeMappings_->findByFirstCode(firstCode) : nullptr;
  if (!m) return 0;
  secondCode = m->secondCode();
  return 1;
}

int32_t GDriverInstance::firstCodeFor(int16_t secondCode, uint16_t& firstCode) {
  const GResourceMapping* m = codeMappings_ ? codeMappings_->findBySecondCode(secondCode) : nullptr;
  if (!m) return 0;
  firstCode = m->firstCode();
  return 1;
}

int16_t GDriverInstance::localeDefaultPaper() {
  constexpr int16_t kLetter = 1;
  constexpr int16_t kA4 = 23;
  GOSFactory* factory = GOSFactory::instance();
  const std::unique_ptr<GLocaleInfo> locale(factory ? factory->createLocaleInfo() : nullptr);
  if (!locale) return kLetter;
  const uint32_t c = locale->countryCode();
  return c <= 2 || (c >= 50 && c <= 59) || (c >= 500 && c <= 599) ? kLetter : kA4;
}

int32_t GDriverInstance::addCustomMediaSize(GCustomMediaSize* size, GAttributeComposite* composite) {
  if (!size || !composite) return 0;
  const GCountedPtrVector& children = composite->children();
  auto taken = [&](int16_t id) {
    return children.firstIndex([&](const MPersistentObject* c) {
             const auto* s = dynamic_cast<const GCustomMediaSize*>(c);
             return s && s->mediaId() == id;
           }) >= 0;
  };
  int16_t id = CustomMediaId::kFirst + 1;  // the first is the job's own
  while (id < CustomMediaId::kLargest && taken(id)) ++id;
  if (id == CustomMediaId::kLargest) return 0;

  size->setMediaId(id);
  size->setChanged();
  const int32_t same = children.firstIndex([&](const MPersistentObject* c) {
    const auto* s = dynamic_cast<const GCustomMediaSize*>(c);
    return s && s != size && s->name() == size->name();
  });
  if (same >= 0) delete composite->remove(children.pointee(same));
  composite->insert(size);
  return 1;
}

int32_t GDriverInstance::deleteChild(MPersistentObject* child, MPersistentObject* composite) {
  if (!child || !composite) return 0;
  MPersistentObject* removed = composite->remove(child);
  if (!removed) return 0;
  delete removed;
  return 1;
}

int32_t GDriverInstance::extensionHookA(uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }

int32_t GDriverInstance::extensionHookB(uint32_t, uint32_t, uint32_t) { return 0; }

int32_t GDriverInstance::checkMediaIdFor(GAttributeComposite* settings, int16_t mediaId) {
  const MPersistentObject* resolution = lookUp(settings, AttrId::ResolutionGroup);
  return checkMediaId(settings, mediaId, valueOr(settings, AttrId::OrientationAngle, 0), valueOr(resolution, AttrId::Resolution, 0),
                      valueOr(resolution, AttrId::VerticalResolution, 0));
}

int32_t GDriverInstance::checkMediaId(GAttributeComposite*, int16_t mediaId, int16_t, int16_t, int16_t) {
  constexpr int32_t kKnown = 1;
  constexpr int32_t kUnknown = 2;
  if (static_cast<uint16_t>(mediaId) >= static_cast<uint16_t>(kFirstUnknownMediaId)) return kUnknown;
  const GConfiguration* config = printerConfig();
  if (!config) return kUnknown;
  const auto* table = as<MAssociationList>(config->findById(AttrId::PaperNameTable));
  if (!table) return kKnown;
  const GValueAttribute key(mediaId, 0);
  return table->findValue(&key) ? kKnown : kUnknown;
}

RWWString GDriverInstance::setting401Text() {
  RWWString text;
  if (const GStringAttribute* s = textAt(printerConfig(), AttrId::ResourceModule)) convertToWide(s->value(), text);
  return text;
}

int32_t GDriverInstance::applyNamedSettings(const RWWString& name, GAttribute* target) {
  int32_t applied = 0;
  eachMember(lookUp(printerConfig(), AttrId::NamedSettings), [&](MPersistentObject* entry) {
    const GStringAttribute* entryName = textAt(entry, AttrId::NamedSettingsName);
    if (!entryName) return true;
    RWWString wide;
    convertToWide(entryName->value(), wide);
    if (!(wide == name)) return true;
    if (GAttribute* values = GAttribute::fromObject(lookUp(entry, AttrId::NamedSettingsValues)); values && target)
      target->merge(values);
    applied = 1;
    return false;
  });
  return applied;
}

uint16_t GDriverInstance::saveConfiguration() {
  const std::unique_ptr<GSecondaryPort> port(
      GOutputPortProviderRegistry::instance().createSecondaryPort(this, portName_, kConfigurationStore));
  GConfiguration* config = printerConfig();
  if (!port || !config) return kNoConfigurationStore;
  return port->storeConfiguration(config, 1);
}

// ---- merging the user's printer options -------------------------------------------------

int32_t GDriverInstance::mergeSettings(GAttributeComposite* given) {
  GAttributeComposite* settings = given ? given : settings_.get();
  if (!settings) return 0;
  MPersistentObject* source = settings->id() == AttrId::PrinterOptions ? settings : lookUp(settings, AttrId::PrinterOptions);
  if (!source) return 0;

  MPersistentObject* c228 = lookUp(printerConfig(), AttrId::JobLanguageConfig);
  const GPeripheral* generatorStage = as<GPeripheral>(lookUp(printer(), AttrId::Generator));
  GConfiguration* g = generatorStage ? generatorStage->config() : nullptr;

  // The download memory lives with the generator; a configuration that
  // keeps it with the job language lends it to the generator too.
  MPersistentObject* memory = lookUp(g, AttrId::DownloadMemory);
  if (!memory && g) {
    memory = lookUp(c228, AttrId::DownloadMemory);
    if (memory) g->insert(memory);
  }
  int16_t value = 0;
  if (memory && readValue(source, AttrId::DownloadMemoryChoice, value)) setIfPresent(memory, value);

  auto copy = [&](uint32_t from, MPersistentObject* within, uint32_t to) {
    int16_t v = 0;
    MPersistentObject* target = lookUp(within, to);
    if (target && readValue(source, from, v)) setIfPresent(target, v);
  };
  copy(AttrId::DuplexUnitChoice, c228, AttrId::DuplexUnit);
  copy(AttrId::CollationOption, c228, AttrId::CollationAvailable);
  if (MPersistentObject* target = lookUp(c228, AttrId::PrinterModeSwitch); target && readValue(source, AttrId::ModeSwitch, value))
    setIfPresent(target, value == 1 ? 1 : 0);
  copy(AttrId::Option317, g, AttrId::Option317);

  const GStringAttribute* outputName = textAt(source, AttrId::OutputDeviceName);
  const GStringAttribute* inputName = textAt(source, AttrId::InputDeviceName);
  int16_t outputSource = 0;
  const bool hasOutputSource = readValue(source, AttrId::OutputSource, outputSource);
  int16_t inputSource = 0;
  bool hasInputSource = readValue(source, AttrId::InputSource, inputSource);
  int16_t manualFeed = 0;
  bool hasManualFeed = readValue(source, AttrId::ManualFeed, manualFeed);
  int16_t absentSource = 0;
  const bool hasAbsentSource = readValue(source, AttrId::AbsentDeviceSource, absentSource);

  eachMember(lookUp(c228, AttrId::PaperHandlingDevices), [&](MPersistentObject* member) {
    auto* device = as<GPaperHandlingDevice>(member);
    if (!device) return true;
    const auto selectable = [&](int16_t id) {
      return device->sourceCount() > 1 && device->hasSource(static_cast<uint16_t>(id));
    };
    if (!device->isInstalled()) {
      if (hasAbsentSource && selectable(absentSource)) device->selectSource(static_cast<uint16_t>(absentSource));
    } else if (device->deviceClass() == 1) {
      if (outputName && outputName->value() == device->name()) {
        device->setEnabled(1);
        if (hasOutputSource) device->selectSource(static_cast<uint16_t>(outputSource));
      } else {
        device->setEnabled(0);
      }
    } else if (device->deviceClass() == 0) {
      device->setEnabled(0);
      // Only the first input device of the chosen name takes the choice.
      if (inputName && inputName->value() == device->name()) {
        device->setEnabled(1);
        if (hasInputSource && selectable(inputSource)) device->selectSource(static_cast<uint16_t>(inputSource));
        inputName = nullptr;
        hasInputSource = false;
      }
      if (hasManualFeed && manualFeed == 1) {
        const GTray* first = nullptr;
        eachMember(device, [&](MPersistentObject* tray) {
          first = as<GTray>(tray);
          return false;
        });
        if (first && first->number() == 5) {
          device->setEnabled(1);
          hasManualFeed = false;
        }
      }
    }
    return true;
  });

  copy(AttrId::Option441, c228, AttrId::Option441);
  return 1;
}

// ---- media ----------------------------------------------------------------------------------

GMediaPool* GDriverInstance::centredCopy(GMediaPool& pool) {
  GMediaPool* copy = new (std::nothrow) GMediaPool(0);
  if (!copy) return nullptr;
  // Per axis the printable area keeps the wider of its two margins on both
  // sides; geometry is 16-bit, as the entries keep it. Margins that meet
  // leave nothing printable, not a negative extent.
  const auto centre = [](int16_t size, int16_t extent, int16_t origin, int16_t& newExtent) {
    const int16_t far = static_cast<int16_t>(size - extent - origin);
    const int16_t margin = std::max(origin, far);
    newExtent = std::max<int16_t>(0, static_cast<int16_t>(size - 2 * margin));
    return margin;
  };
  eachMember(&pool, [&](MPersistentObject* member) {
    const GMedia* m = as<GMedia>(member);
    if (!m) return true;
    int16_t width = 0;
    int16_t height = 0;
    const int16_t x = centre(m->size().x(), m->printableExtent().x(), m->printableOrigin().x(), width);
    const int16_t y = centre(m->size().y(), m->printableExtent().y(), m->printableOrigin().y(), height);
    copy->insert(new GMedia(m->name().data(), m->size(), GPoint(width, height), GPoint(x, y), m->orientation(),
                            m->mediaId(), m->xResolution(), m->yResolution(), m->id(), m->code(), m->text().data(),
                            m->mediaTypeName().data()));
    return true;
  });
  return copy;
}

GMediaPool* GDriverInstance::mediaPool() {
  const int16_t alternate = valueOr(settings_.get(), AttrId::EmulateMargins, 0);
  const int16_t centred = valueOr(settings_.get(), AttrId::SubstituteMedia, 0);
  const GConfiguration* config = printerConfig();
  if (!config) return nullptr;
  if (alternate != 0) return as<GMediaPool>(config->findById(AttrId::AlternateMediaPool));
  GMediaPool* pool = as<GMediaPool>(config->findById(AttrId::MediaPool));
  if (centred == 0 || !pool) return pool;
  if (!derivedPool_) derivedPool_.reset(centredCopy(*pool));
  return derivedPool_ ? derivedPool_.get() : pool;
}

void GDriverInstance::sizeBounds(GMediaPool* pool, int32_t orientation, int16_t xResolution, int16_t yResolution,
                                 int32_t bounded, int16_t bounds[4]) {
  bounds[0] = 0;
  bounds[1] = 0;
  bounds[2] = 32767;
  bounds[3] = 32767;
  if (!bounded || !pool) return;
  if (const GMedia* lower = pool->findByMediaId(CustomMediaId::kSmallest, orientation, xResolution, yResolution)) {
    bounds[0] = lower->size().x();
    bounds[1] = lower->size().y();
  }
  if (const GMedia* upper = pool->findByMediaId(CustomMediaId::kLargest, orientation, xResolution, yResolution)) {
    bounds[2] = upper->size().x();
    bounds[3] = upper->size().y();
  }
}

int32_t GDriverInstance::selectMedia(GMediaCallback callback, void* buffer, int32_t orientation,
                                     int16_t xResolution, int16_t yResolution, int32_t useCodeMappings,
                                     int32_t bounded, int32_t& count) {
  count = 0;
  GMediaPool* pool = mediaPool();
  if (!pool) return -1;
  int16_t b[4];
  sizeBounds(pool, orientation, xResolution, yResolution, bounded, b);
  const std::unique_ptr<GMediaPoolIterator> it(
      pool->select(orientation, xResolution, yResolution, GPoint(b[0], b[1]), GPoint(b[2], b[3])));
  bool hit = false;
  while (it->advance()) {
    GMedia* entry = as<GMedia>(it->current());
    if (!entry) continue;
    GResourceMapping* mapping = nullptr;
    if (useCodeMappings) {
      mapping = codeMappings_ ? codeMappings_->findBySecondCode(entry->mediaId()) : nullptr;
      if (!mapping) continue;
    }
    if (!offer(buffer, callback, hit, count,
               [&](int32_t& status) { return callback(entry, mapping, count, buffer, status); }))
      break;
  }
  return hit ? 1 : -1;
}

namespace {

struct CodeQuery {
  uint16_t code;
};

// A hit, and the end of the walk, on the item whose mapping has the code.
template <class Item>
int withCode(Item*, GResourceMapping* mapping, int32_t, void* buffer, int32_t& status) {
  if (mapping && mapping->firstCode() == static_cast<CodeQuery*>(buffer)->code) {
    status = 1;
    return 0;
  }
  return 1;
}

}  // namespace

int32_t GDriverInstance::supportsMediaCode(int32_t orientation, int16_t xResolution, int16_t yResolution,
                                           int32_t bounded, uint16_t firstCode) {
  CodeQuery query{firstCode};
  int32_t count = 0;
  if (selectMedia(withCode<GMedia>, &query, orientation, xResolution, yResolution, 1, bounded, count) >= 1) return 1;

  int16_t b[4];
  sizeBounds(bounded ? mediaPool() : nullptr, orientation, xResolution, yResolution, bounded, b);
  bool found = false;
  eachMember(lookUp(ensureSettings(), AttrId::CustomSizes), [&](MPersistentObject* member) {
    const GCustomMediaSize* size = as<GCustomMediaSize>(member);
    uint16_t code = 0;
    if (!size || !firstCodeFor(size->mediaId(), code) || code != firstCode) return true;
    const GMediaSize dots = size->sizeInDots(xResolution, yResolution);
    const auto within = [](uint32_t v, int16_t lower, int16_t upper) {
      return static_cast<int64_t>(v) >= lower && static_cast<int64_t>(v) <= upper;
    };
    found = within(dots.width, b[0], b[2]) && within(dots.height, b[1], b[3]);
    return !found;
  });
  return found ? 1 : 0;
}

int32_t GDriverInstance::enumerateSources(GTrayCallback callback, void* buffer, int32_t useTrayMappings,
                                          int32_t& count) {
  count = 0;
  bool hit = false;
  bool stopped = false;
  eachMember(paperHandlingDevices(), [&](MPersistentObject* member) {
    auto* device = as<GPaperHandlingDevice>(member);
    if (!device || !device->isEnabled() || device->deviceClass() != 0) return true;
    eachMember(device, [&](MPersistentObject* trayMember) {
      GTray* tray = as<GTray>(trayMember);
      if (!tray) return true;
      GResourceMapping* mapping = nullptr;
      if (useTrayMappings) {
        mapping = trayMappings_ ? trayMappings_->findBySecondCode(tray->number()) : nullptr;
        if (!mapping) return true;
      }
      stopped = !offer(buffer, callback, hit, count,
                       [&](int32_t& status) { return callback(tray, mapping, count, buffer, status); });
      return !stopped;
    });
    return !stopped;
  });
  return hit ? 1 : -1;
}

int32_t GDriverInstance::supportsTray(uint16_t firstCode) {
  CodeQuery query{firstCode};
  int32_t count = 0;
  return enumerateSources(withCode<GTray>, &query, 1, count) == 1 ? 1 : 0;
}

GAttributeComposite* GDriverInstance::addListMappings(GResourceMappingList& list) {
  GAttributeComposite* types = as<GAttributeComposite>(lookUp(ensureSettings(), AttrId::ExtraMediaTypes));
  if (!types) return nullptr;
  int32_t i = 0;
  eachMember(types, [&](MPersistentObject*) {
    // The list's own insert takes nothing and add refuses a second mapping
    // of resource id 0; every extra type needs its own, so the mapping goes
    // in as the composite takes any child.
    list.MPersistentComposite::insert(new GResourceMapping(0, static_cast<uint16_t>(kFirstExtraTypeCode + i),
                                                           static_cast<int16_t>(kFirstExtraTypeId + i), 0));
    ++i;
    return true;
  });
  return types;
}

int32_t GDriverInstance::hasMappingForFirstCode(uint16_t firstCode) {
  if (resourceMappings_ && resourceMappings_->findByFirstCode(firstCode)) return 1;
  ExtraTypeMappings extra(*this);
  return extra.list().findByFirstCode(firstCode) ? 1 : 0;
}

int32_t GDriverInstance::enumerateMediaTypes(GMediaTypeCallback callback, void* buffer, int32_t passMappings,
                                             int32_t& count) {
  count = 0;
  bool hit = false;
  eachMember(resourceMappings_.get(), [&](MPersistentObject* member) {
    GResourceMapping* mapping = as<GResourceMapping>(member);
    if (!mapping) return true;
    return offer(buffer, callback, hit, count, [&](int32_t& status) {
      return callback(passMappings ? mapping : nullptr, count, buffer, status, nullptr);
    });
  });

  // The extra types answer whatever the callback says: each one is offered.
  ExtraTypeMappings extra(*this);
  if (GAttributeComposite* types = extra.types()) {
    const std::unique_ptr<GChildIterator> names(types->createIterator());
    const std::unique_ptr<GChildIterator> mappings(extra.list().createIterator());
    while (names->advance() && mappings->advance()) {
      const GStringAttribute* name = as<GStringAttribute>(names->current());
      GResourceMapping* mapping = as<GResourceMapping>(mappings->current());
      offer(buffer, callback, hit, count, [&](int32_t& status) {
        callback(passMappings ? mapping : nullptr, count, buffer, status,
                 passMappings && name ? &name->value() : nullptr);
        return 1;
      });
    }
  }
  return hit ? 1 : -1;
}

// ---- fonts of the mass-storage devices --------------------------------------------------

void GDriverInstance::pruneMassStorageFonts(const GDeviceFontListComposite* kept) {
  auto* lists = as<GDeviceFontListComposite>(lookUp(printerConfig(), AttrId::FontLists));
  if (!lists) return;
  const bool keptAny = kept && kept->entries() > 0;
  for (uint32_t source : kMassStorageSources) {
    if (keptAny && kept->findById(source)) continue;
    if (lists->findById(source)) delete lists->removeById(source);
  }
  if (keptAny) lists->merge(*kept);
}

GDeviceFontListComposite* GDriverInstance::fontSourceList() {
  GOSFactory* factory = GOSFactory::instance();
  if (!factory) return nullptr;
  MPersistentObject* object = factory->getObject(this, RWWString("AddedFonts"));
  auto* list = as<GDeviceFontListComposite>(object);
  if (!list) delete object;
  return list;
}

int32_t GDriverInstance::storeFontSourceList(const GDeviceFontListComposite* list) {
  GOSFactory* factory = GOSFactory::instance();
  return factory && list ? factory->putObject(this, RWWString("AddedFonts"), list) : 0;
}

// ---- the interface instance ----------------------------------------------------------------

GInterfaceInstance::GInterfaceInstance() = default;

GInterfaceInstance::~GInterfaceInstance() = default;

bool GInterfaceInstance::hasCommandCharacter(const RWCString& text) const {
  const auto* generator = dynamic_cast<const GPDLGenerator*>(pdlGenerator());
  return generator && generator->hasCommandCharacter(text);
}
