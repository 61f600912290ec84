#ifndef TOOLS_PRINTER_PRINTER_H
#define TOOLS_PRINTER_PRINTER_H

// The printer configuration builder: makes a printer's data file, the one
// stored tree the driver server restores for a printer, from a small
// description of the printer model. mkprinter writes such files from its
// options; tests build trees with it and give them to driver instances.
//
// The tree, each item where its reader looks for it:
//
//   top (GAttributeComposite, id 0)
//     353 the configuration root (GPeripheralComposite)
//       the colour-matching filter (GChromafitFilter, id 0), when the
//         model asks for colour matching
//       76 the printer (GPrinter)
//         106 the job language (GPJL)
//         101 the generator (made by string ID, named by its language)
//     191 code mappings (the platform's built-in form index -> media id)
//     84  tray mappings (platform paper-source code -> tray number)
//     194 resource mappings (empty)
//
// Every stage gets a configuration (198) of its own:
//   printer        199 copies, 359 settings template (364, 365, 366, 276,
//                  701), 112 capability sets (113, 120, 126-128, 135, 136,
//                  137 the media options, 565 with capability 0 clear, 750
//                  the variable-data form capabilities), 203 the duplex
//                  binding range, 205 the orientation angles (a composite
//                  of values with id 0), 914 custom sizes outside the
//                  printer's range and 916 custom sizes enabled
//   job language   192 paper-name table, 228 holding 90 (the paper-handling
//                  devices: input trays, output bins) and 231 (collation),
//                  206 mode entries (each 323, 324, 325, and the quality
//                  code 902 when the model gives codes)
//   generator      189 media pool (0 and 90 degrees at each resolution,
//                  with the custom-size bounds 17385 and 17384), and the
//                  same 192 object as the job language's; a PCL XL
//                  generator (GCheetah) also 85, the paper sources (tray
//                  number -> MediaSource, tray 1 -> 3, 2 -> 4 ...), and
//                  202, the download memory (100 units); the selector
//                  tables the model gives, 537 colour maps and 533
//                  halftones (value attributes of id 0 as keys and values)
// In the settings template, the job options 364 hold 291 (copies, 1), 294
// (greyscale choice offered; with it the choice 296), 298 (media and
// dither codes in use), 350 and 351 (media and dither choice); the
// printer's Config finds them there too, as the printer's defaults. The
// printer options 365, which the platform keeps as the printer's stored
// part 365, hold the form-to-tray
// database 510: one association per tray the model fills, with the tray
// number as its form and the media id as its tray, so that asking whether
// a media id is in use is asking whether a tray of that value is.
// The printer's Default holds the document group 246 (media 259,
// resolution group 249 with 323, 324 and 325, and 902 with quality codes,
// orientation 265, variable-data forms 702), the page group 256 and the
// graphic group 244; a reset after building makes the State a copy of it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class GAttributeComposite;
class GConfiguration;
class GPeripheralComposite;

// One paper size: its media id, the name and keyword the printer knows it
// by, its size in dots at 600 dpi, and the index of the platform's
// built-in form of that size (the code mapping's first code).
struct PrinterPaper {
  int16_t mediaId;
  std::string name;
  std::string keyword;
  int16_t width;
  int16_t height;
  uint16_t formIndex;
};

// The Config items of the three stages, handed to the model's hook before
// the stages take them, so that a fixture can add what it needs.
struct PrinterConfigs {
  GConfiguration& printer;
  GConfiguration& jobLanguage;
  GConfiguration& generator;
  // The job language's 228, which holds the paper-handling devices (90).
  GAttributeComposite& jobLanguageOptions;
};

struct PrinterModel {
  // PCLXL, PCL or POSTSCRIPT: the PJL language name.
  std::string language = "PCLXL";
  // The generator's string ID; empty for the language's own generator.
  std::string generatorClass;
  // Media ids of the known papers (1 Letter, 5 Legal, 23 A4), in order.
  std::vector<int16_t> media = {1, 5, 23};
  // Tray numbers of the input device.
  std::vector<int16_t> trays = {1, 2};
  // Bins of the output device, numbered from 1.
  int32_t bins = 1;
  // Dots per inch, one mode entry and one set of pool entries each.
  std::vector<int16_t> resolutions = {600};
  // Quality codes in the mode entries and the Default's resolution group:
  // the highest resolution -4, the next -3 and so on.
  bool qualityCodes = false;
  // A duplex unit: bindings 0 to 2 (none, short edge, long edge), else 0.
  bool duplex = true;
  // The angles a page may be printed at.
  std::vector<int16_t> orientations = {0, 90, 180, 270};
  // Collated copies available.
  bool collation = true;
  // A greyscale choice offered (a colour printer); its choice starts at
  // colour (296 = 0).
  bool greyscaleChoice = false;
  // Media and dither codes in use; both choices start at 0.
  bool mediaCodes = true;
  // The media options available (137): option n lets a job keep media
  // code n + 2; code 1 is always there.
  std::vector<uint32_t> mediaOptions = {0, 1, 2};
  // Custom paper sizes enabled, and accepted outside the printer's range.
  bool customSizes = true;
  bool anySize = false;
  // Variable-data forms on in the Default (702), and the form capabilities
  // (750): capability 0 says the printer keeps no forms, 1 to 11 make the
  // bits of the form capability mask.
  bool diskForms = false;
  std::vector<uint32_t> formCapabilities = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  // The media id loaded in a tray (tray number, media id) for the
  // form-to-tray database; empty leaves the database unused.
  std::vector<std::pair<int16_t, int16_t>> trayForms;
  // The colour-matching filter in the configuration root, ahead of the
  // printer, taking part in every job (its setting 1).
  bool colorMatching = false;
  // The generator's selector tables: (selector, device value) pairs of the
  // colour-map table (537) and the halftone table (533); each table is
  // there only when it has entries. Both numbers are 16-bit words.
  std::vector<std::pair<uint16_t, uint16_t>> colorMaps;
  std::vector<std::pair<uint16_t, uint16_t>> halftones;
  // Adds further Config items; may be empty.
  std::function<void(PrinterConfigs&)> hook;
};

// The papers the builder knows: Letter (1), Legal (5) and A4 (23), with
// 100-dot margins.
const std::vector<PrinterPaper>& knownPapers();
// The paper of a media id, or null.
const PrinterPaper* findPaper(int16_t mediaId);
// The string ID of a language's generator ("GCheetah", "GPcl5e",
// "GPostScript"), or empty for an unknown language.
std::string generatorClassFor(const std::string& language);

// The tree (owned by the caller), or null with the cause in error: an
// unknown language, paper or resolution, a class the factory does not know
// or that is not what its place needs.
std::unique_ptr<GAttributeComposite> buildPrinterTree(const PrinterModel& model, std::string& error);

// The configuration root of a built or restored tree's top, or null.
GPeripheralComposite* printerRoot(const GAttributeComposite& top);

// A settings tree for a driver instance over the tree: a copy of the
// settings template (359) as 360, holding the document settings 362 (a
// copy of the printer's Default 246, its media 259 as 260) and the page
// settings 363 (a copy of 256). Null when the tree has no template.
std::unique_ptr<GAttributeComposite> buildPrinterSettings(const GPeripheralComposite& root);

// Writes the tree as one outermost store to a binary stream in the file:
// objects reached twice are stored once. The file is written under a
// temporary name beside it and renamed when complete, so a failure leaves
// no file behind. False with the cause in error.
bool writePrinterTree(const GAttributeComposite& top, const std::string& path, std::string& error);

#endif
