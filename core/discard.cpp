#include "core/discard.h"

#include <vector>

#include "core/cntdptr.h"
#include "core/perobj.h"
#include "core/recindex.h"
#include "rw/startup.h"
#include "rw/rwstore.h"

namespace {

// What the walk hands over: the objects that own what lies below them and
// are shared by count, held here until the walk is done.
struct Counted {
  std::vector<GCountedRef> persistent;
  std::vector<GRecordRef> records;
};

bool claim(RWCollectable* object, void* data) {
  auto* counted = static_cast<Counted*>(data);
  if (auto* p = dynamic_cast<MPersistentObject*>(object)) {
    counted->persistent.emplace_back(p);
    return true;
  }
  if (auto* r = dynamic_cast<GRecord*>(object)) {
    counted->records.emplace_back(r);
    return true;
  }
  return false;
}

void dispose(RWCollectable* root, const RWRestoredSet* made) {
  Counted counted;
  rwDisposeGraph(root, made, claim, &counted);
}

// Installed while the library runs.
RWRestoredDisposer previousDisposer = nullptr;
void installDisposer() { previousDisposer = rwSetRestoredDisposer(dispose); }
void removeDisposer() { rwSetRestoredDisposer(previousDisposer); }
RW_STARTUP(installer, installDisposer, removeDisposer);

}  // namespace

void gDiscardGraph(RWCollectable* root) { dispose(root, nullptr); }
