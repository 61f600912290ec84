#ifndef KERNEL_PRNDEVNT_H
#define KERNEL_PRNDEVNT_H

// The two concrete NT devices the platform services make.
//
// GPrinterDeviceNT is the device of a real printer: it adds the engine's
// device handle of its description, asks the engine whether the spooler
// cancelled the job, names the printer's data file, and describes itself
// to the driver server.
//
// GErrorDeviceNT stands in for a device that was given up: it refuses
// every DDI call with last error 14 (ERROR_OUTOFMEMORY), and passes the
// calls that end a job or take the PDEV down on to the device it wraps,
// which it does not own. It keeps no font database.

#include "kernel/descnt.h"
#include "kernel/devicent.h"

class GPrinterDeviceNT : public GDeviceNT {
 public:
  GPrinterDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                   const RWWString& portName, HDEV engineDevice);
  explicit GPrinterDeviceNT(const GDeviceDescriptionNT& description);
  ~GPrinterDeviceNT() override;

  // The abort flag when set; else, with a page surface, whether the engine
  // reports the job cancelled; else 0.
  uint32_t isAborted() override;
  // EngGetPrinterDataFileName of the description's engine device; empty
  // without one, or when the engine names none.
  RWWString printerDataFileName() const override;
  // The NT device's reset, then the description's engine device.
  void reset(GPrinterDescription* description) override;
  // A new GDeviceDescriptionNT (the caller's) of the handle, the three names
  // and the engine device.
  GPrinterDescription* printerDescription() override;

  HDEV describedEngineDevice() const { return describedEngineDevice_; }

 private:
  HDEV describedEngineDevice_;
};

class GErrorDeviceNT : public GPrinterDeviceNT {
 public:
  // The names "Error Device Name", "Error Model Name" and "Error Port
  // Name", no printer and no engine device; the wrapped device stays its
  // owner's.
  explicit GErrorDeviceNT(GDeviceNT* wrapped);
  ~GErrorDeviceNT() override;

  GDeviceNT* wrapped() const { return wrapped_; }

  // ---- the device base ---------------------------------------------------------------
  int32_t beginJob() override { return 0; }
  [[nodiscard]] GStatus checkDrawing(GCommand*) override { return 3; }
  uint32_t handle() override;

  // ---- DDI operations ----------------------------------------------------------------
  [[nodiscard]] int32_t enablePDEV(GPdevRecordNT* record, const uint8_t* devmode, LPWSTR logicalAddress, ULONG patternCount,
                     HSURF* patterns, ULONG gdiInfoSize, GDIINFO* gdiInfo, ULONG devInfoSize, DEVINFO* devInfo,
                     HDEV engineDevice, LPWSTR deviceName, HANDLE driver) override;
  [[nodiscard]] int32_t resetPDEV(GDeviceNT& newDevice) override;
  void completePDEV(HDEV engineDevice) override;
  void disablePDEV() override;
  HSURF enableSurface() override;
  void disableSurface() override;
  [[nodiscard]] BOOL startDocOnSurface(SURFOBJ* surface, LPWSTR documentName, DWORD jobId) override;
  [[nodiscard]] BOOL startDoc(LPWSTR documentName, DWORD jobId) override;
  [[nodiscard]] BOOL endDocOnSurface(SURFOBJ* surface, FLONG flags) override;
  [[nodiscard]] BOOL endDoc(FLONG flags) override;
  [[nodiscard]] BOOL startPage(SURFOBJ* surface) override;
  [[nodiscard]] BOOL sendPageOnSurface(SURFOBJ* surface) override;
  [[nodiscard]] BOOL sendPage() override;
  [[nodiscard]] BOOL textOut(STROBJ* string, FONTOBJ* font, CLIPOBJ* clip, RECTL* extra, RECTL* opaque, BRUSHOBJ* foreground,
               BRUSHOBJ* opaqueBrush, POINTL* origin, ULONG mix) override;
  [[nodiscard]] BOOL strokePath(PATHOBJ* path, CLIPOBJ* clip, XFORMOBJ* transform, BRUSHOBJ* brush, POINTL* origin,
                  LINEATTRS* line, ULONG mix) override;
  [[nodiscard]] BOOL fillPath(PATHOBJ* path, CLIPOBJ* clip, BRUSHOBJ* brush, POINTL* origin, ULONG mix, FLONG options) override;
  [[nodiscard]] BOOL strokeAndFillPath(PATHOBJ* path, CLIPOBJ* clip, XFORMOBJ* transform, BRUSHOBJ* stroke, LINEATTRS* line,
                         BRUSHOBJ* fill, POINTL* origin, ULONG mix, FLONG options) override;
  [[nodiscard]] BOOL paint(CLIPOBJ* clip, BRUSHOBJ* brush, POINTL* origin, ULONG mix) override;
  [[nodiscard]] BOOL bitBlt(SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate, RECTL* target, POINTL* sourcePoint,
              POINTL* maskPoint, BRUSHOBJ* brush, POINTL* origin, ULONG rop) override;
  [[nodiscard]] BOOL stretchBltOnSurface(SURFOBJ* band, SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate,
                           PVOID adjustment, POINTL* halftoneOrigin, RECTL* target, RECTL* sourceRect,
                           POINTL* maskPoint, ULONG mode) override;
  [[nodiscard]] BOOL stretchBlt(SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate, PVOID adjustment,
                  POINTL* halftoneOrigin, RECTL* target, RECTL* sourceRect, POINTL* maskPoint,
                  ULONG mode) override;
  [[nodiscard]] BOOL copyBits(SURFOBJ* source, CLIPOBJ* clip, XLATEOBJ* xlate, RECTL* target, POINTL* sourcePoint) override;
  [[nodiscard]] BOOL realizeBrushOnSurface(SURFOBJ* band, BRUSHOBJ* brush, SURFOBJ* pattern, SURFOBJ* mask, XLATEOBJ* xlate,
                             ULONG hatch) override;
  [[nodiscard]] BOOL realizeBrush(BRUSHOBJ* brush, SURFOBJ* pattern, SURFOBJ* mask, XLATEOBJ* xlate, ULONG hatch) override;
  ULONG escapeOnSurface(SURFOBJ* surface, ULONG escape, ULONG inSize, PVOID in, ULONG outSize, PVOID out) override;
  ULONG escape(ULONG escape, ULONG inSize, PVOID in, ULONG outSize, PVOID out) override;
  ULONG drawEscapeOnSurface(SURFOBJ* surface, ULONG escape, CLIPOBJ* clip, RECTL* bounds, ULONG inSize,
                            PVOID in) override;
  ULONG drawEscape(ULONG escape, CLIPOBJ* clip, RECTL* bounds, ULONG inSize, PVOID in) override;
  ULONG fontManagementOnSurface(SURFOBJ* surface, FONTOBJ* font, ULONG mode, ULONG inSize, PVOID in, ULONG outSize,
                                PVOID out) override;
  ULONG fontManagement(FONTOBJ* font, ULONG mode, ULONG inSize, PVOID in, ULONG outSize, PVOID out) override;
  [[nodiscard]] BOOL startBandingOnSurface(SURFOBJ* surface, POINTL* origin) override;
  [[nodiscard]] BOOL startBanding(POINTL* origin) override;
  [[nodiscard]] BOOL nextBandOnSurface(SURFOBJ* surface, POINTL* origin) override;
  [[nodiscard]] BOOL nextBand(POINTL* origin) override;

  // ---- driver-instance operations ------------------------------------------------------
  void reset(GPrinterDescription* description) override;
  void releaseResources() override;
  GAttributeComposite* defaultSettings() override { return nullptr; }
  GAttributeComposite* assembleSettings() override { return nullptr; }
  GPrinterDescription* printerDescription() override { return nullptr; }
  GAttributeComposite* restoreDevModeSettings() override { return nullptr; }

 private:
  GDeviceNT* wrapped_;
};

#endif  // KERNEL_PRNDEVNT_H
