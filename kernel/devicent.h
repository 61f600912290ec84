#ifndef KERNEL_DEVICENT_H
#define KERNEL_DEVICENT_H

// The printer device as the graphics engine sees it: one GDeviceNT per PDEV,
// made by the driver server through the platform services and reached by
// the DDI entries through the PDEV record the engine holds.
//
// It is the framework's device (job settings, command sending) with the
// kernel's settings part (the DEVMODE object, the spooler's forms), and it
// adds one operation per DDI call. Each handler first asks ddiCallCheck
// whether the call fits the device's state (kernel/ddistate.h); a call out
// of turn answers the handler's failure value and changes nothing, the
// engine's last error included. Failures of the job itself go to the last
// error through ddiResultToLastError, and a failed page or document start
// puts the device in the error state.
//
// It owns the PDEV's engine objects: the device surface (from enableSurface
// to disableSurface), the default palette handed over in DEVINFO (until the
// PDEV is disabled), the band surface and the variable-data form table.
// The PDEV record is the entries' (ddientry.cpp); the device only points
// back at it.
//
// Drawing, escapes and font management have their frames here; until their
// handlers exist, a drawing call that the call check admits draws nothing
// and answers TRUE, and escapes answer 0.

#include <cstddef>
#include <cstdint>

#include "device/device.h"
#include "host/engine/ddi.h"
#include "kernel/bandsurf.h"
#include "kernel/ddistate.h"
#include "kernel/devsetnt.h"
#include "kernel/engcaps.h"
#include "kernel/vdpform.h"
#include "rw/wstring.h"

class GDeviceNT;
class GMedia;

// The block the engine holds as its PDEV handle: the device's driver-server
// handle and the device. Made and freed by the PDEV entries, from the
// kernel heap.
struct GPdevRecordNT {
  int32_t handle = 0;
  GDeviceNT* device = nullptr;
};

class GDeviceNT : public GDevice, public GDeviceSettingsNT {
 public:
  // The printer's handle and names go to the driver instance; no PDEV, no
  // surface, an empty form table.
  GDeviceNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName, const RWWString& portName);
  ~GDeviceNT() override;

  // ---- DDI operations, in slot order ----------------------------------------------
  // Each answers the engine's failure value (0, FALSE or null) when the
  // call check refuses it.
  //
  // Binds the device to the engine's PDEV: takes the DEVMODE, assembles
  // the job's settings, reads them, and fills the two capability records.
  // 1, or 0 when the call is out of turn or a record cannot be filled.
  [[nodiscard]] virtual int32_t enablePDEV(GPdevRecordNT* record, const uint8_t* devmode, LPWSTR logicalAddress,
                             ULONG patternCount, HSURF* patterns, ULONG gdiInfoSize, GDIINFO* gdiInfo,
                             ULONG devInfoSize, DEVINFO* devInfo, HDEV engineDevice, LPWSTR deviceName,
                             HANDLE driver);
  // Moves the job of this (old) device to the new PDEV: the two devices
  // exchange their DEVMODE objects and their PDEV records, so that the
  // engine's new PDEV leads to this device; each PDEV's default palette
  // goes with its record. 1, or 0 with both devices as they were, also
  // when a DEVMODE object cannot be bound to its new owner.
  [[nodiscard]] virtual int32_t resetPDEV(GDeviceNT& newDevice);
  virtual void completePDEV(HDEV engineDevice);
  virtual void disablePDEV();
  // The device surface of the page's extent, or null.
  virtual HSURF enableSurface();
  virtual void disableSurface();
  [[nodiscard]] virtual BOOL startDocOnSurface(SURFOBJ* surface, LPWSTR documentName, DWORD jobId);
  [[nodiscard]] virtual BOOL startDoc(LPWSTR documentName, DWORD jobId);
  [[nodiscard]] virtual BOOL endDocOnSurface(SURFOBJ* surface, FLONG flags);
  [[nodiscard]] virtual BOOL endDoc(FLONG flags);
  [[nodiscard]] virtual BOOL startPageOnSurface(SURFOBJ* surface);
  [[nodiscard]] virtual BOOL startPage(SURFOBJ* surface);
  [[nodiscard]] virtual BOOL sendPageOnSurface(SURFOBJ* surface);
  [[nodiscard]] virtual BOOL sendPage();
  // Drawing. Admitted by the call check (a page is open) or not, nothing is
  // drawn yet and the answer is TRUE.
  [[nodiscard]] virtual BOOL textOut(STROBJ* string, FONTOBJ* font, CLIPOBJ* clip, RECTL* extra, RECTL* opaque,
                       BRUSHOBJ* foreground, BRUSHOBJ* opaqueBrush, POINTL* origin, ULONG mix);
  [[nodiscard]] virtual BOOL strokePath(PATHOBJ* path, CLIPOBJ* clip, XFORMOBJ* transform, BRUSHOBJ* brush, POINTL* origin,
                          LINEATTRS* line, ULONG mix);
  [[nodiscard]] virtual BOOL fillPath(PATHOBJ* path, CLIPOBJ* clip, BRUSHOBJ* brush, POINTL* origin, ULONG mix, FLONG options);
  [[nodiscard]] virtual BOOL strokeAndFillPath(PATHOBJ* path, CLIPOBJ* clip, XFORMOBJ* transform, BRUSHOBJ* stroke,
                                 LINEATTRS* line, BRUSHOBJ* fill, POINTL* origin, ULONG mix, FLONG options);
  [[nodiscard]] virtual BOOL paint(CLIPOBJ* clip, BRUSHOBJ* brush, POINTL* origin, ULONG mix);
  // The on-surface variants draw onto the band surface; the unscaled
  // target's width and height come after the source point.
  [[nodiscard]] virtual BOOL bitBltOnSurface(SURFOBJ* band, SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate,
                               RECTL* target, POINTL* sourcePoint, LONG width, LONG height, POINTL* maskPoint,
                               BRUSHOBJ* brush, POINTL* origin, ULONG rop);
  [[nodiscard]] virtual BOOL bitBlt(SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate, RECTL* target,
                      POINTL* sourcePoint, POINTL* maskPoint, BRUSHOBJ* brush, POINTL* origin, ULONG rop);
  [[nodiscard]] virtual BOOL stretchBltOnSurface(SURFOBJ* band, SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate,
                                   PVOID adjustment, POINTL* halftoneOrigin, RECTL* target,
                                   RECTL* sourceRect, POINTL* maskPoint, ULONG mode);
  [[nodiscard]] virtual BOOL stretchBlt(SURFOBJ* source, SURFOBJ* mask, CLIPOBJ* clip, XLATEOBJ* xlate,
                          PVOID adjustment, POINTL* halftoneOrigin, RECTL* target, RECTL* sourceRect,
                          POINTL* maskPoint, ULONG mode);
  [[nodiscard]] virtual BOOL copyBitsOnSurface(SURFOBJ* band, SURFOBJ* source, CLIPOBJ* clip, XLATEOBJ* xlate, RECTL* target,
                                 POINTL* sourcePoint, LONG width, LONG height);
  [[nodiscard]] virtual BOOL copyBits(SURFOBJ* source, CLIPOBJ* clip, XLATEOBJ* xlate, RECTL* target, POINTL* sourcePoint);
  // Realising onto the band surface realises nothing: TRUE.
  [[nodiscard]] virtual BOOL realizeBrushOnSurface(SURFOBJ* band, BRUSHOBJ* brush, SURFOBJ* pattern, SURFOBJ* mask,
                                     XLATEOBJ* xlate, ULONG hatch);
  // FALSE: the engine realises no brush of ours yet.
  [[nodiscard]] virtual BOOL realizeBrush(BRUSHOBJ* brush, SURFOBJ* pattern, SURFOBJ* mask, XLATEOBJ* xlate, ULONG hatch);
  virtual ULONG escapeOnSurface(SURFOBJ* surface, ULONG escape, ULONG inSize, PVOID in, ULONG outSize,
                                PVOID out);
  virtual ULONG escape(ULONG escape, ULONG inSize, PVOID in, ULONG outSize, PVOID out);
  virtual ULONG drawEscapeOnSurface(SURFOBJ* surface, ULONG escape, CLIPOBJ* clip, RECTL* bounds, ULONG inSize,
                                    PVOID in);
  virtual ULONG drawEscape(ULONG escape, CLIPOBJ* clip, RECTL* bounds, ULONG inSize, PVOID in);
  virtual ULONG fontManagementOnSurface(SURFOBJ* surface, FONTOBJ* font, ULONG mode, ULONG inSize, PVOID in,
                                        ULONG outSize, PVOID out);
  virtual ULONG fontManagement(FONTOBJ* font, ULONG mode, ULONG inSize, PVOID in, ULONG outSize, PVOID out);
  [[nodiscard]] virtual BOOL startBandingOnSurface(SURFOBJ* surface, POINTL* origin);
  [[nodiscard]] virtual BOOL startBanding(POINTL* origin);
  [[nodiscard]] virtual BOOL nextBandOnSurface(SURFOBJ* surface, POINTL* origin);
  // At the last band the page is sent, and its answer is the answer.
  [[nodiscard]] virtual BOOL nextBand(POINTL* origin);
  // The device keeps no fonts made from engine fonts yet: nothing to forget.
  virtual void forgetFont(FONTOBJ* font, uint32_t offset);
  // printerDataFileName (the owner interface's) comes here; the printer
  // device answers it.
  // The variable-data form operations, handed to the form table.
  [[nodiscard]] virtual uint16_t beginForm(const uint8_t* record, size_t size);
  [[nodiscard]] virtual uint16_t endForm(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize);
  [[nodiscard]] virtual uint16_t executeForm(const uint8_t* record, size_t size);
  [[nodiscard]] virtual uint16_t deleteForm(const uint8_t* record, size_t size);
  virtual uint16_t formCapabilities(uint8_t* output, size_t outputSize);
  virtual uint16_t formsAvailable();
  virtual uint16_t checkFormName(uint8_t* name, size_t size);
  virtual char* realToText(GReal value);

  // The driver-server handle in the PDEV record; 0 without one.
  virtual uint32_t handle();

  // ---- the device base's operations -----------------------------------------------
  // The media of the id at the job's resolution (323, 324) and angle (265),
  // through the settings part's forms: a custom size comes back as 0x4000,
  // and any other media gets the extended printable area when 442 is 1.
  // Null when a setting is missing or there is no such media.
  GMedia* mediaForId(int16_t mediaId) override;
  GMedia* mediaForIdAt(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t orientation) override;
  [[nodiscard]] GStatus checkDrawing(GCommand*) override { return 0; }
  int32_t devicePlatformHook() override { return 0; }
  void finishPath(int32_t) override {}
  int32_t closesNestedPath(int32_t) override { return 1; }

  // ---- driver-instance operations ---------------------------------------------------
  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  // The settings the job starts from: assembleSettings.
  GAttributeComposite* createSettings() override;
  // None in this class; the printer device describes itself.
  GPrinterDescription* printerDescription() override { return nullptr; }
  // Job re-use: the device base's reset, then the PDEV's own words, with
  // the description's handle and names when it is an NT one.
  void reset(GPrinterDescription* description) override;
  HANDLE printerHandle() const override { return printer_; }

  // ---- the engine's capability records ------------------------------------------------
  // The page of the job's paper (document setting 260) at the DEVMODE's
  // resolutions: 1, or 0 with the geometry untouched.
  int32_t pageGeometry(GPageGeometry& geometry);
  // What the records are built from.
  GEngineCapsInputs capsInputs();
  // Reports a configuration that cannot make a job (naming its data file)
  // on the debug output, sets last error 13 and answers 0.
  int32_t refuseConfiguration(const char* fault);
  int32_t fillGdiInfo(GDIINFO* record, ULONG size);
  int32_t fillDevInfo(DEVINFO* record, ULONG size);

  // ---- state ------------------------------------------------------------------------
  GDdiState& ddiState() { return ddi_; }
  const GDdiState& ddiState() const { return ddi_; }
  GPdevRecordNT* pdevRecord() const { return record_; }
  void setPdevRecord(GPdevRecordNT* record) { record_ = record; }
  HDEV engineDevice() const { return engineDevice_; }
  HSURF surface() const { return surface_; }
  SURFOBJ* pageSurface() const { return pageSurface_; }
  DWORD jobId() const { return jobId_; }
  HPALETTE palette() const { return palette_; }
  bool singleBand() const { return singleBand_; }
  bool bandingSurface() const { return bandingSurface_; }
  uint32_t paintOverride() const { return paintOverride_; }
  uint32_t paintOverrideColor() const { return paintOverrideColor_; }
  GBandSurfaceNT& bandSurface() { return band_; }
  GFormTableNT& formTable() { return forms_; }

 protected:
  // The settings refresh after a reset: job settings 362, 363 and 364 go,
  // and the DEVMODE's settings are merged in again. Without settings in
  // the DEVMODE the job keeps the ones it has.
  void refreshSettings();

 private:
  // The call check on this device's words. The device base's error state
  // (a send that failed anywhere) and its document-start pending flag are
  // the ones the check reads.
  [[nodiscard]] uint16_t callCheck(int32_t type);
  // The DDI state, kept in the device base's word too.
  void setDdiState(int32_t state);
  void setDocumentStartPending(bool pending);
  // Sends a new command (null: out of memory), freeing it when the output
  // gate refuses it.
  [[nodiscard]] GStatus sendNew(GCommand* command);
  bool inRasterMode() const { return renderingMode() == 2 || renderingMode() == 3; }
  void deletePalette();
  void deleteSurface();

  HANDLE printer_;
  GPdevRecordNT* record_ = nullptr;
  HDEV engineDevice_ = nullptr;
  HSURF surface_ = nullptr;
  DWORD jobId_ = 0;
  SURFOBJ* pageSurface_ = nullptr;
  HPALETTE palette_ = nullptr;
  GBandSurfaceNT band_;
  GDdiState ddi_;
  bool bandingSurface_ = false;
  bool singleBand_ = false;
  uint32_t paintOverride_ = 0;
  uint32_t paintOverrideColor_ = 0;
  GFormTableNT forms_;
};

// The device a surface leads to: a device surface (STYPE_DEVICE) whose PDEV
// record holds one; null for any other surface.
GDeviceNT* gDeviceOfSurface(SURFOBJ* surface);
// The device of a PDEV handle, or null.
GDeviceNT* gDeviceOfPdev(DHPDEV pdev);

#endif  // KERNEL_DEVICENT_H
