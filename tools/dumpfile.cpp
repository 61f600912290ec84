// The work of rwdump (see tools/dumpfile.h).

#include "tools/dumpfile.h"

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "core/pcompdsk.h"
#include "core/recindex.h"
#include "core/treedump.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "tools/discard.h"

namespace {

constexpr int32_t storeMagic = 0x8888;
const char indexKey[GRecord::keyLength + 1] = "IndexOfRecords";

// Where the library's reports go while a file is dumped.
std::ostream* reports = nullptr;

// Reports from the library go to the error stream, marked as such.
void printReport(const RWErrorBase& e) {
  if (reports) *reports << "rwdump: " << e.why() << '\n';
}

// The dump's lines for a tree, without entering an on-disk store: its
// handle's line is followed by the file it names.
void dumpTree(GObjectTreeDumper& dumper, MPersistentObject* object, int depth) {
  dumper.dumpObject(object, depth);
  if (!object) return;
  std::ostream& out = *dumper.stream();
  if (auto* handle = dynamic_cast<MPersistentCompositeOnDisk*>(object)) {
    for (int i = 0; i <= depth; ++i) out << "  |";
    out << " on-disk store \"" << handle->heldFileName().data() << "\"\n";
    return;
  }
  // A composite without an iterator (a booklet entry) is printed as a leaf.
  GChildIterator* it = object->createIterator();
  if (!it) return;
  while (it->advance()) dumpTree(dumper, it->current(), depth + 1);
  delete it;
}

MPersistentObject* restoreOne(RWFile& file, bool& failed, std::ostream& out) {
  RWCollectable::Restored r = RWCollectable::restoreObject(file, nullptr);
  failed = r.failed || file.Error() || file.Eof();
  MPersistentObject* object = dynamic_cast<MPersistentObject*>(r.object);
  if (!object && r.object && r.fresh) {
    out << " an object of class " << r.object->isA() << ", not a persistent object\n";
    // The restore is over: the graph is ours, whatever it holds.
    discardGraph(r.object);
  }
  return r.fresh ? object : nullptr;
}

int dumpObjectFile(const char* name, std::ostream& out, std::ostream& err) {
  RWFile file(name, "rb");
  if (!file.isValid()) {
    err << "rwdump: cannot open " << name << '\n';
    return 2;
  }
  out << "object tree " << name << '\n';
  GObjectTreeDumper dumper(&out);
  // A file may hold several trees, each stored on its own.
  int status = 0;
  for (;;) {
    const RWoffset at = file.CurOffset();
    int32_t word = 0;
    if (!file.Read(word)) break;  // the end
    file.SeekTo(at);
    bool failed = false;
    MPersistentObject* object = restoreOne(file, failed, out);
    if (object) dumpTree(dumper, object, 0);
    delete object;
    if (failed) {
      err << "rwdump: " << name << ": the stored tree at offset " << at << " cannot be read whole\n";
      status = 2;
      break;
    }
  }
  return status;
}

// A stored object and, for an in-memory composite, its children read back
// into it, as the store itself would fetch them.
MPersistentObject* fetch(RWFileManager& file, RWBTreeOnDisk& tree, GRecord& record, bool& damaged, std::ostream& out,
                         std::ostream& err) {
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at = -1;
  if (!tree.findKeyAndValue(key, nullptr, at) || !file.SeekTo(at)) {
    err << "rwdump: no stored object for record " << key << '\n';
    damaged = true;
    return nullptr;
  }
  bool failed = false;
  MPersistentObject* object = restoreOne(file, failed, out);
  if (failed || !object) damaged = true;
  file.ClearErr();
  if (GRecordComposite* c = record.children()) {
    RWIsvDlist& l = c->list();
    for (RWIsvDlink* p = l.first(); p && !l.isSentinel(p); p = p->next()) {
      MPersistentObject* child = fetch(file, tree, *static_cast<GRecordLink*>(p)->record, damaged, out, err);
      if (object && child)
        object->insert(child);
      else
        delete child;
    }
  }
  return object;
}

int dumpStoreFile(const char* name, std::ostream& out, std::ostream& err) {
  RWFileManager file(name, "rb");
  if (!file.isValid() || !file.hasFreeList()) {
    err << "rwdump: " << name << " is neither a stored tree nor a store file\n";
    return 2;
  }
  RWBTreeOnDisk tree(file, 10, RWBTreeOnDisk::autoCreate, GRecord::keyLength, 0, -1, RWBTreeOnDisk::currentStyle,
                     10, 10);
  tree.setComparison([](const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); });
  if (!tree.isValid()) {
    err << "rwdump: " << name << ": the store's B-tree cannot be read\n";
    return 2;
  }
  GObjectTreeDumper dumper(&out);
  int32_t at = -1;
  if (!tree.findKeyAndValue(indexKey, nullptr, at)) {
    // Open, or never closed: the objects are there without their index.
    struct Entry {
      std::string key;
      int32_t offset;
    };
    std::vector<Entry> entries;
    tree.applyToKeyAndValue(
        [](const char* key, int32_t value, void* user) {
          static_cast<std::vector<Entry>*>(user)->push_back(Entry{std::string(key, strnlen(key, 16)), value});
        },
        &entries);
    out << "store " << name << " without a record index: " << entries.size() << " stored objects by key\n";
    int status = 0;
    for (const Entry& e : entries) {
      out << e.key << ':';
      bool failed = !file.SeekTo(e.offset);
      MPersistentObject* object = failed ? nullptr : restoreOne(file, failed, out);
      dumpTree(dumper, object, 0);
      delete object;
      file.ClearErr();
      if (failed) status = 2;
    }
    return status;
  }

  GRecordComposite* index = nullptr;
  if (file.SeekTo(at)) index = rwRestoreAs<GRecordComposite>(file);
  if (!index || file.Error() || file.Eof()) {
    err << "rwdump: " << name << ": the record index cannot be read\n";
    delete index;
    return 2;
  }
  file.ClearErr();
  out << "store " << name << ": " << index->childCount() << " top-level records, " << index->leafCount()
      << " stored objects\n";
  bool damaged = false;
  RWIsvDlist& l = index->list();
  for (RWIsvDlink* p = l.first(); p && !l.isSentinel(p); p = p->next()) {
    MPersistentObject* object = fetch(file, tree, *static_cast<GRecordLink*>(p)->record, damaged, out, err);
    dumpTree(dumper, object, 0);
    delete object;
  }
  delete index;
  return damaged ? 2 : 0;
}

}  // namespace

int rwdumpFile(const char* name, std::ostream& out, std::ostream& err) {
  // The library's reports go to err for the length of the dump, and handles
  // in the file are looked at, never attached: nothing else is opened,
  // created or removed.
  std::ostream* outerReports = reports;
  reports = &err;
  const rwErrHandler outerHandler = rwSetErrorHandler(printReport);
  const bool outerDetached = MPersistentCompositeOnDisk::setRestoreDetached(true);
  int status = 2;
  int32_t first = 0;
  bool opened = false;
  {
    RWFile probe(name, "rb");
    opened = probe.isValid();
    if (opened) probe.Read(first);
  }
  if (!opened)
    err << "rwdump: cannot open " << name << '\n';
  else
    status = first == storeMagic ? dumpObjectFile(name, out, err) : dumpStoreFile(name, out, err);
  MPersistentCompositeOnDisk::setRestoreDetached(outerDetached);
  rwSetErrorHandler(outerHandler);
  reports = outerReports;
  return status;
}
