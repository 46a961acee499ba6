// The journal's life: naming, creating, taking into use with every question and answer,
// journals opened as the document, choosing another, emptying, closing.
#include "tests/support/harness.h"

#include <cstring>
#include <sys/stat.h>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "tests/support/journal_check.h"

namespace {

class Lifecycle : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
        fake.boxes.clear(); // the start-up notice
    }
    // A source under D: of `n` pattern bytes; returns its program path.
    std::string source(const std::string &name, size_t n = 5000) {
        makeFile("D/" + name, pattern(n));
        return "D:\\" + name;
    }
    std::string host(const std::string &programPath) { return fake.hostPath(programPath.c_str()); }
    static std::string journalOf(const std::string &name) {
        return "C:\\kelmor\\D~1" + name + ".jnl";
    }
    bool exists(const std::string &programPath) {
        struct stat st;
        return stat(host(programPath).c_str(), &st) == 0;
    }
    // A journal with two journalled blocks (512 and 1536) for `src`, its time matching.
    BuiltJournal edits(const std::string &jnl, const std::string &src, int64_t timeShift = 0) {
        return buildJournal(host(jnl), src.c_str(),
                            fakeLastWriteTime(host(src)) + uint64_t(timeShift),
                            {{512, 512, 0, 1, 11}, {1536, 512, 0, 1, 12}});
    }
    std::string statusJournal() { return fake.cells(33, 0, 45); }
    static std::string padded45(const std::string &s) {
        std::string t = s.substr(0, 45);
        return t + std::string(45 - t.size(), ' ');
    }
    void quietClose() {
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
        dispatchCommand(IDM_CLOSE_FILE, 0);
    }
    void pushPick(const std::string &path, bool ok = true) {
        fake.fileDialogAnswers.push_back({ok, path, false});
    }
};

// ---- naming ----

TEST_F(Lifecycle, NameInTheFixedDirectory) {
    char out[260] = "";
    g_settings.JnlOptions = kJnlFixed;
    EXPECT_EQ(makeJournalName(out, "D:\\daten\\film.avi"), 0);
    EXPECT_STREQ(out, "C:\\kelmor\\D~1daten~2film.avi.jnl");
    EXPECT_EQ(g_settings.JnlOptions, kJnlFixed | kJnlChosen | kJnlHasExtension);
    // The name stays once chosen.
    std::strcpy(out, "X:\\egal.jnl");
    EXPECT_EQ(makeJournalName(out, "D:\\other"), 0);
    EXPECT_STREQ(out, "X:\\egal.jnl");
}

TEST_F(Lifecycle, NameEncodingIsUnambiguous) {
    struct Case {
        const char *src, *name;
    } cases[] = {
        {"D:daten\\x", "C:\\kelmor\\D~0daten~2x.jnl"}, // drive-relative
        {"D:\\a~2b", "C:\\kelmor\\D~1a~32b.jnl"},      // a tilde in the path
        {"D:\\a\\2b", "C:\\kelmor\\D~1a~22b.jnl"},
        {"D:\\a~0", "C:\\kelmor\\D~1a~30.jnl"},
        {"D:\\a:", "C:\\kelmor\\D~1a~0.jnl"},
        {"D:/a/b", "C:\\kelmor\\D~1a~2b.jnl"}, // '/' separates as '\' does
        {"\\\\srv\\share\\f", "C:\\kelmor\\~2~2srv~2share~2f.jnl"},
    };
    for (const Case &c : cases) {
        char out[260] = "";
        g_settings.JnlOptions = kJnlFixed;
        EXPECT_EQ(makeJournalName(out, c.src), 0) << c.src;
        EXPECT_STREQ(out, c.name) << c.src;
    }
}

TEST_F(Lifecycle, LongNamesAreCutWithAMarkOfTheWholePath) {
    std::string base = "D:\\" + std::string(236, 'x');
    char a[260] = "", b[260] = "", c[260] = "";
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(a, (base + "1").c_str()); // 10 + 240 input characters: fits exactly
    EXPECT_EQ(std::string(a), "C:\\kelmor\\D~1" + std::string(236, 'x') + "1.jnl");
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(b, (base + "12345678901").c_str());
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(c, (base + "12345678902").c_str());
    EXPECT_NE(std::string(b), std::string(c)); // they differ only beyond the cut
    EXPECT_LE(std::strlen(b), 255u);
    EXPECT_EQ(std::string(b).substr(std::strlen(b) - 14, 2), "~9");
    EXPECT_EQ(std::string(b).substr(std::strlen(b) - 4), ".jnl");
    // Many separators expand the name without overrunning it.
    std::string seps = "D:";
    while (seps.size() < 250)
        seps += "\\a";
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(a, seps.c_str());
    EXPECT_LE(std::strlen(a), 255u);
    EXPECT_NE(std::string(a).find("~9"), std::string::npos);
    // A cut never leaves half of a pair before the mark.
    EXPECT_NE(std::string(a).substr(std::strlen(a) - 15, 1), "~");
}

TEST_F(Lifecycle, NameBesideTheSourceAndChosenNames) {
    char out[260] = "";
    g_settings.JnlOptions = 0;
    EXPECT_EQ(makeJournalName(out, "D:\\x.bin"), 0);
    EXPECT_STREQ(out, "D:\\x.bin.jnl");
    // A name the user chose without the extension keeps its place and gains the extension.
    std::strcpy(out, "E:\\mine");
    g_settings.JnlOptions = kJnlFixed | kJnlChosen;
    EXPECT_EQ(makeJournalName(out, "D:\\x.bin"), 0);
    EXPECT_STREQ(out, "E:\\mine.jnl");
    std::strcpy(out, "E:\\mine.jnl");
    g_settings.JnlOptions = kJnlFixed | kJnlChosen | kJnlHasExtension;
    EXPECT_EQ(makeJournalName(out, "D:\\x.bin"), 0);
    EXPECT_STREQ(out, "E:\\mine.jnl");
    // The alternative directory.
    g_settings.JnlOptions = kJnlFixed | kJnlUseAlternative;
    EXPECT_EQ(makeJournalName(out, "C:\\x.bin"), 0);
    EXPECT_STREQ(out, "D:\\kelmor\\C~1x.bin.jnl");
}

TEST_F(Lifecycle, SameDriveNeedsConsent) {
    char out[260] = "";
    g_settings.JnlOptions = kJnlFixed | kJnlOtherDrive;
    expectBox("Gleiches Laufwerk !", kIdNo,
              "Protokolldatei auf gleichem Laufwerk zulassen?\n\n"
              "Wenn NEIN, bitte eine andere Datei angeben !\n\n"
              "(-> Extras -> Optionen)");
    EXPECT_EQ(makeJournalName(out, "c:\\x.bin"), 1);
    expectBox("Gleiches Laufwerk !", kIdYes);
    EXPECT_EQ(makeJournalName(out, "C:\\x.bin"), 0);
    EXPECT_STREQ(out, "C:\\kelmor\\C~1x.bin.jnl");
    EXPECT_EQ(makeJournalName(out, "D:\\x.bin"), 0); // 0x08 set: the chosen name's drive, C:
}

// ---- creating and taking into use ----

TEST_F(Lifecycle, ANewJournalIsCreatedShownAndRemovedWhenUnused) {
    std::string src = source("a.bin");
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, journalOf("a.bin").c_str());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))).size(), 1024u);
    EXPECT_EQ(statusJournal(), padded45(journalOf("a.bin")));
    EXPECT_EQ(fake.title, src);
    EXPECT_FALSE(journalHasEdits());
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_FALSE(exists(journalOf("a.bin")));
    EXPECT_EQ(fake.openHandles(), 1); // kelmor.ini only
    EXPECT_EQ(g_settings.JnlOptions & kJnlPerFileBits, 0u);
}

TEST_F(Lifecycle, AJournalWithEditsIsTakenIntoUseSilently) {
    std::string src = source("a.bin", 9000);
    BuiltJournal b = edits(journalOf("a.bin"), src);
    JournalHeader h = b.header;
    h.SavedAnfPtr = 4096;
    h.SavedViewOfs = 256;
    uint8_t hb[1024];
    encodeHeader(h, hb);
    patchFile(host(journalOf("a.bin")), 0, hb, 1024);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(fake.title, src + "*");
    EXPECT_EQ(g_doc.AnfPtr, 4096u);
    EXPECT_EQ(g_doc.ViewOfs, 256u);
    EXPECT_EQ(g_jnl.JnlEnd, b.length);
    EXPECT_EQ(statusJournal(), padded45(journalOf("a.bin")));
    EXPECT_EQ(checkPageCursors(), "");
    gotoFirstPage();
    EXPECT_EQ(g_doc.JReadFlag, 2u);
    EXPECT_EQ(g_doc.PageBuf[512 + 3], specData(11, 3));
}

TEST_F(Lifecycle, ChangedSourceYesAndOkUsesTheJournal) {
    std::string src = source("a.bin");
    BuiltJournal b = edits(journalOf("a.bin"), src, -10);
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Datei wurde verändert !", kIdYes,
              "Bearbeitungsdatei wurde verändert !\n\nBei Verwendung der angegebenen "
              "Protokolldatei\nkann es zu Inkonsistenzen kommen!\n\nTrotzdem verwenden ?");
    expectBox("Daten unbedingt prüfen !", kIdOk,
              "Um die Gefahr von Datenfehlern zu verringern,\n\nsollten Sie jede "
              "Bearbeitungsstelle\n\nmit F5 auf Fehlerfreiheit prüfen !");
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_TRUE(journalHasEdits());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))), before);
    EXPECT_EQ(fake.boxes[0].style & 0xF, unsigned(kMbYesNo));
    EXPECT_EQ(fake.boxes[1].style & 0xF, unsigned(kMbOkCancel));
}

TEST_F(Lifecycle, ChangedSourceYesCancelThenDeleteEmptiesIt) {
    std::string src = source("a.bin");
    edits(journalOf("a.bin"), src, -10);
    expectBox("Datei wurde verändert !", kIdYes);
    expectBox("Daten unbedingt prüfen !", kIdCancel);
    expectBox("Protokolldatei löschen ?", kIdYes, "Soll die Protokolldatei gelöscht werden ?");
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_FALSE(journalHasEdits());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))).size(), 1024u);
    EXPECT_EQ(fake.title, src);
    EXPECT_NE(fake.boxes[2].style & 0x100, 0u); // No is the default
}

TEST_F(Lifecycle, ChangedSourceNoThenDeleteEmptiesIt) {
    std::string src = source("a.bin");
    edits(journalOf("a.bin"), src, 10);
    expectBox("Datei wurde verändert !", kIdNo);
    expectBox("Protokolldatei löschen ?", kIdYes);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))).size(), 1024u);
}

TEST_F(Lifecycle, ChangedSourceNoNoRefusesTheJournalUntouched) {
    std::string src = source("a.bin");
    edits(journalOf("a.bin"), src, 10);
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Datei wurde verändert !", kIdNo);
    expectBox("Protokolldatei löschen ?", kIdNo);
    openThroughDialog(src);
    ASSERT_TRUE(sourceOpen());
    EXPECT_FALSE(journalOpen());
    EXPECT_EQ(g_doc.JReadFlag, 0u);
    EXPECT_EQ(fake.title, src);
    quietClose();
    EXPECT_EQ(readAll(host(journalOf("a.bin"))), before);
}

TEST_F(Lifecycle, OldJournalsAreRefusedAndNeverModified) {
    for (uint32_t magic : {0xABCDEF01u, 0xABCDEF02u}) {
        std::string src = source("a.bin");
        edits(journalOf("a.bin"), src);
        uint8_t m[4];
        putU32(m, magic);
        patchFile(host(journalOf("a.bin")), 0, m, 4);
        std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
        expectBox("alte Version !", kIdOk,
                  magic == 0xABCDEF01u
                      ? "Diese Bearbeitungsdatei kann nur bis zur Version 2.10 verwendet werden !"
                      : "Diese Bearbeitungsdatei kann nur bis zur Version 2.18 verwendet werden !");
        openThroughDialog(src);
        ASSERT_TRUE(sourceOpen());
        EXPECT_FALSE(journalOpen());
        EXPECT_EQ(fake.boxes.back().style & 0xF0, unsigned(kMbIconInformation));
        quietClose();
        EXPECT_EQ(readAll(host(journalOf("a.bin"))), before);
    }
}

TEST_F(Lifecycle, AForeignJournalIsOfferedForDeletion) {
    std::string src = source("a.bin");
    buildJournal(host(journalOf("a.bin")), "D:\\other.bin", 0, {{0, 512, 0, 1, 1}});
    std::string text = journalOf("a.bin");
    text += std::string(50 - text.size(), ' ');
    text += "\n\nUngültige Protokolldatei. Soll sie gelöscht werden?";
    expectBox("Protokolldatei löschen / neu laden?", kIdYes, text);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_EQ(fake.boxes[0].text, text);
    EXPECT_NE(fake.boxes[0].style & 0x100, 0u);
    std::vector<uint8_t> now = readAll(host(journalOf("a.bin")));
    ASSERT_EQ(now.size(), 1024u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(now.data()) + 0x103), src);
}

TEST_F(Lifecycle, AForeignJournalRefusedLetsTheUserPickAnother) {
    std::string src = source("a.bin");
    buildJournal(host(journalOf("a.bin")), "D:\\other.bin", 0, {{0, 512, 0, 1, 1}});
    std::vector<uint8_t> foreign = readAll(host(journalOf("a.bin")));
    edits("D:\\mine.jnl", src);
    expectBox("Protokolldatei löschen / neu laden?", kIdNo);
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("D:\\mine.jnl");
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "D:\\mine.jnl");
    EXPECT_TRUE(journalHasEdits());
    ASSERT_EQ(fake.fileDialogsShown.size(), 2u);
    EXPECT_EQ(fake.fileDialogsShown[1].filterIndex, 2);
    EXPECT_STREQ(fake.fileDialogsShown[1].file, journalOf("a.bin").c_str());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))), foreign);
}

TEST_F(Lifecycle, AForeignJournalRefusedAndNoPickLeavesNoJournal) {
    std::string src = source("a.bin");
    makeFile("C/kelmor/D~1a.bin.jnl", pattern(100)); // too short to be a journal
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Protokolldatei löschen / neu laden?", kIdNo);
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("", false);
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(sourceOpen());
    EXPECT_FALSE(journalOpen());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))), before);
}

TEST_F(Lifecycle, CreationFailureAnsweredNo) {
    std::string src = source("a.bin");
    std::strcpy(g_settings.jnlDir, "C:\\fehlt\\");
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdNo,
              "Protokolldatei konnte leider nicht automtisch erstellt werden !\nWollen Sie sie "
              "manuell auswählen (bzw. anlegen) ?");
    openThroughDialog(src);
    ASSERT_TRUE(sourceOpen());
    EXPECT_FALSE(journalOpen());
    EXPECT_NE(fake.boxes[0].style & 0x100, 0u);
}

TEST_F(Lifecycle, CreationFailureAnsweredYesAndAPick) {
    std::string src = source("a.bin");
    std::strcpy(g_settings.jnlDir, "C:\\fehlt\\");
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdYes);
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("C:\\hand.jnl");
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "C:\\hand.jnl");
    EXPECT_EQ(readAll(dir + "/C/hand.jnl").size(), 1024u);
}

TEST_F(Lifecycle, CreationFailureAnsweredYesAndCancelled) {
    std::string src = source("a.bin");
    std::strcpy(g_settings.jnlDir, "C:\\fehlt\\");
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdYes);
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdOk,
              "Protokolldatei konnte leider nicht erstellt werden !\nWählen Sie ggf. manuell "
              "eine Protokolldatei aus !");
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("", false);
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(sourceOpen());
    EXPECT_FALSE(journalOpen());
}

// ---- "immer auf anderes Laufwerk" ----

class OtherDrive : public Lifecycle {
  protected:
    std::string src;
    void SetUp() override {
        Lifecycle::SetUp();
        makeFile("C/x.bin", pattern(3000));
        src = "C:\\x.bin";
        g_settings.JnlOptions = kJnlFixed | kJnlOtherDrive;
    }
};

TEST_F(OtherDrive, TheAlternativeDirectoryOnAnotherDriveIsUsed) {
    g_settings.JnlOptions |= kJnlAlternative;
    mkdir((dir + "/D/kelmor").c_str(), 0755);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "D:\\kelmor\\C~1x.bin.jnl");
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(OtherDrive, YesAllowsTheSameDriveForThisFileOnly) {
    expectBox("Gleiches Laufwerk !", kIdYes);
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "C:\\kelmor\\C~1x.bin.jnl");
    EXPECT_TRUE(g_settings.JnlOptions & kJnlOtherDrive); // back for the next file
}

TEST_F(OtherDrive, NoAsksForAJournalOnAnotherDrive) {
    expectBox("Gleiches Laufwerk !", kIdNo);
    expectBox("Gleiches Laufwerk !", kIdNo); // the pick was on C: again
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("C:\\same.jnl");
    pushPick("D:\\weg.jnl");
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "D:\\weg.jnl");
    EXPECT_EQ(readAll(dir + "/D/weg.jnl").size(), 1024u);
    EXPECT_FALSE(exists("C:\\same.jnl"));
}

TEST_F(OtherDrive, CancellingThePickAbandonsTheOpening) {
    expectBox("Gleiches Laufwerk !", kIdNo);
    fake.fileDialogAnswers.push_back({true, src, true});
    pushPick("", false);
    dispatchCommand(IDM_OPEN_FILE, 0);
    EXPECT_FALSE(sourceOpen());
    EXPECT_FALSE(journalOpen());
    EXPECT_EQ(fake.openHandles(), 1);
}

// ---- a journal opened as the document ----

TEST_F(Lifecycle, OpeningAJournalOpensItsSource) {
    std::string src = source("a.bin", 9000);
    edits("D:\\given.jnl", src);
    expectBox("Bearbeitung öffnen?", kIdYes,
              "Soll die zugehörige Quelldatei (bzw. Laufwerk) geöffnet werden?");
    openThroughDialog("D:\\given.jnl");
    ASSERT_TRUE(sourceOpen());
    EXPECT_STREQ(g_doc.SrcName, src.c_str());
    ASSERT_TRUE(journalOpen());
    EXPECT_STREQ(g_jnl.JnlName, "D:\\given.jnl");
    EXPECT_EQ(fake.title, src + "*");
    EXPECT_EQ(statusJournal(), padded45("D:\\given.jnl"));
    EXPECT_FALSE(exists(journalOf("a.bin")));
    quietClose();
    EXPECT_TRUE(exists("D:\\given.jnl"));
    EXPECT_EQ(fake.openHandles(), 1);
}

TEST_F(Lifecycle, AGivenJournalOfAChangedSourceRefused) {
    std::string src = source("a.bin");
    edits("D:\\given.jnl", src, 5);
    expectBox("Bearbeitung öffnen?", kIdYes);
    expectBox("Datei wurde verändert !", kIdNo);
    expectBox("Protokolldatei löschen ?", kIdNo);
    expectBox("Protokolldatei manuell wählen !", kIdOk,
              "Bitte wählen Sie manuell eine Protokolldatei !");
    openThroughDialog("D:\\given.jnl");
    ASSERT_TRUE(sourceOpen());
    EXPECT_FALSE(journalOpen());
    EXPECT_EQ(fake.openHandles(), 2); // source and kelmor.ini
}

TEST_F(Lifecycle, AGivenOldJournalIsRefused) {
    std::string src = source("a.bin");
    edits("D:\\old.jnl", src);
    uint8_t m[4];
    putU32(m, 0xABCDEF02u);
    patchFile(host("D:\\old.jnl"), 0, m, 4);
    expectBox("Bearbeitung öffnen?", kIdYes);
    expectBox("alte Version !", kIdOk, "Version 2.18");
    openThroughDialog("D:\\old.jnl");
    EXPECT_FALSE(sourceOpen());
    EXPECT_EQ(fake.openHandles(), 1);
}

TEST_F(Lifecycle, AJournalOpenedAsAPlainFile) {
    std::string src = source("a.bin");
    edits("D:\\given.jnl", src);
    expectBox("Bearbeitung öffnen?", kIdNo);
    openThroughDialog("D:\\given.jnl");
    ASSERT_TRUE(sourceOpen());
    EXPECT_STREQ(g_doc.SrcName, "D:\\given.jnl");
    EXPECT_STREQ(g_jnl.JnlName, "C:\\kelmor\\D~1given.jnl.jnl");
}

TEST_F(Lifecycle, AGivenJournalOfADriveLeavesNoHandleBehind) {
    std::string src = source("a.bin");
    buildJournal(host("D:\\drive.jnl"), "Laufwerk C:", 0, {{0, 512, 0, 1, 1}});
    expectBox("Bearbeitung öffnen?", kIdYes);
    openThroughDialog("D:\\drive.jnl");
    openThroughDialog(src);
    quietClose();
    EXPECT_EQ(fake.openHandles(), 1);
}

// ---- closing ----

class Closing : public Lifecycle {
  protected:
    std::string src;
    void SetUp() override {
        Lifecycle::SetUp();
        src = source("a.bin", 9000);
        edits(journalOf("a.bin"), src);
        g_settings.MsgOptions &= ~kMsgAskSave;
        openThroughDialog(src);
        ASSERT_TRUE(journalHasEdits());
        g_doc.ReadPtr = 2048;
        gotoPage();
        g_doc.ViewOfs = 512;
    }
    const std::string kAsk = "Soll die Protokolldatei\n\nfür spätere Verwendung gespeichert werden "
                             "?\n\n(Diese Meldung lässt sich unter Extras->Optionen unterbinden.)";
};

TEST_F(Closing, NoDeletesTheJournal) {
    expectBox("Protokolldatei speichern ?", kIdNo, kAsk);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_FALSE(exists(journalOf("a.bin")));
}

TEST_F(Closing, YesAndCancelKeepsItWithItsHeaderWrittenBack) {
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick("", false);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    JournalHeader h{};
    ASSERT_TRUE(readJournalHeader(host(journalOf("a.bin")), h));
    EXPECT_EQ(h.SavedAnfPtr, 2048u);
    EXPECT_EQ(h.SavedViewOfs, 512u);
    EXPECT_EQ(h.SourceTime, fakeLastWriteTime(host(src)));
    EXPECT_EQ(checkJournalFile(host(journalOf("a.bin"))), "");
    ASSERT_EQ(fake.fileDialogsShown.size(), 2u);
    EXPECT_EQ(fake.fileDialogsShown[1].filterIndex, 2);
    EXPECT_EQ(g_settings.JnlOptions & kJnlPerFileBits, 0u);
}

TEST_F(Closing, YesAndANewNameMovesIt) {
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick("D:\\kept.jnl");
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_FALSE(exists(journalOf("a.bin")));
    std::vector<uint8_t> moved = readAll(dir + "/D/kept.jnl");
    ASSERT_EQ(moved.size(), before.size());
    EXPECT_TRUE(std::equal(moved.begin() + 1024, moved.end(), before.begin() + 1024));
}

TEST_F(Closing, AnExistingTargetIsOverwrittenOnlyAfterYes) {
    makeFile("D/da.jnl", {1, 2, 3});
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick("D:\\da.jnl");
    expectBox("Datei überschreiben ?", kIdNo, "Soll die Datei wirklich überschrieben werden ?");
    pushPick("D:\\da.jnl");
    expectBox("Datei überschreiben ?", kIdYes);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_FALSE(exists(journalOf("a.bin")));
    EXPECT_GT(readAll(dir + "/D/da.jnl").size(), 1024u);
}

TEST_F(Closing, AnExistingTargetRefusedAndCancelKeepsBoth) {
    makeFile("D/da.jnl", {1, 2, 3});
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick("D:\\da.jnl");
    expectBox("Datei überschreiben ?", kIdNo);
    pushPick("", false);
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_TRUE(exists(journalOf("a.bin")));
    EXPECT_EQ(readAll(dir + "/D/da.jnl").size(), 3u);
}

TEST_F(Closing, AFailedCopyKeepsTheJournal) {
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick("D:\\kept.jnl");
    fake.failWrite(2, kErrDiskFull, "kept.jnl"); // the header write-back is write 1
    expectBox("Schreibfehler !", kIdOk, "Fehler beim Schreiben der Datei");
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_TRUE(exists(journalOf("a.bin")));
    EXPECT_FALSE(exists("D:\\kept.jnl"));
    EXPECT_EQ(readAll(host(journalOf("a.bin"))).size(), before.size());
}

TEST_F(Closing, ThePickOfItsOwnNameKeepsIt) {
    expectBox("Protokolldatei speichern ?", kIdYes);
    pushPick(journalOf("a.bin"));
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_TRUE(exists(journalOf("a.bin")));
}

TEST_F(Closing, WithoutTheQuestionItStaysWhereItIs) {
    g_settings.MsgOptions &= ~kMsgAskJournal;
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_TRUE(exists(journalOf("a.bin")));
    EXPECT_TRUE(fake.boxes.empty());
    // And is found again, at the same page.
    openThroughDialog(src);
    EXPECT_EQ(g_doc.AnfPtr, 2048u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    EXPECT_TRUE(journalHasEdits());
}

// ---- another journal ----

class Choose : public Lifecycle {
  protected:
    std::string src;
    void SetUp() override {
        Lifecycle::SetUp();
        src = source("a.bin", 9000);
        edits(journalOf("a.bin"), src);
        openThroughDialog(src);
        ASSERT_TRUE(journalHasEdits());
        g_doc.ReadPtr = 4096;
        gotoPage();
    }
    void expectUnchanged() {
        EXPECT_STREQ(g_jnl.JnlName, journalOf("a.bin").c_str());
        EXPECT_TRUE(journalHasEdits());
        EXPECT_EQ(checkOpenJournal(), "");
        EXPECT_EQ(fake.openHandles(), 3);
    }
    const char *kFew = "Die ausgewählte Datei enthält zuwenig Daten !\n\nBitte wählen Sie eine "
                       "andere Protokolldatei !";
};

TEST_F(Choose, CancelChangesNothing) {
    pushPick("", false);
    EXPECT_EQ(dispatchCommand(IDM_CHOOSE_JOURNAL, 0), true);
    expectUnchanged();
    // The journal in use was written back first.
    JournalHeader h{};
    ASSERT_TRUE(readJournalHeader(host(journalOf("a.bin")), h));
    EXPECT_EQ(h.SavedAnfPtr, 4096u);
}

TEST_F(Choose, ANewFileBecomesAFreshJournal) {
    pushPick("D:\\frisch.jnl");
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_STREQ(g_jnl.JnlName, "D:\\frisch.jnl");
    EXPECT_FALSE(journalHasEdits());
    EXPECT_EQ(readAll(dir + "/D/frisch.jnl").size(), 1024u);
    EXPECT_EQ(fake.openHandles(), 3); // the previous journal was closed
    EXPECT_EQ(statusJournal(), padded45("D:\\frisch.jnl"));
    EXPECT_EQ(fake.title, src);
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    EXPECT_EQ(checkPageCursors(), "");
}

TEST_F(Choose, AJournalWithEditsTakesThePageToItsPlace) {
    BuiltJournal b = buildJournal(host("D:\\zwei.jnl"), src.c_str(), fakeLastWriteTime(host(src)),
                                  {{6144, 512, 0, 1, 33}});
    JournalHeader h = b.header;
    h.SavedAnfPtr = 6144;
    uint8_t hb[1024];
    encodeHeader(h, hb);
    patchFile(host("D:\\zwei.jnl"), 0, hb, 1024);
    pushPick("D:\\zwei.jnl");
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_STREQ(g_jnl.JnlName, "D:\\zwei.jnl");
    EXPECT_EQ(g_doc.AnfPtr, 6144u);
    EXPECT_EQ(g_doc.JReadFlag, 1u);
    EXPECT_EQ(g_doc.PageBuf[9], specData(33, 9));
    EXPECT_EQ(fake.title, src + "*");
    EXPECT_EQ(checkPageCursors(), "");
}

TEST_F(Choose, AShortFileWithoutTheExtension) {
    makeFile("D/kurz.dat", pattern(200));
    pushPick("D:\\kurz.dat");
    expectBox("keine gültige Protokolldatei !", kIdOk, kFew);
    pushPick("", false);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_EQ(fake.boxes[0].style, unsigned(kMbOkCancel | kMbIconWarning));
    expectUnchanged();
    EXPECT_EQ(readAll(dir + "/D/kurz.dat").size(), 200u);
    // Cancel in the message ends the choice at once.
    pushPick("D:\\kurz.dat");
    expectBox("keine gültige Protokolldatei !", kIdCancel, kFew);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    expectUnchanged();
}

TEST_F(Choose, AForeignFileWithoutTheExtension) {
    std::vector<uint8_t> junk = pattern(3000);
    makeFile("D/fremd.dat", junk);
    pushPick("D:\\fremd.dat");
    expectBox("keine gültige Protokolldatei !", kIdOk,
              "Die ausgewählte Datei ist keine gültige Protokolldatei !\n\nBitte wählen Sie eine "
              "andere Protokolldatei !");
    pushPick("D:\\frisch.jnl");
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_STREQ(g_jnl.JnlName, "D:\\frisch.jnl");
    EXPECT_EQ(readAll(dir + "/D/fremd.dat"), junk);
}

TEST_F(Choose, AJournalOfAnotherSourceWithoutTheExtension) {
    buildJournal(host("D:\\anders.dat"), "D:\\b.bin", 0, {{0, 512, 0, 1, 1}});
    pushPick("D:\\anders.dat");
    expectBox("keine gültige Protokolldatei !", kIdCancel,
              "Die ausgewählte Datei passt nicht zur Hauptdatei !\n\nBitte wählen Sie eine "
              "andere Protokolldatei !");
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    expectUnchanged();
}

TEST_F(Choose, AnOldJournalIsRefusedUntouched) {
    edits("D:\\alt.dat", src);
    uint8_t m[4];
    putU32(m, 0xABCDEF01u);
    patchFile(host("D:\\alt.dat"), 0, m, 4);
    std::vector<uint8_t> before = readAll(host("D:\\alt.dat"));
    pushPick("D:\\alt.dat");
    expectBox("alte Version !", kIdOk, "Version 2.10");
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    expectUnchanged();
    EXPECT_EQ(readAll(host("D:\\alt.dat")), before);
}

TEST_F(Choose, AForeignJournalEmptiedOnYes) {
    buildJournal(host("D:\\fremd.jnl"), "D:\\b.bin", 0, {{0, 512, 0, 1, 1}});
    pushPick("D:\\fremd.jnl");
    expectBox("Protokolldatei löschen / neu laden?", kIdYes);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_STREQ(g_jnl.JnlName, "D:\\fremd.jnl");
    EXPECT_FALSE(journalHasEdits());
    EXPECT_EQ(readAll(dir + "/D/fremd.jnl").size(), 1024u);
    EXPECT_EQ(fake.boxes.size(), 1u); // no change question for a journal emptied just now
}

TEST_F(Choose, AForeignJournalRefusedKeepsTheJournalInUseIntact) {
    buildJournal(host("D:\\fremd.jnl"), "D:\\b.bin", 0, {{0, 512, 0, 1, 1}, {512, 512, 0, 1, 2}});
    std::vector<uint8_t> foreign = readAll(host("D:\\fremd.jnl"));
    pushPick("D:\\fremd.jnl");
    expectBox("Protokolldatei löschen / neu laden?", kIdNo);
    pushPick("", false);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    expectUnchanged();
    // The header in memory is the one of the journal in use, not the refused one.
    EXPECT_STREQ(g_jnl.Header.SourceName, src.c_str());
    quietClose();
    EXPECT_EQ(checkJournalFile(host(journalOf("a.bin"))), "");
    JournalHeader h{};
    ASSERT_TRUE(readJournalHeader(host(journalOf("a.bin")), h));
    EXPECT_STREQ(h.SourceName, src.c_str());
    EXPECT_EQ(readAll(host("D:\\fremd.jnl")), foreign);
}

TEST_F(Choose, AJournalOfAChangedSourceAsksTheThreeQuestions) {
    edits("D:\\spaet.jnl", src, 99);
    pushPick("D:\\spaet.jnl");
    expectBox("Datei wurde verändert !", kIdYes);
    expectBox("Daten unbedingt prüfen !", kIdOk);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    EXPECT_STREQ(g_jnl.JnlName, "D:\\spaet.jnl");
    EXPECT_TRUE(journalHasEdits());
}

TEST_F(Choose, TheJournalInUseCannotBeChosenTwice) {
    pushPick(journalOf("a.bin"));
    expectBox("wird bereits verwendet !", kIdOk);
    dispatchCommand(IDM_CHOOSE_JOURNAL, 0);
    expectUnchanged();
}

// ---- emptying ----

TEST_F(Choose, EmptyingAfterNoChangesNothing) {
    std::vector<uint8_t> before = readAll(host(journalOf("a.bin")));
    expectBox("Protokolldatei löschen ?", kIdNo,
              "Soll die Protokolldatei gelöscht werden ?\n\n\tHierbei werden alle "
              "Bearbeitungen\n\n\tund alle Undo-Informationen\n\n\tunwiderruflich gelöscht !");
    dispatchCommand(IDM_DELETE_JOURNAL, 0);
    EXPECT_EQ(readAll(host(journalOf("a.bin"))), before);
    EXPECT_TRUE(journalHasEdits());
    EXPECT_EQ(fake.boxes[0].style, unsigned(kMbYesNo | 0x100 | kMbIconQuestion));
}

TEST_F(Choose, EmptyingAfterYes) {
    g_doc.ReadPtr = 512;
    gotoPage();
    ASSERT_EQ(g_doc.JReadFlag, 1u);
    expectBox("Protokolldatei löschen ?", kIdYes);
    dispatchCommand(IDM_DELETE_JOURNAL, 0);
    ASSERT_TRUE(journalOpen());
    EXPECT_FALSE(journalHasEdits());
    EXPECT_EQ(readAll(host(journalOf("a.bin"))).size(), 1024u);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
    EXPECT_EQ(g_doc.AnfPtr, 512u);
    EXPECT_EQ(g_doc.PageBuf[0], pattern(600)[512]);
    EXPECT_EQ(fake.title, src);
    EXPECT_EQ(checkOpenJournal(), "");
    EXPECT_EQ(checkPageCursors(), "");
}

} // namespace
