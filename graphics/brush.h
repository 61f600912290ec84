#ifndef GRAPHICS_BRUSH_H
#define GRAPHICS_BRUSH_H

// The brush of the graphics state (bundle key 154): what fills are painted
// with. A brush holds its paint through a counted reference, so copies of a
// brush share one paint; GNoBrush is the null brush, which holds none and
// selects no paint. Both answer the brushes' kind (251), so either replaces
// the other in a bundle.
//
// Matching decides whether a generator is sent an equal brush again: same
// class and key, and both paints missing or both there and matching. The
// null brush compares class and key only.
//
// Stored forms, each after its base's: GBrush a version word (1) and the
// paint as an object of the graph (nil for none), a paint reached twice in
// one store being stored once; GNoBrush a version word (1). A brush level
// whose version differs, or that is cut short, keeps its paint; a paint
// read earlier in the same restore is shared with the brush or pen that
// holds it.

#include <cstdint>

#include "core/cntdptr.h"
#include "graphics/gattrib.h"

class GPaint;

class GBrush : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GBrush)

 public:
  // No paint, id 0.
  GBrush();
  // Takes a reference to the paint (none for null).
  explicit GBrush(GPaint* paint, const uint32_t& key = 0);
  // The paint is shared.
  GBrush(const GBrush& other);
  GBrush& operator=(const GBrush& other);
  ~GBrush() override;

  static RWClassID classIsA() { return ClassId::GBrush; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GBrush; }
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // Releases the paint held (deleting it when this was its last holder)
  // and takes a reference to the new one; the paint held, given again,
  // changes nothing.
  virtual void setPaint(GPaint* paint);
  // The paint, shared by its holders, or null.
  virtual GPaint* paint() const;

 private:
  GCountedRef paint_;
};

RW_DECLARE_RESTORE_OPERATORS(GBrush)

class GNoBrush : public GBrush {
  G_PERSISTENT_CLASS(GNoBrush)

 public:
  GNoBrush();
  explicit GNoBrush(const uint32_t& key);
  GNoBrush(const GNoBrush& other);
  GNoBrush& operator=(const GNoBrush& other);
  ~GNoBrush() override;

  static RWClassID classIsA() { return ClassId::GNoBrush; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and key.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
};

RW_DECLARE_RESTORE_OPERATORS(GNoBrush)

#endif
