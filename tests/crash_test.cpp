// Every write of a command to the journal, its log and the source is a crash point: the
// process dies there (earlier writes on disk) or the power fails (only flushed writes on
// disk), in a forked child. The program then starts again on the files as they are, without
// an alarm: nothing committed is lost, the journal is sound, the originals come back.
#include <sys/wait.h>
#include <unistd.h>

#include "save/save.h"
#include "tests/support/doc_test.h"

namespace {

using Bytes = std::vector<std::pair<uint64_t, uint8_t>>;
// Committed before the command on four blocks (300 before that, for versions); typed on the
// page from 256 for a commit.
const Bytes kEdits = {{300, 0x11}, {301, 0xA2}, {700, 0xB1}, {1500, 0xC1}, {3000, 0xD1}};
const Bytes kTyped = {{310, 0xE1}, {710, 0xE2}};
// Stored from the values window as a word across the block border (command IDD_VALUES).
const Bytes kStored = {{511, 0xE4}, {512, 0xE3}};
enum Before { kCommitted, kSaved, kUndone };

struct CrashCase {
    const char *name;
    uint32_t undoMode;
    Before before;
    unsigned command; // 0: Return after kTyped
    bool direct;
    uint64_t newSize = 0;    // IDM_RESIZE: the size typed into dialog 160
    uint32_t finalEvery = 0; // "&Alles speichern": records between its checkpoints
    char drive = 0;          // a drive image opened through the drive dialog, not a file
    unsigned preview = 0;    // shown on the page from 256 before Return (nothing typed then)
    int failAt = 0; // this write of the command fails (the log's count too): it is taken back
};

// clang-format off
const CrashCase kCases[] = {
    {"commit", 2, kCommitted, 0, false},           {"direct write", 2, kCommitted, 0, true},
    {"page save", 2, kCommitted, IDM_SAVE_PAGE, false},
    {"range save", 2, kCommitted, IDM_SAVE_RANGE, false},
    {"save all, mode 0", 0, kCommitted, IDM_SAVE_ALL, false},
    {"save all, mode 1", 1, kCommitted, IDM_SAVE_ALL, false},
    {"save all, mode 2", 2, kCommitted, IDM_SAVE_ALL, false},
    {"save all in parts", 1, kCommitted, IDM_SAVE_ALL, false, 0, 2},
    {"undo", 2, kSaved, IDM_UNDO_RUN, false},      {"undo all", 1, kSaved, IDM_UNDO_ALL, false},
    {"redo", 2, kUndone, IDM_REDO_RUN, false},     {"redo all", 2, kUndone, IDM_REDO_ALL, false},
    {"marking fill", 2, kCommitted, IDM_FILL_MARKING, false},
    {"direct fill", 2, kCommitted, IDM_FILL_MARKING, true},
    {"direct paste", 1, kCommitted, IDM_PASTE, true},
    {"grow", 2, kSaved, IDM_RESIZE, false, 9000},  {"shrink", 1, kSaved, IDM_RESIZE, false, 1300},
    {"values store", 2, kCommitted, IDD_VALUES, false},
    {"values, direct", 2, kCommitted, IDD_VALUES, true},
    {"drive: commit", 2, kCommitted, 0, false, 0, 0, 'E'},
    {"drive: direct", 2, kCommitted, 0, true, 0, 0, 'E'},
    {"drive: range", 2, kCommitted, IDM_SAVE_RANGE, false, 0, 0, 'E'},
    {"drive: all, 0", 0, kCommitted, IDM_SAVE_ALL, false, 0, 0, '3'},
    {"drive: undo", 2, kSaved, IDM_UNDO_RUN, false, 0, 0, '3'},
    {"version accepted", 2, kSaved, 0, false, 0, 0, 0, IDM_PREVIOUS_VERSION_KEY},
    {"version accepted, mode 1", 1, kSaved, 0, false, 0, 0, 0, IDM_PREVIOUS_VERSION_KEY},
    {"undo preview accepted", 2, kSaved, 0, false, 0, 0, 0, IDM_UNDO_PREVIEW_KEY},
    {"restore", 2, kSaved, IDM_RESTORE_ORIGINAL, false},
    {"restore after undo", 1, kUndone, IDM_RESTORE_ORIGINAL, false},
    {"commit taken back", 2, kCommitted, 0, false, 0, 0, 0, 0, 6},
};
// clang-format on

class Crash : public DocTest {
  protected:
    std::string jnl, log; // the journal and the log of a running command

    // From fresh files to the command; at crash point `at` (0: none) the child ends there.
    int runCase(const CrashCase &c, int at, bool power) {
        if (pid_t child = at ? fork() : 0) {
            int status = -1;
            waitpid(child, &status, 0);
            EXPECT_EQ(status, 0) << "the child reached no crash point";
            return 0;
        }
        if (at) fake.onUnexpected = [](const std::string &) {};
        if (!jnl.empty()) unlink(jnl.c_str());
        startProgram();
        quietClose();
        openCase(c, true);
        jnl = jnlHost(), log = jnl.substr(0, jnl.size() - 3) + "jlg";
        typeAt(300, {0x10});
        for (auto &b : kEdits)
            typeAt(b.first, {b.second});
        if (c.before >= kSaved) saveAllYes();
        if (c.before == kUndone) run(IDM_UNDO_ALL);
        if (c.direct) run(IDM_DIRECT_MODE), answerSavePage(true);
        gotoPair(0, 256);
        for (auto &b : c.command || c.preview ? Bytes{} : kTyped)
            cursorAt(uint32_t(b.first - 256)), type(hexByte(b.second));
        if (c.command == IDM_SAVE_RANGE) mark(290, 1600);
        // Fill and paste: three pairs and two, between the committed bytes; "JA für alle".
        if (c.command == IDM_FILL_MARKING || c.command == IDM_PASTE) {
            fake.dialogScripts.clear();
            if (c.command == IDM_FILL_MARKING)
                fake.dialogScripts.push_back(
                    [](int, DialogLogic &l, FakeDialogHost &h) { l.command(h, IDC_FILL_OK, 0); });
            if (c.direct) answerSavePage(true, true);
            mark(1600, 2990);
            fake.clipboard[fake.registerClipboardFormat("DataObject")] = pattern(791);
            fake.clipboard[fake.registerClipboardFormat("Size Information")] = {0x17, 3, 0, 0,
                                                                                0,    0, 0, 0};
            cursorAt(702 - 256);
        }
        if (c.command == IDD_VALUES)
            cursorAt(255), run(IDM_SHOW_VALUES),
                fake.modeless.back()->type(IDC_VAL_WORD_HEX, "E3E4");
        if (c.command == IDM_SAVE_PAGE || c.command == IDM_SAVE_RANGE || c.command == IDM_SAVE_ALL)
            expectBox("Speichern?", kIdYes);
        if (c.newSize) answerSize(IDC_SIZE_NEW_BYTES_DEC, std::to_string(c.newSize));
        if (c.newSize) expectBox(c.newSize > 4096 ? "VERGRÖßERN ?" : "VERKLEINERN ?", kIdYes);
        g_save.CheckpointEvery = c.finalEvery;
        if (c.preview) run(c.preview), expectBox("! ! !", kIdOk);
        if (c.failAt) fake.failWrite(c.failAt, 1117), expectBox("", kIdOk, "Fehler beim Schreiben");
        fake.armCrash({src, jnl, log}, at, power);
        c.command == IDD_VALUES ? void(fake.modeless.back()->click(IDC_VAL_STORE_WORD))
        : c.command             ? run(c.command)
                                : ret();
        if (at) _exit(3); // the crash point was never reached
        fake.crashFiles.clear();
        if (c.failAt) { // a link write failed, after the new entry: the inputs are given up
            EXPECT_TRUE(fake.boxAnswers.empty()) << "the error was shown";
            EXPECT_EQ(g_doc.InputFlag, 0u);
            EXPECT_EQ(checkOpenJournal(), "");
            EXPECT_EQ(JFile(log).length, 0u) << "the log is removed";
        }
        if (c.command == IDM_FILL_MARKING || c.command == IDM_PASTE) // the run was written
            EXPECT_EQ(viewFromFiles().bytes[c.command == IDM_PASTE ? 1492 : 2989],
                      c.command == IDM_PASTE ? pattern(791)[790] : 0x58);
        run(IDM_CLOSE_FILE);
        return fake.crashWrites;
    }
    // The source of a case, fresh or as a crash left it, open with write access.
    void openCase(const CrashCase &c, bool fresh) {
        g_settings.UndoMode = c.undoMode;
        if (!c.drive) {
            // On drive C:, which tells its free space to a growth.
            if (fresh) makeFile("C/src.bin", original = pattern(4096));
            open("C:\\src.bin", false);
            src = dir + "/C/src.bin";
            return;
        }
        if (fresh) original = pattern(4096), src = makeFile("drive.img", original);
        openDriveImage(src, c.drive, false);
    }
    // A committed byte is in the source or shown as a journalled edit; one the command
    // changes may show its value from before.
    std::string lost(const Bytes &bytes, bool mayBeOld) {
        ViewImage v = viewFromFiles();
        std::vector<uint8_t> s = sourceNow();
        for (auto &[pos, want] : bytes) {
            if (pos >= s.size()) continue; // cut off by a size change
            bool shown = v.bytes[pos] == want && (s[pos] == want || v.marked[pos]);
            if (!shown && !(mayBeOld && v.bytes[pos] == original[pos] && s[pos] == original[pos]))
                return "byte " + std::to_string(pos) + ": source " + hexByte(s[pos]) + ", view " +
                       hexByte(v.bytes[pos]) + (v.marked[pos] ? " marked" : "");
        }
        return "";
    }
};

TEST_F(Crash, NothingCommittedIsLostAtAnyWrite) {
    for (const CrashCase &c : kCases) {
        SCOPED_TRACE(c.name);
        int n = runCase(c, 0, false), failed = 0;
        ASSERT_GT(n, 0);
        for (int at = 1; at <= n; ++at) {
            for (bool power : {false, true}) {
                SCOPED_TRACE((power ? "power loss at " : "crash at ") + std::to_string(at));
                runCase(c, at, power);
                startProgram(); // an alarm box would be unexpected
                quietClose();
                openCase(c, false);
                std::string e = journalOpen() ? checkOpenJournal() : "no journal";
                // A size change leaves the old length or the new one.
                uint64_t size = sourceNow().size();
                if (c.newSize && size != 4096 && size != c.newSize)
                    e = "size " + std::to_string(size);
                if (e.empty()) e = lost(kEdits, c.before != kCommitted);
                if (e.empty() && !c.command && !c.preview) e = lost(kTyped, true);
                if (e.empty() && c.command == IDD_VALUES) e = lost(kStored, true);
                // Direct writes are taken back by restoring, saves by undo, as far as the
                // source reaches now (undo does not make it longer).
                std::vector<uint8_t> o = original, r = restored();
                o.resize(std::min<uint64_t>(size, o.size()), 0), r.resize(o.size());
                if (e.empty() && c.undoMode && r != o) e = "not restorable";
                if (e.empty() && c.undoMode && !c.direct) {
                    run(IDM_UNDO_ALL);
                    o.resize(size, 0);
                    if (sourceNow() != o) e = "undo all leaves the source changed";
                }
                EXPECT_EQ(e, "");
                failed += !e.empty();
                run(IDM_CLOSE_FILE);
            }
        }
        std::printf("%-16s %3d writes, %3d crash points, %d failed\n", c.name, n, 2 * n, failed);
    }
}

// A program that follows the journal format wrote the header after the crash (reserved bytes
// as zero): the log is not its journal's any more. It is removed unplayed, the journal stays
// as that program left it, and the changed source raises the alarm.
TEST_F(Crash, ALogIsPlayedBackOnlyIntoItsOwnCommand) {
    ASSERT_GT(runCase(kCases[6], 0, false), 20); // save all, mode 2
    runCase(kCases[6], 20, false);
    std::vector<uint8_t> zero(4, 0), left = readAll(jnl);
    writeAt(jnl, 0x44, zero);
    ASSERT_TRUE(JFile(log).length > 0);
    startProgram();
    quietClose();
    expectBox("Datei wurde verändert !", kIdYes);
    expectBox("Daten unbedingt prüfen !", kIdOk);
    open("C:\\src.bin", false);
    EXPECT_EQ(JFile(log).length, 0u) << "the log is removed";
    std::copy(zero.begin(), zero.end(), left.begin() + 0x44);
    EXPECT_EQ(readAll(jnl), left);
}

} // namespace
