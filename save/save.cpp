#include "save/save.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "access/errors.h"
#include "access/rollback.h"
#include "app/document.h"
#include "access/source.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "view/status.h"
#include "journal/chain.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "save/undo.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

SaveState g_save;

namespace {
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t undoMode() {
    return g_settings.UndoMode & 3;
}

uint8_t *blockBytes(int block) {
    return g_doc.PageBuf + (block == 2 ? 512 : 0);
}

uint8_t *blockMask(int block) {
    return g_doc.ModMask + (block == 2 ? 64 : 0);
}

uint64_t blockAdr(int block) {
    return block == 2 ? g_doc.MidPtr : g_doc.AnfPtr;
}

// Bits of the page record's map between `from` and `to` (source positions) in the block at
// `pos`: collected, and cleared when `take`.
int rangeBits(JournalRecord &r, uint64_t pos, uint64_t from, uint64_t to, bool take) {
    int32_t first = clampedDiff(from, pos), last = clampedDiff(to, pos);
    if (first < 0) first = 0;
    if (last > 512) last = 512;
    if (last <= first) return 0;
    int any = 0;
    for (int32_t i = first; i < last; ++i) {
        uint8_t bit = uint8_t(1u << (i & 7));
        if (r.ModBits[i >> 3] & bit) {
            any = 1;
            if (take) r.ModBits[i >> 3] &= uint8_t(~bit);
        }
    }
    return any;
}

int anyMapBits(const uint8_t *bits) {
    for (int i = 0; i < 64; ++i)
        if (bits[i]) return 1;
    return 0;
}
} // namespace

void resetSaveState() {
    std::memset(&g_save, 0, sizeof g_save);
    g_save.RunLast = kNullPtr;
    g_save.RestoredAt = kNullPtr;
}

// ---- range bits ----

int takeRangeBits1() {
    return rangeBits(g_jnl.JData1, g_doc.AnfPtr, g_save.SaveCursor, g_doc.MarkEnd, true);
}
int takeRangeBits2() {
    return rangeBits(g_jnl.JData2, g_doc.MidPtr, g_save.SaveCursor, g_doc.MarkEnd, true);
}
void dropRangeBits1() {
    rangeBits(g_jnl.JData1, g_doc.AnfPtr, g_save.SaveCursor, g_doc.MarkEnd, true);
}
void dropRangeBits2() {
    rangeBits(g_jnl.JData2, g_doc.MidPtr, g_save.SaveCursor, g_doc.MarkEnd, true);
}
int anyBits1() {
    return anyMapBits(g_jnl.JData1.ModBits);
}
int anyBits2() {
    return anyMapBits(g_jnl.JData2.ModBits);
}

// ---- source and journal access ----

int ensureWritable(bool okOnly) {
    Platform &p = plat();
    while (!(g_doc.AccessFlag & kAccWritable)) {
        int answer = p.messageBox(
            "Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz NEU öffnen !",
            "Ohne Schreibschutz neu öffnen?",
            (okOnly ? kMbOk : kMbOkCancel) | kMbIconQuestion | kMbTaskModal);
        if (!okOnly && answer != kIdOk) return 1;
        if (reopenWritable() != 0 || !sourceOpen()) return 1;
    }
    // A locked source is written only after the user lifts the lock.
    if (!(g_doc.AccessFlag & kAccUnlocked)) askWriteAccess();
    return (g_doc.AccessFlag & kAccUnlocked) ? 0 : 1;
}

bool appendProvisional(JournalRecord &r, const uint8_t *data, uint64_t *slot) {
    // Saves link new entries by the cursors: a damaged chain is not extended.
    if (g_jnl.Damaged || !appendEntry(r, data, kJnlDataSize)) return false;
    *slot = r.JAdr;
    return true;
}

void flushJournal() {
    if (!journalOpen()) return;
    // The chain heads too, so that a journal left by a crash leads to what was written.
    writeHeader();
    rollbackSync();
    if (!plat().flushFile(g_jnl.JnlHandle)) reportError(kWriteErrorPrefix, g_jnl.JnlName);
}

bool bytesBeforeSave(const JournalRecord &q, uint8_t *out, uint64_t *first) {
    uint32_t len = q.Len > kJnlDataSize ? kJnlDataSize : q.Len;
    if (!readSource(q.Adr, len, out)) return false;
    uint8_t open[64];
    std::memset(open, 0xFF, sizeof open);
    *first = kNullPtr;
    JournalRecord v{};
    uint8_t data[kJnlDataSize];
    uint64_t p = q.PJnl, limit = entryCount();
    for (uint64_t steps = 0; !isNullPtr(p) && steps <= limit; ++steps) {
        if (!validEntry(p) || !readRecord(p, v) || !readData(data)) break;
        bool copy = isOriginalCopy(v.Flags);
        bool inForce = isSaveInForce(v.Flags);
        if (copy || inForce) {
            bool part = inForce && !copy && (v.Flags & kFlagSavedInPart);
            for (uint32_t i = 0; i < len; ++i) {
                bool isOpen = (open[i >> 3] >> (i & 7)) & 1;
                bool left = (v.ModBits[i >> 3] >> (i & 7)) & 1;
                if (!isOpen || (part && left)) continue;
                out[i] = data[i];
                open[i >> 3] &= uint8_t(~(1u << (i & 7)));
            }
            if (isNullPtr(*first)) *first = p;
            if (!part) return true;
        }
        p = v.PJnl;
    }
    return !isNullPtr(*first);
}

// ---- page movement ----

// ---- chain primitives ----

void keepCopyBefore(JournalRecord &r) {
    JournalHeader &h = g_jnl.Header;
    JournalRecord k{};
    uint64_t p = r.PJnl, limit = entryCount();
    for (uint64_t steps = 0; !isNullPtr(p) && steps <= limit; ++steps) {
        if (!readFields(p, k)) return;
        k.JAdr = p;
        if (isNullPtr(k.PJnl)) break;
        p = k.PJnl;
    }
    if (isNullPtr(p) || !isOriginalCopy(k.Flags) || !(k.Flags & kFlagCopyPassed)) return;
    JournalRecord whole{};
    if (!readRecord(p, whole)) return;
    rewriteRecord(r, kPrefixFields);
    unlinkUndo(whole);
    // Taking the copy out may have changed r's own links (the copy was its neighbour).
    refreshUndoLinks(r);
    whole.PUndo = r.PUndo;
    whole.NUndo = r.JAdr;
    if (!isNullPtr(whole.PUndo))
        setUndoNext(whole.PUndo, p);
    else
        h.UndoFirst = p;
    r.PUndo = p;
    // Its stash belongs to the history it leaves; the save rewrites the block anyway.
    whole.Flags &= ~kFlagCopyPassed;
    std::memset(whole.ModBits, 0, sizeof whole.ModBits);
    rewriteRecord(whole, kPrefixRecord);
    rewriteRecord(r, kPrefixFields);
}

// Rewrites the flags of every version along one direction of the chain from `start`.
static void versionFlags(uint64_t start, bool older, uint32_t andMask, uint32_t orMask) {
    uint64_t p = start, limit = entryCount();
    JournalRecord v{};
    for (uint64_t steps = 0; !isNullPtr(p) && steps <= limit; ++steps) {
        if (!readFields(p, v)) return;
        v.JAdr = p;
        v.Flags = ((v.Flags & andMask) | orMask) & kFlagUsedMask;
        rewriteRecord(v, kPrefixFields);
        p = older ? v.PJnl : v.NJnl;
    }
}

void makeOriginalCopy(JournalRecord &r, uint64_t oldNJnl, uint64_t slot) {
    JournalHeader &h = g_jnl.Header;
    JournalRecord k{};
    uint64_t oldest = kNullPtr; // where the copy goes before
    if (!isNullPtr(r.PJnl)) {
        // Every older version learns that an original copy exists; the oldest gets it as
        // its predecessor in both chains.
        uint64_t p = r.PJnl, limit = entryCount();
        JournalRecord o{};
        for (uint64_t steps = 0; steps <= limit; ++steps) {
            if (!readFields(p, o)) return;
            o.JAdr = p;
            o.Flags = ((o.Flags | kFlagsOriginalExists) & 0x7FFFFF) & kFlagUsedMask;
            if (isNullPtr(o.PJnl)) break;
            rewriteRecord(o, kPrefixFields);
            p = o.PJnl;
        }
        k = o;
        k.PUndo = o.PUndo;
        k.NUndo = o.JAdr;
        k.NJnl = o.JAdr;
        oldest = o.JAdr;
        o.PJnl = slot;
        o.PUndo = slot;
        rewriteRecord(o, kPrefixFields);
    } else {
        k = r;
        k.PUndo = r.PUndo;
        k.NUndo = r.JAdr;
        k.NJnl = r.JAdr;
        oldest = r.JAdr;
        r.PJnl = slot;
        r.PUndo = slot;
        rewriteRecord(r, kPrefixFields);
    }
    k.JAdr = slot;
    k.PJnl = nulled(k.PJnl);
    // Neither the current version nor a node of the address chain; its map is unused.
    k.Flags = ((k.Flags & kOriginalCopyKeep) | kOriginalCopyFlags) &
              ~(0x48u | 0x600u | kFlagInSource) & kFlagUsedMask;
    std::memset(k.ModBits, 0, sizeof k.ModBits);
    rewriteRecord(k, kPrefixRecord);

    r.Flags = (r.Flags | kFlagsOriginalExists) & kFlagUsedMask;
    versionFlags(oldNJnl, false, 0x7FFFFF, kFlagsOriginalExists);

    if (!isNullPtr(k.PUndo))
        setUndoNext(k.PUndo, slot);
    else if (isNullPtr(h.UndoFirst) || h.UndoFirst == oldest)
        h.UndoFirst = slot;
    refreshUndoLinks(r);
}

// ---- before-images ----

// True in *needed when the source's bytes of r's block are not what its versions say they
// were before r is saved (a record rewritten in place since an earlier save): they must be
// kept, in SaveScratch, so that undo can give them back. False when they cannot be read.
static bool beforeImageNeeded(const JournalRecord &r, bool *needed) {
    *needed = false;
    uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
    uint8_t rebuilt[kJnlDataSize];
    uint64_t first = kNullPtr;
    std::memset(g_save.SaveScratch, 0, sizeof g_save.SaveScratch);
    if (!readSource(r.Adr, len, g_save.SaveScratch)) return false;
    if (!bytesBeforeSave(r, rebuilt, &first)) return true;
    *needed = std::memcmp(rebuilt, g_save.SaveScratch, len) != 0;
    return true;
}

// Fields of the before-image of r: r's block, just below r in its version chain.
static void beforeImageFields(JournalRecord &b, const JournalRecord &r) {
    b = r;
    b.PUndo = b.NUndo = kNullPtr;
    b.NJnl = r.JAdr;
    b.Flags = kBeforeImageFlags;
    std::memset(b.ModBits, 0, sizeof b.ModBits);
}

// The before-image at `slot` goes into the version chain between r and its older version.
static void linkBeforeImage(JournalRecord &r, uint64_t slot) {
    if (!isNullPtr(r.PJnl)) {
        JournalRecord o{};
        if (readFields(r.PJnl, o)) {
            o.JAdr = r.PJnl;
            o.NJnl = slot;
            rewriteRecord(o, kPrefixFields);
        }
    }
    r.PJnl = slot;
    rewriteRecord(r, kPrefixFields);
}

bool keepBeforeImage(JournalRecord &r) {
    bool needed = false;
    if (!beforeImageNeeded(r, &needed)) return false;
    if (!needed) return true;
    JournalRecord b{};
    beforeImageFields(b, r);
    uint64_t slot = kNullPtr;
    if (!appendProvisional(b, g_save.SaveScratch, &slot)) return false;
    linkBeforeImage(r, slot);
    return true;
}

// ---- the per-block update of a range save ----

namespace {
enum BlockResult { kBlockSaved, kBlockSkipped };

// Journal update for page block `block` whose range bits were just taken; the source write
// follows in the caller. Entries the update appends are written first, so that a journal
// that cannot take them is left as it was and the source is not touched.
BlockResult updateBlock(int block) {
    JournalRecord &r = pageRecord(block);
    uint8_t *half = blockMask(block);
    uint8_t *bytes = blockBytes(block);
    bool remaining = anyMapBits(r.ModBits);
    if (!remaining) std::memcpy(r.ModBits, half, 64);

    if (undoMode() == 0) {
        r.Flags = (r.Flags | (remaining ? kSaveFlagsKeep0 : kSaveFlagsDone0)) & kFlagUsedMask;
        rewriteRecord(r, kPrefixRecord);
        if (remaining)
            std::memcpy(half, r.ModBits, 64);
        else
            std::memset(half, 0, 64);
        return kBlockSaved;
    }

    // A block saved in part gets a new version in every mode with undo: the version before
    // keeps the map of every edit, which undoing the save needs.
    bool needCopy = !(r.Flags & kFlagOriginal);
    bool newVersion = remaining;
    if (needCopy) {
        std::memset(g_save.SaveScratch, 0, sizeof g_save.SaveScratch);
        if (!readSource(r.Adr, r.Len, g_save.SaveScratch)) return kBlockSkipped;
    }
    uint64_t endBefore = g_jnl.JnlEnd, newSlot = kNullPtr, copySlot = kNullPtr;
    if (newVersion) {
        JournalRecord pv = r;
        if (!appendProvisional(pv, bytes, &newSlot)) return kBlockSkipped;
    }
    bool kept = true;
    if (needCopy) {
        JournalRecord pk = r;
        pk.Flags = kOriginalCopyFlags;
        kept = appendProvisional(pk, g_save.SaveScratch, &copySlot);
    } else {
        kept = keepBeforeImage(r);
    }
    if (!kept) {
        trimJournal(endBefore);
        g_jnl.JnlEnd = endBefore;
        return kBlockSkipped;
    }

    uint64_t oldNJnl = r.NJnl;
    if (!newVersion) {
        r.Flags =
            ((r.Flags | kSaveFlagsDone) & ~(kFlagSavedInPart | kFlagSaveTakenBack)) & kFlagUsedMask;
        moveToUndoCursor(r);
        if (!needCopy) keepCopyBefore(r);
    } else {
        // The old version keeps its full map and data and points to its successor.
        uint64_t oldPos = r.JAdr;
        JournalRecord old = r;
        old.NJnl = newSlot;
        old.Flags = ((old.Flags & ~kFlagCurrent) | kFlagOldVersion) & kFlagUsedMask;
        rewriteRecord(old, kPrefixFields);
        r.PJnl = oldPos;
        r.JAdr = newSlot;
        r.Flags = ((r.Flags & ~(kFlagOldVersion | kFlagSaveTakenBack)) | kSaveFlagsPartNew) &
                  kFlagUsedMask;
        JournalHeader &h = g_jnl.Header;
        r.PUndo = h.Undo;
        r.NUndo = kNullPtr;
        h.Undo = newSlot;
        insertUndo(r, false);
        r.NJnl = oldNJnl;
        if (!isNullPtr(oldNJnl)) setVersionPrev(oldNJnl, newSlot);
        relinkNeighbours(r);
        if (!needCopy) keepCopyBefore(r);
    }
    if (needCopy) makeOriginalCopy(r, oldNJnl, copySlot);
    rewriteRecord(r, kPrefixRecord);
    writeData(r.JAdr, bytes);
    // The page shows the block as a reload would: a saved block without marks.
    if (r.Flags & kFlagHidden)
        std::memset(half, 0, 64);
    else
        std::memcpy(half, r.ModBits, 64);
    // The original bytes (and the journal that leads to them) are on the disk before the
    // source is overwritten.
    flushJournal();
    return kBlockSaved;
}

// A save run: the first saved record has 0x40000 clear, every saved record but the last
// has 0x2 set. Blocks in the range that save nothing do not count.
void runRecordSaved(JournalRecord &r) {
    g_save.SegCarry = kFlagFromPrevious;
    g_save.RunLast = r.JAdr;
    g_save.RunLastContinues = (r.Flags & kFlagContinues) != 0;
}

void finishRun() {
    if (isNullPtr(g_save.RunLast) || !g_save.RunLastContinues) return;
    JournalRecord r{};
    if (readFields(g_save.RunLast, r)) {
        r.JAdr = g_save.RunLast;
        r.Flags &= ~kFlagContinues;
        rewriteRecord(r, kPrefixFields);
        for (int block = 1; block <= 2; ++block)
            if ((g_doc.JReadFlag & pageRecordBit(block)) && pageRecord(block).JAdr == r.JAdr)
                pageRecord(block).Flags &= ~kFlagContinues;
    }
    g_save.RunLast = kNullPtr;
    g_save.RunLastContinues = false;
}

// A block whose source write failed keeps its marks: it is not saved as far as the user
// can see, while undo still counts it as written (the write may have changed part of it).
void sourceWriteFailed(JournalRecord &r, int block) {
    JournalRecord cur{};
    if (readFields(r.JAdr, cur)) {
        cur.JAdr = r.JAdr;
        cur.Flags &= ~kFlagHidden;
        rewriteRecord(cur, kPrefixFields);
    }
    r.Flags &= ~kFlagHidden;
    if (block) std::memcpy(blockMask(block), r.ModBits, 64);
}

// One page block of a range save. Returns true when the range ends in this block.
bool saveRangeBlock(int block) {
    if (block == 2 && !hasBlock2()) return true;
    uint64_t adr = blockAdr(block);
    uint64_t from = g_save.SaveCursor > adr ? g_save.SaveCursor : adr;
    bool endsHere = g_doc.MarkEnd <= adr + 512;
    if (!(g_doc.JReadFlag & pageRecordBit(block))) return endsHere;
    JournalRecord &r = pageRecord(block);
    // A saved block's map lists edits the source holds already.
    if (!holdsJournalledEdits(r.Flags)) return endsHere;
    if (!(block == 1 ? takeRangeBits1() : takeRangeBits2())) return endsHere;
    r.Flags = ((r.Flags & ~kFlagFromPrevious) | g_save.SegCarry) & kFlagUsedMask;
    if (endsHere)
        r.Flags &= ~kFlagContinues;
    else
        r.Flags |= kFlagContinues;
    if (updateBlock(block) != kBlockSaved) return endsHere;
    uint32_t off = uint32_t(from - adr);
    uint64_t end = endsHere ? g_doc.MarkEnd : adr + 512;
    uint32_t n = end > from ? uint32_t(end - from) : 0;
    uint32_t len = block == 1 ? g_doc.Blk1Len : g_doc.Blk2Len;
    if (off + n > len) n = len > off ? len - off : 0;
    if (!writeSource(adr, off, n, blockBytes(block))) sourceWriteFailed(r, block);
    runRecordSaved(r);
    return endsHere;
}
} // namespace

// ---- the commands ----

int saveRange() {
    if (!sourceOpen() || !journalOpen() || !g_doc.MarkFlag) return 1;
    uint64_t end = g_doc.MarkEnd < g_doc.FileSize ? g_doc.MarkEnd : g_doc.FileSize;
    if (end <= g_doc.MarkStart) return 1;
    settleTakenBackSave();
    if (g_save.SaveQuiet & 1) {
        g_save.SaveQuiet &= ~1u;
    } else {
        if (askYesNo("Sollen die markierten Änderungen gespeichert werden?", "Speichern?", true) !=
            kIdYes)
            return 1;
        if (ensureWritable(false)) return 1;
    }
    settlePendingInputs();
    uint64_t keepEnd = g_doc.MarkEnd;
    g_doc.MarkEnd = end; // nothing beyond the source can be saved
    uint64_t viewPos = g_doc.AnfPtr;
    uint32_t viewOfs = g_doc.ViewOfs;
    if (viewOfs >= 512) {
        viewPos += 512;
        viewOfs -= 512;
    }
    g_doc.ViewOfs = 0;
    movePairTo(g_doc.MarkStart);
    g_save.SaveCursor = g_doc.MarkStart;
    g_save.SegCarry = 0;
    g_save.RunLast = kNullPtr;
    for (uint64_t passes = 0, limit = entryCount() + 2; passes <= limit; ++passes) {
        if (saveRangeBlock(1)) break;
        if (saveRangeBlock(2)) break;
        if (isNullPtr(g_jnl.JNextPtr) || clampedDiff(g_doc.MarkEnd, g_jnl.JNextAdr) < 1) break;
        nextJournalPage();
        g_save.SaveCursor = g_doc.AnfPtr;
    }
    finishRun();
    g_doc.MarkEnd = keepEnd;
    flushJournalHeader();
    showPageAt(viewPos, viewOfs);
    return 0;
}

int savePage() {
    if (!sourceOpen()) return 1;
    if (askYesNo("Soll die aktuelle Seite gespeichert werden?", "Speichern?", true) != kIdYes)
        return 1;
    if (ensureWritable(true)) return 1;
    settlePendingInputs();
    if (g_doc.JReadFlag & 3) {
        uint64_t ms = g_doc.MarkStart, me = g_doc.MarkEnd;
        uint32_t mf = g_doc.MarkFlag;
        g_doc.MarkStart = g_doc.AnfPtr + g_doc.ViewOfs;
        g_doc.MarkEnd = g_doc.MarkStart + 512;
        g_doc.MarkFlag = 1;
        g_save.SaveQuiet |= 1;
        saveRange();
        g_save.SaveQuiet &= ~1u;
        g_doc.MarkStart = ms;
        g_doc.MarkEnd = me;
        g_doc.MarkFlag = mf;
    }
    reloadPage();
    showPage();
    return 0;
}

void nextJournalPage() {
    settlePendingInputs();
    if (isNullPtr(g_jnl.JNextPtr)) return;
    g_doc.JReadFlag = 0;
    if (!loadRecordAsBlock1(g_jnl.JNextPtr)) return;
    g_doc.ReadPtr = g_doc.AnfPtr;
    g_jnl.JPrevPtr = g_jnl.JData1.PrevPtr;
    g_jnl.JNextPtr = g_jnl.JData1.NextPtr;
    if (!isNullPtr(g_jnl.JNextPtr)) {
        JournalRecord n{};
        if (readFields(g_jnl.JNextPtr, n) && n.Adr == g_jnl.JData1.Adr + 512) {
            loadRecordAsBlock2(g_jnl.JNextPtr);
            g_jnl.JNextPtr = g_jnl.JData2.NextPtr;
            JournalRecord m{};
            if (!isNullPtr(g_jnl.JNextPtr) && readFields(g_jnl.JNextPtr, m)) g_jnl.JNextAdr = m.Adr;
        } else {
            readBlock2();
            g_jnl.JNextAdr = n.Adr;
        }
    } else {
        readBlock2();
    }
    JournalRecord q{};
    if (!isNullPtr(g_jnl.JPrevPtr) && readFields(g_jnl.JPrevPtr, q)) g_jnl.JPrevAdr = q.Adr;
    g_doc.ViewOfs = 0;
    resetHeaderLabels();
}

void writePending() {
    if (g_save.PendingCount == 0) return;
    flushJournal();
    for (int i = 0; i < g_save.PendingCount; ++i) {
        SaveState::PendingWrite &pw = g_save.Pending[i];
        if (writeSource(pw.adr, 0, pw.len, pw.data)) continue;
        JournalRecord r{};
        r.JAdr = pw.rec;
        sourceWriteFailed(r, 0);
    }
    g_save.PendingCount = 0;
}

bool saveRecord() {
    JournalRecord &w = g_save.WorkRec;
    const uint8_t *data = g_save.BlockScratch;
    uint32_t len = w.Len > kJnlDataSize ? kJnlDataSize : w.Len;
    uint64_t oldNJnl = w.NJnl;
    JournalHeader &h = g_jnl.Header;

    if (undoMode() != 0) {
        bool needCopy = !(w.Flags & kFlagOriginal);
        uint64_t copySlot = kNullPtr;
        if (needCopy) {
            std::memset(g_save.SaveScratch, 0, sizeof g_save.SaveScratch);
            if (!readSource(w.Adr, len, g_save.SaveScratch)) return false;
            JournalRecord pk = w;
            pk.Flags = kOriginalCopyFlags;
            if (!appendProvisional(pk, g_save.SaveScratch, &copySlot)) return false;
        } else if (!keepBeforeImage(w)) {
            return false;
        }
        // The save is the newest action: undo reaches it first.
        moveToUndoCursor(w);
        if (needCopy)
            makeOriginalCopy(w, oldNJnl, copySlot);
        else
            keepCopyBefore(w);
        w.Flags = ((w.Flags | kSaveFlagsRecord) & ~(kFlagSavedInPart | kFlagSaveTakenBack)) &
                  kFlagUsedMask;
        rewriteRecord(w, kPrefixFields);
        if (!needCopy) {
            versionFlags(w.PJnl, true, 0x7FFFFF, 0);
            versionFlags(w.NJnl, false, 0x7FFFFF, 0);
        }
        SaveState::PendingWrite &pw = g_save.Pending[g_save.PendingCount++];
        pw.rec = w.JAdr;
        pw.adr = w.Adr;
        pw.len = len;
        std::memcpy(pw.data, data, len);
        if (g_save.PendingCount == int(sizeof g_save.Pending / sizeof g_save.Pending[0]))
            writePending();
        return true;
    }

    // No undo: the record and the source exchange their bytes, so that the record keeps what
    // the save overwrote. The journal holds those bytes before the source is written.
    std::memset(g_save.SaveScratch, 0, sizeof g_save.SaveScratch);
    if (!readSource(w.Adr, len, g_save.SaveScratch)) return false;
    JournalRecord before = w;
    if (!(w.Flags & kFlagOriginal)) {
        // Saved bytes lose their marks here as in every other save.
        w.Flags = (w.Flags & 0x486A2) | 0x6B2050 | kFlagHidden;
        h.Rest = w.JAdr;
        versionFlags(w.PJnl, true, 0xFFFFFF, kFlagOriginal);
        versionFlags(w.NJnl, false, 0xFFFFFF, kFlagOriginal);
        w.Flags |= kFlagOriginal;
    } else if (w.Flags & kFlagJournalled) {
        w.Flags = (w.Flags & 0x63A6F3) | 0x632020;
    } else {
        w.Flags = (w.Flags & 0x44B6E2) | 0x662021;
        versionFlags(w.PJnl, true, ~uint32_t(kFlagOriginal), 0);
        versionFlags(w.NJnl, false, ~uint32_t(kFlagOriginal), 0);
        w.Flags &= ~kFlagOriginal;
    }
    w.Flags &= kFlagUsedMask;
    moveToUndoCursor(w);
    if (!rewriteRecord(w, kPrefixRecord) || !writeData(w.JAdr, g_save.SaveScratch)) {
        rewriteRecord(before, kPrefixRecord);
        return false;
    }
    flushJournal();
    if (!writeSource(w.Adr, 0, len, data)) {
        // The source kept its bytes: the record takes its own back.
        before.PUndo = w.PUndo;
        before.NUndo = w.NUndo;
        rewriteRecord(before, kPrefixRecord);
        writeData(w.JAdr, data);
        return false;
    }
    return true;
}

int saveAll() {
    if (!sourceOpen() || !journalOpen()) return 1;
    settlePendingInputs();
    settleTakenBackSave();
    JournalHeader &h = g_jnl.Header;
    if (isNullPtr(h.FirstPtr)) return 1;
    showWaitBanner();
    uint64_t keepAnf = g_doc.AnfPtr;
    uint32_t keepView = g_doc.ViewOfs;
    g_jnl.JNextPtr = h.FirstPtr;
    g_save.SegCarry = 0;
    g_save.RunLast = kNullPtr;
    Platform &p = plat();
    JournalRecord &w = g_save.WorkRec;
    uint64_t limit = entryCount() + 1;
    uint32_t every = g_save.CheckpointEvery ? g_save.CheckpointEvery : 4096, sinceFinal = 0;
    Pacer pace;
    for (uint64_t steps = 0; !isNullPtr(g_jnl.JNextPtr) && steps <= limit; ++steps) {
        if (pace.due()) {
            if (p.pollMessage() == 27 && askYesNo("Soll der Speichervorgang abgebrochen werden ?",
                                                  "Abbrechen ?", true) == kIdYes)
                break;
            showTopLeft(g_jnl.JNextPtr, kWhite);
        }
        if (!readRecord(g_jnl.JNextPtr, w) || !readData(g_save.BlockScratch)) break;
        g_jnl.JNextPtr = w.NextPtr;
        // Only blocks with journalled edits are part of the save run.
        if (!(w.Flags & 0x4) || !holdsJournalledEdits(w.Flags)) continue;
        w.Flags =
            ((w.Flags & ~kFlagFromPrevious) | g_save.SegCarry | kFlagContinues) & kFlagUsedMask;
        if (saveRecord()) runRecordSaved(w);
        // Now and then what is saved becomes final, so that the log of old bytes stays small:
        // a crash takes back only the records since, and the journal is sound in between.
        if (++sinceFinal >= every) {
            writePending();
            journalCheckpoint();
            sinceFinal = 0;
        }
    }
    writePending();
    finishRun();
    flushJournalHeader();
    showPageAt(keepAnf, keepView, kShowPrimed | kShowStatus);
    p.setTitle(g_doc.SrcName);
    return 0;
}

void saveAllQuestion(char text[400]) {
    copyPadded(text, 50, g_doc.SrcName);
    text[50] = 0;
    appendString(text,
                 "\n\n          Datei wurde bearbeitet!\n\nSollen die Änderungen gespeichert "
                 "werden?\n\nAuch OHNE Speicherung bleiben die Änderungen verfügbar!",
                 400);
}

int saveAllCommand() {
    if (!sourceOpen()) return 1;
    char text[400];
    saveAllQuestion(text);
    if (askYesNo(text, "Speichern?", true) != kIdYes) return 1;
    if (ensureWritable(false)) return 1;
    return saveAll();
}
