#include "tests/edit_fixture.h"

#include "edit/commit.h"
#include "edit/input.h"
#include "res/resource.h"

namespace {

using EditInput = EditTest;

TEST_F(EditInput, TypedPairShowsInputColoursThenJournalledAfterReturn) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("4");
    EXPECT_EQ(hexBg(0x23, 0), kInputColour);
    EXPECT_EQ(fake.cells(rowOf(0x23), hexCol(0x23), 1), "4");
    EXPECT_TRUE(g_doc.ModFlag & kModLowNibble);
    EXPECT_EQ(g_doc.InputFlag & 6, 0u) << "half a byte is no input yet";
    type("1");
    EXPECT_EQ(g_doc.PageBuf[0x23], 0x41);
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x23, 0), kInputColour);
    EXPECT_EQ(hexBg(0x23, 1), kInputColour);
    EXPECT_EQ(charText(0x23), 'A');
    EXPECT_EQ(charBg(0x23), kMirrorColour);
    EXPECT_FALSE(g_doc.ModFlag & kModLowNibble);
    EXPECT_EQ(g_doc.CurOfs, 0x24u);
    EXPECT_EQ(hexBg(0x24), kCursorActiveBg);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    EXPECT_EQ(jnlBytes().size(), 1024u) << "inputs live in memory until committed";
    ret();
    EXPECT_EQ(g_doc.InputFlag & 7, 0u);
    EXPECT_EQ(hexBg(0x23), kJournalColour);
    EXPECT_EQ(charBg(0x23), kJournalColour);
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x22), kHexBgDefault);
    checkJournal();
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(jnlBytes().size(), 1024u + 640u);
}

TEST_F(EditInput, HexLettersOfBothCasesAndIgnoredCharacters) {
    openSource(pattern(600));
    cursorAt(5);
    type("a");
    type("G"); // not a digit: nothing happens, the low nibble is still awaited
    EXPECT_TRUE(g_doc.ModFlag & kModLowNibble);
    type("F");
    EXPECT_EQ(g_doc.PageBuf[5], 0xAF);
    EXPECT_EQ(g_doc.CurOfs, 6u);
    type("G");
    type("z");
    type(" ");
    EXPECT_EQ(g_doc.CurOfs, 6u) << "non-digits leave the cursor where it is";
    EXPECT_FALSE(g_doc.ModFlag & kModLowNibble);
    EXPECT_EQ(g_doc.PageBuf[6], pattern(600)[6]);
    EXPECT_FALSE(g_doc.ModMask[0] & 0x40);
    EXPECT_TRUE(g_doc.ModMask[0] & 0x20);
}

TEST_F(EditInput, SingleDigitThenReturnDropsTheHalfByte) {
    openSource(pattern(600));
    cursorAt(9);
    type("7");
    ret();
    EXPECT_EQ(g_doc.PageBuf[9], original[9]);
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_FALSE(g_doc.ModFlag & kModLowNibble);
    EXPECT_EQ(jnlBytes().size(), 1024u);
    EXPECT_EQ(hexText(9), std::string(g_tables.hexPair[original[9]], 2));
    EXPECT_EQ(hexBg(9), kCursorActiveBg) << "the cursor is back on the whole byte";
}

TEST_F(EditInput, CharacterColumnStoresAnyCodeUnchanged) {
    openSource(pattern(600));
    cursorAt(0x10, 1);
    for (int c : {0x01, 0x7F, 0xE4, 0x09})
        key(c);
    EXPECT_EQ(g_doc.PageBuf[0x10], 0x01);
    EXPECT_EQ(g_doc.PageBuf[0x11], 0x7F);
    EXPECT_EQ(g_doc.PageBuf[0x12], 0xE4);
    EXPECT_EQ(g_doc.PageBuf[0x13], 0x09);
    EXPECT_EQ(hexText(0x12), "E4");
    EXPECT_EQ(hexBg(0x12), kMirrorColour);
    EXPECT_EQ(charBg(0x12), kInputColour);
    EXPECT_EQ(uint8_t(charText(0x12)), 0xE4);
    EXPECT_EQ(g_doc.CurOfs, 0x14u);
    EXPECT_EQ(g_doc.ModMask[2], 0x0F);
    ret();
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Data[0x12], 0xE4);
    EXPECT_EQ(r.ModBits[2], 0x0F);
    EXPECT_EQ(charBg(0x12), kJournalColour);
}

TEST_F(EditInput, ByteInBlockTwoFlagsBlockTwo) {
    openSource(pattern(2000));
    gotoPair(0, 256);
    cursorAt(300); // buffer byte 556
    type("00");
    EXPECT_EQ(g_doc.InputFlag & 6, 4u);
    EXPECT_EQ(g_doc.PageBuf[556], 0);
    EXPECT_TRUE(g_doc.ModMask[556 >> 3] & (1 << (556 & 7)));
    ret();
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Adr, 512u);
    EXPECT_EQ(r.Data[44], 0);
    EXPECT_EQ(g_jnl.Header.FirstPtr, entry(0));
    checkJournal();
}

TEST_F(EditInput, BackspaceRestoresJournalledValueAndKeepsItsMark) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("41");
    ret();
    cursorAt(0x23);
    type("FF");
    type("EE"); // 0x24 as well
    EXPECT_EQ(g_doc.PageBuf[0x23], 0xFF);
    cursorAt(0x24);
    key(8);
    // 0x24 had no journalled edit: the record's value is the source's, and it is unmarked.
    EXPECT_EQ(g_doc.PageBuf[0x24], original[0x24]);
    EXPECT_FALSE(g_doc.ModMask[0x24 >> 3] & (1 << (0x24 & 7)));
    EXPECT_EQ(g_doc.CurOfs, 0x23u);
    key(8);
    EXPECT_EQ(g_doc.PageBuf[0x23], 0x41);
    EXPECT_TRUE(g_doc.ModMask[0x23 >> 3] & (1 << (0x23 & 7)));
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x23), kJournalColour);
    EXPECT_EQ(g_doc.CurOfs, 0x22u);
    EXPECT_EQ(g_doc.InputFlag & 2, 2u) << "Backspace leaves InputFlag alone";
    ret();
    JRec r = rec(g_jnl.Header.FirstPtr);
    EXPECT_EQ(r.Data[0x23], 0x41);
    EXPECT_EQ(r.Data[0x24], original[0x24]);
    EXPECT_EQ(r.ModBits[4], 0x08);
    checkJournal();
}

TEST_F(EditInput, BackspaceWithoutRecordRestoresSourceAndDropsMark) {
    openSource(pattern(2000));
    cursorAt(0x30, 1);
    type("xy");
    cursorAt(0x31, 1);
    key(8);
    EXPECT_EQ(g_doc.PageBuf[0x31], original[0x31]);
    EXPECT_FALSE(g_doc.ModMask[6] & 0x02);
    EXPECT_TRUE(g_doc.ModMask[6] & 0x01);
    EXPECT_EQ(hexBg(0x31), kHexBgDefault);
    EXPECT_EQ(g_doc.CurOfs, 0x30u);
    ret();
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Data[0x30], 'x');
    EXPECT_EQ(r.Data[0x31], original[0x31]);
    EXPECT_EQ(r.ModBits[6], 0x01);
}

TEST_F(EditInput, EscYesDropsInputsAndShowsTheOldPage) {
    openSource(pattern(2000));
    cursorAt(0x40);
    type("1234");
    expectBox("Eingaben verwerfen?", kIdYes, "Sollen die aktuellen Eingaben verworfen werden?");
    key(27);
    EXPECT_EQ(fake.boxes.back().style & 0xF, unsigned(kMbYesNo));
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(g_doc.PageBuf[0x40], original[0x40]);
    EXPECT_EQ(g_doc.PageBuf[0x41], original[0x41]);
    EXPECT_EQ(hexText(0x40), std::string(g_tables.hexPair[original[0x40]], 2));
    EXPECT_EQ(hexBg(0x40), kHexBgDefault);
    EXPECT_EQ(jnlBytes().size(), 1024u);
    checkJournal();
}

TEST_F(EditInput, EscNoCommitsThenReloads) {
    openSource(pattern(2000));
    cursorAt(0x40);
    type("1234");
    expectBox("Eingaben verwerfen?", kIdNo);
    key(27);
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(g_doc.PageBuf[0x40], 0x12);
    EXPECT_EQ(hexBg(0x41), kJournalColour);
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Data[0x41], 0x34);
    checkJournal();
}

TEST_F(EditInput, EscWithoutInputsAsksNothingAndDropsHalfByte) {
    openSource(pattern(2000));
    cursorAt(0x40);
    type("1");
    size_t boxes = fake.boxes.size();
    key(27);
    EXPECT_EQ(fake.boxes.size(), boxes);
    EXPECT_FALSE(g_doc.ModFlag & kModLowNibble);
    EXPECT_EQ(hexText(0x40), std::string(g_tables.hexPair[original[0x40]], 2));
}

TEST_F(EditInput, CtrlRightFetchesTheSourceByteBack) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("4142");
    ret();
    cursorAt(0x23);
    run(IDM_FETCH_SOURCE_RIGHT);
    EXPECT_EQ(g_doc.PageBuf[0x23], original[0x23]);
    EXPECT_FALSE(g_doc.ModMask[4] & 0x08);
    EXPECT_EQ(g_doc.CurOfs, 0x24u);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    EXPECT_EQ(hexBg(0x23), kHexBgDefault);
    run(IDM_FETCH_SOURCE_LEFT); // Ctrl+Left on 0x24 goes back to 0x23
    EXPECT_EQ(g_doc.PageBuf[0x24], original[0x24]);
    EXPECT_EQ(g_doc.CurOfs, 0x23u);
    ret();
    JRec r = rec(g_jnl.Header.FirstPtr);
    EXPECT_EQ(r.Data[0x23], original[0x23]);
    EXPECT_EQ(r.Data[0x24], original[0x24]);
    EXPECT_EQ(r.ModBits[4], 0);
    checkJournal();
}

TEST_F(EditInput, SpaceCommandIsATypedBlank) {
    openSource(pattern(600));
    cursorAt(3, 1);
    run(IDM_SPACE);
    EXPECT_EQ(g_doc.PageBuf[3], ' ');
    EXPECT_EQ(g_doc.InputFlag & 2, 2u);
}

TEST_F(EditInput, ReturnOnRecordWithEmptyMapUnlinksItFirst) {
    openSource(pattern(4096));
    cursorAt(0x23);
    type("41");
    ret(); // record v1 at entry 0
    cursorAt(0x23);
    run(IDM_FETCH_SOURCE_RIGHT); // fetched back: the map of the next version is empty
    ret();                       // v2 at entry 1, empty map
    JRec v2 = rec(entry(1));
    for (uint8_t m : v2.ModBits)
        ASSERT_EQ(m, 0);
    EXPECT_EQ(fake.title, src + "*");
    cursorAt(0x50);
    type("99");
    ret();
    // v2 left the chain (the only node, so the chain was empty for a moment), and the inputs
    // became a fresh record.
    JRec old = rec(entry(1));
    EXPECT_FALSE(old.Flags & 0x40);
    JRec fresh = rec(entry(2));
    EXPECT_EQ(fresh.Adr, 0u);
    EXPECT_TRUE(isNull(fresh.PJnl)) << "a fresh record starts its own version chain";
    EXPECT_TRUE(isNull(fresh.PrevPtr));
    EXPECT_TRUE(isNull(fresh.NextPtr));
    EXPECT_EQ(fresh.Data[0x50], 0x99);
    EXPECT_EQ(fresh.ModBits[0x50 >> 3], 1 << (0x50 & 7));
    EXPECT_EQ(fresh.PUndo, entry(1));
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(2));
    EXPECT_EQ(h.LastPtr, entry(2));
    EXPECT_EQ(h.Rest, entry(2));
    EXPECT_EQ(fake.title, src + "*");
    checkJournal();
}

TEST_F(EditInput, UnlinkBetweenNeighboursRelinksThemAndAllTheirVersions) {
    openSource(pattern(8192));
    auto edit = [&](uint64_t pair, uint32_t off, const char *hex) {
        gotoPair(pair);
        cursorAt(off);
        type(hex);
        ret();
        checkJournal();
    };
    edit(0, 1, "11");    // block 0: entry 0
    edit(0, 2, "12");    // block 0 v2: entry 1
    edit(4096, 1, "21"); // block 8: entry 2
    edit(4096, 2, "22"); // block 8 v2: entry 3
    edit(2048, 1, "31"); // block 4: entry 4, between them
    gotoPair(2048);
    cursorAt(1);
    run(IDM_FETCH_SOURCE_RIGHT);
    ret(); // block 4 v2: entry 5, empty map
    gotoPair(2048);
    cursorAt(7);
    type("77");
    ret(); // entry 5 leaves the chain; entry 6 is the fresh record
    JRec fresh = rec(entry(6));
    EXPECT_EQ(fresh.PrevPtr, entry(1));
    EXPECT_EQ(fresh.NextPtr, entry(3));
    for (int k : {0, 1})
        EXPECT_EQ(rec(entry(k)).NextPtr, entry(6)) << "version " << k << " of block 0";
    for (int k : {2, 3})
        EXPECT_EQ(rec(entry(k)).PrevPtr, entry(6)) << "version " << k << " of block 8";
    EXPECT_FALSE(rec(entry(5)).Flags & 0x40);
    checkJournal();
}

TEST_F(EditInput, EmptySourceCannotBeTypedInto) {
    openSource({});
    type("41");
    cursorAt(0, 1);
    type("xyz");
    ret();
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(readAll(src).size(), 0u);
    EXPECT_EQ(jnlBytes().size(), 1024u);
}

TEST_F(EditInput, TypingAtTheLastByteOverwritesItAndNeverGrowsTheSource) {
    openSource(pattern(20));
    cursorAt(25);
    type("41");
    EXPECT_EQ(g_doc.InputFlag, 0u) << "no byte under the cursor";
    cursorAt(19);
    type("41");
    EXPECT_EQ(g_doc.CurOfs, 19u) << "the cursor stops on the last byte";
    type("42");
    EXPECT_EQ(g_doc.PageBuf[19], 0x42);
    EXPECT_EQ(hexBg(19), kCursorActiveBg) << "the cursor stays on the byte";
    run(IDM_ARROW_LEFT); // Left: the old cell is drawn in its own colours, not left as a cursor
    EXPECT_EQ(g_doc.CurOfs, 18u);
    EXPECT_EQ(hexBg(19), kJournalColour);
    EXPECT_EQ(hexBg(18), kCursorActiveBg);
    ret();
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Len, 20u);
    EXPECT_EQ(r.Data[19], 0x42);
    for (int i = 20; i < 512; ++i)
        ASSERT_EQ(r.Data[i], 0) << "bytes beyond Len";
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(g_doc.PageLen, 20u);
}

TEST_F(EditInput, FullDiskKeepsTheInputsAndTheNextReturnRetries) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("41");
    fake.failWrite(1, kErrDiskFull, ".jnl");
    expectBox("", kIdOk, "Fehler beim Schreiben von ");
    ret();
    EXPECT_EQ(fake.boxes.back().text, std::string("Fehler beim Schreiben von ") + g_jnl.JnlName);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    EXPECT_EQ(g_doc.PageBuf[0x23], 0x41);
    EXPECT_EQ(hexBg(0x23), kInputColour) << "the inputs stay on screen";
    EXPECT_EQ(jnlBytes().size(), 1024u);
    EXPECT_EQ(g_jnl.JnlEnd, 1024u);
    EXPECT_TRUE(isNull(g_jnl.Header.FirstPtr));
    EXPECT_TRUE(isNull(g_jnl.Header.Undo));
    EXPECT_TRUE(isNull(g_jnl.Header.Rest));
    EXPECT_FALSE(g_doc.JReadFlag & 1);
    EXPECT_EQ(fake.title, src) << "nothing was journalled";
    checkJournal("after the failed write");
    ret();
    EXPECT_EQ(g_doc.InputFlag & 6, 0u);
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Data[0x23], 0x41);
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(0));
    EXPECT_EQ(h.Undo, entry(0));
    EXPECT_EQ(fake.title, src + "*");
    checkJournal("after the retry");
}

TEST_F(EditInput, FullDiskOnANewVersionLeavesTheOldOneCurrent) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("41");
    ret();
    cursorAt(0x24);
    type("42");
    fake.failWrite(1, kErrDiskFull, ".jnl");
    expectBox("", kIdOk, "Fehler beim Schreiben von ");
    ret();
    EXPECT_EQ(jnlBytes().size(), 1024u + 640u);
    JRec v1 = rec(entry(0));
    EXPECT_TRUE(isNull(v1.NJnl));
    EXPECT_TRUE(v1.Flags & 0x8);
    EXPECT_EQ(g_jnl.JData1.JAdr, entry(0));
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    checkJournal("after the failed write");
    ret();
    JRec v2 = rec(entry(1));
    EXPECT_EQ(v2.PJnl, entry(0));
    EXPECT_EQ(v2.Data[0x24], 0x42);
    EXPECT_EQ(rec(entry(0)).NJnl, entry(1));
    checkJournal("after the retry");
}

TEST_F(EditInput, FullDiskWhileThePageMovesLeavesNoStaleInputs) {
    openSource(pattern(8192));
    cursorAt(0x23);
    type("41");
    fake.failWrite(1, kErrDiskFull, ".jnl");
    expectBox("", kIdOk, "Fehler beim Schreiben von ");
    gotoPair(4096);
    EXPECT_EQ(g_doc.AnfPtr, 4096u);
    EXPECT_EQ(g_doc.InputFlag, 0u) << "flags must not name the new page's blocks";
    EXPECT_EQ(jnlBytes().size(), 1024u);
    checkJournal();
}

TEST_F(EditInput, WithoutAJournalInputsStayUntilThePageMoves) {
    // The journal directory is a file: no journal can be made, and the user declines to pick
    // one.
    std::string jdir = dir + "/C/kelmor";
    ASSERT_EQ(std::system(("rm -rf '" + jdir + "'").c_str()), 0);
    makeFile("C/kelmor", {1});
    original = pattern(4096);
    src = makeFile("src.bin", original);
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdNo);
    openThroughDialog(src);
    ASSERT_TRUE(sourceOpen());
    ASSERT_FALSE(journalOpen());
    cursorAt(3);
    type("41");
    size_t boxes = fake.boxes.size();
    ret();
    EXPECT_EQ(fake.boxes.size(), boxes);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u) << "nowhere to go: they stay on the page";
    EXPECT_EQ(g_doc.PageBuf[3], 0x41);
    gotoPair(2048);
    EXPECT_EQ(g_doc.InputFlag, 0u);
    gotoPair(0);
    EXPECT_EQ(g_doc.PageBuf[3], original[3]);
    EXPECT_EQ(readAll(src), original);
}

} // namespace
