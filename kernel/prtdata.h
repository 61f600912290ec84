#ifndef KERNEL_PRTDATA_H
#define KERNEL_PRTDATA_H

// The values the kernel-mode driver keeps with a printer, in the printer's
// data through the engine, and the owner interface that leads from a driver
// instance to its printer.
//
// A value lives under a wide name: a number as type 4 (4 bytes,
// little-endian), a string as type 1 (UTF-16LE, no terminator), binary data
// as a type-4 chunk count under the name followed by chunks of at most 248
// bytes under "name:0", "name:1" ... Every writer of printer values uses
// this layout.

#include <cstdint>

#include "host/engine/ddi.h"
#include "rw/wstring.h"

class GDriverInstance;

// What the platform services need of a driver instance whose printer they
// serve. The NT device implements it; a driver instance that does not has
// no printer.
class GPrinterOwnerNT {
 public:
  virtual ~GPrinterOwnerNT();
  // The spooler's handle of the printer; null when there is none.
  virtual HANDLE printerHandle() const = 0;
  // The file that holds the printer's stored configuration.
  virtual RWWString printerDataFileName() const = 0;

  // The owner interface of a driver instance; null for null or for an
  // instance that has none.
  static GPrinterOwnerNT* of(GDriverInstance* owner);

 protected:
  GPrinterOwnerNT() = default;
  GPrinterOwnerNT(const GPrinterOwnerNT&) = default;
  GPrinterOwnerNT& operator=(const GPrinterOwnerNT&) = default;
};

// The named values of one printer. A null handle stores nothing: the puts
// answer 0 and the gets their defaults.
class GPrinterDataNT {
 public:
  explicit GPrinterDataNT(HANDLE printer) : printer_(printer) {}

  // Each put answers 1 on success, else 0.
  int putNumber(const RWWString& name, uint32_t value);
  int putString(const RWWString& name, const RWWString& value);
  int putBinary(const RWWString& name, const void* data, uint32_t length);

  uint32_t getNumber(const RWWString& name, uint32_t defaultValue);
  RWWString& getString(RWWString& out, const RWWString& name, const RWWString& defaultValue);
  // With a null buffer or no capacity: 1 and the room the value needs in
  // length (its chunk count times 248). A buffer short of that by more than
  // one chunk: 0 and the room needed in length. Otherwise 1 and the bytes
  // read in length, or 0 with length untouched: nothing stored, a count
  // whose room does not fit 32 bits, or a chunk that is missing, not
  // binary, or larger than the room left in the buffer.
  int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length);

  static constexpr uint32_t kChunkSize = 248;

 private:
  HANDLE printer_;
};

#endif
