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

class SaveTest : public EditTest {
  protected:
    void SetUp() override {
        EditTest::SetUp();
        // Closing keeps the journal and asks nothing, so that tests can reopen.
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
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
