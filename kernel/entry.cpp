// The driver's two exports. Enabling starts the kernel runtime, makes the
// process-wide objects every later call depends on (platform services,
// memory reserve, driver server, font-file pool, font-id lock, spooler port
// provider, the conversion that asks for a job's port with its device) and
// hands the engine the table of DDI entries; disabling takes them down in
// reverse, the runtime last.
//
// An enable that does not finish (refused arguments, a singleton that could
// not be made, an exception) takes down what it did in the disable order and
// answers FALSE: the engine never disables a driver that refused, so nothing
// may be left behind, and the next enable starts clean. The platform
// services and the driver server are not taken down by a step of their
// own: their holders delete them when the runtime stops.

#include <new>

#include "core/newhndlr.h"
#include "core/outport.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "device/printer.h"
#include "graphics/ftdtabse.h"
#include "graphics/ttflpool.h"
#include "host/engine/ddi.h"
#include "kernel/ddientry.h"
#include "kernel/osfactnt.h"
#include "kernel/runtime.h"

#define KERNEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The oldest engine the driver runs on.
constexpr ULONG kLowestEngineVersion = 0x20000;
constexpr uint32_t kMemoryReserveSize = 1024;
constexpr const char* kSpoolerProviderName = "Basic Spooler";

// The driver server, cached at enable for the entries that need a device;
// its holder deletes it when the runtime stops.
GDriverServer* driverServer = nullptr;
// The spooler port provider, the driver's own; null when none could be made.
GSpoolerProvider* spoolerProvider = nullptr;
// Whether the provider went into the registry under its name: a name that
// was already taken is not ours to remove.
bool providerRegistered = false;

// Steps 2 to 12 of enabling; false at the first refusal.
bool enable(ULONG engineVersion, ULONG size, DRVENABLEDATA* data) {
  if (engineVersion < kLowestEngineVersion) return false;
  // Only this build's record is written, so nothing smaller will do.
  if (!data || size < sizeof(DRVENABLEDATA)) return false;
  data->iDriverVersion = DDI_DRIVER_VERSION;
  data->pdrvfn = const_cast<DRVFN*>(gDdiFunctionTable);
  data->c = kDdiFunctionCount;

  // A platform already in place is kept; only the kernel's own can tell
  // the OS version from the engine version.
  GOSFactoryNT* platform = dynamic_cast<GOSFactoryNT*>(GOSFactory::instance());
  if (!platform && !GOSFactory::instance()) platform = gInstallPlatformNT(engineVersion);
  if (!platform) return false;
  platform->setEngineVersion(engineVersion);

  installNewHandler(kMemoryReserveSize);

  GDriverServer::create();
  driverServer = GDriverServer::instance();
  if (!driverServer) return false;

  // A job's port is asked for with its device, so that the spooler port
  // provider opens the port on the device's printer.
  gSetDeviceInstanceOf([](GDevice* device) -> GDriverInstance* { return device; });

  if (!GTTFontFilePool::instance()) GTTFontFilePool::setInstance(new GTTFontFilePool);
  if (!GTTFontFilePool::instance()) return false;

  GFontDatabase::createIdLock();

  // Without a provider there is nothing to register: the driver runs on,
  // and a job finds no spooler port. Running out of memory here leaves it
  // so as well.
  if (!spoolerProvider) {
    spoolerProvider = new GSpoolerProvider;
    if (spoolerProvider) {
      try {
        providerRegistered = GOutputPortProviderRegistry::instance().add(spoolerProvider, kSpoolerProviderName) == 0;
      } catch (const std::bad_alloc&) {
        providerRegistered = false;
      }
    }
  }
  return true;
}

// Runs one step of taking down; an exception in it does not keep the steps
// after it from running, so that the runtime always stops.
template <typename Step>
void takeDownStep(Step step) {
  try {
    step();
  } catch (...) {
  }
}

// The steps of disabling, each doing nothing where its enable step never
// ran.
void takeDown() {
  takeDownStep([] {
    if (driverServer) {
      driverServer->releaseCached();
      driverServer->removeAll();
    }
    driverServer = nullptr;
  });
  takeDownStep([] { gSetDeviceInstanceOf(nullptr); });
  takeDownStep([] {
    if (providerRegistered) GOutputPortProviderRegistry::instance().remove(kSpoolerProviderName);
    providerRegistered = false;
  });
  takeDownStep([] {
    delete spoolerProvider;
    spoolerProvider = nullptr;
  });
  takeDownStep([] { GFontDatabase::destroyIdLock(); });
  takeDownStep([] { delete GTTFontFilePool::setInstance(nullptr); });
  takeDownStep([] { removeNewHandler(); });
  takeDownStep([] { kernelRuntimeShutdown(); });
}

}  // namespace

GDriverServer* gDdiDriverServer() { return driverServer; }

KERNEL_EXPORT BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  bool enabled = false;
  try {
    // Before anything else: the class registrations and locks the other
    // steps use are made by the runtime's start-up.
    kernelRuntimeStartup();
    enabled = enable(iEngineVersion, cj, pded);
  } catch (...) {
    enabled = false;
  }
  if (!enabled) takeDown();
  return enabled ? TRUE : FALSE;
}

KERNEL_EXPORT void DrvDisableDriver() { takeDown(); }
