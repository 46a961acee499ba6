// Typing and committing: the keys and the colours of the typed cells, the records a commit
// writes in journal mode (golden tables of the journal: one row per entry, links as entry
// numbers), and direct mode, where inputs go to the source after dialog 157 and the journal
// keeps what the source held before in records of the restore chain.
#include "edit/commit.h"
#include "tests/support/doc_test.h"

namespace {

constexpr uint32_t kCursor = 0xEEFF88; // the cursor cell in the hex column

class Edit : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    // Types at `pos` in direct mode and answers dialog 157 with Ja.
    void write(uint64_t pos, const char *hex, bool all = false) {
        cursorAt(showByte(pos));
        type(hex);
        answerSavePage(true, all);
        ret();
    }
};

TEST_F(Edit, TypedPairShowsInputColoursThenJournalled) {
    openSource(pattern(2000));
    EXPECT_EQ(fake.title, src);
    cursorAt(0x23);
    type("4");
    EXPECT_EQ(fake.cells(rowOf(0x23), hexCol(0x23), 1), "4");
    EXPECT_EQ(hexBg(0x23), kInputColour);
    type("1");
    EXPECT_EQ(hexText(0x23) + charText(0x23), "41A");
    EXPECT_TRUE(hexBg(0x23, 1) == kInputColour && charBg(0x23) == kMirrorColour);
    EXPECT_EQ(hexBg(0x24), kCursor) << "the cursor went on to the next byte";
    run(IDM_ARROW_RIGHT); // a byte just typed keeps its colours, the cell left is plain again
    EXPECT_TRUE(hexBg(0x23) == kInputColour && hexBg(0x24) == kPlainHexBg);
    ret();
    EXPECT_TRUE(hexBg(0x23) == kJournalColour && charBg(0x23) == kJournalColour);
    EXPECT_EQ(table(), "e0 0 - - - - - - 512 18414D\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    JRec r = rec(entry(0));
    EXPECT_EQ(dataOf(r), withBytes(blockOf(original, 0), {{0x23, 0x41}}));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(r.ModBits[i], i == 4 ? 0x08 : 0) << "map byte " << i;
    EXPECT_EQ(fake.title, src + "*");
}

TEST_F(Edit, HexDigitsCharactersAndIgnoredKeys) {
    openSource(pattern(600));
    cursorAt(5);
    type("aGF"); // G is no digit: the low nibble is still awaited
    type("Gz "); // ignored, the cursor stays
    cursorAt(0x10, 1);
    key(0xE4);
    EXPECT_TRUE(hexBg(0x10) == kMirrorColour && charBg(0x10) == kInputColour);
    run(IDM_SPACE); // a typed blank
    ret();
    expectPage(0, withBytes(original, {{5, 0xAF}, {0x10, 0xE4}, {0x11, ' '}}));
    EXPECT_EQ(rec(entry(0)).ModBits[2], 0x03);
}

// What Esc keeps or drops the model test checks; here the question and half a byte.
TEST_F(Edit, EscapeAsksBeforeItDropsInputs) {
    openSource(pattern(2000));
    cursorAt(0x40);
    type("1");
    key(27); // half a byte only: no question
    EXPECT_EQ(hexText(0x40), "C3");
    type("1234");
    expectBox("Eingaben verwerfen?", kIdYes, "Sollen die aktuellen Eingaben verworfen werden?");
    key(27);
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbYesNo | kMbIconQuestion | kMbDefButton2));
    EXPECT_EQ(hexText(0x41) + table(), "CAfirst - last - undoFirst - undo - rest -\n");
}

// Commits of edits at (pair, view, page offset), in journal mode: the records and links.
struct CommitCase {
    const char *name;
    uint32_t undoMode;
    size_t size;
    struct Edit {
        uint64_t pair;
        uint32_t view, off;
        const char *keys;  // hex digits, or "<" to fetch the source byte back
        uint32_t off2 = 0; // a second byte typed before the Return
        const char *keys2 = nullptr;
    };
    std::vector<Edit> edits;
    const char *table;
};

// clang-format off
const CommitCase kCommits[] = {
    {"versions retained append and chain", 2, 2000, {{0, 0, 0x23, "41"}, {0, 0, 0x24, "42"}},
     "e0 0 - - - e1 - e1 512 184145\n"
     "e1 0 - - e0 - e0 - 512 18414D\n"
     "first e1 last e1 undoFirst e0 undo e1 rest e0\n"},
    {"without versions the record is rewritten in place", 1, 2000,
     {{0, 0, 0x23, "41"}, {0, 0, 0x30, "42"}, {0, 0, 0x31, "43"}},
     "e0 0 - - - - - - 512 10414D\n"
     "first e0 last e0 undoFirst e0 undo e0 rest e0\n"},
    {"a rewrite in place moves to the end of the undo chain", 1, 4096,
     {{0, 0, 1, "11"}, {2048, 0, 1, "22"}, {0, 0, 2, "33"}},
     "e0 0 - e1 e1 - - - 512 10414D\n"
     "e1 800 e0 - - e0 - - 512 10414D\n"
     "first e0 last e1 undoFirst e1 undo e0 rest e1\n"},
    // The view starts one byte into a row: the marks must follow it.
    {"both blocks of the page, block 1 first", 2, 4096, {{1024, 257, 0, "AA", 300, "BB"}},
     "e0 400 - e1 - e1 - - 512 18414D\n"
     "e1 600 e0 - e0 - - - 512 18414D\n"
     "first e0 last e1 undoFirst e0 undo e1 rest e1\n"},
    {"the last block has a short Len", 2, 700, {{0, 512, 100, "7F"}},
     "e0 200 - - - - - - 188 18414D\n"
     "first e0 last e0 undoFirst e0 undo e0 rest e0\n"},
    // A record whose map was emptied leaves the chain at the next Return (every version of
    // its neighbours relinked); a fresh record takes its place.
    {"an emptied record is replaced by a fresh one", 2, 8192,
     {{0, 0, 1, "11"}, {0, 0, 2, "12"}, {4096, 0, 1, "21"}, {4096, 0, 2, "22"},
      {2048, 0, 1, "31"}, {2048, 0, 1, "<"}, {2048, 0, 7, "77"}},
     "e0 0 - e6 - e1 - e1 512 184145\n"
     "e1 0 - e6 e0 e2 e0 - 512 18414D\n"
     "e2 1000 e6 - e1 e3 - e3 512 184145\n"
     "e3 1000 e6 - e2 e4 e2 - 512 18414D\n"
     "e4 800 e1 e3 e3 e5 - e5 512 184145\n"
     "e5 800 e1 e3 e4 e6 e4 - 512 18410D\n"
     "e6 800 e1 e3 e5 - - - 512 18414D\n"
     "first e1 last e3 undoFirst e0 undo e6 rest e6\n"},
};
// clang-format on

TEST_F(Edit, CommitsLinkRecordsIntoTheChains) {
    int file = 0;
    for (const CommitCase &c : kCommits) {
        SCOPED_TRACE(c.name);
        g_settings.UndoMode = c.undoMode;
        openSource(pattern(c.size), true, "c" + std::to_string(++file) + ".bin");
        for (const auto &e : c.edits) {
            gotoPair(e.pair, e.view);
            cursorAt(e.off);
            e.keys[0] == '<' ? run(IDM_FETCH_SOURCE_RIGHT) : type(e.keys);
            if (e.keys2) cursorAt(e.off2), type(e.keys2);
            ret();
            checkJournal(e.keys);
        }
        EXPECT_EQ(table(), c.table);
        EXPECT_EQ(sourceNow(), original) << "journal mode never writes the source";
        checkScreen(viewFromFiles());
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(Edit, TypingNeverGrowsTheSource) {
    openSource(pattern(20));
    cursorAt(25);
    type("41"); // no byte under the cursor
    cursorAt(19);
    type("4142"); // the cursor stays on the last byte: the second byte overwrites the first
    EXPECT_EQ(hexText(19), "42");
    EXPECT_EQ(hexBg(19), kCursor) << "the cursor is drawn over the typed byte";
    EXPECT_EQ(charBg(20), kPlainCharBg) << "nothing is drawn beyond the last byte";
    run(IDM_ARROW_LEFT); // the old cell is drawn in its own colours
    EXPECT_EQ(hexBg(19), kJournalColour);
    run(IDM_CLOSE_FILE);
    openSource({}, true, "empty.bin");
    type("41");
    cursorAt(0, 1);
    type("xyz");
    ret();
    EXPECT_EQ(table(), "first - last - undoFirst - undo - rest -\n");
}

TEST_F(Edit, WithoutAJournalInputsStayUntilTakenOrWithdrawn) {
    // The journal directory is a file: no journal can be made and the user picks none.
    ASSERT_EQ(std::system(("rm -rf '" + dir + "/C/kelmor'").c_str()), 0);
    makeFile("C/kelmor", {1});
    original = pattern(4096);
    src = makeFile("src.bin", original);
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdNo);
    open(src);
    ASSERT_FALSE(journalOpen());
    cursorAt(3);
    type("41");
    expectBox("keine Protokolldatei !", kIdOk,
              "Es ist keine Protokolldatei geöffnet !\n\nDie aktuellen Eingaben bleiben erhalten, "
              "bis sie in eine\nProtokolldatei übernommen (-> Datei -> andere "
              "Protokolldatei)\noder mit Esc verworfen werden !");
    ret(); // nowhere to go: the user is told once, and the page stays with them
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbOk | kMbIconWarning | kMbTaskModal));
    run(IDM_PAGE_DOWN), run(IDM_FILE_END);
    EXPECT_TRUE(first() == 0 && hexText(3) == "41" && hexBg(3) == kInputColour);
    expectBox("Eingaben verwerfen?", kIdYes);
    key(27); // withdrawn: the page moves again
    run(IDM_PAGE_DOWN);
    expectPage(512);
    cursorAt(5); // typed again, they wait for a journal chosen for them and go there on Return
    type("42");
    fake.fileDialogAnswers.push_back({true, "C:\\hand.jnl", false});
    run(IDM_PAGE_DOWN), run(IDM_CHOOSE_JOURNAL), ret();
    EXPECT_EQ(table(), "e0 200 - - - - - - 512 18414D\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    expectByte(512 + 5, 0x42, true);
    EXPECT_EQ(sourceNow(), original);
    checkJournal();
}

TEST_F(Edit, WritesTheSourceAndKeepsItsBytesInTheRestoreChain) {
    openSource(pattern(4096), false);
    run(IDM_DIRECT_MODE);
    write(0x23, "41");
    EXPECT_EQ(fake.dialogsShown, std::vector<int>{IDD_SAVE_PAGE});
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}}));
    EXPECT_EQ(dataOf(rec(entry(0))), blockOf(original, 0)) << "the bytes before the write";
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

TEST_F(Edit, TheQuestionBeforeEveryWrite) {
    openSource(pattern(4096), false);
    run(IDM_DIRECT_MODE);
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

TEST_F(Edit, ReadOnlyOrLockedSourceAsksFirst) {
    // A read-only source: OK reopens it with write access, Cancel drops the inputs.
    for (int answer : {kIdCancel, kIdOk}) {
        openSource(pattern(2000), true, "ro" + std::to_string(answer) + ".bin");
        run(IDM_DIRECT_MODE);
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
    run(IDM_DIRECT_MODE);
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
    EXPECT_EQ(table(), "e0 0 - - - e1 - - 512 58402D\n"
                       "e1 0 e0 - e0 - - - 512 400030\n"
                       "first - last - undoFirst e0 undo e1 rest e1\n");
    checkJournal();
}

TEST_F(Edit, ABlockWithAJournalRecordHandsItsEditsToTheSource) {
    openSource(pattern(4096), false);
    typeAt(0x23, {0x41});
    typeAt(1024 + 3, {0x43});
    typeAt(0x24, {0x42}); // block 0's second version
    run(IDM_DIRECT_MODE);
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
    EXPECT_TRUE(rec(entry(4)).Data[0x24] == 0x42 && isNull(rec(entry(4)).PJnl)) << "a fresh record";
    EXPECT_EQ(fileHeader().Rest, entry(3)) << "the restore chain keeps its head";
    checkJournal();
    EXPECT_EQ(restored(), original);
}

TEST_F(Edit, PageMovesAndSavedBlocks) {
    openSource(pattern(4096), false);
    run(IDM_DIRECT_MODE);
    gotoPair(2048);
    cursorAt(5);
    type("41");
    answerSavePage(true);
    run(IDM_ARROW_UP); // Up from the first row moves the pair: the move writes
    EXPECT_EQ(hexText(2048 + 5 - first()), "41");
    EXPECT_EQ(hexBg(2048 + 5 - first()), kPlainHexBg) << "written bytes show plain";
    EXPECT_EQ(sourceNow(), withBytes(original, {{2048 + 5, 0x41}}));
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
    run(IDM_DIRECT_MODE);
    write(0x23, "41");
    EXPECT_EQ(sourceNow(), withBytes(saved, {{0x23, 0x41}}));
    EXPECT_EQ(dataOf(rec(entry(2))), blockOf(first, 0));
    write(0x30, "42"); // the record left the chain: what the source holds is kept now
    EXPECT_EQ(rec(entry(3)).Data[0x23], 0x41);
    checkJournal();
    EXPECT_EQ(restored(), first);
}

} // namespace
