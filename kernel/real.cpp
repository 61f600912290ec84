// The kernel driver's reals: GReal on the engine's software real, and the
// few real functions the framework would otherwise take from the C library.
// Nothing here touches the floating-point unit: values move as bit
// patterns, and the arithmetic is the engine's.
//
// Constants are made inside the functions from their single patterns: the
// kernel build has no namespace-scope object with a constructor.

#include <cstring>

#include "core/greal.h"
#include "host/engine/ddi.h"

namespace {

FLOATOBJ objectOf(const uint32_t (&words)[2]) {
  FLOATOBJ f;
  f.ul1 = words[0];
  f.ul2 = words[1];
  return f;
}

// The single patterns of the constants.
GReal halfPi() { return GReal::fromSingleBits(0x3FC90FDB); }
GReal quarterPi() { return GReal::fromSingleBits(0x3F490FDB); }
GReal pi() { return GReal::fromSingleBits(0x40490FDB); }
GReal twoPi() { return GReal::fromSingleBits(0x40C90FDB); }
// tan(pi / 8): above it the arctangent's argument is moved towards 0.
GReal tanEighthPi() { return GReal::fromSingleBits(0x3ED413CD); }

// Infinities and not-a-number: every exponent bit set.
bool notFinite(const GReal& x) { return (x.singleBits() & 0x7F800000u) == 0x7F800000u; }
bool isNegative(const GReal& x) { return x < GReal(0); }
GReal magnitude(const GReal& x) { return isNegative(x) ? -x : x; }

// The arctangent of t in [0, 1], in radians. Past tan(pi/8) the identity
// atan t = pi/4 + atan((t - 1) / (t + 1)) brings the argument within
// tan(pi/8), where the odd series u - u^3/3 + u^5/5 ... falls below the
// single's precision after eleven terms.
GReal arctangentOfUnitRange(GReal t) {
  GReal base = 0;
  GReal u = t;
  if (t > tanEighthPi()) {
    base = quarterPi();
    u = (t - GReal(1)) / (t + GReal(1));
  }
  const GReal u2 = u * u;
  GReal power = u;
  GReal sum = 0;
  for (int32_t k = 0; k < 11; ++k) {
    const GReal term = power / GReal(2 * k + 1);
    sum = (k % 2 == 0) ? sum + term : sum - term;
    power = power * u2;
  }
  return base + sum;
}

}  // namespace

// ---- GReal ------------------------------------------------------------------

GReal::GReal() : GReal(int32_t{0}) {}

GReal::GReal(int32_t value) : words_{0, 0} { assign(value); }

GReal::GReal(int16_t value) : GReal(static_cast<int32_t>(value)) {}

GReal::GReal(float value) : words_{0, 0} {
  FLOATOBJ f = objectOf(words_);
  FLOATOBJ_SetFloat(&f, std::bit_cast<FLOATL>(value));
  words_[0] = f.ul1;
  words_[1] = f.ul2;
}

GReal GReal::fromSingleBits(uint32_t bits) { return GReal(std::bit_cast<float>(bits)); }

uint32_t GReal::singleBits() const {
  FLOATOBJ f = objectOf(words_);
  return FLOATOBJ_GetFloat(&f);
}

int32_t GReal::integerPart() const {
  FLOATOBJ f = objectOf(words_);
  return FLOATOBJ_GetLong(&f);
}

GReal& GReal::assign(int32_t value) {
  FLOATOBJ f = objectOf(words_);
  FLOATOBJ_SetLong(&f, value);
  words_[0] = f.ul1;
  words_[1] = f.ul2;
  return *this;
}

#define G_REAL_COMBINE(op, service)                \
  GReal& GReal::op(const GReal& other) {           \
    FLOATOBJ f = objectOf(words_);                 \
    FLOATOBJ g = objectOf(other.words_);           \
    service(&f, &g);                               \
    words_[0] = f.ul1;                             \
    words_[1] = f.ul2;                             \
    return *this;                                  \
  }
G_REAL_COMBINE(operator+=, FLOATOBJ_Add)
G_REAL_COMBINE(operator-=, FLOATOBJ_Sub)
G_REAL_COMBINE(operator*=, FLOATOBJ_Mul)
G_REAL_COMBINE(operator/=, FLOATOBJ_Div)
#undef G_REAL_COMBINE

GReal GReal::operator-() const {
  GReal result = *this;
  FLOATOBJ f = objectOf(result.words_);
  FLOATOBJ_Neg(&f);
  result.words_[0] = f.ul1;
  result.words_[1] = f.ul2;
  return result;
}

bool GReal::equals(const GReal& other) const {
  FLOATOBJ f = objectOf(words_);
  FLOATOBJ g = objectOf(other.words_);
  return FLOATOBJ_Equal(&f, &g) != 0;
}

bool GReal::lessThan(const GReal& other) const {
  FLOATOBJ f = objectOf(words_);
  FLOATOBJ g = objectOf(other.words_);
  return FLOATOBJ_LessThan(&f, &g) != 0;
}

// ---- the real functions ----------------------------------------------------

GReal floor(GReal x) { return GReal(x.integerPart()); }

GReal fmod(GReal x, GReal y) { return x - floor(x / y) * y; }

GReal cos(GReal x) {
  const GReal a = magnitude(fmod(x, twoPi()));
  const GReal q = a / halfPi();
  const int32_t whole = q.integerPart();
  const GReal f = q - GReal(whole);
  // Rounding may leave a remainder a hair past the full turn: quadrant 4
  // is quadrant 0 again.
  const int32_t quadrant = whole & 3;
  const GReal y = (quadrant % 2 == 0) ? f * halfPi() : (GReal(1) - f) * halfPi();

  // 1 + c1 y^2 + c2 y^4 + ... + c5 y^10, the powers by repeated
  // multiplication by y^2.
  static constexpr uint32_t kCoefficients[] = {0xBF000000, 0x3D2AAAA3, 0xBAB6099C, 0x37CFB40B, 0xB48BDCE7};
  const GReal y2 = y * y;
  GReal power = 1;
  GReal p = 1;
  for (uint32_t c : kCoefficients) {
    power = power * y2;
    p = p + GReal::fromSingleBits(c) * power;
  }
  return (quadrant == 1 || quadrant == 2) ? -p : p;
}

GReal sin(GReal x) { return cos(x - halfPi()); }

GReal tan(GReal x) { return sin(x) / cos(x); }

GReal sqrt(GReal x) {
  // Nothing to take the root of (the halving iteration would divide by
  // zero at 0): 0.
  if (!(x > GReal(0))) return 0;
  if (notFinite(x)) return x;
  // Twenty halving steps start at v / 2 and do not reach the root of a
  // value far from 1, so the value is first brought into [1, 4) by powers
  // of 4, which are exact, and the root scaled back by the powers of 2.
  GReal v = x;
  GReal scale = 1;
  while (v >= GReal(4)) {
    v = v / GReal(4);
    scale = scale * GReal(2);
  }
  while (v < GReal(1)) {
    v = v * GReal(4);
    scale = scale / GReal(2);
  }
  GReal root = v / GReal(2);
  for (int32_t step = 0; step < 20; ++step) root = (root + v / root) / GReal(2);
  return root * scale;
}

GReal gAtan2(GReal y, GReal x) {
  const GReal zero = 0;
  if (x == zero) {
    if (y == zero) return zero;
    return isNegative(y) ? -halfPi() : halfPi();
  }
  const GReal ax = magnitude(x);
  const GReal ay = magnitude(y);
  // The angle in the first quadrant, from the smaller over the larger.
  GReal angle = ay > ax ? halfPi() - arctangentOfUnitRange(ax / ay) : arctangentOfUnitRange(ay / ax);
  if (isNegative(x)) angle = pi() - angle;
  return isNegative(y) ? -angle : angle;
}

int32_t gTruncateSaturated(GReal value) { return value.integerPart(); }

int32_t gScaleTruncated(int32_t coordinate, GReal factor) { return (GReal(coordinate) * factor).integerPart(); }

// ---- degrees -----------------------------------------------------------------

GReal gNormalizedDegrees(GReal degrees) {
  const GReal turn = 360;
  const GReal zero = 0;
  // A negative zero is in range and kept as it is.
  if (degrees >= zero && degrees < turn) return degrees;
  if (notFinite(degrees)) return zero;
  // The remainder by long division: the largest turn times a power of 2
  // not past the value is taken off, then each smaller one that fits. Each
  // subtraction takes y from a value in [y, 2y), which is exact, so this is
  // the value that stepping by single turns reaches wherever those steps
  // are exact, in some hundred and twenty steps at most where the stepping
  // would never end for a large value.
  GReal r = magnitude(degrees);
  GReal step = turn;
  while (r >= step + step) step = step + step;
  while (step >= turn) {
    if (r >= step) r = r - step;
    step = step / GReal(2);
  }
  if (isNegative(degrees) && r > zero) r = turn - r;
  // An exact multiple of a turn gives +0.
  if (r == zero) return zero;
  return r;
}

GReal gSineOfDegrees(GReal degrees) { return sin(degrees * pi() / GReal(180)); }

GReal gCosineOfDegrees(GReal degrees) { return cos(degrees * pi() / GReal(180)); }
