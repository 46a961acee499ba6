// Number entry, the Goto dialog and the values window.
#include "access/textutil.h"
#include "tests/support/doc_test.h"
#include "tools/gotodlg.h"
#include "tools/values.h"
#include "view/navigation.h"

namespace {

TEST(NumberEntry, ParsersReadRightToLeftAndRefuseWhatIsNoNumber) {
    // Expected: value (or "bad"), separators, "-" when negative.
    // clang-format off
    const struct { const char *text; unsigned radix; const char *want; } rows[] = {
        {"1 0000 0000", 16, "4294967296 2"}, {"a", 16, "10 0"}, {"A", 16, "10 0"},
        {"1,234", 10, "1234 1"}, {"FFFF FFFF FFFF FFF0", 16, "18446744073709551600 3"},
        {"fffffffffffffffff", 16, "bad 0"}, {"000000000000000000001", 16, "1 0"},
        {"18446744073709551615", 10, "18446744073709551615 0"},
        {"18446744073709551616", 10, "bad 0"}, {"123456789012345678901", 10, "bad 0"},
        {" ,.-/", 10, "bad 5"}, {"-16", 10, "16 1 -"}, {"12-34", 10, "1234 1"},
        {"1G", 16, "bad 0"}, {"9A", 10, "bad 0"}, {"1010 0101", 2, "165 1"}, {"102", 2, "bad 0"},
    };
    // clang-format on
    for (const auto &r : rows) {
        FieldNumber n = readFieldNumber(r.text, r.radix);
        std::string got = (n.valid ? std::to_string(n.value) : "bad") + " " +
                          std::to_string(n.seps) + (n.negative ? " -" : "");
        EXPECT_EQ(got, r.want) << r.text;
    }
    // The plain parsers wrap at their width without a word.
    EXPECT_EQ(parseHex32("1 0000 0001") + parseDec32("4294967297"), 2u);
    char a[32], b[32], c[32], d[32];
    formatGroups3(0, a), formatGroups3(1234, b), formatGroups3(~0ull, c), formatHex4x4(0x10000, d);
    EXPECT_EQ(std::string(a) + "|" + b + "|" + c + "|" + d,
              "0|1 234|18 446 744 073 709 551 615|0000 0000 0001 0000");
}

class Numbers : public DocTest {
  protected:
    FakeDialogHost &val() { return *fake.modeless.back(); }
    std::string field(int id) { return val().texts[id]; }
};

TEST_F(Numbers, GotoLandsWhereAModelSaysOnSmallAndHugeFiles) {
    const unsigned long long g4 = 1ull << 32;
    for (unsigned long long size : {0ull, 1ull, 511ull, 512ull, 513ull, 1025ull, 6 * g4}) {
        SCOPED_TRACE(size);
        quietClose();
        open(makeSparse("s" + std::to_string(size), size));
        for (uint64_t t : {0ull, 1ull, 511ull, 512ull, 513ull, size - 2, size - 1, size, g4 - 1, g4,
                           g4 + 513, ~0ull}) {
            gotoPosition(t);
            uint64_t last = size ? size - 1 : 0, cur = t < last ? t : last, view = 0;
            uint64_t origin = t < last ? t & ~511ull : last & ~1023ull;
            if (t >= last && last - origin >= 512) view = 512;
            EXPECT_EQ(first(), origin + view) << t;
            EXPECT_EQ(cursorPosition(), cur) << t;
            if (size) EXPECT_EQ(cursorShown(), int(cur - origin - view)) << t;
            if (size) EXPECT_EQ(fake.cells(1, 0, 21), addressText(origin + view)) << t;
        }
        run(IDM_CLOSE_FILE);
    }
}

TEST_F(Numbers, GotoDialogJumpsAbsoluteAndStepsRelative) {
    open(sparseWith("big.bin", 6ull << 30, {{0x100000000, 16}}));
    cursorAt(300);
    fake.dialogScripts.push_back([&](int, DialogLogic &, FakeDialogHost &h) {
        auto ok = [&] { return h.click(IDC_GOTO_OK), cursorPosition(); };
        // Placed by the cursor (column 12, lower half), the absolute HEX field selected.
        EXPECT_EQ(std::vector<int>({h.x, h.y, h.width, h.height}),
                  std::vector<int>({8, 3 * 16, 345, 240}));
        EXPECT_EQ(h.texts[IDC_GOTO_ABS_HEX] + "|" + h.texts[IDC_GOTO_ABS_DEC],
                  "0000 0000 0000 012C|300");
        EXPECT_EQ(h.focused * 100 + h.limits[IDC_GOTO_ABS_HEX] + h.selections[h.focused].second,
                  IDC_GOTO_ABS_HEX * 100 + 19 + 19);
        h.type(IDC_GOTO_ABS_HEX, "1 0000 0000");
        EXPECT_EQ(h.texts[IDC_GOTO_ABS_DEC] + "|" + h.texts[IDC_GOTO_REL_DEC],
                  "4 294 967 296|4 294 966 996");
        h.click(IDC_GOTO_OK);
        expectPage(0x100000000); // the cursor on its first byte
        EXPECT_EQ(h.texts[IDC_GOTO_REL_DEC] + std::to_string(g_doc.CurOfs), "00");
        h.type(IDC_GOTO_REL_DEC, "16"); // the HEX field lost the focus: its own form again
        EXPECT_EQ(h.texts[IDC_GOTO_ABS_HEX], "0000 0001 0000 0010");
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(ok(), 0x100000000 + 16 * i);
        h.type(IDC_GOTO_REL_HEX, "FFFF FFFF FFFF FFF0");
        EXPECT_EQ(h.texts[IDC_GOTO_REL_DEC], "-16");
        EXPECT_EQ(ok(), 0x100000000 + 32);
        h.type(IDC_GOTO_REL_DEC, "-99999999999"); // back before the start: byte 0
        EXPECT_EQ(ok(), 0u);
        h.type(IDC_GOTO_ABS_DEC, "1,234");
        h.focus(IDC_GOTO_ABS_HEX); // leaving the field puts it in its form
        // Bad input (past the length limit too) changes nothing: only separators, 300
        // digits, a negative position, other letters.
        for (std::string bad : std::vector<std::string>{" , ", std::string(300, '7'), "-5", "12G4"})
            h.texts[IDC_GOTO_ABS_HEX] = bad, h.logic->command(h, IDC_GOTO_ABS_HEX, kNotifyChange);
        EXPECT_EQ(h.texts[IDC_GOTO_REL_DEC] + h.texts[IDC_GOTO_ABS_DEC], "1 2341 234");
        h.type(IDC_GOTO_ABS_DEC, std::string(300, '9')); // 19 nines: beyond the end
        EXPECT_EQ(ok(), (6ull << 30) - 1);
        h.click(IDC_GOTO_CANCEL);
    });
    run(IDM_GOTO_ADDRESS_KEY);
    EXPECT_EQ(fake.dialogsShown.back(), IDD_GOTO);
}

TEST_F(Numbers, ValuesFollowTheCursorAcrossTheBlockBorder) {
    openSource(pattern(2048));
    typeAt(512, {0xC3}); // a journalled byte shows in the values
    gotoPair(0), cursorAt(510);
    onLButtonDblClk(px(hexCol(510)), py(rowOf(510)), 0);
    ASSERT_EQ(fake.dialogsShown.back(), IDD_VALUES);
    // Byte 510 was too near the end of the view: one row on.
    EXPECT_TRUE(first() == 16 && g_doc.CurOfs == 494);
    uint8_t b0 = original[510], b1 = original[511];
    char t[64];
    std::snprintf(t, sizeof t, "%02X|%u|%02X %02X|%u|%02X C3 %02X %02X", b0, b0, b1, b0,
                  b1 * 256 + b0, original[513], b1, b0);
    EXPECT_EQ(field(IDC_VAL_BYTE_HEX) + "|" + field(IDC_VAL_BYTE_DEC) + "|" +
                  field(IDC_VAL_WORD_HEX) + "|" + field(IDC_VAL_WORD_DEC).erase(2, 1) + "|" +
                  field(IDC_VAL_DWORD_HEX),
              t);
    EXPECT_TRUE(field(IDC_VAL_BIN_3) == "1100 0011" && val().x == 21 * 8 && val().y == 12 * 16);
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(field(IDC_VAL_BYTE_HEX), hexByte(b1));
    // The last two bytes: a double word would run past the end.
    gotoPosition(2046);
    EXPECT_TRUE(val().enabled[IDC_VAL_STORE_WORD] && !val().enabled[IDC_VAL_STORE_DWORD]);
    std::snprintf(t, sizeof t, "00 00 %02X %02X", original[2047], original[2046]);
    EXPECT_EQ(field(IDC_VAL_DWORD_HEX), t);
    val().click(IDC_VAL_CANCEL), run(IDM_ARROW_LEFT); // nothing refreshes a closed window
    EXPECT_TRUE(val().ended && field(IDC_VAL_DWORD_HEX) == t);
}

TEST_F(Numbers, ValuesAreStoredAsCommittedInputs) {
    openSource(pattern(2048));
    cursorAt(511);
    run(IDM_SHOW_VALUES);
    val().type(IDC_VAL_BYTE_HEX, "1FF"); // two digits at most
    paintPage();                         // a repaint alone keeps what was entered
    EXPECT_EQ(field(IDC_VAL_BYTE_DEC), "31");
    val().type(IDC_VAL_BYTE_DEC, "300"); // 30 is taken, 300 does not fit
    EXPECT_EQ(field(IDC_VAL_BYTE_HEX), "1E");
    val().type(IDC_VAL_WORD_DEC, "-1");
    val().focus(IDC_VAL_BYTE_HEX); // leaving the field puts it in its form
    EXPECT_EQ(field(IDC_VAL_WORD_HEX) + "|" + field(IDC_VAL_WORD_DEC), "FF FF|65 535");
    val().type(IDC_VAL_WORD_HEX, "AB CD");
    val().click(IDC_VAL_STORE_WORD); // one byte in each block, both committed
    EXPECT_EQ(viewFromFiles().bytes, withBytes(original, {{511, 0xCD}, {512, 0xAB}}));
    checkJournal("word across the border");
    // Return stores the changed bytes and moves on by the active field's width.
    for (int box : {IDC_VAL_RETURN_STORES, IDC_VAL_RETURN_MOVES, IDC_VAL_RETURN_SELECTS})
        val().click(box, true);
    EXPECT_EQ(g_settings.valuesReturn, kValuesReturnStores | kValuesReturnMoves | 8u);
    val().type(IDC_VAL_BIN_3, "0101 1010");
    val().click(IDC_VAL_OK);
    EXPECT_EQ(viewFromFiles().bytes, withBytes(original, {{511, 0xCD}, {512, 0xAB}, {513, 0x5A}}));
    EXPECT_EQ(cursorPosition(), 514u);
    EXPECT_EQ(val().focused * 10000 + val().selections[IDC_VAL_BIN_3].first, IDC_VAL_BIN_3 * 10000);
    // Direct mode: the source itself, after the question.
    val().click(IDC_VAL_RETURN_CLOSES, true), val().click(IDC_VAL_OK);
    EXPECT_TRUE(val().ended && g_settings.valuesReturn & kValuesReturnCloses);
    quietClose(), run(IDM_CLOSE_FILE);
    openWritable(pattern(2048), 2, "direct.bin");
    run(IDM_DIRECT_MODE), answerSavePage(true), cursorAt(100);
    g_settings.dblClickAction = 2;
    run(IDM_SHOW_VALUES);
    val().type(IDC_VAL_DWORD_HEX, "12345678");
    val().click(IDC_VAL_STORE_DWORD);
    EXPECT_EQ(sourceNow(),
              withBytes(original, {{100, 0x78}, {101, 0x56}, {102, 0x34}, {103, 0x12}}));
    checkJournal("direct");
    EXPECT_EQ(restored(), original);
    val().click(IDC_VAL_BY_DOUBLE_CLICK, true), val().click(IDC_VAL_KEEP_POSITION, true);
    EXPECT_EQ(g_settings.dblClickAction * 10 + g_settings.windowOptions, 11u);
    val().logic->destroyed(); // the owner took the window along: nothing refers to it
    std::string shown = field(IDC_VAL_BYTE_HEX);
    run(IDM_ARROW_RIGHT);
    EXPECT_EQ(field(IDC_VAL_BYTE_HEX), shown);
}

} // namespace
