#include "rw/colclass.h"

#include "rw/rwfile.h"
#include "rw/rwset.h"
#include "rw/vstream.h"

namespace {

void addStoreSize(RWCollectable* item, void* total) {
  *static_cast<RWspace*>(total) += item->recursiveStoreSize();
}

void insertInto(RWCollectable* item, void* target) { static_cast<RWCollection*>(target)->insert(item); }

void removeFrom(RWCollectable* item, void* target) { static_cast<RWCollection*>(target)->remove(item); }

void insertCopyInto(RWCollectable* item, void* target) {
  static_cast<RWCollection*>(target)->insert(item->copy());
}

void deleteItem(RWCollectable* item, void*) { delete item; }

struct SelectData {
  RWtestCollectable test;
  const void* data;
  RWCollection* result;
};

void selectOne(RWCollectable* item, void* data) {
  SelectData* s = static_cast<SelectData*>(data);
  if (s->test(item, s->data)) s->result->insert(item);
}

void saveOnStream(RWCollectable* item, void* stream) {
  RWvostream& s = *static_cast<RWvostream*>(stream);
  if (s.good()) item->recursiveSaveOn(s);
}

void saveOnFile(RWCollectable* item, void* file) {
  RWFile& f = *static_cast<RWFile*>(file);
  if (!f.Error()) item->recursiveSaveOn(f);
}

}  // namespace

RWClassID RWCollection::isA() const { return classIsA(); }

RWspace RWCollection::binaryStoreSize() const {
  RWspace total = 4;
  const_cast<RWCollection*>(this)->apply(addStoreSize, &total);
  return total;
}

void RWCollection::clearAndDelete() {
  RWsize buckets = entries() / 4;
  RWIdentitySet distinct(buckets ? buckets : 2);
  apply(insertInto, &distinct);
  distinct.apply(deleteItem, nullptr);
  distinct.clear();
  clear();
}

RWBoolean RWCollection::contains(const RWCollectable* target) const { return find(target) != nullptr; }

void RWCollection::removeAndDelete(const RWCollectable* target) { delete remove(target); }

RWCollection* RWCollection::select(RWtestCollectable test, const void* data) const {
  RWCollection* result = static_cast<RWCollection*>(newSpecies());
  SelectData s{test, data, result};
  const_cast<RWCollection*>(this)->apply(selectOne, &s);
  return result;
}

void RWCollection::insertAllOf(const RWCollection& other) {
  const_cast<RWCollection&>(other).apply(insertInto, this);
}

void RWCollection::removeAllOf(const RWCollection& other) {
  const_cast<RWCollection&>(other).apply(removeFrom, this);
}

void RWCollection::insertCopiesOf(const RWCollection& other) {
  const_cast<RWCollection&>(other).apply(insertCopyInto, this);
}

void RWCollection::saveGuts(RWvostream& s) const {
  s.put(static_cast<uint32_t>(entries()));
  const_cast<RWCollection*>(this)->apply(saveOnStream, &s);
}

void RWCollection::saveGuts(RWFile& f) const {
  f.Write(static_cast<uint32_t>(entries()));
  const_cast<RWCollection*>(this)->apply(saveOnFile, &f);
}

void RWCollection::restoreGuts(RWvistream& s) {
  clear();
  restoreItems(s, takeByInsert);
}

void RWCollection::restoreGuts(RWFile& f) {
  clear();
  restoreItems(f, takeByInsert);
}

// The stored count is not trusted: the loop ends at the first failed read,
// and an item that restored as null (a stored nil, an unknown class) is
// passed over rather than inserted. An item made by this read that the
// collection did not keep has no other holder: it goes, and no later
// reference may reach it.
void RWCollection::restoreItems(RWvistream& s, Taker take) {
  uint32_t count = 0;
  s.get(count);
  for (uint32_t i = 0; i < count && s.good(); ++i) {
    Restored r = restoreObject(s, nullptr);
    if (r.failed) break;
    if (r.object && !take(*this, r) && r.fresh) discardRestored(r.object);
  }
}

void RWCollection::restoreItems(RWFile& f, Taker take) {
  uint32_t count = 0;
  if (!f.Read(count)) return;
  for (uint32_t i = 0; i < count && !f.Error() && !f.Eof(); ++i) {
    Restored r = restoreObject(f, nullptr);
    if (r.failed) break;
    if (r.object && !take(*this, r) && r.fresh) discardRestored(r.object);
  }
}

RWCollectionIterator::~RWCollectionIterator() = default;
