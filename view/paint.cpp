#include "view/paint.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/settings.h"
#include "view/status.h"
#include "app/tables.h"
#include "platform/platform.h"
#include "view/scroll.h"

ViewGeometry g_geom;
WindowState g_window;
PaintState g_paint;
void (*g_afterPaintHook)() = nullptr;

void resetPaintState() {
    g_paint = PaintState{};
    g_paint.hexBgDefault = kHexBgDefault;
    g_paint.charBgDefault = kCharBgDefault;
    g_paint.hexBg = kHexBgDefault;
    g_paint.charBg = kCharBgDefault;
    g_paint.markBg = kMarkedBg;
    g_paint.cursorActiveBg = kCursorActiveBg;
    g_paint.cursorInactiveBg = kCursorInactiveBg;
    g_paint.modBg = kJournalledBg;
    resetHeaderLabels();
}

static void computeGeometry(int cw, int lh) {
    g_geom.cw = cw;
    g_geom.lh = lh;
    g_geom.hexX = 21 * cw;
    g_geom.charX = g_geom.hexX + 50 * cw;
}

bool createViewFont() {
    int cw = 0, lh = 0;
    if (!plat().createViewFont(int(g_settings.fontHeight), int(g_settings.fontWidth), &cw, &lh))
        return false;
    computeGeometry(cw, lh);
    return true;
}

bool recreateViewFont() {
    bool ok = createViewFont();
    placeCursor();
    return ok;
}

void setHeaderLabels() {
    char text[51];
    std::memset(text, ' ', 50);
    for (int k = 0; k < 16; ++k)
        std::memcpy(text + kHexColumnOffset[k], g_tables.hexPair[(g_doc.ViewOfs + k) & 15], 2);
    std::memcpy(g_paint.headerLeft, text, 25);
    std::memcpy(g_paint.headerRight, text + 25, 25);
    g_paint.headerLeft[25] = g_paint.headerRight[25] = 0;
}

void resetHeaderLabels() {
    copyString(g_paint.headerLeft, " 00 01 02 03 04 05 06 07 ", 26);
    copyString(g_paint.headerRight, " 08 09 0A 0B 0C 0D 0E 0F ", 26);
}

void formatPartialRow(const uint8_t *bytes, int n, char out[67]) {
    std::memset(out, ' ', 67);
    for (int k = 0; k < n; ++k) {
        std::memcpy(out + kHexColumnOffset[k], g_tables.hexPair[bytes[k]], 2);
        out[51 + k] = char(bytes[k]);
    }
}

void formatRow(const uint8_t *bytes, char out[67]) {
    formatPartialRow(bytes, 16, out);
}

void formatRowAddress(uint64_t pos, char out[21]) {
    out[0] = ' ';
    formatHex32(uint32_t(pos >> 32), out + 9);
    formatHex32(uint32_t(pos), out + 19);
    out[20] = ' ';
}

void placeCursor() {
    int c = int(g_doc.CurOfs & 15), r = int(g_doc.CurOfs >> 4);
    g_doc.CurHexX = g_geom.hexX + (3 * c + (c < 8 ? 1 : 2)) * g_geom.cw;
    g_doc.CurCharX = g_geom.hexX + (51 + c) * g_geom.cw;
    g_doc.CurY = (r + 1) * g_geom.lh;
}

// The 16 mask bits of the displayed row that starts at buffer offset b.
static uint32_t rowMaskBits(uint32_t b) {
    uint32_t bits = 0;
    for (int k = 0; k < 3; ++k) {
        uint32_t idx = (b >> 3) + k;
        if (idx < 128) bits |= uint32_t(g_doc.ModMask[idx]) << (8 * k);
    }
    return (bits >> (b & 7)) & 0xFFFF;
}

static bool rowMayHoldJournalled(uint32_t b) {
    auto word = [](uint32_t off) -> uint32_t {
        uint32_t i = (off >> 4) * 2;
        return i + 1 < 128 ? (g_doc.ModMask[i] | (g_doc.ModMask[i + 1] << 8)) : 0;
    };
    return word(b) != 0 || word(b + 16) != 0;
}

// Cell-by-cell row for journalled bytes: pairs with their blank, then the character cells.
static void drawJournalledRow(int y, const char *text, uint32_t bits, uint32_t hexBg,
                              uint32_t charBg, uint32_t jColour) {
    Platform &p = plat();
    int cw = g_geom.cw, x = g_geom.hexX;
    p.textOut(x, y, text, 1, hexBg);
    for (int k = 0; k < 16; ++k) {
        int off = kHexColumnOffset[k];
        p.textOut(x + off * cw, y, text + off, 3, (bits >> k) & 1 ? jColour : hexBg);
    }
    p.textOut(x + 25 * cw, y, text + 25, 1, hexBg);
    p.textOut(x + 50 * cw, y, text + 50, 1, g_paint.charBgDefault);
    for (int k = 0; k < 16; ++k)
        p.textOut(x + (51 + k) * cw, y, text + 51 + k, 1, (bits >> k) & 1 ? jColour : charBg);
}

static void drawPlainRow(int y, const char *text) {
    plat().textOut(g_geom.hexX, y, text, 50, g_paint.hexBg);
    plat().textOut(g_geom.charX, y, text + 50, 17, g_paint.charBg);
}

static void drawFullyMarkedRow(int y, const char *text, uint32_t b) {
    uint32_t bits = rowMayHoldJournalled(b) ? rowMaskBits(b) : 0;
    if (bits) {
        drawJournalledRow(y, text, bits, g_paint.markBg, g_paint.markBg, kJournalledMarkedBg);
        return;
    }
    Platform &p = plat();
    p.textOut(g_geom.hexX, y, text, 50, g_paint.markBg);
    p.textOut(g_geom.charX, y, text + 50, 1, g_paint.charBgDefault);
    p.textOut(g_geom.charX + g_geom.cw, y, text + 51, 16, g_paint.markBg);
}

static void drawPartlyMarkedRow(int y, const char *text, uint32_t b, int c0, int c1) {
    uint32_t colours[68];
    for (int i = 0; i < 50; ++i)
        colours[i] = g_paint.hexBg;
    colours[50] = g_paint.charBgDefault;
    for (int i = 51; i < 68; ++i)
        colours[i] = g_paint.charBg;
    if (c1 > c0) {
        for (int i = kHexColumnOffset[c0]; i <= kHexColumnOffset[c1 - 1] + 2; ++i)
            colours[i] = g_paint.markBg;
        for (int k = c0; k < c1; ++k)
            colours[51 + k] = g_paint.markBg;
    }
    uint32_t bits = rowMaskBits(b);
    for (int k = 0; k < 16; ++k) {
        if (!((bits >> k) & 1)) continue;
        for (int i = 0; i < 3; ++i) {
            uint32_t &c = colours[kHexColumnOffset[k] + i];
            c = (c | 0x11) ^ kPartialJournalXor;
        }
        colours[51 + k] ^= kPartialJournalXor;
    }
    for (int i = 0; i < 67; ++i)
        plat().textOut(g_geom.hexX + i * g_geom.cw, y, text + i, 1, colours[i]);
}

void drawCursorCell() {
    if (g_doc.PageLen == 0) return;
    uint32_t rowOfs = g_doc.ViewOfs + (g_doc.CurOfs & ~15u);
    char text[67];
    int n = g_doc.PageLen > rowOfs ? int(g_doc.PageLen - rowOfs) : 0;
    formatPartialRow(g_doc.PageBuf + rowOfs, n > 16 ? 16 : n, text);
    int c = int(g_doc.CurOfs & 15);
    bool hexActive = g_doc.CurCol == 0;
    Platform &p = plat();
    p.beginDraw();
    p.textOut(g_doc.CurHexX, g_doc.CurY, text + kHexColumnOffset[c], 2,
              hexActive ? g_paint.cursorActiveBg : g_paint.cursorInactiveBg);
    p.textOut(g_doc.CurCharX, g_doc.CurY, text + 51 + c, 1,
              hexActive ? g_paint.cursorInactiveBg : g_paint.cursorActiveBg);
    p.endDraw();
}

// The match bytes on their own colour, across line ends; the blank after a byte is coloured
// only when the match goes on in the same half of the line.
static void drawSearchMatch() {
    if (!g_paint.matchLen) return;
    if (g_paint.matchOrigin != g_doc.AnfPtr) {
        g_paint.matchLen = 0;
        return;
    }
    Platform &p = plat();
    char text[67];
    uint32_t end = g_paint.matchOfs + g_paint.matchLen;
    for (uint32_t i = g_paint.matchOfs; i < end && i < g_doc.PageLen; ++i) {
        if (i < g_doc.ViewOfs || i >= g_doc.ViewOfs + 512) continue;
        uint32_t o = i - g_doc.ViewOfs;
        int k = int(o & 15), y = int(o / 16 + 1) * g_geom.lh;
        formatPartialRow(g_doc.PageBuf + i - k, 16, text);
        int len = (i + 1 < end && k != 7 && k != 15) ? 3 : 2;
        p.textOut(g_geom.hexX + kHexColumnOffset[k] * g_geom.cw, y, text + kHexColumnOffset[k], len,
                  kSearchMatchBg);
        p.textOut(g_geom.hexX + (51 + k) * g_geom.cw, y, text + 51 + k, 1, kSearchMatchBg);
    }
}

void paintPage() {
    Platform &p = plat();
    g_paint.hexBg = g_paint.hexBgDefault - g_paint.darken;
    g_paint.charBg = g_paint.charBgDefault - g_paint.darken;
    if (p.paintPageLater()) {
        // The rows (and the cursor cell on them) are drawn by the platform; what follows the
        // page is done now.
        if (g_paint.matchLen && g_paint.matchOrigin != g_doc.AnfPtr) g_paint.matchLen = 0;
        if (g_afterPaintHook) g_afterPaintHook();
        return;
    }
    p.beginDraw();
    uint64_t first = g_doc.AnfPtr + g_doc.ViewOfs;
    p.textOut(g_geom.hexX, 0, g_paint.headerLeft, 25, kAddressBg);
    p.textOut(g_geom.hexX + 25 * g_geom.cw, 0, g_paint.headerRight, 25, kAddressBg);

    uint32_t avail = g_doc.PageLen > g_doc.ViewOfs ? g_doc.PageLen - g_doc.ViewOfs : 0;
    uint32_t whole = avail & ~15u;

    bool marked = false;
    int32_t s = 0, e = 0;
    if (g_doc.MarkFlag) {
        s = clampedDiff(g_doc.MarkStart, first);
        e = clampedDiff(g_doc.MarkEnd, first);
        marked = s < 512 && e >= 0;
    }
    int32_t ms = s < 0 ? 0 : s, me = e > 512 ? 512 : e;

    char addr[21];
    char text[67];
    for (int r = 0; r < 32; ++r) {
        uint32_t o = 16u * r, b = g_doc.ViewOfs + o;
        int y = (r + 1) * g_geom.lh;
        formatRowAddress(first + o, addr);
        p.textOut(0, y, addr, 21, kAddressBg);
        if (o >= avail) {
            char blanks[50];
            std::memset(blanks, ' ', 50);
            p.textOut(g_geom.hexX, y, blanks, 50, g_paint.hexBg);
            p.textOut(g_geom.charX, y, blanks, 17, g_paint.charBg);
            continue;
        }
        int n = o < whole ? 16 : int(avail - o);
        formatPartialRow(g_doc.PageBuf + b, n, text);
        int32_t ro = int32_t(o);
        bool partial = marked && ((s >= 0 && (s >> 4) == r) || (e < 512 && (e >> 4) == r));
        if (partial) {
            int c0 = ms > ro ? ms - ro : 0;
            int c1 = me < ro + 16 ? me - ro : 16;
            if (c1 < c0) c1 = c0;
            drawPartlyMarkedRow(y, text, b, c0, c1);
        } else if (marked && ms <= ro && me >= ro + 16) {
            drawFullyMarkedRow(y, text, b);
        } else if (rowMayHoldJournalled(b)) {
            uint32_t bits = rowMaskBits(b);
            if (bits)
                drawJournalledRow(y, text, bits, g_paint.hexBg, g_paint.charBg, g_paint.modBg);
            else
                drawPlainRow(y, text);
        } else {
            drawPlainRow(y, text);
        }
    }
    drawSearchMatch();
    p.endDraw();
    drawCursorCell();
    if (g_afterPaintHook) g_afterPaintHook();
}

void paintWindow() {
    Platform &p = plat();
    p.beginDraw();
    p.textOut(0, 0, "                     ", 21, kAddressBg);
    drawStatusLine();
    drawModeIndicator();
    setScrollPosition();
    paintPage();
    p.endDraw();
}

// ---- the top-left field and the wait banner ----

void showTopLeft(uint64_t p, uint32_t bg) {
    char text[21];
    formatRowAddress(p, text);
    plat().beginDraw();
    plat().textOut(0, 0, text, 21, bg);
    plat().endDraw();
}

void clearTopLeft() {
    plat().beginDraw();
    plat().textOut(0, 0, "                     ", 21, kAddressBg);
    plat().endDraw();
}

void showWaitBanner() {
    static const char kStars[] = "*************************************************************"
                                 "***************************";
    static const char kWait[] = "** Bitte Warten  Bitte Warten  Bitte Warten  Bitte Warten  Bitte "
                                "Warten  Bitte Warten **";
    Platform &p = plat();
    p.beginDraw();
    p.textOut(0, 15 * g_geom.lh, kStars, 88, 0xFFFFFF);
    p.textOut(0, 16 * g_geom.lh, kWait, 88, 0xFFFFFF);
    p.textOut(0, 17 * g_geom.lh, kStars, 88, 0xFFFFFF);
    p.endDraw();
}

// ---- the window follows the font ----

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
