#ifndef RW_HASHTAB_H
#define RW_HASHTAB_H

// The hashed bag of collectables.
//
// Items are kept in buckets chosen by the item's hash modulo the bucket
// count; a bucket is a list made on the first insertion into it, holding its
// items in insertion order. Within a bucket an item matches a target when
// item.isEqual(target). Equal items may be held more than once. The table
// never grows by itself: it keeps its bucket count until resize is called.

#include "rw/colclass.h"
#include "rw/gvector.h"

class RWSlistCollectables;
class RWSlistCollectablesIterator;

class RWHashTable : public RWCollection {
  friend class RWHashTableIterator;

 public:
  static constexpr RWsize defaultCapacity = 64;

  // A bucket count of 0 gives 2.
  explicit RWHashTable(RWsize buckets = defaultCapacity);
  RWHashTable(const RWHashTable& other);
  RWHashTable& operator=(const RWHashTable& other);
  ~RWHashTable() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWHashTable; }
  // The same class, the same number of items, and every item held at least
  // as often in the other as in this one.
  RWBoolean isEqual(const RWCollectable* other) const override;

  void apply(RWapplyCollectable f, void* data) override;
  void clear() override;
  RWsize entries() const override { return nitems_; }
  RWCollectable* find(const RWCollectable* target) const override;
  RWCollectable* insert(RWCollectable* item) override;
  RWBoolean isEmpty() const override { return nitems_ == 0; }
  RWsize occurrencesOf(const RWCollectable* target) const override;
  RWCollectable* remove(const RWCollectable* target) override;

  // Re-buckets every item into n buckets; 0 picks 16 below 12 items, else
  // one and a half times the item count.
  virtual void resize(RWsize n = 0);
  RWsize buckets() const { return table_.length(); }

 protected:
  // The bucket a hash value selects.
  RWsize bucketOf(uint32_t h) const { return h % table_.length(); }
  virtual RWsize bucketFor(const RWCollectable* item) const { return bucketOf(item->hash()); }
  RWSlistCollectables* bucket(RWsize i) const {
    return static_cast<RWSlistCollectables*>(table_(i));
  }
  // Appends to the item's bucket, making the bucket when needed.
  RWCollectable* insertIntoBucket(RWsize i, RWCollectable* item);
  void copyBuckets(const RWHashTable& other);
  void dropBuckets();

  RWPtrVector table_;
  RWsize nitems_;
};

class RWHashTableIterator : public RWCollectionIterator {
 public:
  explicit RWHashTableIterator(RWHashTable& table);
  RWHashTableIterator(const RWHashTableIterator& other);
  RWHashTableIterator& operator=(const RWHashTableIterator&) = delete;
  ~RWHashTableIterator() override;

  RWCollectable* findNext(const RWCollectable* target) override;
  RWCollectable* key() const override;
  RWCollectable* operator()() override;
  void reset() override;

  // Unlinks the current item (the cursor steps back); null when none.
  RWCollectable* remove();
  // Removes the next item equal to the target, from the current bucket on.
  RWCollectable* removeNext(const RWCollectable* target);

 private:
  // Moves to the next non-empty bucket after the current one; false at the end.
  bool nextBucket();

  RWHashTable* table_;
  RWsize index_;  // RW_NPOS before the first reset
  RWSlistCollectablesIterator* iterator_;
};

RW_DECLARE_RESTORE_OPERATORS(RWHashTable)

#endif
