#include "tools/printer/mkprint.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>

#include "core/attrib.h"
#include "tools/printer/printer.h"

namespace {

const char kUsage[] =
    "usage: mkprinter [--language PCLXL|PCL|POSTSCRIPT] [--generator CLASS] [--media LETTER,LEGAL,A4]\n"
    "                 [--trays 1,2] [--bins 1] [--resolutions 600] --output FILE\n";

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

bool parseMedia(const std::string& text, std::vector<int16_t>& ids) {
  ids.clear();
  for (const std::string& item : splitList(text)) {
    const PrinterPaper* found = nullptr;
    for (const PrinterPaper& paper : knownPapers())
      if (paper.keyword == item) found = &paper;
    if (!found) return false;
    ids.push_back(found->mediaId);
  }
  return !ids.empty();
}

int usage(std::ostream& err, const std::string& cause) {
  err << "mkprinter: " << cause << "\n" << kUsage;
  return kMkprinterUsage;
}

}  // namespace

int runMkprinter(const std::vector<std::string>& args, std::ostream& err) {
  PrinterModel model;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool known = option == "--language" || option == "--generator" || option == "--media" ||
                       option == "--trays" || option == "--bins" || option == "--resolutions" ||
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
