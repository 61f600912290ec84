#include "journal/ctlcmds.h"

#include "core/perclass.h"
#include "core/state.h"

namespace {

// Installed once by the driver server, read by every store of a document
// start.
GDeviceDirectory gDirectory = {nullptr, nullptr};

// The handle the directory gives the device: true and the handle, or false
// when there is no device, no directory, or the directory does not know it.
bool handleOfDevice(const GDevice* device, uint32_t& handle) {
  return device && gDirectory.handleOf && gDirectory.handleOf(device, handle);
}

GDevice* deviceOfHandle(uint32_t handle) { return gDirectory.deviceOf ? gDirectory.deviceOf(handle) : nullptr; }

// The attribute a document or page command is made with: the one given,
// stamped with the family's tag (no class check, as the family's makers
// pass the state they built), or a new empty state under the tag.
MPersistentObject* familyState(MPersistentObject* attribute, uint32_t tag) {
  if (!attribute) return new GState(tag);
  attribute->setId(tag);
  return attribute;
}

// The setAttribute of the document and page families: a state is stamped
// and held; null leaves the command without one; anything else is refused.
// True when the attribute is to be held, stamped.
bool acceptedState(MPersistentObject* attribute, uint32_t tag) {
  if (!attribute) return true;
  if (!attribute->isKindOf(ClassId::GState)) return false;
  attribute->setId(tag);
  return true;
}

bool sameClass(const MPersistentObject* a, const MPersistentObject* b) { return b && a->isA() == b->isA(); }

// Bytes a wide string takes stored: its length word and its 16-bit units.
RWspace storedSize(const RWWString& text) { return 4 + 2 * static_cast<RWspace>(text.length()); }

}  // namespace

GDeviceDirectory gSetDeviceDirectory(const GDeviceDirectory& directory) {
  const GDeviceDirectory previous = gDirectory;
  gDirectory = directory;
  return previous;
}

// ---- GDocumentCommand -------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GDocumentCommand, GCommand)
RW_DEFINE_RESTORE_OPERATORS(GDocumentCommand)

GDocumentCommand::GDocumentCommand(const uint32_t& id)
    : GCommand(familyState(nullptr, AttrId::DocumentGroup), id), outputPort_(nullptr) {}

GDocumentCommand::GDocumentCommand(MPersistentObject* attribute, const uint32_t& id)
    : GCommand(familyState(attribute, AttrId::DocumentGroup), id), outputPort_(nullptr) {}

GDocumentCommand::GDocumentCommand(const RWWString& documentName, const RWWString& portName, const uint32_t& id)
    : GCommand(familyState(nullptr, AttrId::DocumentGroup), id),
      documentName_(documentName),
      portName_(portName),
      outputPort_(nullptr) {}

GDocumentCommand::GDocumentCommand(const RWWString& documentName, const RWWString& portName,
                                   MPersistentObject* attribute, const uint32_t& id)
    : GCommand(familyState(attribute, AttrId::DocumentGroup), id),
      documentName_(documentName),
      portName_(portName),
      outputPort_(nullptr) {}

GDocumentCommand::GDocumentCommand(const GDocumentCommand& other) = default;

GDocumentCommand& GDocumentCommand::operator=(const GDocumentCommand& other) {
  if (this == &other) return *this;
  GCommand::operator=(other);
  documentName_ = other.documentName_;
  portName_ = other.portName_;
  outputPort_ = other.outputPort_;
  return *this;
}

GDocumentCommand::~GDocumentCommand() = default;

RWClassID GDocumentCommand::isA() const { return classIsA(); }

RWBoolean GDocumentCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GDocumentCommand::matches(const MPersistentObject* other) const {
  if (!GCommand::matches(other)) return FALSE;
  const GDocumentCommand* o = dynamic_cast<const GDocumentCommand*>(other);
  return o && portName_ == o->portName_ && documentName_ == o->documentName_;
}

void GDocumentCommand::setAttribute(MPersistentObject* attribute) {
  if (!acceptedState(attribute, AttrId::DocumentGroup)) {
    refuse(attribute);
    return;
  }
  GCommand::setAttribute(attribute);
}

GOutputPort* GDocumentCommand::releaseOutputPort() {
  GOutputPort* port = outputPort_;
  outputPort_ = nullptr;
  return port;
}

RWspace GDocumentCommand::levelStoreSize() const { return 4 + storedSize(documentName_) + storedSize(portName_); }

template <class Sink>
void GDocumentCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, documentName_);
  gWrite(sink, portName_);
}

template <class Source>
void GDocumentCommand::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The port is never stored: a restored command has none of its own.
  RWWString name;
  if (!gRead(source, name)) return;
  documentName_ = name;
  if (!gRead(source, name)) return;
  portName_ = name;
}

// ---- GDocumentStart ---------------------------------------------------------------

G_DEFINE_PERSISTENT(GDocumentStart, GDocumentCommand)

GDocumentStart::GDocumentStart(const uint32_t& id) : GDocumentCommand(id), device_(nullptr) {}

GDocumentStart::GDocumentStart(const RWWString& documentName, const RWWString& portName, GDevice* device,
                               const uint32_t& id)
    : GDocumentCommand(documentName, portName, id), device_(device) {}

GDocumentStart::GDocumentStart(const RWWString& documentName, const RWWString& portName, GDevice* device,
                               MPersistentObject* state, const uint32_t& id)
    : GDocumentCommand(documentName, portName, state, id), device_(device) {}

GDocumentStart::GDocumentStart(const GDocumentStart& other) = default;

GDocumentStart& GDocumentStart::operator=(const GDocumentStart& other) {
  if (this == &other) return *this;
  GDocumentCommand::operator=(other);
  device_ = other.device_;
  return *this;
}

GDocumentStart::~GDocumentStart() = default;

RWBoolean GDocumentStart::isKindOf(RWClassID id) const { return id == classIsA() || GDocumentCommand::isKindOf(id); }

RWBoolean GDocumentStart::matches(const MPersistentObject* other) const {
  if (!sameClass(this, other)) return FALSE;
  return device_ == static_cast<const GDocumentStart*>(other)->device_ && GDocumentCommand::matches(other);
}

GStatus GDocumentStart::accept(GPeripheralHandlers& stage) { return stage.onDocumentStart(this); }

RWspace GDocumentStart::levelStoreSize() const {
  uint32_t handle = 0;
  return handleOfDevice(device_, handle) ? 12 : 8;
}

template <class Sink>
void GDocumentStart::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  // A device the directory cannot name is stored as none: its address
  // means nothing to the process that reads the store.
  uint32_t handle = 0;
  const int32_t named = handleOfDevice(device_, handle) ? 1 : 0;
  gWrite(sink, gInt(named));
  if (named) gWrite(sink, handle);
}

template <class Source>
void GDocumentStart::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int32_t named = 0;
  if (!gRead(source, gInt(named))) return;
  if (named != 1) {
    device_ = nullptr;
    return;
  }
  uint32_t handle = 0;
  if (!gRead(source, handle)) return;
  // A handle the directory does not know (another process's, or a device
  // removed since) leaves the command without a device.
  device_ = deviceOfHandle(handle);
}

// ---- GDocumentEnd -----------------------------------------------------------------

G_DEFINE_PERSISTENT(GDocumentEnd, GDocumentCommand)

GDocumentEnd::GDocumentEnd(const uint32_t& id) : GDocumentCommand(id) {}
GDocumentEnd::GDocumentEnd(const RWWString& documentName, const RWWString& portName, const uint32_t& id)
    : GDocumentCommand(documentName, portName, id) {}
GDocumentEnd::GDocumentEnd(const RWWString& documentName, const RWWString& portName, MPersistentObject* state,
                           const uint32_t& id)
    : GDocumentCommand(documentName, portName, state, id) {}
GDocumentEnd::GDocumentEnd(const GDocumentEnd& other) = default;

GDocumentEnd& GDocumentEnd::operator=(const GDocumentEnd& other) {
  GDocumentCommand::operator=(other);
  return *this;
}

GDocumentEnd::~GDocumentEnd() = default;

RWBoolean GDocumentEnd::isKindOf(RWClassID id) const { return id == classIsA() || GDocumentCommand::isKindOf(id); }

RWBoolean GDocumentEnd::matches(const MPersistentObject* other) const {
  return sameClass(this, other) && GDocumentCommand::matches(other);
}

GStatus GDocumentEnd::accept(GPeripheralHandlers& stage) { return stage.onDocumentEnd(this); }

RWspace GDocumentEnd::levelStoreSize() const { return 4; }

template <class Sink>
void GDocumentEnd::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GDocumentEnd::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GManualDuplexFirstHalf -------------------------------------------------------

G_DEFINE_PERSISTENT(GManualDuplexFirstHalf, GDocumentCommand)

GManualDuplexFirstHalf::GManualDuplexFirstHalf(const uint32_t& id) : GDocumentCommand(id) {}
GManualDuplexFirstHalf::GManualDuplexFirstHalf(const RWWString& documentName, const RWWString& portName,
                                               const uint32_t& id)
    : GDocumentCommand(documentName, portName, id) {}
GManualDuplexFirstHalf::GManualDuplexFirstHalf(const RWWString& documentName, const RWWString& portName,
                                               MPersistentObject* state, const uint32_t& id)
    : GDocumentCommand(documentName, portName, state, id) {}
GManualDuplexFirstHalf::GManualDuplexFirstHalf(const GManualDuplexFirstHalf& other) = default;

GManualDuplexFirstHalf& GManualDuplexFirstHalf::operator=(const GManualDuplexFirstHalf& other) {
  GDocumentCommand::operator=(other);
  return *this;
}

GManualDuplexFirstHalf::~GManualDuplexFirstHalf() = default;

RWBoolean GManualDuplexFirstHalf::isKindOf(RWClassID id) const {
  return id == classIsA() || GDocumentCommand::isKindOf(id);
}

RWBoolean GManualDuplexFirstHalf::matches(const MPersistentObject* other) const {
  return sameClass(this, other) && GDocumentCommand::matches(other);
}

GStatus GManualDuplexFirstHalf::accept(GPeripheralHandlers& stage) { return stage.onManualDuplexFirstHalf(this); }

RWspace GManualDuplexFirstHalf::levelStoreSize() const { return 4; }

template <class Sink>
void GManualDuplexFirstHalf::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GManualDuplexFirstHalf::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GPageCommand -----------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GPageCommand, GCommand)
RW_DEFINE_RESTORE_OPERATORS(GPageCommand)

GPageCommand::GPageCommand(const uint32_t& id) : GCommand(familyState(nullptr, AttrId::PageGroup), id) {}
GPageCommand::GPageCommand(MPersistentObject* state, const uint32_t& id)
    : GCommand(familyState(state, AttrId::PageGroup), id) {}
GPageCommand::GPageCommand(const GPageCommand& other) = default;

GPageCommand& GPageCommand::operator=(const GPageCommand& other) {
  GCommand::operator=(other);
  return *this;
}

GPageCommand::~GPageCommand() = default;

RWClassID GPageCommand::isA() const { return classIsA(); }

RWBoolean GPageCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GPageCommand::matches(const MPersistentObject* other) const {
  return sameClass(this, other) && GCommand::matches(other);
}

void GPageCommand::setAttribute(MPersistentObject* attribute) {
  if (!acceptedState(attribute, AttrId::PageGroup)) {
    refuse(attribute);
    return;
  }
  GCommand::setAttribute(attribute);
}

RWspace GPageCommand::levelStoreSize() const { return 4; }

template <class Sink>
void GPageCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GPageCommand::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GPageStart -------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPageStart, GPageCommand)

GPageStart::GPageStart(const uint32_t& id) : GPageCommand(id) {}
GPageStart::GPageStart(MPersistentObject* state, const uint32_t& id) : GPageCommand(state, id) {}
GPageStart::GPageStart(const GPageStart& other) = default;

GPageStart& GPageStart::operator=(const GPageStart& other) {
  GPageCommand::operator=(other);
  return *this;
}

GPageStart::~GPageStart() = default;

RWBoolean GPageStart::isKindOf(RWClassID id) const { return id == classIsA() || GPageCommand::isKindOf(id); }

GStatus GPageStart::accept(GPeripheralHandlers& stage) { return stage.onPageStart(this); }

RWspace GPageStart::levelStoreSize() const { return 4; }

template <class Sink>
void GPageStart::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GPageStart::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GPageEnd ---------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPageEnd, GPageCommand)

GPageEnd::GPageEnd(const uint32_t& id) : GPageCommand(id) {}
GPageEnd::GPageEnd(MPersistentObject* state, const uint32_t& id) : GPageCommand(state, id) {}
GPageEnd::GPageEnd(const GPageEnd& other) = default;

GPageEnd& GPageEnd::operator=(const GPageEnd& other) {
  GPageCommand::operator=(other);
  return *this;
}

GPageEnd::~GPageEnd() = default;

RWBoolean GPageEnd::isKindOf(RWClassID id) const { return id == classIsA() || GPageCommand::isKindOf(id); }

GStatus GPageEnd::accept(GPeripheralHandlers& stage) { return stage.onPageEnd(this); }

RWspace GPageEnd::levelStoreSize() const { return 4; }

template <class Sink>
void GPageEnd::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GPageEnd::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GJobAbort --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GJobAbort, GCommand)

GJobAbort::GJobAbort(const uint32_t& id) : GCommand(id) {}
GJobAbort::GJobAbort(const GJobAbort& other) = default;

GJobAbort& GJobAbort::operator=(const GJobAbort& other) {
  GCommand::operator=(other);
  return *this;
}

GJobAbort::~GJobAbort() = default;

RWBoolean GJobAbort::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GJobAbort::matches(const MPersistentObject* other) const {
  return other == this || (sameClass(this, other) && GCommand::matches(other));
}

GStatus GJobAbort::accept(GPeripheralHandlers& stage) { return stage.onJobAbort(this); }

RWspace GJobAbort::levelStoreSize() const { return 4; }

template <class Sink>
void GJobAbort::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GJobAbort::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GNoCommand -------------------------------------------------------------------

G_DEFINE_PERSISTENT(GNoCommand, GCommand)

GNoCommand::GNoCommand(const uint32_t& id) : GCommand(id) {}
GNoCommand::GNoCommand(const GNoCommand& other) = default;

GNoCommand& GNoCommand::operator=(const GNoCommand& other) {
  GCommand::operator=(other);
  return *this;
}

GNoCommand::~GNoCommand() = default;

RWBoolean GNoCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GNoCommand::matches(const MPersistentObject* other) const {
  return other == this || (sameClass(this, other) && GCommand::matches(other));
}

GStatus GNoCommand::accept(GPeripheralHandlers&) { return 0; }

RWspace GNoCommand::levelStoreSize() const { return 4; }

template <class Sink>
void GNoCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GNoCommand::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GNullCommand -----------------------------------------------------------------

G_DEFINE_PERSISTENT(GNullCommand, GCommand)

GNullCommand::GNullCommand(const uint32_t& id) : GCommand(id) {}
GNullCommand::GNullCommand(MPersistentObject* attribute, const uint32_t& id) : GCommand(attribute, id) {}
GNullCommand::GNullCommand(const GNullCommand& other) = default;

GNullCommand& GNullCommand::operator=(const GNullCommand& other) {
  GCommand::operator=(other);
  return *this;
}

GNullCommand::~GNullCommand() = default;

RWBoolean GNullCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

GStatus GNullCommand::accept(GPeripheralHandlers&) { return 0; }

RWspace GNullCommand::levelStoreSize() const { return 4; }

template <class Sink>
void GNullCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GNullCommand::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GErrorCommand ----------------------------------------------------------------

G_DEFINE_PERSISTENT(GErrorCommand, GCommand)

GErrorCommand::GErrorCommand(const uint32_t& id) : GCommand(id), errorCode_(0) {}
GErrorCommand::GErrorCommand(GStatus errorCode, GCommand* failedCommand, const uint32_t& id)
    : GCommand(id), errorCode_(errorCode), failedCommand_(failedCommand) {}
GErrorCommand::GErrorCommand(const GErrorCommand& other) = default;

GErrorCommand& GErrorCommand::operator=(const GErrorCommand& other) {
  if (this == &other) return *this;
  GCommand::operator=(other);
  errorCode_ = other.errorCode_;
  // The other's failed command may lead back to this one.
  setFailedCommand(other.failedCommand());
  return *this;
}

GErrorCommand::~GErrorCommand() = default;

RWBoolean GErrorCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GErrorCommand::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!sameClass(this, other) || !GCommand::matches(other)) return FALSE;
  const GErrorCommand* o = static_cast<const GErrorCommand*>(other);
  return errorCode_ == o->errorCode_ && failedCommand_ == o->failedCommand_;
}

GStatus GErrorCommand::accept(GPeripheralHandlers& stage) { return stage.onErrorCommand(this); }

GStatus GErrorCommand::exchangeErrorCode(GStatus code) {
  const GStatus old = errorCode_;
  errorCode_ = code;
  return old;
}

// Only commands are ever held (the setter and the restore see to it).
GCommand* GErrorCommand::failedCommand() const { return static_cast<GCommand*>(failedCommand_.get()); }

void GErrorCommand::setFailedCommand(GCommand* command) {
  // The chain of failed commands is free of cycles as long as every link
  // is checked here; the restore refuses an enclosing command on its own.
  for (const GCommand* link = command; link;) {
    if (link == this) return;
    const auto* error = dynamic_cast<const GErrorCommand*>(link);
    link = error ? error->failedCommand() : nullptr;
  }
  failedCommand_ = command;
}

GCommand* GErrorCommand::releaseFailedCommand() { return static_cast<GCommand*>(failedCommand_.release()); }

RWspace GErrorCommand::levelStoreSize() const {
  // Counted under the store table binaryStoreSize holds: a failed command
  // stored earlier in the same store counts as the reference it is.
  const GCommand* failed = failedCommand();
  return 4 + 2 + 4 + (failed ? failed->recursiveStoreSize() : 0);
}

template <class Sink>
void GErrorCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint16_t>(errorCode_));
  const GCommand* failed = failedCommand();
  const int32_t held = failed ? 1 : 0;
  gWrite(sink, gInt(held));
  if (failed) sink << static_cast<const RWCollectable*>(failed);
}

template <class Source>
void GErrorCommand::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint16_t code = 0;
  if (!gRead(source, code)) return;
  errorCode_ = static_cast<GStatus>(code);
  int32_t held = 0;
  if (!gRead(source, gInt(held))) return;
  if (held != 1) {
    failedCommand_ = nullptr;
    return;
  }
  // The failed command may name no object that encloses this one: sharing
  // it would make the tree a cycle that is never freed.
  MRestoreScope scope(this);
  // Anything but a command is dropped: a stage reads the failed command
  // as one.
  GCommand* command = nullptr;
  if (restoreSharedMember(source, command)) failedCommand_ = command;
}
