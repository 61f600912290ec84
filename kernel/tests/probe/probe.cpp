// The driver with a few more entries, through which the tests look inside
// it: for the test that every block of the driver comes from its own heap, a
// text built by the standard library's string streams, whose buffers are
// allocated inside the C++ runtime linked into the driver; for the tests of
// enabling and disabling, the driver's output-port providers and the
// runtime's start-up on its own; for the tests of the PDEV entries, the
// devices the driver server holds and whether the device of a PDEV reports
// its job aborted.

#include <sstream>
#include <string>

#include "core/outport.h"
#include "device/drvrsrvr.h"
#include "kernel/devicent.h"
#include "kernel/runtime.h"

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

// A text of the given length, kept until KrenderProbeRelease.
PROBE_EXPORT void* KrenderProbeText(unsigned length) {
  std::ostringstream out;
  for (unsigned i = 0; i < length; ++i) out << static_cast<char>('a' + i % 26);
  return new std::string(out.str());
}

PROBE_EXPORT void KrenderProbeRelease(void* text) { delete static_cast<std::string*>(text); }

// How many providers of the driver's registry make ports, and whether the
// one under the name is a spooler provider.
PROBE_EXPORT unsigned KrenderProbePortProviders() { return GOutputPortProviderRegistry::instance().count(1); }

PROBE_EXPORT int KrenderProbeIsSpoolerProvider(const char* name) {
  GOutputPortProvider* provider = GOutputPortProviderRegistry::instance().find(RWCString(name));
  return provider && provider->isA() == GSpoolerProvider::classIsA();
}

// The runtime's start-up and shut-down alone, as enabling and disabling run
// them, so that a test can tell what the start-up takes from the pool.
PROBE_EXPORT void KrenderProbeStartRuntime() { kernelRuntimeStartup(); }
PROBE_EXPORT void KrenderProbeStopRuntime() { kernelRuntimeShutdown(); }

// How many devices the driver's server has registered; 0 without a server.
PROBE_EXPORT unsigned KrenderProbeDeviceEntries() {
  GDriverServer* server = GDriverServer::instance();
  return server ? server->deviceEntries() : 0;
}

// The abort answer of the device behind a PDEV (0 without one), and its
// abort flag.
PROBE_EXPORT unsigned KrenderProbeIsAborted(DHPDEV pdev) {
  GDeviceNT* device = gDeviceOfPdev(pdev);
  return device ? device->isAborted() : 0;
}

PROBE_EXPORT void KrenderProbeSetAborted(DHPDEV pdev, unsigned aborted) {
  if (GDeviceNT* device = gDeviceOfPdev(pdev)) device->setAborted(aborted);
}
