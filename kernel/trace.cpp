// The trace sink of the heap, the exit processing and the file layer. The
// driver ships with it silent; a test listens through the hook.

#include <atomic>
#include <cstdio>

#include "kernel/runtime.h"

namespace {

constinit std::atomic<KernelTraceHook> traceHook{nullptr};

}  // namespace

void kernelTrace(const char* format, ...) {
  KernelTraceHook hook = traceHook.load(std::memory_order_acquire);
  if (!hook || !format) return;
  // Long enough for every line the runtime traces; a longer one is cut.
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  hook(text);
}

KernelTraceHook kernelSetTraceHook(KernelTraceHook hook) {
  return traceHook.exchange(hook, std::memory_order_acq_rel);
}
