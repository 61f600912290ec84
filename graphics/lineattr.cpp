#include "graphics/lineattr.h"

#include "core/perclass.h"

namespace {

constexpr int32_t kSquareCap = 1;
constexpr int32_t kNoJoin = 3;
constexpr int32_t kMiterJoin = 0;
constexpr int32_t kRoundJoin = 1;
constexpr int32_t kNoFillMode = 2;

// The level of a class of one 32-bit value: the version word, the value.
template <class Sink>
void saveValue(Sink& sink, uint32_t version, int32_t value) {
  gWriteVersion(sink, version);
  gWrite(sink, value);
}

// The value is taken only when the version is the class's and the word
// was read whole.
template <class Source>
void restoreValue(Source& source, uint32_t version, int32_t& value) {
  if (gReadVersion(source, version)) gRead(source, value);
}

}  // namespace

// ---- GCap ---------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GCap, GGraphicAttribute)

GCap::GCap() : cap_(kSquareCap) {}
GCap::GCap(int32_t cap, const uint32_t& key) : GGraphicAttribute(key), cap_(cap) {}
GCap::GCap(const GCap& other) = default;

GCap& GCap::operator=(const GCap& other) {
  GGraphicAttribute::operator=(other);
  cap_ = other.cap_;
  return *this;
}

GCap::~GCap() = default;

RWBoolean GCap::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GCap::matches(const MPersistentObject* other) const {
  const GCap* o = sameClass(this, other);
  return o && GGraphicAttribute::matches(o) && o->cap_ == cap_;
}

GStatus GCap::accept(GPeripheralHandlers& visitor) { return visitor.onCap(this); }

RWspace GCap::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GCap::saveLevel(Sink& sink) const {
  saveValue(sink, version(), cap_);
}

template <class Source>
void GCap::restoreLevel(Source& source) {
  restoreValue(source, version(), cap_);
}

// ---- GJoint -------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GJoint, GGraphicAttribute)

GJoint::GJoint() : join_(kNoJoin) {}
GJoint::GJoint(int32_t join, const uint32_t& key) : GGraphicAttribute(key), join_(join == kMiterJoin ? kNoJoin : join) {}
GJoint::GJoint(const GJoint& other) = default;

GJoint& GJoint::operator=(const GJoint& other) {
  GGraphicAttribute::operator=(other);
  join_ = other.join_;
  return *this;
}

GJoint::~GJoint() = default;

RWBoolean GJoint::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GJoint::matches(const MPersistentObject* other) const {
  const GJoint* o = sameClass(this, other);
  return o && GGraphicAttribute::matches(o) && o->join() == join();
}

GStatus GJoint::accept(GPeripheralHandlers& visitor) { return visitor.onJoint(this); }

RWspace GJoint::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GJoint::saveLevel(Sink& sink) const {
  saveValue(sink, version(), join_);
}

template <class Source>
void GJoint::restoreLevel(Source& source) {
  restoreValue(source, version(), join_);
}

// ---- GMiterJoint --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GMiterJoint, GJoint)

GMiterJoint::GMiterJoint() : GMiterJoint(0.0f) {}

GMiterJoint::GMiterJoint(GReal limit, const uint32_t& key) : GJoint(kRoundJoin, key), miterLimit_(limit) {
  // The joint's constructor will not make a miter join: it is set here.
  GJoint::setJoin(kMiterJoin);
}

GMiterJoint::GMiterJoint(const GMiterJoint& other) = default;

GMiterJoint& GMiterJoint::operator=(const GMiterJoint& other) {
  GJoint::operator=(other);
  miterLimit_ = other.miterLimit_;
  return *this;
}

GMiterJoint::~GMiterJoint() = default;

RWBoolean GMiterJoint::isKindOf(RWClassID id) const { return id == classIsA() || GJoint::isKindOf(id); }

RWBoolean GMiterJoint::matches(const MPersistentObject* other) const {
  const GMiterJoint* o = sameClass(this, other);
  return o && GJoint::matches(o) && o->miterLimit_ == miterLimit_;
}

GStatus GMiterJoint::accept(GPeripheralHandlers& visitor) { return visitor.onMiterJoint(this); }

RWspace GMiterJoint::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GMiterJoint::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, miterLimit_);
}

template <class Source>
void GMiterJoint::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  GReal limit = 0;
  if (gRead(source, limit)) miterLimit_ = limit;
}

// ---- GFillMode ----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GFillMode, GGraphicAttribute)

GFillMode::GFillMode() : mode_(kNoFillMode) {}
GFillMode::GFillMode(int32_t mode, const uint32_t& key) : GGraphicAttribute(key), mode_(mode) {}
GFillMode::GFillMode(const GFillMode& other) = default;

GFillMode& GFillMode::operator=(const GFillMode& other) {
  GGraphicAttribute::operator=(other);
  mode_ = other.mode_;
  return *this;
}

GFillMode::~GFillMode() = default;

RWBoolean GFillMode::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GFillMode::matches(const MPersistentObject* other) const {
  const GFillMode* o = sameClass(this, other);
  return o && o->mode_ == mode_;
}

GStatus GFillMode::accept(GPeripheralHandlers& visitor) { return visitor.onFillMode(this); }

RWspace GFillMode::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GFillMode::saveLevel(Sink& sink) const {
  saveValue(sink, version(), mode_);
}

template <class Source>
void GFillMode::restoreLevel(Source& source) {
  restoreValue(source, version(), mode_);
}
