// A foreign DEVMODE as an application or the spooler hands it to the
// driver: viewed, taken over by a DEVMODE object of the driver's (its
// packed settings tree inflated and restored), merged into another, and
// the taken-over one checked and packed again.
//
// The engine guarantees nothing but that the block is as long as the
// DEVMODE says (dmSize + dmDriverExtra, at least the 72 bytes that say it),
// so the input is laid into a block of exactly that length: zeros after the
// input, the input cut where the block ends. A read past it is the
// sanitizer's to see.

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/attrib.h"
#include "kernel.h"
#include "kernel/devmode.h"
#include "tools/printer/printer.h"

namespace {

// The settings part every input works on, and the tree a DEVMODE object
// carries before it takes a foreign one.
struct Printer {
  kfuzz::SettingsPart part{PrinterModel()};
  std::unique_ptr<GAttributeComposite> tree{part.createSettings()};
};

Printer& printer() {
  static Printer* made = new Printer;  // lives as long as the process
  return *made;
}

uint16_t le16(const uint8_t* data, size_t size, size_t at) {
  return at + 2 <= size ? static_cast<uint16_t>(data[at] | data[at + 1] << 8) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace DevModeLayout;
  Printer& p = printer();
  // The header as the block will hold it (zeros past a short input), and
  // from it the length the DEVMODE declares.
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header, data, std::min(size, kHeaderSize));
  const size_t length =
      std::max<size_t>(kHeaderSize, size_t{le16(header, kHeaderSize, kSize)} + le16(header, kHeaderSize, kDriverExtra));
  std::unique_ptr<uint8_t[]> block(new uint8_t[length]);
  std::memset(block.get(), 0, length);
  std::memcpy(block.get(), data, std::min(size, length));

  const GDevModeView view = GDevModeView::foreign(block.get());
  (void)view.fields();
  (void)view.field(kOrientation);
  (void)view.wideName(kDeviceName);
  (void)view.wideName(kFormName);
  (void)view.narrowName(kPrinterName8);

  GPrinterDevModeNT target(&p.part, nullptr);
  if (target.storeSettings(p.tree.get()) != 1) return 0;
  (void)target.takeFrom(block.get());
  std::unique_ptr<GAttributeComposite> taken(target.restoreSettings());
  if (taken) {
    // What was taken is the driver's own from now on: checked, and packed
    // again as the next copy out packs it.
    uint32_t mask = 0;
    (void)target.validate(target.buffer(), 1, mask);
    (void)target.storeSettings(taken.get());
  }

  GPrinterDevModeNT merged(&p.part, nullptr);
  size_t declared = 0;
  (void)merged.mergeFrom(block.get(), declared);

  // The packed area alone, as far as the DEVMODE reaches.
  if (length > kPacked) {
    std::unique_ptr<GAttributeComposite> unpacked(
        merged.unpackSettings(block.get() + kPacked, std::min(length - kPacked, kPackedCapacity)));
  }
  return 0;
}
