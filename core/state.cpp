#include "core/state.h"

#include "core/perclass.h"

// A copy shares the members, as the copy constructor does.
G_DEFINE_PERSISTENT(GState, GAttributeComposite)

GState::GState() = default;
GState::GState(const uint32_t& id) : GAttributeComposite(id) {}
GState::GState(const GState& other) = default;

GState& GState::operator=(const GState& other) {
  GAttributeComposite::operator=(other);
  return *this;
}

GState::~GState() = default;

RWspace GState::levelStoreSize() const { return 4; }

template <class Sink>
void GState::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GState::restoreLevel(Source& source) {
  // Nothing follows the version word at this level, so its value changes
  // nothing.
  gReadVersion(source, version());
}

RWBoolean GState::isKindOf(RWClassID id) const { return id == classIsA() || GAttributeComposite::isKindOf(id); }

int32_t GState::correspondent(const MPersistentObject* object) const {
  return firstChild([&](MPersistentObject* member) {
    return GAttribute::fromObject(member) && sameKindAndId(member, object);
  });
}

void GState::insert(MPersistentObject* object) {
  GAttribute* attribute = GAttribute::fromObject(object);
  if (!attribute) {
    GAttributeComposite::insert(object);  // disposes of it
    return;
  }
  // A member inserted again must neither be deleted nor move: it stays
  // where it is (a restored state may hold it after a correspondent).
  if (children().index(attribute) >= 0) return;
  const int32_t at = correspondent(attribute);
  if (at < 0) {
    GAttributeComposite::insert(attribute);
    return;
  }
  const RWsize position = static_cast<RWsize>(at);
  MPersistentObject* member = children().pointee(position);
  if (member->matches(attribute)) {
    discard(attribute);
    return;
  }
  replaceChild(position, attribute);
}

void GState::merge(GAttribute* other) {
  if (!other || other == this) return;
  if (!sameKindAndId(this, other)) {
    other->setChanged();
    insert(other);
    return;
  }
  GAttributeComposite* from = dynamic_cast<GAttributeComposite*>(other);
  if (!from) return;
  mergeMembers(from);
}

void GState::mergeMembers(GAttributeComposite* from) {
  if (!from || from == this) return;
  const RWsize n = from->children().entries();
  for (RWsize i = 0; i < n; ++i) {
    GAttribute* taken = GAttribute::fromObject(from->children().pointee(i));
    if (!taken) continue;
    const int32_t at = correspondent(taken);
    if (at < 0) {
      GAttributeComposite::insert(taken);
      taken->setChanged();
      continue;
    }
    const RWsize position = static_cast<RWsize>(at);
    MPersistentObject* member = children().pointee(position);
    if (member == taken) continue;  // already shared: nothing differs
    if (member->isA() == classIsA()) {
      static_cast<GAttribute*>(member)->merge(taken);
    } else if (member->differs(taken)) {
      replaceChild(position, taken);
      taken->setChanged();
    }
  }
}
