#ifndef DEVICE_DRVINST_H
#define DEVICE_DRVINST_H

// The driver instance: the per-printer object that owns a printer's stored
// configuration tree, its current settings and its three code-mapping
// lists, and answers the platform layer's questions about the printer
// (media, trays, resolutions, paper codes, the locale's paper) without the
// platform layer walking the tree itself.
//
// It is the virtual base of the device (one per enabled printer device) and
// of the interface instance (the user interface's side); the platform layer
// derives its own classes from these and fills the pure operations. Not
// persistent: the driver server restores the four stored parts from the
// printer's data file and hands them over (id 353 the configuration root,
// 191 the code mappings, 84 the tray mappings, 194 the resource mappings).
//
// Everything the instance reads from the tree or the settings is looked up
// by attribute id and checked for its class: a part or an attribute that is
// missing, or of another class than expected, counts as absent, and the
// operation skips that step or answers its empty result (null, 0, -1, or 2
// for checkMediaId). A stored tree is outside data; nothing here trusts its
// shape.
//
// Ownership: the instance owns its parts, its settings and the centred media
// pool it derives; setting a part deletes the one it replaces. Objects the
// accessors answer stay the instance's (or the tree's).

#include <cstdint>
#include <memory>

#include "core/attrids.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

class MPersistentObject;
class GAttribute;
class GAttributeComposite;
class GConfiguration;
class GCustomMediaSize;
class GDevice;
class GDeviceFontListComposite;
class GInterfaceInstance;
class GMedia;
class GMediaPool;
class GPaperHandlingDevice;
class GPeripheral;
class GPeripheralComposite;
class GPrinterDescription;
class GResourceMapping;
class GResourceMappingList;
class GTray;

// Enumeration callbacks: the item, its code mapping (null when none was
// asked for), the running index and the caller's buffer; setting the status
// to 1 marks a hit. They answer 1 to go on.
using GMediaCallback = int (*)(GMedia* entry, GResourceMapping* mapping, int32_t index, void* buffer,
                               int32_t& status);
using GTrayCallback = int (*)(GTray* tray, GResourceMapping* mapping, int32_t index, void* buffer,
                              int32_t& status);
// The media-type enumeration's: the mapping (or null), the running index,
// the buffer, the status and the extra type's name (or null).
// The paper enumeration's: the running count (from 1), the paper's media
// id, its name and the caller's data. It answers 1 to go on.
using GPaperCallback = int32_t (*)(int32_t count, int16_t mediaId, const RWWString& name, void* data);
using GMediaTypeCallback = int (*)(GResourceMapping* mapping, int32_t index, void* buffer, int32_t& status,
                                   const RWCString* name);

class GDriverInstance {
 public:
  GDriverInstance();
  GDriverInstance(const GDriverInstance&) = delete;
  GDriverInstance& operator=(const GDriverInstance&) = delete;

  // ---- virtual operations, in slot order ---------------------------------------
  // Deletes the configuration, the three mapping lists, the settings and the
  // derived media pool.
  virtual ~GDriverInstance();
  virtual int32_t platformHookA() = 0;
  // The device answers itself, the interface instance null; and the other
  // way round.
  virtual GDevice* asDevice() = 0;
  virtual GInterfaceInstance* asInterfaceInstance() = 0;
  virtual int32_t platformHookB() = 0;
  // A new settings composite (owned by the caller), asked for when the
  // settings are null.
  virtual GAttributeComposite* createSettings() = 0;
  // Stores the printer Config through a secondary port of the provider
  // registry (capability 0x10000): its status, or 603 without a port or
  // without a printer Config.
  [[nodiscard]] virtual uint16_t saveConfiguration();
  // Copies the user's printer options (group 365 of the given settings, or
  // of the instance's) into the printer's configuration: 1, or 0 when there
  // is no such group.
  [[nodiscard]] virtual int32_t mergeSettings(GAttributeComposite* settings);
  // The printer description of a reuse is not looked at here: the cached
  // configuration value goes stale and the derived media pool goes.
  virtual void reset(GPrinterDescription* description);
  virtual void releaseResources() = 0;
  // Nothing to free in the base: 0.
  virtual int32_t freeMemory();
  // Attribute 339 of the configuration root's Config, read once until the
  // next reset; 0 when there is none.
  virtual uint32_t configurationValue();
  virtual int32_t supportsMediaCode(int32_t orientation, int16_t xResolution, int16_t yResolution, int32_t bounded,
                                    uint16_t firstCode);
  virtual int32_t keepsAbsentFontSources();
  virtual int32_t supportsTray(uint16_t firstCode);
  // An entry of 206 holding 323 = x and 324 = y.
  virtual int32_t supportsResolution(int16_t xResolution, int16_t yResolution);
  // Through the code mappings: 1 and the other code, or 0.
  [[nodiscard]] virtual int32_t secondCodeFor(uint16_t firstCode, int16_t& secondCode);
  [[nodiscard]] virtual int32_t firstCodeFor(int16_t secondCode, uint16_t& firstCode);
  // 1 (letter) or 23 (A4) by the user's country.
  virtual int16_t localeDefaultPaper();
  // Gives the size the lowest free custom media id and puts it into the
  // composite, which then owns it, in place of a size of the same name: 1.
  // 0 when every id is taken (or either is null); the size stays the
  // caller's.
  [[nodiscard]] virtual int32_t addCustomMediaSize(GCustomMediaSize* size, GAttributeComposite* composite);
  // Removes the child from the composite and deletes what came out: 1, or 0
  // when it was not there.
  [[nodiscard]] virtual int32_t deleteChild(MPersistentObject* child, MPersistentObject* composite);
  virtual int32_t extensionHookA(uint32_t first, uint32_t second, uint32_t third, uint32_t fourth);
  virtual int32_t extensionHookB(uint32_t first, uint32_t second, uint32_t third);
  // checkMediaId with the composite's orientation (265) and its resolution
  // group's 323 and 324 (0 where absent).
  virtual int32_t checkMediaIdFor(GAttributeComposite* settings, int16_t mediaId);
  // 1 known, 2 unknown: ids from 0x4000 up are unknown; below, an id is
  // known when the printer's paper-name table (192) has it or there is no
  // table. No printer Config: 2.
  virtual int32_t checkMediaId(GAttributeComposite* settings, int16_t mediaId, int16_t orientation,
                               int16_t xResolution, int16_t yResolution);
  // The printer Config's text 401, widened; empty when absent.
  virtual RWWString setting401Text();
  virtual GPrinterDescription* printerDescription() = 0;
  // Merges the values (360) of the named settings entry of 369 whose name
  // (370) is the given one into the target: 1, or 0 when none is.
  [[nodiscard]] virtual int32_t applyNamedSettings(const RWWString& name, GAttribute* target);
  virtual GAttributeComposite* defaultSettings() = 0;

  // ---- what a platform's settings part answers -------------------------------------
  // The base answers for a printer without a forms database or a DEVMODE;
  // the kernel driver's settings part overrides them all.
  //
  // The settings tree for a job, owned by the caller: the base answers
  // defaultSettings.
  virtual GAttributeComposite* assembleSettings();
  // Whether the form at a 1-based index of the platform's forms list fits
  // the printer at the angle and resolution (the size range checked only
  // when asked): 0 in the base, which knows no forms.
  virtual int32_t formFits(int32_t angle, int16_t xResolution, int16_t yResolution, int32_t rangeCheck,
                           int32_t formIndex);
  // Whether the printer is served from another machine: 0 in the base.
  virtual int32_t isServedPrinter();
  // Walk the papers the platform offers, calling the routine for each; 0 in
  // the base, which offers none.
  [[nodiscard]] virtual int32_t enumeratePapers(GPaperCallback routine, void* data, GAttributeComposite* settings);
  [[nodiscard]] virtual int32_t enumerateFittingPapers(GPaperCallback routine, void* data, int32_t rangeCheck,
                                         GAttributeComposite* settings);
  // The settings tree the platform's DEVMODE carries, owned by the caller;
  // null in the base.
  virtual GAttributeComposite* restoreDevModeSettings();

  // ---- names and flags ---------------------------------------------------------
  const RWWString& deviceName() const { return deviceName_; }
  const RWWString& modelName() const { return modelName_; }
  const RWWString& portName() const { return portName_; }
  void setDeviceName(const RWWString& name) { deviceName_ = name; }
  void setModelName(const RWWString& name) { modelName_ = name; }
  void setPortName(const RWWString& name) { portName_ = name; }
  uint32_t flags() const { return flags_; }
  void setFlags(uint32_t flags) { flags_ = flags; }
  uint32_t configurationUsed() const { return configurationUsed_; }
  void setConfigurationUsed(uint32_t used) { configurationUsed_ = used; }

  // ---- the stored parts ----------------------------------------------------------
  GPeripheralComposite* configuration() const { return configuration_.get(); }
  GResourceMappingList* codeMappings() const { return codeMappings_.get(); }
  GResourceMappingList* storedPart() const { return trayMappings_.get(); }
  GResourceMappingList* resourceMappings() const { return resourceMappings_.get(); }
  // Each takes the part (null for none) and deletes the one it held.
  void setConfiguration(GPeripheralComposite* configuration);
  void setCodeMappings(GResourceMappingList* mappings);
  void setStoredPart(GResourceMappingList* mappings);
  void setResourceMappings(GResourceMappingList* mappings);

  // ---- settings -------------------------------------------------------------------
  GAttributeComposite* settings() const { return settings_.get(); }
  // Takes the settings (null for none) and deletes those it held.
  void setSettings(GAttributeComposite* settings);

  // ---- derived objects (the tree's; null when absent) ------------------------------
  // The configuration's stage with id 76, at any depth.
  GPeripheral* printer() const;
  GConfiguration* printerConfig() const;
  // The printer's first stage of the generators' kind (765).
  GPeripheral* pdlGenerator() const;
  GAttributeComposite* paperHandlingDevices() const;
  GMediaPool* printerSetting189() const;

  // The pool media are chosen from: the alternate pool (195) when the
  // settings ask for it (711), else the printer's (189), or, when the
  // settings ask for centred printable areas (713), a copy of it with each
  // entry's printable area centred, built once until reset. Null without a
  // printer Config.
  GMediaPool* mediaPool();

  // Each answers 1 when there was a hit, else -1, and the count of the
  // items looked at. Without a buffer the callback is not called and every
  // item counts as a hit.
  [[nodiscard]] int32_t selectMedia(GMediaCallback callback, void* buffer, int32_t orientation, int16_t xResolution,
                      int16_t yResolution, int32_t useCodeMappings, int32_t bounded, int32_t& count);
  [[nodiscard]] int32_t enumerateSources(GTrayCallback callback, void* buffer, int32_t useTrayMappings, int32_t& count);
  [[nodiscard]] int32_t enumerateMediaTypes(GMediaTypeCallback callback, void* buffer, int32_t passMappings, int32_t& count);
  // Appends one mapping per extra media type of the settings (701): first
  // code 16690 + i, second code 50 + i, resource id 0. Answers the
  // settings' 701 (null when absent; the settings are made when null).
  GAttributeComposite* addListMappings(GResourceMappingList& list);
  int32_t hasMappingForFirstCode(uint16_t firstCode);

  // Font lists of the printer's mass-storage devices.
  // Takes out of the printer Config's font lists (414) every mass-storage
  // source the kept list does not have, then merges the kept list in.
  void pruneMassStorageFonts(const GDeviceFontListComposite* kept);
  // The printer's stored list "AddedFonts" (owned by the caller), or null.
  GDeviceFontListComposite* fontSourceList();
  [[nodiscard]] int32_t storeFontSourceList(const GDeviceFontListComposite* list);

 private:
  // The settings, made through createSettings when there are none.
  GAttributeComposite* ensureSettings();
  // The media-size bounds for an orientation and resolution: the pool's
  // entries 17385 (lower) and 17384 (upper) when bounded and present.
  void sizeBounds(GMediaPool* pool, int32_t orientation, int16_t xResolution, int16_t yResolution,
                  int32_t bounded, int16_t bounds[4]);
  // A new pool of copies of the entries with centred printable areas; null
  // when it cannot be made.
  static GMediaPool* centredCopy(GMediaPool& pool);

  RWWString deviceName_;
  RWWString modelName_;
  RWWString portName_;
  uint32_t flags_;
  struct PartDeleter {
    void operator()(MPersistentObject* object) const;
  };
  std::unique_ptr<GPeripheralComposite, PartDeleter> configuration_;
  uint32_t configurationUsed_;
  uint32_t cacheStale_;
  uint32_t cachedValue_;
  std::unique_ptr<GResourceMappingList, PartDeleter> codeMappings_;
  std::unique_ptr<GResourceMappingList, PartDeleter> trayMappings_;
  std::unique_ptr<GResourceMappingList, PartDeleter> resourceMappings_;
  std::unique_ptr<GAttributeComposite, PartDeleter> settings_;
  std::unique_ptr<GMediaPool, PartDeleter> derivedPool_;
};

// The user interface's instance: nothing but its driver-instance base.
class GInterfaceInstance : public virtual GDriverInstance {
 public:
  GInterfaceInstance();
  ~GInterfaceInstance() override;

  GDevice* asDevice() override { return nullptr; }
  GInterfaceInstance* asInterfaceInstance() override { return this; }
  void releaseResources() override {}

  // Whether the text holds the command character of the printer's
  // generator, as the generator answers; false without one.
  bool hasCommandCharacter(const RWCString& text) const;
};

#endif
