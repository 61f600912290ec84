#ifndef CORE_GEOMETRY_H
#define CORE_GEOMETRY_H

// Small value types of device geometry: points and rectangles in signed
// 16-bit device coordinates, a triple of points, an angle in degrees and a
// pair of scale factors. Plain values: copied by value, not persistent, no
// virtual operations and no locks.

#include <cstdint>

#include "core/greal.h"

class GPoint {
 public:
  GPoint() : x_(0), y_(0) {}
  GPoint(int16_t x, int16_t y) : x_(x), y_(y) {}
  GPoint(const GPoint&) = default;
  GPoint& operator=(const GPoint&) = default;

  int16_t x() const { return x_; }
  int16_t y() const { return y_; }
  void setX(int16_t v) { x_ = v; }
  void setY(int16_t v) { y_ = v; }
  void set(int16_t x, int16_t y) {
    x_ = x;
    y_ = y;
  }

  bool operator==(const GPoint& other) const { return this == &other || (x_ == other.x_ && y_ == other.y_); }
  bool operator!=(const GPoint& other) const { return !(*this == other); }

 private:
  int16_t x_;
  int16_t y_;
};

// Left, top, right, bottom in this order: the first two are the top-left
// corner and the last two the bottom-right corner, each reachable as a
// point. A rectangle is kept as given; normalize puts its edges in order.
class GRect {
 public:
  GRect() = default;
  GRect(const int16_t& left, const int16_t& top, const int16_t& right, const int16_t& bottom)
      : topLeft_(left, top), bottomRight_(right, bottom) {}
  GRect(const GPoint& topLeft, const GPoint& bottomRight) : topLeft_(topLeft), bottomRight_(bottomRight) {}
  GRect(const GRect&) = default;
  GRect& operator=(const GRect&) = default;

  int16_t left() const { return topLeft_.x(); }
  int16_t top() const { return topLeft_.y(); }
  int16_t right() const { return bottomRight_.x(); }
  int16_t bottom() const { return bottomRight_.y(); }
  void setLeft(const int16_t& v) { topLeft_.setX(v); }
  void setTop(const int16_t& v) { topLeft_.setY(v); }
  void setRight(const int16_t& v) { bottomRight_.setX(v); }
  void setBottom(const int16_t& v) { bottomRight_.setY(v); }
  void setTopLeft(const GPoint& p) { topLeft_ = p; }
  void setBottomRight(const GPoint& p) { bottomRight_ = p; }

  // The corners themselves: changing them changes the rectangle.
  GPoint& topLeft() { return topLeft_; }
  GPoint& bottomRight() { return bottomRight_; }
  const GPoint& topLeft() const { return topLeft_; }
  const GPoint& bottomRight() const { return bottomRight_; }

  // Computed and answered in 16 bits, so a span wider than 32767 wraps.
  int16_t width() const;
  int16_t height() const;

  // Moves every edge by the point; each sum wraps in 16 bits.
  void offset(const GPoint& by);
  void normalize();
  bool isEmpty() const;

  // The overlap of two normalised rectangles; all edges 0 when they do not
  // overlap, touching along an edge included.
  GRect intersection(const GRect& other) const;

  bool operator==(const GRect& other) const {
    return this == &other || (topLeft_ == other.topLeft_ && bottomRight_ == other.bottomRight_);
  }
  bool operator!=(const GRect& other) const { return !(*this == other); }

 private:
  GPoint topLeft_;
  GPoint bottomRight_;
};

class GPointTriple {
 public:
  GPointTriple(const GPoint& first, const GPoint& second, const GPoint& third)
      : first_(first), second_(second), third_(third) {}
  GPointTriple(const GPointTriple&) = default;
  GPointTriple& operator=(const GPointTriple&) = default;

  GPoint& first() { return first_; }
  GPoint& second() { return second_; }
  GPoint& third() { return third_; }
  const GPoint& first() const { return first_; }
  const GPoint& second() const { return second_; }
  const GPoint& third() const { return third_; }

 private:
  GPoint first_;
  GPoint second_;
  GPoint third_;
};

// An angle in degrees, kept in [0, 360) by every operation that sets it.
// The one exception comes from rounding: a negative angle so close to 0
// that adding a turn rounds to 360 in single precision is kept as 360.
// Not-a-number and infinite angles have no place on the circle and become 0.
class GAngle {
 public:
  GAngle() : degrees_(0) {}
  explicit GAngle(GReal degrees) : degrees_(normalized(degrees)) {}
  GAngle(const GAngle&) = default;
  GAngle& operator=(const GAngle&) = default;

  GAngle& setDegrees(GReal degrees) {
    degrees_ = normalized(degrees);
    return *this;
  }
  GReal degrees() const { return degrees_; }

  // Of the degrees in radians (gSineOfDegrees, gCosineOfDegrees).
  GTrigReal sine() const;
  GTrigReal cosine() const;

  // The value an angle of these degrees keeps.
  static GReal normalized(GReal degrees);

 private:
  GReal degrees_;
};

// A pair of scale factors, (1, 1) unless given.
class GScaleFactors : public GRealPoint {
 public:
  GScaleFactors() : GRealPoint(1, 1) {}
  GScaleFactors(GReal x, GReal y) : GRealPoint(x, y) {}
  GScaleFactors(const GRealPoint& factors) : GRealPoint(factors) {}
  GScaleFactors(const GScaleFactors&) = default;
  GScaleFactors& operator=(const GScaleFactors&) = default;
};

#endif
