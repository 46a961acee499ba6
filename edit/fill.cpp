#include "edit/fill.h"

#include <cstdio>
#include <cstring>

#include "access/docstate.h"
#include "access/files.h"
#include "edit/clipboard.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/overlay.h"
#include "res/resource.h"
#include "view/paint.h"
#include "view/scroll.h"

FillState g_fill;

void resetFillState() {
    g_fill.FillValue = 0x58;
}

// ---- the dialog ----

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0; // not a digit: counts as 0
}

void FillDialog::show(DialogHost &host, int except) {
    uint8_t v = g_fill.FillValue;
    char text[8];
    if (except != IDC_FILL_CHAR) {
        text[0] = char(v);
        text[1] = 0;
        host.setText(IDC_FILL_CHAR, text);
    }
    if (except != IDC_FILL_HEX) {
        std::snprintf(text, sizeof text, "%02X", v);
        host.setText(IDC_FILL_HEX, text);
    }
    if (except != IDC_FILL_DEC) {
        std::snprintf(text, sizeof text, "%u", v);
        host.setText(IDC_FILL_DEC, text);
    }
}

void FillDialog::init(DialogHost &host) {
    focused_ = 0;
    host.setLimit(IDC_FILL_CHAR, 1);
    host.setLimit(IDC_FILL_HEX, 2);
    host.setLimit(IDC_FILL_DEC, 3);
    show(host, 0);
    host.focus(IDC_FILL_CHAR);
    host.select(IDC_FILL_CHAR, 0, -1);
    focused_ = IDC_FILL_CHAR;
}

bool FillDialog::command(DialogHost &host, int id, int notify) {
    if (id == IDC_FILL_OK || id == IDC_FILL_CANCEL) {
        host.end(id);
        return true;
    }
    if (id != IDC_FILL_CHAR && id != IDC_FILL_HEX && id != IDC_FILL_DEC) return false;
    if (notify == kEditSetFocus) {
        focused_ = id;
        return true;
    }
    if (notify != kEditChange || id != focused_) return false;
    char text[8] = {};
    int n = host.getText(id, text, sizeof text);
    if (n < 0) n = 0;
    unsigned v = 0;
    if (id == IDC_FILL_CHAR) {
        v = uint8_t(text[0]);
    } else if (id == IDC_FILL_HEX) {
        for (int i = 0; i < n && i < 2; ++i)
            v = v * 16 + unsigned(hexDigit(text[i]));
    } else {
        for (int i = 0; i < n && i < 3; ++i)
            v = v * 10 + unsigned(text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : 0);
        if (v > 255) v = 255;
    }
    g_fill.FillValue = uint8_t(v);
    show(host, id);
    return true;
}

bool fillDialog() {
    FillDialog logic;
    return plat().runModalDialog(IDD_FILL, logic) == IDC_FILL_OK;
}

// ---- the page fills ----

// Writes the 512 displayed bytes with `value(i)` and commits them through the reload.
static int fillView(uint8_t (*value)(uint32_t i), bool drawnAsInput) {
    if (!sourceOpen() || refuseWithoutJournal()) return 1;
    uint32_t from = g_doc.ViewOfs, to = from + 512;
    if (to > g_doc.PageLen) to = g_doc.PageLen; // the source never grows
    if (from >= to) return 1;
    for (uint32_t k = from; k < to; ++k)
        g_doc.PageBuf[k] = value(k - from);
    setModRange(from, to - from);
    // Separate inputs: the blocks are not tied to a run.
    if (from < 512) {
        g_doc.InputFlag |= kInputBlk1;
        setSegmentBits(1, 0);
    }
    if (to > 512) {
        g_doc.InputFlag |= kInputBlk2;
        setSegmentBits(2, 0);
    }
    if (drawnAsInput) g_doc.InputFlag |= 1;
    g_doc.ReadPtr = g_doc.AnfPtr;
    reloadPage();
    setScrollPosition();
    paintPage();
    return 0;
}

static uint8_t fillValueAt(uint32_t) {
    return g_fill.FillValue;
}

static uint8_t ownIndex(uint32_t i) {
    return uint8_t(i);
}

int fillPage() {
    return fillView(fillValueAt, true);
}

int fillAllValues() {
    return fillView(ownIndex, false);
}

static uint32_t feedFill(void *, uint8_t *dst, uint32_t want) {
    std::memset(dst, g_fill.FillValue, want);
    return want;
}

int fillMarking() {
    if (!sourceOpen() || !g_doc.MarkFlag || g_doc.MarkEnd <= g_doc.MarkStart) return 1;
    if (refuseWithoutJournal()) return 1;
    uint64_t n = g_doc.MarkEnd - g_doc.MarkStart;
    if (!(g_doc.AccessFlag & kAccDirect) && journalOpen()) {
        // Each pair may take two entries (640 bytes per 512) beyond what the bytes need.
        uint64_t need = n + (n + 1) / 2 + 2 * kJnlEntrySize;
        if (checkFreeSpace(g_jnl.JnlName, need) != 0) {
            plat().messageBox("Dieses Problem läßt sich ggf. durch eine Umstellung\nauf den "
                              "Direktzugriff umgehen (Extras->Optionen).",
                              "zu wenig Platz für die Protokolldatei", kMbOkCancel);
            return 1;
        }
    }
    showWaitBanner();
    writeRun(g_doc.MarkStart, n, feedFill, nullptr);
    return 0;
}

int fillPageCommand() {
    if (!sourceOpen() || !fillDialog()) return 1;
    return fillPage();
}

int fillMarkingCommand() {
    if (!sourceOpen() || !fillDialog()) return 1;
    g_commit.FillBatch = kFillRunning;
    return fillMarking();
}
