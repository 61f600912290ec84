#include "rw/hashtab.h"
#include "rw/bufhelp.h"

#include "eqmemo.h"
#include "rw/factory.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"

namespace {

RWCollectable* createTable() { return new RWHashTable(RWHashTable::defaultCapacity); }

RW_FACTORY_REGISTRATION(registerTable, createTable, RWHashTable::classIsA(), "RWHashTable");

void insertInto(RWCollectable* item, void* target) { static_cast<RWCollection*>(target)->insert(item); }

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWHashTable)

RWHashTable::RWHashTable(RWsize buckets) : table_(buckets ? buckets : 2, nullptr), nitems_(0) {}

RWHashTable::RWHashTable(const RWHashTable& other)
    : RWCollection(other), table_(other.table_.length(), nullptr), nitems_(0) {
  copyBuckets(other);
}

RWHashTable& RWHashTable::operator=(const RWHashTable& other) {
  if (this != &other) {
    clear();
    table_.reshape(other.table_.length());
    table_.fill(nullptr);
    copyBuckets(other);
  }
  return *this;
}

RWHashTable::~RWHashTable() { dropBuckets(); }

void RWHashTable::copyBuckets(const RWHashTable& other) {
  for (RWsize i = 0; i < other.table_.length(); ++i) {
    if (RWSlistCollectables* b = other.bucket(i)) table_(i) = new RWSlistCollectables(*b);
  }
  nitems_ = other.nitems_;
}

void RWHashTable::dropBuckets() {
  for (RWsize i = 0; i < table_.length(); ++i) {
    delete bucket(i);
    table_(i) = nullptr;
  }
  nitems_ = 0;
}

RWCollectable* RWHashTable::newSpecies() const { return new RWHashTable(defaultCapacity); }
RWCollectable* RWHashTable::copy() const { return new RWHashTable(*this); }
RWClassID RWHashTable::isA() const { return classIsA(); }

// Bag equality: collapse this table's items into a set of distinct items,
// then ask for each how often the other holds it against how often this
// table does.
RWBoolean RWHashTable::isEqual(const RWCollectable* other) const {
  if (!other || other->isA() != isA()) return FALSE;
  // A collection is equal to itself: its items need no comparing, which in
  // a restored graph that shares collections would cost a walk of every
  // path through it.
  if (other == this) return TRUE;
  const RWHashTable* o = static_cast<const RWHashTable*>(other);
  if (o->entries() != entries()) return FALSE;
  return rwCompareOnce(this, other, [&]() -> RWBoolean {
    RWSet distinct(entries() / 2);
    const_cast<RWHashTable*>(this)->apply(insertInto, &distinct);
    RWSetIterator next(distinct);
    while (RWCollectable* item = next()) {
      if (o->occurrencesOf(item) < occurrencesOf(item)) return FALSE;
    }
    return TRUE;
  });
}

void RWHashTable::apply(RWapplyCollectable f, void* data) {
  for (RWsize i = 0; i < table_.length(); ++i) {
    if (RWSlistCollectables* b = bucket(i)) b->apply(f, data);
  }
}

void RWHashTable::clear() { dropBuckets(); }

RWCollectable* RWHashTable::find(const RWCollectable* target) const {
  RWSlistCollectables* b = bucket(bucketFor(target));
  return b ? b->find(target) : nullptr;
}

RWCollectable* RWHashTable::insertIntoBucket(RWsize i, RWCollectable* item) {
  RWSlistCollectables* b = bucket(i);
  if (!b) table_(i) = b = rwAllocated(new RWSlistCollectables);
  if (!b->append(item)) return nullptr;
  ++nitems_;
  return item;
}

RWCollectable* RWHashTable::insert(RWCollectable* item) { return insertIntoBucket(bucketFor(item), item); }

RWsize RWHashTable::occurrencesOf(const RWCollectable* target) const {
  RWSlistCollectables* b = bucket(bucketFor(target));
  return b ? b->occurrencesOf(target) : 0;
}

RWCollectable* RWHashTable::remove(const RWCollectable* target) {
  RWSlistCollectables* b = bucket(bucketFor(target));
  RWCollectable* removed = b ? b->remove(target) : nullptr;
  if (removed) --nitems_;
  return removed;
}

void RWHashTable::resize(RWsize n) {
  if (n == 0) n = nitems_ < 12 ? 16 : nitems_ * 3 / 2;
  RWPtrVector old(table_);
  table_.reshape(n);
  table_.fill(nullptr);
  nitems_ = 0;
  for (RWsize i = 0; i < old.length(); ++i) {
    RWSlistCollectables* b = static_cast<RWSlistCollectables*>(old(i));
    if (!b) continue;
    RWSlistCollectablesIterator next(*b);
    while (RWCollectable* item = next()) insert(item);
    delete b;
  }
}

// ---- the iterator -------------------------------------------------------------

RWHashTableIterator::RWHashTableIterator(RWHashTable& table)
    : table_(&table), index_(RW_NPOS), iterator_(nullptr) {
  reset();
}

RWHashTableIterator::RWHashTableIterator(const RWHashTableIterator& other)
    : RWCollectionIterator(other),
      table_(other.table_),
      index_(other.index_),
      iterator_(other.iterator_ ? new RWSlistCollectablesIterator(*other.iterator_) : nullptr) {}

RWHashTableIterator::~RWHashTableIterator() { delete iterator_; }

bool RWHashTableIterator::nextBucket() {
  delete iterator_;
  iterator_ = nullptr;
  RWsize n = table_->table_.length();
  for (RWsize i = index_ == RW_NPOS ? 0 : index_ + 1; i < n; ++i) {
    if (RWSlistCollectables* b = table_->bucket(i)) {
      index_ = i;
      iterator_ = new RWSlistCollectablesIterator(*b);
      return true;
    }
  }
  index_ = n;
  return false;
}

void RWHashTableIterator::reset() {
  index_ = RW_NPOS;
  nextBucket();
}

RWCollectable* RWHashTableIterator::operator()() {
  while (iterator_) {
    if (RWCollectable* item = (*iterator_)()) return item;
    if (!nextBucket()) break;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::findNext(const RWCollectable* target) {
  while (iterator_) {
    if (RWCollectable* item = iterator_->findNext(target)) return item;
    if (!nextBucket()) break;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::key() const { return iterator_ ? iterator_->key() : nullptr; }

RWCollectable* RWHashTableIterator::remove() {
  RWCollectable* removed = iterator_ ? iterator_->remove() : nullptr;
  if (removed) --table_->nitems_;
  return removed;
}

RWCollectable* RWHashTableIterator::removeNext(const RWCollectable* target) {
  while (iterator_) {
    if (RWCollectable* removed = iterator_->removeNext(target)) {
      --table_->nitems_;
      return removed;
    }
    if (!nextBucket()) break;
  }
  return nullptr;
}
