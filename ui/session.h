#ifndef UI_SESSION_H
#define UI_SESSION_H

// One session per property sheet: the settings being edited, the printer
// Config (read only), the rules, the undo records and the quick-set pool,
// and the way back to the host.
//
// Every handled message is one update: beginUpdate, the handler's changes
// (each recorded before it is made: a deep copy of the old attribute and
// its id in the changed list), the rule loop, endUpdate. Nested updates (a
// message box or a sub-dialog inside a handler) share the outermost one's
// records. An open undo level keeps, per attribute, the value it had when
// the level was opened, so that a cancelled sub-dialog puts everything
// back.
//
// Ownership: the session owns its default settings, pool, rules and
// records; the settings tree and the host record are the host's (though
// resetToDefaults replaces the host's settings with new ones).

#include <cstdint>
#include <memory>
#include <vector>

#include "core/attrib.h"
#include "core/visitor.h"
#include "host/uihost/win32ui.h"
#include "rw/cstring.h"
#include "ui/cursor.h"

class GAttribute;
class GAttributeComposite;
class GDriverInstance;
class GFeatureRule;
class GMedia;
class GResourceMappingList;
class MPersistentObject;

struct GUndoRecord {
  std::unique_ptr<MPersistentObject> attribute;  // deep copy of the old one
  std::unique_ptr<std::vector<uint32_t>> path;   // composite ids from the settings root
  uint32_t id() const;
  // Same id, and paths both absent or of one length with one first id.
  bool isSame(const GUndoRecord& other) const;
  static bool samePath(const std::vector<uint32_t>* a, const std::vector<uint32_t>* b);
};
using GUndoList = std::vector<std::unique_ptr<GUndoRecord>>;  // newest first

class GUISession {
 public:
  explicit GUISession(UIHostRecord* record);
  GUISession(const GUISession&) = delete;
  GUISession& operator=(const GUISession&) = delete;
  // Stores the pool (when one was asked for) under "QuicksetPool".
  virtual ~GUISession();

  virtual void reEvaluate(bool all);
  virtual void addRule(GFeatureRule* rule);  // owned from here
  virtual void beginUpdate(HWND window);
  virtual int16_t endUpdate();
  virtual void restore(const GUndoList& records);
  virtual void revert();
  virtual void notifyHost(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void resetToDefaults();
  virtual void recordChange(const GAttribute& attribute, const std::vector<uint32_t>* path);
  virtual void setRefreshAll(bool flag);
  virtual void pushUndoLevel();
  virtual void popUndoLevel(bool restoreValues);
  [[nodiscard]] virtual GStatus apply();
  [[nodiscard]] virtual int32_t reconcileSettings();
  virtual uint32_t hostFlags() const;
  virtual GResourceMappingList* codeMappings() const { return codeMappings_; }
  virtual GResourceMappingList* storedMappings() const { return storedMappings_; }
  virtual HWND updateWindow() const { return updateWindow_; }
  virtual bool refreshAllPending() const;
  virtual int32_t checkMediaId(int16_t mediaId);

  GAttributeCursor settingsCursor() { return GAttributeCursor(settings_, this, false); }
  GAttributeCursor printerConfigCursor() { return GAttributeCursor(printerConfig_, this, true); }
  GAttributeCursor scratchCursor();
  GAttributeCursor defaultsCursor() { return GAttributeCursor(defaults_.get(), this, true); }

  GAttributeComposite* settings() const { return settings_; }
  MPersistentObject* printerConfig() const { return printerConfig_; }
  GAttributeComposite* scratch() const;
  void addScratch(GAttribute* attribute);
  std::unique_ptr<MPersistentObject> removeScratch(uint32_t id);
  MPersistentObject* findScratch(uint32_t id) const;
  GAttributeComposite* customBinNames() const;
  MPersistentObject* settingsChild378() const;
  MPersistentObject* settingsChild701() const;

  bool wasChanged(uint32_t id, const std::vector<uint32_t>* path) const;
  RWCString helpFileName() const;
  int16_t printerResolution() const;
  // The pool, loaded from the printer's values on first use.
  GAttributeComposite* quickSetPool(bool& loaded);
  // The scratch group's, or null.
  GMedia* makeCustomMedia(int16_t mediaId, int16_t xResolution, int16_t yResolution);

  GDriverInstance* printerObject() const;
  int16_t localeDefaultPaper() const;
  int32_t addCustomSize(MPersistentObject* size);
  int32_t removeCustomSize(MPersistentObject* size);
  int32_t eachPrinterChoice(int32_t (*routine)(int32_t, int16_t, const RWWString&, void*), void* data,
                            int32_t rangeCheck);
  int32_t eachPrinterValue(int32_t (*routine)(int32_t, int16_t, const RWWString&, void*), void* data);

  UIHostRecord* hostRecord() const { return record_; }
  int16_t depth() const { return depth_; }
  const std::vector<uint32_t>& changedIds() const { return changed_; }
  const GUndoList& records() const { return records_; }
  size_t undoLevels() const { return levels_.size(); }
  size_t rules() const { return rules_.size(); }
  // Passes the last rule loop made.
  int32_t lastPasses() const { return lastPasses_; }

 private:
  MPersistentObject* printerConfig_ = nullptr;  // the host's
  GAttributeComposite* settings_ = nullptr;
  std::unique_ptr<GAttributeComposite> defaults_;
  std::unique_ptr<GAttributeComposite> pool_;
  UIHostRecord* record_ = nullptr;
  std::vector<std::unique_ptr<GFeatureRule>> rules_;
  GUndoList records_;
  std::vector<uint32_t> changed_;  // newest first
  std::vector<GUndoList> levels_;  // top last
  int16_t depth_ = 0;
  bool notified_ = false;
  bool refreshAll_ = false;
  bool evaluating_ = false;
  HWND updateWindow_ = 0;
  GResourceMappingList* codeMappings_ = nullptr;
  GResourceMappingList* storedMappings_ = nullptr;
  int32_t lastPasses_ = 0;
};

#endif
