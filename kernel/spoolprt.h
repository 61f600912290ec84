#ifndef KERNEL_SPOOLPRT_H
#define KERNEL_SPOOLPRT_H

// The kernel-mode driver's output port: every byte of a job leaves through
// its write, which hands the bytes to the spooler's job of the printer.

#include <cstdint>

#include "core/outport.h"
#include "host/engine/ddi.h"

class GSpoolerOutputPortNT : public GOutputPort {
 public:
  // A null handle makes a port that writes nothing.
  GSpoolerOutputPortNT(HANDLE printer, const RWWString& portName);
  ~GSpoolerOutputPortNT() override;

  // 0 when the spooler took every byte; 5 on a short or refused write,
  // with the count it took; 1 without a printer, with a count of 0.
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override;
  // Nonzero unless the port was aborted.
  int32_t open() override;

  HANDLE printer() const { return printer_; }

 private:
  HANDLE printer_;
};

#endif
