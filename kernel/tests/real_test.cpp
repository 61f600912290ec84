// The kernel build's reals: GReal on the engine's software real, its
// functions, the angle, and a stored transform read back with the same
// bytes the user-mode build writes.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>

#include "core/fieldio.h"
#include "core/geometry.h"
#include "core/greal.h"
#include "graphics/transfrm.h"
#include "rw/estream.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

static_assert(!std::is_same_v<GReal, float>, "the kernel build's reals are the engine's");

// The single a real holds, for comparing with the C library.
float single(GReal x) { return gSingleOf(x); }

// The arctangent in degrees, as the arc end point turns it.
float degreesOf(GReal y, GReal x) { return single(gAtan2(y, x) * GReal(180) / GReal(std::numbers::pi_v<float>)); }

bool near(float got, double expected, double tolerance) {
  return std::fabs(static_cast<double>(got) - expected) <= tolerance;
}

TEST(KernelReal, ComparesAndComputesAsTheSingleItHolds) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    std::function<bool()> holds;
  } cases[] = {
      {"-2 < -1", [] { return GReal(-2) < GReal(-1) && GReal(-1) > GReal(-2) && !(GReal(-1) < GReal(-2)); }},
      {"-0 == +0", [] { return GReal(-0.0f) == GReal(0) && !(GReal(-0.0f) < GReal(0)); }},
      {"not-a-number equals nothing, itself included", [nan] { return !(GReal(nan) == GReal(nan)); }},
      {"a 16-bit integer is sign-extended", [] { return GReal(int16_t{-3}) == GReal(-3.0f); }},
      {"mixed arithmetic with integers",
       [] {
         GReal x = 5;
         return x * 2 == GReal(10) && 1 / GReal(4) == GReal(0.25f) && x / uint16_t{2} == GReal(2.5f);
       }},
      {"cos in each quadrant within 1e-6 of the C library's",
       [] {
         for (float x : {0.0f, 0.7f, 2.0f, 3.14159274f, 3.9f, 5.5f, -0.7f, -2.0f, -3.9f, -5.5f, 7.5f, -11.0f}) {
           if (!near(single(cos(GReal(x))), std::cos(static_cast<double>(x)), 1e-6)) return false;
         }
         return true;
       }},
      {"sin is the cosine a quarter turn on", [] { return near(single(sin(GReal(0.5f))), std::sin(0.5), 1e-6); }},
      {"floor(-1.5) is the integer part, -1",
       [] { return floor(GReal(-1.5f)) == GReal(-1) && floor(GReal(1.5f)) == GReal(1); }},
      {"fmod keeps the sign of x", [] { return fmod(GReal(-7), GReal(3)) == GReal(-1); }},
      {"GAngle -90 is 270, 720 is 0, -0 is kept",
       [] {
         return GAngle(GReal(-90)).degrees() == GReal(270) && GAngle(GReal(720)).degrees() == GReal(0) &&
                !std::signbit(single(GAngle(GReal(-720)).degrees())) &&
                std::signbit(single(GAngle(GReal(-0.0f)).degrees()));
       }},
      {"GAngle of 1e30 ends on the exact remainder, as the user build's does",
       [] {
         const float huge = 1e30f;
         const float expected = static_cast<float>(std::fmod(static_cast<long double>(huge), 360.0L));
         return single(GAngle(GReal(huge)).degrees()) == expected &&
                single(GAngle(GReal(-huge)).degrees()) == 360.0f - expected;
       }},
      {"GAngle of not-a-number and the infinities is 0",
       [nan, inf] {
         return GAngle(GReal(nan)).degrees() == GReal(0) && GAngle(GReal(inf)).degrees() == GReal(0) &&
                GAngle(GReal(-inf)).degrees() == GReal(0);
       }},
      {"GAngle sine and cosine", [] { return near(single(GAngle(GReal(30)).sine()), 0.5, 1e-6); }},
      {"sqrt of 0, of a negative value and of not-a-number is 0",
       [nan] { return sqrt(GReal(0)) == GReal(0) && sqrt(GReal(-4)) == GReal(0) && sqrt(GReal(nan)) == GReal(0); }},
      {"sqrt far from 1 still converges",
       [] {
         return near(single(sqrt(GReal(2))), std::sqrt(2.0), 1e-6) &&
                near(single(sqrt(GReal(1e30f))) / 1e15f, 1.0, 1e-6) &&
                near(single(sqrt(GReal(1e-30f))) * 1e15f, 1.0, 1e-6);
       }},
      {"atan(1) x 180 / pi = 45, through the two-argument form",
       [] { return near(degreesOf(GReal(1), GReal(1)), 45.0, 1e-5); }},
      {"atan2 quadrants: straight up -90, left 180, straight down 90",
       [] {
         return degreesOf(GReal(-1), GReal(0)) == -90.0f && near(degreesOf(GReal(0), GReal(-1)), 180.0, 1e-5) &&
                degreesOf(GReal(1), GReal(0)) == 90.0f && degreesOf(GReal(0), GReal(0)) == 0.0f;
       }},
      {"atan2 against the C library in every quadrant",
       [] {
         for (float y : {0.3f, -0.3f, 2.0f, -2.0f})
           for (float x : {0.5f, -0.5f, 3.0f, -3.0f})
             if (!near(single(gAtan2(GReal(y), GReal(x))), std::atan2(static_cast<double>(y), static_cast<double>(x)), 1e-6))
               return false;
         return true;
       }},
  };
  for (const auto& c : cases) EXPECT_TRUE(c.holds()) << c.what;
}

// The user-mode build stores this transform with these bytes (its own tests
// hold them): the kernel build restores the same values and writes the same
// bytes back.
class KernelRealStore : public StoreTest {};

TEST_F(KernelRealStore, ATransformStoredByTheUserBuildRestoresWithIdenticalBytes) {
  // Header, the root level and the attribute level (id 7, serial 50,
  // changed), then version 1; rotation 90, x -2, y 300; 0.5 = 0x3F000000,
  // 1.5 = 0x3FC00000.
  const std::string stored = le32(0x8888) + le16(103) + le32(1) + le32(7) + le32(50) + le32(1) + le32(1) +
                             bytes({0x01, 0x00, 0x00, 0x00, 0x5A, 0x00, 0xFE, 0xFF, 0x2C, 0x01, 0x00, 0x00, 0x00,
                                    0x3F, 0x00, 0x00, 0xC0, 0x3F});
  putBytes(stored);
  std::unique_ptr<GTransformAttribute> back(restoreFile<GTransformAttribute>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->rotation(), 90);
  EXPECT_EQ(back->offset(), GPoint(-2, 300));
  EXPECT_EQ(back->scale(), GScaleFactors(0.5f, 1.5f));
  EXPECT_EQ(storeFile(back.get()), stored);

  // The virtual streams carry the real as a single too.
  for (const auto& again : throughEveryStream(back.get())) {
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->scale(), GScaleFactors(0.5f, 1.5f));
  }
}

TEST(KernelReal, StreamOperatorsCarryTheSingle) {
  std::stringstream asReal, asSingle;
  {
    RWeostream out(asReal, RWeostream::LittleEndian);
    out << GReal(-2.75f);
    RWeostream reference(asSingle, RWeostream::LittleEndian);
    reference << -2.75f;
  }
  EXPECT_EQ(asReal.str(), asSingle.str());
  RWeistream in(asReal);
  GReal back = 7;
  in >> back;
  EXPECT_EQ(back, GReal(-2.75f));
  GReal untouched = 7;
  in >> untouched;  // nothing left: the value is kept
  EXPECT_EQ(untouched, GReal(7));
}

}  // namespace
