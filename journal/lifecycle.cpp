#include "journal/lifecycle.h"

#include <cctype>
#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/rollback.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "view/status.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/overlay.h"
#include "journal/pointerwin.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

JournalSession g_jnlSession;

constexpr const char *kOldVersionCaption = "alte Version !";
constexpr const char *kCreateCaption = "Protokolldatei konnte nicht erstellt werden!";
constexpr const char *kInvalidCaption = "keine gültige Protokolldatei !";

static uint32_t &opts() {
    return g_settings.JnlOptions;
}

void restoreOtherDrive() {
    if (g_jnlSession.otherDriveDropped) g_settings.JnlOptions |= kJnlOtherDrive;
    g_jnlSession.otherDriveDropped = false;
}

void resetJournalSession() {
    std::memset(&g_jnlSession, 0, sizeof g_jnlSession);
    resetJournalState();
    resetRollback();
    resetPointerWindow();
}

// ---- small helpers ----

// `src` is the source: a drive's own character stands for it (its name is "Laufwerk X:").
static bool sameDrive(const char *a, const char *src) {
    char d = diskMode() && g_open.driveLetter ? g_open.driveLetter : src[0];
    return a[0] && std::toupper(uint8_t(a[0])) == std::toupper(uint8_t(d));
}

// SourceName of a header against the source path: byte for byte, at most 255 characters.
static bool sourceNameMatches(const char *stored, const char *src) {
    for (int i = 0; i < 255; ++i) {
        if (stored[i] != src[i]) return false;
        if (!stored[i]) return true;
    }
    return true;
}

static void oldVersionMessage(uint32_t magic) {
    plat().messageBox(
        magic == kJnlMagicV210
            ? "Diese Bearbeitungsdatei kann nur bis zur Version 2.10 verwendet werden !"
            : "Diese Bearbeitungsdatei kann nur bis zur Version 2.18 verwendet werden !",
        kOldVersionCaption, kMbOk | kMbIconInformation);
}

static bool isOldMagic(uint32_t m) {
    return m == kJnlMagicV210 || m == kJnlMagicV218;
}

static int invalidJournalQuestion() {
    char text[200];
    copyPadded(text, 50, g_jnl.JnlName);
    text[50] = 0;
    appendString(text, "\n\nUngültige Protokolldatei. Soll sie gelöscht werden?", sizeof text);
    return plat().messageBox(text, "Protokolldatei löschen / neu laden?", kMbYesNo | kMbDefButton2);
}

// JnlEnd from the file length. A length between entry boundaries (an append cut short) is
// rounded up, so that new entries never overwrite a partly written one and stay on boundaries.
static void takeJournalLength() {
    uint64_t len = 0;
    if (!plat().fileSize(g_jnl.JnlHandle, &len)) reportError(kReadErrorPrefix, g_jnl.JnlName);
    if (len < kJnlHeaderSize) len = kJnlHeaderSize;
    uint64_t k = (len - kJnlHeaderSize + kJnlEntrySize - 1) / kJnlEntrySize;
    g_jnl.JnlEnd = kJnlHeaderSize + kJnlEntrySize * k;
}

// The open-file (or save-file) dialog for a journal, starting with JnlName. Sets 0x10 for a
// pick with the journal extension. False when cancelled.
static bool pickJournalFile(char out[260], bool save) {
    FileDialogRecord rec;
    rec.filterIndex = 2;
    rec.showReadOnly = false;
    rec.readOnly = false;
    copyString(rec.file, g_jnl.JnlName, sizeof rec.file);
    bool ok = save ? plat().saveFileDialog(rec) : plat().openFileDialog(rec);
    g_open.mouseSuppressed = true;
    if (!ok) return false;
    copyString(out, rec.file, 260);
    if (isJournalName(out)) opts() |= kJnlHasExtension;
    return true;
}

// Step 1 of the naming rule: a journal on the source's own drive needs the user's consent
// while "immer auf anderes Laufwerk" is set. Returns 1 when refused.
static int sameDriveRefused(const char *where, const char *src) {
    if (!(opts() & kJnlOtherDrive) || !sameDrive(where, src)) return 0;
    return plat().messageBox(
               "Protokolldatei auf gleichem Laufwerk zulassen?\n\nWenn NEIN, bitte eine andere "
               "Datei angeben !\n\n(-> Extras -> Optionen)",
               "Gleiches Laufwerk !", kMbYesNo) == kIdYes
               ? 0
               : 1;
}

// ---- header, title, status ----

void initHeader() {
    g_jnl.JnlHandle = kInvalidHandle;
    std::memset(g_jnl.Header.image, 0, sizeof g_jnl.Header.image);
    initHeaderFields(g_jnl.Header, g_doc.SrcName);
    g_jnl.Header.UndoFirst = kNullPtr;
    g_jnl.Header.SourceTime = g_jnl.Header.JnlEndAtClose = 0;
    g_jnl.JnlName[0] = 0;
    g_jnl.JnlEnd = kJnlHeaderSize;
    g_jnl.Damaged = false;
    clearPageRecords();
}

void resetJournal() {
    journalCheckpoint(); // nothing from before is to be played back into the emptied file
    Platform &p = plat();
    forgetJournalCache();
    if (!p.seekFile(g_jnl.JnlHandle, 0) || !p.setEndOfFile(g_jnl.JnlHandle))
        reportError(kWriteErrorPrefix, g_jnl.JnlName);
    JournalHeader &h = g_jnl.Header;
    std::memset(h.image, 0, sizeof h.image);
    initHeaderFields(h, g_doc.SrcName);
    h.SourceTime = h.JnlEndAtClose = 0;
    g_jnl.JnlEnd = kJnlHeaderSize;
    h.UndoFirst = kNullPtr;
    putU64(h.image + kHdrReservedPtr1, kNullPtr);
    putU64(h.image + kHdrReservedPtr2, kNullPtr);
    putU64(h.image + kHdrReservedPtr3, kNullPtr);
    clearPageRecords();
    g_jnl.Damaged = false;
    writeHeader();
    p.seekFile(g_jnl.JnlHandle, kJnlHeaderSize);
    setJournalPathField(g_jnl.JnlName);
    p.setTitle(g_doc.SrcName);
}

bool journalStoredPosition(uint64_t *readPtr, uint32_t *viewOfs) {
    if (!journalOpen()) return false;
    *readPtr = g_jnl.Header.SavedAnfPtr;
    *viewOfs = g_jnl.Header.SavedViewOfs;
    return true;
}

// ---- naming ----

// FNV-1a: the mark that keeps two long source paths from sharing one cut journal name.
static uint32_t pathHash(const char *s) {
    uint32_t h = 2166136261u;
    for (; *s; ++s)
        h = (h ^ uint8_t(*s)) * 16777619u;
    return h;
}

// Directory followed by the encoded source path: ":\" -> "~1", ":" -> "~0", "\" -> "~2",
// "~" -> "~3" ('/' counts as '\', as it does for Windows). At most 251 characters; a longer
// name is cut and ends in "~9" and eight hex digits of the whole source path, a sequence the
// encoding never produces, so that the name stays unambiguous.
static void encodeJournalName(const char *dir, const char *src, char out[260]) {
    char enc[600];
    bool pairStart[600];
    int n = 0;
    for (const char *s = src; *s && n < 590; ++s) {
        char c = *s, code = 0;
        if (c == ':') {
            if (s[1] == '\\' || s[1] == '/') {
                code = '1';
                ++s;
            } else {
                code = '0';
            }
        } else if (c == '\\' || c == '/') { // Windows takes '/' as a separator too
            code = '2';
        } else if (c == '~') {
            code = '3';
        }
        if (code) {
            pairStart[n] = true;
            enc[n++] = '~';
            pairStart[n] = false;
            enc[n++] = code;
        } else {
            pairStart[n] = false;
            enc[n++] = c;
        }
    }
    enc[n] = 0;
    const int kLimit = 251, kMark = 10;
    int dl = int(std::strlen(dir));
    // The name as the format has it when at most 251 characters of directory and path go into
    // it and the result fits; otherwise a cut name that still tells long paths apart.
    if (dl + int(std::strlen(src)) <= kLimit && dl + n <= 255) {
        copyString(out, dir, 260);
        appendString(out, enc, 260);
        return;
    }
    int dirPart = dl < kLimit - kMark ? dl : kLimit - kMark;
    int k = kLimit - kMark - dirPart;
    if (k > 0 && pairStart[k - 1]) --k; // never leave half a pair
    std::memcpy(out, dir, size_t(dirPart));
    std::memcpy(out + dirPart, enc, size_t(k));
    static const char hex[] = "0123456789ABCDEF";
    char *m = out + dirPart + k;
    *m++ = '~';
    *m++ = '9';
    uint32_t h = pathHash(src);
    for (int i = 7; i >= 0; --i)
        *m++ = hex[(h >> (4 * i)) & 15];
    *m = 0;
}

int makeJournalName(char out[260], const char *src) {
    const char *dir = (opts() & kJnlUseAlternative) ? g_settings.altDir : g_settings.jnlDir;
    if (sameDriveRefused((opts() & kJnlChosen) ? out : dir, src)) return 1;
    // A drive has no folder to lie beside: its journal always goes to the directory.
    if (((opts() & (kJnlFixed | kJnlOtherDrive)) || diskMode()) && !(opts() & kJnlChosen)) {
        encodeJournalName(dir, src, out);
        if (!(opts() & kJnlHasExtension)) appendString(out, ".jnl", 260);
        opts() |= kJnlChosen | kJnlHasExtension;
        return 0;
    }
    if (opts() & kJnlHasExtension) return 0;
    // A name the user chose keeps its place and only gains the extension; otherwise the
    // journal lies beside the source.
    char base[252];
    copyString(base, (opts() & kJnlChosen) ? out : src, sizeof base);
    copyString(out, base, 260);
    appendString(out, ".jnl", 260);
    return 0;
}

// Before the name is built: a fixed directory on the source's drive. Returns 0 to go on,
// kJournalAbandon when the user cancelled the choice.
static int avoidSourceDrive() {
    const char *src = g_doc.SrcName;
    if (!(opts() & kJnlOtherDrive) || !sameDrive(g_settings.jnlDir, src)) return 0;
    if ((opts() & kJnlAlternative) && g_settings.altDir[0] && !sameDrive(g_settings.altDir, src)) {
        opts() |= kJnlUseAlternative;
        return 0;
    }
    for (;;) {
        if (plat().messageBox(
                "Protokolldatei auf gleichem Laufwerk zulassen?\n\nWenn NEIN, bitte eine andere "
                "Datei angeben !\n\n(-> Extras -> Optionen)",
                "Gleiches Laufwerk !", kMbYesNo) == kIdYes) {
            opts() &= ~kJnlOtherDrive;
            g_jnlSession.otherDriveDropped = true;
            return 0;
        }
        opts() |= kJnlChosen;
        char pick[260];
        if (!pickJournalFile(pick, false)) return kJournalAbandon;
        copyString(g_jnl.JnlName, pick, sizeof g_jnl.JnlName);
        if (!sameDrive(pick, src)) return 0;
    }
}

// ---- taking a journal into use ----

// Plays back the log of the running command, or else the log left with the number `mark`
// (a log of another number is removed unplayed). The playback writes the source through a handle of
// its own and the journal past its record cache; the source and the journal's header are then taken
// anew, the source's new time (of this program's own doing) without asking. True when taken back.
static bool playBack(bool running, uint32_t mark = 0) {
    Platform &p = plat();
    if (sourceOpen()) p.closeHandle(g_doc.SrcHandle);
    bool back = running ? rollbackTakeBack(sourcePath())
                        : rollbackRecover(g_jnl.JnlHandle, g_jnl.JnlName, mark, sourcePath());
    forgetJournalCache();
    bool writable = g_doc.AccessFlag & kAccWritable;
    Handle h = reopenSourcePath(writable ? kAccessRead | kAccessWrite : kAccessRead);
    if (h == kInvalidHandle && writable) {
        h = reopenSourcePath(kAccessRead);
        if (h != kInvalidHandle) showReadOnly();
    }
    g_doc.SrcHandle = h;
    if (h == kInvalidHandle) reportError(kReadErrorPrefix, g_doc.SrcName);
    if (!back) return false;
    uint32_t got = 0;
    readHeader(&got);
    FileTimes t{};
    if (h != kInvalidHandle && p.getFileTimes(h, &t)) {
        g_open.srcTimes = t;
        g_jnl.Header.SourceTime = t.lastWrite;
    }
    return got == kJnlHeaderSize;
}

// A command of this program that a crash interrupted is taken back.
static bool takeBackInterrupted() {
    if (!rollbackLogExists(g_jnl.JnlName)) return false;
    return playBack(false, getU32(g_jnl.Header.image + kHdrCommand));
}

// The source's last-write time against the header's. Returns 0 when the journal is accepted.
static int sourceChangeCheck() {
    if (diskMode()) return 0;
    if (g_open.srcTimes.lastWrite == g_jnl.Header.SourceTime) return 0;
    if (plat().messageBox(
            "Bearbeitungsdatei wurde verändert !\n\nBei Verwendung der angegebenen "
            "Protokolldatei\nkann es zu Inkonsistenzen kommen!\n\nTrotzdem verwenden ?",
            "Datei wurde verändert !", kMbYesNo) == kIdYes &&
        plat().messageBox("Um die Gefahr von Datenfehlern zu verringern,\n\nsollten Sie jede "
                          "Bearbeitungsstelle\n\nmit F5 auf Fehlerfreiheit prüfen !",
                          "Daten unbedingt prüfen !", kMbOkCancel) == kIdOk)
        return 0;
    if (plat().messageBox("Soll die Protokolldatei gelöscht werden ?", "Protokolldatei löschen ?",
                          kMbYesNo | kMbDefButton2) == kIdYes) {
        resetJournal();
        return 0;
    }
    return 1;
}

// The journal is in use: length, title mark and status line.
static void journalAccepted() {
    g_jnl.Damaged = false;
    rollbackAttach(g_jnl.JnlHandle, g_jnl.JnlName);
    takeJournalLength();
    setJournalPathField(g_jnl.JnlName);
    if (journalHasEdits()) showSourceTitle();
    showJournalName();
}

static void closeJournalHandle() {
    forgetJournalCache();
    rollbackDetach(g_jnl.JnlHandle);
    if (g_jnl.JnlHandle != kInvalidHandle) plat().closeHandle(g_jnl.JnlHandle);
    g_jnl.JnlHandle = kInvalidHandle;
}

int openJournal() {
    Platform &p = plat();
    for (;;) {
        Handle h = p.openFile(g_jnl.JnlName, kAccessRead | kAccessWrite, kShareRead,
                              Disposition::OpenAlways);
        if (h == kInvalidHandle) {
            if (plat().messageBox(
                    "Protokolldatei konnte leider nicht automtisch erstellt werden !\nWollen Sie "
                    "sie manuell auswählen (bzw. anlegen) ?",
                    kCreateCaption, kMbYesNo | kMbDefButton2) != kIdYes) {
                initHeader();
                return 1;
            }
            if (chooseJournal() != 0) {
                initHeader();
                plat().messageBox(
                    "Protokolldatei konnte leider nicht erstellt werden !\nWählen Sie ggf. "
                    "manuell eine Protokolldatei aus !",
                    kCreateCaption, kMbOk);
                return 1;
            }
            return 0;
        }
        bool existed = p.lastError() == kErrAlreadyExists;
        g_jnl.JnlHandle = h;
        if (!existed) {
            resetJournal();
            journalAccepted();
            return 0;
        }
        uint32_t got = 0;
        readHeader(&got);
        if (got >= 4 && isOldMagic(g_jnl.Header.Magic)) {
            oldVersionMessage(g_jnl.Header.Magic);
            closeJournalHandle();
            initHeader();
            return 1;
        }
        if (got == kJnlHeaderSize && g_jnl.Header.Magic == kJnlMagic &&
            sourceNameMatches(g_jnl.Header.SourceName, g_doc.SrcName)) {
            if (!takeBackInterrupted() && sourceChangeCheck() != 0) {
                closeJournalHandle();
                initHeader();
                return 1;
            }
            journalAccepted();
            return 0;
        }
        if (invalidJournalQuestion() == kIdYes) {
            resetJournal();
            journalAccepted();
            return 0;
        }
        closeJournalHandle();
        opts() = (opts() & ~kJnlHasExtension) | kJnlChosen;
        // A journal must be picked; cancelling leaves the source without one rather than
        // showing the dialog for ever.
        char pick[260];
        do {
            if (!pickJournalFile(pick, false)) {
                initHeader();
                return 1;
            }
            copyString(g_jnl.JnlName, pick, sizeof g_jnl.JnlName);
        } while (sameDriveRefused(pick, g_doc.SrcName));
    }
}

int checkJournal() {
    uint32_t got = 0;
    readHeader(&got);
    if (got != kJnlHeaderSize || g_jnl.Header.Magic != kJnlMagic ||
        (!takeBackInterrupted() && sourceChangeCheck() != 0))
        return 1;
    journalAccepted();
    return 0;
}

int openGivenJournal(const char *path, char *srcName) {
    Platform &p = plat();
    Handle h = p.openFile(path, kAccessRead, kShareRead, Disposition::OpenExisting);
    if (h == kInvalidHandle) {
        reportError(kReadErrorPrefix, path);
        return 1;
    }
    uint8_t buf[kJnlHeaderSize];
    uint32_t got = 0;
    if (!p.seekFile(h, 0) || !p.readFile(h, buf, sizeof buf, &got)) {
        reportError(kReadErrorPrefix, path);
        got = 0;
    }
    // Closed again at once: the document open now is closed before this journal is used.
    p.closeHandle(h);
    uint32_t magic = got >= 4 ? getU32(buf) : 0;
    if (got != kJnlHeaderSize || magic != kJnlMagic) {
        if (got >= 4 && isOldMagic(magic)) oldVersionMessage(magic);
        return 1;
    }
    char name[256];
    std::memcpy(name, buf + kHdrSourceName, 255);
    name[255] = 0;
    copyString(srcName, name, 260);
    return 0;
}

int openJournalForSource(const char *given) {
    Platform &p = plat();
    closeJournalHandle();
    if (given) {
        copyString(g_jnl.JnlName, given, sizeof g_jnl.JnlName);
        // Read and write: the journal is to take the edits. A file that refuses writing is
        // still used; its write failures are reported when they happen.
        Handle h =
            p.openFile(given, kAccessRead | kAccessWrite, kShareRead, Disposition::OpenExisting);
        if (h == kInvalidHandle)
            h = p.openFile(given, kAccessRead, kShareRead, Disposition::OpenExisting);
        if (h == kInvalidHandle) reportError(kReadErrorPrefix, given);
        g_jnl.JnlHandle = h;
        if (h != kInvalidHandle && checkJournal() == 0) return 0;
        closeJournalHandle();
        initHeader();
        plat().messageBox("Bitte wählen Sie manuell eine Protokolldatei !",
                          "Protokolldatei manuell wählen !", kMbOk);
        return 1;
    }
    if (avoidSourceDrive() == kJournalAbandon) {
        initHeader();
        return kJournalAbandon;
    }
    if (makeJournalName(g_jnl.JnlName, g_doc.SrcName) != 0) {
        initHeader();
        return 1;
    }
    return openJournal();
}

// ---- choosing another journal ----

// A file picked without the journal extension is looked at first. Returns the refusal text,
// "" when it may be used, or nullptr for an old journal (its message already shown).
static const char *examinePick(Handle h) {
    Platform &p = plat();
    uint8_t buf[kJnlHeaderSize];
    uint32_t got = 0;
    if (!p.seekFile(h, 0) || !p.readFile(h, buf, sizeof buf, &got)) got = 0;
    if (got < kJnlHeaderSize)
        return "Die ausgewählte Datei enthält zuwenig Daten !\n\nBitte wählen Sie eine andere "
               "Protokolldatei !";
    uint32_t magic = getU32(buf);
    if (isOldMagic(magic)) {
        oldVersionMessage(magic);
        return nullptr;
    }
    if (magic != kJnlMagic)
        return "Die ausgewählte Datei ist keine gültige Protokolldatei !\n\nBitte wählen Sie eine "
               "andere Protokolldatei !";
    if (!sourceNameMatches(reinterpret_cast<const char *>(buf + kHdrSourceName), g_doc.SrcName))
        return "Die ausgewählte Datei passt nicht zur Hauptdatei !\n\nBitte wählen Sie eine "
               "andere Protokolldatei !";
    return "";
}

// The header of the chosen journal: 0 accepted, 1 an old journal, 2 pick another.
static int acceptChosen() {
    uint32_t got = 0;
    readHeader(&got);
    if (got >= 4 && isOldMagic(g_jnl.Header.Magic)) {
        oldVersionMessage(g_jnl.Header.Magic);
        return 1;
    }
    if (got == kJnlHeaderSize && g_jnl.Header.Magic == kJnlMagic &&
        sourceNameMatches(g_jnl.Header.SourceName, g_doc.SrcName) && sourceChangeCheck() == 0)
        return 0;
    if (invalidJournalQuestion() != kIdYes) return 2;
    // Emptied just now: it belongs to this source, no further check is due.
    resetJournal();
    return 0;
}

int chooseJournal() {
    Platform &p = plat();
    flushJournalHeader();
    copyString(g_jnlSession.savedName, g_jnl.JnlName, sizeof g_jnlSession.savedName);
    Handle prevHandle = g_jnl.JnlHandle;
    static JournalHeader prevHeader; // too large for the stack of a dialog loop
    prevHeader = g_jnl.Header;
    uint64_t prevEnd = g_jnl.JnlEnd;
    opts() = (opts() & ~kJnlHasExtension) | kJnlChosen;
    char pick[260];

    auto restore = [&]() {
        if (g_jnl.JnlHandle != prevHandle) closeJournalHandle();
        g_jnl.JnlHandle = prevHandle;
        g_jnl.Header = prevHeader;
        g_jnl.JnlEnd = prevEnd;
        copyString(g_jnl.JnlName, g_jnlSession.savedName, sizeof g_jnl.JnlName);
        return 1;
    };
    auto pickAgain = [&]() {
        opts() &= ~(kJnlChosen | kJnlHasExtension);
        return pickJournalFile(pick, false);
    };

    do {
        if (!pickJournalFile(pick, false)) return restore();
    } while (sameDriveRefused(pick, g_doc.SrcName));

    for (;;) {
        Handle h =
            p.openFile(pick, kAccessRead | kAccessWrite, kShareRead, Disposition::OpenAlways);
        if (h == kInvalidHandle) {
            reportError(kReadErrorPrefix, pick);
            return restore();
        }
        bool existed = p.lastError() == kErrAlreadyExists;
        copyString(g_jnl.JnlName, pick, sizeof g_jnl.JnlName);
        g_jnl.JnlHandle = h;
        if (!existed) {
            resetJournal();
            break;
        }
        if (!isJournalName(pick)) {
            const char *problem = examinePick(h);
            if (!problem) return restore();
            if (*problem) {
                int a = plat().messageBox(problem, kInvalidCaption, kMbOkCancel | kMbIconWarning);
                closeJournalHandle();
                g_jnl.JnlHandle = prevHandle;
                if (a != kIdOk || !pickAgain()) return restore();
                continue;
            }
        }
        int r = acceptChosen();
        if (r == 0) break;
        if (r == 1) return restore();
        closeJournalHandle();
        g_jnl.JnlHandle = prevHandle;
        if (!pickAgain()) return restore();
    }

    takeJournalLength();
    if (prevHandle != kInvalidHandle && prevHandle != g_jnl.JnlHandle) p.closeHandle(prevHandle);
    showSourceTitle();
    if (sourceOpen()) {
        gotoFirstPage();
        g_doc.ReadPtr = g_jnl.Header.SavedAnfPtr & ~uint64_t(511);
        if (g_doc.ReadPtr > g_doc.LastPairPtr) g_doc.ReadPtr = g_doc.LastPairPtr;
        gotoPage();
        uint32_t view = g_jnl.Header.SavedViewOfs;
        g_doc.ViewOfs = view <= g_doc.Blk2Flag ? view : 0;
    }
    showJournalName();
    return 0;
}

int chooseJournalCommand() {
    if (!sourceOpen()) return 1;
    if (!inputsHeld()) {
        settlePendingInputs();
        int r = chooseJournal();
        showPage();
        return r;
    }
    // Inputs waiting for a journal: kept aside while it is chosen (its page records are
    // loaded first), then laid over the same page again, still as inputs.
    static uint8_t bytes[1024], mask[128];
    std::memcpy(bytes, g_doc.PageBuf, sizeof bytes);
    std::memcpy(mask, g_doc.ModMask, sizeof mask);
    uint32_t inputs = g_doc.InputFlag;
    uint64_t anf = g_doc.AnfPtr;
    uint32_t view = g_doc.ViewOfs;
    g_doc.InputFlag = 0;
    int r = chooseJournal();
    if (r == 0) showPageAt(anf, view, 0);
    for (int block = 1; block <= 2; ++block) {
        if (!(inputs & (block == 2 ? kInputBlk2 : kInputBlk1))) continue;
        for (int i = (block - 1) * 512; i < block * 512; ++i)
            if ((mask[i >> 3] >> (i & 7)) & 1) {
                g_doc.PageBuf[i] = bytes[i];
                g_doc.ModMask[i >> 3] |= uint8_t(1u << (i & 7));
            }
    }
    g_doc.InputFlag = inputs;
    paintPage();
    return r;
}

// ---- emptying, writing back, closing ----

int deleteJournalContents() {
    if (!sourceOpen() || !journalOpen()) return 1;
    if (plat().messageBox(
            "Soll die Protokolldatei gelöscht werden ?\n\n\tHierbei werden alle "
            "Bearbeitungen\n\n\tund alle Undo-Informationen\n\n\tunwiderruflich gelöscht !",
            "Protokolldatei löschen ?", kMbYesNo | kMbDefButton2 | kMbIconQuestion) != kIdYes)
        return 1;
    resetJournal();
    // The inputs on the page go with the edits: the page is read from the source again.
    g_doc.InputFlag = 0;
    g_doc.ReadPtr = g_doc.AnfPtr;
    uint32_t view = g_doc.ViewOfs;
    readPagePlain();
    if (view <= g_doc.Blk2Flag) g_doc.ViewOfs = view;
    paintPage();
    return 0;
}

int deleteJournalCommand() {
    return deleteJournalContents();
}

// At closing: reopens the source read-only to read its current last-write time (the handle
// that wrote to it may not show the time the file gets when it is closed). Drives keep no time.
static void refreshSourceTime() {
    if (!sourceOpen() || diskMode()) return;
    Platform &p = plat();
    FileTimes t{};
    bool have = p.getFileTimes(g_doc.SrcHandle, &t);
    p.closeHandle(g_doc.SrcHandle);
    Handle h = p.openFile(g_doc.SrcName, kAccessRead, kShareRead, Disposition::OpenExisting);
    g_doc.SrcHandle = h;
    if (h == kInvalidHandle) {
        reportError(kReadErrorPrefix, g_doc.SrcName);
    } else {
        FileTimes n{};
        if (p.getFileTimes(h, &n)) {
            t = n;
            have = true;
        }
    }
    if (have) {
        g_open.srcTimes = t;
        g_jnl.Header.SourceTime = t.lastWrite;
    }
}

// While the document stays open: the source's time read through the handle it has, so that
// no failed reopen can leave the document without its source. The source is flushed with the
// command's log (journalCheckpoint), never before it: old bytes first, then new ones.
static void storeSourceTime() {
    if (!sourceOpen() || diskMode()) return;
    Platform &p = plat();
    FileTimes t{};
    if (!p.getFileTimes(g_doc.SrcHandle, &t)) return;
    g_open.srcTimes = t;
    g_jnl.Header.SourceTime = t.lastWrite;
}

// The fields refreshed before every write-back.
static void storeHeaderState() {
    JournalHeader &h = g_jnl.Header;
    h.JnlEndAtClose = g_jnl.JnlEnd;
    h.SavedAnfPtr = g_doc.AnfPtr;
    h.SavedViewOfs = g_doc.ViewOfs;
    h.MarkStart = g_doc.MarkStart;
    h.MarkEnd = g_doc.MarkEnd;
    h.MarkFlag = g_doc.MarkFlag;
}

// A command that failed half-way is taken back whole, as after a crash; the page is read
// anew from the files. Inputs it was committing are given up: the user saw the error.
static void takeBackFailedCommand() {
    bool back = playBack(true);
    takeJournalLength();
    g_jnl.Damaged = !back; // not extended while the log waits for the next opening
    g_doc.InputFlag = 0;
    g_commit.SegPending = 0;
    showPageAt(g_doc.AnfPtr, g_doc.ViewOfs, kShowPrimed | kShowStatus);
}

void journalCheckpoint() {
    if (rollbackFailed()) {
        takeBackFailedCommand();
        return;
    }
    bool touched = rollbackSourceTouched();
    if (!rollbackFlushForCommit(g_jnl.JnlHandle)) return;
    // The source's time is this program's own doing (it holds the source open without
    // sharing writes): no alarm at the next opening.
    if (touched)
        storeSourceTime(); // flushed with the log above
    else if (sourceOpen() && !diskMode())
        g_jnl.Header.SourceTime = g_open.srcTimes.lastWrite;
    writeHeader(); // the chain heads, and the command's number gone
    rollbackEnd();
}

void flushJournalHeader() {
    if (!journalOpen()) return;
    storeSourceTime();
    storeHeaderState();
    writeHeader();
}

// At closing: the journal goes to a name of the user's choice, copied without overwriting;
// the old file is deleted only after a successful copy.
static void storeUnderOtherName() {
    Platform &p = plat();
    opts() = (opts() & ~kJnlHasExtension) | kJnlChosen;
    char pick[260];
    for (;;) {
        do {
            if (!pickJournalFile(pick, true)) return;
        } while (sameDriveRefused(pick, g_doc.SrcName));
        if (samePath(pick, g_jnl.JnlName)) return;
        if (g_jnlSession.chosen[0] && samePath(pick, g_jnlSession.chosen)) continue;
        if (p.copyFile(g_jnl.JnlName, pick, true)) break;
        if (p.lastError() == kErrFileExists || p.lastError() == kErrAlreadyExists) {
            if (plat().messageBox("Soll die Datei wirklich überschrieben werden ?",
                                  "Datei überschreiben ?", kMbYesNo) != kIdYes)
                continue;
            if (p.copyFile(g_jnl.JnlName, pick, false)) break;
        }
        plat().messageBox("Fehler beim Schreiben der Datei", "Schreibfehler !", kMbOk);
        return;
    }
    if (!p.deleteFile(g_jnl.JnlName)) reportError(kWriteErrorPrefix, g_jnl.JnlName);
}

void closeJournal() {
    Platform &p = plat();
    if (!journalOpen()) {
        opts() &= ~kJnlPerFileBits;
        clearPageRecords();
        return;
    }
    journalCheckpoint();
    rollbackDetach(g_jnl.JnlHandle); // closing is not a command to take back
    // The user is opening this very journal: it stays where it is, whatever it holds.
    bool chosen = g_jnlSession.chosen[0] && samePath(g_jnl.JnlName, g_jnlSession.chosen);
    if (g_jnl.JnlEnd == kJnlHeaderSize && !chosen) {
        closeJournalHandle();
        if (!p.deleteFile(g_jnl.JnlName)) reportError(kWriteErrorPrefix, g_jnl.JnlName);
    } else {
        refreshSourceTime();
        storeHeaderState();
        writeHeader();
        closeJournalHandle();
        if ((g_settings.MsgOptions & kMsgAskJournal) && !chosen) {
            if (plat().messageBox(
                    "Soll die Protokolldatei\n\nfür spätere Verwendung gespeichert werden ?\n\n"
                    "(Diese Meldung lässt sich unter Extras->Optionen unterbinden.)",
                    "Protokolldatei speichern ?", kMbYesNo) == kIdYes)
                storeUnderOtherName();
            else if (!p.deleteFile(g_jnl.JnlName))
                reportError(kWriteErrorPrefix, g_jnl.JnlName);
        }
    }
    opts() &= ~kJnlPerFileBits;
    clearPageRecords();
}
