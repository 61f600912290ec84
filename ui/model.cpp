#include "ui/model.h"

#include "ui/session.h"

GUIObject::~GUIObject() = default;
int16_t GUIObject::state() { return 0; }
uint32_t GUIObject::hostFlags() { return session_ ? session_->hostFlags() : 0; }

int16_t GUIObject::settingsValue(uint32_t id) const {
  int32_t v = 0;
  if (session_) (void)session_->settingsCursor().getValue(id, v);  // absent reads 0
  return static_cast<int16_t>(v);
}

int16_t GFeatureModel::state() { return 0; }
bool GFeatureModel::setValue(int16_t value) { return session() && session()->settingsCursor().setValue(id_, value); }
bool GFeatureModel::changed() { return session() && session()->settingsCursor().wasChanged(id_); }
int16_t GFeatureModel::value() { return settingsValue(id_); }

GFeatureRule::~GFeatureRule() = default;
void GFeatureRule::reset() {}
int32_t GFeatureRule::query(int32_t) { return 0; }

void GFeatureRule::raiseLevel(uint32_t id, int16_t level) {
  GAttributeCursor scratch = session_->scratchCursor();
  int32_t current = 0;
  if (scratch.getValue(id, current) && current >= level) return;
  // Made with the level when missing.
  (void)scratch.setValue(id, level);  // the scratch group always takes it
}

void GFeatureRule::clearLevel(uint32_t id) {
  // The scratch group makes the value when it is missing.
  (void)session_->scratchCursor().setValue(id, 0);
}
