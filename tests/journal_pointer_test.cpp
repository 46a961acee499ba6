// The "Pointer und Flags" window against the journal file, the jumps between journalled
// blocks (Ctrl+N, Ctrl+P) and the journalled colour on the screen.
#include "tests/support/doc_test.h"

#include "journal/pointerwin.h"

namespace {

class JournalView : public DocTest {
  protected:
    BuiltJournal b;
    void SetUp() override {
        DocTest::SetUp();
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
        openSource(pattern(64 * 512));
        std::string host = jnlHost();
        run(IDM_CLOSE_FILE);
        b = buildJournal(host, src.c_str(), fakeLastWriteTime(src),
                         {{512, 512, 0, 1, 7}, {8192, 512, 0x20, 2, 8}, {20480, 512, 0, 1, 9}});
        open(src);
        ASSERT_TRUE(journalHasEdits());
    }
    FakeDialogHost *host() { return static_cast<FakeDialogHost *>(pointerWindowHost()); }
    std::string text(int id) { return host()->texts[id]; }
    static std::string p64(uint64_t v) { return addressText(v).substr(0, 20); }
    // The eight fields of a page record as the window lists them (zeros without a record).
    void expectRecord(int first, const JRec *r) {
        JRec z;
        const JRec &v = r ? *r : z;
        uint64_t want[8] = {r ? r->pos : 0, v.PrevPtr, v.NextPtr, v.PJnl,
                            v.NJnl,         v.PUndo,   v.NUndo,   uint64_t(v.Flags) << 32};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(text(first + i), p64(want[i])) << "control " << first + i;
    }
    void expectFlags(uint32_t readFlag) {
        char t[16];
        std::snprintf(t, sizeof t, " %04X %04X", g_doc.ModFlag >> 16, g_doc.ModFlag & 0xFFFF);
        EXPECT_EQ(text(IDC_PF_MODFLAG), t);
        std::snprintf(t, sizeof t, " 0000 %04X", readFlag);
        EXPECT_EQ(text(IDC_PF_JREADFLAG), t);
    }
};

TEST_F(JournalView, ThePointerWindowShowsThePageAndItsRecords) {
    run(IDM_TOGGLE_POINTER_WINDOW);
    ASSERT_NE(host(), nullptr);
    EXPECT_EQ(fake.dialogsShown.back(), IDD_POINTERS);
    EXPECT_EQ(host()->title, "Pointer und Flags");
    EXPECT_TRUE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    // Page 0: block 2 is the node at 512; the node above is 8192.
    JRec n512 = rec(b.nodes[0]), n8192 = rec(b.nodes[1]);
    EXPECT_EQ(text(IDC_PF_ANFPTR), p64(0));
    EXPECT_EQ(text(IDC_PF_MIDPTR), p64(512));
    EXPECT_EQ(text(IDC_PF_JPREVPTR), p64(kNull));
    EXPECT_EQ(text(IDC_PF_JNEXTPTR), p64(b.nodes[1]));
    EXPECT_EQ(text(IDC_PF_JNEXTADR), p64(8192));
    EXPECT_EQ(text(IDC_PF_UNDO), p64(b.undo.back()));
    EXPECT_EQ(text(IDC_PF_REST), p64(b.undo.front()));
    expectRecord(IDC_PF_J1_JADR, nullptr);
    expectRecord(IDC_PF_J2_JADR, &n512);
    expectFlags(2);
    EXPECT_EQ(text(IDC_PF_MODFLAG).substr(0, 5), " 4000");

    // Every repaint refreshes it: the page at 8192 with the older version behind it.
    gotoPair(8192);
    EXPECT_EQ(text(IDC_PF_ANFPTR), p64(8192));
    EXPECT_EQ(text(IDC_PF_MIDPTR), p64(8704));
    EXPECT_EQ(text(IDC_PF_JPREVPTR), p64(b.nodes[0]));
    EXPECT_EQ(text(IDC_PF_JPREVADR), p64(512));
    EXPECT_EQ(text(IDC_PF_JNEXTPTR), p64(b.nodes[2]));
    EXPECT_EQ(text(IDC_PF_JNEXTADR), p64(20480));
    expectRecord(IDC_PF_J1_JADR, &n8192);
    expectRecord(IDC_PF_J2_JADR, nullptr);
    expectFlags(1);

    // Unchecked: repaints leave the window alone; checked again: the same window, filled.
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_FALSE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    gotoPair(0);
    EXPECT_EQ(text(IDC_PF_ANFPTR), p64(8192));
    size_t shown = fake.dialogsShown.size();
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_EQ(fake.dialogsShown.size(), shown);
    EXPECT_EQ(text(IDC_PF_ANFPTR), p64(0));

    // Closing ends the window; other controls do nothing; the command opens a new one.
    FakeDialogHost *h = host();
    EXPECT_FALSE(pointerWindowLogic().command(*h, IDC_PF_ANFPTR, 0));
    EXPECT_TRUE(pointerWindowLogic().command(*h, IDC_PF_CLOSE, 0));
    EXPECT_TRUE(h->ended);
    EXPECT_EQ(pointerWindowHost(), nullptr);
    EXPECT_FALSE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    EXPECT_FALSE(g_doc.ModFlag & kModPointerView);
    paintPage(); // no window to refresh
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_EQ(fake.dialogsShown.size(), shown + 1);
}

TEST_F(JournalView, NextAndPreviousEditWalkTheJournalledBlocksInTheirColour) {
    // Page 0 shows block 1; the journalled block 512 is block 2 of the pair.
    struct Step {
        unsigned command;
        uint64_t anf;
        uint32_t view;
    } steps[] = {
        {IDM_NEXT_EDIT, 0, 512},      {IDM_NEXT_EDIT_KEY, 8192, 0},    {IDM_NEXT_EDIT, 20480, 0},
        {IDM_NEXT_EDIT, 20480, 0}, // the last: nothing further
        {IDM_PREVIOUS_EDIT, 8192, 0}, {IDM_PREVIOUS_EDIT_KEY, 512, 0}, {IDM_PREVIOUS_EDIT, 512, 0},
        {IDM_NEXT_EDIT, 8192, 0},     {IDM_PREVIOUS_EDIT_KEY, 512, 0},
    };
    ViewImage v = viewFromFiles();
    for (const Step &s : steps) {
        run(s.command);
        EXPECT_EQ(first(), s.anf + s.view) << s.command;
        EXPECT_EQ(g_doc.AnfPtr, s.anf) << s.command;
        checkScreen(v, "after a jump");
        EXPECT_EQ(checkPageCursors(), "");
    }
    EXPECT_EQ(nextEdit(), 0);
    EXPECT_EQ(nextEdit(), 0);
    EXPECT_EQ(nextEdit(), 1);
    // From block 2 of a pair whose block 1 is journalled: block 1 of the same pair.
    gotoPair(512, 512);
    run(IDM_PREVIOUS_EDIT);
    EXPECT_EQ(first(), 512u);
    EXPECT_EQ(previousEdit(), 1);
    // Hidden marks (flag 0x20): the bytes of the record, no colour.
    gotoPair(8192);
    checkScreen(v, "hidden marks");
}

} // namespace
