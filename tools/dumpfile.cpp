// The work of rwdump (see tools/dumpfile.h).

#include "tools/dumpfile.h"

#include <fstream>
#include <memory>
#include <ostream>
#include <vector>

#include "core/cntdptr.h"
#include "core/dskfile.h"
#include "core/pcompdsk.h"
#include "core/recindex.h"
#include "core/treedump.h"
#include "rw/bstream.h"
#include "rw/filemgr.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "core/discard.h"

namespace {

constexpr int32_t storeMagic = 0x8888;

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
  // An object without an iterator (a booklet entry) is a leaf.
  const std::unique_ptr<GChildIterator> it(object->createIterator());
  while (it && it->advance()) dumpTree(dumper, it->current(), depth + 1);
}

// What a restore answered, as the dump keeps it: a persistent object it
// made, or nothing (anything else it made is disposed of).
std::unique_ptr<MPersistentObject> keepRestored(RWCollectable::Restored r, std::ostream& out) {
  MPersistentObject* object = dynamic_cast<MPersistentObject*>(r.object);
  if (!object && r.object && r.fresh) {
    out << " an object of class " << r.object->isA() << ", not a persistent object\n";
    // The restore is over: the graph is ours, whatever it holds.
    gDiscardGraph(r.object);
  }
  return std::unique_ptr<MPersistentObject>(r.fresh ? object : nullptr);
}

// One stored object from a file or from a binary stream; `failed` says
// whether the read broke off on the way.
std::unique_ptr<MPersistentObject> restoreOne(RWFile& file, bool& failed, std::ostream& out) {
  RWCollectable::Restored r = RWCollectable::restoreObject(file, nullptr);
  failed = r.failed || file.Error() || file.Eof();
  return keepRestored(r, out);
}

std::unique_ptr<MPersistentObject> restoreOne(RWbistream& stream, bool& failed, std::ostream& out) {
  RWCollectable::Restored r = RWCollectable::restoreObject(stream, nullptr);
  failed = r.failed || !stream.good();
  return keepRestored(r, out);
}

// The binary stream form (what the printer configuration builder writes):
// stored objects one after another, each beginning with ':'.
int dumpStreamFile(const char* name, std::ostream& out, std::ostream& err) {
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    err << "rwdump: cannot open " << name << '\n';
    return 2;
  }
  out << "object stream " << name << '\n';
  GObjectTreeDumper dumper(&out);
  RWbistream stream(in);
  while (in.peek() != std::ifstream::traits_type::eof()) {
    const std::streamoff at = in.tellg();
    bool failed = false;
    const std::unique_ptr<MPersistentObject> object = restoreOne(stream, failed, out);
    if (object) dumpTree(dumper, object.get(), 0);
    if (failed) {
      err << "rwdump: " << name << ": the stored tree at offset " << at << " cannot be read whole\n";
      return 2;
    }
  }
  return 0;
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
    const std::unique_ptr<MPersistentObject> object = restoreOne(file, failed, out);
    if (object) dumpTree(dumper, object.get(), 0);
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
std::unique_ptr<MPersistentObject> fetch(GStoreFileReader& store, GRecord& record, bool& damaged, std::ostream& out,
                                         std::ostream& err) {
  if (!store.seekToObject(record)) {
    char key[GRecord::keyLength + 1];
    record.key(key);
    err << "rwdump: no stored object for record " << key << '\n';
    damaged = true;
    return nullptr;
  }
  bool failed = false;
  std::unique_ptr<MPersistentObject> object = restoreOne(store.file(), failed, out);
  if (failed || !object) damaged = true;
  store.file().ClearErr();
  if (GRecordComposite* c = record.children()) {
    c->forEachRecord([&](GRecord& member) {
      // Counted while it is put in: a composite keeps it, a leaf (a
      // damaged index gave it children) ignores it and it goes here.
      const GCountedRef child(fetch(store, member, damaged, out, err).release());
      if (object && !child.isNil()) object->insert(child.get());
    });
  }
  return object;
}

int dumpStoreFile(const char* name, std::ostream& out, std::ostream& err) {
  GStoreFileReader store(name);
  switch (store.status()) {
    case GStoreFileReader::readable:
      break;
    case GStoreFileReader::notAStoreFile:
      err << "rwdump: " << name << " is neither a stored tree nor a store file\n";
      return 2;
    case GStoreFileReader::unreadableTree:
      err << "rwdump: " << name << ": the store's B-tree cannot be read\n";
      return 2;
  }
  GObjectTreeDumper dumper(&out);
  if (!store.hasRecordIndex()) {
    // Open, or never closed: the objects are there without their index.
    const std::vector<GStoreFileReader::StoredObject> entries = store.storedObjects();
    out << "store " << name << " without a record index: " << entries.size() << " stored objects by key\n";
    int status = 0;
    for (const GStoreFileReader::StoredObject& e : entries) {
      out << e.key.data() << ':';
      bool failed = !store.file().SeekTo(e.offset);
      const std::unique_ptr<MPersistentObject> object = failed ? nullptr : restoreOne(store.file(), failed, out);
      dumpTree(dumper, object.get(), 0);
      store.file().ClearErr();
      if (failed) status = 2;
    }
    return status;
  }

  const std::unique_ptr<GRecordComposite> index = store.readRecordIndex();
  if (!index) {
    err << "rwdump: " << name << ": the record index cannot be read\n";
    return 2;
  }
  out << "store " << name << ": " << index->childCount() << " top-level records, " << index->leafCount()
      << " stored objects\n";
  bool damaged = false;
  index->forEachRecord(
      [&](GRecord& record) { dumpTree(dumper, fetch(store, record, damaged, out, err).get(), 0); });
  return damaged ? 2 : 0;
}

// Whether the file opens as a store file; asked quietly, since a stream
// that begins with ':' is no store file and the reader's reports would
// say so.
bool isStoreFile(const char* name) {
  std::ostream* outer = reports;
  reports = nullptr;
  const bool store = GStoreFileReader(name).status() != GStoreFileReader::notAStoreFile;
  reports = outer;
  return store;
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
  else if (first == storeMagic)
    status = dumpObjectFile(name, out, err);
  else if ((first & 0xFF) == ':' && !isStoreFile(name))
    status = dumpStreamFile(name, out, err);
  else
    status = dumpStoreFile(name, out, err);
  MPersistentCompositeOnDisk::setRestoreDetached(outerDetached);
  rwSetErrorHandler(outerHandler);
  reports = outerReports;
  return status;
}
