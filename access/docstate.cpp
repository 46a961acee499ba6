#include "access/docstate.h"
#include "access/heldview.h"

#include <cstring>

DocumentState g_doc;

HeldViewState g_held;

void resetDocumentState() {
    std::memset(&g_doc, 0, sizeof g_doc);
    g_held = HeldViewState{};
    g_doc.SrcHandle = kInvalidHandle;
    g_doc.MidPtr = kNoBlock2;
}

void closingReset() {
    g_doc.SrcHandle = kInvalidHandle;
    g_doc.ModFlag &= ~(kModDisk | kModSector);
    g_doc.ReadPtr = g_doc.AnfPtr = 0;
    g_doc.FileSize = g_doc.LastPos = g_doc.LastPairPtr = g_doc.LastBlkPtr = 0;
    g_doc.Blk2Flag = 0;
    g_doc.Blk1Len = g_doc.Blk2Len = g_doc.PageLen = 0;
    g_doc.MidPtr = kNoBlock2;
    g_doc.ViewOfs = 0;
    g_doc.JReadFlag = 0;
    g_doc.SrcName[0] = 0;
    std::memset(g_doc.ModMask, 0, sizeof g_doc.ModMask);
    g_doc.InputFlag = 0;
    g_doc.MarkFlag = 0;
    plat().setTitle(" ");
}

void computeSizeFields() {
    // The true last byte; an empty source has none and its only page starts at 0.
    uint64_t last = g_doc.FileSize ? g_doc.FileSize - 1 : 0;
    g_doc.LastPos = last;
    g_doc.LastPairPtr = last & ~uint64_t(1023);
    g_doc.LastBlkPtr = last & ~uint64_t(511);
    g_doc.AnfPtr = 0;
}
