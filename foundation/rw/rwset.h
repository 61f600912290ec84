#ifndef RW_RWSET_H
#define RW_RWSET_H

// Sets of collectables: RWSet holds items unique under isEqual, and
// RWIdentitySet items unique by address (two equal but distinct objects are
// both held).

#include "rw/hashtab.h"

class RWSet : public RWHashTable {
 public:
  explicit RWSet(RWsize buckets = defaultCapacity) : RWHashTable(buckets) {}
  RWSet(const RWSet&) = default;
  RWSet& operator=(const RWSet&) = default;
  ~RWSet() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWSet; }
  RWBoolean isEqual(const RWCollectable* other) const override;

  // An item equal to one already held is not added: the held one is answered.
  RWCollectable* insert(RWCollectable* item) override;
  RWsize occurrencesOf(const RWCollectable* target) const override;
  void clearAndDelete() override;

  // Whether the other holds every item of this set.
  RWBoolean isSubsetOf(const RWSet& other) const;
  RWBoolean isProperSubsetOf(const RWSet& other) const;
  // Keeps only the items the other holds too.
  RWSet& operator*=(const RWSet& other);
  // Inserts into result every item held by both sets.
  void intersectWith(const RWSet& other, RWCollection& result) const;
};

class RWIdentitySet : public RWSet {
 public:
  explicit RWIdentitySet(RWsize buckets = defaultCapacity) : RWSet(buckets) {}
  RWIdentitySet(const RWIdentitySet&) = default;
  RWIdentitySet& operator=(const RWIdentitySet&) = default;
  ~RWIdentitySet() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWIdentitySet; }
  RWBoolean isEqual(const RWCollectable* other) const override;

  RWCollectable* find(const RWCollectable* target) const override;
  RWCollectable* insert(RWCollectable* item) override;
  RWCollectable* remove(const RWCollectable* target) override;

 protected:
  RWsize bucketFor(const RWCollectable* item) const override;
};

class RWSetIterator : public RWHashTableIterator {
 public:
  explicit RWSetIterator(RWSet& set) : RWHashTableIterator(set) {}
};

RW_DECLARE_RESTORE_OPERATORS(RWSet)
RW_DECLARE_RESTORE_OPERATORS(RWIdentitySet)

#endif
