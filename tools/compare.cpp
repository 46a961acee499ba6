#include "tools/compare.h"

#include <cstring>

#include "access/docstate.h"
#include "access/files.h"
#include "access/heldview.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "edit/commit.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "view/paint.h"
#include "view/refresh.h"

CompareState g_cmp;

void resetCompareState() {
    std::memset(&g_cmp, 0, sizeof g_cmp);
    g_cmp.File = kInvalidHandle;
}

static void showOffset() {
    showTopLeft(g_cmp.Offset, kAddressBg);
}

static void info(const char *text, const char *caption) {
    plat().messageBox(text, caption, kMbOk | kMbIconInformation | kMbTaskModal);
}

static void equalHint() {
    if (g_settings.MsgOptions & kMsgCompare)
        info("vergleichen mit F6 !\n\n(Diese Meldung lässt sich unter Extras->Optionen "
             "unterbinden.)",
             "Hinweis");
}

int compareOtherFile() {
    g_cmp.Offset = 0;
    if (!sourceOpen()) {
        info("Bitte zunächst die 1. Datei öffnen ! \n\n -> Datei -> Öffnen",
             "1. Datei nicht geöffnet");
        return 1;
    }
    Platform &p = plat();
    FileDialogRecord &d = g_open.outDlg;
    d.readOnly = true;
    d.showReadOnly = true;
    d.dialogTitle = nullptr;
    d.filterIndex = 1;
    bool chosen = p.openFileDialog(d);
    g_open.mouseSuppressed = true;
    if (!chosen) return 1;
    // Only a file that exists: a comparison has nothing to compare with an empty new file.
    Handle h = p.openFile(d.file, kAccessRead, kShareRead | kShareWrite, Disposition::OpenExisting);
    if (h == kInvalidHandle) return 1;
    uint64_t size = 0;
    if (!p.fileSize(h, &size)) {
        p.closeHandle(h);
        return 1;
    }
    if (g_cmp.File != kInvalidHandle) p.closeHandle(g_cmp.File);
    g_cmp.File = h;
    g_cmp.Size = size;
    copyString(g_cmp.Name, d.file, sizeof g_cmp.Name);
    g_cmp.Mode = kCompareOtherFile;
    showOffset();
    if (size > g_doc.FileSize)
        info("WARNUNG !\n\nDie Datei ist größer als die erste !\n\n-----------------------------"
             "\n\nvergleichen mit F6 !",
             "2. Datei größer");
    else if (size < g_doc.FileSize)
        info("WARNUNG !\n\nDie Datei ist kleiner als die erste !\n\n----------------------------"
             "-\n\nvergleichen mit F6 !",
             "2. Datei kleiner");
    else
        equalHint();
    return 0;
}

int compareSameFile() {
    if (!sourceOpen()) return 1;
    g_cmp.Offset = 0;
    g_cmp.Mode = kCompareSameFile;
    showOffset();
    equalHint();
    return 0;
}

int compareOffsetAtCursor() {
    if (!sourceOpen()) return 1;
    g_cmp.Offset = g_doc.AnfPtr + g_doc.ViewOfs + g_doc.CurOfs;
    showOffset();
    return 0;
}

void formatOffsetWord(uint32_t v, char out[10]) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0, k = 0; i < 8; ++i) {
        if (i == 4) out[k++] = ' ';
        out[k++] = kDigits[(v >> (28 - 4 * i)) & 15];
    }
    out[9] = 0;
}

uint32_t parseOffsetWord(const char *text) {
    uint32_t v = 0;
    for (int n = 0; *text && n < 8; ++text) {
        char c = *text;
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                       : -1;
        if (d < 0) continue;
        v = v << 4 | uint32_t(d);
        ++n;
    }
    return v;
}

class OffsetDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        char t[10];
        formatOffsetWord(uint32_t(g_cmp.Offset >> 32), t);
        host.setText(IDC_OFFSET_HIGH, t);
        formatOffsetWord(uint32_t(g_cmp.Offset), t);
        host.setText(IDC_OFFSET_LOW, t);
        host.setLimit(IDC_OFFSET_HIGH, 9);
        host.setLimit(IDC_OFFSET_LOW, 9);
    }
    bool command(DialogHost &host, int id, int) override {
        if (id == IDC_OFFSET_OK) {
            char hi[16] = {}, lo[16] = {};
            host.getText(IDC_OFFSET_HIGH, hi, sizeof hi);
            host.getText(IDC_OFFSET_LOW, lo, sizeof lo);
            g_cmp.Offset = uint64_t(parseOffsetWord(hi)) << 32 | parseOffsetWord(lo);
            host.end(1);
            return true;
        }
        if (id == IDC_OFFSET_CANCEL) {
            host.end(0);
            return true;
        }
        return false;
    }
};

int compareSetOffset() {
    OffsetDialog logic;
    if (plat().runModalDialog(IDD_COMPARE_OFFSET, logic) != 1) return 1;
    showOffset();
    return 0;
}

int closeCompareFile() {
    endCompareView();
    if (g_cmp.File != kInvalidHandle) plat().closeHandle(g_cmp.File);
    g_cmp.File = kInvalidHandle;
    g_cmp.Name[0] = 0;
    g_cmp.Size = 0;
    g_cmp.Mode = kCompareNone;
    return 0;
}

// The difference map: a bit for each byte of the page buffer that is not the saved one.
static void buildDifferenceMap() {
    std::memset(g_doc.ModMask, 0, sizeof g_doc.ModMask);
    for (uint32_t i = 0; i < 1024; ++i)
        if (g_doc.PageBuf[i] != g_cmp.SavedPage[i]) g_doc.ModMask[i >> 3] |= uint8_t(1u << (i & 7));
}

static void showDifferences(uint32_t view) {
    buildDifferenceMap();
    g_doc.ViewOfs = view;
    g_paint.modBg = kCompareDiffBg;
    showPage(kShowKeepView);
    showOffset();
}

int showCompareFile() {
    if (!sourceOpen() || g_cmp.Mode == kCompareNone) return 1;
    settlePendingInputs();
    if (heldViewShown()) return 1;
    g_held.HeldView |= kHeldShown;
    g_held.Kind = kHeldCompare;
    g_held.ReturnPtr = g_doc.AnfPtr;
    g_held.ReturnView = g_doc.ViewOfs;
    g_paint.matchLen = 0; // a search match of the first file means nothing over the second
    uint64_t origin = g_doc.AnfPtr, rounded = g_cmp.Offset & ~uint64_t(511);
    int64_t view = int64_t(g_doc.ViewOfs) - int64_t(g_cmp.Offset & 511);
    bool negative = int64_t(g_cmp.Offset) >= 0 && rounded > origin;
    uint64_t origin2 = origin - rounded;
    if (view < 0 || negative) return 0;
    if (g_cmp.Mode == kCompareOtherFile) {
        if (origin2 + uint64_t(view) >= g_cmp.Size) return 0;
        Platform &p = plat();
        uint8_t buf[1024];
        uint32_t got = 0;
        if (!p.seekFile(g_cmp.File, origin2) || !p.readFile(g_cmp.File, buf, 1024, &got) ||
            got <= uint64_t(view))
            return 0; // the page stays
        std::memcpy(g_cmp.SavedPage, g_doc.PageBuf, 1024);
        std::memset(g_doc.PageBuf, 0, sizeof g_doc.PageBuf);
        std::memcpy(g_doc.PageBuf, buf, got);
        g_doc.Blk1Len = got < 512 ? got : 512;
        g_doc.Blk2Len = got - g_doc.Blk1Len;
        g_doc.PageLen = got;
        g_doc.Blk2Flag = g_doc.Blk2Len ? 512 : 0;
        p.setTitle(g_cmp.Name);
        showDifferences(uint32_t(view));
        return 0;
    }
    if (origin2 > g_doc.LastPairPtr) return 0;
    std::memcpy(g_cmp.SavedPage, g_doc.PageBuf, 1024);
    movePairTo(origin2);
    showDifferences(uint32_t(view));
    return 0;
}

int endCompareView() {
    if (!heldViewShown() || g_held.Kind != kHeldCompare) return 1;
    g_held.HeldView &= ~kHeldShown;
    g_held.Kind = kHeldNone;
    g_paint.modBg = kJournalledBg;
    // The page buffer holds foreign bytes: load both blocks again, never reuse them.
    g_doc.ReadPtr = g_held.ReturnPtr;
    if (g_doc.AnfPtr == g_held.ReturnPtr)
        reloadPage();
    else
        movePairTo(g_held.ReturnPtr);
    g_doc.ViewOfs = g_held.ReturnView;
    plat().setTitle(g_doc.SrcName);
    showPage(kShowStatus);
    return 0;
}
