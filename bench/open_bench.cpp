// Opening a source and painting its first page must not depend on the source's size.
#include <benchmark/benchmark.h>

#include "bench/support.h"
#include "view/paint.h"

static void BM_OpenAndPaint(benchmark::State &state) {
    BenchProgram program;
    uint64_t size = uint64_t(state.range(0)) << 20; // MiB
    std::string path = program.sparse("source.bin", size);
    long before = peakRssKiB();
    for (auto _ : state) {
        program.open(path);
        paintPage();
    }
    state.counters["size_MiB"] = double(state.range(0));
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - before);
}
BENCHMARK(BM_OpenAndPaint)->Arg(1)->Arg(1024)->Arg(64 * 1024);

BENCHMARK_MAIN();
