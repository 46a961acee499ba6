// Copying the marking to the clipboard, pasting it back and inserting a file: the bytes are
// written over the page pairs at the cursor and committed pair by pair.
#pragma once

#include <cstdint>

// Formats and limits of the clipboard exchange.
constexpr uint32_t kCopyLimit = 10000000;
constexpr unsigned kClipText = 1;    // CF_TEXT
extern const char kDataFormatName[]; // "DataObject"
extern const char kSizeFormatName[]; // "Size Information"

// Puts the marking on the clipboard as text, "DataObject" and "Size Information".
int copyMarking();
// Overwrites at the cursor with the clipboard's bytes (or its text up to the first zero).
int pasteClipboard();
// Overwrites at the cursor with the bytes of a chosen file.
int insertFile();

// ModMask bits of bytes start .. start + count - 1 of the pair; the other bits stay.
void setModRange(uint32_t start, uint32_t count);
// Bytes before the first zero byte, at most `limit`.
uint32_t boundedLength(const uint8_t *text, uint32_t limit);
// Copies until a zero byte or `limit` bytes; returns how many of the limit are left.
uint32_t boundedCopy(uint8_t *dst, const uint8_t *src, uint32_t limit);

// A run of bytes over the page pairs from the cursor on. `next` delivers the next `want`
// bytes into `dst` and returns how many it gave (fewer ends the run). The pairs are
// committed as the run moves on; the segment bits tie the records together. Returns the
// number of bytes written; the view returns where it was.
using RunFeeder = uint32_t (*)(void *ctx, uint8_t *dst, uint32_t want);
uint64_t writeRun(uint64_t start, uint64_t count, RunFeeder next, void *ctx);
