#include "core/passoc.h"

#include "core/perclass.h"

namespace {

const RWCollectable* storedForm(const MPersistentObject* p) {
  return p ? static_cast<const RWCollectable*>(p) : rwNilCollectable();
}

MPersistentObject* copyOf(const MPersistentObject* p) { return p ? p->copy() : nullptr; }

// Two absent objects are alike; an absent one differs from a present one.
bool alike(const MPersistentObject* a, const MPersistentObject* b) {
  if (!a || !b) return a == b;
  return !a->differs(b);
}

// Reads one owned member: the object made by this read, or null. A stored
// reference to an object read earlier is refused, since the association
// must be its only owner; so is an object that is not a persistent one.
template <class Source>
bool restoreOwned(Source& source, MPersistentObject*& member) {
  RWCollectable::Restored r = RWCollectable::restoreForOwner(source);
  if (r.failed) return false;
  MPersistentObject* p = dynamic_cast<MPersistentObject*>(r.object);
  if (!p && r.object) RWCollectable::discardRestored(r.object);
  member = p;
  return true;
}

}  // namespace

G_DEFINE_PERSISTENT(MPersistentAssociation, MPersistentObject)
// A copy shares the associations, as the copy constructor does.
G_DEFINE_PERSISTENT(MAssociationList, MPersistentComposite)

// ---- MPersistentAssociation -------------------------------------------------------

MPersistentAssociation::MPersistentAssociation() : key_(nullptr), value_(nullptr) {}

MPersistentAssociation::MPersistentAssociation(MPersistentObject* key, MPersistentObject* value,
                                               const uint32_t& id)
    : MPersistentObject(id), key_(key), value_(value) {}

MPersistentAssociation::MPersistentAssociation(const MPersistentAssociation& other)
    : MPersistentObject(), key_(copyOf(other.key_)), value_(copyOf(other.value_)) {}

MPersistentAssociation& MPersistentAssociation::operator=(const MPersistentAssociation& other) {
  if (this == &other) return *this;
  MPersistentObject* key = copyOf(other.key_);
  MPersistentObject* value = copyOf(other.value_);
  delete key_;
  delete value_;
  key_ = key;
  value_ = value;
  return *this;
}

MPersistentAssociation::~MPersistentAssociation() {
  delete key_;
  delete value_;
}

RWspace MPersistentAssociation::levelStoreSize() const {
  // Counted under the store table binaryStoreSize holds, as in a real
  // store: no member counts a file header, and one met twice counts as a
  // reference.
  RWspace size = 4 + storedForm(key_)->recursiveStoreSize();
  return size + storedForm(value_)->recursiveStoreSize();
}

template <class Sink>
void MPersistentAssociation::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << storedForm(key_) << storedForm(value_);
}

template <class Source>
void MPersistentAssociation::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The key and value are this association's alone, so neither may refer
  // back to it: that would be a cycle, not an object to own.
  MRestoreScope scope(this);
  delete key_;
  key_ = nullptr;
  if (!restoreOwned(source, key_)) return;
  delete value_;
  value_ = nullptr;
  restoreOwned(source, value_);
}

RWBoolean MPersistentAssociation::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean MPersistentAssociation::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const MPersistentAssociation* o = dynamic_cast<const MPersistentAssociation*>(other);
  return o && alike(o->key_, key_) && alike(o->value_, value_);
}

// ---- MAssociationList -------------------------------------------------------------

MAssociationList::~MAssociationList() = default;

RWspace MAssociationList::levelStoreSize() const { return 4; }

template <class Sink>
void MAssociationList::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void MAssociationList::restoreLevel(Source& source) {
  gReadVersion(source, version());  // this level has no fields to skip
}

RWBoolean MAssociationList::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentComposite::isKindOf(id);
}

RWBoolean MAssociationList::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  return other && other->isA() == isA() && MPersistentComposite::matches(other);
}

void MAssociationList::insert(MPersistentObject*) {}

int32_t MAssociationList::positionOf(const MPersistentObject* key) const {
  if (!key) return -1;
  // A restored list may hold other objects, or associations without a key:
  // neither is ever found.
  return firstChild([key](MPersistentObject* child) {
    const MPersistentAssociation* a = dynamic_cast<const MPersistentAssociation*>(child);
    return a && a->key() && a->key()->matches(key);
  });
}

MPersistentAssociation* MAssociationList::find(const MPersistentObject* key) const {
  int32_t i = positionOf(key);
  return i < 0 ? nullptr : static_cast<MPersistentAssociation*>(children().pointee(static_cast<RWsize>(i)));
}

MPersistentObject* MAssociationList::findValue(const MPersistentObject* key) const {
  MPersistentAssociation* a = find(key);
  return a ? a->value() : nullptr;
}

MPersistentAssociation* MAssociationList::removeKey(const MPersistentObject* key) {
  int32_t i = positionOf(key);
  if (i < 0) return nullptr;
  return static_cast<MPersistentAssociation*>(children().removeAt(static_cast<RWsize>(i)).take());
}

MPersistentAssociation* MAssociationList::removeAssociation(const MPersistentAssociation* association) {
  return association ? removeKey(association->key()) : nullptr;
}

void MAssociationList::insertAssociation(MPersistentAssociation* association) {
  if (!association || children().index(association) >= 0) return;
  delete removeKey(association->key());
  children().append(GCountedPtr(association));
}

MPersistentObject* MAssociationList::deepCopy() const {
  // Through insertAssociation: the generic insert would drop every copy.
  MAssociationList* result = newSpecies();
  result->setId(id());
  for (RWsize i = 0; i < children().entries(); ++i) {
    const MPersistentObject* child = children().pointee(i);
    if (!child) continue;
    MPersistentObject* copied = child->deepCopy();
    if (MPersistentAssociation* a = dynamic_cast<MPersistentAssociation*>(copied))
      result->insertAssociation(a);
    else
      delete copied;
  }
  return result;
}
