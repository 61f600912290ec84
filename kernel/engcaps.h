#ifndef KERNEL_ENGCAPS_H
#define KERNEL_ENGCAPS_H

// The engine's two capability records, GDIINFO and DEVINFO, and the page
// geometry that sizes both the records and the device surface.
//
// These are plain code over inputs the NT device gathers when the engine
// enables a PDEV: the media of the job's paper, the resolutions of the
// DEVMODE object, the device's colour and rendering modes and flags, and
// the text capabilities of the printer configuration. The device's
// pageGeometry, fillGdiInfo and fillDevInfo forward here.
//
// Both records are built whole in a local copy and handed over only on
// success, and only as many bytes as the engine's byte count allows: a
// failed fill leaves the engine's record as it was, and a short record is
// never written past its end.

#include <cstdint>
#include <optional>

#include "host/engine/ddi.h"

class GMedia;
class MPersistentObject;

// The page as the engine sees it: the printable area in millimetres and in
// pixels, and the sheet with the printable area's place on it, in pixels.
struct GPageGeometry {
  SIZEL sizeMm = {0, 0};
  SIZEL extent = {0, 0};
  SIZEL physicalSize = {0, 0};
  POINTL physicalOffset = {0, 0};
};

// What the device gathers for the two records.
struct GEngineCapsInputs {
  // The version the DEVMODE object reports in dmSpecVersion.
  uint32_t specVersion = 0;
  // From pageGeometry; none when the job's paper has no media.
  std::optional<GPageGeometry> geometry;
  // Dots per inch: the DEVMODE's resolved print quality and its y
  // resolution.
  int32_t xResolution = 0;
  int32_t yResolution = 0;
  // The device's colour mode (1: 24-bit colour), rendering mode (1: the
  // printer language draws; 2 and 3: the raster modes) and bilevel flag.
  int32_t colorMode = 0;
  int32_t renderingMode = 1;
  bool bilevel = false;
  // The device base's two-colour flag, and job setting 518 inside the
  // printer options (365) holding 1: either makes a two-colour device.
  bool twoColor = false;
  bool twoColorSetting = false;
  // The driver instance's flag word.
  uint32_t instanceFlags = 0;
  // From textCaps; none when the printer configuration has no capability
  // sets (112).
  std::optional<FLONG> textCaps;
};

namespace EngineCaps {

// The driver instance's flags these records read.
constexpr uint32_t kFlagGraphicsCaps = 0x4;  // graphics capabilities 0x211F in place of 0x211D
constexpr uint32_t kFlagGrey = 0x80000;       // 8 bits per pixel rather than 1, unless in colour

// 1 with the geometry of the media at the resolutions. 0, with the
// geometry untouched, without media, with a resolution that is not
// positive, or with a negative printable extent (a damaged entry: its
// size in millimetres would wrap).
int32_t pageGeometry(const GMedia* media, int32_t xResolution, int32_t yResolution, GPageGeometry& geometry);

// 1 with the text capabilities of the capability sets 126, 127 and 128
// inside the printer configuration's 112: set 128 in place of 127 when the
// alternate flag is set. 0, with caps untouched, when there is no 112. A
// set that is missing adds nothing.
int32_t textCaps(const MPersistentObject* printerConfig, bool alternate, FLONG& caps);

// Fills the first min(cj, sizeof(GDIINFO)) bytes of the record: 1, or 0
// with the record untouched when there are no text capabilities or no page
// geometry, or a resolution is not positive.
int32_t fillGdiInfo(GDIINFO* record, ULONG cj, const GEngineCapsInputs& inputs);

// Fills the first min(cj, sizeof(DEVINFO)) bytes of the record: 1, or 0
// with the record untouched when the default palette cannot be made in
// rendering mode 1. On 1, palette is the default palette made (null when
// none was), which the caller owns and gives back with EngDeletePalette
// however much of the record it reached the engine through.
int32_t fillDevInfo(DEVINFO* record, ULONG cj, const GEngineCapsInputs& inputs, HPALETTE& palette);

}  // namespace EngineCaps

#endif
