// Opening and closing sources: access modes, the title, the AVI menu, failures, the marking
// kept in the journal, the recent-files list; error reports, journal names, free space and
// output files.
#include <algorithm>

#include "access/errors.h"
#include "access/files.h"
#include "app/document.h"
#include "app/recent.h"
#include "app/startup.h"
#include "tests/support/doc_test.h"
#include "view/navigation.h"

namespace {

class Open : public DocTest {};

TEST_F(Open, AccessModesClosingAndFailures) {
    std::string path = makeFile("a.bin", sigBytes(0, 5000));
    open(path);
    EXPECT_EQ(fake.title, path);
    EXPECT_EQ(statusField(78, 9), "Read Only"); // by default
    EXPECT_TRUE(fake.fileDialogsShown.size() == 1 && fake.fileDialogsShown[0].readOnly);
    EXPECT_EQ(fake.menuStates[IDM_PHYSICAL_ERASE], MenuState::Greyed);
    // The same file with the other access: the page stays, no handle is left behind.
    showPosition(2560);
    for (bool readOnly : {false, true}) {
        openThroughDialog(path, readOnly);
        EXPECT_EQ(statusField(78, 9), readOnly ? "Read Only" : "         ");
        expectPage(2560);
        EXPECT_EQ(fake.openHandles(), 3); // the source, its journal, kelmor.ini
    }
    EXPECT_TRUE(dispatchCommand(IDM_CLOSE_FILE, 0));
    EXPECT_EQ(fake.row(1).substr(21), std::string(67, ' '));
    EXPECT_EQ(cursorShown(), -1);
    EXPECT_TRUE(fake.title == " " && fake.openHandles() == 1);
    EXPECT_EQ(closeSource(), 1);
    EXPECT_EQ(readAll(path), sigBytes(0, 5000)); // nothing was written to it
    // RIFF files enable the AVI menu.
    std::vector<uint8_t> riff = sigBytes(0, 100);
    std::copy_n("RIFF", 4, riff.begin());
    for (auto [name, bytes, state] : {std::tuple{"film.avi", riff, MenuState::Enabled},
                                      {"plain.bin", sigBytes(0, 100), MenuState::Greyed}}) {
        open(makeFile(name, bytes));
        EXPECT_EQ(fake.popupStates[IDP_AVI], state);
    }
    // A missing file, one held exclusively and Cancel leave the document alone.
    open(path);
    size_t boxes = fake.boxes.size();
    openThroughDialog(dir + "/gone.bin");
    std::string other = makeFile("b.bin", sigBytes(0, 10)); // someone holds it exclusively
    Handle lock =
        fake.openFile(other.c_str(), kAccessRead | kAccessWrite, 0, Disposition::OpenExisting);
    ASSERT_NE(lock, kInvalidHandle);
    openThroughDialog(other);
    fake.closeHandle(lock);
    fake.fileDialogAnswers.push_back({false, "", true}); // Cancel
    run(IDM_OPEN_FILE);
    EXPECT_EQ(fake.title, path);
    expectPage(0);
    EXPECT_EQ(fake.boxes.size(), boxes); // a failed open shows nothing
    // A read error is reported and the open goes on.
    std::string bad = makeFile("c.bin", sigBytes(0, 3000));
    fake.failRead(1, 23, "c.bin");
    expectBox("Checksummen-Fehler !", kIdOk);
    openThroughDialog(bad);
    EXPECT_EQ(fake.boxes.back().text, "Fehler beim Lesen von " + bad);
    EXPECT_EQ(fake.boxes.back().style, unsigned(kMbOkCancel));
    EXPECT_EQ(fake.title, bad);
    // The marking is kept with the journal.
    g_settings.MsgOptions = 0; // no questions at closing
    openSource(sigBytes(0, 3000));
    typeAt(0, {0x41}); // the journal now holds an entry and is kept at closing
    mark(700, 900);
    run(IDM_CLOSE_FILE);
    open(src);
    showPosition(512);
    expectMarkingDrawn(700, 900);
    EXPECT_EQ(fake.menuStates[IDM_CLEAR_MARKING], MenuState::Enabled);
    open(makeFile("n.bin", sigBytes(0, 1000))); // a source without a kept journal: unmarked
    expectMarkingDrawn(0, 0);
    dispatchCommand(IDM_EXIT_KEY, 0);
    EXPECT_TRUE(fake.destroyed);
}

TEST_F(Open, ErrorReportsJournalNamesFreeSpaceAndOutputFiles) {
    fake.setLastError(0); // error 0 shows nothing
    EXPECT_TRUE(reportError(kReadErrorPrefix, "x") == 0 && fake.boxes.size() == 1);
    fake.setLastError(5);
    expectBox("Zugriff verweigert !", kIdCancel);
    EXPECT_EQ(reportError(kWriteErrorPrefix, "C:\\x.bin"), 1);
    EXPECT_EQ(fake.boxes.back().text, "Fehler beim Schreiben von C:\\x.bin");
    fake.setLastError(4242); // a code missing from the table: a caption of its own
    expectBox("Systemfehler 4242 !", kIdOk);
    EXPECT_EQ(reportError(kReadErrorPrefix, "y"), 0);
    // clang-format off
    const std::pair<const char *, bool> names[] = {{"C:\\kelmor\\a.bin.jnl", true},
        {"x.jnlbak", true}, {"x.JNL", false}, {"x.jn", false}, {"noext", false}};
    // clang-format on
    for (auto [name, is] : names)
        EXPECT_EQ(isJournalName(name), is) << name;
    EXPECT_TRUE(samePath("C:\\Daten\\Ä.BIN", "c:\\daten\\ä.bin"));
    EXPECT_FALSE(samePath("C:\\a.bin", "C:\\a.bin2"));
    fake.drives[2] = {kDriveFixed, dir + "/C", 1000, 5000}; // bytes free, bytes in all
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 999), 0);
    expectBox("Zu wenig freier Speicherplatz !", kIdOk, "reicht der freie Speicherplatz");
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 1000), 1); // equal is not enough
    expectBox("Laufwerk zu klein !", kIdOk, "Bitte wählen Sie ein anderes Laufwerk !");
    EXPECT_EQ(checkFreeSpace("C:\\out.bin", 5000), 1); // as large as the drive
    // An existing output file: No asks for another name, Yes empties it.
    std::string existing = makeFile("out.bin", sigBytes(0, 50));
    for (int answer : {kIdNo, kIdYes}) {
        fake.fileDialogAnswers.push_back({true, existing, false});
        expectBox("Datei überschreiben?", answer,
                  "Datei existiert bereits. Soll sie gelöscht werden?");
    }
    EXPECT_EQ(chooseOutputFile(), 0);
    EXPECT_TRUE(readAll(existing).empty());
    fake.closeHandle(g_open.outHandle);
    fake.fileDialogAnswers.push_back({false, "", false});
    EXPECT_EQ(chooseOutputFile(), 1);
}

class Recent : public DocTest {
  protected:
    // The File menu from "ZULETZT GEÖFFNETE DATEIEN :" on, as the resource has it.
    void layOut() {
        auto &m = fake.menus[IDP_FILE];
        m.assign(IDP_RECENT_FIRST - 1, {40000u, "item"});
        m.push_back({IDM_RECENT_HEADING, "ZULETZT GEÖFFNETE DATEIEN :"});
        m.push_back({0, "-"});
        m.push_back({IDM_CLOSE_FILE, "Datei Sch&liessen"});
    }
    void SetUp() override {
        KelmorTest::SetUp();
        layOut();
        startProgram();
        g_settings.MsgOptions = 0; // no notice at the second start
    }
    // The menu entries ("&k. path") with their commands, and the list as the settings hold it.
    void expectList(const std::vector<std::string> &paths) {
        auto &m = fake.menus[IDP_FILE];
        ASSERT_EQ(m.size(), IDP_RECENT_FIRST + paths.size() + 2);
        EXPECT_EQ(m[IDP_RECENT_FIRST + paths.size()].second, "-");
        for (size_t k = 0; k < 10; ++k) {
            std::string text = k < paths.size() ? "&" + std::to_string(k) + ". " + paths[k] : "";
            EXPECT_EQ(g_settings.recent[k], text);
            if (k >= paths.size()) continue;
            EXPECT_EQ(m[IDP_RECENT_FIRST + k], std::pair(IDM_RECENT_FIRST + unsigned(k), text));
        }
    }
};

TEST_F(Recent, NewestFirstAtMostTenKeptAcrossAStartEachEntryOpens) {
    EXPECT_TRUE(dispatchCommand(IDM_RECENT_FIRST + 5, 0) && !sourceOpen()); // an empty slot
    expectList({});
    EXPECT_TRUE(fake.insertedItems.empty());
    std::vector<std::string> list;
    auto onTop = [&](const std::string &p) {
        list.erase(std::remove(list.begin(), list.end(), p), list.end());
        list.insert(list.begin(), p);
        list.resize(std::min<size_t>(list.size(), 10)); // the eleventh drops the oldest
    };
    std::vector<std::string> f(12);
    for (int i = 1; i <= 11; ++i) {
        f[i] = makeFile("f" + std::to_string(i) + ".bin", sigBytes(0, 100 + i));
        for (const std::string &p : i == 5 ? std::vector{f[1], f[5]} : std::vector{f[i]}) {
            openThroughDialog(p); // a file already listed moves to the top
            onTop(p);
        }
        ASSERT_NO_FATAL_FAILURE(expectList(list));
    }
    appDestroy();
    layOut();
    startProgram(false);
    expectList(list);
    for (unsigned k = 0; k < 10; ++k) { // each entry's command opens it read-only, on top
        std::string p = list[k];
        EXPECT_TRUE(dispatchCommand(IDM_RECENT_FIRST + k, 0));
        EXPECT_EQ(fake.title + statusField(78, 9), p + "Read Only");
        onTop(p);
        ASSERT_NO_FATAL_FAILURE(expectList(list));
    }
    // Someone took the entries out of the menu: the renames fail, Cancel stops the move.
    fake.menus[IDP_FILE].resize(IDP_RECENT_FIRST);
    expectBox(" ", kIdCancel, " ");
    EXPECT_EQ(moveRecentToTop(3), 1);
    EXPECT_EQ(g_settings.recent[0], "&0. " + list[0]);
}

} // namespace
