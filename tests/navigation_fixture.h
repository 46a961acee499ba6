// Shared checks for the navigation, marking and status tests: files whose every byte tells
// its position, and a check of the 32 screen rows against the file itself.
#pragma once

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/events.h"
#include "tests/support/harness.h"
#include "view/paint.h"

class NavTest : public KelmorTest {
  protected:
    // A byte that depends on its whole 64-bit position (no period of 256 or 4 GiB).
    static uint8_t sig(uint64_t pos) {
        uint64_t v = (pos + 0x1234567ull) * 0x9E3779B97F4A7C15ull;
        return uint8_t(v >> 56);
    }
    static std::vector<uint8_t> sigBytes(uint64_t pos, size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = sig(pos + i);
        return v;
    }
    std::string sigFile(const std::string &name, size_t n) {
        return makeFile(name, sigBytes(0, n));
    }
    // A sparse file with signature bytes in the given regions (position, length).
    std::string sparseWith(const std::string &name, uint64_t size,
                           const std::vector<std::pair<uint64_t, size_t>> &regions) {
        std::string p = makeSparse(name, size);
        for (auto &r : regions)
            writeAt(p, r.first, sigBytes(r.first, r.second));
        return p;
    }

    void open(const std::string &p) {
        path = p;
        startProgram();
        openThroughDialog(p);
        ASSERT_TRUE(sourceOpen());
    }
    void run(unsigned command) { dispatchCommand(command, 0); }
    static uint64_t first() { return g_doc.AnfPtr + g_doc.ViewOfs; }

    // Reads up to n bytes of the open file at pos straight from disk.
    std::vector<uint8_t> diskBytes(uint64_t pos, size_t n) {
        std::vector<uint8_t> v(n);
        int fd = ::open(path.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0);
        ssize_t got = pread(fd, v.data(), n, off_t(pos));
        close(fd);
        v.resize(got > 0 ? size_t(got) : 0);
        return v;
    }

    static std::string addressText(uint64_t pos) {
        char t[32];
        std::snprintf(t, sizeof t, " %04X %04X %04X %04X ", unsigned(pos >> 48),
                      unsigned((pos >> 32) & 0xFFFF), unsigned((pos >> 16) & 0xFFFF),
                      unsigned(pos & 0xFFFF));
        return t;
    }
    static std::string hexPair(uint8_t b) {
        char t[4];
        std::snprintf(t, sizeof t, "%02X", b);
        return t;
    }
    // Screen column of byte k's hex pair and of its character cell.
    static int hexCol(int k) { return 21 + (k < 8 ? 1 + 3 * k : 2 + 3 * k); }
    static int charCol(int k) { return 72 + k; }

    // The 32 rows show the file from `from` on: addresses, hex pairs and characters, blanks
    // beyond the end of the file.
    void expectPage(uint64_t from) {
        EXPECT_EQ(first(), from);
        std::vector<uint8_t> data = diskBytes(from, 512);
        for (int r = 0; r < 32; ++r) {
            EXPECT_EQ(fake.cells(r + 1, 0, 21), addressText(from + 16 * r)) << "row " << r;
            for (int k = 0; k < 16; ++k) {
                size_t i = size_t(16 * r + k);
                std::string want = i < data.size() ? hexPair(data[i]) : "  ";
                ASSERT_EQ(fake.cells(r + 1, hexCol(k), 2), want)
                    << "row " << r << " column " << k << " from " << std::hex << from;
                char c = i < data.size() ? char(data[i]) : ' ';
                ASSERT_EQ(fake.screen[r + 1][charCol(k)].ch, c) << "row " << r << " col " << k;
            }
        }
    }

    // Everything on screen equals what a full repaint draws.
    void expectSameAsRepaint() {
        FakeCell before[FakePlatform::kRows][FakePlatform::kCols];
        std::memcpy(before, fake.screen, sizeof before);
        paintPage();
        for (int r = 0; r < FakePlatform::kRows; ++r)
            for (int c = 0; c < FakePlatform::kCols; ++c) {
                ASSERT_EQ(before[r][c].ch, fake.screen[r][c].ch) << "row " << r << " col " << c;
                ASSERT_EQ(before[r][c].bg, fake.screen[r][c].bg) << "row " << r << " col " << c;
            }
    }

    // Is the byte at page offset `off` drawn in the marking colour (hex pair and character)?
    bool drawnMarked(uint32_t off) {
        int r = int(off >> 4) + 1, k = int(off & 15);
        bool hex = fake.bg(r, hexCol(k)) == kMarkedBg && fake.bg(r, hexCol(k) + 1) == kMarkedBg;
        bool chr = fake.bg(r, charCol(k)) == kMarkedBg;
        EXPECT_EQ(hex, chr) << "offset " << off;
        return hex;
    }
    // Every byte of the page is drawn marked exactly when it lies in the marking; the cursor
    // cell is left out.
    void expectMarkingDrawn() {
        uint64_t from = first();
        for (uint32_t off = 0; off < 512; ++off) {
            if (off == g_doc.CurOfs || from + off >= g_doc.FileSize) continue;
            bool in = g_doc.MarkFlag && from + off >= g_doc.MarkStart && from + off < g_doc.MarkEnd;
            ASSERT_EQ(drawnMarked(off), in) << "offset " << off;
        }
    }

    // Pixel position of the middle of a cell (default font 8 x 16).
    static int px(int col) { return col * 8 + 3; }
    static int py(int row) { return row * 16 + 5; }

    std::string path;
};
