#include "kernel/prtdata.h"

#include "device/drvinst.h"

GPrinterOwnerNT::~GPrinterOwnerNT() = default;

GPrinterOwnerNT* GPrinterOwnerNT::of(GDriverInstance* owner) { return dynamic_cast<GPrinterOwnerNT*>(owner); }

// Not yet kept: every put fails and every get answers its default.
int GPrinterDataNT::putNumber(const RWWString&, uint32_t) { return 0; }
int GPrinterDataNT::putString(const RWWString&, const RWWString&) { return 0; }
int GPrinterDataNT::putBinary(const RWWString&, const void*, uint32_t) { return 0; }
uint32_t GPrinterDataNT::getNumber(const RWWString&, uint32_t defaultValue) { return defaultValue; }
RWWString& GPrinterDataNT::getString(RWWString& out, const RWWString&, const RWWString& defaultValue) {
  out = defaultValue;
  return out;
}
int GPrinterDataNT::getBinary(const RWWString&, void*, uint32_t, uint32_t&) { return 0; }
