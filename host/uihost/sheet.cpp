// The host: loads the plug-in, asks it for its pages and runs the property
// sheet over them.

#include <dlfcn.h>

#include <algorithm>

#include "host/uihost/state.h"
#include "host/win32/paths.h"

namespace uihost {

namespace {

enum : DWORD { kProcessDetach = 0, kProcessAttach = 1 };

std::map<UIHostRecord*, Sheet*>& sheets() {
  static std::map<UIHostRecord*, Sheet*> s;
  return s;
}

// The host's own page, entry 0: it takes part in the sheet's notices and
// answers them as a page that has nothing to refuse.
INT_PTR hostPageProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

std::unique_ptr<Plugin> Plugin::load(const std::string& file) {
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    note(std::string("plug-in ") + file + ": does not load: " + dlerror());
    return nullptr;
  }
  std::unique_ptr<Plugin> plugin(new Plugin);
  plugin->library_ = library;
  PluginEntries& e = plugin->entries_;
  e.entry = reinterpret_cast<UIEntryPoint>(dlsym(library, "DllMain"));
  e.interfaceVersion = reinterpret_cast<UIInterfaceVersionProc>(dlsym(library, "UI_INTERFACEVERSION"));
  e.initialize = reinterpret_cast<UIInitializeProc>(dlsym(library, "UI_INITIALIZE"));
  e.destroy = reinterpret_cast<UIHostRecordProc>(dlsym(library, "UI_DESTROY"));
  e.configToSettings = reinterpret_cast<UIHostRecordProc>(dlsym(library, "UI_CONFIGTOSETTINGS"));
  e.settingsToConfig = reinterpret_cast<UIHostRecordProc>(dlsym(library, "UI_SETTINGSTOCONFIG"));
  const RWWString logical = logicalPath(file);
  const std::u16string name(logical.data(), logical.length());
  plugin->module_ = registerPlugin(name.substr(name.find_last_of(u'\\') + 1), logical);
  return start(std::move(plugin));
}

std::unique_ptr<Plugin> Plugin::fromEntries(const PluginEntries& entries, const std::u16string& name) {
  std::unique_ptr<Plugin> plugin(new Plugin);
  plugin->entries_ = entries;
  plugin->module_ = registerPlugin(name, RWWString((u"C:\\QXHOST\\" + name).c_str()));
  return start(std::move(plugin));
}

std::unique_ptr<Plugin> Plugin::start(std::unique_ptr<Plugin> plugin) {
  const PluginEntries& e = plugin->entries_;
  if (!e.entry || !e.interfaceVersion || !e.initialize || !e.destroy) {
    note("plug-in: an export is missing");
    plugin->entries_.entry = nullptr;  // never attached: no detach either
    return nullptr;
  }
  e.entry(plugin->module_, kProcessAttach, nullptr);
  note("plug-in attached " + hex(plugin->module_));
  const uint16_t version = e.interfaceVersion();
  if (version != 2) {
    note("plug-in: UI_INTERFACEVERSION " + std::to_string(version) + ", not 2: unloaded");
    return nullptr;  // the destructor detaches and unloads
  }
  return plugin;
}

Plugin::~Plugin() {
  if (entries_.entry) {
    entries_.entry(module_, kProcessDetach, nullptr);
    note("plug-in detached " + hex(module_));
  }
  releasePlugin(module_);
  if (library_) dlclose(library_);
}

// ------------------------------------------------------------- the sheet

Sheet::Sheet(Plugin& plugin, UIHostRecord& record) : plugin_(plugin), record_(record) {}

Sheet::~Sheet() {
  if (open_) cancel();
}

HWND Sheet::pageWindow(uint16_t index) const { return index < windows_.size() ? windows_[index] : 0; }

bool Sheet::open() {
  if (open_) return false;
  record_.callback = &Sheet::callback;
  record_.pages = nullptr;
  record_.pageCount = 0;
  sheets()[&record_] = this;
  before_ = openObjects();
  const uint16_t count = plugin_.entries().initialize(&record_, 0);
  note("UI_INITIALIZE count -> " + std::to_string(count));
  if (count == 0) {
    sheets().erase(&record_);
    return false;
  }
  pages_.assign(count + 1u, PROPSHEETPAGEW());
  pageRecords_.clear();
  for (uint16_t i = 0; i <= count; ++i) {
    pageRecords_.push_back(std::make_unique<UIHostPageRecord>());
    pageRecords_.back()->index = i;
    pages_[i].lParam = pageRecords_.back().get();
  }
  pages_[0].pfnDlgProc = hostPageProc;
  pages_[0].pszTitle = u"General";
  record_.pages = pages_.data();
  record_.pageCount = static_cast<uint16_t>(pages_.size());
  Window frame;
  frame.kind = "frame";
  frame.handle = newHandle();
  frame_ = frame.handle;
  desk().windows.emplace(frame_, frame);
  windows_.assign(pages_.size(), 0);
  open_ = true;
  const uint16_t built = plugin_.entries().initialize(&record_, 1);
  note("UI_INITIALIZE build -> " + std::to_string(built));
  if (built != count) {
    // The plug-in made no pages (its resources did not load): only the
    // host's own page is shown.
    note("UI_INITIALIZE built " + std::to_string(built) + " of " + std::to_string(count) + " pages");
    pages_.resize(1u + (built < count ? built : count));
    windows_.resize(pages_.size());
    record_.pageCount = static_cast<uint16_t>(pages_.size());
  }
  show(0);
  return true;
}

LRESULT Sheet::notify(HWND page, int32_t code) {
  PSHNOTIFY n;
  n.hdr = NMHDR{frame_, 0, code};
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

bool Sheet::show(uint16_t index) {
  if (!open_ || index >= pages_.size()) return false;
  if (windows_[active_] && index != active_) {
    if (notify(windows_[active_], PSN_KILLACTIVE)) {
      note("sheet: page " + std::to_string(active_) + " keeps the focus");
      return false;
    }
    Window* w = windowFor(windows_[active_], "sheet");
    if (w) w->visible = false;
  }
  if (!windows_[index]) {
    const PROPSHEETPAGEW& entry = pages_[index];
    const LPARAM parameter = reinterpret_cast<LPARAM>(&pages_[index]);
    if (index == 0 && !entry.hInstance) {
      windows_[index] = createEmptyDialog(frame_, entry.pfnDlgProc, parameter);
    } else {
      const int32_t id = IS_INTRESOURCE(entry.pszTemplate)
                             ? static_cast<int32_t>(reinterpret_cast<uintptr_t>(entry.pszTemplate))
                             : -1;
      windows_[index] = createDialog(entry.hInstance, id, frame_, entry.pfnDlgProc, parameter, false);
    }
    if (!windows_[index]) {
      note("sheet: page " + std::to_string(index) + " cannot be made");
      // The page that was left stays the one shown.
      if (windows_[active_] && index != active_) {
        if (Window* w = windowFor(windows_[active_], "sheet")) w->visible = true;
        notify(windows_[active_], PSN_SETACTIVE);
      }
      return false;
    }
  }
  if (Window* w = windowFor(windows_[index], "sheet")) w->visible = true;
  active_ = index;
  notify(windows_[index], PSN_SETACTIVE);
  pump();
  return true;
}

bool Sheet::ok() {
  if (!open_) return false;
  if (windows_[active_] && notify(windows_[active_], PSN_KILLACTIVE)) {
    note("sheet: OK refused by page " + std::to_string(active_));
    return false;
  }
  applying_ = true;
  applied_ = false;
  for (HWND w : windows_)
    if (w && IsWindow(w)) notify(w, PSN_APPLY);
  applying_ = false;
  pump();
  close();
  return true;
}

void Sheet::cancel() {
  if (!open_) return;
  for (HWND w : windows_)
    if (w && IsWindow(w)) notify(w, PSN_RESET);
  close();
}

void Sheet::close() {
  for (HWND& w : windows_) {
    if (w && IsWindow(w)) {
      reportLeakedDCs(w);
      DestroyWindow(w);
    }
    w = 0;
  }
  plugin_.entries().destroy(&record_);
  note("UI_DESTROY");
  // The sheet's scratch values are the sheet's alone: they leave the
  // settings with it.
  if (record_.settings && desk().hooks.removeScratch) desk().hooks.removeScratch(record_.settings);
  if (frame_ && IsWindow(frame_)) destroyWindowTree(frame_);
  frame_ = 0;
  record_.pages = nullptr;
  record_.pageCount = 0;
  sheets().erase(&record_);
  open_ = false;
  pump();
  for (const std::string& left : openObjects())
    if (std::find(before_.begin(), before_.end(), left) == before_.end()) misused("left at the sheet's close: " + left);
}

void Sheet::callback(HWND window, UINT message, WPARAM, LPARAM lParam, UIHostRecord* record) {
  auto s = sheets().find(record);
  if (s == sheets().end()) {
    misused("the host callback with a record of no open sheet");
    return;
  }
  Sheet& sheet = *s->second;
  std::string line = "callback " + hex(window) + " " + hex(message);
  if (message == WM_NOTIFY && lParam) {
    const int32_t code = reinterpret_cast<const NMHDR*>(lParam)->code;
    line += " " + std::to_string(code);
    if (code == PSN_APPLY && sheet.applying_ && !sheet.applied_) {
      // Every page passes PSN_APPLY on; the settings are applied once.
      sheet.applied_ = true;
      ++sheet.applies_;
      note(line);
      note("apply");
      if (sheet.apply) sheet.apply(*record);
      return;
    }
  }
  note(line);
}

}  // namespace uihost
