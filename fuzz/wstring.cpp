// Wide strings restored from each stored form, and read by the iostream
// readers. The first byte picks the form (portable, binary, endian, binary
// file, iostream); the rest holds a few strings one after another.

#include <sstream>
#include <string>

#include "common.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwfile.h"
#include "rw/wstring.h"

namespace {

template <class Source, class Sink>
void restoreStrings(Source& in, Sink& out) {
  for (int i = 0; i < 4; ++i) {
    RWWString s;
    s.restoreFrom(in);
    (void)s.hash();
    s.saveOn(out);
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

// Every reader in turn over the same bytes, each going on from where the
// one before stopped.
void fromIostream(const std::string& bytes) {
  std::istringstream is(bytes);
  RWWString s;
  s.readToken(is);
  s.readLine(is);
  s.readLine(is, FALSE);
  s.readToDelim(is, u';');
  s.readString(is);
  is >> s;
  s.readFile(is);
  (void)s.hash();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > fuzz::maxInput) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 5) {
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
    case 4: fromIostream(bytes); break;
  }
  return 0;
}
