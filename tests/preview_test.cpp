// Previews of versions and undo steps, the source view held by F5, and the restore: titles,
// colours, the page given back exactly, what an accept writes, what a restore gives back.
#include "save/preview.h"
#include "tests/support/doc_test.h"

namespace {

const char *kVersionTitle =
    "* * * * *   VERSIONS-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *";
constexpr uint32_t kDark = 0xEEFFEE - 0x101010;

class Preview : public DocTest {
  protected:
    void SetUp() override { DocTest::SetUp(), quietClose(); }
    std::string screen() { // every cell's character and colour
        std::string s;
        for (auto &row : fake.screen)
            for (auto &c : row)
                s += c.ch + std::to_string(c.bg);
        return s;
    }
    void twoSaves() { // 0x123 saved as 41, then as 42
        openWritable(pattern(4096), 3);
        typeAt(0x123, {0x41}), saveAllYes(), typeAt(0x123, {0x42}), saveAllYes(), gotoPair(0);
    }
};

TEST_F(Preview, VersionsStepBothWaysAndEndWithoutATrace) {
    twoSaves();
    run(IDM_TOGGLE_POINTER_WINDOW);
    cursorAt(0x10), paintPage();
    std::string before = screen();
    auto jnl = readAll(jnlHost()), source = sourceNow();
    run(IDM_PREVIOUS_VERSION_KEY); // the last save's edit marked again
    EXPECT_TRUE(fake.title == kVersionTitle && hexBg(0x40) == kDark && charBg(0x40) == 0xEFEFEF);
    EXPECT_TRUE(hexText(0x123) == "42" && hexBg(0x123) == kJournalColour);
    run(IDM_PREVIOUS_VERSION_KEY); // the first save, as saved
    EXPECT_TRUE(hexText(0x123) == "41" && hexBg(0x123) == kDark);
    run(IDM_PREVIOUS_VERSION_KEY), run(IDM_PREVIOUS_VERSION_KEY); // the original copy
    EXPECT_EQ(hexText(0x123), hexByte(original[0x123]));
    std::string pf = fake.modeless.back()->texts[IDC_PF_J1_JADR + 7]; // "Flag/anz."
    EXPECT_TRUE(pf.substr(pf.size() - 9) == "FFFF FFFC" && versionBack() == 1)
        << "4 steps, no more";
    EXPECT_TRUE(versionForward() == 0 && hexText(0x123) == "41");
    key(27);
    EXPECT_TRUE(fake.title == std::string(g_doc.SrcName) + "*" && screen() == before &&
                readAll(jnlHost()) == jnl && sourceNow() == source);
}

TEST_F(Preview, EdgesOfTheVersionPreview) {
    openWritable(pattern(4096), 3);
    gotoPair(2048), run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_FALSE(previewShown()) << "no record";
    typeAt(0x23, {0x55}), typeAt(0x280, {0x66});
    gotoPair(0, 512); // block 2 in place
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_TRUE(g_preview.PreviewState == 13 && hexText(0x80) == hexByte(original[0x280]));
    key(27), gotoPair(0, 256), cursorAt(0x23); // the view from block 1's start, cursor kept
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_TRUE(g_doc.ViewOfs == 0 && g_doc.CurOfs == 0x123);
    EXPECT_EQ(hexText(0x123), hexByte(original[0x123])) << "never saved: the source's bytes";
    EXPECT_EQ(versionBack(), 1);
    type("7"); // ends the preview, then is typed
    EXPECT_TRUE(!previewShown() && g_doc.ViewOfs == 256 && hexBg(0x23) == kInputColour);
}

TEST_F(Preview, AcceptedVersionsWriteWhatTheyShow) {
    twoSaves();
    run(IDM_PREVIOUS_VERSION_KEY), run(IDM_PREVIOUS_VERSION_KEY);
    expectBox("! ! !", kIdCancel), ret();     // Cancel keeps the preview
    g_doc.AccessFlag &= ~kAccWritable, ret(); // refused without write access
    EXPECT_TRUE(previewShown());
    g_doc.AccessFlag |= kAccWritable;
    expectBox("! ! !", kIdOk, "Originaldatei wird verändert !\n\nEinverstanden ?");
    ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    checkJournal("back");
    expectByte(0x123, 0x41, false);
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
    gotoPair(0); // forward to the last save's edits: the first save in force again, under them
    while (g_preview.Steps < 3 && versionForward() == 0) {
    }
    expectBox("! ! !", kIdOk), ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    expectByte(0x123, 0x42, true);
    checkJournal("forward");
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
}

TEST_F(Preview, UndoPreviewAcceptedIsUndo) {
    twoSaves();
    run(IDM_UNDO_PREVIEW_KEY), run(IDM_REDO_PREVIEW_KEY), run(IDM_UNDO_PREVIEW_KEY);
    EXPECT_TRUE(fake.title.find("UNDO-Vorschau") != std::string::npos && hexText(0x123) == "42");
    expectBox("! ! !", kIdOk), ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    checkJournal();
    run(IDM_REDO_PREVIEW_KEY), expectBox("! ! !", kIdOk), ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x42}}));
}

TEST_F(Preview, F5HeldShowsTheSource) {
    openWritable(pattern(4096), 3), typeAt(0x40, {0x99});
    cursorAt(0x50), type("AB"), paintPage(); // a typed input stays
    std::string before = screen();
    run(IDM_SHOW_ORIGINAL), run(IDM_SHOW_ORIGINAL); // the key repeats
    EXPECT_TRUE(fake.title == g_doc.SrcName && hexBg(0x40) == kPlainHexBg &&
                hexText(0x40) == hexByte(original[0x40]));
    onKeyUp(0x74);
    EXPECT_EQ(screen(), before);
    cursorAt(0x60), run(IDM_SHOW_ORIGINAL), type("CD"), ret(); // typing ends it first
    expectByte(0x40, 0x99, true), expectByte(0x50, 0xAB, true), expectByte(0x60, 0xCD, true);
}

// All first bytes (also above the newest record), typed inputs kept; refused: no change.
TEST_F(Preview, RestoreGivesEveryBlockItsFirstBytes) {
    for (uint32_t mode : {1u, 2u, 3u}) {
        openWritable(pattern(8192), mode, "r" + std::to_string(mode) + ".bin");
        run(IDM_DIRECT_MODE), answerSavePage(true), typeAt(100, {0x30}), run(IDM_JOURNAL_MODE);
        typeAt(3000, {0x31}), typeAt(300, {0x32}), saveAllYes();
        typeAt(3001, {0x33}), saveAllYes(), run(IDM_UNDO_RUN), typeAt(5000, {0x34});
        auto jnl = readAll(jnlHost());
        g_doc.AccessFlag &= ~kAccWritable;
        expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel), run(IDM_RESTORE_ORIGINAL);
        EXPECT_EQ(readAll(jnlHost()), jnl);
        g_doc.AccessFlag |= kAccWritable, gotoPair(0), cursorAt(0x10), type("55");
        run(IDM_RESTORE_ORIGINAL);
        EXPECT_EQ(sourceNow(), original) << mode;
        EXPECT_EQ(g_jnl.Header.Undo, g_jnl.Header.FirstPtr) << "only the typed input's record";
        expectByte(0x10, 0x55, true), run(IDM_CLOSE_FILE);
    }
}

} // namespace
