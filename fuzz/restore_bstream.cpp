// Object graphs restored from a virtual stream in the native binary form.

#include <memory>

#include "graph.h"
#include "rw/bstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::restoreGraphs<RWbistream>(data, size, [](std::ostream& os) { return std::make_unique<RWbostream>(os); });
}
