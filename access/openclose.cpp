#include "access/openclose.h"

#include <cstring>

#include "access/blockread.h"
#include "access/docstate.h"
#include "access/errors.h"
#include "access/textutil.h"
#include "app/recent.h"
#include "app/settings.h"
#include "app/status.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/lifecycle.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "save/save.h"
#include "view/mouse.h"
#include "view/paint.h"
#include "view/scroll.h"

OpenState g_open;

void resetOpenState() {
    g_open = OpenState{};
    g_open.outHandle = kInvalidHandle;
    resetReadOnlyBox();
}

void resetReadOnlyBox() {
    g_open.fileDlg.readOnly = !(g_settings.readOnlyWord & 1);
}

bool samePath(const char *a, const char *b) {
    for (;; ++a, ++b) {
        if (g_tables.upperCase[uint8_t(*a)] != g_tables.upperCase[uint8_t(*b)]) return false;
        if (!*a) return true;
    }
}

bool isJournalName(const char *path) {
    // Only the lower-case extension counts: the test the journal files were always known by.
    const char *dot = std::strrchr(path, '.');
    return dot && std::strncmp(dot + 1, "jnl", 3) == 0;
}

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
    plat().drawMenuBar();
}

int openSource() {
    Platform &p = plat();
    uint32_t keepOtherDrive = g_settings.JnlOptions & kJnlOtherDrive;
    char name[260];
    copyString(name, g_open.fileDlg.file, sizeof name);
    bool journalGiven = false;

    if (isJournalName(name) &&
        p.messageBox("Soll die zugehörige Quelldatei (bzw. Laufwerk) geöffnet werden?",
                     "Bearbeitung öffnen?", kMbYesNo | kMbIconQuestion) == kIdYes) {
        char srcName[260];
        if (openGivenJournal(name, srcName) != 0) return 1;
        journalGiven = true;
        copyString(name, srcName, sizeof name);
        // A journal of a drive names it as "Laufwerk X:"; drives open in disk mode.
        if (std::strncmp(name, "Laufwerk ", 9) == 0 && name[10] == ':') return 1;
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

    closeSource();
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

    if (!journalGiven) g_jnlSession.given = false;
    int journal = openJournalForSource();
    g_settings.JnlOptions = (g_settings.JnlOptions & ~kJnlOtherDrive) | keepOtherDrive;
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
    gotoFirstPage();
    setAviMenu();

    uint64_t storedPtr = 0;
    uint32_t storedView = 0;
    if (journalStoredPosition(&storedPtr, &storedView)) {
        g_doc.ReadPtr = storedPtr & ~uint64_t(511);
        if (g_doc.ReadPtr > g_doc.LastPairPtr) g_doc.ReadPtr = g_doc.LastPairPtr;
        gotoPage();
        g_doc.ViewOfs = storedView <= g_doc.Blk2Flag ? storedView : 0;
    }
    setHeaderLabels();
    placeCursor();
    showEditMode();
    drawStatusLine();
    setScrollPosition();
    paintPage();
    p.setMenuState(IDM_PHYSICAL_ERASE, MenuState::Greyed);
    return 0;
}

int closeSource() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    if (journalHasEdits() && (g_settings.MsgOptions & kMsgAskSave)) askSaveAll();
    closeJournal();
    if (plat().closeHandle(g_doc.SrcHandle)) g_doc.SrcHandle = kInvalidHandle;
    closingReset();
    g_open.aviFlag = false;
    resetHeaderLabels();
    g_doc.CurOfs = 0;
    placeCursor();
    setScrollPosition();
    paintPage();
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
    copyPadded(text, 50, g_doc.SrcName);
    text[50] = 0;
    appendString(text,
                 "\n\n          Datei wurde bearbeitet!\n\nSollen die Änderungen gespeichert "
                 "werden?\n\nAuch OHNE Speicherung bleiben die Änderungen verfügbar!",
                 sizeof text);
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
    if (g_doc.ModFlag & (kModDisk | kModSector)) return 1; // drives come with the drive issue
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

int chooseOutputFile() {
    Platform &p = plat();
    for (;;) {
        bool ok = p.saveFileDialog(g_open.outDlg);
        g_open.mouseSuppressed = true;
        if (!ok) {
            resetReadOnlyBox();
            return 1;
        }
        Handle h = p.openFile(g_open.outDlg.file, kAccessRead | kAccessWrite, kShareRead,
                              Disposition::CreateNew);
        if (h != kInvalidHandle) {
            g_open.outHandle = h;
            resetReadOnlyBox();
            return 0;
        }
        h = p.openFile(g_open.outDlg.file, kAccessRead | kAccessWrite, kShareRead,
                       Disposition::OpenExisting);
        if (h == kInvalidHandle) {
            reportError(kWriteErrorPrefix, g_open.outDlg.file);
            continue;
        }
        if (p.messageBox("Datei existiert bereits. Soll sie gelöscht werden?",
                         "Datei überschreiben?", kMbYesNo) == kIdYes) {
            if (!p.seekFile(h, 0) || !p.setEndOfFile(h))
                reportError(kWriteErrorPrefix, g_open.outDlg.file);
            g_open.outHandle = h;
            resetReadOnlyBox();
            return 0;
        }
        p.closeHandle(h);
    }
}

int chooseInputFile() {
    Platform &p = plat();
    FileDialogRecord saved = g_open.outDlg;
    g_open.outDlg.readOnly = true;
    bool ok = p.openFileDialog(g_open.outDlg);
    g_open.mouseSuppressed = true;
    int result = 1;
    if (ok) {
        Handle h = p.openFile(g_open.outDlg.file, kAccessRead, kShareRead, Disposition::OpenAlways);
        if (h != kInvalidHandle) {
            g_open.outHandle = h;
            result = 0;
        }
    }
    g_open.outDlg.readOnly = saved.readOnly;
    g_open.outDlg.showReadOnly = saved.showReadOnly;
    return result;
}

int checkFreeSpace(const char *path, uint64_t size) {
    char root[260];
    copyString(root, path, sizeof root);
    if (char *colon = std::strchr(root, ':')) colon[1] = 0;
    uint64_t freeBytes = 0, total = 0;
    if (plat().diskFreeSpace(root, &freeBytes, &total) && freeBytes > size) return 0;
    if (total > size)
        plat().messageBox("Für diesen Vorgang reicht der freie Speicherplatz\n\nauf dem "
                          "angegebenen Laufwerk nicht aus!\n\n\nBitte wählen Sie ein anderes "
                          "Laufwerk\n\noder löschen Sie überflüssige Dateien !",
                          "Zu wenig freier Speicherplatz !", kMbOk | kMbTaskModal);
    else
        plat().messageBox("Für diesen Vorgang reicht der Speicherplatz\n\nauf dem angegebenen "
                          "Laufwerk nicht aus!\n\n\nBitte wählen Sie ein anderes Laufwerk !",
                          "Laufwerk zu klein !", kMbOk | kMbTaskModal);
    return 1;
}
