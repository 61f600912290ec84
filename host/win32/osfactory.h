#ifndef HOST_WIN32_OSFACTORY_H
#define HOST_WIN32_OSFACTORY_H

// The user-mode platform services a host process installs before it calls
// into the core library.
//
// installHostPlatform makes the factory, its lock and the instance, lets the
// caller register the output-port providers, and optionally keeps the memory
// reserve; removeHostPlatform undoes the same steps in reverse.
//
// Paths: the framework speaks of backslash-separated paths; hostPath() is
// the one place that turns one into a file-system name (Windows-1252 bytes,
// '/' for '\'), and logicalPath() the way back.
//
// Named printer values live in a HostValueStore per printer, which a
// HostValueStores hands out for an owner. The default keeps them in memory;
// a file-backed form can be given in the options.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/osfactry.h"
#include "core/osversn.h"

// The values of one printer.
class HostValueStore {
 public:
  virtual ~HostValueStore();
  // Each put answers 1 on success.
  virtual int putULong(const RWWString& name, uint32_t value) = 0;
  virtual int putString(const RWWString& name, const RWWString& value) = 0;
  virtual int putBinary(const RWWString& name, const void* data, uint32_t length) = 0;
  // Each answers whether the name holds a value of that type.
  virtual bool getULong(const RWWString& name, uint32_t& value) = 0;
  virtual bool getString(const RWWString& name, RWWString& value) = 0;
  // The factory's getBinary contract: 1 and the bytes and their length; with
  // a null buffer or no capacity, 1 and an upper bound of the size; 0 when
  // nothing is stored or the capacity is too small.
  virtual int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) = 0;
};

// Finds the store of an owner's printer.
class HostValueStores {
 public:
  virtual ~HostValueStores();
  // Null when the owner has no printer; not owned by the caller.
  virtual HostValueStore* storeFor(GDriverInstance* owner) = 0;
};

// One in-memory store per owner, made on first use. A null owner has none.
class MemoryValueStores : public HostValueStores {
 public:
  MemoryValueStores();
  ~MemoryValueStores() override;
  HostValueStore* storeFor(GDriverInstance* owner) override;

 private:
  std::mutex lock_;
  std::map<GDriverInstance*, std::unique_ptr<HostValueStore>> stores_;
};

// A moment as the clock gives it: milliseconds since 1970 in UTC and the
// local offset from GMT in minutes, positive east.
struct HostMoment {
  int64_t utcMilliseconds = 0;
  int16_t offsetMinutes = 0;
};

struct HostOptions {
  // The temporary folder when the printer names none
  // ("TempDirectoryLocation"); empty: a folder of this process under
  // $TMPDIR or /tmp, made on first use and removed with the factory.
  RWWString temporaryDirectory;
  // The driver's files; empty: the folder of the running program.
  RWWString driverDirectory;
  // The stored configuration of every printer.
  RWWString configurationFile;
  // The clock; empty: the system's.
  std::function<HostMoment()> clock;
  // The printers' values; null: in memory.
  std::shared_ptr<HostValueStores> values;
  // Answers the system version; null: Windows NT 4.0 workstation, build
  // 1381. Kept by the installer for the factory's life.
  std::shared_ptr<GOSVersionQueries> versionQueries;
  // A reserve size for installNewHandler; 0 keeps none.
  uint32_t memoryReserve = 0;
  // Registers and removes the output-port providers.
  std::function<void()> registerProviders;
  std::function<void()> unregisterProviders;
};

// A re-entrant lock with a real recursion count: release by a thread that
// does not hold it answers -2.
class HostMutex : public GOSMutex {
 public:
  HostMutex();
  ~HostMutex() override;
  int release() override;
  int acquire() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class GOSFactoryHost : public GOSFactory {
 public:
  explicit GOSFactoryHost(const HostOptions& options = HostOptions());
  ~GOSFactoryHost() override;

  // Later subsystems fill these; until then there is nothing to make.
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

// The file-system name of a framework path, and the framework path of a
// file-system name. Every path the factory hands out is in the framework's
// form.
std::string hostPath(const RWWString& path);
RWWString logicalPath(const std::string& name);

// Installs a new factory as the instance (see the top of this file) and
// answers it; a factory installed before is deleted.
GOSFactoryHost* installHostPlatform(const HostOptions& options = HostOptions());
// Removes what installHostPlatform made; nothing when nothing is installed.
void removeHostPlatform();

#endif
