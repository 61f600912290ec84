#ifndef TESTKIT_UI_HOSTHOOKS_H
#define TESTKIT_UI_HOSTHOOKS_H

// The core library's part in the user-interface host, for programs that
// link both: the display-string reading of the resolver and the removal of
// the sheet's scratch group (settings group 283) after the plug-in is done.
//
// UIHostTest gives every test a clean desktop with these hooks, and fails
// the test on any misuse of the platform, or on anything still open at its
// end, unless the test said how much it expects (expectMisuse).

#include <gtest/gtest.h>

#include <cstddef>

#include "core/attrids.h"
#include "host/uihost/uihost.h"

// The settings group the user interface keeps its scratch values in.

uihost::Hooks uiHostHooks();

class UIHostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The test means to misuse the platform this many times.
  void expectMisuse(size_t count) { expectedMisuse_ = count; }

 private:
  size_t expectedMisuse_ = 0;
};

#endif
