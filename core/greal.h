#ifndef CORE_GREAL_H
#define CORE_GREAL_H

// The real-number type of the graphics state (scale factors, transforms,
// miter limits, angles) and the few real functions the framework uses.
//
// GReal is a single-precision float in the user-mode build. The kernel-mode
// build may not use the floating-point unit, so there GReal is a value type
// on the graphics engine's software real (FLOATOBJ), and the functions below
// are the kernel driver's own (kernel/real.cpp). The choice is made by
// RW_KERNEL_BUILD here and nowhere else: the code that uses GReal is the
// same in both builds, and what differs between them (a GReal floor takes
// the integer part, the trigonometry runs on singles) follows from the type.
//
// A stored real is the IEEE single pattern in both builds (core/fieldio.h),
// so the two builds store identical bytes.

#include <bit>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

#ifdef RW_KERNEL_BUILD

// Exactly one FLOATOBJ of the engine, opaque here: every operation goes
// through the engine's services. Copied as its 8 bytes; nothing to destroy.
class GReal {
 public:
  // 0.
  GReal();
  // The value of a 32-bit or a sign-extended 16-bit integer. A 16-bit
  // unsigned operand promotes to the 32-bit form, exactly.
  GReal(int32_t value);
  GReal(int16_t value);
  // The value of an IEEE single (taken as its bit pattern).
  GReal(float value);
  GReal(const GReal&) = default;
  GReal& operator=(const GReal&) = default;
  ~GReal() = default;

  static GReal fromSingleBits(uint32_t bits);
  // The value as the bit pattern of an IEEE single.
  uint32_t singleBits() const;
  // The value truncated toward zero; past either end of the 32-bit range
  // it is that end, and not-a-number is 0.
  int32_t integerPart() const;

  GReal& assign(int32_t value);

  GReal& operator+=(const GReal& other);
  GReal& operator-=(const GReal& other);
  GReal& operator*=(const GReal& other);
  GReal& operator/=(const GReal& other);
  GReal operator-() const;

  friend GReal operator+(GReal a, const GReal& b) { return a += b; }
  friend GReal operator-(GReal a, const GReal& b) { return a -= b; }
  friend GReal operator*(GReal a, const GReal& b) { return a *= b; }
  friend GReal operator/(GReal a, const GReal& b) { return a /= b; }

  // Numeric order: -0 equals +0, and not-a-number equals nothing and is
  // neither below nor above anything.
  friend bool operator==(const GReal& a, const GReal& b) { return a.equals(b); }
  friend bool operator<(const GReal& a, const GReal& b) { return a.lessThan(b); }
  friend bool operator>(const GReal& a, const GReal& b) { return b.lessThan(a); }
  friend bool operator<=(const GReal& a, const GReal& b) { return a.lessThan(b) || a.equals(b); }
  friend bool operator>=(const GReal& a, const GReal& b) { return b.lessThan(a) || a.equals(b); }

 private:
  bool equals(const GReal& other) const;
  bool lessThan(const GReal& other) const;

  uint32_t words_[2];
};
static_assert(sizeof(GReal) == 8, "a kernel real is one FLOATOBJ");

// What sine and cosine answer.
using GTrigReal = GReal;

// The real functions of the kernel build.
// The integer part (toward zero), where the C library's floor rounds down.
GReal floor(GReal x);
// x - (integer part of x / y) * y.
GReal fmod(GReal x, GReal y);
// Radians; a polynomial on singles.
GReal cos(GReal x);
GReal sin(GReal x);
GReal tan(GReal x);
// 0 for a value of 0 or below (and for not-a-number).
GReal sqrt(GReal x);
// The angle of (x, y) in radians, in (-pi, pi]: the quadrant comes from the
// signs, and x = 0 answers +-pi/2 (0 when y is 0 too).
GReal gAtan2(GReal y, GReal x);

int32_t gTruncateSaturated(GReal value);
// coordinate * factor, truncated as gTruncateSaturated does.
int32_t gScaleTruncated(int32_t coordinate, GReal factor);

inline float gSingleOf(const GReal& value) { return std::bit_cast<float>(value.singleBits()); }

// Degrees brought into [0, 360), and the sine and cosine of degrees, as
// GAngle keeps and answers them.
GReal gNormalizedDegrees(GReal degrees);
GReal gSineOfDegrees(GReal degrees);
GReal gCosineOfDegrees(GReal degrees);

#else

using GReal = float;

// Sine and cosine of an angle are taken and answered in extended precision.
using GTrigReal = double;

inline float gAtan2(float y, float x) { return std::atan2(y, x); }

inline float gSingleOf(float value) { return value; }

// A real truncated towards zero into 32 bits, for the products of device
// coordinates and scale factors that composeTransforms and the generators
// turn back into coordinates. Converting a value outside the 32-bit range
// (or not a number) to an integer is undefined, so it is made defined
// here: not-a-number gives 0, and a value past either end of the range
// (infinities included) gives that end. Every value in range truncates as
// the conversion does.
//
// Give it the product in double: the product of a 32-bit integer and a
// GReal is exact there, so the truncation is that of the true product.
inline int32_t gTruncateSaturated(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// coordinate * factor, truncated: the product is exact in double.
inline int32_t gScaleTruncated(int32_t coordinate, GReal factor) {
  return gTruncateSaturated(static_cast<double>(coordinate) * static_cast<double>(factor));
}

// Degrees brought into [0, 360). The remainder is taken exactly, so this is
// the value that stepping by whole turns would reach, without a step count
// that grows with the angle. Like the single step it replaces, a negative
// remainder gains one turn in extended precision before rounding to single
// (so a tiny negative angle becomes 360); an exact multiple gives +0, and a
// negative zero is in range and kept. Not-a-number and infinities give 0.
inline float gNormalizedDegrees(float degrees) {
  long double d = degrees;
  if (d >= 0.0L && d < 360.0L) return degrees;
  if (std::isnan(d) || std::isinf(d)) return 0.0f;
  long double r = std::fmod(d, 360.0L);
  if (r < 0.0L) r += 360.0L;
  if (r == 0.0L) r = 0.0L;
  return static_cast<float>(r);
}

// Of the degrees times the single-precision constant 0.017453292 the angle
// code has always used (so the cosine of 90 is not quite 0), taken in
// extended precision and answered without rounding to single.
inline double gSineOfDegrees(float degrees) {
  return static_cast<double>(std::sin(static_cast<long double>(degrees) * 0.017453292f));
}
inline double gCosineOfDegrees(float degrees) {
  return static_cast<double>(std::cos(static_cast<long double>(degrees) * 0.017453292f));
}

#endif

// A real of the kernel build, which is a class of its own; never the
// user build's float. The stored-form overloads of core/fieldio.h use it.
template <class R>
concept GKernelReal = std::same_as<R, GReal> && !std::same_as<R, float>;

// Two reals, x then y: a pair of scale factors, for one.
class GRealPoint {
 public:
  GRealPoint() : x_(0), y_(0) {}
  GRealPoint(GReal x, GReal y) : x_(x), y_(y) {}
  GRealPoint(const GRealPoint&) = default;
  GRealPoint& operator=(const GRealPoint&) = default;

  GReal x() const { return x_; }
  GReal y() const { return y_; }
  void setX(GReal v) { x_ = v; }
  void setY(GReal v) { y_ = v; }
  void set(GReal x, GReal y) {
    x_ = x;
    y_ = y;
  }

  // Compared as reals: a member that is not a number equals nothing.
  bool operator==(const GRealPoint& other) const { return x_ == other.x_ && y_ == other.y_; }
  bool operator!=(const GRealPoint& other) const { return !(*this == other); }

 private:
  GReal x_;
  GReal y_;
};

#endif
