#include "tools/search.h"

#include <cstring>

#include "access/docstate.h"
#include "access/source.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "view/paint.h"
#include "view/refresh.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

SearchState g_search;
FindRequest g_find;

static constexpr uint8_t foldOf(int c) {
    if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
    if (c == 0xE4 || c == 0xF6 || c == 0xFC) return uint8_t(c - 32); // ä ö ü
    return uint8_t(c);
}
struct FoldTable {
    uint8_t t[256];
    constexpr FoldTable() : t() {
        for (int c = 0; c < 256; ++c)
            t[c] = foldOf(c);
    }
};
static constexpr FoldTable kFold;
const uint8_t kFoldTable[256] = {
#define F4(c) kFold.t[c], kFold.t[c + 1], kFold.t[c + 2], kFold.t[c + 3]
#define F16(c) F4(c), F4(c + 4), F4(c + 8), F4(c + 12)
#define F64(c) F16(c), F16(c + 16), F16(c + 32), F16(c + 48)
    F64(0), F64(64), F64(128), F64(192)
#undef F64
#undef F16
#undef F4
};

// The chunk, with room for the sectors a drive read rounds up to.
static uint8_t g_chunk[kSearchChunk + 1024];
static uint8_t g_block[kJnlDataSize];

void resetSearchState() {
    std::memset(&g_search, 0, sizeof g_search);
    g_search.Down = true;
    g_search.JCursor = kNullPtr;
    g_search.MatchOfs = -1;
    g_find = FindRequest{};
}

// ---- patterns ----

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

uint32_t parseHexPattern(const char *text, uint32_t n, uint8_t *out) {
    uint32_t len = 0;
    int half = -1; // a first digit waiting for its second
    for (uint32_t i = 0; i < n && text[i]; ++i) {
        char c = text[i];
        int d = hexDigit(c);
        if (d >= 0) {
            if (half < 0) {
                half = d;
            } else {
                out[len++] = uint8_t(half << 4 | d);
                half = -1;
            }
            continue;
        }
        if (half >= 0) out[len++] = uint8_t(half);
        half = -1;
        if (c != '"') continue;
        // A literal part up to the next double quote (or the end), byte for byte.
        for (++i; i < n && text[i] && text[i] != '"'; ++i)
            out[len++] = uint8_t(text[i]);
        if (i >= n || !text[i]) break;
    }
    if (half >= 0) out[len++] = uint8_t(half);
    return len;
}

// The pattern of the request, folded for a text search without match-case.
static void preparePattern() {
    const char *w = g_find.findWhat;
    uint32_t n = 0;
    if (g_search.Kind == kSearchHex) {
        n = parseHexPattern(w, kMaxPattern, g_search.Pattern);
    } else {
        while (n < kMaxPattern && w[n]) {
            uint8_t c = uint8_t(w[n]);
            g_search.Pattern[n++] = g_find.matchCase ? c : kFoldTable[c];
        }
    }
    g_search.PatLen = n;
}

// ---- the scan ----

static bool equalAt(const uint8_t *p, const uint8_t *pat, uint32_t m, bool folded) {
    if (!folded) return std::memcmp(p, pat, m) == 0;
    for (uint32_t i = 0; i < m; ++i)
        if (kFoldTable[p[i]] != pat[i]) return false;
    return true;
}

// The byte that folds to `c` besides c itself (c for none): a folded pattern holds capitals.
static uint8_t otherCase(uint8_t c, bool folded) {
    if (!folded) return c;
    if ((c >= 'A' && c <= 'Z') || c == 0xC4 || c == 0xD6 || c == 0xDC) return uint8_t(c + 32);
    return c;
}

#if defined(__SSE2__)
// Candidate bits of 16 positions from `p`: the first and the last pattern byte both fit.
struct Probe {
    __m128i f1, f2, l1, l2;
    uint32_t last;
    Probe(const uint8_t *pat, uint32_t m, bool folded) : last(m - 1) {
        f1 = _mm_set1_epi8(char(pat[0]));
        f2 = _mm_set1_epi8(char(otherCase(pat[0], folded)));
        l1 = _mm_set1_epi8(char(pat[m - 1]));
        l2 = _mm_set1_epi8(char(otherCase(pat[m - 1], folded)));
    }
    uint32_t at(const uint8_t *p) const {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + last));
        __m128i ea = _mm_or_si128(_mm_cmpeq_epi8(a, f1), _mm_cmpeq_epi8(a, f2));
        __m128i eb = _mm_or_si128(_mm_cmpeq_epi8(b, l1), _mm_cmpeq_epi8(b, l2));
        return uint32_t(_mm_movemask_epi8(_mm_and_si128(ea, eb)));
    }
};
#endif

int64_t scanForward(const uint8_t *buf, uint32_t n, const uint8_t *pat, uint32_t m, bool folded) {
    if (m == 0 || m > n) return -1;
    uint32_t last = n - m; // the last start that fits
    uint32_t i = 0;
#if defined(__SSE2__)
    Probe probe(pat, m, folded);
    for (; i + 16 <= last + 1; i += 16) {
        for (uint32_t bits = probe.at(buf + i); bits; bits &= bits - 1) {
            uint32_t k = i + uint32_t(__builtin_ctz(bits));
            if (equalAt(buf + k, pat, m, folded)) return k;
        }
    }
#endif
    for (; i <= last; ++i)
        if (equalAt(buf + i, pat, m, folded)) return i;
    return -1;
}

int64_t scanBackward(const uint8_t *buf, uint32_t n, const uint8_t *pat, uint32_t m, bool folded) {
    if (m == 0 || m > n) return -1;
    int64_t i = int64_t(n - m) + 1; // starts below i are still to be tried
#if defined(__SSE2__)
    Probe probe(pat, m, folded);
    for (; i >= 16; i -= 16) {
        for (uint32_t bits = probe.at(buf + i - 16); bits;
             bits &= ~(1u << (31 - __builtin_clz(bits)))) {
            uint32_t k = uint32_t(i - 16) + uint32_t(31 - __builtin_clz(bits));
            if (equalAt(buf + k, pat, m, folded)) return k;
        }
    }
#endif
    while (i-- > 0)
        if (equalAt(buf + i, pat, m, folded)) return i;
    return -1;
}

// ---- the overlay ----

void overlayChunk(uint64_t start, uint32_t n, uint8_t *buf, uint64_t *cursor) {
    if (!journalHasEdits() || n == 0) return;
    uint64_t end = start + n, limit = entryCount() + 2, steps = 0;
    uint64_t p = *cursor;
    JournalRecord r;
    if (isNullPtr(p) || !validEntry(p) || !readFields(p, r)) {
        p = g_jnl.Header.FirstPtr;
        if (!readFields(p, r)) return;
    }
    // Back to the first node that still reaches into the range, then on to it.
    while (r.Adr + kJnlDataSize > start && !isNullPtr(r.PrevPtr) && ++steps < limit) {
        JournalRecord q;
        if (!readFields(r.PrevPtr, q)) break;
        p = r.PrevPtr;
        r = q;
    }
    for (steps = 0; r.Adr + kJnlDataSize <= start;) {
        if (isNullPtr(r.NextPtr) || ++steps >= limit) break;
        uint64_t q = r.NextPtr;
        if (!readFields(q, r)) return;
        p = q;
    }
    *cursor = p;
    // Each walk is bounded by the journal's entry count: a damaged chain cannot loop.
    for (steps = 0; r.Adr < end && ++steps < limit;) {
        if (r.Adr + kJnlDataSize > start && !(r.Flags & kFlagInSource) && readRecord(p, r) &&
            readData(g_block)) {
            uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
            uint64_t from = r.Adr > start ? r.Adr : start;
            uint64_t to = r.Adr + len < end ? r.Adr + len : end;
            if (from < to)
                std::memcpy(buf + (from - start), g_block + (from - r.Adr), size_t(to - from));
        }
        if (isNullPtr(r.NextPtr)) break;
        p = r.NextPtr;
        if (!readFields(p, r)) break;
    }
}

// ---- the step ----

// The chunk [start, start + n) as the page would show it: *got bytes at *data. False after a
// failed read (reported); what was read is still there to scan.
static bool readChunk(uint64_t start, uint32_t n, const uint8_t **data, uint32_t *got) {
    uint32_t read = 0;
    uint64_t from = diskMode() ? start & ~uint64_t(511) : start;
    uint32_t len = diskMode() ? uint32_t((start + n - from + 511) & ~uint64_t(511)) : n;
    bool ok = readSourceBytes(from, len, g_chunk, &read);
    uint32_t skip = uint32_t(start - from);
    *got = read > skip ? read - skip : 0;
    if (*got > n) *got = n;
    *data = g_chunk + skip;
    overlayChunk(start, *got, g_chunk + skip, &g_search.JCursor);
    return ok;
}

// The node of the page's first block, or the nearest one below or above it.
static uint64_t pageJournalCursor() {
    if (g_doc.JReadFlag & 1) return g_jnl.JData1.JAdr;
    if (!isNullPtr(g_jnl.JPrevPtr)) return g_jnl.JPrevPtr;
    return g_jnl.JNextPtr;
}

// The search position for a search that begins at the window.
static void startAtWindow() {
    uint64_t top = g_doc.AnfPtr + g_doc.ViewOfs;
    if (!g_search.Down) top = g_doc.FileSize - top < 512 ? g_doc.FileSize : top + 512;
    g_search.Pos = g_search.ChunkEnd = top;
}

static int openSearch(uint32_t kind) {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    g_search.Kind = kind;
    g_find.hideMatchCase = kind == kSearchHex;
    g_search.JCursor = pageJournalCursor();
    g_search.Down = g_find.down;
    startAtWindow();
    g_search.Result &= ~(kSearchGoOn | kSearchEnd | kSearchFound);
    plat().openFindDialog(g_find);
    return 0;
}

int textSearch() {
    return openSearch(kSearchText);
}

int hexSearch() {
    return openSearch(kSearchHex);
}

int searchAgain() {
    if (openSearch(g_search.Kind) != 0) return 1;
    g_find.findNext = true;
    return searchStep();
}

int findRequest() {
    if (g_search.Busy) {
        g_search.NewRequest = true;
        return 1;
    }
    int result = 1;
    do {
        g_search.NewRequest = false;
        if (!g_find.findNext) break; // the dialog was closed
        result = searchStep();
    } while (g_search.NewRequest);
    return result;
}

// Stops between chunks: Esc typed, or the dialog reported again. Polls and shows progress about
// every 30 ms.
static bool pollSearch(uint64_t *lastTick) {
    Platform &p = plat();
    uint64_t now = p.tickMs();
    if (now - *lastTick < 30) return false;
    *lastTick = now;
    showTopLeft(g_search.Pos, kAddressBg);
    g_search.Busy = true;
    bool stop = false;
    for (int k; !stop && (k = p.pollMessage()) >= 0;)
        stop = k == 27 || g_search.NewRequest;
    g_search.Busy = false;
    return stop || g_search.NewRequest;
}

int searchStep() {
    if (!sourceOpen()) return 1;
    if (g_find.down != g_search.Down) {
        // The other way: from the window, or from the match shown; the end reached the
        // other way is no end for this one.
        g_search.Down = g_find.down;
        g_search.Result &= ~kSearchEnd;
        if (!(g_search.Result & kSearchFound))
            startAtWindow();
        else
            g_search.Pos =
                g_search.Down ? g_search.MatchPos + 1 : g_search.MatchPos + g_search.PatLen - 1;
    }
    if (g_search.Result & kSearchEnd) return 1;
    preparePattern();
    uint32_t m = g_search.PatLen;
    if (m == 0) return 1; // nothing to look for
    settlePendingInputs();
    bool folded = g_search.Kind == kSearchText && !g_find.matchCase;
    uint64_t keepAnf = g_doc.AnfPtr;
    uint32_t keepView = g_doc.ViewOfs;
    uint64_t lastTick = plat().tickMs();
    int64_t match = -1;
    for (;;) {
        const uint8_t *data;
        uint64_t start, pos = g_search.Pos;
        uint32_t want;
        if (g_search.Down) {
            start = pos;
            want = start >= g_doc.FileSize                 ? 0
                   : g_doc.FileSize - start < kSearchChunk ? uint32_t(g_doc.FileSize - start)
                                                           : kSearchChunk;
        } else {
            if (pos > g_doc.FileSize) pos = g_doc.FileSize;
            start = pos > kSearchChunk ? pos - kSearchChunk : 0;
            want = uint32_t(pos - start);
        }
        uint32_t got = 0;
        bool ok = want == 0 || readChunk(start, want, &data, &got);
        if (want == 0 || (ok && got == 0)) {
            g_search.Result |= kSearchEnd;
            break;
        }
        g_search.ChunkEnd = g_search.Down ? start + got : start;
        int64_t k = -1;
        if (got && g_search.Down) k = scanForward(data, got, g_search.Pattern, m, folded);
        // Backward, a short read leaves the chunk's top unread: scan what is there.
        if (got && !g_search.Down) k = scanBackward(data, got, g_search.Pattern, m, folded);
        if (k >= 0) {
            match = int64_t(start) + k;
            g_search.Pos = g_search.Down ? uint64_t(match) + 1 : uint64_t(match) + m - 1;
            break;
        }
        // A failed read goes on past the chunk as if it had been read whole.
        if (!ok) got = want;
        bool last =
            g_search.Down ? got < kSearchChunk || start + got >= g_doc.FileSize : start == 0;
        if (last || got < m) {
            g_search.Result |= kSearchEnd;
            break;
        }
        g_search.Result |= kSearchGoOn;
        // The next chunk overlaps this one so that a match across the border is found.
        g_search.Pos = g_search.Down ? start + got - (m - 1) : start + (m - 1);
        if (pollSearch(&lastTick)) break;
    }
    if (match >= 0) {
        uint64_t origin = uint64_t(match) & ~uint64_t(511);
        g_search.Result |= kSearchFound;
        g_search.MatchPos = uint64_t(match);
        g_search.MatchOfs = int32_t(uint64_t(match) - origin);
        g_search.MatchLen = m;
        showPageAt(origin, 0, kShowStatus);
        g_paint.matchOrigin = g_doc.AnfPtr;
        g_paint.matchOfs = uint32_t(uint64_t(match) - g_doc.AnfPtr);
        g_paint.matchLen = m;
        paintPage();
    } else {
        g_search.MatchOfs = -1;
        if (g_doc.AnfPtr != keepAnf) movePairTo(keepAnf);
        g_doc.ViewOfs = keepView;
        showPage(kShowStatus);
    }
    g_search.JCursor = pageJournalCursor();
    return match >= 0 ? 0 : 1;
}
