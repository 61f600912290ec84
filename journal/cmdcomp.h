#ifndef JOURNAL_CMDCOMP_H
#define JOURNAL_CMDCOMP_H

// Composite commands: a command that holds an ordered list of commands, so
// that a whole document, a page or a group of graphics travels through the
// stages as one object, can be kept by a filter, and can be stored.
//
//   GCommandComposite   any commands
//   GDocumentComposite  the commands of a document: anything but a
//                       document start, a document end or the end of a
//                       duplex job's first half
//   GPageComposite      the commands of one page: no document command, no
//                       page start or page end
//   GGraphicComposite   graphics only (the base of the path)
//
// Each is its command family's command followed by one member, an
// MPersistentComposite holding counted references to the children, to
// which every child operation is passed: inserts and prepends after the
// class's check, removals, finds, collections, counts, and clear. A stage
// walks a composite child by child (its iterator steps over the member's
// children); the composite's own accept calls no handler and answers 0.
//
// Children: insert takes charge of what it is given. What the class
// refuses is deleted unless a counted holder still shares it (then it is
// left to its holders); the composite itself, or a composite that holds
// it, is ignored, since holding it would make the tree a cycle.
//
// Copies share the children (each gains a reference) and the attribute;
// deepCopy gives the copy deep copies of the children.
//
// Stored form of each composite's level, after its base's: version (1),
// then the member list as a stored object (an MPersistentComposite with its
// class tag and its children). A restore drops the children the class
// refuses; from the first dropped one on, nothing read so far may be named
// by a later reference in the store, since what a dropped child owned may
// go with it. A reference back to an object still being restored around
// the composite restores as nil.

#include <cstdint>

#include "core/pcomposit.h"
#include "journal/ctlcmds.h"
#include "journal/graphic.h"

// What every composite command answers about its children, whatever its
// command family.
class GCommandChildren {
 public:
  GCommandChildren() = default;
  GCommandChildren(const GCommandChildren&) = default;
  GCommandChildren& operator=(const GCommandChildren&) = default;
  virtual ~GCommandChildren();

  // Whether the class takes the object as a child: the class check alone.
  virtual bool admits(const MPersistentObject* object) const = 0;
  // The member list itself.
  virtual MPersistentComposite& members() = 0;
  virtual const MPersistentComposite& members() const = 0;

  // The command at a position of the member list, or null (none there, or
  // not a command).
  GCommand* child(RWsize position) const;
  // Whether the object is among the children, at any depth of composite
  // commands.
  bool holds(const MPersistentObject* object) const;

 protected:
  // The level every composite stores after its base's: the version word,
  // then the member list as a stored object. The restore reads the list in
  // place, refusing references back to the composite (self), and then
  // drops the children the class refuses (see the header).
  RWspace membersStoreSize() const;
  void saveMembers(RWvostream& s, uint32_t version) const;
  void saveMembers(RWFile& f, uint32_t version) const;
  void restoreMembers(RWvistream& s, uint32_t version, const MPersistentObject* self);
  void restoreMembers(RWFile& f, uint32_t version, const MPersistentObject* self);

 private:
  template <class Sink>
  void writeList(Sink& sink, uint32_t version) const;
  template <class Source>
  void readList(Source& source, uint32_t version, const MPersistentObject* self);
  void dropRefused();
};

// The iterator over a composite command's children: the member list's own,
// wrapped as a command iterator. It must not outlive the composite.
class GCommandListIterator : public GCommandIterator {
 public:
  GCommandListIterator(MPersistentObject* owner, MPersistentComposite& members);
  ~GCommandListIterator() override;
  MPersistentObject* current() override { return inner_.current(); }
  void replaceCurrent(MPersistentObject* object) override { inner_.replaceCurrent(object); }
  int advance() override { return inner_.advance(); }
  void reset() override { inner_.reset(); }

 private:
  MPersistentCompositeIterator inner_;
};

// The child operations of a composite command over the family's command
// Base. The concrete classes add the class check (admits), their identity
// and their stored level.
template <class Base>
class GCommandList : public Base, public GCommandChildren {
 public:
  using Base::Base;
  // The base copied, the children shared.
  GCommandList(const GCommandList& other) : Base(other), GCommandChildren(other), members_(other.members_) {}
  GCommandList& operator=(const GCommandList& other) {
    if (this == &other) return *this;
    Base::operator=(other);
    members_ = other.members_;
    return *this;
  }
  ~GCommandList() override = default;

  MPersistentComposite& members() override { return members_; }
  const MPersistentComposite& members() const override { return members_; }

  // The same object, or the same class, the family's test and children
  // that match in order.
  RWBoolean matches(const MPersistentObject* other) const override {
    if (other == this) return TRUE;
    if (!other || other->isA() != this->isA() || !Base::matches(other)) return FALSE;
    const auto* o = dynamic_cast<const GCommandChildren*>(other);
    return o && members_.matches(&o->members());
  }

  void insert(MPersistentObject* object) override {
    if (take(object)) members_.insert(object);
  }
  void prepend(MPersistentObject* object) override {
    if (take(object)) members_.prepend(object);
  }
  MPersistentObject* remove(const MPersistentObject* member) override { return members_.remove(member); }
  MPersistentObject* removeById(const uint32_t& id) override { return members_.removeById(id); }
  MPersistentObject* removeByClassId(const RWClassID& classId) override { return members_.removeByClassId(classId); }
  int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) override {
    return members_.replaceDeepById(id, replacement);
  }
  int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) override {
    return members_.replaceDeepByClassId(classId, replacement);
  }
  int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) override {
    return members_.replaceDeep(member, replacement);
  }
  int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) override {
    return members_.replaceDeepByKind(kind, replacement);
  }
  void clear() override { members_.clear(); }

  MPersistentObject* findById(const uint32_t& id) const override { return members_.findById(id); }
  MPersistentObject* findByClassId(const RWClassID& classId) const override { return members_.findByClassId(classId); }
  MPersistentObject* find(const MPersistentObject* object) const override { return members_.find(object); }
  MPersistentObject* findByKind(const RWClassID& kind) const override { return members_.findByKind(kind); }
  MPersistentComposite* collectByClassId(const RWClassID& classId, MPersistentComposite* list) const override {
    return members_.collectByClassId(classId, list);
  }
  MPersistentComposite* collectById(const uint32_t& id, MPersistentComposite* list) const override {
    return members_.collectById(id, list);
  }
  MPersistentComposite* selectById(const uint32_t& id) const override { return members_.selectById(id); }
  MPersistentComposite* selectByClassId(const RWClassID& classId) const override {
    return members_.selectByClassId(classId);
  }
  MPersistentComposite* collectByKind(const RWClassID& kind, MPersistentComposite* list) const override {
    return members_.collectByKind(kind, list);
  }
  MPersistentComposite* selectByKind(const RWClassID& kind) const override { return members_.selectByKind(kind); }

  RWBoolean isComposite() const override { return TRUE; }
  RWsize entries() const override { return members_.entries(); }
  // One for the composite and the total of each child's tree.
  RWsize totalEntries() const override { return members_.totalEntries(); }
  // A new iterator over the children (owned by the caller).
  GChildIterator* createIterator() override { return new GCommandListIterator(this, members_); }
  // A copy of the composite (its attribute shared) holding deep copies of
  // the children.
  MPersistentObject* deepCopy() const override {
    auto* result = static_cast<GCommandList*>(this->copy());
    result->members_.clear();
    for (RWsize i = 0; i < members_.entries(); ++i) {
      if (const MPersistentObject* c = members_.children().pointee(i)) result->members_.insert(c->deepCopy());
    }
    return result;
  }

  // Every child copies what it borrows, in order.
  void takeOwnership() override {
    for (RWsize i = 0; i < members_.entries(); ++i) {
      if (GCommand* c = child(i)) c->takeOwnership();
    }
  }
  // Calls nothing: a stage walks the children instead.
  [[nodiscard]] GStatus accept(GPeripheralHandlers&) override { return 0; }

 private:
  // Whether the object may go into the member list. Null, the composite
  // itself and a composite that holds it are ignored; anything else the
  // class refuses is disposed of.
  bool take(MPersistentObject* object) {
    if (!object || object == this) return false;
    const auto* children = dynamic_cast<const GCommandChildren*>(object);
    if (children && children->holds(this)) return false;
    if (admits(object)) return true;
    GCommand::refuse(object);
    return false;
  }

  MPersistentComposite members_;
};

class GCommandComposite : public GCommandList<GCommand> {
  G_PERSISTENT_CLASS(GCommandComposite)

 public:
  explicit GCommandComposite(const uint32_t& id = 0);
  // Any attribute, held as it is.
  GCommandComposite(MPersistentObject* attribute, const uint32_t& id);
  GCommandComposite(const GCommandComposite& other);
  GCommandComposite& operator=(const GCommandComposite& other);
  ~GCommandComposite() override;

  static RWClassID classIsA() { return ClassId::GCommandComposite; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Any command.
  bool admits(const MPersistentObject* object) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GCommandComposite)

class GDocumentComposite : public GCommandList<GDocumentCommand> {
  G_PERSISTENT_CLASS(GDocumentComposite)

 public:
  // With an empty state stamped 246.
  explicit GDocumentComposite(const uint32_t& id = 0);
  // The state stamped 246 without a class check; null makes one.
  GDocumentComposite(MPersistentObject* state, const uint32_t& id);
  GDocumentComposite(const GDocumentComposite& other);
  GDocumentComposite& operator=(const GDocumentComposite& other);
  ~GDocumentComposite() override;

  static RWClassID classIsA() { return ClassId::GDocumentComposite; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Any command but a document start, a document end and the end of a
  // duplex job's first half.
  bool admits(const MPersistentObject* object) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GDocumentComposite)

class GPageComposite : public GCommandList<GPageCommand> {
  G_PERSISTENT_CLASS(GPageComposite)

 public:
  // With an empty state stamped 256.
  explicit GPageComposite(const uint32_t& id = 0);
  // The state stamped 256 without a class check; null makes one.
  GPageComposite(MPersistentObject* state, const uint32_t& id);
  GPageComposite(const GPageComposite& other);
  GPageComposite& operator=(const GPageComposite& other);
  ~GPageComposite() override;

  static RWClassID classIsA() { return ClassId::GPageComposite; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Any command that is no document command, no page start and no page
  // end.
  bool admits(const MPersistentObject* object) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GPageComposite)

class GGraphicComposite : public GCommandList<GGraphic> {
  G_PERSISTENT_CLASS(GGraphicComposite)

 public:
  // Without a bundle.
  explicit GGraphicComposite(const uint32_t& id = 0);
  // The bundle (null: none) held and stamped 244.
  GGraphicComposite(GGraphicBundle* bundle, const uint32_t& id);
  GGraphicComposite(const GGraphicComposite& other);
  GGraphicComposite& operator=(const GGraphicComposite& other);
  ~GGraphicComposite() override;

  static RWClassID classIsA() { return ClassId::GGraphicComposite; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Graphics only.
  bool admits(const MPersistentObject* object) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GGraphicComposite)

#endif
