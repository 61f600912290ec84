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

// The frame of an entry that only passes the call to the device of its
// surface: the failure value without a device, and after an exception.
template <typename Answer, typename Call>
Answer onDeviceOf(SURFOBJ* surface, Answer failure, Call call) {
  try {
    GDeviceNT* device = gDeviceOfSurface(surface);
    return device ? call(*device) : failure;
  } catch (...) {
    return failure;
  }
}

// The frame of a PDEV entry: the failure value without the PDEV's device,
// and after an exception.
template <typename Answer, typename Call>
Answer onPdev(DHPDEV pdev, Answer failure, Call call) {
  try {
    GDeviceNT* device = gDeviceOfPdev(pdev);
    return device ? call(*device) : failure;
  } catch (...) {
    return failure;
  }
}

// The same for an entry that answers nothing.
template <typename Call>
void onPdev(DHPDEV pdev, Call call) {
  try {
    if (GDeviceNT* device = gDeviceOfPdev(pdev)) call(*device);
  } catch (...) {
  }
}

// The frame of a drawing entry: FALSE without a device, TRUE once it is
// found, then the answer of the device's handler (route 0) or of the draw
// onto the band surface (route 2), whichever the call takes. An exception
// leaves the answer as it was.
template <typename OnDevice, typename OnBand>
BOOL drawingFrame(SURFOBJ* target, int32_t kind, OnDevice onDevice, OnBand onBand) {
  BOOL answer = FALSE;
  try {
    GDeviceNT* device = gDeviceOfSurface(target);
    if (!device) return FALSE;
    answer = TRUE;
    SURFOBJ* surface = target;
    const int32_t route = ddiSurfaceRoute(device, surface, kind);
    BandDraw draw(*device, route);
    if (route == kDdiRouteDevice)
      answer = onDevice(*device);
    else if (route == kDdiRouteBand)
      answer = onBand(*device, surface);
  } catch (...) {
  }
  return answer;
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
    if (!registeredDevice) {
      // The printer's data file was refused: the server reported which and
      // why on the debug output; the engine learns that the data is bad.
      if (server->configurationRefused()) EngSetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
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
  return onPdev(dhpdevOld, BOOL{FALSE}, [&](GDeviceNT& oldDevice) -> BOOL {
    GDeviceNT* newDevice = gDeviceOfPdev(dhpdevNew);
    return newDevice && oldDevice.resetPDEV(*newDevice) ? TRUE : FALSE;
  });
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  onPdev(dhpdev, [&](GDeviceNT& device) { device.completePDEV(hdev); });
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
  return onPdev(dhpdev, HSURF{nullptr}, [](GDeviceNT& device) { return device.enableSurface(); });
}

void DrvDisableSurface(DHPDEV dhpdev) {
  onPdev(dhpdev, [](GDeviceNT& device) { device.disableSurface(); });
}

// ---- documents, pages and bands --------------------------------------------------

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  return onDeviceOf(pso, BOOL{FALSE}, [&](GDeviceNT& device) { return device.startDoc(pwszDocName, dwJobId); });
}

BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl) {
  return onDeviceOf(pso, BOOL{FALSE}, [&](GDeviceNT& device) { return device.endDoc(fl); });
}

BOOL DrvStartPage(SURFOBJ* pso) {
  return onDeviceOf(pso, BOOL{FALSE}, [&](GDeviceNT& device) { return device.startPage(pso); });
}

BOOL DrvSendPage(SURFOBJ* pso) {
  return onDeviceOf(pso, BOOL{FALSE}, [](GDeviceNT& device) { return device.sendPage(); });
}

BOOL DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  return onDeviceOf(pso, BOOL{FALSE}, [&](GDeviceNT& device) { return device.startBanding(pptl); });
}

BOOL DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  return onDeviceOf(pso, BOOL{FALSE}, [&](GDeviceNT& device) { return device.nextBand(pptl); });
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
  return drawingFrame(
      pso, kDdiKindDraw,
      [&](GDeviceNT& device) { return device.strokePath(ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix); },
      [&](GDeviceNT&, SURFOBJ* band) {
        return EngStrokePath(band, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
      });
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, ULONG mix,
                 FLONG flOptions) {
  return drawingFrame(
      pso, kDdiKindDraw,
      [&](GDeviceNT& device) { return device.fillPath(ppo, pco, pbo, pptlBrushOrg, mix, flOptions); },
      [&](GDeviceNT&, SURFOBJ* band) { return EngFillPath(band, ppo, pco, pbo, pptlBrushOrg, mix, flOptions); });
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, ULONG mixFill,
                          FLONG flOptions) {
  return drawingFrame(
      pso, kDdiKindDraw,
      [&](GDeviceNT& device) {
        return device.strokeAndFillPath(ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                        flOptions);
      },
      [&](GDeviceNT&, SURFOBJ* band) {
        return EngStrokeAndFillPath(band, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                    flOptions);
      });
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
  return drawingFrame(
      psoTrg, kDdiKindDraw,
      [&](GDeviceNT& device) {
        return device.bitBlt(psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
      },
      [&](GDeviceNT& device, SURFOBJ* band) -> BOOL {
        if (!prclTrg) return TRUE;
        RECTL onBand = *prclTrg;
        return device.bitBltOnSurface(band, psoSrc, psoMask, pco, pxlo, &onBand, pptlSrc,
                                      prclTrg->right - prclTrg->left, prclTrg->bottom - prclTrg->top, pptlMask,
                                      pbo, pptlBrush, rop4);
      });
}

BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, PVOID pca,
                   POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
  return drawingFrame(
      psoDest, kDdiKindDraw,
      [&](GDeviceNT& device) {
        return device.stretchBlt(psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
      },
      [&](GDeviceNT& device, SURFOBJ* band) -> BOOL {
        if (!prclDest) return TRUE;
        // The engine halftones what it stretches onto the band.
        RECTL onBand = *prclDest;
        return device.stretchBltOnSurface(band, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, &onBand, prclSrc,
                                          pptlMask, kHalftoneStretch);
      });
}

BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc) {
  // The device surface copied into an engine bitmap: the driver keeps no
  // pixels of its own, so the target is left white.
  if (!gDeviceOfSurface(psoDest)) return EngEraseSurface(psoDest, prclDest, kEraseColor);
  return drawingFrame(
      psoDest, kDdiKindDraw, [&](GDeviceNT& device) { return device.copyBits(psoSrc, pco, pxlo, prclDest, pptlSrc); },
      [&](GDeviceNT& device, SURFOBJ* band) -> BOOL {
        if (!prclDest) return TRUE;
        RECTL onBand = *prclDest;
        return device.copyBitsOnSurface(band, psoSrc, pco, pxlo, &onBand, pptlSrc, prclDest->right - prclDest->left,
                                        prclDest->bottom - prclDest->top);
      });
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
  if (pso)
    return onDeviceOf(pso, ULONG{0},
                      [&](GDeviceNT& device) { return device.fontManagement(pfo, iMode, cjIn, pvIn, cjOut, pvOut); });
  if (iMode != QUERYESCSUPPORT || cjIn != sizeof(ULONG) || !pvIn) return 0;
  ULONG escape;
  std::memcpy(&escape, pvIn, sizeof escape);
  return escape == kPostScriptEscape ? gDdiPostScriptFlag : 0;
}

ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  return onDeviceOf(pso, ULONG{0}, [&](GDeviceNT& device) { return device.escape(iEsc, cjIn, pvIn, cjOut, pvOut); });
}

ULONG DrvDrawEscape(SURFOBJ* pso, ULONG iEsc, CLIPOBJ* pco, RECTL* prcl, ULONG cjIn, PVOID pvIn) {
  return onDeviceOf(pso, ULONG{0}, [&](GDeviceNT& device) { return device.drawEscape(iEsc, pco, prcl, cjIn, pvIn); });
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
