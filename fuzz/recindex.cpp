// A store's record index restored from a binary file as the store reads
// it, then walked, copied, searched against an empty store in the scratch
// folder and stored back.

#include "common.h"
#include "core/dskstore.h"
#include "core/pcompdsk.h"
#include "core/recindex.h"
#include "rw/cstring.h"
#include "rw/rwfile.h"

namespace {

void work(GRecordComposite& index) {
  (void)index.leafCount();
  (void)index.childCount();
  uint32_t someId = 0;
  RWClassID someClass = 0;
  GRecordIterator it(index.list());
  for (int i = 0; i < 64 && it.advance(); ++i) {
    GRecordRef r = it.current();
    if (r.isNil()) continue;
    char key[GRecord::keyLength + 1];
    r->key(key);
    (void)r->leafCount();
    (void)r->children();
    someId = r->id();
    someClass = r->classId();
  }
  for (int i = 0; i < 4 && it.retreat(); ++i) (void)it.current();
  GRecordComposite copy(index);
  (void)copy.leafCount();

  MPersistentCompositeOnDiskImp store(RWCString("records.dat"), 1);
  (void)index.readById(someId, store);
  (void)index.readByClass(someClass, store);
  (void)index.takeById(someId, store);

  RWFile back("back.dat", "wb");
  back << static_cast<const RWCollectable*>(&index);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::InputFile input(data, size, "index.dat");
  if (!input.ok()) return 0;
  MPersistentCompositeOnDisk::setRestoreDetached(false);
  GRecordComposite* restored = nullptr;
  {
    RWFile file(input.name(), "rb");
    restored = rwRestoreAs<GRecordComposite>(file);
  }
  if (!restored) return 0;
  GRecordRef index(restored);  // the record nothing counted yet is the reference's
  work(*restored);
  return 0;
}
