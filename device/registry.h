#ifndef DEVICE_REGISTRY_H
#define DEVICE_REGISTRY_H

// The object registry: maps the addresses of outside objects (what the
// platform layer receives from the graphics engine) to the framework
// objects made for them. Three independent maps: A and C hold counted
// persistent objects, B holds fonts. Each entry holds one reference to its
// object; the registry takes no lock, the counts guard themselves.
//
// A map hashes a key by shifting out its low three bits (engine objects are
// at least 8-byte aligned) into 64 buckets; new entries go to the tail.
//
// "get" and "copyOf" add an empty entry for a key they do not know; the
// "contains" questions never add one.

#include <array>
#include <cstdint>
#include <list>

#include "core/cntdptr.h"

class GFont;
class GNoBrush;
class GNoPen;
class MPersistentObject;

class GObjectRegistry {
 public:
  // The owner value is stamped on fonts handed over by another registry.
  explicit GObjectRegistry(uintptr_t owner = 0);
  GObjectRegistry(const GObjectRegistry&) = delete;
  GObjectRegistry& operator=(const GObjectRegistry&) = delete;
  // Releases every entry of C, B and A.
  virtual ~GObjectRegistry();

  // The key's entry (made when absent) holds the object; the one it held
  // before loses its reference.
  virtual void set(uintptr_t key, MPersistentObject* object);
  // The font is prepared for the registry first.
  virtual void setFont(uintptr_t key, GFont* font);
  virtual void setC(uintptr_t key, MPersistentObject* object);

  // Remove the key's entry; true when it held an object.
  virtual bool remove(uintptr_t key);
  // Also clears the owner word of the font's implementation.
  virtual bool removeFont(uintptr_t key);
  virtual bool removeC(uintptr_t key);

  // Remove the key's entry and answer its object as a counted reference
  // (nil when there was none), so that the object lives as long as the
  // caller holds the answer.
  virtual GCountedRef take(uintptr_t key);
  virtual GCountedRef takeFont(uintptr_t key);
  virtual GCountedRef takeC(uintptr_t key);

  // A copy of the key's object (the caller's), or null.
  virtual MPersistentObject* copyOf(uintptr_t key);
  virtual GFont* copyOfFont(uintptr_t key);
  virtual MPersistentObject* copyOfC(uintptr_t key);

  // The key's object, still the registry's, or null.
  virtual MPersistentObject* getC(uintptr_t key);
  virtual MPersistentObject* get(uintptr_t key);

  // A new null brush and a new null pen, the caller's; the registry keeps
  // no part of them.
  virtual GNoBrush* makeNullBrush();
  virtual GNoPen* makeNullPen();

  // Releases every entry of A, B and C.
  virtual void clear();

  virtual bool containsFont(uintptr_t key) const;
  virtual bool contains(uintptr_t key) const;
  virtual bool containsC(uintptr_t key) const;

  // Sets this registry's maps C and A into the other, exchanges fonts with
  // it, then clears this one: the other ends with this one's objects and
  // fonts, and its own former fonts are released here.
  virtual void transferTo(GObjectRegistry& other);

  virtual uint16_t generation() const { return generation_; }
  // Advances the generation and answers the new one.
  virtual uint16_t nextGeneration() { return ++generation_; }
  virtual void resetGeneration() { generation_ = 1; }

  virtual void copyInto(GObjectRegistry& other) const;
  // Trades map B with the other registry; the fonts the other ends with
  // carry its owner value.
  virtual void exchangeFonts(GObjectRegistry& other);
  virtual void copyIntoC(GObjectRegistry& other) const;

  uintptr_t owner() const { return owner_; }
  uint32_t entries() const { return a_.count; }
  uint32_t fontEntries() const { return b_.count; }
  uint32_t entriesC() const { return c_.count; }

  // The bucket a key falls into, for those who test the spread.
  static unsigned bucketOf(uintptr_t key) { return static_cast<unsigned>((key >> 3) % 64); }

 private:
  struct Entry {
    uintptr_t key;
    GCountedPtr object;
  };
  struct Map {
    std::array<std::list<Entry>, 64> buckets;
    uint32_t count = 0;

    Entry* find(uintptr_t key);
    const Entry* find(uintptr_t key) const;
    Entry& entry(uintptr_t key);
    void set(uintptr_t key, MPersistentObject* object) { entry(key).object = object; }
    GCountedRef take(uintptr_t key);
    MPersistentObject* get(uintptr_t key) { return entry(key).object.get(); }
    MPersistentObject* copyOf(uintptr_t key);
    void copyInto(Map& other) const;
    void clear();
  };

  Map a_;
  Map b_;
  Map c_;
  uintptr_t owner_;
  uint16_t generation_;
};

#endif
