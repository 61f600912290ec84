// A test add-on for the kernel build's loader. Each entry says through the
// engine's debug output that it was called, so a test can follow the
// enable and disable protocol.
//
// Built three ways: plain; ADDON_ENABLE_ZERO, whose "EnableAddon" answers
// null; ADDON_NO_ENABLE, which has no "EnableAddon" at all.

#include <cstdarg>
#include <cstdint>

#include "host/engine/ddi.h"

namespace {

int addonState = 0;

void say(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  EngDebugPrint(const_cast<PCHAR>(""), const_cast<PCHAR>(format), ap);
  va_end(ap);
}

}  // namespace

extern "C" {

#ifndef ADDON_NO_ENABLE
__attribute__((visibility("default"))) void* EnableAddon(void* arg) {
  say("EnableAddon %s", arg ? "arg" : "null");
#ifdef ADDON_ENABLE_ZERO
  return nullptr;
#else
  return &addonState;
#endif
}
#endif

// Says whether it was handed what "EnableAddon" answered.
__attribute__((visibility("default"))) void* DisableAddon(void* handle) {
  say("DisableAddon %s", handle == &addonState ? "handle" : "other");
  return nullptr;
}

// (int a, int b): their sum.
__attribute__((visibility("default"))) void* addonSum(void* args) {
  va_list& ap = *static_cast<va_list*>(args);
  int a = va_arg(ap, int);
  int b = va_arg(ap, int);
  return reinterpret_cast<void*>(static_cast<intptr_t>(a + b));
}

}
