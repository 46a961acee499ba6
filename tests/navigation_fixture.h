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
#include "tests/support/doc_test.h"
#include "view/paint.h"

class NavTest : public DocTest {
  protected:
    // The program starts with the first file opened.
    void SetUp() override { KelmorTest::SetUp(); }
    std::string sigFile(const std::string &name, size_t n) {
        return makeFile(name, sigBytes(0, n));
    }
    void open(const std::string &p) {
        path = p;
        startProgram();
        DocTest::open(p);
    }
    static std::string hexPair(uint8_t b) {
        char t[4];
        std::snprintf(t, sizeof t, "%02X", b);
        return t;
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
