#include "journal/chromafit.h"

#include "core/attrib.h"
#include "core/colormatch.h"
#include "core/passoc.h"
#include "core/perclass.h"
#include "core/valattr.h"
#include "device/device.h"
#include "graphics/colrend.h"
#include "journal/ctlcmds.h"

namespace {

constexpr int32_t kObjectClasses = 3;

}  // namespace

// ---- the look-ups -------------------------------------------------------------------

uint16_t chromafitSetting(int32_t objectClass, int32_t kind, const MPersistentObject* state) {
  const auto* choices =
      dynamic_cast<const GChromafitAttribute*>(state ? state->findById(AttrId::Chromafit) : nullptr);
  if (!choices) return kNoChromafitSelector;
  // Only the two kinds of choice write a byte: anything else is no choice.
  if (kind != kChromafitColorMap && kind != kChromafitHalftone) return kNoChromafitSelector;
  uint8_t byte = 0;
  if (!choices->setting(objectClass, kind, byte)) return kNoChromafitSelector;
  return byte;
}

uint16_t chromafitColorMapValue(const MPersistentObject* composite, int32_t selector) {
  return gSelectorTableValue(composite, AttrId::ColorMapTable, selector);
}

uint16_t chromafitHalftoneValue(const MPersistentObject* composite, int32_t selector) {
  return gSelectorTableValue(composite, AttrId::HalftoneTable, selector);
}

RWCString chromafitTableString(uint32_t tableId, const MPersistentObject* composite, int32_t value) {
  if (!composite) return RWCString();
  const auto* table = dynamic_cast<const MAssociationList*>(composite->findById(tableId));
  if (!table) return RWCString();
  // Keys are matched as the selector tables' are: a value attribute of id 0.
  const GValueAttribute key(static_cast<int16_t>(value), 0);
  const auto* text = dynamic_cast<const GStringAttribute*>(table->findValue(&key));
  return text ? text->value() : RWCString();
}

// ---- GChromafitFilter ---------------------------------------------------------------

G_DEFINE_PERSISTENT(GChromafitFilter, GPeripheral)

GChromafitFilter::GChromafitFilter()
    : device_(nullptr), active_(0), setUp_(0), halftone_{0, 0, 0}, colorMap_{0, 0, 0} {}

GChromafitFilter::GChromafitFilter(const RWCString& name, GState* defaults, GConfiguration* config,
                                   const uint32_t& id, int32_t setting)
    : GPeripheral(name, defaults, config, id),
      device_(nullptr),
      active_(setting),
      setUp_(0),
      halftone_{0, 0, 0},
      colorMap_{0, 0, 0} {}

GChromafitFilter::GChromafitFilter(const GChromafitFilter& other) = default;

GChromafitFilter& GChromafitFilter::operator=(const GChromafitFilter& other) {
  if (this == &other) return *this;
  GPeripheral::operator=(other);
  device_ = other.device_;
  active_ = other.active_;
  setUp_ = other.setUp_;
  for (int32_t i = 0; i < kObjectClasses; ++i) {
    halftone_[i] = other.halftone_[i];
    colorMap_[i] = other.colorMap_[i];
  }
  return *this;
}

GChromafitFilter::~GChromafitFilter() = default;

RWBoolean GChromafitFilter::isKindOf(RWClassID id) const { return id == classIsA() || GPeripheral::isKindOf(id); }

RWBoolean GChromafitFilter::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const auto* o = dynamic_cast<const GChromafitFilter*>(other);
  return o && o->isA() == isA() && GPeripheral::matches(other) && o->active_ == active_;
}

uint16_t GChromafitFilter::selector(int32_t objectClass, int32_t kind) const {
  if (objectClass < 0 || objectClass >= kObjectClasses) return kNoChromafitSelector;
  return kind == kChromafitHalftone ? halftone_[objectClass] : colorMap_[objectClass];
}

int32_t GChromafitFilter::objectClassOf(RWClassID commandClass) {
  switch (commandClass) {
    case ClassId::GPathGraphic:
    case ClassId::GGraphicComposite:
    case ClassId::GPointListGraphic:
    case ClassId::GArcGraphic:
    case ClassId::GPolyBezierGraphic:
    case ClassId::GChordGraphic:
    case ClassId::GEllipseGraphic:
    case ClassId::GPieGraphic:
    case ClassId::GPolygonGraphic:
    case ClassId::GPolyLineGraphic:
    case ClassId::GRectangleGraphic:
    case ClassId::GRoundedRectangleGraphic:
    case ClassId::GScanLineGraphic:
    case ClassId::GPolyBezierToGraphic:
    case ClassId::GPolyLineToGraphic:
    case ClassId::GStartScanLine:
      return kChromafitGraphics;
    case ClassId::GRasterGraphic:
      return kChromafitRaster;
    case ClassId::GTextGraphic:
    case ClassId::GTextStringGraphic:
      return kChromafitText;
    default:
      return -1;
  }
}

GCommandPtr GChromafitFilter::dispatch(const GCommandPtr& command) {
  if (!command) return command;
  switch (command->isA()) {
    case ClassId::GDocumentStart:
    case ClassId::GDocumentEnd:
    case ClassId::GManualDuplexFirstHalf:
    case ClassId::GJobAbort:
      // The handlers; a failure comes back as a GErrorCommand.
      return GPeripheral::dispatch(command);
    default:
      break;
  }
  const int32_t objectClass = objectClassOf(command->isA());
  if (active_ && objectClass >= 0) addSelectors(*command, objectClass);
  return command;
}

void GChromafitFilter::addSelectors(GCommand& command, int32_t objectClass) const {
  auto* bundle = dynamic_cast<GAttributeComposite*>(command.attributePointer());
  if (!bundle) return;
  const bool needsHalftone = !bundle->findByClassId(ClassId::GHalftone);
  const bool needsColorMap = !bundle->findByClassId(ClassId::GColorMap);
  if (!needsHalftone && !needsColorMap) return;
  // Another holder's bundle is left as it is: the selectors of this
  // command's object class must not reach a command of another class that
  // shares it. The copy shares the members.
  if (bundle->references() > 1) {
    GAttributeComposite* own = bundle->copy();
    command.replaceAttribute(own);
    bundle = own;
  }
  if (needsHalftone) bundle->insert(new GHalftone(halftone_[objectClass], 0));
  if (needsColorMap) bundle->insert(new GColorMap(colorMap_[objectClass], 0));
}

void GChromafitFilter::applyAttribute(MPersistentObject*) {}

GStatus GChromafitFilter::sendChangedAttributes(const uint32_t&) { return 0; }

GStatus GChromafitFilter::onDocumentStart(GDocumentStart* command) {
  // The job state only: the base answers 0.
  static_cast<void>(GPeripheral::onDocumentStart(command));
  // Each document carries its own choices: those of the last one must not
  // print this one.
  setUp_ = 0;
  device_ = command ? command->device() : nullptr;
  setUp(command ? command->attributePointer() : nullptr);
  if (!active_) disable();
  return 0;
}

GStatus GChromafitFilter::onDocumentEnd(GDocumentEnd* command) {
  static_cast<void>(GPeripheral::onDocumentEnd(command));
  endSetUp();
  return 0;
}

GStatus GChromafitFilter::onManualDuplexFirstHalf(GManualDuplexFirstHalf*) {
  endSetUp();
  return 0;
}

GStatus GChromafitFilter::onJobAbort(GJobAbort* command) {
  // The filter owns no port, so the base's abort has nothing to report.
  static_cast<void>(GPeripheral::onJobAbort(command));
  endSetUp();
  return 0;
}

void GChromafitFilter::setUp(const MPersistentObject* state) {
  active_ = 0;
  if (!device_ || !state || setUp_ == 1) return;
  setUp_ = 1;
  GDriverInstance& instance = *device_;
  const uint32_t enabling = instance.configurationValue();
  if (enabling != 0 && enabling != 1) return;
  active_ = 1;
  for (int32_t objectClass = 0; objectClass < kObjectClasses; ++objectClass) {
    colorMap_[objectClass] = chromafitSetting(objectClass, kChromafitColorMap, state);
    halftone_[objectClass] = chromafitSetting(objectClass, kChromafitHalftone, state);
  }
}

void GChromafitFilter::endSetUp() { setUp_ = 0; }

RWspace GChromafitFilter::levelStoreSize() const { return 4 + 2; }

template <class Sink>
void GChromafitFilter::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<int16_t>(active_));
}

template <class Source>
void GChromafitFilter::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int16_t active = 0;
  if (gRead(source, active)) active_ = active;
}
