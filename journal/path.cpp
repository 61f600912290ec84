#include "journal/path.h"

#include <algorithm>

#include "core/perclass.h"
#include "journal/shapes.h"

G_DEFINE_PERSISTENT(GPathGraphic, GGraphicComposite)

GPathGraphic::GPathGraphic() : closed_(0) {}
GPathGraphic::GPathGraphic(GGraphicBundle* bundle, const uint32_t& id) : GGraphicComposite(bundle, id), closed_(0) {}
GPathGraphic::GPathGraphic(const GPathGraphic& other) = default;

GPathGraphic& GPathGraphic::operator=(const GPathGraphic& other) {
  if (this == &other) return *this;
  GGraphicComposite::operator=(other);
  closed_ = other.closed_;
  return *this;
}

GPathGraphic::~GPathGraphic() = default;

RWBoolean GPathGraphic::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicComposite::isKindOf(id); }

RWBoolean GPathGraphic::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const auto* o = dynamic_cast<const GPathGraphic*>(other);
  return o && o->isA() == isA() && closed_ == o->closed_ && GGraphicComposite::matches(other);
}

RWBoolean GPathGraphic::isComposite() const { return FALSE; }

GChildIterator* GPathGraphic::createIterator() { return new GNullIterator(this); }

GStatus GPathGraphic::accept(GPeripheralHandlers& stage) { return stage.onPath(this); }

GRect GPathGraphic::boundingBox() {
  GRect box;
  bool any = false;
  const GCountedPtrVector& pieces = members().children();
  for (RWsize i = 0; i < pieces.entries(); ++i) {
    MPersistentObject* piece = pieces.pointee(i);
    GRect b;
    if (auto* shape = dynamic_cast<GPointListGraphic*>(piece)) {
      b = shape->boundingBox();
    } else if (auto* path = dynamic_cast<GPathGraphic*>(piece)) {
      b = path->boundingBox();
    } else {
      continue;
    }
    if (!any) {
      box = b;
      any = true;
      continue;
    }
    box = GRect(std::min(box.left(), b.left()), std::min(box.top(), b.top()), std::max(box.right(), b.right()),
                std::max(box.bottom(), b.bottom()));
  }
  return box;
}

RWspace GPathGraphic::levelStoreSize() const { return 8; }

template <class Sink>
void GPathGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, gInt(closed_));
}

template <class Source>
void GPathGraphic::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  gRead(source, gInt(closed_));
}
