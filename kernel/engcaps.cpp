#include "kernel/engcaps.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "core/attrids.h"
#include "device/capabil.h"
#include "device/media.h"
#include "device/setread.h"

using SettingRead::lookUp;

namespace {

// Set 126 gives one bit whichever of the other two sets is read.
constexpr uint32_t kCommonCapability = 3;
constexpr FLONG kCommonBit = 0x4000;

// The other text capabilities, from set 127 or 128, and their bits.
struct TextCapBit {
  uint32_t capability;
  FLONG bit;
};
constexpr TextCapBit kTextCapBits[] = {
    {14, 0x0001}, {16, 0x0002}, {15, 0x0004}, {4, 0x0008},  {5, 0x0010},  {6, 0x0020},
    {7, 0x0040},  {8, 0x0080},  {9, 0x0100},  {11, 0x0400}, {12, 0x0800}, {13, 0x1000},
};

constexpr ULONG kRasterPrinter = 2;
// Aspect ratio of the diagonal: the square root of 2, in thousandths.
constexpr uint32_t kDiagonalPerMille = 1414;
constexpr uint32_t kStylePerInch = 25;
constexpr ULONG kDevicePelsDpi = 600;
constexpr ULONG kHalftoneFlags = 2;
constexpr ULONG kHalftoneFormatMode1 = 2;
constexpr ULONG kHalftonePatternMode1 = 5;

constexpr FLONG kGraphicsCaps = 0x211D;
constexpr FLONG kGraphicsCapsFlagged = 0x211F;

// The three default fonts: 10 points at the y resolution.
constexpr LONG kFontWeight = 400;
constexpr BYTE kFixedModern = 0x31;     // fixed pitch, modern family
constexpr BYTE kVariableSwiss = 0x22;   // variable pitch, swiss family

bool contains(const MPersistentObject* sets, uint32_t id, uint32_t capability) {
  const auto* set = dynamic_cast<const GCapabilities*>(lookUp(sets, id));
  return set && set->contains(capability);
}

// 1 << bits, raised to 256 at least; a count whose low 16 bits are all
// clear is lowered by one, so that 24-bit colour reports 0xFFFFFF.
ULONG colourCount(ULONG bitsPerPixel, ULONG planes) {
  const auto depth = static_cast<uint8_t>(bitsPerPixel * planes);
  ULONG colours = depth < 32 ? ULONG{1} << depth : 0;
  colours = std::max<ULONG>(colours, 256);
  if ((colours & 0xFFFF) == 0) --colours;
  return colours;
}

// A 10-point font at the y resolution; the bytes no step sets (character
// set, precisions, quality) stay 0, the defaults.
LOGFONTW defaultFont(int32_t yResolution, const char16_t* face, BYTE pitchAndFamily) {
  LOGFONTW font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = static_cast<LONG>(-(int64_t{10} * yResolution + 36) / 72);
  font.lfWeight = kFontWeight;
  font.lfPitchAndFamily = pitchAndFamily;
  for (size_t i = 0; face[i] && i + 1 < std::size(font.lfFaceName); ++i) font.lfFaceName[i] = face[i];
  return font;
}

// Hands the first min(cj, sizeof) bytes of a record built locally to the
// engine's.
template <class Record>
void copyOut(const Record& built, Record* record, ULONG cj) {
  if (record) std::memcpy(record, &built, std::min<size_t>(cj, sizeof(Record)));
}

}  // namespace

namespace EngineCaps {

int32_t pageGeometry(const GMedia* media, int32_t xResolution, int32_t yResolution, GPageGeometry& geometry) {
  if (!media || xResolution <= 0 || yResolution <= 0) return 0;
  const GPoint& extent = media->printableExtent();
  if (extent.x() < 0 || extent.y() < 0) return 0;
  const auto millimetres = [](int16_t pixels, int32_t resolution) {
    return static_cast<LONG>(uint64_t(pixels) * 254 / (uint64_t(resolution) * 10));
  };
  geometry.sizeMm = {millimetres(extent.x(), xResolution), millimetres(extent.y(), yResolution)};
  geometry.extent = {extent.x(), extent.y()};
  geometry.physicalSize = {media->size().x(), media->size().y()};
  geometry.physicalOffset = {media->printableOrigin().x(), media->printableOrigin().y()};
  return 1;
}

int32_t textCaps(const MPersistentObject* printerConfig, bool alternate, FLONG& caps) {
  const MPersistentObject* sets = lookUp(printerConfig, AttrId::CapabilitySets);
  if (!sets) return 0;
  FLONG found = contains(sets, AttrId::TextCapsCommon, kCommonCapability) ? kCommonBit : 0;
  const uint32_t from = alternate ? AttrId::TextCapsAlternate : AttrId::TextCaps;
  for (const TextCapBit& entry : kTextCapBits)
    if (contains(sets, from, entry.capability)) found |= entry.bit;
  caps = found;
  return 1;
}

int32_t fillGdiInfo(GDIINFO* record, ULONG cj, const GEngineCapsInputs& inputs) {
  if (!inputs.textCaps || !inputs.geometry || inputs.xResolution <= 0 || inputs.yResolution <= 0) return 0;
  const GPageGeometry& page = *inputs.geometry;
  const auto x = static_cast<ULONG>(inputs.xResolution);
  const auto y = static_cast<ULONG>(inputs.yResolution);

  GDIINFO info;
  std::memset(&info, 0, sizeof info);
  info.ulVersion = inputs.specVersion;
  info.ulTechnology = kRasterPrinter;
  info.ulHorzSize = static_cast<ULONG>(page.sizeMm.cx);
  info.ulVertSize = static_cast<ULONG>(page.sizeMm.cy);
  info.ulHorzRes = static_cast<ULONG>(page.extent.cx);
  info.ulVertRes = static_cast<ULONG>(page.extent.cy);
  info.cBitsPixel = inputs.colorMode == 1 ? 24 : (inputs.instanceFlags & kFlagGrey) ? 8 : 1;
  info.cPlanes = 1;
  info.ulNumColors =
      inputs.twoColorSetting || inputs.twoColor ? 2 : colourCount(info.cBitsPixel, info.cPlanes);
  info.flRaster = 0;
  info.ulLogPixelsX = x;
  info.ulLogPixelsY = y;
  info.flTextCaps = *inputs.textCaps;
  info.ulAspectX = x;
  info.ulAspectY = y;
  info.ulAspectXY = static_cast<ULONG>(uint64_t{x} * kDiagonalPerMille / 1000);
  info.xStyleStep = 1;
  info.yStyleStep = 1;
  info.denStyleStep = static_cast<LONG>(x / kStylePerInch);
  info.ptlPhysOffset = page.physicalOffset;
  info.szlPhysSize = page.physicalSize;
  info.ulDevicePelsDPI = kDevicePelsDpi;
  info.ulPrimaryOrder = 0;
  info.flHTFlags = kHalftoneFlags;
  if (inputs.renderingMode == 1) {
    // The printer language draws: the palette registers and the colour
    // description are not the engine's concern.
    info.ulHTOutputFormat = kHalftoneFormatMode1;
    info.ulHTPatternSize = kHalftonePatternMode1;
  }
  // The raster modes' halftone format, palette registers, pattern size and
  // colour description come with the raster tier; until then those fields
  // stay 0.
  copyOut(info, record, cj);
  return 1;
}

int32_t fillDevInfo(DEVINFO* record, ULONG cj, const GEngineCapsInputs& inputs, HPALETTE& palette) {
  DEVINFO info;
  std::memset(&info, 0, sizeof info);
  info.flGraphicsCaps = (inputs.instanceFlags & kFlagGraphicsCaps) ? kGraphicsCapsFlagged : kGraphicsCaps;
  info.lfDefaultFont = defaultFont(inputs.yResolution, u"Courier", kFixedModern);
  info.lfAnsiVarFont = defaultFont(inputs.yResolution, u"Helvetica", kVariableSwiss);
  info.lfAnsiFixFont = defaultFont(inputs.yResolution, u"Courier", kFixedModern);
  info.cFonts = 0;
  HPALETTE made = nullptr;
  if (inputs.renderingMode == 1) {
    // The printer language takes colours as they are: a BGR palette with no
    // entries, and 24-bit dithering.
    made = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    if (!made) return 0;
    info.iDitherFormat = BMF_24BPP;
    info.cxDither = 0;
    info.cyDither = 0;
    info.hpalDefault = made;
  }
  // The raster modes' dither format and size, their palettes and their
  // graphics capabilities come with the raster tier.
  copyOut(info, record, cj);
  palette = made;
  return 1;
}

}  // namespace EngineCaps
