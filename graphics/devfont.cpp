#include "graphics/devfont.h"

#include <algorithm>
#include <utility>

#include "core/perclass.h"
#include "core/persnum.h"
#include "core/valattr.h"

namespace {

const RWCollectable* storedForm(const MPersistentObject* p) {
  return p ? static_cast<const RWCollectable*>(p) : rwNilCollectable();
}

std::unique_ptr<MAssociationList> copyOfTable(const MAssociationList* table) {
  if (!table) return nullptr;
  return std::unique_ptr<MAssociationList>(static_cast<MAssociationList*>(table->deepCopy()));
}

// Two absent tables are alike; an absent one differs from a present one.
bool sameTables(const MAssociationList* a, const MAssociationList* b) {
  if (a == b) return true;
  return a && b && a->matches(b);
}

const RWCString* textIn(const MAssociationList* table, const MPersistentObject& key) {
  if (!table) return nullptr;
  const GStringAttribute* text = dynamic_cast<const GStringAttribute*>(table->findValue(&key));
  return text ? &text->value() : nullptr;
}

// Reads one object that the reader will own outright. Answers false when
// the read failed (nothing more can be read); otherwise `object` is the
// object read when it is a T, else null (nil, or an object of another class,
// which is disposed of at once).
template <class T, class Source>
bool restoreOwnedAs(Source& source, std::unique_ptr<T>& object) {
  RWCollectable::Restored r = RWCollectable::restoreForOwner(source);
  if (r.failed) return false;
  T* typed = dynamic_cast<T*>(r.object);
  if (!typed && r.object) RWCollectable::discardRestored(r.object);
  object.reset(typed);
  return true;
}

}  // namespace

G_DEFINE_PERSISTENT(GDeviceFontDescription, MPersistentObject)
G_DEFINE_PERSISTENT(GDeviceFontList, MPersistentObject)
G_DEFINE_PERSISTENT(GDeviceFontListComposite, MPersistentObject)

// ---- GCharacterSetList -------------------------------------------------------------

GCharacterSetList::GCharacterSetList() : capacity_(kGrowth) { ids_.reserve(kGrowth); }

GCharacterSetList::GCharacterSetList(const GCharacterSetList& other) : capacity_(kGrowth) {
  reserveFor(other.entries());
  ids_ = other.ids_;
}

GCharacterSetList& GCharacterSetList::operator=(const GCharacterSetList& other) {
  if (this != &other) {
    reserveFor(other.entries());
    ids_ = other.ids_;
  }
  return *this;
}

void GCharacterSetList::reserveFor(RWsize n) {
  if (n <= capacity_) return;
  capacity_ = (n + kGrowth - 1) / kGrowth * kGrowth;
  ids_.reserve(capacity_);
}

int32_t GCharacterSetList::index(uint32_t id) const {
  auto it = std::find(ids_.begin(), ids_.end(), id);
  return it == ids_.end() ? -1 : static_cast<int32_t>(it - ids_.begin());
}

void GCharacterSetList::insert(uint32_t id) {
  reserveFor(entries() + 1);
  ids_.push_back(id);
}

RWsize GCharacterSetList::occurrencesOf(uint32_t id) const {
  return static_cast<RWsize>(std::count(ids_.begin(), ids_.end(), id));
}

int GCharacterSetList::remove(uint32_t id) {
  auto it = std::find(ids_.begin(), ids_.end(), id);
  if (it == ids_.end()) return 0;
  ids_.erase(it);
  return 1;
}

RWsize GCharacterSetList::removeAll(uint32_t id) {
  auto end = std::remove(ids_.begin(), ids_.end(), id);
  RWsize removed = static_cast<RWsize>(ids_.end() - end);
  ids_.erase(end, ids_.end());
  return removed;
}

void GCharacterSetList::clear() { ids_.clear(); }

void GCharacterSetList::assign(std::vector<uint32_t>&& ids) {
  reserveFor(static_cast<RWsize>(ids.size()));
  ids_ = std::move(ids);
  ids_.reserve(capacity_);
}

// ---- GDeviceFontDescription --------------------------------------------------------

GDeviceFontDescription::GDeviceFontDescription()
    : characterSet_(0),
      weight_(0),
      italic_(0),
      family_(0),
      variablePitch_(0),
      scalable_(0),
      size_(0),
      code_(0),
      storageKind_(0) {}

GDeviceFontDescription::GDeviceFontDescription(const RWCString& name, const RWCString& selection,
                                               uint32_t characterSet, const GCharacterSetList& characterSets,
                                               uint16_t weight, uint32_t italic, uint32_t family,
                                               uint32_t variablePitch, uint32_t scalable, int16_t size,
                                               uint16_t code, uint32_t storageKind)
    : name_(name),
      selection_(selection),
      characterSet_(characterSet),
      characterSets_(characterSets),
      weight_(weight),
      italic_(italic),
      family_(family),
      variablePitch_(variablePitch),
      scalable_(scalable),
      size_(size),
      code_(code),
      storageKind_(storageKind) {}

GDeviceFontDescription::GDeviceFontDescription(const GDeviceFontDescription& other) = default;
GDeviceFontDescription& GDeviceFontDescription::operator=(const GDeviceFontDescription& other) = default;
GDeviceFontDescription::~GDeviceFontDescription() = default;

RWspace GDeviceFontDescription::levelStoreSize() const {
  return 4 + (4 + name_.length()) + (4 + selection_.length()) + 4 + 4 + 4 * characterSets_.entries() + 2 + 16 +
         2 + 2 + 4;
}

template <class Sink>
void GDeviceFontDescription::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWrite(sink, selection_);
  gWrite(sink, characterSet_);
  gWrite(sink, characterSets_.entries());
  for (RWsize i = 0; i < characterSets_.entries(); ++i) gWrite(sink, characterSets_[i]);
  gWrite(sink, weight_);
  gWrite(sink, italic_);
  gWrite(sink, family_);
  gWrite(sink, variablePitch_);
  gWrite(sink, scalable_);
  gWrite(sink, size_);
  gWrite(sink, code_);
  gWrite(sink, storageKind_);
}

template <class Source>
void GDeviceFontDescription::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored < 1 || stored > version()) return;

  // Read whole into locals and taken only then.
  RWCString name;
  RWCString selection;
  uint32_t characterSet = 0;
  uint32_t count = 0;
  if (!gRead(source, name) || !gRead(source, selection) || !gRead(source, characterSet) || !gRead(source, count))
    return;
  // The count is not trusted: the ids are taken as they arrive, and a
  // count beyond them fails at the first one missing.
  std::vector<uint32_t> ids;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t id = 0;
    if (!gRead(source, id)) return;
    ids.push_back(id);
  }
  uint16_t weight = 0;
  uint32_t italic = 0;
  uint32_t family = 0;
  uint32_t variablePitch = 0;
  uint32_t scalable = 0;
  int16_t size = 0;
  if (!gRead(source, weight) || !gRead(source, italic) || !gRead(source, family) || !gRead(source, variablePitch) ||
      !gRead(source, scalable) || !gRead(source, size))
    return;
  // Version 1 has no code and no storage kind: both are 0.
  uint16_t code = 0;
  uint32_t storageKind = 0;
  if (stored >= 2 && !(gRead(source, code) && gRead(source, storageKind))) return;

  name_ = name;
  selection_ = selection;
  characterSet_ = characterSet;
  characterSets_.assign(std::move(ids));
  weight_ = weight;
  italic_ = italic;
  family_ = family;
  variablePitch_ = variablePitch;
  scalable_ = scalable;
  size_ = size;
  code_ = code;
  storageKind_ = storageKind;
}

RWBoolean GDeviceFontDescription::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GDeviceFontDescription::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDeviceFontDescription* o = dynamic_cast<const GDeviceFontDescription*>(other);
  return o && o->name_ == name_ && o->selection_ == selection_ && o->characterSet_ == characterSet_ &&
         o->weight_ == weight_ && o->italic_ == italic_ && o->family_ == family_ &&
         o->variablePitch_ == variablePitch_ && o->scalable_ == scalable_ && o->size_ == size_ &&
         o->storageKind_ == storageKind_ && o->code_ == code_ && o->characterSets_ == characterSets_;
}

// ---- GDeviceFontList ---------------------------------------------------------------

GDeviceFontList::GDeviceFontList() : stamp_(0) {}

GDeviceFontList::GDeviceFontList(const uint32_t& key) : MPersistentObject(key), stamp_(0) {}

GDeviceFontList::GDeviceFontList(const GDeviceFontList& other)
    : MPersistentObject(other),
      stamp_(other.stamp_),
      codeTable_(copyOfTable(other.codeTable_.get())),
      idTable_(copyOfTable(other.idTable_.get())) {
  descriptions_.reserve(other.descriptions_.size());
  for (const auto& d : other.descriptions_) descriptions_.push_back(std::make_unique<GDeviceFontDescription>(*d));
}

GDeviceFontList& GDeviceFontList::operator=(const GDeviceFontList& other) {
  if (this == &other) return *this;
  GDeviceFontList copied(other);
  MPersistentObject::operator=(other);
  descriptions_.swap(copied.descriptions_);
  stamp_ = other.stamp_;
  codeTable_.swap(copied.codeTable_);
  idTable_.swap(copied.idTable_);
  return *this;
}

GDeviceFontList::~GDeviceFontList() = default;

RWspace GDeviceFontList::levelStoreSize() const {
  RWspace size = 4 + 4;
  for (const auto& d : descriptions_) size += d->recursiveStoreSize();
  size += 4;
  size += storedForm(codeTable_.get())->recursiveStoreSize();
  return size + storedForm(idTable_.get())->recursiveStoreSize();
}

template <class Sink>
void GDeviceFontList::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint32_t>(descriptions_.size()));
  for (const auto& d : descriptions_) sink << static_cast<const RWCollectable*>(d.get());
  gWrite(sink, stamp_);
  sink << storedForm(codeTable_.get()) << storedForm(idTable_.get());
}

template <class Source>
void GDeviceFontList::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored < 1 || stored > version()) return;
  // Nothing read here may refer back to the list being restored.
  MRestoreScope scope(this);

  uint32_t count = 0;
  if (!gRead(source, count)) return;
  // The count is not trusted: descriptions are gathered as they arrive, and
  // a count beyond them fails at the first read that finds none.
  Descriptions read;
  for (uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<GDeviceFontDescription> d;
    if (!restoreOwnedAs(source, d)) return;
    if (d) read.push_back(std::move(d));
  }
  // What a version lacks is absent: no stamp, no tables.
  uint32_t stamp = 0;
  std::unique_ptr<MAssociationList> codeTable;
  std::unique_ptr<MAssociationList> idTable;
  if (stored >= 2 && !gRead(source, stamp)) return;
  if (stored >= 3 && !(restoreOwnedAs(source, codeTable) && restoreOwnedAs(source, idTable))) return;

  descriptions_.swap(read);
  stamp_ = stamp;
  codeTable_.swap(codeTable);
  idTable_.swap(idTable);
}

RWBoolean GDeviceFontList::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GDeviceFontList::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDeviceFontList* o = dynamic_cast<const GDeviceFontList*>(other);
  if (!o || !sameTables(codeTable_.get(), o->codeTable_.get()) || !sameTables(idTable_.get(), o->idTable_.get()) ||
      o->descriptions_.size() != descriptions_.size())
    return FALSE;
  for (size_t i = 0; i < descriptions_.size(); ++i) {
    if (!descriptions_[i]->matches(o->descriptions_[i].get())) return FALSE;
  }
  return TRUE;
}

void GDeviceFontList::add(const GDeviceFontDescription& description) {
  descriptions_.push_back(std::make_unique<GDeviceFontDescription>(description));
}

void GDeviceFontList::clear() { descriptions_.clear(); }

RWsize GDeviceFontList::entries() const { return static_cast<RWsize>(descriptions_.size()); }

int GDeviceFontList::at(RWsize index, GDeviceFontDescription& description) const {
  if (index >= descriptions_.size()) return 0;
  description = *descriptions_[index];
  return 1;
}

int GDeviceFontList::find(GDeviceFontPredicate predicate, void* data, const GDeviceFontDescription*& found) const {
  found = nullptr;
  if (!predicate) return 0;
  for (const auto& d : descriptions_) {
    if (predicate(*d, data)) {
      found = d.get();
      return 1;
    }
  }
  return 0;
}

const RWCString* GDeviceFontList::stringForCode(uint16_t code) const {
  // Codes are keyed by value attributes of id 0, whose value is the code's
  // 16 bits.
  const GValueAttribute key(static_cast<int16_t>(code), 0);
  return textIn(codeTable_.get(), key);
}

const RWCString* GDeviceFontList::stringForId(uint32_t id) const {
  const GPersistableULong key(id);
  return textIn(idTable_.get(), key);
}

void GDeviceFontList::setCodeTable(MAssociationList* table) {
  // The table already held stays; deleting it first would leave the list
  // holding a freed table.
  if (table != codeTable_.get()) codeTable_.reset(table);
}

void GDeviceFontList::setIdTable(MAssociationList* table) {
  if (table != idTable_.get()) idTable_.reset(table);
}

// ---- GDeviceFontListComposite ------------------------------------------------------

GDeviceFontListComposite::GDeviceFontListComposite() : MPersistentObject(AttrId::FontLists) {}

GDeviceFontListComposite::GDeviceFontListComposite(const GDeviceFontListComposite& other)
    : MPersistentObject(other) {
  insertCopiesOf(other);
}

GDeviceFontListComposite& GDeviceFontListComposite::operator=(const GDeviceFontListComposite& other) {
  // Cleared first, a composite assigned to itself would have nothing left
  // to copy.
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  lists_.clear();
  insertCopiesOf(other);
  return *this;
}

GDeviceFontListComposite::~GDeviceFontListComposite() = default;

RWspace GDeviceFontListComposite::levelStoreSize() const { return 4 + lists_.recursiveStoreSize(); }

template <class Sink>
void GDeviceFontListComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << lists_;
}

template <class Source>
void GDeviceFontListComposite::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  MRestoreScope scope(this);
  // The composite is a member: no later reference may hand it to an owner.
  restoreInPlace(source, static_cast<RWCollectable&>(lists_));
}

RWBoolean GDeviceFontListComposite::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GDeviceFontListComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDeviceFontListComposite* o = dynamic_cast<const GDeviceFontListComposite*>(other);
  return o && lists_.matches(&o->lists_);
}

void GDeviceFontListComposite::insert(MPersistentObject* list) { lists_.insert(list); }
void GDeviceFontListComposite::prepend(MPersistentObject* list) { lists_.prepend(list); }
MPersistentObject* GDeviceFontListComposite::removeById(const uint32_t& key) { return lists_.removeById(key); }
MPersistentObject* GDeviceFontListComposite::findById(const uint32_t& key) const { return lists_.findById(key); }

int GDeviceFontListComposite::replaceById(const uint32_t& key, MPersistentObject* list) {
  return lists_.replaceDeepById(key, list);
}

int GDeviceFontListComposite::replaceDeepById(const uint32_t& key, const MPersistentObject* list) {
  return lists_.replaceDeepById(key, list);
}

void GDeviceFontListComposite::clear() { lists_.clear(); }
RWBoolean GDeviceFontListComposite::isComposite() const { return TRUE; }
RWsize GDeviceFontListComposite::entries() const { return lists_.entries(); }
RWsize GDeviceFontListComposite::totalEntries() const { return lists_.totalEntries(); }
GChildIterator* GDeviceFontListComposite::createIterator() { return lists_.createIterator(); }

MPersistentObject* GDeviceFontListComposite::deepCopy() const {
  GDeviceFontListComposite* result = newSpecies();
  result->setId(id());
  const GCountedPtrVector& children = lists_.children();
  for (RWsize i = 0; i < children.entries(); ++i) {
    if (const MPersistentObject* child = children.pointee(i)) result->insert(child->deepCopy());
  }
  return result;
}

void GDeviceFontListComposite::insertCopiesOf(const GDeviceFontListComposite& other) {
  // Copied first: the other may be this composite.
  std::vector<MPersistentObject*> copies;
  const GCountedPtrVector& children = other.lists_.children();
  for (RWsize i = 0; i < children.entries(); ++i) {
    if (const GDeviceFontList* list = dynamic_cast<const GDeviceFontList*>(children.pointee(i)))
      copies.push_back(list->deepCopy());
  }
  for (MPersistentObject* copy : copies) lists_.insert(copy);
}

void GDeviceFontListComposite::merge(const GDeviceFontListComposite& other) {
  // Merged into itself, every list would be replaced by a copy of itself.
  if (&other == this) return;
  const GCountedPtrVector& children = other.lists_.children();
  for (RWsize i = 0; i < children.entries(); ++i) {
    const GDeviceFontList* list = dynamic_cast<const GDeviceFontList*>(children.pointee(i));
    if (list && !replaceDeepById(list->id(), list)) lists_.prepend(list->deepCopy());
  }
}
