#ifndef UI_DIALOG_H
#define UI_DIALOG_H

// The dialog framework: pages own controls, a control binds dialog items
// (given as {item id, help id} pairs ended by item 0) to one model it owns.
// Every routed message is one update of the session: the control handles
// it, the rules run over what changed, every control re-reads its model.
// A control's visible and enabled flags cache what was last applied, so
// the same state twice touches no window; attach forgets them.

#include <cstdint>
#include <memory>
#include <vector>

#include "host/uihost/win32ui.h"
#include "rw/cstring.h"
#include "ui/cursor.h"
#include "ui/model.h"

class GUISession;

struct GHelpPair {
  int32_t item;
  int32_t help;
};

class GUIControl {
 public:
  // The table is copied up to and including the pair with item 0.
  GUIControl(const GHelpPair* table, std::unique_ptr<GUIObject> model);
  GUIControl(const GUIControl&) = delete;
  GUIControl& operator=(const GUIControl&) = delete;
  virtual ~GUIControl();

  virtual void refresh(bool force);
  // Non-zero when the model may have changed.
  virtual int32_t onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void attached();
  virtual bool ownsWindow(HWND window) const;
  virtual bool hasItem(uint16_t id) const;
  virtual const GHelpPair* helpTable() const { return table_.data(); }
  virtual void readModel(bool force) = 0;
  virtual void writeModel() = 0;
  virtual void updateState();
  virtual void applyState(int16_t state);
  virtual void setEnabled(bool enabled);
  virtual void enableItem(size_t index, bool enabled);
  virtual void setVisible(bool visible);
  virtual void showItem(size_t index, bool visible);
  HWND dialogWindow() const { return dialog_; }

  void attach(HWND dialog);
  uint16_t itemId(size_t index) const { return static_cast<uint16_t>(table_[index].item); }
  size_t items() const { return table_.size() - 1; }
  GUIObject* model() const { return model_.get(); }

 private:
  HWND dialog_ = 0;
  bool visible_ = true, enabled_ = true, visibleKnown_ = false, enabledKnown_ = false;
  std::vector<GHelpPair> table_;
  std::unique_ptr<GUIObject> model_;
};

class GUIPage {
 public:
  GUIPage(GUISession* session, uint16_t dialogId, uint16_t helpBase);
  GUIPage(const GUIPage&) = delete;
  GUIPage& operator=(const GUIPage&) = delete;
  virtual ~GUIPage();

  virtual void addControl(GUIControl* control);  // owned from here
  virtual void attachControls();
  virtual void refreshControls(bool force);
  virtual void broadcast(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void routeToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void routeToItem(uint16_t item, UINT message, WPARAM wParam, LPARAM lParam);
  virtual INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND window() const { return window_; }
  virtual bool showContextHelp(HWND window, UINT command);
  GUIControl* controlForWindow(HWND window) const;
  GUIControl* helpControlForWindow(HWND window) const;
  virtual void setWindow(HWND window) { window_ = window; }
  virtual void afterMessage(int32_t changed);

  GUISession* session() const { return session_; }
  uint16_t dialogId() const { return dialogId_; }

 private:
  GUISession* session_;
  uint16_t dialogId_;
  uint16_t helpBase_;
  HWND window_ = 0;
  RWCString helpFile_;
  std::vector<std::unique_ptr<GUIControl>> controls_;
};

class GPropertyPage : public GUIPage {
 public:
  // Fills the entry and keeps itself in the entry's page record.
  GPropertyPage(PROPSHEETPAGEW* entry, HMODULE resources, uint16_t dialogId, GUISession* session, bool withHelp,
                uint16_t helpBase);
  INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void setWindow(HWND window) override { GUIPage::setWindow(window); }
  // The host's entry this page fills.
  PROPSHEETPAGEW* entry() const { return entry_; }
  static INT_PTR dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  PROPSHEETPAGEW* entry_;
};

class GSubDialog : public GUIPage {
 public:
  GSubDialog(uint16_t dialogId, GUISession* session, bool withHelp, uint16_t helpBase);
  INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The dialog's result. With undo, Cancel puts back what changed inside.
  INT_PTR run(HWND parent, bool undo);
  static INT_PTR dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// Item 0 a check box over a feature model: checked exactly for 1.
class GCheckBoxControl : public GUIControl {
 public:
  GCheckBoxControl(const GHelpPair* table, std::unique_ptr<GFeatureModel> model);
  void readModel(bool force) override;
  void writeModel() override;

 private:
  GFeatureModel* feature_;
};

// A value 0 off, 1 on, 2 on with the option of the dependent box.
class GTwoLevelModel : public GFeatureModel {
 public:
  using GFeatureModel::GFeatureModel;
  // True when the option is locked: the dependent box is then disabled and
  // checked exactly when secondTest is false.
  virtual bool lockTest() { return false; }
  virtual bool secondTest() { return false; }
};

// Item 0 the main check box, item 1 the dependent one.
class GTwoLevelCheckBox : public GUIControl {
 public:
  GTwoLevelCheckBox(const GHelpPair* table, std::unique_ptr<GTwoLevelModel> model);
  void readModel(bool force) override;
  void writeModel() override;

 private:
  GTwoLevelModel* feature_;
};

// A choice that may not be offered: unavailable, it is written as 2.
class GAvailabilityModel : public GFeatureModel {
 public:
  using GFeatureModel::GFeatureModel;
  virtual bool available() { return true; }
};

class GAvailabilityCheckBox : public GUIControl {
 public:
  GAvailabilityCheckBox(const GHelpPair* table, std::unique_ptr<GAvailabilityModel> model);
  void readModel(bool force) override;
  void writeModel() override;
  void updateState() override;

 private:
  GAvailabilityModel* feature_;
};

// The values a combo box offers and the string that names each.
class GChoiceModel : public GFeatureModel {
 public:
  using GFeatureModel::GFeatureModel;
  virtual std::vector<int16_t> choices() = 0;
  virtual int32_t stringIdFor(int16_t value) = 0;
};

// Item 0 a companion item, item 1 the combo box.
class GChoiceComboBox : public GUIControl {
 public:
  GChoiceComboBox(const GHelpPair* table, std::unique_ptr<GChoiceModel> model);
  void attached() override;
  void readModel(bool force) override;
  void writeModel() override;
  int32_t onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void fill();
  GChoiceModel* feature_;
  GComboBoxRef combo_;
};

// Where an item's top edge goes, in dialog units from the top of the page.
class GShiftedItemModel : public GUIObject {
 public:
  using GUIObject::GUIObject;
  virtual int16_t verticalOffset() { return 0; }
};

// Item 0 is moved so that its top edge is at the model's offset (its other
// edges stay) and shown; it shows no value.
class GShiftedItemControl : public GUIControl {
 public:
  GShiftedItemControl(const GHelpPair* table, std::unique_ptr<GShiftedItemModel> model);
  void readModel(bool) override {}
  void writeModel() override {}
  void updateState() override;

 private:
  GShiftedItemModel* shifted_;
};

#endif
