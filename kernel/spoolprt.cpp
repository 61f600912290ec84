#include "kernel/spoolprt.h"

GSpoolerOutputPortNT::GSpoolerOutputPortNT(HANDLE printer, const RWWString& portName)
    : GOutputPort(portName), printer_(printer) {}

GSpoolerOutputPortNT::~GSpoolerOutputPortNT() = default;

// Not yet connected to the spooler: nothing is written.
uint16_t GSpoolerOutputPortNT::write(const void*, uint32_t, uint32_t& written) {
  written = 0;
  return 1;
}

int32_t GSpoolerOutputPortNT::open() { return state_ != kAborted; }
