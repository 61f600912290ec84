#include "graphics/colrend.h"

#include "core/cntdptr.h"
#include "core/passoc.h"
#include "core/perclass.h"
#include "core/valattr.h"

namespace {

constexpr int32_t kDefaultColorMap = 15;
constexpr int32_t kDefaultHalftone = 40;

}  // namespace

uint16_t gSelectorTableValue(const MPersistentObject* composite, uint32_t tableId, int32_t selector) {
  if (!composite) return 0;
  const auto* table = dynamic_cast<const MAssociationList*>(composite->findById(tableId));
  if (!table) return 0;
  // The keys are matched by their own class's rule: same class, id and
  // value, so the key looked up has id 0 as the stored keys do.
  const GValueAttribute key(static_cast<int16_t>(selector), 0);
  const MPersistentObject* value = table->findValue(&key);
  if (const auto* v16 = dynamic_cast<const GValueAttribute*>(value)) return static_cast<uint16_t>(v16->value());
  if (const auto* v32 = dynamic_cast<const GValue32Attribute*>(value)) return static_cast<uint16_t>(v32->value());
  return 0;
}

// ---- GColorRenderingAttribute -------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GColorRenderingAttribute, GGraphicAttribute)

GColorRenderingAttribute::GColorRenderingAttribute(int32_t selector, const uint32_t& key)
    : GGraphicAttribute(key), selector_(selector) {}

GColorRenderingAttribute::GColorRenderingAttribute(const GColorRenderingAttribute& other) = default;

GColorRenderingAttribute& GColorRenderingAttribute::operator=(const GColorRenderingAttribute& other) {
  GGraphicAttribute::operator=(other);
  selector_ = other.selector_;
  return *this;
}

GColorRenderingAttribute::~GColorRenderingAttribute() = default;

RWBoolean GColorRenderingAttribute::matches(const MPersistentObject* other) const {
  const GColorRenderingAttribute* o = sameClass(this, other);
  return o && o->selector_ == selector_;
}

RWspace GColorRenderingAttribute::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GColorRenderingAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, selector_);
}

template <class Source>
void GColorRenderingAttribute::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, selector_);
}

// ---- GColorMap ----------------------------------------------------------------------

// The selector is stored by the level above: nothing of its own.
G_DEFINE_PERSISTENT(GColorMap, GColorRenderingAttribute)

GColorMap::GColorMap() : GColorMap(kDefaultColorMap) {}
GColorMap::GColorMap(int32_t selector, const uint32_t& key) : GColorRenderingAttribute(selector, key) {}
GColorMap::GColorMap(const GColorMap& other) = default;

GColorMap& GColorMap::operator=(const GColorMap& other) {
  GColorRenderingAttribute::operator=(other);
  return *this;
}

GColorMap::~GColorMap() = default;

RWBoolean GColorMap::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

GStatus GColorMap::accept(GPeripheralHandlers& visitor) { return visitor.onColorMap(this); }

uint16_t GColorMap::deviceValue(const GCountedPtr& config) const {
  return gSelectorTableValue(config.get(), AttrId::ColorMapTable, selector());
}

RWspace GColorMap::levelStoreSize() const { return 0; }

template <class Sink>
void GColorMap::saveLevel(Sink&) const {}

template <class Source>
void GColorMap::restoreLevel(Source&) {}

// ---- GHalftone ----------------------------------------------------------------------

// The selector is stored by the level above: nothing of its own.
G_DEFINE_PERSISTENT(GHalftone, GColorRenderingAttribute)

GHalftone::GHalftone() : GHalftone(kDefaultHalftone) {}
GHalftone::GHalftone(int32_t selector, const uint32_t& key) : GColorRenderingAttribute(selector, key) {}
GHalftone::GHalftone(const GHalftone& other) = default;

GHalftone& GHalftone::operator=(const GHalftone& other) {
  GColorRenderingAttribute::operator=(other);
  return *this;
}

GHalftone::~GHalftone() = default;

RWBoolean GHalftone::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

GStatus GHalftone::accept(GPeripheralHandlers& visitor) { return visitor.onHalftone(this); }

uint16_t GHalftone::deviceValue(const GCountedPtr& config) const {
  return gSelectorTableValue(config.get(), AttrId::HalftoneTable, selector());
}

RWspace GHalftone::levelStoreSize() const { return 0; }

template <class Sink>
void GHalftone::saveLevel(Sink&) const {}

template <class Source>
void GHalftone::restoreLevel(Source&) {}
