#ifndef CORE_CHILDVEC_H
#define CORE_CHILDVEC_H

// The work on a vector of children that MPersistentComposite and
// GAttributeComposite do alike: the children's stored form and restore, the
// depth-first searches, removals and replacements, and the steps of their
// iterators. The two classes stay apart (an attribute composite is an
// attribute, not a composite); each hands in what it does its own way, such
// as how a found child compares or how a replaced child is put in place.
//
// Every walk here passes over nil entries.

#include <cstdint>

#include "core/pcomposit.h"

class RWFile;
class RWvistream;
class RWvostream;

// The room a composite's vector keeps when it is cleared or restored.
constexpr RWsize gClearedChildCapacity = 64;

// ---- stored form --------------------------------------------------------------------

// The stored size of the count and the children. They are counted under one
// store table, as a real store writes them: a child met twice counts as a
// reference the second time, and no child counts a file header.
RWspace gChildrenStoreSize(const GCountedPtrVector& children);

// The count (32 bits), then each child as a stored pointer: the nil record
// for a nil entry.
void gSaveChildren(const GCountedPtrVector& children, RWvostream& s);
void gSaveChildren(const GCountedPtrVector& children, RWFile& f);

// Empties the vector (room for 64), then reads the count and the children
// of the owner as gSaveChildren wrote them. The stored count is not
// trusted: reading ends at the first failure or at the end of the data.
// Each child is appended as read, so that the tree stores back as it came:
// a nil record, an object that is no persistent object, or one that refers
// back to an object still being restored around it, keeps its place as a
// nil entry.
void gRestoreChildren(GCountedPtrVector& children, const MPersistentObject* owner, RWvistream& s);
void gRestoreChildren(GCountedPtrVector& children, const MPersistentObject* owner, RWFile& f);

// ---- walks --------------------------------------------------------------------------

// Calls f with each child, in order.
template <class F>
void gEachChild(const GCountedPtrVector& children, F f) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    if (MPersistentObject* child = children.pointee(i)) f(child);
  }
}

// Depth first: each child is tested (fits), then asked to do the same below
// itself (below); the first answer ends the walk. A child that fits is
// answered, taken out of the vector, or replaced.
template <class Fits, class Below>
MPersistentObject* gFindDepthFirst(const GCountedPtrVector& children, Fits fits, Below below) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    MPersistentObject* child = children.pointee(i);
    if (!child) continue;
    if (fits(child)) return child;
    if (MPersistentObject* found = below(child)) return found;
  }
  return nullptr;
}

// The child taken out is the object itself when that was its last
// reference, else a copy (the shared child stays with its other holders).
template <class Fits, class Below>
MPersistentObject* gRemoveDepthFirst(GCountedPtrVector& children, Fits fits, Below below) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    MPersistentObject* child = children.pointee(i);
    if (!child) continue;
    if (fits(child)) return children.removeAt(i).take();
    if (MPersistentObject* found = below(child)) return found;
  }
  return nullptr;
}

// A deep copy of the replacement goes in place of the child that fits,
// through put(position, copy); 1 when a child was replaced here or below,
// else 0. A null replacement has nothing to copy: nothing is replaced.
template <class Fits, class Below, class Put>
int gReplaceDepthFirst(const GCountedPtrVector& children, const MPersistentObject* replacement, Fits fits,
                       Below below, Put put) {
  if (!replacement) return 0;
  for (RWsize i = 0; i < children.entries(); ++i) {
    MPersistentObject* child = children.pointee(i);
    if (!child) continue;
    if (fits(child)) {
      // The copy is made before the old child is released, so a
      // replacement that lives inside that child is still there to copy.
      MPersistentObject* fresh = replacement->deepCopy();
      if (fresh != child) put(i, fresh);
      return 1;
    }
    if (below(child)) return 1;
  }
  return 0;
}

// The list when it holds anything; otherwise it is deleted and null is
// answered.
MPersistentComposite* gKeepIfFilled(MPersistentComposite* list);

// Same count, and no two children at one position differ (the same object,
// or nil on both sides, never differs).
bool gSameChildren(const GCountedPtrVector& mine, const GCountedPtrVector& theirs);

// One for the composite and the total of each child's tree.
RWsize gTotalEntries(const GCountedPtrVector& children);

// f with each child's entry, in order; the count is read afresh on every
// step, since f may remove children as it goes.
void gApplyToChildren(GCountedPtrVector& children, MApplyFunction f, void* data);
// The first child for whose entry f answers nonzero, or null.
MPersistentObject* gDetectChild(GCountedPtrVector& children, MDetectFunction f, void* data);

// ---- iterators ----------------------------------------------------------------------

// What an iterator made without a composite walks: always empty.
GCountedPtrVector& gNoChildren();

// The position of the first child after the given one (-1: from the start),
// or -1 after the last.
int32_t gNextChild(const GCountedPtrVector& children, int32_t position);

// Whether the position is that of an entry; reports INDEXERR with the
// position and the count when it is not.
bool gCheckChildPosition(const GCountedPtrVector& children, int32_t position);

#endif
