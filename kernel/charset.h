#ifndef KERNEL_CHARSET_H
#define KERNEL_CHARSET_H

// The kernel build's character-set converter and lock, on the engine's
// code-page conversions and semaphores.

#include <cstdint>

#include "core/osfactry.h"
#include "host/engine/ddi.h"

// Converts single characters through the code page of a framework
// encoding (GCharsetConverter::codePageOf); an encoding without one uses
// code page 0, the engine's default. Double-byte codes carry the lead byte
// high.
class GCharsetConverterNT : public GCharsetConverter {
 public:
  GCharsetConverterNT() = default;
  // The low byte of code, as one byte of the encoding's code page; 0 when
  // the engine converts nothing.
  uint16_t toUnicode(uint16_t code, int32_t charset) override;
  // One byte as it is, two bytes as lead x 256 + trail, anything else 0.
  uint16_t fromUnicode(uint16_t character, int32_t charset) override;
  ~GCharsetConverterNT() override = default;
};

// A framework lock on an engine semaphore, made with the lock. Re-entrant
// for its holder, as engine semaphores are. acquire and release answer 0.
class GEngineLockNT : public GOSMutex {
 public:
  GEngineLockNT();
  ~GEngineLockNT() override;
  GEngineLockNT(const GEngineLockNT&) = delete;
  GEngineLockNT& operator=(const GEngineLockNT&) = delete;

  int release() override;
  int acquire() override;

 private:
  HSEMAPHORE semaphore_;
};

#endif
