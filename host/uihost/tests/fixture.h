#ifndef HOST_UIHOST_TESTS_FIXTURE_H
#define HOST_UIHOST_TESTS_FIXTURE_H

// The host tests' fixture: a clean desktop whose resource folder holds the
// tests' resource file, the module loaded, and a dialog procedure that
// writes down what reaches it.

#include <ostream>
#include <string>
#include <vector>

#include "host/uihost/uihost.h"
#include "host/win32/paths.h"
#include "testkit/ui/hosthooks.h"

namespace uitest {

struct Heard {
  UINT message;
  int32_t id;    // WM_COMMAND: the item; WM_NOTIFY: idFrom; WM_DRAWITEM: CtlID
  int32_t code;  // WM_COMMAND: the notification; WM_NOTIFY: the code; WM_VSCROLL: the low word
  LPARAM detail; // what the message carried that the test looks at
};

inline bool operator==(const Heard& a, const Heard& b) {
  return a.message == b.message && a.id == b.id && a.code == b.code && a.detail == b.detail;
}
inline void PrintTo(const Heard& h, std::ostream* os) {
  *os << "{" << std::hex << h.message << std::dec << ", " << h.id << ", " << h.code << ", " << h.detail << "}";
}

inline std::vector<Heard>& heard() {
  static std::vector<Heard> h;
  return h;
}

// Writes down commands, notices, scrolls and drawing requests; ends the run
// on OK and Cancel with their ids.
inline INT_PTR recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return 1;
    case WM_COMMAND: {
      const int32_t id = LOWORD(wParam), code = HIWORD(wParam);
      LPARAM detail = 0;
      const HWND item = static_cast<HWND>(lParam);
      if (code == BN_CLICKED && item) detail = SendMessageW(item, BM_GETCHECK, 0, 0);
      if (code == CBN_SELCHANGE && item) {
        const UINT get = id == 305 ? CB_GETCURSEL : LB_GETCURSEL;
        const UINT data = id == 305 ? CB_GETITEMDATA : LB_GETITEMDATA;
        detail = SendMessageW(item, data, static_cast<WPARAM>(SendMessageW(item, get, 0, 0)), 0);
      }
      if (code == EN_CHANGE && item) detail = GetWindowTextLengthW(item);
      heard().push_back({message, id, code, detail});
      if (id == IDOK || id == IDCANCEL) EndDialog(dialog, id);
      return 1;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      LPARAM detail = 0;
      if (header->code == UDN_DELTAPOS) detail = reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta;
      heard().push_back({message, static_cast<int32_t>(header->idFrom), header->code, detail});
      return 1;
    }
    case WM_VSCROLL:
      heard().push_back({message, GetDlgCtrlID(static_cast<HWND>(lParam)), LOWORD(wParam), HIWORD(wParam)});
      return 1;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      heard().push_back({message, static_cast<int32_t>(item->CtlID), static_cast<int32_t>(item->itemAction), 0});
      return 1;
    }
  }
  return 0;
}

inline RWWString testResourceFolder() { return logicalPath(UIHOST_TEST_RESOURCES); }

class HostTest : public UIHostTest {
 protected:
  void SetUp() override {
    UIHostTest::SetUp();
    heard().clear();
    uihost::setResourceFolder(testResourceFolder());
    module = LoadLibraryW(u"uihosttest.dll");
    ASSERT_NE(module, 0u);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
    UIHostTest::TearDown();
  }

  // Runs dialog 300 with the script.
  INT_PTR run(std::function<void(uihost::DialogRun&)> script, int32_t id = 300) {
    uihost::scriptDialog(id, std::move(script));
    return DialogBoxParamW(module, MAKEINTRESOURCEW(static_cast<uint16_t>(id)), 0, recordingProc, 0);
  }

  HMODULE module = 0;
};

}  // namespace uitest

#endif
