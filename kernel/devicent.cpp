#include "kernel/devicent.h"

#include <new>
#include <utility>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/osfactry.h"
#include "device/config.h"
#include "device/media.h"
#include "device/printer.h"
#include "device/setread.h"
#include "graphics/devfont.h"
#include "journal/command.h"
#include "journal/ctlcmds.h"
#include "kernel/ddientry.h"
#include "kernel/descnt.h"
#include "kernel/devmode.h"
#include "rw/kmsys.h"

using SettingRead::lookUp;
using SettingRead::readValue;

namespace {

// Media ids from here up to the printer's largest custom size stand for a
// custom size; the engine knows them all as the one id 0x4000.
constexpr int16_t kCustomMediaId = 0x4000;

// The device surface's hooks: in the printer-language mode the device
// draws bit-block transfers, stretches, text, strokes, fills, stroke-and-
// fills and copies; the raster modes take paint in place of stroke-and-
// fill.
constexpr FLONG kHooksMode1 = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH | HOOK_FILLPATH |
                              HOOK_STROKEANDFILLPATH | HOOK_COPYBITS;
constexpr FLONG kHooksRaster =
    HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_PAINT | HOOK_STROKEPATH | HOOK_FILLPATH | HOOK_COPYBITS;
static_assert(kHooksMode1 == 0x4EB && kHooksRaster == 0x47B);

// The flag word's bit that keeps the page in one band.
constexpr uint32_t kFlagSingleBand = 0x2000000;

// The framework's status for memory that could not be had.
constexpr GStatus kStatusNoMemory = 3;

// The band surface draws the page unscaled. (A function: the driver
// image runs no static initialiser of its own.)
GReal bandScale() { return GReal(int32_t{1}); }

int32_t yResolutionOf(GPrinterDevModeNT& devmode) { return devmode.view().s16(DevModeLayout::kYResolution); }

}  // namespace

GDeviceNT::GDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                     const RWWString& portName)
    : printer_(printer), forms_(*this) {
  setDeviceName(deviceName);
  setModelName(modelName);
  setPortName(portName);
}

GDeviceNT::~GDeviceNT() {
  // What the engine was given and never took back.
  deleteSurface();
  deletePalette();
}

void GDeviceNT::deletePalette() {
  if (palette_) EngDeletePalette(palette_);
  palette_ = nullptr;
}

void GDeviceNT::deleteSurface() {
  if (surface_) EngDeleteSurface(surface_);
  surface_ = nullptr;
}

// ---- the call check ------------------------------------------------------------------

uint16_t GDeviceNT::callCheck(int32_t type) {
  // A send that failed put the device base in the error state, whichever
  // call made it (a page, an escape, the form table); from then on the
  // engine's calls meet the error state too.
  if (state() == kDdiError) ddi_.state = kDdiError;
  ddi_.documentPending = documentPending() != 0;
  return ddiCallCheck(ddi_, type);
}

void GDeviceNT::setDdiState(int32_t state) {
  ddi_.state = state;
  setState(static_cast<uint32_t>(state));
}

void GDeviceNT::setDocumentStartPending(bool pending) {
  ddi_.documentPending = pending;
  setDocumentPending(pending ? 1 : 0);
}

GStatus GDeviceNT::sendNew(GCommand* command) {
  if (!command) return kStatusNoMemory;
  const GCommandPtr hold(command);
  return send(command);
}

// ---- PDEV ----------------------------------------------------------------------------

int32_t GDeviceNT::refuseConfiguration(const char* fault) {
  // The engine learns only that the data is bad; the debug output says
  // which file and what is wrong with it.
  RWWString file;
  if (GOSFactory* factory = GOSFactory::instance()) factory->configurationFileName(file, this);
  kernelDebugPrint("Printer data file \"%s\": %s\n", file.toMultiByte().data(), fault);
  EngSetLastError(ERROR_INVALID_DATA);
  return 0;
}

int32_t GDeviceNT::enablePDEV(GPdevRecordNT* record, const uint8_t* devmode, LPWSTR logicalAddress,
                              ULONG patternCount, HSURF* patterns, ULONG gdiInfoSize, GDIINFO* gdiInfo,
                              ULONG devInfoSize, DEVINFO* devInfo, HDEV, LPWSTR, HANDLE) {
  if (callCheck(kDdiEnablePDEV) != kDdiAllowed) return 0;
  // A configuration that cannot make a job is refused here, before the
  // engine is given a device that would report an empty job printed.
  if (const char* fault = gPrintingFault(configuration())) return refuseConfiguration(fault);
  // Without a logical address the spooler's port name stays.
  if (logicalAddress) setPortName(RWWString(logicalAddress));
  record_ = record;
  if (!createDevMode(devmode)) return 0;
  setSettings(assembleSettings());
  beginJob();
  gDdiPostScriptFlag = isPostScript();
  forms_.reset();
  (void)mergeSettings(nullptr);  // 0 only when there are no printer options to merge
  // The device base keeps no single-band settings entry of its own here.
  singleBand_ = (flags() & kFlagSingleBand) != 0 || renderingMode() == 2;

  if (!fillGdiInfo(gdiInfo, gdiInfoSize)) {
    // Every part of the record comes from the configuration.
    return refuseConfiguration("the printer gives no page geometry, resolution or text capabilities for the job");
  }
  if (!fillDevInfo(devInfo, devInfoSize)) return 0;
  if (patterns)
    for (ULONG i = 0; i < patternCount; ++i) patterns[i] = nullptr;
  ddi_.pdevStage = kPdevEnabled;
  setDdiState(kDdiReady);
  return 1;
}

int32_t GDeviceNT::resetPDEV(GDeviceNT& newDevice) {
  if (&newDevice == this) return 0;
  if (callCheck(kDdiResetPDEVOld) != kDdiAllowed || newDevice.callCheck(kDdiResetPDEVNew) != kDdiAllowed)
    return 0;
  // The job goes on here with the new PDEV's DEVMODE; the new device, which
  // the engine disables next, takes this one's.
  if (!exchangeDevMode(newDevice)) return 0;

  newDevice.surface_ = surface_;
  surface_ = nullptr;
  engineDevice_ = newDevice.engineDevice_;
  // The fonts handed to the engine stay with the job; this build keeps no
  // registry of them yet.
  band_.copySetup(newDevice.band_);
  setRenderingMode(newDevice.renderingMode());

  // The engine's new PDEV leads here from now on, its old one to the new
  // device. A PDEV's default palette is the engine's as long as the PDEV
  // lives, so it follows the record.
  if (record_ && newDevice.record_) std::swap(*record_, *newDevice.record_);
  std::swap(record_, newDevice.record_);
  std::swap(palette_, newDevice.palette_);

  ddi_.pdevStage = kPdevCompleted;
  if (ddi_.state == kDdiInDocument) {
    newDevice.ddi_.pdevStage = kPdevSurfaceEnabled;
    newDevice.setDdiState(kDdiTakenOver);
  } else {
    newDevice.setDdiState(kDdiReady);
    newDevice.ddi_.pdevStage = kPdevEnabled;
  }
  refreshSettings();
  return 1;
}

void GDeviceNT::completePDEV(HDEV engineDevice) {
  if (callCheck(kDdiCompletePDEV) != kDdiAllowed) return;
  ddi_.pdevStage = kPdevCompleted;
  engineDevice_ = engineDevice;
}

void GDeviceNT::disablePDEV() {
  if (callCheck(kDdiDisablePDEV) != kDdiAllowed) return;
  // A form definition left open would swallow whatever the printer reads
  // next.
  forms_.closeOpenDefinition();
  beginJob();
  forms_.reset();
  // The engine is done with the PDEV and its default palette.
  deletePalette();
  setDdiState(kDdiDisabled);
}

// ---- surface ---------------------------------------------------------------------------

HSURF GDeviceNT::enableSurface() {
  if (callCheck(kDdiEnableSurface) != kDdiAllowed) return nullptr;
  ULONG format = BMF_24BPP;
  FLONG hooks = kHooksMode1;
  if (inRasterMode()) {
    // The band surface's bitmap: 24-bit colour, 1-bit bilevel or 8-bit
    // grey. This build has no bilevel mode.
    const bool bilevel = false;
    format = colorMode() == 1 ? BMF_24BPP : bilevel && colorMode() != 0 ? BMF_1BPP : BMF_8BPP;
    hooks = kHooksRaster;
  }

  GPageGeometry geometry;
  if (!pageGeometry(geometry)) return nullptr;
  const HSURF surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(record_), geometry.extent, format);
  if (!surface) return nullptr;
  surface_ = surface;

  ddi_.pageAllowed = false;
  ddi_.inPage = false;
  ddi_.pdevStage = kPdevSurfaceEnabled;
  EngAssociateSurface(surface, engineDevice_, hooks);
  if (inRasterMode())
    band_.setup(*this, engineDevice_, geometry.extent, format, singleBand_);
  else
    band_.clearBanding();
  bandingSurface_ = band_.isBanding();
  if (bandingSurface_) EngMarkBandingSurface(surface);
  return surface;
}

void GDeviceNT::disableSurface() {
  if (callCheck(kDdiDisableSurface) != kDdiAllowed || !surface_) return;
  deleteSurface();
  // A device whose job a reset took over has no PDEV of its own left to
  // complete.
  const bool takenOver = ddi_.state == kDdiTakenOver && ddi_.pdevStage == kPdevSurfaceEnabled;
  setDdiState(kDdiReady);
  ddi_.pdevStage = takenOver ? kPdevEnabled : kPdevCompleted;
  if (inRasterMode()) band_.deleteBitmap();
}

// ---- documents and pages ----------------------------------------------------------------

BOOL GDeviceNT::startDocOnSurface(SURFOBJ*, LPWSTR, DWORD) { return FALSE; }

BOOL GDeviceNT::startDoc(LPWSTR documentName, DWORD jobId) {
  if (callCheck(kDdiStartDoc) != kDdiAllowed) return FALSE;
  // In a document already, the job came here by a reset and goes on.
  if (ddi_.state != kDdiInDocument) {
    // The fonts on the printer's mass storage are those the printer was
    // last told it has.
    GDeviceFontListComposite* added = fontSourceList();
    pruneMassStorageFonts(added);
    delete added;
    setDocumentName(documentName && documentName[0] ? RWWString(documentName) : RWWString(u"Untitled"));
    setOutputName(portName());
    setDocumentStarted(0);
    setDocumentStartPending(true);
    jobId_ = jobId;
  }
  setDdiState(kDdiInDocument);
  ddi_.pageAllowed = true;
  ddi_.inPage = false;
  ddi_.banding = false;
  return TRUE;
}

BOOL GDeviceNT::endDocOnSurface(SURFOBJ*, FLONG) { return FALSE; }

BOOL GDeviceNT::endDoc(FLONG flags) {
  // Nothing was sent for the document: nothing to end.
  if (documentPending()) {
    setDdiState(kDdiReady);
    ddi_.pageAllowed = false;
    setDocumentStartPending(false);
    return TRUE;
  }
  const bool abort = (flags & ED_ABORTDOC) != 0;
  BOOL result = TRUE;
  if (abort && ddi_.inPage && ddi_.state != kDdiError) result = sendPage();
  if (callCheck(kDdiEndDoc) != kDdiAllowed) return result;
  // The printer has seen the failure already and ended what it got.
  if (ddi_.state == kDdiError) return result;

  forms_.closeOpenDefinition();
  GCommand* command = abort ? static_cast<GCommand*>(new (std::nothrow) GJobAbort(0)) : makeDocumentEnd();
  const GStatus status = sendNew(command);
  // The stages were changed by the job: the next document starts them
  // afresh.
  setConfigurationUsed(1);
  if (status == 0) {
    setDdiState(kDdiReady);
    ddi_.pageAllowed = false;
  } else {
    result = FALSE;
    ddiResultToLastError(status);
  }
  endDocument();
  return result;
}

BOOL GDeviceNT::startPageOnSurface(SURFOBJ*) { return FALSE; }

BOOL GDeviceNT::startPage(SURFOBJ* surface) {
  // Kept before the check: the engine's abort check needs it from now on.
  pageSurface_ = surface;
  if (callCheck(kDdiStartPage) != kDdiAllowed) return FALSE;
  GStatus status = documentPending() ? startDocument() : 0;
  ddi_.documentPending = documentPending() != 0;
  if (status == 0) status = sendNew(makePageStart());
  BOOL result = TRUE;
  if (status == 0) {
    ddi_.pageAllowed = false;
    ddi_.inPage = true;
  } else {
    ddiResultToLastError(status);
    setDdiState(kDdiError);
    result = FALSE;
  }
  if (inRasterMode()) band_.startPage(bandScale(), bandScale());
  return result;
}

BOOL GDeviceNT::sendPageOnSurface(SURFOBJ*) { return FALSE; }

BOOL GDeviceNT::sendPage() {
  if (callCheck(kDdiSendPage) != kDdiAllowed) return FALSE;
  if (inRasterMode()) band_.flushAtPageEnd();
  const GStatus status = ddi_.state == kDdiError ? kDdiInErrorState : sendNew(makePageEnd());
  ddi_.inPage = false;
  ddi_.pageAllowed = true;
  if (status == 0) return TRUE;
  ddiResultToLastError(status);
  setDdiState(kDdiError);
  return FALSE;
}

// ---- drawing -----------------------------------------------------------------------------
// Nothing is drawn yet. A call out of turn is refused without a word to the
// engine, and the engine is not told of a failure either way: TRUE. The
// check's answer is dropped on purpose: there is nothing to skip.

BOOL GDeviceNT::textOut(STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::strokePath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::fillPath(PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::strokeAndFillPath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*, ULONG,
                                  FLONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::paint(CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::bitBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, LONG, LONG,
                                POINTL*, BRUSHOBJ*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GDeviceNT::bitBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
                       ULONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::stretchBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*,
                                    RECTL*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GDeviceNT::stretchBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*, POINTL*,
                           ULONG) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::copyBitsOnSurface(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, LONG, LONG) {
  return FALSE;
}
BOOL GDeviceNT::copyBits(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
  (void)callCheck(kDdiDrawing);
  return TRUE;
}
BOOL GDeviceNT::realizeBrushOnSurface(SURFOBJ*, BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return TRUE; }
BOOL GDeviceNT::realizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
  (void)callCheck(kDdiRealizeBrush);
  return FALSE;
}

// ---- escapes and font management -----------------------------------------------------------
// None is supported yet: 0, admitted or not (the check's answer is dropped
// on purpose).

ULONG GDeviceNT::escapeOnSurface(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::escape(ULONG, ULONG, PVOID, ULONG, PVOID) {
  (void)callCheck(kDdiEscape);
  return 0;
}
ULONG GDeviceNT::drawEscapeOnSurface(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::drawEscape(ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) {
  (void)callCheck(kDdiEscape);
  return 0;
}
ULONG GDeviceNT::fontManagementOnSurface(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::fontManagement(FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
  (void)callCheck(kDdiEscape);
  return 0;
}

// ---- bands ---------------------------------------------------------------------------------

BOOL GDeviceNT::startBandingOnSurface(SURFOBJ*, POINTL*) { return FALSE; }

BOOL GDeviceNT::startBanding(POINTL* origin) {
  if (callCheck(kDdiStartBanding) != kDdiAllowed) return FALSE;
  band_.resetBandIndex();
  band_.nextBand(origin, bandScale(), bandScale());
  ddi_.banding = true;
  return TRUE;
}

BOOL GDeviceNT::nextBandOnSurface(SURFOBJ*, POINTL*) { return FALSE; }

BOOL GDeviceNT::nextBand(POINTL* origin) {
  if (callCheck(kDdiNextBand) != kDdiAllowed) return FALSE;
  if (band_.nextBand(origin, bandScale(), bandScale()) != GBandSurfaceNT::kBandDone) return TRUE;
  // After the last band the page goes out, and whether it did is the
  // engine's to know.
  ddi_.banding = false;
  return sendPage();
}

// ---- fonts and forms -----------------------------------------------------------------------

void GDeviceNT::forgetFont(FONTOBJ*, uint32_t) {}
uint16_t GDeviceNT::beginForm(const uint8_t* record, size_t size) { return forms_.beginForm(record, size); }
uint16_t GDeviceNT::endForm(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  return forms_.endForm(input, inputSize, output, outputSize);
}
uint16_t GDeviceNT::executeForm(const uint8_t* record, size_t size) { return forms_.executeForm(record, size); }
uint16_t GDeviceNT::deleteForm(const uint8_t* record, size_t size) { return forms_.deleteForm(record, size); }
uint16_t GDeviceNT::formCapabilities(uint8_t* output, size_t outputSize) {
  return forms_.formCapabilities(output, outputSize);
}
uint16_t GDeviceNT::formsAvailable() { return forms_.formsAvailable(); }
uint16_t GDeviceNT::checkFormName(uint8_t* name, size_t size) { return forms_.checkFormName(name, size); }
char* GDeviceNT::realToText(GReal value) { return GFormTableNT::realToText(value); }
uint32_t GDeviceNT::handle() { return record_ ? static_cast<uint32_t>(record_->handle) : 0; }

// ---- media ---------------------------------------------------------------------------------

GMedia* GDeviceNT::mediaForId(int16_t mediaId) {
  GAttributeComposite* settings = jobSettings();
  int16_t x = 0;
  int16_t y = 0;
  int16_t angle = 0;
  if (!readValue(settings, AttrId::Resolution, x) || !readValue(settings, AttrId::VerticalResolution, y) ||
      !readValue(settings, AttrId::OrientationAngle, angle))
    return nullptr;
  return mediaForIdAt(mediaId, x, y, angle);
}

GMedia* GDeviceNT::mediaForIdAt(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t orientation) {
  GMedia* media = GDeviceSettingsNT::mediaForId(mediaId, xResolution, yResolution, orientation);
  if (!media) return nullptr;
  if (media->mediaId() > kCustomMediaId && media->mediaId() <= CustomMediaId::kLast)
    media->setMediaId(kCustomMediaId);
  // A custom size is printed as it was asked for.
  int16_t extend = 0;
  if (media->mediaId() != kCustomMediaId && readValue(jobSettings(), AttrId::ExtendedPrintArea, extend) &&
      extend == 1)
    extendPrintArea(media);
  return media;
}

GAttributeComposite* GDeviceNT::createSettings() { return assembleSettings(); }

void GDeviceNT::reset(GPrinterDescription* description) {
  GDevice::reset(description);
  // Whether the printer keeps forms is asked again for the next job.
  forms_.reset();
  if (const auto* nt = dynamic_cast<const GPrinterDescriptionNT*>(description)) {
    printer_ = nt->printerHandle();
    setDeviceName(nt->deviceName());
    setModelName(nt->modelName());
    setPortName(nt->portName());
  }
  pageSurface_ = nullptr;
  singleBand_ = false;
  paintOverride_ = 0;
}

// ---- the engine's capability records ---------------------------------------------------------

int32_t GDeviceNT::pageGeometry(GPageGeometry& geometry) {
  GPrinterDevModeNT* devmode = devMode();
  int16_t paper = 0;
  if (!devmode || !readValue(jobSettings(), AttrId::Paper, paper)) return 0;
  GMedia* media = mediaForId(paper);
  const int32_t found =
      EngineCaps::pageGeometry(media, devmode->resolvedPrintQuality(), yResolutionOf(*devmode), geometry);
  delete media;
  return found;
}

GEngineCapsInputs GDeviceNT::capsInputs() {
  GEngineCapsInputs inputs;
  if (GPrinterDevModeNT* devmode = devMode()) {
    inputs.specVersion = devmode->specVersion();
    inputs.xResolution = devmode->resolvedPrintQuality();
    inputs.yResolution = yResolutionOf(*devmode);
  }
  GPageGeometry geometry;
  if (pageGeometry(geometry)) inputs.geometry = geometry;
  inputs.colorMode = static_cast<int32_t>(colorMode());
  inputs.renderingMode = renderingMode();
  inputs.bilevel = false;
  inputs.twoColor = twoColor() != 0;
  int16_t twoColor = 0;
  inputs.twoColorSetting = readValue(lookUp(settingsGroup(AttrId::PrinterOptions), AttrId::TwoColorOption), twoColor) &&
                           twoColor == 1;
  inputs.instanceFlags = flags();
  FLONG caps = 0;
  if (EngineCaps::textCaps(printerConfig(), alternateTextCaps() != 0, caps)) inputs.textCaps = caps;
  return inputs;
}

int32_t GDeviceNT::fillGdiInfo(GDIINFO* record, ULONG size) {
  return EngineCaps::fillGdiInfo(record, size, capsInputs());
}

int32_t GDeviceNT::fillDevInfo(DEVINFO* record, ULONG size) {
  HPALETTE palette = nullptr;
  if (!EngineCaps::fillDevInfo(record, size, capsInputs(), palette)) return 0;
  // The engine holds the PDEV's default palette until it disables the PDEV.
  deletePalette();
  palette_ = palette;
  return 1;
}

void GDeviceNT::refreshSettings() {
  GAttributeComposite* fresh = restoreDevModeSettings();
  if (!fresh) return;
  GAttributeComposite* settings = jobSettings();
  if (!settings) {
    setSettings(fresh);
    return;
  }
  for (uint32_t id : {AttrId::DocumentSettings, AttrId::PageSettings, AttrId::JobOptions})
    delete settings->removeById(id);
  // What the job has already is found before anything merged behind it: only
  // what it lacks (the three groups among it) is taken.
  SettingRead::eachMember(fresh, [settings](MPersistentObject* member) {
    if (!settings->findById(member->id())) settings->insert(member->deepCopy());
    return true;
  });
  delete fresh;
}

GDeviceNT* gDeviceOfPdev(DHPDEV pdev) {
  auto* record = reinterpret_cast<GPdevRecordNT*>(pdev);
  return record ? record->device : nullptr;
}

GDeviceNT* gDeviceOfSurface(SURFOBJ* surface) {
  if (!surface || surface->iType != STYPE_DEVICE) return nullptr;
  return gDeviceOfPdev(surface->dhpdev);
}
