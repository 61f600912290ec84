#include "rw/message.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "rw/bufhelp.h"

const char rw_FoundDomain[] = "rwfound1.0";
const char rw_BaseDomain[] = "rwbase1.0";

#define RW_CATALOGUE(name, dom, num, txt)            \
  static const RWCatMsg name##_entry = {dom, num, txt}; \
  const RWCatMsg* name() { return &name##_entry; }

RW_CATALOGUE(RWTOOL_ALLOCOUT, rw_FoundDomain, 0x2000, "[ALLOCOUT] %s destructor called with allocation outstanding")
RW_CATALOGUE(RWTOOL_BADRE, rw_FoundDomain, 0x2001, "[BADRE] Attempt to use invalid regular expression")
RW_CATALOGUE(RWTOOL_CRABS, rw_FoundDomain, 0x2002, "[CRABS] RWFactory: attempting to create abstract class with ID %hu (0x%hx)")
RW_CATALOGUE(RWTOOL_FLIST, rw_FoundDomain, 0x2003, "[FLIST] Free list size error: expected %ld, got %ld")
RW_CATALOGUE(RWTOOL_ID, rw_FoundDomain, 0x2004, "[ID] Unexpected class ID %hu; should be %hu")
RW_CATALOGUE(RWTOOL_INDEX, rw_FoundDomain, 0x2005, "[INDEX] Index (%u) out of range [0->%u]")
RW_CATALOGUE(RWTOOL_LOCK, rw_FoundDomain, 0x2006, "[LOCK] Locked object deleted")
RW_CATALOGUE(RWTOOL_LONGINDEX, rw_FoundDomain, 0x2007, "[LONGINDEX] Long index (%lu) out of range [0->%lu]")
RW_CATALOGUE(RWTOOL_MAGIC, rw_FoundDomain, 0x2008, "[MAGIC] Bad magic number: %ld (should be %ld)")
RW_CATALOGUE(RWTOOL_NEVECL, rw_FoundDomain, 0x2009, "[NEVECL] Unequal vector lengths: %u versus %u")
RW_CATALOGUE(RWTOOL_NOCREATE, rw_FoundDomain, 0x200A, "[NOCREATE] RWFactory: no create function for class with ID %hu (0x%hx)")
RW_CATALOGUE(RWTOOL_NOTALLOW, rw_FoundDomain, 0x200B, "[NOTALLOW] Function not allowed for derived class")
RW_CATALOGUE(RWTOOL_READERR, rw_FoundDomain, 0x200C, "[READERR] Read error")
RW_CATALOGUE(RWTOOL_REF, rw_FoundDomain, 0x200D, "[REF] Bad persistence reference")
RW_CATALOGUE(RWTOOL_SEEKERR, rw_FoundDomain, 0x200E, "[SEEKERR] Seek error")
RW_CATALOGUE(RWTOOL_STREAM, rw_FoundDomain, 0x200F, "[STREAM] Bad input stream")
RW_CATALOGUE(RWTOOL_SUBSTRING, rw_FoundDomain, 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString")
RW_CATALOGUE(RWTOOL_UNLOCK, rw_FoundDomain, 0x2011, "[UNLOCK] Improper use of locked object")
RW_CATALOGUE(RWTOOL_WRITEERR, rw_FoundDomain, 0x2012, "[WRITEERR] Write error")
RW_CATALOGUE(RWTOOL_INDEXERR, rw_FoundDomain, 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements")
RW_CATALOGUE(RWTOOL_NPOSINDEX, rw_FoundDomain, 0x2014, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.")
RW_CATALOGUE(RWTOOL_NOPERSIST, rw_FoundDomain, 0x2015, "[NOPERSIST] Persistence not implemented for type %s.")
RW_CATALOGUE(RWTOOL_DUPID, rw_FoundDomain, 0x2016, "[DUPID] RWFactory: class ID %hu (0x%hx) already registered to another create function")
RW_CATALOGUE(RWTOOL_DUPSTRINGID, rw_FoundDomain, 0x2017, "[DUPSTRINGID] RWFactory: string ID %s already registered to another create function")
RW_CATALOGUE(RWTOOL_DBLFREE, rw_FoundDomain, 0x2018, "[DBLFREE] Block at offset %ld is already free")
RW_CATALOGUE(RWTOOL_NOTBLOCK, rw_FoundDomain, 0x2019, "[NOTBLOCK] Offset %ld does not name a live block")
RW_CATALOGUE(RWCORE_EOF, rw_BaseDomain, 0x1000, "[EOF] EOF on input")
RW_CATALOGUE(RWCORE_GENERIC, rw_BaseDomain, 0x1001, "[GENERIC] Generic error number %d; %s")
RW_CATALOGUE(RWCORE_INVADDR, rw_BaseDomain, 0x1002, "[INVADDR] Invalid address: %lx")
RW_CATALOGUE(RWCORE_LOCK, rw_BaseDomain, 0x1003, "[LOCK] Unable to lock memory")
RW_CATALOGUE(RWCORE_NOINIT, rw_BaseDomain, 0x1004, "[NOINIT] Memory allocated without being initialized")
RW_CATALOGUE(RWCORE_NOMEM, rw_BaseDomain, 0x1005, "[NOMEM] No memory")
RW_CATALOGUE(RWCORE_OPERR, rw_BaseDomain, 0x1006, "[OPERR] Could not open file %s")
RW_CATALOGUE(RWCORE_OUTALLOC, rw_BaseDomain, 0x1007, "[OUTALLOC] Memory released with allocations still outstanding")
RW_CATALOGUE(RWCORE_OVFLOW, rw_BaseDomain, 0x1008, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)")
RW_CATALOGUE(RWCORE_STREAM, rw_BaseDomain, 0x1009, "[STREAM] Bad input stream")
RW_CATALOGUE(RWCORE_SYNSTREAM, rw_BaseDomain, 0x100A, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s")

#undef RW_CATALOGUE

const RWCatMsg* const* rwCatalogue(unsigned* count) {
  static const RWCatMsg* const all[] = {
      RWTOOL_ALLOCOUT(), RWTOOL_BADRE(),    RWTOOL_CRABS(),     RWTOOL_FLIST(),     RWTOOL_ID(),
      RWTOOL_INDEX(),    RWTOOL_LOCK(),     RWTOOL_LONGINDEX(), RWTOOL_MAGIC(),     RWTOOL_NEVECL(),
      RWTOOL_NOCREATE(), RWTOOL_NOTALLOW(), RWTOOL_READERR(),   RWTOOL_REF(),       RWTOOL_SEEKERR(),
      RWTOOL_STREAM(),   RWTOOL_SUBSTRING(), RWTOOL_UNLOCK(),   RWTOOL_WRITEERR(),  RWTOOL_INDEXERR(),
      RWTOOL_NPOSINDEX(), RWTOOL_NOPERSIST(), RWTOOL_DUPID(),   RWTOOL_DUPSTRINGID(), RWTOOL_DBLFREE(),
      RWTOOL_NOTBLOCK(), RWCORE_EOF(),      RWCORE_GENERIC(),   RWCORE_INVADDR(),   RWCORE_LOCK(),
      RWCORE_NOINIT(),   RWCORE_NOMEM(),    RWCORE_OPERR(),     RWCORE_OUTALLOC(),  RWCORE_OVFLOW(),
      RWCORE_STREAM(),   RWCORE_SYNSTREAM()};
  if (count) *count = sizeof all / sizeof all[0];
  return all;
}

namespace {

// Appends to a bounded area; the text is cut at the area's end.
struct Area {
  char* out;
  unsigned size;
  unsigned used = 0;
  void put(const char* s, size_t n) {
    while (n-- && used + 1 < size) out[used++] = *s++;
  }
};

int64_t signedArg(const RWMessageArg& a) {
  switch (a.kind) {
    case RWMessageArg::Signed: return a.s;
    case RWMessageArg::Unsigned: return static_cast<int64_t>(a.u);
    default: return 0;
  }
}

uint64_t unsignedArg(const RWMessageArg& a) {
  switch (a.kind) {
    case RWMessageArg::Signed: return static_cast<uint64_t>(a.s);
    case RWMessageArg::Unsigned: return a.u;
    case RWMessageArg::Pointer: return reinterpret_cast<uintptr_t>(a.ptr);
    default: return 0;
  }
}

}  // namespace

unsigned rwFormatMessage(char* out, unsigned size, const char* format,
                         std::initializer_list<RWMessageArg> args) {
  if (!out || size == 0) return 0;
  Area area{out, size};
  const RWMessageArg* next = args.begin();
  const RWMessageArg* end = args.end();
  static const RWMessageArg none(0);
  auto take = [&]() -> const RWMessageArg& { return next != end ? *next++ : none; };

  for (const char* p = format; *p;) {
    if (*p != '%') {
      const char* q = p;
      while (*q && *q != '%') ++q;
      area.put(p, static_cast<size_t>(q - p));
      p = q;
      continue;
    }
    if (p[1] == '%') {
      area.put("%", 1);
      p += 2;
      continue;
    }
    // Rebuild the conversion with the widths taken from the arguments and
    // the length modifier replaced by the one matching the value we pass.
    char spec[32];
    unsigned n = 0;
    spec[n++] = '%';
    ++p;
    while (*p && std::strchr("-+ #0", *p) && n < 20) spec[n++] = *p++;
    int star[2];
    int stars = 0;
    auto number = [&]() {
      if (*p == '*') {
        star[stars++] = static_cast<int>(signedArg(take()));
        if (n < 20) spec[n++] = '*';
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') {
          if (n < 20) spec[n++] = *p;
          ++p;
        }
      }
    };
    number();
    if (*p == '.') {
      if (n < 20) spec[n++] = '.';
      ++p;
      number();
    }
    int shortness = 0;  // 1: h, 2: hh
    while (*p == 'h' || *p == 'l' || *p == 'L' || *p == 'z' || *p == 'j' || *p == 't') {
      if (*p == 'h') ++shortness;
      ++p;
    }
    char conv = *p ? *p++ : 0;
    char piece[RWMessage::formatArea];
    int len = 0;
    auto emit = [&](const char* mod, auto value) {
      spec[n] = 0;
      char full[40];
      std::snprintf(full, sizeof full, "%s%s%c", spec, mod, conv);
      if (stars == 2)
        len = std::snprintf(piece, sizeof piece, full, star[0], star[1], value);
      else if (stars == 1)
        len = std::snprintf(piece, sizeof piece, full, star[0], value);
      else
        len = std::snprintf(piece, sizeof piece, full, value);
    };
    switch (conv) {
      case 'd':
      case 'i': {
        int64_t v = signedArg(take());
        if (shortness == 1) v = static_cast<int16_t>(v);
        else if (shortness >= 2) v = static_cast<int8_t>(v);
        emit("ll", static_cast<long long>(v));
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        uint64_t v = unsignedArg(take());
        if (shortness == 1) v = static_cast<uint16_t>(v);
        else if (shortness >= 2) v = static_cast<uint8_t>(v);
        emit("ll", static_cast<unsigned long long>(v));
        break;
      }
      case 'c': emit("", static_cast<int>(static_cast<unsigned char>(signedArg(take())))); break;
      case 's': {
        const RWMessageArg& a = take();
        emit("", a.kind == RWMessageArg::Text && a.text ? a.text : "(null)");
        break;
      }
      case 'p': emit("", take().ptr); break;
      default:
        len = 0;
        break;
    }
    if (len > 0) area.put(piece, std::min<size_t>(static_cast<size_t>(len), sizeof piece - 1));
  }
  out[area.used] = 0;
  return area.used;
}

RWMessage::RWMessage(const RWCatMsg* entry, std::initializer_list<RWMessageArg> args) {
  char area[formatArea];
  unsigned len = rwFormatMessage(area, sizeof area, entry ? entry->text : "", args);
  text_ = rwAllocated(new char[len + 1]);
  std::memcpy(text_, area, len + 1);
}

RWMessage::RWMessage(const char* text) {
  size_t len = text ? std::strlen(text) : 0;
  text_ = rwAllocated(new char[len + 1]);
  if (len) std::memcpy(text_, text, len);
  text_[len] = 0;
}

RWMessage::RWMessage(const RWMessage& other) : RWMessage(other.text_) {}

RWMessage& RWMessage::operator=(const RWMessage& other) {
  if (this != &other) {
    RWMessage copy(other);
    std::swap(text_, copy.text_);
  }
  return *this;
}

RWMessage::~RWMessage() { delete[] text_; }
