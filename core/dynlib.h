#ifndef CORE_DYNLIB_H
#define CORE_DYNLIB_H

// A persistent reference to a loadable library by path.
//
// The library is loaded on first use, an exported function is called by
// name with the caller's variable arguments, and the library is unloaded
// when the reference is done with it. Printer add-ons are reached this way.
// A stored reference keeps only the path and is always restored unloaded.
//
// Where the library is looked for: a path is taken with '/' for '\'; a
// relative one lies in the driver directory of the installed platform
// services (none is loaded while no platform services are installed). The
// path is tried as given, then, for a name ending in ".dll", with ".so" in
// place of that ending. An empty path loads nothing.
//
// The kernel driver loads the image "spool\drivers\w32x86\2\" + path
// through the engine instead, and keeps it loaded only when its export
// "EnableAddon", called with null, answers a non-null add-on handle;
// unloading hands that handle to its "DisableAddon" first.
//
// An exported function has the form  void* fn(void* args)  where args
// points at the caller's va_list, from which it takes its arguments with
// va_arg(*static_cast<va_list*>(args), T).
//
// Each loaded reference holds its own count on the library: a copy of a
// loaded reference loads the library once more, so that unloading one of
// them leaves the library in place for the other.
//
// Stored form of this level, after the root level: version (1), then the
// path (its length as a 32-bit word, then its 16-bit units). A path not
// read whole ends the level: the reference keeps its path and library.

#include <cstdint>

#include "core/classids.h"
#include "core/perobj.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

class GDynamicLibrary : public MPersistentObject {
  G_PERSISTENT_CLASS(GDynamicLibrary)

 public:
  GDynamicLibrary();
  explicit GDynamicLibrary(const RWWString& path);
  GDynamicLibrary(const GDynamicLibrary& other);
  GDynamicLibrary& operator=(const GDynamicLibrary& other);
  ~GDynamicLibrary() override;

  static RWClassID classIsA() { return ClassId::GDynamicLibrary; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, path, load state and module.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Loads the library unless it is loaded; answers whether it is.
  int load();
  // Nonzero when a loaded library was released; 0 when none was loaded or
  // releasing it failed. The reference is unloaded afterwards either way.
  int unload();
  int isLoaded() const { return loaded_; }

  // Loads the library and calls its export of that name with a pointer to
  // the further arguments; answers what the function answers. Null, and
  // nothing called, when the library cannot be loaded or has no such
  // export (a loaded library stays loaded).
  void* call(const char* functionName, ...);
  // Nonzero when the library is loaded and has an export of that name.
  // Loads nothing: a caller that must not call a missing function asks
  // first, since call answers null for it and for a function that answers
  // null alike.
  int hasExport(const char* functionName) const;

  const RWWString& path() const { return path_; }
  // The handle of the loaded library, null when not loaded.
  void* module() const { return module_; }

 private:
  // Takes a count of its own on the library another reference has loaded,
  // by the very file that reference opened.
  void loadAgain(const GDynamicLibrary& other);
  // The loaded library's export of that name, or null. Each build looks
  // exports up its own way; call and hasExport are shared.
  void* findExport(const char* functionName) const;

  RWWString path_;
  int loaded_;
  void* module_;
  // The file the loaded library was opened from.
  RWCString openedFile_;
  // The kernel build's add-on handle, from "EnableAddon".
  void* addon_ = nullptr;
};

RW_DECLARE_RESTORE_OPERATORS(GDynamicLibrary)

#endif
