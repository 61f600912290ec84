// printrun: plays a document through a printer driver as the graphics
// engine would, and writes the job the driver spooled. See tools/run/run.h
// for the options and the exit statuses, and printrun --help for the
// document format.

#include <iostream>
#include <string>
#include <vector>

#include "tools/run/run.h"

#if defined(__SANITIZE_ADDRESS__)
#define PRINTRUN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PRINTRUN_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef PRINTRUN_ADDRESS_SANITIZER
// The kernel driver carries its own C++ runtime, whose emergency exception
// pool is taken from the C library when the image is loaded and never given
// back; once the image is unloaded the leak checker would report it at
// every run. The driver's own blocks come from the engine's pool, which the
// run counts itself. An ASAN_OPTIONS of the caller's still decides.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return runPrintrun(args, std::cout, std::cerr);
}
