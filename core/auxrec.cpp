#include "core/auxrec.h"

#ifndef RW_KERNEL_BUILD

#include <chrono>
#include <utility>

namespace {

constexpr int64_t secondsPerDay = 86400;
// The Julian day number of 1 January 1970.
constexpr int64_t julianDayOf1970 = 2440588;
// Seconds from 1 January 1901 to 1 January 1970: 69 years, 17 of them leap.
constexpr int64_t secondsFrom1901To1970 = (69 * 365 + 17) * secondsPerDay;

int64_t unixNow() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// Division rounding towards minus infinity, for moments before 1970.
int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

GNamedDescriptor::GNamedDescriptor(int32_t firstNumber, int32_t secondNumber, const RWWString& name)
    : firstNumber_(firstNumber), secondNumber_(secondNumber), name_(name) {}

GNamedDescriptor::~GNamedDescriptor() = default;

RWCString& GNamedDescriptor::firstText() { return firstText_; }
RWCString& GNamedDescriptor::secondText() { return secondText_; }

GStampedRecord::GStampedRecord(uint32_t firstNumber, uint16_t secondNumber, RWCString firstText,
                               uint16_t fourthNumber, RWCString secondText)
    : firstNumber_(firstNumber),
      secondNumber_(secondNumber),
      thirdNumber_(0),
      creationDate_(0),
      creationTime_(0),
      firstText_(std::move(firstText)),
      fourthNumber_(fourthNumber),
      secondText_(std::move(secondText)) {
  // One reading of the clock for both, so that they name the same moment.
  const int64_t now = unixNow();
  creationDate_ = dateValue(now);
  creationTime_ = timeValue(now);
}

GStampedRecord::~GStampedRecord() = default;

uint32_t GStampedRecord::dateValue(int64_t unixSeconds) {
  return static_cast<uint32_t>(julianDayOf1970 + floorDiv(unixSeconds, secondsPerDay));
}

uint32_t GStampedRecord::timeValue(int64_t unixSeconds) {
  return static_cast<uint32_t>(unixSeconds + secondsFrom1901To1970);
}

#endif
