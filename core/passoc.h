#ifndef CORE_PASSOC_H
#define CORE_PASSOC_H

// Stored lookup tables: key and value pairs of persistent objects.
//
// An association owns its key and its value outright (no counting). A list
// of associations is a composite whose children are associations, found by
// key: a child's key is asked whether it matches the key looked up, so the
// key's own class decides what equal means (for the root, equal ids).
//
// Stored form of an association, after the root level: version (1), the key
// and the value as stored pointers (the nil record when absent). Of a list:
// the composite level, then its own version word (1).

#include "core/classids.h"
#include "core/pcomposit.h"

class MPersistentAssociation : public MPersistentObject {
  G_PERSISTENT_CLASS(MPersistentAssociation)

 public:
  MPersistentAssociation();
  // Takes ownership of the key and the value.
  MPersistentAssociation(MPersistentObject* key, MPersistentObject* value, const uint32_t& id);
  // A new object (id 0, its own serial number) with copies of the key and
  // the value.
  MPersistentAssociation(const MPersistentAssociation& other);
  // Replaces key and value by copies of the other's; id and serial number
  // stay.
  MPersistentAssociation& operator=(const MPersistentAssociation& other);
  ~MPersistentAssociation() override;

  static RWClassID classIsA() { return ClassId::MPersistentAssociation; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, and neither the keys nor the values differ.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Owned by the association: the caller must not delete them.
  MPersistentObject* key() const { return key_; }
  MPersistentObject* value() const { return value_; }

 private:
  MPersistentObject* key_;
  MPersistentObject* value_;
};

RW_DECLARE_RESTORE_OPERATORS(MPersistentAssociation)

class MAssociationList : public MPersistentComposite {
  G_PERSISTENT_CLASS(MAssociationList)

 public:
  MAssociationList() = default;
  explicit MAssociationList(const uint32_t& id) : MPersistentComposite(id) {}
  // The associations are shared, not copied.
  MAssociationList(const MAssociationList& other) = default;
  MAssociationList& operator=(const MAssociationList& other) = default;
  ~MAssociationList() override;

  static RWClassID classIsA() { return ClassId::MAssociationList; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  // Ignores the object, which stays the caller's: associations enter
  // through insertAssociation.
  void insert(MPersistentObject* object) override;
  // The first association whose key matches the given key object, or null.
  MPersistentAssociation* find(const MPersistentObject* key) const override;
  // A new list of the same id holding deep copies of the associations.
  MPersistentObject* deepCopy() const override;

  // Appends the association, which belongs to the list from then on; an
  // association with a matching key is taken out and deleted first. An
  // association already in the list stays as it is.
  void insertAssociation(MPersistentAssociation* association);
  // The value of the association found by key, or null.
  MPersistentObject* findValue(const MPersistentObject* key) const;
  // Take the association found by key (or by the given association's key)
  // out of the list; owned by the caller, or null.
  MPersistentAssociation* removeKey(const MPersistentObject* key);
  MPersistentAssociation* removeAssociation(const MPersistentAssociation* association);

 private:
  int32_t positionOf(const MPersistentObject* key) const;
};

RW_DECLARE_RESTORE_OPERATORS(MAssociationList)

#endif
