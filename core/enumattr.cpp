#include "core/enumattr.h"

#include <memory>

#include "core/perclass.h"

namespace {

// Whether the object is the given one or lies below it, by address.
bool within(MPersistentObject* node, const MPersistentObject* object) {
  if (node == object) return true;
  if (!node->isComposite()) return false;
  const std::unique_ptr<GChildIterator> it(node->createIterator());
  bool found = false;
  while (!found && it->advance()) {
    if (MPersistentObject* child = it->current()) found = within(child, object);
  }
  return found;
}

}  // namespace

G_DEFINE_PERSISTENT_SAVE(GEnumAttribute, GAttributeComposite)
G_DEFINE_PERSISTENT_IDENTITY(GEnumAttribute)

// Written out: the restore holds the current choice across the composite
// level's.
void GEnumAttribute::restoreGuts(RWvistream& s) {
  restoreChoices(s);
  restoreLevel(s);
}

void GEnumAttribute::restoreGuts(RWFile& f) {
  restoreChoices(f);
  restoreLevel(f);
}

GEnumAttribute::GEnumAttribute() : current_(nullptr), memberClass_(0) {}
GEnumAttribute::GEnumAttribute(const uint32_t& id) : GAttributeComposite(id), current_(nullptr), memberClass_(0) {}

GEnumAttribute::GEnumAttribute(const GEnumAttribute& other)
    : GAttributeComposite(other), current_(nullptr), memberClass_(other.memberClass_) {
  // The choices are shared, so the source's current one is among them.
  if (other.current_) current_ = find(other.current_);
}

GEnumAttribute& GEnumAttribute::operator=(const GEnumAttribute& other) {
  if (this == &other) return *this;
  // The old current choice may go with the old children: it is forgotten
  // before they are released.
  current_ = nullptr;
  GAttributeComposite::operator=(other);
  memberClass_ = other.memberClass_;
  if (other.current_) current_ = find(other.current_);
  return *this;
}

GEnumAttribute::~GEnumAttribute() = default;

bool GEnumAttribute::holds(const MPersistentObject* object) const { return branchOf(object) >= 0; }

int32_t GEnumAttribute::branchOf(const MPersistentObject* object) const {
  if (!object) return -1;
  return firstChild([&](MPersistentObject* choice) { return within(choice, object); });
}

template <class Operation>
auto GEnumAttribute::keepingCurrent(Follow follow, Operation operation) {
  // A replacement releases the old choice: it is held so that the current
  // choice outlives the operation long enough to be looked for. A removal
  // hands the removed choice to its caller and never frees it, and must
  // see its true count (a shared choice is handed back as a copy).
  GCountedPtr hold(follow == Follow::samePlace ? current_ : nullptr);
  const int32_t branch = branchOf(current_);
  auto result = operation();
  if (current_ && !holds(current_)) {
    current_ = nullptr;
    if (follow == Follow::samePlace && branch >= 0) current_ = children().pointee(static_cast<RWsize>(branch));
    if (!current_) {
      const int32_t first = firstChild([](MPersistentObject*) { return true; });
      if (first >= 0) current_ = children().pointee(static_cast<RWsize>(first));
    }
  }
  return result;
}

// Counted only under the table binaryStoreSize holds, in which the
// children are already.
RWspace GEnumAttribute::levelStoreSize() const {
  return 6 + static_cast<const RWCollectable*>(current_ ? current_ : rwNilCollectable())->recursiveStoreSize();
}

template <class Sink>
void GEnumAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(current_);
  gWrite(sink, memberClass_);
}

template <class Source>
void GEnumAttribute::restoreChoices(Source& source) {
  GCountedPtr hold(current_);
  GAttributeComposite::restoreGuts(source);
  // The composite level releases the old choices when it reads new ones.
  if (current_ && !holds(current_)) current_ = nullptr;
}

template <class Source>
void GEnumAttribute::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  Restored r = restoreObject(source, nullptr);
  if (r.failed) return;
  MPersistentObject* choice = dynamic_cast<MPersistentObject*>(r.object);
  if (choice && holds(choice)) {
    current_ = choice;
  } else {
    // Nil, or an object that is not one of the choices: a current choice
    // outside the tree would have nothing to keep it alive.
    if (r.object && r.fresh) discardRestored(r.object);
    current_ = nullptr;
  }
  gRead(source, memberClass_);
}

RWBoolean GEnumAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttributeComposite::isKindOf(id); }

RWBoolean GEnumAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GAttributeComposite::matches(other)) return FALSE;
  const GEnumAttribute* o = dynamic_cast<const GEnumAttribute*>(other);
  if (!o) return FALSE;
  if ((current_ == nullptr) != (o->current_ == nullptr)) return FALSE;
  if (current_ && !current_->matches(o->current_)) return FALSE;
  return memberClass_ == o->memberClass_;
}

void GEnumAttribute::insert(MPersistentObject* object) {
  if (!object) return;
  GAttribute* choice = GAttribute::fromObject(object);
  // Only attributes can be choices: anything else is disposed of before
  // it can fix the member class.
  if (!choice) {
    discard(object);
    return;
  }
  if (memberClass_ == 0) {
    memberClass_ = choice->isA();
  } else if (choice->isA() != memberClass_) {
    discard(choice);
    return;
  }
  if (MPersistentObject* present = find(choice)) {
    if (present != choice) discard(choice);
    return;
  }
  if (!current_) current_ = choice;
  GAttributeComposite::insert(choice);
}

MPersistentObject* GEnumAttribute::remove(const MPersistentObject* member) {
  return keepingCurrent(Follow::firstChoice, [&] { return GAttributeComposite::remove(member); });
}

MPersistentObject* GEnumAttribute::removeById(const uint32_t& id) { return remove(findById(id)); }
MPersistentObject* GEnumAttribute::removeByClassId(const RWClassID& classId) { return remove(findByClassId(classId)); }

int GEnumAttribute::replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) {
  return keepingCurrent(Follow::samePlace, [&] { return GAttributeComposite::replaceDeepById(id, replacement); });
}

int GEnumAttribute::replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) {
  return keepingCurrent(Follow::samePlace,
                        [&] { return GAttributeComposite::replaceDeepByClassId(classId, replacement); });
}

int GEnumAttribute::replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) {
  return keepingCurrent(Follow::samePlace, [&] { return GAttributeComposite::replaceDeep(member, replacement); });
}

int GEnumAttribute::replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) {
  return keepingCurrent(Follow::samePlace, [&] { return GAttributeComposite::replaceDeepByKind(kind, replacement); });
}

void GEnumAttribute::replaceChild(RWsize position, MPersistentObject* object) {
  keepingCurrent(Follow::samePlace, [&] {
    GAttributeComposite::replaceChild(position, object);
    return 0;
  });
}

void GEnumAttribute::clear() {
  current_ = nullptr;
  GAttributeComposite::clear();
}

RWClassID GEnumAttribute::kind() const { return classIsA(); }

void GEnumAttribute::merge(GAttribute*) {}

GStatus GEnumAttribute::accept(GPeripheralHandlers& visitor) {
  GStatus status = visitor.onEnumAttribute(this);
  resetChanged();
  return status;
}

MPersistentObject* GEnumAttribute::deepCopy() const {
  GEnumAttribute* result = newSpecies();
  result->setId(id());
  result->memberClass_ = memberClass_;
  const int32_t branch = branchOf(current_);
  for (RWsize i = 0; i < children().entries(); ++i) {
    MPersistentObject* choice = GAttribute::fromObject(children().pointee(i));
    if (!choice) continue;
    MPersistentObject* fresh = choice->deepCopy();
    result->children().append(GCountedPtr(fresh));
    if (static_cast<int32_t>(i) != branch) continue;
    // A current choice nested in a choice is looked up among the copies.
    result->current_ = choice == current_ ? fresh : result->find(current_);
    if (!result->current_) result->current_ = fresh;
  }
  return result;
}

MPersistentObject* GEnumAttribute::setCurrent(const MPersistentObject* object) {
  if (!object) return nullptr;
  MPersistentObject* found = find(object);
  if (found) current_ = found;
  return found;
}

void GEnumAttribute::next() {
  const int32_t at = current_ ? children().index(current_) : -1;
  if (at < 0) return;
  for (RWsize i = static_cast<RWsize>(at) + 1; i < children().entries(); ++i) {
    if (MPersistentObject* choice = children().pointee(i)) {
      current_ = choice;
      return;
    }
  }
}

void GEnumAttribute::previous() {
  const int32_t at = current_ ? children().index(current_) : -1;
  for (int32_t i = at - 1; i >= 0; --i) {
    if (MPersistentObject* choice = children().pointee(static_cast<RWsize>(i))) {
      current_ = choice;
      return;
    }
  }
}
