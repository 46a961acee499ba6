#include "save/restore.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "access/source.h"
#include "edit/commit.h"
#include "journal/flags.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "save/preview.h"
#include "save/save.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/status.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// Typed inputs of one page block, kept across the restore.
struct KeptInputs {
    uint64_t adr;
    bool any;
    uint8_t bytes[512];
    uint8_t bits[64];
};

// The bytes a block's inputs changed: marked on the page, and not a journalled edit the
// record shows with the same value (those vanish with the journal's chains).
void keepInputs(int block, KeptInputs &k) {
    k.any = false;
    uint32_t bit = block == 1 ? kInputBlk1 : kInputBlk2;
    if (!(g_doc.InputFlag & bit)) return;
    const uint8_t *bytes = g_doc.PageBuf + (block == 2 ? 512 : 0);
    const uint8_t *mask = g_doc.ModMask + (block == 2 ? 64 : 0);
    const JournalRecord &r = block == 1 ? g_jnl.JData1 : g_jnl.JData2;
    bool rec = (g_doc.JReadFlag & (block == 1 ? 1u : 2u)) && !(r.Flags & kFlagHidden) &&
               !(r.Flags & kFlagInSource);
    uint8_t data[kJnlDataSize];
    JournalRecord whole{};
    if (rec && !(readRecord(r.JAdr, whole) && readData(data))) rec = false;
    k.adr = block == 1 ? g_doc.AnfPtr : g_doc.MidPtr;
    std::memcpy(k.bytes, bytes, 512);
    std::memset(k.bits, 0, 64);
    for (uint32_t i = 0; i < 512; ++i) {
        bool m = (mask[i >> 3] >> (i & 7)) & 1;
        bool journalled = rec && ((r.ModBits[i >> 3] >> (i & 7)) & 1) && data[i] == bytes[i];
        if (m && !journalled) k.bits[i >> 3] |= uint8_t(1u << (i & 7)), k.any = true;
    }
}

// The kept inputs go back on the page (when their block is on it) as inputs again.
void putInputsBack(const KeptInputs &k) {
    if (!k.any) return;
    int block = k.adr == g_doc.AnfPtr ? 1 : (hasBlock2() && k.adr == g_doc.MidPtr ? 2 : 0);
    if (!block) return;
    uint8_t *bytes = g_doc.PageBuf + (block == 2 ? 512 : 0);
    uint8_t *mask = g_doc.ModMask + (block == 2 ? 64 : 0);
    uint32_t len = block == 1 ? g_doc.Blk1Len : g_doc.Blk2Len;
    for (uint32_t i = 0; i < len; ++i)
        if ((k.bits[i >> 3] >> (i & 7)) & 1) {
            bytes[i] = k.bytes[i];
            mask[i >> 3] |= uint8_t(1u << (i & 7));
        }
    g_doc.InputFlag |= block == 1 ? kInputBlk1 : kInputBlk2;
}

// A block's earlier bytes: an original copy, a direct-mode record, or a record of the
// exchange save without undo (0x10 set, 0x1 clear: its data is what the source held).
bool restorable(const JournalRecord &r) {
    return (r.Flags & kFlagOriginal) && !(r.Flags & kFlagJournalled) && r.Adr % 512 == 0 &&
           r.Adr < g_doc.FileSize;
}

// A copy left behind by the restore is history that undo no longer reaches: undo of later
// saves must not take a block back to it (after a direct write it holds the written bytes).
// 0x200000 keeps it restorable (0x10 set, 0x1 clear) but no longer an original copy.
void retire(JournalRecord &r) {
    r.Flags |= 0x200000;
    rewriteRecord(r, kPrefixFields);
}

} // namespace

int restoreOriginal() {
    if (!sourceOpen() || !journalOpen()) return 1;
    if (previewShown()) endPreview();
    endHeldView();
    KeptInputs in1{}, in2{};
    keepInputs(1, in1);
    keepInputs(2, in2);
    // The inputs leave the page here, so that nothing commits them into the chains that are
    // detached below (reopening for write access would).
    uint32_t inputFlag = g_doc.InputFlag;
    g_doc.InputFlag &= ~7u;
    JournalHeader &h = g_jnl.Header;
    bool asked = false;
    JournalRecord r{};
    uint8_t data[kJnlDataSize], cur[kJnlDataSize];
    // Every entry, newest first: a block's oldest kept bytes are written last. (The restore
    // chain from Rest reaches only the blocks below the newest record made.)
    Pacer pace;
    for (uint64_t k = entryCount(); k > 0; --k) {
        uint64_t p = entryOffset(k - 1);
        if (pace.due()) {
            // Progress, and the queue kept moving (the restore runs to its end: what is typed
            // meanwhile is dropped, as during a save).
            showTopLeft(p, kWhite);
            plat().pollMessage();
        }
        if (!readFields(p, r) || !restorable(r)) continue;
        if (!readRecord(p, r) || !readData(data)) continue;
        uint32_t len = r.Len > kJnlDataSize ? kJnlDataSize : r.Len;
        if (r.Adr + len > g_doc.FileSize) len = uint32_t(g_doc.FileSize - r.Adr);
        if (!readSource(r.Adr, len, cur) || std::memcmp(cur, data, len) == 0) continue;
        if (!asked) {
            asked = true;
            if (ensureWritable(false) != 0 || !sourceOpen() || !journalOpen()) {
                // Refused before anything was written: everything stays as it was.
                if (sourceOpen()) g_doc.InputFlag = inputFlag;
                return 1;
            }
        }
        writeSource(r.Adr, 0, len, data);
    }
    for (uint64_t k = entryCount(); k > 0; --k)
        if (readFields(entryOffset(k - 1), r) && isOriginalCopy(r.Flags)) {
            r.JAdr = entryOffset(k - 1);
            retire(r);
        }
    showTopLeft(h.Rest, kWhite);
    // Detached: the records stay in the file, no chain leads to them.
    h.FirstPtr = h.LastPtr = h.Undo = h.UndoFirst = h.Rest = kNullPtr;
    g_jnl.JPrevPtr = g_jnl.JNextPtr = kNullPtr;
    g_doc.JReadFlag = 0;
    g_save.RestoredAt = kNullPtr;
    flushJournalHeader();
    g_doc.ReadPtr = g_doc.AnfPtr;
    readPagePlain();
    putInputsBack(in1);
    putInputsBack(in2);
    settlePendingInputs();
    showSourceTitle();
    showPage(kShowStatus);
    return 0;
}
