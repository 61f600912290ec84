#ifndef DEVICE_TESTS_PLATFORM_H
#define DEVICE_TESTS_PLATFORM_H

// Platform services for the device model's tests: only the driver
// directory answers (the folder add-on libraries are loaded from); every
// other service answers nothing. Installed as a host installs its factory,
// for the life of an InstalledDriverDirectory, and taken down again.

#include <string>

#include "core/osfactry.h"

class QuietMutex : public GOSMutex {
 public:
  int acquire() override { return 0; }
  int release() override { return 0; }
};

class DriverDirectoryFactory : public GOSFactory {
 public:
  explicit DriverDirectoryFactory(const std::string& dir) : dir_(dir.c_str()) {}

  RWWString& driverDirectory(RWWString& out) override {
    out = dir_;
    return out;
  }
  GOSMutex* createMutex() override { return new QuietMutex; }

  GDriverInstance* createInterfaceInstance(GPrinterDescription*) override { return nullptr; }
  GDevice* createDeviceInstance(GPrinterDescription*) override { return nullptr; }
  GFontMetrics* createFontMetrics(GDevice*) override { return nullptr; }
  int currentTime(GTimeRecord&, GTimeRecord&, int16_t&) override { return 0; }
  GOutputPort* createSpoolerPort(GDriverInstance*, const RWWString&, uint32_t) override { return nullptr; }
  GBitmapGlyphSet* createBitmapGlyphSet() override { return nullptr; }
  MPersistentObject* createFontHelper() override { return nullptr; }
  GCharsetConverter* createCharsetConverter() override { return nullptr; }
  GInputStream* createInputStream(const void*, uint32_t, int32_t) override { return nullptr; }
  GInputStream* createInputStream(const RWWString&, int32_t) override { return nullptr; }
  GOutputStream* createOutputStream(void*, uint32_t, int32_t) override { return nullptr; }
  GOutputStream* createOutputStream(const RWWString&, int32_t) override { return nullptr; }
  RWWString& configurationFileName(RWWString& out, GDriverInstance*) override { return out; }
  GLocaleInfo* createLocaleInfo() override { return nullptr; }
  RWWString& temporaryDirectory(RWWString& out, GDriverInstance*) override { return out; }
  int seedRandom() override { return 0; }
  int nextRandom() override { return 0; }
  int fileExists(const RWWString&) override { return 0; }
  int canCreateFile(const RWWString&) override { return 0; }
  GSettingsStore* createSettingsStore(GDriverInstance*) override { return nullptr; }
  int putULong(GDriverInstance*, const RWWString&, uint32_t) override { return 0; }
  int putString(GDriverInstance*, const RWWString&, const RWWString&) override { return 0; }
  int putBinary(GDriverInstance*, const RWWString&, const void*, uint32_t) override { return 0; }
  uint32_t getULong(GDriverInstance*, const RWWString&, uint32_t d) override { return d; }
  RWWString& getString(RWWString& out, GDriverInstance*, const RWWString&, const RWWString& d) override {
    out = d;
    return out;
  }
  int getBinary(GDriverInstance*, const RWWString&, void*, uint32_t, uint32_t&) override { return 0; }
  RWWString reservedEcho(const RWWString& text) override { return text; }
  uint32_t reservedThird(uint32_t, uint32_t, uint32_t third) override { return third; }
  int reservedZero() override { return 0; }

 private:
  RWWString dir_;
};

class InstalledDriverDirectory {
 public:
  explicit InstalledDriverDirectory(const std::string& dir) : factory_(new DriverDirectoryFactory(dir)) {
    GOSFactory::factoryLock = factory_->createMutex();
    GOSFactory::theInstance = factory_;
  }
  // The factory's destructor deletes the lock and leaves no instance.
  ~InstalledDriverDirectory() { delete factory_; }
  InstalledDriverDirectory(const InstalledDriverDirectory&) = delete;
  InstalledDriverDirectory& operator=(const InstalledDriverDirectory&) = delete;

 private:
  DriverDirectoryFactory* factory_;
};

#endif
