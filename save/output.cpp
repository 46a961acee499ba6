#include "save/output.h"

#include <cstring>

#include "access/docstate.h"
#include "access/errors.h"
#include "access/files.h"
#include "access/source.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/overlay.h"
#include "view/paint.h"
#include "view/refresh.h"

OutputState g_output;

namespace {

// Pieces of 1 MiB: large enough for the speed of a plain copy, and the same memory whatever
// the size of the source.
constexpr uint32_t kPiece = 1u << 20;
uint8_t g_piece[kPiece];

uint64_t g_need; // bytes the chosen file must take (seen by the dialog's path test)

bool sameFile(const char *a, const char *b) {
    char fa[260], fb[260];
    Platform &p = plat();
    if (!p.fullPathName(a, fa, sizeof fa)) copyString(fa, a, sizeof fa);
    if (!p.fullPathName(b, fb, sizeof fb)) copyString(fb, b, sizeof fb);
    return samePath(fa, fb);
}

// The source and its journal are never a target: writing them from themselves would destroy
// the bytes being written.
bool refusedTarget(const char *path) {
    bool source = sourceOpen() && !diskMode() && sameFile(path, g_doc.SrcName);
    bool journal = journalOpen() && sameFile(path, g_jnl.JnlName);
    if (!source && !journal) return false;
    plat().messageBox(source ? "Die geöffnete Datei kann nicht ihr eigenes Ziel sein !\n\n"
                               "Bitte einen anderen Dateinamen wählen !"
                             : "Die Protokolldatei kann nicht als Ziel gewählt werden !\n\n"
                               "Bitte einen anderen Dateinamen wählen !",
                      "Ungültiges Ziel !", kMbOk | kMbIconWarning | kMbTaskModal);
    return true;
}

// Tested before the file is opened, so that a file to be overwritten is not emptied for a
// write that cannot take place.
bool acceptTarget(const char *path) {
    return !refusedTarget(path) && checkFreeSpace(path, g_need) == 0;
}

bool writeOut(const uint8_t *data, uint32_t n, const char *outName) {
    uint32_t put = 0;
    if (plat().writeFile(g_output.OutHandle, data, n, &put) && put == n) return true;
    reportError(kWriteErrorPrefix, outName);
    return false;
}

void closeOutput() {
    if (g_output.OutHandle == kInvalidHandle) return;
    plat().closeHandle(g_output.OutHandle);
    g_output.OutHandle = kInvalidHandle;
}

// The output after a failed write: a new file is removed, an appended one cut back to what it
// held, so that no piece of a file is left looking like the whole.
void undoOutput(bool append, uint64_t oldEnd, const char *name) {
    Platform &p = plat();
    if (append) {
        if (!p.seekFile(g_output.OutHandle, oldEnd) || !p.setEndOfFile(g_output.OutHandle))
            reportError(kWriteErrorPrefix, name);
        closeOutput();
    } else {
        closeOutput();
        p.deleteFile(name);
    }
}

// Esc during a long write, looked for about every 30 ms so that the check costs nothing.
class EscWatch {
  public:
    bool stopAsked() {
        if (!pace_.due()) return false;
        Platform &p = plat();
        for (int i = 0; i < 64; ++i) {
            int c = p.pollMessage();
            if (c < 0) break;
            if (c == 27)
                return askYesNo("Soll der Speichervorgang abgebrochen werden ?", "Abbrechen ?",
                                true) == kIdYes;
        }
        return false;
    }

  private:
    Pacer pace_;
};

// The end of the marked range within the source; 0 when there is nothing marked.
bool markedRange(uint64_t *from, uint64_t *to) {
    if (!g_doc.MarkFlag) return false;
    *from = g_doc.MarkStart;
    *to = g_doc.MarkEnd < g_doc.FileSize ? g_doc.MarkEnd : g_doc.FileSize;
    return *to > *from;
}

// The page on screen: the bytes the view shows from ViewOfs on, up to 512.
uint32_t pageCount() {
    uint32_t len = g_doc.PageLen;
    if (len <= g_doc.ViewOfs) return 0;
    return len - g_doc.ViewOfs < 512 ? len - g_doc.ViewOfs : 512;
}

// Writes [from, to) into a new file or appends it; the view is shown again afterwards.
int writeRangeTo(uint64_t from, uint64_t to, bool append) {
    int r = append ? openAppendFile(to - from) : openOutputFile(to - from);
    if (r) return 1;
    const char *name = append ? g_output.AppendName : g_output.OutName;
    uint64_t oldEnd = 0;
    if (append) plat().fileSize(g_output.OutHandle, &oldEnd);
    r = writeViewRange(from, to, name);
    if (r == 2)
        undoOutput(append, oldEnd, name);
    else
        closeOutput();
    showPage(kShowStatus);
    return r ? 1 : 0;
}

int writePageTo(bool append) {
    uint32_t n = pageCount();
    if (append ? openAppendFile(n) : openOutputFile(n)) return 1;
    const char *name = append ? g_output.AppendName : g_output.OutName;
    uint64_t oldEnd = 0;
    if (append) plat().fileSize(g_output.OutHandle, &oldEnd);
    bool ok = writeOut(g_doc.PageBuf + g_doc.ViewOfs, n, name);
    if (!ok)
        undoOutput(append, oldEnd, name);
    else
        closeOutput();
    return ok ? 0 : 1;
}

} // namespace

void resetOutputState() {
    std::memset(&g_output, 0, sizeof g_output);
    g_output.OutHandle = kInvalidHandle;
}

int openOutputFile(uint64_t need) {
    FileDialogRecord &d = g_open.outDlg;
    d.readOnly = false;
    d.showReadOnly = true;
    g_need = need;
    if (chooseOutputFile(acceptTarget)) return 1;
    g_output.OutHandle = g_open.outHandle;
    g_open.outHandle = kInvalidHandle;
    copyString(g_output.OutName, d.file, sizeof g_output.OutName);
    // The box goes back to the user's default for opening files.
    d.readOnly = !(g_settings.readOnlyWord & 1);
    return 0;
}

int openAppendFile(uint64_t need) {
    Platform &p = plat();
    FileDialogRecord &d = g_open.outDlg;
    d.readOnly = false;
    d.showReadOnly = true;
    d.file[0] = 0;
    g_output.AppendName[0] = 0;
    for (;;) {
        bool ok = p.saveFileDialog(d);
        g_open.mouseSuppressed = true;
        if (!ok) return 1;
        if (d.readOnly) {
            if (p.messageBox("Datei wurde mit Schreibschutz geöffnet ! Bitte ggf. ohne "
                             "Schreibschutz NEU öffnen !",
                             "Ohne Schreibschutz neu öffnen?",
                             kMbOkCancel | kMbIconQuestion | kMbTaskModal) != kIdOk)
                return 1;
            d.readOnly = false;
            continue;
        }
        if (refusedTarget(d.file)) continue;
        if (checkFreeSpace(d.file, need)) continue;
        break;
    }
    copyString(g_output.AppendName, d.file, sizeof g_output.AppendName);
    Handle h = p.openFile(g_output.AppendName, kAccessRead | kAccessWrite, kShareRead,
                          Disposition::OpenExisting);
    uint64_t end = 0;
    if (h == kInvalidHandle || !p.fileSize(h, &end) || !p.seekFile(h, end)) {
        reportError(kWriteErrorPrefix, g_output.AppendName);
        if (h != kInvalidHandle) p.closeHandle(h);
        return 1;
    }
    g_output.OutHandle = h;
    return 0;
}

int writeViewRange(uint64_t from, uint64_t to, const char *outName) {
    if (to <= from) return 0;
    showWaitBanner();
    EscWatch esc;
    OverlayCursor cursor;
    startOverlay(cursor);
    // Pieces start on a block boundary (a drive is read by whole sectors).
    for (uint64_t pos = from; pos < to;) {
        if (esc.stopAsked()) return 1;
        uint64_t start = pos & ~uint64_t(511);
        uint32_t n = to - start < kPiece ? uint32_t(to - start) : kPiece;
        uint32_t want = diskMode() ? (n + 511) & ~511u : n, got = 0;
        if (!readSourceBytes(start, want, g_piece, &got)) return 2;
        if (got < n) {
            // The source became shorter behind the program's back.
            plat().setLastError(kErrHandleEof);
            reportError(kReadErrorPrefix, g_doc.SrcName);
            return 2;
        }
        if (!overlayRange(cursor, start, n, g_piece)) return 2;
        if (!writeOut(g_piece + (pos - start), uint32_t(start + n - pos), outName)) return 2;
        pos = start + n;
        showTopLeft(pos, 0xFFFFFF);
    }
    return 0;
}

// ---- the commands ----

int savePageAs() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    return writePageTo(false);
}

int appendPage() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    return writePageTo(true);
}

int saveMarkAs() {
    uint64_t from, to;
    if (!sourceOpen() || !markedRange(&from, &to)) return 1;
    settlePendingInputs();
    return writeRangeTo(from, to, false);
}

int appendMark() {
    uint64_t from, to;
    if (!sourceOpen() || !markedRange(&from, &to)) return 1;
    settlePendingInputs();
    return writeRangeTo(from, to, true);
}

int saveAllAs() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    return writeRangeTo(0, g_doc.FileSize, false);
}

int appendAll() {
    if (!sourceOpen()) return 1;
    settlePendingInputs();
    return writeRangeTo(0, g_doc.FileSize, true);
}
