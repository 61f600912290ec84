// The engine's general services: memory, semaphores, the last error, the
// clock, EngMulDiv and debug output; and the registry of live objects and
// the misuse report that every other service uses.

#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>
#include <unordered_map>

#include "host/engine/internal.h"

namespace eng::detail {

std::recursive_mutex& lock() {
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
  static Registry* r = new Registry;  // lives past every static destructor
  return *r;
}

std::set<const void*>& setOf(Kind kind) { return registry().sets[static_cast<size_t>(kind)]; }

}  // namespace

void track(Kind kind, const void* object) {
  std::lock_guard guard(lock());
  setOf(kind).insert(object);
}

bool untrack(Kind kind, const void* object) {
  std::lock_guard guard(lock());
  return setOf(kind).erase(object) != 0;
}

bool tracked(Kind kind, const void* object) {
  std::lock_guard guard(lock());
  return object != nullptr && setOf(kind).count(object) != 0;
}

long count(Kind kind) {
  std::lock_guard guard(lock());
  return static_cast<long>(setOf(kind).size());
}

void reportMisuse(const std::string& what) {
  std::lock_guard guard(lock());
  registry().misuse.push_back(what);
  std::fprintf(stderr, "engine: misuse: %s\n", what.c_str());
}

Device* deviceOf(HDEV hdev, const char* service) {
  if (!tracked(Kind::Device, hdev)) {
    reportMisuse(std::string(service) + ": unknown engine device");
    return nullptr;
  }
  return reinterpret_cast<Device*>(hdev);
}

std::u16string widen(const std::string& ascii) {
  std::u16string out;
  for (unsigned char c : ascii) out += ansiToUnicode(c);
  return out;
}

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    int b = unicodeToAnsi(c);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::u16string fromZ(const WCHAR* text) {
  std::u16string out;
  if (text)
    while (*text) out += *text++;
  return out;
}

}  // namespace eng::detail

using namespace eng::detail;

namespace {

// A pool block: the header records the size so that a block can be checked
// when it comes back; the data follows, aligned for any type.
struct alignas(16) BlockHeader {
  uint32_t size;
  uint32_t tag;
};

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

namespace eng {

Knobs& knobs() { return theKnobs; }

void setClock(const ENG_TIME_FIELDS& time) {
  std::lock_guard guard(lock());
  theClock = time;
}

const std::vector<std::string>& misuse() { return registry().misuse; }
const std::vector<std::string>& debugLines() { return registry().debug; }

Live live() {
  Live l;
  l.blocks = count(Kind::Block);
  l.semaphores = count(Kind::Semaphore);
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
  if (theKnobs.poolBlocks == 0) return nullptr;
  if (theKnobs.poolBlocks > 0) --theKnobs.poolBlocks;
  auto* header = static_cast<BlockHeader*>(::operator new(sizeof(BlockHeader) + cj, std::nothrow));
  if (!header) return nullptr;
  header->size = cj;
  header->tag = tag;
  void* data = header + 1;
  if (fl & FL_ZERO_MEMORY) std::memset(data, 0, cj);
  track(Kind::Block, data);
  return data;
}

void EngFreeMem(PVOID pv) {
  std::lock_guard guard(lock());
  if (!untrack(Kind::Block, pv)) {
    reportMisuse("EngFreeMem: not a block of the pool");
    return;
  }
  ::operator delete(static_cast<BlockHeader*>(pv) - 1);
}

HSEMAPHORE EngCreateSemaphore() {
  auto* s = new (std::nothrow) Semaphore;
  if (s) track(Kind::Semaphore, s);
  return reinterpret_cast<HSEMAPHORE>(s);
}

void EngDeleteSemaphore(HSEMAPHORE hsem) {
  auto* s = reinterpret_cast<Semaphore*>(hsem);
  if (!untrack(Kind::Semaphore, s)) {
    reportMisuse("EngDeleteSemaphore: unknown semaphore");
    return;
  }
  if (s->depth != 0) reportMisuse("EngDeleteSemaphore: the semaphore is held");
  delete s;
}

void EngAcquireSemaphore(HSEMAPHORE hsem) {
  auto* s = reinterpret_cast<Semaphore*>(hsem);
  if (!tracked(Kind::Semaphore, s)) {
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
  if (!tracked(Kind::Semaphore, s)) {
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
  if (!ptf) {
    reportMisuse("EngQueryLocalTime: no time record");
    return;
  }
  std::lock_guard guard(lock());
  *ptf = theClock;
}

INT EngMulDiv(INT a, INT b, INT c) {
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
