#include "core/attrids.h"
#include "ui/session.h"

#include <algorithm>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/osfactry.h"
#include "core/osversn.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/drvinst.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "ui/model.h"
#include "ui/uiids.h"
#include "ui/uires.h"

extern "C" uint16_t UI_CONFIGTOSETTINGS(UIHostRecord* record);

namespace {

const RWWString& poolName() {
  static const RWWString name(u"QuicksetPool");
  return name;
}

std::unique_ptr<GUndoRecord> makeRecord(const MPersistentObject& attribute, const std::vector<uint32_t>* path) {
  auto record = std::make_unique<GUndoRecord>();
  record->attribute.reset(attribute.deepCopy());
  if (path) record->path = std::make_unique<std::vector<uint32_t>>(*path);
  return record;
}

RWCString narrow(const char16_t* text) {
  RWCString out;
  if (text) (void)convertToNarrow(RWWString(text), out);  // answers 1 always
  return out;
}

}  // namespace

uint32_t GUndoRecord::id() const { return attribute ? attribute->id() : 0; }

bool GUndoRecord::samePath(const std::vector<uint32_t>* a, const std::vector<uint32_t>* b) {
  if (!a || !b) return !a && !b;
  if (a->size() != b->size()) return false;
  return a->empty() || a->front() == b->front();
}

bool GUndoRecord::isSame(const GUndoRecord& other) const {
  return id() == other.id() && samePath(path.get(), other.path.get());
}

GUISession::GUISession(UIHostRecord* record) : record_(record) {
  if (record_->configuration) printerConfig_ = record_->configuration->config();
  settings_ = record_->settings;
  if (GDriverInstance* printer = record_->printer) {
    codeMappings_ = printer->codeMappings();
    storedMappings_ = printer->storedPart();
  }
  if (settings_) {
    // A scratch group an earlier sheet left behind would be found before
    // ours: it goes first.
    while (settings_->findById(AttrId::UiScratch)) delete settings_->removeById(AttrId::UiScratch);
    settings_->insert(new GAttributeComposite(AttrId::UiScratch));
  }
  if (record_->printer) defaults_.reset(record_->printer->defaultSettings());
}

GUISession::~GUISession() {
  // The rules go through their destructors, so whatever they own goes too.
  rules_.clear();
  records_.clear();
  changed_.clear();
  defaults_.reset();
  if (pool_) {
    if (GOSFactory* factory = GOSFactory::instance()) {
      // A pool that cannot be stored is lost with the sheet; there is no one
      // left to tell.
      (void)factory->putObject(record_->printer, poolName(), pool_.get());
    }
    pool_.reset();
  }
  levels_.clear();
}

GAttributeCursor GUISession::scratchCursor() { return GAttributeCursor(scratch(), this, false); }

GAttributeComposite* GUISession::scratch() const {
  MPersistentObject* s = settings_ ? settings_->findById(AttrId::UiScratch) : nullptr;
  return s && s->isA() == ClassId::GAttributeComposite ? static_cast<GAttributeComposite*>(s) : nullptr;
}

void GUISession::addScratch(GAttribute* attribute) {
  if (GAttributeComposite* s = scratch()) {
    s->insert(attribute);
  } else {
    delete attribute;
  }
}

std::unique_ptr<MPersistentObject> GUISession::removeScratch(uint32_t id) {
  GAttributeComposite* s = scratch();
  return std::unique_ptr<MPersistentObject>(s ? s->removeById(id) : nullptr);
}

MPersistentObject* GUISession::findScratch(uint32_t id) const {
  GAttributeComposite* s = scratch();
  return s ? s->findById(id) : nullptr;
}

GAttributeComposite* GUISession::customBinNames() const {
  MPersistentObject* c = settings_ ? settings_->findById(UiId::kCustomBinNames) : nullptr;
  return c && c->isA() == ClassId::GAttributeComposite ? static_cast<GAttributeComposite*>(c) : nullptr;
}
MPersistentObject* GUISession::settingsChild378() const {
  return settings_ ? settings_->findById(AttrId::WatermarkList) : nullptr;
}
MPersistentObject* GUISession::settingsChild701() const {
  return settings_ ? settings_->findById(AttrId::ExtraMediaTypes) : nullptr;
}

// ------------------------------------------------------------------ rules

void GUISession::addRule(GFeatureRule* rule) {
  if (rule) rules_.emplace_back(rule);
}

void GUISession::reEvaluate(bool all) {
  if (evaluating_) return;
  evaluating_ = true;
  std::vector<uint32_t> ids;
  ids.swap(changed_);
  bool first = true;
  int32_t passes = 0;
  while (!ids.empty() || (all && first)) {
    if (first) {
      for (auto& rule : rules_) rule->reset();
      first = false;
    }
    for (auto& rule : rules_) rule->evaluate(ids, all);
    ids.clear();
    ids.swap(changed_);
    // Rules that keep changing each other are cut off: at most 101 passes.
    if (++passes > 100) break;
  }
  lastPasses_ = passes;
  evaluating_ = false;
}

// ---------------------------------------------------------------- updates

void GUISession::beginUpdate(HWND window) {
  if (depth_++ == 0) {
    updateWindow_ = window;
    records_.clear();
    changed_.clear();
  }
}

int16_t GUISession::endUpdate() {
  if (depth_ == 0) return 0;
  if (--depth_ == 0) updateWindow_ = 0;
  return depth_;
}

void GUISession::recordChange(const GAttribute& attribute, const std::vector<uint32_t>* path) {
  records_.insert(records_.begin(), makeRecord(attribute, path));
  changed_.insert(changed_.begin(), attribute.id());
  for (GUndoList& level : levels_) {
    const bool held = std::any_of(level.begin(), level.end(),
                                  [&](const std::unique_ptr<GUndoRecord>& r) { return r->id() == attribute.id(); });
    if (!held) level.insert(level.begin(), makeRecord(attribute, path));
  }
}

bool GUISession::wasChanged(uint32_t id, const std::vector<uint32_t>* path) const {
  for (const auto& r : records_)
    if (r->id() == id) return GUndoRecord::samePath(r->path.get(), path);
  return false;
}

void GUISession::restore(const GUndoList& list) {
  for (const auto& r : list) {
    if (!r->attribute) continue;
    const uint32_t id = r->id();
    if (id == AttrId::CustomSizes) continue;
    if (id == UiId::kQuickSetPool) {
      pool_.reset(static_cast<GAttributeComposite*>(nullptr));
      MPersistentObject* copy = r->attribute->deepCopy();
      if (copy && copy->isA() == ClassId::GAttributeComposite) {
        pool_.reset(static_cast<GAttributeComposite*>(copy));
      } else {
        delete copy;
      }
      continue;
    }
    GAttributeCursor cursor = settingsCursor();
    if (r->path)
      for (uint32_t step : *r->path) (void)cursor.descend(step);  // a missing step stays where it is
    (void)cursor.replace(id, *r->attribute);  // an attribute gone since has nothing to put back
  }
  setRefreshAll(true);
}

void GUISession::revert() {
  restore(records_);
  records_.clear();
  changed_.clear();
}

void GUISession::pushUndoLevel() { levels_.emplace_back(); }

void GUISession::popUndoLevel(bool restoreValues) {
  if (levels_.empty()) return;
  GUndoList top = std::move(levels_.back());
  levels_.pop_back();
  if (restoreValues) restore(top);
}

void GUISession::setRefreshAll(bool flag) { refreshAll_ = flag; }
bool GUISession::refreshAllPending() const { return depth_ < 2 && refreshAll_; }

uint32_t GUISession::hostFlags() const { return record_->hostFlags & 3; }

void GUISession::notifyHost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!notified_) {
    notified_ = true;
    reEvaluate(true);
  }
  if (record_->callback) record_->callback(window, message, wParam, lParam, record_);
}

// -------------------------------------------------------- the printer side

GDriverInstance* GUISession::printerObject() const { return record_->printer; }

int16_t GUISession::localeDefaultPaper() const {
  return record_->printer ? static_cast<int16_t>(record_->printer->localeDefaultPaper()) : 0;
}

int32_t GUISession::addCustomSize(MPersistentObject* size) {
  auto* custom = dynamic_cast<GCustomMediaSize*>(size);
  auto* sizes = dynamic_cast<GAttributeComposite*>(settings_ ? settings_->findById(AttrId::CustomSizes) : nullptr);
  return record_->printer && custom && sizes ? record_->printer->addCustomMediaSize(custom, sizes) : 0;
}

int32_t GUISession::removeCustomSize(MPersistentObject* size) {
  MPersistentObject* sizes = settings_ ? settings_->findById(AttrId::CustomSizes) : nullptr;
  return record_->printer && size && sizes ? record_->printer->deleteChild(size, sizes) : 0;
}

int32_t GUISession::eachPrinterChoice(GPaperCallback routine, void* data, int32_t rangeCheck) {
  return record_->printer ? record_->printer->enumerateFittingPapers(routine, data, rangeCheck, settings_) : 0;
}

int32_t GUISession::eachPrinterValue(GPaperCallback routine, void* data) {
  return record_->printer ? record_->printer->enumeratePapers(routine, data, settings_) : 0;
}

int32_t GUISession::checkMediaId(int16_t mediaId) {
  if (!record_->printer) return 0;
  const int32_t answer = record_->printer->checkMediaIdFor(settings_, mediaId);
  return answer == 1 || answer == 2 ? answer : 0;
}

int32_t GUISession::reconcileSettings() {
  const int32_t status = record_->printer ? record_->printer->mergeSettings(settings_) : 0;
  setRefreshAll(true);
  return status;
}

RWCString GUISession::helpFileName() const {
  RWCString file;
  (void)GAttributeCursor(printerConfig_, nullptr, true).getString(AttrId::HelpFile, file);  // absent: empty
  char16_t module[260] = {};
  const DWORD n = GetModuleFileNameW(uires::pluginModule(), module, 260);
  if (n == 0) return file;
  const std::u16string path(module, n);
  const size_t slash = path.rfind(u'\\');
  if (slash == std::u16string::npos) return file;
  RWCString folder = narrow(path.substr(0, slash + 1).c_str());
  folder += file;
  return folder;
}

int16_t GUISession::printerResolution() const {
  MPersistentObject* modes = printerConfig_ ? printerConfig_->findById(AttrId::ModeEntries) : nullptr;
  auto* list = dynamic_cast<GAttributeComposite*>(modes);
  MPersistentObject* first = list && list->entries() ? list->children().pointee(0) : nullptr;
  if (!first) return 0x7FFF;
  GAttributeCursor entry(first, nullptr, true);
  int32_t x = 0, y = 0;
  if (entry.getValue(AttrId::Resolution, x) && entry.getValue(AttrId::VerticalResolution, y) && x == y && x < 0x7FFF)
    return static_cast<int16_t>(x);
  return 0x7FFF;
}

GAttributeComposite* GUISession::quickSetPool(bool& loaded) {
  if (!pool_) {
    MPersistentObject* stored = nullptr;
    if (GOSFactory* factory = GOSFactory::instance()) stored = factory->getObject(record_->printer, poolName());
    // The value is the printer's, outside bytes: only an attribute composite
    // is a pool.
    if (stored && stored->isA() == ClassId::GAttributeComposite) {
      pool_.reset(static_cast<GAttributeComposite*>(stored));
      loaded = true;
    } else {
      delete stored;
      pool_ = std::make_unique<GAttributeComposite>(UiId::kQuickSetPool);
      loaded = false;
    }
  } else {
    loaded = true;
  }
  return pool_.get();
}

GMedia* GUISession::makeCustomMedia(int16_t mediaId, int16_t xResolution, int16_t yResolution) {
  GAttributeCursor settings = settingsCursor();
  if (!settings.customSizes()) return nullptr;
  auto* size = dynamic_cast<GCustomMediaSize*>(findCustomSize(settings, mediaId));
  if (!size) return nullptr;
  std::unique_ptr<GMedia> media = makeMediaFromSettings(*size, settings_, printerConfig_, xResolution, yResolution);
  if (!media) return nullptr;
  GAttributeComposite* group = scratch();
  if (!group) return nullptr;
  delete group->removeById(UiId::kCustomMedia);
  media->setId(UiId::kCustomMedia);
  GMedia* made = media.release();
  group->insert(made);
  return made;
}

void GUISession::resetToDefaults() {
  if (!record_->printer) return;
  std::unique_ptr<GAttributeComposite> fresh(record_->printer->defaultSettings());
  if (!fresh) return;
  for (uint32_t id : {AttrId::Option367, AttrId::WatermarkDefinitions}) {
    std::unique_ptr<MPersistentObject> newer(fresh->removeById(id));
    std::unique_ptr<MPersistentObject> older(settings_ ? settings_->removeById(id) : nullptr);
    // Either side may lack the attribute: the one there is kept.
    GAttribute* old = GAttribute::fromObject(older.get());
    GAttribute* fresher = GAttribute::fromObject(newer.get());
    if (old && fresher) old->merge(fresher);
    if (old) {
      fresh->insert(older.release());
    } else if (fresher) {
      fresh->insert(newer.release());
    }
  }
  if (settings_) {
    if (MPersistentObject* group = settings_->removeById(AttrId::UiScratch)) {
      while (fresh->findById(AttrId::UiScratch)) delete fresh->removeById(AttrId::UiScratch);
      fresh->insert(group);
    }
  }
  delete settings_;
  settings_ = fresh.release();
  record_->settings = settings_;
  setRefreshAll(true);
}

GStatus GUISession::apply() {
  GOSFactory* factory = GOSFactory::instance();
  GOSVersion version;
  if (factory) (void)factory->osVersion(version);  // answers the version filled in
  if (factory && version.family() != 2) {
    RWWString folder;
    (void)factory->driverDirectory(folder);  // answers the string filled in
    folder += RWWString(u"\\");
    RWCString line = narrow(std::u16string(folder.data(), folder.length()).c_str());
    line += "LAUNCHAPP.exe  /G";
    line += " /P ";
    line += narrow(record_->programArguments[0]);
    line += " /D";
    line += narrow(record_->programArguments[1]);
    // The program's result is neither awaited nor tested.
    (void)WinExec(line.data(), SW_HIDE);
  }
  const GStatus status = record_->printer ? static_cast<GStatus>(record_->printer->saveConfiguration()) : 603;
  (void)UI_CONFIGTOSETTINGS(record_);  // answers 0 always
  setRefreshAll(true);
  return status;
}
