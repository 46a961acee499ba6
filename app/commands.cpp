#include "app/commands.h"

#include "access/docstate.h"
#include "access/heldview.h"
#include "app/document.h"
#include "app/drives.h"
#include "app/help.h"
#include "app/options.h"
#include "app/recent.h"
#include "app/settings.h"
#include "app/startup.h"
#include "view/status.h"
#include "edit/clipboard.h"
#include "edit/commit.h"
#include "edit/fill.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "journal/pointerwin.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "save/output.h"
#include "save/resize.h"
#include "save/preview.h"
#include "save/restore.h"
#include "save/save.h"
#include "save/undo.h"
#include "tools/avi.h"
#include "tools/compare.h"
#include "tools/disasm_window.h"
#include "tools/search.h"
#include "tools/gotodlg.h"
#include "tools/values.h"
#include "view/mouse.h"
#include "view/navigation.h"

CommandState g_cmd;

void endHeldViews() {
    endCompareView();
    endHeldView();
}

// The menu item "Hex-Suche" shares its number with the held-view release; a view held by a
// key is over before a menu can be opened, so the item starts the hexadecimal search.
static int hexSearchMenu() {
    if (heldViewShown()) return endHeldViews(), 0;
    return hexSearch();
}

static int endHeldViewCommand() {
    endHeldViews();
    return 0;
}

int exitCommand() {
    settlePendingInputs();
    plat().destroyWindow();
    return 0;
}

int lockCommand() {
    return sourceOpen() ? lockSource() : 1;
}
int unlockCommand() {
    return sourceOpen() ? askUnlock() : 1;
}
// The repair runs with the source locked for writing: only the journal takes the corrections.
int repairAviCommand() {
    if (!sourceOpen()) return 1;
    lockSource();
    return repairAvi();
}
int directModeCommand() {
    showDirectMode();
    return 0;
}
int journalModeCommand() {
    showJournalMode();
    return 0;
}

// One entry per number; twins share a handler. A null handler: the number is known (the
// command is taken and nothing happens), its feature is not built.
static const CommandEntry kCommands[] = {
    // File
    {IDM_OPEN_FILE, openFileCommand},
    {IDM_OPEN_FILE_KEY, openFileCommand},
    // drives
    {IDM_OPEN_DRIVE, openDriveCommand},
    {IDM_OPEN_DRIVE_KEY, openDriveCommand},
    {IDM_RESIZE, resizeCommand},
    {IDM_NEW, nullptr}, // greyed: nothing to do
    {IDM_SAVE_RANGE, saveRange},
    {IDM_SAVE_PAGE, savePage},
    {IDM_SAVE_ALL, saveAllCommand},
    // output files
    {IDM_SAVE_MARKED_AS, saveMarkAs},
    {IDM_SAVE_PAGE_AS, savePageAs},
    {IDM_SAVE_ALL_AS, saveAllAs},
    {IDM_APPEND_MARKED, appendMark},
    {IDM_APPEND_PAGE, appendPage},
    {IDM_APPEND_ALL, appendAll},
    {IDM_RESTORE_ORIGINAL, restoreOriginal},
    {IDM_CHOOSE_JOURNAL, chooseJournalCommand},
    {IDM_DELETE_JOURNAL, deleteJournalCommand},
    {IDM_RECENT_FIRST, openRecent},
    {IDM_RECENT_FIRST + 1, openRecent},
    {IDM_RECENT_FIRST + 2, openRecent},
    {IDM_RECENT_FIRST + 3, openRecent},
    {IDM_RECENT_FIRST + 4, openRecent},
    {IDM_RECENT_FIRST + 5, openRecent},
    {IDM_RECENT_FIRST + 6, openRecent},
    {IDM_RECENT_FIRST + 7, openRecent},
    {IDM_RECENT_FIRST + 8, openRecent},
    {IDM_RECENT_LAST, openRecent},
    {IDM_CLOSE_FILE, closeFileCommand},
    {IDM_EXIT, exitCommand},
    {IDM_EXIT_KEY, exitCommand},

    // Edit: marking
    {IDM_MARK_START, markStart},
    {IDM_MARK_START_KEY, markStart},
    {IDM_MARK_END, markEnd},
    {IDM_MARK_END_KEY, markEnd},
    {IDM_CLEAR_MARKING, clearMarking},
    {IDM_CLEAR_MARKING_KEY, clearMarking},
    {IDM_MARK_ALL, markAll},
    {IDM_MARK_ALL_KEY, markAll},
    {IDM_REMEMBER_MARKING, rememberMarking},
    {IDM_REMEMBER_MARKING_KEY, rememberMarking},
    {IDM_RESTORE_MARKING, restoreMarking},
    {IDM_SHIFT_RIGHT, shiftRight},
    {IDM_SHIFT_LEFT, shiftLeft},
    {IDM_SHIFT_UP, shiftUp},
    {IDM_SHIFT_DOWN, shiftDown},
    // clipboard and file insert
    {IDM_COPY, copyMarking},
    {IDM_COPY_KEY, copyMarking},
    {IDM_COPY_KEY2, copyMarking},
    {IDM_PASTE, pasteClipboard},
    {IDM_PASTE_KEY, pasteClipboard},
    {IDM_PASTE_KEY2, pasteClipboard},
    {IDM_INSERT_FILE, insertFile},
    {IDM_CONVERT_MARKING, nullptr}, // greyed: nothing to do
    // discard, undo and redo
    {IDM_DISCARD_RANGE, discardRange},
    {IDM_DISCARD_PAGE, discardPage},
    {IDM_UNDO_RUN, undoRun},
    {IDM_UNDO_RUN_KEY, undoRun},
    {IDM_UNDO_ONE, undoOne},
    {IDM_UNDO_ALL, undoAll},
    {IDM_REDO_RUN, redoRun},
    {IDM_REDO_RUN_KEY, redoRun},
    {IDM_REDO_ONE, redoOne},
    {IDM_REDO_ALL, redoAll},
    {IDM_PREV_UNDO_POS, prevUndoPos},
    {IDM_PREV_UNDO_POS_KEY, prevUndoPos},
    {IDM_NEXT_UNDO_POS, nextUndoPos},
    {IDM_NEXT_UNDO_POS_KEY, nextUndoPos},
    // fill
    {IDM_FILL_PAGE, fillPageCommand},
    {IDM_FILL_MARKING, fillMarkingCommand},
    {IDM_FILL_ALL_VALUES, fillAllValues},
    // typing
    {IDM_FETCH_SOURCE_RIGHT, fetchSourceRight},
    {IDM_FETCH_SOURCE_LEFT, fetchSourceLeft},
    {IDM_SPACE, spaceCommand},
    {IDM_DIRECT_MODE, directModeCommand},
    {IDM_JOURNAL_MODE, journalModeCommand},

    // Goto and moving
    {IDM_FILE_START, fileStart},
    {IDM_FILE_START_KEY, fileStart},
    {IDM_FILE_END, fileEnd},
    {IDM_FILE_END_KEY, fileEnd},
    {IDM_NEXT_EDIT, nextEdit},
    {IDM_NEXT_EDIT_KEY, nextEdit},
    {IDM_PREVIOUS_EDIT, previousEdit},
    {IDM_PREVIOUS_EDIT_KEY, previousEdit},
    {IDM_AUTO_SCROLL_UP, autoScrollUp},
    {IDM_AUTO_SCROLL_UP_KEY, autoScrollUp},
    {IDM_AUTO_SCROLL_DOWN, autoScrollDown},
    {IDM_AUTO_SCROLL_DOWN_KEY, autoScrollDown},
    {IDM_ZOOM_IN, zoomIn},
    {IDM_ZOOM_OUT, zoomOut},
    {IDM_SWITCH_COLUMN, switchColumn},
    {IDM_PAGE_DOWN, pageDown},
    {IDM_PAGE_UP, pageUp},
    {IDM_ROW_START, rowStart},
    {IDM_ROW_END, rowEnd},
    // handled by the arrow step of dispatchCommand, before the table
    {IDM_ARROW_DOWN, nullptr},
    {IDM_ARROW_UP, nullptr},
    {IDM_ARROW_RIGHT, nullptr},
    {IDM_ARROW_LEFT, nullptr},
    {IDM_ALT_ARROW_RIGHT, nullptr},
    {IDM_ALT_ARROW_LEFT, nullptr},
    {IDM_ALT_ARROW_UP, nullptr},
    {IDM_ALT_ARROW_DOWN, nullptr},
    {IDM_GOTO_ADDRESS, gotoDialog},
    {IDM_GOTO_ADDRESS_KEY, gotoDialog},
    {IDM_GOTO_ADDRESS_KEY2, gotoDialog},

    // search
    {IDM_TEXT_SEARCH, textSearch},
    {IDM_HEX_SEARCH, hexSearch},
    {IDM_SEARCH_AGAIN, searchAgain},
    // compare
    {IDM_COMPARE_OTHER_FILE, compareOtherFile},
    {IDM_COMPARE_SAME_FILE, compareSameFile},
    {IDM_COMPARE_OFFSET_AT_CURSOR, compareOffsetAtCursor},
    {IDM_COMPARE_SET_OFFSET, compareSetOffset},
    {IDM_SHOW_COMPARE_FILE, showCompareFile},
    {IDM_CLOSE_COMPARE_FILE, closeCompareFile},
    // AVI tools
    {IDM_AVI_MOVIE_START, gotoFilmStart},
    {IDM_AVI_PLAY_VIDEO, playVideo},
    {IDM_AVI_PLAY_AUDIO, playAudio},
    {IDM_AVI_REPAIR, repairAviCommand},
    {IDM_AVI_INFO, showAviInfo},
    {IDM_AVI_FIRST_CHUNK, firstChunk},
    {IDM_AVI_NEXT_CHUNK, nextChunk},
    {IDM_AVI_NEXT_CHUNK_KEY, nextChunk},
    {IDM_AVI_CHUNK_DOWN, chunkDown},
    {IDM_AVI_CHUNK_DOWN_KEY, chunkDown},
    {IDM_AVI_MARK_CHUNK, markAviChunk},

    // Extras
    {IDM_SHOW_VALUES, showValues},
    {IDM_DISASSEMBLE_AT_CURSOR, disassembleAtCursor},
    {IDM_LOCK, lockCommand},
    {IDM_UNLOCK, unlockCommand},
    {IDM_TOGGLE_POINTER_WINDOW, togglePointerWindow},
    {IDM_OPTIONS, optionsDialog},
    // IDM_PHYSICAL_ERASE is left out: the default window procedure gets it.

    // views held by a key; version, undo and redo previews (the dispatch runs these first)
    {IDM_SHOW_ORIGINAL, showSource},
    {IDM_END_HELD_VIEW, endHeldViewCommand},
    {IDM_END_HELD_VIEW_COMPARE, endHeldViewCommand},
    {IDM_END_HELD_VIEW_SEARCH, hexSearchMenu},
    {IDM_PREVIOUS_VERSION, versionBack},
    {IDM_PREVIOUS_VERSION_KEY, versionBack},
    {IDM_NEXT_VERSION, versionForward},
    {IDM_NEXT_VERSION_KEY, versionForward},
    {IDM_UNDO_PREVIEW, undoPreview},
    {IDM_UNDO_PREVIEW_KEY, undoPreview},
    {IDM_REDO_PREVIEW, redoPreview},
    {IDM_REDO_PREVIEW_KEY, redoPreview},

    // Help
    {IDM_HELP, nullptr}, // greyed: nothing to do
    {IDM_HELP_OVERVIEW, helpOverview},
    {IDM_HELP_INSTRUCTIONS, helpInstructions},
    {IDM_HELP_KEYS, helpKeys},
    {IDM_HELP_AVI, helpAvi},
    {IDM_INFO_DIALOG, infoDialog},
};

const CommandEntry *findCommand(unsigned number) {
    for (const CommandEntry &e : kCommands)
        if (e.number == number) return &e;
    return nullptr;
}

static bool runCommand(unsigned number, unsigned notify) {
    g_cmd.command = number;
    g_cmd.notify = notify;
    // 1. The version, undo and redo previews take their own commands first.
    // 2. Any other command ends a shown preview before it runs.
    if (previewCommand(number)) return true;
    // A view held by a key shows foreign bytes in the page buffer: nothing else may act on
    // them (its own key repeats).
    if (number != IDM_SHOW_COMPARE_FILE && number != IDM_SHOW_ORIGINAL &&
        number != IDM_END_HELD_VIEW_SEARCH)
        endHeldViews();
    // 3. The arrow keys move the cursor or the page, as the cursor-movement mode says.
    if (arrowCommand(number)) return true;
    // 4. The table.
    const CommandEntry *e = findCommand(number);
    if (!e) return false;
    if (e->handler) e->handler();
    return true;
}

bool dispatchCommand(unsigned number, unsigned notify) {
    // A question is open: the command would act in the middle of the operation that asks.
    if (plat().questionsOpen) return true;
    bool known = runCommand(number, notify);
    journalCheckpoint(); // what the command wrote is now for good
    return known;
}
