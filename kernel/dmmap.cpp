// The DEVMODE's public fields and the settings tree, both ways, and the
// field-by-field merge of a foreign DEVMODE.

#include "kernel/devmode.h"
#include "kernel/devsetnt.h"

int32_t GDevModeNT::settingsToPublic(GAttributeComposite*, uint8_t*) { return 1; }
int32_t GDevModeNT::publicToSettings(const uint8_t*, GAttributeComposite*) { return 1; }
int32_t GDevModeNT::mergeFrom(const uint8_t*, size_t& size) {
  size = 0;
  return 0;
}
int32_t GDevModeNT::mergeOrientation(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergePrintQuality(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergePaperSize(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeDefaultSource(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeCopies(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeMediaAndDither(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeColor(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeDuplex(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeCollate(const GDevModeView&) { return 1; }
int32_t GDevModeNT::mergeFormName(const GDevModeView&) { return 1; }
int32_t GDevModeNT::qualityToResolution(int16_t, int16_t&, int16_t&, int16_t&) { return 0; }
int32_t GDevModeNT::resolutionToQuality(int16_t, int16_t&) { return 0; }
int32_t GDevModeNT::checkFormName(const RWWString&, int16_t, int16_t, int32_t) { return 0; }
int32_t GDevModeNT::checkFormNameAlternate(const RWWString&, int16_t, int16_t, int32_t) { return 0; }
int32_t GDevModeNT::sourceToTrayName(GAttributeComposite*, int16_t, RWCString&) { return 0; }
int32_t GDevModeNT::trayNameToSource(GAttributeComposite*, const RWCString&, int16_t&) { return 0; }

int32_t GPrinterDevModeNT::settingsToPublic(GAttributeComposite* settings, uint8_t* devmode) {
  return GDevModeNT::settingsToPublic(settings, devmode);
}
int32_t GPrinterDevModeNT::publicToSettings(const uint8_t* devmode, GAttributeComposite* settings) {
  return GDevModeNT::publicToSettings(devmode, settings);
}
int32_t GPrinterDevModeNT::mergeFormName(const GDevModeView& foreign) { return GDevModeNT::mergeFormName(foreign); }
int32_t GPrinterDevModeNT::formIndexByName(const RWWString&, int32_t&, int16_t, int16_t, int32_t, int32_t) {
  return 0;
}
int32_t GPrinterDevModeNT::formIndexForName(const RWWString&, int32_t&, int32_t) { return 0; }
