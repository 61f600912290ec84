#include "graphics/color.h"

#include "core/perclass.h"
#include "rw/rwerr.h"

namespace {

// The starting room of a palette's vector.
constexpr std::size_t kPaletteRoom = 64;

template <class Sink, std::size_t N>
void writeBytes(Sink& sink, const uint8_t (&b)[N]) {
  gWrite(sink, gBytes(static_cast<const unsigned char*>(b), N));
}

// The bytes of a level, handed over only when all of them were read.
template <class Source, std::size_t N>
bool readBytes(Source& source, uint8_t (&b)[N]) {
  uint8_t read[N] = {};
  if (!gRead(source, gBytes(static_cast<unsigned char*>(read), N))) return false;
  for (std::size_t i = 0; i < N; ++i) b[i] = read[i];
  return true;
}

}  // namespace

// ---- GColor -------------------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GColor, MPersistentObject)
RW_DEFINE_RESTORE_OPERATORS(GColor)

GColor& GColor::operator=(const GColor& other) = default;
GColor::~GColor() = default;

RWClassID GColor::isA() const { return classIsA(); }

RWBoolean GColor::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

uint8_t GColor::luminance(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<uint8_t>((30 * red + 59 * green + 11 * blue) / 100);
}

RWspace GColor::levelStoreSize() const { return 4; }

template <class Sink>
void GColor::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GColor::restoreLevel(Source& source) {
  // No fields follow the version word.
  gReadVersion(source, version());
}

// ---- GRGBColor ----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GRGBColor, GColor)

GRGBColor::GRGBColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha)
    : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

GRGBColor::GRGBColor(const GColorTriple& triple, uint8_t alpha)
    : red_(triple.red()), green_(triple.green()), blue_(triple.blue()), alpha_(alpha) {}

GRGBColor& GRGBColor::operator=(const GRGBColor& other) = default;
GRGBColor::~GRGBColor() = default;

RWBoolean GRGBColor::isKindOf(RWClassID id) const { return id == classIsA() || GColor::isKindOf(id); }

RWBoolean GRGBColor::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA()) return FALSE;
  const auto* o = dynamic_cast<const GRGBColor*>(other);
  return o && o->red_ == red_ && o->green_ == green_ && o->blue_ == blue_ && o->alpha_ == alpha_;
}

void GRGBColor::set(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  red_ = red;
  green_ = green;
  blue_ = blue;
  setAlpha(alpha);
}

void GRGBColor::get(uint8_t& red, uint8_t& green, uint8_t& blue, uint8_t& alpha) const {
  red = red_;
  green = green_;
  blue = blue_;
  alpha = alpha_;
}

GRGBColor& GRGBColor::toRGB(GRGBColor& out) const {
  out = *this;
  return out;
}

GColorTriple GRGBColor::negated() const {
  return GColorTriple(static_cast<uint8_t>(-red_), static_cast<uint8_t>(-green_), static_cast<uint8_t>(-blue_));
}

GRGBColor operator+(const GRGBColor& a, const GRGBColor& b) {
  return GRGBColor(static_cast<uint8_t>(a.red() + b.red()), static_cast<uint8_t>(a.green() + b.green()),
                   static_cast<uint8_t>(a.blue() + b.blue()), 255);
}

RWspace GRGBColor::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GRGBColor::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  const uint8_t b[] = {red_, green_, blue_, alpha_};
  writeBytes(sink, b);
}

template <class Source>
void GRGBColor::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint8_t b[4] = {red_, green_, blue_, alpha_};
  if (!readBytes(source, b)) return;
  red_ = b[0];
  green_ = b[1];
  blue_ = b[2];
  alpha_ = b[3];
}

// ---- GGrayColor ---------------------------------------------------------------------

G_DEFINE_PERSISTENT(GGrayColor, GColor)

GGrayColor::GGrayColor(uint8_t grey, uint8_t alpha) : grey_(grey), alpha_(alpha) {}

GGrayColor& GGrayColor::operator=(const GGrayColor& other) = default;
GGrayColor::~GGrayColor() = default;

RWBoolean GGrayColor::isKindOf(RWClassID id) const { return id == classIsA() || GColor::isKindOf(id); }

RWBoolean GGrayColor::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const auto* o = dynamic_cast<const GGrayColor*>(other);
  return o && o->grey_ == grey_ && o->alpha_ == alpha_;
}

void GGrayColor::set(uint8_t grey, uint8_t alpha) {
  grey_ = grey;
  setAlpha(alpha);
}

void GGrayColor::get(uint8_t& grey, uint8_t& alpha) const {
  grey = grey_;
  alpha = alpha_;
}

GRGBColor& GGrayColor::toRGB(GRGBColor& out) const {
  out.set(grey_, grey_, grey_, 255);
  return out;
}

RWspace GGrayColor::levelStoreSize() const { return 4 + 2; }

template <class Sink>
void GGrayColor::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  const uint8_t b[] = {grey_, alpha_};
  writeBytes(sink, b);
}

template <class Source>
void GGrayColor::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint8_t b[2] = {grey_, alpha_};
  if (!readBytes(source, b)) return;
  grey_ = b[0];
  alpha_ = b[1];
}

// ---- GXYZColor ----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GXYZColor, GColor)

GXYZColor::GXYZColor(uint8_t x, uint8_t y, uint8_t z, uint8_t alpha) : x_(x), y_(y), z_(z), alpha_(alpha) {}

GXYZColor& GXYZColor::operator=(const GXYZColor& other) = default;
GXYZColor::~GXYZColor() = default;

RWBoolean GXYZColor::isKindOf(RWClassID id) const { return id == classIsA() || GColor::isKindOf(id); }

RWBoolean GXYZColor::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const auto* o = dynamic_cast<const GXYZColor*>(other);
  return o && o->x_ == x_ && o->y_ == y_ && o->z_ == z_ && o->alpha_ == alpha_;
}

void GXYZColor::setFrom(const GColor& colour) {
  GRGBColor rgb;
  colour.toRGB(rgb);
  x_ = rgb.red();
  y_ = rgb.green();
  z_ = rgb.blue();
  alpha_ = colour.alpha();
}

void GXYZColor::get(uint8_t& x, uint8_t& y, uint8_t& z, uint8_t& alpha) const {
  x = x_;
  y = y_;
  z = z_;
  alpha = alpha_;
}

GRGBColor& GXYZColor::toRGB(GRGBColor& out) const {
  out.set(x_, y_, z_, 255);
  return out;
}

RWspace GXYZColor::levelStoreSize() const { return 4 + 4; }

template <class Sink>
void GXYZColor::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  const uint8_t b[] = {x_, y_, z_, alpha_};
  writeBytes(sink, b);
}

template <class Source>
void GXYZColor::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint8_t b[4] = {x_, y_, z_, alpha_};
  if (!readBytes(source, b)) return;
  x_ = b[0];
  y_ = b[1];
  z_ = b[2];
  alpha_ = b[3];
}

// ---- GPaletteTable ------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPaletteTable, MPersistentObject)

GPaletteTable::GPaletteTable() {
  colours_.reserve(kPaletteRoom);
  colours_.push_back(std::make_unique<GRGBColor>(255, 255, 255, 255));
  colours_.push_back(std::make_unique<GRGBColor>(0, 0, 0, 255));
}

GPaletteTable::GPaletteTable(const std::vector<const GColor*>& colours) {
  colours_.reserve(kPaletteRoom);
  for (const GColor* c : colours) {
    if (c) colours_.emplace_back(c->copy());
  }
}

GPaletteTable::GPaletteTable(const GPaletteTable& other) : MPersistentObject(other) {
  colours_.reserve(kPaletteRoom);
  for (const auto& c : other.colours_) colours_.emplace_back(c->copy());
}

GPaletteTable& GPaletteTable::operator=(const GPaletteTable& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  reset();
  for (const auto& c : other.colours_) colours_.emplace_back(c->copy());
  return *this;
}

GPaletteTable::~GPaletteTable() = default;

void GPaletteTable::reset() {
  colours_.clear();
  colours_.shrink_to_fit();
  colours_.reserve(kPaletteRoom);
}

RWBoolean GPaletteTable::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GPaletteTable::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const auto* o = dynamic_cast<const GPaletteTable*>(other);
  if (!o || o->colours_.size() != colours_.size()) return FALSE;
  for (std::size_t i = 0; i < colours_.size(); ++i) {
    if (colours_[i]->differs(o->colours_[i].get())) return FALSE;
  }
  return TRUE;
}

GColor* GPaletteTable::colorAt(RWsize index) const {
  if (index < colours_.size()) return colours_[index].get();
  // The handler may return: the answer then is no colour, never a read
  // past the vector.
  rwReportIndex(static_cast<uint32_t>(index), static_cast<uint32_t>(colours_.size()));
  return nullptr;
}

RWBoolean GPaletteTable::isGray() const {
  for (const auto& c : colours_) {
    GRGBColor rgb;
    c->toRGB(rgb);
    if (rgb.red() != rgb.green() || rgb.green() != rgb.blue()) return FALSE;
  }
  return TRUE;
}

int32_t GPaletteTable::index(const GColor& colour) const {
  for (std::size_t i = 0; i < colours_.size(); ++i) {
    if (colours_[i]->matches(&colour)) return static_cast<int32_t>(i);
  }
  return -1;
}

void GPaletteTable::append(GColor* colour) {
  if (colour) colours_.emplace_back(colour);
}

RWsize GPaletteTable::occurrencesOf(const GColor& colour) const {
  RWsize n = 0;
  for (const auto& c : colours_) n += c->matches(&colour) ? 1 : 0;
  return n;
}

std::unique_ptr<GColor> GPaletteTable::removeFirst(const GColor& colour) {
  for (auto it = colours_.begin(); it != colours_.end(); ++it) {
    if ((*it)->matches(&colour)) {
      std::unique_ptr<GColor> taken = std::move(*it);
      colours_.erase(it);
      return taken;
    }
  }
  return nullptr;
}

RWsize GPaletteTable::removeAll(const GColor& colour) {
  const std::size_t before = colours_.size();
  std::erase_if(colours_, [&](const std::unique_ptr<GColor>& c) { return c->matches(&colour); });
  return static_cast<RWsize>(before - colours_.size());
}

RWspace GPaletteTable::levelStoreSize() const {
  RWspace size = 4 + 4;
  for (const auto& c : colours_) size += c->recursiveStoreSize();
  return size;
}

template <class Sink>
void GPaletteTable::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint32_t>(colours_.size()));
  for (const auto& c : colours_) sink << static_cast<const RWCollectable*>(c.get());
}

template <class Source>
void GPaletteTable::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  reset();
  uint32_t count = 0;
  if (!gRead(source, count)) return;
  // The count only bounds the reading: each entry is made when the data
  // holds it, so a count the data does not back allocates nothing.
  for (uint32_t i = 0; i < count && gReadable(source); ++i) {
    RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
    if (r.failed) break;
    if (!gReadable(source)) {
      // Cut short inside the entry: what it holds is not all there.
      if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
      break;
    }
    auto* colour = dynamic_cast<GColor*>(r.object);
    if (!colour) {
      if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
      continue;
    }
    if (r.fresh) {
      colours_.emplace_back(colour);
    } else {
      // A colour read earlier belongs to whoever read it (another entry
      // of this palette among them): this palette owns a copy.
      colours_.emplace_back(colour->copy());
    }
  }
}
