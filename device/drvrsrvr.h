#ifndef DEVICE_DRVRSRVR_H
#define DEVICE_DRVRSRVR_H

// The driver server: the one process-wide owner of every live driver
// instance, which hands out plain 32-bit handles for them. The platform
// layer keeps the handle of each device it enables and gives it back to
// remove the device; stored objects keep only the handle and resolve it
// through findDevice (the server installs itself as the journal's device
// directory).
//
// Two independent tables: interface instances (the user interface's side)
// and devices. Each has its own lock from the platform services (none when
// they make none) and a one-entry cache that keeps the most recently
// removed instance, so that enabling the same printer again reuses it
// without reading its data file. An instance is in exactly one place at a
// time: a table, a cache, or deleted.
//
// A handle is non-zero. The first candidate comes from the instance's
// address; a candidate in use is followed by the next (0xFFFFFFFF by 1).
//
// The server also answers the fatal-error shut-down (shutDown: from then on
// removals delete at once and unknown handles are tolerated, until the last
// device is gone) and the new-handler's call for memory (releaseMemory).
//
// Lock failures are fatal errors 301 (acquire) and 302 (release) of kind 2;
// removing a handle no table has, outside shut-down, is fatal error 501 of
// kind 1. All name "drvrsrvr".

#include <array>
#include <atomic>
#include <cstdint>
#include <list>

class GDevice;
class GDriverInstance;
class GInterfaceInstance;
class GOSMutex;
class GPrinterDescription;

class GDriverServer {
 public:
  // The most recently constructed server replaces (deletes) the one before
  // it; the last is deleted at process exit.
  GDriverServer();
  GDriverServer(const GDriverServer&) = delete;
  GDriverServer& operator=(const GDriverServer&) = delete;
  // Deletes every instance still registered and both caches.
  virtual ~GDriverServer();

  // Makes the process-wide server unless there is one.
  static void create();
  static GDriverServer* instance();

  // Both take the description and delete it before they return. Null when
  // no instance could be made or its data file gave no usable
  // configuration; the handle is then not written.
  GInterfaceInstance* registerInstance(GPrinterDescription* description, uint32_t& handle);
  GInterfaceInstance* findInstance(uint32_t handle);
  void removeInstance(uint32_t handle);
  GDevice* registerDevice(GPrinterDescription* description, uint32_t& handle);
  GDevice* findDevice(uint32_t handle);
  // After the last device the font-file pool is flushed and the server
  // leaves shut-down.
  void removeDevice(uint32_t handle);

  // Reverse lookups: 1 and the handle, or 0.
  int32_t instanceHandle(uint32_t& handle, const GDriverInstance* instance);
  int32_t deviceHandle(uint32_t& handle, const GDriverInstance* instance);

  // Deletes both cached instances: 1 when there was one.
  int32_t releaseCached();
  void removeAll();
  int32_t shutDown();
  // Non-zero when something was freed: the caches first, then the first
  // instance whose freeMemory frees anything.
  int32_t releaseMemory();
  // Restores the instance's stored parts from its printer's data file: 1,
  // or 0 when the file cannot be read whole (its stream failed on the way)
  // or gives no configuration root. A refusal is reported on the debug
  // output, naming the file and the fault.
  int32_t loadConfiguration(GDriverInstance* instance);
  // 1 when the last registration failed because its data file was
  // refused, not for want of an instance; for the platform's last error.
  uint32_t configurationRefused() const { return configurationRefused_; }

  uint32_t isShuttingDown() const { return shuttingDown_; }
  uint32_t deviceEntries() const { return devices_.count; }
  uint32_t instanceEntries() const { return interfaces_.count; }
  GDriverInstance* cachedDevice() const { return devices_.cache; }
  GDriverInstance* cachedInstance() const { return interfaces_.cache; }

  // The first handle candidate of an instance address: a XOR (a >> 16),
  // kept to 32 bits, 0 made 1. Tests replace it to choose collisions; null
  // puts this one back. Answers the one replaced.
  using HandleCandidate = uint32_t (*)(uintptr_t address);
  static uint32_t firstHandleCandidate(uintptr_t address);
  static HandleCandidate setHandleCandidate(HandleCandidate candidate);

 private:
  struct Entry {
    uint32_t key;
    GDriverInstance* instance;
  };
  struct Table {
    std::array<std::list<Entry>, 64> buckets;
    uint32_t count = 0;
    GOSMutex* lock = nullptr;
    GDriverInstance* cache = nullptr;

    std::list<Entry>& bucketOf(uint32_t key) { return buckets[key % 64]; }
    bool hasKey(uint32_t key);
  };
  class TableLock;

  uint32_t addEntry(Table& table, GDriverInstance* instance);
  GDriverInstance* registerIn(Table& table, GPrinterDescription* description, bool device);
  void removeEntry(Table& table, uint32_t handle);
  GDriverInstance* findIn(Table& table, uint32_t handle);
  int32_t handleIn(Table& table, uint32_t& handle, const GDriverInstance* instance);
  int32_t releaseCache(Table& table);
  void empty(Table& table);
  int32_t freeMemoryIn(Table& table);

  Table interfaces_;
  Table devices_;
  std::atomic<uint32_t> shuttingDown_;
  std::atomic<uint32_t> configurationRefused_{0};
};

#endif
