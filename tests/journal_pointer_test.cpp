// The "Pointer und Flags" window and the jumps between journalled blocks (Ctrl+N, Ctrl+P),
// driven through their commands, with the journalled colour on the screen.
#include "tests/support/harness.h"

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/commands.h"
#include "app/settings.h"
#include "app/tables.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "journal/pointerwin.h"
#include "tests/support/journal_check.h"
#include "view/paint.h"

namespace {

class JournalView : public KelmorTest {
  protected:
    std::string src = "D:\\a.bin";
    BuiltJournal b;
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
        fake.boxes.clear();
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
        makeFile("D/a.bin", pattern(64 * 512));
        b = buildJournal(dir + "/C/kelmor/D~1a.bin.jnl", src.c_str(),
                         fakeLastWriteTime(dir + "/D/a.bin"),
                         {{512, 512, 0, 1, 7}, {8192, 512, 0x20, 2, 8}, {20480, 512, 0, 1, 9}});
        openThroughDialog(src);
        ASSERT_TRUE(journalHasEdits());
    }
    FakeDialogHost *host() { return static_cast<FakeDialogHost *>(pointerWindowHost()); }
    static std::string p64(uint64_t v) {
        char t[21];
        formatPointer64(v, t);
        return t;
    }
};

TEST_F(JournalView, PointerValuesAreGroupedHexadecimal) {
    char t[21];
    formatPointer64(0x0123456789ABCDEFull, t);
    EXPECT_STREQ(t, " 0123 4567 89AB CDEF");
    formatPointer64(0xFFFFFFFF00000000ull, t);
    EXPECT_STREQ(t, " FFFF FFFF 0000 0000");
}

TEST_F(JournalView, ThePointerWindowShowsThePage) {
    dispatchCommand(IDM_TOGGLE_POINTER_WINDOW, 0);
    ASSERT_NE(host(), nullptr);
    ASSERT_FALSE(fake.dialogsShown.empty());
    EXPECT_EQ(fake.dialogsShown.back(), IDD_POINTERS);
    EXPECT_EQ(host()->title, "Pointer und Flags");
    EXPECT_TRUE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    EXPECT_TRUE(g_doc.ModFlag & kModPointerView);
    auto text = [&](int id) { return host()->texts[id]; };
    // Page 0: block 2 is the node at 512; the node above is 8192.
    EXPECT_EQ(text(IDC_PF_ANFPTR), " 0000 0000 0000 0000");
    EXPECT_EQ(text(IDC_PF_MIDPTR), " 0000 0000 0000 0200");
    EXPECT_EQ(text(IDC_PF_JPREVPTR), " FFFF FFFF 0000 0000");
    EXPECT_EQ(text(IDC_PF_JNEXTPTR), p64(b.nodes[1]));
    EXPECT_EQ(text(IDC_PF_JNEXTADR), " 0000 0000 0000 2000");
    EXPECT_EQ(text(IDC_PF_UNDO), p64(b.header.Undo));
    EXPECT_EQ(text(IDC_PF_REST), p64(b.header.Rest));
    EXPECT_EQ(text(IDC_PF_J1_JADR), " 0000 0000 0000 0000"); // no record: zeros
    EXPECT_EQ(text(IDC_PF_J1_FLAGS), " 0000 0000 0000 0000");
    EXPECT_EQ(text(IDC_PF_J2_JADR), p64(b.nodes[0]));
    EXPECT_EQ(text(IDC_PF_J2_PREVPTR), " FFFF FFFF 0000 0000");
    EXPECT_EQ(text(IDC_PF_J2_NEXTPTR), p64(b.nodes[1]));
    EXPECT_EQ(text(IDC_PF_J2_FLAGS), " 0010 414D 0000 0000");
    EXPECT_EQ(text(IDC_PF_JREADFLAG), " 0000 0002");
    char mod[11];
    formatHex32(g_doc.ModFlag, mod + 9);
    mod[10] = 0;
    EXPECT_EQ(text(IDC_PF_MODFLAG), mod);
    EXPECT_EQ(text(IDC_PF_MODFLAG).substr(0, 5), " 4000");

    // Every repaint refreshes it.
    g_doc.ReadPtr = 8192;
    gotoPage();
    paintPage();
    EXPECT_EQ(text(IDC_PF_ANFPTR), " 0000 0000 0000 2000");
    EXPECT_EQ(text(IDC_PF_J1_JADR), p64(b.nodes[1]));
    JournalRecord older{};
    ASSERT_TRUE(readJournalRecord(dir + "/C/kelmor/D~1a.bin.jnl", b.nodes[1], older));
    EXPECT_EQ(text(IDC_PF_J1_PJNL), p64(older.PJnl));
    EXPECT_EQ(text(IDC_PF_J1_NJNL), " FFFF FFFF 0000 0000");
    EXPECT_EQ(text(IDC_PF_J1_PUNDO), p64(older.PUndo));
    EXPECT_EQ(text(IDC_PF_J1_NUNDO), p64(older.NUndo));
    EXPECT_EQ(text(IDC_PF_J1_FLAGS), " 0010 416D 0000 0000");
    EXPECT_EQ(text(IDC_PF_JPREVADR), " 0000 0000 0000 0200");

    // Unchecked: the state is off and repaints leave the window alone.
    dispatchCommand(IDM_TOGGLE_POINTER_WINDOW, 0);
    EXPECT_FALSE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    EXPECT_FALSE(g_doc.ModFlag & kModPointerView);
    g_doc.ReadPtr = 0;
    gotoPage();
    paintPage();
    EXPECT_EQ(text(IDC_PF_ANFPTR), " 0000 0000 0000 2000");
    // Checked again: the same window, filled at once.
    size_t shown = fake.dialogsShown.size();
    dispatchCommand(IDM_TOGGLE_POINTER_WINDOW, 0);
    EXPECT_EQ(fake.dialogsShown.size(), shown);
    EXPECT_EQ(text(IDC_PF_ANFPTR), " 0000 0000 0000 0000");
}

TEST_F(JournalView, CloseEndsTheWindowAndTheState) {
    dispatchCommand(IDM_TOGGLE_POINTER_WINDOW, 0);
    FakeDialogHost *h = host();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(pointerWindowLogic().command(*h, IDC_PF_CLOSE, 0));
    EXPECT_TRUE(h->ended);
    EXPECT_EQ(pointerWindowHost(), nullptr);
    EXPECT_FALSE(g_doc.ModFlag & kModPointerView);
    EXPECT_FALSE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    paintPage(); // no window to refresh
    EXPECT_FALSE(pointerWindowLogic().command(*h, IDC_PF_ANFPTR, 0));
    size_t shown = fake.dialogsShown.size();
    dispatchCommand(IDM_TOGGLE_POINTER_WINDOW, 0);
    EXPECT_EQ(fake.dialogsShown.size(), shown + 1);
}

TEST_F(JournalView, NextAndPreviousEditWalkTheJournalledBlocks) {
    // Page 0 shows block 1; the journalled block 512 is block 2 of the pair.
    ASSERT_EQ(g_doc.AnfPtr, 0u);
    dispatchCommand(IDM_NEXT_EDIT, 0);
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    dispatchCommand(IDM_NEXT_EDIT_KEY, 0);
    EXPECT_EQ(g_doc.AnfPtr, 8192u);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    EXPECT_EQ(checkPageCursors(), "");
    dispatchCommand(IDM_NEXT_EDIT, 0);
    EXPECT_EQ(g_doc.AnfPtr, 20480u);
    // The last one: nothing further.
    EXPECT_EQ(nextEdit(), 1);
    EXPECT_EQ(g_doc.AnfPtr, 20480u);
    dispatchCommand(IDM_PREVIOUS_EDIT, 0);
    EXPECT_EQ(g_doc.AnfPtr, 8192u);
    dispatchCommand(IDM_PREVIOUS_EDIT_KEY, 0);
    EXPECT_EQ(g_doc.AnfPtr, 512u);
    EXPECT_EQ(g_doc.JReadFlag, 1u);
    EXPECT_EQ(previousEdit(), 1);
    // From block 2 of a pair whose block 1 is journalled: block 1 of the same pair.
    g_doc.ViewOfs = 512;
    dispatchCommand(IDM_PREVIOUS_EDIT, 0);
    EXPECT_EQ(g_doc.AnfPtr, 512u);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    EXPECT_EQ(checkPageCursors(), "");
}

TEST_F(JournalView, JournalledBytesShowInTheJournalledColour) {
    g_doc.ReadPtr = 20480;
    gotoPage();
    g_doc.ViewOfs = 0;
    paintPage();
    // Row 1 shows bytes 0..15 of the block; each hex pair and character cell is orange
    // exactly where the record's change map has a bit (byte 0 carries the cursor).
    for (int k = 1; k < 16; ++k) {
        bool bit = (specMask(9, k >> 3) >> (k & 7)) & 1;
        uint32_t want = bit ? kJournalledBg : kHexBgDefault;
        EXPECT_EQ(fake.bg(1, 21 + kHexColumnOffset[k]), want) << "byte " << k;
        EXPECT_EQ(fake.cells(1, 21 + kHexColumnOffset[k], 2),
                  std::string(g_tables.hexPair[specData(9, k)], 2));
    }
    // Hidden marks (flag 0x20): the bytes of the record, no colour.
    g_doc.ReadPtr = 8192;
    gotoPage();
    paintPage();
    for (int k = 1; k < 16; ++k)
        EXPECT_EQ(fake.bg(1, 21 + kHexColumnOffset[k]), kHexBgDefault) << "byte " << k;
    EXPECT_EQ(fake.cells(1, 21 + kHexColumnOffset[3], 2),
              std::string(g_tables.hexPair[specData(8, 3)], 2));
}

} // namespace
