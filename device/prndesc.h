#ifndef DEVICE_PRNDESC_H
#define DEVICE_PRNDESC_H

// What identifies a printer to the driver server: an object the platform
// layer makes, handed to a registration (which owns it) and answered anew
// by an instance's printerDescription. The server only compares two.

class GPrinterDescription {
 public:
  virtual ~GPrinterDescription() = default;
  // True when both name the same printer.
  virtual bool equals(const GPrinterDescription& other) const = 0;

 protected:
  GPrinterDescription() = default;
  GPrinterDescription(const GPrinterDescription&) = default;
  GPrinterDescription& operator=(const GPrinterDescription&) = default;
};

#endif
