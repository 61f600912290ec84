#include "host/win32/version.h"

#include <cstring>

int HostVersionQueries::getVersionEx(Info& info) {
  bool accepted = false;
  for (uint32_t size : acceptedSizes) accepted = accepted || size == info.size;
  if (!accepted) return 0;
  info.majorVersion = majorVersion;
  info.minorVersion = minorVersion;
  info.buildNumber = buildNumber;
  info.platformId = platformId;
  return 1;
}

uint32_t HostVersionQueries::getVersion() { return packedVersion; }

int32_t HostVersionQueries::openKey(const char*, void*& key) {
  key = openStatus == 0 ? this : nullptr;
  return openStatus;
}

int32_t HostVersionQueries::queryValue(void*, const char* name, char* buffer, uint32_t& size) {
  if (queryStatus != 0) return queryStatus;
  if (std::strcmp(name, "ProductType") != 0) return 2;  // no such value
  if (productType.size() + 1 > size) return 234;        // more data
  std::memcpy(buffer, productType.c_str(), productType.size() + 1);
  size = static_cast<uint32_t>(productType.size() + 1);
  return 0;
}

int32_t HostVersionQueries::closeKey(void*) {
  ++closes;
  return 0;
}
