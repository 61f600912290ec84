#include "device/tray.h"

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GTray, GAttribute)
G_DEFINE_PERSISTENT(GBin, GAttribute)

namespace {

RWCString textOf(const char* text) { return text ? RWCString(text) : RWCString(); }

// The level a value gives, for trays and bins alike; false when it is
// refused. The product of a percentage is taken in 64 bits: the capacity
// times 100 does not fit 32, the level it gives does.
bool levelFor(int32_t capacity, int32_t value, int inPercent, int32_t& level) {
  if (!inPercent) {
    if (value >= capacity) return false;
    level = value;
    return true;
  }
  // A negative percentage is no fill level, and its product need not fit.
  if (capacity <= 0 || value < 0 || value > 100) return false;
  level = static_cast<int32_t>(int64_t{capacity} * value / 100);
  return true;
}

// The display string, a member: no later reference may share it.
template <class Source>
bool readDisplayString(Source& source, GDisplayString& displayString) {
  return !RWCollectable::restoreInPlace(source, static_cast<RWCollectable&>(displayString)).failed;
}

}  // namespace

template <class Sink>
void GSourceFields::save(Sink& sink) const {
  gWrite(sink, name);
  gWrite(sink, number);
  gWrite(sink, extra1);
  gWrite(sink, extra2);
  gWrite(sink, capacity);
  gWrite(sink, level);
}

template <class Source>
bool GSourceFields::restore(Source& source) {
  return gRead(source, name) && gRead(source, number) && gRead(source, extra1) && gRead(source, extra2) &&
         gRead(source, capacity) && gRead(source, level);
}

// ---- GTray ------------------------------------------------------------------------

GTray::GTray() = default;

GTray::GTray(const char* name, int16_t number, const uint32_t& id)
    : GAttribute(id), fields_{textOf(name), number} {}

// The default display string (id 0, no texts), made once: a display
// string made and then assigned would take a second serial number.
GTray::GTray(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
             GMedia* media, const uint32_t& id)
    : GTray(0, name, number, extra1, extra2, capacity, level, media, nullptr, nullptr, id) {}

GTray::GTray(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
             int32_t level, GMedia* media, const char* displayText, const char* secondDisplayText,
             const uint32_t& id)
    : GAttribute(id),
      fields_{textOf(name), number, extra1, extra2, capacity, level},
      media_(media),
      displayString_(displayId, displayText, secondDisplayText) {}

GTray::GTray(const GTray& other)
    : GAttribute(other),
      fields_(other.fields_),
      media_(other.media_ ? other.media_->copy() : nullptr),
      displayString_(other.displayString_) {}

GTray& GTray::operator=(const GTray& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  fields_ = other.fields_;
  media_.reset(other.media_ ? other.media_->copy() : nullptr);
  displayString_ = other.displayString_;
  return *this;
}

GTray::~GTray() = default;

RWspace GTray::levelStoreSize() const {
  // The members are counted under the store table binaryStoreSize holds.
  return 30 + fields_.name.length() + (media_ ? media_->recursiveStoreSize() : 0) + displayString_.recursiveStoreSize();
}

template <class Sink>
void GTray::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  fields_.save(sink);
  gWrite(sink, int32_t{media_ ? 1 : 0});
  if (media_) sink << static_cast<const RWCollectable*>(media_.get());
  sink << displayString_;
}

template <class Source>
void GTray::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored > version()) return;
  int32_t hasMedia = 0;
  if (!fields_.restore(source) || !gRead(source, hasMedia)) return;
  media_.reset();
  if (hasMedia == 1) {
    // The media is the tray's alone: a reference to an object read earlier
    // is refused, and anything but a media entry is dropped.
    RWCollectable::Restored r = RWCollectable::restoreForOwner(source);
    if (r.failed) return;
    GMedia* media = dynamic_cast<GMedia*>(r.object);
    if (media) {
      media_.reset(media);
    } else if (r.object) {
      RWCollectable::discardRestored(r.object);
    }
  }
  if (stored == version()) readDisplayString(source, displayString_);
}

RWBoolean GTray::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GTray::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GTray* o = dynamic_cast<const GTray*>(other);
  if (!o || !(fields_ == o->fields_) || !displayString_.matches(&o->displayString_)) return FALSE;
  if (!media_ || !o->media_) return !media_ && !o->media_;
  return media_->matches(o->media_.get());
}

GStatus GTray::accept(GPeripheralHandlers& visitor) { return visitor.onTray(this); }

int GTray::setLevel(int32_t value, int inPercent) {
  return levelFor(fields_.capacity, value, inPercent, fields_.level) ? 1 : 0;
}

// ---- GBin -------------------------------------------------------------------------

GBin::GBin() : deliveryKind_(0), extra3_(0) {}

GBin::GBin(const char* name, int16_t number, const uint32_t& id)
    : GAttribute(id),
      fields_{textOf(name), number},
      deliveryKind_(0),
      extra3_(0) {}

GBin::GBin(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
           int32_t deliveryKind, int32_t extra3, const uint32_t& id)
    : GBin(0, name, number, extra1, extra2, capacity, level, deliveryKind, extra3, nullptr, nullptr, id) {}

GBin::GBin(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
           int32_t level, int32_t deliveryKind, int32_t extra3, const char* displayText,
           const char* secondDisplayText, const uint32_t& id)
    : GAttribute(id),
      fields_{textOf(name), number, extra1, extra2, capacity, level},
      deliveryKind_(deliveryKind),
      extra3_(extra3),
      displayString_(displayId, displayText, secondDisplayText) {}

GBin::GBin(const GBin& other) = default;

GBin& GBin::operator=(const GBin& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  fields_ = other.fields_;
  deliveryKind_ = other.deliveryKind_;
  extra3_ = other.extra3_;
  displayString_ = other.displayString_;
  return *this;
}

GBin::~GBin() = default;

RWspace GBin::levelStoreSize() const { return 34 + fields_.name.length() + displayString_.recursiveStoreSize(); }

template <class Sink>
void GBin::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  fields_.save(sink);
  gWrite(sink, deliveryKind_);
  gWrite(sink, extra3_);
  sink << displayString_;
}

template <class Source>
void GBin::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored > version()) return;
  if (!(fields_.restore(source) && gRead(source, deliveryKind_) && gRead(source, extra3_))) return;
  if (stored == version()) readDisplayString(source, displayString_);
}

RWBoolean GBin::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GBin::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GBin* o = dynamic_cast<const GBin*>(other);
  return o && fields_ == o->fields_ && deliveryKind_ == o->deliveryKind_ &&
         extra3_ == o->extra3_ && !displayString_.differs(&o->displayString_);
}

GStatus GBin::accept(GPeripheralHandlers&) { return 1; }

int GBin::setLevel(int32_t value, int inPercent) {
  return levelFor(fields_.capacity, value, inPercent, fields_.level) ? 1 : 0;
}
