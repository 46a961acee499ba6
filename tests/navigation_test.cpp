// Moving the view and the cursor over sources of every size class, checked on the screen and
// the scroll bar; the scroll bar's scaling, the wheel steps, auto scroll and zoom.
#include <deque>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <sys/stat.h>

#include "app/startup.h"
#include "tests/support/doc_test.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/scroll.h"
#include "view/status.h"

namespace {

constexpr int64_t M = 1 << 20, G = M << 10, G6 = 6 * G, G64 = 64 * G;
constexpr uint64_t kSizes[6] = {0, 1, 1000, 5000, G6, G64};
constexpr uint64_t k4G = 1ull << 32, kNear4G = k4G - 512;

// What a row leaves: the first byte shown (below 0: counted back from the end of the source),
// the cursor's page offset, and what the last step returned.
struct Cell {
    int64_t first;
    int cur, ret;
};
constexpr Cell Z1 = {0, 0, 1}; // nothing moved

void times(int (*f)(), int n) {
    for (int i = 0; i < n; ++i)
        f();
}
int bar(int code, int pos = 0) {
    return scrollBarCommand(code, pos);
}
int wheel(unsigned keys, int delta) {
    g_events.wheelKeys = keys;
    g_events.wheelDelta = delta;
    return wheelStep();
}

using Start = std::function<void()>;
const Start S = [] {};
const Start E = [] { fileEnd(); };
const Start P = [] { pageDown(); };
const Start N = [] { fileEnd(), pageUp(); };            // the page before the last
const Start B = [] { fileEnd(), times(byteLeft, 12); }; // an unaligned view near the end
const Start L = [] { times(cursorDown, 31), cursorRight(), cursorRight(); }; // offset 498
const Start Last = [] { fileEnd(), times(cursorDown, 31), rowEnd(); };       // the last byte
const Start M4 = [] { showPosition(kNear4G); };
const Start R3 = [] { times(byteRight, 3); };
const Start Bd = [] { B(), times(cursorDown, 31); };
const Start P8d = [] { chooseScrollRaster(8), times(cursorDown, 31); };

struct Move {
    const char *what;
    Start start;
    std::function<int()> step;
    int times;
    Cell want[6]; // sizes 0, 1, 1000, 5000, 6 GiB, 64 GiB
};

// clang-format off
const Move kMoves[] = {
    {"PgDn", S, [] { return bar(kSbPageDown); }, 1,
     {Z1, Z1, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}}},
    {"PgDn to the last page", S, pageDown, 10,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {5120, 0, 0}, {5120, 0, 0}}},
    {"PgDn on the last page", E, pageDown, 1,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}, {-512, 0, 1}}},
    {"PgUp", E, [] { return bar(kSbPageUp); }, 1,
     {Z1, Z1, {0, 0, 0}, {4096, 0, 0}, {-1024, 0, 0}, {-1024, 0, 0}}},
    {"PgUp to the first page", E, pageUp, 10,
     {Z1, Z1, {0, 0, 1}, {0, 0, 1}, {-5632, 0, 0}, {-5632, 0, 0}}},
    {"PgUp on the first page", S, pageUp, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"line down", S, [] { return bar(kSbLineDown); }, 1,
     {Z1, Z1, {16, 0, 0}, {16, 0, 0}, {16, 0, 0}, {16, 0, 0}}},
    {"line up", E, [] { return bar(kSbLineUp); }, 1,
     {Z1, Z1, {496, 0, 0}, {4592, 0, 0}, {-528, 0, 0}, {-528, 0, 0}}},
    {"line down on the last page", E, lineDown, 1,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}, {-512, 0, 1}}},
    {"line up on the first page", S, lineUp, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"line down from an unaligned view stops at the end", B, lineDown, 1,
     {Z1, Z1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}, {-512, 0, 0}}},
    {"bytes right across blocks", S, byteRight, 600,
     {Z1, Z1, {512, 0, 1}, {600, 0, 0}, {600, 0, 0}, {600, 0, 0}}},
    {"bytes left across blocks", E, byteLeft, 600,
     {Z1, Z1, {0, 0, 1}, {4008, 0, 0}, {-1112, 0, 0}, {-1112, 0, 0}}},
    {"lines across 4 GiB", M4, lineDown, 300,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {kNear4G + 4800, 0, 0}, {kNear4G + 4800, 0, 0}}},
    {"lines back across 4 GiB", [] { M4(), times(lineDown, 300); }, lineUp, 300,
     {Z1, Z1, {0, 0, 1}, {0, 0, 1}, {kNear4G, 0, 0}, {kNear4G, 0, 0}}},
    {"bytes across 4 GiB", M4, byteRight, 600,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {kNear4G + 600, 0, 0}, {kNear4G + 600, 0, 0}}},
    {"Ctrl+End", S, [] { return bar(kSbBottom); }, 1,
     {Z1, Z1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}, {-512, 0, 0}}},
    {"Ctrl+End on the last page", E, fileEnd, 1,
     {Z1, Z1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}, {-512, 0, 1}}},
    {"Ctrl+End puts the cursor on the last byte", L, fileEnd, 1,
     {Z1, Z1, {512, 487, 0}, {4608, 391, 0}, {-512, 498, 0}, {-512, 498, 0}}},
    {"Ctrl+Home", E, [] { return bar(kSbTop); }, 1,
     {Z1, Z1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
    {"Ctrl+Home on the first page", S, fileStart, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"wheel back", S, [] { return wheel(0, -120); }, 1,
     {Z1, Z1, {16, 0, 0}, {16, 0, 0}, {6 * M, 0, 0}, {64 * M, 0, 0}}},
    {"wheel forward", E, [] { return wheel(0, 120); }, 1,
     {Z1, Z1, {496, 0, 0}, {4592, 0, 0}, {-6 * M - 512, 0, 0}, {-64 * M - 512, 0, 0}}},
    {"wheel back beyond the end", N, [] { return wheel(0, -120); }, 1,
     {Z1, Z1, {16, 0, 0}, {4112, 0, 0}, {-512, 0, 0}, {-512, 0, 0}}},
    {"Ctrl+wheel back", S, [] { return wheel(kMkControl, -120); }, 1,
     {Z1, Z1, {16, 0, 0}, {16, 0, 0}, {384 * 1024, 0, 0}, {4 * M, 0, 0}}},
    {"Shift+wheel back", S, [] { return wheel(kMkShift, -120); }, 1,
     {Z1, Z1, Z1, {64, 0, 0}, {96 * M, 0, 0}, {G, 0, 0}}},
    {"Ctrl+Shift+wheel back", S, [] { return wheel(kMkControl | kMkShift, -120); }, 1,
     {Z1, Z1, {16, 0, 0}, {16, 0, 0}, {16, 0, 0}, {16, 0, 0}}},
    {"Shift+wheel forward to the start", P, [] { return wheel(kMkShift, 120); }, 1,
     {Z1, Z1, {512, 0, 1}, {448, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
    {"Shift+wheel forward on the first page", S, [] { return wheel(kMkShift, 120); }, 1,
     {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"no wheel turn", S, [] { return wheel(0, 0); }, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"thumb to the end", S, [] { return bar(kSbThumbTrack, g_scroll.maximum); }, 1,
     {Z1, Z1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}, {-512, 0, 0}}},
    {"thumb to the top", E, [] { return bar(kSbThumbPosition, 0); }, 1,
     {Z1, Z1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
    {"thumb keeps the byte in its row", R3, [] { return scrollThumb(1000); }, 1,
     {Z1, Z1, {512, 0, 0}, {995, 0, 0}, {(1000ll << 18) + 3, 0, 0}, {(1000ll << 21) + 3, 0, 0}}},
    {"thumb to 0x4000", S, [] { return scrollThumb(0x4000); }, 1,
     {Z1, Z1, {512, 0, 0}, {4608, 0, 0}, {k4G, 0, 0}, {32 * G, 0, 0}}},
    {"thumb where the page is", S, [] { return scrollThumb(0); }, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"end of a scroll", S, [] { return bar(kSbEndScroll); }, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"cursor right", S, cursorRight, 1,
     {Z1, Z1, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}}},
    {"cursor down", S, cursorDown, 1,
     {Z1, Z1, {0, 16, 0}, {0, 16, 0}, {0, 16, 0}, {0, 16, 0}}},
    {"cursor left on the first byte", S, cursorLeft, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"cursor up on the first row", S, cursorUp, 1, {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"cursor left scrolls back", E, cursorLeft, 1,
     {Z1, Z1, {496, 15, 0}, {4592, 15, 0}, {-528, 15, 0}, {-528, 15, 0}}},
    {"cursor down scrolls", S, cursorDown, 40,
     {Z1, Z1, {144, 496, 0}, {144, 496, 0}, {144, 496, 0}, {144, 496, 0}}},
    {"cursor up scrolls", E, cursorUp, 40,
     {Z1, Z1, {0, 0, 1}, {3968, 0, 0}, {-1152, 0, 0}, {-1152, 0, 0}}},
    {"cursor right scrolls at the page end", S, cursorRight, 520,
     {Z1, Z1, {16, 504, 0}, {16, 504, 0}, {16, 504, 0}, {16, 504, 0}}},
    {"cursor left scrolls at the page start", E, cursorLeft, 20,
     {Z1, Z1, {480, 12, 0}, {4576, 12, 0}, {-544, 12, 0}, {-544, 12, 0}}},
    {"Home on the last row", Last, rowStart, 1,
     {{0, 0, 0}, {0, 0, 0}, {512, 480, 0}, {4608, 384, 0}, {-512, 496, 0}, {-512, 496, 0}}},
    {"End stops on the last byte", [] { Last(), rowStart(); }, rowEnd, 1,
     {{0, 0, 0}, {0, 0, 0}, {512, 487, 0}, {4608, 391, 0}, {-512, 511, 0}, {-512, 511, 0}}},
    {"cursor right on the last byte", Last, cursorRight, 1,
     {Z1, Z1, {512, 487, 1}, {4608, 391, 1}, {-512, 511, 1}, {-512, 511, 1}}},
    {"cursor down below the last row", Last, cursorDown, 1,
     {Z1, Z1, {512, 487, 1}, {4608, 391, 1}, {-512, 511, 1}, {-512, 511, 1}}},
    {"cursor down to the end of an unaligned view", Bd, cursorDown, 1,
     {Z1, Z1, {500, 496, 1}, {4596, 400, 1}, {-512, 500, 0}, {-512, 500, 0}}},
    {"Page lock: line down", [] { chooseScrollRaster(8); }, lineDown, 3,
     {Z1, Z1, {512, 0, 1}, {1536, 0, 0}, {1536, 0, 0}, {1536, 0, 0}}},
    {"256B lock: line down", [] { chooseScrollRaster(4); }, lineDown, 3,
     {Z1, Z1, {512, 0, 1}, {768, 0, 0}, {768, 0, 0}, {768, 0, 0}}},
    {"Line lock: no byte steps", [] { chooseScrollRaster(2); }, byteRight, 1,
     {Z1, Z1, Z1, Z1, Z1, Z1}},
    {"Page lock aligns a step back", [] { B(), chooseScrollRaster(8); }, lineUp, 1,
     {Z1, Z1, {0, 0, 0}, {3584, 0, 0}, {-1536, 0, 0}, {-1536, 0, 0}}},
    {"Page lock: cursor down from the bottom row", P8d, cursorDown, 1,
     {Z1, Z1, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}}},
};
// clang-format on

class Navigation : public DocTest, public ::testing::WithParamInterface<int> {};

TEST_P(Navigation, EveryMoveOnEverySize) {
    const int k = GetParam();
    const uint64_t size = kSizes[k];
    const int shift[6] = {0, 0, 0, 0, 18, 21}, maximum[6] = {0, 0, 512, 4608, 0x5FFF, 0x7FFF};
    std::string path;
    if (size < G) {
        path = makeFile("s.bin", sigBytes(0, size));
    } else {
        // Signature bytes around every place a row shows.
        std::vector<std::pair<uint64_t, size_t>> regions;
        for (uint64_t at : std::initializer_list<uint64_t>{
                 8192, size - 8192, k4G, 384 * 1024ull, 4 * M, 6 * M, 64 * M, 96 * M, G, 32 * G,
                 1000ull << 18, 1000ull << 21, size - 6 * M, size - 64 * M})
            if (at + 8192 <= size) regions.push_back({at - 8192, 16384});
        path = sparseWith("s.bin", size, regions);
    }
    for (const Move &m : kMoves) {
        SCOPED_TRACE(m.what);
        chooseScrollRaster(1);
        open(path);
        ASSERT_EQ(first(), 0u);
        EXPECT_EQ(fake.scrollMax, maximum[k]);
        m.start();
        int ret = 0;
        for (int i = 0; i < m.times; ++i) {
            int reads = fake.reads;
            fake.textCalls = 0;
            ret = m.step();
            // A refused step reads nothing and draws the cursor cell at most.
            if (ret) ASSERT_TRUE(fake.reads == reads && fake.textCalls <= 2) << "step " << i;
        }
        const Cell &w = m.want[k];
        const uint64_t at = w.first < 0 ? size + w.first : uint64_t(w.first);
        EXPECT_EQ(ret, w.ret);
        expectPage(at);
        EXPECT_EQ(cursorShown(), size ? w.cur : -1);
        EXPECT_EQ(fake.scrollPos, int((at & ~uint64_t(15)) >> shift[k]));
        for (uint32_t c = 0; c < 16; ++c) // each column names the low digit of its address
            ASSERT_EQ(fake.cells(0, hexCol(c), 2),
                      std::string("0") + "0123456789ABCDEF"[(at + c) & 15]);
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Navigation, ::testing::Range(0, 6));

class NavigationKeys : public DocTest {};

TEST_F(NavigationKeys, ArrowsMoveTheCursorOrThePageByTheMovementMode) {
    open(makeFile("a.bin", sigBytes(0, 5000)));
    // Movement 0: the arrows move the cursor and Alt+arrows the page; 1: the other way round.
    struct Step {
        uint32_t movement;
        unsigned command;
        uint64_t first;
        int cur, col;
    } steps[] = {
        {0, IDM_ARROW_RIGHT, 0, 1, 0},      {0, IDM_ARROW_DOWN, 0, 17, 0},
        {0, IDM_ARROW_LEFT, 0, 16, 0},      {0, IDM_ARROW_RIGHT, 0, 17, 0},
        {0, IDM_ROW_END, 0, 31, 0},         {0, IDM_ROW_START, 0, 16, 0},
        {0, IDM_ARROW_UP, 0, 0, 0},         {0, IDM_ALT_ARROW_RIGHT, 1, 0, 0},
        {0, IDM_ALT_ARROW_DOWN, 17, 0, 0},  {0, IDM_ALT_ARROW_LEFT, 16, 0, 0},
        {0, IDM_ALT_ARROW_UP, 0, 0, 0},     {0, IDM_SWITCH_COLUMN, 0, 0, 1},
        {0, IDM_PAGE_DOWN, 512, 0, 1},      {0, IDM_PAGE_UP, 0, 0, 1},
        {1, IDM_SWITCH_COLUMN, 0, 0, 0},    {1, IDM_ARROW_DOWN, 16, 0, 0},
        {1, IDM_ARROW_RIGHT, 17, 0, 0},     {1, IDM_ARROW_LEFT, 16, 0, 0},
        {1, IDM_ARROW_UP, 0, 0, 0},         {1, IDM_ALT_ARROW_DOWN, 0, 16, 0},
        {1, IDM_ALT_ARROW_RIGHT, 0, 17, 0}, {1, IDM_ALT_ARROW_LEFT, 0, 16, 0},
        {1, IDM_ALT_ARROW_UP, 0, 0, 0},     {1, IDM_FILE_END_KEY, 4608, 0, 0},
        {1, IDM_FILE_START, 0, 0, 0},       {1, IDM_FILE_END, 4608, 0, 0},
        {1, IDM_FILE_START_KEY, 0, 0, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.command);
        g_settings.movement = s.movement;
        applyOptions();
        fake.textCalls = 0;
        run(s.command);
        EXPECT_EQ(first(), s.first);
        ASSERT_EQ(cursorShown(), s.cur);
        EXPECT_EQ(charBg(s.cur), s.col ? kCursorOn : kCursorOff);
        if (s.command == IDM_ARROW_RIGHT && !s.movement) // only the two cells are drawn again
            EXPECT_LE(fake.textCalls, 4);
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint());
    }
}

TEST_F(NavigationKeys, MovesCommitPendingInputsAndCtrlNPJumpToJournalledPages) {
    openSource(sigBytes(0, 64 * 1024));
    typeAt(9000, {0xAB});
    cursorAt(showByte(40000));
    type("CD"); // still a current input: the move below takes it over
    EXPECT_EQ(hexBg(64), kInputColour);
    run(IDM_ARROW_RIGHT); // a byte just typed keeps its colours, the cell left is plain again
    EXPECT_EQ(hexBg(64), kInputColour);
    EXPECT_EQ(hexBg(65), kPlainHexBg);
    run(IDM_FILE_START_KEY);
    ViewImage v = viewFromFiles();
    ASSERT_EQ(v.bytes[40000], 0xCD);
    ASSERT_EQ(v.marked[40000], 1);
    for (auto [command, at] : {std::pair{IDM_NEXT_EDIT_KEY, 9000},
                               {IDM_NEXT_EDIT_KEY, 40000},
                               {IDM_PREVIOUS_EDIT_KEY, 9000}}) {
        run(command);
        EXPECT_EQ(first(), at & ~511u);
        EXPECT_EQ(fake.scrollPos, (at & ~511) >> 1); // 64 KiB: shift 1
        checkScreen(v, "after Ctrl+N or Ctrl+P");
    }
}

TEST_F(NavigationKeys, NothingMovesWithoutASource) {
    int (*moves[])() = {lineDown,    lineUp,       byteRight,       byteLeft,       pageDown,
                        pageUp,      fileStart,    fileEnd,         cursorDown,     cursorUp,
                        cursorRight, cursorLeft,   rowStart,        rowEnd,         switchColumn,
                        wheelStep,   autoScrollUp, autoScrollDown,  markStart,      markEnd,
                        markAll,     clearMarking, rememberMarking, restoreMarking, shiftRight,
                        shiftLeft,   shiftUp,      shiftDown};
    fake.keys = {0, ' '};
    fake.textCalls = 0;
    for (auto move : moves)
        EXPECT_EQ(move(), 1);
    EXPECT_EQ(scrollThumb(5), 1);
    EXPECT_EQ(fake.textCalls, 0);
    EXPECT_EQ(fake.keys.size(), 2u);
}

// Sizes the disk cannot hold: the scroll range of the largest sources.
TEST_F(NavigationKeys, ScrollRangeOfTheLargestSizes) {
    struct Case {
        uint64_t size, anf;
        int maximum, pos;
    } cases[] = {
        {0x7FFFFFFF00000000ull, 0x7FFF000000000000ull, 0x3FFF, 0x3FFF}, // shift 17
        {1ull << 47, 400ull << 32, 8192, 100},                          // shift 2
        {(1ull << 47) - 1, 1ull << 46, 32767, 16384},                   // counted in bytes
    };
    for (const Case &c : cases) {
        g_doc.FileSize = c.size;
        computeSizeFields();
        computeScrollRange();
        g_doc.AnfPtr = c.anf;
        EXPECT_EQ(fake.scrollMax, c.maximum) << c.size;
        EXPECT_EQ(scrollPosition(), c.pos) << c.size;
    }
}

TEST_F(NavigationKeys, SourcesBeyond128TiBCountTheHighWord) {
    const uint64_t size = (1ull << 47) + (5ull << 32); // high word 32773: shift 2
    std::string path = "/dev/shm/kelmor-huge-" + std::to_string(getpid());
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    bool ok = fd >= 0 && ftruncate(fd, off_t(size)) == 0;
    if (fd >= 0) close(fd);
    if (!ok) {
        unlink(path.c_str());
        GTEST_SKIP() << "no tmpfs for a 128 TiB sparse file";
    }
    open(path);
    EXPECT_EQ(fake.scrollMax, 32773 >> 2);
    onVScroll(kSbThumbTrack, 100);
    expectPage(400ull << 32);
    pageDown();
    pageDown();
    EXPECT_EQ(fake.scrollPos, 100);
    onVScroll(kSbThumbTrack, 32773 >> 2);
    expectPage(size - 512);
    EXPECT_EQ(fake.scrollPos, 32773 >> 2);
    onMouseWheel(0, 120); // the largest wheel step
    expectPage(size - 512 - 0xFFFFFE00ull);
    run(IDM_CLOSE_FILE);
    unlink(path.c_str());
}

TEST_F(NavigationKeys, WheelStepsFromTheSize) {
    struct Case {
        uint64_t size;
        uint32_t small[3], large[3]; // no key, Ctrl, Shift
    } cases[] = {
        {1000, {16, 16, 0}, {0, 0, 0}},
        {100 * 1024, {100, 16, 0}, {0, 0, 1536}},
        {300 * 1024, {300, 18, 0}, {0, 0, 4608}},
        {512 * 1024, {0, 32, 0}, {512, 0, 8192}},
        {1ull << 20, {0, 64, 0}, {1024, 0, 16384}},
        {64ull << 30, {0, 0, 0}, {64u << 20, 4u << 20, 1u << 30}},
        {300ull << 30, {0, 0, 0}, {300u << 20, (300u << 20) / 16, 0xFFFFFE00u}},
        {5ull << 40, {0, 0, 0}, {0xFFFFFE00u, 0x0FFFFE00u, 0xFFFFFE00u}},
        {16385ull << 32, {0, 0, 0}, {0xFFFFFE00u, 0x0FFFFE00u, 0xFFFFFE00u}},
    };
    for (const Case &c : cases) {
        g_doc.FileSize = c.size;
        computeWheelSteps();
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(g_scroll.wheelSmall[k], c.small[k]) << c.size << " key " << k;
            EXPECT_EQ(g_scroll.wheelLarge[k], c.large[k]) << c.size << " key " << k;
        }
    }
}

// The mode indicator at every repaint.
std::vector<std::pair<std::string, uint32_t>> g_seen;
FakePlatform *g_screen;

TEST_F(NavigationKeys, AutoScrollStopsOnABlankEscOrTheEnd) {
    open(makeFile("a.bin", sigBytes(0, 5000)));
    g_screen = &fake;
    g_afterPaintHook = [] { g_seen.push_back({g_screen->cells(0, 71, 19), g_screen->bg(0, 71)}); };
    struct {
        unsigned command;
        std::deque<int> keys;
        uint64_t first;
        size_t pages, left;
        uint32_t colour;
    } runs[] = {
        {IDM_AUTO_SCROLL_DOWN_KEY, {0, 'x', 0, ' ', 'y'}, 1536, 3, 1, 0xDDCCFF},
        {IDM_AUTO_SCROLL_UP_KEY, {0, 27, 0}, 1024, 1, 1, 0xCCDDFF},
        {IDM_AUTO_SCROLL_DOWN, {}, 4608, 7, 0, 0xDDCCFF}, // until PgDn refuses
        {IDM_AUTO_SCROLL_UP, {}, 0, 9, 0, 0xCCDDFF},
    };
    for (auto &r : runs) {
        g_seen.clear();
        fake.keys = r.keys;
        run(r.command);
        expectPage(r.first);
        EXPECT_EQ(fake.keys.size(), r.left);
        ASSERT_EQ(g_seen.size(), r.pages);
        for (auto &seen : g_seen)
            EXPECT_EQ(seen, std::pair(std::string("    Auto Scroll    "), r.colour));
        EXPECT_EQ(indicator(), "    Edit Mode      ");
        EXPECT_EQ(fake.bg(0, 71), 0xCCCCFFu);
    }
}

TEST_F(NavigationKeys, ZoomResizesTheFontAndTheWindowWithinBounds) {
    open(makeFile("a.bin", sigBytes(0, 3000)));
    pageDown();
    run(IDM_ZOOM_IN);
    EXPECT_EQ(fake.fontCw, 9);
    EXPECT_EQ(fake.fontLh, 17);
    EXPECT_EQ(fake.sizeRequests, 1);
    EXPECT_EQ(g_window.width, 88 * 9 + 30);
    EXPECT_EQ(g_window.height, 34 * 17 + 60);
    fake.clearScreen(); // everything is drawn again on the new grid
    run(IDM_ZOOM_OUT);
    expectPage(512);
    EXPECT_EQ(cursorShown(), 0);
    EXPECT_EQ(statusField(56, 9), "Protokoll");
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    int steps = 0;
    while (zoomIn() == 0 && steps < 100)
        ++steps;
    EXPECT_EQ(steps, 32);
    EXPECT_EQ(fake.fontCw, 40);
    for (steps = 0; zoomOut() == 0 && steps < 100;)
        ++steps;
    EXPECT_EQ(steps, 33);
    EXPECT_EQ(fake.fontCw, 7);
    EXPECT_EQ(fake.fontLh, 15);
}

} // namespace
