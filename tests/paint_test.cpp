// The painter's rows and colours, the last pages of a source, the status line and the mode
// indicator.
#include "app/document.h"
#include "tests/support/doc_test.h"
#include "view/navigation.h"
#include "view/status.h"

namespace {

constexpr uint32_t kAddressGrey = 0xDDDDDD, kStatusColour = 0xDDDDFF, kEditColour = 0xCCCCFF;

class Paint : public DocTest {};

TEST_F(Paint, RowsShowAddressesHexPairsAndEveryByteAsItsOwnGlyph) {
    std::vector<uint8_t> bytes = sigBytes(0, 1024);
    bytes[16] = 0x00, bytes[17] = 0xE4, bytes[18] = 0x7F; // nothing is replaced on screen
    open(makeFile("a.bin", bytes));
    expectPage(0);
    std::string row = addressText(16) + " ";
    for (int k = 0; k < 16; ++k)
        row += hexText(16 + k) + (k == 7 ? "  " : " ");
    row += " " + std::string(reinterpret_cast<const char *>(&bytes[16]), 16);
    EXPECT_EQ(fake.row(2), row);
    for (int c = 0; c < 88; ++c)
        ASSERT_EQ(fake.bg(2, c), c < 21 ? kAddressGrey : c < 71 ? kPlainHexBg : kPlainCharBg) << c;
    EXPECT_EQ(hexBg(0), kCursorOn);
    EXPECT_EQ(hexBg(0, 1), kCursorOn);
    EXPECT_EQ(charBg(0), kCursorOff);
    fake.clearScreen();
    paintPage();
    for (int r = 2; r <= 32; ++r) // a plain row: its address, the hex text, the characters
        EXPECT_EQ(fake.textCallsPerRow[r], 3) << "row " << r;
}

TEST_F(Paint, JournalledAndMarkedColours) {
    openSource(sigBytes(0, 1024));
    typeAt(7, {0x41});
    typeAt(163, {0x42});
    cursorAt(500);
    paintPage();
    EXPECT_EQ(hexBg(7), kJournalColour);
    EXPECT_EQ(fake.bg(1, hexCol(7) + 2), kJournalColour); // the blank after the pair
    EXPECT_EQ(charBg(7), kJournalColour);
    EXPECT_EQ(fake.bg(1, hexCol(8) - 1), kPlainHexBg); // the group gap
    EXPECT_TRUE(hexBg(6) == kPlainHexBg && hexBg(8) == kPlainHexBg && charBg(8) == kPlainCharBg);
    EXPECT_GT(fake.textCallsPerRow[1], 3);
    // Part of row 2 marked: its pairs, the blank after the last one, its characters.
    mark(34, 38);
    paintPage();
    expectMarkingDrawn(34, 38);
    EXPECT_EQ(fake.bg(3, hexCol(37) + 2), kMarkColour);
    EXPECT_EQ(fake.bg(3, hexCol(38)), kPlainHexBg);
    // The whole page marked: journalled bytes in their own marked colour, the blank between
    // the columns unmarked.
    mark(0, 5000);
    paintPage();
    EXPECT_TRUE(hexBg(163) == 0xDDDDFF && charBg(163) == 0xDDDDFF);
    for (uint32_t off = 9; off < 512; off += 16)
        ASSERT_TRUE(hexBg(off) == kMarkColour && fake.bg(rowOf(off), 71) == kPlainCharBg) << off;
    // A journalled byte in a partly marked row: 0x11 raised on the hex cells, then 0x552200
    // flipped, inside the marking and outside it.
    mark(162, 165);
    paintPage();
    EXPECT_TRUE(hexBg(163) == 0xDDDDFF && charBg(163) == 0xDDDDFF);
    mark(2, 5);
    paintPage();
    EXPECT_TRUE(hexBg(7) == 0xBBDDFF && charBg(7) == 0xAADDFF);
    EXPECT_EQ(hexBg(166), kPlainHexBg);
}

TEST_F(Paint, TheLastPageOfEverySourceEnd) {
    const uint64_t G = 1ull << 30;
    struct {
        uint64_t size, last;
    } cases[] = {{511, 0},    {512, 0},     {513, 512},           {1023, 512},
                 {1024, 512}, {1025, 1024}, {4 * G, 4 * G - 512}, {5 * G + 700, 5 * G + 512}};
    for (auto c : cases) {
        SCOPED_TRACE(c.size);
        open(c.size < G ? makeFile("s.bin", sigBytes(0, c.size))
                        : sparseWith("b.bin", c.size, {{0, 1024}, {c.size - 1536, 1536}}));
        expectPage(0);
        run(IDM_FILE_END_KEY);
        expectPage(c.last);
    }
}

TEST_F(Paint, StatusLineAndModeIndicator) {
    for (int c = 0; c < 90; ++c)
        ASSERT_EQ(fake.bg(33, c), kStatusColour) << c;
    EXPECT_EQ(fake.row(33), std::string(56, ' ') + "Protokoll" + std::string(23, ' '));
    EXPECT_EQ(indicator(), "    Edit Mode      ");
    EXPECT_TRUE(fake.bg(0, 71) == kEditColour && fake.bg(0, 89) == kEditColour);
    for (auto [mode, text] :
         {std::pair{2u, "Line lock"}, {4u, "256B lock"}, {8u, "Page lock"}, {1u, "         "}}) {
        chooseScrollRaster(mode);
        EXPECT_EQ(statusField(67, 9), text);
    }
    // The save mode; the journal path keeps its first 45 characters.
    setJournalPathField("C:\\kelmor\\Ein ziemlich langer Dateiname fuer das Protokoll.jnl");
    const std::string kept = "C:\\kelmor\\Ein ziemlich langer Dateiname fuer ";
    run(IDM_DIRECT_MODE);
    EXPECT_EQ(statusField(0, 65), kept + std::string(11, ' ') + " direkt  ");
    run(IDM_JOURNAL_MODE);
    EXPECT_EQ(statusField(0, 65), kept + std::string(11, ' ') + "Protokoll");
    // Base and transient indicators: a transient one gives the base back in its own colour.
    struct {
        void (*show)();
        const char *text;
        uint32_t colour;
    } shown[] = {
        {showDiskMode, "    Disk Mode      ", 0xDDFFFF},
        {[] { showAutoScroll(true); }, "    Auto Scroll    ", 0xDDCCFF},
        {endTransient, "    Disk Mode      ", 0xDDFFFF},
        {showVideoPlay, "    Video Play     ", 0xFF88FF},
        {endTransient, "    Disk Mode      ", 0xDDFFFF},
        {showEditMode, "    Edit Mode      ", kEditColour},
        {showScanAvi, "    Scan Avi       ", 0xFF88FF},
        {[] { showAutoScroll(false); }, "    Auto Scroll    ", 0xCCDDFF},
        {endTransient, "    Edit Mode      ", kEditColour},
    };
    for (auto &s : shown) {
        s.show();
        EXPECT_EQ(indicator(), s.text);
        EXPECT_EQ(fake.bg(0, 71), s.colour) << s.text;
    }
    // Auto scroll in disk mode ends in disk mode; opening a file shows edit mode.
    std::string path = makeFile("a.bin", sigBytes(0, 5000));
    open(path);
    showDiskMode();
    fake.keys = {0, ' '};
    run(IDM_AUTO_SCROLL_DOWN_KEY);
    EXPECT_EQ(indicator(), "    Disk Mode      ");
    open(path);
    EXPECT_EQ(indicator(), "    Edit Mode      ");
}

TEST_F(Paint, WriteLockAndAccessField) {
    run(IDM_LOCK);
    run(IDM_UNLOCK); // without a source: no question
    EXPECT_EQ(statusField(78, 9), "         ");
    std::string path = makeFile("a.bin", sigBytes(0, 100));
    const char *unlock = "Soll die gesetzte Schreibsperre aufgehoben werden ?";
    const char *access = "Soll der Schreibzugriff auf die Datei ermöglicht werden ?";
    struct {
        int (*act)(); // nullptr: open the file, read-only or not
        bool readOnly;
        const char *caption, *text;
        int answer;
        const char *field;
    } steps[] = {
        {nullptr, true, nullptr, nullptr, 0, "Read Only"},
        {lockCommand, true, nullptr, nullptr, 0, "Read Only"},
        {unlockCommand, true, "Schreibsperre aufheben ?", unlock, kIdYes, "Read Only"},
        {nullptr, false, nullptr, nullptr, 0, "         "},
        {lockCommand, false, nullptr, nullptr, 0, "gesperrt "},
        {unlockCommand, false, "Schreibsperre aufheben ?", unlock, kIdNo, "gesperrt "},
        {unlockCommand, false, "Schreibsperre aufheben ?", unlock, kIdYes, "         "},
        {lockCommand, false, nullptr, nullptr, 0, "gesperrt "},
        {askWriteAccess, false, "Schreibzugriff erlauben ?", access, kIdNo, "gesperrt "},
        {askWriteAccess, false, "Schreibzugriff erlauben ?", access, kIdYes, "         "},
        {closeFileCommand, false, nullptr, nullptr, 0, "         "},
    };
    for (auto &s : steps) {
        size_t boxes = fake.boxes.size();
        if (s.caption) expectBox(s.caption, s.answer);
        if (s.act)
            s.act();
        else
            openThroughDialog(path, s.readOnly);
        EXPECT_EQ(fake.boxes.size(), boxes + (s.caption != nullptr));
        if (s.caption) {
            EXPECT_EQ(fake.boxes.back().text, s.text);
            EXPECT_EQ(fake.boxes.back().style, unsigned(kMbYesNo | kMbIconQuestion | kMbTaskModal));
        }
        EXPECT_EQ(statusField(78, 9), s.field);
    }
}

} // namespace
