// The platform contract: the same cases run natively against the fake platform and under Wine
// against the Win32 platform, so that the fake the core is tested on answers as Windows does.
// The including file defines contractPlatform(): a platform with drive C: present.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/platform.h"

Platform &contractPlatform();

class Contract : public ::testing::Test {
  protected:
    Platform &p = contractPlatform();
    std::filesystem::path dir;
    void SetUp() override {
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = std::filesystem::temp_directory_path() / ("kelmor-contract-" + std::to_string(tick));
        ASSERT_TRUE(std::filesystem::create_directory(dir));
    }
    void TearDown() override {
        std::error_code e;
        std::filesystem::remove_all(dir, e);
    }
    std::string path(const char *name, const char *inner = nullptr) {
        return (inner ? dir / name / inner : dir / name).string();
    }
    Handle open(const std::string &f, unsigned access, unsigned share, Disposition d) {
        return p.openFile(f.c_str(), access, share, d);
    }
    void writeWhole(const std::string &f, const std::string &bytes) {
        Handle h = open(f, kAccessRead | kAccessWrite, 0, Disposition::CreateAlways);
        ASSERT_NE(h, kInvalidHandle) << p.lastError();
        uint32_t put = 0;
        ASSERT_TRUE(p.writeFile(h, bytes.data(), uint32_t(bytes.size()), &put));
        ASSERT_EQ(put, bytes.size());
        ASSERT_TRUE(p.closeHandle(h));
    }
    std::string readWhole(const std::string &f) {
        Handle h = open(f, kAccessRead, kShareRead, Disposition::OpenExisting);
        if (h == kInvalidHandle) return "<missing>";
        char buf[256];
        uint32_t got = 0;
        p.readFile(h, buf, sizeof buf, &got);
        p.closeHandle(h);
        return std::string(buf, got);
    }
    // The error a call left behind (0 when it succeeded).
    template <class F> uint32_t error(F call) {
        p.setLastError(0);
        return call() ? 0 : p.lastError();
    }
};

constexpr uint64_t kGiB = uint64_t(1) << 30;
constexpr unsigned kRW = kAccessRead | kAccessWrite;

TEST_F(Contract, SparseFileBeyondFourGiB) {
    Handle h = open(path("big.bin"), kRW, kShareRead, Disposition::CreateAlways);
    ASSERT_NE(h, kInvalidHandle) << p.lastError();
    const uint64_t beyond = 5 * kGiB + 0x1234;
    char back[16] = {}, hole[16];
    uint32_t put = 0, got = 0;
    uint64_t size = 0;
    ASSERT_TRUE(p.seekFile(h, beyond));
    ASSERT_TRUE(p.writeFile(h, "beyond four GiB!", 16, &put));
    ASSERT_TRUE(p.fileSize(h, &size));
    EXPECT_EQ(size, beyond + 16);
    // The same offset modulo 4 GiB is still a hole: no truncation of the position.
    std::memset(hole, 0x55, sizeof hole);
    ASSERT_TRUE(p.seekFile(h, beyond - 4 * kGiB));
    ASSERT_TRUE(p.readFile(h, hole, 16, &got));
    EXPECT_EQ(std::string(hole, got), std::string(16, '\0'));
    // Reading across the end gives the rest, then nothing, without an error.
    ASSERT_TRUE(p.seekFile(h, beyond + 8));
    ASSERT_TRUE(p.readFile(h, back, 16, &got));
    EXPECT_EQ(std::string(back, got), "our GiB!");
    ASSERT_TRUE(p.readFile(h, back, 16, &got));
    EXPECT_EQ(got, 0u);
    // Truncating above 4 GiB keeps the high part of the size.
    ASSERT_TRUE(p.seekFile(h, 4 * kGiB + 1));
    ASSERT_TRUE(p.setEndOfFile(h));
    ASSERT_TRUE(p.fileSize(h, &size));
    EXPECT_EQ(size, 4 * kGiB + 1);
    EXPECT_TRUE(p.flushFile(h));
    // A position beyond 2^63 is a negative seek.
    EXPECT_EQ(error([&] { return p.seekFile(h, ~uint64_t(0)); }), 131u);
    ASSERT_TRUE(p.closeHandle(h));
    EXPECT_EQ(error([&] { return p.closeHandle(h); }), 6u);
}

TEST_F(Contract, ErrorCodesOfFiles) {
    std::string f = path("f.bin"), none = path("none.bin"), deep = path("no dir", "x.bin");
    writeWhole(f, "0123456789");
    std::filesystem::create_directory(dir / "sub");
    Handle ro = open(f, kAccessRead, kShareRead | kShareWrite, Disposition::OpenExisting);
    Handle wo = open(f, kAccessWrite, kShareRead | kShareWrite, Disposition::OpenExisting);
    ASSERT_NE(ro, kInvalidHandle);
    ASSERT_NE(wo, kInvalidHandle);
    uint32_t n = 99;
    char buf[4];
    auto opens = [&](const std::string &x, unsigned access, Disposition d) {
        return [=, this] {
            Handle h = open(x, access, kShareRead | kShareWrite, d);
            return h != kInvalidHandle && p.closeHandle(h);
        };
    };
    struct Case {
        const char *what;
        std::function<bool()> call;
        uint32_t code;
    } cases[] = {
        {"missing file", opens(none, kAccessRead, Disposition::OpenExisting), 2},
        {"missing directory", opens(deep, kAccessRead, Disposition::OpenExisting), 3},
        {"new file in a missing directory", opens(deep, kRW, Disposition::CreateAlways), 3},
        {"a directory", opens(path("sub"), kAccessRead, Disposition::OpenExisting), 5},
        {"create new on a file", opens(f, kRW, Disposition::CreateNew), 80},
        {"truncate a missing file", opens(none, kRW, Disposition::TruncateExisting), 2},
        {"write on a reader", [&] { return p.writeFile(ro, "xx", 2, &n); }, 5},
        {"read on a writer", [&] { return p.readFile(wo, buf, 2, &n); }, 5},
        {"delete a missing file", [&] { return p.deleteFile(none.c_str()); }, 2},
        {"delete in a missing directory", [&] { return p.deleteFile(deep.c_str()); }, 3},
        {"copy a missing file", [&] { return p.copyFile(none.c_str(), f.c_str(), false); }, 2},
        {"copy onto a file", [&] { return p.copyFile(f.c_str(), f.c_str(), true); }, 80},
        {"copy into a missing directory",
         [&] { return p.copyFile(f.c_str(), deep.c_str(), false); }, 3},
        {"directory exists", [&] { return p.createDirectory(path("sub").c_str()); }, 183},
        {"directory in a missing one",
         [&] { return p.createDirectory(path("none", "deeper").c_str()); }, 3},
        {"change to a missing directory",
         [&] { return p.setCurrentDirectory(path("none").c_str()); }, 2},
        {"times of no handle",
         [&] {
             FileTimes t;
             return p.getFileTimes(kInvalidHandle, &t);
         },
         6},
    };
    for (const Case &c : cases)
        EXPECT_EQ(error(c.call), c.code) << c.what;
    EXPECT_EQ(n, 0u); // nothing written or read by the refused calls
    p.closeHandle(ro);
    p.closeHandle(wo);
    EXPECT_EQ(readWhole(f), "0123456789");
    p.setLastError(1117);
    EXPECT_EQ(p.lastError(), 1117u);
}

TEST_F(Contract, DispositionsReportWhetherTheFileExisted) {
    // The core tells a new journal from an old one by the error OpenAlways leaves.
    std::string f = path("d.bin");
    uint64_t size = 9;
    uint32_t put = 0;
    struct Case {
        Disposition d;
        uint32_t code;
        uint64_t size; // afterwards
    } cases[] = {
        {Disposition::OpenAlways, 0, 0},     {Disposition::OpenAlways, 183, 3},
        {Disposition::CreateAlways, 183, 0}, {Disposition::TruncateExisting, 0, 0},
        {Disposition::OpenExisting, 0, 3},   {Disposition::CreateNew, 80, 3},
    };
    for (const Case &c : cases) {
        p.setLastError(12345);
        Handle h = open(f, kRW, kShareRead, c.d);
        EXPECT_EQ(p.lastError(), c.code) << int(c.d);
        if (h == kInvalidHandle) continue;
        EXPECT_TRUE(p.fileSize(h, &size));
        EXPECT_EQ(size, c.size) << int(c.d);
        if (size == 0) p.writeFile(h, "abc", 3, &put);
        p.closeHandle(h);
    }
}

TEST_F(Contract, ShareModes) {
    std::string f = path("s.bin");
    writeWhole(f, "x");
    const unsigned R = kAccessRead, RS = kShareRead, RWS = kShareRead | kShareWrite;
    struct Case {
        unsigned access1, share1, access2, share2;
        bool second; // the second open succeeds while the first is open
    } cases[] = {
        {R, RS, R, RS, true},       // readers share reads
        {R, RS, kRW, RS, false},    // a writer is refused while a reader does not share writing
        {kRW, RS, R, RS, false},    // a reader not sharing writing is refused by an open writer
        {kRW, RS, R, RWS, true},    // one that shares writing gets in
        {kRW, RWS, kRW, RWS, true}, // writers sharing everything
        {R, 0, R, RWS, false},      // an exclusive open refuses everyone
    };
    for (const Case &c : cases) {
        Handle a = open(f, c.access1, c.share1, Disposition::OpenExisting);
        ASSERT_NE(a, kInvalidHandle);
        p.setLastError(0);
        Handle b = open(f, c.access2, c.share2, Disposition::OpenExisting);
        EXPECT_EQ(b != kInvalidHandle, c.second) << c.access1 << c.share1 << c.access2 << c.share2;
        EXPECT_EQ(p.lastError(), c.second ? 0u : 32u);
        if (b != kInvalidHandle) p.closeHandle(b);
        p.closeHandle(a);
        // Once the first is gone the second gets in.
        b = open(f, c.access2, c.share2, Disposition::OpenExisting);
        EXPECT_NE(b, kInvalidHandle);
        p.closeHandle(b);
    }
}

TEST_F(Contract, TimesCopyDeleteAndDirectories) {
    std::string a = path("a.bin"), b = path("b.bin"), c = path("c.bin");
    writeWhole(a, "first file");
    writeWhole(b, "second");
    Handle h = open(a, kRW, kShareRead, Disposition::OpenExisting);
    FileTimes t0, t1;
    ASSERT_TRUE(p.getFileTimes(h, &t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint32_t put = 0;
    ASSERT_TRUE(p.writeFile(h, "first", 5, &put));
    ASSERT_TRUE(p.flushFile(h));
    ASSERT_TRUE(p.getFileTimes(h, &t1));
    p.closeHandle(h);
    EXPECT_NE(t0.creation, 0u);
    EXPECT_GT(t1.lastWrite, t0.lastWrite); // FILETIME: 100 ns steps
    EXPECT_LT(t1.lastWrite - t0.lastWrite, 600000000u);
    // Copies: refused onto an existing file when asked, else over it.
    EXPECT_FALSE(p.copyFile(a.c_str(), b.c_str(), true));
    EXPECT_EQ(readWhole(b), "second");
    EXPECT_TRUE(p.copyFile(a.c_str(), c.c_str(), true));
    EXPECT_TRUE(p.copyFile(a.c_str(), b.c_str(), false));
    EXPECT_EQ(readWhole(b), "first file");
    EXPECT_EQ(readWhole(c), "first file");
    EXPECT_TRUE(p.deleteFile(c.c_str()));
    EXPECT_EQ(readWhole(c), "<missing>");
    // A directory, the current directory and full names in it.
    std::string sub = path("sub"), old = std::filesystem::current_path().string();
    EXPECT_TRUE(p.createDirectory(sub.c_str()));
    ASSERT_TRUE(p.setCurrentDirectory(sub.c_str()));
    char full[260], tiny[4];
    uint32_t n = p.fullPathName("name.bin", full, sizeof full);
    uint32_t small = p.fullPathName("name.bin", tiny, sizeof tiny);
    std::filesystem::current_path(old);
    std::string want = (dir / "sub" / "name.bin").string();
    EXPECT_EQ(n, want.size());
    EXPECT_EQ(std::string(full), want);
    EXPECT_EQ(small, 0u);
}

TEST_F(Contract, DrivesVersionDateAndClipboard) {
    uint32_t mask = p.logicalDrives();
    EXPECT_TRUE(mask & (1u << 2)) << mask;
    EXPECT_EQ(p.driveType("C:\\"), kDriveFixed);
    int unused = 25;
    while (mask & (1u << unused))
        --unused;
    char root[4] = {char('A' + unused), ':', '\\', 0};
    EXPECT_EQ(p.driveType(root), kDriveNoRootDir) << root;
    uint64_t freeBytes = 0, total = 0;
    ASSERT_TRUE(p.diskFreeSpace("C:\\", &freeBytes, &total));
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeBytes, total);
    EXPECT_FALSE(p.diskFreeSpace(root, &freeBytes, &total));
    EXPECT_GE(p.osMajorVersion(), 4u);
    char d[11];
    p.today(d);
    ASSERT_EQ(std::strlen(d), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(i == 2 || i == 5 ? d[i] == '.' : std::isdigit(uint8_t(d[i]))) << d;

    unsigned fmt = p.registerClipboardFormat("Kelmor Contract");
    EXPECT_GE(fmt, 0xC000u);
    EXPECT_EQ(p.registerClipboardFormat("Kelmor Contract"), fmt);
    const uint8_t data[6] = {0, 1, 0xFF, 0x80, 'A', 0};
    ASSERT_TRUE(p.clipboardOpen());
    p.clipboardEmpty();
    EXPECT_TRUE(p.clipboardSet(fmt, data, sizeof data));
    p.clipboardClose();
    ASSERT_TRUE(p.clipboardOpen());
    uint8_t back[16] = {}, small[2] = {};
    int64_t n = p.clipboardGet(fmt, back, sizeof back);
    EXPECT_GE(n, int64_t(sizeof data)); // global blocks may be rounded up
    EXPECT_EQ(std::memcmp(back, data, sizeof data), 0);
    EXPECT_EQ(p.clipboardGet(fmt, small, 2), n); // the full size, two bytes copied
    EXPECT_EQ(small[1], 1);
    EXPECT_EQ(p.clipboardGet(p.registerClipboardFormat("Kelmor Contract (absent)"), back, 16), -1);
    p.clipboardClose();
}
