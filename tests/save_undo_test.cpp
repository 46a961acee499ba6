// Saving into the source and taking saves back: the three save commands and their
// questions, discard, undo and redo; the records they write (golden tables of the journal),
// the source bytes and what the screen shows.
#include "access/textutil.h"
#include "tests/support/doc_test.h"

namespace {

class SaveUndo : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
};
using Save = SaveUndo;
using Undo = SaveUndo;

// Two saves of a block in each undo mode: with undo an original copy of the block's bytes
// before the first save is kept; without versions the second save keeps the bytes the first
// one wrote in a before-image.
TEST_F(Save, SavePageInEachUndoMode) {
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
        typeAt(0x30, {0x42});
        savePageYes();
        EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}, {0x30, 0x42}}));
        EXPECT_EQ(table(), c.second);
        checkJournal();
        if (c.mode == 1) { // undo passes the before-image: the second edit shows unsaved again
            run(IDM_UNDO_RUN), run(IDM_UNDO_RUN);
            expectByte(0x30, 0x42, true);
        }
        run(IDM_CLOSE_FILE);
    }
}

// Nein saves nothing. A marked range: a block whose edits are not all in the range gets a new
// version that keeps the rest; the neighbours (every version) are linked to it.
TEST_F(Save, RangesSaveTheMarkedBytesOnly) {
    openWritable(pattern(2000), 2);
    typeAt(100, {1});
    typeAt(600, {2});
    typeAt(900, {3}); // a second version of block 512
    typeAt(1100, {4});
    std::string before = table();
    size_t shown = fake.boxes.size();
    expectBox("Speichern?", kIdNo, "Soll die aktuelle Seite gespeichert werden?");
    run(IDM_SAVE_PAGE);
    expectBox("Speichern?", kIdNo, "Sollen die markierten Änderungen gespeichert werden?");
    mark(0, 2000);
    run(IDM_SAVE_RANGE);
    g_doc.MarkFlag = 0;
    run(IDM_SAVE_RANGE); // without a marking nothing is asked
    EXPECT_EQ(fake.boxes.size(), shown + 2);
    saveMarkedYes(1200, 1500); // no journalled byte in it
    EXPECT_EQ(table(), before);
    EXPECT_EQ(sourceNow(), original);
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
    saveMarkedYes(50, 512); // ends at a block boundary: the next block is not touched
    EXPECT_EQ(sourceNow(), withBytes(original, {{100, 1}, {600, 2}}));
    checkJournal();
}

TEST_F(Save, AReadOnlySourceIsReopenedOnlyWhenTheUserAllows) {
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
    checkJournal();
}

TEST_F(Save, SaveAllShowsItsProgressMarksItsRunAndStopsOnEscape) {
    openWritable(pattern(3000), 2);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2999, {3}); // the last block is short
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
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}, {600, 2}, {2999, 3}}));
    // Address order 0, 512, 2560: the first starts the run (no 0x40000), all but the last
    // continue it (0x2); saved records are not written again.
    EXPECT_EQ(table(), "e0 0 - e1 e3 e4 e3 - 512 BB497F\n"
                       "e1 200 e0 e2 e4 e5 e4 - 512 BF497F\n"
                       "e2 A00 e1 - e5 - e5 - 440 BF497D\n"
                       "e3 0 - e1 - e0 - e0 512 084032\n"
                       "e4 200 e0 e2 e0 e1 - e1 512 0C4032\n"
                       "e5 A00 e1 - e1 e2 - e2 440 0C4032\n"
                       "first e0 last e2 undoFirst e3 undo e2 rest e2\n");
    EXPECT_EQ(dataOf(rec(entry(5))), blockOf(original, 2560));
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
    EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}, {11, 5}, {600, 2}, {2999, 3}}));
    expectByte(601, 6, true);
    checkJournal();
    // The queue is looked at by time, not per record: with the clock standing, once.
    typeAt(1100, {7});
    fake.clockStep = 0;
    fake.keys = {0, 27};
    expectBox("Speichern?", kIdYes);
    run(IDM_SAVE_ALL);
    EXPECT_EQ(fake.keys, std::deque<int>{27});
    EXPECT_EQ(sourceNow(),
              withBytes(original, {{10, 1}, {11, 5}, {600, 2}, {601, 6}, {1100, 7}, {2999, 3}}));
}

TEST_F(Undo, ARecordSavedAloneIsUndoneInStepsAndRedoneAgain) {
    openWritable(pattern(2000), 2);
    typeAt(0x23, {0x41});
    savePageYes();
    std::vector<uint8_t> saved = sourceNow();
    struct Step { // a command, the journal after it, the source, the byte on screen
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
        // The cursor passes the copy; then nothing is left to undo, and nothing is painted.
        {IDM_UNDO_RUN,
         "e0 0 - - e1 - e1 - 512 094855\ne1 0 - - - e0 - e0 512 894478\n"
         "first e1 last e1 undoFirst e1 undo - rest e0\n",
         true, false},
        {IDM_UNDO_RUN, nullptr, true, false},
        // Re-linked, then written: the cursor is on the newest record again.
        {IDM_REDO_ALL,
         "e0 0 - - e1 - e1 - 512 BB497D\ne1 0 - - - e0 - e0 512 894070\n"
         "first e0 last e0 undoFirst e1 undo e0 rest e0\n",
         false, false},
    };
    std::string last;
    for (const Step &s : steps) {
        int calls = fake.textCalls;
        run(s.command);
        if (!s.table) EXPECT_EQ(fake.textCalls, calls);
        EXPECT_EQ(table(), s.table ? s.table : last);
        EXPECT_EQ(sourceNow(), s.restored ? original : saved);
        expectByte(0x23, s.marked || !s.restored ? 0x41 : original[0x23], s.marked);
        checkJournal();
        last = table();
    }
}

TEST_F(Undo, UndoRunTakesBackOneSaveRunAndRedoGivesItBack) {
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
    run(IDM_REDO_RUN); // its first record (the cursor stayed on it), then the rest of the run
    EXPECT_EQ(sourceNow(), three);
    checkJournal();
}

TEST_F(Undo, SavesInPartsAreUndoneWithTheirOwnBytesOnly) {
    for (uint32_t mode : {1u, 2u}) {
        SCOPED_TRACE(mode);
        openWritable(pattern(2000), mode, "parts" + std::to_string(mode) + ".bin");
        typeAt(10, {1});
        typeAt(300, {2});
        saveMarkedYes(0, 100);
        uint64_t part = g_jnl.Header.Undo;
        run(IDM_UNDO_ONE); // the bytes go back, the version before becomes current
        EXPECT_EQ(sourceNow(), original);
        expectByte(10, 1, true);
        run(IDM_REDO_ONE); // re-linked and written, without the edit the save left
        EXPECT_EQ(sourceNow(), withBytes(original, {{10, 1}}));
        expectByte(10, 1, false);
        expectByte(300, 2, true);
        saveMarkedYes(200, 400); // the rest: saved whole now, never its own neighbour
        EXPECT_EQ(rec(part).Flags & 0x8000u, 0u) << "no longer saved in part";
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

// An edit after a save taken back makes the taking back final; Undo Alles leaves the first
// commit of a block never saved.
TEST_F(Undo, UndoAllAfterASaveTakenBack) {
    openWritable(pattern(2000), 2);
    typeAt(10, {1});
    savePageYes();
    run(IDM_UNDO_RUN); // the save is taken back, the cursor stays on its record
    typeAt(20, {2});   // new history after it
    typeAt(1500, {6});
    run(IDM_UNDO_ALL);
    ViewImage none = viewFromFiles(); // the first commit of a block never saved stays
    for (size_t i = 0; i < none.marked.size(); ++i)
        ASSERT_EQ(bool(none.marked[i]), i == 1500) << "byte " << i;
    run(IDM_REDO_ALL);
    EXPECT_EQ(sourceNow(), original) << "the save taken back is not redone";
    expectByte(10, 1, true);
    expectByte(20, 2, true);
}

TEST_F(Undo, UndoAllEndsWhenNoOlderBytesExist) {
    // A saved record without an older saved version or an original copy: its restore step
    // finds nothing, and Undo Alles must still end.
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
}

// A journal of another program that follows the format: an original copy's change map means
// nothing there and may hold any bytes, here another block's entry position. Redo past the
// copy takes nothing from that entry.
TEST_F(Undo, AnOriginalCopysMapIsNoPointer) {
    std::vector<uint8_t> saved = pattern(8192), first = saved;
    for (int i = 0; i < 512; ++i)
        saved[i] = specData(9, i), first[i] = specData(1009, i); // the versions of block 0
    open(src = makeFile("foreign.bin", saved), false);
    std::string host = jnlHost();
    run(IDM_CLOSE_FILE);
    BuiltJournal b = buildJournal(host, src.c_str(), fakeLastWriteTime(src),
                                  {{0, 512, 0xA30830, 2, 9}, {4096, 512, 0, 1, 5}});
    uint64_t copy = JFile(host).rec(b.nodes[0]).PJnl, copyFlags = 0x80030;
    patchFile(host, copy + 0x3C, &copyFlags, 4);
    patchFile(host, copy + 0x40, &b.nodes[1], 8);
    g_settings.UndoMode = 2;
    open(src, false);
    run(IDM_UNDO_ALL); // back past the copy, the first entry
    run(IDM_REDO_ONE); // the copy again: nothing to give back
    EXPECT_EQ(sourceNow(), first);
    run(IDM_REDO_ALL);
    EXPECT_EQ(sourceNow(), saved);
}

TEST_F(Undo, WithoutUndoSavesExchangeTheBytes) {
    openWritable(pattern(2000), 0);
    typeAt(700, {0x77});
    saveAllYes();
    // The record keeps the bytes the save overwrote; its marks are hidden.
    EXPECT_EQ(table(), "e0 200 - - - - - - 512 6B2070\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    EXPECT_EQ(dataOf(rec(entry(0))), blockOf(original, 512));
}

TEST_F(Undo, DiscardGivesJournalledBytesTheSourcesBack) {
    openWritable(pattern(2000), 2);
    typeAt(600, {1, 2});
    discardMarked(500, 1024); // from block 0 on; the only edited block: the chain empties
    EXPECT_EQ(table(), "e0 200 - - - - - - 512 18410D\n"
                       "first - last - undoFirst e0 undo e0 rest e0\n");
    EXPECT_EQ(fake.title, src);
    expectByte(600, original[600], false);
    typeAt(10, {1});
    savePageYes();
    std::string t = table();
    discardMarked(0, 512); // a saved record has no journalled edit
    EXPECT_EQ(table(), t);
    checkJournal();
}

TEST_F(Undo, UndoPositionsAndWriteAccess) {
    openWritable(pattern(4000), 2);
    typeAt(2100, {1});
    typeAt(10, {2});
    typeAt(1030, {3});      // the undo cursor
    run(IDM_PREV_UNDO_POS); // the block below the cursor record
    EXPECT_EQ(fake.cells(0, 0, 21), " 0000 0000 0000 0680 ");
    expectPage(0, withBytes(original, {{10, 2}}));
    run(IDM_PREV_UNDO_POS); // nothing below block 0: its own block again
    EXPECT_EQ(first(), 0u);
    run(IDM_NEXT_UNDO_POS);
    EXPECT_EQ(first(), 1024u);
    run(IDM_NEXT_UNDO_POS_KEY); // the twin number
    EXPECT_EQ(first(), 2048u);
    EXPECT_EQ(fileHeader().Undo, entry(0)) << "the undo cursor moves with the block";
    // Undo asks for write access when it writes, and only then.
    savePageYes();
    run(IDM_LOCK);
    std::vector<uint8_t> saved = sourceNow();
    expectBox("Schreibzugriff erlauben ?", kIdNo,
              "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
    run(IDM_UNDO_RUN);
    EXPECT_EQ(sourceNow(), saved) << "refused: nothing written";
    expectBox("Schreibzugriff erlauben ?", kIdYes);
    run(IDM_UNDO_RUN);
    EXPECT_EQ(sourceNow(), withBytes(saved, {{2048 + 52, original[2100]}}));
    run(IDM_UNDO_RUN); // the step back writes nothing and asks nothing
    checkJournal();
}

// "Undo Alles" also takes back the saves the undo positions left behind the cursor, and
// "Re&do Alles" brings every one of them back.
TEST_F(Undo, UndoAllReachesSavesBehindAMovedCursor) {
    openWritable(pattern(3000), 2);
    typeAt(10, {1}), typeAt(600, {2}), typeAt(1100, {3});
    saveAllYes();
    std::vector<uint8_t> saved = sourceNow();
    run(IDM_PREV_UNDO_POS), run(IDM_PREV_UNDO_POS);
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
    JFile f = journal();
    for (uint64_t k = 0; k < f.entries(); ++k)
        EXPECT_FALSE(f.rec(entry(k)).Flags & 0x200000) << "a save still in force: e" << k;
    run(IDM_REDO_ALL);
    EXPECT_EQ(sourceNow(), saved);
    checkJournal();
}

// An undo or redo step whose write access is refused, or whose source write fails, leaves
// the journal file, the undo cursor and the source as they were; the step works afterwards.
TEST_F(Undo, ARefusedOrFailedStepChangesNothing) {
    // Undo past an original copy (without versions), redo of a save in part (in modes 2 and 1).
    for (int k = 0; k < 6; ++k) {
        bool fail = k & 1, redo = k >= 2;
        std::string name = "f" + std::to_string(k) + ".bin";
        SCOPED_TRACE(name);
        openWritable(pattern(2000), k / 2 == 1 ? 2 : 1, name);
        typeAt(10, {1});
        if (redo)
            typeAt(300, {2}), saveMarkedYes(0, 100);
        else
            savePageYes(), typeAt(10, {2}), savePageYes(), run(IDM_UNDO_ONE);
        run(IDM_UNDO_ONE);
        std::vector<uint8_t> jnl = readAll(jnlHost()), source = sourceNow();
        uint64_t undo = g_jnl.Header.Undo;
        fail ? fake.failWrite(1, 1117, "/" + name) : run(IDM_LOCK); // the source only
        expectBox(fail ? "" : "Schreibzugriff erlauben ?", fail ? kIdOk : kIdNo,
                  fail ? "Fehler beim Schreiben von" : "");
        run(redo ? IDM_REDO_ONE : IDM_UNDO_ONE);
        EXPECT_TRUE(readAll(jnlHost()) == jnl && g_jnl.Header.Undo == undo &&
                    sourceNow() == source);
        if (!fail) expectBox("Schreibzugriff erlauben ?", kIdYes);
        run(redo ? IDM_REDO_ONE : IDM_UNDO_ONE);
        EXPECT_NE(sourceNow(), source);
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

} // namespace
