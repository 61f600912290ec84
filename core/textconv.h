#ifndef CORE_TEXTCONV_H
#define CORE_TEXTCONV_H

// The one pair of conversions every file name, port name and job name
// passes through, and the build's identification.
//
// Narrow text is in the ANSI code page (Windows-1252); a wide character it
// cannot hold becomes '?'.

#include <cstdint>

#include "rw/cstring.h"
#include "rw/wstring.h"

// Each answers 1.
int convertToWide(const RWCString& narrow, RWWString& wide);
int convertToWide(const char* narrow, RWWString& wide);
// Pure ASCII is narrowed unit by unit; anything else through the code page.
int convertToNarrow(const RWWString& wide, RWCString& narrow);
int copyWide(const RWWString& from, RWWString& to);

// Version 4.2.1.8: each word holds two parts, high half first.
void getBuildVersion(uint32_t& first, uint32_t& second);
const char* buildDate();
const char* buildTime();
// Build queries that carry nothing in this build.
uint32_t buildQuery1();
uint32_t buildQuery2();
uint32_t buildQuery3();

#endif
