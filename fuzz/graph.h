#ifndef FUZZ_GRAPH_H
#define FUZZ_GRAPH_H

// Object graphs restored from a virtual stream of one form: what the
// stream targets share.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "common.h"
#include "core/pcompdsk.h"
#include "rw/collect.h"

namespace fuzz {

// Restores the objects stored one after another in the input (at most a
// few), each on its own as a top-level restore, puts each to use and
// stores it back through makeOut(stream), then disposes of it. A restored
// on-disk store handle stays detached: the names a stream carries are not
// opened here.
template <class In, class MakeOut>
int restoreGraphs(const uint8_t* data, size_t size, MakeOut makeOut) {
  if (size > maxInput) return 0;
  MPersistentCompositeOnDisk::setRestoreDetached(true);
  std::istringstream bytes(std::string(reinterpret_cast<const char*>(data), size));
  In in(bytes);
  for (int i = 0; i < 4 && in.good(); ++i) {
    const RWCollectable::Restored r = RWCollectable::restoreObject(in, nullptr);
    if (r.object && r.fresh) {
      exerciseGraph(r.object);
      std::ostringstream back;
      {
        auto out = makeOut(back);
        *out << r.object;
      }
      gDiscardGraph(r.object);
    }
    if (r.failed) break;
  }
  return 0;
}

}  // namespace fuzz

#endif
