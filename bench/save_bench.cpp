// "&Alles speichern" of 10 000 to 100 000 journalled blocks, then "Undo Alles" and
// "Re&do Alles": time per block and peak memory must not grow with the number of blocks.
// Every block is saved for the first time, so each save also appends an original copy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "bench/support.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "res/resource.h"
#include "save/save.h"
#include "save/undo.h"
// The journal builder of the tests (no GoogleTest in it).
#include "tests/support/journal_check.cpp"

namespace {

struct Run {
    BenchProgram prog;
    std::string host, journal;

    // A source of `blocks` journalled blocks (every other block of the file), opened with
    // write access and its journal taken into use.
    explicit Run(uint64_t blocks, uint32_t undoMode) {
        host = prog.sparse("C/save.bin", blocks * 1024);
        std::vector<BlockSpec> specs;
        for (uint64_t k = 0; k < blocks; ++k)
            specs.push_back({k * 1024, 512, 0, 1, uint32_t(k)});
        journal = prog.dir + "/C/kelmor/C~1save.bin.jnl";
        buildJournal(journal, "C:\\save.bin", fakeLastWriteTime(host), specs, 0, 7919);
        g_settings.UndoMode = undoMode;
        prog.fake.fileDialogAnswers.push_back({true, "C:\\save.bin", false});
        dispatchCommand(IDM_OPEN_FILE, 0);
        if (!sourceOpen() || !journalHasEdits() || !(g_doc.AccessFlag & kAccWritable)) std::abort();
    }
};

void report(benchmark::State &state, uint64_t blocks, double seconds, long rssBefore,
            uint64_t journalBytes) {
    state.counters["blocks"] = double(blocks);
    state.counters["us_per_block"] = seconds * 1e6 / double(blocks);
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - rssBefore);
    state.counters["journal_MiB"] = double(journalBytes) / (1 << 20);
}

// Times `steps` (saveAll, undoAll, redoAll) after running the ones before it untimed on a
// fresh journal of state.range(0) blocks in undo mode state.range(1).
void timeLastStep(benchmark::State &state, int steps) {
    static int (*const kSteps[])() = {saveAll, undoAll, redoAll};
    uint64_t blocks = uint64_t(state.range(0));
    uint32_t mode = uint32_t(state.range(1));
    double total = 0;
    long rss = 0;
    uint64_t jnl = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Run run(blocks, mode);
        for (int i = 0; i + 1 < steps; ++i)
            if (kSteps[i]() != 0) std::abort();
        rss = peakRssKiB();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        if (kSteps[steps - 1]() != 0) std::abort();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        jnl = g_jnl.JnlEnd;
        closeJournal();
        state.ResumeTiming();
    }
    report(state, blocks, total / double(state.iterations()), rss, jnl);
}

void BM_SaveAll(benchmark::State &state) {
    timeLastStep(state, 1);
}
void BM_UndoAllAfterSaveAll(benchmark::State &state) {
    timeLastStep(state, 2);
}
void BM_RedoAllAfterUndoAll(benchmark::State &state) {
    timeLastStep(state, 3);
}

} // namespace

BENCHMARK(BM_SaveAll)
    ->ArgsProduct({{10000, 30000, 100000}, {3, 1}})
    ->Args({20000, 2}) // the end-to-end run's size and the program's default undo mode
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_UndoAllAfterSaveAll)
    ->ArgsProduct({{10000, 30000, 100000}, {3, 1}})
    ->Args({20000, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RedoAllAfterUndoAll)
    ->ArgsProduct({{10000, 30000, 100000}, {3}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
