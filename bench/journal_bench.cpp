// The journal lookup on a journal of 100 000 records over a 64 GiB sparse source: opening
// (taking the journal into use and priming the cursors), page moves by one block, and long
// jumps whose cost must follow the records skipped, not the distance. The counters give the
// reads per operation (journal and source), which the loaders promise to keep small.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/document.h"
#include "bench/support.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
// The journal builder of the tests (no GoogleTest in it).
#include "tests/support/journal_check.cpp"

namespace {

constexpr uint64_t kSource = 64ull << 30;
constexpr uint64_t kRecords = 100000;

struct Setup {
    BenchProgram prog;
    std::vector<uint64_t> spreadAdr, denseAdr; // source addresses of the records
    // Two sources with a journal each: records spread over the whole 64 GiB, and the same
    // number of records packed into every other block of the first 100 MB.
    Setup() {
        auto make = [&](const char *name, bool spread, std::vector<uint64_t> &adrs) {
            std::string host = prog.sparse(std::string("C/") + name, kSource);
            std::vector<BlockSpec> blocks;
            for (uint64_t k = 0; k < kRecords; ++k) {
                uint64_t adr = spread ? (kSource / kRecords * k) & ~uint64_t(511) : k * 1024;
                adrs.push_back(adr);
                blocks.push_back({adr, 512, k % 7 == 0 ? 0x400000u : 0u, 1, uint32_t(k)});
            }
            std::string jnl = prog.dir + "/C/kelmor/C~1" + name + ".jnl";
            buildJournal(jnl, (std::string("C:\\") + name).c_str(), fakeLastWriteTime(host), blocks,
                         0, 7919);
        };
        make("spread.bin", true, spreadAdr);
        make("dense.bin", false, denseAdr);
    }
    void open(const char *name) {
        std::string want = std::string("C:\\") + name;
        if (sourceOpen() && want == g_doc.SrcName) return;
        prog.open(want);
        if (!journalHasEdits()) std::abort();
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

void go(uint64_t target) {
    g_doc.ReadPtr = target;
    gotoPage();
}

void BM_OpenAndPrime(benchmark::State &state) {
    Setup &s = setup();
    s.open("spread.bin");
    int reads = s.prog.fake.reads;
    for (auto _ : state) {
        closeSource();
        s.prog.open("C:\\spread.bin");
        benchmark::DoNotOptimize(g_jnl.JNextPtr);
    }
    if (!journalHasEdits()) state.SkipWithError("journal not taken into use");
    state.counters["reads/op"] =
        benchmark::Counter(double(s.prog.fake.reads - reads) / double(state.iterations()));
}
BENCHMARK(BM_OpenAndPrime)->Unit(benchmark::kMicrosecond);

void BM_PrimeCursors(benchmark::State &state) {
    Setup &s = setup();
    s.open("spread.bin");
    int reads = s.prog.fake.reads;
    for (auto _ : state)
        benchmark::DoNotOptimize(gotoFirstPage());
    state.counters["reads/op"] =
        benchmark::Counter(double(s.prog.fake.reads - reads) / double(state.iterations()));
}
BENCHMARK(BM_PrimeCursors)->Unit(benchmark::kMicrosecond);

// One block forward and back over journalled blocks (every other block is journalled in the
// dense journal, so half of the new blocks come from a record).
void BM_StepOneBlock(benchmark::State &state) {
    Setup &s = setup();
    s.open("dense.bin");
    go(0);
    uint64_t moves = 0;
    int reads = s.prog.fake.reads;
    bool up = true;
    for (auto _ : state) {
        if (up && g_doc.AnfPtr >= 4000 * 512) up = false;
        if (!up && g_doc.AnfPtr == 0) up = true;
        go(up ? g_doc.AnfPtr + 512 : g_doc.AnfPtr - 512);
        ++moves;
    }
    state.counters["reads/op"] =
        benchmark::Counter(double(s.prog.fake.reads - reads) / double(moves));
}
BENCHMARK(BM_StepOneBlock)->Unit(benchmark::kMicrosecond);

// A jump over n records and back, on the spread journal (records 687 KB apart) and on the
// dense one (records 1 KB apart): the same n must cost the same, whatever the distance.
void jumpOver(benchmark::State &state, const char *name, const std::vector<uint64_t> &adr) {
    Setup &s = setup();
    s.open(name);
    uint64_t n = uint64_t(state.range(0));
    uint64_t from = adr[10] + 2048, to = adr[10 + n] + 2048;
    go(from);
    int reads = s.prog.fake.reads;
    for (auto _ : state) {
        go(to);
        go(from);
    }
    state.counters["reads/op"] =
        benchmark::Counter(double(s.prog.fake.reads - reads) / double(2 * state.iterations()));
    state.counters["distance MB"] = benchmark::Counter(double(to - from) / 1e6);
}

void BM_JumpSpread(benchmark::State &state) {
    jumpOver(state, "spread.bin", setup().spreadAdr);
}
void BM_JumpDense(benchmark::State &state) {
    jumpOver(state, "dense.bin", setup().denseAdr);
}
BENCHMARK(BM_JumpSpread)
    ->Arg(2)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JumpDense)
    ->Arg(2)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

// From the first page to the last and back: the last page needs no walk at all.
void BM_FirstAndLastPage(benchmark::State &state) {
    Setup &s = setup();
    s.open("spread.bin");
    int reads = s.prog.fake.reads;
    for (auto _ : state) {
        gotoLastPage();
        gotoFirstPage();
    }
    state.counters["reads/op"] =
        benchmark::Counter(double(s.prog.fake.reads - reads) / double(2 * state.iterations()));
}
BENCHMARK(BM_FirstAndLastPage)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
