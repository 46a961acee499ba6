#include "app/document.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/textutil.h"
#include "app/drives.h"
#include "app/recent.h"
#include "app/settings.h"
#include "view/status.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "save/preview.h"
#include "save/save.h"
#include "tools/avi.h"
#include "view/mouse.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

int openFileCommand() {
    bool ok = plat().openFileDialog(g_open.fileDlg);
    g_open.mouseSuppressed = true;
    if (!ok) return 1;
    g_settings.JnlOptions &= kJnlKeepMask;
    return openSource();
}

static Handle openForAccess(const char *name, bool readOnly) {
    return plat().openFile(name, readOnly ? kAccessRead : kAccessRead | kAccessWrite, kShareRead,
                           Disposition::OpenExisting);
}

// Reads the source's size and derives everything that depends on it.
static void takeSize() {
    uint64_t size = 0;
    if (!plat().fileSize(g_doc.SrcHandle, &size)) reportError(kReadErrorPrefix, g_doc.SrcName);
    g_doc.FileSize = size;
    computeSizeFields();
    computeScrollRange();
}

static void setAviMenu() {
    g_open.aviFlag = g_doc.PageLen >= 4 && std::memcmp(g_doc.PageBuf, "RIFF", 4) == 0;
    plat().setPopupState(IDP_AVI, g_open.aviFlag ? MenuState::Enabled : MenuState::Greyed);
    plat().setMenuState(IDM_AVI_REPAIR, g_open.aviFlag ? MenuState::Enabled : MenuState::Greyed);
    aviFileOpened();
    plat().drawMenuBar();
}

int openSource() {
    Platform &p = plat();
    restoreOtherDrive();
    char name[260];
    copyString(name, g_open.fileDlg.file, sizeof name);
    char given[260] = ""; // the journal file the user opened

    if (isJournalName(name) &&
        p.messageBox("Soll die zugehörige Quelldatei (bzw. Laufwerk) geöffnet werden?",
                     "Bearbeitung öffnen?", kMbYesNo | kMbIconQuestion) == kIdYes) {
        char srcName[260];
        if (openGivenJournal(name, srcName) != 0) return 1;
        copyString(given, name, sizeof given);
        copyString(name, srcName, sizeof name);
        // A journal of a drive names it as "Laufwerk X:"; drives open in disk mode.
        uint32_t index = 0;
        if (driveFromDisplayName(name, &index)) {
            g_doc.DriveIndex = index;
            g_drives.before = index + 1; // never "the same drive" when another is open
            g_drives.readOnly = g_open.fileDlg.readOnly;
            // The document closed on the way must not delete or move this journal.
            char outer[260];
            copyString(outer, g_jnlSession.chosen, sizeof outer);
            copyString(g_jnlSession.chosen, given, sizeof g_jnlSession.chosen);
            int r = openDrive(given);
            copyString(g_jnlSession.chosen, outer, sizeof g_jnlSession.chosen);
            return r;
        }
    }

    bool readOnly = g_open.fileDlg.readOnly;
    Handle h = openForAccess(name, readOnly);
    if (h == kInvalidHandle) {
        if (!sourceOpen() || !samePath(name, g_doc.SrcName)) return 0;
        // The open source itself with the other access mode: switch without moving the page.
        p.closeHandle(g_doc.SrcHandle);
        g_doc.SrcHandle = openForAccess(g_doc.SrcName, readOnly);
        if (g_doc.SrcHandle == kInvalidHandle) {
            // Fall back to the mode it had, so the document stays usable.
            readOnly = !readOnly;
            g_doc.SrcHandle = openForAccess(g_doc.SrcName, readOnly);
            if (g_doc.SrcHandle == kInvalidHandle) {
                reportError(kReadErrorPrefix, g_doc.SrcName);
                closeJournal();
                closingReset();
                paintWindow();
                return 1;
            }
        }
        if (readOnly)
            showReadOnly();
        else
            showWritable();
        p.getFileTimes(g_doc.SrcHandle, &g_open.srcTimes);
        drawStatusLine();
        return 0;
    }

    // The old document's questions may run another open inside this one: keep its mark.
    char outer[260];
    copyString(outer, g_jnlSession.chosen, sizeof outer);
    copyString(g_jnlSession.chosen, given, sizeof g_jnlSession.chosen);
    closeSource();
    copyString(g_jnlSession.chosen, outer, sizeof g_jnlSession.chosen);
    g_commit.toldNoJournal = false;
    g_doc.SrcHandle = h;
    copyString(g_doc.SrcName, name, sizeof g_doc.SrcName);
    if (readOnly)
        showReadOnly();
    else
        showWritable();
    p.getFileTimes(h, &g_open.srcTimes);
    takeSize();
    p.setTitle(g_doc.SrcName);
    addRecent();

    return enterOpenedSource(given[0] ? given : nullptr);
}

int enterOpenedSource(const char *given) {
    Platform &p = plat();
    int journal = openJournalForSource(given);
    if (journal == kJournalAbandon) return closeSource(), 1;

    showSourceTitle();
    g_doc.CurOfs = 0;
    // The marking lives in the journal header and survives closing.
    if (journalOpen() && g_jnl.Header.MarkFlag) {
        g_doc.MarkStart = g_jnl.Header.MarkStart;
        g_doc.MarkEnd = g_jnl.Header.MarkEnd;
        g_doc.MarkFlag = g_jnl.Header.MarkFlag;
        markingShown();
    } else {
        g_doc.MarkFlag = 0;
    }
    bool drive = diskMode();
    gotoFirstPage();
    if (drive) {
        g_open.aviFlag = false;
        p.setPopupState(IDP_AVI, MenuState::Greyed);
        p.drawMenuBar();
        showDiskMode();
    } else {
        setAviMenu();
        showEditMode();
        p.setMenuState(IDM_PHYSICAL_ERASE, MenuState::Greyed);
    }
    drawStatusLine();
    uint64_t storedPtr = 0;
    uint32_t storedView = 0;
    if (journalStoredPosition(&storedPtr, &storedView)) {
        uint64_t anf = storedPtr & ~uint64_t(511);
        showPageAt(anf > g_doc.LastPairPtr ? g_doc.LastPairPtr : anf, storedView);
    } else {
        showPage();
    }
    return 0;
}

int closeSource() {
    if (!sourceOpen()) return 1;
    // A preview or a held view gives its page back first: its records are the journal's.
    if (previewShown()) endPreview();
    endHeldView();
    settlePendingInputs();
    if (journalHasEdits() && (g_settings.MsgOptions & kMsgAskSave)) askSaveAll();
    closeJournal();
    if (plat().closeHandle(g_doc.SrcHandle)) g_doc.SrcHandle = kInvalidHandle;
    closingReset();
    g_open.aviFlag = false;
    g_doc.CurOfs = 0;
    showPage();
    return 0;
}

int closeFileCommand() {
    int r = closeSource();
    if (r == 0) {
        // An empty view has no access state to show.
        copyPadded(g_status.line + 78, 9, "");
        drawStatusLine();
    }
    return r;
}

int askSaveAll() {
    Platform &p = plat();
    char text[400];
    saveAllQuestion(text);
    if (p.messageBox(text, "Speichern?", kMbYesNo | kMbIconQuestion) != kIdYes) return 0;
    while (!(g_doc.AccessFlag & kAccWritable)) {
        if (p.messageBox("Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne Schreibschutz "
                         "NEU öffnen !",
                         "Ohne Schreibschutz neu öffnen?", kMbOkCancel) != kIdOk)
            return 1;
        if (reopenWritable() == 1 && !sourceOpen()) return 1;
    }
    saveAll();
    return 0;
}

int reopenWritable() {
    Platform &p = plat();
    if (diskMode()) return reopenDrive();
    char name[260];
    copyString(name, g_doc.SrcName, sizeof name);
    p.closeHandle(g_doc.SrcHandle);
    g_doc.SrcHandle = kInvalidHandle;
    Handle t = p.openFile(name, kAccessRead, kShareRead, Disposition::OpenExisting);
    if (t != kInvalidHandle) {
        p.getFileTimes(t, &g_open.srcTimes);
        p.closeHandle(t);
    }
    copyString(g_open.fileDlg.file, name, sizeof g_open.fileDlg.file);
    resetReadOnlyBox();
    bool ok = p.openFileDialog(g_open.fileDlg);
    g_open.mouseSuppressed = true;
    if (!ok) {
        // Keep the document usable: the source comes back as it was.
        g_doc.SrcHandle = openForAccess(name, !(g_doc.AccessFlag & kAccWritable));
        return 1;
    }
    if (!samePath(g_open.fileDlg.file, name)) {
        g_doc.SrcHandle = openForAccess(name, true);
        closeSource();
        openSource();
        p.messageBox("Es wurde eine andere Datei gewählt.\n\n Speicherung wird nicht fortgesetzt!",
                     "andere Datei !", kMbOk);
        return 1;
    }
    bool readOnly = g_open.fileDlg.readOnly;
    g_doc.SrcHandle = openForAccess(name, readOnly);
    if (g_doc.SrcHandle == kInvalidHandle) {
        g_doc.SrcHandle = openForAccess(name, true);
        showReadOnly();
        drawStatusLine();
        return 0;
    }
    if (readOnly)
        showReadOnly();
    else
        showWritable();
    drawStatusLine();
    return readOnly ? 1 : 0;
}
