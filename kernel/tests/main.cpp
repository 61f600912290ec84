// The kernel tests' program: the driver's runtime is started before the
// tests and shut down after them, as enabling and disabling the driver do,
// and the heap's final report must show no damaged block. The engine has
// one root for the whole run, under which the tests' temporary folders are
// made, so that the driver opens them by their NT names.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "kernel/runtime.h"
#include "testkit/tmpdir.h"

namespace {

uint32_t watchdogErrors = 0;

void readReport(const char* line) {
  unsigned long count = 0;
  if (std::sscanf(line, "\tWatchdog errors - front: %lu", &count) == 1 ||
      std::sscanf(line, "\tWatchdog errors - rear: %lu", &count) == 1)
    watchdogErrors += static_cast<uint32_t>(count);
}

}  // namespace

int main(int argc, char** argv) {
  if (startEngineRoot().empty()) {
    std::fprintf(stderr, "kernel_tests: no folder for the engine's root\n");
    return 1;
  }
  kernelRuntimeStartup();
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  KernelTraceHook previous = kernelSetTraceHook(readReport);
  kernelRuntimeShutdown();
  kernelSetTraceHook(previous);
  stopEngineRoot();
  if (watchdogErrors) {
    std::fprintf(stderr, "kernel_tests: the heap found %" PRIu32 " damaged watchdog(s)\n", watchdogErrors);
    return 1;
  }
  return result;
}
