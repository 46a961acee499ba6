// The source's and the journal's hard cases. Failing reads and writes while committing,
// saving and undoing: the error box, a sound journal, the source unchanged or changed only as
// far as reported, and a retry that works. A crash right after a source write: the original
// bytes are in the journal. A file standing in for a drive (whole sectors only, a partial
// sector keeps its other bytes), and a source beyond 4 GiB.
#include "tests/support/doc_test.h"

namespace {

using Bytes = std::vector<std::pair<uint64_t, uint8_t>>;

struct FaultCase {
    const char *name;
    uint32_t undoMode;
    bool direct;
    Bytes journalled; // committed before, in journal mode
    bool saved;       // and saved
    Bytes typed;      // typed on one page, not yet committed
    unsigned command; // 0: Return
    bool read;        // the failing call
    bool inJournal;
    int nth;
    uint32_t code;
    Bytes after;                 // the source: the original with these bytes
    std::vector<uint64_t> marks; // bytes shown marked afterwards
    bool kept;                   // the typed bytes are still inputs
    Bytes retried;               // the source after the same command again
};

const uint32_t kEio = 1117, kFull = kErrDiskFull;

// clang-format off
const FaultCase kFaults[] = {
    {"a commit on a full journal disk", 2, false, {}, false, {{0x23, 0x41}}, 0,
     false, true, 1, kFull, {}, {}, true, {}},
    {"a new version on a full journal disk", 2, false, {{0x23, 0x41}}, false, {{0x24, 0x42}}, 0,
     false, true, 1, kFull, {}, {0x23}, true, {}},
    // Writes 5 and 7 (the command log's count too): the neighbour's address link to the new
    // entry, the undo cursor's link. The command is taken back whole; the typed byte is given
    // up (the error was shown).
    {"a commit whose neighbour link fails", 2, false, {{0x23, 0x41}}, false, {{0x823, 0x42}}, 0,
     false, true, 5, kEio, {}, {0x23}, false, {}},
    {"a commit whose undo link fails", 2, false, {{0x23, 0x41}}, false, {{0x823, 0x42}}, 0,
     false, true, 7, kEio, {}, {0x23}, false, {}},
    {"a page move whose commit fails", 2, false, {}, false, {{0x23, 0x41}}, IDM_PAGE_DOWN,
     false, true, 1, kFull, {}, {}, false, {}},
    {"a direct write without room for the earlier bytes", 2, true, {}, false, {{9, 0x99}}, 0,
     false, true, 1, kFull, {}, {}, true, {{9, 0x99}}},
    {"a direct write to a full source disk", 2, true, {}, false, {{9, 0x99}}, 0,
     false, false, 1, kFull, {}, {}, true, {{9, 0x99}}},
    {"a direct write over a journalled block to a full source disk", 2, true, {{9, 0x11}}, false,
     {{9, 0x99}}, 0, false, false, 1, kFull, {}, {9}, true, {{9, 0x99}}},
    {"a save whose first source write fails", 2, false, {{10, 1}, {600, 2}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kEio, {{600, 2}, {2000, 3}}, {10}, false,
     {{10, 1}, {600, 2}, {2000, 3}}},
    {"a save without versions to a full source disk", 1, false, {{10, 1}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kFull, {{2000, 3}}, {10}, false, {{10, 1}, {2000, 3}}},
    {"a save without room for the original copy", 2, false, {{10, 1}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, true, 1, kFull, {{2000, 3}}, {10}, false, {{10, 1}, {2000, 3}}},
    {"a save without undo to a full source disk", 0, false, {{700, 0x77}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kFull, {}, {700}, false, {{700, 0x77}}},
    // The third read: the block's bytes for its original copy (the page's reads before).
    {"a save that cannot read the original bytes", 2, false, {{10, 1}}, false, {}, IDM_SAVE_PAGE,
     true, false, 3, kEio, {}, {10}, false, {{10, 1}}},
    {"an undo whose source write fails", 2, false, {{10, 1}}, true, {}, IDM_UNDO_RUN,
     false, false, 1, kEio, {{10, 1}}, {}, false, {}},
};
// clang-format on

class SaveFault : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    // The command with its questions answered Yes, and `error` expected between them.
    void issue(const FaultCase &c, const std::string &error) {
        if (c.command == IDM_SAVE_PAGE || c.command == IDM_SAVE_ALL)
            expectBox("Speichern?", kIdYes);
        if (c.direct) answerSavePage(true);
        if (!error.empty()) expectBox("", kIdOk, error);
        c.command ? run(c.command) : ret();
    }
};

TEST_F(SaveFault, FailuresAreReportedAndLeaveASoundJournal) {
    int file = 0;
    for (const FaultCase &c : kFaults) {
        SCOPED_TRACE(c.name);
        openWritable(pattern(8192), c.undoMode, "f" + std::to_string(++file) + ".bin");
        run(IDM_JOURNAL_MODE);
        for (auto &b : c.journalled)
            typeAt(b.first, {b.second});
        if (c.saved) saveAllYes();
        if (c.direct) run(IDM_DIRECT_MODE);
        for (auto &b : c.typed)
            cursorAt(showByte(b.first)), type(hexByte(b.second));
        std::string path = c.inJournal ? std::string(g_jnl.JnlName) : src;
        std::string error =
            (c.read ? "Fehler beim Lesen von " : "Fehler beim Schreiben von ") + path;
        (fake.*(c.read ? &FakePlatform::failRead : &FakePlatform::failWrite))(
            c.nth, c.code, c.inJournal ? ".jnl" : src);
        issue(c, error);
        EXPECT_TRUE(fake.boxAnswers.empty()) << "the error was shown";
        EXPECT_EQ(fake.boxes.back().text, error);
        checkJournal("after the failure");
        EXPECT_EQ(sourceNow(), withBytes(original, c.after));
        ViewImage v = viewFromFiles();
        for (size_t i = 0; i < v.marked.size(); ++i)
            ASSERT_EQ(bool(v.marked[i]), std::count(c.marks.begin(), c.marks.end(), i) > 0) << i;
        EXPECT_EQ((g_doc.InputFlag & 6) != 0, c.kept) << "inputs kept";
        if (c.kept) EXPECT_EQ(hexBg(uint32_t(c.typed[0].first - first())), kInputColour);
        issue(c, "");
        checkJournal("retried");
        EXPECT_EQ(sourceNow(), withBytes(original, c.retried));
        if (c.undoMode && c.command == IDM_SAVE_ALL) {
            run(IDM_UNDO_ALL); // undo counts a failed write as done: the copy goes back
            EXPECT_EQ(sourceNow(), original);
        }
        fake.dialogScripts.clear();
        run(IDM_CLOSE_FILE);
    }
}

// An entry that could not be appended left nothing to cut off: one error box per try.
TEST_F(SaveFault, AFullJournalDiskIsReportedOncePerTry) {
    openWritable(pattern(2000), 2);
    fake.failWrite(1, kFull, ".jnl"), fake.failWrite(2, kFull, ".jnl"); // the disk stays full
    expectBox("", kIdOk, "Fehler beim Schreiben von");
    typeAt(0x23, {0x41});
    expectBox("", kIdOk, "Fehler beim Schreiben von");
    ret();
    EXPECT_TRUE(fake.boxAnswers.empty()) << "the retry was reported";
}

// A source that can no longer be opened by its name (renamed behind the program's back): a
// save keeps it open through the handle it has, and closing leaves no handle behind.
TEST_F(SaveFault, ASaveNeedsNoSecondOpenOfTheSource) {
    openWritable(pattern(2000), 2);
    typeAt(600, {1});
    ASSERT_EQ(std::rename(src.c_str(), (src + "~").c_str()), 0);
    savePageYes(); // no error box
    src += "~";
    EXPECT_TRUE(sourceOpen() && g_jnl.Header.SourceTime == fakeLastWriteTime(src));
    expectByte(600, 1, false);                     // saved
    expectBox("", kIdOk, "Fehler beim Lesen von"); // the time read at closing
    run(IDM_CLOSE_FILE);
    EXPECT_EQ(fake.openHandles(), 1); // kelmor.ini only
}

// The source behaves like a drive: every write to it must cover whole sectors.
class DriveFake : public FakePlatform {
  public:
    std::string source;
    std::vector<std::string> misaligned; // writes a drive would refuse
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override {
        if (handlePath(h) == source && (handlePos(h) % 512 || n % 512))
            misaligned.push_back(std::to_string(handlePos(h)) + "+" + std::to_string(n));
        return FakePlatform::writeFile(h, buf, n, put);
    }
};

class SaveDisk : public DocTest {
  protected:
    DriveFake df;
    void SetUp() override {
        DocTest::SetUp();
        df.drives = fake.drives, df.fontCw = fake.fontCw, df.fontLh = fake.fontLh;
        df.onUnexpected = fake.onUnexpected;
        setPlatform(&df);
        quietClose();
    }
    void TearDown() override {
        setPlatform(&fake);
        DocTest::TearDown();
    }
    // A drive of whole sectors, opened with write access through the drive dialog.
    void openDrive(uint32_t mode, const std::string &name, char letter) {
        g_settings.UndoMode = mode;
        original = pattern(4096);
        df.source = makeFile(name, original);
        openDriveImage(df.source, letter, false, df);
        ASSERT_TRUE(journalOpen());
    }
    void yes() { df.boxAnswers.push_back({"Speichern?", kIdYes, ""}); }
};

TEST_F(SaveDisk, PartialSectorsAreWrittenAndReadWhole) {
    for (uint32_t mode : {1u, 2u}) {
        SCOPED_TRACE(mode);
        openDrive(mode, "drive" + std::to_string(mode) + ".img", char('E' + mode));
        typeAt(10, {0xA1});
        typeAt(300, {0xB2, 0xB3});
        typeAt(700, {1, 2, 3});
        typeAt(1100, {4});
        // Only the marked bytes reach the drive; the sector's other bytes, edits still
        // pending among them, keep what the drive held.
        yes();
        mark(300, 302);
        run(IDM_SAVE_RANGE);
        EXPECT_EQ(sourceNow(), withBytes(original, {{300, 0xB2}, {301, 0xB3}}));
        showByte(700);
        g_doc.ViewOfs = 100; // the page runs from 612 into the next sector
        yes();
        run(IDM_SAVE_PAGE);
        std::vector<uint8_t> saved = withBytes(
            original, {{300, 0xB2}, {301, 0xB3}, {700, 1}, {701, 2}, {702, 3}, {1100, 4}});
        EXPECT_EQ(sourceNow(), saved);
        run(IDM_UNDO_ALL);
        EXPECT_EQ(sourceNow(), original);
        run(IDM_REDO_ALL);
        EXPECT_EQ(sourceNow(), saved);
        mark(5, 15); // discarding part of a sector reads it whole
        run(IDM_DISCARD_RANGE);
        EXPECT_FALSE(viewFromFiles().marked[10]);
        EXPECT_EQ(viewFromFiles().bytes[10], original[10]);
        EXPECT_TRUE(df.misaligned.empty()) << df.misaligned.front();
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

// A source of 4 GiB and a bit: blocks on both sides of the 4 GiB line, addresses on screen
// and in the journal, saves and undo. Only the bytes asked for are read from disk.
TEST_F(SaveFault, EditsBeyondFourGigabytes) {
    const uint64_t g4 = 0x100000000ull, size = g4 + 3000;
    src = sparseWith("big.bin", size, {{g4 - 512, 1024}, {g4 + 2048, 952}});
    g_settings.UndoMode = 2;
    open(src, false);
    typeAt(g4 - 1, {0x11, 0x22}); // the last block below the line and the first above it
    typeAt(size - 1, {0x33});     // the last byte
    EXPECT_EQ(table(), "e0 FFFFFE00 - e1 - e1 - - 512 18414D\n"
                       "e1 100000000 e0 e2 e0 e2 - - 512 18414D\n"
                       "e2 100000A00 e1 - e1 - - - 440 18414D\n"
                       "first e0 last e2 undoFirst e0 undo e2 rest e2\n");
    expectByte(g4, 0x22, true);
    EXPECT_EQ(fake.cells(rowOf(showByte(g4)), 0, 21), " 0000 0001 0000 0000 ");
    saveAllYes();
    EXPECT_EQ(diskBytes(g4 - 1, 2), (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(diskBytes(size - 1, 2), std::vector<uint8_t>{0x33}) << "the source never grows";
    run(IDM_UNDO_ALL);
    EXPECT_EQ(diskBytes(g4 - 512, 1024), sigBytes(g4 - 512, 1024));
    EXPECT_EQ(diskBytes(g4 + 2048, 952), sigBytes(g4 + 2048, 952));
    expectByte(g4, sig(g4), false);
    checkJournal();
}

} // namespace
