#ifndef TESTKIT_ASLIMIT_H
#define TESTKIT_ASLIMIT_H

// A process held to an address-space limit, for tests that a stored length
// of gigabytes makes no huge block: under the limit such an allocation fails
// and ends the process, so a child that restores the hostile input and exits
// normally has made none on the way.

#include <gtest/gtest.h>

#include <functional>

// Skips the rest of a test where the address space cannot be limited: under
// AddressSanitizer, whose shadow memory needs it.
#if defined(__SANITIZE_ADDRESS__)
#define SKIP_WITHOUT_ADDRESS_SPACE_LIMIT() GTEST_SKIP() << "the sanitizer's shadow memory needs the address space"
#else
#define SKIP_WITHOUT_ADDRESS_SPACE_LIMIT() static_cast<void>(0)
#endif

// For the body of a death test (EXPECT_EXIT ... ExitedWithCode(0)): limits
// the address space to what the process holds now and 256 MiB more, runs
// check and ends the process with 0 when it answers true and 1 when false;
// 2 when the process's size could not be read, 3 when the limit could not
// be set.
[[noreturn]] void exitUnderAddressSpaceLimit(const std::function<bool()>& check);

#endif
