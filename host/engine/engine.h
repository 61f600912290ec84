#ifndef HOST_ENGINE_ENGINE_H
#define HOST_ENGINE_ENGINE_H

// The engine's own side: what a host program (the print runner, the tests)
// sets up before it plays documents through a driver, and what it reads
// afterwards. The driver sees none of this; it sees ddi.h.
//
// One engine per process. Its tables are guarded by one lock, so services
// may be called from any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "host/engine/ddi.h"

namespace eng {

// ------------------------------------------------------------- the root

// NT paths map under one folder: "\SystemRoot\..." to <root>/SystemRoot/...,
// a drive path "C:\..." or "\??\C:\..." to <root>/C/..., and a relative
// path to <root>/SystemRoot/System32/.... Each component matches an existing
// entry case-insensitively; a component that matches nothing is taken as
// written (so that files can be created). setRoot makes the standard
// folders: SystemRoot/System32/spool/printers and
// SystemRoot/System32/spool/drivers/w32x86/2.
void setRoot(const std::string& folder);
const std::string& root();
std::string mapPath(const std::u16string& ntPath);
// The temporary folder of the spooler, and the driver folder, as host paths.
std::string spoolFolder();
std::string driverFolder();

// ------------------------------------------------------------ printers

struct Form {
  std::u16string name;
  int32_t width = 0;   // thousandths of a millimetre
  int32_t height = 0;
};

struct PrinterSetup {
  std::u16string printerName;
  std::u16string driverName;
  std::u16string portName;
  std::u16string serverName;     // empty: a local printer
  std::u16string dataFile;       // NT path of the printer's data file
  std::vector<uint8_t> devmode;  // the printer's default DEVMODE
  std::vector<Form> forms;       // after the built-in forms, with flag 0
  std::string valuesFile;        // host path of the named values; empty: none kept
};

// A new printer handle; its named values are read from valuesFile when it
// exists.
HANDLE addPrinter(const PrinterSetup& setup);
void removePrinter(HANDLE printer);

// The built-in forms, in the standard order: form i is DEVMODE paper code i.
const std::vector<Form>& builtinForms();

// The spool jobs of a printer: the host path of each job file, in order.
std::vector<std::string> jobFiles(HANDLE printer);

// ---------------------------------------------------------------- knobs

struct Knobs {
  long poolBlocks = -1;        // EngAllocMem answers null after this many more blocks; -1 never
  long shortWritesAfter = -1;  // EngWritePrinter writes half of every call after this many bytes
  bool failWrites = false;     // EngWritePrinter answers FALSE
  int abortAfterPage = -1;     // EngCheckAbort answers TRUE once this many pages were sent
  bool failRecord = false;     // EngGetPrinter answers FALSE, last error 31
  bool failData = false;       // EngGetPrinterData and EngSetPrinterData answer 31
  bool failForms = false;      // EngEnumForms and EngGetForm answer FALSE, last error 31
  long builtinForms = -1;      // the forms list has only the first this many built-in forms; -1 all
  bool failSurface = false;    // EngCreateDeviceSurface and EngCreateBitmap answer null
  bool failPalette = false;    // EngCreatePalette answers null
  long writeModules = -1;      // EngLoadModuleForWrite answers null after this many more loads; -1 never
};
Knobs& knobs();

// The clock EngQueryLocalTime answers; fixed until set.
void setClock(const ENG_TIME_FIELDS& time);

// The code page the last code-page conversion asked for.
UINT lastCodePage();

// An ntdll.dll entry to answer null from EngFindImageProcAddress; empty: none.
void removeNtdllEntry(const std::string& name);

// What the last ZwCreateFile was given, as given (whether or not it opened
// anything); all zero and empty before the first call.
struct CreateFileCall {
  ACCESS_MASK access = 0;
  ULONG objectAttributes = 0;  // OBJECT_ATTRIBUTES::Attributes
  ULONG fileAttributes = 0;
  ULONG share = 0;
  ULONG disposition = 0;
  ULONG options = 0;
  std::u16string name;
  bool operator==(const CreateFileCall&) const = default;
};
CreateFileCall lastCreateFile();

// The module sizes EngLoadModuleForWrite was asked for since reset(), in
// order.
std::vector<ULONG> writeModuleSizes();

// --------------------------------------------------- misuse and leftovers

// A driver's misuse of a service (an unknown block or handle, an unheld
// semaphore, a missing table entry, an object given back twice) is reported
// here and counted; the service then does nothing, or answers its failure.
const std::vector<std::string>& misuse();

// The size and tag a live pool block was asked for with; false when the
// pointer is no block of the pool.
bool poolBlock(const void* block, ULONG& size, ULONG& tag);

// Lines the driver wrote with EngDebugPrint.
const std::vector<std::string>& debugLines();

// What is alive now; a document played through and a driver unloaded leave
// all of it at zero.
struct Live {
  long blocks = 0, semaphores = 0, surfaces = 0, palettes = 0, clips = 0, paths = 0, modules = 0,
       images = 0, files = 0;
  bool operator==(const Live&) const = default;
};
Live live();

// Clears the misuse list, the debug lines, the knobs, the clock and the
// records of file calls; what is still alive stays.
void reset();

// ---------------------------------------------- entries called by hand

// For a host that calls a driver's entries itself, in an order of its own
// choosing: an engine device of a printer for DrvEnablePDEV and
// DrvCompletePDEV, given back with removeDevice; setDevicePdev records the
// PDEV the driver answered for it, which the device surface then carries.
// openSpoolJob opens the printer's spool job for DrvStartDoc (its id, 0
// when none could be opened) and closeSpoolJob closes it; pageSent counts
// a sent page for EngCheckAbort, as the player does after DrvSendPage.
HDEV addDevice(HANDLE printer);
void setDevicePdev(HDEV hdev, DHPDEV dhpdev);
void removeDevice(HDEV hdev);
DWORD openSpoolJob(HANDLE printer);
void closeSpoolJob(HANDLE printer);
void pageSent(HDEV hdev);

// What the engine knows of a surface it made; false when hsurf is none of
// its own. so stays valid until the surface is deleted.
struct SurfaceState {
  SURFOBJ* so = nullptr;
  FLONG hooks = 0;
  bool associated = false;
  bool banding = false;
};
bool surfaceState(HSURF hsurf, SurfaceState& state);

// ------------------------------------------------- DEVMODE, loader, player

// A public DEVMODE: the 220 bytes of the engine's part, no private part.
struct PublicDevMode {
  std::u16string deviceName;
  uint32_t fields = 0x1 | 0x2 | 0x100 | 0x400 | 0x2000 | 0x10000;
  int16_t orientation = 1;
  int16_t paperSize = 1;
  int16_t copies = 1;
  int16_t defaultSource = 0;
  int16_t printQuality = 600;
  int16_t color = 1;
  int16_t duplex = 1;
  int16_t yResolution = 600;
  int16_t collate = 0;
  std::u16string formName = u"Letter";
};
std::vector<uint8_t> publicDevMode(const PublicDevMode& dm);

// A loaded driver. load() opens the image with dlopen (RTLD_NOW |
// RTLD_LOCAL), calls DrvEnableDriver(0x20000, sizeof(DRVENABLEDATA), ...)
// and keeps its entries by DDI index. A refusal, or a table without
// DrvEnablePDEV or DrvDisableDriver, unloads the image again. unload()
// calls DrvDisableDriver and closes the image.
class Driver {
 public:
  Driver() = default;
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // The host path of the image; its NT name for EngGetFilePath(0) is the
  // file name inside the driver folder. Answers an error, or empty.
  std::string load(const std::string& path);
  void unload();
  bool loaded() const { return image_ != nullptr; }
  PFN entry(ULONG index) const;

 private:
  void* image_ = nullptr;
  PFN entries_[INDEX_LAST] = {};
};

// One drawing call or escape on a page.
struct Operation {
  enum Kind { Paint, BitBlt, Stroke, Fill, StrokeAndFill, Text, Escape, DrawEscape };
  Kind kind = Paint;
  std::vector<RECTL> clip;       // empty: DC_TRIVIAL over the page; one: DC_RECT; more: DC_COMPLEX
  ULONG mix = 0x0D0D;            // paint, paths, text
  ULONG rop4 = 0xF0F0;           // bit-block transfers
  ULONG color = 0;               // a solid brush, or 0xFFFFFFFF for a hatched one
  ULONG hatch = HS_CROSS;
  RECTL rect = {0, 0, 0, 0};     // bit-block target; the path's box
  std::u16string text;           // text
  ULONG codePage = 1252;         // text
  ULONG escape = 0;              // escapes
  std::vector<uint8_t> data;     // escape input
  ULONG answer = 0;              // filled in: what an escape answered
};

struct Page {
  std::vector<Operation> ops;
};

struct Document {
  std::u16string name;
  std::vector<Page> pages;
  int resetAfterPage = -1;       // reset to resetDevMode after this page (0-based)
  std::vector<uint8_t> resetDevMode;
  int abortAfterPage = -1;       // end with ED_ABORTDOC after this page
};

// Plays documents through a loaded driver for one printer, in the order of
// calls the engine keeps:
//
//   open:   DrvEnablePDEV (six pattern slots, sizeof the records),
//           DrvCompletePDEV, DrvEnableSurface
//   play:   a spool job opens, DrvStartDoc; per page DrvStartPage, its
//           operations, DrvSendPage; DrvEndDoc (ED_ABORTDOC when aborted);
//           the job closes; DrvDestroyFont per font the document used
//   reset outside a document (reset()):
//           DrvDisableSurface(old), DrvEnablePDEV and DrvCompletePDEV(new),
//           DrvResetPDEV(old, new), DrvDisablePDEV(old), DrvEnableSurface(new)
//   reset between pages (Document::resetAfterPage):
//           DrvEnablePDEV and DrvCompletePDEV(new), DrvResetPDEV(old, new),
//           DrvDisableSurface(old), DrvDisablePDEV(old),
//           DrvEnableSurface(new), DrvStartDoc(new) for the same document
//   close:  DrvDisableSurface, DrvDisablePDEV
//
// A hooked operation goes to its entry. A paint the surface does not hook
// becomes DrvBitBlt over the clip bounds, its mix turned into a raster
// operation; any other operation the surface does not hook, or a surface
// marked for banding, is the error "needs the raster tier". A failed page
// or document step ends the document with ED_ABORTDOC. Errors name the
// entry and the last error it left.
class Player {
 public:
  Player(Driver& driver, HANDLE printer);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  std::string open(const std::vector<uint8_t>& devmode);
  std::string play(Document& doc);
  std::string reset(const std::vector<uint8_t>& devmode);
  std::string close();

 private:
  struct State;
  State* state_;
};

}  // namespace eng

#endif
