#include "rw/cstring.h"
#include "rw/bufhelp.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <new>

#include "rw/rwfile.h"
#include "rw/vstream.h"
#include "rw/rwerr.h"

// The shared empty string. Its count starts at 0, so the static itself is
// one owner and releasing every string that uses it never frees it.
struct RWCStringEmpty {
  constexpr RWCStringEmpty() noexcept : ref(), zero{} {}
  RWCStringRef ref;
  char zero[4];  // directly after the 12-byte header: the empty text
};

namespace {

constinit RWCStringEmpty emptyRep;

std::atomic<RWsize> minCapacity{15};
std::atomic<RWsize> capStep{16};
std::atomic<RWsize> maxSpare{15};

// The "C" rules, whatever locale the process runs in.
inline unsigned char lowerC(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }
inline unsigned char upperC(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }
inline signed char foldedSigned(char c) { return static_cast<signed char>(lowerC(static_cast<unsigned char>(c))); }

inline uint32_t rotl5(uint32_t h) { return (h << 5) | (h >> 27); }

// A string cannot hold RW_NPOS characters: that value means "no position".
constexpr uint64_t maxLength = RW_NPOS - 1;

void reportTooLong(uint64_t wanted) { RWThrow(RWMemoryErr(static_cast<size_t>(wanted) + sizeof(RWCStringRef) + 1)); }

inline size_t textLength(const char* s) { return s ? std::strlen(s) : 0; }

// Texts handed to the library are measured in 32 bits; a longer one cannot
// become a string and is refused rather than cut silently.
bool fitLength(size_t n, RWsize& out) {
  if (n > maxLength) {
    reportTooLong(n);
    return false;
  }
  out = static_cast<RWsize>(n);
  return true;
}

// The length of a text that is to be copied whole; one too long for a string
// has been reported and counts as empty.
RWsize measured(const char* s) {
  RWsize n;
  return fitLength(textLength(s), n) ? n : 0;
}

bool foldedEqual(const char* a, const char* b, RWsize n) {
  for (RWsize i = 0; i < n; ++i)
    if (lowerC(static_cast<unsigned char>(a[i])) != lowerC(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// What a bad index answers once the report has returned: a character of
// nobody's string, so that no write through it reaches memory outside one.
char& scratchChar() {
  thread_local char scratch;
  scratch = 0;
  return scratch;
}

}  // namespace

// ---- the representation's searches

RWsize RWCStringRef::first(char c) const {
  const char* d = data();
  for (RWsize i = 0; i < nchars_ && d[i]; ++i)
    if (d[i] == c) return i;
  return RW_NPOS;
}

RWsize RWCStringRef::first(char c, RWsize n) const {
  if (n > nchars_) n = nchars_;
  const void* p = n ? std::memchr(data(), c, n) : nullptr;
  return p ? static_cast<RWsize>(static_cast<const char*>(p) - data()) : RW_NPOS;
}

RWsize RWCStringRef::first(const char* set) const {
  if (!set) return RW_NPOS;
  const char* d = data();
  for (RWsize i = 0; i < nchars_ && d[i]; ++i)
    if (std::strchr(set, d[i])) return i;
  return RW_NPOS;
}

RWsize RWCStringRef::first(const char* set, RWsize n) const {
  if (!set || !n) return RW_NPOS;
  const char* d = data();
  for (RWsize i = 0; i < nchars_; ++i)
    if (std::memchr(set, d[i], n)) return i;
  return RW_NPOS;
}

RWsize RWCStringRef::last(char c) const {
  const char* d = data();
  RWsize found = RW_NPOS;
  for (RWsize i = 0; i < nchars_ && d[i]; ++i)
    if (d[i] == c) found = i;
  return found;
}

RWsize RWCStringRef::last(char c, RWsize n) const {
  if (n > nchars_) n = nchars_;
  const char* d = data();
  for (RWsize i = n; i > 0; --i)
    if (d[i - 1] == c) return i - 1;
  return RW_NPOS;
}

// ---- settings

RWsize RWCString::minimumCapacity() { return minCapacity.load(std::memory_order_relaxed); }
RWsize RWCString::minimumCapacity(RWsize n) { return minCapacity.exchange(n, std::memory_order_relaxed); }
RWsize RWCString::capacityStep() { return capStep.load(std::memory_order_relaxed); }
RWsize RWCString::capacityStep(RWsize n) { return capStep.exchange(n, std::memory_order_relaxed); }
RWsize RWCString::spareLimit() { return maxSpare.load(std::memory_order_relaxed); }
RWsize RWCString::spareLimit(RWsize n) { return maxSpare.exchange(n, std::memory_order_relaxed); }

RWsize RWCString::roundCapacity(RWsize n) {
  uint64_t minimum = minimumCapacity();
  if (minimum >= n) return static_cast<RWsize>(minimum);
  uint64_t step = capacityStep();
  if (step == 0) step = 1;  // a zero step would divide by zero; no rounding instead
  uint64_t rounded = minimum + step * ((n - minimum + step - 1) / step);
  // Near the top of the 32-bit range the rounding cannot be had; the exact
  // size always can.
  return rounded > RW_NPOS ? n : static_cast<RWsize>(rounded);
}

// ---- blocks

RWCStringRef* RWCString::allocateRep(RWsize capacity, RWsize length) {
  if (capacity == 0 && length == 0) {
    emptyRep.ref.refs_.addReference();
    return &emptyRep.ref;
  }
  void* mem = rwAllocated(::operator new(sizeof(RWCStringRef) + static_cast<size_t>(capacity) + 1));
  RWCStringRef* r = new (mem) RWCStringRef(capacity, length);
  r->chars()[length] = 0;
  return r;
}

void RWCString::releaseRep(RWCStringRef* r) {
  if (r->refs_.removeReference() == 0 && r != &emptyRep.ref) {
    r->~RWCStringRef();
    ::operator delete(r);
  }
}

void RWCString::adopt(RWCStringRef* r) {
  RWCStringRef* old = ref();
  data_ = r->chars();
  releaseRep(old);
}

void RWCString::clone() {
  if (ref()->isShared()) cloneWithCapacity(length());
}

void RWCString::cloneWithCapacity(RWsize n) {
  RWsize keep = length() < n ? length() : n;
  RWCStringRef* r = allocateRep(n, keep);
  if (keep) std::memcpy(r->chars(), data_, keep);
  adopt(r);
}

void RWCString::makeEmpty(RWsize n) {
  RWCStringRef* r = ref();
  if (r->isShared() || r->capacity_ < n) {
    adopt(allocateRep(n, 0));
  } else {
    r->nchars_ = 0;
    r->chars()[0] = 0;
  }
}

void RWCString::dropText() { adopt(allocateRep(0, 0)); }

bool RWCString::readPieces(RWsize n, bool (*read)(void*, char*, RWsize), void* ctx) {
  constexpr RWsize piece = 64 * 1024;
  makeEmpty(n < piece ? n : piece);
  RWsize got = 0;
  while (got < n) {
    const RWsize k = n - got < piece ? n - got : piece;
    if (capacity() - got < k) {
      // Doubling keeps the copies few; the stored length caps the growth.
      uint64_t grown = uint64_t(capacity()) * 2;
      if (grown > n) grown = n;
      if (grown < uint64_t(got) + k) grown = uint64_t(got) + k;
      cloneWithCapacity(static_cast<RWsize>(grown));
    }
    if (!read(ctx, data_ + got, k)) {
      dropText();
      return false;
    }
    got += k;
    ref()->nchars_ = got;
    data_[got] = 0;
  }
  return true;
}

// ---- construction and assignment

RWCString::RWCString() : data_(allocateRep(0, 0)->chars()) {}

RWCString::RWCString(const char* text) : RWCString(text, measured(text)) {}

RWCString::RWCString(const char* text, RWsize n) : data_(allocateRep(text ? n : 0, text ? n : 0)->chars()) {
  if (text && n) std::memcpy(data_, text, n);
}

RWCString::RWCString(char c) {
  RWsize cap = minimumCapacity();
  RWCStringRef* r = allocateRep(cap ? cap : 1, 1);
  r->chars()[0] = c;
  data_ = r->chars();
}

RWCString::RWCString(char c, RWsize n) : data_(allocateRep(n, n)->chars()) {
  if (n) std::memset(data_, c, n);
}

RWCString::RWCString(Capacity cap) : data_(allocateRep(cap.value, 0)->chars()) {}

RWCString::RWCString(const RWCSubString& sub)
    : RWCString(sub.isNull() ? nullptr : sub.startData(), sub.isNull() ? 0 : sub.length(), nullptr, 0) {}

RWCString::RWCString(const char* a, RWsize na, const char* b, RWsize nb) {
  if (!a) na = 0;
  if (!b) nb = 0;
  uint64_t total = uint64_t(na) + nb;
  if (total > maxLength) {
    reportTooLong(total);
    data_ = allocateRep(0, 0)->chars();
    return;
  }
  RWsize n = static_cast<RWsize>(total);
  RWCStringRef* r = allocateRep(roundCapacity(n), n);
  if (na) std::memcpy(r->chars(), a, na);
  if (nb) std::memcpy(r->chars() + na, b, nb);
  data_ = r->chars();
}

RWCString::RWCString(const RWCString& other) : data_(other.data_) {
  const_cast<RWCString&>(other).ref()->refs_.addReference();
}

// The moved-from string is left holding the shared empty block, which
// counts it as any other empty string does.
RWCString::RWCString(RWCString&& other) noexcept : data_(other.data_) { other.data_ = allocateRep(0, 0)->chars(); }

RWCString::~RWCString() { releaseRep(ref()); }

RWCString& RWCString::operator=(const RWCString& other) {
  if (other.data_ != data_) {
    // The other block gains its reference before ours is dropped, so that
    // assigning a string to a copy of itself never frees the shared block.
    const_cast<RWCString&>(other).ref()->refs_.addReference();
    adopt(const_cast<RWCString&>(other).ref());
  }
  return *this;
}

RWCString& RWCString::operator=(RWCString&& other) noexcept {
  if (this != &other) {
    RWCStringRef* old = ref();
    data_ = other.data_;
    other.data_ = allocateRep(0, 0)->chars();
    releaseRep(old);
  }
  return *this;
}

RWCString& RWCString::operator=(const char* text) {
  RWsize n;
  if (!fitLength(textLength(text), n)) return *this;
  if (n == 0) {
    RWCStringRef* r = ref();
    if (r->isShared()) {
      adopt(allocateRep(0, 0));
    } else {
      r->nchars_ = 0;
      r->chars()[0] = 0;
    }
    return *this;
  }
  return replace(0, length(), text, n);
}

// ---- editing

RWCString& RWCString::replace(RWsize pos, RWsize k, const char* s, RWsize m) {
  RWCStringRef* r = ref();
  const RWsize len = r->nchars_;
  if (pos > len) {
    rwReportIndex(pos, len);
    return *this;
  }
  if (k > len - pos) k = len - pos;
  if (!s) m = 0;
  const uint64_t wanted = uint64_t(len) - k + m;
  if (wanted > maxLength) {
    reportTooLong(wanted);
    return *this;
  }
  const RWsize newLen = static_cast<RWsize>(wanted);
  const RWsize tail = len - pos - k;

  // A source inside our own block would be overwritten by the moves below.
  std::less<const char*> before;
  const bool fromSelf = s && !before(s, r->data()) && before(s, r->data() + r->capacity_ + 1);

  if (!r->isShared() && r->capacity_ >= newLen && (newLen >= len || r->capacity_ - newLen <= spareLimit()) && !fromSelf) {
    char* d = r->chars();
    if (tail && m != k) std::memmove(d + pos + m, d + pos + k, tail);
    if (m) std::memcpy(d + pos, s, m);
    r->nchars_ = newLen;
    d[newLen] = 0;
  } else {
    RWCStringRef* n = allocateRep(roundCapacity(newLen), newLen);
    char* d = n->chars();
    const char* old = r->data();
    if (pos) std::memcpy(d, old, pos);
    if (m) std::memcpy(d + pos, s, m);
    if (tail) std::memcpy(d + pos + m, old + pos + k, tail);
    adopt(n);  // releases the old block only now: s may have pointed into it
  }
  return *this;
}

RWCString& RWCString::replace(RWsize pos, RWsize k, const char* s) {
  RWsize m;
  if (!fitLength(textLength(s), m)) return *this;
  return replace(pos, k, s, m);
}

RWCString& RWCString::append(const char* s, RWsize m) { return replace(length(), 0, s, m); }

RWCString& RWCString::append(const char* s) { return replace(length(), 0, s); }

RWCString& RWCString::append(const RWCString& s) { return replace(length(), 0, s.data(), s.length()); }

RWCString& RWCString::prepend(const char* s) { return replace(0, 0, s); }

RWCString& RWCString::append(char c, RWsize n) {
  const RWsize len = length();
  if (uint64_t(len) + n > maxLength) {
    reportTooLong(uint64_t(len) + n);
    return *this;
  }
  const RWsize newLen = len + n;
  if (ref()->isShared() || capacity() < newLen) cloneWithCapacity(newLen);
  if (n) std::memset(data_ + len, c, n);
  ref()->nchars_ = newLen;
  data_[newLen] = 0;
  return *this;
}

RWCString& RWCString::prepend(char c, RWsize n) {
  const RWsize len = length();
  if (uint64_t(len) + n > maxLength) {
    reportTooLong(uint64_t(len) + n);
    return *this;
  }
  const RWsize newLen = len + n;
  if (ref()->isShared() || capacity() < newLen) {
    RWCStringRef* r = allocateRep(roundCapacity(newLen), newLen);
    if (len) std::memcpy(r->chars() + n, data_, len);
    adopt(r);
  } else {
    if (len && n) std::memmove(data_ + n, data_, len);
    ref()->nchars_ = newLen;
    data_[newLen] = 0;
  }
  if (n) std::memset(data_, c, n);
  return *this;
}

void RWCString::resize(RWsize n) {
  const RWsize len = length();
  if (n < len)
    replace(n, len - n, nullptr, 0);
  else if (n > len)
    append(' ', n - len);
}

RWsize RWCString::capacity(RWsize n) {
  if (n > length() && n != capacity()) cloneWithCapacity(n);
  return capacity();
}

// ---- access

char& RWCString::operator[](RWsize i) {
  if (i >= length()) {
    rwReportIndex(i, length());
    return scratchChar();
  }
  clone();
  return data_[i];
}

char RWCString::operator[](RWsize i) const {
  if (i >= length()) {
    rwReportIndex(i, length());
    return 0;
  }
  return data_[i];
}

char& RWCString::operator()(RWsize i) {
  clone();
  return data_[i];
}

// ---- comparison and hashing

int RWCString::compareTo(const char* text, caseCompare cmp) const {
  if (!text) text = "";
  const RWsize len = length();
  RWsize i = 0;
  for (; text[i]; ++i) {
    if (i == len) return -1;
    signed char mine = static_cast<signed char>(data_[i]);
    signed char theirs = static_cast<signed char>(text[i]);
    if (cmp == ignoreCase) {
      mine = foldedSigned(data_[i]);
      theirs = foldedSigned(text[i]);
    }
    if (mine != theirs) return theirs < mine ? 1 : -1;
  }
  return len > i ? 1 : 0;
}

int RWCString::compareTo(const RWCString& other, caseCompare cmp) const {
  const RWsize len = length();
  const RWsize olen = other.length();
  const RWsize n = len < olen ? len : olen;
  if (cmp == exact) {
    int r = n ? std::memcmp(data_, other.data_, n) : 0;
    if (r) return r < 0 ? -1 : 1;
  } else {
    for (RWsize i = 0; i < n; ++i) {
      signed char a = foldedSigned(data_[i]);
      signed char b = foldedSigned(other.data_[i]);
      if (a != b) return a < b ? -1 : 1;
    }
  }
  if (len == olen) return 0;
  return len > olen ? 1 : -1;
}

bool RWCString::operator==(const char* text) const {
  if (!text) text = "";
  const RWsize len = length();
  for (RWsize i = 0; i < len; ++i)
    if (text[i] == 0 || text[i] != data_[i]) return false;
  return text[len] == 0;
}

bool RWCString::operator==(const RWCString& other) const {
  return length() == other.length() && (data_ == other.data_ || std::memcmp(data_, other.data_, length()) == 0);
}

uint32_t RWCString::hash(const RWCString& s) {
  const RWsize len = s.length();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data_);
  uint32_t h = len;
  RWsize words = len / 4;
  for (RWsize i = 0; i < words; ++i, p += 4) {
    uint32_t w = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    h = rotl5(h) ^ w;
  }
  RWsize rest = len % 4;
  if (rest) {
    // The tail bytes are widened with their sign and or-ed in, so a byte
    // with its top bit set fills the upper bits: stored tables rely on it.
    uint32_t t = 0;
    for (RWsize i = 0; i < rest; ++i)
      t = (t << 8) | static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(p[i])));
    h = rotl5(h) ^ t;
  }
  return h;
}

uint32_t RWCString::hash(caseCompare cmp) const {
  if (cmp == exact) return hash(*this);
  const RWsize len = length();
  uint32_t h = len;
  for (RWsize i = 0; i < len; ++i) h = rotl5(h) ^ upperC(static_cast<unsigned char>(data_[i]));
  return h;
}

// ---- searching

RWsize RWCString::index(const char* pat, RWsize m, RWsize start, caseCompare cmp) const {
  const RWsize len = length();
  if (uint64_t(start) + m > len) return RW_NPOS;
  if (m == 0) return start;
  if (!pat) return RW_NPOS;
  const RWsize lastStart = len - m;
  if (cmp == exact) {
    for (RWsize i = start; i <= lastStart; ++i)
      if (data_[i] == pat[0] && std::memcmp(data_ + i + 1, pat + 1, m - 1) == 0) return i;
  } else {
    const unsigned char head = lowerC(static_cast<unsigned char>(pat[0]));
    for (RWsize i = start; i <= lastStart; ++i)
      if (lowerC(static_cast<unsigned char>(data_[i])) == head && foldedEqual(data_ + i + 1, pat + 1, m - 1))
        return i;
  }
  return RW_NPOS;
}

RWsize RWCString::index(const char* pat, RWsize start, caseCompare cmp) const {
  RWsize m;
  if (!fitLength(textLength(pat), m)) return RW_NPOS;
  return index(pat, m, start, cmp);
}

RWsize RWCString::index(const RWCString& pat, RWsize start, caseCompare cmp) const {
  return index(pat.data_, pat.length(), start, cmp);
}

bool RWCString::contains(const char* pat, caseCompare cmp) const { return index(pat, 0, cmp) != RW_NPOS; }

RWsize RWCString::first(char c) const { return rep()->first(c, length()); }

RWsize RWCString::last(char c) const { return rep()->last(c, length()); }

bool RWCString::isAscii() const {
  const RWsize len = length();
  for (RWsize i = 0; i < len; ++i)
    if (static_cast<unsigned char>(data_[i]) & 0x80) return false;
  return true;
}

RWCString RWCString::copy() const { return RWCString(data_, length()); }

// ---- views

RWCSubString RWCString::view(RWsize start, RWsize len) const {
  if (start == RW_NPOS && len == 0) return RWCSubString(*this, RW_NPOS, 0);
  if (uint64_t(start) + len > length()) {
    // Such a view would read and write outside the string: refuse it.
    rwReport<RWBoundsErr>(RWTOOL_SUBSTRING(), {static_cast<int32_t>(start), len, length()});
    return RWCSubString(*this, RW_NPOS, 0);
  }
  return RWCSubString(*this, start, len);
}

RWCSubString RWCString::operator()(RWsize start, RWsize len) { return view(start, len); }

const RWCSubString RWCString::operator()(RWsize start, RWsize len) const { return view(start, len); }

RWCSubString RWCString::subString(const char* pat, RWsize start, caseCompare cmp) {
  return static_cast<const RWCString*>(this)->subString(pat, start, cmp);
}

const RWCSubString RWCString::subString(const char* pat, RWsize start, caseCompare cmp) const {
  RWsize m;
  if (!fitLength(textLength(pat), m)) return RWCSubString(*this, RW_NPOS, 0);
  RWsize at = index(pat, m, start, cmp);
  return at == RW_NPOS ? RWCSubString(*this, RW_NPOS, 0) : RWCSubString(*this, at, m);
}

RWCSubString RWCString::strip(stripType st, char c) { return static_cast<const RWCString*>(this)->strip(st, c); }

const RWCSubString RWCString::strip(stripType st, char c) const {
  RWsize begin = 0;
  RWsize end = length();
  if (st & leading)
    while (begin < end && data_[begin] == c) ++begin;
  if (st & trailing)
    while (end > begin && data_[end - 1] == c) --end;
  if (begin == end) return RWCSubString(*this, RW_NPOS, 0);
  return RWCSubString(*this, begin, end - begin);
}

// ---- case

void RWCString::toLower() {
  clone();
  const RWsize len = length();
  for (RWsize i = 0; i < len; ++i) data_[i] = static_cast<char>(lowerC(static_cast<unsigned char>(data_[i])));
}

void RWCString::toUpper() {
  clone();
  const RWsize len = length();
  for (RWsize i = 0; i < len; ++i) data_[i] = static_cast<char>(upperC(static_cast<unsigned char>(data_[i])));
}

RWCString toLower(const RWCString& s) {
  RWCString r = s.copy();
  r.toLower();
  return r;
}

RWCString toUpper(const RWCString& s) {
  RWCString r = s.copy();
  r.toUpper();
  return r;
}

RWCString operator+(const RWCString& a, const char* b) { return RWCString(a.data(), a.length(), b, measured(b)); }

RWCString operator+(const char* a, const RWCString& b) { return RWCString(a, measured(a), b.data(), b.length()); }

RWCString operator+(const RWCString& a, const RWCString& b) {
  return RWCString(a.data(), a.length(), b.data(), b.length());
}

// ---- stored forms

void RWCString::saveOn(RWFile& f) const {
  if (f.Write(static_cast<unsigned int>(length()))) f.Write(data_, length());
}

RWBoolean RWCString::restoreFrom(RWFile& f) {
  unsigned int n;
  if (!f.Read(n)) return FALSE;

  // The stored length is not trusted: the text must fit in what is left of
  // the file before a block is made for it.
  const RWoffset here = f.CurOffset();
  RWoffset end = -1;
  if (here >= 0 && f.SeekToEnd()) {
    end = f.CurOffset();
    if (!f.SeekTo(here)) end = -1;
  }
  const bool sized = here >= 0 && end >= here;
  if (sized ? n > static_cast<RWsize>(end - here) : n > maxLength) {
    // Fail as a short read does: nothing kept, the file at its end with end
    // of file set, so that the caller's check sees it.
    dropText();
    f.SeekToEnd();
    char past;
    f.Read(past);
    return FALSE;
  }
  if (!sized) {
    // The size cannot be had (past 2 GB): the text arrives in pieces instead.
    return readPieces(n, [](void* file, char* p, RWsize k) { return static_cast<RWFile*>(file)->Read(p, k) != 0; }, &f);
  }
  makeEmpty(n);
  if (n && !f.Read(data_, n)) {
    dropText();
    return FALSE;
  }
  if (n) {
    ref()->nchars_ = n;
    data_[n] = 0;
  }
  return TRUE;
}

namespace {
// The largest text a stream restore takes. A stream cannot tell how much it
// still holds and a stored text is read by one readString, so the stored
// length is the only size at hand; beyond this it is refused, not trusted.
constexpr RWsize streamTextLimit = 16u * 1024 * 1024;

void failStream(RWvistream& s) { s.clear(s.rdstate() | RWvios::failbit); }
}  // namespace

void RWCString::saveOn(RWvostream& s) const {
  s.put(static_cast<uint32_t>(length()));
  if (s.version())
    s.writeString(data_, length());
  else
    s.put(data_, length());
}

RWBoolean RWCString::restoreFrom(RWvistream& s) {
  uint32_t n = 0;
  s.get(n);
  if (!s.good()) return FALSE;

  if (!s.version()) {
    // Counted characters can be read piece by piece: the block grows only
    // with what has arrived.
    auto read = [](void* in, char* p, RWsize k) { return static_cast<RWvistream*>(in)->get(p, k).good() != 0; };
    if (n > maxLength || !readPieces(n, read, &s)) {
      dropText();
      failStream(s);
      return FALSE;
    }
    return TRUE;
  }

  if (n > streamTextLimit) {
    dropText();
    failStream(s);
    return FALSE;
  }
  if (n == 0) {
    char none[1];
    s.readString(none, 1);
    if (!s.good()) {
      dropText();
      return FALSE;
    }
    makeEmpty(0);
    return TRUE;
  }
  makeEmpty(n);
  // readString puts its zero byte at index n only when all n characters
  // came; a shorter stored text leaves this mark, and the bytes after it
  // were never written.
  data_[n] = 1;
  s.readString(data_, n + 1);
  if (!s.good() || data_[n] != 0) {
    if (s.good()) failStream(s);
    dropText();
    return FALSE;
  }
  ref()->nchars_ = n;
  return TRUE;
}

// ---- substrings

const char* RWCSubString::startData() const { return str_->data() + (isNull() ? 0 : begin_); }

void RWCSubString::assign(const char* s, RWsize m) {
  if (isNull()) return;
  str_->replace(begin_, extent_, s, m);
  extent_ = m;
}

RWCSubString& RWCSubString::operator=(const RWCString& s) {
  assign(s.data(), s.length());
  return *this;
}

RWCSubString& RWCSubString::operator=(const RWCSubString& s) {
  if (s.isNull())
    assign("", 0);
  else
    assign(s.startData(), s.extent_);
  return *this;
}

RWCSubString& RWCSubString::operator=(const char* text) {
  RWsize m;
  if (fitLength(textLength(text), m)) assign(text ? text : "", m);
  return *this;
}

char& RWCSubString::operator[](RWsize i) {
  if (i >= extent_) {
    rwReportIndex(i, extent_);
    return scratchChar();
  }
  return (*str_)(begin_ + i);
}

char RWCSubString::operator[](RWsize i) const {
  if (i >= extent_) {
    rwReportIndex(i, extent_);
    return 0;
  }
  return str_->data()[begin_ + i];
}

char& RWCSubString::operator()(RWsize i) { return (*str_)(begin_ + i); }

char RWCSubString::operator()(RWsize i) const { return str_->data()[begin_ + i]; }

bool RWCSubString::operator==(const char* text) const {
  if (!text) text = "";
  if (isNull()) return text[0] == 0;
  const char* d = startData();
  for (RWsize i = 0; i < extent_; ++i)
    if (text[i] == 0 || text[i] != d[i]) return false;
  return text[extent_] == 0;
}

bool RWCSubString::operator==(const RWCString& s) const {
  if (isNull()) return s.length() == 0;
  return extent_ == s.length() && (extent_ == 0 || std::memcmp(startData(), s.data(), extent_) == 0);
}

bool RWCSubString::operator==(const RWCSubString& s) const {
  if (isNull() || s.isNull()) {
    const RWCSubString& other = isNull() ? s : *this;
    return other.isNull() || other.extent_ == 0;
  }
  return extent_ == s.extent_ && (extent_ == 0 || std::memcmp(startData(), s.startData(), extent_) == 0);
}

void RWCSubString::toLower() {
  if (isNull()) return;
  str_->clone();
  char* d = str_->data_ + begin_;
  for (RWsize i = 0; i < extent_; ++i) d[i] = static_cast<char>(lowerC(static_cast<unsigned char>(d[i])));
}

void RWCSubString::toUpper() {
  if (isNull()) return;
  str_->clone();
  char* d = str_->data_ + begin_;
  for (RWsize i = 0; i < extent_; ++i) d[i] = static_cast<char>(upperC(static_cast<unsigned char>(d[i])));
}
