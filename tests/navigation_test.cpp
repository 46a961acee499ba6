// Moving the view and the cursor over sources of every size class, checked on the screen and
// the scroll bar; the scroll bar's scaling, the wheel steps, auto scroll and zoom.
#include <array>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

#include "app/startup.h"
#include "tests/support/doc_test.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/scroll.h"

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
constexpr Cell kSame = {-1, -1, -1}; // as on 6 GiB
constexpr Cell kNone = {0, 0, 1};    // nothing moved from the start

using Step = std::function<int()>;
const auto times = [](int (*f)(), int n) {
    while (n-- > 0)
        f();
};
const auto bar = [](int code, int pos = 0) -> Step {
    return [=] { return scrollBarCommand(code, pos); };
};
const auto thumb = [](int pos) -> Step { return [=] { return scrollThumb(pos); }; };
const auto wheel = [](unsigned keys, int delta) -> Step {
    return [=] { return g_events.wheelKeys = keys, g_events.wheelDelta = delta, wheelStep(); };
};
const Step thumbEnd = [] { return scrollBarCommand(kSbThumbTrack, g_scroll.maximum); };

// Where a row starts, from the first page with the cursor on its first byte.
using Start = std::function<void()>;
const Start S = [] {};
const Start E = [] { fileEnd(); };
const Start P = [] { pageDown(); };
const Start N = [] { fileEnd(), pageUp(); };            // the page before the last
const Start B = [] { fileEnd(), times(byteLeft, 12); }; // an unaligned view near the end
const Start L = [] { times(cursorDown, 31), cursorRight(), cursorRight(); }; // offset 498
const Start Last = [] { fileEnd(), times(cursorDown, 31), rowEnd(); };       // the last byte
const Start M4 = [] { showPosition(kNear4G); };
const Start M4d = [] { M4(), times(lineDown, 300); };
const Start R3 = [] { times(byteRight, 3); };
const Start Pb = [] { pageDown(), pageDown(), byteLeft(); }; // a pair loaded by a step back
const Start Bd = [] { B(), times(cursorDown, 31); };
const Start P8d = [] { chooseScrollRaster(8), times(cursorDown, 31); };
Start raster(uint32_t mode, const Start &then = S) {
    return [=] { then(), chooseScrollRaster(mode); };
}

struct Move {
    const char *what;
    Start start;
    Step step;
    int times;
    Cell k, f, g6, g64 = kSame; // sizes 1000, 5000, 6 GiB, 64 GiB
    int tiny = 1;               // sizes 0 and 1: nothing moves, and the last step returns this
};

// clang-format off
const Move kMoves[] = {
    {"PgDn", S, bar(kSbPageDown), 1, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}},
    {"PgDn to the last page", S, pageDown, 10, {512, 0, 1}, {4608, 0, 1}, {5120, 0, 0}},
    {"PgDn on the last page", E, pageDown, 1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}},
    {"PgUp", E, bar(kSbPageUp), 1, {0, 0, 0}, {4096, 0, 0}, {-1024, 0, 0}},
    {"PgUp to the first page", E, pageUp, 10, kNone, kNone, {-5632, 0, 0}},
    {"PgUp on the first page", S, pageUp, 1, kNone, kNone, kNone},
    {"line down", S, bar(kSbLineDown), 1, {16, 0, 0}, {16, 0, 0}, {16, 0, 0}},
    {"line up", E, bar(kSbLineUp), 1, {496, 0, 0}, {4592, 0, 0}, {-528, 0, 0}},
    {"line down on the last page", E, lineDown, 1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}},
    {"line up on the first page", S, lineUp, 1, kNone, kNone, kNone},
    {"line down from an unaligned view", B, lineDown, 1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}},
    {"bytes right across blocks", S, byteRight, 600, {512, 0, 1}, {600, 0, 0}, {600, 0, 0}},
    {"bytes left across blocks", E, byteLeft, 600, kNone, {4008, 0, 0}, {-1112, 0, 0}},
    {"bytes right after a step back", Pb, byteRight, 2, {512, 0, 1}, {1025, 0, 0}, {1025, 0, 0}},
    {"lines across 4 GiB", M4, lineDown, 300, {512, 0, 1}, {4608, 0, 1}, {kNear4G + 4800, 0, 0}},
    {"lines back across 4 GiB", M4d, lineUp, 300, kNone, kNone, {kNear4G, 0, 0}},
    {"bytes across 4 GiB", M4, byteRight, 600, {512, 0, 1}, {4608, 0, 1}, {kNear4G + 600, 0, 0}},
    {"Ctrl+End", S, bar(kSbBottom), 1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}},
    {"Ctrl+End on the last page", E, fileEnd, 1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}},
    {"Ctrl+End from row 31", L, fileEnd, 1, {512, 487, 0}, {4608, 391, 0}, {-512, 498, 0}},
    {"Ctrl+Home", E, bar(kSbTop), 1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {"Ctrl+Home on the first page", S, fileStart, 1, kNone, kNone, kNone},
    {"wheel back", S, wheel(0, -120), 1, {16, 0, 0}, {16, 0, 0}, {6 * M, 0, 0}, {64 * M, 0, 0}},
    {"wheel forward", E, wheel(0, 120), 1,
     {496, 0, 0}, {4592, 0, 0}, {-6 * M - 512, 0, 0}, {-64 * M - 512, 0, 0}},
    {"wheel back at the end", E, wheel(0, -120), 1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}},
    {"wheel back beyond the end", N, wheel(0, -120), 1, {16, 0, 0}, {4112, 0, 0}, {-512, 0, 0}},
    {"Ctrl+wheel", S, wheel(kMkControl, -120), 1,
     {16, 0, 0}, {16, 0, 0}, {384 * 1024, 0, 0}, {4 * M, 0, 0}},
    {"Shift+wheel", S, wheel(kMkShift, -120), 1, kNone, {64, 0, 0}, {96 * M, 0, 0}, {G, 0, 0}},
    {"Ctrl+Shift+wheel", S, wheel(kMkControl | kMkShift, -120), 1,
     {16, 0, 0}, {16, 0, 0}, {16, 0, 0}},
    {"Shift+wheel up to 0", P, wheel(kMkShift, 120), 1, {512, 0, 1}, {448, 0, 0}, {0, 0, 0}},
    {"Shift+wheel up at 0", S, wheel(kMkShift, 120), 1, kNone, kNone, kNone},
    {"no wheel turn", S, wheel(0, 0), 1, kNone, kNone, kNone},
    {"thumb to the end", S, thumbEnd, 1, {512, 0, 0}, {4608, 0, 0}, {-512, 0, 0}},
    {"thumb to the top", E, bar(kSbThumbPosition, 0), 1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {"thumb keeps the byte in the row", R3, thumb(1000), 1,
     {512, 0, 0}, {995, 0, 0}, {(1000ll << 18) + 3, 0, 0}, {(1000ll << 21) + 3, 0, 0}},
    {"thumb to 0x4000", S, thumb(0x4000), 1,
     {512, 0, 0}, {4608, 0, 0}, {k4G, 0, 0}, {32 * G, 0, 0}},
    {"thumb where the page is", S, thumb(0), 1, kNone, kNone, kNone},
    {"end of a scroll", S, bar(kSbEndScroll), 1, kNone, kNone, kNone},
    {"cursor right", S, cursorRight, 1, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}},
    {"cursor down", S, cursorDown, 1, {0, 16, 0}, {0, 16, 0}, {0, 16, 0}},
    {"cursor left on the first byte", S, cursorLeft, 1, kNone, kNone, kNone},
    {"cursor up on the first row", S, cursorUp, 1, kNone, kNone, kNone},
    {"cursor left scrolls back", E, cursorLeft, 1, {496, 15, 0}, {4592, 15, 0}, {-528, 15, 0}},
    {"cursor down scrolls", S, cursorDown, 40, {144, 496, 0}, {144, 496, 0}, {144, 496, 0}},
    {"cursor up scrolls", E, cursorUp, 40, kNone, {3968, 0, 0}, {-1152, 0, 0}},
    {"cursor right past the page", S, cursorRight, 520, {16, 504, 0}, {16, 504, 0}, {16, 504, 0}},
    {"cursor left past the page", E, cursorLeft, 20, {480, 12, 0}, {4576, 12, 0}, {-544, 12, 0}},
    {"Home on the last row", Last, rowStart, 1,
     {512, 480, 0}, {4608, 384, 0}, {-512, 496, 0}, kSame, 0},
    {"End stops on the last byte", [] { Last(), rowStart(); }, rowEnd, 1,
     {512, 487, 0}, {4608, 391, 0}, {-512, 511, 0}, kSame, 0},
    {"right on the last byte", Last, cursorRight, 1, {512, 487, 1}, {4608, 391, 1}, {-512, 511, 1}},
    {"down on the last row", Last, cursorDown, 1, {512, 487, 1}, {4608, 391, 1}, {-512, 511, 1}},
    {"down, unaligned view", Bd, cursorDown, 1, {500, 496, 1}, {4596, 400, 1}, {-512, 500, 0}},
    {"Page lock: line down", raster(8), lineDown, 3, {512, 0, 1}, {1536, 0, 0}, {1536, 0, 0}},
    {"256B lock: line down", raster(4), lineDown, 3, {512, 0, 1}, {768, 0, 0}, {768, 0, 0}},
    {"Line lock: no byte steps", raster(2), byteRight, 1, kNone, kNone, kNone},
    {"Line lock: bytes back", raster(2, E), byteLeft, 1, {512, 0, 1}, {4608, 0, 1}, {-512, 0, 1}},
    {"Page lock: line up aligns", raster(8, B), lineUp, 1, {0, 0, 0}, {3584, 0, 0}, {-1536, 0, 0}},
    {"Page lock: cursor down", P8d, cursorDown, 1, {512, 0, 0}, {512, 0, 0}, {512, 0, 0}},
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
        EXPECT_EQ(std::pair(fake.scrollMax, fake.scrollPage), std::pair(maximum[k], 16));
        m.start();
        int ret = 0;
        for (int i = 0; i < m.times; ++i) {
            int reads = fake.reads;
            fake.textCalls = 0;
            ret = m.step();
            // A refused step reads nothing and draws the cursor cell at most.
            if (ret) ASSERT_TRUE(fake.reads == reads && fake.textCalls <= 2) << "step " << i;
        }
        const Cell tiny = {0, 0, m.tiny};
        const Cell &w =
            *std::array{&tiny, &tiny, &m.k, &m.f, &m.g6, m.g64.ret < 0 ? &m.g6 : &m.g64}[k];
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
    // Each step: movement, command, first byte shown, cursor, active column.
    // clang-format off
    const unsigned steps[][5] = {
        {0, IDM_ARROW_RIGHT, 0, 1, 0}, {0, IDM_ARROW_DOWN, 0, 17, 0}, {0, IDM_ARROW_LEFT, 0, 16, 0},
        {0, IDM_ROW_END, 0, 31, 0}, {0, IDM_ROW_START, 0, 16, 0}, {0, IDM_ARROW_UP, 0, 0, 0},
        {0, IDM_ALT_ARROW_RIGHT, 1, 0, 0}, {0, IDM_ALT_ARROW_DOWN, 17, 0, 0},
        {0, IDM_ALT_ARROW_LEFT, 16, 0, 0}, {0, IDM_ALT_ARROW_UP, 0, 0, 0},
        {0, IDM_SWITCH_COLUMN, 0, 0, 1}, {0, IDM_PAGE_DOWN, 512, 0, 1}, {0, IDM_PAGE_UP, 0, 0, 1},
        {1, IDM_SWITCH_COLUMN, 0, 0, 0}, {1, IDM_ARROW_DOWN, 16, 0, 0},
        {1, IDM_ARROW_RIGHT, 17, 0, 0}, {1, IDM_ARROW_LEFT, 16, 0, 0}, {1, IDM_ARROW_UP, 0, 0, 0},
        {1, IDM_ALT_ARROW_DOWN, 0, 16, 0},
        {1, IDM_ALT_ARROW_RIGHT, 0, 17, 0}, {1, IDM_ALT_ARROW_LEFT, 0, 16, 0},
        {1, IDM_ALT_ARROW_UP, 0, 0, 0}, {1, IDM_FILE_END_KEY, 4608, 0, 0},
        {1, IDM_FILE_START, 0, 0, 0}, {1, IDM_FILE_END, 4608, 0, 0},
        {1, IDM_FILE_START_KEY, 0, 0, 0}};
    // clang-format on
    for (auto s : steps) {
        SCOPED_TRACE(s[1]);
        g_settings.movement = s[0];
        applyOptions();
        fake.textCalls = 0;
        run(s[1]);
        EXPECT_EQ(first(), s[2]);
        ASSERT_EQ(cursorShown(), int(s[3]));
        EXPECT_EQ(charBg(s[3]), s[4] ? kCursorOn : kCursorOff);
        if (s[1] == IDM_ARROW_RIGHT && !s[0]) EXPECT_LE(fake.textCalls, 4); // the two cells only
        ASSERT_NO_FATAL_FAILURE(expectSameAsRepaint());
    }
}

// Without a source nothing moves; the wheel steps and the scroll range of sizes no disk holds
// (from 2^47 bytes on the bar counts the high word of the size).
TEST_F(NavigationKeys, NoSourceWheelStepsAndTheLargestSources) {
    // clang-format off
    int (*moves[])() = {
        lineDown, lineUp, byteRight, byteLeft, pageDown, pageUp, fileStart, fileEnd, cursorDown,
        cursorUp, cursorRight, cursorLeft, rowStart, rowEnd, switchColumn, wheelStep, autoScrollUp,
        autoScrollDown, markStart, markEnd, markAll, clearMarking, rememberMarking, restoreMarking,
        shiftRight, shiftLeft, shiftUp, shiftDown};
    // clang-format on
    fake.keys = {0, ' '}, fake.textCalls = 0;
    for (auto move : moves)
        EXPECT_EQ(move(), 1);
    EXPECT_EQ(scrollThumb(5), 1);
    EXPECT_TRUE(fake.textCalls == 0 && fake.keys.size() == 2); // nothing drawn, no key taken
    // Size, then the small and the large step with no key, Ctrl, Shift.
    // clang-format off
    const uint64_t steps[][7] = {
        {100 * 1024, 100, 16, 0, 0, 0, 1536},          {300 * 1024, 300, 18, 0, 0, 0, 4608},
        {512 * 1024, 0, 32, 0, 512, 0, 8192},          {1 << 20, 0, 64, 0, 1024, 0, 16384},
        {300ull << 30, 0, 0, 0, 300u << 20, (300u << 20) / 16, 0xFFFFFE00},
        {5ull << 40, 0, 0, 0, 0xFFFFFE00, 0x0FFFFE00, 0xFFFFFE00},
        {16385ull << 32, 0, 0, 0, 0xFFFFFE00, 0x0FFFFE00, 0xFFFFFE00}};
    // clang-format on
    for (auto c : steps) {
        g_doc.FileSize = c[0];
        computeWheelSteps();
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(g_scroll.wheelSmall[k] == c[1 + k] && g_scroll.wheelLarge[k] == c[4 + k])
                << c[0] << " key " << k;
    }
    // Size, first pair shown, scroll maximum and position: shift 17, shift 2, counted in bytes.
    const uint64_t cases[][4] = {{0x7FFFFFFF00000000, 0x7FFF000000000000, 0x3FFF, 0x3FFF},
                                 {1ull << 47, 400ull << 32, 8192, 100},
                                 {(1ull << 47) - 1, 1ull << 46, 32767, 16384}};
    for (auto c : cases) {
        g_doc.FileSize = c[0];
        computeSizeFields();
        computeScrollRange();
        g_doc.AnfPtr = c[1];
        EXPECT_TRUE(uint64_t(fake.scrollMax) == c[2] && uint64_t(scrollPosition()) == c[3]) << c[0];
    }
    // A sparse file of 128 TiB + 5 * 4 GiB on tmpfs: high word 32773, shift 2.
    const uint64_t size = (1ull << 47) + (5ull << 32);
    std::string path = "/dev/shm/kelmor-huge-" + std::to_string(getpid());
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    bool ok = fd >= 0 && ftruncate(fd, off_t(size)) == 0;
    if (fd >= 0) close(fd);
    std::shared_ptr<void> gone(nullptr, [&](void *) { unlink(path.c_str()); });
    if (!ok) GTEST_SKIP() << "no tmpfs for a 128 TiB sparse file";
    open(path);
    EXPECT_EQ(fake.scrollMax, 32773 >> 2);
    for (auto [pos, at] : {std::pair{100, 400ull << 32}, {32773 >> 2, size - 512}}) {
        onVScroll(kSbThumbTrack, pos);
        expectPage(at);
        EXPECT_EQ(fake.scrollPos, pos);
    }
    onMouseWheel(0, 120); // the largest wheel step
    expectPage(size - 512 - 0xFFFFFE00ull);
    EXPECT_EQ(fake.scrollPos, 32773 >> 2);
}

TEST_F(NavigationKeys, AutoScrollAndZoom) {
    open(makeFile("a.bin", sigBytes(0, 5000)));
    // The command, the keys typed meanwhile, the page it stops on, the keys left.
    const std::tuple<unsigned, std::deque<int>, uint64_t, size_t> runs[] = {
        {IDM_AUTO_SCROLL_DOWN_KEY, {0, 'x', 0, ' ', 'y'}, 1536, 1},
        {IDM_AUTO_SCROLL_UP_KEY, {0, 27, 0}, 1024, 1},
        {IDM_AUTO_SCROLL_DOWN, {}, 4608, 0}, // until PgDn refuses
        {IDM_AUTO_SCROLL_UP, {}, 0, 0},
    };
    for (auto &[command, keys, at, left] : runs) {
        fake.keys = keys;
        run(command);
        expectPage(at);
        EXPECT_EQ(fake.keys.size(), left);
        EXPECT_EQ(indicator(), "    Edit Mode      ");
    }
    // Zoom: wider and flatter, or narrower and taller, within bounds.
    pageDown();
    run(IDM_ZOOM_IN);
    EXPECT_EQ(std::pair(fake.fontCw, fake.fontLh), std::pair(9, 15));
    EXPECT_EQ(std::pair(g_window.width, g_window.height), std::pair(88 * 9 + 30, 34 * 15 + 60));
    EXPECT_EQ(fake.sizeRequests, 1);
    fake.clearScreen(); // everything is drawn again on the new grid
    run(IDM_ZOOM_OUT);
    expectPage(512);
    EXPECT_EQ(cursorShown(), 0);
    EXPECT_EQ(statusField(56, 9) + indicator(), "Protokoll    Edit Mode      ");
    int in = 0, out = 0;
    while (zoomIn() == 0 && in < 100)
        ++in;
    EXPECT_EQ(std::pair(fake.fontCw, fake.fontLh), std::pair(12, 12));
    while (zoomOut() == 0 && out < 100)
        ++out;
    EXPECT_EQ(std::pair(fake.fontCw, fake.fontLh), std::pair(7, 17));
    EXPECT_EQ(std::pair(in, out), std::pair(4, 5));
}

} // namespace
