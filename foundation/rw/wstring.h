#ifndef RW_WSTRING_H
#define RW_WSTRING_H

// Strings of 16-bit units.
//
// An RWWString is one pointer to a shared, reference-counted representation:
// copies share it, and a string makes its own copy only before it changes
// (copy on write). The units are followed by a zero unit, so the text can be
// handed on NUL-terminated; the length is kept apart, so a string may hold
// zero units too. Wide strings count their representations under a lock of
// their own, apart from the narrow strings'.

#include <iosfwd>

#include "rw/defs.h"
#include "rw/ref.h"

class RWCString;
class RWFile;
class RWvistream;
class RWvostream;
class RWWString;
class RWWSubString;

// The heap block of a string: three 32-bit header words, then capacity + 1
// units. A block for capacity c takes 2c + 14 bytes.
class RWWStringRef {
 public:
  RWsize length() const { return nchars_; }
  RWsize capacity() const { return capacity_; }
  RWwchar* data() { return reinterpret_cast<RWwchar*>(this + 1); }
  const RWwchar* data() const { return reinterpret_cast<const RWwchar*>(this + 1); }

  // Searches answer an index or RW_NPOS. The forms without a count stop at
  // the first zero unit; the counted forms look at the whole length.
  RWsize first(RWwchar c) const;
  RWsize first(RWwchar c, RWsize) const;
  RWsize first(const RWwchar* set) const;
  RWsize first(const RWwchar* set, RWsize setLength) const;
  RWsize last(RWwchar c) const;
  RWsize last(RWwchar c, RWsize) const;

 private:
  friend class RWWString;
  friend struct RWWStringEmpty;

  constexpr RWWStringRef(RWsize capacity, RWsize length) noexcept
      : refs_(0), capacity_(capacity), nchars_(length) {}

  // Shared by more than one string: may not be changed in place.
  bool shared() const { return refs_.references() != 0 && refs_.references() != -1; }

  RWReference refs_;  // references minus one
  RWsize capacity_;
  RWsize nchars_;
};

class RWWString {
 public:
  enum caseCompare { exact = 0, ignoreCase = 1 };
  enum stripType { leading = 1, trailing = 2, both = 3 };
  // Selects the code-page conversion in the constructors from 8-bit text
  // (the others widen each byte).
  enum multiByte_ { multiByte };

  RWWString();
  RWWString(const RWwchar* text);
  RWWString(const RWwchar* text, RWsize n);
  explicit RWWString(RWwchar c);
  explicit RWWString(char c);
  RWWString(RWwchar c, RWsize n);
  RWWString(const RWWSubString& sub);
  RWWString(const RWWString& other);
  // Widening: each byte becomes the unit of the same value.
  RWWString(const char* text);
  RWWString(const char* text, RWsize n);
  explicit RWWString(const RWCString& text);
  // Conversion through the ANSI code page.
  RWWString(const char* text, multiByte_);
  RWWString(const char* text, RWsize n, multiByte_);
  RWWString(const RWCString& text, multiByte_);
  ~RWWString();

  RWWString& operator=(const RWwchar* text);
  RWWString& operator=(const RWWString& other);

  // ---- capacity settings (each setter answers the old value) ----
  static RWsize minimumCapacity();
  static RWsize minimumCapacity(RWsize n);
  static RWsize capacityStep();
  static RWsize capacityStep(RWsize n);
  static RWsize spareLimit();
  static RWsize spareLimit(RWsize n);

  // ---- queries ----
  RWsize length() const { return pref()->length(); }
  RWBoolean isNull() const { return length() == 0; }
  const RWwchar* data() const { return data_; }
  RWsize capacity() const { return pref()->capacity(); }
  // Re-makes the block with room for n units when n is above the length and
  // differs from the capacity; answers the capacity.
  RWsize capacity(RWsize n);
  // The number of bytes the RWFile form takes.
  RWsize binaryStoreSize() const { return static_cast<RWsize>(sizeof(RWsize)) + 2 * length(); }

  // Index-checked; a bad index is reported and answers a spare unit.
  RWwchar& operator[](RWsize i);
  RWwchar operator[](RWsize i) const;
  // Unchecked.
  RWwchar& operator()(RWsize i);
  RWwchar operator()(RWsize i) const { return data_[i]; }
  RWWSubString operator()(RWsize start, RWsize len);
  const RWWSubString operator()(RWsize start, RWsize len) const;
  RWWSubString subString(const RWwchar* pattern, RWsize start = 0, caseCompare cmp = exact);
  const RWWSubString subString(const RWwchar* pattern, RWsize start = 0,
                               caseCompare cmp = exact) const;
  RWWSubString strip(stripType s = trailing, RWwchar c = u' ');
  const RWWSubString strip(stripType s = trailing, RWwchar c = u' ') const;

  int compareTo(const RWwchar* text, caseCompare cmp = exact) const;
  int compareTo(const RWWString& other, caseCompare cmp = exact) const;
  // Compares with a NUL-terminated text as the C library collates (the
  // string up to its first zero unit): -1, 0 or 1.
  int compareCollated(const RWwchar* text) const;
  // A key whose units compare as the text collates.
  RWWString collationKey() const;
  RWBoolean contains(const RWwchar* pattern, caseCompare cmp = exact) const;
  RWBoolean contains(const RWWString& pattern, caseCompare cmp = exact) const;
  RWsize index(const RWwchar* pattern, RWsize patLength, RWsize start, caseCompare cmp) const;
  RWsize index(const RWwchar* pattern, RWsize start = 0, caseCompare cmp = exact) const;
  RWsize index(const RWWString& pattern, RWsize start = 0, caseCompare cmp = exact) const;
  RWsize first(RWwchar c) const { return pref()->first(c, length()); }
  RWsize last(RWwchar c) const { return pref()->last(c, length()); }
  uint32_t hash(caseCompare cmp = exact) const;
  static uint32_t hash(const RWWString& s) { return s.hash(exact); }

  // ---- conversions ----
  RWBoolean isAscii() const;
  // Each unit's low byte.
  RWCString toAscii() const;
  // Through the ANSI code page; empty when the conversion fails.
  RWCString toMultiByte() const;

  // ---- editing ----
  RWWString& append(const RWwchar* text);
  RWWString& append(const RWwchar* text, RWsize n);
  RWWString& append(const RWWString& s);
  RWWString& append(RWwchar c, RWsize n = 1);
  RWWString& operator+=(const RWwchar* text) { return append(text); }
  RWWString& operator+=(const RWWString& s) { return append(s); }
  RWWString& prepend(const RWwchar* text);
  RWWString& prepend(const RWwchar* text, RWsize n);
  RWWString& prepend(const RWWString& s);
  RWWString& prepend(RWwchar c, RWsize n = 1);
  RWWString& insert(RWsize pos, const RWwchar* text);
  RWWString& insert(RWsize pos, const RWwchar* text, RWsize n);
  RWWString& insert(RWsize pos, const RWWString& s);
  RWWString& remove(RWsize pos);
  RWWString& remove(RWsize pos, RWsize n);
  RWWString& replace(RWsize pos, RWsize n, const RWwchar* text);
  RWWString& replace(RWsize pos, RWsize n, const RWwchar* text, RWsize m);
  RWWString& replace(RWsize pos, RWsize n, const RWWString& s);
  // Cuts the tail, or pads with blanks.
  void resize(RWsize n);
  void toLower();
  void toUpper();

  // Makes the representation private (capacity = length).
  void clone();
  // A private copy.
  RWWString copy() const;

  // ---- persistence ----
  // Each restore answers whether it read a whole string.
  void saveOn(RWFile& f) const;
  RWBoolean restoreFrom(RWFile& f);
  void saveOn(RWvostream& s) const;
  RWBoolean restoreFrom(RWvistream& s);

  // iostream input: the units are raw 2-byte values, low byte first.
  std::istream& readFile(std::istream& s);
  std::istream& readLine(std::istream& s, RWBoolean skipWhite = TRUE);
  std::istream& readString(std::istream& s);
  std::istream& readToDelim(std::istream& s, RWwchar delim = u'\n');
  std::istream& readToken(std::istream& s);

  const RWWStringRef* rep() const { return pref(); }
  // Whether two strings share one representation.
  bool sharesWith(const RWWString& other) const { return data_ == other.data_; }

 protected:
  // Concatenation.
  RWWString(const RWwchar* a, RWsize na, const RWwchar* b, RWsize nb);

 private:
  friend class RWWSubString;
  friend RWWString operator+(const RWWString&, const RWwchar*);
  friend RWWString operator+(const RWwchar*, const RWWString&);
  friend RWWString operator+(const RWWString&, const RWWString&);

  explicit RWWString(RWWStringRef* rep) : data_(rep->data()) {}

  RWWStringRef* pref() const {
    return reinterpret_cast<RWWStringRef*>(const_cast<RWwchar*>(data_)) - 1;
  }
  static RWsize roundCapacity(RWsize n);
  static RWWStringRef* allocateRep(RWsize capacity, RWsize length);
  static void releaseRep(RWWStringRef* rep);
  void cloneWithCapacity(RWsize n);
  void makeEmpty(RWsize capacity);
  void setLength(RWsize n);
  void widen(const char* text, RWsize n);
  void convert(const char* text, RWsize n);
  // Reads n units in bounded chunks; empty and false when they run out.
  template <class ReadUnits>
  bool restoreUnits(RWsize n, ReadUnits readUnits);
  std::istream& readUntil(std::istream& s, RWwchar delim, bool toEnd);

  RWwchar* data_;  // the units of the representation, right after its header
};

// A view of part of a string: a start and a length; a start of RW_NPOS is
// the null substring (no match). It holds no reference and must not outlive
// its string.
class RWWSubString {
 public:
  RWWSubString(const RWWSubString&) = default;

  RWWSubString& operator=(const RWwchar* text);
  RWWSubString& operator=(const RWWString& s);
  RWWSubString& operator=(const RWWSubString& s);

  // Index-checked against the view; a bad index is reported and answers a
  // spare unit.
  RWwchar& operator[](RWsize i);
  RWwchar operator[](RWsize i) const;
  RWwchar& operator()(RWsize i);
  RWwchar operator()(RWsize i) const;

  RWsize length() const { return extent_; }
  RWsize start() const { return begin_; }
  RWBoolean isNull() const { return begin_ == RW_NPOS; }
  const RWwchar* data() const { return str_->data() + begin_; }

  void toLower();
  void toUpper();

 private:
  friend class RWWString;
  friend RWBoolean operator==(const RWWSubString&, const RWwchar*);
  friend RWBoolean operator==(const RWWSubString&, const RWWString&);
  friend RWBoolean operator==(const RWWSubString&, const RWWSubString&);

  RWWSubString(const RWWString& s, RWsize start, RWsize len)
      : str_(const_cast<RWWString*>(&s)), begin_(start), extent_(len) {}
  void replaceBy(const RWwchar* text, RWsize n);

  RWWString* str_;
  RWsize begin_;
  RWsize extent_;
};

RWWString operator+(const RWWString& a, const RWwchar* b);
RWWString operator+(const RWwchar* a, const RWWString& b);
RWWString operator+(const RWWString& a, const RWWString& b);

RWWString toLower(const RWWString& s);
RWWString toUpper(const RWWString& s);

RWBoolean operator==(const RWWString& a, const RWwchar* b);
RWBoolean operator==(const RWWString& a, const RWWString& b);
inline RWBoolean operator==(const RWwchar* a, const RWWString& b) { return b == a; }
inline RWBoolean operator!=(const RWWString& a, const RWwchar* b) { return !(a == b); }
inline RWBoolean operator!=(const RWwchar* a, const RWWString& b) { return !(b == a); }
inline RWBoolean operator!=(const RWWString& a, const RWWString& b) { return !(a == b); }
inline RWBoolean operator<(const RWWString& a, const RWWString& b) { return a.compareTo(b) < 0; }
inline RWBoolean operator>(const RWWString& a, const RWWString& b) { return a.compareTo(b) > 0; }
inline RWBoolean operator<=(const RWWString& a, const RWWString& b) { return a.compareTo(b) <= 0; }
inline RWBoolean operator>=(const RWWString& a, const RWWString& b) { return a.compareTo(b) >= 0; }

RWBoolean operator==(const RWWSubString& a, const RWwchar* b);
RWBoolean operator==(const RWWSubString& a, const RWWString& b);
RWBoolean operator==(const RWWSubString& a, const RWWSubString& b);
inline RWBoolean operator==(const RWWString& a, const RWWSubString& b) { return b == a; }
inline RWBoolean operator!=(const RWWSubString& a, const RWwchar* b) { return !(a == b); }
inline RWBoolean operator!=(const RWWSubString& a, const RWWString& b) { return !(a == b); }
inline RWBoolean operator!=(const RWWSubString& a, const RWWSubString& b) { return !(a == b); }

// Raw 2-byte units, filled to the stream's width.
std::ostream& operator<<(std::ostream& s, const RWWString& str);
// Reads a token.
std::istream& operator>>(std::istream& s, RWWString& str);

#endif
