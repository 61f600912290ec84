#ifndef PDL_PDLGEN_H
#define PDL_PDLGEN_H

// The common base of the printer-language generators. A generator is the
// printer's child with id 101, a stage container that receives every
// journal command of a job and turns it into bytes of its language. The
// base holds what they all share: the job's port, the printer's
// download-memory budget, the device font lists, the downloaded-font list
// and character-code remap table the concrete generator makes, job-state
// flags and counters, and the operations through which font download
// records and paints call back the generator. It is never made on its own
// (not registered with the factory); every generator is of kind 765.
//
// The document start (every generator's, before its own work): the port
// the command carries is used and not owned; otherwise the provider
// registry's port for the job is owned, opened, stored in the command and
// started with the document name and no PJL framing. No port, or one that
// does not open, fails the start with 601, and a start that fails leaves
// the generator outside the document. Attribute 202 of the Config (a range
// of 16-bit units of 10,485 bytes; a negative count is taken as 0) sets the
// budget's limit; without it the limit stays and only used is cleared.
//
// Processing: a document end and a page end pass the generator's children
// first and reach the generator after them; every other command reaches the
// generator first and the children only when the generator answered 0, a
// failure coming back as a GErrorCommand that the children do not see.
//
// Configured device fonts: the Config's device font list (id 414), or a new
// empty one when the Config has none; held by a counted reference and
// looked up again whenever the configuration changes, so that a Config
// replaced by setConfig cannot leave it dangling.
//
// Stored form of this level, after the container's: version (1),
// inDocument (u32), inScanLines (u32), pathDepth (i16), recordingClipPath
// (u32). A different version leaves the fields as they are; a restore that
// reads the level whole drops the downloaded-font list and the remap table
// (the concrete generator makes new ones). Copies take the four stored
// fields, no list and no table, and start the counters at 0.

#include <cstdint>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/cntdptr.h"
#include "device/pericomp.h"
#include "device/printer.h"
#include "graphics/devfont.h"
#include "graphics/dlfonts.h"
#include "graphics/paintcb.h"
#include "pdl/budget.h"

class GDevice;
class GFontDescriptor;
class RWCString;

// The unit of the Config's download-memory limit (AttrId::DownloadMemory),
// in bytes.
constexpr uint32_t kDownloadMemoryUnit = 10485;

class GPDLGenerator : public GPeripheralComposite, public GPaintCallbacks {
  G_PERSISTENT_LEVEL(GPDLGenerator)

 public:
  GPDLGenerator();
  GPDLGenerator(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  GPDLGenerator(const GPDLGenerator& other);
  GPDLGenerator& operator=(const GPDLGenerator& other);
  ~GPDLGenerator() override;

  static RWClassID classIsA() { return ClassId::GPDLGenerator; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The containers match and the four stored fields are equal.
  RWBoolean matches(const MPersistentObject* other) const override;

  // ---- the shared stage behaviour ------------------------------------------------
  // See the top of the file.
  GCommandPtr process(const GCommandPtr& command) override;
  // The merged Config rebuilt; one State and one Default (243) layered from
  // the generator's own and every child's, made the generator's and given
  // to the children; the configured device fonts looked up again; then the
  // dependents.
  void changed(GPeripheral* stage) override;
  // The job's port released, the container's reset, then a new empty
  // downloaded-font list and remap table of the generator's own kinds.
  void reset() override;

  // ---- generator operations --------------------------------------------------------
  // Each answers what remains of the budget.
  virtual uint32_t releaseDownloadMemory(uint32_t n);
  virtual uint32_t reserveDownloadMemory(uint32_t n);
  // Removes a downloaded font from the printer.
  virtual void removeFont(const RWCString& name) = 0;
  // How the generator can render a font, as flag words (the base: 1).
  virtual uint32_t downloadFont(GFontDescriptor* font);
  // The same for the characters of a font. The full parameter list is the
  // font management's: the font, the query type, the selector (0: the
  // matched device font's own code, 1: the font's character set), the
  // coverage table out (its first 16-bit word the table's size in 16-bit
  // units; not owned by the caller), the italic flag and weight of the
  // face, and the matched printer-resident font out. The base sets the
  // table to null and answers 1.
  virtual uint32_t downloadFontCharacters(GFontDescriptor* font, int32_t queryType, int32_t selector,
                                          const uint16_t*& coverage, int32_t italic, int32_t weight,
                                          GDeviceFontDescription*& deviceFont);
  // Whether the text holds the language's command character (the base: no).
  virtual bool hasCommandCharacter(const RWCString& text) const;

  // ---- handlers of the base ----------------------------------------------------------
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  // The job state is the concrete generator's to change.
  [[nodiscard]] GStatus onPageStart(GPageStart*) override { return 0; }
  [[nodiscard]] GStatus onStringAttribute(GStringAttribute*) override { return 0; }

  // ---- not virtual ---------------------------------------------------------------
  uint32_t inDocument() const { return inDocument_; }
  uint32_t inScanLines() const { return inScanLines_; }
  int16_t pathDepth() const { return pathDepth_; }
  uint32_t recordingClipPath() const { return recordingClipPath_; }
  uint32_t fontDownloaded() const { return fontDownloaded_; }
  uint32_t fontNameCounter() const { return fontNameCounter_; }
  uint32_t fontUseCounter() const { return fontUseCounter_; }
  const GMemoryBudget& budget() const { return budget_; }
  GDevice* device() const { return device_; }
  GDownloadedFontList* downloadedFonts() const { return downloadedFonts_.get(); }
  GCodeRemapTable* codeRemap() const { return codeRemap_.get(); }
  GDeviceFontListComposite& deviceFonts() { return deviceFonts_; }
  // The configured device fonts (no reference added); never null once the
  // generator has looked them up.
  GDeviceFontListComposite* configuredDeviceFonts() const;

 protected:
  // The concrete generator's kinds of downloaded-font list and remap table
  // (the base makes none).
  virtual GDownloadedFontList* makeDownloadedFontList() { return nullptr; }
  virtual GCodeRemapTable* makeCodeRemapTable() { return nullptr; }
  // Deletes the list and the table and makes new ones.
  void renewFontTables();
  // Ends the job on the port: an owned port's endJob (its answer), the port
  // released; outside the document from then on.
  [[nodiscard]] GStatus endJobPort();
  // The same for an aborted job: an owned port is aborted.
  [[nodiscard]] GStatus abortJobPort();

  uint32_t inDocument_;
  uint32_t inScanLines_;
  uint32_t fontDownloaded_;
  uint32_t fontNameCounter_;
  uint32_t fontUseCounter_;
  int16_t pathDepth_;
  uint32_t recordingClipPath_;
  GMemoryBudget budget_;

 private:
  void lookUpConfiguredDeviceFonts();
  void clearFields();
  void setDownloadLimit(int16_t units);

  std::unique_ptr<GDownloadedFontList> downloadedFonts_;
  std::unique_ptr<GCodeRemapTable> codeRemap_;
  GDeviceFontListComposite deviceFonts_;
  GDevice* device_;  // the job's, not owned
  GCountedPtr configuredDeviceFonts_;
  // Whether configuredDeviceFonts_ is the generator's own empty list.
  bool ownEmptyFonts_ = false;
  GJobPortCarrier carrier_;
};

#endif
