#ifndef HOST_ENGINE_TESTS_FIXTURE_H
#define HOST_ENGINE_TESTS_FIXTURE_H

// The engine's tests: a fresh root under a temporary folder and one printer,
// and a check at the end that nothing the engine handed out is left.

#include <gtest/gtest.h>

#include <string>

#include "host/engine/engine.h"
#include "testkit/tmpdir.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    eng::setRoot(dir.path());
    printer = addPrinter();
  }

  void TearDown() override {
    eng::removePrinter(printer);
    EXPECT_EQ(eng::live(), eng::Live());
    eng::reset();
  }

  HANDLE addPrinter() {
    eng::PrinterSetup setup;
    setup.printerName = u"Office Laser";
    setup.driverName = u"Laser Driver";
    setup.portName = u"LPT1:";
    setup.dataFile = u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\laser.cfg";
    setup.devmode = eng::publicDevMode({});
    setup.forms = {{u"Test Form", 100000, 150000}};
    setup.valuesFile = dir.file("values");
    return eng::addPrinter(setup);
  }

  TempDir dir;
  HANDLE printer = nullptr;
};

#endif
