// Saving and undo in disk mode, with a file standing in for the drive: the source is read
// and written in whole sectors only, and a partial sector keeps its other bytes.
#include <map>

#include "app/commands.h"
#include "res/resource.h"
#include "tests/save_fixture.h"

namespace {

// The fake platform where the source behaves like a drive: every write to it must start on
// a sector boundary and cover whole sectors.
class DriveFake : public FakePlatform {
  public:
    std::string source;
    std::vector<std::string> misaligned; // writes a drive would refuse
    int sourceWrites = 0;

    Handle openFile(const char *path, unsigned access, unsigned share, Disposition d) override {
        Handle h = FakePlatform::openFile(path, access, share, d);
        if (h != kInvalidHandle) paths_[h] = hostPath(path);
        return h;
    }
    bool seekFile(Handle h, uint64_t pos) override {
        pos_[h] = pos;
        return FakePlatform::seekFile(h, pos);
    }
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override {
        if (paths_[h] == source) {
            ++sourceWrites;
            if (pos_[h] % 512 || n % 512)
                misaligned.push_back(std::to_string(pos_[h]) + "+" + std::to_string(n));
        }
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

class SaveDisk : public SaveTest {
  protected:
    DriveFake df;

    void SetUp() override {
        SaveTest::SetUp();
        df.drives = fake.drives;
        df.onUnexpected = [](const std::string &w) { ADD_FAILURE() << w; };
        df.fontCw = fake.fontCw;
        df.fontLh = fake.fontLh;
        setPlatform(&df);
    }
    void TearDown() override {
        setPlatform(&fake);
        SaveTest::TearDown();
    }
    // A "drive" of whole sectors, open with write access, in disk mode.
    void openDrive(const std::vector<uint8_t> &bytes, uint32_t mode,
                   const std::string &name = "drive.img") {
        g_settings.UndoMode = mode;
        original = bytes;
        src = makeFile(name, bytes);
        df.source = src;
        df.fileDialogAnswers.push_back({true, src, false});
        dispatchCommand(IDM_OPEN_FILE, 0);
        ASSERT_TRUE(sourceOpen());
        ASSERT_TRUE(journalOpen());
        g_doc.ModFlag |= kModDisk;
    }
    void yes(const char *text) { df.boxAnswers.push_back({"Speichern?", kIdYes, text}); }
    std::vector<uint8_t> withBytes(std::vector<uint8_t> v,
                                   const std::vector<std::pair<uint64_t, uint8_t>> &set) {
        for (auto &s : set)
            v[s.first] = s.second;
        return v;
    }
};

TEST_F(SaveDisk, ARangeStartingInsideASectorWritesTheWholeSector) {
    openDrive(pattern(4096), 3);
    typeAt(10, {0xA1});
    typeAt(300, {0xB2, 0xB3});
    typeAt(1000, {0xC4});
    yes("markierten");
    mark(300, 302);
    run(IDM_SAVE_RANGE);
    checkChains("range save");
    // Only the marked bytes reach the drive; the sector's other bytes, edits still pending
    // among them, keep what the drive held.
    EXPECT_EQ(readAll(src), withBytes(original, {{300, 0xB2}, {301, 0xB3}}));
    EXPECT_TRUE(df.misaligned.empty()) << df.misaligned.front();
    EXPECT_GT(df.sourceWrites, 0);
    ViewImage v = viewFromFiles();
    EXPECT_TRUE(v.marked[10]);
    EXPECT_FALSE(v.marked[300]);
    EXPECT_TRUE(v.marked[1000]);
}

TEST_F(SaveDisk, PageSavesUndoAndRedoWriteWholeSectors) {
    for (uint32_t mode : {1u, 3u}) {
        SCOPED_TRACE(mode);
        df.misaligned.clear();
        openDrive(pattern(4096), mode, "drive" + std::to_string(mode) + ".img");
        typeAt(700, {1, 2, 3});
        typeAt(1100, {4});
        showByte(700);
        g_doc.ViewOfs = 100; // the page runs from 612 into the next sector
        yes("aktuelle Seite");
        run(IDM_SAVE_PAGE);
        checkChains("save page");
        EXPECT_EQ(readAll(src), withBytes(original, {{700, 1}, {701, 2}, {702, 3}, {1100, 4}}));
        run(IDM_UNDO_ALL);
        checkChains("undo all");
        EXPECT_EQ(readAll(src), original);
        run(IDM_REDO_ALL);
        checkChains("redo all");
        EXPECT_EQ(readAll(src), withBytes(original, {{700, 1}, {701, 2}, {702, 3}, {1100, 4}}));
        EXPECT_TRUE(df.misaligned.empty()) << df.misaligned.front();
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(SaveDisk, DiscardingPartOfASectorReadsItWhole) {
    openDrive(pattern(2048), 3);
    typeAt(100, {1});
    typeAt(400, {2});
    mark(50, 150);
    run(IDM_DISCARD_RANGE);
    checkChains("discard");
    ViewImage v = viewFromFiles();
    EXPECT_EQ(v.bytes[100], original[100]);
    EXPECT_FALSE(v.marked[100]);
    EXPECT_TRUE(v.marked[400]);
    EXPECT_EQ(readAll(src), original);
}

} // namespace
