// Decoding speed over 1 MiB of real x86 code in 32-bit mode. The code is the .text section of
// a binary on this machine, cut out with objcopy when the benchmark starts: a 32-bit libc when
// one is installed, else /bin/ls (64-bit code, but real compiler output all the same).
#include "tools/disasm.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const size_t kBlockSize = 1 << 20;

struct Code {
    std::vector<uint8_t> bytes;
    std::string source;
};

std::vector<uint8_t> extractText(const char *binary) {
    std::vector<uint8_t> text;
    if (access(binary, R_OK) != 0) return text;
    char path[] = "/tmp/kelmor_bench_text_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return text;
    close(fd);
    std::string cmd = std::string("objcopy -O binary --only-section=.text ") + binary + " " + path +
                      " 2>/dev/null";
    if (system(cmd.c_str()) == 0) {
        if (FILE *f = fopen(path, "rb")) {
            uint8_t buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0)
                text.insert(text.end(), buf, buf + n);
            fclose(f);
        }
    }
    unlink(path);
    return text;
}

const Code &code() {
    static Code c = [] {
        Code r;
        const char *candidates[] = {"/usr/lib32/libc.so.6", "/usr/lib/i386-linux-gnu/libc.so.6",
                                    "/lib/i386-linux-gnu/libc.so.6", "/bin/ls"};
        for (const char *bin : candidates) {
            std::vector<uint8_t> text = extractText(bin);
            if (text.empty()) continue;
            r.source = bin;
            // Exactly 1 MiB: the start of the section, repeated if it is shorter.
            while (r.bytes.size() < kBlockSize) {
                size_t take = std::min(text.size(), kBlockSize - r.bytes.size());
                r.bytes.insert(r.bytes.end(), text.begin(), text.begin() + long(take));
            }
            break;
        }
        return r;
    }();
    return c;
}

// Walks the block instruction by instruction, as the user does in the disassembly window.
void BM_DecodeRealCode32(benchmark::State &state) {
    const Code &c = code();
    if (c.bytes.size() != kBlockSize) {
        state.SkipWithError("no .text section could be extracted (objcopy missing?)");
        return;
    }
    char out[kDisasmTextSize];
    int64_t instructions = 0;
    for (auto _ : state) {
        DisasmMode = kDisasmProtected | kDisasmOp32 | kDisasmAdr32;
        size_t pos = 0;
        while (pos + kDisasmWindow <= c.bytes.size()) {
            pos += disassemble(c.bytes.data() + pos, pos, out, sizeof out);
            ++instructions;
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(instructions);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlockSize));
    state.SetLabel(c.source);
}
BENCHMARK(BM_DecodeRealCode32)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
