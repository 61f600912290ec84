// The printer's named values on the engine stand-in.

#include <gtest/gtest.h>

#include "kernel/prtdata.h"
#include "kernel/tests/printerfix.h"

namespace {

TEST(PrinterOwner, OnlyAnOwnerLeadsToItsPrinter) {
  StandInPrinter printer;
  TestOwner owner(printer);
  NotAnOwner other;
  GDriverInstance* instance = &owner;
  ASSERT_EQ(GPrinterOwnerNT::of(instance), static_cast<GPrinterOwnerNT*>(&owner));
  EXPECT_EQ(GPrinterOwnerNT::of(instance)->printerHandle(), printer.handle);
  EXPECT_EQ(GPrinterOwnerNT::of(&other), nullptr);
  EXPECT_EQ(GPrinterOwnerNT::of(nullptr), nullptr);
}

}  // namespace
