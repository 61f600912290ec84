#ifndef RW_DEFS_H
#define RW_DEFS_H

// Basic types of the foundation library.
//
// The library was designed for a 32-bit target, and every stored form
// (binary files, virtual streams, store tables) holds lengths, counts and
// "long" values as 32 bits. Here they are fixed-width types throughout, so
// that no platform-sized integer can reach a file or a stream.

#include <cstddef>
#include <cstdint>

typedef int RWBoolean;  // the library's truth value: nonzero is true
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef uint16_t RWClassID;  // 0x8000 means "no class"
typedef uint32_t RWspace;    // offsets in a free-list file
typedef int32_t RWoffset;

// Lengths, counts and indices are 32-bit unsigned; all ones means "no position".
typedef uint32_t RWsize;
constexpr RWsize RW_NPOS = 0xFFFFFFFFu;

// A 16-bit character of stored and printer-facing text.
typedef char16_t RWwchar;

#endif
