// The dump tool's work over a file as found: a stored tree or a store file,
// printed to a stream that drops what it is given.

#include <ostream>
#include <streambuf>

#include "common.h"
#include "tools/dumpfile.h"

namespace {

// Takes every character and keeps none, so that the dump's formatting runs.
class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::InputFile input(data, size, "dump.dat");
  if (!input.ok()) return 0;
  Discard discard;
  std::ostream out(&discard);
  std::ostream err(&discard);
  rwdumpFile(input.name(), out, err);
  return 0;
}
