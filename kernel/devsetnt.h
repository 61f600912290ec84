#ifndef KERNEL_DEVSETNT_H
#define KERNEL_DEVSETNT_H

// The settings part of every NT device: it owns the device's DEVMODE
// object, builds the device's settings tree (from the DEVMODE's packed
// copy, from the parts kept in the printer's named values, or from the
// printer's defaults), and joins the spooler's forms list to the driver's
// paper model.
//
// Forms become papers. A built-in form maps to the printer's own media
// through the code mappings (first code the form's 1-based index, second
// code the media id); every other form at index i has the media id
// 0x3FFF + i, and maps back from id - 0x3FFF. Form ids stop below 17384,
// the printer's largest custom size: a form whose index is beyond 1000 has
// no media id. A form is accepted only when it lies between the printer's
// smallest (17385) and largest (17384) custom sizes.
//
// The parts kept in the printer's named values are attribute composites
// stored under the decimal text of their ids: "365" (the printer options,
// with the form-to-tray database 510), "366" and "368". A value that holds
// anything else is discarded.
//
// GDriverInstance is a virtual base, shared with the rest of the device;
// the device supplies the printer handle and the data file name through
// the owner interface, which the platform services use to reach the
// printer's named values.

#include <cstdint>
#include <memory>

#include "device/drvinst.h"
#include "host/engine/ddi.h"
#include "kernel/prtdata.h"
#include "rw/wstring.h"

class GAttributeComposite;
class GMedia;
class GPrinterDevModeNT;
class MPersistentObject;

// The spooler's forms of one printer, as EngEnumForms answers them (asked
// once for the size, once into a buffer of that size). No printer, no
// forms or a failed call give an empty list.
class GFormListNT {
 public:
  explicit GFormListNT(HANDLE printer);
  ~GFormListNT();
  GFormListNT(const GFormListNT&) = delete;
  GFormListNT& operator=(const GFormListNT&) = delete;

  uint32_t count() const { return count_; }
  // The form at a zero-based position, or null past the end.
  const FORM_INFO_1* at(uint32_t position) const;
  // Its name, or empty.
  RWWString name(uint32_t position) const;

 private:
  uint8_t* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t count_ = 0;
};

class GDeviceSettingsNT : public virtual GDriverInstance, public GPrinterOwnerNT {
 public:
  GDeviceSettingsNT();
  ~GDeviceSettingsNT() override;

  // ---- virtual operations, in slot order ---------------------------------------
  // Replaces the DEVMODE object with a new one (the printer's default or
  // the defaults), brings the configuration in line with it and takes a
  // foreign DEVMODE when one is given: 1 unless taking it failed.
  virtual int32_t createDevMode(const uint8_t* devmode);
  // Has the DEVMODE store the tree without its stored parts: 1, or 0 when
  // the DEVMODE could not store it.
  virtual int32_t applySettings(GAttributeComposite* settings, int32_t flag);
  // The part kept under the number's decimal text, owned by the caller;
  // null when there is none or it is no attribute composite.
  virtual GAttributeComposite* loadStoredPart(uint32_t number);
  // Keeps the object under the decimal text of its id: 1, or 0.
  virtual int32_t saveStoredPart(MPersistentObject* part);
  // printerHandle (the owner interface's) comes next, from the device.

  // ---- driver-instance operations answered here -------------------------------------
  GAttributeComposite* defaultSettings() override;
  GAttributeComposite* assembleSettings() override;
  int32_t formFits(int32_t angle, int16_t xResolution, int16_t yResolution, int32_t rangeCheck,
                   int32_t formIndex) override;
  int32_t isServedPrinter() override;
  // The code-mapping questions go through the forms: a form's 1-based
  // index and its media id (mediaIdForFormIndex, formIndexForMediaId).
  [[nodiscard]] int32_t secondCodeFor(uint16_t formIndex, int16_t& mediaId) override;
  [[nodiscard]] int32_t firstCodeFor(int16_t mediaId, uint16_t& formIndex) override;
  // Custom sizes come from the forms list: nothing is added here (0).
  [[nodiscard]] int32_t addCustomMediaSize(GCustomMediaSize* size, GAttributeComposite* composite) override;
  [[nodiscard]] int32_t enumeratePapers(GPaperCallback routine, void* data, GAttributeComposite* settings) override;
  [[nodiscard]] int32_t enumerateFittingPapers(GPaperCallback routine, void* data, int32_t rangeCheck,
                                 GAttributeComposite* settings) override;
  int32_t checkMediaId(GAttributeComposite* settings, int16_t mediaId, int16_t orientation, int16_t xResolution,
                       int16_t yResolution) override;
  GAttributeComposite* restoreDevModeSettings() override;

  // ---- forms and papers -----------------------------------------------------------
  // 1 and the media id of the form at a 1-based index, else 0.
  int32_t mediaIdForFormIndex(int32_t formIndex, int16_t& mediaId);
  // 1 and the 1-based index of the form a media id stands for, else 0.
  int32_t formIndexForMediaId(int16_t mediaId, int32_t& formIndex);
  // Whether the form lies within the printer's custom-size range at the
  // angle and resolution; 1 without the range check.
  int32_t formFitsRange(const FORM_INFO_1& form, int16_t xResolution, int16_t yResolution, int32_t angle,
                        int32_t rangeCheck);
  // Whether the form and the media agree within the tolerances
  // (thousandths of a millimetre).
  static int32_t formMatchesMedia(const FORM_INFO_1& form, const GMedia& media, int32_t xTolerance,
                                  int32_t yTolerance);
  // Whether the form at a zero-based position may be used as paper: it
  // fits, it has a media id and, with the form-to-tray database in use,
  // the database holds it.
  int32_t formToPaperCheck(const GFormListNT& forms, uint32_t position, int16_t xResolution, int16_t yResolution,
                           int32_t angle, int32_t rangeCheck);
  // Refills the tree's custom-size list (276) from the forms that are not
  // built in: 1, or 0 without a list.
  int32_t formsToCustomSizes(GAttributeComposite* settings);
  // The media for an id or a form, owned by the caller; null when none.
  GMedia* mediaForId(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t angle);
  GMedia* mediaForFormIndex(int32_t formIndex, int16_t xResolution, int16_t yResolution, int32_t angle);

  // The DEVMODE object; null before createDevMode.
  GPrinterDevModeNT* devMode() const { return devMode_.get(); }

  // Exchanges the DEVMODE objects of two settings parts and binds each to
  // its new owner, the other's first. When a bind fails, the objects go
  // back and each is bound to its own owner again, so that no two parts
  // ever hold one object: 1, or 0 after such a failure.
  int32_t exchangeDevMode(GDeviceSettingsNT& other);

 protected:
  // Makes this part the owner the DEVMODE object answers to.
  virtual void bindDevMode(GPrinterDevModeNT& devmode);

 private:
  struct DevModeDeleter {
    void operator()(GPrinterDevModeNT* devmode) const;
  };
  std::unique_ptr<GPrinterDevModeNT, DevModeDeleter> devMode_;
};

#endif
