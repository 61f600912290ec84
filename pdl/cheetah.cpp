#include "pdl/cheetah.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/enumattr.h"
#include "core/outport.h"
#include "core/passoc.h"
#include "core/perclass.h"
#include "core/state.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/media.h"
#include "device/resmap.h"
#include "device/setread.h"
#include "graphics/dither.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "pdl/xlops.h"
#include "rw/kmsys.h"

G_DEFINE_PERSISTENT(GCheetah, GPDLGenerator)

namespace {

using SettingRead::readValue;

// The session: inches, and errors reported on the back channel and on an
// error page.
constexpr uint8_t kMeasureInch = 0;
constexpr uint8_t kErrorReportBackChannelAndPage = 3;
// The data source: the default one, low byte first.
constexpr uint8_t kSourceDefault = 0;
constexpr uint8_t kDataOrgLowByteFirst = 1;
constexpr int16_t kDefaultResolution = 600;
constexpr int16_t kDefaultCompression = 3;
constexpr uint8_t kDitherDepth = 2;
constexpr uint8_t kDitherDataType = 0;
// The stream header's protocol class and revision.
constexpr int32_t kProtocolClass = 2;
constexpr int32_t kProtocolRevision = 0;
constexpr char kNotice[] = " Printer driver output. ";
// The manual-duplex marker: a Comment of this many 'H's.
constexpr uint8_t kMarkerLength = 120;

XLBytes bytesOf(const RWCString& text) {
  return XLBytes(reinterpret_cast<const uint8_t*>(text.data()), text.length());
}

}  // namespace

// ---- construction ----------------------------------------------------------------------

GCheetah::GCheetah() : GPDLGenerator() {
  clearFields();
  makeStream();
}

GCheetah::GCheetah(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                   uint32_t addOnListId, int32_t kind, int32_t mode)
    : GPDLGenerator(name, defaults, config, id, addOnListId, kind, mode) {
  clearFields();
  makeStream();
  renewFontTables();
}

GCheetah::GCheetah(const GCheetah& other) : GPDLGenerator(other), flusher_(other.flusher_) { copyFrom(other); }

GCheetah& GCheetah::operator=(const GCheetah& other) {
  if (this == &other) return *this;
  GPDLGenerator::operator=(other);
  // The flusher takes the stored fields; the port it writes to is this
  // generator's own.
  flusher_ = other.flusher_;
  flusher_.setPort(nullptr);
  copyFrom(other);
  return *this;
}

void GCheetah::copyFrom(const GCheetah& other) {
  clearFields();
  persistedFlag_ = other.persistedFlag_;
  colorMode_ = other.colorMode_;
  scalePatterns_ = other.scalePatterns_;
  twoBitsPerPixel_ = other.twoBitsPerPixel_;
  compressionMode_ = other.compressionMode_;
  ditherMatrix_ = other.ditherMatrix_;
  currentPoint_ = other.currentPoint_;
  xResolution_ = other.xResolution_;
  yResolution_ = other.yResolution_;
  makeStream();
  renewFontTables();
}

GCheetah::~GCheetah() { flusher_.setPort(nullptr); }

void GCheetah::makeStream() { stream_ = xlCreateStream(kStreamSize, &flusher_, 0); }

void GCheetah::clearFields() {
  transparentMode_ = 0;
  // Before the first pen or brush the printer's default, solid black, is
  // the source of both: a colour paint.
  penKind_ = kColorPaintKind;
  brushKind_ = kColorPaintKind;
  currentPoint_ = GPoint();
  persistedFlag_ = 1;
  currentMedia_ = GCountedRef();
  xResolution_ = 0;
  yResolution_ = 0;
  colorMode_ = 0;
  scalePatterns_ = 1;
  twoBitsPerPixel_ = 0;
  compressionMode_ = kDefaultCompression;
  ditherMatrix_ = GCountedRef();
  lastPaperSource_ = -1;
  lastMediaTypeName_ = RWCString();
}

RWBoolean GCheetah::isKindOf(RWClassID id) const { return id == classIsA() || GPDLGenerator::isKindOf(id); }

RWBoolean GCheetah::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !GPDLGenerator::matches(other)) return false;
  const auto* that = static_cast<const GCheetah*>(other);
  return persistedFlag_ == that->persistedFlag_ && colorMode_ == that->colorMode_ &&
         currentPoint_ == that->currentPoint_;
}

GStatus GCheetah::accept(GPeripheralHandlers& visitor) { return visitor.onCheetah(this); }

void GCheetah::reset() {
  flusher_.setPort(nullptr);
  GPDLGenerator::reset();
}

GMedia* GCheetah::currentMedia() const { return dynamic_cast<GMedia*>(currentMedia_.get()); }

GDitherMatrix* GCheetah::ditherMatrix() const { return dynamic_cast<GDitherMatrix*>(ditherMatrix_.get()); }

// ---- generator operations ------------------------------------------------------------------

// The generator writes no text yet: it downloads no fonts, keeps no text
// state, and its font tables are the plain ones.
void GCheetah::removeFont(const RWCString&) {}

GDownloadedFontList* GCheetah::makeDownloadedFontList() { return new GDownloadedFontList; }

GCodeRemapTable* GCheetah::makeCodeRemapTable() { return new GCodeRemapTable; }

void GCheetah::resetTextState() {}

void GCheetah::forgetDownloadedFonts() {}

bool GCheetah::hasCommandCharacter(const RWCString& text) const { return text.first('!') != RW_NPOS; }

// ---- writing ---------------------------------------------------------------------------

bool GCheetah::beginWrite() {
  // The port is the stage's: it may have been replaced or released since
  // the last handler.
  flusher_.setPort(port());
  return stream_ && port() && inDocument_;
}

GStatus GCheetah::takeError() { return flusher_.takeError(stream_.get()); }

void GCheetah::flushStream() {
  if (stream_) xlFlushStream(*stream_);
}

void GCheetah::closeSession() {
  forgetDownloadedFonts();
  if (!beginWrite()) return;
  xlCloseDataSource(*stream_);
  xlEndSession(*stream_);
  flushStream();
}

// ---- the job ---------------------------------------------------------------------------

GStatus GCheetah::onDocumentStart(GDocumentStart* command) {
  if (!command) return 0;
  flusher_.setPort(nullptr);
  const GStatus started = GPDLGenerator::onDocumentStart(command);
  if (started != 0) return started;
  // Writing needs a stream: without one the job cannot be printed.
  if (!stream_) {
    inDocument_ = 0;
    return kStatusNoPort;
  }
  flusher_.startJob();
  beginWrite();
  // Whatever a handler outside a job left in the buffer is not this job's.
  xlResetStream(*stream_);

  uint32_t first = 0;
  uint32_t second = 0;
  getBuildVersion(first, second);
  char version[64];
  const int length = std::snprintf(version, sizeof version, "Version %u.%u.%u.%u", first >> 16, first & 0xFFFF,
                                   second >> 16, second & 0xFFFF);
  std::string comment = kNotice;
  comment.append(version, length > 0 ? static_cast<size_t>(length) : 0);
  xlWriteStreamHeader(*stream_, kProtocolClass, kProtocolRevision,
                      XLBytes(reinterpret_cast<const uint8_t*>(comment.data()), comment.size()));

  GAttributeComposite* document = attributeGroup(AttrId::DocumentGroup);
  readDocumentSettings(document);

  xlBeginSession(*stream_, {static_cast<uint16_t>(xResolution_), static_cast<uint16_t>(yResolution_)}, kMeasureInch,
                 kErrorReportBackChannelAndPage);
  xlOpenDataSource(*stream_, kSourceDefault, kDataOrgLowByteFirst);
  lastPaperSource_ = -1;
  lastMediaTypeName_ = RWCString();
  int16_t vendorByte = 0;
  if (readValue(document, AttrId::VendorByte, vendorByte))
    xlVendorUnique2002(*stream_, static_cast<uint8_t>(vendorByte & 0xFF));

  if (document) document->clearChanged();
  enterDocument();
  return takeError();
}

void GCheetah::readDocumentSettings(GAttributeComposite* document) {
  int16_t value = 0;
  if (readValue(document, AttrId::PrintInGray, value)) colorMode_ = value == 0 ? 1 : 0;

  // Both resolutions from the resolution group, or 600 x 600. A resolution
  // that is not positive cannot be a session's unit.
  const MPersistentObject* resolutions = document ? document->findById(AttrId::ResolutionGroup) : nullptr;
  int16_t x = 0;
  int16_t y = 0;
  if (resolutions && readValue(resolutions, AttrId::Resolution, x) &&
      readValue(resolutions, AttrId::VerticalResolution, y) && x > 0 && y > 0) {
    xResolution_ = x;
    yResolution_ = y;
  } else {
    xResolution_ = kDefaultResolution;
    yResolution_ = kDefaultResolution;
  }

  if (readValue(document, AttrId::PsPatternScale, value)) scalePatterns_ = value == 1 ? 1 : 0;
  int16_t bitsPerPixel = 0;
  const bool haveBits = readValue(document, AttrId::BitsPerPixel, bitsPerPixel);
  if (haveBits) twoBitsPerPixel_ = bitsPerPixel == 2 ? 1 : 0;
  if (readValue(document, AttrId::Compression, value)) compressionMode_ = value;

  int16_t selector2 = 0;
  int16_t selector3 = 0;
  readValue(document, AttrId::DitherSelector1, selector2);
  readValue(document, AttrId::DitherSelector2, selector3);
  GConfiguration* configuration = config();
  const MPersistentObject* matrices =
      configuration ? configuration->findById(AttrId::PsDitherMatrices) : nullptr;
  GDitherMatrix* matrix =
      matrices ? GDitherMatrix::findMatching(xResolution_, yResolution_, static_cast<int16_t>(bitsPerPixel & 0xFF),
                                             static_cast<int16_t>(selector2 & 0xFF), selector3, matrices)
               : nullptr;
  ditherMatrix_ = GCountedRef(matrix);
}

GStatus GCheetah::onDocumentEnd(GDocumentEnd* command) {
  // The base only leaves the document: it answers 0.
  (void)GPeripheral::onDocumentEnd(command);
  closeSession();
  resetTextState();
  flusher_.setPort(nullptr);
  GStatus status = takeError();
  // Ends an owned port's job (its answer replaces the status when it
  // fails), lets the port go and leaves the document.
  const GStatus ended = endJobPort();
  if (ended != 0) status = ended;
  return status;
}

GStatus GCheetah::onJobAbort(GJobAbort*) {
  leaveDocument();
  if (inDocument_) {
    closeSession();
    pathDepth_ = 0;
    inScanLines_ = 0;
    recordingClipPath_ = 0;
    fontNameCounter_ = 0;
    fontUseCounter_ = 0;
  }
  flusher_.setPort(nullptr);
  const GStatus status = takeError();
  // The peripheral's abort: an owned port is aborted and let go.
  const GStatus aborted = abortJobPort();
  return status != 0 ? status : aborted;
}

GStatus GCheetah::onManualDuplexFirstHalf(GManualDuplexFirstHalf*) {
  if (!beginWrite()) return takeError();
  // A Comment the printer shows nothing for, long enough for the port to
  // pass it on at once: its array count is given as a ubyte.
  xlPutByte(*stream_, 0xC8);
  xlPutByte(*stream_, 0xC0);
  xlPutByte(*stream_, kMarkerLength);
  for (uint8_t i = 0; i < kMarkerLength; ++i) xlPutByte(*stream_, 'H');
  xlPutByte(*stream_, 0xF8);
  xlPutByte(*stream_, XLAttr::CommentData);
  xlPutByte(*stream_, XLOp::Comment);
  flushStream();
  return takeError();
}

GStatus GCheetah::onPassThrough(GPassThroughCommand* command) {
  if (!command || command->targetClassId() != classIsA()) return 0;
  if (!beginWrite()) return takeError();
  flushStream();
  // Straight to the port, whatever became of earlier writes: the port's
  // answer is the status.
  GStatus status = 0;
  if (command->data() && command->length() > 0) {
    uint32_t written = 0;
    status = static_cast<GStatus>(port()->write(command->data(), command->length(), written));
  }
  const GStatus pending = takeError();
  return status != 0 ? status : pending;
}

GStatus GCheetah::onPageStart(GPageStart* command) {
  // The base only enters the page: it answers 0.
  (void)GPDLGenerator::onPageStart(command);
  // First: the graphics state's reset makes the State anew, groups and all.
  startPageGraphics();
  GAttributeComposite* page = attributeGroup(AttrId::PageGroup);
  const GCountedRef holdPage(page);
  resetTextState();
  if (beginWrite()) {
    if (const GStatus refused = beginPage(page); refused != 0) {
      if (page) page->clearChanged();
      const GStatus pending = takeError();
      return pending != 0 ? pending : refused;
    }
    xlSetClipMode(*stream_, 0);
    writeHalftoneMethod();
  } else {
    // The media is the page's all the same.
    const MPersistentObject* media = page ? page->findById(AttrId::Media) : nullptr;
    currentMedia_ = GCountedRef(dynamic_cast<GMedia*>(const_cast<MPersistentObject*>(media)));
  }
  if (page) page->clearChanged();
  enterPage();
  return takeError();
}

void GCheetah::startPageGraphics() {
  // Every page starts from the default graphics state.
  GState* defaultsNow = defaults();
  GState* stateNow = state();
  const MPersistentObject* graphics = defaultsNow ? defaultsNow->findById(AttrId::GraphicGroup) : nullptr;
  if (graphics && stateNow) {
    if (MPersistentObject* copy = graphics->deepCopy()) {
      stateNow->insert(copy);
      changed(this);
    }
  }
  // BeginPage resets the printer's graphics state: everything the page
  // draws with is sent again before its first drawing.
  GAttributeComposite* group = attributeGroup(AttrId::GraphicGroup);
  if (group) group->markChanged();
  // The page's transform joins the graphic group, changed, so that it is
  // written before the page's first drawing.
  const MPersistentObject* page = attributeGroup(AttrId::PageGroup);
  const auto* transform =
      dynamic_cast<const GTransformAttribute*>(page ? page->findByClassId(ClassId::GTransformAttribute) : nullptr);
  if (!transform) return;
  auto* copy = dynamic_cast<GTransformAttribute*>(transform->deepCopy());
  if (!group || !copy) {
    delete copy;
    return;
  }
  const GCountedRef hold(copy);
  copy->setChanged();
  group->merge(copy);
  if (auto* merged = dynamic_cast<GAttribute*>(group->findByClassId(ClassId::GTransformAttribute)))
    merged->setChanged();
}

GStatus GCheetah::beginPage(GAttributeComposite* page) {
  GMedia* media = nameableMedia(page);
  if (!media) {
    // Keeps the media for the page's content all the same.
    const MPersistentObject* given = page ? page->findById(AttrId::Media) : nullptr;
    currentMedia_ = GCountedRef(dynamic_cast<GMedia*>(const_cast<MPersistentObject*>(given)));
    const auto* any = dynamic_cast<const GMedia*>(given);
    kernelDebugPrint("PCL XL: the page's media %d has neither a size name nor a size; the page is refused\n",
                     any ? static_cast<int>(any->mediaId()) : -1);
    return kStatusMediaUnnamed;
  }
  const uint8_t orientation = writeOrientation(page);
  writePaperSource(page);
  writeMedia(*media, orientation);
  xlWriteOperator(*stream_, XLOp::BeginPage);
  return 0;
}

uint8_t GCheetah::writeOrientation(GAttributeComposite* page) {
  int16_t angle = 0;
  uint8_t orientation = 0;
  if (readValue(page, AttrId::OrientationAngle, angle)) {
    switch (angle) {
      case 90: orientation = 1; break;
      case 180: orientation = 2; break;
      case 270: orientation = 3; break;
      default: orientation = 0; break;
    }
  }
  xlWriteUByte(*stream_, orientation);
  xlWriteAttribute(*stream_, XLAttr::Orientation);
  return orientation;
}

void GCheetah::writePaperSource(GAttributeComposite* page) {
  const MPersistentObject* choice = page ? page->findById(AttrId::PaperSource) : nullptr;
  const auto* value = dynamic_cast<const GValueAttribute*>(choice);
  if (!value || value->value() == lastPaperSource_) return;
  lastPaperSource_ = value->value();
  uint8_t source = 0;
  GConfiguration* configuration = config();
  const auto* table = dynamic_cast<const MAssociationList*>(
      configuration ? configuration->findById(AttrId::PsMediaPositions) : nullptr);
  if (table) {
    GValueAttribute key(value->value(), 0);
    int16_t mapped = 0;
    if (const auto* found = dynamic_cast<const GValueAttribute*>(table->findValue(&key))) mapped = found->value();
    source = static_cast<uint8_t>(mapped & 0xFF);
  }
  xlWriteUByte(*stream_, source);
  xlWriteAttribute(*stream_, XLAttr::MediaSource);
}

GMedia* GCheetah::nameableMedia(GAttributeComposite* page) const {
  auto* media = dynamic_cast<GMedia*>(page ? page->findById(AttrId::Media) : nullptr);
  if (!media) return nullptr;
  if (media->size().x() > 0 && media->size().y() > 0) return media;
  return sizeName(media->mediaId()) ? media : nullptr;
}

const GSelectionString* GCheetah::sizeName(int16_t mediaId) const {
  GConfiguration* configuration = config();
  const auto* sizes = dynamic_cast<const MAssociationList*>(
      configuration ? configuration->findById(AttrId::PaperNameTable) : nullptr);
  if (!sizes) return nullptr;
  GValueAttribute key(mediaId, 0);
  const auto* name = dynamic_cast<const GSelectionString*>(sizes->findValue(&key));
  return name && !name->text().isNull() ? name : nullptr;
}

void GCheetah::writeMedia(GMedia& media, uint8_t orientation) {
  currentMedia_ = GCountedRef(&media);
  const RWCString& typeName = media.mediaTypeName();
  if (!typeName.isNull() && typeName != lastMediaTypeName_) {
    xlWriteUByteArray(*stream_, bytesOf(typeName));
    xlWriteAttribute(*stream_, XLAttr::MediaType);
    lastMediaTypeName_ = typeName;
  }

  if (const GSelectionString* name = sizeName(media.mediaId())) {
    xlWriteUByteArray(*stream_, bytesOf(name->text()));
    xlWriteAttribute(*stream_, XLAttr::MediaSize);
    return;
  }
  // A size the printer has no name for goes in inches. A medium without a
  // resolution of its own is taken at the printer's default, not divided by 0.
  const GReal xDpi(static_cast<int32_t>(media.xResolution() > 0 ? media.xResolution() : kDefaultResolution));
  const GReal yDpi(static_cast<int32_t>(media.yResolution() > 0 ? media.yResolution() : kDefaultResolution));
  GReal width = GReal(static_cast<int32_t>(media.size().x())) / xDpi;
  GReal height = GReal(static_cast<int32_t>(media.size().y())) / yDpi;
  if (orientation == 1 || orientation == 3) std::swap(width, height);
  xlWriteReal32XY(*stream_, width, height);
  xlWriteAttribute(*stream_, XLAttr::CustomMediaSize);
  xlWriteUByte(*stream_, kMeasureInch);
  xlWriteAttribute(*stream_, XLAttr::CustomMediaSizeUnits);
}

void GCheetah::writeHalftoneMethod() {
  const GDitherMatrix* matrix = ditherMatrix();
  if (!matrix || matrix->width() == 0 || matrix->height() == 0) return;
  const uint8_t width = matrix->width();
  const uint8_t height = matrix->height();
  std::vector<unsigned char> thresholds(static_cast<size_t>(width) * height, 0);
  matrix->copyThresholds(thresholds.data(), width, height);
  xlSetHalftoneMethod(*stream_, {width, height}, kDitherDepth, kDitherDataType);
  xlWriteDataLength(*stream_, static_cast<uint32_t>(thresholds.size()));
  xlWriteRawData(*stream_, thresholds);
}

GStatus GCheetah::onPageEnd(GPageEnd* command) {
  // The base only leaves the page: it answers 0.
  (void)GPeripheral::onPageEnd(command);
  if (beginWrite()) {
    int16_t copies = 1;
    readValue(attributeGroup(AttrId::PageGroup), AttrId::PageCopies, copies);
    // A count below one would ask the printer for none, or for 65,535
    // once taken as unsigned: the page is printed once.
    xlEndPageCopies(*stream_, static_cast<uint16_t>(copies < 1 ? 1 : copies));
    flushStream();
  }
  pathDepth_ = 0;
  recordingClipPath_ = 0;
  currentMedia_ = GCountedRef();
  return takeError();
}

// ---- attributes ------------------------------------------------------------------------

GStatus GCheetah::consumed(GAttribute* attribute) {
  if (attribute) attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onValueAttribute(GValueAttribute* attribute) { return consumed(attribute); }

GStatus GCheetah::onStringAttribute(GStringAttribute* attribute) { return consumed(attribute); }

GStatus GCheetah::onRangeAttribute(GRangeAttribute* attribute) { return consumed(attribute); }

GStatus GCheetah::onEnumAttribute(GEnumAttribute* attribute) {
  if (attribute) attribute->clearChanged();
  return takeError();
}

GStatus GCheetah::onTransformAttribute(GTransformAttribute* attribute) {
  // Outside a page there is no page to place: the transform stays changed
  // until a page takes it.
  if (!attribute || !isInPage()) return takeError();
  if (beginWrite()) {
    const GPoint offset = attribute->offset();
    xlSetPageDefaultCTM(*stream_);
    xlSetPageOrigin<int16_t>(*stream_, {offset.x(), offset.y()});
    xlSetPageRotation(*stream_, attribute->rotation());
    xlSetPageScale(*stream_, {attribute->scaleX(), attribute->scaleY()});
  }
  attribute->resetChanged();
  return takeError();
}

// ---- stored form -------------------------------------------------------------------------

RWspace GCheetah::levelStoreSize() const { return 20; }

template <class Sink>
void GCheetah::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, persistedFlag_);
  gWrite(sink, flusher_.writeStatus());
  gWrite(sink, flusher_.writesEnabled());
  gWrite(sink, xResolution_);
  gWrite(sink, yResolution_);
  gWrite(sink, colorMode_);
}

template <class Source>
void GCheetah::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int16_t persistedFlag = 0;
  int16_t writeStatus = 0;
  uint32_t writesEnabled = 0;
  int16_t xResolution = 0;
  int16_t yResolution = 0;
  uint32_t colorMode = 0;
  if (!gRead(source, persistedFlag) || !gRead(source, writeStatus) || !gRead(source, writesEnabled) ||
      !gRead(source, xResolution) || !gRead(source, yResolution) || !gRead(source, colorMode))
    return;
  persistedFlag_ = persistedFlag;
  flusher_.setWriteStatus(writeStatus);
  flusher_.setWritesEnabled(writesEnabled);
  xResolution_ = xResolution;
  yResolution_ = yResolution;
  colorMode_ = colorMode;
  makeStream();
  renewFontTables();
}
