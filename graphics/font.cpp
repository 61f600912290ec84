#include "graphics/font.h"

GFont::GFont(const uint32_t& id) : MPersistentObject(id), owner_(0), engineOwner_(0) {}
GFont::GFont(const GFont& other) = default;

GFont& GFont::operator=(const GFont& other) {
  MPersistentObject::operator=(other);
  owner_ = other.owner_;
  engineOwner_ = other.engineOwner_;
  return *this;
}

GFont::~GFont() = default;

RWClassID GFont::isA() const { return classIsA(); }
RWBoolean GFont::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }
GFont* GFont::newSpecies() const { return new GFont; }
GFont* GFont::copy() const { return new GFont(*this); }

void GFont::prepareForRegistry(uint32_t) {}

uintptr_t GFont::setOwner(uintptr_t owner) {
  const uintptr_t previous = owner_;
  owner_ = owner;
  return previous;
}
