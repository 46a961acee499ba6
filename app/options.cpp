#include "app/options.h"

#include <cstring>

#include "access/docstate.h"
#include "access/files.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "res/resource.h"
#include "tools/disasm_window.h"
#include "view/navigation.h"
#include "view/refresh.h"
#include "view/status.h"

const OptionControl kOptionControls[] = {
    {IDC_OPT_START_NOTICE, kOptMessages}, {IDC_OPT_ASK_SAVE, kOptMessages},
    {IDC_OPT_ASK_JOURNAL, kOptMessages},  {IDC_OPT_COMPARE_MSG, kOptMessages},
    {IDC_OPT_JOURNAL_MODE, kOptAccess},   {IDC_OPT_DIRECT_MODE, kOptAccess},
    {IDC_OPT_JOURNAL_ALWAYS, kOptAccess}, {IDC_OPT_DIRECT_ALWAYS, kOptAccess},
    {IDC_OPT_RASTER_BYTE, kOptRaster},    {IDC_OPT_RASTER_LINE, kOptRaster},
    {IDC_OPT_RASTER_256, kOptRaster},     {IDC_OPT_RASTER_512, kOptRaster},
    {IDC_OPT_CURSOR_MOVE, kOptMovement},  {IDC_OPT_PAGE_MOVE, kOptMovement},
    {IDC_OPT_READ_ONLY, kOptReadOnly},    {IDC_OPT_READ_ONLY_ALWAYS, kOptReadOnly},
    {IDC_OPT_FIXED_DIR, kOptJournal},     {IDC_OPT_ALT_DIR_ON, kOptJournal},
    {IDC_OPT_OTHER_DRIVE, kOptJournal},   {IDC_OPT_DBL_CONTEXT, kOptDblClick},
    {IDC_OPT_DBL_VALUES, kOptDblClick},   {IDC_OPT_DBL_DISASM, kOptDblClick},
    {IDC_OPT_DBL_AVI, kOptDblClick},      {IDC_OPT_DIS_32, kOptDisasm},
    {IDC_OPT_DIS_REAL, kOptDisasm},       {IDC_OPT_UNDO_OFF, kOptUndo},
    {IDC_OPT_UNDO_ORIGINAL, kOptUndo},    {IDC_OPT_UNDO_ALL, kOptUndo},
};
const int kOptionControlCount = int(sizeof kOptionControls / sizeof kOptionControls[0]);

static const int kMsgIds[4] = {IDC_OPT_START_NOTICE, IDC_OPT_ASK_SAVE, IDC_OPT_ASK_JOURNAL,
                               IDC_OPT_COMPARE_MSG};
static const int kRasterIds[4] = {IDC_OPT_RASTER_BYTE, IDC_OPT_RASTER_LINE, IDC_OPT_RASTER_256,
                                  IDC_OPT_RASTER_512}; // modes 1, 2, 4, 8
static const int kDblIds[4] = {IDC_OPT_DBL_CONTEXT, IDC_OPT_DBL_VALUES, IDC_OPT_DBL_DISASM,
                               IDC_OPT_DBL_AVI};
static const int kUndoIds[3] = {IDC_OPT_UNDO_OFF, IDC_OPT_UNDO_ORIGINAL, IDC_OPT_UNDO_ALL};

// The disassembler modes the window itself sets: 32-bit protected and real mode.
constexpr uint32_t kDisasm32 = 7, kDisasmReal = 0;

namespace {

class OptionsDialog : public DialogLogic {
  public:
    uint32_t changed = 0;
    char dirs[2][260]; // the journal directories as the small "OK" buttons took them

    void init(DialogHost &host) override {
        Settings &s = g_settings;
        changed = 0;
        copyString(dirs[0], s.jnlDir, 260);
        copyString(dirs[1], s.altDir, 260);
        host.setText(IDC_OPT_JNL_DIR, dirs[0]);
        host.setText(IDC_OPT_ALT_DIR, dirs[1]);
        for (int i = 0; i < 4; ++i)
            host.setCheck(kMsgIds[i], (s.MsgOptions >> i) & 1);
        bool direct = g_doc.AccessFlag & kAccDirect;
        host.setCheck(IDC_OPT_JOURNAL_MODE, !direct);
        host.setCheck(IDC_OPT_DIRECT_MODE, direct);
        host.setCheck(IDC_OPT_JOURNAL_ALWAYS, !(s.accessWord & 2));
        host.setCheck(IDC_OPT_DIRECT_ALWAYS, s.accessWord & 2);
        for (int i = 0; i < 4; ++i)
            host.setCheck(kRasterIds[i], s.scrollRaster == (1u << i));
        host.setCheck(IDC_OPT_CURSOR_MOVE, s.movement == 0);
        host.setCheck(IDC_OPT_PAGE_MOVE, s.movement == 1);
        host.setCheck(IDC_OPT_READ_ONLY, !(s.readOnlyWord & 1));
        host.setCheck(IDC_OPT_READ_ONLY_ALWAYS, !(s.readOnlyWord & 2));
        host.setCheck(IDC_OPT_FIXED_DIR, s.JnlOptions & kJnlFixed);
        host.setCheck(IDC_OPT_ALT_DIR_ON, s.JnlOptions & kJnlAlternative);
        host.enable(IDC_OPT_ALT_DIR, s.JnlOptions & kJnlAlternative);
        host.setCheck(IDC_OPT_OTHER_DRIVE, s.JnlOptions & kJnlOtherDrive);
        for (int i = 0; i < 4; ++i)
            host.setCheck(kDblIds[i], s.dblClickAction == uint32_t(i));
        host.setCheck(IDC_OPT_DIS_REAL, !(s.disasmMode & 1));
        host.setCheck(IDC_OPT_DIS_32, (s.disasmMode & 3) == 3);
        for (int i = 0; i < 3; ++i)
            host.setCheck(kUndoIds[i], (s.UndoMode > 2 ? 2 : s.UndoMode) == uint32_t(i));
        host.setLimit(IDC_OPT_JNL_DIR, 257);
        host.setLimit(IDC_OPT_ALT_DIR, 257);
    }

    bool command(DialogHost &host, int id, int) override {
        for (int i = 0; i < kOptionControlCount; ++i)
            if (kOptionControls[i].id == id) changed |= kOptionControls[i].group;
        switch (id) {
        case IDC_OPT_DIS_32:
        case IDC_OPT_DIS_REAL: {
            // One of the two always holds: the other is its opposite.
            int other = id == IDC_OPT_DIS_32 ? IDC_OPT_DIS_REAL : IDC_OPT_DIS_32;
            host.setCheck(other, !host.getCheck(id));
            return true;
        }
        case IDC_OPT_ALT_DIR_ON:
            host.enable(IDC_OPT_ALT_DIR, host.getCheck(IDC_OPT_ALT_DIR_ON));
            return true;
        case IDC_OPT_JNL_DIR_OK:
        case IDC_OPT_ALT_DIR_OK:
            takeDirectory(host, id == IDC_OPT_JNL_DIR_OK ? 0 : 1);
            return true;
        case IDC_OPT_JNL_DIR_CANCEL:
        case IDC_OPT_ALT_DIR_CANCEL: {
            int k = id == IDC_OPT_JNL_DIR_CANCEL ? 0 : 1;
            host.setText(k ? IDC_OPT_ALT_DIR : IDC_OPT_JNL_DIR, dirs[k]);
            return true;
        }
        case 1:
        case IDC_OPT_OK:
            writeBack(host);
            host.end(1);
            return true;
        case 2:
        case IDC_OPT_CANCEL:
            host.end(0);
            return true;
        }
        return false;
    }

    // The small "OK" of a path field: the typed directory must exist; its full path with a
    // trailing backslash is taken. The working directory stays where it was.
    void takeDirectory(DialogHost &host, int k) {
        Platform &p = plat();
        int edit = k ? IDC_OPT_ALT_DIR : IDC_OPT_JNL_DIR;
        char typed[600], full[600], cwd[600];
        host.getText(edit, typed, sizeof typed);
        uint32_t n = 0, c = p.fullPathName(".", cwd, sizeof cwd);
        bool ok = std::strlen(typed) < 256 && typed[0] && p.setCurrentDirectory(typed);
        if (ok) {
            n = p.fullPathName(typed, full, sizeof full);
            if (c) p.setCurrentDirectory(cwd);
            ok = n > 0 && n < 258;
        }
        if (!ok) {
            p.messageBox("Das angegebene Verzeichnis existiert nicht !\n\nBitte ein anderes "
                         "Verzeichnis angeben !",
                         "Verzeichnis nicht gefunden !", kMbOk | kMbIconWarning);
            host.setText(edit, dirs[k]);
            host.focus(edit);
            return;
        }
        if (full[n - 1] != '\\') full[n++] = '\\', full[n] = 0;
        copyString(dirs[k], full, 260);
        host.setText(edit, dirs[k]);
        changed |= kOptJournal;
    }

    void writeBack(DialogHost &host) {
        if (!changed) return;
        Settings &s = g_settings;
        if (changed & kOptMessages) {
            s.MsgOptions &= ~0xFu;
            for (int i = 0; i < 4; ++i)
                if (host.getCheck(kMsgIds[i])) s.MsgOptions |= 1u << i;
        }
        if (changed & kOptReadOnly) {
            s.readOnlyWord = (host.getCheck(IDC_OPT_READ_ONLY) ? 0 : 1) |
                             (host.getCheck(IDC_OPT_READ_ONLY_ALWAYS) ? 0 : 2);
            resetReadOnlyBox();
        }
        if (changed & kOptAccess) {
            bool direct = host.getCheck(IDC_OPT_DIRECT_MODE);
            s.accessWord = (direct ? 1 : 0) | (host.getCheck(IDC_OPT_DIRECT_ALWAYS) ? 2 : 0);
            if (direct)
                showDirectMode();
            else
                showJournalMode();
        }
        if (changed & kOptMovement) {
            s.movement = host.getCheck(IDC_OPT_PAGE_MOVE) ? 1 : 0;
            if (s.movement)
                g_doc.ModFlag &= ~(kModCursorMove | kModLowNibble);
            else
                g_doc.ModFlag |= kModCursorMove;
        }
        if (changed & kOptUndo) {
            for (int i = 0; i < 3; ++i)
                if (host.getCheck(kUndoIds[i])) s.UndoMode = i == 2 ? 3 : uint32_t(i);
        }
        if (changed & kOptJournal) {
            s.JnlOptions &= ~kJnlKeepMask;
            if (host.getCheck(IDC_OPT_FIXED_DIR)) s.JnlOptions |= kJnlFixed;
            if (host.getCheck(IDC_OPT_ALT_DIR_ON)) s.JnlOptions |= kJnlAlternative;
            if (host.getCheck(IDC_OPT_OTHER_DRIVE)) s.JnlOptions |= kJnlOtherDrive;
            // Zero behind the path: the file keeps no rest of a longer one.
            std::memset(s.jnlDir, 0, sizeof s.jnlDir), std::memset(s.altDir, 0, sizeof s.altDir);
            copyString(s.jnlDir, dirs[0], sizeof s.jnlDir);
            copyString(s.altDir, dirs[1], sizeof s.altDir);
        }
        if (changed & kOptDblClick) {
            for (int i = 0; i < 4; ++i)
                if (host.getCheck(kDblIds[i])) s.dblClickAction = uint32_t(i);
        }
        if (changed & kOptDisasm) {
            s.disasmMode = host.getCheck(IDC_OPT_DIS_32) ? kDisasm32 : kDisasmReal;
            disasmModeChanged();
        }
        if (changed & kOptRaster) {
            for (int i = 0; i < 4; ++i)
                if (host.getCheck(kRasterIds[i])) s.scrollRaster = 1u << i;
            chooseScrollRaster(s.scrollRaster); // shows the page again
        } else if (changed & kOptMovement) {
            showPage(kShowKeepView); // the cursor cell appears or goes
        }
    }
};

OptionsDialog g_optionsDialog;

} // namespace

int optionsDialog() {
    plat().runModalDialog(IDD_OPTIONS, g_optionsDialog);
    return 0;
}
