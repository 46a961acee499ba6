#include "edit/commit.h"

#include <cstring>

#include "access/docstate.h"
#include "access/rollback.h"
#include "access/source.h"
#include "app/document.h"
#include "app/settings.h"
#include "view/status.h"
#include "journal/chain.h"
#include "journal/flags.h"
#include "journal/format.h"
#include "platform/platform.h"
#include "res/resource.h"

CommitState g_commit;

void resetCommitState() {
    std::memset(&g_commit, 0, sizeof g_commit);
}

void setSegmentBits(int block, uint32_t bits) {
    g_commit.SegBits[block - 1] = bits & kSegmentMask;
    g_commit.SegPending |= 1u << (block - 1);
}

static uint32_t inputBit(int block) {
    return block == 2 ? kInputBlk2 : kInputBlk1;
}

static uint32_t blockLen(int block) {
    return block == 2 ? g_doc.Blk2Len : g_doc.Blk1Len;
}

static uint64_t blockAdr(int block) {
    return block == 2 ? g_doc.MidPtr : g_doc.AnfPtr;
}

static uint8_t *blockBytes(int block) {
    return g_doc.PageBuf + (block == 2 ? 512 : 0);
}

static const uint8_t *blockMask(int block) {
    return g_doc.ModMask + (block == 2 ? 64 : 0);
}

// ---- journal mode ----

namespace {
// What journalBlock1/2 prepared for linkRecord, and what to put back when the entry cannot
// be written.
struct LinkPlan {
    bool fresh;      // a new record for a block that had none
    bool newVersion; // a new version after the block's current one
    bool chainWasEmpty;
    JournalRecord before;
    uint64_t endBefore;
    uint32_t jreadBefore;
};
LinkPlan g_plan;
} // namespace

static int journalBlock(int block) {
    if (!journalOpen()) return 1; // nowhere to put them: the inputs stay
    // The record is linked by the cursors: a damaged chain is not extended.
    if (g_jnl.Damaged) return 1;
    JournalRecord &r = pageRecord(block);
    uint32_t bit = pageRecordBit(block);
    JournalHeader &h = g_jnl.Header;
    LinkPlan &pl = g_plan;
    pl.before = r;
    pl.endBefore = g_jnl.JnlEnd;
    pl.jreadBefore = g_doc.JReadFlag;
    pl.fresh = !(g_doc.JReadFlag & bit);
    pl.newVersion = false;
    pl.chainWasEmpty = isNullPtr(h.FirstPtr);
    if (!pl.fresh) {
        if (g_settings.UndoMode & 2) {
            // The record becomes the new version; NJnl keeps what the old one had.
            pl.newVersion = true;
            r.PJnl = r.JAdr;
            r.JAdr = g_jnl.JnlEnd;
            g_jnl.JnlEnd += kJnlEntrySize;
        }
        r.Flags &= kCommitKeepMask;
        if (g_commit.SegPending & (1u << (block - 1)))
            r.Flags = (r.Flags & ~kSegmentMask) | g_commit.SegBits[block - 1];
        return linkRecord(block);
    }
    // The other block of the page is the nearest node on its side when it has a record.
    uint64_t prev = g_jnl.JPrevPtr, next = g_jnl.JNextPtr;
    if (JournalRecord *o = otherPageRecord(block)) (block == 1 ? next : prev) = o->JAdr;
    r = JournalRecord{};
    r.Adr = blockAdr(block);
    r.JAdr = g_jnl.JnlEnd;
    g_jnl.JnlEnd += kJnlEntrySize;
    r.PrevPtr = r.NextPtr = r.PJnl = r.NJnl = r.PUndo = r.NUndo = kNullPtr;
    r.Len = blockLen(block);
    if (!pl.chainWasEmpty) {
        if (!isNullPtr(prev)) r.PrevPtr = prev;
        if (!isNullPtr(next)) r.NextPtr = next;
    }
    r.Flags = (g_commit.SegPending & (1u << (block - 1))) ? g_commit.SegBits[block - 1] : 0;
    return linkRecord(block);
}

int journalBlock1() {
    return journalBlock(1);
}

int journalBlock2() {
    return journalBlock(2);
}

// Restore starts at Rest; a chain of direct-mode records there must stay reachable.
static bool restoreChainHeadIsDirect() {
    uint64_t rest = g_jnl.Header.Rest;
    if (isNullPtr(rest) || !validEntry(rest)) return false;
    JournalRecord q{};
    return readFields(rest, q) && isDirectRecord(q.Flags);
}

int linkRecord(int block) {
    JournalRecord &r = pageRecord(block);
    JournalHeader &h = g_jnl.Header;
    LinkPlan &pl = g_plan;
    bool inPlace = !pl.fresh && !pl.newVersion;
    uint64_t undo = h.Undo;

    // Where the record goes in the undo chain: directly after Undo. A record rewritten in
    // place is already in the chain; it is moved there (left alone when it is Undo itself)
    // so the chain never points at itself.
    bool moveUndo = !(inPlace && !isNullPtr(undo) && undo == r.JAdr);
    bool inChain = inPlace && (!isNullPtr(r.PUndo) || !isNullPtr(r.NUndo) ||
                               (!isNullPtr(h.UndoFirst) && h.UndoFirst == r.JAdr));
    uint64_t oldP = r.PUndo, oldN = r.NUndo;
    if (moveUndo) {
        uint64_t after;
        if (isNullPtr(undo)) {
            after =
                (inChain && !isNullPtr(h.UndoFirst) && h.UndoFirst == r.JAdr) ? oldN : h.UndoFirst;
        } else {
            JournalRecord u{};
            if (!readFields(undo, u)) {
                r = pl.before;
                g_jnl.JnlEnd = pl.endBefore;
                g_doc.JReadFlag = pl.jreadBefore;
                return 1;
            }
            after = (inChain && !isNullPtr(oldP) && oldP == undo) ? oldN : u.NUndo;
        }
        r.PUndo = undo;
        r.NUndo = after;
    }
    r.Flags = (r.Flags | ((g_settings.UndoMode & 2) ? kCommitFlagsVersions : kCommitFlags)) &
              kFlagUsedMask;
    std::memcpy(r.ModBits, blockMask(block), 64);

    // The entry is written whole before anything points at it: when the write fails the
    // journal is as it was and the inputs stay flagged for the next try.
    if (!writeEntry(r.JAdr, r, blockBytes(block), r.Len)) {
        if (!inPlace) trimJournal(pl.endBefore);
        r = pl.before;
        g_jnl.JnlEnd = pl.endBefore;
        g_doc.JReadFlag = pl.jreadBefore;
        return 1;
    }

    // The links to it. Should one of these writes fail, the chains are out of step: the
    // command is taken back whole at its end (by its log), as after a crash.
    bool linked = true;
    if (pl.newVersion) {
        // The old version now points to its successor and is no longer current.
        JournalRecord old = pl.before;
        old.NJnl = r.JAdr;
        old.Flags &= ~kFlagCurrent & kFlagUsedMask;
        linked &= rewriteRecord(old, block == 2 ? kPrefixRecord : kPrefixFields);
        // A newer version left by an undo keeps a symmetric version chain.
        if (!isNullPtr(r.NJnl)) linked &= setVersionPrev(r.NJnl, r.JAdr);
    }

    // Address chain: the neighbours (and every version of them) lead to this record.
    if (!isNullPtr(r.PrevPtr)) {
        if (!inPlace) linked &= setAddrNext(r.PrevPtr, r.JAdr);
    } else {
        h.FirstPtr = r.JAdr;
    }
    if (!isNullPtr(r.NextPtr)) {
        if (!inPlace) linked &= setAddrPrev(r.NextPtr, r.JAdr);
    } else {
        h.LastPtr = r.JAdr;
    }

    // Undo chain.
    if (moveUndo) {
        if (inChain) {
            if (!isNullPtr(oldP))
                linked &= setUndoNext(oldP, oldN);
            else
                assignLink(h.UndoFirst, oldN);
            if (!isNullPtr(oldN)) linked &= setUndoPrev(oldN, oldP);
        }
        if (isNullPtr(undo))
            h.UndoFirst = r.JAdr;
        else
            linked &= setUndoNext(undo, r.JAdr);
        if (!isNullPtr(r.NUndo)) linked &= setUndoPrev(r.NUndo, r.JAdr);
        h.Undo = r.JAdr;
    }
    if (!linked) {
        rollbackFail();
        return 1;
    }

    if (pl.fresh && !restoreChainHeadIsDirect()) h.Rest = r.JAdr;
    if (pl.chainWasEmpty) showSourceTitle();
    g_doc.JReadFlag |= pageRecordBit(block);
    g_doc.InputFlag &= ~(1u | inputBit(block));
    g_commit.SegPending &= ~(1u << (block - 1));
    return 0;
}

// ---- direct mode ----

namespace {
class SavePageDialog : public DialogLogic {
  public:
    bool yesForAll = false;
    void init(DialogHost &host) override { host.setCheck(IDC_SAVE_PAGE_ALL, false); }
    bool command(DialogHost &host, int id, int) override {
        if (id == IDC_SAVE_PAGE_YES) {
            yesForAll = host.getCheck(IDC_SAVE_PAGE_ALL);
            host.end(IDC_SAVE_PAGE_YES);
            return true;
        }
        if (id == IDC_SAVE_PAGE_NO) {
            host.end(IDC_SAVE_PAGE_NO);
            return true;
        }
        return false;
    }
};
} // namespace

// The bytes a restore must give this block back: those of its original copy when saving
// made one (the source then holds saved bytes, not the original), else `fromSource`.
static void originalBytes(const JournalRecord &rec, uint8_t *out) {
    if (!(rec.Flags & kFlagOriginal)) return;
    JournalRecord v = rec;
    uint64_t limit = entryCount();
    for (uint64_t steps = 0; v.Flags & kFlagJournalled; ++steps) {
        if (isNullPtr(v.PJnl) || steps >= limit) return;
        uint64_t p = v.PJnl;
        if (!readFields(p, v)) return;
        v.JAdr = p;
    }
    JournalRecord full{};
    uint8_t data[kJnlDataSize];
    if (readRecord(v.JAdr, full) && readData(data)) std::memcpy(out, data, kJnlDataSize);
}

// Writes one block into the source and keeps what the source held in a new record of the
// restore chain. A block that has a journal-mode record hands its edits to the source: the
// record leaves the address chain (its neighbours are linked to each other) and is marked as
// shown from the source, so no chain is shared between the two kinds of record.
static int directBlock(int block) {
    uint32_t len = blockLen(block);
    uint64_t adr = blockAdr(block);
    if (len == 0) {
        g_doc.InputFlag &= ~inputBit(block);
        return 0;
    }
    uint8_t *before = g_commit.BlockScratch;
    std::memset(before, 0, kJnlDataSize);
    uint32_t got = 0;
    if (!readSourceBytes(adr, len, before, &got)) return 1;
    if (got < len) len = got; // the source never grows here
    if (len == 0) {
        g_doc.InputFlag &= ~inputBit(block);
        return 0;
    }
    bool hasRecord = g_doc.JReadFlag & pageRecordBit(block);
    if (hasRecord) originalBytes(pageRecord(block), before);

    JournalHeader &h = g_jnl.Header;
    JournalRecord r{};
    bool keep = journalOpen();
    if (keep) {
        r.Adr = adr;
        r.Len = len;
        r.PrevPtr = h.Rest; // restore goes on with what it started from before
        r.NextPtr = r.PJnl = r.NJnl = kNullPtr;
        r.PUndo = h.Undo;
        r.NUndo = h.UndoFirst;
        if (!isNullPtr(h.Undo)) {
            JournalRecord u{};
            if (!readFields(h.Undo, u)) return 1;
            r.NUndo = u.NUndo;
        }
        r.Flags = kDirectRecordFlags;
        std::memcpy(r.ModBits, blockMask(block), 64);
        // Without the earlier bytes safe in the journal the source is not touched.
        if (!appendEntry(r, before, len)) return 1;
    }

    bool wrote = writeSourceBytes(adr, len, blockBytes(block));

    if (keep) {
        // The entry exists: link it even when the source write failed, since the source may
        // hold part of the new bytes.
        if (!isNullPtr(r.PrevPtr)) {
            JournalRecord p{};
            if (readFields(r.PrevPtr, p) && isDirectRecord(p.Flags))
                setRestoreNext(r.PrevPtr, r.JAdr);
        }
        h.Rest = r.JAdr;
        if (isNullPtr(h.Undo))
            h.UndoFirst = r.JAdr;
        else
            setUndoNext(h.Undo, r.JAdr);
        if (!isNullPtr(r.NUndo)) setUndoPrev(r.NUndo, r.JAdr);
        h.Undo = r.JAdr;
    }
    if (!wrote) return 1;
    if (hasRecord) unlinkRecord(block, kFlagInSource | kFlagHidden, kFlagLinked | 0x100);
    // The bytes are plain source bytes now; a block moved within the pair keeps its mask.
    std::memset(g_doc.ModMask + (block == 2 ? 64 : 0), 0, 64);
    g_doc.InputFlag &= ~inputBit(block);
    g_commit.SegPending &= ~(1u << (block - 1));
    return 0;
}

int writeDirect() {
    if (!sourceOpen()) return 1;
    if (g_commit.FillBatch != (kFillRunning | kFillYesForAll)) {
        SavePageDialog logic;
        if (plat().runModalDialog(IDD_SAVE_PAGE, logic) != IDC_SAVE_PAGE_YES) {
            g_commit.FillBatch |= kFillSaidNo;
            g_doc.InputFlag = 0;
            return 1;
        }
        if (logic.yesForAll) g_commit.FillBatch |= kFillYesForAll;
    }
    int rc = 0;
    for (int block = 1; block <= 2; ++block)
        if ((g_doc.InputFlag & inputBit(block)) && directBlock(block)) rc = 1;
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) g_doc.InputFlag &= ~1u;
    return rc;
}

// ---- the commit ----

static void tellNoJournal(bool always = false) {
    if (g_commit.toldNoJournal && !always) return;
    g_commit.toldNoJournal = true;
    plat().messageBox("Es ist keine Protokolldatei geöffnet !\n\nDie aktuellen Eingaben bleiben "
                      "erhalten, bis sie in eine\nProtokolldatei übernommen (-> Datei -> andere "
                      "Protokolldatei)\noder mit Esc verworfen werden !",
                      "keine Protokolldatei !", kMbOk | kMbIconWarning | kMbTaskModal);
}

// which: 0 every flagged block, 1 or 2 that block only (journal mode).
static int commit(int which) {
    if (!sourceOpen()) return 1;
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) return 0; // nothing to ask about
    if (g_commit.busy) {
        // Reopening the source closed it under the running commit: the inputs belonged to
        // the page that went away.
        g_doc.InputFlag = 0;
        return 1;
    }
    if (journalOpen() && g_jnl.Damaged) {
        // Neither the journal nor, without its before-image, the source takes the inputs.
        reportDamagedJournal();
        return 1;
    }
    g_commit.busy = true;
    int rc = 0;
    bool journal = true;
    if (g_doc.AccessFlag & kAccDirect) {
        if (!(g_doc.AccessFlag & kAccWritable)) {
            int answer =
                plat().messageBox("Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne "
                                  "Schreibschutz NEU öffnen !",
                                  "Ohne Schreibschutz neu öffnen?", kMbOkCancel | kMbIconQuestion);
            if (answer != kIdOk || reopenWritable() != 0 || !sourceOpen() ||
                !(g_doc.AccessFlag & kAccWritable)) {
                g_doc.InputFlag = 0;
                g_commit.busy = false;
                return 1;
            }
        }
        if (!(g_doc.AccessFlag & kAccUnlocked)) askWriteAccess();
        if (g_doc.AccessFlag & kAccUnlocked) {
            rc = writeDirect();
            journal = false;
        }
    }
    if (journal && !journalOpen()) {
        tellNoJournal();
        rc = 1;
    } else if (journal) {
        if (which != 2 && (g_doc.InputFlag & kInputBlk1)) rc |= journalBlock1();
        if (which != 1 && (g_doc.InputFlag & kInputBlk2)) rc |= journalBlock2();
    }
    g_commit.busy = false;
    // Segment bits belong to the inputs they came with: a block no longer flagged drops them.
    g_commit.SegPending &= (g_doc.InputFlag >> 1) & 3u;
    return rc;
}

int commitInputs() {
    return commit(0);
}

int commitBlock1() {
    return commit(1);
}

int commitBlock2() {
    return commit(2);
}

int settlePendingInputs() {
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) return 0;
    commitInputs();
    if (!(g_doc.InputFlag & (kInputBlk1 | kInputBlk2))) return 0;
    // The page is about to be replaced: flags left standing would name the new page's blocks.
    g_doc.InputFlag &= ~7u;
    g_commit.SegPending = 0;
    return 1;
}

int refuseWithoutJournal() {
    if (!sourceOpen() || journalOpen() || (g_doc.AccessFlag & kAccDirect)) return 0;
    tellNoJournal(true);
    return 1;
}

bool inputsHeld() {
    return sourceOpen() && (g_doc.InputFlag & (kInputBlk1 | kInputBlk2)) && !journalOpen() &&
           !(g_doc.AccessFlag & kAccDirect);
}

int settleOrStay() {
    if (inputsHeld()) {
        tellNoJournal();
        return 1;
    }
    settlePendingInputs();
    return 0;
}
