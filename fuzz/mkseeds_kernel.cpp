// mkseeds_kernel: writes the seeds of the targets over the kernel driver's
// readers, from the driver's own output on the kernel build.
//
//   mkseeds_kernel FOLDER
//
// devmode: the driver's DEVMODE of the builder's printer with its packed
// settings tree, and that DEVMODE cut to its public part and to an older
// public size. prtdata: a settings tree the driver stored as an object,
// once as the driver writes it and once as the chunks the engine holds,
// beside a number and a string. vdpform: the escapes of a form defined,
// executed, deleted and defined again with a name that must be replaced.
// Each target's folder is emptied first.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/osfactry.h"
#include "kernel.h"
#include "kernel/devmode.h"
#include "kernel/prtdata.h"
#include "kernel/vdpform.h"
#include "tools/printer/printer.h"

namespace fs = std::filesystem;

namespace {

fs::path seeds;

void put(const char* target, const std::string& name, const std::string& bytes) {
  std::ofstream out(seeds / target / name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::cerr << "mkseeds_kernel: cannot write " << (seeds / target / name) << '\n';
    std::exit(1);
  }
}

std::string le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

void set16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

// ---- devmode ----------------------------------------------------------------------------

void writeDevModes(kfuzz::SettingsPart& part) {
  using namespace DevModeLayout;
  std::unique_ptr<GAttributeComposite> tree(part.createSettings());
  GPrinterDevModeNT devmode(&part, nullptr);
  if (!tree || devmode.storeSettings(tree.get()) != 1) {
    std::cerr << "mkseeds_kernel: the driver packs no settings\n";
    std::exit(1);
  }
  std::string own(kTotalSize, '\0');
  devmode.copyTo(reinterpret_cast<uint8_t*>(own.data()));
  put("devmode", "own", own);
  std::string publicPart = own.substr(0, kPublicSize);
  set16(publicPart, kDriverExtra, 0);
  put("devmode", "public", publicPart);
  // The size of an older public part, before the media and dither fields.
  std::string older = own.substr(0, 156);
  set16(older, kSize, 156);
  set16(older, kDriverExtra, 0);
  put("devmode", "older", older);
}

// ---- prtdata ----------------------------------------------------------------------------

// An entry of the target's program: a name by its number in the target's
// table, the kind, a 16-bit length, the bytes.
std::string entry(uint8_t name, uint8_t kind, const std::string& bytes) {
  return std::string{static_cast<char>(name), static_cast<char>(kind | 0x80)} + le16(static_cast<uint16_t>(bytes.size())) +
         bytes;
}

void writeValues(kfuzz::SettingsPart& part) {
  std::unique_ptr<GAttributeComposite> tree(part.createSettings());
  const RWWString name(u"Obj");
  GOSFactory* factory = GOSFactory::instance();
  if (!tree || !factory || factory->putObject(&part, name, tree.get()) != 1) {
    std::cerr << "mkseeds_kernel: the driver stores no object\n";
    std::exit(1);
  }
  GPrinterDataNT values(kfuzz::printer().handle());
  uint32_t size = 0;
  (void)values.getBinary(name, nullptr, 0, size);
  std::string stored(size, '\0');
  uint32_t read = 0;
  if (values.getBinary(name, stored.data(), size, read) != 1) {
    std::cerr << "mkseeds_kernel: the stored object does not read back\n";
    std::exit(1);
  }
  stored.resize(read);
  // Written by the driver (kind 0x7F) under "Obj".
  put("prtdata", "object", entry(0, 0x7F, stored));
  // The same as the engine holds it: the count, then the chunks "Obj:0",
  // "Obj:1" ... (the last ones by number), and a number and a string.
  const uint32_t count = static_cast<uint32_t>(stored.size() / GPrinterDataNT::kChunkSize + 1);
  std::string chunks = entry(0, 4, std::string{static_cast<char>(count), static_cast<char>(count >> 8), 0, 0});
  for (uint32_t i = 0; i < count; ++i) {
    const std::string chunk = stored.substr(i * GPrinterDataNT::kChunkSize, GPrinterDataNT::kChunkSize);
    if (i < 3) {
      chunks += entry(static_cast<uint8_t>(1 + i), 3, chunk);
    } else {
      // Name 6: "Obj:" and the number that follows.
      chunks += std::string{6, static_cast<char>(i), static_cast<char>(i >> 8), 0, 0, static_cast<char>(3 | 0x80)} +
                le16(static_cast<uint16_t>(chunk.size())) + chunk;
    }
  }
  chunks += entry(4, 4, std::string("\x07\x00\x00\x00", 4));
  chunks += entry(5, 1, std::string("T\0e\0x\0t\0", 8));
  put("prtdata", "chunks", chunks);
}

// ---- vdpform ----------------------------------------------------------------------------

std::string formRecord(const std::string& name) {
  std::string r(VdpFormRecord::kSize, '\0');
  set16(r, VdpFormRecord::kMarkerOffset, VdpFormRecord::kMarker);
  std::memcpy(r.data() + VdpFormRecord::kName, name.data(), std::min<size_t>(name.size(), 33));
  set16(r, VdpFormRecord::kIntent, 1);
  const uint16_t box[] = {0, 0, 612, 792};
  for (int i = 0; i < 4; ++i) set16(r, VdpFormRecord::kBox + 2 * i, box[i]);
  const float matrix[] = {1, 0, 0, 1, 72.5f, -10};
  for (int i = 0; i < 6; ++i) std::memcpy(r.data() + VdpFormRecord::kMatrix + 4 * i, &matrix[i], 4);
  return r;
}

// The operations of the target: begin 0, end 1, execute 2, delete 3,
// capabilities 4; a record is its shape byte (0: 76 bytes) and its bytes,
// an output its size byte (0: 76 bytes).
void writeForms() {
  const std::string logo = formRecord("Logo");
  std::string defineAndUse = std::string(1, 4) + '\0';
  defineAndUse += std::string(1, 0) + '\0' + logo;
  defineAndUse += std::string(1, 1) + '\0' + logo + '\0';
  defineAndUse += std::string(1, 2) + '\0' + logo;
  defineAndUse += std::string(1, 3) + '\0' + logo;
  put("vdpform", "define-execute-delete", defineAndUse);
  // A name with a slash and one of 33 bytes: both replaced by generated
  // names; the second definition left open at the end.
  std::string replaced = std::string(1, 0) + '\0' + formRecord("a/b");
  replaced += std::string(1, 1) + '\0' + formRecord("a/b") + '\0';
  replaced += std::string(1, 0) + '\0' + formRecord(std::string(33, 'N'));
  put("vdpform", "names-replaced", replaced);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: mkseeds_kernel FOLDER\n";
    return 1;
  }
  seeds = fs::absolute(argv[1]);
  for (const char* target : {"devmode", "prtdata", "vdpform"}) {
    fs::remove_all(seeds / target);
    fs::create_directories(seeds / target);
  }
  kfuzz::start();
  {
    kfuzz::SettingsPart part{PrinterModel()};
    writeDevModes(part);
    writeValues(part);
  }
  writeForms();
  return 0;
}
