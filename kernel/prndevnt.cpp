// The printer device and the error device.

#include "kernel/prndevnt.h"

#include <new>

namespace {

// What the error device answers the engine for every call it refuses: it
// has nothing to print with.
void refuse() { EngSetLastError(ERROR_OUTOFMEMORY); }

}  // namespace

// ---- the printer device ---------------------------------------------------------------

GPrinterDeviceNT::GPrinterDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                                   const RWWString& portName, HDEV engineDevice)
    : GDeviceNT(printer, deviceName, modelName, portName), describedEngineDevice_(engineDevice) {}

GPrinterDeviceNT::GPrinterDeviceNT(const GDeviceDescriptionNT& d)
    : GPrinterDeviceNT(d.printerHandle(), d.deviceName(), d.modelName(), d.portName(), d.engineDevice()) {}

GPrinterDeviceNT::~GPrinterDeviceNT() = default;

uint32_t GPrinterDeviceNT::isAborted() {
  if (const uint32_t aborted = GDevice::isAborted()) return aborted;
  // Only a page in progress has a surface the engine can tell about.
  if (SURFOBJ* page = pageSurface()) return EngCheckAbort(page) ? 1 : 0;
  return 0;
}

RWWString GPrinterDeviceNT::printerDataFileName() const {
  // A device described without an engine device has no printer data.
  if (!describedEngineDevice_) return RWWString();
  const LPWSTR name = EngGetPrinterDataFileName(describedEngineDevice_);
  return name ? RWWString(name) : RWWString();
}

void GPrinterDeviceNT::reset(GPrinterDescription* description) {
  GDeviceNT::reset(description);
  if (const auto* nt = dynamic_cast<const GDeviceDescriptionNT*>(description))
    describedEngineDevice_ = nt->engineDevice();
}

GPrinterDescription* GPrinterDeviceNT::printerDescription() {
  return new (std::nothrow)
      GDeviceDescriptionNT(printerHandle(), deviceName(), modelName(), portName(), describedEngineDevice_);
}

// ---- the error device -----------------------------------------------------------------

GErrorDeviceNT::GErrorDeviceNT(GDeviceNT* wrapped)
    : GPrinterDeviceNT(nullptr, RWWString(u"Error Device Name"), RWWString(u"Error Model Name"),
                       RWWString(u"Error Port Name"), nullptr),
      wrapped_(wrapped) {
  // It prints nothing, so it keeps no fonts; the base's destructor finds
  // the database gone and frees nothing twice.
  dropFontDatabase();
}

GErrorDeviceNT::~GErrorDeviceNT() = default;

uint32_t GErrorDeviceNT::handle() { return wrapped_ ? wrapped_->handle() : 0; }

int32_t GErrorDeviceNT::enablePDEV(GPdevRecordNT*, const uint8_t*, LPWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG,
                                   DEVINFO*, HDEV, LPWSTR, HANDLE) {
  refuse();
  return 0;
}

int32_t GErrorDeviceNT::resetPDEV(GDeviceNT&) {
  refuse();
  return 0;
}

void GErrorDeviceNT::completePDEV(HDEV) {}

// Taking the PDEV down is the wrapped device's: it still holds the engine's
// objects.
void GErrorDeviceNT::disablePDEV() {
  if (wrapped_) wrapped_->disablePDEV();
}

void GErrorDeviceNT::disableSurface() {
  if (wrapped_) wrapped_->disableSurface();
}

HSURF GErrorDeviceNT::enableSurface() { return nullptr; }

// Ending the job is the wrapped device's too, but the engine still learns
// that the job failed.
BOOL GErrorDeviceNT::endDoc(FLONG flags) {
  const BOOL answer = wrapped_ ? wrapped_->endDoc(flags) : FALSE;
  refuse();
  return answer;
}

BOOL GErrorDeviceNT::sendPage() {
  const BOOL answer = wrapped_ ? wrapped_->sendPage() : FALSE;
  refuse();
  return answer;
}

// The path operations answer -1, the others 0.
BOOL GErrorDeviceNT::strokePath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) {
  refuse();
  return -1;
}
BOOL GErrorDeviceNT::fillPath(PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) {
  refuse();
  return -1;
}
BOOL GErrorDeviceNT::strokeAndFillPath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*,
                                       ULONG, FLONG) {
  refuse();
  return -1;
}

BOOL GErrorDeviceNT::startDocOnSurface(SURFOBJ*, LPWSTR, DWORD) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::startDoc(LPWSTR, DWORD) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::endDocOnSurface(SURFOBJ*, FLONG) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::startPage(SURFOBJ*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::sendPageOnSurface(SURFOBJ*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::textOut(STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  return refuse(), FALSE;
}
BOOL GErrorDeviceNT::paint(CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::bitBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
                            ULONG) {
  return refuse(), FALSE;
}
BOOL GErrorDeviceNT::stretchBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*,
                                         RECTL*, POINTL*, ULONG) {
  return refuse(), FALSE;
}
BOOL GErrorDeviceNT::stretchBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*, POINTL*,
                                ULONG) {
  return refuse(), FALSE;
}
BOOL GErrorDeviceNT::copyBits(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::realizeBrushOnSurface(SURFOBJ*, BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
  return refuse(), FALSE;
}
BOOL GErrorDeviceNT::realizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return refuse(), FALSE; }
ULONG GErrorDeviceNT::escapeOnSurface(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return refuse(), 0; }
ULONG GErrorDeviceNT::escape(ULONG, ULONG, PVOID, ULONG, PVOID) { return refuse(), 0; }
ULONG GErrorDeviceNT::drawEscapeOnSurface(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return refuse(), 0; }
ULONG GErrorDeviceNT::drawEscape(ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return refuse(), 0; }
ULONG GErrorDeviceNT::fontManagementOnSurface(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
  return refuse(), 0;
}
ULONG GErrorDeviceNT::fontManagement(FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return refuse(), 0; }
BOOL GErrorDeviceNT::startBandingOnSurface(SURFOBJ*, POINTL*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::startBanding(POINTL*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::nextBandOnSurface(SURFOBJ*, POINTL*) { return refuse(), FALSE; }
BOOL GErrorDeviceNT::nextBand(POINTL*) { return refuse(), FALSE; }

// ---- driver-instance operations ----------------------------------------------------------

// The job and the resources are the wrapped device's.
void GErrorDeviceNT::reset(GPrinterDescription* description) {
  if (wrapped_) wrapped_->reset(description);
}

void GErrorDeviceNT::releaseResources() {
  if (wrapped_) wrapped_->releaseResources();
}
