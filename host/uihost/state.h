#ifndef HOST_UIHOST_STATE_H
#define HOST_UIHOST_STATE_H

// The desktop's tables, shared by the files of the host: windows, drawing
// objects, modules, searches, timers, scripts and the log. Not part of any
// interface.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/uihost/resfile.h"
#include "host/uihost/uihost.h"

namespace uihost {

struct Entry {
  std::u16string text;
  LPARAM data = 0;
};

struct Window {
  HWND handle = 0;
  HWND parent = 0;
  std::string kind;  // dialog, button, checkbox, radio, groupbox, edit, combobox, listbox, updown, scrollbar, static, frame
  int32_t id = 0;
  std::u16string text;
  DWORD style = 0;
  RECT rect;  // in the parent's client pixels
  WNDPROC proc = nullptr;
  uintptr_t classCursor = 0;
  bool enabled = true;
  bool visible = true;
  bool invalid = false;
  // dialogs
  DLGPROC dialogProc = nullptr;
  LONG_PTR user = 0, messageResult = 0, userData = 0;
  int32_t defaultId = 0;
  HMODULE module = 0;
  int32_t templateId = 0;
  bool modal = false, ended = false;
  INT_PTR result = 0;
  // controls
  UINT check = 0;
  std::vector<Entry> entries;
  int32_t selection = -1;
  int32_t limit = 30000;
  int32_t lower = 0, upper = 100, position = 0;
  HWND buddy = 0;
  uintptr_t image = 0;
};

struct GdiObject {
  std::string kind;  // dc, bitmap, pen, brush, font
  bool stock = false;
  // dc
  HWND window = 0;
  bool memory = false;
  HGDIOBJ pen = 0, brush = 0, font = 0, bitmap = 0;
  int32_t mapMode = MM_TEXT;
  COLORREF textColour = 0, backColour = 0xFFFFFF;
  int32_t backMode = OPAQUE;
  // bitmap
  int32_t width = 0, height = 0;
  uint32_t bits = 24;
  HDC selectedIn = 0;
  std::string origin;
  // pen, brush
  int32_t style = 0, penWidth = 0;
  COLORREF colour = 0;
  LOGFONTW logFont;
};

struct Module {
  HMODULE handle = 0;
  std::u16string name;      // as it was found by
  RWWString fileName;       // logical path
  int uses = 0;
  ResourceModule resources;
  std::vector<uint8_t> versionData;
  std::map<std::string, FARPROC> procedures;
  bool plugin = false;
};

struct Timer {
  HWND window = 0;
  uintptr_t id = 0;
  UINT interval = 0;
  DWORD due = 0;
  TIMERPROC procedure = nullptr;
};

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct Desktop {
  uint32_t next = 0x1000;
  std::set<uint32_t> closed;
  std::map<HWND, Window> windows;
  std::map<HGDIOBJ, GdiObject> gdi;
  std::map<int32_t, HGDIOBJ> stock;
  std::map<HMODULE, Module> modules;
  std::map<std::u16string, Module> registered;  // by folded name
  std::map<HANDLE, std::vector<WIN32_FIND_DATAW>> searches;
  std::map<std::pair<HWND, uintptr_t>, Timer> timers;
  std::set<UIHostResolver*> resolvers;
  std::deque<Posted> posted;
  HWND focus = 0;
  HCURSOR cursor = 0;
  std::map<std::pair<HMODULE, uintptr_t>, HCURSOR> cursors;
  DWORD clock = 0;
  DWORD lastError = 0;
  int runs = 0;  // modal runs under way

  std::map<int32_t, std::deque<std::function<void(DialogRun&)>>> dialogScripts;
  std::deque<std::function<int32_t(const MessageBoxCall&)>> messageBoxes;
  std::deque<std::function<std::u16string(const OPENFILENAMEW&, const std::vector<std::u16string>&)>> openFiles;

  UINT winExecAnswer = 33;
  BOOL winHelpAnswer = 1;
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> profile;
  std::u16string userName = u"user";
  std::map<std::u16string, DWORD> binaryTypes;
  std::vector<FontFamily> fonts;
  RWWString resourceFolder;
  Hooks hooks;

  std::vector<std::string> log;
  std::vector<std::string> misuse;
};

Desktop& desk();
uint32_t newHandle();
void note(const std::string& line);
void misused(const std::string& line);
std::string hex(uint64_t v);
std::string narrow(const std::u16string& text);
std::u16string fold(const std::u16string& text);
std::u16string textOf(const char16_t* text);
// Copies at most capacity - 1 units and a terminator; answers the units copied.
int32_t copyOut(const std::u16string& text, char16_t* buffer, int32_t capacity);

// The live window for a handle; null for 0 (silently) and for a closed or
// unknown handle (counted as misuse, naming the call).
Window* windowFor(HWND window, const char* call);
HWND createDialog(HMODULE module, int32_t templateId, HWND parent, DLGPROC procedure, LPARAM parameter, bool modal);
HWND createEmptyDialog(HWND parent, DLGPROC procedure, LPARAM parameter);
// The window and everything under it, parents first.
std::vector<HWND> subtree(HWND window);
void destroyWindowTree(HWND window);
// DCs got for the window or its children and not released, each counted.
void reportLeakedDCs(HWND window);
std::vector<std::u16string> listFolder(const std::string& hostFolder, const std::u16string& pattern, bool hidden);
bool wildcardMatch(const std::u16string& pattern, const std::u16string& name);
void resetGdi();
void resetModules();
// The plug-in's own entry in the module table, and its removal.
HMODULE registerPlugin(const std::u16string& name, const RWWString& fileName);
void releasePlugin(HMODULE module);

}  // namespace uihost

#endif
