#ifndef GRAPHICS_PEN_H
#define GRAPHICS_PEN_H

// The pen of the graphics state (bundle key 160): what strokes are drawn
// with, and how wide. A pen holds its paint through a counted reference, so
// copies of a pen share one paint. GNoPen is the null pen, which holds no
// paint; GDashedPen adds a dash pattern, which it owns. All three answer
// the pens' kind (201), so any replaces another in a bundle.
//
// The width is kept as given but answered and stored as 16 bits, as the
// printers take it: a width beyond the 16-bit range comes back truncated.
// The dash offset is kept the same way.
//
// Matching decides whether a generator is sent an equal pen again: same
// class, key and width, and both paints missing or both there and
// matching. A null pen matches only while its paint is missing; a dashed
// pen also compares its offset and its dash lengths one by one. Width and
// offset are compared as answered, so that a pen matches what it stores
// and what a generator is sent for it.
//
// Stored forms, each after its base's: GPen a version word (1), the width
// as a 16-bit value and the paint as an object of the graph (nil for
// none), a paint reached twice in one store being stored once; GNoPen a
// version word (1); GDashedPen a version word (1), the offset as a 16-bit
// value, the dash count as a 32-bit long and that many 16-bit lengths. A
// level whose version differs, or that is cut short, keeps what it held:
// the stored dash count is never trusted for an allocation, a pattern
// being taken only once every length it counts has arrived.

#include <cstdint>
#include <memory>

#include "core/cntdptr.h"
#include "graphics/gattrib.h"

class GPaint;

class GPen : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GPen)

 public:
  // Width 1, no paint, id 0.
  GPen();
  // Takes a reference to the paint (none for null).
  GPen(int32_t width, GPaint* paint, const uint32_t& key = 0);
  // The paint is shared.
  GPen(const GPen& other);
  GPen& operator=(const GPen& other);
  ~GPen() override;

  static RWClassID classIsA() { return ClassId::GPen; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GPen; }
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  virtual void setWidth(int32_t width) { width_ = width; }
  // Releases the paint held (deleting it when this was its last holder)
  // and takes a reference to the new one; the paint held, given again,
  // changes nothing.
  virtual void setPaint(GPaint* paint);
  // The width's low 16 bits.
  virtual int16_t width() const { return static_cast<int16_t>(width_); }
  // The paint, shared by its holders, or null.
  virtual GPaint* paint() const;

 private:
  int32_t width_;
  GCountedRef paint_;
};

RW_DECLARE_RESTORE_OPERATORS(GPen)

class GNoPen : public GPen {
  G_PERSISTENT_CLASS(GNoPen)

 public:
  // Width 0, id 0.
  GNoPen();
  // Width 1.
  explicit GNoPen(const uint32_t& key);
  GNoPen(const GNoPen& other);
  GNoPen& operator=(const GNoPen& other);
  ~GNoPen() override;

  static RWClassID classIsA() { return ClassId::GNoPen; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The pen's rule, while this pen holds no paint.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
};

RW_DECLARE_RESTORE_OPERATORS(GNoPen)

class GDashedPen : public GPen {
  G_PERSISTENT_CLASS(GDashedPen)

 public:
  // Width 0, no paint, no dashes, offset 0, id 0.
  GDashedPen();
  // Takes the dash array over (the pen frees it); count is its number of
  // lengths. A null array makes a pen of no dashes, whatever the count.
  GDashedPen(std::unique_ptr<int16_t[]> dashes, uint32_t count, int32_t width, GPaint* paint, int32_t dashOffset,
             const uint32_t& key = 0);
  // The paint is shared, the dashes copied.
  GDashedPen(const GDashedPen& other);
  GDashedPen& operator=(const GDashedPen& other);
  ~GDashedPen() override;

  static RWClassID classIsA() { return ClassId::GDashedPen; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The pen's rule, the same offset and the same lengths in order.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // The lengths, still the pen's (null when there are none).
  const int16_t* dashes() const { return dashes_.get(); }
  uint32_t dashCount() const { return dashCount_; }
  // The offset's low 16 bits.
  int16_t dashOffset() const { return static_cast<int16_t>(dashOffset_); }

 private:
  std::unique_ptr<int16_t[]> dashes_;
  uint32_t dashCount_;
  int32_t dashOffset_;
};

RW_DECLARE_RESTORE_OPERATORS(GDashedPen)

#endif
