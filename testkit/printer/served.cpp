#include "testkit/printer/served.h"

#include <sstream>
#include <utility>

#include "core/attrib.h"
#include "core/valattr.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "device/printer.h"
#include "host/win32/install.h"
#include "tools/printer/mkprint.h"
#include "tools/printer/platform.h"

ServedXLPrinter::ServedXLPrinter(PortMaker spoolerPort) : ServedXLPrinter({}, std::move(spoolerPort)) {}

ServedXLPrinter::ServedXLPrinter(const std::vector<std::string>& mkprinterArguments, PortMaker spoolerPort)
    : data_(dir_.file("xl.dat")) {
  if (!dir_.ok()) {
    error_ = "no temporary folder";
    return;
  }
  std::vector<std::string> arguments = {"--language", "PCLXL"};
  arguments.insert(arguments.end(), mkprinterArguments.begin(), mkprinterArguments.end());
  arguments.insert(arguments.end(), {"-o", data_});
  std::ostringstream err;
  if (runMkprinter(arguments, err) != kMkprinterWritten) {
    error_ = "mkprinter: " + err.str();
    return;
  }
  HostOptions options;
  options.makers = printerMakers();
  if (spoolerPort) options.makers.spoolerPort = std::move(spoolerPort);
  installHostPlatform(options);
  installed_ = true;
  // A job's port is asked for with the job's device, so that the spooler
  // port maker is the one that makes it.
  previousInstanceOf_ = gSetDeviceInstanceOf([](GDevice* device) -> GDriverInstance* { return device; });
  GDriverServer::create();
  server_ = GDriverServer::instance();
  if (!server_) error_ = "no driver server";
}

ServedXLPrinter::~ServedXLPrinter() {
  if (!installed_) return;
  delete GDriverServer::instance();
  removeHostPlatform();
  gSetDeviceInstanceOf(previousInstanceOf_);
}

GDevice* ServedXLPrinter::registerDevice(const RWWString& printerName, uint32_t& handle) {
  if (!server_) return nullptr;
  return server_->registerDevice(new HostPrinterDescription(printerName, RWWString(data_.c_str())), handle);
}

bool selectMediaAndSource(GDevice& device, int16_t mediaId, int16_t paperSource) {
  if (!device.settings()) device.setSettings(device.createSettings());
  GAttributeComposite* settings = device.settings();
  if (!settings) return false;
  auto* document = dynamic_cast<GAttributeComposite*>(settings->findById(AttrId::DocumentSettings));
  auto* options = dynamic_cast<GAttributeComposite*>(settings->findById(AttrId::JobOptions));
  if (!document || !options) return false;
  delete document->removeById(AttrId::Paper);
  document->insert(new GValueAttribute(mediaId, AttrId::Paper));
  delete options->removeById(AttrId::PaperSource);
  options->insert(new GValueAttribute(paperSource, AttrId::PaperSource));
  return true;
}
