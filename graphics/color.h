#ifndef GRAPHICS_COLOR_H
#define GRAPHICS_COLOR_H

// Colour values and palettes of the drawing model.
//
// A colour is a small persistent value: RGB, grey or XYZ, each with an
// alpha byte. Every kind converts to RGB through toRGB, which is how the
// raster code and the generators read any colour; grey values everywhere
// come from luminance (30/59/11 in integer arithmetic).
//
// GPaletteTable holds the colours of an indexed bitmap. It owns every entry
// (colour objects of any colour class). A default palette is white, then
// black, both of alpha 255.
//
// Stored forms (each level after its base's): GColor a version word (1);
// GRGBColor and GXYZColor a version word (1) and four bytes (the three
// components, then alpha); GGrayColor a version word (1), grey and alpha;
// GPaletteTable a version word (1), the entry count as a long, then each
// entry as a stored object of the graph. A level whose stored version
// differs keeps its values.
//
// Restoring a palette drops its entries first, then reads entries while
// the data holds them: the stored count is never trusted for an
// allocation, and reading stops at the first failure with the entries read
// so far kept. An entry that is a stored reference to a colour restored
// earlier (another entry, or a colour another object holds) becomes a copy
// of it, so that every entry is the palette's own. Entries that are no
// colour, and nil entries, are skipped.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/classids.h"
#include "core/perobj.h"

class GRGBColor;

// Three bytes red, green, blue; a plain value.
class GColorTriple {
 public:
  GColorTriple() = default;
  GColorTriple(uint8_t red, uint8_t green, uint8_t blue) : red_(red), green_(green), blue_(blue) {}

  uint8_t red() const { return red_; }
  uint8_t green() const { return green_; }
  uint8_t blue() const { return blue_; }

 private:
  uint8_t red_ = 0;
  uint8_t green_ = 0;
  uint8_t blue_ = 0;
};

// Abstract: not registered with the factory.
class GColor : public MPersistentObject {
  G_PERSISTENT_LEVEL(GColor)

 public:
  GColor() = default;
  GColor(const GColor& other) = default;
  GColor& operator=(const GColor& other);
  ~GColor() override;

  static RWClassID classIsA() { return ClassId::GColor; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  GColor* newSpecies() const override = 0;
  GColor* copy() const override = 0;

  virtual void setAlpha(uint8_t alpha) = 0;
  virtual uint8_t alpha() const = 0;
  // Fills out with this colour as RGB and answers it.
  virtual GRGBColor& toRGB(GRGBColor& out) const = 0;

  // (30 red + 59 green + 11 blue) / 100, truncated.
  static uint8_t luminance(uint8_t red, uint8_t green, uint8_t blue);
};

RW_DECLARE_RESTORE_OPERATORS(GColor)

class GRGBColor : public GColor {
  G_PERSISTENT_CLASS(GRGBColor)

 public:
  // All four bytes 0.
  GRGBColor() = default;
  GRGBColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
  GRGBColor(const GColorTriple& triple, uint8_t alpha);
  GRGBColor(const GRGBColor& other) = default;
  GRGBColor& operator=(const GRGBColor& other);
  ~GRGBColor() override;

  static RWClassID classIsA() { return ClassId::GRGBColor; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class and all four bytes equal; the id is
  // not compared.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint8_t red() const { return red_; }
  uint8_t green() const { return green_; }
  uint8_t blue() const { return blue_; }
  uint8_t alpha() const override { return alpha_; }
  void setRed(uint8_t red) { red_ = red; }
  void setGreen(uint8_t green) { green_ = green; }
  void setBlue(uint8_t blue) { blue_ = blue; }
  void setAlpha(uint8_t alpha) override { alpha_ = alpha; }
  void set(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
  void get(uint8_t& red, uint8_t& green, uint8_t& blue, uint8_t& alpha) const;

  // out becomes a copy of this colour, alpha, id and serial number
  // included.
  GRGBColor& toRGB(GRGBColor& out) const override;
  // Each component negated modulo 256.
  GColorTriple negated() const;

 private:
  uint8_t red_ = 0;
  uint8_t green_ = 0;
  uint8_t blue_ = 0;
  uint8_t alpha_ = 0;
};

// The components summed modulo 256; the sum is opaque (alpha 255) and a
// new object (id 0).
GRGBColor operator+(const GRGBColor& a, const GRGBColor& b);

RW_DECLARE_RESTORE_OPERATORS(GRGBColor)

class GGrayColor : public GColor {
  G_PERSISTENT_CLASS(GGrayColor)

 public:
  GGrayColor() = default;
  GGrayColor(uint8_t grey, uint8_t alpha);
  GGrayColor(const GGrayColor& other) = default;
  GGrayColor& operator=(const GGrayColor& other);
  ~GGrayColor() override;

  static RWClassID classIsA() { return ClassId::GGrayColor; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class and id and both bytes equal.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint8_t grey() const { return grey_; }
  uint8_t alpha() const override { return alpha_; }
  void setGrey(uint8_t grey) { grey_ = grey; }
  void setAlpha(uint8_t alpha) override { alpha_ = alpha; }
  void set(uint8_t grey, uint8_t alpha);
  void get(uint8_t& grey, uint8_t& alpha) const;

  // (grey, grey, grey, 255); out keeps its id.
  GRGBColor& toRGB(GRGBColor& out) const override;

 private:
  uint8_t grey_ = 0;
  uint8_t alpha_ = 0;
};

RW_DECLARE_RESTORE_OPERATORS(GGrayColor)

class GXYZColor : public GColor {
  G_PERSISTENT_CLASS(GXYZColor)

 public:
  GXYZColor() = default;
  GXYZColor(uint8_t x, uint8_t y, uint8_t z, uint8_t alpha);
  GXYZColor(const GXYZColor& other) = default;
  GXYZColor& operator=(const GXYZColor& other);
  ~GXYZColor() override;

  static RWClassID classIsA() { return ClassId::GXYZColor; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class and id and all four bytes equal.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint8_t x() const { return x_; }
  uint8_t y() const { return y_; }
  uint8_t z() const { return z_; }
  uint8_t alpha() const override { return alpha_; }
  void setX(uint8_t x) { x_ = x; }
  void setY(uint8_t y) { y_ = y; }
  void setZ(uint8_t z) { z_ = z; }
  void setAlpha(uint8_t alpha) override { alpha_ = alpha; }
  // The three components of the colour taken as RGB, and its alpha: an XYZ
  // colour gives its own four bytes.
  void setFrom(const GColor& colour);
  void get(uint8_t& x, uint8_t& y, uint8_t& z, uint8_t& alpha) const;

  // (x, y, z, 255): the components unchanged; out keeps its id.
  GRGBColor& toRGB(GRGBColor& out) const override;

 private:
  uint8_t x_ = 0;
  uint8_t y_ = 0;
  uint8_t z_ = 0;
  uint8_t alpha_ = 0;
};

RW_DECLARE_RESTORE_OPERATORS(GXYZColor)

class GPaletteTable : public MPersistentObject {
  G_PERSISTENT_CLASS(GPaletteTable)

 public:
  // White (255,255,255,255), then black (0,0,0,255).
  GPaletteTable();
  // A copy of each colour, in order; null entries are skipped.
  explicit GPaletteTable(const std::vector<const GColor*>& colours);
  GPaletteTable(const GPaletteTable& other);
  GPaletteTable& operator=(const GPaletteTable& other);
  ~GPaletteTable() override;

  static RWClassID classIsA() { return ClassId::GPaletteTable; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, as many entries, and no
  // pair of entries at one index that differs.
  RWBoolean matches(const MPersistentObject* other) const override;

  RWsize entries() const override { return static_cast<RWsize>(colours_.size()); }
  // The entry (still the palette's). An index at or past entries is
  // reported as an index error and answered with null.
  GColor* colorAt(RWsize index) const;
  // Every entry, taken as RGB, has red = green = blue (true when empty).
  RWBoolean isGray() const;

  // The vector operations. An entry matches a colour when the entry's
  // matches says so.
  // The index of the first entry that matches, or -1.
  int32_t index(const GColor& colour) const;
  // Takes the colour (owned from now on) as the last entry; null is
  // ignored.
  void append(GColor* colour);
  RWsize occurrencesOf(const GColor& colour) const;
  // Takes the first matching entry out and hands it to the caller, or null.
  std::unique_ptr<GColor> removeFirst(const GColor& colour);
  // Deletes every matching entry, the others keeping their order; answers
  // how many went.
  RWsize removeAll(const GColor& colour);

 private:
  // Drops every entry and gives the vector its starting room back.
  void reset();

  std::vector<std::unique_ptr<GColor>> colours_;
};

RW_DECLARE_RESTORE_OPERATORS(GPaletteTable)

#endif
