#include "core/dskreg.h"

#include <atomic>

#include "rw/mutex.h"

namespace {

// Declared before the registry, so that it outlives it.
RW_FILE_LOCK(storeLock);

// Set once the registry has been emptied at exit.
std::atomic<bool> registryGone{false};

// Made at the library's start, or by the first attach if that comes first;
// emptied and deleted at its stop.
GStoreRegistry* theRegistry = nullptr;

GStoreRegistry& registry() {
  if (!theRegistry) theRegistry = new GStoreRegistry;
  return *theRegistry;
}

void startRegistry() {
  registryGone = false;
  registry();
}

void stopRegistry() {
  delete theRegistry;
  theRegistry = nullptr;
}

RW_STARTUP(registryEntry, startRegistry, stopRegistry);

// The folders in which this process's own code has named a store (a handle
// made from a file name). Used under the store lock.
GStoreFolders& storeFolders() {
  static GStoreFolders folders;
  return folders;
}

}  // namespace

RWStaticMutex& gStoreLock() { return storeLock; }

// ---- the registry of open stores ----------------------------------------------------

GStoreRegistry::~GStoreRegistry() {
  RWGuard guard(storeLock);
  while (!entries.empty()) {
    GCountedRef released = entries.front().store;
    entries.pop_front();
  }
  registryGone = true;
}

std::list<GStoreRegistryEntry>::iterator GStoreRegistry::find(const RWCString& name) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->name == name) return it;
  }
  return entries.end();
}

GStoreRegistry* gStoreRegistry() { return registryGone ? nullptr : &registry(); }

// ---- where stores live --------------------------------------------------------------

RWCString GStoreFolders::folderOf(const RWCString& name, RWCString* leaf) {
  const char* text = name.data();
  RWsize cut = name.length();
  while (cut > 0 && text[cut - 1] != '/' && text[cut - 1] != '\\') --cut;
  if (leaf) *leaf = RWCString(text + cut, name.length() - cut);
  return RWCString(text, cut);
}

void GStoreFolders::note(const RWCString& name) {
  if (name.isNull()) return;  // names no file, so no folder either
  const RWCString folder = folderOf(name);
  for (const RWCString& f : folders_) {
    if (f == folder) return;
  }
  folders_.push_back(folder);
}

bool GStoreFolders::admits(const RWCString& name) const {
  RWCString leaf;
  const RWCString folder = folderOf(name, &leaf);
  if (leaf.isNull() || leaf == "." || leaf == "..") return false;
  for (RWsize i = 0; i < leaf.length(); ++i) {
    const char c = leaf.data()[i];
    if (c == ':' || c == '\0') return false;
  }
  for (const RWCString& f : folders_) {
    if (f == folder) return true;
  }
  return false;
}

void gNoteStoreFolder(const RWCString& name) {
  RWGuard guard(storeLock);
  storeFolders().note(name);
}

bool gInStoreFolder(const RWCString& name) {
  RWGuard guard(storeLock);
  return storeFolders().admits(name);
}
