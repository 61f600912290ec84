// The DDI entries of the driver's table. Each answers the engine's failure
// value for its entry (NULL, FALSE, 0, or nothing) until the NT device stands
// behind it; what the entry does needs no device answers already.

#include "kernel/ddientry.h"

#include <cstring>

namespace {

// DrvFontManagement without a surface: asked whether escape 513 is
// supported, the driver answers whether its jobs are PostScript.
constexpr ULONG kPostScriptEscape = 513;

}  // namespace

uint32_t gDdiPostScriptFlag = 0;

// ---- PDEV and surface ------------------------------------------------------------

// The device behind the PDEV entries comes with the NT device.
DHPDEV DrvEnablePDEV(BYTE*, LPWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG, DEVINFO*, HDEV, LPWSTR, HANDLE) {
  return nullptr;
}
BOOL DrvResetPDEV(DHPDEV, DHPDEV) { return FALSE; }
void DrvCompletePDEV(DHPDEV, HDEV) {}
void DrvDisablePDEV(DHPDEV) {}
HSURF DrvEnableSurface(DHPDEV) { return nullptr; }
void DrvDisableSurface(DHPDEV) {}

// ---- documents, pages and bands --------------------------------------------------

// The device these entries reach through the surface comes with the NT device.
BOOL DrvStartDoc(SURFOBJ*, LPWSTR, DWORD) { return FALSE; }
BOOL DrvEndDoc(SURFOBJ*, FLONG) { return FALSE; }
BOOL DrvStartPage(SURFOBJ*) { return FALSE; }
BOOL DrvSendPage(SURFOBJ*) { return FALSE; }
BOOL DrvStartBanding(SURFOBJ*, POINTL*) { return FALSE; }
BOOL DrvNextBand(SURFOBJ*, POINTL*) { return FALSE; }

// ---- drawing -----------------------------------------------------------------------

// The device that records or draws these calls comes with the NT device.
BOOL DrvRealizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) { return FALSE; }
BOOL DrvStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) {
  return FALSE;
}
BOOL DrvFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) { return FALSE; }
BOOL DrvStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*,
                          ULONG, FLONG) {
  return FALSE;
}
BOOL DrvPaint(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) { return FALSE; }
BOOL DrvBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
               ULONG) {
  return FALSE;
}
BOOL DrvStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*, POINTL*,
                   ULONG) {
  return FALSE;
}
BOOL DrvCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return FALSE; }
BOOL DrvTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, ULONG) {
  return FALSE;
}

// ---- fonts, escapes and colours ----------------------------------------------------

// The fonts made from an engine font come with the NT device's font stores.
void DrvDestroyFont(FONTOBJ*) {}

// With a surface, the device that answers comes with the NT device.
ULONG DrvFontManagement(SURFOBJ* pso, FONTOBJ*, ULONG iMode, ULONG cjIn, PVOID pvIn, ULONG, PVOID) {
  if (pso) return 0;
  if (iMode != QUERYESCSUPPORT || cjIn != sizeof(ULONG) || !pvIn) return 0;
  ULONG escape;
  std::memcpy(&escape, pvIn, sizeof escape);
  return escape == kPostScriptEscape ? gDdiPostScriptFlag : 0;
}

// The device that answers escapes comes with the NT device.
ULONG DrvEscape(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return 0; }
ULONG DrvDrawEscape(SURFOBJ*, ULONG, CLIPOBJ*, RECTL*, ULONG, PVOID) { return 0; }

// Every colour is left to the engine's halftoning.
ULONG DrvDitherColor(DHPDEV, ULONG, ULONG, ULONG*) { return DCR_HALFTONE; }

// ---- the table ---------------------------------------------------------------------

#define DDI_ENTRY(name) \
  { INDEX_##name, reinterpret_cast<PFN>(&name) }

const DRVFN gDdiFunctionTable[kDdiFunctionCount] = {
    DDI_ENTRY(DrvEnablePDEV),    DDI_ENTRY(DrvResetPDEV),         DDI_ENTRY(DrvCompletePDEV),
    DDI_ENTRY(DrvDisablePDEV),   DDI_ENTRY(DrvEnableSurface),     DDI_ENTRY(DrvDisableSurface),
    DDI_ENTRY(DrvStartDoc),      DDI_ENTRY(DrvEndDoc),            DDI_ENTRY(DrvStartPage),
    DDI_ENTRY(DrvSendPage),      DDI_ENTRY(DrvRealizeBrush),      DDI_ENTRY(DrvStrokePath),
    DDI_ENTRY(DrvFillPath),      DDI_ENTRY(DrvStrokeAndFillPath), DDI_ENTRY(DrvPaint),
    DDI_ENTRY(DrvBitBlt),        DDI_ENTRY(DrvStretchBlt),        DDI_ENTRY(DrvCopyBits),
    DDI_ENTRY(DrvTextOut),       DDI_ENTRY(DrvDestroyFont),       DDI_ENTRY(DrvFontManagement),
    DDI_ENTRY(DrvEscape),        DDI_ENTRY(DrvDrawEscape),        DDI_ENTRY(DrvStartBanding),
    DDI_ENTRY(DrvNextBand),      DDI_ENTRY(DrvDitherColor),
};

#undef DDI_ENTRY
