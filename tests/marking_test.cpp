// Marking with the keys, the menu and the mouse; clicks, right clicks and double clicks, all
// checked by what the screen draws.
#include <functional>

#include "tests/support/doc_test.h"
#include "view/mouse.h"
#include "view/navigation.h"

namespace {

constexpr uint64_t G6 = 6ull << 30;
const unsigned kMarkingItems[5] = {IDM_CLEAR_MARKING, IDM_REMEMBER_MARKING, IDM_COPY,
                                   IDM_DISCARD_RANGE, IDM_REDO_ALL};

class Marking : public DocTest {
  protected:
    // Pixel position of byte `off`: its high digit ('h'), low digit ('l') or character ('c').
    static int x(uint32_t off, char part = 'h') {
        return px(part == 'c' ? charCol(off) : hexCol(off) + (part == 'l'));
    }
    static int y(uint32_t off) { return py(rowOf(off)); }
    void press(uint32_t off, char part = 'h') { onLButtonDown(x(off, part), y(off), kMkLButton); }
    void move(uint32_t off, char part = 'h', unsigned keys = kMkLButton) {
        onMouseMove(x(off, part), y(off), keys);
    }
    void release(uint32_t off, char part = 'h') { onLButtonUp(x(off, part), y(off), 0); }
    void click(uint32_t off, char part = 'h') { press(off, part), release(off, part); }
    void items(MenuState s) {
        for (unsigned item : kMarkingItems)
            EXPECT_TRUE(fake.menuStates.count(item) && fake.menuStates[item] == s) << item;
    }
    // Each step: what the user does, then the marking drawn ([from, to)) and the cursor.
    struct Step {
        const char *what;
        std::function<void()> act;
        uint64_t from, to;
        int cur;
    };
    void play(const std::vector<Step> &steps) {
        for (const Step &s : steps) {
            SCOPED_TRACE(s.what);
            s.act();
            ASSERT_NO_FATAL_FAILURE(expectMarkingDrawn(s.from, s.to));
            ASSERT_EQ(cursorShown(), s.cur);
        }
    }
};

TEST_F(Marking, KeysAndMenuItems) {
    open(makeFile("a.bin", sigBytes(0, 1000)));
    auto cmd = [&](unsigned c) { return [=] { run(c); }; };
    play({
        {"F9 alone shows nothing", [&] { click(5), run(IDM_MARK_START_KEY); }, 0, 0, 5},
        {"F10", [&] { click(40, 'c'), run(IDM_MARK_END_KEY), items(MenuState::Enabled); }, 5, 41,
         40},
        {"the menu items", [&] { click(2), run(IDM_MARK_START), click(3), run(IDM_MARK_END); }, 2,
         4, 3},
        {"F11", [&] { run(IDM_CLEAR_MARKING_KEY), items(MenuState::Greyed); }, 0, 0, 3},
        {"Ctrl+A", cmd(IDM_MARK_ALL_KEY), 0, 1000, 3},
        {"clear from the menu", cmd(IDM_CLEAR_MARKING), 0, 0, 3},
        {"mark all from the menu", cmd(IDM_MARK_ALL), 0, 1000, 3},
        {"nothing remembered yet", [&] { run(IDM_CLEAR_MARKING_KEY), run(IDM_RESTORE_MARKING); }, 0,
         0, 3},
        {"remember",
         [&] {
             click(10), run(IDM_MARK_START_KEY), click(20), run(IDM_MARK_END_KEY);
             run(IDM_REMEMBER_MARKING), run(IDM_CLEAR_MARKING_KEY);
             click(30), run(IDM_MARK_START_KEY);
         },
         0, 0, 30},
        {"restore", [&] { run(IDM_RESTORE_MARKING), items(MenuState::Enabled); }, 10, 21, 30},
        {"Shift+Right from the cursor", [&] { click(5), run(IDM_SHIFT_RIGHT); }, 5, 7, 5},
        {"Shift+Right moves the end", cmd(IDM_SHIFT_RIGHT), 5, 8, 5},
        {"Shift+Left shrinks it", cmd(IDM_SHIFT_LEFT), 5, 7, 5},
        {"down to the anchor", cmd(IDM_SHIFT_LEFT), 5, 6, 5},
        {"then the start moves", cmd(IDM_SHIFT_LEFT), 4, 6, 5},
        {"further", cmd(IDM_SHIFT_LEFT), 3, 6, 5},
        {"and back", cmd(IDM_SHIFT_RIGHT), 4, 6, 5},
        {"Shift+Left from the cursor", [&] { click(5), run(IDM_SHIFT_LEFT); }, 4, 6, 5},
        {"Shift+Up stops at the start",
         [&] {
             run(IDM_SHIFT_UP);
             EXPECT_EQ(shiftUp(), 1);
         },
         0, 6, 5},
        {"Shift+Down past the anchor", cmd(IDM_SHIFT_DOWN), 5, 17, 5},
        {"Shift+Down", cmd(IDM_SHIFT_DOWN), 5, 33, 5},
        {"a moved cursor starts anew", [&] { run(IDM_ARROW_RIGHT), run(IDM_SHIFT_RIGHT); }, 6, 8,
         6},
        {"so does Ctrl+End", [&] { run(IDM_FILE_END_KEY), run(IDM_SHIFT_RIGHT); }, 518, 520, 6},
        {"Shift+Left above the page scrolls",
         [&] { run(IDM_CLEAR_MARKING_KEY), run(IDM_ROW_START), run(IDM_SHIFT_LEFT); }, 511, 513,
         16},
        {"Shift+Up above the page scrolls", cmd(IDM_SHIFT_UP), 495, 513, 32},
        {"Shift+Right below the page scrolls",
         [&] {
             run(IDM_CLEAR_MARKING_KEY), run(IDM_FILE_START_KEY);
             click(511), run(IDM_SHIFT_RIGHT);
         },
         511, 513, 495},
    });
    EXPECT_EQ(first(), 16u);
}

TEST_F(Marking, BeyondThePageAndAcross4GiB) {
    open(makeFile("empty.bin", {}));
    run(IDM_MARK_ALL_KEY);
    EXPECT_TRUE(g_doc.MarkStart == 0 && g_doc.MarkEnd == 0 && g_doc.MarkFlag == 7);
    open(sparseWith("six.bin", G6, {{0xFFFFF000ull, 0x2000}, {G6 - 1024, 1024}}));
    const uint64_t at = 0xFFFFFF00ull;
    play({
        {"mark all", [&] { run(IDM_MARK_ALL); }, 0, G6, 0},
        {"marked to the last byte", [&] { run(IDM_FILE_END_KEY); }, 0, G6, 0},
        {"Shift+Down across 4 GiB",
         [&] {
             run(IDM_CLEAR_MARKING_KEY), showPosition(at), click(0);
             for (int i = 0; i < 40; ++i)
                 run(IDM_SHIFT_DOWN);
             EXPECT_EQ(first(), at + 9 * 16); // the moving end stays on the page
         },
         at, at + 40 * 16 + 1, 0},
        {"a drag across 4 GiB", [&] { showPosition(at), press(35), move(329), release(329); },
         at + 35, at + 330, 0},
    });
}

TEST_F(Marking, Mouse) {
    open(makeFile("a.bin", sigBytes(0, 1000)));
    play({
        {"the release after the file dialog", [&] { move(54, 'h', kMkLButton), release(53); }, 0, 0,
         0},
        {"a drag back from 10 to 4", [&] { press(10), move(7), move(4, 'l'), release(4, 'l'); }, 4,
         11, 0},
        {"a drag forward over rows", [&] { press(20, 'c'), move(70, 'c'); }, 20, 71, 0},
        {"back over the anchor", [&] { move(2, 'c'), release(2, 'c'); }, 2, 21, 0},
        {"a click moves the cursor only", [&] { click(2); }, 2, 21, 2},
        {"Shift extends from the press", [&] { move(5, 'h', kMkShift); }, 2, 6, 2},
        {"a move without button or Shift", [&] { move(9, 'h', 0); }, 2, 6, 2},
        {"a double click suppresses its release",
         [&] {
             g_settings.dblClickAction = 1;
             onLButtonDblClk(x(53), y(53), kMkLButton), release(57);
         },
         2, 6, 2},
    });
}

TEST_F(Marking, ClicksAndRightClicksByWhatIsHit) {
    open(makeFile("a.bin", sigBytes(0, 100)));
    const int row1 = py(1);
    struct {
        int x, y, popup; // IDP_EDIT on a byte, IDP_GOTO outside, 0 on a separator
        int cur, col;
    } hits[] = {
        {x(3), y(3), IDP_EDIT, 3, 0},
        {x(76, 'l'), y(76), IDP_EDIT, 76, 0},
        {x(37, 'c'), y(37), IDP_EDIT, 37, 1},
        {x(99), y(99), IDP_EDIT, 99, 0},
        {x(3) + 16, row1, 0, 99, 0},
        {px(46), row1, 0, 99, 0},
        {px(21), row1, 0, 99, 0},
        {px(71), row1, 0, 99, 0},
        {px(5), row1, IDP_GOTO, 99, 0},
        {x(2), py(0), IDP_GOTO, 99, 0},
        {x(2), py(33), IDP_GOTO, 99, 0},
        {x(4), py(7), IDP_GOTO, 99, 0},
        {x(0), py(21), IDP_GOTO, 99, 0},
        {x(9, 'l'), y(25), IDP_EDIT, 25, 0},
    };
    for (auto &h : hits) {
        SCOPED_TRACE(h.x * 1000 + h.y);
        std::vector<int> popups = fake.popupsTracked;
        onLButtonDown(h.x, h.y, kMkLButton), onLButtonUp(h.x, h.y, 0);
        ASSERT_EQ(cursorShown(), h.cur);
        onRButtonDown(h.x, h.y, kMkRButton);
        ASSERT_EQ(cursorShown(), h.cur);
        EXPECT_EQ(charBg(h.cur), h.col ? kCursorOn : kCursorOff);
        if (h.popup) popups.push_back(h.popup);
        EXPECT_EQ(fake.popupsTracked, popups);
        EXPECT_EQ(fake.menuStates.count(IDM_COPY), 0u); // no marking: "kopieren" left alone
    }
    // With a marking, "kopieren" only inside it.
    press(16), move(31), release(31);
    for (auto [off, state] : {std::pair{19u, MenuState::Enabled}, {35u, MenuState::Greyed}}) {
        onRButtonDown(x(off), y(off), kMkRButton);
        EXPECT_EQ(fake.menuStates[IDM_COPY], state);
    }
    // Double clicks: as the right button, the AVI chunk announcement, the disassembly.
    g_settings.dblClickAction = 0;
    onLButtonDblClk(x(2), y(2), kMkLButton);
    EXPECT_EQ(fake.popupsTracked.back(), IDP_EDIT);
    EXPECT_EQ(cursorShown(), 2);
    g_settings.dblClickAction = 3;
    expectBox("!", kIdOk, "demnächst: AVI-Chunk markieren");
    onLButtonDblClk(x(2), y(2), kMkLButton);
    EXPECT_EQ(fake.boxes.back().style & 0xF, unsigned(kMbOkCancel));
    g_settings.dblClickAction = 2;
    onLButtonDblClk(px(3), row1, kMkLButton); // not on a byte: nothing
    EXPECT_TRUE(fake.dialogsShown.empty());
    onLButtonDblClk(x(2), y(2), kMkLButton);
    EXPECT_EQ(fake.dialogsShown.size(), 1u);
}

TEST_F(Marking, CursorMovesRedrawCellsAsThePainterDoes) {
    openSource(sigBytes(0, 1000));
    for (uint64_t at : {3, 20, 40, 60})
        typeAt(at, {0x11, 0x22});
    press(18), move(54), release(54); // partly and fully marked rows with journalled bytes
    cursorAt(0);
    paintPage();
    int (*moves[])() = {cursorRight, cursorUp, cursorLeft, cursorDown};
    int counts[] = {64, 3, 20, 2};
    for (int m = 0; m < 4; ++m)
        for (int i = 0; i < counts[m]; ++i) {
            moves[m]();
            ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint()) << m << " step " << i;
        }
    switchColumn();
    cursorLeft();
    ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint());
}

} // namespace
