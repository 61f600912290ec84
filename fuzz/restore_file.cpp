// Object graphs restored from a binary file (a configuration file: each
// tree behind its magic word), several one after another as rwdump reads
// them.

#include "common.h"
#include "core/pcompdsk.h"
#include "rw/collect.h"
#include "rw/rwfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  // The names stored handles carry are not opened here.
  MPersistentCompositeOnDisk::setRestoreDetached(true);
  fuzz::InputFile input(data, size, "tree.dat");
  if (!input.ok()) return 0;
  RWFile file(input.name(), "rb");
  for (int i = 0; i < 4; ++i) {
    const RWoffset at = file.CurOffset();
    int32_t word = 0;
    if (!file.Read(word) || !file.SeekTo(at)) break;
    const RWCollectable::Restored r = RWCollectable::restoreObject(file, nullptr);
    if (r.object && r.fresh) {
      fuzz::exerciseGraph(r.object);
      {
        RWFile back("back.dat", "wb");
        back << r.object;
      }
      gDiscardGraph(r.object);
    }
    if (r.failed || file.Error()) break;
  }
  return 0;
}
