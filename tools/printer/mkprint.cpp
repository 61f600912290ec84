#include "tools/printer/mkprint.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "core/attrib.h"
#include "tools/printer/printer.h"

namespace {

const char kUsage[] =
    "usage: mkprinter [--language PCLXL|PCL|POSTSCRIPT] [--generator CLASS] [--media LETTER,LEGAL,A4]\n"
    "                 [--trays 1,2] [--bins 1] [--resolutions 600] [--quality-codes on|off]\n"
    "                 [--tray-forms 1:LETTER,2:A4] [--vdp-forms on|off] [--vdp-capabilities 1,2,...,11]\n"
    "                 [--color-matching] [--colormap 21=5,22=6] [--halftone 50=7]\n"
    "                 --output FILE\n"
    "       mkprinter --help\n";

const char kHelp[] =
    "Writes a printer's data file, the stored configuration tree a driver\n"
    "instance restores, in the binary stream form.\n"
    "\n"
    "  --language L          the job's language: PCLXL (the default), PCL or POSTSCRIPT\n"
    "  --generator CLASS     the generator's class, in place of the language's own\n"
    "  --media K,...         the paper keywords the printer takes, the first the default\n"
    "  --trays N,...         the trays' numbers\n"
    "  --bins N              the number of output bins\n"
    "  --resolutions N,...   the resolutions in dots per inch, the first the default\n"
    "  --quality-codes on|off\n"
    "  --tray-forms T:K,...  the paper each tray holds\n"
    "  --vdp-forms on|off    variable-data forms on in the printer's defaults\n"
    "  --vdp-capabilities N,...  the form capabilities (0: the printer keeps no forms)\n"
    "  --color-matching      the colour-matching filter ahead of the printer\n"
    "  --colormap S=V,...    the generator's colour-map selector table\n"
    "  --halftone S=V,...    the generator's halftone selector table\n"
    "  --output FILE, -o FILE    the data file to write\n"
    "  --help                this text\n"
    "\n"
    "Exit status: 0 written; 2 a usage error; 1 the file could not be written.\n"
    "On failure one line names the cause and no file is left.\n";

// A whole decimal number in the 16-bit range.
bool parseNumber(const std::string& text, int16_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || n < std::numeric_limits<int16_t>::min() ||
      n > std::numeric_limits<int16_t>::max())
    return false;
  value = static_cast<int16_t>(n);
  return true;
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) items.push_back(item);
  if (!text.empty() && text.back() == ',') items.push_back({});
  return items;
}

bool parseNumbers(const std::string& text, std::vector<int16_t>& values) {
  values.clear();
  for (const std::string& item : splitList(text)) {
    int16_t v = 0;
    if (!parseNumber(item, v)) return false;
    values.push_back(v);
  }
  return !values.empty();
}

bool parseKeyword(const std::string& keyword, int16_t& mediaId) {
  for (const PrinterPaper& paper : knownPapers())
    if (paper.keyword == keyword) {
      mediaId = paper.mediaId;
      return true;
    }
  return false;
}

bool parseMedia(const std::string& text, std::vector<int16_t>& ids) {
  ids.clear();
  for (const std::string& item : splitList(text)) {
    int16_t id = 0;
    if (!parseKeyword(item, id)) return false;
    ids.push_back(id);
  }
  return !ids.empty();
}

bool parseSwitch(const std::string& text, bool& on) {
  if (text != "on" && text != "off") return false;
  on = text == "on";
  return true;
}

bool parseCapabilities(const std::string& text, std::vector<uint32_t>& numbers) {
  std::vector<int16_t> values;
  if (!parseNumbers(text, values)) return false;
  numbers.clear();
  for (int16_t v : values) {
    if (v < 0) return false;
    numbers.push_back(static_cast<uint32_t>(v));
  }
  return true;
}

// TRAY:KEYWORD pairs.
bool parseTrayForms(const std::string& text, std::vector<std::pair<int16_t, int16_t>>& pairs) {
  pairs.clear();
  for (const std::string& item : splitList(text)) {
    const size_t colon = item.find(':');
    int16_t tray = 0;
    int16_t mediaId = 0;
    if (colon == std::string::npos || !parseNumber(item.substr(0, colon), tray) ||
        !parseKeyword(item.substr(colon + 1), mediaId))
      return false;
    pairs.emplace_back(tray, mediaId);
  }
  return !pairs.empty();
}

// A whole decimal number from 0 to 65535.
bool parseWord(const std::string& text, uint16_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long n = std::strtoul(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || n > std::numeric_limits<uint16_t>::max()) return false;
  value = static_cast<uint16_t>(n);
  return true;
}

// SELECTOR=VALUE pairs of a selector table.
bool parseSelectorTable(const std::string& text, std::vector<std::pair<uint16_t, uint16_t>>& pairs) {
  pairs.clear();
  for (const std::string& item : splitList(text)) {
    const size_t equals = item.find('=');
    uint16_t selector = 0;
    uint16_t value = 0;
    if (equals == std::string::npos || !parseWord(item.substr(0, equals), selector) ||
        !parseWord(item.substr(equals + 1), value))
      return false;
    pairs.emplace_back(selector, value);
  }
  return !pairs.empty();
}

int usage(std::ostream& err, const std::string& cause) {
  err << "mkprinter: " << cause << "\n" << kUsage;
  return kMkprinterUsage;
}

}  // namespace

int runMkprinter(const std::vector<std::string>& args, std::ostream& err) { return runMkprinter(args, err, err); }

int runMkprinter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PrinterModel model;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--help" || option == "-h") {
      out << kUsage << "\n" << kHelp;
      return kMkprinterWritten;
    }
    // The one switch that takes no value.
    if (option == "--color-matching") {
      model.colorMatching = true;
      continue;
    }
    const bool known = option == "--language" || option == "--generator" || option == "--media" ||
                       option == "--trays" || option == "--bins" || option == "--resolutions" ||
                       option == "--quality-codes" || option == "--tray-forms" || option == "--vdp-forms" ||
                       option == "--vdp-capabilities" || option == "--colormap" || option == "--halftone" ||
                       option == "--output" || option == "-o";
    if (!known) return usage(err, "unknown option \"" + option + "\"");
    if (i + 1 >= args.size()) return usage(err, "option \"" + option + "\" needs a value");
    const std::string& value = args[++i];
    const std::string bad = "bad value \"" + value + "\" for " + option;
    if (option == "--language") {
      if (generatorClassFor(value).empty()) return usage(err, "unknown language \"" + value + "\"");
      model.language = value;
    } else if (option == "--generator") {
      if (value.empty()) return usage(err, bad);
      model.generatorClass = value;
    } else if (option == "--media") {
      if (!parseMedia(value, model.media)) return usage(err, bad);
    } else if (option == "--trays") {
      if (!parseNumbers(value, model.trays)) return usage(err, bad);
    } else if (option == "--bins") {
      int16_t bins = 0;
      if (!parseNumber(value, bins)) return usage(err, bad);
      model.bins = bins;
    } else if (option == "--resolutions") {
      if (!parseNumbers(value, model.resolutions)) return usage(err, bad);
    } else if (option == "--quality-codes") {
      if (!parseSwitch(value, model.qualityCodes)) return usage(err, bad);
    } else if (option == "--tray-forms") {
      if (!parseTrayForms(value, model.trayForms)) return usage(err, bad);
    } else if (option == "--vdp-forms") {
      if (!parseSwitch(value, model.diskForms)) return usage(err, bad);
    } else if (option == "--vdp-capabilities") {
      if (!parseCapabilities(value, model.formCapabilities)) return usage(err, bad);
    } else if (option == "--colormap") {
      if (!parseSelectorTable(value, model.colorMaps)) return usage(err, bad);
    } else if (option == "--halftone") {
      if (!parseSelectorTable(value, model.halftones)) return usage(err, bad);
    } else {
      if (value.empty()) return usage(err, bad);
      output = value;
    }
  }
  if (output.empty()) return usage(err, "no --output file");

  std::string error;
  const std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(model, error);
  if (!tree) return usage(err, error);
  if (!writePrinterTree(*tree, output, error)) {
    err << "mkprinter: " << error << "\n";
    return kMkprinterIoError;
  }
  return kMkprinterWritten;
}
