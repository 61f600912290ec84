#ifndef HOST_WIN32_OSFACTORY_H
#define HOST_WIN32_OSFACTORY_H

// The user-mode platform services: the factory the framework asks for
// locks, time, folders, streams, the character-set converter and the
// printers' named values. install.h makes it the instance.
//
// Named printer values live in a HostValueStore per printer, which a
// HostValueStores hands out for an owner (valstore.h). The default keeps
// them in memory; a file-backed form can be given in the options.

#include <cstdint>
#include <string>

#include "core/osfactry.h"
#include "host/win32/options.h"

class HostValueStore;

class GOSFactoryHost : public GOSFactory {
 public:
  explicit GOSFactoryHost(const HostOptions& options = HostOptions());
  ~GOSFactoryHost() override;

  // Made by the installed makers (HostOptions::makers); null without one.
  GDriverInstance* createInterfaceInstance(GPrinterDescription* description) override;
  GDevice* createDeviceInstance(GPrinterDescription* description) override;
  GFontMetrics* createFontMetrics(GDevice* device) override;
  GOutputPort* createSpoolerPort(GDriverInstance* printer, const RWWString& portName, uint32_t flags) override;
  GBitmapGlyphSet* createBitmapGlyphSet() override;
  MPersistentObject* createFontHelper() override;
  GSettingsStore* createSettingsStore(GDriverInstance* owner) override;

  int currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) override;
  GCharsetConverter* createCharsetConverter() override;
  GInputStream* createInputStream(const void* data, uint32_t length, int32_t format) override;
  GInputStream* createInputStream(const RWWString& path, int32_t format) override;
  GOutputStream* createOutputStream(void* buffer, uint32_t size, int32_t format) override;
  GOutputStream* createOutputStream(const RWWString& path, int32_t format) override;
  RWWString& configurationFileName(RWWString& out, GDriverInstance* owner) override;
  GLocaleInfo* createLocaleInfo() override;
  RWWString& temporaryDirectory(RWWString& out, GDriverInstance* owner) override;
  RWWString& driverDirectory(RWWString& out) override;
  int seedRandom() override;
  int nextRandom() override;
  int fileExists(const RWWString& path) override;
  int canCreateFile(const RWWString& path) override;
  int putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) override;
  int putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) override;
  int putBinary(GDriverInstance* owner, const RWWString& name, const void* data, uint32_t length) override;
  uint32_t getULong(GDriverInstance* owner, const RWWString& name, uint32_t defaultValue) override;
  RWWString& getString(RWWString& out, GDriverInstance* owner, const RWWString& name,
                       const RWWString& defaultValue) override;
  int getBinary(GDriverInstance* owner, const RWWString& name, void* buffer, uint32_t capacity,
                uint32_t& length) override;
  RWWString reservedEcho(const RWWString& text) override;
  uint32_t reservedThird(uint32_t first, uint32_t second, uint32_t third) override;
  int reservedZero() override;
  GOSMutex* createMutex() override;

  // Fixes the generator's seed; seedRandom then starts from it every time
  // instead of from the clock.
  void fixRandomSeed(uint32_t seed);
  uint32_t randomSeed() const { return seed_; }

  const HostOptions& options() const { return options_; }

 private:
  HostMoment now() const;
  HostValueStore* storeFor(GDriverInstance* owner);

  HostOptions options_;
  uint32_t seed_ = 0;
  bool seedFixed_ = false;
  uint32_t fixedSeed_ = 0;
  std::string ownTemporary_;  // the per-process folder, once made
};

#endif
