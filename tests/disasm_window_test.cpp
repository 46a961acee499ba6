#include "tests/support/harness.h"

#include <cstring>

#include "access/docstate.h"
#include "app/commands.h"
#include "app/settings.h"
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
    ASSERT_TRUE(dispatchCommand(32957, 0));
    ASSERT_EQ(fake.modeless.size(), 1u);
    EXPECT_EQ(fake.dialogsShown.back(), 155);
    EXPECT_EQ(host().title, "MNEMONIC (Real Mode; 16 Bit):");
    EXPECT_EQ(host().texts[1032], " 0000 0000 0000 0000 :    ADD [BX + SI + 0x10],AL");
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
    EXPECT_FALSE(host().enabled[kDisResetRegisters]);
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
    dispatchCommand(32957, 0);
    EXPECT_EQ(g_doc.MarkStart, 0u);
    EXPECT_TRUE(fake.clickModeless(1));
    EXPECT_TRUE(host().ended);
    EXPECT_EQ(g_doc.MarkStart, 100u);
    EXPECT_EQ(g_doc.MarkEnd, 120u);
    EXPECT_EQ(g_doc.MarkFlag, 7u);
    EXPECT_EQ(g_paint.markBg, kMarkedBg);
    EXPECT_EQ(fake.bg(7, 21 + 13), kMarkedBg); // byte 100 is row 6, column 4
    // The next command makes a new window with an empty list.
    dispatchCommand(32957, 0);
    ASSERT_EQ(fake.modeless.size(), 2u);
    EXPECT_EQ(host().texts[1033], "---");
    EXPECT_EQ(g_disWin.count, 1);
}

TEST_F(DisasmWindow, TheNinthLineScrollsTheListAndResetStartsOver) {
    g_settings.windowOptions |= kWindowKeepDisasmPosition;
    for (int i = 0; i < 9; ++i) {
        g_doc.CurOfs = uint32_t(16 + i); // NOPs
        placeCursor();
        dispatchCommand(32957, 0);
    }
    EXPECT_EQ(g_disWin.count, 8);
    EXPECT_EQ(host().texts[1032], " 0000 0000 0000 0011 :    NOP");
    EXPECT_EQ(host().texts[1039], " 0000 0000 0000 0018 :    NOP");
    EXPECT_TRUE(fake.clickModeless(kDisResetList));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(host().texts[1032 + i], "--");
    dispatchCommand(32957, 0);
    EXPECT_EQ(host().texts[1032], " 0000 0000 0000 0018 :    NOP");
}

TEST_F(DisasmWindow, ModeBoxesExcludeEachOtherAndRetitle) {
    dispatchCommand(32957, 0);
    EXPECT_TRUE(host().checks[kDisRealMode]);
    EXPECT_FALSE(host().checks[kDis32Bit]);
    fake.clickModeless(kDis32Bit, true);
    EXPECT_EQ(DisasmMode, 7u);
    EXPECT_FALSE(host().checks[kDisRealMode]);
    EXPECT_EQ(host().title, "MNEMONIC (Protected Mode; 32 Bit):");
    fake.clickModeless(kDis32Bit, true); // unchecked, neither box: protected 16 bit
    EXPECT_EQ(DisasmMode, 1u);
    EXPECT_EQ(host().title, "MNEMONIC (Protected Mode; 16 Bit):");
    fake.clickModeless(kDisRealMode, true);
    EXPECT_EQ(DisasmMode, 0u);
    fake.clickModeless(kDis32Bit, true);
    EXPECT_EQ(DisasmMode, 7u);
    EXPECT_EQ(g_settings.disasmMode, 7u);
    // The new mode applies to the next decode.
    g_doc.CurOfs = 0;
    dispatchCommand(32957, 0);
    EXPECT_EQ(g_doc.MarkEnd, 3u);
    EXPECT_NE(host().texts[1032 + g_disWin.count - 1].find("ADD [EAX + 0x10],AL"),
              std::string::npos)
        << host().texts[1032 + g_disWin.count - 1];
}

TEST_F(DisasmWindow, CursorNearTheWindowEndScrollsTheInstructionIntoTheBuffer) {
    g_doc.ViewOfs = 512;
    g_doc.CurOfs = 508; // source byte 1020: B8 78 56 34 12
    placeCursor();
    DisasmMode = 7;
    g_settings.disasmMode = 7;
    dispatchCommand(32957, 0);
    EXPECT_EQ(g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs, 1020u);
    EXPECT_LE(g_doc.CurOfs, 496u);
    EXPECT_EQ(g_doc.MarkStart, 1020u);
    EXPECT_EQ(g_doc.MarkEnd, 1025u);
    EXPECT_EQ(host().texts[1032], " 0000 0000 0000 03FC :    MOV EAX,0x12345678");
}

TEST_F(DisasmWindow, DoubleClickBoxAndKeepPosition) {
    g_settings.dblClickAction = 1;
    dispatchCommand(32957, 0);
    EXPECT_FALSE(host().checks[kDisByDoubleClick]);
    fake.clickModeless(kDisByDoubleClick, true);
    EXPECT_EQ(g_settings.dblClickAction, 2u);
    fake.clickModeless(kDisByDoubleClick, true); // unchecking changes nothing
    EXPECT_EQ(g_settings.dblClickAction, 2u);
    fake.clickModeless(kDisKeepPosition, true);
    EXPECT_TRUE(g_settings.windowOptions & kWindowKeepDisasmPosition);
    host().x = host().y = -7;
    g_doc.CurOfs = 300;
    placeCursor();
    dispatchCommand(32957, 0);
    EXPECT_EQ(host().x, -7); // not moved
}

TEST_F(DisasmWindow, NeedsAnOpenSource) {
    dispatchCommand(32779, 0);
    EXPECT_TRUE(dispatchCommand(32957, 0));
    EXPECT_TRUE(fake.modeless.empty());
}

} // namespace
