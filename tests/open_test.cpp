#include "tests/support/harness.h"

#include <cstring>
#include <sys/stat.h>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "app/document.h"
#include "app/commands.h"
#include "app/events.h"
#include "app/settings.h"
#include "view/status.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "view/paint.h"

namespace {

class Open : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
    }
    std::string statusAccess() { return fake.cells(33, 78, 9); }
    struct stat statOf(const std::string &p) {
        struct stat st;
        stat(p.c_str(), &st);
        return st;
    }
};

TEST_F(Open, ReadOnlyByDefaultWithTitleAndStatus) {
    std::string path = makeFile("a.bin", pattern(2000));
    openThroughDialog(path);
    ASSERT_TRUE(sourceOpen());
    EXPECT_EQ(fake.title, path);
    EXPECT_STREQ(g_doc.SrcName, path.c_str());
    EXPECT_EQ(statusAccess(), "Read Only");
    EXPECT_FALSE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(fake.cells(0, 71, 17), std::string("    Edit Mode       ").substr(0, 17));
    EXPECT_EQ(fake.menuStates[IDM_PHYSICAL_ERASE], MenuState::Greyed);
    // The dialog offered the filters and the checked read-only box.
    ASSERT_EQ(fake.fileDialogsShown.size(), 1u);
    EXPECT_TRUE(fake.fileDialogsShown[0].readOnly);
    EXPECT_TRUE(g_open.mouseSuppressed);
}

TEST_F(Open, WritableOpenClearsTheStatusField) {
    openThroughDialog(makeFile("a.bin", pattern(600)), false);
    EXPECT_EQ(statusAccess(), "         ");
    EXPECT_TRUE(g_doc.AccessFlag & kAccWritable);
}

TEST_F(Open, SameFileWithTheOtherAccessSwitchesWithoutMovingThePage) {
    std::string path = makeFile("a.bin", pattern(5000));
    openThroughDialog(path);
    g_doc.ReadPtr = 2048;
    gotoPage();
    g_doc.ViewOfs = 512;
    paintPage();
    openThroughDialog(path, false);
    EXPECT_TRUE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(statusAccess(), "         ");
    EXPECT_EQ(g_doc.AnfPtr, 2048u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    // And back to read-only.
    openThroughDialog(path, true);
    EXPECT_FALSE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(statusAccess(), "Read Only");
    EXPECT_EQ(g_doc.AnfPtr, 2048u);
    EXPECT_EQ(fake.openHandles(), 3); // source, its journal and kelmor.ini: no handle leaked
}

TEST_F(Open, RiffFilesEnableTheAviMenu) {
    std::vector<uint8_t> riff = pattern(100);
    std::memcpy(riff.data(), "RIFF", 4);
    openThroughDialog(makeFile("film.avi", riff));
    EXPECT_EQ(fake.popupStates[IDP_AVI], MenuState::Enabled);
    EXPECT_TRUE(g_open.aviFlag);
    openThroughDialog(makeFile("plain.bin", pattern(100)));
    EXPECT_EQ(fake.popupStates[IDP_AVI], MenuState::Greyed);
    EXPECT_FALSE(g_open.aviFlag);
}

TEST_F(Open, MissingOrLockedFilesLeaveTheDocumentAlone) {
    std::string path = makeFile("a.bin", pattern(700));
    openThroughDialog(path);
    openThroughDialog(dir + "/gone.bin");
    EXPECT_STREQ(g_doc.SrcName, path.c_str());
    EXPECT_TRUE(fake.boxes.size() == 1u); // the notice only: a failed open shows nothing
    // Someone else holds the file exclusively.
    std::string other = makeFile("b.bin", pattern(10));
    Handle lock =
        fake.openFile(other.c_str(), kAccessRead | kAccessWrite, 0, Disposition::OpenExisting);
    ASSERT_NE(lock, kInvalidHandle);
    openThroughDialog(other);
    EXPECT_STREQ(g_doc.SrcName, path.c_str());
    fake.closeHandle(lock);
    // Cancel changes nothing either.
    fake.fileDialogAnswers.push_back({false, "", true});
    dispatchCommand(IDM_OPEN_FILE, 0);
    EXPECT_STREQ(g_doc.SrcName, path.c_str());
}

TEST_F(Open, UnreadableSourceIsReportedAndTheProgramGoesOn) {
    std::string path = makeFile("a.bin", pattern(3000));
    fake.failRead(1, 23, "a.bin"); // the first block read fails with a CRC error
    expectBox("Checksummen-Fehler !", kIdOk, "Fehler beim Lesen von " + path);
    openThroughDialog(path);
    ASSERT_TRUE(sourceOpen());
    EXPECT_EQ(fake.boxes.back().text, "Fehler beim Lesen von " + path);
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbOkCancel));
    EXPECT_EQ(fake.boxes.size(), 2u); // the notice and one report: the open went on
}

TEST_F(Open, LongPathsOpen) {
    std::string sub = dir;
    while (sub.size() < 200) {
        sub += "/dddddddddddddddddddd";
        mkdir(sub.c_str(), 0755);
    }
    std::string name = sub + "/";
    name += std::string(259 - name.size(), 'f');
    ASSERT_EQ(name.size(), 259u);
    FILE *f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("long", f);
    std::fclose(f);
    openThroughDialog(name);
    EXPECT_STREQ(g_doc.SrcName, name.c_str());
    EXPECT_EQ(g_doc.PageLen, 4u);
}

TEST_F(Open, NothingIsWrittenToTheSource) {
    std::string path = makeFile("a.bin", pattern(4096));
    struct stat before = statOf(path);
    openThroughDialog(path, false);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    openThroughDialog(path, true);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    struct stat after = statOf(path);
    EXPECT_EQ(readAll(path), pattern(4096));
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(Open, ClosingEmptiesTheView) {
    openThroughDialog(makeFile("a.bin", pattern(2000)));
    ASSERT_EQ(fake.row(1).substr(21, 3), " 03");
    EXPECT_TRUE(dispatchCommand(IDM_CLOSE_FILE, 0));
    EXPECT_FALSE(sourceOpen());
    EXPECT_EQ(g_doc.FileSize, 0u);
    EXPECT_EQ(fake.row(1).substr(21, 67), std::string(67, ' '));
    EXPECT_EQ(fake.bg(1, 22), kHexBgDefault); // no cursor cell
    EXPECT_EQ(fake.title, " ");
    EXPECT_EQ(fake.openHandles(), 1); // only kelmor.ini
    EXPECT_EQ(closeSource(), 1);      // nothing open
}

TEST_F(Open, ExitClosesAndWritesTheSettings) {
    openThroughDialog(makeFile("a.bin", pattern(100)));
    dispatchCommand(IDM_EXIT_KEY, 0); // Ctrl+X
    EXPECT_TRUE(fake.destroyed);
}

TEST_F(Open, ErrorReportsNameTheirCode) {
    fake.setLastError(0);
    EXPECT_EQ(reportError(kReadErrorPrefix, "x"), 0);
    EXPECT_EQ(fake.boxes.size(), 1u); // error 0 shows nothing
    fake.setLastError(5);
    expectBox("Zugriff verweigert !", kIdCancel);
    EXPECT_EQ(reportError(kWriteErrorPrefix, "C:\\x.bin"), 1);
    EXPECT_EQ(fake.boxes.back().text, "Fehler beim Schreiben von C:\\x.bin");
    // A code missing from the table gets its own caption, not the previous one.
    fake.setLastError(4242);
    expectBox("Systemfehler 4242 !", kIdOk);
    EXPECT_EQ(reportError(kReadErrorPrefix, "y"), 0);
}

TEST_F(Open, JournalNamesAreRecognisedByExtension) {
    EXPECT_TRUE(isJournalName("C:\\kelmor\\a.bin.jnl"));
    EXPECT_TRUE(isJournalName("x.jnlbak"));
    EXPECT_FALSE(isJournalName("x.JNL"));
    EXPECT_FALSE(isJournalName("x.jn"));
    EXPECT_FALSE(isJournalName("noext"));
    EXPECT_TRUE(samePath("C:\\Daten\\Ä.BIN", "c:\\daten\\ä.bin"));
}

TEST_F(Open, FreeSpaceMustExceedTheSize) {
    fake.drives[2].freeBytes = 1000;
    fake.drives[2].totalBytes = 5000;
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 999), 0);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk, "reicht der freie Speicherplatz");
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 1000), 1); // equal is not enough
    expectBox("Laufwerk zu klein !", kIdOk, "Bitte w\xE4hlen Sie ein anderes Laufwerk !");
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 6000), 1);
}

TEST_F(Open, OutputFileAsksBeforeOverwriting) {
    std::string existing = makeFile("out.bin", pattern(50));
    fake.fileDialogAnswers.push_back({true, existing, false});
    expectBox("Datei \xFC"
              "berschreiben?",
              kIdNo, "Datei existiert bereits. Soll sie gel\xF6scht werden?");
    fake.fileDialogAnswers.push_back({true, existing, false});
    expectBox("Datei \xFC"
              "berschreiben?",
              kIdYes);
    EXPECT_EQ(chooseOutputFile(), 0);
    EXPECT_TRUE(readAll(existing).empty()); // truncated after Yes
    fake.closeHandle(g_open.outHandle);
    fake.fileDialogAnswers.push_back({false, "", false});
    EXPECT_EQ(chooseOutputFile(), 1);
}

} // namespace

namespace {

TEST_F(Open, MarkingSurvivesClosingWithTheJournal) {
    g_settings.MsgOptions = 0; // no questions at closing
    std::string path = makeFile("m.bin", pattern(3000));
    openThroughDialog(path);
    onChar('4', 0);
    onChar('1', 0);
    onChar(13, 0); // the journal now holds an entry and is kept at closing
    g_doc.MarkStart = 700;
    g_doc.MarkEnd = 900;
    g_doc.MarkFlag = 7;
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
    openThroughDialog(path);
    EXPECT_EQ(g_doc.MarkStart, 700u);
    EXPECT_EQ(g_doc.MarkEnd, 900u);
    EXPECT_EQ(g_doc.MarkFlag, 7u);
    EXPECT_EQ(fake.menuStates[IDM_CLEAR_MARKING], MenuState::Enabled); // "Markierung aufheben"
    // A source without a kept journal starts unmarked.
    openThroughDialog(makeFile("n.bin", pattern(100)));
    EXPECT_EQ(g_doc.MarkFlag, 0u);
}

} // namespace
