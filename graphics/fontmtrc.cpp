#include "graphics/fontmtrc.h"

GFontMetrics::~GFontMetrics() = default;

void GFontMetrics::releaseCachedData() {}
