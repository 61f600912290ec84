// The recorded services: each call logged as it was made, each answer the
// scripted one.

#include <gtest/gtest.h>

#include <fstream>

#include "fixture.h"
#include "host/uihost/state.h"
#include "testkit/tmpdir.h"

namespace {

using uitest::HostTest;

class Services : public HostTest {};

TEST_F(Services, HelpTablesAreReadUpToTheItemZeroPair) {
  const int32_t table[] = {1021, 101, 1022, 102, 0, 0, 1099, 999};
  EXPECT_EQ(WinHelpA(0, "QXDRV.HLP", HELP_WM_HELP, reinterpret_cast<uintptr_t>(table)), 1);
  EXPECT_EQ(WinHelpA(0, "QXDRV.HLP", HELP_CONTEXT, 300), 1);
  uihost::setWinHelpAnswer(0);
  EXPECT_EQ(WinHelpA(0, "QXDRV.HLP", HELP_CONTEXTMENU, reinterpret_cast<uintptr_t>(table + 2)), 0);
  const std::vector<std::string> calls = uihost::logLines("WinHelpA");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], "WinHelpA 0x0 \"QXDRV.HLP\" 12 pairs 1021:101 1022:102 -> 1");
  EXPECT_EQ(calls[1], "WinHelpA 0x0 \"QXDRV.HLP\" 1 300 -> 1");
  EXPECT_EQ(calls[2], "WinHelpA 0x0 \"QXDRV.HLP\" 10 pairs 1022:102 -> 0");
}

TEST_F(Services, WinExecGetsTheExactBytes) {
  const char command[] = "C:\\DRV\\LAUNCHAPP.exe  /G /P \xE9quipe /D";
  uihost::setWinExecAnswer(2);
  EXPECT_EQ(WinExec(command, 0), 2u);
  ASSERT_EQ(uihost::logLines("WinExec").size(), 1u);
  EXPECT_EQ(uihost::logLines("WinExec")[0], std::string("WinExec \"") + command + "\" show=0 -> 2");
}

TEST_F(Services, GetUserNameWithAShortBufferFailsWithTheNeededSize) {
  uihost::setUserName(u"operator");
  struct Row {
    DWORD room;
    BOOL ok;
    DWORD size;
  };
  for (const Row& row : {Row{0, 0, 9}, Row{8, 0, 9}, Row{9, 1, 9}, Row{64, 1, 9}}) {
    char16_t buffer[64] = u"";
    DWORD size = row.room;
    SetLastError(0);
    EXPECT_EQ(GetUserNameW(row.room ? buffer : nullptr, &size), row.ok) << row.room;
    EXPECT_EQ(size, row.size) << row.room;
    if (row.ok) EXPECT_EQ(std::u16string(buffer), u"operator");
    else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  }
}

TEST_F(Services, ProfileAndBinaryTypesAnswerAsScripted) {
  uihost::setProfileString(u"intl", u"sDecimal", u",");
  uihost::setProfileString(u"intl", u"iMeasure", u"0");
  char16_t buffer[8];
  EXPECT_EQ(GetProfileStringW(u"INTL", u"sdecimal", u".", buffer, 8), 1u);
  EXPECT_EQ(std::u16string(buffer), u",");
  EXPECT_EQ(GetProfileStringW(u"intl", u"sThousand", u"'", buffer, 8), 1u);
  EXPECT_EQ(std::u16string(buffer), u"'");
  EXPECT_EQ(GetProfileIntW(u"intl", u"iMeasure", 1), 0u);
  EXPECT_EQ(GetProfileIntW(u"intl", u"iDigits", 2), 2u);
  uihost::setBinaryType(u"C:\\DRV\\LAUNCHAPP.EXE", SCS_32BIT_BINARY);
  DWORD type = 99;
  EXPECT_EQ(GetBinaryTypeW(u"c:\\drv\\launchapp.exe", &type), 1);
  EXPECT_EQ(type, static_cast<DWORD>(SCS_32BIT_BINARY));
  EXPECT_EQ(GetBinaryTypeW(u"C:\\DRV\\QXUIRES.DLL", &type), 0);
}

class Files : public Services {
 protected:
  void SetUp() override {
    Services::SetUp();
    for (const char* name : {"b.PFM", "A.pfm", "c.txt", ".hidden.pfm"}) std::ofstream(folder.hostPath() + "/" + name) << "x";
  }
  RWWString logical() const { return logicalPath(folder.hostPath()); }
  std::u16string in(const char16_t* name) const {
    return std::u16string(logical().data(), logical().length()) + u"\\" + name;
  }
  TempDir folder;
};

TEST_F(Files, FindingIsCaseInsensitiveAndSorted) {
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW(in(u"*.PFM").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> names{data.cFileName};
  while (FindNextFileW(search, &data)) names.push_back(data.cFileName);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(names, (std::vector<std::u16string>{u".hidden.pfm", u"A.pfm", u"b.PFM"}));
  EXPECT_EQ(FindClose(search), 1);
  EXPECT_EQ(FindFirstFileW(in(u"*.xyz").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileAttributesW(in(u".hidden.pfm").c_str()) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(in(u"c.txt").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(logical().data()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(in(u"none").c_str()), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
  EXPECT_EQ(FindClose(search), 0);  // closed
  expectMisuse(1);
}

TEST_F(Files, TheOpenFileDialogLeavesHiddenFilesOut) {
  std::vector<std::u16string> offered;
  uihost::scriptOpenFile([&](const OPENFILENAMEW&, const std::vector<std::u16string>& files) {
    offered = files;
    return in(u"A.pfm");
  });
  const std::u16string folderName(logical().data(), logical().length());
  char16_t file[260] = u"";
  OPENFILENAMEW request;
  request.lpstrFilter = u"Fonts\0*.pfm\0";
  request.lpstrFile = file;
  request.nMaxFile = 260;
  request.lpstrInitialDir = folderName.c_str();
  EXPECT_EQ(GetOpenFileNameW(&request), 1);
  EXPECT_EQ(offered, (std::vector<std::u16string>{u"A.pfm", u"b.PFM"}));
  EXPECT_EQ(std::u16string(file), in(u"A.pfm"));
  // Unscripted: Cancel.
  EXPECT_EQ(GetOpenFileNameW(&request), 0);
}

TEST_F(Services, TimersFireAsTheClockAdvances) {
  static std::vector<uintptr_t> fired;
  fired.clear();
  uihost::scriptDialog(320, [](uihost::DialogRun& r) {
    SetTimer(r.window(), 7, 100, [](HWND, UINT, uintptr_t id, DWORD) { fired.push_back(id); });
    uihost::advanceClock(99);
    EXPECT_TRUE(fired.empty());
    uihost::advanceClock(1);
    EXPECT_EQ(fired.size(), 1u);
    uihost::advanceClock(250);
    EXPECT_EQ(fired.size(), 3u);
    EXPECT_EQ(GetTickCount(), 350u);
    r.timer(7);
    EXPECT_EQ(fired.size(), 4u);
    KillTimer(r.window(), 7);
    uihost::advanceClock(1000);
    EXPECT_EQ(fired.size(), 4u);
    r.click(IDOK);
  });
  EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(320), 0, uitest::recordingProc, 0), IDOK);
}

TEST_F(Services, FontFamiliesAreEnumeratedUntilTheCallbackStops) {
  std::vector<uihost::FontFamily> families(3);
  const char16_t* names[] = {u"Arial", u"Courier New", u"Times New Roman"};
  for (int i = 0; i < 3; ++i) std::char_traits<char16_t>::copy(families[i].font.lfFaceName, names[i], std::char_traits<char16_t>::length(names[i]));
  uihost::setFontFamilies(families);
  const HDC dc = GetDC(0);
  static int seen;
  seen = 0;
  auto stopAtTwo = [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM) { return ++seen < 2 ? 1 : 0; };
  EXPECT_EQ(EnumFontFamiliesW(dc, nullptr, stopAtTwo, 0), 0);
  EXPECT_EQ(seen, 2);
  seen = 0;
  EXPECT_EQ(EnumFontFamiliesW(dc, u"courier new", [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM) { return ++seen; }, 0), 1);
  EXPECT_EQ(seen, 1);
  ReleaseDC(0, dc);
}

// Drawing calls are logged with the DC's selections.
TEST_F(Services, DrawingIsRecordedWithTheSelections) {
  const HDC memory = CreateCompatibleDC(0);
  const HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, nullptr);
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  const HGDIOBJ oldPen = SelectObject(memory, pen);
  uihost::clearLog();
  LineTo(memory, 4, 5);
  ASSERT_EQ(uihost::log().size(), 1u);
  EXPECT_EQ(uihost::log()[0], "gdi LineTo dc=" + uihost::hex(memory) + " pen=" + uihost::hex(pen) + " brush=" +
                                  uihost::hex(GetStockObject(WHITE_BRUSH)) + " font=" +
                                  uihost::hex(GetStockObject(SYSTEM_FONT)) + " bitmap=" + uihost::hex(bitmap) + " 4,5");
  // A bitmap is in one DC at a time.
  const HDC other = CreateCompatibleDC(0);
  EXPECT_EQ(SelectObject(other, bitmap), 0u);
  DeleteDC(other);
  SelectObject(memory, oldPen);
  SelectObject(memory, oldBitmap);
  DeleteObject(pen);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

}  // namespace
