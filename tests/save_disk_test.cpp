// Saving and undo in disk mode, with a file standing in for the drive (whole sectors only, a
// partial sector keeps its other bytes), and edits of a source beyond 4 GiB.
#include <map>

#include "tests/support/doc_test.h"

namespace {

// The source behaves like a drive: every write to it must cover whole sectors.
class DriveFake : public FakePlatform {
  public:
    std::string source;
    std::vector<std::string> misaligned; // writes a drive would refuse
    int sourceWrites = 0;

    Handle openFile(const char *path, unsigned access, unsigned share, Disposition d) override {
        Handle h = FakePlatform::openFile(path, access, share, d);
        paths_[h] = hostPath(path);
        return h;
    }
    bool seekFile(Handle h, uint64_t pos) override {
        pos_[h] = pos;
        return FakePlatform::seekFile(h, pos);
    }
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override {
        if (paths_[h] == source && (++sourceWrites, pos_[h] % 512 || n % 512))
            misaligned.push_back(std::to_string(pos_[h]) + "+" + std::to_string(n));
        bool ok = FakePlatform::writeFile(h, buf, n, put);
        pos_[h] += *put;
        return ok;
    }
    bool readFile(Handle h, void *buf, uint32_t n, uint32_t *got) override {
        bool ok = FakePlatform::readFile(h, buf, n, got);
        pos_[h] += *got;
        return ok;
    }

  private:
    std::map<Handle, std::string> paths_;
    std::map<Handle, uint64_t> pos_;
};

class SaveDisk : public DocTest {
  protected:
    DriveFake df;
    void SetUp() override {
        DocTest::SetUp();
        df.drives = fake.drives;
        df.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
        df.fontCw = fake.fontCw, df.fontLh = fake.fontLh;
        setPlatform(&df);
        quietClose();
    }
    void TearDown() override {
        setPlatform(&fake);
        DocTest::TearDown();
    }
    // A "drive" of whole sectors, open with write access, in disk mode.
    void openDrive(uint32_t mode, const std::string &name) {
        g_settings.UndoMode = mode;
        original = pattern(4096);
        src = df.source = makeFile(name, original);
        df.fileDialogAnswers.push_back({true, src, false});
        run(IDM_OPEN_FILE);
        ASSERT_TRUE(journalOpen());
        g_doc.ModFlag |= kModDisk;
    }
    void yes() { df.boxAnswers.push_back({"Speichern?", kIdYes, ""}); }
};

TEST_F(SaveDisk, PartialSectorsAreWrittenAndReadWhole) {
    for (uint32_t mode : {1u, 2u}) {
        SCOPED_TRACE(mode);
        openDrive(mode, "drive" + std::to_string(mode) + ".img");
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
        EXPECT_GT(df.sourceWrites, 0);
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

// A source of 4 GiB and a bit: blocks on both sides of the 4 GiB line, addresses on screen
// and in the journal, saves and undo. Only the bytes asked for are read from disk.
TEST_F(SaveDisk, EditsBeyondFourGigabytes) {
    setPlatform(&fake);
    quietClose();
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
    uint32_t off = showByte(g4);
    EXPECT_EQ(fake.cells(rowOf(off), 0, 21), " 0000 0001 0000 0000 ");
    EXPECT_EQ(hexText(off), "22");
    EXPECT_EQ(hexBg(off), kJournalColour);
    saveAllYes();
    EXPECT_EQ(diskBytes(g4 - 1, 2), (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(diskBytes(size - 1, 2), std::vector<uint8_t>{0x33}) << "the source never grows";
    checkJournal();
    run(IDM_UNDO_ALL);
    EXPECT_EQ(diskBytes(g4 - 512, 1024), sigBytes(g4 - 512, 1024));
    EXPECT_EQ(diskBytes(g4 + 2048, 952), sigBytes(g4 + 2048, 952));
    expectByte(g4, sig(g4), false);
    checkJournal();
}

} // namespace
