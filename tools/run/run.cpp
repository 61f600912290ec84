#include "tools/run/run.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <system_error>

#include "core/attrib.h"
#include "host/engine/engine.h"
#include "rw/pstream.h"
#include "tools/printer/printer.h"
#include "tools/run/document.h"

namespace fs = std::filesystem;

namespace {

#ifdef PRINTRUN_DRIVER
const char kDefaultDriver[] = PRINTRUN_DRIVER;
#else
const char kDefaultDriver[] = "";
#endif

const char kUsage[] =
    "usage: printrun -o JOB [--driver SO] [--config DATAFILE] [--set FIELD=VALUE]... DOCUMENT\n"
    "       printrun --help\n";

const char kOptions[] =
    "Plays DOCUMENT through a printer driver as the graphics engine would, and\n"
    "writes the job the driver spooled to JOB.\n"
    "\n"
    "  -o JOB             the job file; it is replaced only when the run succeeds\n"
    "  --driver SO        the driver image; by default the one built with printrun\n"
    "  --config DATAFILE  the printer's data file; by default one the printer\n"
    "                     configuration builder writes for a PCL XL printer\n"
    "  --set FIELD=VALUE  a DEVMODE field for the job (FIELDS below), on top of the\n"
    "                     document's; as often as needed\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 the job was written; 2 a usage error or a bad document line\n"
    "(named as FILE:LINE: problem); 1 the run failed: the driver could not be\n"
    "loaded or refused, an entry failed (named with its last error), or the\n"
    "driver misused the engine.\n"
    "\n";

const char16_t kPrinterName[] = u"Runner Printer";
const char16_t kDriverName[] = u"Runner Driver";
const char16_t kPortName[] = u"LPT1:";
const char kDataFileName[] = "printrun.dat";

struct Options {
  std::string job;
  std::string driver = kDefaultDriver;
  std::string config;
  std::string document;
  DevModeFields set;
  bool help = false;
};

int usage(std::ostream& err, const std::string& cause) {
  err << "printrun: " << cause << "\n" << kUsage;
  return kPrintrunUsage;
}

int failure(std::ostream& err, const std::string& cause) {
  err << "printrun: " << cause << "\n";
  return kPrintrunFailed;
}

// The options, or a usage error's cause.
std::string readOptions(const std::vector<std::string>& args, Options& o) {
  bool driverGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    const bool valued = arg == "-o" || arg == "--driver" || arg == "--config" || arg == "--set";
    if (!valued) {
      if (arg.size() > 1 && arg[0] == '-') return "unknown option \"" + arg + "\"";
      if (!o.document.empty()) return "more than one DOCUMENT: \"" + o.document + "\" and \"" + arg + "\"";
      if (arg.empty()) return "an empty DOCUMENT";
      o.document = arg;
      continue;
    }
    if (i + 1 >= args.size()) return "option \"" + arg + "\" needs a value";
    const std::string& value = args[++i];
    if (arg == "--set") {
      std::string problem = setDevModeField(value, o.set);
      if (!problem.empty()) return "--set: " + problem;
      continue;
    }
    if (value.empty()) return "option \"" + arg + "\" needs a value";
    std::string& target = arg == "-o" ? o.job : arg == "--driver" ? o.driver : o.config;
    if ((arg == "--driver" && driverGiven) || (arg != "--driver" && !target.empty()))
      return "option \"" + arg + "\" given twice";
    if (arg == "--driver") driverGiven = true;
    target = value;
  }
  if (o.help) return std::string();
  if (o.job.empty()) return "no -o JOB";
  if (o.document.empty()) return "no DOCUMENT";
  return std::string();
}

// The document's text: a sample's, or the file's, refused when larger than
// the runner reads.
std::string documentText(const std::string& document, std::string& text, bool& usageError) {
  usageError = false;
  if (document.rfind("sample:", 0) == 0) {
    const char* sample = sampleDocument(std::string_view(document).substr(7));
    if (!sample) {
      usageError = true;
      return "unknown sample \"" + document + "\" (samples: " + sampleNames() + ")";
    }
    text = sample;
    return std::string();
  }
  std::ifstream in(document, std::ios::binary);
  std::error_code ec;
  if (!in || fs::is_directory(document, ec)) return "cannot read \"" + document + "\"";
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return "cannot read \"" + document + "\"";
  if (static_cast<uint64_t>(size) > kMaxDocumentBytes)
    return "\"" + document + "\" is larger than the " + std::to_string(kMaxDocumentBytes >> 20) + " MiB a document may be";
  in.seekg(0);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return "cannot read \"" + document + "\"";
  return std::string();
}

// A fresh engine root under the temporary folder, removed with everything
// in it; the root the process had before comes back when it still exists.
class EngineRoot {
 public:
  EngineRoot() : previous_(eng::root()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/printrun.XXXXXX";
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern;
    eng::setRoot(folder_);
  }
  ~EngineRoot() {
    if (folder_.empty()) return;
    std::error_code ec;
    fs::remove_all(folder_, ec);
    if (!previous_.empty() && fs::is_directory(previous_, ec)) eng::setRoot(previous_);
  }
  EngineRoot(const EngineRoot&) = delete;
  EngineRoot& operator=(const EngineRoot&) = delete;

  bool ok() const { return !folder_.empty(); }

 private:
  std::string previous_;
  std::string folder_;
};

class PrinterHandle {
 public:
  explicit PrinterHandle(const eng::PrinterSetup& setup) : handle_(eng::addPrinter(setup)) {}
  ~PrinterHandle() { eng::removePrinter(handle_); }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Puts the printer's data file where the engine's data-file name leads.
std::string placeDataFile(const std::string& config, const std::string& path) {
  if (!config.empty()) {
    std::error_code ec;
    if (!fs::is_regular_file(config, ec) || !fs::copy_file(config, path, ec))
      return "cannot read the configuration \"" + config + "\"" + (ec ? ": " + ec.message() : std::string());
    return std::string();
  }
  std::string error;
  PrinterModel model;  // a PCL XL printer with the builder's defaults
  const std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(model, error);
  if (!tree || !writePrinterTree(*tree, path, error)) return "cannot make the printer's data file: " + error;
  return std::string();
}

// The stored settings parts an installed printer keeps in its named values,
// which its user interface writes when the printer is set up: the driver
// takes a job's DEVMODE only when all three are there, and falls back to the
// printer's defaults otherwise. They are empty here: no form is loaded in a
// tray, and the other two are only carried. Each goes in as the driver's
// printer values hold an object: its portable stored form, in chunks of at
// most 248 bytes under "NAME:0", "NAME:1" ..., after their count under
// NAME.
std::string storeSettingsParts(HANDLE printer) {
  constexpr DWORD kTypeBinary = 3;
  constexpr DWORD kTypeNumber = 4;
  constexpr size_t kChunk = 248;
  auto put = [&](const std::string& name, DWORD type, const void* data, size_t size) {
    std::u16string wide(name.begin(), name.end());
    return EngSetPrinterData(printer, wide.data(), type, static_cast<BYTE*>(const_cast<void*>(data)),
                             static_cast<DWORD>(size)) == 0;
  };
  for (uint32_t id : {365u, 366u, 368u}) {
    const GAttributeComposite part(id);
    std::ostringstream bytes;
    {
      RWpostream stream(bytes);
      stream << static_cast<const RWCollectable*>(&part);
      stream.flush();
      if (!stream.good()) return "cannot store the printer's settings part " + std::to_string(id);
    }
    const std::string stored = bytes.str();
    const std::string name = std::to_string(id);
    const uint8_t count[4] = {static_cast<uint8_t>(stored.size() / kChunk + 1), 0, 0, 0};
    bool ok = put(name, kTypeNumber, count, sizeof count);
    for (size_t i = 0, at = 0; ok && i < count[0]; ++i, at += kChunk)
      ok = put(name + ":" + std::to_string(i), kTypeBinary, stored.data() + at, std::min(kChunk, stored.size() - at));
    if (!ok) return "cannot keep the printer's settings part " + std::to_string(id);
  }
  return std::string();
}

// Copies the spooled job to a temporary file beside the job and renames it
// to the job once whole; on any failure the temporary file goes and the
// job is left as it was.
std::string keepJob(const std::string& spooled, const std::string& job) {
  std::ifstream in(spooled, std::ios::binary);
  if (!in) return "cannot read the spooled job";
  std::string temp = job + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return "cannot write \"" + job + "\": " + std::strerror(errno);
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0;
  char buffer[1 << 16];
  while (ok && in) {
    in.read(buffer, sizeof buffer);
    for (std::streamsize done = 0, n = in.gcount(); ok && done < n;) {
      const ssize_t w = write(fd, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      done += w > 0 ? w : 0;
    }
  }
  ok = ok && !in.bad();
  const int savedErrno = errno;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), job.c_str()) == 0) return std::string();
  const std::string cause = std::strerror(ok ? errno : savedErrno);
  std::remove(temp.c_str());
  return "cannot write \"" + job + "\": " + cause;
}

// What the driver wrote on the engine's debug output from line `first` on,
// as whole lines, each under "printrun: the driver reported: " (a report
// may come in pieces, and the last may lack its line end); empty for
// nothing.
std::string driverReports(size_t first) {
  const std::vector<std::string>& lines = eng::debugLines();
  std::string text;
  for (size_t i = first; i < lines.size(); ++i) text += lines[i];
  std::string out;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end > at) out += "printrun: the driver reported: " + text.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return out;
}

// What the driver left alive, as "2 pool blocks, 1 semaphores"; empty for
// nothing.
std::string leftovers(const eng::Live& before, const eng::Live& after) {
  std::string out;
  auto note = [&](long was, long now, const char* what) {
    if (now == was) return;
    out += (out.empty() ? "" : ", ") + std::to_string(now - was) + " " + what;
  };
  note(before.blocks, after.blocks, "pool blocks");
  note(before.semaphores, after.semaphores, "semaphores");
  note(before.surfaces, after.surfaces, "surfaces");
  note(before.palettes, after.palettes, "palettes");
  note(before.clips, after.clips, "clip objects");
  note(before.paths, after.paths, "paths");
  note(before.modules, after.modules, "modules");
  note(before.images, after.images, "images");
  note(before.files, after.files, "files");
  return out;
}

}  // namespace

int runPrintrun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  std::string problem = readOptions(args, o);
  if (!problem.empty()) return usage(err, problem);
  if (o.help) {
    out << kUsage << "\n" << kOptions << kDocumentFormat;
    return kPrintrunWritten;
  }

  std::string text;
  bool usageError = false;
  problem = documentText(o.document, text, usageError);
  if (!problem.empty()) return usageError ? usage(err, problem) : failure(err, problem);
  RunDocument doc;
  DocumentError bad;
  if (!parseDocument(text, doc, bad)) {
    err << o.document << ":" << bad.line << ": " << bad.problem << "\n";
    return kPrintrunUsage;
  }
  // The document's fields, the command line's over them; a reset changes
  // the fields it names and keeps the others.
  const DevModeFields fields = overlayFields(doc.devmode, o.set);
  const std::vector<uint8_t> devmode = eng::publicDevMode(publicDevModeOf(fields, kPrinterName));
  if (doc.document.resetAfterPage >= 0)
    doc.document.resetDevMode = eng::publicDevMode(publicDevModeOf(overlayFields(fields, doc.reset), kPrinterName));

  if (o.driver.empty()) return failure(err, "no --driver given, and none was built with printrun");
  std::error_code ec;
  if (!fs::is_regular_file(o.driver, ec)) return failure(err, "no driver image at \"" + o.driver + "\"");

  EngineRoot root;
  if (!root.ok()) return failure(err, "cannot make a temporary folder for the engine");
  problem = placeDataFile(o.config, eng::driverFolder() + "/" + kDataFileName);
  if (!problem.empty()) return failure(err, problem);

  // The image is loaded from the driver folder, as the spooler keeps it, so
  // that the name the engine gives the driver for its own image leads to it.
  const std::string image = eng::driverFolder() + "/" + fs::path(o.driver).filename().string();
  fs::create_symlink(fs::absolute(o.driver, ec), image, ec);
  if (ec) return failure(err, "cannot place the driver in the engine's driver folder: " + ec.message());

  eng::PrinterSetup setup;
  setup.printerName = kPrinterName;
  setup.driverName = kDriverName;
  setup.portName = kPortName;
  setup.dataFile = u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\printrun.dat";
  setup.devmode = eng::publicDevMode(publicDevModeOf({}, kPrinterName));
  PrinterHandle printer(setup);
  problem = storeSettingsParts(printer.get());
  if (!problem.empty()) return failure(err, problem);

  const size_t misusesBefore = eng::misuse().size();
  const size_t reportsBefore = eng::debugLines().size();
  const eng::Live liveBefore = eng::live();
  // What the driver said on its way to a failure names what a last error
  // cannot: the file it could not read, what it found there.
  auto driverFailure = [&](const std::string& cause) {
    failure(err, cause);
    const std::string reports = driverReports(reportsBefore);
    err << reports;
    // The driver names the data file by the engine's name for it.
    if (!o.config.empty() && reports.find(kDataFileName) != std::string::npos)
      err << "printrun: the printer's data file " << kDataFileName << " is a copy of \"" << o.config << "\"\n";
    return kPrintrunFailed;
  };
  {
    eng::Driver driver;
    problem = driver.load(image);
    if (!problem.empty()) return driverFailure("the driver \"" + o.driver + "\" did not load: " + problem);
    eng::Player player(driver, printer.get());
    problem = player.open(devmode);
    if (problem.empty()) {
      problem = player.play(doc.document);
      player.close();
    }
  }
  if (!problem.empty()) return driverFailure(problem);
  // The engine reports each misuse as it happens; a job made through a
  // call the engine refused is not one to keep.
  const std::vector<std::string>& misuses = eng::misuse();
  if (misuses.size() > misusesBefore) {
    const size_t more = misuses.size() - misusesBefore - 1;
    return driverFailure("the driver misused the engine: " + misuses[misusesBefore] +
                            (more ? " (and " + std::to_string(more) + " more)" : std::string()) +
                            "; no job is written");
  }
  const std::string left = leftovers(liveBefore, eng::live());
  if (!left.empty()) err << "printrun: warning: the driver left " << left << " behind\n";

  const std::vector<std::string> jobs = eng::jobFiles(printer.get());
  if (jobs.size() != 1) return failure(err, "the spooler holds " + std::to_string(jobs.size()) + " jobs, not one");
  problem = keepJob(jobs[0], o.job);
  if (!problem.empty()) return failure(err, problem);
  return kPrintrunWritten;
}
