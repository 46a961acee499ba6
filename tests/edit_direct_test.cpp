// Direct mode: inputs go to the source at once, after dialog 157, and the journal keeps what
// the source held before in records of the restore chain.
#include "edit/commit.h"
#include "tests/support/doc_test.h"

namespace {

class EditDirect : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    std::string statusMode() { return fake.cells(33, 56, 9); }
    void direct() {
        run(IDM_DIRECT_MODE);
        ASSERT_EQ(statusMode(), " direkt  ");
    }
    // Types at `pos` in direct mode and answers dialog 157 with Ja.
    void write(uint64_t pos, const char *hex, bool all = false) {
        cursorAt(showByte(pos));
        type(hex);
        answerSavePage(true, all);
        ret();
    }
};

TEST_F(EditDirect, WritesTheSourceAndKeepsItsBytesInTheRestoreChain) {
    openSource(pattern(4096), false);
    run(IDM_DIRECT_MODE);
    EXPECT_EQ(statusMode(), " direkt  ");
    run(IDM_JOURNAL_MODE);
    EXPECT_EQ(statusMode(), "Protokoll");
    direct();
    write(0x23, "41");
    EXPECT_EQ(fake.dialogsShown, std::vector<int>{IDD_SAVE_PAGE});
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}}));
    EXPECT_EQ(dataOf(rec(entry(0))), blockOf(original, 0)) << "the bytes before the write";
    EXPECT_EQ(rec(entry(0)).ModBits[4], 0x08);
    EXPECT_EQ(fake.title, src) << "no journalled edit";
    expectByte(0x23, 0x41, false);
    write(2048 + 2, "22");
    write(1, "33");
    write(1, "44"); // the same byte again
    EXPECT_EQ(table(), "e0 0 - e1 - e1 - - 512 400030\n"
                       "e1 800 e0 e2 e0 e2 - - 512 400030\n"
                       "e2 0 e1 e3 e1 e3 - - 512 400030\n"
                       "e3 0 e2 - e2 - - - 512 400030\n"
                       "first - last - undoFirst e0 undo e3 rest e3\n");
    EXPECT_EQ(rec(entry(3)).Data[1], 0x33) << "what the source held before the fourth write";
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}, {1, 0x44}, {2050, 0x22}}));
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, TheQuestionBeforeEveryWrite) {
    openSource(pattern(4096), false);
    direct();
    cursorAt(5);
    type("99");
    answerSavePage(false); // Nein: the inputs are dropped, the page shows the source
    ret();
    expectPage(0, original);
    EXPECT_EQ(table(), "first - last - undoFirst - undo - rest -\n");
    write(6, "98");       // the next write asks again
    write(7, "97", true); // "JA für alle" outside a fill: the next one asks again
    write(8, "96");
    EXPECT_EQ(fake.dialogsShown.size(), 4u);
    g_commit.FillBatch = kFillRunning; // within a fill it is asked once
    write(9, "95", true);
    EXPECT_EQ(g_commit.FillBatch, kFillRunning | kFillYesForAll);
    cursorAt(showByte(2048));
    type("94");
    ret();
    EXPECT_EQ(fake.dialogsShown.size(), 5u);
    EXPECT_EQ(sourceNow(),
              withBytes(original, {{6, 0x98}, {7, 0x97}, {8, 0x96}, {9, 0x95}, {2048, 0x94}}));
}

TEST_F(EditDirect, ReadOnlyOrLockedSourceAsksFirst) {
    // A read-only source: OK reopens it with write access, Cancel drops the inputs.
    for (int answer : {kIdCancel, kIdOk}) {
        openSource(pattern(2000), true, "ro" + std::to_string(answer) + ".bin");
        direct();
        cursorAt(7);
        type("77");
        expectBox("Ohne Schreibschutz neu öffnen?", answer,
                  "Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz NEU "
                  "öffnen !");
        if (answer == kIdOk) fake.fileDialogAnswers.push_back({true, src, false});
        answerSavePage(true);
        ret();
        EXPECT_EQ(fake.boxes.back().style, unsigned(kMbOkCancel | kMbIconQuestion));
        EXPECT_EQ(sourceNow(), answer == kIdOk ? withBytes(original, {{7, 0x77}}) : original);
        expectByte(7, answer == kIdOk ? 0x77 : original[7], false);
        checkJournal();
        fake.dialogScripts.clear();
        run(IDM_CLOSE_FILE);
    }
    // A locked source: Ja lifts the lock, Nein sends the inputs to the journal.
    openSource(pattern(2000), false, "locked.bin");
    direct();
    for (int answer : {kIdNo, kIdYes}) {
        run(IDM_LOCK);
        cursorAt(answer == kIdYes ? 8 : 7);
        type("77");
        expectBox("Schreibzugriff erlauben ?", answer,
                  "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
        if (answer == kIdYes) answerSavePage(true);
        ret();
        if (answer == kIdNo) expectByte(7, 0x77, true); // journalled instead
        EXPECT_EQ(sourceNow()[7], answer == kIdNo ? original[7] : 0x77);
    }
    EXPECT_EQ(sourceNow(), withBytes(original, {{7, 0x77}, {8, 0x77}}));
    EXPECT_EQ(table(), "e0 0 - - - e1 - - 512 58402D\n"
                       "e1 0 e0 - e0 - - - 512 400030\n"
                       "first - last - undoFirst e0 undo e1 rest e1\n");
    checkJournal();
}

TEST_F(EditDirect, ABlockWithAJournalRecordHandsItsEditsToTheSource) {
    openSource(pattern(4096), false);
    typeAt(0x23, {0x41});
    typeAt(1024 + 3, {0x43});
    typeAt(0x24, {0x42}); // block 0's second version
    direct();
    write(0x25, "44");
    // The journalled edits of block 0 go to the source with the input; block 1024 keeps its
    // record; block 0's record leaves the address chain and shows the source from now on.
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}, {0x24, 0x42}, {0x25, 0x44}}));
    EXPECT_EQ(table(), "e0 0 - e1 - e1 - e2 512 184145\n"
                       "e1 400 - - e0 e2 - - 512 18414D\n"
                       "e2 0 - e1 e1 e3 e0 - 512 58402D\n"
                       "e3 0 e1 - e2 - - - 512 400030\n"
                       "first e1 last e1 undoFirst e0 undo e3 rest e3\n");
    EXPECT_EQ(dataOf(rec(entry(3))), blockOf(original, 0));
    EXPECT_EQ(restored(), original);
    expectByte(0x23, 0x41, false);
    run(IDM_JOURNAL_MODE); // the block can be journalled again
    typeAt(0x30, {0x50});
    EXPECT_EQ(rec(entry(4)).Data[0x24], 0x42);
    EXPECT_TRUE(isNull(rec(entry(4)).PJnl)) << "a fresh record";
    EXPECT_EQ(fileHeader().Rest, entry(3)) << "the restore chain keeps its head";
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(EditDirect, PairsSourceEndsAndSavedBlocks) {
    openSource(pattern(4096), false);
    direct();
    gotoPair(1024, 256);
    cursorAt(0);
    type("AA");
    cursorAt(300);
    type("BB");
    answerSavePage(true);
    ret(); // both blocks of the pair, one question
    gotoPair(2048);
    cursorAt(5);
    type("41");
    answerSavePage(true);
    run(IDM_ARROW_UP); // Up from the first row moves the pair: the move writes
    EXPECT_EQ(fake.dialogsShown.size(), 2u);
    EXPECT_EQ(hexText(2048 + 5 - first()), "41");
    EXPECT_EQ(hexBg(2048 + 5 - first()), kPlainHexBg) << "written bytes show plain";
    EXPECT_EQ(sourceNow(),
              withBytes(original, {{1024 + 256, 0xAA}, {1536 + 44, 0xBB}, {2048 + 5, 0x41}}));
    EXPECT_EQ(table(), "e0 400 - e1 - e1 - - 512 400030\n"
                       "e1 600 e0 e2 e0 e2 - - 512 400030\n"
                       "e2 800 e1 - e1 - - - 512 400030\n"
                       "first - last - undoFirst e0 undo e2 rest e2\n");
    EXPECT_EQ(restored(), original);
    run(IDM_CLOSE_FILE);

    openSource(pattern(20), false, "short.bin");
    direct();
    cursorAt(19);
    type("4142");
    cursorAt(30);
    type("43"); // beyond the end: nothing
    answerSavePage(true);
    ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{19, 0x42}}));
    EXPECT_EQ(rec(entry(0)).Len, 20u);
    run(IDM_CLOSE_FILE);

    // A block saved before: its oldest version is the original copy (0x80030), the source
    // holds the saved bytes. A restore must give back the copy's bytes.
    std::vector<uint8_t> saved = pattern(1024), first = saved;
    for (int i = 0; i < 512; ++i)
        saved[i] = specData(7, i), first[i] = specData(1007, i);
    src = makeFile("saved.bin", saved);
    open(src, false);
    std::string host = jnlHost();
    run(IDM_CLOSE_FILE); // an empty journal is deleted at closing
    buildJournal(host, src.c_str(), fakeLastWriteTime(src), {{0, 512, 0x30, 2, 7}});
    patchFile(host, entry(0) + 0x3C, "\x30\x00\x08\x00", 4);
    patchFile(host, 0x18, "\0\0\0\0\xFF\xFF\xFF\xFF", 8); // no Rest
    open(src, false);
    direct();
    write(0x23, "41");
    EXPECT_EQ(sourceNow(), withBytes(saved, {{0x23, 0x41}}));
    EXPECT_EQ(dataOf(rec(entry(2))), blockOf(first, 0));
    checkJournal();
    EXPECT_EQ(restored(), first);
}

} // namespace
