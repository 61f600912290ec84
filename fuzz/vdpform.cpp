// The variable-data form escapes as an application may call them: form
// records of any size and content (names of every byte, unterminated
// ones, names generated, matrices of every single-precision value), output
// buffers of any size, in any order, on a printer that keeps forms on its
// disk.
//
// The input is a program of one-byte operations, each followed by its
// operands. A record is mostly given its marker, so that the escapes read
// past their first check. Whatever the table sends goes to a generator of
// the PostScript kind that keeps the texts; every text must be one a
// PostScript interpreter reads as the table means it: the form's name, as
// the table writes it into a text, holds only the characters a name may.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/classids.h"
#include "core/outport.h"
#include "core/perclass.h"
#include "device/pericomp.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "kernel.h"
#include "kernel/runtime.h"
#include "kernel/vdpform.h"
#include "pdl/pdlgen.h"
#include "testkit/core/ids.h"
#include "testkit/device/testdevice.h"
#include "tools/printer/printer.h"

// A generator that counts as PostScript and keeps the texts the table
// sends it.
class FuzzFormGenerator : public GPDLGenerator {
  G_PERSISTENT_CLASS(FuzzFormGenerator)

 public:
  FuzzFormGenerator() : GPDLGenerator("POSTSCRIPT", nullptr, nullptr, 101) {}

  static RWClassID classIsA() { return TestKitClassId::FuzzFormGenerator; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override {
    return id == classIsA() || id == ClassId::GPostScript || GPDLGenerator::isKindOf(id);
  }
  uint32_t processingFlags() override { return 0; }

  void removeFont(const RWCString&) override {}
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint*) override { return 0; }
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart*) override { return 0; }
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand* command) override {
    texts.emplace_back(reinterpret_cast<const char*>(command->data()), command->length());
    return 0;
  }
  [[nodiscard]] GStatus onDownloadHeader(GDownloadHeaderCommand*) override { return 0; }

  std::vector<std::string> texts;
};

G_DEFINE_PERSISTENT(FuzzFormGenerator, GPDLGenerator)

RWspace FuzzFormGenerator::levelStoreSize() const { return 0; }
template <class Sink>
void FuzzFormGenerator::saveLevel(Sink&) const {}
template <class Source>
void FuzzFormGenerator::restoreLevel(Source&) {}

namespace {

PrinterModel formModel() {
  PrinterModel model;
  model.language = "POSTSCRIPT";
  model.generatorClass = "FuzzFormGenerator";
  model.diskForms = true;
  return model;
}

// A device over the printer, its document started.
class FormDevice : public TestDevice {
 public:
  FormDevice() : TestDevice([this] { return built(); }) {
    setDefaultSettings([this] { return built(); });
    std::string error;
    std::unique_ptr<GAttributeComposite> top = buildPrinterTree(formModel(), error);
    if (!top) {
      std::fprintf(stderr, "vdpform: the builder made no printer: %s\n", error.c_str());
      std::abort();
    }
    kfuzz::handOverTree(*top, *this);
    beginJob();
    (void)send(makeDocumentStart(RWWString(u"doc"), RWWString(u"null")));
  }
  FuzzFormGenerator* generator() { return dynamic_cast<FuzzFormGenerator*>(pdlGenerator()); }

 private:
  GAttributeComposite* built() {
    GPeripheralComposite* root = configuration();
    return root ? buildPrinterSettings(*root).release() : nullptr;
  }
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }

  // A record: its size from a table of the sizes that matter, its bytes
  // from the input, its marker set unless the input says otherwise.
  std::vector<uint8_t> record() {
    static const size_t sizes[] = {76, 76, 76, 77, 100, 75, 37, 0};
    const uint8_t shape = u8();
    std::vector<uint8_t> r(sizes[shape % std::size(sizes)]);
    for (uint8_t& b : r) b = u8();
    if (!(shape & 0x80) && r.size() >= 2) {
      r[0] = 76;
      r[1] = 0;
    }
    return r;
  }
  size_t outputSize() {
    static const size_t sizes[] = {76, 76, 2, 1, 0, 75, 200};
    return sizes[u8() % std::size(sizes)];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

[[noreturn]] void fault(const std::string& what) {
  std::fprintf(stderr, "vdpform: %s\n", what.c_str());
  std::abort();
}

// The names the texts give after "%disk0%QX_VDP1.0/", up to ".ps)": each
// of one to 32 characters a name may hold.
void checkTexts(const std::vector<std::string>& texts) {
  static const std::string folder = "%disk0%QX_VDP1.0/";
  for (const std::string& text : texts) {
    for (size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at + 1)) {
      const size_t start = at + folder.size();
      const size_t end = text.find(".ps)", start);
      if (end == std::string::npos) fault("a form's file name is not closed: " + text);
      const std::string name = text.substr(start, end - start);
      if (name.empty() || name.size() > 32) fault("a form's name of " + std::to_string(name.size()) + " bytes");
      for (unsigned char c : name)
        if (c < 0x21 || c > 0x7E || std::strchr("()<>[]{}/%\\", c)) fault("a form's name holds a byte it may not");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  FormDevice device;
  FuzzFormGenerator* generator = device.generator();
  if (!generator) fault("the printer has no form generator");
  {
    GFormTableNT table(device);
    Input in(data, size);
    for (int steps = 0; steps < 256 && !in.done(); ++steps) {
      switch (in.u8() % 9) {
        case 0: {
          const std::vector<uint8_t> r = in.record();
          (void)table.beginForm(r.empty() ? nullptr : r.data(), r.size());
          break;
        }
        case 1: {
          const std::vector<uint8_t> r = in.record();
          std::vector<uint8_t> out(in.outputSize());
          const uint16_t ended = table.endForm(r.empty() ? nullptr : r.data(), r.size(),
                                               out.empty() ? nullptr : out.data(), out.size());
          if (table.definitionOpen()) fault("a definition is still open after its end");
          if (ended == 1 && (out.size() < VdpFormRecord::kSize || out[0] != VdpFormRecord::kMarker))
            fault("an end accepted without a whole output record");
          break;
        }
        case 2: {
          const std::vector<uint8_t> r = in.record();
          (void)table.executeForm(r.empty() ? nullptr : r.data(), r.size());
          break;
        }
        case 3: {
          const std::vector<uint8_t> r = in.record();
          (void)table.deleteForm(r.empty() ? nullptr : r.data(), r.size());
          break;
        }
        case 4: {
          std::vector<uint8_t> out(in.outputSize());
          (void)table.formCapabilities(out.empty() ? nullptr : out.data(), out.size());
          break;
        }
        case 5: {
          std::vector<uint8_t> name(in.outputSize() / 2 + 1);
          for (uint8_t& b : name) b = in.u8();
          (void)table.checkFormName(name.data(), name.size());
          break;
        }
        case 6: (void)table.closeOpenDefinition(); break;
        case 7: table.reset(); break;
        default: {
          uint32_t bits = 0;
          for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in.u8()) << (8 * i);
          if (char* text = GFormTableNT::realToText(GReal::fromSingleBits(bits))) kernelHeapFree(text);
          break;
        }
      }
    }
    (void)table.closeOpenDefinition();
  }
  checkTexts(generator->texts);
  return 0;
}
