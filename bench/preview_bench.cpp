// "Originaldatei wieder herstellen" after "&Alles speichern" of 10 000 to 100 000 blocks, and
// Return on a version preview that went back across 100 to 3 000 saved versions of a block:
// time per block or version and peak memory must not grow with their number.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "bench/support.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "res/resource.h"
#include "save/preview.h"
#include "save/restore.h"
#include "save/save.h"
// The journal builder of the tests (no GoogleTest in it).
#include "tests/support/journal_check.cpp"

namespace {

void report(benchmark::State &state, double count, double seconds, long rssBefore) {
    state.counters["count"] = count;
    state.counters["us_each"] = seconds * 1e6 / count;
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - rssBefore);
}

// Every other block of the source journalled, all saved (each with its original copy).
void BM_RestoreAfterSaveAll(benchmark::State &state) {
    uint64_t blocks = uint64_t(state.range(0));
    double total = 0;
    long rss = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BenchProgram prog;
        std::string host = prog.sparse("C/rest.bin", blocks * 1024);
        std::vector<BlockSpec> specs;
        for (uint64_t k = 0; k < blocks; ++k)
            specs.push_back({k * 1024, 512, 0, 1, uint32_t(k)});
        buildJournal(prog.dir + "/C/kelmor/C~1rest.bin.jnl", "C:\\rest.bin",
                     fakeLastWriteTime(host), specs, 0, 7919);
        g_settings.UndoMode = 3;
        prog.fake.fileDialogAnswers.push_back({true, "C:\\rest.bin", false});
        dispatchCommand(IDM_OPEN_FILE, 0);
        if (!sourceOpen() || saveAll() != 0) std::abort();
        rss = peakRssKiB();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        if (restoreOriginal() != 0) std::abort();
        journalCheckpoint();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        closeJournal();
        state.ResumeTiming();
    }
    report(state, double(blocks), total / double(state.iterations()), rss);
}

// One block saved `versions` times (a new version each time), the preview back to its
// original copy, then Return.
void BM_AcceptAcrossVersions(benchmark::State &state) {
    int versions = int(state.range(0));
    double total = 0;
    long rss = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BenchProgram prog;
        prog.sparse("C/ver.bin", 4096);
        g_settings.UndoMode = 3;
        prog.fake.fileDialogAnswers.push_back({true, "C:\\ver.bin", false});
        dispatchCommand(IDM_OPEN_FILE, 0);
        if (!sourceOpen()) std::abort();
        for (int v = 0; v < versions; ++v) {
            uint32_t k = uint32_t(v) % 512;
            g_doc.PageBuf[k] = uint8_t(v + 1);
            setModBit(k);
            g_doc.InputFlag |= kInputBlk1;
            if (commitInputs() != 0 || saveAll() != 0) std::abort();
            journalCheckpoint();
        }
        while (versionBack() == 0) {
        }
        rss = peakRssKiB();
        prog.fake.boxAnswers.push_back({"! ! !", kIdOk, ""});
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        if (acceptPreview() != 0) std::abort();
        journalCheckpoint();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        closeJournal();
        state.ResumeTiming();
    }
    report(state, double(versions), total / double(state.iterations()), rss);
}

} // namespace

BENCHMARK(BM_RestoreAfterSaveAll)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_AcceptAcrossVersions)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
