#include "rw/wstring.h"
#include "rw/bufhelp.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "rw/cstring.h"
#include "rw/kmsys.h"
#include "rw/message.h"
#include "rw/rwerr.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

// The shared empty representation: a header with count, capacity and length
// 0, then its zero unit. Its count starts at one owner (the static itself),
// so releasing every string that uses it never frees it.
struct RWWStringEmpty {
  constexpr RWWStringEmpty() noexcept : ref(0, 0), nul(0) {}
  RWWStringRef ref;
  RWwchar nul;
};

static_assert(sizeof(RWWStringRef) == 12, "three 32-bit header words");
static_assert(offsetof(RWWStringEmpty, nul) == sizeof(RWWStringRef),
              "the empty representation's zero unit follows its header");

namespace {

constinit RWWStringEmpty emptyRep;

RWsize minimumCapacitySetting = 15;
RWsize capacityStepSetting = 16;
RWsize spareLimitSetting = 15;

// What a bad index answers once it has been reported: a unit outside every
// string, so nothing of a string is read or written through it.
thread_local RWwchar spareUnit;

RWwchar& spare() {
  spareUnit = 0;
  return spareUnit;
}

// A length must stay below RW_NPOS, which means "no position". An edit that
// would pass it is refused as a memory request that cannot be met, rather
// than let the 32-bit length wrap.
constexpr uint64_t maxLength = RW_NPOS - 1;

bool tooLong(uint64_t wanted) {
  if (wanted <= maxLength) return false;
  RWThrow(RWMemoryErr(static_cast<size_t>(wanted * sizeof(RWwchar) + sizeof(RWWStringRef) + 2)));
  return true;
}

// Texts handed in are measured in 32 bits; a longer one is refused whole.
RWsize fitLength(size_t n) { return tooLong(n) ? 0 : static_cast<RWsize>(n); }

RWsize textLength(const RWwchar* s) {
  return s ? fitLength(std::char_traits<RWwchar>::length(s)) : 0;
}

void copyUnits(RWwchar* to, const RWwchar* from, RWsize n) {
  if (n) std::memcpy(to, from, size_t(n) * sizeof(RWwchar));
}

void moveUnits(RWwchar* to, const RWwchar* from, RWsize n) {
  if (n) std::memmove(to, from, size_t(n) * sizeof(RWwchar));
}

inline uint32_t rotl5(uint32_t h) { return (h << 5) | (h >> 27); }

inline RWwchar lower(RWwchar c) { return KMDowncaseUnicodeChar(c); }

// The exact order of units is the order of their bytes in memory, low byte
// first: 0x0100 sorts before 0x00FF. Stored sort orders rely on it.
int compareUnitsExact(const RWwchar* a, const RWwchar* b, RWsize n) {
  for (RWsize i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    unsigned la = a[i] & 0xFF, lb = b[i] & 0xFF;
    if (la != lb) return la < lb ? -1 : 1;
    return (a[i] >> 8) < (b[i] >> 8) ? -1 : 1;
  }
  return 0;
}

int compareUnitsFolded(const RWwchar* a, const RWwchar* b, RWsize n) {
  for (RWsize i = 0; i < n; ++i) {
    RWwchar x = lower(a[i]), y = lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool equalUnits(const RWwchar* a, const RWwchar* b, RWsize n) {
  return n == 0 || std::memcmp(a, b, size_t(n) * sizeof(RWwchar)) == 0;
}

bool isWhite(RWwchar c) { return c == u' ' || (c >= 0x09 && c <= 0x0D); }

}  // namespace

// ---- the representation ----------------------------------------------------

RWsize RWWStringRef::first(RWwchar c) const {
  const RWwchar* p = data();
  for (RWsize i = 0;; ++i) {
    if (p[i] == c) return i;
    if (p[i] == 0) return RW_NPOS;
  }
}

RWsize RWWStringRef::first(RWwchar c, RWsize) const {
  const RWwchar* p = data();
  for (RWsize i = 0; i < nchars_; ++i)
    if (p[i] == c) return i;
  return RW_NPOS;
}

RWsize RWWStringRef::first(const RWwchar* set) const {
  if (!set) return RW_NPOS;
  const RWwchar* p = data();
  for (RWsize i = 0; p[i]; ++i)
    for (const RWwchar* s = set; *s; ++s)
      if (*s == p[i]) return i;
  return RW_NPOS;
}

RWsize RWWStringRef::first(const RWwchar* set, RWsize setLength) const {
  if (!set) return RW_NPOS;
  const RWwchar* p = data();
  for (RWsize i = 0; i < nchars_; ++i)
    for (RWsize k = 0; k < setLength; ++k)
      if (set[k] == p[i]) return i;
  return RW_NPOS;
}

RWsize RWWStringRef::last(RWwchar c) const {
  const RWwchar* p = data();
  RWsize found = RW_NPOS;
  for (RWsize i = 0;; ++i) {
    if (p[i] == c) found = i;
    if (p[i] == 0) return found;
  }
}

RWsize RWWStringRef::last(RWwchar c, RWsize) const {
  const RWwchar* p = data();
  for (RWsize i = nchars_; i > 0; --i)
    if (p[i - 1] == c) return i - 1;
  return RW_NPOS;
}

// ---- settings ----------------------------------------------------------------

RWsize RWWString::minimumCapacity() { return minimumCapacitySetting; }
RWsize RWWString::capacityStep() { return capacityStepSetting; }
RWsize RWWString::spareLimit() { return spareLimitSetting; }

RWsize RWWString::minimumCapacity(RWsize n) {
  RWsize old = minimumCapacitySetting;
  minimumCapacitySetting = n;
  return old;
}

RWsize RWWString::capacityStep(RWsize n) {
  RWsize old = capacityStepSetting;
  capacityStepSetting = n;
  return old;
}

RWsize RWWString::spareLimit(RWsize n) {
  RWsize old = spareLimitSetting;
  spareLimitSetting = n;
  return old;
}

RWsize RWWString::roundCapacity(RWsize n) {
  uint64_t minimum = minimumCapacitySetting;
  if (minimum >= n) return static_cast<RWsize>(minimum);
  uint64_t step = capacityStepSetting ? capacityStepSetting : 1;
  uint64_t rounded = minimum + step * ((n - minimum + step - 1) / step);
  // Rounding never takes a size past what a length can say.
  return rounded < RW_NPOS ? static_cast<RWsize>(rounded) : n;
}

// ---- allocation and copy on write --------------------------------------------

RWWStringRef* RWWString::allocateRep(RWsize capacity, RWsize length) {
  if (capacity == 0 && length == 0) {
    emptyRep.ref.refs_.addReference();
    return &emptyRep.ref;
  }
  size_t bytes = sizeof(RWWStringRef) + (size_t(capacity) + 1) * sizeof(RWwchar);
  RWWStringRef* rep = new (rwAllocated(::operator new(bytes))) RWWStringRef(capacity, length);
  rep->data()[length] = 0;
  return rep;
}

void RWWString::releaseRep(RWWStringRef* rep) {
  if (rep->refs_.removeReference() == 0 && rep != &emptyRep.ref) {
    rep->~RWWStringRef();
    ::operator delete(rep);
  }
}

void RWWString::setLength(RWsize n) {
  pref()->nchars_ = n;
  data_[n] = 0;
}

void RWWString::cloneWithCapacity(RWsize n) {
  RWsize keep = length() < n ? length() : n;
  RWWStringRef* rep = allocateRep(n, keep);
  copyUnits(rep->data(), data_, keep);
  RWWStringRef* old = pref();
  data_ = rep->data();
  releaseRep(old);
}

void RWWString::clone() {
  if (pref()->shared()) cloneWithCapacity(length());
}


RWWString RWWString::copy() const { return RWWString(data_, length()); }

void RWWString::makeEmpty(RWsize capacity) {
  RWWStringRef* rep = pref();
  if (rep->shared() || rep->capacity() < capacity) {
    data_ = allocateRep(capacity, 0)->data();
    releaseRep(rep);
  } else {
    setLength(0);
  }
}

RWsize RWWString::capacity(RWsize n) {
  if (n > length() && n != capacity() && !tooLong(n)) cloneWithCapacity(n);
  return capacity();
}

// ---- construction ----------------------------------------------------------------

RWWString::RWWString() : data_(allocateRep(0, 0)->data()) {}

RWWString::RWWString(const RWwchar* text) : RWWString(text, textLength(text)) {}

RWWString::RWWString(const RWwchar* text, RWsize n) {
  if (!text || tooLong(n)) n = 0;
  data_ = allocateRep(n, n)->data();
  copyUnits(data_, text, n);
}

RWWString::RWWString(RWwchar c) {
  RWsize capacity = minimumCapacitySetting ? minimumCapacitySetting : 1;
  data_ = allocateRep(capacity, 1)->data();
  data_[0] = c;
}

RWWString::RWWString(char c) : RWWString(static_cast<RWwchar>(static_cast<unsigned char>(c))) {}

RWWString::RWWString(RWwchar c, RWsize n) {
  if (tooLong(n)) n = 0;
  data_ = allocateRep(n, n)->data();
  for (RWsize i = 0; i < n; ++i) data_[i] = c;
}

RWWString::RWWString(const RWWSubString& sub) {
  RWsize n = sub.isNull() ? 0 : sub.length();
  data_ = allocateRep(roundCapacity(n), n)->data();
  if (n) copyUnits(data_, sub.data(), n);
}

RWWString::RWWString(const RWWString& other) : data_(other.data_) {
  pref()->refs_.addReference();
}

RWWString::RWWString(const RWwchar* a, RWsize na, const RWwchar* b, RWsize nb) {
  if (!a) na = 0;
  if (!b) nb = 0;
  if (tooLong(uint64_t(na) + nb)) na = nb = 0;
  RWsize n = na + nb;
  data_ = allocateRep(roundCapacity(n), n)->data();
  copyUnits(data_, a, na);
  copyUnits(data_ + na, b, nb);
}

RWWString::RWWString(const char* text) : RWWString(text, text ? fitLength(std::strlen(text)) : 0) {}

RWWString::RWWString(const char* text, RWsize n) : data_(nullptr) { widen(text, n); }

RWWString::RWWString(const char* text, multiByte_)
    : RWWString(text, text ? fitLength(std::strlen(text)) : 0, multiByte) {}

RWWString::RWWString(const char* text, RWsize n, multiByte_) : data_(nullptr) { convert(text, n); }

RWWString::RWWString(const RWCString& text) : data_(nullptr) { widen(text.data(), text.length()); }

RWWString::RWWString(const RWCString& text, multiByte_) : data_(nullptr) {
  convert(text.data(), text.length());
}

void RWWString::widen(const char* text, RWsize n) {
  if (!text || tooLong(n)) n = 0;
  data_ = allocateRep(n, n)->data();
  for (RWsize i = 0; i < n; ++i) data_[i] = static_cast<unsigned char>(text[i]);
}

void RWWString::convert(const char* text, RWsize n) {
  if (!text || tooLong(n)) n = 0;
  // Short texts convert on the stack; the code page never makes more units
  // than bytes, so n + 1 units always hold the result.
  RWwchar fixed[64];
  std::unique_ptr<RWwchar[]> heap;
  RWwchar* area = fixed;
  RWsize room = n + 1;
  if (n >= 64) {
    heap.reset(new RWwchar[room]);
    area = heap.get();
  }
  int32_t got = KMMultiByteToUnicode(area, room, text, n);
  // A failed conversion makes an empty string.
  RWsize units = got < 0 ? 0 : static_cast<RWsize>(got);
  if (units > room) units = room;
  data_ = allocateRep(units, units)->data();
  copyUnits(data_, area, units);
}

RWWString::~RWWString() { releaseRep(pref()); }

RWWString& RWWString::operator=(const RWWString& other) {
  if (data_ != other.data_) {
    other.pref()->refs_.addReference();
    RWWStringRef* old = pref();
    data_ = other.data_;
    releaseRep(old);
  }
  return *this;
}

RWWString& RWWString::operator=(const RWwchar* text) {
  if (!text || !*text) {
    RWWStringRef* rep = pref();
    if (rep->shared()) {
      data_ = allocateRep(0, 0)->data();
      releaseRep(rep);
    } else {
      setLength(0);
    }
    return *this;
  }
  return replace(0, length(), text, textLength(text));
}

// ---- editing ----------------------------------------------------------------

RWWString& RWWString::replace(RWsize pos, RWsize k, const RWwchar* s, RWsize m) {
  RWsize len = length();
  if (pos > len) {
    // Nothing outside the string may be written: report and leave it.
    rwReportIndex(pos, len);
    return *this;
  }
  if (k > len - pos) k = len - pos;
  if (!s) m = 0;
  if (tooLong(uint64_t(len) - k + m)) return *this;
  RWsize newLength = len - k + m;
  RWsize tail = len - pos - k;
  RWWStringRef* rep = pref();
  RWsize cap = rep->capacity();
  // A source inside this string's block must survive the move below.
  std::less_equal<const RWwchar*> le;
  bool inside = s && le(data_, s) && le(s, data_ + cap);
  if (!rep->shared() && cap >= newLength &&
      (newLength >= len || cap - newLength <= spareLimitSetting) && !inside) {
    moveUnits(data_ + pos + m, data_ + pos + k, tail);
    copyUnits(data_ + pos, s, m);
    setLength(newLength);
  } else {
    RWWStringRef* made = allocateRep(roundCapacity(newLength), newLength);
    RWwchar* to = made->data();
    copyUnits(to, data_, pos);
    copyUnits(to + pos, s, m);
    copyUnits(to + pos + m, data_ + pos + k, tail);
    data_ = to;
    releaseRep(rep);
  }
  return *this;
}

RWWString& RWWString::replace(RWsize pos, RWsize n, const RWwchar* text) {
  return replace(pos, n, text, textLength(text));
}

RWWString& RWWString::replace(RWsize pos, RWsize n, const RWWString& s) {
  return replace(pos, n, s.data_, s.length());
}

RWWString& RWWString::append(const RWwchar* text) { return append(text, textLength(text)); }
RWWString& RWWString::append(const RWwchar* text, RWsize n) {
  return replace(length(), 0, text, n);
}
RWWString& RWWString::append(const RWWString& s) { return replace(length(), 0, s.data_, s.length()); }

RWWString& RWWString::append(RWwchar c, RWsize n) {
  if (n == 0 || tooLong(uint64_t(length()) + n)) return *this;
  RWsize len = length();
  RWsize newLength = len + n;
  if (pref()->shared() || capacity() < newLength) cloneWithCapacity(newLength);
  for (RWsize i = len; i < newLength; ++i) data_[i] = c;
  setLength(newLength);
  return *this;
}

RWWString& RWWString::prepend(const RWwchar* text) { return prepend(text, textLength(text)); }
RWWString& RWWString::prepend(const RWwchar* text, RWsize n) { return replace(0, 0, text, n); }
RWWString& RWWString::prepend(const RWWString& s) { return replace(0, 0, s.data_, s.length()); }

RWWString& RWWString::prepend(RWwchar c, RWsize n) {
  if (n == 0 || tooLong(uint64_t(length()) + n)) return *this;
  RWsize len = length();
  RWsize newLength = len + n;
  RWWStringRef* rep = pref();
  if (rep->shared() || rep->capacity() < newLength) {
    RWWStringRef* made = allocateRep(roundCapacity(newLength), newLength);
    copyUnits(made->data() + n, data_, len);
    data_ = made->data();
    releaseRep(rep);
  } else {
    moveUnits(data_ + n, data_, len);
  }
  for (RWsize i = 0; i < n; ++i) data_[i] = c;
  setLength(newLength);
  return *this;
}

RWWString& RWWString::insert(RWsize pos, const RWwchar* text) {
  return replace(pos, 0, text, textLength(text));
}
RWWString& RWWString::insert(RWsize pos, const RWwchar* text, RWsize n) {
  return replace(pos, 0, text, n);
}
RWWString& RWWString::insert(RWsize pos, const RWWString& s) {
  return replace(pos, 0, s.data_, s.length());
}

RWWString& RWWString::remove(RWsize pos) { return replace(pos, RW_NPOS, nullptr, 0); }
RWWString& RWWString::remove(RWsize pos, RWsize n) { return replace(pos, n, nullptr, 0); }

void RWWString::resize(RWsize n) {
  RWsize len = length();
  if (n < len)
    replace(n, len - n, nullptr, 0);
  else if (n > len)
    append(u' ', n - len);
}

void RWWString::toLower() {
  clone();
  for (RWsize i = 0, n = length(); i < n; ++i) data_[i] = KMDowncaseUnicodeChar(data_[i]);
}

void RWWString::toUpper() {
  clone();
  for (RWsize i = 0, n = length(); i < n; ++i) data_[i] = KMUpcaseUnicodeChar(data_[i]);
}

RWWString toLower(const RWWString& s) {
  RWWString t = s.copy();
  t.toLower();
  return t;
}

RWWString toUpper(const RWWString& s) {
  RWWString t = s.copy();
  t.toUpper();
  return t;
}

RWWString operator+(const RWWString& a, const RWwchar* b) {
  return RWWString(a.data_, a.length(), b, textLength(b));
}

RWWString operator+(const RWwchar* a, const RWWString& b) {
  return RWWString(a, textLength(a), b.data_, b.length());
}

RWWString operator+(const RWWString& a, const RWWString& b) {
  return RWWString(a.data_, a.length(), b.data_, b.length());
}

// ---- element access and substrings -----------------------------------------------

RWwchar& RWWString::operator[](RWsize i) {
  if (i >= length()) {
    rwReportIndex(i, length());
    return spare();
  }
  clone();
  return data_[i];
}

RWwchar RWWString::operator[](RWsize i) const {
  if (i >= length()) {
    rwReportIndex(i, length());
    return 0;
  }
  return data_[i];
}

RWwchar& RWWString::operator()(RWsize i) {
  clone();
  return data_[i];
}

RWWSubString RWWString::operator()(RWsize start, RWsize len) {
  RWsize n = length();
  if (start == RW_NPOS && len == 0) return RWWSubString(*this, RW_NPOS, 0);
  if (start > n || len > n - start) {
    // A view past the end would hand out units that are not the string's.
    rwReport<RWBoundsErr>(RWTOOL_SUBSTRING(), {static_cast<int32_t>(start), len, n});
    return RWWSubString(*this, RW_NPOS, 0);
  }
  return RWWSubString(*this, start, len);
}

const RWWSubString RWWString::operator()(RWsize start, RWsize len) const {
  return const_cast<RWWString&>(*this)(start, len);
}

RWWSubString RWWString::subString(const RWwchar* pattern, RWsize start, caseCompare cmp) {
  RWsize m = textLength(pattern);
  RWsize i = index(pattern, m, start, cmp);
  return RWWSubString(*this, i, i == RW_NPOS ? 0 : m);
}

const RWWSubString RWWString::subString(const RWwchar* pattern, RWsize start,
                                        caseCompare cmp) const {
  return const_cast<RWWString&>(*this).subString(pattern, start, cmp);
}

RWWSubString RWWString::strip(stripType s, RWwchar c) {
  RWsize begin = 0, end = length();
  if (s & leading)
    while (begin < end && data_[begin] == c) ++begin;
  if (s & trailing)
    while (end > begin && data_[end - 1] == c) --end;
  if (begin == end) return RWWSubString(*this, RW_NPOS, 0);
  return RWWSubString(*this, begin, end - begin);
}

const RWWSubString RWWString::strip(stripType s, RWwchar c) const {
  return const_cast<RWWString&>(*this).strip(s, c);
}

void RWWSubString::replaceBy(const RWwchar* text, RWsize n) {
  if (isNull()) return;
  str_->replace(begin_, extent_, text, n);
  extent_ = text ? n : 0;
}

RWWSubString& RWWSubString::operator=(const RWwchar* text) {
  replaceBy(text, textLength(text));
  return *this;
}

RWWSubString& RWWSubString::operator=(const RWWString& s) {
  replaceBy(s.data(), s.length());
  return *this;
}

RWWSubString& RWWSubString::operator=(const RWWSubString& s) {
  if (s.isNull())
    replaceBy(nullptr, 0);
  else
    replaceBy(s.data(), s.length());
  return *this;
}

RWwchar& RWWSubString::operator[](RWsize i) {
  if (i == RW_NPOS || i >= extent_) {
    rwReport<RWBoundsErr>(RWTOOL_INDEX(), {i, extent_});
    return spare();
  }
  str_->clone();
  return str_->data_[begin_ + i];
}

RWwchar RWWSubString::operator[](RWsize i) const {
  if (i == RW_NPOS || i >= extent_) {
    rwReport<RWBoundsErr>(RWTOOL_INDEX(), {i, extent_});
    return 0;
  }
  return str_->data_[begin_ + i];
}

RWwchar& RWWSubString::operator()(RWsize i) {
  str_->clone();
  return str_->data_[begin_ + i];
}

RWwchar RWWSubString::operator()(RWsize i) const { return str_->data_[begin_ + i]; }

void RWWSubString::toLower() {
  if (isNull()) return;
  str_->clone();
  RWwchar* p = str_->data_ + begin_;
  for (RWsize i = 0; i < extent_; ++i) p[i] = KMDowncaseUnicodeChar(p[i]);
}

void RWWSubString::toUpper() {
  if (isNull()) return;
  str_->clone();
  RWwchar* p = str_->data_ + begin_;
  for (RWsize i = 0; i < extent_; ++i) p[i] = KMUpcaseUnicodeChar(p[i]);
}

RWBoolean operator==(const RWWSubString& a, const RWwchar* b) {
  RWsize n = textLength(b);
  if (a.isNull()) return n == 0;
  return a.length() == n && equalUnits(a.data(), b, n);
}

RWBoolean operator==(const RWWSubString& a, const RWWString& b) {
  if (a.isNull()) return b.length() == 0;
  return a.length() == b.length() && equalUnits(a.data(), b.data(), b.length());
}

RWBoolean operator==(const RWWSubString& a, const RWWSubString& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  return a.length() == b.length() && equalUnits(a.data(), b.data(), a.length());
}

// ---- comparison and search ---------------------------------------------------

int RWWString::compareTo(const RWwchar* text, caseCompare cmp) const {
  static const RWwchar none[1] = {0};
  if (!text) text = none;
  RWsize n = length();
  RWsize i = 0;
  for (; text[i]; ++i) {
    if (i == n) return -1;
    RWwchar a = data_[i], b = text[i];
    if (cmp == ignoreCase) {
      a = lower(a);
      b = lower(b);
    }
    if (a != b) return b < a ? 1 : -1;
  }
  return i < n ? 1 : 0;
}

int RWWString::compareTo(const RWWString& other, caseCompare cmp) const {
  RWsize n = length(), m = other.length();
  RWsize common = n < m ? n : m;
  int r = cmp == ignoreCase ? compareUnitsFolded(data_, other.data_, common)
                            : compareUnitsExact(data_, other.data_, common);
  if (r) return r;
  if (n == m) return 0;
  return n > m ? 1 : -1;
}

RWBoolean operator==(const RWWString& a, const RWwchar* b) {
  if (!b) return a.length() == 0;
  const RWwchar* p = a.data();
  RWsize n = a.length();
  for (RWsize i = 0; i < n; ++i)
    if (b[i] == 0 || b[i] != p[i]) return FALSE;
  return b[n] == 0;
}

RWBoolean operator==(const RWWString& a, const RWWString& b) {
  return a.length() == b.length() && equalUnits(a.data(), b.data(), a.length());
}

RWsize RWWString::index(const RWwchar* pattern, RWsize m, RWsize start, caseCompare cmp) const {
  RWsize n = length();
  if (!pattern) m = 0;
  if (start > n || m > n - start) return RW_NPOS;
  if (m == 0) return start;
  for (RWsize i = start; i <= n - m; ++i) {
    bool match = cmp == ignoreCase ? compareUnitsFolded(data_ + i, pattern, m) == 0
                                   : equalUnits(data_ + i, pattern, m);
    if (match) return i;
  }
  return RW_NPOS;
}

RWsize RWWString::index(const RWwchar* pattern, RWsize start, caseCompare cmp) const {
  return index(pattern, textLength(pattern), start, cmp);
}

RWsize RWWString::index(const RWWString& pattern, RWsize start, caseCompare cmp) const {
  return index(pattern.data_, pattern.length(), start, cmp);
}

RWBoolean RWWString::contains(const RWwchar* pattern, caseCompare cmp) const {
  return index(pattern, textLength(pattern), 0, cmp) != RW_NPOS;
}

RWBoolean RWWString::contains(const RWWString& pattern, caseCompare cmp) const {
  return index(pattern.data_, pattern.length(), 0, cmp) != RW_NPOS;
}

uint32_t RWWString::hash(caseCompare cmp) const {
  RWsize n = length();
  uint32_t h = n;
  if (cmp == ignoreCase) {
    for (RWsize i = 0; i < n; ++i) h = rotl5(h) ^ KMUpcaseUnicodeChar(data_[i]);
    return h;
  }
  // Two units at a time, as one little-endian word.
  RWsize i = 0;
  for (; i + 1 < n; i += 2) h = rotl5(h) ^ (uint32_t(data_[i]) | uint32_t(data_[i + 1]) << 16);
  if (i < n) h = rotl5(h) ^ uint32_t(data_[i]);
  return h;
}

int RWWString::compareCollated(const RWwchar* text) const {
  static const RWwchar none[1] = {0};
  int r = KMCollateUnicode(data_, text ? text : none);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

RWWString RWWString::collationKey() const {
  // The key is usually no longer than the text; when it is, the
  // transformation says how much room it needs and is asked again.
  uint64_t room = uint64_t(length()) + 1;
  for (int attempt = 0; attempt < 3 && room < RW_NPOS; ++attempt) {
    std::unique_ptr<RWwchar[]> key(new RWwchar[room]);
    uint32_t need = KMTransformUnicode(key.get(), static_cast<uint32_t>(room), data_);
    if (need < room) return RWWString(key.get(), need);
    room = uint64_t(need) + 1;
  }
  return RWWString();
}

RWBoolean RWWString::isAscii() const {
  for (RWsize i = 0, n = length(); i < n; ++i)
    if (data_[i] >= 0x80) return FALSE;
  return TRUE;
}

RWCString RWWString::toAscii() const {
  RWsize n = length();
  std::unique_ptr<char[]> bytes(new char[n ? n : 1]);
  for (RWsize i = 0; i < n; ++i) bytes[i] = static_cast<char>(data_[i] & 0xFF);
  return RWCString(bytes.get(), n);
}

RWCString RWWString::toMultiByte() const {
  RWsize n = length();
  uint64_t room = uint64_t(n) * KMMaxMultiByteCharSize + 1;
  if (room > RW_NPOS) return RWCString();
  std::unique_ptr<char[]> area(new char[room]);
  int32_t got = KMUnicodeToMultiByte(area.get(), static_cast<uint32_t>(room - 1), data_, n);
  // A failed conversion gives an empty text.
  if (got < 0) return RWCString();
  area[uint64_t(got) < room ? uint64_t(got) : room - 1] = 0;
  return RWCString(area.get());
}

// ---- persistence -----------------------------------------------------------------

namespace {
// A stored length is not trusted: the units are read this many at a time and
// the block grows only as they arrive, so a damaged or hostile length costs
// no more memory than the data that is really there.
constexpr RWsize restoreChunk = 4096;
}  // namespace

template <class ReadUnits>
bool RWWString::restoreUnits(RWsize n, ReadUnits readUnits) {
  makeEmpty(n < restoreChunk ? n : restoreChunk);
  RWsize got = 0;
  while (got < n) {
    RWsize k = n - got < restoreChunk ? n - got : restoreChunk;
    if (capacity() - got < k) {
      uint64_t grown = uint64_t(capacity()) * 2;
      if (grown < uint64_t(got) + k) grown = uint64_t(got) + k;
      if (grown > n) grown = n;
      cloneWithCapacity(static_cast<RWsize>(grown));
    }
    if (!readUnits(data_ + got, k)) {
      // A string cut short would pass for a whole one: keep none of it.
      *this = static_cast<const RWwchar*>(nullptr);
      return false;
    }
    got += k;
    setLength(got);
  }
  return true;
}

void RWWString::saveOn(RWFile& f) const {
  if (f.Write(static_cast<unsigned int>(length()))) f.Write(data_, length());
}

RWBoolean RWWString::restoreFrom(RWFile& f) {
  unsigned int n;
  if (!f.Read(n)) return FALSE;
  return restoreUnits(n, [&f](RWwchar* to, RWsize k) { return f.Read(to, k) != 0; });
}

// Streams take their units as unsigned shorts; they pass through a buffer
// of that type a chunk at a time.
void RWWString::saveOn(RWvostream& s) const {
  RWsize n = length();
  s.put(static_cast<uint32_t>(n));
  std::vector<uint16_t> chunk(n < restoreChunk ? n : restoreChunk);
  for (RWsize done = 0; done < n && s.good();) {
    RWsize k = n - done < restoreChunk ? n - done : restoreChunk;
    for (RWsize i = 0; i < k; ++i) chunk[i] = data_[done + i];
    s.put(chunk.data(), k);
    done += k;
  }
}

RWBoolean RWWString::restoreFrom(RWvistream& s) {
  uint32_t n = 0;
  s.get(n);
  if (!s.good()) return FALSE;
  std::vector<uint16_t> chunk;
  return restoreUnits(n, [&s, &chunk](RWwchar* to, RWsize k) {
    chunk.resize(k);
    s.get(chunk.data(), k);
    if (s.fail()) return false;
    for (RWsize i = 0; i < k; ++i) to[i] = chunk[i];
    return true;
  });
}

// ---- iostreams -------------------------------------------------------------------

namespace {
// One unit, low byte first. Answers the number of bytes read (0, 1 or 2).
int getUnit(std::streambuf* buf, RWwchar& u) {
  char b[2];
  std::streamsize got = buf->sgetn(b, 2);
  if (got == 2) u = static_cast<RWwchar>(static_cast<unsigned char>(b[0]) |
                                         static_cast<unsigned char>(b[1]) << 8);
  return static_cast<int>(got);
}

void ungetUnit(std::streambuf* buf) {
  if (buf->sungetc() != std::char_traits<char>::eof()) buf->sungetc();
}

bool putUnit(std::streambuf* buf, RWwchar u) {
  char b[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return buf->sputn(b, 2) == 2;
}
}  // namespace

std::istream& RWWString::readUntil(std::istream& s, RWwchar delim, bool toEnd) {
  makeEmpty(capacity());
  std::streambuf* buf = s.good() ? s.rdbuf() : nullptr;
  if (!buf) {
    s.setstate(std::ios::failbit);
    return s;
  }
  bool consumed = false;
  for (;;) {
    RWwchar u = 0;
    int got = getUnit(buf, u);
    if (got < 2) {
      // A half unit is broken text; an end with nothing read is a failed read.
      std::ios::iostate st = std::ios::eofbit;
      if (got == 1 || (!consumed && !toEnd)) st |= std::ios::failbit;
      s.setstate(st);
      break;
    }
    consumed = true;
    if (!toEnd && u == delim) break;
    RWsize len = length();
    if (len == capacity() || pref()->shared()) {
      RWsize twice = capacity() * 2;
      cloneWithCapacity(twice < 16 ? 16 : twice);
    }
    data_[len] = u;
    setLength(len + 1);
  }
  return s;
}

std::istream& RWWString::readFile(std::istream& s) { return readUntil(s, 0, true); }

std::istream& RWWString::readToDelim(std::istream& s, RWwchar delim) {
  return readUntil(s, delim, false);
}

std::istream& RWWString::readString(std::istream& s) { return readUntil(s, 0, false); }

std::istream& RWWString::readLine(std::istream& s, RWBoolean skipWhite) {
  if (skipWhite && s.good()) {
    std::streambuf* buf = s.rdbuf();
    RWwchar u = 0;
    int got;
    while ((got = getUnit(buf, u)) == 2 && isWhite(u)) {
    }
    if (got == 2) ungetUnit(buf);
  }
  return readUntil(s, u'\n', false);
}

std::istream& RWWString::readToken(std::istream& s) {
  makeEmpty(capacity());
  std::streambuf* buf = s.good() ? s.rdbuf() : nullptr;
  if (!buf) {
    s.setstate(std::ios::failbit);
    return s;
  }
  std::streamsize width = s.width();
  s.width(0);
  RWwchar u = 0;
  int got;
  while ((got = getUnit(buf, u)) == 2 && isWhite(u)) {
  }
  while (got == 2) {
    if (isWhite(u)) {
      ungetUnit(buf);  // the white space stays for the next reader
      return s;
    }
    RWsize len = length();
    if (len == capacity() || pref()->shared()) {
      RWsize step = capacityStepSetting ? capacityStepSetting : 1;
      cloneWithCapacity(capacity() + step);
    }
    data_[len] = u;
    setLength(len + 1);
    if (width > 0 && length() >= static_cast<uint64_t>(width)) return s;
    got = getUnit(buf, u);
  }
  std::ios::iostate st = std::ios::eofbit;
  if (got == 1 || length() == 0) st |= std::ios::failbit;
  s.setstate(st);
  return s;
}

std::istream& operator>>(std::istream& s, RWWString& str) { return str.readToken(s); }

std::ostream& operator<<(std::ostream& s, const RWWString& str) {
  std::streambuf* buf = s.good() ? s.rdbuf() : nullptr;
  if (!buf) {
    s.setstate(std::ios::failbit);
    return s;
  }
  RWsize n = str.length();
  std::streamsize width = s.width();
  uint64_t pad = width > 0 && static_cast<uint64_t>(width) > n ? uint64_t(width) - n : 0;
  RWwchar fill = static_cast<unsigned char>(s.fill());
  bool left = (s.flags() & std::ios::adjustfield) == std::ios::left;
  bool ok = true;
  if (!left)
    for (uint64_t i = 0; ok && i < pad; ++i) ok = putUnit(buf, fill);
  for (RWsize i = 0; ok && i < n; ++i) ok = putUnit(buf, str.data()[i]);
  if (left)
    for (uint64_t i = 0; ok && i < pad; ++i) ok = putUnit(buf, fill);
  s.width(0);
  if (!ok) s.setstate(std::ios::failbit);
  return s;
}
