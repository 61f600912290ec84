// The printer table and the spooler: per printer handle its names, default
// DEVMODE, data file, named values, forms and spool jobs; and the services
// that read them.
//
// Named values are kept in a small file per printer, one record a value, all
// little-endian: the name's length in 16-bit characters (32 bits), the
// characters, the type (32 bits), the data's length (32 bits), the data.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "host/engine/internal.h"

using namespace eng::detail;

namespace {

struct Value {
  DWORD type = 0;
  std::string bytes;
};

struct Printer {
  eng::PrinterSetup setup;
  std::map<std::u16string, Value> values;
  std::vector<std::string> jobs;
  std::FILE* job = nullptr;
  DWORD nextJob = 1;
  uint64_t written = 0;
};

std::map<HANDLE, std::unique_ptr<Printer>> printers;
unsigned printerSerial = 0;

Printer* printerOf(HANDLE h, const char* service) {
  OwnMemory own;
  auto it = printers.find(h);
  if (it == printers.end()) {
    reportMisuse(std::string(service) + ": unknown printer handle");
    return nullptr;
  }
  return it->second.get();
}

void put32(std::string& out, uint32_t v) {
  OwnMemory own;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

uint32_t get32(const std::string& in, size_t at) {
  OwnMemory own;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return v;
}

void saveValues(const Printer& p) {
  OwnMemory own;
  if (p.setup.valuesFile.empty()) return;
  std::string out;
  for (const auto& [name, value] : p.values) {
    put32(out, static_cast<uint32_t>(name.size()));
    for (char16_t c : name) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    }
    put32(out, value.type);
    put32(out, static_cast<uint32_t>(value.bytes.size()));
    out += value.bytes;
  }
  std::string temp = p.setup.valuesFile + ".new";
  std::ofstream file(temp, std::ios::binary | std::ios::trunc);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file || std::rename(temp.c_str(), p.setup.valuesFile.c_str()) != 0)
    reportMisuse("printer values could not be written to " + p.setup.valuesFile);
}

// Reads the whole file or nothing: a record that runs past the end, or a
// type the table does not keep, leaves the printer without values.
void loadValues(Printer& p) {
  OwnMemory own;
  if (p.setup.valuesFile.empty()) return;
  std::ifstream file(p.setup.valuesFile, std::ios::binary);
  if (!file) return;
  std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::map<std::u16string, Value> values;
  size_t at = 0;
  while (at < in.size()) {
    if (in.size() - at < 4) return;
    uint32_t chars = get32(in, at);
    at += 4;
    if (chars > (in.size() - at) / 2) return;
    std::u16string name;
    for (uint32_t i = 0; i < chars; ++i, at += 2)
      name += static_cast<char16_t>(static_cast<unsigned char>(in[at]) |
                                    static_cast<unsigned char>(in[at + 1]) << 8);
    if (in.size() - at < 8) return;
    Value v;
    v.type = get32(in, at);
    uint32_t length = get32(in, at + 4);
    at += 8;
    if (length > in.size() - at) return;
    if (v.type != REG_SZ && v.type != REG_BINARY && v.type != REG_DWORD) return;
    v.bytes = in.substr(at, length);
    at += length;
    values[name] = v;
  }
  p.values = std::move(values);
}

// ----------------------------------------------------------- record layout

// Strings and the DEVMODE follow the record in the caller's buffer; each
// string is 2-aligned with its terminator, the DEVMODE 8-aligned.
struct Layout {
  size_t size = 0;
  size_t place(size_t bytes, size_t align) {
    size = (size + align - 1) / align * align;
    size_t at = size;
    size += bytes;
    return at;
  }
  size_t placeString(const std::u16string& s) { return place((s.size() + 1) * 2, 2); }
};

WCHAR* putString(BYTE* base, size_t at, const std::u16string& s) {
  OwnMemory own;
  auto* dest = reinterpret_cast<WCHAR*>(base + at);
  std::memcpy(dest, s.data(), s.size() * 2);
  dest[s.size()] = 0;
  return dest;
}

bool sameForm(const std::u16string& a, const std::u16string& b) {
  OwnMemory own;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? a[i] + 32 : a[i];
    char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? b[i] + 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

std::vector<std::pair<eng::Form, DWORD>> formsOf(const Printer& p) {
  OwnMemory own;
  std::vector<std::pair<eng::Form, DWORD>> all;
  const long shown = eng::knobs().builtinForms;
  for (const auto& f : eng::builtinForms()) {
    if (shown >= 0 && static_cast<long>(all.size()) >= shown) break;
    all.push_back({f, FORM_BUILTIN});
  }
  for (const auto& f : p.setup.forms) all.push_back({f, FORM_USER});
  return all;
}

size_t formLayout(const std::vector<std::pair<eng::Form, DWORD>>& forms, Layout& l,
                  std::vector<size_t>& names) {
  size_t records = l.place(forms.size() * sizeof(FORM_INFO_1), alignof(FORM_INFO_1));
  for (const auto& f : forms) names.push_back(l.placeString(f.first.name));
  return records;
}

void putForm(BYTE* base, size_t at, size_t nameAt, const std::pair<eng::Form, DWORD>& f) {
  OwnMemory own;
  FORM_INFO_1 info{};
  info.Flags = f.second;
  info.pName = putString(base, nameAt, f.first.name);
  info.Size = {f.first.width, f.first.height};
  info.ImageableArea = {0, 0, f.first.width, f.first.height};
  std::memcpy(base + at, &info, sizeof info);
}

// The size probe every record service shares: no buffer or a short one
// answers FALSE with last error 122 and the size, and writes nothing.
bool probe(BYTE* buffer, DWORD cb, size_t needed, DWORD* pcbNeeded) {
  OwnMemory own;
  *pcbNeeded = static_cast<DWORD>(needed);
  if (!buffer || cb < needed) {
    EngSetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

}  // namespace

namespace eng {

const std::vector<Form>& builtinForms() {
  OwnMemory own;
  static const std::vector<Form> forms = {
      {u"Letter", 215900, 279400},
      {u"Letter Small", 215900, 279400},
      {u"Tabloid", 279400, 431800},
      {u"Ledger", 431800, 279400},
      {u"Legal", 215900, 355600},
      {u"Statement", 139700, 215900},
      {u"Executive", 184150, 266700},
      {u"A3", 297000, 420000},
      {u"A4", 210000, 297000},
      {u"A4 Small", 210000, 297000},
      {u"A5", 148000, 210000},
      {u"B4 (JIS)", 257000, 364000},
      {u"B5 (JIS)", 182000, 257000},
      {u"Folio", 215900, 330200},
      {u"Quarto", 215000, 275000},
      {u"10x14", 254000, 355600},
      {u"11x17", 279400, 431800},
      {u"Note", 215900, 279400},
      {u"Envelope #9", 98425, 225425},
      {u"Envelope #10", 104775, 241300},
      {u"Envelope #11", 114300, 263525},
      {u"Envelope #12", 120650, 279400},
      {u"Envelope #14", 127000, 292100},
      {u"C size sheet", 431800, 558800},
      {u"D size sheet", 558800, 863600},
      {u"E size sheet", 863600, 1117600},
      {u"Envelope DL", 110000, 220000},
      {u"Envelope C5", 162000, 229000},
      {u"Envelope C3", 324000, 458000},
      {u"Envelope C4", 229000, 324000},
      {u"Envelope C6", 114000, 162000},
      {u"Envelope C65", 114000, 229000},
      {u"Envelope B4", 250000, 353000},
      {u"Envelope B5", 176000, 250000},
      {u"Envelope B6", 176000, 125000},
      {u"Envelope", 110000, 230000},
      {u"Envelope Monarch", 98425, 190500},
      {u"6 3/4 Envelope", 92075, 165100},
      {u"US Std Fanfold", 377825, 279400},
      {u"German Std Fanfold", 215900, 304800},
      {u"German Legal Fanfold", 215900, 330200},
  };
  return forms;
}

HANDLE addPrinter(const PrinterSetup& setup) {
  OwnMemory own;
  std::lock_guard guard(lock());
  auto p = std::make_unique<Printer>();
  p->setup = setup;
  loadValues(*p);
  HANDLE h = reinterpret_cast<HANDLE>(p.get());
  ++printerSerial;
  printers[h] = std::move(p);
  return h;
}

void removePrinter(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "removePrinter");
  if (!p) return;
  if (p->job) std::fclose(p->job);
  printers.erase(printer);
}

std::vector<std::string> jobFiles(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "jobFiles");
  return p ? p->jobs : std::vector<std::string>();
}

std::vector<uint8_t> publicDevMode(const PublicDevMode& dm) {
  OwnMemory own;
  std::vector<uint8_t> out(220, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>(v >> 8 & 0xFF);
  };
  auto putText = [&](size_t at, const std::u16string& s) {
    for (size_t i = 0; i < s.size() && i < 31; ++i) put16(at + 2 * i, s[i]);
  };
  putText(0, dm.deviceName);
  put16(64, 0x0401);  // dmSpecVersion
  put16(66, 0);       // dmDriverVersion: not the driver's
  put16(68, 220);     // dmSize
  put16(70, 0);       // dmDriverExtra: no private part
  for (int i = 0; i < 4; ++i) out[72 + i] = static_cast<uint8_t>(dm.fields >> (8 * i) & 0xFF);
  put16(76, static_cast<uint16_t>(dm.orientation));
  put16(78, static_cast<uint16_t>(dm.paperSize));
  put16(84, 100);  // dmScale
  put16(86, static_cast<uint16_t>(dm.copies));
  put16(88, static_cast<uint16_t>(dm.defaultSource));
  put16(90, static_cast<uint16_t>(dm.printQuality));
  put16(92, static_cast<uint16_t>(dm.color));
  put16(94, static_cast<uint16_t>(dm.duplex));
  put16(96, static_cast<uint16_t>(dm.yResolution));
  put16(100, static_cast<uint16_t>(dm.collate));
  putText(102, dm.formName);
  return out;
}

}  // namespace eng

namespace eng::detail {

bool printerKnown(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  return printers.count(printer) != 0;
}

std::u16string printerName(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "printerName");
  return p ? p->setup.printerName : std::u16string();
}

std::u16string printerPort(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "printerPort");
  return p ? p->setup.portName : std::u16string();
}

DWORD openJob(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "openJob");
  if (!p) return 0;
  if (p->job) {
    reportMisuse("a spool job is already open");
    return 0;
  }
  DWORD id = p->nextJob++;
  char name[64];
  std::snprintf(name, sizeof name, "/%05u-%05u.spl", printerSerial, id);
  std::string path = eng::spoolFolder() + name;
  p->job = std::fopen(path.c_str(), "wb");
  if (!p->job) return 0;
  p->jobs.push_back(path);
  p->written = 0;
  return id;
}

void closeJob(HANDLE printer) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(printer, "closeJob");
  if (p && p->job) {
    std::fclose(p->job);
    p->job = nullptr;
  }
}

}  // namespace eng::detail

extern "C" {

BOOL EngGetPrinter(HANDLE hPrinter, DWORD dwLevel, BYTE* pPrinter, DWORD cbBuf, DWORD* pcbNeeded) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngGetPrinter");
  if (!p) {
    EngSetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pcbNeeded) {
    reportMisuse("EngGetPrinter: no size out");
    EngSetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (dwLevel != 2) {
    EngSetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (eng::knobs().failRecord) {
    EngSetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  const auto& s = p->setup;
  Layout l;
  l.place(sizeof(PRINTER_INFO_2), alignof(PRINTER_INFO_2));
  size_t server = l.placeString(s.serverName), name = l.placeString(s.printerName),
         share = l.placeString(u""), port = l.placeString(s.portName),
         driver = l.placeString(s.driverName), comment = l.placeString(u""),
         location = l.placeString(u""), datatype = l.placeString(u"RAW");
  size_t devmode = l.place(s.devmode.size(), 8);
  if (!probe(pPrinter, cbBuf, l.size, pcbNeeded)) return FALSE;
  PRINTER_INFO_2 info{};
  info.pServerName = s.serverName.empty() ? nullptr : putString(pPrinter, server, s.serverName);
  info.pPrinterName = putString(pPrinter, name, s.printerName);
  info.pShareName = putString(pPrinter, share, u"");
  info.pPortName = putString(pPrinter, port, s.portName);
  info.pDriverName = putString(pPrinter, driver, s.driverName);
  info.pComment = putString(pPrinter, comment, u"");
  info.pLocation = putString(pPrinter, location, u"");
  info.pDatatype = putString(pPrinter, datatype, u"RAW");
  if (!s.devmode.empty()) {
    std::memcpy(pPrinter + devmode, s.devmode.data(), s.devmode.size());
    info.pDevMode = pPrinter + devmode;
  }
  info.cJobs = p->job ? 1 : 0;
  std::memcpy(pPrinter, &info, sizeof info);
  return TRUE;
}

DWORD EngGetPrinterData(HANDLE hPrinter, LPWSTR pValueName, DWORD* pType, BYTE* pData, DWORD nSize,
                        DWORD* pcbNeeded) {
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngGetPrinterData");
  if (!p) return ERROR_INVALID_HANDLE;
  if (!pValueName || !pcbNeeded) {
    reportMisuse("EngGetPrinterData: no name or no size out");
    return ERROR_INVALID_PARAMETER;
  }
  if (eng::knobs().failData) return ERROR_GEN_FAILURE;
  auto it = p->values.find(fromZ(pValueName));
  if (it == p->values.end()) {
    *pcbNeeded = 0;
    return ERROR_FILE_NOT_FOUND;
  }
  const Value& v = it->second;
  *pcbNeeded = static_cast<DWORD>(v.bytes.size());
  if (pType) *pType = v.type;
  if (v.bytes.size() > nSize || (!pData && !v.bytes.empty())) return ERROR_MORE_DATA;
  if (!v.bytes.empty()) std::memcpy(pData, v.bytes.data(), v.bytes.size());
  return ERROR_SUCCESS;
}

DWORD EngSetPrinterData(HANDLE hPrinter, LPWSTR pType, DWORD dwType, BYTE* lpbPrinterData,
                        DWORD cjPrinterData) {
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngSetPrinterData");
  if (!p) return ERROR_INVALID_HANDLE;
  if (!pType || (!lpbPrinterData && cjPrinterData) ||
      (dwType != REG_SZ && dwType != REG_BINARY && dwType != REG_DWORD)) {
    reportMisuse("EngSetPrinterData: bad name, data or type");
    return ERROR_INVALID_PARAMETER;
  }
  if (eng::knobs().failData) return ERROR_GEN_FAILURE;
  Value v;
  v.type = dwType;
  if (cjPrinterData) v.bytes.assign(reinterpret_cast<const char*>(lpbPrinterData), cjPrinterData);
  p->values[fromZ(pType)] = v;
  saveValues(*p);
  return ERROR_SUCCESS;
}

BOOL EngEnumForms(HANDLE hPrinter, DWORD dwLevel, BYTE* pForm, DWORD cbBuf, DWORD* pcbNeeded,
                  DWORD* pcReturned) {
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngEnumForms");
  if (!p) {
    EngSetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pcbNeeded || !pcReturned) {
    reportMisuse("EngEnumForms: no size or count out");
    EngSetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcReturned = 0;
  if (dwLevel != 1) {
    EngSetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (eng::knobs().failForms) {
    EngSetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  auto forms = formsOf(*p);
  Layout l;
  std::vector<size_t> names;
  size_t records = formLayout(forms, l, names);
  if (!probe(pForm, cbBuf, l.size, pcbNeeded)) return FALSE;
  for (size_t i = 0; i < forms.size(); ++i)
    putForm(pForm, records + i * sizeof(FORM_INFO_1), names[i], forms[i]);
  *pcReturned = static_cast<DWORD>(forms.size());
  return TRUE;
}

BOOL EngGetForm(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, BYTE* pForm, DWORD cbBuf,
                DWORD* pcbNeeded) {
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngGetForm");
  if (!p) {
    EngSetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pFormName || !pcbNeeded) {
    reportMisuse("EngGetForm: no name or no size out");
    EngSetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Level != 1) {
    EngSetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (eng::knobs().failForms) {
    EngSetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  std::u16string wanted = fromZ(pFormName);
  for (const auto& f : formsOf(*p)) {
    if (!sameForm(f.first.name, wanted)) continue;
    Layout l;
    std::vector<size_t> names;
    size_t record = formLayout({f}, l, names);
    if (!probe(pForm, cbBuf, l.size, pcbNeeded)) return FALSE;
    putForm(pForm, record, names[0], f);
    return TRUE;
  }
  *pcbNeeded = 0;
  EngSetLastError(ERROR_INVALID_FORM_NAME);
  return FALSE;
}

LPWSTR EngGetPrinterDataFileName(HDEV hdev) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Device* d = deviceOf(hdev, "EngGetPrinterDataFileName");
  if (!d) return nullptr;
  Printer* p = printerOf(d->printer, "EngGetPrinterDataFileName");
  return p ? const_cast<LPWSTR>(p->setup.dataFile.c_str()) : nullptr;
}

BOOL EngWritePrinter(HANDLE hPrinter, PVOID pBuf, DWORD cbBuf, DWORD* pcWritten) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Printer* p = printerOf(hPrinter, "EngWritePrinter");
  if (pcWritten) *pcWritten = 0;
  if (!p) {
    EngSetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pcWritten || (!pBuf && cbBuf)) {
    reportMisuse("EngWritePrinter: no data or no count out");
    EngSetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!p->job) {
    reportMisuse("EngWritePrinter: no spool job is open");
    EngSetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const auto& k = eng::knobs();
  if (k.failWrites) {
    EngSetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  DWORD n = cbBuf;
  if (k.shortWritesAfter >= 0 && p->written >= static_cast<uint64_t>(k.shortWritesAfter) && n > 1)
    n /= 2;
  if (n && std::fwrite(pBuf, 1, n, p->job) != n) {
    EngSetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  std::fflush(p->job);
  p->written += n;
  *pcWritten = n;
  return TRUE;
}

BOOL EngCheckAbort(SURFOBJ* pso) {
  OwnMemory own;
  if (!pso) {
    reportMisuse("EngCheckAbort: no surface");
    return FALSE;
  }
  std::lock_guard guard(lock());
  Device* d = deviceOf(pso->hdev, "EngCheckAbort");
  if (!d) return FALSE;
  int after = eng::knobs().abortAfterPage;
  return after >= 0 && d->pagesSent >= after;
}

}  // extern "C"
