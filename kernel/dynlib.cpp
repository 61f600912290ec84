// The kernel build's loading of add-on libraries: images of the engine's
// driver folder, loaded through the engine's image services, each enabled by
// its own "EnableAddon" and disabled by its "DisableAddon". The rest of the
// class (its stored form, copies, call and hasExport) is core/dynlib.cpp.

#include <memory>
#include <new>

#include "core/dynlib.h"
#include "host/engine/ddi.h"
#include "kernel/kmfile.h"

namespace {

// Where the engine keeps add-ons, relative to the system folder.
constexpr WCHAR AddonFolder[] = u"spool\\drivers\\w32x86\\2\\";
constexpr size_t AddonFolderLength = sizeof AddonFolder / sizeof(WCHAR) - 1;

// Every export of an add-on takes one pointer and answers one.
typedef void* (*AddonEntry)(void*);

AddonEntry entryOf(void* image, const char* name) {
  return reinterpret_cast<AddonEntry>(
      EngFindImageProcAddress(static_cast<HANDLE>(image), const_cast<char*>(name)));
}

// The image name of the library, zero-terminated; null for a path that is
// empty or has a zero inside, which would name another file.
std::unique_ptr<WCHAR[]> imageName(const RWWString& path) {
  if (!kmFileName(path)) return nullptr;
  const RWsize n = path.length();
  std::unique_ptr<WCHAR[]> name(new (std::nothrow) WCHAR[AddonFolderLength + n + 1]);
  if (!name) return nullptr;
  for (size_t i = 0; i < AddonFolderLength; ++i) name[i] = AddonFolder[i];
  for (RWsize i = 0; i < n; ++i) name[AddonFolderLength + i] = path(i);
  name[AddonFolderLength + n] = 0;
  return name;
}

}  // namespace

void GDynamicLibrary::loadAgain(const GDynamicLibrary& other) {
  // A copy enables the add-on once more and holds a handle of its own.
  if (other.loaded_) load();
}

int GDynamicLibrary::load() {
  if (loaded_) return loaded_;
  const std::unique_ptr<WCHAR[]> name = imageName(path_);
  HANDLE image = name ? EngLoadImage(name.get()) : nullptr;
  if (!image) return 0;
  AddonEntry enable = entryOf(image, "EnableAddon");
  void* addon = enable ? enable(nullptr) : nullptr;
  if (!addon) {
    // Never enabled, so there is nothing for "DisableAddon" to undo.
    EngUnloadImage(image);
    return 0;
  }
  module_ = image;
  addon_ = addon;
  loaded_ = 1;
  return loaded_;
}

int GDynamicLibrary::unload() {
  if (!loaded_) return 0;
  if (AddonEntry disable = entryOf(module_, "DisableAddon")) disable(addon_);
  EngUnloadImage(static_cast<HANDLE>(module_));
  module_ = nullptr;
  addon_ = nullptr;
  loaded_ = 0;
  return 1;
}

void* GDynamicLibrary::findExport(const char* functionName) const {
  return EngFindImageProcAddress(static_cast<HANDLE>(module_), const_cast<char*>(functionName));
}
