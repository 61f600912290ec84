#include "journal/command.h"

#include "core/perclass.h"

// ---- GCommand ---------------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GCommand, MPersistentObject)
RW_DEFINE_RESTORE_OPERATORS(GCommand)

GCommand::GCommand() = default;
GCommand::GCommand(const uint32_t& id) : MPersistentObject(id) {}
GCommand::GCommand(MPersistentObject* attribute, const uint32_t& id) : MPersistentObject(id), attribute_(attribute) {}
GCommand::GCommand(const GCommand& other) = default;

GCommand& GCommand::operator=(const GCommand& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  attribute_ = other.attribute_;
  return *this;
}

GCommand::~GCommand() = default;

RWClassID GCommand::isA() const { return classIsA(); }

RWBoolean GCommand::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GCommand::matches(const MPersistentObject* other) const {
  if (!MPersistentObject::matches(other)) return FALSE;
  const GCommand* o = dynamic_cast<const GCommand*>(other);
  if (!o) return FALSE;
  MPersistentObject* mine = attributePointer();
  MPersistentObject* theirs = o->attributePointer();
  if (mine == theirs) return TRUE;
  return mine && theirs && mine->matches(theirs);
}

RWsize GCommand::totalEntries() const { return 1; }

GChildIterator* GCommand::createIterator() { return new GCommandIterator(this); }

void GCommand::setAttribute(MPersistentObject* attribute) {
  // The holder counts the new one before it lets the old one go, so the
  // very object already held survives.
  attribute_ = attribute;
}

void GCommand::replaceAttribute(MPersistentObject* attribute) { attribute_ = attribute; }

MPersistentObject* GCommand::releaseAttribute() { return attribute_.release(); }

GCountedRef GCommand::attribute() const { return GCountedRef(attribute_.get()); }

void GCommand::takeOwnership() {}

void GCommand::refuse(MPersistentObject* attribute) { disposeUnshared(attribute); }

RWspace GCommand::levelStoreSize() const { return 4 + attribute_.binaryStoreSize(); }

template <class Sink>
void GCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  attribute_.saveGuts(sink);
}

template <class Source>
void GCommand::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The attribute may name no object that encloses this command: sharing
  // one would make the tree a cycle that is never freed.
  MRestoreScope scope(this);
  MPersistentObject* p = nullptr;
  if (restoreSharedMember(source, p)) attribute_ = p;
}

// ---- GCommandPtr ------------------------------------------------------------------

GCommandPtr::GCommandPtr(GCommand* command) : command_(command) { gAddReference(command); }

GCommandPtr::GCommandPtr(const GCommandPtr& other) : command_(other.command_) { gAddReference(command_); }

GCommandPtr::~GCommandPtr() {
  GCommand* old = command_;
  command_ = nullptr;
  gReleaseReference(old);
}

GCommandPtr& GCommandPtr::operator=(const GCommandPtr& other) {
  if (other.command_ == command_) return *this;
  // Counted before the old one goes: the new one may live only through it.
  gAddReference(other.command_);
  GCommand* old = command_;
  command_ = other.command_;
  gReleaseReference(old);
  return *this;
}

GCommandPtr& GCommandPtr::operator=(GCommandPtr&& other) noexcept {
  if (this == &other) return *this;
  GCommand* old = command_;
  command_ = other.command_;
  other.command_ = nullptr;
  gReleaseReference(old);
  return *this;
}

GCommand* GCommandPtr::reset(GCommand* command) {
  gAddReference(command);
  GCommand* old = command_;
  command_ = command;
  return gDropReference(old) ? old : nullptr;
}

// ---- GCommandIterator -------------------------------------------------------------

GCommandIterator::~GCommandIterator() = default;
