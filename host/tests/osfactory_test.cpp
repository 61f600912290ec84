#include <gtest/gtest.h>

#include "host/win32/osfactory.h"

TEST(HostPlatform, Installs) {
  GOSFactoryHost* f = installHostPlatform();
  EXPECT_EQ(GOSFactory::instance(), f);
  removeHostPlatform();
  EXPECT_EQ(GOSFactory::instance(), nullptr);
}
