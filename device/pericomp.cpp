#include "device/pericomp.h"

#include <memory>

#include "core/childvec.h"
#include "core/perclass.h"
#include "core/state.h"
#include "device/config.h"
#include "journal/ctlcmds.h"
#include "rw/rwstore.h"

namespace {

GPeripheral* asStage(MPersistentObject* object) {
  if (!object || !object->isKindOf(ClassId::GPeripheral)) return nullptr;
  return dynamic_cast<GPeripheral*>(object);
}

// Whether the target is the object or lies below it, by identity. Followed
// through the objects' own iterators, as the searches go down a tree.
bool reaches(MPersistentObject* object, const MPersistentObject* target) {
  if (!object) return false;
  if (object == target) return true;
  if (!object->isComposite()) return false;
  const std::unique_ptr<GChildIterator> it(object->createIterator());
  while (it && it->advance()) {
    if (reaches(it->current(), target)) return true;
  }
  return false;
}

// Takes a stage off another's dependents, every occurrence.
void dropDependent(GPeripheral* stage, const GPeripheral* dependent) {
  if (!stage) return;
  for (RWsize i = stage->dependentCount(); i > 0; --i) {
    GPeripheral* named = stage->dependentAt(i - 1);
    if (named == dependent) stage->removeDependent(named);
  }
}

// What a configuration item may be: a configuration or an attribute
// composite (the state a new composite starts with).
bool isConfigurationItem(MPersistentObject* p) {
  return dynamic_cast<GConfiguration*>(p) != nullptr || dynamic_cast<GAttributeComposite*>(p) != nullptr;
}

// Restores one own item into its holder, as the stage restores its
// settings: another class, or nil, leaves it absent; a failed read leaves it
// as it was and answers false.
template <class T, class Source>
bool restoreOwnItem(Source& source, GCountedPtr& item, bool (*fits)(T*) = nullptr) {
  T* read = nullptr;
  if (!restoreSharedMember(source, read, fits)) return false;
  item = read;
  return true;
}

}  // namespace

G_DEFINE_PERSISTENT_RESTORE(GPeripheralComposite, GPeripheral)
G_DEFINE_PERSISTENT_IDENTITY(GPeripheralComposite)

// Counted with the composite itself in the store table, as the store that
// writes it has it: its children name it among their dependents, and those
// are references to it, never a second copy of it. (A stage is only ever
// stored from within a store operation.)
RWspace GPeripheralComposite::binaryStoreSize() const {
  RWUseStoreTable table;
  int32_t index = 0;
  table.add(this, index);
  const RWspace base = GPeripheral::binaryStoreSize();
  return base + levelStoreSize();
}

void GPeripheralComposite::saveGuts(RWvostream& s) const {
  GPeripheral::saveGuts(s);
  saveLevel(s);
}

void GPeripheralComposite::saveGuts(RWFile& f) const {
  GPeripheral::saveGuts(f);
  saveLevel(f);
}

// ---- construction --------------------------------------------------------------------

GPeripheralComposite::GPeripheralComposite() : GPeripheralComposite(0) {}

GPeripheralComposite::GPeripheralComposite(const uint32_t& id)
    : GPeripheral(id),
      ownState_(new GState(AttrId::StageState)),
      ownDefaults_(new GState(AttrId::StageState)),
      ownConfig_(new GState(AttrId::StageConfig)),
      changing_(0) {
  rebuildConfig();
}

GPeripheralComposite::GPeripheralComposite(const RWCString& name, GState* defaults, GConfiguration* config,
                                           const uint32_t& id, uint32_t addOnListId, int32_t kind, int32_t mode)
    : GPeripheral(name, defaults, config, id, addOnListId, kind, mode), changing_(0) {
  // The stage took the configuration and defaults as its own Config and
  // Default; here they are the composite's own items, which the merged
  // configuration and reset are rebuilt from, so that nothing given is
  // cleared away by the first change.
  ownConfig_ = GPeripheral::config();
  ownDefaults_ = GPeripheral::defaults();
  ownState_ = GPeripheral::state();
  // Calls changed, which builds the merged configuration in it.
  GPeripheral::setConfig(new GConfiguration(AttrId::StageConfig));
}

GPeripheralComposite::GPeripheralComposite(const GPeripheralComposite& other)
    : GPeripheral(other),
      ownState_(other.ownState_),
      ownDefaults_(other.ownDefaults_),
      ownConfig_(other.ownConfig_),
      children_(other.children_),
      activeChildren_(other.activeChildren_),
      changing_(0) {}

GPeripheralComposite& GPeripheralComposite::operator=(const GPeripheralComposite& other) {
  if (this == &other || !differs(&other)) return *this;
  GPeripheral::operator=(other);
  // The children shared from the other do not name this composite; the
  // ones it leaves must not name it either once it is gone.
  for (RWsize i = 0; i < children_.entries(); ++i) leave(childAt(i));
  children_ = other.children_;
  activeChildren_ = other.activeChildren_;
  ownState_ = other.ownState_;
  ownDefaults_ = other.ownDefaults_;
  ownConfig_ = other.ownConfig_;
  return *this;
}

GPeripheralComposite::~GPeripheralComposite() {
  for (RWsize i = 0; i < children_.entries(); ++i) leave(childAt(i));
}

RWBoolean GPeripheralComposite::isKindOf(RWClassID id) const {
  return id == classIsA() || GPeripheral::isKindOf(id);
}

RWBoolean GPeripheralComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GPeripheral::matches(other)) return FALSE;
  const GPeripheralComposite* o = dynamic_cast<const GPeripheralComposite*>(other);
  if (!o) return FALSE;
  return ownState_ == o->ownState_ && ownDefaults_ == o->ownDefaults_ && ownConfig_ == o->ownConfig_ &&
         activeChildren_.matches(&o->activeChildren_) && children_.matches(&o->children_);
}

// ---- children ------------------------------------------------------------------------

GPeripheral* GPeripheralComposite::stageIn(const MPersistentComposite& list, RWsize position) {
  return asStage(list.children().pointee(position));
}

GPeripheral* GPeripheralComposite::childAt(RWsize position) const { return stageIn(children_, position); }

bool GPeripheralComposite::admits(const MPersistentObject* object) const {
  GPeripheral* stage = asStage(const_cast<MPersistentObject*>(object));
  return stage && !reaches(stage, this);
}

void GPeripheralComposite::leave(GPeripheral* stage) { dropDependent(stage, this); }

void GPeripheralComposite::insert(MPersistentObject* object) {
  if (!object) return;
  if (!admits(object)) {
    // A stage that holds this composite is owned elsewhere (it may be this
    // very object): it is only refused. Anything else is disposed of.
    if (!asStage(object)) disposeUnshared(object);
    return;
  }
  GPeripheral* stage = asStage(object);
  children_.insert(stage);
  stage->addDependent(this);
  changed(this);
}

MPersistentObject* GPeripheralComposite::takeOut(const MPersistentObject* member) {
  if (!member) return nullptr;
  // A direct child leaves the active list first, so that the removal hands
  // over the child itself when only the lists held it. The children still
  // hold it meanwhile.
  if (children_.children().index(member) >= 0) activeChildren_.children().removeAll(member);
  MPersistentObject* result = children_.remove(member);
  if (!result) return nullptr;
  GPeripheral* removed = asStage(const_cast<MPersistentObject*>(member));
  leave(removed);
  // A copy answered in the child's place names the dependents the child
  // did, this composite among them.
  if (result != member) leave(asStage(result));
  if (removed) changed(this);
  return result;
}

MPersistentObject* GPeripheralComposite::remove(const MPersistentObject* member) {
  if (!asStage(const_cast<MPersistentObject*>(member))) return nullptr;
  return takeOut(member);
}

MPersistentObject* GPeripheralComposite::removeById(const uint32_t& id) {
  // Found first, so that the very child found can leave the dependents it
  // is on; the removal takes the same one, the first depth first.
  return takeOut(children_.findById(id));
}

MPersistentObject* GPeripheralComposite::removeByClassId(const RWClassID& classId) {
  return takeOut(children_.findByClassId(classId));
}

template <class Fits, class Below>
int GPeripheralComposite::replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below) {
  bool replacedChild = false;
  bool refused = false;
  const int found = gReplaceDepthFirst(children_.children(), replacement, fits, below,
                                       [&](RWsize position, MPersistentObject* fresh) {
                                         if (!admits(fresh)) {
                                           disposeUnshared(fresh);
                                           refused = true;
                                           return;
                                         }
                                         GPeripheral* old = childAt(position);
                                         const GCountedRef holdOld(old);
                                         if (old) activeChildren_.children().removeAll(old);
                                         *children_.children().at(position) = fresh;
                                         leave(old);
                                         asStage(fresh)->addDependent(this);
                                         replacedChild = true;
                                       });
  if (replacedChild) changed(this);
  return refused ? 0 : found;
}

int GPeripheralComposite::replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->replaceDeepById(id, replacement); });
}

int GPeripheralComposite::replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->replaceDeepByClassId(classId, replacement); });
}

int GPeripheralComposite::replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->replaceDeep(member, replacement); });
}

int GPeripheralComposite::replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isKindOf(kind); },
      [&](MPersistentObject* c) { return c->replaceDeepByKind(kind, replacement); });
}

void GPeripheralComposite::clear() {
  for (RWsize i = 0; i < children_.entries(); ++i) leave(childAt(i));
  // The active children are children: none is left to pass a job to.
  activeChildren_.clear();
  children_.clear();
}

MPersistentObject* GPeripheralComposite::findById(const uint32_t& id) const { return children_.findById(id); }

MPersistentObject* GPeripheralComposite::findByClassId(const RWClassID& classId) const {
  return children_.findByClassId(classId);
}

MPersistentObject* GPeripheralComposite::find(const MPersistentObject* object) const { return children_.find(object); }

MPersistentObject* GPeripheralComposite::findByKind(const RWClassID& kind) const { return children_.findByKind(kind); }

MPersistentComposite* GPeripheralComposite::collectByClassId(const RWClassID& classId,
                                                             MPersistentComposite* list) const {
  return children_.collectByClassId(classId, list);
}

MPersistentComposite* GPeripheralComposite::collectById(const uint32_t& id, MPersistentComposite* list) const {
  return children_.collectById(id, list);
}

MPersistentComposite* GPeripheralComposite::collectByKind(const RWClassID& kind, MPersistentComposite* list) const {
  return children_.collectByKind(kind, list);
}

MPersistentComposite* GPeripheralComposite::selectById(const uint32_t& id) const { return children_.selectById(id); }

MPersistentComposite* GPeripheralComposite::selectByClassId(const RWClassID& classId) const {
  return children_.selectByClassId(classId);
}

MPersistentComposite* GPeripheralComposite::selectByKind(const RWClassID& kind) const {
  return children_.selectByKind(kind);
}

RWBoolean GPeripheralComposite::isComposite() const { return TRUE; }
RWsize GPeripheralComposite::entries() const { return children_.entries(); }
RWsize GPeripheralComposite::totalEntries() const { return children_.totalEntries(); }
GChildIterator* GPeripheralComposite::createIterator() { return children_.createIterator(); }

MPersistentObject* GPeripheralComposite::deepCopy() const {
  // The stage's deep copy: a copy with deep copies of State, Default and
  // Config, so that the copy's changes never rebuild this composite's.
  MPersistentObject* made = GPeripheral::deepCopy();
  GPeripheralComposite* result = dynamic_cast<GPeripheralComposite*>(made);
  if (!result) {
    disposeUnshared(made);
    return nullptr;
  }
  // Own items that are the inherited ones stay so in the copy.
  if (!ownDefaults_.isNil() && ownDefaults_.get() == defaults())
    result->ownDefaults_ = result->defaults();
  else
    result->ownDefaults_ = ownDefaults_.deepCopy();
  if (!ownState_.isNil() && ownState_.get() == state())
    result->ownState_ = result->state();
  else
    result->ownState_ = ownState_.deepCopy();
  result->ownConfig_ = ownConfig_.deepCopy();
  result->clear();
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child) continue;
    MPersistentObject* copied = child->deepCopy();
    // The copy names this composite, as the child did; its composite is the
    // new one, and this one would never take itself off the copy's list.
    dropDependent(asStage(copied), this);
    result->insert(copied);
  }
  result->rebuildConfig();
  return result;
}

// ---- processing ----------------------------------------------------------------------

GCommandPtr GPeripheralComposite::process(const GCommandPtr& command) {
  GCommandPtr held(command);
  if (!held || !isEnabled()) return held;

  if (held->findByClassId(ClassId::GDocumentStart)) {
    attachAddOns();
    activeChildren_.clear();
    // Every enabled child sees the document start, whatever an earlier one
    // answered.
    for (RWsize i = 0; i < children_.entries(); ++i) {
      GPeripheral* child = childAt(i);
      if (!child || !child->isEnabled()) continue;
      const GCountedRef hold(child);
      held = child->process(held);
      if (child->isEnabled()) activeChildren_.insert(child);
    }
    return held;
  }

  for (RWsize i = 0; i < activeChildren_.entries(); ++i) {
    GPeripheral* child = stageIn(activeChildren_, i);
    if (!child || !child->isEnabled()) continue;
    const GCountedRef hold(child);
    held = child->process(held);
    if (held && (held->isA() == ClassId::GNoCommand || held->isA() == ClassId::GErrorCommand)) return held;
  }
  if (held && (held->findByClassId(ClassId::GDocumentEnd) || held->findByClassId(ClassId::GJobAbort))) {
    detachAddOns();
    // Releases the add-on proxies the list still held: each that nothing
    // else holds goes, and unloads its add-on.
    activeChildren_.clear();
  }
  return held;
}

// ---- settings ------------------------------------------------------------------------

void GPeripheralComposite::setDefaults(GState* defaults) {
  GPeripheral::setDefaults(defaults);
  ownDefaults_ = defaults;
}

GStatus GPeripheralComposite::setState(GState* state) {
  // The base only takes the state: it answers 0.
  (void)GPeripheral::setState(state);
  ownState_ = state;
  return 0;
}

void GPeripheralComposite::setConfig(GConfiguration* config) {
  ownConfig_ = config;
  changed(this);
}

GState* GPeripheralComposite::takeDefaults() {
  if (!defaults()) return nullptr;
  // The own hold goes first, so that the caller gets the object itself when
  // nobody else holds it; the new empty state is then both.
  if (ownDefaults_.get() == defaults()) ownDefaults_ = nullptr;
  GState* taken = GPeripheral::takeDefaults();
  if (GState* fresh = defaults()) fresh->setId(AttrId::StageState);
  ownDefaults_ = defaults();
  return taken;
}

GState* GPeripheralComposite::takeState() {
  if (!state()) return nullptr;
  if (ownState_.get() == state()) ownState_ = nullptr;
  GState* taken = GPeripheral::takeState();
  if (GState* fresh = state()) fresh->setId(AttrId::StageState);
  ownState_ = state();
  return taken;
}

GConfiguration* GPeripheralComposite::takeConfig() {
  if (ownConfig_.isNil()) return nullptr;
  // Out of the merged configuration first, so that the caller gets the
  // item itself when nobody else holds it.
  if (GConfiguration* merged = config()) merged->children().removeAll(ownConfig_.get());
  MPersistentObject* taken = ownConfig_.exchange(new GConfiguration(AttrId::StageConfig));
  changed(this);
  GConfiguration* configuration = dynamic_cast<GConfiguration*>(taken);
  if (configuration || !taken) return configuration;
  // An item of another class (the state a new composite starts with) is
  // handed over whole inside a configuration.
  configuration = new GConfiguration(AttrId::StageConfig);
  configuration->insert(taken);
  return configuration;
}

void GPeripheralComposite::reset() {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child) continue;
    const GCountedRef hold(child);
    child->reset();
  }
  GPeripheral::setDefaults(static_cast<GState*>(ownDefaults_.get()));
  ownState_ = ownDefaults_.deepCopy();
  GPeripheral::reset();
}

void GPeripheralComposite::changed(GPeripheral*) {
  if (changing_) return;
  changing_ = 1;
  rebuildConfig();
  GPeripheral::changed(this);
  changing_ = 0;
}

void GPeripheralComposite::changedSharingStates() {
  if (changing_) return;
  changing_ = 1;
  rebuildConfig();
  GState* merged = new GState(AttrId::StageState);
  GState* mergedDefaults = new GState(AttrId::StageState);
  const GCountedRef holdState(merged);
  const GCountedRef holdDefaults(mergedDefaults);
  if (GState* own = dynamic_cast<GState*>(ownState_.get())) merged->merge(own);
  if (GState* own = dynamic_cast<GState*>(ownDefaults_.get())) mergedDefaults->merge(own);
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child) continue;
    if (GState* d = child->defaults()) mergedDefaults->merge(d);
    if (GState* s = child->state()) merged->merge(s);
  }
  // The stage's own setters: the own items are what the next change layers
  // from again.
  // setState only takes the state, on every stage: it answers 0.
  GPeripheral::setDefaults(mergedDefaults);
  (void)GPeripheral::setState(merged);
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child) continue;
    const GCountedRef hold(child);
    child->setDefaults(mergedDefaults);
    (void)child->setState(merged);
  }
  GPeripheral::changed(this);
  changing_ = 0;
}

void GPeripheralComposite::rebuildConfig() {
  GConfiguration* merged = config();
  if (!merged) {
    // A restored stage may have none: the merged one is made afresh. The
    // stage's setConfig calls changed, which finds this rebuild under way
    // when it comes from changed.
    const int32_t was = changing_;
    changing_ = 1;
    GPeripheral::setConfig(new GConfiguration(AttrId::StageConfig));
    changing_ = was;
    merged = config();
    if (!merged) return;
  }
  const GCountedRef hold(merged);
  merged->clear();
  auto add = [&](MPersistentObject* item) {
    // An item holding the merged configuration would make it hold itself.
    if (item && !reaches(item, merged)) merged->insert(item);
  };
  add(ownConfig_.get());
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (GPeripheral* child = childAt(i)) add(child->config());
  }
}

// ---- queries -------------------------------------------------------------------------

int32_t GPeripheralComposite::isReady() {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (child && child->isReady() == 0) return 0;
  }
  return 1;
}

void GPeripheralComposite::scaleFactors(GScaleFactors& factors, GState* documentState, GState* pageState,
                                        int32_t pageIndex, int32_t& mode) {
  GReal x = 1.0f;
  GReal y = 1.0f;
  for (RWsize i = 0; i < children_.entries(); ++i) {
    // Zero of either sign: nothing can bring the product back.
    if (x == 0.0f && y == 0.0f) break;
    GPeripheral* child = childAt(i);
    if (!child || !child->isEnabled()) continue;
    GScaleFactors asked;
    child->scaleFactors(asked, documentState, pageState, pageIndex, mode);
    x *= asked.x();
    y *= asked.y();
  }
  factors.set(x, y);
}

uint32_t GPeripheralComposite::processingFlags() {
  uint32_t flags = 0;
  for (RWsize i = 0; i < children_.entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (child && child->isEnabled()) flags |= child->processingFlags();
  }
  return flags;
}

// ---- stored form ---------------------------------------------------------------------

RWspace GPeripheralComposite::levelStoreSize() const {
  // The children go out as a whole object with their class tag: their size
  // is their recursive size, counted in the store table binaryStoreSize
  // holds.
  return 4 + children_.recursiveStoreSize() + ownState_.binaryStoreSize() + ownDefaults_.binaryStoreSize() +
         ownConfig_.binaryStoreSize();
}

template <class Sink>
void GPeripheralComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable&>(children_);
  ownState_.saveGuts(sink);
  ownDefaults_.saveGuts(sink);
  ownConfig_.saveGuts(sink);
}

void GPeripheralComposite::keepOnlyStages() {
  GCountedPtrVector& list = children_.children();
  // A child dropped here goes with what it owns, while the restore still
  // knows them all by index: from the first dropped child on, nothing read
  // so far may be named by a later reference, or that reference would
  // reach freed memory. The stages kept after it stay held, only unnamed.
  for (RWsize i = 0; i < list.entries(); ++i) {
    MPersistentObject* child = list.pointee(i);
    if (!child || asStage(child)) continue;
    RWUseReadTable use;
    use.table()->forgetWithin(child);
    break;
  }
  for (RWsize i = list.entries(); i > 0; --i) {
    if (!asStage(list.pointee(i - 1))) list.removeAt(i - 1);
  }
  for (RWsize i = 0; i < list.entries(); ++i) {
    GPeripheral* child = childAt(i);
    bool named = false;
    for (RWsize d = 0; d < child->dependentCount() && !named; ++d) named = child->dependentAt(d) == this;
    if (!named) child->addDependent(this);
  }
}

template <class Source>
void GPeripheralComposite::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Objects read below may refer back to this composite; they are refused.
  MRestoreScope scope(this);
  for (RWsize i = 0; i < children_.entries(); ++i) leave(childAt(i));
  activeChildren_.clear();
  // The children are a member: no later reference may hand them to an
  // owner.
  const RWCollectable::Restored r = restoreInPlace(source, static_cast<RWCollectable&>(children_));
  // Whatever the file holds, the composite walks only stages.
  keepOnlyStages();
  if (r.failed) return;
  if (!restoreOwnItem<GState>(source, ownState_)) return;
  if (!restoreOwnItem<GState>(source, ownDefaults_)) return;
  restoreOwnItem<MPersistentObject>(source, ownConfig_, isConfigurationItem);
}
