#ifndef DEVICE_PERIPROX_H
#define DEVICE_PERIPROX_H

// The add-on proxy: a command-processing stage standing for a stage that an
// add-on library supplies. The proxy loads the library by name, asks its
// create export for the stage, passes commands to it, and at the end gives
// the stage back to the library's destroy export and unloads the library.
// The core library installs the journal's add-on proxy maker with this
// class: a stage that takes add-ons (attachAddOns) makes a proxy for each
// name in its add-on list and keeps those that loaded.
//
// Where add-ons come from: the name is a file name in the driver directory
// of the installed platform services (see GDynamicLibrary). Names come from
// stored configurations, so a name holding a path separator ('/' or '\'),
// ".." or a NUL character, and the empty name, load nothing.
//
// The exports, extern "C", named by the add-on kind:
//
//   kind   create              destroy
//   0      _C_GENERIC_ADDON    _D_GENERIC_ADDON
//   1      _C_PCLXL_ADDON      _D_PCLXL_ADDON
//   2      _C_PCL_ADDON        _D_PCL_ADDON
//   3      _C_PS_ADDON         _D_PS_ADDON
//   4      _C_PJL_ADDON        _D_PJL_ADDON
//   other  (none)              (none)
//
// Each has the form of every add-on export, void* fn(void* args), args
// pointing at a va_list (see GDynamicLibrary::call). create takes one
// argument, a uint32_t* to two zero words, and answers a new stage as a
// GPeripheral* (converted to void*), or null. destroy takes a void** to a
// pointer-sized word holding such a stage (as a GPeripheral*) and disposes
// of it. A library without a destroy export has its stages deleted by the
// core before it is unloaded.
//
// Load modes: 0 loads the add-on for each command and unloads it again
// after; 1 loads it at construction and keeps it until the proxy goes; 2
// never loads (a stage of mode 2 takes no add-ons).
//
// Copies: a copy shares the stage and holds a load of the library of its
// own, so that either copy may go first and the other goes on processing.
// The stage is given to destroy by whichever copy holds it last; the
// others give destroy a copy of it (the counted pointer's exchange).
//
// Stored form of this level, after the stage's: version (1); the library as
// a stored object (with its class tag); the create key, then the destroy
// key, each as a wide string; the load mode, then the add-on kind, each a
// 32-bit int; the stage as a stored pointer. A restore unloads first, reads
// the library, keys, mode and kind, loads the add-on whatever the mode (so
// that its classes are known to the factory), and then reads the stored
// stage, which replaces the one create made: that one is released by the
// core and never given to destroy. A stored stage that is no stage, or that
// refers back to an object still being restored around it, restores as
// none. A stored version other than 1 leaves the level as it was.

#include <cstdint>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/dynlib.h"
#include "journal/periph.h"
#include "rw/wstring.h"

class GPeripheralProxy : public GPeripheral {
  G_PERSISTENT_CLASS(GPeripheralProxy)

 public:
  // Kind 6, mode 2, empty keys, an unnamed library, no stage.
  GPeripheralProxy();
  // For the library of that name, with the keys of the kind; mode 1 loads
  // at once.
  GPeripheralProxy(const RWWString& name, int32_t kind, int32_t mode);
  // Stands for a stage that no library supplies: kind 6, mode 2, empty
  // keys, an unnamed library. The proxy shares the stage.
  explicit GPeripheralProxy(GPeripheral* stage);
  // The stage part; the stage shared; keys, kind and mode; a load of the
  // library of its own when the other's is loaded.
  GPeripheralProxy(const GPeripheralProxy& other);
  // Unloads first, then as the copy.
  GPeripheralProxy& operator=(const GPeripheralProxy& other);
  // Unloads.
  ~GPeripheralProxy() override;

  static RWClassID classIsA() { return ClassId::GPeripheralProxy; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, the stages matching, matching
  // libraries, equal keys, kind and mode, and the very same stage.
  RWBoolean matches(const MPersistentObject* other) const override;

  // With a stage and the library loaded: the stage's answer. Otherwise, in
  // mode 0: load, the stage's answer when one was made, unload; in the other
  // modes the command as it came.
  GCommandPtr process(const GCommandPtr& command) override;
  uint32_t processingFlags() override { return 0; }

  // Whether the proxy holds a stage.
  int32_t isLoaded() const { return peripheral_.isNil() ? 0 : 1; }
  // The stage (no reference added), or null.
  GPeripheral* stage() const;
  const GDynamicLibrary& library() const { return library_; }
  const RWWString& createKey() const { return createKey_; }
  const RWWString& destroyKey() const { return destroyKey_; }
  int32_t addOnType() const { return addOnKind_; }
  int32_t loadMode() const { return loadMode_; }

  // Whether an add-on name may be loaded: not empty, no path separator, no
  // "..", no NUL.
  static bool isPlainName(const RWWString& name);

 private:
  // Loads the library and asks its create export for a stage: the new stage
  // (no reference yet), or null.
  GPeripheral* load();
  // Gives the stage (when there is one) to the destroy export, or deletes
  // it when the library has none, then unloads the library.
  void unload();
  void setKeys();

  // The library is destroyed after the stage it supplies.
  GDynamicLibrary library_;
  GCountedPtr peripheral_;
  RWWString createKey_;
  RWWString destroyKey_;
  int32_t addOnKind_;
  int32_t loadMode_;
};

RW_DECLARE_RESTORE_OPERATORS(GPeripheralProxy)

#endif
