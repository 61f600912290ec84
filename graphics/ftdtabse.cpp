#include "graphics/ftdtabse.h"

GFontDatabase::GFontDatabase(GDevice* owner) : owner_(owner) {}

GFontDatabase::~GFontDatabase() { releaseAll(); }

void GFontDatabase::releaseAll() {}
