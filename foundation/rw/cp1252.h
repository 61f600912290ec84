#ifndef RW_CP1252_H
#define RW_CP1252_H

// The ANSI code page of 8-bit text, Windows-1252.
//
// Bytes below 0x80 and from 0xA0 up are the Unicode characters of the same
// value; 0x80 - 0x9F hold the code page's punctuation and letters, and its
// five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control
// characters of the same value, so that every byte converts both ways.

#include <cstdint>

// The character of one byte.
char16_t rwAnsiToUnicode(unsigned char byte);
// The byte of one character, or -1 when the code page has no such character.
int rwUnicodeToAnsi(char16_t c);

#endif
