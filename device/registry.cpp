#include "device/registry.h"

#include "core/perobj.h"
#include "graphics/brush.h"
#include "graphics/font.h"
#include "graphics/pen.h"

// ---- a map ------------------------------------------------------------------------

GObjectRegistry::Entry* GObjectRegistry::Map::find(uintptr_t key) {
  for (Entry& e : buckets[bucketOf(key)])
    if (e.key == key) return &e;
  return nullptr;
}

const GObjectRegistry::Entry* GObjectRegistry::Map::find(uintptr_t key) const {
  for (const Entry& e : buckets[bucketOf(key)])
    if (e.key == key) return &e;
  return nullptr;
}

GObjectRegistry::Entry& GObjectRegistry::Map::entry(uintptr_t key) {
  if (Entry* e = find(key)) return *e;
  std::list<Entry>& bucket = buckets[bucketOf(key)];
  bucket.push_back(Entry{key, GCountedPtr()});
  ++count;
  return bucket.back();
}

GCountedRef GObjectRegistry::Map::take(uintptr_t key) {
  std::list<Entry>& bucket = buckets[bucketOf(key)];
  for (auto it = bucket.begin(); it != bucket.end(); ++it) {
    if (it->key != key) continue;
    GCountedRef held(it->object.get());
    bucket.erase(it);
    --count;
    return held;
  }
  return GCountedRef();
}

MPersistentObject* GObjectRegistry::Map::copyOf(uintptr_t key) {
  MPersistentObject* object = get(key);
  return object ? object->copy() : nullptr;
}

void GObjectRegistry::Map::copyInto(Map& other) const {
  for (const std::list<Entry>& bucket : buckets)
    for (const Entry& e : bucket) other.set(e.key, e.object.get());
}

void GObjectRegistry::Map::clear() {
  for (std::list<Entry>& bucket : buckets) bucket.clear();
  count = 0;
}

// ---- the registry -------------------------------------------------------------------

GObjectRegistry::GObjectRegistry(uintptr_t owner) : owner_(owner), generation_(1) {}

GObjectRegistry::~GObjectRegistry() {
  owner_ = 0;
  c_.clear();
  b_.clear();
  a_.clear();
}

void GObjectRegistry::set(uintptr_t key, MPersistentObject* object) { a_.set(key, object); }

void GObjectRegistry::setFont(uintptr_t key, GFont* font) {
  if (font) font->prepareForRegistry(0);
  b_.set(key, font);
}

void GObjectRegistry::setC(uintptr_t key, MPersistentObject* object) { c_.set(key, object); }

bool GObjectRegistry::remove(uintptr_t key) { return !a_.take(key).isNil(); }

bool GObjectRegistry::removeFont(uintptr_t key) {
  Entry* e = b_.find(key);
  if (!e) return false;
  if (auto* font = static_cast<GFont*>(e->object.get())) font->clearEngineFont();
  b_.take(key);
  return true;
}

bool GObjectRegistry::removeC(uintptr_t key) { return !c_.take(key).isNil(); }

GCountedRef GObjectRegistry::take(uintptr_t key) { return a_.take(key); }
GCountedRef GObjectRegistry::takeFont(uintptr_t key) { return b_.take(key); }
GCountedRef GObjectRegistry::takeC(uintptr_t key) { return c_.take(key); }

MPersistentObject* GObjectRegistry::copyOf(uintptr_t key) { return a_.copyOf(key); }
GFont* GObjectRegistry::copyOfFont(uintptr_t key) { return static_cast<GFont*>(b_.copyOf(key)); }
MPersistentObject* GObjectRegistry::copyOfC(uintptr_t key) { return c_.copyOf(key); }

MPersistentObject* GObjectRegistry::getC(uintptr_t key) { return c_.get(key); }
MPersistentObject* GObjectRegistry::get(uintptr_t key) { return a_.get(key); }

GNoBrush* GObjectRegistry::makeNullBrush() { return new GNoBrush; }
GNoPen* GObjectRegistry::makeNullPen() { return new GNoPen; }

void GObjectRegistry::clear() {
  a_.clear();
  b_.clear();
  c_.clear();
}

bool GObjectRegistry::containsFont(uintptr_t key) const { return b_.find(key) != nullptr; }
bool GObjectRegistry::contains(uintptr_t key) const { return a_.find(key) != nullptr; }
bool GObjectRegistry::containsC(uintptr_t key) const { return c_.find(key) != nullptr; }

void GObjectRegistry::transferTo(GObjectRegistry& other) {
  if (&other == this) return;
  copyIntoC(other);
  copyInto(other);
  exchangeFonts(other);
  clear();
}

void GObjectRegistry::copyInto(GObjectRegistry& other) const { a_.copyInto(other.a_); }
void GObjectRegistry::copyIntoC(GObjectRegistry& other) const { c_.copyInto(other.c_); }

void GObjectRegistry::exchangeFonts(GObjectRegistry& other) {
  std::swap(b_, other.b_);
  for (std::list<Entry>& bucket : other.b_.buckets)
    for (Entry& e : bucket)
      if (auto* font = static_cast<GFont*>(e.object.get())) font->setOwner(other.owner_);
}
