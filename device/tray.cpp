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

// ---- GTray ------------------------------------------------------------------------

GTray::GTray() : number_(0), extra1_(0), extra2_(0), capacity_(-1), level_(-1) {}

GTray::GTray(const char* name, int16_t number, const uint32_t& id)
    : GAttribute(id), name_(textOf(name)), number_(number), extra1_(0), extra2_(0), capacity_(-1), level_(-1) {}

// The default display string (id 0, no texts), made once: a display
// string made and then assigned would take a second serial number.
GTray::GTray(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
             GMedia* media, const uint32_t& id)
    : GTray(0, name, number, extra1, extra2, capacity, level, media, nullptr, nullptr, id) {}

GTray::GTray(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
             int32_t level, GMedia* media, const char* displayText, const char* secondDisplayText,
             const uint32_t& id)
    : GAttribute(id),
      name_(textOf(name)),
      number_(number),
      extra1_(extra1),
      extra2_(extra2),
      capacity_(capacity),
      level_(level),
      media_(media),
      displayString_(displayId, displayText, secondDisplayText) {}

GTray::GTray(const GTray& other)
    : GAttribute(other),
      name_(other.name_),
      number_(other.number_),
      extra1_(other.extra1_),
      extra2_(other.extra2_),
      capacity_(other.capacity_),
      level_(other.level_),
      media_(other.media_ ? other.media_->copy() : nullptr),
      displayString_(other.displayString_) {}

GTray& GTray::operator=(const GTray& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  name_ = other.name_;
  number_ = other.number_;
  extra1_ = other.extra1_;
  extra2_ = other.extra2_;
  capacity_ = other.capacity_;
  level_ = other.level_;
  media_.reset(other.media_ ? other.media_->copy() : nullptr);
  displayString_ = other.displayString_;
  return *this;
}

GTray::~GTray() = default;

RWspace GTray::levelStoreSize() const {
  // The members are counted under the store table binaryStoreSize holds.
  return 30 + name_.length() + (media_ ? media_->recursiveStoreSize() : 0) + displayString_.recursiveStoreSize();
}

template <class Sink>
void GTray::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWrite(sink, number_);
  gWrite(sink, extra1_);
  gWrite(sink, extra2_);
  gWrite(sink, capacity_);
  gWrite(sink, level_);
  gWrite(sink, int32_t{media_ ? 1 : 0});
  if (media_) sink << static_cast<const RWCollectable*>(media_.get());
  sink << displayString_;
}

template <class Source>
void GTray::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored > version()) return;
  int32_t hasMedia = 0;
  if (!(gRead(source, name_) && gRead(source, number_) && gRead(source, extra1_) && gRead(source, extra2_) &&
        gRead(source, capacity_) && gRead(source, level_) && gRead(source, hasMedia)))
    return;
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
  if (!o || name_ != o->name_ || number_ != o->number_ || extra1_ != o->extra1_ || extra2_ != o->extra2_ ||
      capacity_ != o->capacity_ || level_ != o->level_ || !displayString_.matches(&o->displayString_))
    return FALSE;
  if (!media_ || !o->media_) return !media_ && !o->media_;
  return media_->matches(o->media_.get());
}

GStatus GTray::accept(GPeripheralHandlers& visitor) { return visitor.onTray(this); }

int GTray::setLevel(int32_t value, int inPercent) { return levelFor(capacity_, value, inPercent, level_) ? 1 : 0; }

// ---- GBin -------------------------------------------------------------------------

GBin::GBin() : number_(0), extra1_(0), extra2_(0), capacity_(-1), level_(-1), deliveryKind_(0), extra3_(0) {}

GBin::GBin(const char* name, int16_t number, const uint32_t& id)
    : GAttribute(id),
      name_(textOf(name)),
      number_(number),
      extra1_(0),
      extra2_(0),
      capacity_(-1),
      level_(-1),
      deliveryKind_(0),
      extra3_(0) {}

GBin::GBin(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
           int32_t deliveryKind, int32_t extra3, const uint32_t& id)
    : GBin(0, name, number, extra1, extra2, capacity, level, deliveryKind, extra3, nullptr, nullptr, id) {}

GBin::GBin(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
           int32_t level, int32_t deliveryKind, int32_t extra3, const char* displayText,
           const char* secondDisplayText, const uint32_t& id)
    : GAttribute(id),
      name_(textOf(name)),
      number_(number),
      extra1_(extra1),
      extra2_(extra2),
      capacity_(capacity),
      level_(level),
      deliveryKind_(deliveryKind),
      extra3_(extra3),
      displayString_(displayId, displayText, secondDisplayText) {}

GBin::GBin(const GBin& other) = default;

GBin& GBin::operator=(const GBin& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  name_ = other.name_;
  number_ = other.number_;
  extra1_ = other.extra1_;
  extra2_ = other.extra2_;
  capacity_ = other.capacity_;
  level_ = other.level_;
  deliveryKind_ = other.deliveryKind_;
  extra3_ = other.extra3_;
  displayString_ = other.displayString_;
  return *this;
}

GBin::~GBin() = default;

RWspace GBin::levelStoreSize() const { return 34 + name_.length() + displayString_.recursiveStoreSize(); }

template <class Sink>
void GBin::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWrite(sink, number_);
  gWrite(sink, extra1_);
  gWrite(sink, extra2_);
  gWrite(sink, capacity_);
  gWrite(sink, level_);
  gWrite(sink, deliveryKind_);
  gWrite(sink, extra3_);
  sink << displayString_;
}

template <class Source>
void GBin::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored > version()) return;
  if (!(gRead(source, name_) && gRead(source, number_) && gRead(source, extra1_) && gRead(source, extra2_) &&
        gRead(source, capacity_) && gRead(source, level_) && gRead(source, deliveryKind_) &&
        gRead(source, extra3_)))
    return;
  if (stored == version()) readDisplayString(source, displayString_);
}

RWBoolean GBin::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GBin::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GBin* o = dynamic_cast<const GBin*>(other);
  return o && name_ == o->name_ && number_ == o->number_ && extra1_ == o->extra1_ && extra2_ == o->extra2_ &&
         capacity_ == o->capacity_ && level_ == o->level_ && deliveryKind_ == o->deliveryKind_ &&
         extra3_ == o->extra3_ && !displayString_.differs(&o->displayString_);
}

GStatus GBin::accept(GPeripheralHandlers&) { return 1; }

int GBin::setLevel(int32_t value, int inPercent) { return levelFor(capacity_, value, inPercent, level_) ? 1 : 0; }
