#ifndef CORE_AUXREC_H
#define CORE_AUXREC_H

// Two small record types the core library exports for its clients to
// derive from and create; nothing in the driver itself uses them, and the
// kernel-mode build leaves them out.
//
// GNamedDescriptor is an abstract descriptor with two numbers, a wide name
// and two texts that subclasses fill. GStampedRecord carries its numbers
// and texts together with the date and time it was made.

#ifndef RW_KERNEL_BUILD

#include <cstdint>

#include "rw/cstring.h"
#include "rw/wstring.h"

class GNamedDescriptor {
 public:
  // Copies the name; both texts start empty.
  GNamedDescriptor(int32_t firstNumber, int32_t secondNumber, const RWWString& name);
  GNamedDescriptor(const GNamedDescriptor&) = default;
  GNamedDescriptor& operator=(const GNamedDescriptor&) = default;
  virtual ~GNamedDescriptor();

  // Each subclass supplies the two operations; the library calls neither.
  virtual void describe() = 0;
  virtual RWCString& firstText();
  virtual RWCString& secondText();
  virtual void release() = 0;

  int32_t firstNumber() const { return firstNumber_; }
  int32_t secondNumber() const { return secondNumber_; }
  const RWWString& name() const { return name_; }

 protected:
  int32_t firstNumber_;
  int32_t secondNumber_;
  RWWString name_;
  RWCString firstText_;
  RWCString secondText_;
};

class GStampedRecord {
 public:
  // Stamps the record with today's date and the present time.
  GStampedRecord(uint32_t firstNumber, uint16_t secondNumber, RWCString firstText, uint16_t fourthNumber,
                 RWCString secondText);
  GStampedRecord(const GStampedRecord&) = default;
  GStampedRecord& operator=(const GStampedRecord&) = default;
  virtual ~GStampedRecord();

  void setThirdNumber(uint32_t v) { thirdNumber_ = v; }

  uint32_t firstNumber() const { return firstNumber_; }
  uint16_t secondNumber() const { return secondNumber_; }
  uint32_t thirdNumber() const { return thirdNumber_; }
  uint16_t fourthNumber() const { return fourthNumber_; }
  const RWCString& firstText() const { return firstText_; }
  const RWCString& secondText() const { return secondText_; }
  // The day: its Julian day number (1 January 2000 is 2451545).
  uint32_t creationDate() const { return creationDate_; }
  // The moment: seconds since 1 January 1901, 00:00 UTC.
  uint32_t creationTime() const { return creationTime_; }

  // The two stamps for a moment given as seconds since 1 January 1970 UTC;
  // the constructor takes them for the present moment.
  static uint32_t dateValue(int64_t unixSeconds);
  static uint32_t timeValue(int64_t unixSeconds);

 private:
  uint32_t firstNumber_;
  uint16_t secondNumber_;
  uint32_t thirdNumber_;
  uint32_t creationDate_;
  uint32_t creationTime_;
  RWCString firstText_;
  uint16_t fourthNumber_;
  RWCString secondText_;
};

#endif

#endif
