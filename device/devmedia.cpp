// The device's media geometry: the media entry for a media id at the job's
// or a given resolution and orientation, from the printer's pool or the
// job's custom sizes, with the print area extended to the printer's minimal
// margins when the job asks, and turned to another orientation.

#include <algorithm>
#include <memory>

#include "core/attrids.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/device.h"
#include "device/media.h"
#include "device/setread.h"

using namespace SettingRead;

namespace {

// The entry with the same name, media id, resolutions, code and texts, and
// the geometry given.
GMedia* rebuilt(const GMedia& media, const GPoint& size, const GPoint& extent, const GPoint& origin,
                int32_t orientation, uint32_t id) {
  return new GMedia(media.name().data(), size, extent, origin, orientation, media.mediaId(), media.xResolution(),
                    media.yResolution(), id, media.code(), media.text().data(), media.mediaTypeName().data());
}

}  // namespace

GMedia* GDevice::customMedia(int16_t mediaId, bool forJob, int16_t xResolution, int16_t yResolution,
                             int32_t orientation) {
  auto* sizes = as<GAttributeComposite>(lookUp(jobSettings(), AttrId::CustomSizes));
  if (!sizes) return nullptr;
  const std::unique_ptr<GChildIterator> it(sizes->createIterator());
  while (it && it->advance()) {
    const auto* size = dynamic_cast<const GCustomMediaSize*>(it->current());
    if (!size || size->mediaId() != mediaId) continue;
    std::unique_ptr<GMedia> media = forJob ? makeMediaForJob(*size, jobSettings(), printerConfig())
                                           : makeMedia(*size, printerConfig(), xResolution, yResolution, orientation);
    if (media && forJob) media->setMediaId(CustomMediaId::kFirst);
    return media.release();
  }
  return nullptr;
}

GMedia* GDevice::mediaForId(int16_t mediaId) {
  if (mediaId >= CustomMediaId::kFirst && mediaId <= CustomMediaId::kLast) return customMedia(mediaId, true, 0, 0, 0);
  GAttributeComposite* settings = jobSettings();
  int16_t orientation = 0;
  int16_t x = 0;
  int16_t y = 0;
  if (!readValue(settings, AttrId::OrientationAngle, orientation) || !readValue(settings, AttrId::Resolution, x) ||
      !readValue(settings, AttrId::VerticalResolution, y))
    return nullptr;
  return mediaForIdAt(mediaId, x, y, orientation);
}

GMedia* GDevice::mediaForIdAt(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t orientation) {
  if (mediaId >= CustomMediaId::kFirst && mediaId <= CustomMediaId::kLast)
    return customMedia(mediaId, false, xResolution, yResolution, orientation);
  GMediaPool* pool = mediaPool();
  GMedia* entry = pool ? pool->findByMediaId(mediaId, orientation, xResolution, yResolution) : nullptr;
  if (!entry) return nullptr;
  auto* media = new GMedia(*entry);
  if (valueIs(jobSettings(), AttrId::ExtendedPrintArea, 1)) extendPrintArea(media);
  return media;
}

void GDevice::extendPrintArea(GMedia*& media) {
  if (!media) return;
  GConfiguration* config = printerConfig();
  int16_t marginX = 0;
  int16_t marginY = 0;
  if (!readValue(config, AttrId::MinimalMarginX, marginX) || !readValue(config, AttrId::MinimalMarginY, marginY)) return;
  const int32_t orientation = media->orientation();
  const bool upright = orientation == 0 || orientation == 180;
  const int32_t first = upright ? marginX : marginY;
  const int32_t second = upright ? marginY : marginX;
  const int32_t x = first * media->xResolution() / 10000;
  const int32_t y = second * media->yResolution() / 10000;
  const GPoint& size = media->size();
  // Margins that meet leave an empty area, not a negative one.
  const GPoint extent(static_cast<int16_t>(std::max(0, size.x() - 2 * x)),
                      static_cast<int16_t>(std::max(0, size.y() - 2 * y)));
  GMedia* extended = rebuilt(*media, size, extent, GPoint(static_cast<int16_t>(x), static_cast<int16_t>(y)),
                             orientation, AttrId::MediaEntry);
  delete media;
  media = extended;
}

void GDevice::setMediaOrientation(GMedia*& media, int32_t angle) {
  if (!media) return;
  const int32_t current = ((media->orientation() % 360) + 360) % 360;
  if (current == angle) return;
  if (media->mediaId() >= 0 && media->mediaId() <= 0x3FFF) {
    GMedia* turned = mediaForIdAt(media->mediaId(), media->xResolution(), media->yResolution(), angle);
    if (turned) {
      turned->setId(media->id());
      delete media;
      media = turned;
    }
    return;
  }
  const auto swap = [](const GPoint& p) { return GPoint(p.y(), p.x()); };
  GMedia* turned = rebuilt(*media, swap(media->size()), swap(media->printableExtent()),
                           swap(media->printableOrigin()), angle, media->id());
  delete media;
  media = turned;
}
