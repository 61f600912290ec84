#include "journal/cmdcomp.h"

#include "core/fieldio.h"
#include "core/perclass.h"
#include "rw/rwstore.h"

// ---- GCommandChildren ---------------------------------------------------------------

GCommandChildren::~GCommandChildren() = default;

GCommand* GCommandChildren::child(RWsize position) const {
  return dynamic_cast<GCommand*>(members().children().pointee(position));
}

bool GCommandChildren::holds(const MPersistentObject* object) const {
  const GCountedPtrVector& list = members().children();
  for (RWsize i = 0; i < list.entries(); ++i) {
    const MPersistentObject* c = list.pointee(i);
    if (!c) continue;
    if (c == object) return true;
    const auto* below = dynamic_cast<const GCommandChildren*>(c);
    if (below && below->holds(object)) return true;
  }
  return false;
}

void GCommandChildren::dropRefused() {
  GCountedPtrVector& list = members().children();
  auto refused = [&](RWsize i) {
    const MPersistentObject* c = list.pointee(i);
    return c && !admits(c);
  };
  // A child dropped here goes with what it owns, while the restore still
  // knows them all by index: from the first dropped child on, nothing read
  // so far may be named by a later reference, or that reference would
  // reach freed memory. The children kept after it stay held, only
  // unnamed.
  for (RWsize i = 0; i < list.entries(); ++i) {
    if (!refused(i)) continue;
    RWUseReadTable use;
    use.table()->forgetWithin(list.pointee(i));
    break;
  }
  // Only this composite's reference goes: a child some other holder
  // counts stays with it.
  for (RWsize i = list.entries(); i > 0; --i) {
    if (refused(i - 1)) list.removeAt(i - 1);
  }
}

// ---- the member list's stored level --------------------------------------------------

template <class Sink>
void GCommandChildren::writeList(Sink& sink, uint32_t version) const {
  gWriteVersion(sink, version);
  sink << static_cast<const RWCollectable&>(members());
}

// Restored in place: the list is a member, so no later reference may hand
// it to another owner.
template <class Source>
void GCommandChildren::readList(Source& source, uint32_t version, const MPersistentObject* self) {
  if (!gReadVersion(source, version)) return;
  MRestoreScope scope(self);
  RWCollectable::restoreInPlace(source, static_cast<RWCollectable&>(members()));
  // Whatever the store holds, the composite keeps only what its class
  // takes.
  dropRefused();
}

// The list goes out with its class tag: its size is its recursive size,
// counted in the store table the caller's binaryStoreSize holds.
RWspace GCommandChildren::membersStoreSize() const { return 4 + members().recursiveStoreSize(); }
void GCommandChildren::saveMembers(RWvostream& s, uint32_t version) const { writeList(s, version); }
void GCommandChildren::saveMembers(RWFile& f, uint32_t version) const { writeList(f, version); }

void GCommandChildren::restoreMembers(RWvistream& s, uint32_t version, const MPersistentObject* self) {
  readList(s, version, self);
}

void GCommandChildren::restoreMembers(RWFile& f, uint32_t version, const MPersistentObject* self) {
  readList(f, version, self);
}

// ---- GCommandListIterator ------------------------------------------------------------

GCommandListIterator::GCommandListIterator(MPersistentObject* owner, MPersistentComposite& members)
    : GCommandIterator(owner), inner_(&members) {}

GCommandListIterator::~GCommandListIterator() = default;

// ---- the four composites ---------------------------------------------------------------

// The level every composite stores after its base's: its version, then the
// member list.
#define G_DEFINE_COMMAND_LIST_LEVEL(Class)                             \
  RWspace Class::levelStoreSize() const { return membersStoreSize(); } \
  template <class Sink>                                                \
  void Class::saveLevel(Sink& sink) const {                            \
    saveMembers(sink, version());                                      \
  }                                                                    \
  template <class Source>                                              \
  void Class::restoreLevel(Source& source) {                           \
    restoreMembers(source, version(), this);                           \
  }

G_DEFINE_PERSISTENT(GCommandComposite, GCommand)
G_DEFINE_COMMAND_LIST_LEVEL(GCommandComposite)

GCommandComposite::GCommandComposite(const uint32_t& id) : GCommandList(id) {}
GCommandComposite::GCommandComposite(MPersistentObject* attribute, const uint32_t& id) : GCommandList(attribute, id) {}
GCommandComposite::GCommandComposite(const GCommandComposite& other) = default;

GCommandComposite& GCommandComposite::operator=(const GCommandComposite& other) {
  GCommandList::operator=(other);
  return *this;
}

GCommandComposite::~GCommandComposite() = default;

RWBoolean GCommandComposite::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

bool GCommandComposite::admits(const MPersistentObject* object) const {
  return object && object->isKindOf(ClassId::GCommand);
}

G_DEFINE_PERSISTENT(GDocumentComposite, GDocumentCommand)
G_DEFINE_COMMAND_LIST_LEVEL(GDocumentComposite)

GDocumentComposite::GDocumentComposite(const uint32_t& id) : GCommandList(id) {}
GDocumentComposite::GDocumentComposite(MPersistentObject* state, const uint32_t& id) : GCommandList(state, id) {}
GDocumentComposite::GDocumentComposite(const GDocumentComposite& other) = default;

GDocumentComposite& GDocumentComposite::operator=(const GDocumentComposite& other) {
  GCommandList::operator=(other);
  return *this;
}

GDocumentComposite::~GDocumentComposite() = default;

RWBoolean GDocumentComposite::isKindOf(RWClassID id) const {
  return id == classIsA() || GDocumentCommand::isKindOf(id);
}

bool GDocumentComposite::admits(const MPersistentObject* object) const {
  return object && object->isKindOf(ClassId::GCommand) && !object->isKindOf(ClassId::GDocumentStart) &&
         !object->isKindOf(ClassId::GDocumentEnd) && !object->isKindOf(ClassId::GManualDuplexFirstHalf);
}

G_DEFINE_PERSISTENT(GPageComposite, GPageCommand)
G_DEFINE_COMMAND_LIST_LEVEL(GPageComposite)

GPageComposite::GPageComposite(const uint32_t& id) : GCommandList(id) {}
GPageComposite::GPageComposite(MPersistentObject* state, const uint32_t& id) : GCommandList(state, id) {}
GPageComposite::GPageComposite(const GPageComposite& other) = default;

GPageComposite& GPageComposite::operator=(const GPageComposite& other) {
  GCommandList::operator=(other);
  return *this;
}

GPageComposite::~GPageComposite() = default;

RWBoolean GPageComposite::isKindOf(RWClassID id) const { return id == classIsA() || GPageCommand::isKindOf(id); }

bool GPageComposite::admits(const MPersistentObject* object) const {
  return object && object->isKindOf(ClassId::GCommand) && !object->isKindOf(ClassId::GDocumentCommand) &&
         !object->isKindOf(ClassId::GPageStart) && !object->isKindOf(ClassId::GPageEnd);
}

G_DEFINE_PERSISTENT(GGraphicComposite, GGraphic)
G_DEFINE_COMMAND_LIST_LEVEL(GGraphicComposite)

GGraphicComposite::GGraphicComposite(const uint32_t& id) : GCommandList(id) {}
GGraphicComposite::GGraphicComposite(GGraphicBundle* bundle, const uint32_t& id) : GCommandList(bundle, id) {}
GGraphicComposite::GGraphicComposite(const GGraphicComposite& other) = default;

GGraphicComposite& GGraphicComposite::operator=(const GGraphicComposite& other) {
  GCommandList::operator=(other);
  return *this;
}

GGraphicComposite::~GGraphicComposite() = default;

RWBoolean GGraphicComposite::isKindOf(RWClassID id) const { return id == classIsA() || GGraphic::isKindOf(id); }

bool GGraphicComposite::admits(const MPersistentObject* object) const {
  return object && object->isKindOf(ClassId::GGraphic);
}
