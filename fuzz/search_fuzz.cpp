// The hexadecimal pattern parser and the chunk scan on arbitrary input: the parser never writes
// more bytes than it read characters, and both scans find exactly what a naive scan finds
// (first and last occurrence), exact and case-folded, without reading outside the chunk.
//
// Input: [flags] [pattern text, up to 127 characters, ended by a zero byte] [chunk bytes]
// flags bit 0: the text is a hexadecimal pattern; bit 1: compare through the fold table.
#include "tools/search.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static bool naiveAt(const uint8_t *b, const uint8_t *p, uint32_t m, bool folded) {
    for (uint32_t i = 0; i < m; ++i) {
        uint8_t c = b[i];
        if (folded && ((c >= 'a' && c <= 'z') || c == 0xE4 || c == 0xF6 || c == 0xFC)) c -= 32;
        if (c != p[i]) return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    bool hex = data[0] & 1, folded = (data[0] & 2) != 0;
    const uint8_t *text = data + 1;
    size_t rest = size - 1, n = 0;
    while (n < rest && n < kMaxPattern && text[n])
        ++n;
    // Exactly sized heap blocks, so that a write or read beyond them is caught.
    char *t = static_cast<char *>(malloc(n + 1));
    memcpy(t, text, n);
    t[n] = 0;
    uint8_t *pat = static_cast<uint8_t *>(malloc(n ? n : 1));
    uint32_t m = 0;
    if (hex) {
        m = parseHexPattern(t, uint32_t(n), pat);
        if (m > n) abort();
    } else {
        for (m = 0; m < n; ++m)
            pat[m] = folded ? kFoldTable[uint8_t(t[m])] : uint8_t(t[m]);
    }
    size_t skip = n < rest ? n + 1 : rest;
    uint32_t len = uint32_t(rest - skip);
    uint8_t *chunk = static_cast<uint8_t *>(malloc(len ? len : 1));
    memcpy(chunk, text + skip, len);
    int64_t first = -1, last = -1;
    for (uint32_t p = 0; m && p + m <= len; ++p)
        if (naiveAt(chunk + p, pat, m, folded)) {
            if (first < 0) first = p;
            last = p;
        }
    if (scanForward(chunk, len, pat, m, folded) != first) abort();
    if (scanBackward(chunk, len, pat, m, folded) != last) abort();
    free(chunk);
    free(pat);
    free(t);
    return 0;
}
