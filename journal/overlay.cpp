#include "journal/overlay.h"

#include "access/blockread.h"
#include "access/docstate.h"
#include "edit/commit.h"

void readPagePlain() {
    readBlock1();
    readBlock2();
}

void gotoPage() {
    settlePendingInputs();
    readPagePlain();
}

void gotoFirstPage() {
    settlePendingInputs();
    g_doc.ReadPtr = 0;
    g_doc.ViewOfs = 0;
    readPagePlain();
}

void gotoLastPage() {
    settlePendingInputs();
    g_doc.ReadPtr = g_doc.LastPairPtr;
    readPagePlain();
}

void reloadPage() {
    settlePendingInputs();
    g_doc.ReadPtr = g_doc.AnfPtr;
    uint32_t view = g_doc.ViewOfs;
    readPagePlain();
    if (view <= g_doc.Blk2Flag) g_doc.ViewOfs = view;
}
