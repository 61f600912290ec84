#ifndef CORE_OSVERSN_H
#define CORE_OSVERSN_H

// The operating system the driver runs on: a platform code, a version word
// (major << 16 | minor) and a build word (high part << 16 | build number),
// with an order and a coarser family.
//
// Platform codes: 4 Win32s on 16-bit Windows, 5 the Windows 95 family, 6
// Windows NT workstation ("Winnt"), 7 Windows NT with another product type,
// 8 the kernel-mode driver on Windows NT.
//
// query asks the system through GOSVersionQueries, the small seam the
// platform layer installs (a process without one has no version to report).

#include <cstdint>

// What query asks of the system: the calls of its version and registry
// services, each answering as they do.
class GOSVersionQueries {
 public:
  // The version record: size is set by the caller (276, or 552 on the
  // retry) and may be refused.
  struct Info {
    uint32_t size = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;  // 0 Win32s, 1 Windows 95 family, 2 Windows NT
  };

  virtual ~GOSVersionQueries();
  // Non-zero on success.
  virtual int getVersionEx(Info& info) = 0;
  // The packed version: low byte major, second byte minor, top bit set on
  // the non-NT systems.
  virtual uint32_t getVersion() = 0;
  // Registry access; 0 is success, as the system answers.
  virtual int32_t openKey(const char* path, void*& key) = 0;
  // Reads a text value into buffer (size bytes of room; size answers the
  // length read).
  virtual int32_t queryValue(void* key, const char* name, char* buffer, uint32_t& size) = 0;
  virtual int32_t closeKey(void* key) = 0;
};

class GOSVersion {
 public:
  GOSVersion() = default;
  GOSVersion(int32_t platform, uint32_t version, uint32_t build)
      : platform_(platform), version_(version), build_(build) {}
  // Each part cut to 16 bits.
  GOSVersion(int32_t platform, uint32_t major, uint32_t minor, uint32_t buildHigh, uint32_t buildNumber);

  int32_t platform() const { return platform_; }
  uint32_t version() const { return version_; }
  uint32_t build() const { return build_; }
  uint32_t majorVersion() const { return version_ >> 16; }
  uint32_t minorVersion() const { return version_ & 0xFFFF; }
  uint32_t buildHigh() const { return build_ >> 16; }
  uint32_t buildLow() const { return build_ & 0xFFFF; }

  int32_t family() const;
  bool samePlatform(const GOSVersion& o) const { return platform_ == o.platform_; }
  bool sameFamily(const GOSVersion& o) const { return family() == o.family(); }

  bool operator==(const GOSVersion& o) const {
    return platform_ == o.platform_ && version_ == o.version_ && build_ == o.build_;
  }
  bool operator!=(const GOSVersion& o) const { return !(*this == o); }
  // Platform (signed), then version, then build (unsigned).
  bool operator<(const GOSVersion& o) const;
  bool operator<=(const GOSVersion& o) const { return !(o < *this); }
  bool operator>(const GOSVersion& o) const { return o < *this; }
  bool operator>=(const GOSVersion& o) const { return !(*this < o); }

  // Fills the object from the running system: 1, or 0 and the object is
  // left as it was.
  int query();

  // The seam query asks; null (the default) makes every query fail.
  // Answers the previous one. Not owned.
  static GOSVersionQueries* setQueries(GOSVersionQueries* queries);
  static GOSVersionQueries* queries();

 private:
  int32_t platform_ = 0;
  uint32_t version_ = 0;
  uint32_t build_ = 0;
};

#endif
