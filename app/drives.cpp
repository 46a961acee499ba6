#include "app/drives.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/textutil.h"
#include "app/document.h"
#include "app/settings.h"
#include "app/tables.h"
#include "journal/lifecycle.h"
#include "res/resource.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"
#include "view/status.h"

DriveState g_drives;

void resetDrives() {
    std::memset(&g_drives, 0, sizeof g_drives);
}

// The character after "Laufwerk " and before ':': the letter, or the physical drive's digit.
static char driveChar(uint32_t index) {
    return char('A' + (index & 0xFF));
}

void driveDeviceName(uint32_t index, char out[32]) {
    if (physicalDrive(index)) {
        copyString(out, "\\\\.\\PHYSICALDRIVE@", 32);
        out[17] = char('@' + (index & 0xFF)); // '@' + 0xF0.. wraps to '0'..'9'
        return;
    }
    copyString(out, "\\\\.\\A:", 32);
    out[4] = driveChar(index);
}

void driveDisplayName(uint32_t index, char out[16]) {
    copyString(out, "Laufwerk A:", 16);
    out[9] = driveChar(index);
}

bool driveFromDisplayName(const char *name, uint32_t *index) {
    if (std::strncmp(name, "Laufwerk ", 9) != 0 || name[10] != ':' || name[11] != 0) return false;
    char c = name[9];
    if (c >= 'A' && c <= 'T') {
        *index = logicalDriveIndex(c - 'A');
        return true;
    }
    if (c >= '1' && c <= ':') { // physical drives 1 to 10
        *index = physicalDriveIndex(c - '0');
        return true;
    }
    return false;
}

// ---- dialog 145 ----

namespace {
class DriveDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        Platform &p = plat();
        resetReadOnlyBox();
        g_drives.readOnly = g_open.fileDlg.readOnly;
        host.setCheck(IDC_DRIVE_READ_ONLY, g_drives.readOnly);
        g_drives.before = g_doc.DriveIndex;
        g_doc.ModFlag |= kModDriveDialog;
        bool newSystem = p.osMajorVersion() >= 5;
        uint32_t mask = p.logicalDrives();
        for (int d = 0; d < 20; ++d) {
            bool on = false;
            if (mask & (1u << d)) {
                char root[4] = {char('A' + d), ':', '\\', 0};
                uint32_t type = p.driveType(root);
                on = type != kDriveUnknown && type != kDriveNoRootDir &&
                     (type != kDriveCdrom || newSystem);
            }
            host.enable(kDriveButtons[d], on);
        }
        for (int k = 0; k < 10; ++k)
            host.enable(kDriveButtons[20 + k], newSystem);
    }
    bool command(DialogHost &host, int id, int) override {
        for (int i = 0; i < 30; ++i) {
            if (id != kDriveButtons[i]) continue;
            g_doc.DriveIndex = i < 20 ? logicalDriveIndex(i) : physicalDriveIndex(i - 19);
            g_doc.ModFlag &= ~kModDriveDialog;
            return true;
        }
        switch (id) {
        case IDC_DRIVE_READ_ONLY:
            g_drives.readOnly = host.getCheck(IDC_DRIVE_READ_ONLY);
            g_open.fileDlg.readOnly = g_drives.readOnly;
            return true;
        case IDC_DRIVE_OK:
            host.end(1);
            return true;
        case IDC_DRIVE_CANCEL:
            g_doc.DriveIndex = g_drives.before;
            g_doc.ModFlag |= kModDriveDialog; // nothing picked
            resetReadOnlyBox();
            host.end(0);
            return true;
        }
        return false;
    }
};
DriveDialog g_driveDialog;
} // namespace

int runDriveDialog() {
    plat().runModalDialog(IDD_DRIVES, g_driveDialog);
    g_open.mouseSuppressed = true;
    if (g_doc.ModFlag & kModDriveDialog) {
        g_doc.ModFlag &= ~kModDriveDialog;
        g_doc.DriveIndex = g_drives.before;
        return 1;
    }
    return 0;
}

static void noteDrive() {
    uint32_t i = g_doc.DriveIndex;
    g_drives.root[0] = driveChar(i), g_drives.root[1] = ':', g_drives.root[2] = 0;
}

int openDriveCommand() {
    if (runDriveDialog() != 0) return 1;
    g_settings.JnlOptions &= kJnlKeepMask;
    return openDrive();
}

// ---- opening ----

static const char kWriteWarning[] =
    "WARNUNG !\n\nDas direkte Schreiben auf die Festplatte\nkann zu einem kompletten Datenverlust "
    "führen !\n\nÜberprüfen Sie vor jedem Speichervorgang\n\n                              mit  "
    "    F5\n\nden Originalzustand des betreffenden Datenbereichs !";
static const char kWriteWarningCaption[] = "               *** ! ! ! ! ! ! ! ! ! ! ***";

static bool writeConfirmed() {
    return plat().messageBox(kWriteWarning, kWriteWarningCaption, kMbOkCancel | kMbIconWarning) ==
           kIdOk;
}

static Handle openDevice(const char *device, bool readOnly) {
    return plat().openFile(device, readOnly ? kAccessRead : kAccessRead | kAccessWrite,
                           kShareRead | kShareWrite, Disposition::OpenExisting);
}

// The open drive again with the other access; the journal and the page stay.
static int switchAccess(bool readOnly) {
    Platform &p = plat();
    bool writable = (g_doc.AccessFlag & kAccWritable) != 0;
    if (writable == readOnly) {
        if (!readOnly && !writeConfirmed()) return 1;
        p.closeHandle(g_doc.SrcHandle);
        Handle h = openDevice(g_open.device, readOnly);
        if (h == kInvalidHandle) {
            // Keep the drive usable with the access it had.
            reportError(kWriteErrorPrefix, g_doc.SrcName);
            readOnly = !readOnly;
            h = openDevice(g_open.device, readOnly);
        }
        g_doc.SrcHandle = h;
        if (h == kInvalidHandle) {
            reportError(kReadErrorPrefix, g_doc.SrcName);
            closeSource();
            return 1;
        }
    }
    if (readOnly)
        showReadOnly();
    else
        showWritable();
    drawStatusLine();
    return 0;
}

int openDrive(const char *givenJournal) {
    Platform &p = plat();
    uint32_t index = g_doc.DriveIndex;
    bool readOnly = g_drives.readOnly;
    if ((g_doc.ModFlag & kModDisk) && sourceOpen() && index == g_drives.before)
        return switchAccess(readOnly);
    restoreOtherDrive();
    noteDrive();

    char device[32], display[16];
    driveDeviceName(index, device);
    driveDisplayName(index, display);
    if (!readOnly && !writeConfirmed()) {
        g_doc.DriveIndex = g_drives.before;
        return 1;
    }
    Handle h = openDevice(device, readOnly);
    if (h == kInvalidHandle) {
        // The sector services of the old systems are not offered: nothing else to try. The
        // user learns why (access denied without administrator rights, no medium, ...).
        reportError(kReadErrorPrefix, display);
        g_doc.DriveIndex = g_drives.before;
        return 1;
    }
    closeSource();
    g_doc.DriveIndex = index;
    noteDrive();
    g_doc.SrcHandle = h;
    copyString(g_open.device, device, sizeof g_open.device);
    g_open.driveLetter = g_drives.root[0];
    p.getFileTimes(h, &g_open.srcTimes);
    g_doc.ModFlag |= kModDisk; // from here on read and written by whole sectors
    if (readOnly)
        showReadOnly();
    else
        showWritable();
    copyString(g_doc.SrcName, display, sizeof g_doc.SrcName);
    if (driveCapacity() != 0) {
        reportError(kReadErrorPrefix, display);
        p.closeHandle(h);
        closingReset();
        paintWindow();
        return 1;
    }
    p.setTitle(display);
    p.setMenuState(IDM_PHYSICAL_ERASE,
                   physicalDrive(index) ? MenuState::Enabled : MenuState::Greyed);
    g_doc.AnfPtr = 0;
    return enterOpenedSource(givenJournal);
}

int driveCapacity() {
    Platform &p = plat();
    uint64_t size = 0;
    bool ok;
    if (physicalDrive(g_doc.DriveIndex)) {
        // The exact length: the cylinders' product leaves the sectors after the last whole
        // cylinder out of reach.
        ok = p.diskLength(g_doc.SrcHandle, &size);
        DiskGeometry g;
        if (!ok && p.diskGeometry(g_doc.SrcHandle, &g)) {
            size = uint64_t(g.bytesPerSector) * (g.cylinders & 0xFFFFFFFF) * g.sectorsPerTrack *
                   g.tracksPerCylinder;
            ok = true;
        }
    } else {
        // The volume's own length covers every sector; the file system's total (the root's
        // clusters) leaves its reserved and last sectors out.
        ok = p.diskLength(g_doc.SrcHandle, &size);
        uint64_t freeBytes = 0;
        char root[4] = {g_drives.root[0], ':', '\\', 0};
        if (!ok) ok = p.diskFreeSpace(root, &freeBytes, &size);
    }
    g_doc.FileSize = ok ? size & ~uint64_t(511) : 0;
    computeSizeFields();
    g_doc.AnfPtr = 0;
    computeScrollRange();
    return ok && g_doc.FileSize ? 0 : 1;
}

int reopenDrive() {
    uint32_t open = g_doc.DriveIndex;
    if (runDriveDialog() != 0) return 1;
    bool same = g_doc.DriveIndex == open;
    if (openDrive() != 0) return 1;
    if (!same) {
        plat().messageBox("Es wurde ein anderes Laufwerk gewählt.\n\n Speicherung wird nicht "
                          "fortgesetzt!",
                          "andere Datei !", kMbOk | kMbIconInformation);
        return 1;
    }
    return (g_doc.AccessFlag & kAccWritable) ? 0 : 1;
}
