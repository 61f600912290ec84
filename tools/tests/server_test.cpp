// A printer's data file, as mkprinter writes it, served by the driver
// server to a device of the user-mode platform, and jobs sent through the
// device into the port file.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <sys/stat.h>

#include "core/outport.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "host/win32/install.h"
#include "host/win32/osfactory.h"
#include "journal/ctlcmds.h"
#include "testkit/core/stage.h"
#include "testkit/device/generator.h"
#include "testkit/files.h"
#include "testkit/printer/built.h"
#include "testkit/tmpdir.h"
#include "tools/printer/platform.h"

namespace {

const unsigned char kBytes[] = {0x1B, 'Z', 0x00};

// The platform installed with the printer makers, a data file written by
// the builder, and a driver server; all taken down again.
class ServedPrinter : public ::testing::Test {
 protected:
  void install(bool providers) {
    std::string error;
    ASSERT_TRUE(writePrinterTree(*builtTree(), data_, error)) << error;
    HostOptions options;
    options.makers = printerMakers();
    if (!providers) {
      options.registerProviders = [] {};
      options.unregisterProviders = [] {};
    }
    installHostPlatform(options);
    GDriverServer::create();
    server_ = GDriverServer::instance();
    ASSERT_NE(server_, nullptr);
  }
  void SetUp() override { install(true); }
  void TearDown() override {
    delete GDriverServer::instance();
    removeHostPlatform();
  }

  HostPrinterDescription* description(const char16_t* printer = u"Printer") {
    return new HostPrinterDescription(RWWString(printer), RWWString(data_.c_str()));
  }
  TestGenerator* generatorOf(GDevice* device) { return dynamic_cast<TestGenerator*>(device->pdlGenerator()); }

  // A document of one page holding the three bytes for the generator; the
  // first status that is not 0.
  [[nodiscard]] GStatus printJob(GDevice& device, const std::string& output) {
    device.setDocumentName(RWWString(u"doc"));
    device.setOutputName(RWWString(output.c_str()));
    device.setDocumentPending(1);
    GStatus status = device.startDocument();
    if (status) return status;
    device.setPagePending(1);
    status = device.makePassThrough(kBytes, 3, TestKitClassId::TestGenerator, 0, 0, 1);
    if (status) return status;
    if ((status = device.send(device.makePageEnd()))) return status;
    status = device.send(device.makeDocumentEnd());
    device.endDocument();
    return status;
  }

  std::string expectedJob(TestGenerator& generator) {
    return "\x1b%-12345X@PJL JOB NAME=\"doc\"\r\n@PJL SET PAPER=LETTER\r\n"
           "@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=PCLXL\r\n" +
           generator.marker("onDocumentStart") + generator.marker("onPageStart") +
           generator.marker("onPassThrough") + std::string("\x1bZ\0", 3) + generator.marker("onPageEnd") +
           generator.marker("onDocumentEnd") + "\x1b%-12345X@PJL EOJ NAME=\"doc\"\r\n\x1b%-12345X";
  }

  TempDir dir_;
  std::string data_ = dir_.file("printer.dat");
  GDriverServer* server_ = nullptr;
};

TEST_F(ServedPrinter, ADocumentComesOutFramedInThePortFile) {
  uint32_t handle = 0;
  GDevice* device = server_->registerDevice(description(), handle);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(server_->findDevice(handle), device);
  TestGenerator* generator = generatorOf(device);
  ASSERT_NE(generator, nullptr);

  const std::string output = dir_.file("job.prn");
  EXPECT_EQ(printJob(*device, output), 0);
  EXPECT_EQ(fileContents(output), expectedJob(*generator));
  server_->removeDevice(handle);
}

TEST_F(ServedPrinter, EveryJobCarriesItsLanguageOnOneDeviceAndAfterReuse) {
  uint32_t handle = 0;
  GDevice* device = server_->registerDevice(description(), handle);
  ASSERT_NE(device, nullptr);
  const std::string outputs[] = {dir_.file("one.prn"), dir_.file("two.prn"), dir_.file("three.prn")};
  EXPECT_EQ(printJob(*device, outputs[0]), 0);
  EXPECT_EQ(printJob(*device, outputs[1]), 0);
  server_->removeDevice(handle);

  // The same printer comes back from the cache, its data file gone.
  std::remove(data_.c_str());
  GDevice* again = server_->registerDevice(description(), handle);
  ASSERT_EQ(again, device);
  EXPECT_EQ(printJob(*again, outputs[2]), 0);
  for (const std::string& output : outputs) {
    EXPECT_EQ(fileContents(output), expectedJob(*generatorOf(again))) << output;
  }
  server_->removeDevice(handle);
}

TEST_F(ServedPrinter, APortThatCannotBeHadAbortsTheJob) {
  const struct {
    const char* name;
    bool providers;
    std::string output;
    GStatus status;
  } cases[] = {
      {"no port provider", false, dir_.file("job.prn"), 601},
      // The file port's answer when it cannot create its file.
      {"an unwritable path", true, dir_.file("missing/job.prn"), 1},
  };
  for (const auto& c : cases) {
    TearDown();
    install(c.providers);
    uint32_t handle = 0;
    GDevice* device = server_->registerDevice(description(), handle);
    ASSERT_NE(device, nullptr) << c.name;
    TestGenerator* generator = generatorOf(device);
    ASSERT_NE(generator, nullptr);
    device->setDocumentName(RWWString(u"doc"));
    device->setOutputName(RWWString(c.output.c_str()));
    device->setDocumentPending(1);
    const GStatus status = device->startDocument();
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(device->state(), 3u) << c.name;
    int aborts = 0;
    for (const std::string& seen : generator->seen()) aborts += seen == "onJobAbort";
    EXPECT_EQ(aborts, 1) << c.name;
    struct stat st;
    EXPECT_NE(stat(c.output.c_str(), &st), 0) << c.name << ": no file";
    server_->removeDevice(handle);
  }
}

}  // namespace
