// Windows, controls and modal runs: each action sends what the platform
// sends, controls answer as the platform does, and misuse is counted.

#include <gtest/gtest.h>

#include "fixture.h"

namespace {

using uihost::DialogRun;
using uitest::heard;
using uitest::Heard;
using uitest::HostTest;

class Controls : public HostTest {};

void fillLists(HWND dialog) {
  SendDlgItemMessageW(dialog, 305, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Letter"));
  SendDlgItemMessageW(dialog, 305, CB_SETITEMDATA, 0, 1);
  SendDlgItemMessageW(dialog, 305, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"A4"));
  SendDlgItemMessageW(dialog, 305, CB_SETITEMDATA, 1, 9);
  SendDlgItemMessageW(dialog, 306, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Tray 1"));
  SendDlgItemMessageW(dialog, 306, LB_SETITEMDATA, 0, 258);
}

// Every action of one dialog, with what the dialog hears of each.
TEST_F(Controls, EachActionSendsWhatThePlatformSends) {
  struct Row {
    const char* what;
    std::function<void(DialogRun&)> act;
    std::vector<Heard> expected;
  };
  const std::vector<Row> rows{
      {"a check box toggles, then notifies with its new state",
       [](DialogRun& r) { r.click(301); },
       {{WM_COMMAND, 301, BN_CLICKED, BST_CHECKED}}},
      {"a second click clears it",
       [](DialogRun& r) { r.click(301); },
       {{WM_COMMAND, 301, BN_CLICKED, BST_UNCHECKED}}},
      {"a radio button checks itself",
       [](DialogRun& r) { r.click(303); },
       {{WM_COMMAND, 303, BN_CLICKED, BST_CHECKED}}},
      {"select by text gives the selection's item data",
       [](DialogRun& r) { r.select(305, u"A4"); },
       {{WM_COMMAND, 305, CBN_SELCHANGE, 9}}},
      {"a list box likewise",
       [](DialogRun& r) { r.select(306, u"Tray 1"); },
       {{WM_COMMAND, 306, LBN_SELCHANGE, 258}}},
      {"typing: one EN_CHANGE per character, none past the limit of 3",
       [](DialogRun& r) { r.type(307, u"12345"); },
       {{WM_COMMAND, 307, EN_CHANGE, 1},
        {WM_COMMAND, 307, EN_CHANGE, 2},
        {WM_COMMAND, 307, EN_CHANGE, 3},
        {WM_COMMAND, 307, EN_MAXTEXT, 0},
        {WM_COMMAND, 307, EN_MAXTEXT, 0}}},
      {"typing over: the old text goes in one change",
       [](DialogRun& r) { r.type(307, u"9"); },
       {{WM_COMMAND, 307, EN_CHANGE, 0}, {WM_COMMAND, 307, EN_CHANGE, 1}}},
      {"spin: UDN_DELTAPOS with the delta, then WM_VSCROLL at the new position",
       [](DialogRun& r) { r.spin(308, 2); },
       {{WM_NOTIFY, 308, UDN_DELTAPOS, 2}, {WM_VSCROLL, 308, SB_THUMBPOSITION, 2}, {WM_VSCROLL, 308, SB_ENDSCROLL, 2}}},
  };
  run([&](DialogRun& r) {
    fillLists(r.window());
    // Focus moving into the edit sends EN_SETFOCUS first; those are not what
    // the rows are about.
    for (const Row& row : rows) {
      heard().clear();
      row.act(r);
      std::vector<Heard> got;
      for (const Heard& h : heard())
        if (!(h.message == WM_COMMAND && (h.code == EN_SETFOCUS || h.code == EN_KILLFOCUS ||
                                          h.code == CBN_SETFOCUS || h.code == CBN_KILLFOCUS ||
                                          h.code == LBN_SETFOCUS || h.code == LBN_KILLFOCUS)))
          got.push_back(h);
      EXPECT_EQ(got, row.expected) << row.what;
    }
    EXPECT_EQ(r.text(307), u"9");
    r.click(IDOK);
  });
}

TEST_F(Controls, RadioButtonsOfAGroupStayExclusive) {
  run([](DialogRun& r) {
    r.click(302);
    r.click(304);
    EXPECT_EQ(IsDlgButtonChecked(r.window(), 302), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(r.window(), 303), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(r.window(), 304), BST_CHECKED);
    // The check box is of no group of radio buttons.
    EXPECT_EQ(IsDlgButtonChecked(r.window(), 301), BST_UNCHECKED);
    r.click(IDOK);
  });
}

// Combo and list boxes answer -1 for what is not there, as the platform does.
TEST_F(Controls, ComboAndListAnswerMinusOneOnAnEmptyListAndABadIndex) {
  run([](DialogRun& r) {
    char16_t text[8] = u"x";
    for (const int32_t item : {305, 306}) {
      const bool combo = item == 305;
      auto send = [&](UINT cb, UINT lb, WPARAM w, LPARAM l) {
        return SendDlgItemMessageW(r.window(), item, combo ? cb : lb, w, l);
      };
      SCOPED_TRACE(combo ? "combo box" : "list box");
      EXPECT_EQ(send(CB_GETCOUNT, LB_GETCOUNT, 0, 0), 0);
      EXPECT_EQ(send(CB_GETCURSEL, LB_GETCURSEL, 0, 0), -1);
      EXPECT_EQ(send(CB_SETCURSEL, LB_SETCURSEL, 0, 0), -1);
      EXPECT_EQ(send(CB_GETITEMDATA, LB_GETITEMDATA, 0, 0), -1);
      EXPECT_EQ(send(CB_GETLBTEXTLEN, LB_GETTEXTLEN, 0, 0), -1);
      EXPECT_EQ(send(CB_GETLBTEXT, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), -1);
      EXPECT_EQ(send(CB_DELETESTRING, LB_DELETESTRING, 0, 0), -1);
      EXPECT_EQ(send(CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"A")), -1);
      EXPECT_EQ(send(CB_ADDSTRING, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Only")), 0);
      for (const WPARAM bad : {WPARAM{1}, static_cast<WPARAM>(-2), WPARAM{1000}}) {
        EXPECT_EQ(send(CB_GETITEMDATA, LB_GETITEMDATA, bad, 0), -1);
        EXPECT_EQ(send(CB_SETITEMDATA, LB_SETITEMDATA, bad, 5), -1);
        EXPECT_EQ(send(CB_GETLBTEXTLEN, LB_GETTEXTLEN, bad, 0), -1);
        EXPECT_EQ(send(CB_SETCURSEL, LB_SETCURSEL, bad, 0), -1);
      }
      EXPECT_EQ(send(CB_GETCURSEL, LB_GETCURSEL, 0, 0), -1);
      EXPECT_EQ(send(CB_SETCURSEL, LB_SETCURSEL, 0, 0), 0);
      EXPECT_EQ(send(CB_GETLBTEXTLEN, LB_GETTEXTLEN, 0, 0), 4);
      EXPECT_EQ(send(CB_GETLBTEXT, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 4);
      EXPECT_EQ(std::u16string(text), u"Only");
      EXPECT_EQ(send(CB_INSERTSTRING, LB_INSERTSTRING, 5, reinterpret_cast<LPARAM>(u"Past")), -1);
    }
    r.click(IDCANCEL);
  });
}

// A window text copy stops at the caller's room and is always terminated.
TEST_F(Controls, WindowTextTruncatesToTheCapacityAndTerminates) {
  run([](DialogRun& r) {
    const HWND label = r.item(310);
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(GetWindowTextW(label, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"Lab");
    EXPECT_EQ(GetWindowTextW(label, buffer, 1), 0);
    EXPECT_EQ(buffer[0], u'\0');
    EXPECT_EQ(GetWindowTextLengthW(label), 5);
    r.click(IDOK);
  });
}

LRESULT (*replaced)(HWND, UINT, WPARAM, LPARAM) = nullptr;
std::vector<UINT> subclassSaw;
LRESULT subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  subclassSaw.push_back(message);
  if (message == WM_KEYDOWN) heard().push_back({message, -1, static_cast<int32_t>(wParam), 0});
  return CallWindowProcW(replaced, window, message, wParam, lParam);
}

TEST_F(Controls, ASubclassSeesTheKeyBeforeTheControl) {
  subclassSaw.clear();
  run([](DialogRun& r) {
    fillLists(r.window());
    replaced = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(r.item(305), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass)));
    SetFocus(r.item(305));
    heard().clear();
    r.key(305, VK_DOWN);
    ASSERT_GE(heard().size(), 2u);
    // The subclass first, then the box moves its selection and says so.
    EXPECT_EQ(heard()[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(heard()[1].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(heard()[1].code, CBN_SELCHANGE);
    EXPECT_EQ(heard()[1].detail, 1);
    r.click(IDOK);
  });
  EXPECT_NE(std::find(subclassSaw.begin(), subclassSaw.end(), static_cast<UINT>(WM_KEYUP)), subclassSaw.end());
}

// A click in the nested dialog's button runs an inner dialog, which asks a
// message box; the outer run gets the inner's answer.
HMODULE nestedModule = 0;
INT_PTR innerAnswer = 0;
INT_PTR nestingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == 313) {
    innerAnswer = DialogBoxParamW(nestedModule, MAKEINTRESOURCEW(320), dialog, uitest::recordingProc, 0);
    return 1;
  }
  return uitest::recordingProc(dialog, message, wParam, lParam);
}

TEST_F(Controls, NestedRunsReturnTheInnerValueAndMessageBoxesAreScripted) {
  nestedModule = module;
  uihost::MessageBoxCall asked;
  uihost::scriptMessageBox([&](const uihost::MessageBoxCall& call) {
    asked = call;
    return IDCANCEL;
  });
  uihost::scriptDialog(320, [](DialogRun& inner) {
    EXPECT_EQ(MessageBoxW(inner.window(), u"Sure?", u"Question", MB_OKCANCEL | MB_ICONINFORMATION), IDCANCEL);
    // Unscripted, a message box takes its first button.
    EXPECT_EQ(MessageBoxW(inner.window(), u"Again?", u"Question", MB_YESNO), IDYES);
    inner.click(IDOK);
  });
  uihost::scriptDialog(300, [](DialogRun& outer) {
    outer.click(313);
    outer.click(IDCANCEL);
  });
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(300), 0, nestingProc, 0), IDCANCEL);
  EXPECT_EQ(innerAnswer, IDOK);
  EXPECT_EQ(asked.text, u"Sure?");
  EXPECT_EQ(asked.caption, u"Question");
  EXPECT_EQ(asked.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
  EXPECT_NE(asked.owner, 0u);
  EXPECT_EQ(uihost::logLines("MessageBoxW").size(), 2u);
}

TEST_F(Controls, AnUnscriptedRunCancelsAndAMissingTemplateAnswersMinusOne) {
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(320), 0, uitest::recordingProc, 0), IDCANCEL);
  EXPECT_EQ(uihost::logLines("DialogBoxParamW 320: unscripted").size(), 1u);
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(399), 0, uitest::recordingProc, 0), -1);
  EXPECT_EQ(uihost::logLines("dialog 399: no such template").size(), 1u);
}

TEST_F(Controls, EachInvalidatedOwnerDrawnItemIsDrawnOnceBeforeTheTestResumes) {
  run([](DialogRun& r) {
    auto draws = [] {
      return std::count_if(heard().begin(), heard().end(), [](const Heard& h) { return h.message == WM_DRAWITEM; });
    };
    // Shown once when the dialog came up.
    EXPECT_EQ(draws(), 1);
    heard().clear();
    InvalidateRect(r.item(312), nullptr, 1);
    InvalidateRect(r.item(312), nullptr, 1);
    PostMessageW(r.window(), WM_COMMAND, MAKEWPARAM(301, BN_CLICKED), 0);
    EXPECT_EQ(draws(), 0);
    uihost::pump();
    EXPECT_EQ(draws(), 1);
    EXPECT_EQ(heard().size(), 2u);  // and the posted command arrived
    uihost::pump();
    EXPECT_EQ(draws(), 1);
    r.click(IDOK);
  });
}

TEST_F(Controls, MouseGoesToTheChildThatTakesItElseToTheDialog) {
  struct Row {
    int32_t x, y;
    const char* where;
  };
  run([](DialogRun& r) {
    RECT picture, plain, off;
    GetWindowRect(r.item(311), &picture);
    GetWindowRect(r.item(310), &plain);
    GetWindowRect(r.item(314), &off);
    POINT base;
    ClientToScreen(r.window(), &base);
    static HWND got = 0;
    replaced = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(r.item(311), GWLP_WNDPROC));
    auto spy = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m == WM_LBUTTONDOWN) got = w;
      return CallWindowProcW(replaced, w, m, wp, lp);
    };
    for (int32_t id : {310, 311, 314}) SetWindowLongPtrW(r.item(id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+spy));
    SetWindowLongPtrW(r.window(), DWL_MSGRESULT, 0);
    const std::vector<std::pair<RECT, HWND>> rows{{picture, r.item(311)}, {plain, 0}, {off, 0}};
    for (const auto& [rect, expected] : rows) {
      got = 0;
      r.mouse(WM_LBUTTONDOWN, rect.left - base.x + 1, rect.top - base.y + 1);
      EXPECT_EQ(got, expected);
    }
    // ChildWindowFromPoint finds every child, shown or not, and the dialog
    // itself where there is none.
    EXPECT_EQ(ChildWindowFromPoint(r.window(), POINT{plain.left - base.x + 1, plain.top - base.y + 1}), r.item(310));
    EXPECT_EQ(ChildWindowFromPoint(r.window(), POINT{1, 1}), r.window());
    r.click(IDOK);
  });
}

TEST_F(Controls, DefaultButtonAndFocusAreKept) {
  run([](DialogRun& r) {
    EXPECT_EQ(SendMessageW(r.window(), DM_GETDEFID, 0, 0), MAKELPARAM(IDOK, DC_HASDEFID));
    SendMessageW(r.window(), DM_SETDEFID, 313, 0);
    EXPECT_EQ(LOWORD(SendMessageW(r.window(), DM_GETDEFID, 0, 0)), 313);
    r.click(301);
    EXPECT_EQ(GetFocus(), r.item(301));
    r.type(307, u"1");
    EXPECT_EQ(GetFocus(), r.item(307));
    r.leave(307);
    EXPECT_NE(GetFocus(), r.item(307));
    r.click(IDOK);
  });
}

TEST_F(Controls, MetricsAreFixed) {
  run([](DialogRun& r) {
    RECT units{4, 8, 8, 16};
    MapDialogRect(r.window(), &units);
    EXPECT_EQ(units.left, 6);
    EXPECT_EQ(units.top, 13);
    EXPECT_EQ(units.right, 12);
    EXPECT_EQ(units.bottom, 26);
    EXPECT_EQ(LOWORD(GetDialogBaseUnits()), 6);
    EXPECT_EQ(HIWORD(GetDialogBaseUnits()), 13);
    const HDC dc = GetDC(r.window());
    SIZE size;
    GetTextExtentPoint32W(dc, u"ab c", 4, &size);
    EXPECT_EQ(size.cx, 6 + 6 + 4 + 6);
    EXPECT_EQ(size.cy, 13);
    LOGFONTW font;
    ASSERT_EQ(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font), static_cast<int32_t>(sizeof font));
    EXPECT_EQ(font.lfHeight, 13);
    ReleaseDC(r.window(), dc);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0xC0C0C0u);
    r.click(IDOK);
  });
}

// Misuse is counted, each a failure of the test unless it expects it.
TEST_F(Controls, APlacementMovesTheItemAndAWrongLengthIsRefused) {
  run([](DialogRun& r) {
    const HWND item = r.item(310);
    WINDOWPLACEMENT place;
    ASSERT_EQ(GetWindowPlacement(item, &place), 1);
    RECT before;
    GetWindowRect(item, &before);
    place.rcNormalPosition.top += 5;
    place.rcNormalPosition.bottom += 5;
    place.showCmd = SW_HIDE;
    ASSERT_EQ(SetWindowPlacement(item, &place), 1);
    RECT after;
    GetWindowRect(item, &after);
    EXPECT_EQ(after.top, before.top + 5);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(IsWindowVisible(item), 0);
    WINDOWPLACEMENT read;
    ASSERT_EQ(GetWindowPlacement(item, &read), 1);
    EXPECT_EQ(read.rcNormalPosition.top, place.rcNormalPosition.top);
    EXPECT_EQ(read.showCmd, static_cast<UINT>(SW_HIDE));

    WINDOWPLACEMENT wrong;
    wrong.length = 0;
    EXPECT_EQ(GetWindowPlacement(item, &wrong), 0);
    EXPECT_EQ(SetWindowPlacement(item, &wrong), 0);
    GetWindowRect(item, &before);
    EXPECT_EQ(before.top, after.top) << "a refused placement moves nothing";
    r.click(IDOK);
  });
}

TEST_F(Controls, MisuseIsCountedAndWindowZeroIsNone) {
  HWND gone = 0;
  run([&](DialogRun& r) {
    gone = r.item(301);
    // A missing item: nothing happens, and it is no misuse.
    EXPECT_EQ(GetDlgItem(r.window(), 999), 0u);
    EXPECT_EQ(ShowWindow(GetDlgItem(r.window(), 999), SW_HIDE), 0);
    EXPECT_EQ(EnableWindow(GetDlgItem(r.window(), 999), 0), 0);
    EXPECT_TRUE(uihost::misuse().empty());
    // A DC got and never released is reported when the run ends.
    (void)GetDC(r.item(312));
    r.click(IDOK);
  });
  ASSERT_EQ(uihost::misuse().size(), 1u);
  EXPECT_NE(uihost::misuse()[0].find("leaked DC"), std::string::npos);
  EXPECT_EQ(SendMessageW(gone, BM_GETCHECK, 0, 0), 0);  // a destroyed window
  EXPECT_EQ(EndDialog(gone, 1), 0);
  const HBRUSH brush = CreateSolidBrush(0xFF);
  const HDC dc = CreateCompatibleDC(0);
  SelectObject(dc, brush);
  EXPECT_EQ(DeleteObject(brush), 0);  // selected
  DeleteDC(dc);
  EXPECT_EQ(DeleteObject(brush), 1);
  EXPECT_EQ(DeleteObject(brush), 0);  // closed
  EXPECT_EQ(uihost::misuse().size(), 5u);
  expectMisuse(5);
}

}  // namespace
