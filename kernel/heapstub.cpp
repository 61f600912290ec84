// Stand-in for the debugging heap until it is built: blocks straight from
// the C library, nothing counted or listed.

#include <cstdlib>

#include "kernel/runtime.h"

void* kernelHeapAlloc(size_t size) { return kernelHeapAllocFor(size, __builtin_return_address(0)); }
void* kernelHeapAllocFor(size_t size, const void*) { return std::aligned_alloc(16, (size + 16) & ~size_t(15)); }
void kernelHeapFree(void* block) { std::free(block); }
void MallocDebugReport() {}
void kernelHeapStartup() {}
void kernelHeapShutdown() {}
void kernelTrace(const char*, ...) {}
KernelTraceHook kernelSetTraceHook(KernelTraceHook) { return nullptr; }
