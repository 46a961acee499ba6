// The platform contract: the same cases run natively against the fake platform and under Wine
// against the Win32 platform, so that the fake the core is tested on answers as Windows does.
// The including file defines contractPlatform(): a platform with drive C: present.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/platform.h"

Platform &contractPlatform();

class Contract : public ::testing::Test {
  protected:
    Platform &p = contractPlatform();
    std::filesystem::path dir;
    std::error_code ec;
    void SetUp() override {
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = std::filesystem::temp_directory_path() / ("kelmor-contract-" + std::to_string(tick));
        ASSERT_TRUE(std::filesystem::create_directory(dir, ec));
    }
    void TearDown() override { std::filesystem::remove_all(dir, ec); }
    std::string path(const char *name, const char *inner = nullptr) {
        return (inner ? dir / name / inner : dir / name).string();
    }
    Handle open(const std::string &f, unsigned access, unsigned share, Disposition d) {
        return p.openFile(f.c_str(), access, share, d);
    }
    // Files are made and read back without the platform under test.
    static void make(const std::string &f, const std::string &bytes) {
        std::ofstream(f, std::ios::binary) << bytes;
    }
    static std::string bytes(const std::string &f) {
        std::ifstream in(f, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return in ? s.str() : "<missing>";
    }
    // The error a call left behind (an open that succeeds tells whether the file existed).
    uint32_t error(const std::function<bool()> &call) {
        p.setLastError(12345);
        bool ok = call();
        return ok && p.lastError() == 12345 ? 0 : p.lastError();
    }
};

constexpr unsigned kRW = kAccessRead | kAccessWrite, kRWS = kShareRead | kShareWrite;

TEST_F(Contract, SparseFileBeyondFourGiB) {
    const uint64_t g = uint64_t(1) << 30, beyond = 5 * g + 0x1234;
    Handle h = open(path("big.bin"), kRW, kShareRead, Disposition::CreateAlways);
    char back[16] = {}, hole[16] = {1};
    uint32_t put = 0, got = 0;
    uint64_t size = 0;
    ASSERT_TRUE(p.seekFile(h, beyond));
    ASSERT_TRUE(p.writeFile(h, "beyond four GiB!", 16, &put));
    ASSERT_TRUE(p.fileSize(h, &size));
    EXPECT_EQ(size, beyond + 16);
    // The same offset modulo 4 GiB is still a hole: no truncation of the position.
    ASSERT_TRUE(p.seekFile(h, beyond - 4 * g));
    ASSERT_TRUE(p.readFile(h, hole, 16, &got));
    EXPECT_EQ(std::string(hole, got), std::string(16, '\0'));
    // Reading across the end gives the rest, then nothing, without an error.
    ASSERT_TRUE(p.seekFile(h, beyond + 8));
    ASSERT_TRUE(p.readFile(h, back, 16, &got));
    EXPECT_EQ(std::string(back, got), "our GiB!");
    ASSERT_TRUE(p.readFile(h, back, 16, &got));
    EXPECT_EQ(got, 0u);
    // Reads and writes go on where the one before ended.
    ASSERT_TRUE(p.seekFile(h, beyond + 3));
    ASSERT_TRUE(p.readFile(h, back, 4, &got));
    ASSERT_TRUE(p.writeFile(h, "FOUR", 4, &put));
    ASSERT_TRUE(p.writeFile(h, "-", 1, &put));
    ASSERT_TRUE(p.seekFile(h, beyond));
    ASSERT_TRUE(p.readFile(h, back, 16, &got));
    EXPECT_EQ(std::string(back, got), "beyond FOUR-GiB!");
    // Truncating above 4 GiB keeps the high part of the size.
    ASSERT_TRUE(p.seekFile(h, 4 * g + 1));
    ASSERT_TRUE(p.setEndOfFile(h));
    ASSERT_TRUE(p.flushFile(h));
    EXPECT_EQ(error([&] { return p.seekFile(h, ~uint64_t(0)); }), 131u); // a negative seek
    ASSERT_TRUE(p.closeHandle(h));
    EXPECT_EQ(error([&] { return p.closeHandle(h); }), 6u);
    EXPECT_EQ(std::filesystem::file_size(path("big.bin"), ec), 4 * g + 1);
}

TEST_F(Contract, ErrorCodesAndDispositions) {
    std::string f = path("f.bin"), none = path("none.bin"), deep = path("no dir", "x.bin");
    std::string created = path("new.bin"), emptied = path("e.bin"), cut = path("t.bin");
    for (const std::string &x : {f, emptied, cut})
        make(x, "0123456789");
    std::filesystem::create_directory(dir / "sub", ec);
    Handle ro = open(f, kAccessRead, kRWS, Disposition::OpenExisting);
    Handle wo = open(f, kAccessWrite, kRWS, Disposition::OpenExisting);
    uint32_t n = 99;
    char buf[4];
    FileTimes times;
    auto opens = [&](const std::string &x, unsigned access, Disposition d) {
        return [=, this] {
            Handle h = open(x, access, kRWS, d);
            return h != kInvalidHandle && p.closeHandle(h);
        };
    };
    const struct {
        const char *what;
        std::function<bool()> call;
        uint32_t code;
    } cases[] = {
        // The core tells a new journal from an old one by the code OpenAlways leaves.
        {"open always, new", opens(created, kRW, Disposition::OpenAlways), 0},
        {"open always, existing", opens(f, kRW, Disposition::OpenAlways), 183},
        {"create always, existing", opens(emptied, kRW, Disposition::CreateAlways), 183},
        {"truncate existing", opens(cut, kRW, Disposition::TruncateExisting), 0},
        {"open existing", opens(f, kAccessRead, Disposition::OpenExisting), 0},
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
        {"copy to a missing directory", [&] { return p.copyFile(f.c_str(), deep.c_str(), 0); }, 3},
        {"directory exists", [&] { return p.createDirectory(path("sub").c_str()); }, 183},
        {"directory in none", [&] { return p.createDirectory(path("no", "x").c_str()); }, 3},
        {"change to none", [&] { return p.setCurrentDirectory(path("none").c_str()); }, 2},
        {"times of no handle", [&] { return p.getFileTimes(kInvalidHandle, &times); }, 6},
    };
    for (const auto &c : cases)
        EXPECT_EQ(error(c.call), c.code) << c.what;
    EXPECT_EQ(n, 0u); // nothing written or read by the refused calls
    p.closeHandle(ro);
    p.closeHandle(wo);
    // Opening keeps the contents, creating and truncating empty the file.
    EXPECT_EQ(bytes(f) + "|" + bytes(created) + bytes(emptied) + bytes(cut), "0123456789|");
    p.setLastError(1117);
    EXPECT_EQ(p.lastError(), 1117u);
}

TEST_F(Contract, ShareModes) {
    std::string f = path("d.bin");
    make(f, "x");
    const unsigned R = kAccessRead, RS = kShareRead;
    const unsigned shares[][5] = {
        // access and share of the first, of the second open; the second succeeds
        {R, RS, R, RS, 1},         // readers share reads
        {R, RS, kRW, RS, 0},       // a writer is refused while a reader does not share writing
        {kRW, RS, R, RS, 0},       // a reader not sharing writing is refused by an open writer
        {kRW, RS, R, kRWS, 1},     // one that shares writing gets in
        {kRW, kRWS, kRW, kRWS, 1}, // writers sharing everything
        {R, 0, R, kRWS, 0},        // an exclusive open refuses everyone
    };
    for (const auto &c : shares) {
        Handle a = open(f, c[0], c[1], Disposition::OpenExisting);
        p.setLastError(0);
        Handle b = open(f, c[2], c[3], Disposition::OpenExisting);
        EXPECT_EQ(b != kInvalidHandle, c[4] == 1) << c[0] << c[1] << c[2] << c[3];
        EXPECT_EQ(p.lastError(), c[4] ? 0u : 32u);
        p.closeHandle(b);
        p.closeHandle(a);
        b = open(f, c[2], c[3], Disposition::OpenExisting); // the first is gone
        EXPECT_NE(b, kInvalidHandle);
        p.closeHandle(b);
    }
}

TEST_F(Contract, TimesCopiesDirectoriesAndDrives) {
    std::string a = path("a.bin"), b = path("b.bin"), c = path("c.bin");
    make(a, "first file");
    make(b, "second");
    Handle h = open(a, kRW, kShareRead, Disposition::OpenExisting);
    FileTimes t0, t1;
    uint32_t put = 0;
    ASSERT_TRUE(p.getFileTimes(h, &t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(p.writeFile(h, "FIRST", 5, &put));
    ASSERT_TRUE(p.flushFile(h));
    ASSERT_TRUE(p.getFileTimes(h, &t1));
    p.closeHandle(h);
    EXPECT_NE(t0.creation, 0u);
    EXPECT_GT(t1.lastWrite, t0.lastWrite); // FILETIME: 100 ns steps
    EXPECT_LT(t1.lastWrite - t0.lastWrite, 600000000u);
    // Copies: refused onto an existing file when asked, else over it; deleting.
    EXPECT_FALSE(p.copyFile(a.c_str(), b.c_str(), true));
    EXPECT_EQ(bytes(b), "second");
    EXPECT_TRUE(p.copyFile(a.c_str(), c.c_str(), true));
    EXPECT_TRUE(p.copyFile(a.c_str(), b.c_str(), false));
    EXPECT_EQ(bytes(b) + bytes(c), "FIRST fileFIRST file");
    EXPECT_TRUE(p.deleteFile(c.c_str()));
    EXPECT_EQ(bytes(c), "<missing>");
    // A directory, the current directory and full names in it.
    std::string old = std::filesystem::current_path(ec).string();
    EXPECT_TRUE(p.createDirectory(path("sub").c_str()));
    ASSERT_TRUE(p.setCurrentDirectory(path("sub").c_str()));
    char full[260], tiny[4];
    uint32_t n = p.fullPathName("name.bin", full, sizeof full);
    uint32_t small = p.fullPathName("name.bin", tiny, sizeof tiny);
    std::filesystem::current_path(old, ec);
    EXPECT_EQ(std::string(full), path("sub", "name.bin"));
    EXPECT_EQ(n, std::strlen(full));
    EXPECT_EQ(small, 0u);
    // Drives: an unused letter has no root; C: is fixed and has space.
    uint32_t mask = p.logicalDrives();
    uint64_t freeBytes = 0, total = 0;
    int unused = 25;
    while (mask & (1u << unused))
        --unused;
    char root[4] = {char('A' + unused), ':', '\\', 0};
    EXPECT_EQ(p.driveType(root) * 10 + p.driveType("C:\\"), kDriveNoRootDir * 10 + kDriveFixed);
    EXPECT_FALSE(p.diskFreeSpace(root, &freeBytes, &total));
    ASSERT_TRUE(p.diskFreeSpace("C:\\", &freeBytes, &total));
    EXPECT_TRUE(freeBytes <= total && total > 0 && (mask & 4)) << mask;
}

TEST_F(Contract, ClipboardWithARegisteredFormat) {
    unsigned fmt = p.registerClipboardFormat("Kelmor Contract");
    EXPECT_GE(fmt, 0xC000u);
    EXPECT_EQ(p.registerClipboardFormat("Kelmor Contract"), fmt);
    ASSERT_TRUE(p.clipboardOpen());
    p.clipboardEmpty();
    const std::string data("\0\1\xFF\x80@", 6);
    EXPECT_TRUE(p.clipboardSet(fmt, data.data(), 6));
    p.clipboardClose();
    ASSERT_TRUE(p.clipboardOpen());
    char back[16] = {}, small[2] = {};
    int64_t n = p.clipboardGet(fmt, back, sizeof back);
    EXPECT_GE(n, 6); // global blocks may be rounded up
    EXPECT_EQ(std::string(back, 6), data);
    EXPECT_EQ(p.clipboardGet(fmt, small, 2), n); // the full size, two bytes copied
    EXPECT_EQ(small[1], 1);
    EXPECT_EQ(p.clipboardGet(p.registerClipboardFormat("Kelmor Contract (absent)"), back, 16), -1);
    p.clipboardClose();
}

// What copy and paste exchange: text, the bytes and their size, read back in pieces; emptying
// takes every format away.
TEST_F(Contract, ClipboardRoundTripOfTextDataAndSize) {
    unsigned data = p.registerClipboardFormat("DataObject");
    unsigned size = p.registerClipboardFormat("Size Information");
    std::string bytes(3001, '\0'), sz("\xB8\x0B\0\0\0\0\0\0", 8), back(11, '-');
    for (size_t i = 0; i < 3000; ++i)
        bytes[i] = char(i * 7 + 3);
    ASSERT_TRUE(p.clipboardOpen());
    p.clipboardEmpty();
    EXPECT_TRUE(p.clipboardSet(1, "abc", 4) && p.clipboardSet(data, bytes.data(), 3001) &&
                p.clipboardSet(size, sz.data(), 8));
    p.clipboardClose();
    ASSERT_TRUE(p.clipboardOpen());
    EXPECT_TRUE(p.clipboardGet(1, &back[0], 4) >= 4 && back.substr(0, 4) == std::string("abc", 4));
    EXPECT_TRUE(p.clipboardGet(size, &back[0], 8) >= 8 && back.substr(0, 8) == sz);
    EXPECT_GE(p.clipboardGet(data, &back[0], 11, 2990), 3001); // the last ten bytes and the zero
    EXPECT_EQ(back, bytes.substr(2990, 11));
    p.clipboardEmpty();
    p.clipboardClose();
    ASSERT_TRUE(p.clipboardOpen());
    EXPECT_TRUE(p.clipboardGet(data, &back[0], 4) == -1 && p.clipboardGet(size, &back[0], 4) == -1);
    p.clipboardClose();
}
