#ifndef HOST_ENGINE_DDI_H
#define HOST_ENGINE_DDI_H

// The graphics engine's driver interface as this engine offers it: the
// types, constants and objects a printer driver reads and writes, the Drv*
// entry points it exports and the Eng* and *OBJ_* services it imports.
//
// Only what the driver uses is declared. Names and numbers that the driver's
// own design fixes (the DDI indices, the hook words 0x4EB and 0x47B,
// STYPE_DEVICE, ED_ABORTDOC, the last-error codes, the DEVMODE offsets) are
// kept; every other number, field order and argument list is this engine's
// own choice, documented where it is made.
//
// This is a 64-bit build: LONG and ULONG are 32 bits, handles and pointers
// are 64. Records that held pointers therefore differ in size from the 32-bit
// originals, so callers pass sizeof() of these declarations, never a number.
//
// Objects (SURFOBJ, CLIPOBJ, PATHOBJ, BRUSHOBJ, XLATEOBJ, XFORMOBJ, STROBJ,
// FONTOBJ) are plain data: a driver may write their public fields and copy
// them whole, and every *OBJ_* service works on such a copy. The trailing
// fields marked "engine" are the engine's; a driver leaves them alone.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

extern "C" {

// ---------------------------------------------------------------- basics

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint8_t BOOLEAN;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef int16_t SHORT;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint32_t FLONG;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int32_t INT;
typedef int32_t FIX;  // 28.4 fixed point
typedef uint32_t FLOATL;  // an IEEE single, passed as its bit pattern
typedef uint32_t ACCESS_MASK;
typedef int32_t NTSTATUS;
typedef char16_t WCHAR;
typedef WCHAR* PWSTR;
typedef WCHAR* LPWSTR;
typedef char CHAR;
typedef char* PCHAR;
typedef char* LPSTR;
typedef void* PVOID;
typedef uint32_t HGLYPH;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Opaque, pointer-sized handles. Each is a distinct type so that one cannot
// be passed for another by mistake.
typedef struct HANDLE__* HANDLE;
typedef struct HSURF__* HSURF;
typedef struct HSURF__* HBITMAP;
typedef struct HDEV__* HDEV;
typedef struct DHPDEV__* DHPDEV;
typedef struct DHSURF__* DHSURF;
typedef struct HPALETTE__* HPALETTE;
typedef struct HSEMAPHORE__* HSEMAPHORE;

typedef void (*PFN)();

struct POINTL {
  LONG x;
  LONG y;
};
struct POINTFIX {
  FIX x;
  FIX y;
};
struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
struct RECTFX {
  FIX xLeft;
  FIX yTop;
  FIX xRight;
  FIX yBottom;
};
struct SIZEL {
  LONG cx;
  LONG cy;
};

// ------------------------------------------------------- driver enabling

// DDI function indices (the driver's table gives each entry with its index;
// the engine finds entries by index, never by position).
enum : ULONG {
  INDEX_DrvEnablePDEV = 0,
  INDEX_DrvCompletePDEV = 1,
  INDEX_DrvDisablePDEV = 2,
  INDEX_DrvEnableSurface = 3,
  INDEX_DrvDisableSurface = 4,
  INDEX_DrvResetPDEV = 7,
  INDEX_DrvRealizeBrush = 12,
  INDEX_DrvDitherColor = 13,
  INDEX_DrvStrokePath = 14,
  INDEX_DrvFillPath = 15,
  INDEX_DrvStrokeAndFillPath = 16,
  INDEX_DrvPaint = 17,
  INDEX_DrvBitBlt = 18,
  INDEX_DrvCopyBits = 19,
  INDEX_DrvStretchBlt = 20,
  INDEX_DrvTextOut = 23,
  INDEX_DrvEscape = 24,
  INDEX_DrvDrawEscape = 25,
  INDEX_DrvSendPage = 32,
  INDEX_DrvStartPage = 33,
  INDEX_DrvEndDoc = 34,
  INDEX_DrvStartDoc = 35,
  INDEX_DrvDestroyFont = 43,
  INDEX_DrvFontManagement = 47,
  INDEX_DrvStartBanding = 57,
  INDEX_DrvNextBand = 58,
  INDEX_LAST = 59,  // one past the highest index this engine looks up
};

// The engine version this engine hands to DrvEnableDriver.
constexpr ULONG DDI_DRIVER_VERSION = 0x20000;

struct DRVFN {
  ULONG iFunc;
  PFN pfn;
};

struct DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
};

// ------------------------------------------------------ capability records

// 92 bytes: five LONGs, eight BYTEs and a 32-character face name.
struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[32];
};
static_assert(sizeof(LOGFONTW) == 92);

struct CIECHROMA {
  LONG x;
  LONG y;
  LONG Y;
};

// Thirty values in the order the driver writes them.
struct COLORINFO {
  CIECHROMA Red, Green, Blue, Cyan, Magenta, Yellow, AlignmentWhite;
  LONG RedGamma, GreenGamma, BlueGamma;
  LONG MagentaInCyanDye, YellowInCyanDye, CyanInMagentaDye, YellowInMagentaDye, CyanInYellowDye,
      MagentaInYellowDye;
};
static_assert(sizeof(COLORINFO) == 30 * 4);

struct GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
};

struct DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
};

// -------------------------------------------------------------- surfaces

enum : ULONG { STYPE_BITMAP = 0, STYPE_DEVICE = 1 };

// Bitmap formats: bits per pixel 1, 4, 8, 16, 24, 32 for formats 1 to 6;
// 7 and 8 are run-length encoded 4 and 8 bits.
enum : ULONG {
  BMF_1BPP = 1,
  BMF_4BPP = 2,
  BMF_8BPP = 3,
  BMF_16BPP = 4,
  BMF_24BPP = 5,
  BMF_32BPP = 6,
  BMF_4RLE = 7,
  BMF_8RLE = 8,
};
// EngCreateBitmap flags and SURFOBJ::fjBitmap.
enum : ULONG { BMF_TOPDOWN = 0x1, BMF_NOZEROINIT = 0x2, BMF_USERMEM = 0x8 };

// Hook bits of EngAssociateSurface: 0x4EB hooks bit-block transfer,
// stretch, text, stroke, fill, stroke-and-fill and copy; 0x47B has paint in
// place of stroke-and-fill.
enum : FLONG {
  HOOK_BITBLT = 0x1,
  HOOK_STRETCHBLT = 0x2,
  HOOK_PLGBLT = 0x4,
  HOOK_TEXTOUT = 0x8,
  HOOK_PAINT = 0x10,
  HOOK_STROKEPATH = 0x20,
  HOOK_FILLPATH = 0x40,
  HOOK_STROKEANDFILLPATH = 0x80,
  HOOK_LINETO = 0x100,
  HOOK_COPYBITS = 0x400,
};

struct SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;
  PVOID pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
};

// -------------------------------------------------------------- palettes

enum : ULONG { PAL_INDEXED = 1, PAL_BITFIELDS = 2, PAL_RGB = 4, PAL_BGR = 8 };

// ---------------------------------------------------------- clip objects

enum : BYTE { DC_TRIVIAL = 0, DC_RECT = 1, DC_COMPLEX = 3 };
enum : BYTE { FC_RECT = 1, FC_RECT4 = 2, FC_COMPLEX = 3 };
enum : BYTE { TC_RECTANGLES = 0, TC_PATHOBJ = 2 };
enum : BYTE { OC_BANK_CLIP = 1 };
enum : ULONG { CT_RECTANGLES = 0 };
// Enumeration directions; this engine yields rectangles right then down
// whatever direction is asked for, which satisfies every one of them for
// the non-overlapping rectangles of a clip region.
enum : ULONG { CD_RIGHTDOWN = 0, CD_LEFTDOWN = 1, CD_RIGHTUP = 2, CD_LEFTUP = 3, CD_ANY = 4 };

struct CLIPOBJ {
  ULONG iUniq;
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
  // engine
  PVOID pvEngine;   // the rectangle list
  ULONG iEnum;      // next rectangle of the running enumeration
  ULONG cEnumLimit;
};

// CLIPOBJ_bEnum writes a count and that many rectangles.
struct ENUMRECTS {
  ULONG c;
  RECTL arr[1];
};
struct ENUMRECTS8 {
  ULONG c;
  RECTL arr[8];
};
static_assert(sizeof(ENUMRECTS) == 20);
static_assert(sizeof(ENUMRECTS8) == 132);

// ------------------------------------------------------------------ paths

enum : FLONG { PO_BEZIERS = 0x1, PO_ELLIPSE = 0x2 };
enum : FLONG {
  PD_BEGINSUBPATH = 0x1,
  PD_ENDSUBPATH = 0x2,
  PD_RESETSTYLE = 0x4,
  PD_CLOSEFIGURE = 0x8,
  PD_BEZIERS = 0x10,
};

struct PATHOBJ {
  FLONG fl;
  ULONG cCurves;
  // engine
  PVOID pvEngine;  // the path's records
  ULONG iEnum;     // next record of the running enumeration
  ULONG iClipLine; // next segment of a clip-line enumeration
  const struct CLIPOBJ* pcoClipLines;
};

struct PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX* pptfx;
};

struct RUN {
  LONG iStart;
  LONG iStop;
};

// One clipped line: its end points, the style state, and the runs of it
// (in pixels from A) that lie inside the clip. The fixed part with one run
// is 32 bytes.
struct CLIPLINE {
  POINTFIX ptfxA;
  POINTFIX ptfxB;
  LONG lStyleState;
  ULONG c;
  RUN arun[1];
};
static_assert(sizeof(CLIPLINE) == 32);

// Line attributes; widths and the miter limit are singles' bit patterns for
// geometric lines, a LONG pixel width for cosmetic ones.
enum : FLONG { LA_GEOMETRIC = 0x1, LA_ALTERNATE = 0x2, LA_STARTGAP = 0x4, LA_STYLED = 0x8 };
enum : ULONG { JOIN_ROUND = 0, JOIN_BEVEL = 1, JOIN_MITER = 2 };
enum : ULONG { ENDCAP_ROUND = 0, ENDCAP_SQUARE = 1, ENDCAP_BUTT = 2 };

struct LINEATTRS {
  FLONG fl;
  ULONG iJoin;
  ULONG iEndCap;
  FLOATL elWidth;
  FLOATL eMiterLimit;
  ULONG cstyle;
  FLOATL* pstyle;
  FLOATL elStyleState;
};

// Fill modes of DrvFillPath.
enum : FLONG { FP_ALTERNATEMODE = 1, FP_WINDINGMODE = 2 };

// ----------------------------------------------------------------- brushes

enum : ULONG { HS_HORIZONTAL = 0, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS,
               HS_DDI_MAX };  // the six hatch patterns: six pattern slots in DrvEnablePDEV

struct BRUSHOBJ {
  ULONG iSolidColor;  // 0xFFFFFFFF: a pattern brush
  PVOID pvRbrush;     // the driver's realisation, once made
  FLONG flColorType;
  // engine
  PVOID pvEngine;     // pattern, realisation block and the driver's DrvRealizeBrush
};

// --------------------------------------------------- colour translations

enum : FLONG { XO_TRIVIAL = 0x1, XO_TABLE = 0x2, XO_TO_MONO = 0x4 };

struct XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;
  USHORT iDstType;
  ULONG cEntries;
  ULONG* pulXlate;
};

// ----------------------------------------------------------- transforms

// XFORMOBJ_iGetXform and XFORMOBJ_iGetFloatObjXform answer the complexity.
enum : ULONG { GX_IDENTITY = 0, GX_OFFSET = 1, GX_SCALE = 2, GX_GENERAL = 3 };
// XFORMOBJ_bApplyXform modes: POINTL to POINTL forward (0) and inverse (1);
// 28.4 POINTFIX to POINTL through the inverse (2); POINTL to POINTFIX (3).
enum : ULONG { XF_LTOL = 0, XF_INV_LTOL = 1, XF_INV_FXTOL = 2, XF_LTOFX = 3 };

// The engine's software real: eight bytes, computed on IEEE singles (the
// single in the first word; the second word is 0).
struct FLOATOBJ {
  ULONG ul1;
  ULONG ul2;
};
static_assert(sizeof(FLOATOBJ) == 8);

struct XFORML {
  FLOATL eM11, eM12, eM21, eM22, eDx, eDy;
};
struct FLOATOBJ_XFORM {
  FLOATOBJ eM11, eM12, eM21, eM22, eDx, eDy;
};

struct XFORMOBJ {
  ULONG ulReserved;
  // engine: the matrix as singles
  float m11, m12, m21, m22, dx, dy;
};

// ------------------------------------------------------------ fonts, text

enum : FLONG { RASTER_FONTTYPE = 0x1, DEVICE_FONTTYPE = 0x2, TRUETYPE_FONTTYPE = 0x4,
               FO_SIM_BOLD = 0x2000, FO_SIM_ITALIC = 0x4000 };
enum : ULONG { FO_HGLYPHS = 0, FO_GLYPHBITS = 1, FO_PATHOBJ = 2 };
enum : FLONG { SO_FLAG_DEFAULT_PLACEMENT = 0x1, SO_HORIZONTAL = 0x2, SO_VERTICAL = 0x4,
               SO_REVERSED = 0x8, SO_GLYPHINDEX_TEXTOUT = 0x100,
               SO_DO_NOT_SUBSTITUTE_DEVICE_FONT = 0x200 };
enum : FLONG { FM_INFO_CONSTANT_WIDTH = 0x1 };

// The glyph's bits: origin, size, and rows of ceil(cx / 8) bytes each.
struct GLYPHBITS {
  POINTL ptlOrigin;
  SIZEL sizlBitmap;
  BYTE aj[1];
};

union GLYPHDEF {
  GLYPHBITS* pgb;
  PATHOBJ* ppo;
};

struct GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF* pgdf;
  POINTL ptl;
};

struct GLYPHDATA {
  GLYPHDEF gdf;
  HGLYPH hg;
  FIX fxD;  // advance width, 28.4
  RECTL rclInk;
};

// The font's metrics: what the driver reads, in this engine's order. Offsets
// (dp*) count from the record's start.
struct IFIMETRICS {
  ULONG cjThis;
  ULONG dpwszFamilyName;
  ULONG dpCharSets;
  FLONG flInfo;
  USHORT fsSelection;
  USHORT usWinWeight;
  BYTE jWinCharSet;
  BYTE jWinPitchAndFamily;
  SHORT fwdUnitsPerEm;
  SHORT fwdWinAscender;
  SHORT fwdWinDescender;
  SHORT fwdMacAscender;
  SHORT fwdMacDescender;
  SHORT fwdMacLineGap;
  SHORT fwdAveCharWidth;
  SHORT fwdMaxCharInc;
  SHORT fwdUnderscoreSize;
  SHORT fwdUnderscorePosition;
  SHORT fwdStrikeoutSize;
  SHORT fwdStrikeoutPosition;
  WCHAR wcFirstChar;
  WCHAR wcLastChar;
  WCHAR wcDefaultChar;
  WCHAR wcBreakChar;
};

struct FONTOBJ {
  ULONG iUniq;
  ULONG iFace;
  ULONG cxMax;
  FLONG flFontType;
  ULONG iTTUniq;
  ULONG iFile;
  SIZEL sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;  // the driver's
  PVOID pvProducer;
  // engine
  XFORMOBJ xo;       // notional to device
  PVOID pvEngine;    // glyph cache
};

struct STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;
  RECTL rclBkGround;
  GLYPHPOS* pgp;     // null: the positions come through STROBJ_bEnum
  LPWSTR pwszOrg;
  // engine
  GLYPHPOS* pgpEngine;  // every position, always
  ULONG iEnum;          // next glyph of the running enumeration
  ULONG dwCodePage;
};

// At most this many glyphs come in one STROBJ_bEnum batch.
constexpr ULONG STROBJ_BATCH = 4;

// ----------------------------------------------------------- document calls

enum : FLONG { ED_ABORTDOC = 1 };
enum : ULONG { QUERYESCSUPPORT = 8 };
enum : ULONG { DCR_SOLID = 0, DCR_DRIVER = 1, DCR_HALFTONE = 2 };

// --------------------------------------------------------- printer records

// Level-1 form record; sizes in thousandths of a millimetre. Flags: 0 a user
// form, 1 built in, 2 a printer form.
struct FORM_INFO_1 {
  DWORD Flags;
  LPWSTR pName;
  SIZEL Size;
  RECTL ImageableArea;
};
enum : DWORD { FORM_USER = 0, FORM_BUILTIN = 1, FORM_PRINTER = 2 };

// Level-2 printer record, in this engine's field order. Its strings lie in
// the caller's buffer after the record; pDevMode points at the printer's
// default DEVMODE, also inside the buffer.
struct PRINTER_INFO_2 {
  LPWSTR pServerName;
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  BYTE* pDevMode;
  LPWSTR pDatatype;
  DWORD Attributes;
  DWORD Priority;
  DWORD Status;
  DWORD cJobs;
};

// Printer named-value types.
enum : DWORD { REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4 };

// Last-error and status codes the engine answers.
enum : ULONG {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_INVALID_HANDLE = 6,
  ERROR_INVALID_DATA = 13,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_GEN_FAILURE = 31,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_INSUFFICIENT_BUFFER = 122,
  ERROR_INVALID_LEVEL = 124,
  ERROR_MORE_DATA = 234,
  ERROR_NOT_SUPPORTED = 50,
  ERROR_INVALID_FORM_NAME = 1902,
  ERROR_OUTOFMEMORY = 14,
  ERROR_DEV_NOT_EXIST = 55,
  ERROR_DISK_FULL = 112,
  ERROR_STACK_OVERFLOW = 1001,
  ERROR_CANCELLED = 1223,
  ERROR_NO_SYSTEM_RESOURCES = 1450,
  ERROR_INVALID_PRINTER_STATE = 1906,
};

// ---------------------------------------------------------------- services

// EngAllocMem flags.
enum : ULONG { FL_ZERO_MEMORY = 0x1 };

// The local time, sixteen bytes: year, month, day, hour, minute, second,
// milliseconds, weekday (0 Sunday).
struct ENG_TIME_FIELDS {
  USHORT usYear;
  USHORT usMonth;
  USHORT usDay;
  USHORT usHour;
  USHORT usMinute;
  USHORT usSecond;
  USHORT usMilliseconds;
  USHORT usWeekday;
};
static_assert(sizeof(ENG_TIME_FIELDS) == 16);

constexpr ULONG MAX_PATH = 260;

// ------------------------------------------------ native file services

// What ntdll.dll answers through EngFindImageProcAddress. Statuses: 0
// success, negative failures (this engine's numbers).
enum : NTSTATUS {
  STATUS_SUCCESS = 0,
  STATUS_END_OF_FILE = -0x3FFFFFF5,
  STATUS_INVALID_HANDLE = -0x3FFFFFF8,
  STATUS_INVALID_PARAMETER = -0x3FFFFFF3,
  STATUS_OBJECT_NAME_NOT_FOUND = -0x3FFFFFCC,
  STATUS_OBJECT_NAME_COLLISION = -0x3FFFFFCB,
  STATUS_ACCESS_DENIED = -0x3FFFFFDE,
  STATUS_NO_MEMORY = -0x3FFFFFE9,
  STATUS_UNSUCCESSFUL = -0x3FFFFFFF,
};

// Access bits: read 0x80000000, write 0x40000000, synchronise 0x00100000;
// delete is this engine's 0x00010000.
enum : ACCESS_MASK { GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u,
                     SYNCHRONIZE = 0x00100000u, DELETE = 0x00010000u };
enum : ULONG { FILE_SHARE_READ = 0x1, FILE_SHARE_WRITE = 0x2, FILE_SHARE_DELETE = 0x4 };
enum : ULONG { FILE_ATTRIBUTE_READONLY = 0x1, FILE_ATTRIBUTE_NORMAL = 0x80,
               FILE_ATTRIBUTE_TEMPORARY = 0x100 };
// The five dispositions, in this engine's numbering.
enum : ULONG {
  FILE_OPEN = 1,              // the file must exist
  FILE_OPEN_IF = 2,           // open, or create a missing file
  FILE_OVERWRITE = 3,         // the file must exist; truncated
  FILE_OVERWRITE_IF = 4,      // truncate, or create a missing file
  FILE_CREATE = 5,            // the file must not exist
};
// What a successful ZwCreateFile did, in IO_STATUS_BLOCK::Information.
enum : ULONG { FILE_OPENED = 1, FILE_CREATED = 2, FILE_OVERWRITTEN = 3 };
enum : ULONG {
  FILE_SYNCHRONOUS_IO_NONALERT = 0x20,
  FILE_NON_DIRECTORY_FILE = 0x40,
  FILE_SEQUENTIAL_ONLY = 0x4,
  FILE_RANDOM_ACCESS = 0x800,
  FILE_DELETE_ON_CLOSE = 0x1000,
};
enum : ULONG { OBJ_CASE_INSENSITIVE = 0x40 };
enum : ULONG { FileStandardInformation = 5, FilePositionInformation = 14 };

struct LARGE_INTEGER {
  int64_t QuadPart;
};

// Counted strings; lengths in bytes, without a terminator.
struct UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  WCHAR* Buffer;
};
struct ANSI_STRING {
  USHORT Length;
  USHORT MaximumLength;
  CHAR* Buffer;
};

struct OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;  // must be null: names are full paths
  UNICODE_STRING* ObjectName;
  ULONG Attributes;
};

struct IO_STATUS_BLOCK {
  NTSTATUS Status;
  uint64_t Information;
};

struct FILE_POSITION_INFORMATION {
  LARGE_INTEGER CurrentByteOffset;
};
struct FILE_STANDARD_INFORMATION {
  LARGE_INTEGER AllocationSize;
  LARGE_INTEGER EndOfFile;
  ULONG NumberOfLinks;
  BOOLEAN DeletePending;
  BOOLEAN Directory;
};

// The thirteen entries, this engine's argument lists: reads and writes are
// synchronous at the given offset (null: the current position).
typedef NTSTATUS (*PFN_ZwCreateFile)(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes,
                                     IO_STATUS_BLOCK* status, LARGE_INTEGER* allocationSize,
                                     ULONG fileAttributes, ULONG share, ULONG disposition,
                                     ULONG options, PVOID eaBuffer, ULONG eaLength);
typedef NTSTATUS (*PFN_ZwClose)(HANDLE file);
typedef NTSTATUS (*PFN_ZwReadFile)(HANDLE file, IO_STATUS_BLOCK* status, PVOID buffer, ULONG length,
                                   LARGE_INTEGER* offset);
typedef NTSTATUS (*PFN_ZwWriteFile)(HANDLE file, IO_STATUS_BLOCK* status, const void* buffer,
                                    ULONG length, LARGE_INTEGER* offset);
typedef NTSTATUS (*PFN_ZwQueryInformationFile)(HANDLE file, IO_STATUS_BLOCK* status, PVOID info,
                                               ULONG length, ULONG infoClass);
typedef NTSTATUS (*PFN_ZwSetInformationFile)(HANDLE file, IO_STATUS_BLOCK* status, PVOID info,
                                             ULONG length, ULONG infoClass);
typedef NTSTATUS (*PFN_RtlAnsiStringToUnicodeString)(UNICODE_STRING* dest, const ANSI_STRING* src,
                                                     BOOLEAN allocate);
typedef void (*PFN_RtlFreeUnicodeString)(UNICODE_STRING* string);
typedef void (*PFN_RtlInitAnsiString)(ANSI_STRING* dest, const CHAR* src);
typedef void (*PFN_RtlInitUnicodeString)(UNICODE_STRING* dest, const WCHAR* src);
typedef LARGE_INTEGER (*PFN_RtlConvertLongToLargeInteger)(LONG value);
typedef LARGE_INTEGER (*PFN_RtlLargeIntegerAdd)(LARGE_INTEGER a, LARGE_INTEGER b);
typedef LARGE_INTEGER (*PFN_RtlLargeIntegerSubtract)(LARGE_INTEGER a, LARGE_INTEGER b);

// ------------------------------------------------------- the driver's side

// The driver's two exports; every other entry is reached through its table.
BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
void DrvDisableDriver();

typedef BOOL (*PFN_DrvEnableDriver)(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
typedef void (*PFN_DrvDisableDriver)();
typedef DHPDEV (*PFN_DrvEnablePDEV)(BYTE* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns,
                                    ULONG cjCaps, GDIINFO* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi,
                                    HDEV hdev, LPWSTR pwszDeviceName, HANDLE hDriver);
typedef BOOL (*PFN_DrvResetPDEV)(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
typedef void (*PFN_DrvCompletePDEV)(DHPDEV dhpdev, HDEV hdev);
typedef void (*PFN_DrvDisablePDEV)(DHPDEV dhpdev);
typedef HSURF (*PFN_DrvEnableSurface)(DHPDEV dhpdev);
typedef void (*PFN_DrvDisableSurface)(DHPDEV dhpdev);
typedef BOOL (*PFN_DrvStartDoc)(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
typedef BOOL (*PFN_DrvEndDoc)(SURFOBJ* pso, FLONG fl);
typedef BOOL (*PFN_DrvStartPage)(SURFOBJ* pso);
typedef BOOL (*PFN_DrvSendPage)(SURFOBJ* pso);
typedef BOOL (*PFN_DrvRealizeBrush)(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern,
                                    SURFOBJ* psoMask, XLATEOBJ* pxlo, ULONG iHatch);
typedef BOOL (*PFN_DrvStrokePath)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                  BRUSHOBJ* pbo, POINTL* pptlBrushOrg, LINEATTRS* plineattrs,
                                  ULONG mix);
typedef BOOL (*PFN_DrvFillPath)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                                POINTL* pptlBrushOrg, ULONG mix, FLONG flOptions);
typedef BOOL (*PFN_DrvStrokeAndFillPath)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                         BRUSHOBJ* pboStroke, LINEATTRS* plineattrs,
                                         BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, ULONG mixFill,
                                         FLONG flOptions);
typedef BOOL (*PFN_DrvPaint)(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, ULONG mix);
typedef BOOL (*PFN_DrvBitBlt)(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                              XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask,
                              BRUSHOBJ* pbo, POINTL* pptlBrush, ULONG rop4);
typedef BOOL (*PFN_DrvCopyBits)(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                RECTL* prclDest, POINTL* pptlSrc);
typedef BOOL (*PFN_DrvStretchBlt)(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                                  XLATEOBJ* pxlo, PVOID pca, POINTL* pptlHTOrg, RECTL* prclDest,
                                  RECTL* prclSrc, POINTL* pptlMask, ULONG iMode);
typedef BOOL (*PFN_DrvTextOut)(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                               RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                               BRUSHOBJ* pboOpaque, POINTL* pptlOrg, ULONG mix);
typedef void (*PFN_DrvDestroyFont)(FONTOBJ* pfo);
typedef ULONG (*PFN_DrvFontManagement)(SURFOBJ* pso, FONTOBJ* pfo, ULONG iMode, ULONG cjIn,
                                       PVOID pvIn, ULONG cjOut, PVOID pvOut);
typedef ULONG (*PFN_DrvEscape)(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                               PVOID pvOut);
typedef ULONG (*PFN_DrvDrawEscape)(SURFOBJ* pso, ULONG iEsc, CLIPOBJ* pco, RECTL* prcl, ULONG cjIn,
                                   PVOID pvIn);
typedef BOOL (*PFN_DrvStartBanding)(SURFOBJ* pso, POINTL* pptl);
typedef BOOL (*PFN_DrvNextBand)(SURFOBJ* pso, POINTL* pptl);
typedef ULONG (*PFN_DrvDitherColor)(DHPDEV dhpdev, ULONG iMode, ULONG rgb, ULONG* pul);

// ------------------------------------------------------ the engine's side

// Memory; blocks carry a pool tag.
PVOID EngAllocMem(ULONG fl, ULONG cj, ULONG tag);
void EngFreeMem(PVOID pv);

// Semaphores, re-entrant for the thread that holds them.
HSEMAPHORE EngCreateSemaphore();
void EngDeleteSemaphore(HSEMAPHORE hsem);
void EngAcquireSemaphore(HSEMAPHORE hsem);
void EngReleaseSemaphore(HSEMAPHORE hsem);

// The last error, one per thread.
void EngSetLastError(ULONG iError);
ULONG EngGetLastError();

void EngQueryLocalTime(ENG_TIME_FIELDS* ptf);
// a * b / c in 64 bits, rounded half away from zero; c = 0, or a result
// outside 32 bits, answers -1.
INT EngMulDiv(INT a, INT b, INT c);
void EngDebugPrint(PCHAR pszPrefix, PCHAR pszFormat, va_list ap);

// Printers. Size probes: no buffer or one too short answers FALSE with last
// error 122 and the needed size, and writes nothing.
[[nodiscard]] BOOL EngGetPrinter(HANDLE hPrinter, DWORD dwLevel, BYTE* pPrinter, DWORD cbBuf, DWORD* pcbNeeded);
// Answers a status: 0, 234 (buffer short; *pcbNeeded says how much), 2 (no
// such value).
DWORD EngGetPrinterData(HANDLE hPrinter, LPWSTR pValueName, DWORD* pType, BYTE* pData, DWORD nSize,
                        DWORD* pcbNeeded);
DWORD EngSetPrinterData(HANDLE hPrinter, LPWSTR pType, DWORD dwType, BYTE* lpbPrinterData,
                        DWORD cjPrinterData);
[[nodiscard]] BOOL EngEnumForms(HANDLE hPrinter, DWORD dwLevel, BYTE* pForm, DWORD cbBuf, DWORD* pcbNeeded,
                  DWORD* pcReturned);
[[nodiscard]] BOOL EngGetForm(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, BYTE* pForm, DWORD cbBuf,
                DWORD* pcbNeeded);
LPWSTR EngGetPrinterDataFileName(HDEV hdev);
[[nodiscard]] BOOL EngWritePrinter(HANDLE hPrinter, PVOID pBuf, DWORD cbBuf, DWORD* pcWritten);
BOOL EngCheckAbort(SURFOBJ* pso);

// Files and images. Module handles and image handles are distinct.
[[nodiscard]] BOOL EngGetFilePath(HANDLE h, WCHAR (*pDest)[MAX_PATH + 1]);
HANDLE EngLoadModule(LPWSTR pwsz);
HANDLE EngLoadModuleForWrite(LPWSTR pwsz, ULONG cjSizeOfModule);
PVOID EngMapModule(HANDLE h, ULONG* pSize);
void EngFreeModule(HANDLE h);
HANDLE EngLoadImage(LPWSTR pwszDriver);
PVOID EngFindImageProcAddress(HANDLE hModule, LPSTR lpProcName);
void EngUnloadImage(HANDLE hModule);

// Code pages. The N forms use the ANSI code page (1252); byte counts in and
// out. The code-page forms answer the bytes written, or -1.
void EngMultiByteToUnicodeN(LPWSTR UnicodeString, ULONG MaxBytesInUnicodeString,
                            ULONG* BytesInUnicodeString, PCHAR MultiByteString,
                            ULONG BytesInMultiByteString);
void EngUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                            ULONG* BytesInMultiByteString, PWSTR UnicodeString,
                            ULONG BytesInUnicodeString);
INT EngMultiByteToWideChar(UINT CodePage, LPWSTR WideCharString, INT BytesInWideCharString,
                           LPSTR MultiByteString, INT BytesInMultiByteString);
INT EngWideCharToMultiByte(UINT CodePage, LPWSTR WideCharString, INT BytesInWideCharString,
                           LPSTR MultiByteString, INT BytesInMultiByteString);

// Surfaces and palettes.
HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
BOOL EngDeleteSurface(HSURF hsurf);
SURFOBJ* EngLockSurface(HSURF hsurf);
void EngUnlockSurface(SURFOBJ* pso);
BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
BOOL EngMarkBandingSurface(HSURF hsurf);
BOOL EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor);
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                          FLONG flBlue);
BOOL EngDeletePalette(HPALETTE hpal);

// Drawing by the engine: the raster tier. This engine does not draw yet;
// each answers FALSE with last error 50 and is counted as a raster-tier
// request.
[[nodiscard]] BOOL EngBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*,
               POINTL*, ULONG);
[[nodiscard]] BOOL EngCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*);
[[nodiscard]] BOOL EngStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*,
                   POINTL*, ULONG);
[[nodiscard]] BOOL EngTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*,
                ULONG);
[[nodiscard]] BOOL EngStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG);
[[nodiscard]] BOOL EngFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG);
[[nodiscard]] BOOL EngStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*,
                          POINTL*, ULONG, FLONG);
[[nodiscard]] BOOL EngPaint(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG);

// Clip objects.
CLIPOBJ* EngCreateClip();
void EngDeleteClip(CLIPOBJ* pco);
// Answers the count of rectangles, or 0xFFFFFFFF when there are more than
// cLimit (0: no limit).
ULONG CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL bAll, ULONG iType, ULONG iDirection, ULONG cLimit);
// Fills an ENUMRECTS of cj bytes; TRUE while more rectangles follow.
BOOL CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul);
// A new path outlining the clip region; the caller deletes it.
PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco);

// Paths.
PATHOBJ* EngCreatePath();
void EngDeletePath(PATHOBJ* ppo);
void PATHOBJ_vEnumStart(PATHOBJ* ppo);
BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd);
void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx);
BOOL PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx);
BOOL PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx);
BOOL PATHOBJ_bCloseFigure(PATHOBJ* ppo);
void PATHOBJ_vEnumStartClipLines(PATHOBJ* ppo, CLIPOBJ* pco, SURFOBJ* pso, LINEATTRS* pla);
BOOL PATHOBJ_bEnumClipLines(PATHOBJ* ppo, ULONG cb, CLIPLINE* pcl);

// Brushes: the driver's realisation, made once through DrvRealizeBrush.
PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj);
PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo);

// Colour translations.
ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor);
ULONG* XLATEOBJ_piVector(XLATEOBJ* pxlo);

// Transforms.
ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform);
ULONG XFORMOBJ_iGetFloatObjXform(XFORMOBJ* pxo, FLOATOBJ_XFORM* pfxo);
BOOL XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut);

// Software reals on IEEE singles. GetLong truncates toward zero and
// saturates at the LONG limits; NaN gives 0.
void FLOATOBJ_SetFloat(FLOATOBJ* pf, FLOATL f);
void FLOATOBJ_SetLong(FLOATOBJ* pf, LONG l);
FLOATL FLOATOBJ_GetFloat(FLOATOBJ* pf);
LONG FLOATOBJ_GetLong(FLOATOBJ* pf);
void FLOATOBJ_AddFloat(FLOATOBJ* pf, FLOATL f);
void FLOATOBJ_AddLong(FLOATOBJ* pf, LONG l);
void FLOATOBJ_Add(FLOATOBJ* pf, FLOATOBJ* pf1);
void FLOATOBJ_Sub(FLOATOBJ* pf, FLOATOBJ* pf1);
void FLOATOBJ_Mul(FLOATOBJ* pf, FLOATOBJ* pf1);
void FLOATOBJ_Div(FLOATOBJ* pf, FLOATOBJ* pf1);
void FLOATOBJ_Neg(FLOATOBJ* pf);
BOOL FLOATOBJ_Equal(FLOATOBJ* pf, FLOATOBJ* pf1);
BOOL FLOATOBJ_GreaterThan(FLOATOBJ* pf, FLOATOBJ* pf1);
BOOL FLOATOBJ_LessThan(FLOATOBJ* pf, FLOATOBJ* pf1);

// Strings.
void STROBJ_vEnumStart(STROBJ* pstro);
// The next batch of at most STROBJ_BATCH glyphs; TRUE while more follow.
BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos);
DWORD STROBJ_dwGetCodePage(STROBJ* pstro);

// Fonts: one built-in raster font.
IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo);
XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo);
PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile);
ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph);

}  // extern "C"

#endif
