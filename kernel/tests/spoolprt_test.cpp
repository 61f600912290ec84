// The spooler output port against the engine stand-in: what each kind of
// answer from the spooler's write becomes, and when the port takes data.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/outport.h"
#include "host/engine/engine.h"
#include "host/engine/internal.h"
#include "kernel/osfactnt.h"
#include "kernel/spoolprt.h"
#include "kernel/tests/printerfix.h"
#include "testkit/files.h"

namespace {

class SpoolerPort : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    ASSERT_NE(printer, nullptr);
    ASSERT_NE(eng::detail::openJob(printer), 0u);
  }
  void TearDown() override {
    eng::detail::closeJob(printer);
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }

  // What the spooler's job holds so far.
  std::string job() const {
    const std::vector<std::string> files = eng::jobFiles(printer);
    return files.empty() ? std::string() : fileContents(files.back());
  }

  StandInPrinter standIn;
  HANDLE printer = standIn.handle;
};

TEST_F(SpoolerPort, WriteAnswersWhatTheSpoolerDid) {
  const std::string data = "0123456789";
  struct Case {
    const char* name;
    bool withPrinter;
    long shortWritesAfter;
    bool failWrites;
    uint32_t length;
    uint16_t status;
    uint32_t count;
  } cases[] = {
      {"every byte taken", true, -1, false, 10, 0, 10},
      {"half taken", true, 0, false, 10, 5, 5},
      {"write refused", true, -1, true, 10, 5, 0},
      {"nothing offered", true, -1, false, 0, 0, 0},
      {"no printer", false, -1, false, 10, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    eng::knobs().shortWritesAfter = c.shortWritesAfter;
    eng::knobs().failWrites = c.failWrites;
    const std::string before = job();
    GSpoolerOutputPortNT port(c.withPrinter ? printer : nullptr, RWWString(u"LPT1:"));
    uint32_t count = 0xDEAD;
    EXPECT_EQ(port.write(data.data(), c.length, count), c.status);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(job(), before + data.substr(0, c.count)) << "no retry after a short write";
    EXPECT_EQ(port.isStarted(), 0) << "the port's state is the caller's to change";
    EXPECT_EQ(port.open(), 1);
  }
}

TEST_F(SpoolerPort, OpenUnlessAborted) {
  for (HANDLE handle : {printer, HANDLE(nullptr)}) {
    GSpoolerOutputPortNT port(handle, RWWString(u"LPT1:"));
    EXPECT_EQ(port.open(), 1) << "idle";
    ASSERT_EQ(port.startJob(RWWString(u"job"), 0), 0);
    EXPECT_EQ(port.open(), 1) << "in a job";
    EXPECT_EQ(port.abort(), 0);
    EXPECT_EQ(port.open(), 0) << "aborted";
  }
}

// The way every job reaches the spooler: the registry asks the provider,
// the provider the installed platform, which makes a port on the owner's
// printer; the output-port base frames the job.
TEST_F(SpoolerPort, ThroughTheRegistryAJobReachesThePrintersSpoolFile) {
  ASSERT_NE(gInstallPlatformNT(0x20000), nullptr);
  GSpoolerProvider provider;
  GOutputPortProviderRegistry& registry = GOutputPortProviderRegistry::instance();
  ASSERT_EQ(registry.add(&provider, "Basic Spooler"), 0);
  TestOwner owner(standIn);
  {
    std::unique_ptr<GOutputPort> port(registry.createPort(&owner, RWWString(u"LPT1:"), 0));
    ASSERT_NE(dynamic_cast<GSpoolerOutputPortNT*>(port.get()), nullptr);
    EXPECT_EQ(static_cast<GSpoolerOutputPortNT*>(port.get())->printer(), printer);
    EXPECT_EQ(port->startJob(RWWString(u"Quarterly"), 1), 0);
    uint32_t written = 0;
    EXPECT_EQ(port->write("page", 4, written), 0);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(port->endJob(), 0);
  }
  registry.remove("Basic Spooler");
  gRemovePlatformNT();

  const std::string uel = "\x1b%-12345X";
  EXPECT_EQ(job(), uel + "@PJL JOB NAME=\"Quarterly\"\r\n" + "page" + uel + "@PJL EOJ NAME=\"Quarterly\"\r\n" + uel);
}

}  // namespace
