#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <vector>

#include "host/engine/tests/fixture.h"

using PrinterTest = EngineTest;

namespace {

// One size-probe service: fills buf (cb bytes) and answers TRUE (or status
// 0), and the size it needs.
struct Probe {
  const char* name;
  std::function<bool(HANDLE, BYTE*, DWORD, DWORD*, DWORD& answer)> call;
  bool status;  // answers a status (234 for more data) instead of FALSE/122
};

std::vector<Probe> probes() {
  return {
      {"record", [](HANDLE h, BYTE* b, DWORD cb, DWORD* need, DWORD& a) {
         a = EngGetPrinter(h, 2, b, cb, need);
         return a != 0;
       }, false},
      {"data", [](HANDLE h, BYTE* b, DWORD cb, DWORD* need, DWORD& a) {
         DWORD type = 0;
         a = EngGetPrinterData(h, const_cast<LPWSTR>(u"Blob"), &type, b, cb, need);
         return a == 0;
       }, true},
      {"forms", [](HANDLE h, BYTE* b, DWORD cb, DWORD* need, DWORD& a) {
         DWORD count = 0;
         a = EngEnumForms(h, 1, b, cb, need, &count);
         return a != 0;
       }, false},
      {"form", [](HANDLE h, BYTE* b, DWORD cb, DWORD* need, DWORD& a) {
         a = EngGetForm(h, const_cast<LPWSTR>(u"a4"), 1, b, cb, need);
         return a != 0;
       }, false},
  };
}

bool inside(const void* p, const std::vector<BYTE>& buf, size_t cb) {
  auto* b = static_cast<const BYTE*>(p);
  return b >= buf.data() && b < buf.data() + cb;
}

}  // namespace

TEST_F(PrinterTest, SizeProbesWriteNothingUntilTheBufferHoldsEverything) {
  BYTE blob[300];
  for (size_t i = 0; i < sizeof blob; ++i) blob[i] = static_cast<BYTE>(i);
  ASSERT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(u"Blob"), REG_BINARY, blob, sizeof blob), 0u);
  for (const auto& probe : probes()) {
    SCOPED_TRACE(probe.name);
    DWORD needed = 0, answer = 0;
    EngSetLastError(0);
    EXPECT_FALSE(probe.call(printer, nullptr, 0, &needed, answer));
    EXPECT_EQ(probe.status ? answer : EngGetLastError(), probe.status ? 234u : 122u);
    ASSERT_GT(needed, 0u);
    for (DWORD cb : {needed - 1, needed}) {
      // A guard of 0xEE bytes past cb stays untouched.
      std::vector<BYTE> buf(cb + 64, 0xEE);
      DWORD again = 0;
      EngSetLastError(0);
      bool ok = probe.call(printer, buf.data(), cb, &again, answer);
      EXPECT_EQ(again, needed);
      EXPECT_EQ(ok, cb == needed);
      if (!ok) {
        EXPECT_EQ(probe.status ? answer : EngGetLastError(), probe.status ? 234u : 122u);
        EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](BYTE b) { return b == 0xEE; }));
        continue;
      }
      EXPECT_TRUE(std::all_of(buf.begin() + cb, buf.end(), [](BYTE b) { return b == 0xEE; }));
      if (std::string(probe.name) == "record") {
        auto* info = reinterpret_cast<PRINTER_INFO_2*>(buf.data());
        for (const void* p : {static_cast<const void*>(info->pPrinterName), static_cast<const void*>(info->pPortName),
                              static_cast<const void*>(info->pDriverName), static_cast<const void*>(info->pDevMode)})
          EXPECT_TRUE(inside(p, buf, cb));
        EXPECT_EQ(std::u16string(info->pPrinterName), u"Office Laser");
        EXPECT_EQ(std::u16string(info->pDriverName), u"Laser Driver");
        EXPECT_EQ(info->pDevMode[68], 220);
      } else if (std::string(probe.name) == "data") {
        EXPECT_EQ(std::memcmp(buf.data(), blob, sizeof blob), 0);
      } else {
        auto* form = reinterpret_cast<FORM_INFO_1*>(buf.data());
        EXPECT_TRUE(inside(form->pName, buf, cb));
      }
    }
  }
}

TEST_F(PrinterTest, AbsentValuesAnswerTwoAndBadWritesAreMisuse) {
  DWORD type = 0, needed = 7;
  BYTE b[4];
  EXPECT_EQ(EngGetPrinterData(printer, const_cast<LPWSTR>(u"Nothing"), &type, b, 4, &needed), 2u);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(u"Odd"), 7, b, 4), 87u);
  EXPECT_EQ(eng::misuse().size(), 1u);
  eng::knobs().failData = true;
  EXPECT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(u"Num"), REG_DWORD, b, 4), 31u);
  eng::knobs().failData = false;
  eng::knobs().failRecord = true;
  EXPECT_FALSE(EngGetPrinter(printer, 2, nullptr, 0, &needed));
  EXPECT_EQ(EngGetLastError(), 31u);
}

TEST_F(PrinterTest, ValuesOfEveryTypeReadBackInANewProcess) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE h = addPrinter();
    ULONG number = 0x12345678;
    const char16_t text[] = u"Temp";
    BYTE chunk[248] = {1, 2, 3};
    bool ok = EngSetPrinterData(h, const_cast<LPWSTR>(u"Number"), REG_DWORD, reinterpret_cast<BYTE*>(&number), 4) == 0 &&
              EngSetPrinterData(h, const_cast<LPWSTR>(u"Text"), REG_SZ, reinterpret_cast<BYTE*>(const_cast<char16_t*>(text)), 8) == 0 &&
              EngSetPrinterData(h, const_cast<LPWSTR>(u"Chunk:0"), REG_BINARY, chunk, sizeof chunk) == 0 &&
              EngSetPrinterData(h, const_cast<LPWSTR>(u"Chunk:1"), REG_BINARY, chunk, 0) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  HANDLE h = addPrinter();  // reads the file the other process wrote
  struct Want {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  } wants[] = {
      {u"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {u"Text", REG_SZ, {'T', 0, 'e', 0, 'm', 0, 'p', 0}},
      {u"Chunk:1", REG_BINARY, {}},
  };
  for (const auto& w : wants) {
    BYTE buf[256];
    DWORD type = 0, needed = 0;
    ASSERT_EQ(EngGetPrinterData(h, const_cast<LPWSTR>(w.name), &type, buf, sizeof buf, &needed), 0u);
    EXPECT_EQ(type, w.type);
    EXPECT_EQ(std::vector<BYTE>(buf, buf + needed), w.bytes);
  }
  DWORD type = 0, needed = 0;
  BYTE buf[256];
  EXPECT_EQ(EngGetPrinterData(h, const_cast<LPWSTR>(u"Chunk:0"), &type, buf, sizeof buf, &needed), 0u);
  EXPECT_EQ(needed, 248u);
  eng::removePrinter(h);
}

TEST_F(PrinterTest, AStoredValuesFileCutShortGivesNoValues) {
  ULONG number = 5;
  ASSERT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(u"N"), REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), 0u);
  FILE* f = std::fopen(dir.file("values").c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  // The record's length field made huge: the data cannot hold it.
  std::fseek(f, 4 + 2 + 4, SEEK_SET);
  const BYTE huge[4] = {0xFF, 0xFF, 0xFF, 0x7F};
  std::fwrite(huge, 1, 4, f);
  std::fclose(f);
  HANDLE h = addPrinter();
  DWORD type = 0, needed = 0;
  EXPECT_EQ(EngGetPrinterData(h, const_cast<LPWSTR>(u"N"), &type, nullptr, 0, &needed), 2u);
  eng::removePrinter(h);
}

TEST_F(PrinterTest, BuiltInFormsComeInPaperCodeOrderThenTheTestForms) {
  DWORD needed = 0, count = 0;
  (void)EngEnumForms(printer, 1, nullptr, 0, &needed, &count);  // the sizing call: fails by design
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(EngEnumForms(printer, 1, buf.data(), needed, &needed, &count));
  ASSERT_EQ(count, 42u);
  auto* forms = reinterpret_cast<FORM_INFO_1*>(buf.data());
  struct Want {
    int code;
    const char16_t* name;
    LONG cx, cy;
    DWORD flags;
  } wants[] = {
      {1, u"Letter", 215900, 279400, 1}, {5, u"Legal", 215900, 355600, 1},
      {7, u"Executive", 184150, 266700, 1}, {9, u"A4", 210000, 297000, 1},
      {11, u"A5", 148000, 210000, 1}, {20, u"Envelope #10", 104775, 241300, 1},
      {27, u"Envelope DL", 110000, 220000, 1}, {42, u"Test Form", 100000, 150000, 0},
  };
  for (const auto& w : wants) {
    const FORM_INFO_1& f = forms[w.code - 1];
    EXPECT_EQ(std::u16string(f.pName), w.name);
    EXPECT_EQ(f.Size.cx, w.cx);
    EXPECT_EQ(f.Size.cy, w.cy);
    EXPECT_EQ(f.Flags, w.flags);
  }
  EXPECT_FALSE(EngGetForm(printer, const_cast<LPWSTR>(u"No Such"), 1, buf.data(), needed, &needed));
  EXPECT_EQ(EngGetLastError(), 1902u);
}

TEST_F(PrinterTest, WritingOutsideASpoolJobFails) {
  DWORD written = 9;
  char data[] = "x";
  EXPECT_FALSE(EngWritePrinter(printer, data, 1, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(eng::misuse().size(), 1u);
  EXPECT_FALSE(EngWritePrinter(reinterpret_cast<HANDLE>(&written), data, 1, &written));
  EXPECT_EQ(eng::misuse().size(), 2u);
}

TEST_F(PrinterTest, APublicDevModeIsTheEnginesTwoHundredTwentyBytes) {
  eng::PublicDevMode dm;
  dm.deviceName = u"Laser";
  dm.orientation = 2;
  dm.paperSize = 9;
  dm.formName = u"A4";
  auto bytes = eng::publicDevMode(dm);
  ASSERT_EQ(bytes.size(), 220u);
  struct Field {
    size_t at;
    std::vector<uint8_t> want;
  } fields[] = {
      {0, {'L', 0, 'a', 0, 's', 0, 'e', 0, 'r', 0, 0, 0}},
      {64, {0x01, 0x04, 0x00, 0x00, 0xDC, 0x00, 0x00, 0x00}},  // spec version, driver version, size, extra
      {72, {0x03, 0x25, 0x01, 0x00}},                          // fields
      {76, {0x02, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x01, 0x00}},
      {90, {0x58, 0x02, 0x01, 0x00, 0x01, 0x00, 0x58, 0x02}},
      {102, {'A', 0, '4', 0, 0, 0}},
  };
  for (const auto& f : fields)
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<long>(f.at),
                                   bytes.begin() + static_cast<long>(f.at + f.want.size())),
              f.want)
        << "offset " << f.at;
}
