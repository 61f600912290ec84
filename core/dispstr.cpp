#include "core/dispstr.h"

#include "core/fieldio.h"
#include "core/storeio.h"
#include "rw/factory.h"
#include "rw/rwstore.h"

namespace {

RWCollectable* createDisplayString() { return new GDisplayString; }
RWCollectable* createDisplayStringAttribute() { return new GDisplayStringAttribute; }

const RWFactoryRegistrar registerDisplayString(createDisplayString, GDisplayString::classIsA(), "GDisplayString");
const RWFactoryRegistrar registerDisplayStringAttribute(createDisplayStringAttribute,
                                                        GDisplayStringAttribute::classIsA(),
                                                        "GDisplayStringAttribute");

RWCString textOf(const char* text) { return text ? RWCString(text) : RWCString(); }

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(GDisplayString)
RW_DEFINE_RESTORE_OPERATORS(GDisplayStringAttribute)

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

GDisplayString* GDisplayString::newSpecies() const { return new GDisplayString; }
GDisplayString* GDisplayString::copy() const { return new GDisplayString(*this); }
RWClassID GDisplayString::isA() const { return classIsA(); }

RWspace GDisplayString::binaryStoreSize() const {
  return MPersistentObject::binaryStoreSize() + 14 + text_.length() + secondText_.length();
}

void GDisplayString::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  secondText_.saveOn(s);
  text_.saveOn(s);
  s.put(stringId_);
}

void GDisplayString::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  secondText_.saveOn(f);
  text_.saveOn(f);
  f.Write(stringId_);
}

template <class Source>
void GDisplayString::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  secondText_.restoreFrom(source);
  text_.restoreFrom(source);
  gReadUShort(source, stringId_);
}

void GDisplayString::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GDisplayString::restoreGuts(RWFile& f) { restoreLevel(f); }

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

GDisplayStringAttribute* GDisplayStringAttribute::newSpecies() const { return new GDisplayStringAttribute; }
GDisplayStringAttribute* GDisplayStringAttribute::copy() const { return new GDisplayStringAttribute(*this); }
RWClassID GDisplayStringAttribute::isA() const { return classIsA(); }

RWspace GDisplayStringAttribute::binaryStoreSize() const {
  // The display string goes out as a whole object with its class tag, so
  // its size is its recursive size, counted in the caller's store table
  // (or one of its own, which holds no header for it).
  RWUseStoreTable table;
  return GAttribute::binaryStoreSize() + 4 + displayString_.recursiveStoreSize();
}

void GDisplayStringAttribute::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  s << displayString_;
}

void GDisplayStringAttribute::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f << displayString_;
}

template <class Source>
void GDisplayStringAttribute::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  source >> static_cast<RWCollectable&>(displayString_);
}

void GDisplayStringAttribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GDisplayStringAttribute::restoreGuts(RWFile& f) { restoreLevel(f); }

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
