// The character-set converter and the lock of the kernel build.

#include "kernel/charset.h"

uint16_t GCharsetConverterNT::toUnicode(uint16_t code, int32_t charset) {
  // One byte only: a double-byte code in its 16-bit form is not taken
  // apart here.
  char byte = static_cast<char>(code & 0xFF);
  WCHAR wide[2] = {0, 0};
  INT written = EngMultiByteToWideChar(codePageOf(charset), wide, sizeof wide, &byte, 1);
  return written >= static_cast<INT>(sizeof(WCHAR)) ? static_cast<uint16_t>(wide[0]) : 0;
}

uint16_t GCharsetConverterNT::fromUnicode(uint16_t character, int32_t charset) {
  WCHAR wide = character;
  char bytes[2] = {0, 0};
  INT written = EngWideCharToMultiByte(codePageOf(charset), &wide, sizeof wide, bytes, sizeof bytes);
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const auto trail = static_cast<unsigned char>(bytes[1]);
  if (written == 1) return lead;
  if (written == 2) return static_cast<uint16_t>(lead * 256 + trail);
  return 0;
}

GEngineLockNT::GEngineLockNT() : semaphore_(EngCreateSemaphore()) {}

GEngineLockNT::~GEngineLockNT() {
  if (semaphore_) EngDeleteSemaphore(semaphore_);
}

// A lock whose semaphore could not be made has nothing to take; its users
// treat any answer but 0 as fatal, so it answers 0 all the same.
int GEngineLockNT::release() {
  if (semaphore_) EngReleaseSemaphore(semaphore_);
  return 0;
}

int GEngineLockNT::acquire() {
  if (semaphore_) EngAcquireSemaphore(semaphore_);
  return 0;
}
