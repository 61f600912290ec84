#include "kernel/descnt.h"

#include <cstring>
#include <memory>
#include <typeinfo>

#include "kernel/runtime.h"

namespace {

struct HeapBlockFree {
  void operator()(uint8_t* block) const { kernelHeapFree(block); }
};
using HeapBlock = std::unique_ptr<uint8_t, HeapBlockFree>;

}  // namespace

bool gRecordString(const uint8_t* block, size_t size, const WCHAR* field, RWWString& out) {
  if (!block || !field) return false;
  // Compared as addresses: a pointer outside the block may not even be
  // formed from it.
  const uintptr_t begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t at = reinterpret_cast<uintptr_t>(field);
  if (at < begin || at - begin >= size) return false;
  const size_t offset = at - begin;
  if (offset % sizeof(WCHAR) != 0) return false;
  const auto* text = reinterpret_cast<const WCHAR*>(block + offset);
  const size_t units = (size - offset) / sizeof(WCHAR);
  for (size_t n = 0; n < units; ++n) {
    if (text[n] == 0) {
      out = RWWString(text, static_cast<RWsize>(n));
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- printer description

GPrinterDescriptionNT::GPrinterDescriptionNT() = default;

GPrinterDescriptionNT::GPrinterDescriptionNT(HANDLE printer, const RWWString& deviceName)
    : printer_(printer), deviceName_(deviceName) {
  if (printer_) readPrinterRecord();
}

GPrinterDescriptionNT::GPrinterDescriptionNT(HANDLE printer, const RWWString& deviceName,
                                             const RWWString& modelName, const RWWString& portName)
    : printer_(printer), deviceName_(deviceName), modelName_(modelName), portName_(portName) {}

GPrinterDescriptionNT::~GPrinterDescriptionNT() = default;

// Asked twice: once for the size (a refusal for want of room, 122, names it
// too), once into a block of that size. Any other failure, a size too small
// for the record or no block leaves the names as they are.
void GPrinterDescriptionNT::readPrinterRecord() {
  DWORD needed = 0;
  if (!EngGetPrinter(printer_, 2, nullptr, 0, &needed) && EngGetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
  if (needed < sizeof(PRINTER_INFO_2)) return;
  HeapBlock block(static_cast<uint8_t*>(kernelHeapAlloc(needed)));
  if (!block) return;
  DWORD filled = 0;
  if (!EngGetPrinter(printer_, 2, block.get(), needed, &filled)) return;
  // Strings are read within what the engine says it filled, and never past
  // the block whatever it says.
  const size_t size = filled < sizeof(PRINTER_INFO_2) || filled > needed ? needed : filled;

  PRINTER_INFO_2 record;
  std::memcpy(&record, block.get(), sizeof record);
  // The spooler's name wins over the one given, which may be empty or an
  // alias of the printer.
  gRecordString(block.get(), size, record.pPrinterName, deviceName_);
  gRecordString(block.get(), size, record.pDriverName, modelName_);
  gRecordString(block.get(), size, record.pPortName, portName_);
}

bool GPrinterDescriptionNT::equals(const GPrinterDescription& other) const {
  // A device description is never equal to a plain printer description
  // with the same names, in either order.
  if (typeid(other) != typeid(*this)) return false;
  const auto& o = static_cast<const GPrinterDescriptionNT&>(other);
  return printer_ == o.printer_ && deviceName_ == o.deviceName_ && modelName_ == o.modelName_ &&
         portName_ == o.portName_;
}

bool GPrinterDescriptionNT::sameModel(const GPrinterDescription& other) const {
  const auto* o = dynamic_cast<const GPrinterDescriptionNT*>(&other);
  return o && modelName_ == o->modelName_;
}

// ---------------------------------------------------------------- device description

GDeviceDescriptionNT::GDeviceDescriptionNT() = default;

GDeviceDescriptionNT::GDeviceDescriptionNT(HANDLE printer, const RWWString& deviceName, HDEV engineDevice)
    : GPrinterDescriptionNT(printer, deviceName), engineDevice_(engineDevice) {}

GDeviceDescriptionNT::GDeviceDescriptionNT(HANDLE printer, const RWWString& deviceName,
                                           const RWWString& modelName, const RWWString& portName,
                                           HDEV engineDevice)
    : GPrinterDescriptionNT(printer, deviceName, modelName, portName), engineDevice_(engineDevice) {}

GDeviceDescriptionNT::~GDeviceDescriptionNT() = default;

bool GDeviceDescriptionNT::equals(const GPrinterDescription& other) const {
  // The base has checked that other is of this class.
  return GPrinterDescriptionNT::equals(other) &&
         static_cast<const GDeviceDescriptionNT&>(other).engineDevice_ == engineDevice_;
}
