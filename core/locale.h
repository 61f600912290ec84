#ifndef CORE_LOCALE_H
#define CORE_LOCALE_H

// The user's regional conventions as the platform services hand them out
// (the caller owns the record). Eleven numbers and twelve texts with United
// States English defaults; the country code chooses the default paper, the
// rest is carried, compared and stored.
//
// Stored form after the root level: version (1), the eleven numbers as
// 32-bit words, the twelve texts in the string's stored form (32-bit
// length, bytes), all in the order of the accessors below. A restore cut
// short keeps the constructed values of what it did not read whole.

#include <cstdint>

#include "core/classids.h"
#include "core/perobj.h"
#include "rw/cstring.h"

class GLocaleInfo : public MPersistentObject {
  G_PERSISTENT_CLASS(GLocaleInfo)

 public:
  static constexpr int kNumbers = 11;
  static constexpr int kTexts = 12;

  GLocaleInfo();
  explicit GLocaleInfo(const uint32_t& id);
  GLocaleInfo(const GLocaleInfo& other);
  GLocaleInfo& operator=(const GLocaleInfo& other);
  ~GLocaleInfo() override;

  static RWClassID classIsA() { return ClassId::GLocaleInfo; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, and every number and text equal; the serial number
  // does not count.
  RWBoolean matches(const MPersistentObject* other) const override;

  // The telephone country code; 1 is the United States.
  uint32_t countryCode() const { return numbers_[0]; }
  uint32_t number2() const { return numbers_[1]; }
  uint32_t number3() const { return numbers_[2]; }
  uint32_t number4() const { return numbers_[3]; }
  uint32_t number5() const { return numbers_[4]; }
  uint32_t number6() const { return numbers_[5]; }
  uint32_t number7() const { return numbers_[6]; }
  uint32_t number8() const { return numbers_[7]; }
  uint32_t number9() const { return numbers_[8]; }
  uint32_t number10() const { return numbers_[9]; }
  uint32_t number11() const { return numbers_[10]; }
  void setCountryCode(uint32_t v) { numbers_[0] = v; }
  void setNumber2(uint32_t v) { numbers_[1] = v; }
  void setNumber3(uint32_t v) { numbers_[2] = v; }
  void setNumber4(uint32_t v) { numbers_[3] = v; }
  void setNumber5(uint32_t v) { numbers_[4] = v; }
  void setNumber6(uint32_t v) { numbers_[5] = v; }
  void setNumber7(uint32_t v) { numbers_[6] = v; }
  void setNumber8(uint32_t v) { numbers_[7] = v; }
  void setNumber9(uint32_t v) { numbers_[8] = v; }
  void setNumber10(uint32_t v) { numbers_[9] = v; }
  void setNumber11(uint32_t v) { numbers_[10] = v; }

  const RWCString& amSymbol() const { return texts_[0]; }
  const RWCString& pmSymbol() const { return texts_[1]; }
  const RWCString& countryName() const { return texts_[2]; }
  const RWCString& currencySymbol() const { return texts_[3]; }
  const RWCString& dateSeparator() const { return texts_[4]; }
  const RWCString& decimalSeparator() const { return texts_[5]; }
  const RWCString& languageAbbreviation() const { return texts_[6]; }
  const RWCString& listSeparator() const { return texts_[7]; }
  const RWCString& longDateFormat() const { return texts_[8]; }
  const RWCString& shortDateFormat() const { return texts_[9]; }
  const RWCString& thousandsSeparator() const { return texts_[10]; }
  const RWCString& timeSeparator() const { return texts_[11]; }
  // A null text sets the empty one.
  void setAmSymbol(const char* t) { setText(0, t); }
  void setPmSymbol(const char* t) { setText(1, t); }
  void setCountryName(const char* t) { setText(2, t); }
  void setCurrencySymbol(const char* t) { setText(3, t); }
  void setDateSeparator(const char* t) { setText(4, t); }
  void setDecimalSeparator(const char* t) { setText(5, t); }
  void setLanguageAbbreviation(const char* t) { setText(6, t); }
  void setListSeparator(const char* t) { setText(7, t); }
  void setLongDateFormat(const char* t) { setText(8, t); }
  void setShortDateFormat(const char* t) { setText(9, t); }
  void setThousandsSeparator(const char* t) { setText(10, t); }
  void setTimeSeparator(const char* t) { setText(11, t); }

 private:
  void setDefaults();
  void copyFields(const GLocaleInfo& other);
  void setText(int i, const char* t);

  uint32_t numbers_[kNumbers];
  RWCString texts_[kTexts];
};

RW_DECLARE_RESTORE_OPERATORS(GLocaleInfo)

#endif
