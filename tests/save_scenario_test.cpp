// Saving into the source: the three save commands, their questions, the records they write
// (flags as exact values, links, data) and what the screen shows afterwards.
#include "access/textutil.h"
#include "view/status.h"
#include "res/resource.h"
#include "tests/save_fixture.h"

namespace {

class SaveScenario : public SaveTest {
  protected:
    // The block at `adr` of the original source, 512 bytes.
    std::vector<uint8_t> originalBlock(uint64_t adr) {
        std::vector<uint8_t> b(512, 0);
        for (size_t i = 0; i < 512 && adr + i < original.size(); ++i)
            b[i] = original[adr + i];
        return b;
    }
    std::vector<uint8_t> dataOf(const JRec &r) {
        return std::vector<uint8_t>(r.Data, r.Data + 512);
    }
    // The journal's entries (the header also holds the view position, rewritten freely).
    std::vector<uint8_t> entries() {
        std::vector<uint8_t> j = jnlBytes();
        return std::vector<uint8_t>(j.begin() + 1024, j.end());
    }
    std::vector<uint8_t> withBytes(std::vector<uint8_t> v,
                                   const std::vector<std::pair<uint64_t, uint8_t>> &set) {
        for (auto &s : set)
            v[s.first] = s.second;
        return v;
    }
    void expectPlain(uint64_t pos, uint8_t value) {
        g_doc.MarkFlag = 0; // the marking's colours are not under test here
        uint32_t off = showByte(pos);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", value);
        EXPECT_EQ(hexText(off), hex) << "byte " << pos;
        if (off != g_doc.CurOfs) {
            EXPECT_EQ(hexBg(off), kPlainHexBg) << "byte " << pos;
        }
    }
    void expectMarked(uint64_t pos, uint8_t value) {
        g_doc.MarkFlag = 0;
        uint32_t off = showByte(pos);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", value);
        EXPECT_EQ(hexText(off), hex) << "byte " << pos;
        if (off != g_doc.CurOfs) {
            EXPECT_EQ(hexBg(off), kJournalColour) << "byte " << pos;
        }
    }
};

// Flags of the first save of a block with undo for all actions: the commit's 0x18414D, every
// edit saved (0xA30820) and an original copy made (0x10010). The copy starts as the record's
// fields masked with 0xCDE6FA and gets 0x80030; it is neither current nor linked (0x48).
constexpr uint32_t kSavedV = 0xBB497D, kSaved1 = 0xB3497D, kCopy = 0x894030;

TEST_F(SaveScenario, SavePageWritesTheSourceAndKeepsAnOriginalCopy) {
    openWritable(pattern(2000), 3);
    typeAt(0x23, {0x41});
    checkChains("commit");
    savePageYes();
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{0x23, 0x41}}));
    ASSERT_EQ(jnlBytes().size(), 1024u + 2 * 640);
    JRec r = rec(entry(0)), k = rec(entry(1));
    EXPECT_EQ(r.Flags, kSavedV);
    EXPECT_EQ(r.PJnl, entry(1));
    EXPECT_EQ(r.PUndo, entry(1));
    EXPECT_TRUE(isNull(r.NUndo));
    EXPECT_TRUE(isNull(r.NJnl));
    EXPECT_EQ(r.ModBits[4], 0x08) << "the map keeps every byte this version changed";
    EXPECT_EQ(k.Flags, kCopy);
    EXPECT_EQ(k.Adr, 0u);
    EXPECT_EQ(k.Len, 512u);
    EXPECT_TRUE(isNull(k.PJnl));
    EXPECT_EQ(k.NJnl, entry(0));
    EXPECT_TRUE(isNull(k.PUndo));
    EXPECT_EQ(k.NUndo, entry(0));
    EXPECT_EQ(dataOf(k), originalBlock(0)) << "the copy holds the bytes before the save";
    JHdr h = fileHeader();
    EXPECT_EQ(h.UndoFirst, entry(1));
    EXPECT_EQ(h.Undo, entry(0));
    EXPECT_EQ(h.FirstPtr, entry(0));
    expectPlain(0x23, 0x41);
}

TEST_F(SaveScenario, OriginalGuaranteedKeepsTheCopyWithoutVersions) {
    openWritable(pattern(2000), 1);
    typeAt(0x23, {0x41});
    savePageYes();
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{0x23, 0x41}}));
    ASSERT_EQ(jnlBytes().size(), 1024u + 2 * 640);
    EXPECT_EQ(rec(entry(0)).Flags, kSaved1);
    EXPECT_EQ(rec(entry(1)).Flags, kCopy);
    EXPECT_EQ(dataOf(rec(entry(1))), originalBlock(0));
    expectPlain(0x23, 0x41);
}

TEST_F(SaveScenario, WithoutUndoNoCopyIsKept) {
    openWritable(pattern(2000), 0);
    typeAt(0x23, {0x41});
    savePageYes();
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{0x23, 0x41}}));
    ASSERT_EQ(jnlBytes().size(), 1024u + 640) << "no original copy";
    EXPECT_EQ(rec(entry(0)).Flags, 0x10414Du | 0xB33B28u);
    expectPlain(0x23, 0x41);
}

TEST_F(SaveScenario, NoLeavesEverythingAsItWas) {
    openWritable(pattern(2000), 3);
    typeAt(0x23, {0x41});
    std::vector<uint8_t> j = jnlBytes();
    expectBox("Speichern?", kIdNo, "Soll die aktuelle Seite gespeichert werden?");
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(jnlBytes(), j);
    expectMarked(0x23, 0x41);
    EXPECT_EQ(fake.boxes.back().style & 0xF, unsigned(kMbYesNo));
    EXPECT_TRUE(fake.boxes.back().style & 0x100) << "No is the default button";
}

TEST_F(SaveScenario, SecondSaveOfABlockAppendsNoCopy) {
    openWritable(pattern(2000), 3);
    typeAt(0x23, {0x41});
    savePageYes();
    typeAt(0x30, {0x42});
    ASSERT_EQ(jnlBytes().size(), 1024u + 3 * 640) << "the edit is a new version";
    savePageYes();
    checkChains("second save");
    ASSERT_EQ(jnlBytes().size(), 1024u + 3 * 640) << "no second original copy";
    EXPECT_EQ(readAll(src), withBytes(original, {{0x23, 0x41}, {0x30, 0x42}}));
    JRec v2 = rec(entry(2));
    EXPECT_EQ(v2.Flags, kSavedV);
    EXPECT_EQ(v2.PJnl, entry(0));
    EXPECT_EQ(v2.ModBits[6], 0x01) << "its own edit only: the first was saved already";
    EXPECT_EQ(rec(entry(0)).Flags, kSavedV & ~0x8u) << "the older version is not current";
    expectPlain(0x30, 0x42);
}

TEST_F(SaveScenario, RangeLeavingEditsMakesANewVersionAndMovesTheNeighbours) {
    openWritable(pattern(2000), 3);
    typeAt(100, {1});
    typeAt(600, {2});
    typeAt(900, {3}); // a second version of block 512
    typeAt(1100, {4});
    checkChains("commits");
    saveMarkedYes(512, 700);
    checkChains("range save");
    EXPECT_EQ(readAll(src), withBytes(original, {{600, 2}}));
    ASSERT_EQ(jnlBytes().size(), 1024u + 6 * 640);
    // e0 block 0, e1 and e2 versions of block 512, e3 block 1024, e4 the new version, e5 copy.
    JRec v1 = rec(entry(1)), v2 = rec(entry(2)), nv = rec(entry(4)), k = rec(entry(5));
    // The old version: no longer current (0x8), marked as the one before a save in part
    // (0x80); it and every older version learn that an original copy exists (0x10010).
    EXPECT_EQ(v2.Flags, 0x1941D5u);
    EXPECT_EQ(v2.NJnl, entry(4));
    EXPECT_EQ(v1.Flags, 0x194155u);
    EXPECT_EQ(v1.PJnl, entry(5));
    // The new version: 0x238808 on the commit's flags, and 0x10010.
    EXPECT_EQ(nv.Flags, 0x3BC95Du);
    EXPECT_EQ(nv.PJnl, entry(2));
    EXPECT_TRUE(nv.Flags & 0x8);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(nv.ModBits[i], i == (388 >> 3) ? 1 << (388 & 7) : 0) << "map byte " << i;
    EXPECT_EQ(k.Flags, 0x094030u);
    EXPECT_EQ(dataOf(k), originalBlock(512));
    EXPECT_EQ(k.NJnl, entry(1));
    // Every version of both neighbours leads to the new version.
    EXPECT_EQ(rec(entry(0)).NextPtr, entry(4));
    EXPECT_EQ(rec(entry(3)).PrevPtr, entry(4));
    for (int e : {1, 2, 4, 5}) {
        EXPECT_EQ(rec(entry(e)).PrevPtr, entry(0)) << "entry " << e;
        EXPECT_EQ(rec(entry(e)).NextPtr, entry(3)) << "entry " << e;
    }
    JHdr h = fileHeader();
    EXPECT_EQ(h.Undo, entry(4)) << "the save is the newest action";
    expectPlain(600, 2);
    expectMarked(900, 3);
    expectMarked(100, 1);
    expectMarked(1100, 4);
}

TEST_F(SaveScenario, MarkedSaveWithoutMarkingAsksNothing) {
    openWritable(pattern(2000), 3);
    typeAt(10, {1});
    fake.boxes.clear();
    g_doc.MarkFlag = 0;
    run(IDM_SAVE_RANGE);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(readAll(src), original);
}

TEST_F(SaveScenario, RangeWithoutJournalledBytesChangesNothing) {
    openWritable(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(2000, {2});
    std::vector<uint8_t> j = entries();
    saveMarkedYes(600, 1500);
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(entries(), j) << "no entry is changed";
    checkChains("empty range");
}

TEST_F(SaveScenario, RangeEndingAtABlockBoundaryStopsThere) {
    openWritable(pattern(2000), 3);
    typeAt(500, {1});
    typeAt(520, {2});
    uint32_t before = rec(entry(1)).Flags;
    saveMarkedYes(400, 512);
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{500, 1}}));
    EXPECT_EQ(rec(entry(1)).Flags, before) << "the next block is not touched";
    expectMarked(520, 2);
    expectPlain(500, 1);
}

TEST_F(SaveScenario, SavePageFromAViewOffsetSavesTheBytesOnScreen) {
    openWritable(pattern(2000), 3);
    typeAt(100, {1});
    typeAt(300, {2});
    typeAt(700, {3});
    typeAt(800, {4});
    gotoPair(0, 256);
    savePageYes();
    checkChains("save");
    EXPECT_EQ(readAll(src), withBytes(original, {{300, 2}, {700, 3}}));
    expectMarked(100, 1);
    expectMarked(800, 4);
    expectPlain(300, 2);
    expectPlain(700, 3);
}

TEST_F(SaveScenario, TheLastShortBlockIsSavedWithItsLength) {
    openWritable(pattern(1300), 3);
    typeAt(1299, {0xEE});
    saveAllYes();
    checkChains("save");
    std::vector<uint8_t> s = readAll(src);
    ASSERT_EQ(s.size(), 1300u) << "the source never grows";
    EXPECT_EQ(s, withBytes(original, {{1299, 0xEE}}));
    JRec k = rec(entry(1));
    EXPECT_EQ(k.Len, 276u);
    EXPECT_EQ(std::vector<uint8_t>(k.Data, k.Data + 276),
              std::vector<uint8_t>(original.begin() + 1024, original.end()));
}

TEST_F(SaveScenario, SaveAllAsksWithTheNameAndReopensAReadOnlySource) {
    openSource(pattern(2000), true);
    typeAt(0x10, {0x55});
    typeAt(1500, {0x66});
    fake.boxes.clear();
    expectBox("Speichern?", kIdYes, "Datei wurde bearbeitet!");
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk,
              "Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz NEU "
              "öffnen !");
    fake.fileDialogAnswers.push_back({true, src, false});
    run(IDM_SAVE_ALL);
    ASSERT_GE(fake.boxes.size(), 2u);
    char name[51];
    copyPadded(name, 50, src.c_str());
    name[50] = 0;
    EXPECT_EQ(fake.boxes[0].text,
              std::string(name) +
                  "\n\n          Datei wurde bearbeitet!\n\nSollen die Änderungen gespeichert "
                  "werden?\n\nAuch OHNE Speicherung bleiben die Änderungen verfügbar!");
    EXPECT_EQ(fake.boxes[1].style & 0xF, unsigned(kMbOkCancel));
    EXPECT_TRUE(g_doc.AccessFlag & kAccWritable);
    EXPECT_EQ(readAll(src), withBytes(original, {{0x10, 0x55}, {1500, 0x66}}));
    EXPECT_EQ(fake.title, src) << "the title loses its mark";
    checkChains("saveAll");
}

TEST_F(SaveScenario, CancelInTheReopenQuestionEndsTheSave) {
    openSource(pattern(2000), true);
    typeAt(0x10, {0x55});
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel);
    run(IDM_SAVE_ALL);
    EXPECT_EQ(readAll(src), original);
    expectMarked(0x10, 0x55);
}

TEST_F(SaveScenario, SavePageOnAReadOnlySourceOffersOnlyOk) {
    openSource(pattern(2000), true);
    typeAt(0x10, {0x55});
    fake.boxes.clear();
    expectBox("Speichern?", kIdYes);
    expectBox("Ohne Schreibschutz neu öffnen?", kIdOk);
    fake.fileDialogAnswers.push_back({false, "", true}); // the open dialog is cancelled
    run(IDM_SAVE_PAGE);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].style & 0xF, unsigned(kMbOk));
    EXPECT_EQ(readAll(src), original);
}

TEST_F(SaveScenario, ALockedSourceIsWrittenOnlyAfterTheLockIsLifted) {
    openWritable(pattern(2000), 3);
    typeAt(0x10, {0x55});
    ASSERT_EQ(lockSource(), 0);
    expectBox("Speichern?", kIdYes);
    expectBox("Schreibzugriff erlauben ?", kIdNo,
              "Soll der Schreibzugriff auf die Datei ermöglicht werden ?");
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(readAll(src), original);
    expectBox("Speichern?", kIdYes);
    expectBox("Schreibzugriff erlauben ?", kIdYes);
    run(IDM_SAVE_PAGE);
    EXPECT_EQ(readAll(src), withBytes(original, {{0x10, 0x55}}));
}

TEST_F(SaveScenario, SaveAllShowsTheBannerAndTheRecordAndStopsOnEscape) {
    openWritable(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2000, {3});
    std::vector<std::string> rows;
    std::string topLeft;
    uint32_t bannerBg = 0;
    fake.onUnexpected = [&](const std::string &what) {
        rows = {fake.row(15), fake.row(16), fake.row(17)};
        topLeft = fake.cells(0, 0, 21);
        bannerBg = fake.bg(16, 0);
        EXPECT_NE(what.find("Soll der Speichervorgang abgebrochen werden ?"), std::string::npos)
            << what;
    };
    fake.keys = {0, 27}; // another message, then Esc before the second record
    saveAllYes();        // the question is answered No: the save goes on
    std::string stars(88, '*');
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], stars);
    EXPECT_EQ(rows[1], "** Bitte Warten  Bitte Warten  Bitte Warten  Bitte Warten  Bitte "
                       "Warten  Bitte Warten **");
    EXPECT_EQ(rows[2], stars);
    EXPECT_EQ(bannerBg, 0xFFFFFFu);
    EXPECT_EQ(topLeft, " 0000 0000 0000 0400 ") << "the record being saved";
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}, {600, 2}, {2000, 3}}));
    EXPECT_EQ(fake.cells(0, 0, 21), std::string(21, ' '));
    EXPECT_EQ(fake.bg(0, 0), 0xDDDDDDu) << "the field is cleared at the end";
    EXPECT_NE(fake.row(16), rows[1]) << "the page is painted again";
}

TEST_F(SaveScenario, EscapeAnsweredYesLeavesTheRestUnsaved) {
    openWritable(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2000, {3});
    uint32_t f2 = rec(entry(1)).Flags, f3 = rec(entry(2)).Flags;
    fake.keys = {0, 27}; // Esc before the second record
    expectBox("Speichern?", kIdYes);
    expectBox("Abbrechen ?", kIdYes, "Soll der Speichervorgang abgebrochen werden ?");
    run(IDM_SAVE_ALL);
    checkChains("stopped");
    EXPECT_EQ(readAll(src), withBytes(original, {{10, 1}}));
    EXPECT_EQ(rec(entry(1)).Flags, f2);
    EXPECT_EQ(rec(entry(2)).Flags, f3);
    // The one saved record is a run of its own: it neither continues nor follows.
    EXPECT_EQ(rec(entry(0)).Flags & 0x40002u, 0u);
    expectMarked(600, 2);
    expectMarked(2000, 3);
}

TEST_F(SaveScenario, SaveAllMarksItsRunAndSkipsBlocksWithoutEdits) {
    openWritable(pattern(3000), 3);
    typeAt(10, {1});
    typeAt(600, {2});
    typeAt(2000, {3});
    saveAllYes();
    checkChains("run");
    // Address order 0, 512, 1536: the first starts the run, all but the last continue it.
    EXPECT_EQ(rec(entry(0)).Flags & 0x40002u, 0x2u);
    EXPECT_EQ(rec(entry(1)).Flags & 0x40002u, 0x40002u);
    EXPECT_EQ(rec(entry(2)).Flags & 0x40002u, 0x40000u);
    std::vector<uint8_t> j = entries();
    saveAllYes(); // nothing left to save: saved records are not written again
    EXPECT_EQ(entries(), j);
}

// Without undo, "&Alles speichern" leaves every saved record showing the source; the next
// edit of such a block goes into the record's data and must show, not the source's bytes.
TEST_F(SaveScenario, TypingOverABlockSavedWithoutUndoShowsTheTypedBytes) {
    openWritable(pattern(2000), 0);
    typeAt(10, {1});
    saveAllYes();
    typeAt(20, {2});
    expectMarked(20, 2);
    EXPECT_TRUE(viewFromFiles().marked[20]);
}

} // namespace
