// 64-bit position helpers, number formatting and the right-to-left number parsers.
#pragma once

#include <cstdint>

// a - b as a signed 32-bit value, saturated to -0x7FFFFFFF..+0x7FFFFFFF.
int32_t clampedDiff(uint64_t a, uint64_t b);

// Writes ten characters ending at `last`: blank, upper four hex digits, blank, lower four.
void formatHex32(uint32_t v, char *last);
// Ten decimal digits, leading zeros as blanks, then the bytes 0x0A 0x0D (12 bytes).
void formatDecimal10(uint32_t v, char *out);
// Copies `text` into `field` of `width` characters, left-aligned and blank-padded; a longer
// text keeps its last characters. No terminator is written.
void copyPadded(char *field, int width, const char *text);

// Parsers read right to left; characters below '0' are separators (counted into *seps).
uint32_t parseHex32(const char *text, int *seps = nullptr);
uint64_t parseHex64(const char *text, int *seps = nullptr);
uint32_t parseDec32(const char *text, int *seps = nullptr);
uint64_t parseDec64(const char *text, int *seps = nullptr);
uint32_t parseBin32(const char *text, int *seps = nullptr);
// The same rule for radix 2, 10 or 16 into 64 bits; false when a character is no digit of
// the radix (and no separator) or the value does not fit.
bool parseNumber(const char *text, unsigned radix, uint64_t *value, int *seps = nullptr);

// Bounded string helpers for the fixed-size buffers.
void copyString(char *dst, const char *src, int size);
void appendString(char *dst, const char *src, int size);
