#include "view/mouse.h"

#include "access/docstate.h"
#include "access/files.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "view/navigation.h"
#include "view/paint.h"
#include "view/scroll.h"

MouseState g_mouse;

// The menu items that follow the marking.
static const unsigned kMarkingItems[5] = {IDM_CLEAR_MARKING, IDM_REMEMBER_MARKING, IDM_COPY,
                                          IDM_DISCARD_RANGE, IDM_REDO_ALL};

// For each character of a row from hexX: the nibble it shows (2 * byte, + 1 for a low hex
// digit), 255 for a separator.
struct CharPositionTable {
    uint8_t nibble[67];
    constexpr CharPositionTable() : nibble() {
        for (int p = 0; p < 67; ++p)
            nibble[p] = 255;
        for (int k = 0; k < 16; ++k) {
            int at = k < 8 ? 1 + 3 * k : 2 + 3 * k;
            nibble[at] = uint8_t(2 * k);
            nibble[at + 1] = uint8_t(2 * k + 1);
            nibble[51 + k] = uint8_t(2 * k);
        }
    }
};
static constexpr CharPositionTable kCharPositions;

void resetMouseState() {
    g_mouse = MouseState{};
    g_mouse.hit = g_mouse.anchor = kHitOutside;
}

static uint64_t pagePosition(uint32_t off) {
    return g_doc.AnfPtr + g_doc.ViewOfs + off;
}

uint32_t hitTest(int x, int y) {
    g_mouse.hit = kHitOutside;
    if (g_geom.cw <= 0 || g_geom.lh <= 0) return g_mouse.hit;
    int row = y < 0 ? -1 : y / g_geom.lh;
    if (x < g_geom.hexX) return g_mouse.hit;
    int c = (x - g_geom.hexX) / g_geom.cw;
    g_mouse.hitCol = c >= 50 ? 1 : 0;
    int n = c < 67 ? kCharPositions.nibble[c] : 255;
    if (n == 255) return g_mouse.hit = kHitSeparator;
    // Header above and status line below the 32 rows lie outside the page.
    if (row < 1 || row > 32) return g_mouse.hit;
    uint32_t off = uint32_t(n >> 1) + uint32_t(row - 1) * 16;
    if (pagePosition(off) >= g_doc.FileSize) return g_mouse.hit;
    g_mouse.hitX = g_geom.hexX + (c - (n & 1)) * g_geom.cw;
    g_mouse.hitY = row * g_geom.lh;
    return g_mouse.hit = off;
}

void markingShown() {
    g_doc.MarkFlag |= 1;
    for (unsigned item : kMarkingItems)
        plat().setMenuState(item, MenuState::Enabled);
}

static void markingHidden() {
    g_doc.MarkFlag = 0;
    for (unsigned item : kMarkingItems)
        plat().setMenuState(item, MenuState::Greyed);
}

void mouseDown(int x, int y) {
    g_mouse.dragging = false;
    uint32_t hit = hitTest(x, y);
    g_mouse.anchor = hit;
    if (hit < 512) {
        g_mouse.anchorPos = pagePosition(hit);
        g_mouse.lastDragPos = g_mouse.anchorPos;
    }
}

// The marking from the anchor to the byte at page offset `off`, both included.
static void markToHit(uint32_t off) {
    uint64_t pos = pagePosition(off);
    g_mouse.lastDragPos = pos;
    if (pos <= g_mouse.anchorPos) {
        g_doc.MarkStart = pos;
        g_doc.MarkEnd = g_mouse.anchorPos + 1;
        g_doc.MarkFlag = 3;
    } else {
        g_doc.MarkStart = g_mouse.anchorPos;
        g_doc.MarkEnd = pos + 1;
        g_doc.MarkFlag = 7;
    }
    markingShown();
    paintPage();
}

void mouseDrag(int x, int y) {
    if (!sourceOpen()) return;
    g_mouse.dragging = true;
    uint32_t hit = hitTest(x, y);
    // Without a byte under the press there is nothing to mark from.
    if (hit >= 512 || g_mouse.anchor >= 512) return;
    if (pagePosition(hit) == g_mouse.lastDragPos) return;
    markToHit(hit);
}

// The cursor on the byte of the last hit, in the column that was hit.
static void cursorToHit() {
    g_doc.ModFlag &= ~kModLowNibble;
    g_doc.CurCol = g_mouse.hitCol;
    moveCursorTo(g_mouse.hit);
}

void mouseUp(int x, int y) {
    if (!sourceOpen()) return;
    uint32_t hit = hitTest(x, y);
    if (hit >= 512) return;
    if (g_mouse.dragging) {
        if (g_mouse.anchor < 512) markToHit(hit);
        return;
    }
    g_doc.MarkFlag &= ~6u;
    cursorToHit();
}

void rightClick(int x, int y) {
    uint32_t hit = hitTest(x, y); // without a document every cell lies outside: the Goto menu
    if (hit == kHitOutside) {
        plat().trackPopup(IDP_GOTO, x, y);
        return;
    }
    if (hit >= 512) return;
    g_mouse.anchor = hit;
    g_mouse.anchorPos = g_mouse.lastDragPos = pagePosition(hit);
    g_doc.ModFlag &= ~kModLowNibble;
    g_doc.CurCol = g_mouse.hitCol;
    g_doc.CurOfs = hit;
    placeCursor();
    paintPage();
    if (g_doc.MarkFlag & 1) {
        bool inside = g_mouse.anchorPos >= g_doc.MarkStart && g_mouse.anchorPos < g_doc.MarkEnd;
        plat().setMenuState(IDM_COPY, inside ? MenuState::Enabled : MenuState::Greyed);
    }
    plat().trackPopup(IDP_EDIT, x, y);
}

unsigned doubleClick(int x, int y) {
    g_open.mouseSuppressed = true;
    switch (g_settings.dblClickAction) {
    case 0:
        rightClick(x, y);
        break;
    case 1:
        if (sourceOpen()) return IDM_SHOW_VALUES;
        break;
    case 2:
        if (sourceOpen() && hitTest(x, y) < 512) return IDM_DISASSEMBLE_AT_CURSOR;
        break;
    case 3:
        // "AVI-Chunk markieren": on a RIFF file only, where the AVI menu is there too.
        if (sourceOpen() && g_open.aviFlag && hitTest(x, y) < 512) return IDM_AVI_MARK_CHUNK;
        break;
    default:
        break;
    }
    return 0;
}

int markStart() {
    if (!sourceOpen()) return 1;
    g_doc.MarkStart = cursorPosition();
    paintPage();
    return 0;
}

int markEnd() {
    if (!sourceOpen()) return 1;
    g_doc.MarkEnd = cursorPosition() + 1;
    markingShown();
    paintPage();
    return 0;
}

int markAll() {
    if (!sourceOpen()) return 1;
    g_doc.MarkStart = 0;
    g_doc.MarkEnd = g_doc.FileSize;
    g_doc.MarkFlag = 7;
    markingShown();
    setScrollPosition();
    paintPage();
    return 0;
}

int clearMarking() {
    if (!sourceOpen()) return 1;
    markingHidden();
    setScrollPosition();
    paintPage();
    return 0;
}

int rememberMarking() {
    if (!sourceOpen()) return 1;
    g_mouse.savedStart = g_doc.MarkStart;
    g_mouse.savedEnd = g_doc.MarkEnd;
    g_mouse.saved = true;
    return 0;
}

int restoreMarking() {
    if (!sourceOpen() || !g_mouse.saved) return 1;
    g_doc.MarkStart = g_mouse.savedStart;
    g_doc.MarkEnd = g_mouse.savedEnd;
    // A marking that was cleared in between is shown again.
    markingShown();
    paintPage();
    return 0;
}

// Keyboard marking: the marking runs from a fixed anchor byte to a moving byte; bit 0x4 of
// MarkFlag says the moving byte is the end (after the anchor) rather than the start.
static int shiftMark(int64_t step) {
    if (!sourceOpen() || g_doc.FileSize == 0) return 1;
    uint64_t anchor, moving;
    bool fresh = !(g_doc.MarkFlag & 2) || g_doc.MarkEnd <= g_doc.MarkStart;
    if (fresh) {
        uint64_t cur = cursorPosition();
        if (cur > g_doc.LastPos) cur = g_doc.LastPos;
        anchor = moving = cur;
    } else if (g_doc.MarkFlag & 4) {
        anchor = g_doc.MarkStart;
        moving = g_doc.MarkEnd - 1;
    } else {
        anchor = g_doc.MarkEnd - 1;
        moving = g_doc.MarkStart;
    }
    int64_t m = int64_t(moving) + step;
    if (m < 0) m = 0;
    if (uint64_t(m) > g_doc.LastPos) m = int64_t(g_doc.LastPos);
    uint64_t mv = uint64_t(m);
    if (!fresh && mv == moving) return 1;
    g_doc.MarkStart = mv < anchor ? mv : anchor;
    g_doc.MarkEnd = (mv > anchor ? mv : anchor) + 1;
    g_doc.MarkFlag = (mv > anchor || (mv == anchor && step > 0)) ? 7 : 3;
    markingShown();
    // The moving byte stays on screen: the page scrolls a line with the cursor on its byte.
    uint64_t first = g_doc.AnfPtr + g_doc.ViewOfs;
    if (mv >= first + 512 && lineDownKeepingCursor() == 0) return 0;
    if (mv < first && lineUpKeepingCursor() == 0) return 0;
    paintPage();
    return 0;
}

int shiftRight() {
    return shiftMark(1);
}

int shiftLeft() {
    return shiftMark(-1);
}

int shiftUp() {
    return shiftMark(-16);
}

int shiftDown() {
    return shiftMark(16);
}
