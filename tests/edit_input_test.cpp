// Typing in journal mode: the keys, the colours of the typed cells, and the records a commit
// writes (golden tables of the journal: one row per entry, links as entry numbers).
#include "tests/support/doc_test.h"

namespace {

class EditInput : public DocTest {
    void SetUp() override {
        DocTest::SetUp();
        quietClose();
    }
};

TEST_F(EditInput, TypedPairShowsInputColoursThenJournalled) {
    openSource(pattern(2000));
    EXPECT_EQ(fake.title, src);
    cursorAt(0x23);
    type("4");
    EXPECT_EQ(fake.cells(rowOf(0x23), hexCol(0x23), 1), "4");
    EXPECT_EQ(hexBg(0x23), kInputColour);
    type("1");
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x23, 0), kInputColour);
    EXPECT_EQ(hexBg(0x23, 1), kInputColour);
    EXPECT_EQ(charText(0x23), 'A');
    EXPECT_EQ(charBg(0x23), kMirrorColour);
    EXPECT_EQ(hexBg(0x24), 0xEEFF88u) << "the cursor went on to the next byte";
    EXPECT_EQ(readAll(jnlHost()).size(), 1024u) << "inputs live in memory until committed";
    ret();
    EXPECT_EQ(hexBg(0x23), kJournalColour);
    EXPECT_EQ(charBg(0x23), kJournalColour);
    EXPECT_EQ(hexBg(0x22), kPlainHexBg);
    EXPECT_EQ(table(), "e0 0 - - - - - - 512 18414D\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    JRec r = rec(entry(0));
    EXPECT_EQ(dataOf(r), withBytes(blockOf(original, 0), {{0x23, 0x41}}));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(r.ModBits[i], i == 4 ? 0x08 : 0) << "map byte " << i;
    EXPECT_EQ(fake.title, src + "*");
    EXPECT_EQ(sourceNow(), original);
    checkJournal();
}

TEST_F(EditInput, HexDigitsCharactersAndIgnoredKeys) {
    openSource(pattern(600));
    cursorAt(5);
    type("aGF"); // G is no digit: the low nibble is still awaited
    type("Gz "); // ignored, the cursor stays
    cursorAt(9);
    type("7");
    ret(); // a lone digit is dropped
    EXPECT_EQ(hexText(9), "42") << "the source's byte";
    cursorAt(0x10, 1);
    for (int c : {0x01, 0x7F, 0xE4, 0x09})
        key(c);
    EXPECT_EQ(hexText(0x12), "E4");
    EXPECT_EQ(hexBg(0x12), kMirrorColour);
    EXPECT_EQ(charBg(0x12), kInputColour);
    EXPECT_EQ(uint8_t(charText(0x12)), 0xE4);
    run(IDM_SPACE); // a typed blank
    ret();
    JRec r = rec(entry(1)); // the second version: Return committed the first
    EXPECT_EQ(
        dataOf(r),
        withBytes(blockOf(original, 0),
                  {{5, 0xAF}, {0x10, 1}, {0x11, 0x7F}, {0x12, 0xE4}, {0x13, 9}, {0x14, ' '}}));
    EXPECT_EQ(r.ModBits[0], 0x20);
    EXPECT_EQ(r.ModBits[1], 0x00) << "the lone digit marked nothing";
    EXPECT_EQ(r.ModBits[2], 0x1F);
    expectPage(
        0, withBytes(original,
                     {{5, 0xAF}, {0x10, 1}, {0x11, 0x7F}, {0x12, 0xE4}, {0x13, 9}, {0x14, ' '}}));
}

TEST_F(EditInput, EscapeAsksAndDropsOrCommits) {
    for (int answer : {kIdYes, kIdNo}) {
        SCOPED_TRACE(answer);
        openSource(pattern(2000), true, "esc" + std::to_string(answer) + ".bin");
        cursorAt(0x40);
        type("1");
        key(27); // half a byte only: no question
        EXPECT_EQ(hexText(0x40), "C3");
        type("1234");
        expectBox("Eingaben verwerfen?", answer, "Sollen die aktuellen Eingaben verworfen werden?");
        key(27);
        EXPECT_EQ(fake.boxes.back().text, "Sollen die aktuellen Eingaben verworfen werden?");
        EXPECT_EQ(fake.boxes.back().style, unsigned(kMbYesNo | kMbIconQuestion | kMbDefButton2));
        bool kept = answer == kIdNo;
        EXPECT_EQ(hexText(0x41), kept ? "34" : "CA");
        EXPECT_EQ(hexBg(0x41), kept ? kJournalColour : kPlainHexBg);
        EXPECT_EQ(table(), kept ? "e0 0 - - - - - - 512 18414D\n"
                                  "first e0 last e0 undoFirst e0 undo e0 rest e0\n"
                                : "first - last - undoFirst - undo - rest -\n");
        checkJournal();
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(EditInput, BackspaceAndFetchGiveBytesBack) {
    openSource(pattern(2000));
    cursorAt(0x23);
    type("41");
    ret();
    cursorAt(0x23);
    type("FFEE");
    cursorAt(0x24);
    key(8); // no journalled edit: the source's byte, unmarked
    EXPECT_EQ(hexText(0x24), "FF");
    EXPECT_EQ(hexBg(0x24), kPlainHexBg);
    key(8); // the journalled value, marked
    EXPECT_EQ(hexText(0x23), "41");
    EXPECT_EQ(hexBg(0x23), kJournalColour);
    cursorAt(0x30, 1);
    type("xy");
    cursorAt(0x30);
    run(IDM_FETCH_SOURCE_RIGHT); // Ctrl+Right: the source's byte, the cursor goes right
    EXPECT_EQ(hexText(0x30), "53");
    EXPECT_EQ(g_doc.CurOfs, 0x31u);
    run(IDM_FETCH_SOURCE_LEFT); // Ctrl+Left on 0x31, back to 0x30
    EXPECT_EQ(g_doc.CurOfs, 0x30u);
    ret();
    EXPECT_EQ(table(), "e0 0 - - - e1 - e1 512 184145\n"
                       "e1 0 - - e0 - e0 - 512 18414D\n"
                       "first e1 last e1 undoFirst e0 undo e1 rest e0\n");
    JRec r = rec(entry(1));
    EXPECT_EQ(dataOf(r), withBytes(blockOf(original, 0), {{0x23, 0x41}}));
    EXPECT_EQ(r.ModBits[4], 0x08);
    EXPECT_EQ(r.ModBits[6], 0x00);
    checkJournal();
}

// Commits of edits at (pair, view, page offset), in journal mode: the records and links.
struct CommitCase {
    const char *name;
    uint32_t undoMode;
    size_t size;
    struct Edit {
        uint64_t pair;
        uint32_t view, off;
        const char *keys;  // hex digits, or "<" to fetch the source byte back
        uint32_t off2 = 0; // a second byte typed before the Return
        const char *keys2 = nullptr;
    };
    std::vector<Edit> edits;
    const char *table;
};

// clang-format off
const CommitCase kCommits[] = {
    {"versions retained append and chain", 2, 2000, {{0, 0, 0x23, "41"}, {0, 0, 0x24, "42"}},
     "e0 0 - - - e1 - e1 512 184145\n"
     "e1 0 - - e0 - e0 - 512 18414D\n"
     "first e1 last e1 undoFirst e0 undo e1 rest e0\n"},
    {"without versions the record is rewritten in place", 1, 2000,
     {{0, 0, 0x23, "41"}, {0, 0, 0x30, "42"}, {0, 0, 0x31, "43"}},
     "e0 0 - - - - - - 512 10414D\n"
     "first e0 last e0 undoFirst e0 undo e0 rest e0\n"},
    {"a rewrite in place moves to the end of the undo chain", 1, 4096,
     {{0, 0, 1, "11"}, {2048, 0, 1, "22"}, {0, 0, 2, "33"}},
     "e0 0 - e1 e1 - - - 512 10414D\n"
     "e1 800 e0 - - e0 - - 512 10414D\n"
     "first e0 last e1 undoFirst e1 undo e0 rest e1\n"},
    {"a block between versioned blocks is linked to all their versions", 2, 8192,
     {{0, 0, 1, "11"}, {0, 0, 2, "12"}, {4096, 0, 1, "21"}, {4096, 0, 2, "22"},
      {2048, 0, 5, "55"}, {2048, 0, 6, "66"}},
     "e0 0 - e5 - e1 - e1 512 184145\n"
     "e1 0 - e5 e0 e2 e0 - 512 18414D\n"
     "e2 1000 e5 - e1 e3 - e3 512 184145\n"
     "e3 1000 e5 - e2 e4 e2 - 512 18414D\n"
     "e4 800 e1 e3 e3 e5 - e5 512 184145\n"
     "e5 800 e1 e3 e4 - e4 - 512 18414D\n"
     "first e1 last e3 undoFirst e0 undo e5 rest e4\n"},
    {"both blocks of the page, block 1 first", 2, 4096, {{1024, 256, 0, "AA", 300, "BB"}},
     "e0 400 - e1 - e1 - - 512 18414D\n"
     "e1 600 e0 - e0 - - - 512 18414D\n"
     "first e0 last e1 undoFirst e0 undo e1 rest e1\n"},
    {"block 2 between block 1's record and the next", 2, 4096,
     {{1024, 0, 4, "01"}, {3072, 0, 4, "02"}, {1024, 512, 8, "03"}},
     "e0 400 - e2 - e1 - - 512 18414D\n"
     "e1 C00 e2 - e0 e2 - - 512 18414D\n"
     "e2 600 e0 e1 e1 - - - 512 18414D\n"
     "first e0 last e1 undoFirst e0 undo e2 rest e2\n"},
    {"block 1 before block 2's record", 2, 4096,
     {{0, 0, 4, "01"}, {1024, 0, 4, "02"}, {512, 0, 9, "03"}},
     "e0 0 - e2 - e1 - - 512 18414D\n"
     "e1 400 e2 - e0 e2 - - 512 18414D\n"
     "e2 200 e0 e1 e1 - - - 512 18414D\n"
     "first e0 last e1 undoFirst e0 undo e2 rest e2\n"},
    {"the last block has a short Len", 2, 700, {{0, 512, 100, "7F"}},
     "e0 200 - - - - - - 188 18414D\n"
     "first e0 last e0 undoFirst e0 undo e0 rest e0\n"},
    // A record whose map was emptied leaves the chain at the next Return (every version of
    // its neighbours relinked); a fresh record takes its place.
    {"an emptied record is replaced by a fresh one", 2, 8192,
     {{0, 0, 1, "11"}, {0, 0, 2, "12"}, {4096, 0, 1, "21"}, {4096, 0, 2, "22"},
      {2048, 0, 1, "31"}, {2048, 0, 1, "<"}, {2048, 0, 7, "77"}},
     "e0 0 - e6 - e1 - e1 512 184145\n"
     "e1 0 - e6 e0 e2 e0 - 512 18414D\n"
     "e2 1000 e6 - e1 e3 - e3 512 184145\n"
     "e3 1000 e6 - e2 e4 e2 - 512 18414D\n"
     "e4 800 e1 e3 e3 e5 - e5 512 184145\n"
     "e5 800 e1 e3 e4 e6 e4 - 512 18410D\n"
     "e6 800 e1 e3 e5 - - - 512 18414D\n"
     "first e1 last e3 undoFirst e0 undo e6 rest e6\n"},
};
// clang-format on

TEST_F(EditInput, CommitsLinkRecordsIntoTheChains) {
    int file = 0;
    for (const CommitCase &c : kCommits) {
        SCOPED_TRACE(c.name);
        g_settings.UndoMode = c.undoMode;
        openSource(pattern(c.size), true, "c" + std::to_string(++file) + ".bin");
        std::vector<uint8_t> view = original;
        for (const auto &e : c.edits) {
            gotoPair(e.pair, e.view);
            cursorAt(e.off);
            uint64_t pos = first() + e.off;
            if (e.keys[0] == '<') {
                run(IDM_FETCH_SOURCE_RIGHT);
                view[pos] = original[pos];
            } else {
                type(e.keys);
                view[pos] = uint8_t(std::stoi(std::string(e.keys).substr(0, 2), nullptr, 16));
                if (e.keys[2]) view[pos + 1] = uint8_t(std::stoi(e.keys + 2, nullptr, 16));
            }
            if (e.keys2) {
                cursorAt(e.off2);
                type(e.keys2);
                view[first() + e.off2] = uint8_t(std::stoi(e.keys2, nullptr, 16));
            }
            ret();
            checkJournal(e.keys);
        }
        EXPECT_EQ(table(), c.table);
        EXPECT_EQ(sourceNow(), original) << "journal mode never writes the source";
        checkScreen(viewFromFiles());
        EXPECT_EQ(viewFromFiles().bytes, view);
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(EditInput, MovesAndClosingCommitAndTheEditsComeBack) {
    openSource(pattern(8192));
    cursorAt(0x10);
    type("5A");
    gotoPair(4096); // the move commits
    cursorAt(0x11);
    type("5B");
    run(IDM_CLOSE_FILE); // so does closing
    EXPECT_EQ(sourceNow(), original);
    open(src);
    EXPECT_EQ(fake.title, src + "*");
    expectByte(0x10, 0x5A, true);
    expectByte(4096 + 0x11, 0x5B, true);
    EXPECT_EQ(table(), "e0 0 - e1 - e1 - - 512 18414D\n"
                       "e1 1000 e0 - e0 - - - 512 18414D\n"
                       "first e0 last e1 undoFirst e0 undo e1 rest e1\n");
    checkJournal();
}

TEST_F(EditInput, TypingNeverGrowsTheSource) {
    openSource(pattern(20));
    cursorAt(25);
    type("41"); // no byte under the cursor
    EXPECT_EQ(g_doc.InputFlag, 0u);
    cursorAt(19);
    type("4142"); // the cursor stays on the last byte: the second byte overwrites the first
    EXPECT_EQ(hexText(19), "42");
    EXPECT_EQ(hexBg(19), 0xEEFF88u) << "the cursor is drawn over the typed byte";
    run(IDM_ARROW_LEFT); // the old cell is drawn in its own colours
    EXPECT_EQ(hexBg(19), kJournalColour);
    ret();
    EXPECT_EQ(table(), "e0 0 - - - - - - 20 18414D\n"
                       "first e0 last e0 undoFirst e0 undo e0 rest e0\n");
    EXPECT_EQ(dataOf(rec(entry(0))), withBytes(blockOf(original, 0), {{19, 0x42}}))
        << "nothing beyond Len";
    EXPECT_EQ(sourceNow(), original);
    run(IDM_CLOSE_FILE);
    openSource({}, true, "empty.bin");
    type("41");
    cursorAt(0, 1);
    type("xyz");
    ret();
    EXPECT_EQ(g_doc.InputFlag, 0u);
    EXPECT_EQ(table(), "first - last - undoFirst - undo - rest -\n");
}

TEST_F(EditInput, WithoutAJournalInputsStayUntilThePageMoves) {
    // The journal directory is a file: no journal can be made and the user picks none.
    ASSERT_EQ(std::system(("rm -rf '" + dir + "/C/kelmor'").c_str()), 0);
    makeFile("C/kelmor", {1});
    original = pattern(4096);
    src = makeFile("src.bin", original);
    expectBox("Protokolldatei konnte nicht erstellt werden!", kIdNo);
    open(src);
    ASSERT_FALSE(journalOpen());
    cursorAt(3);
    type("41");
    ret(); // nowhere to go: they stay on the page, and nothing is asked
    EXPECT_EQ(hexText(3), "41");
    EXPECT_EQ(hexBg(3), kInputColour);
    gotoPair(2048);
    gotoPair(0);
    expectPage(0);
    EXPECT_EQ(sourceNow(), original);
}

} // namespace
