#include "tests/support/harness.h"

#include <cstring>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
#include "res/resource.h"
#include "tools/disasm.h"
#include "tools/disasm_window.h"
#include "view/paint.h"

namespace {

class DisasmWindow : public KelmorTest {
  protected:
    void SetUp() override {
        KelmorTest::SetUp();
        startProgram();
        // NOPs everywhere, a few known instructions at chosen places.
        std::vector<uint8_t> code(4096, 0x90);
        const uint8_t add[] = {0x00, 0x40, 0x10}; // ADD [BX + SI + 0x10],AL
        std::memcpy(code.data(), add, 3);
        const uint8_t mov[] = {0xB8, 0x78, 0x56, 0x34, 0x12};
        std::memcpy(code.data() + 1020, mov, 5);
        path = makeFile("code.bin", code);
        openThroughDialog(path);
    }
    FakeDialogHost &host() { return *fake.modeless.back(); }
    std::string path;
};

TEST_F(DisasmWindow, FirstCommandOpensTheWindowAndMarksTheInstruction) {
    ASSERT_TRUE(dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0));
    ASSERT_EQ(fake.modeless.size(), 1u);
    EXPECT_EQ(fake.dialogsShown.back(), IDD_DISASM);
    EXPECT_EQ(host().title, "MNEMONIC (Real Mode; 16 Bit):");
    EXPECT_EQ(host().texts[IDC_DIS_LIST_1], " 0000 0000 0000 0000 :    ADD [BX + SI + 0x10],AL");
    EXPECT_EQ(host().texts[1033], "---");
    EXPECT_EQ(g_doc.MarkStart, 0u);
    EXPECT_EQ(g_doc.MarkEnd, 3u);
    EXPECT_EQ(g_doc.MarkFlag, 1u);
    // Marked bytes and the cursor cells take the window's colour.
    EXPECT_EQ(fake.bg(1, 21 + 4), kDisasmColour);  // byte 1, marked
    EXPECT_EQ(fake.bg(1, 21 + 13), kHexBgDefault); // byte 4, not marked
    EXPECT_EQ(fake.bg(1, 21 + 51), kDisasmColour); // cursor character cell
    for (int id : kDisRegisterIds) {
        EXPECT_EQ(host().texts[id], "--") << id;
        EXPECT_EQ(host().limits[id], 2) << id;
        EXPECT_FALSE(host().enabled[id]) << id;
    }
    EXPECT_FALSE(host().enabled[IDC_DIS_RESET_REGISTERS]);
    EXPECT_EQ(host().width, 390);
    EXPECT_EQ(host().height, 380);
    // Beside the cursor: column 1 -> 4 widths into the hex area, row 0 -> 5 lines down.
    EXPECT_EQ(host().x, g_geom.hexX + 4 * g_geom.cw);
    EXPECT_EQ(host().y, 5 * g_geom.lh);
}

TEST_F(DisasmWindow, ClosingRestoresTheEarlierMarkingAndColours) {
    g_doc.MarkStart = 100;
    g_doc.MarkEnd = 120;
    g_doc.MarkFlag = 7;
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_EQ(g_doc.MarkStart, 0u);
    EXPECT_TRUE(fake.clickModeless(1));
    EXPECT_TRUE(host().ended);
    EXPECT_EQ(g_doc.MarkStart, 100u);
    EXPECT_EQ(g_doc.MarkEnd, 120u);
    EXPECT_EQ(g_doc.MarkFlag, 7u);
    EXPECT_EQ(g_paint.markBg, kMarkedBg);
    EXPECT_EQ(fake.bg(7, 21 + 13), kMarkedBg); // byte 100 is row 6, column 4
    // The next command makes a new window with an empty list.
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    ASSERT_EQ(fake.modeless.size(), 2u);
    EXPECT_EQ(host().texts[1033], "---");
    EXPECT_EQ(g_disWin.count, 1);
}

TEST_F(DisasmWindow, TheNinthLineScrollsTheListAndResetStartsOver) {
    g_settings.windowOptions |= kWindowKeepDisasmPosition;
    for (int i = 0; i < 9; ++i) {
        g_doc.CurOfs = uint32_t(16 + i); // NOPs
        placeCursor();
        dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    }
    EXPECT_EQ(g_disWin.count, 8);
    EXPECT_EQ(host().texts[IDC_DIS_LIST_1], " 0000 0000 0000 0011 :    NOP");
    EXPECT_EQ(host().texts[1039], " 0000 0000 0000 0018 :    NOP");
    EXPECT_TRUE(fake.clickModeless(IDC_DIS_RESET_LIST));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(host().texts[IDC_DIS_LIST_1 + i], "--");
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_EQ(host().texts[IDC_DIS_LIST_1], " 0000 0000 0000 0018 :    NOP");
}

TEST_F(DisasmWindow, ModeBoxesExcludeEachOtherAndRetitle) {
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_TRUE(host().checks[IDC_DIS_REAL_MODE]);
    EXPECT_FALSE(host().checks[IDC_DIS_32_BIT]);
    fake.clickModeless(IDC_DIS_32_BIT, true);
    EXPECT_EQ(DisasmMode, 7u);
    EXPECT_FALSE(host().checks[IDC_DIS_REAL_MODE]);
    EXPECT_EQ(host().title, "MNEMONIC (Protected Mode; 32 Bit):");
    fake.clickModeless(IDC_DIS_32_BIT, true); // unchecked, neither box: protected 16 bit
    EXPECT_EQ(DisasmMode, 1u);
    EXPECT_EQ(host().title, "MNEMONIC (Protected Mode; 16 Bit):");
    fake.clickModeless(IDC_DIS_REAL_MODE, true);
    EXPECT_EQ(DisasmMode, 0u);
    fake.clickModeless(IDC_DIS_32_BIT, true);
    EXPECT_EQ(DisasmMode, 7u);
    EXPECT_EQ(g_settings.disasmMode, 7u);
    // The new mode applies to the next decode.
    g_doc.CurOfs = 0;
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_EQ(g_doc.MarkEnd, 3u);
    EXPECT_NE(host().texts[IDC_DIS_LIST_1 + g_disWin.count - 1].find("ADD [EAX + 0x10],AL"),
              std::string::npos)
        << host().texts[IDC_DIS_LIST_1 + g_disWin.count - 1];
}

TEST_F(DisasmWindow, CursorNearTheWindowEndScrollsTheInstructionIntoTheBuffer) {
    g_doc.ViewOfs = 512;
    g_doc.CurOfs = 508; // source byte 1020: B8 78 56 34 12
    placeCursor();
    DisasmMode = 7;
    g_settings.disasmMode = 7;
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_EQ(g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs, 1020u);
    EXPECT_LE(g_doc.CurOfs, 496u);
    EXPECT_EQ(g_doc.MarkStart, 1020u);
    EXPECT_EQ(g_doc.MarkEnd, 1025u);
    EXPECT_EQ(host().texts[IDC_DIS_LIST_1], " 0000 0000 0000 03FC :    MOV EAX,0x12345678");
}

TEST_F(DisasmWindow, DoubleClickBoxAndKeepPosition) {
    g_settings.dblClickAction = 1;
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_FALSE(host().checks[IDC_DIS_BY_DOUBLE_CLICK]);
    fake.clickModeless(IDC_DIS_BY_DOUBLE_CLICK, true);
    EXPECT_EQ(g_settings.dblClickAction, 2u);
    fake.clickModeless(IDC_DIS_BY_DOUBLE_CLICK, true); // unchecking changes nothing
    EXPECT_EQ(g_settings.dblClickAction, 2u);
    fake.clickModeless(IDC_DIS_KEEP_POSITION, true);
    EXPECT_TRUE(g_settings.windowOptions & kWindowKeepDisasmPosition);
    host().x = host().y = -7;
    g_doc.CurOfs = 300;
    placeCursor();
    dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0);
    EXPECT_EQ(host().x, -7); // not moved
}

TEST_F(DisasmWindow, NeedsAnOpenSource) {
    dispatchCommand(IDM_CLOSE_FILE, 0);
    EXPECT_TRUE(dispatchCommand(IDM_DISASSEMBLE_AT_CURSOR, 0));
    EXPECT_TRUE(fake.modeless.empty());
}

} // namespace
