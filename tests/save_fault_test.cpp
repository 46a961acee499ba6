// Failing reads and writes while committing, saving and undoing: the error box, a sound
// journal, the source unchanged or changed only as far as reported, and a retry that works.
// Then a crash right after a source write: the original bytes are in the journal.
#include <map>

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
    {"a page move whose commit fails", 2, false, {}, false, {{0x23, 0x41}}, IDM_PAGE_DOWN,
     false, true, 1, kFull, {}, {}, false, {}},
    {"a direct write without room for the earlier bytes", 2, true, {}, false, {{9, 0x99}}, 0,
     false, true, 1, kFull, {}, {}, true, {{9, 0x99}}},
    {"a direct write to a full source disk", 2, true, {}, false, {{9, 0x99}}, 0,
     false, false, 1, kFull, {}, {}, true, {{9, 0x99}}},
    {"a save whose first source write fails", 2, false, {{10, 1}, {600, 2}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kEio, {{600, 2}, {2000, 3}}, {10}, false,
     {{10, 1}, {600, 2}, {2000, 3}}},
    {"a save without versions to a full source disk", 1, false, {{10, 1}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kFull, {{2000, 3}}, {10}, false, {{10, 1}, {2000, 3}}},
    {"a save without room for the original copy", 2, false, {{10, 1}, {2000, 3}}, false, {},
     IDM_SAVE_ALL, false, true, 1, kFull, {{2000, 3}}, {10}, false, {{10, 1}, {2000, 3}}},
    {"a save without undo to a full source disk", 0, false, {{700, 0x77}}, false, {},
     IDM_SAVE_ALL, false, false, 1, kFull, {}, {700}, false, {{700, 0x77}}},
    // The fourth read: the block's bytes for its original copy (three page reads before).
    {"a save that cannot read the original bytes", 2, false, {{10, 1}}, false, {}, IDM_SAVE_PAGE,
     true, false, 4, kEio, {}, {10}, false, {{10, 1}}},
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
        if (!c.typed.empty()) cursorAt(showByte(c.typed[0].first));
        for (auto &b : c.typed) {
            cursorAt(uint32_t(b.first - first()));
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b.second);
            type(hex);
        }
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
        for (auto &b : c.typed)
            if (c.kept && b.first >= first() && b.first < first() + 512)
                EXPECT_EQ(hexBg(uint32_t(b.first - first())), kInputColour) << "still on screen";
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

// A crash right after the first write to the source: every later journal write is lost.
class CrashFake : public FakePlatform {
  public:
    std::string source;
    bool crashed = false;
    Handle openFile(const char *path, unsigned access, unsigned share, Disposition d) override {
        Handle h = FakePlatform::openFile(path, access, share, d);
        paths_[h] = hostPath(path);
        return h;
    }
    bool writeFile(Handle h, const void *buf, uint32_t n, uint32_t *put) override {
        const std::string &p = paths_[h];
        if (crashed && p.size() > 4 && p.compare(p.size() - 4, 4, ".jnl") == 0) {
            *put = 0;
            setLastError(21); // the device is not ready
            return false;
        }
        bool ok = FakePlatform::writeFile(h, buf, n, put);
        crashed |= ok && p == source;
        return ok;
    }
    bool setEndOfFile(Handle h) override { return !crashed && FakePlatform::setEndOfFile(h); }

  private:
    std::map<Handle, std::string> paths_;
};

TEST_F(SaveFault, ACrashRightAfterTheSourceWriteLeavesTheOriginalInTheJournal) {
    CrashFake cf;
    cf.drives = fake.drives;
    cf.fontCw = fake.fontCw, cf.fontLh = fake.fontLh;
    cf.onUnexpected = [](const std::string &) {}; // the lost writes report themselves
    setPlatform(&cf);
    startProgram(false);
    g_settings.UndoMode = 2;
    original = pattern(2000);
    src = cf.source = makeFile("src.bin", original);
    cf.fileDialogAnswers.push_back({true, src, false});
    run(IDM_OPEN_FILE);
    typeAt(600, {1, 2, 3});
    cf.boxAnswers.push_back({"Speichern?", kIdYes, ""});
    run(IDM_SAVE_PAGE);
    ASSERT_TRUE(cf.crashed);
    ASSERT_EQ(sourceNow(), withBytes(original, {{600, 1}, {601, 2}, {602, 3}}));
    // The program starts again with the files as the crash left them.
    setPlatform(&fake);
    startProgram();
    g_settings.UndoMode = 2;
    expectBox("Datei wurde verändert !", kIdYes);
    expectBox("Daten unbedingt prüfen !", kIdOk);
    open(src, false);
    checkJournal("after the crash");
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original) << "the original bytes were in the journal";
    checkJournal("undone");
}

} // namespace
