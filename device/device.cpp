#include "device/device.h"

#include <algorithm>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/osfactry.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "device/setread.h"
#include "device/sinks.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/fontmtrc.h"
#include "graphics/ftdtabse.h"
#include "graphics/gattrib.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"

using namespace SettingRead;

namespace {

constexpr GStatus kNoDocumentPending = 403;
constexpr uint32_t kErrorState = 3;
constexpr uint32_t kNoPage = 0x8000;
// What makeDocumentState copies or resolves.
constexpr uint32_t kCopiedOptions[] = {AttrId::AlternateTextCaps, AttrId::PrintInGray, AttrId::Compression};
constexpr uint32_t kChromafitOptions[] = {AttrId::ChromafitSelector, AttrId::Chromafit, AttrId::ChromafitAlternate,
                                 AttrId::TransparencyPreset};
constexpr uint32_t kLateOptions[] = {AttrId::DitherSelector1, AttrId::DitherSelector2};
constexpr uint32_t kPostScriptOptions[] = {AttrId::PsPrinterScreen,    AttrId::PsScreenAngle,
                                           AttrId::PsScreenFrequency,  AttrId::PsTrueTypeMode,
                                           AttrId::PsDeviceFontSource, AttrId::PsColorRenderingChoice,
                                           AttrId::PsSpotChoice};

// Inserts a deep copy of the member with the id, when there is one.
void copyMember(const MPersistentObject* from, uint32_t id, MPersistentObject& into) {
  if (MPersistentObject* member = lookUp(from, id)) into.insert(member->deepCopy());
}

// A deep copy of a group that is a state, else an empty state.
GState* stateCopyOf(const MPersistentObject* group) {
  if (const auto* state = dynamic_cast<const GState*>(group))
    if (auto* copy = dynamic_cast<GState*>(state->deepCopy())) return copy;
  return new GState;
}

// A capability set of the configuration's 112, or null.
const GCapabilities* capabilitySet(const MPersistentObject* sets, uint32_t id) {
  return dynamic_cast<const GCapabilities*>(lookUp(sets, id));
}

bool contains(const GCapabilities* set, uint32_t number) { return set && set->contains(number); }

// Releases a command offered to a stage or a check, deleting it unless a
// counted holder shares it.
void dispose(GCommand* command) { GCommandPtr release(command); }

}  // namespace

void GDevice::Deleter::operator()(MPersistentObject* object) const { delete object; }
void GDevice::Deleter::operator()(GFontMetrics* metrics) const { delete metrics; }
void GDevice::Deleter::operator()(GFontDatabase* database) const { delete database; }
void GDevice::Deleter::operator()(GForwardingSink* gate) const { delete gate; }

GDevice::GDevice()
    : documentPending_(0),
      documentStarted_(0),
      state_(0),
      pageStarted_(0),
      pagePending_(0),
      psPassThroughMode_(0),
      reserved_(0),
      gate_(new GForwardingSink),
      pageCount_(0),
      defaultCap_(0),
      defaultJoin_(1),
      defaultMiterLimit_(10.0f),
      defaultColor_(new GRGBColor(255, 255, 255, 255)),
      currentColor_(new GRGBColor),
      cap_(0),
      join_(1),
      miterLimit_(10.0f),
      alternateTextCaps_(0),
      twoColor_(0),
      renderingMode_(1),
      psTrueTypeMode_(0xFFFF),
      psDeviceFontSource_(0),
      pathDepth_(0),
      clipCapability_(0),
      capabilityFlag120_(0),
      prefersClipPaths_(0),
      pathWords_{0, 0},
      graphicStateWord_(1),
      savedStateWord_(0),
      flagged_(0),
      firstPageMediaForAll_(0),
      pageScaling_(0),
      scaleX_(1.0f),
      scaleY_(1.0f),
      scaled_(0),
      scaledPage_(0),
      colorMode_(0),
      generatorClass_(ClassId::GPDLGenerator),
      processingFlags_(kNoPage),
      passThroughAllowed_(0),
      postScript_(0),
      aborted_(0) {
  if (GOSFactory* factory = GOSFactory::instance()) fontMetrics_.reset(factory->createFontMetrics(this));
  newFontDatabase();
}

GDevice::~GDevice() {
  // The paths and clips before the counted objects they may share pieces
  // with; the database before the metrics.
  discardDrawingState();
  fontDatabase_.reset();
  fontMetrics_.reset();
}

void GDevice::newFontDatabase() { fontDatabase_.reset(new GFontDatabase(this)); }

GAttributeComposite* GDevice::jobSettings() {
  if (!settings()) setSettings(createSettings());
  return settings();
}

GAttributeComposite* GDevice::settingsGroup(uint32_t id) {
  GAttributeComposite* settings = jobSettings();
  return settings ? as<GAttributeComposite>(settings->findById(id)) : nullptr;
}

// ---- hooks and flags --------------------------------------------------------------

int32_t GDevice::deviceExtensionHookA(uint32_t, uint32_t) { return 0; }
void GDevice::deviceExtensionHookB(uint32_t) {}
int32_t GDevice::deviceExtensionHookC(const RWWString&, uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }
uint32_t GDevice::isFlagged() { return flagged_; }
void GDevice::setFlag() { flagged_ = 1; }

int32_t GDevice::renderingModeTest(int32_t plane) const {
  return renderingMode_ == 3 || (renderingMode_ == 2 && plane == 0) ? 1 : 0;
}

// ---- the job ----------------------------------------------------------------------

int32_t GDevice::beginJob() {
  GAttributeComposite* options = settingsGroup(AttrId::JobOptions);
  GConfiguration* config = printerConfig();
  const MPersistentObject* sets = lookUp(config, AttrId::CapabilitySets);
  const uint32_t bits = flags();
  const auto bit = [bits](int n) { return (bits >> n) & 1u; };

  state_ = 0;
  psPassThroughMode_ = 0;
  reserved_ = 0;
  documentPending_ = 0;
  documentStarted_ = 0;
  *currentColor_ = *defaultColor_;
  cap_ = defaultCap_;
  join_ = defaultJoin_;
  miterLimit_ = defaultMiterLimit_;

  alternateTextCaps_ = valueIs(options, AttrId::AlternateTextCaps, 1) ? 1 : 0;
  twoColor_ = valueIs(options, AttrId::TwoColor, 1) ? 1 : 0;

  GPeripheral* generator = pdlGenerator();
  generatorClass_ = generator ? generator->isA() : ClassId::GPDLGenerator;
  postScript_ = generator && generator->isKindOf(ClassId::GPostScript) ? 1 : 0;
  const bool cheetah = generator && generator->isKindOf(ClassId::GCheetah);
  processingFlags_ = kNoPage;
  const GCapabilities* caps565 = capabilitySet(sets, AttrId::PassThroughCapabilities);
  passThroughAllowed_ = caps565 && !caps565->contains(0) ? 1 : 0;

  psTrueTypeMode_ = 0xFFFF;
  psDeviceFontSource_ = 0;
  if (postScript_) {
    int16_t value = 0;
    if (readValue(options, AttrId::PsTrueTypeMode, value)) {
      alternateTextCaps_ = 0;
      psTrueTypeMode_ = 2;
      if (value == 0) {
        psTrueTypeMode_ = 0;
      } else if (value == 1) {
        psTrueTypeMode_ = 1;
        alternateTextCaps_ = 1;
      } else if (value == 2) {
        psTrueTypeMode_ = 2;
      }
    }
    if (readValue(options, AttrId::PsDeviceFontSource, value) && value >= 0 && value <= 2)
      psDeviceFontSource_ = static_cast<uint16_t>(value);
  }

  int16_t mode = 0;
  readValue(options, AttrId::RenderingMode, mode);
  if (mode == 3 || mode == 2 || mode == 1)
    renderingMode_ = static_cast<uint16_t>(mode);
  else
    renderingMode_ = bit(21) ? 3 : bit(22) ? 2 : 1;
  const GCapabilities* caps136 = capabilitySet(sets, AttrId::CapabilitySet136);
  if (renderingMode_ != 3 && bit(26) && caps136 && !caps136->contains(1)) renderingMode_ = 3;
  if (renderingMode_ != 3 && bit(27) && caps136 && !caps136->contains(2)) renderingMode_ = 3;

  if (const GCapabilities* caps135 = capabilitySet(sets, AttrId::CapabilitySet135)) {
    const bool noScaling = renderingMode_ == 1 ? caps135->contains(1) : caps135->contains(4);
    GPeripheralComposite* root = configuration();
    pageScaling_ = noScaling ? 0 : (root && root->isReady() ? 1 : 0);
  }

  int16_t value296 = 0;
  if (readValue(options, AttrId::PrintInGray, value296)) colorMode_ = value296 == 0 ? 1 : value296 == 3 ? 2 : 0;

  clipCapability_ = 0;
  capabilityFlag120_ = 0;
  if (sets) {
    clipCapability_ = contains(capabilitySet(sets, AttrId::CapabilitySet113), 1) ? 1 : 0;
    if (contains(capabilitySet(sets, AttrId::CapabilitySet120), 9)) {
      if (renderingModeTest(0) == 0 && !(bit(23) && clipCapability_ == 0))
        capabilityFlag120_ = 1;
      else
        clipCapability_ = 0;
    } else {
      clipCapability_ = 0;
    }
  }
  if (cheetah && bit(3)) {
    clipCapability_ = 0;
    capabilityFlag120_ = 0;
  }

  prefersClipPaths_ = 0;
  if (postScript_ && bit(17)) {
    int16_t value = 0;
    const bool set279 = readValue(options, AttrId::Booklet, value) && value != 0;
    int16_t value266 = 0;
    const bool set266 = readValue(lookUp(jobSettings(), AttrId::NupGroup), AttrId::PagesPerSheet, value266) && value266 != 0;
    prefersClipPaths_ = set279 || set266 ? 1 : 0;
  }

  cachedDocumentState_.reset();
  discardDrawingState();
  savedStateWord_ = graphicStateWord_;
  // A mark left by a pass-through of the last job names no command now.
  gate_->unmark();
  return 0;
}

void GDevice::applyDeviceState(GState& state, GAttributeComposite* jobOptions, bool pageState) {
  MPersistentObject* selection = state.removeById(AttrId::Paper);
  if (!selection) return;
  GMedia* media = nullptr;
  if (auto* value = as<GValueAttribute>(selection)) media = mediaForId(value->value());
  if (!media) {
    state.insert(selection);
    return;
  }
  media->setId(AttrId::Media);
  const uint32_t nameId = pageCount_ < 2 || firstPageMediaForAll_ == 1 ? AttrId::MediaTypeName : AttrId::LaterMediaTypeName;
  if (const auto* name = dynamic_cast<const GStringAttribute*>(lookUp(jobOptions, nameId)))
    media->setMediaTypeName(name->value().data());
  if (pageState && pageCount_ != 0) {
    auto* transform = new GTransformAttribute;
    transform->setOffset(media->printableOrigin());
    state.insert(transform);
  }
  delete selection;
  state.insert(media);
}

GState* GDevice::makeDocumentState() {
  GAttributeComposite* options = settingsGroup(AttrId::JobOptions);
  GAttributeComposite* document = settingsGroup(AttrId::DocumentSettings);
  // The device\'s distribution only moves values between groups: it answers 0.
  (void)distributeCopies(options, document, settingsGroup(AttrId::PageSettings), settingsGroup(AttrId::PrinterOptions));

  GState* state = stateCopyOf(document);
  copyMember(jobSettings(), AttrId::ExtendedPrintArea, *state);
  applyDeviceState(*state, options, false);

  if (valueIs(state, AttrId::FitToMedia, 1)) {
    MPersistentObject* id = state->removeById(AttrId::FitMediaId);
    GMedia* media = nullptr;
    if (auto* value = as<GValueAttribute>(id)) media = mediaForId(value->value());
    if (media) {
      media->setId(AttrId::FitMedia);
      state->insert(media);
    } else {
      replaceValue(state, AttrId::FitToMedia, 0);
    }
    delete id;
  }
  int16_t sheet = 0;
  if (readValue(state, AttrId::Booklet, sheet) && (sheet == 1 || sheet == 2)) {
    MPersistentObject* id = state->removeById(AttrId::BookletMediaId);
    GMedia* media = nullptr;
    if (auto* value = as<GValueAttribute>(id)) media = mediaForId(value->value());
    if (media && prefersClipPaths_ == 0) {
      media->setId(AttrId::BookletMedia);
      state->insert(media);
    } else {
      delete media;
      replaceValue(state, AttrId::Booklet, 0);
    }
    delete id;
  }

  for (uint32_t id : kCopiedOptions) copyMember(options, id, *state);
  if (lookUp(options, AttrId::Chromafit))
    for (uint32_t id : kChromafitOptions) copyMember(options, id, *state);
  for (uint32_t id : kLateOptions) copyMember(options, id, *state);
  if (postScript_)
    for (uint32_t id : kPostScriptOptions) copyMember(options, id, *state);

  state->insert(watermarkSettings());
  state->insert(new GValueAttribute(static_cast<int16_t>(psPassThroughMode_), AttrId::PsPassThroughMode));
  return state;
}

GDocumentStart* GDevice::makeDocumentStart(const RWWString& documentName, const RWWString& outputName) {
  scaledPage_ = 0;
  pageCount_ = 0;
  GState* state = makeDocumentState();
  return new GDocumentStart(documentName, outputName, this, state, 0);
}

GDocumentEnd* GDevice::makeDocumentEnd() { return new GDocumentEnd(0); }

GPageStart* GDevice::makePageStart() {
  ++pageCount_;
  GAttributeComposite* options = settingsGroup(AttrId::JobOptions);
  GAttributeComposite* document = settingsGroup(AttrId::DocumentSettings);
  GState* state = stateCopyOf(settingsGroup(AttrId::PageSettings));
  copyMember(document, AttrId::OrientationAngle, *state);
  copyMember(document, AttrId::Paper, *state);
  copyMember(document, AttrId::ResolutionGroup, *state);

  if (pageCount_ > 1 && valueIs(options, AttrId::LaterPapersDiffer, 1) && firstPageMediaForAll_ == 0) {
    if (MPersistentObject* later = lookUp(options, AttrId::LaterPaperSource)) {
      MPersistentObject* copy = later->deepCopy();
      copy->setId(AttrId::PaperSource);
      state->insert(copy);
    }
  } else {
    copyMember(options, AttrId::PaperSource, *state);
  }
  applyDeviceState(*state, options, true);

  scaled_ = 0;
  if (pageScaling_) {
    if (!cachedDocumentState_) cachedDocumentState_.reset(makeDocumentState());
    GScaleFactors factors;
    if (GPeripheralComposite* root = configuration()) {
      int32_t mode = 0;
      root->scaleFactors(factors, cachedDocumentState_.get(), state, static_cast<int32_t>(pageCount_), mode);
    }
    scaleX_ = factors.x();
    scaleY_ = factors.y();
    scaledPage_ = pageCount_;
    const bool unit = scaleX_ == 1.0f && scaleY_ == 1.0f;
    const bool zero = scaleX_ == 0.0f && scaleY_ == 0.0f;
    scaled_ = unit || zero ? 0 : 1;
  }
  return new GPageStart(state, 0);
}

GPageEnd* GDevice::makePageEnd() {
  auto* state = new GState;
  copyMember(settingsGroup(AttrId::PageSettings), AttrId::PageCopies, *state);
  if (pageScaling_) scaledPage_ = 0;
  processingFlags_ = kNoPage;
  return new GPageEnd(state, 0);
}

GStatus GDevice::startDocument() {
  if (!documentPending_) {
    state_ = kErrorState;
    return kNoDocumentPending;
  }
  if (configurationUsed()) {
    if (GPeripheralComposite* root = configuration()) root->reset();
  }
  // Held across send, so that a start the gate refuses is freed here:
  // nobody else has it.
  const GCommandPtr start(makeDocumentStart(documentName_, outputName_));
  const GStatus status = send(start.get());
  setConfigurationUsed(1);
  if (status != 0) state_ = kErrorState;
  documentStarted_ = 1;
  documentPending_ = 0;
  return status;
}

GStatus GDevice::ensurePageStarted() {
  if (!pagePending_) return 0;
  // Held as the document start is: a refused page start is freed here.
  const GCommandPtr start(makePageStart());
  const GStatus status = send(start.get());
  pagePending_ = 0;
  pageStarted_ = 1;
  return status;
}

GStatus GDevice::sendDrawingReporting(GCommand* command, bool& sent) {
  sent = false;
  GStatus status = checkDrawing(command);
  if (status == 0) status = ensurePageStarted();
  if (status != 0) {
    dispose(command);
    return status;
  }
  // Held across send, so that a command the gate refuses is still freed
  // here: nobody else has it.
  const GCommandPtr hold(command);
  sent = true;
  return send(command);
}

GStatus GDevice::sendDrawing(GCommand* command) {
  bool sent = false;
  return sendDrawingReporting(command, sent);
}

GStatus GDevice::send(GCommand* command) {
  if (const GStatus refused = gate_->poll(command)) return refused;
  GPeripheralComposite* root = configuration();
  if (!root) {
    // Without a configuration nothing can take the command.
    dispose(command);
    return 0;
  }
  const GCommandPtr result = root->process(GCommandPtr(command));
  if (!result) return 0;
  // A selection that holds no error (a composite may answer an empty one)
  // is no failure.
  bool failed = false;
  GStatus status = 0;
  if (MPersistentComposite* errors = result->selectByClassId(ClassId::GErrorCommand)) {
    {
      const std::unique_ptr<GChildIterator> it(errors->createIterator());
      while (!failed && it && it->advance())
        if (const auto* error = dynamic_cast<const GErrorCommand*>(it->current())) {
          status = error->errorCode();
          failed = true;
        }
    }
    delete errors;
  }
  if (failed) {
    root->process(GCommandPtr(new GJobAbort(0)));
    state_ = kErrorState;
  }
  return status;
}

int16_t GDevice::setCopies(int16_t requested, int16_t& applied) {
  GAttributeComposite* options = settingsGroup(AttrId::JobOptions);
  int16_t previous = 0;
  readValue(options, AttrId::JobCopies, previous);
  int16_t copies = requested < 0 ? 1 : requested;
  GPeripheralComposite* root = configuration();
  if (const auto* limit = dynamic_cast<const GRangeAttribute*>(lookUp(root ? root->config() : nullptr, AttrId::CopiesRange)))
    copies = std::min(copies, limit->maximum());
  applied = copies;
  replaceValue(options, AttrId::JobCopies, copies);
  // The device\'s distribution only moves values between groups: it answers 0.
  (void)distributeCopies(options, settingsGroup(AttrId::DocumentSettings), settingsGroup(AttrId::PageSettings), settingsGroup(AttrId::PrinterOptions));
  return previous;
}

GStatus GDevice::distributeCopies(GAttributeComposite* jobOptions, GAttributeComposite* document,
                                  GAttributeComposite* page, GAttributeComposite* printerOptions) {
  int16_t copies = 1;
  if (!readValue(jobOptions, AttrId::JobCopies, copies)) return 0;
  replaceValue(document, AttrId::JobCopies, copies);
  const bool inDocument = valueIs(printerOptions, AttrId::CollationOption, 1) &&
                          (valueIs(jobOptions, AttrId::Collate, 1) || valueIs(printerOptions, AttrId::PrinterCollates, 1));
  replaceValue(document, AttrId::Copies, inDocument ? copies : 1);
  replaceValue(page, AttrId::PageCopies, inDocument ? 1 : copies);
  return 0;
}

void GDevice::endDocument() {
  if (fontDatabase_) fontDatabase_->releaseAll();
}

GStatus GDevice::ensurePageScale() {
  if (!pageScaling_ || (scaledPage_ != 0 && scaledPage_ == pageCount_)) return 0;
  return sendDrawing(new GNoCommand(0));
}

GAttributeComposite* GDevice::watermarkSettings() {
  if (GAttributeComposite* found = findWatermark()) {
    found->setId(AttrId::WatermarkGroup);
    return found;
  }
  auto* none = new GAttributeComposite(AttrId::WatermarkGroup);
  none->insert(new GValueAttribute(2, AttrId::WatermarkChoice));
  return none;
}

GAttributeComposite* GDevice::findWatermark() {
  const MPersistentObject* chosen = lookUp(settingsGroup(AttrId::JobOptions), AttrId::WatermarkGroup);
  if (!dynamic_cast<const GAttributeComposite*>(chosen)) return nullptr;
  int16_t choice = 0;
  if (!readValue(chosen, AttrId::WatermarkChoice, choice) || choice == 2) return nullptr;
  if (!valueIs(chosen, AttrId::WatermarkOption, 0)) return nullptr;
  const auto* name = dynamic_cast<const GStringAttribute*>(lookUp(chosen, AttrId::WatermarkName));
  if (!name || name->value().length() == 0) return nullptr;

  auto* list = as<GAttributeComposite>(lookUp(settingsGroup(AttrId::WatermarkDefinitions), AttrId::WatermarkList));
  if (!list) return nullptr;
  const std::unique_ptr<GChildIterator> it(list->createIterator());
  while (it && it->advance()) {
    MPersistentObject* entry = it->current();
    if (!dynamic_cast<GAttributeComposite*>(entry)) continue;
    const auto* entryName = dynamic_cast<const GStringAttribute*>(lookUp(entry, AttrId::WatermarkEntryName));
    if (!entryName || entryName->value() != name->value()) continue;
    auto* copy = dynamic_cast<GAttributeComposite*>(entry->deepCopy());
    if (!copy) return nullptr;
    copyMember(chosen, AttrId::WatermarkChoice, *copy);
    copyMember(chosen, AttrId::WatermarkOption, *copy);
    return copy;
  }
  return nullptr;
}

// ---- settings ---------------------------------------------------------------------

GStatus GDevice::resetSettings() {
  GAttributeComposite* settings = jobSettings();
  if (settings) {
    for (uint32_t id : {AttrId::DocumentSettings, AttrId::PageSettings, AttrId::JobOptions}) delete settings->removeById(id);
    if (GAttributeComposite* fresh = defaultSettings()) {
      settings->merge(fresh);
      delete fresh;
    }
  }
  return applySettings();
}

GStatus GDevice::applySettings() {
  return distributeCopies(settingsGroup(AttrId::JobOptions), settingsGroup(AttrId::DocumentSettings), settingsGroup(AttrId::PageSettings),
                          settingsGroup(AttrId::PrinterOptions));
}

// ---- the driver server's calls -----------------------------------------------------

void GDevice::reset(GPrinterDescription* description) {
  GDriverInstance::reset(description);
  flagged_ = 0;
  firstPageMediaForAll_ = 0;
  if (configurationUsed() == 1) {
    if (GPeripheralComposite* root = configuration()) root->reset();
    setConfigurationUsed(0);
  }
  beginJob();
  documentPending_ = 0;
  documentStarted_ = 0;
  documentName_ = RWWString();
  outputName_ = RWWString();
  newFontDatabase();
  pageScaling_ = 0;
  colorMode_ = 0;
  scaled_ = 0;
  cachedDocumentState_.reset();
}

void GDevice::releaseResources() {
  state_ = 0;
  psPassThroughMode_ = 0;
  reserved_ = 0;
  discardDrawingState();
  for (GCountedPtr& object : currentObjects_) object = nullptr;
  if (fontMetrics_) fontMetrics_->releaseCachedData();
  fontDatabase_.reset();
  cachedDocumentState_.reset();
}
