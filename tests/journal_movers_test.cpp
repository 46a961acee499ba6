// The page loaders against a brute-force reference: for random journals and random moves the
// page (bytes, marks, lengths, records) must equal the overlay computed from the journal's
// blocks and the source, and the cursors must be the nearest nodes below and above the page.
#include "tests/support/harness.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "tests/support/journal_check.h"

namespace {

constexpr uint64_t kNone = 0xFFFFFFFF00000000ull;

class Movers : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
        g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
    }

    std::string srcHost, jnlHost;
    const char *src = "D:\\s.bin";
    uint64_t size = 0;
    std::map<uint64_t, BlockSpec> model;
    BuiltJournal built;

    // A source of `n` bytes (sparse) with a pattern in the first 64 KiB and around `extra`.
    void makeSource(uint64_t n, std::vector<uint64_t> extra = {}) {
        size = n;
        srcHost = makeSparse("D/s.bin", n);
        jnlHost = dir + "/C/kelmor/D~1s.bin.jnl";
        auto put = [&](uint64_t at, size_t len) {
            if (at >= n) return;
            len = size_t(std::min<uint64_t>(len, n - at));
            std::vector<uint8_t> b(len);
            for (size_t i = 0; i < len; ++i)
                b[i] = uint8_t((at + i) * 13 + ((at + i) >> 9));
            writeAt(srcHost, at, b);
        };
        put(0, 65536);
        for (uint64_t e : extra)
            put(e > 8192 ? e - 8192 : 0, 16384);
    }
    void makeJournal(const std::vector<BlockSpec> &blocks, uint64_t firstEntry = 0,
                     uint32_t shuffle = 7) {
        model.clear();
        for (const BlockSpec &b : blocks)
            model[b.adr] = b;
        built = buildJournal(jnlHost, src, fakeLastWriteTime(srcHost), blocks, firstEntry, shuffle);
    }
    void open() {
        openThroughDialog(src);
        ASSERT_TRUE(journalOpen());
        ASSERT_EQ(checkOpenJournal(), "");
    }

    uint32_t sourceBytes(uint64_t at, uint8_t *buf) {
        if (at >= size) return 0;
        uint32_t n = uint32_t(std::min<uint64_t>(512, size - at));
        int fd = ::open(srcHost.c_str(), O_RDONLY);
        ssize_t r = pread(fd, buf, n, off_t(at));
        close(fd);
        return r < 0 ? 0 : uint32_t(r);
    }
    // One block by the overlay rule: record bytes and marks, or the source's bytes.
    bool expectBlock(uint64_t at, uint8_t *buf, uint8_t *mask, uint32_t *len) {
        auto it = model.find(at);
        std::memset(mask, 0, 64);
        if (it == model.end()) {
            *len = sourceBytes(at, buf);
            return false;
        }
        const BlockSpec &s = it->second;
        if (s.flags & 0x400000)
            *len = sourceBytes(at, buf);
        else {
            for (int i = 0; i < 512; ++i)
                buf[i] = specData(s.seed, i);
            *len = s.len;
        }
        if (!(s.flags & 0x20))
            for (int i = 0; i < 64; ++i)
                mask[i] = specMask(s.seed, i);
        return true;
    }
    // The page at `at` as it must look; "" when it does.
    std::string comparePage(uint64_t at) {
        uint8_t buf[1024], mask[128];
        uint32_t len1 = 0, len2 = 0, flags = 0;
        if (expectBlock(at, buf, mask, &len1)) flags |= 1;
        uint64_t mid = len1 >= 512 ? at + 512 : kNone;
        std::memset(mask + 64, 0, 64);
        if (mid != kNone && expectBlock(mid, buf + 512, mask + 64, &len2)) flags |= 2;
        char where[64];
        std::snprintf(where, sizeof where, "page at 0x%llX: ", (unsigned long long)at);
        std::string w = where;
        if (g_doc.AnfPtr != at) return w + "AnfPtr " + std::to_string(g_doc.AnfPtr);
        if (g_doc.MidPtr != mid && !(mid == kNone && (g_doc.MidPtr >> 32) == 0xFFFFFFFF))
            return w + "MidPtr " + std::to_string(g_doc.MidPtr);
        if (g_doc.Blk1Len != len1) return w + "Blk1Len " + std::to_string(g_doc.Blk1Len);
        if (mid != kNone && g_doc.Blk2Len != len2)
            return w + "Blk2Len " + std::to_string(g_doc.Blk2Len);
        if (g_doc.PageLen != len1 + len2) return w + "PageLen " + std::to_string(g_doc.PageLen);
        if (g_doc.Blk2Flag != (len2 ? 512u : 0u)) return w + "Blk2Flag";
        if (g_doc.JReadFlag != flags) return w + "JReadFlag " + std::to_string(g_doc.JReadFlag);
        if (std::memcmp(g_doc.PageBuf, buf, len1) != 0) return w + "block 1 bytes";
        if (len2 && std::memcmp(g_doc.PageBuf + 512, buf + 512, len2) != 0)
            return w + "block 2 bytes";
        if (std::memcmp(g_doc.ModMask, mask, 64) != 0) return w + "block 1 marks";
        if (std::memcmp(g_doc.ModMask + 64, mask + 64, 64) != 0) return w + "block 2 marks";
        if ((flags & 1) && g_jnl.JData1.Adr != at) return w + "JData1.Adr";
        if ((flags & 2) && g_jnl.JData2.Adr != mid) return w + "JData2.Adr";
        std::string c = checkPageCursors();
        return c.empty() ? "" : w + c;
    }
    // Nearest node strictly above / below.
    uint64_t nodeAbove(uint64_t x) {
        auto it = model.upper_bound(x);
        return it == model.end() ? kNone : it->first;
    }
    uint64_t nodeBelow(uint64_t x) {
        auto it = model.lower_bound(x);
        if (it == model.begin()) return kNone;
        return (--it)->first;
    }
    uint64_t lastBlk() { return size ? (size - 1) & ~uint64_t(511) : 0; }
    uint64_t lastPair() { return size ? (size - 1) & ~uint64_t(1023) : 0; }

    // Moves to `target` with gotoPage and checks the page; also counts reads.
    void go(uint64_t target, int *reads = nullptr) {
        int before = fake.reads;
        g_doc.ReadPtr = target;
        gotoPage();
        if (reads) *reads = fake.reads - before;
        ASSERT_EQ(comparePage(target), "") << "after gotoPage to " << target;
    }

    // Random moves over the current model; checks after every one.
    void randomWalk(std::mt19937_64 &rng, int moves) {
        uint64_t lb = lastBlk();
        auto clampBlk = [&](int64_t v) -> uint64_t {
            if (v < 0) return 0;
            return std::min<uint64_t>(uint64_t(v) & ~uint64_t(511), lb);
        };
        for (int m = 0; m < moves; ++m) {
            uint64_t a = g_doc.AnfPtr;
            int kind = int(rng() % 20);
            if (kind < 10) {
                static const int64_t steps[] = {-2048, -1536, -1024, -512, 0,
                                                512,   1024,  1536,  2048};
                uint64_t t = clampBlk(int64_t(a) + steps[rng() % 9]);
                int reads = 0;
                bool stepOne = (t == a + 512 || t + 512 == a);
                go(t, &reads);
                if (HasFatalFailure()) return;
                if (stepOne) {
                    ASSERT_LE(reads, 3) << "one block from " << a << " to " << t;
                }
            } else if (kind < 13) {
                go(clampBlk(int64_t(rng() % (lb + 1))));
            } else if (kind < 15 && !model.empty()) {
                // Near a journalled block: the cursor's neighbourhood.
                auto it = model.begin();
                std::advance(it, long(rng() % model.size()));
                static const int64_t near[] = {-1024, -512, 0, 512, 1024};
                go(clampBlk(int64_t(it->first) + near[rng() % 5]));
            } else if (kind == 15) {
                gotoFirstPage();
                ASSERT_EQ(comparePage(0), "") << "after gotoFirstPage";
            } else if (kind == 16) {
                gotoLastPage();
                ASSERT_EQ(comparePage(lastPair()), "") << "after gotoLastPage";
            } else if (kind == 17) {
                reloadPage();
                ASSERT_EQ(comparePage(a), "") << "after reloadPage";
            } else if (kind == 18) {
                uint32_t view = g_doc.ViewOfs;
                uint64_t top = (g_doc.MidPtr >> 32) != 0xFFFFFFFF ? a + 512 : a;
                uint64_t next = nodeAbove(top);
                bool inPair = view == 0 && (g_doc.JReadFlag & 2) && g_doc.Blk2Flag >= 512;
                nextEdit();
                uint64_t want = inPair || next == kNone ? a : next;
                ASSERT_EQ(comparePage(want), "") << "after nextEdit";
                if (inPair) {
                    ASSERT_EQ(g_doc.ViewOfs, 512u);
                } else if (next != kNone) {
                    ASSERT_EQ(g_doc.ViewOfs, 0u);
                }
            } else {
                uint32_t view = g_doc.ViewOfs;
                uint64_t prev = nodeBelow(a);
                bool inPair = view >= 512 && (g_doc.JReadFlag & 1);
                previousEdit();
                uint64_t want = inPair || prev == kNone ? a : prev;
                ASSERT_EQ(comparePage(want), "") << "after previousEdit";
                if (inPair || prev != kNone) {
                    ASSERT_EQ(g_doc.ViewOfs, 0u);
                }
            }
            if (HasFatalFailure()) return;
        }
    }

    // A random journal over the source: density, flags and versions vary.
    std::vector<BlockSpec> randomBlocks(std::mt19937_64 &rng, uint64_t base, uint64_t blocks,
                                        double density) {
        std::vector<BlockSpec> out;
        for (uint64_t k = 0; k < blocks; ++k) {
            if (std::uniform_real_distribution<double>(0, 1)(rng) >= density) continue;
            uint64_t adr = base + k * 512;
            if (adr >= size) break;
            BlockSpec s;
            s.adr = adr;
            s.len = uint32_t(std::min<uint64_t>(512, size - adr));
            static const uint32_t flags[] = {0, 0, 0, 0x20, 0x400000, 0x400020, 0x80000};
            s.flags = flags[rng() % 7];
            s.versions = rng() % 5 == 0 ? int(2 + rng() % 2) : 1;
            s.seed = uint32_t(rng());
            out.push_back(s);
        }
        return out;
    }
};

TEST_F(Movers, RandomJournalsAgainstTheReference) {
    std::mt19937_64 rng(20261206);
    const double densities[] = {0.01, 0.1, 0.5, 0.9, 1.0, 0.3};
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        uint64_t blocks = 64 + rng() % 3000;
        makeSource(blocks * 512 - (round % 2 ? rng() % 511 : 0));
        makeJournal(randomBlocks(rng, 0, blocks, densities[round]), 0, uint32_t(3 + round * 2));
        open();
        ASSERT_EQ(comparePage(0), "");
        randomWalk(rng, 600);
        if (HasFatalFailure()) return;
        ASSERT_EQ(checkOpenJournal(), "");
        dispatchCommand(IDM_CLOSE_FILE, 0);
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
    open();
    randomWalk(rng, 300);
    if (HasFatalFailure()) return;
    // Steps across the 4 GiB line one block at a time.
    go(0xFFFFF000ull);
    for (int i = 0; i < 16 && !HasFatalFailure(); ++i)
        go(g_doc.AnfPtr + 512);
    for (int i = 0; i < 16 && !HasFatalFailure(); ++i)
        go(g_doc.AnfPtr - 512);
    gotoLastPage();
    EXPECT_EQ(comparePage(lastPair()), "");
    EXPECT_EQ(g_doc.Blk1Len, 300u); // the last pair is one short block
}

TEST_F(Movers, OneBlockForwardReusesTheBlockInMemory) {
    makeSource(64 * 512);
    makeJournal({{4096, 512, 0, 1, 1}, {4608, 512, 0, 1, 2}, {6144, 512, 0, 1, 3}});
    open();
    go(4096);
    ASSERT_EQ(g_doc.JReadFlag, 3u);
    uint64_t rec1 = g_jnl.JData1.JAdr, rec2 = g_jnl.JData2.JAdr;
    // Next block 5120 has no record (JNextAdr is 6144): one source read, no journal read.
    int reads = 0;
    go(4608, &reads);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(g_jnl.JPrevPtr, rec1);
    EXPECT_EQ(g_jnl.JData1.JAdr, rec2);
    EXPECT_EQ(g_doc.JReadFlag, 1u);
    // 5120: block 2 (5632) has no record either. 5632: block 2 is the record at 6144
    // (record and data; it is the last node, so no neighbour is read).
    go(5120, &reads);
    EXPECT_EQ(reads, 1);
    go(5632, &reads);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(g_doc.JReadFlag, 2u);
    EXPECT_TRUE(isNullPtr(g_jnl.JNextPtr));
}

TEST_F(Movers, LongJumpKeepsTheOldPagesRecordBelow) {
    makeSource(4096 * 512);
    makeJournal({{1024, 512, 0, 1, 1}, {1536, 512, 0, 1, 2}, {1000 * 512, 512, 0, 1, 3}});
    open();
    go(1024);
    ASSERT_EQ(g_doc.JReadFlag, 3u);
    uint64_t highest = g_jnl.JData2.JAdr;
    // Far below JNextAdr - 1023: plain page, the old page's highest record below it.
    go(500 * 512);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
    EXPECT_EQ(g_jnl.JPrevPtr, highest);
    EXPECT_EQ(g_jnl.JPrevAdr, 1536u);
    // Back: the old page's edits show again.
    go(1024);
    EXPECT_EQ(g_doc.JReadFlag, 3u);
    // And the backward jump keeps JNextPtr in the same way.
    go(3000 * 512);
    go(2000 * 512);
    EXPECT_TRUE(isNullPtr(g_jnl.JNextPtr));
    EXPECT_EQ(g_jnl.JPrevAdr, 1000u * 512);
}

TEST_F(Movers, LongJumpCostFollowsRecordsNotDistance) {
    // 64 GiB source, three records: a jump across 60 GiB reads a handful of times.
    makeSource(64ull << 30);
    makeJournal({{0, 512, 0, 1, 1}, {30ull << 30, 512, 0, 1, 2}, {62ull << 30, 512, 0, 1, 3}});
    open();
    int reads = 0;
    go(61ull << 30, &reads);
    EXPECT_LE(reads, 6);
    go(512, &reads);
    EXPECT_LE(reads, 6);
}

TEST_F(Movers, HiddenMarksAndContentInTheSource) {
    makeSource(8 * 512);
    makeJournal({{0, 512, 0x20, 1, 1}, {512, 512, 0x400000, 1, 2}, {2048, 512, 0x400020, 1, 3}});
    open();
    ASSERT_EQ(comparePage(0), "");
    // Block 1: record bytes, no marks. Block 2: source bytes, record marks.
    EXPECT_EQ(g_doc.PageBuf[5], specData(1, 5));
    EXPECT_EQ(g_doc.ModMask[3], 0);
    EXPECT_EQ(g_doc.PageBuf[512 + 7], uint8_t((512 + 7) * 13 + 1));
    EXPECT_EQ(g_doc.ModMask[64 + 3], specMask(2, 3));
    go(2048);
    EXPECT_EQ(g_doc.JReadFlag, 1u);
    EXPECT_EQ(g_doc.ModMask[0], 0);
}

TEST_F(Movers, TheLastBlocksOfTheSource) {
    makeSource(5 * 512 + 100); // blocks 0..4 full, block 5 holds 100 bytes
    makeJournal({{2048, 512, 0, 1, 1}, {2560, 100, 0, 1, 2}});
    open();
    gotoLastPage(); // LastPairPtr 2048: block 2 is the short one, from its record
    ASSERT_EQ(comparePage(2048), "");
    EXPECT_EQ(g_doc.Blk2Len, 100u);
    EXPECT_EQ(g_doc.PageLen, 612u);
    go(2560); // the short block as block 1: no block 2
    EXPECT_EQ(g_doc.Blk1Len, 100u);
    EXPECT_EQ(g_doc.MidPtr >> 32, 0xFFFFFFFFu);
    EXPECT_EQ(g_doc.Blk2Flag, 0u);
}

TEST_F(Movers, AnEmptyChainReadsEverythingPlain) {
    makeSource(40 * 512);
    makeJournal({});
    open();
    for (uint64_t t : {512ull, 2048ull, 8192ull, 1024ull, 0ull, 19456ull})
        go(t);
    EXPECT_EQ(gotoFirstPage(), 1);
    EXPECT_EQ(gotoLastPage(), 1);
    EXPECT_TRUE(isNullPtr(g_jnl.JPrevPtr));
    EXPECT_TRUE(isNullPtr(g_jnl.JNextPtr));
    EXPECT_EQ(nextEdit(), 1);
    EXPECT_EQ(previousEdit(), 1);
}

TEST_F(Movers, WithoutAJournalThePageIsPlain) {
    makeSource(40 * 512);
    g_settings.JnlOptions = 0;
    std::string jnl = dir + "/D/s.bin.jnl"; // beside the source: make that impossible
    makeFile("D/s.bin.jnl", {1, 2, 3});
    expectBox("Protokolldatei löschen / neu laden?", kIdNo);
    fake.fileDialogAnswers.push_back({true, src, true});
    fake.fileDialogAnswers.push_back({false, "", false}); // no other journal either
    dispatchCommand(IDM_OPEN_FILE, 0);
    ASSERT_TRUE(sourceOpen());
    ASSERT_FALSE(journalOpen());
    model.clear();
    go(4096);
    go(4608);
    go(0);
    EXPECT_EQ(readAll(jnl).size(), 3u);
}

// ---- damaged journals: never a hang, a report instead ----

class DamagedMovers : public Movers {
  protected:
    int reports() {
        int n = 0;
        for (auto &b : fake.boxes)
            if (b.caption == "ungültige Daten !" || b.caption == "Dateiende erreicht !") ++n;
        return n;
    }
    void patch64(uint64_t pos, uint64_t v) {
        uint8_t b[8];
        putU64(b, v);
        patchFile(jnlHost, pos, b, 8);
    }
};

TEST_F(DamagedMovers, ACycleInTheAddressChainStopsTheWalk) {
    makeSource(4096 * 512);
    std::vector<BlockSpec> b;
    for (int k = 0; k < 40; ++k)
        b.push_back({uint64_t(k) * 40 * 512, 512, 0, 1, uint32_t(k)});
    makeJournal(b);
    // Node 30 leads back to node 10 going up, node 12 back to node 25 going down.
    patch64(built.nodes[30] + kRecNextPtr, built.nodes[10]);
    patch64(built.nodes[12] + kRecPrevPtr, built.nodes[25]);
    fake.onUnexpected = nullptr;
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    g_doc.ReadPtr = 3500 * 512;
    EXPECT_FALSE(g_jnl.Damaged);
    gotoPage(); // walks up from the first node
    EXPECT_GE(reports(), 1);
    EXPECT_TRUE(g_jnl.Damaged);
    EXPECT_TRUE(isNullPtr(g_jnl.JNextPtr));
    EXPECT_EQ(g_doc.AnfPtr, 3500u * 512);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
    int before = reports();
    gotoLastPage();
    g_doc.ReadPtr = 20 * 512;
    gotoPage(); // walks down from the last node
    EXPECT_GT(reports(), before);
    EXPECT_EQ(g_doc.AnfPtr, 20u * 512);
}

TEST_F(DamagedMovers, PointersIntoTheHeaderOrBeyondTheFile) {
    makeSource(512 * 512);
    makeJournal({{0, 512, 0, 1, 1}, {4096, 512, 0, 1, 2}, {100 * 512, 512, 0, 1, 3}});
    patch64(built.nodes[0] + kRecNextPtr, 0x200);            // into the header
    patch64(built.nodes[2] + kRecPrevPtr, 0x10000000400ull); // far beyond the file
    fake.onUnexpected = nullptr;
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_GE(reports(), 1); // the first page follows the first node's NextPtr
    g_doc.ReadPtr = 300 * 512;
    gotoPage();
    gotoLastPage();
    g_doc.ReadPtr = 50 * 512;
    gotoPage();
    EXPECT_GE(reports(), 2);
    EXPECT_EQ(g_doc.AnfPtr, 50u * 512);
    EXPECT_LE(g_doc.PageLen, 1024u);
}

TEST_F(DamagedMovers, LengthsAndTruncationCannotOverrunThePage) {
    makeSource(64 * 512);
    makeJournal({{0, 512, 0, 1, 1}, {512, 512, 0, 1, 2}, {8192, 512, 0, 1, 3}});
    uint8_t big[4];
    putU32(big, 0xFFFFFFF0u);
    patchFile(jnlHost, built.nodes[0] + kRecLen, big, 4);
    patchFile(jnlHost, built.nodes[1] + kRecLen, big, 4);
    // Cut the journal in the middle of the last entry.
    uint64_t cut = built.length - 300;
    ASSERT_EQ(truncate(jnlHost.c_str(), off_t(cut)), 0);
    fake.onUnexpected = nullptr;
    openThroughDialog(src);
    ASSERT_TRUE(journalOpen());
    EXPECT_EQ(g_doc.Blk1Len, 512u);
    EXPECT_EQ(g_doc.Blk2Len, 512u);
    EXPECT_EQ(g_doc.PageLen, 1024u);
    // New entries go after the cut one, on an entry boundary.
    EXPECT_EQ(g_jnl.JnlEnd, built.length);
    // The record in the cut entry is reported when its data is reached.
    ASSERT_GT(built.nodes[2] + 640, cut);
    EXPECT_EQ(reports(), 0);
    g_doc.ReadPtr = 8192 - 1024;
    gotoPage();
    g_doc.ReadPtr = 8192;
    gotoPage();
    EXPECT_GE(reports(), 1);
    EXPECT_EQ(g_doc.AnfPtr, 8192u);
    EXPECT_EQ(g_doc.JReadFlag, 0u);
}

} // namespace
