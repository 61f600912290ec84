// An on-disk composite store opened from a file as found (its free list,
// B-tree and record index), then worked on: walked, searched by the ids
// and classes its records name, an object taken out and stored again, new
// objects stored and replaced, and closed, which writes the index back.
// Nested stores a record names are opened in the scratch folder.

#include <memory>
#include <utility>
#include <vector>

#include "common.h"
#include "core/dskstore.h"
#include "core/pcompdsk.h"
#include "core/recindex.h"
#include "core/valattr.h"
#include "rw/wstring.h"

namespace {

void work(MPersistentCompositeOnDisk& store) {
  (void)store.error();
  (void)store.entries();
  (void)store.totalEntries();
  // The ids and classes of the first few top-level records.
  std::vector<std::pair<uint32_t, RWClassID>> named;
  if (MPersistentCompositeOnDiskImp* imp = store.store()) {
    GRecordIterator records(const_cast<GRecordComposite&>(imp->records()).list());
    for (int i = 0; i < 8 && records.advance(); ++i) {
      GRecordRef r = records.current();
      if (!r.isNil()) named.emplace_back(r->id(), r->classId());
    }
  }
  {
    GAttachedIterator it(store);
    for (int i = 0; i < 8 && it.advance(); ++i) {
      GCountedRef copy = it.currentObject();
      if (!copy.isNil()) fuzz::exerciseGraph(copy.get());
    }
  }
  for (const auto& [id, classId] : named) {
    (void)store.findCountedById(id);
    (void)store.findCountedByClassId(classId);
  }
  if (!named.empty()) {
    GCountedRef taken = store.takeById(named.front().first);
    if (!taken.isNil()) store.storeChild(taken);
  }
  store.storeChild(GCountedRef(new GValueAttribute(5, 0xF00D)));
  auto replacement = std::make_unique<GValueAttribute>(6, 0xF00D);
  store.replaceById(0xF00D, replacement.get());
  (void)store.takeByClassId(GValueAttribute::classIsA());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::InputFile input(data, size, "store.dat");
  if (!input.ok()) return 0;
  MPersistentCompositeOnDisk::setRestoreDetached(false);
  MPersistentCompositeOnDisk store(RWWString(input.name()), 0, 1);
  work(store);
  return 0;
}
