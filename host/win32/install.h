#ifndef HOST_WIN32_INSTALL_H
#define HOST_WIN32_INSTALL_H

// Installing the user-mode platform services, which a host process does
// before it calls into the core library.
//
// installHostPlatform makes the factory, its lock and the instance, lets the
// caller register the output-port providers, and optionally keeps the memory
// reserve; removeHostPlatform undoes the same steps in reverse.

#include "host/win32/options.h"

class GOSFactoryHost;

// Installs a new factory as the instance and answers it; a factory
// installed before is deleted.
GOSFactoryHost* installHostPlatform(const HostOptions& options = HostOptions());
// Removes what installHostPlatform made; nothing when nothing is installed.
void removeHostPlatform();

#endif
