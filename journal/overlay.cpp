#include "journal/overlay.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "access/errors.h"
#include "access/source.h"
#include "access/textutil.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

// ---- overlay of one block ----

void loadMask1() {
    if (g_jnl.JData1.Flags & kFlagHidden)
        std::memset(g_doc.ModMask, 0, 64);
    else
        std::memcpy(g_doc.ModMask, g_jnl.JData1.ModBits, 64);
}

void loadMask2() {
    if (g_jnl.JData2.Flags & kFlagHidden)
        std::memset(g_doc.ModMask + 64, 0, 64);
    else
        std::memcpy(g_doc.ModMask + 64, g_jnl.JData2.ModBits, 64);
}

// A block whose current content is already in the source: 512 bytes (one sector) at `pos`.
// Bytes and length of a block from its record; a length beyond 512 in a damaged record is
// cut so that the page never claims more than its buffer.
static bool blockBytes(const JournalRecord &r, uint8_t *buf, uint32_t *len) {
    if (r.Flags & kFlagInSource) {
        uint64_t pos = r.Adr;
        *len = sourceOpen() ? readSourceBlock(pos, buf) : 0;
        return true;
    }
    if (!readData(buf)) {
        *len = 0;
        return false;
    }
    uint32_t rec = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
    if (!sourceOpen()) {
        *len = rec;
        return true;
    }
    // The block is as long as the source is there: a record made before the source changed
    // its size neither shows bytes beyond the end nor hides the source's bytes after its own.
    uint32_t n = sourceBlockLength(r.Adr);
    if (rec < n) {
        uint8_t tail[kJnlDataSize];
        uint64_t pos = r.Adr;
        uint32_t got = readSourceBlock(pos, tail);
        for (uint32_t i = rec; i < n && i < got; ++i)
            buf[i] = tail[i];
    }
    *len = n;
    return true;
}

uint32_t sourceBlockLength(uint64_t adr) {
    if (adr >= g_doc.FileSize) return 0;
    uint64_t rest = g_doc.FileSize - adr;
    return rest < kJnlDataSize ? uint32_t(rest) : kJnlDataSize;
}

// ---- the overlay of a long range ----

void startOverlay(OverlayCursor &c) {
    c.p = journalHasEdits() ? g_jnl.Header.FirstPtr : kNullPtr;
    c.lastAdr = 0;
    c.steps = 0;
}

bool overlayRange(OverlayCursor &c, uint64_t pos, uint32_t n, uint8_t *buf) {
    JournalRecord r{};
    uint8_t data[kJnlDataSize];
    uint64_t end = pos + n, limit = entryCount();
    while (!isNullPtr(c.p)) {
        if (!readFields(c.p, r)) return false;
        // Addresses rise along the chain; that also bounds the walk on a damaged one.
        if ((c.steps > 0 && r.Adr <= c.lastAdr) || c.steps > limit) {
            reportDamagedJournal();
            return false;
        }
        if (r.Adr >= end) return true;
        if (r.Adr + kJnlDataSize > pos && !(r.Flags & kFlagInSource)) {
            if (!readRecord(c.p, r) || !readData(data)) return false;
            uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
            for (uint32_t i = 0; i < len; ++i) {
                uint64_t at = r.Adr + i;
                if (at >= pos && at < end) buf[at - pos] = data[i];
            }
        }
        // A block reaching into the next piece is laid over that one too.
        if (r.Adr + kJnlDataSize > end) return true;
        c.lastAdr = r.Adr;
        ++c.steps;
        c.p = r.NextPtr;
    }
    return true;
}

bool loadRecordAsBlock1(uint64_t p) {
    JournalRecord &r = g_jnl.JData1;
    if (!readRecord(p, r)) {
        readBlock1();
        return false;
    }
    r.PreviewSteps = 0;
    g_doc.JReadFlag |= 1;
    g_doc.AnfPtr = r.Adr;
    setMidPtr();
    loadMask1();
    return blockBytes(r, g_doc.PageBuf, &g_doc.Blk1Len);
}

bool loadRecordAsBlock2(uint64_t p) {
    JournalRecord &r = g_jnl.JData2;
    if (!readRecord(p, r)) {
        readBlock2();
        return false;
    }
    r.PreviewSteps = 0;
    g_doc.JReadFlag |= 2;
    loadMask2();
    bool ok = blockBytes(r, g_doc.PageBuf + 512, &g_doc.Blk2Len);
    g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
    g_doc.Blk2Flag = g_doc.Blk2Len ? 512 : 0;
    return ok;
}

void clearPageRecords() {
    g_doc.JReadFlag &= ~3u;
    g_jnl.JPrevPtr = g_jnl.JNextPtr = kNullPtr;
    g_jnl.JPrevAdr = g_jnl.JNextAdr = 0;
}

void readPagePlain() {
    g_doc.JReadFlag = 0;
    std::memset(g_doc.ModMask, 0, sizeof g_doc.ModMask);
    g_doc.AnfPtr = g_doc.ReadPtr;
    readBlock1();
    readBlock2();
}

// A record or pointer that could not be followed (already reported): the page is shown from
// the source and the cursors are dropped rather than guessed.
static void giveUp() {
    g_jnl.JPrevPtr = g_jnl.JNextPtr = kNullPtr;
    readPagePlain();
}

// Adr of the node at `p` into *adr; false (reported) when it cannot be read.
static bool adrAt(uint64_t p, uint64_t *adr) {
    JournalRecord &w = g_jnl.WorkRec[0];
    if (!readFields(p, w)) return false;
    *adr = w.Adr;
    return true;
}

// JPrevAdr (JNextAdr) for the cursor just set; a cursor that leads nowhere is dropped.
static bool fixPrevAdr() {
    if (isNullPtr(g_jnl.JPrevPtr)) return true;
    if (adrAt(g_jnl.JPrevPtr, &g_jnl.JPrevAdr)) return true;
    g_jnl.JPrevPtr = kNullPtr;
    return false;
}

static bool fixNextAdr() {
    if (isNullPtr(g_jnl.JNextPtr)) return true;
    if (adrAt(g_jnl.JNextPtr, &g_jnl.JNextAdr)) return true;
    g_jnl.JNextPtr = kNullPtr;
    return false;
}

// The helpers of the movers.

static bool takePrevAsBlock1() {
    if (!loadRecordAsBlock1(g_jnl.JPrevPtr)) return false;
    g_jnl.JPrevPtr = g_jnl.JData1.PrevPtr;
    return fixPrevAdr();
}

static bool takeNextAsBlock1() {
    return loadRecordAsBlock1(g_jnl.JNextPtr);
}

static bool takePrevAsBlock2() {
    return loadRecordAsBlock2(g_jnl.JPrevPtr);
}

static bool takeNextAsBlock2() {
    if (!loadRecordAsBlock2(g_jnl.JNextPtr)) return false;
    g_jnl.JNextPtr = g_jnl.JData2.NextPtr;
    return fixNextAdr();
}

static void shiftUp() {
    if (g_doc.JReadFlag & 1) {
        g_jnl.JPrevPtr = g_jnl.JData1.JAdr;
        g_jnl.JPrevAdr = g_jnl.JData1.Adr;
    }
    std::memcpy(g_doc.ModMask, g_doc.ModMask + 64, 64);
    if (g_doc.JReadFlag & 2) g_jnl.JData1 = g_jnl.JData2;
    std::memcpy(g_doc.PageBuf, g_doc.PageBuf + 512, 512);
    g_doc.JReadFlag >>= 1;
    g_doc.AnfPtr = g_doc.ReadPtr;
    setMidPtr();
    g_doc.Blk1Len = g_doc.Blk2Len;
}

static void shiftDown() {
    if (g_doc.JReadFlag & 2) {
        g_jnl.JNextPtr = g_jnl.JData2.JAdr;
        g_jnl.JNextAdr = g_jnl.JData2.Adr;
    }
    std::memcpy(g_doc.ModMask + 64, g_doc.ModMask, 64);
    if (g_doc.JReadFlag & 1) g_jnl.JData2 = g_jnl.JData1;
    std::memcpy(g_doc.PageBuf + 512, g_doc.PageBuf, 512);
    g_doc.JReadFlag = (g_doc.JReadFlag & 1) << 1;
    g_doc.Blk2Len = g_doc.Blk1Len;
    g_doc.Blk2Flag = 512;
}

// The old page's highest (lowest) record becomes the node below (above) a page further on.
static void highestRecordBelow() {
    if (g_doc.JReadFlag & 2) {
        g_jnl.JPrevPtr = g_jnl.JData2.JAdr;
        g_jnl.JPrevAdr = g_jnl.JData2.Adr;
    } else if (g_doc.JReadFlag & 1) {
        g_jnl.JPrevPtr = g_jnl.JData1.JAdr;
        g_jnl.JPrevAdr = g_jnl.JData1.Adr;
    }
}

static void lowestRecordAbove() {
    if (g_doc.JReadFlag & 1) {
        g_jnl.JNextPtr = g_jnl.JData1.JAdr;
        g_jnl.JNextAdr = g_jnl.JData1.Adr;
    } else if (g_doc.JReadFlag & 2) {
        g_jnl.JNextPtr = g_jnl.JData2.JAdr;
        g_jnl.JNextAdr = g_jnl.JData2.Adr;
    }
}

// ---- the movers ----

void reloadPage() {
    settlePendingInputs();
    g_doc.ReadPtr = g_doc.AnfPtr;
    bool ok = true;
    if (g_doc.JReadFlag & 1)
        ok = loadRecordAsBlock1(g_jnl.JData1.JAdr);
    else
        readBlock1();
    if (ok && (g_doc.JReadFlag & 2)) {
        ok = loadRecordAsBlock2(g_jnl.JData2.JAdr);
    } else if (ok) {
        readBlock2();
    }
    if (!ok) giveUp();
}

void stepForward() {
    settlePendingInputs();
    shiftUp();
    bool ok = true;
    if (!isNullPtr(g_jnl.JNextPtr) && g_jnl.JNextAdr == g_doc.MidPtr)
        ok = takeNextAsBlock2();
    else
        readBlock2();
    if (!ok) giveUp();
}

void stepBack() {
    settlePendingInputs();
    shiftDown();
    bool ok = true;
    if (!isNullPtr(g_jnl.JPrevPtr) && g_jnl.JPrevAdr == g_doc.ReadPtr)
        ok = takePrevAsBlock1();
    else
        readBlock1();
    g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
    if (!ok) giveUp();
}

// Block 2 after block 1 came from a record: the record's successor when it is the next block,
// else the source. Leaves JNextPtr/JNextAdr on the nearest node above the page.
static bool successorAsBlock2() {
    uint64_t next = g_jnl.JData1.NextPtr;
    if (isNullPtr(next)) {
        readBlock2();
        g_jnl.JNextPtr = kNullPtr;
        return true;
    }
    uint64_t adr;
    if (!adrAt(next, &adr)) return false;
    if (adr == g_doc.MidPtr) {
        g_jnl.JNextPtr = next;
        return takeNextAsBlock2();
    }
    readBlock2();
    g_jnl.JNextPtr = next;
    g_jnl.JNextAdr = adr;
    return true;
}

void skipForward() {
    settlePendingInputs();
    highestRecordBelow();
    g_doc.JReadFlag = 0;
    if (isNullPtr(g_jnl.JNextPtr)) {
        readPagePlain();
        return;
    }
    bool ok;
    if (g_jnl.JNextAdr == g_doc.ReadPtr) {
        ok = takeNextAsBlock1() && successorAsBlock2();
    } else {
        readBlock1();
        ok = true;
        if (hasBlock2() && g_jnl.JNextAdr == g_doc.MidPtr)
            ok = takeNextAsBlock2();
        else
            readBlock2();
    }
    if (!ok) giveUp();
}

void skipBack() {
    settlePendingInputs();
    lowestRecordAbove();
    g_doc.JReadFlag = 0;
    if (isNullPtr(g_jnl.JPrevPtr)) {
        readPagePlain();
        return;
    }
    bool ok = true;
    if (g_jnl.JPrevAdr == g_doc.ReadPtr) {
        // Nothing lies between the old cursor and the old page: block 2 has no record.
        ok = takePrevAsBlock1();
        if (ok) readBlock2();
        if (!ok) giveUp();
        return;
    }
    g_doc.AnfPtr = g_doc.ReadPtr;
    setMidPtr();
    if (g_jnl.JPrevAdr != g_doc.MidPtr) {
        readPagePlain();
        return;
    }
    if (!takePrevAsBlock2()) {
        giveUp();
        return;
    }
    uint64_t below = g_jnl.JData2.PrevPtr;
    if (isNullPtr(below)) {
        readBlock1();
        g_jnl.JPrevPtr = kNullPtr;
    } else {
        uint64_t adr;
        if (!adrAt(below, &adr)) {
            giveUp();
            return;
        }
        if (adr != g_doc.ReadPtr) {
            readBlock1();
            g_jnl.JPrevPtr = below;
            g_jnl.JPrevAdr = adr;
        } else {
            ok = loadRecordAsBlock1(below);
            g_jnl.JPrevPtr = g_jnl.JData1.PrevPtr;
            ok = ok && fixPrevAdr();
        }
    }
    g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
    if (!ok) giveUp();
}

void jumpForward() {
    settlePendingInputs();
    if (isNullPtr(g_jnl.JNextPtr)) {
        highestRecordBelow();
        readPagePlain();
        return;
    }
    g_doc.JReadFlag = 0;
    JournalRecord q;
    if (clampedDiff(g_jnl.JNextAdr, g_doc.ReadPtr) >= 1024) {
        // The next node lies beyond the new page: the node below it is the one below the page.
        if (!readFields(g_jnl.JNextPtr, q)) {
            giveUp();
            return;
        }
        g_jnl.JPrevPtr = q.PrevPtr;
        readPagePlain();
        if (!fixPrevAdr()) giveUp();
        return;
    }
    // Walk up from JNextPtr. Addresses must rise at every step, which also bounds the walk on
    // a damaged chain.
    uint64_t limit = entryCount(), lastAdr = 0;
    for (uint64_t steps = 0;; ++steps) {
        if (steps > limit) {
            reportDamagedJournal();
            giveUp();
            return;
        }
        if (!readFields(g_jnl.JNextPtr, q)) {
            giveUp();
            return;
        }
        if (steps > 0 && q.Adr <= lastAdr) {
            reportDamagedJournal();
            giveUp();
            return;
        }
        lastAdr = q.Adr;
        int32_t e = clampedDiff(q.Adr, g_doc.ReadPtr);
        if (e >= 1024) {
            readPagePlain();
            g_jnl.JNextAdr = q.Adr;
            g_jnl.JPrevPtr = q.PrevPtr;
            if (!fixPrevAdr()) giveUp();
            return;
        }
        if (e >= 512) {
            readBlock1();
            bool ok = takeNextAsBlock2();
            g_jnl.JPrevPtr = q.PrevPtr;
            if (!ok || !fixPrevAdr()) giveUp();
            return;
        }
        if (e >= 0) break;
        g_jnl.JPrevPtr = g_jnl.JNextPtr;
        g_jnl.JNextPtr = q.NextPtr;
        if (isNullPtr(g_jnl.JNextPtr)) {
            g_jnl.JPrevAdr = q.Adr;
            readPagePlain();
            return;
        }
    }
    // The node at JNextPtr is block 1.
    bool ok = takeNextAsBlock1() && successorAsBlock2();
    g_jnl.JPrevPtr = g_jnl.JData1.PrevPtr;
    if (!ok || !fixPrevAdr()) giveUp();
}

void jumpBack() {
    settlePendingInputs();
    if (isNullPtr(g_jnl.JPrevPtr)) {
        lowestRecordAbove();
        readPagePlain();
        return;
    }
    g_doc.JReadFlag = 0;
    JournalRecord q;
    if (clampedDiff(g_doc.ReadPtr, g_jnl.JPrevAdr) >= 512) {
        if (!readFields(g_jnl.JPrevPtr, q)) {
            giveUp();
            return;
        }
        g_jnl.JNextPtr = q.NextPtr;
        readPagePlain();
        if (!fixNextAdr()) giveUp();
        return;
    }
    // Walk down from JPrevPtr; addresses must fall at every step.
    uint64_t limit = entryCount(), lastAdr = 0;
    uint64_t qPos = 0;
    for (uint64_t steps = 0;; ++steps) {
        if (steps > limit) {
            reportDamagedJournal();
            giveUp();
            return;
        }
        if (!readFields(g_jnl.JPrevPtr, q)) {
            giveUp();
            return;
        }
        if (steps > 0 && q.Adr >= lastAdr) {
            reportDamagedJournal();
            giveUp();
            return;
        }
        lastAdr = q.Adr;
        qPos = g_jnl.JPrevPtr;
        int32_t e = clampedDiff(q.Adr, g_doc.ReadPtr);
        if (e == 0) {
            bool ok = takePrevAsBlock1();
            g_jnl.JNextPtr = g_jnl.JData1.NextPtr;
            if (ok) readBlock2();
            if (!ok || !fixNextAdr()) giveUp();
            return;
        }
        if (e == 512) break;
        if (e < 0) {
            readPagePlain();
            g_jnl.JPrevAdr = q.Adr;
            g_jnl.JNextPtr = q.NextPtr;
            if (!fixNextAdr()) giveUp();
            return;
        }
        g_jnl.JNextPtr = g_jnl.JPrevPtr;
        g_jnl.JPrevPtr = q.PrevPtr;
        if (isNullPtr(g_jnl.JPrevPtr)) {
            g_jnl.JNextAdr = q.Adr;
            readPagePlain();
            return;
        }
    }
    // Q (at qPos) is block 2.
    bool ok = true;
    if (isNullPtr(q.PrevPtr)) {
        readBlock1();
        ok = loadRecordAsBlock2(qPos);
        g_jnl.JPrevPtr = kNullPtr;
    } else {
        JournalRecord r;
        if (!readFields(q.PrevPtr, r)) {
            giveUp();
            return;
        }
        if (r.Adr != g_doc.ReadPtr) {
            readBlock1();
            ok = loadRecordAsBlock2(qPos);
            g_jnl.JPrevPtr = q.PrevPtr;
            g_jnl.JPrevAdr = r.Adr;
        } else {
            ok = loadRecordAsBlock1(q.PrevPtr) && loadRecordAsBlock2(qPos);
            g_jnl.JPrevPtr = r.PrevPtr;
            ok = ok && fixPrevAdr();
        }
    }
    g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
    g_jnl.JNextPtr = q.NextPtr;
    if (!ok || !fixNextAdr()) giveUp();
}

void gotoPage() {
    settlePendingInputs();
    // The loaders work on whole blocks.
    g_doc.ReadPtr &= ~uint64_t(511);
    int32_t d = clampedDiff(g_doc.ReadPtr, g_doc.AnfPtr);
    if (d >= 1536)
        jumpForward();
    else if (d >= 1024)
        skipForward();
    else if (d >= 512)
        stepForward();
    else if (d >= 0)
        reloadPage();
    else if (d >= -512)
        stepBack();
    else if (d >= -1024)
        skipBack();
    else
        jumpBack();
}

int gotoFirstPage() {
    settlePendingInputs();
    g_doc.ReadPtr = 0;
    g_doc.ViewOfs = 0;
    g_jnl.JPrevPtr = kNullPtr;
    g_doc.JReadFlag = 0;
    uint64_t first = journalOpen() ? g_jnl.Header.FirstPtr : kNullPtr;
    if (isNullPtr(first)) {
        g_jnl.JNextPtr = kNullPtr;
        readPagePlain();
        return 1;
    }
    JournalRecord q;
    if (!readFields(first, q)) {
        giveUp();
        return 0;
    }
    bool ok = true;
    if (q.Adr == 0) {
        ok = loadRecordAsBlock1(first);
        if (ok) ok = successorAsBlock2();
    } else if (q.Adr == 512) {
        readBlock1();
        g_jnl.JNextPtr = first;
        ok = takeNextAsBlock2();
    } else {
        readPagePlain();
        g_jnl.JNextPtr = first;
        g_jnl.JNextAdr = q.Adr;
    }
    g_doc.AnfPtr = 0;
    if (!ok) giveUp();
    return 0;
}

int gotoLastPage() {
    settlePendingInputs();
    g_doc.ReadPtr = g_doc.LastPairPtr;
    g_doc.JReadFlag = 0;
    uint64_t last = journalOpen() ? g_jnl.Header.LastPtr : kNullPtr;
    g_jnl.JNextPtr = kNullPtr;
    if (isNullPtr(last)) {
        g_jnl.JPrevPtr = kNullPtr;
        readPagePlain();
        return 1;
    }
    uint64_t mid = g_doc.LastPairPtr + 512;
    // Records beyond the last pair (a source that became shorter) are passed on the way down,
    // so that the cursors stay on either side of the page.
    JournalRecord q;
    uint64_t qPos = last, limit = entryCount();
    for (uint64_t steps = 0;; ++steps) {
        if (!readFields(qPos, q)) {
            giveUp();
            return 0;
        }
        if (q.Adr <= mid) break;
        if (steps >= limit || (!isNullPtr(q.PrevPtr) && q.PrevPtr == qPos)) {
            reportDamagedJournal();
            giveUp();
            return 0;
        }
        g_jnl.JNextPtr = qPos;
        g_jnl.JNextAdr = q.Adr;
        if (isNullPtr(q.PrevPtr)) {
            g_jnl.JPrevPtr = kNullPtr;
            readPagePlain();
            return 0;
        }
        qPos = q.PrevPtr;
    }
    bool ok = true;
    if (q.Adr == g_doc.LastPairPtr) {
        ok = loadRecordAsBlock1(qPos);
        g_doc.AnfPtr = g_doc.LastPairPtr;
        setMidPtr();
        readBlock2();
        g_jnl.JPrevPtr = g_jnl.JData1.PrevPtr;
    } else {
        g_doc.AnfPtr = g_doc.LastPairPtr;
        setMidPtr();
        if (g_doc.MidPtr != q.Adr) {
            readPagePlain();
            g_jnl.JPrevPtr = qPos;
        } else {
            // Block 1 from the record below when that is the block just before.
            uint64_t below = q.PrevPtr, adr = 0;
            bool belowIsBlock1 =
                !isNullPtr(below) && (ok = adrAt(below, &adr)) && adr == g_doc.AnfPtr;
            if (belowIsBlock1)
                ok = loadRecordAsBlock1(below);
            else
                readBlock1();
            ok = loadRecordAsBlock2(qPos) && ok;
            g_jnl.JPrevPtr = belowIsBlock1 ? g_jnl.JData1.PrevPtr : below;
            g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
        }
    }
    if (ok) ok = fixPrevAdr();
    if (!ok) giveUp();
    return 0;
}

// ---- jumps between journalled blocks ----

int nextEdit() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    // Block 2 is off screen while the view starts in block 1: its edits come first.
    if (g_doc.ViewOfs == 0 && (g_doc.JReadFlag & 2) && g_doc.Blk2Flag >= 512) {
        g_doc.ModFlag &= ~kModLowNibble;
        g_doc.ViewOfs = 512;
        showPage();
        return 0;
    }
    if (isNullPtr(g_jnl.JNextPtr)) return 1;
    g_doc.ReadPtr = g_jnl.JNextAdr;
    gotoPage();
    g_doc.ViewOfs = 0;
    showPage();
    return 0;
}

int previousEdit() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    if (g_doc.ViewOfs >= 512 && (g_doc.JReadFlag & 1)) {
        // As Page Up from block 2: block 1 of the same pair.
        g_doc.ModFlag &= ~kModLowNibble;
        g_doc.ViewOfs = 0;
        showPage();
        return 0;
    }
    if (isNullPtr(g_jnl.JPrevPtr)) return 1;
    g_doc.ReadPtr = g_jnl.JPrevAdr;
    gotoPage();
    g_doc.ViewOfs = 0;
    showPage();
    return 0;
}
