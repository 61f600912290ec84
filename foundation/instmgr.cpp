#include "rw/instmgr.h"

#include <new>

#include "rw/kmsys.h"
#include "rw/mutex.h"

namespace {

struct Slot {
  uint32_t key;
  void* value;
  Slot* next;
};

struct ThreadEntry {
  uint32_t thread;
  Slot* slots;
  ThreadEntry* next;
};

// Both are constant-initialised, so managers made by static initialisers of
// any module find them ready.
ThreadEntry* registryHead = nullptr;
RW_FILE_LOCK(registryLock);

RW_FILE_LOCK(keyLock);
uint32_t lastKey = 0;

ThreadEntry* findEntry(uint32_t thread, ThreadEntry** before = nullptr) {
  ThreadEntry* prev = nullptr;
  for (ThreadEntry* e = registryHead; e; prev = e, e = e->next) {
    if (e->thread == thread) {
      if (before) *before = prev;
      return e;
    }
  }
  return nullptr;
}

Slot* findSlot(ThreadEntry* e, uint32_t key, Slot** before = nullptr) {
  Slot* prev = nullptr;
  for (Slot* s = e->slots; s; prev = s, s = s->next) {
    if (s->key == key) {
      if (before) *before = prev;
      return s;
    }
  }
  return nullptr;
}

}  // namespace

// The persistence lock already serialises every use made by the store and
// read tables; the registry's own lock keeps any other user from racing on
// the shared list of entries.
int RWThreadRegistry::set(uint32_t key, void* value) {
  RWGuard guard(registryLock);
  uint32_t thread = rwCurrentThreadId();
  ThreadEntry* e = findEntry(thread);
  if (e && findSlot(e, key)) return 0;
  Slot* slot = new (std::nothrow) Slot{key, value, nullptr};
  if (!slot) return 0;
  if (!e) {
    e = new (std::nothrow) ThreadEntry{thread, slot, nullptr};
    if (!e) {
      delete slot;
      return 0;
    }
    ThreadEntry** tail = &registryHead;
    while (*tail) tail = &(*tail)->next;
    *tail = e;
    return 1;
  }
  Slot** tail = &e->slots;
  while (*tail) tail = &(*tail)->next;
  *tail = slot;
  return 1;
}

void* RWThreadRegistry::get(uint32_t key) {
  RWGuard guard(registryLock);
  ThreadEntry* e = findEntry(rwCurrentThreadId());
  if (!e) return nullptr;
  Slot* s = findSlot(e, key);
  return s ? s->value : nullptr;
}

void* RWThreadRegistry::take(uint32_t key) {
  RWGuard guard(registryLock);
  ThreadEntry* before = nullptr;
  ThreadEntry* e = findEntry(rwCurrentThreadId(), &before);
  if (!e) return nullptr;
  Slot* prevSlot = nullptr;
  Slot* s = findSlot(e, key, &prevSlot);
  if (!s) return nullptr;
  void* value = s->value;
  (prevSlot ? prevSlot->next : e->slots) = s->next;
  delete s;
  if (!e->slots) {
    (before ? before->next : registryHead) = e->next;
    delete e;
  }
  return value;
}

bool RWThreadRegistry::hasEntry() {
  RWGuard guard(registryLock);
  return findEntry(rwCurrentThreadId()) != nullptr;
}

RWThreadInstanceManager::RWThreadInstanceManager() {
  RWGuard guard(keyLock);
  key_ = ++lastKey;
}

RWThreadInstanceManager::~RWThreadInstanceManager() = default;

void* RWThreadInstanceManager::current() const { return RWThreadRegistry::get(key_); }

void* RWThreadInstanceManager::makeCurrent() {
  void* instance = create();
  if (instance && !RWThreadRegistry::set(key_, instance)) {
    // The thread already had one (or the slot could not be made): keep the
    // registered instance rather than leak or shadow it.
    destroy(instance);
    return RWThreadRegistry::get(key_);
  }
  return instance;
}

void RWThreadInstanceManager::release() {
  void* instance = RWThreadRegistry::take(key_);
  if (instance) destroy(instance);
}
