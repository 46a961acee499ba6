// The Options dialog: each control against its field of the settings record and back, the
// effects that follow at once, the path fields, and kelmor.ini as exit writes it.
#include <cstring>
#include <functional>
#include <unistd.h>

#include "app/options.h"
#include "app/startup.h"
#include "tests/support/doc_test.h"
#include "tools/disasm_window.h"

namespace {

using Field = uint32_t Settings::*;
// Radio groups: clicking one clears the others, as the window system does.
const std::vector<std::vector<int>> kRadios = {
    {IDC_OPT_JOURNAL_MODE, IDC_OPT_DIRECT_MODE},
    {IDC_OPT_JOURNAL_ALWAYS, IDC_OPT_DIRECT_ALWAYS},
    {IDC_OPT_RASTER_BYTE, IDC_OPT_RASTER_LINE, IDC_OPT_RASTER_256, IDC_OPT_RASTER_512},
    {IDC_OPT_CURSOR_MOVE, IDC_OPT_PAGE_MOVE},
    {IDC_OPT_DBL_CONTEXT, IDC_OPT_DBL_VALUES, IDC_OPT_DBL_DISASM, IDC_OPT_DBL_AVI},
    {IDC_OPT_UNDO_OFF, IDC_OPT_UNDO_ORIGINAL, IDC_OPT_UNDO_ALL}};

struct Row {
    int id;
    bool on; // the state the user gives the control (the defaults have the other)
    Field field;
    uint32_t mask, want;
    uint32_t start = ~0u; // the field's value before, when the default shows the control's state
};
// clang-format off
const Row kRows[] = {
    {IDC_OPT_START_NOTICE, false, &Settings::MsgOptions, 0x1, 0},
    {IDC_OPT_ASK_SAVE, false, &Settings::MsgOptions, 0x2, 0},
    {IDC_OPT_ASK_JOURNAL, false, &Settings::MsgOptions, 0x4, 0},
    {IDC_OPT_COMPARE_MSG, false, &Settings::MsgOptions, 0x8, 0},
    {IDC_OPT_DIRECT_MODE, true, &Settings::accessWord, 0x3, 0x1},
    {IDC_OPT_DIRECT_ALWAYS, true, &Settings::accessWord, 0x3, 0x2},
    {IDC_OPT_RASTER_LINE, true, &Settings::scrollRaster, ~0u, 2},
    {IDC_OPT_RASTER_256, true, &Settings::scrollRaster, ~0u, 4},
    {IDC_OPT_RASTER_512, true, &Settings::scrollRaster, ~0u, 8},
    {IDC_OPT_PAGE_MOVE, true, &Settings::movement, ~0u, 1},
    {IDC_OPT_READ_ONLY, false, &Settings::readOnlyWord, ~0u, 0x1},
    {IDC_OPT_READ_ONLY_ALWAYS, false, &Settings::readOnlyWord, ~0u, 0x2},
    {IDC_OPT_FIXED_DIR, false, &Settings::JnlOptions, ~0u, 0},
    {IDC_OPT_ALT_DIR_ON, true, &Settings::JnlOptions, ~0u, 0x3},
    {IDC_OPT_OTHER_DRIVE, true, &Settings::JnlOptions, ~0u, 0x5},
    {IDC_OPT_DBL_CONTEXT, true, &Settings::dblClickAction, ~0u, 0},
    {IDC_OPT_DBL_DISASM, true, &Settings::dblClickAction, ~0u, 2},
    {IDC_OPT_DBL_AVI, true, &Settings::dblClickAction, ~0u, 3},
    {IDC_OPT_DIS_32, true, &Settings::disasmMode, ~0u, 7},
    {IDC_OPT_UNDO_OFF, true, &Settings::UndoMode, ~0u, 0},
    {IDC_OPT_UNDO_ORIGINAL, true, &Settings::UndoMode, ~0u, 1},
    {IDC_OPT_UNDO_ALL, true, &Settings::UndoMode, ~0u, 3, 1},
};
// clang-format on

class Options : public DocTest {
  protected:
    // The user clicks control `id` into state `on`.
    static void click(DialogLogic &logic, FakeDialogHost &host, int id, bool on) {
        for (auto &g : kRadios)
            for (int other : g)
                if (other == id)
                    for (int o : g)
                        host.checks[o] = false;
        host.checks[id] = on;
        logic.command(host, id, 0);
    }
    // Opens the dialog and lets `act` work it; ends with OK or "Abbrechen".
    void options(std::function<void(DialogLogic &, FakeDialogHost &)> act, int end = IDC_OPT_OK) {
        fake.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &host) {
            EXPECT_EQ(id, IDD_OPTIONS);
            act(logic, host);
            if (!host.ended) logic.command(host, end, 0);
        });
        run(IDM_OPTIONS);
    }
    bool shownChecked(int id) {
        bool on = false;
        options([&](DialogLogic &, FakeDialogHost &h) { on = h.checks[id]; }, IDC_OPT_CANCEL);
        return on;
    }
};

// Every control: its field after OK, the dialog showing it again; Cancel changes nothing.
TEST_F(Options, EachControlWritesItsFieldAndShowsItAgain) {
    for (const Row &r : kRows) {
        SCOPED_TRACE(r.id);
        setDefaultSettings();
        applyOptions();
        if (r.start != ~0u) g_settings.*r.field = r.start;
        EXPECT_NE(shownChecked(r.id), r.on) << "the defaults show the other state";
        Settings before = g_settings;
        options([&](DialogLogic &l, FakeDialogHost &h) { click(l, h, r.id, r.on); },
                IDC_OPT_CANCEL);
        EXPECT_EQ(std::memcmp(&before, &g_settings, sizeof before), 0) << "Cancel";
        options([&](DialogLogic &l, FakeDialogHost &h) { click(l, h, r.id, r.on); });
        EXPECT_EQ(g_settings.*r.field & r.mask, r.want);
        // Only the group clicked in is written: every other field keeps its value.
        Settings other = g_settings;
        other.*r.field = before.*r.field;
        if (r.id == IDC_OPT_DIRECT_MODE) other.accessWord = before.accessWord;
        EXPECT_EQ(std::memcmp(&before, &other, sizeof before), 0) << "another field changed";
        EXPECT_EQ(shownChecked(r.id), r.on);
    }
}

// "32 Bit" and "Real M." exclude each other; the change reaches an open disassembly window.
// Direct writing, movement and raster act at once.
TEST_F(Options, ChoicesTakeEffectAtOnce) {
    openSource(pattern(4096));
    options([&](DialogLogic &l, FakeDialogHost &h) {
        click(l, h, IDC_OPT_DIRECT_MODE, true);
        click(l, h, IDC_OPT_PAGE_MOVE, true);
        click(l, h, IDC_OPT_RASTER_LINE, true);
    });
    EXPECT_EQ(statusField(56, 9), " direkt  ");
    EXPECT_TRUE(g_doc.AccessFlag & kAccDirect);
    cursorAt(0x35);
    uint64_t at = first();
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(first(), at + 16) << "the arrow moves the page";
    EXPECT_EQ(g_doc.CurOfs, 0x35u);
    EXPECT_EQ(hexText(0x35), hexByte(original[at + 16 + 0x35])) << "the page moved under it";
    run(IDM_DISASSEMBLE_AT_CURSOR);
    options([&](DialogLogic &l, FakeDialogHost &h) {
        EXPECT_TRUE(h.checks[IDC_OPT_DIS_REAL]);
        click(l, h, IDC_OPT_DIS_32, true);
        EXPECT_FALSE(h.checks[IDC_OPT_DIS_REAL]);
        click(l, h, IDC_OPT_DIS_32, false);
        EXPECT_TRUE(h.checks[IDC_OPT_DIS_REAL]);
        click(l, h, IDC_OPT_DIS_32, true);
    });
    EXPECT_EQ(fake.modeless.back()->title, "MNEMONIC (Protected Mode; 32 Bit):");
    EXPECT_EQ(statusField(67, 9), "Line lock");
}

// The path fields: a directory that does not exist or is too long is refused, one that
// exists is taken with its trailing backslash, ABBRUCH puts the stored path back.
TEST_F(Options, PathFieldsTakeOnlyExistingDirectories) {
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/D/logs'").c_str()), 0);
    options([&](DialogLogic &l, FakeDialogHost &h) {
        EXPECT_EQ(h.texts[IDC_OPT_JNL_DIR], "C:\\kelmor\\");
        EXPECT_FALSE(h.enabled[IDC_OPT_ALT_DIR]);
        for (std::string bad : {std::string("D:\\nowhere"), "D:\\" + std::string(300, 'x')}) {
            h.texts[IDC_OPT_JNL_DIR] = bad;
            expectBox("Verzeichnis nicht gefunden !", kIdOk);
            l.command(h, IDC_OPT_JNL_DIR_OK, 0);
            EXPECT_EQ(h.texts[IDC_OPT_JNL_DIR], "C:\\kelmor\\");
        }
        h.texts[IDC_OPT_JNL_DIR] = "D:\\logs";
        l.command(h, IDC_OPT_JNL_DIR_OK, 0);
        EXPECT_EQ(h.texts[IDC_OPT_JNL_DIR], "D:\\logs\\");
        h.texts[IDC_OPT_JNL_DIR] = "typed";
        l.command(h, IDC_OPT_JNL_DIR_CANCEL, 0);
        EXPECT_EQ(h.texts[IDC_OPT_JNL_DIR], "D:\\logs\\");
        click(l, h, IDC_OPT_ALT_DIR_ON, true);
        EXPECT_TRUE(h.enabled[IDC_OPT_ALT_DIR]);
    });
    EXPECT_STREQ(g_settings.jnlDir, "D:\\logs\\");
    EXPECT_EQ(g_settings.JnlOptions, 3u);
    char cwd[600];
    EXPECT_EQ(std::string(getcwd(cwd, sizeof cwd)), dir) << "the working directory stays";
}

// kelmor.ini after exit, byte for byte, with the choices of the dialog.
TEST_F(Options, SettingsFileAfterExit) {
    options([&](DialogLogic &l, FakeDialogHost &h) {
        click(l, h, IDC_OPT_UNDO_ALL, true);
        click(l, h, IDC_OPT_PAGE_MOVE, true);
        click(l, h, IDC_OPT_RASTER_512, true);
        click(l, h, IDC_OPT_ASK_JOURNAL, false);
        click(l, h, IDC_OPT_DBL_AVI, true);
    });
    appDestroy();
    std::vector<uint8_t> want(3248, 0);
    auto put = [&](size_t at, const std::string &s) { std::memcpy(&want[at], s.data(), s.size()); };
    auto u32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            want[at + i] = uint8_t(v >> (8 * i));
    };
    put(0, "bhey\n\r\n\rDiese Datei bitte nicht bearbeiten!   \n");
    put(48, "\n\r\n\r");
    u32(52, 16), u32(56, 8), u32(60, 3248), u32(64, 11), u32(72, 3), u32(80, 1), u32(84, 8);
    u32(92, 1), u32(96, 3);
    put(128, "C:\\kelmor\\"), put(388, "D:\\kelmor\\");
    EXPECT_EQ(readAll(dir + "/kelmor.ini"), want);
}

} // namespace
