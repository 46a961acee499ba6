// The AVI scan ("AVI-Datei reparieren" over a sound file) of a 1 GiB AVI with 100 000 data
// chunks: chunks per second and peak memory, which must not grow with the file's size (the
// chunk data are holes of a sparse file; only the headers are written).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/support.h"
#include "access/docstate.h"
#include "tools/avi.h"

namespace {

constexpr uint32_t kChunks = 100000, kChunkData = 10730; // 1 GiB in all

void put(std::vector<uint8_t> &b, const char *id, uint32_t size, const char *type = nullptr) {
    b.insert(b.end(), id, id + 4);
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(size >> (8 * i)));
    if (type) b.insert(b.end(), type, type + 4);
}

// hdrl with one video stream, then "movi" with the data chunks at their places.
void writeAvi(const std::string &path) {
    std::vector<uint8_t> head;
    uint64_t movi = uint64_t(kChunks) * (8 + kChunkData) + 4;
    put(head, "RIFF", 0, "AVI ");
    put(head, "LIST", 4 + 8 + 56 + 12 + 8 + 56 + 8 + 40, "hdrl");
    put(head, "avih", 56);
    head.resize(head.size() + 56);
    put(head, "LIST", 4 + 8 + 56 + 8 + 40, "strl");
    put(head, "strh", 56, "vids");
    head.resize(head.size() + 52);
    put(head, "strf", 40);
    head.resize(head.size() + 40);
    put(head, "LIST", uint32_t(movi), "movi");
    uint64_t total = head.size() + movi - 4;
    uint32_t riff = uint32_t(total - 8);
    std::memcpy(&head[4], &riff, 4);
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || write(fd, head.data(), head.size()) != ssize_t(head.size())) std::abort();
    uint64_t at = head.size();
    for (uint32_t i = 0; i < kChunks; ++i, at += 8 + kChunkData) {
        std::vector<uint8_t> h;
        put(h, "00dc", kChunkData);
        if (pwrite(fd, h.data(), 8, off_t(at)) != 8) std::abort();
    }
    if (ftruncate(fd, off_t(total)) != 0) std::abort();
    close(fd);
}

void BM_ScanAvi(benchmark::State &state) {
    BenchProgram program;
    std::string path = program.dir + "/big.avi";
    writeAvi(path);
    program.open(path);
    g_avi.warned = true;
    long before = peakRssKiB();
    for (auto _ : state) {
        g_avi.resume = false;
        repairAvi();
        if (g_chunk.next != g_doc.FileSize) state.SkipWithError("the scan stopped early");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kChunks);
    state.counters["peak_rss_KiB"] = double(peakRssKiB());
    state.counters["rss_growth_KiB"] = double(peakRssKiB() - before);
}
BENCHMARK(BM_ScanAvi)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
