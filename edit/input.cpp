#include "edit/input.h"

#include <cstring>

#include "access/docstate.h"
#include "access/source.h"
#include "app/tables.h"
#include "journal/chain.h"
#include "edit/commit.h"
#include "journal/format.h"
#include "journal/overlay.h"
#include "platform/platform.h"
#include "view/navigation.h"
#include "view/paint.h"

EditState g_edit;

void resetEditState() {
    std::memset(&g_edit, 0, sizeof g_edit);
}

void setModBit(uint32_t k) {
    g_doc.ModMask[(k >> 3) & 127] |= uint8_t(1u << (k & 7));
}

void clearModBit(uint32_t k) {
    g_doc.ModMask[(k >> 3) & 127] &= uint8_t(~(1u << (k & 7)));
}

static int digitValue(char d) {
    int v = d - '0';
    return v > 9 ? v - 7 : v;
}

void storeHexByte(uint32_t k, char first, char second) {
    g_doc.PageBuf[k & 1023] = uint8_t(digitValue(first) * 16 + digitValue(second));
}

int unlinkBlockRecord(int block) {
    return unlinkRecord(block, 0, kFlagLinked);
}

// ---- helpers ----

static uint32_t cursorByte() {
    return g_doc.ViewOfs + g_doc.CurOfs;
}

static int blockOf(uint32_t k) {
    return k < 512 ? 1 : 2;
}

static void drawCell(int x, const char *text, int n, uint32_t bg) {
    Platform &p = plat();
    p.beginDraw();
    p.textOut(x, g_doc.CurY, text, n, bg);
    p.endDraw();
}

void flagInput(uint32_t k) {
    int block = blockOf(k);
    g_doc.InputFlag |= 1u | (block == 2 ? kInputBlk2 : kInputBlk1);
    pageRecord(block).Flags &= ~(kFlagContinues | kFlagFromPrevious);
}

// A pending first hex digit is dropped: the hex cursor goes back to the high nibble.
static void dropPendingDigit() {
    if (!(g_doc.ModFlag & kModLowNibble)) return;
    g_doc.CurHexX -= g_geom.cw;
    g_doc.ModFlag &= ~kModLowNibble;
}

// When the cursor cannot move, it is drawn over the typed cell again; that cell then no
// longer shows the input colours the next move would have to keep.
static void cursorStays() {
    drawCursorCell();
    g_doc.InputFlag &= ~1u;
}

static void moveRight() {
    if (cursorRight() != 0) cursorStays();
}

static void moveLeft() {
    if (cursorLeft() != 0) cursorStays();
}

// Reloads the pair in place and paints the whole window (Esc and Return).
static void reloadAndPaint() {
    g_doc.ReadPtr = g_doc.AnfPtr;
    reloadPage();
    paintWindow();
}

// ---- the keys ----

static void typeCharacter(uint32_t k, int c) {
    g_doc.PageBuf[k] = uint8_t(c);
    flagInput(k);
    drawCell(g_doc.CurHexX, g_tables.hexPair[uint8_t(c)], 2, kInputMirrorBg);
    char ch = char(c);
    drawCell(g_doc.CurCharX, &ch, 1, kInputBg);
    setModBit(k);
    moveRight();
}

static void typeHex(uint32_t k, int c) {
    if (c >= 'a' && c <= 'f') c -= 'a' - 'A';
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return;
    char digit = char(c);
    if (!(g_doc.ModFlag & kModLowNibble)) {
        drawCell(g_doc.CurHexX, &digit, 1, kInputBg);
        g_doc.CurHexX += g_geom.cw;
        g_edit.pendingDigit = digit;
        g_doc.ModFlag |= kModLowNibble;
        return;
    }
    drawCell(g_doc.CurHexX, &digit, 1, kInputBg);
    storeHexByte(k, g_edit.pendingDigit, digit);
    setModBit(k);
    char ch = char(g_doc.PageBuf[k]);
    drawCell(g_doc.CurCharX, &ch, 1, kInputMirrorBg);
    flagInput(k);
    g_doc.CurHexX -= g_geom.cw;
    g_doc.ModFlag &= ~kModLowNibble;
    moveRight();
}

static void backspace() {
    dropPendingDigit();
    uint32_t k = cursorByte();
    if (k >= g_doc.PageLen) return;
    int block = blockOf(k);
    uint8_t v = g_doc.PageBuf[k];
    if (g_doc.JReadFlag & pageRecordBit(block)) {
        // The journalled value, and the mark the record gives the byte.
        const JournalRecord &r = pageRecord(block);
        uint32_t i = k & 511;
        bool ok = (r.Flags & kFlagInSource) ? readSourceByte(g_doc.AnfPtr + k, &v)
                                            : readDataByte(r.JAdr, i, &v);
        if (ok) g_doc.PageBuf[k] = v;
        bool marked = !(r.Flags & kFlagHidden) && ((r.ModBits[i >> 3] >> (i & 7)) & 1);
        if (marked)
            setModBit(k);
        else
            clearModBit(k);
    } else {
        if (readSourceByte(g_doc.AnfPtr + k, &v)) g_doc.PageBuf[k] = v;
        clearModBit(k);
    }
    drawPageCell(g_doc.CurOfs);
    moveLeft();
}

static void escape() {
    dropPendingDigit();
    if (g_doc.InputFlag & (kInputBlk1 | kInputBlk2)) {
        int answer = plat().messageBox("Sollen die aktuellen Eingaben verworfen werden?",
                                       "Eingaben verwerfen?", kMbYesNo | kMbIconQuestion | 0x100);
        if (answer == kIdYes) {
            g_doc.InputFlag &= ~7u;
        } else if (commitInputs(), g_doc.InputFlag & (kInputBlk1 | kInputBlk2)) {
            drawCursorCell(); // they could not be written: they stay on screen
            return;
        }
    }
    reloadAndPaint();
}

static void returnKey() {
    dropPendingDigit();
    uint32_t tried = 0;
    for (int block = 1; block <= 2; ++block) {
        uint32_t inBit = block == 2 ? kInputBlk2 : kInputBlk1;
        if (!(g_doc.InputFlag & inBit) || !(g_doc.JReadFlag & pageRecordBit(block))) continue;
        const uint8_t *bits = pageRecord(block).ModBits;
        bool any = false;
        for (int i = 0; i < 64 && !any; ++i)
            any = bits[i] != 0;
        if (any) {
            (block == 1 ? commitBlock1 : commitBlock2)();
            tried |= inBit;
        } else {
            unlinkBlockRecord(block); // a record without marks no longer belongs in the chain
        }
    }
    // The rest (blocks without a record) once; a block that just failed is not tried twice.
    uint32_t rest = g_doc.InputFlag & (kInputBlk1 | kInputBlk2) & ~tried;
    if (rest == (kInputBlk1 | kInputBlk2))
        commitInputs();
    else if (rest == kInputBlk1)
        commitBlock1();
    else if (rest == kInputBlk2)
        commitBlock2();
    if (g_doc.InputFlag & (kInputBlk1 | kInputBlk2)) {
        // Not written: the inputs stay in the page for the next Return.
        drawCursorCell();
        return;
    }
    reloadAndPaint();
}

void editChar(int c) {
    c &= 0xFF;
    if (!sourceOpen()) return;
    if (c == 13) {
        returnKey();
        return;
    }
    if (c == 27) {
        escape();
        return;
    }
    if (c == 8) {
        backspace();
        return;
    }
    uint32_t k = cursorByte();
    // Only bytes the source has can be typed over: the source never grows here.
    if (k >= g_doc.PageLen) return;
    if (g_doc.CurCol == 1)
        typeCharacter(k, c);
    else
        typeHex(k, c);
}

static int fetchSource(bool right) {
    if (!sourceOpen()) return 1;
    uint32_t k = cursorByte();
    if (k >= g_doc.PageLen) return 1;
    uint8_t v;
    if (readSourceByte(g_doc.AnfPtr + k, &v)) g_doc.PageBuf[k] = v;
    flagInput(k);
    clearModBit(k);
    dropPendingDigit();
    drawPageCell(g_doc.CurOfs);
    if (right)
        moveRight();
    else
        moveLeft();
    return 0;
}

int fetchSourceRight() {
    return fetchSource(true);
}

int fetchSourceLeft() {
    return fetchSource(false);
}

int spaceCommand() {
    editChar(' ');
    return 0;
}
