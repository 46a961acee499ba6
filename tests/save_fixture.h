// Shared pieces of the save and undo tests: the commands with their questions answered,
// typing at a source position, and the view read back from the journal and source files by
// the test itself (the overlay rule: a node's data, or the source when it says so; its map
// unless hidden).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "edit/commit.h"
#include "res/resource.h"
#include "save/save.h"
#include "save/undo.h"
#include "tests/edit_fixture.h"
#include "view/navigation.h"

struct ViewImage {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> marked; // 1 where the screen shows a journalled edit
};

constexpr uint32_t kPlainHexBg = 0xEEFFEE, kPlainCharBg = 0xFFFFFF;

class SaveTest : public EditTest {
  protected:
    void SetUp() override {
        EditTest::SetUp();
        // Closing keeps the journal and asks nothing, so that tests can reopen.
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
    }

    void openWritable(const std::vector<uint8_t> &bytes, uint32_t undoMode,
                      const std::string &name = "src.bin") {
        g_settings.UndoMode = undoMode;
        openSource(bytes, false, name);
    }

    // ---- commands ----
    void mark(uint64_t from, uint64_t to) {
        g_doc.MarkStart = from;
        g_doc.MarkEnd = to;
        g_doc.MarkFlag = 3;
    }
    void savePageYes() {
        expectBox("Speichern?", kIdYes, "Soll die aktuelle Seite gespeichert werden?");
        run(IDM_SAVE_PAGE);
    }
    void saveMarkedYes(uint64_t from, uint64_t to) {
        mark(from, to);
        expectBox("Speichern?", kIdYes, "Sollen die markierten");
        run(IDM_SAVE_RANGE);
    }
    void saveAllYes() {
        expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
        run(IDM_SAVE_ALL);
    }
    void discardMarked(uint64_t from, uint64_t to) {
        mark(from, to);
        run(IDM_DISCARD_RANGE);
    }

    // Shows the page that holds `pos` (view offset 0 or 512) and returns the page offset.
    uint32_t showByte(uint64_t pos) {
        uint64_t pair = pos & ~uint64_t(511);
        if (pair > g_doc.LastPairPtr) pair = g_doc.LastPairPtr;
        uint32_t view = pos - pair >= 512 ? 512 : 0;
        gotoPair(pair, view);
        return uint32_t(pos - g_doc.AnfPtr - g_doc.ViewOfs);
    }
    // Types the bytes at `pos` (all on one page) and presses Return.
    void typeAt(uint64_t pos, const std::vector<uint8_t> &bytes) {
        uint32_t off = showByte(pos);
        cursorAt(off);
        char hex[3];
        for (uint8_t b : bytes) {
            std::snprintf(hex, sizeof hex, "%02X", b);
            type(hex);
        }
        ret();
    }

    // ---- reading back ----
    std::vector<uint8_t> sourceNow() { return readAll(src); }

    ViewImage viewFromFiles() {
        ViewImage v;
        v.bytes = sourceNow();
        v.marked.assign(v.bytes.size(), 0);
        std::vector<uint8_t> j = jnlBytes();
        uint64_t p = g_jnl.Header.FirstPtr;
        for (size_t steps = 0; !isNull(p) && steps < 100000; ++steps) {
            if (p + 640 > j.size()) {
                ADD_FAILURE() << "address chain leads outside the journal: " << p;
                break;
            }
            uint64_t adr = le64(j, p);
            uint32_t len = le32(j, p + 32), flags = le32(j, p + 60);
            for (uint32_t i = 0; i < len && i < 512 && adr + i < v.bytes.size(); ++i) {
                if (!(flags & 0x400000)) v.bytes[adr + i] = j[p + 128 + i];
                if (!(flags & 0x20) && ((j[p + 64 + (i >> 3)] >> (i & 7)) & 1))
                    v.marked[adr + i] = 1;
            }
            p = le64(j, p + 16);
        }
        return v;
    }

    // The page on screen against a view image: hex text of every byte and the journalled
    // colour exactly where the image marks a byte (the cursor cell is left out).
    void checkScreen(const ViewImage &v, const char *where) {
        SCOPED_TRACE(where);
        g_doc.MarkFlag = 0;
        paintPage();
        for (uint32_t off = 0; off < 512; ++off) {
            uint64_t pos = g_doc.AnfPtr + g_doc.ViewOfs + off;
            if (pos >= v.bytes.size()) break;
            char want[3];
            std::snprintf(want, sizeof want, "%02X", v.bytes[pos]);
            ASSERT_EQ(hexText(off), want) << "byte at " << pos;
            if (off == g_doc.CurOfs) continue;
            ASSERT_EQ(hexBg(off), v.marked[pos] ? kJournalColour : kPlainHexBg)
                << "colour of the byte at " << pos;
        }
    }

    // The journal's chains and the page cursors, by the journal owner's checker.
    void checkChains(const char *where) {
        SCOPED_TRACE(where);
        ASSERT_EQ(checkOpenJournal(), "");
        ASSERT_EQ(checkPageCursors(), "");
        ASSERT_EQ(jnlBytes().size(), g_jnl.JnlEnd) << "JnlEnd is the file length";
    }

    JRec recAt(uint64_t pos) { return rec(pos); }
    // Every entry of the journal, one line each (for tracing a failing run by hand).
    std::string dumpJournal() {
        std::vector<uint8_t> j = jnlBytes();
        const JournalHeader &h = g_jnl.Header;
        char line[256];
        std::snprintf(line, sizeof line,
                      "Undo %llx UndoFirst %llx First %llx Last %llx Rest %llx\n",
                      (unsigned long long)h.Undo, (unsigned long long)h.UndoFirst,
                      (unsigned long long)h.FirstPtr, (unsigned long long)h.LastPtr,
                      (unsigned long long)h.Rest);
        std::string out = line;
        for (uint64_t p = 1024; p + 640 <= j.size(); p += 640) {
            std::snprintf(line, sizeof line,
                          "%5llx adr %5llx prev %llx next %llx pu %llx nu %llx pj %llx nj %llx "
                          "len %u flags %06x\n",
                          (unsigned long long)p, (unsigned long long)le64(j, p),
                          (unsigned long long)le64(j, p + 8), (unsigned long long)le64(j, p + 16),
                          (unsigned long long)le64(j, p + 24), (unsigned long long)le64(j, p + 52),
                          (unsigned long long)le64(j, p + 36), (unsigned long long)le64(j, p + 44),
                          le32(j, p + 32), le32(j, p + 60));
            out += line;
        }
        return out;
    }
    static uint8_t bit(const uint8_t *bits, uint32_t i) { return (bits[i >> 3] >> (i & 7)) & 1; }
};
