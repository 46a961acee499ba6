// Shared set-up for benchmarks: a started program on the fake platform in a temp dir.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fake/fake_platform.h"

struct BenchProgram {
    FakePlatform fake;
    std::string dir;
    BenchProgram();
    ~BenchProgram();
    // A sparse file of `size` bytes in the bench directory.
    std::string sparse(const std::string &name, uint64_t size);
    void open(const std::string &path);
};

// Peak resident memory of the process so far, in KiB.
long peakRssKiB();
