// Marking with the keys, the menu and the mouse; clicks, right clicks and double clicks, all
// checked by what the screen draws.
#include <cctype>
#include <map>
#include <sstream>

#include "tests/support/doc_test.h"
#include "view/navigation.h"

namespace {

constexpr uint64_t G6 = 6ull << 30;

class Marking : public DocTest {
  protected:
    // Pixel position of byte `off`: its high digit ('h'), low digit ('l') or character ('c').
    static int x(uint32_t off, char part = 'h') {
        return px(part == 'c' ? charCol(off) : hexCol(off) + (part == 'l'));
    }
    static int y(uint32_t off) { return py(rowOf(off)); }
    // A script of user actions: a key by its name below; a mouse action on a page offset
    // (c click, p press, m move with the button, u release, s move with Shift, n move alone,
    // d double click; a suffix l aims at the low digit, c at the character); "@pos" shows the
    // page from source position pos; "?on" and "?off" check the marking's menu items;
    // "action*n" repeats.
    void act(const std::string &script) {
        // clang-format off
        static const std::map<std::string, unsigned> keys = {
            {"F9", IDM_MARK_START_KEY}, {"F10", IDM_MARK_END_KEY}, {"F11", IDM_CLEAR_MARKING_KEY},
            {"^A", IDM_MARK_ALL_KEY}, {"start", IDM_MARK_START}, {"end", IDM_MARK_END},
            {"clear", IDM_CLEAR_MARKING}, {"all", IDM_MARK_ALL}, {"remember", IDM_REMEMBER_MARKING},
            {"restore", IDM_RESTORE_MARKING}, {"S>", IDM_SHIFT_RIGHT}, {"S<", IDM_SHIFT_LEFT},
            {"S^", IDM_SHIFT_UP}, {"Sv", IDM_SHIFT_DOWN}, {">", IDM_ARROW_RIGHT},
            {"Home", IDM_ROW_START}, {"^Home", IDM_FILE_START_KEY}, {"^End", IDM_FILE_END_KEY}};
        // clang-format on
        std::istringstream in(script);
        for (std::string t; in >> t;) {
            size_t star = t.find('*');
            int n = star == std::string::npos ? 1 : std::stoi(t.substr(star + 1));
            t = t.substr(0, star);
            for (int i = 0; i < n; ++i) {
                if (keys.count(t)) {
                    run(keys.at(t));
                } else if (t[0] == '?') {
                    MenuState s = t == "?on" ? MenuState::Enabled : MenuState::Greyed;
                    for (unsigned item : {IDM_CLEAR_MARKING, IDM_REMEMBER_MARKING, IDM_COPY,
                                          IDM_DISCARD_RANGE, IDM_REDO_ALL})
                        EXPECT_TRUE(fake.menuStates.count(item) && fake.menuStates[item] == s);
                } else if (t[0] == '@') {
                    showPosition(std::stoull(t.substr(1), nullptr, 0));
                } else {
                    uint32_t off = std::stoul(t.substr(1));
                    int cx = x(off, isdigit(t.back()) ? 'h' : t.back()), cy = y(off);
                    if (t[0] == 'c' || t[0] == 'p') onLButtonDown(cx, cy, kMkLButton);
                    if (t[0] == 'c' || t[0] == 'u') onLButtonUp(cx, cy, 0);
                    if (t[0] == 'm' || t[0] == 's' || t[0] == 'n')
                        onMouseMove(cx, cy, t[0] == 'm' ? kMkLButton : t[0] == 's' ? kMkShift : 0);
                    if (t[0] == 'd') onLButtonDblClk(cx, cy, kMkLButton);
                }
            }
        }
    }
    // Each step: its script, then the marking drawn ([from, to)) and the cursor's page offset.
    void play(std::initializer_list<std::tuple<const char *, uint64_t, uint64_t, int>> steps) {
        for (auto [script, from, to, cur] : steps) {
            SCOPED_TRACE(script);
            act(script);
            ASSERT_NO_FATAL_FAILURE(expectMarkingDrawn(from, to));
            ASSERT_EQ(cursorShown(), cur);
        }
    }
};

TEST_F(Marking, MouseKeysMenuItemsAndShiftArrows) {
    open(makeFile("a.bin", sigBytes(0, 1000)));
    g_settings.dblClickAction = 1;
    // clang-format off
    play({
        {"m54 u53", 0, 0, 0}, // the release after the file dialog does nothing
        {"p10 m7 m4l u4l", 4, 11, 0}, {"S<", 3, 11, 0}, // a drag back: Shift moves its start
        {"p20c m70c", 20, 71, 0}, {"S>", 20, 72, 0},    // a drag forward: its end
        {"m2c u2c", 2, 21, 0},                          // back over the anchor
        {"c2", 2, 21, 2},                               // a click moves the cursor only
        {"s5", 2, 6, 2}, {"n9", 2, 6, 2},               // Shift extends from the press
        {"d53 u57", 2, 6, 2},                           // a double click suppresses its release
        {"F11 c5 F9", 0, 0, 5},                         // a start alone shows nothing
        {"c40c F10 ?on", 5, 41, 40}, {"c2 start c3 end", 2, 4, 3}, {"F11 ?off", 0, 0, 3},
        {"^A", 0, 1000, 3}, {"clear", 0, 0, 3}, {"all", 0, 1000, 3},
        {"F11 restore", 0, 0, 3}, // nothing remembered yet
        {"c10 F9 c20 F10 remember F11 c30 F9", 0, 0, 30}, {"restore ?on", 10, 21, 30},
        {"c5 S>", 5, 7, 5}, {"S>", 5, 8, 5}, {"S<", 5, 7, 5}, // from the cursor, the end moves
        {"S<", 5, 6, 5}, {"S<", 4, 6, 5}, {"S<", 3, 6, 5},   // past the anchor, the start
        {"S>", 4, 6, 5}, {"c5 S<", 4, 6, 5},
        {"S^*2", 0, 6, 5},                    // stops at the start of the file
        {"Sv", 5, 17, 5}, {"Sv", 5, 33, 5},   // past the anchor: the end moves
        {"> S>", 6, 8, 6}, {"^End S>", 518, 520, 6}, // a moved cursor starts anew
        {"F11 Home S<", 511, 513, 16}, {"S^", 495, 513, 32}, // the page scrolls with the cursor
        {"F11 ^Home c511 S>", 511, 513, 495},
    });
    // clang-format on
    EXPECT_EQ(first(), 16u);
    run(IDM_CLOSE_FILE);
    act("c0"); // the empty window has no byte to press on: no anchor for the next file
    run(IDM_RECENT_FIRST);
    play({{"s5", 0, 0, 0}});
}

TEST_F(Marking, BeyondThePageAndAcross4GiB) {
    open(makeFile("empty.bin", {}));
    run(IDM_MARK_ALL_KEY);
    EXPECT_TRUE(g_doc.MarkStart == 0 && g_doc.MarkEnd == 0 && g_doc.MarkFlag == 7);
    open(sparseWith("six.bin", G6, {{0xFFFFF000ull, 0x2000}, {G6 - 1024, 1024}}));
    const uint64_t at = 0xFFFFFF00ull;
    play({
        {"all", 0, G6, 0},
        {"^End", 0, G6, 0}, // marked to the last byte
        {"F11 @0xFFFFFF00 c0 Sv*40", at, at + 40 * 16 + 1, 0},
    });
    EXPECT_EQ(first(), at + 9 * 16); // the moving end stays on the page
    play({{"@0xFFFFFF00 p35 m329 u329", at + 35, at + 330, 0}});
}

TEST_F(Marking, ClicksAndRightClicksByWhatIsHit) {
    onRButtonDown(x(3), y(3), kMkRButton); // without a document: the Goto menu
    EXPECT_EQ(fake.popupsTracked, std::vector<int>{IDP_GOTO});
    open(makeFile("a.bin", sigBytes(0, 100)));
    const int row1 = py(1);
    // x, y, the pop-up (IDP_EDIT on a byte, IDP_GOTO outside, 0 on a separator), the cursor
    // and its column.
    // clang-format off
    const int hits[][5] = {
        {x(3), y(3), IDP_EDIT, 3, 0},         {x(76, 'l'), y(76), IDP_EDIT, 76, 0},
        {x(37, 'c'), y(37), IDP_EDIT, 37, 1}, {x(99), y(99), IDP_EDIT, 99, 0},
        {x(3) + 16, row1, 0, 99, 0},          {px(46), row1, 0, 99, 0},
        {px(21), row1, 0, 99, 0},             {px(71), row1, 0, 99, 0},
        {px(5), row1, IDP_GOTO, 99, 0},       {x(2), py(0), IDP_GOTO, 99, 0},
        {x(2), py(33), IDP_GOTO, 99, 0},      {x(4), py(7), IDP_GOTO, 99, 0},
        {x(0), py(21), IDP_GOTO, 99, 0},      {x(9, 'l'), y(25), IDP_EDIT, 25, 0},
    };
    // clang-format on
    for (auto h : hits) {
        SCOPED_TRACE(h[0] * 1000 + h[1]);
        std::vector<int> popups = fake.popupsTracked;
        onLButtonDown(h[0], h[1], kMkLButton), onLButtonUp(h[0], h[1], 0);
        ASSERT_EQ(cursorShown(), h[3]);
        onRButtonDown(h[0], h[1], kMkRButton);
        ASSERT_EQ(cursorShown(), h[3]);
        EXPECT_EQ(charBg(h[3]), h[4] ? kCursorOn : kCursorOff);
        if (h[2]) popups.push_back(h[2]);
        EXPECT_EQ(fake.popupsTracked, popups);
        EXPECT_EQ(fake.menuStates.count(IDM_COPY), 0u); // no marking: "kopieren" left alone
    }
    act("p16 m31 u31"); // with a marking, "kopieren" only inside it
    for (auto [off, state] : {std::pair{19u, MenuState::Enabled}, {32u, MenuState::Greyed}}) {
        onRButtonDown(x(off), y(off), kMkRButton);
        EXPECT_EQ(fake.menuStates[IDM_COPY], state);
    }
    // Double clicks: as the right button, the AVI chunk marking, the disassembly.
    g_settings.dblClickAction = 0;
    act("d2");
    EXPECT_TRUE(fake.popupsTracked.back() == IDP_EDIT && cursorShown() == 2);
    g_settings.dblClickAction = 3; // marks an AVI chunk: on another file nothing
    size_t boxes = fake.boxes.size();
    act("d2");
    EXPECT_EQ(fake.boxes.size(), boxes);
    g_settings.dblClickAction = 2;
    onLButtonDblClk(px(3), row1, kMkLButton); // not on a byte: nothing
    EXPECT_TRUE(fake.dialogsShown.empty());
    act("d2");
    EXPECT_EQ(fake.dialogsShown.size(), 1u);
}

TEST_F(Marking, CursorMovesRedrawCellsAsThePainterDoes) {
    openSource(sigBytes(0, 1000));
    for (uint64_t at : {3, 20, 40, 60})
        typeAt(at, {0x11, 0x22});
    act("p18 m54 u54"); // partly and fully marked rows with journalled bytes
    cursorAt(0);
    paintPage();
    const std::pair<int (*)(), int> moves[] = {{cursorRight, 64}, {cursorUp, 3},   {cursorLeft, 20},
                                               {switchColumn, 1}, {cursorLeft, 1}, {cursorDown, 2}};
    for (auto [move, n] : moves)
        for (int i = 0; i < n; ++i) {
            move();
            ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint()) << i;
        }
}

} // namespace
