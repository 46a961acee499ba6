#include "app/startup.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "app/document.h"
#include "app/drives.h"
#include "app/commands.h"
#include "app/events.h"
#include "app/recent.h"
#include "app/settings.h"
#include "view/status.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "edit/fill.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "journal/pointerwin.h"
#include "tools/avi.h"
#include "tools/disasm_window.h"
#include "tools/gotodlg.h"
#include "tools/values.h"
#include "platform/platform.h"
#include "save/output.h"
#include "save/resize.h"
#include "save/preview.h"
#include "save/save.h"
#include "tools/compare.h"
#include "tools/search.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/scroll.h"

// The one after-paint observer: the pointer window and the values window follow every
// repaint and cursor move.
static void afterPaint() {
    refreshPointerWindow();
    refreshValuesWindow();
}

const char kStartNoticeText[] =
    "Das Programm ist Freeware und wird \n\n              OHNE JEDE GEWÄHRLEISTUNG\n\nzur "
    "Verfügung gestellt !\n\nFür eventuellen Datenverlust übernehme ich keine Haftung!\n\n(Diese "
    "Meldung lässt sich unter Extras->Optionen unterbinden.)";

void resetProgramState() {
    buildTables();
    resetDocumentState();
    resetErrorReporter();
    resetStatus();
    resetPaintState();
    resetScrollState();
    resetJournalSession();
    g_afterPaintHook = afterPaint;
    closeSettingsFile();
    setDefaultSettings();
    resetOpenState();
    resetDrives();
    resetDisasmWindow();
    resetAviState();
    resetSearchState();
    resetCompareState();
    resetValuesWindow();
    resetGotoState();
    g_events = EventState{};
    resetMouseState();
    resetEditState();
    resetCommitState();
    resetFillState();
    resetSaveState();
    resetOutputState();
    resetResizeState();
    resetPreviewState();
    g_window = WindowState{};
    g_geom = ViewGeometry{};
}

static void createJournalDirectory() {
    if (!(g_settings.JnlOptions & (kJnlFixed | kJnlOtherDrive))) return;
    Platform &p = plat();
    if (p.createDirectory(g_settings.jnlDir)) return;
    uint32_t err = p.lastError();
    if (err == kErrAlreadyExists || err == kErrAccessDenied) return;
    p.messageBox("Das Verzeichnis für die Protokolldateien konnte nicht erstellt werden !\n\nBitte "
                 "ein anderes Verzeichnis angeben !",
                 "Fehler beim Erstellen des Protokollverzeichnisses !", kMbOkCancel);
    g_settings.JnlOptions &= ~(kJnlFixed | kJnlOtherDrive);
}

void appInitialize(int frameW, int frameH) {
    resetProgramState();
    g_window.frameW = frameW;
    g_window.frameH = frameH;
    std::memset(g_status.line, ' ', 64);
    loadSettings();
    buildRecentMenu();
    g_doc.AccessFlag |= kAccUnlocked;
    if (!createViewFont()) {
        // Keep a usable grid even when the font could not be made.
        g_geom = ViewGeometry{8, 16, 21 * 8, 71 * 8};
    }
    g_window.width = 88 * g_geom.cw + frameW;
    g_window.height = 34 * g_geom.lh + frameH;
    resetHeaderLabels();
    placeCursor();
    createJournalDirectory();
}

void appShown() {
    applyOptions();
    plat().setScrollRange(0, 1024, kScrollPage); // until a source gives the bar its range
    setScrollPosition();
    paintWindow();
    showEditMode();
    if (g_settings.MsgOptions & kMsgStartNotice)
        plat().messageBox(kStartNoticeText, "HINWEIS",
                          kMbOkCancel | kMbIconInformation | kMbTaskModal);
}

void appDestroy() {
    closeSource();
    restoreOtherDrive(); // the user's option, not the waiver of the last document
    saveSettings();
    closeSettingsFile();
}

void applyOptions() {
    g_settings.readOnlyWord =
        (g_settings.readOnlyWord & ~1u) | ((g_settings.readOnlyWord >> 1) & 1);
    resetReadOnlyBox(); // the next open dialog starts as the stored default says
    g_settings.accessWord = (g_settings.accessWord & ~1u) | ((g_settings.accessWord >> 1) & 1);
    if (g_settings.accessWord & 1)
        showDirectMode();
    else
        showJournalMode();
    if (g_settings.movement == 0)
        g_doc.ModFlag |= kModCursorMove;
    else
        g_doc.ModFlag &= ~kModCursorMove;
    g_doc.ModFlag &= ~kModLowNibble;
    applyScrollRaster(g_settings.scrollRaster);
    g_doc.AccessFlag |= kAccUnlocked;
}
