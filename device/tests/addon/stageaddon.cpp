// A stage add-on for the tests of the add-on proxy. Each export takes a
// pointer to the caller's va_list, as every add-on export does.
//
//   _C_GENERIC_ADDON, _D_GENERIC_ADDON   create and destroy a stage
//   _C_PCLXL_ADDON                      creates a stage; no destroy export
//
// The stage is a class of this library, registered with the factory while
// the library is loaded. What happens is appended, one line each, to the
// file QX_ADDON_LOG names: "load", "create", "process <class ID>" for each
// command a stage is given, "destroy", "delete" when a stage is deleted
// (by destroy or by anyone else) and "unload".

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/perclass.h"
#include "journal/periph.h"
#include "testkit/core/ids.h"

// Nothing here may leave a symbol the loader keeps unique to the process
// (a static of a template of the standard library is one): the library
// could then never be unloaded, and the tests would not see it go.

namespace {

void note(const std::string& line) {
  const char* path = std::getenv("QX_ADDON_LOG");
  if (!path || !*path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

va_list& argumentsOf(void* args) { return *static_cast<va_list*>(args); }

__attribute__((constructor)) void loaded() { note("load"); }
__attribute__((destructor)) void unloaded() { note("unload"); }

}  // namespace

class AddOnStage : public GPeripheral {
  G_PERSISTENT_CLASS(AddOnStage)

 public:
  AddOnStage() = default;
  explicit AddOnStage(const RWCString& name) : GPeripheral(name, nullptr, nullptr, 0) {}
  AddOnStage(const AddOnStage& other) = default;
  ~AddOnStage() override { note("delete"); }

  static RWClassID classIsA() { return TestKitClassId::AddOnStage; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || GPeripheral::isKindOf(id); }
  uint32_t processingFlags() override { return 0; }

  GCommandPtr process(const GCommandPtr& command) override {
    char line[32];
    std::snprintf(line, sizeof line, "process %u", command ? static_cast<unsigned>(command->isA()) : 0u);
    note(line);
    return GPeripheral::process(command);
  }
};

G_DEFINE_PERSISTENT(AddOnStage, GPeripheral)

// Nothing of its own is stored: the stage's level is the last.
RWspace AddOnStage::levelStoreSize() const { return 0; }

template <class Sink>
void AddOnStage::saveLevel(Sink&) const {}

template <class Source>
void AddOnStage::restoreLevel(Source&) {}

namespace {

// (uint32_t* words): a new stage when both words are 0, else null.
void* createStage(void* args) {
  const uint32_t* words = va_arg(argumentsOf(args), const uint32_t*);
  if (!words || words[0] != 0 || words[1] != 0) {
    note("create refused");
    return nullptr;
  }
  note("create");
  return static_cast<GPeripheral*>(new AddOnStage("addon"));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void* _C_GENERIC_ADDON(void* args) { return createStage(args); }

// (void** word): deletes the stage the word holds.
__attribute__((visibility("default"))) void* _D_GENERIC_ADDON(void* args) {
  void** word = va_arg(argumentsOf(args), void**);
  note("destroy");
  if (word) delete static_cast<GPeripheral*>(*word);
  return nullptr;
}

__attribute__((visibility("default"))) void* _C_PCLXL_ADDON(void* args) { return createStage(args); }
}
