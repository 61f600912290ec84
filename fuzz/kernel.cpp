// The set-up of the targets over the kernel driver's readers (kernel.h).

#include "kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/attrib.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "flags.h"
#include "host/engine/engine.h"
#include "kernel/osfactnt.h"
#include "kernel/runtime.h"
#include "rw/rwerr.h"
#include "tools/printer/printer.h"

namespace kfuzz {

StandInPrinter::StandInPrinter() {
  eng::PrinterSetup setup;
  setup.printerName = u"Fuzz Printer";
  setup.driverName = u"Fuzz Driver";
  setup.portName = u"LPT1:";
  const std::string data = dir_.file("printer.cfg");
  setup.dataFile.assign(data.begin(), data.end());
  setup.valuesFile = dir_.hostPath() + "/values";
  handle_ = eng::addPrinter(setup);
  dataFile_ = RWWString(data.c_str());
}

StandInPrinter::~StandInPrinter() { eng::removePrinter(handle_); }

StandInPrinter& printer() {
  static StandInPrinter* made = new StandInPrinter;  // lives as long as the process
  return *made;
}

void handOverTree(GAttributeComposite& top, GDriverInstance& instance) {
  instance.setConfiguration(dynamic_cast<GPeripheralComposite*>(top.removeById(353)));
  instance.setCodeMappings(dynamic_cast<GResourceMappingList*>(top.removeById(191)));
  instance.setStoredPart(dynamic_cast<GResourceMappingList*>(top.removeById(84)));
  instance.setResourceMappings(dynamic_cast<GResourceMappingList*>(top.removeById(194)));
}

SettingsPart::SettingsPart(const PrinterModel& model) {
  setDeviceName(u"Fuzz Printer");
  std::string error;
  std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
  if (!top) {
    std::fprintf(stderr, "kernel fuzz: the builder made no printer: %s\n", error.c_str());
    std::abort();
  }
  handOverTree(*top, *this);
}

GAttributeComposite* SettingsPart::createSettings() {
  GPeripheralComposite* root = configuration();
  return root ? buildPrinterSettings(*root).release() : nullptr;
}

namespace {

void dropReport(const RWErrorBase&) {}

// The driver's trace: dropped, but a damaged block is a crash.
void readTrace(const char* text) {
  if (std::strstr(text, "Watchdog Altered")) {
    std::fprintf(stderr, "kernel fuzz: the driver's heap reports a damaged block:%s", text);
    std::abort();
  }
}

}  // namespace
}  // namespace kfuzz

namespace kfuzz {

void start() {
  if (startEngineRoot().empty()) {
    std::fprintf(stderr, "kernel fuzz: no folder for the engine's root\n");
    std::abort();
  }
  std::atexit(stopEngineRoot);
  kernelRuntimeStartup();
  kernelSetTraceHook(readTrace);
  rwSetErrorHandler(dropReport);
  gInstallPlatformNT(0x30000);
}

}  // namespace kfuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::placeArtifacts(argc, argv);
  kfuzz::start();
  return 0;
}
