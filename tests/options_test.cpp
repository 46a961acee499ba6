// The Options dialog: each control against its field and back, the effects at once, the path
// fields, and kelmor.ini as exit writes it.
#include <algorithm>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "app/startup.h"
#include "tests/support/doc_test.h"

namespace {

// Radio groups: a click clears the others, as the window system does.
const std::vector<std::vector<int>> kRadios = {
    {IDC_OPT_JOURNAL_MODE, IDC_OPT_DIRECT_MODE},
    {IDC_OPT_JOURNAL_ALWAYS, IDC_OPT_DIRECT_ALWAYS},
    {IDC_OPT_RASTER_BYTE, IDC_OPT_RASTER_LINE, IDC_OPT_RASTER_256, IDC_OPT_RASTER_512},
    {IDC_OPT_CURSOR_MOVE, IDC_OPT_PAGE_MOVE},
    {IDC_OPT_DBL_CONTEXT, IDC_OPT_DBL_VALUES, IDC_OPT_DBL_DISASM, IDC_OPT_DBL_AVI},
    {IDC_OPT_UNDO_OFF, IDC_OPT_UNDO_ORIGINAL, IDC_OPT_UNDO_ALL}};

// The control, the state the user gives it (the defaults show the other), the field and its
// value afterwards under the mask; `start` replaces the default where it shows that state.
struct Row {
    int id;
    bool on;
    uint32_t Settings::*field;
    uint32_t mask, want, start = ~0u;
};
using S = Settings;
// clang-format off
const Row kRows[] = {
    {IDC_OPT_START_NOTICE, 0, &S::MsgOptions, 1, 0}, {IDC_OPT_ASK_SAVE, 0, &S::MsgOptions, 2, 0},
    {IDC_OPT_ASK_JOURNAL, 0, &S::MsgOptions, 4, 0}, {IDC_OPT_COMPARE_MSG, 0, &S::MsgOptions, 8, 0},
    {IDC_OPT_DIRECT_MODE, 1, &S::accessWord, 3, 1}, {IDC_OPT_DIRECT_ALWAYS, 1, &S::accessWord, 3, 2},
    {IDC_OPT_RASTER_LINE, 1, &S::scrollRaster, ~0u, 2}, {IDC_OPT_RASTER_256, 1, &S::scrollRaster, ~0u, 4},
    {IDC_OPT_RASTER_512, 1, &S::scrollRaster, ~0u, 8}, {IDC_OPT_PAGE_MOVE, 1, &S::movement, ~0u, 1},
    {IDC_OPT_READ_ONLY, 0, &S::readOnlyWord, ~0u, 1}, {IDC_OPT_READ_ONLY_ALWAYS, 0, &S::readOnlyWord, ~0u, 2},
    {IDC_OPT_FIXED_DIR, 0, &S::JnlOptions, ~0u, 0}, {IDC_OPT_ALT_DIR_ON, 1, &S::JnlOptions, ~0u, 3},
    {IDC_OPT_OTHER_DRIVE, 1, &S::JnlOptions, ~0u, 5}, {IDC_OPT_DBL_CONTEXT, 1, &S::dblClickAction, ~0u, 0},
    {IDC_OPT_DBL_DISASM, 1, &S::dblClickAction, ~0u, 2}, {IDC_OPT_DBL_AVI, 1, &S::dblClickAction, ~0u, 3},
    {IDC_OPT_DIS_32, 1, &S::disasmMode, ~0u, 7}, {IDC_OPT_UNDO_OFF, 1, &S::UndoMode, ~0u, 0},
    {IDC_OPT_UNDO_ORIGINAL, 1, &S::UndoMode, ~0u, 1}, {IDC_OPT_UNDO_ALL, 1, &S::UndoMode, ~0u, 3, 1},
};
// clang-format on

using Act = std::function<void(DialogLogic &, FakeDialogHost &)>;

class Options : public DocTest {
  protected:
    static void click(DialogLogic &logic, FakeDialogHost &h, int id, bool on = true) {
        for (auto &g : kRadios)
            if (std::count(g.begin(), g.end(), id))
                for (int o : g)
                    h.checks[o] = false;
        h.checks[id] = on;
        logic.command(h, id, 0);
    }
    // Opens the dialog, lets `act` work it, ends it with OK or "Abbrechen".
    void options(Act act, int end = IDC_OPT_OK) {
        fake.dialogScripts.push_back([=](int id, DialogLogic &logic, FakeDialogHost &h) {
            EXPECT_EQ(id, IDD_OPTIONS);
            act(logic, h);
            logic.command(h, end, 0);
        });
        run(IDM_OPTIONS);
    }
    bool shown(int id) {
        bool on = false;
        options([&](DialogLogic &, FakeDialogHost &h) { on = h.checks[id]; }, IDC_OPT_CANCEL);
        return on;
    }
};

// Each control: Cancel changes nothing; OK writes its field and no other; the dialog shows it.
TEST_F(Options, EachControlWritesItsFieldAndShowsItAgain) {
    for (const Row &r : kRows) {
        SCOPED_TRACE(r.id);
        setDefaultSettings(), applyOptions();
        if (r.start != ~0u) g_settings.*r.field = r.start;
        EXPECT_NE(shown(r.id), r.on);
        Settings before = g_settings;
        for (int end : {IDC_OPT_CANCEL, IDC_OPT_OK})
            options([&](DialogLogic &l, FakeDialogHost &h) { click(l, h, r.id, r.on); }, end);
        EXPECT_EQ(g_settings.*r.field & r.mask, r.want);
        Settings other = g_settings;
        other.*r.field = before.*r.field;
        EXPECT_EQ(std::memcmp(&before, &other, sizeof before), 0) << "another field changed";
        EXPECT_EQ(shown(r.id), r.on);
    }
}

// Direct writing, movement and raster act at once; "32 Bit" and "Real M." exclude each
// other and an open disassembly window takes the new heading.
TEST_F(Options, ChoicesTakeEffectAtOnce) {
    openSource(pattern(4096));
    options([&](DialogLogic &l, FakeDialogHost &h) {
        click(l, h, IDC_OPT_DIRECT_MODE), click(l, h, IDC_OPT_PAGE_MOVE);
        click(l, h, IDC_OPT_RASTER_LINE);
    });
    EXPECT_EQ(statusField(56, 9) + statusField(67, 9), " direkt  Line lock");
    cursorAt(0x35);
    run(IDM_ARROW_DOWN);
    EXPECT_EQ(first(), 16u) << "the arrow moves the page";
    EXPECT_EQ(hexText(0x35), hexByte(original[16 + 0x35]));
    run(IDM_DISASSEMBLE_AT_CURSOR);
    options([&](DialogLogic &l, FakeDialogHost &h) {
        for (bool on : {true, false, true}) {
            click(l, h, IDC_OPT_DIS_32, on);
            EXPECT_NE(h.checks[IDC_OPT_DIS_REAL], on);
        }
    });
    EXPECT_EQ(fake.modeless.back()->title, "MNEMONIC (Protected Mode; 32 Bit):");
}

// Path fields: a missing or overlong directory is refused, an existing one taken with its
// backslash (the working directory stays), ABBRUCH puts it back; then kelmor.ini at exit.
TEST_F(Options, PathFieldsAndTheSettingsFileAfterExit) {
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/D/logs'").c_str()), 0);
    options([&](DialogLogic &l, FakeDialogHost &h) {
        for (std::string bad : {std::string("D:\\nowhere"), "D:\\" + std::string(300, 'x')}) {
            h.texts[IDC_OPT_JNL_DIR] = bad;
            expectBox("Verzeichnis nicht gefunden !", kIdOk);
            l.command(h, IDC_OPT_JNL_DIR_OK, 0);
            EXPECT_EQ(h.texts[IDC_OPT_JNL_DIR], "C:\\kelmor\\");
        }
        h.texts[IDC_OPT_ALT_DIR] = "D:\\logs";
        l.command(h, IDC_OPT_ALT_DIR_OK, 0), click(l, h, IDC_OPT_ALT_DIR_ON);
        h.texts[IDC_OPT_ALT_DIR] = "typed";
        l.command(h, IDC_OPT_ALT_DIR_CANCEL, 0);
        EXPECT_TRUE(h.texts[IDC_OPT_ALT_DIR] == "D:\\logs\\" && h.enabled[IDC_OPT_ALT_DIR]);
        click(l, h, IDC_OPT_UNDO_ALL), click(l, h, IDC_OPT_PAGE_MOVE);
        click(l, h, IDC_OPT_ASK_JOURNAL, false), click(l, h, IDC_OPT_DBL_AVI);
    });
    char cwd[600];
    EXPECT_EQ(std::string(getcwd(cwd, sizeof cwd)), dir);
    appDestroy();
    std::vector<uint8_t> want(3248, 0);
    auto put = [&](size_t at, const std::string &s) { std::memcpy(&want[at], s.data(), s.size()); };
    put(0, "bhey\n\r\n\rDiese Datei bitte nicht bearbeiten!   \n");
    put(48, "\n\r\n\r"), put(128, "C:\\kelmor\\"), put(388, "D:\\logs\\");
    for (auto [at, v] : std::vector<std::pair<int, int>>{
             {52, 16}, {56, 8}, {60, 3248}, {64, 11}, {72, 3}, {80, 1}, {84, 1}, {92, 3}, {96, 3}})
        want[at] = uint8_t(v), want[at + 1] = uint8_t(v >> 8);
    EXPECT_EQ(readAll(dir + "/kelmor.ini"), want);
}

} // namespace
