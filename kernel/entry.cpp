// The driver's entry points: enabling starts the runtime, disabling stops
// it. The table of drawing entries comes with the device classes.

#include "host/engine/ddi.h"
#include "kernel/runtime.h"

#define KERNEL_EXPORT extern "C" __attribute__((visibility("default")))

KERNEL_EXPORT BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  (void)iEngineVersion;
  // A record too small for what is written into it is refused untouched.
  if (!pded || cj < sizeof(DRVENABLEDATA)) return FALSE;
  kernelRuntimeStartup();
  pded->iDriverVersion = DDI_DRIVER_VERSION;
  pded->c = 0;
  pded->pdrvfn = nullptr;
  return TRUE;
}

KERNEL_EXPORT void DrvDisableDriver() { kernelRuntimeShutdown(); }
