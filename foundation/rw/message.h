#ifndef RW_MESSAGE_H
#define RW_MESSAGE_H

// Catalogue messages.
//
// Every error the library reports is one of the numbered entries below,
// formatted with its arguments into an RWMessage. The entries' texts are
// printf-style; the arguments are passed typed (an integer, a text, a
// character) and each conversion of the text takes the next one, converted to
// the width its length modifier names, so the same call formats the same
// text on every machine whatever the size of long.

#include <cstdint>
#include <initializer_list>
#include <type_traits>

struct RWCatMsg {
  const char* domain;  // "rwfound1.0" or "rwbase1.0"
  int32_t number;
  const char* text;
};

extern const char rw_FoundDomain[];  // "rwfound1.0"
extern const char rw_BaseDomain[];   // "rwbase1.0"

// The foundation catalogue, 0x2000 - 0x2019.
const RWCatMsg* RWTOOL_ALLOCOUT();
const RWCatMsg* RWTOOL_BADRE();
const RWCatMsg* RWTOOL_CRABS();
const RWCatMsg* RWTOOL_FLIST();
const RWCatMsg* RWTOOL_ID();
const RWCatMsg* RWTOOL_INDEX();
const RWCatMsg* RWTOOL_LOCK();
const RWCatMsg* RWTOOL_LONGINDEX();
const RWCatMsg* RWTOOL_MAGIC();
const RWCatMsg* RWTOOL_NEVECL();
const RWCatMsg* RWTOOL_NOCREATE();
const RWCatMsg* RWTOOL_NOTALLOW();
const RWCatMsg* RWTOOL_READERR();
const RWCatMsg* RWTOOL_REF();
const RWCatMsg* RWTOOL_SEEKERR();
const RWCatMsg* RWTOOL_STREAM();
const RWCatMsg* RWTOOL_SUBSTRING();
const RWCatMsg* RWTOOL_UNLOCK();
const RWCatMsg* RWTOOL_WRITEERR();
const RWCatMsg* RWTOOL_INDEXERR();
const RWCatMsg* RWTOOL_NPOSINDEX();
const RWCatMsg* RWTOOL_NOPERSIST();
const RWCatMsg* RWTOOL_DUPID();
const RWCatMsg* RWTOOL_DUPSTRINGID();
const RWCatMsg* RWTOOL_DBLFREE();
const RWCatMsg* RWTOOL_NOTBLOCK();

// The base catalogue, 0x1000 - 0x100A.
const RWCatMsg* RWCORE_EOF();
const RWCatMsg* RWCORE_GENERIC();
const RWCatMsg* RWCORE_INVADDR();
const RWCatMsg* RWCORE_LOCK();
const RWCatMsg* RWCORE_NOINIT();
const RWCatMsg* RWCORE_NOMEM();
const RWCatMsg* RWCORE_OPERR();
const RWCatMsg* RWCORE_OUTALLOC();
const RWCatMsg* RWCORE_OVFLOW();
const RWCatMsg* RWCORE_STREAM();
const RWCatMsg* RWCORE_SYNSTREAM();

// Every catalogue entry, in table order (for listing and tests).
const RWCatMsg* const* rwCatalogue(unsigned* count);

// One argument of a message.
struct RWMessageArg {
  enum Kind { Signed, Unsigned, Text, Pointer } kind;
  union {
    int64_t s;
    uint64_t u;
    const char* text;
    const void* ptr;
  };
  template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
  RWMessageArg(T v) : kind(Signed), s(v) {}
  template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T>, int> = 0>
  RWMessageArg(T v) : kind(Unsigned), u(v) {}
  RWMessageArg(const char* t) : kind(Text), text(t) {}
  RWMessageArg(const void* p) : kind(Pointer), ptr(p) {}
};

class RWMessage {
 public:
  // Formatting happens in an area of this size; a longer text is cut.
  static constexpr unsigned formatArea = 504;

  RWMessage(const RWCatMsg* entry, std::initializer_list<RWMessageArg> args = {});
  explicit RWMessage(const char* text);
  RWMessage(const RWMessage&);
  RWMessage& operator=(const RWMessage&);
  ~RWMessage();

  const char* str() const { return text_; }

 private:
  char* text_;
};

// Formats a catalogue text with typed arguments into out (size bytes, always
// terminated); answers the length written.
unsigned rwFormatMessage(char* out, unsigned size, const char* format,
                         std::initializer_list<RWMessageArg> args);

#endif
