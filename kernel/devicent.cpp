// Placeholder bodies: every handler answers its failure value.
#include "kernel/devicent.h"

#include "kernel/devmode.h"

GDeviceNT::GDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                     const RWWString& portName)
    : printer_(printer), forms_(*this) {
  setDeviceName(deviceName);
  setModelName(modelName);
  setPortName(portName);
}

GDeviceNT::~GDeviceNT() = default;

int32_t GDeviceNT::enablePDEV(GPdevRecordNT*, const uint8_t*, LPWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG,
                              DEVINFO*, HDEV, LPWSTR, HANDLE) {
  return 0;
}
int32_t GDeviceNT::resetPDEV(GDeviceNT&) { return 0; }
void GDeviceNT::completePDEV(HDEV) {}
void GDeviceNT::disablePDEV() {}
HSURF GDeviceNT::enableSurface() { return nullptr; }
void GDeviceNT::disableSurface() {}
BOOL GDeviceNT::startDocOnSurface(SURFOBJ*, LPWSTR, DWORD) { return FALSE; }
BOOL GDeviceNT::startDoc(LPWSTR, DWORD) { return FALSE; }
BOOL GDeviceNT::endDocOnSurface(SURFOBJ*, FLONG) { return FALSE; }
BOOL GDeviceNT::endDoc(FLONG) { return FALSE; }
BOOL GDeviceNT::startPageOnSurface(SURFOBJ*) { return FALSE; }
BOOL GDeviceNT::startPage(SURFOBJ*) { return FALSE; }
BOOL GDeviceNT::sendPageOnSurface(SURFOBJ*) { return FALSE; }
BOOL GDeviceNT::sendPage() { return FALSE; }
BOOL GDeviceNT::textOut(STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  return TRUE;
}
BOOL GDeviceNT::strokePath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) { return TRUE; }
BOOL GDeviceNT::fillPath(PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) { return TRUE; }
BOOL GDeviceNT::strokeAndFillPath(PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*, ULONG,
                                  FLONG) {
  return TRUE;
}
BOOL GDeviceNT::paint(CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) { return TRUE; }
BOOL GDeviceNT::bitBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, LONG, LONG,
                                POINTL*, BRUSHOBJ*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GDeviceNT::bitBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
                       ULONG) {
  return TRUE;
}
BOOL GDeviceNT::stretchBltOnSurface(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*,
                                    RECTL*, POINTL*, ULONG) {
  return FALSE;
}
BOOL GDeviceNT::stretchBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*, POINTL*,
                           ULONG) {
  return TRUE;
}
BOOL GDeviceNT::copyBitsOnSurface(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, LONG, LONG) {
  return FALSE;
}
BOOL GDeviceNT::copyBits(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return TRUE; }
BOOL GDeviceNT::realizeBrushOnSurface(SURFOBJ*, BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return TRUE; }
BOOL GDeviceNT::realizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return FALSE; }
ULONG GDeviceNT::escapeOnSurface(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::escape(ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::drawEscapeOnSurface(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::drawEscape(ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::fontManagementOnSurface(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG GDeviceNT::fontManagement(FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
BOOL GDeviceNT::startBandingOnSurface(SURFOBJ*, POINTL*) { return FALSE; }
BOOL GDeviceNT::startBanding(POINTL*) { return FALSE; }
BOOL GDeviceNT::nextBandOnSurface(SURFOBJ*, POINTL*) { return FALSE; }
BOOL GDeviceNT::nextBand(POINTL*) { return FALSE; }
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

GMedia* GDeviceNT::mediaForId(int16_t) { return nullptr; }
GMedia* GDeviceNT::mediaForIdAt(int16_t, int16_t, int16_t, int32_t) { return nullptr; }
GAttributeComposite* GDeviceNT::createSettings() { return assembleSettings(); }
void GDeviceNT::reset(GPrinterDescription* description) { GDevice::reset(description); }

int32_t GDeviceNT::pageGeometry(GPageGeometry&) { return 0; }
GEngineCapsInputs GDeviceNT::capsInputs() { return GEngineCapsInputs(); }
int32_t GDeviceNT::fillGdiInfo(GDIINFO*, ULONG) { return 0; }
int32_t GDeviceNT::fillDevInfo(DEVINFO*, ULONG) { return 0; }
void GDeviceNT::refreshSettings() {}

GDeviceNT* gDeviceOfPdev(DHPDEV pdev) {
  auto* record = reinterpret_cast<GPdevRecordNT*>(pdev);
  return record ? record->device : nullptr;
}

GDeviceNT* gDeviceOfSurface(SURFOBJ* surface) {
  if (!surface || surface->iType != STYPE_DEVICE) return nullptr;
  return gDeviceOfPdev(surface->dhpdev);
}
