#ifndef KERNEL_VDPFORM_H
#define KERNEL_VDPFORM_H

// Variable-data forms: an application has the printer keep a page form on
// its own disk and stamp it later. It opens a form definition, draws the
// form's content, closes the definition, and afterwards executes the stored
// form at any position and scale, or deletes it. Each operation sends
// PostScript to the device's generator as pass-through bytes; a form is
// written to the printer's disk under "%disk0%QX_VDP1.0/" and registered
// there as a PostScript form resource.
//
// The NT device owns one table and hands the five form escapes to it. The
// table remembers the names of the forms stored during the life of a PDEV
// (emptied when a PDEV is enabled), keyed by the exact-case hash of the
// name.
//
// Form record (the escapes' input, and the end escape's output), little-
// endian, at least 76 bytes:
//    0  u16     marker, always 76
//    4  32      form name, 8-bit, ended by 0 when shorter than 32
//   36  u16     0x0600, written by the end escape
//   38  u16     form intent 1, 2 or 3 (another value is sent as 0)
//   40  4 x u16 bounding box
//   52  6 x f32 the matrix execution applies
// Every record arrives with its size; a record shorter than 76 bytes is
// refused.
//
// A definition left open when the document ends, is aborted or the PDEV
// is disabled is closed with the end marker first, so that the printer's
// STORE procedure never swallows the rest of the job.

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "core/greal.h"
#include "rw/cstring.h"

class GDevice;

namespace VdpFormRecord {
constexpr size_t kSize = 76;
constexpr uint16_t kMarker = 76;
constexpr size_t kMarkerOffset = 0;
constexpr size_t kName = 4;
constexpr size_t kNameBytes = 32;
constexpr size_t kEndWord = 36;
constexpr uint16_t kEndWordValue = 0x0600;
constexpr size_t kIntent = 38;
constexpr size_t kBox = 40;
constexpr size_t kMatrix = 52;
}  // namespace VdpFormRecord

class GFormTableNT {
 public:
  explicit GFormTableNT(GDevice& device);
  ~GFormTableNT();
  GFormTableNT(const GFormTableNT&) = delete;
  GFormTableNT& operator=(const GFormTableNT&) = delete;

  // Empties the table: no entries, no definition open, availability and
  // mask not yet known, both name hashes 0, generated-name counter 1, the
  // generator's processing flags not yet read.
  void reset();

  // Each answers 1 on success, 0 on a refusal (and then sends nothing).
  [[nodiscard]] uint16_t beginForm(const uint8_t* record, size_t size);
  [[nodiscard]] uint16_t endForm(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize);
  [[nodiscard]] uint16_t executeForm(const uint8_t* record, size_t size);
  [[nodiscard]] uint16_t deleteForm(const uint8_t* record, size_t size);
  // The capability mask into a 16-bit output of at least 2 bytes: 1 when
  // forms are available, else 0.
  uint16_t formCapabilities(uint8_t* output, size_t outputSize);
  // Whether forms can be used now; once the capability mask is known,
  // availability no longer depends on its value.
  uint16_t formsAvailable();
  // Keeps the name in the 33 bytes at the buffer (the 32 of the name field
  // and the byte behind it) or replaces it with a generated one: 1, or 0
  // for a null buffer or a buffer shorter than 33 bytes.
  uint16_t checkFormName(uint8_t* name, size_t size);
  // The number as text, in a kernel-heap block the caller frees; null when
  // it cannot be written (not finite, or too large for 31 bits).
  static char* realToText(GReal value);

  // Closes a definition that is still open, sending the end marker first:
  // 1 when one was open, else 0.
  uint16_t closeOpenDefinition();

  // What the table holds, for the device and for tests.
  bool definitionOpen() const { return inDefinition_ != 0; }
  uint32_t entries() const { return static_cast<uint32_t>(names_.size()); }
  // Whether a name's hash is in the table, and the stored name for a hash.
  bool contains(uint32_t hash) const { return names_.count(hash) != 0; }
  const RWCString* storedName(uint32_t hash) const;

 private:
  GDevice& device_;
  int32_t available_;
  int32_t mask_;
  uint32_t currentHash_;
  uint32_t givenHash_;
  uint32_t inDefinition_;
  uint32_t counter_;
  uint32_t processingFlags_;
  std::unordered_map<uint32_t, RWCString> names_;
};

#endif
