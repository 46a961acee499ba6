// The page loaders against a reference: for random journals and random moves the screen (both
// halves of the pair: bytes, blanks beyond the end, journalled colour) must show the overlay of
// the blocks the journal was built from on the source, and the cursors must be the nearest
// nodes below and above the page. Damaged journals end with a report, never a hang.
#include "tests/support/doc_test.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>

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
        if (sound) ASSERT_EQ(checkOpenJournal(), "");
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
    std::string comparePage(uint64_t at, bool cursors = true) {
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
            if ((half == 0 || len2) && fake.cells(1, 0, 21) != addressText(at + half))
                err = "address column";
            for (uint32_t off = 0; off < 512 && err.empty(); ++off) {
                uint32_t i = half + off;
                char want[3] = "  ";
                if (i < len) std::snprintf(want, sizeof want, "%02X", buf[i]);
                bool bit = i < len && ((mask[i >> 3] >> (i & 7)) & 1);
                if (hexText(off) != want)
                    err = "byte " + std::to_string(i) + " shows " + hexText(off) + ", not " + want;
                else if (i < len && off != g_doc.CurOfs &&
                         hexBg(off) != (bit ? kJournalColour : kPlainHexBg))
                    err = "colour of byte " + std::to_string(i);
            }
        }
        g_doc.ViewOfs = view;
        if (err.empty() && cursors) err = checkPageCursors();
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
                if (t == a + 512 || t + 512 == a) EXPECT_LE(reads, 3) << a << " to " << t;
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
                if (inPair || below != model.begin()) EXPECT_EQ(g_doc.ViewOfs, 0u);
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
    const double densities[] = {0.01, 0.1, 0.5, 0.9, 1.0, 0.3};
    for (int round = 0; round < 6 && !HasFailure(); ++round) {
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

TEST_F(Movers, ReadsFollowRecordsNotDistance) {
    makeSource(64ull << 30);
    makeJournal({{4096, 512, 0, 1, 1},
                 {4608, 512, 0, 1, 2},
                 {6144, 512, 0, 1, 3},
                 {30ull << 30, 512, 0, 1, 4},
                 {62ull << 30, 512, 0, 1, 5}});
    openIt();
    go(4096);
    // One block on: block 5120 has no record (the next is 6144), one source read only; at
    // 5632 block 2 is the record at 6144 (record and data, then the next node's fields).
    EXPECT_EQ(go(4608), 1);
    EXPECT_EQ(go(5120), 1);
    EXPECT_EQ(go(5632), 3);
    // A jump across 60 GiB reads a handful of times.
    EXPECT_LE(go(61ull << 30), 6);
    EXPECT_LE(go(512), 6);
    go(1000 * 512);
    go(3000 * 512);
    go(2000 * 512);
}

TEST_F(Movers, AnEmptyChainOrNoJournalReadsEverythingPlain) {
    makeSource(40 * 512);
    makeJournal({});
    openIt();
    for (uint64_t t : {512ull, 2048ull, 8192ull, 1024ull, 0ull, 19456ull})
        go(t);
    EXPECT_EQ(gotoFirstPage(), 1);
    EXPECT_EQ(gotoLastPage(), 1);
    EXPECT_EQ(nextEdit(), 1);
    EXPECT_EQ(previousEdit(), 1);
    EXPECT_EQ(comparePage(19456), "");
    run(IDM_CLOSE_FILE);
    // No journal at all: beside the source, where a foreign file is refused.
    g_settings.JnlOptions = 0;
    makeFile("D/s.bin.jnl", {1, 2, 3});
    expectBox("Protokolldatei löschen / neu laden?", kIdNo);
    fake.fileDialogAnswers.push_back({true, "D:\\s.bin", true});
    fake.fileDialogAnswers.push_back({false, "", false});
    run(IDM_OPEN_FILE);
    ASSERT_FALSE(journalOpen());
    model.clear();
    for (uint64_t t : {4096ull, 4608ull, 0ull})
        go(t);
    EXPECT_EQ(readAll(dir + "/D/s.bin.jnl").size(), 3u);
}

TEST_F(Movers, DamagedChainsEndWithAReport) {
    makeSource(4096 * 512);
    std::vector<BlockSpec> b;
    for (int k = 0; k < 40; ++k)
        b.push_back({uint64_t(k) * 40 * 512, 512, 0, 1, uint32_t(k)});
    makeJournal(b);
    // Node 30 leads back to node 10 going up, node 12 back to node 25 going down; node 2
    // points into the header, node 5 far beyond the file.
    patch(built.nodes[30] + 0x10, built.nodes[10]);
    patch(built.nodes[12] + 0x08, built.nodes[25]);
    patch(built.nodes[2] + 0x10, 0x200);
    patch(built.nodes[5] + 0x08, 0x10000000400ull);
    fake.onUnexpected = nullptr;
    openIt(false);
    EXPECT_FALSE(g_jnl.Damaged);
    for (uint64_t t : {3500 * 512, 20 * 512, 100 * 512, 150 * 512}) {
        int before = reports();
        g_doc.ReadPtr = t;
        gotoPage(); // walks the chain from the nearest end
        EXPECT_GT(reports(), before) << t;
        EXPECT_TRUE(g_jnl.Damaged);
        EXPECT_EQ(g_doc.AnfPtr, t);
        EXPECT_LE(g_doc.PageLen, 1024u);
        gotoLastPage();
    }
}

TEST_F(Movers, LengthsAndTruncationCannotOverrunThePage) {
    makeSource(64 * 512);
    makeJournal({{0, 512, 0, 1, 1}, {512, 512, 0, 1, 2}, {8192, 512, 0, 1, 3}});
    patch(built.nodes[0] + 0x20, 0xFFFFFFF0u, 4);
    patch(built.nodes[1] + 0x20, 0xFFFFFFF0u, 4);
    // Cut the journal in the middle of the last entry.
    ASSERT_GT(built.nodes[2] + 640, built.length - 300);
    ASSERT_EQ(truncate(jnl.c_str(), off_t(built.length - 300)), 0);
    fake.onUnexpected = nullptr;
    openIt(false);
    model.erase(8192);
    model[0].len = model[512].len = 512;
    EXPECT_EQ(comparePage(0, false), "");
    // New entries go after the cut one, on an entry boundary.
    EXPECT_EQ(g_jnl.JnlEnd, built.length);
    // The record in the cut entry is reported when its data is reached.
    EXPECT_EQ(reports(), 0);
    g_doc.ReadPtr = 8192;
    gotoPage();
    EXPECT_GE(reports(), 1);
    EXPECT_EQ(g_doc.AnfPtr, 8192u);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
}

} // namespace
