#ifndef CORE_GREAL_H
#define CORE_GREAL_H

// The real-number type of the graphics state (scale factors, transforms)
// and its one way back to the integers of device space.
//
// GReal is a single-precision float in the user-mode build. The kernel-mode
// build, where the graphics engine's own real arithmetic takes the place of
// the floating-point unit, swaps it (and gTruncateSaturated) for the kernel
// real type, chosen by RW_KERNEL_BUILD here and nowhere else; the code that
// uses GReal is the same in both builds.

#include <cmath>
#include <cstdint>
#include <limits>

#ifdef RW_KERNEL_BUILD
using GReal = float;
#else
using GReal = float;
#endif

// A real truncated towards zero into 32 bits, for the products of device
// coordinates and scale factors that composeTransforms and the generators
// turn back into coordinates. Converting a value outside the 32-bit range
// (or not a number) to an integer is undefined, so it is made defined
// here: not-a-number gives 0, and a value past either end of the range
// (infinities included) gives that end. Every value in range truncates as
// the conversion does.
//
// Give it the product in double: the product of a 32-bit integer and a
// GReal is exact there, so the truncation is that of the true product.
inline int32_t gTruncateSaturated(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

#endif
