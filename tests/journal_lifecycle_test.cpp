// The journal's life as tables of questions and answers: naming, taking a journal into use
// when a source (or the journal itself) is opened, closing, choosing another and emptying.
// Each row gives what lies on disk, the boxes the user sees (caption, exact text, buttons)
// with the answers and file picks, and the outcome on screen and on disk.
#include "tests/support/doc_test.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The questions by a letter of their own: "letter|caption|text|style" ("" text: the refused
// journal's name padded to 50 characters, then the question).
const char *const kQuestions[] = {
    "C|Datei wurde verändert !|Bearbeitungsdatei wurde verändert !\n\nBei Verwendung der "
    "angegebenen Protokolldatei\nkann es zu Inkonsistenzen kommen!\n\nTrotzdem verwenden ?|4",
    "K|Daten unbedingt prüfen !|Um die Gefahr von Datenfehlern zu verringern,\n\nsollten Sie jede "
    "Bearbeitungsstelle\n\nmit F5 auf Fehlerfreiheit prüfen !|1",
    "D|Protokolldatei löschen ?|Soll die Protokolldatei gelöscht werden ?|260",
    "1|alte Version !|Diese Bearbeitungsdatei kann nur bis zur Version 2.10 verwendet werden !|64",
    "2|alte Version !|Diese Bearbeitungsdatei kann nur bis zur Version 2.18 verwendet werden !|64",
    "I|Protokolldatei löschen / neu laden?||260",
    "N|Protokolldatei konnte nicht erstellt werden!|Protokolldatei konnte leider nicht automtisch "
    "erstellt werden !\nWollen Sie sie manuell auswählen (bzw. anlegen) ?|260",
    "M|Protokolldatei konnte nicht erstellt werden!|Protokolldatei konnte leider nicht erstellt "
    "werden !\nWählen Sie ggf. manuell eine Protokolldatei aus !|0",
    "S|Gleiches Laufwerk !|Protokolldatei auf gleichem Laufwerk zulassen?\n\nWenn NEIN, bitte eine "
    "andere Datei angeben !\n\n(-> Extras -> Optionen)|4",
    "G|Bearbeitung öffnen?|Soll die zugehörige Quelldatei (bzw. Laufwerk) geöffnet werden?|36",
    "L|Datei nicht gefunden !|Fehler beim Lesen von Laufwerk C:|1",
    "W|Protokolldatei manuell wählen !|Bitte wählen Sie manuell eine Protokolldatei !|0",
    "P|Protokolldatei speichern ?|Soll die Protokolldatei\n\nfür spätere Verwendung gespeichert "
    "werden ?\n\n(Diese Meldung lässt sich unter Extras->Optionen unterbinden.)|4",
    "O|Datei überschreiben ?|Soll die Datei wirklich überschrieben werden ?|4",
    "F|Schreibfehler !|Fehler beim Schreiben der Datei|0",
    "Z|keine gültige Protokolldatei !|Die ausgewählte Datei enthält zuwenig Daten !\n\nBitte "
    "wählen Sie eine andere Protokolldatei !|49",
    "J|keine gültige Protokolldatei !|Die ausgewählte Datei ist keine gültige Protokolldatei "
    "!\n\nBitte wählen Sie eine andere Protokolldatei !|49",
    "A|keine gültige Protokolldatei !|Die ausgewählte Datei passt nicht zur Hauptdatei !\n\nBitte "
    "wählen Sie eine andere Protokolldatei !|49",
    "U|wird bereits verwendet !|Fehler beim Lesen von C:\\kelmor\\D~1a.bin.jnl|1",
    "V|Speichern?|D:\\a.bin                                          "
    "\n\n          Datei wurde bearbeitet!\n\nSollen die Änderungen gespeichert werden?\n\nAuch "
    "OHNE Speicherung bleiben die Änderungen verfügbar!|36",
    "R|Ohne Schreibschutz neu öffnen?|Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne "
    "Schreibschutz NEU öffnen !|1",
    "E|Protokolldatei löschen ?|Soll die Protokolldatei gelöscht werden ?\n\n\tHierbei werden alle "
    "Bearbeitungen\n\n\tund alle Undo-Informationen\n\n\tunwiderruflich gelöscht !|292",
};

// What lies on disk before the journal is looked for.
enum Start { None, Edits, Older, Newer, Old210, Old218, Foreign, Short, Junk, NoDir, Other, Alt };
const char *const kJ = "C:\\kelmor\\D~1a.bin.jnl"; // the journal of D:\a.bin by its name

class Lifecycle : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        fake.boxes.clear(); // the start-up notice
    }
    // A new program in a new directory, for the next row of a table.
    void restart() {
        TearDown();
        fake.~FakePlatform();
        new (&fake) FakePlatform();
        SetUp();
    }
    std::string host(const std::string &p) { return fake.hostPath(p.c_str()); }
    bool exists(const std::string &p) { return access(host(p).c_str(), F_OK) == 0; }
    // A file of `kind` at `path`: a journal of D:\a.bin with edits at `saved` and saved + 512
    // and its position saved there (view 256), or a file too short or not a journal.
    void lay(Start kind, const std::string &path, uint64_t saved = 4096) {
        if (kind == Short || kind == Junk)
            makeFile(host(path).substr(dir.size() + 1), pattern(kind == Short ? 100 : 3000));
        if (kind == None || kind >= Short) return;
        uint64_t t = fakeLastWriteTime(host("D:\\a.bin")) + (kind == Older ? -10 : kind == Newer);
        buildJournal(host(path), kind == Foreign ? "D:\\other.bin" : "D:\\a.bin", t,
                     {{saved, 512, 0, 1, 11}, {saved + 512, 512, 0, 1, 12}});
        setJournalHead(host(path),
                       kind == Old210   ? 0xABCDEF01
                       : kind == Old218 ? 0xABCDEF02
                                        : 0xABCDEF03,
                       saved, 256);
    }
    // Scripts the answers ("Cy Ko": question C answered Yes, K Ok; n No, c Cancel) and the
    // journal picks ("|"-separated; "-" cancels).
    void answer(const std::string &boxes, const std::string &picks) {
        const int ids[] = {kIdYes, kIdNo, kIdOk, kIdCancel};
        for (size_t i = 0; i + 1 < boxes.size(); i += 3)
            expectBox(question(boxes[i]).substr(2, question(boxes[i]).find('|', 2) - 2),
                      ids[std::string("ynoc").find(boxes[i + 1])]);
        for (size_t at = 0, bar; at < picks.size(); at = bar + 1) {
            bar = std::min(picks.find('|', at), picks.size());
            std::string p = picks.substr(at, bar - at);
            fake.fileDialogAnswers.push_back({p != "-", p == "-" ? "" : p, false});
        }
    }
    // The boxes shown were exactly these; journal dialogs come after `skip` file dialogs.
    void expectShown(const std::string &boxes, size_t skip, const std::string &refused = "") {
        ASSERT_EQ(fake.boxes.size(), (boxes.size() + 1) / 3) << boxes;
        for (size_t i = 0; i < fake.boxes.size(); ++i) {
            std::string q = question(boxes[3 * i]), caption = q.substr(2, q.find('|', 2) - 2);
            std::string text = q.substr(q.find('|', 2) + 1), style = text.substr(text.find('|'));
            text.erase(text.find('|'));
            if (text.empty())
                text = (refused + std::string(50, ' ')).substr(0, 50) +
                       "\n\nUngültige Protokolldatei. Soll sie gelöscht werden?";
            EXPECT_EQ(fake.boxes[i].caption + "|" + fake.boxes[i].text + "|" +
                          std::to_string(fake.boxes[i].style),
                      caption + "|" + text + style)
                << i;
        }
        for (size_t i = skip; i < fake.fileDialogsShown.size(); ++i) {
            EXPECT_EQ(fake.fileDialogsShown[i].filterIndex, 2);
            EXPECT_FALSE(fake.fileDialogsShown[i].showReadOnly);
        }
    }
    static std::string question(char code) {
        for (std::string q : kQuestions)
            if (q[0] == code) return q;
        return "?|?|?|?";
    }
    // The journal `name` is in use: on the status line, its edits in the title mark and on
    // the page at `page`, its chains sound.
    void expectInUse(const std::string &name, bool edits, uint64_t page, const std::string &shown) {
        ASSERT_TRUE(journalOpen());
        EXPECT_EQ(fake.cells(33, 0, 45), (name + std::string(45, ' ')).substr(0, 45));
        EXPECT_EQ(fake.title, shown + (edits ? "*" : ""));
        EXPECT_EQ(first(), page);
        checkJournal();
        checkScreen(viewFromFiles());
    }
    // The file at `path` is a fresh journal of `source`.
    void expectEmpty(const std::string &path, const std::string &source = "D:\\a.bin") {
        JFile f(host(path));
        EXPECT_EQ(f.length, 1024u) << path;
        EXPECT_EQ(f.h.SourceName, source) << path;
    }
    void quietClose() {
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
        run(IDM_CLOSE_FILE);
        EXPECT_EQ(fake.openHandles(), 1); // kelmor.ini only
    }
};

TEST_F(Lifecycle, JournalNames) {
    std::string x236(236, 'x'), pairs, a40, a40enc;
    for (int i = 0; i < 122; ++i)
        pairs += "\\a", a40 += i < 40 ? "a\\" : "", a40enc += i < 40 ? "a~2" : "";
    const struct {
        uint32_t opts;
        std::string in, src, out; // out without ".jnl": a cut name, "~9" and 8 digits follow
    } cases[] = {
        {kJnlFixed, "", "D:\\daten\\film.avi", "C:\\kelmor\\D~1daten~2film.avi.jnl"},
        {kJnlFixed | 0x18, "X:\\egal.jnl", "D:\\other", "X:\\egal.jnl"}, // chosen, with extension
        // drive-relative, a tilde, a separator before a digit, a colon, '/' as '\'
        {kJnlFixed, "", "D:daten/a~2b\\2c~0:d", "C:\\kelmor\\D~0daten~2a~32b~22c~30~0d.jnl"},
        {kJnlFixed, "", "\\\\srv\\share\\f", "C:\\kelmor\\~2~2srv~2share~2f.jnl"},
        {0, "", "D:\\x.bin", "D:\\x.bin.jnl"},                             // beside the source
        {kJnlFixed | kJnlChosen, "E:\\mine", "D:\\x.bin", "E:\\mine.jnl"}, // chosen: its place
        {kJnlFixed | kJnlUseAlternative, "", "C:\\x.bin", "D:\\kelmor\\C~1x.bin.jnl"},
        // 251 characters of directory and path at most (a cut never leaves half a pair),
        // however long their encoding, as long as it fits.
        {kJnlFixed, "", "D:\\" + x236 + "12", "C:\\kelmor\\D~1" + x236 + "12.jnl"},
        {kJnlFixed, "", "D:\\" + a40 + std::string(120, 'x'),
         "C:\\kelmor\\D~1" + a40enc + std::string(120, 'x') + ".jnl"},
        {kJnlFixed, "", "D:\\" + x236 + "123", "C:\\kelmor\\D~1" + x236.substr(8)},
        {kJnlFixed, "", "D:\\bb" + pairs, "C:\\kelmor\\D~1bb" + std::string(225, '-')},
    };
    for (auto c : cases) {
        for (size_t at; (at = c.out.find("---")) != std::string::npos;)
            c.out.replace(at, 3, "~2a");
        char out[260];
        std::strcpy(out, c.in.c_str());
        g_settings.JnlOptions = c.opts;
        EXPECT_EQ(makeJournalName(out, c.src.c_str()), 0) << c.src;
        std::string name = out, hex = "0123456789ABCDEF";
        bool cut = c.out.substr(c.out.size() - 4) != ".jnl"; // "~9", 8 hex digits, ".jnl" follow
        if (cut && name.find_first_not_of(hex, c.out.size() + 2) == c.out.size() + 10)
            name.replace(c.out.size() + 2, 8, "########");
        EXPECT_EQ(name, cut ? c.out + "~9########.jnl" : c.out);
        EXPECT_TRUE(c.opts != kJnlFixed || g_settings.JnlOptions == (kJnlFixed | 0x18u));
    }
    // Paths that differ only beyond the cut get different names.
    char a[260] = "", b[260] = "";
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(a, ("D:\\" + x236 + "123").c_str());
    g_settings.JnlOptions = kJnlFixed;
    makeJournalName(b, ("D:\\" + x236 + "124").c_str());
    EXPECT_STRNE(a, b);
    // "immer auf anderes Laufwerk": the source's drive needs consent.
    g_settings.JnlOptions = kJnlFixed | kJnlOtherDrive;
    answer("Sn Sy", "");
    EXPECT_EQ(makeJournalName(a, "c:\\x.bin"), 1);
    EXPECT_EQ(makeJournalName(a, "C:\\x.bin"), 0);
    EXPECT_STREQ(a, "C:\\kelmor\\C~1x.bin.jnl");
    EXPECT_EQ(makeJournalName(a, "D:\\x.bin"), 0); // the chosen name's drive is C:
    expectShown("Sn Sy", 0);
}

TEST_F(Lifecycle, OpeningTakesAJournalIntoUse) {
    enum Disk { Same, Emptied, Absent }; // the file looked at first, afterwards
    struct Case {
        const char *what;
        Start start;
        bool given; // the user opens the journal D:\given.jnl itself
        const char *boxes, *picks;
        std::string journal; // in use afterwards; "" none; "-" not even the source
        bool edits = false;
        Disk disk = Same;
    };
    const std::string kG = "D:\\given.jnl", kX = "C:\\kelmor\\C~1x.bin.jnl";
    const Case cases[] = {
        {"fresh", None, false, "", "", kJ, false, Emptied},
        {"silently", Edits, false, "", "", kJ, true},
        {"changed, yes, ok", Older, false, "Cy Ko", "", kJ, true},
        {"changed, yes, cancel, delete", Older, false, "Cy Kc Dy", "", kJ, false, Emptied},
        {"changed, no, delete", Newer, false, "Cn Dy", "", kJ, false, Emptied},
        {"changed, no, keep", Newer, false, "Cn Dn", "", ""},
        {"2.10", Old210, false, "1o", "", ""},
        {"2.18", Old218, false, "2o", "", ""},
        {"foreign, delete", Foreign, false, "Iy", "", kJ, false, Emptied},
        {"foreign, pick", Foreign, false, "In", "D:\\mine.jnl", "D:\\mine.jnl", true},
        {"too short, no pick", Short, false, "In", "-", ""},
        {"no directory", NoDir, false, "Nn", "", "", false, Absent},
        {"no directory, pick", NoDir, false, "Ny", "C:\\hand.jnl", "C:\\hand.jnl", false, Absent},
        {"no directory, no pick", NoDir, false, "Ny Mo", "-", "", false, Absent},
        {"other drive: alternative", Alt, false, "", "", "D:\\kelmor\\C~1x.bin.jnl", false, Absent},
        {"other drive: allowed", Other, false, "Sy", "", kX, false, Emptied},
        {"other drive: picks", Other, false, "Sn Sn", "C:\\same.jnl|D:\\weg.jnl", "D:\\weg.jnl",
         false, Absent},
        {"other drive: no pick", Other, false, "Sn", "-", "-", false, Absent},
        {"given", Edits, true, "Gy", "", kG, true},
        {"given, changed", Newer, true, "Gy Cn Dn Wo", "", ""},
        {"given, 2.18", Old218, true, "Gy 2o", "", "-"},
        {"given as a plain file", Edits, true, "Gn", "", "C:\\kelmor\\D~1given.jnl.jnl"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        bool other = c.start == Other || c.start == Alt, plain = std::string(c.boxes) == "Gn";
        std::string s = other ? "C:\\x.bin" : "D:\\a.bin", first = c.given ? kG : other ? kX : kJ;
        makeFile(other ? "C/x.bin" : "D/a.bin", pattern(9000));
        lay(c.start, first);
        lay(Edits, "D:\\mine.jnl");
        if (c.start == NoDir) std::strcpy(g_settings.jnlDir, "C:\\fehlt\\");
        if (other)
            g_settings.JnlOptions =
                kJnlFixed | kJnlOtherDrive | (c.start == Alt ? uint32_t(kJnlAlternative) : 0u);
        if (c.start == Alt) mkdir((dir + "/D/kelmor").c_str(), 0755);
        std::vector<uint8_t> before = readAll(host(first));
        fake.fileDialogAnswers.push_back({true, c.given ? kG : s, true});
        answer(c.boxes, c.picks);
        run(IDM_OPEN_FILE);
        expectShown(c.boxes, 1, first);
        // A same drive allowed holds for this document; the option comes back at the next open.
        EXPECT_EQ(bool(g_settings.JnlOptions & kJnlOtherDrive),
                  other && !std::strstr(c.boxes, "Sy"));
        EXPECT_EQ(sourceOpen(), c.journal != "-");
        EXPECT_TRUE(c.journal != "" || !journalOpen());
        EXPECT_TRUE(c.journal != "" || !sourceOpen() || fake.title == s) << fake.title;
        src = host(plain ? kG : s);
        if (c.journal.size() > 1)
            expectInUse(c.journal, c.edits, c.edits ? 4096 + 256 : 0, plain ? kG : s);
        EXPECT_TRUE(c.disk != Same || readAll(host(first)) == before);
        if (c.disk == Emptied) expectEmpty(first, s);
        EXPECT_FALSE((c.disk == Absent || c.given) && exists(c.given ? kJ : first));
        EXPECT_FALSE(c.start == Other && exists("C:\\same.jnl"));
        bool kept = journalHasEdits();
        std::string used = g_jnl.JnlName;
        quietClose();
        EXPECT_TRUE(c.journal.size() < 2 || exists(used) == kept); // an empty one goes
        EXPECT_EQ(g_settings.JnlOptions & kJnlPerFileBits, 0u);
    }
}

TEST_F(Lifecycle, AGivenJournalOfADriveLeavesNoHandleBehind) {
    makeFile("D/a.bin", pattern(9000));
    buildJournal(host("D:\\drive.jnl"), "Laufwerk C:", 0, {{0, 512, 0, 1, 1}});
    expectBox("Bearbeitung öffnen?", kIdYes);
    expectBox("Datei nicht gefunden !", kIdOk, "Fehler beim Lesen von Laufwerk C:"); // no C: here
    openThroughDialog("D:\\drive.jnl");
    openThroughDialog("D:\\a.bin");
    quietClose();
}

// ---- closing, choosing another, emptying: a source with edits is open at 2048 + 512 ----

class WithEdits : public Lifecycle {
  protected:
    std::vector<uint8_t> entries; // the journal's entries as built
    void SetUp() override {
        Lifecycle::SetUp();
        makeFile("D/a.bin", pattern(9000));
        lay(Edits, kJ);
        entries = readAll(host(kJ));
        entries.erase(entries.begin(), entries.begin() + 1024);
        g_settings.MsgOptions &= ~kMsgAskSave;
        open("D:\\a.bin");
        src = host("D:\\a.bin");
        gotoPair(2048, 512);
    }
    // The file at `path` is the journal with its header written back.
    void expectWrittenBack(const std::string &path) {
        JFile f(host(path));
        EXPECT_EQ(f.bytes(1024, f.length), entries) << path;
        EXPECT_EQ(f.h.SavedAnfPtr, 2048u);
        EXPECT_EQ(f.h.SavedViewOfs, 512u);
        EXPECT_EQ(f.h.SourceTime, fakeLastWriteTime(src));
        EXPECT_EQ(f.h.SourceName, "D:\\a.bin");
        std::vector<uint8_t> next = f.bytes(0x303, 0xFD), want(0xFD);
        EXPECT_EQ(next, (std::copy_n("NextJournal", 11, want.begin()), want));
        EXPECT_EQ(checkJournalFile(host(path)), "");
    }
};

TEST_F(WithEdits, ClosingKeepsMovesOrDeletesTheJournal) {
    struct Case {
        const char *what;
        bool ask;
        const char *boxes, *picks;
        bool target;    // D:\da.jnl holds three bytes before
        bool fail;      // the copy fails
        const char *at; // where the journal lies afterwards (nullptr: nowhere)
    } cases[] = {
        {"no", true, "Pn", "", false, false, nullptr},
        {"yes, cancel", true, "Py", "-", false, false, kJ},
        {"yes, new name", true, "Py", "D:\\kept.jnl", false, false, "D:\\kept.jnl"},
        {"overwrite after yes", true, "Py On Oy", "D:\\da.jnl|D:\\da.jnl", true, false,
         "D:\\da.jnl"},
        {"overwrite refused, cancel", true, "Py On", "D:\\da.jnl|-", true, false, kJ},
        {"copy fails", true, "Py Fo", "D:\\kept.jnl", false, true, kJ},
        {"its own name", true, "Py", kJ, false, false, kJ},
        {"not asked", false, "", "", false, false, kJ},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        if (c.target) makeFile("D/da.jnl", {1, 2, 3});
        if (!c.ask) g_settings.MsgOptions &= ~kMsgAskJournal;
        if (c.fail) fake.failWrite(2, kErrDiskFull, "kept.jnl"); // write 1: the header
        answer(c.boxes, c.picks);
        run(IDM_CLOSE_FILE);
        expectShown(c.boxes, 1);
        EXPECT_EQ(fake.openHandles(), 1);
        for (std::string p : {kJ, "D:\\kept.jnl", "D:\\da.jnl"})
            if (c.at && p == c.at)
                continue;
            else if (c.target && p == "D:\\da.jnl") // a refused target stays as it was
                EXPECT_EQ(readAll(host(p)).size(), 3u);
            else
                EXPECT_FALSE(exists(p)) << p;
        if (!c.at) continue;
        expectWrittenBack(c.at);
        if (std::strcmp(c.at, kJ)) continue;
        openThroughDialog("D:\\a.bin"); // found again at the same page
        EXPECT_EQ(first(), 2048u + 512);
        EXPECT_TRUE(journalHasEdits());
    }
}

TEST_F(WithEdits, ChoosingAnotherJournalOrEmptyingIt) {
    struct Case {
        const char *what, *file; // the file picked first
        Start content;
        const char *boxes, *picks;
        const char *journal; // in use afterwards
        bool edits;
        uint64_t page;
        unsigned command = IDM_CHOOSE_JOURNAL;
    } cases[] = {
        {"cancel", "", None, "", "-", kJ, true, 2560},
        {"a new file", "D:\\frisch.jnl", None, "", "D:\\frisch.jnl", "D:\\frisch.jnl", false, 0},
        {"with edits", "D:\\zwei.jnl", Edits, "", "D:\\zwei.jnl", "D:\\zwei.jnl", true, 6400},
        {"too short, ok, cancel", "D:\\kurz.dat", Short, "Zo", "D:\\kurz.dat|-", kJ, true, 2560},
        {"too short, cancel", "D:\\kurz.dat", Short, "Zc", "D:\\kurz.dat", kJ, true, 2560},
        {"no journal, ok, new", "D:\\fremd.dat", Junk, "Jo", "D:\\fremd.dat|D:\\frisch.jnl",
         "D:\\frisch.jnl", false, 0},
        {"another source", "D:\\anders.dat", Foreign, "Ac", "D:\\anders.dat", kJ, true, 2560},
        {"2.10", "D:\\alt.dat", Old210, "1o", "D:\\alt.dat", kJ, true, 2560},
        {"foreign, delete", "D:\\fremd.jnl", Foreign, "Iy", "D:\\fremd.jnl", "D:\\fremd.jnl", false,
         0},
        {"foreign, keep", "D:\\fremd.jnl", Foreign, "In", "D:\\fremd.jnl|-", kJ, true, 2560},
        {"changed source", "D:\\spaet.jnl", Newer, "Cy Ko", "D:\\spaet.jnl", "D:\\spaet.jnl", true,
         6400},
        {"in use", kJ, None, "Uo", kJ, kJ, true, 2560},
        {"empty: no", "", None, "En", "", kJ, true, 2560, IDM_DELETE_JOURNAL},
        {"empty: yes", "", None, "Ey", "", kJ, false, 2560, IDM_DELETE_JOURNAL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        lay(c.content, c.file, 6144);
        std::vector<uint8_t> picked = readAll(host(c.file));
        answer(c.boxes, c.picks);
        run(c.command);
        expectShown(c.boxes, 1, c.file);
        expectInUse(c.journal, c.edits, c.page, "D:\\a.bin");
        EXPECT_EQ(fake.openHandles(), 3); // kelmor.ini, source, journal
        if (!c.edits) expectEmpty(c.journal);
        EXPECT_TRUE(!*c.file || !std::strcmp(c.file, c.journal) || readAll(host(c.file)) == picked)
            << c.file;
        quietClose();
        if (c.edits && !std::strcmp(c.journal, kJ)) expectWrittenBack(kJ);
    }
}

// A journal file opened with a document open: whatever the old document is asked, the chosen
// journal stays as it was, and where it cannot be used nothing points at it afterwards.
TEST_F(WithEdits, OpeningAJournalFileKeepsIt) {
    const char *b = "D:\\b.jnl", *o = "D:\\other.bin"; // others: of a drive, of no file
    const struct {
        const char *given, *boxes, *picks, *old; // old: where the old journal lies afterwards
    } cases[] = {{b, "Gy Pn", "", nullptr},
                 {b, "Gy Py", "-", kJ},
                 {b, "Gy Py", "D:\\k.jnl", "D:\\k.jnl"},
                 {b, "Gy Py", "D:\\b.jnl|-", kJ},
                 {b, "Gy Vn Pn", "", nullptr},
                 {b, "Gy Vy Rc Py", "-", kJ},
                 {b, "Gy Vy Ro Rc Pn", "-", nullptr},
                 {b, "Gy Vy Ro Pn", "D:\\a.bin", nullptr},
                 {kJ, "Gy Uo Py", "-", kJ},
                 {kJ, "Gy Uo Vn Py", "-", kJ},
                 {"D:\\drive.jnl", "Gy Lo Pn", "", nullptr},
                 {"D:\\weg.jnl", "Gy Pn", "", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.given) + " " + c.boxes + " " + c.picks);
        restart();
        makeFile("D/other.bin", pattern(5000));
        buildJournal(host(b), o, fakeLastWriteTime(host(o)), {{1024, 512, 0, 1, 21}});
        setJournalHead(host(b), 0xABCDEF03, 1024, 0);
        buildJournal(host("D:\\drive.jnl"), "Laufwerk C:", 0, {{0, 512, 0, 1, 1}});
        buildJournal(host("D:\\weg.jnl"), "D:\\fehlt.bin", 0, {{0, 512, 0, 1, 1}});
        if (std::strchr(c.boxes, 'V')) g_settings.MsgOptions |= kMsgAskSave;
        std::vector<uint8_t> chosen = readAll(host(c.given));
        fake.fileDialogAnswers.push_back({true, c.given, true});
        answer(c.boxes, c.picks);
        run(IDM_OPEN_FILE);
        if (c.given != b) run(IDM_CLOSE_FILE); // the old document stayed
        expectShown(c.boxes, 2 + (std::strstr(c.boxes, "Ro") != nullptr)); // open, reopen
        if (c.given == b) src = host(o), expectInUse(b, true, 1024, o), src = host("D:\\a.bin");
        if (c.given != kJ) EXPECT_EQ(readAll(host(c.given)), chosen);
        for (const char *p : {kJ, "D:\\k.jnl"})
            EXPECT_EQ(exists(p), c.old && !std::strcmp(p, c.old)) << p;
        if (c.old) expectWrittenBack(c.old);
        quietClose();
    }
}

} // namespace
