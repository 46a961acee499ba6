// Shared pieces of the edit tests: typing through the window's character entry, the journal
// file decoded by the test itself (not by the program's decoder), screen cells of a byte,
// and a check of the journal's chains that runs after every step.
#pragma once

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/events.h"
#include "app/settings.h"
#include "app/tables.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "tests/support/doc_test.h"
#include "tests/support/harness.h"
#include "tests/support/journal_check.h"
#include "view/paint.h"

inline uint32_t le32(const std::vector<uint8_t> &b, size_t o) {
    return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 |
           uint32_t(b[o + 3]) << 24;
}
inline uint64_t le64(const std::vector<uint8_t> &b, size_t o) {
    return uint64_t(le32(b, o)) | uint64_t(le32(b, o + 4)) << 32;
}

class EditTest : public DocTest {
  protected:
    std::vector<uint8_t> jnlBytes() { return readAll(jnlHost()); }
    static bool modBitOf(const uint8_t *bits, uint32_t i) { return (bits[i >> 3] >> (i & 7)) & 1; }

    // ---- the journal's chains, checked from the file and the header in memory ----
    void checkJournal(const char *where = "") {
        SCOPED_TRACE(where);
        // The journal owner's checker first, then this suite's own view of the chains.
        EXPECT_EQ(checkOpenJournal(), "");
        EXPECT_EQ(checkPageCursors(), "");
        std::vector<uint8_t> b = jnlBytes();
        ASSERT_EQ(b.size(), g_jnl.JnlEnd) << "JnlEnd is the file length";
        ASSERT_EQ((b.size() - 1024) % 640, 0u);
        uint64_t n = (b.size() - 1024) / 640;
        auto valid = [&](uint64_t p) {
            return !isNull(p) && p >= 1024 && (p - 1024) % 640 == 0 && p + 640 <= b.size();
        };
        auto at = [&](uint64_t p) {
            JRec r;
            r.pos = p;
            r.Adr = le64(b, p);
            r.PrevPtr = le64(b, p + 8);
            r.NextPtr = le64(b, p + 16);
            r.PUndo = le64(b, p + 24);
            r.Len = le32(b, p + 32);
            r.PJnl = le64(b, p + 36);
            r.NJnl = le64(b, p + 44);
            r.NUndo = le64(b, p + 52);
            r.Flags = le32(b, p + 60);
            return r;
        };
        const JournalHeader &h = g_jnl.Header;
        // Address chain: ascending, doubly linked, ends in FirstPtr and LastPtr.
        std::set<uint64_t> nodes;
        uint64_t prev = kNull, p = h.FirstPtr, lastAdr = 0;
        for (uint64_t steps = 0; !isNull(p); ++steps) {
            ASSERT_LE(steps, n) << "address chain loops";
            ASSERT_TRUE(valid(p)) << "address chain leads to " << p;
            JRec r = at(p);
            EXPECT_EQ(r.Adr % 512, 0u);
            if (steps) {
                EXPECT_GT(r.Adr, lastAdr) << "address chain not ascending at " << p;
            }
            EXPECT_EQ(isNull(r.PrevPtr), isNull(prev)) << "PrevPtr of " << p;
            if (!isNull(prev)) {
                EXPECT_EQ(r.PrevPtr, prev) << "PrevPtr of " << p;
            }
            EXPECT_TRUE(r.Flags & 0x40) << "node " << p << " not flagged linked";
            EXPECT_TRUE(r.Flags & 0x8) << "node " << p << " not the current version";
            EXPECT_TRUE(r.Flags & 0x1) << "node " << p << " not a journal-mode record";
            // Versions: the same first 24 bytes, a symmetric chain.
            for (int dir = 0; dir < 2; ++dir) {
                uint64_t v = dir ? r.NJnl : r.PJnl, from = p;
                for (uint64_t vs = 0; !isNull(v); ++vs) {
                    ASSERT_LE(vs, n) << "version chain loops at " << p;
                    ASSERT_TRUE(valid(v)) << "version chain of " << p << " leads to " << v;
                    JRec q = at(v);
                    EXPECT_EQ(0, std::memcmp(b.data() + v, b.data() + p, 24))
                        << "version " << v << " of " << p << " has other address links";
                    EXPECT_EQ(dir ? q.PJnl : q.NJnl, from)
                        << "version chain not symmetric at " << v;
                    EXPECT_FALSE(q.Flags & 0x8) << "a second current version " << v;
                    from = v;
                    v = dir ? q.NJnl : q.PJnl;
                }
            }
            nodes.insert(p);
            lastAdr = r.Adr;
            prev = p;
            p = r.NextPtr;
        }
        EXPECT_EQ(isNull(h.LastPtr), isNull(prev));
        if (!isNull(prev)) {
            EXPECT_EQ(h.LastPtr, prev);
        }
        // Undo chain: from UndoFirst by NUndo, doubly linked, Undo on it.
        prev = kNull;
        p = h.UndoFirst;
        bool undoSeen = isNull(h.Undo);
        for (uint64_t steps = 0; !isNull(p); ++steps) {
            ASSERT_LE(steps, n) << "undo chain loops";
            ASSERT_TRUE(valid(p)) << "undo chain leads to " << p;
            JRec r = at(p);
            EXPECT_EQ(isNull(r.PUndo), isNull(prev)) << "PUndo of " << p;
            if (!isNull(prev)) {
                EXPECT_EQ(r.PUndo, prev) << "PUndo of " << p;
            }
            if (p == h.Undo) undoSeen = true;
            prev = p;
            p = r.NUndo;
        }
        EXPECT_TRUE(undoSeen) << "Undo is not on the undo chain";
        // Restore chain: from Rest by PrevPtr it ends; direct-mode records link forward.
        p = h.Rest;
        for (uint64_t steps = 0; !isNull(p); ++steps) {
            ASSERT_LE(steps, n) << "restore chain loops";
            ASSERT_TRUE(valid(p)) << "restore chain leads to " << p;
            JRec r = at(p);
            if ((r.Flags & 0x400071) == 0x400030 && !isNull(r.PrevPtr) && valid(r.PrevPtr)) {
                JRec q = at(r.PrevPtr);
                if ((q.Flags & 0x400071) == 0x400030) {
                    EXPECT_EQ(q.NextPtr, p);
                }
            }
            p = r.PrevPtr;
        }
        // Page records: their links as in the file; a record is on the page exactly when the
        // chain has a node for the block.
        for (int blk = 0; blk < 2; ++blk) {
            const JournalRecord &r = blk ? g_jnl.JData2 : g_jnl.JData1;
            uint64_t adr = blk ? g_doc.MidPtr : g_doc.AnfPtr;
            bool has = g_doc.JReadFlag & (1u << blk);
            uint64_t node = kNull;
            for (uint64_t q : nodes)
                if (at(q).Adr == adr && !(blk && !hasBlock2())) node = q;
            EXPECT_EQ(has, !isNull(node)) << "block " << blk + 1 << " record flag";
            if (has && !isNull(node)) {
                EXPECT_EQ(r.JAdr, node);
                JRec f = at(r.JAdr);
                EXPECT_EQ(r.Adr, f.Adr);
                EXPECT_EQ(r.PrevPtr, f.PrevPtr);
                EXPECT_EQ(r.NextPtr, f.NextPtr);
                EXPECT_EQ(r.PUndo, f.PUndo);
                EXPECT_EQ(r.NUndo, f.NUndo);
                EXPECT_EQ(r.PJnl, f.PJnl);
                EXPECT_EQ(r.NJnl, f.NJnl);
            }
        }
        // The page cursors: the nearest nodes below and above the page.
        uint64_t lo = g_doc.AnfPtr, hi = hasBlock2() ? g_doc.MidPtr : g_doc.AnfPtr;
        uint64_t below = kNull, above = kNull;
        for (uint64_t q : nodes) {
            uint64_t a = at(q).Adr;
            if (a < lo && (isNull(below) || a > at(below).Adr)) below = q;
            if (a > hi && (isNull(above) || a < at(above).Adr)) above = q;
        }
        EXPECT_EQ(isNull(g_jnl.JPrevPtr), isNull(below)) << "JPrevPtr";
        if (!isNull(below) && !isNull(g_jnl.JPrevPtr)) {
            EXPECT_EQ(g_jnl.JPrevPtr, below);
        }
        EXPECT_EQ(isNull(g_jnl.JNextPtr), isNull(above)) << "JNextPtr";
        if (!isNull(above) && !isNull(g_jnl.JNextPtr)) {
            EXPECT_EQ(g_jnl.JNextPtr, above);
        }
    }
};
