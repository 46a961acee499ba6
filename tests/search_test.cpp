#include <cstring>
#include <random>

#include "tests/support/doc_test.h"
#include "tools/search.h"

namespace {

constexpr uint32_t kMatchBg = 0xEEFF88; // RGB(136, 255, 238)

uint8_t upper(uint8_t c) {
    return (c >= 'a' && c <= 'z') || c == 0xE4 || c == 0xF6 || c == 0xFC ? uint8_t(c - 32) : c;
}
std::string hexOf(const std::vector<uint8_t> &b, bool commas) {
    std::string s;
    char t[4];
    for (uint8_t c : b)
        std::snprintf(t, sizeof t, commas ? "%X," : "%02x", c), s += t;
    return s;
}

class Search : public DocTest {
  protected:
    void start(unsigned command, const std::string &what, bool down = true, bool exact = false) {
        std::snprintf(g_find.findWhat, sizeof g_find.findWhat, "%s", what.c_str());
        g_find.down = down;
        g_find.matchCase = exact;
        run(command);
    }
    // One Find Next; the position found, or -1 (and then the page must not have moved).
    int64_t next() {
        uint64_t anf = g_doc.AnfPtr;
        g_find.findNext = true;
        onFindRequest();
        if (g_search.MatchOfs < 0) {
            EXPECT_EQ(g_doc.AnfPtr, anf);
            return -1;
        }
        EXPECT_EQ(g_doc.AnfPtr + g_doc.ViewOfs, g_search.MatchPos & ~uint64_t(511));
        return int64_t(g_search.MatchPos);
    }
    std::vector<uint64_t> all() {
        std::vector<uint64_t> v;
        for (int64_t p; v.size() < 5000 && (p = next()) >= 0;)
            v.push_back(uint64_t(p));
        return v;
    }
};

TEST_F(Search, FindsWhatANaiveScanOfTheJournalledDataFindsInBothDirections) {
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        std::mt19937 rng(seed);
        auto R = [&](uint32_t n) { return uint32_t(rng() % n); };
        bool hex = seed % 3 == 0, exact = seed % 3 == 1, small = seed % 5 == 0;
        uint32_t m = seed % 4 == 0 ? 1 : seed % 4 == 1 ? (hex ? 42 : 127) : 2 + R(20);
        size_t size = small ? 1 + R(3000) : 0x40000 + R(0x50000);
        const uint8_t alpha[] = {'a', 'A', 0xE4, 0xC4, 0xDF, 'b'};
        std::vector<uint8_t> pat(m), bytes(size);
        for (auto &b : pat)
            b = hex ? uint8_t(R(256)) : alpha[R(6)];
        for (auto &b : bytes)
            b = small ? alpha[R(6)] : uint8_t(R(256));
        // Copies across the chunk border, across block borders, anywhere; some in other case.
        for (uint64_t at : {uint64_t(0x40000 - R(m + 1)), 512 * uint64_t(1 + R(900)) - R(m),
                            uint64_t(R(uint32_t(size))), uint64_t(size - m)})
            for (uint32_t i = 0; i < m && at + m <= size; ++i)
                bytes[at + i] = R(3) ? pat[i] : pat[i] ^ 0x20;
        std::string name = "s" + std::to_string(seed) + ".bin";
        openSource(bytes, true, name);
        std::string host = jnlHost();
        run(IDM_CLOSE_FILE);
        std::vector<BlockSpec> blocks;
        for (uint64_t a = 512 * R(8); a < size; a += 512 * (1 + R(small ? 2 : 300)))
            blocks.push_back({a, uint32_t(std::min<uint64_t>(512, size - a)), R(5) ? 0u : 0x400000u,
                              1 + int(R(2)), R(1000)});
        BuiltJournal b = buildJournal(host, src.c_str(), fakeLastWriteTime(src), blocks);
        for (size_t k = 0; k < b.nodes.size(); k += 2) { // the pattern made by an edit
            uint32_t off = R(512), n = std::min(m, 512 - off);
            patchFile(host, b.nodes[k] + 128 + off, pat.data(), n);
        }
        open(src);
        std::vector<uint8_t> v = viewFromFiles().bytes;
        std::vector<uint64_t> want;
        for (uint64_t p = 0; p + m <= size; ++p) {
            uint32_t i = 0;
            while (i < m && (hex || exact ? v[p + i] == pat[i] : upper(v[p + i]) == upper(pat[i])))
                ++i;
            if (i == m) want.push_back(p);
        }
        std::string what = hex ? hexOf(pat, seed & 1) : std::string(pat.begin(), pat.end());
        unsigned command = hex ? IDM_HEX_SEARCH : IDM_TEXT_SEARCH;
        gotoPair(0);
        start(command, what, true, exact);
        EXPECT_EQ(all(), want) << "forward, seed " << seed;
        showByte(size - 1); // the window shows the end: all of the file is below it
        start(command, what, false, exact);
        std::reverse(want.begin(), want.end());
        EXPECT_EQ(all(), want) << "backward, seed " << seed;
        quietClose();
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(Search, HexPatterns) {
    const struct {
        const char *text;
        std::vector<uint8_t> bytes;
    } rows[] = {{"A4,D3,7", {0xA4, 0xD3, 7}},
                {"a4d307", {0xA4, 0xD3, 7}},
                {"A4 D3 07", {0xA4, 0xD3, 7}},
                {"41\"BC\"", {0x41, 0x42, 0x43}},
                {"123", {0x12, 3}},
                {"1g2", {1, 2}},
                {"\"a,b", {'a', ',', 'b'}},
                {"xyz", {}},
                {"", {}}};
    for (auto &r : rows) {
        uint8_t out[128];
        uint32_t n = parseHexPattern(r.text, 127, out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), r.bytes) << r.text;
    }
}

TEST_F(Search, FoldsCaseHighlightsAcrossLinesAndStopsAtTheEnd) {
    std::vector<uint8_t> z(8192, 0);
    auto put = [&](size_t at, const std::string &s) { std::memcpy(&z[at], s.data(), s.size()); };
    put(100, "ABC"), put(700, "aBc"), put(900, "\xC4"), put(1000, "\xDF"), put(1100, "\xE4");
    for (int i = 0; i < 40; ++i)
        z[0x200 + 15 + i] = uint8_t(0x80 + i);
    openSource(z);
    start(IDM_TEXT_SEARCH, "abc");
    EXPECT_EQ(all(), (std::vector<uint64_t>{100, 700}));
    EXPECT_EQ(next(), -1) << "a step after the end does nothing";
    gotoPair(0);
    start(IDM_TEXT_SEARCH, "\xE4");
    EXPECT_EQ(all(), (std::vector<uint64_t>{900, 1100}));
    gotoPair(0);
    start(IDM_TEXT_SEARCH, "\xDF");
    EXPECT_EQ(all(), (std::vector<uint64_t>{1000}));
    gotoPair(0);
    start(IDM_TEXT_SEARCH, "abc", true, true);
    EXPECT_EQ(next(), -1);
    // 40 bytes from the last column of a line: three lines, the middle gap left out.
    gotoPair(0);
    start(IDM_HEX_SEARCH, hexOf(std::vector<uint8_t>(&z[0x20F], &z[0x20F + 40]), false));
    ASSERT_EQ(next(), 0x20F);
    for (uint32_t off : {15u, 16u, 30u, 54u})
        EXPECT_TRUE(hexBg(off) == kMatchBg && charBg(off) == kMatchBg) << off;
    EXPECT_NE(hexBg(14), kMatchBg);
    EXPECT_NE(hexBg(55), kMatchBg);
    EXPECT_EQ(fake.bg(rowOf(20), hexCol(20) + 2), kMatchBg) << "blank between two match bytes";
    EXPECT_NE(fake.bg(rowOf(23), hexCol(23) + 2), kMatchBg) << "the middle gap";
    // Backward from the window: a match up to 512 bytes below its top-left byte.
    put(0x1000 + 500, "XYZ");
    quietClose();
    run(IDM_CLOSE_FILE);
    openSource(z, true, "b.bin");
    gotoPair(0x1000);
    start(IDM_TEXT_SEARCH, "xyz", false);
    EXPECT_EQ(next(), 0x1000 + 500);
    // F3 starts anew from the window; the menu item "Hex-Suche" opens the hex search.
    gotoPair(0);
    run(IDM_SEARCH_AGAIN);
    EXPECT_EQ(g_search.MatchPos, 0x1000u + 500);
    run(IDM_END_HELD_VIEW_SEARCH);
    EXPECT_TRUE(fake.findReq && fake.findReq->hideMatchCase && g_search.Kind == kSearchHex);
}

TEST_F(Search, EditsReadErrorsEscapeAndTheFourGigabyteBorder) {
    std::vector<uint8_t> z(0x90000, 0);
    std::memcpy(&z[0x80000], "needle", 6);
    std::memcpy(&z[0x300], "needle", 6);
    openSource(z);
    typeAt(0x300, {'N'}); // the source's bytes under an edit are not found
    typeAt(0x1000, {'n', 'e', 'e', 'd', 'l', 'e'});
    gotoPair(0);
    start(IDM_TEXT_SEARCH, "needle", true, true);
    EXPECT_EQ(next(), 0x1000);
    fake.failRead(1, kErrAccessDenied, "src.bin");
    expectBox("", kIdOk, "Fehler beim Lesen von ");
    EXPECT_EQ(next(), 0x80000) << "the search goes on after a failed read";
    gotoPair(0);
    start(IDM_TEXT_SEARCH, "needle", true, true);
    next();
    fake.tickStep = 30;
    fake.keys = {27};
    EXPECT_EQ(next(), -1) << "Esc between chunks";
    EXPECT_EQ(next(), 0x80000) << "and the next step goes on";
    quietClose();
    run(IDM_CLOSE_FILE);
    uint64_t at = 0xFFFFFFFDull;
    open(sparseWith("big.bin", 0x140000000ull, {{at, 8}}));
    std::string what = hexOf(sigBytes(at, 8), true);
    gotoPair(0xFFF00000ull);
    start(IDM_HEX_SEARCH, what);
    EXPECT_EQ(next(), int64_t(at));
    gotoPair(0x100100000ull);
    start(IDM_HEX_SEARCH, what, false);
    EXPECT_EQ(next(), int64_t(at));
    EXPECT_EQ(first(), 0xFFFFFE00ull);
}

TEST_F(Search, BadPatterns) {
    std::vector<uint8_t> z(4096, 0);
    std::string long127(127, 'q');
    std::memcpy(&z[1500], long127.data(), 127);
    openSource(z);
    start(IDM_HEX_SEARCH, "xyz");
    EXPECT_EQ(next(), -1);
    start(IDM_TEXT_SEARCH, "");
    EXPECT_EQ(next(), -1);
    start(IDM_TEXT_SEARCH, long127 + "qqq"); // the buffer keeps 127 characters
    EXPECT_EQ(next(), 1500);
}

} // namespace
