#ifndef GRAPHICS_FONTMTRC_H
#define GRAPHICS_FONTMTRC_H

// The source of font metrics that the platform services make for a device
// (createFontMetrics): widths and underline and strikeout metrics of the
// engine's fonts. Each query answers non-zero on success; a platform that
// has no such source answers failure from every one.
//
// The device tells it to release whatever it caches when the device goes
// into the driver server's cache; the base caches nothing.

#include <cstdint>

class GFontMetrics {
 public:
  GFontMetrics() = default;
  GFontMetrics(const GFontMetrics&) = delete;
  GFontMetrics& operator=(const GFontMetrics&) = delete;
  virtual ~GFontMetrics();

  // The widths of the codes first..last into `widths` (last - first + 1
  // entries).
  virtual int32_t widths(uint32_t engineFont, uint16_t first, uint16_t last, int16_t* widths) = 0;
  virtual int32_t width(uint32_t engineFont, uint16_t code, int16_t& width) = 0;
  virtual void underlineMetrics(uint32_t engineFont, int16_t cellHeight, int16_t& position, int16_t& thickness) = 0;
  virtual void strikeoutMetrics(uint32_t engineFont, int16_t cellHeight, int16_t& position, int16_t& thickness) = 0;

  // Nothing is cached here.
  virtual void releaseCachedData();
};

#endif
