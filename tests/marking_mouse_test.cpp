// Mouse: hit test, click, drag, right click, double click and the suppression flag.
#include "tests/navigation_fixture.h"

#include "access/files.h"
#include "app/settings.h"
#include "res/resource.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/paint.h"

namespace {

class MarkingMouse : public NavTest {
  protected:
    // Pixel positions of byte k of display row r: its high digit, low digit, character.
    static int hx(int k) { return px(hexCol(k)); }
    static int lx(int k) { return px(hexCol(k) + 1); }
    static int cx(int k) { return px(charCol(k)); }
    static int ry(int r) { return py(r + 1); }
    void click(int x, int y) {
        onLButtonDown(x, y, kMkLButton);
        onLButtonUp(x, y, 0);
    }
};

TEST_F(MarkingMouse, HitTest) {
    open(sigFile("a.bin", 100));
    EXPECT_EQ(hitTest(hx(3), ry(0)), 3u);
    EXPECT_EQ(g_mouse.hitX, hexCol(3) * 8);
    EXPECT_EQ(g_mouse.hitY, 16);
    EXPECT_EQ(g_mouse.hitCol, 0u);
    EXPECT_EQ(hitTest(lx(3), ry(0)), 3u); // the low digit belongs to the same byte
    EXPECT_EQ(g_mouse.hitX, hexCol(3) * 8);
    EXPECT_EQ(hitTest(lx(12), ry(4)), 76u);
    EXPECT_EQ(hitTest(cx(5), ry(2)), 37u);
    EXPECT_EQ(g_mouse.hitCol, 1u);
    EXPECT_EQ(g_mouse.hitX, charCol(5) * 8);
    // Separators: after a pair, the group gap, before the first pair, before the characters.
    EXPECT_EQ(hitTest(px(hexCol(3) + 2), ry(0)), kHitSeparator);
    EXPECT_EQ(hitTest(px(21 + 25), ry(0)), kHitSeparator);
    EXPECT_EQ(hitTest(px(21), ry(0)), kHitSeparator);
    EXPECT_EQ(hitTest(px(71), ry(0)), kHitSeparator);
    // Outside: address column, header, status line, beyond the last byte.
    EXPECT_EQ(hitTest(px(5), ry(2)), kHitOutside);
    EXPECT_EQ(hitTest(hx(2), py(0)), kHitOutside);
    EXPECT_EQ(hitTest(hx(2), py(33)), kHitOutside);
    EXPECT_EQ(hitTest(hx(3), ry(6)), 99u);
    EXPECT_EQ(hitTest(hx(4), ry(6)), kHitOutside);
    EXPECT_EQ(hitTest(hx(0), ry(20)), kHitOutside);
}

TEST_F(MarkingMouse, ClickPlacesTheCursor) {
    open(sigFile("a.bin", 100));
    onLButtonDown(0, 0, kMkLButton); // the release after the file dialog is suppressed
    click(lx(5), ry(2));
    EXPECT_EQ(g_doc.CurOfs, 37u);
    EXPECT_EQ(g_doc.CurCol, 0u);
    EXPECT_EQ(g_doc.CurHexX, hexCol(5) * 8);
    EXPECT_EQ(g_doc.CurY, 3 * 16);
    EXPECT_EQ(fake.bg(3, hexCol(5)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kHexBgDefault); // the old cell is plain again
    click(cx(9), ry(1));
    EXPECT_EQ(g_doc.CurOfs, 25u);
    EXPECT_EQ(g_doc.CurCol, 1u);
    EXPECT_EQ(fake.bg(2, charCol(9)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(2, hexCol(9)), kCursorInactiveBg);
    // A separator, the address column and the blank below the last byte do nothing.
    click(px(hexCol(3) + 2), ry(1));
    click(px(4), ry(1));
    click(hx(8), ry(6));
    click(hx(1), ry(30));
    EXPECT_EQ(g_doc.CurOfs, 25u);
    EXPECT_EQ(g_doc.CurCol, 1u);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
}

TEST_F(MarkingMouse, DraggingBackwardMarksFromTheAnchorDown) {
    open(sigFile("a.bin", 1000));
    onLButtonDown(hx(10), ry(0), kMkLButton);
    onMouseMove(hx(7), ry(0), kMkLButton);
    onMouseMove(lx(4), ry(0), kMkLButton);
    onLButtonUp(lx(4), ry(0), 0);
    EXPECT_EQ(g_doc.MarkStart, 4u);
    EXPECT_EQ(g_doc.MarkEnd, 11u);
    EXPECT_EQ(g_doc.MarkFlag, 3u);
    EXPECT_EQ(g_doc.CurOfs, 0u); // a drag does not move the cursor
    expectMarkingDrawn();
    EXPECT_FALSE(drawnMarked(3));
    EXPECT_TRUE(drawnMarked(4));
    EXPECT_TRUE(drawnMarked(10));
    EXPECT_FALSE(drawnMarked(11));
}

TEST_F(MarkingMouse, DraggingForwardInTheCharacterColumnAcrossRows) {
    open(sigFile("a.bin", 1000));
    onLButtonDown(cx(4), ry(1), kMkLButton);
    onMouseMove(cx(6), ry(4), kMkLButton);
    EXPECT_EQ(g_doc.MarkStart, 20u);
    EXPECT_EQ(g_doc.MarkEnd, 71u);
    EXPECT_EQ(g_doc.MarkFlag, 7u);
    expectMarkingDrawn();
    // Fully marked rows keep the separator before the characters unmarked.
    EXPECT_EQ(fake.bg(3, hexCol(0)), kMarkedBg);
    EXPECT_EQ(fake.bg(3, 71), kCharBgDefault);
    // Back over the anchor: the anchor byte stays the end.
    onMouseMove(cx(2), ry(0), kMkLButton);
    EXPECT_EQ(g_doc.MarkStart, 2u);
    EXPECT_EQ(g_doc.MarkEnd, 21u);
    EXPECT_EQ(g_doc.MarkFlag, 3u);
    onLButtonUp(cx(2), ry(0), 0);
    expectMarkingDrawn();
}

TEST_F(MarkingMouse, ShiftWithoutTheButtonExtendsFromTheLastPress) {
    open(sigFile("a.bin", 1000));
    click(hx(2), ry(0));
    onMouseMove(hx(5), ry(0), kMkShift);
    EXPECT_EQ(g_doc.MarkStart, 2u);
    EXPECT_EQ(g_doc.MarkEnd, 6u);
    // A plain move without button or Shift does nothing.
    onMouseMove(hx(9), ry(0), 0);
    EXPECT_EQ(g_doc.MarkEnd, 6u);
}

TEST_F(MarkingMouse, DragAcrossThe4GiBBoundary) {
    const uint64_t size = 6ull << 30;
    open(sparseWith("six.bin", size, {{0xFFFFF000ull, 0x2000}}));
    showPosition(0xFFFFFF00ull);
    onLButtonDown(hx(3), ry(2), kMkLButton);
    onMouseMove(hx(9), ry(20), kMkLButton);
    onLButtonUp(hx(9), ry(20), 0);
    EXPECT_EQ(g_doc.MarkStart, 0xFFFFFF23ull);
    EXPECT_EQ(g_doc.MarkEnd, 0x10000004Aull);
    EXPECT_EQ(g_doc.MarkFlag, 7u);
    expectMarkingDrawn();
}

TEST_F(MarkingMouse, TheReleaseAfterAFileDialogIsIgnored) {
    open(sigFile("a.bin", 1000));
    ASSERT_TRUE(g_open.mouseSuppressed);
    onMouseMove(hx(6), ry(3), kMkLButton);
    onLButtonUp(hx(5), ry(3), 0);
    EXPECT_EQ(g_doc.CurOfs, 0u);
    EXPECT_EQ(g_doc.MarkFlag, 0u);
    click(hx(5), ry(3));
    EXPECT_EQ(g_doc.CurOfs, 53u);
    // A double click suppresses the release that follows it.
    g_settings.dblClickAction = 1;
    onLButtonDblClk(hx(5), ry(3), kMkLButton);
    onLButtonUp(hx(9), ry(3), 0);
    EXPECT_EQ(g_doc.CurOfs, 53u);
}

TEST_F(MarkingMouse, RightClickOpensEditOrGotoMenu) {
    open(sigFile("a.bin", 1000));
    onRButtonDown(lx(6), ry(1), kMkRButton);
    EXPECT_EQ(fake.popupsTracked, std::vector<int>{IDP_EDIT});
    EXPECT_EQ(g_doc.CurOfs, 22u);
    EXPECT_EQ(fake.menuStates.count(IDM_COPY), 0u); // no marking: "kopieren" left alone
    // With a marking, "kopieren" only inside it.
    onLButtonDown(hx(0), ry(1), kMkLButton);
    onMouseMove(hx(15), ry(1), kMkLButton);
    onLButtonUp(hx(15), ry(1), 0);
    onRButtonDown(cx(3), ry(1), kMkRButton);
    EXPECT_EQ(fake.menuStates[IDM_COPY], MenuState::Enabled);
    EXPECT_EQ(g_doc.CurOfs, 19u);
    EXPECT_EQ(g_doc.CurCol, 1u);
    onRButtonDown(hx(3), ry(2), kMkRButton);
    EXPECT_EQ(fake.menuStates[IDM_COPY], MenuState::Greyed);
    EXPECT_EQ(fake.popupsTracked, (std::vector<int>{IDP_EDIT, IDP_EDIT, IDP_EDIT}));
    // Address column: the Goto menu; a separator: nothing.
    onRButtonDown(px(3), ry(4), kMkRButton);
    EXPECT_EQ(fake.popupsTracked.back(), IDP_GOTO);
    size_t n = fake.popupsTracked.size();
    onRButtonDown(px(21 + 25), ry(4), kMkRButton);
    EXPECT_EQ(fake.popupsTracked.size(), n);
    EXPECT_EQ(g_doc.CurOfs, 35u);
}

TEST_F(MarkingMouse, DoubleClickActions) {
    open(sigFile("a.bin", 1000));
    g_settings.dblClickAction = 0; // as the right button
    onLButtonDblClk(hx(2), ry(0), kMkLButton);
    EXPECT_EQ(fake.popupsTracked, std::vector<int>{IDP_EDIT});
    EXPECT_EQ(g_doc.CurOfs, 2u);
    EXPECT_TRUE(g_open.mouseSuppressed);
    g_settings.dblClickAction = 3; // AVI chunk: announced only
    expectBox("!", kIdOk, "demnächst: AVI-Chunk markieren");
    onLButtonDblClk(hx(2), ry(0), kMkLButton);
    ASSERT_FALSE(fake.boxes.empty());
    EXPECT_EQ(fake.boxes.back().text, "demnächst: AVI-Chunk markieren");
    EXPECT_EQ(fake.boxes.back().style & 0xF, unsigned(kMbOkCancel));
    g_settings.dblClickAction = 2; // disassembly on a byte only
    size_t dialogs = fake.dialogsShown.size();
    onLButtonDblClk(px(3), ry(0), kMkLButton);
    EXPECT_EQ(fake.dialogsShown.size(), dialogs);
    onLButtonDblClk(hx(2), ry(0), kMkLButton);
    EXPECT_EQ(fake.dialogsShown.size(), dialogs + 1);
    EXPECT_EQ(fake.popupsTracked.size(), 1u);
}

} // namespace
