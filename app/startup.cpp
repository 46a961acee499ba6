#include "app/startup.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/openclose.h"
#include "app/events.h"
#include "app/recent.h"
#include "app/settings.h"
#include "app/status.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "edit/input.h"
#include "journal/lifecycle.h"
#include "journal/pointerwin.h"
#include "tools/disasm_window.h"
#include "platform/platform.h"
#include "save/save.h"
#include "view/mouse.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/scroll.h"

WindowState g_window;

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
    // The one after-paint observer: the pointer window follows every repaint.
    g_afterPaintHook = refreshPointerWindow;
    closeSettingsFile();
    setDefaultSettings();
    resetOpenState();
    resetDisasmWindow();
    g_events = EventState{};
    resetMouseState();
    resetEditState();
    resetCommitState();
    resetSaveState();
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
    setScrollPosition();
    paintWindow();
    showEditMode();
    if (g_settings.MsgOptions & kMsgStartNotice)
        plat().messageBox(kStartNoticeText, "HINWEIS",
                          kMbOkCancel | kMbIconInformation | kMbTaskModal);
}

bool applySizeRule(int *w, int *h) {
    if (*w == g_window.width && *h == g_window.height) return true;
    if (*w == 0) {
        *w = g_window.width;
        *h = g_window.height;
        return false;
    }
    int fw = (*w - g_window.frameW) / 88, fh = (*h - g_window.frameH) / 34;
    if (fw < 7) fw = 7;
    if (fh < 12) fh = 12;
    g_settings.fontWidth = uint32_t(fw);
    g_settings.fontHeight = uint32_t(fh);
    recreateViewFont();
    *w = g_window.width = 88 * g_geom.cw + g_window.frameW;
    *h = g_window.height = 34 * g_geom.lh + g_window.frameH;
    paintWindow();
    return false;
}

void refitWindow() {
    recreateViewFont();
    g_window.width = 88 * g_geom.cw + g_window.frameW;
    g_window.height = 34 * g_geom.lh + g_window.frameH;
    plat().requestWindowSize();
    paintWindow();
}

void appDestroy() {
    closeSource();
    saveSettings();
    closeSettingsFile();
}
