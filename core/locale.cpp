#include "core/locale.h"

#include "core/storeio.h"
#include "rw/factory.h"

namespace {

RWCollectable* createLocale() { return new GLocaleInfo; }
const RWFactoryRegistrar registerLocale(createLocale, GLocaleInfo::classIsA(), "GLocaleInfo");

// United States English. The last number is decimal 409 as the record has
// always carried it, not the language id 0x409.
constexpr uint32_t kDefaultNumbers[GLocaleInfo::kNumbers] = {1, 2, 0, 0, 2, 1, 1, 1, 0, 0, 409};
const char* const kDefaultTexts[GLocaleInfo::kTexts] = {
    "AM", "PM", "United States", "$", "/", ".", "ENU", ",", "dddd, MMMM dd, yyyy", "M/d/yy", ",", ":"};

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(GLocaleInfo)

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

GLocaleInfo* GLocaleInfo::newSpecies() const { return new GLocaleInfo; }
GLocaleInfo* GLocaleInfo::copy() const { return new GLocaleInfo(*this); }
RWClassID GLocaleInfo::isA() const { return classIsA(); }

RWspace GLocaleInfo::binaryStoreSize() const {
  RWspace n = MPersistentObject::binaryStoreSize() + 4 + 4 * kNumbers;
  for (const RWCString& t : texts_) n += 4 + t.length();
  return n;
}

void GLocaleInfo::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  for (uint32_t n : numbers_) s.putULong(n);
  for (const RWCString& t : texts_) t.saveOn(s);
}

void GLocaleInfo::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  for (uint32_t n : numbers_) f.Write(n);
  for (const RWCString& t : texts_) t.saveOn(f);
}

template <class Source>
void GLocaleInfo::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  for (uint32_t& n : numbers_) {
    if (!gReadULong(source, n)) return;
  }
  for (RWCString& t : texts_) {
    if (!gReadable(source)) return;
    t.restoreFrom(source);
  }
}

void GLocaleInfo::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GLocaleInfo::restoreGuts(RWFile& f) { restoreLevel(f); }

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
