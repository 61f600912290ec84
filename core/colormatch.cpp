#include "core/colormatch.h"

#include "core/attrids.h"
#include "core/perclass.h"

G_DEFINE_PERSISTENT(GChromafitAttribute, GAttribute)

GChromafitAttribute::GChromafitAttribute() : GChromafitAttribute(0) {}

GChromafitAttribute::GChromafitAttribute(const uint32_t& id)
    : GAttribute(id), colorMap_{15, 21, 31}, halftone_{40, 50, 62} {
  if (id == AttrId::TransparencyPreset) {
    colorMap_[0] = 16;
    colorMap_[1] = 22;
    colorMap_[2] = 32;
  }
}

GChromafitAttribute::GChromafitAttribute(const uint32_t& id, uint8_t colorMap0, uint8_t halftone0, uint8_t colorMap1,
                                         uint8_t halftone1, uint8_t colorMap2, uint8_t halftone2)
    : GAttribute(id), colorMap_{colorMap0, colorMap1, colorMap2}, halftone_{halftone0, halftone1, halftone2} {}

GChromafitAttribute::GChromafitAttribute(const GChromafitAttribute& other) : GAttribute(other) { copySettings(other); }

GChromafitAttribute& GChromafitAttribute::operator=(const GChromafitAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    copySettings(other);
  }
  return *this;
}

GChromafitAttribute::~GChromafitAttribute() = default;

RWspace GChromafitAttribute::levelStoreSize() const { return 16; }

template <class Sink>
void GChromafitAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  for (int c = 0; c < kObjectClasses; ++c) {
    gWrite(sink, static_cast<int16_t>(colorMap_[c]));
    gWrite(sink, static_cast<int16_t>(halftone_[c]));
  }
}

template <class Source>
void GChromafitAttribute::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Only the low byte of each word is a choice; a choice cut off by the
  // end of the data keeps its value.
  for (int c = 0; c < kObjectClasses; ++c) {
    int16_t word = 0;
    if (!gRead(source, word)) return;
    colorMap_[c] = static_cast<uint8_t>(word & 0xFF);
    if (!gRead(source, word)) return;
    halftone_[c] = static_cast<uint8_t>(word & 0xFF);
  }
}

RWBoolean GChromafitAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GChromafitAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GAttribute::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const GChromafitAttribute*>(other);
  return o && *this == *o;
}

GStatus GChromafitAttribute::accept(GPeripheralHandlers&) { return 0; }

int GChromafitAttribute::setting(int32_t objectClass, int32_t variant, uint8_t& out) const {
  if (objectClass < 0 || objectClass >= kObjectClasses || variant < 0 || variant > 2) return 0;
  if (variant == 0) out = colorMap_[objectClass];
  if (variant == 1) out = halftone_[objectClass];
  return 1;
}

int GChromafitAttribute::setSetting(int32_t objectClass, int32_t variant, uint8_t value) {
  if (objectClass < 0 || objectClass >= kObjectClasses || variant < 0 || variant > 2) return 0;
  if (variant == 0) colorMap_[objectClass] = value;
  if (variant == 1) halftone_[objectClass] = value;
  return 1;
}

void GChromafitAttribute::copySettings(const GChromafitAttribute& other) {
  if (&other == this) return;
  for (int c = 0; c < kObjectClasses; ++c) {
    colorMap_[c] = other.colorMap_[c];
    halftone_[c] = other.halftone_[c];
  }
}

bool GChromafitAttribute::operator==(const GChromafitAttribute& other) const {
  if (&other == this) return true;
  if (other.isA() != isA()) return false;
  for (int c = 0; c < kObjectClasses; ++c) {
    if (colorMap_[c] != other.colorMap_[c] || halftone_[c] != other.halftone_[c]) return false;
  }
  return true;
}
