// A free-list file opened as found, then worked on: blocks taken, written,
// given back and taken again, and the file opened a second time to read
// the free list this left.

#include <cstdint>
#include <cstring>

#include "common.h"
#include "rw/filemgr.h"

namespace {

void work(RWFileManager& file) {
  static const RWspace sizes[] = {1, 4, 24, 100, 268, 1000, 4096, 3};
  constexpr int n = sizeof sizes / sizeof sizes[0];
  static const char fill[4096] = {'q', 'x'};
  RWoffset blocks[n];
  for (int i = 0; i < n; ++i) {
    blocks[i] = file.allocate(sizes[i]);
    if (blocks[i] >= 0 && file.SeekTo(blocks[i])) file.Write(fill, sizes[i]);
  }
  for (int i = 1; i < n; i += 2) file.deallocate(blocks[i]);
  // The start block and a never-allocated offset are refused, not freed.
  file.deallocate(file.start());
  if (file.endData() <= INT32_MAX - 8) file.deallocate(file.endData() + 8);
  const RWoffset again[] = {file.allocate(8), file.allocate(200), file.allocate(5000)};
  for (RWoffset o : again) file.deallocate(o);
  for (int i = 0; i < n; i += 2) file.deallocate(blocks[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::InputFile input(data, size, "heap.dat");
  if (!input.ok()) return 0;
  {
    RWFileManager file(input.name());
    if (!file.isValid()) return 0;
    work(file);
  }
  RWFileManager reopened(input.name());
  if (reopened.isValid() && reopened.hasFreeList()) reopened.deallocate(reopened.allocate(16));
  return 0;
}
