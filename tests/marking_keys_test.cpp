// Marking from the keyboard and the menu: F9 to F12, Ctrl+A, Shift with the arrows,
// remembering and restoring, the menu items that follow the marking.
#include "tests/navigation_fixture.h"

#include "res/resource.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/paint.h"

namespace {

const unsigned kMarkingItems[5] = {IDM_CLEAR_MARKING, IDM_REMEMBER_MARKING, IDM_COPY,
                                   IDM_DISCARD_RANGE, IDM_REDO_ALL};

class MarkingKeys : public NavTest {
  protected:
    void putCursor(uint32_t off) { moveCursorTo(off); }
    void expectItems(MenuState s) {
        for (unsigned item : kMarkingItems) {
            ASSERT_TRUE(fake.menuStates.count(item)) << item;
            EXPECT_EQ(fake.menuStates[item], s) << item;
        }
    }
    void expectMarking(uint64_t start, uint64_t end, uint32_t flag) {
        EXPECT_EQ(g_doc.MarkStart, start);
        EXPECT_EQ(g_doc.MarkEnd, end);
        EXPECT_EQ(g_doc.MarkFlag, flag);
    }
};

TEST_F(MarkingKeys, F9AloneShowsNothingAndF10ShowsTheRange) {
    open(sigFile("a.bin", 1000));
    putCursor(5);
    run(IDM_MARK_START_KEY);
    EXPECT_EQ(g_doc.MarkStart, 5u);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
    expectMarkingDrawn();
    EXPECT_FALSE(drawnMarked(6));
    putCursor(40);
    run(IDM_MARK_END_KEY);
    expectMarking(5, 41, 1);
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(5));
    EXPECT_TRUE(drawnMarked(39));
    expectItems(MenuState::Enabled);
    // The menu items run the same handlers.
    putCursor(2);
    run(IDM_MARK_START);
    putCursor(3);
    run(IDM_MARK_END);
    expectMarking(2, 4, 1);
}

TEST_F(MarkingKeys, F11ClearsAndGreysTheItems) {
    open(sigFile("a.bin", 1000));
    run(IDM_MARK_ALL_KEY);
    expectItems(MenuState::Enabled);
    run(IDM_CLEAR_MARKING_KEY);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
    expectItems(MenuState::Greyed);
    expectMarkingDrawn();
    EXPECT_FALSE(drawnMarked(100));
    run(IDM_MARK_ALL);
    run(IDM_CLEAR_MARKING); // the menu item
    EXPECT_EQ(g_doc.MarkFlag, 0u);
}

TEST_F(MarkingKeys, MarkAllCoversTheWholeSource) {
    const uint64_t size = 6ull << 30;
    open(sparseWith("six.bin", size, {}));
    run(IDM_MARK_ALL);
    expectMarking(0, size, 7);
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(511));
    run(IDM_CLEAR_MARKING_KEY);
    run(IDM_MARK_ALL_KEY);
    expectMarking(0, size, 7);
    run(IDM_FILE_END_KEY); // Ctrl+End: still marked to the last byte
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(500));
}

TEST_F(MarkingKeys, MarkAllOnAnEmptySource) {
    open(makeFile("empty.bin", {}));
    run(IDM_MARK_ALL_KEY);
    expectMarking(0, 0, 7);
}

TEST_F(MarkingKeys, RememberAndRestore) {
    open(sigFile("a.bin", 1000));
    EXPECT_EQ(restoreMarking(), 1); // nothing remembered yet
    EXPECT_EQ(g_doc.MarkFlag, 0u);
    putCursor(10);
    run(IDM_MARK_START_KEY);
    putCursor(20);
    run(IDM_MARK_END_KEY);
    run(IDM_REMEMBER_MARKING);
    run(IDM_CLEAR_MARKING_KEY);
    putCursor(30);
    run(IDM_MARK_START_KEY);
    EXPECT_EQ(g_doc.MarkStart, 30u);
    run(IDM_RESTORE_MARKING);
    expectMarking(10, 21, 1);
    expectItems(MenuState::Enabled);
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(15));
}

TEST_F(MarkingKeys, ShiftRightStartsAtTheCursorAndMovesTheEnd) {
    open(sigFile("a.bin", 1000));
    putCursor(5);
    run(IDM_SHIFT_RIGHT);
    expectMarking(5, 7, 7);
    expectItems(MenuState::Enabled);
    run(IDM_SHIFT_RIGHT);
    expectMarking(5, 8, 7);
    expectMarkingDrawn();
    // Back: the end shrinks to the anchor, then the start moves.
    run(IDM_SHIFT_LEFT);
    expectMarking(5, 7, 7);
    run(IDM_SHIFT_LEFT);
    expectMarking(5, 6, 3);
    run(IDM_SHIFT_LEFT);
    expectMarking(4, 6, 3);
    run(IDM_SHIFT_LEFT);
    expectMarking(3, 6, 3);
    run(IDM_SHIFT_RIGHT);
    expectMarking(4, 6, 3);
    EXPECT_EQ(g_doc.CurOfs, 5u); // the cursor stays
    expectMarkingDrawn();
}

TEST_F(MarkingKeys, ShiftLeftStartsAtTheCursorAndMovesTheStart) {
    open(sigFile("a.bin", 1000));
    putCursor(5);
    run(IDM_SHIFT_LEFT);
    expectMarking(4, 6, 3);
    run(IDM_SHIFT_UP);
    expectMarking(0, 6, 3); // clamped at the start of the file
    EXPECT_EQ(shiftUp(), 1);
    run(IDM_SHIFT_DOWN);
    expectMarking(5, 17, 7); // past the anchor: the end moves now
    run(IDM_SHIFT_DOWN);
    expectMarking(5, 33, 7);
}

TEST_F(MarkingKeys, AMovedCursorStartsANewMarking) {
    open(sigFile("a.bin", 1000));
    putCursor(5);
    run(IDM_SHIFT_RIGHT);
    run(IDM_ARROW_RIGHT); // Right: clears "end set"
    run(IDM_SHIFT_RIGHT);
    expectMarking(6, 8, 7);
}

TEST_F(MarkingKeys, ShiftRightAcrossThePageEndScrolls) {
    open(sigFile("a.bin", 4000));
    putCursor(511);
    run(IDM_SHIFT_RIGHT);
    expectMarking(511, 513, 7);
    EXPECT_EQ(first(), 16u);
    EXPECT_EQ(g_doc.CurOfs, 495u); // still on byte 511
    EXPECT_EQ(cursorPosition(), 511u);
    expectPage(16);
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(496));
}

TEST_F(MarkingKeys, ShiftUpAboveThePageScrollsBack) {
    open(sigFile("a.bin", 4000));
    showPosition(512);
    putCursor(0);
    run(IDM_SHIFT_UP);
    expectMarking(496, 513, 3);
    EXPECT_EQ(first(), 496u);
    EXPECT_EQ(cursorPosition(), 512u);
    expectMarkingDrawn();
}

TEST_F(MarkingKeys, ShiftDownMarksAcrossThe4GiBBoundary) {
    const uint64_t size = 6ull << 30;
    open(sparseWith("six.bin", size, {{0xFFFFF000ull, 0x2000}}));
    showPosition(0xFFFFFF00ull);
    putCursor(0);
    for (int i = 0; i < 40; ++i)
        run(IDM_SHIFT_DOWN);
    expectMarking(0xFFFFFF00ull, 0xFFFFFF00ull + 40 * 16 + 1, 7);
    EXPECT_EQ(g_doc.MarkEnd >> 32, 1u);
    // The moving end stays on the page.
    EXPECT_LT(g_doc.MarkEnd - 1 - first(), 512u);
    expectPage(first());
    expectMarkingDrawn();
    EXPECT_TRUE(drawnMarked(uint32_t(g_doc.MarkEnd - 1 - first())));
}

TEST_F(MarkingKeys, CursorMovesRedrawCellsInThePaintersColours) {
    open(sigFile("a.bin", 1000));
    // Journalled bytes in a plain row, a partly marked row and a fully marked row.
    for (uint32_t k : {3u, 4u, 20u, 21u, 40u, 41u, 60u})
        g_doc.ModMask[k >> 3] |= uint8_t(1u << (k & 7));
    g_doc.MarkStart = 18;
    g_doc.MarkEnd = 55;
    markingShown();
    paintPage();
    for (int i = 0; i < 64; ++i) {
        cursorRight();
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint()) << "step " << i;
    }
    for (int i = 0; i < 3; ++i) {
        cursorUp();
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint()) << "up " << i;
    }
    switchColumn();
    for (int i = 0; i < 20; ++i) {
        cursorLeft();
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint()) << "left " << i;
    }
}

TEST_F(MarkingKeys, NothingWithoutASource) {
    startProgram();
    int (*commands[])() = {markStart,      markEnd,    markAll,   clearMarking, rememberMarking,
                           restoreMarking, shiftRight, shiftLeft, shiftUp,      shiftDown};
    for (auto c : commands)
        EXPECT_EQ(c(), 1);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
}

} // namespace
