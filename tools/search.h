// Text and hexadecimal search over the data as the page shows it: the source read in chunks
// of 256 KiB with the journalled edits of each chunk laid over them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kSearchChunk = 0x40000;
constexpr uint32_t kMaxPattern = 127; // the find-what buffer holds 128 characters

// Result bits.
enum : uint32_t { kSearchGoOn = 0x1, kSearchEnd = 0x2, kSearchFound = 0x8 };
// Kinds.
enum : uint32_t { kSearchText = 0, kSearchHex = 4 };

struct SearchState {
    uint32_t Kind;
    uint64_t Pos;      // where the next chunk is read (forward: its start; backward: its end)
    uint64_t ChunkEnd; // the far end of the chunk read last
    uint8_t Pattern[kMaxPattern + 1];
    uint32_t PatLen;
    uint32_t Result;
    bool Down;        // the direction of the previous step
    uint64_t JCursor; // the address-chain node the next overlay walk starts from
    uint64_t MatchPos;
    int32_t MatchOfs; // offset of the match in the page, -1 for none
    uint32_t MatchLen;
    bool Busy;       // a step is running (the dialog may report again while it polls)
    bool NewRequest; // the dialog reported during the step: it ends, the new one runs
};

extern SearchState g_search;
extern FindRequest g_find;
// Identity except a-z and ä ö ü, which map to their capitals.
extern const uint8_t kFoldTable[256];

void resetSearchState();

// Bytes of a hexadecimal pattern: pairs of digits, a single digit before a separator or the
// end, literal bytes between double quotes; every other character separates. Reads up to the
// terminating zero or `n` characters; returns the number of bytes written to `out` (at most n).
uint32_t parseHexPattern(const char *text, uint32_t n, uint8_t *out);
// First (last) position of `pat` in `buf`, or -1. With `folded`, the bytes of `buf` are
// compared through kFoldTable against a pattern that is folded already.
int64_t scanForward(const uint8_t *buf, uint32_t n, const uint8_t *pat, uint32_t m, bool folded);
int64_t scanBackward(const uint8_t *buf, uint32_t n, const uint8_t *pat, uint32_t m, bool folded);
// Lays the journalled edits that fall into [start, start + n) over `buf`, walking the address
// chain from `*cursor` (updated to the first node that reaches into the range).
void overlayChunk(uint64_t start, uint32_t n, uint8_t *buf, uint64_t *cursor);

// Ctrl+F, Ctrl+H, F3.
int textSearch();
int hexSearch();
int searchAgain();
// The find dialog reported: a Find Next runs one step; returns 0 when a match was shown.
int findRequest();
// One step with the request as it stands.
int searchStep();
