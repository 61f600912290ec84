#include "pdl/pdlgen.h"

#include "core/outport.h"
#include "core/perclass.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "journal/ctlcmds.h"

G_DEFINE_PERSISTENT_LEVEL(GPDLGenerator, GPeripheralComposite)

// ---- construction ----------------------------------------------------------------------

GPDLGenerator::GPDLGenerator() : GPeripheralComposite() { clearFields(); }

GPDLGenerator::GPDLGenerator(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                             uint32_t addOnListId, int32_t kind, int32_t mode)
    : GPeripheralComposite(name, defaults, config, id, addOnListId, kind, mode) {
  clearFields();
  lookUpConfiguredDeviceFonts();
}

GPDLGenerator::GPDLGenerator(const GPDLGenerator& other)
    : GPeripheralComposite(other),
      GPaintCallbacks(),
      inDocument_(other.inDocument_),
      inScanLines_(other.inScanLines_),
      fontDownloaded_(0),
      fontNameCounter_(0),
      fontUseCounter_(0),
      pathDepth_(other.pathDepth_),
      recordingClipPath_(other.recordingClipPath_),
      budget_(),
      device_(nullptr),
      carrier_() {
  lookUpConfiguredDeviceFonts();
}

GPDLGenerator& GPDLGenerator::operator=(const GPDLGenerator& other) {
  if (this == &other) return *this;
  GPeripheralComposite::operator=(other);
  inDocument_ = other.inDocument_;
  inScanLines_ = other.inScanLines_;
  pathDepth_ = other.pathDepth_;
  recordingClipPath_ = other.recordingClipPath_;
  fontDownloaded_ = 0;
  fontNameCounter_ = 0;
  fontUseCounter_ = 0;
  downloadedFonts_.reset();
  codeRemap_.reset();
  lookUpConfiguredDeviceFonts();
  return *this;
}

GPDLGenerator::~GPDLGenerator() { carrier_.release(*this); }

void GPDLGenerator::clearFields() {
  inDocument_ = 0;
  inScanLines_ = 0;
  fontDownloaded_ = 0;
  fontNameCounter_ = 0;
  fontUseCounter_ = 0;
  pathDepth_ = 0;
  recordingClipPath_ = 0;
  budget_ = GMemoryBudget();
  device_ = nullptr;
}

RWBoolean GPDLGenerator::isKindOf(RWClassID id) const {
  return id == classIsA() || GPeripheralComposite::isKindOf(id);
}

RWBoolean GPDLGenerator::matches(const MPersistentObject* other) const {
  if (!GPeripheralComposite::matches(other)) return false;
  const auto* that = dynamic_cast<const GPDLGenerator*>(other);
  return that && inDocument_ == that->inDocument_ && inScanLines_ == that->inScanLines_ &&
         pathDepth_ == that->pathDepth_ && recordingClipPath_ == that->recordingClipPath_;
}

// ---- configured device fonts ---------------------------------------------------------------

void GPDLGenerator::lookUpConfiguredDeviceFonts() {
  GConfiguration* configuration = config();
  MPersistentObject* found = configuration ? configuration->findById(AttrId::FontLists) : nullptr;
  if (auto* list = dynamic_cast<GDeviceFontListComposite*>(found)) {
    configuredDeviceFonts_ = list;
    ownEmptyFonts_ = false;
  } else if (!ownEmptyFonts_ || !configuredDeviceFonts_.get()) {
    // Without a list in the Config the generator keeps an empty one of its
    // own, made once, not the list of a Config it no longer has.
    configuredDeviceFonts_ = new GDeviceFontListComposite;
    ownEmptyFonts_ = true;
  }
}

GDeviceFontListComposite* GPDLGenerator::configuredDeviceFonts() const {
  return dynamic_cast<GDeviceFontListComposite*>(configuredDeviceFonts_.get());
}

// ---- shared stage behaviour ------------------------------------------------------------

namespace {

// Each child's processing answers what the next child gets.
GCommandPtr throughChildren(const GPeripheralComposite& generator, GCommandPtr command) {
  for (RWsize i = 0; i < generator.entries(); ++i) {
    GPeripheral* child = generator.childAt(i);
    if (!child || !command) continue;
    const GCountedRef hold(child);
    command = child->process(command);
  }
  return command;
}

bool failed(const GCommandPtr& command) { return command && command->isKindOf(ClassId::GErrorCommand); }

}  // namespace

GCommandPtr GPDLGenerator::process(const GCommandPtr& command) {
  GCommandPtr held(command);
  if (!held || !isEnabled()) return held;
  const RWClassID kind = held->isA();
  if (kind == ClassId::GDocumentEnd || kind == ClassId::GPageEnd) {
    // What the children add to the page or the document goes out before
    // the generator closes it.
    held = throughChildren(*this, held);
    if (failed(held)) return held;
    return GPeripheral::process(held);
  }
  GCommandPtr result = GPeripheral::process(held);
  if (kind == ClassId::GDocumentStart) carrier_.hold(held, *this);
  if (failed(result)) return result;
  return throughChildren(*this, result);
}

void GPDLGenerator::changed(GPeripheral*) {
  changedSharingStates();
  lookUpConfiguredDeviceFonts();
}

void GPDLGenerator::reset() {
  carrier_.release(*this);
  GPeripheralComposite::reset();
  inDocument_ = 0;
  renewFontTables();
}

void GPDLGenerator::renewFontTables() {
  downloadedFonts_.reset();
  codeRemap_.reset();
  downloadedFonts_.reset(makeDownloadedFontList());
  codeRemap_.reset(makeCodeRemapTable());
}

// ---- generator operations ------------------------------------------------------------------

uint32_t GPDLGenerator::releaseDownloadMemory(uint32_t n) { return budget_.release(n); }

uint32_t GPDLGenerator::reserveDownloadMemory(uint32_t n) { return budget_.reserve(n); }

uint32_t GPDLGenerator::downloadFont(GFontDescriptor*) { return 1; }

uint32_t GPDLGenerator::downloadFontCharacters(GFontDescriptor*, int32_t, int32_t, const uint16_t*& coverage, int32_t,
                                               int32_t, GDeviceFontDescription*&) {
  coverage = nullptr;
  return 1;
}

bool GPDLGenerator::hasCommandCharacter(const RWCString&) const { return false; }

// ---- the job ---------------------------------------------------------------------------

GStatus GPDLGenerator::onDocumentStart(GDocumentStart* command) {
  if (!command) return 0;
  inDocument_ = 0;
  device_ = command->device();
  const GStatus opened = gOpenJobPort(*this, *command, carrier_);
  if (opened != 0) return opened;
  if (!port()) return kStatusNoPort;
  inDocument_ = 1;

  GConfiguration* configuration = config();
  MPersistentObject* limit = configuration ? configuration->findById(AttrId::DownloadMemory) : nullptr;
  if (const auto* range = dynamic_cast<const GRangeAttribute*>(limit)) {
    setDownloadLimit(range->value());
  } else if (const auto* value = dynamic_cast<const GValueAttribute*>(limit)) {
    setDownloadLimit(value->value());
  } else {
    budget_.reset();
  }
  return 0;
}

void GPDLGenerator::setDownloadLimit(int16_t units) {
  // A negative count would make a limit near 4 GiB: it allows nothing.
  budget_.setLimit(units < 0 ? 0 : static_cast<uint32_t>(units) * kDownloadMemoryUnit);
}

GStatus GPDLGenerator::endJobPort() {
  GStatus status = 0;
  if (ownsPort() && port()) status = static_cast<GStatus>(port()->endJob());
  carrier_.release(*this);
  inDocument_ = 0;
  return status;
}

GStatus GPDLGenerator::abortJobPort() {
  GStatus status = 0;
  if (ownsPort() && port()) status = static_cast<GStatus>(port()->abort());
  carrier_.release(*this);
  inDocument_ = 0;
  return status;
}

// ---- stored form -------------------------------------------------------------------------

RWspace GPDLGenerator::levelStoreSize() const { return 18; }

template <class Sink>
void GPDLGenerator::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, inDocument_);
  gWrite(sink, inScanLines_);
  gWrite(sink, pathDepth_);
  gWrite(sink, recordingClipPath_);
}

template <class Source>
void GPDLGenerator::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t inDocument = 0;
  uint32_t inScanLines = 0;
  int16_t pathDepth = 0;
  uint32_t recordingClipPath = 0;
  if (!gRead(source, inDocument) || !gRead(source, inScanLines) || !gRead(source, pathDepth) ||
      !gRead(source, recordingClipPath))
    return;
  inDocument_ = inDocument;
  inScanLines_ = inScanLines;
  pathDepth_ = pathDepth;
  recordingClipPath_ = recordingClipPath;
  downloadedFonts_.reset();
  codeRemap_.reset();
  lookUpConfiguredDeviceFonts();
}
