#ifndef TESTKIT_UI_FIXPRINTER_H
#define TESTKIT_UI_FIXPRINTER_H

// Printers for the user-interface tests: data files the printer builder
// writes, served as the user-interface host serves a printer. The process
// installs the user-mode platform with the printer makers before anything
// else (the plug-in installs none), then a driver server registers printer
// objects (HostInterfaceInstance) over the file.
//
// A fixture printer's tree is the builder's (199 copies; 206 mode entries;
// 90 paper-handling devices in 228; the media pool 189 with the custom-size
// bounds 17385 and 17384; the settings template with the document settings
// 362 holding the resolution group 249, the page settings 363 and the groups
// 364 to 366), and beside it what the pages read:
//
//   printer Config  401 the resource module's name, 374 the help file's
//                   name, 450 the installed options (one display string
//                   each)
//   root's Config   339 the colour choice offered (configurationValue
//                   reads it there)
//   settings        367 (an empty group), and at their defaults the paper
//                   and finishing attributes: in the job options 364 the
//                   paper sources 258 and 263 (19, automatic), the media
//                   type names 261 and 262 (empty), 264 different first
//                   paper, 270 fit to page, 272 its paper (the model's
//                   first), 285 the size unit, 253 two-sided, 248 the
//                   output bin (1), 269 scaling (100), 278 stapling, 289
//                   the staple position (1), 279 booklet, 280 its sheet
//                   size, 287 job hold, 612 binding, and the pages-per-
//                   sheet group 329 (266 one page, 267 no borders, 268
//                   order 0); in the printer options 365 the accessories:
//                   308 the duplex unit (as the model has one), 313
//                   availability, 311 stapler, 613 binder, 275 an input
//                   accessory, 315 and 316 their names (empty)
//
// The generator is a test generator of the language's kind: it answers
// isKindOf for GCheetah (PCLXL), GPostScript (POSTSCRIPT) or GPcl5e (PCL),
// so that the pages that ask for a kind see one, and prints nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/win32/options.h"
#include "rw/wstring.h"
#include "testkit/tmpdir.h"
#include "tools/printer/printer.h"

class GDriverServer;
class GInterfaceInstance;

// The string ID of the test generator of a language ("UIXLGenerator",
// "UIPSGenerator", "UIPCLGenerator"), or empty for an unknown language.
std::string uiTestGeneratorFor(const std::string& language);

struct FixturePrinterSpec {
  // PCLXL, PCL or POSTSCRIPT; the model's generator becomes the language's
  // test generator and its hook adds the Config items below (a hook the
  // model already has runs first).
  PrinterModel model;
  // The printer Config's 401, 374 and 450 (the display strings' texts,
  // string ids from 1 in order).
  std::string resourceModule = "QXUIRES.DLL";
  std::string helpFile = "QXUI.HLP";
  std::vector<std::string> installedOptions = {"Duplex unit"};
  // The root's 339: 1 offers the colour choice.
  int16_t colour = 0;
};

// The tree a spec makes (owned by the caller), or null with the cause.
std::unique_ptr<GAttributeComposite> buildFixtureTree(const FixturePrinterSpec& spec, std::string& error);

class FixturePrinter {
 public:
  // Writes the data file in a folder of its own, installs the platform
  // (the options given, with the printer makers) and makes the driver
  // server. The platform and the server are process-wide: one fixture
  // printer at a time, and it takes both down when it goes.
  explicit FixturePrinter(const FixturePrinterSpec& spec = FixturePrinterSpec(),
                          const HostOptions& options = HostOptions());
  ~FixturePrinter();
  FixturePrinter(const FixturePrinter&) = delete;
  FixturePrinter& operator=(const FixturePrinter&) = delete;

  // Empty once everything is in place; otherwise what failed (and nothing
  // is served).
  const std::string& error() const { return error_; }
  const std::string& dataFile() const { return data_; }
  GDriverServer* server() const { return server_; }

  // The printer object of the named printer over the data file, as the
  // server registers it (the server's; remove it by its handle), or null.
  GInterfaceInstance* registerInstance(const RWWString& printerName, uint32_t& handle);

 private:
  TempDir dir_;
  std::string data_;
  std::string error_;
  GDriverServer* server_ = nullptr;
  bool installed_ = false;
};

#endif
