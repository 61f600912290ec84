#ifndef KERNEL_RUNTIME_H
#define KERNEL_RUNTIME_H

// The kernel driver's runtime: what the user-mode build takes from the C
// runtime. Start-up runs the driver's initialiser table, shut-down its exit
// table; a debugging heap on the engine's pool stands behind operator new
// and delete and behind every C-level allocation of the driver; one
// new-handler; and a trace sink that writes nothing unless a test listens.
//
// DrvEnableDriver calls kernelRuntimeStartup before anything else, and
// DrvDisableDriver calls kernelRuntimeShutdown as its last step.
//
// The allocation rule of the kernel build: every form of operator new,
// plain `new` included, answers null when no block can be had (after the
// new-handler gave up); it never throws. The driver is built with
// -fcheck-new, so no constructor runs over a null block, and every caller
// tests what new answered. Code shared with the user-mode build writes
// `new (std::nothrow)` where it handles the failure itself, and goes
// through the foundation's rwAllocated where a failure is to end the
// operation the same way in both builds (std::bad_alloc). Buffers are held
// by std::unique_ptr (KernelHeapFree for kernelHeapAlloc's blocks), so that
// every exit gives them back.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---- start-up and shut-down ------------------------------------------------
// Both answer 1.
int kernelRuntimeStartup();
int kernelRuntimeShutdown();

// ---- the debugging heap ----------------------------------------------------
// A block of at least size bytes from the engine's pool, or null; the header
// records the requested size and the caller's address.
void* kernelHeapAlloc(size_t size);
// The same, recording the given caller (operator new records its own caller).
void* kernelHeapAllocFor(size_t size, const void* caller);
// Null is ignored.
void kernelHeapFree(void* block);
// The deleter of a std::unique_ptr that holds a kernelHeapAlloc block.
struct KernelHeapFree {
  void operator()(void* block) const { kernelHeapFree(block); }
};
// The statistics report, through kernelTrace. No counter is reset.
void MallocDebugReport();
// The heap's part of start-up (its list lock, an empty live list) and of
// shut-down (the report, the leak listing, the list reset and its lock).
// Blocks allocated before the first or released after the second are
// served and freed, and stay off the live list.
void kernelHeapStartup();
void kernelHeapShutdown();

// ---- the new-handler -------------------------------------------------------
// Called by operator new while an allocation fails: answering 1 asks for one
// more try, 0 makes operator new answer null.
typedef int (*KernelNewHandler)();
// Installs the handler (null removes it) and answers the previous one.
KernelNewHandler _set_new_handler(KernelNewHandler handler);
bool kernelNewHandlerInstalled();

// The memory-pressure step the memory reserve's handler runs after freeing
// its reserve: the driver server releases what it can, or shuts down when
// nothing was freed. Nothing happens while there is no server.
void releaseDriverServerMemory();

// ---- trace output ----------------------------------------------------------
// The sink of the heap, the exit processing and the file layer. It writes
// nothing; a test may listen through the hook (null stops listening).
void kernelTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
typedef void (*KernelTraceHook)(const char* text);
KernelTraceHook kernelSetTraceHook(KernelTraceHook hook);

#endif
