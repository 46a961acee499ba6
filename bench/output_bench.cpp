// "Alles speichern &unter" of a 1 GiB file of random bytes (in the page cache) with 1 000
// journalled blocks, next to a plain `cp` of the same file in the same run; and the peak
// memory of the same command on a 64 GiB sparse source (written to /dev/null).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "bench/support.h"
#include "journal/format.h"
#include "res/resource.h"
// The journal builder of the tests (no GoogleTest in it).
#include "tests/support/journal_check.cpp"

namespace {

double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A source of `size` bytes (random bytes unless sparse) with 1 000 journalled blocks spread
// over it, opened as C:\src.bin.
void openSource(BenchProgram &prog, uint64_t size, bool sparse) {
    std::string host = prog.sparse("C/src.bin", size);
    if (!sparse) {
        FILE *f = std::fopen(host.c_str(), "r+b");
        std::mt19937_64 rng(1);
        std::vector<uint64_t> piece(1 << 17);
        for (uint64_t done = 0; done < size; done += 1 << 20) {
            for (uint64_t &v : piece)
                v = rng();
            std::fwrite(piece.data(), 1, 1 << 20, f);
        }
        std::fclose(f);
    }
    std::vector<BlockSpec> specs;
    for (uint64_t k = 0; k < 1000; ++k)
        specs.push_back({(size / 1000 * k) & ~uint64_t(511), 512, 0, 1, uint32_t(k)});
    buildJournal(prog.dir + "/C/kelmor/C~1src.bin.jnl", "C:\\src.bin", fakeLastWriteTime(host),
                 specs, 0, 7919);
    prog.open("C:\\src.bin");
    if (!sourceOpen() || !journalHasEdits()) std::abort();
}

void BM_SaveAllAsNextToCp(benchmark::State &state) {
    const uint64_t size = uint64_t(1) << 30;
    BenchProgram prog;
    openSource(prog, size, false);
    std::string host = prog.dir + "/C/src.bin", out = prog.dir + "/C/out.bin";
    double ours = 0, cp = 0;
    for (auto _ : state) {
        std::remove(out.c_str());
        std::remove((out + ".cp").c_str());
        auto t0 = std::chrono::steady_clock::now();
        if (std::system(("cp '" + host + "' '" + out + ".cp'").c_str()) != 0) std::abort();
        cp += seconds(t0);
        prog.fake.fileDialogAnswers.push_back({true, "C:\\out.bin", false});
        t0 = std::chrono::steady_clock::now();
        dispatchCommand(IDM_SAVE_ALL_AS, 0);
        double s = seconds(t0);
        ours += s;
        state.SetIterationTime(s);
        if (JFile(out).length != size) std::abort();
    }
    double n = double(state.iterations()), mb = double(size) / 1e6;
    state.counters["MBps"] = mb * n / ours;
    state.counters["cp_MBps"] = mb * n / cp;
    state.counters["ratio_to_cp"] = cp / ours;
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
}
BENCHMARK(BM_SaveAllAsNextToCp)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Peak memory does not grow with the source: 64 GiB through the same command.
void BM_SaveAllAsSparse64G(benchmark::State &state) {
    const uint64_t size = uint64_t(64) << 30;
    BenchProgram prog;
    prog.fake.drives[13] = {kDriveFixed, "/dev"}; // N:\null is /dev/null
    openSource(prog, size, true);
    long before = peakRssKiB();
    for (auto _ : state) {
        prog.fake.fileDialogAnswers.push_back({true, "N:\\null", false});
        prog.fake.boxAnswers.push_back({"Datei überschreiben?", kIdYes});
        auto t0 = std::chrono::steady_clock::now();
        dispatchCommand(IDM_SAVE_ALL_AS, 0);
        state.SetIterationTime(seconds(t0));
    }
    state.counters["GiB"] = double(size >> 30);
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - before);
}
BENCHMARK(BM_SaveAllAsSparse64G)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
