// The one way from a real back to the integers: truncation towards zero,
// defined for every value.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/greal.h"

namespace {

TEST(TruncateSaturated, TruncatesInRangeAndSaturatesOutside) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const struct {
    double value;
    int32_t expected;
  } cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {1.5, 1},
      {-1.5, -1},
      {0.999999, 0},
      {-0.999999, 0},
      {2147483647.0, kMax},
      {2147483647.9, kMax},
      {2147483648.0, kMax},
      {-2147483648.0, kMin},
      {-2147483648.9, kMin},
      {-2147483649.0, kMin},
      {1e300, kMax},
      {-1e300, kMin},
      {std::numeric_limits<double>::infinity(), kMax},
      {-std::numeric_limits<double>::infinity(), kMin},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(gTruncateSaturated(c.value), c.expected) << c.value;
  static_assert(std::is_same_v<GReal, float>, "the user-mode build's reals are singles");
}

// The arctangent the arc end point turns into degrees: the kernel build has
// its own, with these same answers at the axes.
TEST(Atan2, QuadrantsAndTheAxes) {
  const float toDegrees = 180.0f / 3.14159265f;
  EXPECT_NEAR(gAtan2(1.0f, 1.0f) * toDegrees, 45.0f, 1e-5f);
  EXPECT_NEAR(gAtan2(-1.0f, 0.0f) * toDegrees, -90.0f, 1e-5f);  // straight up
  EXPECT_NEAR(gAtan2(0.0f, -1.0f) * toDegrees, 180.0f, 1e-4f);
  EXPECT_NEAR(gAtan2(1.0f, -1.0f) * toDegrees, 135.0f, 1e-4f);
  EXPECT_EQ(gAtan2(0.0f, 0.0f), 0.0f);
}

}  // namespace
