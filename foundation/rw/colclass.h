#ifndef RW_COLCLASS_H
#define RW_COLCLASS_H

// The collection protocol.
//
// Every collection of collectables is an RWCollection; collections whose
// items have positions are RWSequenceCollections. Collections hold pointers
// they do not own, unless an operation says it deletes. Matching is by the
// item's isEqual unless a class says otherwise. All collections share one
// stored form: the number of items, then every item as an object graph.

#include "rw/collect.h"

typedef void (*RWapplyCollectable)(RWCollectable* item, void* data);
typedef RWBoolean (*RWtestCollectable)(const RWCollectable* item, const void* data);

class RWCollection : public RWCollectable {
 public:
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWCollection; }

  // 4 plus the stored size of every item.
  RWspace binaryStoreSize() const override;
  void restoreGuts(RWvistream&) override;
  void restoreGuts(RWFile&) override;
  void saveGuts(RWvostream&) const override;
  void saveGuts(RWFile&) const override;

  virtual void apply(RWapplyCollectable f, void* data) = 0;
  virtual void clear() = 0;
  // Deletes every distinct item once (however often it is held), then clears.
  virtual void clearAndDelete();
  virtual RWBoolean contains(const RWCollectable* target) const;
  virtual RWsize entries() const = 0;
  virtual RWCollectable* find(const RWCollectable* target) const = 0;
  virtual RWCollectable* insert(RWCollectable* item) = 0;
  virtual RWBoolean isEmpty() const = 0;
  virtual RWsize occurrencesOf(const RWCollectable* target) const = 0;
  virtual RWCollectable* remove(const RWCollectable* target) = 0;
  virtual void removeAndDelete(const RWCollectable* target);

  // A new collection of the same kind holding the items that pass; the
  // caller owns it. Virtual because a collection that owns its items (a
  // dictionary its associations) must not hand them to a second owner.
  virtual RWCollection* select(RWtestCollectable test, const void* data) const;

  // Inserts every item of another collection into this one (virtual for the
  // same reason as select).
  virtual void insertAllOf(const RWCollection& other);
  // Removes from this one every item of another.
  void removeAllOf(const RWCollection& other);
  // Inserts a copy (made by copy) of every item of another collection.
  void insertCopiesOf(const RWCollection& other);

 protected:
  RWCollection() = default;
  RWCollection(const RWCollection&) = default;
  RWCollection& operator=(const RWCollection&) = default;

  // Reads the count and then, while reads succeed, one object at a time,
  // handing each restored item to take, which answers whether the
  // collection keeps it. Null items (nil, an unknown class) are passed
  // over; an item this read made and the collection does not keep (an
  // equal one is held already) is discarded, out of reach of later
  // references.
  typedef RWBoolean (*Taker)(RWCollection& c, const Restored& item);
  void restoreItems(RWvistream& s, Taker take);
  void restoreItems(RWFile& f, Taker take);
  static RWBoolean takeByInsert(RWCollection& c, const Restored& item) {
    return c.insert(item.object) == item.object;
  }
};

class RWSequenceCollection : public RWCollection {
 public:
  virtual RWCollectable* append(RWCollectable* item) = 0;
  virtual RWCollectable* at(RWsize i) const = 0;
  virtual RWCollectable*& at(RWsize i) = 0;
  virtual RWCollectable* first() const = 0;
  // Position of the first matching item, or RW_NPOS.
  virtual RWsize index(const RWCollectable* target) const = 0;
  virtual RWCollectable* insertAt(RWsize i, RWCollectable* item) = 0;
  virtual RWCollectable* last() const = 0;
  virtual RWCollectable* prepend(RWCollectable* item) = 0;
  // The item goes right after the item at i.
  virtual RWCollectable* insertAfter(RWsize i, RWCollectable* item) = 0;

 protected:
  RWSequenceCollection() = default;
  RWSequenceCollection(const RWSequenceCollection&) = default;
  RWSequenceCollection& operator=(const RWSequenceCollection&) = default;
};

class RWCollectionIterator {
 public:
  virtual ~RWCollectionIterator();
  // Moves on to the next matching item and answers it; null at the end.
  virtual RWCollectable* findNext(const RWCollectable* target) = 0;
  // The current item, or null.
  virtual RWCollectable* key() const = 0;
  // Moves on and answers the next item; null at the end.
  virtual RWCollectable* operator()() = 0;
  // Back before the first item.
  virtual void reset() = 0;

 protected:
  RWCollectionIterator() = default;
  RWCollectionIterator(const RWCollectionIterator&) = default;
  RWCollectionIterator& operator=(const RWCollectionIterator&) = default;
};

#endif
