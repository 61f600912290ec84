#include "device/periprox.h"

#include <memory>

#include "core/perclass.h"
#include "core/textconv.h"

namespace {

// The export names of each add-on kind: create, destroy.
struct AddOnKeys {
  const char* create;
  const char* destroy;
};

constexpr AddOnKeys kKeys[] = {
    {"_C_GENERIC_ADDON", "_D_GENERIC_ADDON"},
    {"_C_PCLXL_ADDON", "_D_PCLXL_ADDON"},
    {"_C_PCL_ADDON", "_D_PCL_ADDON"},
    {"_C_PS_ADDON", "_D_PS_ADDON"},
    {"_C_PJL_ADDON", "_D_PJL_ADDON"},
};

RWCString narrowed(const RWWString& wide) {
  RWCString narrow;
  convertToNarrow(wide, narrow);
  return narrow;
}

// The journal's maker of add-on proxies: a proxy is answered only when it
// loaded.
GPeripheral* makeAddOnProxy(const RWWString& name, int32_t kind, int32_t mode) {
  std::unique_ptr<GPeripheralProxy> proxy(new GPeripheralProxy(name, kind, mode));
  if (!proxy->isLoaded()) return nullptr;
  return proxy.release();
}

// Installed when the core library starts, with the proxy class.
void installAddOnProxyMaker() { gSetAddOnProxyMaker(makeAddOnProxy); }
RW_STARTUP(addOnProxyMakerEntry, installAddOnProxyMaker, nullptr);

}  // namespace

G_DEFINE_PERSISTENT(GPeripheralProxy, GPeripheral)

GPeripheralProxy::GPeripheralProxy() : addOnKind_(6), loadMode_(2) {}

GPeripheralProxy::GPeripheralProxy(const RWWString& name, int32_t kind, int32_t mode)
    : library_(name), addOnKind_(kind), loadMode_(mode) {
  setKeys();
  if (loadMode_ == 1) peripheral_ = load();
}

GPeripheralProxy::GPeripheralProxy(GPeripheral* stage) : peripheral_(stage), addOnKind_(6), loadMode_(2) {}

GPeripheralProxy::GPeripheralProxy(const GPeripheralProxy& other)
    : GPeripheral(other),
      library_(other.library_),
      peripheral_(other.peripheral_),
      createKey_(other.createKey_),
      destroyKey_(other.destroyKey_),
      addOnKind_(other.addOnKind_),
      loadMode_(other.loadMode_) {}

GPeripheralProxy& GPeripheralProxy::operator=(const GPeripheralProxy& other) {
  if (this == &other) return *this;
  // The stage held goes back to its library before the library changes.
  unload();
  GPeripheral::operator=(other);
  library_ = other.library_;
  peripheral_ = other.peripheral_;
  createKey_ = other.createKey_;
  destroyKey_ = other.destroyKey_;
  addOnKind_ = other.addOnKind_;
  loadMode_ = other.loadMode_;
  return *this;
}

GPeripheralProxy::~GPeripheralProxy() { unload(); }

void GPeripheralProxy::setKeys() {
  if (addOnKind_ >= 0 && addOnKind_ < static_cast<int32_t>(sizeof kKeys / sizeof kKeys[0])) {
    createKey_ = RWWString(kKeys[addOnKind_].create);
    destroyKey_ = RWWString(kKeys[addOnKind_].destroy);
  } else {
    createKey_ = RWWString();
    destroyKey_ = RWWString();
  }
}

bool GPeripheralProxy::isPlainName(const RWWString& name) {
  const RWsize n = name.length();
  if (n == 0) return false;
  for (RWsize i = 0; i < n; ++i) {
    const RWwchar c = name(i);
    if (c == '/' || c == '\\' || c == 0) return false;
    if (c == '.' && i + 1 < n && name(i + 1) == '.') return false;
  }
  return true;
}

RWBoolean GPeripheralProxy::isKindOf(RWClassID id) const { return id == classIsA() || GPeripheral::isKindOf(id); }

RWBoolean GPeripheralProxy::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GPeripheral::matches(other)) return FALSE;
  const GPeripheralProxy* o = dynamic_cast<const GPeripheralProxy*>(other);
  return o && library_.matches(&o->library_) && createKey_ == o->createKey_ && destroyKey_ == o->destroyKey_ &&
         addOnKind_ == o->addOnKind_ && loadMode_ == o->loadMode_ && peripheral_ == o->peripheral_;
}

GPeripheral* GPeripheralProxy::stage() const { return dynamic_cast<GPeripheral*>(peripheral_.get()); }

GPeripheral* GPeripheralProxy::load() {
  // The name comes from a stored configuration: only a file of the driver
  // directory itself may be loaded.
  if (!isPlainName(library_.path()) || !library_.load()) return nullptr;
  const RWCString create = narrowed(createKey_);
  if (create.length() == 0) return nullptr;
  uint32_t zeros[2] = {0, 0};
  return static_cast<GPeripheral*>(library_.call(create.data(), zeros));
}

void GPeripheralProxy::unload() {
  if (!peripheral_.isNil()) {
    const RWCString destroy = narrowed(destroyKey_);
    if (destroy.length() != 0 && library_.hasExport(destroy.data())) {
      // Only this proxy's hold: the stage itself goes back; otherwise a
      // copy of it, and the other holders keep the stage.
      MPersistentObject* taken = peripheral_.exchange(nullptr);
      void* word = dynamic_cast<GPeripheral*>(taken);
      if (word) {
        library_.call(destroy.data(), &word);
      } else {
        delete taken;
      }
    } else {
      // Nothing to give it back to: the core lets it go while its code is
      // still loaded.
      peripheral_ = nullptr;
    }
  }
  library_.unload();
}

GCommandPtr GPeripheralProxy::process(const GCommandPtr& command) {
  if (GPeripheral* s = stage(); s && library_.isLoaded()) {
    const GCountedRef hold(s);
    return s->process(command);
  }
  if (loadMode_ != 0) return command;
  GCommandPtr held(command);
  peripheral_ = load();
  if (GPeripheral* s = stage(); s && library_.isLoaded()) held = s->process(held);
  unload();
  return held;
}

// ---- stored form ---------------------------------------------------------------------

RWspace GPeripheralProxy::levelStoreSize() const {
  // The version, the two key lengths, the mode and the kind: 20 bytes.
  return 20 + library_.recursiveStoreSize() + 2 * createKey_.length() + 2 * destroyKey_.length() +
         peripheral_.binaryStoreSize();
}

template <class Sink>
void GPeripheralProxy::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable&>(library_);
  gWrite(sink, createKey_);
  gWrite(sink, destroyKey_);
  gWrite(sink, gInt(loadMode_));
  gWrite(sink, gInt(addOnKind_));
  peripheral_.saveGuts(sink);
}

template <class Source>
void GPeripheralProxy::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  unload();
  // The stored stage may refer back to this proxy: it is refused.
  MRestoreScope scope(this);
  // The library is a member: no later reference may hand it to an owner.
  if (restoreInPlace(source, static_cast<RWCollectable&>(library_)).failed) return;
  if (!gRead(source, createKey_) || !gRead(source, destroyKey_)) return;
  if (!gRead(source, gInt(loadMode_)) || !gRead(source, gInt(addOnKind_))) return;
  // Loaded whatever the mode, so that the add-on's classes are known when
  // its stage is read.
  peripheral_ = load();
  GPeripheral* stored = nullptr;
  if (!restoreSharedMember(source, stored)) return;
  // The stage create made is released here, never given to destroy.
  peripheral_ = stored;
}
