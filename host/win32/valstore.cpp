#include "host/win32/valstore.h"

HostValueStore::~HostValueStore() = default;
HostValueStores::~HostValueStores() = default;
