// A resource file as the printer may name it: read by the host as the
// plug-in's resource module, and everything it names loaded: every string,
// every dialog run (unscripted, so cancelled), every bitmap and cursor, and
// its version data read by every path.

#include <cstdint>
#include <string>

#include "common.h"
#include "host/uihost/resfile.h"
#include "host/uihost/uihost.h"
#include "host/win32/paths.h"

namespace {

INT_PTR cancelOnly(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
  return message == WM_INITDIALOG;
}

void readVersion() {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(u"FUZZ.DLL", &handle);
  if (size == 0) return;
  std::basic_string<uint32_t> data((size + 3) / 4, 0);
  if (!GetFileVersionInfoW(u"fuzz.dll", handle, size, data.data())) return;
  void* value = nullptr;
  UINT length = 0;
  for (const char16_t* path : {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904E4\\CompanyName",
                               u"\\StringFileInfo\\040904E4\\ProductVersion"})
    (void)VerQueryValueW(data.data(), path, &value, &length);  // found or not, both are answers
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  uihost::ResourceModule parsed;
  std::string error;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!uihost::parseResources(text, "fuzz.res", parsed, error)) return 0;
  fuzz::InputFile input(data, size, "FUZZ.RES");
  if (!input.ok()) return 0;
  uihost::reset();
  uihost::setResourceFolder(RWWString(u"."));
  const HMODULE module = LoadLibraryW(u"Fuzz.dll");
  if (module) {
    char16_t buffer[256];
    for (const auto& [id, s] : parsed.strings) (void)LoadStringW(module, id, buffer, 256);
    for (const auto& [id, d] : parsed.dialogs)
      (void)DialogBoxParamW(module, MAKEINTRESOURCEW(static_cast<uint16_t>(id)), 0, cancelOnly, 0);
    for (const auto& [id, b] : parsed.bitmaps) DeleteObject(LoadBitmapW(module, MAKEINTRESOURCEW(static_cast<uint16_t>(id))));
    for (const auto& [id, c] : parsed.cursors) SetCursor(LoadCursorW(module, MAKEINTRESOURCEW(static_cast<uint16_t>(id))));
    readVersion();
    FreeLibrary(module);
  }
  uihost::reset();
  return 0;
}
