#include <gtest/gtest.h>
#include "host/engine/engine.h"
TEST(Smoke, Builds) { EXPECT_EQ(eng::builtinForms().size(), 41u); }
