#include "device/device.h"

#include <algorithm>

#include "core/attrib.h"
#include "core/osfactry.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/custsize.h"
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

using namespace DeviceId;
using namespace SettingRead;

namespace {

constexpr GStatus kNoDocumentPending = 403;
constexpr uint32_t kErrorState = 3;
constexpr uint32_t kNoPage = 0x8000;
constexpr int16_t kFirstCustomId = 16384;
constexpr int16_t kLastCustomId = 17383;
// The job options and capability sets beginJob reads.
constexpr uint32_t kOption293 = 293;
constexpr uint32_t kOption585 = 585;
constexpr uint32_t kPostScript570 = 570;
constexpr uint32_t kPostScript571 = 571;
constexpr uint32_t kRenderingMode = 255;
constexpr uint32_t kOption296 = 296;
constexpr uint32_t kSetting279 = 279;
constexpr uint32_t kSetting279Group = 329;
constexpr uint32_t kSetting266 = 266;
constexpr uint32_t kCaps113 = 113;
constexpr uint32_t kCaps120 = 120;
constexpr uint32_t kCaps135 = 135;
constexpr uint32_t kCaps136 = 136;
constexpr uint32_t kCaps565 = 565;
// What makeDocumentState copies or resolves.
constexpr uint32_t kFitToSize = 270;
constexpr uint32_t kFitMediaId = 272;
constexpr uint32_t kFitMedia = 273;
constexpr uint32_t kSheetMediaId = 280;
constexpr uint32_t kSheetMedia = 281;
constexpr uint32_t kJobCopies[] = {293, 296, 297};
constexpr uint32_t kOption295 = 295;
constexpr uint32_t kWith295[] = {304, 295, 208, 227};
constexpr uint32_t kLateOptions[] = {910, 911};
constexpr uint32_t kPostScriptOptions[] = {582, 584, 583, 570, 571, 605, 608};

bool valueIs(const MPersistentObject* within, uint32_t id, int16_t wanted) {
  int16_t value = 0;
  return readValue(within, id, value) && value == wanted;
}

// Puts a value attribute in place of whatever the composite held under the
// id.
void putValue(MPersistentObject* into, uint32_t id, int16_t value) {
  if (!into) return;
  delete into->removeById(id);
  into->insert(new GValueAttribute(value, id));
}

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

// The entry with the same name, media id, resolutions, code and texts, and
// the geometry given.
GMedia* rebuilt(const GMedia& media, const GPoint& size, const GPoint& extent, const GPoint& origin,
                int32_t orientation, uint32_t id) {
  return new GMedia(media.name().data(), size, extent, origin, orientation, media.mediaId(), media.xResolution(),
                    media.yResolution(), id, media.code(), media.text().data(), media.mediaTypeName().data());
}

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
      jobValue600_(0),
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
      option293_(0),
      option585_(0),
      renderingMode_(1),
      postScriptOption570_(0xFFFF),
      postScriptOption571_(0),
      pathDepth_(0),
      capabilityFlag113_(0),
      capabilityFlag120_(0),
      settingFlag279_(0),
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
      setting296_(0),
      generatorClass_(ClassId::GPDLGenerator),
      pageWord_(kNoPage),
      capabilityFlag565_(0),
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
  GAttributeComposite* options = settingsGroup(kJobOptions);
  GConfiguration* config = printerConfig();
  const MPersistentObject* sets = lookUp(config, kCapabilitySets);
  const uint32_t bits = flags();
  const auto bit = [bits](int n) { return (bits >> n) & 1u; };

  state_ = 0;
  jobValue600_ = 0;
  reserved_ = 0;
  documentPending_ = 0;
  documentStarted_ = 0;
  *currentColor_ = *defaultColor_;
  cap_ = defaultCap_;
  join_ = defaultJoin_;
  miterLimit_ = defaultMiterLimit_;

  option293_ = valueIs(options, kOption293, 1) ? 1 : 0;
  option585_ = valueIs(options, kOption585, 1) ? 1 : 0;

  GPeripheral* generator = pdlGenerator();
  generatorClass_ = generator ? generator->isA() : ClassId::GPDLGenerator;
  postScript_ = generator && generator->isKindOf(ClassId::GPostScript) ? 1 : 0;
  const bool cheetah = generator && generator->isKindOf(ClassId::GCheetah);
  pageWord_ = kNoPage;
  const GCapabilities* caps565 = capabilitySet(sets, kCaps565);
  capabilityFlag565_ = caps565 && !caps565->contains(0) ? 1 : 0;

  postScriptOption570_ = 0xFFFF;
  postScriptOption571_ = 0;
  if (postScript_) {
    int16_t value = 0;
    if (readValue(options, kPostScript570, value)) {
      option293_ = 0;
      postScriptOption570_ = 2;
      if (value == 0) {
        postScriptOption570_ = 0;
      } else if (value == 1) {
        postScriptOption570_ = 1;
        option293_ = 1;
      } else if (value == 2) {
        postScriptOption570_ = 2;
      }
    }
    if (readValue(options, kPostScript571, value) && value >= 0 && value <= 2)
      postScriptOption571_ = static_cast<uint16_t>(value);
  }

  int16_t mode = 0;
  readValue(options, kRenderingMode, mode);
  if (mode == 3 || mode == 2 || mode == 1)
    renderingMode_ = static_cast<uint16_t>(mode);
  else
    renderingMode_ = bit(21) ? 3 : bit(22) ? 2 : 1;
  const GCapabilities* caps136 = capabilitySet(sets, kCaps136);
  if (renderingMode_ != 3 && bit(26) && caps136 && !caps136->contains(1)) renderingMode_ = 3;
  if (renderingMode_ != 3 && bit(27) && caps136 && !caps136->contains(2)) renderingMode_ = 3;

  if (const GCapabilities* caps135 = capabilitySet(sets, kCaps135)) {
    const bool noScaling = renderingMode_ == 1 ? caps135->contains(1) : caps135->contains(4);
    GPeripheralComposite* root = configuration();
    pageScaling_ = noScaling ? 0 : (root && root->isReady() ? 1 : 0);
  }

  int16_t value296 = 0;
  if (readValue(options, kOption296, value296)) setting296_ = value296 == 0 ? 1 : value296 == 3 ? 2 : 0;

  capabilityFlag113_ = 0;
  capabilityFlag120_ = 0;
  if (sets) {
    capabilityFlag113_ = contains(capabilitySet(sets, kCaps113), 1) ? 1 : 0;
    if (contains(capabilitySet(sets, kCaps120), 9)) {
      if (renderingModeTest(0) == 0 && !(bit(23) && capabilityFlag113_ == 0))
        capabilityFlag120_ = 1;
      else
        capabilityFlag113_ = 0;
    } else {
      capabilityFlag113_ = 0;
    }
  }
  if (cheetah && bit(3)) {
    capabilityFlag113_ = 0;
    capabilityFlag120_ = 0;
  }

  settingFlag279_ = 0;
  if (postScript_ && bit(17)) {
    int16_t value = 0;
    const bool set279 = readValue(options, kSetting279, value) && value != 0;
    int16_t value266 = 0;
    const bool set266 = readValue(lookUp(jobSettings(), kSetting279Group), kSetting266, value266) && value266 != 0;
    settingFlag279_ = set279 || set266 ? 1 : 0;
  }

  cachedDocumentState_.reset();
  discardDrawingState();
  savedStateWord_ = graphicStateWord_;
  // A mark left by a pass-through of the last job names no command now.
  gate_->unmark();
  return 0;
}

void GDevice::applyDeviceState(GState& state, GAttributeComposite* jobOptions, bool pageState) {
  MPersistentObject* selection = state.removeById(kMediaSelection);
  if (!selection) return;
  GMedia* media = nullptr;
  if (auto* value = as<GValueAttribute>(selection)) media = mediaForId(value->value());
  if (!media) {
    state.insert(selection);
    return;
  }
  media->setId(kMedia);
  const uint32_t nameId = pageCount_ < 2 || firstPageMediaForAll_ == 1 ? kFirstMediaTypeName : kLaterMediaTypeName;
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
  GAttributeComposite* options = settingsGroup(kJobOptions);
  GAttributeComposite* document = settingsGroup(kDocumentGroup);
  // The device's distribution only moves values between groups: it answers 0.
  (void)distributeCopies(options, document, settingsGroup(kPageGroup), settingsGroup(kPrinterOptions));

  GState* state = stateCopyOf(document);
  copyMember(jobSettings(), kExtendPrintArea, *state);
  applyDeviceState(*state, options, false);

  if (valueIs(state, kFitToSize, 1)) {
    MPersistentObject* id = state->removeById(kFitMediaId);
    GMedia* media = nullptr;
    if (auto* value = as<GValueAttribute>(id)) media = mediaForId(value->value());
    if (media) {
      media->setId(kFitMedia);
      state->insert(media);
    } else {
      putValue(state, kFitToSize, 0);
    }
    delete id;
  }
  int16_t sheet = 0;
  if (readValue(state, kSetting279, sheet) && (sheet == 1 || sheet == 2)) {
    MPersistentObject* id = state->removeById(kSheetMediaId);
    GMedia* media = nullptr;
    if (auto* value = as<GValueAttribute>(id)) media = mediaForId(value->value());
    if (media && settingFlag279_ == 0) {
      media->setId(kSheetMedia);
      state->insert(media);
    } else {
      delete media;
      putValue(state, kSetting279, 0);
    }
    delete id;
  }

  for (uint32_t id : kJobCopies) copyMember(options, id, *state);
  if (lookUp(options, kOption295))
    for (uint32_t id : kWith295) copyMember(options, id, *state);
  for (uint32_t id : kLateOptions) copyMember(options, id, *state);
  if (postScript_)
    for (uint32_t id : kPostScriptOptions) copyMember(options, id, *state);

  state->insert(watermarkSettings());
  state->insert(new GValueAttribute(static_cast<int16_t>(jobValue600_), kJobValue600));
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
  GAttributeComposite* options = settingsGroup(kJobOptions);
  GAttributeComposite* document = settingsGroup(kDocumentGroup);
  GState* state = stateCopyOf(settingsGroup(kPageGroup));
  copyMember(document, kOrientation, *state);
  copyMember(document, kMediaSelection, *state);
  copyMember(document, kResolutionGroup, *state);

  if (pageCount_ > 1 && valueIs(options, kLaterPapersDiffer, 1) && firstPageMediaForAll_ == 0) {
    if (MPersistentObject* later = lookUp(options, kLaterPaperChoice)) {
      MPersistentObject* copy = later->deepCopy();
      copy->setId(kPaperChoice);
      state->insert(copy);
    }
  } else {
    copyMember(options, kPaperChoice, *state);
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
  copyMember(settingsGroup(kPageGroup), kPageCopies, *state);
  if (pageScaling_) scaledPage_ = 0;
  pageWord_ = kNoPage;
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
  GAttributeComposite* options = settingsGroup(kJobOptions);
  int16_t previous = 0;
  readValue(options, kCopies, previous);
  int16_t copies = requested < 0 ? 1 : requested;
  GPeripheralComposite* root = configuration();
  if (const auto* limit = dynamic_cast<const GRangeAttribute*>(lookUp(root ? root->config() : nullptr, kCopiesLimit)))
    copies = std::min(copies, limit->maximum());
  applied = copies;
  putValue(options, kCopies, copies);
  // The device's distribution only moves values between groups: it answers 0.
  (void)distributeCopies(options, settingsGroup(kDocumentGroup), settingsGroup(kPageGroup),
                         settingsGroup(kPrinterOptions));
  return previous;
}

GStatus GDevice::distributeCopies(GAttributeComposite* jobOptions, GAttributeComposite* document,
                                  GAttributeComposite* page, GAttributeComposite* printerOptions) {
  int16_t copies = 1;
  if (!readValue(jobOptions, kCopies, copies)) return 0;
  putValue(document, kCopies, copies);
  const bool inDocument = valueIs(printerOptions, kCollate, 1) &&
                          (valueIs(jobOptions, kCopiesInDocument, 1) || valueIs(printerOptions, kPrinterCollates, 1));
  putValue(document, kDocumentCopies, inDocument ? copies : 1);
  putValue(page, kPageCopies, inDocument ? 1 : copies);
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
    found->setId(kWatermark);
    return found;
  }
  auto* none = new GAttributeComposite(kWatermark);
  none->insert(new GValueAttribute(2, kWatermarkChoice));
  return none;
}

GAttributeComposite* GDevice::findWatermark() {
  const MPersistentObject* chosen = lookUp(settingsGroup(kJobOptions), kWatermark);
  if (!dynamic_cast<const GAttributeComposite*>(chosen)) return nullptr;
  int16_t choice = 0;
  if (!readValue(chosen, kWatermarkChoice, choice) || choice == 2) return nullptr;
  if (!valueIs(chosen, kWatermarkOption, 0)) return nullptr;
  const auto* name = dynamic_cast<const GStringAttribute*>(lookUp(chosen, kWatermarkName));
  if (!name || name->value().length() == 0) return nullptr;

  auto* list = as<GAttributeComposite>(lookUp(settingsGroup(kWatermarkDefinitions), kWatermarkList));
  if (!list) return nullptr;
  const std::unique_ptr<GChildIterator> it(list->createIterator());
  while (it && it->advance()) {
    MPersistentObject* entry = it->current();
    if (!dynamic_cast<GAttributeComposite*>(entry)) continue;
    const auto* entryName = dynamic_cast<const GStringAttribute*>(lookUp(entry, kWatermarkEntryName));
    if (!entryName || entryName->value() != name->value()) continue;
    auto* copy = dynamic_cast<GAttributeComposite*>(entry->deepCopy());
    if (!copy) return nullptr;
    copyMember(chosen, kWatermarkChoice, *copy);
    copyMember(chosen, kWatermarkOption, *copy);
    return copy;
  }
  return nullptr;
}

// ---- media ------------------------------------------------------------------------

GMedia* GDevice::customMedia(int16_t mediaId, bool forJob, int16_t xResolution, int16_t yResolution,
                             int32_t orientation) {
  auto* sizes = as<GAttributeComposite>(lookUp(jobSettings(), kCustomSizes));
  if (!sizes) return nullptr;
  const std::unique_ptr<GChildIterator> it(sizes->createIterator());
  while (it && it->advance()) {
    const auto* size = dynamic_cast<const GCustomMediaSize*>(it->current());
    if (!size || size->mediaId() != mediaId) continue;
    std::unique_ptr<GMedia> media = forJob ? makeMediaForJob(*size, jobSettings(), printerConfig())
                                           : makeMedia(*size, printerConfig(), xResolution, yResolution, orientation);
    if (media && forJob) media->setMediaId(kFirstCustomId);
    return media.release();
  }
  return nullptr;
}

GMedia* GDevice::mediaForId(int16_t mediaId) {
  if (mediaId >= kFirstCustomId && mediaId <= kLastCustomId) return customMedia(mediaId, true, 0, 0, 0);
  GAttributeComposite* settings = jobSettings();
  int16_t orientation = 0;
  int16_t x = 0;
  int16_t y = 0;
  if (!readValue(settings, kOrientation, orientation) || !readValue(settings, kResolution, x) ||
      !readValue(settings, kVerticalResolution, y))
    return nullptr;
  return mediaForIdAt(mediaId, x, y, orientation);
}

GMedia* GDevice::mediaForIdAt(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t orientation) {
  if (mediaId >= kFirstCustomId && mediaId <= kLastCustomId)
    return customMedia(mediaId, false, xResolution, yResolution, orientation);
  GMediaPool* pool = mediaPool();
  GMedia* entry = pool ? pool->findByMediaId(mediaId, orientation, xResolution, yResolution) : nullptr;
  if (!entry) return nullptr;
  auto* media = new GMedia(*entry);
  if (valueIs(jobSettings(), kExtendPrintArea, 1)) extendPrintArea(media);
  return media;
}

void GDevice::extendPrintArea(GMedia*& media) {
  if (!media) return;
  GConfiguration* config = printerConfig();
  int16_t marginX = 0;
  int16_t marginY = 0;
  if (!readValue(config, kMinimalMarginX, marginX) || !readValue(config, kMinimalMarginY, marginY)) return;
  const int32_t orientation = media->orientation();
  const bool upright = orientation == 0 || orientation == 180;
  const int32_t first = upright ? marginX : marginY;
  const int32_t second = upright ? marginY : marginX;
  const int32_t x = first * media->xResolution() / 10000;
  const int32_t y = second * media->yResolution() / 10000;
  const GPoint& size = media->size();
  // Margins that meet leave an empty area, not a negative one.
  const GPoint extent(static_cast<int16_t>(std::max(0, size.x() - 2 * x)),
                      static_cast<int16_t>(std::max(0, size.y() - 2 * y)));
  GMedia* extended = rebuilt(*media, size, extent, GPoint(static_cast<int16_t>(x), static_cast<int16_t>(y)),
                             orientation, kAttrMediaEntry);
  delete media;
  media = extended;
}

void GDevice::setMediaOrientation(GMedia*& media, int32_t angle) {
  if (!media) return;
  const int32_t current = ((media->orientation() % 360) + 360) % 360;
  if (current == angle) return;
  if (media->mediaId() >= 0 && media->mediaId() <= 0x3FFF) {
    GMedia* turned = mediaForIdAt(media->mediaId(), media->xResolution(), media->yResolution(), angle);
    if (turned) {
      turned->setId(media->id());
      delete media;
      media = turned;
    }
    return;
  }
  const auto swap = [](const GPoint& p) { return GPoint(p.y(), p.x()); };
  GMedia* turned = rebuilt(*media, swap(media->size()), swap(media->printableExtent()),
                           swap(media->printableOrigin()), angle, media->id());
  delete media;
  media = turned;
}

// ---- settings ---------------------------------------------------------------------

GStatus GDevice::resetSettings() {
  GAttributeComposite* settings = jobSettings();
  if (settings) {
    for (uint32_t id : {kDocumentGroup, kPageGroup, kJobOptions}) delete settings->removeById(id);
    if (GAttributeComposite* fresh = defaultSettings()) {
      settings->merge(fresh);
      delete fresh;
    }
  }
  return applySettings();
}

GStatus GDevice::applySettings() {
  return distributeCopies(settingsGroup(kJobOptions), settingsGroup(kDocumentGroup), settingsGroup(kPageGroup),
                          settingsGroup(kPrinterOptions));
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
  setting296_ = 0;
  scaled_ = 0;
  cachedDocumentState_.reset();
}

void GDevice::releaseResources() {
  state_ = 0;
  jobValue600_ = 0;
  reserved_ = 0;
  discardDrawingState();
  for (GCountedPtr& object : currentObjects_) object = nullptr;
  if (fontMetrics_) fontMetrics_->releaseCachedData();
  fontDatabase_.reset();
  cachedDocumentState_.reset();
}
