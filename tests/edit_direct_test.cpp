#include "tests/edit_fixture.h"

#include "view/status.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "res/resource.h"

namespace {

class EditDirect : public EditTest {
  protected:
    // The user answers the question before a direct write.
    void answerSavePage(bool yes, bool all = false) {
        fake.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &host) {
            EXPECT_EQ(id, IDD_SAVE_PAGE);
            EXPECT_FALSE(host.checks[IDC_SAVE_PAGE_ALL]) << "the box starts unticked";
            host.checks[IDC_SAVE_PAGE_ALL] = all;
            logic.command(host, yes ? IDC_SAVE_PAGE_YES : IDC_SAVE_PAGE_NO, 0);
        });
    }
    void directMode() {
        run(IDM_DIRECT_MODE);
        ASSERT_TRUE(g_doc.AccessFlag & kAccDirect);
        ASSERT_EQ(fake.cells(33, 21 + 56 - 21, 9), " direkt  ");
    }
    std::string statusMode() { return fake.cells(33, 56, 9); }
};

TEST_F(EditDirect, StatusFieldFollowsTheMode) {
    openSource(pattern(600));
    run(IDM_DIRECT_MODE);
    EXPECT_EQ(statusMode(), " direkt  ");
    run(IDM_JOURNAL_MODE);
    EXPECT_EQ(statusMode(), "Protokoll");
    EXPECT_FALSE(g_doc.AccessFlag & kAccDirect);
}

TEST_F(EditDirect, WritesTheSourceAndKeepsWhatItHeldBefore) {
    openSource(pattern(2000), false);
    directMode();
    cursorAt(0x23);
    type("41");
    answerSavePage(true);
    ret();
    EXPECT_EQ(fake.dialogsShown.back(), IDD_SAVE_PAGE);
    std::vector<uint8_t> expect = original;
    expect[0x23] = 0x41;
    EXPECT_EQ(readAll(src), expect);
    std::vector<uint8_t> j = jnlBytes();
    ASSERT_EQ(j.size(), 1664u);
    EXPECT_EQ(le64(j, 1024 + 0x00), 0u);        // Adr
    EXPECT_EQ(le64(j, 1024 + 0x08), kNull);     // PrevPtr: restore chain, nothing before
    EXPECT_EQ(le64(j, 1024 + 0x10), kNull);     // NextPtr
    EXPECT_EQ(le64(j, 1024 + 0x18), kNull);     // PUndo
    EXPECT_EQ(le32(j, 1024 + 0x20), 512u);      // Len
    EXPECT_EQ(le64(j, 1024 + 0x24), kNull);     // PJnl
    EXPECT_EQ(le64(j, 1024 + 0x2C), kNull);     // NJnl
    EXPECT_EQ(le64(j, 1024 + 0x34), kNull);     // NUndo
    EXPECT_EQ(le32(j, 1024 + 0x3C), 0x400030u); // Flags of a direct-mode record
    EXPECT_EQ(j[1024 + 0x40 + 4], 0x08);        // the byte written
    std::vector<uint8_t> data(j.begin() + 1024 + 128, j.begin() + 1664);
    EXPECT_EQ(data, std::vector<uint8_t>(original.begin(), original.begin() + 512));
    JHdr h = fileHeader();
    EXPECT_TRUE(isNull(h.FirstPtr)) << "no journal-mode edit";
    EXPECT_TRUE(isNull(h.LastPtr));
    EXPECT_EQ(h.Rest, 1024u);
    EXPECT_EQ(h.Undo, 1024u);
    EXPECT_EQ(h.UndoFirst, 1024u);
    EXPECT_EQ(fake.title, src);
    // After the reload the byte is plain: it is in the source now.
    EXPECT_EQ(g_doc.PageBuf[0x23], 0x41);
    EXPECT_EQ(hexBg(0x23), kHexBgDefault);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, SuccessiveWritesFormTheRestoreChain) {
    openSource(pattern(4096), false);
    directMode();
    cursorAt(1);
    type("11");
    answerSavePage(true);
    ret();
    gotoPair(2048);
    cursorAt(2);
    type("22");
    answerSavePage(true);
    ret();
    gotoPair(0);
    cursorAt(1);
    type("33"); // the same byte again
    answerSavePage(true);
    ret();
    ASSERT_EQ(jnlBytes().size(), 1024u + 3 * 640u);
    JRec r1 = rec(entry(0)), r2 = rec(entry(1)), r3 = rec(entry(2));
    EXPECT_TRUE(isNull(r1.PrevPtr));
    EXPECT_EQ(r1.NextPtr, entry(1));
    EXPECT_EQ(r2.PrevPtr, entry(0));
    EXPECT_EQ(r2.NextPtr, entry(2));
    EXPECT_EQ(r3.PrevPtr, entry(1));
    EXPECT_TRUE(isNull(r3.NextPtr));
    EXPECT_EQ(r1.NUndo, entry(1));
    EXPECT_EQ(r2.PUndo, entry(0));
    EXPECT_EQ(r3.PUndo, entry(1));
    EXPECT_EQ(r3.Data[1], 0x11) << "what the source held before the third write";
    EXPECT_EQ(r1.Data[1], original[1]);
    JHdr h = fileHeader();
    EXPECT_EQ(h.Rest, entry(2));
    EXPECT_EQ(h.Undo, entry(2));
    EXPECT_EQ(h.UndoFirst, entry(0));
    std::vector<uint8_t> s = readAll(src);
    EXPECT_EQ(s[1], 0x33);
    EXPECT_EQ(s[2048 + 2], 0x22);
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, NeinDropsTheInputsAndTheNextWriteAsksAgain) {
    openSource(pattern(2000), false);
    directMode();
    cursorAt(5);
    type("99");
    answerSavePage(false);
    ret();
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(jnlBytes().size(), 1024u);
    EXPECT_EQ(g_doc.PageBuf[5], original[5]) << "the reload shows the source";
    EXPECT_TRUE(g_commit.FillBatch & kFillSaidNo);
    cursorAt(5);
    type("98");
    answerSavePage(true);
    ret();
    EXPECT_EQ(readAll(src)[5], 0x98);
    EXPECT_EQ(fake.dialogsShown.size(), 2u);
}

TEST_F(EditDirect, YesForAllOutsideAFillStillAsksNextTime) {
    openSource(pattern(2000), false);
    directMode();
    cursorAt(5);
    type("99");
    answerSavePage(true, true);
    ret();
    cursorAt(6);
    type("98");
    answerSavePage(true);
    ret();
    EXPECT_EQ(fake.dialogsShown.size(), 2u);
    EXPECT_EQ(readAll(src)[6], 0x98);
}

TEST_F(EditDirect, YesForAllDuringAFillAsksOnlyOnce) {
    openSource(pattern(4096), false);
    directMode();
    g_commit.FillBatch = kFillRunning;
    cursorAt(5);
    type("99");
    answerSavePage(true, true);
    ret();
    EXPECT_EQ(g_commit.FillBatch, kFillRunning | kFillYesForAll);
    gotoPair(2048);
    cursorAt(6);
    type("98");
    ret(); // no dialog
    EXPECT_EQ(fake.dialogsShown.size(), 1u);
    std::vector<uint8_t> s = readAll(src);
    EXPECT_EQ(s[5], 0x99);
    EXPECT_EQ(s[2048 + 6], 0x98);
}

TEST_F(EditDirect, ReadOnlySourceIsReopenedAfterTheQuestion) {
    openSource(pattern(2000)); // read-only
    directMode();
    cursorAt(7);
    type("77");
    expectBox(
        "Ohne Schreibschutz neu öffnen?", kIdOk,
        "Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz NEU öffnen !");
    fake.fileDialogAnswers.push_back({true, src, false});
    answerSavePage(true);
    ret();
    EXPECT_TRUE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(fake.cells(33, 78, 9), "         ");
    EXPECT_EQ(readAll(src)[7], 0x77);
    checkJournal();
}

TEST_F(EditDirect, RefusingToReopenDropsTheInputs) {
    openSource(pattern(2000));
    directMode();
    cursorAt(7);
    type("77");
    expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel);
    ret();
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(jnlBytes().size(), 1024u);
    EXPECT_EQ(g_doc.PageBuf[7], original[7]);
}

TEST_F(EditDirect, LockedSourceAsksForWriteAccess) {
    openSource(pattern(2000), false);
    directMode();
    run(IDM_LOCK); // sperren
    ASSERT_FALSE(g_doc.AccessFlag & kAccUnlocked);
    cursorAt(7);
    type("77");
    expectBox("Schreibzugriff erlauben ?", kIdYes,
              "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
    answerSavePage(true);
    ret();
    EXPECT_TRUE(g_doc.AccessFlag & kAccUnlocked);
    EXPECT_EQ(readAll(src)[7], 0x77);
}

TEST_F(EditDirect, RefusedWriteAccessSendsTheInputsToTheJournal) {
    openSource(pattern(2000), false);
    directMode();
    run(IDM_LOCK);
    cursorAt(7);
    type("77");
    expectBox("Schreibzugriff erlauben ?", kIdNo);
    ret();
    EXPECT_EQ(readAll(src), original);
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Flags, 0x18414Du);
    EXPECT_EQ(r.Data[7], 0x77);
    EXPECT_EQ(hexBg(7), kJournalColour);
    checkJournal();
}

TEST_F(EditDirect, BlockWithAJournalRecordHandsItsEditsToTheSource) {
    openSource(pattern(4096), false);
    // Journal mode: block 0 and block 1024 get records.
    cursorAt(0x23);
    type("41");
    ret();
    gotoPair(1024);
    cursorAt(3);
    type("43");
    ret();
    gotoPair(0);
    cursorAt(0x24);
    type("42");
    ret(); // block 0 version 2
    ASSERT_EQ(jnlBytes().size(), 1024u + 3 * 640u);
    directMode();
    cursorAt(0x25);
    type("44");
    answerSavePage(true);
    ret();
    std::vector<uint8_t> s = readAll(src);
    EXPECT_EQ(s[0x23], 0x41) << "the journalled edits go to the source with the input";
    EXPECT_EQ(s[0x24], 0x42);
    EXPECT_EQ(s[0x25], 0x44);
    EXPECT_EQ(s[1024 + 3], original[1024 + 3]) << "another block's record stays in the journal";
    JRec d = rec(entry(3));
    EXPECT_EQ(d.Flags, 0x400030u);
    EXPECT_TRUE(isNull(d.PJnl)) << "no version chain shared with journal-mode records";
    std::vector<uint8_t> before(d.Data, d.Data + 512);
    EXPECT_EQ(before, std::vector<uint8_t>(original.begin(), original.begin() + 512));
    // The journal-mode record left the address chain; the other block is alone in it.
    JRec v2 = rec(entry(2));
    EXPECT_FALSE(v2.Flags & 0x40);
    EXPECT_TRUE(v2.Flags & 0x400000) << "its content is in the source now";
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(1));
    EXPECT_EQ(h.LastPtr, entry(1));
    JRec other = rec(entry(1));
    EXPECT_TRUE(isNull(other.PrevPtr));
    EXPECT_EQ(h.Rest, entry(3));
    EXPECT_EQ(d.PrevPtr, entry(1)) << "restore goes on where it started before";
    EXPECT_EQ(h.Undo, entry(3));
    EXPECT_EQ(d.PUndo, entry(2));
    EXPECT_EQ(g_doc.JReadFlag & 1, 0u);
    EXPECT_EQ(hexBg(0x23), kHexBgDefault);
    EXPECT_EQ(g_doc.PageBuf[0x24], 0x42);
    checkJournal();
    EXPECT_EQ(restored(), original);
    // The block can be journalled again afterwards.
    run(IDM_JOURNAL_MODE);
    cursorAt(0x30);
    type("50");
    ret();
    JRec fresh = rec(entry(4));
    EXPECT_TRUE(isNull(fresh.PJnl));
    EXPECT_EQ(fresh.Data[0x24], 0x42);
    EXPECT_EQ(fresh.Data[0x30], 0x50);
    EXPECT_EQ(fileHeader().Rest, entry(3)) << "the restore chain keeps its head";
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, MixedModesKeepEveryDirectWriteRestorable) {
    openSource(pattern(8192), false);
    directMode();
    cursorAt(1);
    type("11");
    answerSavePage(true);
    ret();
    run(IDM_JOURNAL_MODE);
    gotoPair(4096);
    cursorAt(2);
    type("22");
    ret(); // journal mode
    run(IDM_DIRECT_MODE);
    gotoPair(2048);
    cursorAt(3);
    type("33");
    answerSavePage(true);
    ret();
    gotoPair(0);
    cursorAt(1);
    type("44");
    answerSavePage(true);
    ret();
    checkJournal();
    std::vector<uint8_t> s = readAll(src);
    EXPECT_EQ(s[1], 0x44);
    EXPECT_EQ(s[2048 + 3], 0x33);
    EXPECT_EQ(s[4096 + 2], original[4096 + 2]);
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, BothBlocksOfThePageAreWritten) {
    openSource(pattern(4096), false);
    directMode();
    gotoPair(1024, 256);
    cursorAt(0);
    type("AA");
    cursorAt(300);
    type("BB");
    answerSavePage(true);
    ret();
    EXPECT_EQ(fake.dialogsShown.size(), 1u);
    std::vector<uint8_t> s = readAll(src);
    EXPECT_EQ(s[1024 + 256], 0xAA);
    EXPECT_EQ(s[1536 + 44], 0xBB);
    EXPECT_EQ(rec(entry(0)).Adr, 1024u);
    EXPECT_EQ(rec(entry(1)).Adr, 1536u);
    EXPECT_EQ(rec(entry(1)).PrevPtr, entry(0));
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, NeverGrowsTheSource) {
    openSource(pattern(20), false);
    directMode();
    cursorAt(19);
    type("4142");
    cursorAt(30);
    type("43");
    answerSavePage(true);
    ret();
    std::vector<uint8_t> s = readAll(src);
    ASSERT_EQ(s.size(), 20u);
    EXPECT_EQ(s[19], 0x42);
    EXPECT_EQ(rec(entry(0)).Len, 20u);
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, FullJournalDiskLeavesTheSourceAloneAndKeepsTheInputs) {
    openSource(pattern(2000), false);
    directMode();
    cursorAt(9);
    type("99");
    answerSavePage(true);
    fake.failWrite(1, kErrDiskFull, ".jnl");
    expectBox("", kIdOk, "Fehler beim Schreiben von ");
    ret();
    EXPECT_EQ(fake.boxes.back().text, std::string("Fehler beim Schreiben von ") + g_jnl.JnlName);
    EXPECT_EQ(readAll(src), original) << "without its earlier bytes kept, the source is untouched";
    EXPECT_EQ(jnlBytes().size(), 1024u);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    EXPECT_EQ(hexBg(9), kInputColour);
    checkJournal();
    answerSavePage(true);
    ret();
    EXPECT_EQ(readAll(src)[9], 0x99);
    EXPECT_EQ(rec(entry(0)).Data[9], original[9]);
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, FailedSourceWriteKeepsTheInputsAndTheRestoreRecord) {
    openSource(pattern(2000), false);
    directMode();
    cursorAt(9);
    type("99");
    answerSavePage(true);
    fake.failWrite(1, kErrDiskFull, src);
    expectBox("", kIdOk, std::string("Fehler beim Schreiben von ") + src);
    ret();
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    EXPECT_EQ(fileHeader().Rest, entry(0));
    checkJournal();
    answerSavePage(true);
    ret();
    EXPECT_EQ(readAll(src)[9], 0x99);
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, SavedBlockRestoresToItsOriginalCopy) {
    // A journal in which block 0 was saved before: its oldest version is the original copy
    // (0x80030) and the source holds the saved bytes of the current version (0x10, 0x20).
    const uint32_t seed = 7;
    std::vector<uint8_t> saved(1024), first(1024);
    for (int i = 0; i < 1024; ++i)
        saved[i] = first[i] = pattern(1024)[i];
    for (int i = 0; i < 512; ++i) {
        saved[i] = specData(seed, i);
        first[i] = specData(seed + 1000, i);
    }
    src = makeFile("saved.bin", saved);
    openThroughDialog(src, false);
    ASSERT_TRUE(journalOpen());
    std::string host = jnlHost();
    run(IDM_CLOSE_FILE); // an empty journal is deleted at closing
    BuiltJournal b =
        buildJournal(host, src.c_str(), fakeLastWriteTime(src), {{0, 512, 0x30, 2, seed}});
    ASSERT_EQ(b.nodes[0], entry(1));
    uint8_t copyFlags[4] = {0x30, 0x00, 0x08, 0x00};
    patchFile(host, entry(0) + 0x3C, copyFlags, 4);
    uint8_t noRest[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    patchFile(host, 0x18, noRest, 8);
    openThroughDialog(src, false);
    ASSERT_TRUE(sourceOpen());
    ASSERT_EQ(g_doc.JReadFlag & 1, 1u);
    ASSERT_EQ(g_doc.PageBuf[5], saved[5]);
    directMode();
    cursorAt(0x23);
    type("41");
    answerSavePage(true);
    ret();
    std::vector<uint8_t> now = saved;
    now[0x23] = 0x41;
    EXPECT_EQ(readAll(src), now);
    JRec d = rec(entry(2));
    EXPECT_EQ(d.Flags, 0x400030u);
    EXPECT_EQ(std::vector<uint8_t>(d.Data, d.Data + 512),
              std::vector<uint8_t>(first.begin(), first.begin() + 512))
        << "the bytes a restore must bring back are the original copy's";
    checkJournal();
    EXPECT_EQ(restored(), first);
}

TEST_F(EditDirect, InputsWrittenByAPageMoveShowPlain) {
    openSource(pattern(4096), false);
    directMode();
    gotoPair(1024);
    cursorAt(5);
    type("41");
    cursorAt(5);
    answerSavePage(true);
    run(IDM_ARROW_UP); // Up from the first row: the pair steps back, block 1 becomes block 2
    ASSERT_EQ(g_doc.AnfPtr, 512u);
    ASSERT_EQ(g_doc.ViewOfs, 496u);
    EXPECT_EQ(readAll(src)[1024 + 5], 0x41);
    EXPECT_EQ(g_doc.PageBuf[512 + 5], 0x41);
    EXPECT_FALSE(g_doc.ModMask[64] & 0x20) << "written bytes are plain source bytes";
    EXPECT_EQ(hexBg(16 + 5), kHexBgDefault);
    checkJournal();
}

} // namespace
