#ifndef GRAPHICS_COLREND_H
#define GRAPHICS_COLREND_H

// Which colour-mapping treatment (GColorMap) and which halftone screen
// (GHalftone) the graphics that follow are rendered with.
//
// Neither holds a printer code: each holds a small selector that a
// generator turns into its device value through a selector table of its
// own configuration (537 for colour maps, 533 for halftones). A table is an
// association list whose keys are value attributes (id 0) holding
// selectors and whose values are value attributes (16 or 32 bits) holding
// device values; the tables come from the printer's stored configuration,
// so a selector means nothing until one is there.
//
// Neither has a key of its own in a bundle: the colour-matching filter
// adds one of each with id 0. A colour map or a halftone matches one of
// the same class and selector, whatever its key, so an equal one merged
// into a stage's state again is not sent again.
//
// Stored form after the graphics-state level: a version word (1) and the
// selector (i32), written by GColorRenderingAttribute for both classes,
// which store nothing of their own. A level whose version differs, or that
// is cut short, keeps the selector.

#include <cstdint>

#include "core/attrids.h"
#include "graphics/gattrib.h"

class GCountedPtr;

// The device value a selector table gives a selector: the table is the
// first object under the id in the composite or in the composites nested
// in it; the association looked up is the first whose key matches a value
// attribute of id 0 holding the selector (kept to 16 bits); its value is a
// GValueAttribute or a GValue32Attribute, answered in its low 16 bits.
// 0 when there is no composite, no association list under the id, no such
// association, or a value of any other class.
uint16_t gSelectorTableValue(const MPersistentObject* composite, uint32_t tableId, int32_t selector);

// Abstract (accept, deviceValue): no class ID of its own; isA is
// GGraphicAttribute's.
class GColorRenderingAttribute : public GGraphicAttribute {
  G_PERSISTENT_LEVEL(GColorRenderingAttribute)

 public:
  GColorRenderingAttribute(int32_t selector, const uint32_t& key);
  GColorRenderingAttribute(const GColorRenderingAttribute& other);
  GColorRenderingAttribute& operator=(const GColorRenderingAttribute& other);
  ~GColorRenderingAttribute() override;

  static uint32_t version() { return 1; }
  // Same class and selector; the key is not compared.
  RWBoolean matches(const MPersistentObject* other) const override;

  // The selector's device value in the table of the configuration held
  // through the pointer (a stage's Config); 0 where gSelectorTableValue
  // finds none.
  virtual uint16_t deviceValue(const GCountedPtr& config) const = 0;
  // The selector, in 16 bits.
  virtual uint16_t value() const { return static_cast<uint16_t>(selector_); }

 protected:
  int32_t selector() const { return selector_; }

 private:
  int32_t selector_;
};

class GColorMap : public GColorRenderingAttribute {
  G_PERSISTENT_CLASS(GColorMap)

 public:
  // Selector 15, id 0.
  GColorMap();
  explicit GColorMap(int32_t selector, const uint32_t& key = 0);
  GColorMap(const GColorMap& other);
  GColorMap& operator=(const GColorMap& other);
  ~GColorMap() override;

  static RWClassID classIsA() { return ClassId::GColorMap; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GColorMap; }
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // Through the colour-map table (537).
  uint16_t deviceValue(const GCountedPtr& config) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GColorMap)

class GHalftone : public GColorRenderingAttribute {
  G_PERSISTENT_CLASS(GHalftone)

 public:
  // Selector 40, id 0.
  GHalftone();
  explicit GHalftone(int32_t selector, const uint32_t& key = 0);
  GHalftone(const GHalftone& other);
  GHalftone& operator=(const GHalftone& other);
  ~GHalftone() override;

  static RWClassID classIsA() { return ClassId::GHalftone; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GHalftone; }
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // Through the halftone table (533).
  uint16_t deviceValue(const GCountedPtr& config) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GHalftone)

#endif
