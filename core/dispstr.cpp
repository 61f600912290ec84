#include "core/dispstr.h"

#include "core/perclass.h"

namespace {

RWCString textOf(const char* text) { return text ? RWCString(text) : RWCString(); }

}  // namespace

G_DEFINE_PERSISTENT(GDisplayString, MPersistentObject)
G_DEFINE_PERSISTENT(GDisplayStringAttribute, GAttribute)

// ---- GDisplayString ---------------------------------------------------------------

GDisplayString::GDisplayString() : stringId_(0) {}

GDisplayString::GDisplayString(uint16_t stringId, const char* text, const char* secondText)
    : stringId_(stringId), text_(textOf(text)), secondText_(textOf(secondText)) {}

GDisplayString::GDisplayString(const GDisplayString& other) = default;

GDisplayString& GDisplayString::operator=(const GDisplayString& other) {
  if (this != &other) {
    MPersistentObject::operator=(other);
    stringId_ = other.stringId_;
    text_ = other.text_;
    secondText_ = other.secondText_;
  }
  return *this;
}

GDisplayString::~GDisplayString() = default;

RWspace GDisplayString::levelStoreSize() const { return 14 + text_.length() + secondText_.length(); }

template <class Sink>
void GDisplayString::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, secondText_);
  gWrite(sink, text_);
  gWrite(sink, stringId_);
}

// A text not read whole ends the level: the fields after it keep their
// values.
template <class Source>
void GDisplayString::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  if (!gRead(source, secondText_) || !gRead(source, text_)) return;
  gRead(source, stringId_);
}

RWBoolean GDisplayString::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GDisplayString::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDisplayString* o = dynamic_cast<const GDisplayString*>(other);
  return o && o->stringId_ == stringId_ && o->text_ == text_ && o->secondText_ == secondText_;
}

// ---- GDisplayStringAttribute ------------------------------------------------------

GDisplayStringAttribute::GDisplayStringAttribute() = default;

GDisplayStringAttribute::GDisplayStringAttribute(const uint32_t& id, uint16_t stringId, const char* text,
                                                 const char* secondText)
    : GAttribute(id), displayString_(stringId, text, secondText) {}

GDisplayStringAttribute::GDisplayStringAttribute(uint16_t stringId, const char* text, const char* secondText)
    : displayString_(stringId, text, secondText) {}

GDisplayStringAttribute::GDisplayStringAttribute(const GDisplayStringAttribute& other) = default;

GDisplayStringAttribute& GDisplayStringAttribute::operator=(const GDisplayStringAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    displayString_ = other.displayString_;
  }
  return *this;
}

GDisplayStringAttribute::~GDisplayStringAttribute() = default;

RWspace GDisplayStringAttribute::levelStoreSize() const {
  // The display string goes out as a whole object with its class tag, so
  // its size is its recursive size, counted in the store table that
  // binaryStoreSize holds.
  return 4 + displayString_.recursiveStoreSize();
}

template <class Sink>
void GDisplayStringAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << displayString_;
}

template <class Source>
void GDisplayStringAttribute::restoreLevel(Source& source) {
  // The string is a member: no later reference may hand it to an owner.
  if (gReadVersion(source, version())) restoreInPlace(source, static_cast<RWCollectable&>(displayString_));
}

RWBoolean GDisplayStringAttribute::isKindOf(RWClassID id) const {
  return id == classIsA() || GAttribute::isKindOf(id);
}

RWBoolean GDisplayStringAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GAttribute::matches(other)) return FALSE;
  const GDisplayStringAttribute* o = dynamic_cast<const GDisplayStringAttribute*>(other);
  return o && displayString_.matches(&o->displayString_);
}

GStatus GDisplayStringAttribute::accept(GPeripheralHandlers&) { return 0; }
