// rwdump: prints what a stored file holds, one line per object.
//
//   rwdump FILE
//
// FILE is either a stored object tree (a configuration file: the binary
// store form, beginning with its magic word) or an on-disk store file (a
// free-list file with its B-tree and record index). Every object is
// printed with the object-tree dump: depth, id, class ID, address and
// reference count. The file is only read: an on-disk store inside the tree
// is named, not opened.
//
// Exit status: 0 printed, 1 bad arguments, 2 the file could not be read
// (what could be read is printed first).

#include <iostream>
#include <memory>
#include <vector>

#include "core/pcompdsk.h"
#include "core/recindex.h"
#include "core/treedump.h"
#include "rw/filemgr.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"

namespace {

constexpr int32_t storeMagic = 0x8888;

// Reports from the library go to standard error, marked as such.
void printReport(const RWErrorBase& e) { std::cerr << "rwdump: " << e.why() << '\n'; }

// The dump's lines for a tree, without entering an on-disk store: its
// handle's line is followed by the file it names.
void dumpTree(GObjectTreeDumper& dumper, MPersistentObject* object, int depth) {
  dumper.dumpObject(object, depth);
  if (!object) return;
  if (auto* handle = dynamic_cast<MPersistentCompositeOnDisk*>(object)) {
    for (int i = 0; i <= depth; ++i) std::cout << "  |";
    std::cout << " on-disk store \"" << handle->heldFileName().data() << "\"\n";
    return;
  }
  // An object without an iterator (a booklet entry) is a leaf.
  const std::unique_ptr<GChildIterator> it(object->createIterator());
  while (it && it->advance()) dumpTree(dumper, it->current(), depth + 1);
}

std::unique_ptr<MPersistentObject> restoreOne(RWFile& file, bool& failed) {
  RWCollectable::Restored r = RWCollectable::restoreObject(file, nullptr);
  failed = r.failed || file.Error() || file.Eof();
  MPersistentObject* object = dynamic_cast<MPersistentObject*>(r.object);
  if (!object && r.object && r.fresh) {
    std::cout << " an object of class " << r.object->isA() << ", not a persistent object\n";
    RWCollectable::discardRestored(r.object);
  }
  return std::unique_ptr<MPersistentObject>(r.fresh ? object : nullptr);
}

int dumpObjectFile(const char* name) {
  RWFile file(name, "rb");
  if (!file.isValid()) {
    std::cerr << "rwdump: cannot open " << name << '\n';
    return 2;
  }
  std::cout << "object tree " << name << '\n';
  GObjectTreeDumper dumper(&std::cout);
  // A file may hold several trees, each stored on its own.
  int status = 0;
  for (;;) {
    const RWoffset at = file.CurOffset();
    int32_t word = 0;
    if (!file.Read(word)) break;  // the end
    file.SeekTo(at);
    bool failed = false;
    const std::unique_ptr<MPersistentObject> object = restoreOne(file, failed);
    if (object) dumpTree(dumper, object.get(), 0);
    if (failed) {
      std::cerr << "rwdump: " << name << ": the stored tree at offset " << at << " cannot be read whole\n";
      status = 2;
      break;
    }
  }
  return status;
}

// A stored object and, for an in-memory composite, its children read back
// into it, as the store itself would fetch them.
std::unique_ptr<MPersistentObject> fetch(GStoreFileReader& store, GRecord& record, bool& damaged) {
  if (!store.seekToObject(record)) {
    char key[GRecord::keyLength + 1];
    record.key(key);
    std::cerr << "rwdump: no stored object for record " << key << '\n';
    damaged = true;
    return nullptr;
  }
  bool failed = false;
  std::unique_ptr<MPersistentObject> object = restoreOne(store.file(), failed);
  if (failed || !object) damaged = true;
  store.file().ClearErr();
  if (GRecordComposite* c = record.children()) {
    c->forEachRecord([&](GRecord& member) {
      std::unique_ptr<MPersistentObject> child = fetch(store, member, damaged);
      if (object && child) object->insert(child.release());  // the composite takes it
    });
  }
  return object;
}

int dumpStoreFile(const char* name) {
  GStoreFileReader store(name);
  switch (store.status()) {
    case GStoreFileReader::readable:
      break;
    case GStoreFileReader::notAStoreFile:
      std::cerr << "rwdump: " << name << " is neither a stored tree nor a store file\n";
      return 2;
    case GStoreFileReader::unreadableTree:
      std::cerr << "rwdump: " << name << ": the store's B-tree cannot be read\n";
      return 2;
  }
  GObjectTreeDumper dumper(&std::cout);
  if (!store.hasRecordIndex()) {
    // Open, or never closed: the objects are there without their index.
    const std::vector<GStoreFileReader::StoredObject> entries = store.storedObjects();
    std::cout << "store " << name << " without a record index: " << entries.size() << " stored objects by key\n";
    int status = 0;
    for (const GStoreFileReader::StoredObject& e : entries) {
      std::cout << e.key.data() << ':';
      bool failed = !store.file().SeekTo(e.offset);
      const std::unique_ptr<MPersistentObject> object = failed ? nullptr : restoreOne(store.file(), failed);
      dumpTree(dumper, object.get(), 0);
      store.file().ClearErr();
      if (failed) status = 2;
    }
    return status;
  }

  const std::unique_ptr<GRecordComposite> index = store.readRecordIndex();
  if (!index) {
    std::cerr << "rwdump: " << name << ": the record index cannot be read\n";
    return 2;
  }
  std::cout << "store " << name << ": " << index->childCount() << " top-level records, " << index->leafCount()
            << " stored objects\n";
  bool damaged = false;
  index->forEachRecord([&](GRecord& record) { dumpTree(dumper, fetch(store, record, damaged).get(), 0); });
  return damaged ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: rwdump FILE\n";
    return 1;
  }
  rwSetErrorHandler(printReport);
  // Handles in the file are looked at, never attached: nothing else is
  // opened, created or removed.
  MPersistentCompositeOnDisk::setRestoreDetached(true);
  const char* name = argv[1];
  int32_t first = 0;
  {
    RWFile probe(name, "rb");
    if (!probe.isValid()) {
      std::cerr << "rwdump: cannot open " << name << '\n';
      return 2;
    }
    probe.Read(first);
  }
  return first == storeMagic ? dumpObjectFile(name) : dumpStoreFile(name);
}
