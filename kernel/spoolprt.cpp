#include "kernel/spoolprt.h"

GSpoolerOutputPortNT::GSpoolerOutputPortNT(HANDLE printer, const RWWString& portName)
    : GOutputPort(portName), printer_(printer) {}

GSpoolerOutputPortNT::~GSpoolerOutputPortNT() = default;

// Hands the bytes to the spooler once: a short or refused write is the
// caller's to judge, and the port's state stays as it was either way.
uint16_t GSpoolerOutputPortNT::write(const void* data, uint32_t length, uint32_t& written) {
  // Callers compare the count with what they offered, so it is set on every
  // path, the one without a printer included.
  written = 0;
  if (!printer_) return 1;
  DWORD taken = 0;
  const BOOL accepted = EngWritePrinter(printer_, const_cast<void*>(data), length, &taken);
  // More than was offered cannot have been taken from the caller's block.
  written = taken < length ? taken : length;
  bytesWritten_ += written;
  return accepted && taken == length ? 0 : 5;
}

int32_t GSpoolerOutputPortNT::open() { return state_ != kAborted; }
