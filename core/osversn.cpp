#include "core/osversn.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>

namespace {

std::atomic<GOSVersionQueries*> theQueries{nullptr};

constexpr uint32_t kInfoSize = 276;
constexpr uint32_t kRetryInfoSize = 552;
constexpr int32_t kSuccess = 0;

// The platform code of a version record's platform identifier, or 0 for
// one this code does not know.
int32_t platformOf(uint32_t platformId) {
  switch (platformId) {
    case 0: return 4;
    case 1: return 5;
    case 2: return 6;
    default: return 0;
  }
}

}  // namespace

GOSVersionQueries::~GOSVersionQueries() = default;

GOSVersion::GOSVersion(int32_t platform, uint32_t major, uint32_t minor, uint32_t buildHigh,
                       uint32_t buildNumber)
    : platform_(platform),
      version_((major & 0xFFFF) << 16 | (minor & 0xFFFF)),
      build_((buildHigh & 0xFFFF) << 16 | (buildNumber & 0xFFFF)) {}

int32_t GOSVersion::family() const {
  switch (platform_) {
    case 1: return 1;
    case 2:
    case 3:
    case 4: return 2;
    case 5: return 3;
    case 6:
    case 7:
    case 8: return 4;
    case 9: return 5;
    default: return 0;
  }
}

bool GOSVersion::operator<(const GOSVersion& o) const {
  if (platform_ != o.platform_) return platform_ < o.platform_;
  if (version_ != o.version_) return version_ < o.version_;
  return build_ < o.build_;
}

GOSVersionQueries* GOSVersion::setQueries(GOSVersionQueries* queries) { return theQueries.exchange(queries); }

GOSVersionQueries* GOSVersion::queries() { return theQueries.load(); }

int GOSVersion::query() {
  GOSVersionQueries* q = theQueries.load();
  if (!q) return 0;

  int32_t platform = 0;
  uint32_t version = 0;
  uint32_t build = 0;
  bool known = false;

  GOSVersionQueries::Info info;
  info.size = kInfoSize;
  if (q->getVersionEx(info)) {
    platform = platformOf(info.platformId);
    // A system the first answer cannot name is not asked again.
    if (!platform) return 0;
    version = info.majorVersion << 16 | info.minorVersion;
    build = info.buildNumber & 0xFFFF;
    known = true;
  } else {
    // Older systems refuse the short record; the retry offers a larger one.
    const std::unique_ptr<GOSVersionQueries::Info> retry(new (std::nothrow) GOSVersionQueries::Info);
    if (retry) {
      retry->size = kRetryInfoSize;
      if (q->getVersionEx(*retry) && platformOf(retry->platformId)) {
        platform = platformOf(retry->platformId);
        version = retry->majorVersion << 16 | retry->minorVersion;
        build = retry->buildNumber & 0xFFFF;
        known = true;
      }
    }
  }

  if (!known) {
    uint32_t packed = q->getVersion();
    uint32_t major = packed & 0xFF;
    version = major << 16 | ((packed >> 8) & 0xFF);
    build = 0;
    if (packed & 0x80000000u) {
      platform = major == 3 ? 4 : 5;
    } else {
      platform = 6;
    }
  }

  if (platform == 6) {
    void* key = nullptr;
    if (q->openKey("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", key) != kSuccess) return 0;
    char type[128];
    std::memset(type, 0, sizeof type);
    uint32_t size = sizeof type;
    int32_t status = q->queryValue(key, "ProductType", type, size);
    q->closeKey(key);
    if (status != kSuccess) return 0;
    type[sizeof type - 1] = '\0';
    if (strcasecmp(type, "Winnt") != 0) platform = 7;
  }

  platform_ = platform;
  version_ = version;
  build_ = build;
  return 1;
}
