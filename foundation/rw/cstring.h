#ifndef RW_CSTRING_H
#define RW_CSTRING_H

// Narrow strings.
//
// An RWCString is one pointer, to the first character of a reference-counted
// heap block whose header lies directly before the characters. Copies share
// the block; an operation that changes characters first makes the block
// private (copy on write). The characters are always followed by a zero byte,
// so data() can be handed on as a NUL-terminated text; the length counts
// embedded zero bytes too.
//
// Case folding is the plain ASCII rule, independent of the process locale.

#include <cstdint>

#include "rw/defs.h"
#include "rw/ref.h"

class RWCString;
class RWCSubString;
class RWFile;
class RWvistream;
class RWvostream;

// The header of a string block. A block for capacity c is c + 13 bytes: this
// 12-byte header, c characters and the zero byte after the last one.
class RWCStringRef {
 public:
  RWsize length() const { return nchars_; }
  RWsize capacity() const { return capacity_; }
  int32_t references() const { return refs_.references(); }
  const char* data() const { return reinterpret_cast<const char*>(this + 1); }

  // Searches answer an index or RW_NPOS. The forms without a count stop at
  // the first zero byte; the counted forms look at the first n characters
  // (n cut to the length), zero bytes included.
  RWsize first(char c) const;
  RWsize first(char c, RWsize n) const;
  // The first position whose character is in the set: a NUL-terminated set,
  // or the first n characters of `set` searched over the whole length.
  RWsize first(const char* set) const;
  RWsize first(const char* set, RWsize n) const;
  RWsize last(char c) const;
  RWsize last(char c, RWsize n) const;

 private:
  friend class RWCString;
  friend struct RWCStringEmpty;

  constexpr RWCStringRef() noexcept : refs_(0), capacity_(0), nchars_(0) {}
  RWCStringRef(RWsize capacity, RWsize length) : refs_(0), capacity_(capacity), nchars_(length) {}

  char* chars() { return reinterpret_cast<char*>(this + 1); }
  // More than one reference: only an unshared block is changed in place.
  bool isShared() const {
    int32_t r = refs_.references();
    return r != 0 && r != -1;
  }

  RWReference refs_;  // references minus one
  RWsize capacity_;   // characters the block holds, the zero byte not counted
  RWsize nchars_;     // characters in use
};
static_assert(sizeof(RWCStringRef) == 12, "the string header is three 32-bit words");

class RWCString {
 public:
  enum caseCompare { exact = 0, ignoreCase = 1 };
  enum stripType { leading = 1, trailing = 2, both = 3 };

  // Asks for an empty string with room for a number of characters.
  struct Capacity {
    explicit Capacity(RWsize n) : value(n) {}
    RWsize value;
  };

  RWCString();
  RWCString(const char* text);
  RWCString(const char* text, RWsize n);
  RWCString(char c);
  RWCString(char c, RWsize n);
  explicit RWCString(Capacity cap);
  RWCString(const RWCSubString& sub);
  // The concatenation of two pieces; a null pointer counts as empty.
  RWCString(const char* a, RWsize na, const char* b, RWsize nb);
  RWCString(const RWCString& other);
  // Moving takes the other's block over and leaves it empty; the block's
  // count does not change.
  RWCString(RWCString&& other) noexcept;
  ~RWCString();

  RWCString& operator=(const RWCString& other);
  RWCString& operator=(RWCString&& other) noexcept;
  RWCString& operator=(const char* text);

  // Editing. replace removes k characters at pos and puts the m characters
  // at s in their place; every other edit is a form of it.
  RWCString& replace(RWsize pos, RWsize k, const char* s, RWsize m);
  RWCString& replace(RWsize pos, RWsize k, const char* s);
  RWCString& append(const char* s, RWsize m);
  RWCString& append(const char* s);
  RWCString& append(const RWCString& s);
  RWCString& append(char c, RWsize n = 1);
  RWCString& prepend(const char* s);
  RWCString& prepend(char c, RWsize n = 1);
  RWCString& operator+=(const char* s) { return append(s); }
  RWCString& operator+=(const RWCString& s) { return append(s); }
  // A smaller length cuts the tail; a larger one appends blanks.
  void resize(RWsize n);

  RWsize length() const { return rep()->length(); }
  bool isNull() const { return length() == 0; }
  const char* data() const { return data_; }
  RWsize capacity() const { return rep()->capacity(); }
  // Re-makes the block with room for n characters when n is above the
  // length and differs from the capacity; answers the capacity.
  RWsize capacity(RWsize n);

  // Checked access: an index not below the length is reported, and the
  // answer is then a scratch character outside the string.
  char& operator[](RWsize i);
  char operator[](RWsize i) const;
  // Unchecked access; the caller keeps i below the length.
  char& operator()(RWsize i);
  char operator()(RWsize i) const { return data_[i]; }

  int compareTo(const char* text, caseCompare cmp = exact) const;
  int compareTo(const RWCString& other, caseCompare cmp = exact) const;
  bool operator==(const char* text) const;
  bool operator==(const RWCString& other) const;

  uint32_t hash(caseCompare cmp = exact) const;
  static uint32_t hash(const RWCString& s);

  RWsize index(const char* pat, RWsize m, RWsize start = 0, caseCompare cmp = exact) const;
  RWsize index(const char* pat, RWsize start = 0, caseCompare cmp = exact) const;
  RWsize index(const RWCString& pat, RWsize start = 0, caseCompare cmp = exact) const;
  bool contains(const char* pat, caseCompare cmp = exact) const;
  RWsize first(char c) const;
  RWsize last(char c) const;
  bool isAscii() const;
  RWCString copy() const;

  // Views. A view must not outlive its string.
  RWCSubString operator()(RWsize start, RWsize len);
  const RWCSubString operator()(RWsize start, RWsize len) const;
  RWCSubString subString(const char* pat, RWsize start = 0, caseCompare cmp = exact);
  const RWCSubString subString(const char* pat, RWsize start = 0, caseCompare cmp = exact) const;
  RWCSubString strip(stripType st = trailing, char c = ' ');
  const RWCSubString strip(stripType st = trailing, char c = ' ') const;

  void toLower();
  void toUpper();

  // Stored forms: the 32-bit length, then the characters. A restore that
  // cannot have every stored character leaves the string empty and the file
  // or stream in its failed state; each restore answers whether it read a
  // whole string.
  void saveOn(RWFile& f) const;
  RWBoolean restoreFrom(RWFile& f);
  void saveOn(RWvostream& s) const;
  RWBoolean restoreFrom(RWvistream& s);

  // Settings for later allocations; each setter answers the old value.
  static RWsize minimumCapacity();
  static RWsize minimumCapacity(RWsize n);
  static RWsize capacityStep();
  static RWsize capacityStep(RWsize n);
  static RWsize spareLimit();
  static RWsize spareLimit(RWsize n);
  static RWsize roundCapacity(RWsize n);

  const RWCStringRef* rep() const { return reinterpret_cast<const RWCStringRef*>(data_) - 1; }

 private:
  friend class RWCSubString;

  explicit RWCString(RWCStringRef* r) : data_(r->chars()) {}
  RWCStringRef* ref() { return reinterpret_cast<RWCStringRef*>(data_) - 1; }

  static RWCStringRef* allocateRep(RWsize capacity, RWsize length);
  static void releaseRep(RWCStringRef* r);
  void adopt(RWCStringRef* r);  // releases the current block and takes r
  void clone();
  void cloneWithCapacity(RWsize n);
  // Leaves the string empty with a private block of at least n characters.
  void makeEmpty(RWsize n);
  // Takes the shared empty representation, giving up the block.
  void dropText();
  // Reads n characters through read(ctx, buffer, count) in pieces, so that
  // the block grows only with what has arrived. False, with the string
  // empty, when a piece could not be read.
  bool readPieces(RWsize n, bool (*read)(void* ctx, char* p, RWsize k), void* ctx);
  RWCSubString view(RWsize start, RWsize len) const;

  char* data_;
};
static_assert(sizeof(RWCString) == sizeof(char*), "a string is one pointer");

// A view into a string: a start and a length. A start of RW_NPOS is the null
// substring, what a failed search answers.
class RWCSubString {
 public:
  RWCSubString(const RWCSubString&) = default;

  RWCSubString& operator=(const RWCString& s);
  RWCSubString& operator=(const RWCSubString& s);
  RWCSubString& operator=(const char* text);

  char& operator[](RWsize i);
  char operator[](RWsize i) const;
  char& operator()(RWsize i);
  char operator()(RWsize i) const;

  RWsize start() const { return begin_; }
  RWsize length() const { return extent_; }
  bool isNull() const { return begin_ == RW_NPOS; }
  const char* startData() const;

  bool operator==(const char* text) const;
  bool operator==(const RWCString& s) const;
  bool operator==(const RWCSubString& s) const;

  void toLower();
  void toUpper();

 private:
  friend class RWCString;
  RWCSubString(const RWCString& s, RWsize start, RWsize len)
      : str_(const_cast<RWCString*>(&s)), begin_(start), extent_(len) {}
  void assign(const char* s, RWsize m);

  RWCString* str_;
  RWsize begin_;
  RWsize extent_;
};

RWCString toLower(const RWCString& s);
RWCString toUpper(const RWCString& s);
RWCString operator+(const RWCString& a, const char* b);
RWCString operator+(const char* a, const RWCString& b);
RWCString operator+(const RWCString& a, const RWCString& b);

#endif
