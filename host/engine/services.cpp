// The engine's general services: memory, semaphores, the last error, the
// clock, EngMulDiv and debug output; and the registry of live objects and
// the misuse report that every other service uses.

#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <unordered_map>

#include "host/engine/internal.h"

namespace eng::detail {

std::recursive_mutex& lock() {
  OwnMemory own;
  static std::recursive_mutex theLock;
  return theLock;
}

namespace {

struct Registry {
  std::array<std::set<const void*>, static_cast<size_t>(Kind::Count)> sets;
  std::vector<std::string> misuse;
  std::vector<std::string> debug;
};

Registry& registry() {
  OwnMemory own;
  static Registry* r = new Registry;  // lives past every static destructor
  return *r;
}

std::set<const void*>& setOf(Kind kind) { return registry().sets[static_cast<size_t>(kind)]; }

}  // namespace

void track(Kind kind, const void* object) {
  OwnMemory own;
  std::lock_guard guard(lock());
  setOf(kind).insert(object);
}

bool untrack(Kind kind, const void* object) {
  OwnMemory own;
  std::lock_guard guard(lock());
  return setOf(kind).erase(object) != 0;
}

bool tracked(Kind kind, const void* object) {
  OwnMemory own;
  std::lock_guard guard(lock());
  return object != nullptr && setOf(kind).count(object) != 0;
}

long count(Kind kind) {
  OwnMemory own;
  std::lock_guard guard(lock());
  return static_cast<long>(setOf(kind).size());
}

void reportMisuse(const std::string& what) {
  OwnMemory own;
  std::lock_guard guard(lock());
  registry().misuse.push_back(what);
  std::fprintf(stderr, "engine: misuse: %s\n", what.c_str());
}

Device* deviceOf(HDEV hdev, const char* service) {
  OwnMemory own;
  if (!tracked(Kind::Device, hdev)) {
    reportMisuse(std::string(service) + ": unknown engine device");
    return nullptr;
  }
  return reinterpret_cast<Device*>(hdev);
}

std::u16string widen(const std::string& ascii) {
  OwnMemory own;
  std::u16string out;
  for (unsigned char c : ascii) out += ansiToUnicode(c);
  return out;
}

std::string narrow(const std::u16string& text) {
  OwnMemory own;
  std::string out;
  for (char16_t c : text) {
    int b = unicodeToAnsi(c);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::u16string fromZ(const WCHAR* text) {
  OwnMemory own;
  std::u16string out;
  if (text)
    while (*text) out += *text++;
  return out;
}

}  // namespace eng::detail

using namespace eng::detail;

namespace {

// A pool block: the header records the size and tag so that a block can be
// checked when it comes back; the data follows, aligned for any type.
struct alignas(16) BlockHeader {
  uint32_t size;
  uint32_t tag;
};

// A set of pointers kept on the C library's allocator. Pool blocks and
// semaphores are tracked here and not in the registry's std::set: a driver
// whose operator new sits on the pool would otherwise come back into
// EngAllocMem while a block is being tracked, and a driver whose heap lock
// is a semaphore must be able to take and give it back without waiting on
// the engine's lock, which a thread inside an allocation may hold.
// Open addressing with linear probing; null marks an empty slot.
class PointerSet {
 public:
  bool insert(const void* p) {
    if ((count_ + 1) * 2 > capacity_ && !grow()) return false;
    size_t i = home(p);
    while (slots_[i]) i = (i + 1) & (capacity_ - 1);
    slots_[i] = p;
    ++count_;
    return true;
  }

  bool erase(const void* p) {
    size_t i;
    if (!find(p, i)) return false;
    slots_[i] = nullptr;
    --count_;
    // Shift later members of the run back, so that no search stops early
    // at the hole.
    const size_t mask = capacity_ - 1;
    for (size_t j = (i + 1) & mask; slots_[j]; j = (j + 1) & mask) {
      size_t k = home(slots_[j]);
      bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (stays) continue;
      slots_[i] = slots_[j];
      slots_[j] = nullptr;
      i = j;
    }
    return true;
  }

  bool contains(const void* p) const {
    size_t i;
    return p && find(p, i);
  }

  long size() const { return static_cast<long>(count_); }

 private:
  size_t home(const void* p) const {
    auto v = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
    return static_cast<size_t>((v >> 4) * 0x9E3779B97F4A7C15ull >> 32) & (capacity_ - 1);
  }

  bool find(const void* p, size_t& at) const {
    if (capacity_ == 0) return false;
    for (size_t i = home(p); slots_[i]; i = (i + 1) & (capacity_ - 1))
      if (slots_[i] == p) {
        at = i;
        return true;
      }
    return false;
  }

  bool grow() {
    size_t capacity = capacity_ ? capacity_ * 2 : 64;
    auto* slots = static_cast<const void**>(std::calloc(capacity, sizeof(const void*)));
    if (!slots) return false;
    const void** old = slots_;
    size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    count_ = 0;
    for (size_t i = 0; i < oldCapacity; ++i)
      if (old[i]) insert(old[i]);
    std::free(old);
    return true;
  }

  const void** slots_ = nullptr;
  size_t capacity_ = 0;  // a power of two
  size_t count_ = 0;
};

// The pool's blocks, under the engine's lock. Constant-initialised with a
// trivial destructor, so it is there for a driver's static constructors and
// destructors too.
PointerSet& poolBlocks() {
  OwnMemory own;
  static PointerSet blocks;
  return blocks;
}

// The blocks served while the engine works for itself (OwnMemory): given
// back through EngFreeMem like the pool's, but outside its limit and count.
PointerSet& ownBlocks() {
  OwnMemory own;
  static PointerSet blocks;
  return blocks;
}

thread_local int ownMemoryDepth = 0;

// The semaphores, under a lock of their own that nothing is called under.
std::mutex& semaphoreLock() {
  OwnMemory own;
  static std::mutex m;
  return m;
}

PointerSet& semaphores() {
  OwnMemory own;
  static PointerSet set;
  return set;
}

bool knownSemaphore(const void* s) {
  OwnMemory own;
  std::lock_guard guard(semaphoreLock());
  return semaphores().contains(s);
}

eng::Knobs theKnobs;

// The clock, fixed until a test sets it: Friday 1 January 1999, midnight.
ENG_TIME_FIELDS theClock = {1999, 1, 1, 0, 0, 0, 0, 5};

// A semaphore that its holder may take again; release by another thread, or
// by a thread that does not hold it, is misuse.
struct Semaphore {
  std::mutex m;
  std::condition_variable cv;
  std::thread::id owner;
  unsigned depth = 0;
};

thread_local ULONG lastError = 0;

}  // namespace

namespace eng::detail {

OwnMemory::OwnMemory() { ++ownMemoryDepth; }
OwnMemory::~OwnMemory() { --ownMemoryDepth; }
DriverMemory::DriverMemory() : saved_(ownMemoryDepth) { ownMemoryDepth = 0; }
DriverMemory::~DriverMemory() { ownMemoryDepth = saved_; }

}  // namespace eng::detail

namespace eng {

Knobs& knobs() { return theKnobs; }

void setClock(const ENG_TIME_FIELDS& time) {
  OwnMemory own;
  std::lock_guard guard(lock());
  theClock = time;
}

const std::vector<std::string>& misuse() { return registry().misuse; }
const std::vector<std::string>& debugLines() { return registry().debug; }

bool poolBlock(const void* block, ULONG& size, ULONG& tag) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (!poolBlocks().contains(block)) return false;
  const BlockHeader* header = static_cast<const BlockHeader*>(block) - 1;
  size = header->size;
  tag = header->tag;
  return true;
}

Live live() {
  OwnMemory own;
  Live l;
  {
    std::lock_guard guard(lock());
    l.blocks = poolBlocks().size();
  }
  {
    std::lock_guard guard(semaphoreLock());
    l.semaphores = semaphores().size();
  }
  l.surfaces = count(Kind::Surface);
  l.palettes = count(Kind::Palette);
  l.clips = count(Kind::Clip);
  l.paths = count(Kind::Path);
  l.modules = count(Kind::Module);
  l.images = count(Kind::Image);
  l.files = count(Kind::File);
  return l;
}

void reset() {
  OwnMemory own;
  std::lock_guard guard(lock());
  registry().misuse.clear();
  registry().debug.clear();
  theKnobs = Knobs();
  theClock = {1999, 1, 1, 0, 0, 0, 0, 5};
  removeNtdllEntry("");
  forgetFileCalls();
}

}  // namespace eng

extern "C" {

PVOID EngAllocMem(ULONG fl, ULONG cj, ULONG tag) {
  std::lock_guard guard(lock());
  const bool own = ownMemoryDepth > 0;
  if (!own && theKnobs.poolBlocks == 0) return nullptr;
  if (!own && theKnobs.poolBlocks > 0) --theKnobs.poolBlocks;
  // The C library's allocator, never operator new: see PointerSet.
  void* raw = nullptr;
  if (posix_memalign(&raw, alignof(BlockHeader), sizeof(BlockHeader) + cj) != 0) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = cj;
  header->tag = tag;
  void* data = header + 1;
  if (!(own ? ownBlocks() : poolBlocks()).insert(data)) {
    std::free(raw);
    return nullptr;
  }
  if (fl & FL_ZERO_MEMORY) std::memset(data, 0, cj);
  return data;
}

void EngFreeMem(PVOID pv) {
  std::lock_guard guard(lock());
  if (!poolBlocks().erase(pv) && !ownBlocks().erase(pv)) {
    reportMisuse("EngFreeMem: not a block of the pool");
    return;
  }
  std::free(static_cast<BlockHeader*>(pv) - 1);
}

HSEMAPHORE EngCreateSemaphore() {
  void* raw = std::malloc(sizeof(Semaphore));
  if (!raw) return nullptr;
  auto* s = new (raw) Semaphore;
  std::lock_guard guard(semaphoreLock());
  if (!semaphores().insert(s)) {
    s->~Semaphore();
    std::free(raw);
    return nullptr;
  }
  return reinterpret_cast<HSEMAPHORE>(s);
}

void EngDeleteSemaphore(HSEMAPHORE hsem) {
  auto* s = reinterpret_cast<Semaphore*>(hsem);
  bool known;
  {
    std::lock_guard guard(semaphoreLock());
    known = semaphores().erase(s);
  }
  if (!known) {
    reportMisuse("EngDeleteSemaphore: unknown semaphore");
    return;
  }
  if (s->depth != 0) reportMisuse("EngDeleteSemaphore: the semaphore is held");
  s->~Semaphore();
  std::free(s);
}

void EngAcquireSemaphore(HSEMAPHORE hsem) {
  auto* s = reinterpret_cast<Semaphore*>(hsem);
  if (!knownSemaphore(s)) {
    reportMisuse("EngAcquireSemaphore: unknown semaphore");
    return;
  }
  std::unique_lock held(s->m);
  auto self = std::this_thread::get_id();
  if (s->depth != 0 && s->owner == self) {
    ++s->depth;
    return;
  }
  s->cv.wait(held, [s] { return s->depth == 0; });
  s->owner = self;
  s->depth = 1;
}

void EngReleaseSemaphore(HSEMAPHORE hsem) {
  auto* s = reinterpret_cast<Semaphore*>(hsem);
  if (!knownSemaphore(s)) {
    reportMisuse("EngReleaseSemaphore: unknown semaphore");
    return;
  }
  std::unique_lock held(s->m);
  if (s->depth == 0 || s->owner != std::this_thread::get_id()) {
    held.unlock();
    reportMisuse("EngReleaseSemaphore: the semaphore is not held by this thread");
    return;
  }
  if (--s->depth == 0) {
    s->owner = std::thread::id();
    s->cv.notify_one();
  }
}

void EngSetLastError(ULONG iError) { lastError = iError; }
ULONG EngGetLastError() { return lastError; }

void EngQueryLocalTime(ENG_TIME_FIELDS* ptf) {
  OwnMemory own;
  if (!ptf) {
    reportMisuse("EngQueryLocalTime: no time record");
    return;
  }
  std::lock_guard guard(lock());
  *ptf = theClock;
}

INT EngMulDiv(INT a, INT b, INT c) {
  OwnMemory own;
  if (c == 0) return -1;
  int64_t product = static_cast<int64_t>(a) * b;
  int64_t q = product / c;
  int64_t r = product % c;
  // Half away from zero: the remainder counts once its double reaches the
  // divisor.
  if (r != 0 && 2 * (r < 0 ? -r : r) >= (c < 0 ? -static_cast<int64_t>(c) : c))
    q += ((product < 0) != (c < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<INT>(q);
}

void EngDebugPrint(PCHAR pszPrefix, PCHAR pszFormat, va_list ap) {
  OwnMemory own;
  if (!pszFormat) {
    reportMisuse("EngDebugPrint: no format");
    return;
  }
  char line[1024];
  std::vsnprintf(line, sizeof line, pszFormat, ap);
  std::lock_guard guard(lock());
  registry().debug.push_back(std::string(pszPrefix ? pszPrefix : "") + line);
}

}  // extern "C"
