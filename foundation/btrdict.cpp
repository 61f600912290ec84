#include "rw/btrdict.h"

#include "eqmemo.h"
#include "rw/collass.h"
#include "rw/factory.h"
#include "rw/rwfile.h"
#include "rw/rwset.h"
#include "rw/vstream.h"

namespace {

RWCollectable* createDictionary() { return new RWBTreeDictionary; }

RW_FACTORY_REGISTRATION(registerDictionary, createDictionary, RWBTreeDictionary::classIsA(), "RWBTreeDictionary");

RWCollectableAssociation* asAssociation(RWCollectable* item) {
  return static_cast<RWCollectableAssociation*>(item);
}

void insertCopyInto(RWCollectable* item, void* target) {
  RWCollectable* c = item->copy();
  if (static_cast<RWBTreeDictionary*>(target)->insert(c) != c) delete c;
}

void deleteItem(RWCollectable* item, void*) { delete item; }

void collectKeyAndValue(RWCollectable* item, void* set) {
  RWCollectableAssociation* a = asAssociation(item);
  RWIdentitySet* distinct = static_cast<RWIdentitySet*>(set);
  if (a->key()) distinct->insert(a->key());
  if (a->value()) distinct->insert(a->value());
}

struct PairApply {
  RWapplyKeyAndValue f;
  void* data;
};

void applyPair(RWCollectable* item, void* data) {
  PairApply* p = static_cast<PairApply*>(data);
  RWCollectableAssociation* a = asAssociation(item);
  p->f(a->key(), a->value(), p->data);
}

struct Selection {
  RWtestCollectable byKey;
  RWtestCollectablePair byPair;
  const void* data;
  RWBTreeDictionary* result;
};

void selectPair(RWCollectable* item, void* data) {
  Selection* s = static_cast<Selection*>(data);
  RWCollectableAssociation* a = asAssociation(item);
  bool pass = s->byKey ? s->byKey(a->key(), s->data) : s->byPair(a->key(), a->value(), s->data);
  if (pass) s->result->insertKeyAndValue(a->key(), a->value());
}

void insertPair(RWCollectable* key, RWCollectable* value, void* target) {
  static_cast<RWBTreeDictionary*>(target)->insertKeyAndValue(key, value);
}

struct PairsMatch {
  const RWBTreeDictionary* other;
  bool holds;
};

void checkPair(RWCollectable* item, void* data) {
  PairsMatch* m = static_cast<PairsMatch*>(data);
  if (!m->holds) return;
  RWCollectableAssociation* a = asAssociation(item);
  // Searched as a tree, so that a pair with a null key is found too.
  RWCollectable* found = m->other->RWBTree::find(a->key());
  if (!found) {
    m->holds = false;
    return;
  }
  RWCollectable* theirs = asAssociation(found)->value();
  if (!a->value() || !theirs) {
    m->holds = !a->value() && !theirs;
  } else {
    m->holds = a->value()->isEqual(theirs);
  }
}

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWBTreeDictionary)

RWBTreeDictionary::RWBTreeDictionary(const RWBTreeDictionary& other) : RWBTree() {
  const_cast<RWBTreeDictionary&>(other).apply(insertCopyInto, this);
}

RWBTreeDictionary& RWBTreeDictionary::operator=(const RWBTreeDictionary& other) {
  if (this != &other) {
    clear();
    const_cast<RWBTreeDictionary&>(other).apply(insertCopyInto, this);
  }
  return *this;
}

RWBTreeDictionary::~RWBTreeDictionary() { clear(); }

RWCollectable* RWBTreeDictionary::newSpecies() const { return new RWBTreeDictionary; }
RWCollectable* RWBTreeDictionary::copy() const { return new RWBTreeDictionary(*this); }
RWClassID RWBTreeDictionary::isA() const { return classIsA(); }

RWBoolean RWBTreeDictionary::isEqual(const RWCollectable* other) const {
  if (!other || other->isA() != classIsA()) return FALSE;
  // A collection is equal to itself: its items need no comparing, which in
  // a restored graph that shares collections would cost a walk of every
  // path through it.
  if (other == this) return TRUE;
  const RWBTreeDictionary* o = static_cast<const RWBTreeDictionary*>(other);
  if (o->entries() != entries()) return FALSE;
  return rwCompareOnce(this, other, [&]() -> RWBoolean {
    PairsMatch m{o, true};
    const_cast<RWBTreeDictionary*>(this)->apply(checkPair, &m);
    return m.holds ? TRUE : FALSE;
  });
}

void RWBTreeDictionary::clear() {
  apply(deleteItem, nullptr);
  RWBTree::clear();
}

void RWBTreeDictionary::clearAndDelete() {
  RWIdentitySet distinct(entries() / 4);
  apply(collectKeyAndValue, &distinct);
  distinct.apply(deleteItem, nullptr);
  distinct.clear();
  clear();
}

RWCollectableAssociation* RWBTreeDictionary::findAssociation(const RWCollectable* key) const {
  return asAssociation(RWBTree::find(key));
}

RWCollectable* RWBTreeDictionary::find(const RWCollectable* key) const {
  RWCollectableAssociation* a = findAssociation(key);
  return a ? a->key() : nullptr;
}

RWCollectable* RWBTreeDictionary::findValue(const RWCollectable* key) const {
  RWCollectableAssociation* a = findAssociation(key);
  return a ? a->value() : nullptr;
}

RWCollectable* RWBTreeDictionary::findKeyAndValue(const RWCollectable* key,
                                                  RWCollectable*& value) const {
  RWCollectableAssociation* a = findAssociation(key);
  value = a ? a->value() : nullptr;
  return a ? a->key() : nullptr;
}

RWCollectable* RWBTreeDictionary::replaceValue(const RWCollectable* key, RWCollectable* newValue) {
  RWCollectableAssociation* a = findAssociation(key);
  return a ? a->value(newValue) : nullptr;
}

RWCollectable* RWBTreeDictionary::insertKeyAndValue(RWCollectable* key, RWCollectable* value) {
  RWCollectableAssociation* a = new RWCollectableAssociation(key, value);
  if (RWBTree::insert(a) != a) {
    delete a;
    return nullptr;
  }
  return key;
}

RWCollectable* RWBTreeDictionary::removeKeyAndValue(const RWCollectable* key, RWCollectable*& value) {
  RWCollectableAssociation* a = asAssociation(RWBTree::remove(key));
  value = a ? a->value() : nullptr;
  RWCollectable* stored = a ? a->key() : nullptr;
  delete a;
  return stored;
}

RWCollectable* RWBTreeDictionary::remove(const RWCollectable* key) {
  RWCollectable* value;
  return removeKeyAndValue(key, value);
}

void RWBTreeDictionary::removeAndDelete(const RWCollectable* key) {
  RWCollectableAssociation* a = asAssociation(RWBTree::remove(key));
  if (!a) return;
  RWCollectable* k = a->key();
  RWCollectable* v = a->value();
  delete a;
  if (v != k) delete v;
  delete k;
}

void RWBTreeDictionary::applyToKeyAndValue(RWapplyKeyAndValue f, void* data) {
  PairApply p{f, data};
  apply(applyPair, &p);
}

RWBTreeDictionary* RWBTreeDictionary::select(RWtestCollectable test, const void* data) const {
  Selection s{test, nullptr, data, new RWBTreeDictionary};
  const_cast<RWBTreeDictionary*>(this)->apply(selectPair, &s);
  return s.result;
}

RWBTreeDictionary* RWBTreeDictionary::select(RWtestCollectablePair test, const void* data) const {
  Selection s{nullptr, test, data, new RWBTreeDictionary};
  const_cast<RWBTreeDictionary*>(this)->apply(selectPair, &s);
  return s.result;
}

void RWBTreeDictionary::insertAllOf(const RWCollection& other) {
  const RWBTreeDictionary* pairs = dynamic_cast<const RWBTreeDictionary*>(&other);
  if (!pairs) {
    RWBTree::insertAllOf(other);
  } else if (pairs != this) {  // every key of its own is held already
    const_cast<RWBTreeDictionary*>(pairs)->applyToKeyAndValue(insertPair, this);
  }
}

// ---- restoring --------------------------------------------------------------------

// Only associations can be pairs, and the dictionary owns them: it takes
// only one this read made (restoreForOwner refuses a reference to one read
// earlier, and takes the new one out of reach of later references). A pair
// whose key compares equal to a held one is kept beside it, as the tree
// keeps every stored item, unless its key is the very object the held
// pair has: that pair has no place. What this read made and the
// dictionary cannot keep is disposed of.
void RWBTreeDictionary::takeRestored(const Restored& r) {
  if (!r.object) return;
  RWCollectableAssociation* a = dynamic_cast<RWCollectableAssociation*>(r.object);
  if (a) {
    RWCollectable* held = RWBTree::insert(a);
    if (held == a) return;
    if (asAssociation(held)->key() != a->key()) {
      insertBesideEqual(a);
      return;
    }
  }
  discardRestored(r.object);
}

void RWBTreeDictionary::restoreGuts(RWvistream& s) {
  clear();
  uint32_t count = 0;
  s.get(count);
  for (uint32_t i = 0; i < count && s.good(); ++i) {
    Restored r = restoreForOwner(s);
    if (r.failed) break;
    takeRestored(r);
  }
}

void RWBTreeDictionary::restoreGuts(RWFile& f) {
  clear();
  uint32_t count = 0;
  if (!f.Read(count)) return;
  for (uint32_t i = 0; i < count && !f.Error() && !f.Eof(); ++i) {
    Restored r = restoreForOwner(f);
    if (r.failed) break;
    takeRestored(r);
  }
}
