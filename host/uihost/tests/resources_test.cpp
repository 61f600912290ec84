// The resource module: found by name, its strings, dialogs, bitmaps and
// cursors, its version data, and the refusal of a broken file.

#include <gtest/gtest.h>

#include <cstring>

#include "fixture.h"
#include "host/uihost/resfile.h"

namespace {

using uitest::HostTest;

class Resources : public HostTest {};

INT_PTR entryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(dialog, 11513, u"Name of the set:");
    return 1;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return 1;
  }
  return 0;
}

// The plug-in's own resource file, copied to the driver folder by the
// build, is found under its library name in any case and its dialogs run.
TEST_F(Resources, OurResourceFileLoadsAndItsDialogsRun) {
  uihost::setResourceFolder(logicalPath(QX_DRIVER_FOLDER));
  const HMODULE ours = LoadLibraryW(u"QxUiRes.DLL");
  ASSERT_NE(ours, 0u);
  std::u16string typed;
  uihost::scriptDialog(11511, [&](uihost::DialogRun& r) {
    EXPECT_EQ(r.text(11513), u"Name of the set:");
    r.type(11514, u"A name longer than the thirty-one units the entry takes");
    typed = r.text(11514);
    r.click(IDOK);
  });
  EXPECT_EQ(DialogBoxParamW(ours, MAKEINTRESOURCEW(11511), 0, entryProc, 0), IDOK);
  EXPECT_EQ(typed.size(), 31u);
  uihost::scriptDialog(11520, [](uihost::DialogRun& r) {
    for (int32_t id : {11521, 11522, 11523, 11524, 11525}) EXPECT_NE(r.item(id), 0u) << id;
    EXPECT_FALSE(IsWindowVisible(r.item(11526)));
    r.click(IDOK);
  });
  EXPECT_EQ(DialogBoxParamW(ours, MAKEINTRESOURCEW(11520), 0, entryProc, 0), IDOK);
  // The About texts and the logo with its mask are there too.
  char16_t text[64] = {};
  EXPECT_GT(LoadStringW(ours, 11015, text, 64), 0);
  EXPECT_GT(LoadStringW(ours, 11018, text, 64), 0) << "the build text";
  for (int32_t id : {11251, 11252}) {
    const HBITMAP bitmap = LoadBitmapW(ours, MAKEINTRESOURCEW(id));
    EXPECT_NE(bitmap, 0u) << id;
    if (bitmap) (void)DeleteObject(bitmap);  // the test is done with it
  }
  // A second load shares the module; each load is freed.
  EXPECT_EQ(LoadLibraryW(u"qxuires.res"), ours);
  EXPECT_EQ(FreeLibrary(ours), 1);
  EXPECT_EQ(FreeLibrary(ours), 1);
}

TEST_F(Resources, StringsAreCutToTheBufferAndTerminated) {
  std::string text;
  for (int n : {255, 256, 257}) text += "string " + std::to_string(n) + " \"" + std::string(static_cast<size_t>(n), 'x') + "\"\n";
  ASSERT_TRUE(uihost::registerModule(u"strings.dll", {}, text));
  const HMODULE strings = LoadLibraryW(u"STRINGS.DLL");
  ASSERT_NE(strings, 0u);
  struct Row {
    UINT id;
    int32_t copied;
  };
  for (const Row& row : {Row{255, 255}, Row{256, 255}, Row{257, 255}}) {
    char16_t buffer[257];
    buffer[255] = buffer[256] = u'#';
    EXPECT_EQ(LoadStringW(strings, row.id, buffer, 256), row.copied) << row.id;
    EXPECT_EQ(buffer[255], u'\0') << row.id;
    EXPECT_EQ(buffer[256], u'#') << row.id << ": written past the capacity";
  }
  char16_t buffer[8] = u"old";
  EXPECT_EQ(LoadStringW(strings, 1, buffer, 8), 0);  // missing
  EXPECT_EQ(buffer[0], u'\0');
  FreeLibrary(strings);
}

TEST_F(Resources, BitmapsAndCursorsLoadByIdAndMissingOnesAreZero) {
  const HBITMAP logo = LoadBitmapW(module, MAKEINTRESOURCEW(500));
  ASSERT_NE(logo, 0u);
  BITMAP info;
  ASSERT_EQ(GetObjectW(logo, sizeof info, &info), static_cast<int32_t>(sizeof info));
  EXPECT_EQ(info.bmWidth, 32);
  EXPECT_EQ(info.bmHeight, 16);
  const HBITMAP mask = LoadBitmapW(module, MAKEINTRESOURCEW(501));
  ASSERT_EQ(GetObjectW(mask, sizeof info, &info), static_cast<int32_t>(sizeof info));
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(LoadBitmapW(module, MAKEINTRESOURCEW(502)), 0u);
  const HCURSOR cursor = LoadCursorW(module, MAKEINTRESOURCEW(600));
  EXPECT_NE(cursor, 0u);
  EXPECT_EQ(LoadCursorW(module, MAKEINTRESOURCEW(600)), cursor);
  EXPECT_EQ(LoadCursorW(module, MAKEINTRESOURCEW(601)), 0u);
  EXPECT_NE(LoadCursorW(0, IDC_ARROW), 0u);
  SetCursor(cursor);
  EXPECT_EQ(GetCursor(), cursor);
  DeleteObject(logo);
  DeleteObject(mask);
}

TEST_F(Resources, VersionDataIsFoundByEveryPath) {
  uihost::setResourceFolder(logicalPath(QX_DRIVER_FOLDER));
  DWORD handle = 7;
  // Read from the file: the module need not be loaded.
  const DWORD loaded = GetFileVersionInfoSizeW(u"QXUIRES.DLL", &handle);
  EXPECT_EQ(handle, 0u);
  ASSERT_GT(loaded, 0u);
  std::vector<uint32_t> data((loaded + 3) / 4);
  ASSERT_EQ(GetFileVersionInfoW(u"qxuires.dll", handle, loaded, data.data()), 1);
  void* value = nullptr;
  UINT length = 0;
  ASSERT_EQ(VerQueryValueW(data.data(), u"\\StringFileInfo\\040904E4\\CompanyName", &value, &length), 1);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"QX Printing Systems");
  EXPECT_EQ(length, 20u);  // units, with the terminator
  ASSERT_EQ(VerQueryValueW(data.data(), u"\\VarFileInfo\\Translation", &value, &length), 1);
  ASSERT_EQ(length, 4u);
  const auto* pair = static_cast<const uint8_t*>(value);
  EXPECT_EQ(pair[0] | (pair[1] << 8), 0x0409);
  EXPECT_EQ(pair[2] | (pair[3] << 8), 0x04E4);
  ASSERT_EQ(VerQueryValueW(data.data(), u"\\", &value, &length), 1);
  ASSERT_EQ(length, 52u);
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00040002u);
  EXPECT_EQ(fixed.dwFileVersionLS, 0x00010008u);
  EXPECT_EQ(VerQueryValueW(data.data(), u"\\StringFileInfo\\040904E4\\Missing", &value, &length), 0);
  EXPECT_EQ(VerQueryValueW(data.data(), u"\\stringfileinfo\\040904e4\\productname", &value, &length), 1);
  char16_t language[40];
  EXPECT_GT(VerLanguageNameW(0x0409, language, 40), 0u);
  EXPECT_EQ(std::u16string(language), u"English (United States)");
  EXPECT_EQ(GetFileVersionInfoSizeW(u"missing.dll", &handle), 0u);
}

// The 32-bit layout, written out here: root, fixed record, one text.
std::vector<uint8_t> smallVersionData() {
  uihost::VersionResource v;
  v.fileVersion[0] = 1;
  v.blocks.push_back({u"040904E4", {{u"A", u"b"}}});
  return uihost::buildVersionData(v);
}

TEST_F(Resources, VersionLayoutIsTheThirtyTwoBitOne) {
  const std::vector<uint8_t> d = smallVersionData();
  // root: length, value length 52, type 0, "VS_VERSION_INFO" and its 0, pad.
  ASSERT_GE(d.size(), 92u);
  EXPECT_EQ(d[0] | (d[1] << 8), static_cast<int>(d.size()));
  EXPECT_EQ(d[2] | (d[3] << 8), 52);
  EXPECT_EQ(d[4] | (d[5] << 8), 0);
  EXPECT_EQ(d[6], 'V');
  EXPECT_EQ(d[36] | (d[37] << 8), 0);  // the key's terminator
  EXPECT_EQ(d[40] | (d[41] << 8) | (d[42] << 16) | (d[43] << 24), static_cast<int>(0xFEEF04BD));
  // StringFileInfo follows the 52-byte record at 92.
  EXPECT_EQ(d[96], 1);  // type 1, a text block
  EXPECT_EQ(d[98], 'S');
}

// Hostile inputs, one table: each is refused with its cause, nothing read
// past its end.
TEST_F(Resources, HostileInputsAreRefused) {
  struct Row {
    const char* damage;
    std::function<bool(std::string&)> refused;
    const char* cause;
  };
  auto text = [](const std::string& t) {
    return [t](std::string& error) {
      uihost::ResourceModule m;
      return !uihost::parseResources(t, "hostile.res", m, error);
    };
  };
  auto version = [](size_t at, int newLength, const char16_t* path) {
    return [=](std::string& error) {
      std::vector<uint8_t> d = smallVersionData();
      d[at] = static_cast<uint8_t>(newLength);
      d[at + 1] = static_cast<uint8_t>(newLength >> 8);
      const void* value = nullptr;
      uint32_t length = 0;
      error = "not found";
      return !uihost::queryVersion(d.data(), d.size(), path, &value, &length);
    };
  };
  const std::vector<Row> rows{
      {"a cut directive", text("string 1 \"ok\"\ndialog 5 1 2"), "hostile.res:2: dialog needs"},
      {"an unterminated string", text("string 7 \"never closed"), "hostile.res:1: unterminated text"},
      {"an unknown directive", text("# fine\n\nmenu 4"), "hostile.res:3: unknown directive"},
      {"an item outside a dialog", text("item 1 button 0 0 1 1 \"x\""), "hostile.res:1: item outside"},
      {"a bitmap too large", text("bitmap 1 5000 5 24 0"), "hostile.res:1: bitmap needs"},
      {"a string given twice", text("string 1 \"a\"\nstring 1 \"b\""), "hostile.res:2: string given twice"},
      {"a bad escape", text("string 1 \"\\q\""), "hostile.res:1: unknown escape"},
      {"version data past what 16-bit lengths hold",
       text("version 1.0.0.0 1.0.0.0\nvalue 040904E4 A \"" + std::string(40000, 'x') + "\""),
       "hostile.res:1: the version's data passes"},
      {"a dialog item id given twice", text("dialog 1 0 0 9 9 \"d\"\nitem 5 edit 0 0 1 1 \"\"\nitem 5 edit 0 0 1 1 \"\""),
       "hostile.res:3: item id given twice"},
      {"a root block length past the data", version(0, 0x7000, u"\\"), "not found"},
      {"a child block length past its parent", version(92, 0x7000, u"\\StringFileInfo\\040904E4\\A"), "not found"},
      {"a child block length too small", version(92, 3, u"\\StringFileInfo\\040904E4\\A"), "not found"},
      {"a value length past its block", version(94, 0x7000, u"\\StringFileInfo"), "not found"},
  };
  for (const Row& row : rows) {
    std::string error;
    EXPECT_TRUE(row.refused(error)) << row.damage;
    EXPECT_EQ(error.rfind(row.cause, 0), 0u) << row.damage << ": " << error;
  }
}

TEST_F(Resources, ABrokenFileIsNotLoadedAndTheLogNamesItsLine) {
  ASSERT_FALSE(uihost::registerModule(u"broken.dll", {}, "string 1 \"a\"\nstring x \"b\"\n"));
  EXPECT_EQ(uihost::logLines("registerModule: broken.dll:2: string needs").size(), 1u);
  EXPECT_EQ(LoadLibraryW(u"broken.dll"), 0u);
  EXPECT_EQ(LoadLibraryW(u"nothing.dll"), 0u);
}

int answer42() { return 42; }

TEST_F(Resources, RegisteredModulesAnswerGetProcAddress) {
  ASSERT_TRUE(uihost::registerModule(u"FONTCONV.DLL", {{"PFMToFont", reinterpret_cast<FARPROC>(answer42)}}));
  const HMODULE fc = LoadLibraryW(u"fontconv.dll");
  ASSERT_NE(fc, 0u);
  auto* f = reinterpret_cast<int (*)()>(GetProcAddress(fc, "PFMToFont"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f(), 42);
  EXPECT_EQ(GetProcAddress(fc, "Other"), nullptr);
  char16_t name[64];
  EXPECT_EQ(GetModuleFileNameW(fc, name, 64), 12u);
  EXPECT_EQ(std::u16string(name), u"FONTCONV.DLL");
  EXPECT_EQ(FreeLibrary(fc), 1);
  EXPECT_EQ(FreeLibrary(fc), 0);  // closed
  expectMisuse(1);
}

}  // namespace
