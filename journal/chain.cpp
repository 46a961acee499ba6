#include "journal/chain.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/rollback.h"
#include "view/status.h"

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

// Walks one direction of the version chain from `start`, giving each version the links of
// `node`. The walk ends at null, and with a report on a pointer that leads outside the
// journal, back to the node, or on for more steps than the journal has entries.
static bool propagateAlong(const JournalRecord &node, uint64_t start, bool older) {
    JournalRecord &v = g_jnl.WorkRec[1];
    uint64_t q = start, limit = entryCount();
    for (uint64_t steps = 0; !isNullPtr(q); ++steps) {
        if (q == node.JAdr || steps >= limit) {
            reportDamagedJournal();
            return false;
        }
        if (!readFields(q, v)) return false;
        v.Adr = node.Adr;
        v.PrevPtr = node.PrevPtr;
        v.NextPtr = node.NextPtr;
        v.JAdr = q;
        if (!rewriteRecord(v, kPrefixLinks)) return false;
        q = older ? v.PJnl : v.NJnl;
    }
    return true;
}

bool propagateLinks(const JournalRecord &node) {
    if (!rewriteRecord(node, kPrefixLinks)) return false;
    bool ok = propagateAlong(node, node.PJnl, true);
    return propagateAlong(node, node.NJnl, false) && ok;
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
    if (!rollbackBeforeJournal(g_jnl.JnlHandle, g_jnl.JnlName, pos, sizeof buf)) return false;
    if (!p.seekFile(g_jnl.JnlHandle, pos) || !p.writeFile(g_jnl.JnlHandle, buf, sizeof buf, &put) ||
        put != sizeof buf) {
        noteJournalWrite(pos, nullptr, sizeof buf);
        reportError(kWriteErrorPrefix, g_jnl.JnlName);
        return false;
    }
    noteJournalWrite(pos, buf, sizeof buf);
    return true;
}

bool appendEntry(JournalRecord &r, const uint8_t *data, uint32_t len) {
    uint64_t end = g_jnl.JnlEnd;
    r.JAdr = end;
    g_jnl.JnlEnd += kJnlEntrySize;
    if (writeEntry(end, r, data, len)) return true;
    trimJournal(end);
    g_jnl.JnlEnd = end;
    return false;
}

void trimJournal(uint64_t end) {
    Platform &p = plat();
    uint64_t size = 0;
    if (!p.fileSize(g_jnl.JnlHandle, &size) || size <= end) return;
    if (!p.seekFile(g_jnl.JnlHandle, end) || !p.setEndOfFile(g_jnl.JnlHandle))
        reportError(kWriteErrorPrefix, g_jnl.JnlName);
}

// ---- the undo chain and a block's neighbours ----

bool inUndoChain(const JournalRecord &r) {
    const JournalHeader &h = g_jnl.Header;
    return !isNullPtr(r.PUndo) || !isNullPtr(r.NUndo) ||
           (!isNullPtr(h.UndoFirst) && h.UndoFirst == r.JAdr);
}

void unlinkUndo(const JournalRecord &r) {
    JournalHeader &h = g_jnl.Header;
    if (!isNullPtr(r.PUndo) && r.PUndo != r.JAdr)
        setUndoNext(r.PUndo, r.NUndo);
    else if (!isNullPtr(h.UndoFirst) && h.UndoFirst == r.JAdr)
        assignLink(h.UndoFirst, r.NUndo);
    if (!isNullPtr(r.NUndo) && r.NUndo != r.JAdr) setUndoPrev(r.NUndo, r.PUndo);
}

void insertUndo(JournalRecord &r, bool inChain) {
    JournalHeader &h = g_jnl.Header;
    if (!isNullPtr(r.PUndo) && r.PUndo == r.JAdr) return; // would be its own neighbour
    uint64_t after = r.PUndo;
    if (inChain) {
        // Out of its old place first; the neighbours it had are linked to each other.
        JournalRecord old = r;
        JournalRecord cur{};
        if (readFields(r.JAdr, cur)) {
            old.PUndo = cur.PUndo;
            old.NUndo = cur.NUndo;
        }
        old.JAdr = r.JAdr;
        unlinkUndo(old);
    }
    r.PUndo = after;
    if (!isNullPtr(after)) {
        JournalRecord p{};
        if (!readFields(after, p)) return;
        r.NUndo = p.NUndo;
        setUndoNext(after, r.JAdr);
    } else {
        r.NUndo = h.UndoFirst;
        h.UndoFirst = r.JAdr;
    }
    if (!isNullPtr(r.NUndo)) {
        if (r.NUndo == r.JAdr)
            r.NUndo = nulled(r.NUndo);
        else
            setUndoPrev(r.NUndo, r.JAdr);
    }
    // The journal holds r's links from here on: later link updates read them from there.
    rewriteRecord(r, kPrefixFields);
}

void refreshUndoLinks(JournalRecord &r) {
    JournalRecord cur{};
    if (!readFields(r.JAdr, cur)) return;
    r.PUndo = cur.PUndo;
    r.NUndo = cur.NUndo;
}

void moveToUndoCursor(JournalRecord &r) {
    JournalHeader &h = g_jnl.Header;
    if (!isNullPtr(h.Undo) && h.Undo == r.JAdr) return;
    bool inChain = inUndoChain(r);
    r.PUndo = h.Undo;
    h.Undo = r.JAdr;
    insertUndo(r, inChain);
}

void relinkNeighbours(JournalRecord &r) {
    JournalHeader &h = g_jnl.Header;
    if (!isNullPtr(r.PrevPtr))
        setAddrNext(r.PrevPtr, r.JAdr);
    else
        h.FirstPtr = r.JAdr;
    if (!isNullPtr(r.NextPtr))
        setAddrPrev(r.NextPtr, r.JAdr);
    else
        h.LastPtr = r.JAdr;
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
