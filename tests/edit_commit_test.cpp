#include "tests/edit_fixture.h"

#include "edit/commit.h"
#include "edit/input.h"
#include "res/resource.h"

namespace {

class EditCommit : public EditTest {
  protected:
    // One journal-mode edit: the pair at `pair`, hex digits at page offset `off`, Return.
    void edit(uint64_t pair, uint32_t off, const char *hex, uint32_t view = 0) {
        gotoPair(pair, view);
        cursorAt(off);
        type(hex);
        ret();
        checkJournal(hex);
        EXPECT_EQ(readAll(src), original) << "journal mode never writes the source";
    }
    std::vector<uint8_t> blockOf(uint64_t adr,
                                 const std::vector<std::pair<uint32_t, uint8_t>> &set) {
        std::vector<uint8_t> b(512, 0);
        for (size_t i = 0; i < 512 && adr + i < original.size(); ++i)
            b[i] = original[adr + i];
        for (auto &s : set)
            b[s.first] = s.second;
        return b;
    }
};

TEST_F(EditCommit, FirstCommitIntoAnEmptyJournal) {
    openSource(pattern(2000));
    EXPECT_EQ(fake.title, src);
    edit(0, 0x23, "41");
    std::vector<uint8_t> j = jnlBytes();
    ASSERT_EQ(j.size(), 1664u);
    // Record fields, byte for byte.
    EXPECT_EQ(le64(j, 1024 + 0x00), 0u);        // Adr
    EXPECT_EQ(le64(j, 1024 + 0x08), kNull);     // PrevPtr
    EXPECT_EQ(le64(j, 1024 + 0x10), kNull);     // NextPtr
    EXPECT_EQ(le64(j, 1024 + 0x18), kNull);     // PUndo
    EXPECT_EQ(le32(j, 1024 + 0x20), 512u);      // Len
    EXPECT_EQ(le64(j, 1024 + 0x24), kNull);     // PJnl
    EXPECT_EQ(le64(j, 1024 + 0x2C), kNull);     // NJnl
    EXPECT_EQ(le64(j, 1024 + 0x34), kNull);     // NUndo
    EXPECT_EQ(le32(j, 1024 + 0x3C), 0x18414Du); // Flags, versions retained
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(j[1024 + 0x40 + i], i == 4 ? 0x08 : 0) << "ModBits byte " << i;
    std::vector<uint8_t> data(j.begin() + 1024 + 128, j.begin() + 1664);
    EXPECT_EQ(data, blockOf(0, {{0x23, 0x41}}));
    JHdr h = fileHeader();
    EXPECT_EQ(h.Magic, 0xABCDEF03u);
    EXPECT_EQ(h.FirstPtr, 1024u);
    EXPECT_EQ(h.LastPtr, 1024u);
    EXPECT_EQ(h.Rest, 1024u);
    EXPECT_EQ(h.Undo, 1024u);
    EXPECT_EQ(h.UndoFirst, 1024u);
    EXPECT_EQ(fake.title, src + "*");
    EXPECT_EQ(g_doc.JReadFlag & 1, 1u);
}

TEST_F(EditCommit, WithoutRetainedVersionsTheRecordIsRewrittenInPlace) {
    g_settings.UndoMode = 1;
    openSource(pattern(2000));
    edit(0, 0x23, "41");
    EXPECT_EQ(rec(entry(0)).Flags, 0x10414Du);
    edit(0, 0x30, "42");
    edit(0, 0x31, "43");
    ASSERT_EQ(jnlBytes().size(), 1664u) << "the journal does not grow";
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Flags, 0x10414Du);
    EXPECT_TRUE(isNull(r.PJnl));
    EXPECT_TRUE(isNull(r.NJnl));
    // Already the undo cursor: the undo chain is left as it was, never pointing at itself.
    EXPECT_TRUE(isNull(r.PUndo));
    EXPECT_TRUE(isNull(r.NUndo));
    std::vector<uint8_t> data(r.Data, r.Data + 512);
    EXPECT_EQ(data, blockOf(0, {{0x23, 0x41}, {0x30, 0x42}, {0x31, 0x43}}));
    EXPECT_EQ(r.ModBits[4], 0x08);
    EXPECT_EQ(r.ModBits[6], 0x03);
    JHdr h = fileHeader();
    EXPECT_EQ(h.Undo, 1024u);
    EXPECT_EQ(h.UndoFirst, 1024u);
}

TEST_F(EditCommit, InPlaceRewriteMovesTheRecordToTheEndOfTheUndoChain) {
    g_settings.UndoMode = 1;
    openSource(pattern(4096));
    edit(0, 1, "11");    // A: entry 0
    edit(2048, 1, "22"); // B: entry 1
    edit(0, 2, "33");    // A again, rewritten in place; it becomes the newest commit
    ASSERT_EQ(jnlBytes().size(), 1024u + 2 * 640u);
    JRec a = rec(entry(0)), b = rec(entry(1));
    JHdr h = fileHeader();
    EXPECT_EQ(h.UndoFirst, entry(1));
    EXPECT_EQ(h.Undo, entry(0));
    EXPECT_TRUE(isNull(b.PUndo));
    EXPECT_EQ(b.NUndo, entry(0));
    EXPECT_EQ(a.PUndo, entry(1));
    EXPECT_TRUE(isNull(a.NUndo));
    EXPECT_EQ(h.Rest, entry(1)) << "Rest names the newest record made for a new block";
}

TEST_F(EditCommit, RetainedVersionsAppendAndChain) {
    openSource(pattern(2000));
    edit(0, 0x23, "41");
    edit(0, 0x24, "42");
    std::vector<uint8_t> j = jnlBytes();
    ASSERT_EQ(j.size(), 1024u + 1280u);
    JRec v1 = rec(entry(0)), v2 = rec(entry(1));
    EXPECT_EQ(v1.NJnl, entry(1));
    EXPECT_TRUE(isNull(v1.PJnl));
    EXPECT_EQ(v1.Flags, 0x18414Du & ~0x8u) << "the older version loses 0x8";
    EXPECT_EQ(v2.PJnl, entry(0));
    EXPECT_TRUE(isNull(v2.NJnl));
    EXPECT_EQ(v2.Flags, 0x18414Du);
    EXPECT_EQ(0, std::memcmp(j.data() + entry(0), j.data() + entry(1), 24));
    EXPECT_EQ(v1.Data[0x24], original[0x24]) << "the old version keeps its data";
    EXPECT_EQ(v2.Data[0x23], 0x41);
    EXPECT_EQ(v2.Data[0x24], 0x42);
    EXPECT_EQ(v1.ModBits[4], 0x08);
    EXPECT_EQ(v2.ModBits[4], 0x18);
    EXPECT_EQ(v1.NUndo, entry(1));
    EXPECT_EQ(v2.PUndo, entry(0));
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(1));
    EXPECT_EQ(h.LastPtr, entry(1));
    EXPECT_EQ(h.Undo, entry(1));
    EXPECT_EQ(h.UndoFirst, entry(0));
    EXPECT_EQ(h.Rest, entry(0)) << "a new version is no new block";
    EXPECT_EQ(g_jnl.JData1.JAdr, entry(1));
}

TEST_F(EditCommit, BlockBetweenTwoVersionedBlocksIsLinkedToBothAndAllTheirVersions) {
    openSource(pattern(8192));
    edit(0, 1, "11"); // block 0: entries 0, 1
    edit(0, 2, "12");
    edit(4096, 1, "21"); // block 8: entries 2, 3
    edit(4096, 2, "22");
    for (int k : {0, 1})
        EXPECT_EQ(rec(entry(k)).NextPtr, entry(3));
    for (int k : {2, 3})
        EXPECT_EQ(rec(entry(k)).PrevPtr, entry(1));
    edit(2048, 5, "55"); // block 4: entry 4
    JRec mid = rec(entry(4));
    EXPECT_EQ(mid.Adr, 2048u);
    EXPECT_EQ(mid.PrevPtr, entry(1));
    EXPECT_EQ(mid.NextPtr, entry(3));
    for (int k : {0, 1})
        EXPECT_EQ(rec(entry(k)).NextPtr, entry(4)) << "version " << k << " of block 0";
    for (int k : {2, 3})
        EXPECT_EQ(rec(entry(k)).PrevPtr, entry(4)) << "version " << k << " of block 8";
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(1));
    EXPECT_EQ(h.LastPtr, entry(3));
    EXPECT_EQ(h.Rest, entry(4));
    // A new version of the middle block relinks both neighbours (every version) to it.
    edit(2048, 6, "66"); // entry 5
    for (int k : {0, 1})
        EXPECT_EQ(rec(entry(k)).NextPtr, entry(5));
    for (int k : {2, 3})
        EXPECT_EQ(rec(entry(k)).PrevPtr, entry(5));
    EXPECT_EQ(rec(entry(4)).NJnl, entry(5));
}

TEST_F(EditCommit, BothBlocksOfThePageBlockOneFirst) {
    openSource(pattern(4096));
    gotoPair(1024, 256);
    cursorAt(0); // buffer byte 256: block 1
    type("AA");
    cursorAt(300); // buffer byte 556: block 2
    type("BB");
    EXPECT_EQ(g_doc.InputFlag & 6, 6u);
    ret();
    JRec b1 = rec(entry(0)), b2 = rec(entry(1));
    EXPECT_EQ(b1.Adr, 1024u);
    EXPECT_EQ(b2.Adr, 1536u);
    EXPECT_EQ(b1.Data[256], 0xAA);
    EXPECT_EQ(b2.Data[44], 0xBB);
    EXPECT_TRUE(isNull(b1.PrevPtr));
    EXPECT_EQ(b1.NextPtr, entry(1));
    EXPECT_EQ(b2.PrevPtr, entry(0));
    EXPECT_TRUE(isNull(b2.NextPtr));
    EXPECT_EQ(b1.NUndo, entry(1));
    EXPECT_EQ(b2.PUndo, entry(0));
    JHdr h = fileHeader();
    EXPECT_EQ(h.FirstPtr, entry(0));
    EXPECT_EQ(h.LastPtr, entry(1));
    EXPECT_EQ(h.Undo, entry(1));
    EXPECT_EQ(h.UndoFirst, entry(0));
    EXPECT_EQ(h.Rest, entry(1));
    EXPECT_EQ(g_doc.JReadFlag, 3u);
    checkJournal();
    // After the reload both halves are journalled on screen.
    EXPECT_EQ(hexBg(0), kJournalColour);
    EXPECT_EQ(hexBg(300), kJournalColour);
}

TEST_F(EditCommit, BlockTwoBesideARecordOfBlockOneGetsItAsPredecessor) {
    openSource(pattern(4096));
    edit(1024, 4, "01"); // block at 1024: entry 0
    edit(3072, 4, "02"); // block at 3072: entry 1
    gotoPair(1024, 512);
    cursorAt(8); // buffer 520: block 2 at 1536, between the two
    type("03");
    ret();
    JRec r = rec(entry(2));
    EXPECT_EQ(r.Adr, 1536u);
    EXPECT_EQ(r.PrevPtr, entry(0));
    EXPECT_EQ(r.NextPtr, entry(1));
    EXPECT_EQ(rec(entry(0)).NextPtr, entry(2));
    EXPECT_EQ(rec(entry(1)).PrevPtr, entry(2));
    EXPECT_EQ(g_jnl.JData1.NextPtr, entry(2)) << "block 1's copy in memory follows";
    checkJournal();
}

TEST_F(EditCommit, BlockOneBeforeARecordOfBlockTwo) {
    openSource(pattern(4096));
    edit(0, 4, "01");    // entry 0 at 0
    edit(1024, 4, "02"); // entry 1 at 1024
    gotoPair(512);       // block 1 at 512 (none), block 2 at 1024 (entry 1)
    cursorAt(9);
    type("03");
    ret();
    JRec r = rec(entry(2));
    EXPECT_EQ(r.Adr, 512u);
    EXPECT_EQ(r.PrevPtr, entry(0));
    EXPECT_EQ(r.NextPtr, entry(1));
    EXPECT_EQ(rec(entry(1)).PrevPtr, entry(2));
    EXPECT_EQ(rec(entry(0)).NextPtr, entry(2));
    checkJournal();
}

TEST_F(EditCommit, BlockAtTheEndOfTheSourceHasAShortLenAndAFullEntry) {
    openSource(pattern(700));
    gotoPair(0, 512);
    cursorAt(100); // source byte 612
    type("7F");
    ret();
    std::vector<uint8_t> j = jnlBytes();
    ASSERT_EQ(j.size(), 1664u);
    JRec r = rec(entry(0));
    EXPECT_EQ(r.Adr, 512u);
    EXPECT_EQ(r.Len, 188u);
    EXPECT_EQ(r.Data[100], 0x7F);
    std::vector<uint8_t> data(r.Data, r.Data + 512);
    EXPECT_EQ(data, blockOf(512, {{100, 0x7F}}));
    EXPECT_EQ(g_doc.PageLen, 700u);
    EXPECT_EQ(readAll(src).size(), 700u);
}

TEST_F(EditCommit, PageMovesCommitFirst) {
    openSource(pattern(8192));
    cursorAt(0x10);
    type("5A");
    gotoPair(4096);
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(rec(entry(0)).Data[0x10], 0x5A);
    checkJournal();
    gotoPair(0);
    EXPECT_EQ(g_doc.PageBuf[0x10], 0x5A);
    EXPECT_EQ(hexBg(0x10), kJournalColour);
    EXPECT_EQ(fake.title, src + "*");
}

TEST_F(EditCommit, ClosingCommitsPendingInputs) {
    openSource(pattern(2000));
    cursorAt(0x10);
    type("5A");
    std::string jnl = jnlHost();
    g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal); // keep the journal, ask nothing
    run(IDM_CLOSE_FILE);                                      // Datei schliessen
    ASSERT_FALSE(sourceOpen());
    std::vector<uint8_t> j = readAll(jnl);
    ASSERT_EQ(j.size(), 1664u);
    EXPECT_EQ(j[1024 + 128 + 0x10], 0x5A);
    EXPECT_EQ(le64(j, 0x20), 1024u) << "FirstPtr written back with the header";
    EXPECT_EQ(readAll(src), original);
}

TEST_F(EditCommit, JournalledEditsComeBackAfterReopening) {
    openSource(pattern(2000));
    edit(0, 0x10, "5A");
    g_settings.MsgOptions &= ~(kMsgAskSave | kMsgAskJournal);
    run(IDM_CLOSE_FILE);
    openThroughDialog(src);
    ASSERT_TRUE(sourceOpen());
    EXPECT_EQ(g_doc.PageBuf[0x10], 0x5A);
    EXPECT_EQ(hexBg(0x10), kJournalColour);
    EXPECT_EQ(fake.title, src + "*");
    cursorAt(0x11);
    type("5B");
    ret();
    JRec v2 = rec(entry(1));
    EXPECT_EQ(v2.PJnl, entry(0));
    EXPECT_EQ(v2.Data[0x10], 0x5A);
    EXPECT_EQ(v2.Data[0x11], 0x5B);
    checkJournal();
}

} // namespace
