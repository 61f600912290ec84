#include "kernel/devsetnt.h"

#include "core/attrib.h"
#include "kernel/devmode.h"
#include "kernel/runtime.h"

// ---------------------------------------------------------------- the forms list

GFormListNT::GFormListNT(HANDLE) {}
GFormListNT::~GFormListNT() { kernelHeapFree(buffer_); }
const FORM_INFO_1* GFormListNT::at(uint32_t) const { return nullptr; }
RWWString GFormListNT::name(uint32_t) const { return RWWString(); }

// ---------------------------------------------------------------- the settings part

void GDeviceSettingsNT::DevModeDeleter::operator()(GPrinterDevModeNT* devmode) const { delete devmode; }

GDeviceSettingsNT::GDeviceSettingsNT() = default;
GDeviceSettingsNT::~GDeviceSettingsNT() = default;

int32_t GDeviceSettingsNT::createDevMode(const uint8_t*) { return 0; }
int32_t GDeviceSettingsNT::applySettings(GAttributeComposite*, int32_t) { return 0; }
GAttributeComposite* GDeviceSettingsNT::loadStoredPart(uint32_t) { return nullptr; }
int32_t GDeviceSettingsNT::saveStoredPart(MPersistentObject*) { return 0; }
GAttributeComposite* GDeviceSettingsNT::defaultSettings() { return nullptr; }
GAttributeComposite* GDeviceSettingsNT::assembleSettings() { return defaultSettings(); }
int32_t GDeviceSettingsNT::formFits(int32_t, int16_t, int16_t, int32_t, int32_t) { return 0; }
int32_t GDeviceSettingsNT::isServedPrinter() { return 0; }
int32_t GDeviceSettingsNT::secondCodeFor(uint16_t formIndex, int16_t& mediaId) {
  return GDriverInstance::secondCodeFor(formIndex, mediaId);
}
int32_t GDeviceSettingsNT::firstCodeFor(int16_t mediaId, uint16_t& formIndex) {
  return GDriverInstance::firstCodeFor(mediaId, formIndex);
}
int32_t GDeviceSettingsNT::addCustomMediaSize(GCustomMediaSize*, GAttributeComposite*) { return 0; }
int32_t GDeviceSettingsNT::enumeratePapers(GPaperCallback, void*, GAttributeComposite*) { return 0; }
int32_t GDeviceSettingsNT::enumerateFittingPapers(GPaperCallback, void*, int32_t, GAttributeComposite*) { return 0; }
int32_t GDeviceSettingsNT::checkMediaId(GAttributeComposite* settings, int16_t mediaId, int16_t orientation,
                                        int16_t xResolution, int16_t yResolution) {
  return GDriverInstance::checkMediaId(settings, mediaId, orientation, xResolution, yResolution);
}
GAttributeComposite* GDeviceSettingsNT::restoreDevModeSettings() { return nullptr; }
int32_t GDeviceSettingsNT::mediaIdForFormIndex(int32_t, int16_t&) { return 0; }
int32_t GDeviceSettingsNT::formIndexForMediaId(int16_t, int32_t&) { return 0; }
int32_t GDeviceSettingsNT::formFitsRange(const FORM_INFO_1&, int16_t, int16_t, int32_t, int32_t) { return 0; }
int32_t GDeviceSettingsNT::formMatchesMedia(const FORM_INFO_1&, const GMedia&, int32_t, int32_t) { return 0; }
int32_t GDeviceSettingsNT::formToPaperCheck(const GFormListNT&, uint32_t, int16_t, int16_t, int32_t, int32_t) {
  return 0;
}
int32_t GDeviceSettingsNT::formsToCustomSizes(GAttributeComposite*) { return 0; }
GMedia* GDeviceSettingsNT::mediaForId(int16_t, int16_t, int16_t, int32_t) { return nullptr; }
GMedia* GDeviceSettingsNT::mediaForFormIndex(int32_t, int16_t, int16_t, int32_t) { return nullptr; }
