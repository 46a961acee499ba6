// Background and cursor movement, pages, file start and end, rasters, arrow-key dispatch.
#include "tests/navigation_fixture.h"

#include "app/settings.h"
#include "app/startup.h"
#include "view/status.h"
#include "res/resource.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/scroll.h"

namespace {

class NavigationMoves : public NavTest {};

TEST_F(NavigationMoves, PageDownShowsBlockTwoBeforeTheNextPair) {
    open(sigFile("a.bin", 5000));
    expectPage(0);
    // (AnfPtr, ViewOfs) after each PgDn: block 2 of a pair comes before the next pair.
    const uint64_t anf[] = {0, 1024, 1024, 2048, 2048, 3072, 3072, 4096, 4096};
    const uint32_t view[] = {512, 0, 512, 0, 512, 0, 512, 0, 512};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(pageDown(), 0) << i;
        EXPECT_EQ(g_doc.AnfPtr, anf[i]) << i;
        EXPECT_EQ(g_doc.ViewOfs, view[i]) << i;
        expectPage(anf[i] + view[i]);
    }
    // The last pair: nothing more to show.
    fake.textCalls = 0;
    EXPECT_EQ(pageDown(), 1);
    EXPECT_EQ(first(), 4608u);
    EXPECT_EQ(fake.textCalls, 0);
    // And back up, the mirror image.
    for (int i = 7; i >= 0; --i) {
        EXPECT_EQ(pageUp(), 0) << i;
        EXPECT_EQ(first(), anf[i] + view[i]) << i;
    }
    EXPECT_EQ(pageUp(), 0);
    expectPage(0);
    EXPECT_EQ(pageUp(), 1);
}

TEST_F(NavigationMoves, PageKeysThroughTheCommandTable) {
    open(sigFile("a.bin", 3000));
    run(IDM_PAGE_DOWN);
    expectPage(512);
    run(IDM_PAGE_DOWN);
    expectPage(1024);
    run(IDM_PAGE_UP);
    expectPage(512);
}

TEST_F(NavigationMoves, PageDownFromAnUnalignedViewMovesByAPage) {
    open(sigFile("a.bin", 8000));
    g_settings.scrollRaster = 1;
    chooseScrollRaster(1);
    run(IDM_ALT_ARROW_RIGHT); // one byte: ViewOfs 1
    ASSERT_EQ(first(), 1u);
    EXPECT_EQ(pageDown(), 0);
    expectPage(513);
    EXPECT_EQ(pageDown(), 0);
    expectPage(1025);
    EXPECT_EQ(pageUp(), 0);
    expectPage(513);
    EXPECT_EQ(pageUp(), 0);
    expectPage(1);
    EXPECT_EQ(pageUp(), 0);
    expectPage(0);
}

TEST_F(NavigationMoves, CtrlEndOnAThousandByteFilePutsTheCursorOnTheLastByte) {
    open(sigFile("a.bin", 1000));
    for (int i = 0; i < 31; ++i)
        run(IDM_ARROW_DOWN);
    run(IDM_ARROW_RIGHT);
    run(IDM_ARROW_RIGHT);
    ASSERT_EQ(g_doc.CurOfs, 498u);
    run(IDM_FILE_END_KEY);
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    EXPECT_EQ(g_doc.CurOfs, 999u - 512);
    expectPage(512);
    // The cursor cell is drawn on byte 999: row 30, column 7.
    EXPECT_EQ(fake.bg(31, hexCol(7)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(31, charCol(7)), kCursorInactiveBg);
    EXPECT_EQ(fake.bg(31, hexCol(8)), kHexBgDefault);
    // Again: nothing changes.
    EXPECT_EQ(fileEnd(), 1);
}

TEST_F(NavigationMoves, CtrlEndAndCtrlHomeOnA64GiBSparseFile) {
    const uint64_t size = 64ull << 30;
    open(sparseWith("big.bin", size, {{0, 2048}, {size - 4096, 4096}}));
    EXPECT_EQ(g_doc.LastPairPtr, size - 1024);
    run(IDM_FILE_END_KEY);
    EXPECT_EQ(g_doc.AnfPtr, size - 1024);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(size - 512);
    EXPECT_EQ(fake.scrollPos, fake.scrollMax);
    run(IDM_PAGE_UP);
    expectPage(size - 1024);
    run(IDM_PAGE_UP);
    expectPage(size - 1536);
    run(IDM_FILE_START_KEY);
    EXPECT_EQ(g_doc.AnfPtr, 0u);
    expectPage(0);
    EXPECT_EQ(fake.scrollPos, 0);
    // The menu items run the same handlers.
    run(IDM_FILE_END);
    expectPage(size - 512);
    run(IDM_FILE_START);
    expectPage(0);
    EXPECT_EQ(fileStart(), 1);
}

TEST_F(NavigationMoves, CtrlHomeWithinTheFirstPairResetsTheView) {
    open(sigFile("a.bin", 4000));
    run(IDM_ALT_ARROW_RIGHT);
    run(IDM_ALT_ARROW_RIGHT);
    ASSERT_EQ(g_doc.ViewOfs, 2u);
    run(IDM_FILE_START_KEY);
    expectPage(0);
    // The labels are back to 00..0F.
    EXPECT_EQ(fake.cells(0, 21, 7), " 00 01 ");
}

// The view moves by the raster's line step; Right in background movement only in "Byte".
struct RasterCase {
    uint32_t mode;
    uint32_t lineStep;
    bool byteSteps;
};

class NavigationRaster : public NavTest, public ::testing::WithParamInterface<RasterCase> {};

TEST_P(NavigationRaster, BackgroundStepsFollowTheRaster) {
    const RasterCase rc = GetParam();
    open(sigFile("a.bin", 20000));
    chooseScrollRaster(rc.mode);
    uint64_t expect = 0;
    for (int i = 0; i < 6; ++i) {
        run(IDM_ALT_ARROW_DOWN); // cursor-movement mode: Alt+Down moves the page
        expect += rc.lineStep;
        ASSERT_EQ(first(), expect) << "step " << i;
    }
    expectPage(expect);
    run(IDM_ALT_ARROW_RIGHT);
    if (rc.byteSteps) ++expect;
    EXPECT_EQ(first(), expect);
    run(IDM_ALT_ARROW_LEFT);
    if (rc.byteSteps) --expect;
    EXPECT_EQ(first(), expect);
    for (int i = 0; i < 6; ++i) {
        run(IDM_ALT_ARROW_UP);
        expect -= rc.lineStep;
        ASSERT_EQ(first(), expect) << "up " << i;
    }
    expectPage(0);
    EXPECT_EQ(lineUp(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rasters, NavigationRaster,
                         ::testing::Values(RasterCase{1, 16, true}, RasterCase{2, 16, false},
                                           RasterCase{4, 256, false}, RasterCase{8, 512, false}));

TEST_F(NavigationMoves, PageLockDownAtTheBottomRowMovesTheViewByAPage) {
    open(sigFile("a.bin", 20000));
    chooseScrollRaster(8);
    for (int i = 0; i < 31; ++i)
        run(IDM_ARROW_DOWN);
    ASSERT_EQ(first(), 0u);
    ASSERT_EQ(g_doc.CurOfs, 496u);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(first(), 512u);
    EXPECT_EQ(cursorPosition(), 512u);
    EXPECT_EQ(g_doc.CurOfs, 0u);
    expectPage(512);
}

TEST_F(NavigationMoves, BackgroundMovementSwapsTheArrows) {
    open(sigFile("a.bin", 20000));
    g_settings.movement = 1;
    applyOptions();
    ASSERT_FALSE(g_doc.ModFlag & kModCursorMove);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(first(), 16u);
    EXPECT_EQ(g_doc.CurOfs, 0u);
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(first(), 17u);
    EXPECT_EQ(fake.cells(0, 21, 7), " 01 02 "); // labels rotate with the view
    run(IDM_ARROW_LEFT);
    run(IDM_ARROW_UP);
    EXPECT_EQ(first(), 0u);
    run(IDM_ALT_ARROW_DOWN);
    EXPECT_EQ(g_doc.CurOfs, 16u);
    run(IDM_ALT_ARROW_RIGHT);
    EXPECT_EQ(g_doc.CurOfs, 17u);
    run(IDM_ALT_ARROW_LEFT);
    run(IDM_ALT_ARROW_UP);
    EXPECT_EQ(g_doc.CurOfs, 0u);
    EXPECT_EQ(first(), 0u);
}

TEST_F(NavigationMoves, LineStepsCrossBlocksAndThe4GiBBoundary) {
    const uint64_t size = 6ull << 30;
    const uint64_t at = 0xFFFFF000ull;
    open(sparseWith("big.bin", size, {{at, 0x4000}}));
    showPosition(at);
    expectPage(at);
    uint64_t expect = at;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(lineDown(), 0);
        expect += 16;
        ASSERT_EQ(first(), expect);
        ASSERT_LE(g_doc.ViewOfs, g_doc.Blk2Flag);
    }
    expectPage(expect);
    ASSERT_GT(expect, 0x100000000ull);
    EXPECT_EQ(g_doc.AnfPtr >> 32, 1u);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(lineUp(), 0);
        expect -= 16;
        ASSERT_EQ(first(), expect);
    }
    expectPage(at);
    // Bytewise across the boundary too.
    showPosition(0xFFFFFF00ull);
    for (int i = 0; i < 600; ++i)
        ASSERT_EQ(byteRight(), 0);
    expectPage(0xFFFFFF00ull + 600);
    for (int i = 0; i < 600; ++i)
        ASSERT_EQ(byteLeft(), 0);
    expectPage(0xFFFFFF00ull);
}

TEST_F(NavigationMoves, LineDownStopsAtTheEndWithTheLastBytesShown) {
    open(sigFile("a.bin", 1536 + 300));
    for (int i = 0; i < 200 && lineDown() == 0; ++i) {
    }
    // The last pair starts at 1024; its block 2 (from 1536) holds the last 300 bytes.
    EXPECT_EQ(g_doc.AnfPtr, 1024u);
    EXPECT_EQ(g_doc.ViewOfs, 512u);
    expectPage(1536);
    EXPECT_EQ(lineDown(), 1);
    // Page lock never leaves the view beyond the data either.
    chooseScrollRaster(8);
    run(IDM_FILE_START_KEY);
    int moves = 0;
    while (lineDown() == 0)
        ++moves;
    EXPECT_EQ(first(), 1536u);
    EXPECT_EQ(moves, 3);
    expectPage(1536);
}

TEST_F(NavigationMoves, ByteStepsAtTheEndOfTheLastPair) {
    open(sigFile("a.bin", 1024));
    showPosition(500);
    ASSERT_EQ(first(), 500u);
    // Line step 16 would pass block 2's start: the view stops there instead.
    EXPECT_EQ(lineDown(), 0);
    EXPECT_EQ(first(), 512u);
    EXPECT_EQ(lineDown(), 1);
    EXPECT_EQ(byteRight(), 1);
    expectPage(512);
}

TEST_F(NavigationMoves, CursorMovesWithinThePageRedrawOnlyTheTwoCells) {
    open(sigFile("a.bin", 4000));
    fake.textCalls = 0;
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(g_doc.CurOfs, 1u);
    EXPECT_EQ(g_doc.CurHexX, (21 + 4) * 8);
    EXPECT_EQ(g_doc.CurCharX, (21 + 52) * 8);
    EXPECT_LE(fake.textCalls, 4);
    EXPECT_EQ(fake.bg(1, hexCol(1)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kHexBgDefault);
    EXPECT_EQ(fake.bg(1, charCol(0)), kCharBgDefault);
    expectSameAsRepaint();
    // Column 7 to 8 crosses the group gap.
    for (int i = 0; i < 6; ++i)
        run(IDM_ARROW_RIGHT);
    int x7 = g_doc.CurHexX;
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(g_doc.CurHexX - x7, 4 * 8);
    // End of row to the next row, and back.
    run(IDM_ROW_END);
    EXPECT_EQ(g_doc.CurOfs, 15u);
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(g_doc.CurOfs, 16u);
    EXPECT_EQ(g_doc.CurY, 2 * 16);
    run(IDM_ARROW_LEFT);
    EXPECT_EQ(g_doc.CurOfs, 15u);
    run(IDM_ROW_START);
    EXPECT_EQ(g_doc.CurOfs, 0u);
    run(IDM_ARROW_DOWN);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(g_doc.CurOfs, 32u);
    run(IDM_ARROW_UP);
    EXPECT_EQ(g_doc.CurOfs, 16u);
    expectSameAsRepaint();
    EXPECT_EQ(first(), 0u);
}

TEST_F(NavigationMoves, CursorAtThePageEdgesScrollsTheView) {
    open(sigFile("a.bin", 4000));
    for (int i = 0; i < 31; ++i)
        run(IDM_ARROW_DOWN);
    run(IDM_ROW_END);
    ASSERT_EQ(g_doc.CurOfs, 511u);
    run(IDM_ARROW_RIGHT); // the last byte of the page: one line further, cursor on byte 512
    EXPECT_EQ(first(), 16u);
    EXPECT_EQ(cursorPosition(), 512u);
    EXPECT_EQ(g_doc.CurOfs, 496u);
    expectPage(16);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(first(), 32u);
    EXPECT_EQ(cursorPosition(), 528u);
    // Up from row 0 scrolls back.
    for (int i = 0; i < 31; ++i)
        run(IDM_ARROW_UP);
    ASSERT_EQ(g_doc.CurOfs, 0u);
    run(IDM_ARROW_UP);
    EXPECT_EQ(first(), 16u);
    EXPECT_EQ(cursorPosition(), 16u);
    run(IDM_ARROW_LEFT); // column 0 of row 0: one line back, cursor on byte 15
    EXPECT_EQ(first(), 0u);
    EXPECT_EQ(cursorPosition(), 15u);
    run(IDM_ROW_START);
    run(IDM_ARROW_LEFT);
    run(IDM_ARROW_UP);
    EXPECT_EQ(cursorPosition(), 0u);
    EXPECT_EQ(first(), 0u);
    expectSameAsRepaint();
}

TEST_F(NavigationMoves, CursorStopsAtTheLastByte) {
    open(sigFile("a.bin", 40));
    run(IDM_ARROW_DOWN);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(g_doc.CurOfs, 32u);
    run(IDM_ARROW_DOWN); // byte 48 does not exist
    EXPECT_EQ(g_doc.CurOfs, 32u);
    for (int i = 0; i < 20; ++i)
        run(IDM_ARROW_RIGHT);
    EXPECT_EQ(g_doc.CurOfs, 39u);
    EXPECT_EQ(cursorRight(), 1);
    EXPECT_EQ(g_doc.CurOfs, 39u);
    run(IDM_ROW_START);
    run(IDM_ROW_END); // the short last row ends on byte 39
    EXPECT_EQ(g_doc.CurOfs, 39u);
    EXPECT_EQ(first(), 0u);
}

TEST_F(NavigationMoves, CursorDownInByteModeAtTheLastPairReachesEveryByte) {
    open(sigFile("a.bin", 1024));
    showPosition(500);
    for (int i = 0; i < 31; ++i)
        run(IDM_ARROW_DOWN);
    ASSERT_EQ(cursorPosition(), 500u + 496);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(cursorPosition(), 500u + 512);
    EXPECT_EQ(first(), 512u);
    run(IDM_ROW_END);
    EXPECT_EQ(cursorPosition(), 1023u);
    EXPECT_EQ(cursorDown(), 1);
}

TEST_F(NavigationMoves, TabSwitchesTheActiveColumnInBothMovementModes) {
    open(sigFile("a.bin", 100));
    run(IDM_SWITCH_COLUMN);
    EXPECT_EQ(g_doc.CurCol, 1u);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kCursorInactiveBg);
    EXPECT_EQ(fake.bg(1, charCol(0)), kCursorActiveBg);
    g_settings.movement = 1;
    applyOptions();
    run(IDM_SWITCH_COLUMN);
    EXPECT_EQ(g_doc.CurCol, 0u);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(1, charCol(0)), kCursorInactiveBg);
}

TEST_F(NavigationMoves, MovesSettlePendingInputsFirst) {
    open(sigFile("a.bin", 5000));
    int (*moves[])() = {pageDown, pageUp, lineDown, lineUp, fileEnd, fileStart};
    for (auto move : moves) {
        g_doc.InputFlag = kInputBlk1 | kInputBlk2;
        move();
        EXPECT_EQ(g_doc.InputFlag & 6, 0u);
    }
}

TEST_F(NavigationMoves, CursorMovesClearTheKeyboardMarkingState) {
    open(sigFile("a.bin", 5000));
    g_doc.MarkFlag = 7;
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(g_doc.MarkFlag, 1u);
    g_doc.MarkFlag = 7;
    run(IDM_FILE_END_KEY);
    EXPECT_EQ(g_doc.MarkFlag, 1u);
}

TEST_F(NavigationMoves, ABytejustTypedKeepsItsColoursWhenTheCursorMoves) {
    open(sigFile("a.bin", 100));
    plat().beginDraw();
    plat().textOut(hexCol(0) * 8, 16, "41", 2, kInputBg);
    plat().endDraw();
    g_doc.InputFlag = 1 | kInputBlk1;
    cursorRight();
    EXPECT_EQ(fake.bg(1, hexCol(0)), kInputBg);
    EXPECT_EQ(g_doc.InputFlag & 1, 0u);
    cursorRight(); // the next move draws the cell it leaves in its own colours
    EXPECT_EQ(fake.bg(1, hexCol(1)), kHexBgDefault);
}

TEST_F(NavigationMoves, NothingMovesWithoutASourceOrInAnEmptyOne) {
    startProgram();
    int (*moves[])() = {lineDown,    lineUp,     byteRight, byteLeft,   pageDown,
                        pageUp,      fileStart,  fileEnd,   cursorDown, cursorUp,
                        cursorRight, cursorLeft, rowStart,  rowEnd,     switchColumn};
    fake.textCalls = 0;
    for (auto move : moves)
        EXPECT_EQ(move(), 1);
    EXPECT_EQ(fake.textCalls, 0);
    path = makeFile("empty.bin", {});
    openThroughDialog(path);
    ASSERT_TRUE(sourceOpen());
    int (*steps[])() = {lineDown,  lineUp,     byteRight, byteLeft,    pageDown,  pageUp,
                        fileStart, cursorDown, cursorUp,  cursorRight, cursorLeft};
    for (auto move : steps)
        EXPECT_EQ(move(), 1);
    EXPECT_EQ(first(), 0u);
}

} // namespace

namespace {

TEST_F(NavigationMoves, CtrlNAndCtrlPJumpBetweenJournalledBlocks) {
    open(sigFile("a.bin", 64 * 1024));
    // Two journalled edits, typed in the hex column and taken over with Return.
    for (uint64_t at : {40000ull, 9000ull}) {
        showPosition(at);
        moveCursorTo(0);
        for (char c : std::string("AB\r"))
            onChar(uint8_t(c), 0);
    }
    run(IDM_FILE_START_KEY);
    run(IDM_NEXT_EDIT_KEY); // Ctrl+N
    EXPECT_EQ(g_doc.AnfPtr, 9000u & ~511u);
    EXPECT_EQ(g_doc.ViewOfs, 0u);
    EXPECT_EQ(g_doc.PageBuf[9000 % 512], 0xAB);
    EXPECT_EQ(fake.bg(1 + (9000 % 512) / 16, hexCol(9000 % 16)), kJournalledBg);
    EXPECT_EQ(fake.scrollPos, int((9000 & ~511) >> g_doc.ScrollShift));
    run(IDM_NEXT_EDIT_KEY);
    EXPECT_EQ(g_doc.AnfPtr, 40000u & ~511u);
    EXPECT_EQ(g_doc.PageBuf[40000 % 512], 0xAB);
    run(IDM_PREVIOUS_EDIT_KEY); // Ctrl+P
    EXPECT_EQ(g_doc.AnfPtr, 9000u & ~511u);
    EXPECT_EQ(fake.cells(1, 0, 21), addressText(9000 & ~511));
}

} // namespace
