#include "rw/factory.h"

#include <atomic>
#include <memory>

#include "rw/bufhelp.h"
#include "rw/mutex.h"
#include "rw/rwerr.h"

namespace {

// All-zero until first taken, so they serve the first registration,
// whichever module's start-up that comes from. They are deleted after the
// library's registrations are taken down (a registration removed later
// makes its lock again).
RW_FILE_LOCK(factoryInstanceLock);  // making and deleting the factory
RW_FILE_LOCK(factoryContentsLock);  // the factory's entries
RW_FILE_LOCK(factoryIdCounterLock);
RWStaticMutex& instanceLock() { return factoryInstanceLock; }
RWStaticMutex& contentsLock() { return factoryContentsLock; }
RWStaticMutex& idCounterLock() { return factoryIdCounterLock; }
RWFactory* theFactory = nullptr;
uint16_t idCounter = 0;
std::atomic<unsigned> conflicts{0};

const RWFactoryEntry* asEntry(const RWCollectable* c) { return static_cast<const RWFactoryEntry*>(c); }

// Deletes the factory when its last registration has gone.
void dropFactoryIfEmpty() {
  RWGuard guard(instanceLock());
  if (theFactory && theFactory->isEmpty()) {
    delete theFactory;
    theFactory = nullptr;
    // Nothing is left registered: hand the collections' spare blocks back.
    rwSmallEmpty();
  }
}

// Inserts the entry, or drops it when its key is held already; answers
// whether the key is held by another create function. The set takes the
// entry or throws, and then the entry is deleted here.
bool insertOrDrop(RWSet& entries, std::unique_ptr<RWFactoryEntry> entry) {
  const RWuserCreator fn = entry->creator();
  RWCollectable* held = entries.insert(entry.get());
  if (held == entry.get()) {
    entry.release();
    return false;
  }
  return held && asEntry(held)->creator() != fn;
}

}  // namespace

uint32_t RWFactoryEntryById::hash() const { return classID(); }

RWBoolean RWFactoryEntryById::isEqual(const RWCollectable* other) const {
  const RWFactoryEntry* e = asEntry(other);
  return e->kind() == byId && e->classID() == classID();
}

uint32_t RWFactoryEntryByString::hash() const { return RWCString::hash(stringID()); }

RWBoolean RWFactoryEntryByString::isEqual(const RWCollectable* other) const {
  const RWFactoryEntry* e = asEntry(other);
  return e->kind() == byString && e->stringID() == stringID();
}

RWFactory::RWFactory() : RWSet(RWHashTable::defaultCapacity) {}

RWFactory::~RWFactory() { clearAndDelete(); }

void RWFactory::addCreator(RWuserCreator fn, RWClassID id, const RWStringID& sid) {
  bool idTaken, stringTaken;
  {
    // Both entries are made before either goes in, so that running out of
    // memory leaves no class half registered.
    std::unique_ptr<RWFactoryEntry> byId(rwAllocated(new RWFactoryEntryById(id, fn, sid)));
    std::unique_ptr<RWFactoryEntry> byString(rwAllocated(new RWFactoryEntryByString(id, fn, sid)));
    RWGuard guard(contentsLock());
    const bool idIsNew = find(byId.get()) == nullptr;
    idTaken = insertOrDrop(*this, std::move(byId));
    try {
      stringTaken = insertOrDrop(*this, std::move(byString));
    } catch (...) {
      if (idIsNew) {
        RWFactoryEntryById probe(id, nullptr, RWStringID());
        delete remove(&probe);
      }
      throw;
    }
  }
  // The first registration still wins, but two classes claiming one key is
  // a fault someone must hear of. Reported outside the lock, so that a
  // handler may look into the factory.
  conflicts += unsigned(idTaken) + unsigned(stringTaken);
  if (idTaken) rwReport<RWInternalErr>(RWTOOL_DUPID(), {id, id});
  if (stringTaken) rwReport<RWInternalErr>(RWTOOL_DUPSTRINGID(), {sid.data()});
}

void RWFactory::removeCreator(RWClassID id) {
  RWGuard guard(contentsLock());
  RWFactoryEntryById probe(id, nullptr, RWStringID());
  delete remove(&probe);
}

void RWFactory::removeCreator(const RWStringID& sid) {
  RWGuard guard(contentsLock());
  RWFactoryEntryByString probe(0, nullptr, sid);
  delete remove(&probe);
}

void RWFactory::removeCreator(RWClassID id, const char* sid) {
  RWGuard guard(contentsLock());
  RWFactoryEntryById byId(id, nullptr, RWStringID());
  std::unique_ptr<RWCollectable> idEntry(remove(&byId));
  // The class's own entry holds the string it was registered under; a
  // probe that shares it makes no string of its own. Only when another
  // class holds the ID is the string made from the text.
  const RWFactoryEntry* held = asEntry(idEntry.get());
  const bool own = held && sid && held->stringID() == sid;
  RWFactoryEntryByString byString(0, nullptr, own ? held->stringID() : RWStringID(sid ? sid : ""));
  delete remove(&byString);
}

RWuserCreator RWFactory::findCreator(RWClassID id) const {
  RWGuard guard(contentsLock());
  RWFactoryEntryById probe(id, nullptr, RWStringID());
  const RWCollectable* found = find(&probe);
  return found ? asEntry(found)->creator() : nullptr;
}

RWuserCreator RWFactory::findCreator(const RWStringID& sid) const {
  RWGuard guard(contentsLock());
  RWFactoryEntryByString probe(RW_NO_CLASS_ID, nullptr, sid);
  const RWCollectable* found = find(&probe);
  return found ? asEntry(found)->creator() : nullptr;
}

RWCollectable* RWFactory::make(RWClassID id) const {
  RWuserCreator fn = findCreator(id);
  return fn ? fn() : nullptr;
}

RWCollectable* RWFactory::make(const RWStringID& sid) const {
  RWuserCreator fn = findCreator(sid);
  return fn ? fn() : nullptr;
}

RWStringID RWFactory::stringIdOf(RWClassID id) const {
  RWFactoryEntryById probe(id, nullptr, RWStringID());
  const RWCollectable* found = find(&probe);
  return found ? asEntry(found)->stringID() : RWStringID("NoID");
}

RWClassID RWFactory::classIdOf(const RWStringID& sid) const {
  RWFactoryEntryByString probe(RW_NO_CLASS_ID, nullptr, sid);
  const RWCollectable* found = find(&probe);
  return found ? asEntry(found)->classID() : RW_NO_CLASS_ID;
}

RWFactory* rwFactoryInstance() {
  RWGuard guard(instanceLock());
  if (!theFactory) theFactory = new RWFactory;
  return theFactory;
}

void rwAddToFactory(RWuserCreator fn, RWClassID id, const RWStringID& sid) {
  if (RWFactory* f = rwFactoryInstance()) f->addCreator(fn, id, sid);
}

void rwAddToFactory(RWuserCreator fn, RWClassID id) {
  rwAddToFactory(fn, id, RWStringID("No_RWStringID"));
}

void rwRemoveFromFactory(RWClassID id) {
  if (RWFactory* f = rwFactoryInstance()) f->removeCreator(id);
  dropFactoryIfEmpty();
}

void rwRemoveFromFactory(const RWStringID& sid) {
  if (RWFactory* f = rwFactoryInstance()) f->removeCreator(sid);
  dropFactoryIfEmpty();
}

void rwRemoveFromFactory(RWClassID id, const char* sid) {
  if (RWFactory* f = rwFactoryInstance()) f->removeCreator(id, sid);
  dropFactoryIfEmpty();
}

RWCollectable* rwCreateFromFactory(RWClassID id) {
  RWFactory* f = rwFactoryInstance();
  return f ? f->make(id) : nullptr;
}

RWCollectable* rwCreateFromFactory(const RWStringID& sid) {
  RWFactory* f = rwFactoryInstance();
  return f ? f->make(sid) : nullptr;
}

RWStringID rwStringIDOf(RWClassID id) {
  RWFactory* f = rwFactoryInstance();
  return f ? f->stringIdOf(id) : RWStringID("NoID");
}

RWClassID rwClassIDOf(const RWStringID& sid) {
  RWFactory* f = rwFactoryInstance();
  return f ? f->classIdOf(sid) : RW_NO_CLASS_ID;
}

unsigned rwFactoryConflicts() { return conflicts.load(); }

RWClassID rwNextFreeClassID() {
  RWGuard guard(idCounterLock());
  return static_cast<RWClassID>(RW_FIRST_STRING_ID + idCounter++);
}
