// Narrow strings restored from each stored form. The first byte picks the
// form (portable, binary, endian, binary file); the rest holds a few
// strings one after another.

#include <sstream>
#include <string>

#include "common.h"
#include "rw/bstream.h"
#include "rw/cstring.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwfile.h"

namespace {

template <class Source, class Sink>
void restoreStrings(Source& in, Sink& out) {
  for (int i = 0; i < 4; ++i) {
    RWCString s;
    const RWBoolean whole = s.restoreFrom(in);
    (void)s.hash();
    s.saveOn(out);
    if (!whole) break;
  }
}

template <class In, class Out>
void fromStream(const std::string& bytes) {
  std::istringstream is(bytes);
  std::ostringstream os;
  In in(is);
  Out out(os);
  restoreStrings(in, out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > fuzz::maxInput) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: fromStream<RWpistream, RWpostream>(bytes); break;
    case 1: fromStream<RWbistream, RWbostream>(bytes); break;
    case 2: fromStream<RWeistream, RWeostream>(bytes); break;
    case 3: {
      fuzz::InputFile input(data + 1, size - 1, "strings.dat");
      if (!input.ok()) break;
      RWFile in(input.name(), "rb");
      RWFile out("back.dat", "wb");
      restoreStrings(in, out);
      break;
    }
  }
  return 0;
}
