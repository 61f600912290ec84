// Temporary: the runtime's trace sink, for the file layer's own test program.
#include <cstdio>

#include "kernel/runtime.h"

namespace {
KernelTraceHook traceHook = nullptr;
}

void kernelTrace(const char* format, ...) {
  if (!traceHook) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  traceHook(text);
}

KernelTraceHook kernelSetTraceHook(KernelTraceHook hook) {
  KernelTraceHook old = traceHook;
  traceHook = hook;
  return old;
}
