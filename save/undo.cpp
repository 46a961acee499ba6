#include "save/undo.h"

#include <cstring>

#include "access/docstate.h"
#include "access/source.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "journal/chain.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/flags.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "save/save.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// Per command: write access is asked for at the first source write only.
bool g_writeAsked, g_writeAllowed;
// The record the last step worked on (shown when the command ends).
uint64_t g_lastWorked;
// The last redo step re-linked a saved version without writing it yet (the next step does).
bool g_relinkOnly;

void beginCommand() {
    g_writeAsked = false;
    g_writeAllowed = false;
    g_lastWorked = kNullPtr;
}

bool mayWrite() {
    if (!g_writeAsked) {
        g_writeAsked = true;
        g_writeAllowed = ensureWritable(false) == 0;
    }
    return g_writeAllowed && sourceOpen();
}

bool mapBit(const uint8_t *bits, uint32_t i) {
    return (bits[i >> 3] >> (i & 7)) & 1;
}

uint32_t blockLen(const JournalRecord &r) {
    return r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
}

bool readWhole(uint64_t p, JournalRecord &r, uint8_t *data) {
    if (!validEntry(p)) return false;
    return readRecord(p, r) && readData(data);
}

// Fields at `p`, quietly null when `p` is not an entry of the journal.
bool fieldsAt(uint64_t p, JournalRecord &r) {
    if (!validEntry(p)) return false;
    if (!readFields(p, r)) return false;
    r.JAdr = p;
    return true;
}

// True when `p` is a version in the chain of `r` (r itself included).
bool inVersionChain(const JournalRecord &r, uint64_t p) {
    if (p == r.JAdr) return true;
    uint64_t limit = entryCount();
    JournalRecord v{};
    for (int dir = 0; dir < 2; ++dir) {
        uint64_t q = dir == 0 ? r.PJnl : r.NJnl;
        for (uint64_t steps = 0; !isNullPtr(q) && steps <= limit; ++steps) {
            if (q == p) return true;
            if (!fieldsAt(q, v)) break;
            q = dir == 0 ? v.PJnl : v.NJnl;
        }
    }
    return false;
}

// The address-chain node of r's block when it is one of r's versions, else null. The block's
// neighbours (or FirstPtr/LastPtr) must both lead to it: links of a block taken out of the
// chain are stale and must not be followed.
uint64_t liveNodeInChain(const JournalRecord &r) {
    const JournalHeader &h = g_jnl.Header;
    JournalRecord n{};
    uint64_t x1, x2;
    if (isNullPtr(r.PrevPtr)) {
        x1 = h.FirstPtr;
    } else {
        if (!fieldsAt(r.PrevPtr, n)) return kNullPtr;
        x1 = n.NextPtr;
    }
    if (isNullPtr(r.NextPtr)) {
        x2 = h.LastPtr;
    } else {
        if (!fieldsAt(r.NextPtr, n)) return kNullPtr;
        x2 = n.PrevPtr;
    }
    if (isNullPtr(x1) || x1 != x2) return kNullPtr;
    return inVersionChain(r, x1) ? x1 : kNullPtr;
}

// The node of the block at `adr`, by a walk of the address chain.
uint64_t findNodeByAdr(uint64_t adr) {
    uint64_t p = g_jnl.Header.FirstPtr, limit = entryCount();
    JournalRecord n{};
    for (uint64_t steps = 0; !isNullPtr(p) && steps <= limit; ++steps) {
        if (!fieldsAt(p, n)) return kNullPtr;
        if (n.Adr == adr) return p;
        if (n.Adr > adr) return kNullPtr;
        p = n.NextPtr;
    }
    return kNullPtr;
}

uint64_t liveNodeOfBlock(const JournalRecord &r) {
    uint64_t p = liveNodeInChain(r);
    return isNullPtr(p) ? findNodeByAdr(r.Adr) : p;
}

// The source now holds `src` for the block of `hint`: the node that shows the block marks
// every byte where it differs, so that no unmarked byte on screen differs from the source.
// Returns the node whose map got bits (null when none) and the bits in `added`.
uint64_t syncViewToSource(const JournalRecord &hint, const uint8_t *src, uint32_t len,
                          uint8_t *added = nullptr) {
    if (added) std::memset(added, 0, 64);
    uint64_t p = liveNodeOfBlock(hint);
    if (isNullPtr(p)) return kNullPtr;
    JournalRecord l{};
    uint8_t data[kJnlDataSize];
    if (!readWhole(p, l, data) || (l.Flags & kFlagInSource)) return kNullPtr;
    if (len > blockLen(l)) len = blockLen(l);
    if (l.Flags & kFlagHidden) {
        // A node without edits of its own (a saved version, an original copy) shows what
        // the source holds; marks would claim edits that no save writes.
        if (std::memcmp(data, src, len) == 0) return kNullPtr;
        l.Flags = (l.Flags | kFlagInSource) & kFlagUsedMask;
        rewriteRecord(l, kPrefixFields);
        return kNullPtr;
    }
    bool changed = false;
    for (uint32_t i = 0; i < len; ++i)
        if (data[i] != src[i] && !mapBit(l.ModBits, i)) {
            l.ModBits[i >> 3] |= uint8_t(1u << (i & 7));
            if (added) added[i >> 3] |= uint8_t(1u << (i & 7));
            changed = true;
        }
    if (!changed) return kNullPtr;
    rewriteRecord(l, kPrefixRecord);
    return p;
}

// An original copy passed by undo: the source gets the block's first bytes back. What the
// source held goes to an entry of its own (its address in the copy's unused map), so that
// redo can put it back; bytes the node shows unmarked are marked meanwhile. `undoBefore`:
// the undo cursor before the step, for the header when the step does not happen.
int originalCopyUndo(const JournalRecord &k, uint64_t undoBefore) {
    JournalRecord kk{};
    uint8_t orig[kJnlDataSize], cur[kJnlDataSize];
    if (!readWhole(k.JAdr, kk, orig)) return kStepStopped;
    uint32_t len = blockLen(kk);
    std::memset(cur, 0, sizeof cur);
    if (!readSource(kk.Adr, len, cur)) return kStepStopped;
    if (std::memcmp(orig, cur, len) == 0) {
        if (!(kk.Flags & kFlagCopyPassed)) {
            kk.Flags |= kFlagCopyPassed;
            rewriteRecord(kk, kPrefixFields);
        }
        return kStepDone;
    }
    JournalRecord asWas = kk;
    uint64_t endBefore = g_jnl.JnlEnd;
    kk.Flags |= kFlagCopyPassed;
    if (!mayWrite()) return kStepStopped;
    // The bytes the source holds go to the journal before they are overwritten.
    JournalRecord stash{};
    stash.Adr = kk.Adr;
    stash.Len = len;
    stash.PrevPtr = stash.NextPtr = stash.PUndo = stash.PJnl = stash.NUndo = kNullPtr;
    // Leads back to the copy: redo takes the stash only when it names the copy it belongs to.
    stash.NJnl = kk.JAdr;
    stash.Flags = 0;
    uint64_t slot = kNullPtr;
    if (!appendProvisional(stash, cur, &slot)) return kStepStopped;
    putU64(kk.ModBits, slot);
    rewriteRecord(kk, kPrefixRecord);
    flushJournal();
    if (!writeSource(kk.Adr, 0, len, orig)) {
        // The step did not happen: the copy and the journal's length as they were.
        rewriteRecord(asWas, kPrefixRecord);
        trimJournal(endBefore);
        g_jnl.JnlEnd = endBefore;
        g_jnl.Header.Undo = undoBefore;
        flushJournal();
        return kStepStopped;
    }
    // The stash remembers which node got marks, so that redo takes them away again.
    stash.PJnl = syncViewToSource(kk, orig, len, stash.ModBits);
    stash.JAdr = slot;
    rewriteRecord(stash, kPrefixRecord);
    return kStepDone;
}

// The entry at `slot` is the stash the undo above made for the copy `kk`. The copy's map
// means nothing to the format, so another program may have left any bytes there: the entry
// must be one of this block's stashes, unlinked, and lead back to the copy (stashes made
// before that back-link have none).
bool isStashOf(const JournalRecord &kk, uint64_t slot, JournalRecord &stash, uint8_t *saved) {
    if (!readWhole(slot, stash, saved) || stash.Adr != kk.Adr || stash.Flags != 0) return false;
    if (stash.NJnl == kk.JAdr) return true;
    return isNullPtr(stash.NJnl) && isNullPtr(stash.PrevPtr) && isNullPtr(stash.NextPtr) &&
           isNullPtr(stash.PUndo) && isNullPtr(stash.NUndo);
}

// Redo passes an original copy again: the source gets back what the undo above took from it,
// unless the block was written since.
int originalCopyRedo(const JournalRecord &k) {
    JournalRecord kk{}, stash{};
    uint8_t orig[kJnlDataSize], cur[kJnlDataSize], saved[kJnlDataSize];
    if (!readWhole(k.JAdr, kk, orig)) return kStepDone;
    uint64_t slot = getU64(kk.ModBits);
    if (slot == 0) {
        if (kk.Flags & kFlagCopyPassed) {
            kk.Flags &= ~kFlagCopyPassed;
            rewriteRecord(kk, kPrefixFields);
        }
        return kStepDone;
    }
    kk.Flags &= ~kFlagCopyPassed;
    uint32_t len = blockLen(kk);
    if (isStashOf(kk, slot, stash, saved) && readSource(kk.Adr, len, cur) &&
        std::memcmp(orig, cur, len) == 0) {
        if (!mayWrite() || !writeSource(kk.Adr, 0, len, saved)) return kStepStopped;
        uint64_t live = liveNodeOfBlock(kk);
        JournalRecord l{};
        if (!isNullPtr(live) && live == stash.PJnl && readRecord(live, l)) {
            for (int i = 0; i < 64; ++i)
                l.ModBits[i] &= uint8_t(~stash.ModBits[i]);
            rewriteRecord(l, kPrefixRecord);
        }
        syncViewToSource(kk, saved, len);
    }
    std::memset(kk.ModBits, 0, sizeof kk.ModBits);
    rewriteRecord(kk, kPrefixRecord);
    return kStepDone;
}

// While `n` (fields as they are or will be) is its block's current version, the source holds
// the bytes it shows unmarked (all of them when its marks are hidden), as the source held
// them while n was current; a save lost from the history (a record rewritten in place since)
// comes back so. Returns kStepDone when the source holds them already, kStepStopped when
// they could not be read, and kStepNothing with the bytes in `want` when they are to be
// written.
int sourceWanted(const JournalRecord &n0, bool rebuildMarked, uint8_t *want, uint32_t *lenOut) {
    JournalRecord n{};
    uint8_t data[kJnlDataSize], cur[kJnlDataSize];
    if (!readWhole(n0.JAdr, n, data) || (n0.Flags & kFlagInSource)) return kStepDone;
    n.Flags = n0.Flags;
    uint32_t len = blockLen(n);
    if (!readSource(n.Adr, len, cur)) return kStepStopped;
    // Under n's marks: the block as the source held it before n's edits, as its versions
    // below n say. For a record out of the chain (its marks were discarded) the source keeps
    // what it holds there.
    uint64_t first = kNullPtr;
    if (!rebuildMarked || !bytesBeforeSave(n, want, &first)) std::memcpy(want, cur, len);
    bool hidden = n.Flags & kFlagHidden;
    for (uint32_t i = 0; i < len; ++i)
        if (hidden || !mapBit(n.ModBits, i)) want[i] = data[i];
    *lenOut = len;
    return std::memcmp(want, cur, len) == 0 ? kStepDone : kStepNothing;
}

// The node `n` has just become its block's current version: where it shows other bytes than
// the source holds, they are marked (the source itself changes only where undo or redo put
// a save's bytes back, so that redo can give every byte back).
void markNewCurrent(const JournalRecord &n) {
    uint8_t cur[kJnlDataSize];
    uint32_t len = blockLen(n);
    if (readSource(n.Adr, len, cur)) syncViewToSource(n, cur, len);
}

// The version at `at` is no longer its block's current one; `v` gets its fields when they
// could be read (false otherwise: `v` stays as it was).
static bool stopBeingCurrent(uint64_t at, JournalRecord &v) {
    JournalRecord r{};
    if (!fieldsAt(at, r)) return false;
    r.Flags &= ~kFlagCurrent;
    rewriteRecord(r, kPrefixFields);
    v = r;
    return true;
}

// `to` takes the place of `from` in the address chain: the same links, the neighbours (every
// version) pointing at it.
static void takePlaceOf(JournalRecord &to, const JournalRecord &from) {
    to.Adr = from.Adr;
    to.PrevPtr = from.PrevPtr;
    to.NextPtr = from.NextPtr;
    relinkNeighbours(to);
}

// Undo's step back: the version before Q becomes current (when Q's block is in the chain).
// Without retained versions an original copy never becomes current, since a commit would
// rewrite it in place and the block's first bytes would be lost.
int stepBack(JournalRecord &q) {
    if (isNullPtr(q.PJnl)) return kStepDone;
    JournalRecord o{};
    if (!fieldsAt(q.PJnl, o)) return kStepDone;
    // Before-images only keep bytes for undo: the version before is the one below them.
    for (uint64_t steps = 0, limit = entryCount(); isBeforeImage(o.Flags) && steps <= limit;
         ++steps)
        if (isNullPtr(o.PJnl) || !fieldsAt(o.PJnl, o)) return kStepDone;
    if (isOriginalCopy(o.Flags) && !(g_settings.UndoMode & 2)) return kStepDone;
    uint64_t live = liveNodeInChain(q);
    if (live == q.JAdr && !(q.Flags & (kFlagHidden | kFlagInSource))) {
        // What the source holds while q is current, kept where redo finds it when q is made
        // current again (a save of q's block lost by rewriting it in place is in it).
        uint64_t olderPos = o.JAdr;
        if (!keepBeforeImage(q)) return kStepStopped;
        if (!fieldsAt(olderPos, o)) return kStepDone;
    }
    q.Flags = (q.Flags & 0xEFFEF7) & kFlagUsedMask;
    rewriteRecord(q, kPrefixFields);
    if (isNullPtr(live)) {
        rewriteRecord(o, kPrefixFields);
        return kStepDone;
    }
    if (live != o.JAdr) {
        JournalRecord v{};
        if (live != q.JAdr) stopBeingCurrent(live, v);
        takePlaceOf(o, q);
    }
    o.Flags = (o.Flags | kFlagCurrent | kFlagLinked) & kFlagUsedMask;
    // An original copy that becomes current shows its own bytes again.
    if (isOriginalCopy(o.Flags)) o.Flags &= ~kFlagInSource;
    rewriteRecord(o, kPrefixFields);
    markNewCurrent(o);
    return kStepDone;
}

// The flags N gets as its block's current version (`linked`: its block is in the chain).
void relinkFlags(JournalRecord &n, bool linked) {
    if (linked) n.Flags |= kFlagCurrent | kFlagLinked;
    n.Flags |= 0x100100;
    // A version undo showed from the source shows its own bytes again.
    if ((n.Flags & kFlagInSource) && (n.Flags & kFlagJournalled))
        n.Flags &= ~(kFlagInSource | kFlagHidden);
    n.Flags &= kFlagUsedMask;
}

// Redo's re-link: N becomes the current version of its block. `sync`: the source takes the
// bytes it shows unmarked (left out when a write of N follows in the same step), before
// anything is re-linked, so that a refused or failed write leaves the journal as it was.
int relinkCurrent(JournalRecord &n, bool sync = true) {
    uint64_t live = liveNodeInChain(n);
    uint8_t want[kJnlDataSize];
    uint32_t len = 0;
    bool wrote = false;
    if (sync) {
        // Also where the block is no longer N's chain's (discarded, or shown by a record
        // made since): the source follows N as it did while N was current.
        JournalRecord after = n;
        relinkFlags(after, !isNullPtr(live));
        int w = sourceWanted(after, !isNullPtr(live), want, &len);
        if (w == kStepStopped) return kStepStopped;
        if (w == kStepNothing) {
            if (!mayWrite() || !writeSource(n.Adr, 0, len, want)) return kStepStopped;
            wrote = true;
        }
    }
    if (!isNullPtr(live) && live != n.JAdr) {
        JournalRecord v = n; // its own links when the live version cannot be read
        stopBeingCurrent(live, v);
        takePlaceOf(n, v);
    }
    relinkFlags(n, !isNullPtr(live));
    rewriteRecord(n, kPrefixFields);
    // Whatever node shows the block marks where it differs from the source.
    if (wrote) syncViewToSource(n, want, len);
    return kStepDone;
}

// The save of Q is undone: the source gets the bytes it had before, Q's edits show again.
// A version saved in part goes back to the version before it at once, since its own map
// holds only the edits the save left.
int restoreStep(JournalRecord &q) {
    uint8_t before[kJnlDataSize];
    uint64_t first = kNullPtr;
    uint32_t len = blockLen(q);
    if (!bytesBeforeSave(q, before, &first)) return kStepNothing;
    if (!mayWrite() || !writeSource(q.Adr, 0, len, before)) return kStepStopped;
    // Its edits show again: from its own data, not from the source.
    q.Flags = (q.Flags & 0x5DFFDF & ~kFlagInSource) & kFlagUsedMask;
    JournalHeader &h = g_jnl.Header;
    if (q.Flags & kFlagSavedInPart) {
        rewriteRecord(q, kPrefixFields);
        h.Undo = q.PUndo;
        stepBack(q);
    } else {
        q.Flags |= kFlagSaveTakenBack;
        rewriteRecord(q, kPrefixFields);
        g_save.RestoredAt = q.JAdr;
        copyString(g_save.RestoredJnl, g_jnl.JnlName, sizeof g_save.RestoredJnl);
    }
    JournalRecord k{};
    if (readRecord(first, k)) {
        k.Flags = (k.Flags | kFlagRestored) & kFlagUsedMask;
        rewriteRecord(k, kPrefixRecord);
    }
    syncViewToSource(q, before, len);
    return kStepDone;
}

// Where the record at `p` is shown: its block as block 1, or the last pair when the block
// lies in the last pair's second half.
void showRecordBlock(uint64_t p) {
    JournalRecord r{};
    uint64_t anf = g_doc.AnfPtr;
    uint32_t view = 0;
    if (fieldsAt(p, r)) {
        anf = r.Adr;
        if (anf > g_doc.LastPairPtr) {
            view = uint32_t(anf - g_doc.LastPairPtr);
            anf = g_doc.LastPairPtr;
        }
    }
    showPageAt(anf, view, kShowPrimed | kShowStatus);
}

// True when an original copy of the block at `adr` lies below journal position `below`.
bool olderCopyExists(uint64_t adr, uint64_t below) {
    JournalRecord r{};
    for (uint64_t p = below; p > kJnlHeaderSize;) {
        p -= kJnlEntrySize;
        if (fieldsAt(p, r) && r.Adr == adr && isOriginalCopy(r.Flags)) return true;
    }
    return false;
}

// The cursor has gone back to the beginning of the history: every block gets the bytes of its
// oldest original copy (entries are appended in time), also where copies lie among records
// undone earlier or in another order (a save made after an undo goes to the cursor, ahead of
// them). Blocks the undo steps have already given their first bytes are left alone.
int originalsAtStart() {
    JournalRecord r{};
    uint8_t orig[kJnlDataSize], cur[kJnlDataSize];
    for (uint64_t k = entryCount(); k > 0; --k) {
        uint64_t p = entryOffset(k - 1);
        if (!fieldsAt(p, r) || !isOriginalCopy(r.Flags)) continue;
        uint32_t len = blockLen(r);
        if (!readWhole(p, r, orig) || !readSource(r.Adr, len, cur)) return kStepStopped;
        if (std::memcmp(orig, cur, len) == 0 || olderCopyExists(r.Adr, p)) continue;
        int res = originalCopyUndo(r, g_jnl.Header.Undo);
        if (res != kStepDone) return res;
    }
    return kStepDone;
}

} // namespace

// ---- undo and redo steps ----

void settleTakenBackSave() {
    uint64_t at = g_save.RestoredAt;
    if (isNullPtr(at) || !journalOpen()) return;
    if (std::strcmp(g_save.RestoredJnl, g_jnl.JnlName) != 0) {
        g_save.RestoredAt = kNullPtr;
        return;
    }
    if (!isNullPtr(g_jnl.Header.Undo) && g_jnl.Header.Undo == at) return;
    g_save.RestoredAt = kNullPtr;
    JournalRecord r{};
    if (!fieldsAt(at, r) || !(r.Flags & kFlagSaveTakenBack)) return;
    r.Flags &= ~kFlagSaveTakenBack;
    if (isSaveToRedo(r.Flags)) r.Flags &= ~kFlagWasSaved;
    rewriteRecord(r, kPrefixFields);
}

static int undoStepAt();

// The undo positions move the cursor along the address chain: onto a block no save touched,
// or back past saves still in force. The newest save in force from `from` on along the undo
// chain (from the chain's start when `from` is in no undo chain), or null when there is none.
static uint64_t newestSaveInForce(uint64_t from) {
    JournalRecord r{};
    uint64_t p = from, found = kNullPtr;
    if (isNullPtr(p) || !fieldsAt(p, r) || !inUndoChain(r)) p = g_jnl.Header.UndoFirst;
    for (uint64_t steps = 0, limit = entryCount(); !isNullPtr(p) && steps <= limit; ++steps) {
        if (!fieldsAt(p, r)) break;
        if ((r.Flags & 0x200000) && !isOriginalCopy(r.Flags)) found = p;
        p = r.NUndo;
    }
    return found;
}

// The cursor's own save, taken back by undo, is written again (the cursor stays).
static int redoTakenBackSave(JournalRecord &u) {
    uint8_t data[kJnlDataSize];
    JournalRecord again{};
    if (!readWhole(u.JAdr, again, data) || !mayWrite()) return kStepStopped;
    uint32_t len = blockLen(u);
    if (!writeSource(u.Adr, 0, len, data)) return kStepStopped;
    u.Flags = ((u.Flags | 0xA20020) & ~kFlagSaveTakenBack) & kFlagUsedMask;
    rewriteRecord(u, kPrefixFields);
    if (g_save.RestoredAt == u.JAdr) g_save.RestoredAt = kNullPtr;
    g_save.SegCarry = u.Flags & kFlagContinues;
    g_lastWorked = u.JAdr;
    syncViewToSource(u, data, len);
    return kStepDone;
}

int undoStep() {
    settleTakenBackSave();
    int r = undoStepAt();
    if (r == kStepDone && isNullPtr(g_jnl.Header.Undo)) {
        int res = originalsAtStart();
        if (res != kStepDone) return res;
    }
    return r;
}

static int undoStepAt() {
    JournalHeader &h = g_jnl.Header;
    if (!journalOpen() || isNullPtr(h.Undo)) return kStepNothing;
    uint64_t at = h.Undo;
    JournalRecord q{};
    if (!validEntry(at) || !readRecord(at, q)) return kStepStopped;
    if (!inUndoChain(q)) {
        // No save to take back here: its edits stay; undo goes on at the newest save.
        at = newestSaveInForce(at);
        if (isNullPtr(at) || !readRecord(at, q)) return kStepNothing;
        h.Undo = at;
    }
    g_save.SegCarry = q.Flags & kFlagFromPrevious;
    g_lastWorked = at;
    if (isSavedInSource(q.Flags)) {
        int r = restoreStep(q);
        if (r != kStepNothing) return r;
        // No older bytes to put back: the save is passed over.
    }
    h.Undo = q.PUndo;
    JournalRecord asWas = q;
    uint64_t restoredAt = g_save.RestoredAt;
    if ((q.Flags & kFlagSaveTakenBack) && !isOriginalCopy(q.Flags)) {
        // Undo goes on from the save it took back: redo may save it again.
        q.Flags &= ~kFlagSaveTakenBack;
        rewriteRecord(q, kPrefixFields);
        if (g_save.RestoredAt == at) g_save.RestoredAt = kNullPtr;
    }
    if (!isSaveRestored(q.Flags)) {
        if (isOriginalCopy(q.Flags)) {
            int r = originalCopyUndo(q, at);
            if (r != kStepDone) {
                h.Undo = at;
                return r;
            }
        }
        // An original copy keeps its state: the source holds its bytes now.
        if (keepsStateOnUndo(q.Flags)) return kStepDone;
        q.Flags = ((q.Flags & 0xEFFEFF) | 0x400020) & kFlagUsedMask;
        rewriteRecord(q, kPrefixFields);
        return kStepDone;
    }
    if (stepBack(q) != kStepStopped) return kStepDone;
    // Stopped before it changed anything: the cursor and the record as they were.
    h.Undo = at;
    if (asWas.Flags != q.Flags) rewriteRecord(asWas, kPrefixFields);
    g_save.RestoredAt = restoredAt;
    return kStepStopped;
}

int redoStep() {
    JournalHeader &h = g_jnl.Header;
    if (!journalOpen()) return kStepNothing;
    settleTakenBackSave();
    uint64_t at;
    if (!isNullPtr(h.Undo)) {
        JournalRecord u{};
        if (!fieldsAt(h.Undo, u)) return kStepStopped;
        // A save that undo took back with the cursor left on its record comes back first, so
        // that redo gives back what undo took, the first record of a run included.
        if ((u.Flags & kFlagSaveTakenBack) && !isOriginalCopy(u.Flags) && isSaveToRedo(u.Flags))
            return redoTakenBackSave(u);
        if (isNullPtr(u.NUndo)) return kStepNothing;
        at = u.NUndo;
    } else {
        if (isNullPtr(h.UndoFirst)) return kStepNothing;
        at = h.UndoFirst;
    }
    JournalRecord n{};
    if (!validEntry(at) || !readRecord(at, n)) return kStepStopped;
    g_save.SegCarry = n.Flags & kFlagContinues;
    g_lastWorked = at;
    g_relinkOnly = false;
    if (isOriginalCopy(n.Flags) && originalCopyRedo(n) != kStepDone) return kStepStopped;
    g_relinkOnly = false;
    bool relink = false;
    if (isRelinkInPlace(n.Flags)) {
        // A version saved in part is re-linked and written in one step, as undo took it back
        // in one: its map holds only the edits the save left. The re-link follows the write.
        if (!(n.Flags & kFlagSavedInPart)) {
            int r = relinkCurrent(n);
            g_relinkOnly = r == kStepDone;
            return r;
        }
        relink = true;
    }
    uint64_t keep = h.Undo;
    h.Undo = at;
    if (relink || isSaveToRedo(n.Flags)) {
        uint8_t data[kJnlDataSize], want[kJnlDataSize];
        uint32_t len = blockLen(n);
        bool part = n.Flags & kFlagSavedInPart;
        JournalRecord again{};
        if (!readWhole(at, again, data) || !mayWrite()) {
            h.Undo = keep;
            return kStepStopped;
        }
        std::memcpy(want, data, len);
        if (part) {
            // Only what the save wrote: the bytes outside the edits it left.
            if (!readSource(n.Adr, len, want)) {
                h.Undo = keep;
                return kStepStopped;
            }
            for (uint32_t i = 0; i < len; ++i)
                if (!mapBit(n.ModBits, i)) want[i] = data[i];
        }
        if (!writeSource(n.Adr, 0, len, want)) {
            h.Undo = keep;
            return kStepStopped;
        }
        if (relink) relinkCurrent(n, false);
        n.Flags = ((n.Flags | (part ? 0xA20000 : 0xA20020)) & ~kFlagSaveTakenBack) & kFlagUsedMask;
        rewriteRecord(n, kPrefixFields);
        syncViewToSource(n, want, len);
    } else if (isRelinkAsCurrent(n.Flags)) {
        int r = relinkCurrent(n);
        if (r == kStepStopped) h.Undo = keep;
        return r;
    } else if (isShownFromSource(n.Flags)) {
        n.Flags = ((n.Flags & 0xBFFFDF) | 0x100) & kFlagUsedMask;
        rewriteRecord(n, kPrefixFields);
    }
    return kStepDone;
}

// ---- the commands ----

namespace {

bool ready() {
    if (!sourceOpen() || !journalOpen()) return false;
    settlePendingInputs();
    beginCommand();
    return true;
}

uint64_t stepLimit() {
    return 2 * entryCount() + 4;
}

// A run: steps while SegCarry says the run goes on. Nothing done: the view stays as it is.
int runSteps(int (*step)(), bool whole) {
    if (!ready()) return 1;
    g_save.SegCarry = 0;
    bool any = false;
    Pacer pace;
    for (uint64_t n = 0; n < stepLimit(); ++n) {
        int r = step();
        if (r == kStepNothing) break;
        if (r == kStepStopped) break;
        any = true;
        if (pace.due()) showTopLeft(g_jnl.Header.Undo, kWhite);
        // A re-link without the write belongs to the same record: its write comes next.
        if (!whole && !g_save.SegCarry && !(step == redoStep && g_relinkOnly)) break;
    }
    if (!any) return 1;
    flushJournalHeader();
    if (!isNullPtr(g_lastWorked)) showRecordBlock(g_lastWorked);
    return 0;
}

int oneStep(int (*step)()) {
    if (!ready()) return 1;
    int r = step();
    if (r != kStepDone) return 1;
    flushJournalHeader();
    showRecordBlock(g_lastWorked);
    return 0;
}

} // namespace

int undoRun() {
    return runSteps(undoStep, false);
}

int undoOne() {
    return oneStep(undoStep);
}

int undoAll() {
    if (!ready()) return 1;
    // All saves: also those the undo positions left behind the cursor.
    uint64_t newest = newestSaveInForce(g_jnl.Header.Undo);
    if (!isNullPtr(newest)) g_jnl.Header.Undo = newest;
    g_save.SegCarry = 0;
    bool any = false;
    Pacer pace;
    for (uint64_t n = 0; n < stepLimit(); ++n) {
        int r = undoStep();
        if (r != kStepDone) break;
        any = true;
        if (pace.due()) showTopLeft(g_jnl.Header.Undo, kWhite);
    }
    // Begun at the start of the history (a redo may re-link there without moving the cursor):
    // the blocks still get their first bytes back.
    if (!any && isNullPtr(g_jnl.Header.Undo)) {
        uint64_t end = g_jnl.JnlEnd;
        if (originalsAtStart() != kStepDone) return 1;
        any = g_jnl.JnlEnd != end;
    }
    if (!any) return 1;
    flushJournalHeader();
    showPageAt(g_doc.AnfPtr, g_doc.ViewOfs, kShowPrimed | kShowStatus);
    return 0;
}

int redoRun() {
    return runSteps(redoStep, false);
}

int redoOne() {
    return oneStep(redoStep);
}

int redoAll() {
    return runSteps(redoStep, true);
}

// ---- undo positions ----

// The undo cursor moves to the block's neighbour in the address chain, so that the next undo
// or redo acts there; without a neighbour it stays and its own block is shown.
static int moveUndoPos(bool next) {
    if (!sourceOpen() || !journalOpen()) return 1;
    JournalHeader &h = g_jnl.Header;
    if (isNullPtr(h.Undo)) return 1;
    settlePendingInputs();
    settleTakenBackSave();
    JournalRecord r{};
    if (!fieldsAt(h.Undo, r)) return 1;
    uint64_t link = next ? r.NextPtr : r.PrevPtr;
    uint64_t target = r.Adr;
    JournalRecord q{};
    if (!isNullPtr(link) && fieldsAt(link, q)) {
        h.Undo = link;
        target = q.Adr;
        flushJournalHeader();
    }
    uint32_t view = 0;
    if (target > g_doc.LastPairPtr) {
        view = uint32_t(target - g_doc.LastPairPtr);
        target = g_doc.LastPairPtr;
    }
    showPageAt(target, view);
    showTopLeft(h.Undo, kWhite);
    return 0;
}

int prevUndoPos() {
    return moveUndoPos(false);
}

int nextUndoPos() {
    return moveUndoPos(true);
}

// ---- discarding ----

namespace {

// One page block of a discard: the range's bytes come from the source again.
void discardBlock(int block, uint64_t end) {
    JournalRecord &r = pageRecord(block);
    uint64_t adr = block == 2 ? g_doc.MidPtr : g_doc.AnfPtr;
    uint8_t *bytes = g_doc.PageBuf + (block == 2 ? 512 : 0);
    uint32_t len = block == 2 ? g_doc.Blk2Len : g_doc.Blk1Len;
    uint64_t from = g_save.SaveCursor > adr ? g_save.SaveCursor : adr;
    uint64_t to = end < adr + 512 ? end : adr + 512;
    if (to <= from) return;
    uint32_t off = uint32_t(from - adr), n = uint32_t(to - from);
    if (off >= len) return;
    if (off + n > len) n = len - off;
    uint8_t *src = g_save.BlockScratch;
    if (!readSource(adr, len, src)) return;
    std::memcpy(bytes + off, src + off, n);
    if (block == 1)
        dropRangeBits1();
    else
        dropRangeBits2();
    uint8_t *half = g_doc.ModMask + (block == 2 ? 64 : 0);
    if (block == 1 ? anyBits1() : anyBits2()) {
        rewriteRecord(r, kPrefixRecord);
        // A record shown from the source keeps its own data.
        if (!(r.Flags & kFlagInSource)) writeData(r.JAdr, bytes);
        std::memcpy(half, r.ModBits, 64);
    } else {
        unlinkBlockRecord(block);
        std::memset(half, 0, 64);
    }
}

} // namespace

int discardRange() {
    if (!sourceOpen() || !journalOpen() || !g_doc.MarkFlag) return 1;
    uint64_t end = g_doc.MarkEnd < g_doc.FileSize ? g_doc.MarkEnd : g_doc.FileSize;
    if (end <= g_doc.MarkStart) return 1;
    settlePendingInputs();
    uint64_t keepEnd = g_doc.MarkEnd;
    g_doc.MarkEnd = end;
    uint64_t keepAnf = g_doc.AnfPtr;
    uint32_t keepView = g_doc.ViewOfs;
    g_doc.ViewOfs = 0;
    movePairTo(g_doc.MarkStart);
    g_save.SaveCursor = g_doc.MarkStart;
    for (uint64_t passes = 0, limit = entryCount() + 2; passes <= limit; ++passes) {
        if ((g_doc.JReadFlag & 1) && holdsJournalledEdits(g_jnl.JData1.Flags)) discardBlock(1, end);
        if (end <= g_doc.AnfPtr + 512 || !hasBlock2()) break;
        if ((g_doc.JReadFlag & 2) && holdsJournalledEdits(g_jnl.JData2.Flags)) discardBlock(2, end);
        if (end <= g_doc.MidPtr + 512) break;
        if (end - g_doc.AnfPtr < 1025 || isNullPtr(g_jnl.JNextPtr) || end <= g_jnl.JNextAdr) break;
        nextJournalPage();
        g_save.SaveCursor = g_doc.AnfPtr;
    }
    g_doc.MarkEnd = keepEnd;
    flushJournalHeader();
    showPageAt(keepAnf, keepView);
    return 0;
}

int discardPage() {
    if (!sourceOpen()) return 1;
    uint64_t ms = g_doc.MarkStart, me = g_doc.MarkEnd;
    uint32_t mf = g_doc.MarkFlag;
    g_doc.MarkStart = g_doc.AnfPtr + g_doc.ViewOfs;
    g_doc.MarkEnd = g_doc.MarkStart + 512;
    // The window stops at the end of the source; its last byte is part of it.
    if (g_doc.MarkEnd > g_doc.FileSize) g_doc.MarkEnd = g_doc.FileSize;
    g_doc.MarkFlag = 1;
    int r = discardRange();
    g_doc.MarkStart = ms;
    g_doc.MarkEnd = me;
    g_doc.MarkFlag = mf;
    paintPage();
    return r;
}
