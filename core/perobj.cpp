#include "core/perobj.h"

#include <atomic>
#include <functional>
#include <memory>

#include "core/pcomposit.h"
#include "core/perclass.h"
#include "rw/rwerr.h"

namespace {

// The next serial number to hand out. Atomic, so that objects made on
// several threads never share a serial number.
std::atomic<uint32_t> serialCounter{0};

#ifndef RW_KERNEL_BUILD
// Every object made takes a number, so threads printing side by side
// would all hammer the one counter. Each thread takes numbers in blocks
// instead and hands them out itself. Presetting the counter moves the
// epoch on, which retires every thread's block, so the next number taken
// on any thread is the preset one.
constexpr uint32_t kSerialBlock = 256;
std::atomic<uint64_t> serialEpoch{0};

struct SerialBlock {
  uint64_t epoch = 0;
  uint32_t next = 0;
  uint32_t left = 0;  // 0: no block
};
thread_local SerialBlock serialBlock;

bool blockIsCurrent(const SerialBlock& block) {
  return block.left != 0 && block.epoch == serialEpoch.load(std::memory_order_acquire);
}
#endif

constexpr int32_t noReference = -1;

MPersistentComposite* selectInto(bool fits, const MPersistentObject* self) {
  if (!fits) return nullptr;
  MPersistentComposite* result = new MPersistentComposite;
  result->insert(const_cast<MPersistentObject*>(self));
  return result;
}

}  // namespace

// No object is of the root class alone in a store (isA is left to the
// classes), so only the level comes from the macro.
G_DEFINE_PERSISTENT_LEVEL(MPersistentObject, RWCollectable)
RW_DEFINE_RESTORE_OPERATORS(MPersistentObject)

// 0 is never handed out: a counter at 0 (at load, or after it wrapped) is
// stepped past it.
#ifdef RW_KERNEL_BUILD
uint32_t MPersistentObject::takeSerialNumber() {
  uint32_t taken = serialCounter.fetch_add(1, std::memory_order_relaxed);
  if (taken == 0) taken = serialCounter.fetch_add(1, std::memory_order_relaxed);
  return taken;
}

uint32_t MPersistentObject::nextSerialNumber() {
  uint32_t serial = serialCounter.load(std::memory_order_relaxed);
  return serial == 0 ? 1 : serial;
}

void MPersistentObject::presetSerialCounter(uint32_t next) { serialCounter.store(next, std::memory_order_relaxed); }
#else
uint32_t MPersistentObject::takeSerialNumber() {
  SerialBlock& block = serialBlock;
  for (;;) {
    if (!blockIsCurrent(block)) {
      // The epoch is read first: a block taken across a preset carries the
      // old epoch and is retired at once, never handed out.
      block.epoch = serialEpoch.load(std::memory_order_acquire);
      block.next = serialCounter.fetch_add(kSerialBlock, std::memory_order_relaxed);
      block.left = kSerialBlock;
      if (block.epoch != serialEpoch.load(std::memory_order_acquire)) continue;
    }
    const uint32_t taken = block.next++;
    --block.left;
    if (taken != 0) return taken;
  }
}

uint32_t MPersistentObject::nextSerialNumber() {
  const SerialBlock& block = serialBlock;
  uint32_t serial = blockIsCurrent(block) ? block.next : serialCounter.load(std::memory_order_relaxed);
  return serial == 0 ? 1 : serial;
}

void MPersistentObject::presetSerialCounter(uint32_t next) {
  serialCounter.store(next, std::memory_order_relaxed);
  serialEpoch.fetch_add(1, std::memory_order_acq_rel);
}
#endif

MPersistentObject::MPersistentObject() : refs_(noReference), id_(0), serial_(takeSerialNumber()) {}

MPersistentObject::MPersistentObject(const uint32_t& id)
    : refs_(noReference), id_(id), serial_(takeSerialNumber()) {}

MPersistentObject::MPersistentObject(const MPersistentObject& other)
    : RWCollectable(other), refs_(noReference), id_(other.id_), serial_(other.serial_) {}

MPersistentObject& MPersistentObject::operator=(const MPersistentObject& other) {
  if (this != &other) {
    id_ = other.id_;
    serial_ = other.serial_;
  }
  return *this;
}

MPersistentObject::~MPersistentObject() = default;

MPersistentObject* MPersistentObject::newSpecies() const { return new MPersistentObject; }
MPersistentObject* MPersistentObject::copy() const { return new MPersistentObject(*this); }

RWspace MPersistentObject::levelStoreSize() const { return 12; }

int MPersistentObject::compareTo(const RWCollectable* other) const {
  const void* a = this;
  const void* b = other;
  if (a == b) return 0;
  return std::less<const void*>()(a, b) ? -1 : 1;
}

RWBoolean MPersistentObject::isEqual(const RWCollectable* other) const {
  if (!other || other->isA() != isA()) return FALSE;
  const MPersistentObject* o = dynamic_cast<const MPersistentObject*>(other);
  return o && matches(o);
}

template <class Sink>
void MPersistentObject::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, id_);
  gWrite(sink, serial_);
}

template <class Source>
void MPersistentObject::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t serial = 0;
  if (!gRead(source, id_) || !gRead(source, serial)) return;
  // A cleared serial number in the store keeps the one given at
  // construction, so that no live object has serial number 0 by restore.
  if (serial != 0) serial_ = serial;
}

// ---- protocol defaults: a leaf ----------------------------------------------------

RWBoolean MPersistentObject::isKindOf(RWClassID id) const { return id == classIsA(); }

RWBoolean MPersistentObject::matches(const MPersistentObject* other) const {
  return other && id_ == other->id_;
}

RWBoolean MPersistentObject::differs(const MPersistentObject* other) const { return !matches(other); }

void MPersistentObject::insert(MPersistentObject*) {}
void MPersistentObject::prepend(MPersistentObject*) {}
MPersistentObject* MPersistentObject::remove(const MPersistentObject*) { return nullptr; }
MPersistentObject* MPersistentObject::removeById(const uint32_t&) { return nullptr; }
MPersistentObject* MPersistentObject::removeByClassId(const RWClassID&) { return nullptr; }
int MPersistentObject::replaceDeepById(const uint32_t&, const MPersistentObject*) { return 0; }
int MPersistentObject::replaceDeepByClassId(const RWClassID&, const MPersistentObject*) { return 0; }
int MPersistentObject::replaceDeep(const MPersistentObject*, const MPersistentObject*) { return 0; }
int MPersistentObject::replaceDeepByKind(const RWClassID&, const MPersistentObject*) { return 0; }

void MPersistentObject::storeChild(const GCountedRef&) {}
void MPersistentObject::updateChild(const GCountedRef&) {}
GCountedRef MPersistentObject::takeByObject(const MPersistentObject*) { return GCountedRef::nil(); }
GCountedRef MPersistentObject::takeById(const uint32_t&) { return GCountedRef::nil(); }
GCountedRef MPersistentObject::takeByClassId(const RWClassID&) { return GCountedRef::nil(); }
int MPersistentObject::replaceById(const uint32_t&, MPersistentObject*) { return 0; }
int MPersistentObject::replaceByClassId(const RWClassID&, MPersistentObject*) { return 0; }

void MPersistentObject::clear() {}

MPersistentObject* MPersistentObject::findById(const uint32_t& id) const {
  return id_ == id ? const_cast<MPersistentObject*>(this) : nullptr;
}

MPersistentObject* MPersistentObject::findByClassId(const RWClassID& classId) const {
  return isA() == classId ? const_cast<MPersistentObject*>(this) : nullptr;
}

MPersistentObject* MPersistentObject::find(const MPersistentObject* object) const {
  return matches(object) ? const_cast<MPersistentObject*>(this) : nullptr;
}

MPersistentObject* MPersistentObject::findByKind(const RWClassID& kind) const {
  return isKindOf(kind) ? const_cast<MPersistentObject*>(this) : nullptr;
}

MPersistentComposite* MPersistentObject::collectByClassId(const RWClassID& classId,
                                                          MPersistentComposite* list) const {
  if (list && isA() == classId) list->insert(const_cast<MPersistentObject*>(this));
  return list;
}

MPersistentComposite* MPersistentObject::collectById(const uint32_t& id, MPersistentComposite* list) const {
  if (list && id_ == id) list->insert(const_cast<MPersistentObject*>(this));
  return list;
}

MPersistentComposite* MPersistentObject::selectById(const uint32_t& id) const {
  return selectInto(id_ == id, this);
}

MPersistentComposite* MPersistentObject::selectByClassId(const RWClassID& classId) const {
  return selectInto(isA() == classId, this);
}

MPersistentComposite* MPersistentObject::collectByKind(const RWClassID& kind, MPersistentComposite* list) const {
  if (list && isKindOf(kind)) list->insert(const_cast<MPersistentObject*>(this));
  return list;
}

MPersistentComposite* MPersistentObject::selectByKind(const RWClassID& kind) const {
  return selectInto(isKindOf(kind), this);
}

GCountedRef MPersistentObject::findCountedById(const uint32_t& id) const {
  return id_ == id ? GCountedRef(const_cast<MPersistentObject*>(this)) : GCountedRef::nil();
}

GCountedRef MPersistentObject::findCountedByClassId(const RWClassID& classId) const {
  return isA() == classId ? GCountedRef(const_cast<MPersistentObject*>(this)) : GCountedRef::nil();
}

GCountedRef MPersistentObject::findCounted(const MPersistentObject* object) const {
  return matches(object) ? GCountedRef(const_cast<MPersistentObject*>(this)) : GCountedRef::nil();
}

RWBoolean MPersistentObject::isComposite() const { return FALSE; }
uint32_t& MPersistentObject::id() { return id_; }
uint32_t MPersistentObject::serialNumber() const { return serial_; }
RWsize MPersistentObject::entries() const { return 1; }
RWsize MPersistentObject::totalEntries() const { return 1; }
GChildIterator* MPersistentObject::createIterator() { return new GNullIterator(this); }
RWClassID MPersistentObject::kind() const { return isA(); }

MPersistentObject* MPersistentObject::deepCopy() const {
  if (!isComposite()) return copy();
  // A copy missing a child is no copy: without memory for the whole of
  // it, there is none.
  MPersistentObject* result = newSpecies();
  if (!result) return nullptr;
  result->setId(id_);
  const std::unique_ptr<GChildIterator> it(const_cast<MPersistentObject*>(this)->createIterator());
  if (!it) {
    disposeUnshared(result);
    return nullptr;
  }
  while (it->advance()) {
    if (MPersistentObject* child = it->current()) {
      MPersistentObject* copied = child->deepCopy();
      if (!copied) {
        disposeUnshared(result);
        return nullptr;
      }
      result->insert(copied);
    }
  }
  return result;
}

void MPersistentObject::clearSerialNumbers() {
  serial_ = 0;
  if (!isComposite()) return;
  const std::unique_ptr<GChildIterator> it(createIterator());
  while (it->advance()) {
    if (MPersistentObject* child = it->current()) child->clearSerialNumbers();
  }
}

RWBoolean MPersistentObject::sameKindAndId(const MPersistentObject* a, const MPersistentObject* b) {
  return a && b && a->kind() == b->kind() && a->id_ == b->id_;
}

// ---- restores under way ----------------------------------------------------------

namespace {
thread_local MRestoreScope* innermostRestore = nullptr;
}

MRestoreScope::MRestoreScope(const MPersistentObject* object) : object_(object), outer_(innermostRestore) {
  innermostRestore = this;
}

MRestoreScope::~MRestoreScope() { innermostRestore = outer_; }

bool MRestoreScope::encloses(const MPersistentObject* object) {
  for (const MRestoreScope* s = innermostRestore; s; s = s->outer_) {
    if (s->object_ == object) return true;
  }
  return false;
}

void gReportBadReference() { rwReport<RWInternalErr>(RWTOOL_REF()); }

GChildIterator::~GChildIterator() = default;
GNullIterator::~GNullIterator() = default;
