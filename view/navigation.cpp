#include "view/navigation.h"

#include <cstring>

#include "access/docstate.h"
#include "access/textutil.h"
#include "app/messages.h"
#include "app/settings.h"
#include "view/status.h"
#include "app/tables.h"
#include "edit/commit.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "view/mouse.h"
#include "view/paint.h"
#include "view/refresh.h"
#include "view/scroll.h"

// ---- helpers ----

static uint64_t firstShown() {
    return g_doc.AnfPtr + g_doc.ViewOfs;
}

uint64_t cursorPosition() {
    return firstShown() + g_doc.CurOfs;
}

// Blk2Flag a pair at `r` will have once loaded (the source's size decides it).
static uint32_t predictBlk2(uint64_t r) {
    if (r == g_doc.AnfPtr) return g_doc.Blk2Flag;
    return r + 512 < g_doc.FileSize ? 512 : 0;
}

// Shows the pair at `r` with `view`; refuses (1) when that would not move the view forward.
static int showPairForward(uint64_t r, uint32_t view) {
    uint32_t b2 = predictBlk2(r);
    if (view > b2) view = b2;
    if (r + view <= firstShown()) return 1;
    if (r != g_doc.AnfPtr) {
        g_doc.ReadPtr = r;
        gotoPage();
    }
    g_doc.ViewOfs = view;
    showPage();
    return 0;
}

void showPosition(uint64_t target) {
    if (!sourceOpen()) return;
    if (settleOrStay()) return;
    if (target > g_doc.LastPos) target = g_doc.LastPos;
    uint64_t r = target & ~uint64_t(511);
    if (r > g_doc.LastPairPtr) r = g_doc.LastPairPtr;
    uint64_t view = target - r;
    if (view > 512) view = 512;
    if (r != g_doc.AnfPtr) {
        g_doc.ReadPtr = r;
        gotoPage();
    }
    g_doc.ViewOfs = uint32_t(view);
    showPage();
}

// ---- background movement ----

// The view moves forward by `step` bytes; crossing into the next block aligns ViewOfs.
static int viewForward(uint32_t step, uint32_t align) {
    if (!sourceOpen()) return 1;
    if (settleOrStay()) return 1;
    if (g_doc.ViewOfs + step <= g_doc.Blk2Flag) {
        g_doc.ViewOfs += step;
        showPage();
        return 0;
    }
    if (g_doc.AnfPtr >= g_doc.LastPairPtr) {
        // The last pair: go as far as its end allows, so the last bytes can be reached.
        if (g_doc.ViewOfs >= g_doc.Blk2Flag) return 1;
        g_doc.ViewOfs = g_doc.Blk2Flag;
        showPage();
        return 0;
    }
    int64_t v = int64_t(g_doc.ViewOfs) + step - 512;
    uint32_t view = uint32_t(v < 0 ? 0 : v) & align;
    return showPairForward(g_doc.AnfPtr + 512, view);
}

static int viewBack(uint32_t step, uint32_t align) {
    if (!sourceOpen()) return 1;
    if (settleOrStay()) return 1;
    if (g_doc.ViewOfs >= step) {
        g_doc.ViewOfs -= step;
        showPage();
        return 0;
    }
    if (g_doc.AnfPtr >= 512) {
        uint32_t view = (g_doc.ViewOfs + 512 - step) & align;
        g_doc.ReadPtr = g_doc.AnfPtr - 512;
        gotoPage();
        g_doc.ViewOfs = view;
        showPage();
        return 0;
    }
    if (g_doc.AnfPtr == 0 && g_doc.ViewOfs == 0) return 1;
    gotoFirstPage();
    g_doc.ViewOfs = 0;
    showPage();
    return 0;
}

int lineDown() {
    return viewForward(g_scroll.lineStep, g_scroll.alignMask);
}

int lineUp() {
    return viewBack(g_scroll.lineStep, g_scroll.alignMask);
}

int byteRight() {
    if (g_scroll.lock != 0) return 1;
    return viewForward(1, 0xFFFFFFFF);
}

int byteLeft() {
    if (g_scroll.lock != 0) return 1;
    return viewBack(1, 0xFFFFFFFF);
}

int pageDown() {
    if (!sourceOpen()) return 1;
    g_doc.ModFlag &= ~kModLowNibble;
    if (settleOrStay()) return 1;
    if (g_doc.ViewOfs == 0 && g_doc.Blk2Flag >= 512) {
        g_doc.ViewOfs = 512;
        showPage();
        return 0;
    }
    uint64_t target = g_doc.AnfPtr + (g_doc.ViewOfs == 512 ? 1024 : 512);
    uint64_t r = (target > g_doc.LastPairPtr ? g_doc.LastPairPtr : target) & ~uint64_t(511);
    if (r <= g_doc.AnfPtr) return 1;
    // From block 2 the next pair is shown from its start; where the end of the source
    // stops the pair early, its block 2 holds the bytes that follow.
    uint32_t view = g_doc.ViewOfs == 512 ? uint32_t(target - r) : g_doc.ViewOfs;
    return showPairForward(r, view);
}

int pageUp() {
    if (!sourceOpen()) return 1;
    g_doc.ModFlag &= ~kModLowNibble;
    if (settleOrStay()) return 1;
    if (g_doc.ViewOfs == 512) {
        g_doc.ViewOfs = 0;
        showPage();
        return 0;
    }
    uint64_t step = g_doc.ViewOfs == 0 ? 1024 : 512;
    if (g_doc.AnfPtr < step) {
        if (g_doc.AnfPtr == 0 && g_doc.ViewOfs == 0) return 1;
        gotoFirstPage();
        g_doc.ViewOfs = 0;
        showPage();
        return 0;
    }
    uint32_t view = g_doc.ViewOfs == 0 ? 512 : g_doc.ViewOfs;
    g_doc.ReadPtr = g_doc.AnfPtr - step;
    gotoPage();
    g_doc.ViewOfs = view;
    showPage();
    return 0;
}

int fileStart() {
    if (!sourceOpen()) return 1;
    if (settleOrStay()) return 1;
    if (g_doc.AnfPtr == 0) {
        if (g_doc.ViewOfs == 0) return 1;
        g_doc.ViewOfs = 0;
    } else {
        gotoFirstPage();
        g_doc.ViewOfs = 0;
    }
    showPage();
    return 0;
}

int fileEnd() {
    if (!sourceOpen()) return 1;
    if (settleOrStay()) return 1;
    g_doc.MarkFlag &= ~6u;
    uint32_t oldView = g_doc.ViewOfs, oldCur = g_doc.CurOfs;
    bool load = g_doc.AnfPtr != g_doc.LastPairPtr;
    if (load) {
        g_doc.ReadPtr = g_doc.LastPairPtr;
        gotoLastPage();
    }
    g_doc.ViewOfs = g_doc.Blk2Flag;
    // The cursor stays on data: beyond the last byte it is put on that byte.
    if (g_doc.PageLen == 0)
        g_doc.CurOfs = 0;
    else if (g_doc.PageLen - 1 < g_doc.ViewOfs + g_doc.CurOfs)
        g_doc.CurOfs = g_doc.PageLen - 1 - g_doc.ViewOfs;
    if (!load && g_doc.ViewOfs == oldView && g_doc.CurOfs == oldCur) return 1;
    showPage();
    return 0;
}

// ---- drawing single cells ----

void drawPageCell(uint32_t off) {
    if (off >= 512) return;
    uint32_t avail = g_doc.PageLen > g_doc.ViewOfs ? g_doc.PageLen - g_doc.ViewOfs : 0;
    uint32_t rowOfs = off & ~15u, b = g_doc.ViewOfs + rowOfs;
    int c = int(off & 15);
    int32_t r = int32_t(off >> 4), ro = int32_t(rowOfs);
    char text[67];
    uint32_t hexBg = g_paint.hexBg, charBg = g_paint.charBg;
    if (rowOfs >= avail) {
        std::memset(text, ' ', sizeof text);
    } else {
        uint32_t n = avail - rowOfs;
        formatPartialRow(g_doc.PageBuf + b, n > 16 ? 16 : int(n), text);
        uint32_t k = b + uint32_t(c);
        bool journalled = (g_doc.ModMask[k >> 3] >> (k & 7)) & 1;
        // The same marking rules as the painter's rows.
        bool marked = false;
        int32_t s = 0, e = 0;
        if (g_doc.MarkFlag) {
            uint64_t first = firstShown();
            s = clampedDiff(g_doc.MarkStart, first);
            e = clampedDiff(g_doc.MarkEnd, first);
            marked = s < 512 && e >= 0;
        }
        int32_t ms = s < 0 ? 0 : s, me = e > 512 ? 512 : e;
        bool partial = marked && ((s >= 0 && (s >> 4) == r) || (e < 512 && (e >> 4) == r));
        if (partial) {
            int c0 = ms > ro ? ms - ro : 0;
            int c1 = me < ro + 16 ? me - ro : 16;
            if (c >= c0 && c < c1) hexBg = charBg = g_paint.markBg;
            if (journalled) {
                hexBg = (hexBg | 0x11) ^ kPartialJournalXor;
                charBg ^= kPartialJournalXor;
            }
        } else if (marked && ms <= ro && me >= ro + 16) {
            hexBg = charBg = journalled ? kJournalledMarkedBg : g_paint.markBg;
        } else if (journalled) {
            hexBg = charBg = kJournalledBg;
        }
    }
    Platform &p = plat();
    int y = (r + 1) * g_geom.lh;
    p.beginDraw();
    p.textOut(g_geom.hexX + kHexColumnOffset[c] * g_geom.cw, y, text + kHexColumnOffset[c], 2,
              hexBg);
    p.textOut(g_geom.hexX + (51 + c) * g_geom.cw, y, text + 51 + c, 1, charBg);
    p.endDraw();
}

void moveCursorTo(uint32_t off) {
    if (off > 511) off = 511;
    // A byte just typed keeps its input colours until the page is painted again.
    if (!(g_doc.InputFlag & 1)) drawPageCell(g_doc.CurOfs);
    g_doc.InputFlag &= ~1u;
    g_doc.CurOfs = off;
    placeCursor();
    drawCursorCell();
    if (g_afterPaintHook) g_afterPaintHook(); // the values window follows the cursor
}

void keepBytesOnPage(uint32_t count) {
    if (g_doc.CurOfs + count <= 512) return;
    if (g_doc.ViewOfs < 513 - count) {
        g_doc.ViewOfs += 16;
        g_doc.CurOfs -= 16;
    } else {
        uint64_t next = g_doc.AnfPtr + 512;
        if (next > g_doc.LastPairPtr) next = g_doc.LastPairPtr;
        if (next != g_doc.AnfPtr) {
            g_doc.ReadPtr = next;
            gotoPage();
            g_doc.ViewOfs = g_doc.ViewOfs + 16 - 512;
            g_doc.CurOfs -= 16;
        }
    }
    showPage(kShowKeepView);
}

// ---- cursor movement ----

static void beginCursorMove() {
    g_doc.MarkFlag &= ~6u;
    g_doc.ModFlag &= ~kModLowNibble;
}

// Scrolls one line down or up and keeps the cursor on the byte at `want` when that byte is
// on the page afterwards. The cursor is placed before the scroll so the repaint draws it.
static int lineScroll(bool down, uint64_t want) {
    uint32_t saved = g_doc.CurOfs;
    int64_t rel = int64_t(want) - int64_t(firstShown());
    int64_t step = g_scroll.lineStep;
    int64_t predicted = down ? rel - step : rel + step;
    if (predicted >= 0 && predicted < 512) g_doc.CurOfs = uint32_t(predicted);
    placeCursor();
    if (down ? lineDown() : lineUp()) {
        g_doc.CurOfs = saved;
        placeCursor();
        return 1;
    }
    g_doc.InputFlag &= ~1u; // the page was painted whole
    rel = int64_t(want) - int64_t(firstShown());
    if (rel >= 0 && rel < 512 && uint32_t(rel) != g_doc.CurOfs) moveCursorTo(uint32_t(rel));
    return 0;
}

int lineDownKeepingCursor() {
    return lineScroll(true, cursorPosition());
}

int lineUpKeepingCursor() {
    return lineScroll(false, cursorPosition());
}

// Puts the cursor on the source byte `target`, scrolling when it is off the page.
static int cursorToPosition(uint64_t target) {
    uint64_t first = firstShown();
    if (target >= first && target < first + 512) {
        moveCursorTo(uint32_t(target - first));
        return 0;
    }
    bool down = target >= first + 512;
    // An unaligned view may need a second line step to reach the byte.
    for (int i = 0; i < 2; ++i) {
        if (lineScroll(down, target)) return i == 0 ? 1 : 0;
        first = firstShown();
        if (target >= first && target < first + 512) return 0;
    }
    return 0;
}

int cursorDown() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    uint64_t cur = cursorPosition();
    if (cur + 16 >= g_doc.FileSize) return 1;
    return cursorToPosition(cur + 16);
}

int cursorUp() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    uint64_t cur = cursorPosition();
    if (cur < 16) {
        drawCursorCell();
        return 1;
    }
    return cursorToPosition(cur - 16);
}

int cursorRight() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    uint64_t cur = cursorPosition();
    if (cur + 1 >= g_doc.FileSize) return 1;
    return cursorToPosition(cur + 1);
}

int cursorLeft() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    uint64_t cur = cursorPosition();
    if (cur == 0) return 1;
    return cursorToPosition(cur - 1);
}

int rowStart() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    moveCursorTo(g_doc.CurOfs & ~15u);
    return 0;
}

int rowEnd() {
    if (!sourceOpen()) return 1;
    beginCursorMove();
    uint32_t off = g_doc.CurOfs | 15u;
    // The last row of the source may be short: End stops on its last byte.
    uint32_t avail = g_doc.PageLen > g_doc.ViewOfs ? g_doc.PageLen - g_doc.ViewOfs : 0;
    if (avail > 0 && off >= avail) off = avail - 1 > g_doc.CurOfs ? avail - 1 : g_doc.CurOfs;
    moveCursorTo(off);
    return 0;
}

int switchColumn() {
    if (!sourceOpen()) return 1;
    g_doc.ModFlag &= ~kModLowNibble;
    g_doc.CurCol ^= 1;
    placeCursor();
    drawCursorCell();
    return 0;
}

// ---- scroll bar, wheel, auto scroll ----

int scrollThumb(int pos) {
    if (!sourceOpen()) return 1;
    int p = int16_t(pos);
    if (p < 0) p = 0;
    uint64_t t;
    if (p >= g_scroll.maximum) {
        // The end of the bar shows the end of the source.
        t = g_doc.LastPairPtr + predictBlk2(g_doc.LastPairPtr);
    } else if (scrollHighMode()) {
        t = uint64_t(uint32_t(p) << g_doc.ScrollShift) << 32;
        if (t > g_doc.LastPairPtr) t = g_doc.LastPairPtr;
    } else {
        t = (uint64_t(p) << g_doc.ScrollShift) & ~uint64_t(15);
        if (t > g_doc.LastBlkPtr) t = g_doc.LastBlkPtr;
    }
    if (t == g_doc.AnfPtr + (g_doc.ViewOfs & ~15u)) return 1;
    if (settleOrStay()) return 1;
    uint32_t view = (g_doc.ViewOfs & 15) + uint32_t(t & 0x1F0);
    uint64_t r = t & ~uint64_t(511);
    if (r > g_doc.LastPairPtr) {
        view += uint32_t(r - g_doc.LastPairPtr);
        r = g_doc.LastPairPtr;
    }
    if (r != g_doc.AnfPtr) {
        g_doc.ReadPtr = r;
        gotoPage();
    }
    g_doc.ViewOfs = view;
    showPage();
    return 0;
}

int scrollBarCommand(int code, int pos) {
    switch (code) {
    case kSbLineUp:
        return lineUp();
    case kSbLineDown:
        return lineDown();
    case kSbPageUp:
        return pageUp();
    case kSbPageDown:
        return pageDown();
    case kSbThumbPosition:
    case kSbThumbTrack:
        return scrollThumb(pos);
    case kSbTop:
        return fileStart();
    case kSbBottom:
        return fileEnd();
    default:
        return 1;
    }
}

int wheelStep() {
    if (!sourceOpen() || g_events.wheelDelta == 0) return 1;
    bool ctrl = g_events.wheelKeys & kMkControl, shift = g_events.wheelKeys & kMkShift;
    uint32_t small = 16, large = 0;
    if (!(ctrl && shift)) {
        int k = ctrl ? 1 : shift ? 2 : 0;
        small = g_scroll.wheelSmall[k];
        large = g_scroll.wheelLarge[k];
    }
    if (small == 0 && large == 0) return 1;
    if (settleOrStay()) return 1;
    // Whole-block steps count from the first byte shown, so that each one moves the view.
    uint64_t first = firstShown();
    if (g_events.wheelDelta > 0) { // forward: toward the start
        if (small) return viewBack(small, 0xFFFFFFFF);
        if (first == 0) return 1;
        uint64_t r = first > large ? (first - large) & ~uint64_t(511) : 0;
        if (r != g_doc.AnfPtr) {
            g_doc.ReadPtr = r;
            gotoPage();
        }
        g_doc.ViewOfs = 0;
        showPage();
        return 0;
    }
    if (small) return viewForward(small, 0xFFFFFFFF);
    uint64_t target = (first + large) & ~uint64_t(511);
    if (target >= g_doc.LastPairPtr) // the last pair, shown to its end
        return showPairForward(g_doc.LastPairPtr, 512);
    return showPairForward(target, 0);
}

static int autoScroll(bool down) {
    if (!sourceOpen()) return 1;
    showAutoScroll(down);
    for (;;) {
        int k = plat().pollMessage();
        if (k == ' ' || k == 27) break;
        if ((down ? pageDown() : pageUp()) != 0) break;
    }
    endTransient();
    return 0;
}

int autoScrollDown() {
    return autoScroll(true);
}

int autoScrollUp() {
    return autoScroll(false);
}

// ---- zoom and raster ----

// Zooming trades height for width: the page grows wider and flatter, or narrower and taller.
int zoomIn() {
    if (g_settings.fontWidth >= kZoomMaxWidth || g_settings.fontHeight <= kZoomMinHeight) return 1;
    g_settings.fontWidth += 1;
    g_settings.fontHeight -= 1;
    refitWindow();
    return 0;
}

int zoomOut() {
    if (g_settings.fontWidth <= kZoomMinWidth || g_settings.fontHeight >= kZoomMaxHeight) return 1;
    g_settings.fontWidth -= 1;
    g_settings.fontHeight += 1;
    refitWindow();
    return 0;
}

void chooseScrollRaster(uint32_t mode) {
    applyScrollRaster(mode);
    if (sourceOpen()) computeScrollRange();
    drawStatusLine();
    showPage();
}

// ---- arrow keys ----

// Plain arrows move the cursor in cursor-movement mode and the page otherwise; Alt with an
// arrow does the other.
bool arrowCommand(unsigned number) {
    bool cursorMode = g_doc.ModFlag & kModCursorMove;
    switch (number) {
    case IDM_ARROW_DOWN:
        cursorMode ? cursorDown() : lineDown();
        return true;
    case IDM_ARROW_UP:
        cursorMode ? cursorUp() : lineUp();
        return true;
    case IDM_ARROW_RIGHT:
        cursorMode ? cursorRight() : byteRight();
        return true;
    case IDM_ARROW_LEFT:
        cursorMode ? cursorLeft() : byteLeft();
        return true;
    case IDM_ALT_ARROW_RIGHT:
        cursorMode ? byteRight() : cursorRight();
        return true;
    case IDM_ALT_ARROW_LEFT:
        cursorMode ? byteLeft() : cursorLeft();
        return true;
    case IDM_ALT_ARROW_UP:
        cursorMode ? lineUp() : cursorUp();
        return true;
    case IDM_ALT_ARROW_DOWN:
        cursorMode ? lineDown() : cursorDown();
        return true;
    default:
        return false;
    }
}
