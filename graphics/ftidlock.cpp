// The font databases' process-wide font-id lock.

#include "core/osfactry.h"
#include "graphics/ftdtabse.h"

namespace {
GOSMutex* fontIdLock = nullptr;
}

void GFontDatabase::createIdLock() {
  if (GOSFactory* factory = GOSFactory::instance()) factory->createMutexOnce(fontIdLock);
}

void GFontDatabase::destroyIdLock() {
  delete fontIdLock;
  fontIdLock = nullptr;
}

GOSMutex* GFontDatabase::idLock() { return fontIdLock; }
