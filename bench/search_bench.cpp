// One search step through a 1 GiB file of random bytes (in the page cache) to a 16-byte pattern
// at its end, beside the plain loop it is measured against: aligned 256 KiB reads and memmem.
// Hexadecimal, text with match-case and case-folded text, forward and backward (to a pattern
// at the start), each plain and with a journal of 1 000 records laid over. peak_rss_kib shows
// that memory does not follow the file size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "access/docstate.h"
#include "bench/support.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "tools/search.h"
// The journal builder of the tests (no GoogleTest in it).
#include "tests/support/journal_check.cpp"

namespace {

constexpr uint64_t kSize = 1ull << 30;
const char kEnd[] = "KelmorEndNeedle7";   // 16 bytes at the end
const char kStart[] = "KelmorTopNeedle3"; // 16 bytes at the start (backward)

struct Setup {
    BenchProgram prog;
    std::string plain, journalled;
    Setup() {
        plain = make("plain.bin", false);
        journalled = make("jnl.bin", true);
    }
    std::string make(const char *name, bool withJournal) {
        std::string host = prog.dir + "/C/" + name;
        int fd = ::open(host.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        std::mt19937_64 rng(7);
        std::vector<uint64_t> buf(1 << 17);
        for (uint64_t done = 0; done < kSize; done += buf.size() * 8) {
            for (auto &w : buf)
                w = rng();
            if (done == 0) std::memcpy(buf.data(), kStart, 16);
            if (done + buf.size() * 8 == kSize)
                std::memcpy(reinterpret_cast<char *>(buf.data()) + buf.size() * 8 - 16, kEnd, 16);
            if (write(fd, buf.data(), buf.size() * 8) != ssize_t(buf.size() * 8)) std::abort();
        }
        close(fd);
        if (withJournal) {
            std::vector<BlockSpec> blocks;
            for (uint64_t k = 1; k <= 1000; ++k)
                blocks.push_back({(kSize / 1002 * k) & ~uint64_t(511), 512, 0, 1, uint32_t(k)});
            buildJournal(prog.dir + "/C/kelmor/C~1" + name + ".jnl",
                         (std::string("C:\\") + name).c_str(), fakeLastWriteTime(host), blocks);
        }
        return std::string("C:\\") + name;
    }
    void open(const std::string &name) {
        if (sourceOpen() && name == g_doc.SrcName) return;
        prog.open(name);
        if (!sourceOpen()) std::abort();
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

// kind 0 text folded, 1 text exact, 4 hex; journal: the file with 1 000 records.
void searchStep(benchmark::State &state) {
    uint32_t kind = uint32_t(state.range(0));
    bool journal = state.range(1) != 0, down = state.range(2) != 0;
    Setup &s = setup();
    s.open(journal ? s.journalled : s.plain);
    const char *needle = down ? kEnd : kStart;
    char what[128] = {};
    if (kind == 4) {
        for (int i = 0; i < 16; ++i)
            std::snprintf(what + 2 * i, 3, "%02x", uint8_t(needle[i]));
    } else {
        std::memcpy(what, needle, 16);
    }
    uint64_t want = down ? kSize - 16 : 0;
    for (auto _ : state) {
        g_doc.ReadPtr = down ? 0 : g_doc.LastPairPtr;
        gotoPage();
        g_doc.ViewOfs = down ? 0 : g_doc.Blk2Flag;
        std::memcpy(g_find.findWhat, what, sizeof what);
        g_find.down = down;
        g_find.matchCase = kind == 1;
        if (kind == 4)
            hexSearch();
        else
            textSearch();
        g_find.findNext = true;
        if (findRequest() != 0 || g_search.MatchPos != want) state.SkipWithError("not found");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kSize));
    state.counters["peak_rss_kib"] = double(peakRssKiB());
}
BENCHMARK(searchStep)
    ->ArgNames({"kind", "journal", "down"})
    ->ArgsProduct({{4, 1, 0}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The yardstick: aligned 256 KiB reads and memmem, the tail of each chunk carried over.
void plainLoop(benchmark::State &state) {
    Setup &s = setup();
    std::string host = s.prog.dir + "/C/plain.bin";
    std::vector<char> buf(kSearchChunk + 16);
    for (auto _ : state) {
        int fd = ::open(host.c_str(), O_RDONLY);
        uint64_t found = ~0ull;
        size_t carry = 0;
        for (uint64_t pos = 0; pos < kSize; pos += kSearchChunk) {
            ssize_t got = pread(fd, buf.data() + carry, kSearchChunk, off_t(pos));
            if (got <= 0) break;
            size_t n = carry + size_t(got);
            void *hit = memmem(buf.data(), n, kEnd, 16);
            if (hit) {
                found = pos - carry + uint64_t(static_cast<char *>(hit) - buf.data());
                break;
            }
            std::memmove(buf.data(), buf.data() + n - 15, 15);
            carry = 15;
        }
        close(fd);
        if (found != kSize - 16) state.SkipWithError("not found");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kSize));
}
BENCHMARK(plainLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
