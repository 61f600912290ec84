#include "kernel/bandsurf.h"

void GBandSurfaceNT::setup(GDeviceNT&, HDEV, SIZEL extent, ULONG format, bool singleBand) {
  extent_ = extent;
  format_ = format;
  singleBand_ = singleBand;
  banding_ = false;
  bandIndex_ = 0;
}

void GBandSurfaceNT::copySetup(const GBandSurfaceNT& other) {
  extent_ = other.extent_;
  format_ = other.format_;
  singleBand_ = other.singleBand_;
  banding_ = other.banding_;
}

void GBandSurfaceNT::clearBanding() { banding_ = false; }

void GBandSurfaceNT::deleteBitmap() {}

SURFOBJ* GBandSurfaceNT::beginDraw() { return nullptr; }

void GBandSurfaceNT::endDraw() {}

void GBandSurfaceNT::startPage(GReal, GReal) { bandIndex_ = 0; }

void GBandSurfaceNT::flushAtPageEnd() {}

// The page is one band, and there is nothing on it to hand out.
int32_t GBandSurfaceNT::nextBand(POINTL* origin, GReal, GReal) {
  if (bandIndex_ > 0) return kBandDone;
  if (origin) *origin = POINTL{0, 0};
  ++bandIndex_;
  return kBandNext;
}
