// Discard, undo and redo: the steps on the undo chain (golden tables of the journal after
// each command), the source bytes they put back and what the screen shows.
#include "save/undo.h"
#include "tests/support/doc_test.h"

namespace {

class UndoScenario : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
};

TEST_F(UndoScenario, ARecordSavedAloneIsUndoneInStepsAndRedoneAgain) {
    openWritable(pattern(2000), 2);
    typeAt(0x23, {0x41});
    savePageYes();
    std::vector<uint8_t> saved = sourceNow();
    // Each command, the journal after it, the source, the byte on screen.
    struct Step {
        unsigned command;
        const char *table;
        bool restored, marked;
    } steps[] = {
        // The save is taken back; the cursor stays on the record (0x400 says so).
        {IDM_UNDO_RUN,
         "e0 0 - - e1 - e1 - 512 194D5D\ne1 0 - - - e0 - e0 512 894030\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n",
         true, true},
        // The version before, the original copy, becomes current.
        {IDM_UNDO_RUN,
         "e0 0 - - e1 - e1 - 512 094855\ne1 0 - - - e0 - e0 512 894078\n"
         "first e1 last e1 undoFirst e1 undo e1 rest e0\n",
         true, false},
        // The cursor passes the copy; nothing is left to undo.
        {IDM_UNDO_RUN,
         "e0 0 - - e1 - e1 - 512 094855\ne1 0 - - - e0 - e0 512 894478\n"
         "first e1 last e1 undoFirst e1 undo - rest e0\n",
         true, false},
        {IDM_UNDO_RUN,
         "e0 0 - - e1 - e1 - 512 094855\ne1 0 - - - e0 - e0 512 894478\n"
         "first e1 last e1 undoFirst e1 undo - rest e0\n",
         true, false},
        // Re-linked, then written: the cursor is on the newest record again.
        {IDM_REDO_ALL,
         "e0 0 - - e1 - e1 - 512 BB497D\ne1 0 - - - e0 - e0 512 894070\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n",
         false, false},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.table);
        int calls = fake.textCalls;
        run(s.command);
        if (&s == &steps[3]) EXPECT_EQ(fake.textCalls, calls) << "nothing to undo: no repaint";
        EXPECT_EQ(table(), s.table);
        EXPECT_EQ(sourceNow(), s.restored ? original : saved);
        expectByte(0x23, s.marked || !s.restored ? 0x41 : original[0x23], s.marked);
        checkJournal();
    }
}

TEST_F(UndoScenario, UndoAllAndRedoAllOverSeveralBlocksAndPendingEdits) {
    openWritable(pattern(4000), 2);
    typeAt(10, {1});
    typeAt(1030, {2, 3});
    typeAt(3999, {4});
    saveAllYes();
    std::vector<uint8_t> saved = sourceNow();
    typeAt(11, {5});
    typeAt(2500, {6});
    ViewImage before = viewFromFiles();
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
    EXPECT_TRUE(isNull(fileHeader().Undo));
    // Every edit is undone but the first commit of a block never saved: there is no older
    // version to step back to.
    ViewImage none = viewFromFiles();
    for (size_t i = 0; i < none.marked.size(); ++i)
        ASSERT_EQ(bool(none.marked[i]), i == 2500) << "byte " << i;
    checkJournal("undo all");
    run(IDM_REDO_ALL);
    EXPECT_EQ(sourceNow(), saved);
    ViewImage after = viewFromFiles();
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.marked, before.marked);
    expectByte(11, 5, true);
    expectByte(10, 1, false);
    checkJournal("redo all");
}

TEST_F(UndoScenario, UndoRunTakesBackOneSaveRunAndRedoGivesItBack) {
    openWritable(pattern(4000), 2);
    typeAt(10, {1});
    typeAt(1030, {2});
    typeAt(2100, {3});
    saveAllYes(); // a run of three
    std::vector<uint8_t> three = sourceNow();
    typeAt(3000, {4});
    savePageYes(); // a run of one
    run(IDM_UNDO_RUN);
    EXPECT_EQ(sourceNow(), three);
    run(IDM_UNDO_RUN); // the cursor steps back over the single save
    run(IDM_UNDO_RUN); // and over its original copy
    EXPECT_EQ(sourceNow(), three);
    run(IDM_UNDO_RUN); // the run of three, back to its first record
    EXPECT_EQ(sourceNow(), original);
    run(IDM_REDO_RUN); // the first record (its save taken back with the cursor on it), then
    EXPECT_EQ(sourceNow(), three); // the rest of its run
    checkJournal();
    // One step each way, then again after reopening (without versions).
    run(IDM_CLOSE_FILE);
    openWritable(pattern(2000), 1, "one.bin");
    typeAt(10, {1});
    savePageYes();
    run(IDM_UNDO_ONE);
    run(IDM_UNDO_ONE); // the cursor steps back; the record stays current
    EXPECT_EQ(sourceNow(), original);
    expectByte(10, 1, true);
    run(IDM_CLOSE_FILE);
    open(src, false);
    run(IDM_REDO_ONE); // the original copy
    run(IDM_REDO_ONE); // the save
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}}));
    expectByte(10, 1, false);
    checkJournal();
}

TEST_F(UndoScenario, SavesInPartsAreUndoneWithTheirOwnBytesOnly) {
    for (uint32_t mode : {1u, 2u}) {
        SCOPED_TRACE(mode);
        openWritable(pattern(2000), mode, "parts" + std::to_string(mode) + ".bin");
        typeAt(10, {1});
        typeAt(300, {2});
        saveMarkedYes(0, 100);
        uint64_t part = g_jnl.Header.Undo;
        EXPECT_EQ(rec(part).Flags & 0x8000u, 0x8000u) << "saved in part";
        run(IDM_UNDO_ONE); // the bytes go back, the version before becomes current
        EXPECT_EQ(sourceNow(), original);
        expectByte(10, 1, true);
        expectByte(300, 2, true);
        run(IDM_REDO_ONE); // re-linked and written, without the edit the save left
        EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}}));
        expectByte(10, 1, false);
        expectByte(300, 2, true);
        saveMarkedYes(200, 400); // the rest: the version is saved whole, never its own neighbour
        JRec r = rec(part);
        EXPECT_NE(r.PUndo, part);
        EXPECT_NE(r.NUndo, part);
        EXPECT_EQ(r.Flags & 0x8000u, 0u) << "saved whole now";
        checkJournal();
        run(IDM_UNDO_ALL);
        EXPECT_EQ(sourceNow(), original);
        run(IDM_REDO_ALL);
        EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}, {300, 2}}));
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(UndoScenario, AnEditAfterATakenBackSaveMakesTheTakingBackFinal) {
    openWritable(pattern(2000), 2);
    typeAt(10, {1});
    savePageYes();
    run(IDM_UNDO_RUN); // the save is taken back, the cursor stays on its record
    typeAt(20, {2});   // new history after it
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
    run(IDM_REDO_ALL);
    EXPECT_EQ(sourceNow(), original) << "the save taken back is not redone";
    expectByte(10, 1, true);
    expectByte(20, 2, true);
    checkJournal();
}

TEST_F(UndoScenario, UndoAllEndsWhenNoOlderBytesExist) {
    // A saved record whose version chain holds neither an older saved version nor an
    // original copy: its restore step finds nothing, and Undo Alles must still end.
    std::vector<uint8_t> bytes = pattern(1024);
    for (int i = 0; i < 512; ++i)
        bytes[i] = specData(9, i);
    src = makeFile("saved.bin", bytes);
    open(src, false);
    std::string host = jnlHost();
    run(IDM_CLOSE_FILE);
    buildJournal(host, src.c_str(), fakeLastWriteTime(src), {{0, 512, 0xA30830, 1, 9}});
    open(src, false);
    run(IDM_UNDO_ALL);
    EXPECT_TRUE(isNull(g_jnl.Header.Undo));
    EXPECT_EQ(sourceNow(), bytes) << "nothing to put back";
    checkJournal();
}

TEST_F(UndoScenario, WithoutUndoSavesExchangeTheBytesAndUndoChangesNothing) {
    openWritable(pattern(2000), 0);
    typeAt(700, {0x77});
    saveAllYes();
    // The record keeps the bytes the save overwrote; its marks are hidden.
    EXPECT_EQ(table(), "e0 200 - - - - - - 512 6B2070\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    EXPECT_EQ(dataOf(rec(entry(0))), blockOf(original, 512));
    typeAt(10, {1});
    savePageYes();
    std::vector<uint8_t> saved = sourceNow();
    EXPECT_EQ(saved, withBytes(original, {{10, 1}, {700, 0x77}}));
    std::string t = table();
    for (unsigned c : {IDM_UNDO_RUN, IDM_UNDO_ALL, IDM_REDO_ALL})
        run(c);
    EXPECT_EQ(sourceNow(), saved);
    EXPECT_EQ(table(), t);
    expectByte(700, 0x77, false);
}

TEST_F(UndoScenario, DiscardGivesJournalledBytesTheSourcesBack) {
    openWritable(pattern(2000), 2);
    typeAt(600, {1, 2});
    discardMarked(512, 1024); // the only edited block: the chain empties
    EXPECT_EQ(table(), "e0 200 - - - - - - 512 18410D\n"
                       "first - last - undoFirst e0 undo e0 rest e0\n");
    EXPECT_EQ(fake.title, src);
    expectByte(600, original[600], false);
    typeAt(10, {1});
    typeAt(300, {2});
    discardMarked(0, 100); // part of a block: the rest stays
    JRec r = rec(g_jnl.Header.FirstPtr);
    EXPECT_EQ(r.Data[10], original[10]);
    EXPECT_EQ(r.ModBits[1], 0);
    expectByte(10, original[10], false);
    expectByte(300, 2, true);
    savePageYes();
    std::string t = table();
    discardMarked(0, 512); // a saved record has no journalled edit
    EXPECT_EQ(table(), t);
    run(IDM_CLOSE_FILE);
    openWritable(pattern(1300), 2, "end.bin");
    typeAt(1290, {1});
    typeAt(1299, {2});
    showByte(1299);
    run(IDM_DISCARD_PAGE); // the window's last byte is part of it
    EXPECT_TRUE(isNull(g_jnl.Header.FirstPtr));
    expectByte(1299, original[1299], false);
    checkJournal();
}

TEST_F(UndoScenario, UndoPositionsWalkTheAddressChainAndLeaveTheCursor) {
    openWritable(pattern(4000), 2);
    typeAt(2100, {1});      // entry 0
    typeAt(10, {2});        // entry 1
    typeAt(1030, {3});      // entry 2: the undo cursor
    run(IDM_PREV_UNDO_POS); // the block below the cursor record
    EXPECT_EQ(fake.cells(0, 0, 21), " 0000 0000 0000 0680 ");
    expectPage(0, withBytes(original, {{10, 2}}));
    run(IDM_PREV_UNDO_POS); // nothing below block 0: its own block again
    EXPECT_EQ(first(), 0u);
    run(IDM_NEXT_UNDO_POS);
    EXPECT_EQ(first(), 1024u);
    run(IDM_NEXT_UNDO_POS_KEY); // the twin number
    EXPECT_EQ(first(), 2048u);
    EXPECT_EQ(g_jnl.Header.Undo, entry(2)) << "the undo cursor stays";
    checkJournal();
}

TEST_F(UndoScenario, UndoAsksForWriteAccessOnlyWhenItWrites) {
    openWritable(pattern(2000), 2);
    typeAt(10, {1});
    savePageYes();
    run(IDM_LOCK);
    expectBox("Schreibzugriff erlauben ?", kIdNo,
              "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
    run(IDM_UNDO_RUN);
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}})) << "refused: nothing written";
    EXPECT_EQ(g_jnl.Header.Undo, entry(0)) << "and the step not taken";
    expectBox("Schreibzugriff erlauben ?", kIdYes);
    run(IDM_UNDO_RUN);
    EXPECT_EQ(sourceNow(), original);
    run(IDM_UNDO_RUN); // the step back writes nothing and asks nothing
    checkJournal();
}

} // namespace
