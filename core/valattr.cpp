#include "core/valattr.h"

#include "core/fieldio.h"
#include "core/storeio.h"
#include "rw/factory.h"

namespace {

RWCollectable* createValue() { return new GValueAttribute; }
RWCollectable* createValue32() { return new GValue32Attribute; }
RWCollectable* createRange() { return new GRangeAttribute; }
RWCollectable* createString() { return new GStringAttribute; }

const RWFactoryRegistrar registerValue(createValue, GValueAttribute::classIsA(), "GValueAttribute");
const RWFactoryRegistrar registerValue32(createValue32, GValue32Attribute::classIsA(), "GValue32Attribute");
const RWFactoryRegistrar registerRange(createRange, GRangeAttribute::classIsA(), "GRangeAttribute");
const RWFactoryRegistrar registerString(createString, GStringAttribute::classIsA(), "GStringAttribute");

// The attribute test of matches: the same class and id. The serial number
// and the changed flag take no part.
template <class T>
const T* sameAttribute(const T* self, const MPersistentObject* other) {
  if (!other || other->isA() != self->isA() || !self->GAttribute::matches(other)) return nullptr;
  return dynamic_cast<const T*>(other);
}

int16_t wrapped(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v))); }

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(GValueAttribute)
RW_DEFINE_RESTORE_OPERATORS(GValue32Attribute)
RW_DEFINE_RESTORE_OPERATORS(GRangeAttribute)
RW_DEFINE_RESTORE_OPERATORS(GStringAttribute)

// ---- GValueAttribute --------------------------------------------------------------

GValueAttribute::GValueAttribute() : value_(0) {}
GValueAttribute::GValueAttribute(int16_t value, const uint32_t& id) : GAttribute(id), value_(value) {}
GValueAttribute::GValueAttribute(const GValueAttribute& other) = default;

GValueAttribute& GValueAttribute::operator=(const GValueAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    value_ = other.value_;
  }
  return *this;
}

GValueAttribute::~GValueAttribute() = default;

GValueAttribute* GValueAttribute::newSpecies() const { return new GValueAttribute; }
GValueAttribute* GValueAttribute::copy() const { return new GValueAttribute(*this); }
RWClassID GValueAttribute::isA() const { return classIsA(); }
RWspace GValueAttribute::binaryStoreSize() const { return GAttribute::binaryStoreSize() + 6; }

void GValueAttribute::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  s.put(value_);
}

void GValueAttribute::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(value_);
}

template <class Source>
void GValueAttribute::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  gReadShort(source, value_);
}

void GValueAttribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GValueAttribute::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GValueAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GValueAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const GValueAttribute* o = sameAttribute(this, other);
  return o && o->value_ == value_;
}

RWClassID GValueAttribute::kind() const { return classIsA(); }
GStatus GValueAttribute::accept(GPeripheralHandlers& visitor) { return visitor.onValueAttribute(this); }

// ---- GValue32Attribute ------------------------------------------------------------

GValue32Attribute::GValue32Attribute() : value_(0) {}
GValue32Attribute::GValue32Attribute(uint32_t value, const uint32_t& id) : GAttribute(id), value_(value) {}
GValue32Attribute::GValue32Attribute(const GValue32Attribute& other) = default;

GValue32Attribute& GValue32Attribute::operator=(const GValue32Attribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    value_ = other.value_;
  }
  return *this;
}

GValue32Attribute::~GValue32Attribute() = default;

GValue32Attribute* GValue32Attribute::newSpecies() const { return new GValue32Attribute; }
GValue32Attribute* GValue32Attribute::copy() const { return new GValue32Attribute(*this); }
RWClassID GValue32Attribute::isA() const { return classIsA(); }
RWspace GValue32Attribute::binaryStoreSize() const { return GAttribute::binaryStoreSize() + 8; }

void GValue32Attribute::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  s.putULong(value_);
}

void GValue32Attribute::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(value_);
}

template <class Source>
void GValue32Attribute::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  gReadULong(source, value_);
}

void GValue32Attribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GValue32Attribute::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GValue32Attribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GValue32Attribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const GValue32Attribute* o = sameAttribute(this, other);
  return o && o->value_ == value_;
}

RWClassID GValue32Attribute::kind() const { return classIsA(); }
GStatus GValue32Attribute::accept(GPeripheralHandlers&) { return 0; }

// ---- GRangeAttribute --------------------------------------------------------------

GRangeAttribute::GRangeAttribute() : minimum_(0), maximum_(0), step_(1), value_(0) {}

GRangeAttribute::GRangeAttribute(int16_t minimum, int16_t maximum, int16_t step, int16_t value, const uint32_t& id)
    : GAttribute(id), minimum_(minimum), maximum_(maximum), step_(step), value_(value) {
  if (maximum_ < minimum_) maximum_ = minimum_;
  setValue(value_);
  if (step_ == 0) step_ = 1;
}

GRangeAttribute::GRangeAttribute(const GRangeAttribute& other) = default;

GRangeAttribute& GRangeAttribute::operator=(const GRangeAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    minimum_ = other.minimum_;
    maximum_ = other.maximum_;
    step_ = other.step_;
    value_ = other.value_;
  }
  return *this;
}

GRangeAttribute::~GRangeAttribute() = default;

GRangeAttribute* GRangeAttribute::newSpecies() const { return new GRangeAttribute; }
GRangeAttribute* GRangeAttribute::copy() const { return new GRangeAttribute(*this); }
RWClassID GRangeAttribute::isA() const { return classIsA(); }
RWspace GRangeAttribute::binaryStoreSize() const { return GAttribute::binaryStoreSize() + 12; }

void GRangeAttribute::setMinimum(int16_t v) { minimum_ = v > maximum_ ? maximum_ : v; }
void GRangeAttribute::setMaximum(int16_t v) { maximum_ = v < minimum_ ? minimum_ : v; }

void GRangeAttribute::setValue(int16_t v) {
  if (v < minimum_) v = minimum_;
  if (v > maximum_) v = maximum_;
  value_ = v;
}

void GRangeAttribute::increment() { setValue(wrapped(int32_t{value_} + step_)); }
void GRangeAttribute::decrement() { setValue(wrapped(int32_t{value_} - step_)); }

void GRangeAttribute::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  s.put(minimum_);
  s.put(maximum_);
  s.put(step_);
  s.put(value_);
}

void GRangeAttribute::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(minimum_);
  f.Write(maximum_);
  f.Write(step_);
  f.Write(value_);
}

template <class Source>
void GRangeAttribute::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  // As stored: a stored range is not clamped.
  if (!gReadShort(source, minimum_) || !gReadShort(source, maximum_) || !gReadShort(source, step_)) return;
  gReadShort(source, value_);
}

void GRangeAttribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GRangeAttribute::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GRangeAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GRangeAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const GRangeAttribute* o = sameAttribute(this, other);
  return o && o->maximum_ == maximum_ && o->minimum_ == minimum_ && o->step_ == step_ && o->value_ == value_;
}

RWClassID GRangeAttribute::kind() const { return classIsA(); }
GStatus GRangeAttribute::accept(GPeripheralHandlers& visitor) { return visitor.onRangeAttribute(this); }

// ---- GStringAttribute -------------------------------------------------------------

GStringAttribute::GStringAttribute() = default;
GStringAttribute::GStringAttribute(const char* text, const uint32_t& id)
    : GAttribute(id), value_(text ? RWCString(text) : RWCString()) {}
GStringAttribute::GStringAttribute(const RWCString& text, const uint32_t& id) : GAttribute(id), value_(text) {}
GStringAttribute::GStringAttribute(const GStringAttribute& other) = default;

GStringAttribute& GStringAttribute::operator=(const GStringAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    value_ = other.value_;
  }
  return *this;
}

GStringAttribute::~GStringAttribute() = default;

void GStringAttribute::setValue(const char* text) { value_ = text ? RWCString(text) : RWCString(); }

GStringAttribute* GStringAttribute::newSpecies() const { return new GStringAttribute; }
GStringAttribute* GStringAttribute::copy() const { return new GStringAttribute(*this); }
RWClassID GStringAttribute::isA() const { return classIsA(); }
RWspace GStringAttribute::binaryStoreSize() const { return GAttribute::binaryStoreSize() + 8 + value_.length(); }

void GStringAttribute::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  value_.saveOn(s);
}

void GStringAttribute::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  value_.saveOn(f);
}

template <class Source>
void GStringAttribute::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  value_.restoreFrom(source);
}

void GStringAttribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GStringAttribute::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GStringAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GStringAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const GStringAttribute* o = sameAttribute(this, other);
  return o && o->value_ == value_;
}

GStatus GStringAttribute::accept(GPeripheralHandlers& visitor) { return visitor.onStringAttribute(this); }
