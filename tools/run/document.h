#ifndef TOOLS_RUN_DOCUMENT_H
#define TOOLS_RUN_DOCUMENT_H

// The print runner's documents: what it plays through a driver, read from a
// small line format (kDocumentFormat says exactly what it accepts) or taken
// from a built-in sample. Reading needs no driver and no engine root: it
// makes the player's document and the DEVMODE fields the document asks
// for, which the run turns into DEVMODEs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/engine/engine.h"

// The public DEVMODE fields a run may set, from the command line or from a
// document. A field left empty keeps the value beneath it.
struct DevModeFields {
  std::optional<int16_t> orientation;  // 1 portrait, 2 landscape
  std::optional<int16_t> paper;        // the engine's built-in form code
  std::optional<int16_t> copies;
  std::optional<int16_t> duplex;       // 1 simplex, 2 long edge, 3 short edge
  std::optional<int16_t> collate;      // 0 or 1
  std::optional<int16_t> xResolution;  // dots per inch; both or neither
  std::optional<int16_t> yResolution;
};

// Sets one field from "FIELD=VALUE". Answers empty, or the problem ("unknown
// field 'colour'", "bad value '0' for copies", "copies given twice").
std::string setDevModeField(std::string_view assignment, DevModeFields& fields);

// The fields of over laid on base.
DevModeFields overlayFields(DevModeFields base, const DevModeFields& over);

// The engine's public DEVMODE for a device name with the fields set on its
// defaults. A paper code also names its form, so that the paper size and
// the form name never disagree.
eng::PublicDevMode publicDevModeOf(const DevModeFields& fields, const std::u16string& deviceName);

// A document as the runner plays it.
struct RunDocument {
  eng::Document document;  // resetDevMode is left empty: the run makes it from reset
  DevModeFields devmode;   // the fields of the `devmode` line
  DevModeFields reset;     // the fields of the `reset` line, when document.resetAfterPage >= 0
};

struct DocumentError {
  int line = 0;  // from 1
  std::string problem;
};

// Reads a document in the line format. A bad line answers false with its
// number and the problem; doc is then left unspecified.
bool parseDocument(std::string_view text, RunDocument& doc, DocumentError& error);

// Documents larger than this are refused before they are read.
constexpr size_t kMaxDocumentBytes = 16 << 20;

// The text of a built-in sample, in the line format, or null.
const char* sampleDocument(std::string_view name);
// The names of the built-in samples, separated by ", ".
std::string sampleNames();

// The line format and the DEVMODE fields, described for --help.
extern const char kDocumentFormat[];

#endif
