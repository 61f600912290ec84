#ifndef RW_COLLASS_H
#define RW_COLLASS_H

// Associations: a key paired with a value.
//
// An association stands in for its key when it is sorted, hashed or
// compared, so any collection can hold associations and be searched with a
// bare key. RWCollectableAssociation asks the key's own virtual operations;
// RWCollectableIDAssociation goes by the key's address. Neither owns its key
// or its value.
//
// An association made by the factory (or with a null key) behaves as the
// null address: it hashes as 0, sorts before every keyed association and
// every object, and is equal only to another association whose key is null.

#include "rw/collect.h"

class RWCollectableAssociation : public RWCollectable {
 public:
  RWCollectableAssociation() : key_(nullptr), value_(nullptr) {}
  RWCollectableAssociation(RWCollectable* key, RWCollectable* value) : key_(key), value_(value) {}
  ~RWCollectableAssociation() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWCollectableAssociation; }

  // The stored sizes of the key and the value, each as an object graph.
  RWspace binaryStoreSize() const override;
  // How the key compares with c, c's sense of the comparison turned around.
  int compareTo(const RWCollectable* c) const override;
  uint32_t hash() const override;
  RWBoolean isEqual(const RWCollectable* c) const override;
  void restoreGuts(RWvistream&) override;
  void restoreGuts(RWFile&) override;
  void saveGuts(RWvostream&) const override;
  void saveGuts(RWFile&) const override;

  RWCollectable* key() const { return key_; }
  RWCollectable* value() const { return value_; }
  // Answers the value it replaces.
  RWCollectable* value(RWCollectable* newValue);

 protected:
  // Whether c is an association whose key is null.
  static RWBoolean isNullKeyed(const RWCollectable* c);

  RWCollectable* key_;
  RWCollectable* value_;
};

class RWCollectableIDAssociation : public RWCollectableAssociation {
 public:
  RWCollectableIDAssociation() = default;
  RWCollectableIDAssociation(RWCollectable* key, RWCollectable* value)
      : RWCollectableAssociation(key, value) {}
  ~RWCollectableIDAssociation() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWCollectableIDAssociation; }

  // By address: the key's against c's, or against c's key when c is an ID
  // association too.
  int compareTo(const RWCollectable* c) const override;
  uint32_t hash() const override;
  // Another ID association: the same key object; anything else: c is the key.
  RWBoolean isEqual(const RWCollectable* c) const override;
};

RW_DECLARE_RESTORE_OPERATORS(RWCollectableAssociation)
RW_DECLARE_RESTORE_OPERATORS(RWCollectableIDAssociation)

#endif
