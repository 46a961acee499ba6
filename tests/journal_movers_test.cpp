// The page loaders against a reference: for random journals and random moves the screen (both
// halves of the pair: bytes, blanks beyond the end, journalled colour) must show the overlay of
// the blocks the journal was built from on the source. Damaged journals end with a report,
// never a hang. The "Pointer und Flags" window shows the page's pointers and records as the
// file holds them.
#include "tests/support/doc_test.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>

#include "journal/pointerwin.h"
#include "view/status.h"

namespace {

class Movers : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
    }
    std::string jnl;
    uint64_t size = 0;
    std::map<uint64_t, BlockSpec> model;
    BuiltJournal built;

    // A sparse source of `n` bytes with a pattern in the first 64 KiB and around `extra`.
    void makeSource(uint64_t n, std::vector<uint64_t> extra = {}) {
        size = n;
        src = makeSparse("D/s.bin", n);
        jnl = dir + "/C/kelmor/D~1s.bin.jnl";
        extra.insert(extra.begin(), 8192);
        for (uint64_t e : extra) {
            uint64_t at = e > 8192 ? e - 8192 : 0, len = std::min<uint64_t>(65536, n - at);
            std::vector<uint8_t> b(len);
            for (size_t i = 0; i < len; ++i)
                b[i] = uint8_t((at + i) * 13 + ((at + i) >> 9));
            writeAt(src, at, b);
        }
    }
    void makeJournal(const std::vector<BlockSpec> &blocks, uint64_t firstEntry = 0,
                     uint32_t shuffle = 7) {
        model.clear();
        for (const BlockSpec &b : blocks)
            model[b.adr] = b;
        built = buildJournal(jnl, "D:\\s.bin", fakeLastWriteTime(src), blocks, firstEntry, shuffle);
    }
    void openIt(bool sound = true) {
        openThroughDialog("D:\\s.bin");
        ASSERT_TRUE(journalOpen());
        ASSERT_EQ(sound ? checkOpenJournal() : "", "");
    }

    // One block by the overlay rule: the record's bytes and marks, or the source's bytes.
    void expectBlock(uint64_t at, uint8_t *buf, uint8_t *mask, uint32_t *len) {
        auto it = model.find(at);
        std::memset(mask, 0, 64);
        *len = at < size ? uint32_t(std::min<uint64_t>(512, size - at)) : 0;
        std::vector<uint8_t> disk = diskBytes(at, *len);
        std::copy(disk.begin(), disk.end(), buf);
        if (it == model.end()) return;
        const BlockSpec &s = it->second;
        if (!(s.flags & 0x400000)) {
            for (int i = 0; i < 512; ++i)
                buf[i] = specData(s.seed, i);
            *len = s.len;
        }
        if (!(s.flags & 0x20))
            for (int i = 0; i < 64; ++i)
                mask[i] = specMask(s.seed, i);
    }
    // The page at `at` as the screen must show it; "" when it does.
    std::string comparePage(uint64_t at) {
        char w[64];
        std::snprintf(w, sizeof w, "page at 0x%llX: ", (unsigned long long)at);
        if (g_doc.AnfPtr != at) return w + std::string("AnfPtr ") + std::to_string(g_doc.AnfPtr);
        uint8_t buf[1024], mask[128] = {};
        uint32_t len1 = 0, len2 = 0;
        expectBlock(at, buf, mask, &len1);
        if (len1 == 512 && at + 512 < size) expectBlock(at + 512, buf + 512, mask + 64, &len2);
        uint32_t view = g_doc.ViewOfs, len = len1 + len2;
        g_doc.MarkFlag = 0;
        std::string err;
        for (uint32_t half : {0u, 512u}) {
            g_doc.ViewOfs = half;
            paintPage();
            PageImage p{at + half, {}, {}};
            for (uint32_t i = half; i < half + 512 && i < len; ++i)
                p.bytes.push_back(buf[i]), p.marked.push_back((mask[i >> 3] >> (i & 7)) & 1);
            if (err.empty()) err = screenDiff(p);
        }
        g_doc.ViewOfs = view;
        return err.empty() ? "" : w + err;
    }
    uint64_t lastBlk() { return (size - 1) & ~uint64_t(511); }
    uint64_t lastPair() { return (size - 1) & ~uint64_t(1023); }

    // Moves to `target` with gotoPage and checks the page; counts the reads.
    int go(uint64_t target) {
        int before = fake.reads;
        g_doc.ReadPtr = target;
        gotoPage();
        int reads = fake.reads - before;
        EXPECT_EQ(comparePage(target), "") << "after gotoPage to " << target;
        return reads;
    }

    // Random moves over the current model; checks after every one.
    void randomWalk(std::mt19937_64 &rng, int moves) {
        uint64_t lb = lastBlk();
        auto clampBlk = [&](int64_t v) {
            return v < 0 ? 0 : std::min<uint64_t>(uint64_t(v) & ~uint64_t(511), lb);
        };
        for (int m = 0; m < moves && !HasFailure(); ++m) {
            uint64_t a = g_doc.AnfPtr, want = a;
            uint32_t view = g_doc.ViewOfs;
            int kind = int(rng() % 20);
            if (kind < 10) {
                uint64_t t = clampBlk(int64_t(a) + (int64_t(rng() % 9) - 4) * 512);
                int reads = go(t);
                EXPECT_TRUE((t != a + 512 && t + 512 != a) || reads <= 3) << a << " to " << t;
                continue;
            } else if (kind < 13) {
                go(clampBlk(int64_t(rng() % (lb + 1))));
                continue;
            } else if (kind < 15 && !model.empty()) {
                auto it = model.begin();
                std::advance(it, long(rng() % model.size()));
                go(clampBlk(int64_t(it->first) + (int64_t(rng() % 5) - 2) * 512));
                continue;
            } else if (kind == 15) {
                gotoFirstPage();
                want = 0;
            } else if (kind == 16) {
                gotoLastPage();
                want = lastPair();
            } else if (kind == 17) {
                reloadPage();
            } else if (kind == 18) {
                bool two = a + 512 < size && a + 512 <= lb;
                auto next = model.upper_bound(two ? a + 512 : a);
                bool inPair = view == 0 && two && model.count(a + 512);
                nextEdit();
                if (!inPair && next != model.end()) want = next->first;
                EXPECT_EQ(g_doc.ViewOfs, inPair ? 512u : next != model.end() ? 0u : view);
            } else {
                auto below = model.lower_bound(a);
                bool inPair = view >= 512 && model.count(a);
                previousEdit();
                if (!inPair && below != model.begin()) want = std::prev(below)->first;
                EXPECT_TRUE((!inPair && below == model.begin()) || g_doc.ViewOfs == 0);
            }
            EXPECT_EQ(comparePage(want), "") << "move kind " << kind << " from " << a;
        }
    }

    // A random journal over the source: density, flags and versions vary.
    std::vector<BlockSpec> randomBlocks(std::mt19937_64 &rng, uint64_t base, uint64_t blocks,
                                        double density) {
        std::vector<BlockSpec> out;
        static const uint32_t flags[] = {0, 0, 0, 0x20, 0x400000, 0x400020, 0x80000};
        for (uint64_t k = 0; k < blocks; ++k) {
            if (std::uniform_real_distribution<double>(0, 1)(rng) >= density) continue;
            uint64_t adr = base + k * 512;
            if (adr >= size) break;
            out.push_back({adr, uint32_t(std::min<uint64_t>(512, size - adr)), flags[rng() % 7],
                           rng() % 5 == 0 ? int(2 + rng() % 2) : 1, uint32_t(rng())});
        }
        return out;
    }
    int reports() {
        int n = 0;
        for (auto &b : fake.boxes)
            n += b.caption == "ungültige Daten !" || b.caption == "Dateiende erreicht !";
        return n;
    }
    void patch(uint64_t pos, uint64_t v, size_t n = 8) {
        uint8_t b[8];
        for (int i = 0; i < 8; ++i)
            b[i] = uint8_t(v >> (8 * i));
        patchFile(jnl, pos, b, n);
    }
};

TEST_F(Movers, RandomJournalsAgainstTheReference) {
    std::mt19937_64 rng(20261206);
    const double densities[] = {0, 0.01, 0.1, 0.5, 0.9, 1.0, 0.3}; // 0: an empty chain
    for (int round = 0; round < 7 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        uint64_t blocks = 64 + rng() % 3000;
        makeSource(blocks * 512 - (round % 2 ? rng() % 511 : 0));
        makeJournal(randomBlocks(rng, 0, blocks, densities[round]), 0, uint32_t(3 + round * 2));
        openIt();
        EXPECT_EQ(comparePage(0), "");
        randomWalk(rng, 600);
        EXPECT_EQ(checkOpenJournal(), "");
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(Movers, SourceAndJournalBeyondFourGigabytes) {
    std::mt19937_64 rng(77);
    // 6 GiB source; blocks around the 4 GiB boundary and far above; entries beyond 4 GiB.
    uint64_t six = 0x180000000ull;
    makeSource(six + 300, {0xFFFFF000ull, 0x100000000ull, 0x17FFFF000ull});
    std::vector<BlockSpec> b = randomBlocks(rng, 0xFFFFC000ull, 64, 0.5);
    std::vector<BlockSpec> far = randomBlocks(rng, six - 16 * 512, 17, 0.6);
    b.insert(b.end(), far.begin(), far.end());
    b.push_back({0x80000000ull, 512, 0, 2, 99});
    b.push_back({512, 512, 0x20, 1, 5});
    makeJournal(b, 0x700000, 5);
    ASSERT_GT(built.nodes.front() >> 32, 0u);
    openIt();
    randomWalk(rng, 300);
    // Steps across the 4 GiB line one block at a time, and the last pair: one short block.
    go(0xFFFFF000ull);
    for (int i = 0; i < 32 && !HasFailure(); ++i)
        go(i < 16 ? g_doc.AnfPtr + 512 : g_doc.AnfPtr - 512);
    gotoLastPage();
    EXPECT_EQ(comparePage(six), "");
}

TEST_F(Movers, DamagedJournalsEndWithAReport) {
    // Node 30 leads back to node 10 going up, node 12 back to node 25 going down; node 2
    // points into the header, node 5 far beyond the file.
    makeSource(4096 * 512);
    std::vector<BlockSpec> b;
    for (int k = 0; k < 40; ++k)
        b.push_back({uint64_t(k) * 40 * 512, 512, 0, 1, uint32_t(k)});
    makeJournal(b);
    patch(built.nodes[30] + 0x10, built.nodes[10]);
    patch(built.nodes[12] + 0x08, built.nodes[25]);
    patch(built.nodes[2] + 0x10, 0x200);
    patch(built.nodes[5] + 0x08, 0x10000000400ull);
    fake.onUnexpected = nullptr;
    openIt(false);
    for (uint64_t t : {3500 * 512, 20 * 512, 100 * 512, 150 * 512, 0}) {
        int before = reports();
        g_doc.ReadPtr = t;
        gotoPage(); // walks the chain from the nearest end
        EXPECT_GT(reports(), before) << t;
        EXPECT_TRUE(g_jnl.Damaged);
        EXPECT_EQ(g_doc.AnfPtr, t);
        gotoLastPage();
        // Lengths beyond a block and a journal cut in its last entry cannot overrun the page.
        if (t) continue;
        // No commit goes into a damaged journal: the user is told, the inputs stay.
        std::vector<uint8_t> kept = readAll(jnl);
        cursorAt(5);
        type("41");
        ret();
        EXPECT_EQ(fake.boxes.back().caption + fake.boxes.back().text,
                  "ungültige Daten !Fehler beim Lesen von C:\\kelmor\\D~1s.bin.jnl");
        EXPECT_EQ(readAll(jnl), kept);
        EXPECT_EQ(hexText(5) + std::to_string(hexBg(5)), "41" + std::to_string(kInputColour));
        run(IDM_CLOSE_FILE);
        makeJournal({{0, 512, 0, 1, 1}, {512, 512, 0, 1, 2}, {8192, 512, 0, 1, 3}});
        patch(built.nodes[0] + 0x20, 0xFFFFFFF0u, 4);
        patch(built.nodes[1] + 0x20, 0xFFFFFFF0u, 4);
        ASSERT_EQ(truncate(jnl.c_str(), off_t(built.length - 300)), 0);
        openIt(false);
        model.erase(8192);
        model[0].len = model[512].len = 512;
        EXPECT_EQ(comparePage(0), "");
        EXPECT_EQ(g_jnl.JnlEnd, built.length); // new entries go after the cut one
    }
    int before = reports();
    g_doc.ReadPtr = 8192;
    gotoPage(); // the record in the cut entry is reported when its data is reached
    EXPECT_GT(reports(), before);
    EXPECT_EQ(comparePage(8192), "");
}

TEST_F(Movers, ThePointerWindowAndTheJumpsBetweenEdits) {
    makeSource(64 * 512);
    makeJournal({{512, 512, 0, 1, 7}, {8192, 512, 0x20, 2, 8}, {20480, 512, 0, 1, 9}}, 0, 1);
    openIt();
    run(IDM_TOGGLE_POINTER_WINDOW);
    auto *host = static_cast<FakeDialogHost *>(pointerWindowHost());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->title + std::to_string(fake.dialogsShown.back()),
              "Pointer und Flags" + std::to_string(IDD_POINTERS));
    // The window's controls in order, as the file and the page hold them: AnfPtr, MidPtr, the
    // nodes below and above, Undo, Rest, their addresses, both page records (zeros without
    // one), then ModFlag and JReadFlag. `below`, `above`, `r1` and `r2` index the nodes.
    auto window = [&] {
        std::string t;
        for (int id = IDC_PF_ANFPTR; id <= IDC_PF_JREADFLAG; ++id)
            t += host->texts.count(id) ? host->texts[id] + "|" : "";
        return t;
    };
    auto want = [&](int below, int above, int r1, int r2) {
        auto p64 = [](uint64_t v) { return addressText(v).substr(0, 20) + "|"; };
        auto node = [&](int k) { return k < 0 ? kNull : built.nodes[k]; };
        std::string t = p64(g_doc.AnfPtr) + p64(g_doc.AnfPtr + 512) + p64(node(below)) +
                        p64(node(above)) + p64(built.undo.back()) + p64(built.undo.front()) +
                        (below < 0 ? host->texts[IDC_PF_JPREVADR] + "|" // nothing to show
                                   : p64(rec(node(below)).Adr)) +
                        p64(rec(node(above)).Adr);
        for (int k : {r1, r2}) {
            JRec r = k < 0 ? JRec() : rec(node(k));
            for (uint64_t v : {k < 0 ? 0 : r.pos, r.PrevPtr, r.NextPtr, r.PJnl, r.NJnl, r.PUndo,
                               r.NUndo, uint64_t(r.Flags) << 32})
                t += p64(v);
        }
        return t + p64(g_doc.ModFlag).substr(10) + p64((r1 >= 0) | (r2 >= 0) << 1).substr(10);
    };
    EXPECT_EQ(window(), want(-1, 1, -1, 0));
    gotoPair(8192); // every repaint refreshes it
    EXPECT_EQ(window(), want(0, 2, 1, -1));
    showDiskMode(); // and every update of the mode indicator (ModFlag changed)
    EXPECT_EQ(window(), want(0, 2, 1, -1));
    showEditMode();
    EXPECT_TRUE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW] && (g_doc.ModFlag & 0x40000000));
    // Unchecked: repaints leave it alone; checked again: the same window, filled at once.
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_FALSE(fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    gotoPair(0);
    EXPECT_EQ(host->texts[IDC_PF_ANFPTR], addressText(8192).substr(0, 20));
    size_t shown = fake.dialogsShown.size();
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_EQ(fake.dialogsShown.size(), shown);
    EXPECT_EQ(window(), want(-1, 1, -1, 0));
    // The jumps by menu and key, the window following.
    for (auto j : {IDM_NEXT_EDIT, IDM_NEXT_EDIT_KEY, IDM_PREVIOUS_EDIT, IDM_PREVIOUS_EDIT_KEY}) {
        run(j);
        EXPECT_EQ(first(), j == IDM_NEXT_EDIT ? 512 : j == IDM_NEXT_EDIT_KEY ? 8192 : 512);
        EXPECT_EQ(fake.scrollPos, int(first())); // 32 KiB: the bar counts bytes
        EXPECT_EQ(comparePage(g_doc.AnfPtr) + host->texts[IDC_PF_ANFPTR],
                  addressText(g_doc.AnfPtr).substr(0, 20));
    }
    // Closing ends the window; other controls do nothing; the command opens a new one.
    EXPECT_FALSE(pointerWindowLogic().command(*host, IDC_PF_ANFPTR, 0));
    EXPECT_TRUE(pointerWindowLogic().command(*host, IDC_PF_CLOSE, 0));
    EXPECT_TRUE(host->ended && !pointerWindowHost() && !fake.menuChecks[IDM_TOGGLE_POINTER_WINDOW]);
    paintPage(); // no window to refresh
    run(IDM_TOGGLE_POINTER_WINDOW);
    EXPECT_EQ(fake.dialogsShown.size(), shown + 1);
}

} // namespace
