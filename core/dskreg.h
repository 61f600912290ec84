#ifndef CORE_DSKREG_H
#define CORE_DSKREG_H

// What the on-disk composite's handles share across the process: the lock
// that every store is used under, the registry of open stores, and the
// folder rule for handles read from stored bytes. Used by the handle
// (pcompdsk) and the store (dskstore); nothing else needs it.
//
// The registry keeps one entry per attached handle, each with the store of
// the handle's name, so that every handle of one name shares one store. It
// is made at the library's start (or by the first attach, if that comes
// first) and emptied at its stop; a handle that goes after that (a static
// one) finds no registry and only lets go of its store.
//
// The folder rule: a handle made from a file name by this process's own
// code notes the name's folder; a handle read from stored bytes, which may
// come from outside (a configuration, a DEVMODE), may open a file only by a
// plain file name in one of the noted folders. A plain file name is not
// empty, not "." or "..", and holds no separator, no ':' (of a drive or a
// stream) and no zero byte. Anything else is refused; the rule never opens,
// makes or looks at a file itself.

#include <list>
#include <vector>

#include "core/cntdptr.h"
#include "rw/cstring.h"

class RWStaticMutex;

// Serialises attaching, detaching and every use of a store's file and
// index in the process. Re-entrant: closing a store detaches the handles
// its proxies hold, and restoring a handle attaches it, both while the
// lock is held.
RWStaticMutex& gStoreLock();

struct GStoreRegistryEntry {
  RWCString name;
  GCountedRef store;
};

class GStoreRegistry {
 public:
  GStoreRegistry() = default;
  // Releases every entry, which closes each store whose last reference
  // goes. Closing a store may detach further handles: the list is looked
  // at afresh after every release.
  ~GStoreRegistry();
  GStoreRegistry(const GStoreRegistry&) = delete;
  GStoreRegistry& operator=(const GStoreRegistry&) = delete;

  // The first entry of the name, or entries.end().
  std::list<GStoreRegistryEntry>::iterator find(const RWCString& name);

  std::list<GStoreRegistryEntry> entries;
};

// The process's registry, made when first asked for; null once it has been
// emptied at the library's stop. Used under the store lock.
GStoreRegistry* gStoreRegistry();

// The folders in which a restored handle may open a file.
class GStoreFolders {
 public:
  // Notes the folder of a name that this process's own code gave a handle;
  // a null name names no file, and so no folder either.
  void note(const RWCString& name);
  // Whether a handle read from stored bytes may open the name: a plain file
  // name in a noted folder.
  bool admits(const RWCString& name) const;

  // A name's folder: the name up to and with its last separator (a
  // backslash within the system, '/' as well), empty for a name without
  // one, so that "x" and "/x" are in different folders. The rest goes to
  // leaf.
  static RWCString folderOf(const RWCString& name, RWCString* leaf = nullptr);

 private:
  std::vector<RWCString> folders_;
};

// The process's store folders, each under the store lock.
void gNoteStoreFolder(const RWCString& name);
bool gInStoreFolder(const RWCString& name);

#endif
