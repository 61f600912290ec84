#ifndef TESTKIT_BUILDSKIP_H
#define TESTKIT_BUILDSKIP_H

// Skips the rest of a test in the kernel build, where the file layer works
// differently by design; the reason says how, in one line.

#include <gtest/gtest.h>

#ifdef RW_KERNEL_BUILD
#define SKIP_IN_KERNEL_BUILD(reason) GTEST_SKIP() << (reason)
#else
#define SKIP_IN_KERNEL_BUILD(reason) static_cast<void>(0)
#endif

// The engine holds a file the driver opened as a module in memory and writes
// it to disk when the driver closes it: until then the host file keeps its
// old bytes, padded to the view's size.
inline constexpr const char* kKernelFileHeldOpen =
    "the engine writes a file the driver holds open to disk only at close";

#endif
