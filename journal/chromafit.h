#ifndef JOURNAL_CHROMAFIT_H
#define JOURNAL_CHROMAFIT_H

// The colour-matching page filter, and the look-ups through which its
// selectors become device values.
//
// The filter gives every text, vector-graphics and raster command a
// halftone and a colour-map selector (GHalftone, GColorMap, key 0) for its
// kind of object, unless the command's bundle already holds one of that
// class. The selectors come from the job's colour-matching choices, the
// GChromafitAttribute (295) of the document state: one colour-map byte and
// one halftone byte per object class (0 text, 1 graphics, 2 raster). A
// state without one, or a choice that cannot be read, gives the selector
// 0xFFFF, which no selector table is expected to hold.
//
// The filter works on the fly and holds nothing back. At each document
// start it reads the choices afresh (each document carries its own) and
// takes part in the job only while the configuration root's attribute 339,
// as the driver instance reads it, is 0 or 1, and the start names a
// device; otherwise it disables itself for the job. The document end, the
// first half of a manual duplex job and a job abort end the set-up.
//
// Commands are routed by their exact class: paths, graphic composites, the
// point-list shapes and scan lines, and the start of a scan-line block get
// the graphics selectors; GRasterGraphic the raster ones; the two text
// graphics the text ones. A pre-scaled raster graphic and the end of a
// scan-line block are not in the list and pass unchanged, as does every
// other class and a command without a bundle. A bundle that another holder
// shares is not changed under it: the command is given a copy of its own
// (sharing the members) to which the selectors are added.
//
// Handlers answer 0; the filter sends no attribute and files none into its
// State, and has no processing flags.
//
// Stored form of this level, after the stage's: version (1), then the
// active setting as an i16. The selectors, the device and the set-up flag
// are not stored; a level of another version keeps the active setting.

#include <cstdint>

#include "core/attrids.h"
#include "journal/periph.h"
#include "rw/cstring.h"

class GDevice;

// A selector the choices could not give.
constexpr uint16_t kNoChromafitSelector = 0xFFFF;

// The object classes and the kinds of choice of GChromafitAttribute.
enum GChromafitObject : int32_t { kChromafitText = 0, kChromafitGraphics = 1, kChromafitRaster = 2 };
enum GChromafitKind : int32_t { kChromafitColorMap = 0, kChromafitHalftone = 1 };

// The choice for an object class and kind in the state's 295, or
// kNoChromafitSelector when the state is null, holds no GChromafitAttribute
// under 295, or the attribute answers no choice for them.
uint16_t chromafitSetting(int32_t objectClass, int32_t kind, const MPersistentObject* state);
// The device values of selectors in a stage's composite: the colour-map
// table (537) and the halftone table (533), as gSelectorTableValue reads
// them (0 when the table or the entry is missing).
uint16_t chromafitColorMapValue(const MPersistentObject* composite, int32_t selector);
uint16_t chromafitHalftoneValue(const MPersistentObject* composite, int32_t selector);
// The text of the entry for the value in the table under the id in the
// composite (or nested in it): the GStringAttribute the association holds.
// Empty when there is no composite, no association list under the id, no
// entry for the value, or an entry holding anything but a string.
RWCString chromafitTableString(uint32_t tableId, const MPersistentObject* composite, int32_t value);

class GChromafitFilter : public GPeripheral {
  G_PERSISTENT_CLASS(GChromafitFilter)

 public:
  // The stage's defaults; active 0, no device, every selector 0.
  GChromafitFilter();
  // The stage's full form (see GPeripheral); the setting becomes the
  // active member.
  GChromafitFilter(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                   int32_t setting);
  GChromafitFilter(const GChromafitFilter& other);
  GChromafitFilter& operator=(const GChromafitFilter& other);
  ~GChromafitFilter() override;

  static RWClassID classIsA() { return ClassId::GChromafitFilter; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The stage test and the same active setting.
  RWBoolean matches(const MPersistentObject* other) const override;

  // See the top of the file.
  GCommandPtr dispatch(const GCommandPtr& command) override;
  // Nothing is filed and nothing sent: the filter only passes bundles on.
  void applyAttribute(MPersistentObject* attribute) override;
  [[nodiscard]] GStatus sendChangedAttributes(const uint32_t& id) override;
  uint32_t processingFlags() override { return 0; }

  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf* command) override;
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;

  // Reads the choices of the state (a document state) when the filter has
  // a device and is not set up yet: active becomes 1 only when the
  // configuration value is 0 or 1. Active is 0 otherwise.
  virtual void setUp(const MPersistentObject* state);
  // Forgets the set-up, so that the next setUp reads the choices again.
  virtual void endSetUp();

  int32_t active() const { return active_; }
  int32_t isSetUp() const { return setUp_; }
  GDevice* device() const { return device_; }
  // The selector the filter gives an object class for a kind of choice.
  uint16_t selector(int32_t objectClass, int32_t kind) const;

 private:
  // The object class of a command's exact class, or -1 when the filter
  // gives it nothing.
  static int32_t objectClassOf(RWClassID commandClass);
  // Adds the object class's selectors to the command's bundle.
  void addSelectors(GCommand& command, int32_t objectClass) const;

  GDevice* device_;
  int32_t active_;
  int32_t setUp_;
  // By object class: text, graphics, raster.
  uint16_t halftone_[3];
  uint16_t colorMap_[3];
};

RW_DECLARE_RESTORE_OPERATORS(GChromafitFilter)

#endif
