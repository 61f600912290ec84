#ifndef KERNEL_DDIENTRY_H
#define KERNEL_DDIENTRY_H

// The DDI entries the driver hands the graphics engine: DrvEnableDriver
// gives out this table, the engine finds each entry by its index.
//
// Every entry is a thin frame around the NT device behind the engine's PDEV
// or surface (kernel/devicent.h): it finds the device, decides for drawing
// calls where the call is drawn (ddiSurfaceRoute), calls the device's
// handler and turns any exception into the entry's failure value. Drawing
// entries answer TRUE once the device is found, whatever happens after.

#include <cstdint>

#include "host/engine/ddi.h"

class GDeviceNT;
class GDriverServer;

constexpr ULONG kDdiFunctionCount = 26;
extern const DRVFN gDdiFunctionTable[kDdiFunctionCount];

// 1 when the jobs of the last PDEV enabled are PostScript, else 0; what
// DrvFontManagement answers without a surface when asked about escape 513.
extern uint32_t gDdiPostScriptFlag;

// The driver server DrvEnableDriver made, which the PDEV entries register
// their devices with; null while the driver is not enabled.
GDriverServer* gDdiDriverServer();

// What a drawing entry asks ddiSurfaceRoute about.
enum GDdiRequestKind : int32_t {
  kDdiKindLookup = 0,  // only whether the surface is a device surface
  kDdiKindText = 2,
  kDdiKindBrush = 3,   // brush realisation
  kDdiKindDraw = 4,    // paths and bit-block transfers
  kDdiKindPaint = 5,
};

// Where a call on a surface is drawn.
enum GDdiRoute : int32_t {
  kDdiRouteDevice = 0,     // the device records the call itself
  kDdiRouteNotDevice = 1,  // the surface is not a device surface
  kDdiRouteBand = 2,       // the engine draws onto the band surface
  kDdiRouteBandNoText = 3, // like 2, but only what is not glyphs
  kDdiRouteNothing = 4,    // nothing is drawn
};

// The route of a call of the given kind on the surface, for the device
// (which may be null). For kDdiRouteBand and kDdiRouteBandNoText the surface
// has been replaced by the band surface's, and the caller ends the call with
// the band surface's endDraw; when the band surface has nothing to draw onto
// the answer is kDdiRouteNothing instead.
int32_t ddiSurfaceRoute(GDeviceNT* device, SURFOBJ*& surface, int32_t kind);

#endif
