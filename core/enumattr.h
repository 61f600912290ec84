#ifndef CORE_ENUMATTR_H
#define CORE_ENUMATTR_H

// A setting chosen from a list: an attribute composite whose children are
// the possible choices, all of one class, and the choice now selected.
//
// The first choice fixes the member class; a choice of another class, or
// one equal to a choice already there, is destroyed. The current choice is
// a plain pointer into the tree (the children's counted references keep it
// alive), so every operation that can take a choice out of the tree moves
// it: a removal to the first remaining choice, a replacement to the object
// now in that place, a restore that dropped the children to none.
//
// Stored form, after the attribute-composite level: a version word (1), the
// current choice as a stored pointer (a reference to the child already
// written, or nil) and the member class ID (16 bits).

#include "core/classids.h"
#include "core/attrib.h"

class GEnumAttribute : public GAttributeComposite {
  G_PERSISTENT_CLASS(GEnumAttribute)

 public:
  GEnumAttribute();
  explicit GEnumAttribute(const uint32_t& id);
  // The choices shared, the member class copied, and the same current.
  GEnumAttribute(const GEnumAttribute& other);
  GEnumAttribute& operator=(const GEnumAttribute& other);
  ~GEnumAttribute() override;

  static RWClassID classIsA() { return ClassId::GEnumAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, matching composites, matching current choices (or none on
  // both sides) and the same member class.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Takes charge of the choice; the first one becomes current.
  void insert(MPersistentObject* object) override;
  MPersistentObject* remove(const MPersistentObject* member) override;
  MPersistentObject* removeById(const uint32_t& id) override;
  MPersistentObject* removeByClassId(const RWClassID& classId) override;
  int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) override;
  int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) override;
  int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) override;
  int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) override;
  // No choice left and none current; the member class stays.
  void clear() override;
  // GEnumAttribute's own class ID, in every subclass too.
  RWClassID kind() const override;
  // An enumeration takes nothing over from another attribute.
  void merge(GAttribute* other) override;
  // The stage sees the whole enumeration at once; clears the changed flag.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // Deep copies of the choices, with the current one at the same place.
  MPersistentObject* deepCopy() const override;

  MPersistentObject* current() const { return current_; }
  // Makes the choice that is the object, or the first that matches it,
  // current and answers it; null (and nothing changed) when none does.
  MPersistentObject* setCurrent(const MPersistentObject* object);
  // Steps over the direct choices without wrapping around; nothing when
  // the current choice is not a direct one.
  void next();
  void previous();
  RWClassID memberClassId() const { return memberClass_; }

 protected:
  void replaceChild(RWsize position, MPersistentObject* object) override;

 private:
  enum class Follow { firstChoice, samePlace };
  template <class Operation>
  auto keepingCurrent(Follow follow, Operation operation);
  // The attribute-composite level's restore, with the current choice held
  // across it.
  template <class Source>
  void restoreChoices(Source& source);
  // Whether the object is in this enumeration's tree, by address.
  bool holds(const MPersistentObject* object) const;
  // The position of the direct choice that is or holds the object, or -1.
  int32_t branchOf(const MPersistentObject* object) const;

  MPersistentObject* current_;
  RWClassID memberClass_;
};

RW_DECLARE_RESTORE_OPERATORS(GEnumAttribute)

#endif
