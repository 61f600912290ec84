// The driver server over test platform services: handles, the one-entry
// caches, registration and its failures, removal, shut-down, memory
// release, failing locks and many threads at once.

#include <gtest/gtest.h>

#include <barrier>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/attrib.h"
#include "core/fatalerr.h"
#include "core/osfactry.h"
#include "core/state.h"
#include "device/drvrsrvr.h"
#include "device/pericomp.h"
#include "device/prndesc.h"
#include "device/resmap.h"
#include "graphics/ttflpool.h"
#include "journal/ctlcmds.h"
#include "platform.h"
#include "rw/bstream.h"
#include "testkit/device/testdevice.h"
#include "testkit/tmpdir.h"

namespace {

// ---- the platform ---------------------------------------------------------------------

std::atomic<int> descriptionsAlive{0};
std::atomic<int> devicesAlive{0};

class Description : public GPrinterDescription {
 public:
  Description(std::string printer, std::string file) : printer_(std::move(printer)), file_(std::move(file)) {
    ++descriptionsAlive;
  }
  Description(const Description& other) : GPrinterDescription(other), printer_(other.printer_), file_(other.file_) {
    ++descriptionsAlive;
  }
  ~Description() override { --descriptionsAlive; }
  bool equals(const GPrinterDescription& other) const override {
    const auto* o = dynamic_cast<const Description*>(&other);
    return o && o->printer_ == printer_ && o->file_ == file_;
  }
  const std::string& file() const { return file_; }

 private:
  std::string printer_;
  std::string file_;
};

class ServerDevice : public TestDevice {
 public:
  explicit ServerDevice(const Description& d) : description_(d) { ++devicesAlive; }
  ~ServerDevice() override { --devicesAlive; }
  GPrinterDescription* printerDescription() override { return new Description(description_); }
  void reset(GPrinterDescription* description) override {
    ++resets;
    TestDevice::reset(description);
  }
  void releaseResources() override {
    ++released;
    TestDevice::releaseResources();
  }
  int32_t freeMemory() override { return freeable; }
  const Description& description() const { return description_; }

  int resets = 0;
  int released = 0;
  int32_t freeable = 0;

 private:
  Description description_;
};

class TestInterface : public GInterfaceInstance {
 public:
  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override { return nullptr; }
  GPrinterDescription* printerDescription() override { return nullptr; }
  GAttributeComposite* defaultSettings() override { return nullptr; }
};

// Re-entrant, as every lock of the platform is; either operation can be
// told to fail.
class ScriptedMutex : public GOSMutex {
 public:
  int acquire() override {
    if (failAcquire && failAcquire--) return 1;
    mutex_.lock();
    return 0;
  }
  int release() override {
    mutex_.unlock();
    if (failRelease && failRelease--) return -2;
    return 0;
  }
  static inline int failAcquire = 0;
  static inline int failRelease = 0;

 private:
  std::recursive_mutex mutex_;
};

class ServerPlatform : public DriverDirectoryFactory {
 public:
  ServerPlatform() : DriverDirectoryFactory("") {}
  GOSMutex* createMutex() override { return new ScriptedMutex; }
  GDevice* createDeviceInstance(GPrinterDescription* description) override {
    ++made;
    const auto* d = dynamic_cast<Description*>(description);
    return d && makeDevices ? new ServerDevice(*d) : nullptr;
  }
  GDriverInstance* createInterfaceInstance(GPrinterDescription*) override { return new TestInterface; }
  RWWString& configurationFileName(RWWString& out, GDriverInstance* owner) override {
    ++namesAsked;
    auto* device = dynamic_cast<ServerDevice*>(owner);
    out = RWWString(device ? device->description().file().c_str() : file.c_str());
    return out;
  }
  GInputStream* createInputStream(const RWWString& path, int32_t format) override {
    std::string narrow;
    for (size_t i = 0; i < path.length(); ++i) narrow += static_cast<char>(path[i]);
    return new GStdInputStream(new std::ifstream(narrow, std::ios::binary), format);
  }

  std::atomic<int> made{0};
  std::atomic<int> namesAsked{0};
  bool makeDevices = true;
  std::string file;
};

class CountingPool : public GTTFontFilePool {
 public:
  void flush() override { ++flushes; }
  int flushes = 0;
};

struct Abort {
  int32_t kind;
  uint16_t errorId;
  std::string source;
};
std::vector<Abort> aborts;
void recordAbort(const GFatalReport& r) { aborts.push_back({r.kind, r.errorId, std::string(r.sourceName.data())}); }

// The top object of a data file with the given children, put there as a
// restore puts them (insert takes attributes only).
void writeTree(const std::string& path, std::vector<MPersistentObject*> children) {
  GAttributeComposite top(0);
  for (MPersistentObject* c : children) top.children().append(GCountedPtr(c));
  std::ofstream file(path, std::ios::binary);
  RWbostream out(file);
  out << static_cast<const RWCollectable*>(&top);
}

std::vector<MPersistentObject*> fullTree() {
  return {new GPeripheralComposite(353), new GResourceMappingList(191), new GResourceMappingList(84),
          new GResourceMappingList(194)};
}

class DriverServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GOSFactory::factoryLock = platform_->createMutex();
    GOSFactory::theInstance = platform_;
    platform_->file = dir_.file("printer.dat");
    writeTree(platform_->file, fullTree());
    previousAbort_ = setFatalAbortHook(&recordAbort);
    aborts.clear();
    GDriverServer::create();
    server_ = GDriverServer::instance();
    ASSERT_NE(server_, nullptr);
  }
  void TearDown() override {
    delete server_;
    EXPECT_EQ(GDriverServer::instance(), nullptr) << "the process-wide pointer forgets a deleted server";
    EXPECT_EQ(devicesAlive, 0);
    EXPECT_EQ(descriptionsAlive, 0);
    setFatalAbortHook(previousAbort_);
    GDriverServer::setHandleCandidate(nullptr);
    ScriptedMutex::failAcquire = ScriptedMutex::failRelease = 0;
    delete platform_;
  }

  Description* printer(const std::string& name = "P1") { return new Description(name, platform_->file); }
  ServerDevice* registered(Description* d, uint32_t& handle) {
    return dynamic_cast<ServerDevice*>(server_->registerDevice(d, handle));
  }

  TempDir dir_;
  ServerPlatform* platform_ = new ServerPlatform;
  GDriverServer* server_ = nullptr;
  GFatalAbortHook previousAbort_ = nullptr;
};

// ---- handles --------------------------------------------------------------------------

uint32_t fixedCandidate = 0;
uint32_t candidate(uintptr_t) { return fixedCandidate; }

TEST_F(DriverServerTest, HandlesFollowTheirCandidateToTheNextFreeValue) {
  EXPECT_EQ(GDriverServer::firstHandleCandidate(0x12345678u), 0x12345678u ^ 0x1234u);
  EXPECT_EQ(GDriverServer::firstHandleCandidate(0), 1u);
  if (sizeof(uintptr_t) == 8) {
    EXPECT_EQ(GDriverServer::firstHandleCandidate(static_cast<uintptr_t>(0xFFFFFFFFFFFFull)), 1u)
        << "a XOR (a >> 16) kept to 32 bits is 0";
  }

  GDriverServer::setHandleCandidate(&candidate);
  const struct {
    const char* name;
    uint32_t candidate;
    std::vector<uint32_t> handles;
  } cases[] = {
      // A third device on one candidate walks past two taken keys.
      {"one candidate three times", 0x500, {0x500, 0x501, 0x502}},
      {"candidate 0", 0, {1, 2}},
      {"0xFFFFFFFF in use, then 1", 0xFFFFFFFF, {0xFFFFFFFF, 1, 2}},
  };
  for (const auto& c : cases) {
    fixedCandidate = c.candidate;
    std::vector<uint32_t> devices;
    for (size_t i = 0; i < c.handles.size(); ++i) {
      uint32_t h = 0;
      ASSERT_NE(registered(printer(), h), nullptr) << c.name;
      devices.push_back(h);
    }
    EXPECT_EQ(devices, c.handles) << c.name;
    uint32_t h = 0;
    ASSERT_NE(server_->registerInstance(printer(), h), nullptr);
    EXPECT_EQ(h, c.handles[0]) << c.name << ": the interface table is independent";
    GDevice* first = server_->findDevice(c.handles[0]);
    uint32_t back = 0;
    EXPECT_EQ(server_->deviceHandle(back, first), 1);
    EXPECT_EQ(back, c.handles[0]);
    EXPECT_EQ(server_->instanceHandle(back, first), 0);
    server_->removeInstance(h);
    for (uint32_t d : devices) server_->removeDevice(d);
  }
  EXPECT_TRUE(aborts.empty());
}

// ---- the cache --------------------------------------------------------------------------

TEST_F(DriverServerTest, TheSamePrinterComesBackFromTheCacheWithoutItsFile) {
  uint32_t h1 = 0;
  ServerDevice* device = registered(printer(), h1);
  ASSERT_NE(device, nullptr);
  ASSERT_NE(device->configuration(), nullptr);
  EXPECT_NE(device->codeMappings(), nullptr);
  EXPECT_NE(device->storedPart(), nullptr);
  EXPECT_EQ(server_->findDevice(h1), device);
  server_->removeDevice(h1);
  EXPECT_EQ(device->released, 1);
  EXPECT_EQ(server_->findDevice(h1), nullptr);
  EXPECT_EQ(server_->cachedDevice(), device);

  std::remove(platform_->file.c_str());
  uint32_t h2 = 0;
  EXPECT_EQ(registered(printer(), h2), device) << "reused, not read again";
  EXPECT_EQ(device->resets, 1);
  EXPECT_EQ(platform_->made, 1);
  EXPECT_EQ(server_->cachedDevice(), nullptr);
  EXPECT_EQ(descriptionsAlive, 1) << "only the device's own";
  server_->removeDevice(h2);

  // Another printer of the model gets a device of its own; the cache stays.
  writeTree(platform_->file, fullTree());
  uint32_t h3 = 0;
  ServerDevice* other = registered(printer("P2"), h3);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, device);
  EXPECT_EQ(server_->cachedDevice(), device);
  EXPECT_EQ(devicesAlive, 2);

  // Two removals in a row: the first cached device goes.
  server_->removeDevice(h3);
  EXPECT_EQ(server_->cachedDevice(), other);
  EXPECT_EQ(devicesAlive, 1);
  EXPECT_TRUE(aborts.empty());
}

// ---- registration failures --------------------------------------------------------------

TEST_F(DriverServerTest, AFailedRegistrationLeavesNothingBehind) {
  const struct {
    const char* name;
    bool makeDevice;
    std::string bytes;  // the data file, when not a tree
    std::vector<MPersistentObject*> tree;
  } cases[] = {
      {"no device made", false, "", fullTree()},
      {"unreadable file", true, "-", {}},
      {"no object", true, "", {}},
      {"no root", true, "", {new GResourceMappingList(191), new GResourceMappingList(194)}},
      {"a state as the root", true, "", {new GState(353), new GResourceMappingList(194)}},
      // The root reads whole, the tree around it does not: damaged.
      {"a tree cut short after its root", true, "cut", fullTree()},
  };
  for (const auto& c : cases) {
    platform_->makeDevices = c.makeDevice;
    std::remove(platform_->file.c_str());
    if (c.name == std::string("no object")) std::ofstream(platform_->file, std::ios::binary | std::ios::trunc);
    else if (c.bytes.empty() || c.bytes == "cut") writeTree(platform_->file, c.tree);
    if (c.bytes == "cut") std::filesystem::resize_file(platform_->file, std::filesystem::file_size(platform_->file) - 5);
    uint32_t handle = 0xABCD;
    EXPECT_EQ(server_->registerDevice(printer(), handle), nullptr) << c.name;
    EXPECT_EQ(handle, 0xABCDu) << c.name;
    EXPECT_EQ(server_->deviceEntries(), 0u) << c.name;
    EXPECT_EQ(devicesAlive, 0) << c.name;
    EXPECT_EQ(descriptionsAlive, 0) << c.name;
  }
  // An interface instance needs a root too.
  uint32_t handle = 0xABCD;
  EXPECT_EQ(server_->registerInstance(printer(), handle), nullptr);
  EXPECT_EQ(handle, 0xABCDu);
}

TEST_F(DriverServerTest, MissingOrStrangePartsCountAsAbsent) {
  writeTree(platform_->file, {new GPeripheralComposite(353), new GState(191), new GResourceMappingList(84)});
  uint32_t handle = 0;
  ServerDevice* device = registered(printer(), handle);
  ASSERT_NE(device, nullptr);
  EXPECT_NE(device->configuration(), nullptr);
  EXPECT_EQ(device->codeMappings(), nullptr) << "a state is no mapping list";
  ASSERT_NE(device->storedPart(), nullptr);
  ASSERT_NE(device->resourceMappings(), nullptr) << "made when the file has none";
  EXPECT_EQ(device->resourceMappings()->id(), 194u);
  EXPECT_EQ(device->resourceMappings()->entries(), 0u);
  server_->removeDevice(handle);
}

// ---- removal, shut-down and memory -------------------------------------------------------

TEST_F(DriverServerTest, AnUnknownHandleIsFatalOutsideShutDownOnly) {
  server_->removeDevice(0x1234);
  ASSERT_EQ(aborts.size(), 1u);
  EXPECT_EQ(aborts[0].kind, 1);
  EXPECT_EQ(aborts[0].errorId, 501);
  EXPECT_EQ(aborts[0].source, "drvrsrvr");

  uint32_t h = 0;
  ServerDevice* device = registered(printer(), h);
  ASSERT_NE(device, nullptr);
  uint32_t other = 0;
  ASSERT_NE(registered(printer("P2"), other), nullptr);
  server_->shutDown();
  EXPECT_EQ(server_->isShuttingDown(), 1u);
  server_->removeInstance(0x1234);
  server_->removeDevice(h);
  EXPECT_EQ(aborts.size(), 1u) << "tolerated during shut-down";
  EXPECT_EQ(server_->cachedDevice(), nullptr) << "deleted at once";
  EXPECT_EQ(devicesAlive, 1);

  // The last device ends the shut-down and flushes the font-file pool,
  // when there is one.
  server_->removeDevice(other);
  EXPECT_EQ(server_->isShuttingDown(), 0u);
  CountingPool pool;
  GTTFontFilePool* previous = GTTFontFilePool::setInstance(&pool);
  ASSERT_NE(registered(printer(), h), nullptr);
  server_->removeDevice(h);
  EXPECT_EQ(pool.flushes, 1);
  GTTFontFilePool::setInstance(previous);
}

TEST_F(DriverServerTest, ReleaseMemoryEmptiesTheCachesFirst) {
  uint32_t h1 = 0;
  uint32_t h2 = 0;
  ServerDevice* kept = registered(printer("P1"), h1);
  ServerDevice* cached = registered(printer("P2"), h2);
  ASSERT_TRUE(kept && cached);
  kept->freeable = 7;
  server_->removeDevice(h2);
  EXPECT_EQ(server_->releaseMemory(), 1) << "the cache alone";
  EXPECT_EQ(devicesAlive, 1);
  EXPECT_EQ(server_->releaseMemory(), 7) << "then what a device frees";
  kept->freeable = 0;
  EXPECT_EQ(server_->releaseMemory(), 0);
  server_->removeDevice(h1);
}

TEST_F(DriverServerTest, AFailingLockIsFatalAndShutsTheServerDown) {
  const struct {
    int acquire;
    int release;
    uint16_t errorId;
  } cases[] = {{1, 0, 301}, {0, 1, 302}};
  for (const auto& c : cases) {
    aborts.clear();
    uint32_t h = 0;
    ASSERT_NE(registered(printer(), h), nullptr);
    ScriptedMutex::failAcquire = c.acquire;
    ScriptedMutex::failRelease = c.release;
    EXPECT_NE(server_->findDevice(h), nullptr);
    ASSERT_EQ(aborts.size(), 1u) << c.errorId;
    EXPECT_EQ(aborts[0].kind, 2);
    EXPECT_EQ(aborts[0].errorId, c.errorId);
    EXPECT_EQ(aborts[0].source, "drvrsrvr");
    EXPECT_EQ(server_->isShuttingDown(), 1u);
    server_->removeDevice(h);
  }

  // A lock that keeps failing is reported once per operation, not again
  // from the shut-down its report runs.
  aborts.clear();
  ScriptedMutex::failAcquire = 1000;
  server_->releaseCached();
  EXPECT_EQ(aborts.size(), 2u) << "one report for each table's lock";
  ScriptedMutex::failAcquire = 0;
}

TEST_F(DriverServerTest, TheServerIsTheJournalsDeviceDirectory) {
  uint32_t h = 0;
  ServerDevice* device = registered(printer(), h);
  ASSERT_NE(device, nullptr);
  GDocumentStart start(RWWString(u"doc"), RWWString(u"port"), device);
  std::unique_ptr<GDocumentStart> copy(start.copy());
  EXPECT_EQ(copy->device(), device);
  server_->removeDevice(h);
}

TEST_F(DriverServerTest, ALaterServerReplacesTheOneBefore) {
  uint32_t h = 0;
  ASSERT_NE(registered(printer(), h), nullptr);
  auto* later = new GDriverServer;
  EXPECT_EQ(GDriverServer::instance(), nullptr) << "the server create made is gone";
  EXPECT_EQ(devicesAlive, 0) << "with its devices";
  server_ = later;
}

// ---- threads ------------------------------------------------------------------------------

TEST_F(DriverServerTest, EightThreadsRegisterAndRemoveTogether) {
  constexpr int kThreads = 8;
  constexpr int kEach = 6;
  std::vector<std::vector<uint32_t>> handles(kThreads);
  std::vector<std::vector<GDevice*>> devices(kThreads);
  std::barrier allRegistered(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kEach; ++i) {
          uint32_t h = 0;
          GDevice* d = server_->registerDevice(printer("P" + std::to_string(t * kEach + i)), h);
          if (!d) continue;
          handles[t].push_back(h);
          devices[t].push_back(d);
        }
        allRegistered.arrive_and_wait();
        if (t == 0) {
          std::set<uint32_t> distinct;
          size_t total = 0;
          for (const auto& hs : handles) {
            distinct.insert(hs.begin(), hs.end());
            total += hs.size();
          }
          EXPECT_EQ(total, static_cast<size_t>(kThreads * kEach));
          EXPECT_EQ(distinct.size(), total) << "live handles are distinct";
        }
        allRegistered.arrive_and_wait();
        for (size_t i = 0; i < handles[t].size(); ++i) {
          EXPECT_EQ(server_->findDevice(handles[t][i]), devices[t][i]);
          server_->removeDevice(handles[t][i]);
        }
        handles[t].clear();
        devices[t].clear();
        allRegistered.arrive_and_wait();
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(server_->deviceEntries(), 0u);
  EXPECT_TRUE(aborts.empty());
  EXPECT_LE(devicesAlive, 1) << "only the cached device";
}

}  // namespace
