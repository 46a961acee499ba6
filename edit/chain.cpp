#include "edit/chain.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/sector.h"
#include "journal/lifecycle.h"

JournalRecord &pageRecord(int block) {
    return block == 2 ? g_jnl.JData2 : g_jnl.JData1;
}

uint32_t pageRecordBit(int block) {
    return block == 2 ? 2u : 1u;
}

JournalRecord *otherPageRecord(int block) {
    int other = block == 2 ? 1 : 2;
    return (g_doc.JReadFlag & pageRecordBit(other)) ? &pageRecord(other) : nullptr;
}

void assignLink(uint64_t &field, uint64_t value) {
    field = isNullPtr(value) ? nulled(field) : value;
}

namespace {

enum Link { AddrPrev, AddrNext, UndoPrev, UndoNext, RestoreNext, VersionPrev };

uint64_t &linkField(JournalRecord &r, Link which) {
    switch (which) {
    case AddrPrev:
        return r.PrevPtr;
    case AddrNext:
    case RestoreNext:
        return r.NextPtr;
    case UndoPrev:
        return r.PUndo;
    case UndoNext:
        return r.NUndo;
    case VersionPrev:
        break;
    }
    return r.PJnl;
}

// Keeps the in-memory page records equal to what was written.
void mirror(uint64_t p, Link which, uint64_t value) {
    for (int block = 1; block <= 2; ++block) {
        JournalRecord &r = pageRecord(block);
        if ((g_doc.JReadFlag & pageRecordBit(block)) && r.JAdr == p)
            assignLink(linkField(r, which), value);
    }
}

bool setLink(uint64_t p, Link which, uint64_t value) {
    JournalRecord r{};
    if (!readFields(p, r)) return false;
    r.JAdr = p;
    assignLink(linkField(r, which), value);
    bool ok;
    switch (which) {
    case AddrPrev:
    case AddrNext:
        ok = propagateLinks(r);
        break;
    case RestoreNext:
        ok = rewriteRecord(r, kPrefixUndo);
        break;
    case VersionPrev:
        ok = rewriteRecord(r, kPrefixVersion);
        break;
    default:
        ok = rewriteRecord(r, kPrefixFields);
        break;
    }
    if (ok) mirror(p, which, value);
    return ok;
}

} // namespace

bool setAddrNext(uint64_t p, uint64_t value) {
    return setLink(p, AddrNext, value);
}
bool setAddrPrev(uint64_t p, uint64_t value) {
    return setLink(p, AddrPrev, value);
}
bool setUndoNext(uint64_t p, uint64_t value) {
    return setLink(p, UndoNext, value);
}
bool setUndoPrev(uint64_t p, uint64_t value) {
    return setLink(p, UndoPrev, value);
}
bool setRestoreNext(uint64_t p, uint64_t value) {
    return setLink(p, RestoreNext, value);
}
bool setVersionPrev(uint64_t p, uint64_t value) {
    return setLink(p, VersionPrev, value);
}

bool writeEntry(uint64_t pos, const JournalRecord &r, const uint8_t *data, uint32_t len) {
    uint8_t buf[kJnlEntrySize];
    encodeRecord(r, buf, kJnlRecordSize);
    // Only the first Len bytes mean anything; the rest is written as zero, not as whatever
    // an earlier page left in the buffer.
    if (len > kJnlDataSize) len = kJnlDataSize;
    std::memcpy(buf + kJnlRecordSize, data, len);
    std::memset(buf + kJnlRecordSize + len, 0, kJnlDataSize - len);
    Platform &p = plat();
    uint32_t put = 0;
    if (!p.seekFile(g_jnl.JnlHandle, pos) || !p.writeFile(g_jnl.JnlHandle, buf, sizeof buf, &put) ||
        put != sizeof buf) {
        reportError(kWriteErrorPrefix, g_jnl.JnlName);
        return false;
    }
    return true;
}

void trimJournal(uint64_t end) {
    Platform &p = plat();
    uint64_t size = 0;
    if (!p.fileSize(g_jnl.JnlHandle, &size) || size <= end) return;
    if (!p.seekFile(g_jnl.JnlHandle, end) || !p.setEndOfFile(g_jnl.JnlHandle))
        reportError(kWriteErrorPrefix, g_jnl.JnlName);
}

static bool diskMode() {
    return (g_doc.ModFlag & (kModDisk | kModSector)) != 0;
}

bool readSourceBytes(uint64_t pos, uint32_t len, uint8_t *out, uint32_t *got) {
    Platform &p = plat();
    *got = 0;
    bool ok;
    if (g_doc.ModFlag & kModSector) {
        ok = sectorRead(pos >> 9, len / 512, out);
        if (ok) *got = len;
    } else {
        ok = p.seekFile(g_doc.SrcHandle, pos) && p.readFile(g_doc.SrcHandle, out, len, got);
    }
    if (!ok) reportError(kReadErrorPrefix, g_doc.SrcName);
    return ok;
}

bool readSourceByte(uint64_t pos, uint8_t *out) {
    if (!diskMode()) {
        uint32_t got = 0;
        return readSourceBytes(pos, 1, out, &got) && got == 1;
    }
    // Drives are read in whole sectors only.
    static uint8_t sector[512];
    uint32_t got = 0;
    if (!readSourceBytes(pos & ~uint64_t(511), 512, sector, &got) || got <= (pos & 511))
        return false;
    *out = sector[pos & 511];
    return true;
}

bool writeSourceBytes(uint64_t pos, uint32_t len, const uint8_t *data) {
    Platform &p = plat();
    bool ok;
    if (g_doc.ModFlag & kModSector) {
        ok = sectorWrite(pos >> 9, len / 512, data);
    } else {
        uint32_t put = 0;
        ok = p.seekFile(g_doc.SrcHandle, pos) && p.writeFile(g_doc.SrcHandle, data, len, &put) &&
             put == len;
    }
    if (!ok) reportError(kWriteErrorPrefix, g_doc.SrcName);
    return ok;
}

int unlinkRecord(int block, uint32_t setFlags, uint32_t clearFlags) {
    uint32_t bit = pageRecordBit(block);
    if (!(g_doc.JReadFlag & bit) || !journalOpen()) return 1;
    JournalRecord &r = pageRecord(block);
    JournalHeader &h = g_jnl.Header;
    bool hasPrev = !isNullPtr(r.PrevPtr), hasNext = !isNullPtr(r.NextPtr);
    // Every version of each neighbour gets the new link, so that whichever version a later
    // walk reaches agrees with the chain.
    if (hasPrev)
        setAddrNext(r.PrevPtr, r.NextPtr);
    else
        assignLink(h.FirstPtr, r.NextPtr);
    if (hasNext)
        setAddrPrev(r.NextPtr, r.PrevPtr);
    else
        assignLink(h.LastPtr, r.PrevPtr);
    if (!hasPrev && !hasNext) showSourceTitle();
    r.Flags = ((r.Flags & ~(clearFlags | kFlagLinked)) | setFlags) & kFlagUsedMask;
    g_doc.JReadFlag &= ~bit;
    return rewriteRecord(r, kPrefixFields) ? 0 : 1;
}
