#ifndef HOST_WIN32_OPTIONS_H
#define HOST_WIN32_OPTIONS_H

// What a host process chooses when it installs the platform services: the
// folders, the configuration file, the clock, where the printers' values
// live, the system version answers, the memory reserve and the output-port
// providers. Every member has a default that serves a plain process.

#include <cstdint>
#include <functional>
#include <memory>

#include "rw/wstring.h"

class GDevice;
class GDriverInstance;
class GFontMetrics;
class GOSVersionQueries;
class GOutputPort;
class GPrinterDescription;
class HostValueStores;

// What the platform makes of the framework's own classes: the program that
// links them installs the makers (the host includes nothing above the
// platform interfaces). A maker not given makes nothing.
struct HostMakers {
  std::function<GDevice*(GPrinterDescription*)> device;
  std::function<GDriverInstance*(GPrinterDescription*)> interfaceInstance;
  std::function<GFontMetrics*(GDevice*)> fontMetrics;
  std::function<GOutputPort*(GDriverInstance*, const RWWString&, uint32_t)> spoolerPort;
  // The data file of the owner's printer; empty: the options' file.
  std::function<RWWString(GDriverInstance*)> configurationFile;
};

// A moment as the clock gives it: milliseconds since 1970 in UTC and the
// local offset from GMT in minutes, positive east.
struct HostMoment {
  int64_t utcMilliseconds = 0;
  int16_t offsetMinutes = 0;
};

struct HostOptions {
  // The temporary folder when the printer names none
  // ("TempDirectoryLocation"); empty: a folder of this process under
  // $TMPDIR or /tmp, made on first use and removed with the factory.
  RWWString temporaryDirectory;
  // The driver's files; empty: the folder of the running program.
  RWWString driverDirectory;
  // The stored configuration of every printer.
  RWWString configurationFile;
  // The clock; empty: the system's.
  std::function<HostMoment()> clock;
  // The printers' values; null: in memory.
  std::shared_ptr<HostValueStores> values;
  // Answers the system version; null: Windows NT 4.0 workstation, build
  // 1381. Kept by the installer for the factory's life.
  std::shared_ptr<GOSVersionQueries> versionQueries;
  // A reserve size for installNewHandler; 0 keeps none.
  uint32_t memoryReserve = 0;
  // Registers and removes the output-port providers; when not given, the
  // installer registers a spooler provider as "Basic Spooler".
  std::function<void()> registerProviders;
  std::function<void()> unregisterProviders;
  // The devices, interface instances, font metrics and spooler ports.
  HostMakers makers;
};

#endif
