#ifndef CORE_POINTIO_H
#define CORE_POINTIO_H

// A point as stored fields: its x, then its y, each a signed 16-bit value,
// through the field overloads of core/fieldio.h.

#include <cstdint>

#include "core/fieldio.h"
#include "core/geometry.h"

// Reads both coordinates; false, with the point as it was, when either
// cannot be read.
template <class Source>
bool gReadPoint(Source& source, GPoint& point) {
  int16_t x = 0;
  int16_t y = 0;
  if (!gRead(source, x) || !gRead(source, y)) return false;
  point.set(x, y);
  return true;
}

template <class Sink>
void gWritePoint(Sink& sink, const GPoint& point) {
  gWrite(sink, point.x());
  gWrite(sink, point.y());
}

#endif
