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
    for (int c = 21; c < 72; c += 3) // the blanks around the pairs and between the columns
        EXPECT_EQ(fake.cells(2, c + (c > 45), 1), " ") << c;
    EXPECT_EQ(fake.cells(2, 45, 2) + fake.cells(2, 70, 2), "    ");
    for (int c = 0; c < 88; ++c)
        ASSERT_EQ(fake.bg(2, c), c < 21 ? kAddressGrey : c < 71 ? kPlainHexBg : kPlainCharBg) << c;
    EXPECT_TRUE(hexBg(0) == kCursorOn && hexBg(0, 1) == kCursorOn && charBg(0) == kCursorOff);
    fake.clearScreen();
    paintPage();
    for (int r = 2; r <= 32; ++r) // a plain row: its address, the hex text, the characters
        EXPECT_EQ(fake.textCallsPerRow[r], 3) << "row " << r;
    // The last page of sources ending around the blocks of a pair and beyond 4 GiB.
    const uint64_t G = 1ull << 30;
    const uint64_t ends[][2] = {
        {511, 0},    {512, 0},     {513, 512},           {1023, 512},
        {1024, 512}, {1025, 1024}, {4 * G, 4 * G - 512}, {5 * G + 700, 5 * G + 512}};
    for (auto [size, last] : ends) {
        open(size < G ? makeFile("s.bin", sigBytes(0, size))
                      : sparseWith("b.bin", size, {{0, 1024}, {size - 1536, 1536}}));
        expectPage(0);
        run(IDM_FILE_END_KEY);
        expectPage(last);
    }
}

TEST_F(Paint, JournalledAndMarkedColours) {
    openSource(sigBytes(0, 1024));
    typeAt(7, {0x41});
    typeAt(163, {0x42});
    cursorAt(500);
    paintPage();
    // The pair, the blank after it and the character.
    EXPECT_TRUE(hexBg(7) == kJournalColour && fake.bg(1, hexCol(7) + 2) == kJournalColour &&
                charBg(7) == kJournalColour);
    EXPECT_EQ(fake.bg(1, hexCol(8) - 1), kPlainHexBg); // the group gap
    EXPECT_TRUE(hexBg(6) == kPlainHexBg && hexBg(8) == kPlainHexBg && charBg(8) == kPlainCharBg);
    EXPECT_GT(fake.textCallsPerRow[1], 3);
    // Part of row 2 marked: its pairs, the blank after the last one, its characters.
    mark(34, 38);
    paintPage();
    expectMarkingDrawn(34, 38);
    EXPECT_TRUE(fake.bg(3, hexCol(37) + 2) == kMarkColour && fake.bg(3, hexCol(38)) == kPlainHexBg);
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

TEST_F(Paint, StatusLineModeIndicatorAndWriteLock) {
    run(IDM_LOCK);
    run(IDM_UNLOCK); // without a source: no question
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
    const std::string disk = "    Disk Mode      ", edit = "    Edit Mode      ";
    const std::string scroll = "    Auto Scroll    ", play = "    Video Play     ";
    // clang-format off
    const std::tuple<void (*)(), std::string, uint32_t> shown[] = {
        {showDiskMode, disk, 0xDDFFFF}, {[] { showAutoScroll(true); }, scroll, 0xDDCCFF},
        {endTransient, disk, 0xDDFFFF}, {showVideoPlay, play, 0xFF88FF},
        {endTransient, disk, 0xDDFFFF}, {showEditMode, edit, kEditColour},
        {showScanAvi, "    Scan Avi       ", 0xFF88FF},
        {[] { showAutoScroll(false); }, scroll, 0xCCDDFF}, {endTransient, edit, kEditColour}};
    // clang-format on
    for (auto [show, text, colour] : shown) {
        show();
        EXPECT_EQ(indicator(), text);
        EXPECT_EQ(fake.bg(0, 71), colour) << text;
    }
    // Auto scroll in disk mode ends in disk mode; opening a file shows edit mode.
    std::string path = makeFile("a.bin", sigBytes(0, 5000));
    open(path);
    showDiskMode();
    fake.keys = {0, ' '};
    run(IDM_AUTO_SCROLL_DOWN_KEY);
    EXPECT_EQ(indicator(), disk);
    open(path);
    EXPECT_EQ(indicator(), edit);
    const char *unlock = "Soll die gesetzte Schreibsperre aufgehoben werden ?";
    const char *access = "Soll der Schreibzugriff auf die Datei ermöglicht werden ?";
    const char *lift = "Schreibsperre aufheben ?", *allow = "Schreibzugriff erlauben ?";
    // What is done (nullptr: open the file), read-only, the question and its answer, the field.
    const std::tuple<int (*)(), bool, const char *, const char *, int, const char *> steps[] = {
        {nullptr, true, nullptr, nullptr, 0, "Read Only"},
        {lockCommand, true, nullptr, nullptr, 0, "Read Only"},
        {unlockCommand, true, lift, unlock, kIdYes, "Read Only"},
        {nullptr, false, nullptr, nullptr, 0, "         "},
        {lockCommand, false, nullptr, nullptr, 0, "gesperrt "},
        {unlockCommand, false, lift, unlock, kIdNo, "gesperrt "},
        {unlockCommand, false, lift, unlock, kIdYes, "         "},
        {lockCommand, false, nullptr, nullptr, 0, "gesperrt "},
        {askWriteAccess, false, allow, access, kIdNo, "gesperrt "},
        {askWriteAccess, false, allow, access, kIdYes, "         "},
        {closeFileCommand, false, nullptr, nullptr, 0, "         "},
    };
    for (auto [act, readOnly, caption, text, answer, field] : steps) {
        size_t boxes = fake.boxes.size();
        if (caption) expectBox(caption, answer, text);
        act ? void(act()) : openThroughDialog(path, readOnly);
        EXPECT_EQ(fake.boxes.size(), boxes + (caption != nullptr));
        if (caption) // lifting the lock for a write is not the default answer
            EXPECT_EQ(fake.boxes.back().style, unsigned(kMbYesNo | kMbIconQuestion | kMbTaskModal |
                                                        (text == access ? kMbDefButton2 : 0)));
        EXPECT_EQ(statusField(78, 9), field);
    }
}

} // namespace
