#include "journal/format.h"

#include <cstring>

#include "access/errors.h"
#include "access/rollback.h"
#include "access/textutil.h"

JournalState g_jnl;

void resetJournalState() {
    forgetJournalCache();
    std::memset(&g_jnl, 0, sizeof g_jnl);
    g_jnl.JnlHandle = kInvalidHandle;
    g_jnl.JnlEnd = kJnlHeaderSize;
    g_jnl.JPrevPtr = g_jnl.JNextPtr = kNullPtr;
    g_jnl.Header.Undo = g_jnl.Header.Rest = kNullPtr;
    g_jnl.Header.FirstPtr = g_jnl.Header.LastPtr = g_jnl.Header.UndoFirst = kNullPtr;
}

uint32_t getU32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t getU64(const uint8_t *p) {
    return uint64_t(getU32(p)) | uint64_t(getU32(p + 4)) << 32;
}

void putU32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void putU64(uint8_t *p, uint64_t v) {
    putU32(p, uint32_t(v));
    putU32(p + 4, uint32_t(v >> 32));
}

void encodeHeader(const JournalHeader &h, uint8_t out[kJnlHeaderSize]) {
    std::memcpy(out, h.image, kJnlHeaderSize);
    putU32(out + kHdrMagic, h.Magic);
    putU64(out + kHdrAnfPtr, h.SavedAnfPtr);
    putU32(out + kHdrViewOfs, h.SavedViewOfs);
    putU64(out + kHdrUndo, h.Undo);
    putU64(out + kHdrRest, h.Rest);
    putU64(out + kHdrFirstPtr, h.FirstPtr);
    putU64(out + kHdrLastPtr, h.LastPtr);
    putU64(out + kHdrMarkStart, h.MarkStart);
    putU64(out + kHdrMarkEnd, h.MarkEnd);
    putU32(out + kHdrMarkFlag, h.MarkFlag);
    // Only while a command runs: otherwise the bytes stay as they came.
    if (rollbackMark()) putU32(out + kHdrCommand, rollbackMark());
    putU64(out + kHdrJnlEnd, h.JnlEndAtClose);
    putU64(out + kHdrSourceTime, h.SourceTime);
    putU64(out + kHdrUndoFirst, h.UndoFirst);
    std::memcpy(out + kHdrSourceName, h.SourceName, kHdrNameSize);
    std::memcpy(out + kHdrPrevJournal, h.PrevJournal, kHdrNameSize);
    std::memcpy(out + kHdrNextJournal, h.NextJournal, kHdrNextJournalSize);
}

void decodeHeader(const uint8_t in[kJnlHeaderSize], JournalHeader &h) {
    std::memcpy(h.image, in, kJnlHeaderSize);
    h.Magic = getU32(in + kHdrMagic);
    h.SavedAnfPtr = getU64(in + kHdrAnfPtr);
    h.SavedViewOfs = getU32(in + kHdrViewOfs);
    h.Undo = getU64(in + kHdrUndo);
    h.Rest = getU64(in + kHdrRest);
    h.FirstPtr = getU64(in + kHdrFirstPtr);
    h.LastPtr = getU64(in + kHdrLastPtr);
    h.MarkStart = getU64(in + kHdrMarkStart);
    h.MarkEnd = getU64(in + kHdrMarkEnd);
    h.MarkFlag = getU32(in + kHdrMarkFlag);
    h.JnlEndAtClose = getU64(in + kHdrJnlEnd);
    h.SourceTime = getU64(in + kHdrSourceTime);
    h.UndoFirst = getU64(in + kHdrUndoFirst);
    std::memcpy(h.SourceName, in + kHdrSourceName, kHdrNameSize);
    std::memcpy(h.PrevJournal, in + kHdrPrevJournal, kHdrNameSize);
    std::memcpy(h.NextJournal, in + kHdrNextJournal, kHdrNextJournalSize);
}

void encodeRecord(const JournalRecord &r, uint8_t *out, uint32_t n) {
    uint8_t img[kJnlRecordSize];
    putU64(img + kRecAdr, r.Adr);
    putU64(img + kRecPrevPtr, r.PrevPtr);
    putU64(img + kRecNextPtr, r.NextPtr);
    putU64(img + kRecPUndo, r.PUndo);
    putU32(img + kRecLen, r.Len);
    putU64(img + kRecPJnl, r.PJnl);
    putU64(img + kRecNJnl, r.NJnl);
    putU64(img + kRecNUndo, r.NUndo);
    putU32(img + kRecFlags, r.Flags);
    std::memcpy(img + kRecModBits, r.ModBits, 64);
    std::memcpy(out, img, n > kJnlRecordSize ? kJnlRecordSize : n);
}

void decodeRecord(const uint8_t *in, uint32_t n, JournalRecord &r) {
    r.Adr = getU64(in + kRecAdr);
    r.PrevPtr = getU64(in + kRecPrevPtr);
    r.NextPtr = getU64(in + kRecNextPtr);
    r.PUndo = getU64(in + kRecPUndo);
    r.Len = getU32(in + kRecLen);
    r.PJnl = getU64(in + kRecPJnl);
    r.NJnl = getU64(in + kRecNJnl);
    r.NUndo = getU64(in + kRecNUndo);
    r.Flags = getU32(in + kRecFlags);
    if (n >= kJnlRecordSize) std::memcpy(r.ModBits, in + kRecModBits, 64);
}

void initHeaderFields(JournalHeader &h, const char *sourcePath) {
    h.Magic = kJnlMagic;
    h.SavedAnfPtr = 0;
    h.SavedViewOfs = 0;
    h.Undo = h.Rest = h.FirstPtr = h.LastPtr = kNullPtr;
    h.MarkStart = h.MarkEnd = 0;
    h.MarkFlag = 0;
    std::memset(h.SourceName, 0, sizeof h.SourceName);
    std::memset(h.PrevJournal, 0, sizeof h.PrevJournal);
    std::memset(h.NextJournal, 0, sizeof h.NextJournal);
    copyString(h.SourceName, sourcePath, kHdrNameSize);
    copyString(h.PrevJournal, "PrevJournal", kHdrNameSize);
    copyString(h.NextJournal, "NextJournal", kHdrNextJournalSize);
}

// ---- file access ----

static void reportRead() {
    reportError(kReadErrorPrefix, g_jnl.JnlName);
}
static void reportWrite() {
    reportError(kWriteErrorPrefix, g_jnl.JnlName);
}

void reportDamagedJournal() {
    g_jnl.Damaged = true;
    plat().setLastError(13); // "ungültige Daten !"
    reportRead();
}

uint64_t entryCount() {
    return g_jnl.JnlEnd > kJnlHeaderSize ? (g_jnl.JnlEnd - kJnlHeaderSize) / kJnlEntrySize : 0;
}

bool validEntry(uint64_t p) {
    if (isNullPtr(p) || p < kJnlHeaderSize) return false;
    if ((p - kJnlHeaderSize) % kJnlEntrySize != 0) return false;
    return p <= g_jnl.JnlEnd && g_jnl.JnlEnd - p >= kJnlEntrySize;
}

// ---- the record cache ----
// A save or an undo reads the same neighbours' fields again and again. The first 128 bytes
// of recently used entries are kept here, written through: the file always holds them too.
namespace {
constexpr int kCacheSlots = 512;
struct RecordCache {
    Handle handle = kInvalidHandle;
    char name[sizeof g_jnl.JnlName];
    uint64_t pos[kCacheSlots];
    uint8_t have[kCacheSlots]; // bytes valid from the entry's start: 0, 64 or 128
    uint8_t bytes[kCacheSlots][kJnlRecordSize];
} g_cache;

int slotOf(uint64_t p) {
    return int(((p - kJnlHeaderSize) / kJnlEntrySize) % kCacheSlots);
}

// Whether the cache speaks for the journal in use; a new one starts empty.
bool cacheFor() {
    if (g_cache.handle == g_jnl.JnlHandle && std::strcmp(g_cache.name, g_jnl.JnlName) == 0)
        return g_cache.handle != kInvalidHandle;
    forgetJournalCache();
    g_cache.handle = g_jnl.JnlHandle;
    copyString(g_cache.name, g_jnl.JnlName, sizeof g_cache.name);
    return g_cache.handle != kInvalidHandle;
}

bool cachedRead(uint64_t p, void *buf, uint32_t n) {
    if (p < kJnlHeaderSize || (p - kJnlHeaderSize) % kJnlEntrySize || !cacheFor()) return false;
    int s = slotOf(p);
    if (g_cache.pos[s] != p || g_cache.have[s] < n) return false;
    std::memcpy(buf, g_cache.bytes[s], n);
    return true;
}

// The log of old bytes takes a record's first bytes from here when the cache has them.
bool knownBytes(Handle h, uint64_t p, void *buf, uint32_t n) {
    return h == g_jnl.JnlHandle && n <= kJnlRecordSize && cachedRead(p, buf, n);
}
const bool g_knownBytesHooked = (g_journalBytesKnown = knownBytes, true);

void cacheRead(uint64_t p, const void *buf, uint32_t n) {
    if (p < kJnlHeaderSize || (p - kJnlHeaderSize) % kJnlEntrySize || !cacheFor()) return;
    int s = slotOf(p);
    std::memcpy(g_cache.bytes[s], buf, n);
    g_cache.pos[s] = p;
    g_cache.have[s] = uint8_t(n);
}
} // namespace

void forgetJournalCache() {
    g_cache.handle = kInvalidHandle;
    g_cache.name[0] = 0;
    std::memset(g_cache.have, 0, sizeof g_cache.have);
}

// Bytes [pos, pos + n) of the journal were written (or their write failed: `buf` null).
void noteJournalWrite(uint64_t pos, const void *buf, uint32_t n) {
    if (!cacheFor() || pos + n <= kJnlHeaderSize) return;
    const uint8_t *b = static_cast<const uint8_t *>(buf);
    uint64_t first = pos < kJnlHeaderSize ? 0 : (pos - kJnlHeaderSize) / kJnlEntrySize;
    for (uint64_t k = first;; ++k) {
        uint64_t e = kJnlHeaderSize + k * kJnlEntrySize;
        if (e >= pos + n) break;
        int s = slotOf(e);
        bool cached = g_cache.pos[s] == e && g_cache.have[s];
        if (b && pos <= e && pos + n >= e + kJnlRecordSize) {
            cacheRead(e, b + (e - pos), kJnlRecordSize); // the whole prefix is new
        } else if (cached) {
            uint64_t end = e + g_cache.have[s];
            uint64_t from = pos > e ? pos : e, to = pos + n < end ? pos + n : end;
            if (from >= to) continue;
            if (b)
                std::memcpy(g_cache.bytes[s] + (from - e), b + (from - pos), size_t(to - from));
            else
                g_cache.have[s] = 0;
        } else if (b && pos == e && n >= kJnlFieldsSize) {
            cacheRead(e, b, kJnlFieldsSize);
        }
    }
}

// Seeks and reads exactly n bytes; a short read counts as a damaged journal.
static bool readAt(uint64_t pos, void *buf, uint32_t n) {
    Platform &p = plat();
    uint32_t got = 0;
    if (!p.seekFile(g_jnl.JnlHandle, pos) || !p.readFile(g_jnl.JnlHandle, buf, n, &got)) {
        reportRead();
        return false;
    }
    if (got != n) {
        p.setLastError(kErrHandleEof);
        reportRead();
        return false;
    }
    return true;
}

static bool writeAt(uint64_t pos, const void *buf, uint32_t n, bool kept = false) {
    Platform &p = plat();
    uint32_t put = 0;
    if (!kept && !rollbackBeforeJournal(g_jnl.JnlHandle, g_jnl.JnlName, pos, n)) return false;
    if (!p.seekFile(g_jnl.JnlHandle, pos) || !p.writeFile(g_jnl.JnlHandle, buf, n, &put) ||
        put != n) {
        noteJournalWrite(pos, nullptr, n);
        reportWrite();
        return false;
    }
    noteJournalWrite(pos, buf, n);
    return true;
}

bool readHeader(uint32_t *got) {
    Platform &p = plat();
    uint8_t buf[kJnlHeaderSize];
    std::memset(buf, 0, sizeof buf);
    *got = 0;
    if (!p.seekFile(g_jnl.JnlHandle, 0) || !p.readFile(g_jnl.JnlHandle, buf, sizeof buf, got)) {
        reportRead();
        *got = 0;
    }
    decodeHeader(buf, g_jnl.Header);
    return *got == kJnlHeaderSize;
}

bool writeHeader() {
    // Within a command the old header is kept first. Between commands the file holds the
    // chain heads already: the write changes nothing that would need taking back.
    if (rollbackMark() && !rollbackBeforeJournal(g_jnl.JnlHandle, g_jnl.JnlName, 0, kJnlHeaderSize))
        return false;
    uint8_t buf[kJnlHeaderSize], own[4];
    encodeHeader(g_jnl.Header, buf);
    // The image keeps the bytes that came with the file where the command's number goes.
    std::memcpy(own, g_jnl.Header.image + kHdrCommand, sizeof own);
    std::memcpy(g_jnl.Header.image, buf, kJnlHeaderSize);
    std::memcpy(g_jnl.Header.image + kHdrCommand, own, sizeof own);
    return writeAt(0, buf, kJnlHeaderSize, true);
}

bool readFields(uint64_t p, JournalRecord &r) {
    if (!validEntry(p)) {
        reportDamagedJournal();
        return false;
    }
    uint8_t buf[kJnlRecordSize];
    if (!cachedRead(p, buf, kJnlFieldsSize)) {
        // The whole first part in one read: the fields are often followed by the rest.
        if (!readAt(p, buf, kJnlRecordSize)) return false;
        cacheRead(p, buf, kJnlRecordSize);
    }
    decodeRecord(buf, kJnlFieldsSize, r);
    return true;
}

bool readRecord(uint64_t p, JournalRecord &r) {
    if (!validEntry(p)) {
        reportDamagedJournal();
        return false;
    }
    uint8_t buf[kJnlRecordSize];
    if (cachedRead(p, buf, sizeof buf)) {
        // The data bytes follow: the file stands before them as after a read.
        if (!plat().seekFile(g_jnl.JnlHandle, p + kJnlRecordSize)) {
            reportRead();
            return false;
        }
    } else {
        if (!readAt(p, buf, sizeof buf)) return false;
        cacheRead(p, buf, sizeof buf);
    }
    decodeRecord(buf, kJnlRecordSize, r);
    r.JAdr = p;
    return true;
}

bool readData(uint8_t buf[kJnlDataSize]) {
    Platform &p = plat();
    uint32_t got = 0;
    if (!p.readFile(g_jnl.JnlHandle, buf, kJnlDataSize, &got)) {
        reportRead();
        return false;
    }
    if (got != kJnlDataSize) {
        p.setLastError(kErrHandleEof);
        reportRead();
        return false;
    }
    return true;
}

bool readDataByte(uint64_t p, uint32_t i, uint8_t *out) {
    if (!validEntry(p) || i >= kJnlDataSize) {
        reportDamagedJournal();
        return false;
    }
    return readAt(p + kJnlRecordSize + i, out, 1);
}

bool rewriteRecord(const JournalRecord &r, uint32_t n) {
    if (!validEntry(r.JAdr)) {
        reportDamagedJournal();
        return false;
    }
    uint8_t buf[kJnlRecordSize];
    encodeRecord(r, buf, n);
    return writeAt(r.JAdr, buf, n);
}

bool writeData(uint64_t p, const uint8_t data[kJnlDataSize]) {
    if (!validEntry(p)) {
        reportDamagedJournal();
        return false;
    }
    return writeAt(p + kJnlRecordSize, data, kJnlDataSize);
}
