#include "access/rollback.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/textutil.h"

bool (*g_journalBytesKnown)(Handle, uint64_t, void *, uint32_t);

namespace {

constexpr uint32_t kLogMagic = 0x474F4C4B; // "KLOG"
constexpr uint32_t kLogHeader = 16, kEntryHead = 16, kMaxPart = 1024;
// Entry kinds: journal bytes, source bytes, the source's length before a size change.
constexpr uint32_t kSizeEntry = 2;

struct Rollback {
    Handle journal = kInvalidHandle;
    char journalName[260] = {};
    char logName[270] = {};
    Handle log = kInvalidHandle;
    uint32_t mark = 0;       // the running command's number, 0 when none runs
    uint32_t lastMark = 0;   // numbers are not reused within a run
    uint64_t journalEnd = 0; // the journal's length when the command began
    uint64_t sourceSize = 0;
    uint64_t logEnd = 0;
    bool sourceTouched = false, dirty = false;
    bool failed = false;     // a write of the command failed half-way
    bool committing = false; // the header gets the number 0, still under the old one
    // Journal pieces (the header, whole entries) already kept by the running command.
    struct Kept {
        uint32_t mark;
        uint64_t start;
    } kept[4096];
} g_rb;

void put32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void put64(uint8_t *p, uint64_t v) {
    put32(p, uint32_t(v)), put32(p + 4, uint32_t(v >> 32));
}
uint32_t get32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t get64(const uint8_t *p) {
    return get32(p) | uint64_t(get32(p + 4)) << 32;
}

bool readAt(Handle h, uint64_t pos, void *buf, uint32_t n) {
    uint32_t got = 0;
    return plat().seekFile(h, pos) && plat().readFile(h, buf, n, &got) && got == n;
}
bool writeAt(Handle h, uint64_t pos, const void *buf, uint32_t n) {
    uint32_t put = 0;
    return plat().seekFile(h, pos) && plat().writeFile(h, buf, n, &put) && put == n;
}

// Beside the journal: its extension "jnl" becomes "jlg", another name gets ".jlg".
void logName(char out[270], const char *journalName) {
    copyString(out, journalName, 260);
    int n = int(std::strlen(out));
    if (n >= 4 && std::strcmp(out + n - 4, ".jnl") == 0)
        out[n - 2] = 'l', out[n - 1] = 'g';
    else
        appendString(out, ".jlg", 270);
}

void closeLog() {
    if (g_rb.log == kInvalidHandle) return;
    plat().closeHandle(g_rb.log);
    plat().deleteFile(g_rb.logName);
    g_rb.log = kInvalidHandle;
}

bool keep(bool source, Handle from, uint64_t pos, uint32_t len) {
    uint64_t end = source ? g_rb.sourceSize : g_rb.journalEnd;
    if (pos >= end) return true; // beyond the old end: cut off at playback
    uint32_t n = end - pos < len ? uint32_t(end - pos) : len;
    uint8_t buf[kEntryHead + kMaxPart + 4];
    for (uint32_t done = 0; done < n;) {
        uint32_t part = n - done > kMaxPart ? kMaxPart : n - done;
        put32(buf, source ? 1 : 0);
        put32(buf + 4, part);
        put64(buf + 8, pos + done);
        bool known = !source && g_journalBytesKnown &&
                     g_journalBytesKnown(from, pos + done, buf + kEntryHead, part);
        if (!known && !readAt(from, pos + done, buf + kEntryHead, part)) {
            reportError(kReadErrorPrefix, source ? g_doc.SrcName : g_rb.journalName);
            return false;
        }
        put32(buf + kEntryHead + part, kEntryHead + part);
        if (!writeAt(g_rb.log, g_rb.logEnd, buf, kEntryHead + part + 4)) {
            reportError(kWriteErrorPrefix, g_rb.logName);
            return false;
        }
        g_rb.logEnd += kEntryHead + part + 4;
        done += part;
    }
    g_rb.dirty = true;
    return true;
}

// The journal piece around pos: the header, an entry's record of 128 bytes or its 512 data
// bytes (most rewrites touch a record alone).
void pieceOf(uint64_t pos, uint64_t *start, uint32_t *len) {
    if (pos < 1024) {
        *start = 0, *len = 1024;
        return;
    }
    uint64_t entry = 1024 + (pos - 1024) / 640 * 640;
    if (pos < entry + 128)
        *start = entry, *len = 128;
    else
        *start = entry + 128, *len = 512;
}

// Whether the piece at `start` was kept by this command; remembers it when `add`.
bool seen(uint64_t start, bool add) {
    const uint32_t size = sizeof g_rb.kept / sizeof g_rb.kept[0];
    uint32_t h = uint32_t((start * 0x9E3779B97F4A7C15ull) >> 52) % size;
    for (uint32_t i = 0; i < 8; ++i) {
        Rollback::Kept &k = g_rb.kept[(h + i) % size];
        if (k.mark == g_rb.mark && k.start == start) return true;
        if (k.mark != g_rb.mark) {
            if (add) k = {g_rb.mark, start};
            return false;
        }
    }
    // Crowded: the newest piece takes the first place (a piece kept twice does no harm).
    if (add) g_rb.kept[h] = {g_rb.mark, start};
    return false;
}

// Keeps whole pieces of the journal, each once per command.
bool keepJournal(Handle journal, uint64_t pos, uint32_t len) {
    for (uint64_t p = pos; p < pos + len;) {
        uint64_t start;
        uint32_t n;
        pieceOf(p, &start, &n);
        if (!seen(start, false)) {
            if (!keep(false, journal, start, n)) return false;
            seen(start, true);
        }
        p = start + n;
    }
    return true;
}

// A command begins: a new log with its number, and the number into the header.
bool begin() {
    Platform &p = plat();
    if (!p.fileSize(g_rb.journal, &g_rb.journalEnd)) return false;
    g_rb.log = p.openFile(g_rb.logName, kAccessRead | kAccessWrite, 0, Disposition::CreateAlways);
    if (g_rb.log == kInvalidHandle) {
        reportError(kWriteErrorPrefix, g_rb.logName);
        return false;
    }
    // A drive may not tell its size through the handle; the document knows it.
    g_rb.sourceSize = g_doc.FileSize;
    uint64_t size = 0;
    if (sourceOpen() && p.fileSize(g_doc.SrcHandle, &size) && size > g_rb.sourceSize)
        g_rb.sourceSize = size;
    uint32_t mark = g_rb.lastMark + 1 ? g_rb.lastMark + 1 : 1;
    g_rb.lastMark = mark; // never used twice, not even after a failure
    uint8_t head[kLogHeader];
    put32(head, kLogMagic);
    put32(head + 4, mark);
    put64(head + 8, g_rb.journalEnd);
    g_rb.logEnd = kLogHeader;
    g_rb.sourceTouched = false;
    g_rb.failed = false;
    uint8_t m[4];
    put32(m, mark);
    g_rb.mark = mark; // the pieces kept from here on are this command's
    if (!writeAt(g_rb.log, 0, head, sizeof head) || !keepJournal(g_rb.journal, 0x44, 4)) {
        g_rb.mark = 0;
        reportError(kWriteErrorPrefix, g_rb.logName);
        closeLog();
        return false;
    }
    if (!writeAt(g_rb.journal, 0x44, m, 4)) {
        reportError(kWriteErrorPrefix, g_rb.journalName);
        closeLog();
        g_rb.mark = 0;
        return false;
    }
    return true;
}

} // namespace

void resetRollback() {
    g_rb = Rollback{};
}

void rollbackAttach(Handle journal, const char *journalName) {
    if (journal == g_rb.journal) return;
    rollbackDetach(g_rb.journal);
    g_rb.journal = journal;
    copyString(g_rb.journalName, journalName, sizeof g_rb.journalName);
    logName(g_rb.logName, journalName);
}

void rollbackDetach(Handle journal) {
    if (journal == kInvalidHandle || journal != g_rb.journal) return;
    closeLog();
    g_rb.journal = kInvalidHandle;
    g_rb.mark = 0;
    g_rb.committing = false;
}

uint32_t rollbackMark() {
    return g_rb.committing ? 0 : g_rb.mark;
}

bool rollbackBeforeJournal(Handle journal, const char *journalName, uint64_t pos, uint32_t len) {
    rollbackAttach(journal, journalName);
    if (!g_rb.mark && !begin()) return false;
    return keepJournal(journal, pos, len);
}

bool rollbackBeforeSource(uint64_t pos, uint32_t len) {
    if (g_rb.journal == kInvalidHandle) return true; // no journal: nothing to take back with
    if (!g_rb.mark && !begin()) return false;
    if (!g_rb.sourceTouched) {
        // The number and every old byte so far are on the disk before the source changes.
        rollbackSync();
        if (!plat().flushFile(g_rb.journal)) return false;
        g_rb.sourceTouched = true;
    }
    return keep(true, g_doc.SrcHandle, pos, len);
}

bool rollbackBeforeResize() {
    if (g_rb.journal == kInvalidHandle) return true;
    if (!g_rb.mark && !begin()) return false;
    uint8_t e[kEntryHead + 4];
    put32(e, kSizeEntry);
    put32(e + 4, 0);
    put64(e + 8, g_rb.sourceSize);
    put32(e + kEntryHead, kEntryHead);
    if (!writeAt(g_rb.log, g_rb.logEnd, e, sizeof e)) {
        reportError(kWriteErrorPrefix, g_rb.logName);
        return false;
    }
    g_rb.logEnd += sizeof e;
    g_rb.dirty = true;
    // As before a write: the number and the old length are on the disk before the change.
    rollbackSync();
    if (!plat().flushFile(g_rb.journal)) return false;
    g_rb.sourceTouched = true;
    return true;
}

void rollbackSync() {
    if (g_rb.log == kInvalidHandle || !g_rb.dirty) return;
    if (!plat().flushFile(g_rb.log)) reportError(kWriteErrorPrefix, g_rb.logName);
    g_rb.dirty = false;
}

bool rollbackSourceTouched() {
    return g_rb.mark && g_rb.sourceTouched;
}

bool rollbackFlushForCommit(Handle journal) {
    if (journal != g_rb.journal) rollbackDetach(g_rb.journal);
    if (!g_rb.mark) return false;
    rollbackSync();
    if (g_rb.sourceTouched && sourceOpen() && !plat().flushFile(g_doc.SrcHandle))
        reportError(kWriteErrorPrefix, g_doc.SrcName);
    g_rb.committing = true;
    return true;
}

void rollbackEnd() {
    rollbackSync();
    if (!plat().flushFile(g_rb.journal)) reportError(kWriteErrorPrefix, g_rb.journalName);
    closeLog();
    g_rb.mark = 0;
    g_rb.committing = false;
}

void rollbackFail() {
    if (g_rb.mark) g_rb.failed = true;
}

bool rollbackFailed() {
    return g_rb.mark && g_rb.failed;
}

bool rollbackTakeBack(const char *sourceName) {
    if (!g_rb.mark || g_rb.log == kInvalidHandle) return false;
    uint32_t mark = g_rb.mark;
    plat().closeHandle(g_rb.log); // the playback opens the log itself and removes it
    g_rb.log = kInvalidHandle;
    g_rb.mark = 0;
    g_rb.failed = g_rb.committing = g_rb.dirty = false;
    return rollbackRecover(g_rb.journal, g_rb.journalName, mark, sourceName);
}

bool rollbackLogExists(const char *journalName) {
    char name[270];
    logName(name, journalName);
    Handle log = plat().openFile(name, kAccessRead, kShareRead, Disposition::OpenExisting);
    if (log == kInvalidHandle) return false;
    plat().closeHandle(log);
    return true;
}

bool rollbackRecover(Handle journal, const char *journalName, uint32_t mark,
                     const char *sourceName) {
    Platform &p = plat();
    char name[270];
    logName(name, journalName);
    Handle log = p.openFile(name, kAccessRead, 0, Disposition::OpenExisting);
    if (log == kInvalidHandle) return false;
    uint8_t head[kLogHeader];
    uint64_t size = 0;
    bool ours = p.fileSize(log, &size) && readAt(log, 0, head, sizeof head) &&
                get32(head) == kLogMagic && mark != 0 && get32(head + 4) == mark;
    if (!ours) {
        p.closeHandle(log);
        p.deleteFile(name);
        return false;
    }
    // The whole entries; a torn last one was never followed by the change it protects.
    uint64_t end = kLogHeader;
    for (;;) {
        uint8_t e[kEntryHead], t[4];
        if (end + kEntryHead > size || !readAt(log, end, e, sizeof e)) break;
        uint32_t len = get32(e + 4);
        if (len > kMaxPart || end + kEntryHead + len + 4 > size ||
            !readAt(log, end + kEntryHead + len, t, 4) || get32(t) != kEntryHead + len)
            break;
        end += kEntryHead + len + 4;
    }
    Handle src =
        p.openFile(sourceName, kAccessRead | kAccessWrite,
                   diskMode() ? kShareRead | kShareWrite : kShareRead, Disposition::OpenExisting);
    uint8_t buf[kEntryHead + kMaxPart + 4];
    while (end > kLogHeader) {
        uint8_t t[4];
        if (!readAt(log, end - 4, t, 4)) break;
        uint64_t start = end - 4 - get32(t);
        if (!readAt(log, start, buf, get32(t))) break;
        bool source = get32(buf) != 0;
        if (get32(buf) == kSizeEntry) {
            // Only a growth is taken back: the bytes a shrinking cut off are gone, and the
            // file stays as short as the user wanted it.
            uint64_t now = 0, was = get64(buf + 8);
            if (src != kInvalidHandle && p.fileSize(src, &now) && now > was &&
                (!p.seekFile(src, was) || !p.setEndOfFile(src)))
                reportError(kWriteErrorPrefix, sourceName);
            end = start;
            continue;
        }
        Handle to = source ? src : journal;
        if (to == kInvalidHandle || !writeAt(to, get64(buf + 8), buf + kEntryHead, get32(buf + 4)))
            reportError(kWriteErrorPrefix, source ? sourceName : journalName);
        end = start;
    }
    if (!p.seekFile(journal, get64(head + 8)) || !p.setEndOfFile(journal))
        reportError(kWriteErrorPrefix, journalName);
    if (src != kInvalidHandle) {
        p.flushFile(src);
        p.closeHandle(src);
    }
    p.flushFile(journal);
    p.closeHandle(log);
    p.deleteFile(name);
    return true;
}
