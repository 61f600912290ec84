#include "graphfix.h"

#include "core/perclass.h"
#include "core/visitor.h"

G_DEFINE_PERSISTENT(TestGraphic, GGraphicAttribute)

TestGraphic::TestGraphic() : family_(0), value_(0) {}
TestGraphic::TestGraphic(RWClassID family, int32_t value) : family_(family), value_(value) {}
TestGraphic::TestGraphic(const TestGraphic& other) = default;
TestGraphic::~TestGraphic() { ++destroyed; }

RWBoolean TestGraphic::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean TestGraphic::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !GGraphicAttribute::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const TestGraphic*>(other);
  return o && o->family_ == family_ && o->value_ == value_;
}

GStatus TestGraphic::accept(GPeripheralHandlers& visitor) {
  accepted.push_back(this);
  GStatus status = 0;
  switch (family_) {
    case ClassId::GBrush:
      status = visitor.onBrush(nullptr);
      break;
    case ClassId::GPen:
      status = visitor.onPen(nullptr);
      break;
    case ClassId::GCap:
      status = visitor.onCap(nullptr);
      break;
    case ClassId::GJoint:
      status = visitor.onJoint(nullptr);
      break;
    case ClassId::GClipAttribute:
      status = visitor.onClipToRectangle(nullptr);
      break;
    case ClassId::GFillMode:
      status = visitor.onFillMode(nullptr);
      break;
    case ClassId::GRasterOperation:
      status = visitor.onRasterOperation(nullptr);
      break;
    default:
      break;
  }
  if (status == 0) resetChanged();
  return status;
}

RWspace TestGraphic::levelStoreSize() const { return 4 + 2 + 4; }

template <class Sink>
void TestGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint16_t>(family_));
  gWrite(sink, value_);
}

template <class Source>
void TestGraphic::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint16_t family = 0;
  if (gRead(source, family)) family_ = family;
  gRead(source, value_);
}

G_DEFINE_PERSISTENT(TestOtherGraphic, TestGraphic)

TestOtherGraphic::~TestOtherGraphic() = default;

RWBoolean TestOtherGraphic::isKindOf(RWClassID id) const { return id == classIsA() || TestGraphic::isKindOf(id); }

RWspace TestOtherGraphic::levelStoreSize() const { return 0; }

template <class Sink>
void TestOtherGraphic::saveLevel(Sink&) const {}

template <class Source>
void TestOtherGraphic::restoreLevel(Source&) {}
