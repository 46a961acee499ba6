#include "app/commands.h"

#include "access/docstate.h"
#include "app/document.h"
#include "app/help.h"
#include "app/recent.h"
#include "app/settings.h"
#include "app/startup.h"
#include "view/status.h"
#include "edit/commit.h"
#include "platform/platform.h"

CommandState g_cmd;
bool (*g_previewCommandHook)(unsigned) = nullptr;
void (*g_endPreviewHook)() = nullptr;
bool (*g_arrowCommandHook)(unsigned) = nullptr;

static int exitCommand() {
    settlePendingInputs();
    plat().destroyWindow();
    return 0;
}

static int lockCommand() {
    return sourceOpen() ? lockSource() : 1;
}
static int unlockCommand() {
    return sourceOpen() ? askUnlock() : 1;
}
static int directModeCommand() {
    showDirectMode();
    return 0;
}
static int journalModeCommand() {
    showJournalMode();
    return 0;
}

// One entry per number; twins share a handler. Handlers of parts not built yet are null.
static const CommandEntry kBuiltinCommands[] = {
    {32771, openFileCommand},
    {32827, openFileCommand},
    {32937, nullptr},
    {32911, nullptr}, // open a drive
    {32971, nullptr}, // size dialog
    {32970, nullptr}, // "&Neu" (greyed)
    {32883, nullptr},
    {32772, nullptr},
    {32805, nullptr}, // saves
    {32853, nullptr},
    {32773, nullptr},
    {32806, nullptr}, // save to new file
    {32903, nullptr},
    {32905, nullptr},
    {32904, nullptr}, // append to file
    {32892, nullptr},
    {32968, nullptr}, // other journal, delete journal
    {32939, nullptr}, // restore original
    {2, openRecent},
    {3, openRecent},
    {4, openRecent},
    {5, openRecent},
    {6, openRecent},
    {7, openRecent},
    {8, openRecent},
    {9, openRecent},
    {10, openRecent},
    {11, openRecent}, // recent files
    {32779, closeFileCommand},
    {105, exitCommand},
    {32828, exitCommand},
    {32848, nullptr},
    {32858, nullptr}, // mark start
    {32849, nullptr},
    {32859, nullptr}, // mark end
    {32850, nullptr},
    {32893, nullptr}, // clear marking
    {32894, nullptr},
    {32895, nullptr}, // mark all
    {32861, nullptr},
    {32863, nullptr}, // remember marking
    {32906, nullptr}, // restore marking
    {32912, nullptr},
    {32913, nullptr},
    {32917, nullptr}, // copy
    {32862, nullptr},
    {32864, nullptr},
    {32918, nullptr}, // paste
    {32919, nullptr}, // insert file
    {32914, nullptr}, // greyed
    {32882, nullptr},
    {32884, nullptr}, // discard
    {32960, nullptr},
    {32962, nullptr},
    {32959, nullptr},
    {32961, nullptr}, // version previews
    {32837, nullptr},
    {32963, nullptr},
    {32935, nullptr},
    {32819, nullptr}, // undo
    {32838, nullptr},
    {32964, nullptr},
    {32936, nullptr},
    {32839, nullptr}, // redo
    {32852, nullptr},
    {32946, nullptr},
    {32956, nullptr}, // fill
    {32809, nullptr},
    {32790, nullptr},
    {32928, nullptr}, // goto
    {32908, nullptr},
    {32787, nullptr}, // file start
    {32909, nullptr},
    {32788, nullptr}, // file end
    {32810, nullptr},
    {32829, nullptr}, // next edit
    {32840, nullptr},
    {32841, nullptr}, // previous edit
    {32870, nullptr},
    {32879, nullptr}, // auto scroll up
    {32869, nullptr},
    {32880, nullptr}, // auto scroll down
    {32794, nullptr},
    {32830, nullptr},
    {32802, nullptr},
    {32825, nullptr}, // search
    {32811, nullptr},
    {32812, nullptr},
    {32818, nullptr},
    {32947, nullptr}, // compare
    {32813, nullptr},
    {32817, nullptr},
    {1, nullptr},
    {32896, nullptr},
    {32873, nullptr},
    {32872, nullptr},
    {32899, nullptr},
    {32902, nullptr},
    {32891, nullptr},
    {32887, nullptr},
    {32900, nullptr},
    {32889, nullptr},
    {32907, nullptr},
    {32958, nullptr},
    {32957, nullptr}, // values, disassembler
    {32792, lockCommand},
    {32791, unlockCommand},
    {32865, nullptr},
    {32866, nullptr}, // zoom
    {32965, nullptr}, // Pointer und Flags
    {32934, nullptr}, // Options
    {32867, nullptr},
    {32821, nullptr},
    {32938, nullptr},
    {32966, nullptr},
    {65535, nullptr},
    {32967, nullptr}, // key-held views and undo/redo previews
    {32778, nullptr}, // "&Hilfe" (greyed)
    {32878, helpOverview},
    {32910, helpInstructions},
    {32877, helpKeys},
    {32901, helpAvi},
    {104, infoDialog},
    {32782, nullptr},
    {32898, nullptr}, // Tab, Space
    {32780, nullptr},
    {32781, nullptr}, // PgDn, PgUp
    {32845, nullptr},
    {32847, nullptr},
    {32844, nullptr},
    {32846, nullptr}, // undo positions
    {32929, nullptr},
    {32930, nullptr}, // Home, End
    {32783, nullptr},
    {32784, nullptr},
    {32785, nullptr},
    {32786, nullptr}, // arrows
    {32924, nullptr},
    {32925, nullptr},
    {32926, nullptr},
    {32927, nullptr}, // Alt+arrows
    {32875, nullptr},
    {32876, nullptr}, // Ctrl+Right, Ctrl+Left
    {32920, nullptr},
    {32921, nullptr},
    {32922, nullptr},
    {32923, nullptr}, // Shift+arrows
    {32807, directModeCommand},
    {32808, journalModeCommand},
};

constexpr int kCommandCount = sizeof kBuiltinCommands / sizeof kBuiltinCommands[0];
static CommandEntry g_table[kCommandCount];

void resetCommandTable() {
    for (int i = 0; i < kCommandCount; ++i)
        g_table[i] = kBuiltinCommands[i];
}

const CommandEntry *findCommand(unsigned number) {
    if (g_table[0].number == 0) resetCommandTable();
    for (const CommandEntry &e : g_table)
        if (e.number == number) return &e;
    return nullptr;
}

void setCommandHandler(unsigned number, CommandHandler handler) {
    const CommandEntry *e = findCommand(number);
    if (e) const_cast<CommandEntry *>(e)->handler = handler;
}

bool dispatchCommand(unsigned number, unsigned notify) {
    g_cmd.command = number;
    g_cmd.notify = notify;
    if (g_previewCommandHook && g_previewCommandHook(number)) return true;
    if (g_endPreviewHook) g_endPreviewHook();
    if (g_arrowCommandHook && g_arrowCommandHook(number)) return true;
    const CommandEntry *e = findCommand(number);
    if (!e) return false;
    if (e->handler) e->handler();
    return true;
}
