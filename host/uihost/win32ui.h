#ifndef HOST_UIHOST_WIN32UI_H
#define HOST_UIHOST_WIN32UI_H

// The user-mode platform as the user-interface plug-in sees it: the
// windowing, drawing, resource and system services it calls, the property
// sheet's records, the host record and the host's display-string resolver.
// It is written from what the plug-in expects of each call; the plug-in
// includes this header and nothing else of the platform.
//
// Handles are 32-bit table values, never addresses; a handle that was
// closed is refused and never handed out again. WPARAM is uintptr_t and
// LPARAM intptr_t, so a pointer rides in either. Dialog text is char16_t;
// narrow text (WinExec, WinHelpA) is the caller's bytes as they are.
//
// Misuse (a closed handle, a message to a destroyed window, EndDialog
// outside a run, deleting a selected drawing object, anything left open at
// a sheet's close) answers the call's failure value and is counted by the
// host (uihost.h). Window 0 is no misuse: it is what GetDlgItem answers for
// a missing item, and ShowWindow or EnableWindow on it do nothing.

#include <cstdint>

#include "rw/wstring.h"

class GAttributeComposite;
class GDisplayString;
class GDriverInstance;
class GPeripheralComposite;
class GUISession;

using BOOL = int32_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using INT_PTR = intptr_t;
using LONG_PTR = intptr_t;
using COLORREF = uint32_t;

using HANDLE = uint32_t;
using HWND = uint32_t;
using HINSTANCE = uint32_t;
using HMODULE = uint32_t;
using HDC = uint32_t;
using HGDIOBJ = uint32_t;
using HBITMAP = uint32_t;
using HBRUSH = uint32_t;
using HPEN = uint32_t;
using HFONT = uint32_t;
using HCURSOR = uint32_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, uintptr_t, DWORD);
using FARPROC = void (*)();

inline constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16); }
inline constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16));
}
// An integer resource id in the place of a name, as the platform has it.
inline const char16_t* MAKEINTRESOURCEW(uint16_t id) { return reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(const char16_t* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }
inline constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

struct POINT {
  int32_t x = 0, y = 0;
};
struct SIZE {
  int32_t cx = 0, cy = 0;
};
struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// ------------------------------------------------------------- messages
enum : UINT {
  WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
  WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F, WM_CLOSE = 0x0010,
  WM_SHOWWINDOW = 0x0018, WM_SETCURSOR = 0x0020, WM_DRAWITEM = 0x002B, WM_SETFONT = 0x0030, WM_NOTIFY = 0x004E,
  WM_HELP = 0x0053, WM_CONTEXTMENU = 0x007B, WM_GETDLGCODE = 0x0087, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_TIMER = 0x0113, WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
  WM_USER = 0x0400,
  DM_GETDEFID = WM_USER + 0, DM_SETDEFID = WM_USER + 1,
  // buttons
  BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3, BM_CLICK = 0x00F5,
  // edits
  EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_LIMITTEXT = 0x00C5, EM_GETLIMITTEXT = 0x00D5,
  // combo boxes
  CB_GETEDITSEL = 0x0140, CB_LIMITTEXT = 0x0141, CB_SETEDITSEL = 0x0142, CB_ADDSTRING = 0x0143,
  CB_DELETESTRING = 0x0144, CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147, CB_GETLBTEXT = 0x0148,
  CB_GETLBTEXTLEN = 0x0149, CB_INSERTSTRING = 0x014A, CB_RESETCONTENT = 0x014B, CB_FINDSTRING = 0x014C,
  CB_SELECTSTRING = 0x014D, CB_SETCURSEL = 0x014E, CB_GETITEMDATA = 0x0150, CB_SETITEMDATA = 0x0151,
  CB_FINDSTRINGEXACT = 0x0158,
  // list boxes
  LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182, LB_RESETCONTENT = 0x0184,
  LB_SETCURSEL = 0x0186, LB_GETCURSEL = 0x0188, LB_GETTEXT = 0x0189, LB_GETTEXTLEN = 0x018A, LB_GETCOUNT = 0x018B,
  LB_SELECTSTRING = 0x018C, LB_FINDSTRING = 0x018F, LB_GETITEMDATA = 0x0199, LB_SETITEMDATA = 0x019A,
  LB_FINDSTRINGEXACT = 0x01A2,
  // scroll bars
  SBM_SETPOS = 0x00E0, SBM_GETPOS = 0x00E1, SBM_SETRANGE = 0x00E2, SBM_GETRANGE = 0x00E3,
  // up-down controls
  UDM_SETRANGE = WM_USER + 101, UDM_GETRANGE = WM_USER + 102, UDM_SETPOS = WM_USER + 103,
  UDM_GETPOS = WM_USER + 104, UDM_SETBUDDY = WM_USER + 105, UDM_GETBUDDY = WM_USER + 106,
  UDM_SETRANGE32 = WM_USER + 111, UDM_GETRANGE32 = WM_USER + 112,
  // statics
  STM_SETIMAGE = 0x0172, STM_GETIMAGE = 0x0173,
};

// Notification codes of WM_COMMAND (high word of wParam).
enum : WORD {
  BN_CLICKED = 0, EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400,
  EN_MAXTEXT = 0x0501, CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5,
  LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SETFOCUS = 4, LBN_KILLFOCUS = 5, STN_CLICKED = 0,
};

// Notification codes of WM_NOTIFY.
enum : int32_t {
  PSN_SETACTIVE = -200, PSN_KILLACTIVE = -201, PSN_APPLY = -202, PSN_RESET = -203, PSN_HELP = -205,
  UDN_DELTAPOS = -722,
};

enum : int32_t { CB_ERR = -1, LB_ERR = -1, CB_ERRSPACE = -2, LB_ERRSPACE = -2 };
enum : int32_t {
  IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7, IDCLOSE = 8, IDHELP = 9,
};
enum : UINT { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_FOCUS = 8 };
enum : UINT { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOW = 5 };
enum : uint32_t { DC_HASDEFID = 0x534B };
enum : int32_t { DWL_MSGRESULT = 0, DWL_DLGPROC = 4, DWL_USER = 8, GWLP_WNDPROC = -4, GWLP_ID = -12, GWLP_USERDATA = -21 };
enum : int32_t { GCLP_HCURSOR = -12 };
enum : UINT { SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4, SB_ENDSCROLL = 8 };
enum : UINT { DLGC_WANTARROWS = 0x0001, DLGC_WANTALLKEYS = 0x0004, DLGC_WANTCHARS = 0x0080 };
enum : UINT { VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_TAB = 0x09 };

// Window styles the host reads.
enum : DWORD {
  WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000, WS_TABSTOP = 0x00010000, WS_GROUP = 0x00020000,
  BS_OWNERDRAW = 0x0000000B, SS_NOTIFY = 0x00000100, ES_NUMBER = 0x2000, CBS_SORT = 0x0100, LBS_SORT = 0x0002,
};

struct NMHDR {
  HWND hwndFrom = 0;
  uintptr_t idFrom = 0;
  int32_t code = 0;
};
struct PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam = 0;
};
struct NMUPDOWN {
  NMHDR hdr;
  int32_t iPos = 0;
  int32_t iDelta = 0;
};

enum : UINT { ODT_BUTTON = 4, ODT_STATIC = 5, ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
enum : UINT { ODS_SELECTED = 1, ODS_DISABLED = 4, ODS_FOCUS = 0x10 };
struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem = 0;
  HDC hDC = 0;
  RECT rcItem;
  uintptr_t itemData = 0;
};

enum : int32_t { HELPINFO_WINDOW = 1 };
struct HELPINFO {
  UINT cbSize = sizeof(HELPINFO);
  int32_t iContextType = HELPINFO_WINDOW;
  int32_t iCtrlId = 0;
  HANDLE hItemHandle = 0;
  uintptr_t dwContextId = 0;
  POINT MousePos;
};

// ------------------------------------------------------------ windows
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageW(HWND dialog, int32_t item, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int32_t item);
int32_t GetDlgCtrlID(HWND window);
HWND GetParent(HWND window);
BOOL IsWindow(HWND window);
BOOL DestroyWindow(HWND window);
LONG_PTR GetWindowLongPtrW(HWND window, int32_t index);
LONG_PTR SetWindowLongPtrW(HWND window, int32_t index, LONG_PTR value);
uintptr_t SetClassLongPtrW(HWND window, int32_t index, uintptr_t value);
BOOL SetWindowTextW(HWND window, const char16_t* text);
// Copies at most capacity - 1 units and a terminator; answers the units copied.
int32_t GetWindowTextW(HWND window, char16_t* buffer, int32_t capacity);
int32_t GetWindowTextLengthW(HWND window);
BOOL SetDlgItemTextW(HWND dialog, int32_t item, const char16_t* text);
UINT GetDlgItemTextW(HWND dialog, int32_t item, char16_t* buffer, int32_t capacity);
BOOL SetDlgItemInt(HWND dialog, int32_t item, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int32_t item, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int32_t item, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int32_t item);
BOOL CheckRadioButton(HWND dialog, int32_t first, int32_t last, int32_t check);
BOOL ShowWindow(HWND window, int32_t command);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL IsWindowVisible(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
HWND ChildWindowFromPoint(HWND parent, POINT point);
BOOL MapDialogRect(HWND dialog, RECT* rect);
// A window's place in its parent's client area. The length must be the
// record's size; other lengths are refused.
struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};
BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
// Moves the window to the normal position and shows or hides it by showCmd.
BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement);
int32_t GetDialogBaseUnits();
DWORD GetSysColor(int32_t index);
HBRUSH GetSysColorBrush(int32_t index);
enum : int32_t { COLOR_WINDOW = 5, COLOR_WINDOWTEXT = 8, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_BTNHIGHLIGHT = 20 };

// Modal dialogs. The template is an integer resource of the module.
INT_PTR DialogBoxParamW(HINSTANCE module, const char16_t* name, HWND owner, DLGPROC procedure, LPARAM parameter);
BOOL EndDialog(HWND dialog, INT_PTR result);

enum : UINT {
  MB_OK = 0, MB_OKCANCEL = 1, MB_ABORTRETRYIGNORE = 2, MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_RETRYCANCEL = 5,
  MB_ICONSTOP = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40,
};
int32_t MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT style);

uintptr_t SetTimer(HWND window, uintptr_t id, UINT milliseconds, TIMERPROC procedure);
BOOL KillTimer(HWND window, uintptr_t id);
DWORD GetTickCount();

// ------------------------------------------------------------ resources
HMODULE LoadLibraryW(const char16_t* name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* name);
DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD capacity);
// Copies at most capacity - 1 units and a terminator; answers the units
// copied, 0 for a missing string.
int32_t LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int32_t capacity);
HBITMAP LoadBitmapW(HINSTANCE module, const char16_t* name);
HCURSOR LoadCursorW(HINSTANCE module, const char16_t* name);
inline const char16_t* const IDC_ARROW = MAKEINTRESOURCEW(32512);
inline const char16_t* const IDC_WAIT = MAKEINTRESOURCEW(32514);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

DWORD GetFileVersionInfoSizeW(const char16_t* name, DWORD* handle);
BOOL GetFileVersionInfoW(const char16_t* name, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueW(const void* block, const char16_t* path, void** value, UINT* length);
DWORD VerLanguageNameW(DWORD language, char16_t* buffer, DWORD capacity);

struct VS_FIXEDFILEINFO {
  DWORD dwSignature = 0xFEEF04BD;
  DWORD dwStrucVersion = 0x00010000;
  DWORD dwFileVersionMS = 0, dwFileVersionLS = 0, dwProductVersionMS = 0, dwProductVersionLS = 0;
  DWORD dwFileFlagsMask = 0x3F, dwFileFlags = 0, dwFileOS = 0x00040004, dwFileType = 2, dwFileSubtype = 0;
  DWORD dwFileDateMS = 0, dwFileDateLS = 0;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// --------------------------------------------------------------- system
UINT WinExec(const char* commandLine, UINT show);
enum : UINT { HELP_CONTEXT = 1, HELP_QUIT = 2, HELP_CONTEXTMENU = 10, HELP_WM_HELP = 12 };
BOOL WinHelpA(HWND window, const char* file, UINT command, uintptr_t data);
UINT GetProfileIntW(const char16_t* section, const char16_t* key, int32_t fallback);
DWORD GetProfileStringW(const char16_t* section, const char16_t* key, const char16_t* fallback, char16_t* buffer,
                        DWORD capacity);
enum : DWORD { SCS_32BIT_BINARY = 0, SCS_DOS_BINARY = 1, SCS_WOW_BINARY = 2 };
BOOL GetBinaryTypeW(const char16_t* name, DWORD* type);
BOOL GetUserNameW(char16_t* buffer, DWORD* size);
DWORD GetLastError();
void SetLastError(DWORD error);
enum : DWORD { ERROR_FILE_NOT_FOUND = 2, ERROR_INVALID_HANDLE = 6, ERROR_NO_MORE_FILES = 18, ERROR_INSUFFICIENT_BUFFER = 122, ERROR_INVALID_WINDOW_HANDLE = 1400 };

enum : DWORD {
  FILE_ATTRIBUTE_READONLY = 0x01, FILE_ATTRIBUTE_HIDDEN = 0x02, FILE_ATTRIBUTE_DIRECTORY = 0x10,
  FILE_ATTRIBUTE_ARCHIVE = 0x20, FILE_ATTRIBUTE_NORMAL = 0x80, INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,
};
inline constexpr HANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFF;
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes = 0;
  DWORD nFileSizeHigh = 0, nFileSizeLow = 0;
  char16_t cFileName[260] = {};
};
HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE search);
DWORD GetFileAttributesW(const char16_t* name);

struct OPENFILENAMEW {
  DWORD lStructSize = sizeof(OPENFILENAMEW);
  HWND hwndOwner = 0;
  const char16_t* lpstrFilter = nullptr;  // pairs of texts, the list ended by an empty text
  char16_t* lpstrFile = nullptr;
  DWORD nMaxFile = 0;
  const char16_t* lpstrInitialDir = nullptr;
  const char16_t* lpstrTitle = nullptr;
  DWORD Flags = 0;
};
BOOL GetOpenFileNameW(OPENFILENAMEW* request);

struct LOGFONTW {
  int32_t lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0, lfWeight = 0;
  uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0, lfOutPrecision = 0, lfClipPrecision = 0,
          lfQuality = 0, lfPitchAndFamily = 0;
  char16_t lfFaceName[32] = {};
};
struct TEXTMETRICW {
  int32_t tmHeight = 0, tmAscent = 0, tmDescent = 0, tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0;
  uint8_t tmPitchAndFamily = 0, tmCharSet = 0;
};
enum : DWORD { RASTER_FONTTYPE = 1, DEVICE_FONTTYPE = 2, TRUETYPE_FONTTYPE = 4 };
using FONTENUMPROCW = int32_t (*)(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM);
int32_t EnumFontFamiliesW(HDC dc, const char16_t* family, FONTENUMPROCW procedure, LPARAM parameter);

// ------------------------------------------------------------ drawing
// Every call is recorded with the DC's selections; no pixels are made.
HDC GetDC(HWND window);
int32_t ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height);
HBITMAP CreateBitmap(int32_t width, int32_t height, UINT planes, UINT bitsPerPixel, const void* bits);
enum : int32_t { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_NULL = 5 };
HPEN CreatePen(int32_t style, int32_t width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
HFONT CreateFontIndirectW(const LOGFONTW* font);
enum : int32_t {
  WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, BLACK_BRUSH = 4, NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
  NULL_PEN = 8, SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17,
};
HGDIOBJ GetStockObject(int32_t which);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
struct BITMAP {
  int32_t bmType = 0, bmWidth = 0, bmHeight = 0, bmWidthBytes = 0;
  uint16_t bmPlanes = 1, bmBitsPixel = 0;
  void* bmBits = nullptr;
};
int32_t GetObjectW(HGDIOBJ object, int32_t size, void* out);
BOOL MoveToEx(HDC dc, int32_t x, int32_t y, POINT* previous);
BOOL LineTo(HDC dc, int32_t x, int32_t y);
BOOL Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
BOOL Polygon(HDC dc, const POINT* points, int32_t count);
int32_t FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int32_t FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
enum : DWORD { SRCCOPY = 0x00CC0020, SRCAND = 0x008800C6, SRCINVERT = 0x00660046, SRCPAINT = 0x00EE0086 };
BOOL BitBlt(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx, int32_t sy, DWORD rop);
BOOL TextOutW(HDC dc, int32_t x, int32_t y, const char16_t* text, int32_t count);
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int32_t count, SIZE* size);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
enum : int32_t { TRANSPARENT = 1, OPAQUE = 2 };
int32_t SetBkMode(HDC dc, int32_t mode);
enum : int32_t { MM_TEXT = 1, MM_LOMETRIC = 2 };
int32_t SetMapMode(HDC dc, int32_t mode);
int32_t GetMapMode(HDC dc);
BOOL DPtoLP(HDC dc, POINT* points, int32_t count);
BOOL LPtoDP(HDC dc, POINT* points, int32_t count);
enum : UINT { FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1 };
BOOL ExtFloodFill(HDC dc, int32_t x, int32_t y, COLORREF colour, UINT type);

// ------------------------------------------------- the property sheet
struct PROPSHEETPAGEW;
struct UIHostRecord;
enum : DWORD { PSP_HASHELP = 0x20 };

// What the host keeps for one page; the plug-in's page object rides in it.
struct UIHostPageRecord {
  uint32_t index = 0;
  void* page = nullptr;  // the plug-in's; the host never reads through it
};

struct PROPSHEETPAGEW {
  DWORD dwSize = sizeof(PROPSHEETPAGEW);
  DWORD dwFlags = 0;
  HINSTANCE hInstance = 0;
  const char16_t* pszTemplate = nullptr;
  const char16_t* pszTitle = nullptr;
  DLGPROC pfnDlgProc = nullptr;
  UIHostPageRecord* lParam = nullptr;
};

// Called for every page message the plug-in passes on.
using UIHostCallback = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UIHostRecord* record);

enum : uint8_t { UI_PAGES_DOCUMENT = 0x01, UI_PAGES_DOCUMENT2 = 0x02, UI_PAGES_DEVICE = 0x04 };
enum : uint32_t { UI_HOST_READONLY = 0x01 };

// The host record: the host's, handed to every plug-in export. The trees
// and the printer object are the host's; the session is written by the
// plug-in.
struct UIHostRecord {
  GDriverInstance* printer = nullptr;
  GAttributeComposite* settings = nullptr;
  GPeripheralComposite* configuration = nullptr;
  uint8_t pageSets = 0;
  uint32_t hostFlags = 0;
  UIHostCallback callback = nullptr;
  uint16_t pageCount = 0;
  PROPSHEETPAGEW* pages = nullptr;
  GUISession* session = nullptr;
  const char16_t* programArguments[2] = {nullptr, nullptr};
};

// The plug-in's exports, as the host finds them.
using UIEntryPoint = BOOL (*)(HINSTANCE module, DWORD reason, void* reserved);
using UIInterfaceVersionProc = uint16_t (*)();
using UIInitializeProc = uint16_t (*)(UIHostRecord* record, uint16_t firstIndex);
using UIHostRecordProc = uint16_t (*)(UIHostRecord* record);

// ------------------------------------------- the display-string resolver
// A resolver reads display strings against a resource module: the text is
// the module's string for the display string's id, else its first text,
// else empty. (The host exports these as its ordinals 527, 531, 532, 525.)
struct UIHostResolver;
UIHostResolver* UIHostResolverCreate(HMODULE module, const GDisplayString* displayString);
void UIHostResolverText(UIHostResolver* resolver, RWWString& text);
void UIHostResolverTextOf(UIHostResolver* resolver, RWWString& text, const GDisplayString* displayString);
void UIHostResolverDestroy(UIHostResolver* resolver);

#endif
