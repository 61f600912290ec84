// The runtime's new-handler, for a test program that has no runtime: weak,
// so that the runtime's own definitions win wherever they are linked.

#include "kernel/runtime.h"

namespace {

KernelNewHandler installed = nullptr;

}  // namespace

__attribute__((weak)) KernelNewHandler _set_new_handler(KernelNewHandler handler) {
  KernelNewHandler previous = installed;
  installed = handler;
  return previous;
}

__attribute__((weak)) bool kernelNewHandlerInstalled() { return installed != nullptr; }
