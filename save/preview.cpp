#include "save/preview.h"

#include "access/heldview.h"

#include <cstring>
#include <type_traits>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/source.h"
#include "app/settings.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/chain.h"
#include "journal/flags.h"
#include "journal/lifecycle.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "save/save.h"
#include "save/undo.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/status.h"

PreviewData g_preview;

void resetPreviewState() {
    std::memset(&g_preview, 0, sizeof g_preview);
    g_preview.ShownVersion = g_preview.PreviewUndo = kNullPtr;
}

namespace {

// ---- the page before the preview ----

// The page state a preview replaces, field by field: `move(saved, live)` for each.
template <class Move> void snapshotFields(Move move) {
    auto &s = g_preview.PreviewSave;
    move(s.ReadPtr, g_doc.ReadPtr), move(s.AnfPtr, g_doc.AnfPtr), move(s.MidPtr, g_doc.MidPtr);
    move(s.PageBuf, g_doc.PageBuf), move(s.ModMask, g_doc.ModMask);
    move(s.Blk1Len, g_doc.Blk1Len), move(s.Blk2Len, g_doc.Blk2Len);
    move(s.PageLen, g_doc.PageLen), move(s.Blk2Flag, g_doc.Blk2Flag);
    move(s.ViewOfs, g_doc.ViewOfs), move(s.JReadFlag, g_doc.JReadFlag);
    move(s.CurOfs, g_doc.CurOfs), move(s.CurCol, g_doc.CurCol);
    move(s.JData1, g_jnl.JData1), move(s.JData2, g_jnl.JData2);
    move(s.JPrevPtr, g_jnl.JPrevPtr), move(s.JPrevAdr, g_jnl.JPrevAdr);
    move(s.JNextPtr, g_jnl.JNextPtr), move(s.JNextAdr, g_jnl.JNextAdr);
}

template <class T> void copyField(T &to, const T &from) {
    if constexpr (std::is_array_v<T>)
        std::memcpy(to, from, sizeof to);
    else
        to = from;
}

void takeSnapshot() {
    snapshotFields([](auto &saved, auto &live) { copyField(saved, live); });
    g_preview.JAdrKeep1 = (g_doc.JReadFlag & 1) ? g_jnl.JData1.JAdr : kNullPtr;
    g_preview.JAdrKeep2 = (g_doc.JReadFlag & 2) ? g_jnl.JData2.JAdr : kNullPtr;
}

void restoreSnapshot() {
    snapshotFields([](auto &saved, auto &live) { copyField(live, saved); });
    placeCursor();
}

void normalColours() {
    g_paint.darken = 0;
    g_paint.hexBg = g_paint.hexBgDefault;
    g_paint.charBg = g_paint.charBgDefault;
}

void previewLook(const char *title) {
    g_paint.darken = kPreviewDarken;
    g_paint.hexBg = g_paint.hexBgDefault - kPreviewDarken;
    g_paint.charBg = g_paint.charBgDefault - kPreviewDarken;
    plat().setTitle(title);
    showPage(kShowKeepView);
}

// The preview ends without a repaint (an accept shows the page itself afterwards).
void dropPreview() {
    restoreSnapshot();
    normalColours();
    g_preview.PreviewState = 0;
    g_preview.Steps = 0;
    g_jnl.JData1.PreviewSteps = g_jnl.JData2.PreviewSteps = 0;
    showSourceTitle();
}

// ---- versions and their stages ----
//
// Going back through a block, each version shows in up to two stages: a version whose save
// is (or was) in the source first as saved (no marks), then with the edits that save wrote
// marked again; the oldest version of a block never saved shows its edits, then the source's
// bytes before them. Before-images only keep bytes for undo and are passed over.

enum Stage { kStageSource, kStageEdits, kStageSaved, kStagePlain };

bool savable(uint32_t f) {
    return !isOriginalCopy(f) &&
           ((f & kFlagWasSaved) || isSavedInSource(f) || isSaveInForce(f) || isSaveToRedo(f));
}

bool inForce(uint32_t f) {
    return isSavedInSource(f) || isSaveInForce(f);
}

bool fieldsOf(uint64_t p, JournalRecord &r) {
    if (isNullPtr(p) || !validEntry(p) || !readFields(p, r)) return false;
    r.JAdr = p;
    return true;
}

uint64_t neighbourVersion(const JournalRecord &r, bool older) {
    JournalRecord v{};
    uint64_t p = older ? r.PJnl : r.NJnl;
    for (uint64_t steps = 0, limit = entryCount(); steps <= limit; ++steps) {
        if (!fieldsOf(p, v)) return kNullPtr;
        if (!isBeforeImage(v.Flags)) return p;
        p = older ? v.PJnl : v.NJnl;
    }
    return kNullPtr;
}

// The stages of version r, oldest first, and how many there are.
int stagesOf(const JournalRecord &r, Stage out[2]) {
    if (isOriginalCopy(r.Flags)) {
        out[0] = kStagePlain;
        return 1;
    }
    if (savable(r.Flags)) {
        out[0] = kStageEdits;
        out[1] = kStageSaved;
        return 2;
    }
    if (isNullPtr(neighbourVersion(r, true)) && !(r.Flags & kFlagOriginal) &&
        (r.Flags & kFlagJournalled)) {
        out[0] = kStageSource;
        out[1] = kStageEdits;
        return 2;
    }
    out[0] = kStageEdits;
    return 1;
}

// The stage the normal view shows of the current version r.
int startStage(const JournalRecord &r) {
    Stage s[2];
    int n = stagesOf(r, s);
    if (n == 2 && s[1] == kStageSaved && !inForce(r.Flags) && !(r.Flags & kFlagHidden)) return 0;
    if (n == 2 && s[0] == kStageSource && (r.Flags & kFlagInSource)) return 0;
    return n - 1;
}

// Shows stage `stage` of the version at `p` in page block `block`.
bool renderVersion(int block, uint64_t p, Stage stage) {
    JournalRecord &pr = pageRecord(block);
    JournalRecord r{};
    uint8_t data[kJnlDataSize];
    if (!validEntry(p) || !readRecord(p, r) || !readData(data)) return false;
    uint8_t *bytes = g_doc.PageBuf + (block == 2 ? 512 : 0);
    uint8_t *mask = g_doc.ModMask + (block == 2 ? 64 : 0);
    uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
    std::memset(mask, 0, 64);
    if (stage == kStageSource) {
        uint64_t pos = r.Adr;
        len = readSourceBlock(pos, bytes);
    } else {
        std::memcpy(bytes, data, kJnlDataSize);
        if (stage == kStageEdits) std::memcpy(mask, r.ModBits, 64);
    }
    int32_t steps = g_preview.Steps;
    pr = r;
    pr.JAdr = p;
    pr.PreviewSteps = steps;
    if (block == 1) {
        g_doc.Blk1Len = len;
    } else {
        g_doc.Blk2Len = len;
        g_doc.Blk2Flag = len ? 512 : 0;
    }
    g_doc.PageLen = g_doc.Blk1Len + g_doc.Blk2Len;
    return true;
}

Stage stageAt(uint64_t p, int i) {
    JournalRecord r{};
    Stage s[2] = {kStageEdits, kStageEdits};
    if (fieldsOf(p, r)) stagesOf(r, s);
    return s[i];
}

// ---- version preview ----

int versionStep(bool back) {
    if (!sourceOpen() || !journalOpen()) return 1;
    bool fresh = !(g_preview.PreviewState & 0x1);
    uint32_t viewOfs = g_preview.PreviewState ? g_preview.PreviewSave.ViewOfs : g_doc.ViewOfs;
    uint32_t jread = g_preview.PreviewState ? g_preview.PreviewSave.JReadFlag : g_doc.JReadFlag;
    int block = fresh ? (viewOfs >= 512 ? 2 : 1) : ((g_preview.PreviewState & 0x8) ? 2 : 1);
    if (fresh && !(jread & pageRecordBit(block))) return 1;
    if (fresh && !g_preview.PreviewState) {
        if (settlePendingInputs() != 0 || !(g_doc.JReadFlag & pageRecordBit(block))) return 1;
        takeSnapshot();
    }
    uint64_t v = g_preview.ShownVersion;
    int stage = g_preview.ShownStage;
    if (fresh) {
        const JournalRecord &kept =
            block == 1 ? g_preview.PreviewSave.JData1 : g_preview.PreviewSave.JData2;
        v = kept.JAdr;
        JournalRecord k{};
        if (!fieldsOf(v, k)) return 1;
        stage = startStage(k);
    }
    JournalRecord r{};
    if (!fieldsOf(v, r)) return 1;
    Stage s[2];
    int n = stagesOf(r, s);
    if (back && stage > 0) {
        --stage;
    } else if (!back && stage < n - 1) {
        ++stage;
    } else {
        uint64_t next = neighbourVersion(r, back);
        if (isNullPtr(next)) return 1;
        JournalRecord nr{};
        if (!fieldsOf(next, nr)) return 1;
        v = next;
        stage = back ? stagesOf(nr, s) - 1 : 0;
    }
    // The step exists: an undo preview shown until now gives the page back first.
    if (fresh && g_preview.PreviewState) {
        restoreSnapshot();
        g_preview.Steps = 0;
    }
    if (fresh && block == 1) {
        // The block from its first byte; the cursor stays on its byte.
        uint32_t cur = g_doc.CurOfs + g_doc.ViewOfs;
        g_doc.CurOfs = cur > 511 ? 511 : cur;
        g_doc.ViewOfs = 0;
    }
    g_preview.Steps += back ? -1 : 1;
    if (!renderVersion(block, v, stageAt(v, stage))) {
        if (fresh) dropPreview(), showPage(kShowKeepView);
        return 1;
    }
    g_preview.ShownVersion = v;
    g_preview.ShownStage = stage;
    g_preview.PreviewState = (block == 2 ? 0x9 : 0x1) | (back ? 0x4 : 0);
    previewLook(kVersionPreviewTitle);
    return 0;
}

// ---- undo and redo preview ----

bool takenBack(uint64_t p) {
    JournalRecord r{};
    return fieldsOf(p, r) && (r.Flags & kFlagSaveTakenBack) && !isOriginalCopy(r.Flags) &&
           isSaveToRedo(r.Flags);
}

// Block 1 shows the version at `p` in `stage`; stage -1: the block's normal view.
bool renderUndoView(uint64_t adr, uint64_t p, int stage, Stage kind) {
    movePairTo(adr);
    g_doc.ViewOfs = 0;
    if (stage < 0 || isNullPtr(p)) {
        g_jnl.JData1.PreviewSteps = g_preview.Steps;
        return true;
    }
    return renderVersion(1, p, kind);
}

int undoRedoStep(bool back) {
    if (!sourceOpen() || !journalOpen()) return 1;
    const JournalHeader &h = g_jnl.Header;
    bool fresh = !(g_preview.PreviewState & 0x2);
    uint64_t u = fresh ? h.Undo : g_preview.PreviewUndo;
    bool taken = fresh ? (!isNullPtr(u) && takenBack(u)) : g_preview.PreviewTakenBack;
    // What the step leaves: the block at `adr`, version `p` in stage `kind` (p null: the
    // block as it stands).
    uint64_t adr = 0, p = kNullPtr;
    Stage kind = kStageEdits;
    JournalRecord q{};
    if (back) {
        if (isNullPtr(u) || !fieldsOf(u, q)) return 1;
        adr = q.Adr;
        if ((taken || isSaveRestored(q.Flags) ||
             (isSavedInSource(q.Flags) && (q.Flags & kFlagSavedInPart))) &&
            !isOriginalCopy(q.Flags)) {
            // The step back to the older version.
            p = neighbourVersion(q, true);
            JournalRecord o{};
            if (fieldsOf(p, o)) {
                Stage s[2];
                int n = stagesOf(o, s);
                kind = s[n - 1];
                if (isOriginalCopy(o.Flags) && !(g_settings.UndoMode & 2)) kind = kStageSource;
            }
            u = q.PUndo;
            taken = false;
        } else if (isSavedInSource(q.Flags)) {
            p = u; // its save taken back: its edits show again, the cursor stays
            kind = kStageEdits;
            taken = true;
        } else {
            p = u;
            kind = isOriginalCopy(q.Flags)
                       ? kStagePlain
                       : (keepsStateOnUndo(q.Flags) ? kStageEdits : kStageSource);
            if (kind == kStageEdits && (q.Flags & kFlagInSource)) kind = kStageSource;
            u = q.PUndo;
            taken = false;
        }
    } else {
        if (taken) {
            if (!fieldsOf(u, q)) return 1;
            p = u;
            kind = kStageSaved;
            taken = false;
        } else {
            JournalRecord c{};
            uint64_t n = h.UndoFirst;
            if (!isNullPtr(u)) n = fieldsOf(u, c) ? c.NUndo : kNullPtr;
            if (!fieldsOf(n, q)) return 1;
            u = n;
            p = n;
            if (isSaveToRedo(q.Flags) || isSavedInSource(q.Flags))
                kind = kStageSaved;
            else if (isOriginalCopy(q.Flags))
                p = kNullPtr;
            else
                kind = kStageEdits;
        }
        adr = q.Adr;
    }
    if (!g_preview.PreviewState) {
        if (settlePendingInputs() != 0) return 1;
        takeSnapshot();
    } else {
        restoreSnapshot();
    }
    if (fresh) g_preview.Steps = 0;
    g_preview.Steps += back ? -1 : 1;
    if (adr > g_doc.LastBlkPtr) adr = g_doc.LastBlkPtr;
    if (!renderUndoView(adr, p, isNullPtr(p) ? -1 : 0, kind)) {
        dropPreview();
        showPage(kShowKeepView);
        return 1;
    }
    g_preview.PreviewUndo = u;
    g_preview.PreviewTakenBack = taken;
    g_preview.PreviewState = back ? 0x6 : 0x2;
    previewLook(kUndoPreviewTitle);
    return 0;
}

// ---- accepting a version ----

bool askChange() {
    // Refused without write permission.
    if (!(g_doc.AccessFlag & kAccWritable)) return false;
    return plat().messageBox("Originaldatei wird verändert !\n\nEinverstanden ?", "! ! !",
                             kMbOkCancel | kMbIconQuestion | kMbTaskModal) == kIdOk;
}

bool mapBit(const uint8_t *m, uint32_t i) {
    return (m[i >> 3] >> (i & 7)) & 1;
}

// The bytes under the marks of v when it becomes current going forward: those of the nearest
// older version whose save will be in force (the versions passed on the way are saved again),
// or of the original copy; false when there is none (the source keeps its bytes there).
bool forwardUnder(const JournalRecord &v, uint64_t kept, uint8_t *out) {
    bool passed = false; // below the kept version: flags tell as they are
    JournalRecord r{};
    uint8_t data[kJnlDataSize];
    uint64_t p = neighbourVersion(v, true);
    for (uint64_t steps = 0, limit = entryCount(); !isNullPtr(p) && steps <= limit; ++steps) {
        if (!validEntry(p) || !readRecord(p, r) || !readData(data)) return false;
        bool take = isOriginalCopy(r.Flags) || (passed ? inForce(r.Flags) : savable(r.Flags));
        if (p == kept) passed = true;
        if (take) {
            std::memcpy(out, data, kJnlDataSize);
            return true;
        }
        p = neighbourVersion(r, true);
    }
    return false;
}

void setFlags(uint64_t p, uint32_t andMask, uint32_t orMask) {
    JournalRecord r{};
    if (!fieldsOf(p, r)) return;
    uint32_t f = ((r.Flags & andMask) | orMask) & kFlagUsedMask;
    if (f == r.Flags) return;
    r.Flags = f;
    rewriteRecord(r, kPrefixFields);
}

// A save of the block in force again: its record goes to the undo cursor, as every save's
// does, so that undo takes it back.
void bringIntoForce(uint64_t p) {
    JournalRecord r{};
    if (!fieldsOf(p, r)) return;
    r.Flags = ((r.Flags & ~(kFlagInSource | kFlagSaveTakenBack)) | 0xA20020) & kFlagUsedMask;
    rewriteRecord(r, kPrefixFields);
    moveToUndoCursor(r);
}

constexpr uint32_t kTakeBackMask = 0x5DFFDF & ~kFlagInSource;

int acceptVersion(int block) {
    uint64_t kept = block == 1 ? g_preview.JAdrKeep1 : g_preview.JAdrKeep2;
    uint64_t v = g_preview.ShownVersion;
    Stage stage = stageAt(v, g_preview.ShownStage);
    JournalRecord k{}, r{};
    uint8_t data[kJnlDataSize], want[kJnlDataSize], cur[kJnlDataSize];
    if (!fieldsOf(kept, k) || !validEntry(v) || !readRecord(v, r) || !readData(data)) return 1;
    bool back = g_preview.Steps < 0;
    if (g_preview.Steps == 0) {
        endPreview();
        return 0;
    }
    uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
    if (r.Adr + len > g_doc.FileSize) len = uint32_t(g_doc.FileSize - r.Adr);
    bool write = false;
    bool copyNoVersions = isOriginalCopy(r.Flags) && !(g_settings.UndoMode & 2);
    if (stage != kStageSource) {
        if (!readSource(r.Adr, len, cur)) return 1;
        std::memcpy(want, cur, len);
        uint8_t under[kJnlDataSize];
        uint64_t first = kNullPtr;
        bool haveUnder = stage == kStageEdits &&
                         (back ? bytesBeforeSave(r, under, &first) : forwardUnder(r, kept, under));
        for (uint32_t i = 0; i < len; ++i) {
            if (stage != kStageEdits || !mapBit(r.ModBits, i))
                want[i] = data[i];
            else if (haveUnder)
                want[i] = under[i];
        }
        write = std::memcmp(want, cur, len) != 0;
        // A save taken back needs the bytes from before it; without them (no undo kept)
        // the edits would show over bytes the source no longer has.
        if (stage == kStageEdits && savable(r.Flags) && !haveUnder) return 1;
    }
    // Without undo the source's bytes before the edits are simply the block discarded.
    bool discard = stage == kStageSource && !(g_settings.UndoMode & 3);
    if (write) {
        if (!askChange()) return 1;
        if (ensureWritable(false) != 0) return 1;
    }
    dropPreview();
    if (write && !writeSource(r.Adr, 0, len, want)) {
        showPage(kShowKeepView);
        return 1;
    }
    // The versions passed on the way: saves taken back going back, saved again going on.
    JournalRecord q = k;
    for (uint64_t steps = 0, limit = entryCount(); q.JAdr != v && steps <= limit; ++steps) {
        if (back && inForce(q.Flags))
            setFlags(q.JAdr, kTakeBackMask, 0);
        else if (!back && savable(q.Flags) && !inForce(q.Flags))
            bringIntoForce(q.JAdr);
        uint64_t next = neighbourVersion(q, back);
        if (!fieldsOf(next, q)) break;
    }
    // The version shown takes the stage it was shown in.
    uint32_t andMask = ~0u, orMask = 0;
    if (stage == kStageSource) andMask = 0xEFFEFF, orMask = 0x400020;
    if (stage == kStageEdits && savable(r.Flags))
        andMask = 0x5DFFDF & ~kFlagInSource & ~kFlagSaveTakenBack;
    if (stage == kStageEdits && !savable(r.Flags)) andMask = ~(kFlagInSource | kFlagHidden);
    if (stage == kStageSaved) andMask = ~(kFlagInSource | kFlagSaveTakenBack), orMask = 0xA20020;
    if (stage == kStagePlain) andMask = ~kFlagInSource;
    if (discard) {
        unlinkBlockRecord(block);
    } else if (copyNoVersions) {
        // Without retained versions the copy never becomes current (a commit would rewrite
        // it in place): the block stays with its record, shown from the source.
        setFlags(kept, 0xEFFEFF, 0x400020);
    } else {
        if (stage == kStageSaved && !inForce(r.Flags))
            bringIntoForce(v);
        else
            setFlags(v, andMask, orMask);
        if (v != kept) {
            // The mend: the version that was current loses 0x8, not one the merge looked at.
            setFlags(kept, ~kFlagCurrent, 0);
            JournalRecord n{};
            if (fieldsOf(v, n)) {
                n.Adr = k.Adr;
                n.PrevPtr = k.PrevPtr;
                n.NextPtr = k.NextPtr;
                n.Flags = (n.Flags | kFlagCurrent | kFlagLinked) & kFlagUsedMask;
                rewriteRecord(n, kPrefixFields);
                relinkNeighbours(n);
            }
        }
    }
    flushJournalHeader();
    showPageAt(g_doc.AnfPtr, g_doc.ViewOfs, kShowPrimed | kShowStatus);
    showSourceTitle();
    return 0;
}

// The snapshot holds the view of a preview or of a held view, one at a time.
bool snapshotInUse() {
    return g_preview.PreviewState || (g_preview.HeldView & 1);
}

} // namespace

// ---- commands ----

int versionBack() {
    return versionStep(true);
}

int versionForward() {
    return versionStep(false);
}

int undoPreview() {
    return undoRedoStep(true);
}

int redoPreview() {
    return undoRedoStep(false);
}

int endPreview() {
    if (!g_preview.PreviewState) return 1;
    dropPreview();
    showPage(kShowKeepView);
    return 0;
}

int acceptVersion1() {
    return (g_preview.PreviewState & ~0x4u) == 0x1 ? acceptVersion(1) : 1;
}

int acceptVersion2() {
    return (g_preview.PreviewState & ~0x4u) == 0x9 ? acceptVersion(2) : 1;
}

int acceptUndoPreview() {
    if ((g_preview.PreviewState & ~0x4u) != 0x2) return 1;
    int32_t steps = g_preview.Steps;
    uint64_t target = g_preview.PreviewUndo;
    bool taken = g_preview.PreviewTakenBack;
    if (steps != 0 && !askChange()) return 1;
    dropPreview();
    showPage(kShowKeepView);
    // The steps the preview showed, by undo and redo themselves.
    const JournalHeader &h = g_jnl.Header;
    uint32_t limit = uint32_t(steps < 0 ? -steps : steps) * 2 + 2;
    for (uint32_t n = 0; n < limit; ++n) {
        bool there = (h.Undo == target || (isNullPtr(h.Undo) && isNullPtr(target))) &&
                     takenBack(h.Undo) == taken;
        if (there) break;
        if ((steps < 0 ? undoOne() : redoOne()) != 0) break;
    }
    return 0;
}

int acceptPreview() {
    uint32_t s = g_preview.PreviewState & ~0x4u;
    if (s == 0x1) return acceptVersion1();
    if (s == 0x9) return acceptVersion2();
    if (s == 0x2) return acceptUndoPreview();
    return 1;
}

bool beginHeldView() {
    if (!sourceOpen() || snapshotInUse() || heldViewShown()) return false;
    takeSnapshot();
    g_preview.HeldView |= 1;
    // One held view at a time: the comparison's F6 is refused meanwhile.
    g_held.HeldView |= kHeldShown;
    g_held.Kind = kHeldSource;
    return true;
}

int showSource() {
    if (!beginHeldView()) return 1;
    // The bytes the source holds now, at the page pair; the page itself (typed inputs too)
    // comes back at the release.
    uint8_t buf[1024];
    uint64_t pos = g_doc.AnfPtr;
    uint32_t got1 = readSourceBlock(pos, buf), got2 = 0;
    if (got1 == 512 && hasBlock2()) {
        uint64_t pos2 = g_doc.AnfPtr + 512;
        got2 = readSourceBlock(pos2, buf + 512);
    }
    std::memcpy(g_doc.PageBuf, buf, sizeof buf);
    g_doc.Blk1Len = got1;
    g_doc.Blk2Len = got2;
    g_doc.PageLen = got1 + got2;
    std::memset(g_doc.ModMask, 0, sizeof g_doc.ModMask);
    g_doc.ReadPtr = g_doc.AnfPtr;
    plat().setTitle(g_doc.SrcName);
    showPage(kShowKeepView);
    return 0;
}

int endHeldView() {
    if (!(g_preview.HeldView & 1)) return 1;
    g_preview.HeldView &= ~1u;
    g_held.HeldView &= ~kHeldShown;
    g_held.Kind = kHeldNone;
    restoreSnapshot();
    showSourceTitle();
    showPage(kShowKeepView);
    return 0;
}

bool previewCommand(unsigned number) {
    switch (number) {
    case IDM_PREVIOUS_VERSION:
    case IDM_PREVIOUS_VERSION_KEY:
        versionBack();
        return true;
    case IDM_NEXT_VERSION:
    case IDM_NEXT_VERSION_KEY:
        versionForward();
        return true;
    case IDM_UNDO_PREVIEW:
    case IDM_UNDO_PREVIEW_KEY:
        undoPreview();
        return true;
    case IDM_REDO_PREVIEW:
    case IDM_REDO_PREVIEW_KEY:
        redoPreview();
        return true;
    default:
        if (previewShown()) endPreview();
        // A held view's own key repeats; anything else acts on the page as it really is.
        if (number != IDM_SHOW_ORIGINAL && number != IDM_SHOW_COMPARE_FILE) endHeldView();
        return false;
    }
}
