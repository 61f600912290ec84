#include "core/childvec.h"

#include <vector>

#include "core/fieldio.h"
#include "rw/rwerr.h"
#include "rw/rwstore.h"

namespace {

const RWCollectable* storedForm(const MPersistentObject* p) {
  return p ? static_cast<const RWCollectable*>(p) : rwNilCollectable();
}

// The capacity the children's array has after n appends to a cleared one:
// it grows by the array's step of 64 each time it is full.
RWsize capacityAfter(RWsize n) {
  constexpr RWsize step = 64;
  if (n <= gClearedChildCapacity) return gClearedChildCapacity;
  return gClearedChildCapacity + (n - gClearedChildCapacity + step - 1) / step * step;
}

template <class Source>
void restoreChildren(GCountedPtrVector& children, const MPersistentObject* owner, Source& source) {
  children.clear(gClearedChildCapacity);
  uint32_t count = 0;
  if (!gRead(source, gInt(count))) return;
  MRestoreScope scope(owner);
  // The children are gathered first and the array sized once: appended one
  // by one, a damaged count over many small entries would cost a copy of
  // the array every 64 of them.
  std::vector<GCountedPtr> read;
  for (uint32_t i = 0; i < count && gReadable(source); ++i) {
    MPersistentObject* child = nullptr;
    if (!restoreSharedMember(source, child)) break;
    read.emplace_back(child);
  }
  children.clear(capacityAfter(read.size()));
  for (const GCountedPtr& child : read) children.append(child);
}

template <class Sink>
void saveChildren(const GCountedPtrVector& children, Sink& sink) {
  const uint32_t count = static_cast<uint32_t>(children.entries());
  gWrite(sink, gInt(count));
  for (RWsize i = 0; i < children.entries(); ++i) sink << storedForm(children.pointee(i));
}

}  // namespace

RWspace gChildrenStoreSize(const GCountedPtrVector& children) {
  RWUseStoreTable table;
  RWspace size = 4;
  for (RWsize i = 0; i < children.entries(); ++i) size += storedForm(children.pointee(i))->recursiveStoreSize();
  return size;
}

void gSaveChildren(const GCountedPtrVector& children, RWvostream& s) { saveChildren(children, s); }
void gSaveChildren(const GCountedPtrVector& children, RWFile& f) { saveChildren(children, f); }

void gRestoreChildren(GCountedPtrVector& children, const MPersistentObject* owner, RWvistream& s) {
  restoreChildren(children, owner, s);
}

void gRestoreChildren(GCountedPtrVector& children, const MPersistentObject* owner, RWFile& f) {
  restoreChildren(children, owner, f);
}

MPersistentComposite* gKeepIfFilled(MPersistentComposite* list) {
  if (list->entries() != 0) return list;
  delete list;
  return nullptr;
}

bool gSameChildren(const GCountedPtrVector& mine, const GCountedPtrVector& theirs) {
  if (mine.entries() != theirs.entries()) return false;
  for (RWsize i = 0; i < mine.entries(); ++i) {
    const MPersistentObject* a = mine.pointee(i);
    const MPersistentObject* b = theirs.pointee(i);
    if (a == b) continue;
    if (!a || !b || a->differs(b)) return false;
  }
  return true;
}

RWsize gTotalEntries(const GCountedPtrVector& children) {
  RWsize total = 1;
  gEachChild(children, [&](const MPersistentObject* child) { total += child->totalEntries(); });
  return total;
}

void gApplyToChildren(GCountedPtrVector& children, MApplyFunction f, void* data) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    if (children.pointee(i)) f(children.at(i), data);
  }
}

MPersistentObject* gDetectChild(GCountedPtrVector& children, MDetectFunction f, void* data) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    if (children.pointee(i) && f(children.at(i), data)) return children.pointee(i);
  }
  return nullptr;
}

GCountedPtrVector& gNoChildren() {
  static GCountedPtrVector empty(0);
  return empty;
}

int32_t gNextChild(const GCountedPtrVector& children, int32_t position) {
  const RWsize n = children.entries();
  RWsize p = static_cast<RWsize>(position + 1);
  while (p < n && !children.pointee(p)) ++p;
  return p < n ? static_cast<int32_t>(p) : -1;
}

bool gCheckChildPosition(const GCountedPtrVector& children, int32_t position) {
  const RWsize n = children.entries();
  if (position >= 0 && static_cast<RWsize>(position) < n) return true;
  rwReport<RWBoundsErr>(RWTOOL_INDEXERR(), {static_cast<uint32_t>(position), n});
  return false;
}
