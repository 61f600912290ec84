// The driver with two more entries, for the test that every block of the
// driver comes from its own heap. The text is built by the standard
// library's string streams, whose buffers are allocated inside the C++
// runtime linked into the driver.

#include <sstream>
#include <string>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

// A text of the given length, kept until KrenderProbeRelease.
PROBE_EXPORT void* KrenderProbeText(unsigned length) {
  std::ostringstream out;
  for (unsigned i = 0; i < length; ++i) out << static_cast<char>('a' + i % 26);
  return new std::string(out.str());
}

PROBE_EXPORT void KrenderProbeRelease(void* text) { delete static_cast<std::string*>(text); }
