#ifndef KERNEL_BANDSURF_H
#define KERNEL_BANDSURF_H

// The band surface of an NT device: in the raster modes the engine draws
// what the printer language cannot take onto a bitmap of the page, one band
// at a time, and the device sends the bitmap with the page.
//
// This build keeps the page whole in the printer language: the surface is
// set up and asked, but it never bands, never scales and makes no bitmap,
// so that the routes that would draw onto it draw nothing. Its interface is
// the one the device, the DDI entries and the band enumeration use.

#include <cstdint>

#include "core/greal.h"
#include "host/engine/ddi.h"

class GDeviceNT;

class GBandSurfaceNT {
 public:
  // What nextBand reports.
  enum BandResult : int32_t { kBandNext = 0, kBandDone = 1 };

  GBandSurfaceNT() = default;
  GBandSurfaceNT(const GBandSurfaceNT&) = delete;
  GBandSurfaceNT& operator=(const GBandSurfaceNT&) = delete;

  // The page's bitmap for a surface of this extent and format; single band
  // keeps the page in one band.
  void setup(GDeviceNT& device, HDEV engineDevice, SIZEL extent, ULONG format, bool singleBand);
  // Takes the other surface's setup (a PDEV reset moves the job).
  void copySetup(const GBandSurfaceNT& other);
  void clearBanding();
  void deleteBitmap();

  bool isBanding() const { return banding_; }
  bool isFirstBand() const { return bandIndex_ == 0; }
  bool isScaled() const { return false; }

  // The surface to draw a call onto, or null when there is none; every
  // call that got one ends with endDraw.
  SURFOBJ* beginDraw();
  void endDraw();

  void startPage(GReal xScale, GReal yScale);
  void flushAtPageEnd();
  void resetBandIndex() { bandIndex_ = 0; }
  // The next band's origin, or kBandDone after the last.
  int32_t nextBand(POINTL* origin, GReal xScale, GReal yScale);

 private:
  bool banding_ = false;
  uint32_t bandIndex_ = 0;
  SIZEL extent_ = {0, 0};
  ULONG format_ = 0;
  bool singleBand_ = false;
};

#endif  // KERNEL_BANDSURF_H
