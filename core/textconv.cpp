#include "core/textconv.h"

int convertToWide(const RWCString& narrow, RWWString& wide) {
  wide = RWWString(narrow, RWWString::multiByte);
  return 1;
}

int convertToWide(const char* narrow, RWWString& wide) {
  wide = RWWString(narrow ? narrow : "", RWWString::multiByte);
  return 1;
}

int convertToNarrow(const RWWString& wide, RWCString& narrow) {
  narrow = wide.isAscii() ? wide.toAscii() : wide.toMultiByte();
  return 1;
}

int copyWide(const RWWString& from, RWWString& to) {
  to = from;
  return 1;
}

void getBuildVersion(uint32_t& first, uint32_t& second) {
  first = 0x00040002;
  second = 0x00010008;
}

const char* buildDate() { return "Mar 21 2000"; }
const char* buildTime() { return "17:13:14"; }
uint32_t buildQuery1() { return 0; }
uint32_t buildQuery2() { return 0; }
uint32_t buildQuery3() { return 0; }
