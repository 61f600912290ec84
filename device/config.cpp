#include "device/config.h"

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GConfiguration, MPersistentComposite)

GConfiguration::GConfiguration() = default;
GConfiguration::GConfiguration(const uint32_t& id) : MPersistentComposite(id) {}
GConfiguration::GConfiguration(const GConfiguration& other) = default;

GConfiguration& GConfiguration::operator=(const GConfiguration& other) {
  MPersistentComposite::operator=(other);
  return *this;
}

GConfiguration::~GConfiguration() = default;

RWspace GConfiguration::levelStoreSize() const { return 4; }

template <class Sink>
void GConfiguration::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GConfiguration::restoreLevel(Source& source) {
  // Nothing follows the version word, so its value changes nothing.
  gReadVersion(source, version());
}

RWBoolean GConfiguration::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentComposite::isKindOf(id);
}

void GConfiguration::insert(MPersistentObject* object) {
  if (!object) return;
  // A nested configuration is always added: each stage's stays whole.
  if (object->isA() != classIsA()) {
    for (RWsize i = 0; i < children().entries(); ++i) {
      MPersistentObject* child = children().pointee(i);
      if (!child || !object->matches(child)) continue;
      // A duplicate (the very child too): refused. Deleted only when nobody
      // else holds it, so that an item another configuration shares is
      // left to it.
      disposeUnshared(object);
      return;
    }
  }
  MPersistentComposite::insert(object);
}
