#include "core/geometry.h"

#include <algorithm>

namespace {

// Wrapping 16-bit arithmetic: the sum or difference is taken in int and
// brought back modulo 2^16.
int16_t wrap16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

}  // namespace

// ---- GRect ---------------------------------------------------------------------

int16_t GRect::width() const { return wrap16(right() - left()); }
int16_t GRect::height() const { return wrap16(bottom() - top()); }

void GRect::offset(const GPoint& by) {
  topLeft_.set(wrap16(left() + by.x()), wrap16(top() + by.y()));
  bottomRight_.set(wrap16(right() + by.x()), wrap16(bottom() + by.y()));
}

void GRect::normalize() {
  if (right() < left()) {
    int16_t l = left();
    setLeft(right());
    setRight(l);
  }
  if (bottom() < top()) {
    int16_t t = top();
    setTop(bottom());
    setBottom(t);
  }
}

bool GRect::isEmpty() const { return left() == right() || top() == bottom(); }

GRect GRect::intersection(const GRect& other) const {
  int16_t l = std::max(left(), other.left());
  int16_t t = std::max(top(), other.top());
  int16_t r = std::min(right(), other.right());
  int16_t b = std::min(bottom(), other.bottom());
  if (l < r && t < b) return GRect(l, t, r, b);
  return GRect();
}

// ---- GAngle --------------------------------------------------------------------

GReal GAngle::normalized(GReal degrees) { return gNormalizedDegrees(degrees); }

GTrigReal GAngle::sine() const { return gSineOfDegrees(degrees_); }

GTrigReal GAngle::cosine() const { return gCosineOfDegrees(degrees_); }
