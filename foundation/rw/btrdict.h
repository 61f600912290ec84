#ifndef RW_BTRDICT_H
#define RW_BTRDICT_H

// The B-tree dictionary: a B-tree of key/value associations, ordered by key.
//
// The dictionary owns its associations; keys and values belong to the
// caller, except where an operation says it deletes them. Every item is an
// RWCollectableAssociation, so the inherited insert, and the collection
// operations that insert the items of a collection that is not a dictionary,
// must be given associations that no other owner will delete.

#include "rw/btree.h"

class RWCollectableAssociation;

typedef void (*RWapplyKeyAndValue)(RWCollectable* key, RWCollectable* value, void* data);
typedef RWBoolean (*RWtestCollectablePair)(const RWCollectable* key, const RWCollectable* value,
                                            const void* data);

class RWBTreeDictionary : public RWBTree {
 public:
  RWBTreeDictionary() = default;
  // Copies of the other's associations: keys and values are shared.
  RWBTreeDictionary(const RWBTreeDictionary& other);
  RWBTreeDictionary& operator=(const RWBTreeDictionary& other);
  // Deletes the associations; keys and values are kept.
  ~RWBTreeDictionary() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWBTreeDictionary; }
  // A dictionary of exactly this class with as many pairs, holding for
  // every pair of this one an equal key with an equal value (or both
  // values null).
  RWBoolean isEqual(const RWCollectable* other) const override;

  // Deletes every association (keys and values are kept).
  void clear() override;
  // Deletes every distinct key and value once, and the associations.
  void clearAndDelete() override;
  // The stored key equal to the given one, or null.
  RWCollectable* find(const RWCollectable* key) const override;
  // Takes out the pair and deletes its association; answers the stored key.
  RWCollectable* remove(const RWCollectable* key) override;
  // Takes out the pair and deletes its key, its value (unless that is the
  // key) and its association.
  void removeAndDelete(const RWCollectable* key) override;

  // Adds a pair and answers the key; null (and no change) when a pair with
  // an equal key is held.
  RWCollectable* insertKeyAndValue(RWCollectable* key, RWCollectable* value);
  RWCollectable* findValue(const RWCollectable* key) const;
  // The stored key, with its value in `value`; null and null when absent.
  RWCollectable* findKeyAndValue(const RWCollectable* key, RWCollectable*& value) const;
  // Sets the value of the stored pair and answers the old one; null when
  // no pair has the key.
  RWCollectable* replaceValue(const RWCollectable* key, RWCollectable* newValue);
  // As remove, also giving the value.
  RWCollectable* removeKeyAndValue(const RWCollectable* key, RWCollectable*& value);

  // Every pair in ascending key order.
  void applyToKeyAndValue(RWapplyKeyAndValue f, void* data);
  // A new dictionary (the caller's) of new associations for the pairs whose
  // key, or whose key and value, pass the test. The first form is also the
  // collection's select, so a dictionary selected from through any
  // collection reference never shares its associations.
  RWBTreeDictionary* select(RWtestCollectable test, const void* data) const override;
  RWBTreeDictionary* select(RWtestCollectablePair test, const void* data) const;
  // From another dictionary, new associations for its pairs (a pair whose
  // key is held already is passed over); from any other collection, its
  // items, which must be associations this dictionary may own.
  void insertAllOf(const RWCollection& other) override;

  // Restored pairs are inserted as they are read. The dictionary owns
  // them, so a stored reference to an association read earlier is refused
  // (REF), and no later reference reaches one it took. An item that is not
  // an association, or a pair whose key is the very key object of a held
  // pair, is not kept; a pair whose key merely compares equal to a held
  // one is kept beside it (see RWBTree::restoreGuts).
  void restoreGuts(RWvistream&) override;
  void restoreGuts(RWFile&) override;

 private:
  RWCollectableAssociation* findAssociation(const RWCollectable* key) const;
  // Inserts a restored item or disposes of it.
  void takeRestored(const Restored& r);
};

RW_DECLARE_RESTORE_OPERATORS(RWBTreeDictionary)

#endif
