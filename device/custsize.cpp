#include "device/custsize.h"

#include <new>

#include "core/perclass.h"
#include "core/valattr.h"
#include "device/setread.h"

G_DEFINE_PERSISTENT(GCustomMediaSize, GAttribute)

namespace {

struct Ratio {
  uint32_t multiplier;
  uint32_t divisor;
};

// [from][to]: multiply, then divide.
constexpr Ratio ratios[4][4] = {
    {{1, 1}, {12700, 50000}, {100, 1}, {12700, 50}},
    {{50000, 12700}, {1, 1}, {50000, 127}, {1000, 1}},
    {{1, 100}, {127, 50000}, {1, 1}, {127, 50}},
    {{50, 12700}, {1, 1000}, {50, 127}, {1, 1}},
};

bool knownUnits(int32_t units) { return units >= 0 && units <= 3; }

// The product wraps in 32 bits, as every reader of stored sizes has it; the
// quotient grows by one when the remainder is at least half the divisor.
uint32_t convert(uint32_t value, Ratio ratio) {
  const uint32_t product = value * ratio.multiplier;
  const uint32_t quotient = product / ratio.divisor;
  return product % ratio.divisor >= (ratio.divisor + 1) / 2 ? quotient + 1 : quotient;
}

uint32_t dots(uint32_t tenThousandths, int16_t resolution) {
  return tenThousandths * static_cast<uint32_t>(resolution) / 10000u;
}

GMediaSize inDots(const GMediaSize& tenThousandths, int16_t xResolution, int16_t yResolution) {
  return GMediaSize{dots(tenThousandths.width, xResolution), dots(tenThousandths.height, yResolution)};
}

// The 16-bit value attribute the settings hold under the id, else null.
const GValueAttribute* valueIn(const MPersistentObject* settings, uint32_t id) {
  return settings ? dynamic_cast<const GValueAttribute*>(settings->findById(id)) : nullptr;
}

// What is left of a length in ten-thousandths of an inch once both margins
// are taken off; 0 when they cover it.
uint32_t lessMargins(uint32_t length, int16_t first, int16_t second) {
  const int64_t left = int64_t{length} - first - second;
  if (left < 0) return 0;
  return left > int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(left);
}

}  // namespace

GMediaSize convertMediaUnits(int32_t from, int32_t to, GMediaSize size) {
  if (from == to || !knownUnits(from) || !knownUnits(to)) return size;
  const Ratio ratio = ratios[from][to];
  return GMediaSize{convert(size.width, ratio), convert(size.height, ratio)};
}

// ---- GCustomMediaSize -------------------------------------------------------------

GCustomMediaSize::GCustomMediaSize(const uint32_t& id) : GAttribute(id), mediaId_(0), units_(0) {}

GCustomMediaSize::GCustomMediaSize(int16_t mediaId, const RWCString& name, int32_t units, uint32_t width,
                                   uint32_t height, const uint32_t& id)
    : GAttribute(id), mediaId_(mediaId), name_(name), units_(units), size_{width, height} {}

GCustomMediaSize::GCustomMediaSize(int16_t mediaId, const RWCString& name, int16_t xResolution,
                                   int16_t yResolution, int32_t units, uint32_t widthInDots, uint32_t heightInDots,
                                   const uint32_t& id)
    : GAttribute(id), mediaId_(mediaId), name_(name), units_(kHundredthsOfAnInch) {
  // A resolution of 0 says nothing of the size on its axis: 0 there, not a
  // division by zero.
  auto inHundredths = [](uint32_t length, int16_t resolution) {
    return resolution == 0 ? 0u : length * 100u / static_cast<uint32_t>(resolution);
  };
  size_ = GMediaSize{inHundredths(widthInDots, xResolution), inHundredths(heightInDots, yResolution)};
  setUnits(units);
}

GCustomMediaSize::GCustomMediaSize(const GCustomMediaSize& other) = default;

GCustomMediaSize& GCustomMediaSize::operator=(const GCustomMediaSize& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  mediaId_ = other.mediaId_;
  name_ = other.name_;
  units_ = other.units_;
  size_ = other.size_;
  return *this;
}

GCustomMediaSize::~GCustomMediaSize() = default;

RWspace GCustomMediaSize::levelStoreSize() const { return 22 + name_.length(); }

template <class Sink>
void GCustomMediaSize::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, mediaId_);
  gWrite(sink, name_);
  gWrite(sink, units_);
  gWrite(sink, size_.width);
  gWrite(sink, size_.height);
}

template <class Source>
void GCustomMediaSize::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  (void)(gRead(source, mediaId_) && gRead(source, name_) && gRead(source, units_) && gRead(source, size_.width) &&
         gRead(source, size_.height));
}

RWBoolean GCustomMediaSize::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GCustomMediaSize::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GCustomMediaSize* o = dynamic_cast<const GCustomMediaSize*>(other);
  if (!o || mediaId_ != o->mediaId_ || name_ != o->name_) return FALSE;
  if (units_ == o->units_) return size_ == o->size_;
  return sizeIn(kMicrometres) == o->sizeIn(kMicrometres);
}

GStatus GCustomMediaSize::accept(GPeripheralHandlers&) { return 0; }

GMediaSize GCustomMediaSize::sizeIn(int32_t units) const { return convertMediaUnits(units_, units, size_); }

GMediaSize GCustomMediaSize::sizeInDots(int16_t xResolution, int16_t yResolution) const {
  return inDots(sizeIn(kTenThousandthsOfAnInch), xResolution, yResolution);
}

void GCustomMediaSize::set(int32_t units, uint32_t width, uint32_t height) {
  units_ = units;
  size_ = GMediaSize{width, height};
}

void GCustomMediaSize::set(int32_t units, const GMediaSize& size) {
  units_ = units;
  size_ = size;
}

void GCustomMediaSize::setUnits(int32_t units) {
  size_ = convertMediaUnits(units_, units, size_);
  units_ = units;
}

// ---- building media entries -----------------------------------------------------

std::unique_ptr<GMedia> makeMedia(const GCustomMediaSize& size, const MPersistentObject* marginSettings,
                                  int16_t xResolution, int16_t yResolution, int32_t orientation) {
  const MPersistentObject* margins = marginSettings ? marginSettings->findById(AttrId::MarginGroup) : nullptr;
  const int16_t left = SettingRead::valueOr0(margins, AttrId::LeftMargin);
  const int16_t top = SettingRead::valueOr0(margins, AttrId::TopMargin);
  const int16_t right = SettingRead::valueOr0(margins, AttrId::RightMargin);
  const int16_t bottom = SettingRead::valueOr0(margins, AttrId::BottomMargin);
  const bool across = orientation == 90 || orientation == 270;

  GMediaSize sheet = size.sizeInDots(xResolution, yResolution);
  if (across) sheet = GMediaSize{sheet.height, sheet.width};

  // The margins and the printable size are lengths in ten-thousandths of
  // an inch, converted to dots as the sheet's are.
  const GMediaSize origin =
      inDots(GMediaSize{static_cast<uint32_t>(left), static_cast<uint32_t>(top)}, xResolution, yResolution);
  GMediaSize paper = size.sizeIn(kTenThousandthsOfAnInch);
  if (across) paper = GMediaSize{paper.height, paper.width};
  const GMediaSize extent = inDots(
      GMediaSize{lessMargins(paper.width, left, right), lessMargins(paper.height, top, bottom)}, xResolution,
      yResolution);

  auto point = [](const GMediaSize& s) {
    return GPoint(static_cast<int16_t>(s.width), static_cast<int16_t>(s.height));
  };
  try {
    return std::make_unique<GMedia>(size.name().data(), point(sheet), point(extent), point(origin), orientation,
                                    size.mediaId(), xResolution, yResolution, AttrId::MediaEntry);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<GMedia> makeMediaForJob(const GCustomMediaSize& size, const MPersistentObject* jobSettings,
                                        const MPersistentObject* marginSettings) {
  const MPersistentObject* group = jobSettings ? jobSettings->findById(AttrId::ResolutionGroup) : nullptr;
  const GValueAttribute* x = valueIn(group, AttrId::Resolution);
  const GValueAttribute* y = valueIn(group, AttrId::VerticalResolution);
  // No resolution, no size in dots: the answer of a failure, which callers
  // handle for memory already.
  if (!x || !y) return nullptr;
  return makeMedia(size, marginSettings, x->value(), y->value(), SettingRead::valueOr0(jobSettings, AttrId::OrientationAngle));
}

std::unique_ptr<GMedia> makeMediaFromSettings(const GCustomMediaSize& size, const MPersistentObject* settings,
                                              const MPersistentObject* marginSettings, int16_t xResolution,
                                              int16_t yResolution) {
  return makeMedia(size, marginSettings, xResolution, yResolution, SettingRead::valueOr0(settings, AttrId::OrientationAngle));
}
