// The disassembly window: its list, the marking of the instruction on the screen, the mode
// boxes and the position beside the cursor.
#include "tests/support/doc_test.h"

#include <cstring>

#include "tools/disasm.h"
#include "tools/disasm_window.h"

namespace {

constexpr uint32_t kWindowColour = 0xFFAAFF, kMarkColour = 0x88FFFF;

class DisasmWindow : public DocTest {
  protected:
    void SetUp() override {
        DocTest::SetUp();
        // NOPs everywhere; ADD [BX + SI + 0x10],AL at 0, JMP SHORT at 0x80, MOV (E)AX at 1020.
        std::vector<uint8_t> code(4096, 0x90);
        std::memcpy(code.data(), "\x00\x40\x10", 3);
        std::memcpy(code.data() + 0x80, "\xEB\x10", 2);
        std::memcpy(code.data() + 1020, "\xB8\x78\x56\x34\x12", 5);
        openSource(code);
    }
    FakeDialogHost &host() { return *fake.modeless.back(); }
    std::string line(int i) { return host().texts[IDC_DIS_LIST_1 + i]; }
    void at(uint32_t off) {
        cursorAt(off);
        run(IDM_DISASSEMBLE_AT_CURSOR);
    }
};

TEST_F(DisasmWindow, TheInstructionIsListedAndMarkedUntilTheWindowCloses) {
    mark(100, 120);
    paintPage();
    at(0);
    ASSERT_EQ(fake.modeless.size(), 1u);
    EXPECT_EQ(fake.dialogsShown.back(), IDD_DISASM);
    EXPECT_EQ(host().title, "MNEMONIC (Real Mode; 16 Bit):");
    EXPECT_EQ(line(0) + "|" + line(1), " 0000 0000 0000 0000 :    ADD [BX + SI + 0x10],AL|---");
    // The instruction's bytes and the cursor take the window's colour, nothing else.
    EXPECT_TRUE(hexBg(2) == kWindowColour && charBg(0) == kWindowColour);
    EXPECT_TRUE(hexBg(3) == kPlainHexBg && hexBg(100) == kPlainHexBg);
    for (int id : kDisRegisterIds) // shown empty and disabled
        EXPECT_EQ(host().texts[id] + std::to_string(host().limits[id]) +
                      std::to_string(host().enabled[id] + host().enabled[IDC_DIS_RESET_REGISTERS]),
                  "--20")
            << id;
    // 390 x 380, beside the cursor: four cells into the hex area, five lines down.
    EXPECT_EQ(std::vector<int>({host().width, host().height, host().x, host().y}),
              std::vector<int>({390, 380, 25 * fake.fontCw, 5 * fake.fontLh}));
    // Closing gives the earlier marking and its colour back.
    EXPECT_TRUE(fake.clickModeless(IDC_DIS_CANCEL) && host().ended);
    EXPECT_TRUE(hexBg(100) == kMarkColour && hexBg(2) == kPlainHexBg);
    // The next command makes a new window with an empty list.
    at(16);
    ASSERT_EQ(fake.modeless.size(), 2u);
    EXPECT_EQ(line(0) + "|" + line(1), " 0000 0000 0000 0010 :    NOP|---");
    at(0x80); // the branch target on the instruction's own line: the list lines are one high
    EXPECT_EQ(line(1), " 0000 0000 0000 0080 :    JMP SHORT  + 0x10  =>  0000 0000 0000 0092");
    // Without a source nothing is decoded.
    run(IDM_CLOSE_FILE);
    EXPECT_EQ(disassembleAtCursor(), 1);
    EXPECT_EQ(fake.modeless.size(), 2u);
}

TEST_F(DisasmWindow, TheNinthLineScrollsTheListAndResetStartsOver) {
    g_settings.windowOptions |= kWindowKeepDisasmPosition;
    for (uint32_t i = 0; i < 9; ++i)
        at(16 + i);
    EXPECT_EQ(line(0), " 0000 0000 0000 0011 :    NOP");
    EXPECT_EQ(line(7), " 0000 0000 0000 0018 :    NOP");
    EXPECT_TRUE(fake.clickModeless(IDC_DIS_RESET_LIST));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(line(i), "--");
    at(16);
    EXPECT_EQ(line(0), " 0000 0000 0000 0010 :    NOP");
    // The position is kept; the boxes set the double-click action (unchecking changes
    // nothing) and the keeping.
    host().x = host().y = -7;
    at(300);
    EXPECT_EQ(host().x, -7);
    g_settings.dblClickAction = 1;
    fake.clickModeless(IDC_DIS_BY_DOUBLE_CLICK, true);
    fake.clickModeless(IDC_DIS_BY_DOUBLE_CLICK, true);
    EXPECT_EQ(g_settings.dblClickAction, 2u);
    fake.clickModeless(IDC_DIS_KEEP_POSITION, true);
    at(336); // beside the cursor again: above it in the lower half of the page
    EXPECT_EQ(host().x * 1000 + host().y, 25 * fake.fontCw * 1000 + 1 * fake.fontLh);
}

TEST_F(DisasmWindow, ModeBoxesExcludeEachOtherRetitleAndDecode) {
    at(0);
    EXPECT_TRUE(host().checks[IDC_DIS_REAL_MODE] && !host().checks[IDC_DIS_32_BIT]);
    const struct {
        int box;
        bool toggle;
        const char *title;
    } steps[] = {
        {IDC_DIS_32_BIT, false, "Real Mode; 16 Bit"}, // a click that changes no box
        {IDC_DIS_32_BIT, true, "Protected Mode; 32 Bit"},
        {IDC_DIS_32_BIT, true, "Protected Mode; 16 Bit"}, // neither box
        {IDC_DIS_REAL_MODE, true, "Real Mode; 16 Bit"},
        {IDC_DIS_32_BIT, true, "Protected Mode; 32 Bit"},
    };
    for (const auto &s : steps) {
        fake.clickModeless(s.box, s.toggle);
        EXPECT_EQ(host().title, std::string("MNEMONIC (") + s.title + "):");
        EXPECT_FALSE(host().checks[IDC_DIS_REAL_MODE] && host().checks[IDC_DIS_32_BIT]);
    }
    at(0); // the new mode decodes the next instruction
    EXPECT_EQ(line(1), " 0000 0000 0000 0000 :    ADD [EAX + 0x10],AL");
    EXPECT_TRUE(hexBg(2) == kWindowColour && hexBg(3) == kPlainHexBg);
    // An instruction near the end of the view is scrolled into it.
    gotoPair(0, 512);
    at(508); // source byte 1020: B8 78 56 34 12
    EXPECT_EQ(line(2), " 0000 0000 0000 03FC :    MOV EAX,0x12345678");
    uint32_t off = uint32_t(1020 - first());
    EXPECT_LE(off, 496u);
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_EQ(hexBg(off + k, 1), k < 5 ? kWindowColour : kPlainHexBg) << k;
}

} // namespace
