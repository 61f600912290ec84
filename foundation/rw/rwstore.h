#ifndef RW_RWSTORE_H
#define RW_RWSTORE_H

// The tables behind object-graph persistence.
//
// While storing, the store table maps every object already written (by
// address) and every string ID already written to its index; while
// restoring, the read table maps each index back to the object made or to
// the class ID a string ID named. Index 0 is the nil object. Each thread has
// at most one current table of each kind: the outermost store or restore
// makes it and every nested call shares it.
//
// The store table knows objects by address only: within one store
// operation, never store a temporary, destroy it and store another
// temporary at the same address, or the second is written as a reference to
// the first.
//
// A caller that wants several top-level objects in one graph holds an
// RWUseStoreTable (or RWUseReadTable) for the length of all of them.

#include <unordered_set>

#include "rw/collect.h"
#include "rw/rwset.h"

// The objects one restore made within an object being dropped, which
// nothing outside that object can hold.
using RWRestoredSet = std::unordered_set<const RWCollectable*>;

// Disposes of a dropped restored object and of what it holds that the same
// restore made (made; null when the whole graph it reaches was made by it);
// an object it reaches that is not in made was read by reference and
// belongs to someone else.
using RWRestoredDisposer = void (*)(RWCollectable* root, const RWRestoredSet* made);

// Installs the disposer RWCollectable::discardRestored uses and answers the
// one it replaces; null installs the foundation's own. The foundation's
// knows its own collections and associations only: a library whose classes
// own or share what lies below them installs one that knows them too.
RWRestoredDisposer rwSetRestoredDisposer(RWRestoredDisposer disposer);

// The walk every disposer is made of. From root, through the foundation's
// collections and associations, every object met that made holds (root
// itself always) is deleted exactly once however often it is met, except
// the associations a B-tree dictionary owns, which go with the dictionary.
// A null made means the whole graph is the caller's. claim, when given, is
// asked first about each object: one it answers true for is its to dispose
// of, and is neither walked nor deleted here.
void rwDisposeGraph(RWCollectable* root, const RWRestoredSet* made, bool (*claim)(RWCollectable* object, void* data),
                    void* data);

// The store table's two kinds of entries. An entry matches only entries of
// its own kind.
class RWStoreEntry : public RWCollectable {
 public:
  enum Kind { byAddress, byString };
  RWStoreEntry(Kind kind, int32_t index) : kind_(kind), index_(index) {}
  Kind kind() const { return kind_; }
  int32_t index() const { return index_; }

 private:
  Kind kind_;
  int32_t index_;
};

class RWStoreEntryByAddress : public RWStoreEntry {
 public:
  RWStoreEntryByAddress(const void* address, int32_t index)
      : RWStoreEntry(byAddress, index), address_(address) {}
  uint32_t hash() const override;  // as the default hash of that address
  RWBoolean isEqual(const RWCollectable* other) const override;

 private:
  const void* address_;
};

class RWStoreEntryByString : public RWStoreEntry {
 public:
  RWStoreEntryByString(const RWCString& s, int32_t index) : RWStoreEntry(byString, index), string_(s) {}
  uint32_t hash() const override;  // the exact string hash
  RWBoolean isEqual(const RWCollectable* other) const override;

 private:
  RWCString string_;
};

class RWStoreTable : public RWSet {
 public:
  RWStoreTable();  // holds the nil object at index 0
  ~RWStoreTable() override;

  // Answer TRUE and the new index when the object (string) was not yet in
  // the table, else FALSE and the index it has.
  RWBoolean add(const void* object, int32_t& index);
  RWBoolean add(const RWCString& stringId, int32_t& index);

 private:
  int32_t next_;
};

class RWReadTable {
 public:
  // An entry of kind none is one no reference may use: an object that was
  // dropped, or that its sole owner took out of reach. Its ptr is only the
  // address the object had.
  enum Kind : uint8_t { none, object, classId };
  struct Entry {
    Kind kind;
    RWClassID id;
    RWCollectable* ptr;
    // The object's own restore is under way (its restoreGuts has not
    // returned): a collection or an association in this state is not handed
    // to a reference, which could only make the graph a cycle.
    RWBoolean underway;
  };

  RWReadTable();  // holds the nil object at index 0
  ~RWReadTable();
  RWReadTable(const RWReadTable&) = delete;
  RWReadTable& operator=(const RWReadTable&) = delete;

  RWsize entries() const { return count_; }
  // Appends one entry and answers its index; -1 (and nothing appended) when
  // the table cannot grow.
  int32_t append(RWCollectable* p);
  void appendClassID(RWClassID id);
  // The entry at an index, or null when the index is negative or past the
  // end.
  const Entry* at(int32_t index) const;
  // Any entry naming the object becomes one that no reference may use.
  void forget(const RWCollectable* p);
  // For an object that was just restored and is being dropped: its entry
  // and every object entry after it (the objects restored within it, which
  // it may have owned) become ones no reference may use. Class-ID entries
  // stay, since later string indexes still name them. When made is given,
  // the objects of the entries after it that references could still reach
  // (the ones no sole owner took) are added to it.
  void forgetWithin(const RWCollectable* p, RWRestoredSet* made = nullptr);
  // The object entry at an index becomes one no reference may use; nothing
  // for any other index.
  void seal(int32_t index);
  void setUnderway(int32_t index, RWBoolean underway);

  // Objects restored through this table nest (a collection restores its
  // items from within its own restore, and so on down), one level of the
  // call stack each. A restore goes at most this many levels deep: 1000
  // levels of lists take under half a megabyte of stack, and under one even
  // in the sanitizer build, a small part of the usual 8 MB, while a hostile
  // file needs only a few bytes a level to nest as deep as it likes.
  static constexpr RWsize maxNesting = 1000;

  // One level of nesting for the length of a scope. The level is refused
  // when it would be too deep, and from then on every later one in this
  // table too: the too-deep object was left half read, so whatever follows
  // in the source is not where a new object could start. The first refusal
  // is reported as a bad reference.
  class Level {
   public:
    explicit Level(RWReadTable& table);
    ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
    RWBoolean entered() const { return entered_; }

   private:
    RWReadTable& table_;
    RWBoolean entered_;
  };

 private:
  int32_t push(const Entry& e);

  Entry* entries_;
  RWsize count_;
  RWsize capacity_;
  RWsize depth_;
  RWBoolean abandoned_;
};

// The calling thread's current store table for the length of a scope; the
// outermost scope makes it and deletes it again.
class RWUseStoreTable {
 public:
  RWUseStoreTable();
  ~RWUseStoreTable();
  RWUseStoreTable(const RWUseStoreTable&) = delete;
  RWUseStoreTable& operator=(const RWUseStoreTable&) = delete;

  RWBoolean firstUse() const { return owner_; }
  RWStoreTable* table() const { return table_; }
  RWBoolean add(const void* object, int32_t& index) { return table_->add(object, index); }
  RWBoolean add(const RWCString& stringId, int32_t& index) { return table_->add(stringId, index); }

 private:
  RWStoreTable* table_;
  RWBoolean owner_;
};

class RWUseReadTable {
 public:
  RWUseReadTable();
  ~RWUseReadTable();
  RWUseReadTable(const RWUseReadTable&) = delete;
  RWUseReadTable& operator=(const RWUseReadTable&) = delete;

  RWBoolean firstUse() const { return owner_; }
  RWReadTable* table() const { return table_; }
  void append(RWCollectable* p) { table_->append(p); }
  void appendClassID(RWClassID id) { table_->appendClassID(id); }

 private:
  RWReadTable* table_;
  RWBoolean owner_;
};

class RWThreadInstanceManager;
// The managers that keep the current tables per thread.
RWThreadInstanceManager& rwStoreTableManager();
RWThreadInstanceManager& rwReadTableManager();

#endif
