#include "tests/edit_fixture.h"

#include "edit/commit.h"
#include "edit/input.h"

namespace {

using EditInput = EditTest;

TEST_F(EditInput, TypedPairShowsInputColoursThenJournalledAfterReturn) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("4");
    EXPECT_EQ(hexBg(0x23, 0), kInputColour);
    EXPECT_EQ(fake.cells(rowOf(0x23), hexCol(0x23), 1), "4");
    EXPECT_TRUE(g_doc.ModFlag & kModLowNibble);
    type("1");
    EXPECT_EQ(g_doc.PageBuf[0x23], 0x41);
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x23, 0), kInputColour);
    EXPECT_EQ(hexBg(0x23, 1), kInputColour);
    EXPECT_EQ(charText(0x23), 'A');
    EXPECT_EQ(charBg(0x23), kMirrorColour);
    EXPECT_EQ(g_doc.CurOfs, 0x24u);
    EXPECT_EQ(g_doc.InputFlag & 6, 2u);
    ret();
    EXPECT_EQ(g_doc.InputFlag & 6, 0u);
    EXPECT_EQ(hexBg(0x23), kJournalColour);
    EXPECT_EQ(charBg(0x23), kJournalColour);
    EXPECT_EQ(hexBg(0x22), kHexBgDefault);
    checkJournal();
    EXPECT_EQ(readAll(src), original);
    EXPECT_EQ(jnlBytes().size(), 1024u + 640u);
}

} // namespace
