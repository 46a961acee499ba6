// Previews of versions and undo steps, the source view held by F5, and restoring the source:
// titles and colours, the page given back exactly, what an accept writes, what a restore
// gives back.
#include "save/preview.h"
#include "tests/support/doc_test.h"

namespace {

const char *kVersionTitle =
    "* * * * *   VERSIONS-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *";
const char *kUndoTitle =
    "* * * * *   UNDO-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *";
constexpr uint32_t kDarkHex = 0xEEFFEE - 0x101010;

class Preview : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
    std::vector<FakeCell> cells() {
        return std::vector<FakeCell>(&fake.screen[0][0],
                                     &fake.screen[0][0] + sizeof fake.screen / sizeof(FakeCell));
    }
    static bool same(const std::vector<FakeCell> &a, const std::vector<FakeCell> &b) {
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].ch != b[i].ch || a[i].bg != b[i].bg) {
                ADD_FAILURE() << "cell " << i / FakePlatform::kCols << ","
                              << i % FakePlatform::kCols;
                return false;
            }
        return true;
    }
    // Byte 0x123 saved as 0x41, then 0x42 saved over it: two saved versions and a copy.
    void twoSaves(uint32_t mode) {
        openWritable(pattern(4096), mode);
        typeAt(0x123, {0x41});
        saveAllYes();
        typeAt(0x123, {0x42});
        saveAllYes();
        gotoPair(0);
    }
};

// F2 shows the older stages under the preview's title and colours; any other key gives the
// page, the title and both files back exactly.
TEST_F(Preview, VersionPreviewShowsOlderStagesAndEndsWithoutATrace) {
    twoSaves(3);
    run(IDM_TOGGLE_POINTER_WINDOW);
    cursorAt(0x10);
    paintPage();
    auto before = cells();
    auto jnl = readAll(jnlHost()), source = sourceNow();
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_EQ(fake.title, kVersionTitle);
    EXPECT_EQ(hexBg(0x40), kDarkHex);
    EXPECT_EQ(hexText(0x123), "42");
    EXPECT_NE(hexBg(0x123), kDarkHex) << "the second save's edit is marked again";
    EXPECT_EQ(g_jnl.JData1.PreviewSteps, -1);
    run(IDM_PREVIOUS_VERSION_KEY); // the first save, as saved
    EXPECT_EQ(hexText(0x123), "41");
    EXPECT_EQ(hexBg(0x123), kDarkHex);
    run(IDM_PREVIOUS_VERSION_KEY); // its edit marked
    run(IDM_PREVIOUS_VERSION_KEY); // the original copy
    EXPECT_EQ(hexText(0x123), hexByte(original[0x123]));
    EXPECT_EQ(g_jnl.JData1.PreviewSteps, -4);
    std::string pf = fake.modeless.back()->texts[IDC_PF_J1_JADR + 7]; // "Flag/anz."
    EXPECT_EQ(pf.substr(pf.size() - 9), "FFFF FFFC") << "the steps beside the flags: " << pf;
    EXPECT_EQ(versionBack(), 1) << "nothing older";
    run(IDM_NEXT_VERSION_KEY);
    EXPECT_EQ(hexText(0x123), "41");
    key(27);
    EXPECT_EQ(fake.title, std::string(g_doc.SrcName) + "*");
    EXPECT_TRUE(same(cells(), before)) << "the page as it was";
    EXPECT_EQ(readAll(jnlHost()), jnl);
    EXPECT_EQ(sourceNow(), source);
}

TEST_F(Preview, F2OnABlockWithoutRecordOrOnlyUnsavedDoesLittle) {
    openWritable(pattern(4096), 3);
    gotoPair(2048);
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_FALSE(previewShown());
    typeAt(0x23, {0x55});
    gotoPair(0, 256); // the view in the middle of block 1, cursor on byte 0x123
    cursorAt(0x23);
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    EXPECT_EQ(g_doc.CurOfs, 0x123u) << "the cursor stays on its byte";
    EXPECT_EQ(hexText(0x23), hexByte(original[0x23])) << "the source before the edit";
    EXPECT_EQ(hexBg(0x23), kDarkHex);
    EXPECT_EQ(versionBack(), 1);
    type("7"); // a character ends the preview, then is typed
    EXPECT_FALSE(previewShown());
    EXPECT_EQ(g_doc.ViewOfs, 256u);
    EXPECT_EQ(hexBg(0x23), kInputColour);
}

// Block 2 (view offset 512) is previewed in place.
TEST_F(Preview, ViewOffset512WorksOnBlock2) {
    openWritable(pattern(4096), 3);
    typeAt(0x280, {0x66});
    gotoPair(0, 512);
    run(IDM_PREVIOUS_VERSION_KEY);
    EXPECT_EQ(g_preview.PreviewState, 13u);
    EXPECT_EQ(hexText(0x80), hexByte(original[0x280]));
    run(IDM_NEXT_VERSION_KEY);
    EXPECT_EQ(g_preview.PreviewState, 9u);
    EXPECT_EQ(hexText(0x80), "66");
}

// Return takes the older version: the source gets its bytes after the question, the block's
// current version moves, and the journal stays sound.
TEST_F(Preview, AcceptingAnOlderVersionWritesItsBytes) {
    twoSaves(3);
    run(IDM_PREVIOUS_VERSION_KEY);
    run(IDM_PREVIOUS_VERSION_KEY);
    // Cancel keeps the preview; without write access the accept is refused.
    expectBox("! ! !", kIdCancel);
    ret();
    EXPECT_TRUE(previewShown());
    g_doc.AccessFlag &= ~kAccWritable;
    ret();
    EXPECT_TRUE(previewShown());
    g_doc.AccessFlag |= kAccWritable;
    expectBox("! ! !", kIdOk, "Originaldatei wird verändert !\n\nEinverstanden ?");
    ret();
    EXPECT_FALSE(previewShown());
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    EXPECT_EQ(fake.title.back(), '*');
    checkJournal("after the accept");
    expectByte(0x123, 0x41, false);
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
    // Forward to a save again: it goes to the undo cursor, so undo takes it back.
    gotoPair(0);
    while (g_preview.Steps < 2 && versionForward() == 0) {
    }
    expectBox("! ! !", kIdOk);
    ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    checkJournal("after the forward accept");
    run(IDM_UNDO_ALL);
    EXPECT_EQ(sourceNow(), original);
}

// Alt+F2 shows what undo would give; Return does it.
TEST_F(Preview, UndoPreviewAcceptedIsUndo) {
    twoSaves(3);
    auto jnl = readAll(jnlHost());
    run(IDM_UNDO_PREVIEW_KEY);
    EXPECT_EQ(fake.title, kUndoTitle);
    EXPECT_EQ(hexText(0x123), "42");
    EXPECT_EQ(g_preview.PreviewState, 6u);
    key(27);
    EXPECT_EQ(readAll(jnlHost()), jnl);
    run(IDM_UNDO_PREVIEW_KEY);
    run(IDM_REDO_PREVIEW_KEY);
    run(IDM_UNDO_PREVIEW_KEY);
    expectBox("! ! !", kIdOk);
    ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x41}}));
    checkJournal("after the undo preview");
    run(IDM_REDO_PREVIEW_KEY);
    expectBox("! ! !", kIdOk);
    ret();
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x123, 0x42}}));
}

// F5 held: the source's bytes without marks under the source name; the release gives the
// journalled view back, typed inputs included.
TEST_F(Preview, F5HeldShowsTheSource) {
    openWritable(pattern(4096), 3);
    typeAt(0x40, {0x99});
    cursorAt(0x50);
    type("AB");
    paintPage();
    auto before = cells();
    run(IDM_SHOW_ORIGINAL);
    EXPECT_EQ(fake.title, g_doc.SrcName);
    EXPECT_EQ(hexText(0x40), hexByte(original[0x40]));
    EXPECT_EQ(hexBg(0x40), kPlainHexBg);
    run(IDM_SHOW_ORIGINAL); // the key repeats
    onKeyUp(0x74);
    EXPECT_TRUE(same(cells(), before));
    ret();
    expectByte(0x50, 0xAB, true);
    // Typing while F5 is held acts on the page as it really is.
    gotoPair(0);
    cursorAt(0x60);
    run(IDM_SHOW_ORIGINAL);
    type("CD");
    EXPECT_EQ(fake.title, std::string(g_doc.SrcName) + "*");
    ret();
    expectByte(0x40, 0x99, true);
    expectByte(0x60, 0xCD, true);
}

// Without write access and the reopen cancelled, the restore leaves everything as it was.
TEST_F(Preview, RestoreRefusedChangesNothing) {
    openWritable(pattern(4096), 3);
    typeAt(0x23, {0x41});
    saveAllYes();
    auto jnl = readAll(jnlHost());
    g_doc.AccessFlag &= ~kAccWritable;
    expectBox("Ohne Schreibschutz neu öffnen?", kIdCancel);
    run(IDM_RESTORE_ORIGINAL);
    EXPECT_EQ(readAll(jnlHost()), jnl);
    EXPECT_EQ(sourceNow(), withBytes(original, {{0x23, 0x41}}));
    checkJournal();
}

// Restore gives every saved block its first bytes, also blocks above the newest record made,
// detaches the chains and keeps typed inputs as edits of the restored source.
TEST_F(Preview, RestoreGivesEveryBlockItsFirstBytes) {
    for (uint32_t mode : {1u, 2u, 3u}) {
        SCOPED_TRACE(mode);
        openWritable(pattern(8192), mode, "r" + std::to_string(mode) + ".bin");
        typeAt(3000, {0x31});
        typeAt(300, {0x32});
        saveAllYes();
        typeAt(3001, {0x33});
        saveAllYes();
        run(IDM_UNDO_RUN);
        typeAt(5000, {0x34}); // journalled only
        gotoPair(0);
        cursorAt(0x10);
        type("55");
        run(IDM_RESTORE_ORIGINAL);
        EXPECT_EQ(sourceNow(), original);
        EXPECT_EQ(g_jnl.Header.Undo, g_jnl.Header.FirstPtr) << "only the typed input's record";
        checkJournal("after the restore");
        EXPECT_EQ(viewFromFiles().marked[5000], 0) << "journalled edits are detached";
        expectByte(0x10, 0x55, true);
        run(IDM_CLOSE_FILE);
    }
}

} // namespace
