#include "kernel/vdpform.h"

#include "device/device.h"

GFormTableNT::GFormTableNT(GDevice& device) : device_(device) { reset(); }
GFormTableNT::~GFormTableNT() = default;

void GFormTableNT::reset() {
  available_ = -1;
  mask_ = -1;
  currentHash_ = 0;
  givenHash_ = 0;
  inDefinition_ = 0;
  counter_ = 1;
  processingFlags_ = 0x8000;
  names_.clear();
}

uint16_t GFormTableNT::beginForm(const uint8_t*, size_t) { return 0; }
uint16_t GFormTableNT::endForm(const uint8_t*, size_t, uint8_t*, size_t) { return 0; }
uint16_t GFormTableNT::executeForm(const uint8_t*, size_t) { return 0; }
uint16_t GFormTableNT::deleteForm(const uint8_t*, size_t) { return 0; }
uint16_t GFormTableNT::formCapabilities(uint8_t*, size_t) { return 0; }
uint16_t GFormTableNT::formsAvailable() { return 0; }
uint16_t GFormTableNT::checkFormName(uint8_t*, size_t) { return 0; }
char* GFormTableNT::realToText(GReal) { return nullptr; }
uint16_t GFormTableNT::closeOpenDefinition() { return 0; }

const RWCString* GFormTableNT::storedName(uint32_t hash) const {
  auto it = names_.find(hash);
  return it == names_.end() ? nullptr : &it->second;
}
