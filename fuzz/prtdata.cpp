// A printer's named values as another program may have left them, read
// by the driver: numbers, strings, binary data in chunks, and a stored
// object in binary data.
//
// The input is a list of values, each a name, a type and its bytes, set
// straight into the engine's printer data (so types, sizes and chunk counts
// are whatever the input says); binary data the driver itself wrote with
// putBinary is one more kind of entry, and must read back byte for byte.
// Then every name is read in every way the driver reads: as a number, a
// string, binary data into no buffer, a short one and a whole one, and as
// a stored object. Every input has a printer of its own, so that no value
// outlives it.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/discard.h"
#include "core/osfactry.h"
#include "core/perobj.h"
#include "kernel.h"
#include "kernel/prtdata.h"

namespace {

class Owner : public GDriverInstance, public GPrinterOwnerNT {
 public:
  explicit Owner(const kfuzz::StandInPrinter& printer) : handle_(printer.handle()), dataFile_(printer.dataFile()) {}
  HANDLE printerHandle() const override { return handle_; }
  RWWString printerDataFileName() const override { return dataFile_; }
  int32_t platformHookA() override { return 0; }
  GDevice* asDevice() override { return nullptr; }
  GInterfaceInstance* asInterfaceInstance() override { return nullptr; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override { return nullptr; }
  void releaseResources() override {}
  GPrinterDescription* printerDescription() override { return nullptr; }
  GAttributeComposite* defaultSettings() override { return nullptr; }

 private:
  HANDLE handle_;
  RWWString dataFile_;
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(u8()) << (8 * i);
    return v;
  }
  std::vector<uint8_t> bytes(size_t n) {
    std::vector<uint8_t> out;
    while (n-- && !done()) out.push_back(u8());
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The names the values go under: two base names, their first chunks, and
// a chunk of any number, so that a count and a last chunk far from the
// first can meet.
RWWString nameOf(Input& in) {
  const uint8_t pick = in.u8() % 8;
  static const char16_t* const fixed[] = {u"Obj", u"Obj:0", u"Obj:1", u"Obj:2", u"Blob", u"Blob:0"};
  if (pick < 6) return RWWString(fixed[pick]);
  const std::string chunk = (pick == 6 ? "Obj:" : "Blob:") + std::to_string(in.u32());
  return RWWString(chunk.c_str());
}

[[noreturn]] void fault(const char* what) {
  std::fprintf(stderr, "prtdata: %s\n", what);
  std::abort();
}

void readEveryWay(GDriverInstance& owner, GPrinterDataNT& values, const RWWString& name) {
  (void)values.getNumber(name, 7);
  RWWString text;
  (void)values.getString(text, name, RWWString(u"none"));
  uint32_t needed = 0;
  if (values.getBinary(name, nullptr, 0, needed) == 1 && needed <= (1u << 20)) {
    std::vector<uint8_t> whole(needed ? needed : 1);
    uint32_t read = 0;
    if (values.getBinary(name, whole.data(), needed, read) == 1 && read > needed) fault("a read past the room given");
    if (needed > GPrinterDataNT::kChunkSize) {
      std::vector<uint8_t> shorter(needed - GPrinterDataNT::kChunkSize - 1);
      read = 0;
      if (values.getBinary(name, shorter.data(), static_cast<uint32_t>(shorter.size()), read) == 1 &&
          read > shorter.size())
        fault("a read past a short buffer");
    }
  }
  if (GOSFactory* factory = GOSFactory::instance()) {
    MPersistentObject* object = factory->getObject(&owner, name);
    if (object) gDiscardGraph(object);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  kfuzz::StandInPrinter printer;
  Owner owner(printer);
  GPrinterDataNT values(printer.handle());
  Input in(data, size);
  std::vector<RWWString> names;
  for (int entries = 0; entries < 64 && !in.done(); ++entries) {
    RWWString name = nameOf(in);
    const uint8_t kind = in.u8();
    // A length of one byte, or of two (low first) when the kind's top bit
    // is set.
    size_t length = in.u8();
    if (kind & 0x80) length |= static_cast<size_t>(in.u8()) << 8;
    std::vector<uint8_t> bytes = in.bytes(length);
    if ((kind & 0x7F) == 0x7F) {
      // Written by the driver: it must come back as it went.
      if (values.putBinary(name, bytes.data(), static_cast<uint32_t>(bytes.size())) != 1) continue;
      std::vector<uint8_t> back(bytes.size() + GPrinterDataNT::kChunkSize);
      uint32_t read = 0;
      if (values.getBinary(name, back.data(), static_cast<uint32_t>(back.size()), read) != 1 || read != bytes.size() ||
          !std::equal(bytes.begin(), bytes.end(), back.begin()))
        fault("binary data the driver wrote does not read back");
    } else {
      // Types 1 (string), 3 (binary), 4 (number) and any other.
      const DWORD type = (kind & 0x7F) % 6;
      (void)EngSetPrinterData(printer.handle(), const_cast<LPWSTR>(name.data()), type,
                              bytes.empty() ? nullptr : bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    names.push_back(name);
  }
  for (const RWWString& name : names) readEveryWay(owner, values, name);
  return 0;
}
