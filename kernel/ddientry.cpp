// The DDI entries of the driver's table: the frame around the NT device.
//
// The PDEV entries reach the device through the PDEV record, every other
// entry through the device surface the engine hands it. A surface that is
// not the device surface (an engine bitmap) leads to no device, and the
// entry answers its failure value. Exceptions never leave an entry: each
// answers what its answer held when one was thrown, which for the drawing
// entries is TRUE once the device was found.

#include "kernel/ddientry.h"

#include <cstring>
#include <new>

#include "device/drvrsrvr.h"
#include "kernel/descnt.h"
#include "kernel/devicent.h"

namespace {

// DrvFontManagement without a surface: asked whether escape 513 is
// supported, the driver answers whether its jobs are PostScript.
constexpr ULONG kPostScriptEscape = 513;

// What DrvCopyBits paints a target that is no device surface with: white.
constexpr ULONG kEraseColor = 0xFFFFFFFF;
// The opaque rectangle of a text call drawn without its glyphs: the brush
// copied onto the target.
constexpr ULONG kPatternCopy = 0xF0F0;
// The stretch mode the engine draws onto the band with: halftoning.
constexpr ULONG kHalftoneStretch = 4;

// Ends a draw onto the band surface however the call leaves: every call
// that got the band's surface gives it back.
class BandDraw {
 public:
  BandDraw(GDeviceNT& device, int32_t route)
      : band_(route == kDdiRouteBand || route == kDdiRouteBandNoText ? &device.bandSurface() : nullptr) {}
  ~BandDraw() {
    if (band_) band_->endDraw();
  }
  BandDraw(const BandDraw&) = delete;
  BandDraw& operator=(const BandDraw&) = delete;

 private:
  GBandSurfaceNT* band_;
};

// Undoes a PDEV that was registered but could not be enabled: the device
// forgets the record, leaves the driver server as DrvDisablePDEV takes it
// out, and only then is the record freed, so nothing is left pointing at
// it.
void abandonPdev(GDeviceNT* device, uint32_t handle, GPdevRecordNT* record) {
  if (device) {
    try {
      if (device->pdevRecord() == record) device->setPdevRecord(nullptr);
    } catch (...) {
    }
  }
  try {
    if (GDriverServer* server = gDdiDriverServer()) server->removeDevice(handle);
  } catch (...) {
  }
  delete record;
}

}  // namespace

uint32_t gDdiPostScriptFlag = 0;

int32_t ddiSurfaceRoute(GDeviceNT* device, SURFOBJ*& surface, int32_t kind) {
  if (!surface || surface->iType != STYPE_DEVICE) return kDdiRouteNotDevice;
  if (!device || kind == kDdiKindLookup) return kDdiRouteDevice;

  GBandSurfaceNT& band = device->bandSurface();
  int32_t route = kDdiRouteDevice;
  switch (device->renderingMode()) {
    case 2:
      if (kind == kDdiKindText)
        route = !band.isBanding() || band.isFirstBand() ? kDdiRouteDevice : kDdiRouteBandNoText;
      else
        route = kDdiRouteBand;
      break;
    case 3:
      route = kDdiRouteBand;
      break;
    default:
      // The device renders everything; text beyond the first band has been
      // recorded already.
      if (kind == kDdiKindText && band.isBanding() && !band.isFirstBand()) route = kDdiRouteNothing;
      break;
  }
  if (route == kDdiRouteBand || route == kDdiRouteBandNoText) {
    SURFOBJ* bandSurface = band.beginDraw();
    if (!bandSurface) return kDdiRouteNothing;
    surface = bandSurface;
  }
  return route;
}

// ---- PDEV and surface ------------------------------------------------------------

DHPDEV DrvEnablePDEV(BYTE* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     GDIINFO* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver) {
  GDeviceNT* device = nullptr;
  GPdevRecordNT* record = nullptr;
  uint32_t handle = 0;
  bool registered = false;
  try {
    GDriverServer* server = gDdiDriverServer();
    if (!server) return nullptr;
    // The server takes the description over, whatever it answers.
    auto* description = new (std::nothrow)
        GDeviceDescriptionNT(hDriver, pwszDeviceName ? RWWString(pwszDeviceName) : RWWString(), hdev);
    if (!description) return nullptr;
    GDevice* registeredDevice = server->registerDevice(description, handle);
    if (!registeredDevice) return nullptr;
    registered = true;
    device = dynamic_cast<GDeviceNT*>(registeredDevice);
    if (!device) {
      abandonPdev(nullptr, handle, nullptr);
      return nullptr;
    }

    record = new (std::nothrow) GPdevRecordNT;
    if (!record) {
      abandonPdev(device, handle, nullptr);
      return nullptr;
    }
    record->handle = static_cast<int32_t>(handle);
    record->device = device;

    if (device->enablePDEV(record, pdm, pwszLogAddress, cPat, phsurfPatterns, cjCaps, pdevcaps, cjDevInfo, pdi,
                           hdev, pwszDeviceName, hDriver) != 1) {
      abandonPdev(device, handle, record);
      return nullptr;
    }
    return reinterpret_cast<DHPDEV>(record);
  } catch (...) {
    if (registered) abandonPdev(device, handle, record);
    return nullptr;
  }
}

BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  try {
    GDeviceNT* oldDevice = gDeviceOfPdev(dhpdevOld);
    GDeviceNT* newDevice = gDeviceOfPdev(dhpdevNew);
    if (!oldDevice || !newDevice) return FALSE;
    return oldDevice->resetPDEV(*newDevice) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  try {
    if (GDeviceNT* device = gDeviceOfPdev(dhpdev)) device->completePDEV(hdev);
  } catch (...) {
  }
}

void DrvDisablePDEV(DHPDEV dhpdev) {
  auto* record = reinterpret_cast<GPdevRecordNT*>(dhpdev);
  if (!record) return;
  GDeviceNT* device = record->device;
  // The device's own step may fail; the PDEV goes all the same, since the
  // engine never asks again.
  try {
    if (device) device->disablePDEV();
  } catch (...) {
  }
  abandonPdev(device, static_cast<uint32_t>(record->handle), record);
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  try {
    GDeviceNT* device = gDeviceOfPdev(dhpdev);
    return device ? device->enableSurface() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

void DrvDisableSurface(DHPDEV dhpdev) {
  try {
    if (GDeviceNT* device = gDeviceOfPdev(dhpdev)) device->disableSurface();
  } catch (...) {
  }
}

// ---- documents, pages and bands --------------------------------------------------

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->startDoc(pwszDocName, dwJobId) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->endDoc(fl) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvStartPage(SURFOBJ* pso) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->startPage(pso) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvSendPage(SURFOBJ* pso) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->sendPage() : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->startBanding(pptl) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->nextBand(pptl) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

// ---- drawing -----------------------------------------------------------------------
// On the band routes the engine draws the call onto the band surface; the
// band surface of this build never bands, so those routes are not taken
// yet.

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask, XLATEOBJ* pxlo,
                     ULONG iHatch) {
  try {
    GDeviceNT* device = gDeviceOfSurface(psoTarget);
    if (!device) return FALSE;
    SURFOBJ* surface = psoTarget;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindBrush);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice) return device->realizeBrush(pbo, psoPattern, psoMask, pxlo, iHatch);
    if (route == kDdiRouteBand)
      return device->realizeBrushOnSurface(surface, pbo, psoPattern, psoMask, pxlo, iHatch);
    return FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, ULONG mix) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = pso;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice)
      answer = device->strokePath(ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
    else if (route == kDdiRouteBand)
      answer = EngStrokePath(surface, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
  } catch (...) {
  }
  return answer;
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, ULONG mix,
                 FLONG flOptions) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = pso;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice)
      answer = device->fillPath(ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
    else if (route == kDdiRouteBand)
      answer = EngFillPath(surface, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
  } catch (...) {
  }
  return answer;
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, ULONG mixFill,
                          FLONG flOptions) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = pso;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice)
      answer = device->strokeAndFillPath(ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                         flOptions);
    else if (route == kDdiRouteBand)
      answer = EngStrokeAndFillPath(surface, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                    flOptions);
  } catch (...) {
  }
  return answer;
}

BOOL DrvPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, ULONG mix) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = pso;
    const uint16_t mode = device->renderingMode();
    if (device->paintOverride() && (mode == 2 || mode == 3)) {
      // The override colour replaces the brush's for this one call, and
      // only where the engine draws.
      const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindBrush);
      BandDraw draw(*device, route);
      if (route == kDdiRouteBand && pbo) {
        const ULONG color = pbo->iSolidColor;
        pbo->iSolidColor = device->paintOverrideColor();
        try {
          answer = device->paint(pco, pbo, pptlBrushOrg, mix);
        } catch (...) {
          pbo->iSolidColor = color;
          throw;
        }
        pbo->iSolidColor = color;
      }
      return answer;
    }
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindPaint);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice)
      answer = device->paint(pco, pbo, pptlBrushOrg, mix);
    else if (route == kDdiRouteBand)
      answer = EngPaint(surface, pco, pbo, pptlBrushOrg, mix);
  } catch (...) {
  }
  return answer;
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ULONG rop4) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(psoTrg);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = psoTrg;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice) {
      answer = device->bitBlt(psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
    } else if (route == kDdiRouteBand && prclTrg) {
      const RECTL target = *prclTrg;
      RECTL onBand = target;
      answer = device->bitBltOnSurface(surface, psoSrc, psoMask, pco, pxlo, &onBand, pptlSrc,
                                       target.right - target.left, target.bottom - target.top, pptlMask, pbo,
                                       pptlBrush, rop4);
    }
  } catch (...) {
  }
  return answer;
}

BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, PVOID pca,
                   POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(psoDest);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = psoDest;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice) {
      answer = device->stretchBlt(psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
    } else if (route == kDdiRouteBand && prclDest) {
      // The engine halftones what it stretches onto the band.
      RECTL onBand = *prclDest;
      answer = device->stretchBltOnSurface(surface, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, &onBand, prclSrc,
                                           pptlMask, kHalftoneStretch);
    }
  } catch (...) {
  }
  return answer;
}

BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(psoDest);
    // The device surface copied into an engine bitmap: the driver keeps no
    // pixels of its own, so the target is left white.
    if (!device) return EngEraseSurface(psoDest, prclDest, kEraseColor);
    answer = TRUE;
    SURFOBJ* surface = psoDest;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindDraw);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice) {
      answer = device->copyBits(psoSrc, pco, pxlo, prclDest, pptlSrc);
    } else if (route == kDdiRouteBand && prclDest) {
      const RECTL target = *prclDest;
      RECTL onBand = target;
      answer = device->copyBitsOnSurface(surface, psoSrc, pco, pxlo, &onBand, pptlSrc, target.right - target.left,
                                         target.bottom - target.top);
    }
  } catch (...) {
  }
  return answer;
}

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, ULONG mix) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = pso;
    const int32_t route = ddiSurfaceRoute(device, surface, kDdiKindText);
    if (route == kDdiRouteDevice) {
      answer = device->textOut(pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    } else if (route == kDdiRouteBand) {
      BandDraw draw(*device, route);
      answer = EngTextOut(surface, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    } else if (route == kDdiRouteBandNoText) {
      // The glyphs are the device's; only the opaque rectangle is drawn,
      // through the entry, onto the caller's surface.
      device->bandSurface().endDraw();
      if (prclOpaque)
        answer = DrvBitBlt(pso, nullptr, nullptr, pco, nullptr, prclOpaque, nullptr, nullptr, pboOpaque, pptlOrg,
                           kPatternCopy);
    }
  } catch (...) {
  }
  return answer;
}

// ---- fonts, escapes and colours ----------------------------------------------------

// The device keeps no fonts made from engine fonts, and no font consumer
// record hangs on a font object yet: there is nothing to forget.
void DrvDestroyFont(FONTOBJ*) {}

ULONG DrvFontManagement(SURFOBJ* pso, FONTOBJ* pfo, ULONG iMode, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                        PVOID pvOut) {
  try {
    if (pso) {
      GDeviceNT* device = gDeviceOfSurface(pso);
      return device ? device->fontManagement(pfo, iMode, cjIn, pvIn, cjOut, pvOut) : 0;
    }
    if (iMode != QUERYESCSUPPORT || cjIn != sizeof(ULONG) || !pvIn) return 0;
    ULONG escape;
    std::memcpy(&escape, pvIn, sizeof escape);
    return escape == kPostScriptEscape ? gDdiPostScriptFlag : 0;
  } catch (...) {
    return 0;
  }
}

ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->escape(iEsc, cjIn, pvIn, cjOut, pvOut) : 0;
  } catch (...) {
    return 0;
  }
}

ULONG DrvDrawEscape(SURFOBJ* pso, ULONG iEsc, CLIPOBJ* pco, RECTL* prcl, ULONG cjIn, PVOID pvIn) {
  try {
    GDeviceNT* device = gDeviceOfSurface(pso);
    return device ? device->drawEscape(iEsc, pco, prcl, cjIn, pvIn) : 0;
  } catch (...) {
    return 0;
  }
}

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
