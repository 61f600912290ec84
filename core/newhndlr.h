#ifndef CORE_NEWHNDLR_H
#define CORE_NEWHNDLR_H

// The memory reserve.
//
// installNewHandler keeps a block of memory in reserve and puts a
// new-handler in place that, when an allocation fails, gives the block
// back, asks the driver server to release what it can, makes the reserve
// again and lets the allocation retry. Only when nothing is left to release
// is the failure fatal (error 101). The lock that guards the reserve is
// made through the platform services, so without an installed factory
// installNewHandler does nothing.

#include <cstdint>

// Installs the handler once; a non-zero size becomes the reserve size
// (initially 1024). Replaces the reserve block.
void installNewHandler(uint32_t size);
// Puts the previous handler back, frees the reserve and deletes the lock.
// Nothing happens when the handler was never installed.
void removeNewHandler();

// The handler's work: 1 when the allocation may be retried. The handler the
// allocator calls gives up (std::bad_alloc) on 0, which only happens when a
// fatal error's abort returned.
int reserveNewHandler();

// Asks the driver server to free memory; answers whether anything was
// freed. Null (the default) frees nothing. Answers the previous hook.
typedef bool (*GMemoryReleaseHook)();
GMemoryReleaseHook setMemoryReleaseHook(GMemoryReleaseHook hook);
// The hook in place now, or null.
GMemoryReleaseHook memoryReleaseHook();

// For inspection: the reserve size and whether a block is held.
uint32_t newHandlerReserveSize();
bool newHandlerHoldsReserve();

// The fatal-error sites of the memory reserve.
constexpr const char* kNewHandlerSource = "newhndlr";
constexpr int32_t kNewHandlerLine = 444;
constexpr const char* kReleaseMemorySource = "gbnewhnd";
constexpr int32_t kReleaseMemoryLine = 148;

#endif
