#ifndef TESTKIT_PRINTER_SERVED_H
#define TESTKIT_PRINTER_SERVED_H

// A PCL XL printer served as the engine's host serves one: the printer's
// data file as mkprinter writes it (in a folder of its own), the user-mode
// platform installed with the printer makers, and a driver server. What a
// test or a benchmark needs to print a document through a device, its
// printer and the PCL XL generator.
//
// Jobs ask for their port with their device, as the platform's device class
// arranges, so that the platform's spooler port maker makes it.
//
// The platform and the server are process-wide: one ServedXLPrinter at a
// time, and it takes both down when it goes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rw/wstring.h"
#include "testkit/tmpdir.h"

class GDevice;
class GDriverInstance;
class GDriverServer;
class GOutputPort;

class ServedXLPrinter {
 public:
  // What makes the spooler's port of a job, given the device, the job's
  // output name and the request; null: a file port on the output name.
  using PortMaker = std::function<GOutputPort*(GDriverInstance*, const RWWString&, uint32_t)>;

  explicit ServedXLPrinter(PortMaker spoolerPort = nullptr);
  // The printer mkprinter writes with these arguments after "--language
  // PCLXL" (options of the model: colour matching, selector tables ...).
  explicit ServedXLPrinter(const std::vector<std::string>& mkprinterArguments, PortMaker spoolerPort = nullptr);
  ~ServedXLPrinter();
  ServedXLPrinter(const ServedXLPrinter&) = delete;
  ServedXLPrinter& operator=(const ServedXLPrinter&) = delete;

  // Empty once everything is in place; otherwise what failed (and nothing
  // is served).
  const std::string& error() const { return error_; }
  GDriverServer* server() const { return server_; }
  const std::string& dataFile() const { return data_; }

  // A device of the named printer over the data file, or null when the
  // server makes none. Printers of different names are independent devices
  // of one data file.
  GDevice* registerDevice(const RWWString& printerName, uint32_t& handle);

 private:
  TempDir dir_;
  std::string data_;
  std::string error_;
  GDriverServer* server_ = nullptr;
  bool installed_ = false;
  GDriverInstance* (*previousInstanceOf_)(GDevice*) = nullptr;
};

// Puts the media (by its id) into the device's document settings, in place
// of the one there, and the paper source into its job options; settings
// are made first when the device has none yet. False when it gets none or
// they lack those groups.
bool selectMediaAndSource(GDevice& device, int16_t mediaId, int16_t paperSource);

#endif
