#include "host/win32/install.h"

#include <functional>

#include "core/newhndlr.h"
#include "core/osversn.h"
#include "core/outport.h"
#include "host/win32/osfactory.h"

namespace {

// What the installer set up, so that removal undoes exactly that.
struct Installed {
  GOSFactoryHost* factory = nullptr;
  GOSVersionQueries* previousQueries = nullptr;
  bool reserve = false;
  std::function<void()> unregisterProviders;
  GSpoolerProvider* spooler = nullptr;
} installed;

const char kSpoolerProviderName[] = "Basic Spooler";

}  // namespace

GOSFactoryHost* installHostPlatform(const HostOptions& options) {
  removeHostPlatform();
  // The base constructor makes the factory the held one (deleting any
  // other); the lock and the instance follow.
  GOSFactoryHost* factory = new GOSFactoryHost(options);
  GOSFactory::factoryLock = factory->createMutex();
  GOSFactory::theInstance = factory;
  installed.factory = factory;
  installed.previousQueries = GOSVersion::setQueries(factory->options().versionQueries.get());
  if (options.registerProviders) {
    options.registerProviders();
    installed.unregisterProviders = options.unregisterProviders;
  } else {
    // By default jobs go to the spooler, as in the kernel-mode driver.
    // A provider already registered under the name stays, and stays its
    // owner's: removal must not take it away.
    installed.spooler = new GSpoolerProvider;
    if (GOutputPortProviderRegistry::instance().add(installed.spooler, RWCString(kSpoolerProviderName)) != 0) {
      delete installed.spooler;
      installed.spooler = nullptr;
    }
  }
  if (options.memoryReserve) {
    installNewHandler(options.memoryReserve);
    installed.reserve = true;
  }
  return factory;
}

void removeHostPlatform() {
  GOSFactoryHost* factory = installed.factory;
  if (!factory) return;
  if (installed.reserve) removeNewHandler();
  if (installed.unregisterProviders) installed.unregisterProviders();
  if (installed.spooler) {
    GOutputPortProviderRegistry::instance().remove(RWCString(kSpoolerProviderName));
    delete installed.spooler;
  }
  // The converter came from this factory.
  GCharsetConverter::discardInstance();
  if (GOSFactory::theInstance == factory) GOSFactory::theInstance = nullptr;
  GOSVersion::setQueries(installed.previousQueries);
  // Another factory may have been made since and deleted this one.
  if (GOSFactory::heldFactory == factory) delete factory;
  installed = Installed();
}
