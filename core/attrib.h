#ifndef CORE_ATTRIB_H
#define CORE_ATTRIB_H

// Attributes: persistent objects keyed by an attribute id that carry a
// changed flag and hand themselves to a command-processing stage.
//
// GAttribute is the base of every setting, graphics-state value, medium,
// tray and stage. GAttributeComposite keeps attributes in order with the
// protocol of MPersistentComposite; its visit passes only the members whose
// changed flag is set, so that a stage is sent exactly what changed since
// the last visit.
//
// Stored form of the GAttribute level, after the root's: version (1) and
// the changed flag, each a 32-bit word. The composite level follows with
// version (1), the count and the children as stored pointers, as
// MPersistentComposite stores them.

#include <cstdint>

#include "core/classids.h"
#include "core/pcomposit.h"
#include "core/perobj.h"
#include "core/visitor.h"

// The kinds the graphics-state families share, so that a member of one
// class corresponds to another class of its family with the same id: each
// family answers the class ID of its base.
constexpr RWClassID kPenFamily = ClassId::GPen;
constexpr RWClassID kBrushFamily = ClassId::GBrush;
constexpr RWClassID kJointFamily = ClassId::GJoint;
constexpr RWClassID kClipFamily = ClassId::GClipAttribute;

// Abstract: the macro declares its stored level only; isA is its own.
class GAttribute : public MPersistentObject {
  G_PERSISTENT_LEVEL(GAttribute)

 public:
  GAttribute();
  explicit GAttribute(const uint32_t& id);
  // Id, serial number and changed flag.
  GAttribute(const GAttribute& other);
  GAttribute& operator=(const GAttribute& other);
  ~GAttribute() override;

  static RWClassID classIsA() { return ClassId::GAttribute; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;

  // When this attribute differs from the other it takes the other's id,
  // serial number and changed flag. Composites override it.
  virtual void merge(GAttribute* other);
  // Calls the stage's handler for this attribute's class with this
  // attribute and answers its status.
  [[nodiscard]] virtual GStatus accept(GPeripheralHandlers& visitor) = 0;

  int32_t isChanged() const { return changed_; }
  void setChanged() { changed_ = 1; }
  void resetChanged() { changed_ = 0; }

  // The object as an attribute, or null for null and for any object that
  // is not one (a restored tree may hold such children).
  static GAttribute* fromObject(MPersistentObject* object);

 private:
  int32_t changed_;
};

RW_DECLARE_RESTORE_OPERATORS(GAttribute)

class GCompositeIterator;

class GAttributeComposite : public GAttribute {
  G_PERSISTENT_CLASS(GAttributeComposite)

 public:
  GAttributeComposite();
  explicit GAttributeComposite(const uint32_t& id);
  // The attribute part copied, the children shared.
  GAttributeComposite(const GAttributeComposite& other);
  // Id, serial number and changed flag of the other, and its children
  // shared in place of the present ones.
  GAttributeComposite& operator=(const GAttributeComposite& other);
  ~GAttributeComposite() override;

  static RWClassID classIsA() { return ClassId::GAttributeComposite; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;

  // Same class, id and count, and no two children at one position differ.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Null is ignored; an object that is not an attribute is deleted (unless
  // counted holders still share it); any other is appended. prepend keeps
  // the root's behaviour: it does nothing, and the object stays the
  // caller's.
  void insert(MPersistentObject* object) override;
  MPersistentObject* remove(const MPersistentObject* member) override;
  MPersistentObject* removeById(const uint32_t& id) override;
  MPersistentObject* removeByClassId(const RWClassID& classId) override;
  int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) override;
  int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) override;
  int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) override;
  int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) override;
  void clear() override;
  MPersistentObject* findById(const uint32_t& id) const override;
  MPersistentObject* findByClassId(const RWClassID& classId) const override;
  // The first child, depth first, that is the object itself; a child that
  // is not is asked its own find (a leaf answers itself when it matches).
  MPersistentObject* find(const MPersistentObject* object) const override;
  MPersistentObject* findByKind(const RWClassID& kind) const override;
  MPersistentComposite* collectByClassId(const RWClassID& classId, MPersistentComposite* list) const override;
  MPersistentComposite* collectById(const uint32_t& id, MPersistentComposite* list) const override;
  MPersistentComposite* collectByKind(const RWClassID& kind, MPersistentComposite* list) const override;
  // The protocol's selections answer plain lists; the attribute selections
  // below answer attribute composites.
  MPersistentComposite* selectById(const uint32_t& id) const override;
  MPersistentComposite* selectByClassId(const RWClassID& classId) const override;
  MPersistentComposite* selectByKind(const RWClassID& kind) const override;
  RWBoolean isComposite() const override;
  RWsize entries() const override;
  RWsize totalEntries() const override;
  GChildIterator* createIterator() override;

  // Children of the same kind and id as this composite: a copy of each is
  // inserted; any other attribute: a copy of it is inserted.
  void merge(GAttribute* other) override;
  // Each changed child, in order, accepts the visitor; the last non-zero
  // status is answered. Clears this composite's flag, not the children's.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // Set or clear the flag of every direct child, then this one's.
  virtual void markChanged();
  virtual void clearChanged();
  virtual void apply(MApplyFunction f, void* data);
  virtual MPersistentObject* detect(MDetectFunction f, void* data) const;

  // New attribute composites (owned) sharing the attributes that the
  // collections find, or null when there are none.
  GAttributeComposite* selectAttributesById(const uint32_t& id) const;
  GAttributeComposite* selectAttributesByClassId(const RWClassID& classId) const;
  GAttributeComposite* selectAttributesByKind(const RWClassID& kind) const;

  GCountedPtrVector& children() { return children_; }
  const GCountedPtrVector& children() const { return children_; }

 protected:
  // Puts the object (which gains a reference) in place of the child at a
  // valid position. Every replacement of a direct child goes through here,
  // so that a class that points at one of its children can follow it.
  virtual void replaceChild(RWsize position, MPersistentObject* object);

  // Disposes of an object handed over to the composite and not kept: it is
  // deleted unless counted holders still share it.
  static void discard(MPersistentObject* object);

  // The position of the first child (never a nil entry) the test accepts,
  // or -1.
  template <class Test>
  int32_t firstChild(Test test) const { return children_.firstIndex(test); }

 private:
  friend class GCompositeIterator;
  template <class Fits, class Below>
  int replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below);
  GAttributeComposite* selectAttributes(MPersistentComposite* list) const;

  GCountedPtrVector children_;
};

RW_DECLARE_RESTORE_OPERATORS(GAttributeComposite)

// The iterators of attribute composites.
class GAttributeIterator : public GChildIterator {
 public:
  explicit GAttributeIterator(MPersistentObject* object) : GChildIterator(object) {}
  ~GAttributeIterator() override;
};

// Walks an attribute composite's children as MPersistentCompositeIterator
// walks a composite's: nil entries are stepped over, advance starts again
// after the end, and current and replaceCurrent report a bad position.
class GCompositeIterator : public GAttributeIterator {
 public:
  explicit GCompositeIterator(GAttributeComposite* composite);
  ~GCompositeIterator() override;

  MPersistentObject* current() override;
  void replaceCurrent(MPersistentObject* object) override;
  int advance() override;
  void reset() override;

 private:
  // The composite's children, or none when there is no composite.
  const GCountedPtrVector& children() const;

  GAttributeComposite* composite_;
  int32_t position_;
};

class GNullAttributeIterator : public GAttributeIterator {
 public:
  explicit GNullAttributeIterator(MPersistentObject* object = nullptr) : GAttributeIterator(object) {}
  ~GNullAttributeIterator() override;
  MPersistentObject* current() override { return nullptr; }
  void replaceCurrent(MPersistentObject*) override {}
  int advance() override { return 0; }
  void reset() override {}
};

#endif
