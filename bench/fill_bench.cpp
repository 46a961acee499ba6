// The marking fill of 64 MiB (journal and direct mode) and a paste of 10 000 000 bytes: MB/s
// and peak memory. Both run pair by pair, so time is linear in the bytes written and memory
// holds one page pair and one journal entry besides the clipboard's own copy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "bench/support.h"
#include "edit/clipboard.h"
#include "edit/fill.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "res/resource.h"

namespace {

void report(benchmark::State &state, uint64_t bytes, double seconds, long rssBefore,
            uint64_t journal) {
    state.counters["MB_per_s"] = double(bytes) / 1e6 / seconds;
    state.counters["us_per_block"] = seconds * 1e6 / double(bytes / 512);
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - rssBefore);
    state.counters["journal_MiB"] = double(journal) / (1 << 20);
}

// Opens a sparse source of `size` bytes with write access.
void openSource(BenchProgram &prog, uint64_t size, bool direct) {
    prog.sparse("C/fill.bin", size);
    g_settings.UndoMode = 2;
    prog.fake.fileDialogAnswers.push_back({true, "C:\\fill.bin", false});
    dispatchCommand(IDM_OPEN_FILE, 0);
    if (!sourceOpen() || !journalOpen()) std::abort();
    if (direct) {
        dispatchCommand(IDM_DIRECT_MODE, 0);
        // "JA für alle" at the first pair.
        prog.fake.dialogScripts.push_back([](int, DialogLogic &l, FakeDialogHost &h) {
            h.checks[IDC_SAVE_PAGE_ALL] = true;
            l.command(h, IDC_SAVE_PAGE_YES, 0);
        });
    }
}

void BM_FillMarking(benchmark::State &state) {
    const uint64_t n = uint64_t(state.range(0)) << 20;
    bool direct = state.range(1) != 0;
    double total = 0;
    long rss = 0;
    uint64_t jnl = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BenchProgram prog;
        openSource(prog, n + 4096, direct);
        g_doc.MarkStart = 100, g_doc.MarkEnd = 100 + n, g_doc.MarkFlag = 3;
        rss = peakRssKiB();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        if (fillMarking() != 0) std::abort();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        jnl = g_jnl.JnlEnd;
        closeJournal();
        state.ResumeTiming();
    }
    report(state, n, total / double(state.iterations()), rss, jnl);
}

void BM_Paste(benchmark::State &state) {
    const uint64_t n = uint64_t(state.range(0));
    double total = 0;
    long rss = 0;
    uint64_t jnl = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BenchProgram prog;
        openSource(prog, n + 4096, false);
        std::vector<uint8_t> data(n + 1, 0x41);
        data[n] = 0;
        prog.fake.clipboard[prog.fake.registerClipboardFormat(kDataFormatName)] = data;
        prog.fake.clipboard[prog.fake.registerClipboardFormat(kSizeFormatName)] = {
            uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24), 0, 0, 0, 0};
        data = {};
        g_doc.CurOfs = 100;
        rss = peakRssKiB();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        if (pasteClipboard() != 0) std::abort();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        jnl = g_jnl.JnlEnd;
        closeJournal();
        state.ResumeTiming();
    }
    report(state, n, total / double(state.iterations()), rss, jnl);
}

} // namespace

BENCHMARK(BM_FillMarking)
    ->ArgsProduct({{16, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_Paste)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
