// Disposing of a restored object graph (see tools/discard.h).

#include "tools/discard.h"

#include <unordered_set>
#include <vector>

#include "core/cntdptr.h"
#include "core/perobj.h"
#include "core/recindex.h"
#include "rw/btrdict.h"
#include "rw/colclass.h"
#include "rw/collass.h"

namespace {

// A dictionary's items: the associations it owns, whose keys and values are
// walked on.
struct DictionaryWalk {
  std::unordered_set<RWCollectable*>* owned;
  std::vector<RWCollectable*>* pending;
  static void visit(RWCollectable* item, void* data) {
    auto* walk = static_cast<DictionaryWalk*>(data);
    walk->owned->insert(item);
    if (auto* a = dynamic_cast<RWCollectableAssociation*>(item)) {
      walk->pending->push_back(a->key());
      walk->pending->push_back(a->value());
    }
  }
};

void pushItem(RWCollectable* item, void* data) { static_cast<std::vector<RWCollectable*>*>(data)->push_back(item); }

}  // namespace

void discardGraph(RWCollectable* root) {
  std::unordered_set<RWCollectable*> seen;
  std::unordered_set<RWCollectable*> ownedByDictionary;
  std::vector<RWCollectable*> plain;  // foundation objects, in the order met
  std::vector<GCountedRef> persistent;
  std::vector<GRecordRef> records;
  std::vector<RWCollectable*> pending{root};
  while (!pending.empty()) {
    RWCollectable* object = pending.back();
    pending.pop_back();
    if (!object || !seen.insert(object).second) continue;
    if (auto* p = dynamic_cast<MPersistentObject*>(object)) {
      persistent.emplace_back(p);
      continue;
    }
    if (auto* r = dynamic_cast<GRecord*>(object)) {
      records.emplace_back(r);
      continue;
    }
    plain.push_back(object);
    if (auto* dictionary = dynamic_cast<RWBTreeDictionary*>(object)) {
      DictionaryWalk walk{&ownedByDictionary, &pending};
      dictionary->apply(DictionaryWalk::visit, &walk);
    } else if (auto* collection = dynamic_cast<RWCollection*>(object)) {
      collection->apply(pushItem, &pending);
    } else if (auto* association = dynamic_cast<RWCollectableAssociation*>(object)) {
      pending.push_back(association->key());
      pending.push_back(association->value());
    }
  }
  persistent.clear();
  records.clear();
  for (RWCollectable* object : plain)
    if (!ownedByDictionary.count(object)) delete object;
}

