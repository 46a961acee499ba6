#include <cstring>
#include <random>

#include "tests/support/doc_test.h"
#include "tools/search.h"

namespace {

constexpr uint32_t kMatchBg = 0xEEFF88; // RGB(136, 255, 238)

std::string hexOf(const std::vector<uint8_t> &b, bool commas) {
    std::string s;
    char t[4];
    for (uint8_t c : b)
        std::snprintf(t, sizeof t, commas ? "%X," : "%02x", c), s += t;
    return s;
}

class Search : public DocTest {
  protected:
    int64_t next() { // one Find Next: the match, or -1 and the page where it was

        uint64_t anf = g_doc.AnfPtr;
        g_find.findNext = true;
        onFindRequest();
        bool found = g_search.MatchOfs >= 0;
        EXPECT_EQ(g_doc.AnfPtr, found ? g_search.MatchPos & ~uint64_t(511) : anf);
        return found ? int64_t(g_search.MatchPos) : -1;
    }
    // Every match (at most `most`) from the window that shows `at`, step by step.
    std::vector<uint64_t> find(unsigned command, const std::string &what, uint64_t at = 0,
                               bool down = true, bool exact = false, size_t most = 5000) {
        showByte(at);
        std::snprintf(g_find.findWhat, sizeof g_find.findWhat, "%s", what.c_str());
        g_find.down = down, g_find.matchCase = exact;
        run(command);
        std::vector<uint64_t> v;
        for (int64_t p; v.size() < most && (p = next()) >= 0;)
            v.push_back(uint64_t(p));
        return v;
    }
};
using V = std::vector<uint64_t>;

TEST_F(Search, FindsWhatANaiveScanOfTheJournalledDataFindsInBothDirections) {
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        std::mt19937 rng(seed);
        auto R = [&](uint32_t n) { return uint32_t(rng() % n); };
        bool hex = seed % 3 == 0, exact = seed % 3 == 1, small = seed % 5 == 0;
        uint32_t m = seed % 4 == 0 ? 1 : seed % 4 == 1 ? (hex ? 42 : 127) : 2 + R(20);
        size_t size = small ? 1 + R(3000) : 0x40000 + R(0x50000);
        const uint8_t alpha[] = {'a', 'A', 0xE4, 0xC4, 0xDF, 'b'};
        std::vector<uint8_t> pat(m), bytes(size);
        std::generate(pat.begin(), pat.end(), [&] { return hex ? uint8_t(R(256)) : alpha[R(6)]; });
        std::generate(bytes.begin(), bytes.end(),
                      [&] { return small ? alpha[R(6)] : uint8_t(R(256)); });
        // Copies across the chunk border, across block borders, anywhere; some in other case.
        for (uint64_t at : {uint64_t(0x40000 - R(m + 1)), 512 * uint64_t(1 + R(900)) - R(m),
                            uint64_t(R(uint32_t(size))), uint64_t(size - m)})
            for (uint32_t i = 0; i < m && at + m <= size; ++i)
                bytes[at + i] = R(3) ? pat[i] : pat[i] ^ 0x20;
        openSource(bytes, true, "s" + std::to_string(seed) + ".bin");
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
        auto up = [](int c) {
            return (c >= 'a' && c <= 'z') || c == 0xE4 || c == 0xF6 || c == 0xFC ? c - 32 : c;
        };
        auto eq = [&](uint8_t x, uint8_t y) { return hex || exact ? x == y : up(x) == up(y); };
        for (uint64_t p = 0; p + m <= size; ++p)
            if (std::equal(pat.begin(), pat.end(), v.begin() + p, eq)) want.push_back(p);
        std::string what = hex ? hexOf(pat, seed & 1) : std::string(pat.begin(), pat.end());
        unsigned command = hex ? IDM_HEX_SEARCH : IDM_TEXT_SEARCH;
        EXPECT_EQ(find(command, what, 0, true, exact), want) << "forward, seed " << seed;
        std::reverse(want.begin(), want.end()); // backward from the window at the end
        EXPECT_EQ(find(command, what, size - 1, false, exact), want) << "backward, seed " << seed;
        quietClose();
    }
}

TEST_F(Search, PatternsFoldingHighlightAndTheEnd) {
    const char *rows[][2] = {{"A4,D3,7", "a4d307"},  {"a4d307", "a4d307"}, {"A4 D3 07", "a4d307"},
                             {"41\"BC\"", "414243"}, {"123", "1203"},      {"1g2", "0102"},
                             {"\"a,b", "612c62"},    {"xyz", ""},          {"", ""}};
    for (auto &r : rows) {
        uint8_t out[128];
        uint32_t n = parseHexPattern(r[0], 127, out);
        EXPECT_EQ(hexOf(std::vector<uint8_t>(out, out + n), false), r[1]) << r[0];
    }
    // Case folding, the end, bad patterns.
    std::vector<uint8_t> z(8192, 0);
    auto put = [&](size_t at, const std::string &s) { std::memcpy(&z[at], s.data(), s.size()); };
    put(100, "ABC"), put(700, "aBc"), put(900, "\xC4"), put(1000, "\xDF"), put(1100, "\xE4");
    for (int i = 0; i < 40; ++i)
        z[0x200 + 15 + i] = uint8_t(0x80 + i);
    std::string q127(127, 'q');
    put(4000, q127), put(0x1000 + 500, "XYZ");
    openSource(z);
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "abc"), (V{100, 700}));
    EXPECT_EQ(next(), -1) << "a step after the end does nothing";
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "\xE4"), (V{900, 1100}));
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "\xDF"), (V{1000}));
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "abc", 0, true, true), V{});
    EXPECT_EQ(find(IDM_TEXT_SEARCH, q127 + "qqq"), V{4000}) << "the buffer keeps 127 characters";
    EXPECT_EQ(find(IDM_TEXT_SEARCH, ""), V{});
    EXPECT_EQ(find(IDM_HEX_SEARCH, "xyz"), V{}) << "no digits";
    // 40 bytes from the last column of a line: three lines, the middle gap left out.
    std::string what = hexOf(std::vector<uint8_t>(&z[0x20F], &z[0x20F + 40]), false);
    ASSERT_EQ(find(IDM_HEX_SEARCH, what, 0, true, false, 1), V{0x20F});
    for (uint32_t off : {15u, 16u, 30u, 54u})
        EXPECT_TRUE(hexBg(off) == kMatchBg && charBg(off) == kMatchBg) << off;
    EXPECT_TRUE(hexBg(14) != kMatchBg && hexBg(55) != kMatchBg && charBg(55) != kMatchBg);
    // The blank between two match bytes is coloured, the middle gap is not.
    EXPECT_TRUE(fake.bg(2, hexCol(20) + 2) == kMatchBg && fake.bg(2, hexCol(23) + 2) != kMatchBg);
    // Backward from the window: a match up to 512 bytes below its top-left byte.
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "xyz", 0x1000, false), V{0x1000 + 500});
    // F3 starts anew from the window; the menu item "Hex-Suche" opens the hex search.
    showByte(0);
    run(IDM_SEARCH_AGAIN);
    EXPECT_EQ(g_search.MatchPos, 0x1000u + 500);
    run(IDM_END_HELD_VIEW_SEARCH);
    EXPECT_TRUE(fake.findReq && fake.findReq->hideMatchCase && g_search.Kind == kSearchHex);
    // Edits, read errors, Esc, a new request during a step.
    z.assign(0x90000, 0);
    put(0x80000, "needle"), put(0x300, "needle");
    quietClose();
    openSource(z, true, "src2.bin");
    typeAt(0x300, {'N'}); // the source's bytes under an edit are not found
    typeAt(0x1000, {'n', 'e', 'e', 'd', 'l', 'e'});
    EXPECT_EQ(find(IDM_TEXT_SEARCH, "needle", 0x1000, true, true, 1), V{0x1000});
    fake.failRead(1, kErrAccessDenied, "src2.bin");
    expectBox("", kIdOk, "Fehler beim Lesen von ");
    EXPECT_EQ(next(), 0x80000) << "the search goes on after a failed read";
    find(IDM_TEXT_SEARCH, "needle", 0x2000, true, true, 0);
    fake.clockStep = 30;
    fake.keys = {27};
    EXPECT_EQ(next(), -1) << "Esc between chunks";
    EXPECT_EQ(next(), 0x80000) << "and the next step goes on";
    find(IDM_TEXT_SEARCH, "needle", 0x2000, true, true, 0);
    fake.onPoll = [&] {
        std::strcpy(g_find.findWhat, "zzz"), fake.onPoll = nullptr, onFindRequest();
    };
    EXPECT_EQ(next(), -1) << "a new request during a step ends it, and runs from where it was";
    quietClose(); // the next open closes this source without a question
    uint64_t at = 0xFFFFFFFDull;
    open(sparseWith("big.bin", 0x140000000ull, {{at, 8}}));
    std::string w = hexOf(sigBytes(at, 8), true);
    EXPECT_EQ(find(IDM_HEX_SEARCH, w, 0xFFF00000ull, true, false, 1), V{at});
    EXPECT_EQ(find(IDM_HEX_SEARCH, w, 0x100100000ull, false, false, 1), V{at});
}

} // namespace
