#include "core/locale.h"

#include "core/perclass.h"

namespace {

// United States English. The last number is decimal 409 as the record has
// always carried it, not the language id 0x409.
constexpr uint32_t kDefaultNumbers[GLocaleInfo::kNumbers] = {1, 2, 0, 0, 2, 1, 1, 1, 0, 0, 409};
const char* const kDefaultTexts[GLocaleInfo::kTexts] = {
    "AM", "PM", "United States", "$", "/", ".", "ENU", ",", "dddd, MMMM dd, yyyy", "M/d/yy", ",", ":"};

}  // namespace

G_DEFINE_PERSISTENT(GLocaleInfo, MPersistentObject)

GLocaleInfo::GLocaleInfo() { setDefaults(); }

GLocaleInfo::GLocaleInfo(const uint32_t& id) : MPersistentObject(id) { setDefaults(); }

GLocaleInfo::GLocaleInfo(const GLocaleInfo& other) : MPersistentObject(other) { copyFields(other); }

GLocaleInfo& GLocaleInfo::operator=(const GLocaleInfo& other) {
  if (this != &other) {
    MPersistentObject::operator=(other);
    copyFields(other);
  }
  return *this;
}

GLocaleInfo::~GLocaleInfo() = default;

void GLocaleInfo::setDefaults() {
  for (int i = 0; i < kNumbers; ++i) numbers_[i] = kDefaultNumbers[i];
  for (int i = 0; i < kTexts; ++i) texts_[i] = kDefaultTexts[i];
}

void GLocaleInfo::copyFields(const GLocaleInfo& other) {
  for (int i = 0; i < kNumbers; ++i) numbers_[i] = other.numbers_[i];
  for (int i = 0; i < kTexts; ++i) texts_[i] = other.texts_[i];
}

void GLocaleInfo::setText(int i, const char* t) { texts_[i] = t ? t : ""; }

RWspace GLocaleInfo::levelStoreSize() const {
  RWspace n = 4 + 4 * kNumbers;
  for (const RWCString& t : texts_) n += 4 + t.length();
  return n;
}

template <class Sink>
void GLocaleInfo::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  for (uint32_t n : numbers_) gWrite(sink, n);
  for (const RWCString& t : texts_) gWrite(sink, t);
}

template <class Source>
void GLocaleInfo::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  for (uint32_t& n : numbers_) {
    if (!gRead(source, n)) return;
  }
  for (RWCString& t : texts_) {
    if (!gRead(source, t)) return;
  }
}

RWBoolean GLocaleInfo::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GLocaleInfo::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GLocaleInfo* o = dynamic_cast<const GLocaleInfo*>(other);
  if (!o) return FALSE;
  for (int i = 0; i < kNumbers; ++i) {
    if (numbers_[i] != o->numbers_[i]) return FALSE;
  }
  for (int i = 0; i < kTexts; ++i) {
    if (texts_[i] != o->texts_[i]) return FALSE;
  }
  return TRUE;
}
