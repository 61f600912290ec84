#ifndef FUZZ_KERNEL_H
#define FUZZ_KERNEL_H

// What the targets over the kernel driver's readers share. They are built
// on the driver's own units (the kernel build of the foundation and of the
// core library, and kernel/), linked with the engine stand-in, as the
// kernel tests are: the readers run with the driver's heap, real numbers,
// locks and file layer, not with a user-mode copy of them.
//
// kernel.cpp holds their LLVMFuzzerInitialize: the engine's root folder and
// the driver's runtime are started as DrvEnableDriver starts them, the
// platform services of the kernel build are installed, the library's
// reports are dropped, and the heap's reports are read: a damaged watchdog
// (a write just past a block, which the sanitizer cannot see inside the
// heap's own padding) ends the run as a crash.

#include <memory>

#include "device/drvinst.h"
#include "host/engine/ddi.h"
#include "kernel/devsetnt.h"
#include "rw/wstring.h"
#include "testkit/tmpdir.h"

class GAttributeComposite;
struct PrinterModel;

namespace kfuzz {

// What LLVMFuzzerInitialize does, for a program of these units that is no
// fuzz target (the seed maker).
void start();

// A printer of the engine stand-in, its named values in a file of its own
// folder; removed with the object.
class StandInPrinter {
 public:
  StandInPrinter();
  ~StandInPrinter();
  StandInPrinter(const StandInPrinter&) = delete;
  StandInPrinter& operator=(const StandInPrinter&) = delete;

  HANDLE handle() const { return handle_; }
  const RWWString& dataFile() const { return dataFile_; }

 private:
  TempDir dir_;
  RWWString dataFile_;
  HANDLE handle_ = nullptr;
};

// The printer every input of a process works on, made at the first use.
StandInPrinter& printer();

// A settings part over a tree the printer configuration builder made from
// the model, answering the stand-in printer's handle and data file, as the
// driver server hands a restored tree over.
class SettingsPart : public GDeviceSettingsNT {
 public:
  explicit SettingsPart(const PrinterModel& model);

  HANDLE printerHandle() const override { return kfuzz::printer().handle(); }
  RWWString printerDataFileName() const override { return kfuzz::printer().dataFile(); }
  int32_t platformHookA() override { return 0; }
  GDevice* asDevice() override { return nullptr; }
  GInterfaceInstance* asInterfaceInstance() override { return nullptr; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override;
  void releaseResources() override {}
  GPrinterDescription* printerDescription() override { return nullptr; }
};

// Hands the parts of a built tree's top to the instance.
void handOverTree(GAttributeComposite& top, GDriverInstance& instance);

}  // namespace kfuzz

#endif
