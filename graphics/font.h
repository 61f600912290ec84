#ifndef GRAPHICS_FONT_H
#define GRAPHICS_FONT_H

// A font as the device layer keeps it: a counted object that carries the
// owner word of the registry it sits in and the owner word of its
// implementation. The font's faces, metrics and glyphs come with the font
// machinery; what is here is what the object registry relies on.

#include <cstdint>

#include "core/perobj.h"

class GFont : public MPersistentObject {
 public:
  explicit GFont(const uint32_t& id = 0);
  GFont(const GFont& other);
  GFont& operator=(const GFont& other);
  ~GFont() override;

  static RWClassID classIsA() { return ClassId::GFont; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  GFont* newSpecies() const override;
  GFont* copy() const override;

  // Called by a registry before it stores the font; the implementation
  // prepares nothing yet.
  virtual void prepareForRegistry(uint32_t flags);
  // Sets the owner word and answers the previous one.
  uintptr_t setOwner(uintptr_t owner);
  uintptr_t owner() const { return owner_; }
  // Clears the owner word of the font's implementation: the font no
  // longer belongs to the registry's engine object.
  void clearEngineFont() { engineOwner_ = 0; }
  uintptr_t engineOwner() const { return engineOwner_; }
  void setEngineOwner(uintptr_t owner) { engineOwner_ = owner; }

 private:
  uintptr_t owner_;
  uintptr_t engineOwner_;
};

#endif
