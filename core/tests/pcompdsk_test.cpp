// The on-disk composite store: handles and their shared store, the file
// and its index across close and reopen, composites, searches, iterators,
// the record limit, and damaged files.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/dskfile.h"
#include "core/dskstore.h"
#include "core/pcompdsk.h"
#include "core/pcomposit.h"
#include "fixtures.h"
#include "journal/ctlcmds.h"
#include "rw/disktree.h"
#include "rw/factory.h"
#include "rw/filemgr.h"
#include "rw/pstream.h"
#include "rw/startup.h"
#include "rw/vstream.h"
#include "rw/wstring.h"
#include "testkit/buildskip.h"

namespace {

// Stand-ins for the journal's commands: a leaf with one number, under a
// test-only class ID. Those the store treats specially answer the kind of
// the journal's class they stand for, as that class and any class derived
// from it do; the page end is the journal's own.
template <RWClassID Id, RWClassID Kind = Id>
class TestCommand : public MPersistentObject {
 public:
  TestCommand() = default;
  explicit TestCommand(uint32_t id, int32_t value = 0) : MPersistentObject(id), value(value) {}
  static RWClassID classIsA() { return Id; }
  RWClassID isA() const override { return Id; }
  RWBoolean isKindOf(RWClassID id) const override { return id == Id || id == Kind || MPersistentObject::isKindOf(id); }
  TestCommand* newSpecies() const override { return new TestCommand; }
  TestCommand* copy() const override { return new TestCommand(*this); }
  RWspace binaryStoreSize() const override { return MPersistentObject::binaryStoreSize() + 4; }
  void saveGuts(RWvostream& s) const override {
    MPersistentObject::saveGuts(s);
    s.put(value);
  }
  void saveGuts(RWFile& f) const override {
    MPersistentObject::saveGuts(f);
    f.Write(value);
  }
  void restoreGuts(RWvistream& s) override {
    MPersistentObject::restoreGuts(s);
    s.get(value);
  }
  void restoreGuts(RWFile& f) override {
    MPersistentObject::restoreGuts(f);
    f.Read(value);
  }
  int32_t value = 0;
};

using Graphic = TestCommand<TestClassId::StoreGraphic>;
using ScanLineGraphic = TestCommand<TestClassId::StoreScanLineGraphic, ClassId::GScanLineGraphic>;
using StartScanLine = TestCommand<TestClassId::StoreStartScanLine, ClassId::GStartScanLine>;
using EndScanLine = TestCommand<TestClassId::StoreEndScanLine, ClassId::GEndScanLine>;
using PageEnd = GPageEnd;

// A handle of a class derived from the store's, as the journal's on-disk
// command composite is: stored as a proxy all the same.
class CommandStore : public MPersistentCompositeOnDisk {
 public:
  CommandStore() = default;
  CommandStore(const RWWString& name, int32_t deleteFile, uint32_t id) : MPersistentCompositeOnDisk(name, deleteFile, id) {}
  static RWClassID classIsA() { return TestClassId::StoreCommandStore; }
  RWClassID isA() const override { return classIsA(); }
  CommandStore* newSpecies() const override { return new CommandStore; }
  CommandStore* copy() const override { return new CommandStore(*this); }
};

template <class T>
RWCollectable* make() {
  return new T;
}

// Registered by start-up entries, so that the kernel build registers them
// when its runtime starts and removes them when it stops.
const struct {
  RWuserCreator make;
  RWClassID id;
  const char* name;
} testClasses[] = {
    {make<Graphic>, Graphic::classIsA(), "TestGraphic"},
    {make<ScanLineGraphic>, ScanLineGraphic::classIsA(), "TestScanLineGraphic"},
    {make<StartScanLine>, StartScanLine::classIsA(), "TestStartScanLine"},
    {make<EndScanLine>, EndScanLine::classIsA(), "TestEndScanLine"},
    {make<CommandStore>, CommandStore::classIsA(), "TestCommandStore"},
};

void registerTestClasses() {
  for (const auto& c : testClasses) rwAddToFactory(c.make, c.id, RWStringID(c.name));
}

void removeTestClasses() {
  for (const auto& c : testClasses) {
    rwRemoveFromFactory(c.id);
    rwRemoveFromFactory(RWStringID(c.name));
  }
}

RW_STARTUP(testClassEntry, registerTestClasses, removeTestClasses);

int32_t valueOf(const GCountedRef& r) {
  if (auto* g = dynamic_cast<Graphic*>(r.get())) return g->value;
  if (auto* l = dynamic_cast<TestLeaf*>(r.get())) return l->value;
  return -1;
}

// Stores a new object; the store shares it with the caller's reference.
void put(MPersistentObject& store, MPersistentObject* object) { store.storeChild(GCountedRef(object)); }

MPersistentComposite* compositeOf(uint32_t id, std::initializer_list<int32_t> values) {
  MPersistentComposite* c = new MPersistentComposite(id);
  for (int32_t v : values) c->insert(new Graphic(static_cast<uint32_t>(v), v));
  return c;
}

// The B-tree of a store file, read on its own: its keys in key order.
struct FileKeys {
  std::vector<std::string> keys;
  std::vector<int32_t> offsets;
  bool valid = false;
};

FileKeys keysOf(const std::string& path) {
  FileKeys out;
  RWFileManager file(path.c_str(), "rb");
  if (!file.isValid() || !file.hasFreeList()) return out;
  RWBTreeOnDisk tree(file, 10, RWBTreeOnDisk::autoCreate, 16, 0, -1, RWBTreeOnDisk::currentStyle, 10, 10);
  tree.setComparison([](const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); });
  out.valid = tree.isValid();
  tree.applyToKeyAndValue(
      [](const char* key, int32_t value, void* user) {
        FileKeys* k = static_cast<FileKeys*>(user);
        k->keys.push_back(std::string(key, strnlen(key, 16)));
        k->offsets.push_back(value);
      },
      &out);
  return out;
}

// The keys of stored objects: every key but the index's, which a store
// writes when it closes.
std::vector<std::string> objectKeys(const std::string& path) {
  std::vector<std::string> out;
  for (const std::string& k : keysOf(path).keys) {
    if (k != "IndexOfRecords") out.push_back(k);
  }
  return out;
}

bool hasIndex(const std::string& path) {
  for (const std::string& k : keysOf(path).keys) {
    if (k == "IndexOfRecords") return true;
  }
  return false;
}

class DiskStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { MPersistentCompositeOnDiskImp::setRecordLimit(0x3FFFFFEF); }
  std::string path(const char* name = "store.dat") const { return dir_.file(name); }
  RWWString wide(const char* name = "store.dat") const { return RWWString(path(name).c_str()); }
  // The ids of the top-level objects, fetched in store order.
  static std::vector<uint32_t> idsInOrder(MPersistentCompositeOnDisk& h) {
    std::vector<uint32_t> ids;
    GChildIterator* it = h.createIterator();
    GOnDiskIterator* disk = static_cast<GOnDiskIterator*>(it);
    while (disk->advance()) {
      GCountedRef o = disk->currentObject();
      ids.push_back(o.isNil() ? 0xFFFFFFFFu : o->id());
    }
    delete it;
    return ids;
  }

  TempDir dir_;
};

}  // namespace

TEST_F(DiskStoreTest, TwoHandlesShareOneStoreAndTheFileClosesAfterBoth) {
  auto* first = new MPersistentCompositeOnDisk(wide(), 0, 5);
  EXPECT_EQ(first->state(), MPersistentCompositeOnDisk::attached);
  auto* second = new MPersistentCompositeOnDisk(wide(), 0, 6);
  EXPECT_EQ(first->store(), second->store());
  put(*first, new Graphic(1, 100));
  EXPECT_EQ(valueOf(second->findCountedById(1)), 100);

  auto* copied = new MPersistentCompositeOnDisk(*second);
  EXPECT_EQ(copied->store(), first->store());
  EXPECT_TRUE(copied->matches(second));

  delete first;
  delete second;
  // The copy's own registry entry keeps the store open.
  EXPECT_FALSE(hasIndex(path()));
  EXPECT_EQ(copied->entries(), 1u);
  delete copied;
  EXPECT_TRUE(hasIndex(path()));
}

void putThreeOutOfKeyOrder(MPersistentCompositeOnDisk& h) {
  MPersistentObject::presetSerialCounter(2);
  put(h, new Graphic(20, 2));   // serial 2
  MPersistentObject::presetSerialCounter(0x10);
  put(h, new Graphic(10, 16));  // serial 0x10
  put(h, new TestLeaf(30, 3));
}

TEST_F(DiskStoreTest, WhileOpenTheIndexIsNotInTheFile) {
  SKIP_IN_KERNEL_BUILD(kKernelFileHeldOpen);
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    putThreeOutOfKeyOrder(h);
    // While open the index lives in memory only; keys order as text.
    FileKeys k = keysOf(path());
    ASSERT_TRUE(k.valid);
    EXPECT_EQ(k.keys, (std::vector<std::string>{"10", "11", "2"}));
  }
  // Reopening reads the index back and takes it out of the file.
  MPersistentCompositeOnDisk again(wide(), 0, 1);
  EXPECT_EQ(again.entries(), 3u);
  EXPECT_FALSE(hasIndex(path()));
}

TEST_F(DiskStoreTest, ReopenedStoreHasTheSameRecordsInTheSameOrder) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    putThreeOutOfKeyOrder(h);
    EXPECT_EQ(idsInOrder(h), (std::vector<uint32_t>{20, 10, 30}));
  }
  // The keys order as text, whatever the order of storing.
  EXPECT_EQ(objectKeys(path()), (std::vector<std::string>{"10", "11", "2"}));
  EXPECT_TRUE(hasIndex(path()));
  MPersistentCompositeOnDisk again(wide(), 0, 1);
  EXPECT_EQ(again.error(), 0);
  EXPECT_EQ(again.entries(), 3u);
  EXPECT_EQ(idsInOrder(again), (std::vector<uint32_t>{20, 10, 30}));
  EXPECT_EQ(valueOf(again.findCountedById(30)), 3);
}

TEST_F(DiskStoreTest, ACompositeIsOneRecordWithItsChildrenAndTakeRebuildsIt) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    GCountedRef page(compositeOf(50, {1, 2, 3}));
    h.storeChild(page);
    const GRecordComposite& root = h.store()->records();
    ASSERT_EQ(root.childCount(), 1u);
    GRecord* top = static_cast<GRecordLink*>(root.list().first())->record.get();
    ASSERT_NE(top->children(), nullptr);
    EXPECT_EQ(top->children()->childCount(), 3u);
    EXPECT_EQ(h.entries(), 3u);
  }
  EXPECT_EQ(objectKeys(path()).size(), 4u);  // the shell and three leaves

  {
    MPersistentCompositeOnDisk h(wide("take.dat"), 0, 1);
    GCountedRef page(compositeOf(50, {1, 2, 3}));
    const uint32_t serial = page->serialNumber();
    h.storeChild(page);
    GCountedRef back = h.takeById(50);
    ASSERT_FALSE(back.isNil());
    EXPECT_EQ(back->isA(), MPersistentComposite::classIsA());
    EXPECT_EQ(back->serialNumber(), serial);
    ASSERT_EQ(back->entries(), 3u);
    EXPECT_TRUE(back->matches(page.get()));
    EXPECT_EQ(h.entries(), 0u);
  }
  EXPECT_TRUE(objectKeys(path("take.dat")).empty());
}

TEST_F(DiskStoreTest, SearchesGoDepthFirstInStoreOrder) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  put(h, new TestLeaf(1, 10));
  MPersistentComposite* nested = compositeOf(2, {});
  nested->insert(new TestLeaf(3, 30));
  nested->insert(compositeOf(4, {5}));
  put(h, nested);
  put(h, new TestLeaf(6, 60));
  // Leaves: 1, then 3 and 5 inside the composites, then 6.
  EXPECT_EQ(h.entries(), 4u);

  EXPECT_EQ(valueOf(h.findCountedByClassId(Graphic::classIsA())), 5);
  GCountedRef first = h.takeByClassId(TestLeaf::classIsA());
  GCountedRef second = h.takeByClassId(TestLeaf::classIsA());
  GCountedRef third = h.takeByClassId(TestLeaf::classIsA());
  EXPECT_EQ(valueOf(first), 10);
  EXPECT_EQ(valueOf(second), 30);
  EXPECT_EQ(valueOf(third), 60);
  EXPECT_TRUE(h.takeByClassId(TestLeaf::classIsA()).isNil());
  // What was taken from inside the composite is gone from it too.
  GCountedRef rest = h.findCountedById(2);
  ASSERT_FALSE(rest.isNil());
  EXPECT_EQ(rest->entries(), 1u);
  EXPECT_EQ(h.entries(), 1u);
}

TEST_F(DiskStoreTest, ReplacementsKeepTheirPlace) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  for (uint32_t id = 1; id <= 3; ++id) put(h, new Graphic(id, static_cast<int32_t>(id)));
  put(h, compositeOf(9, {7, 8}));

  Graphic top(2, 222);
  EXPECT_EQ(h.replaceById(2, &top), 1);
  EXPECT_EQ(idsInOrder(h), (std::vector<uint32_t>{1, 2, 3, 9}));
  EXPECT_EQ(valueOf(h.findCountedById(2)), 222);

  // Below the first level the replacement stays in its composite, in place.
  Graphic deep(7, 777);
  EXPECT_EQ(h.replaceById(7, &deep), 1);
  GCountedRef page = h.findCountedById(9);
  ASSERT_EQ(page->entries(), 2u);
  GChildIterator* it = page->createIterator();
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(valueOf(GCountedRef(it->current())), 777);
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(it->current()->id(), 8u);
  delete it;

  // The usual round: fetch a copy, change it, put it back by its serial.
  GCountedRef copy = h.findCountedById(3);
  static_cast<Graphic*>(copy.get())->value = 333;
  EXPECT_EQ(h.replaceByObject(copy.get(), copy.get()), 1);
  EXPECT_EQ(valueOf(h.findCountedById(3)), 333);

  Graphic none(99);
  EXPECT_EQ(h.replaceById(42, &none), 0);
  EXPECT_EQ(h.replaceById(1, nullptr), 0);
  EXPECT_EQ(h.replaceByClassId(TestLeaf::classIsA(), &none), 0);
  EXPECT_EQ(h.entries(), 5u);
}

TEST_F(DiskStoreTest, TheIteratorKeepsItsPlace) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  for (uint32_t id = 1; id <= 4; ++id) put(h, new Graphic(id, static_cast<int32_t>(id)));
  GOnDiskIterator* it = static_cast<GOnDiskIterator*>(h.createIterator());
  EXPECT_EQ(it->current(), nullptr);
  ASSERT_TRUE(it->advance());
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(it->currentObject()->id(), 2u);

  GCountedRef removed = it->removeCurrent();
  EXPECT_EQ(valueOf(removed), 2);
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(it->currentObject()->id(), 3u);

  Graphic changed(3, 303);
  EXPECT_EQ(it->replaceCurrentObject(&changed), 1);
  EXPECT_EQ(valueOf(it->currentObject()), 303);
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(it->currentObject()->id(), 4u);

  // A take elsewhere of the current record: the walk starts again.
  h.takeById(4);
  EXPECT_TRUE(it->currentObject().isNil());
  ASSERT_TRUE(it->advance());
  EXPECT_EQ(it->currentObject()->id(), 1u);
  EXPECT_TRUE(it->retreat() == 0);
  delete it;
  EXPECT_EQ(idsInOrder(h), (std::vector<uint32_t>{1, 3}));

  // The attached iterator holds the handle attached while it lives.
  MPersistentCompositeOnDisk lazy;
  lazy = h;
  {
    GAttachedIterator walk(lazy);
    EXPECT_EQ(lazy.state(), MPersistentCompositeOnDisk::attached);
    ASSERT_TRUE(walk.advance());
    EXPECT_EQ(walk.currentObject()->id(), 1u);
    GAttachedIterator moved(walk);
    EXPECT_EQ(walk.advance(), 0);
    ASSERT_TRUE(moved.advance());
    EXPECT_EQ(moved.currentObject()->id(), 3u);
  }
  EXPECT_EQ(lazy.state(), MPersistentCompositeOnDisk::detached);
}

// A fetch reads the file and the record index that a store on another
// thread is writing: both take the store's lock, so every fetch finds its
// object whole while the other thread stores, for as long as it stores;
// counting the entries walks the same index and takes the lock as well.
TEST_F(DiskStoreTest, FetchesOnOneThreadWhileAnotherStores) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  constexpr uint32_t kept = 20, added = 300;
  for (uint32_t id = 1; id <= kept; ++id) put(h, new Graphic(id, static_cast<int32_t>(id) * 10));
  std::atomic<bool> done{false};
  std::thread storing([&h, &done] {
    MPersistentCompositeOnDisk mine(h);
    for (uint32_t id = 1000; id < 1000 + added; ++id) put(mine, new Graphic(id, static_cast<int32_t>(id)));
    done = true;
  });
  int wrong = 0, rounds = 0;
  for (; !done || rounds < 3; ++rounds) {
    for (uint32_t id = 1; id <= kept; ++id) {
      if (valueOf(h.findCountedById(id)) != static_cast<int32_t>(id) * 10) ++wrong;
    }
    if (valueOf(h.findCountedByClassId(Graphic::classIsA())) != 10) ++wrong;
    if (h.entries() < kept) ++wrong;
    // A walk sees the records stored before it, each one whole.
    const std::unique_ptr<GOnDiskIterator> walk(static_cast<GOnDiskIterator*>(h.createIterator()));
    for (uint32_t n = 0; n < kept + 5 && walk->advance(); ++n) {
      GCountedRef o = walk->currentObject();
      if (o.isNil() || valueOf(o) != (n < kept ? static_cast<int32_t>(n + 1) * 10 : static_cast<int32_t>(o->id())))
        ++wrong;
    }
  }
  storing.join();
  EXPECT_EQ(wrong, 0) << rounds << " rounds";
  EXPECT_EQ(h.entries(), kept + added);
  EXPECT_EQ(valueOf(h.findCountedById(1000 + added - 1)), static_cast<int32_t>(1000 + added - 1));
}

// Walks begin on one thread while another takes records out of the same
// store: a new walk reads the store's count of removals, which every take
// changes, under the store's lock (the thread sanitizer build sees a race
// otherwise), and each walk still finds the records it was begun with.
TEST_F(DiskStoreTest, WalksBeginOnOneThreadWhileAnotherTakesRecords) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  constexpr uint32_t kept = 10, passing = 200;
  for (uint32_t id = 1; id <= kept; ++id) put(h, new Graphic(id, static_cast<int32_t>(id) * 10));
  std::atomic<bool> done{false};
  std::thread taking([&h, &done] {
    MPersistentCompositeOnDisk mine(h);
    for (uint32_t id = 1000; id < 1000 + passing; ++id) {
      put(mine, new Graphic(id, static_cast<int32_t>(id)));
      const GCountedRef gone = mine.takeById(id);
    }
    done = true;
  });
  int wrong = 0, rounds = 0;
  for (; !done || rounds < 3; ++rounds) {
    const std::unique_ptr<GOnDiskIterator> walk(static_cast<GOnDiskIterator*>(h.createIterator()));
    for (uint32_t n = 0; n < kept; ++n)
      if (!walk->advance() || valueOf(walk->currentObject()) != static_cast<int32_t>(n + 1) * 10) ++wrong;
  }
  taking.join();
  EXPECT_EQ(wrong, 0) << rounds << " rounds";
  EXPECT_EQ(h.entries(), kept);
}

TEST_F(DiskStoreTest, AtTheRecordLimitOnlyPageAndScanLineEndsGetIn) {
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  put(h, new Graphic(1));
  constexpr uint32_t open = 0x3FFFFFEF;
  // Each step under a limit on the top-level records already there (2 or
  // more): above it only a page end, or a scan-line end right after a
  // scan-line start or graphic, is stored.
  const struct {
    uint32_t limit;
    MPersistentObject* object;
    bool accepted;
  } steps[] = {
      {open, new StartScanLine(2), true}, {1, new EndScanLine(3), true},  {1, new EndScanLine(4), false},
      {1, new Graphic(5), false},         {1, new StartScanLine(6), false}, {1, new EndScanLine(7), false},
      {1, new PageEnd(8), true},          {1, new PageEnd(9), true},      {open, new ScanLineGraphic(10), true},
      {1, new EndScanLine(11), true},     {1, compositeOf(12, {13}), false},
  };
  for (const auto& s : steps) {
    MPersistentCompositeOnDiskImp::setRecordLimit(s.limit);
    const uint32_t id = s.object->id();
    const RWsize before = h.store()->records().childCount();
    put(h, s.object);
    EXPECT_EQ(h.store()->records().childCount(), before + (s.accepted ? 1 : 0)) << id;
    EXPECT_EQ(h.findCountedById(id).isNil(), !s.accepted) << id;
  }
  EXPECT_EQ(h.error(), 0);
  // A replacement is no new record: the limit does not apply.
  Graphic again(1, 11);
  EXPECT_EQ(h.replaceById(1, &again), 1);
  EXPECT_EQ(valueOf(h.findCountedById(1)), 11);
}

TEST_F(DiskStoreTest, DeleteFileRemovesTheFileOnlyWithTheLastHandle) {
  {
    MPersistentCompositeOnDisk keep(wide("keep.dat"), 0, 1);
    put(keep, new Graphic(1, 1));
  }
  EXPECT_TRUE(fileExists(path("keep.dat")));
  {
    MPersistentCompositeOnDisk again(wide("keep.dat"), 0, 1);
    EXPECT_EQ(valueOf(again.findCountedById(1)), 1);
  }

  auto* temporary = new MPersistentCompositeOnDisk(wide("temp.dat"), 1, 1);
  auto* other = new MPersistentCompositeOnDisk(wide("temp.dat"), 0, 2);
  put(*temporary, new Graphic(1, 1));
  delete temporary;
  // The other handle still uses the file: it stays, and so do its objects.
  EXPECT_TRUE(fileExists(path("temp.dat")));
  EXPECT_EQ(valueOf(other->findCountedById(1)), 1);
  delete other;
  EXPECT_TRUE(fileExists(path("temp.dat")));

  auto* last = new MPersistentCompositeOnDisk(wide("gone.dat"), 1, 1);
  auto* sharing = new MPersistentCompositeOnDisk(wide("gone.dat"), 0, 2);
  delete sharing;
  EXPECT_TRUE(fileExists(path("gone.dat")));
  delete last;
  EXPECT_FALSE(fileExists(path("gone.dat")));
}

TEST_F(DiskStoreTest, ClearEmptiesTheStoreForReuse) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    put(h, new Graphic(1, 1));
    put(h, compositeOf(2, {3, 4}));
    h.clear();
    EXPECT_EQ(h.entries(), 0u);
    EXPECT_EQ(h.error(), 0);
    EXPECT_TRUE(keysOf(path()).keys.empty());
    put(h, new Graphic(5, 5));
    EXPECT_EQ(h.entries(), 1u);
  }
  MPersistentCompositeOnDisk again(wide(), 0, 1);
  EXPECT_EQ(idsInOrder(again), (std::vector<uint32_t>{5}));
  again.clear();
  EXPECT_EQ(again.entries(), 0u);
}

TEST_F(DiskStoreTest, AFileThatCannotBeOpenedFailsEveryStore) {
  MPersistentCompositeOnDisk h(RWWString((dir_.path() + "/no/such/dir/x.dat").c_str()), 0, 1);
  EXPECT_EQ(h.state(), MPersistentCompositeOnDisk::attached);
  EXPECT_NE(h.error(), 0);
  put(h, new Graphic(1));
  EXPECT_EQ(h.entries(), 0u);
  EXPECT_TRUE(h.findCountedById(1).isNil());
  h.detach();
  EXPECT_NE(h.error(), 0);  // remembered
}

TEST_F(DiskStoreTest, TheSameSerialTwiceIsRefusedAndTheStoreGoesOn) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    GCountedRef object(new Graphic(1, 1));
    h.storeChild(object);
    h.storeChild(object);
    GCountedRef copy(object->copy());
    h.storeChild(copy);
    // A composite holding an object already stored is refused whole.
    MPersistentComposite* page = compositeOf(2, {3});
    page->insert(object.get());
    put(h, page);
    EXPECT_EQ(h.entries(), 1u);
    EXPECT_EQ(h.error(), 0);
    put(h, new Graphic(4, 4));
    EXPECT_EQ(h.entries(), 2u);
    EXPECT_EQ(valueOf(h.takeById(1)), 1);
    EXPECT_TRUE(h.takeById(1).isNil());
  }
  // Only the object stored last is left on file: nothing of the refused
  // composite was written.
  EXPECT_EQ(objectKeys(path()).size(), 1u);
}

TEST_F(DiskStoreTest, AFileLeftOpenReopensEmpty) {
  SKIP_IN_KERNEL_BUILD(kKernelFileHeldOpen);
  uint32_t serial = 0;
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    GCountedRef first(new Graphic(1, 1));
    serial = first->serialNumber();
    h.storeChild(first);
    put(h, new Graphic(2, 2));
    // What a crash would leave: the file as it is while the store is open.
    putFile(path("crashed.dat"), fileContents(path()));
  }
  MPersistentCompositeOnDisk h(wide("crashed.dat"), 0, 1);
  EXPECT_EQ(h.error(), 0);
  EXPECT_EQ(h.entries(), 0u);
  EXPECT_TRUE(keysOf(path("crashed.dat")).keys.empty());
  // The objects left without records no longer hold their keys.
  GCountedRef again(new Graphic(1, 10));
  again->setSerialNumber(serial);
  h.storeChild(again);
  EXPECT_EQ(h.entries(), 1u);
}

TEST_F(DiskStoreTest, DamagedFilesFailClearly) {
  std::string good;
  {
    MPersistentCompositeOnDisk h(wide("good.dat"), 0, 1);
    put(h, new Graphic(1, 1));
    put(h, compositeOf(2, {3, 4}));
  }
  good = fileContents(path("good.dat"));
  const FileKeys keys = keysOf(path("good.dat"));
  int32_t indexAt = -1;
  for (size_t i = 0; i < keys.keys.size(); ++i) {
    if (keys.keys[i] == "IndexOfRecords") indexAt = keys.offsets[i];
  }
  ASSERT_GT(indexAt, 0);

  std::string badIndex = good;
  badIndex[indexAt + 4] = 0x55;  // the index's class tag
  std::string badCount = good;
  // The root's count: magic, tag, the record level (14), the version.
  std::memcpy(&badCount[indexAt + 4 + 2 + 14 + 4], "\x00\x00\x00\x80", 4);
  const struct {
    const char* name;
    std::string bytes;
    bool fails;
    RWsize entries;
  } cases[] = {
      {"truncated.dat", good.substr(0, good.size() / 2), true, 0},
      {"header.dat", good.substr(0, 7), true, 0},
      {"garbage.dat", std::string(300, '\x7f'), true, 0},
      {"badindex.dat", badIndex, true, 0},
      {"badcount.dat", badCount, false, 0},
  };
  for (const auto& c : cases) {
    ReportLog log;
    putFile(path(c.name), c.bytes);
    {
      MPersistentCompositeOnDisk h(wide(c.name), 0, 1);
      EXPECT_EQ(h.error() != 0, c.fails) << c.name;
      EXPECT_EQ(h.entries(), c.entries) << c.name;
      put(h, new Graphic(9));
      if (c.fails) {
        EXPECT_TRUE(h.findCountedById(9).isNil()) << c.name;
      }
    }
    // A file that could not be read is left as it was found.
    if (c.fails) {
      EXPECT_EQ(fileContents(path(c.name)), c.bytes) << c.name;
    }
  }
}

// The B-tree's information record sits at the file's start offset (its
// first word): version at +8, key length at +16, order at +20, minimum fill
// at +24, flags at +36. The store's keys are 16 bytes of text in buffers
// of 17; a tree of any other key shape is refused, by the store and by the
// file reader, and the file is left as it was found.
TEST_F(DiskStoreTest, AFileWhoseTreeIsNotTheStoresShapeIsRefused) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    put(h, new Graphic(1, 10));
    put(h, new Graphic(2, 20));
  }
  const Bytes good = readAll(path());
  const int32_t base = le32(good, 0);
  ASSERT_EQ(le32(good, static_cast<size_t>(base + 16)), 16);
  struct Field {
    int at;
    int32_t value;
  };
  // A larger key goes with a smaller order and fill, so that the root node
  // still lies inside the file and holds its three keys: only the key shape
  // is wrong.
  const struct {
    const char* name;
    std::vector<Field> fields;
  } cases[] = {
      {"key17.dat", {{16, 17}, {20, 9}, {24, 9}}},
      {"key100.dat", {{16, 100}, {20, 2}, {24, 2}}},
      {"key15.dat", {{16, 15}}},
      {"rawkeys.dat", {{36, 1}}},
      {"oldstyle.dat", {{8, 0x100}}},
  };
  for (const auto& c : cases) {
    Bytes bad = good;
    for (const Field& f : c.fields) setLe32(bad, static_cast<size_t>(base + f.at), f.value);
    writeAll(path(c.name), bad);
    {
      GStoreFileReader reader(path(c.name).c_str());
      EXPECT_EQ(reader.status(), GStoreFileReader::unreadableTree) << c.name;
      EXPECT_FALSE(reader.hasRecordIndex()) << c.name;
    }
    {
      MPersistentCompositeOnDisk h(wide(c.name), 0, 1);
      EXPECT_NE(h.error(), 0) << c.name;
      EXPECT_EQ(h.entries(), 0u) << c.name;
      put(h, new Graphic(9));
      EXPECT_TRUE(h.findCountedById(1).isNil()) << c.name;
      EXPECT_TRUE(h.findCountedById(9).isNil()) << c.name;
    }
    EXPECT_EQ(readAll(path(c.name)), bad) << c.name;
  }
  MPersistentCompositeOnDisk h(wide(), 0, 1);
  EXPECT_EQ(h.error(), 0);
  EXPECT_EQ(valueOf(h.findCountedById(2)), 20);
}

TEST_F(DiskStoreTest, AHandleComesBackAttachedFromAVirtualStream) {
  MPersistentCompositeOnDisk h(wide(), 0, 7);
  put(h, new Graphic(1, 1));
  std::unique_ptr<MPersistentCompositeOnDisk> back = throughStream<RWpostream, RWpistream>(&h);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->state(), MPersistentCompositeOnDisk::attached);
  EXPECT_EQ(back->store(), h.store());
  EXPECT_TRUE(back->matches(&h));
}

TEST_F(DiskStoreTest, HandleStoredFormAndRestore) {
  auto* h = new MPersistentCompositeOnDisk(wide(), 1, 7);
  put(*h, new Graphic(1, 1));
  const std::string name = path();
  {
    RWFile f(path("handle.bin").c_str(), "wb");
    f << h;
  }
  const std::string expected = le32(0x8888) + le16(781) + le32(1) + le32(7) + le32(h->serialNumber()) + le32(1) +
                               le32(1) + le32(static_cast<uint32_t>(name.size())) + name + le32(1);
  EXPECT_EQ(fileContents(path("handle.bin")), expected);
  EXPECT_EQ(h->recursiveStoreSize(), expected.size());

  // Restored while the stored handle is attached (state 1): the restored
  // one attaches to the same store, not to nothing.
  MPersistentCompositeOnDisk* back = nullptr;
  {
    RWFile f(path("handle.bin").c_str(), "rb");
    f >> back;
  }
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->state(), MPersistentCompositeOnDisk::attached);
  EXPECT_EQ(back->store(), h->store());
  EXPECT_EQ(back->deleteFile(), 1);
  EXPECT_EQ(valueOf(back->findCountedById(1)), 1);
  delete h;
  EXPECT_TRUE(fileExists(name));
  // The flag came from stored bytes: it is kept, and stored again, but a
  // restored handle never removes a file.
  delete back;
  EXPECT_TRUE(fileExists(name));
}

namespace {

// A handle's stored form, written out by hand: the root level (version 1,
// id 7, serial 99), then version 1, state 1, the name and deleteFile 1.
std::string storedHandle(const std::string& name) {
  return le32(0x8888) + le16(781) + le32(1) + le32(7) + le32(99) + le32(1) + le32(1) +
         le32(static_cast<uint32_t>(name.size())) + name + le32(1);
}

std::unique_ptr<MPersistentCompositeOnDisk> restoredHandle(const std::string& file, const std::string& name) {
  putFile(file, storedHandle(name));
  RWFile f(file.c_str(), "rb");
  MPersistentCompositeOnDisk* back = nullptr;
  f >> back;
  return std::unique_ptr<MPersistentCompositeOnDisk>(back);
}

}  // namespace

// Stored bytes come from outside (a configuration, a DEVMODE): a restored
// handle may open a file only by a plain name in a folder this process
// keeps its stores in, and removes no file whatever its flag says.
// A handle restored only to be looked at, or one whose stored name was
// refused, opens nothing when it is first used either: it answers as an
// empty store and makes no file.
TEST_F(DiskStoreTest, AHandleThatMayNotOpenItsNameOpensNothingWhenUsed) {
  TempDir elsewhere;
  ASSERT_TRUE(elsewhere.ok());
  const std::string named = elsewhere.file("made.dat");
  for (bool inspect : {true, false}) {
    const bool outer = MPersistentCompositeOnDisk::setRestoreDetached(inspect);
    {
      ReportLog log;
      std::unique_ptr<MPersistentCompositeOnDisk> back = restoredHandle(path("handle.bin"), named);
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(back->entries(), 0u) << inspect;
      EXPECT_EQ(back->totalEntries(), 0u) << inspect;
      EXPECT_TRUE(back->findCountedById(1).isNil()) << inspect;
    }
    MPersistentCompositeOnDisk::setRestoreDetached(outer);
    EXPECT_FALSE(fileExists(named)) << "restored for inspection: " << inspect;
  }
}

TEST_F(DiskStoreTest, ARestoredHandleOpensOnlyAStoreFolderFileAndRemovesNothing) {
  {
    MPersistentCompositeOnDisk made(wide(), 0, 1);  // the folder stores live in
  }
  TempDir elsewhere;
  ASSERT_TRUE(elsewhere.ok());
  const std::string victim = elsewhere.file("victim.txt");
  const std::string local = path("victim.txt");
  putFile(victim, "precious");
  putFile(local, "precious");
  const std::string up = dir_.path() + "/../" + elsewhere.path().substr(elsewhere.path().rfind('/') + 1);

  const char* const bad[] = {"victim.txt", "../victim.txt", "C:victim.txt", "C:\\victim.txt", "", "/", "."};
  std::vector<std::string> names(std::begin(bad), std::end(bad));
  for (const std::string& n : {victim, up + "/victim.txt", up + "\\victim.txt", dir_.path() + "/sub/victim.txt",
                               dir_.path() + "/", dir_.path() + "/..", dir_.path() + "/.", dir_.path() + "/C:victim.txt",
                               dir_.path() + "\\..\\victim.txt", elsewhere.path()})
    names.push_back(n);
  for (const std::string& name : names) {
    ReportLog log;
    {
      std::unique_ptr<MPersistentCompositeOnDisk> back = restoredHandle(path("handle.bin"), name);
      ASSERT_NE(back, nullptr) << name;
      EXPECT_EQ(back->state(), MPersistentCompositeOnDisk::detached) << name;
      EXPECT_TRUE(back->heldFileName().isNull()) << name;
      EXPECT_EQ(back->deleteFile(), 1) << name;
      EXPECT_EQ(log.texts(), std::vector<std::string>{"[OPERR] Could not open file " + name});
      EXPECT_TRUE(!log.empty() && log[0].environment) << name;
    }
    EXPECT_EQ(fileContents(victim), "precious") << name;
    EXPECT_FALSE(fileExists(dir_.path() + "/sub")) << name;
  }

  // A plain name in the store folder is opened; a file there that is no
  // store is left as it is, and stays.
  ReportLog log;
  {
    std::unique_ptr<MPersistentCompositeOnDisk> back = restoredHandle(path("handle.bin"), local);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->state(), MPersistentCompositeOnDisk::attached);
    EXPECT_TRUE(back->heldFileName() == local.c_str());
    EXPECT_NE(back->error(), 0);
  }
  EXPECT_EQ(fileContents(local), "precious");
  EXPECT_EQ(fileContents(victim), "precious");
}

TEST_F(DiskStoreTest, NestedStoresAreSearchedThroughTheirProxies) {
  MPersistentCompositeOnDisk outer(wide("outer.dat"), 0, 1);
  {
    CommandStore inner(wide("inner.dat"), 0, 2);
    put(inner, new Graphic(10, 10));
    put(inner, new TestLeaf(11, 11));
    put(outer, new Graphic(1, 1));
    put(outer, inner.copy());
  }
  // The outer index holds the only handle to the inner store now.
  EXPECT_EQ(outer.entries(), 2u);
  EXPECT_EQ(valueOf(outer.findCountedByClassId(TestLeaf::classIsA())), 11);
  EXPECT_EQ(valueOf(outer.findCountedById(10)), 10);
  Graphic swapped(10, 100);
  GCountedRef fetched = outer.findCountedById(10);
  EXPECT_EQ(outer.replaceByObject(fetched.get(), &swapped), 1);
  EXPECT_EQ(valueOf(outer.findCountedById(10)), 100);
  EXPECT_EQ(valueOf(outer.takeById(11)), 11);

  GCountedRef nested = outer.takeByClassId(CommandStore::classIsA());
  ASSERT_FALSE(nested.isNil());
  EXPECT_EQ(nested->entries(), 1u);
  EXPECT_EQ(valueOf(nested->findCountedById(10)), 100);
  EXPECT_EQ(outer.entries(), 1u);

  // Across a close the proxy's handle is stored with the index and opens
  // the nested store again when the index is read back.
  put(outer, nested->copy());
  outer.detach();
  EXPECT_TRUE(hasIndex(path("outer.dat")));
  EXPECT_EQ(outer.entries(), 2u);
  EXPECT_EQ(valueOf(outer.findCountedById(10)), 100);

  // A store kept inside itself is not searched forever.
  put(outer, outer.copy());
  EXPECT_TRUE(outer.findCountedById(12345).isNil());
  EXPECT_EQ(outer.takeByClassId(MPersistentCompositeOnDisk::classIsA())->isA(), MPersistentCompositeOnDisk::classIsA());
}

TEST_F(DiskStoreTest, TheFileReaderReadsAStoreWithoutOpeningIt) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    put(h, new Graphic(1, 10));
    put(h, compositeOf(2, {3, 4}));
  }
  const std::string closed = fileContents(path());
  {
    GStoreFileReader reader(path().c_str());
    ASSERT_EQ(reader.status(), GStoreFileReader::readable);
    EXPECT_TRUE(reader.hasRecordIndex());
    const std::unique_ptr<GRecordComposite> index = reader.readRecordIndex();
    ASSERT_TRUE(index);
    // The records in stored order, each finding its object; a composite's
    // object is its empty shell, its children records of their own.
    std::vector<uint32_t> ids;
    std::vector<RWClassID> classes;
    index->forEachRecord([&](GRecord& record) {
      ids.push_back(record.id());
      ASSERT_TRUE(reader.seekToObject(record));
      RWCollectable* restored = nullptr;
      reader.file() >> restored;
      const std::unique_ptr<RWCollectable> object(restored);
      ASSERT_TRUE(object);
      classes.push_back(object->isA());
      if (auto* g = dynamic_cast<Graphic*>(object.get())) {
        EXPECT_EQ(g->value, 10);
      }
      if (auto* c = dynamic_cast<MPersistentComposite*>(object.get())) {
        EXPECT_EQ(c->entries(), 0u);
      }
      if (GRecordComposite* children = record.children())
        children->forEachRecord([&](GRecord& child) { ids.push_back(child.id()); });
    });
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(classes, (std::vector<RWClassID>{Graphic::classIsA(), MPersistentComposite::classIsA()}));
  }
  EXPECT_EQ(fileContents(path()), closed);
}

TEST_F(DiskStoreTest, TheFileReaderFindsNoIndexInAStoreStillOpen) {
  SKIP_IN_KERNEL_BUILD(kKernelFileHeldOpen);
  // A store still open keeps no index in the file, only objects by key.
  MPersistentCompositeOnDisk open(wide("open.dat"), 0, 1);
  GCountedRef object(new Graphic(5, 50));
  object->setSerialNumber(0x2A);
  open.storeChild(object);
  GStoreFileReader reader(path("open.dat").c_str());
  ASSERT_EQ(reader.status(), GStoreFileReader::readable);
  EXPECT_FALSE(reader.hasRecordIndex());
  EXPECT_EQ(reader.readRecordIndex(), nullptr);
  const std::vector<GStoreFileReader::StoredObject> stored = reader.storedObjects();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_TRUE(stored[0].key == "2a");
  EXPECT_EQ(open.entries(), 1u);
}

TEST_F(DiskStoreTest, TheFileReaderTellsWhatItCannotRead) {
  {
    MPersistentCompositeOnDisk h(wide(), 0, 1);
    put(h, new Graphic(1, 10));
  }
  // The B-tree's information record lies in the file's first block; an
  // order of 0 makes no tree.
  std::string badTree = fileContents(path());
  const uint32_t start = static_cast<uint8_t>(badTree[0]) | static_cast<uint8_t>(badTree[1]) << 8;
  std::memset(&badTree[start + 20], 0, 4);
  putFile(path("badtree.dat"), badTree);
  putFile(path("garbage.dat"), std::string(64, '\x7f'));
  const struct {
    const char* name;
    GStoreFileReader::Status status;
  } cases[] = {
      {"missing.dat", GStoreFileReader::notAStoreFile},
      {"garbage.dat", GStoreFileReader::notAStoreFile},
      {"badtree.dat", GStoreFileReader::unreadableTree},
  };
  for (const auto& c : cases) {
    ReportLog log;
    GStoreFileReader reader(path(c.name).c_str());
    EXPECT_EQ(reader.status(), c.status) << c.name;
    EXPECT_FALSE(reader.hasRecordIndex()) << c.name;
    EXPECT_TRUE(reader.storedObjects().empty()) << c.name;
    GRecord record;
    EXPECT_FALSE(reader.seekToObject(record)) << c.name;
  }
  EXPECT_FALSE(fileExists(path("missing.dat")));
}
