#include "core/dynlib.h"

#include <cstdarg>

#include "core/perclass.h"

// Loading, unloading and the look-up of exports are the user-mode build's,
// on dlopen, at the end of this file. The kernel build loads add-ons through
// the engine instead (kernel/dynlib.cpp).
#ifndef RW_KERNEL_BUILD
#include <dlfcn.h>

#include <string>

#include "core/osfactry.h"
#include "core/textconv.h"
#endif

G_DEFINE_PERSISTENT(GDynamicLibrary, MPersistentObject)

GDynamicLibrary::GDynamicLibrary() : loaded_(0), module_(nullptr) {}

GDynamicLibrary::GDynamicLibrary(const RWWString& path) : path_(path), loaded_(0), module_(nullptr) {}

GDynamicLibrary::GDynamicLibrary(const GDynamicLibrary& other)
    : MPersistentObject(other), path_(other.path_), loaded_(0), module_(nullptr) {
  loadAgain(other);
}

GDynamicLibrary& GDynamicLibrary::operator=(const GDynamicLibrary& other) {
  if (this == &other) return *this;
  unload();
  MPersistentObject::operator=(other);
  path_ = other.path_;
  loadAgain(other);
  return *this;
}

GDynamicLibrary::~GDynamicLibrary() { unload(); }

RWspace GDynamicLibrary::levelStoreSize() const { return 8 + 2 * path_.length(); }

template <class Sink>
void GDynamicLibrary::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  path_.saveOn(sink);
}

template <class Source>
void GDynamicLibrary::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  RWWString path;
  if (!path.restoreFrom(source)) return;
  path_ = path;
  // The store says nothing about this process's libraries.
  unload();
}

RWBoolean GDynamicLibrary::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GDynamicLibrary::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDynamicLibrary* o = dynamic_cast<const GDynamicLibrary*>(other);
  return o && o->path_ == path_ && o->loaded_ == loaded_ && o->module_ == module_;
}

// Every export of an add-on takes one pointer, to the further arguments,
// and answers one.
void* GDynamicLibrary::call(const char* functionName, ...) {
  if (!functionName || !load()) return nullptr;
  void* symbol = findExport(functionName);
  if (!symbol) return nullptr;
  auto function = reinterpret_cast<void* (*)(void*)>(symbol);
  va_list args;
  va_start(args, functionName);
  void* result = function(&args);
  va_end(args);
  return result;
}

int GDynamicLibrary::hasExport(const char* functionName) const {
  if (!functionName || !loaded_) return 0;
  return findExport(functionName) ? 1 : 0;
}

#ifndef RW_KERNEL_BUILD

namespace {

std::string withSlashes(const RWWString& wide) {
  RWCString narrow;
  convertToNarrow(wide, narrow);
  std::string path(narrow.data(), narrow.length());
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// The driver directory of the installed platform services, or empty.
std::string driverDirectory() {
  GOSFactory* factory = GOSFactory::instance();
  if (!factory) return {};
  RWWString dir;
  return withSlashes(factory->driverDirectory(dir));
}

bool endsWithDll(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return tail == ".dll";
}

void* openFile(const std::string& path, RWCString& opened) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle) opened = RWCString(path.c_str());
  return handle;
}

// Opens the library named by the path, or answers null. A name that would
// send dlopen searching the system's library folders, or that would
// answer the program itself (the empty name), never reaches it.
void* openLibrary(const RWWString& given, RWCString& opened) {
  std::string path = withSlashes(given);
  if (path.empty()) return nullptr;
  if (path[0] != '/') {
    std::string dir = driverDirectory();
    if (dir.empty()) return nullptr;
    if (dir.back() != '/') dir += '/';
    path = dir + path;
    if (path[0] != '/') path = "./" + path;
  }
  if (void* handle = openFile(path, opened)) return handle;
  if (!endsWithDll(path)) return nullptr;
  path.replace(path.size() - 4, 4, ".so");
  return openFile(path, opened);
}

}  // namespace

void GDynamicLibrary::loadAgain(const GDynamicLibrary& other) {
  if (!other.loaded_) return;
  module_ = dlopen(other.openedFile_.data(), RTLD_NOW | RTLD_LOCAL);
  loaded_ = module_ ? 1 : 0;
  if (loaded_) openedFile_ = other.openedFile_;
}

int GDynamicLibrary::load() {
  if (loaded_) return loaded_;
  module_ = openLibrary(path_, openedFile_);
  loaded_ = module_ ? 1 : 0;
  return loaded_;
}

int GDynamicLibrary::unload() {
  if (!loaded_) return 0;
  int released = dlclose(module_) == 0 ? 1 : 0;
  module_ = nullptr;
  loaded_ = 0;
  return released;
}

void* GDynamicLibrary::findExport(const char* functionName) const { return dlsym(module_, functionName); }

#endif
