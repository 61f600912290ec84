#ifndef TESTKIT_BYTES_H
#define TESTKIT_BYTES_H

// Little-endian bytes written out by hand, for the golden-bytes tests of
// stored and printed formats, and read back out of a file's bytes.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "testkit/files.h"

// Each value one byte, in order.
std::string bytes(std::initializer_list<unsigned> b);
std::string le16(uint16_t v);
std::string le32(uint32_t v);

// The 32-bit little-endian word at b[at], or INT32_MIN when it runs past
// the end.
int32_t le32(const Bytes& b, size_t at);
// Writes v as the word at b[at], growing b to hold it.
void setLe32(Bytes& b, size_t at, int32_t v);

#endif
