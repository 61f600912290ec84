#include "device/drvrsrvr.h"

#include <memory>
#include <new>

#include "core/discard.h"
#include "core/fatalerr.h"
#include "core/newhndlr.h"
#include "core/osfactry.h"
#include "device/device.h"
#include "device/drvinst.h"
#include "device/pericomp.h"
#include "rw/startup.h"
#include "device/prndesc.h"
#include "device/resmap.h"
#include "graphics/ttflpool.h"
#include "journal/ctlcmds.h"
#include "rw/kmsys.h"
#include "rw/vstream.h"

namespace {

const char* const kSource = "drvrsrvr";

// The server create made, which the hooks and the device directory reach.
GDriverServer* theServer = nullptr;

// Keeps the most recently constructed server, deleted at the library's stop.
struct ServerHolder {
  GDriverServer* server = nullptr;
};
ServerHolder holder;

void deleteHeldServer() {
  GDriverServer* last = holder.server;
  holder.server = nullptr;
  delete last;
}
RW_STARTUP(serverHolderEntry, nullptr, deleteHeldServer);

GDriverServer::HandleCandidate candidateOf = &GDriverServer::firstHandleCandidate;

// The hooks the server answers: the fatal-error shut-down, the
// new-handler's call for memory, and the journal's device directory. Each
// does nothing while there is no server.
void shutDownHook() {
  if (theServer) theServer->shutDown();
}

bool releaseMemoryHook() { return theServer && theServer->releaseMemory() != 0; }

bool handleOfDevice(const GDevice* device, uint32_t& handle) {
  return theServer && device && theServer->deviceHandle(handle, device) != 0;
}

GDevice* deviceOfHandle(uint32_t handle) { return theServer ? theServer->findDevice(handle) : nullptr; }

// A part of the stored tree taken out by id, of the class its reader needs,
// or null: a part of another class is deleted.
MPersistentObject* takePart(MPersistentObject& top, uint32_t id, RWClassID kind) {
  MPersistentObject* part = top.removeById(id);
  if (part && !part->isKindOf(kind)) {
    delete part;
    return nullptr;
  }
  return part;
}

}  // namespace

// Holds a table's lock for a scope: a failed acquire is fatal (kind 2), and
// a lock that was not had is not released. The report shuts the server
// down, which takes the locks again; a lock failing again while its report
// runs is not reported once more, or a lock that keeps failing would
// recurse without end where the abort returns.
class GDriverServer::TableLock {
 public:
  TableLock(Table& table, int32_t line) : lock_(table.lock), line_(line) {
    if (lock_ && lock_->acquire() != 0) {
      lock_ = nullptr;
      report(kFatalLockAcquire, "lock not acquired");
    }
  }
  ~TableLock() {
    if (lock_ && lock_->release() == -2) report(kFatalLockRelease, "lock not released");
  }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;

 private:
  void report(uint16_t errorId, const char* message) {
    static thread_local bool reporting = false;
    if (reporting) return;
    reporting = true;
    reportFatalError(kFatalShutDownAndAbort, errorId, kSource, line_, message);
    reporting = false;
  }

  GOSMutex* lock_;
  int32_t line_;
};

// ---- the singleton --------------------------------------------------------------------

GDriverServer::GDriverServer() : shuttingDown_(0) {
  if (GOSFactory* factory = GOSFactory::instance()) {
    factory->createMutexOnce(interfaces_.lock);
    factory->createMutexOnce(devices_.lock);
  }
  GDriverServer* previous = holder.server;
  holder.server = this;
  delete previous;
  setDriverServerShutDownHook(&shutDownHook);
  setMemoryReleaseHook(&releaseMemoryHook);
  gSetDeviceDirectory({&handleOfDevice, &deviceOfHandle});
}

GDriverServer::~GDriverServer() {
  // Nobody reaches a server that is going: the process-wide pointer and
  // the holder forget it first.
  if (theServer == this) theServer = nullptr;
  if (holder.server == this) holder.server = nullptr;
  removeAll();
  releaseCached();
  delete interfaces_.lock;
  delete devices_.lock;
}

void GDriverServer::create() {
  if (theServer) return;
  theServer = new (std::nothrow) GDriverServer;
}

GDriverServer* GDriverServer::instance() { return theServer; }

// ---- handles --------------------------------------------------------------------------

uint32_t GDriverServer::firstHandleCandidate(uintptr_t address) {
  const uint32_t candidate = static_cast<uint32_t>(address ^ (address >> 16));
  return candidate ? candidate : 1;
}

GDriverServer::HandleCandidate GDriverServer::setHandleCandidate(HandleCandidate candidate) {
  const HandleCandidate previous = candidateOf;
  candidateOf = candidate ? candidate : &firstHandleCandidate;
  return previous;
}

bool GDriverServer::Table::hasKey(uint32_t key) {
  for (const Entry& e : bucketOf(key))
    if (e.key == key) return true;
  return false;
}

uint32_t GDriverServer::addEntry(Table& table, GDriverInstance* instance) {
  uint32_t key = candidateOf(reinterpret_cast<uintptr_t>(instance));
  if (key == 0) key = 1;
  TableLock lock(table, __LINE__);
  // A table holds far fewer than 2^32 entries, so a free key is found.
  while (table.hasKey(key)) key = key == 0xFFFFFFFFu ? 1 : key + 1;
  table.bucketOf(key).push_back(Entry{key, instance});
  ++table.count;
  return key;
}

// ---- registration ---------------------------------------------------------------------

GDriverInstance* GDriverServer::registerIn(Table& table, GPrinterDescription* description, bool device) {
  std::unique_ptr<GPrinterDescription> given(description);
  configurationRefused_ = 0;
  GDriverInstance* instance = nullptr;
  {
    TableLock lock(table, __LINE__);
    if (table.cache && given) {
      std::unique_ptr<GPrinterDescription> cached(table.cache->printerDescription());
      if (cached && cached->equals(*given)) {
        // Out of the cache, it is held here: a reset that throws when
        // memory runs out takes it with it.
        std::unique_ptr<GDriverInstance> reused(table.cache);
        table.cache = nullptr;
        reused->reset(given.get());
        instance = reused.release();
      }
    }
  }
  if (!instance) {
    // Held until its configuration is loaded: reading the data file may
    // throw when memory runs out, and the new instance must go with it.
    std::unique_ptr<GDriverInstance> made;
    GOSFactory* factory = GOSFactory::instance();
    if (factory) {
      if (device) {
        if (GDevice* madeDevice = factory->createDeviceInstance(given.get())) made.reset(madeDevice);
      } else {
        made.reset(factory->createInterfaceInstance(given.get()));
      }
    }
    if (!made) return nullptr;
    if (!loadConfiguration(made.get())) {
      configurationRefused_ = 1;
      return nullptr;
    }
    instance = made.release();
  }
  given.reset();
  return instance;
}

GInterfaceInstance* GDriverServer::registerInstance(GPrinterDescription* description, uint32_t& handle) {
  GDriverInstance* instance = registerIn(interfaces_, description, false);
  if (!instance) return nullptr;
  handle = addEntry(interfaces_, instance);
  return instance->asInterfaceInstance();
}

GDevice* GDriverServer::registerDevice(GPrinterDescription* description, uint32_t& handle) {
  GDriverInstance* instance = registerIn(devices_, description, true);
  if (!instance) return nullptr;
  handle = addEntry(devices_, instance);
  return instance->asDevice();
}

namespace {

// A refused data file is reported on the debug output, naming the file and
// what was wrong with it: the driver's only answer to the engine is a
// failure and a last error, which cannot say which file or why.
void reportRefusedFile(const RWWString& name, const char* cause, uint32_t at = 0) {
  const RWCString file = name.toMultiByte();
  if (at)
    kernelDebugPrint("Printer data file \"%s\": %s (read as far as byte %u)\n", file.data(), cause,
                     static_cast<unsigned>(at));
  else
    kernelDebugPrint("Printer data file \"%s\": %s\n", file.data(), cause);
}

}  // namespace

int32_t GDriverServer::loadConfiguration(GDriverInstance* instance) {
  GOSFactory* factory = GOSFactory::instance();
  if (!factory || !instance) return 0;
  RWWString name;
  factory->configurationFileName(name, instance);
  std::unique_ptr<GInputStream> holder(factory->createInputStream(name, kBinaryStream));
  if (!holder || !holder->stream() || !holder->stream()->good()) {
    reportRefusedFile(name, "cannot be opened");
    return 0;
  }
  RWCollectable* read = nullptr;
  *holder->stream() >> read;
  // A stream that failed on the way holds a damaged tree: what was read
  // before the damage may look whole and still make a broken job.
  const bool whole = holder->stream()->good();
  const uint32_t at = holder->position();
  holder.reset();
  if (!whole) {
    if (read) gDiscardGraph(read);
    reportRefusedFile(name, "the stored tree is damaged and cannot be read whole", at);
    return 0;
  }
  if (!read) {
    reportRefusedFile(name, "holds no stored tree");
    return 0;
  }
  auto* top = dynamic_cast<MPersistentObject*>(read);
  if (!top) {
    gDiscardGraph(read);
    reportRefusedFile(name, "holds no configuration");
    return 0;
  }
  std::unique_ptr<MPersistentObject> owned(top);

  // Without a configuration root the device has nothing to send its
  // commands to: such a file is as good as none.
  MPersistentObject* root = takePart(*top, AttrId::ConfigurationRoot, ClassId::GPeripheralComposite);
  if (!root) {
    reportRefusedFile(name, "holds no configuration root");
    return 0;
  }
  instance->setConfiguration(static_cast<GPeripheralComposite*>(root));
  instance->setCodeMappings(static_cast<GResourceMappingList*>(
      takePart(*top, AttrId::CodeMappings, ClassId::GResourceMappingList)));
  instance->setStoredPart(static_cast<GResourceMappingList*>(
      takePart(*top, AttrId::TrayMappings, ClassId::GResourceMappingList)));
  MPersistentObject* resources =
      takePart(*top, AttrId::ResourceMappings, ClassId::GResourceMappingList);
  if (!resources) resources = new GResourceMappingList(AttrId::ResourceMappings);
  instance->setResourceMappings(static_cast<GResourceMappingList*>(resources));
  return 1;
}

// ---- lookups --------------------------------------------------------------------------

GDriverInstance* GDriverServer::findIn(Table& table, uint32_t handle) {
  TableLock lock(table, __LINE__);
  for (const Entry& e : table.bucketOf(handle))
    if (e.key == handle) return e.instance;
  return nullptr;
}

GInterfaceInstance* GDriverServer::findInstance(uint32_t handle) {
  GDriverInstance* instance = findIn(interfaces_, handle);
  return instance ? instance->asInterfaceInstance() : nullptr;
}

GDevice* GDriverServer::findDevice(uint32_t handle) {
  GDriverInstance* instance = findIn(devices_, handle);
  return instance ? instance->asDevice() : nullptr;
}

int32_t GDriverServer::handleIn(Table& table, uint32_t& handle, const GDriverInstance* instance) {
  TableLock lock(table, __LINE__);
  for (const std::list<Entry>& bucket : table.buckets)
    for (const Entry& e : bucket)
      if (e.instance == instance) {
        handle = e.key;
        return 1;
      }
  return 0;
}

int32_t GDriverServer::instanceHandle(uint32_t& handle, const GDriverInstance* instance) {
  return handleIn(interfaces_, handle, instance);
}

int32_t GDriverServer::deviceHandle(uint32_t& handle, const GDriverInstance* instance) {
  return handleIn(devices_, handle, instance);
}

// ---- removal --------------------------------------------------------------------------

void GDriverServer::removeEntry(Table& table, uint32_t handle) {
  GDriverInstance* doomed = nullptr;
  bool found = false;
  {
    TableLock lock(table, __LINE__);
    std::list<Entry>& bucket = table.bucketOf(handle);
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
      if (it->key != handle) continue;
      GDriverInstance* removed = it->instance;
      bucket.erase(it);
      --table.count;
      found = true;
      if (!shuttingDown_) {
        removed->releaseResources();
        doomed = table.cache;
        table.cache = removed;
      } else {
        doomed = removed;
      }
      break;
    }
  }
  delete doomed;
  if (!found && !shuttingDown_)
    reportFatalError(kFatalAbort, kFatalUnknownHandle, kSource, __LINE__, "no driver instance has the handle");
}

void GDriverServer::removeInstance(uint32_t handle) { removeEntry(interfaces_, handle); }

void GDriverServer::removeDevice(uint32_t handle) {
  removeEntry(devices_, handle);
  TableLock lock(devices_, __LINE__);
  if (devices_.count == 0) {
    // The platform layer may never have made a pool.
    if (GTTFontFilePool* pool = GTTFontFilePool::instance()) pool->flush();
    shuttingDown_ = 0;
  }
}

int32_t GDriverServer::releaseCache(Table& table) {
  TableLock lock(table, __LINE__);
  if (!table.cache) return 0;
  GDriverInstance* cached = table.cache;
  table.cache = nullptr;
  delete cached;
  return 1;
}

int32_t GDriverServer::releaseCached() {
  const int32_t interfaceFreed = releaseCache(interfaces_);
  const int32_t deviceFreed = releaseCache(devices_);
  return interfaceFreed || deviceFreed ? 1 : 0;
}

void GDriverServer::empty(Table& table) {
  for (size_t i = table.buckets.size(); i-- > 0;) {
    std::list<Entry>& bucket = table.buckets[i];
    while (!bucket.empty()) {
      GDriverInstance* instance = bucket.front().instance;
      bucket.pop_front();
      delete instance;
    }
  }
  table.count = 0;
}

void GDriverServer::removeAll() {
  {
    TableLock lock(interfaces_, __LINE__);
    empty(interfaces_);
  }
  TableLock lock(devices_, __LINE__);
  if (devices_.count == 0) return;
  for (std::list<Entry>& bucket : devices_.buckets)
    for (Entry& e : bucket) e.instance->releaseResources();
  empty(devices_);
}

int32_t GDriverServer::shutDown() {
  shuttingDown_ = 1;
  return releaseCached();
}

int32_t GDriverServer::freeMemoryIn(Table& table) {
  TableLock lock(table, __LINE__);
  int32_t freed = 0;
  for (std::list<Entry>& bucket : table.buckets)
    for (Entry& e : bucket)
      if ((freed = e.instance->freeMemory()) != 0) return freed;
  return freed;
}

int32_t GDriverServer::releaseMemory() {
  if (releaseCached()) return 1;
  if (freeMemoryIn(interfaces_)) return 1;
  return freeMemoryIn(devices_);
}
