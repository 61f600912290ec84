// Object graphs restored from a virtual stream in the endian form, header first.

#include <memory>

#include "graph.h"
#include "rw/estream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::restoreGraphs<RWeistream>(
      data, size, [](std::ostream& os) { return std::make_unique<RWeostream>(os, RWeostream::LittleEndian); });
}
