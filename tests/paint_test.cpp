#include "tests/support/harness.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "journal/overlay.h"
#include "view/paint.h"

namespace {

class Paint : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
    }
    // The hex cells of byte k in cell row r.
    int hexCol(int k) { return 21 + (k < 8 ? 1 + 3 * k : 2 + 3 * k); }
    int charCol(int k) { return 21 + 51 + k; }
};

TEST_F(Paint, PlainRowsShowAddressHexAndCharactersWithTwoCallsEach) {
    std::vector<uint8_t> bytes = pattern(1024);
    bytes[16] = 0x00;
    bytes[17] = 0xE4; // 'ä' in Windows-1252
    bytes[18] = 0x7F;
    openThroughDialog(makeFile("a.bin", bytes));
    EXPECT_EQ(fake.row(1).substr(0, 21), " 0000 0000 0000 0000 ");
    EXPECT_EQ(fake.row(2).substr(0, 21), " 0000 0000 0000 0010 ");
    EXPECT_EQ(fake.row(32).substr(0, 21), " 0000 0000 0000 01F0 ");
    EXPECT_EQ(fake.row(2).substr(21, 10), " 00 E4 7F ");
    // Every byte value is its own glyph: nothing replaced.
    EXPECT_EQ(uint8_t(fake.screen[2][charCol(0)].ch), 0x00);
    EXPECT_EQ(uint8_t(fake.screen[2][charCol(1)].ch), 0xE4);
    EXPECT_EQ(uint8_t(fake.screen[2][charCol(2)].ch), 0x7F);
    EXPECT_EQ(fake.cells(2, 21 + 25, 1), " "); // group separator
    EXPECT_EQ(fake.bg(2, hexCol(3)), kHexBgDefault);
    EXPECT_EQ(fake.bg(2, charCol(3)), kCharBgDefault);
    // The cursor sits on byte 0: hex cell active, character cell inactive.
    EXPECT_EQ(fake.bg(1, hexCol(0)), kCursorActiveBg);
    EXPECT_EQ(fake.bg(1, hexCol(0) + 1), kCursorActiveBg);
    EXPECT_EQ(fake.bg(1, charCol(0)), kCursorInactiveBg);

    fake.clearScreen();
    paintPage();
    for (int r = 2; r <= 32; ++r)
        EXPECT_EQ(fake.textCallsPerRow[r], 3) << "row " << r;
}

TEST_F(Paint, ShortFileLeavesBlankRowsButFillsTheAddresses) {
    openThroughDialog(makeFile("twenty.bin", pattern(20)));
    EXPECT_EQ(g_doc.PageLen, 20u);
    EXPECT_EQ(fake.row(2).substr(21, 50), " 73 7A 81 88                                      ");
    EXPECT_EQ(fake.row(2).substr(71, 17), std::string(" s") + "z\x81\x88" + std::string(12, ' '));
    EXPECT_EQ(fake.row(3).substr(21, 67), std::string(67, ' '));
    EXPECT_EQ(fake.row(32).substr(0, 21), " 0000 0000 0000 01F0 ");
    EXPECT_EQ(fake.bg(10, hexCol(5)), kHexBgDefault);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kCursorActiveBg);
}

TEST_F(Paint, EmptyFileHasNoCursorCell) {
    openThroughDialog(makeFile("empty.bin", {}));
    EXPECT_EQ(g_doc.PageLen, 0u);
    EXPECT_EQ(fake.bg(1, hexCol(0)), kHexBgDefault);
    EXPECT_EQ(fake.bg(1, charCol(0)), kCharBgDefault);
    EXPECT_EQ(fake.row(1).substr(0, 21), " 0000 0000 0000 0000 ");
}

TEST_F(Paint, ViewOffsetRotatesTheHeaderLabels) {
    openThroughDialog(makeFile("a.bin", pattern(1024)));
    g_doc.ViewOfs = 5;
    setHeaderLabels();
    paintPage();
    EXPECT_EQ(fake.row(0).substr(21, 50), " 05 06 07 08 09 0A 0B 0C  0D 0E 0F 00 01 02 03 04 ");
    EXPECT_EQ(fake.row(1).substr(0, 21), " 0000 0000 0000 0005 ");
    EXPECT_EQ(fake.row(2).substr(0, 21), " 0000 0000 0000 0015 ");
    EXPECT_EQ(fake.row(1).substr(21, 3), " 26"); // byte 5 = (5*7+3)
}

TEST_F(Paint, JournalledBytesShowInTheirColour) {
    openThroughDialog(makeFile("a.bin", pattern(1024)));
    g_doc.ViewOfs = 3;
    g_doc.ModMask[0] = 0x80; // buffer offset 7: row 0, column 4
    paintPage();
    EXPECT_EQ(fake.bg(1, hexCol(4)), kJournalledBg);
    EXPECT_EQ(fake.bg(1, hexCol(4) + 2), kJournalledBg); // its following blank
    EXPECT_EQ(fake.bg(1, charCol(4)), kJournalledBg);
    EXPECT_EQ(fake.bg(1, hexCol(3)), kHexBgDefault);
    EXPECT_EQ(fake.bg(1, hexCol(5)), kHexBgDefault);
    EXPECT_EQ(fake.bg(1, charCol(5)), kCharBgDefault);
    EXPECT_GT(fake.textCallsPerRow[1], 3); // drawn cell by cell
}

TEST_F(Paint, PartlyAndFullyMarkedRows) {
    openThroughDialog(makeFile("a.bin", pattern(1024)));
    // From the third to the sixth byte of row 2 (end exclusive at column 6).
    g_doc.MarkStart = 32 + 2;
    g_doc.MarkEnd = 32 + 6;
    g_doc.MarkFlag = 7;
    paintPage();
    EXPECT_EQ(fake.bg(3, hexCol(1)), kHexBgDefault);
    for (int k = 2; k < 6; ++k) {
        EXPECT_EQ(fake.bg(3, hexCol(k)), kMarkedBg) << k;
        EXPECT_EQ(fake.bg(3, charCol(k)), kMarkedBg) << k;
    }
    EXPECT_EQ(fake.bg(3, hexCol(5) + 2), kMarkedBg); // blank after the last marked pair
    EXPECT_EQ(fake.bg(3, hexCol(6)), kHexBgDefault);
    EXPECT_EQ(fake.bg(3, charCol(6)), kCharBgDefault);
    EXPECT_EQ(fake.bg(2, hexCol(3)), kHexBgDefault);
    EXPECT_EQ(fake.bg(4, hexCol(3)), kHexBgDefault);

    // A marking over the whole page with a journalled byte inside.
    g_doc.MarkStart = 0;
    g_doc.MarkEnd = 5000;
    g_doc.ModMask[(16 * 10 + 3) >> 3] = 1 << ((16 * 10 + 3) & 7);
    fake.clearScreen();
    paintPage();
    for (int r = 1; r <= 32; ++r)
        EXPECT_EQ(fake.bg(r, hexCol(9)), kMarkedBg) << r;
    EXPECT_EQ(fake.bg(11, hexCol(3)), kJournalledMarkedBg);
    EXPECT_EQ(fake.bg(11, charCol(3)), kJournalledMarkedBg);
    EXPECT_EQ(fake.bg(11, hexCol(2)), kMarkedBg);

    // A journalled byte in a partly marked row: red raised, then the modifier.
    g_doc.MarkStart = 16 * 10 + 2;
    g_doc.MarkEnd = 16 * 10 + 5;
    fake.clearScreen();
    paintPage();
    EXPECT_EQ(fake.bg(11, hexCol(3)), (kMarkedBg | 0x11) ^ kPartialJournalXor);
    EXPECT_EQ(fake.bg(11, charCol(3)), kMarkedBg ^ kPartialJournalXor);
    EXPECT_EQ(fake.bg(11, hexCol(6)), kHexBgDefault);
}

TEST_F(Paint, BlockReadingAtTheSourceEnd) {
    struct Case {
        size_t size;
        uint32_t blk1, blk2, pageLen, blk2Flag;
        bool block2;
    } cases[] = {
        {0, 0, 0, 0, 0, false},
        {1, 1, 0, 1, 0, false},
        {511, 511, 0, 511, 0, false},
        {512, 512, 0, 512, 0, true},
        {513, 512, 1, 513, 512, true},
        {1023, 512, 511, 1023, 512, true},
        {1024, 512, 512, 1024, 512, true},
        {1025, 512, 512, 1024, 512, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        openThroughDialog(makeFile("s" + std::to_string(c.size), pattern(c.size)));
        EXPECT_EQ(g_doc.Blk1Len, c.blk1);
        EXPECT_EQ(g_doc.Blk2Len, c.blk2);
        EXPECT_EQ(g_doc.PageLen, c.pageLen);
        EXPECT_EQ(g_doc.Blk2Flag, c.blk2Flag);
        EXPECT_EQ(hasBlock2(), c.block2);
        EXPECT_EQ(g_doc.ViewOfs, 0u);
        if (c.pageLen) {
            EXPECT_EQ(std::memcmp(g_doc.PageBuf, pattern(c.size).data(), c.pageLen), 0);
        }
    }
    // The last pair of the 1025-byte file holds the single last byte.
    g_doc.ReadPtr = 1024;
    gotoPage();
    EXPECT_EQ(g_doc.Blk1Len, 1u);
    EXPECT_EQ(g_doc.PageBuf[0], pattern(1025)[1024]);
}

TEST_F(Paint, SizeFieldsNameTheTrueLastByte) {
    std::string four = makeSparse("four.bin", uint64_t(4) << 30);
    openThroughDialog(four);
    EXPECT_EQ(g_doc.FileSize, uint64_t(4) << 30);
    EXPECT_EQ(g_doc.LastPos, (uint64_t(4) << 30) - 1);
    EXPECT_EQ(g_doc.LastPairPtr, (uint64_t(4) << 30) - 1024);
    EXPECT_EQ(g_doc.LastBlkPtr, (uint64_t(4) << 30) - 512);
    openThroughDialog(makeFile("empty.bin", {}));
    EXPECT_EQ(g_doc.LastPos, 0u);
    EXPECT_EQ(g_doc.LastPairPtr, 0u);
    EXPECT_EQ(g_doc.LastBlkPtr, 0u);
    std::string odd = makeSparse("odd.bin", (uint64_t(5) << 30) + 700);
    openThroughDialog(odd);
    EXPECT_EQ(g_doc.LastPos, (uint64_t(5) << 30) + 699);
    EXPECT_EQ(g_doc.LastPairPtr, (uint64_t(5) << 30));
    EXPECT_EQ(g_doc.LastBlkPtr, (uint64_t(5) << 30) + 512);
}

TEST_F(Paint, RowsAcrossTheFourGigabyteBoundary) {
    std::string big = makeSparse("big.bin", uint64_t(6) << 30);
    writeAt(big, 0xFFFFFFF0, {0xDE, 0xAD});
    writeAt(big, 0x100000000, {0xBE, 0xEF});
    openThroughDialog(big);
    g_doc.ReadPtr = 0xFFFFFE00;
    gotoPage();
    EXPECT_EQ(g_doc.MidPtr, 0x100000000ull); // carries into the high word
    g_doc.ViewOfs = 0;
    paintPage();
    // Row 31 is 0xFFFFFFF0, the next pair starts at 1 0000 0000.
    EXPECT_EQ(fake.row(32).substr(0, 21), " 0000 0000 FFFF FFF0 ");
    EXPECT_EQ(fake.row(32).substr(21, 7), " DE AD ");
    g_doc.ViewOfs = 16;
    paintPage();
    EXPECT_EQ(fake.row(32).substr(0, 21), " 0000 0001 0000 0000 ");
    EXPECT_EQ(fake.row(32).substr(21, 7), " BE EF ");
}

} // namespace
