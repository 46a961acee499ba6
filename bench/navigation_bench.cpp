// Moving through large sources: Ctrl+End, Ctrl+Home, Page Down and a thumb jump, each with
// the repaint into the fake screen. Time per move and peak memory must not grow with the
// source's size: compare the 64 GiB sparse source (arg 0) with the 1 GiB real one (arg 1).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/support.h"
#include "view/navigation.h"
#include "view/scroll.h"

static std::string g_dataDir, g_sources[2];
static const char *const kNames[2] = {"sparse_64GiB", "real_1GiB"};

static void makeSources() {
    char tmpl[] = "/tmp/kelmor-navbench-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    g_dataDir = tmpl;
    g_sources[0] = g_dataDir + "/sparse.bin";
    int fd = ::open(g_sources[0].c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ftruncate(fd, off_t(64ull << 30)) != 0) std::abort();
    close(fd);
    // Every byte of the real source is written.
    g_sources[1] = g_dataDir + "/real.bin";
    fd = ::open(g_sources[1].c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) std::abort();
    std::vector<uint8_t> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = uint8_t(i * 7 + 3);
    for (int i = 0; i < 1024; ++i)
        if (write(fd, chunk.data(), chunk.size()) != ssize_t(chunk.size())) std::abort();
    close(fd);
}

static void removeSources() {
    // The last program's directory, our working directory, is gone already.
    if (chdir("/") != 0) std::abort();
    std::string cmd = "rm -rf '" + g_dataDir + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
}

static void report(benchmark::State &state, long rssBefore, double movesPerIteration) {
    state.SetLabel(kNames[state.range(0)]);
    state.SetItemsProcessed(int64_t(double(state.iterations()) * movesPerIteration));
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - rssBefore);
}

static void BM_CtrlEnd(benchmark::State &state) {
    BenchProgram program;
    program.open(g_sources[state.range(0)]);
    long before = peakRssKiB();
    for (auto _ : state) {
        state.PauseTiming();
        fileStart();
        state.ResumeTiming();
        fileEnd();
    }
    report(state, before, 1);
}

static void BM_CtrlHome(benchmark::State &state) {
    BenchProgram program;
    program.open(g_sources[state.range(0)]);
    long before = peakRssKiB();
    for (auto _ : state) {
        state.PauseTiming();
        fileEnd();
        state.ResumeTiming();
        fileStart();
    }
    report(state, before, 1);
}

static void BM_PageDown10000(benchmark::State &state) {
    BenchProgram program;
    program.open(g_sources[state.range(0)]);
    long before = peakRssKiB();
    for (auto _ : state) {
        state.PauseTiming();
        fileStart();
        state.ResumeTiming();
        for (int i = 0; i < 10000; ++i)
            if (pageDown() != 0) state.SkipWithError("the end came too early");
    }
    report(state, before, 10000);
}

static void BM_ThumbJump(benchmark::State &state) {
    BenchProgram program;
    program.open(g_sources[state.range(0)]);
    long before = peakRssKiB();
    int quarter = g_scroll.maximum / 4;
    bool high = false;
    for (auto _ : state) {
        scrollThumb(high ? 3 * quarter : quarter);
        high = !high;
    }
    report(state, before, 1);
}

BENCHMARK(BM_CtrlEnd)->Arg(0)->Arg(1);
BENCHMARK(BM_CtrlHome)->Arg(0)->Arg(1);
BENCHMARK(BM_PageDown10000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbJump)->Arg(0)->Arg(1);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    makeSources();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    removeSources();
    return 0;
}
