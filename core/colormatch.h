#ifndef CORE_COLORMATCH_H
#define CORE_COLORMATCH_H

// The Chromafit colour-matching options: for each of the three object
// classes of a page (0 text, 1 graphics, 2 raster) a colour-map choice
// (variant 0) and a halftone choice (variant 1), one byte each. Each choice
// is a key into the peripheral's colour-map table (attribute 537) or
// halftone table (attribute 533). The colour-matching page filter and the
// generators read the working attribute (295); the user interface keeps
// presets under 208 (plain media) and 227 (transparencies) and copies one
// into the working attribute.
//
// Stored form, after the attribute level: version (1), then for object
// class 0, 1, 2 the colour-map choice and the halftone choice, each as an
// i16 holding the byte with zero in the upper half. Another stored version
// reads nothing more.

#include <cstdint>

#include "core/attrib.h"
#include "core/classids.h"

class GChromafitAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GChromafitAttribute)

 public:
  // Attribute id 0 with the plain-media defaults.
  GChromafitAttribute();
  // The defaults: colour maps 15, 21, 31 (16, 22, 32 for the transparency
  // preset 227), halftones 40, 50, 62.
  explicit GChromafitAttribute(const uint32_t& id);
  GChromafitAttribute(const uint32_t& id, uint8_t colorMap0, uint8_t halftone0, uint8_t colorMap1, uint8_t halftone1,
                      uint8_t colorMap2, uint8_t halftone2);
  GChromafitAttribute(const GChromafitAttribute& other);
  GChromafitAttribute& operator=(const GChromafitAttribute& other);
  ~GChromafitAttribute() override;

  static RWClassID classIsA() { return ClassId::GChromafitAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // operator== and the same attribute id.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles it (the filter reads it from the state): answers 0
  // and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // Reads one choice into out and answers 1. An object class or variant
  // outside 0 to 2 answers 0; variant 2 answers 1. Neither writes out.
  int setting(int32_t objectClass, int32_t variant, uint8_t& out) const;
  // Stores one choice, with the same checks and answers as setting;
  // variant 2 stores nothing.
  int setSetting(int32_t objectClass, int32_t variant, uint8_t value);
  // The six choices of the other; the attribute part stays.
  void copySettings(const GChromafitAttribute& other);
  // Same class and the same six choices; the attribute id takes no part,
  // so that a working attribute compares equal to the preset it came from.
  bool operator==(const GChromafitAttribute& other) const;

 private:
  static constexpr int kObjectClasses = 3;
  uint8_t colorMap_[kObjectClasses];
  uint8_t halftone_[kObjectClasses];
};

RW_DECLARE_RESTORE_OPERATORS(GChromafitAttribute)

#endif
