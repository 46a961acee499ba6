// Failing writes during saves: the source write (EIO, ENOSPC), the journal's append of an
// original copy, and a crash right after the source write. Afterwards undo must still give
// back every byte whose original copy reached the journal.
#include <map>

#include "app/commands.h"
#include "app/startup.h"
#include "res/resource.h"
#include "tests/save_fixture.h"

namespace {

// The fake platform with faults aimed at the source or at the journal by file, which the
// path filter of failWrite cannot tell apart (the journal's name contains the source's).
class FaultyFake : public FakePlatform {
  public:
    std::string source;       // host path of the source
    int failSourceWrite = 0;  // the nth write to the source from now fails (0: none)
    uint32_t failCode = 1117; // EIO
    bool crashAfterSource = false;
    bool crashed = false; // a source write happened: the journal takes nothing more
    int journalWritesLost = 0;

    Handle openFile(const char *path, unsigned access, unsigned share, Disposition d) override {
        Handle h = FakePlatform::openFile(path, access, share, d);
        if (h != kInvalidHandle) paths_[h] = hostPath(path);
        return h;
    }
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override {
        const std::string &p = paths_[h];
        bool isSource = p == source;
        bool isJournal = p.size() > 4 && p.compare(p.size() - 4, 4, ".jnl") == 0;
        if (crashed && isJournal) {
            *put = 0;
            ++journalWritesLost;
            setLastError(21); // the device is not ready
            return false;
        }
        if (isSource && failSourceWrite > 0 && --failSourceWrite == 0) {
            *put = 0;
            setLastError(failCode);
            return false;
        }
        bool ok = FakePlatform::writeFile(h, buf, n, put);
        if (isSource && ok && crashAfterSource) crashed = true;
        return ok;
    }
    bool setEndOfFile(Handle h) override {
        if (crashed) return false;
        return FakePlatform::setEndOfFile(h);
    }

  private:
    std::map<Handle, std::string> paths_;
};

class SaveFault : public SaveTest {
  protected:
    FaultyFake ff;
    std::vector<FakeBox> shown;

    void SetUp() override {
        SaveTest::SetUp();
        ff.drives = fake.drives;
        ff.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
        ff.fontCw = fake.fontCw;
        ff.fontLh = fake.fontLh;
        setPlatform(&ff);
    }
    void TearDown() override {
        setPlatform(&fake);
        SaveTest::TearDown();
    }
    void box(const std::string &caption, int answer, const std::string &text = "") {
        ff.boxAnswers.push_back({caption, answer, text});
    }
    void openHere(const std::vector<uint8_t> &bytes, uint32_t mode) {
        g_settings.UndoMode = mode;
        original = bytes;
        src = makeFile("src.bin", bytes);
        ff.source = src;
        ff.fileDialogAnswers.push_back({true, src, false});
        dispatchCommand(IDM_OPEN_FILE, 0);
        ASSERT_TRUE(sourceOpen());
        ASSERT_TRUE(journalOpen());
    }
    std::vector<uint8_t> withBytes(std::vector<uint8_t> v,
                                   const std::vector<std::pair<uint64_t, uint8_t>> &set) {
        for (auto &s : set)
            v[s.first] = s.second;
        return v;
    }
    bool markedInView(uint64_t pos) { return viewFromFiles().marked[pos]; }
};

TEST_F(SaveFault, AFailedSourceWriteIsReportedAndTheSaveGoesOn) {
    openHere(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2000, {3});
    ff.failSourceWrite = 1;
    box("Speichern?", kIdYes);
    box("", kIdOk, "Fehler beim Schreiben von " + src);
    run(IDM_SAVE_ALL);
    ASSERT_TRUE(ff.boxAnswers.empty()) << "the error box was shown";
    checkChains("after the failure");
    // The first block failed; the save went on with the others.
    EXPECT_EQ(readAll(src), withBytes(original, {{600, 2}, {2000, 3}}));
    EXPECT_TRUE(markedInView(10)) << "the unsaved edit keeps its mark";
    EXPECT_FALSE(markedInView(600));
    // Saving again writes the block that failed.
    box("Speichern?", kIdYes);
    run(IDM_SAVE_ALL);
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {600, 2}, {2000, 3}}));
    EXPECT_FALSE(markedInView(10));
    checkChains("saved again");
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
}

TEST_F(SaveFault, UndoGivesBackABlockWhoseSourceWriteFailed) {
    openHere(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(600, {2});
    ff.failSourceWrite = 1;
    box("Speichern?", kIdYes);
    box("", kIdOk, "Fehler beim Schreiben von " + src);
    run(IDM_SAVE_ALL);
    // The failed write may have changed part of the block on a real disk: undo counts it as
    // written and puts the original copy back.
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
    checkChains("undone");
}

TEST_F(SaveFault, AFullSourceDiskStopsNothingElse) {
    openHere(pattern(3000), 1);
    typeAt(10, {1});
    typeAt(2000, {3});
    ff.failSourceWrite = 2;
    ff.failCode = kErrDiskFull;
    box("Speichern?", kIdYes);
    box("", kIdOk, "Fehler beim Schreiben von " + src);
    run(IDM_SAVE_ALL);
    checkChains("after the failure");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    EXPECT_TRUE(markedInView(2000));
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
}

TEST_F(SaveFault, WithoutRoomForTheOriginalCopyTheBlockIsNotSaved) {
    openHere(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(2000, {3});
    uint64_t end = g_jnl.JnlEnd;
    uint32_t flags = rec(entry(0)).Flags;
    ff.failWrite(1, kErrDiskFull, ".jnl"); // the first journal write: block 0's copy
    box("Speichern?", kIdYes);
    box("", kIdOk, "Fehler beim Schreiben von " + std::string(g_jnl.JnlName));
    run(IDM_SAVE_ALL);
    checkChains("after the failure");
    EXPECT_EQ(readAll(src), withBytes(original, {{2000, 3}}))
        << "a block whose original bytes could not be kept is not overwritten";
    EXPECT_EQ(rec(entry(0)).Flags, flags) << "its record is as it was";
    EXPECT_TRUE(markedInView(10));
    EXPECT_EQ(jnlBytes().size(), end + 640) << "the other block's copy only";
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original);
}

TEST_F(SaveFault, ACrashRightAfterTheSourceWriteLeavesTheOriginalInTheJournal) {
    openHere(pattern(2000), 3);
    typeAt(600, {1, 2, 3});
    ff.crashAfterSource = true;
    ff.onUnexpected = [](const std::string &) {}; // the lost journal writes report themselves
    box("Speichern?", kIdYes);
    run(IDM_SAVE_PAGE);
    ASSERT_TRUE(ff.crashed);
    EXPECT_GT(ff.journalWritesLost, 0);
    ASSERT_EQ(readAll(src), withBytes(original, {{600, 1}, {601, 2}, {602, 3}}));

    // The program starts again with the files as the crash left them.
    setPlatform(&fake);
    fake.boxAnswers.clear();
    startProgram();
    g_settings.UndoMode = 3;
    expectBox("Datei wurde verändert !", kIdYes);
    expectBox("Daten unbedingt prüfen !", kIdOk);
    openThroughDialog(src, false);
    ASSERT_TRUE(journalOpen());
    checkChains("after the crash");
    run(IDM_UNDO_ALL);
    EXPECT_EQ(readAll(src), original) << "the original bytes were in the journal";
    checkChains("undone");
}

} // namespace
