// Storing and restoring graphs of collectables: the RW binary store format on
// an RWFile and its framed form on a virtual stream.

#include <cstdlib>
#include <new>
#include <unordered_set>
#include <vector>

#include "rw/btrdict.h"
#include "rw/bufhelp.h"
#include "rw/colclass.h"
#include "rw/collass.h"
#include "rw/collect.h"
#include "rw/factory.h"
#include "rw/instmgr.h"
#include "rw/mutex.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "rw/rwstore.h"
#include "rw/vstream.h"

namespace {

constexpr int32_t storeMagic = 0x8888;
constexpr uint16_t referenceTag = 0xFFFF;
constexpr uint16_t newStringTag = 0x888F;
constexpr uint16_t seenStringTag = 0x888E;
constexpr RWsize readTableStart = 30;

uint32_t addressHash(const void* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  return static_cast<uint32_t>(a ^ (a >> 3));
}

// Taken around every lookup, creation and deletion of a thread's current
// table; the tables themselves belong to one thread and need no lock.
RW_FILE_LOCK(persistenceLockStore);
RWStaticMutex& persistenceLock() { return persistenceLockStore; }

class StoreTableManager : public RWThreadInstanceManager {
 protected:
  void* create() override { return new RWStoreTable; }
  void destroy(void* p) override { delete static_cast<RWStoreTable*>(p); }
};

class ReadTableManager : public RWThreadInstanceManager {
 protected:
  void* create() override { return new RWReadTable; }
  void destroy(void* p) override { delete static_cast<RWReadTable*>(p); }
};

struct Managers {
  StoreTableManager store;  // constructed first: key 1 when nothing made one before
  ReadTableManager read;
};

// Made at the library's start, so that the two managers hold the first two
// keys; made on first use too, for a store made from another module's start
// before this one has run. Deleted at the library's stop, after everything
// that stores or restores has been taken down.
Managers* theManagers = nullptr;

Managers& managers() {
  if (!theManagers) theManagers = new Managers;
  return *theManagers;
}

void startManagers() { managers(); }

void stopManagers() {
  delete theManagers;
  theManagers = nullptr;
}

RW_STARTUP_FIRST(managersEntry, startManagers, stopManagers);

void setFail(RWvios& s) { s.clear(s.rdstate() | RWvios::failbit); }

bool fileFailed(const RWFile& f) { return f.Eof() || f.Error(); }

// Collections and associations find, hash and compare through what they
// hold, so one that held itself, directly or further down, would recurse
// without end.
bool refusesCycles(const RWCollectable* p) {
  return dynamic_cast<const RWCollection*>(p) || dynamic_cast<const RWCollectableAssociation*>(p);
}

// Step 3 of both restore forms: the object a stored reference names. A bad
// index, one naming a class ID or an object out of reach, one that
// disagrees with the object being restored into, or one naming a collection
// or association whose own restore is still under way, is a bad reference:
// the given object (or null) is kept.
RWCollectable* resolveReference(const RWReadTable& table, int32_t index, RWCollectable* into) {
  const RWReadTable::Entry* e = table.at(index);
  RWCollectable* answer;
  if (!e || e->kind != RWReadTable::object || (into && e->ptr != into) ||
      (e->underway && refusesCycles(e->ptr))) {
    rwReport<RWInternalErr>(RWTOOL_REF());
    answer = into;
  } else {
    answer = e->ptr;
  }
  return answer == rwNilCollectable() ? nullptr : answer;
}

// The class ID a 0x888E string index names; a bad index is reported and
// leaves the tag as it was.
RWClassID resolveStringIndex(const RWReadTable& table, int32_t index, RWClassID tag) {
  const RWReadTable::Entry* e = table.at(index);
  if (!e || e->kind != RWReadTable::classId) {
    rwReport<RWInternalErr>(RWTOOL_REF());
    return tag;
  }
  return e->id;
}

void reportNoCreate(RWClassID tag) {
  rwReport<RWInternalErr>(RWTOOL_NOCREATE(), {tag, tag});
}

// Steps 5 and 6: make or take the object and enter it in the read table,
// leaving its entry's index in `entry`. Answers null when no object could
// be made (NOCREATE is then reported).
RWCollectable* takeObject(RWReadTable& table, RWCollectable* into, RWClassID tag,
                          const RWStringID* sid, bool& fresh, int32_t& entry) {
  RWCollectable* obj = into;
  fresh = false;
  if (!obj) {
    obj = sid ? rwCreateFromFactory(*sid) : rwCreateFromFactory(tag);
    fresh = obj != nullptr;
  }
  if (!obj) {
    reportNoCreate(tag);
    return nullptr;
  }
  entry = table.append(obj);
  if (sid) table.appendClassID(obj->isA());
  return obj;
}

// Step 7: the object reads its own fields, its entry marked as under way
// for as long as it does.
template <class Source>
void restoreFields(RWReadTable& table, int32_t entry, RWCollectable* obj, Source& source) {
  struct Underway {
    RWReadTable& table;
    int32_t entry;
    ~Underway() { table.setUnderway(entry, FALSE); }
  } underway{table, entry};
  table.setUnderway(entry, TRUE);
  obj->restoreGuts(source);
}

}  // namespace

// ---- store table ----------------------------------------------------------------

uint32_t RWStoreEntryByAddress::hash() const { return addressHash(address_); }

RWBoolean RWStoreEntryByAddress::isEqual(const RWCollectable* other) const {
  const RWStoreEntry* e = static_cast<const RWStoreEntry*>(other);
  return e->kind() == byAddress && static_cast<const RWStoreEntryByAddress*>(e)->address_ == address_;
}

uint32_t RWStoreEntryByString::hash() const { return RWCString::hash(string_); }

RWBoolean RWStoreEntryByString::isEqual(const RWCollectable* other) const {
  const RWStoreEntry* e = static_cast<const RWStoreEntry*>(other);
  return e->kind() == byString && static_cast<const RWStoreEntryByString*>(e)->string_ == string_;
}

RWStoreTable::RWStoreTable() : RWSet(defaultCapacity), next_(0) {
  int32_t index;
  add(rwNilCollectable(), index);
}

RWStoreTable::~RWStoreTable() { clearAndDelete(); }

RWBoolean RWStoreTable::add(const void* object, int32_t& index) {
  RWStoreEntryByAddress probe(object, 0);
  if (const RWCollectable* found = find(&probe)) {
    index = static_cast<const RWStoreEntry*>(found)->index();
    return FALSE;
  }
  index = next_++;
  insert(new RWStoreEntryByAddress(object, index));
  return TRUE;
}

RWBoolean RWStoreTable::add(const RWCString& stringId, int32_t& index) {
  RWStoreEntryByString probe(stringId, 0);
  if (const RWCollectable* found = find(&probe)) {
    index = static_cast<const RWStoreEntry*>(found)->index();
    return FALSE;
  }
  index = next_++;
  insert(new RWStoreEntryByString(stringId, index));
  return TRUE;
}

// ---- read table -----------------------------------------------------------------

RWReadTable::RWReadTable() : entries_(nullptr), count_(0), capacity_(0), depth_(0), abandoned_(FALSE) {
  entries_ = static_cast<Entry*>(std::malloc(readTableStart * sizeof(Entry)));
  if (entries_) capacity_ = readTableStart;
  append(rwNilCollectable());
}

RWReadTable::~RWReadTable() { std::free(entries_); }

int32_t RWReadTable::push(const Entry& e) {
  if (count_ == capacity_) {
    // The growth rule of doubling buffers, counted in the 4-byte slots the
    // table's entries take in the stored form's terms.
    RWsize grown = rwNewCapacity(capacity_, 4);
    if (grown <= capacity_) return -1;
    Entry* bigger = static_cast<Entry*>(std::realloc(entries_, size_t(grown) * sizeof(Entry)));
    if (!bigger) return -1;
    entries_ = bigger;
    capacity_ = grown;
  }
  entries_[count_] = e;
  return static_cast<int32_t>(count_++);
}

int32_t RWReadTable::append(RWCollectable* p) { return push(Entry{object, 0, p, FALSE}); }

void RWReadTable::appendClassID(RWClassID id) { push(Entry{classId, id, nullptr, FALSE}); }

const RWReadTable::Entry* RWReadTable::at(int32_t index) const {
  if (index < 0 || static_cast<RWsize>(index) >= count_) return nullptr;
  return &entries_[index];
}

void RWReadTable::forget(const RWCollectable* p) {
  for (RWsize i = 1; i < count_; ++i) {
    if (entries_[i].kind == object && entries_[i].ptr == p) entries_[i].kind = none;
  }
}

void RWReadTable::forgetWithin(const RWCollectable* p, RWRestoredSet* made) {
  // Searched from the end: the object was entered just before what it
  // restored within itself, so the search passes over only those. An
  // entry already out of reach still counts, for an object a sole owner
  // took and then dropped; the latest entry with the address is the
  // object's, since any earlier one belonged to an object freed before
  // this one was made.
  RWsize i = count_;
  while (i > 1 && !(entries_[i - 1].kind != classId && entries_[i - 1].ptr == p)) --i;
  if (i <= 1) return;
  for (--i; i < count_; ++i) {
    if (entries_[i].kind != object) continue;
    if (made && entries_[i].ptr != p && entries_[i].ptr != rwNilCollectable()) made->insert(entries_[i].ptr);
    entries_[i].kind = none;
  }
}

void RWReadTable::seal(int32_t index) {
  if (index > 0 && static_cast<RWsize>(index) < count_ && entries_[index].kind == object) {
    entries_[index].kind = none;
  }
}

void RWReadTable::setUnderway(int32_t index, RWBoolean underway) {
  if (index > 0 && static_cast<RWsize>(index) < count_) entries_[index].underway = underway;
}

RWReadTable::Level::Level(RWReadTable& table) : table_(table), entered_(FALSE) {
  if (table_.abandoned_) return;
  if (table_.depth_ >= maxNesting) {
    table_.abandoned_ = TRUE;
    rwReport<RWInternalErr>(RWTOOL_REF());
    return;
  }
  ++table_.depth_;
  entered_ = TRUE;
}

RWReadTable::Level::~Level() {
  if (entered_) --table_.depth_;
}

// ---- the current tables ---------------------------------------------------------

RWThreadInstanceManager& rwStoreTableManager() { return managers().store; }
RWThreadInstanceManager& rwReadTableManager() { return managers().read; }

RWUseStoreTable::RWUseStoreTable() : owner_(FALSE) {
  RWGuard guard(persistenceLock());
  RWThreadInstanceManager& m = rwStoreTableManager();
  table_ = static_cast<RWStoreTable*>(m.current());
  if (!table_) {
    table_ = static_cast<RWStoreTable*>(m.makeCurrent());
    owner_ = TRUE;
  }
}

RWUseStoreTable::~RWUseStoreTable() {
  if (owner_) {
    RWGuard guard(persistenceLock());
    rwStoreTableManager().release();
  }
}

RWUseReadTable::RWUseReadTable() : owner_(FALSE) {
  RWGuard guard(persistenceLock());
  RWThreadInstanceManager& m = rwReadTableManager();
  table_ = static_cast<RWReadTable*>(m.current());
  if (!table_) {
    table_ = static_cast<RWReadTable*>(m.makeCurrent());
    owner_ = TRUE;
  }
}

RWUseReadTable::~RWUseReadTable() {
  if (owner_) {
    RWGuard guard(persistenceLock());
    rwReadTableManager().release();
  }
}

// ---- storing ----------------------------------------------------------------------

RWspace RWCollectable::recursiveStoreSize() const {
  RWUseStoreTable table;
  RWspace size = table.firstUse() ? 4 : 0;
  int32_t index;
  if (!table.add(this, index)) return size + 6;
  RWClassID id = isA();
  size += 2;
  if (rwIsStringIdentified(id)) {
    // Entered before the fields, as recursiveSaveOn does, so that nested
    // objects of the same class count the string as already written.
    RWStringID sid = rwStringIDOf(id);
    size += table.add(sid, index) ? 4 + sid.length() : 4;
  }
  return size + binaryStoreSize();
}

void RWCollectable::recursiveSaveOn(RWFile& f) const {
  RWUseStoreTable table;
  if (table.firstUse()) f.Write(storeMagic);
  int32_t index;
  if (!table.add(this, index)) {
    f.Write(referenceTag);
    f.Write(index);
    return;
  }
  RWClassID id = isA();
  if (rwIsStringIdentified(id)) {
    RWStringID sid = rwStringIDOf(id);
    if (table.add(sid, index)) {
      f.Write(newStringTag);
      sid.saveOn(f);
    } else {
      f.Write(seenStringTag);
      f.Write(index);
    }
  } else {
    f.Write(id);
  }
  saveGuts(f);
}

void RWCollectable::recursiveSaveOn(RWvostream& s) const {
  RWUseStoreTable table;
  int32_t index;
  if (!table.add(this, index)) {
    s.putChar('@');
    s.put(index);
    return;
  }
  s.putChar(':');
  RWClassID id = isA();
  if (rwIsStringIdentified(id)) {
    RWStringID sid = rwStringIDOf(id);
    if (table.add(sid, index)) {
      s.put(newStringTag);
      sid.saveOn(s);
    } else {
      s.put(seenStringTag);
      s.put(index);
    }
  } else {
    s.put(static_cast<uint16_t>(id));
  }
  s.putChar('{');
  saveGuts(s);
  s.putChar('}');
}

// ---- restoring --------------------------------------------------------------------

namespace {

using Restored = RWCollectable::Restored;

// One stored object from a file, through the given table (`first` when this
// read made it, and so reads the file header). `entry` is left as the read
// table index of the object the read made or restored into, else -1.
Restored readObject(RWFile& f, RWCollectable* into, RWReadTable& table, bool first, int32_t& entry) {
  const Restored failed{nullptr, false, true};
  entry = -1;
  RWReadTable::Level level(table);
  if (!level.entered()) return failed;
  if (first) {
    int32_t magic;
    if (!f.Read(magic)) return failed;
    if (magic != storeMagic) rwReport<RWEnvironmentErr>(RWTOOL_MAGIC(), {magic, storeMagic});
  }
  uint16_t tag;
  if (!f.Read(tag)) return failed;
  if (tag == referenceTag) {
    int32_t index;
    if (!f.Read(index)) return failed;
    return Restored{resolveReference(table, index, into), false, false};
  }
  RWClassID id = tag;
  RWStringID sid("NoID");
  bool byString = false;
  if (tag == newStringTag) {
    sid.restoreFrom(f);
    if (fileFailed(f)) return failed;
    byString = true;
  } else if (tag == seenStringTag) {
    int32_t index;
    if (!f.Read(index)) return failed;
    id = resolveStringIndex(table, index, tag);
  }
  bool fresh;
  RWCollectable* obj = takeObject(table, into, id, byString ? &sid : nullptr, fresh, entry);
  // An object of a class that cannot be made leaves its fields unread, and
  // nothing after them can be told apart from them: the read stops there.
  if (!obj) return failed;
  restoreFields(table, entry, obj, f);
  return Restored{obj, fresh, false};
}

// The same from a virtual stream, which has no header.
Restored readObject(RWvistream& s, RWCollectable* into, RWReadTable& table, bool, int32_t& entry) {
  const Restored failed{nullptr, false, true};
  entry = -1;
  if (!s.good()) return failed;
  RWReadTable::Level level(table);
  if (!level.entered()) {
    setFail(s);
    return failed;
  }
  char c = 0;
  s.getChar(c);
  if (!s.good()) {
    if (!s.eof()) setFail(s);
    return failed;
  }
  if (c == '@') {
    int32_t index;
    s.get(index);
    if (!s.good()) {
      setFail(s);
      return failed;
    }
    return Restored{resolveReference(table, index, into), false, false};
  }
  if (c != ':') {
    setFail(s);
    return failed;
  }
  uint16_t tag = 0;
  s.get(tag);
  RWClassID id = tag;
  RWStringID sid("NoID");
  bool byString = false;
  if (s.good() && tag == newStringTag) {
    sid.restoreFrom(s);
    byString = true;
  } else if (s.good() && tag == seenStringTag) {
    int32_t index;
    s.get(index);
    if (s.good()) id = resolveStringIndex(table, index, tag);
  }
  if (!s.good()) {
    setFail(s);
    return failed;
  }
  s.getChar(c);
  if (!s.good() || c != '{') {
    setFail(s);
    return failed;
  }
  bool fresh;
  RWCollectable* obj = takeObject(table, into, id, byString ? &sid : nullptr, fresh, entry);
  if (obj) restoreFields(table, entry, obj, s);
  s.getChar(c);  // the closing brace
  // An object of a class that cannot be made is passed over only when its
  // braces hold nothing: fields it left unread cannot be told apart from
  // what follows them, and the read stops there.
  if (!obj && (!s.good() || c != '}')) {
    setFail(s);
    return failed;
  }
  return Restored{obj, fresh, false};
}

// Without memory for a read table nothing can be read: the read fails,
// and a stream says so in its state.
Restored noReadTable(RWFile&) { return Restored{nullptr, false, true}; }
Restored noReadTable(RWvistream& s) {
  setFail(s);
  return Restored{nullptr, false, true};
}

template <class Source>
Restored restoreShared(Source& source, RWCollectable* into) {
  RWUseReadTable use;
  if (!use.table()) return noReadTable(source);
  int32_t entry;
  return readObject(source, into, *use.table(), use.firstUse(), entry);
}

// A sole owner takes only an object this read made, and takes it out of
// reach of every later reference; a reference to an object read earlier
// is refused.
template <class Source>
Restored readForOwner(Source& source) {
  RWUseReadTable use;
  if (!use.table()) return noReadTable(source);
  int32_t entry;
  Restored r = readObject(source, nullptr, *use.table(), use.firstUse(), entry);
  if (r.fresh) {
    use.table()->seal(entry);
  } else if (r.object) {
    rwReport<RWInternalErr>(RWTOOL_REF());
    r.object = nullptr;
  }
  return r;
}

template <class Source>
Restored readIntoMember(Source& source, RWCollectable& member) {
  RWUseReadTable use;
  if (!use.table()) return noReadTable(source);
  int32_t entry;
  Restored r = readObject(source, &member, *use.table(), use.firstUse(), entry);
  use.table()->seal(entry);
  return r;
}

}  // namespace

RWCollectable::Restored RWCollectable::restoreObject(RWFile& f, RWCollectable* into) {
  return restoreShared(f, into);
}

RWCollectable::Restored RWCollectable::restoreObject(RWvistream& s, RWCollectable* into) {
  return restoreShared(s, into);
}

RWCollectable::Restored RWCollectable::restoreForOwner(RWFile& f) { return readForOwner(f); }
RWCollectable::Restored RWCollectable::restoreForOwner(RWvistream& s) { return readForOwner(s); }

RWCollectable::Restored RWCollectable::restoreInPlace(RWFile& f, RWCollectable& member) {
  return readIntoMember(f, member);
}

RWCollectable::Restored RWCollectable::restoreInPlace(RWvistream& s, RWCollectable& member) {
  return readIntoMember(s, member);
}

RWCollectable* RWCollectable::recursiveRestoreFrom(RWFile& f, RWCollectable* into) {
  return restoreObject(f, into).object;
}

RWCollectable* RWCollectable::recursiveRestoreFrom(RWvistream& s, RWCollectable* into) {
  return restoreObject(s, into).object;
}

void RWCollectable::tryRecursiveRestore(RWFile& f, RWCollectable*& p) {
  Restored r = restoreObject(f, p);
  if (!r.failed) p = r.object;
}

void RWCollectable::tryRecursiveRestore(RWvistream& s, RWCollectable*& p) {
  Restored r = restoreObject(s, p);
  if (!r.failed) p = r.object;
}

namespace {

void disposeWithFoundation(RWCollectable* root, const RWRestoredSet* made) { rwDisposeGraph(root, made, nullptr, nullptr); }

RWRestoredDisposer& restoredDisposer() {
  static RWRestoredDisposer disposer = disposeWithFoundation;
  return disposer;
}

void pushItem(RWCollectable* item, void* pending) { static_cast<std::vector<RWCollectable*>*>(pending)->push_back(item); }

// A dictionary's items are the associations it owns: they are walked on to
// their keys and values, and left for the dictionary to delete.
struct DictionaryWalk {
  std::unordered_set<RWCollectable*>* owned;
  std::vector<RWCollectable*>* pending;
  static void visit(RWCollectable* item, void* data) {
    auto* walk = static_cast<DictionaryWalk*>(data);
    walk->owned->insert(item);
    if (auto* a = dynamic_cast<RWCollectableAssociation*>(item)) {
      walk->pending->push_back(a->key());
      walk->pending->push_back(a->value());
    }
  }
};

}  // namespace

RWRestoredDisposer rwSetRestoredDisposer(RWRestoredDisposer disposer) {
  RWGuard guard(persistenceLock());
  RWRestoredDisposer old = restoredDisposer();
  restoredDisposer() = disposer ? disposer : disposeWithFoundation;
  return old;
}

void rwDisposeGraph(RWCollectable* root, const RWRestoredSet* made, bool (*claim)(RWCollectable*, void*), void* data) {
  std::unordered_set<RWCollectable*> seen;
  std::unordered_set<RWCollectable*> ownedByDictionary;
  std::vector<RWCollectable*> plain;  // to delete, in the order met
  std::vector<RWCollectable*> pending{root};
  while (!pending.empty()) {
    RWCollectable* object = pending.back();
    pending.pop_back();
    if (!object || object == rwNilCollectable()) continue;
    if (object != root && made && !made->count(object)) continue;  // read by reference
    if (!seen.insert(object).second) continue;
    if (claim && claim(object, data)) continue;
    plain.push_back(object);
    if (auto* dictionary = dynamic_cast<RWBTreeDictionary*>(object)) {
      DictionaryWalk walk{&ownedByDictionary, &pending};
      dictionary->apply(DictionaryWalk::visit, &walk);
    } else if (auto* collection = dynamic_cast<RWCollection*>(object)) {
      collection->apply(pushItem, &pending);
    } else if (auto* association = dynamic_cast<RWCollectableAssociation*>(object)) {
      pending.push_back(association->key());
      pending.push_back(association->value());
    }
  }
  for (RWCollectable* object : plain)
    if (!ownedByDictionary.count(object)) delete object;
}

void RWCollectable::discardRestored(RWCollectable* object) {
  if (!object) return;
  RWRestoredSet made;
  RWRestoredDisposer disposer;
  bool withinGraph = false;
  {
    RWGuard guard(persistenceLock());
    if (RWReadTable* t = static_cast<RWReadTable*>(rwReadTableManager().current())) {
      t->forgetWithin(object, &made);
      withinGraph = true;
    }
    disposer = restoredDisposer();
  }
  // Without a current table the restore that made the object was the
  // outermost and is over: everything the object reaches was made by it.
  disposer(object, withinGraph ? &made : nullptr);
}
