// A small plug-in for the host's tests: a document page (dialog 400) and a
// device page (dialog 410) from the tests' resource module, each passing
// every message it gets on to the host, as the real pages do.

#include "host/uihost/win32ui.h"

#ifndef PLUGIN_VERSION
#define PLUGIN_VERSION 2
#endif

namespace {

HINSTANCE pluginModule = 0;
HMODULE resources = 0;

struct Page {
  PROPSHEETPAGEW* entry;
  UIHostRecord* record;
};

Page* pageOf(HWND window) {
  auto* entry = reinterpret_cast<PROPSHEETPAGEW*>(GetWindowLongPtrW(window, DWL_USER));
  return entry && entry->lParam ? static_cast<Page*>(entry->lParam->page) : nullptr;
}

INT_PTR pageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR answer = 0;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWL_USER, lParam);
    // Item 999 is in no template: both calls must do nothing.
    ShowWindow(GetDlgItem(window, 999), SW_HIDE);
    EnableWindow(GetDlgItem(window, 999), 0);
    answer = 1;
  }
  Page* page = pageOf(window);
  if (page && page->record->callback) page->record->callback(window, message, wParam, lParam, page->record);
  if (message == WM_DESTROY) SetWindowLongPtrW(window, DWL_USER, 0);
  return answer;
}

uint16_t countPages(const UIHostRecord* record) {
  uint16_t n = 0;
  if (record->pageSets & (UI_PAGES_DOCUMENT | UI_PAGES_DOCUMENT2)) ++n;
  if (record->pageSets & UI_PAGES_DEVICE) ++n;
  return n;
}

void fill(PROPSHEETPAGEW& entry, UIHostRecord* record, uint16_t dialog) {
  entry.dwFlags = PSP_HASHELP;
  entry.hInstance = resources;
  entry.pszTemplate = MAKEINTRESOURCEW(dialog);
  entry.pfnDlgProc = pageProc;
  entry.lParam->page = new Page{&entry, record};
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) BOOL DllMain(HINSTANCE module, DWORD reason, void*) {
  if (reason == 1) pluginModule = module;
  return 1;
}

__attribute__((visibility("default"))) uint16_t UI_INTERFACEVERSION() { return PLUGIN_VERSION; }

__attribute__((visibility("default"))) uint16_t UI_INITIALIZE(UIHostRecord* record, uint16_t first) {
  const uint16_t count = countPages(record);
  if (!record->pages) return count;
  resources = LoadLibraryW(u"UIHOSTTEST.DLL");
  if (!resources) return 0;
  uint16_t at = first;
  if (record->pageSets & (UI_PAGES_DOCUMENT | UI_PAGES_DOCUMENT2)) fill(record->pages[at++], record, 400);
  if (record->pageSets & UI_PAGES_DEVICE) fill(record->pages[at++], record, 410);
  return count;
}

__attribute__((visibility("default"))) uint16_t UI_DESTROY(UIHostRecord* record) {
  for (uint16_t i = 0; i < record->pageCount; ++i) {
    PROPSHEETPAGEW& entry = record->pages[i];
    if (entry.hInstance == resources && entry.lParam && entry.lParam->page) {
      delete static_cast<Page*>(entry.lParam->page);
      entry.lParam->page = nullptr;
    }
  }
  if (resources) FreeLibrary(resources);
  resources = 0;
  return 0;
}

__attribute__((visibility("default"))) uint16_t UI_CONFIGTOSETTINGS(UIHostRecord*) { return 0; }
__attribute__((visibility("default"))) uint16_t UI_SETTINGSTOCONFIG(UIHostRecord*) { return 0; }
}
