#ifndef CORE_TESTS_FAKEFACTORY_H
#define CORE_TESTS_FAKEFACTORY_H

// A platform-services factory for the core's tests: every slot that the
// core builds on answers from plain members the test sets, and counts its
// calls. Named values are kept by name alone (the owner is ignored).

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/fatalerr.h"
#include "core/osfactry.h"

// A lock whose answers the test chooses.
class FakeMutex : public GOSMutex {
 public:
  explicit FakeMutex(int* destroyed = nullptr) : destroyed_(destroyed) {}
  ~FakeMutex() override {
    if (destroyed_) ++*destroyed_;
  }
  int acquire() override {
    ++acquires;
    return acquireResult;
  }
  int release() override {
    ++releases;
    return releaseResult;
  }
  int acquireResult = 0;
  int releaseResult = 0;
  int acquires = 0;
  int releases = 0;

 private:
  int* destroyed_;
};

class FakeFactory : public GOSFactory {
 public:
  explicit FakeFactory(int* destroyed = nullptr) : destroyed_(destroyed) {}
  ~FakeFactory() override {
    if (destroyed_) ++*destroyed_;
  }

  GDriverInstance* createInterfaceInstance(GPrinterDescription*) override { return nullptr; }
  GDevice* createDeviceInstance(GPrinterDescription*) override { return nullptr; }
  GFontMetrics* createFontMetrics(GDevice*) override { return nullptr; }
  int currentTime(GTimeRecord&, GTimeRecord&, int16_t&) override { return 0; }
  GOutputPort* createSpoolerPort(GDriverInstance*, const RWWString&, uint32_t) override { return nullptr; }
  GBitmapGlyphSet* createBitmapGlyphSet() override { return nullptr; }
  MPersistentObject* createFontHelper() override { return nullptr; }
  GCharsetConverter* createCharsetConverter() override;
  GInputStream* createInputStream(const void* data, uint32_t length, int32_t format) override {
    return new GStdInputStream(data, length, format);
  }
  GInputStream* createInputStream(const RWWString&, int32_t) override { return nullptr; }
  GOutputStream* createOutputStream(void* buffer, uint32_t size, int32_t format) override {
    return new GStdOutputStream(buffer, size, format);
  }
  GOutputStream* createOutputStream(const RWWString&, int32_t) override { return nullptr; }
  RWWString& configurationFileName(RWWString& out, GDriverInstance*) override { return out; }
  GLocaleInfo* createLocaleInfo() override { return nullptr; }
  RWWString& temporaryDirectory(RWWString& out, GDriverInstance*) override { return out; }
  RWWString& driverDirectory(RWWString& out) override { return out; }
  int seedRandom() override {
    ++seeds;
    return 1;
  }
  // Answers the scripted numbers in turn, then 0s.
  int nextRandom() override { return next < randoms.size() ? randoms[next++] : 0; }
  int fileExists(const RWWString& path) override {
    asked.push_back(narrow(path));
    return existing.count(narrow(path)) ? 1 : 0;
  }
  int canCreateFile(const RWWString& path) override {
    ++createChecks;
    return uncreatable.count(narrow(path)) || allUncreatable ? 0 : 1;
  }
  void* allocate(uint32_t size) override {
    allocations.push_back(size);
    if (allocations.size() == failAllocation) return nullptr;
    return GOSFactory::allocate(size);
  }
  GSettingsStore* createSettingsStore(GDriverInstance*) override { return nullptr; }
  int putULong(GDriverInstance*, const RWWString&, uint32_t) override { return 0; }
  int putString(GDriverInstance*, const RWWString&, const RWWString&) override { return 0; }
  int putBinary(GDriverInstance*, const RWWString& name, const void* data, uint32_t length) override {
    binaries[narrow(name)] = std::string(static_cast<const char*>(data), length);
    return 1;
  }
  uint32_t getULong(GDriverInstance*, const RWWString&, uint32_t d) override { return d; }
  RWWString& getString(RWWString& out, GDriverInstance*, const RWWString&, const RWWString& d) override {
    out = d;
    return out;
  }
  int getBinary(GDriverInstance*, const RWWString& name, void* buffer, uint32_t capacity,
                uint32_t& length) override {
    auto it = binaries.find(narrow(name));
    if (it == binaries.end()) return 0;
    uint32_t size = static_cast<uint32_t>(it->second.size());
    if (!buffer || !capacity) {
      length = size;
      return 1;
    }
    if (size > capacity) return 0;
    it->second.copy(static_cast<char*>(buffer), size);
    length = size + overReport;
    return 1;
  }
  RWWString reservedEcho(const RWWString& text) override { return text; }
  uint32_t reservedThird(uint32_t, uint32_t, uint32_t third) override { return third; }
  int reservedZero() override { return 0; }
  GOSMutex* createMutex() override {
    ++mutexesMade;
    FakeMutex* m = new FakeMutex;
    m->acquireResult = newAcquireResult;
    m->releaseResult = newReleaseResult;
    return m;
  }

  static std::string narrow(const RWWString& w) {
    std::string s;
    for (RWsize i = 0; i < w.length(); ++i) s += static_cast<char>(w(i));
    return s;
  }

  std::vector<int> randoms;
  size_t next = 0;
  int seeds = 0;
  std::set<std::string> existing;
  std::set<std::string> uncreatable;
  bool allUncreatable = false;
  int createChecks = 0;
  std::vector<std::string> asked;
  std::vector<uint32_t> allocations;
  size_t failAllocation = 0;  // the allocation (counted from 1) that finds no memory
  std::map<std::string, std::string> binaries;
  uint32_t overReport = 0;  // added to the length getBinary reports
  int mutexesMade = 0;
  int newAcquireResult = 0;  // what the next locks made will answer
  int newReleaseResult = 0;
  int convertersMade = 0;

 private:
  int* destroyed_;
};

// Installs a fake factory the way a host installs its own, and takes it
// down again.
class InstalledFake {
 public:
  InstalledFake() : factory(new FakeFactory) {
    GOSFactory::factoryLock = factory->createMutex();
    GOSFactory::theInstance = factory;
    factory->mutexesMade = 0;
  }
  ~InstalledFake() {
    GCharsetConverter::discardInstance();
    delete factory;
  }
  InstalledFake(const InstalledFake&) = delete;
  InstalledFake& operator=(const InstalledFake&) = delete;

  FakeMutex* lock() const { return static_cast<FakeMutex*>(GOSFactory::factoryLock); }
  FakeFactory* factory;
};

// Records the fatal errors that reach the abort, and the shut-downs, for
// its lifetime.
struct FatalLog {
  struct Entry {
    int32_t kind;
    uint16_t id;
    std::string source;
    int32_t line;
  };
  FatalLog();
  ~FatalLog();
  FatalLog(const FatalLog&) = delete;
  FatalLog& operator=(const FatalLog&) = delete;

  std::vector<Entry> aborts;
  std::vector<std::string> events;  // "shutdown" and "abort" in order
  GFatalHook previousShutDown;
  GFatalAbortHook previousAbort;
  static FatalLog* current;
};

#endif
