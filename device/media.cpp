#include "device/media.h"

#include <memory>

#include "core/childvec.h"
#include "core/perclass.h"
#include "core/pointio.h"

G_DEFINE_PERSISTENT(GMedia, GAttribute)
G_DEFINE_PERSISTENT(GMediaPool, GEnumAttribute)

namespace {

RWCString textOf(const char* text) { return text ? RWCString(text) : RWCString(); }

// A resolution is stored as an unsigned 16-bit number.
template <class Source>
bool readResolution(Source& source, int16_t& resolution) {
  uint16_t stored = 0;
  if (!gRead(source, stored)) return false;
  resolution = static_cast<int16_t>(stored);
  return true;
}

int16_t sum16(int16_t a, int16_t b) { return static_cast<int16_t>(static_cast<uint16_t>(a) + static_cast<uint16_t>(b)); }

int16_t difference16(int16_t a, int16_t b) {
  return static_cast<int16_t>(static_cast<uint16_t>(a) - static_cast<uint16_t>(b));
}

}  // namespace

// ---- GMedia -----------------------------------------------------------------------

GMedia::GMedia()
    : GAttribute(AttrId::MediaEntry), orientation_(0), xResolution_(600), yResolution_(600), code_(0), mediaId_(0) {}

GMedia::GMedia(const char* name, const GPoint& size, const GPoint& extent, const GPoint& origin, int32_t orientation,
               int16_t mediaId, int16_t xResolution, int16_t yResolution, const uint32_t& id, uint16_t code,
               const char* text, const char* mediaTypeName)
    : GAttribute(id),
      name_(textOf(name)),
      size_(size),
      extent_(extent),
      origin_(origin),
      orientation_(orientation),
      xResolution_(xResolution),
      yResolution_(yResolution),
      code_(code),
      text_(textOf(text)),
      mediaTypeName_(textOf(mediaTypeName)),
      mediaId_(mediaId) {}

GMedia::GMedia(const GMedia& other) = default;

GMedia& GMedia::operator=(const GMedia& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  name_ = other.name_;
  size_ = other.size_;
  extent_ = other.extent_;
  origin_ = other.origin_;
  orientation_ = other.orientation_;
  xResolution_ = other.xResolution_;
  yResolution_ = other.yResolution_;
  code_ = other.code_;
  text_ = other.text_;
  mediaTypeName_ = other.mediaTypeName_;
  mediaId_ = other.mediaId_;
  return *this;
}

GMedia::~GMedia() = default;

RWspace GMedia::levelStoreSize() const {
  return 40 + name_.length() + text_.length() + mediaTypeName_.length();
}

template <class Sink>
void GMedia::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWritePoint(sink, size_);
  gWritePoint(sink, extent_);
  gWritePoint(sink, origin_);
  gWrite(sink, orientation_);
  gWrite(sink, static_cast<uint16_t>(xResolution_));
  gWrite(sink, static_cast<uint16_t>(yResolution_));
  gWrite(sink, code_);
  gWrite(sink, text_);
  gWrite(sink, mediaTypeName_);
  gWrite(sink, mediaId_);
}

// A field that cannot be read ends the level: it and the fields after it
// keep their values.
template <class Source>
void GMedia::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  (void)(gRead(source, name_) && gReadPoint(source, size_) && gReadPoint(source, extent_) && gReadPoint(source, origin_) &&
      gRead(source, orientation_) && readResolution(source, xResolution_) && readResolution(source, yResolution_) &&
      gRead(source, code_) && gRead(source, text_) && gRead(source, mediaTypeName_) && gRead(source, mediaId_));
}

RWBoolean GMedia::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GMedia::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GMedia* o = dynamic_cast<const GMedia*>(other);
  return o && name_ == o->name_ && size_ == o->size_ && extent_ == o->extent_ && origin_ == o->origin_ &&
         orientation_ == o->orientation_ && xResolution_ == o->xResolution_ && yResolution_ == o->yResolution_ &&
         code_ == o->code_ && text_ == o->text_ && mediaTypeName_ == o->mediaTypeName_ && mediaId_ == o->mediaId_;
}

GStatus GMedia::accept(GPeripheralHandlers& visitor) { return visitor.onMedia(this); }

GRect GMedia::printableRect() const { return GRect(origin_, printableEnd()); }

GPoint GMedia::printableEnd() const {
  return GPoint(sum16(origin_.x(), extent_.x()), sum16(origin_.y(), extent_.y()));
}

GPoint GMedia::farMargins() const {
  return GPoint(difference16(difference16(size_.x(), origin_.x()), extent_.x()),
                difference16(difference16(size_.y(), origin_.y()), extent_.y()));
}

void GMedia::setText(const char* text) { text_ = textOf(text); }

void GMedia::setMediaTypeName(const char* name) { mediaTypeName_ = textOf(name); }

int32_t normalizeAngle(int32_t degrees) {
  // Unsigned throughout: 359 - degrees and the turns added to a negative
  // angle would overflow a signed word for the most negative angles.
  uint32_t angle = static_cast<uint32_t>(degrees);
  if (degrees < 0) angle += 360u * ((359u - angle) / 360u);
  return static_cast<int32_t>(angle % 360u);
}

// ---- GMediaPool -------------------------------------------------------------------

GMediaPool::GMediaPool(const uint32_t& id) : GEnumAttribute(id) {}

GMediaPool::GMediaPool(const GMediaPool& other) = default;

GMediaPool& GMediaPool::operator=(const GMediaPool& other) {
  GEnumAttribute::operator=(other);
  return *this;
}

GMediaPool::~GMediaPool() = default;

RWspace GMediaPool::levelStoreSize() const { return 4; }

template <class Sink>
void GMediaPool::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

// The word is read past, whatever it holds: the pool has nothing after it.
template <class Source>
void GMediaPool::restoreLevel(Source& source) {
  uint32_t stored = 0;
  gRead(source, stored);
}

RWBoolean GMediaPool::isKindOf(RWClassID id) const { return id == classIsA() || GEnumAttribute::isKindOf(id); }

RWBoolean GMediaPool::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  return other && other->isA() == isA() && GEnumAttribute::matches(other);
}

GMediaPoolIterator* GMediaPool::select(int32_t orientation, int16_t xResolution, int16_t yResolution,
                                       const GPoint& lower, const GPoint& upper) {
  return new GMediaPoolIterator(this, orientation, xResolution, yResolution, lower, upper);
}

GMediaPoolIterator* GMediaPool::select(int32_t orientation, int16_t resolution, const GPoint& lower,
                                       const GPoint& upper) {
  return select(orientation, resolution, resolution, lower, upper);
}

GMedia* GMediaPool::findByMediaId(int16_t mediaId, int32_t orientation, int16_t xResolution, int16_t yResolution) {
  const std::unique_ptr<GMediaPoolIterator> it(
      select(orientation, xResolution, yResolution, GPoint(0, 0), GPoint(32767, 32767)));
  while (it->advance()) {
    GMedia* media = static_cast<GMedia*>(it->current());
    if (media->mediaId() == mediaId) return media;
  }
  return nullptr;
}

GMedia* GMediaPool::findByMediaId(int16_t mediaId, int32_t orientation, int16_t resolution) {
  return findByMediaId(mediaId, orientation, resolution, resolution);
}

// ---- GMediaPoolIterator -----------------------------------------------------------

GMediaPoolIterator::GMediaPoolIterator(GMediaPool* pool, int32_t orientation, int16_t xResolution,
                                       int16_t yResolution, const GPoint& lower, const GPoint& upper)
    : GAttributeIterator(pool),
      pool_(pool),
      position_(-1),
      xResolution_(xResolution),
      yResolution_(yResolution),
      orientation_(orientation),
      lower_(lower),
      upper_(upper) {}

GMediaPoolIterator::~GMediaPoolIterator() = default;

bool GMediaPoolIterator::passes(const GMedia& media) const {
  const GPoint& size = media.size();
  return media.orientation() == orientation_ && media.xResolution() == xResolution_ &&
         media.yResolution() == yResolution_ && lower_.x() <= size.x() && size.x() <= upper_.x() &&
         lower_.y() <= size.y() && size.y() <= upper_.y();
}

int GMediaPoolIterator::advance() {
  const GCountedPtrVector& children = pool_ ? pool_->children() : gNoChildren();
  for (RWsize at = static_cast<RWsize>(position_ + 1); at < children.entries(); ++at) {
    // A restored pool may hold nil children and children of other classes:
    // neither is an entry, and neither passes.
    const GMedia* media = dynamic_cast<const GMedia*>(children.pointee(at));
    if (media && passes(*media)) {
      position_ = static_cast<int32_t>(at);
      return 1;
    }
  }
  position_ = -1;
  return 0;
}

MPersistentObject* GMediaPoolIterator::current() {
  const GCountedPtrVector& children = pool_ ? pool_->children() : gNoChildren();
  if (!gCheckChildPosition(children, position_)) return nullptr;
  return children.pointee(static_cast<RWsize>(position_));
}

void GMediaPoolIterator::replaceCurrent(MPersistentObject* object) {
  const GCountedPtrVector& children = pool_ ? pool_->children() : gNoChildren();
  if (!gCheckChildPosition(children, position_)) return;
  pool_->replaceChild(static_cast<RWsize>(position_), object);
}
