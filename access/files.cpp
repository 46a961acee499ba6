#include "access/files.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "app/tables.h"

OpenState g_open;

void resetOpenState() {
    g_open = OpenState{};
    g_open.outHandle = kInvalidHandle;
    resetReadOnlyBox();
}

const char *sourcePath() {
    return diskMode() && g_open.device[0] ? g_open.device : g_doc.SrcName;
}

Handle reopenSourcePath(unsigned access) {
    return plat().openFile(sourcePath(), access, diskMode() ? kShareRead | kShareWrite : kShareRead,
                           Disposition::OpenExisting);
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

int chooseOutputFile(bool (*accept)(const char *path)) {
    Platform &p = plat();
    for (;;) {
        bool ok = p.saveFileDialog(g_open.outDlg);
        g_open.mouseSuppressed = true;
        if (!ok) {
            resetReadOnlyBox();
            return 1;
        }
        if (accept && !accept(g_open.outDlg.file)) continue;
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
