// The print runner's document reader over a document file's bytes as
// found, and the DEVMODEs the run makes of what it read.

#include <string_view>

#include "common.h"
#include "tools/run/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  RunDocument doc;
  DocumentError error;
  if (!parseDocument(std::string_view(reinterpret_cast<const char*>(data), size), doc, error)) return 0;
  const DevModeFields fields = overlayFields(DevModeFields(), doc.devmode);
  (void)eng::publicDevMode(publicDevModeOf(fields, doc.document.name));
  (void)eng::publicDevMode(publicDevModeOf(overlayFields(fields, doc.reset), doc.document.name));
  return 0;
}
