#ifndef GRAPHICS_PAINTCB_H
#define GRAPHICS_PAINTCB_H

// What a paint calls back when a pen or brush handler asks it to make
// itself the current source: the second dispatch, on the paint's class. A
// colour paint calls the colour operation for its use, a raster paint the
// raster one. The generators implement it; the paint passes itself and
// keeps it (the call-back takes no reference).

#include "core/visitor.h"

class GColorPaint;
class GRasterPaint;

class GPaintCallbacks {
 public:
  virtual ~GPaintCallbacks() = default;

  [[nodiscard]] virtual GStatus setPenRasterPaint(GRasterPaint* paint) = 0;
  [[nodiscard]] virtual GStatus setPenColorPaint(GColorPaint* paint) = 0;
  [[nodiscard]] virtual GStatus setBrushRasterPaint(GRasterPaint* paint) = 0;
  [[nodiscard]] virtual GStatus setBrushColorPaint(GColorPaint* paint) = 0;
};

#endif
