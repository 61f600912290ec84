#include "core/valattr.h"

#include "core/perclass.h"

namespace {

// The attribute test of matches: the same class and id. The serial number
// and the changed flag take no part.
template <class T>
const T* sameAttribute(const T* self, const MPersistentObject* other) {
  if (!other || other->isA() != self->isA() || !self->GAttribute::matches(other)) return nullptr;
  return dynamic_cast<const T*>(other);
}

int16_t wrapped(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v))); }

}  // namespace

G_DEFINE_PERSISTENT(GValueAttribute, GAttribute)
G_DEFINE_PERSISTENT(GValue32Attribute, GAttribute)
G_DEFINE_PERSISTENT(GRangeAttribute, GAttribute)
G_DEFINE_PERSISTENT(GStringAttribute, GAttribute)

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

RWspace GValueAttribute::levelStoreSize() const { return 6; }

template <class Sink>
void GValueAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, value_);
}

template <class Source>
void GValueAttribute::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, value_);
}

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

RWspace GValue32Attribute::levelStoreSize() const { return 8; }

template <class Sink>
void GValue32Attribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, value_);
}

template <class Source>
void GValue32Attribute::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, value_);
}

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

RWspace GRangeAttribute::levelStoreSize() const { return 12; }

void GRangeAttribute::setMinimum(int16_t v) { minimum_ = v > maximum_ ? maximum_ : v; }
void GRangeAttribute::setMaximum(int16_t v) { maximum_ = v < minimum_ ? minimum_ : v; }

void GRangeAttribute::setValue(int16_t v) {
  if (v < minimum_) v = minimum_;
  if (v > maximum_) v = maximum_;
  value_ = v;
}

void GRangeAttribute::increment() { setValue(wrapped(int32_t{value_} + step_)); }
void GRangeAttribute::decrement() { setValue(wrapped(int32_t{value_} - step_)); }

template <class Sink>
void GRangeAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, minimum_);
  gWrite(sink, maximum_);
  gWrite(sink, step_);
  gWrite(sink, value_);
}

template <class Source>
void GRangeAttribute::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // As stored: a stored range is not clamped.
  if (!gRead(source, minimum_) || !gRead(source, maximum_) || !gRead(source, step_)) return;
  gRead(source, value_);
}

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

RWspace GStringAttribute::levelStoreSize() const { return 8 + value_.length(); }

template <class Sink>
void GStringAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, value_);
}

template <class Source>
void GStringAttribute::restoreLevel(Source& source) {
  // The text closes the level: one cut short leaves nothing after it to
  // skip.
  if (gReadVersion(source, version())) gRead(source, value_);
}

RWBoolean GStringAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GStringAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const GStringAttribute* o = sameAttribute(this, other);
  return o && o->value_ == value_;
}

GStatus GStringAttribute::accept(GPeripheralHandlers& visitor) { return visitor.onStringAttribute(this); }
