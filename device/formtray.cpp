#include "device/formtray.h"

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GFormToTrayAssociation, GAttribute)
// A copy shares the associations, as the copy constructor does.
G_DEFINE_PERSISTENT(GFormToTrayDatabase, GAttribute)

namespace {

// The association members carry attribute id 0.
std::unique_ptr<GValueAttribute> member(int16_t value) { return std::make_unique<GValueAttribute>(value, 0); }

// A copy of a member of whatever value-attribute class it is.
std::unique_ptr<GValueAttribute> copyOf(const std::unique_ptr<GValueAttribute>& m) {
  return std::unique_ptr<GValueAttribute>(m->copy());
}

// Reads one member, which the association owns alone. Anything but a value
// attribute made by this read (a nil record, another class, a reference to
// an object read earlier) gives a value of 0. False when reading cannot go
// on; the member is then left as it was.
template <class Source>
bool restoreMember(Source& source, std::unique_ptr<GValueAttribute>& slot) {
  RWCollectable::Restored r = RWCollectable::restoreForOwner(source);
  if (r.failed) return false;
  GValueAttribute* value = dynamic_cast<GValueAttribute*>(r.object);
  if (!value) {
    if (r.object) RWCollectable::discardRestored(r.object);
    slot = member(0);
    return true;
  }
  slot.reset(value);
  return true;
}

const GFormToTrayAssociation* asAssociation(const MPersistentObject* object) {
  return dynamic_cast<const GFormToTrayAssociation*>(object);
}

}  // namespace

// ---- GFormToTrayAssociation -------------------------------------------------------

GFormToTrayAssociation::GFormToTrayAssociation() : tray_(member(0)), form_(member(0)), mediaType_(member(0)) {}

GFormToTrayAssociation::GFormToTrayAssociation(int16_t form, int16_t tray, int16_t mediaType)
    : tray_(member(tray)), form_(member(form)), mediaType_(member(mediaType)) {}

GFormToTrayAssociation::GFormToTrayAssociation(const GFormToTrayAssociation& other)
    : GAttribute(other),
      tray_(copyOf(other.tray_)),
      form_(copyOf(other.form_)),
      mediaType_(copyOf(other.mediaType_)) {}

GFormToTrayAssociation& GFormToTrayAssociation::operator=(const GFormToTrayAssociation& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  tray_ = copyOf(other.tray_);
  form_ = copyOf(other.form_);
  mediaType_ = copyOf(other.mediaType_);
  return *this;
}

GFormToTrayAssociation::~GFormToTrayAssociation() = default;

RWspace GFormToTrayAssociation::levelStoreSize() const {
  // Counted under the store table binaryStoreSize holds, as they are
  // written: no member counts a file header.
  return 4 + tray_->recursiveStoreSize() + form_->recursiveStoreSize() + mediaType_->recursiveStoreSize();
}

template <class Sink>
void GFormToTrayAssociation::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(tray_.get()) << static_cast<const RWCollectable*>(form_.get())
       << static_cast<const RWCollectable*>(mediaType_.get());
}

template <class Source>
void GFormToTrayAssociation::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  if (restoreMember(source, tray_) && restoreMember(source, form_)) restoreMember(source, mediaType_);
}

RWBoolean GFormToTrayAssociation::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GFormToTrayAssociation::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GFormToTrayAssociation* o = asAssociation(other);
  return o && tray_->matches(o->tray_.get()) && form_->matches(o->form_.get()) &&
         mediaType_->matches(o->mediaType_.get());
}

GStatus GFormToTrayAssociation::accept(GPeripheralHandlers&) { return 1; }

// ---- GFormToTrayDatabase ----------------------------------------------------------

GFormToTrayDatabase::GFormToTrayDatabase() : defaultMediaType_(defaultMediaType), defaultTray_(defaultTray) {}

GFormToTrayDatabase::GFormToTrayDatabase(const uint32_t& id)
    : GAttribute(id), defaultMediaType_(defaultMediaType), defaultTray_(defaultTray) {}

GFormToTrayDatabase::GFormToTrayDatabase(const GFormToTrayDatabase& other) = default;

GFormToTrayDatabase& GFormToTrayDatabase::operator=(const GFormToTrayDatabase& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  associations_ = other.associations_;
  return *this;
}

GFormToTrayDatabase::~GFormToTrayDatabase() = default;

RWspace GFormToTrayDatabase::levelStoreSize() const { return 4 + associations_.binaryStoreSize(); }

template <class Sink>
void GFormToTrayDatabase::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  associations_.saveGuts(sink);
}

template <class Source>
void GFormToTrayDatabase::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The associations are read as the composite's own fields; none of them
  // may refer back to the database around them.
  MRestoreScope scope(this);
  associations_.restoreGuts(source);
}

RWBoolean GFormToTrayDatabase::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GFormToTrayDatabase::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GFormToTrayDatabase* o = dynamic_cast<const GFormToTrayDatabase*>(other);
  return o && associations_.matches(&o->associations_);
}

GStatus GFormToTrayDatabase::accept(GPeripheralHandlers&) { return 1; }

void GFormToTrayDatabase::clear() { associations_.clear(); }

template <class Test>
GFormToTrayAssociation* GFormToTrayDatabase::first(Test test) const {
  const GCountedPtrVector& children = associations_.children();
  const int32_t at = children.firstIndex([&](MPersistentObject* child) {
    const GFormToTrayAssociation* a = asAssociation(child);
    return a && test(*a);
  });
  return at < 0 ? nullptr : static_cast<GFormToTrayAssociation*>(children.pointee(static_cast<RWsize>(at)));
}

GFormToTrayAssociation* GFormToTrayDatabase::findByForm(int16_t form) const {
  return first([form](const GFormToTrayAssociation& a) { return a.form() == form; });
}

GFormToTrayAssociation* GFormToTrayDatabase::findByMediaType(int16_t mediaType) const {
  return first([mediaType](const GFormToTrayAssociation& a) { return a.mediaType() == mediaType; });
}

GFormToTrayAssociation* GFormToTrayDatabase::findByTray(int16_t tray) const {
  return first([tray](const GFormToTrayAssociation& a) { return a.tray() == tray; });
}

int16_t GFormToTrayDatabase::trayFor(int16_t form) const {
  const GFormToTrayAssociation* a = findByForm(form);
  return a ? a->tray() : defaultTray_;
}

int16_t GFormToTrayDatabase::mediaTypeFor(int16_t form) const {
  const GFormToTrayAssociation* a = findByForm(form);
  return a ? a->mediaType() : defaultMediaType_;
}

int GFormToTrayDatabase::hasForm(int16_t form) const { return findByForm(form) ? 1 : 0; }

int16_t GFormToTrayDatabase::mediaTypeForTray(int16_t tray) const {
  const GFormToTrayAssociation* a = findByTray(tray);
  return a ? a->mediaType() : defaultMediaType_;
}

int16_t GFormToTrayDatabase::trayForMediaType(int16_t mediaType) const {
  const GFormToTrayAssociation* a = findByMediaType(mediaType);
  return a ? a->tray() : defaultTray_;
}

int16_t GFormToTrayDatabase::firstAssignedTray() const {
  const GFormToTrayAssociation* a = first([this](const GFormToTrayAssociation& x) { return x.tray() != defaultTray_; });
  return a ? a->tray() : defaultTray_;
}

int16_t GFormToTrayDatabase::firstAssignedMediaType() const {
  const GFormToTrayAssociation* a =
      first([this](const GFormToTrayAssociation& x) { return x.mediaType() != defaultMediaType_; });
  return a ? a->mediaType() : defaultMediaType_;
}

int GFormToTrayDatabase::usesTray(int16_t tray) const { return findByTray(tray) ? 1 : 0; }

int GFormToTrayDatabase::usesMediaType(int16_t mediaType) const { return findByMediaType(mediaType) ? 1 : 0; }

int GFormToTrayDatabase::usesTrayWithMediaType(int16_t tray, int16_t mediaType) const {
  return first([=](const GFormToTrayAssociation& a) { return a.tray() == tray && a.mediaType() == mediaType; }) ? 1
                                                                                                                 : 0;
}

int GFormToTrayDatabase::hasNonDefault() const {
  return first([this](const GFormToTrayAssociation& a) {
           return a.tray() != defaultTray_ || a.mediaType() != defaultMediaType_;
         })
             ? 1
             : 0;
}

int GFormToTrayDatabase::removeForm(int16_t form) {
  GFormToTrayAssociation* found = findByForm(form);
  if (!found) return 0;
  GCountedPtrVector& children = associations_.children();
  // Taken out at its own position; what comes back (the association, or a
  // copy when another database still shares it) is no one's.
  delete children.removeAt(static_cast<RWsize>(children.index(found))).take();
  return 1;
}

void GFormToTrayDatabase::assign(int16_t form, int16_t tray, int16_t mediaType) {
  // Every association of the form goes, not only the first: a restored
  // database may hold several, and the first left over would go on
  // answering for the form.
  while (removeForm(form)) {
  }
  associations_.insert(new GFormToTrayAssociation(form, tray, mediaType));
}

void GFormToTrayDatabase::resetForm(int16_t form) { assign(form, defaultTray_, defaultMediaType_); }
