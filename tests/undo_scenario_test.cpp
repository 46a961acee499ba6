// Discard, undo and redo: the steps on the undo chain with the records' flags as exact
// values, the source bytes they put back and what the screen shows.
#include "view/status.h"
#include "res/resource.h"
#include "tests/save_fixture.h"

namespace {

class UndoScenario : public SaveTest {
  protected:
    std::vector<uint8_t> withBytes(std::vector<uint8_t> v,
                                   const std::vector<std::pair<uint64_t, uint8_t>> &set) {
        for (auto &s : set)
            v[s.first] = s.second;
        return v;
    }
    // The byte at `pos` on screen: its value and whether it shows as a journalled edit.
    void expectByte(uint64_t pos, uint8_t value, bool marked) {
        g_doc.MarkFlag = 0;
        uint32_t off = showByte(pos);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", value);
        EXPECT_EQ(hexText(off), hex) << "byte " << pos;
        if (off != g_doc.CurOfs) {
            EXPECT_EQ(hexBg(off), marked ? kJournalColour : kPlainHexBg) << "byte " << pos;
        }
    }
    void undoRunCmd() { run(IDM_UNDO_RUN); }
    void redoRunCmd() { run(IDM_REDO_RUN); }
};

TEST_F(UndoScenario, ARecordSavedAloneIsUndoneInStepsAndRedoneAgain) {
    openWritable(pattern(2000), 3);
    typeAt(0x23, {0x41});
    savePageYes();
    ASSERT_EQ(rec(entry(0)).Flags, 0xBB497Du);
    std::vector<uint8_t> saved = readAll(src);

    // First command: the save is taken back; the cursor stays on the record (0x400 says so).
    undoRunCmd();
    checkChains("restore");
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(rec(entry(0)).Flags, (0xBB497Du & 0x5DFFDFu) | 0x400u);
    EXPECT_EQ(rec(entry(1)).Flags, 0x894030u) << "the copy already carries 0x800000";
    EXPECT_EQ(g_jnl.Header.Undo, entry(0));
    expectByte(0x23, 0x41, true);

    // Second: the version before, the original copy, becomes current.
    undoRunCmd();
    checkChains("step back");
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(rec(entry(0)).Flags, 0xBB497Du & 0x5DFFDFu & 0xEFFEF7u);
    EXPECT_EQ(rec(entry(1)).Flags, 0x894030u | 0x48u);
    EXPECT_EQ(g_jnl.Header.Undo, entry(1));
    EXPECT_EQ(g_jnl.Header.FirstPtr, entry(1));
    expectByte(0x23, original[0x23], false);

    // Third: the cursor passes the copy (0x400: undo lies before it); nothing more to do.
    undoRunCmd();
    checkChains("past the copy");
    EXPECT_TRUE(isNull(g_jnl.Header.Undo));
    EXPECT_EQ(rec(entry(1)).Flags, 0x894078u | 0x400u);
    int calls = fake.textCalls;
    EXPECT_EQ(undoStep(), int(kStepNothing));
    undoRunCmd();
    EXPECT_EQ(fake.textCalls, calls) << "nothing to undo: not even the view changes";

    // Redo all: re-linked, then written; the cursor is on the newest record again.
    run(IDM_REDO_ALL);
    checkChains("redo all");
    EXPECT_EQ(readAll(src), saved);
    EXPECT_EQ(g_jnl.Header.Undo, entry(0));
    EXPECT_EQ(rec(entry(0)).Flags, 0xBB497Du);
    EXPECT_EQ(rec(entry(1)).Flags, 0x894070u);
    EXPECT_EQ(g_jnl.Header.FirstPtr, entry(0));
    expectByte(0x23, 0x41, false);
}

TEST_F(UndoScenario, UndoAllAndRedoAllOverSeveralBlocksAndPendingEdits) {
    openWritable(pattern(4000), 3);
    typeAt(10, {1});
    typeAt(1030, {2, 3});
    typeAt(3999, {4});
    saveAllYes();
    std::vector<uint8_t> saved = readAll(src);
    typeAt(11, {5});
    typeAt(2500, {6});
    ViewImage before = viewFromFiles();
    uint64_t undoBefore = g_jnl.Header.Undo;
    run(IDM_UNDO_ALL);
    checkChains("undo all");
    EXPECT_EQ(readAll(src), original);
    EXPECT_TRUE(isNull(g_jnl.Header.Undo));
    // Every edit undone but the first commit of a block never saved (there is no older
    // version to step back to).
    ViewImage none = viewFromFiles();
    for (size_t i = 0; i < none.marked.size(); ++i)
        ASSERT_EQ(bool(none.marked[i]), i == 2500) << "byte " << i;
    run(IDM_REDO_ALL);
    checkChains("redo all");
    EXPECT_EQ(readAll(src), saved);
    EXPECT_EQ(g_jnl.Header.Undo, undoBefore);
    ViewImage after = viewFromFiles();
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.marked, before.marked);
    expectByte(11, 5, true);
    expectByte(10, 1, false);
}

TEST_F(UndoScenario, UndoRunTakesBackOneSaveRun) {
    openWritable(pattern(4000), 3);
    typeAt(10, {1});
    typeAt(1030, {2});
    typeAt(2100, {3});
    saveAllYes(); // a run of three
    typeAt(3000, {4});
    savePageYes(); // a run of one
    undoRunCmd();
    checkChains("last run");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {1030, 2}, {2100, 3}}));
    undoRunCmd(); // the cursor steps back over the single save
    undoRunCmd(); // and over its original copy
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {1030, 2}, {2100, 3}}));
    undoRunCmd(); // the run of three, back to its first record
    checkChains("first run");
    EXPECT_EQ(readAll(src), original);
    // The first record (undo took its save back with the cursor on it), then the rest of
    // its run, which it continues (0x2).
    redoRunCmd();
    checkChains("redo");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {1030, 2}, {2100, 3}}));
}

TEST_F(UndoScenario, RedoGivesBackASaveTakenBackWithTheCursorOnIt) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    savePageYes();
    run(IDM_UNDO_ONE);
    EXPECT_EQ(readAll(src), original);
    run(IDM_REDO_ONE);
    checkChains("redo");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    EXPECT_EQ(rec(entry(0)).Flags, 0xBB497Du) << "as after the save";
    expectByte(10, 1, false);
}

TEST_F(UndoScenario, UndoAllEndsWhenNoOlderBytesExist) {
    // A saved record whose version chain holds neither an older saved version nor an
    // original copy: its restore step finds nothing, and Undo Alles must still end.
    const uint32_t seed = 9;
    std::vector<uint8_t> bytes = pattern(1024);
    for (int i = 0; i < 512; ++i)
        bytes[i] = specData(seed, i);
    src = makeFile("saved.bin", bytes);
    original = bytes;
    openThroughDialog(src, false);
    ASSERT_TRUE(journalOpen());
    std::string host = jnlHost();
    run(IDM_CLOSE_FILE);
    buildJournal(host, src.c_str(), fakeLastWriteTime(src), {{0, 512, 0xA30830, 1, seed}});
    openThroughDialog(src, false);
    ASSERT_TRUE(journalOpen());
    ASSERT_EQ(rec(entry(0)).Flags & 0x331904u, 0x330904u) << "a save in the source";
    run(IDM_UNDO_ALL);
    checkChains("undo all");
    EXPECT_TRUE(isNull(g_jnl.Header.Undo));
    EXPECT_EQ(readAll(src), bytes) << "nothing to put back";
}

TEST_F(UndoScenario, SavingAVersionInPartsNeverLinksItToItself) {
    for (uint32_t mode : {1u, 3u}) {
        SCOPED_TRACE(mode);
        openWritable(pattern(2000), mode, "parts" + std::to_string(mode) + ".bin");
        typeAt(10, {1});
        typeAt(300, {2});
        saveMarkedYes(0, 100);
        checkChains("first part");
        uint64_t part = g_jnl.Header.Undo;
        JRec p = rec(part);
        EXPECT_EQ(p.Flags & 0x8000u, 0x8000u) << "saved in part";
        saveMarkedYes(200, 400);
        checkChains("the rest");
        JRec r = rec(part);
        EXPECT_NE(r.PUndo, part);
        EXPECT_NE(r.NUndo, part);
        EXPECT_EQ(r.Flags & 0x8000u, 0u) << "saved whole now";
        EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {300, 2}}));
        run(IDM_UNDO_ALL);
        checkChains("undo all");
        EXPECT_EQ(readAll(src), original);
        run(IDM_REDO_ALL);
        EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {300, 2}}));
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(UndoScenario, ASaveInPartIsUndoneAndRedoneWithItsOwnBytesOnly) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    typeAt(300, {2});
    saveMarkedYes(0, 100);
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    run(IDM_UNDO_ONE); // one step: the bytes go back, the version before becomes current
    checkChains("undo");
    EXPECT_EQ(readAll(src), original);
    expectByte(10, 1, true);
    expectByte(300, 2, true);
    run(IDM_REDO_ONE); // one step: re-linked and written, without the edit the save left
    checkChains("redo");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    expectByte(10, 1, false);
    expectByte(300, 2, true);
}

TEST_F(UndoScenario, RedoSavesAgainWhatUndoTookBackEvenAfterReopening) {
    openWritable(pattern(2000), 1);
    typeAt(10, {1});
    savePageYes();
    undoRunCmd(); // restore
    undoRunCmd(); // the cursor steps back; without versions the record stays current
    EXPECT_EQ(readAll(src), original);
    expectByte(10, 1, true);
    run(IDM_CLOSE_FILE);
    openThroughDialog(src, false);
    redoRunCmd(); // the original copy
    redoRunCmd(); // the save
    checkChains("redo");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    expectByte(10, 1, false);
}

TEST_F(UndoScenario, AnEditAfterATakenBackSaveMakesTheTakingBackFinal) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    savePageYes();
    undoRunCmd();    // the save is taken back, the cursor stays on its record
    typeAt(20, {2}); // new history after it
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
    run(IDM_REDO_ALL);
    checkChains("redo all");
    EXPECT_EQ(readAll(src), original) << "the save taken back is not redone";
    expectByte(10, 1, true);
    expectByte(20, 2, true);
}

TEST_F(UndoScenario, WithoutUndoUndoChangesNothing) {
    openWritable(pattern(2000), 0);
    typeAt(10, {1});
    savePageYes();
    typeAt(700, {2});
    saveAllYes();
    std::vector<uint8_t> saved = readAll(src);
    std::vector<uint8_t> j = jnlBytes();
    undoRunCmd();
    run(IDM_UNDO_ALL);
    run(IDM_REDO_ALL);
    EXPECT_EQ(readAll(src), saved);
    std::vector<uint8_t> k = jnlBytes();
    EXPECT_EQ(std::vector<uint8_t>(k.begin() + 1024, k.end()),
              std::vector<uint8_t>(j.begin() + 1024, j.end()))
        << "no record changes";
}

TEST_F(UndoScenario, WithoutUndoSaveAllExchangesTheBytes) {
    openWritable(pattern(2000), 0);
    typeAt(700, {0x77});
    saveAllYes();
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{700, 0x77}}));
    JRec r = rec(entry(0));
    // 0x10414D masked with 0x486A2, then 0x6B2050, and hidden marks (0x20).
    EXPECT_EQ(r.Flags, 0x6B2070u);
    EXPECT_EQ(std::vector<uint8_t>(r.Data, r.Data + 512),
              std::vector<uint8_t>(original.begin() + 512, original.begin() + 1024))
        << "the record keeps the bytes the save overwrote";
    EXPECT_EQ(fileHeader().Rest, entry(0));
    expectByte(700, 0x77, false);
}

TEST_F(UndoScenario, DiscardingTheOnlyEditedBlockEmptiesTheChain) {
    openWritable(pattern(2000), 3);
    typeAt(600, {1, 2});
    ASSERT_EQ(fake.title, src + "*");
    discardMarked(512, 1024);
    checkChains("discard");
    EXPECT_TRUE(isNull(g_jnl.Header.FirstPtr));
    EXPECT_EQ(fake.title, src);
    EXPECT_EQ(rec(entry(0)).Flags, 0x18414Du & ~0x40u);
    EXPECT_EQ(readAll(src), original);
    expectByte(600, original[600], false);
}

TEST_F(UndoScenario, DiscardingPartOfABlockKeepsTheRest) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    typeAt(300, {2});
    discardMarked(0, 100);
    checkChains("discard");
    JRec r = rec(entry(1));
    EXPECT_EQ(r.Data[10], original[10]) << "the record has the source's byte back";
    EXPECT_FALSE(bit(r.ModBits, 10));
    EXPECT_TRUE(bit(r.ModBits, 300));
    expectByte(10, original[10], false);
    expectByte(300, 2, true);
}

TEST_F(UndoScenario, DiscardPageAtTheEndTakesTheLastByteToo) {
    openWritable(pattern(1300), 3);
    typeAt(1290, {1});
    typeAt(1299, {2});
    showByte(1299);
    run(IDM_DISCARD_PAGE);
    checkChains("discard page");
    EXPECT_TRUE(isNull(g_jnl.Header.FirstPtr)) << "the window's last byte is part of it";
    expectByte(1299, original[1299], false);
}

TEST_F(UndoScenario, DiscardLeavesSavedBlocksAlone) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    savePageYes();
    uint32_t flags = rec(entry(0)).Flags;
    discardMarked(0, 512);
    checkChains("discard");
    EXPECT_EQ(rec(entry(0)).Flags, flags) << "a saved record has no journalled edit";
    EXPECT_EQ(g_jnl.Header.FirstPtr, entry(0));
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
}

TEST_F(UndoScenario, UndoPositionsWalkTheAddressChainAndLeaveTheCursor) {
    openWritable(pattern(4000), 3);
    typeAt(2100, {1}); // entry 0
    typeAt(10, {2});   // entry 1
    typeAt(1030, {3}); // entry 2: the undo cursor
    ASSERT_EQ(g_jnl.Header.Undo, entry(2));
    run(IDM_PREV_UNDO_POS); // Ctrl+PgUp: the block below the cursor record
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    EXPECT_EQ(fake.cells(0, 0, 21), " 0000 0000 0000 0680 ");
    EXPECT_EQ(g_jnl.Header.Undo, entry(2)) << "the undo cursor stays";
    run(IDM_PREV_UNDO_POS); // nothing below block 0: its own block again
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    run(IDM_NEXT_UNDO_POS); // Ctrl+PgDn
    EXPECT_EQ(g_doc.AnfPtr, 1024u);
    run(IDM_NEXT_UNDO_POS_KEY); // the twin number
    EXPECT_EQ(g_doc.AnfPtr, 2048u);
    EXPECT_EQ(g_jnl.Header.Undo, entry(2));
    checkChains("jumps");
}

TEST_F(UndoScenario, UndoAsksForWriteAccessOnlyWhenItWrites) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    savePageYes();
    ASSERT_EQ(lockSource(), 0);
    expectBox("Schreibzugriff erlauben ?", kIdNo);
    undoRunCmd();
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}})) << "refused: nothing written";
    EXPECT_EQ(g_jnl.Header.Undo, entry(0)) << "and the step not taken";
    expectBox("Schreibzugriff erlauben ?", kIdYes);
    undoRunCmd();
    EXPECT_EQ(readAll(src), original);
    undoRunCmd(); // the step back writes nothing and asks nothing
    checkChains("undo");
}

} // namespace
