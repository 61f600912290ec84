#include "core/geometry.h"

#include <cmath>
#include <algorithm>

namespace {

// Wrapping 16-bit arithmetic: the sum or difference is taken in int and
// brought back modulo 2^16.
int16_t wrap16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// The single-precision degrees-to-radians factor; the angle code has always
// used this float constant rather than pi/180 in double, and its results
// (cosine of 90 not quite 0) follow from it.
constexpr float degreesToRadians = 0.017453292f;

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

float GAngle::normalized(float degrees) {
  long double d = degrees;
  // A negative zero is in range and kept as it is.
  if (d >= 0.0L && d < 360.0L) return degrees;
  if (std::isnan(d) || std::isinf(d)) return 0.0f;
  // The remainder is exact, so this is the value that stepping by whole
  // turns would reach, without a step count that grows with the angle.
  // Like the single step it replaces, a negative remainder gains one turn
  // in extended precision before rounding to single; an exact multiple
  // gives +0, as the stepping would.
  long double r = std::fmod(d, 360.0L);
  if (r < 0.0L) r += 360.0L;
  if (r == 0.0L) r = 0.0L;
  return static_cast<float>(r);
}

double GAngle::sine() const {
  return static_cast<double>(std::sin(static_cast<long double>(degrees_) * degreesToRadians));
}

double GAngle::cosine() const {
  return static_cast<double>(std::cos(static_cast<long double>(degrees_) * degreesToRadians));
}
