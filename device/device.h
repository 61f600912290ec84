#ifndef DEVICE_DEVICE_H
#define DEVICE_DEVICE_H

// The device: the driver instance of one enabled printer device, through
// which the platform layer turns a print job into journal commands and
// pushes them through the printer's configuration tree.
//
// It keeps the job between the engine's calls: whether a document and a
// page are open, the job options read from the settings when the job
// begins, the page count and the page's scale factors, the media lookups
// and the job's font database. Every command goes out through send, which
// polls the output gate, hands the command to the configuration root and
// turns the errors the stages answer into a status, one GJobAbort through
// the configuration and the error state (3).
//
// Besides the job flow the device keeps the drawing state the platform
// layer's drawing calls need from one call to the next (devdraw.cpp): the
// bundle being filled for the next graphic command, the line cap and join
// in force, a stack of saved drawing states, the paths recorded with the
// path escapes and the clip made from them; and it makes pass-through
// commands of raw printer-language bytes.
//
// The media geometry (devmedia.cpp): the media entry for a media id, from
// the printer's pool or the job's custom sizes, with the print area
// extended or the orientation turned.
//
// Settings: groups 362 (document), 363 (page), 364 (job options), 365
// (printer options), 366 (watermark definitions) and 276 (custom sizes) are
// children of the driver instance's settings. A group or an attribute that
// is missing, or of another class than the rule needs, counts as absent: a
// missing 362 or 363 gives an empty state, a missing value skips its step,
// and no copies limit applies without the configuration's 199.
//
// Ownership: commands handed to send are the configuration's once the gate
// lets them through (a command the gate refuses stays the caller's);
// sendDrawing always disposes of its command. The make operations answer
// new objects that the caller owns. The platform layer derives its device
// classes from this one and fills the pure operations.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/attrids.h"
#include "core/cntdptr.h"
#include "core/geometry.h"
#include "core/greal.h"
#include "core/visitor.h"
#include "device/drvinst.h"
#include "rw/wstring.h"

class GAttributeComposite;
class GClipToPath;
class GCommand;
class GDocumentEnd;
class GDocumentStart;
class GFontDatabase;
class GFontMetrics;
class GForwardingSink;
class GGraphicAttribute;
class GGraphicBundle;
class GMedia;
class GPageEnd;
class GPageStart;
class GPathGraphic;
class GRGBColor;
class GState;

class GDevice : public virtual GDriverInstance {
 public:
  // The number of counted current objects: the bundle being filled, the
  // cached cap, joint and miter joint, and seven the platform layer keeps.
  static constexpr int kCurrentObjects = 11;
  enum CurrentObject { kCurrentBundle, kCachedCap, kCachedJoint, kCachedMiterJoint };

  // The font-metrics object from the platform services, a new font
  // database, and a gate without target.
  GDevice();
  GDevice(const GDevice&) = delete;
  GDevice& operator=(const GDevice&) = delete;
  ~GDevice() override;

  // ---- virtual operations, in slot order -------------------------------------------
  // Reads the job options and resets the per-job state: 0.
  virtual int32_t beginJob();
  // Makes a pass-through command of the caller's bytes for a target
  // language and sends it (see devdraw.cpp): the status.
  [[nodiscard]] virtual GStatus makePassThrough(const uint8_t* data, int32_t length, RWClassID target, int32_t withAttribute,
                                  int32_t mark, int32_t asDrawing);
  virtual int32_t devicePlatformHook() = 0;
  virtual int32_t deviceExtensionHookA(uint32_t first, uint32_t second);
  virtual void deviceExtensionHookB(uint32_t value);
  virtual int32_t deviceExtensionHookC(const RWWString& text, uint32_t first, uint32_t second, uint32_t third,
                                       uint32_t fourth);
  virtual uint32_t isFlagged();
  virtual void setFlag();
  // New objects owned by the caller.
  virtual GState* makeDocumentState();
  virtual GDocumentStart* makeDocumentStart(const RWWString& documentName, const RWWString& outputName);
  virtual GDocumentEnd* makeDocumentEnd();
  // Counts the page.
  virtual GPageStart* makePageStart();
  virtual GPageEnd* makePageEnd();
  // A new media entry (the caller's) for the id at the job's orientation
  // and resolution, or null.
  virtual GMedia* mediaForId(int16_t mediaId);
  virtual GMedia* mediaForIdAt(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t orientation);
  // Replaces the entry by one with the printer's minimal margins (501,
  // 502); the old one is deleted. Without both margins the entry stays.
  virtual void extendPrintArea(GMedia*& media);
  [[nodiscard]] virtual GStatus ensurePageStarted();
  // 0 when the drawing may be sent.
  [[nodiscard]] virtual GStatus checkDrawing(GCommand* command) = 0;
  // Takes the command: checkDrawing, ensurePageStarted, send. The command
  // is disposed of on every path, the gate refusing it included.
  [[nodiscard]] virtual GStatus sendDrawing(GCommand* command);
  [[nodiscard]] virtual GStatus send(GCommand* command);
  // Clamps the request (negative: 1; above the configuration's 199: its
  // maximum), writes it to `applied` and group 364's 291, and distributes
  // the copies. Answers the copies 291 held before (0 when none).
  virtual int16_t setCopies(int16_t requested, int16_t& applied);
  [[nodiscard]] virtual GStatus distributeCopies(GAttributeComposite* jobOptions, GAttributeComposite* document,
                                   GAttributeComposite* page, GAttributeComposite* printerOptions);
  [[nodiscard]] virtual GStatus startDocument();
  virtual void endDocument();
  [[nodiscard]] virtual GStatus ensurePageScale();
  // A new composite 379 (the caller's).
  virtual GAttributeComposite* watermarkSettings();
  // A copy (the caller's) of the stored watermark group 364 names, or null.
  virtual GAttributeComposite* findWatermark();
  // The drawing state (devdraw.cpp).
  virtual uint32_t beginPath();
  virtual uint16_t endPath(int32_t mode);
  virtual int32_t clipToPath(int32_t mode, int32_t kind);
  virtual void finishPath(int32_t mode) = 0;
  virtual int32_t closesNestedPath(int32_t mode) = 0;
  virtual void saveDrawingState();
  virtual void restoreDrawingState();

  // ---- driver-instance slots -------------------------------------------------------
  GDevice* asDevice() override { return this; }
  GInterfaceInstance* asInterfaceInstance() override { return nullptr; }
  // resetJob: the instance's reset, then a fresh job.
  void reset(GPrinterDescription* description) override;
  // Going into the driver server's cache: the counted objects, the font
  // database and the cached document state go; the font metrics release
  // their data.
  void releaseResources() override;

  // ---- not virtual ---------------------------------------------------------------
  GFontDatabase* fontDatabase() const { return fontDatabase_.get(); }
  GFontMetrics* fontMetrics() const { return fontMetrics_.get(); }
  GForwardingSink& outputGate() { return *gate_; }
  uint32_t clipCapability() const { return clipCapability_; }
  uint32_t capabilityFlag120() const { return capabilityFlag120_; }
  uint32_t passThroughAllowed() const { return passThroughAllowed_; }
  int32_t renderingModeTest(int32_t plane) const;
  uint16_t renderingMode() const { return renderingMode_; }
  // A job moved to another platform device takes that device's mode.
  void setRenderingMode(uint16_t mode) { renderingMode_ = mode; }
  uint32_t prefersClipPaths() const { return prefersClipPaths_; }
  GScaleFactors scaleFactors() const { return GScaleFactors(scaleX_, scaleY_); }
  uint32_t isScaled() const { return scaled_; }
  // Turns the entry to the angle: see device.cpp.
  void setMediaOrientation(GMedia*& media, int32_t angle);
  [[nodiscard]] GStatus resetSettings();
  [[nodiscard]] GStatus applySettings();

  // The abort flag: set when the device is given up for an error device,
  // and never cleared by a job. A platform device may answer more (the
  // spooler cancelling the job), the flag first.
  void setAborted(uint32_t aborted) { aborted_ = aborted; }
  virtual uint32_t isAborted() { return aborted_; }

  // ---- the job's words -------------------------------------------------------------
  uint32_t state() const { return state_; }
  void setState(uint32_t state) { state_ = state; }
  uint32_t documentPending() const { return documentPending_; }
  void setDocumentPending(uint32_t pending) { documentPending_ = pending; }
  uint32_t documentStarted() const { return documentStarted_; }
  void setDocumentStarted(uint32_t started) { documentStarted_ = started; }
  uint32_t pageStarted() const { return pageStarted_; }
  uint32_t pagePending() const { return pagePending_; }
  void setPagePending(uint32_t pending) { pagePending_ = pending; }
  uint32_t pageCount() const { return pageCount_; }
  const RWWString& documentName() const { return documentName_; }
  const RWWString& outputName() const { return outputName_; }
  void setDocumentName(const RWWString& name) { documentName_ = name; }
  void setOutputName(const RWWString& name) { outputName_ = name; }
  uint32_t psPassThroughMode() const { return psPassThroughMode_; }
  void setPsPassThroughMode(uint32_t value) { psPassThroughMode_ = value; }
  uint32_t alternateTextCaps() const { return alternateTextCaps_; }
  uint32_t twoColor() const { return twoColor_; }
  uint16_t psTrueTypeMode() const { return psTrueTypeMode_; }
  uint16_t psDeviceFontSource() const { return psDeviceFontSource_; }
  uint32_t pageScaling() const { return pageScaling_; }
  uint32_t colorMode() const { return colorMode_; }
  RWClassID generatorClass() const { return generatorClass_; }
  uint32_t isPostScript() const { return postScript_; }
  uint32_t processingFlags() const { return processingFlags_; }
  uint32_t firstPageMediaForAll() const { return firstPageMediaForAll_; }
  void setFirstPageMediaForAll(uint32_t all) { firstPageMediaForAll_ = all; }

  // ---- the drawing state -----------------------------------------------------------
  // The bundle to fill: the current one cleared when the device alone holds
  // it, else a new one. Still the device's.
  GGraphicBundle* currentBundle();
  // A cap attribute to send (held by the device's cache), or null when the
  // cap last sent is that one.
  GGraphicAttribute* capFor(int32_t cap);
  // A join attribute to send: a joint for a non-zero join, a miter joint
  // for 0; null when it is the join last sent. The last sent join is the
  // platform layer's to record.
  GGraphicAttribute* jointFor(int32_t join, GReal miterLimit);
  void setLastSentJoin(GGraphicAttribute* join);
  GCountedPtr& currentObject(int index) { return currentObjects_[index]; }
  uint32_t currentCap() const { return cap_; }
  uint32_t currentJoin() const { return join_; }
  GReal currentMiterLimit() const { return miterLimit_; }
  void setCurrentCap(uint32_t cap) { cap_ = cap; }
  void setCurrentJoin(uint32_t join) { join_ = join; }
  void setCurrentMiterLimit(GReal limit) { miterLimit_ = limit; }
  uint32_t pathDepth() const { return pathDepth_; }
  GPathGraphic* currentPath() const { return currentPath_.get(); }
  GClipToPath* clipPath() const { return clipPath_.get(); }
  uint32_t pathWord(int index) const { return pathWords_[index & 1]; }
  void setPathWord(int index, uint32_t value) { pathWords_[index & 1] = value; }
  uint32_t graphicStateWord() const { return graphicStateWord_; }
  void setGraphicStateWord(uint32_t word) { graphicStateWord_ = word; }
  uint32_t savedStateWord() const { return savedStateWord_; }
  void setSavedStateWord(uint32_t word) { savedStateWord_ = word; }
  size_t savedDrawingStates() const { return savedStates_.size(); }

 protected:
  // The settings, made through createSettings when there are none; may be
  // null.
  GAttributeComposite* jobSettings();
  // A settings group (a direct member that is an attribute composite), or
  // null.
  GAttributeComposite* settingsGroup(uint32_t id);
  // Gives up the font database for good: a device that prints nothing
  // keeps none, and fontDatabase() answers null from then on (the device's
  // own steps cope with that).
  void dropFontDatabase() { fontDatabase_.reset(); }

 private:
  // Deletes what the device owns, out of line: the classes are only named
  // here.
  struct Deleter {
    void operator()(MPersistentObject* object) const;
    void operator()(GFontMetrics* metrics) const;
    void operator()(GFontDatabase* database) const;
    void operator()(GForwardingSink* gate) const;
  };
  // One saved drawing state.
  struct SavedState {
    uint32_t cap;
    uint32_t join;
    GReal miterLimit;
    uint32_t savedStateWord;
    std::unique_ptr<GClipToPath, Deleter> clip;
  };

  // Puts the media the state selects (260) in its place as the entry itself
  // (259); a page state also gets the printable origin as its transform.
  void applyDeviceState(GState& state, GAttributeComposite* jobOptions, bool pageState);
  // sendDrawing's work; `sent` says whether the command reached send.
  [[nodiscard]] GStatus sendDrawingReporting(GCommand* command, bool& sent);
  // The drawing state's part of beginJob and releaseResources.
  void discardDrawingState();
  GMedia* customMedia(int16_t mediaId, bool forJob, int16_t xResolution, int16_t yResolution, int32_t orientation);
  void newFontDatabase();

  std::unique_ptr<GFontMetrics, Deleter> fontMetrics_;
  std::unique_ptr<GFontDatabase, Deleter> fontDatabase_;
  uint32_t documentPending_;
  uint32_t documentStarted_;
  RWWString documentName_;
  RWWString outputName_;
  uint32_t state_;
  uint32_t pageStarted_;
  uint32_t pagePending_;
  uint32_t psPassThroughMode_;
  uint32_t reserved_;
  std::unique_ptr<GForwardingSink, Deleter> gate_;
  uint32_t pageCount_;
  uint32_t defaultCap_;
  uint32_t defaultJoin_;
  GReal defaultMiterLimit_;
  std::unique_ptr<GRGBColor, Deleter> defaultColor_;
  std::unique_ptr<GRGBColor, Deleter> currentColor_;
  uint32_t cap_;
  uint32_t join_;
  GReal miterLimit_;
  uint32_t alternateTextCaps_;
  uint32_t twoColor_;
  uint16_t renderingMode_;
  uint16_t psTrueTypeMode_;
  uint16_t psDeviceFontSource_;
  uint32_t pathDepth_;
  std::unique_ptr<GPathGraphic, Deleter> currentPath_;
  std::vector<std::unique_ptr<GPathGraphic, Deleter>> pathStack_;
  uint32_t clipCapability_;
  uint32_t capabilityFlag120_;
  uint32_t prefersClipPaths_;
  // Newest last.
  std::vector<SavedState> savedStates_;
  std::unique_ptr<GClipToPath, Deleter> clipPath_;
  uint32_t pathWords_[2];
  uint32_t graphicStateWord_;
  uint32_t savedStateWord_;
  // Held, so that an attribute freed and another made at its address is
  // never taken for the one sent.
  GCountedRef lastSentCap_;
  GCountedRef lastSentJoin_;
  uint32_t flagged_;
  GCountedPtr currentObjects_[kCurrentObjects];
  uint32_t firstPageMediaForAll_;
  uint32_t pageScaling_;
  GReal scaleX_;
  GReal scaleY_;
  uint32_t scaled_;
  std::unique_ptr<GState, Deleter> cachedDocumentState_;
  uint32_t scaledPage_;
  uint32_t colorMode_;
  RWClassID generatorClass_;
  uint32_t processingFlags_;
  uint32_t passThroughAllowed_;
  uint32_t postScript_;
  uint32_t aborted_;
};

#endif
