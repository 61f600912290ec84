// Placeholder bodies.
#include "kernel/prndevnt.h"

GPrinterDeviceNT::GPrinterDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                                   const RWWString& portName, HDEV engineDevice)
    : GDeviceNT(printer, deviceName, modelName, portName), describedEngineDevice_(engineDevice) {}
GPrinterDeviceNT::GPrinterDeviceNT(const GDeviceDescriptionNT& d)
    : GPrinterDeviceNT(d.printerHandle(), d.deviceName(), d.modelName(), d.portName(), d.engineDevice()) {}
GPrinterDeviceNT::~GPrinterDeviceNT() = default;
uint32_t GPrinterDeviceNT::isAborted() { return GDevice::isAborted(); }
RWWString GPrinterDeviceNT::printerDataFileName() const { return RWWString(); }
void GPrinterDeviceNT::reset(GPrinterDescription* description) { GDeviceNT::reset(description); }
GPrinterDescription* GPrinterDeviceNT::printerDescription() { return nullptr; }

GErrorDeviceNT::GErrorDeviceNT(GDeviceNT* wrapped)
    : GPrinterDeviceNT(nullptr, RWWString(u"Error Device Name"), RWWString(u"Error Model Name"),
                       RWWString(u"Error Port Name"), nullptr),
      wrapped_(wrapped) {}
GErrorDeviceNT::~GErrorDeviceNT() = default;
uint32_t GErrorDeviceNT::handle() { return wrapped_ ? wrapped_->handle() : 0; }
int32_t GErrorDeviceNT::enablePDEV(GPdevRecordNT*, const uint8_t*, LPWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG,
                                   DEVINFO*, HDEV, LPWSTR, HANDLE) {
  return 0;
}
int32_t GErrorDeviceNT::resetPDEV(GDeviceNT&) { return 0; }
void GErrorDeviceNT::completePDEV(HDEV) {}
void GErrorDeviceNT::disablePDEV() {}
HSURF GErrorDeviceNT::enableSurface() { return nullptr; }
void GErrorDeviceNT::disableSurface() {}
BOOL GErrorDeviceNT::startDocOnSurface(SURFOBJ*, LPWSTR, DWORD) { return FALSE; }
BOOL GErrorDeviceNT::startDoc(LPWSTR, DWORD) { return FALSE; }
BOOL GErrorDeviceNT::endDocOnSurface(SURFOBJ*, FLONG) { return FALSE; }
BOOL GErrorDeviceNT::endDoc(FLONG) { return FALSE; }
BOOL GErrorDeviceNT::startPage(SURFOBJ*) { return FALSE; }
BOOL GErrorDeviceNT::sendPageOnSurface(SURFOBJ*) { return FALSE; }
BOOL GErrorDeviceNT::sendPage() { return FALSE; }
BOOL GErrorDeviceNT::textOut(STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::strokePath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::fillPath(PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) { return FALSE; }
BOOL GErrorDeviceNT::strokeAndFillPath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*,
                                       ULONG, FLONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::paint(CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) { return FALSE; }
BOOL GErrorDeviceNT::bitBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
                            ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::stretchBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*,
                                         RECTL*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::stretchBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*, POINTL*,
                                ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::copyBits(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return FALSE; }
BOOL GErrorDeviceNT::realizeBrushOnSurface(SURFOBJ*, BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
  return FALSE;
}
BOOL GErrorDeviceNT::realizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return FALSE; }
ULONG GErrorDeviceNT::escapeOnSurface(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GErrorDeviceNT::escape(ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GErrorDeviceNT::drawEscapeOnSurface(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }
ULONG GErrorDeviceNT::drawEscape(ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }
ULONG GErrorDeviceNT::fontManagementOnSurface(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GErrorDeviceNT::fontManagement(FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
BOOL GErrorDeviceNT::startBandingOnSurface(SURFOBJ*, POINTL*) { return FALSE; }
BOOL GErrorDeviceNT::startBanding(POINTL*) { return FALSE; }
BOOL GErrorDeviceNT::nextBandOnSurface(SURFOBJ*, POINTL*) { return FALSE; }
BOOL GErrorDeviceNT::nextBand(POINTL*) { return FALSE; }
void GErrorDeviceNT::reset(GPrinterDescription*) {}
void GErrorDeviceNT::releaseResources() {}
