#include <gtest/gtest.h>

#include "kernel/kmfile.h"

TEST(KernelFileTest, Placeholder) { EXPECT_FALSE(kmNativeTableLoaded()); }
