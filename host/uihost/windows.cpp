// Windows and controls: one table for the plug-in's windows and the host's.
// Every control is a window procedure, so a subclass sees its messages
// first; each answers as the platform does (-1 for a bad index, and so on).

#include <algorithm>
#include <cstdio>

#include "host/uihost/state.h"

namespace uihost {

Desktop& desk() {
  static Desktop* d = new Desktop;  // lives to the process's end: pages may outlive statics
  return *d;
}

uint32_t newHandle() { return desk().next += 4; }

void note(const std::string& line) { desk().log.push_back(line); }

void misused(const std::string& line) {
  desk().log.push_back("MISUSE " + line);
  desk().misuse.push_back(line);
}

std::string hex(uint64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
  return b;
}

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fold(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return out;
}

std::u16string textOf(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

int32_t copyOut(const std::u16string& text, char16_t* buffer, int32_t capacity) {
  if (!buffer || capacity <= 0) return 0;
  const int32_t n = std::min<int32_t>(static_cast<int32_t>(text.size()), capacity - 1);
  std::copy(text.begin(), text.begin() + n, buffer);
  buffer[n] = 0;
  return n;
}

Window* windowFor(HWND window, const char* call) {
  if (window == 0) return nullptr;
  auto w = desk().windows.find(window);
  if (w == desk().windows.end()) {
    misused(std::string(call) + " on a closed or unknown window " + hex(window));
    desk().lastError = ERROR_INVALID_WINDOW_HANDLE;
    return nullptr;
  }
  return &w->second;
}

namespace {

// Metrics: dialog units to pixels, the GUI font's character widths.
int32_t unitsX(int32_t v) { return v * 6 / 4; }
int32_t unitsY(int32_t v) { return v * 13 / 8; }

LRESULT notifyParent(Window& w, WORD code) {
  return SendMessageW(w.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w.id), code), static_cast<LPARAM>(w.handle));
}

bool ownerDrawn(const Window& w) {
  return (w.kind == "button" && (w.style & 0x0F) == BS_OWNERDRAW) || (w.kind == "static" && (w.style & 0x1F) == 0x0D);
}

// The radio buttons of w's group: from the item that starts the group to
// the next that starts one, in creation order.
std::vector<HWND> radioGroup(const Window& w) {
  std::vector<HWND> siblings;
  for (auto& [h, s] : desk().windows)
    if (s.parent == w.parent) siblings.push_back(h);
  std::vector<HWND> group;
  for (HWND h : siblings) {
    const Window& s = desk().windows[h];
    if (s.style & WS_GROUP) {
      if (std::find(group.begin(), group.end(), w.handle) != group.end()) break;
      group.clear();
    }
    if (s.kind == "radio") group.push_back(h);
  }
  return group;
}

LRESULT textMessages(Window& w, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  switch (message) {
    case WM_SETTEXT:
      w.text = textOf(reinterpret_cast<const char16_t*>(lParam));
      w.invalid = true;
      return 1;
    case WM_GETTEXT:
      return copyOut(w.text, reinterpret_cast<char16_t*>(lParam), static_cast<int32_t>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w.text.size());
  }
  handled = false;
  return 0;
}

LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "button");
  if (!w) return 0;
  bool handled = false;
  const LRESULT r = textMessages(*w, message, wParam, lParam, handled);
  if (handled) return r;
  switch (message) {
    case BM_GETCHECK:
      return w->check;
    case BM_SETCHECK:
      w->check = static_cast<UINT>(wParam);
      return 0;
    case BM_CLICK: {
      if (!w->enabled) return 0;
      if (w->kind == "checkbox") {
        w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      } else if (w->kind == "radio") {
        for (HWND h : radioGroup(*w)) desk().windows[h].check = h == window ? BST_CHECKED : BST_UNCHECKED;
      }
      notifyParent(*w, BN_CLICKED);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) return SendMessageW(window, BM_CLICK, 0, 0);
      return 0;
    case WM_GETDLGCODE:
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "edit");
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT: {
      w->text = textOf(reinterpret_cast<const char16_t*>(lParam));
      notifyParent(*w, EN_CHANGE);
      return 1;
    }
    case EM_LIMITTEXT:
      w->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int32_t>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return w->limit;
    case WM_CHAR: {
      const char16_t c = static_cast<char16_t>(wParam);
      if (c == 8) {  // backspace
        if (w->text.empty()) return 0;
        w->text.pop_back();
      } else {
        if ((w->style & ES_NUMBER) && (c < u'0' || c > u'9')) return 0;
        if (static_cast<int32_t>(w->text.size()) >= w->limit) {
          notifyParent(*w, EN_MAXTEXT);
          return 0;
        }
        w->text += c;
      }
      notifyParent(*w, EN_CHANGE);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_WANTARROWS;
  }
  bool handled = false;
  const LRESULT r = textMessages(*w, message, wParam, lParam, handled);
  return handled ? r : DefWindowProcW(window, message, wParam, lParam);
}

// Combo and list boxes share one procedure; the messages differ in number
// only. Indexes are checked: a bad one answers -1.
struct ListCodes {
  UINT add, insert, remove, reset, setSel, getSel, getText, getTextLen, count, selectString, findString, getData,
      setData, findExact;
  WORD selChange;
};
const ListCodes comboCodes{CB_ADDSTRING,  CB_INSERTSTRING,  CB_DELETESTRING, CB_RESETCONTENT, CB_SETCURSEL,
                           CB_GETCURSEL,  CB_GETLBTEXT,     CB_GETLBTEXTLEN, CB_GETCOUNT,     CB_SELECTSTRING,
                           CB_FINDSTRING, CB_GETITEMDATA,   CB_SETITEMDATA,  CB_FINDSTRINGEXACT, CBN_SELCHANGE};
const ListCodes listCodes{LB_ADDSTRING,  LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,
                          LB_GETCURSEL,  LB_GETTEXT,      LB_GETTEXTLEN,   LB_GETCOUNT,     LB_SELECTSTRING,
                          LB_FINDSTRING, LB_GETITEMDATA,  LB_SETITEMDATA,  LB_FINDSTRINGEXACT, LBN_SELCHANGE};

int32_t findEntry(const Window& w, WPARAM start, const char16_t* text, bool exact) {
  const std::u16string wanted = fold(textOf(text));
  const int32_t n = static_cast<int32_t>(w.entries.size());
  if (n == 0) return -1;
  const int32_t first = static_cast<int32_t>(static_cast<intptr_t>(start)) < 0 ? 0 : static_cast<int32_t>(start) + 1;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t i = (first + k) % n;
    const std::u16string have = fold(w.entries[i].text);
    if (exact ? have == wanted : have.compare(0, wanted.size(), wanted) == 0) return i;
  }
  return -1;
}

LRESULT listMessages(Window& w, const ListCodes& c, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  const int32_t n = static_cast<int32_t>(w.entries.size());
  const int32_t index = static_cast<int32_t>(static_cast<intptr_t>(wParam));
  const bool good = index >= 0 && index < n;
  if (message == c.add || message == c.insert) {
    Entry e{textOf(reinterpret_cast<const char16_t*>(lParam)), 0};
    int32_t at = n;
    if (message == c.insert) {
      if (index > n) return -1;
      if (index >= 0) at = index;
    } else if (w.style & (CBS_SORT | LBS_SORT)) {
      at = 0;
      while (at < n && fold(w.entries[at].text) <= fold(e.text)) ++at;
    }
    w.entries.insert(w.entries.begin() + at, std::move(e));
    if (w.selection >= at) ++w.selection;
    return at;
  }
  if (message == c.remove) {
    if (!good) return -1;
    w.entries.erase(w.entries.begin() + index);
    if (w.selection == index) w.selection = -1;
    else if (w.selection > index) --w.selection;
    return n - 1;
  }
  if (message == c.reset) {
    w.entries.clear();
    w.selection = -1;
    return 0;
  }
  if (message == c.count) return n;
  if (message == c.getSel) return w.selection;
  if (message == c.setSel) {
    w.selection = good ? index : -1;
    w.invalid = true;
    return good ? index : -1;
  }
  if (message == c.getTextLen) return good ? static_cast<LRESULT>(w.entries[index].text.size()) : -1;
  if (message == c.getText) {
    // No capacity travels with the message: the caller measured first.
    if (!good) return -1;
    auto* out = reinterpret_cast<char16_t*>(lParam);
    if (!out) return -1;
    const std::u16string& t = w.entries[index].text;
    std::copy(t.begin(), t.end(), out);
    out[t.size()] = 0;
    return static_cast<LRESULT>(t.size());
  }
  if (message == c.getData) return good ? w.entries[index].data : -1;
  if (message == c.setData) {
    if (!good) return -1;
    w.entries[index].data = lParam;
    return 0;
  }
  if (message == c.findString || message == c.findExact)
    return findEntry(w, wParam, reinterpret_cast<const char16_t*>(lParam), message == c.findExact);
  if (message == c.selectString) {
    const int32_t i = findEntry(w, wParam, reinterpret_cast<const char16_t*>(lParam), false);
    if (i >= 0) w.selection = i;
    return i;
  }
  handled = false;
  return 0;
}

LRESULT listLikeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "list");
  if (!w) return 0;
  const ListCodes& c = w->kind == "combobox" ? comboCodes : listCodes;
  bool handled = false;
  LRESULT r = listMessages(*w, c, message, wParam, lParam, handled);
  if (handled) return r;
  switch (message) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      // A drop-down list shows its selection.
      const std::u16string shown =
          w->kind == "combobox" && w->selection >= 0 ? w->entries[w->selection].text : w->text;
      if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(shown.size());
      return copyOut(shown, reinterpret_cast<char16_t*>(lParam), static_cast<int32_t>(wParam));
    }
    case WM_KEYDOWN: {
      const int32_t n = static_cast<int32_t>(w->entries.size());
      int32_t to = w->selection;
      if (wParam == VK_DOWN || wParam == VK_RIGHT) to = std::min(n - 1, to + 1);
      if (wParam == VK_UP || wParam == VK_LEFT) to = std::max(n > 0 ? 0 : -1, to - 1);
      if (to != w->selection) {
        w->selection = to;
        notifyParent(*w, c.selChange);
      }
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
  }
  bool text = false;
  r = textMessages(*w, message, wParam, lParam, text);
  return text ? r : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT rangeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "range");
  if (!w) return 0;
  switch (message) {
    case UDM_SETRANGE:
      w->upper = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      w->lower = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case UDM_GETRANGE:
      return MAKELPARAM(static_cast<WORD>(w->upper), static_cast<WORD>(w->lower));
    case UDM_SETRANGE32:
      w->lower = static_cast<int32_t>(static_cast<intptr_t>(wParam));
      w->upper = static_cast<int32_t>(lParam);
      return 0;
    case UDM_GETRANGE32:
      if (wParam) *reinterpret_cast<int32_t*>(wParam) = w->lower;
      if (lParam) *reinterpret_cast<int32_t*>(lParam) = w->upper;
      return 0;
    case UDM_SETPOS: {
      const int32_t old = w->position;
      w->position = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      return old;
    }
    case UDM_GETPOS:
      return static_cast<WORD>(w->position);
    case UDM_SETBUDDY: {
      const HWND old = w->buddy;
      w->buddy = static_cast<HWND>(wParam);
      return old;
    }
    case UDM_GETBUDDY:
      return w->buddy;
    case SBM_SETRANGE:
      w->lower = static_cast<int32_t>(static_cast<intptr_t>(wParam));
      w->upper = static_cast<int32_t>(lParam);
      return 1;
    case SBM_GETRANGE:
      if (wParam) *reinterpret_cast<int32_t*>(wParam) = w->lower;
      if (lParam) *reinterpret_cast<int32_t*>(lParam) = w->upper;
      return 1;
    case SBM_SETPOS: {
      const int32_t old = w->position;
      w->position = std::clamp(static_cast<int32_t>(static_cast<intptr_t>(wParam)), std::min(w->lower, w->upper),
                               std::max(w->lower, w->upper));
      return old;
    }
    case SBM_GETPOS:
      return w->position;
  }
  bool handled = false;
  const LRESULT r = textMessages(*w, message, wParam, lParam, handled);
  return handled ? r : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "static");
  if (!w) return 0;
  if (message == STM_SETIMAGE) {
    const uintptr_t old = w->image;
    w->image = static_cast<uintptr_t>(lParam);
    return static_cast<LRESULT>(old);
  }
  if (message == STM_GETIMAGE) return static_cast<LRESULT>(w->image);
  bool handled = false;
  const LRESULT r = textMessages(*w, message, wParam, lParam, handled);
  return handled ? r : DefWindowProcW(window, message, wParam, lParam);
}

// The dialog's own procedure: the dialog procedure first, then the
// dialog manager's defaults. A handled message answers DWL_MSGRESULT, but
// for the few whose answer is the procedure's own.
LRESULT dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "dialog");
  if (!w) return 0;
  DLGPROC procedure = w->dialogProc;
  w->messageResult = 0;
  const INT_PTR handled = procedure ? procedure(window, message, wParam, lParam) : 0;
  w = windowFor(window, "dialog");  // the procedure may have destroyed it
  if (!w) return handled;
  if (handled) {
    if (message == WM_INITDIALOG) return handled;
    return w->messageResult;
  }
  switch (message) {
    case DM_GETDEFID:
      return w->defaultId ? MAKELPARAM(static_cast<WORD>(w->defaultId), DC_HASDEFID) : 0;
    case DM_SETDEFID:
      w->defaultId = static_cast<int32_t>(wParam);
      return 1;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      bool text = false;
      return textMessages(*w, message, wParam, lParam, text);
    }
  }
  return 0;
}

WNDPROC procedureFor(const std::string& kind) {
  if (kind == "button" || kind == "checkbox" || kind == "radio" || kind == "groupbox") return buttonProc;
  if (kind == "edit") return editProc;
  if (kind == "combobox" || kind == "listbox") return listLikeProc;
  if (kind == "updown" || kind == "scrollbar") return rangeProc;
  return staticProc;
}

HWND addWindow(Window w) {
  w.handle = newHandle();
  const HWND h = w.handle;
  desk().windows.emplace(h, std::move(w));
  return h;
}

HWND runInit(HWND dialog, LPARAM parameter) {
  HWND first = 0;
  for (auto& [h, c] : desk().windows)
    if (c.parent == dialog && (c.style & WS_TABSTOP) && c.enabled && c.visible && !first) first = h;
  const LRESULT r = SendMessageW(dialog, WM_INITDIALOG, first, parameter);
  if (r && IsWindow(dialog) && first && IsWindow(first)) SetFocus(first);
  return dialog;
}

bool takesMouse(const Window& w) {
  if (!w.visible || !w.enabled) return false;
  if (w.kind == "groupbox") return false;
  if (w.kind == "static") return (w.style & SS_NOTIFY) != 0;
  return true;
}

bool inside(const RECT& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

HWND createEmptyDialog(HWND parent, DLGPROC procedure, LPARAM parameter) {
  Window d;
  d.kind = "dialog";
  d.parent = parent;
  d.proc = dialogWindowProc;
  d.dialogProc = procedure;
  d.rect = RECT{0, 0, unitsX(212), unitsY(188)};
  return runInit(addWindow(std::move(d)), parameter);
}

HWND createDialog(HMODULE module, int32_t templateId, HWND parent, DLGPROC procedure, LPARAM parameter, bool modal) {
  auto m = desk().modules.find(module);
  if (m == desk().modules.end()) {
    if (module) misused("dialog from a closed or unknown module " + hex(module));
    note("dialog " + std::to_string(templateId) + ": no module " + hex(module) + " -> -1");
    return 0;
  }
  auto t = m->second.resources.dialogs.find(templateId);
  if (t == m->second.resources.dialogs.end()) {
    note("dialog " + std::to_string(templateId) + ": no such template in " + narrow(m->second.name) + " -> -1");
    return 0;
  }
  const DialogTemplate& tp = t->second;
  Window d;
  d.kind = "dialog";
  d.parent = parent;
  d.text = tp.caption;
  d.style = tp.style;
  d.enabled = !(tp.style & WS_DISABLED);
  d.proc = dialogWindowProc;
  d.dialogProc = procedure;
  d.module = module;
  d.templateId = templateId;
  d.modal = modal;
  d.rect = RECT{unitsX(tp.x), unitsY(tp.y), unitsX(tp.x + tp.width), unitsY(tp.y + tp.height)};
  const HWND dialog = addWindow(std::move(d));
  for (const DialogItem& it : tp.items) {
    Window c;
    c.kind = it.kind;
    c.parent = dialog;
    c.id = it.id;
    c.text = it.text;
    c.style = it.style;
    c.visible = !it.hidden;
    c.enabled = !(it.style & WS_DISABLED);
    if (it.kind != "static" && it.kind != "groupbox") c.style |= WS_TABSTOP;
    if (it.limit) c.limit = it.limit;
    c.proc = procedureFor(it.kind);
    c.rect = RECT{unitsX(it.x), unitsY(it.y), unitsX(it.x + it.width), unitsY(it.y + it.height)};
    c.invalid = ownerDrawn(c);
    addWindow(std::move(c));
    if (it.isDefault) desk().windows[dialog].defaultId = it.id;
  }
  return runInit(dialog, parameter);
}

std::vector<HWND> subtree(HWND window) {
  // Level by level, one pass over the table each: a dialog of many items
  // costs no more than its items.
  std::vector<HWND> tree{window};
  for (size_t begin = 0; begin < tree.size();) {
    const std::set<HWND> level(tree.begin() + static_cast<std::ptrdiff_t>(begin), tree.end());
    begin = tree.size();
    for (auto& [h, w] : desk().windows)
      if (level.count(w.parent)) tree.push_back(h);
  }
  return tree;
}

void destroyWindowTree(HWND window) {
  const std::vector<HWND> tree = subtree(window);
  // Each window hears of its end while its children are still there.
  for (HWND h : tree)
    if (desk().windows.count(h)) SendMessageW(h, WM_DESTROY, 0, 0);
  const std::set<HWND> gone(tree.begin(), tree.end());
  for (auto t = desk().timers.begin(); t != desk().timers.end();)
    t = gone.count(t->first.first) ? desk().timers.erase(t) : std::next(t);
  if (gone.count(desk().focus)) desk().focus = 0;
  for (HWND h : tree)
    if (desk().windows.erase(h)) desk().closed.insert(h);
}

// ------------------------------------------------------------- the pump

void pump() {
  for (int round = 0; round < 64; ++round) {
    bool worked = false;
    while (!desk().posted.empty()) {
      const Posted p = desk().posted.front();
      desk().posted.pop_front();
      if (desk().windows.count(p.window)) SendMessageW(p.window, p.message, p.wParam, p.lParam);
      worked = true;
    }
    std::vector<HWND> owed;
    for (auto& [h, w] : desk().windows)
      if (w.invalid) {
        w.invalid = false;
        if (ownerDrawn(w) && w.visible) owed.push_back(h);
      }
    for (HWND h : owed) {
      Window* w = windowFor(h, "WM_DRAWITEM");
      if (!w) continue;
      DRAWITEMSTRUCT item;
      item.CtlType = w->kind == "static" ? ODT_STATIC : ODT_BUTTON;
      item.CtlID = static_cast<UINT>(w->id);
      item.itemAction = ODA_DRAWENTIRE;
      item.itemState = (w->enabled ? 0u : UINT{ODS_DISABLED}) | (desk().focus == h ? UINT{ODS_FOCUS} : 0u);
      item.hwndItem = h;
      item.rcItem = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
      const HWND parent = w->parent;
      item.hDC = GetDC(h);
      SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(item.CtlID), reinterpret_cast<LPARAM>(&item));
      ReleaseDC(h, item.hDC);
      worked = true;
    }
    if (!worked) return;
  }
  misused("the pump does not settle: every round invalidates again");
}

}  // namespace uihost

using namespace uihost;

// --------------------------------------------------------- the services

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "SendMessageW");
  if (!w || !w->proc) return 0;
  return w->proc(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!windowFor(window, "PostMessageW")) return 0;
  desk().posted.push_back(Posted{window, message, wParam, lParam});
  return 1;
}

LRESULT SendDlgItemMessageW(HWND dialog, int32_t item, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND h = GetDlgItem(dialog, item);
  return h ? SendMessageW(h, message, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!procedure) return 0;
  return procedure(window, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = windowFor(window, "DefWindowProcW");
  if (!w) return 0;
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      static const std::map<std::string, std::pair<WORD, WORD>> codes{
          {"edit", {EN_SETFOCUS, EN_KILLFOCUS}},
          {"combobox", {CBN_SETFOCUS, CBN_KILLFOCUS}},
          {"listbox", {LBN_SETFOCUS, LBN_KILLFOCUS}}};
      auto c = codes.find(w->kind);
      if (c != codes.end()) notifyParent(*w, message == WM_SETFOCUS ? c->second.first : c->second.second);
      return 0;
    }
  }
  bool handled = false;
  const LRESULT r = textMessages(*w, message, wParam, lParam, handled);
  return handled ? r : 0;
}

HWND GetDlgItem(HWND dialog, int32_t item) {
  if (!windowFor(dialog, "GetDlgItem")) return 0;
  for (auto& [h, w] : desk().windows)
    if (w.parent == dialog && w.id == item) return h;
  return 0;
}

int32_t GetDlgCtrlID(HWND window) {
  Window* w = windowFor(window, "GetDlgCtrlID");
  return w ? w->id : 0;
}

HWND GetParent(HWND window) {
  Window* w = windowFor(window, "GetParent");
  return w ? w->parent : 0;
}

BOOL IsWindow(HWND window) { return window && desk().windows.count(window) ? 1 : 0; }

BOOL DestroyWindow(HWND window) {
  if (!windowFor(window, "DestroyWindow")) return 0;
  destroyWindowTree(window);
  return 1;
}

LONG_PTR GetWindowLongPtrW(HWND window, int32_t index) {
  Window* w = windowFor(window, "GetWindowLongPtrW");
  if (!w) return 0;
  switch (index) {
    case DWL_USER: return w->user;
    case DWL_MSGRESULT: return w->messageResult;
    case DWL_DLGPROC: return reinterpret_cast<LONG_PTR>(w->dialogProc);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
  }
  misused("GetWindowLongPtrW with index " + std::to_string(index));
  return 0;
}

LONG_PTR SetWindowLongPtrW(HWND window, int32_t index, LONG_PTR value) {
  Window* w = windowFor(window, "SetWindowLongPtrW");
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case DWL_USER:
      old = w->user, w->user = value;
      return old;
    case DWL_MSGRESULT:
      old = w->messageResult, w->messageResult = value;
      return old;
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_USERDATA:
      old = w->userData, w->userData = value;
      return old;
  }
  misused("SetWindowLongPtrW with index " + std::to_string(index));
  return 0;
}

uintptr_t SetClassLongPtrW(HWND window, int32_t index, uintptr_t value) {
  Window* w = windowFor(window, "SetClassLongPtrW");
  if (!w) return 0;
  if (index != GCLP_HCURSOR) {
    misused("SetClassLongPtrW with index " + std::to_string(index));
    return 0;
  }
  const uintptr_t old = w->classCursor;
  w->classCursor = value;
  return old;
}

BOOL SetWindowTextW(HWND window, const char16_t* text) {
  if (!windowFor(window, "SetWindowTextW")) return 0;
  return static_cast<BOOL>(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int32_t GetWindowTextW(HWND window, char16_t* buffer, int32_t capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  if (!windowFor(window, "GetWindowTextW")) return 0;
  return static_cast<int32_t>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(std::max(capacity, 0)),
                                           reinterpret_cast<LPARAM>(buffer)));
}

int32_t GetWindowTextLengthW(HWND window) {
  if (!windowFor(window, "GetWindowTextLengthW")) return 0;
  return static_cast<int32_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemTextW(HWND dialog, int32_t item, const char16_t* text) {
  const HWND h = GetDlgItem(dialog, item);
  return h ? SetWindowTextW(h, text) : 0;
}

UINT GetDlgItemTextW(HWND dialog, int32_t item, char16_t* buffer, int32_t capacity) {
  const HWND h = GetDlgItem(dialog, item);
  if (!h) {
    if (buffer && capacity > 0) buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(h, buffer, capacity));
}

BOOL SetDlgItemInt(HWND dialog, int32_t item, UINT value, BOOL isSigned) {
  const std::string digits = isSigned ? std::to_string(static_cast<int32_t>(value)) : std::to_string(value);
  const std::u16string text(digits.begin(), digits.end());
  return SetDlgItemTextW(dialog, item, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int32_t item, BOOL* translated, BOOL isSigned) {
  char16_t buffer[32];
  GetDlgItemTextW(dialog, item, buffer, 32);
  std::u16string t(buffer);
  if (translated) *translated = 0;
  size_t i = 0;
  while (i < t.size() && t[i] == u' ') ++i;
  bool negative = false;
  if (isSigned && i < t.size() && t[i] == u'-') negative = true, ++i;
  if (i >= t.size()) return 0;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') return 0;
    v = v * 10 + (t[i] - u'0');
    if (v > 0xFFFFFFFFll) return 0;
  }
  if (translated) *translated = 1;
  return static_cast<UINT>(negative ? -v : v);
}

BOOL CheckDlgButton(HWND dialog, int32_t item, UINT check) {
  const HWND h = GetDlgItem(dialog, item);
  if (!h) return 0;
  SendMessageW(h, BM_SETCHECK, check, 0);
  return 1;
}

UINT IsDlgButtonChecked(HWND dialog, int32_t item) {
  const HWND h = GetDlgItem(dialog, item);
  return h ? static_cast<UINT>(SendMessageW(h, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int32_t first, int32_t last, int32_t check) {
  if (!windowFor(dialog, "CheckRadioButton")) return 0;
  for (int32_t id = first; id <= last; ++id) CheckDlgButton(dialog, id, id == check ? BST_CHECKED : BST_UNCHECKED);
  return 1;
}

BOOL ShowWindow(HWND window, int32_t command) {
  Window* w = windowFor(window, "ShowWindow");
  if (!w) return 0;
  const BOOL was = w->visible;
  const bool now = command != SW_HIDE;
  if (now != w->visible) {
    w->visible = now;
    w->invalid = now;
  }
  return was;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = windowFor(window, "EnableWindow");
  if (!w) return 0;
  const BOOL wasDisabled = !w->enabled;
  if (w->enabled != (enable != 0)) {
    w->enabled = enable != 0;
    w->invalid = true;
    if (!w->enabled && desk().focus == window) desk().focus = 0;
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = windowFor(window, "IsWindowEnabled");
  return w && w->enabled;
}

BOOL IsWindowVisible(HWND window) {
  Window* w = windowFor(window, "IsWindowVisible");
  if (!w) return 0;
  for (Window* p = w; p; p = p->parent ? windowFor(p->parent, "IsWindowVisible") : nullptr)
    if (!p->visible) return 0;
  return 1;
}

HWND SetFocus(HWND window) {
  const HWND old = desk().focus;
  if (window && !windowFor(window, "SetFocus")) return 0;
  if (old == window) return old;
  desk().focus = window;
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, window, 0);
  if (window && IsWindow(window)) SendMessageW(window, WM_SETFOCUS, old, 0);
  return old;
}

HWND GetFocus() { return desk().focus; }

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  Window* w = windowFor(window, "InvalidateRect");
  if (!w) return 0;
  w->invalid = true;
  if (w->kind == "dialog")
    for (auto& [h, c] : desk().windows)
      if (c.parent == window) c.invalid = true;
  return 1;
}

BOOL UpdateWindow(HWND window) {
  if (!windowFor(window, "UpdateWindow")) return 0;
  pump();
  return 1;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = windowFor(window, "GetClientRect");
  if (!w || !rect) return 0;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return 1;
}

namespace {
POINT origin(HWND window) {
  POINT p;
  for (Window* w = window ? &desk().windows[window] : nullptr; w;) {
    p.x += w->rect.left;
    p.y += w->rect.top;
    auto parent = desk().windows.find(w->parent);
    w = parent == desk().windows.end() ? nullptr : &parent->second;
  }
  return p;
}
}  // namespace

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* w = windowFor(window, "GetWindowRect");
  if (!w || !rect) return 0;
  const POINT o = origin(window);
  *rect = RECT{o.x, o.y, o.x + w->rect.right - w->rect.left, o.y + w->rect.bottom - w->rect.top};
  return 1;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (!windowFor(window, "ScreenToClient") || !point) return 0;
  const POINT o = origin(window);
  point->x -= o.x, point->y -= o.y;
  return 1;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (!windowFor(window, "ClientToScreen") || !point) return 0;
  const POINT o = origin(window);
  point->x += o.x, point->y += o.y;
  return 1;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Window* p = windowFor(parent, "ChildWindowFromPoint");
  if (!p) return 0;
  for (auto& [h, w] : desk().windows)
    if (w.parent == parent && inside(w.rect, point.x, point.y)) return h;
  RECT client;
  GetClientRect(parent, &client);
  return inside(client, point.x, point.y) ? parent : 0;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  if (!windowFor(dialog, "MapDialogRect") || !rect) return 0;
  *rect = RECT{unitsX(rect->left), unitsY(rect->top), unitsX(rect->right), unitsY(rect->bottom)};
  return 1;
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
  Window* w = windowFor(window, "GetWindowPlacement");
  if (!w || !placement || placement->length != sizeof(WINDOWPLACEMENT)) return 0;
  placement->flags = 0;
  placement->showCmd = w->visible ? SW_SHOWNORMAL : SW_HIDE;
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition = w->rect;
  return 1;
}

BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement) {
  Window* w = windowFor(window, "SetWindowPlacement");
  if (!w || !placement || placement->length != sizeof(WINDOWPLACEMENT)) return 0;
  const RECT& r = placement->rcNormalPosition;
  note("SetWindowPlacement " + hex(window) + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
       std::to_string(r.right) + "," + std::to_string(r.bottom));
  w->rect = r;
  w->invalid = true;
  (void)ShowWindow(window, static_cast<int32_t>(placement->showCmd));  // answers the old visibility
  return 1;
}

int32_t GetDialogBaseUnits() { return static_cast<int32_t>(MAKELPARAM(6, 13)); }

// ------------------------------------------------------------ modal runs

INT_PTR DialogBoxParamW(HINSTANCE module, const char16_t* name, HWND owner, DLGPROC procedure, LPARAM parameter) {
  if (!IS_INTRESOURCE(name)) {
    note("DialogBoxParamW: a named template -> -1");
    return -1;
  }
  const int32_t id = static_cast<int32_t>(reinterpret_cast<uintptr_t>(name));
  if (owner && !windowFor(owner, "DialogBoxParamW")) return -1;
  note("DialogBoxParamW " + std::to_string(id) + " owner=" + hex(owner));
  ++desk().runs;
  const HWND dialog = createDialog(module, id, owner, procedure, parameter, true);
  if (!dialog) {
    --desk().runs;
    return -1;
  }
  pump();
  auto& queue = desk().dialogScripts[id];
  Window* w = windowFor(dialog, "DialogBoxParamW");
  if (w && !w->ended) {
    if (queue.empty()) {
      note("DialogBoxParamW " + std::to_string(id) + ": unscripted, IDCANCEL");
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
      auto script = std::move(queue.front());
      queue.pop_front();
      DialogRun run(dialog);
      script(run);
      w = windowFor(dialog, "DialogBoxParamW");
      if (w && !w->ended) {
        note("DialogBoxParamW " + std::to_string(id) + ": the script left it open, Cancel");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
    }
  }
  w = windowFor(dialog, "DialogBoxParamW");
  INT_PTR result = IDCANCEL;
  if (w) {
    if (w->ended) result = w->result;
    else note("DialogBoxParamW " + std::to_string(id) + ": not ended, IDCANCEL");
    reportLeakedDCs(dialog);
    destroyWindowTree(dialog);
  }
  --desk().runs;
  note("DialogBoxParamW " + std::to_string(id) + " -> " + std::to_string(result));
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* w = windowFor(dialog, "EndDialog");
  if (!w) return 0;
  if (w->kind != "dialog" || !w->modal || w->ended) {
    misused("EndDialog outside a run, window " + hex(dialog));
    return 0;
  }
  w->ended = true;
  w->result = result;
  note("EndDialog " + std::to_string(w->templateId) + " " + std::to_string(result));
  return 1;
}

int32_t MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT style) {
  if (owner && !windowFor(owner, "MessageBoxW")) return 0;
  MessageBoxCall call{owner, textOf(text), textOf(caption), style};
  int32_t answer = 0;
  if (!desk().messageBoxes.empty()) {
    auto script = std::move(desk().messageBoxes.front());
    desk().messageBoxes.pop_front();
    answer = script(call);
  } else {
    static const int32_t first[] = {IDOK, IDOK, IDABORT, IDYES, IDYES, IDRETRY};
    const UINT buttons = style & 0x0F;
    answer = buttons < 6 ? first[buttons] : IDOK;
  }
  note("MessageBoxW owner=" + hex(owner) + " text=\"" + narrow(call.text) + "\" caption=\"" + narrow(call.caption) +
       "\" style=" + hex(style) + " -> " + std::to_string(answer));
  return answer;
}

// ----------------------------------------------------------------- timers

uintptr_t SetTimer(HWND window, uintptr_t id, UINT milliseconds, TIMERPROC procedure) {
  if (!windowFor(window, "SetTimer")) return 0;
  desk().timers[{window, id}] = Timer{window, id, milliseconds, desk().clock + milliseconds, procedure};
  note("SetTimer " + hex(window) + " " + std::to_string(id) + " " + std::to_string(milliseconds));
  return id ? id : 1;
}

BOOL KillTimer(HWND window, uintptr_t id) {
  if (!windowFor(window, "KillTimer")) return 0;
  return desk().timers.erase({window, id}) ? 1 : 0;
}

DWORD GetTickCount() { return desk().clock; }

void uihost::advanceClock(DWORD milliseconds) {
  const DWORD end = desk().clock + milliseconds;
  for (;;) {
    const Timer* soonest = nullptr;
    for (auto& [k, t] : desk().timers)
      if (t.due <= end && (!soonest || t.due < soonest->due)) soonest = &t;
    if (!soonest) break;
    Timer t = *soonest;
    desk().clock = std::max(desk().clock, t.due);
    desk().timers[{t.window, t.id}].due = t.due + std::max<UINT>(t.interval, 1);
    if (t.procedure) t.procedure(t.window, WM_TIMER, t.id, desk().clock);
    else SendMessageW(t.window, WM_TIMER, t.id, 0);
    pump();
  }
  desk().clock = end;
}

// ---------------------------------------------------------------- actions

namespace uihost {


HWND DialogRun::item(int32_t id) const { return GetDlgItem(dialog_, id); }

std::u16string DialogRun::text(int32_t id) const {
  const HWND h = item(id);
  if (!h) return {};
  std::u16string t(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, u'\0');
  t.resize(static_cast<size_t>(GetWindowTextW(h, t.data(), static_cast<int32_t>(t.size()))));
  return t;
}

bool DialogRun::ended() const {
  auto w = desk().windows.find(dialog_);
  return w == desk().windows.end() || w->second.ended;
}

namespace {
// The item an action works on: it must be there, shown and enabled, as
// for a user.
HWND actionItem(HWND dialog, int32_t id, const char* action) {
  const HWND h = GetDlgItem(dialog, id);
  Window* w = h ? windowFor(h, action) : nullptr;
  if (!w || !w->visible || !w->enabled) {
    misused(std::string(action) + " on item " + std::to_string(id) + ", which is not there to the user");
    return 0;
  }
  return h;
}
}  // namespace

void DialogRun::click(int32_t id) {
  note("click " + std::to_string(id));
  if (const HWND h = actionItem(dialog_, id, "click")) {
    SetFocus(h);
    SendMessageW(h, BM_CLICK, 0, 0);
  }
  pump();
}

void DialogRun::select(int32_t id, const std::u16string& text) {
  note("select " + std::to_string(id) + " \"" + narrow(text) + "\"");
  if (const HWND h = actionItem(dialog_, id, "select")) {
    Window& w = desk().windows[h];
    const ListCodes& c = w.kind == "combobox" ? comboCodes : listCodes;
    int32_t found = -1;
    for (size_t i = 0; i < w.entries.size() && found < 0; ++i)
      if (w.entries[i].text == text) found = static_cast<int32_t>(i);
    if (found < 0) {
      misused("select: item " + std::to_string(id) + " has no entry \"" + narrow(text) + "\"");
    } else {
      SetFocus(h);
      w.selection = found;
      notifyParent(desk().windows[h], c.selChange);
    }
  }
  pump();
}

void DialogRun::type(int32_t id, const std::u16string& text) {
  note("type " + std::to_string(id) + " \"" + narrow(text) + "\"");
  if (const HWND h = actionItem(dialog_, id, "type")) {
    SetFocus(h);
    // Select all and type over: the old text goes in one change.
    Window* w = windowFor(h, "type");
    if (w && !w->text.empty()) {
      w->text.clear();
      notifyParent(*w, EN_CHANGE);
    }
    for (char16_t c : text) {
      if (!IsWindow(h)) break;
      SendMessageW(h, WM_CHAR, c, 1);
    }
  }
  pump();
}

void DialogRun::leave(int32_t id) {
  note("leave " + std::to_string(id));
  const HWND h = GetDlgItem(dialog_, id);
  if (h && desk().focus == h) SetFocus(dialog_);
  pump();
}

void DialogRun::spin(int32_t id, int32_t delta) {
  note("spin " + std::to_string(id) + " " + std::to_string(delta));
  if (const HWND h = actionItem(dialog_, id, "spin")) {
    Window* w = windowFor(h, "spin");
    NMUPDOWN n;
    n.hdr = NMHDR{h, static_cast<uintptr_t>(w->id), UDN_DELTAPOS};
    n.iPos = w->position;
    n.iDelta = delta;
    const HWND parent = w->parent;
    const LRESULT refused = SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(n.hdr.idFrom), reinterpret_cast<LPARAM>(&n));
    w = windowFor(h, "spin");
    if (!refused && w) {
      w->position = std::clamp(w->position + n.iDelta, std::min(w->lower, w->upper), std::max(w->lower, w->upper));
      SendMessageW(parent, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(w->position)),
                   static_cast<LPARAM>(h));
      if (IsWindow(h)) SendMessageW(parent, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(w->position)),
                                    static_cast<LPARAM>(h));
    }
  }
  pump();
}

void DialogRun::key(int32_t id, UINT virtualKey) {
  note("key " + std::to_string(id) + " " + hex(virtualKey));
  if (const HWND h = actionItem(dialog_, id, "key")) {
    SetFocus(h);
    SendMessageW(h, WM_KEYDOWN, virtualKey, 1);
    if (IsWindow(h)) SendMessageW(h, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
  }
  pump();
}

void DialogRun::mouse(UINT message, int32_t x, int32_t y) {
  note("mouse " + hex(message) + " " + std::to_string(x) + "," + std::to_string(y));
  HWND target = dialog_;
  int32_t cx = x, cy = y;
  for (auto& [h, w] : desk().windows)
    if (w.parent == dialog_ && inside(w.rect, x, y) && takesMouse(w)) {
      target = h;
      cx = x - w.rect.left, cy = y - w.rect.top;
      break;
    }
  SendMessageW(target, message, 0, MAKELPARAM(static_cast<WORD>(cx), static_cast<WORD>(cy)));
  pump();
}

void DialogRun::help(int32_t id) {
  note("help " + std::to_string(id));
  HELPINFO info;
  info.iCtrlId = id;
  info.hItemHandle = GetDlgItem(dialog_, id);
  SendMessageW(dialog_, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  pump();
}

void DialogRun::contextMenu(int32_t id) {
  note("contextMenu " + std::to_string(id));
  const HWND h = GetDlgItem(dialog_, id);
  SendMessageW(dialog_, WM_CONTEXTMENU, h ? h : dialog_, MAKELPARAM(0xFFFF, 0xFFFF));
  pump();
}

void DialogRun::timer(uintptr_t id) {
  note("timer " + std::to_string(id));
  auto t = desk().timers.find({dialog_, id});
  if (t == desk().timers.end()) {
    misused("timer " + std::to_string(id) + " is not set on the dialog");
  } else if (t->second.procedure) {
    t->second.procedure(dialog_, WM_TIMER, id, desk().clock);
  } else {
    SendMessageW(dialog_, WM_TIMER, id, 0);
  }
  pump();
}

void scriptDialog(int32_t templateId, std::function<void(DialogRun&)> script) {
  desk().dialogScripts[templateId].push_back(std::move(script));
}

void scriptMessageBox(std::function<int32_t(const MessageBoxCall&)> answer) {
  desk().messageBoxes.push_back(std::move(answer));
}

}  // namespace uihost

