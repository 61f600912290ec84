// Object graphs restored from a virtual stream in the portable text form.

#include <memory>

#include "graph.h"
#include "rw/pstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::restoreGraphs<RWpistream>(data, size, [](std::ostream& os) { return std::make_unique<RWpostream>(os); });
}
