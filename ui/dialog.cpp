#include "ui/dialog.h"

#include "ui/session.h"
#include "ui/uires.h"

// ------------------------------------------------------------------ control

GUIControl::GUIControl(const GHelpPair* table, std::unique_ptr<GUIObject> model) : model_(std::move(model)) {
  for (const GHelpPair* p = table; p; ++p) {
    table_.push_back(*p);
    if (p->item == 0) break;
  }
  if (table_.empty() || table_.back().item != 0) table_.push_back({0, 0});
}

GUIControl::~GUIControl() = default;

void GUIControl::refresh(bool force) {
  updateState();
  readModel(force);
}

int32_t GUIControl::onMessage(UINT message, WPARAM, LPARAM) {
  if (message != WM_COMMAND) return 0;
  writeModel();
  return 1;
}

void GUIControl::attached() {}

bool GUIControl::ownsWindow(HWND window) const {
  if (!window) return false;
  for (size_t i = 0; i < items(); ++i)
    if (GetDlgItem(dialog_, table_[i].item) == window) return true;
  return false;
}

bool GUIControl::hasItem(uint16_t id) const {
  for (size_t i = 0; i < items(); ++i)
    if (itemId(i) == id) return true;
  return false;
}

void GUIControl::updateState() { applyState(model_ ? model_->state() : 0); }

void GUIControl::applyState(int16_t state) {
  switch (state) {
    case 0: setVisible(true), setEnabled(true); break;
    case 1: setVisible(true), setEnabled(false); break;
    case 2: setVisible(false); break;
    default: break;
  }
}

void GUIControl::setEnabled(bool enabled) {
  if (enabledKnown_ && enabled == enabled_) return;
  enabled_ = enabled, enabledKnown_ = true;
  for (size_t i = 0; i < items(); ++i) enableItem(i, enabled);
}

void GUIControl::enableItem(size_t index, bool enabled) {
  // A read-only sheet keeps every item disabled.
  if (model_ && (model_->hostFlags() & 1)) enabled = false;
  if (enabled && !enabled_) return;
  EnableWindow(GetDlgItem(dialog_, table_[index].item), enabled ? 1 : 0);
}

void GUIControl::setVisible(bool visible) {
  if (visibleKnown_ && visible == visible_) return;
  visible_ = visible, visibleKnown_ = true;
  for (size_t i = 0; i < items(); ++i) showItem(i, visible);
}

void GUIControl::showItem(size_t index, bool visible) {
  if (visible && !visible_) return;
  ShowWindow(GetDlgItem(dialog_, table_[index].item), visible ? SW_SHOW : SW_HIDE);
}

void GUIControl::attach(HWND dialog) {
  dialog_ = dialog;
  visible_ = enabled_ = true;
  visibleKnown_ = enabledKnown_ = false;
  attached();
}

// --------------------------------------------------------------------- page

GUIPage::GUIPage(GUISession* session, uint16_t dialogId, uint16_t helpBase)
    : session_(session), dialogId_(dialogId), helpBase_(helpBase), helpFile_(session->helpFileName()) {}

GUIPage::~GUIPage() = default;

void GUIPage::addControl(GUIControl* control) {
  if (control) controls_.emplace_back(control);
}

void GUIPage::attachControls() {
  for (auto& c : controls_) {
    c->attach(window_);
    c->refresh(false);
  }
}

void GUIPage::refreshControls(bool force) {
  for (auto& c : controls_) c->refresh(force);
}

void GUIPage::broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  session_->beginUpdate(window_);
  int32_t changed = 0;
  for (auto& c : controls_) changed |= c->onMessage(message, wParam, lParam);
  afterMessage(changed);
}

void GUIPage::routeToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  session_->beginUpdate(window_);
  GUIControl* c = controlForWindow(window);
  afterMessage(c ? c->onMessage(message, wParam, lParam) : 0);
}

void GUIPage::routeToItem(uint16_t item, UINT message, WPARAM wParam, LPARAM lParam) {
  routeToWindow(GetDlgItem(window_, item), message, wParam, lParam);
}

void GUIPage::afterMessage(int32_t changed) {
  const bool all = session_->refreshAllPending();
  if (changed) {
    session_->reEvaluate(all);
    // A rule that reverted the action asks for a full refresh: the undone
    // changes have no records left to show the controls what moved.
    refreshControls(all || session_->refreshAllPending());
  } else if (all) {
    session_->reEvaluate(true);
    refreshControls(true);
  }
  (void)session_->endUpdate();  // the depth is the session's business
  session_->setRefreshAll(false);
}

GUIControl* GUIPage::controlForWindow(HWND window) const {
  for (const auto& c : controls_)
    if (c->ownsWindow(window)) return c.get();
  return nullptr;
}

GUIControl* GUIPage::helpControlForWindow(HWND window) const {
  for (const auto& c : controls_) {
    if (!c->ownsWindow(window)) continue;
    for (const GHelpPair* p = c->helpTable(); p->item != 0; ++p)
      if (p->help != 0 && p->help != -1) return c.get();
  }
  return nullptr;
}

bool GUIPage::showContextHelp(HWND window, UINT command) {
  GUIControl* c = helpControlForWindow(window);
  if (!c) return false;
  // Help that does not open leaves the page as it was.
  (void)WinHelpA(window, helpFile_.data(), command, reinterpret_cast<uintptr_t>(c->helpTable()));
  return true;
}

INT_PTR GUIPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (GUIControl* c = controlForWindow(static_cast<HWND>(wParam))) (void)c->onMessage(message, wParam, lParam);
      return 0;
    case WM_DRAWITEM:
    case WM_COMMAND:
      if (LOWORD(wParam) == IDHELP) {
        (void)WinHelpA(window_, helpFile_.data(), HELP_CONTEXT, helpBase_);  // failures are the help's
      } else {
        routeToItem(LOWORD(wParam), message, wParam, lParam);
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header) return 0;
      switch (header->code) {
        case UDN_DELTAPOS: routeToItem(LOWORD(wParam), message, wParam, lParam); return 0;
        case PSN_HELP: (void)WinHelpA(window_, helpFile_.data(), HELP_CONTEXT, helpBase_); return 1;
        case PSN_KILLACTIVE: broadcast(message, wParam, lParam); return 0;
        case PSN_SETACTIVE:
          session_->reEvaluate(true);
          refreshControls(true);
          return 0;
        default: return 0;
      }
    }
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      if (info) (void)showContextHelp(static_cast<HWND>(info->hItemHandle), HELP_WM_HELP);
      return 0;
    }
    case WM_CONTEXTMENU:
      if (!showContextHelp(static_cast<HWND>(wParam), HELP_CONTEXTMENU))
        routeToWindow(static_cast<HWND>(wParam), message, wParam, lParam);
      return 0;
    case WM_INITDIALOG:
      attachControls();
      session_->reEvaluate(true);
      refreshControls(true);
      return 1;
    case WM_HSCROLL:
    case WM_VSCROLL: routeToWindow(static_cast<HWND>(lParam), message, wParam, lParam); return 0;
    default:
      if (message >= WM_MOUSEMOVE && message <= WM_RBUTTONDBLCLK) {
        const POINT at{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                       static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
        if (HWND child = ChildWindowFromPoint(window_, at); child && child != window_)
          routeToWindow(child, message, wParam, lParam);
      }
      return 0;
  }
}

// ------------------------------------------------------------ property page

GPropertyPage::GPropertyPage(PROPSHEETPAGEW* entry, HMODULE resources, uint16_t dialogId, GUISession* session,
                             bool withHelp, uint16_t helpBase)
    : GUIPage(session, dialogId, helpBase), entry_(entry) {
  entry->dwFlags = withHelp ? static_cast<DWORD>(PSP_HASHELP) : 0u;
  entry->hInstance = resources;
  entry->pszTemplate = MAKEINTRESOURCEW(dialogId);
  entry->pfnDlgProc = &GPropertyPage::dialogProc;
  if (entry->lParam) entry->lParam->page = this;
}

INT_PTR GPropertyPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const INT_PTR answer = GUIPage::handleMessage(message, wParam, lParam);
  session()->notifyHost(window(), message, wParam, lParam);
  return answer;
}

INT_PTR GPropertyPage::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PROPSHEETPAGEW* entry = nullptr;
  if (message == WM_INITDIALOG) {
    entry = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
    (void)SetWindowLongPtrW(dialog, DWL_USER, lParam);  // answers the value it held: none
  } else {
    entry = reinterpret_cast<PROPSHEETPAGEW*>(GetWindowLongPtrW(dialog, DWL_USER));
  }
  auto* page = entry && entry->lParam ? static_cast<GPropertyPage*>(entry->lParam->page) : nullptr;
  if (message == WM_INITDIALOG && page) page->setWindow(dialog);
  const INT_PTR answer = page ? page->handleMessage(message, wParam, lParam) : 0;
  if (message == WM_DESTROY) (void)SetWindowLongPtrW(dialog, DWL_USER, 0);  // the page is done with it
  return answer;
}

// --------------------------------------------------------------- sub-dialog

GSubDialog::GSubDialog(uint16_t dialogId, GUISession* session, bool, uint16_t helpBase)
    : GUIPage(session, dialogId, helpBase) {}

INT_PTR GSubDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL || id == IDCLOSE) {
      if (controlForWindow(GetDlgItem(window(), id))) routeToItem(id, message, wParam, lParam);
      (void)EndDialog(window(), static_cast<INT_PTR>(wParam));  // the run is ours: it ends
      return 0;
    }
  }
  return GUIPage::handleMessage(message, wParam, lParam);
}

INT_PTR GSubDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  GSubDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<GSubDialog*>(lParam);
    (void)SetWindowLongPtrW(dialog, DWL_USER, lParam);  // answers the value it held: none
    if (self) self->setWindow(dialog);
  } else {
    self = reinterpret_cast<GSubDialog*>(GetWindowLongPtrW(dialog, DWL_USER));
  }
  const INT_PTR answer = self ? self->handleMessage(message, wParam, lParam) : 0;
  if (message == WM_DESTROY) (void)SetWindowLongPtrW(dialog, DWL_USER, 0);  // the dialog is done with it
  return answer;
}

INT_PTR GSubDialog::run(HWND parent, bool undo) {
  GUISession* s = session();
  const HWND outer = s->updateWindow();
  s->reEvaluate(false);
  int n = 0;
  while (s->depth() > 0) {
    (void)s->endUpdate();
    ++n;
  }
  if (undo) s->pushUndoLevel();
  EnableWindow(parent, 0);
  const INT_PTR r = DialogBoxParamW(uires::resourceModule(), MAKEINTRESOURCEW(dialogId()), parent,
                                    &GSubDialog::dialogProc, reinterpret_cast<LPARAM>(this));
  EnableWindow(parent, 1);
  if (undo) s->popUndoLevel(r == IDCANCEL);
  for (int i = 0; i < n; ++i) s->beginUpdate(outer);
  s->setRefreshAll(true);
  return r;
}

// ---------------------------------------------------------- stock controls

GCheckBoxControl::GCheckBoxControl(const GHelpPair* table, std::unique_ptr<GFeatureModel> model)
    // The base owns the model; the typed pointer only reads it.
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), feature_(model.release()) {}

void GCheckBoxControl::readModel(bool force) {
  if (!force && !feature_->changed()) return;
  CheckDlgButton(dialogWindow(), itemId(0), feature_->value() == 1 ? BST_CHECKED : BST_UNCHECKED);
}

void GCheckBoxControl::writeModel() {
  // A missing attribute is not written: the model reads 0 and the box
  // follows it at the refresh.
  (void)feature_->setValue(IsDlgButtonChecked(dialogWindow(), itemId(0)) == BST_CHECKED ? 1 : 0);
}

GTwoLevelCheckBox::GTwoLevelCheckBox(const GHelpPair* table, std::unique_ptr<GTwoLevelModel> model)
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), feature_(model.release()) {}

void GTwoLevelCheckBox::readModel(bool force) {
  if (!force && !feature_->changed()) return;
  const int16_t v = feature_->value();
  const HWND dialog = dialogWindow();
  CheckDlgButton(dialog, itemId(0), v != 0 ? BST_CHECKED : BST_UNCHECKED);
  const HWND dependent = GetDlgItem(dialog, itemId(1));
  if (v == 0) {
    CheckDlgButton(dialog, itemId(1), BST_UNCHECKED);
    EnableWindow(dependent, 0);
  } else if (feature_->lockTest()) {
    CheckDlgButton(dialog, itemId(1), feature_->secondTest() ? BST_UNCHECKED : BST_CHECKED);
    EnableWindow(dependent, 0);
  } else {
    CheckDlgButton(dialog, itemId(1), v == 2 ? BST_CHECKED : BST_UNCHECKED);
    enableItem(1, true);
  }
}

void GTwoLevelCheckBox::writeModel() {
  const HWND dialog = dialogWindow();
  int16_t v = 0;
  if (IsDlgButtonChecked(dialog, itemId(0)) == BST_CHECKED)
    v = IsDlgButtonChecked(dialog, itemId(1)) == BST_CHECKED ? 2 : 1;
  (void)feature_->setValue(v);  // a missing attribute stays missing; the refresh shows it
}

GAvailabilityCheckBox::GAvailabilityCheckBox(const GHelpPair* table, std::unique_ptr<GAvailabilityModel> model)
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), feature_(model.release()) {}

void GAvailabilityCheckBox::readModel(bool force) {
  if (!force && !feature_->changed()) return;
  CheckDlgButton(dialogWindow(), itemId(0), feature_->value() == 1 ? BST_CHECKED : BST_UNCHECKED);
}

void GAvailabilityCheckBox::writeModel() {
  int16_t v = 2;
  if (feature_->available()) v = IsDlgButtonChecked(dialogWindow(), itemId(0)) == BST_CHECKED ? 1 : 0;
  (void)feature_->setValue(v);  // a missing attribute stays missing; the refresh shows it
}

void GAvailabilityCheckBox::updateState() {
  if (feature_->available()) {
    readModel(true);
    enableItem(0, true);
  } else {
    CheckDlgButton(dialogWindow(), itemId(0), BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialogWindow(), itemId(0)), 0);
  }
}

GChoiceComboBox::GChoiceComboBox(const GHelpPair* table, std::unique_ptr<GChoiceModel> model)
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), feature_(model.release()) {}

void GChoiceComboBox::attached() {
  combo_.bind(dialogWindow(), itemId(1));
  fill();
}

void GChoiceComboBox::fill() {
  (void)combo_.reset();  // answers nothing of use
  for (int16_t value : feature_->choices()) {
    const int32_t id = feature_->stringIdFor(value);
    RWWString text;
    if (id <= 0 || uires::loadResourceString(static_cast<uint32_t>(id), text) == 0) continue;
    (void)combo_.addWithData(text, value);  // a refused entry is simply not offered
  }
}

void GChoiceComboBox::readModel(bool force) {
  if (!force && !feature_->changed()) return;
  fill();
  (void)combo_.selectByData(feature_->value());  // a value not offered selects nothing
}

void GChoiceComboBox::writeModel() {
  const LRESULT data = combo_.selectedData();
  (void)feature_->setValue(static_cast<int16_t>(data < 0 ? 0 : data));  // missing stays missing
}

int32_t GChoiceComboBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == itemId(1)) {
    if (HIWORD(wParam) != CBN_SELCHANGE) return 0;
    writeModel();
    return 1;
  }
  return GUIControl::onMessage(message, wParam, lParam);
}

GShiftedItemControl::GShiftedItemControl(const GHelpPair* table, std::unique_ptr<GShiftedItemModel> model)
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), shifted_(model.release()) {}

void GShiftedItemControl::updateState() {
  const HWND item = GetDlgItem(dialogWindow(), itemId(0));
  WINDOWPLACEMENT place;
  RECT offset{0, shifted_->verticalOffset(), 0, 0};
  // A missing item has no placement: there is nothing to move or show.
  if (!GetWindowPlacement(item, &place) || !MapDialogRect(dialogWindow(), &offset)) return;
  place.rcNormalPosition.top = offset.top;
  (void)SetWindowPlacement(item, &place);  // the item was just found: it takes it
  (void)ShowWindow(item, SW_SHOW);         // answers the old visibility
}
