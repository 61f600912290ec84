#include "core/booklet.h"

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GBookletComposite, GAttribute)

GBookletComposite::GBookletComposite() : second_(0), selector_(0) {}

GBookletComposite::GBookletComposite(int16_t selector, int16_t second) : second_(second), selector_(selector) {}

GBookletComposite::GBookletComposite(const GBookletComposite& other)
    : GAttribute(other), second_(other.second_), selector_(other.selector_) {
  copyValues(other);
}

GBookletComposite& GBookletComposite::operator=(const GBookletComposite& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    second_ = other.second_;
    selector_ = other.selector_;
    freeValues();
    copyValues(other);
  }
  return *this;
}

GBookletComposite::~GBookletComposite() { freeValues(); }

void GBookletComposite::append(int16_t value) { values_.append(new ValueLink(value)); }

void GBookletComposite::copyValues(const GBookletComposite& other) {
  for (const ValueLink* l = other.firstValue(); l; l = other.nextValue(l)) append(l->value);
}

void GBookletComposite::freeValues() {
  while (RWIsvSlink* l = values_.removeFirst()) delete static_cast<ValueLink*>(l);
}

const GBookletComposite::ValueLink* GBookletComposite::nextValue(const ValueLink* link) const {
  return link == values_.last() ? nullptr : static_cast<const ValueLink*>(link->next());
}

RWspace GBookletComposite::levelStoreSize() const { return 12 + 2 * static_cast<RWspace>(values_.entries()); }

template <class Sink>
void GBookletComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, selector_);
  gWrite(sink, second_);
  gWrite(sink, static_cast<uint32_t>(values_.entries()));
  for (const ValueLink* l = firstValue(); l; l = nextValue(l)) gWrite(sink, l->value);
}

template <class Source>
void GBookletComposite::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored)) return;
  // Every version stores the two numbers first, so they are taken even
  // from a form newer than this one.
  if (!gRead(source, selector_) || !gRead(source, second_)) return;
  if (stored > version()) return;
  uint32_t count = 0;
  if (!gRead(source, count)) return;
  freeValues();
  // The count is not trusted: reading stops at the first value that is not
  // there, so a damaged count costs no more than the data that follows it.
  for (uint32_t i = 0; i < count; ++i) {
    int16_t v = 0;
    if (!gRead(source, v)) break;
    append(v);
  }
}

RWBoolean GBookletComposite::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GBookletComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GAttribute::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const GBookletComposite*>(other);
  if (!o || o->selector_ != selector_ || o->values_.entries() != values_.entries()) return FALSE;
  for (const ValueLink *a = firstValue(), *b = o->firstValue(); a && b; a = nextValue(a), b = o->nextValue(b)) {
    if (a->value != b->value) return FALSE;
  }
  return TRUE;
}

GChildIterator* GBookletComposite::createIterator() { return nullptr; }
GStatus GBookletComposite::accept(GPeripheralHandlers&) { return 1; }

int32_t GBookletComposite::reservedQuery() const { return 0; }
void GBookletComposite::reservedNotify(int32_t) {}
int32_t GBookletComposite::reservedEnabled() const { return 1; }
void GBookletComposite::reservedReset() {}

int16_t GBookletComposite::valueAt(int32_t index) const {
  if (index < 0) return -1;
  int32_t i = 0;
  for (const ValueLink* l = firstValue(); l; l = nextValue(l), ++i) {
    if (i == index) return l->value;
  }
  return -1;
}

void GBookletComposite::appendPair(int16_t first, int16_t second) {
  append(first);
  append(second);
}
