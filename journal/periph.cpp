#include "journal/periph.h"

#include <memory>

#include "core/outport.h"
#include "core/perclass.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "journal/ctlcmds.h"
#include "rw/rwerr.h"
#include "rw/rwstore.h"

namespace {

// The tags of the dependents list in the stored form: the list itself, or
// the store-table index of a list stored before. They are the characters
// the virtual streams mark an object and a reference with.
constexpr char kListStored = 0x3A;
constexpr char kListSeen = 0x40;

GAddOnProxyMaker& installedProxyMaker() {
  static GAddOnProxyMaker maker = nullptr;
  return maker;
}

bool writeTag(RWFile& f, char tag) { return f.Write(tag); }
bool writeTag(RWvostream& s, char tag) { return s.putChar(tag).good(); }
bool readTag(RWFile& f, char& tag) { return f.Read(tag); }
bool readTag(RWvistream& s, char& tag) { return !s.getChar(tag).fail(); }

bool isStateObject(MPersistentObject* p) { return dynamic_cast<GState*>(p) != nullptr; }

// Restores one of the three settings into its holder. A stored object of
// the wrong class, or nil, leaves the setting absent; a read that failed
// leaves it as it was.
template <class T, class Source>
void restoreSetting(Source& source, GCountedPtr& setting) {
  T* read = nullptr;
  if (restoreSharedMember(source, read)) setting = read;
}

// One link of the dependents list.
struct DependentLink : RWIsvSlink {
  explicit DependentLink(GPeripheral* s) : stage(s) {}
  GPeripheral* stage;
};

DependentLink* asLink(RWIsvSlink* link) { return static_cast<DependentLink*>(link); }

}  // namespace

GAddOnProxyMaker gSetAddOnProxyMaker(GAddOnProxyMaker maker) {
  GAddOnProxyMaker old = installedProxyMaker();
  installedProxyMaker() = maker;
  return old;
}

// ---- the dependents list -------------------------------------------------------------

GPeripheral::DependentList::~DependentList() { clear(); }

void GPeripheral::DependentList::append(GPeripheral* stage) { links_.append(new DependentLink(stage)); }

bool GPeripheral::DependentList::remove(const GPeripheral* stage) {
  for (RWIsvSlink* prev = links_.headLink(); prev->next() && prev->next() != links_.tailLink(); prev = prev->next()) {
    if (asLink(prev->next())->stage == stage) {
      delete asLink(links_.removeRight(prev));
      return true;
    }
  }
  return false;
}

void GPeripheral::DependentList::clear() {
  while (RWIsvSlink* link = links_.removeFirst()) delete asLink(link);
}

void GPeripheral::DependentList::assign(const DependentList& other) {
  if (this == &other) return;
  clear();
  for (GPeripheral* stage : other.stages()) append(stage);
}

GPeripheral* GPeripheral::DependentList::at(RWsize index) const {
  if (index >= links_.entries()) return nullptr;
  return asLink(links_.at(index))->stage;
}

std::vector<GPeripheral*> GPeripheral::DependentList::stages() const {
  std::vector<GPeripheral*> result;
  result.reserve(links_.entries());
  for (RWIsvSlink* link = links_.first(); link && link != links_.tailLink(); link = link->next()) {
    result.push_back(asLink(link)->stage);
  }
  return result;
}

// ---- construction ------------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GPeripheral, GAttribute)
RW_DEFINE_RESTORE_OPERATORS(GPeripheral)

GPeripheral::GPeripheral() : GPeripheral(0) {}

GPeripheral::GPeripheral(const uint32_t& id)
    : GAttribute(id),
      noCommandRun_(0),
      allNoCommands_(0),
      jobState_(0),
      addOnListId_(AttrId::AddOnList),
      kind_(6),
      mode_(2),
      state_(new GState(AttrId::StageState)),
      defaults_(new GState(AttrId::StageState)),
      config_(new GConfiguration(AttrId::StageConfig)),
      enabled_(1),
      propagating_(0) {}

GPeripheral::GPeripheral(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                         uint32_t addOnListId, int32_t kind, int32_t mode)
    : GAttribute(id),
      noCommandRun_(0),
      allNoCommands_(0),
      name_(name),
      jobState_(0),
      addOnListId_(addOnListId),
      kind_(kind),
      mode_(mode),
      enabled_(1),
      propagating_(0) {
  // The stage's own versions: a derived class is not made yet.
  GPeripheral::setConfig(config ? config : new GConfiguration(AttrId::StageConfig));
  GPeripheral::setDefaults(defaults ? defaults : new GState);
  (void)GPeripheral::setState(new GState);  // only takes the state: 0
  GPeripheral::reset();
}

GPeripheral::GPeripheral(const GPeripheral& other)
    : GAttribute(other),
      GPeripheralHandlers(other),
      noCommandRun_(0),
      allNoCommands_(0),
      jobState_(0),
      addOnListId_(AttrId::AddOnList),
      kind_(6),
      mode_(2),
      enabled_(1),
      propagating_(0) {
  copyFrom(other);
}

GPeripheral& GPeripheral::operator=(const GPeripheral& other) {
  if (this == &other || !differs(&other)) return *this;
  GAttribute::operator=(other);
  // The copy has no port: one this stage owned goes, as in the destructor.
  port_.reset();
  copyFrom(other);
  return *this;
}

GPeripheral::~GPeripheral() = default;

void GPeripheral::copyFrom(const GPeripheral& other) {
  name_ = other.name_;
  state_ = other.state_;
  defaults_ = other.defaults_;
  config_ = other.config_;
  dependents_.assign(other.dependents_);
  // A copy keeps alive what the other keeps alive: the two name the same
  // dependents.
  keptDependents_ = other.keptDependents_;
  addOnListId_ = other.addOnListId_;
  kind_ = other.kind_;
  mode_ = other.mode_;
  enabled_ = other.enabled_;
  jobState_ = 0;
  noCommandRun_ = 0;
  allNoCommands_ = 0;
  forgetGroups();
}

RWClassID GPeripheral::isA() const { return classIsA(); }

RWBoolean GPeripheral::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

namespace {

// Both absent, or both present and not differing.
bool sameSetting(const GCountedPtr& a, const GCountedPtr& b) {
  if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
  return !a->differs(b.get());
}

}  // namespace

RWBoolean GPeripheral::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!GAttribute::matches(other)) return FALSE;
  const GPeripheral* o = dynamic_cast<const GPeripheral*>(other);
  if (!o) return FALSE;
  if (name_ != o->name_ || jobState_ != o->jobState_ || addOnListId_ != o->addOnListId_ || kind_ != o->kind_ ||
      mode_ != o->mode_ || enabled_ != o->enabled_) {
    return FALSE;
  }
  if (dependents_.stages() != o->dependents_.stages()) return FALSE;
  return sameSetting(defaults_, o->defaults_) && sameSetting(state_, o->state_) && sameSetting(config_, o->config_);
}

MPersistentObject* GPeripheral::deepCopy() const {
  MPersistentObject* made = copy();
  GPeripheral* result = dynamic_cast<GPeripheral*>(made);
  if (!result) {
    disposeUnshared(made);
    return nullptr;
  }
  result->state_ = state_.deepCopy();
  result->defaults_ = defaults_.deepCopy();
  result->config_ = config_.deepCopy();
  result->forgetGroups();
  return result;
}

GStatus GPeripheral::accept(GPeripheralHandlers& visitor) {
  GState* s = state();
  if (!s) return 0;
  // Held for the visit: a handler may replace State.
  const GCountedRef holdState(s);
  GStatus status = 0;
  for (RWsize i = 0; i < s->children().entries(); ++i) {
    GAttribute* member = GAttribute::fromObject(s->children().pointee(i));
    if (!member) continue;
    const GCountedRef hold(member);
    const GStatus answer = member->accept(visitor);
    if (answer != 0) status = answer;
  }
  s->resetChanged();
  return status;
}

// ---- processing ----------------------------------------------------------------------

GCommandPtr GPeripheral::process(const GCommandPtr& command) {
  GCommandPtr held(command);
  if (!held || !enabled_) return held;
  if (held->isComposite()) return processComposite(held);
  if (held->isKindOf(ClassId::GErrorCommand) || held->isKindOf(ClassId::GNoCommand)) return held;
  if (GAttribute* attribute = GAttribute::fromObject(held->attributePointer())) {
    // Held across both calls: a handler may give the command another one.
    const GCountedRef hold(attribute);
    const uint32_t group = attribute->id();
    applyAttribute(attribute);
    // A handler that failed (the generator's, when a write to its port
    // failed) fails the command: drawing it in a state that was not set,
    // or ending a document whose bytes were lost, would pass the failure
    // off as a job that printed.
    if (const GStatus failed = sendChangedAttributes(group); failed != 0) {
      // A job abort is what cleans up after a failure, so it is handled
      // all the same; the attribute's failure came first and is the answer.
      if (held->isKindOf(ClassId::GJobAbort)) static_cast<void>(held->accept(*this));
      return GCommandPtr(new GErrorCommand(failed, held.get(), 0));
    }
  }
  return dispatch(held);
}

GCommandPtr GPeripheral::dispatch(const GCommandPtr& command) {
  if (!command) return command;
  const GStatus status = command->accept(*this);
  if (status == 0) return command;
  return GCommandPtr(new GErrorCommand(status, command.get(), 0));
}

GCommandPtr GPeripheral::processComposite(const GCommandPtr& composite) {
  if (!composite || !composite->isComposite()) return composite;
  const std::unique_ptr<GChildIterator> it(composite->createIterator());
  // The iterator starts again after the end: the walk stops at the first
  // advance that answers 0.
  if (!it || !it->advance()) return composite;
  while (enabled_) {
    if (GCommand* child = dynamic_cast<GCommand*>(it->current())) {
      const GCommandPtr held(child);
      const GCommandPtr result = process(held);
      // The first failure of the walk, at any depth, is the answer; the
      // children after it are left as they are.
      if (result && result->isKindOf(ClassId::GErrorCommand)) return result;
      if (result && result != held) it->replaceCurrent(result.get());
    }
    if (!it->advance()) break;
  }
  return composite;
}

void GPeripheral::applyAttribute(MPersistentObject* attribute) {
  GAttribute* a = GAttribute::fromObject(attribute);
  if (!a) return;
  // The stage only ever shares the attribute: counted here, the group's
  // insert can neither delete it nor become its owner.
  const GCountedRef hold(a);
  GAttributeComposite* group = attributeGroup(a->id());
  if (!group) return;
  const GCountedRef holdGroup(group);
  GState* target = dynamic_cast<GState*>(group);
  GAttributeComposite* members = dynamic_cast<GAttributeComposite*>(a);
  if (members && target && members->id() == group->id()) {
    // A state for the group, whatever its kind (a graphic bundle for the
    // graphic group): its members are filed one by one, never the state
    // itself.
    target->mergeMembers(members);
    return;
  }
  group->merge(a);
}

GStatus GPeripheral::sendChangedAttributes(const uint32_t& id) {
  GAttributeComposite* group = attributeGroup(id);
  if (!group) return 0;
  const GCountedRef holdGroup(group);
  // Every changed member is still sent after a failure, so that none is
  // left marked changed for the next command; the first failure is the
  // answer.
  GStatus status = 0;
  if (id == AttrId::GraphicGroup) {
    // A new transform changes how everything else is drawn: it goes first,
    // then the whole graphic state again.
    GAttribute* transform = GAttribute::fromObject(group->findByClassId(ClassId::GTransformAttribute));
    if (transform && transform->isChanged()) {
      const GCountedRef hold(transform);
      status = transform->accept(*this);
      group->markChanged();
      transform->resetChanged();
    }
  }
  for (RWsize i = 0; i < group->children().entries(); ++i) {
    GAttribute* member = GAttribute::fromObject(group->children().pointee(i));
    if (!member || !member->isChanged()) continue;
    const GCountedRef hold(member);
    const GStatus answer = member->accept(*this);
    if (status == 0) status = answer;
  }
  return status;
}

GCountedRef* GPeripheral::groupCache(uint32_t id) {
  switch (id) {
    case AttrId::GraphicGroup:
      return &graphicGroup_;
    case AttrId::PageGroup:
      return &pageGroup_;
    case AttrId::DocumentGroup:
      return &documentGroup_;
    default:
      return nullptr;
  }
}

GAttributeComposite* GPeripheral::attributeGroup(const uint32_t& id) {
  GState* s = state();
  if (!s) return nullptr;
  GCountedRef* cache = groupCache(id);
  if (!cache) return s;
  if (!cache->isNil()) return static_cast<GState*>(cache->get());
  // Only a state serves as a group: anything else found under the id is
  // passed over and a group made beside it.
  if (GState* found = dynamic_cast<GState*>(s->findById(id))) {
    *cache = GCountedRef(found);
    return found;
  }
  GState* made = new GState(id);
  *cache = GCountedRef(made);
  s->insert(made);
  if (s->children().index(made) < 0) {
    // Refused as equal to a state member of the id: that member is the
    // group.
    for (RWsize i = 0; i < s->children().entries(); ++i) {
      GState* member = dynamic_cast<GState*>(s->children().pointee(i));
      if (member && member->id() == id && member->isA() == GState::classIsA()) {
        *cache = GCountedRef(member);
        break;
      }
    }
  }
  return static_cast<GState*>(cache->get());
}

void GPeripheral::forgetGroups() {
  graphicGroup_ = GCountedRef();
  pageGroup_ = GCountedRef();
  documentGroup_ = GCountedRef();
}

// ---- settings ------------------------------------------------------------------------

void GPeripheral::setDefaults(GState* defaults) {
  if (defaults == defaults_.get()) return;
  if (defaults) defaults->setId(AttrId::StageState);
  defaults_ = defaults;
}

GStatus GPeripheral::setState(GState* state) {
  if (state == state_.get()) return 0;
  if (state) state->setId(AttrId::StageState);
  state_ = state;
  forgetGroups();
  return 0;
}

void GPeripheral::setConfig(GConfiguration* config) {
  if (config == config_.get()) return;
  config_ = config;
  changed(this);
}

GState* GPeripheral::takeDefaults() {
  if (defaults_.isNil()) return nullptr;
  MPersistentObject* taken = defaults_.exchange(new GState);
  return static_cast<GState*>(taken);
}

GState* GPeripheral::takeState() {
  if (state_.isNil()) return nullptr;
  MPersistentObject* taken = state_.exchange(new GState);
  forgetGroups();
  return static_cast<GState*>(taken);
}

GConfiguration* GPeripheral::takeConfig() {
  if (config_.isNil()) return nullptr;
  MPersistentObject* taken = config_.exchange(new GConfiguration);
  changed(this);
  return static_cast<GConfiguration*>(taken);
}

void GPeripheral::reset() {
  enabled_ = 1;
  MPersistentObject* copied = defaults_.deepCopy();
  if (copied && !isStateObject(copied)) {
    delete copied;
    copied = nullptr;
  }
  state_ = copied;
  forgetGroups();
  changed(this);
  port_.reset();
}

void GPeripheral::setName(const RWCString& name) { name_ = name; }

GState* GPeripheral::state() const { return static_cast<GState*>(state_.get()); }
GState* GPeripheral::defaults() const { return static_cast<GState*>(defaults_.get()); }
GConfiguration* GPeripheral::config() const { return static_cast<GConfiguration*>(config_.get()); }
RWCString GPeripheral::name() const { return name_; }

// ---- dependents ----------------------------------------------------------------------

void GPeripheral::addDependent(GPeripheral* dependent) {
  if (dependent) dependents_.append(dependent);
}

void GPeripheral::removeDependent(GPeripheral* dependent) { dependents_.remove(dependent); }

void GPeripheral::changed(GPeripheral*) {
  // A stage already passing a change on has told, or will tell, everyone
  // after it: a cycle of dependents ends here.
  if (propagating_) return;
  propagating_ = 1;
  for (GPeripheral* dependent : dependents_.stages()) {
    if (dependent) dependent->changed(this);
  }
  propagating_ = 0;
}

RWsize GPeripheral::dependentCount() const { return dependents_.entries(); }

GPeripheral* GPeripheral::dependentAt(RWsize index) const { return dependents_.at(index); }

// ---- job state and queries -----------------------------------------------------------

void GPeripheral::enterDocument() { jobState_ = 1; }
void GPeripheral::enterPage() { jobState_ = 2; }
void GPeripheral::leaveDocument() { jobState_ = 0; }
int32_t GPeripheral::isInDocument() const { return jobState_ == 1 ? 1 : 0; }
int32_t GPeripheral::isInPage() const { return jobState_ == 2 ? 1 : 0; }
int32_t GPeripheral::isReady() { return 0; }

void GPeripheral::scaleFactors(GScaleFactors& factors, GState*, GState*, int32_t, int32_t&) { factors.set(0, 0); }

GStatus GPeripheral::onDocumentStart(GDocumentStart*) {
  enterDocument();
  return 0;
}

GStatus GPeripheral::onDocumentEnd(GDocumentEnd*) {
  leaveDocument();
  return 0;
}

GStatus GPeripheral::onPageStart(GPageStart*) {
  enterPage();
  return 0;
}

GStatus GPeripheral::onPageEnd(GPageEnd*) {
  enterDocument();
  return 0;
}

GStatus GPeripheral::onJobAbort(GJobAbort*) {
  leaveDocument();
  if (port_.owns()) return static_cast<GStatus>(port_->abort());
  return 0;
}

void GPeripheral::setPort(GOutputPort* port, int32_t owns) {
  // The port given is never deleted here, even when the stage owned it
  // already: only one it owned and now gives up.
  port_.reset(port, owns != 0);
}

// ---- add-ons -------------------------------------------------------------------------

void GPeripheral::attachAddOns() {
  if (mode_ == 2) return;
  GConfiguration* cfg = config();
  if (!cfg) return;
  MPersistentObject* list = cfg->findById(addOnListId_);
  if (!list) return;
  // The names first: making proxies must not walk a list that changes.
  std::vector<RWWString> names;
  {
    const std::unique_ptr<GChildIterator> it(list->createIterator());
    while (it && it->advance()) {
      if (auto* item = dynamic_cast<GStringAttribute*>(it->current())) {
        RWWString wide;
        convertToWide(item->value(), wide);
        names.push_back(wide);
      }
    }
  }

  // The stage children step aside, held here, so that the proxies come
  // first. A leaf stage finds itself, and a child that will not leave is
  // found again: either ends the search.
  std::vector<GCountedRef> moved;
  std::vector<const MPersistentObject*> found;
  for (;;) {
    MPersistentObject* child = findByKind(ClassId::GPeripheral);
    if (!child || child == this) break;
    bool again = false;
    for (const MPersistentObject* f : found) again = again || f == child;
    if (again) break;
    found.push_back(child);
    // Answered as the object itself when this stage held it alone (it is
    // then ours), else as a copy while the others keep the child.
    MPersistentObject* removed = remove(child);
    if (!removed) break;
    moved.emplace_back(removed);
  }

  if (GAddOnProxyMaker maker = installedProxyMaker()) {
    for (const RWWString& name : names) {
      GPeripheral* proxy = maker(name, kind_, mode_);
      if (!proxy) continue;
      // Counted across the insert: one this stage does not take goes with
      // this reference.
      const GCountedRef hold(proxy);
      insert(proxy);
    }
  }
  for (const GCountedRef& m : moved) insert(m.get());
}

void GPeripheral::detachAddOns() {
  if (mode_ == 2) return;
  // Found first, by address only, then taken out: the walk never runs over
  // a list that changes.
  std::vector<const MPersistentObject*> proxies;
  {
    const std::unique_ptr<GChildIterator> it(createIterator());
    while (it && it->advance()) {
      const MPersistentObject* child = it->current();
      if (child && child->isA() == ClassId::GPeripheralProxy) proxies.push_back(child);
    }
  }
  // What comes out is held until all are out, then goes with its last
  // reference.
  std::vector<GCountedRef> removed;
  for (const MPersistentObject* proxy : proxies) {
    if (MPersistentObject* out = remove(proxy)) removed.emplace_back(out);
  }
}

void GPeripheral::repositionAfter(GChildIterator* iterator, GCommand* replacement) {
  if (!iterator || !iterator->advance()) return;
  do {
    MPersistentObject* record = iterator->current();
    if (record && replacement && record->matches(replacement)) {
      iterator->advance();
      return;
    }
  } while (iterator->advance());
}

// ---- stored form ---------------------------------------------------------------------

RWspace GPeripheral::dependentsStoreSize() const {
  RWUseStoreTable table;
  int32_t index = 0;
  // The tag and the count, or the tag and the index.
  RWspace size = 5;
  if (!table.add(&dependents_, index)) return size;
  for (GPeripheral* dependent : dependents_.stages()) size += dependent->recursiveStoreSize();
  return size;
}

RWspace GPeripheral::levelStoreSize() const {
  RWspace size = 4;
  size += defaults_.binaryStoreSize();
  size += state_.binaryStoreSize();
  size += config_.binaryStoreSize();
  size += dependentsStoreSize();
  size += 4 + name_.length();
  return size + 12;
}

template <class Sink>
void GPeripheral::saveDependents(Sink& sink) const {
  RWUseStoreTable table;
  int32_t index = 0;
  if (!table.add(&dependents_, index)) {
    writeTag(sink, kListSeen);
    gWrite(sink, gInt(index));
    return;
  }
  const std::vector<GPeripheral*> stages = dependents_.stages();
  writeTag(sink, kListStored);
  gWrite(sink, static_cast<uint32_t>(stages.size()));
  for (GPeripheral* dependent : stages) sink << static_cast<const RWCollectable*>(dependent);
}

template <class Sink>
void GPeripheral::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  defaults_.saveGuts(sink);
  state_.saveGuts(sink);
  config_.saveGuts(sink);
  saveDependents(sink);
  gWrite(sink, name_);
  gWrite(sink, addOnListId_);
  gWrite(sink, gInt(kind_));
  gWrite(sink, gInt(mode_));
}

template <class Source>
bool GPeripheral::restoreDependents(Source& source) {
  char tag = 0;
  if (!readTag(source, tag)) return false;
  RWUseReadTable use;
  RWReadTable& table = *use.table();
  if (tag == kListSeen) {
    // Only this list, read before in this restore, may be named again.
    int32_t index = 0;
    if (!gRead(source, gInt(index))) return false;
    const RWReadTable::Entry* entry = table.at(index);
    if (!entry || entry->kind != RWReadTable::none || entry->ptr != &dependents_) gReportBadReference();
    return true;
  }
  if (tag != kListStored) {
    // Nothing after an unknown tag can be told apart.
    gReportBadReference();
    return false;
  }
  // The list's slot, in step with the store table's; sealed, so that an
  // object reference naming it is a bad reference and never yields it.
  const int32_t slot = table.append(&dependents_);
  if (slot < 0) {
    gReportBadReference();
    return false;
  }
  table.seal(slot);
  uint32_t count = 0;
  if (!gRead(source, count)) return false;
  dependents_.clear();
  // The count is not trusted: reading ends at the first failure.
  for (uint32_t i = 0; i < count; ++i) {
    const RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
    if (r.failed) return false;
    GPeripheral* dependent = dynamic_cast<GPeripheral*>(r.object);
    if (!dependent) {
      if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
      continue;
    }
    if (r.fresh || (dependent->references() > 0 && !MRestoreScope::encloses(dependent))) {
      // Made here, it has no other owner; shared, it must not go while the
      // list names it.
      keptDependents_.emplace_back(dependent);
    } else if (!MRestoreScope::encloses(dependent)) {
      // Read earlier and held by no counted holder: whatever holds it may
      // let it go at any time.
      gReportBadReference();
      continue;
    }
    // An enclosing stage (a child names its composite) is named, not held:
    // holding it would make a cycle that is never freed.
    dependents_.append(dependent);
  }
  return true;
}

template <class Source>
void GPeripheral::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Dependents may name this stage or a stage around it; those are kept as
  // names only.
  MRestoreScope scope(this);
  restoreSetting<GState>(source, defaults_);
  restoreSetting<GState>(source, state_);
  restoreSetting<GConfiguration>(source, config_);
  forgetGroups();
  jobState_ = 0;
  if (!restoreDependents(source)) return;
  RWCString name;
  if (!gRead(source, name)) return;
  name_ = name;
  gRead(source, addOnListId_);
  gRead(source, gInt(kind_));
  gRead(source, gInt(mode_));
}
