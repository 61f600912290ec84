#ifndef GRAPHICS_ROP_H
#define GRAPHICS_ROP_H

// How source, pattern and destination combine when a graphic marks the
// page: the raster-operation member of the graphics state (bundle key 183).
//
// The code is read by its kind:
//   0  a three-operand code in the low byte, used as it is
//   1  a 16-bit code: the low byte the foreground code, the high byte the
//      background code; a background of 0xA0 to 0xAF (about 0xAA, which
//      leaves the destination alone) asks for transparent source and
//      pattern
//   any other kind (the default is 2) is ignored by the generators.
//
// A raster operation matches one of the same code and kind, whatever its
// key.
//
// Stored form after the graphics-state level: a version word (1), the code
// (u16), the kind (i32). A level whose version differs, or that is cut
// short, keeps its values.

#include <cstdint>

#include "graphics/gattrib.h"

class GRasterOperation : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GRasterOperation)

 public:
  // Code 0 of kind 2 (nothing for the generators), id 0.
  GRasterOperation();
  GRasterOperation(uint16_t code, int32_t codeKind, const uint32_t& key = 0);
  GRasterOperation(const GRasterOperation& other);
  GRasterOperation& operator=(const GRasterOperation& other);
  ~GRasterOperation() override;

  static RWClassID classIsA() { return ClassId::GRasterOperation; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GRasterOperation; }
  // Same class, code and kind; the key is not compared.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  uint16_t code() const { return code_; }
  int32_t codeKind() const { return codeKind_; }

 private:
  uint16_t code_;
  int32_t codeKind_;
};

RW_DECLARE_RESTORE_OPERATORS(GRasterOperation)

// What a generator makes of a raster operation's transparency before it
// sends the code itself.
enum class GTransferMode {
  // Send no source or pattern transfer mode: a code of kind 0 (the code
  // alone is sent), or of a kind no generator reads, or no raster
  // operation at all.
  none,
  // Kind 1, background outside 0xA0 to 0xAF.
  opaque,
  // Kind 1, background 0xA0 to 0xAF.
  transparent,
};

// The one reading of a raster operation's transparency that every
// generator shares. Null answers none.
GTransferMode gTransferMode(const GRasterOperation* rasterOperation);

#endif
