#ifndef CORE_STATE_H
#define CORE_STATE_H

// A set of settings: at most one member per kind and attribute id.
//
// Two attributes correspond when their kinds and ids are equal; the kind is
// the class by default and a family's shared kind where a family defines
// one, so that a member can be replaced by another class of its family.
// insert replaces the corresponding member, and merge layers another state
// over this one, through nested states, flagging what it took over so that
// the next visit sends exactly that. A restored state takes its members as
// stored, corresponding ones included.
//
// Stored form: the attribute-composite level, then a version word (1).

#include "core/classids.h"
#include "core/attrib.h"

class GState : public GAttributeComposite {
  G_PERSISTENT_CLASS(GState)

 public:
  GState();
  explicit GState(const uint32_t& id);
  // Members shared, not copied.
  GState(const GState& other);
  GState& operator=(const GState& other);
  ~GState() override;

  static RWClassID classIsA() { return ClassId::GState; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;

  // The state takes charge of the object: a new kind or id is appended, a
  // corresponding member that differs is replaced in its position, and an
  // equal duplicate is deleted (unless counted holders share it). An object
  // that already is a member stays as it is. Changed flags
  // are not touched.
  void insert(MPersistentObject* object) override;
  // Another state of this kind and id: each of its members is taken over
  // (shared) where this state lacks it or holds a differing one, and
  // flagged changed; nested states merge member by member. Any other
  // attribute is flagged changed and handed to insert, which takes charge
  // of it.
  void merge(GAttribute* other) override;
  // The member-by-member part of merge, for any composite whatever its kind
  // and id: each of its attribute members is taken over (shared) where this
  // state lacks a corresponding one or holds a differing one, and flagged
  // changed; nested states merge member by member; members this state has
  // and the other lacks stay. The other composite is never taken itself.
  void mergeMembers(GAttributeComposite* from);

 private:
  int32_t correspondent(const MPersistentObject* object) const;
};

RW_DECLARE_RESTORE_OPERATORS(GState)

#endif
