#ifndef KERNEL_OSFACTNT_H
#define KERNEL_OSFACTNT_H

// The kernel-mode driver's platform services: the GOSFactory built on the
// graphics engine's services. Every slot is filled here under the name the
// interface gives it (core/osfactry.h); the engine version the driver was
// enabled with is one more operation after them.
//
// A driver instance reaches its printer through GPrinterOwnerNT
// (kernel/prtdata.h); an instance without one has no printer, so its puts
// answer 0 and its gets their defaults.
//
// Driver enable installs the factory with gInstallPlatformNT and driver
// disable takes it away with gRemovePlatformNT.

#include <cstdint>

#include "core/osfactry.h"

class GOSFactoryNT : public GOSFactory {
 public:
  GOSFactoryNT();
  ~GOSFactoryNT() override;

  /* 1 */ GDriverInstance* createInterfaceInstance(GPrinterDescription* description) override;
  // A new GPrinterDeviceNT for a GDeviceDescriptionNT; null for any other
  // description.
  /* 2 */ GDevice* createDeviceInstance(GPrinterDescription* description) override;
  // A new GErrorDeviceNT wrapping a kernel device (not owning it); any
  // other device gets the base's answer.
  /* 3 */ GDevice* createErrorDevice(GDevice* device) override;
  // None: the kernel keeps no per-device metrics helper yet.
  /* 4 */ GFontMetrics* createFontMetrics(GDevice* device) override;
  // The engine's local time and the same moment in GMT; milliseconds are
  // left 0 in both.
  /* 5 */ int currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) override;
  /* 6 */ void setTimeZoneOffset(int16_t minutes) override;
  // A port on the owner's printer handle (null without an owner
  // interface), which the caller owns.
  /* 7 */ GOutputPort* createSpoolerPort(GDriverInstance* printer, const RWWString& portName,
                                         uint32_t flags) override;
  // Platform 8, version 4.0 below engine version 0x30000 and 5.0 from it,
  // the engine version as the build.
  /* 8 */ GOSVersion& osVersion(GOSVersion& version) override;
  /* 9 */ GBitmapGlyphSet* createBitmapGlyphSet() override;
  /* 10 */ MPersistentObject* createFontHelper() override;
  /* 11 */ GCharsetConverter* createCharsetConverter() override;
  /* 12 */ GInputStream* createInputStream(const void* data, uint32_t length, int32_t format) override;
  /* 13 */ GInputStream* createInputStream(const RWWString& path, int32_t format) override;
  /* 14 */ GOutputStream* createOutputStream(void* buffer, uint32_t size, int32_t format) override;
  /* 15 */ GOutputStream* createOutputStream(const RWWString& path, int32_t format) override;
  // 16 to 18: the base's.
  /* 19 */ RWWString& configurationFileName(RWWString& out, GDriverInstance* owner) override;
  /* 20 */ GLocaleInfo* createLocaleInfo() override;
  // The printer's "TempDirectoryLocation", else the spooler's folder.
  /* 21 */ RWWString& temporaryDirectory(RWWString& out, GDriverInstance* owner) override;
  // The folder of the driver's image, asked of the engine once.
  /* 22 */ RWWString& driverDirectory(RWWString& out) override;
  // 23: the base's.
  /* 24 */ int seedRandom() override;
  /* 25 */ int nextRandom() override;
  /* 26 */ int fileExists(const RWWString& path) override;
  /* 27 */ int canCreateFile(const RWWString& path) override;
  // 28 to 31: the base's.
  /* 32 */ GSettingsStore* createSettingsStore(GDriverInstance* owner) override;
  /* 33 */ int putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) override;
  /* 34 */ int putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) override;
  /* 35 */ int putBinary(GDriverInstance* owner, const RWWString& name, const void* data,
                         uint32_t length) override;
  // 36, putObject: the base's, through 35.
  /* 37 */ uint32_t getULong(GDriverInstance* owner, const RWWString& name, uint32_t defaultValue) override;
  /* 38 */ RWWString& getString(RWWString& out, GDriverInstance* owner, const RWWString& name,
                                const RWWString& defaultValue) override;
  /* 39 */ int getBinary(GDriverInstance* owner, const RWWString& name, void* buffer, uint32_t capacity,
                         uint32_t& length) override;
  // 40, getObject: the base's, through 39.
  /* 41 */ RWWString reservedEcho(const RWWString& text) override;
  /* 42 */ uint32_t reservedThird(uint32_t first, uint32_t second, uint32_t third) override;
  /* 43 */ int reservedZero() override;
  // 44 is the destructor.
  // An engine-semaphore lock.
  /* 45 */ GOSMutex* createMutex() override;

  // The version of the engine that enabled the driver.
  virtual void setEngineVersion(uint32_t version);

  uint32_t engineVersion() const { return engineVersion_; }
  int16_t timeZoneOffset() const { return gmtOffset_; }

  // Where the spooler keeps its temporary files when the printer names no
  // folder of its own.
  static constexpr const char16_t* kDefaultTemporaryDirectory = u"\\SystemRoot\\System32\\Spool\\Printers";

 private:
  uint32_t engineVersion_ = 0;
  int16_t gmtOffset_ = 0;
};

// Installs a new factory as the process's platform: it becomes the held
// factory (deleting any earlier one), its own lock becomes the factory lock,
// it becomes the instance, and it is given the engine version. Answers the
// factory, or null (and nothing installed) when it or its lock cannot be
// made.
GOSFactoryNT* gInstallPlatformNT(uint32_t engineVersion);
// Undoes gInstallPlatformNT in reverse: no instance, no factory lock, and
// the factory deleted. Does nothing when no kernel factory is installed.
void gRemovePlatformNT();

#endif
