#ifndef CORE_PCOMPOSIT_H
#define CORE_PCOMPOSIT_H

// The general tree node of the object model, its child vector and its
// iterator.
//
// A composite keeps its children in order, each shared through a counted
// pointer: inserting an object gives the composite one reference to it, and
// a child goes when its last reference is released. Searches, removals and
// deep replacements run depth first over the children and never test the
// composite they are called on.
//
// A stored tree may hold nil entries (a nil record among the children); they
// are kept, so that the tree stores back as it was read, and every walk of
// the children passes over them.
//
// Stored form of this level, after the root's: version (1), the count of
// children, then each child as a stored pointer (the nil record for a nil
// entry).

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"

// The ordered vector of counted pointers behind a composite. Entries at and
// after the count are nil. Entries compare by pointee address, never by
// content. Positions are bounds-checked: a bad one reports INDEXERR and the
// operation changes nothing.
class GCountedPtrVector {
 public:
  explicit GCountedPtrVector(RWsize capacity = 10);
  // Shares the other's entries, with the other's capacity.
  GCountedPtrVector(const GCountedPtrVector& other);
  GCountedPtrVector& operator=(const GCountedPtrVector& other);
  virtual ~GCountedPtrVector();

  // Position of the first entry pointing at the object, or -1.
  virtual int32_t index(const MPersistentObject* object) const;
  virtual void append(const GCountedPtr& entry);
  virtual RWsize occurrencesOf(const MPersistentObject* object) const;
  // Removes the first entry pointing at the object: 1, or 0 when none does.
  virtual int remove(const MPersistentObject* object);
  // Removes every such entry, keeping the order of the rest; answers how
  // many went.
  virtual RWsize removeAll(const MPersistentObject* object);

  // A new array of n entries holding the first min(capacity, n) of these.
  void reshape(RWsize n);
  // At most at the count; later entries move up by one.
  void insertAt(RWsize position, const GCountedPtr& entry);
  // Answers the removed pointer (nil for a bad position); later entries
  // move down by one.
  GCountedPtr removeAt(RWsize position);
  // Releases every entry; count 0, capacity as given.
  void clear(RWsize capacity);

  // The entry at a position, or null (reported) outside 0 to count-1.
  GCountedPtr* at(RWsize position);
  const GCountedPtr* at(RWsize position) const;
  // The pointee at a position without a report; null outside or for nil.
  MPersistentObject* pointee(RWsize position) const {
    return position < count_ ? entries_[position].get() : nullptr;
  }

  // The position of the first entry that is not nil and whose pointee the
  // test accepts, or -1.
  template <class Test>
  int32_t firstIndex(Test test) const {
    for (RWsize i = 0; i < count_; ++i) {
      MPersistentObject* p = entries_[i].get();
      if (p && test(p)) return static_cast<int32_t>(i);
    }
    return -1;
  }

  RWsize entries() const { return count_; }
  RWsize capacity() const { return capacity_; }

 private:
  void makeRoomForOne();

  RWsize capacity_;
  GCountedPtr* entries_;
  RWsize count_;
};

// What apply and detect call with each child's entry and the caller's value.
typedef void (*MApplyFunction)(GCountedPtr* entry, void* data);
typedef int (*MDetectFunction)(GCountedPtr* entry, void* data);

class MPersistentComposite : public MPersistentObject {
  G_PERSISTENT_CLASS(MPersistentComposite)

 public:
  MPersistentComposite();
  explicit MPersistentComposite(const uint32_t& id);
  // Same id and serial number; the children are shared, not copied.
  MPersistentComposite(const MPersistentComposite& other);
  // Nothing when the two already match; otherwise id, serial number and
  // the shared children of the other.
  MPersistentComposite& operator=(const MPersistentComposite& other);
  ~MPersistentComposite() override;

  static RWClassID classIsA() { return ClassId::MPersistentComposite; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id and count, and no two children at one position differ.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Null is ignored; otherwise the object is shared (no duplicate check).
  void insert(MPersistentObject* object) override;
  void prepend(MPersistentObject* object) override;
  // Each takes the first member found, depth first, out of the composite
  // that holds it: the member itself when that was its last reference,
  // else a copy (the shared member stays with its other holders).
  MPersistentObject* remove(const MPersistentObject* member) override;
  MPersistentObject* removeById(const uint32_t& id) override;
  MPersistentObject* removeByClassId(const RWClassID& classId) override;
  int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) override;
  int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) override;
  int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) override;
  int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) override;
  // Releases every child; the vector keeps room for 64.
  void clear() override;
  MPersistentObject* findById(const uint32_t& id) const override;
  MPersistentObject* findByClassId(const RWClassID& classId) const override;
  MPersistentObject* find(const MPersistentObject* object) const override;
  MPersistentObject* findByKind(const RWClassID& kind) const override;
  // Each child collects into the list; the composite itself is not tested.
  MPersistentComposite* collectByClassId(const RWClassID& classId, MPersistentComposite* list) const override;
  MPersistentComposite* collectById(const uint32_t& id, MPersistentComposite* list) const override;
  MPersistentComposite* selectById(const uint32_t& id) const override;
  MPersistentComposite* selectByClassId(const RWClassID& classId) const override;
  MPersistentComposite* collectByKind(const RWClassID& kind, MPersistentComposite* list) const override;
  MPersistentComposite* selectByKind(const RWClassID& kind) const override;
  RWBoolean isComposite() const override;
  RWsize entries() const override;
  RWsize totalEntries() const override;
  GChildIterator* createIterator() override;

  // Calls f with each child's entry, in order.
  void apply(MApplyFunction f, void* data);
  // The first child for whose entry f answers nonzero, or null.
  MPersistentObject* detect(MDetectFunction f, void* data) const;

  GCountedPtrVector& children() { return children_; }
  const GCountedPtrVector& children() const { return children_; }

 protected:
  // The position of the first child (never a nil entry) the test accepts,
  // or -1.
  template <class Test>
  int32_t firstChild(Test test) const { return children_.firstIndex(test); }

 private:
  template <class Fits, class Below>
  int replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below);

  GCountedPtrVector children_;
};

RW_DECLARE_RESTORE_OPERATORS(MPersistentComposite)

// Walks a composite's children; a nil entry is stepped over. The iterator
// holds a plain pointer to its composite and must not outlive it.
class MPersistentCompositeIterator : public GChildIterator {
 public:
  explicit MPersistentCompositeIterator(MPersistentComposite* composite);
  ~MPersistentCompositeIterator() override;

  // The child at the position; reported and null when there is none.
  MPersistentObject* current() override;
  // The current entry is released and the object put at its position
  // (appended when the composite was left empty); reported and nothing done
  // when there is no current child.
  void replaceCurrent(MPersistentObject* object) override;
  int advance() override;
  void reset() override;

 private:
  GCountedPtrVector* vector_;
  int32_t position_;
};

#endif
