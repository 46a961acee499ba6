// Saving into the source: the three save commands, their questions, the records they write
// (golden tables of the journal) and what the screen shows afterwards.
#include "access/textutil.h"
#include "tests/support/doc_test.h"

namespace {

class SaveScenario : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
};

// Two saves of a block in each undo mode: with undo an original copy of the block's bytes
// before the first save is kept; without versions the second save keeps the bytes the first
// one wrote in a before-image.
TEST_F(SaveScenario, SavePageInEachUndoMode) {
    struct Case {
        uint32_t mode;
        const char *first, *second;
    } cases[] = {
        {2,
         "e0 0 - - e1 - e1 - 512 BB497D\n"
         "e1 0 - - - e0 - e0 512 894030\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n",
         "e0 0 - - e1 e2 e1 e2 512 BB4975\n"
         "e1 0 - - - e0 - e0 512 894030\n"
         "e2 0 - - e0 - e0 - 512 BB497D\n"
         "first e2 last e2 undoFirst e1 undo e2 rest e0\n"},
        {1,
         "e0 0 - - e1 - e1 - 512 B3497D\n"
         "e1 0 - - - e0 - e0 512 894030\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n",
         "e0 0 - - e1 - e2 - 512 B3497D\n"
         "e1 0 - - - e0 - e2 512 894030\n"
         "e2 0 - - - - e1 e0 512 330935\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n"},
        {0,
         "e0 0 - - - - - - 512 B37B6D\n"
         "first e0 last e0 undoFirst e0 undo e0 rest e0\n",
         "e0 0 - - - - - - 512 B37B6D\n"
         "first e0 last e0 undoFirst e0 undo e0 rest e0\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        openWritable(pattern(2000), c.mode, "m" + std::to_string(c.mode) + ".bin");
        typeAt(0x23, {0x41});
        savePageYes();
        EXPECT_EQ(fake.boxes.back().style,
                  unsigned(kMbYesNo | kMbIconQuestion | kMbDefButton2 | kMbTaskModal));
        EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}}));
        EXPECT_EQ(table(), c.first);
        if (c.mode) EXPECT_EQ(dataOf(rec(entry(1))), blockOf(original, 0)) << "the copy";
        EXPECT_EQ(rec(entry(0)).ModBits[4], 0x08) << "the map keeps what this version changed";
        expectByte(0x23, 0x41, false);
        typeAt(0x30, {0x42});
        savePageYes();
        EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}, {0x30, 0x42}}));
        EXPECT_EQ(table(), c.second);
        expectByte(0x30, 0x42, false);
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(SaveScenario, NoLeavesEverythingAsItWas) {
    openWritable(pattern(2000), 2);
    typeAt(0x23, {0x41});
    std::vector<uint8_t> j = readAll(jnlHost());
    size_t shown = fake.boxes.size();
    expectBox("Speichern?", kIdNo, "Soll die aktuelle Seite gespeichert werden?");
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(fake.boxes.back().text, "Soll die aktuelle Seite gespeichert werden?");
    expectBox("Speichern?", kIdNo, "Sollen die markierten Änderungen gespeichert werden?");
    mark(0, 100);
    run(IDM_SAVE_RANGE);
    EXPECT_EQ(fake.boxes.back().text, "Sollen die markierten Änderungen gespeichert werden?");
    g_doc.MarkFlag = 0;
    run(IDM_SAVE_RANGE); // without a marking nothing is asked
    EXPECT_EQ(fake.boxes.size(), shown + 2);
    EXPECT_EQ(sourceNow(), original);
    EXPECT_EQ(readAll(jnlHost()), j);
    expectByte(0x23, 0x41, true);
}

// A marked range: a block whose edits are not all in the range gets a new version that
// keeps the rest; the neighbours (every version) are linked to it.
TEST_F(SaveScenario, RangesSaveTheMarkedBytesOnly) {
    openWritable(pattern(2000), 2);
    typeAt(100, {1});
    typeAt(600, {2});
    typeAt(900, {3}); // a second version of block 512
    typeAt(1100, {4});
    std::string before = table();
    saveMarkedYes(1200, 1500); // no journalled byte in it
    EXPECT_EQ(table(), before);
    saveMarkedYes(512, 700);
    EXPECT_EQ(sourceNow(), withBytes(original, {{600, 2}}));
    EXPECT_EQ(table(), "e0 0 - e4 - e5 - - 512 18414D\n"
                       "e1 200 e0 e3 e5 e2 e5 e2 512 194155\n"
                       "e2 200 e0 e3 e1 e3 e1 e4 512 1941D5\n"
                       "e3 400 e4 - e2 e4 - - 512 18414D\n"
                       "e4 200 e0 e3 e3 - e2 - 512 3BC95D\n"
                       "e5 200 e0 e3 e0 e1 - e1 512 094030\n"
                       "first e0 last e3 undoFirst e0 undo e4 rest e3\n");
    JRec nv = rec(entry(4));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(nv.ModBits[i], i == (388 >> 3) ? 1 << (388 & 7) : 0) << "map byte " << i;
    EXPECT_EQ(dataOf(rec(entry(5))), blockOf(original, 512));
    expectByte(600, 2, false);
    expectByte(900, 3, true);
    expectByte(100, 1, true);
    saveMarkedYes(50, 512); // ends at a block boundary: the next block is not touched
    EXPECT_EQ(sourceNow(), withBytes(original, {{100, 1}, {600, 2}}));
    expectByte(900, 3, true);
    checkJournal();
}

TEST_F(SaveScenario, SavePageSavesTheBytesOnScreenAndTheLastShortBlock) {
    openWritable(pattern(1300), 2);
    typeAt(100, {1});
    typeAt(300, {2});
    typeAt(700, {3});
    typeAt(800, {4});
    gotoPair(0, 256);
    savePageYes();
    EXPECT_EQ(sourceNow(), withBytes(original, {{300, 2}, {700, 3}}));
    expectByte(100, 1, true);
    expectByte(800, 4, true);
    run(IDM_CLOSE_FILE);
    openWritable(pattern(1300), 2, "short.bin");
    typeAt(1299, {4});
    saveAllYes();
    EXPECT_EQ(sourceNow(), withBytes(original, {{1299, 4}}));
    EXPECT_EQ(table(), "e0 400 - - e1 - e1 - 276 BB497D\n"
                       "e1 400 - - - e0 - e0 276 084032\n"
                       "first e0 last e0 undoFirst e1 undo e0 rest e0\n");
    EXPECT_EQ(dataOf(rec(entry(1))), blockOf(original, 1024));
    checkJournal();
}

TEST_F(SaveScenario, AReadOnlyOrLockedSourceIsWrittenOnlyWhenTheUserAllows) {
    openSource(pattern(2000), true);
    typeAt(0x10, {0x55});
    // Seite speichern offers only OK; the open dialog is cancelled.
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk);
    fake.fileDialogAnswers.push_back({false, "", true});
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbOk | kMbIconQuestion | kMbTaskModal));
    // Alles speichern: Cancel ends the save.
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel);
    run(IDM_SAVE_ALL);
    EXPECT_EQ(sourceNow(), original);
    expectByte(0x10, 0x55, true);
    // OK reopens the source with write access.
    typeAt(1500, {0x66});
    size_t shown = fake.boxes.size();
    expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk,
              "Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz NEU "
              "öffnen !");
    fake.fileDialogAnswers.push_back({true, src, false});
    run(IDM_SAVE_ALL);
    char name[51];
    copyPadded(name, 50, src.c_str());
    name[50] = 0;
    EXPECT_EQ(fake.boxes[shown].text,
              std::string(name) +
                  "\n\n          Datei wurde bearbeitet!\n\nSollen die Änderungen gespeichert "
                  "werden?\n\nAuch OHNE Speicherung bleiben die Änderungen verfügbar!");
    EXPECT_EQ(fake.boxes[shown + 1].style, unsigned(kMbOkCancel | kMbIconQuestion | kMbTaskModal));
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x10, 0x55}, {1500, 0x66}}));
    EXPECT_EQ(fake.title, src) << "the title loses its mark";
    // A locked source: Nein leaves it, Ja lifts the lock.
    typeAt(0x20, {0x77});
    run(IDM_LOCK);
    for (int answer : {kIdNo, kIdYes}) {
        expectBox("Speichern?", kIdYes);
        expectBox("Schreibzugriff erlauben ?", answer,
                  "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
        run(IDM_SAVE_PAGE);
        EXPECT_EQ(sourceNow()[0x20], answer == kIdYes ? 0x77 : original[0x20]);
    }
    checkJournal();
}

TEST_F(SaveScenario, SaveAllShowsItsProgressMarksItsRunAndStopsOnEscape) {
    openWritable(pattern(3000), 2);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2000, {3});
    // Another message, then Esc before the second record; the question is answered No.
    std::vector<std::string> rows;
    std::string topLeft;
    fake.onUnexpected = [&](const std::string &what) {
        rows = {fake.row(15), fake.row(16), fake.row(17)};
        topLeft = fake.cells(0, 0, 21);
        EXPECT_EQ(fake.bg(16, 0), 0xFFFFFFu);
        EXPECT_NE(what.find("[Abbrechen ?] Soll der Speichervorgang abgebrochen werden ?"),
                  std::string::npos)
            << what;
    };
    fake.keys = {0, 27};
    saveAllYes();
    std::string stars(88, '*');
    EXPECT_EQ(rows, (std::vector<std::string>{stars,
                                              "** Bitte Warten  Bitte Warten  Bitte Warten  "
                                              "Bitte Warten  Bitte Warten  Bitte Warten **",
                                              stars}));
    EXPECT_EQ(topLeft, " 0000 0000 0000 0400 ") << "the record being saved";
    EXPECT_EQ(fake.cells(0, 0, 21), std::string(21, ' ')) << "cleared at the end";
    EXPECT_EQ(fake.bg(0, 0), 0xDDDDDDu);
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}, {600, 2}, {2000, 3}}));
    // Address order 0, 512, 1536: the first starts the run (no 0x40000), all but the last
    // continue it (0x2); saved records are not written again.
    EXPECT_EQ(table(), "e0 0 - e1 e3 e4 e3 - 512 BB497F\n"
                       "e1 200 e0 e2 e4 e5 e4 - 512 BF497F\n"
                       "e2 600 e1 - e5 - e5 - 512 BF497D\n"
                       "e3 0 - e1 - e0 - e0 512 084032\n"
                       "e4 200 e0 e2 e0 e1 - e1 512 0C4032\n"
                       "e5 600 e1 - e1 e2 - e2 512 0C4032\n"
                       "first e0 last e2 undoFirst e3 undo e2 rest e2\n");
    std::string t = table();
    saveAllYes();
    EXPECT_EQ(table(), t);
    // Esc answered Yes: the rest stays unsaved.
    fake.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
    typeAt(11, {5});
    typeAt(601, {6});
    fake.keys = {0, 27};
    expectBox("Speichern?", kIdYes);
    expectBox("Abbrechen ?", kIdYes, "Soll der Speichervorgang abgebrochen werden ?");
    run(IDM_SAVE_ALL);
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}, {11, 5}, {600, 2}, {2000, 3}}));
    expectByte(601, 6, true);
    checkJournal();
}

// Without undo, a saved record shows the source; the next edit of the block goes into the
// record's data and must show.
TEST_F(SaveScenario, TypingOverABlockSavedWithoutUndoShowsTheTypedBytes) {
    openWritable(pattern(2000), 0);
    typeAt(10, {1});
    saveAllYes();
    typeAt(20, {2});
    expectByte(20, 2, true);
    EXPECT_TRUE(viewFromFiles().marked[20]);
}

} // namespace
