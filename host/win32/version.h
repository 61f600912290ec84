#ifndef HOST_WIN32_VERSION_H
#define HOST_WIN32_VERSION_H

// The system version as the host answers the framework's version query.

#include <cstdint>
#include <string>
#include <vector>

#include "core/osversn.h"

// The default answers of the system version: NT 4.0 workstation, build
// 1381. Each answer can be changed, so tests can walk every branch of the
// query.
class HostVersionQueries : public GOSVersionQueries {
 public:
  int getVersionEx(Info& info) override;
  uint32_t getVersion() override;
  int32_t openKey(const char* path, void*& key) override;
  int32_t queryValue(void* key, const char* name, char* buffer, uint32_t& size) override;
  int32_t closeKey(void* key) override;

  uint32_t majorVersion = 4;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 1381;
  uint32_t platformId = 2;
  // The record sizes getVersionEx accepts.
  std::vector<uint32_t> acceptedSizes{276};
  uint32_t packedVersion = 0x05650004;  // build 1381 above major 4, minor 0
  int32_t openStatus = 0;
  int32_t queryStatus = 0;
  std::string productType = "WinNT";
  int closes = 0;
};

#endif
