#include "journal/graphic.h"

#include "core/perclass.h"
#include "graphics/gattrib.h"

namespace {

MPersistentObject* stamped(GGraphicBundle* bundle) {
  if (bundle) bundle->setId(AttrId::GraphicGroup);
  return bundle;
}

}  // namespace

G_DEFINE_PERSISTENT_LEVEL(GGraphic, GCommand)
RW_DEFINE_RESTORE_OPERATORS(GGraphic)

GGraphic::GGraphic(const uint32_t& id) : GCommand(id) {}
GGraphic::GGraphic(GGraphicBundle* bundle, const uint32_t& id) : GCommand(stamped(bundle), id) {}
GGraphic::GGraphic(const GGraphic& other) = default;

GGraphic& GGraphic::operator=(const GGraphic& other) {
  GCommand::operator=(other);
  return *this;
}

GGraphic::~GGraphic() = default;

RWClassID GGraphic::isA() const { return classIsA(); }

RWBoolean GGraphic::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

void GGraphic::setAttribute(MPersistentObject* attribute) {
  if (attribute && !attribute->isKindOf(ClassId::GGraphicBundle)) {
    refuse(attribute);
    return;
  }
  if (attribute) attribute->setId(AttrId::GraphicGroup);
  GCommand::setAttribute(attribute);
}

RWspace GGraphic::levelStoreSize() const { return 4; }

template <class Sink>
void GGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GGraphic::restoreLevel(Source& source) {
  gReadVersion(source, version());
}
