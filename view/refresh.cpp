#include "view/refresh.h"

#include "access/docstate.h"
#include "edit/commit.h"
#include "journal/overlay.h"
#include "view/paint.h"
#include "view/scroll.h"
#include "view/status.h"

void movePairTo(uint64_t readPtr) {
    if (readPtr > g_doc.LastBlkPtr) readPtr = g_doc.LastBlkPtr;
    g_doc.ReadPtr = readPtr & ~uint64_t(511);
    gotoPage();
}

void showPage(unsigned options) {
    if (!(options & kShowKeepView) && g_doc.ViewOfs > g_doc.Blk2Flag)
        g_doc.ViewOfs = g_doc.Blk2Flag;
    setHeaderLabels();
    placeCursor();
    if (options & kShowStatus) {
        clearTopLeft();
        drawStatusLine();
        drawModeIndicator();
    }
    setScrollPosition();
    paintPage();
}

void showPageAt(uint64_t readPtr, uint32_t view, unsigned options) {
    bool move = true;
    if (options & kShowPrimed) {
        settlePendingInputs();
        if (readPtr > g_doc.LastPairPtr) readPtr = g_doc.LastPairPtr;
        gotoFirstPage();
        move = readPtr != 0; // the first page is there already
    }
    if (move) movePairTo(readPtr);
    g_doc.ViewOfs = view <= g_doc.Blk2Flag ? view : 0;
    showPage(options);
}
