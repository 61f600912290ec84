#ifndef HOST_UIHOST_UIHOST_H
#define HOST_UIHOST_UIHOST_H

// The host's own side of the user-interface platform: what a test (or the
// host program) sets up, scripts and reads back. The plug-in sees none of
// this; it sees win32ui.h.
//
// One desktop per process, used from one thread, as the plug-in is. Every
// call of the platform is written to the log; every misuse is written to
// the misuse list as well, which a test that does not expect it fails on
// (testkit/ui does that check). reset() forgets windows, drawing objects,
// scripts, answers, logs and misuse, and counts what was still open as
// misuse first.
//
// Scripts: a dialog run (DialogBoxParamW) takes the next script queued for
// its template and plays it after WM_INITDIALOG; the run ends when the
// dialog calls EndDialog. A script that ends without that presses Cancel,
// and a run with no script at all answers IDCANCEL; both are logged.
// Message boxes take the next scripted answer, else their first button.
// After every action, posted messages are delivered and then every
// owner-drawn item that was invalidated gets one WM_DRAWITEM.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/uihost/win32ui.h"
#include "rw/wstring.h"

namespace uihost {

// ------------------------------------------------------------ the desktop
void reset();
const std::vector<std::string>& log();
void clearLog();
// Lines of the log that start with the prefix, in order.
std::vector<std::string> logLines(const std::string& prefix);
const std::vector<std::string>& misuse();
void clearMisuse();
// The windows and drawing objects still open: "window 0x...", "dc 0x..."...
std::vector<std::string> openObjects();

// The core library's part in the host, handed in by the program that links
// both (the host includes nothing above the platform interfaces).
struct Hooks {
  // The string id and first text of a display string; false for none.
  std::function<bool(const GDisplayString*, uint16_t& id, RWWString& text)> displayString;
  // Takes the sheet's scratch group out of the settings after the plug-in
  // is done with them.
  std::function<void(GAttributeComposite*)> removeScratch;
};
void setHooks(const Hooks& hooks);

// -------------------------------------------------------------- modules
// Where LoadLibraryW finds resource files: a logical (backslash) folder.
void setResourceFolder(const RWWString& folder);
// A module a test registers: LoadLibraryW finds it by name (without case),
// GetProcAddress its procedures; its resources are given as resource text.
// Answers false (logged) when the text does not parse.
bool registerModule(const std::u16string& name, const std::map<std::string, FARPROC>& procedures,
                    const std::string& resourceText = std::string(), const std::u16string& fileName = u"");
// The loaded module's handle for a name, 0 when none is loaded.
HMODULE loadedModule(const std::u16string& name);

// -------------------------------------------------------------- scripts
class DialogRun {
 public:
  explicit DialogRun(HWND dialog) : dialog_(dialog) {}
  HWND window() const { return dialog_; }
  HWND item(int32_t id) const;
  std::u16string text(int32_t id) const;
  bool ended() const;

  // Each action sends what the platform sends for it, then pumps.
  void click(int32_t id);                       // buttons, boxes; BN_CLICKED
  void select(int32_t id, const std::u16string& text);  // combo or list; *_SELCHANGE
  void type(int32_t id, const std::u16string& text);    // one EN_CHANGE per change
  void leave(int32_t id);                       // focus leaves the item
  void spin(int32_t id, int32_t delta);         // UDN_DELTAPOS, then WM_VSCROLL
  void key(int32_t id, UINT virtualKey);        // WM_KEYDOWN, WM_KEYUP to the item
  void mouse(UINT message, int32_t x, int32_t y);  // dialog client coordinates
  void help(int32_t id);                        // WM_HELP
  void contextMenu(int32_t id);                 // WM_CONTEXTMENU
  void timer(uintptr_t id);                     // the dialog's timer fires

 private:
  HWND dialog_;
};

void scriptDialog(int32_t templateId, std::function<void(DialogRun&)> script);

struct MessageBoxCall {
  HWND owner = 0;
  std::u16string text;
  std::u16string caption;
  UINT style = 0;
};
void scriptMessageBox(std::function<int32_t(const MessageBoxCall&)> answer);

// Delivers posted messages, then the owed WM_DRAWITEMs.
void pump();

// ---------------------------------------------------- service answers
void setWinExecAnswer(UINT answer);
void setWinHelpAnswer(BOOL answer);
void setProfileString(const std::u16string& section, const std::u16string& key, const std::u16string& value);
void setUserName(const std::u16string& name);
// A binary type for a name (without case); a name not given fails.
void setBinaryType(const std::u16string& name, DWORD type);
// Answers an open-file request: given the visible files of the folder that
// fit the filter (sorted), answers the full name chosen, or empty for
// Cancel. Unscripted requests are cancelled.
void scriptOpenFile(std::function<std::u16string(const OPENFILENAMEW&, const std::vector<std::u16string>&)> answer);
struct FontFamily {
  LOGFONTW font;
  TEXTMETRICW metrics;
  DWORD type = TRUETYPE_FONTTYPE;
};
void setFontFamilies(const std::vector<FontFamily>& families);
// The millisecond clock; advancing it fires every timer that falls due.
void advanceClock(DWORD milliseconds);

// ----------------------------------------------------------- the host
struct PluginEntries {
  UIEntryPoint entry = nullptr;
  UIInterfaceVersionProc interfaceVersion = nullptr;
  UIInitializeProc initialize = nullptr;
  UIHostRecordProc destroy = nullptr;
  UIHostRecordProc configToSettings = nullptr;
  UIHostRecordProc settingsToConfig = nullptr;
};

// A loaded plug-in: its entry point has had (handle, 1); destruction gives
// it (handle, 0) and unloads it.
class Plugin {
 public:
  // dlopen of a file (host path). Null, logged, when it does not load, lacks
  // an export, or answers an interface version other than 2.
  static std::unique_ptr<Plugin> load(const std::string& file);
  static std::unique_ptr<Plugin> fromEntries(const PluginEntries& entries, const std::u16string& name = u"plugin");
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  HMODULE module() const { return module_; }
  const PluginEntries& entries() const { return entries_; }

 private:
  Plugin() = default;
  static std::unique_ptr<Plugin> start(std::unique_ptr<Plugin> plugin);
  void* library_ = nullptr;
  HMODULE module_ = 0;
  PluginEntries entries_;
};

// A property sheet over a plug-in. open() counts, builds and shows entry 0
// (the host's own page); show() switches pages, creating each the first
// time; ok() and cancel() close it. Each page message the plug-in passes
// on reaches the host's callback, which logs it and hands the first
// PSN_APPLY of each OK to apply.
class Sheet {
 public:
  Sheet(Plugin& plugin, UIHostRecord& record);
  ~Sheet();

  // False (logged) when the plug-in counts or builds no pages.
  bool open();
  uint16_t pageCount() const { return static_cast<uint16_t>(pages_.size()); }
  bool show(uint16_t index);
  uint16_t active() const { return active_; }
  HWND pageWindow(uint16_t index) const;
  // PSN_KILLACTIVE to the active page, PSN_APPLY to every created page,
  // then the close. False when the active page refuses to be left.
  bool ok();
  void cancel();
  bool isOpen() const { return open_; }

  std::function<void(UIHostRecord&)> apply;
  int applies() const { return applies_; }

 private:
  static void callback(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UIHostRecord* record);
  LRESULT notify(HWND page, int32_t code);
  void close();

  Plugin& plugin_;
  UIHostRecord& record_;
  HWND frame_ = 0;
  std::vector<PROPSHEETPAGEW> pages_;
  std::vector<std::unique_ptr<UIHostPageRecord>> pageRecords_;
  std::vector<HWND> windows_;
  std::vector<std::string> before_;  // what was open before the sheet
  uint16_t active_ = 0;
  bool open_ = false;
  bool applying_ = false;
  bool applied_ = false;
  int applies_ = 0;
};

}  // namespace uihost

#endif
